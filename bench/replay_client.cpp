// replay_client: the program that replay_under_xvfb.sh drives. A program as any other (it links
// the shared runtime and sees only vorna.h and the car scene's painting) that redraws the
// scene's heaviest frame on every tick.
//
// After a first click it prints "ready" and measures one replay of the script with the drawing
// log off, then prints "ready" again and measures one with the log on; the driver answers each
// "ready" with Ctrl+P. The figures go to standard output; the wall-clock ratio of playback to
// composing alone is the one to hold at 0.9 or more, with the log off and with it on.
#include <cstdio>
#include <ctime>

#include "bench/heavy_frame.h"
#include "vorna.h"

namespace {

constexpr int FRAMES = 2000, TICKS = 10000, STRETCHES = 20;

// Seconds on the wall clock (what a user waits) and of the process's own CPU time (less
// disturbed by other programs on a busy machine).
struct Clock {
    double wall = 0.0;
    double cpu = 0.0;
};

double seconds(clockid_t id) {
    timespec now{};
    clock_gettime(id, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

Clock now() { return Clock{seconds(CLOCK_MONOTONIC), seconds(CLOCK_PROCESS_CPUTIME_ID)}; }

void add_time(Clock *sum, const Clock &start, const Clock &end) {
    sum->wall += end.wall - start.wall;
    sum->cpu += end.cpu - start.cpu;
}

void print_rates(const char *name, const char *clock, double played, double composed) {
    std::printf("%s, %s: compose only %5.0f frames/s, playback %5.0f ticks/s, ratio %.2f\n", name, clock,
                FRAMES / composed, TICKS / played, (TICKS / played) / (FRAMES / composed));
}

// One replay of TICKS ticks, the frame redrawn on each, cut into STRETCHES; after each stretch
// the frame is composed FRAMES / STRETCHES times in a row without asking for events. The two
// kinds of work alternate, so a machine that other work slows down slows both alike. Prints
// the rates and their ratios; false when the program is asked to quit first.
bool measure(const char *name) {
    Clock played, composed, start;
    int seen = 0, frame = 0, x = 0, y = 0;
    char key = 0;
    std::printf("ready\n");
    std::fflush(stdout);
    while (seen < TICKS) {
        const int kind = VORNA_next_event(&x, &y, &key);
        if (kind == EVENT_QUIT) return false;
        if (kind != EVENT_TICK) continue;
        if (seen == 0) start = now(); // the replay has begun
        draw_heaviest_frame(seen++);
        if (seen % (TICKS / STRETCHES) == 0) {
            const Clock play_end = now();
            add_time(&played, start, play_end);
            for (int i = 0; i < FRAMES / STRETCHES; i++) draw_heaviest_frame(frame++);
            start = now();
            add_time(&composed, play_end, start);
        }
    }
    print_rates(name, "wall clock", played.wall, composed.wall);
    print_rates(name, "CPU time  ", played.cpu, composed.cpu);
    std::fflush(stdout);
    return true;
}

} // namespace

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line,
                   int show_mode) {
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    for (int frame = 0; frame < 50; frame++) draw_heaviest_frame(frame); // fonts and caches warm
    int x = 0, y = 0;
    char key = 0;
    if (VORNA_next_event(&x, &y, &key) != EVENT_QUIT && measure("drawing log off")) {
        VORNA_set_logging(1);
        measure("drawing log on ");
        VORNA_set_logging(0);
    }
    VORNA_shutdown();
    return 0;
}
