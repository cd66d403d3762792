// test_prompt.cpp: VORNA_gets driven through the real dialog, from inside its modal loop.
#include <csignal>
#include <cstring>
#include <functional>
#include <string>

#include "test_support.h"

namespace {

using DialogStep = std::function<void(PlatformDialog *dialog, int pass)>;

// Passes after which a stuck dialog is ended by force, so a fault fails instead of hanging.
constexpr int MAX_PASSES = 10000;

struct Driver {
    DialogStep step;
    int passes = 0;
};

void run_step(PlatformDialog *dialog, int pass, void *context) {
    auto *driver = static_cast<Driver *>(context);
    driver->passes = pass + 1;
    if (pass >= MAX_PASSES) {
        ADD_FAILURE() << "the dialog did not end";
        platform_dialog_click_okay(dialog);
        return;
    }
    driver->step(dialog, pass);
}

class PromptTest : public RuntimeTest {
  protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        std::memset(buffer, 'Z', sizeof buffer);
    }
    void TearDown() override {
        platform_prompt_dialog_set_test_driver(nullptr, nullptr);
        RuntimeTest::TearDown();
    }

    // Runs VORNA_gets with the step called on every pass of the dialog's loop.
    int ask(const char *prompt, DialogStep step) {
        driver.step = std::move(step);
        driver.passes = 0;
        platform_prompt_dialog_set_test_driver(run_step, &driver);
        WaitLimit limit("the prompt dialog");
        return VORNA_gets(prompt, buffer);
    }

    // Types the text, presses Okay and returns what came back.
    std::string entry_of(const char *typed) {
        EXPECT_EQ(1, ask("Type:", [typed](PlatformDialog *dialog, int) {
                      platform_dialog_type_text(dialog, typed);
                      platform_dialog_click_okay(dialog);
                  }));
        return buffer;
    }

    Driver driver;
    char buffer[400];
};

std::string shown_prompt(PlatformDialog *dialog) {
    char text[256];
    platform_dialog_prompt_text(dialog, text, sizeof text);
    return text;
}

TEST_F(PromptTest, PromptLineIsAlwaysSeventyNineCharacters) {
    const std::string long_prompt = std::string(79, 'a') + std::string(21, 'b');
    std::string seen;
    ask(long_prompt.c_str(), [&](PlatformDialog *dialog, int) {
        seen = shown_prompt(dialog);
        platform_dialog_click_okay(dialog);
    });
    EXPECT_EQ(std::string(79, 'a'), seen);

    ask("", [&](PlatformDialog *dialog, int) {
        seen = shown_prompt(dialog);
        platform_dialog_click_okay(dialog);
    });
    EXPECT_EQ(std::string(79, ' '), seen);

    ask("Gr\xFC\xDF"
        "e",
        [&](PlatformDialog *dialog, int) {
            seen = shown_prompt(dialog);
            platform_dialog_click_okay(dialog);
        });
    EXPECT_EQ("Gr\xFC\xDF"
              "e" +
                  std::string(74, ' '),
              seen);
}

TEST_F(PromptTest, OpensTitledWithTheFocusInTheTextField) {
    std::string title;
    int focus = 0;
    int focus_after_tab = 0;
    int visible = 0;
    ask("Name?", [&](PlatformDialog *dialog, int) {
        title = platform_dialog_title(dialog);
        focus = platform_dialog_focus_item(dialog);
        visible = platform_dialog_visible(dialog);
        platform_dialog_press_key(dialog, VK_CODE_TAB, 0);
        focus_after_tab = platform_dialog_focus_item(dialog);
        platform_dialog_press_key(dialog, VK_CODE_RETURN, 0); // presses the focused Okay
    });
    EXPECT_EQ("VORNA_gets", title);
    EXPECT_EQ(PROMPT_EDIT, focus);
    EXPECT_EQ(PROMPT_OK, focus_after_tab);
    EXPECT_EQ(1, visible);
    EXPECT_EQ(1, driver.passes);
    EXPECT_EQ(buffer, runtime_state.prompt_result);
}

TEST_F(PromptTest, ItemsSitAtTheirDialogUnitPositions) {
    int cx = 0;
    int cy = 0;
    platform_dialog_base_units(&cx, &cy);
    ASSERT_GT(cx, 0);
    ASSERT_GT(cy, 0);
    struct Expected {
        int item, x, y, width, height;
    };
    const Expected expected[] = {
        {0, 50, 50, 185, 92}, {PROMPT_EDIT, 8, 30, 167, 37}, {PROMPT_OK, 67, 74, 50, 14}, {PROMPT_TEXT, 8, 3, 167, 24}};
    ask("Where?", [&](PlatformDialog *dialog, int) {
        for (const Expected &e : expected) {
            int x, y, w, h;
            platform_dialog_item_geometry(dialog, e.item, &x, &y, &w, &h);
            // Within a pixel of the rounded conversion.
            EXPECT_NEAR(e.x * cx / 4.0, x, 1.0) << "item " << e.item;
            EXPECT_NEAR(e.y * cy / 8.0, y, 1.0) << "item " << e.item;
            EXPECT_NEAR(e.width * cx / 4.0, w, 1.0) << "item " << e.item;
            EXPECT_NEAR(e.height * cy / 8.0, h, 1.0) << "item " << e.item;
        }
        platform_dialog_click_okay(dialog);
    });
}

TEST_F(PromptTest, EntryComesBackAsEightBitText) {
    EXPECT_EQ("Ada Lovelace", entry_of("Ada Lovelace"));
    EXPECT_EQ("", entry_of(""));
    // Latin-1 stays as it is, anything beyond it becomes '?'.
    EXPECT_EQ("Gr\xFC\xDF"
              "e ? ?",
              entry_of("Grüße € \xF0\x9F\x9A\x97"));
}

TEST_F(PromptTest, LongEntryIsCutTo255Characters) {
    const std::string typed(300, 'q');
    EXPECT_EQ(std::string(255, 'q'), entry_of(typed.c_str()));
    EXPECT_EQ('Z', buffer[256]); // nothing written past the terminator
}

TEST_F(PromptTest, CtrlEnterGivesCrLfAndEnterEndsTheDialog) {
    EXPECT_EQ(1, ask("Two lines:", [](PlatformDialog *dialog, int) {
                  platform_dialog_type_text(dialog, "one");
                  platform_dialog_press_key(dialog, VK_CODE_RETURN, 1);
                  platform_dialog_type_text(dialog, "two");
                  platform_dialog_press_key(dialog, VK_CODE_RETURN, 0);
              }));
    EXPECT_STREQ("one\r\ntwo", buffer);
    EXPECT_EQ(1, driver.passes); // Enter alone ended it, without Okay
}

TEST_F(PromptTest, EscapeAndCloseBoxLeaveItOpen) {
    int visible_after_escape = 0;
    int visible_after_close = 0;
    EXPECT_EQ(1, ask("Stay:", [&](PlatformDialog *dialog, int pass) {
                  if (pass == 0) {
                      platform_dialog_type_text(dialog, "kept");
                      platform_dialog_press_key(dialog, VK_CODE_ESCAPE, 0);
                      visible_after_escape = platform_dialog_visible(dialog);
                      platform_dialog_request_close(dialog);
                      visible_after_close = platform_dialog_visible(dialog);
                  } else {
                      platform_dialog_click_okay(dialog);
                  }
              }));
    EXPECT_EQ(1, visible_after_escape);
    EXPECT_EQ(1, visible_after_close);
    EXPECT_EQ(2, driver.passes);
    EXPECT_STREQ("kept", buffer);
}

TEST_F(PromptTest, RuntimeKeepsWorkingAndQuitWaitsForTheDialog) {
    int visible_when_timer_seen = 0;
    ask("Busy?", [&](PlatformDialog *dialog, int pass) {
        if (pass == 0) {
            runtime_state.timer_fired = false;
            platform_post_quit(0);
            platform_post_message(runtime_state.graphics_window, MSG_PAINT, 0, 0, 0);
            platform_post_message(runtime_state.graphics_window, MSG_TIMER, TIMER_ANIMATION_ID, 0, 0);
        } else if (runtime_state.timer_fired) {
            visible_when_timer_seen = platform_dialog_visible(dialog);
            platform_dialog_click_okay(dialog);
        }
    });
    EXPECT_EQ(1, visible_when_timer_seen); // the quit before the timer did not end the dialog
    // The held quit is posted again as it came: a dialog opened before the next wait holds it
    // once more instead of ending as a signal's quit ends it.
    ask("Again?", [](PlatformDialog *dialog, int pass) {
        if (pass == 3) platform_dialog_click_okay(dialog);
    });
    EXPECT_EQ(4, driver.passes);
    platform_prompt_dialog_set_test_driver(nullptr, nullptr);
    // A key queued behind the re-posted quit: the wait must see the quit first.
    post_char('k');
    EXPECT_EQ(EVENT_QUIT, next_event().kind); // the held quit was not lost
}

// A logout or a Ctrl+C in the terminal cannot wait for the user: the entry so far comes back
// as with Okay, and the quit follows at the next wait.
TEST_F(PromptTest, ASignalEndsTheDialogAndTheQuitFollows) {
    for (int signal_number : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal_number);
        EXPECT_EQ(1, ask("Leaving?", [signal_number](PlatformDialog *dialog, int pass) {
                      if (pass == 0) {
                          platform_dialog_type_text(dialog, "so far");
                          std::raise(signal_number);
                      }
                  }));
        EXPECT_STREQ("so far", buffer);
        EXPECT_LT(driver.passes, MAX_PASSES);
        platform_prompt_dialog_set_test_driver(nullptr, nullptr);
        post_char('k');
        EXPECT_EQ(EVENT_QUIT, next_event().kind);
    }
}

TEST_F(PromptTest, NoDialogWithoutAGraphicsWindow) {
    PlatformWindow *window = runtime_state.graphics_window;
    char *recorded = runtime_state.prompt_result;
    runtime_state.graphics_window = nullptr;
    EXPECT_EQ(0, VORNA_gets("Anyone?", buffer));
    runtime_state.graphics_window = window;
    EXPECT_EQ('Z', buffer[0]);
    EXPECT_EQ(recorded, runtime_state.prompt_result);
    testing::internal::CaptureStderr();
    EXPECT_EQ(-1, platform_prompt_dialog(nullptr, "VORNA_gets", "x", buffer, 256));
    EXPECT_EQ("vorna: the prompt dialog cannot open: it has no window\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ('Z', buffer[0]);
}

} // namespace
