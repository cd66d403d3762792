/* palette.c: the 24 colours, each with its index and the name the drawing log prints. */
#include "example.h"
#include "vorna.h"

static const char *const NAMES[24] = {
    "black",  "white",     "red",        "green",        "blue",      "yellow", "magenta",  "cyan",
    "purple", "navy blue", "dusty plum", "ice blue",     "turquoise", "orange", "brown",    "pink",
    "chalk",  "gold",      "peach",      "forest green", "sea green", "olive",  "50% gray", "20% gray",
};

void draw_example(void) {
    int color;
    for (color = 0; color < 24; color++) {
        int x = -285 + (color % 4) * 145; /* four columns */
        int y = 240 - (color / 4) * 80;   /* six rows */
        VORNA_draw_rectangle(color, x, y, x + 44, y - 60, 0);
        VORNA_draw_rectangle(COLOR_BLACK, x, y, x + 44, y - 60, 1);
        VORNA_printf_at(COLOR_BLACK, x + 52, y - 24, 14, "%d", color);
        VORNA_printf_at(COLOR_BLACK, x + 52, y - 44, 14, "%s", NAMES[color]);
    }
}
