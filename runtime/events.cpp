// events.cpp: the event wait and the animation mode.
#include "runtime_internal.h"

void pump_one_message(void) {
    // The poll may sleep in the toolkit's wait only when nothing else needs doing: no picture
    // waiting to reach the screen, no script handing out events without input, and no tick
    // about to be armed. A sleep before the arming would consume the timer message that
    // should deliver the tick, and the tick would come a whole period late. After shut-down the
    // window's picture is released, so a dirty canvas can no longer reach it: waiting for that
    // would spin for ever.
    const bool tick_to_arm =
        runtime_state.event_kind == EVENT_NONE && (runtime_state.running || runtime_state.single_step);
    const bool picture_to_show = runtime_state.canvas_dirty && runtime_state.window_dc != nullptr;
    const int may_wait = !picture_to_show && !runtime_state.playback && !runtime_state.play_one && !tick_to_arm;
    PlatformMessage message;
    if (platform_peek_message(&message, may_wait)) {
        if (message.kind == MSG_QUIT) {
            runtime_state.event_kind = EVENT_QUIT;
            return;
        }
        platform_translate_message(&message);
        platform_dispatch_message(&message);
    }
    present_canvas_when_due();
}

void events_handle_message(const PlatformMessage *message) {
    switch (message->kind) {
    case MSG_TIMER:
        runtime_state.timer_fired = true;
        break;
    case MSG_LBUTTON_DOWN:
        runtime_state.mouse_x = platform_message_x(message) - runtime_state.origin_x;
        runtime_state.mouse_y = runtime_state.origin_y - platform_message_y(message);
        runtime_state.event_kind = EVENT_MOUSE;
        break;
    case MSG_CHAR:
        // For VORNA_wait the key-down is the key event (input.cpp): the character is not another.
        if (!runtime_state.ctrl_down && !runtime_state.full_input) {
            runtime_state.event_kind = EVENT_KEY;
            runtime_state.key = static_cast<signed char>(message->a & 0xFF);
        }
        break;
    default:
        break;
    }
}

int VORNA_next_event(int *x, int *y, char *key) {
    if (refuse_other_thread("VORNA_next_event") || !runtime_state.graphics_window) {
        // Before start-up there is nothing to wait on, and another thread's queue never fills:
        // waiting would never end.
        if (x) *x = 0;
        if (y) *y = 0;
        if (key) *key = 0;
        return EVENT_QUIT;
    }
    platform_loop_watch_waiting(1);
    unattended_before_wait(); // the picture of the answer to the last event, if one is owed
    runtime_state.prompts_unanswered = 0; // a program that waits moves its script on
    runtime_state.event_kind = EVENT_NONE;
    runtime_state.key = 0;
    runtime_state.mouse_x = 0;
    runtime_state.mouse_y = 0;

    while (runtime_state.event_kind == EVENT_NONE ||
           (runtime_state.event_kind == EVENT_TICK && !runtime_state.timer_fired)) {
        pump_one_message();
        if (runtime_state.event_kind == EVENT_QUIT) break;
        if (runtime_state.play_one || runtime_state.playback) {
            const bool play_one = runtime_state.play_one;
            runtime_state.play_one = false;
            const int read = read_script_event();
            if (read == SCRIPT_EVENT) break;
            if (read == SCRIPT_NOT_YET) {
                // The script is still skipping empty lines: poll again and go on reading. A key
                // or click polled meanwhile is dropped, as the script's event would have
                // replaced it had the lines been skipped in one pass.
                runtime_state.play_one = play_one;
                runtime_state.event_kind = EVENT_NONE;
                continue;
            }
            // read_script_event has stopped playback (stop_playback cleared playback and
            // play_one): its last frame goes to the screen now.
            present_held_canvas();
        }
        if ((runtime_state.single_step || runtime_state.running) && runtime_state.event_kind == EVENT_NONE) {
            runtime_state.event_kind = EVENT_TICK;
            // A tick owed to VORNA_wait keeps the timer message that has come for it.
            if (!runtime_state.tick_owed && !runtime_state.tick_catch_up) runtime_state.timer_fired = false;
            runtime_state.tick_owed = false;
            runtime_state.tick_catch_up = false;
            runtime_state.single_step = false;
            runtime_state.play_one = false;
        }
    }

    if (runtime_state.recording) record_event();

    if (x) *x = runtime_state.mouse_x;
    if (y) *y = runtime_state.mouse_y;
    if (key) *key = static_cast<char>(runtime_state.key);
    const int kind = runtime_state.quit_requested ? EVENT_QUIT : runtime_state.event_kind;
    if (kind == EVENT_QUIT) present_held_canvas(); // the program may end without polling again
    unattended_event_returned();
    platform_loop_watch_waiting(0);
    return kind;
}

int VORNA_set_animation(int mode) {
    if (refuse_other_thread("VORNA_set_animation") || !runtime_state.graphics_window) return 0;
    switch (mode) {
    case ANIM_HALT:
        runtime_state.running = false;
        runtime_state.single_step = false;
        break;
    case ANIM_STEP:
        runtime_state.single_step = true;
        break;
    case ANIM_RUN:
        runtime_state.running = true;
        break;
    case ANIM_QUIT:
        runtime_state.quit_requested = true;
        break;
    default:
        break;
    }
    return 1;
}
