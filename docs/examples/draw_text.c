/* draw_text.c: text at three sizes and two lines; each red cross marks the anchor point (x, y),
 * the bottom-left corner of the first line. */
#include "example.h"
#include "vorna.h"

static void mark(int x, int y) {
    VORNA_draw_line(COLOR_RED, x - 6, y, x + 7, y, 1);
    VORNA_draw_line(COLOR_RED, x, y - 6, x, y + 7, 1);
}

void draw_example(void) {
    VORNA_draw_text(COLOR_BLACK, -270, 180, 12, "size 12");
    mark(-270, 180);
    VORNA_draw_text(COLOR_NAVY_BLUE, -270, 120, 24, "size 24");
    mark(-270, 120);
    VORNA_draw_text(COLOR_FOREST_GREEN, -270, 30, 48, "size 48");
    mark(-270, 30);
    VORNA_draw_text(COLOR_PURPLE, -270, -100, 24, "first line\nsecond line");
    mark(-270, -100);
}
