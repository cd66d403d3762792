// running.cpp: running a built program unattended inside the sandbox, and the run's verdict.
//
// The program runs offscreen with the runtime's unattended variables: it plays the teacher's
// script from its first wait and quits when the script ends, saves its picture at the end (and
// after the events --at lists), and writes its drawing log and printed lines to a file whose
// size the runtime caps. libfaketime fixes the clock it sees and `setarch -R` turns off address
// randomisation, so that a run repeats exactly; rlimits and the wall-clock limit bound it.
#include <cmath>
#include <csignal>
#include <filesystem>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mark.h"

namespace fs = std::filesystem;

namespace {

// What a run leaves in the work folder.
const char *LOG_FILE = "log.txt";
const char *SCRIPT_FILE = "input.scr";
const char *ANSWERS_FILE = "answers.txt";

enum {
    EXIT_PROMPT_UNANSWERED = 4, // the runtime's status for a VORNA_gets nobody will answer
    SCAN_DEPTH = 32,            // folders deep the work folder is searched for a file at the limit
    SCAN_ENTRY_BUDGET = 100000, // and entries at most
};

bool copy_into(const std::string &from, const fs::path &to) {
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    if (error) return false;
    const int uid = sandbox_owner_uid();
    if (uid >= 0 && lchown(to.c_str(), static_cast<uid_t>(uid), static_cast<gid_t>(uid)) != 0) return false;
    return true;
}

// A file of at least `size` bytes under the folder open as dir_fd (closed here), or "". The
// folder is the program's: walked by descriptors, links not followed, depth and entries
// bounded, so a tree deeper than a path may be long costs nothing much.
std::string file_at_size(int dir_fd, off_t size, int depth, long *budget) {
    DIR *dir = fdopendir(dir_fd);
    if (!dir) {
        close(dir_fd);
        return "";
    }
    std::string found;
    while (found.empty() && --*budget > 0) {
        const struct dirent *entry = readdir(dir);
        if (!entry) break;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        struct stat status;
        if (fstatat(dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(status.st_mode) && status.st_size >= size) {
            found = entry->d_name;
        } else if (S_ISDIR(status.st_mode) && depth < SCAN_DEPTH) {
            const int child = openat(dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0) continue;
            const std::string inside = file_at_size(child, size, depth + 1, budget);
            if (!inside.empty()) found = std::string(entry->d_name) + "/" + inside;
        }
    }
    closedir(dir);
    return found;
}

bool mentions(const std::string &text, const char *what) { return text.find(what) != std::string::npos; }

} // namespace

std::vector<std::string> checkpoint_names(const Options &options) {
    std::vector<std::string> names;
    for (int n : options.at) names.push_back(std::to_string(n));
    names.push_back("end");
    return names;
}

RunOutcome run_program(const Options &options, const std::string &work, const RuntimeLocation &runtime, int slot) {
    RunOutcome outcome;
    const fs::path folder(work);
    SandboxCommand command;
    command.work_dir = work;
    command.slot = slot;
    command.child = runtime.child;
    command.read_only = {runtime.lib_dir};
    if (!copy_into(options.input, folder / SCRIPT_FILE)) {
        outcome.sandbox.error = "cannot copy the script into the work folder";
        return outcome;
    }
    command.environment = {
        "PATH=/usr/bin:/bin",
        "HOME=/tmp",
        "TMPDIR=/tmp",
        "LANG=C.UTF-8",
        "XDG_RUNTIME_DIR=/tmp/xdg",
        "QT_QPA_PLATFORM=offscreen",
        std::string("VORNA_PLAY=") + SANDBOX_WORK + "/" + SCRIPT_FILE,
        "VORNA_PLAY_EXIT=1",
        std::string("VORNA_PICTURE=") + SANDBOX_WORK + "/end.png",
        std::string("VORNA_LOG=") + SANDBOX_WORK + "/" + LOG_FILE,
        "VORNA_LOG_LIMIT=" + std::to_string(MARK_LOG_CAP),
        std::string("LD_PRELOAD=") + FAKETIME_LIBRARY,
        "FAKETIME=@" + options.clock,
        "FAKETIME_DONT_FAKE_MONOTONIC=1",
    };
    if (!options.answers.empty()) {
        if (!copy_into(options.answers, folder / ANSWERS_FILE)) {
            outcome.sandbox.error = "cannot copy the answers into the work folder";
            return outcome;
        }
        command.environment.push_back(std::string("VORNA_ANSWERS=") + SANDBOX_WORK + "/" + ANSWERS_FILE);
    }
    if (!options.at.empty()) {
        std::string list;
        for (int n : options.at) list += (list.empty() ? "" : ",") + std::to_string(n);
        command.environment.push_back("VORNA_PICTURE_AT=" + list);
    }
    command.argv = {"/usr/bin/setarch", "-R", std::string(SANDBOX_WORK) + "/program"};
    command.limits.wall_seconds = options.time_limit;
    command.limits.cpu_seconds = static_cast<long>(std::ceil(options.time_limit));
    command.limits.memory_mb = options.memory_limit_mb;
    command.limits.file_mb = options.file_limit_mb;
    command.limits.processes = options.process_limit;

    outcome.sandbox = sandbox_run(command);
    // The runtime ignores SIGXFSZ (a cache write may meet the limit first), so a program that
    // writes past the file-size limit is seen by the file it left at the limit.
    const int top = open(work.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (top >= 0) {
        long budget = SCAN_ENTRY_BUDGET;
        outcome.file_at_limit = file_at_size(top, static_cast<off_t>(options.file_limit_mb) * 1024 * 1024, 0, &budget);
    }
    bool truncated = false;
    read_regular_file((folder / LOG_FILE).string(), MARK_LOG_CAP, &outcome.log, &truncated);
    for (const std::string &name : checkpoint_names(options)) {
        const fs::path picture = folder / (name == "end" ? std::string("end.png") : "end-" + name + ".png");
        std::error_code error;
        outcome.pictures.push_back(fs::is_regular_file(fs::symlink_status(picture, error)) ? picture.string() : "");
    }
    return outcome;
}

std::string run_verdict(const Options &options, const RunOutcome &run, std::string *detail) {
    const SandboxOutcome &s = run.sandbox;
    const std::string last = last_drawing_line(run.log);
    const bool failed = !s.exited || s.exit_status != 0;
    // A process limit shows as failed forks: the count reached the limit (threads count too).
    if (s.max_processes >= options.process_limit - 1 && (failed || s.wall_timeout)) {
        *detail = "processes: more than " + std::to_string(options.process_limit);
        return VERDICT_LIMIT;
    }
    if (s.signal == SIGXFSZ || !run.file_at_limit.empty()) {
        *detail = "file size: " + (run.file_at_limit.empty() ? std::string("a file") : run.file_at_limit) +
                  " grew to the " + std::to_string(options.file_limit_mb) + " MB limit";
        return VERDICT_LIMIT;
    }
    // Memory: the address-space limit makes allocations fail, which a program shows as an
    // abort or a crash; its peak size or its messages tell that apart from other crashes.
    const bool big = s.max_rss_kb >= options.memory_limit_mb * 1024 / 2;
    if ((failed || s.wall_timeout) &&
        (big || mentions(s.output, "bad_alloc") || mentions(s.output, "Cannot allocate memory") ||
         mentions(s.output, "out of memory") || mentions(run.log, "out of memory"))) {
        *detail = "memory: more than " + std::to_string(options.memory_limit_mb) + " MB";
        return VERDICT_LIMIT;
    }
    if (s.wall_timeout || s.signal == SIGXCPU) {
        *detail = last.empty() ? "it drew nothing" : "last drawing-log line: " + last;
        return VERDICT_TIMED_OUT;
    }
    if (s.signal != 0) {
        *detail = signal_name(s.signal);
        return VERDICT_CRASHED;
    }
    if (run.pictures.back().empty()) {
        *detail = "it ended with exit status " + std::to_string(s.exit_status) + " and saved no picture";
        return VERDICT_NO_PICTURE;
    }
    if (s.exit_status == EXIT_PROMPT_UNANSWERED) {
        // The runtime ended it at a prompt nobody answers; its line on stderr says which.
        const std::size_t at = s.output.find("VORNA_gets \"");
        *detail = at == std::string::npos ? "a prompt nobody answers ended it (exit status 4)"
                                          : s.output.substr(at, s.output.find('\n', at) - at);
    } else if (s.exit_status != 0) {
        *detail = "exit status " + std::to_string(s.exit_status);
    }
    return "";
}
