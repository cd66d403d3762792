// compose_bench: the car scene's heaviest frame composed through the public primitives, timed
// inside the program, so that the same source measures the desktop build and the browser build.
// It prints one line and ends:
//   compose: heaviest frame median M us, best B us (R rounds of F frames)
// Desktop: QT_QPA_PLATFORM=offscreen build/bin/compose_bench; browser: compose_in_browser.mjs.
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
    VORNA_shutdown();
    return 0;
}
