/* broken_model.c: a model that crashes at its first event, for the marking error. */
#include "vorna.h"

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    int x = 0, y = 0;
    char key = 0;
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_clear();
    VORNA_next_event(&x, &y, &key);
    *(volatile int *)0 = 1;
    VORNA_shutdown();
    return 0;
}
