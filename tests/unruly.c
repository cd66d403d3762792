/* unruly.c: a VORNA program that ends well or badly in the way its first argument names, for
 * test_stopping.cpp. It creates the file "ready" in its folder once it has started and is about
 * to do what it was asked, so a test knows when to send it a signal.
 *     loop            computes for ever and never waits
 *     ignore-quit     waits for ever, taking no notice of EVENT_QUIT
 *     polite          waits until EVENT_QUIT, shuts down, then takes 1.5 s more to return 0
 *     gets-loop       asks "Name?" for ever, never waiting for an event
 *     wait-then-gets  waits until EVENT_QUIT, then asks "Name?" for ever
 *     ask-four        asks "Name?" four times, prints each entry, shuts down and returns 0
 *     stall           computes 3.5 s without waiting, prints one line, shuts down and returns 0
 * Entries are printed as "entry <...>" on the console (and so in the VORNA_LOG file). */
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "vorna.h"

static void say_ready(void) {
    FILE *ready = fopen("ready", "w");
    if (ready) fclose(ready);
}

static void sleep_ms(long ms) {
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0) {
    }
}

static void wait_for_quit(void) {
    while (VORNA_next_event(NULL, NULL, NULL) != EVENT_QUIT) {
    }
}

static void ask_for_ever(void) {
    char entry[256];
    for (;;)
        if (VORNA_gets("Name?", entry)) VORNA_print("entry <%s>\n", entry);
}

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line, int show_mode) {
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    say_ready();
    if (strcmp(command_line, "loop") == 0) {
        volatile unsigned long spins = 0;
        for (;;)
            spins++;
    } else if (strcmp(command_line, "ignore-quit") == 0) {
        for (;;)
            VORNA_next_event(NULL, NULL, NULL);
    } else if (strcmp(command_line, "polite") == 0) {
        wait_for_quit();
        VORNA_shutdown();
        sleep_ms(1500);
        return 0;
    } else if (strcmp(command_line, "gets-loop") == 0) {
        ask_for_ever();
    } else if (strcmp(command_line, "wait-then-gets") == 0) {
        wait_for_quit();
        ask_for_ever();
    } else if (strcmp(command_line, "stall") == 0) {
        sleep_ms(3500);
        VORNA_print("after the stall\n");
        VORNA_shutdown();
        return 0;
    } else if (strcmp(command_line, "ask-four") == 0) {
        char entry[256];
        for (int i = 0; i < 4; i++)
            if (VORNA_gets("Name?", entry)) VORNA_print("entry <%s>\n", entry);
        VORNA_shutdown();
        return 0;
    }
    fprintf(stderr, "unruly: unknown behaviour \"%s\"\n", command_line);
    VORNA_shutdown();
    return 64;
}
