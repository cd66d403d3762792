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
    EXPECT_EQ(VORNA_shutdown(), 1);
}
