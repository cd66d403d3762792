// menu.cpp: the Run menu on the graphics window and the Ctrl-key commands.
//
// Every command, whether chosen from the menu or typed as Ctrl+letter, goes through
// perform_command, so both ways have the same effect. The shortcuts shown in the menu are only
// text: the key handling below is what makes them work, in the graphics window and (through
// the text window, which passes its keys on) in the console. F12, which types no character,
// saves the picture (picture.cpp).
#include "runtime_internal.h"

namespace {

struct MenuEntry {
    int id;           // 0 for a separator
    const char *text; // "&" marks the mnemonic, the tab separates the shortcut text
};

const MenuEntry RUN_MENU_ENTRIES[] = {
    {CMD_ANIMATE, "&Animate\tCtrl+A"},
    {CMD_HALT, "&Halt animation\tCtrl+H"},
    {CMD_STEP, "Advance one &frame\tCtrl+F"},
    {0, nullptr},
    {CMD_LOGGING, "&Logging\tCtrl+L"},
    {0, nullptr},
    {CMD_RECORD, "&Record Script\tCtrl+R"},
    {CMD_PLAYBACK, "&Playback Script\tCtrl+P"},
    {CMD_PLAY_ONE, "Play &One Script\tCtrl+O"},
    {0, nullptr},
    {CMD_QUIT, "&Quit\tCtrl+Q"},
    {0, nullptr},
    {CMD_CREDITS, "VORNA graphics runtime"},
    {CMD_CREDITS, "MAC: mac@vorna.example.org"},
    {CMD_CREDITS, "WINDOWS: windows@vorna.example.org"},
    {CMD_CREDITS, "UPDATES: updates@vorna.example.org"},
};

// The command for a letter key pressed with Ctrl held, or 0.
int command_for_key(int virtual_key) {
    switch (virtual_key) {
    case 'A': return CMD_ANIMATE;
    case 'F': return CMD_STEP;
    case 'H': return CMD_HALT;
    case 'L': return CMD_LOGGING;
    case 'O': return CMD_PLAY_ONE;
    case 'P': return CMD_PLAYBACK;
    case 'Q': return CMD_QUIT;
    case 'R': return CMD_RECORD;
    default: return 0;
    }
}

// The initial state of an item: the check marks follow the switches they show.
int initial_flags(int id) {
    switch (id) {
    case CMD_LOGGING: return runtime_state.logging ? MENU_ITEM_CHECKED : 0;
    case CMD_RECORD: return runtime_state.recording ? MENU_ITEM_CHECKED : 0;
    case CMD_PLAYBACK: return runtime_state.playback ? MENU_ITEM_CHECKED : 0;
    case CMD_CREDITS: return MENU_ITEM_GRAYED;
    default: return 0;
    }
}

} // namespace

void build_run_menu(PlatformWindow *window) {
    PlatformMenu *menu = platform_create_popup_menu();
    runtime_state.run_menu = menu;
    for (const MenuEntry &entry : RUN_MENU_ENTRIES) {
        if (entry.text == nullptr) platform_menu_append_separator(menu);
        else platform_menu_append_item(menu, entry.id, entry.text, initial_flags(entry.id));
    }
    platform_attach_menu(window, menu, "&Run");
}

void perform_command(int id) {
    switch (id) {
    case CMD_ANIMATE:
        runtime_state.running = true;
        break;
    case CMD_HALT:
        // A single step already asked for is still delivered.
        runtime_state.running = false;
        break;
    case CMD_STEP:
        runtime_state.running = false;
        runtime_state.single_step = true;
        break;
    case CMD_LOGGING:
        runtime_state.logging = runtime_state.logging == 1 ? 0 : 1;
        platform_menu_check(runtime_state.run_menu, CMD_LOGGING, runtime_state.logging);
        break;
    case CMD_RECORD:
        toggle_recording();
        break;
    case CMD_PLAYBACK:
        toggle_playback();
        break;
    case CMD_PLAY_ONE:
        request_play_one();
        break;
    case CMD_QUIT:
        platform_post_quit(0);
        break;
    default:
        break;
    }
}

void menu_handle_message(const PlatformMessage *message) {
    switch (message->kind) {
    case MSG_COMMAND:
        if (message->a >= CMD_ANIMATE && message->a <= CMD_QUIT) perform_command(message->a);
        break;
    case MSG_KEY_DOWN:
        if (message->a == VK_CODE_CONTROL) {
            runtime_state.ctrl_down = 1;
        } else if (message->a == VK_CODE_F12) {
            if (message->b == 0) save_numbered_picture(); // a held key saves one picture, not dozens
        } else if (aids_take_key(message)) {
            // a teaching aid's key: no command, no event
        } else if (runtime_state.ctrl_down == 1) {
            int id = command_for_key(message->a);
            if (id != 0) perform_command(id);
        }
        break;
    case MSG_KEY_UP:
        if (message->a == VK_CODE_CONTROL) runtime_state.ctrl_down = 0;
        break;
    case MSG_FOCUS_LOST:
        // A Ctrl key released while another program has the focus is never seen here; forget
        // it now, so that plain letters do not act as commands when the focus comes back.
        runtime_state.ctrl_down = 0;
        break;
    default:
        break;
    }
}

bool menu_takes_key(const PlatformMessage *message) {
    if (aid_for_key(message) != 0) return true;
    return message->kind == MSG_KEY_DOWN && runtime_state.ctrl_down == 1 && command_for_key(message->a) != 0;
}
