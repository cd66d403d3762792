// platform.h: the small window-system layer the runtime is written against.
//
// Windows, a message queue polled one message at a time, a timer, menus with check marks,
// pixel surfaces with text and a modal prompt dialog, behind plain functions: exactly what a backend
// must supply to the runtime. What tests and benchmarks read back or do in a user's place is
// in platform_test.h. The implementation is Qt 6 Widgets; no toolkit type appears in this
// header. Every function runs on the one thread that started the toolkit (the Qt layer may
// draw held pictures from a thread of its own).
#pragma once

#include <cstddef>
#include <cstdint>

struct PlatformWindow;  // a top-level window
struct PlatformSurface; // a pixel surface: the off-screen canvas or a window's own picture
struct PlatformMenu;    // a popup menu

// Colours are packed 0x00BBGGRR: red in the low byte, then green, then blue.
using PlatformColor = std::uint32_t;

// ---------------------------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------------------------

enum PlatformMessageKind {
    MSG_CREATE = 1,      // window being created (delivered synchronously inside creation)
    MSG_SIZE,            // a = client width, b = client height
    MSG_PAINT,           // the window was exposed and should restore its picture
    MSG_DESTROY,         // the window was closed by the user
    MSG_TIMER,           // a = timer identifier
    MSG_LBUTTON_DOWN,    // a = x, b = y: client pixel position
    MSG_KEY_DOWN,        // a = virtual-key code, b = 1 when the key is already down (a held key's
                         // repeat, also one the window system does not flag), c = character
                         // it types or -1
    MSG_KEY_UP,          // a = virtual-key code
    MSG_CHAR,            // a = character code 0..255
    MSG_COMMAND,         // a = menu command identifier
    MSG_QUIT,            // a = exit code, b = QUIT_FROM_SIGNAL or 0; window is null
    MSG_FOCUS_LOST,      // the program's windows lost the keyboard focus to another program
    // Full input (see "Input for games" below). Positions are client pixels, not masked.
    MSG_BUTTON_DOWN,     // a = x, b = y, c = button (INPUT_BUTTON_RIGHT or _MIDDLE)
    MSG_BUTTON_UP,       // a = x, b = y, c = button (any of the three)
    MSG_MOUSE_MOVE,      // a = x, b = y, c = the button held (left first), 0 for none
    MSG_WHEEL,           // a = x, b = y, c = whole wheel steps, positive away from the user
};

// A quit that a signal (SIGINT, SIGTERM) asked for: it also ends an open prompt dialog.
enum { QUIT_FROM_SIGNAL = 1 };

struct PlatformMessage {
    PlatformWindow *window; // target window; null for MSG_QUIT
    int kind;               // a PlatformMessageKind
    int a;
    int b;
    int c;
    // Input messages (key, button, move, wheel) only; 0 in all others.
    int key = 0;            // MSG_KEY_DOWN, MSG_KEY_UP: the runtime's key value (below)
    int modifiers = 0;      // INPUT_MOD_* bits held when the input happened
};

// The client pixel position that a MSG_LBUTTON_DOWN carries in a and b, 16 bits each.
enum { MESSAGE_POSITION_MASK = 0xFFFF };
inline int platform_message_x(const PlatformMessage *message) { return message->a & MESSAGE_POSITION_MASK; }
inline int platform_message_y(const PlatformMessage *message) { return message->b & MESSAGE_POSITION_MASK; }

// Virtual-key codes used by the key messages: letters and digits are their upper-case
// character codes whatever Shift or Caps Lock, either Ctrl key is 17.
enum {
    VK_CODE_BACKSPACE = 8,
    VK_CODE_TAB = 9,
    VK_CODE_RETURN = 13,
    VK_CODE_SHIFT = 16,
    VK_CODE_CONTROL = 17,
    VK_CODE_ALT = 18,
    VK_CODE_ESCAPE = 27,
    VK_CODE_SPACE = 32,
    VK_CODE_LEFT = 37,
    VK_CODE_UP = 38,
    VK_CODE_RIGHT = 39,
    VK_CODE_DOWN = 40,
    VK_CODE_DELETE = 46,
    VK_CODE_F1 = 112, // F1..F24 are 112..135
    VK_CODE_F12 = VK_CODE_F1 + 11,
    VK_CODE_F24 = VK_CODE_F1 + 23,
};

// ---------------------------------------------------------------------------------------------
// Input for games
// ---------------------------------------------------------------------------------------------
//
// Besides the virtual-key code, every key message carries the runtime's own key value, the one
// vorna.h gives programs, so that every backend hands out the same values for the same keys:
// - a key that types a printable character (32..255 but 127) on its own or with Shift: that
//   character; with Ctrl or Alt held, the character the key types without them (a letter key
//   its lower-case letter, or upper-case with Shift; a digit key its digit);
// - the named keys: VORNA_KEY_LEFT .. VORNA_KEY_F11 (Escape, Enter on either keyboard part, Tab
//   and Backspace included, although they type control characters);
// - 0 for every other key (Shift, Ctrl, Alt alone, F12 and beyond, keys unknown to the backend).
// A key-up carries the value that its key-down carried, whatever the modifiers did meanwhile.
// Mouse messages carry the modifiers too; MSG_LBUTTON_DOWN stays the left button's press.
// Pointer moves inside the graphics window's drawing area (and outside it while a button is
// held) are coalesced: a move posted while the queue holds a move to the same window with no
// other input after it (timer, paint and size messages aside) replaces that move, so the queue
// holds the latest position only, in its place among the other input.
enum { INPUT_MOD_SHIFT = 1, INPUT_MOD_CTRL = 2, INPUT_MOD_ALT = 4 };
enum { INPUT_BUTTON_LEFT = 1, INPUT_BUTTON_RIGHT = 2, INPUT_BUTTON_MIDDLE = 3 };

// Posts a copy of the whole message (input fields included) to another window.
void platform_forward_message(PlatformWindow *window, const PlatformMessage *message);

// Sets the period of a timer started with platform_start_timer; the next message comes one
// whole period from now.
void platform_set_timer_period(PlatformWindow *window, int timer_id, int period_ms);

// A window procedure: acts on one dispatched message.
using PlatformWindowProc = void (*)(PlatformWindow *window, const PlatformMessage *message);

// ---------------------------------------------------------------------------------------------
// Process
// ---------------------------------------------------------------------------------------------

// Prepares the toolkit once (a no-op when it is already prepared, as in tests). The toolkit is
// given the program's name only (null: a default), never the program's arguments.
void platform_init(const char *program_name);

// Width and height of the primary screen in pixels.
void platform_screen_size(int *width, int *height);

// Marks the run as failed: when the program's graphical entry returns 0, the process ends with
// this status instead (a non-zero status from the program is kept).
void platform_set_failure_status(int status);

// The handler the process entry calls when the program's graphical entry returns, before the
// exit status is decided: it finishes what the run must leave even when the program did not
// shut down (null: none).
void platform_at_program_end(void (*handler)(void));

// ---------------------------------------------------------------------------------------------
// Windows
// ---------------------------------------------------------------------------------------------

// The graphics window: fixed outer size (frame and menu bar included), a menu bar and a
// drawing area (the client area) that shows the window's own surface. Sends MSG_CREATE and
// the first MSG_SIZE synchronously before it returns. Not shown until platform_show_window.
PlatformWindow *platform_create_graphics_window(const char *title, int x, int y, int outer_width,
                                                int outer_height, PlatformWindowProc proc);

// The console window: an ordinary resizable window showing rows of fixed-pitch text.
// Sends MSG_CREATE and the first MSG_SIZE synchronously before it returns.
PlatformWindow *platform_create_console_window(const char *title, int x, int y, int width, int height,
                                               PlatformWindowProc proc);

// Shows or hides a window. A window the user closed stays closed.
void platform_show_window(PlatformWindow *window, int show);

// Waits, at most max_wait_ms and without spinning, until the window system shows the window,
// framed where a window manager frames it; fits the window's outer size to the asked one; and
// from then on keeps the graphics window's drawing area as it is: a frame that comes later or
// changes moves the outer edges, never the drawing area. No wait for a hidden window, nor where
// windows appear at once (no window manager, the offscreen platform). Input that arrives
// meanwhile stays queued.
void platform_settle_window(PlatformWindow *window, int max_wait_ms);

// 1 once the user has closed the window: it never comes back.
int platform_window_closed(PlatformWindow *window);

// Client area of a window (the drawing area of the graphics window).
void platform_client_size(PlatformWindow *window, int *width, int *height);

// Starts a repeating timer that posts MSG_TIMER with the identifier to the window.
void platform_start_timer(PlatformWindow *window, int timer_id, int period_ms);

// ---------------------------------------------------------------------------------------------
// Message queue
// ---------------------------------------------------------------------------------------------

// Removes the oldest message into *message and returns 1, or returns 0 when none is queued.
// With may_wait set and nothing queued, it sleeps until the toolkit has something new
// (input, a timer, a repaint) and then returns, possibly still with 0: it never spins.
int platform_peek_message(PlatformMessage *message, int may_wait);

// For a key-down that types a character, queues its MSG_CHAR to the same window to come next.
void platform_translate_message(const PlatformMessage *message);

// Calls the target window's procedure with the message.
void platform_dispatch_message(const PlatformMessage *message);

// Appends a message to the queue.
void platform_post_message(PlatformWindow *window, int kind, int a, int b, int c);

// Appends a quit message with the exit code.
void platform_post_quit(int exit_code);

// ---------------------------------------------------------------------------------------------
// Surfaces and text (pixel coordinates, 0,0 at the top left; any 64-bit value is safe)
// ---------------------------------------------------------------------------------------------

// A new off-screen surface, contents undefined.
PlatformSurface *platform_create_surface(int width, int height);

// The graphics window's own picture: copying into it puts the copy on the screen before the
// copy returns.
PlatformSurface *platform_window_surface(PlatformWindow *window);
void platform_release_window_surface(PlatformWindow *window, PlatformSurface *surface);

// Copies the whole of src into dst at (0, 0).
void platform_copy_surface(PlatformSurface *dst, PlatformSurface *src);

// For pictures that come faster than a screen shows them: a copy of src is to reach the window
// whose own picture dst is interval_ms after the window was last drawn (at once when that is
// past), even when the program does not poll meanwhile; a later copy of either kind replaces
// it. Returns 1 when the backend takes this on; 0 when it cannot draw while the program runs
// (the offscreen platform), and the caller must copy later itself.
int platform_present_later(PlatformSurface *dst, PlatformSurface *src, int interval_ms);

// The surface encoded as the bytes of a PNG file, in a block the caller frees with std::free;
// *size receives their number. Null when it cannot be encoded.
unsigned char *platform_surface_png(PlatformSurface *surface, std::size_t *size);

// The surface's pixels, for drawing straight into them (the runtime's shapes, raster/): 32-bit
// values 0xFFRRGGBB, *stride pixels from one row to the next, as many as the surface is wide
// and high. Valid until the surface is next copied, saved or destroyed; text may be drawn in
// between. Null for a surface without pixels.
std::uint32_t *platform_surface_pixels(PlatformSurface *surface, std::ptrdiff_t *stride);
int platform_surface_width(PlatformSurface *surface);
int platform_surface_height(PlatformSurface *surface);

// Height of one line of text in the runtime's text face at the pixel size (0: default size).
int platform_text_line_height(int size);
// Width of n bytes (Latin-1) of text in that face: the box platform_draw_text_line draws in.
int platform_text_width(int size, const char *text, int n);

// Draws n bytes (Latin-1) of text with the top-left corner of its cell at (left, top).
void platform_draw_text_line(PlatformSurface *surface, std::int64_t left, std::int64_t top, int size,
                             const char *text, int n, PlatformColor color);

// ---------------------------------------------------------------------------------------------
// Console window content
// ---------------------------------------------------------------------------------------------

// Scrolls the console's picture up by one line and draws n bytes in the freed bottom line,
// 5 pixels from the left edge. The line is on the screen at once, unless the console was drawn
// in the last 16 ms: then it follows, with the rest of the burst, when the 16 ms have passed,
// whatever the program does meanwhile (where nothing can draw while the program runs, as on
// the offscreen platform: at the first poll after that, or waking a sleeping one).
void platform_console_scroll_line(PlatformWindow *window, const char *text, int n);

// Clears the console's picture to white (start of a repaint).
void platform_console_clear(PlatformWindow *window);

// ---------------------------------------------------------------------------------------------
// Menus
// ---------------------------------------------------------------------------------------------

enum { MENU_ITEM_CHECKED = 1, MENU_ITEM_GRAYED = 2 };

// A new empty popup menu.
PlatformMenu *platform_create_popup_menu(void);

// Appends an item: "&" marks the mnemonic, a tab separates the right-aligned shortcut text.
// Choosing it posts MSG_COMMAND with the identifier to the window the menu is attached to.
void platform_menu_append_item(PlatformMenu *menu, int id, const char *text, int flags);
void platform_menu_append_separator(PlatformMenu *menu);

// Puts the popup on the window's menu bar under the title, as its only entry.
void platform_attach_menu(PlatformWindow *window, PlatformMenu *menu, const char *title);

// Sets or clears the check mark of every item with the identifier.
void platform_menu_check(PlatformMenu *menu, int id, int checked);

// ---------------------------------------------------------------------------------------------
// Prompt dialog
// ---------------------------------------------------------------------------------------------

// Shows the modal prompt dialog over the owner and keeps dispatching the message queue until
// the user presses Okay, or a quit from a signal ends it as Okay would. Any other quit is held
// until the dialog has ended and then posted again. Copies at most limit-1 characters of the
// entry (line breaks as CR LF) and a terminator into result. Returns 1, or -1 when the dialog
// cannot be created.
int platform_prompt_dialog(PlatformWindow *owner, const char *title, const char *prompt, char *result,
                           int limit);

// ---------------------------------------------------------------------------------------------
// Signals
// ---------------------------------------------------------------------------------------------

// Turns SIGINT and SIGTERM into a quit message (b = QUIT_FROM_SIGNAL), so the program ends
// through its normal path, and ignores SIGXFSZ, so that a write beyond the file-size limit
// fails instead of ending the program. A program that has not taken the quit up within about a
// second, or has not shut down within about a second after that, and any second signal
// meanwhile, ends the process as the signal's default action would.
void platform_quit_on_signals(void);

// The program is shutting down by itself: the quit a signal asked for is settled and no longer
// ends the process by force. A later signal starts afresh. Also called at the process's exit.
void platform_quit_signal_settled(void);

// 1 from the moment SIGINT or SIGTERM asks the program to quit until platform_quit_signal_settled.
int platform_quit_signal_pending(void);

// ---------------------------------------------------------------------------------------------
// Endless-loop watchdog
// ---------------------------------------------------------------------------------------------

// Watches the program from now on (after_ms 0: stops watching): whenever it goes after_ms
// without being in the event wait, stderr_text (kept, not copied) goes to standard error at
// once, from outside the program's thread, and platform_loop_watch_alarm reports it once. Each
// stall is reported once; the next begins when the program next leaves the wait.
void platform_watch_for_loops(int after_ms, const char *stderr_text);

// The program enters (1) or leaves (0) a wait for the user: the event wait or a prompt. Cheap
// enough for every event.
void platform_loop_watch_waiting(int in_wait);

// 1 once for each reported stall, taken by the first call after it; else 0.
int platform_loop_watch_alarm(void);

// ---------------------------------------------------------------------------------------------
// Teaching aids' overlays: drawn over the graphics window's picture on the screen only, never
// into a surface
// ---------------------------------------------------------------------------------------------

// Shows (on 1) or hides the axes through the client pixel (origin_x, origin_y) and a grid
// every 50 pixels from them, with the grid lines' logical values (y up) as labels.
void platform_show_grid(PlatformWindow *window, int on, int origin_x, int origin_y);

// Shows (on 1) or hides a small label with the text beside the client pixel (x, y), kept
// inside the drawing area.
void platform_show_label(PlatformWindow *window, int on, int x, int y, const char *text);

// Shows the text in a small badge at the top right of the drawing area; an empty text hides it.
void platform_show_badge(PlatformWindow *window, const char *text);

// The inspector's highlight of one shape: an outline through client pixels, drawn in a colour
// that shows on any picture. OUTLINE_POLYGON closes the points; OUTLINE_ELLIPSE is the ellipse
// in the box from the first point to the second; OUTLINE_LINE joins the first two points.
enum { OUTLINE_NONE = 0, OUTLINE_POLYGON = 1, OUTLINE_ELLIPSE = 2, OUTLINE_LINE = 3 };
enum { OUTLINE_POINTS_MAX = 4 };
void platform_show_outline(PlatformWindow *window, int shape, const int *xs, const int *ys, int count);
