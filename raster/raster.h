// raster.h: the runtime's own drawing of shapes into a 32-bit pixel buffer.
//
// Plain C++: no toolkit, no platform calls, no allocation. Coordinates are 64-bit pixels with
// (0, 0) the top-left pixel; any value is safe, whatever lies outside the buffer is cut away.
// Pixels are stored as whole 32-bit values (the caller's format, e.g. 0xFFRRGGBB); nothing is
// blended.
//
// The pixel rules are the ones the runtime's pictures have always had:
// - a filled shape is its interior sampled at pixel centres (edges in 16.16 fixed point from
//   corners in 26.6; a polygon by the even-odd rule);
// - a one-pixel pen steps along the longer axis in 16.16 fixed point, joining consecutive
//   sides of an outline without a doubled or missing corner pixel; a lone one-pixel line is
//   Bresenham's, its final pixel left out;
// - a wider pen on a line is the rectangle swept along it, square ends; on a polygon or an
//   ellipse it is the outline offset by half the pen to either side (offset curves for an
//   ellipse), bevelled at the joins, filled by the non-zero rule;
// - an ellipse with a thin pen comes from the integer midpoint method; rectangles are blocks;
// - beyond +-16384 pixels, shapes are first cut (in floating point) to what can reach the
//   buffer, so nothing overflows and no call takes longer than the buffer is large.
// Not reentrant: wide outlines gather their edges in one static buffer (the runtime draws from
// one thread).
#pragma once

#include <cstddef>
#include <cstdint>

struct RasterTarget {
    std::uint32_t *pixels; // first pixel of the top row
    int width;
    int height;
    std::ptrdiff_t stride; // pixels from one row to the next
    // Who painted what, for those who ask (the inspector): null, or width * height values row
    // after row, each pixel written giving its value owner_id.
    std::int32_t *owner = nullptr;
    std::int32_t owner_id = 0;
};

// How a shape is drawn: an outline pen and, when filled, an interior of fill.
struct RasterPen {
    std::int64_t width; // pen width in pixels; 0 and 1 both give the thinnest pen
    std::uint32_t color;
    bool filled;
    std::uint32_t fill;
};

// The most corners a polygon may have; a polygon with more is not drawn.
constexpr int RASTER_POLYGON_POINTS_MAX = 16;

// Rectangle covering pixels left..right-1 and top..bottom-1, outlined with the pen (a wider
// pen is centred on the outermost pixels).
void raster_rectangle(const RasterTarget *target, std::int64_t left, std::int64_t top, std::int64_t right,
                      std::int64_t bottom, const RasterPen *pen);

// Ellipse inscribed in the rectangle left..right-1, top..bottom-1.
void raster_ellipse(const RasterTarget *target, std::int64_t left, std::int64_t top, std::int64_t right,
                    std::int64_t bottom, const RasterPen *pen);

// Closed polygon through the points (xs[i], ys[i]); interior by the even-odd rule.
void raster_polygon(const RasterTarget *target, const std::int64_t *xs, const std::int64_t *ys, int count,
                    const RasterPen *pen);

// Line from (x1, y1) towards (x2, y2). Width 0 or 1: the final pixel is not drawn; a wider
// line is a band of that width with square ends.
void raster_line(const RasterTarget *target, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                 std::int64_t width, std::uint32_t color);

// One pixel; nothing outside the buffer.
void raster_pixel(const RasterTarget *target, std::int64_t x, std::int64_t y, std::uint32_t color);
