// main.cpp: the car scene's entry, its main loop and the frame it repaints after every event.
#include "scene.h"
#include "vorna.h"

void init_scene(SceneState *scene) {
    *scene = SceneState{};

    scene->car_count = 1;
    scene->car_x[0] = 0;
    scene->car_y[0] = LOWER_ROAD_Y;
    scene->car_direction[0] = 1;
    scene->car_speed[0] = 5;
    scene->car_color[0] = COLOR_RED;
    scene->cars_moving = 1;

    for (int i = 0; i < CROSS_CARS; i++) {
        scene->cross_x[i] = -80 * i;
        scene->cross_y[i] = UPPER_ROAD_Y;
        scene->cross_color[i] = (i + 2) % PALETTE_COLORS;
    }
    scene->cross_count = CROSS_CARS;
    scene->cross_moving = 1;

    scene->ferry_x = FERRY_DOCK_X;
    scene->ferry_velocity = 1;
    scene->boarded = 0;
    scene->sun_x = 250;
    scene->sun_y = 215;
    scene->day = 1;
}

int handle_event(SceneState *scene, int kind, int mouse_x, int mouse_y) {
    int done = 0;
    switch (kind) {
    case EVENT_MOUSE:
        if (panel_hit(mouse_x, mouse_y)) {
            press_button(mouse_x, mouse_y, scene);
        }
        advance_crossing(scene);
        break;
    case EVENT_TICK:
        advance_sun(scene);
        if (scene->cars_moving == 1) {
            advance_cars(scene);
        }
        advance_crossing(scene);
        break;
    case EVENT_QUIT:
        done = 1;
        break;
    default: // keys and anything else change nothing
        break;
    }

    // The ferry is full: the cross traffic halts before this event's frame is painted, and
    // from the next crossing step on the ferry moves instead.
    if (scene->boarded == 4) {
        scene->cross_moving = 0;
    }
    return done;
}

void compose_frame(const SceneState *scene) {
    // Each sky covers the whole area, so the day count picks the visible one:
    // day, sunset, night, sunset, day, night, and round again.
    draw_day_sky(scene->sun_x, scene->sun_y);
    if (scene->day % 2 == 0) {
        draw_sunset_sky(scene->sun_x, scene->sun_y);
    }
    if (scene->day % 3 == 0) {
        draw_night_sky(scene->sun_x, scene->sun_y);
    }
    draw_landscape();
    draw_button_panel(scene->day);
    draw_cars(scene->cross_x, scene->cross_y, scene->cross_color, scene->cross_count);
    draw_cars(scene->car_x, scene->car_y, scene->car_color, scene->car_count);
    draw_ferry(scene->ferry_x);
    if (scene->car_count > 4) {
        VORNA_printf_at(COLOR_BLACK, -285, -200, 18, "YOU HAVE REACHED THE MAXIMUM NUMBER OF CARS!!!");
    }
    draw_traffic_light(scene->boarded);
}

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line,
                   int show_mode) {
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    VORNA_clear();

    if (draw_title_screen() != EVENT_QUIT) {
        VORNA_set_animation(ANIM_RUN);

        SceneState scene;
        init_scene(&scene);
        compose_frame(&scene);

        int mouse_x = 0;
        int mouse_y = 0;
        char key = 0;
        int done = 0;
        while (!done) {
            int kind = VORNA_next_event(&mouse_x, &mouse_y, &key);
            done = handle_event(&scene, kind, mouse_x, mouse_y);
            // Every event, the quit event included, is followed by one full repaint.
            compose_frame(&scene);
        }
    }

    VORNA_shutdown();
    return 0;
}
