/* primitives_demo.c: draws with every primitive and prints each event it receives, on the
 * console and on standard output. Click, type, or use the Run menu; close the window to end. */
#include <stdio.h>

#include "vorna.h"

static void draw_picture(void) {
    VORNA_clear();
    VORNA_draw_rectangle(COLOR_ICE_BLUE, -300, 250, 300, 0, 0);
    VORNA_draw_rectangle(COLOR_FOREST_GREEN, -300, 0, 300, -250, 0);
    VORNA_fill_circle(COLOR_YELLOW, 200, 180, 30);
    VORNA_draw_triangle(COLOR_GRAY_50, -250, 0, -50, 0, -150, 150, 0);
    VORNA_draw_triangle(COLOR_BLACK, -250, 0, -50, 0, -150, 150, 2);
    VORNA_draw_oval(COLOR_BLUE, 20, -40, 220, -120, 0);
    VORNA_draw_oval(COLOR_NAVY_BLUE, 20, -40, 220, -120, 3);
    VORNA_draw_rectangle(COLOR_RED, -260, -150, -160, -200, 4);
    VORNA_draw_line(COLOR_PURPLE, -300, -230, 300, -230, 0);
    VORNA_draw_line(COLOR_ORANGE, -280, -240, 280, -140, 5);
    VORNA_put_pixel(COLOR_BLACK, 0, 0);
    VORNA_draw_text(COLOR_BLACK, -280, 220, 18, "VORNA primitives\nclick or type");
    VORNA_printf_at(COLOR_MAGENTA, 40, 220, 14, "%d colours", 24);
}

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    int x = 0, y = 0, kind = 0, ticks = 0;
    char key = 0;
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    draw_picture();
    VORNA_print("Click, type or use the Run menu; close the window to quit.\n");
    while ((kind = VORNA_next_event(&x, &y, &key)) != EVENT_QUIT) {
        if (kind == EVENT_MOUSE) {
            VORNA_print("mouse at (%d,%d)\n", x, y);
            printf("mouse at (%d,%d)\n", x, y);
            VORNA_fill_circle(COLOR_RED, x, y, 3);
        } else if (kind == EVENT_KEY) {
            VORNA_print("key %d '%c'\n", (unsigned char)key, key);
            printf("key %d\n", (unsigned char)key);
        } else if (kind == EVENT_TICK) {
            ticks++;
            VORNA_print("tick %d\n", ticks);
            printf("tick %d\n", ticks);
        }
        fflush(stdout);
    }
    VORNA_print("quit\n");
    printf("quit\n");
    VORNA_shutdown();
    return 0;
}
