// aids.cpp: teaching aids a learner turns on with function keys while any program runs,
// without changing the program. They show things on the window only: the canvas, pictures,
// logs and scripts never see them. A program that reads full input (VORNA_wait) has the plain
// function keys for itself, so for it the aid keys are Shift+F1..Shift+F11.
#include <cstring>

#include "runtime_internal.h"

namespace {

enum {
    AID_LIST = 1, // F1: the list of aid keys on the console
    AID_COORDINATES = 2, // F2: the pointer's coordinates and colour beside it
    AID_GRID = 3, // F3: axes and a 50-unit grid over the window
    AID_INSPECTOR = 4, // F4: a click tells which drawing call painted the pixel
    AID_SPEED = 5, // F5: the next tick speed factor
    AID_CAPTURE = 6, // F6: starts or stops recording the window as an animated GIF
};

// The speed factors in quarters, in the order F5 steps through them: x1, x2, x4, x0.25, x0.5.
constexpr int SPEED_QUARTERS[] = {4, 8, 16, 1, 2};
constexpr int SPEED_COUNT = int(sizeof SPEED_QUARTERS / sizeof SPEED_QUARTERS[0]);
const char *const SPEED_NAMES[] = {"x1", "x2", "x4", "x0.25", "x0.5"};

// The badge: the speed factor when it is not x1, and "REC" while the capture key records.
void show_badge(void) {
    char text[32] = "";
    if (runtime_state.aid_speed != 0) std::snprintf(text, sizeof text, "speed %s", SPEED_NAMES[runtime_state.aid_speed]);
    if (capture_recording_by_key()) std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text), "%sREC",
                                                  text[0] ? "  " : "");
    platform_show_badge(runtime_state.graphics_window, text);
}

void show_speed(void) {
    show_badge();
    platform_set_timer_period(runtime_state.graphics_window, TIMER_ANIMATION_ID,
                              delivered_tick_period(runtime_state.tick_interval_ms));
}

const char *aid_key_prefix(void) { return runtime_state.uses_full_input ? "Shift+" : ""; }

void print_aid_list(void) {
    const char *shift = aid_key_prefix();
    VORNA_print("Teaching aids (keys):\n");
    VORNA_print("  %sF1  this list\n", shift);
    VORNA_print("  %sF2  coordinates and colour under the pointer (%s)\n", shift,
                runtime_state.aid_coordinates ? "on" : "off");
    VORNA_print("  %sF3  axes and a 50-unit grid on the window (%s)\n", shift, runtime_state.aid_grid ? "on" : "off");
    VORNA_print("  %sF4  inspector: click a pixel to see the call that painted it (%s)\n", shift,
                runtime_state.aid_inspector ? "on" : "off");
    VORNA_print("  %sF5  tick speed x1, x2, x4, x0.25, x0.5 (now %s)\n", shift, SPEED_NAMES[runtime_state.aid_speed]);
    VORNA_print("  %sF6  record the window as VORNA-0001.gif, ... (%s)\n", shift,
                capture_recording_by_key() ? "recording" : "off");
}

void show_grid(void) {
    platform_show_grid(runtime_state.graphics_window, runtime_state.aid_grid ? 1 : 0, runtime_state.origin_x,
                       runtime_state.origin_y);
}

} // namespace

int delivered_tick_period(int interval_ms) {
    const int period = int((long long)interval_ms * 4 / SPEED_QUARTERS[runtime_state.aid_speed]);
    return period < 1 ? 1 : period;
}

void aids_describe_pixel(int pixel_x, int pixel_y, char *text, std::size_t size) {
    const char *name = "outside the canvas";
    char unnamed[32];
    std::ptrdiff_t stride = 0;
    settle_canvas();
    const std::uint32_t *pixels =
        runtime_state.canvas ? platform_surface_pixels(runtime_state.canvas, &stride) : nullptr;
    if (pixels && pixel_x >= 0 && pixel_y >= 0 && pixel_x < platform_surface_width(runtime_state.canvas) &&
        pixel_y < platform_surface_height(runtime_state.canvas)) {
        const std::uint32_t rgb = pixels[std::ptrdiff_t(pixel_y) * stride + pixel_x] & 0xFFFFFFu;
        // The palette packs 0x00BBGGRR; the canvas holds 0xFFRRGGBB.
        const PlatformColor packed = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
        std::snprintf(unnamed, sizeof unnamed, "#%06X", unsigned(rgb)); // a smoothed text edge
        name = unnamed;
        for (ColorIndex index = 0; index < COLOR_COUNT; index++)
            if (palette_color(index) == packed) name = palette_name(index);
    }
    std::snprintf(text, size, "(%d, %d) %s", pixel_x - runtime_state.origin_x, runtime_state.origin_y - pixel_y,
                  name);
}

void aids_note_pointer(const PlatformMessage *message) {
    if (!runtime_state.aid_coordinates || message->kind != MSG_MOUSE_MOVE) return;
    char text[96];
    aids_describe_pixel(message->a, message->b, text, sizeof text);
    platform_show_label(runtime_state.graphics_window, 1, message->a, message->b, text);
}

int aid_for_key(const PlatformMessage *message) {
    if (message->kind != MSG_KEY_DOWN) return 0;
    if (message->a < VK_CODE_F1 || message->a > VK_CODE_F1 + 10) return 0;
    const int modifiers = message->modifiers & (INPUT_MOD_SHIFT | INPUT_MOD_CTRL | INPUT_MOD_ALT);
    if (modifiers != (runtime_state.uses_full_input ? INPUT_MOD_SHIFT : 0)) return 0;
    const int aid = message->a - VK_CODE_F1 + 1;
    return aid == AID_LIST || aid == AID_COORDINATES || aid == AID_GRID || aid == AID_SPEED || aid == AID_CAPTURE ||
                   aid == AID_INSPECTOR
               ? aid
               : 0;
}

bool aids_take_key(const PlatformMessage *message) {
    const int aid = aid_for_key(message);
    if (aid == 0) return false;
    if (message->b != 0) return true; // a held key acts once
    switch (aid) {
    case AID_LIST:
        print_aid_list();
        break;
    case AID_COORDINATES:
        runtime_state.aid_coordinates = !runtime_state.aid_coordinates;
        if (!runtime_state.aid_coordinates) platform_show_label(runtime_state.graphics_window, 0, 0, 0, "");
        break;
    case AID_SPEED:
        runtime_state.aid_speed = (runtime_state.aid_speed + 1) % SPEED_COUNT;
        show_speed();
        break;
    case AID_GRID:
        runtime_state.aid_grid = !runtime_state.aid_grid;
        show_grid();
        break;
    case AID_INSPECTOR:
        inspector_toggle();
        break;
    case AID_CAPTURE:
        // While the badge shows, every picture reaches the window through the runtime's own
        // copy, where the recording takes it (none goes by the presenter thread).
        capture_toggle_key_recording();
        show_badge();
        break;
    default:
        break;
    }
    return true;
}
