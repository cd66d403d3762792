// raster_batch.cpp: held shapes, and the boxes that tell which of them a filled rectangle
// paints over. See raster_batch.h.
#include "raster/raster_batch.h"

#include <algorithm>
#include <limits>

namespace {

using Box = RasterBox;

constexpr Box NO_BOX{0, 0, -1, -1};
constexpr std::int64_t LEAST = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t MOST = std::numeric_limits<std::int64_t>::max();
bool is_empty(const Box &b) { return b.x0 > b.x1 || b.y0 > b.y1; }

// v - by and v + by, held at the ends of the 64-bit range.
std::int64_t less_by(std::int64_t v, std::int64_t by) { return v < LEAST + by ? LEAST : v - by; }
std::int64_t more_by(std::int64_t v, std::int64_t by) { return v > MOST - by ? MOST : v + by; }

Box clipped(Box b, const RasterTarget *t) {
    return {std::max<std::int64_t>(b.x0, 0), std::max<std::int64_t>(b.y0, 0), std::min<std::int64_t>(b.x1, t->width - 1),
            std::min<std::int64_t>(b.y1, t->height - 1)};
}

bool inside(const Box &inner, const Box &outer) {
    return inner.x0 >= outer.x0 && inner.y0 >= outer.y0 && inner.x1 <= outer.x1 && inner.y1 <= outer.y1;
}

// The pixels a rectangle's corners enclose (right and bottom excluded).
Box corner_box(const RasterShape &s) {
    if (s.xs[1] <= s.xs[0] || s.ys[1] <= s.ys[0]) return NO_BOX;
    return {s.xs[0], s.ys[0], s.xs[1] - 1, s.ys[1] - 1};
}

// Every pixel the shape may store lies in this box. Rectangles and pixels are exact integer
// work, so their boxes are exact (a pen centred on the outermost pixels). Every other shape is
// held as if it could store anywhere, and only a cover of the whole target skips it: wide pens,
// joins, rounding in the fixed-point paths and cuts in floating point beyond them would each
// need a margin of their own, and a margin too small would lose pixels.
Box bounds(const RasterShape &s) {
    switch (s.kind) {
    case RASTER_SHAPE_RECTANGLE: {
        const Box b = corner_box(s);
        if (is_empty(b)) return NO_BOX;
        const std::int64_t pen = std::max<std::int64_t>(s.pen.width, 1); // any width, uncut
        return {less_by(b.x0, pen / 2), less_by(b.y0, pen / 2), more_by(b.x1, pen - 1 - pen / 2),
                more_by(b.y1, pen - 1 - pen / 2)};
    }
    case RASTER_SHAPE_PIXEL: return {s.xs[0], s.ys[0], s.xs[0], s.ys[0]};
    default: return {LEAST, LEAST, MOST, MOST};
    }
}

// The pixels the shape certainly repaints, whatever lay beneath: a filled rectangle's
// interior (its pen, if any, only adds to that).
Box cover(const RasterShape &s) {
    if (s.kind != RASTER_SHAPE_RECTANGLE || !s.pen.filled) return NO_BOX;
    return corner_box(s);
}

// A rectangle of one colour: its pixels are its box and nothing else.
bool is_plain_block(const RasterShape &s) {
    return s.kind == RASTER_SHAPE_RECTANGLE && s.pen.filled && s.pen.width <= 1 && s.pen.fill == s.pen.color;
}

// The block without the rows (or columns) the cover spans from side to side at one of its ends.
Box trimmed(Box block, const Box &c) {
    if (c.x0 <= block.x0 && c.x1 >= block.x1) {
        if (c.y0 <= block.y0 && c.y1 >= block.y0) block.y0 = c.y1 + 1;
        else if (c.y0 <= block.y1 && c.y1 >= block.y1) block.y1 = c.y0 - 1;
    }
    if (c.y0 <= block.y0 && c.y1 >= block.y1) {
        if (c.x0 <= block.x0 && c.x1 >= block.x0) block.x0 = c.x1 + 1;
        else if (c.x0 <= block.x1 && c.x1 >= block.x1) block.x1 = c.x0 - 1;
    }
    return block;
}

bool same_target(const RasterTarget &a, const RasterTarget *b) {
    return a.pixels == b->pixels && a.width == b->width && a.height == b->height && a.stride == b->stride &&
           a.owner == b->owner && a.owner_id == b->owner_id;
}

// Drops or trims every held shape the new cover paints over.
void skip_covered(RasterBatch *batch, const Box &c) {
    for (int i = 0; i < batch->count; ++i) {
        if (batch->dropped[i]) continue;
        const Box &b = batch->reach[i];
        if (!(b.x0 <= c.x1 && b.x1 >= c.x0 && b.y0 <= c.y1 && b.y1 >= c.y0)) continue; // apart
        RasterShape &held = batch->shapes[i];
        if (inside(b, c)) {
            batch->dropped[i] = true;
            batch->shapes_skipped++;
            continue;
        }
        if (!is_plain_block(held)) continue;
        const Box left = trimmed(b, c);
        if (is_empty(left)) {
            batch->dropped[i] = true;
            batch->shapes_skipped++;
            continue;
        }
        held.xs[0] = left.x0;
        held.ys[0] = left.y0;
        held.xs[1] = left.x1 + 1;
        held.ys[1] = left.y1 + 1;
        batch->reach[i] = left;
    }
}

// The shape's kind, pen and the points it uses: a copy of the whole record would cost as much
// as drawing a small shape.
void copy_shape(RasterShape &to, const RasterShape &from) {
    to.kind = from.kind;
    to.count = from.count;
    to.pen = from.pen;
    const int points = from.kind == RASTER_SHAPE_POLYGON ? std::clamp(from.count, 0, RASTER_POLYGON_POINTS_MAX) : 2;
    std::copy_n(from.xs, points, to.xs);
    std::copy_n(from.ys, points, to.ys);
}

// Closes the gaps dropped shapes left.
void compact(RasterBatch *batch) {
    int kept = 0;
    for (int i = 0; i < batch->count; ++i) {
        if (batch->dropped[i]) continue;
        if (kept != i) {
            copy_shape(batch->shapes[kept], batch->shapes[i]);
            batch->reach[kept] = batch->reach[i];
        }
        batch->dropped[kept++] = false;
    }
    batch->count = kept;
}

} // namespace

void raster_shape(const RasterTarget *target, const RasterShape *s) {
    switch (s->kind) {
    case RASTER_SHAPE_RECTANGLE: raster_rectangle(target, s->xs[0], s->ys[0], s->xs[1], s->ys[1], &s->pen); break;
    case RASTER_SHAPE_ELLIPSE: raster_ellipse(target, s->xs[0], s->ys[0], s->xs[1], s->ys[1], &s->pen); break;
    case RASTER_SHAPE_POLYGON: raster_polygon(target, s->xs, s->ys, s->count, &s->pen); break;
    case RASTER_SHAPE_LINE:
        raster_line(target, s->xs[0], s->ys[0], s->xs[1], s->ys[1], s->pen.width, s->pen.color);
        break;
    case RASTER_SHAPE_PIXEL: raster_pixel(target, s->xs[0], s->ys[0], s->pen.color); break;
    }
}

void raster_batch_add(RasterBatch *batch, const RasterTarget *target, const RasterShape *shape) {
    if (!target || !shape) return;
    if (batch->count > 0 && !same_target(batch->target, target)) raster_batch_draw(batch);
    if (!batch->holding || target->owner) { // owners are recorded in drawing order, at once
        raster_batch_draw(batch);
        raster_shape(target, shape);
        return;
    }
    batch->target = *target;
    const Box reach = clipped(bounds(*shape), target);
    if (is_empty(reach)) { // nothing of it lands in the target
        batch->shapes_skipped++;
        return;
    }
    const Box c = clipped(cover(*shape), target);
    if (!is_empty(c)) skip_covered(batch, c);
    if (batch->count == RASTER_BATCH_SHAPES) compact(batch);
    if (batch->count == RASTER_BATCH_SHAPES) raster_batch_draw(batch);
    copy_shape(batch->shapes[batch->count], *shape);
    batch->reach[batch->count] = reach;
    batch->dropped[batch->count++] = false;
}

void raster_batch_draw(RasterBatch *batch) {
    for (int i = 0; i < batch->count; ++i)
        if (!batch->dropped[i]) raster_shape(&batch->target, &batch->shapes[i]);
    batch->count = 0;
}
