/* example_main.c: the program around every example of the reference. It starts the runtime,
 * switches the drawing log off, clears the canvas, draws the example, and waits until the window
 * is closed (or Ctrl+Q). Run unattended (VORNA_PLAY with an empty script, VORNA_PLAY_EXIT=1 and
 * VORNA_PICTURE), it ends at once and leaves the example's picture. */
#include "example.h"
#include "vorna.h"

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    int x = 0, y = 0;
    char key = 0;
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    VORNA_clear();
    draw_example();
    while (VORNA_next_event(&x, &y, &key) != EVENT_QUIT) {
    }
    VORNA_shutdown();
    return 0;
}
