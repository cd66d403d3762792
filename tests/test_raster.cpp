// The rasterizer: small shapes and their exact pixels; 100,000 random shapes of every kind, pen
// width, size and position (huge and negative included), whose pictures after each shape must
// keep the fingerprint recorded when they were compared pixel for pixel with the toolkit-backed
// drawing the rasterizer replaced; no allocation while drawing; and shapes held in a batch, some
// never drawn, give the pixels drawing every one at once gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "raster/raster.h"
#include "raster/raster_batch.h"
#include "tests/counting_allocator.h" // every allocation counted: the rasterizer must make none

namespace {

enum ShapeKind { KIND_PIXEL, KIND_LINE, KIND_RECTANGLE, KIND_ELLIPSE, KIND_POLYGON, KIND_COUNT };

struct Shape {
    int kind;
    std::int64_t width; // pen width; 0: filled (not for lines and pixels)
    std::uint32_t color; // 0x00BBGGRR as the platform takes it
    int count;          // polygon corners
    std::int64_t x[4], y[4];
};

std::uint32_t stored(std::uint32_t bgr) {
    return 0xFF000000u | ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

// One coordinate along an axis of `size` pixels: mostly near the buffer, also just beyond the
// fixed-point range's edge, far away, and very far away.
std::int64_t coordinate(std::mt19937_64 &rng, int size) {
    const int pick = int(rng() % 100);
    auto in = [&](std::int64_t lo, std::int64_t hi) { return lo + std::int64_t(rng() % std::uint64_t(hi - lo + 1)); };
    if (pick < 55) return in(-12, size + 12);
    if (pick < 70) return in(-3 * size, 4 * size);
    if (pick < 80) return (rng() & 1 ? 1 : -1) * in(16380, 16390);
    if (pick < 90) return in(-40000, 40000);
    return in(-(std::int64_t(1) << 40), std::int64_t(1) << 40);
}

std::int64_t pen_width(std::mt19937_64 &rng) {
    static const std::int64_t widths[] = {0, 0, 0, 1, 1, 2, 2, 3, 4, 5, 6, 7, 9, 12, 20, 33, 150, 5000, 1 << 30};
    return widths[rng() % (sizeof widths / sizeof widths[0])];
}

Shape random_shape(std::mt19937_64 &rng, int w, int h, int kind) {
    static const std::uint32_t colors[] = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0x808080, 0x123456};
    Shape s{};
    s.kind = kind;
    s.color = colors[rng() % 6];
    s.width = pen_width(rng);
    s.count = kind == KIND_POLYGON ? (rng() % 4 == 0 ? int(2 + rng() % 3) : 3) : 2;
    for (int i = 0; i < 4; ++i) {
        s.x[i] = coordinate(rng, w);
        s.y[i] = coordinate(rng, h);
    }
    if (rng() % 3 == 0) { // small shapes near one point: corners, tips and thin boxes
        for (int i = 1; i < 4; ++i) {
            s.x[i] = s.x[0] + std::int64_t(rng() % 9) - 4;
            s.y[i] = s.y[0] + std::int64_t(rng() % 9) - 4;
        }
    }
    if (kind == KIND_LINE && s.width == 0) s.width = 1;
    if (kind == KIND_RECTANGLE || kind == KIND_ELLIPSE) { // boxes as the runtime makes them: ordered, at least 1 pixel
        if (s.x[1] < s.x[0]) std::swap(s.x[0], s.x[1]);
        if (s.y[1] < s.y[0]) std::swap(s.y[0], s.y[1]);
        s.x[1] += 1;
        s.y[1] += 1;
    }
    return s;
}

void draw_shape(const RasterTarget *target, const Shape &s) {
    const std::uint32_t color = stored(s.color);
    const RasterPen pen{s.width, color, s.width == 0, color};
    switch (s.kind) {
    case KIND_PIXEL: raster_pixel(target, s.x[0], s.y[0], color); break;
    case KIND_LINE: raster_line(target, s.x[0], s.y[0], s.x[1], s.y[1], s.width, color); break;
    case KIND_RECTANGLE: raster_rectangle(target, s.x[0], s.y[0], s.x[1], s.y[1], &pen); break;
    case KIND_ELLIPSE: raster_ellipse(target, s.x[0], s.y[0], s.x[1], s.y[1], &pen); break;
    case KIND_POLYGON: raster_polygon(target, s.x, s.y, s.count, &pen); break;
    }
}

// A fingerprint of a picture, folded into the running one.
std::uint64_t fold_picture(std::uint64_t hash, const std::uint32_t *pixels, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) hash = (hash ^ pixels[i]) * 0x100000001B3ull;
    return hash;
}

// The rasterizer's pictures after every `every` of `count` random shapes, fingerprinted.
std::uint64_t random_fingerprint(int w, int h, int count, std::uint64_t seed, int every) {
    std::vector<std::uint32_t> pixels(std::size_t(w) * h, 0xFFFFFFFFu);
    const RasterTarget target{pixels.data(), w, h, w};
    std::mt19937_64 rng(seed);
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (int i = 0; i < count; ++i) {
        draw_shape(&target, random_shape(rng, w, h, int(rng() % KIND_COUNT)));
        if (i % every == every - 1) hash = fold_picture(hash, pixels.data(), pixels.size());
    }
    return hash;
}

TEST(Raster, DrawingAllocatesNothing) {
    std::vector<Shape> shapes;
    std::mt19937_64 rng(99);
    for (int i = 0; i < 20000; ++i) shapes.push_back(random_shape(rng, 601, 540, int(rng() % KIND_COUNT)));
    std::vector<std::uint32_t> pixels(601 * 540, 0xFFFFFFFFu);
    const RasterTarget target{pixels.data(), 601, 540, 601};
    const long before = allocations.load();
    for (const Shape &s : shapes) draw_shape(&target, s);
    EXPECT_EQ(allocations.load() - before, 0);
}

// The rasterizer and the toolkit-backed drawing were compared shape by shape over these very
// streams and not one pixel differed. The fingerprints were taken again when thin-pen ellipses
// stopped reaching past their boxes' sides, the one change since: over 200,000 random thin
// ellipses every pixel inside the box stayed as it was, and none is drawn outside any more.
TEST(Raster, RandomShapesKeepTheirRecordedPixels) {
    EXPECT_EQ(random_fingerprint(61, 47, 90000, 20261209, 1), 0x1e86c1b10e738e9aull);
    EXPECT_EQ(random_fingerprint(601, 540, 10000, 7, 10), 0xbaa8dc2bd0225e05ull);
}

// Thin-pen ellipses of every flatness, outlined and filled, touch all four sides of their box
// and ink nothing outside it (flat ones once reached past the sides).
TEST(Raster, EllipsesStayInsideTheirBoxAndReachEverySide) {
    constexpr int W = 240, H = 120, LEFT = 7, TOP = 5;
    const int sizes[][2] = {{1, 1}, {2, 9}, {9, 2}, {30, 4}, {100, 10}, {200, 20}, {225, 6}, {12, 110}, {40, 40}};
    for (const auto &size : sizes)
        for (int filled = 0; filled < 2; ++filled) {
            std::vector<std::uint32_t> pixels(std::size_t(W) * H, 0);
            const RasterTarget target{pixels.data(), W, H, W};
            const RasterPen pen{filled ? 0 : 1, 1, filled == 1, 1};
            raster_ellipse(&target, LEFT, TOP, LEFT + size[0], TOP + size[1], &pen);
            int outside = 0, x_min = W, x_max = -1, y_min = H, y_max = -1;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    if (!pixels[std::size_t(y) * W + x]) continue;
                    outside += x < LEFT || x >= LEFT + size[0] || y < TOP || y >= TOP + size[1];
                    x_min = std::min(x_min, x), x_max = std::max(x_max, x);
                    y_min = std::min(y_min, y), y_max = std::max(y_max, y);
                }
            const std::string name = std::to_string(size[0]) + " by " + std::to_string(size[1]) +
                                     (filled ? " filled" : " outlined");
            EXPECT_EQ(outside, 0) << name;
            EXPECT_EQ(x_min, LEFT) << name;
            EXPECT_EQ(x_max, LEFT + size[0] - 1) << name;
            EXPECT_EQ(y_min, TOP) << name;
            EXPECT_EQ(y_max, TOP + size[1] - 1) << name;
        }
}

} // namespace

namespace {

// Small shapes and their exact pixels on a 9 x 7 buffer (as the toolkit-backed drawing had
// them too): the corners of filled and outlined triangles, the left-out last
// pixel of a thin line, square ends of wide lines, outlines inside and astride a rectangle's
// edge pixels, a circle 2r + 1 pixels across, and cuts from far beyond the buffer.
struct SmallCase {
    const char *name;
    Shape shape;
    const char *pixels[7];
};

const SmallCase SMALL_CASES[] = {
    {"filled triangle", {KIND_POLYGON, 0, 0, 3, {1, 6, 1}, {1, 1, 5}},
     {".........",
      ".######..",
      ".####....",
      ".###.....",
      ".##......",
      ".#.......",
      "........."}},
    {"triangle outline", {KIND_POLYGON, 1, 0, 3, {1, 7, 1}, {0, 3, 5}},
     {".##......",
      ".#.##....",
      ".#...##..",
      ".#...###.",
      ".####....",
      ".#.......",
      "........."}},
    {"thin line, last pixel left out", {KIND_LINE, 1, 0, 2, {1, 7}, {1, 4}},
     {".........",
      ".#.......",
      "..##.....",
      "....##...",
      "......#..",
      ".........",
      "........."}},
    {"wide line, square ends", {KIND_LINE, 3, 0, 2, {2, 6}, {2, 2}},
     {".........",
      ".#######.",
      ".#######.",
      ".#######.",
      ".........",
      ".........",
      "........."}},
    {"wide diagonal line", {KIND_LINE, 2, 0, 2, {1, 6}, {1, 5}},
     {"##.......",
      "###......",
      ".###.....",
      "...###...",
      "....###..",
      ".....##..",
      "........."}},
    {"wide point", {KIND_LINE, 4, 0, 2, {4, 4}, {3, 3}},
     {".........",
      "..####...",
      "..####...",
      "..####...",
      "..####...",
      ".........",
      "........."}},
    {"line across from far away", {KIND_LINE, 1, 0, 2, {-1000000000000, 1000000000000}, {3, 3}},
     {".........",
      ".........",
      ".........",
      "#########",
      ".........",
      ".........",
      "........."}},
    {"rectangle outline", {KIND_RECTANGLE, 1, 0, 2, {1, 7}, {1, 6}},
     {".........",
      ".######..",
      ".#....#..",
      ".#....#..",
      ".#....#..",
      ".######..",
      "........."}},
    {"rectangle outline width 2", {KIND_RECTANGLE, 2, 0, 2, {1, 8}, {1, 6}},
     {"########.",
      "########.",
      "##....##.",
      "##....##.",
      "########.",
      "########.",
      "........."}},
    {"filled circle radius 2", {KIND_ELLIPSE, 0, 0, 2, {2, 7}, {1, 6}},
     {".........",
      "...###...",
      "..#####..",
      "..#####..",
      "..#####..",
      "...###...",
      "........."}},
    {"ellipse outline", {KIND_ELLIPSE, 1, 0, 2, {0, 9}, {0, 7}},
     {"..#####..",
      ".#.....#.",
      "#.......#",
      "#.......#",
      "#.......#",
      ".#.....#.",
      "..#####.."}},
    {"filled ellipse from the ends of the range", {KIND_ELLIPSE, 0, 0, 2, {-4000000000000000000, 4000000000000000000}, {2, 5}},
     {".........",
      ".........",
      "#########",
      "#########",
      "#########",
      ".........",
      "........."}},
    {"pixel", {KIND_PIXEL, 0, 0, 1, {3}, {2}},
     {".........",
      ".........",
      "...#.....",
      ".........",
      ".........",
      ".........",
      "........."}},
};

std::string marks(const std::uint32_t *pixels, std::ptrdiff_t stride) {
    std::string text;
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 9; ++x) text += pixels[y * stride + x] != 0xFFFFFFFFu ? '#' : '.';
        text += '\n';
    }
    return text;
}

TEST(Raster, SmallShapesHaveTheirExactPixels) {
    for (const SmallCase &c : SMALL_CASES) {
        std::string expected;
        for (const char *row : c.pixels) expected += std::string(row) + '\n';
        std::vector<std::uint32_t> pixels(9 * 7, 0xFFFFFFFFu);
        const RasterTarget target{pixels.data(), 9, 7, 9};
        draw_shape(&target, c.shape);
        EXPECT_EQ(marks(pixels.data(), 9), expected) << c.name;
    }
}

// Rows filled from every start pixel (every alignment of the wide stores, rows of an odd stride)
// and of every length up to past the buffer's right edge, by a block and by a polygon's
// spans and outline: exactly the pixels of the row, nothing in the padding beyond the width.
TEST(Raster, RowsOfEveryStartAndLengthFillExactlyTheirPixels) {
    constexpr int W = 45, H = 4, STRIDE = 51;
    constexpr std::uint32_t PAPER = 0x12345678u, INK = 0xFF00FF00u;
    const RasterPen pen{0, INK, true, INK};
    for (int kind = 0; kind < 2; ++kind)
        for (int x0 = 0; x0 < 9; ++x0)
            for (int length = 1; length <= W + 3; ++length) {
                std::vector<std::uint32_t> pixels(std::size_t(STRIDE) * H, PAPER);
                const RasterTarget target{pixels.data(), W, H, STRIDE};
                if (kind == 0) {
                    raster_rectangle(&target, x0, 1, x0 + length, 3, &pen);
                } else {
                    const std::int64_t xs[4] = {x0, x0 + length, x0 + length, x0};
                    const std::int64_t ys[4] = {1, 1, 3, 3};
                    raster_polygon(&target, xs, ys, 4, &pen);
                }
                int wrong = 0;
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < STRIDE; ++x) {
                        // A polygon's outline runs through its corner pixels: one row and column more.
                        const int more = kind == 1;
                        const bool inked = y >= 1 && y < 3 + more && x >= x0 && x < x0 + length + more && x < W;
                        wrong += pixels[std::size_t(y) * STRIDE + x] != (inked ? INK : PAPER);
                    }
                EXPECT_EQ(wrong, 0) << (kind == 0 ? "block" : "polygon") << " from " << x0 << ", " << length
                                    << " pixels";
            }
}

} // namespace

namespace {

RasterShape batch_shape(const Shape &s) {
    static const RasterShapeKind kinds[] = {RASTER_SHAPE_PIXEL, RASTER_SHAPE_LINE, RASTER_SHAPE_RECTANGLE,
                                            RASTER_SHAPE_ELLIPSE, RASTER_SHAPE_POLYGON};
    RasterShape b{};
    b.kind = kinds[s.kind];
    b.count = s.count;
    for (int i = 0; i < 4; ++i) {
        b.xs[i] = s.x[i];
        b.ys[i] = s.y[i];
    }
    const std::uint32_t color = stored(s.color);
    b.pen = RasterPen{s.width, color, s.width == 0, color};
    return b;
}

// A filled rectangle over much of the buffer, a band across it, or the whole of it: the
// rectangles that make a batch drop or trim what it holds.
Shape random_cover(std::mt19937_64 &rng, int w, int h) {
    auto in = [&](std::int64_t lo, std::int64_t hi) { return lo + std::int64_t(rng() % std::uint64_t(hi - lo + 1)); };
    Shape s{KIND_RECTANGLE, rng() % 4 == 0 ? 1 : 0, std::uint32_t(rng() % 3 == 0 ? 0x808080 : rng() & 0xFFFFFF), 2,
            {in(-4, w / 2), 0, 0, 0}, {in(-4, h / 2), 0, 0, 0}};
    s.x[1] = in(s.x[0] + 1, w + 4);
    s.y[1] = in(s.y[0] + 1, h + 4);
    switch (rng() % 4) {
    case 0: s.x[0] = in(-3, 0), s.x[1] = in(w, w + 3); break; // a band from side to side
    case 1: s.y[0] = in(-3, 0), s.y[1] = in(h, h + 3); break; // from top to bottom
    case 2: s.x[0] = s.y[0] = 0, s.x[1] = w, s.y[1] = h; break;
    }
    return s;
}

// Random shapes of every kind among covering rectangles, drawn at once into one buffer and
// through a batch into another, the batch drawn at random moments: the two pictures must be
// the same at every one of them. The batch must have skipped shapes for this to mean anything.
TEST(Raster, BatchedShapesGiveThePixelsOfShapesDrawnAtOnce) {
    constexpr int W = 61, H = 47;
    std::vector<std::uint32_t> direct(W * H, 0xFFFFFFFFu), batched(W * H, 0xFFFFFFFFu);
    const RasterTarget to_direct{direct.data(), W, H, W}, to_batched{batched.data(), W, H, W};
    static RasterBatch batch; // large: kept off the stack
    std::mt19937_64 rng(20261209);
    long long held = 0, compared = 0, differing = 0;
    const long allocated_before = allocations.load();
    for (int i = 0; i < 60000; ++i) {
        const Shape s = rng() % 4 == 0 ? random_cover(rng, W, H) : random_shape(rng, W, H, int(rng() % KIND_COUNT));
        const RasterShape b = batch_shape(s);
        draw_shape(&to_direct, s);
        raster_batch_add(&batch, &to_batched, &b);
        ++held;
        if (rng() % 40 == 0) {
            raster_batch_draw(&batch);
            ++compared;
            for (int p = 0; p < W * H; ++p) differing += direct[p] != batched[p];
            EXPECT_EQ(differing, 0) << "after shape " << i;
            if (differing) break;
        }
    }
    EXPECT_EQ(allocations.load() - allocated_before, 0);
    EXPECT_GT(compared, 1000);
    EXPECT_GT(batch.shapes_skipped, held / 10) << "too few shapes skipped to test anything";
}

// What a batch skips, and what it must not: each sequence drawn into a batch reports the shapes
// it never drew, and gives the pixels of drawing them all at once.
TEST(Raster, BatchSkipsExactlyWhatIsPaintedOver) {
    constexpr int W = 30, H = 20;
    auto shape = [](int kind, std::int64_t width, std::uint32_t c, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                    std::int64_t y1) { return batch_shape(Shape{kind, width, c, 2, {x0, x1, 0, 0}, {y0, y1, 0, 0}}); };
    const RasterShape sky = shape(KIND_RECTANGLE, 0, 0x0000FF, -2, 0, 40, 20);
    const RasterShape sun = shape(KIND_ELLIPSE, 0, 0x00FFFF, 3, 3, 9, 9);
    const RasterShape ground = shape(KIND_RECTANGLE, 0, 0x00FF00, -2, 12, 40, 20);
    RasterShape cleared = shape(KIND_RECTANGLE, 1, 0x000000, 0, 0, 30, 20); // white in a black edge
    cleared.pen.filled = true;
    cleared.pen.fill = 0xFFFFFFFFu;
    struct Case {
        const char *name;
        std::vector<RasterShape> shapes;
        long long skipped;
    } cases[] = {
        {"skies and suns under the last sky", {sky, sun, sky, sun, sky}, 4},
        {"a sky under the ground is cut, not skipped", {sky, ground}, 0},
        {"a cleared canvas under the ground keeps its edge", {cleared, ground}, 0},
        {"a sky under a sky-sized outline is kept", {sky, shape(KIND_RECTANGLE, 1, 0xFF0000, -2, 0, 40, 20)}, 0},
        {"a line poking out of the cover by its pen is kept",
         {shape(KIND_LINE, 6, 0xFF0000, 5, 13, 8, 13), shape(KIND_RECTANGLE, 0, 0x00FF00, 0, 12, 30, 17)}, 0},
        {"a line well inside a cover of part of the buffer is kept",
         {shape(KIND_LINE, 3, 0xFF0000, 8, 8, 14, 8), shape(KIND_RECTANGLE, 0, 0x00FF00, 0, 0, 30, 17)}, 0},
        {"any shape under a cover of the whole buffer is skipped",
         {shape(KIND_ELLIPSE, 0, 0xFF0000, 36, -42, 9252, 36), shape(KIND_RECTANGLE, 0, 0x00FF00, -1, 0, 30, 20)}, 1},
        {"a shape other than a rectangle is held as reaching everywhere",
         {shape(KIND_ELLIPSE, 0, 0xFF0000, 36, -42, 9252, 36), shape(KIND_RECTANGLE, 0, 0x00FF00, 0, 0, 10, 20)}, 0},
        {"shapes outside the buffer are never held",
         {shape(KIND_RECTANGLE, 0, 0, 40, 0, 50, 5), shape(KIND_PIXEL, 0, 0, -1, 3, 0, 0)}, 2},
    };
    for (const Case &c : cases) {
        std::vector<std::uint32_t> direct(W * H, 0xFFFFFFFFu), batched(W * H, 0xFFFFFFFFu);
        const RasterTarget to_direct{direct.data(), W, H, W}, to_batched{batched.data(), W, H, W};
        static RasterBatch batch;
        batch.shapes_skipped = 0;
        for (const RasterShape &b : c.shapes) {
            raster_shape(&to_direct, &b);
            raster_batch_add(&batch, &to_batched, &b);
        }
        raster_batch_draw(&batch);
        EXPECT_EQ(batch.shapes_skipped, c.skipped) << c.name;
        EXPECT_EQ(direct, batched) << c.name;
    }
}

} // namespace
