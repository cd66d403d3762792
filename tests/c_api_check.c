/* c_api_check.c: the public header compiles as C and its calls link from C. */
#include "vorna.h"

int c_program_draws_through_the_header(void) {
    int ok = VORNA_fill_circle(COLOR_MAGENTA, 0, 0, 4);
    ok &= VORNA_printf_at(COLOR_BLACK, 100, 100, 0, "%s", "") == 0;
    ok &= VORNA_set_animation(ANIM_HALT);
    return ok;
}

/* The full-input interface from C: the event record, its kinds, keys, buttons and modifiers. */
int c_program_reads_full_input(void) {
    VORNA_Event event;
    int x = 0, y = 0;
    VORNA_set_tick_interval(16);
    VORNA_mouse_position(&x, &y);
    if (VORNA_wait(&event) == EVENT_KEY_UP && event.key == VORNA_KEY_F1 + 10) return VORNA_key_down(VORNA_KEY_LAST);
    return event.kind == EVENT_WHEEL && event.button == VORNA_BUTTON_MIDDLE && (event.modifiers & VORNA_MOD_ALT);
}
