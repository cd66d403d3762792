// platform_test.h: what tests and benchmarks read back from the window system, or do there in a
// user's place. The runtime never calls these: a backend that only runs programs needs none of
// them (platform.h is what it must supply). The Qt layer implements both headers; only tests
// and benchmarks include this one.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// ---------------------------------------------------------------------------------------------
// Windows and the message queue
// ---------------------------------------------------------------------------------------------

// Title, frame position and outer size, visibility.
const char *platform_window_title(PlatformWindow *window);
void platform_window_geometry(PlatformWindow *window, int *x, int *y, int *width, int *height);
int platform_window_visible(PlatformWindow *window);

// Delivers a left-button press and release at client pixel (x, y) of the graphics window the
// way the toolkit reports them; with double_click set the press comes as the second of a quick
// pair.
void platform_send_left_click(PlatformWindow *window, int x, int y, int double_click);

// Delivers a key press and release to the window the way the toolkit reports them: the key of
// the virtual-key code, typing the UTF-8 text, with Alt held when alt is set; when held is set,
// as the pair the toolkit repeats while the key is held down.
void platform_send_key(PlatformWindow *window, int vk_code, const char *utf8_text, int alt, int held);

// Delivers one key press (pressed set) or release to the graphics window's drawing area the
// way the toolkit reports it: the key by its portable name ("Left", "Home", "F5", "A",
// "Return", "Backtab", ...), the UTF-8 text it types, INPUT_MOD_* modifiers, and marked as a
// repeat of a held key when auto_repeat is set. With a scan code the key comes as a hardware
// key does, at the time given in milliseconds. 0 when the name means no key.
int platform_send_named_key(PlatformWindow *window, const char *key_name, const char *utf8_text, int modifiers,
                            int pressed, int auto_repeat, unsigned scan_code = 0, unsigned long time = 0);

// Delivers one pointer event at client pixel (x, y) of the graphics window's drawing area as
// the toolkit reports it. kind: MSG_BUTTON_DOWN or MSG_BUTTON_UP (button 1..3, any button,
// the left included), MSG_MOUSE_MOVE, or MSG_WHEEL (button is then the turn in eighths of a
// degree, 120 a notch, positive away from the user). held: the buttons held, bit 1 << button.
void platform_send_pointer(PlatformWindow *window, int kind, int x, int y, int button, int held, int modifiers);

// The colour the screen shows at client pixel (x, y) of the window, as 0x00RRGGBB, once the
// toolkit has made the repaints it owes; 0xFFFFFFFF when it cannot be read.
std::uint32_t platform_window_shown_pixel(PlatformWindow *window, int x, int y);
// The inspector's outline over the window now: its OUTLINE_ shape (OUTLINE_NONE when none).
int platform_window_outline(PlatformWindow *window);

// Lets the toolkit deliver what it has, then drops every queued message.
void platform_flush_messages(void);

// ---------------------------------------------------------------------------------------------
// Surfaces
// ---------------------------------------------------------------------------------------------

// Reads one pixel back as 0x00RRGGBB; 0xFFFFFFFF outside the surface.
std::uint32_t platform_surface_pixel(PlatformSurface *surface, int x, int y);

// Writes the surface to a PNG file; 1 on success.
int platform_save_surface(PlatformSurface *surface, const char *path);

// A new surface holding the picture of an image file, or null when it cannot be read;
// platform_destroy_surface frees a surface that no window shows.
PlatformSurface *platform_load_surface(const char *path);
void platform_destroy_surface(PlatformSurface *surface);

// A text line drawn again is blitted from a cache of its glyphs' masks; with the cache off (0)
// every line is drawn by the font system. Either way the cache is emptied.
void platform_set_text_cache(int on);
// How many lines the cache holds; *usable (when given) receives how many of them are blitted
// (the others were found to differ and are drawn by the font system).
int platform_text_cache_lines(int *usable);

// ---------------------------------------------------------------------------------------------
// Console window content
// ---------------------------------------------------------------------------------------------

// The text of the console's visible rows, top to bottom; returns the row count.
int platform_console_rows(PlatformWindow *window, char rows[][256], int max_rows);

// The bottom row's text as last drawn on the screen, in UTF-8 (control characters as the
// symbols that stand for them); returns its length in bytes.
int platform_console_shown_row(PlatformWindow *window, char *text, int size);

// ---------------------------------------------------------------------------------------------
// Menus
// ---------------------------------------------------------------------------------------------

// Item count; for item i its identifier (-1 for a separator), text, flags.
int platform_menu_item_count(PlatformMenu *menu);
int platform_menu_item_info(PlatformMenu *menu, int index, int *id, char *text, int text_size, int *flags);

// Triggers item i as if the user chose it.
void platform_menu_trigger(PlatformMenu *menu, int index);

// ---------------------------------------------------------------------------------------------
// Prompt dialog
// ---------------------------------------------------------------------------------------------

// The dialog's items by identifier.
enum { PROMPT_OK = 101, PROMPT_EDIT = 102, PROMPT_TEXT = 103 };

// Access to the open prompt dialog. A driver, while one is set, is called at the start of
// every pass of the dialog's modal loop (pass counts from 0); with a driver set the loop does
// not sleep when the queue is empty, so the driver must keep things moving.
struct PlatformDialog;
using PlatformDialogDriver = void (*)(PlatformDialog *dialog, int pass, void *context);
void platform_prompt_dialog_set_test_driver(PlatformDialogDriver driver, void *context);

// Sends a key press and release (a VK_CODE_* or letter code) to the item with the focus.
void platform_dialog_press_key(PlatformDialog *dialog, int vk_code, int ctrl);
// Types UTF-8 text into the item with the focus, one key per character.
void platform_dialog_type_text(PlatformDialog *dialog, const char *utf8_text);
void platform_dialog_click_okay(PlatformDialog *dialog);
// Asks the dialog to close, as its close box does.
void platform_dialog_request_close(PlatformDialog *dialog);
int platform_dialog_visible(PlatformDialog *dialog);
const char *platform_dialog_title(PlatformDialog *dialog);
// Identifier of the item with the keyboard focus, 0 for none.
int platform_dialog_focus_item(PlatformDialog *dialog);
// The prompt line as shown, in Latin-1, NUL-terminated; returns its length.
int platform_dialog_prompt_text(PlatformDialog *dialog, char *text, int size);
// Pixel rectangle of an item relative to the dialog's client area; item 0 is the dialog's
// client area itself, relative to the owner's client area.
void platform_dialog_item_geometry(PlatformDialog *dialog, int item, int *x, int *y, int *width, int *height);
// Pixels per 4 horizontal and per 8 vertical dialog units (the font's average character
// width and height).
void platform_dialog_base_units(int *char_width, int *char_height);
