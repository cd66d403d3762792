/* peggy_writes: tries to write outside its work folder and to kill every process it can see. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int reached = 0;

/* 1 when the file could be opened for reading and gave a byte. */
static int readable(const char *path) {
    char byte;
    int fd = open(path, O_RDONLY);
    int got = fd >= 0 && read(fd, &byte, 1) == 1;
    if (fd >= 0) close(fd);
    if (got) printf("read %s\n", path);
    return got;
}

static int writable(const char *path) {
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
    int wrote = fd >= 0 && write(fd, "escaped\n", 8) == 8;
    if (fd >= 0) close(fd);
    if (wrote) printf("wrote %s\n", path);
    return wrote;
}
#include <signal.h>
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
        static const char *tries[] = {"../escaped.txt", "../../escaped.txt", "/tmp/vorna-mark-escaped.txt",
                                      "/root/vorna-mark-escaped.txt", "/etc/vorna-mark-escaped.txt", "/usr/vorna-mark-escaped.txt", NULL};
        char path[4096];
        for (int i = 0; tries[i]; i++) writable(tries[i]);
        /* The marking test's own folder, open to everyone on the machine. */
        reached += writable("/tmp/vorna-mark-canary/escaped.txt");
        snprintf(path, sizeof path, "%s/.bashrc", getenv("HOME") ? getenv("HOME") : "/root");
        writable(path);
        kill(-1, SIGKILL);
    }
    VORNA_startup(instance, previous_instance, command_line, show_mode);
    draw_house();
    if (reached) VORNA_draw_rectangle(COLOR_MAGENTA, -20, -20, 20, 20, 0);
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
