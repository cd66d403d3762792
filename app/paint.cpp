// paint.cpp: every picture of the car scene, each a fixed run of runtime primitives.
//
// Rows are drawn back to front; later shapes cover earlier ones. Width 0 fills a shape.
#include "scene.h"
#include "vorna.h"

namespace {

// Both the tyre and the hub of one wheel.
void draw_wheel(int x, int y, int tyre_radius, int hub_radius) {
    VORNA_fill_circle(COLOR_BLACK, x, y, tyre_radius);
    VORNA_fill_circle(COLOR_GRAY_50, x, y, hub_radius);
}

// The scene area that every background covers.
void fill_scene_area(int color) {
    VORNA_draw_rectangle(color, -300, -250, 300, 250, 0);
}

} // namespace

int draw_title_screen(void) {
    // Sky and grass.
    VORNA_draw_rectangle(COLOR_NAVY_BLUE, -300, 0, 300, 250, 0);
    VORNA_draw_rectangle(COLOR_GREEN, -300, 112, 300, -250, 0);

    // A large red car facing right.
    VORNA_draw_rectangle(COLOR_RED, -79, 80, 186, 152, 0);
    VORNA_draw_rectangle(COLOR_RED, -53, 40, 93, 200, 0);
    VORNA_draw_rectangle(COLOR_RED, -133, 40, 133, 106, 0);
    VORNA_draw_rectangle(COLOR_RED, -106, 40, 39, 160, 0);
    VORNA_draw_triangle(COLOR_RED, -133, 106, 106, 106, 106, 160, 0);
    VORNA_draw_triangle(COLOR_RED, -106, 160, -53, 160, -53, 200, 0);
    VORNA_draw_triangle(COLOR_ICE_BLUE, 39, 160, 66, 106, 93, 200, 0);
    VORNA_draw_triangle(COLOR_ICE_BLUE, 66, 106, 119, 152, 93, 200, 0);
    VORNA_draw_triangle(COLOR_GRAY_50, 133, 40, 133, 106, 186, 152, 0);
    VORNA_draw_triangle(COLOR_GRAY_50, 133, 40, 186, 80, 186, 152, 0);
    draw_wheel(-66, 40, 40, 26);
    draw_wheel(66, 40, 40, 26);

    VORNA_printf_at(COLOR_BLACK, -90, -175, 15, "Click anywhere on the screen");
    VORNA_printf_at(COLOR_BLACK, -80, -200, 15, "or press any key to begin");
    VORNA_printf_at(COLOR_BLACK, -65, -35, 20, "SIT BACK, RELAX");
    VORNA_printf_at(COLOR_BLACK, -150, -55, 20, "AND ENJOY THE DAY GOES BY");

    // Whatever comes first starts the scene; only its kind matters.
    int x = 0;
    int y = 0;
    char key = 0;
    return VORNA_next_event(&x, &y, &key);
}

void draw_day_sky(int x, int y) {
    fill_scene_area(COLOR_ICE_BLUE);
    VORNA_fill_circle(COLOR_YELLOW, x, y, 20);
}

void draw_sunset_sky(int x, int y) {
    fill_scene_area(COLOR_ORANGE);
    VORNA_fill_circle(COLOR_RED, x, y, 20);
}

void draw_night_sky(int x, int y) {
    fill_scene_area(COLOR_BLACK);
    // A black disc over the upper right of a white one leaves a crescent.
    VORNA_fill_circle(COLOR_WHITE, x, y, 20);
    VORNA_fill_circle(COLOR_BLACK, x + 7, y + 7, 20);
}

void draw_landscape(void) {
    // Ground, lake and roads.
    VORNA_draw_rectangle(COLOR_BROWN, -300, -250, 300, 75, 0);
    VORNA_draw_oval(COLOR_BLUE, 100, -58, 450, 12, 0);
    VORNA_draw_oval(COLOR_BLUE, -50, 2, 360, 92, 0);
    VORNA_draw_rectangle(COLOR_WHITE, -300, 12, 20, 32, 0);
    VORNA_draw_triangle(COLOR_WHITE, 20, 32, 20, 12, 55, 32, 0); // ramp of the ferry landing
    VORNA_draw_rectangle(COLOR_BLACK, -300, 22, 20, 22, 0);
    VORNA_draw_rectangle(COLOR_WHITE, -300, -68, 300, -48, 0);
    VORNA_draw_rectangle(COLOR_BLACK, -300, -58, 300, -58, 0);

    VORNA_printf_at(COLOR_BLACK, -285, -220, 12, "Click a button to control the car.");

    // Mountain and hills on the horizon at y 75.
    VORNA_draw_triangle(COLOR_GRAY_50, -300, 75, 300, 75, 0, 200, 0);
    VORNA_draw_triangle(COLOR_BLACK, -180, 75, 120, 75, 0, 200, 0);
    VORNA_draw_triangle(COLOR_GRAY_20, 120, 75, 300, 75, 0, 200, 0);
    VORNA_draw_triangle(COLOR_OLIVE, -375, 75, 100, 75, -225, 166, 0);
    VORNA_draw_triangle(COLOR_CHALK, -42, 75, 100, 75, -225, 166, 0);
    VORNA_draw_triangle(COLOR_FOREST_GREEN, -100, 75, 300, 75, 300, 166, 0);
}

void draw_button_panel(int day) {
    int ink = (day % 3 == 0) ? COLOR_WHITE : COLOR_BLACK;

    for (int row = 0; row < 7; row++) {
        VORNA_draw_rectangle(ink, -295, 245 - 25 * row, -220, 220 - 25 * row, 1);
    }

    VORNA_printf_at(COLOR_FOREST_GREEN, -285, 227, 12, "Go");
    VORNA_printf_at(COLOR_RED, -285, 202, 12, "Stop");
    VORNA_printf_at(ink, -285, 177, 12, "Faster");
    VORNA_printf_at(ink, -285, 152, 12, "Slower");
    VORNA_printf_at(ink, -285, 127, 12, "Reverse");
    VORNA_printf_at(ink, -285, 102, 12, "New Color");
    VORNA_printf_at(ink, -285, 77, 12, "More Cars");
}

void draw_cars(const int *xs, const int *ys, const int *colors, int count) {
    for (int i = 0; i < count; i++) {
        draw_car(xs[i], ys[i], colors[i]);
    }
}

void draw_car(int x, int y, int color) {
    // Body and roof.
    VORNA_draw_rectangle(color, x - 12, y + 12, x + 28, y + 22, 0);
    VORNA_draw_rectangle(color, x - 8, y + 6, x + 14, y + 30, 0);
    VORNA_draw_rectangle(color, x - 20, y + 6, x + 20, y + 16, 0);
    VORNA_draw_rectangle(color, x - 16, y + 6, x + 6, y + 24, 0);
    VORNA_draw_triangle(color, x - 20, y + 16, x + 16, y + 16, x + 16, y + 24, 0);
    VORNA_draw_triangle(color, x - 16, y + 24, x - 8, y + 24, x - 8, y + 30, 0);

    // Windscreen and front face.
    VORNA_draw_triangle(COLOR_ICE_BLUE, x + 6, y + 24, x + 10, y + 16, x + 14, y + 30, 0);
    VORNA_draw_triangle(COLOR_ICE_BLUE, x + 10, y + 16, x + 18, y + 22, x + 14, y + 30, 0);
    VORNA_draw_triangle(COLOR_GRAY_50, x + 20, y + 6, x + 20, y + 16, x + 28, y + 22, 0);
    VORNA_draw_triangle(COLOR_GRAY_50, x + 20, y + 6, x + 28, y + 12, x + 28, y + 22, 0);

    draw_wheel(x - 10, y + 6, 6, 4);
    draw_wheel(x + 10, y + 6, 6, 4);
}

void draw_ferry(int x) {
    VORNA_draw_triangle(COLOR_GRAY_50, x + 85, 70, x + 85, 32, x + 135, 70, 0);
    VORNA_draw_triangle(COLOR_GRAY_50, x + 85, 32, x + 50, 12, x, 12, 0);
    VORNA_draw_rectangle(COLOR_GRAY_50, x + 85, 32, x, 47, 0);
    VORNA_draw_triangle(COLOR_GRAY_20, x - 50, 50, x - 15, 70, x - 15, 50, 0);
    VORNA_draw_triangle(COLOR_GRAY_20, x - 15, 80, x + 15, 80, x + 20, 100, 0);
    VORNA_draw_triangle(COLOR_GRAY_20, x + 15, 80, x + 50, 100, x + 20, 100, 0);
    VORNA_draw_triangle(COLOR_WHITE, x + 15, 50, x + 50, 70, x + 50, 100, 0);
    VORNA_draw_triangle(COLOR_WHITE, x + 15, 80, x + 50, 100, x + 15, 50, 0);
    VORNA_draw_triangle(COLOR_GRAY_20, x + 15, 50, x + 135, 70, x + 100, 50, 0);
    VORNA_draw_triangle(COLOR_GRAY_20, x + 50, 70, x + 135, 70, x + 15, 50, 0);
    VORNA_draw_rectangle(COLOR_GRAY_50, x - 50, 12, x + 50, 50, 0);
    VORNA_draw_rectangle(COLOR_GRAY_50, x - 15, 50, x + 15, 80, 0);
    VORNA_draw_triangle(COLOR_GRAY_50, x + 50, 12, x + 100, 50, x + 50, 50, 0);
}

void draw_traffic_light(int state) {
    VORNA_draw_rectangle(COLOR_BLACK, 290, -160, 130, -100, 0);
    VORNA_fill_circle(state == 0 || state == 1 ? COLOR_GREEN : COLOR_GRAY_20, 260, -130, 20);
    VORNA_fill_circle(state == 2 || state == 3 ? COLOR_YELLOW : COLOR_GRAY_20, 210, -130, 20);
    VORNA_fill_circle(state == 4 ? COLOR_RED : COLOR_GRAY_20, 160, -130, 20);
}
