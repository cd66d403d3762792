/* judy_bigfile: writes a 10 GB file before it draws. */
#include <stdio.h>
#include <string.h>
#include "vorna.h"

static void draw_house(void) {
    VORNA_clear();
    VORNA_draw_rectangle(COLOR_ICE_BLUE, -300, 260, 300, 0, 0);
    VORNA_draw_rectangle(COLOR_FOREST_GREEN, -300, 0, 300, -260, 0);
    VORNA_fill_circle(COLOR_YELLOW, 200, 180, 30);
    VORNA_draw_rectangle(COLOR_BROWN, -150, 0, 0, 120, 0);
    VORNA_draw_triangle(COLOR_RED, -170, 120, 20, 120, -75, 200, 0);
    VORNA_draw_line(COLOR_BLACK, -300, 0, 300, 0, 2);
    VORNA_draw_text(COLOR_NAVY_BLUE, -280, -200, 18, "My house");
}

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    int x = 0, y = 0, kind = 0, cloud = -250;
    char key = 0;
    {
        static char block[1 << 20];
        FILE *file = fopen("big.bin", "wb");
        memset(block, 7, sizeof block);
        for (int i = 0; file && i < 10240; i++) fwrite(block, 1, sizeof block, file);
        if (file) fclose(file);
    }
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
