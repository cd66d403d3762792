// qt_keys.cpp: the toolkit's key codes and the virtual-key codes of the key messages, both
// ways, from one table: the windows turn key events into messages with it, and the dialog's
// test access turns virtual-key codes back into key events.
#include "platform/platform_qt.h"

namespace {

static_assert(Qt::Key_F24 - Qt::Key_F1 == VK_CODE_F24 - VK_CODE_F1, "both number F1 to F24 in a row");

struct KeyPair {
    int qt_key;
    int vk_code;
    char16_t typed; // the character the key types on its own, 0 for none
};

// Going back from a virtual-key code, the first row with that code is the key pressed.
constexpr KeyPair KEY_PAIRS[] = {
    {Qt::Key_Control, VK_CODE_CONTROL, 0},
    {Qt::Key_Shift, VK_CODE_SHIFT, 0},
    {Qt::Key_Alt, VK_CODE_ALT, 0},
    {Qt::Key_Backspace, VK_CODE_BACKSPACE, u'\b'},
    {Qt::Key_Tab, VK_CODE_TAB, u'\t'},
    {Qt::Key_Return, VK_CODE_RETURN, u'\r'},
    {Qt::Key_Enter, VK_CODE_RETURN, u'\r'}, // the keypad's Enter is Return too
    {Qt::Key_Escape, VK_CODE_ESCAPE, u'\x1b'},
    {Qt::Key_Space, VK_CODE_SPACE, u' '},
    {Qt::Key_Left, VK_CODE_LEFT, 0},
    {Qt::Key_Up, VK_CODE_UP, 0},
    {Qt::Key_Right, VK_CODE_RIGHT, 0},
    {Qt::Key_Down, VK_CODE_DOWN, 0},
    {Qt::Key_Delete, VK_CODE_DELETE, 0},
};

} // namespace

int qt_virtual_key(int qt_key) {
    // Letters and digits: the toolkit's codes are already the upper-case characters.
    if ((qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) || (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9)) return qt_key;
    if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return VK_CODE_F1 + (qt_key - Qt::Key_F1);
    for (const KeyPair &pair : KEY_PAIRS)
        if (pair.qt_key == qt_key) return pair.vk_code;
    return 0;
}

int qt_key_of_virtual(int vk_code, QString *typed) {
    typed->clear();
    if ((vk_code >= 'A' && vk_code <= 'Z') || (vk_code >= '0' && vk_code <= '9')) {
        *typed = QString(QChar(vk_code)).toLower();
        return vk_code;
    }
    if (vk_code >= VK_CODE_F1 && vk_code <= VK_CODE_F24) return Qt::Key_F1 + (vk_code - VK_CODE_F1);
    for (const KeyPair &pair : KEY_PAIRS) {
        if (pair.vk_code != vk_code) continue;
        if (pair.typed != 0) *typed = QString(QChar(pair.typed));
        return pair.qt_key;
    }
    return Qt::Key_unknown;
}
