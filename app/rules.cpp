// rules.cpp: the button panel and the rules that move the sun, the cars and the ferry.
#include <climits>

#include "scene.h"
#include "vorna.h"

namespace {

// Cars leave at one edge and come back at the other.
constexpr int ROAD_WRAP = 320;

constexpr int NEW_CAR_X = -270;
constexpr int NEW_CAR_LIMIT = 280; // a new car pushed past here stays where it is

} // namespace

int panel_hit(int x, int y) {
    return (x > PANEL_LEFT && x < PANEL_RIGHT && y > PANEL_BOTTOM && y < PANEL_TOP) ? 1 : 0;
}

void report_bad_button(void) {
    VORNA_printf_at(COLOR_RED, 0, 0, 16, "BAAAADDD NEWS!");
}

void press_button(int x, int y, SceneState *scene) {
    // Unlike panel_hit, the column test takes in both edges.
    if (x < PANEL_LEFT || x > PANEL_RIGHT) {
        report_bad_button();
        return;
    }
    // Division truncates towards zero, so y 245..269 still gives row 0. Wide arithmetic keeps
    // any y from overflowing.
    long long row = (PANEL_TOP - (long long)y) / PANEL_ROW_HEIGHT;

    switch (row) {
    case BUTTON_GO:
        scene->cars_moving = 1;
        break;
    case BUTTON_STOP:
        scene->cars_moving = 0;
        break;
    case BUTTON_FASTER:
        // No upper limit in practice; the cap only keeps the int from overflowing.
        for (int i = 0; i < scene->car_count; i++) {
            if (scene->car_speed[i] < INT_MAX) {
                scene->car_speed[i]++;
            }
        }
        break;
    case BUTTON_SLOWER:
        for (int i = 0; i < scene->car_count; i++) {
            scene->car_speed[i]--;
            if (scene->car_speed[i] < 0) {
                scene->car_speed[i] = 0;
            }
        }
        break;
    case BUTTON_REVERSE:
        for (int i = 0; i < scene->car_count; i++) {
            scene->car_direction[i] = -scene->car_direction[i];
        }
        break;
    case BUTTON_NEW_COLOR:
        for (int i = 0; i < scene->car_count; i++) {
            scene->car_color[i] = (scene->car_color[i] + 1) % PALETTE_COLORS;
        }
        break;
    case BUTTON_MORE_CARS:
        if (scene->car_count < MAX_CARS) {
            add_car(scene, scene->car_count);
            scene->car_count++;
        }
        break;
    default:
        report_bad_button();
        break;
    }
}

void add_car(SceneState *scene, int n) {
    scene->car_x[n] = NEW_CAR_X;
    scene->car_y[n] = LOWER_ROAD_Y;
    scene->car_color[n] = COLOR_RED;
    scene->car_direction[n] = scene->car_direction[n - 1];
    scene->car_speed[n] = scene->car_speed[n - 1];

    // Push the new car right, 50 at a time past a car it meets, until it keeps clear of the
    // cars it is compared with or lies beyond the limit. After a push the scan starts over,
    // and the remaining tests of the same pass already compare with car 0.
    int x = scene->car_x[n];
    int b = 0;
    while (b < n) {
        if (x < scene->car_x[b] && x + 20 > scene->car_x[b] - 20) {
            x = scene->car_x[b] + 50;
            b = 0;
        }
        if (x > scene->car_x[b] && x - 20 < scene->car_x[b] + 20) {
            x = x + 50;
            b = 0;
        }
        if (x == scene->car_x[b]) {
            x = scene->car_x[b] + 50;
            b = 0;
        }
        if (x > NEW_CAR_LIMIT) {
            b = n;
        }
        b++;
    }
    scene->car_x[n] = x;
}

void advance_sun(SceneState *scene) {
    scene->sun_x -= 2;
    if (scene->sun_x == SCENE_LEFT) {
        scene->day++;
    }
    if (scene->sun_x < -330) {
        // Back in at the right edge, a little lower each time.
        scene->sun_x = -scene->sun_x;
        scene->sun_y -= 15;
    }
}

void advance_cars(SceneState *scene) {
    for (int i = 0; i < scene->car_count; i++) {
        // Wide arithmetic: the speed has no upper limit.
        long long next = (long long)scene->car_x[i] + (long long)scene->car_direction[i] * scene->car_speed[i];
        if (next > ROAD_WRAP) {
            scene->car_x[i] = -ROAD_WRAP;
        } else if (next < -ROAD_WRAP) {
            scene->car_x[i] = ROAD_WRAP;
        } else {
            scene->car_x[i] = (int)next;
        }
    }
}

void advance_cross_traffic(SceneState *scene) {
    for (int i = 0; i < CROSS_CARS; i++) {
        int next = scene->cross_x[i] + 4;
        if (next > LANDING_X) {
            // Reached the landing: the car boards and a new one starts at the left edge.
            scene->cross_x[i] = -ROAD_WRAP;
            scene->boarded++;
        } else {
            scene->cross_x[i] = next;
        }
    }
}

void advance_ferry(SceneState *scene) {
    int next = scene->ferry_x + 2 * scene->ferry_velocity;
    if (next > FERRY_TURN_X) {
        scene->ferry_velocity = -scene->ferry_velocity;
    } else if (next < FERRY_DOCK_X) {
        // Docked: the landing opens again.
        scene->boarded = 0;
        scene->cross_moving = 1;
        scene->ferry_x = FERRY_DOCK_X;
        scene->ferry_velocity = -scene->ferry_velocity;
    } else {
        scene->ferry_x = next;
    }
}

void advance_crossing(SceneState *scene) {
    if (scene->cross_moving == 1) {
        advance_cross_traffic(scene);
    } else {
        advance_ferry(scene);
    }
}
