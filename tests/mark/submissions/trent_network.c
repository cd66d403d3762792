/* trent_network: tries to connect out, to the machine itself and to the world. */
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
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include "vorna.h"

static int connects(const char *address, int port) {
    struct sockaddr_in to;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int ok;
    memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons((unsigned short)port);
    inet_pton(AF_INET, address, &to.sin_addr);
    ok = fd >= 0 && connect(fd, (struct sockaddr *)&to, sizeof to) == 0;
    if (fd >= 0) close(fd);
    return ok;
}

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
        /* The marking test listens on this port of the machine. */
        reached += connects("127.0.0.1", 47613);
        reached += connects("1.1.1.1", 53);
        reached += connects("8.8.8.8", 443);
        reached += readable("/tmp/.X11-unix/X0") + readable("/run/dbus/system_bus_socket");
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
