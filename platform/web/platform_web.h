// platform_web.h: what the files of the page backend share. Only platform/web includes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

enum { WINDOW_KIND_GRAPHICS = 1, WINDOW_KIND_CONSOLE = 2 };

struct PlatformSurface {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0xFFRRGGBB, width per row
    PlatformWindow *window = nullptr;   // the window whose own picture this is, else null
};

struct PlatformWindow {
    int kind = 0;
    std::string title;
    PlatformWindowProc proc = nullptr;
    bool closed = false;             // the page's close button (web_post_close); never cleared
    int client_width = 0;            // the page's canvas, asked once at creation
    int client_height = 0;
    PlatformSurface surface;         // the graphics window's own picture
};

// The page's menu chose the command (web_ui.cpp): posted to the window its menu is attached to.
void web_menu_chosen(int id);

// Drops every queued message (tests).
void web_flush_messages(void);

// The graphics window, null before it is made.
PlatformWindow *web_graphics_window(void);

// Notes a stall of the program outside the wait, when one has gone on long enough.
void web_loop_watch_check(void);
