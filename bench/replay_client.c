/* replay_client.c: the program that replay_under_xvfb.sh drives. A student program as any
 * other (it sees only vorna.h and links the shared runtime) that redraws a scene-sized frame,
 * about 200 primitives, on every tick.
 *
 * After a first click it prints "ready" and measures one replay of the script with the drawing
 * log off, then prints "ready" again and measures one with the log on; the driver answers each
 * "ready" with Ctrl+P. The figures go to standard output; the wall-clock ratio of playback to
 * composing alone is the one to hold at 0.9 or more, with the log off and with it on. */
#include <stdio.h>
#include <time.h>

#include "vorna.h"

enum { FRAMES = 2000, TICKS = 10000, CHUNKS = 20 };

/* Seconds on the wall clock (what a user waits) and of the process's own CPU time (less
 * disturbed by other programs on a busy machine). */
typedef struct {
    double wall, cpu;
} Clock;

static Clock now(void) {
    struct timespec wall, cpu;
    Clock clock;
    clock_gettime(CLOCK_MONOTONIC, &wall);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    clock.wall = (double)wall.tv_sec + (double)wall.tv_nsec / 1e9;
    clock.cpu = (double)cpu.tv_sec + (double)cpu.tv_nsec / 1e9;
    return clock;
}

/* Adds the time from start to end to *sum. */
static void add_time(Clock *sum, Clock start, Clock end) {
    sum->wall += end.wall - start.wall;
    sum->cpu += end.cpu - start.cpu;
}

static void draw_car(int x, int y, int color) {
    VORNA_draw_rectangle(color, x - 12, y + 12, x + 28, y + 22, 0);
    VORNA_draw_rectangle(color, x - 8, y + 6, x + 14, y + 30, 0);
    VORNA_draw_rectangle(color, x - 20, y + 6, x + 20, y + 16, 0);
    VORNA_draw_rectangle(color, x - 16, y + 6, x + 6, y + 24, 0);
    VORNA_draw_triangle(color, x - 20, y + 16, x + 16, y + 16, x + 16, y + 24, 0);
    VORNA_draw_triangle(color, x - 16, y + 24, x - 8, y + 24, x - 8, y + 30, 0);
    VORNA_draw_triangle(COLOR_ICE_BLUE, x + 6, y + 24, x + 10, y + 16, x + 14, y + 30, 0);
    VORNA_draw_triangle(COLOR_ICE_BLUE, x + 10, y + 16, x + 18, y + 22, x + 14, y + 30, 0);
    VORNA_draw_triangle(COLOR_GRAY_50, x + 20, y + 6, x + 20, y + 16, x + 28, y + 22, 0);
    VORNA_draw_triangle(COLOR_GRAY_50, x + 20, y + 6, x + 28, y + 12, x + 28, y + 22, 0);
    VORNA_fill_circle(COLOR_BLACK, x - 10, y + 6, 6);
    VORNA_fill_circle(COLOR_GRAY_50, x - 10, y + 6, 4);
    VORNA_fill_circle(COLOR_BLACK, x + 10, y + 6, 6);
    VORNA_fill_circle(COLOR_GRAY_50, x + 10, y + 6, 4);
}

/* Sky, landscape, a panel of seven labelled boxes, a ferry, a traffic light and nine cars
 * that move with the frame number: 200 primitives. */
static void draw_frame(int frame) {
    static const char *const labels[7] = {"Go", "Stop", "Faster", "Slower", "Reverse", "New Color", "More Cars"};
    const int shift = frame % 400;
    int i;
    VORNA_draw_rectangle(COLOR_ICE_BLUE, -300, -250, 300, 250, 0);
    VORNA_fill_circle(COLOR_YELLOW, -250 + shift, 200, 20);
    VORNA_draw_rectangle(COLOR_BROWN, -300, -250, 300, 75, 0);
    VORNA_draw_oval(COLOR_BLUE, 100, -58, 450, 12, 0);
    VORNA_draw_oval(COLOR_BLUE, -50, 2, 360, 92, 0);
    VORNA_draw_rectangle(COLOR_WHITE, -300, 12, 20, 32, 0);
    VORNA_draw_triangle(COLOR_WHITE, 20, 32, 20, 12, 55, 32, 0);
    VORNA_draw_rectangle(COLOR_BLACK, -300, 22, 20, 22, 0);
    VORNA_draw_rectangle(COLOR_WHITE, -300, -68, 300, -48, 0);
    VORNA_draw_rectangle(COLOR_BLACK, -300, -58, 300, -58, 0);
    VORNA_draw_text(COLOR_BLACK, -285, -220, 12, "Click a button to control the car.");
    VORNA_draw_triangle(COLOR_GRAY_50, -300, 75, 300, 75, 0, 200, 0);
    VORNA_draw_triangle(COLOR_BLACK, -180, 75, 120, 75, 0, 200, 0);
    VORNA_draw_triangle(COLOR_GRAY_20, 120, 75, 300, 75, 0, 200, 0);
    VORNA_draw_triangle(COLOR_OLIVE, -375, 75, 100, 75, -225, 166, 0);
    VORNA_draw_triangle(COLOR_CHALK, -42, 75, 100, 75, -225, 166, 0);
    VORNA_draw_triangle(COLOR_FOREST_GREEN, -100, 75, 300, 75, 300, 166, 0);
    for (i = 0; i < 7; i++) {
        VORNA_draw_rectangle(COLOR_BLACK, -295, 245 - 25 * i, -220, 220 - 25 * i, 1);
        VORNA_draw_text(COLOR_BLACK, -285, 227 - 25 * i, 12, labels[i]);
    }
    for (i = 0; i < 39; i++) VORNA_draw_triangle(COLOR_GRAY_50, 60 + 4 * i, 12, 65 + 4 * i, 40, 70 + 4 * i, 12, 0);
    VORNA_draw_rectangle(COLOR_BLACK, 290, -160, 130, -100, 0);
    VORNA_fill_circle(COLOR_GREEN, 260, -130, 20);
    VORNA_fill_circle(COLOR_GRAY_20, 210, -130, 20);
    VORNA_fill_circle(COLOR_GRAY_20, 160, -130, 20);
    for (i = 0; i < 9; i++) draw_car(-280 + 60 * i + shift / 10, i < 5 ? -58 : 22, 2 + i);
}

static void print_rates(const char *name, const char *clock, double played, double composed) {
    printf("%s, %s: compose only %5.0f frames/s, playback %5.0f ticks/s, ratio %.2f\n", name, clock,
           FRAMES / composed, TICKS / played, (TICKS / played) / (FRAMES / composed));
}

/* One replay of TICKS ticks, the frame redrawn on each, cut into CHUNKS stretches; after each
 * stretch the frame is composed FRAMES / CHUNKS times in a row without asking for events. The
 * two kinds of work alternate, so a machine that other work slows down slows both alike.
 * Prints the rates and their ratios; returns 0 when the program is asked to quit first. */
static int measure(const char *name) {
    Clock played = {0.0, 0.0}, composed = {0.0, 0.0}, start = {0.0, 0.0}, play_end;
    int seen = 0, frame = 0, x = 0, y = 0, kind, i;
    char key = 0;
    printf("ready\n");
    fflush(stdout);
    while (seen < TICKS) {
        kind = VORNA_next_event(&x, &y, &key);
        if (kind == EVENT_QUIT) return 0;
        if (kind != EVENT_TICK) continue;
        if (seen == 0) start = now(); /* the replay has begun */
        draw_frame(seen++);
        if (seen % (TICKS / CHUNKS) == 0) {
            play_end = now();
            add_time(&played, start, play_end);
            for (i = 0; i < FRAMES / CHUNKS; i++) draw_frame(frame++);
            start = now();
            add_time(&composed, play_end, start);
        }
    }
    print_rates(name, "wall clock", played.wall, composed.wall);
    print_rates(name, "CPU time  ", played.cpu, composed.cpu);
    fflush(stdout);
    return 1;
}

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    int x = 0, y = 0, frame;
    char key = 0;
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    for (frame = 0; frame < 50; frame++) draw_frame(frame); /* fonts and caches warm */
    if (VORNA_next_event(&x, &y, &key) != EVENT_QUIT && measure("drawing log off")) {
        VORNA_set_logging(1);
        measure("drawing log on ");
        VORNA_set_logging(0);
    }
    VORNA_shutdown();
    return 0;
}
