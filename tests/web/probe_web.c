/* probe_web: the program the browser tests drive, built only against the public header. It
 * draws marks at known logical points ("mark RRGGBB x y" on stdout) and prints every event:
 *   "mouse x y", "key K", "tick N", "quit".
 * Keys: g asks for an entry (VORNA_gets) and prints "entry [text]"; b calls the drawing
 * functions with bad arguments (their corrections go to the console and the log); f runs the
 * full input of VORNA_wait until another f, printing "wait KIND x y key button wheel mods
 * repeat held-a"; i sets the tick interval to 50 ms; s saves the picture as probe.png; d draws
 * the marks again (without printing them). */
#include <stdio.h>

#include "vorna.h"

struct Mark {
    int color;
    const char *rgb;
    int x, y;
};

static const struct Mark MARKS[] = {
    {COLOR_RED, "FF0000", -250, 200}, {COLOR_BLUE, "0000FF", 250, 200}, {COLOR_MAGENTA, "FF00FF", -250, -200},
    {COLOR_PURPLE, "9900CC", 250, -200}, {COLOR_ORANGE, "FF6600", 123, -77},
};

static void draw_marks(int announce) {
    for (unsigned i = 0; i < sizeof MARKS / sizeof MARKS[0]; i++) {
        VORNA_draw_rectangle(MARKS[i].color, MARKS[i].x - 4, MARKS[i].y + 4, MARKS[i].x + 4, MARKS[i].y - 4, 0);
        if (announce) printf("mark %s %d %d\n", MARKS[i].rgb, MARKS[i].x, MARKS[i].y);
    }
}

static void bad_input(void) {
    VORNA_fill_circle(COLOR_RED, 0, 0, -5);
    VORNA_draw_line(99, -10, -10, 10, 10, 1);
    VORNA_draw_rectangle(COLOR_BLUE, -5, 5, 5, -5, -3);
    VORNA_draw_text(COLOR_BLACK, 0, 0, 500, "big");
    VORNA_undo();
}

static void full_input(void) {
    VORNA_Event event;
    for (;;) {
        const int kind = VORNA_wait(&event);
        if (kind == EVENT_QUIT) return;
        printf("wait %d %d %d %d %d %d %d %d %d\n", kind, event.x, event.y, event.key, event.button, event.wheel,
               event.modifiers, event.repeat, VORNA_key_down('a'));
        fflush(stdout);
        if (kind == EVENT_KEY && event.key == 'f') return;
    }
}

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    int x = 0, y = 0, kind = 0, ticks = 0;
    char key = 0;
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    VORNA_draw_rectangle(COLOR_CHALK, -400, 400, 400, -400, 0);
    draw_marks(1);
    fflush(stdout);
    while ((kind = VORNA_next_event(&x, &y, &key)) != EVENT_QUIT) {
        if (kind == EVENT_MOUSE) {
            printf("mouse %d %d\n", x, y);
        } else if (kind == EVENT_KEY) {
            printf("key %d\n", (unsigned char)key);
            if (key == 'g') {
                char entry[256];
                VORNA_gets("Your name?", entry);
                printf("entry [%s]\n", entry);
            }
            if (key == 'b') bad_input();
            if (key == 'f') full_input();
            if (key == 'i') VORNA_set_tick_interval(50);
            if (key == 's') VORNA_save_picture("probe.png");
            if (key == 'd') draw_marks(0);
        } else if (kind == EVENT_TICK) {
            printf("tick %d\n", ++ticks);
        }
        fflush(stdout);
    }
    printf("quit\n");
    fflush(stdout);
    VORNA_shutdown();
    return 0;
}
