// Full input: toolkit input as VORNA_wait's events, the held keys and the pointer, the script
// lines of those events, the tick interval, and VORNA_next_event unchanged beside it all.
#include <chrono>
#include <functional>
#include <sstream>

#include "test_support.h"

namespace {

// VORNA_wait within WAIT_LIMIT_SECONDS; the event starts as values no test expects.
VORNA_Event wait_event() {
    WaitLimit limit("VORNA_wait");
    VORNA_Event event = {EVENT_NONE, -999, -999, -999, -999, -999, -999, -999};
    const int kind = VORNA_wait(&event);
    EXPECT_EQ(kind, event.kind) << "the returned kind and the event's differ";
    return event;
}

std::string describe(const VORNA_Event &e) {
    std::ostringstream text;
    text << "{kind " << e.kind << ", (" << e.x << ", " << e.y << "), key " << e.key << ", button " << e.button
         << ", wheel " << e.wheel << ", modifiers " << e.modifiers << ", repeat " << e.repeat << "}";
    return text.str();
}

bool same(const VORNA_Event &a, const VORNA_Event &b) {
    return a.kind == b.kind && a.x == b.x && a.y == b.y && a.key == b.key && a.button == b.button &&
           a.wheel == b.wheel && a.modifiers == b.modifiers && a.repeat == b.repeat;
}

VORNA_Event ev(int kind, int x = 0, int y = 0, int key = 0, int button = 0, int wheel = 0, int modifiers = 0,
               int repeat = 0) {
    return VORNA_Event{kind, x, y, key, button, wheel, modifiers, repeat};
}

// Client pixel of logical (x, y).
int px(int x) { return runtime_state.origin_x + x; }
int py(int y) { return runtime_state.origin_y - y; }

// An input message as the toolkit layer posts it, with its key value and modifiers.
void post_input(int kind, int a, int b, int c, int key = 0, int modifiers = 0) {
    PlatformMessage message{runtime_state.graphics_window, kind, a, b, c};
    message.key = key;
    message.modifiers = modifiers;
    platform_forward_message(runtime_state.graphics_window, &message);
}

class Input : public RuntimeTest {
  protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        for (bool &held : runtime_state.keys_held) held = false;
        runtime_state.buttons_held = 0;
        runtime_state.pointer_x = runtime_state.pointer_y = 0;
        runtime_state.pointer_known = false;
        runtime_state.tick_owed = false;
        runtime_state.tick_catch_up = false;
        runtime_state.timer_fired = false;
        VORNA_set_tick_interval(100);
    }
};

// One table from toolkit input to the event VORNA_wait returns: the toolkit layer gives every
// key its runtime value and the modifiers, and the runtime settles it. Input that is no event
// (F12, Shift alone, a move to where the pointer is) is followed by a marker key: the marker
// must be the next event.
TEST_F(Input, ToolkitInputBecomesTheEventsOfTheWait) {
    PlatformWindow *w = runtime_state.graphics_window;
    auto key = [w](const char *name, const char *text, int modifiers, int pressed, int repeat) {
        return [=] { ASSERT_EQ(platform_send_named_key(w, name, text, modifiers, pressed, repeat), 1) << name; };
    };
    auto pointer = [w](int kind, int x, int y, int button, int held, int modifiers) {
        return [=] { platform_send_pointer(w, kind, px(x), py(y), button, held, modifiers); };
    };
    const VORNA_Event none = ev(EVENT_NONE);
    const struct {
        const char *what;
        std::function<void()> input;
        VORNA_Event expected; // kind EVENT_NONE: no event
    } cases[] = {
        {"Left", key("Left", "", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_LEFT)},
        {"Left held", key("Left", "", 0, 1, 1), ev(EVENT_KEY, 0, 0, VORNA_KEY_LEFT, 0, 0, 0, 1)},
        {"Left up", key("Left", "", 0, 0, 0), ev(EVENT_KEY_UP, 0, 0, VORNA_KEY_LEFT)},
        {"Right", key("Right", "", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_RIGHT)},
        {"Up", key("Up", "", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_UP)},
        {"Down with Shift", key("Down", "", VORNA_MOD_SHIFT, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_DOWN, 0, 0, 1)},
        {"Home", key("Home", "", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_HOME)},
        {"End", key("End", "", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_END)},
        {"PgUp", key("PgUp", "", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_PAGE_UP)},
        {"PgDown", key("PgDown", "", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_PAGE_DOWN)},
        {"Ins", key("Ins", "", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_INSERT)},
        {"Del", key("Del", "\x7F", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_DELETE)},
        {"Esc", key("Esc", "\x1B", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_ESCAPE)},
        {"Return", key("Return", "\r", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_ENTER)},
        {"keypad Enter", key("Enter", "\r", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_ENTER)},
        {"Tab", key("Tab", "\t", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_TAB)},
        {"Shift+Tab", key("Backtab", "", VORNA_MOD_SHIFT, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_TAB, 0, 0, 1)},
        {"Backspace", key("Backspace", "\b", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_BACKSPACE)},
        {"F1", key("F1", "", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_F1)},
        {"F11", key("F11", "", 0, 1, 0), ev(EVENT_KEY, 0, 0, VORNA_KEY_F11)},
        {"F12 is no event", key("F12", "", 0, 1, 0), none},
        {"Shift alone is no event", key("Shift", "", VORNA_MOD_SHIFT, 1, 0), none},
        {"a", key("A", "a", 0, 1, 0), ev(EVENT_KEY, 0, 0, 'a')},
        {"a up", key("A", "a", 0, 0, 0), ev(EVENT_KEY_UP, 0, 0, 'a')},
        {"Shift+a", key("A", "A", VORNA_MOD_SHIFT, 1, 0), ev(EVENT_KEY, 0, 0, 'A', 0, 0, 1)},
        {"its release after Shift", key("A", "a", 0, 0, 0), ev(EVENT_KEY_UP, 0, 0, 'A')},
        {"Ctrl+s", key("S", "\x13", VORNA_MOD_CTRL, 1, 0), ev(EVENT_KEY, 0, 0, 's', 0, 0, VORNA_MOD_CTRL)},
        {"Alt+x", key("X", "x", VORNA_MOD_ALT, 1, 0), ev(EVENT_KEY, 0, 0, 'x', 0, 0, VORNA_MOD_ALT)},
        {"Ctrl+Shift+7", key("7", "&", VORNA_MOD_CTRL | VORNA_MOD_SHIFT, 1, 0),
         ev(EVENT_KEY, 0, 0, '7', 0, 0, VORNA_MOD_CTRL | VORNA_MOD_SHIFT)},
        {"e acute", key("E", "\xC3\xA9", 0, 1, 0), ev(EVENT_KEY, 0, 0, 0xE9)},
        {"Shift+5", key("5", "%", VORNA_MOD_SHIFT, 1, 0), ev(EVENT_KEY, 0, 0, '%', 0, 0, 1)},
        {"left press", pointer(MSG_BUTTON_DOWN, -20, 30, 1, 1 << 1, 0), ev(EVENT_MOUSE, -20, 30, 0, 1)},
        {"drag", pointer(MSG_MOUSE_MOVE, -19, 28, 0, 1 << 1, 0), ev(EVENT_MOUSE_MOVE, -19, 28, 0, 1)},
        {"left release", pointer(MSG_BUTTON_UP, -18, 27, 1, 0, 0), ev(EVENT_MOUSE_UP, -18, 27, 0, 1)},
        {"move", pointer(MSG_MOUSE_MOVE, 100, -100, 0, 0, 0), ev(EVENT_MOUSE_MOVE, 100, -100)},
        {"move to the same point", pointer(MSG_MOUSE_MOVE, 100, -100, 0, 0, 0), none},
        {"right press with Ctrl", pointer(MSG_BUTTON_DOWN, 5, 6, 2, 1 << 2, VORNA_MOD_CTRL),
         ev(EVENT_MOUSE, 5, 6, 0, 2, 0, VORNA_MOD_CTRL)},
        {"right drag", pointer(MSG_MOUSE_MOVE, 7, 6, 0, 1 << 2, 0), ev(EVENT_MOUSE_MOVE, 7, 6, 0, 2)},
        {"right release", pointer(MSG_BUTTON_UP, 7, 6, 2, 0, 0), ev(EVENT_MOUSE_UP, 7, 6, 0, 2)},
        {"middle press", pointer(MSG_BUTTON_DOWN, 0, 0, 3, 1 << 3, 0), ev(EVENT_MOUSE, 0, 0, 0, 3)},
        {"middle release", pointer(MSG_BUTTON_UP, 0, 0, 3, 0, 0), ev(EVENT_MOUSE_UP, 0, 0, 0, 3)},
        {"wheel away", pointer(MSG_WHEEL, 1, 2, 120, 0, 0), ev(EVENT_WHEEL, 1, 2, 0, 0, 1)},
        {"wheel two back with Shift", pointer(MSG_WHEEL, 1, 2, -240, 0, VORNA_MOD_SHIFT),
         ev(EVENT_WHEEL, 1, 2, 0, 0, -2, VORNA_MOD_SHIFT)},
        {"half a notch", pointer(MSG_WHEEL, 1, 2, 60, 0, 0), none},
        {"the other half", pointer(MSG_WHEEL, 1, 2, 60, 0, 0), ev(EVENT_WHEEL, 1, 2, 0, 0, 1)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        c.input();
        if (c.expected.kind == EVENT_NONE) post_input(MSG_KEY_DOWN, 'M', 0, 'm', '!', 0);
        const VORNA_Event expected = c.expected.kind == EVENT_NONE ? ev(EVENT_KEY, 0, 0, '!') : c.expected;
        const VORNA_Event got = wait_event();
        EXPECT_TRUE(same(got, expected)) << "got " << describe(got) << ", expected " << describe(expected);
        drain_messages(); // the characters that key-downs typed: no event for VORNA_wait
    }
}

// The held keys and the pointer follow the input, under either wait; letters are held in
// either case; a Ctrl command's letter is neither an event nor held; losing the focus lets go.
TEST_F(Input, HeldKeysAndThePointerFollowTheInput) {
    post_input(MSG_KEY_DOWN, 'A', 0, -1, 'A', VORNA_MOD_SHIFT);
    post_input(MSG_KEY_DOWN, VK_CODE_LEFT, 0, -1, VORNA_KEY_LEFT);
    post_input(MSG_MOUSE_MOVE, px(-40), py(50), 0);
    post_char('z'); // the classic wait returns here
    EXPECT_EQ(next_event().kind, EVENT_KEY);
    EXPECT_EQ(VORNA_key_down('a'), 1);
    EXPECT_EQ(VORNA_key_down('A'), 1);
    EXPECT_EQ(VORNA_key_down(VORNA_KEY_LEFT), 1);
    EXPECT_EQ(VORNA_key_down(VORNA_KEY_RIGHT), 0);
    int x = 0, y = 0;
    VORNA_mouse_position(&x, &y);
    EXPECT_EQ(x, -40);
    EXPECT_EQ(y, 50);
    VORNA_mouse_position(nullptr, nullptr); // either may be left out

    post_input(MSG_KEY_UP, 'A', 0, -1, 'A');
    EXPECT_EQ(wait_event().kind, EVENT_KEY_UP);
    EXPECT_EQ(VORNA_key_down('a'), 0);
    EXPECT_EQ(VORNA_key_down(VORNA_KEY_LEFT), 1);

    // Ctrl+A is the Animate command: no key event, not held, and its release is no event.
    post_input(MSG_KEY_DOWN, VK_CODE_CONTROL, 0, -1, 0, VORNA_MOD_CTRL);
    post_input(MSG_KEY_DOWN, 'A', 0, -1, 'a', VORNA_MOD_CTRL);
    post_input(MSG_KEY_UP, 'A', 0, -1, 'a', VORNA_MOD_CTRL);
    post_input(MSG_KEY_UP, VK_CODE_CONTROL, 0, -1, 0, 0);
    post_input(MSG_KEY_DOWN, 'M', 0, -1, '!');
    EXPECT_EQ(wait_event().key, '!');
    EXPECT_TRUE(runtime_state.running);
    EXPECT_EQ(VORNA_key_down('a'), 0);
    VORNA_set_animation(ANIM_HALT);

    platform_post_message(runtime_state.graphics_window, MSG_FOCUS_LOST, 0, 0, 0);
    drain_messages();
    EXPECT_EQ(VORNA_key_down(VORNA_KEY_LEFT), 0);
    // A release whose key is no longer held is no event: the marker comes first.
    post_input(MSG_KEY_UP, VK_CODE_LEFT, 0, -1, VORNA_KEY_LEFT);
    post_input(MSG_KEY_DOWN, 'M', 0, 'm', '!');
    EXPECT_EQ(wait_event().key, '!');
}

// An X server repeats a held key as a release and a press at the same time; whether the
// toolkit notices depends on timing. Either way the program sees one repeated press and no
// release; a real release comes, in its order, before any later input or after a short hold.
TEST_F(Input, AnXRepeatPairIsOneRepeatedPress) {
    PlatformWindow *w = runtime_state.graphics_window;
    const unsigned down_key = 116; // a hardware key's scan code
    auto next_message = [](PlatformMessage *message) {
        for (int poll = 0; poll < 100; poll++)
            if (platform_peek_message(message, 1)) return true;
        return false;
    };
    PlatformMessage message = {};
    platform_send_named_key(w, "Down", "", 0, 1, 0, down_key, 1000);
    platform_send_named_key(w, "Down", "", 0, 0, 0, down_key, 1040);
    platform_send_named_key(w, "Down", "", 0, 1, 0, down_key, 1040);
    ASSERT_TRUE(next_message(&message));
    EXPECT_EQ(message.kind, MSG_KEY_DOWN);
    EXPECT_EQ(message.b, 0);
    ASSERT_TRUE(next_message(&message));
    EXPECT_EQ(message.kind, MSG_KEY_DOWN) << "the repeat pair was taken for a release";
    EXPECT_EQ(message.b, 1);
    EXPECT_EQ(message.key, VORNA_KEY_DOWN);

    // A real release, then a move: the release comes first. A release on its own comes too.
    platform_send_named_key(w, "Down", "", 0, 0, 0, down_key, 1100);
    platform_send_pointer(w, MSG_MOUSE_MOVE, 5, 5, 0, 0, 0);
    ASSERT_TRUE(next_message(&message));
    EXPECT_EQ(message.kind, MSG_KEY_UP);
    EXPECT_EQ(message.key, VORNA_KEY_DOWN);
    ASSERT_TRUE(next_message(&message));
    EXPECT_EQ(message.kind, MSG_MOUSE_MOVE);
    platform_send_named_key(w, "Up", "", 0, 1, 0, down_key + 1, 1200);
    platform_send_named_key(w, "Up", "", 0, 0, 0, down_key + 1, 1300);
    ASSERT_TRUE(next_message(&message));
    EXPECT_EQ(message.kind, MSG_KEY_DOWN);
    ASSERT_TRUE(next_message(&message)) << "a release on its own never came";
    EXPECT_EQ(message.kind, MSG_KEY_UP);
    EXPECT_EQ(message.key, VORNA_KEY_UP);
}

TEST_F(Input, KeysOutOfRangeAndAMissingEventAreAnswered) {
    for (int key : {0, -1, VORNA_KEY_LAST + 1, INT_MIN, INT_MAX}) {
        printed_lines().clear();
        EXPECT_EQ(VORNA_key_down(key), 0) << key;
        ASSERT_EQ(printed_lines().size(), 1u) << key;
        EXPECT_EQ(printed_lines()[0],
                  "Key " + std::to_string(key) + " not possible: keys are 1..255 and 256..280; answering 0\n");
    }
    printed_lines().clear();
    for (int key : {1, 255, VORNA_KEY_LEFT, VORNA_KEY_LAST}) EXPECT_EQ(VORNA_key_down(key), 0) << key;
    EXPECT_TRUE(printed_lines().empty());

    // Without an event to fill in the wait still waits and says what it got.
    click_at(3, 4);
    {
        WaitLimit limit("VORNA_wait(NULL)");
        EXPECT_EQ(VORNA_wait(nullptr), EVENT_MOUSE);
    }
    ASSERT_EQ(printed_lines().size(), 1u);
    EXPECT_EQ(printed_lines()[0], "VORNA_wait needs a VORNA_Event to fill in; the event is not passed on\n");
}

// Many moves while the program is busy are one move, to the latest point. The first move is
// one even to the origin, where an unknown pointer is said to be.
TEST_F(Input, PointerMovesAreCoalesced) {
    platform_send_pointer(runtime_state.graphics_window, MSG_MOUSE_MOVE, px(0), py(0), 0, 0, 0);
    const VORNA_Event first = wait_event();
    EXPECT_TRUE(same(first, ev(EVENT_MOUSE_MOVE, 0, 0))) << describe(first);
    for (int i = 1; i <= 5; i++) {
        platform_send_pointer(runtime_state.graphics_window, MSG_MOUSE_MOVE, px(i), py(-i), 0, 0, 0);
        platform_post_message(runtime_state.graphics_window, MSG_TIMER, TIMER_ANIMATION_ID, 0, 0); // no input
    }
    const VORNA_Event got = wait_event();
    EXPECT_TRUE(same(got, ev(EVENT_MOUSE_MOVE, 5, -5))) << describe(got);
    VORNA_set_animation(ANIM_STEP);
    EXPECT_EQ(wait_event().kind, EVENT_TICK) << "a second move was queued";
    // Other input keeps its place between moves: move, key, move are three events.
    platform_send_pointer(runtime_state.graphics_window, MSG_MOUSE_MOVE, px(10), py(10), 0, 0, 0);
    post_input(MSG_KEY_DOWN, 'M', 0, -1, '!');
    platform_send_pointer(runtime_state.graphics_window, MSG_MOUSE_MOVE, px(20), py(20), 0, 0, 0);
    EXPECT_TRUE(same(wait_event(), ev(EVENT_MOUSE_MOVE, 10, 10)));
    EXPECT_EQ(wait_event().key, '!');
    EXPECT_TRUE(same(wait_event(), ev(EVENT_MOUSE_MOVE, 20, 20)));
}

// VORNA_next_event sees exactly what it saw before: none of the new input is an event for it,
// named keys type nothing, and its lines do not change.
TEST_F(Input, TheClassicWaitIgnoresTheNewInput) {
    PlatformWindow *w = runtime_state.graphics_window;
    platform_send_pointer(w, MSG_MOUSE_MOVE, px(1), py(1), 0, 0, 0);
    platform_send_pointer(w, MSG_WHEEL, px(1), py(1), 120, 0, 0);
    platform_send_pointer(w, MSG_BUTTON_DOWN, px(1), py(1), 2, 1 << 2, 0);
    platform_send_pointer(w, MSG_BUTTON_UP, px(1), py(1), 2, 0, 0);
    platform_send_named_key(w, "Left", "", 0, 1, 0);
    platform_send_named_key(w, "Left", "", 0, 0, 0);
    platform_send_named_key(w, "F5", "", 0, 1, 0);
    platform_send_named_key(w, "A", "a", 0, 1, 0);
    Event event = next_event();
    EXPECT_EQ(event.kind, EVENT_KEY);
    EXPECT_EQ(event.key, 'a');
    platform_send_pointer(w, MSG_BUTTON_DOWN, px(-8), py(9), 1, 1 << 1, VORNA_MOD_SHIFT);
    platform_send_pointer(w, MSG_BUTTON_UP, px(-8), py(9), 1, 0, 0);
    event = next_event();
    EXPECT_EQ(event.kind, EVENT_MOUSE);
    EXPECT_EQ(event.x, -8);
    EXPECT_EQ(event.y, 9);
    VORNA_set_animation(ANIM_STEP);
    EXPECT_EQ(next_event().kind, EVENT_TICK) << "a new kind of input was an event";
}

// Every kind of event VORNA_wait returns, recorded in its line form, played back exactly by
// VORNA_wait; VORNA_next_event plays the classic lines and passes over the others silently.
TEST_F(Input, RecordedWaitEventsPlayBack) {
    ScratchDirectory scratch;
    const struct {
        std::function<void()> input;
        VORNA_Event event;
        const char *line;
    } cases[] = {
        {[] { VORNA_set_animation(ANIM_STEP); }, ev(EVENT_TICK), "VORNA_PERIODIC(1);"},
        {[] { post_input(MSG_LBUTTON_DOWN, px(5), py(6), 0); }, ev(EVENT_MOUSE, 5, 6, 0, 1), "VORNA_MOUSE(5, 6);"},
        {[] { post_input(MSG_LBUTTON_DOWN, px(5), py(6), 0, 0, VORNA_MOD_SHIFT); },
         ev(EVENT_MOUSE, 5, 6, 0, 1, 0, VORNA_MOD_SHIFT), "VORNA_MOUSE(5, 6, 1);"},
        {[] { post_input(MSG_KEY_DOWN, 'A', 0, 'a', 'a'); }, ev(EVENT_KEY, 0, 0, 'a'), "VORNA_KBD(97);"},
        {[] { post_input(MSG_KEY_DOWN, 'A', 1, 'a', 'a'); }, ev(EVENT_KEY, 0, 0, 'a', 0, 0, 0, 1), "VORNA_KBD(97, 0, 1);"},
        {[] { post_input(MSG_KEY_DOWN, 'E', 0, -1, 0xE9, VORNA_MOD_CTRL); },
         ev(EVENT_KEY, 0, 0, 0xE9, 0, 0, VORNA_MOD_CTRL), "VORNA_KBD(-23, 2, 0);"},
        {[] { post_input(MSG_KEY_DOWN, VK_CODE_LEFT, 0, -1, VORNA_KEY_LEFT); }, ev(EVENT_KEY, 0, 0, VORNA_KEY_LEFT),
         "VORNA_NAMED_KEY(256, 0, 0);"},
        {[] { post_input(MSG_KEY_UP, VK_CODE_LEFT, 0, -1, VORNA_KEY_LEFT, VORNA_MOD_ALT); },
         ev(EVENT_KEY_UP, 0, 0, VORNA_KEY_LEFT, 0, 0, VORNA_MOD_ALT), "VORNA_RELEASE_KEY(256, 4);"},
        {[] { post_input(MSG_BUTTON_DOWN, px(-7), py(8), 2); }, ev(EVENT_MOUSE, -7, 8, 0, 2),
         "VORNA_BUTTON(-7, 8, 2, 0);"},
        {[] { post_input(MSG_MOUSE_MOVE, px(-300), py(-270), 2); }, ev(EVENT_MOUSE_MOVE, -300, -270, 0, 2),
         "VORNA_TRACK(-300, -270, 2, 0);"},
        {[] { post_input(MSG_BUTTON_UP, px(1), py(2), 2); }, ev(EVENT_MOUSE_UP, 1, 2, 0, 2),
         "VORNA_LIFT_BUTTON(1, 2, 2, 0);"},
        {[] { post_input(MSG_WHEEL, px(3), py(4), -2, 0, VORNA_MOD_CTRL); },
         ev(EVENT_WHEEL, 3, 4, 0, 0, -2, VORNA_MOD_CTRL), "VORNA_WHEEL(3, 4, -2, 2);"},
        {[] { post_input(MSG_KEY_DOWN, VK_CODE_F1 + 10, 1, -1, VORNA_KEY_F11, VORNA_MOD_SHIFT); },
         ev(EVENT_KEY, 0, 0, VORNA_KEY_F11, 0, 0, VORNA_MOD_SHIFT, 1), "VORNA_NAMED_KEY(280, 1, 1);"},
    };
    toggle_recording();
    for (const auto &c : cases) {
        c.input();
        const VORNA_Event got = wait_event();
        EXPECT_TRUE(same(got, c.event)) << "recording: got " << describe(got) << ", expected " << describe(c.event);
    }
    toggle_recording();
    std::string expected;
    for (const auto &c : cases) expected += std::string(c.line) + "\r\n";
    EXPECT_EQ(read_whole_file("VORNA.SCR"), expected);

    for (bool &held : runtime_state.keys_held) held = false;
    toggle_playback();
    for (const auto &c : cases) {
        const VORNA_Event got = wait_event();
        EXPECT_TRUE(same(got, c.event)) << "playback: got " << describe(got) << ", expected " << describe(c.event);
    }
    EXPECT_EQ(VORNA_key_down(VORNA_KEY_F11), 1) << "the played keys are held";
    EXPECT_EQ(VORNA_key_down(VORNA_KEY_LEFT), 0);
    int x = 0, y = 0;
    VORNA_mouse_position(&x, &y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
    toggle_playback();

    // The classic wait: the ticks, clicks and characters; then the end of the script, with no
    // other message, and live input again.
    printed_lines().clear();
    toggle_playback();
    const Event classic[] = {{EVENT_TICK, 0, 0, 0},  {EVENT_MOUSE, 5, 6, 0}, {EVENT_MOUSE, 5, 6, 0},
                             {EVENT_KEY, 0, 0, 'a'}, {EVENT_KEY, 0, 0, 'a'}, {EVENT_KEY, 0, 0, char(0xE9)}};
    for (const Event &want : classic) {
        const Event got = next_event();
        EXPECT_EQ(got.kind, want.kind);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.key, want.key);
    }
    post_char('q');
    const Event live = next_event();
    EXPECT_EQ(live.kind, EVENT_KEY);
    EXPECT_EQ(live.key, 'q');
    ASSERT_EQ(printed_lines().size(), 1u);
    EXPECT_EQ(printed_lines()[0], "EOF encountered in script file VORNA.SCR\n");
}

// Lines of VORNA_wait's forms that name no event stop its playback, as unknown lines do; a
// classic control character plays as the named key VORNA_wait gives for it.
TEST_F(Input, WaitLinesAreCheckedOnPlayback) {
    ScratchDirectory scratch;
    const struct {
        const char *line;
        VORNA_Event event; // EVENT_NONE: playback stops
    } cases[] = {
        {"VORNA_KBD(13);", ev(EVENT_KEY, 0, 0, VORNA_KEY_ENTER)},
        {"VORNA_KBD(27);", ev(EVENT_KEY, 0, 0, VORNA_KEY_ESCAPE)},
        {"VORNA_NAMED_KEY(270, 7, 0);", ev(EVENT_KEY, 0, 0, VORNA_KEY_F1, 0, 0, 7)},
        {"VORNA_TRACK(1, 2, 0);", ev(EVENT_MOUSE_MOVE, 1, 2)},
        {"VORNA_NAMED_KEY(97, 0, 0);", ev(EVENT_NONE)},
        {"VORNA_NAMED_KEY(281, 0, 0);", ev(EVENT_NONE)},
        {"VORNA_RELEASE_KEY(0, 0);", ev(EVENT_NONE)},
        {"VORNA_BUTTON(1, 2, 1, 0);", ev(EVENT_NONE)},
        {"VORNA_LIFT_BUTTON(1, 2, 4, 0);", ev(EVENT_NONE)},
        {"VORNA_TRACK(1, 2, -1, 0);", ev(EVENT_NONE)},
        {"VORNA_WHEEL(1, 2);", ev(EVENT_NONE)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        {
            std::ofstream script("VORNA.SCR", std::ios::binary | std::ios::trunc);
            script << c.line << "\r\n";
        }
        toggle_playback();
        post_input(MSG_KEY_DOWN, 'M', 0, 'm', '!'); // what the wait gets once playback stops
        const VORNA_Event expected = c.event.kind == EVENT_NONE ? ev(EVENT_KEY, 0, 0, '!') : c.event;
        const VORNA_Event got = wait_event();
        EXPECT_TRUE(same(got, expected)) << "got " << describe(got) << ", expected " << describe(expected);
        reset_script_state();
        drain_messages();
    }
}

TEST_F(Input, TickIntervalsAreCorrectedAndUsed) {
    const struct {
        int asked, used;
    } cases[] = {{5, 10}, {10, 10}, {16, 16}, {1000, 1000}, {1001, 1000}, {-3, 10}, {INT_MIN, 10}, {INT_MAX, 1000}};
    for (const auto &c : cases) {
        printed_lines().clear();
        VORNA_set_tick_interval(c.asked);
        EXPECT_EQ(runtime_state.tick_interval_ms, c.used) << c.asked;
        if (c.asked == c.used) {
            EXPECT_TRUE(printed_lines().empty()) << c.asked;
        } else {
            ASSERT_EQ(printed_lines().size(), 1u) << c.asked;
            EXPECT_EQ(printed_lines()[0], "Tick interval of " + std::to_string(c.asked) +
                                              " not possible, using tick interval " + std::to_string(c.used) + "\n");
        }
    }
    // 20 ms: about 25 ticks in half a second, where 100 ms would give 5.
    VORNA_set_tick_interval(20);
    VORNA_set_animation(ANIM_RUN);
    int ticks = 0;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(500))
        if (wait_event().kind == EVENT_TICK) ticks++;
    EXPECT_GE(ticks, 15);
    EXPECT_LE(ticks, 27);
}

// An input that comes while VORNA_wait has a tick armed leaves the tick owed: the next wait
// delivers it at the timer message that was due, not a whole period later, and at once when
// that message has come meanwhile.
TEST_F(Input, InputDuringAnArmedTickDoesNotCostTheTick) {
    VORNA_set_tick_interval(200);
    VORNA_set_animation(ANIM_RUN);
    EXPECT_EQ(wait_event().kind, EVENT_TICK); // just after a timer message
    // As inside the next wait: the tick armed, then a key.
    runtime_state.event_kind = EVENT_TICK;
    runtime_state.timer_fired = false;
    runtime_state.full_input = true;
    PlatformMessage key{runtime_state.graphics_window, MSG_KEY_DOWN, 'A', 0, 'a'};
    key.key = 'a';
    input_handle_message(&key);
    runtime_state.full_input = false;
    EXPECT_EQ(runtime_state.event_kind, EVENT_KEY);
    EXPECT_TRUE(runtime_state.tick_owed);
    // The program is busy past the timer message that was due; the next wait's first poll
    // receives that message, and the tick comes at once instead of a period later.
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(wait_event().kind, EVENT_TICK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60))
        << "the owed tick waited for a later timer message";
    EXPECT_FALSE(runtime_state.tick_owed);

    runtime_state.tick_owed = true;
    runtime_state.timer_fired = true;
    const auto at_once = std::chrono::steady_clock::now();
    EXPECT_EQ(wait_event().kind, EVENT_TICK);
    EXPECT_LT(std::chrono::steady_clock::now() - at_once, std::chrono::milliseconds(20));
    VORNA_set_animation(ANIM_HALT);
}

// A frame that overruns the tick interval: the timer message that came meanwhile counts for
// the next tick, which VORNA_wait gives at once (the classic wait waits for the next message).
// Only while the animation runs: after a halt it is no tick.
TEST_F(Input, ATimerMessageDuringASlowFrameCountsForTheNextTick) {
    using std::chrono::milliseconds;
    using std::chrono::steady_clock;
    VORNA_set_tick_interval(50);
    VORNA_set_animation(ANIM_RUN);
    EXPECT_EQ(wait_event().kind, EVENT_TICK);
    for (int frame = 0; frame < 3; frame++) {
        std::this_thread::sleep_for(milliseconds(70)); // drawing past the next timer message
        const auto start = steady_clock::now();
        EXPECT_EQ(wait_event().kind, EVENT_TICK);
        EXPECT_LT(steady_clock::now() - start, milliseconds(15)) << "frame " << frame << ": the tick came a period late";
    }
    // The classic wait is as it was: the message that came while drawing does not count.
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    std::this_thread::sleep_for(milliseconds(70));
    const auto classic = steady_clock::now();
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    EXPECT_GE(steady_clock::now() - classic, milliseconds(10));

    EXPECT_EQ(wait_event().kind, EVENT_TICK);
    VORNA_set_animation(ANIM_HALT);
    std::this_thread::sleep_for(milliseconds(70));
    post_input(MSG_KEY_DOWN, 'M', 0, -1, '!');
    EXPECT_EQ(wait_event().key, '!') << "a tick came after the halt";
    // Running again, the first tick comes at a timer message after the wait began, as ever.
    runtime_state.timer_fired = true; // timer messages kept coming while halted
    VORNA_set_tick_interval(50);      // the next message is 50 ms away
    VORNA_set_animation(ANIM_RUN);
    const auto resumed = steady_clock::now();
    EXPECT_EQ(wait_event().kind, EVENT_TICK);
    EXPECT_GE(steady_clock::now() - resumed, milliseconds(30)) << "a tick left over from before the halt";
    VORNA_set_animation(ANIM_HALT);
}

} // namespace
