// frame_floor.h: the same shapes as a composed frame, drawn straight with the toolkit's
// painter on an image of the canvas's size; the floor the runtime's primitives are held to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FloorShape {
    int kind;          // the runtime's shape kinds: 0 triangle, 1 rectangle, 2 oval, 3 line, 4 pixel, 5 text
    std::uint32_t rgb; // 0xRRGGBB
    int width;         // 0: filled
    int x[3], y[3];    // pixel coordinates (rectangle and oval: left, top, right, bottom in x[0..1], y[0..1])
    int size;          // text size
    std::string text;
};

// Draws the shapes `frames` times on one image, one painter; returns microseconds per frame.
double floor_microseconds_per_frame(const std::vector<FloorShape> &shapes, int frames);
