// bench_frame: the heaviest car-scene frame (three skies, landscape, panel, five cars, the
// message, the traffic light) composed through the public primitives, against the same shapes
// drawn straight with the toolkit's painter; and the same frame with the drawing log on.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "frame_floor.h"
#include "tests/harness.h"

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
    for (int frame = 0; frame < frames; ++frame) compose_frame(&scene);
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
    std::printf("ratio: %.2f (target <= 1.50)\n", runtime_us / floor_us);

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
