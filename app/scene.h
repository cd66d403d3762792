// scene.h: the car scene's world state and the operations that paint and change it.
//
// main.cpp owns the one SceneState for the whole run; rules.cpp changes it and paint.cpp
// draws from it. Nothing in the application is global: every operation gets the state,
// or the fields it needs, as arguments.
#pragma once

#include "vorna.h"

enum { MAX_CARS = 5, CROSS_CARS = 4 };

// ---------------------------------------------------------------------------------------------
// Layout: the places that the painting and the rules both rely on
// ---------------------------------------------------------------------------------------------

// The area every background covers; the sun counts a day when it reaches the left edge.
constexpr int SCENE_LEFT = -300;
constexpr int SCENE_RIGHT = 300;
constexpr int SCENE_BOTTOM = -250;
constexpr int SCENE_TOP = 250;

// The button panel: one column of seven rows, row 0 at the top. paint.cpp outlines and labels
// these rows and rules.cpp answers clicks in them, so the two cannot disagree.
enum PanelButton {
    BUTTON_GO = 0,
    BUTTON_STOP,
    BUTTON_FASTER,
    BUTTON_SLOWER,
    BUTTON_REVERSE,
    BUTTON_NEW_COLOR,
    BUTTON_MORE_CARS,
    PANEL_ROWS
};
constexpr int PANEL_LEFT = -295;
constexpr int PANEL_RIGHT = -220;
constexpr int PANEL_TOP = 245;
constexpr int PANEL_ROW_HEIGHT = 25;
constexpr int PANEL_BOTTOM = PANEL_TOP - PANEL_ROWS * PANEL_ROW_HEIGHT; // 70
constexpr int PANEL_LABEL_X = PANEL_LEFT + 10;
constexpr int PANEL_LABEL_RAISE = 7; // a label's lower-left corner above its row's lower edge

// Both roads are 20 high around their centre lines, on which the cars drive. The column drives
// on the lower road, across the whole width; the cross traffic on the upper road, which ends
// at the ferry landing.
constexpr int ROAD_HALF_HEIGHT = 10;
constexpr int LOWER_ROAD_Y = -58;
constexpr int UPPER_ROAD_Y = 22;
constexpr int LANDING_X = 20;

// The ferry's reference point when docked (its stern then meets the landing) and where it
// turns back, out of sight.
constexpr int FERRY_DOCK_X = 70;
constexpr int FERRY_TURN_X = 400;

// Colours the cars cycle through: the whole palette.
constexpr int PALETTE_COLORS = COLOR_GRAY_20 + 1;

// Every position is in logical coordinates (origin at the window centre, x right, y up);
// colours are palette indexes.
struct SceneState {
    // The column of cars the button panel steers; slots at or beyond car_count are unused.
    int car_count;
    int car_x[MAX_CARS];
    int car_y[MAX_CARS];
    int car_direction[MAX_CARS]; // +1 to the right, -1 to the left
    int car_speed[MAX_CARS];     // pixels per tick, never below 0
    int car_color[MAX_CARS];
    int cars_moving; // 1: the column advances on ticks ("Go"); 0: halted ("Stop")

    // The cross traffic on the upper road, driving onto the ferry landing.
    int cross_x[CROSS_CARS];
    int cross_y[CROSS_CARS];
    int cross_color[CROSS_CARS];
    int cross_count;
    int cross_moving; // 1 while the traffic runs; 0 while the ferry is away

    // Ferry, traffic light, sun and day.
    int ferry_x;        // docked at FERRY_DOCK_X
    int ferry_velocity; // +1 outward, -1 returning; 2 pixels per step
    int boarded;        // cars that reached the landing since the ferry docked, 0..4
    int sun_x;
    int sun_y;
    int day;
};

// ---------------------------------------------------------------------------------------------
// main.cpp: start-up, the main loop and the frame
// ---------------------------------------------------------------------------------------------

// Sets every field to its value at the start of the scene.
void init_scene(SceneState *scene);

// Applies one event to the state: the panel and the crossing on a click, sun, cars and
// crossing on a tick, then the ferry-full check. Returns 1 when the event ends the loop.
int handle_event(SceneState *scene, int kind, int mouse_x, int mouse_y);

// Repaints the whole scene into the canvas, back to front.
void compose_frame(const SceneState *scene);

// ---------------------------------------------------------------------------------------------
// paint.cpp: the pictures
// ---------------------------------------------------------------------------------------------

// Paints the title picture, waits for one event and returns its kind.
int draw_title_screen(void);

// Each sky fills the scene area and draws its sun or moon centred at (x, y).
void draw_day_sky(int x, int y);
void draw_sunset_sky(int x, int y);
void draw_night_sky(int x, int y);

// Ground, lake, roads, instruction line, mountain and hills.
void draw_landscape(void);

// The seven-button column; its ink is white on night days (day a multiple of 3), else black.
void draw_button_panel(int day);

// One car per index below count, in index order.
void draw_cars(const int *xs, const int *ys, const int *colors, int count);

// One car with its reference point (x, y) on the road's centre line, always facing right.
void draw_car(int x, int y, int color);

// The ferry with its reference point at x (docked at FERRY_DOCK_X).
void draw_ferry(int x);

// Housing and three lamps: green for state 0 and 1, yellow for 2 and 3, red for 4.
void draw_traffic_light(int state);

// ---------------------------------------------------------------------------------------------
// rules.cpp: the panel and the traffic rules
// ---------------------------------------------------------------------------------------------

// 1 when (x, y) lies strictly inside the button panel, else 0.
int panel_hit(int x, int y);

// Carries out the command of the panel row under (x, y) on every controlled car.
void press_button(int x, int y, SceneState *scene);

// Tells the user a point outside the panel's rows reached press_button.
void report_bad_button(void);

// Fills slot n (1..MAX_CARS-1) with a new red car behind the column; car_count is unchanged.
void add_car(SceneState *scene, int n);

// One step of the sun; counts a day each time it passes the left edge.
void advance_sun(SceneState *scene);

// One step of every controlled car, wrapping at x +-320.
void advance_cars(SceneState *scene);

// One step of the cross traffic while it runs, else one step of the ferry.
void advance_crossing(SceneState *scene);
void advance_cross_traffic(SceneState *scene);
void advance_ferry(SceneState *scene);
