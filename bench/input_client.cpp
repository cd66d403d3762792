// input_client: the program that input_under_xvfb.sh drives. A program as any other (it links
// the shared runtime and sees only vorna.h and the car scene's painting), written as a game:
// - every key typed and every left click redraws the car scene's heaviest frame and turns the
//   square in the middle from black to yellow or back, so that the input's effect reaches the
//   screen as a game's would (input_latency_probe watches that square);
// - the key t starts the tick test: 16 ms ticks, the heaviest frame drawn on each, for
//   TICK_SECONDS seconds; the client prints the rate it got and how long a frame took.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "bench/heavy_frame.h"
#include "vorna.h"

namespace {

constexpr int TICK_INTERVAL_MS = 16, TICK_SECONDS = 5;

double seconds_now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void draw(int frame, bool marked) {
    draw_heaviest_frame(frame);
    VORNA_draw_rectangle(marked ? COLOR_YELLOW : COLOR_BLACK, -40, 40, 40, -40, 0);
}

void measure_ticks(int frame) {
    VORNA_set_tick_interval(TICK_INTERVAL_MS);
    VORNA_set_animation(ANIM_RUN);
    VORNA_Event event;
    std::vector<double> draw_ms;
    int ticks = 0;
    double start = 0.0, now = 0.0;
    while (VORNA_wait(&event) != EVENT_QUIT) {
        if (event.kind != EVENT_TICK) continue;
        now = seconds_now();
        if (ticks == 0) start = now; // counted from the first tick on
        else if (now - start >= TICK_SECONDS) break;
        ticks++;
        const double before = seconds_now();
        draw(frame++, (ticks / 30) % 2 == 1);
        draw_ms.push_back((seconds_now() - before) * 1000.0);
    }
    VORNA_set_animation(ANIM_HALT);
    std::sort(draw_ms.begin(), draw_ms.end());
    const double ticks_per_second = (ticks - 1) / (now - start);
    std::printf("ticks at %d ms drawing the heaviest frame: %.1f ticks/s over %.1f s (target 60); "
                "frame drawn in %.2f ms (median), %.2f ms (slowest)\n",
                TICK_INTERVAL_MS, ticks_per_second, now - start, draw_ms[draw_ms.size() / 2], draw_ms.back());
    std::fflush(stdout);
}

} // namespace

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line,
                   int show_mode) {
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    int frame = 0;
    bool marked = false;
    for (; frame < 50; frame++) draw(frame, marked); // fonts and caches warm
    std::printf("ready\n");
    std::fflush(stdout);
    VORNA_Event event;
    while (VORNA_wait(&event) != EVENT_QUIT) {
        if (event.kind == EVENT_KEY && event.key == 't') {
            measure_ticks(frame);
            break;
        }
        if ((event.kind == EVENT_KEY && event.key == ' ') ||
            (event.kind == EVENT_MOUSE && event.button == VORNA_BUTTON_LEFT)) {
            marked = !marked;
            draw(frame++, marked);
        }
    }
    VORNA_shutdown();
    return 0;
}
