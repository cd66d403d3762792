// windows.cpp: start-up and shut-down, the two windows, the canvas and its copy to the screen.
#include "runtime_internal.h"

RuntimeState runtime_state;

// Logical (0, 0) is the centre of the client rectangle, which starts at (0, 0).
static void set_origin(int client_width, int client_height) {
    runtime_state.origin_x = 0 + (client_width - 0) / 2;
    runtime_state.origin_y = 0 + (client_height - 0) / 2;
}

// Copies the whole canvas to the window's picture and notes when.
static void copy_canvas_to_window(void) {
    settle_canvas();
    if (runtime_state.window_dc && runtime_state.canvas)
        platform_copy_surface(runtime_state.window_dc, runtime_state.canvas);
    runtime_state.canvas_dirty = false;
    runtime_state.present_held = false;
    runtime_state.presented_at = std::chrono::steady_clock::now();
    runtime_state.frames_presented++;
    capture_window_shown();
}

int VORNA_startup(PlatformInstance instance, PlatformInstance previous_instance, char *command_line,
                  int show_mode) {
    (void)instance;          // nothing here needs the program's instance
    (void)previous_instance; // the window kinds are set up afresh for every program
    (void)command_line;      // never read
    if (refuse_other_thread("VORNA_startup")) return 0;
    note_runtime_thread();
    unattended_read_environment();
    int screen_width = 0, screen_height = 0;
    platform_screen_size(&screen_width, &screen_height);

    runtime_state.running = false;
    runtime_state.single_step = false;

    runtime_state.graphics_window = platform_create_graphics_window(
        "VORNA Graphics", 0, 0, WINDOW_OUTER_WIDTH, WINDOW_OUTER_HEIGHT, graphics_window_proc);
    runtime_state.text_window = platform_create_console_window(
        "VORNA Text", 0, (2 * screen_height) / 3 + 1, screen_width, screen_height / 3, text_window_proc);

    runtime_state.window_dc = platform_window_surface(runtime_state.graphics_window);
    runtime_state.canvas = platform_create_surface(CANVAS_WIDTH, CANVAS_HEIGHT);

    const int show = show_mode != 0 ? 1 : 0;
    platform_show_window(runtime_state.text_window, show);
    platform_show_window(runtime_state.graphics_window, show);
    // The drawing area and the origin are fixed here, before the program draws anything: what
    // is drawn at a logical point and a click on that pixel agree for the whole run, even when
    // a window manager frames the window late.
    platform_settle_window(runtime_state.graphics_window, WINDOW_SETTLE_MS);
    int client_width = 0, client_height = 0;
    platform_client_size(runtime_state.graphics_window, &client_width, &client_height);
    set_origin(client_width, client_height);
    runtime_state.origin_settled = true;

    platform_start_timer(runtime_state.graphics_window, TIMER_ANIMATION_ID,
                         delivered_tick_period(runtime_state.tick_interval_ms));
    platform_quit_on_signals();
    unattended_begin();
    loop_watch_start();
    return 1;
}

int VORNA_shutdown(void) {
    if (refuse_other_thread("VORNA_shutdown")) return 0;
    // The program is ending by itself: a quit a signal asked for is settled.
    platform_quit_signal_settled();
    loop_watch_stop();
    present_held_canvas();
    unattended_finish(); // ends a recording too, with its pending ticks
    platform_release_window_surface(runtime_state.graphics_window, runtime_state.window_dc);
    runtime_state.window_dc = nullptr;
    close_script();
    return 1;
}

void present_canvas(void) {
    if (!runtime_state.canvas_dirty || !runtime_state.window_dc || !runtime_state.canvas) return;
    copy_canvas_to_window();
}

// A replayed script hands out events as fast as the program draws them; no screen shows more
// than one picture per refresh, and each copy costs about as much as composing a frame. Live
// input and the timer's ticks come slowly enough to be shown one by one, at once. Held back,
// the picture goes to the platform, which shows it when the refresh has passed even if the
// program then computes without polling; where the platform cannot, the wait never sleeps
// while the canvas is dirty, so a later poll makes the copy: the last frame always reaches the
// screen.
void present_canvas_when_due(void) {
    if (!runtime_state.canvas_dirty) return;
    if (runtime_state.playback || runtime_state.play_one) {
        settle_canvas();
        if (platform_present_later(runtime_state.window_dc, runtime_state.canvas, PRESENT_INTERVAL_MS)) {
            runtime_state.canvas_dirty = false;
            runtime_state.present_held = true;
            capture_window_shown();
            return;
        }
        if (std::chrono::steady_clock::now() - runtime_state.presented_at <
            std::chrono::milliseconds(PRESENT_INTERVAL_MS)) {
            runtime_state.present_held = true;
            return;
        }
    }
    present_canvas();
}

void present_held_canvas(void) {
    if (runtime_state.present_held) copy_canvas_to_window();
}

void graphics_window_proc(PlatformWindow *window, const PlatformMessage *message) {
    switch (message->kind) {
    case MSG_CREATE:
        build_run_menu(window);
        break;
    case MSG_SIZE:
        // Only until start-up settles the window: moving the origin under a program would
        // part its picture from its clicks.
        if (!runtime_state.origin_settled) set_origin(message->a, message->b);
        break;
    case MSG_PAINT:
        copy_canvas_to_window();
        break;
    case MSG_DESTROY:
        platform_post_quit(0);
        break;
    case MSG_TIMER:
    case MSG_CHAR:
        events_handle_message(message);
        break;
    case MSG_LBUTTON_DOWN:
        if (runtime_state.aid_inspector) { // the inspector's click, not the program's
            inspector_click(platform_message_x(message), platform_message_y(message));
            break;
        }
        if (!runtime_state.full_input) events_handle_message(message); // VORNA_wait's is input's
        input_handle_message(message);
        break;
    case MSG_BUTTON_UP:
        if (runtime_state.aid_inspector && message->c == VORNA_BUTTON_LEFT) break; // the inspector's
        [[fallthrough]];
    case MSG_BUTTON_DOWN:
    case MSG_MOUSE_MOVE:
    case MSG_WHEEL:
        aids_note_pointer(message);
        input_handle_message(message);
        break;
    case MSG_COMMAND:
        menu_handle_message(message);
        break;
    case MSG_KEY_DOWN:
    case MSG_KEY_UP:
    case MSG_FOCUS_LOST:
        menu_handle_message(message); // first: it knows the Ctrl commands
        input_handle_message(message);
        break;
    default:
        break;
    }
}
