// message_queue.h: the queue of window messages every backend keeps. A backend's handlers post
// into it and its platform_peek_message takes from the front; posting, forwarding and the quit
// message are the same on every platform (message_queue.cpp). Only platform/ includes it.
#pragma once

#include <deque>

#include "platform/platform.h"

extern std::deque<PlatformMessage> platform_message_queue;
