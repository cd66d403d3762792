// raster.cpp: shapes into a 32-bit pixel buffer. See raster.h for the pixel rules.
//
// Three kinds of arithmetic live here, each kept exactly as the pictures depend on it:
// - shapes that reduce to blocks of pixels (rectangles, one-pixel-thin ellipses) and the
//   hand-made pieces (Bresenham lines, ellipses too large for the fixed-point paths) work on
//   64-bit integers and doubles;
// - polygon interiors, one-pixel pens and wide lines use 16.16 and 26.6 fixed point, as the
//   pictures were first made with, on coordinates first brought within +-16384 pixels;
// - ellipses with a thin pen use the integer midpoint method.
#include "raster/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr std::int64_t COORD_SAFE = 1 << 14; // fixed-point paths take coordinates within +-16384
constexpr std::int64_t PEN_WIDEST = 4096;    // wider pens already cover the buffer from any nearby edge
constexpr int POLYGON_CLIPPED_MAX = RASTER_POLYGON_POINTS_MAX + 4; // a cut adds at most one corner per side

bool is_safe(std::int64_t value) { return value >= -COORD_SAFE && value <= COORD_SAFE; }

std::int64_t pen_width_of(std::int64_t width) { return std::clamp<std::int64_t>(width, 1, PEN_WIDEST); }

// Equal to about 12 significant digits (never for a zero against a non-zero).
bool fuzzy_equal(double a, double b) { return std::abs(a - b) * 1000000000000.0 <= std::min(std::abs(a), std::abs(b)); }

// a + b, held at the ends of the 64-bit range: coordinates near those ends stay beyond the
// buffer on the same side.
std::int64_t sat_add(std::int64_t a, std::int64_t b) {
    constexpr std::int64_t MOST = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t LEAST = std::numeric_limits<std::int64_t>::min();
    if (b > 0 && a > MOST - b) return MOST;
    if (b < 0 && a < LEAST - b) return LEAST;
    return a + b;
}

// a + b * n wrapping around as two's-complement hardware does: a slope so steep that it
// overflows the 16.16 range steps the same way it always has.
std::int64_t wrap_step(std::int64_t a, std::int64_t b, std::int64_t n) {
    return std::int64_t(std::uint64_t(a) + std::uint64_t(b) * std::uint64_t(n));
}

// ---------------------------------------------------------------------------------------------
// Stores
// ---------------------------------------------------------------------------------------------

void put_pixel(const RasterTarget *t, std::int64_t x, std::int64_t y, std::uint32_t color) {
    if (x < 0 || y < 0 || x >= t->width || y >= t->height) return;
    t->pixels[y * t->stride + x] = color;
    if (t->owner) t->owner[y * t->width + x] = t->owner_id;
}

// n pixels from p, in 16-byte stores where the run is long enough: filling is most of the
// time a frame takes, and four pixels a store is several times faster than one.
inline void fill_run(std::uint32_t *p, std::int64_t n, std::uint32_t color) {
    if (n < 8) {
        for (std::int64_t i = 0; i < n; ++i) p[i] = color;
        return;
    }
    const std::uint32_t quad[4] = {color, color, color, color};
    // Up to the first 16-byte boundary (pixels are 4-byte aligned), then whole blocks.
    while (reinterpret_cast<std::uintptr_t>(p) & 15) {
        *p++ = color;
        --n;
    }
    for (; n >= 8; n -= 8, p += 8) {
        std::memcpy(p, quad, sizeof quad);
        std::memcpy(p + 4, quad, sizeof quad);
    }
    if (n >= 4) {
        std::memcpy(p, quad, sizeof quad);
        p += 4;
        n -= 4;
    }
    for (std::int64_t i = 0; i < n; ++i) p[i] = color;
}

// Pixels x0..x1 (inclusive) of row y, cut to the buffer.
void fill_span(const RasterTarget *t, std::int64_t y, std::int64_t x0, std::int64_t x1, std::uint32_t color) {
    if (y < 0 || y >= t->height) return;
    x0 = std::max<std::int64_t>(x0, 0);
    x1 = std::min<std::int64_t>(x1, t->width - 1);
    if (x0 > x1) return;
    fill_run(t->pixels + y * t->stride + x0, x1 - x0 + 1, color);
    if (t->owner) std::fill(t->owner + y * t->width + x0, t->owner + y * t->width + x1 + 1, t->owner_id);
}

// Pixels x0..x1, y0..y1 (inclusive), cut to the buffer.
void fill_block(const RasterTarget *t, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                std::uint32_t color) {
    y0 = std::max<std::int64_t>(y0, 0);
    y1 = std::min<std::int64_t>(y1, t->height - 1);
    x0 = std::max<std::int64_t>(x0, 0);
    x1 = std::min<std::int64_t>(x1, t->width - 1);
    if (x0 > x1) return;
    for (std::int64_t y = y0; y <= y1; ++y) {
        fill_run(t->pixels + y * t->stride + x0, x1 - x0 + 1, color);
        if (t->owner) std::fill(t->owner + y * t->width + x0, t->owner + y * t->width + x1 + 1, t->owner_id);
    }
}

// ---------------------------------------------------------------------------------------------
// Clipping in floating point, for coordinates beyond the fixed-point range
// ---------------------------------------------------------------------------------------------

// Cuts the segment to the box; false when nothing of it lies inside. *t_end < 1 tells that the
// end point was cut away.
bool clip_segment(double &x1, double &y1, double &x2, double &y2, double left, double top, double right,
                  double bottom, double *t_end = nullptr) {
    double t0 = 0.0, t1 = 1.0;
    const double dx = x2 - x1, dy = y2 - y1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - left, right - x1, y1 - top, bottom - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0) {
            if (r > t1) return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0) return false;
            t1 = std::min(t1, r);
        }
    }
    const double nx1 = x1 + t0 * dx, ny1 = y1 + t0 * dy;
    const double nx2 = x1 + t1 * dx, ny2 = y1 + t1 * dy;
    x1 = nx1;
    y1 = ny1;
    x2 = nx2;
    y2 = ny2;
    if (t_end) *t_end = t1;
    return true;
}

struct PointF {
    double x, y;
};

// The polygon cut to the box, one side after the other; returns the number of corners left.
int clip_polygon(PointF *points, int count, double left, double top, double right, double bottom) {
    PointF scratch[POLYGON_CLIPPED_MAX];
    for (int edge = 0; edge < 4 && count > 0; ++edge) {
        auto inside = [&](const PointF &p) {
            switch (edge) {
            case 0: return p.x >= left;
            case 1: return p.x <= right;
            case 2: return p.y >= top;
            default: return p.y <= bottom;
            }
        };
        auto cross = [&](const PointF &a, const PointF &b) {
            double t;
            switch (edge) {
            case 0: t = (left - a.x) / (b.x - a.x); break;
            case 1: t = (right - a.x) / (b.x - a.x); break;
            case 2: t = (top - a.y) / (b.y - a.y); break;
            default: t = (bottom - a.y) / (b.y - a.y); break;
            }
            return PointF{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
        };
        std::copy(points, points + count, scratch);
        int out = 0;
        for (int i = 0; i < count; ++i) {
            const PointF &current = scratch[i];
            const PointF &previous = scratch[(i + count - 1) % count];
            if (inside(current)) {
                if (!inside(previous)) points[out++] = cross(previous, current);
                points[out++] = current;
            } else if (inside(previous)) {
                points[out++] = cross(previous, current);
            }
        }
        count = out;
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// Bresenham lines
// ---------------------------------------------------------------------------------------------

// One-pixel line from (x1, y1) to (x2, y2), the final pixel left out unless asked for. Walks
// only the part that can reach the buffer: callers bring the ends near it first.
void bresenham_line(const RasterTarget *t, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                    bool draw_last, std::uint32_t color) {
    const std::int64_t dx = std::llabs(x2 - x1), dy = -std::llabs(y2 - y1);
    const std::int64_t sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    std::int64_t err = dx + dy;
    std::int64_t x = x1, y = y1;
    while (x != x2 || y != y2) {
        put_pixel(t, x, y, color);
        const std::int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    if (draw_last) put_pixel(t, x, y, color);
}

// ---------------------------------------------------------------------------------------------
// One-pixel pen in fixed point: steps along the longer axis, 26.6 ends and a 16.16 slope.
// Consecutive edges of an outline share state so that no corner pixel is drawn twice or left
// out where the direction turns.
// ---------------------------------------------------------------------------------------------

enum : int { CAP_NONE = 0, CAP_BEGIN = 1, CAP_END = 2 };
enum : int {
    DIR_NONE = 0,
    DIR_DOWN = 1,
    DIR_UP = 2,
    DIR_RIGHT = 4,
    DIR_LEFT = 8,
    DIR_VERTICAL_MASK = 3,
    DIR_HORIZONTAL_MASK = 12,
};

constexpr int NO_PIXEL = std::numeric_limits<int>::min();

struct ThinPen {
    const RasterTarget *target;
    std::uint32_t color;
    double xmin, xmax, ymin, ymax; // the rough cut, one pixel beyond the buffer
    int last_x = NO_PIXEL, last_y = NO_PIXEL; // last pixel of the previous edge, which may lie outside
    int last_dir = DIR_NONE;
    bool last_axis_aligned = false;
};

ThinPen thin_pen(const RasterTarget *t, std::uint32_t color) {
    ThinPen pen{t, color, -1.0, double(t->width) + 1.0, -1.0, double(t->height) + 1.0};
    return pen;
}

int to_26_6(double v) { return int(v * 64.0); }

int fixed_div_16_16(int x, int y) {
    if (std::abs(x) > 0x7fff) return int((std::int64_t(x) << 16) / y);
    return (x * 65536) / y;
}

int swap_caps(int caps) { return ((caps & CAP_BEGIN) << 1) | ((caps & CAP_END) >> 1); }

// Rough cut of the segment to the pen's box; true when nothing is left.
bool thin_clip(ThinPen &pen, double &x1, double &y1, double &x2, double &y2) {
    if (x1 < pen.xmin) {
        if (x2 <= pen.xmin) goto gone;
        y1 += (y2 - y1) / (x2 - x1) * (pen.xmin - x1);
        x1 = pen.xmin;
    } else if (x1 > pen.xmax) {
        if (x2 >= pen.xmax) goto gone;
        y1 += (y2 - y1) / (x2 - x1) * (pen.xmax - x1);
        x1 = pen.xmax;
    }
    if (x2 < pen.xmin) {
        pen.last_x = NO_PIXEL;
        y2 += (y2 - y1) / (x2 - x1) * (pen.xmin - x2);
        x2 = pen.xmin;
    } else if (x2 > pen.xmax) {
        pen.last_x = NO_PIXEL;
        y2 += (y2 - y1) / (x2 - x1) * (pen.xmax - x2);
        x2 = pen.xmax;
    }
    if (y1 < pen.ymin) {
        if (y2 <= pen.ymin) goto gone;
        x1 += (x2 - x1) / (y2 - y1) * (pen.ymin - y1);
        y1 = pen.ymin;
    } else if (y1 > pen.ymax) {
        if (y2 >= pen.ymax) goto gone;
        x1 += (x2 - x1) / (y2 - y1) * (pen.ymax - y1);
        y1 = pen.ymax;
    }
    if (y2 < pen.ymin) {
        pen.last_x = NO_PIXEL;
        x2 += (x2 - x1) / (y2 - y1) * (pen.ymin - y2);
        y2 = pen.ymin;
    } else if (y2 > pen.ymax) {
        pen.last_x = NO_PIXEL;
        x2 += (x2 - x1) / (y2 - y1) * (pen.ymax - y2);
        y2 = pen.ymax;
    }
    return false;
gone:
    pen.last_x = NO_PIXEL;
    return true;
}

// Where the closing edge of an outline ends and which way it runs, so that the first edge
// joins it as it joins any other.
void thin_closing_edge(ThinPen &pen, double rx1, double ry1, double rx2, double ry2) {
    pen.last_x = NO_PIXEL;
    pen.last_y = NO_PIXEL;
    if (thin_clip(pen, rx1, ry1, rx2, ry2)) return;
    int x1 = to_26_6(rx1), y1 = to_26_6(ry1), x2 = to_26_6(rx2), y2 = to_26_6(ry2);
    const int dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
    if (dx < dy) {
        const bool swapped = y1 > y2;
        if (swapped) {
            std::swap(y1, y2);
            std::swap(x1, x2);
        }
        const int xinc = fixed_div_16_16(x2 - x1, y2 - y1);
        int x = x1 * 1024;
        const int y = (y1 + 32) >> 6, ys = (y2 + 32) >> 6;
        const int round = xinc > 0 ? 32 : 0;
        if (y != ys) {
            x += (((y << 6) + round - y1) * xinc) >> 6;
            if (swapped) {
                pen.last_x = x >> 16;
                pen.last_y = y;
                pen.last_dir = DIR_UP;
            } else {
                pen.last_x = (x + (ys - y - 1) * xinc) >> 16;
                pen.last_y = ys - 1;
                pen.last_dir = DIR_DOWN;
            }
            pen.last_axis_aligned = std::abs(xinc) < (1 << 14);
        }
    } else {
        if (!dx) return;
        const bool swapped = x1 > x2;
        if (swapped) {
            std::swap(x1, x2);
            std::swap(y1, y2);
        }
        const int yinc = fixed_div_16_16(y2 - y1, x2 - x1);
        int y = y1 * 1024;
        const int x = (x1 + 32) >> 6, xs = (x2 + 32) >> 6;
        const int round = yinc > 0 ? 32 : 0;
        if (x != xs) {
            y += (((x << 6) + round - x1) * yinc) >> 6;
            if (swapped) {
                pen.last_x = x;
                pen.last_y = y >> 16;
                pen.last_dir = DIR_LEFT;
            } else {
                pen.last_x = xs - 1;
                pen.last_y = (y + (xs - x - 1) * yinc) >> 16;
                pen.last_dir = DIR_RIGHT;
            }
            pen.last_axis_aligned = std::abs(yinc) < (1 << 14);
        }
    }
}

// One edge. Caps stretch the line by half a pixel at that end.
void thin_edge(ThinPen &pen, double rx1, double ry1, double rx2, double ry2, int caps) {
    if (thin_clip(pen, rx1, ry1, rx2, ry2)) return;
    int x1 = to_26_6(rx1), y1 = to_26_6(ry1), x2 = to_26_6(rx2), y2 = to_26_6(ry2);
    const int dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
    int last_x = pen.last_x, last_y = pen.last_y;
    // The major axis is y when dy > dx, else x; the code for both is the same with the axes
    // exchanged, written out once through references.
    const bool vertical = dx < dy;
    if (!vertical && !dx) return;
    int &a1 = vertical ? y1 : x1, &a2 = vertical ? y2 : x2; // along the major axis
    int &b1 = vertical ? x1 : y1, &b2 = vertical ? x2 : y2; // across it
    int dir = vertical ? DIR_DOWN : DIR_RIGHT;
    const bool swapped = a1 > a2;
    if (swapped) {
        std::swap(a1, a2);
        std::swap(b1, b2);
        caps = swap_caps(caps);
        dir = vertical ? DIR_UP : DIR_LEFT;
    }
    const int inc = fixed_div_16_16(b2 - b1, a2 - a1);
    int b = b1 * 1024;
    if ((pen.last_dir ^ (vertical ? DIR_VERTICAL_MASK : DIR_HORIZONTAL_MASK)) == dir)
        caps |= swapped ? CAP_END : CAP_BEGIN;
    if (caps & CAP_BEGIN) {
        a1 -= 32;
        b -= inc >> 1;
    }
    if (caps & CAP_END) a2 += 32;
    int a = (a1 + 32) >> 6;
    int as = (a2 + 32) >> 6;
    const int round = inc > 0 ? 32 : 0;
    if (a != as) {
        b += (((a << 6) + round - a1) * inc) >> 6;
        int first_a = a, first_b = b >> 16;
        int end_a = as - 1, end_b = (b + (as - a - 1) * inc) >> 16;
        if (swapped) {
            std::swap(first_a, end_a);
            std::swap(first_b, end_b);
        }
        const int first_x = vertical ? first_b : first_a, first_y = vertical ? first_a : first_b;
        last_x = vertical ? end_b : end_a;
        last_y = vertical ? end_a : end_b;
        const bool axis_aligned = std::abs(inc) < (1 << 14);
        if (pen.last_x != NO_PIXEL) {
            if (first_x == pen.last_x && first_y == pen.last_y) {
                // the previous edge drew this pixel already
                if (swapped) {
                    --as;
                } else {
                    ++a;
                    b += inc;
                }
            } else if (pen.last_dir != dir &&
                       ((axis_aligned && pen.last_axis_aligned && pen.last_x != first_x && pen.last_y != first_y) ||
                        std::abs(pen.last_x - first_x) > 1 || std::abs(pen.last_y - first_y) > 1)) {
                // the corner between the two edges would be left out: draw it
                if (swapped) {
                    ++as;
                } else {
                    --a;
                    b -= inc;
                }
            }
        }
        pen.last_dir = dir;
        pen.last_axis_aligned = axis_aligned;
        // Pixels a, a + 1, ... (at least the first one) before as, cut to the buffer along the
        // major axis here and across it pixel by pixel.
        const RasterTarget *t = pen.target;
        const int along = vertical ? t->height : t->width, across = vertical ? t->width : t->height;
        const int start = std::max(a, 0), stop = std::min(std::max(as, a + 1), along);
        b = int(std::int64_t(b) + std::int64_t(start - a) * inc);
        const std::ptrdiff_t step_along = vertical ? t->stride : 1, step_across = vertical ? 1 : t->stride;
        std::uint32_t *const pixels = t->pixels;
        const std::uint32_t color = pen.color;
        std::int32_t *const owner = t->owner;
        for (int at = start; at < stop; ++at, b += inc) {
            const int c = b >> 16;
            if (c < 0 || c >= across) continue;
            pixels[at * step_along + c * step_across] = color;
            if (owner) owner[std::ptrdiff_t(vertical ? at : c) * t->width + (vertical ? c : at)] = t->owner_id;
        }
    }
    pen.last_x = last_x;
    pen.last_y = last_y;
}

// A one-pixel line with both ends drawn (a single pixel when the ends meet).
void thin_pen_line(const RasterTarget *t, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                   std::uint32_t color) {
    if (x1 == x2 && y1 == y2) {
        put_pixel(t, x1, y1, color);
        return;
    }
    ThinPen pen = thin_pen(t, color);
    thin_edge(pen, double(x1), double(y1), double(x2), double(y2), CAP_BEGIN | CAP_END);
}

// The closed outline through the points, with a one-pixel pen.
void thin_pen_outline(const RasterTarget *t, const std::int64_t *xs, const std::int64_t *ys, int count,
                      std::uint32_t color) {
    ThinPen pen = thin_pen(t, color);
    // The edge that leads into the first corner; when the last corner repeats the first, the
    // one before it.
    const int from = count > 2 && xs[count - 1] == xs[0] && ys[count - 1] == ys[0] ? count - 2 : count - 1;
    thin_closing_edge(pen, double(xs[from]), double(ys[from]), double(xs[0]), double(ys[0]));
    for (int i = 1; i < count; ++i)
        thin_edge(pen, double(xs[i - 1]), double(ys[i - 1]), double(xs[i]), double(ys[i]), CAP_NONE);
    thin_edge(pen, double(xs[count - 1]), double(ys[count - 1]), double(xs[0]), double(ys[0]), CAP_NONE);
}

// ---------------------------------------------------------------------------------------------
// Polygon interiors: pixel centres inside by the even-odd rule. Edge crossings per row are
// 16.16 fixed point from the corners in 26.6, as the first pictures were made.
// ---------------------------------------------------------------------------------------------

struct Edge {
    std::int64_t x;     // 16.16 crossing at row top, half a pixel added
    std::int64_t slope; // 16.16 step per row
    int top, bottom;    // rows sampled, inclusive
    int winding;        // +1 downwards, -1 upwards
};

std::int64_t fixed_mul(std::int64_t a, std::int64_t b) { return (a * b) >> 16; }

// A point in 26.6 fixed point.
struct Point26 {
    std::int64_t x, y;
};

// The edges of a shape's interior as they reach the buffer's rows, gathered one by one and then
// filled row by row at pixel centres.
struct Scan {
    const RasterTarget *target;
    Edge *edges;
    int capacity;
    int n = 0;
    int top = std::numeric_limits<int>::max(), bottom = std::numeric_limits<int>::min();
};

void scan_add(Scan &scan, const Edge &e) {
    if (scan.n == scan.capacity) return; // beyond what any picture needs: the rest is left out
    scan.edges[scan.n++] = e;
    scan.top = std::min(scan.top, e.top);
    scan.bottom = std::max(scan.bottom, e.bottom);
}

// Cuts the sloped edge starting at x (rows top..bottom) at the column boundary `side`: what lies
// beyond becomes a vertical edge on the boundary. True when nothing of the edge is left to add.
bool cut_edge(Scan &scan, std::int64_t &x, int &top, int &bottom, std::int64_t slope, std::int64_t side,
              bool right_side, int winding) {
    auto flat = [&](int from, int to) { scan_add(scan, Edge{side, 0, from, to, winding}); };
    if (x == side) {
        if ((slope > 0) ^ right_side) return false;
        flat(top, bottom);
        return true;
    }
    const std::int64_t last = x + slope * (bottom - top);
    if (last == side) {
        if ((slope < 0) ^ right_side) return false;
        flat(top, bottom);
        return true;
    }
    if ((last < side) ^ (x < side)) { // crosses the boundary
        const std::int64_t rows = std::int64_t(double(side - x) / (double(slope) * (1.0 / 65536.0)));
        if ((x < side) ^ right_side) { // the upper part lies beyond
            const int height = int((rows + 1) >> 16);
            const int middle = top + height;
            flat(top, middle);
            if (middle == bottom) return true;
            x += slope * (height + 1);
            top = middle + 1;
        } else { // the lower part lies beyond
            const int height = int(rows >> 16);
            const int middle = top + height;
            if (middle != bottom) {
                flat(middle + 1, bottom);
                bottom = middle;
            }
        }
        return false;
    }
    if ((x < side) ^ right_side) { // wholly beyond
        flat(top, bottom);
        return true;
    }
    return false;
}

// The edge from a to b: the rows whose centres it spans, its crossing at the first of them and
// its slope, cut at the buffer's sides.
void scan_edge(Scan &scan, Point26 a, Point26 b) {
    int winding = 1;
    if (a.y > b.y) {
        std::swap(a, b);
        winding = -1;
    }
    int top = std::max<std::int64_t>(0, (a.y + 32) >> 6);
    int bottom = int(std::min<std::int64_t>(scan.target->height - 1, (b.y - 32) >> 6));
    if (top > bottom) return;
    const std::int64_t left_fp = 0, right_fp = std::int64_t(scan.target->width) << 16;
    const std::int64_t a_fp = 32768 + a.x * 1024;
    if (b.x == a.x) {
        scan_add(scan, Edge{std::clamp(a_fp, left_fp, right_fp), 0, top, bottom, winding});
        return;
    }
    const double slope_real = double(b.x - a.x) / double(b.y - a.y);
    const std::int64_t slope = std::int64_t(slope_real * 65536.0);
    std::int64_t x = a_fp + fixed_mul(slope, (std::int64_t(top) << 16) + 32768 - a.y * 1024);
    if (cut_edge(scan, x, top, bottom, slope, left_fp, false, winding)) return;
    if (cut_edge(scan, x, top, bottom, slope, right_fp, true, winding)) return;
    scan_add(scan, Edge{x, slope, top, bottom, winding});
}

// Fills between the gathered edges by the even-odd or the non-zero rule.
void scan_fill(const Scan &scan, bool nonzero, std::uint32_t color) {
    constexpr int CROSSINGS_MAX = 512; // edges met on one row; a row meeting more keeps the first
    std::int64_t crossings[CROSSINGS_MAX];
    int turns[CROSSINGS_MAX];
    for (int y = scan.top; y <= scan.bottom; ++y) {
        int k = 0;
        for (int i = 0; i < scan.n && k < CROSSINGS_MAX; ++i) {
            const Edge &e = scan.edges[i];
            if (y < e.top || y > e.bottom) continue;
            const std::int64_t x = e.x + e.slope * (y - e.top);
            int at = k++;
            while (at > 0 && crossings[at - 1] > x) {
                crossings[at] = crossings[at - 1];
                turns[at] = turns[at - 1];
                --at;
            }
            crossings[at] = x;
            turns[at] = e.winding;
        }
        int inside = 0;
        for (int i = 0; i < k; ++i) {
            if (i > 0 && (nonzero ? inside != 0 : (inside & 1) != 0))
                fill_span(scan.target, y, crossings[i - 1] >> 16, (crossings[i] >> 16) - 1, color);
            inside += turns[i];
        }
    }
}

// Interior of the closed polygon through integer corners within the fixed-point range, by the
// even-odd rule.
void fill_polygon(const RasterTarget *t, const std::int64_t *xs, const std::int64_t *ys, int count,
                  std::uint32_t color) {
    if (count < 3) return;
    Edge edges[3 * POLYGON_CLIPPED_MAX];
    Scan scan{t, edges, 3 * POLYGON_CLIPPED_MAX};
    for (int i = 0; i < count; ++i) {
        const int j = (i + 1) % count;
        scan_edge(scan, {xs[i] * 64, ys[i] * 64}, {xs[j] * 64, ys[j] * 64});
    }
    scan_fill(scan, false, color);
}

// ---------------------------------------------------------------------------------------------
// Wide outlines of polygons and ellipses: the outline offset by half the pen's width to either
// side, both ways round, with bevelled corners between pieces; the two closed contours, curves
// flattened, filled by the non-zero rule.
// ---------------------------------------------------------------------------------------------

constexpr double KAPPA = 0.5522847498; // control-point distance of a quarter ellipse, per radius
constexpr double FLATNESS = 0.25;      // how far a flattened curve may stray, in pixels
constexpr double OFFSET_FLATNESS = 0.25; // how far an offset curve may stray (finer still for wide pens)

struct Line {
    PointF a, b;
};

bool is_null(const Line &l) { return fuzzy_equal(l.a.x, l.b.x) && fuzzy_equal(l.a.y, l.b.y); }

// Degrees of the direction from a to b, counter-clockwise with y growing downwards, in [0, 360).
double line_angle(const Line &l) {
    const double theta = std::atan2(-(l.b.y - l.a.y), l.b.x - l.a.x) * (180.0 / 3.14159265358979323846);
    const double normalized = theta < 0 ? theta + 360 : theta;
    return fuzzy_equal(normalized, 360.0) ? 0.0 : normalized;
}

std::int64_t round_26_6(double v) {
    const double scaled = v * 64;
    if (!(std::abs(scaled) < 1e15)) return scaled > 0 ? std::int64_t(1e15) : -std::int64_t(1e15); // also NaN
    return scaled >= 0.0 ? std::int64_t(scaled + 0.5) : std::int64_t(scaled - 0.5);
}

struct Bezier {
    double x1, y1, x2, y2, x3, y3, x4, y4;
};

// The two halves of b at t = 1/2.
void split(const Bezier &b, Bezier *first, Bezier *second) {
    const Bezier o = b;
    double c = (o.x2 + o.x3) * .5;
    first->x2 = (o.x1 + o.x2) * .5;
    second->x3 = (o.x3 + o.x4) * .5;
    first->x1 = o.x1;
    second->x4 = o.x4;
    first->x3 = (first->x2 + c) * .5;
    second->x2 = (second->x3 + c) * .5;
    first->x4 = second->x1 = (first->x3 + second->x2) * .5;
    c = (o.y2 + o.y3) * .5;
    first->y2 = (o.y1 + o.y2) * .5;
    second->y3 = (o.y3 + o.y4) * .5;
    first->y1 = o.y1;
    second->y4 = o.y4;
    first->y3 = (first->y2 + c) * .5;
    second->y2 = (second->y3 + c) * .5;
    first->y4 = second->y1 = (first->y3 + second->y2) * .5;
}

PointF point_at(const Bezier &b, double t) {
    const double m_t = 1. - t;
    double a = b.x1 * m_t + b.x2 * t, c = b.x2 * m_t + b.x3 * t, d = b.x3 * m_t + b.x4 * t;
    a = a * m_t + c * t;
    c = c * m_t + d * t;
    const double x = a * m_t + c * t;
    a = b.y1 * m_t + b.y2 * t;
    c = b.y2 * m_t + b.y3 * t;
    d = b.y3 * m_t + b.y4 * t;
    a = a * m_t + c * t;
    c = c * m_t + d * t;
    return {x, a * m_t + c * t};
}

PointF normal_at(const Bezier &b, double t) {
    const double m_t = 1. - t;
    const double a = m_t * m_t, c = t * m_t, d = t * t;
    return {(b.y2 - b.y1) * a + (b.y3 - b.y2) * c + (b.y4 - b.y3) * d,
            -(b.x2 - b.x1) * a - (b.x3 - b.x2) * c - (b.x4 - b.x3) * d};
}

// The outline being built: points go straight to the scan as edges.
struct Outline {
    Scan scan;
    Point26 first{0, 0}, last{0, 0};
    PointF first_real{0, 0}, last_real{0, 0};
    bool open = false;
    PointF back1{0, 0}, back2{0, 0}; // the last two points emitted (for a curve: its second control point and end)
};

void outline_close(Outline &o) {
    if (o.open && (o.last_real.x != o.first_real.x || o.last_real.y != o.first_real.y))
        scan_edge(o.scan, o.last, o.first);
    o.open = false;
}

void outline_to(Outline &o, PointF p) {
    const Point26 q{round_26_6(p.x), round_26_6(p.y)};
    scan_edge(o.scan, o.last, q);
    o.last = q;
    o.last_real = p;
}

void outline_move(Outline &o, PointF p) {
    outline_close(o);
    o.back2 = o.back1;
    o.back1 = p;
    o.first = o.last = {round_26_6(p.x), round_26_6(p.y)};
    o.first_real = o.last_real = p;
    o.open = true;
}

void outline_line(Outline &o, PointF p) {
    o.back2 = o.back1;
    o.back1 = p;
    outline_to(o, p);
}

// The curve from the current point, flattened until each piece strays less than FLATNESS.
void outline_cubic(Outline &o, PointF c1, PointF c2, PointF e) {
    o.back2 = c2;
    o.back1 = e;
    Bezier stack[10];
    int levels[10];
    stack[0] = {o.last_real.x, o.last_real.y, c1.x, c1.y, c2.x, c2.y, e.x, e.y};
    levels[0] = 9;
    int top = 0;
    while (top >= 0) {
        const Bezier &b = stack[top];
        const double y4y1 = b.y4 - b.y1, x4x1 = b.x4 - b.x1;
        double l = std::abs(x4x1) + std::abs(y4y1), d;
        if (l > 1.) {
            d = std::abs(x4x1 * (b.y1 - b.y2) - y4y1 * (b.x1 - b.x2)) +
                std::abs(x4x1 * (b.y1 - b.y3) - y4y1 * (b.x1 - b.x3));
        } else {
            d = std::abs(b.x1 - b.x2) + std::abs(b.y1 - b.y2) + std::abs(b.x1 - b.x3) + std::abs(b.y1 - b.y3);
            l = 1.;
        }
        if (d < FLATNESS * l || levels[top] == 0) {
            outline_to(o, {b.x4, b.y4});
            --top;
        } else {
            const Bezier whole = b;
            split(whole, &stack[top + 1], &stack[top]);
            levels[top + 1] = --levels[top];
            ++top;
        }
    }
}

// The corner between the piece just emitted and the next one, whose start is next.a: straight
// across (a bevel), or through the corner itself where the two overlap on the inside.
void outline_join(Outline &o, PointF corner, const Line &next) {
    if (fuzzy_equal(o.back1.x, next.a.x) && fuzzy_equal(o.back1.y, next.a.y)) return;
    const Line prev{o.back2, o.back1};
    bool bounded = false; // prev and next cross within both
    {
        const PointF a{prev.b.x - prev.a.x, prev.b.y - prev.a.y};
        const PointF b{next.a.x - next.b.x, next.a.y - next.b.y};
        const PointF c{prev.a.x - next.a.x, prev.a.y - next.a.y};
        const double denominator = a.y * b.x - a.x * b.y;
        if (denominator != 0 && std::isfinite(denominator)) {
            const double reciprocal = 1 / denominator;
            const double na = (b.y * c.x - b.x * c.y) * reciprocal;
            if (!(na < 0 || na > 1)) {
                const double nb = (a.x * c.y - a.y * c.x) * reciprocal;
                bounded = !(nb < 0 || nb > 1);
            }
        }
    }
    const Line shortcut{prev.b, next.a};
    double angle = 0;
    if (!is_null(shortcut) && !is_null(prev)) {
        const double delta = line_angle(prev) - line_angle(shortcut);
        angle = fuzzy_equal(delta, 360.0) ? 0 : (delta < 0 ? delta + 360 : delta);
    }
    if (bounded || (angle > 90 && !fuzzy_equal(angle, 90.0))) outline_line(o, corner);
    outline_line(o, next.a);
}

// Offsetting a curve: the control polygon moved out along its normals, good enough when points
// along it keep the offset's distance.
enum ShiftResult { SHIFT_OK, SHIFT_DISCARD, SHIFT_SPLIT, SHIFT_CIRCLE };

ShiftResult good_offset(const Bezier &b1, const Bezier &b2, double offset, double threshold) {
    const double o2 = offset * offset;
    const double max_dist_line = threshold * offset * offset;
    const double max_dist_normal = threshold * offset;
    const double spacing = 0.25;
    for (double i = spacing; i < 0.99; i += spacing) {
        const PointF p1 = point_at(b1, i), p2 = point_at(b2, i);
        double d = (p1.x - p2.x) * (p1.x - p2.x) + (p1.y - p2.y) * (p1.y - p2.y);
        if (std::abs(d - o2) > max_dist_line) return SHIFT_SPLIT;
        const PointF normal = normal_at(b1, i);
        const double l = std::abs(normal.x) + std::abs(normal.y);
        if (l != 0.0) {
            d = std::abs(normal.x * (p1.y - p2.y) - normal.y * (p1.x - p2.x)) / l;
            if (d > max_dist_normal) return SHIFT_SPLIT;
        }
    }
    return SHIFT_OK;
}

PointF unit_normal(PointF d) {
    const double len = std::hypot(d.y, -d.x);
    return {d.y / len, -d.x / len};
}

ShiftResult shift(const Bezier &orig, Bezier *shifted, double offset, double threshold) {
    int map[4];
    const bool p1_p2_equal = orig.x1 == orig.x2 && orig.y1 == orig.y2;
    const bool p2_p3_equal = orig.x2 == orig.x3 && orig.y2 == orig.y3;
    const bool p3_p4_equal = orig.x3 == orig.x4 && orig.y3 == orig.y4;
    PointF points[4];
    int np = 0;
    points[np++] = {orig.x1, orig.y1};
    map[0] = 0;
    if (!p1_p2_equal) points[np++] = {orig.x2, orig.y2};
    map[1] = np - 1;
    if (!p2_p3_equal) points[np++] = {orig.x3, orig.y3};
    map[2] = np - 1;
    if (!p3_p4_equal) points[np++] = {orig.x4, orig.y4};
    map[3] = np - 1;
    if (np == 1) return SHIFT_DISCARD;
    const double xmin = std::min({orig.x1, orig.x2, orig.x3, orig.x4}), xmax = std::max({orig.x1, orig.x2, orig.x3, orig.x4});
    const double ymin = std::min({orig.y1, orig.y2, orig.y3, orig.y4}), ymax = std::max({orig.y1, orig.y2, orig.y3, orig.y4});
    if (np == 4 && xmax - xmin < .1 * offset && ymax - ymin < .1 * offset) {
        // The grouping of this product is as the first pictures had it.
        const double l = (orig.x1 - orig.x2) * (orig.x1 - orig.x2) +
                         (orig.y1 - orig.y2) * (orig.y1 - orig.y2) * (orig.x3 - orig.x4) * (orig.x3 - orig.x4) +
                         (orig.y3 - orig.y4) * (orig.y3 - orig.y4);
        const double dot = (orig.x1 - orig.x2) * (orig.x3 - orig.x4) + (orig.y1 - orig.y2) * (orig.y3 - orig.y4);
        if (dot < 0 && dot * dot < 0.8 * l) return SHIFT_CIRCLE; // close points turning back: a half circle
    }
    PointF moved[4];
    PointF prev_normal = unit_normal({points[1].x - points[0].x, points[1].y - points[0].y});
    moved[0] = {points[0].x + offset * prev_normal.x, points[0].y + offset * prev_normal.y};
    for (int i = 1; i < np - 1; ++i) {
        const PointF next_normal = unit_normal({points[i + 1].x - points[i].x, points[i + 1].y - points[i].y});
        const PointF normal_sum{prev_normal.x + next_normal.x, prev_normal.y + next_normal.y};
        const double r = 1.0 + prev_normal.x * next_normal.x + prev_normal.y * next_normal.y;
        if (std::abs(r) <= 0.000000000001) {
            moved[i] = {points[i].x + offset * prev_normal.x, points[i].y + offset * prev_normal.y};
        } else {
            const double k = offset / r;
            moved[i] = {points[i].x + k * normal_sum.x, points[i].y + k * normal_sum.y};
        }
        prev_normal = next_normal;
    }
    moved[np - 1] = {points[np - 1].x + offset * prev_normal.x, points[np - 1].y + offset * prev_normal.y};
    *shifted = {moved[map[0]].x, moved[map[0]].y, moved[map[1]].x, moved[map[1]].y,
                moved[map[2]].x, moved[map[2]].y, moved[map[3]].x, moved[map[3]].y};
    return good_offset(orig, *shifted, offset, threshold);
}

// Two curves for the half circle around the end of a curve that turns back on itself.
bool add_circle(const Bezier &b, double offset, Bezier *o) {
    PointF normals[3];
    normals[0] = {b.y2 - b.y1, b.x1 - b.x2};
    double dist = std::sqrt(normals[0].x * normals[0].x + normals[0].y * normals[0].y);
    if (std::abs(dist) <= 0.000000000001) return false;
    normals[0] = {normals[0].x / dist, normals[0].y / dist};
    normals[2] = {b.y4 - b.y3, b.x3 - b.x4};
    dist = std::sqrt(normals[2].x * normals[2].x + normals[2].y * normals[2].y);
    if (std::abs(dist) <= 0.000000000001) return false;
    normals[2] = {normals[2].x / dist, normals[2].y / dist};
    normals[1] = {b.x1 - b.x2 - b.x3 + b.x4, b.y1 - b.y2 - b.y3 + b.y4};
    const double n1 = -1 * std::sqrt(normals[1].x * normals[1].x + normals[1].y * normals[1].y);
    normals[1] = {normals[1].x / n1, normals[1].y / n1};
    double angles[2];
    double sign = 1.;
    for (int i = 0; i < 2; ++i) {
        double cos_a = normals[i].x * normals[i + 1].x + normals[i].y * normals[i + 1].y;
        cos_a = std::clamp(cos_a, -1.0, 1.0);
        angles[i] = std::acos(cos_a) * (1 / 3.14159265358979323846);
    }
    if (angles[0] + angles[1] > 1.) { // more than half a turn
        normals[1] = {-normals[1].x, -normals[1].y};
        angles[0] = 1. - angles[0];
        angles[1] = 1. - angles[1];
        sign = -1.;
    }
    const PointF circle[3] = {{b.x1 + normals[0].x * offset, b.y1 + normals[0].y * offset},
                              {0.5 * (b.x1 + b.x4) + normals[1].x * offset, 0.5 * (b.y1 + b.y4) + normals[1].y * offset},
                              {b.x4 + normals[2].x * offset, b.y4 + normals[2].y * offset}};
    for (int i = 0; i < 2; ++i) {
        const double kappa = 2.0 * KAPPA * sign * offset * angles[i];
        o[i] = {circle[i].x, circle[i].y, circle[i].x - normals[i].y * kappa, circle[i].y + normals[i].x * kappa,
                circle[i + 1].x + normals[i + 1].y * kappa, circle[i + 1].y - normals[i + 1].x * kappa,
                circle[i + 1].x, circle[i + 1].y};
    }
    return true;
}

constexpr int OFFSET_CURVES_MAX = 16;

// The curve offset by `offset`, as at most OFFSET_CURVES_MAX curves; returns how many.
int offset_curve(const Bezier &curve, Bezier *out, double offset, float threshold) {
    if (fuzzy_equal(curve.x1, curve.x2) && fuzzy_equal(curve.x1, curve.x3) && fuzzy_equal(curve.x1, curve.x4) &&
        fuzzy_equal(curve.y1, curve.y2) && fuzzy_equal(curve.y1, curve.y3) && fuzzy_equal(curve.y1, curve.y4))
        return 0;
    const int max_segments = OFFSET_CURVES_MAX - 1;
    Bezier stack[10];
    int b = 0, o = 0;
    for (;;) { // each round with a looser threshold, until the pieces fit
        stack[0] = curve;
        b = 0;
        o = 0;
        bool again = false;
        while (b >= 0) {
            const int stack_segments = b + 1;
            if (stack_segments == 10 || o == max_segments - stack_segments) {
                threshold *= 1.5;
                again = threshold <= 2.0;
                break;
            }
            const ShiftResult res = shift(stack[b], &out[o], offset, threshold);
            if (res == SHIFT_DISCARD) {
                --b;
            } else if (res == SHIFT_OK) {
                ++o;
                --b;
            } else if (res == SHIFT_CIRCLE && max_segments - o >= 2) {
                if (add_circle(stack[b], offset, &out[o])) o += 2;
                --b;
            } else {
                const Bezier whole = stack[b];
                split(whole, &stack[b + 1], &stack[b]);
                ++b;
            }
        }
        if (again) continue;
        break;
    }
    while (b >= 0) { // gave up: what is left, as it comes
        const ShiftResult res = shift(stack[b], &out[o], offset, threshold);
        if (res == SHIFT_OK || res == SHIFT_SPLIT) ++o;
        --b;
    }
    return o;
}

// One side of a closed path of lines and curves: pieces[0] is the start; then each piece is a
// line (one point) or a curve (three points), `kinds` telling which.
struct PathPiece {
    bool curve;
    PointF c1, c2, end; // a line uses end only
};

void outline_side(Outline &o, PointF start, const PathPiece *pieces, int count, double offset) {
    PointF prev = start;
    bool first = true;
    Line start_tangent{};
    for (int i = 0; i < count; ++i) {
        const PathPiece &e = pieces[i];
        if (!e.curve) {
            Line line{prev, e.end};
            if (line.a.x == line.b.x && line.a.y == line.b.y) continue;
            // The normal (dy, -dx) scaled to the offset, then the line moved along it.
            const double length = std::hypot(line.b.x - line.a.x, line.b.y - line.a.y);
            const PointF n_end{line.a.x + offset * ((line.b.y - line.a.y) / length),
                               line.a.y + offset * ((-(line.b.x - line.a.x)) / length)};
            const double ndx = n_end.x - line.a.x, ndy = n_end.y - line.a.y;
            line = {{line.a.x + ndx, line.a.y + ndy}, {line.b.x + ndx, line.b.y + ndy}};
            if (first) {
                outline_move(o, line.a);
                start_tangent = line;
                first = false;
            } else {
                outline_join(o, prev, line);
            }
            outline_line(o, line.b);
            prev = e.end;
            continue;
        }
        const Bezier bezier{prev.x, prev.y, e.c1.x, e.c1.y, e.c2.x, e.c2.y, e.end.x, e.end.y};
        Bezier shifted[OFFSET_CURVES_MAX];
        const int n = offset_curve(bezier, shifted, offset, float(std::min(OFFSET_FLATNESS, 0.5 / offset)));
        if (n) {
            Line tangent{{bezier.x1, bezier.y1}, {bezier.x2, bezier.y2}};
            if (is_null(tangent)) tangent.b = {bezier.x3, bezier.y3};
            if (is_null(tangent)) tangent.b = {bezier.x4, bezier.y4};
            const double tx = shifted[0].x1 - bezier.x1, ty = shifted[0].y1 - bezier.y1;
            tangent = {{tangent.a.x + tx, tangent.a.y + ty}, {tangent.b.x + tx, tangent.b.y + ty}};
            if (first) {
                outline_move(o, {shifted[0].x1, shifted[0].y1});
                start_tangent = tangent;
                first = false;
            } else {
                outline_join(o, prev, tangent);
            }
            for (int k = 0; k < n; ++k)
                outline_cubic(o, {shifted[k].x2, shifted[k].y2}, {shifted[k].x3, shifted[k].y3},
                              {shifted[k].x4, shifted[k].y4});
        }
        prev = e.end;
    }
    if (!first && fuzzy_equal(start.x, prev.x) && fuzzy_equal(start.y, prev.y)) outline_join(o, prev, start_tangent);
}

// Edges of a wide outline: far more than a polygon's, kept in one buffer for every call (the
// runtime draws from one thread).
constexpr int OUTLINE_EDGES_MAX = 8192;
Edge outline_edges[OUTLINE_EDGES_MAX];

// The outline of the closed polygon through integer corners with a pen `width` wide.
void wide_outline(const RasterTarget *t, const std::int64_t *xs, const std::int64_t *ys, int count,
                  std::int64_t width, std::uint32_t color) {
    Outline o{Scan{t, outline_edges, OUTLINE_EDGES_MAX}};
    PathPiece forward[RASTER_POLYGON_POINTS_MAX], backward[RASTER_POLYGON_POINTS_MAX];
    for (int i = 0; i < count; ++i) {
        forward[i] = {false, {}, {}, {double(xs[(i + 1) % count]), double(ys[(i + 1) % count])}};
        const int j = (2 * count - 1 - i) % count;
        backward[i] = {false, {}, {}, {double(xs[j]), double(ys[j])}};
    }
    const double offset = double(width) / 2;
    outline_side(o, {double(xs[0]), double(ys[0])}, forward, count, offset);
    outline_side(o, {double(xs[0]), double(ys[0])}, backward, count, offset);
    outline_close(o);
    scan_fill(o.scan, true, color);
}

// The ellipse in the box from (left, top), w by h between its outermost pixel centres, as four
// quarter curves from the right end, clockwise on screen: p[0], then three points per curve.
void ellipse_curves(double left, double top, double w, double h, PointF p[13]) {
    const double w2 = w / 2, w2k = w2 * KAPPA, h2 = h / 2, h2k = h2 * KAPPA;
    const PointF points[13] = {{left + w, top + h2},
                               {left + w, top + h2 + h2k}, {left + w2 + w2k, top + h}, {left + w2, top + h},
                               {left + w2 - w2k, top + h}, {left, top + h2 + h2k}, {left, top + h2},
                               {left, top + h2 - h2k}, {left + w2 - w2k, top}, {left + w2, top},
                               {left + w2 + w2k, top}, {left + w, top + h2 - h2k}, {left + w, top + h2}};
    std::copy(points, points + 13, p);
}

// The interior of that ellipse (for a filled ellipse with a wide pen).
void fill_ellipse(const RasterTarget *t, double left, double top, double w, double h, std::uint32_t color) {
    PointF p[13];
    ellipse_curves(left, top, w, h, p);
    Outline o{Scan{t, outline_edges, OUTLINE_EDGES_MAX}};
    outline_move(o, p[0]);
    for (int i = 0; i < 4; ++i) outline_cubic(o, p[3 * i + 1], p[3 * i + 2], p[3 * i + 3]);
    outline_close(o);
    scan_fill(o.scan, false, color);
}

// The outline of that ellipse with a pen `width` wide.
void wide_ellipse(const RasterTarget *t, double left, double top, double w, double h, std::int64_t width,
                  std::uint32_t color) {
    PointF p[13];
    ellipse_curves(left, top, w, h, p);
    PathPiece forward[4], backward[4];
    for (int i = 0; i < 4; ++i) {
        forward[i] = {true, p[3 * i + 1], p[3 * i + 2], p[3 * i + 3]};
        backward[i] = {true, p[11 - 3 * i], p[10 - 3 * i], p[9 - 3 * i]};
    }
    Outline o{Scan{t, outline_edges, OUTLINE_EDGES_MAX}};
    const double offset = double(width) / 2;
    outline_side(o, p[0], forward, 4, offset);
    outline_side(o, p[12], backward, 4, offset);
    outline_close(o);
    scan_fill(o.scan, true, color);
}

// ---------------------------------------------------------------------------------------------
// Wide lines: the rectangle swept by the pen along the line, square ends.
// ---------------------------------------------------------------------------------------------

std::int64_t float_to_fixed(double v) {
    const double scaled = v * 65536.0;
    if (scaled > double(std::numeric_limits<std::int64_t>::max())) return std::numeric_limits<std::int64_t>::max();
    if (scaled < double(std::numeric_limits<std::int64_t>::min())) return std::numeric_limits<std::int64_t>::min();
    return std::int64_t(scaled);
}

double safe_divide(double x, double y) {
    if (y == 0) return x > 0 ? 1e20 : -1e20;
    return x / y;
}

bool same_26_6(double p1, double p2) { return int((p2 - p1) * 64.0) == 0; }

PointF snap_26_6(PointF p) { return {std::floor(p.x * 64) * (1 / 64.0), std::floor(p.y * 64) * (1 / 64.0)}; }

// The band from a to b, `width` times the length of a..b wide; square ends reach past a and b
// by half the band's width.
void sweep_line(const RasterTarget *t, PointF a, PointF b, double width, bool square_cap, std::uint32_t color) {
    if ((a.x == b.x && a.y == b.y) || !(width > 0.0) || t->width <= 0 || t->height <= 0) return;
    const int clip_right = t->width - 1, clip_bottom = t->height - 1;
    PointF pa = a, pb = b;
    if (square_cap) {
        const PointF delta{pb.x - pa.x, pb.y - pa.y};
        pa = {pa.x - 0.5 * width * delta.x, pa.y - 0.5 * width * delta.y};
        pb = {pb.x + 0.5 * width * delta.x, pb.y + 0.5 * width * delta.y};
    }
    const PointF offs{std::abs(b.y - a.y) * width * 0.5, std::abs(b.x - a.x) * width * 0.5};
    // The box kept as corner and size, its far sides found by adding them up again: the
    // rounding of that sum decides which ends are cut.
    const double cl = -offs.x, ct = -offs.y;
    const double cr = cl + ((double(t->width) + offs.x) - cl), cb = ct + ((double(t->height) + offs.y) - ct);
    if (!std::isfinite(pa.x) || !std::isfinite(pa.y) || !std::isfinite(pb.x) || !std::isfinite(pb.y)) return;
    // The ends cut to the box one side after the other, each along the line's own slope.
    if (pa.x < cl) {
        if (pb.x <= cl) return;
        pa.y = pa.y + (pb.y - pa.y) / (pb.x - pa.x) * (cl - pa.x);
        pa.x = cl;
    } else if (pa.x > cr) {
        if (pb.x >= cr) return;
        pa.y = pa.y + (pb.y - pa.y) / (pb.x - pa.x) * (cr - pa.x);
        pa.x = cr;
    }
    if (pb.x < cl) {
        pb.y = pb.y + (pb.y - pa.y) / (pb.x - pa.x) * (cl - pb.x);
        pb.x = cl;
    } else if (pb.x > cr) {
        pb.y = pb.y + (pb.y - pa.y) / (pb.x - pa.x) * (cr - pb.x);
        pb.x = cr;
    }
    if (pa.y < ct) {
        if (pb.y <= ct) return;
        pa.x = pa.x + (pb.x - pa.x) / (pb.y - pa.y) * (ct - pa.y);
        pa.y = ct;
    } else if (pa.y > cb) {
        if (pb.y >= cb) return;
        pa.x = pa.x + (pb.x - pa.x) / (pb.y - pa.y) * (cb - pa.y);
        pa.y = cb;
    }
    if (pb.y < ct) {
        pb.x = pb.x + (pb.x - pa.x) / (pb.y - pa.y) * (ct - pb.y);
        pb.y = ct;
    } else if (pb.y > cb) {
        pb.x = pb.x + (pb.x - pa.x) / (pb.y - pa.y) * (cb - pb.y);
        pb.y = cb;
    }
    {
        // the width is relative to the length: keep it the same band across a cut
        const double w0 = (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
        const double w = (pa.x - pb.x) * (pa.x - pb.x) + (pa.y - pb.y) * (pa.y - pb.y);
        if (w == 0) return;
        width *= std::sqrt(w0 / w);
    }
    if (same_26_6(pa.y, pb.y)) { // a horizontal band is drawn as the vertical one across it
        const double x = (pa.x + pb.x) * 0.5;
        const double dx = std::abs(pb.x - pa.x) * 0.5;
        const double y = pa.y;
        const double dy = width * dx;
        pa = {x, y - dy};
        pb = {x, y + dy};
        width = 1 / width;
    }
    if (same_26_6(pa.x, pb.x)) {
        if (pa.y > pb.y) std::swap(pa, pb);
        const double dy = pb.y - pa.y;
        const double half_width = 0.5 * width * dy;
        double left = pa.x - half_width, right = pa.x + half_width;
        left = std::clamp(left, 0.0, double(clip_right + 1));
        right = std::clamp(right, 0.0, double(clip_right + 1));
        pa.y = std::clamp(pa.y, 0.0, double(clip_bottom + 1));
        pb.y = std::clamp(pb.y, 0.0, double(clip_bottom + 1));
        if (same_26_6(left, right) || same_26_6(pa.y, pb.y)) return;
        const int top = int(pa.y + 0.5);
        const int bottom = pb.y < 0.5 ? -1 : int(pb.y - 0.5);
        const int first = int(left + 0.5);
        const int last = right < 0.5 ? -1 : int(right - 0.5);
        if (last < first) return;
        for (int y = top; y <= bottom; ++y) fill_span(t, y, first, last, color);
        return;
    }
    if (pa.y > pb.y) std::swap(pa, pb);
    const double half_width = 0.5 * width; // scaled once, then applied: the rounding depends on it
    const PointF delta{(pb.x - pa.x) * half_width, (pb.y - pa.y) * half_width};
    const PointF perp{delta.y, -delta.x};
    PointF top, left, right, bottom;
    if (pa.x < pb.x) {
        top = {pa.x + perp.x, pa.y + perp.y};
        left = {pa.x - perp.x, pa.y - perp.y};
        right = {pb.x + perp.x, pb.y + perp.y};
        bottom = {pb.x - perp.x, pb.y - perp.y};
    } else {
        top = {pa.x - perp.x, pa.y - perp.y};
        left = {pb.x - perp.x, pb.y - perp.y};
        right = {pa.x + perp.x, pa.y + perp.y};
        bottom = {pb.x + perp.x, pb.y + perp.y};
    }
    top = snap_26_6(top);
    bottom = snap_26_6(bottom);
    left = snap_26_6(left);
    right = snap_26_6(right);
    const double top_left_slope = safe_divide(left.x - top.x, left.y - top.y);
    const double bottom_left_slope = safe_divide(bottom.x - left.x, bottom.y - left.y);
    const double top_right_slope = safe_divide(right.x - top.x, right.y - top.y);
    const double bottom_right_slope = safe_divide(bottom.x - right.x, bottom.y - right.y);
    const std::int64_t top_left_fp = float_to_fixed(top_left_slope), top_right_fp = float_to_fixed(top_right_slope);
    const std::int64_t bottom_left_fp = float_to_fixed(bottom_left_slope);
    const std::int64_t bottom_right_fp = float_to_fixed(bottom_right_slope);
    const int i_top = int(top.y + 0.5);
    int i_left = left.y < 0.5 ? -1 : int(left.y - 0.5);
    int i_right = right.y < 0.5 ? -1 : int(right.y - 0.5);
    int i_bottom = bottom.y < 0.5 ? -1 : int(bottom.y - 0.5);
    int i_middle = std::min(i_left, i_right);
    std::int64_t left_a = float_to_fixed(top.x + 0.5 + (i_top + 0.5 - top.y) * top_left_slope);
    std::int64_t left_b = float_to_fixed(left.x + 0.5 + (i_left + 1.5 - left.y) * bottom_left_slope);
    std::int64_t right_a = float_to_fixed(top.x - 0.5 + (i_top + 0.5 - top.y) * top_right_slope);
    std::int64_t right_b = float_to_fixed(right.x - 0.5 + (i_right + 1.5 - right.y) * bottom_right_slope);
    int y = i_top;
    // Rows y..next between two edges, skipping those above the buffer.
    auto segment = [&](int &next, std::int64_t &li, std::int64_t &ri, std::int64_t ls, std::int64_t rs) {
        const int ny = std::min(next + 1, 0);
        if (y < ny) {
            li = wrap_step(li, ls, ny - y);
            ri = wrap_step(ri, rs, ny - y);
            y = ny;
        }
        if (next > clip_bottom) next = clip_bottom;
        for (; y <= next; ++y) {
            const std::int64_t x1 = std::max<std::int64_t>(li >> 16, 0);
            const std::int64_t x2 = std::min<std::int64_t>(ri >> 16, clip_right);
            if (x2 >= x1) fill_span(t, y, x1, x2, color);
            li = wrap_step(li, ls, 1);
            ri = wrap_step(ri, rs, 1);
        }
    };
    segment(i_middle, left_a, right_a, top_left_fp, top_right_fp);
    segment(i_right, left_b, right_a, bottom_left_fp, top_right_fp);
    segment(i_left, left_a, right_b, top_left_fp, bottom_right_fp);
    segment(i_bottom, left_b, right_b, bottom_left_fp, bottom_right_fp);
}

// A line of pen width `width` (2 or more) between integer points within the fixed-point range.
void wide_segment(const RasterTarget *t, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                  std::int64_t width, std::uint32_t color) {
    const double w = double(width);
    if (x1 == x2 && y1 == y2) { // a point: the pen's square
        sweep_line(t, {double(x1) - w * 0.5, double(y1)}, {double(x1) + w * 0.5, double(y1)}, 1.0, false, color);
        return;
    }
    const double dx = double(x2 - x1), dy = double(y2 - y1);
    sweep_line(t, {double(x1), double(y1)}, {double(x2), double(y2)}, w / std::hypot(dx, dy), true, color);
}

// A segment of a pen width 1 or more, cut first to what its pen can reach of the buffer.
void pen_segment(const RasterTarget *t, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                 std::int64_t width, std::uint32_t color) {
    width = pen_width_of(width);
    if (!(is_safe(x1) && is_safe(y1) && is_safe(x2) && is_safe(y2))) {
        const double margin = double(width) / 2.0 + 2.0;
        double ax = double(x1), ay = double(y1), bx = double(x2), by = double(y2);
        if (!clip_segment(ax, ay, bx, by, -margin, -margin, t->width + margin, t->height + margin)) return;
        x1 = std::lround(ax);
        y1 = std::lround(ay);
        x2 = std::lround(bx);
        y2 = std::lround(by);
    }
    if (width == 1)
        thin_pen_line(t, x1, y1, x2, y2, color);
    else
        wide_segment(t, x1, y1, x2, y2, width, color);
}

// ---------------------------------------------------------------------------------------------
// Ellipses
// ---------------------------------------------------------------------------------------------

// The four mirrored runs of `length` outline pixels at (x, y) from the centre of the box, and
// the interior rows between them, cut to the box's columns: on a flat ellipse the method's
// runs along the widest rows reach past the box's sides (a 100 by 10 box by 3 to 6 pixels),
// which no ellipse inscribed in the box may.
void ellipse_points(const RasterTarget *t, int x, int y, int length, int left, int top, int w, int h,
                    std::uint32_t pen_color, bool filled, std::uint32_t fill_color) {
    if (length == 0) return;
    const auto box_span = [t, left, w](std::int64_t row, std::int64_t from, std::int64_t to, std::uint32_t color) {
        fill_span(t, row, std::max<std::int64_t>(from, left), std::min<std::int64_t>(to, std::int64_t(left) + w),
                    color);
    };
    const int midx = left + (w + 1) / 2, midy = top + (h + 1) / 2;
    x += midx;
    y = midy - y;
    const int left_x = midx + (midx - x) - (length - 1) - (w & 1);
    const int left_len = std::min(length, x - left_x);
    const int bottom_y = midy + (midy - y) - (h & 1);
    if (filled && left_x + left_len < x) {
        const int from = left_x + left_len - 1;
        const int len = std::max(0, x - from);
        if (len > 0) {
            box_span(y, from, from + len - 1, fill_color);
            if (y < bottom_y) box_span(bottom_y, from, from + len - 1, fill_color);
        }
    }
    if (left_len > 0) box_span(y, left_x, left_x + left_len - 1, pen_color);
    box_span(y, x, x + length - 1, pen_color);
    if (y < bottom_y) {
        if (left_len > 0) box_span(bottom_y, left_x, left_x + left_len - 1, pen_color);
        box_span(bottom_y, x, x + length - 1, pen_color);
    }
}

// Thin-pen ellipse in the box from (left, top), w by h pixels between its outermost pixel
// centres, by the integer midpoint method.
void midpoint_ellipse(const RasterTarget *t, int left, int top, int w, int h, std::uint32_t pen_color, bool filled,
                      std::uint32_t fill_color) {
    const double a = double(w) / 2, b = double(h) / 2;
    double d = b * b - (a * a * b) + 0.25 * a * a;
    int x = 0;
    int y = (h + 1) / 2;
    int startx = x;
    while (a * a * (2 * y - 1) > 2 * b * b * (x + 1)) {
        if (d < 0) {
            d += b * b * (2 * x + 3);
            ++x;
        } else {
            d += b * b * (2 * x + 3) + a * a * (-2 * y + 2);
            ellipse_points(t, startx, y, x - startx + 1, left, top, w, h, pen_color, filled, fill_color);
            startx = ++x;
            --y;
        }
    }
    ellipse_points(t, startx, y, x - startx + 1, left, top, w, h, pen_color, filled, fill_color);
    d = b * b * (x + 0.5) * (x + 0.5) + a * a * ((y - 1) * (y - 1) - b * b);
    const int miny = h & 1;
    while (y > miny) {
        if (d < 0) {
            d += b * b * (2 * x + 2) + a * a * (-2 * y + 3);
            ++x;
        } else {
            d += a * a * (-2 * y + 3);
        }
        --y;
        ellipse_points(t, x, y, 1, left, top, w, h, pen_color, filled, fill_color);
    }
}

// An ellipse row by row over the buffer, for boxes beyond the fixed-point range and for pens
// wider than one pixel.
void span_ellipse(const RasterTarget *t, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                  const RasterPen *pen) {
    const double cx = (double(x0) + double(x1)) / 2.0, cy = (double(y0) + double(y1)) / 2.0;
    // The fill reaches the outer edges of the box's edge pixels; the pen is centred on the line
    // through their centres, so a one-pixel pen covers the edge pixels.
    const double ax = (double(x1) - double(x0)) / 2.0 + 0.5, ay = (double(y1) - double(y0)) / 2.0 + 0.5;
    const double pen_ax = ax - 0.5, pen_ay = ay - 0.5;
    const double half_pen = double(pen_width_of(pen->width)) / 2.0;
    // Span of an ellipse with the half axes on row y, or false when the row misses it.
    auto span = [&](double rx, double ry, double y, double &from, double &to) {
        if (rx <= 0.0 || ry <= 0.0) return false;
        const double v = (y - cy) / ry;
        if (v < -1.0 || v > 1.0) return false;
        const double half = rx * std::sqrt(1.0 - v * v);
        from = std::ceil(cx - half);
        to = std::floor(cx + half);
        return from <= to;
    };
    const int height = t->height, width = t->width;
    const std::int64_t first_row = std::max<std::int64_t>(0, sat_add(y0, -pen_width_of(pen->width)));
    const std::int64_t last_row = std::min<std::int64_t>(height - 1, sat_add(y1, pen_width_of(pen->width)));
    for (std::int64_t row = first_row; row <= last_row; ++row) {
        const double y = double(row);
        double from, to;
        if (pen->filled && span(ax, ay, y, from, to))
            fill_span(t, row, std::int64_t(std::max(from, -1.0)), std::int64_t(std::min(to, double(width))), pen->fill);
        double outer_from, outer_to, inner_from, inner_to;
        if (!span(pen_ax + half_pen, pen_ay + half_pen, y, outer_from, outer_to)) continue;
        outer_from = std::max(outer_from, -1.0);
        outer_to = std::min(outer_to, double(width));
        if (span(pen_ax - half_pen, pen_ay - half_pen, y, inner_from, inner_to)) {
            inner_from = std::max(inner_from, -1.0);
            inner_to = std::min(inner_to, double(width));
            fill_span(t, row, std::int64_t(outer_from), std::int64_t(inner_from) - 1, pen->color);
            fill_span(t, row, std::int64_t(inner_to) + 1, std::int64_t(outer_to), pen->color);
        } else {
            fill_span(t, row, std::int64_t(outer_from), std::int64_t(outer_to), pen->color);
        }
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------

void raster_pixel(const RasterTarget *target, std::int64_t x, std::int64_t y, std::uint32_t color) {
    if (target) put_pixel(target, x, y, color);
}

void raster_rectangle(const RasterTarget *target, std::int64_t left, std::int64_t top, std::int64_t right,
                      std::int64_t bottom, const RasterPen *pen) {
    if (!target || !pen || right <= left || bottom <= top) return;
    const std::int64_t x0 = left, y0 = top, x1 = right - 1, y1 = bottom - 1;
    const std::int64_t width = std::max<std::int64_t>(pen->width, 1);
    if (pen->filled) {
        fill_block(target, x0, y0, x1, y1, pen->fill);
        if (width == 1 && pen->fill == pen->color) return; // the outline lies on the filled pixels
    }
    // The pen is centred on the outermost pixels: a band of `width` around each edge.
    const std::int64_t before = width / 2, after = width - 1 - width / 2;
    const std::int64_t ox0 = sat_add(x0, -before), oy0 = sat_add(y0, -before);
    const std::int64_t ox1 = sat_add(x1, after), oy1 = sat_add(y1, after);
    const std::int64_t ix0 = sat_add(sat_add(x0, after), 1), iy0 = sat_add(sat_add(y0, after), 1);
    const std::int64_t ix1 = sat_add(sat_add(x1, -before), -1), iy1 = sat_add(sat_add(y1, -before), -1);
    if (ix0 > ix1 || iy0 > iy1) {
        fill_block(target, ox0, oy0, ox1, oy1, pen->color);
        return;
    }
    fill_block(target, ox0, oy0, ox1, iy0 - 1, pen->color);
    fill_block(target, ox0, iy1 + 1, ox1, oy1, pen->color);
    fill_block(target, ox0, iy0, ix0 - 1, iy1, pen->color);
    fill_block(target, ix1 + 1, iy0, ox1, iy1, pen->color);
}

void raster_ellipse(const RasterTarget *target, std::int64_t left, std::int64_t top, std::int64_t right,
                    std::int64_t bottom, const RasterPen *pen) {
    if (!target || !pen || right <= left || bottom <= top) return;
    const std::int64_t x0 = left, y0 = top, x1 = right - 1, y1 = bottom - 1;
    if (x0 == x1 || y0 == y1) { // a box one pixel thin: the ellipse is that line of pixels
        fill_block(target, x0, y0, x1, y1, pen->color);
        return;
    }
    if (!(is_safe(x0) && is_safe(y0) && is_safe(x1) && is_safe(y1))) {
        span_ellipse(target, x0, y0, x1, y1, pen);
        return;
    }
    if (pen_width_of(pen->width) > 1) {
        if (pen->filled) fill_ellipse(target, double(x0), double(y0), double(x1 - x0), double(y1 - y0), pen->fill);
        wide_ellipse(target, double(x0), double(y0), double(x1 - x0), double(y1 - y0), pen_width_of(pen->width),
                     pen->color);
        return;
    }
    midpoint_ellipse(target, int(x0), int(y0), int(x1 - x0), int(y1 - y0), pen->color, pen->filled, pen->fill);
}

void raster_polygon(const RasterTarget *target, const std::int64_t *xs, const std::int64_t *ys, int count,
                    const RasterPen *pen) {
    if (!target || !pen || !xs || !ys || count < 2 || count > RASTER_POLYGON_POINTS_MAX) return;
    bool safe = true;
    for (int i = 0; i < count; ++i) safe = safe && is_safe(xs[i]) && is_safe(ys[i]);
    const std::int64_t width = pen_width_of(pen->width);
    if (safe) {
        if (pen->filled) fill_polygon(target, xs, ys, count, pen->fill);
        if (width == 1) {
            thin_pen_outline(target, xs, ys, count, pen->color);
        } else {
            wide_outline(target, xs, ys, count, width, pen->color);
        }
        return;
    }
    // Beyond the fixed-point range: fill what lies near the buffer, then stroke each edge.
    const double margin = double(width) / 2.0 + 2.0;
    if (pen->filled) {
        PointF points[POLYGON_CLIPPED_MAX];
        for (int i = 0; i < count; ++i) points[i] = {double(xs[i]), double(ys[i])};
        const int n = clip_polygon(points, count, -margin, -margin, target->width + margin, target->height + margin);
        if (n >= 3) {
            std::int64_t cxs[POLYGON_CLIPPED_MAX], cys[POLYGON_CLIPPED_MAX];
            for (int i = 0; i < n; ++i) {
                cxs[i] = std::lround(points[i].x);
                cys[i] = std::lround(points[i].y);
            }
            fill_polygon(target, cxs, cys, n, pen->fill);
        }
    }
    for (int i = 0; i < count; ++i) {
        const int j = (i + 1) % count;
        pen_segment(target, xs[i], ys[i], xs[j], ys[j], width, pen->color);
    }
}

void raster_line(const RasterTarget *target, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                 std::int64_t width, std::uint32_t color) {
    if (!target) return;
    if (width > 1) {
        pen_segment(target, x1, y1, x2, y2, width, color);
        return;
    }
    if (is_safe(x1) && is_safe(y1) && is_safe(x2) && is_safe(y2)) {
        bresenham_line(target, x1, y1, x2, y2, false, color);
        return;
    }
    double ax = double(x1), ay = double(y1), bx = double(x2), by = double(y2), t_end = 1.0;
    if (!clip_segment(ax, ay, bx, by, -2.0, -2.0, target->width + 2.0, target->height + 2.0, &t_end)) return;
    // The true final pixel lies outside when the end was cut away, so the cut end is drawn.
    bresenham_line(target, std::llround(ax), std::llround(ay), std::llround(bx), std::llround(by), t_end < 1.0, color);
}
