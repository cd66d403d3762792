// compose_bench: the car scene's heaviest frame composed through the public primitives, timed
// inside the program, so that the same source measures the desktop build and the browser build.
// It prints one line:
//   compose: heaviest frame median M us, best B us (R rounds of F frames)
// and then redraws the frame on every click until it is closed, for click-to-pixel timing.
// Desktop, ended by an empty script: touch empty.scr; QT_QPA_PLATFORM=offscreen VORNA_PLAY=empty.scr
// VORNA_PLAY_EXIT=1 build/bin/compose_bench. Browser: compose_in_browser.mjs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/heavy_frame.h"
#include "vorna.h"

namespace {

constexpr int ROUNDS = 9, FRAMES = 50, WARM_UP_FRAMES = 20;

double microseconds_per_frame(int first_frame) {
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < FRAMES; ++frame) draw_heaviest_frame(first_frame + frame);
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / FRAMES;
}

} // namespace

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line,
                   int show_mode) {
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    for (int frame = 0; frame < WARM_UP_FRAMES; ++frame) draw_heaviest_frame(frame);
    std::vector<double> rounds;
    for (int round = 0; round < ROUNDS; ++round) rounds.push_back(microseconds_per_frame(round * FRAMES));
    std::sort(rounds.begin(), rounds.end());
    std::printf("compose: heaviest frame median %.1f us, best %.1f us (%d rounds of %d frames)\n",
                rounds[ROUNDS / 2], rounds[0], ROUNDS, FRAMES);
    std::fflush(stdout);
    int x = 0, y = 0, kind = 0, frame = 0;
    char key = 0;
    while ((kind = VORNA_next_event(&x, &y, &key)) != EVENT_QUIT)
        if (kind == EVENT_MOUSE) draw_heaviest_frame(++frame);
    VORNA_shutdown();
    return 0;
}
