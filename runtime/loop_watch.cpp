// loop_watch.cpp: the endless-loop watchdog's runtime side. A learner's program that never
// comes back to the event wait freezes its window with no word why; the platform's watchdog
// says so on stderr at once, and the console says so the next time the program draws or
// prints, since only then does the program's thread run runtime code that can print.
#include <cstring>

#include "runtime_internal.h"

int loop_watch_after_ms = LOOP_WATCH_MS;

namespace {

#define LOOP_WATCH_TEXT "the program has not waited for an event for 3 seconds: is it in a loop?"

} // namespace

void loop_watch_start(void) {
    if (loop_watch_after_ms > 0) platform_watch_for_loops(loop_watch_after_ms, "vorna: " LOOP_WATCH_TEXT "\n");
}

void loop_watch_stop(void) { platform_watch_for_loops(0, ""); }

void loop_watch_tell_console(void) {
    if (!platform_loop_watch_alarm()) return;
    // Console only (the window, its ring, the observer): the log file records what the program
    // printed and drew, and this line depends on the machine's speed.
    char line[] = LOOP_WATCH_TEXT "\n";
    console_store_line(line, std::strlen(line));
    if (console_observer) console_observer(line);
    console_draw_line(line);
}
