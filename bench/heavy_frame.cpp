// heavy_frame.cpp: the car scene's heaviest picture (heavy_frame.h).
#include "bench/heavy_frame.h"

#include "app/scene.h"

void draw_heaviest_frame(int frame) {
    const int shift = frame % 400;
    int xs[9], ys[9], colors[9];
    for (int i = 0; i < 9; i++) {
        xs[i] = -280 + 60 * i + shift / 10;
        ys[i] = i < 5 ? -58 : 22;
        colors[i] = 2 + i;
    }
    draw_day_sky(-250 + shift, 200);
    draw_sunset_sky(-250 + shift, 200);
    draw_night_sky(-250 + shift, 200);
    draw_landscape();
    draw_button_panel(3);
    draw_cars(xs, ys, colors, 9);
    draw_ferry(70 + shift / 4);
    draw_traffic_light(frame % 5);
}
