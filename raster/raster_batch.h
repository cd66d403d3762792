// raster_batch.h: shapes held back until their pixels are needed, so that a shape a later
// filled rectangle paints over entirely is never drawn.
//
// Programs that animate redraw their whole picture every frame, background first: a sky, then
// another sky over it, then the ground over half of that. Drawn as they come, most of a frame's
// stores land on pixels that are painted again before anyone looks. A batch keeps the shapes of
// the moment in drawing order; when a filled rectangle arrives, every held rectangle or pixel
// that lies wholly inside it is dropped (any shape, when it covers the whole target), and a
// held plain block (a filled rectangle of one colour) loses the rows or columns it covers. Drawing the batch then gives exactly the pixels drawing every
// shape at once would have given, as every store is opaque and the rectangle repaints each of
// its pixels whatever lay beneath.
//
// The owner of the batch draws it (raster_batch_draw) before anything reads or blends into the
// pixels. A target that records owners (the inspector) is drawn into at once.
#pragma once

#include <cstdint>

#include "raster/raster.h"

enum RasterShapeKind {
    RASTER_SHAPE_RECTANGLE, // xs[0], ys[0] to xs[1], ys[1] as raster_rectangle's corners, with pen
    RASTER_SHAPE_ELLIPSE,   // the same for raster_ellipse
    RASTER_SHAPE_POLYGON,   // count corners, with pen
    RASTER_SHAPE_LINE,      // xs[0], ys[0] towards xs[1], ys[1]; pen.width and pen.color
    RASTER_SHAPE_PIXEL,     // xs[0], ys[0] in pen.color
};

// One shape, as one of the raster_ calls would be given it. Only the points the shape uses need
// to be set.
struct RasterShape {
    RasterShapeKind kind;
    int count; // polygon corners; the other shapes use the first two points
    std::int64_t xs[RASTER_POLYGON_POINTS_MAX];
    std::int64_t ys[RASTER_POLYGON_POINTS_MAX];
    RasterPen pen;
};

// Draws the shape at once.
void raster_shape(const RasterTarget *target, const RasterShape *shape);

constexpr int RASTER_BATCH_SHAPES = 64; // a full batch is drawn to make room

// A box of pixels, both ends included; empty when x0 > x1 or y0 > y1.
struct RasterBox {
    std::int64_t x0, y0, x1, y1;
};

struct RasterBatch {
    bool holding = true;       // false: every shape is drawn as it comes (set by the owner)
    RasterTarget target{};     // where the held shapes go (the target of the first one)
    int count = 0;             // shapes held, dropped ones included until the batch is compacted
    RasterShape shapes[RASTER_BATCH_SHAPES];
    bool dropped[RASTER_BATCH_SHAPES] = {};
    RasterBox reach[RASTER_BATCH_SHAPES];    // the target's pixels each held shape may store
    long long shapes_skipped = 0; // shapes never drawn since the batch was made (measurements)
};

// Holds the shape for the target, drawing what was held for another target first.
void raster_batch_add(RasterBatch *batch, const RasterTarget *target, const RasterShape *shape);

// Draws every held shape in order and empties the batch.
void raster_batch_draw(RasterBatch *batch);
