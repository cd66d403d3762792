/* c_api_check.c: the public header compiles as C and its calls link from C. */
#include "vorna.h"

int c_program_draws_through_the_header(void) {
    int ok = VORNA_fill_circle(COLOR_MAGENTA, 0, 0, 4);
    ok &= VORNA_printf_at(COLOR_BLACK, 100, 100, 0, "%s", "") == 0;
    ok &= VORNA_set_animation(ANIM_HALT);
    return ok;
}
