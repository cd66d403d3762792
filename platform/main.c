/* main.c: the process entry of every VORNA program. It lives in the small static companion
 * library, so that it is linked into the program itself while the runtime stays a shared
 * library; it is C so that a C-only program links it with the C driver. The runtime prepares
 * the toolkit and calls the program's graphical_main. A program that defines its own main()
 * may still link the archive: this member is then never pulled in. */
#include "platform/entry.h"

int main(int argc, char **argv) {
    return VORNA_run_main(argc, argv, graphical_main);
}
