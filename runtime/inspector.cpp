// inspector.cpp: the inspector aid. While it is on, a click on the window tells which drawing
// call last painted that pixel: its drawing-log line and its number among the calls since the
// last clear, on the console and in a label beside the pointer, and the shape's outline over
// the window. The click is the inspector's, not the program's.
//
// What painted a pixel is kept per canvas pixel (an int32 each, made when the inspector is first
// turned on): the rasterizer writes a call's serial number for every pixel it writes, and a text
// call takes its text's box. Only calls drawn while the inspector is on are known; a picture
// drawn before becomes known as the program draws it again, at its next frame. The calls'
// lines are kept for the last INSPECTOR_CALLS_KEPT calls.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "raster/raster.h"
#include "runtime_internal.h"

namespace {

enum {
    OWNER_UNKNOWN = 0,  // painted before the inspector was on
    OWNER_CLEARED = -1, // the last clear's white
};

} // namespace

struct InspectorCall {
    std::int32_t serial = 0; // which call this slot holds now (0: none yet)
    int number = 0;          // its number among the calls since the last clear
    int outline_shape = OUTLINE_NONE;
    int xs[OUTLINE_POINTS_MAX] = {}, ys[OUTLINE_POINTS_MAX] = {};
    int points = 0;
    char line[INSPECTOR_LINE_MAX + 1] = "";
};

namespace {

std::int32_t *owner_at(int x, int y) {
    return runtime_state.owner_record + std::ptrdiff_t(y) * CANVAS_WIDTH + x;
}

void fill_owner(std::int32_t value) {
    for (std::ptrdiff_t i = 0; i < std::ptrdiff_t(CANVAS_WIDTH) * CANVAS_HEIGHT; i++)
        runtime_state.owner_record[i] = value;
}

void set_box(InspectorCall &call, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
    call.outline_shape = OUTLINE_POLYGON;
    const std::int64_t xs[4] = {left, right, right, left}, ys[4] = {top, top, bottom, bottom};
    for (int i = 0; i < 4; i++) {
        // The overlay needs no more than the window and a little around it.
        call.xs[i] = int(std::clamp<std::int64_t>(xs[i], -CANVAS_WIDTH, 2 * CANVAS_WIDTH));
        call.ys[i] = int(std::clamp<std::int64_t>(ys[i], -CANVAS_HEIGHT, 2 * CANVAS_HEIGHT));
    }
    call.points = 4;
}

// The shape's outline in client pixels, from its command (as render_command maps it).
void note_outline(InspectorCall &call, const DrawCommand *command) {
    const std::int64_t ox = runtime_state.origin_x, oy = runtime_state.origin_y;
    auto clamp_x = [](std::int64_t x) { return int(std::clamp<std::int64_t>(x, -CANVAS_WIDTH, 2 * CANVAS_WIDTH)); };
    auto clamp_y = [](std::int64_t y) { return int(std::clamp<std::int64_t>(y, -CANVAS_HEIGHT, 2 * CANVAS_HEIGHT)); };
    const std::int64_t half = command->width / 2;
    switch (command->kind) {
    case SHAPE_TRIANGLE:
        call.outline_shape = OUTLINE_POLYGON;
        call.points = 3;
        call.xs[0] = clamp_x(ox + command->x1), call.ys[0] = clamp_y(oy - command->y1);
        call.xs[1] = clamp_x(ox + command->x2), call.ys[1] = clamp_y(oy - command->y2);
        call.xs[2] = clamp_x(ox + command->x3), call.ys[2] = clamp_y(oy - command->y3);
        break;
    case SHAPE_RECTANGLE:
        set_box(call, ox + command->x1 - half, oy - command->y1 - half, ox + command->x2 + half,
                oy - command->y2 + half);
        break;
    case SHAPE_OVAL:
        call.outline_shape = OUTLINE_ELLIPSE;
        call.points = 2;
        call.xs[0] = clamp_x(ox + command->x1 - half), call.ys[0] = clamp_y(oy - command->y1 - half);
        call.xs[1] = clamp_x(ox + command->x2 + half), call.ys[1] = clamp_y(oy - command->y2 + half);
        break;
    case SHAPE_LINE:
        call.outline_shape = OUTLINE_LINE;
        call.points = 2;
        call.xs[0] = clamp_x(ox + command->x1), call.ys[0] = clamp_y(oy - command->y1);
        call.xs[1] = clamp_x(ox + command->x2), call.ys[1] = clamp_y(oy - command->y2);
        break;
    case SHAPE_PIXEL:
        set_box(call, ox + command->x1 - 3, oy - command->y1 - 3, ox + command->x1 + 3, oy - command->y1 + 3);
        break;
    case SHAPE_TEXT:
        break; // render_command gives the text's box (inspector_mark_text)
    }
}

void hide(void) {
    platform_show_outline(runtime_state.graphics_window, OUTLINE_NONE, nullptr, nullptr, 0);
    platform_show_label(runtime_state.graphics_window, 0, 0, 0, "");
}

} // namespace

void inspector_toggle(void) {
    if (runtime_state.aid_inspector) {
        runtime_state.aid_inspector = false;
        hide();
        return;
    }
    if (!runtime_state.owner_record) {
        runtime_state.owner_record =
            static_cast<std::int32_t *>(std::malloc(std::size_t(CANVAS_WIDTH) * CANVAS_HEIGHT * sizeof(std::int32_t)));
        runtime_state.inspector_calls = new (std::nothrow) InspectorCall[INSPECTOR_CALLS_KEPT];
        if (!runtime_state.owner_record || !runtime_state.inspector_calls) {
            std::free(runtime_state.owner_record);
            delete[] runtime_state.inspector_calls;
            runtime_state.owner_record = nullptr;
            runtime_state.inspector_calls = nullptr;
            VORNA_print("The inspector cannot start: out of memory\n");
            return;
        }
    }
    // What is on the canvas now was painted while nobody kept count.
    fill_owner(OWNER_UNKNOWN);
    runtime_state.inspector_line[0] = '\0';
    runtime_state.aid_inspector = true;
    VORNA_print("Inspector on: click a pixel to see which drawing call painted it (clicks go to the inspector)\n");
}

void inspector_note_line(const char *line) {
    std::snprintf(runtime_state.inspector_line, sizeof runtime_state.inspector_line, "%s", line);
    const std::size_t n = std::strlen(runtime_state.inspector_line);
    if (n > 0 && runtime_state.inspector_line[n - 1] == '\n') runtime_state.inspector_line[n - 1] = '\0';
}

void inspector_begin_call(const DrawCommand *command, RasterTarget *target) {
    runtime_state.calls_since_clear++;
    if (!runtime_state.aid_inspector) return;
    if (++runtime_state.inspector_serial <= 0) runtime_state.inspector_serial = 1; // after 2^31 calls
    const std::int32_t serial = runtime_state.inspector_serial;
    InspectorCall &call = runtime_state.inspector_calls[serial % INSPECTOR_CALLS_KEPT];
    call.serial = serial;
    call.number = runtime_state.calls_since_clear;
    call.outline_shape = OUTLINE_NONE;
    call.points = 0;
    note_outline(call, command);
    std::snprintf(call.line, sizeof call.line, "%s", runtime_state.inspector_line);
    runtime_state.inspector_line[0] = '\0';
    if (target) {
        target->owner = runtime_state.owner_record;
        target->owner_id = serial;
    }
}

void inspector_mark_text(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
    if (!runtime_state.aid_inspector) return;
    const std::int32_t serial = runtime_state.inspector_serial;
    set_box(runtime_state.inspector_calls[serial % INSPECTOR_CALLS_KEPT], left, top, right, bottom);
    const int x0 = int(std::max<std::int64_t>(left, 0)), x1 = int(std::min<std::int64_t>(right, CANVAS_WIDTH));
    const int y0 = int(std::max<std::int64_t>(top, 0)), y1 = int(std::min<std::int64_t>(bottom, CANVAS_HEIGHT));
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) *owner_at(x, y) = serial;
}

void inspector_cleared(void) {
    runtime_state.calls_since_clear = 0;
    if (runtime_state.aid_inspector) fill_owner(OWNER_CLEARED);
    runtime_state.inspector_line[0] = '\0';
}

void inspector_describe_pixel(int pixel_x, int pixel_y, char *text, std::size_t size, const InspectorCall **found) {
    *found = nullptr;
    const int x = pixel_x - runtime_state.origin_x, y = runtime_state.origin_y - pixel_y;
    if (!runtime_state.owner_record || pixel_x < 0 || pixel_y < 0 || pixel_x >= CANVAS_WIDTH ||
        pixel_y >= CANVAS_HEIGHT) {
        std::snprintf(text, size, "(%d, %d): outside the canvas", x, y);
        return;
    }
    const std::int32_t owner = *owner_at(pixel_x, pixel_y);
    if (owner == OWNER_UNKNOWN) {
        std::snprintf(text, size, "(%d, %d): painted before the inspector was on; click again after the program draws it again",
                      x, y);
        return;
    }
    if (owner == OWNER_CLEARED) {
        std::snprintf(text, size, "(%d, %d): the background of the last clear", x, y);
        return;
    }
    const InspectorCall &call = runtime_state.inspector_calls[owner % INSPECTOR_CALLS_KEPT];
    if (call.serial != owner) {
        std::snprintf(text, size, "(%d, %d): a drawing call too long ago to tell", x, y);
        return;
    }
    std::snprintf(text, size, "(%d, %d): call %d since the last clear: %s", x, y, call.number, call.line);
    *found = &call;
}

void inspector_click(int pixel_x, int pixel_y) {
    char text[INSPECTOR_LINE_MAX + 160];
    const InspectorCall *call = nullptr;
    inspector_describe_pixel(pixel_x, pixel_y, text, sizeof text, &call);
    VORNA_print("Inspector %s\n", text);
    if (call)
        platform_show_outline(runtime_state.graphics_window, call->outline_shape, call->xs, call->ys, call->points);
    else
        platform_show_outline(runtime_state.graphics_window, OUTLINE_NONE, nullptr, nullptr, 0);
    platform_show_label(runtime_state.graphics_window, 1, pixel_x, pixel_y, text);
}
