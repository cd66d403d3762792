/* ask_model.c: asks two questions in the prompt dialog and draws the answers; every click
 * draws a dot. The marking tests give the answers with --answers and compare the pictures
 * after events 1 and 3 as well as at the end. */
#include "vorna.h"

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    char name[256], colour[256];
    int x = 0, y = 0;
    char key = 0;
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_clear();
    if (!VORNA_gets("Your name?", name)) name[0] = '\0';
    if (!VORNA_gets("Your colour?", colour)) colour[0] = '\0';
    VORNA_draw_text(COLOR_BLACK, -250, 200, 20, name);
    VORNA_draw_text(colour[0] == 'r' ? COLOR_RED : COLOR_BLUE, -250, 150, 20, colour);
    while (VORNA_next_event(&x, &y, &key) != EVENT_QUIT) VORNA_fill_circle(COLOR_GREEN, x, y, 8);
    VORNA_shutdown();
    return 0;
}
