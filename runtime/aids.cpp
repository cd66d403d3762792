// aids.cpp: teaching aids a learner turns on with function keys while any program runs,
// without changing the program. They show things on the window only: the canvas, pictures,
// logs and scripts never see them. A program that reads full input (VORNA_wait) has the plain
// function keys for itself, so for it the aid keys are Shift+F1..Shift+F11.
#include "runtime_internal.h"

namespace {

enum {
    AID_LIST = 1, // F1: the list of aid keys on the console
    AID_GRID = 3, // F3: axes and a 50-unit grid over the window
};

const char *aid_key_prefix(void) { return runtime_state.uses_full_input ? "Shift+" : ""; }

void print_aid_list(void) {
    const char *shift = aid_key_prefix();
    VORNA_print("Teaching aids (keys):\n");
    VORNA_print("  %sF1  this list\n", shift);
    VORNA_print("  %sF3  axes and a 50-unit grid on the window (%s)\n", shift, runtime_state.aid_grid ? "on" : "off");
}

void show_grid(void) {
    platform_show_grid(runtime_state.graphics_window, runtime_state.aid_grid ? 1 : 0, runtime_state.origin_x,
                       runtime_state.origin_y);
}

} // namespace

int aid_for_key(const PlatformMessage *message) {
    if (message->kind != MSG_KEY_DOWN) return 0;
    if (message->a < VK_CODE_F1 || message->a > VK_CODE_F1 + 10) return 0;
    const int modifiers = message->modifiers & (INPUT_MOD_SHIFT | INPUT_MOD_CTRL | INPUT_MOD_ALT);
    if (modifiers != (runtime_state.uses_full_input ? INPUT_MOD_SHIFT : 0)) return 0;
    const int aid = message->a - VK_CODE_F1 + 1;
    return aid == AID_LIST || aid == AID_GRID ? aid : 0;
}

bool aids_take_key(const PlatformMessage *message) {
    const int aid = aid_for_key(message);
    if (aid == 0) return false;
    if (message->b != 0) return true; // a held key acts once
    switch (aid) {
    case AID_LIST:
        print_aid_list();
        break;
    case AID_GRID:
        runtime_state.aid_grid = !runtime_state.aid_grid;
        show_grid();
        break;
    default:
        break;
    }
    return true;
}
