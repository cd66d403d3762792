// Calls made before VORNA_startup: refused or harmless, never a crash or a hang.
#include <unistd.h>

#include "test_support.h"

TEST(BeforeStartup, CallsAreRefusedOrHarmless) {
    EXPECT_EQ(VORNA_set_animation(ANIM_RUN), 0);
    EXPECT_FALSE(runtime_state.running);
    EXPECT_EQ(VORNA_set_logging(0), 0);
    EXPECT_EQ(runtime_state.logging, 1);
    EXPECT_EQ(runtime_state.console_oldest, -1);
    EXPECT_EQ(VORNA_print("early %d\n", 1), 8);
    EXPECT_STREQ(runtime_state.console_lines[runtime_state.console_oldest], "early 1\n");
    EXPECT_EQ(VORNA_fill_circle(2, 0, 0, 5), 1);
    EXPECT_EQ(VORNA_clear(), 1);
    EXPECT_EQ(VORNA_save_picture("before-startup.png"), 0);
    EXPECT_EQ(access("before-startup.png", F_OK), -1);
    const Event event = next_event();
    EXPECT_EQ(event.kind, EVENT_QUIT);
    EXPECT_EQ(event.x, 0);
    EXPECT_EQ(event.y, 0);
    EXPECT_EQ(event.key, 0);
    // Full input: the wait ends at once with a quit, nothing is held, the pointer is at the
    // origin, and a tick interval waits for start-up, corrected as ever.
    VORNA_Event full = {-1, -1, -1, -1, -1, -1, -1, -1};
    EXPECT_EQ(VORNA_wait(&full), EVENT_QUIT);
    EXPECT_EQ(full.kind, EVENT_QUIT);
    EXPECT_EQ(full.x | full.y | full.key | full.button | full.wheel | full.modifiers | full.repeat, 0);
    EXPECT_EQ(VORNA_key_down('a'), 0);
    int px = -1, py = -1;
    VORNA_mouse_position(&px, &py);
    EXPECT_EQ(px, 0);
    EXPECT_EQ(py, 0);
    VORNA_set_tick_interval(5);
    EXPECT_EQ(runtime_state.tick_interval_ms, 10);
    EXPECT_STREQ(runtime_state.console_lines[(runtime_state.console_next + CONSOLE_RING_SLOTS - 1) % CONSOLE_RING_SLOTS],
                 "Tick interval of 5 not possible, using tick interval 10\n");
    EXPECT_EQ(VORNA_shutdown(), 1);
}
