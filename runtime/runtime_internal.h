// runtime_internal.h: the runtime's one state record and the operations its source files share.
#pragma once

#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"
#include "vorna.h"

// ---------------------------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------------------------

enum { EVENT_NONE = -1 };

enum ShapeKind {
    SHAPE_TRIANGLE = 0,
    SHAPE_RECTANGLE = 1,
    SHAPE_OVAL = 2,
    SHAPE_LINE = 3,
    SHAPE_PIXEL = 4,
    SHAPE_TEXT = 5,
};

enum {
    CMD_ANIMATE = 1,
    CMD_HALT = 2,
    CMD_STEP = 3,
    CMD_LOGGING = 4,
    CMD_RECORD = 5,
    CMD_PLAYBACK = 6,
    CMD_PLAY_ONE = 7,
    CMD_QUIT = 8,
    CMD_CREDITS = 9,
};

enum {
    CANVAS_WIDTH = 601,
    CANVAS_HEIGHT = 540,
    WINDOW_OUTER_WIDTH = 601,
    WINDOW_OUTER_HEIGHT = 540,
    TIMER_ANIMATION_ID = 2,
    TIMER_PERIOD_MS = 100,
    WINDOW_SETTLE_MS = 1000, // longest wait at start-up for a window manager to frame the window
    PRESENT_INTERVAL_MS = 16, // one refresh of a 60 Hz display
    CONSOLE_RING_SLOTS = 25,
    FORMAT_BUFFER_SIZE = 1024,
    COLOR_BACKGROUND = COLOR_WHITE,
    COLOR_COUNT = 24,
};

#define SCRIPT_FILE_NAME "VORNA.SCR"

// ---------------------------------------------------------------------------------------------
// The state record
// ---------------------------------------------------------------------------------------------

struct RuntimeState {
    // Windows and canvas.
    PlatformInstance instance = nullptr;
    PlatformWindow *graphics_window = nullptr;
    PlatformWindow *text_window = nullptr;
    PlatformSurface *window_dc = nullptr; // the graphics window's own picture
    PlatformSurface *canvas = nullptr;    // every primitive draws here
    int origin_x = 0;
    int origin_y = 0;
    bool origin_settled = false; // set once start-up has fixed the drawing area; then it never moves
    bool canvas_dirty = true;
    bool present_held = false; // present_canvas_when_due put a copy off
    std::chrono::steady_clock::time_point presented_at{}; // the last copy to the window
    unsigned long frames_presented = 0; // copies to the window (diagnostics and tests)

    // Event wait and animation mode.
    int event_kind = 0;
    int mouse_x = 0;
    int mouse_y = 0;
    signed char key = 0;
    bool running = false;
    bool single_step = false;
    bool quit_requested = false;
    bool timer_fired = false;

    // Console and drawing log.
    unsigned char logging = 1;
    char *console_lines[CONSOLE_RING_SLOTS] = {};
    int console_oldest = -1;
    int console_next = 0;

    // Run menu and Ctrl keys.
    PlatformMenu *run_menu = nullptr;
    int ctrl_down = 0;

    // Script recording and playback.
    bool recording = false;
    bool playback = false;
    bool play_one = false;
    int pending_ticks = 0;
    std::FILE *script = nullptr;
    bool script_write_failing = false; // the last write failed and was reported

    // Prompt dialog.
    char *prompt_result = nullptr;

    // Unattended runs: what the environment asked for at start-up (unattended.cpp).
    char *play_script = nullptr;  // VORNA_PLAY: the script that playback reads, instead of VORNA.SCR
    bool play_exit = false;       // VORNA_PLAY_EXIT: playback ending by itself quits the program
    char *picture_path = nullptr; // VORNA_PICTURE: where shut-down saves the picture
    char *log_path = nullptr;     // VORNA_LOG: the file that every printed and logged line goes to
    int log_fd = -1;              // ... open for appending, or -1
};

extern RuntimeState runtime_state;

// One shape for render_command; coordinates are logical and 64-bit so no mapping overflows.
struct DrawCommand {
    ShapeKind kind;
    ColorIndex color;
    std::int64_t width;
    std::int64_t x1, y1, x2, y2, x3, y3;
    const char *text; // SHAPE_TEXT: the private copy of the text; size in x2
};

// ---------------------------------------------------------------------------------------------
// Shared operations
// ---------------------------------------------------------------------------------------------

// windows.cpp
void present_canvas(void);
// present_canvas for the wait's poll: while a script hands out events without waiting, at most
// once per PRESENT_INTERVAL_MS; at once otherwise.
void present_canvas_when_due(void);
// present_canvas when present_canvas_when_due put a copy off: a script ends, the program quits
// or shuts down.
void present_held_canvas(void);
void graphics_window_proc(PlatformWindow *window, const PlatformMessage *message);

// palette.cpp
ColorIndex check_color(int index);
PlatformColor palette_color(ColorIndex index);
const char *palette_name(ColorIndex index);

// primitives.cpp
void render_command(const DrawCommand *command);
// Measurement seam: sees every command render_command draws, with the origin it used.
extern void (*render_observer)(const DrawCommand *command, int origin_x, int origin_y);

// events.cpp
void pump_one_message(void);
void events_handle_message(const PlatformMessage *message); // timer, left button, character

// console.cpp
void console_draw_line(char *text);
// One line of the drawing log: printed when logging is on, and always written to the VORNA_LOG
// file; formatted only when one of the two wants it.
void log_drawing(const char *format, ...) VORNA_PRINTF_LIKE(1, 2);
void text_window_proc(PlatformWindow *window, const PlatformMessage *message);
void console_repaint(void);
// Test seam: the allocator for console line copies, and an observer of every printed line.
extern void *(*console_alloc)(std::size_t size);
extern void (*console_observer)(const char *line);

// menu.cpp
void build_run_menu(PlatformWindow *window);
void perform_command(int id);
void menu_handle_message(const PlatformMessage *message); // command, key-down, key-up, focus

// script.cpp
// What read_script_event gives the wait.
enum {
    SCRIPT_NO_EVENT = 0, // none: playback has been stopped
    SCRIPT_EVENT = 1,    // one event is in the event fields
    SCRIPT_NOT_YET = 2,  // still skipping empty lines: poll, then ask again
};
void write_script_event(int kind, int x, int y, signed char key);
void record_event(void);
int read_script_event(void);
void stop_playback(void);
void close_script(void);
void toggle_recording(void);
void toggle_playback(void);
void request_play_one(void);
// The script that playback reads: the VORNA_PLAY file, or VORNA.SCR.
const char *script_read_name(void);

// picture.cpp
// Saves the canvas as a PNG file, replacing the file only once the whole picture is written.
// Returns null, or the reason why nothing was saved.
const char *save_picture_file(const char *path);
// F12: saves the canvas as the first free VORNA-0001.png .. VORNA-9999.png and says so.
void save_numbered_picture(void);
// Creates an empty temporary file, readable only by its owner, beside `path` (in the same
// folder, so that a rename can put it in place); writes its name into `temp`. Returns the
// open descriptor, or -1 with errno set.
int create_temp_beside(const char *path, char *temp, std::size_t temp_size);

// unattended.cpp
// Reads VORNA_PLAY, VORNA_PLAY_EXIT, VORNA_PICTURE and VORNA_LOG. A value that cannot work ends
// the process with status 2 and a message on stderr, before any window opens.
void unattended_read_environment(void);
// End of start-up: begins playing the VORNA_PLAY script.
void unattended_begin(void);
// Shut-down: saves the VORNA_PICTURE picture and closes the log.
void unattended_finish(void);
// Appends one printed line to the VORNA_LOG file, if there is one.
void unattended_log_line(const char *line);
// True when nobody can answer the prompt dialog: the run plays VORNA_PLAY and then quits.
bool unattended_without_user(void);

// Formats into a 1024-byte buffer, never past it: a longer text is cut to 1023 characters.
// Returns the number of characters the format produced (as vsnprintf does).
int format_bounded(char *buffer, const char *format, std::va_list args);
