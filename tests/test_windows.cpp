// Start-up: the two windows, their titles and places, and the origin at the client's centre.
#include "test_support.h"

extern "C" int c_program_draws_through_the_header(void);

namespace {

class Windows : public RuntimeTest {};

TEST_F(Windows, GraphicsWindowIsFixedAtTheTopLeftWithTheOriginInItsClientCentre) {
    EXPECT_STREQ(platform_window_title(runtime_state.graphics_window), "VORNA Graphics");
    int x = -1, y = -1, w = 0, h = 0;
    platform_window_geometry(runtime_state.graphics_window, &x, &y, &w, &h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, 601);
    EXPECT_EQ(h, 540);
    int cw = 0, ch = 0;
    platform_client_size(runtime_state.graphics_window, &cw, &ch);
    // The frame (where the window system has one) and the menu bar take their share.
    EXPECT_LE(cw, 601);
    EXPECT_GT(cw, 580);
    EXPECT_LT(ch, 540);
    EXPECT_GT(ch, 480);
    EXPECT_EQ(runtime_state.origin_x, cw / 2);
    EXPECT_EQ(runtime_state.origin_y, ch / 2);
    // Settled at start-up: a later size message never moves the origin under the program.
    platform_post_message(runtime_state.graphics_window, MSG_SIZE, cw - 2, ch - 21, 0);
    drain_messages();
    EXPECT_EQ(runtime_state.origin_x, cw / 2);
    EXPECT_EQ(runtime_state.origin_y, ch / 2);
    EXPECT_TRUE(platform_window_visible(runtime_state.graphics_window));
    EXPECT_EQ(platform_surface_width(runtime_state.canvas), 601);
    EXPECT_EQ(platform_surface_height(runtime_state.canvas), 540);
}

TEST_F(Windows, TextWindowFillsTheBottomThirdOfTheScreen) {
    int sw = 0, sh = 0;
    platform_screen_size(&sw, &sh);
    EXPECT_STREQ(platform_window_title(runtime_state.text_window), "VORNA Text");
    int x = -1, y = -1, w = 0, h = 0;
    platform_window_geometry(runtime_state.text_window, &x, &y, &w, &h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 2 * sh / 3 + 1);
    EXPECT_EQ(w, sw);
    EXPECT_EQ(h, sh / 3);
}

TEST_F(Windows, TheTopLeftOfTheSceneIsNearTheClientCorner) {
    // The scene is laid out within x -300..300, y -250..250.
    EXPECT_GE(runtime_state.origin_x - 300, -5);
    EXPECT_LE(runtime_state.origin_x - 300, 0);
    EXPECT_GE(runtime_state.origin_y - 250, 0);
    EXPECT_LT(runtime_state.origin_y - 250, 20);
}

TEST_F(Windows, ACProgramBuildsAgainstThePublicHeader) {
    VORNA_clear();
    EXPECT_EQ(c_program_draws_through_the_header(), 1);
    EXPECT_EQ(canvas_pixel(0, 0), RGB_MAGENTA);
}

} // namespace
