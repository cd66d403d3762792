// The console: its ring of 25 lines, the repaint that replays it, and the logging switch.
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "test_support.h"

namespace {

class Console : public RuntimeTest {
protected:
    // Lets the queued paint of the text window run, as the event wait's poll does.
    static void repaint_console() {
        platform_post_message(runtime_state.text_window, MSG_PAINT, 0, 0, 0);
        drain_messages();
    }
    static std::vector<std::string> shown_rows() {
        static char rows[200][256];
        const int n = platform_console_rows(runtime_state.text_window, rows, 200);
        return std::vector<std::string>(rows, rows + n);
    }
    static std::vector<std::string> stored_lines() {
        std::vector<std::string> lines;
        int slot = runtime_state.console_oldest;
        for (int k = 0; slot >= 0 && !(slot == runtime_state.console_next && k > 0); ++k) {
            lines.emplace_back(runtime_state.console_lines[slot]);
            slot = (slot + 1) % CONSOLE_RING_SLOTS;
        }
        return lines;
    }
};

TEST_F(Console, KeepsTheLastTwentyFiveLinesAndReplaysThemInOrder) {
    for (int i = 1; i <= 30; ++i) VORNA_print("line %d\n", i);
    const std::vector<std::string> stored = stored_lines();
    ASSERT_EQ(stored.size(), 25u);
    EXPECT_EQ(stored.front(), "line 6\n");
    EXPECT_EQ(stored.back(), "line 30\n");
    EXPECT_EQ(runtime_state.console_oldest, runtime_state.console_next);

    repaint_console();
    const std::vector<std::string> rows = shown_rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), "line 30");
    const size_t shown = std::min<size_t>(rows.size(), 25);
    for (size_t i = 0; i < shown; ++i) EXPECT_EQ(rows[rows.size() - 1 - i], "line " + std::to_string(30 - i));
}

TEST_F(Console, LineEndsAndEmptyLines) {
    EXPECT_EQ(VORNA_print("abc\n"), 4);
    EXPECT_EQ(VORNA_print("abc"), 3);
    VORNA_print("two ends\n\n");
    VORNA_print("mid\ndle");
    VORNA_print("%s", "");
    EXPECT_EQ(VORNA_print("\n"), 1);
    const std::vector<std::string> rows = shown_rows();
    ASSERT_GE(rows.size(), 6u);
    const std::vector<std::string> last(rows.end() - 6, rows.end());
    EXPECT_EQ(last, std::vector<std::string>({"abc", "abc", "two ends\n", "mid\ndle", "", ""}));
    const std::vector<std::string> stored = stored_lines();
    EXPECT_EQ(std::vector<std::string>(stored.end() - 2, stored.end()), std::vector<std::string>({"", "\n"}));
    // On the screen a control character inside a row is drawn as its symbol, a space as a space.
    VORNA_print("tab\tand space\n");
    repaint_console();
    char row[256];
    platform_console_shown_row(runtime_state.text_window, row, sizeof row);
    EXPECT_STREQ(row, "tab\u2409and space");
}

TEST_F(Console, ALineThatCannotBeStoredLeavesTheRingConsistent) {
    for (int i = 1; i <= 30; ++i) VORNA_print("kept %d\n", i);
    const std::vector<std::string> before = stored_lines();
    const int oldest = runtime_state.console_oldest, next = runtime_state.console_next;
    console_alloc = [](std::size_t) -> void * { return nullptr; };
    EXPECT_EQ(VORNA_print("lost\n"), 5);
    console_alloc = std::malloc;
    EXPECT_EQ(runtime_state.console_oldest, oldest);
    EXPECT_EQ(runtime_state.console_next, next);
    EXPECT_EQ(stored_lines(), before);
    VORNA_print("after\n");
    EXPECT_EQ(stored_lines().back(), "after\n");
    EXPECT_EQ(stored_lines().size(), 25u);
}

// A program that prints and then computes without asking for events shows its line at once;
// the lines of a burst that follow it within 16 ms reach the screen together once the 16 ms
// have passed, not at every poll meanwhile (a replay polls once per logged frame), and a
// sleeping wait is woken for them.
TEST_F(Console, ALineIsOnTheScreenAtOnceAndTheRestOfABurstOneRefreshLater) {
    auto shown = [] {
        char row[256];
        platform_console_shown_row(runtime_state.text_window, row, sizeof row);
        return std::string(row);
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto first = std::chrono::steady_clock::now();
    VORNA_print("at once\n");
    EXPECT_EQ(shown(), "at once");
    for (int i = 1; i <= 20; ++i) VORNA_print("burst %d\n", i);
    drain_messages();
    if (std::chrono::steady_clock::now() - first < std::chrono::milliseconds(10)) {
        EXPECT_EQ(shown(), "at once") << "a poll within the 16 ms repaints nothing";
    }
    present_canvas();
    {
        WaitLimit limit("the poll waiting for the rest of the burst");
        while (shown() != "burst 20" && !wait_limit_expired) pump_one_message();
    }
    EXPECT_EQ(shown(), "burst 20");
}

TEST_F(Console, LoggingSwitchStoresOneAndShowsTheConsole) {
    auto logging_checked = [] { return menu_flags(CMD_LOGGING) == MENU_ITEM_CHECKED; };
    EXPECT_EQ(VORNA_set_logging(7), 1);
    EXPECT_EQ(runtime_state.logging, 1);
    EXPECT_TRUE(logging_checked());
    EXPECT_EQ(VORNA_set_logging(0), 1);
    EXPECT_EQ(runtime_state.logging, 0);
    EXPECT_FALSE(logging_checked());
    EXPECT_TRUE(platform_window_visible(runtime_state.text_window));
    VORNA_show_console(0);
    VORNA_set_logging(0);
    EXPECT_FALSE(platform_window_visible(runtime_state.text_window)) << "switching logging off shows nothing";
    VORNA_set_logging(1);
    EXPECT_TRUE(platform_window_visible(runtime_state.text_window));
    VORNA_set_logging(0);
}

TEST_F(Console, KeysTypedInTheTextWindowReachTheGraphicsWindow) {
    platform_post_message(runtime_state.text_window, MSG_KEY_DOWN, 'A', 0, 'a');
    platform_post_message(runtime_state.text_window, MSG_KEY_UP, 'A', 0, -1);
    const Event event = next_event();
    EXPECT_EQ(event.kind, EVENT_KEY);
    EXPECT_EQ(event.key, 'a');
}

} // namespace
