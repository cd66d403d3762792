/* printf_at.c: text formatted as printf formats it. */
#include "example.h"
#include "vorna.h"

void draw_example(void) {
    int row;
    VORNA_printf_at(COLOR_BLACK, -200, 190, 24, "The %d times table", 7);
    for (row = 1; row <= 8; row++)
        VORNA_printf_at(COLOR_NAVY_BLUE, -200, 160 - 40 * row, 20, "%d x %d = %2d", row, 7, row * 7);
    VORNA_printf_at(COLOR_RED, 40, -200, 20, "%.1f%% done", 87.5);
}
