// qt_loop_watch.cpp: the endless-loop watchdog. A thread of its own notices when the program
// has gone a set time without being in the event wait, and says so on stderr at once, even
// while the program's one thread is stuck in its loop and nothing else can speak.
//
// The thread sleeps in poll() on a pipe: until the deadline counted from the moment the program
// last left the wait, or, while the program waits or the stall has been reported, until the
// program wakes it. Entering the wait costs one atomic store; leaving it one more and, only when
// the thread sleeps without a deadline, one byte down the pipe. The two flags `waiting` and
// `sleeping` are set by one side and checked by the other in the opposite order, so either the
// thread sees that the program has left the wait or the program sees that the thread must be
// woken: a stall is never missed.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "platform/platform_qt.h"

namespace {

using Clock = std::chrono::steady_clock;

int wake_fds[2] = {-1, -1}; // [1] written by the program, [0] read by the watchdog thread

std::atomic<int> deadline_ms{0};           // 0: not watching
std::atomic<bool> waiting{true};           // the program is in the event wait (or a prompt)
std::atomic<long long> left_wait_at{0};    // steady-clock nanoseconds of the last leaving
std::atomic<long long> reported_for{-1};   // the left_wait_at whose stall has been reported
std::atomic<bool> alarm_pending{false};    // reported, not yet taken by platform_loop_watch_alarm
std::atomic<bool> sleeping{false};         // the thread sleeps until woken, without a deadline
const char *alarm_text = "";               // set before the thread starts, then only read

long long now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

void wake_watchdog() {
    if (wake_fds[1] < 0) return;
    const char byte = 'w';
    // Non-blocking: with the pipe full the thread is woken anyway.
    ssize_t written = write(wake_fds[1], &byte, 1);
    (void)written;
}

// Milliseconds until the current stall is due, 0 when due now, -1 when nothing is to be watched.
int stall_timeout_ms() {
    const int limit = deadline_ms.load();
    if (limit <= 0 || waiting.load()) return -1;
    const long long left_at = left_wait_at.load();
    if (reported_for.load() == left_at) return -1;
    const long long due = left_at + (long long)limit * 1000000LL;
    const long long remaining = due - now_ns();
    return remaining <= 0 ? 0 : int(remaining / 1000000LL) + 1;
}

void *watch(void *) {
    for (;;) {
        int timeout_ms = stall_timeout_ms();
        if (timeout_ms < 0) {
            // Announce the sleep, then look again: a program that left the wait in between
            // either is seen now or sees `sleeping` and wakes the thread.
            sleeping.store(true);
            timeout_ms = stall_timeout_ms();
            if (timeout_ms >= 0) sleeping.store(false);
        }
        if (timeout_ms != 0) {
            pollfd wake = {wake_fds[0], POLLIN, 0};
            const int ready = poll(&wake, 1, timeout_ms);
            sleeping.store(false);
            if (ready < 0 && errno != EINTR) return nullptr; // cannot watch: the program runs on unwatched
            if (ready > 0) {
                char bytes[64];
                if (read(wake_fds[0], bytes, sizeof bytes) == 0) return nullptr;
            }
            if (stall_timeout_ms() != 0) continue;
        }
        const long long left_at = left_wait_at.load();
        if (waiting.load() || reported_for.load() == left_at) continue;
        reported_for.store(left_at);
        alarm_pending.store(true);
        ssize_t written = write(STDERR_FILENO, alarm_text, std::strlen(alarm_text));
        (void)written;
    }
}

} // namespace

void platform_watch_for_loops(int after_ms, const char *stderr_text) {
    if (after_ms > 0 && wake_fds[1] < 0) {
        alarm_text = stderr_text;
        if (!qt_start_helper_thread(watch, wake_fds)) {
            qt_warning("cannot watch for a program stuck in a loop (%s)", std::strerror(errno));
            return;
        }
    }
    alarm_pending.store(false);
    left_wait_at.store(now_ns()); // the program is running its own code from now on
    waiting.store(false);
    deadline_ms.store(after_ms > 0 ? after_ms : 0);
    if (sleeping.exchange(false)) wake_watchdog();
}

void platform_loop_watch_waiting(int in_wait) {
    if (in_wait) {
        waiting.store(true);
        return;
    }
    left_wait_at.store(now_ns());
    waiting.store(false);
    if (sleeping.exchange(false)) wake_watchdog();
}

// A plain load first: every drawing call asks, and an exchange would lock the bus each time.
int platform_loop_watch_alarm(void) {
    return alarm_pending.load(std::memory_order_relaxed) && alarm_pending.exchange(false) ? 1 : 0;
}
