// console.cpp: the text console, its ring of the last 25 lines, and the drawing-log switch.
#include <cstdlib>
#include <cstring>

#include "runtime_internal.h"

void *(*console_alloc)(std::size_t size) = std::malloc;
void (*console_observer)(const char *line) = nullptr;

namespace {

int next_slot(int slot) { return (slot + 1) % CONSOLE_RING_SLOTS; }

} // namespace

// Stores a copy of the line in the ring. The copy is made before anything changes, so a copy
// that cannot be made leaves the ring and its two indices exactly as they were.
void console_store_line(const char *text, std::size_t length) {
    char *copy = static_cast<char *>(console_alloc(length + 1));
    if (!copy) return;
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    if (runtime_state.console_oldest == runtime_state.console_next) { // full: the oldest line goes
        std::free(runtime_state.console_lines[runtime_state.console_oldest]);
        runtime_state.console_lines[runtime_state.console_oldest] = nullptr;
        runtime_state.console_oldest = next_slot(runtime_state.console_oldest);
    }
    runtime_state.console_lines[runtime_state.console_next] = copy;
    if (runtime_state.console_oldest == -1) runtime_state.console_oldest = runtime_state.console_next;
    runtime_state.console_next = next_slot(runtime_state.console_next);
}

namespace {

// One formatted line to the ring, the observer, the log file and the screen. The screen comes
// last: drawing may shorten the buffer by its trailing newline.
void print_line(char *buffer) {
    loop_watch_tell_console(); // a stall the watchdog saw is told before the program's line
    console_store_line(buffer, std::strlen(buffer));
    if (console_observer) console_observer(buffer);
    unattended_log_line(buffer);
    console_draw_line(buffer);
}

} // namespace

int format_bounded(char *buffer, const char *format, std::va_list args) {
    const int produced = std::vsnprintf(buffer, FORMAT_BUFFER_SIZE, format ? format : "", args);
    if (produced < 0) buffer[0] = '\0';
    return produced;
}

int VORNA_print(const char *format, ...) {
    if (refuse_other_thread("VORNA_print")) return 0;
    char buffer[FORMAT_BUFFER_SIZE];
    std::va_list args;
    va_start(args, format);
    const int produced = format_bounded(buffer, format, args);
    va_end(args);
    print_line(buffer);
    return produced;
}

void log_drawing(const char *format, ...) {
    if (!runtime_state.logging && runtime_state.log_fd < 0 && !runtime_state.aid_inspector) return;
    char buffer[FORMAT_BUFFER_SIZE];
    std::va_list args;
    va_start(args, format);
    format_bounded(buffer, format, args);
    va_end(args);
    if (runtime_state.aid_inspector) inspector_note_line(buffer);
    if (runtime_state.logging)
        print_line(buffer);
    else
        unattended_log_line(buffer); // logging is off: the log file alone has the line
}

void console_draw_line(char *text) {
    if (!runtime_state.text_window) return; // lines printed before start-up are only stored
    std::size_t n = std::strlen(text);
    if (n > 0 && text[n - 1] == '\n') text[--n] = '\0';
    platform_console_scroll_line(runtime_state.text_window, text, static_cast<int>(n));
}

void console_repaint(void) {
    platform_console_clear(runtime_state.text_window);
    int slot = runtime_state.console_oldest;
    for (int count = 0; slot >= 0 && !(slot == runtime_state.console_next && count > 0); ++count) {
        char line[FORMAT_BUFFER_SIZE];
        std::strncpy(line, runtime_state.console_lines[slot] ? runtime_state.console_lines[slot] : "", sizeof line - 1);
        line[sizeof line - 1] = '\0';
        console_draw_line(line);
        slot = next_slot(slot);
    }
}

void text_window_proc(PlatformWindow *, const PlatformMessage *message) {
    switch (message->kind) {
    case MSG_PAINT:
        console_repaint();
        break;
    case MSG_KEY_DOWN:
    case MSG_KEY_UP:
        // Keys typed here act as if typed in the graphics window: commands and characters.
        if (runtime_state.graphics_window)
            platform_forward_message(runtime_state.graphics_window, message);
        break;
    default:
        break;
    }
}

int VORNA_set_logging(int on) {
    if (refuse_other_thread("VORNA_set_logging") || !runtime_state.graphics_window) return 0;
    runtime_state.logging = on ? 1 : 0;
    platform_menu_check(runtime_state.run_menu, CMD_LOGGING, runtime_state.logging);
    if (runtime_state.logging) VORNA_show_console(1);
    return 1;
}

void VORNA_show_console(int show) {
    if (refuse_other_thread("VORNA_show_console")) return;
    if (runtime_state.text_window) platform_show_window(runtime_state.text_window, show ? 1 : 0);
}
