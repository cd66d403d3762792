// runtime_internal.h: the runtime's one state record and the operations its source files share.
//
// How a click reaches the program. The toolkit's mouse press lands in the window's event filter
// (WindowEvents::eventFilter, platform/qt_core.cpp), which only posts MSG_LBUTTON_DOWN on our own
// message queue (platform_post_message). The program's VORNA_next_event (events.cpp) polls with
// pump_one_message, which takes one message (platform_peek_message), translates it and
// dispatches it to the window procedure, graphics_window_proc (windows.cpp). That passes input
// to events_handle_message (events.cpp), which turns the client pixel into mouse_x, mouse_y and
// sets event_kind; the wait's loop ends, record_event writes the click while recording, and
// VORNA_next_event returns EVENT_MOUSE.
//
// How a key reaches a game. The toolkit's key press lands in the same event filter, which asks
// qt_post_key (platform/qt_input.cpp) to post MSG_KEY_DOWN with the runtime's key value (a
// character or a VORNA_KEY_ value) and the modifiers. VORNA_wait (input.cpp) sets full_input
// and waits as VORNA_next_event does; graphics_window_proc hands the key-down to
// menu_handle_message (a Ctrl command takes it) and then to input_handle_message, which keeps
// the held keys and settles EVENT_KEY; the character the key-down also typed is no second
// event. Releases, buttons, moves and the wheel go the same way; record_event writes them in
// VORNA_wait's own script lines.
//
// How a drawing reaches the screen. VORNA_draw_* (primitives.cpp) checks and corrects its
// arguments (check_color, check_width, ..., each correction printed), writes its log line
// (log_drawing, console.cpp) and calls render_command, which maps logical to canvas pixels,
// marks the canvas dirty and hands shapes to the canvas's batch (raster/raster_batch.cpp):
// held there, a shape a later filled rectangle paints over is never drawn. settle_canvas draws
// what is held with raster_* (raster/raster.cpp) into the canvas's pixels
// (platform_surface_pixels) before anything reads them: text (platform_draw_text_line, which
// blends into them), a copy to the window, a picture, a recorded frame. Nothing is on the
// screen yet: the wait's next poll copies the whole canvas to the window's own
// picture (present_canvas_when_due, or present_canvas where it must be at once), and the
// window's paint (ClientArea::paintEvent, platform/qt_core.cpp) shows that picture before the
// poll returns. While a script is replayed, a copy within 16 ms of the last one is handed to
// platform_present_later instead, whose thread shows it when the 16 ms have passed unless a
// later poll has a newer picture by then (platform/qt_presenter.cpp).
#pragma once

#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"
#include "raster/raster_batch.h"
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
    LOOP_WATCH_MS = 3000, // a program this long out of the event wait is told it may be in a loop
    INSPECTOR_CALLS_KEPT = 8192, // the inspector tells the lines of this many last drawing calls
    INSPECTOR_LINE_MAX = 200,    // ... each kept to this length
};

// Exit statuses the runtime gives. 2 (a variable names something that cannot work) and 3 (the
// picture or the log could not be written) belong to unattended.cpp.
enum {
    EXIT_NOBODY_ANSWERS = 4, // VORNA_gets was asked for a prompt that nobody will ever answer
};

#define SCRIPT_FILE_NAME "VORNA.SCR"

// ---------------------------------------------------------------------------------------------
// The state record
// ---------------------------------------------------------------------------------------------

// Each field says who sets it and who clears it. Fields that nothing clears live for the run.
struct RuntimeState {
    // Windows and canvas.
    PlatformWindow *graphics_window = nullptr; // VORNA_startup; null before it ("not started")
    PlatformWindow *text_window = nullptr;     // VORNA_startup; the exit handler of an
                                               // unattended run clears it (nothing is drawn then)
    PlatformSurface *window_dc = nullptr;      // the graphics window's own picture: VORNA_startup
                                               // gets it, VORNA_shutdown releases it (null)
    PlatformSurface *canvas = nullptr;         // every primitive draws here: VORNA_startup
    RasterBatch canvas_held;                   // shapes on their way to the canvas: render_command
                                               // and VORNA_clear add, settle_canvas draws them
    int origin_x = 0;                          // the window pixel of logical (0, 0): MSG_SIZE in
    int origin_y = 0;                          // graphics_window_proc, then VORNA_startup
    bool origin_settled = false;               // VORNA_startup, once the drawing area is fixed;
                                               // from then on MSG_SIZE leaves the origin alone
    bool canvas_dirty = true;                  // render_command and VORNA_clear set it; a copy
                                               // to the window (present_canvas, paint) clears it,
                                               // as does handing it to platform_present_later
    bool present_held = false;                 // present_canvas_when_due put a copy off or left
                                               // it to the platform; the copy clears it
                                               // (present_held_canvas makes it)
    std::chrono::steady_clock::time_point presented_at{}; // every copy to the window
    unsigned long frames_presented = 0;        // counts copies to the window (diagnostics, tests)

    // Event wait and animation mode.
    int event_kind = 0;        // VORNA_next_event sets EVENT_NONE at its start; then
                               // events_handle_message (click, key), pump_one_message (quit),
                               // read_script_event (a script event) or the wait arming a tick
    int mouse_x = 0;           // 0 at the start of every wait; a click (events_handle_message)
    int mouse_y = 0;           // or a mouse line (read_script_event)
    signed char key = 0;       // 0 at the start of every wait; MSG_CHAR or a key line
    bool running = false;      // ANIM_RUN and the Animate command set it; ANIM_HALT, the Halt and
                               // Advance one frame commands, start-up and the playback commands
                               // clear it
    bool single_step = false;  // ANIM_STEP and Advance one frame set it; the wait clears it when
                               // it arms the tick, as do ANIM_HALT, start-up and playback commands
    bool quit_requested = false; // ANIM_QUIT sets it; nothing clears it
    bool timer_fired = false;  // MSG_TIMER (events_handle_message) sets it; arming a tick clears it
    int tick_interval_ms = TIMER_PERIOD_MS; // VORNA_set_tick_interval (input.cpp), also before
                                            // start-up, which starts the timer with it

    // Full input (input.cpp): what VORNA_wait adds to the event fields above, and the state
    // that VORNA_key_down and VORNA_mouse_position read.
    bool full_input = false;   // VORNA_wait sets it for the length of its wait, then clears it:
                               // key-downs, buttons, moves and the wheel settle events, and
                               // characters (MSG_CHAR) do not, the key-down being the event
    int event_key = 0;         // 0 at the start of every VORNA_wait; input_handle_message or a
    int event_button = 0;      // script line (read_script_event) sets them with the event
    int event_wheel = 0;
    int event_modifiers = 0;
    int event_repeat = 0;
    bool event_from_script = false; // VORNA_wait clears it; read_script_event sets it
    bool tick_owed = false;    // input_handle_message: an input replaced an armed tick during
                               // VORNA_wait; arming the next tick or delivering it clears it
    bool tick_catch_up = false; // VORNA_wait, after a live tick while running: a timer message
                               // that comes while the program draws counts for the next tick;
                               // arming or delivering a tick and the playback commands clear it
    bool keys_held[VORNA_KEY_LAST + 1] = {}; // input_note_event: set by a key event, cleared by
                                             // its key-up and when the focus goes elsewhere
    int buttons_held = 0;      // input_note_event: bit (1 << button) per button held; the focus
                               // going elsewhere clears it
    int pointer_x = 0;         // input_note_event: the last logical pointer position that a
    int pointer_y = 0;         // mouse message or mouse line carried
    bool pointer_known = false; // input_note_event sets it with the first position; never cleared
    bool uses_full_input = false; // the first VORNA_wait sets it; never cleared: the program owns
                                  // the plain function keys, and the aid keys take Shift

    // Teaching aids (aids.cpp), shown on the window only.
    bool aid_grid = false;     // the grid key sets and clears it
    bool aid_coordinates = false; // the coordinates key sets and clears it
    int aid_speed = 0;         // the speed key steps it through x1, x2, x4, x0.25, x0.5 (0: x1)

    // Inspector (inspector.cpp).
    bool aid_inspector = false; // the inspector key sets and clears it (inspector_toggle)
    std::int32_t *owner_record = nullptr; // inspector_toggle makes it when first turned on, kept
                                          // for the run: per canvas pixel, the serial of the call
                                          // that last painted it (0 unknown, -1 the last clear)
    struct InspectorCall *inspector_calls = nullptr; // made with it: the last calls, by serial
    std::int32_t inspector_serial = 0; // inspector_begin_call counts the calls drawn while it is on
    int calls_since_clear = 0;         // inspector_begin_call counts every drawing call; VORNA_clear
                                       // (inspector_cleared) sets it to 0
    char inspector_line[INSPECTOR_LINE_MAX + 1] = {}; // log_drawing while it is on: the line of
                                                      // the call about to be drawn, which takes it

    // Animated capture (capture.cpp).
    struct CaptureRecording *capture_key = nullptr; // the capture key starts and stops it (null);
                                                    // capture_finish stops it at the program's end
    struct CaptureRecording *capture_run = nullptr; // VORNA_GIF: unattended_begin starts it,
                                                    // capture_finish ends it (null)
    char *gif_path = nullptr;    // VORNA_GIF: unattended_read_environment
    char *frames_path = nullptr; // VORNA_FRAMES: unattended_read_environment; capture_finish, or a
                                 // frame that cannot be saved, frees it (null)
    long long capture_clock_ms = 0; // capture_run_event_returned: the run's time as it would run
                                    // live, where the next frame of VORNA_GIF begins
    std::chrono::steady_clock::time_point capture_wait_started{}; // capture_run_at_wait
    bool capture_wait_replayed = false; // capture_run_at_wait: the wait's event comes from a script

    // Console and drawing log.
    unsigned char logging = 1; // VORNA_set_logging and the Logging command set and clear it
    char *console_lines[CONSOLE_RING_SLOTS] = {}; // store_line (console.cpp) puts a copy of each
                                                  // printed line in; the line that overwrites it
                                                  // frees it
    int console_oldest = -1;   // store_line: the first line's slot, then moved on when the ring is
                               // full; -1 while the ring is empty
    int console_next = 0;      // store_line: the slot the next line goes to

    // Run menu and Ctrl keys.
    PlatformMenu *run_menu = nullptr; // build_run_menu, when the graphics window is created;
                                      // cleared as text_window is
    int ctrl_down = 0;                // menu_handle_message: set on Ctrl's key-down, cleared on
                                      // its key-up and when the program loses the focus

    // Script recording and playback.
    bool recording = false;   // toggle_recording sets and clears it; starting playback or Play
                              // One clears it through toggle_recording
    bool playback = false;    // toggle_playback sets it (also unattended_begin) and clears it;
                              // stop_playback (the script ended or failed) and a recording's
                              // start clear it
    bool play_one = false;    // request_play_one sets it; the wait clears it when it reads the
                              // script or arms a tick; stop_playback and a recording's start too
    int pending_ticks = 0;    // recording: ticks returned, not yet written (record_event counts
                              // them, the next line written clears them); playback: ticks still
                              // owed by the last VORNA_PERIODIC line (read_script_event sets and
                              // counts them down, stopping playback by its command clears them)
    std::FILE *script = nullptr; // the writer or the reader opens it on first use; only
                                 // close_script closes it (back to null)
    bool script_write_failing = false; // write_script_line: set when a write fails (reported once),
                                       // cleared by a write that succeeds or a fresh open

    // Prompt dialog.
    char *prompt_result = nullptr; // VORNA_gets: the caller's buffer, from the moment the dialog
                                   // opens; kept after the call
    int prompts_unanswered = 0;    // VORNA_gets counts the prompts in a row that nobody answered
                                   // (no dialog could be shown); VORNA_next_event clears it

    // Unattended runs: what the environment asked for at start-up (unattended.cpp). All are set
    // by unattended_read_environment.
    char *play_script = nullptr;  // VORNA_PLAY: the script that playback reads, instead of VORNA.SCR
    bool play_exit = false;       // VORNA_PLAY_EXIT: playback ending by itself quits the program
    char *picture_path = nullptr; // VORNA_PICTURE: where shut-down saves the picture; freed (null)
                                  // by unattended_finish once saved
    char *log_path = nullptr;     // VORNA_LOG: the file that every printed and logged line goes to
    int log_fd = -1;              // ... open for appending, or -1: unattended_finish, a failed
                                  // write or the size limit closes it
    std::FILE *log_shares = nullptr; // stdout or stderr when the log is the very file that stream
                                     // writes (log_fd is then a duplicate of its descriptor), so
                                     // the stream is flushed before every log line; else null
    unsigned long long log_limit = 0;   // VORNA_LOG_LIMIT, or its default: the most bytes of lines
                                        // the run writes to the log
    unsigned long long log_written = 0; // unattended_log_line counts the bytes it wrote
    char *record_path = nullptr;  // VORNA_RECORD: the file recording writes instead of VORNA.SCR;
                                  // unattended_begin starts recording it
    int *picture_at = nullptr;    // VORNA_PICTURE_AT: the event numbers to picture, ascending,
    int picture_at_count = 0;     // without repeats
    long events_returned = 0;     // unattended_event_returned counts the waits' events (from 1)
    int picture_at_due = 0;       // unattended_event_returned: the event whose picture is saved at
                                  // the next wait or the end (unattended_before_wait and
                                  // unattended_finish save it and clear it); 0 when none
    bool outputs_failed = false;  // a picture or the log could not be written (report_unfinished)
    char *answers_path = nullptr; // VORNA_ANSWERS: the file whose lines answer VORNA_gets
    std::FILE *answers = nullptr; // ... open for reading for the whole run; VORNA_gets reads one
                                  // line per prompt
    bool play_ended = false;      // stop_playback sets it when the VORNA_PLAY script of a
                                  // VORNA_PLAY_EXIT run has ended; nothing clears it
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
// once per PRESENT_INTERVAL_MS (held back, it reaches the screen when that has passed, by the
// platform or at a later poll); at once otherwise.
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
// Draws the shapes held for the canvas: before its pixels are read or blended into.
void settle_canvas(void);
// Measurement seam: sees every command render_command draws, with the origin it used.
extern void (*render_observer)(const DrawCommand *command, int origin_x, int origin_y);

// events.cpp
void pump_one_message(void);
void events_handle_message(const PlatformMessage *message); // timer, left button, character

// input.cpp
// Key, button, move and wheel messages: keeps the held keys and the pointer, and while
// VORNA_wait waits (full_input) settles the event.
void input_handle_message(const PlatformMessage *message);
// Brings the held keys, buttons and pointer up to the settled event (live or from a script).
void input_note_event(void);

// console.cpp
// Formats into a FORMAT_BUFFER_SIZE buffer, never past it: a longer text is cut to 1023
// characters. Returns the number of characters the format produced (as vsnprintf does). Every
// printed line and log line is formatted here, and so is the text of VORNA_printf_at.
int format_bounded(char *buffer, const char *format, std::va_list args);
void console_draw_line(char *text);
// One line of the drawing log: printed when logging is on, and always written to the VORNA_LOG
// file; formatted only when one of the two wants it.
void log_drawing(const char *format, ...) VORNA_PRINTF_LIKE(1, 2);
void text_window_proc(PlatformWindow *window, const PlatformMessage *message);
void console_repaint(void);
// Puts a copy of a printed line into the ring of the last lines (a line that cannot be copied
// is not kept).
void console_store_line(const char *text, std::size_t length);
// Test seam: the allocator for console line copies, and an observer of every printed line.
extern void *(*console_alloc)(std::size_t size);
extern void (*console_observer)(const char *line);

// loop_watch.cpp
// Starts the endless-loop watchdog (VORNA_startup), unless loop_watch_after_ms is 0.
void loop_watch_start(void);
void loop_watch_stop(void); // VORNA_shutdown: the program is ending by itself
// Tells the console, once, about a stall the watchdog reported: called whenever the program
// draws or prints.
void loop_watch_tell_console(void);
// Test seam: how long out of the wait counts as a stall (LOOP_WATCH_MS); 0 leaves the watchdog
// off. The test programs sit between waits as long as they like, so they set it to 0.
extern int loop_watch_after_ms;

// aids.cpp
// The aid a key-down asks for (1 for F1 ...), or 0 when it is no aid key for this program.
int aid_for_key(const PlatformMessage *message);
// Acts on an aid key (menu_handle_message); false for any other message.
bool aids_take_key(const PlatformMessage *message);
// The coordinates label's text for a client pixel: "(x, y) colour name" (logical, y up).
void aids_describe_pixel(int pixel_x, int pixel_y, char *text, std::size_t size);
// A pointer move while the coordinates aid is on moves its label (graphics_window_proc).
void aids_note_pointer(const PlatformMessage *message);
// The timer period the window system is asked for: the tick interval at the speed factor. The
// program's own interval and its script never change with it.
int delivered_tick_period(int interval_ms);

// inspector.cpp
// The inspector key: turns the inspector on (making its record at the first time) or off.
void inspector_toggle(void);
// log_drawing while the inspector is on: the line of the call about to be drawn.
void inspector_note_line(const char *line);
// render_command, for every call: counts it and, while the inspector is on, keeps its line and
// outline and has the rasterizer record its pixels in the target (null for text).
void inspector_begin_call(const DrawCommand *command, RasterTarget *target);
// A text call's box (client pixels, right and bottom excluded) is its pixels.
void inspector_mark_text(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom);
// VORNA_clear: the numbering starts again, every pixel is the clear's.
void inspector_cleared(void);
// What painted the client pixel, as the inspector says it; *found is the call when one is known.
struct InspectorCall;
void inspector_describe_pixel(int pixel_x, int pixel_y, char *text, std::size_t size, const InspectorCall **found);
// A click while the inspector is on: the line on the console and beside the pointer, and the
// shape's outline over the window.
void inspector_click(int pixel_x, int pixel_y);

// gif_encoder.cpp: animated GIF files written a frame at a time, a frame being the pixels of a
// width x height picture (0xFFRRGGBB, stride pixels from row to row) and its delay.
struct GifEncoder;
// Starts the file on the open descriptor, which the encoder owns from now on (also when it
// fails: null, with the reason).
GifEncoder *gif_encoder_open(int fd, int width, int height, const char **reason);
// Writes one frame at once; false once anything could not be written.
bool gif_encoder_put_frame(GifEncoder *encoder, const std::uint32_t *pixels, std::ptrdiff_t stride, int delay_cs);
long gif_encoder_frames(const GifEncoder *encoder);
// Ends the file and closes it: null, or why the file is not whole.
const char *gif_encoder_close(GifEncoder *encoder);

// capture.cpp
// The canvas as the picture shown from at_ms on (ms since the recording began).
void capture_offer(struct CaptureRecording *recording, long long at_ms);
// The window has just been given the canvas: the capture key's recording takes it.
void capture_window_shown(void);
// The capture key: starts recording the first free VORNA-0001.gif .. VORNA-9999.gif, or stops.
void capture_toggle_key_recording(void);
bool capture_recording_by_key(void);
// unattended_begin: starts the VORNA_GIF recording; null, or why it cannot be written.
const char *capture_run_begin(void);
// A wait begins (and the run ends): the VORNA_GIF frame and the VORNA_FRAMES picture.
void capture_run_at_wait(void);
// A wait returns an event: the run's time moves on by that event's length.
void capture_run_event_returned(void);
// The program's end: stops the key's recording and finishes VORNA_GIF, after the final picture.
void capture_finish(void);

// menu.cpp
void build_run_menu(PlatformWindow *window);
void perform_command(int id);
void menu_handle_message(const PlatformMessage *message); // command, key-down, key-up, focus
// True for a key-down that a Ctrl command takes: it is no key event for VORNA_wait.
bool menu_takes_key(const PlatformMessage *message);

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
// The script that recording writes: the VORNA_RECORD file, or VORNA.SCR.
const char *script_write_name(void);
// Starts recording and opens (empties) its file at once: VORNA_RECORD at start-up.
void start_recording_now(void);
// Ends a recording, writing its pending ticks: shut-down and the program's end.
void finish_recording(void);

// picture.cpp
// Saves the canvas as a PNG file, replacing the file only once the whole picture is written.
// Returns null, or the reason why nothing was saved.
const char *save_picture_file(const char *path);
// Follows `path` while it is a symbolic link (a relative one counts from its own folder) and
// writes the name it finally reaches into `target`: a file that is no link, or a name where
// nothing is yet. Returns 0, or the errno value (ELOOP for a loop of links).
int resolve_final_link(const char *path, char *target, std::size_t target_size);
// F12: saves the canvas as the first free VORNA-0001.png .. VORNA-9999.png and says so.
void save_numbered_picture(void);
// Creates an empty temporary file, readable only by its owner, beside `path` (in the same
// folder, so that a rename can put it in place); writes its name into `temp`. Returns the
// open descriptor, or -1 with errno set.
int create_temp_beside(const char *path, char *temp, std::size_t temp_size);
// Writes the whole block, going on after interruptions; false with errno set when the file
// takes less.
bool write_all(int fd, const char *bytes, std::size_t size);
// Why a file of this kind cannot be a picture or a script: null for a regular file.
struct stat;
const char *not_regular_reason(const struct stat *status);

// unattended.cpp
// Reads the unattended-run variables (see unattended.cpp). A value that cannot work ends the
// process with status 2 and a message on stderr, before any window opens.
void unattended_read_environment(void);
// End of start-up: begins playing the VORNA_PLAY script, or recording the VORNA_RECORD one.
void unattended_begin(void);
// Shut-down, or the program's end without it: ends a recording, saves the pictures still owed
// and closes the log. Only the first call does anything.
void unattended_finish(void);
// A wait begins: saves the VORNA_PICTURE_AT picture still owed.
void unattended_before_wait(void);
// A wait returns an event: counts it, and notes when its picture is owed.
void unattended_event_returned(void);
// Something the run was asked to leave (a picture, the log, the VORNA_RECORD script) is missing:
// the line is printed on the console (and so in the log while it is open) and on stderr, where
// a marking script sees it, and a status of 0 becomes 3.
void unattended_report_unfinished(const char *line);
// Why recording must not write this file: it is one that another unattended variable names
// ("it is the script that VORNA_PLAY plays", ...); null when it is none of them.
const char *unattended_file_owner(const char *path);
// Appends one printed line to the VORNA_LOG file, if there is one.
void unattended_log_line(const char *line);
// True when nobody can answer the prompt dialog: the run plays VORNA_PLAY and then quits.
bool unattended_without_user(void);

// threads.cpp
// VORNA_startup: the calling thread is the one the runtime works on from now on.
void note_runtime_thread(void);
// True, after a message on stderr (once per function), when a public function is called from
// another thread than the one that started the runtime: the call must then do nothing.
bool refuse_other_thread(const char *function);
