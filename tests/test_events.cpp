// The event wait and the animation modes, driven by injected messages.
#include <chrono>
#include <csignal>
#include <ctime>
#include <fstream>
#include <thread>

#include <unistd.h>

#include "test_support.h"

namespace {

class Events : public RuntimeTest {};

TEST_F(Events, ClicksArriveInLogicalCoordinates) {
    click_pixel(runtime_state.origin_x, runtime_state.origin_y);
    Event event = next_event();
    EXPECT_EQ(event.kind, EVENT_MOUSE);
    EXPECT_EQ(event.x, 0);
    EXPECT_EQ(event.y, 0);
    EXPECT_EQ(event.key, 0);
    click_pixel(runtime_state.origin_x + 1, runtime_state.origin_y - 1);
    event = next_event();
    EXPECT_EQ(event.kind, EVENT_MOUSE);
    EXPECT_EQ(event.x, 1);
    EXPECT_EQ(event.y, 1);
    click_pixel(0, 0);
    event = next_event();
    EXPECT_EQ(event.kind, EVENT_MOUSE);
    EXPECT_EQ(event.x, -runtime_state.origin_x);
    EXPECT_EQ(event.y, runtime_state.origin_y);
}

TEST_F(Events, EveryPressOfAQuickSeriesIsAClick) {
    // The toolkit reports the second press of a quick pair as a double-click.
    for (int i = 0; i < 4; i++) platform_send_left_click(runtime_state.graphics_window, 10 + i, 20 + i, i % 2);
    // Each release is a button-up of its own (for VORNA_wait), never a press.
    PlatformMessage message;
    for (int i = 0; i < 4; i++) {
        ASSERT_EQ(platform_peek_message(&message, 0), 1) << "click " << i << " was lost";
        EXPECT_EQ(message.kind, MSG_LBUTTON_DOWN);
        EXPECT_EQ(message.a, 10 + i);
        EXPECT_EQ(message.b, 20 + i);
        ASSERT_EQ(platform_peek_message(&message, 0), 1) << "release " << i << " was lost";
        EXPECT_EQ(message.kind, MSG_BUTTON_UP);
        EXPECT_EQ(message.c, INPUT_BUTTON_LEFT);
    }
    EXPECT_EQ(platform_peek_message(&message, 0), 0) << "a press counted twice";
}

// Keys as the toolkit reports them: a key-down with the key's code and the one 8-bit character
// it types, then a key-up. Alt combinations, Delete and characters beyond Latin-1 type nothing.
TEST_F(Events, ToolkitKeysBecomeKeyMessagesWithTheCharacterTheyType) {
    const struct {
        int vk_code;
        const char *text;
        int alt;
        int typed;
    } keys[] = {
        {'A', "a", 0, 'a'},      {'Z', "z", 0, 'z'},           {'0', "0", 0, '0'}, {'9', "(", 0, '('},
        {'5', "%", 0, '%'},           {'E', "\xC3\xA9", 0, 0xE9}, {'E', "\xE2\x82\xAC", 0, -1},
        {'X', "x", 1, -1},       {VK_CODE_DELETE, "\x7F", 0, -1}, {VK_CODE_RETURN, "\r", 0, '\r'},
        {VK_CODE_F1, "", 0, -1}, {VK_CODE_F12, "", 0, -1},     {VK_CODE_CONTROL, "", 0, -1},
    };
    for (const auto &key : keys) {
        SCOPED_TRACE(key.vk_code);
        platform_send_key(runtime_state.graphics_window, key.vk_code, key.text, key.alt, 0);
        PlatformMessage down = {}, up = {};
        ASSERT_EQ(platform_peek_message(&down, 0), 1);
        ASSERT_EQ(platform_peek_message(&up, 0), 1);
        EXPECT_EQ(down.kind, MSG_KEY_DOWN);
        EXPECT_EQ(down.a, key.vk_code);
        EXPECT_EQ(down.c, key.typed);
        EXPECT_EQ(up.kind, MSG_KEY_UP);
        EXPECT_EQ(up.a, key.vk_code);
    }
    // A held key repeats its key-down, marked as a repeat, and no key-up: Ctrl stays held.
    platform_send_key(runtime_state.graphics_window, VK_CODE_CONTROL, "", 0, 1);
    PlatformMessage repeat = {};
    ASSERT_EQ(platform_peek_message(&repeat, 0), 1);
    EXPECT_EQ(repeat.kind, MSG_KEY_DOWN);
    EXPECT_EQ(repeat.b, 1);
    EXPECT_EQ(platform_peek_message(&repeat, 0), 0) << "a repeated key-up";
}

TEST_F(Events, TypedCharactersBecomeKeysUnlessCtrlIsHeld) {
    // The character comes before what was queued behind its key-down.
    platform_post_message(runtime_state.graphics_window, MSG_KEY_DOWN, 'Q', 0, 'q');
    click_pixel(runtime_state.origin_x, runtime_state.origin_y);
    Event event = next_event();
    EXPECT_EQ(event.kind, EVENT_KEY);
    EXPECT_EQ(event.key, 'q');
    EXPECT_EQ(event.x, 0);
    EXPECT_EQ(event.y, 0);
    EXPECT_EQ(next_event().kind, EVENT_MOUSE);
    post_char(233);
    event = next_event();
    EXPECT_EQ(event.kind, EVENT_KEY);
    EXPECT_EQ(static_cast<unsigned char>(event.key), 233);

    runtime_state.ctrl_down = 1;
    post_char('x');
    click_pixel(10, 10);
    EXPECT_EQ(next_event().kind, EVENT_MOUSE);
    runtime_state.ctrl_down = 0;
}

// Input queued behind another message reaches the wait after it has armed a tick.
void post_behind_a_message(void (*post)()) {
    platform_post_message(runtime_state.graphics_window, MSG_PAINT, 0, 0, 0);
    post();
}

TEST_F(Events, AStepGivesExactlyOneTickAtATimerMessage) {
    EXPECT_EQ(VORNA_set_animation(ANIM_STEP), 1);
    EXPECT_FALSE(runtime_state.running);
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    EXPECT_FALSE(runtime_state.single_step);
    // A key that comes while the step's tick is armed replaces it, and the tick is lost.
    VORNA_set_animation(ANIM_STEP);
    post_behind_a_message([] { post_char('k'); });
    EXPECT_EQ(next_event().kind, EVENT_KEY);
    EXPECT_FALSE(runtime_state.single_step);
    // Halted again: the next wait ends only with input.
    platform_post_message(runtime_state.graphics_window, MSG_TIMER, TIMER_ANIMATION_ID, 0, 0);
    click_pixel(5, 5);
    EXPECT_EQ(next_event().kind, EVENT_MOUSE);
}

TEST_F(Events, RunningGivesTicksAndInputWinsOverAnArmedTick) {
    VORNA_set_animation(ANIM_RUN);
    VORNA_set_animation(ANIM_STEP);
    EXPECT_TRUE(runtime_state.running);
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    post_behind_a_message([] { click_pixel(1, 1); });
    EXPECT_EQ(next_event().kind, EVENT_MOUSE);
    post_behind_a_message([] { post_char('k'); });
    const Event key = next_event();
    EXPECT_EQ(key.kind, EVENT_KEY);
    EXPECT_EQ(key.key, 'k');
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    VORNA_set_animation(ANIM_HALT);
    EXPECT_FALSE(runtime_state.running);
    EXPECT_FALSE(runtime_state.single_step);
}

// A program that draws nothing on a tick still gets one per timer period, and a step after a
// halt comes at the next period: the wait never sleeps between an event and arming the next
// tick. Timed with the real timer, with bounds wide enough for a busy machine (a tick every
// other period would take twice as long).
TEST_F(Events, TicksComeEveryTimerPeriodWhenNothingIsDrawn) {
    using Clock = std::chrono::steady_clock;
    runtime_state.canvas_dirty = false;
    VORNA_set_animation(ANIM_RUN);
    EXPECT_EQ(next_event().kind, EVENT_TICK); // in step with the timer from here on
    auto start = Clock::now();
    for (int i = 0; i < 10; i++) EXPECT_EQ(next_event().kind, EVENT_TICK);
    const auto running_ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(running_ms, 850);
    EXPECT_LE(running_ms, 1400);

    VORNA_set_animation(ANIM_HALT);
    start = Clock::now();
    for (int i = 0; i < 5; i++) {
        VORNA_set_animation(ANIM_STEP);
        EXPECT_EQ(next_event().kind, EVENT_TICK);
        VORNA_set_animation(ANIM_HALT);
    }
    const auto stepping_ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_LE(stepping_ms, 5 * 150);
}

TEST_F(Events, ModesThreeAndFourChangeNothing) {
    runtime_state.running = true;
    for (int mode : {3, 4, 99, -1}) {
        EXPECT_EQ(VORNA_set_animation(mode), 1);
        EXPECT_TRUE(runtime_state.running);
        EXPECT_FALSE(runtime_state.single_step);
        EXPECT_FALSE(runtime_state.quit_requested);
    }
}

TEST_F(Events, ClosingTheGraphicsWindowEndsTheWaitWithQuitAlsoDuringPlayback) {
    platform_post_message(runtime_state.graphics_window, MSG_DESTROY, 0, 0, 0);
    EXPECT_EQ(next_event().kind, EVENT_QUIT);

    // During playback the script's events do not replace the quit. The close posts it, so the
    // event the script gave in the same pass may come first.
    ScratchDirectory directory;
    std::ofstream(SCRIPT_FILE_NAME) << "VORNA_PERIODIC(5);\r\nVORNA_KBD(97);\r\n";
    toggle_playback();
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    platform_post_message(runtime_state.graphics_window, MSG_DESTROY, 0, 0, 0);
    int kind = next_event().kind;
    if (kind == EVENT_TICK) kind = next_event().kind;
    EXPECT_EQ(kind, EVENT_QUIT);
    reset_script_state();
}

TEST_F(Events, AfterAnimQuitEveryWaitReturnsQuitAfterOneEvent) {
    VORNA_set_animation(ANIM_QUIT);
    click_at(3, 0);
    const Event event = next_event();
    EXPECT_EQ(event.kind, EVENT_QUIT);
    EXPECT_EQ(event.x, 3); // the outputs still carry the underlying event
    post_char('k');
    EXPECT_EQ(next_event().kind, EVENT_QUIT);
    runtime_state.quit_requested = false;
}

TEST_F(Events, DrawingReachesTheWindowAtTheNextPoll) {
    VORNA_draw_rectangle(4, -10, 10, 10, -10, 0);
    EXPECT_TRUE(runtime_state.canvas_dirty);
    click_pixel(0, 0);
    next_event();
    EXPECT_FALSE(runtime_state.canvas_dirty);
    EXPECT_EQ(picture_pixel(runtime_state.window_dc, runtime_state.origin_x, runtime_state.origin_y), RGB_BLUE);
    EXPECT_EQ(platform_window_shown_pixel(runtime_state.graphics_window, runtime_state.origin_x, runtime_state.origin_y),
              RGB_BLUE);
    // An exposure restores the picture from the canvas without the application.
    VORNA_draw_rectangle(2, -10, 10, 10, -10, 0);
    runtime_state.canvas_dirty = false;
    platform_post_message(runtime_state.graphics_window, MSG_PAINT, 0, 0, 0);
    click_pixel(0, 0);
    next_event();
    EXPECT_EQ(picture_pixel(runtime_state.window_dc, runtime_state.origin_x, runtime_state.origin_y), RGB_RED);
    // A frame drawn on a live tick goes to the screen at the first poll, before the wait can
    // sleep, however soon after the last copy.
    VORNA_set_animation(ANIM_RUN);
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    VORNA_draw_rectangle(3, -10, 10, 10, -10, 0);
    runtime_state.presented_at = std::chrono::steady_clock::now();
    pump_one_message();
    EXPECT_EQ(picture_pixel(runtime_state.window_dc, runtime_state.origin_x, runtime_state.origin_y), RGB_GREEN);
    EXPECT_EQ(platform_window_shown_pixel(runtime_state.graphics_window, runtime_state.origin_x, runtime_state.origin_y),
              RGB_GREEN);
    VORNA_set_animation(ANIM_HALT);
}

// A program that goes on waiting after VORNA_shutdown, with something drawn that can no longer
// reach the released window, still sleeps until input comes: here a SIGTERM 300 ms later.
TEST_F(Events, AWaitAfterShutDownSleeps) {
    PlatformSurface *window_picture = runtime_state.window_dc;
    VORNA_shutdown();
    VORNA_put_pixel(COLOR_RED, 0, 0);
    std::thread later([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kill(getpid(), SIGTERM);
    });
    const std::clock_t cpu_before = std::clock();
    EXPECT_EQ(next_event().kind, EVENT_QUIT);
    const double cpu_ms = 1000.0 * double(std::clock() - cpu_before) / CLOCKS_PER_SEC;
    later.join();
    runtime_state.window_dc = window_picture;
    EXPECT_LT(cpu_ms, 150.0) << "the wait spun instead of sleeping";
}

} // namespace
