// qt_input.cpp: the toolkit's keys, buttons, pointer moves and wheel as the input messages of
// platform.h, with the runtime's own key values and modifier bits, so that what the program
// receives does not depend on the toolkit.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QObject>
#include <QTimer>
#include <QWheelEvent>

#include <unordered_map>

#include "platform/platform_qt.h"
#include "vorna.h"

static_assert(INPUT_MOD_SHIFT == VORNA_MOD_SHIFT && INPUT_MOD_CTRL == VORNA_MOD_CTRL &&
                  INPUT_MOD_ALT == VORNA_MOD_ALT,
              "the messages carry the modifier bits programs see");
static_assert(INPUT_BUTTON_LEFT == VORNA_BUTTON_LEFT && INPUT_BUTTON_RIGHT == VORNA_BUTTON_RIGHT &&
                  INPUT_BUTTON_MIDDLE == VORNA_BUTTON_MIDDLE,
              "the messages carry the button numbers programs see");

namespace {

enum { WHEEL_STEP = 120 }; // the toolkit's eighths of a degree in one notch of a mouse wheel

struct NamedKey {
    int qt_key;
    int value;
};

constexpr NamedKey NAMED_KEYS[] = {
    {Qt::Key_Left, VORNA_KEY_LEFT},       {Qt::Key_Right, VORNA_KEY_RIGHT},
    {Qt::Key_Up, VORNA_KEY_UP},           {Qt::Key_Down, VORNA_KEY_DOWN},
    {Qt::Key_Home, VORNA_KEY_HOME},       {Qt::Key_End, VORNA_KEY_END},
    {Qt::Key_PageUp, VORNA_KEY_PAGE_UP},  {Qt::Key_PageDown, VORNA_KEY_PAGE_DOWN},
    {Qt::Key_Insert, VORNA_KEY_INSERT},   {Qt::Key_Delete, VORNA_KEY_DELETE},
    {Qt::Key_Escape, VORNA_KEY_ESCAPE},   {Qt::Key_Return, VORNA_KEY_ENTER},
    {Qt::Key_Enter, VORNA_KEY_ENTER},     {Qt::Key_Tab, VORNA_KEY_TAB},
    {Qt::Key_Backtab, VORNA_KEY_TAB}, // Shift+Tab
    {Qt::Key_Backspace, VORNA_KEY_BACKSPACE},
};

// The value each key still held was pressed with, by the key's identity: its key-up must
// carry the same value even when Shift was let go first (a key that typed 'A' releases 'A').
std::unordered_map<unsigned, int> held_values;

// Wheel movement not yet making a whole step (a touchpad turns in small parts).
int wheel_rest = 0;

unsigned key_identity(const QKeyEvent *event) {
    // The hardware key where the toolkit knows it; events made up in tests carry none.
    return event->nativeScanCode() != 0 ? event->nativeScanCode() : 0x80000000u | unsigned(event->key());
}

int modifier_bits(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? INPUT_MOD_SHIFT : 0) | (modifiers & Qt::ControlModifier ? INPUT_MOD_CTRL : 0) |
           (modifiers & Qt::AltModifier ? INPUT_MOD_ALT : 0);
}

// The button the messages name for a toolkit button, 0 for the others (back, forward, ...).
int button_number(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton: return INPUT_BUTTON_LEFT;
    case Qt::RightButton: return INPUT_BUTTON_RIGHT;
    case Qt::MiddleButton: return INPUT_BUTTON_MIDDLE;
    default: return 0;
    }
}

int held_button(Qt::MouseButtons buttons) {
    if (buttons & Qt::LeftButton) return INPUT_BUTTON_LEFT;
    if (buttons & Qt::RightButton) return INPUT_BUTTON_RIGHT;
    if (buttons & Qt::MiddleButton) return INPUT_BUTTON_MIDDLE;
    return 0;
}

bool printable(char16_t code) { return code >= 32 && code < 256 && code != 127; }

void post(PlatformWindow *window, int kind, int a, int b, int c, int key, int modifiers) {
    PlatformMessage message{window, kind, a, b, c};
    message.key = key;
    message.modifiers = modifiers;
    platform_forward_message(window, &message);
}

// An X server repeats a held key as a release and a press with the same time. The toolkit
// joins such a pair into one repeated press only when the press is already there when it
// handles the release, which on a busy machine it often is not: the key would seem let go and
// pressed again. So the release of a hardware key waits here, for at most
// RELEASE_HOLD_MS; a press of the same key at the same time makes the pair a repeat, and any
// other input, or the time running out, sends the release on, in its order.
enum { RELEASE_HOLD_MS = 15 };

struct HeldRelease {
    bool waiting = false;
    PlatformWindow *window = nullptr;
    unsigned identity = 0;
    unsigned long time = 0;
    PlatformMessage message{};
};
HeldRelease held_release;
QTimer *release_timer = nullptr;

void send_held_release(void) {
    if (!held_release.waiting) return;
    held_release.waiting = false;
    if (release_timer) release_timer->stop();
    platform_forward_message(held_release.window, &held_release.message);
}

void hold_release(PlatformWindow *window, unsigned identity, unsigned long time, const PlatformMessage &message) {
    if (!release_timer) {
        release_timer = new QTimer(QCoreApplication::instance());
        release_timer->setSingleShot(true);
        release_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(release_timer, &QTimer::timeout, [] { send_held_release(); });
    }
    held_release = HeldRelease{true, window, identity, time, message};
    release_timer->start(RELEASE_HOLD_MS);
}

} // namespace

int qt_key_value(int qt_key, Qt::KeyboardModifiers modifiers, const QString &text) {
    for (const NamedKey &named : NAMED_KEYS)
        if (named.qt_key == qt_key) return named.value;
    if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F11) return VORNA_KEY_F1 + (qt_key - Qt::Key_F1);
    const bool command = modifiers & (Qt::ControlModifier | Qt::AltModifier);
    if (!command && text.size() == 1 && printable(text.at(0).unicode())) return text.at(0).unicode();
    // With Ctrl or Alt the toolkit's text is a control character or nothing: the key itself.
    if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return modifiers & Qt::ShiftModifier ? qt_key : qt_key - 'A' + 'a';
    if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return qt_key;
    if (text.size() == 1 && printable(text.at(0).unicode())) return text.at(0).unicode();
    if (qt_key >= Qt::Key_Space && qt_key <= Qt::Key_AsciiTilde) return qt_key;
    return 0;
}

void qt_post_key(PlatformWindow *window, const QKeyEvent *event, int kind, int a, int b, int c) {
    const unsigned identity = key_identity(event);
    if (kind == MSG_KEY_DOWN && held_release.waiting && held_release.identity == identity &&
        held_release.time == event->timestamp()) {
        // The second half of a repeat: the key was never let go.
        held_release.waiting = false;
        release_timer->stop();
        b = 1;
        const auto held = held_values.find(identity);
        if (held != held_values.end()) {
            post(window, kind, a, b, c, held->second, modifier_bits(event->modifiers()));
            return;
        }
    }
    send_held_release(); // any other key comes after the release that came before it
    int value;
    if (kind == MSG_KEY_DOWN) {
        const auto held = held_values.find(identity);
        // A repeat keeps the value of the first press.
        value = event->isAutoRepeat() && held != held_values.end()
                    ? held->second
                    : qt_key_value(event->key(), event->modifiers(), event->text());
        held_values[identity] = value;
    } else {
        const auto held = held_values.find(identity);
        value = held != held_values.end() ? held->second : qt_key_value(event->key(), event->modifiers(), event->text());
        if (event->nativeScanCode() != 0) {
            // A hardware key: this may be half of a repeat; its value stays until that is known.
            PlatformMessage message{window, kind, a, b, c};
            message.key = value;
            message.modifiers = modifier_bits(event->modifiers());
            hold_release(window, identity, event->timestamp(), message);
            return;
        }
        if (held != held_values.end()) held_values.erase(held);
    }
    post(window, kind, a, b, c, value, modifier_bits(event->modifiers()));
}

bool qt_post_pointer(PlatformWindow *window, QEvent *event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        send_held_release(); // input keeps its order
        break;
    default:
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: { // the second press of a quick pair is a press too
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        const int button = button_number(mouse->button());
        const int modifiers = modifier_bits(mouse->modifiers());
        if (button == INPUT_BUTTON_LEFT)
            post(window, MSG_LBUTTON_DOWN, at.x() & MESSAGE_POSITION_MASK, at.y() & MESSAGE_POSITION_MASK, 0, 0,
                 modifiers);
        else if (button != 0)
            post(window, MSG_BUTTON_DOWN, at.x(), at.y(), button, 0, modifiers);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        const int button = button_number(mouse->button());
        if (button != 0) post(window, MSG_BUTTON_UP, at.x(), at.y(), button, 0, modifier_bits(mouse->modifiers()));
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        post(window, MSG_MOUSE_MOVE, at.x(), at.y(), held_button(mouse->buttons()), 0, modifier_bits(mouse->modifiers()));
        return true;
    }
    case QEvent::Wheel: {
        auto *wheel = static_cast<QWheelEvent *>(event);
        wheel_rest += wheel->angleDelta().y();
        const int steps = wheel_rest / WHEEL_STEP;
        wheel_rest -= steps * WHEEL_STEP;
        const QPoint at = wheel->position().toPoint();
        if (steps != 0) post(window, MSG_WHEEL, at.x(), at.y(), steps, 0, modifier_bits(wheel->modifiers()));
        return true;
    }
    default:
        return false;
    }
}

void platform_set_timer_period(PlatformWindow *window, int timer_id, int period_ms) {
    if (!window) return;
    auto *timer = window->top->findChild<QTimer *>(qt_timer_name(timer_id), Qt::FindDirectChildrenOnly);
    if (timer) timer->start(period_ms);
}

// ---------------------------------------------------------------------------------------------
// Test access (platform_test.h)
// ---------------------------------------------------------------------------------------------

namespace {

Qt::KeyboardModifiers toolkit_modifiers(int modifiers) {
    Qt::KeyboardModifiers result = Qt::NoModifier;
    if (modifiers & INPUT_MOD_SHIFT) result |= Qt::ShiftModifier;
    if (modifiers & INPUT_MOD_CTRL) result |= Qt::ControlModifier;
    if (modifiers & INPUT_MOD_ALT) result |= Qt::AltModifier;
    return result;
}

Qt::MouseButton toolkit_button(int button) {
    switch (button) {
    case INPUT_BUTTON_LEFT: return Qt::LeftButton;
    case INPUT_BUTTON_RIGHT: return Qt::RightButton;
    case INPUT_BUTTON_MIDDLE: return Qt::MiddleButton;
    default: return Qt::NoButton;
    }
}

} // namespace

int platform_send_named_key(PlatformWindow *window, const char *key_name, const char *utf8_text, int modifiers,
                            int pressed, int auto_repeat, unsigned scan_code, unsigned long time) {
    if (!window) return 0;
    const QKeySequence sequence = QKeySequence::fromString(QString::fromUtf8(key_name), QKeySequence::PortableText);
    if (sequence.isEmpty()) return 0;
    const int key = sequence[0].key();
    QKeyEvent event(pressed ? QEvent::KeyPress : QEvent::KeyRelease, key, toolkit_modifiers(modifiers), scan_code, 0,
                    0, QString::fromUtf8(utf8_text ? utf8_text : ""), auto_repeat != 0);
    event.setTimestamp(time);
    QCoreApplication::sendEvent(window->client, &event);
    return 1;
}

void platform_send_pointer(PlatformWindow *window, int kind, int x, int y, int button, int held, int modifiers) {
    if (!window) return;
    const QPointF at(x, y);
    const QPointF global = window->client->mapToGlobal(at);
    Qt::MouseButtons buttons = Qt::NoButton;
    for (int b = INPUT_BUTTON_LEFT; b <= INPUT_BUTTON_MIDDLE; b++)
        if (held & (1 << b)) buttons |= toolkit_button(b);
    if (kind == MSG_WHEEL) {
        // button is the wheel's turn in the toolkit's eighths of a degree (120 a notch).
        QWheelEvent wheel(at, global, QPoint(), QPoint(0, button), buttons, toolkit_modifiers(modifiers),
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(window->client, &wheel);
        return;
    }
    const QEvent::Type type = kind == MSG_BUTTON_DOWN ? QEvent::MouseButtonPress
                              : kind == MSG_BUTTON_UP ? QEvent::MouseButtonRelease
                                                      : QEvent::MouseMove;
    QMouseEvent event(type, at, global, kind == MSG_MOUSE_MOVE ? Qt::NoButton : toolkit_button(button), buttons,
                      toolkit_modifiers(modifiers));
    QCoreApplication::sendEvent(window->client, &event);
}
