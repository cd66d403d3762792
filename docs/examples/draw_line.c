/* draw_line.c: lines of width 0, 1, 3 and 8, and a fan of lines from one point. */
#include "example.h"
#include "vorna.h"

void draw_example(void) {
    int i;
    VORNA_draw_line(COLOR_BLACK, -280, 200, 280, 200, 0); /* width 0 draws one pixel wide */
    VORNA_draw_line(COLOR_BLACK, -280, 170, 280, 170, 1);
    VORNA_draw_line(COLOR_BLACK, -280, 140, 280, 140, 3);
    VORNA_draw_line(COLOR_BLACK, -280, 100, 280, 100, 8);
    for (i = 0; i <= 12; i++)
        VORNA_draw_line(2 + i % 12, 0, -230, -240 + 40 * i, 40, 2);
}
