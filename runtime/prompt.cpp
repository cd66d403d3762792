// prompt.cpp: VORNA_gets, a modal dialog over the graphics window that reads a line of text.
#include "runtime_internal.h"

namespace {

constexpr int PROMPT_LINE_LENGTH = 79;  // the prompt line always shows exactly this many characters
constexpr int PROMPT_RESULT_SIZE = 256; // the caller's buffer: 255 characters and a terminator
const char PROMPT_TITLE[] = "VORNA_gets";

// The caller's prompt cut to, or padded with spaces up to, PROMPT_LINE_LENGTH characters.
void build_prompt_line(const char *prompt, char line[PROMPT_LINE_LENGTH + 1]) {
    int n = 0;
    if (prompt) {
        for (; n < PROMPT_LINE_LENGTH && prompt[n] != '\0'; ++n)
            line[n] = prompt[n];
    }
    for (; n < PROMPT_LINE_LENGTH; ++n)
        line[n] = ' ';
    line[PROMPT_LINE_LENGTH] = '\0';
}

} // namespace

int VORNA_gets(const char *prompt, char *result) {
    if (!runtime_state.graphics_window) return 0;
    if (!result) {
        VORNA_print("VORNA_gets needs a buffer for the entry, not asking\n");
        return 0;
    }
    unattended_before_wait(); // the dialog waits as VORNA_next_event does

    if (unattended_without_user()) {
        // The run plays a script and then quits: nobody is there to answer, and a dialog would
        // wait for ever. The program gets an empty entry, as if Okay had been pressed at once.
        runtime_state.prompt_result = result;
        result[0] = '\0';
        VORNA_print("VORNA_gets \"%s\": nobody answers in an unattended run; the entry is empty\n",
                    prompt ? prompt : "");
        return 1;
    }

    char line[PROMPT_LINE_LENGTH + 1];
    build_prompt_line(prompt, line);

    // Whatever was drawn before the question goes on the screen before the dialog covers it.
    present_canvas();

    // The dialog keeps the caller's buffer from the moment it opens; one that never opened
    // leaves the previous buffer recorded.
    char *previous_result = runtime_state.prompt_result;
    runtime_state.prompt_result = result;
    if (platform_prompt_dialog(runtime_state.graphics_window, PROMPT_TITLE, line, result, PROMPT_RESULT_SIZE) == -1) {
        runtime_state.prompt_result = previous_result;
        return 0;
    }
    return 1;
}
