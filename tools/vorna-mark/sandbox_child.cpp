// sandbox_child.cpp: vorna-mark-child, the first process inside a marking sandbox. It runs
// its arguments as a command, waits for it, and writes on fd 3 how it ended ("exit N rss K"
// or "signal N rss K", K the peak resident size in KiB), which bubblewrap's exit status alone
// cannot tell. It runs as the sandbox's process 1, so nothing inside can signal it. fd 3 is
// closed on exec, so the command cannot write there itself. It is a program of its own,
// without Qt, so that it starts in a millisecond.
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv) {
    if (argc < 2) return 125;
    fcntl(3, F_SETFD, FD_CLOEXEC);
    // Whatever else bubblewrap left open (the descriptors of the folders it bound) leads
    // outside the sandbox: closed before anything of the program's runs.
    close_range(4, ~0U, 0);
    const pid_t pid = fork();
    if (pid < 0) return 125;
    if (pid == 0) {
        execvp(argv[1], argv + 1);
        std::perror(argv[1]);
        _exit(127);
    }
    // As the namespace's first process it also reaps the program's orphans, until the
    // program itself has ended; its own end then ends every process left inside.
    int status = 0;
    struct rusage usage = {};
    for (;;) {
        int any_status = 0;
        struct rusage any_usage = {};
        const pid_t ended = wait4(-1, &any_status, 0, &any_usage);
        if (ended == pid) {
            status = any_status;
            usage = any_usage;
            break;
        }
        if (ended < 0 && errno != EINTR) return 125;
    }
    char line[64];
    int n;
    if (WIFSIGNALED(status))
        n = std::snprintf(line, sizeof line, "signal %d rss %ld\n", WTERMSIG(status), usage.ru_maxrss);
    else
        n = std::snprintf(line, sizeof line, "exit %d rss %ld\n", WEXITSTATUS(status), usage.ru_maxrss);
    if (write(3, line, static_cast<size_t>(n)) != n) return 125;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
