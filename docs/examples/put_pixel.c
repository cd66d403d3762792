/* put_pixel.c: single pixels: a grid of grey dots and a parabola of blue ones. */
#include "example.h"
#include "vorna.h"

void draw_example(void) {
    int x, y;
    for (x = -250; x <= 250; x += 25)
        for (y = -200; y <= 200; y += 25)
            VORNA_put_pixel(COLOR_GRAY_50, x, y);
    for (x = -250; x <= 250; x += 2)
        VORNA_put_pixel(COLOR_BLUE, x, x * x / 300 - 180);
    VORNA_put_pixel(COLOR_RED, 0, 0);
    VORNA_put_pixel(COLOR_RED, 1, 0);
    VORNA_put_pixel(COLOR_RED, 0, 1);
}
