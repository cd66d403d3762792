// run_program.h: runs a VORNA program as its own process, headless, with extra environment
// variables, in a given directory, and collects its exit status and what it wrote to stderr.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "runtime_test_support.h"

extern char **environ;

struct ProgramRun {
    int status = -1;      // the exit status, or -1 when it did not end by itself in time
    std::string errors;   // its stderr
    double seconds = 0.0; // how long it ran
};

// Environment entries are "NAME=value"; they override the test's own. A run that has not ended
// after `limit_seconds` is killed (status -1), so a hang fails the test instead of stalling it.
inline ProgramRun run_program(const std::string &program, const std::vector<std::string> &environment,
                              const std::filesystem::path &directory, int limit_seconds = 60) {
    std::vector<std::string> entries = environment;
    entries.push_back("QT_QPA_PLATFORM=offscreen");
    for (char **entry = environ; *entry; ++entry) {
        const std::string name = std::string(*entry).substr(0, std::string(*entry).find('=') + 1);
        bool overridden = false;
        for (const std::string &mine : entries)
            overridden = overridden || mine.rfind(name, 0) == 0;
        if (!overridden) entries.push_back(*entry);
    }
    std::vector<char *> envp;
    for (std::string &entry : entries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    const std::string errors_file = (directory / "stderr.txt").string();
    char *argv[] = {const_cast<char *>(program.c_str()), nullptr};

    ProgramRun run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) { // only async-signal-safe calls from here to exec
        const int fd = open(errors_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, 2) < 0 || chdir(directory.c_str()) != 0) _exit(126);
        execve(program.c_str(), argv, envp.data());
        _exit(127);
    }
    int wait_status = 0;
    while (waitpid(pid, &wait_status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(limit_seconds)) {
            kill(pid, SIGKILL);
            waitpid(pid, &wait_status, 0);
            ADD_FAILURE() << program << " did not end within " << limit_seconds << " s";
            run.errors = read_whole_file(errors_file);
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    run.errors = read_whole_file(errors_file);
    return run;
}
