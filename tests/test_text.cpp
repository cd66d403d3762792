// Text lines: blitted from the cache, they have exactly the pixels the font system draws, over
// noise, in every size, colour and position (cut at each edge of the surface included); the
// cache stays bounded and a warm line allocates nothing.
#include <string>
#include <vector>

#include "test_support.h"
#include "tests/counting_allocator.h" // every allocation counted

namespace {

constexpr int SURFACE_W = 90, SURFACE_H = 50;

const char *const LINES[] = {
    "Hello, world!",
    "YOU HAVE REACHED THE MAXIMUM NUMBER OF CARS!!!",
    "jjgq fi fl AVAW To. T,",
    "\xc9t\xe9 \xc5ngstr\xf6m \xff\xd1",
    "x",
    "0123456789 +-*/%",
    "   ",
    "a\tb\t\tc",
};
const int SIZES[] = {0, 1, 6, 12, 20, 47, 70, 127};
struct Place {
    int left, top;
};
const Place PLACES[] = {
    {3, 3},          {-7, 5},  {SURFACE_W - 15, 8}, {12, -6},    {12, SURFACE_H - 9},
    {-2000, 0},      {SURFACE_W + 1, 0}, {0, SURFACE_H + 1}, {0, -200}, {-3, -4},
};
const PlatformColor COLORS[] = {0x000000u, 0xFFFFFFu, 0x2040C0u, 0x00FF7Fu, 0x8000FFu};

void fill_noise(std::uint32_t *pixels, std::ptrdiff_t stride, int width, int height, std::uint32_t seed) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            pixels[y * stride + x] = 0xFF000000u | (seed >> 8);
        }
}

// The surface's pixels after the line is drawn over noise.
std::vector<std::uint32_t> drawn(PlatformSurface *surface, const char *line, int size, Place at, PlatformColor color,
                                 std::uint32_t seed) {
    const int width = platform_surface_width(surface), height = platform_surface_height(surface);
    std::ptrdiff_t stride = 0;
    std::uint32_t *pixels = platform_surface_pixels(surface, &stride);
    fill_noise(pixels, stride, width, height, seed);
    platform_draw_text_line(surface, at.left, at.top, size, line, int(std::strlen(line)), color);
    pixels = platform_surface_pixels(surface, &stride);
    std::vector<std::uint32_t> out;
    for (int y = 0; y < height; ++y) out.insert(out.end(), pixels + y * stride, pixels + y * stride + width);
    return out;
}

// Draws the line twice, which caches it.
void warm(PlatformSurface *surface, const char *line, int size) {
    for (int i = 0; i < 2; ++i) platform_draw_text_line(surface, 0, 0, size, line, int(std::strlen(line)), 0);
}

class TextLines : public RuntimeTest {
  protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        surface = platform_create_surface(SURFACE_W, SURFACE_H);
    }
    void TearDown() override {
        platform_destroy_surface(surface);
        platform_set_text_cache(1);
        RuntimeTest::TearDown();
    }
    PlatformSurface *surface = nullptr;
};

TEST_F(TextLines, CachedLinesHaveTheFontSystemsPixels) {
    struct Case {
        const char *line;
        int size;
        Place at;
        PlatformColor color;
        std::vector<std::uint32_t> expected;
    };
    std::vector<Case> cases;
    platform_set_text_cache(0);
    int n = 0;
    for (const char *line : LINES)
        for (int size : SIZES)
            for (const Place &at : PLACES) {
                const PlatformColor color = COLORS[n % std::size(COLORS)];
                cases.push_back({line, size, at, color, drawn(surface, line, size, at, color, std::uint32_t(n))});
                ++n;
            }
    EXPECT_EQ(platform_text_cache_lines(nullptr), 0) << "with the cache off nothing is cached";

    platform_set_text_cache(1);
    for (const char *line : LINES)
        for (int size : SIZES) warm(surface, line, size);
    int usable = 0;
    EXPECT_EQ(platform_text_cache_lines(&usable), int(std::size(LINES) * std::size(SIZES)));
    // Lines of ordinary sizes are blitted; only lines the check found different are not.
    EXPECT_GE(usable, int(std::size(LINES) - 1) * 6) << "too few lines are blitted from the cache";

    n = 0;
    int changed = 0;
    for (const Case &c : cases) {
        const std::vector<std::uint32_t> got = drawn(surface, c.line, c.size, c.at, c.color, std::uint32_t(n++));
        for (std::size_t i = 0; i < got.size(); ++i) {
            changed += c.expected[i] != got[i];
            if (c.expected[i] != got[i]) {
                ADD_FAILURE() << "\"" << c.line << "\" size " << c.size << " at (" << c.at.left << ", " << c.at.top
                              << "): pixel (" << i % SURFACE_W << ", " << i / SURFACE_W << ") is " << std::hex
                              << got[i] << ", drawn directly " << c.expected[i];
                break;
            }
        }
    }
    EXPECT_EQ(changed, 0);

    // Warm lines inside the surface allocate nothing (a line cut by its edge is drawn by the
    // font system).
    PlatformSurface *wide = platform_create_surface(700, 200);
    std::ptrdiff_t stride = 0;
    platform_surface_pixels(wide, &stride); // the surface's painter begun
    const long before = allocations.load();
    for (int i = 0; i < 6; ++i)
        for (int size : {0, 12, 20}) platform_draw_text_line(wide, 5, 5, size, LINES[i], int(std::strlen(LINES[i])), 0);
    EXPECT_EQ(allocations.load() - before, 0);
    platform_destroy_surface(wide);
}

// Large lines anywhere inside a surface: the glyphs' masks move with the line, pixel for pixel.
TEST_F(TextLines, CachedLargeLinesMoveWithoutChange) {
    PlatformSurface *wide = platform_create_surface(700, 200);
    std::vector<std::vector<std::uint32_t>> expected;
    platform_set_text_cache(0);
    for (int size : {20, 70, 127})
        for (int i = 0; i < 4; ++i)
            for (int shift = 0; shift < 5; ++shift)
                expected.push_back(drawn(wide, LINES[i] + 4, size, {3 + shift * 7, 1 + shift * 5}, COLORS[shift], 1u + shift));
    platform_set_text_cache(1);
    std::size_t n = 0;
    for (int size : {20, 70, 127})
        for (int i = 0; i < 4; ++i) {
            warm(wide, LINES[i] + 4, size);
            for (int shift = 0; shift < 5; ++shift)
                EXPECT_TRUE(drawn(wide, LINES[i] + 4, size, {3 + shift * 7, 1 + shift * 5}, COLORS[shift], 1u + shift) ==
                            expected[n++])
                    << "\"" << LINES[i] + 4 << "\" size " << size << " shifted " << shift;
        }
    int usable = 0;
    EXPECT_EQ(platform_text_cache_lines(&usable), 12);
    EXPECT_EQ(usable, 12);
    platform_destroy_surface(wide);
}

TEST_F(TextLines, TheCacheStaysBoundedAndEvictedLinesComeBack) {
    platform_set_text_cache(1);
    const std::vector<std::uint32_t> first = drawn(surface, "line 0", 12, {2, 2}, 0x0000FFu, 7);
    for (int i = 0; i < 1500; ++i) warm(surface, ("line " + std::to_string(i)).c_str(), 12);
    int usable = 0;
    const int lines = platform_text_cache_lines(&usable);
    EXPECT_LE(lines, 512);
    EXPECT_GE(lines, 256);
    EXPECT_EQ(usable, lines);
    // "line 0" was evicted long ago: it is drawn again, then cached again, the same each time.
    EXPECT_EQ(drawn(surface, "line 0", 12, {2, 2}, 0x0000FFu, 7), first);
    warm(surface, "line 0", 12);
    EXPECT_EQ(drawn(surface, "line 0", 12, {2, 2}, 0x0000FFu, 7), first);
}

// Through the public call: a multi-line text drawn again, cached, leaves the same canvas.
TEST_F(TextLines, DrawingTextAgainLeavesTheSameCanvas) {
    auto canvas_after = [](const char *text) {
        VORNA_clear();
        VORNA_draw_text(COLOR_RED, -290, 250, 16, text);
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 300; ++x) pixels.push_back(platform_surface_pixel(settled_canvas(), x, y));
        return pixels;
    };
    platform_set_text_cache(0);
    const std::vector<std::uint32_t> direct = canvas_after("Speed: 42 km/h\nLap 3 of 5\n\xc9t\xe9");
    platform_set_text_cache(1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(canvas_after("Speed: 42 km/h\nLap 3 of 5\n\xc9t\xe9"), direct) << "drawing " << i + 1;
    int usable = 0;
    platform_text_cache_lines(&usable);
    EXPECT_EQ(usable, 3);
}

} // namespace
