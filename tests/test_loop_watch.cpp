// The endless-loop watchdog: a stall out of the event wait is told on stderr at once and on the
// console once, at the next drawing or printing; time spent waiting (an event wait, a prompt)
// is no stall, and a shut-down stops the watch.
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "test_support.h"

namespace {

constexpr int STALL_MS = 150;
constexpr auto WELL_PAST = std::chrono::milliseconds(STALL_MS * 4);
const char *const CONSOLE_TEXT = "the program has not waited for an event for 3 seconds: is it in a loop?\n";
const char *const STDERR_TEXT = "vorna: the program has not waited for an event for 3 seconds: is it in a loop?\n";

// Sends stderr to a scratch file while it lives, for the watchdog thread's writes.
class StderrCapture {
  public:
    StderrCapture() {
        path_ = make_scratch_directory("loopwatch") / "stderr";
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        close(fd);
    }
    ~StderrCapture() {
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    std::string text() const { return read_whole_file(path_); }

  private:
    std::filesystem::path path_;
    int saved_ = -1;
};

class LoopWatch : public RuntimeTest {
  protected:
    void TearDown() override {
        loop_watch_stop();
        loop_watch_after_ms = 0;
        RuntimeTest::TearDown();
    }
};

TEST_F(LoopWatch, AStallIsToldOnStderrAtOnceAndOnTheConsoleOnceAtTheNextOutput) {
    StderrCapture captured;
    loop_watch_after_ms = STALL_MS;
    loop_watch_start();

    // Waiting for the user is no stall, however long.
    platform_loop_watch_waiting(1);
    std::this_thread::sleep_for(WELL_PAST);
    platform_loop_watch_waiting(0);
    VORNA_print("after a long wait\n");
    EXPECT_EQ(captured.text(), "");
    EXPECT_EQ(printed_lines(), std::vector<std::string>({"after a long wait\n"}));

    // A stall: stderr has said so before the program does anything more; the console says so
    // before the program's next line, once.
    std::this_thread::sleep_for(WELL_PAST);
    EXPECT_EQ(captured.text(), STDERR_TEXT);
    VORNA_print("one\n");
    VORNA_print("two\n");
    std::this_thread::sleep_for(WELL_PAST); // the same stall is not told again
    VORNA_print("three\n");
    EXPECT_EQ(printed_lines(), std::vector<std::string>({"after a long wait\n", CONSOLE_TEXT, "one\n", "two\n",
                                                         "three\n"}));
    EXPECT_EQ(captured.text(), STDERR_TEXT);

    // The event wait starts the clock afresh; a drawing (the log off) is output too.
    printed_lines().clear();
    post_char('k');
    EXPECT_EQ(next_event().kind, EVENT_KEY);
    VORNA_fill_circle(COLOR_RED, 0, 0, 5);
    EXPECT_EQ(printed_lines(), std::vector<std::string>());
    std::this_thread::sleep_for(WELL_PAST);
    VORNA_fill_circle(COLOR_RED, 0, 0, 5);
    VORNA_fill_circle(COLOR_RED, 0, 0, 5);
    EXPECT_EQ(printed_lines(), std::vector<std::string>({CONSOLE_TEXT}));
    EXPECT_EQ(captured.text(), std::string(STDERR_TEXT) + STDERR_TEXT);

    // Stopped (as shut-down stops it), nothing more is told.
    post_char('k');
    EXPECT_EQ(next_event().kind, EVENT_KEY);
    loop_watch_stop();
    std::this_thread::sleep_for(WELL_PAST);
    VORNA_print("end\n");
    EXPECT_EQ(captured.text(), std::string(STDERR_TEXT) + STDERR_TEXT);
    EXPECT_EQ(printed_lines(), std::vector<std::string>({CONSOLE_TEXT, "end\n"}));
}

// With the watchdog never started (every other test), nothing is told however long the stall.
TEST_F(LoopWatch, OffTellsNothing) {
    StderrCapture captured;
    std::this_thread::sleep_for(WELL_PAST);
    VORNA_print("quiet\n");
    EXPECT_EQ(captured.text(), "");
    EXPECT_EQ(printed_lines(), std::vector<std::string>({"quiet\n"}));
}

} // namespace
