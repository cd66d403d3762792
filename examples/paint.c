/* paint.c: a small paint program.
 *
 * Drag with the left button to draw. A right click on one of the colour boxes at the top picks
 * that colour (a right click anywhere else picks the next one). The wheel makes the pen wider
 * or narrower (1 to 40 pixels). The key c clears the picture; Escape, Ctrl+Q or closing the
 * window ends the program.
 */
#include <vorna.h>

#define SWATCHES 8
#define SWATCH_SIZE 30
#define SWATCH_TOP 243 /* the top of the window's visible part is about y 250 */
#define PEN_MIN 1
#define PEN_MAX 40

static const int SWATCH_COLORS[SWATCHES] = {COLOR_BLACK, COLOR_RED,    COLOR_ORANGE, COLOR_YELLOW,
                                            COLOR_GREEN, COLOR_BLUE, COLOR_PURPLE, COLOR_BROWN};

static int swatch_left(int i) { return -290 + i * (SWATCH_SIZE + 5); }

/* The colour boxes and, at the right, the pen as it draws now. */
static void draw_tools(int color, int width) {
    int i;
    VORNA_draw_rectangle(COLOR_GRAY_20, -300, SWATCH_TOP + 5, 300, SWATCH_TOP - SWATCH_SIZE - 5, 0);
    for (i = 0; i < SWATCHES; i++) {
        VORNA_draw_rectangle(SWATCH_COLORS[i], swatch_left(i), SWATCH_TOP, swatch_left(i) + SWATCH_SIZE - 1,
                             SWATCH_TOP - SWATCH_SIZE + 1, 0);
        if (SWATCH_COLORS[i] == color)
            VORNA_draw_rectangle(COLOR_WHITE, swatch_left(i) + 2, SWATCH_TOP - 2, swatch_left(i) + SWATCH_SIZE - 3,
                                 SWATCH_TOP - SWATCH_SIZE + 3, 2);
    }
    VORNA_fill_circle(color, 200, SWATCH_TOP - SWATCH_SIZE / 2, width / 2 < 15 ? width / 2 : 15);
    VORNA_printf_at(COLOR_BLACK, 225, SWATCH_TOP - 8, 14, "width %d", width);
}

/* The box under (x, y), or -1. */
static int swatch_at(int x, int y) {
    int i;
    if (y > SWATCH_TOP || y <= SWATCH_TOP - SWATCH_SIZE) return -1;
    for (i = 0; i < SWATCHES; i++)
        if (x >= swatch_left(i) && x < swatch_left(i) + SWATCH_SIZE) return i;
    return -1;
}

/* One stretch of a stroke: a line, with round ends so that thick strokes join smoothly. */
static void draw_stroke(int color, int width, int x1, int y1, int x2, int y2) {
    VORNA_draw_line(color, x1, y1, x2, y2, width);
    if (width > 1) VORNA_fill_circle(color, x2, y2, width / 2);
    else VORNA_put_pixel(color, x2, y2);
}

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line,
                   int show_mode) {
    VORNA_Event event;
    int color = COLOR_BLACK, width = 4, last_x = 0, last_y = 0, drawing = 0, next = 0, done = 0;

    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    VORNA_clear();
    draw_tools(color, width);

    while (!done && VORNA_wait(&event) != EVENT_QUIT) {
        switch (event.kind) {
        case EVENT_MOUSE:
            if (event.button == VORNA_BUTTON_LEFT && swatch_at(event.x, event.y) < 0) {
                drawing = 1;
                last_x = event.x;
                last_y = event.y;
                draw_stroke(color, width, last_x, last_y, last_x, last_y);
            } else if (event.button == VORNA_BUTTON_RIGHT) {
                int picked = swatch_at(event.x, event.y);
                if (picked < 0) picked = (next + 1) % SWATCHES;
                next = picked;
                color = SWATCH_COLORS[picked];
                draw_tools(color, width);
                VORNA_print("Colour %d picked\n", color);
            }
            break;
        case EVENT_MOUSE_MOVE:
            if (drawing && event.button == VORNA_BUTTON_LEFT) {
                draw_stroke(color, width, last_x, last_y, event.x, event.y);
                last_x = event.x;
                last_y = event.y;
            }
            break;
        case EVENT_MOUSE_UP:
            if (event.button == VORNA_BUTTON_LEFT && drawing) {
                drawing = 0;
                VORNA_print("Stroke ended at (%d, %d)\n", event.x, event.y);
            }
            break;
        case EVENT_WHEEL:
            width += event.wheel;
            if (width < PEN_MIN) width = PEN_MIN;
            if (width > PEN_MAX) width = PEN_MAX;
            draw_tools(color, width);
            VORNA_print("Pen width %d\n", width);
            break;
        case EVENT_KEY:
            if (event.key == VORNA_KEY_ESCAPE) {
                done = 1;
            } else if (event.key == 'c') {
                VORNA_clear();
                draw_tools(color, width);
            }
            break;
        default:
            break;
        }
    }
    VORNA_shutdown();
    return 0;
}
