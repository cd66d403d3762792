// paint.cpp: every picture of the car scene, each a fixed run of runtime primitives.
//
// Rows are drawn back to front; later shapes cover earlier ones. Width 0 fills a shape.
#include "scene.h"
#include "vorna.h"

namespace {

// The mountain and the hills stand on the horizon, where the ground ends.
constexpr int HORIZON_Y = 75;

// The panel's labels from the top row down, in the order of the PanelButton rows.
const char *const PANEL_LABELS[PANEL_ROWS] = {"Go", "Stop", "Faster", "Slower", "Reverse", "New Color", "More Cars"};
constexpr int PANEL_TEXT_SIZE = 12;

// Both the tyre and the hub of one wheel.
void draw_wheel(int x, int y, int tyre_radius, int hub_radius) {
    VORNA_fill_circle(COLOR_BLACK, x, y, tyre_radius);
    VORNA_fill_circle(COLOR_GRAY_50, x, y, hub_radius);
}

// The scene area that every background covers.
void fill_scene_area(int color) {
    VORNA_draw_rectangle(color, SCENE_LEFT, SCENE_BOTTOM, SCENE_RIGHT, SCENE_TOP, 0);
}

} // namespace

int draw_title_screen(void) {
    // Sky and grass.
    VORNA_draw_rectangle(COLOR_NAVY_BLUE, SCENE_LEFT, 0, SCENE_RIGHT, SCENE_TOP, 0);
    VORNA_draw_rectangle(COLOR_GREEN, SCENE_LEFT, 112, SCENE_RIGHT, SCENE_BOTTOM, 0);

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
    const int upper_low = UPPER_ROAD_Y - ROAD_HALF_HEIGHT;
    const int upper_high = UPPER_ROAD_Y + ROAD_HALF_HEIGHT;
    VORNA_draw_rectangle(COLOR_BROWN, SCENE_LEFT, SCENE_BOTTOM, SCENE_RIGHT, HORIZON_Y, 0);
    VORNA_draw_oval(COLOR_BLUE, 100, -58, 450, 12, 0);
    VORNA_draw_oval(COLOR_BLUE, -50, 2, 360, 92, 0);
    VORNA_draw_rectangle(COLOR_WHITE, SCENE_LEFT, upper_low, LANDING_X, upper_high, 0);
    // The ramp of the ferry landing, at the end of the upper road.
    VORNA_draw_triangle(COLOR_WHITE, LANDING_X, upper_high, LANDING_X, upper_low, LANDING_X + 35, upper_high, 0);
    VORNA_draw_rectangle(COLOR_BLACK, SCENE_LEFT, UPPER_ROAD_Y, LANDING_X, UPPER_ROAD_Y, 0);
    VORNA_draw_rectangle(COLOR_WHITE, SCENE_LEFT, LOWER_ROAD_Y - ROAD_HALF_HEIGHT, SCENE_RIGHT,
                         LOWER_ROAD_Y + ROAD_HALF_HEIGHT, 0);
    VORNA_draw_rectangle(COLOR_BLACK, SCENE_LEFT, LOWER_ROAD_Y, SCENE_RIGHT, LOWER_ROAD_Y, 0);

    VORNA_printf_at(COLOR_BLACK, -285, -220, 12, "Click a button to control the car.");

    // Mountain and hills on the horizon.
    VORNA_draw_triangle(COLOR_GRAY_50, -300, HORIZON_Y, 300, HORIZON_Y, 0, 200, 0);
    VORNA_draw_triangle(COLOR_BLACK, -180, HORIZON_Y, 120, HORIZON_Y, 0, 200, 0);
    VORNA_draw_triangle(COLOR_GRAY_20, 120, HORIZON_Y, 300, HORIZON_Y, 0, 200, 0);
    VORNA_draw_triangle(COLOR_OLIVE, -375, HORIZON_Y, 100, HORIZON_Y, -225, 166, 0);
    VORNA_draw_triangle(COLOR_CHALK, -42, HORIZON_Y, 100, HORIZON_Y, -225, 166, 0);
    VORNA_draw_triangle(COLOR_FOREST_GREEN, -100, HORIZON_Y, 300, HORIZON_Y, 300, 166, 0);
}

void draw_button_panel(int day) {
    int ink = (day % 3 == 0) ? COLOR_WHITE : COLOR_BLACK;

    for (int row = 0; row < PANEL_ROWS; row++) {
        const int top = PANEL_TOP - PANEL_ROW_HEIGHT * row;
        VORNA_draw_rectangle(ink, PANEL_LEFT, top, PANEL_RIGHT, top - PANEL_ROW_HEIGHT, 1);
    }

    // "Go" and "Stop" keep their own colours by day and by night.
    for (int row = 0; row < PANEL_ROWS; row++) {
        const int color = row == BUTTON_GO ? COLOR_FOREST_GREEN : row == BUTTON_STOP ? COLOR_RED : ink;
        const int bottom = PANEL_TOP - PANEL_ROW_HEIGHT * (row + 1);
        VORNA_printf_at(color, PANEL_LABEL_X, bottom + PANEL_LABEL_RAISE, PANEL_TEXT_SIZE, "%s", PANEL_LABELS[row]);
    }
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
