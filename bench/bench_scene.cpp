// bench_scene: time compose_frame for the heaviest frame of the car scene (night on day 6,
// so all three sky layers, five cars and the maximum-cars message) in microseconds per frame,
// with the drawing log off (as the scene normally runs) and on.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/scene.h"
#include "platform/platform.h"
#include "vorna.h"

namespace {

SceneState heaviest_scene() {
    SceneState scene;
    init_scene(&scene);
    scene.day = 6;
    scene.sun_x = -120;
    scene.sun_y = 170;
    scene.car_count = MAX_CARS;
    for (int i = 0; i < MAX_CARS; i++) {
        scene.car_x[i] = -270 + 50 * i;
        scene.car_y[i] = -58;
        scene.car_direction[i] = 1;
        scene.car_speed[i] = 5;
        scene.car_color[i] = (2 + i) % 24;
    }
    scene.boarded = 4;
    scene.cross_moving = 0;
    scene.ferry_x = 250;
    return scene;
}

// Median over several rounds of the mean time per frame in one round.
double microseconds_per_frame(const SceneState &scene, int rounds, int frames_per_round) {
    std::vector<double> results;
    for (int round = 0; round < rounds; round++) {
        auto start = std::chrono::steady_clock::now();
        for (int frame = 0; frame < frames_per_round; frame++) {
            compose_frame(&scene);
        }
        auto stop = std::chrono::steady_clock::now();
        results.push_back(std::chrono::duration<double, std::micro>(stop - start).count() / frames_per_round);
    }
    std::sort(results.begin(), results.end());
    return results[results.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    platform_init(&argc, argv);
    VORNA_startup(nullptr, nullptr, (char *)"", 1);

    SceneState scene = heaviest_scene();

    VORNA_set_logging(0);
    compose_frame(&scene); // warm up fonts and caches
    double quiet = microseconds_per_frame(scene, 9, 200);
    std::printf("compose_frame, heaviest frame (180 primitives), logging off: %.1f us/frame\n", quiet);

    VORNA_set_logging(1);
    double logged = microseconds_per_frame(scene, 5, 50);
    VORNA_set_logging(0);
    std::printf("compose_frame, heaviest frame (180 primitives), logging on:  %.1f us/frame\n", logged);

    VORNA_shutdown();
    return 0;
}
