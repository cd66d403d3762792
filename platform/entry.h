/* entry.h: the one runtime function that the process entry (main.c, linked into the program)
 * calls in the shared library. Compiles as C and as C++. */
#ifndef VORNA_PLATFORM_ENTRY_H
#define VORNA_PLATFORM_ENTRY_H

#include "vorna.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int (*GraphicalMainFunction)(PlatformInstance instance, PlatformInstance previous_instance,
                                     char *command_line, int show_mode);

/* Prepares the toolkit with the process arguments and calls entry with the program instance,
 * no previous instance, the arguments after the program name joined by spaces and the normal
 * show mode; returns what entry returns. The entry comes in as a pointer so that the library
 * holds no reference to a symbol of the program. */
int VORNA_run_main(int argc, char **argv, GraphicalMainFunction entry);

#ifdef __cplusplus
}
#endif

#endif /* VORNA_PLATFORM_ENTRY_H */
