// qt_signals.cpp: SIGINT and SIGTERM end the program through its normal quit path when it takes
// the quit, and by force when it does not; SIGXFSZ is ignored.
//
// A signal handler may do almost nothing safely, so it only writes one byte into a socket
// pair. The other end is watched by a QSocketNotifier on the toolkit's event loop; when the
// byte arrives there, on the program's one thread, it posts a quit message marked as coming
// from a signal, which the event wait turns into EVENT_QUIT and which also ends an open prompt
// dialog.
//
// A program that never waits (an endless loop) never sees that quit, and one that takes
// EVENT_QUIT and goes on regardless never ends: `timeout` or a logout could not stop either.
// So each signal also arms a deadline, kept by a watchdog thread that sleeps in poll() on a
// pipe: the quit must be taken up by the event loop within QUIT_DEADLINE_MS, and from then on
// the program has QUIT_DEADLINE_MS more to shut down. VORNA_shutdown and the process's normal
// exit call the deadline off (platform_quit_signal_settled). When it passes, the watchdog
// restores the signal's default action and raises it, so the process ends as the signal
// would have ended it (status 128 + signal for a shell, as `timeout` expects). A second signal
// while the deadline stands does the same at once, from the handler. Everything the runtime
// writes (script lines, log lines) is written with whole-line writes, so nothing half-written
// is left behind.
//
// SIGXFSZ would end the program when a script write goes past the file-size limit; ignored,
// the write fails instead and the script writer reports it.
#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/platform_qt.h"

namespace {

constexpr int QUIT_DEADLINE_MS = 1000;

// The watchdog's messages: re-read the armed signal, or give the program a fresh deadline.
constexpr char WATCHDOG_CHECK = 'c';
constexpr char WATCHDOG_RESTART = 'r';

int signal_fds[2] = {-1, -1};   // [0] is written by the handler, [1] read by the event loop
int watchdog_fds[2] = {-1, -1}; // [1] is written by the handler and the program, [0] read by the watchdog

// The signal whose quit is outstanding, or 0: the handler sets it, platform_quit_signal_settled
// clears it. Read by the watchdog thread and by the handler, so it must be lock-free.
std::atomic<int> armed_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

void write_byte(int fd, char byte) {
    if (fd < 0) return;
    // Non-blocking: with the pipe full a message is already on its way, so a lost byte is harmless.
    ssize_t written = write(fd, &byte, 1);
    (void)written;
}

void write_text(const char *text) {
    ssize_t written = write(STDERR_FILENO, text, std::strlen(text));
    (void)written;
}

// Ends the process as the signal's default action does; a blocked or ignored signal falls
// back to the same status through _exit.
[[noreturn]] void end_by_signal(int signal_number) {
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &just_this, nullptr);
    raise(signal_number);
    _exit(128 + signal_number);
}

const char *signal_name(int signal_number) { return signal_number == SIGINT ? "SIGINT" : "SIGTERM"; }

void on_signal(int signal_number) {
    const int saved_errno = errno;
    if (armed_signal.exchange(signal_number) != 0) {
        // A second signal: the user insists. The handler runs with the signal blocked, so it
        // ends the process as soon as the handler returns.
        write_text(signal_number == SIGINT ? "vorna: a second SIGINT ends the program now\n"
                                           : "vorna: a second SIGTERM ends the program now\n");
        struct sigaction action = {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(signal_number, &action, nullptr);
        raise(signal_number);
        errno = saved_errno;
        return;
    }
    write_byte(signal_fds[0], 1);
    write_byte(watchdog_fds[1], WATCHDOG_CHECK);
    errno = saved_errno;
}

void drain_and_quit() {
    char bytes[64];
    while (read(signal_fds[1], bytes, sizeof bytes) > 0) {
    }
    // The event loop has the quit now: the program's wait takes it, and then it has a whole
    // deadline to shut down.
    write_byte(watchdog_fds[1], WATCHDOG_RESTART);
    platform_post_message(nullptr, MSG_QUIT, 0, QUIT_FROM_SIGNAL, 0);
}

// The watchdog thread: sleeps until a signal arms the deadline, then until the deadline or a
// message; ends the process when the deadline passes with the signal still armed.
void *watchdog(void *) {
    using Clock = std::chrono::steady_clock;
    bool deadline_set = false;
    Clock::time_point deadline{};
    for (;;) {
        int timeout_ms = -1;
        if (deadline_set) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            timeout_ms = left > 0 ? int(left) + 1 : 0;
        }
        pollfd wake = {watchdog_fds[0], POLLIN, 0};
        const int ready = poll(&wake, 1, timeout_ms);
        if (ready < 0 && errno != EINTR) return nullptr; // cannot watch: signals still quit as before
        if (ready > 0) {
            char bytes[64];
            const ssize_t n = read(watchdog_fds[0], bytes, sizeof bytes);
            if (n == 0) return nullptr;
            const bool restart = n > 0 && std::memchr(bytes, WATCHDOG_RESTART, std::size_t(n)) != nullptr;
            if (armed_signal.load() == 0) {
                deadline_set = false;
            } else if (restart || !deadline_set) {
                deadline = Clock::now() + std::chrono::milliseconds(QUIT_DEADLINE_MS);
                deadline_set = true;
            }
            continue;
        }
        if (!deadline_set || Clock::now() < deadline) continue;
        deadline_set = false;
        const int signal_number = armed_signal.load();
        if (signal_number == 0) continue;
        char line[160];
        std::snprintf(line, sizeof line,
                      "vorna: %s asked the program to quit and it has not ended within %d ms; it ends now\n",
                      signal_name(signal_number), QUIT_DEADLINE_MS);
        write_text(line);
        end_by_signal(signal_number);
    }
}

void settle_at_exit() { platform_quit_signal_settled(); }

} // namespace

bool qt_start_helper_thread(void *(*body)(void *), int fds[2]) {
    // Non-blocking at both ends: a signal handler must never wait, and the thread sleeps in poll().
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    pthread_t thread;
    const int failed = pthread_create(&thread, nullptr, body, nullptr);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (failed != 0) {
        close(fds[0]);
        close(fds[1]);
        fds[0] = fds[1] = -1;
        errno = failed;
        return false;
    }
    pthread_detach(thread);
    return true;
}

void platform_quit_on_signals(void) {
    std::signal(SIGXFSZ, SIG_IGN);
    if (signal_fds[0] != -1 || QCoreApplication::instance() == nullptr) return;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signal_fds) != 0) {
        qt_warning("cannot catch SIGINT and SIGTERM (%s); they end the program at once", std::strerror(errno));
        signal_fds[0] = signal_fds[1] = -1;
        return;
    }
    auto *notifier = new QSocketNotifier(signal_fds[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { drain_and_quit(); });
    if (!qt_start_helper_thread(watchdog, watchdog_fds))
        qt_warning("cannot watch for a program that ignores SIGINT and SIGTERM (%s); a second signal still ends it",
                   std::strerror(errno));
    // A program that returns from graphical_main or calls exit() is ending by itself.
    std::atexit(settle_at_exit);

    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    // One handler at a time: a second signal during the first one's handler waits for it.
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void platform_quit_signal_settled(void) {
    if (armed_signal.exchange(0) != 0) write_byte(watchdog_fds[1], WATCHDOG_CHECK);
}

int platform_quit_signal_pending(void) { return armed_signal.load() != 0 ? 1 : 0; }
