// bench_frame: the heaviest car-scene frame (three skies, landscape, panel, five cars, the
// message, the traffic light) composed through the public primitives (shapes by raster/ by way
// of the canvas's batch, which skips what later rectangles paint over; text from the platform),
// side by side in one run with the same shapes drawn straight with the toolkit's painter, the
// same composing with every shape drawn as it comes, the frame's shapes alone through raster/
// against the fill-rate floor (plain 32-bit stores of as many pixels as those shapes cover), and
// the frame with the drawing log on. A counting allocator checks that composing allocates
// nothing per primitive.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "frame_floor.h"
#include "raster/raster.h"
#include "tests/harness.h"

#include "tests/counting_allocator.h" // every allocation counted

namespace {

std::vector<FloorShape> captured;

std::uint32_t rgb_of(ColorIndex color) {
    const PlatformColor packed = palette_color(color);
    return ((packed & 0xFF) << 16) | (packed & 0xFF00) | ((packed >> 16) & 0xFF);
}

void capture(const DrawCommand *c, int ox, int oy) {
    FloorShape shape{};
    shape.kind = c->kind;
    shape.rgb = rgb_of(c->color);
    shape.width = int(c->width);
    const std::int64_t xs[3] = {c->x1, c->x2, c->x3}, ys[3] = {c->y1, c->y2, c->y3};
    for (int i = 0; i < 3; ++i) {
        shape.x[i] = int(ox + xs[i]);
        shape.y[i] = int(oy - ys[i]);
    }
    if (c->kind == SHAPE_RECTANGLE || c->kind == SHAPE_OVAL) {
        shape.x[1] += 1;
        shape.y[1] += 1;
    }
    if (c->kind == SHAPE_TEXT) {
        shape.size = int(c->x2);
        shape.text = c->text;
        shape.y[0] -= platform_text_line_height(shape.size);
    }
    captured.push_back(shape);
}

SceneState heaviest_scene() {
    SceneState scene = scene_with_cars({-270, -220, -170, -120, -70}, {2, 3, 4, 5, 6});
    scene.day = 6; // sunset and night layers over the day sky
    return scene;
}

double composed_microseconds(const SceneState &scene, int frames) {
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < frames; ++frame) {
        compose_frame(&scene);
        settle_canvas(); // as the poll that shows the frame does
    }
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(stop - start).count() / frames;
}

// 0xRRGGBB as the platform's 0x00BBGGRR.
PlatformColor platform_color_of(std::uint32_t rgb) {
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

// The captured shapes into the pixels through the rasterizer; text through the platform into
// the same pixels, in drawing order, when a surface is given.
void raster_frame(const RasterTarget *target, PlatformSurface *text_surface) {
    for (const FloorShape &shape : captured) {
        const std::uint32_t color = 0xFF000000u | shape.rgb;
        const RasterPen pen{shape.width, color, shape.width == 0, color};
        switch (shape.kind) {
        case SHAPE_TRIANGLE: {
            const std::int64_t xs[3] = {shape.x[0], shape.x[1], shape.x[2]};
            const std::int64_t ys[3] = {shape.y[0], shape.y[1], shape.y[2]};
            raster_polygon(target, xs, ys, 3, &pen);
            break;
        }
        case SHAPE_RECTANGLE: raster_rectangle(target, shape.x[0], shape.y[0], shape.x[1], shape.y[1], &pen); break;
        case SHAPE_OVAL: raster_ellipse(target, shape.x[0], shape.y[0], shape.x[1], shape.y[1], &pen); break;
        case SHAPE_LINE:
            raster_line(target, shape.x[0], shape.y[0], shape.x[1], shape.y[1], shape.width, color);
            break;
        case SHAPE_PIXEL: raster_pixel(target, shape.x[0], shape.y[0], color); break;
        case SHAPE_TEXT:
            if (text_surface)
                platform_draw_text_line(text_surface, shape.x[0], shape.y[0], shape.size, shape.text.c_str(),
                                        int(shape.text.size()), platform_color_of(shape.rgb));
            break;
        }
    }
}

// How many pixels each captured shape covers, found by drawing it alone.
std::vector<long> covered_pixels() {
    std::vector<std::uint32_t> pixels(std::size_t(CANVAS_WIDTH) * CANVAS_HEIGHT);
    const RasterTarget target{pixels.data(), CANVAS_WIDTH, CANVAS_HEIGHT, CANVAS_WIDTH};
    std::vector<long> counts;
    const std::vector<FloorShape> all = captured;
    for (const FloorShape &shape : all) {
        std::fill(pixels.begin(), pixels.end(), 0u);
        captured.assign(1, shape);
        if (shape.kind != SHAPE_TEXT) raster_frame(&target, nullptr);
        counts.push_back(long(std::count_if(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p != 0; })));
    }
    captured = all;
    return counts;
}

// The fill-rate floor: each shape's number of pixels stored with plain 32-bit writes, in runs
// as long as the canvas's rows.
double fill_floor_microseconds(const std::vector<long> &counts, std::uint32_t *pixels, int frames) {
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < frames; ++frame)
        for (std::size_t i = 0; i < counts.size(); ++i) {
            const std::uint32_t color = 0xFF000000u | captured[i].rgb;
            for (long left = counts[i], at = 0; left > 0;) {
                const long run = std::min<long>(left, CANVAS_WIDTH);
                std::fill_n(pixels + at, run, color);
                at = (at + CANVAS_WIDTH) % (long(CANVAS_WIDTH) * CANVAS_HEIGHT);
                left -= run;
            }
        }
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(stop - start).count() / frames;
}

double raster_microseconds(const RasterTarget *target, PlatformSurface *text_surface, int frames) {
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < frames; ++frame) raster_frame(target, text_surface);
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(stop - start).count() / frames;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int, char **argv) {
    prepare_headless_toolkit(argv[0]);
    start_runtime_once();
    VORNA_set_logging(0);
    // The windows are exposed, as in a running program, so the console really draws its lines.
    for (int poll = 0; poll < 50; ++poll) pump_one_message();
    const SceneState scene = heaviest_scene();

    render_observer = capture;
    compose_frame(&scene);
    render_observer = nullptr;
    std::printf("heaviest frame: %zu primitives\n", captured.size());

    composed_microseconds(scene, 50); // warm up fonts and caches
    floor_microseconds_per_frame(captured, 50);
    // Rounds alternate between the two, so a busy machine slows both alike.
    std::vector<double> runtime_rounds, floor_rounds;
    for (int round = 0; round < 15; ++round) {
        runtime_rounds.push_back(composed_microseconds(scene, 100));
        floor_rounds.push_back(floor_microseconds_per_frame(captured, 100));
    }
    const double runtime_us = median(runtime_rounds), floor_us = median(floor_rounds);
    std::printf("composed through the primitives: %8.1f us/frame\n", runtime_us);
    std::printf("same shapes straight on QPainter: %8.1f us/frame\n", floor_us);
    std::printf("ratio: %.2f (target <= 0.40)\n", runtime_us / floor_us);
    // The same without holding shapes back: every shape drawn as it comes, covered or not.
    runtime_state.canvas_held.holding = false;
    std::vector<double> unheld_rounds;
    for (int round = 0; round < 9; ++round) unheld_rounds.push_back(composed_microseconds(scene, 100));
    runtime_state.canvas_held.holding = true;
    const long long skipped_before = runtime_state.canvas_held.shapes_skipped;
    composed_microseconds(scene, 1);
    std::printf("every shape drawn as it comes:   %8.1f us/frame (%lld of %zu shapes a frame painted over)\n",
                median(unheld_rounds), runtime_state.canvas_held.shapes_skipped - skipped_before, captured.size());

    // The frame's shapes alone through raster/, against the fill-rate floor.
    PlatformSurface *surface = platform_create_surface(CANVAS_WIDTH, CANVAS_HEIGHT);
    std::ptrdiff_t stride = 0;
    std::uint32_t *pixels = platform_surface_pixels(surface, &stride);
    const RasterTarget target{pixels, CANVAS_WIDTH, CANVAS_HEIGHT, stride};
    const std::vector<long> counts = covered_pixels();
    long covered = 0;
    for (long n : counts) covered += n;
    std::vector<std::uint32_t> fill_pixels(std::size_t(CANVAS_WIDTH) * CANVAS_HEIGHT);
    raster_microseconds(&target, nullptr, 50);
    fill_floor_microseconds(counts, fill_pixels.data(), 50);
    std::vector<double> shapes_rounds, fill_rounds;
    for (int round = 0; round < 15; ++round) {
        shapes_rounds.push_back(raster_microseconds(&target, nullptr, 100));
        fill_rounds.push_back(fill_floor_microseconds(counts, fill_pixels.data(), 100));
    }
    const double shapes_us = median(shapes_rounds), fill_us = median(fill_rounds);
    std::printf("the frame's shapes alone through raster/: %8.1f us/frame\n", shapes_us);
    std::printf("fill-rate floor, %ld pixels (%.1f canvases): %8.1f us/frame; ratio %.2f (target <= 2.00)\n", covered,
                double(covered) / (CANVAS_WIDTH * CANVAS_HEIGHT), fill_us, shapes_us / fill_us);
    // Allocations in 100 frames once warm: composing through the primitives, the frame's shapes
    // alone through raster/ (must be none), and the shapes with the text lines from the platform.
    long before = allocations.load();
    composed_microseconds(scene, 100);
    const long composed = allocations.load() - before;
    before = allocations.load();
    raster_microseconds(&target, nullptr, 100);
    const long shapes_only = allocations.load() - before;
    before = allocations.load();
    raster_microseconds(&target, surface, 100);
    const long with_text = allocations.load() - before;
    std::printf("allocations in 100 frames: composed %ld, shapes alone %ld (target 0), shapes and text %ld\n", composed,
                shapes_only, with_text);
    platform_destroy_surface(surface);

    VORNA_set_logging(1);
    std::vector<double> logged_rounds;
    for (int round = 0; round < 9; ++round) logged_rounds.push_back(composed_microseconds(scene, 100));
    const double logged_us = median(logged_rounds);
    std::printf("with the drawing log on (%zu lines a frame): %8.1f us/frame (target <= 5000)\n", captured.size(),
                logged_us);
    VORNA_set_logging(0);
    VORNA_shutdown();
    return 0;
}
