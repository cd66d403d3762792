/* nina_folder: the model split in two files; this one draws the house. */
#include "vorna.h"

void draw_house(void) {
    VORNA_clear();
    VORNA_draw_rectangle(COLOR_ICE_BLUE, -300, 260, 300, 0, 0);
    VORNA_draw_rectangle(COLOR_FOREST_GREEN, -300, 0, 300, -260, 0);
    VORNA_fill_circle(COLOR_YELLOW, 200, 180, 30);
    VORNA_draw_rectangle(COLOR_BROWN, -150, 0, 0, 120, 0);
    VORNA_draw_triangle(COLOR_RED, -170, 120, 20, 120, -75, 200, 0);
    VORNA_draw_line(COLOR_BLACK, -300, 0, 300, 0, 2);
    VORNA_draw_text(COLOR_NAVY_BLUE, -280, -200, 18, "My house");
}

