/* draw_rectangle.c: a filled rectangle given by any two opposite corners, outlines of width 1
 * and 8, and an 11 x 11 square: both corners are part of the rectangle. */
#include "example.h"
#include "vorna.h"

void draw_example(void) {
    VORNA_draw_rectangle(COLOR_ORANGE, -150, -100, -280, 150, 0); /* corners in any order */
    VORNA_draw_rectangle(COLOR_BLUE, -100, 150, 60, -100, 1);
    VORNA_draw_rectangle(COLOR_MAGENTA, 110, 150, 270, -100, 8);
    VORNA_draw_rectangle(COLOR_BLACK, 0, -140, 10, -150, 0); /* 11 x 11 pixels */
}
