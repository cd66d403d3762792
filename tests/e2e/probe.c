/* probe: an outside program for the end-to-end tests, built only against the public header.
 *
 * Right after start-up it fills the whole canvas with chalk and draws marks at known logical
 * points, printing "mark RRGGBB x y" for each (RRGGBB is the mark's colour, (x, y) its centre).
 * Then it prints every event on standard output, with the time in milliseconds:
 *   "mouse x y T";  "key K T";  "tick N T".
 * Keys drive the animation: r runs it, h halts it, s asks for one step. It never draws on a
 * tick, except after d.
 *
 * Keys that show what reaches the screen while the program computes without polling:
 *   w: draws a red square at logical (0, 100), sleeps 1 s, takes the event queued meanwhile,
 *      prints "computing", sleeps 4 s, prints "computed";
 *   p: prints two lines on the console, a short one and a long one, prints "printed" and sleeps
 *      4 s;
 *   d: the next 20 ticks (a replayed script's) draw that square: red, then blue on the 19th,
 *      magenta on the 20th; after it the probe prints "drew 20" and sleeps 4 s. */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "vorna.h"

static long now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

static void sleep_ms(long ms) {
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000};
    while (nanosleep(&t, &t) != 0) {
    }
}

static void draw_square(int color) { VORNA_draw_rectangle(color, -10, 110, 10, 90, 0); }

struct Mark {
    int color;
    const char *rgb;
    int x, y;
};

static const struct Mark MARKS[] = {
    {COLOR_RED, "FF0000", -250, 200}, {COLOR_BLUE, "0000FF", 250, 200}, {COLOR_MAGENTA, "FF00FF", -250, -200},
    {COLOR_PURPLE, "9900CC", 250, -200}, {COLOR_ORANGE, "FF6600", 123, -77},
};

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    int x = 0, y = 0, kind = 0, ticks = 0, drawn_ticks = -1;
    char key = 0;
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    VORNA_draw_rectangle(COLOR_CHALK, -400, 400, 400, -400, 0);
    /* An 11 x 11 black square whose bottom-left pixel is logical (0, 0). */
    VORNA_draw_rectangle(COLOR_BLACK, 10, 0, 0, 10, 0);
    printf("mark 000000 5 5\n");
    for (unsigned i = 0; i < sizeof MARKS / sizeof MARKS[0]; i++) {
        VORNA_draw_rectangle(MARKS[i].color, MARKS[i].x - 2, MARKS[i].y + 2, MARKS[i].x + 2, MARKS[i].y - 2, 0);
        printf("mark %s %d %d\n", MARKS[i].rgb, MARKS[i].x, MARKS[i].y);
    }
    fflush(stdout);
    while ((kind = VORNA_next_event(&x, &y, &key)) != EVENT_QUIT) {
        if (kind == EVENT_MOUSE) {
            printf("mouse %d %d %ld\n", x, y, now_ms());
        } else if (kind == EVENT_KEY) {
            printf("key %d %ld\n", (unsigned char)key, now_ms());
            if (key == 'r') VORNA_set_animation(ANIM_RUN);
            if (key == 'h') VORNA_set_animation(ANIM_HALT);
            if (key == 's') VORNA_set_animation(ANIM_STEP);
            if (key == 'd') drawn_ticks = 0;
            if (key == 'w') {
                draw_square(COLOR_RED);
                sleep_ms(1000);
                kind = VORNA_next_event(&x, &y, &key);
                printf("computing after event %d\n", kind);
                fflush(stdout);
                sleep_ms(4000);
                printf("computed\n");
            }
            if (key == 'p') {
                char long_line[100];
                memset(long_line, 'M', 80);
                long_line[80] = '\0';
                VORNA_print("a\n");
                VORNA_print("%s\n", long_line);
                printf("printed\n");
                fflush(stdout);
                sleep_ms(4000);
            }
        } else if (kind == EVENT_TICK) {
            printf("tick %d %ld\n", ++ticks, now_ms());
            if (drawn_ticks >= 0) {
                drawn_ticks++;
                draw_square(drawn_ticks == 20 ? COLOR_MAGENTA : drawn_ticks == 19 ? COLOR_BLUE : COLOR_RED);
                if (drawn_ticks == 20) {
                    printf("drew 20\n");
                    fflush(stdout);
                    sleep_ms(4000);
                    drawn_ticks = -1;
                }
            }
        }
        fflush(stdout);
    }
    printf("quit\n");
    VORNA_shutdown();
    return 0;
}
