// web_ui.cpp: the console panel, the Run menu bar, the prompt dialog and the teaching aids'
// overlays, all drawn by the page (page.js) as the runtime asks.
#include <emscripten.h>

#include <cstdio>
#include <cstring>

#include "platform/web/platform_web.h"

struct PlatformMenu {
    int index = 0;                     // the page's number for it
    PlatformWindow *window = nullptr;  // the window it is attached to; null until then
};

namespace {

std::vector<PlatformMenu *> menus;

EM_JS(void, page_console_line, (const char *text, int n), { VornaPage.consoleLine(text, n); });
EM_JS(void, page_console_clear, (), { VornaPage.consoleClear(); });
EM_JS(void, page_menu_create, (int menu), { VornaPage.menuCreate(menu); });
EM_JS(void, page_menu_item, (int menu, int id, const char *text, int flags), {
    VornaPage.menuItem(menu, id, text, flags);
});
EM_JS(void, page_menu_attach, (int menu, const char *title), { VornaPage.menuAttach(menu, title); });
EM_JS(void, page_menu_check, (int menu, int id, int checked), { VornaPage.menuCheck(menu, id, checked); });
EM_JS(void, page_prompt_open, (const char *title, const char *prompt), { VornaPage.promptOpen(title, prompt); });
EM_JS(int, page_prompt_finished, (), { return VornaPage.promptFinished() ? 1 : 0; });
EM_JS(void, page_prompt_close, (char *result, int limit), { VornaPage.promptClose(result, limit); });
EM_JS(void, page_show_grid, (int on, int x, int y), { VornaPage.showGrid(on, x, y); });
EM_JS(void, page_show_label, (int on, int x, int y, const char *text), { VornaPage.showLabel(on, x, y, text); });
EM_JS(void, page_show_badge, (const char *text), { VornaPage.showBadge(text); });
EM_JS(void, page_show_outline, (int shape, const int *xs, const int *ys, int count), {
    VornaPage.showOutline(shape, xs, ys, count);
});

} // namespace

// ---------------------------------------------------------------------------------------------
// Console
// ---------------------------------------------------------------------------------------------

void platform_console_scroll_line(PlatformWindow *window, const char *text, int n) {
    if (!window || window->closed || !text || n < 0) return;
    page_console_line(text, n);
}

void platform_console_clear(PlatformWindow *window) {
    if (window && !window->closed) page_console_clear();
}

// ---------------------------------------------------------------------------------------------
// Menus
// ---------------------------------------------------------------------------------------------

PlatformMenu *platform_create_popup_menu(void) {
    auto *menu = new PlatformMenu;
    menu->index = int(menus.size());
    menus.push_back(menu);
    page_menu_create(menu->index);
    return menu;
}

void platform_menu_append_item(PlatformMenu *menu, int id, const char *text, int flags) {
    if (menu) page_menu_item(menu->index, id, text ? text : "", flags);
}

void platform_menu_append_separator(PlatformMenu *menu) {
    if (menu) page_menu_item(menu->index, -1, "", 0);
}

void platform_attach_menu(PlatformWindow *window, PlatformMenu *menu, const char *title) {
    if (!window || !menu) return;
    menu->window = window;
    page_menu_attach(menu->index, title ? title : "");
}

void platform_menu_check(PlatformMenu *menu, int id, int checked) {
    if (menu) page_menu_check(menu->index, id, checked ? 1 : 0);
}

void web_menu_chosen(int id) {
    // The page has one menu bar; its menu is the last one attached.
    for (auto found = menus.rbegin(); found != menus.rend(); ++found) {
        if ((*found)->window) {
            platform_post_message((*found)->window, MSG_COMMAND, id, 0, 0);
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Prompt dialog
// ---------------------------------------------------------------------------------------------

int platform_prompt_dialog(PlatformWindow *owner, const char *title, const char *prompt, char *result, int limit) {
    const char *refused = nullptr;
    if (!owner) {
        refused = "it has no window";
    } else if (owner->closed) {
        refused = "its window is closed";
    } else if (!result || limit <= 0) {
        refused = "it has no room for the entry";
    }
    if (refused) {
        std::fprintf(stderr, "vorna: the prompt dialog cannot open: %s\n", refused);
        return -1;
    }
    page_prompt_open(title ? title : "", prompt ? prompt : "");
    // The modal loop, as on the desktop: the window procedures keep running (timers, repaints);
    // a quit waits until the dialog has ended and is then posted again.
    bool quit_held = false;
    int quit_code = 0;
    while (!page_prompt_finished()) {
        PlatformMessage message;
        if (!platform_peek_message(&message, 1)) continue;
        if (message.kind == MSG_QUIT) {
            if (!quit_held) quit_code = message.a;
            quit_held = true;
            continue;
        }
        // Input belongs to the dialog while it is open: the page sends none to the window.
        platform_translate_message(&message);
        platform_dispatch_message(&message);
    }
    page_prompt_close(result, limit);
    if (quit_held) platform_post_message(nullptr, MSG_QUIT, quit_code, 0, 0);
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Teaching aids' overlays
// ---------------------------------------------------------------------------------------------

void platform_show_grid(PlatformWindow *window, int on, int origin_x, int origin_y) {
    if (window) page_show_grid(on, origin_x, origin_y);
}

void platform_show_label(PlatformWindow *window, int on, int x, int y, const char *text) {
    if (window) page_show_label(on, x, y, text ? text : "");
}

void platform_show_badge(PlatformWindow *window, const char *text) {
    if (window) page_show_badge(text ? text : "");
}

void platform_show_outline(PlatformWindow *window, int shape, const int *xs, const int *ys, int count) {
    if (!window) return;
    if (!xs || !ys || count <= 0) count = 0;
    page_show_outline(count > 0 ? shape : OUTLINE_NONE, xs, ys, count < OUTLINE_POINTS_MAX ? count : OUTLINE_POINTS_MAX);
}
