// script.cpp: recording the event stream to VORNA.SCR and playing it back.
//
// The file holds one event per line:
//     VORNA_MOUSE(x, y);    one mouse click at logical (x, y)
//     VORNA_KBD(c);         one character, as a signed byte (-128..127)
//     VORNA_PERIODIC(n);    a run of n ticks
// The writer ends every line with CR LF and flushes it at once. The reader accepts CR LF and a
// lone LF as line ends, skips empty lines, and plays a last line that has no line end. It tells
// the forms apart by the character at offset 6 (the one after "VORNA_") and then picks the
// numbers out of the rest of the line; it parses straight from the stream, character by
// character, so no line or number can be too long for it.
//
// The stream serves one side at a time: the recorder opens it for writing, the reader for
// reading, and the commands below close one side before they start the other.
#include <climits>
#include <cstdint>

#include "runtime_internal.h"

namespace {

// What reading one line produced.
enum LineResult {
    LINE_END_OF_FILE,  // nothing was left to read
    LINE_EMPTY,        // a line end alone
    LINE_UNRECOGNISED, // text that is not one of the three forms, or lacks a number
    LINE_EVENT,        // one of the three forms with all its numbers
};

struct ScriptLine {
    char form;     // 'M', 'K' or 'P'
    int values[2]; // the numbers in the order they appear
};

// Where the current line stands while it is read.
enum LineState {
    LINE_OPEN,        // more characters may follow
    LINE_ENDED,       // its CR LF or LF has been consumed
    LINE_STREAM_DONE, // the stream had nothing more (end of file, or a read error)
};

// Reads one character of the current line: the character, or -1 once the line has ended.
int next_line_char(std::FILE *stream, LineState *state) {
    if (*state != LINE_OPEN) return -1;
    int c = std::getc(stream);
    if (c == '\r') {
        int after = std::getc(stream);
        if (after == '\n') c = '\n';
        else if (after != EOF) std::ungetc(after, stream);
    }
    if (c == '\n') {
        *state = LINE_ENDED;
        return -1;
    }
    if (c == EOF) {
        *state = LINE_STREAM_DONE;
        return -1;
    }
    return c;
}

bool is_digit(int c) { return c >= '0' && c <= '9'; }

// Reads one number out of the line. The scan starts at *c (the current character) and skips to
// the first digit, or also to a minus sign when allow_minus is set. The token that starts there
// is the run of digits (and, with allow_minus, minus signs) that follows; its value is an
// optional leading minus sign and the digits right after it, saturated to the 32-bit range; a
// token whose first digit does not follow at once is 0. On return *c is the first character
// after the token. Returns false when the line ends before a token starts.
bool scan_number(std::FILE *stream, LineState *state, int *c, bool allow_minus, int *value) {
    while (*c != -1 && !is_digit(*c) && !(allow_minus && *c == '-')) *c = next_line_char(stream, state);
    if (*c == -1) return false;

    bool negative = false;
    bool in_value = true; // still inside "-?digits" at the start of the token
    bool seen_digit = false;
    std::int64_t magnitude = 0;
    if (*c == '-') {
        negative = true;
        *c = next_line_char(stream, state);
    }
    while (*c != -1 && (is_digit(*c) || (allow_minus && *c == '-'))) {
        if (in_value && is_digit(*c)) {
            seen_digit = true;
            // Saturate: beyond 2^31 nothing more is added, so the magnitude never overflows.
            if (magnitude <= static_cast<std::int64_t>(INT_MAX) + 1) magnitude = magnitude * 10 + (*c - '0');
        } else {
            in_value = false;
        }
        *c = next_line_char(stream, state);
    }
    if (!seen_digit) {
        *value = 0;
        return true;
    }
    if (negative) *value = magnitude >= static_cast<std::int64_t>(INT_MAX) + 1 ? INT_MIN : static_cast<int>(-magnitude);
    else *value = magnitude >= INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    return true;
}

// Reads the next line of the stream and parses it. The whole line is always consumed.
LineResult read_script_line(std::FILE *stream, ScriptLine *line) {
    LineState state = LINE_OPEN;
    int c = next_line_char(stream, &state);
    if (c == -1) return state == LINE_STREAM_DONE ? LINE_END_OF_FILE : LINE_EMPTY;

    // Offsets 0..5 are not examined; offset 6 selects the form.
    for (int offset = 0; offset < 6 && c != -1; offset++) c = next_line_char(stream, &state);
    LineResult result = LINE_UNRECOGNISED;
    if (c == 'M' || c == 'K' || c == 'P') {
        line->form = static_cast<char>(c);
        bool numbers_found;
        if (line->form == 'M') {
            numbers_found = scan_number(stream, &state, &c, true, &line->values[0]) &&
                            scan_number(stream, &state, &c, true, &line->values[1]);
        } else {
            numbers_found = scan_number(stream, &state, &c, line->form == 'K', &line->values[0]);
        }
        if (numbers_found) result = LINE_EVENT;
    }
    while (c != -1) c = next_line_char(stream, &state);
    return result;
}

// Ends whatever the reading side holds: playback, a pending Play One, the stream, and the
// ticks still owed from the old position.
void end_reading(void) {
    if (runtime_state.playback) {
        runtime_state.playback = false;
        platform_menu_check(runtime_state.run_menu, CMD_PLAYBACK, 0);
    }
    runtime_state.play_one = false;
    close_script();
    runtime_state.pending_ticks = 0;
}

} // namespace

void write_script_event(int kind, int x, int y, signed char key) {
    if (runtime_state.script == nullptr) {
        // Binary mode: the line ends below are written as they are, CR LF on every system.
        runtime_state.script = std::fopen(SCRIPT_FILE_NAME, "wb");
        if (runtime_state.script == nullptr) {
            VORNA_print("Cannot open script file %s for writing\n", SCRIPT_FILE_NAME);
            return;
        }
    }
    std::FILE *stream = runtime_state.script;
    switch (kind) {
    case EVENT_MOUSE:
        std::fprintf(stream, "VORNA_MOUSE(%d, %d);\r\n", x, y);
        break;
    case EVENT_KEY:
        std::fprintf(stream, "VORNA_KBD(%d);\r\n", key);
        break;
    case EVENT_TICK:
        std::fprintf(stream, "VORNA_PERIODIC(%d);\r\n", runtime_state.pending_ticks);
        break;
    default:
        return; // a quit has no line of its own
    }
    // Each line reaches the file at once, so a recording survives the program's end by any path.
    std::fflush(stream);
}

void record_event(void) {
    if (runtime_state.event_kind == EVENT_TICK) {
        if (runtime_state.pending_ticks < INT_MAX) runtime_state.pending_ticks++;
        return;
    }
    if (runtime_state.pending_ticks > 0) {
        write_script_event(EVENT_TICK, 0, 0, 0);
        runtime_state.pending_ticks = 0;
    }
    write_script_event(runtime_state.event_kind, runtime_state.mouse_x, runtime_state.mouse_y, runtime_state.key);
}

int read_script_event(void) {
    if (runtime_state.script == nullptr) {
        runtime_state.script = std::fopen(SCRIPT_FILE_NAME, "rb");
        if (runtime_state.script == nullptr) {
            VORNA_print("Cannot open script file %s for reading\n", SCRIPT_FILE_NAME);
            stop_playback();
            return 0;
        }
    }
    if (runtime_state.pending_ticks > 0) {
        runtime_state.event_kind = EVENT_TICK;
        runtime_state.pending_ticks--;
        return 1;
    }

    ScriptLine line = {};
    LineResult result;
    do {
        result = read_script_line(runtime_state.script, &line);
    } while (result == LINE_EMPTY);

    if (result == LINE_END_OF_FILE) {
        VORNA_print("EOF encountered in script file %s\n", SCRIPT_FILE_NAME);
        stop_playback();
        close_script();
        return 0;
    }
    if (result == LINE_UNRECOGNISED) {
        stop_playback();
        return 0;
    }
    switch (line.form) {
    case 'M':
        runtime_state.event_kind = EVENT_MOUSE;
        runtime_state.mouse_x = line.values[0];
        runtime_state.mouse_y = line.values[1];
        break;
    case 'K':
        runtime_state.event_kind = EVENT_KEY;
        runtime_state.key = static_cast<signed char>(static_cast<unsigned>(line.values[0]) & 0xFFu);
        break;
    default: // 'P': this read gives the first tick, the counter the rest
        runtime_state.event_kind = EVENT_TICK;
        runtime_state.pending_ticks = line.values[0] - 1;
        break;
    }
    return 1;
}

void stop_playback(void) {
    runtime_state.playback = false;
    runtime_state.play_one = false;
    platform_menu_check(runtime_state.run_menu, CMD_PLAYBACK, 0);
}

void close_script(void) {
    if (runtime_state.script != nullptr) std::fclose(runtime_state.script);
    runtime_state.script = nullptr;
}

void toggle_recording(void) {
    if (runtime_state.recording) {
        runtime_state.recording = false;
        platform_menu_check(runtime_state.run_menu, CMD_RECORD, 0);
        if (runtime_state.pending_ticks > 0) {
            write_script_event(EVENT_TICK, 0, 0, 0);
            runtime_state.pending_ticks = 0;
        }
        close_script();
        return;
    }
    // The recording must neither write into a stream opened for reading nor count from ticks
    // that the reading side still owed.
    end_reading();
    runtime_state.recording = true;
    platform_menu_check(runtime_state.run_menu, CMD_RECORD, 1);
}

void toggle_playback(void) {
    if (runtime_state.playback) {
        runtime_state.playback = false;
        platform_menu_check(runtime_state.run_menu, CMD_PLAYBACK, 0);
        close_script();
        // The reopened file starts at its first line: no ticks are owed from the old position.
        runtime_state.pending_ticks = 0;
        return;
    }
    if (runtime_state.recording) toggle_recording(); // writes the pending ticks and closes
    runtime_state.running = false;
    runtime_state.single_step = false;
    runtime_state.playback = true;
    platform_menu_check(runtime_state.run_menu, CMD_PLAYBACK, 1);
}

void request_play_one(void) {
    if (runtime_state.recording) toggle_recording();
    runtime_state.play_one = true;
    runtime_state.running = false;
    runtime_state.single_step = false;
}
