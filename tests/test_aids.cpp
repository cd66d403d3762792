// Teaching aids: which keys are aid keys for which program, the F1 list, and the grid overlay,
// shown on the window and never drawn into the canvas.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fstream>
#include <thread>

#include "gif_decode.h"
#include "test_support.h"

namespace {

class Aids : public RuntimeTest {
  protected:
    void TearDown() override {
        if (runtime_state.aid_inspector) inspector_toggle();
        if (runtime_state.capture_key) capture_toggle_key_recording();
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
    EXPECT_EQ(platform_surface_pixel(settled_canvas(), x, y) & 0xFFFFFFu, RGB_WHITE) << "never in the canvas";
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
    EXPECT_EQ(platform_surface_pixel(settled_canvas(), px + 15, py + 15) & 0xFFFFFFu, RGB_WHITE);
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

// F4: a click tells the drawing call that last painted the pixel, numbered among the calls since
// the last clear (those drawn before the inspector was on count too), by its log line also with
// logging off; the shape's outline shows on the window only, and the click is no program event.
TEST_F(Aids, TheInspectorTellsTheCallThatLastPaintedAPixel) {
    VORNA_set_logging(0);
    VORNA_clear();
    VORNA_fill_circle(COLOR_RED, -200, 100, 20); // call 1, drawn before the inspector is on
    press(VK_CODE_F1 + 3, 0);
    ASSERT_TRUE(runtime_state.aid_inspector);
    VORNA_fill_circle(COLOR_RED, 0, 0, 30);                                 // call 2
    VORNA_draw_rectangle(COLOR_BLUE, 10, 10, 60, -20, 0);                   // 3, over the circle
    VORNA_draw_line(COLOR_GREEN, -100, -100, 100, -100, 3);                 // 4
    VORNA_put_pixel(COLOR_BLACK, 150, 150);                                 // 5
    VORNA_draw_text(COLOR_NAVY_BLUE, -250, 200, 20, "Hello");               // 6
    VORNA_draw_triangle(COLOR_BROWN, 100, 100, 200, 100, 150, 180, 1);      // 7, its outline
    const int ox = runtime_state.origin_x, oy = runtime_state.origin_y;
    struct Case {
        int x, y; // logical
        std::string said;
        int outline;
    } const cases[] = {
        {0, 0, "call 2 since the last clear: red circle at (0,0), radius 30", OUTLINE_ELLIPSE},
        {20, 0, "call 3 since the last clear: blue rectangle with bounding box (10,10) to (60,-20), filled",
         OUTLINE_POLYGON},
        {0, -100, "call 4 since the last clear: green line from (-100,-100) to (100,-100), width 3", OUTLINE_LINE},
        {150, 150, "call 5 since the last clear: black pixel at (150,150)", OUTLINE_POLYGON},
        {-248, 205, "call 6 since the last clear: navy blue text at (-250,200), \"Hello\"", OUTLINE_POLYGON},
        {150, 100, "call 7 since the last clear: brown triangle at (100,100), (200,100), (150,180)", OUTLINE_POLYGON},
        // Inside the triangle's outline: the white of a clear made before the inspector was on.
        {150, 130, "painted before the inspector was on; click again after the program draws it again",
         OUTLINE_NONE},
        {-200, 100, "painted before the inspector was on; click again after the program draws it again",
         OUTLINE_NONE},
        {CANVAS_WIDTH + 10 - ox, 0, "outside the canvas", OUTLINE_NONE},
    };
    PlatformWindow *w = runtime_state.graphics_window;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.said);
        char text[400];
        const InspectorCall *call = nullptr;
        inspector_describe_pixel(ox + c.x, oy - c.y, text, sizeof text, &call);
        EXPECT_EQ(std::string(text), "(" + std::to_string(c.x) + ", " + std::to_string(c.y) + "): " + c.said);
        EXPECT_EQ(call != nullptr, c.outline != OUTLINE_NONE);
        // A real click: the inspector's line on the console, the outline over the window.
        printed_lines().clear();
        click_pixel(ox + c.x, oy - c.y);
        drain_messages();
        ASSERT_EQ(printed_lines().size(), 1u);
        EXPECT_EQ(printed_lines()[0], "Inspector " + std::string(text) + "\n");
        EXPECT_EQ(platform_window_outline(w), c.outline);
    }
    // The circle's outline passes its leftmost point: shown on the window, not in the canvas.
    VORNA_fill_circle(COLOR_RED, 0, 0, 30);
    present_canvas();
    click_pixel(ox, oy);
    drain_messages();
    const std::uint32_t shown = platform_window_shown_pixel(w, ox - 30, oy);
    if (shown != 0xFFFFFFFFu || platform_window_visible(w)) {
        EXPECT_NE(shown, platform_surface_pixel(settled_canvas(), ox - 30, oy));
        EXPECT_EQ(platform_surface_pixel(settled_canvas(), ox - 31, oy) & 0xFFFFFFu, RGB_WHITE);
    }
    // No click reached the program: the next event is the key typed after them.
    post_char('k');
    const Event event = next_event();
    EXPECT_EQ(event.kind, EVENT_KEY);
    EXPECT_EQ(event.key, 'k');
    // Off: the outline goes, and clicks are the program's again.
    press(VK_CODE_F1 + 3, 0);
    EXPECT_EQ(platform_window_outline(w), OUTLINE_NONE);
    click_at(5, 6);
    const Event click = next_event();
    EXPECT_EQ(click.kind, EVENT_MOUSE);
    EXPECT_EQ(click.x, 5);
    // On again, what was drawn meanwhile is unknown until drawn again; a clear is known, and
    // the numbers start again after it.
    VORNA_fill_circle(COLOR_GREEN, 0, 0, 10);
    press(VK_CODE_F1 + 3, 0);
    char text[400];
    const InspectorCall *call = nullptr;
    inspector_describe_pixel(ox, oy, text, sizeof text, &call);
    EXPECT_EQ(call, nullptr) << text;
    VORNA_clear();
    VORNA_put_pixel(COLOR_RED, 1, 1);
    inspector_describe_pixel(ox, oy, text, sizeof text, &call);
    EXPECT_STREQ(text, "(0, 0): the background of the last clear");
    inspector_describe_pixel(ox + 1, oy - 1, text, sizeof text, &call);
    EXPECT_STREQ(text, "(1, 1): call 1 since the last clear: red pixel at (1,1)");
    VORNA_clear();
}

// The encoder's frames as a viewer shows them: the runtime's colours and up to 255 colours in a
// frame exact, more colours the 255 most frequent exact and the rest their nearest; a frame
// covers only what changed; an unchanged frame holds its delay.
TEST(GifEncoding, FramesDecodeToThePicturesGiven) {
    enum { W = 40, H = 30 };
    std::vector<std::vector<std::uint32_t>> pictures;
    std::vector<std::uint32_t> greys(W * H), picture(W * H);
    for (int i = 0; i < W * H; i++) greys[i] = 0xFF000000u | (i % 255) * 0x010101u; // 255 greys
    // 300 colours: greys 0..254 three pixels or more each, and 45 rare ones one blue step off
    // greys 0..44.
    picture = greys;
    for (int i = 0; i < 45; i++) picture[i * 26 + 3] = 0xFF000000u | (i * 0x010101u + 1);
    pictures.push_back(picture);
    pictures.push_back(greys); // only the rare ones change: now all exact
    for (int i = 0; i < W * H; i++) { // the palette in bands
        const std::uint32_t c = palette_color(ColorIndex(i % W * COLOR_COUNT / W));
        picture[i] = 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
    }
    pictures.push_back(picture);
    pictures.push_back(picture); // unchanged
    picture[7 * W + 5] = 0xFFFF0000u;
    picture[9 * W + 12] = 0xFF00FF00u;
    pictures.push_back(picture);

    ScratchDirectory directory;
    const int fd = open("t.gif", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const char *reason = nullptr;
    GifEncoder *encoder = gif_encoder_open(fd, W, H, &reason);
    ASSERT_NE(encoder, nullptr) << reason;
    for (std::size_t i = 0; i < pictures.size(); i++)
        ASSERT_TRUE(gif_encoder_put_frame(encoder, pictures[i].data(), W, int(10 + i)));
    EXPECT_EQ(gif_encoder_frames(encoder), long(pictures.size()));
    EXPECT_EQ(gif_encoder_close(encoder), nullptr);

    const std::vector<DecodedFrame> frames = decode_gif("t.gif");
    ASSERT_EQ(frames.size(), pictures.size());
    const struct {
        int left, top, width, height;
        int inexact; // pixels that take another colour
    } expected[] = {{0, 0, W, H, 45}, {1, 0, 39, 29, 0}, {0, 0, W, H, 0}, {0, 0, 1, 1, 0}, {5, 7, 8, 3, 0}};
    for (std::size_t f = 0; f < frames.size(); f++) {
        SCOPED_TRACE("frame " + std::to_string(f));
        EXPECT_EQ(frames[f].delay_cs, int(10 + f));
        EXPECT_EQ(frames[f].left, expected[f].left);
        EXPECT_EQ(frames[f].top, expected[f].top);
        EXPECT_EQ(frames[f].width, expected[f].width);
        EXPECT_EQ(frames[f].height, expected[f].height);
        int inexact = 0;
        for (int i = 0; i < W * H; i++) {
            const std::uint32_t given = pictures[f][i] & 0xFFFFFFu, shown = frames[f].screen[i];
            if (given == shown) continue;
            inexact++;
            EXPECT_EQ(shown, (given & 0xFFFF00u) | (given >> 8 & 0xFF)) << "the nearest grey, at " << i;
        }
        EXPECT_EQ(inexact, expected[f].inexact);
    }
}

// F6 records what the window shows, each picture for as long as it was shown, into the first
// free numbered name.
TEST_F(Aids, F6RecordsThePicturesShownWithTheirTimes) {
    ScratchDirectory directory;
    std::ofstream("VORNA-0001.gif") << "someone else's";
    std::vector<std::vector<std::uint32_t>> shown;
    // When the recording started, each new picture came and the recording ended: each between
    // the two times, before and after the call that did it.
    using Clock = std::chrono::steady_clock;
    std::vector<std::pair<Clock::time_point, Clock::time_point>> changes;
    auto timed = [&](auto call) {
        const Clock::time_point before = Clock::now();
        call();
        changes.emplace_back(before, Clock::now());
    };
    auto show = [&](ColorIndex color) {
        VORNA_fill_circle(color, 0, 0, 50);
        timed([] { present_canvas(); });
        std::ptrdiff_t stride = 0;
        const std::uint32_t *pixels = platform_surface_pixels(settled_canvas(), &stride);
        std::vector<std::uint32_t> copy(std::size_t(CANVAS_WIDTH) * CANVAS_HEIGHT);
        for (int y = 0; y < CANVAS_HEIGHT; y++)
            std::memcpy(&copy[std::size_t(y) * CANVAS_WIDTH], pixels + y * stride, CANVAS_WIDTH * 4);
        shown.push_back(copy);
    };
    VORNA_clear();
    show(COLOR_RED);
    changes.clear();
    timed([&] { press(VK_CODE_F1 + 5, 0); });
    EXPECT_EQ(printed_lines(), std::vector<std::string>{"Recording animation VORNA-0002.gif\n"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    show(COLOR_BLUE);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    show(COLOR_GREEN);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    printed_lines().clear();
    timed([&] { press(VK_CODE_F1 + 5, 0); });
    ASSERT_EQ(printed_lines().size(), 1u);
    EXPECT_EQ(printed_lines()[0].rfind("Saved animation VORNA-0002.gif (3 frames, ", 0), 0u) << printed_lines()[0];
    EXPECT_EQ(read_whole_file("VORNA-0001.gif"), "someone else's");

    const std::vector<DecodedFrame> frames = decode_gif("VORNA-0002.gif");
    ASSERT_EQ(frames.size(), 3u);
    ASSERT_EQ(changes.size(), 4u);
    for (std::size_t f = 0; f < 3; f++) {
        SCOPED_TRACE("frame " + std::to_string(f));
        std::vector<std::uint32_t> picture = shown[f];
        for (std::uint32_t &pixel : picture) pixel &= 0xFFFFFFu;
        EXPECT_TRUE(frames[f].screen == picture);
        auto ms = [](Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); };
        // Within what the times allow, give or take the rounding to hundredths.
        EXPECT_GE(frames[f].delay_cs * 10, ms(changes[f + 1].first - changes[f].second) - 10);
        EXPECT_LE(frames[f].delay_cs * 10, ms(changes[f + 1].second - changes[f].first) + 10);
    }
    VORNA_clear();
}

} // namespace
