/* coordinates.c: logical coordinates: (0,0) in the middle, x to the right, y upward. */
#include "example.h"
#include "vorna.h"

void draw_example(void) {
    int v;
    VORNA_draw_rectangle(COLOR_ICE_BLUE, -300, 250, 300, -250, 0); /* where programs draw */
    VORNA_draw_line(COLOR_GRAY_50, -300, 0, 301, 0, 1);            /* the x axis */
    VORNA_draw_line(COLOR_GRAY_50, 0, -250, 0, 251, 1);            /* the y axis */
    for (v = -300; v <= 300; v += 50)
        VORNA_draw_line(COLOR_GRAY_50, v, -4, v, 5, 1);
    for (v = -250; v <= 250; v += 50)
        VORNA_draw_line(COLOR_GRAY_50, -4, v, 5, v, 1);

    VORNA_fill_circle(COLOR_RED, 0, 0, 3);
    VORNA_draw_text(COLOR_BLACK, 8, 8, 14, "(0,0)");
    VORNA_fill_circle(COLOR_RED, 200, 100, 3);
    VORNA_draw_text(COLOR_BLACK, 208, 108, 14, "(200,100)");
    VORNA_fill_circle(COLOR_RED, -150, -50, 3);
    VORNA_draw_text(COLOR_BLACK, -142, -42, 14, "(-150,-50)");
    VORNA_draw_text(COLOR_NAVY_BLUE, -294, 232, 14, "(-300,250)");
    VORNA_draw_text(COLOR_NAVY_BLUE, 222, -244, 14, "(300,-250)");
    VORNA_draw_text(COLOR_GRAY_50, 284, 8, 16, "x");
    VORNA_draw_text(COLOR_GRAY_50, 8, 234, 16, "y");
}
