// fuzz_raster.cpp: the rasterizer with shapes at any 64-bit coordinate and pen width.
//
// Each input is a buffer size and then shapes, read from the bytes. The buffer is its own heap
// block, so the address sanitizer stops any store beyond it; a frame of guard pixels around
// the drawn area (inside the block) catches a store outside the area that stays in the block.
// The same shapes go through a batch into a second buffer, which must end up the same.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "raster/raster.h"
#include "raster/raster_batch.h"

namespace {

constexpr std::uint32_t GUARD = 0xDEADBEEFu;
constexpr int FRAME = 4; // guard pixels on every side

struct Reader {
    const std::uint8_t *data;
    std::size_t size;
    std::size_t at = 0;
    bool done() const { return at >= size; }
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    std::uint64_t bytes(int n) {
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 8) | byte();
        return v;
    }
    // A coordinate or width: raw 64 bits, near the buffer, a power of two either side, or near
    // the edge of the fixed-point range.
    std::int64_t value() {
        const std::uint8_t mode = byte();
        switch (mode % 5) {
        case 0: return std::int64_t(bytes(8));
        case 1: return std::int64_t(std::int8_t(byte()));
        case 2: {
            const std::int64_t power = std::int64_t(1) << (byte() % 63);
            return (mode & 0x80 ? -power : power) + std::int8_t(byte());
        }
        case 3: return (mode & 0x80 ? -16384 : 16384) + std::int8_t(byte());
        default: return std::int64_t(std::int16_t(bytes(2)));
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Reader in{data, size};
    const int width = 1 + in.byte() % 48, height = 1 + in.byte() % 48;
    const int stride = width + 2 * FRAME;
    std::vector<std::uint32_t> block(std::size_t(stride) * (height + 2 * FRAME), GUARD);
    for (int y = 0; y < height; ++y)
        std::fill_n(&block[std::size_t(y + FRAME) * stride + FRAME], width, 0xFFFFFFFFu);
    const RasterTarget target{&block[std::size_t(FRAME) * stride + FRAME], width, height, stride};
    std::vector<std::uint32_t> batched_pixels(std::size_t(width) * height, 0xFFFFFFFFu);
    const RasterTarget batched{batched_pixels.data(), width, height, width};
    static RasterBatch batch;
    for (int shapes = 0; shapes < 16 && !in.done(); ++shapes) {
        const int kind = in.byte() % 5;
        const std::int64_t pen_width = in.value();
        const std::uint32_t color = 0xFF000000u | std::uint32_t(shapes);
        const RasterPen pen{pen_width, color, (pen_width & 1) == 0, pen_width & 2 ? color : 0xFF00FF00u};
        std::int64_t xs[5], ys[5];
        const int count = 2 + in.byte() % 4;
        for (int i = 0; i < count; ++i) {
            xs[i] = in.value();
            ys[i] = in.value();
        }
        static const RasterShapeKind kinds[] = {RASTER_SHAPE_PIXEL, RASTER_SHAPE_LINE, RASTER_SHAPE_RECTANGLE,
                                                RASTER_SHAPE_ELLIPSE, RASTER_SHAPE_POLYGON};
        RasterShape shape{kinds[kind], count, {}, {}, pen};
        std::copy_n(xs, count, shape.xs);
        std::copy_n(ys, count, shape.ys);
        raster_batch_add(&batch, &batched, &shape);
        switch (kind) {
        case 0: raster_pixel(&target, xs[0], ys[0], pen.color); break;
        case 1: raster_line(&target, xs[0], ys[0], xs[1], ys[1], pen_width, pen.color); break;
        case 2: raster_rectangle(&target, xs[0], ys[0], xs[1], ys[1], &pen); break;
        case 3: raster_ellipse(&target, xs[0], ys[0], xs[1], ys[1], &pen); break;
        default: raster_polygon(&target, xs, ys, count, &pen); break;
        }
    }
    for (int y = 0; y < height + 2 * FRAME; ++y)
        for (int x = 0; x < stride; ++x) {
            const bool inside = y >= FRAME && y < FRAME + height && x >= FRAME && x < FRAME + width;
            if (!inside && block[std::size_t(y) * stride + x] != GUARD) std::abort(); // a store outside the buffer
        }
    raster_batch_draw(&batch);
    for (int y = 0; y < height; ++y)
        if (std::memcmp(&block[std::size_t(y + FRAME) * stride + FRAME], &batched_pixels[std::size_t(y) * width],
                        std::size_t(width) * 4) != 0)
            std::abort(); // the batch gave other pixels
    return 0;
}
