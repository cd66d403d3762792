/*
 * ask_name.c: asks for the user's name in the prompt dialog and greets them on the canvas.
 *
 * The entry may hold several lines (Ctrl+Enter in the text field); each is drawn on its own
 * row. The program then waits for events until the user quits.
 */
#include <string.h>

#include "vorna.h"

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    char name[256];
    int x = 0;
    int y = 0;
    char key = 0;
    int row = 0;
    char *line;

    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    VORNA_clear();
    VORNA_draw_text(COLOR_NAVY_BLUE, -250, 200, 20, "Who is there?");

    if (!VORNA_gets("What is your name?", name)) {
        strcpy(name, "stranger");
    }
    if (name[0] == '\0') {
        strcpy(name, "nobody in particular");
    }

    VORNA_clear();
    VORNA_draw_text(COLOR_NAVY_BLUE, -250, 200, 20, "Hello,");
    /* The entry's line breaks come back as CR LF pairs. */
    for (line = strtok(name, "\r\n"); line != NULL; line = strtok(NULL, "\r\n")) {
        VORNA_draw_text(COLOR_FOREST_GREEN, -250, 160 - 30 * row, 24, line);
        ++row;
    }
    VORNA_draw_text(COLOR_GRAY_50, -250, -220, 14, "Close the window or press Ctrl+Q to quit.");

    while (VORNA_next_event(&x, &y, &key) != EVENT_QUIT) {
    }
    VORNA_shutdown();
    return 0;
}
