// Calls made before VORNA_startup: refused or harmless, never a crash or a hang.
#include <gtest/gtest.h>

#include <unistd.h>

#include "runtime_internal.h"

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
    int x = 5, y = 5;
    char key = 'k';
    EXPECT_EQ(VORNA_next_event(&x, &y, &key), EVENT_QUIT);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(VORNA_shutdown(), 1);
}
