/*
 * vorna.h: the VORNA teaching graphics runtime, the one header an application includes.
 *
 * A program defines graphical_main(), calls VORNA_startup() with its four arguments, draws
 * into a 601 x 540 window whose origin is the centre of the drawing area (x right, y up),
 * asks VORNA_next_event() for mouse, key, tick and quit events (or VORNA_wait() for full input),
 * and ends with VORNA_shutdown().
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
#define ANIM_RUN 2  /* one tick every tick interval (100 ms unless set) */
#define ANIM_QUIT 5 /* every later wait returns EVENT_QUIT */

/* The further event kinds that only VORNA_wait() returns (it returns the four above too). */
#define EVENT_KEY_UP 5     /* a key was released */
#define EVENT_MOUSE_UP 6   /* a mouse button was released */
#define EVENT_MOUSE_MOVE 7 /* the pointer moved (the latest position); with a button held, a drag */
#define EVENT_WHEEL 8      /* the wheel turned; wheel steps, positive away from the user */

/* Mouse buttons in VORNA_Event. */
#define VORNA_BUTTON_LEFT 1
#define VORNA_BUTTON_RIGHT 2
#define VORNA_BUTTON_MIDDLE 3

/* Modifier bits in VORNA_Event. */
#define VORNA_MOD_SHIFT 1
#define VORNA_MOD_CTRL 2
#define VORNA_MOD_ALT 4

/* Keys in VORNA_Event and VORNA_key_down(): a character is its code 1..255; the keys that
   type no character (or a control character) have these values, above 255. */
#define VORNA_KEY_LEFT 256
#define VORNA_KEY_RIGHT 257
#define VORNA_KEY_UP 258
#define VORNA_KEY_DOWN 259
#define VORNA_KEY_HOME 260
#define VORNA_KEY_END 261
#define VORNA_KEY_PAGE_UP 262
#define VORNA_KEY_PAGE_DOWN 263
#define VORNA_KEY_INSERT 264
#define VORNA_KEY_DELETE 265
#define VORNA_KEY_ESCAPE 266
#define VORNA_KEY_ENTER 267
#define VORNA_KEY_TAB 268
#define VORNA_KEY_BACKSPACE 269
#define VORNA_KEY_F1 270 /* F1..F11 are VORNA_KEY_F1 + 0 .. VORNA_KEY_F1 + 10 */
#define VORNA_KEY_F2 271
#define VORNA_KEY_F3 272
#define VORNA_KEY_F4 273
#define VORNA_KEY_F5 274
#define VORNA_KEY_F6 275
#define VORNA_KEY_F7 276
#define VORNA_KEY_F8 277
#define VORNA_KEY_F9 278
#define VORNA_KEY_F10 279
#define VORNA_KEY_F11 280
#define VORNA_KEY_LAST VORNA_KEY_F11

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

/* One event from VORNA_wait(). What an event does not set is 0. */
typedef struct VORNA_Event {
    int kind;      /* EVENT_MOUSE .. EVENT_WHEEL */
    int x, y;      /* logical point of a mouse or wheel event, as for clicks */
    int key;       /* EVENT_KEY, EVENT_KEY_UP: a character 1..255 or a VORNA_KEY_ value */
    int button;    /* EVENT_MOUSE, EVENT_MOUSE_UP: the button; EVENT_MOUSE_MOVE: the button held
                      (a drag), 0 for none */
    int wheel;     /* EVENT_WHEEL: steps, positive away from the user, negative towards */
    int modifiers; /* VORNA_MOD_ bits held at the time of the event */
    int repeat;    /* EVENT_KEY: 1 when a held key repeats, 0 for the first press */
} VORNA_Event;

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

/* Full input for games: waits for the next event, fills *event and returns its kind. Besides
   the four kinds of VORNA_next_event it gives key releases, keys that type nothing (arrows,
   F1..F11, ...), other buttons and their releases, pointer movement and the wheel. */
int VORNA_wait(VORNA_Event *event);

/* 1 while the key (a character 1..255 or a VORNA_KEY_ value) is held down, else 0. */
int VORNA_key_down(int key);

/* The pointer's last logical position in the drawing area. */
void VORNA_mouse_position(int *x, int *y);

/* Ticks come every ms milliseconds (10..1000; 100 at start-up). */
void VORNA_set_tick_interval(int ms);

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
