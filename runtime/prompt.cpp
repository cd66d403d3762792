// prompt.cpp: VORNA_gets, a modal dialog over the graphics window that reads a line of text,
// or the next line of the VORNA_ANSWERS file.
//
// A prompt that nobody will ever answer ends the program: after the graphics window was closed
// or a signal asked it to quit, the dialog returns at once, and in an unattended run whose
// script has ended nobody is there; a program that asks again in a loop would spin for ever.
// So would one that prompts in a loop while nobody answers, before its script ends: it never
// waits, so the script never moves on; PROMPT_UNANSWERED_LIMIT prompts in a row without a wait
// end it too. The program ends as its shut-down would end it (the picture and the log are left
// behind), with EXIT_NOBODY_ANSWERS and the reason on the console, in the log and on stderr.
#include <cstdlib>

#include "runtime_internal.h"

namespace {

constexpr int PROMPT_LINE_LENGTH = 79;  // the prompt line always shows exactly this many characters
constexpr int PROMPT_RESULT_SIZE = 256; // the caller's buffer: 255 characters and a terminator
const char PROMPT_TITLE[] = "VORNA_gets";
// Far more unanswered prompts than a program asks without waiting for an event in between,
// unless it asks in a loop that only an answer would end.
constexpr int PROMPT_UNANSWERED_LIMIT = 1000;

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

// The next line of the answers file as the entry: its line end (LF or CR LF) dropped, cut to
// 255 characters as the dialog cuts an entry. False when the file has no lines left.
bool next_answer(char *result) {
    std::size_t length = 0; // the line's characters, its line end excluded
    int c = 0;
    int previous = 0;
    bool any = false;
    while ((c = std::getc(runtime_state.answers)) != EOF && c != '\n') {
        if (length < PROMPT_RESULT_SIZE - 1) result[length] = char(c);
        length++;
        previous = c;
        any = true;
    }
    if (!any && c == EOF) return false;
    if (c == '\n' && previous == '\r') length--;
    result[length < PROMPT_RESULT_SIZE - 1 ? length : PROMPT_RESULT_SIZE - 1] = '\0';
    return true;
}

[[noreturn]] void end_at_prompt(const char *prompt, const char *reason) {
    char line[FORMAT_BUFFER_SIZE];
    std::snprintf(line, sizeof line, "VORNA_gets \"%s\": %s; the program ends\n", prompt, reason);
    VORNA_print("%s", line);
    std::fputs(line, stderr);
    VORNA_shutdown();
    std::exit(EXIT_NOBODY_ANSWERS);
}

} // namespace

int VORNA_gets(const char *prompt, char *result) {
    if (refuse_other_thread("VORNA_gets")) return 0;
    if (!runtime_state.graphics_window) return 0;
    if (!result) {
        VORNA_print("VORNA_gets needs a buffer for the entry, not asking\n");
        return 0;
    }
    unattended_before_wait(); // the dialog waits as VORNA_next_event does
    const char *shown = prompt ? prompt : "";

    if (platform_quit_signal_pending())
        end_at_prompt(shown, "a signal asked the program to quit, and nobody will answer");
    if (platform_window_closed(runtime_state.graphics_window))
        end_at_prompt(shown, "the graphics window was closed, and nobody will answer");
    if (runtime_state.answers && next_answer(result)) {
        runtime_state.prompt_result = result;
        return 1;
    }
    if (runtime_state.play_ended) end_at_prompt(shown, "the unattended run's script has ended, and nobody will answer");

    if (runtime_state.answers || unattended_without_user()) {
        // Nobody is there to answer, and a dialog would wait for ever. The program gets an
        // empty entry, as if Okay had been pressed at once.
        if (++runtime_state.prompts_unanswered >= PROMPT_UNANSWERED_LIMIT) {
            char reason[128];
            std::snprintf(reason, sizeof reason,
                          "%d prompts in a row went unanswered, with no wait for an event in between",
                          PROMPT_UNANSWERED_LIMIT);
            end_at_prompt(shown, reason);
        }
        runtime_state.prompt_result = result;
        result[0] = '\0';
        if (runtime_state.answers)
            VORNA_print("VORNA_gets \"%s\": no answers left in %s; the entry is empty\n", shown,
                        runtime_state.answers_path);
        else
            VORNA_print("VORNA_gets \"%s\": nobody answers in an unattended run; the entry is empty\n", shown);
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
    platform_loop_watch_waiting(1); // the user's typing is no loop
    const int opened =
        platform_prompt_dialog(runtime_state.graphics_window, PROMPT_TITLE, line, result, PROMPT_RESULT_SIZE);
    platform_loop_watch_waiting(0);
    if (opened == -1) {
        runtime_state.prompt_result = previous_result;
        return 0;
    }
    return 1;
}
