// web_core.cpp: the page as the window system: the two windows, the message queue, the timers,
// input from the page, signals and the loop watchdog.
//
// The program runs on the page's only thread. The page's event handlers (page.js) call the
// exported web_* functions below, which only append messages to our own queue, as the Qt layer's
// event filter does; the runtime's window procedures act on them when a poll dispatches them.
// A poll that may wait hands the thread back to the page (Asyncify) until a handler or a timer
// has posted something: no CPU is used meanwhile. A poll that may not wait still lets the page
// run every PAGE_TURN_MS, so that input, timers and the screen keep moving while a program
// computes or a script plays back.
#include <emscripten.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <vector>

#include "platform/message_queue.h"
#include "platform/web/platform_web.h"

namespace {

enum { PAGE_TURN_MS = 16 };

std::deque<PlatformMessage> &message_queue = platform_message_queue;
PlatformWindow *graphics_window = nullptr;
PlatformWindow *console_window = nullptr;
std::vector<std::pair<int, PlatformWindow *>> timer_windows; // timer id -> the window it posts to
std::chrono::steady_clock::time_point page_turned_at = std::chrono::steady_clock::now();

// Loop watchdog: the page cannot be watched from outside the program's thread, so the runtime's
// own calls look at the clock (web_loop_watch_check) and the page's timer wakes nothing.
int watch_after_ms = 0;
const char *watch_text = nullptr;
bool watch_in_wait = true;
bool watch_reported = false;
bool watch_alarm = false;
std::chrono::steady_clock::time_point watch_left_wait_at;

EM_ASYNC_JS(void, page_wait_for_news, (), {
    await new Promise(function(resolve) { VornaPage.wake = resolve; });
});

EM_JS(void, page_start_timer, (int id, int period_ms), { VornaPage.startTimer(id, period_ms); });
EM_JS(void, page_show_window, (int console, int show), { VornaPage.showWindow(console, show); });
EM_JS(void, page_set_title, (const char *title), { VornaPage.setTitle(UTF8ToString(title)); });
EM_JS(void, page_client_size, (int *width, int *height), {
    var size = VornaPage.clientSize();
    HEAP32[width >> 2] = size[0];
    HEAP32[height >> 2] = size[1];
});

PlatformWindow *new_window(int kind, const char *title, PlatformWindowProc proc) {
    auto *window = new PlatformWindow;
    window->kind = kind;
    window->title = title ? title : "";
    window->proc = proc;
    window->surface.window = window;
    return window;
}

void send_now(PlatformWindow *window, int kind, int a, int b) {
    PlatformMessage message{window, kind, a, b, 0};
    platform_dispatch_message(&message);
}

void page_turn(void) {
    emscripten_sleep(0);
    page_turned_at = std::chrono::steady_clock::now();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Called by the page (page.js)
// ---------------------------------------------------------------------------------------------

extern "C" {

// Wakes a poll that sleeps: something new is on the queue.
static void wake_poll(void) {
    EM_ASM({
        if (VornaPage.wake) {
            var wake = VornaPage.wake;
            VornaPage.wake = null;
            wake();
        }
    });
}

EMSCRIPTEN_KEEPALIVE void web_post_input(int kind, int a, int b, int c, int key, int modifiers) {
    if (!graphics_window) return;
    PlatformMessage message{graphics_window, kind, a, b, c};
    message.key = key;
    message.modifiers = modifiers;
    platform_forward_message(graphics_window, &message);
    wake_poll();
}

EMSCRIPTEN_KEEPALIVE void web_post_timer(int id) {
    for (const auto &timer : timer_windows)
        if (timer.first == id) platform_post_message(timer.second, MSG_TIMER, id, 0, 0);
    wake_poll();
}

EMSCRIPTEN_KEEPALIVE void web_post_focus_lost(void) {
    if (graphics_window) platform_post_message(graphics_window, MSG_FOCUS_LOST, 0, 0, 0);
    wake_poll();
}

EMSCRIPTEN_KEEPALIVE void web_post_close(void) {
    if (!graphics_window || graphics_window->closed) return;
    graphics_window->closed = true;
    platform_post_message(graphics_window, MSG_DESTROY, 0, 0, 0);
    wake_poll();
}

EMSCRIPTEN_KEEPALIVE void web_post_command(int id) {
    web_menu_chosen(id);
    wake_poll();
}

EMSCRIPTEN_KEEPALIVE void web_wake(void) { wake_poll(); }

} // extern "C"

// ---------------------------------------------------------------------------------------------
// Process
// ---------------------------------------------------------------------------------------------

void platform_init(const char *) {
    // The browser's C library starts with a mask that takes every permission away, so a file
    // made with the mask applied (a picture, see picture.cpp) could not be read back, not even
    // to download it. The mask of a usual desktop session instead.
    umask(022);
}

void platform_screen_size(int *width, int *height) {
    // The page is the screen: the console goes below the canvas whatever these say.
    if (width) *width = 1024;
    if (height) *height = 768;
}

// ---------------------------------------------------------------------------------------------
// Windows
// ---------------------------------------------------------------------------------------------

PlatformWindow *platform_create_graphics_window(const char *title, int, int, int, int, PlatformWindowProc proc) {
    PlatformWindow *window = new_window(WINDOW_KIND_GRAPHICS, title, proc);
    graphics_window = window;
    page_set_title(window->title.c_str());
    page_client_size(&window->client_width, &window->client_height);
    window->surface.width = window->client_width;
    window->surface.height = window->client_height;
    window->surface.pixels.assign(std::size_t(window->client_width) * window->client_height, 0xFFFFFFFFu);
    send_now(window, MSG_CREATE, 0, 0);
    send_now(window, MSG_SIZE, window->client_width, window->client_height);
    return window;
}

PlatformWindow *platform_create_console_window(const char *title, int, int, int, int, PlatformWindowProc proc) {
    PlatformWindow *window = new_window(WINDOW_KIND_CONSOLE, title, proc);
    console_window = window;
    window->client_width = 601;
    window->client_height = 25 * 16;
    send_now(window, MSG_CREATE, 0, 0);
    send_now(window, MSG_SIZE, window->client_width, window->client_height);
    return window;
}

void platform_show_window(PlatformWindow *window, int show) {
    if (!window || window->closed) return;
    page_show_window(window->kind == WINDOW_KIND_CONSOLE ? 1 : 0, show);
}

void platform_settle_window(PlatformWindow *, int) {} // the page lays the canvas out at once

int platform_window_closed(PlatformWindow *window) { return window && window->closed ? 1 : 0; }

void platform_client_size(PlatformWindow *window, int *width, int *height) {
    if (width) *width = window ? window->client_width : 0;
    if (height) *height = window ? window->client_height : 0;
}

void platform_start_timer(PlatformWindow *window, int timer_id, int period_ms) {
    if (!window) return;
    timer_windows.emplace_back(timer_id, window);
    page_start_timer(timer_id, period_ms);
}

void platform_set_timer_period(PlatformWindow *window, int timer_id, int period_ms) {
    if (!window) return;
    page_start_timer(timer_id, period_ms); // starts it afresh: the next tick is one period away
}

// ---------------------------------------------------------------------------------------------
// Message queue
// ---------------------------------------------------------------------------------------------

int platform_peek_message(PlatformMessage *message, int may_wait) {
    web_loop_watch_check();
    if (message_queue.empty()) {
        if (may_wait) {
            page_wait_for_news();
            page_turned_at = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - page_turned_at >= std::chrono::milliseconds(PAGE_TURN_MS)) {
            page_turn();
        }
    }
    if (message_queue.empty()) return 0;
    *message = message_queue.front();
    message_queue.pop_front();
    return 1;
}

void platform_translate_message(const PlatformMessage *message) {
    if (message->kind == MSG_KEY_DOWN && message->c >= 0)
        message_queue.push_front(PlatformMessage{message->window, MSG_CHAR, message->c & 0xFF, 0, 0});
}

void platform_dispatch_message(const PlatformMessage *message) {
    if (message->window && message->window->proc) message->window->proc(message->window, message);
}

void web_flush_messages(void) { message_queue.clear(); }

PlatformWindow *web_graphics_window(void) { return graphics_window; }

// ---------------------------------------------------------------------------------------------
// Signals: a page has none; closing the tab ends everything at once.
// ---------------------------------------------------------------------------------------------

void platform_quit_on_signals(void) {}
void platform_quit_signal_settled(void) {}
int platform_quit_signal_pending(void) { return 0; }

// ---------------------------------------------------------------------------------------------
// Endless-loop watchdog
// ---------------------------------------------------------------------------------------------

void platform_watch_for_loops(int after_ms, const char *stderr_text) {
    watch_after_ms = after_ms;
    watch_text = stderr_text;
    watch_reported = false;
    watch_left_wait_at = std::chrono::steady_clock::now();
}

void platform_loop_watch_waiting(int in_wait) {
    watch_in_wait = in_wait != 0;
    if (!watch_in_wait) {
        watch_left_wait_at = std::chrono::steady_clock::now();
        watch_reported = false;
    }
}

int platform_loop_watch_alarm(void) {
    web_loop_watch_check();
    // A program that stays out of the wait and draws or prints still lets the page show it now
    // and then, so that the console's word about the loop can be read.
    if (watch_reported && !watch_in_wait &&
        std::chrono::steady_clock::now() - page_turned_at >= std::chrono::milliseconds(PAGE_TURN_MS))
        page_turn();
    const int alarm = watch_alarm ? 1 : 0;
    watch_alarm = false;
    return alarm;
}

void web_loop_watch_check(void) {
    if (watch_after_ms <= 0 || watch_in_wait || watch_reported) return;
    if (std::chrono::steady_clock::now() - watch_left_wait_at < std::chrono::milliseconds(watch_after_ms)) return;
    watch_reported = true;
    watch_alarm = true;
    if (watch_text) {
        std::fputs(watch_text, stderr);
        std::fflush(stderr);
    }
}
