/* ending: a small program for the tests of unattended runs, built only against the public
 * header. Its words in the environment variable ENDING say how it behaves:
 *   ticks3     runs the animation and leaves its loop after three events (no script needed)
 *   spam       prints 2000 lines of 60 characters before its first wait
 *   noshutdown returns from graphical_main without VORNA_shutdown
 *   exit       calls exit(0) where it would return
 *   status5    returns 5
 *   text       also writes "event N" as text on the canvas for every event
 *   save       saves the canvas as own-N.png after drawing for event N (own-0.png at first)
 * Every event fills the canvas with another colour and prints "event N" on standard output
 * and on the console; standard output gets "start" before the first wait and "end" last. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vorna.h"

static int has_word(const char *word) {
    const char *words = getenv("ENDING");
    return words && strstr(words, word) != NULL;
}

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    int x = 0, y = 0, kind = 0, events = 0;
    char key = 0;
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    VORNA_draw_rectangle(COLOR_WHITE, -400, 400, 400, -400, 0);
    if (has_word("save")) VORNA_save_picture("own-0.png");
    printf("start\n");
    if (has_word("spam"))
        for (int i = 0; i < 2000; i++)
            VORNA_print("spam %04d ..................................................\n", i);
    if (has_word("ticks3")) VORNA_set_animation(ANIM_RUN);
    while ((kind = VORNA_next_event(&x, &y, &key)) != EVENT_QUIT) {
        events++;
        VORNA_draw_rectangle(1 + events % 23, -400, 400, 400, -400, 0);
        if (has_word("text")) VORNA_printf_at(COLOR_BLACK, -100, 0, 30, "event %d", events);
        printf("event %d\n", events);
        VORNA_print("event %d\n", events);
        if (has_word("save")) {
            char name[32];
            snprintf(name, sizeof name, "own-%d.png", events);
            VORNA_save_picture(name);
        }
        if (has_word("ticks3") && events == 3) break;
    }
    printf("end\n");
    if (has_word("exit")) exit(0);
    if (!has_word("noshutdown")) VORNA_shutdown();
    return has_word("status5") ? 5 : 0;
}
