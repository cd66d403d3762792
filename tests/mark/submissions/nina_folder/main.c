/* nina_folder: the model split in two files; this one is the event loop. */
#include "vorna.h"

void draw_house(void);

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    int x = 0, y = 0, kind = 0, cloud = -250;
    char key = 0;
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    draw_house();
    VORNA_set_animation(ANIM_RUN);
    while ((kind = VORNA_next_event(&x, &y, &key)) != EVENT_QUIT) {
        if (kind == EVENT_MOUSE) VORNA_fill_circle(COLOR_RED, x, y, 6);
        if (kind == EVENT_KEY) VORNA_fill_circle(COLOR_BLUE, -280 + 20 * (key % 10), -240, 5);
        if (kind == EVENT_TICK) {
            VORNA_draw_oval(COLOR_ICE_BLUE, cloud, 220, cloud + 60, 190, 0);
            cloud += 10;
            VORNA_draw_oval(COLOR_WHITE, cloud, 220, cloud + 60, 190, 0);
        }
    }
    VORNA_shutdown();
    return 0;
}
