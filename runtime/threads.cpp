// threads.cpp: the runtime works on one thread, the one that started it.
//
// Nothing in the runtime is locked, and the toolkit's windows belong to the thread that made
// them: a wait called from another thread would poll a queue that never fills there (spinning,
// deaf to signals), and a drawing call would race the program's own. So every public function
// first asks refuse_other_thread, which lets a call from another thread do nothing at all: it
// touches no state, and its message goes to stderr, not to the console, which is not
// thread-safe either.
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "runtime_internal.h"

namespace {

// Outside RuntimeState: every thread reads it, so it must be atomic. VORNA_startup sets it.
std::atomic<std::thread::id> runtime_thread{};

// The functions already reported: one message for each, not one for every call of a loop.
enum { REPORTED_MAX = 32 };
std::mutex reported_lock;
const char *reported[REPORTED_MAX];
int reported_count = 0;

} // namespace

void note_runtime_thread(void) { runtime_thread.store(std::this_thread::get_id()); }

bool refuse_other_thread(const char *function) {
    const std::thread::id owner = runtime_thread.load();
    if (owner == std::thread::id() || owner == std::this_thread::get_id()) return false;
    const std::lock_guard<std::mutex> hold(reported_lock);
    for (int i = 0; i < reported_count; i++)
        if (std::strcmp(reported[i], function) == 0) return true;
    if (reported_count < REPORTED_MAX) reported[reported_count++] = function;
    std::fprintf(stderr,
                 "vorna: %s was called from a thread that did not start the runtime; the runtime works only on "
                 "the thread that called VORNA_startup, so the call does nothing\n",
                 function);
    return true;
}
