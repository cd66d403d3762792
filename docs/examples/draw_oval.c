/* draw_oval.c: ovals inscribed in their boxes: filled, outlined with width 3, and a circle. */
#include "example.h"
#include "vorna.h"

void draw_example(void) {
    VORNA_draw_rectangle(COLOR_GRAY_20, -280, 120, -40, -20, 1); /* the box, for comparison */
    VORNA_draw_oval(COLOR_TURQUOISE, -280, 120, -40, -20, 0);
    VORNA_draw_oval(COLOR_NAVY_BLUE, 20, 200, 120, -200, 3);
    VORNA_draw_oval(COLOR_PEACH, 160, 50, 260, -50, 0); /* a square box: a circle */
}
