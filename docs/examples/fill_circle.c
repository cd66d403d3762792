/* fill_circle.c: filled circles of radius 0, 5, 20, 50 and 90 (2 r + 1 pixels across). */
#include "example.h"
#include "vorna.h"

void draw_example(void) {
    VORNA_fill_circle(COLOR_BLACK, -250, 0, 0); /* radius 0: one pixel */
    VORNA_fill_circle(COLOR_RED, -210, 0, 5);
    VORNA_fill_circle(COLOR_ORANGE, -150, 0, 20);
    VORNA_fill_circle(COLOR_GOLD, -50, 0, 50);
    VORNA_fill_circle(COLOR_SEA_GREEN, 150, 0, 90);
    VORNA_fill_circle(COLOR_NAVY_BLUE, 150, 0, 20); /* drawn later, so on top */
}
