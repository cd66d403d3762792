// Teaching aids: which keys are aid keys for which program, the F1 list, and the grid overlay,
// shown on the window and never drawn into the canvas.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "test_support.h"

namespace {

class Aids : public RuntimeTest {
  protected:
    void TearDown() override {
        if (runtime_state.aid_coordinates) press(VK_CODE_F1 + 1, runtime_state.uses_full_input ? INPUT_MOD_SHIFT : 0);
        while (runtime_state.aid_speed != 0) press(VK_CODE_F1 + 4, runtime_state.uses_full_input ? INPUT_MOD_SHIFT : 0);
        if (runtime_state.aid_grid) press(VK_CODE_F1 + 2, runtime_state.uses_full_input ? INPUT_MOD_SHIFT : 0);
        runtime_state.uses_full_input = false;
        RuntimeTest::TearDown();
    }
    static PlatformMessage key_down(int vk, int modifiers, int held = 0) {
        PlatformMessage message{};
        message.window = runtime_state.graphics_window;
        message.kind = MSG_KEY_DOWN;
        message.a = vk;
        message.b = held;
        message.modifiers = modifiers;
        return message;
    }
    static void press(int vk, int modifiers, int held = 0) {
        const PlatformMessage message = key_down(vk, modifiers, held);
        graphics_window_proc(runtime_state.graphics_window, &message);
    }
};

TEST_F(Aids, AidKeysArePlainFunctionKeysOrWithShiftForFullInputPrograms) {
    struct Case {
        bool full_input;
        int vk;
        int modifiers;
        int aid; // 0: not an aid key
    } const cases[] = {
        {false, VK_CODE_F1, 0, 1},
        {false, VK_CODE_F1 + 2, 0, 3},
        {false, VK_CODE_F1 + 1, 0, 2},
        {false, VK_CODE_F1 + 3, 0, 4},
        {false, VK_CODE_F1 + 4, 0, 5},
        {false, VK_CODE_F1 + 5, 0, 6},
        {false, VK_CODE_F1 + 6, 0, 0},                   // no aid on F7
        {false, VK_CODE_F12, 0, 0},                      // F12 stays the picture key
        {false, VK_CODE_F1, INPUT_MOD_SHIFT, 0},         // Shift only for full input
        {false, VK_CODE_F1, INPUT_MOD_CTRL, 0},
        {false, VK_CODE_F1 + 2, INPUT_MOD_ALT, 0},
        {false, 'A', 0, 0},
        {true, VK_CODE_F1, 0, 0},                        // the program's own F1
        {true, VK_CODE_F1, INPUT_MOD_SHIFT, 1},
        {true, VK_CODE_F1 + 2, INPUT_MOD_SHIFT, 3},
        {true, VK_CODE_F1 + 2, INPUT_MOD_SHIFT | INPUT_MOD_CTRL, 0},
        {true, VK_CODE_F12, INPUT_MOD_SHIFT, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "full input " << c.full_input << ", key " << c.vk << ", modifiers "
                                        << c.modifiers);
        runtime_state.uses_full_input = c.full_input;
        const PlatformMessage message = key_down(c.vk, c.modifiers);
        EXPECT_EQ(aid_for_key(&message), c.aid);
        // An aid key is no key event for VORNA_wait.
        if (c.aid != 0) {
            EXPECT_TRUE(menu_takes_key(&message));
        }
    }
}

TEST_F(Aids, F1ListsTheAidKeysWithTheShiftAFullInputProgramNeeds) {
    press(VK_CODE_F1, 0);
    press(VK_CODE_F1, 0, 1); // held: once only
    EXPECT_EQ(printed_lines(), std::vector<std::string>({"Teaching aids (keys):\n", "  F1  this list\n",
                                                         "  F2  coordinates and colour under the pointer (off)\n",
                                                         "  F3  axes and a 50-unit grid on the window (off)\n",
                                                         "  F4  inspector: click a pixel to see the call that painted it (off)\n",
                                                         "  F5  tick speed x1, x2, x4, x0.25, x0.5 (now x1)\n",
                                                         "  F6  record the window as VORNA-0001.gif, ... (off)\n"}));
    printed_lines().clear();
    runtime_state.uses_full_input = true;
    press(VK_CODE_F1, 0); // the program's key: nothing printed
    EXPECT_TRUE(printed_lines().empty());
    press(VK_CODE_F1, INPUT_MOD_SHIFT);
    ASSERT_EQ(printed_lines().size(), 7u);
    EXPECT_EQ(printed_lines()[1], "  Shift+F1  this list\n");
}

TEST_F(Aids, TheGridIsOnTheWindowOnlyAndAFullInputProgramStillGetsPlainF3) {
    VORNA_clear();
    present_canvas();
    // A point on a grid line 50 units right of the y axis, away from any label.
    const int x = runtime_state.origin_x + 50, y = runtime_state.origin_y - 120;
    const std::uint32_t before = platform_window_shown_pixel(runtime_state.graphics_window, x, y);
    if (before == 0xFFFFFFFFu && !platform_window_visible(runtime_state.graphics_window))
        GTEST_SKIP() << "this platform cannot read the screen back";
    EXPECT_EQ(before, RGB_WHITE);

    press(VK_CODE_F1 + 2, 0);
    EXPECT_TRUE(runtime_state.aid_grid);
    const std::uint32_t with_grid = platform_window_shown_pixel(runtime_state.graphics_window, x, y);
    EXPECT_NE(with_grid, RGB_WHITE);
    EXPECT_EQ(with_grid & 0xFF, (with_grid >> 8) & 0xFF) << "a grey line";
    EXPECT_EQ(platform_surface_pixel(runtime_state.canvas, x, y) & 0xFFFFFFu, RGB_WHITE) << "never in the canvas";
    // A new picture keeps the grid over it.
    VORNA_fill_circle(COLOR_RED, 300, 300, 3);
    present_canvas();
    EXPECT_EQ(platform_window_shown_pixel(runtime_state.graphics_window, x, y), with_grid);

    press(VK_CODE_F1 + 2, 0);
    EXPECT_FALSE(runtime_state.aid_grid);
    EXPECT_EQ(platform_window_shown_pixel(runtime_state.graphics_window, x, y), RGB_WHITE);

    // For a program reading full input, Shift+F3 is the aid and plain F3 its own key event,
    // both as the toolkit delivers them.
    runtime_state.uses_full_input = true;
    PlatformWindow *w = runtime_state.graphics_window;
    ASSERT_EQ(platform_send_named_key(w, "F3", "", INPUT_MOD_SHIFT, 1, 0), 1);
    ASSERT_EQ(platform_send_named_key(w, "F3", "", INPUT_MOD_SHIFT, 0, 0), 1);
    ASSERT_EQ(platform_send_named_key(w, "F3", "", 0, 1, 0), 1);
    VORNA_Event event{};
    {
        WaitLimit limit("VORNA_wait");
        EXPECT_EQ(VORNA_wait(&event), EVENT_KEY);
    }
    EXPECT_EQ(event.key, VORNA_KEY_F3);
    EXPECT_EQ(event.modifiers, 0);
    EXPECT_TRUE(runtime_state.aid_grid);
    platform_send_named_key(w, "F3", "", 0, 0, 0);
    drain_messages();
}

TEST_F(Aids, TheCoordinatesLabelNamesTheLogicalPointAndItsPaletteColour) {
    VORNA_clear();
    VORNA_fill_circle(COLOR_RED, 0, 0, 10);
    VORNA_draw_rectangle(COLOR_NAVY_BLUE, 100, -100, 120, -80, 1);
    const int ox = runtime_state.origin_x, oy = runtime_state.origin_y;
    struct Case {
        int x, y; // client pixel
        std::string text;
    } const cases[] = {
        {ox, oy, "(0, 0) red"},
        {ox + 5, oy - 5, "(5, 5) red"},
        {ox + 100, oy + 100, "(100, -100) navy blue"},
        {ox - 200, oy + 200, "(-200, -200) white"},
        {-1, oy, "(" + std::to_string(-1 - ox) + ", 0) outside the canvas"},
    };
    for (const Case &c : cases) {
        char text[96];
        aids_describe_pixel(c.x, c.y, text, sizeof text);
        EXPECT_EQ(std::string(text), c.text);
    }

    // On the window only: the label follows the pointer; F2 again takes it away.
    present_canvas();
    PlatformWindow *w = runtime_state.graphics_window;
    const int px = ox - 150, py = oy - 150;
    const std::uint32_t before = platform_window_shown_pixel(w, px + 20, py + 20);
    if (before == 0xFFFFFFFFu && !platform_window_visible(w)) GTEST_SKIP() << "this platform cannot read the screen back";
    press(VK_CODE_F1 + 1, 0);
    platform_send_pointer(w, MSG_MOUSE_MOVE, px, py, 0, 0, 0);
    drain_messages();
    EXPECT_NE(platform_window_shown_pixel(w, px + 15, py + 15), RGB_WHITE) << "the label's edge";
    EXPECT_EQ(platform_surface_pixel(runtime_state.canvas, px + 15, py + 15) & 0xFFFFFFu, RGB_WHITE);
    press(VK_CODE_F1 + 1, 0);
    EXPECT_EQ(platform_window_shown_pixel(w, px + 15, py + 15), RGB_WHITE);
    VORNA_clear();
}

// F5 steps the speed; the window system's timer period follows, the program's tick interval
// does not, and the ticks come at the new pace.
TEST_F(Aids, TheSpeedFactorChangesTheDeliveredTickPeriodOnly) {
    struct Step {
        int period_at_100; // the timer period for a 100 ms tick interval
        int period_at_10;
    } const steps[] = {{50, 5}, {25, 2}, {400, 40}, {200, 20}, {100, 10}};
    ASSERT_EQ(delivered_tick_period(100), 100);
    for (const Step &step : steps) {
        press(VK_CODE_F1 + 4, 0);
        EXPECT_EQ(delivered_tick_period(100), step.period_at_100);
        EXPECT_EQ(delivered_tick_period(10), step.period_at_10);
        EXPECT_EQ(runtime_state.tick_interval_ms, TIMER_PERIOD_MS);
    }
    EXPECT_EQ(runtime_state.aid_speed, 0);

    // x4: eight ticks of a 100 ms interval come in about 200 ms, far under the 800 ms of x1.
    press(VK_CODE_F1 + 4, 0);
    press(VK_CODE_F1 + 4, 0);
    VORNA_set_animation(ANIM_RUN);
    next_event(); // the first tick, whenever the timer had it
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 8; i++)
        ASSERT_EQ(next_event().kind, EVENT_TICK);
    const double fast_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("eight ticks at x4: %.0f ms\n", fast_ms);
    EXPECT_LT(fast_ms, 600.0);
    EXPECT_GT(fast_ms, 150.0);
    // x0.25: two ticks take 800 ms at least.
    press(VK_CODE_F1 + 4, 0);
    next_event();
    const auto slow_start = std::chrono::steady_clock::now();
    for (int i = 0; i < 2; i++)
        ASSERT_EQ(next_event().kind, EVENT_TICK);
    const double slow_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - slow_start).count();
    std::printf("two ticks at x0.25: %.0f ms\n", slow_ms);
    EXPECT_GT(slow_ms, 700.0);
    VORNA_set_animation(ANIM_HALT);
}

} // namespace
