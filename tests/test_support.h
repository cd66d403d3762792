// test_support.h: what every test program shares, on top of harness.h: the runtime fixture,
// the console's lines as they are printed, input as the windows would queue it, waits on the
// event loop that cannot hang, pictures of failed tests, scratch folders and other programs run
// as their own processes.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "harness.h"

extern char **environ;

// ---------------------------------------------------------------------------------------------
// Waits that cannot hang
// ---------------------------------------------------------------------------------------------

// The longest a test lets one wait on the event loop (VORNA_next_event, the prompt dialog's
// modal loop, a poll waiting for the console) take: far beyond anything that works, short
// enough that a hang fails within seconds instead of stalling the run.
constexpr int WAIT_LIMIT_SECONDS = 10;

// The running test as <Suite>.<Test>, kept by SaveCanvasOnFailure (below): gtest's own record
// of it cannot be asked while a failure is being reported, nor from a signal handler.
inline std::string running_test_name = "outside-a-test";

// How long a wait that the quit did not end gets before the test program stops.
constexpr int WAIT_LIMIT_GRACE_SECONDS = 5;

inline volatile std::sig_atomic_t wait_limit_expired = 0;
inline const char *volatile wait_limit_what = "";
// A wait of the running test has hung (cleared when a test starts).
inline bool wait_hung_in_test = false;

// Writes the text to stderr from a signal handler.
inline void write_from_handler(const char *text) {
    if (write(STDERR_FILENO, text, std::strlen(text)) < 0) return;
}

// Bounds the waits made while it lives: when the limit passes, a SIGTERM (which the runtime
// turns into a quit, and which ends an open prompt dialog) ends the wait, and the test fails
// naming what did not end. A wait that not even the quit ends (its loop lost the way out) is
// ended by the runtime's own deadline for a quit that is not taken up (about a second; the
// signal's message on stderr, the test named by gtest's RUN line), or else stops the test
// program WAIT_LIMIT_GRACE_SECONDS later, naming the test and the wait. Once a wait of a test
// has hung, its later waits are asked to quit at once, so a test of many waits fails in seconds
// too. When it ends, a quit that a signal asked for (its own, or a test's) is settled, as a
// program's shut-down settles it, so the test program goes on. One at a time.
class WaitLimit {
  public:
    explicit WaitLimit(const char *what, int seconds = WAIT_LIMIT_SECONDS) : what_(what), seconds_(seconds) {
        wait_limit_expired = 0;
        wait_limit_what = what;
        cut_short_ = wait_hung_in_test;
        struct sigaction action = {};
        action.sa_handler = [](int) {
            if (!wait_limit_expired) {
                wait_limit_expired = 1;
                alarm(WAIT_LIMIT_GRACE_SECONDS);
                std::raise(SIGTERM);
                return;
            }
            write_from_handler("\n");
            write_from_handler(running_test_name.c_str());
            write_from_handler(": ");
            write_from_handler(wait_limit_what);
            write_from_handler(" did not end, not even when asked to quit; the test program stops\n");
            _exit(EXIT_FAILURE);
        };
        sigemptyset(&action.sa_mask);
        sigaction(SIGALRM, &action, &previous_);
        if (cut_short_) {
            wait_limit_expired = 1;
            alarm(WAIT_LIMIT_GRACE_SECONDS);
            std::raise(SIGTERM);
        } else {
            alarm(unsigned(seconds_));
        }
    }
    ~WaitLimit() {
        alarm(0);
        sigaction(SIGALRM, &previous_, nullptr);
        platform_quit_signal_settled();
        if (cut_short_) {
            ADD_FAILURE() << what_ << " was ended at once: an earlier wait of this test hung";
        } else if (wait_limit_expired) {
            wait_hung_in_test = true;
            ADD_FAILURE() << what_ << " did not end within " << seconds_ << " s";
        }
    }
    WaitLimit(const WaitLimit &) = delete;
    WaitLimit &operator=(const WaitLimit &) = delete;

  private:
    const char *what_;
    int seconds_;
    bool cut_short_;
    struct sigaction previous_ = {};
};

// What one wait returned.
struct Event {
    int kind;
    int x, y;
    char key;
};

// VORNA_next_event within WAIT_LIMIT_SECONDS. The outputs start as values no test expects, so
// a test sees that the wait wrote them.
inline Event next_event() {
    WaitLimit limit("VORNA_next_event");
    Event event = {EVENT_NONE, INT_MIN + 1, INT_MIN + 1, '\x7F'};
    event.kind = VORNA_next_event(&event.x, &event.y, &event.key);
    return event;
}

// ---------------------------------------------------------------------------------------------
// Input as the windows queue it
// ---------------------------------------------------------------------------------------------

// A left-button press at client pixel (px, py) of the graphics window.
inline void click_pixel(int px, int py) {
    platform_post_message(runtime_state.graphics_window, MSG_LBUTTON_DOWN, px, py, 0);
}

// A left-button press on logical (x, y).
inline void click_at(int x, int y) { click_pixel(runtime_state.origin_x + x, runtime_state.origin_y - y); }

// A typed character, as the graphics window receives it.
inline void post_char(int c) { platform_post_message(runtime_state.graphics_window, MSG_CHAR, c, 0, 0); }

// Ctrl held while the letter key goes down and up, in the window.
inline void press_ctrl_letter(PlatformWindow *window, int letter) {
    platform_post_message(window, MSG_KEY_DOWN, VK_CODE_CONTROL, 0, -1);
    platform_post_message(window, MSG_KEY_DOWN, letter, 0, -1);
    platform_post_message(window, MSG_KEY_UP, letter, 0, 0);
    platform_post_message(window, MSG_KEY_UP, VK_CODE_CONTROL, 0, 0);
}

// The Run menu's item with the identifier: its index, or -1; its flags (MENU_ITEM_CHECKED,
// MENU_ITEM_GRAYED), or -1 when there is no such item.
inline int menu_index(int id) {
    for (int i = 0; i < platform_menu_item_count(runtime_state.run_menu); i++) {
        int item_id = 0;
        platform_menu_item_info(runtime_state.run_menu, i, &item_id, nullptr, 0, nullptr);
        if (item_id == id) return i;
    }
    return -1;
}

inline int menu_flags(int id) {
    int flags = -1;
    platform_menu_item_info(runtime_state.run_menu, menu_index(id), nullptr, nullptr, 0, &flags);
    return flags;
}

// ---------------------------------------------------------------------------------------------
// The console's lines
// ---------------------------------------------------------------------------------------------

// Every line printed while remember_line observes the console, as printed (line end included).
inline std::vector<std::string> &printed_lines() {
    static std::vector<std::string> lines;
    return lines;
}

inline void remember_line(const char *line) { printed_lines().push_back(line); }

// Switches the drawing log on and collects the console's lines afresh while it lives.
class LogCapture {
  public:
    LogCapture() : previous_(console_observer) {
        start_runtime_once();
        printed_lines().clear();
        console_observer = remember_line;
        VORNA_set_logging(1);
    }
    ~LogCapture() {
        VORNA_set_logging(0);
        console_observer = previous_;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // The lines collected so far, each without its line end.
    static std::vector<std::string> lines() {
        std::vector<std::string> lines = printed_lines();
        for (std::string &line : lines)
            if (!line.empty() && line.back() == '\n') line.pop_back();
        return lines;
    }

  private:
    void (*previous_)(const char *line);
};

// ---------------------------------------------------------------------------------------------
// Pictures of failed tests
// ---------------------------------------------------------------------------------------------

// Where the pictures of failed tests go: the folder VORNA_TEST_PICTURES names, else the folder
// the test program started in (ctest starts each one in build/tests). Fixed at the first call,
// which test_main makes before any test changes folder.
inline const std::filesystem::path &test_output_directory() {
    static const std::filesystem::path directory = [] {
        const char *named = std::getenv("VORNA_TEST_PICTURES");
        return std::filesystem::absolute(named && *named ? std::filesystem::path(named)
                                                         : std::filesystem::current_path());
    }();
    return directory;
}

// Saves the picture as <Suite>.<Test>.png (or <Suite>.<Test>.<label>.png) in the output folder;
// returns the file's path, or why nothing was saved.
inline std::string save_test_picture(PlatformSurface *picture, const std::string &label = "") {
    std::string name = running_test_name;
    if (!label.empty()) name += "." + label;
    std::replace(name.begin(), name.end(), '/', '_');
    const std::filesystem::path path = test_output_directory() / (name + ".png");
    if (!picture || !platform_save_surface(picture, path.c_str())) return "(no picture saved at " + path.string() + ")";
    return path.string();
}

// The canvas saved at the running test's first failure, or empty.
inline std::string failure_canvas_path;

// Saves the canvas, as it is at that moment, at the first failure of a test that looked at a
// picture. Installed by test_main; RuntimeTest names the file in a failure message of its own.
class SaveCanvasOnFailure : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo &test) override {
        running_test_name = std::string(test.test_suite_name()) + "." + test.name();
        wait_hung_in_test = false;
        pictures_looked_at = false;
        failure_canvas_path.clear();
    }
    void OnTestPartResult(const testing::TestPartResult &result) override {
        if (result.failed() && pictures_looked_at && failure_canvas_path.empty() && runtime_state.canvas)
            failure_canvas_path = save_test_picture(runtime_state.canvas);
    }
};

// ---------------------------------------------------------------------------------------------
// The runtime fixture
// ---------------------------------------------------------------------------------------------

// Every test starts with the runtime up, the queue empty, the animation halted, logging off, no
// script activity, and the printed lines collected afresh. A test that looked at a picture and
// failed says where the canvas at its first failure is.
class RuntimeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        start_runtime_once();
        platform_quit_signal_settled(); // a signal an earlier test raised is not this test's
        drain_messages();
        reset_runtime_state();
        printed_lines().clear();
        console_observer = remember_line;
    }
    void TearDown() override {
        console_observer = nullptr;
        if (!failure_canvas_path.empty())
            ADD_FAILURE() << "The canvas at the first failure: " << failure_canvas_path;
    }
};

// ---------------------------------------------------------------------------------------------
// Files and other programs
// ---------------------------------------------------------------------------------------------

// A fresh temporary folder, made the current one while the object lives (the runtime's file
// names, such as VORNA.SCR, are fixed), then removed with everything in it.
class ScratchDirectory {
  public:
    ScratchDirectory() : previous_(std::filesystem::current_path()), path_(make_scratch_directory("vorna-test")) {
        EXPECT_FALSE(path_.empty());
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(path_);
    }
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;
    const std::filesystem::path &path() const { return path_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

struct ProgramRun {
    int status = -1;      // the exit status, or -1 when it did not end by itself in time
    std::string errors;   // its stderr
    double seconds = 0.0; // how long it ran
};

// A VORNA program started as its own process (start_program) and not yet waited for.
struct StartedProgram {
    pid_t pid = -1;
    std::string program;
    std::filesystem::path errors_file;
    std::chrono::steady_clock::time_point start;
};

// Starts a VORNA program as its own process, headless, in the folder, with the arguments and
// with the environment entries ("NAME=value") overriding the test's own; its stderr goes to
// stderr.txt in the folder.
inline StartedProgram start_program(const std::string &program, const std::vector<std::string> &arguments,
                                    const std::vector<std::string> &environment,
                                    const std::filesystem::path &directory) {
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
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    StartedProgram started;
    started.program = program;
    started.errors_file = directory / "stderr.txt";
    started.start = std::chrono::steady_clock::now();
    started.pid = fork();
    if (started.pid == 0) { // only async-signal-safe calls from here to exec
        const int fd = open(started.errors_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, 2) < 0 || chdir(directory.c_str()) != 0) _exit(126);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    return started;
}

// Waits for a started program to end and collects its exit status (128 + the signal that ended
// it) and its stderr. A run that has not ended `limit_seconds` after its start is killed
// (status -1), so a hang fails the test instead of stalling it.
inline ProgramRun finish_program(const StartedProgram &started, int limit_seconds = 2 * WAIT_LIMIT_SECONDS) {
    ProgramRun run;
    int wait_status = 0;
    while (waitpid(started.pid, &wait_status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - started.start > std::chrono::seconds(limit_seconds)) {
            kill(started.pid, SIGKILL);
            waitpid(started.pid, &wait_status, 0);
            ADD_FAILURE() << started.program << " did not end within " << limit_seconds << " s";
            run.errors = read_whole_file(started.errors_file);
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started.start).count();
    run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    run.errors = read_whole_file(started.errors_file);
    return run;
}

// Runs a VORNA program with no arguments to its end (start_program, then finish_program). The
// programs the tests run end within a second or two, under the sanitizers too.
inline ProgramRun run_program(const std::string &program, const std::vector<std::string> &environment,
                              const std::filesystem::path &directory, int limit_seconds = 2 * WAIT_LIMIT_SECONDS) {
    return finish_program(start_program(program, {}, environment, directory), limit_seconds);
}
