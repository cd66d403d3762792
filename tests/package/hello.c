/* hello.c: draws one picture and ends; proves the installed header, library and package. */
#include <vorna.h>

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    VORNA_clear();
    VORNA_fill_circle(COLOR_RED, 0, 0, 40);
    VORNA_draw_text(COLOR_BLACK, -40, -60, 16, "hello");
    VORNA_shutdown();
    return 0;
}
