// Drawing primitives: corrections and log lines in their exact order, and the pixels they
// leave in the canvas, read back.
#include <climits>
#include <string>

#include "test_support.h"

namespace {

class Primitives : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        VORNA_clear();
        printed_lines().clear();
    }
    using Lines = std::vector<std::string>;
    // Pixels of the colour in the row of logical y, between x_from and x_to.
    static int count_in_row(int y, int x_from, int x_to, std::uint32_t rgb) {
        int n = 0;
        for (int x = x_from; x <= x_to; ++x) n += canvas_pixel(x, y) == rgb;
        return n;
    }
    static int count_in_column(int x, int y_from, int y_to, std::uint32_t rgb) {
        int n = 0;
        for (int y = y_from; y <= y_to; ++y) n += canvas_pixel(x, y) == rgb;
        return n;
    }
    // The pixels of a row from x_from rightwards, or of a column from y_from upwards, as text:
    // '#' where the colour is, '.' elsewhere. Pins where a band of pixels sits.
    static std::string row_marks(int y, int x_from, int x_to, std::uint32_t rgb) {
        std::string marks;
        for (int x = x_from; x <= x_to; ++x) marks += canvas_pixel(x, y) == rgb ? '#' : '.';
        return marks;
    }
    static std::string column_marks(int x, int y_from, int y_to, std::uint32_t rgb) {
        std::string marks;
        for (int y = y_from; y <= y_to; ++y) marks += canvas_pixel(x, y) == rgb ? '#' : '.';
        return marks;
    }
};

TEST_F(Primitives, ReversedRectangleIsLoggedNormalisedAndFillsAnElevenPixelSquare) {
    runtime_state.logging = 1;
    VORNA_draw_rectangle(0, 10, 0, 0, 10, 0);
    EXPECT_EQ(printed_lines(), Lines({"black rectangle with bounding box (0,10) to (10,0), filled\n"}));
    EXPECT_EQ(count_in_row(5, -5, 15, RGB_BLACK), 11);
    EXPECT_EQ(count_in_column(5, -5, 15, RGB_BLACK), 11);
    EXPECT_EQ(canvas_pixel(0, 0), RGB_BLACK);
    EXPECT_EQ(canvas_pixel(10, 10), RGB_BLACK);
    EXPECT_EQ(canvas_pixel(11, 10), RGB_WHITE);
    EXPECT_EQ(canvas_pixel(0, -1), RGB_WHITE);
}

// Oval and line check the width first, rectangle and triangle the colour first, text its size
// first; each correction comes before the log line.
TEST_F(Primitives, EachOperationPrintsItsCorrectionsInItsOwnOrder) {
    const std::string width = "Width of -2 not possible, using width 2\n", colour = "Illegal color 30; using RED.\n";
    runtime_state.logging = 1;
    VORNA_draw_oval(30, 0, 0, 20, 20, -2);
    VORNA_draw_line(30, 0, 0, 20, 20, -2);
    EXPECT_EQ(printed_lines(), Lines({width, colour, "red oval with bounding box (0,20) to (20,0), line width 2\n", width,
                                      colour, "red line from (0,0) to (20,20), width 2\n"}));
    printed_lines().clear();
    VORNA_draw_rectangle(30, 0, 0, 20, 20, -2);
    VORNA_draw_triangle(30, 0, 0, 20, 0, 10, 10, -2);
    VORNA_draw_text(30, 0, 0, -5, "t");
    EXPECT_EQ(printed_lines(),
              Lines({colour, width, "red rectangle with bounding box (0,20) to (20,0) with line width 2\n", colour, width,
                     "red triangle at (0,0), (20,0), (10,10)\n", "ptsize of -5 not possible, using ptsize 5\n", colour,
                     "red text at (0,0), \"t\"\n"}));
}

TEST_F(Primitives, EveryOperationLogsItsLineOnlyWhileLoggingIsOn) {
    const char *text = "hi";
    runtime_state.logging = 1;
    VORNA_put_pixel(3, 1, 2);
    VORNA_fill_circle(4, 1, 2, 3);
    VORNA_draw_triangle(5, 1, 2, 3, 4, 5, 6, 0);
    VORNA_draw_rectangle(6, 1, 2, 3, 4, 1);
    VORNA_draw_oval(7, 1, 2, 3, 4, 0);
    VORNA_draw_line(8, 1, 2, 3, 4, 0);
    VORNA_draw_text(9, 1, 2, 12, text);
    EXPECT_EQ(VORNA_printf_at(10, 1, 2, 12, "n=%d", 5), 3);
    EXPECT_EQ(VORNA_text_printf(11, 1, 2, 12, "%s", "xy"), 2);
    VORNA_clear();
    EXPECT_EQ(printed_lines(), Lines({
                                  "green pixel at (1,2)\n",
                                  "blue circle at (1,2), radius 3\n",
                                  "yellow triangle at (1,2), (3,4), (5,6)\n",
                                  "magenta rectangle with bounding box (1,4) to (3,2) with line width 1\n",
                                  "cyan oval with bounding box (1,4) to (3,2), filled\n",
                                  "purple line from (1,2) to (3,4), width 0\n",
                                  "navy blue text at (1,2), \"hi\"\n",
                                  "dusty plum text at (1,2), \"n=5\"\n",
                                  "ice blue text at (1,2), \"xy\"\n",
                                  "Clearing the graphics window\n",
                              }));
    printed_lines().clear();
    runtime_state.logging = 0;
    VORNA_put_pixel(3, 1, 2);
    VORNA_draw_line(8, 1, 2, 3, 4, 0);
    VORNA_clear();
    EXPECT_TRUE(printed_lines().empty());
    VORNA_undo();
    EXPECT_EQ(printed_lines(), Lines({"VORNA_undo is no longer supported.\n"}));
}

TEST_F(Primitives, CorrectionsArePrintedEvenWithLoggingOff) {
    VORNA_draw_text(0, 0, 0, -200, "x");
    VORNA_draw_text(0, 0, 0, 128, "x");
    VORNA_draw_text(23, 0, 0, 127, "x"); // the largest size and the last colour pass as they are
    VORNA_fill_circle(-1, 0, 0, -3);
    VORNA_put_pixel(24, 0, 0);
    EXPECT_EQ(printed_lines(), Lines({"ptsize of -200 not possible, using ptsize 200\n",
                                      "ptsize of 200 not possible, using ptsize 127\n",
                                      "ptsize of 128 not possible, using ptsize 127\n",
                                      "Illegal color -1; using RED.\n", "Radius of -3 not possible, using radius 3\n",
                                      "Illegal color 24; using RED.\n"}));
    EXPECT_EQ(canvas_pixel(0, 0), RGB_RED);
}

TEST_F(Primitives, PaletteColoursReachTheCanvasExactlyUnderTheirNames) {
    const std::uint32_t expected[24] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00,
                                        0xFF00FF, 0x00FFFF, 0x9900CC, 0x003399, 0x996699, 0x99FFFF,
                                        0x99FFCC, 0xFF6600, 0x996633, 0xFF99CC, 0xFFFF99, 0xCC9933,
                                        0xFF9966, 0x006633, 0x33CC99, 0x999933, 0x808080, 0xCCCCCC};
    const char *names[24] = {"black",  "white", "red",   "green",        "blue",      "yellow",
                             "magenta", "cyan", "purple", "navy blue",   "dusty plum", "ice blue",
                             "turquoise", "orange", "brown", "pink",     "chalk",     "gold",
                             "peach",  "forest green", "sea green", "olive", "50% gray", "20% gray"};
    runtime_state.logging = 1;
    for (int c = 0; c < 24; ++c) {
        VORNA_put_pixel(c, -99 + 5 * c, -1);
        EXPECT_EQ(canvas_pixel(-99 + 5 * c, -1), expected[c]) << "colour " << c;
        EXPECT_EQ(printed_lines().back(), std::string(names[c]) + " pixel at (" + std::to_string(-99 + 5 * c) + ",-1)\n");
    }
}

TEST_F(Primitives, CircleSpansTwoRPlusOnePixelsAndRadiusZeroIsOnePixel) {
    VORNA_fill_circle(0, 0, 0, 5);
    EXPECT_EQ(count_in_row(0, -10, 10, RGB_BLACK), 11);
    EXPECT_EQ(count_in_column(0, -10, 10, RGB_BLACK), 11);
    // Radius 0 is legal: no correction, the log line, one pixel.
    runtime_state.logging = 1;
    VORNA_fill_circle(2, 50, 50, 0);
    EXPECT_EQ(printed_lines(), Lines({"red circle at (50,50), radius 0\n"}));
    EXPECT_EQ(count_in_row(50, 45, 55, RGB_RED), 1);
    EXPECT_EQ(count_in_column(50, 45, 55, RGB_RED), 1);
    // An oval whose box is one pixel high is that row of pixels.
    VORNA_draw_oval(3, -10, 80, 10, 80, 0);
    EXPECT_EQ(row_marks(80, -11, 11, RGB_GREEN), ".#####################."); // 21 pixels
    EXPECT_EQ(column_marks(0, 79, 81, RGB_GREEN), ".#.");
}

TEST_F(Primitives, ThinLineLeavesOutItsFinalPixelAndWideLineIsWide) {
    VORNA_draw_line(0, 0, 0, 10, 0, 0);
    EXPECT_EQ(canvas_pixel(0, 0), RGB_BLACK);
    EXPECT_EQ(canvas_pixel(9, 0), RGB_BLACK);
    EXPECT_EQ(canvas_pixel(10, 0), RGB_WHITE);
    EXPECT_EQ(count_in_column(5, -5, 5, RGB_BLACK), 1);

    runtime_state.logging = 1;
    VORNA_draw_line(2, -50, 100, 50, 100, -4);
    EXPECT_EQ(printed_lines(), Lines({"Width of -4 not possible, using width 4\n",
                                      "red line from (-50,100) to (50,100), width 4\n"}));
    EXPECT_EQ(count_in_column(0, 90, 110, RGB_RED), 4);
    // A wide pen sits on a line as on a rectangle's top edge: width / 2 rows above the line's
    // row, the rest on and below it.
    EXPECT_EQ(column_marks(0, 97, 102, RGB_RED), "..####");
    VORNA_draw_line(3, -50, 150, 50, 150, 2);
    EXPECT_EQ(column_marks(0, 147, 152, RGB_GREEN), "...##.");
}

TEST_F(Primitives, OutlinedShapesLeaveTheirInsideAlone) {
    VORNA_draw_rectangle(0, -20, 20, 20, -20, 1);
    EXPECT_EQ(canvas_pixel(-20, 0), RGB_BLACK);
    EXPECT_EQ(canvas_pixel(20, 0), RGB_BLACK);
    EXPECT_EQ(canvas_pixel(0, 20), RGB_BLACK);
    EXPECT_EQ(canvas_pixel(0, 0), RGB_WHITE);
    VORNA_draw_triangle(2, 100, 0, 200, 0, 150, 80, 1);
    EXPECT_EQ(canvas_pixel(150, 20), RGB_WHITE);
    EXPECT_EQ(canvas_pixel(150, 0), RGB_RED);
    VORNA_draw_triangle(2, 100, -100, 200, -100, 150, -20, 0);
    EXPECT_EQ(canvas_pixel(150, -80), RGB_RED);

    // A pen two pixels wide covers each edge's pixels and one more: outside the box at the
    // left and top edges, inside it at the right and bottom ones.
    VORNA_clear();
    VORNA_draw_rectangle(4, -20, 20, 20, -20, 2);
    EXPECT_EQ(row_marks(0, -22, -17, RGB_BLUE), ".##...");
    EXPECT_EQ(row_marks(0, 17, 22, RGB_BLUE), "..##..");
    EXPECT_EQ(column_marks(0, -22, -17, RGB_BLUE), "..##..");
    EXPECT_EQ(column_marks(0, 17, 22, RGB_BLUE), "...##.");
}

TEST_F(Primitives, TwoLineTextSitsAboveAndBelowTheAnchorRow) {
    VORNA_draw_text(0, 0, 0, 20, "HH\nHH");
    const int h = platform_text_line_height(20);
    int above = 0, below = 0;
    for (int y = 1; y <= h; ++y) above += count_in_row(y, 0, 40, RGB_BLACK) > 0;
    for (int y = -h; y <= 0; ++y) below += count_in_row(y, 0, 40, RGB_BLACK) > 0;
    EXPECT_GT(above, 5);
    EXPECT_GT(below, 5);
    EXPECT_EQ(count_in_row(h + 2, -5, 45, RGB_BLACK), 0);
}

TEST_F(Primitives, ClearMakesTheCanvasWhiteWithABlackBorder) {
    VORNA_fill_circle(2, 0, 0, 2000);
    VORNA_clear();
    PlatformSurface *canvas = runtime_state.canvas;
    EXPECT_EQ(picture_pixel(canvas, 0, 0), RGB_BLACK);
    EXPECT_EQ(picture_pixel(canvas, 600, 100), RGB_BLACK);
    EXPECT_EQ(picture_pixel(canvas, 100, 539), RGB_BLACK);
    EXPECT_EQ(picture_pixel(canvas, 1, 1), RGB_WHITE);
    EXPECT_EQ(picture_pixel(canvas, 599, 538), RGB_WHITE);
    EXPECT_TRUE(runtime_state.canvas_dirty);
}

// Any int is a legal argument: extreme values neither overflow nor hang, and shapes that
// cover the canvas still cover it.
TEST_F(Primitives, ExtremeArgumentsDrawWhatTouchesTheCanvas) {
    runtime_state.logging = 1;
    VORNA_fill_circle(2, 0, 0, INT_MIN);
    EXPECT_EQ(printed_lines().front(), "Radius of -2147483648 not possible, using radius 2147483647\n");
    EXPECT_EQ(printed_lines().back(), "red circle at (0,0), radius 2147483647\n");
    EXPECT_EQ(picture_pixel(runtime_state.canvas, 0, 0), RGB_RED);
    EXPECT_EQ(picture_pixel(runtime_state.canvas, 600, 539), RGB_RED);

    VORNA_clear();
    VORNA_draw_rectangle(0, INT_MIN, INT_MAX, INT_MAX, INT_MIN, 0);
    EXPECT_EQ(canvas_pixel(0, 0), RGB_BLACK);
    VORNA_clear();
    // A pen half as wide as the int range, on edges at the ends of the range, stops short of
    // the canvas; on edges nearby it covers all of it.
    VORNA_draw_rectangle(0, INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MAX);
    EXPECT_EQ(canvas_pixel(0, 0), RGB_WHITE);
    VORNA_draw_rectangle(0, -1000, 1000, 1000, -1000, INT_MAX);
    EXPECT_EQ(canvas_pixel(0, 0), RGB_BLACK);
    EXPECT_EQ(picture_pixel(runtime_state.canvas, 0, 0), RGB_BLACK);
    VORNA_clear();
    VORNA_draw_line(0, INT_MIN, 0, INT_MAX, 0, 0);
    EXPECT_EQ(count_in_row(0, -runtime_state.origin_x, 600 - runtime_state.origin_x, RGB_BLACK), 601);
    VORNA_clear();
    VORNA_draw_line(0, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MIN);
    VORNA_draw_triangle(2, INT_MIN, INT_MIN, INT_MAX, INT_MIN, 0, INT_MAX, 0);
    EXPECT_EQ(canvas_pixel(0, 0), RGB_RED);
    VORNA_draw_triangle(0, INT_MIN, INT_MIN, INT_MAX, INT_MIN, 0, INT_MAX, INT_MAX);
    VORNA_draw_oval(3, INT_MIN, INT_MAX, INT_MAX, INT_MIN, 0);
    EXPECT_EQ(canvas_pixel(0, 0), RGB_GREEN);
    VORNA_draw_oval(4, INT_MIN, INT_MAX, INT_MAX, INT_MIN, 5);
    EXPECT_EQ(canvas_pixel(0, 0), RGB_GREEN);
    // A circle too large for the painter keeps its round top where it touches the canvas.
    VORNA_clear();
    VORNA_fill_circle(2, 0, -30000, 30050);
    EXPECT_EQ(row_marks(50, -2, 2, RGB_RED), "#####");
    EXPECT_EQ(canvas_pixel(0, 51), RGB_WHITE);
    EXPECT_EQ(canvas_pixel(250, 50), RGB_WHITE);
    EXPECT_EQ(row_marks(0, -290, 290, RGB_RED), std::string(581, '#'));
    VORNA_put_pixel(0, INT_MAX, INT_MIN);
    VORNA_draw_text(0, INT_MAX, INT_MIN, INT_MIN, "far away");
    VORNA_draw_text(0, INT_MIN, INT_MAX, 0, "far away");
}

TEST_F(Primitives, LongFormattedTextIsCutButCountedInFull) {
    const std::string long_text(3000, 'x');
    runtime_state.logging = 1;
    EXPECT_EQ(VORNA_printf_at(0, 0, 0, 10, "%s", long_text.c_str()), 3000);
    ASSERT_EQ(printed_lines().size(), 1u);
    EXPECT_EQ(printed_lines()[0].size(), 1023u);
    EXPECT_EQ(VORNA_print("%s", long_text.c_str()), 3000);
    EXPECT_EQ(printed_lines()[1], std::string(1023, 'x'));
}

} // namespace
