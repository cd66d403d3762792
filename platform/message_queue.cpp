// message_queue.cpp: posting into the message queue, shared by every backend.
#include "platform/message_queue.h"

#include <iterator>

std::deque<PlatformMessage> platform_message_queue;

void platform_post_message(PlatformWindow *window, int kind, int a, int b, int c) {
    platform_message_queue.push_back(PlatformMessage{window, kind, a, b, c});
}

void platform_forward_message(PlatformWindow *window, const PlatformMessage *message) {
    PlatformMessage copy = *message;
    copy.window = window;
    // Pointer moves are coalesced: only the latest position waits in the queue. An earlier move
    // goes when no other input came after it (timer, paint and size messages do not count).
    if (copy.kind == MSG_MOUSE_MOVE) {
        for (auto queued = platform_message_queue.rbegin(); queued != platform_message_queue.rend(); ++queued) {
            if (queued->kind == MSG_MOUSE_MOVE && queued->window == window) {
                platform_message_queue.erase(std::next(queued).base());
                break;
            }
            if (queued->kind != MSG_TIMER && queued->kind != MSG_PAINT && queued->kind != MSG_SIZE) break;
        }
    }
    platform_message_queue.push_back(copy);
}

void platform_post_quit(int exit_code) {
    platform_message_queue.push_back(PlatformMessage{nullptr, MSG_QUIT, exit_code, 0, 0});
}
