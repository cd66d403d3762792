// console_client: the program that console_under_xvfb.sh drives. After a first click it prints
// bursts of 10,000 console lines without polling in between and reports how long each burst
// took, on the wall clock and in the process's CPU time; then it quits.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "vorna.h"

namespace {

constexpr int LINES = 10000, BURSTS = 7;

double seconds(clockid_t id) {
    timespec now{};
    clock_gettime(id, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line,
                   int show_mode) {
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    int x = 0, y = 0;
    char key = 0;
    if (VORNA_next_event(&x, &y, &key) == EVENT_QUIT) return VORNA_shutdown() ? 0 : 1;
    std::vector<double> wall, cpu;
    for (int burst = 0; burst < BURSTS; burst++) {
        const double wall_start = seconds(CLOCK_MONOTONIC), cpu_start = seconds(CLOCK_PROCESS_CPUTIME_ID);
        for (int line = 0; line < LINES; line++) VORNA_print("burst %d, line %d of %d\n", burst, line, LINES);
        wall.push_back(seconds(CLOCK_MONOTONIC) - wall_start);
        cpu.push_back(seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu_start);
        // Let the last lines reach the screen before the next burst.
        const timespec pause{0, 100 * 1000 * 1000};
        nanosleep(&pause, nullptr);
        VORNA_set_animation(ANIM_STEP);
        VORNA_next_event(&x, &y, &key);
    }
    std::printf("%d lines, median of %d bursts: wall clock %.1f ms, CPU time %.1f ms (fastest %.1f ms, %.1f ms)\n",
                LINES, BURSTS, median(wall) * 1e3, median(cpu) * 1e3, *std::min_element(wall.begin(), wall.end()) * 1e3,
                *std::min_element(cpu.begin(), cpu.end()) * 1e3);
    std::fflush(stdout);
    VORNA_shutdown();
    return 0;
}
