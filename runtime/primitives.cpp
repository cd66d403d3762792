// primitives.cpp: the drawing operations. Each one corrects and reports bad arguments, writes
// its log line when logging is on, and draws into the canvas through render_command (shapes by
// way of the canvas's batch, settled before the pixels are read).
#include <algorithm>
#include <climits>
#include <cstring>

#include "raster/raster.h"
#include "runtime_internal.h"

namespace {

// The positive value of a negative argument; the most negative int becomes the largest one.
int made_positive(int value) { return value == INT_MIN ? INT_MAX : -value; }

int check_radius(int radius) {
    if (radius >= 0) return radius;
    const int used = made_positive(radius);
    VORNA_print("Radius of %d not possible, using radius %d\n", radius, used);
    return used;
}

int check_width(int width) {
    if (width >= 0) return width;
    const int used = made_positive(width);
    VORNA_print("Width of %d not possible, using width %d\n", width, used);
    return used;
}

int check_size(int size) {
    if (size < 0) {
        const int used = made_positive(size);
        VORNA_print("ptsize of %d not possible, using ptsize %d\n", size, used);
        size = used;
    }
    if (size >= 128) {
        VORNA_print("ptsize of %d not possible, using ptsize %d\n", size, 127);
        size = 127;
    }
    return size;
}

// Orders the corners so that (x1, y1) is the top-left and (x2, y2) the bottom-right one.
void normalise(int &x1, int &y1, int &x2, int &y2) {
    if (x2 < x1) {
        const int t = x1;
        x1 = x2;
        x2 = t;
    }
    if (y1 < y2) {
        const int t = y1;
        y1 = y2;
        y2 = t;
    }
}

void draw(ShapeKind kind, ColorIndex color, std::int64_t width, std::int64_t x1, std::int64_t y1,
          std::int64_t x2 = 0, std::int64_t y2 = 0, std::int64_t x3 = 0, std::int64_t y3 = 0,
          const char *text = nullptr) {
    const DrawCommand command{kind, color, width, x1, y1, x2, y2, x3, y3, text};
    render_command(&command);
}

int draw_text_checked(int color, int x, int y, int size, const char *text) {
    size = check_size(size);
    color = check_color(color);
    log_drawing("%s text at (%d,%d), \"%s\"\n", palette_name(color), x, y, text);
    draw(SHAPE_TEXT, color, 0, x, y, size, 0, 0, 0, text);
    return 1;
}

} // namespace

void (*render_observer)(const DrawCommand *command, int origin_x, int origin_y) = nullptr;

namespace {

// A palette colour (0x00BBGGRR) as the canvas stores it (0xFFRRGGBB).
std::uint32_t stored_color(PlatformColor color) {
    return 0xFF000000u | ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

// The canvas's pixels for the rasterizer; false when the canvas has none.
bool canvas_target(RasterTarget *target) {
    std::ptrdiff_t stride = 0;
    std::uint32_t *pixels = platform_surface_pixels(runtime_state.canvas, &stride);
    if (!pixels) return false;
    *target = RasterTarget{pixels, platform_surface_width(runtime_state.canvas),
                           platform_surface_height(runtime_state.canvas), stride};
    return true;
}

} // namespace

void render_command(const DrawCommand *command) {
    PlatformSurface *canvas = runtime_state.canvas;
    if (!canvas) return; // nothing to draw into before start-up
    loop_watch_tell_console();
    if (render_observer) render_observer(command, runtime_state.origin_x, runtime_state.origin_y);
    const std::int64_t ox = runtime_state.origin_x, oy = runtime_state.origin_y;
    const PlatformColor color = palette_color(command->color);
    // Shapes go to the canvas's batch, on their way to its pixels; text comes from the
    // platform's font, drawn into the same pixels once the shapes before it are.
    RasterTarget target;
    if (command->kind != SHAPE_TEXT && !canvas_target(&target)) return;
    inspector_begin_call(command, command->kind == SHAPE_TEXT ? nullptr : &target);
    const std::uint32_t pixel = stored_color(color);
    RasterShape shape; // only what the kind uses is set
    shape.pen = RasterPen{command->width, pixel, command->width == 0, pixel};
    shape.count = 2;
    shape.xs[0] = ox + command->x1;
    shape.ys[0] = oy - command->y1;
    switch (command->kind) {
    case SHAPE_TRIANGLE:
        shape.kind = RASTER_SHAPE_POLYGON;
        shape.count = 3;
        shape.xs[1] = ox + command->x2;
        shape.ys[1] = oy - command->y2;
        shape.xs[2] = ox + command->x3;
        shape.ys[2] = oy - command->y3;
        break;
    case SHAPE_RECTANGLE:
    case SHAPE_OVAL:
        shape.kind = command->kind == SHAPE_RECTANGLE ? RASTER_SHAPE_RECTANGLE : RASTER_SHAPE_ELLIPSE;
        shape.xs[1] = ox + command->x2 + 1;
        shape.ys[1] = oy - command->y2 + 1;
        break;
    case SHAPE_LINE:
        shape.kind = RASTER_SHAPE_LINE;
        shape.xs[1] = ox + command->x2;
        shape.ys[1] = oy - command->y2;
        break;
    case SHAPE_PIXEL:
        shape.kind = RASTER_SHAPE_PIXEL;
        break;
    case SHAPE_TEXT: {
        settle_canvas(); // text blends into the pixels beneath it
        // Line i of the text has its top-left corner h * (i - 1) below the anchor's row, so
        // the anchor is the bottom-left corner of the first line.
        const int size = int(command->x2);
        const std::int64_t h = platform_text_line_height(size);
        const char *line = command->text;
        std::int64_t widest = 0;
        for (std::int64_t i = 0;; ++i) {
            const char *end = std::strchr(line, '\n');
            const int n = end ? int(end - line) : int(std::strlen(line));
            platform_draw_text_line(canvas, ox + command->x1, oy - command->y1 + (i - 1) * h, size, line, n, color);
            if (runtime_state.aid_inspector) widest = std::max<std::int64_t>(widest, platform_text_width(size, line, n));
            if (!end) {
                if (runtime_state.aid_inspector)
                    inspector_mark_text(ox + command->x1, oy - command->y1 - h, ox + command->x1 + widest,
                                        oy - command->y1 + i * h);
                break;
            }
            line = end + 1;
        }
        break;
    }
    }
    if (command->kind != SHAPE_TEXT) raster_batch_add(&runtime_state.canvas_held, &target, &shape);
    runtime_state.canvas_dirty = true;
}

void settle_canvas(void) { raster_batch_draw(&runtime_state.canvas_held); }

int VORNA_put_pixel(int color, int x, int y) {
    if (refuse_other_thread("VORNA_put_pixel")) return 0;
    color = check_color(color);
    log_drawing("%s pixel at (%d,%d)\n", palette_name(color), x, y);
    draw(SHAPE_PIXEL, color, 0, x, y);
    return 1;
}

int VORNA_fill_circle(int color, int x, int y, int radius) {
    if (refuse_other_thread("VORNA_fill_circle")) return 0;
    color = check_color(color);
    radius = check_radius(radius);
    log_drawing("%s circle at (%d,%d), radius %d\n", palette_name(color), x, y, radius);
    const std::int64_t r = radius;
    draw(SHAPE_OVAL, color, 0, x - r, y + r, x + r, y - r);
    return 1;
}

int VORNA_draw_triangle(int color, int x1, int y1, int x2, int y2, int x3, int y3, int width) {
    if (refuse_other_thread("VORNA_draw_triangle")) return 0;
    color = check_color(color);
    width = check_width(width);
    log_drawing("%s triangle at (%d,%d), (%d,%d), (%d,%d)\n", palette_name(color), x1, y1, x2, y2, x3, y3);
    draw(SHAPE_TRIANGLE, color, width, x1, y1, x2, y2, x3, y3);
    return 1;
}

int VORNA_draw_rectangle(int color, int x1, int y1, int x2, int y2, int width) {
    if (refuse_other_thread("VORNA_draw_rectangle")) return 0;
    normalise(x1, y1, x2, y2);
    color = check_color(color);
    width = check_width(width);
    if (width != 0)
        log_drawing("%s rectangle with bounding box (%d,%d) to (%d,%d) with line width %d\n", palette_name(color), x1,
                    y1, x2, y2, width);
    else
        log_drawing("%s rectangle with bounding box (%d,%d) to (%d,%d), filled\n", palette_name(color), x1, y1, x2, y2);
    draw(SHAPE_RECTANGLE, color, width, x1, y1, x2, y2);
    return 1;
}

int VORNA_draw_oval(int color, int x1, int y1, int x2, int y2, int width) {
    if (refuse_other_thread("VORNA_draw_oval")) return 0;
    normalise(x1, y1, x2, y2);
    width = check_width(width);
    color = check_color(color);
    if (width != 0)
        log_drawing("%s oval with bounding box (%d,%d) to (%d,%d), line width %d\n", palette_name(color), x1, y1, x2,
                    y2, width);
    else
        log_drawing("%s oval with bounding box (%d,%d) to (%d,%d), filled\n", palette_name(color), x1, y1, x2, y2);
    draw(SHAPE_OVAL, color, width, x1, y1, x2, y2);
    return 1;
}

int VORNA_draw_line(int color, int x1, int y1, int x2, int y2, int width) {
    if (refuse_other_thread("VORNA_draw_line")) return 0;
    width = check_width(width);
    color = check_color(color);
    log_drawing("%s line from (%d,%d) to (%d,%d), width %d\n", palette_name(color), x1, y1, x2, y2, width);
    draw(SHAPE_LINE, color, width == 0 ? 1 : width, x1, y1, x2, y2);
    return 1;
}

int VORNA_draw_text(int color, int x, int y, int size, const char *text) {
    if (refuse_other_thread("VORNA_draw_text")) return 0;
    return draw_text_checked(color, x, y, size, text ? text : "");
}

// Formats into the bounded buffer and draws the result as VORNA_draw_text does.
static int printf_at(int color, int x, int y, int size, const char *format, std::va_list args) {
    char buffer[FORMAT_BUFFER_SIZE];
    const int produced = format_bounded(buffer, format, args);
    draw_text_checked(color, x, y, size, buffer);
    return produced;
}

int VORNA_printf_at(int color, int x, int y, int size, const char *format, ...) {
    if (refuse_other_thread("VORNA_printf_at")) return 0;
    std::va_list args;
    va_start(args, format);
    const int produced = printf_at(color, x, y, size, format, args);
    va_end(args);
    return produced;
}

int VORNA_text_printf(int color, int x, int y, int size, const char *format, ...) {
    if (refuse_other_thread("VORNA_text_printf")) return 0;
    std::va_list args;
    va_start(args, format);
    const int produced = printf_at(color, x, y, size, format, args);
    va_end(args);
    return produced;
}

int VORNA_clear(void) {
    if (refuse_other_thread("VORNA_clear")) return 0;
    log_drawing("Clearing the graphics window\n");
    inspector_cleared();
    RasterTarget target;
    if (runtime_state.canvas && canvas_target(&target)) {
        // A white brush with the canvas's default one-pixel black pen: the outermost rows and
        // columns of the canvas come out black.
        RasterShape clear{};
        clear.kind = RASTER_SHAPE_RECTANGLE;
        clear.xs[1] = CANVAS_WIDTH;
        clear.ys[1] = CANVAS_HEIGHT;
        clear.pen = RasterPen{1, stored_color(palette_color(COLOR_BLACK)), true,
                              stored_color(palette_color(COLOR_BACKGROUND))};
        raster_batch_add(&runtime_state.canvas_held, &target, &clear);
    }
    runtime_state.canvas_dirty = true;
    return 1;
}

int VORNA_undo(void) {
    if (refuse_other_thread("VORNA_undo")) return 0;
    VORNA_print("VORNA_undo is no longer supported.\n");
    return 1;
}
