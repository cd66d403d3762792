// input.cpp: full input for games: VORNA_wait, the held keys and the pointer, the tick interval.
//
// VORNA_wait is VORNA_next_event's wait with full_input set: the same polling, animation
// modes, script playback and recording, quit handling. While it waits, the window procedure's
// key, button, move and wheel messages come here (input_handle_message) and settle the event;
// characters do not, since the key-down that typed them already is the event. Without
// VORNA_wait nothing here settles an event, and VORNA_next_event behaves as it always has.
//
// Ticks and input. The classic wait drops a tick it had armed when a click or key comes
// first. For a game that holds a key (about 30 repeats a second) or moves the mouse, that
// would cost most ticks; so for VORNA_wait an input that comes while a tick is armed leaves
// the tick owed (tick_owed): the next wait delivers it at the timer message that was due, or
// at once when that message has come meanwhile. Ticks keep their rate; input is not delayed.
//
// Ticks and slow frames. The classic wait ignores a timer message that comes while the
// program draws, so a frame that overruns the period, once, costs a whole period. At 16 ms a
// game on a busy machine would then fall below 60 ticks a second; so after a tick VORNA_wait
// counts such a message for the next tick (tick_catch_up), which then comes at once. Still at
// most one tick per timer message, and only while the animation runs.
#include "runtime_internal.h"

namespace {

enum { TICK_INTERVAL_MIN_MS = 10, TICK_INTERVAL_MAX_MS = 1000 };

int logical_x(int pixel_x) { return pixel_x - runtime_state.origin_x; }
int logical_y(int pixel_y) { return runtime_state.origin_y - pixel_y; }

bool key_in_range(int key) { return key >= 1 && key <= VORNA_KEY_LAST; }

// Brings the held keys, buttons and pointer up to one event.
void note(int kind, int key, int button, int x, int y) {
    switch (kind) {
    case EVENT_KEY:
        if (key_in_range(key)) runtime_state.keys_held[key] = true;
        return;
    case EVENT_KEY_UP:
        if (key_in_range(key)) runtime_state.keys_held[key] = false;
        return;
    case EVENT_MOUSE:
        runtime_state.buttons_held |= 1 << button;
        break;
    case EVENT_MOUSE_UP:
        runtime_state.buttons_held &= ~(1 << button);
        break;
    case EVENT_MOUSE_MOVE:
    case EVENT_WHEEL:
        break;
    default:
        return;
    }
    runtime_state.pointer_x = x;
    runtime_state.pointer_y = y;
    runtime_state.pointer_known = true;
}

// While VORNA_wait waits: the message is the event. An armed tick that it replaces is owed.
void settle(int kind, int x, int y, int key, int button, int modifiers) {
    if (!runtime_state.full_input) return;
    if (runtime_state.event_kind == EVENT_TICK && !runtime_state.timer_fired) runtime_state.tick_owed = true;
    runtime_state.event_kind = kind;
    runtime_state.mouse_x = x;
    runtime_state.mouse_y = y;
    runtime_state.event_key = key;
    runtime_state.key = key >= 1 && key <= 255 ? static_cast<signed char>(key) : 0;
    runtime_state.event_button = button;
    runtime_state.event_wheel = 0;
    runtime_state.event_modifiers = modifiers;
    runtime_state.event_repeat = 0;
}

} // namespace

void input_handle_message(const PlatformMessage *message) {
    const int modifiers = message->modifiers & (VORNA_MOD_SHIFT | VORNA_MOD_CTRL | VORNA_MOD_ALT);
    switch (message->kind) {
    case MSG_KEY_DOWN: {
        const int key = message->key;
        // A Ctrl command's letter, and keys that have no value (Shift, F12, ...), are no input.
        if (!key_in_range(key) || menu_takes_key(message)) return;
        note(EVENT_KEY, key, 0, 0, 0);
        settle(EVENT_KEY, 0, 0, key, 0, modifiers);
        if (runtime_state.full_input) runtime_state.event_repeat = message->b != 0 ? 1 : 0;
        return;
    }
    case MSG_KEY_UP: {
        const int key = message->key;
        // Only a key whose press was input has a release: not a command's letter.
        if (!key_in_range(key) || !runtime_state.keys_held[key]) return;
        note(EVENT_KEY_UP, key, 0, 0, 0);
        settle(EVENT_KEY_UP, 0, 0, key, 0, modifiers);
        return;
    }
    case MSG_LBUTTON_DOWN:
    case MSG_BUTTON_DOWN: {
        const bool left = message->kind == MSG_LBUTTON_DOWN;
        const int x = logical_x(left ? platform_message_x(message) : message->a);
        const int y = logical_y(left ? platform_message_y(message) : message->b);
        const int button = left ? VORNA_BUTTON_LEFT : message->c;
        if (button < VORNA_BUTTON_LEFT || button > VORNA_BUTTON_MIDDLE) return;
        note(EVENT_MOUSE, 0, button, x, y);
        settle(EVENT_MOUSE, x, y, 0, button, modifiers);
        return;
    }
    case MSG_BUTTON_UP: {
        const int button = message->c;
        if (button < VORNA_BUTTON_LEFT || button > VORNA_BUTTON_MIDDLE) return;
        const int x = logical_x(message->a), y = logical_y(message->b);
        note(EVENT_MOUSE_UP, 0, button, x, y);
        settle(EVENT_MOUSE_UP, x, y, 0, button, modifiers);
        return;
    }
    case MSG_MOUSE_MOVE: {
        const int x = logical_x(message->a), y = logical_y(message->b);
        // The toolkit may report the pointer where it already was (after a press, on entering
        // the window): that is no movement.
        if (runtime_state.pointer_known && x == runtime_state.pointer_x && y == runtime_state.pointer_y) return;
        note(EVENT_MOUSE_MOVE, 0, 0, x, y);
        const int button = message->c >= VORNA_BUTTON_LEFT && message->c <= VORNA_BUTTON_MIDDLE ? message->c : 0;
        settle(EVENT_MOUSE_MOVE, x, y, 0, button, modifiers);
        return;
    }
    case MSG_WHEEL: {
        if (message->c == 0) return;
        const int x = logical_x(message->a), y = logical_y(message->b);
        note(EVENT_WHEEL, 0, 0, x, y);
        settle(EVENT_WHEEL, x, y, 0, 0, modifiers);
        if (runtime_state.full_input) runtime_state.event_wheel = message->c;
        return;
    }
    case MSG_FOCUS_LOST:
        // Releases that happen while another program has the focus never arrive: forget what
        // is held, so that a game does not keep running one way.
        for (bool &held : runtime_state.keys_held) held = false;
        runtime_state.buttons_held = 0;
        return;
    default:
        return;
    }
}

void input_note_event(void) {
    note(runtime_state.event_kind, runtime_state.event_key, runtime_state.event_button, runtime_state.mouse_x,
         runtime_state.mouse_y);
}

int VORNA_wait(VORNA_Event *event) {
    if (refuse_other_thread("VORNA_wait")) {
        if (event != nullptr) {
            *event = VORNA_Event{};
            event->kind = EVENT_QUIT;
        }
        return EVENT_QUIT;
    }
    if (event == nullptr) VORNA_print("VORNA_wait needs a VORNA_Event to fill in; the event is not passed on\n");
    int kind = EVENT_QUIT;
    if (runtime_state.graphics_window) {
        runtime_state.uses_full_input = true;
        runtime_state.event_key = 0;
        runtime_state.event_button = 0;
        runtime_state.event_wheel = 0;
        runtime_state.event_modifiers = 0;
        runtime_state.event_repeat = 0;
        runtime_state.event_from_script = false;
        // Halted, nothing carries over: ticks start as ever when the animation runs again.
        if (!runtime_state.running) runtime_state.tick_catch_up = false;
        const bool tick_due = runtime_state.tick_owed || (runtime_state.tick_catch_up && runtime_state.running);
        if (tick_due && runtime_state.timer_fired && !runtime_state.playback && !runtime_state.play_one) {
            // The tick's timer message has come: the tick is due now, before more input.
            runtime_state.tick_owed = false;
            runtime_state.timer_fired = false;
            runtime_state.tick_catch_up = runtime_state.running;
            runtime_state.event_kind = EVENT_TICK;
            runtime_state.mouse_x = runtime_state.mouse_y = 0;
            runtime_state.key = 0;
            if (runtime_state.recording) record_event();
            kind = runtime_state.quit_requested ? EVENT_QUIT : EVENT_TICK;
        } else {
            int x = 0, y = 0;
            char key = 0;
            runtime_state.full_input = true;
            kind = VORNA_next_event(&x, &y, &key);
            runtime_state.full_input = false;
            if (runtime_state.event_from_script) input_note_event();
            if (kind == EVENT_TICK && !runtime_state.event_from_script && !runtime_state.playback &&
                !runtime_state.play_one && runtime_state.running) {
                // The timer message that delivered this tick is spent; the next one counts.
                runtime_state.timer_fired = false;
                runtime_state.tick_catch_up = true;
            }
        }
    }
    if (event != nullptr) {
        *event = VORNA_Event{};
        event->kind = kind;
        if (runtime_state.graphics_window) {
            event->x = runtime_state.mouse_x;
            event->y = runtime_state.mouse_y;
            event->key = runtime_state.event_key;
            event->button = runtime_state.event_button;
            event->wheel = runtime_state.event_wheel;
            event->modifiers = runtime_state.event_modifiers;
            event->repeat = runtime_state.event_repeat;
        }
    }
    // A tick handed out before the poll is a wait too: the watchdog's clock starts afresh.
    if (runtime_state.graphics_window) platform_loop_watch_waiting(0);
    return kind;
}

int VORNA_key_down(int key) {
    if (refuse_other_thread("VORNA_key_down")) return 0;
    if (!key_in_range(key)) {
        VORNA_print("Key %d not possible: keys are 1..255 and %d..%d; answering 0\n", key, VORNA_KEY_LEFT,
                    VORNA_KEY_LAST);
        return 0;
    }
    if (!runtime_state.graphics_window) return 0;
    // A letter is the same key whatever Shift or Caps Lock: either case asks for it.
    if (key >= 'a' && key <= 'z' && runtime_state.keys_held[key - 'a' + 'A']) return 1;
    if (key >= 'A' && key <= 'Z' && runtime_state.keys_held[key - 'A' + 'a']) return 1;
    return runtime_state.keys_held[key] ? 1 : 0;
}

void VORNA_mouse_position(int *x, int *y) {
    if (refuse_other_thread("VORNA_mouse_position")) {
        if (x) *x = 0;
        if (y) *y = 0;
        return;
    }
    if (x) *x = runtime_state.graphics_window ? runtime_state.pointer_x : 0;
    if (y) *y = runtime_state.graphics_window ? runtime_state.pointer_y : 0;
}

void VORNA_set_tick_interval(int ms) {
    if (refuse_other_thread("VORNA_set_tick_interval")) return;
    int used = ms;
    if (used < TICK_INTERVAL_MIN_MS) used = TICK_INTERVAL_MIN_MS;
    if (used > TICK_INTERVAL_MAX_MS) used = TICK_INTERVAL_MAX_MS;
    if (used != ms) VORNA_print("Tick interval of %d not possible, using tick interval %d\n", ms, used);
    runtime_state.tick_interval_ms = used;
    // Before start-up the interval waits for the timer that start-up starts.
    if (runtime_state.graphics_window)
        platform_set_timer_period(runtime_state.graphics_window, TIMER_ANIMATION_ID, delivered_tick_period(used));
}
