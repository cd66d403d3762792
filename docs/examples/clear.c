/* clear.c: VORNA_clear paints the whole canvas white over what was drawn; the canvas's outermost
 * rows and columns come out black. */
#include "example.h"
#include "vorna.h"

void draw_example(void) {
    VORNA_draw_rectangle(COLOR_ORANGE, -400, 400, 400, -400, 0); /* everything orange */
    VORNA_clear();
    VORNA_draw_text(COLOR_BLACK, -120, 0, 20, "after VORNA_clear()");
}
