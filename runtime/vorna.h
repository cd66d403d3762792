/*
 * vorna.h: the VORNA teaching graphics runtime, the one header an application includes.
 *
 * A program defines graphical_main(), calls VORNA_startup() with its four arguments, draws
 * into a 601 x 540 window whose origin is the centre of the drawing area (x right, y up),
 * asks VORNA_next_event() for mouse, key, tick and quit events, and ends with VORNA_shutdown().
 *
 * This header compiles as C and as C++.
 */
#ifndef VORNA_H
#define VORNA_H

/* The runtime's version, the one its pkg-config file and CMake package give. */
#define VORNA_VERSION_MAJOR 0
#define VORNA_VERSION_MINOR 1
#define VORNA_VERSION_PATCH 0

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__) || defined(__clang__)
#define VORNA_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define VORNA_PRINTF_LIKE(fmt, args)
#endif

/* ------------------------------------------------------------------------------------------
 * Constants
 * ---------------------------------------------------------------------------------------- */

/* Event kinds returned by VORNA_next_event(). */
#define EVENT_MOUSE 1 /* left mouse button pressed in the graphics window */
#define EVENT_KEY 2   /* a character was typed */
#define EVENT_TICK 3  /* one periodic animation tick */
#define EVENT_QUIT 4  /* the user or the program asked to quit */

/* Animation modes for VORNA_set_animation(). */
#define ANIM_HALT 0 /* no ticks */
#define ANIM_STEP 1 /* exactly one tick */
#define ANIM_RUN 2  /* one tick every 100 ms */
#define ANIM_QUIT 5 /* every later wait returns EVENT_QUIT */

/* The 24 palette colours, by index. */
#define COLOR_BLACK 0
#define COLOR_WHITE 1
#define COLOR_RED 2
#define COLOR_GREEN 3
#define COLOR_BLUE 4
#define COLOR_YELLOW 5
#define COLOR_MAGENTA 6
#define COLOR_CYAN 7
#define COLOR_PURPLE 8
#define COLOR_NAVY_BLUE 9
#define COLOR_DUSTY_PLUM 10
#define COLOR_ICE_BLUE 11
#define COLOR_TURQUOISE 12
#define COLOR_ORANGE 13
#define COLOR_BROWN 14
#define COLOR_PINK 15
#define COLOR_CHALK 16
#define COLOR_GOLD 17
#define COLOR_PEACH 18
#define COLOR_FOREST_GREEN 19
#define COLOR_SEA_GREEN 20
#define COLOR_OLIVE 21
#define COLOR_GRAY_50 22
#define COLOR_GRAY_20 23

/* ------------------------------------------------------------------------------------------
 * Types
 * ---------------------------------------------------------------------------------------- */

/* Opaque handle of the running program, handed to graphical_main(). */
typedef struct PlatformInstanceRecord *PlatformInstance;

/* A palette index 0..23; anything else is reported and drawn red. */
typedef int ColorIndex;

/* ------------------------------------------------------------------------------------------
 * Start-up and shut-down
 * ---------------------------------------------------------------------------------------- */

/* The application's entry point: every program defines it; the runtime's main() calls it. */
int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line,
                   int show_mode);

/* Opens the graphics and text windows, the canvas and the 100 ms timer; always returns 1. */
int VORNA_startup(PlatformInstance instance, PlatformInstance previous_instance, char *command_line,
                  int show_mode);

/* Releases the window's drawing surface and closes the script file; always returns 1. */
int VORNA_shutdown(void);

/* ------------------------------------------------------------------------------------------
 * Drawing (logical coordinates; every call draws into the canvas at once)
 * ---------------------------------------------------------------------------------------- */

/* Sets one pixel. */
int VORNA_put_pixel(int color, int x, int y);

/* Draws a filled circle of the given radius (radius 0 is one pixel). */
int VORNA_fill_circle(int color, int x, int y, int radius);

/* Draws a triangle; width 0 fills it, a positive width draws its outline. */
int VORNA_draw_triangle(int color, int x1, int y1, int x2, int y2, int x3, int y3, int width);

/* Draws a rectangle between two corners, both included; width 0 fills it. */
int VORNA_draw_rectangle(int color, int x1, int y1, int x2, int y2, int width);

/* Draws the oval inscribed in the box between two corners; width 0 fills it. */
int VORNA_draw_oval(int color, int x1, int y1, int x2, int y2, int width);

/* Draws a line from the first point towards the second (the final pixel is left out). */
int VORNA_draw_line(int color, int x1, int y1, int x2, int y2, int width);

/* Draws text whose first line sits on (x, y); size is the pixel height, 0 the default. */
int VORNA_draw_text(int color, int x, int y, int size, const char *text);

/* Formats like printf and draws the result as VORNA_draw_text does; returns its length. */
int VORNA_printf_at(int color, int x, int y, int size, const char *format, ...) VORNA_PRINTF_LIKE(5, 6);

/* Another name for VORNA_printf_at. */
int VORNA_text_printf(int color, int x, int y, int size, const char *format, ...) VORNA_PRINTF_LIKE(5, 6);

/* Fills the canvas with white (its outermost rows and columns black). */
int VORNA_clear(void);

/* Prints a notice that undo is no longer supported. */
int VORNA_undo(void);

/* Saves the canvas (601 x 540 pixels) as a PNG file; 1, or 0 with a console message. */
int VORNA_save_picture(const char *file_name);

/* ------------------------------------------------------------------------------------------
 * Events and animation
 * ---------------------------------------------------------------------------------------- */

/* Waits for the next event and returns its kind; fills the position and character. */
int VORNA_next_event(int *x, int *y, char *key);

/* Sets the animation mode (ANIM_HALT, ANIM_STEP, ANIM_RUN, ANIM_QUIT); 0 before start-up. */
int VORNA_set_animation(int mode);

/* ------------------------------------------------------------------------------------------
 * Console and logging
 * ---------------------------------------------------------------------------------------- */

/* Formats like printf and prints one line on the console; returns the formatted length. */
int VORNA_print(const char *format, ...) VORNA_PRINTF_LIKE(1, 2);

/* Switches the drawing log on (non-zero) or off; 0 before start-up. */
int VORNA_set_logging(int on);

/* Shows (non-zero) or hides the text window. */
void VORNA_show_console(int show);

/* ------------------------------------------------------------------------------------------
 * Prompt dialog
 * ---------------------------------------------------------------------------------------- */

/* Asks for a line of text in a modal dialog; result needs room for 256 bytes. 1 on success. */
int VORNA_gets(const char *prompt, char *result);

#ifdef __cplusplus
}
#endif

#endif /* VORNA_H */
