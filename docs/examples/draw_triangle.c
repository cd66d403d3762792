/* draw_triangle.c: a filled triangle (width 0) and outlines of width 1 and 6. */
#include "example.h"
#include "vorna.h"

void draw_example(void) {
    VORNA_draw_triangle(COLOR_FOREST_GREEN, -280, -150, -120, -150, -200, 150, 0);
    VORNA_draw_triangle(COLOR_RED, -80, -150, 80, -150, 0, 150, 1);
    VORNA_draw_triangle(COLOR_PURPLE, 120, -150, 280, -150, 200, 150, 6);
}
