// test_menu.cpp: the Run menu as built on the real window, its commands from the menu and from
// Ctrl keys in either window, and SIGINT/SIGTERM ending the wait with a quit.
#include <csignal>
#include <cstring>
#include <string>

#include "test_support.h"

namespace {

struct ExpectedItem {
    int id;
    const char *text;
    int flags;
};

const ExpectedItem EXPECTED_MENU[] = {
    {CMD_ANIMATE, "&Animate\tCtrl+A", 0},
    {CMD_HALT, "&Halt animation\tCtrl+H", 0},
    {CMD_STEP, "Advance one &frame\tCtrl+F", 0},
    {-1, "", 0},
    {CMD_LOGGING, "&Logging\tCtrl+L", MENU_ITEM_CHECKED},
    {-1, "", 0},
    {CMD_RECORD, "&Record Script\tCtrl+R", 0},
    {CMD_PLAYBACK, "&Playback Script\tCtrl+P", 0},
    {CMD_PLAY_ONE, "Play &One Script\tCtrl+O", 0},
    {-1, "", 0},
    {CMD_QUIT, "&Quit\tCtrl+Q", 0},
    {-1, "", 0},
    {CMD_CREDITS, "VORNA graphics runtime", MENU_ITEM_GRAYED},
    {CMD_CREDITS, "MAC: mac@vorna.example.org", MENU_ITEM_GRAYED},
    {CMD_CREDITS, "WINDOWS: windows@vorna.example.org", MENU_ITEM_GRAYED},
    {CMD_CREDITS, "UPDATES: updates@vorna.example.org", MENU_ITEM_GRAYED},
};

class MenuTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        runtime_state.logging = 1;
        platform_menu_check(runtime_state.run_menu, CMD_LOGGING, 1);
    }
};

TEST_F(MenuTest, RunMenuHasItsItemsInOrderWithTextsIdentifiersAndStates) {
    ASSERT_NE(runtime_state.run_menu, nullptr);
    const int count = static_cast<int>(std::size(EXPECTED_MENU));
    ASSERT_EQ(platform_menu_item_count(runtime_state.run_menu), count);
    for (int i = 0; i < count; i++) {
        int id = 0, flags = -1;
        char text[128] = "?";
        ASSERT_EQ(platform_menu_item_info(runtime_state.run_menu, i, &id, text, sizeof text, &flags), 1);
        EXPECT_EQ(id, EXPECTED_MENU[i].id) << "item " << i;
        EXPECT_STREQ(text, EXPECTED_MENU[i].text) << "item " << i;
        EXPECT_EQ(flags, EXPECTED_MENU[i].flags) << "item " << i;
    }
    EXPECT_EQ(platform_menu_item_info(runtime_state.run_menu, count, nullptr, nullptr, 0, nullptr), 0);

    // A short buffer gets a cut, terminated text.
    char small[5];
    platform_menu_item_info(runtime_state.run_menu, 0, nullptr, small, sizeof small, nullptr);
    EXPECT_STREQ(small, "&Ani");
}

TEST_F(MenuTest, EveryCommandWorksFromTheMenu) {
    platform_menu_trigger(runtime_state.run_menu, menu_index(CMD_ANIMATE));
    EXPECT_EQ(drain_messages(), 0);
    EXPECT_TRUE(runtime_state.running);

    runtime_state.single_step = true;
    platform_menu_trigger(runtime_state.run_menu, menu_index(CMD_HALT));
    drain_messages();
    EXPECT_FALSE(runtime_state.running);
    EXPECT_TRUE(runtime_state.single_step) << "a step already asked for is kept";

    runtime_state.running = true;
    runtime_state.single_step = false;
    platform_menu_trigger(runtime_state.run_menu, menu_index(CMD_STEP));
    drain_messages();
    EXPECT_FALSE(runtime_state.running);
    EXPECT_TRUE(runtime_state.single_step);

    platform_menu_trigger(runtime_state.run_menu, menu_index(CMD_LOGGING));
    drain_messages();
    EXPECT_EQ(runtime_state.logging, 0);
    EXPECT_EQ(menu_flags(CMD_LOGGING), 0);
    platform_menu_trigger(runtime_state.run_menu, menu_index(CMD_LOGGING));
    drain_messages();
    EXPECT_EQ(runtime_state.logging, 1);
    EXPECT_EQ(menu_flags(CMD_LOGGING), MENU_ITEM_CHECKED);

    platform_menu_trigger(runtime_state.run_menu, menu_index(CMD_QUIT));
    EXPECT_EQ(drain_messages(), 1);
}

TEST_F(MenuTest, QuitFromTheMenuEndsTheWaitWithQuit) {
    platform_menu_trigger(runtime_state.run_menu, menu_index(CMD_QUIT));
    EXPECT_EQ(next_event().kind, EVENT_QUIT);
}

TEST_F(MenuTest, GreyedItemsSeparatorsAndUnknownIdentifiersDoNothing) {
    platform_menu_trigger(runtime_state.run_menu, 12); // the banner
    platform_menu_trigger(runtime_state.run_menu, 13);
    platform_menu_trigger(runtime_state.run_menu, 3); // a separator
    platform_menu_trigger(runtime_state.run_menu, 99);
    PlatformMessage message;
    EXPECT_EQ(platform_peek_message(&message, 0), 0) << "nothing may be posted";

    for (int id : {0, int(CMD_CREDITS), 10, -1, 1000}) {
        platform_post_message(runtime_state.graphics_window, MSG_COMMAND, id, 0, 0);
    }
    EXPECT_EQ(drain_messages(), 0);
    EXPECT_FALSE(runtime_state.running);
    EXPECT_FALSE(runtime_state.single_step);
    EXPECT_EQ(runtime_state.logging, 1);
    EXPECT_FALSE(runtime_state.recording);
    EXPECT_FALSE(runtime_state.playback);
    EXPECT_FALSE(runtime_state.play_one);
}

TEST_F(MenuTest, CheckMarksAreSetAndClearedByIdentifierAndSurviveAChoice) {
    platform_menu_check(runtime_state.run_menu, CMD_RECORD, 1);
    EXPECT_EQ(menu_flags(CMD_RECORD), MENU_ITEM_CHECKED);
    // The user choosing a checked item does not flip its mark on its own: only the command does.
    platform_menu_trigger(runtime_state.run_menu, menu_index(CMD_RECORD));
    EXPECT_EQ(menu_flags(CMD_RECORD), MENU_ITEM_CHECKED);
    platform_flush_messages();
    platform_menu_check(runtime_state.run_menu, CMD_RECORD, 0);
    EXPECT_EQ(menu_flags(CMD_RECORD), 0);
    // A null menu (before start-up) is ignored.
    platform_menu_check(nullptr, CMD_RECORD, 1);
    EXPECT_EQ(platform_menu_item_count(nullptr), 0);
}

// Each Ctrl letter, typed into either window, runs its command; Shift or Caps Lock do not
// matter since the key code is the upper-case letter either way.
TEST_F(MenuTest, CtrlLettersRunTheirCommandsFromBothWindows) {
    for (PlatformWindow *window : {runtime_state.graphics_window, runtime_state.text_window}) {
        SCOPED_TRACE(window == runtime_state.graphics_window ? "graphics window" : "text window");
        runtime_state.running = false;
        press_ctrl_letter(window, 'A');
        drain_messages();
        EXPECT_TRUE(runtime_state.running);

        press_ctrl_letter(window, 'H');
        drain_messages();
        EXPECT_FALSE(runtime_state.running);

        runtime_state.running = true;
        press_ctrl_letter(window, 'F');
        drain_messages();
        EXPECT_FALSE(runtime_state.running);
        EXPECT_TRUE(runtime_state.single_step);
        runtime_state.single_step = false;

        press_ctrl_letter(window, 'L');
        drain_messages();
        EXPECT_EQ(runtime_state.logging, 0);
        EXPECT_EQ(menu_flags(CMD_LOGGING), 0);
        press_ctrl_letter(window, 'L');
        drain_messages();
        EXPECT_EQ(runtime_state.logging, 1);

        press_ctrl_letter(window, 'R');
        drain_messages();
        EXPECT_TRUE(runtime_state.recording);
        EXPECT_EQ(menu_flags(CMD_RECORD), MENU_ITEM_CHECKED);
        press_ctrl_letter(window, 'R');
        drain_messages();
        EXPECT_FALSE(runtime_state.recording);
        EXPECT_EQ(menu_flags(CMD_RECORD), 0);

        runtime_state.running = true;
        press_ctrl_letter(window, 'P');
        drain_messages();
        EXPECT_TRUE(runtime_state.playback);
        EXPECT_FALSE(runtime_state.running);
        EXPECT_EQ(menu_flags(CMD_PLAYBACK), MENU_ITEM_CHECKED);
        press_ctrl_letter(window, 'P');
        drain_messages();
        EXPECT_FALSE(runtime_state.playback);
        EXPECT_EQ(menu_flags(CMD_PLAYBACK), 0);

        runtime_state.running = true;
        runtime_state.single_step = true;
        press_ctrl_letter(window, 'O');
        drain_messages();
        EXPECT_TRUE(runtime_state.play_one);
        EXPECT_FALSE(runtime_state.running);
        EXPECT_FALSE(runtime_state.single_step);
        EXPECT_EQ(menu_flags(CMD_PLAY_ONE), 0);
        runtime_state.play_one = false;

        press_ctrl_letter(window, 'Q');
        EXPECT_EQ(drain_messages(), 1);
        EXPECT_EQ(runtime_state.ctrl_down, 0);
    }
}

TEST_F(MenuTest, LettersWithoutCtrlAndOtherKeysWithCtrlAreNoCommands) {
    for (int letter : {'A', 'Q', 'R', 'P'}) platform_post_message(runtime_state.graphics_window, MSG_KEY_DOWN, letter, 0, -1);
    EXPECT_EQ(drain_messages(), 0);
    EXPECT_FALSE(runtime_state.running);
    EXPECT_FALSE(runtime_state.recording);
    EXPECT_FALSE(runtime_state.playback);

    platform_post_message(runtime_state.graphics_window, MSG_KEY_DOWN, VK_CODE_CONTROL, 0, -1);
    for (int key : {int('B'), int('Z'), int('1'), int(VK_CODE_SHIFT), int(VK_CODE_RETURN), int('a')})
        platform_post_message(runtime_state.graphics_window, MSG_KEY_DOWN, key, 0, -1);
    EXPECT_EQ(drain_messages(), 0);
    EXPECT_EQ(runtime_state.ctrl_down, 1) << "other keys leave Ctrl held";
    EXPECT_FALSE(runtime_state.running);
    EXPECT_EQ(runtime_state.logging, 1);
}

TEST_F(MenuTest, CtrlIsForgottenOnItsReleaseAndWhenTheFocusLeaves) {
    platform_post_message(runtime_state.graphics_window, MSG_KEY_DOWN, VK_CODE_CONTROL, 0, -1);
    platform_post_message(runtime_state.graphics_window, MSG_KEY_UP, 'X', 0, 0);
    drain_messages();
    EXPECT_EQ(runtime_state.ctrl_down, 1);
    platform_post_message(runtime_state.graphics_window, MSG_KEY_UP, VK_CODE_CONTROL, 0, 0);
    drain_messages();
    EXPECT_EQ(runtime_state.ctrl_down, 0);

    // Ctrl went down here, and was released while another program had the focus.
    platform_post_message(runtime_state.text_window, MSG_KEY_DOWN, VK_CODE_CONTROL, 0, -1);
    drain_messages();
    EXPECT_EQ(runtime_state.ctrl_down, 1);
    platform_post_message(runtime_state.graphics_window, MSG_FOCUS_LOST, 0, 0, 0);
    platform_post_message(runtime_state.graphics_window, MSG_KEY_DOWN, 'Q', 0, -1);
    EXPECT_EQ(drain_messages(), 0) << "a plain Q after the focus came back must not quit";
    EXPECT_EQ(runtime_state.ctrl_down, 0);
}

TEST_F(MenuTest, KeyRepeatsActAgain) {
    platform_post_message(runtime_state.graphics_window, MSG_KEY_DOWN, VK_CODE_CONTROL, 0, -1);
    platform_post_message(runtime_state.graphics_window, MSG_KEY_DOWN, VK_CODE_CONTROL, 1, -1);
    for (int i = 0; i < 3; i++) platform_post_message(runtime_state.graphics_window, MSG_KEY_DOWN, 'L', i > 0, -1);
    drain_messages();
    EXPECT_EQ(runtime_state.logging, 0) << "three toggles from on";
    runtime_state.ctrl_down = 0;
}

TEST_F(MenuTest, ATypedCharacterWithCtrlHeldIsACommandNotAKey) {
    // The key-down of Ctrl+A also types a control character; the wait must not return it.
    platform_post_message(runtime_state.graphics_window, MSG_KEY_DOWN, VK_CODE_CONTROL, 0, -1);
    platform_post_message(runtime_state.graphics_window, MSG_KEY_DOWN, 'A', 0, 1);
    platform_post_message(runtime_state.graphics_window, MSG_KEY_UP, VK_CODE_CONTROL, 0, 0);
    post_char('z');
    runtime_state.running = false;
    // Animate armed a tick, which the character replaces.
    const Event event = next_event();
    EXPECT_EQ(event.kind, EVENT_KEY);
    EXPECT_EQ(event.key, 'z');
    EXPECT_TRUE(runtime_state.running);
}

TEST_F(MenuTest, TerminationSignalsEndTheWaitWithQuit) {
    for (int signal_number : {SIGINT, SIGTERM}) {
        platform_flush_messages();
        ASSERT_EQ(std::raise(signal_number), 0);
        EXPECT_EQ(next_event().kind, EVENT_QUIT) << "signal " << signal_number;
    }
}

} // namespace
