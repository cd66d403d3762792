// qt_signals.cpp: SIGINT and SIGTERM end the program through its normal quit path; SIGXFSZ is
// ignored.
//
// A signal handler may do almost nothing safely, so it only writes one byte into a socket
// pair. The other end is watched by a QSocketNotifier on the toolkit's event loop; when the
// byte arrives there, on the program's one thread, it posts a quit message marked as coming
// from a signal, which the event wait turns into EVENT_QUIT and which also ends an open prompt
// dialog.
//
// SIGXFSZ would end the program when a script write goes past the file-size limit; ignored,
// the write fails instead and the script writer reports it.
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/platform_qt.h"

namespace {

int signal_fds[2] = {-1, -1}; // [0] is written by the handler, [1] read by the event loop

void on_signal(int) {
    const int saved_errno = errno;
    const char byte = 1;
    // Non-blocking: with the pipe full a quit is already on its way, so a lost byte is harmless.
    ssize_t written = write(signal_fds[0], &byte, 1);
    (void)written;
    errno = saved_errno;
}

void drain_and_quit() {
    char bytes[64];
    while (read(signal_fds[1], bytes, sizeof bytes) > 0) {
    }
    platform_post_message(nullptr, MSG_QUIT, 0, QUIT_FROM_SIGNAL, 0);
}

} // namespace

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

    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
