// sandbox.cpp: one command inside bubblewrap, with limits, and what became of it.
//
// The sandbox shares nothing with the marker but what it binds: /usr and the few files under
// /etc that compilers and Qt read (fonts, the loader cache, the alternatives' links), the
// runtime's folders read-only, and the one work folder writable. It has its own network (none),
// its own process, IPC, UTS and user namespaces, a new session (a terminal's input cannot be
// pushed from inside), an empty /tmp and HOME there, and no display, D-Bus or other socket.
//
// When the marker runs as root, each job slot runs its sandboxes as a user id of its own with
// no other process (SLOT_UID_BASE + a free number, claimed for the marker's lifetime): files
// that only root may read stay unreadable inside, the process limit counts the sandbox's
// processes alone, and the slot's stragglers are found and ended by their user id.
//
// The first process inside is vorna-mark-child (sandbox_child.cpp): it runs the command and
// writes how it ended to fd 3, because bubblewrap's own exit status cannot tell `exit(139)`
// from a segmentation fault.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "mark.h"

namespace {

enum {
    SLOT_UID_BASE = 62000,      // user ids for job slots: 62000..62999, free on Debian
    SLOT_UID_RANGE = 1000,
    SAMPLE_INTERVAL_MS = 200,   // how often the sandbox's processes are counted
    STRAGGLER_ROUNDS = 50,      // rounds of killing a slot's leftover processes, 10 ms apart
};

const char *BWRAP = "/usr/bin/bwrap";

// The user id of this thread's job slot, or -1 when the marker is not root.
thread_local int slot_uid = -1;

bool is_root() { return geteuid() == 0; }

} // namespace

// The folder vorna-mark's own program lives in: vorna-mark-child is beside it.
std::string own_folder() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = '\0';
    std::string text(path);
    return text.substr(0, text.rfind('/'));
}

namespace {

bool exists(const char *path) {
    struct stat status;
    return lstat(path, &status) == 0;
}

// True for a process that has ended and waits to be reaped: it cannot be killed, and goes
// with its sandbox.
bool zombie(int proc_fd, const char *pid) {
    char path[300], text[256];
    std::snprintf(path, sizeof path, "%s/stat", pid);
    const int fd = openat(proc_fd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true; // gone already
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return true;
    text[n] = '\0';
    const char *end = std::strrchr(text, ')');
    return end && end[1] == ' ' && (end[2] == 'Z' || end[2] == 'X');
}

// The resident size of a process in KiB, 0 when it is gone.
long resident_kb(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/statm", static_cast<int>(pid));
    std::FILE *file = std::fopen(path, "re");
    if (!file) return 0;
    long size = 0, resident = 0;
    const int read = std::fscanf(file, "%ld %ld", &size, &resident);
    std::fclose(file);
    return read == 2 ? resident * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

// The threads of a process (each counts against the process limit), at least 1.
long threads_of(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    std::FILE *file = std::fopen(path, "re");
    if (!file) return 1;
    char text[1024];
    const std::size_t n = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[n] = '\0';
    // Fields after the command name, which ends at the last ')': state is field 3, threads 20.
    const char *at = std::strrchr(text, ')');
    long threads = 0;
    if (!at || std::sscanf(at + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %ld",
                           &threads) != 1)
        return 1;
    return threads > 0 ? threads : 1;
}

// Processes (live ones) whose user id is uid, found by the owner of their /proc folders.
std::vector<pid_t> processes_of(int uid) {
    std::vector<pid_t> found;
    DIR *dir = opendir("/proc");
    if (!dir) return found;
    while (struct dirent *entry = readdir(dir)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        struct stat status;
        if (fstatat(dirfd(dir), entry->d_name, &status, 0) == 0 && static_cast<int>(status.st_uid) == uid &&
            !zombie(dirfd(dir), entry->d_name))
            found.push_back(static_cast<pid_t>(std::atol(entry->d_name)));
    }
    closedir(dir);
    return found;
}

// Ends every process left with the slot's user id (they can only be this sandbox's).
void kill_stragglers(int uid) {
    if (uid < 0) return;
    for (int round = 0; round < STRAGGLER_ROUNDS; round++) {
        const std::vector<pid_t> left = processes_of(uid);
        if (left.empty()) return;
        for (pid_t pid : left) kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::vector<std::string> bwrap_arguments(const SandboxCommand &command) {
    // vorna-mark-child runs as the namespace's first process, which no process inside can
    // signal: a program's kill(-1, SIGKILL) cannot take the report of how it ended with it.
    std::vector<std::string> a = {BWRAP, "--unshare-all", "--die-with-parent", "--new-session", "--as-pid-1",
                                  "--ro-bind", "/usr", "/usr"};
    const char *LINKS[][2] = {{"usr/bin", "/bin"}, {"usr/sbin", "/sbin"}, {"usr/lib", "/lib"},
                              {"usr/lib64", "/lib64"}, {"usr/lib32", "/lib32"}};
    for (auto &link : LINKS)
        if (exists(link[1])) a.insert(a.end(), {"--symlink", link[0], link[1]});
    for (const char *file : {"/etc/alternatives", "/etc/fonts", "/etc/ld.so.cache", "/etc/ld.so.conf",
                             "/etc/ld.so.conf.d", "/var/cache/fontconfig"})
        if (exists(file)) a.insert(a.end(), {"--ro-bind", file, file});
    // /tmp is memory: no bigger than the file-size limit, so that many files cannot fill it.
    const std::string tmp_size = std::to_string(command.limits.file_mb * 1024 * 1024);
    a.insert(a.end(), {"--proc", "/proc", "--dev", "/dev", "--size", tmp_size, "--tmpfs", "/tmp", "--perms", "0700",
                       "--dir", "/tmp/xdg"});
    a.insert(a.end(), {"--bind", command.work_dir, SANDBOX_WORK});
    for (const std::string &folder : command.read_only) a.insert(a.end(), {"--ro-bind", folder, folder});
    a.insert(a.end(), {"--ro-bind", command.child, "/.vorna-mark-child"});
    a.insert(a.end(), {"--chdir", SANDBOX_WORK, "--clearenv"});
    for (const std::string &entry : command.environment) {
        const std::size_t equals = entry.find('=');
        a.insert(a.end(), {"--setenv", entry.substr(0, equals), entry.substr(equals + 1)});
    }
    a.insert(a.end(), {"--", "/.vorna-mark-child"});
    a.insert(a.end(), command.argv.begin(), command.argv.end());
    return a;
}

void set_limit(int resource, rlim_t soft, rlim_t hard) {
    struct rlimit limit = {soft, hard};
    setrlimit(resource, &limit);
}

// In the forked child: only async-signal-safe calls from here to exec.
[[noreturn]] void exec_sandbox(char *const *argv, char *const *environment, int out_fd, int status_fd,
                               const Limits &limits, int uid, pid_t parent) {
    setsid();
    const int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    dup2(out_fd, 1);
    dup2(out_fd, 2);
    dup2(status_fd, 3);
    // Nothing else of the marker's reaches the sandbox: another job's files and pipes are
    // open in this process too, and not all of them are marked close-on-exec.
    close_range(4, ~0U, 0);
    const rlim_t mb = 1024 * 1024;
    set_limit(RLIMIT_CPU, static_cast<rlim_t>(limits.cpu_seconds), static_cast<rlim_t>(limits.cpu_seconds + 1));
    set_limit(RLIMIT_AS, static_cast<rlim_t>(limits.memory_mb) * mb, static_cast<rlim_t>(limits.memory_mb) * mb);
    set_limit(RLIMIT_FSIZE, static_cast<rlim_t>(limits.file_mb) * mb, static_cast<rlim_t>(limits.file_mb) * mb);
    set_limit(RLIMIT_CORE, 0, 0);
    if (uid >= 0) {
        set_limit(RLIMIT_NPROC, static_cast<rlim_t>(limits.processes), static_cast<rlim_t>(limits.processes));
        if (setgroups(0, nullptr) != 0 || setresgid(uid, uid, uid) != 0 || setresuid(uid, uid, uid) != 0) _exit(126);
    }
    // A marker killed midway takes its sandboxes with it (set after the change of user,
    // which clears it); bubblewrap's --die-with-parent does the same for what runs inside.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    execve(argv[0], argv, environment);
    _exit(127);
}

// Appends what is readable on fd to *kept up to cap, dropping the rest; false at end of file.
bool drain(int fd, std::string *kept, std::size_t cap, bool *truncated) {
    char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0) return false;
        if (n < 0) return errno == EAGAIN || errno == EINTR;
        const std::size_t room = kept->size() < cap ? cap - kept->size() : 0;
        kept->append(buffer, std::min(room, static_cast<std::size_t>(n)));
        if (static_cast<std::size_t>(n) > room) *truncated = true;
    }
}

} // namespace

bool sandbox_claim_slot(int slot) {
    (void)slot;
    if (!is_root()) return true;
    if (slot_uid >= 0) return true;
    // An abstract socket name is the claim: it goes with the process, even when killed.
    for (int n = 0; n < SLOT_UID_RANGE; n++) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        struct sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const int length = std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1, "vorna-mark-uid-%d",
                                         SLOT_UID_BASE + n);
        if (bind(fd, reinterpret_cast<sockaddr *>(&address),
                 static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length)) == 0) {
            slot_uid = SLOT_UID_BASE + n; // the socket stays open for the process's life
            kill_stragglers(slot_uid);    // left by a marker that was killed
            return true;
        }
        close(fd);
    }
    return false;
}

int sandbox_owner_uid() { return slot_uid; }

bool sandbox_available(std::string *why) {
    if (access(BWRAP, X_OK) != 0) {
        *why = "bubblewrap is not installed (/usr/bin/bwrap): apt-get install bubblewrap";
        return false;
    }
    if (access(FAKETIME_LIBRARY, R_OK) != 0) {
        *why = std::string("libfaketime is not installed (") + FAKETIME_LIBRARY + "): apt-get install faketime";
        return false;
    }
    const std::string child = own_folder() + "/vorna-mark-child";
    if (access(child.c_str(), X_OK) != 0) {
        *why = "vorna-mark-child is missing beside vorna-mark (" + child + ")";
        return false;
    }
    return true;
}

std::string signal_name(int signal) {
    switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGABRT: return "SIGABRT";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGBUS: return "SIGBUS";
    case SIGKILL: return "SIGKILL";
    case SIGTERM: return "SIGTERM";
    case SIGXCPU: return "SIGXCPU";
    case SIGXFSZ: return "SIGXFSZ";
    case SIGPIPE: return "SIGPIPE";
    case SIGTRAP: return "SIGTRAP";
    case SIGSYS: return "SIGSYS";
    default: return "signal " + std::to_string(signal);
    }
}

SandboxOutcome sandbox_run(const SandboxCommand &command) {
    SandboxOutcome outcome;
    const std::vector<std::string> args = bwrap_arguments(command);
    std::vector<char *> argv;
    for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    char path_entry[] = "PATH=/usr/bin:/bin";
    char *environment[] = {path_entry, nullptr};

    int out_pipe[2], status_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0) {
        outcome.error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return outcome;
    }
    if (pipe2(status_pipe, O_CLOEXEC) != 0) {
        outcome.error = std::string("cannot make a pipe: ") + std::strerror(errno);
        close(out_pipe[0]);
        close(out_pipe[1]);
        return outcome;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) exec_sandbox(argv.data(), environment, out_pipe[1], status_pipe[1], command.limits, slot_uid, parent);
    close(out_pipe[1]);
    close(status_pipe[1]);
    if (pid < 0) {
        outcome.error = std::string("cannot start the sandbox: ") + std::strerror(errno);
        close(out_pipe[0]);
        close(status_pipe[0]);
        return outcome;
    }
    fcntl(out_pipe[0], F_SETFL, O_NONBLOCK);
    fcntl(status_pipe[0], F_SETFL, O_NONBLOCK);
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));

    std::string status_text;
    bool status_truncated = false;
    bool out_open = true, status_open = true, ended = false;
    const auto deadline = start + std::chrono::milliseconds(static_cast<long>(command.limits.wall_seconds * 1000));
    auto next_sample = start;
    int wait_status = 0;
    while (!ended) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            outcome.wall_timeout = true;
            kill(pid, SIGKILL);
            kill_stragglers(slot_uid);
            break;
        }
        if (now >= next_sample && slot_uid >= 0) {
            // The sandbox's processes and their memory, also for a run killed before it could
            // report its own peak.
            const std::vector<pid_t> inside = processes_of(slot_uid);
            long resident = 0, tasks = 0;
            for (pid_t process : inside) {
                resident += resident_kb(process);
                tasks += threads_of(process);
            }
            outcome.max_processes = std::max(outcome.max_processes, tasks);
            outcome.max_rss_kb = std::max(outcome.max_rss_kb, resident);
            next_sample = now + std::chrono::milliseconds(SAMPLE_INTERVAL_MS);
        }
        struct pollfd fds[3];
        int n = 0;
        if (out_open) fds[n++] = {out_pipe[0], POLLIN, 0};
        if (status_open) fds[n++] = {status_pipe[0], POLLIN, 0};
        if (pidfd >= 0) fds[n++] = {pidfd, POLLIN, 0};
        const long until_deadline =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
        const int timeout = static_cast<int>(std::min<long>(until_deadline, SAMPLE_INTERVAL_MS));
        poll(fds, static_cast<nfds_t>(n), pidfd >= 0 || out_open ? timeout : 10);
        if (out_open) out_open = drain(out_pipe[0], &outcome.output, MARK_OUTPUT_CAP, &outcome.output_truncated);
        if (status_open) status_open = drain(status_pipe[0], &status_text, 256, &status_truncated);
        if (waitpid(pid, &wait_status, WNOHANG) == pid) ended = true;
    }
    if (!ended) waitpid(pid, &wait_status, 0);
    if (pidfd >= 0) close(pidfd);
    kill_stragglers(slot_uid);
    drain(out_pipe[0], &outcome.output, MARK_OUTPUT_CAP, &outcome.output_truncated);
    drain(status_pipe[0], &status_text, 256, &status_truncated);
    close(out_pipe[0]);
    close(status_pipe[0]);
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // "exit N rss K" or "signal N rss K" from vorna-mark-child; nothing when the sandbox did
    // not get as far as running it (or the run was killed first).
    int number = 0;
    long rss = 0;
    char kind[16] = "";
    if (std::sscanf(status_text.c_str(), "%15s %d rss %ld", kind, &number, &rss) == 3) {
        outcome.started = true;
        outcome.max_rss_kb = std::max(outcome.max_rss_kb, rss);
        if (std::strcmp(kind, "exit") == 0) {
            outcome.exited = true;
            outcome.exit_status = number;
        } else {
            outcome.signal = number;
        }
    } else if (outcome.wall_timeout) {
        outcome.started = true;
        outcome.signal = SIGKILL;
    } else {
        // The child never reported: bubblewrap could not set up the sandbox, or the marker's
        // limits stopped the child itself.
        outcome.error = "the sandbox did not start";
        if (WIFEXITED(wait_status)) outcome.error += " (bubblewrap exit status " + std::to_string(WEXITSTATUS(wait_status)) + ")";
        if (WIFSIGNALED(wait_status)) outcome.error += " (bubblewrap ended by " + signal_name(WTERMSIG(wait_status)) + ")";
        const std::size_t line = outcome.output.find("bwrap:");
        if (line != std::string::npos) outcome.error += ": " + outcome.output.substr(line, outcome.output.find('\n', line) - line);
    }
    return outcome;
}
