// script.cpp: recording the event stream to VORNA.SCR and playing it back.
//
// The file holds one event per line:
//     VORNA_MOUSE(x, y);    one mouse click at logical (x, y)
//     VORNA_KBD(c);         one character, as a signed byte (-128..127)
//     VORNA_PERIODIC(n);    a run of n ticks
// The writer ends every line with CR LF and flushes it at once. The reader accepts CR LF and a
// lone LF as line ends, skips empty lines, and plays a last line that has no line end. It reads
// at most 511 characters at a time: a longer line is read as several lines, the first of which
// decides. It tells the forms apart by the character at offset 6 (the one after "VORNA_") and
// then picks the numbers out of the rest of the line.
//
// The script is only ever a regular file: a FIFO could block the one thread in open() or in a
// read, a device such as /dev/zero never ends, and a directory cannot be read. Anything else is
// treated as a file that cannot be opened.
//
// The stream serves one side at a time: the recorder opens it for writing, the reader for
// reading, and the commands below close one side before they start the other. The reader reads
// VORNA.SCR, or the file that VORNA_PLAY names (unattended.cpp); the recorder writes VORNA.SCR,
// or the file that VORNA_RECORD names, and never when that is a file another unattended
// variable names (the played script, the log, the picture).
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime_internal.h"

namespace {

enum {
    SCRIPT_LINE_SIZE = 512,         // one read: at most 511 characters and a terminator
    SCRIPT_SKIP_BUDGET_MS = 50,     // longest time one read spends skipping empty lines
    SCRIPT_SKIP_CHECK_LINES = 1024, // empty lines skipped between two looks at the clock
};

// Opens a script file as a stream, for writing (emptied) or for reading; null when it cannot
// be opened or is not a regular file. The open itself never waits (O_NONBLOCK, cleared again
// once the kind is known), and a file that is not regular is neither created nor emptied.
std::FILE *open_script(const char *path, bool for_writing) {
    const int access = for_writing ? O_WRONLY | O_CREAT : O_RDONLY;
    const int fd = open(path, access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat status;
    const int flags = fcntl(fd, F_GETFL);
    std::FILE *stream = nullptr;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && flags != -1 &&
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 && (!for_writing || ftruncate(fd, 0) == 0))
        stream = fdopen(fd, for_writing ? "wb" : "rb");
    if (stream == nullptr) close(fd);
    return stream;
}

// Says why recording cannot write its file. The VORNA_RECORD file is something the run was asked
// to leave: that it is missing is also said on stderr and makes the exit status 3.
void report_recording_problem(const char *format, const char *detail) {
    char line[FORMAT_BUFFER_SIZE];
    std::snprintf(line, sizeof line, format, script_write_name(), detail);
    if (runtime_state.record_path)
        unattended_report_unfinished(line);
    else
        VORNA_print("%s", line);
}

// Writes one line and flushes it. When the file takes it only in part (a full disk, the
// file-size limit), the part is cut off again, so the file holds only whole lines. A failure is
// reported once for a run of failed writes; recording goes on.
void write_script_line(const char *line, int length) {
    std::FILE *stream = runtime_state.script;
    const long start = std::ftell(stream);
    errno = 0;
    if (std::fwrite(line, 1, static_cast<std::size_t>(length), stream) == static_cast<std::size_t>(length) &&
        std::fflush(stream) == 0) {
        runtime_state.script_write_failing = false;
        return;
    }
    const int error = errno != 0 ? errno : EIO;
    std::clearerr(stream);
    if (start >= 0 && ftruncate(fileno(stream), start) == 0) std::fseek(stream, start, SEEK_SET);
    if (!runtime_state.script_write_failing)
        report_recording_problem("Cannot write script file %s: %s\n", std::strerror(error));
    runtime_state.script_write_failing = true;
}

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

// Reads one line, without its line end, or the first 511 characters of a longer one; the rest
// of a longer line is left for the next read. Returns the number of characters, or -1 when the
// stream had nothing more. The stream is used by this one thread only.
int read_line(std::FILE *stream, char line[SCRIPT_LINE_SIZE]) {
    int n = 0;
    while (n < SCRIPT_LINE_SIZE - 1) {
        int c = getc_unlocked(stream);
        if (c == '\r') {
            const int after = getc_unlocked(stream);
            if (after == '\n') c = '\n';
            else if (after != EOF) std::ungetc(after, stream);
        }
        if (c == '\n') return n;
        if (c == EOF) return n > 0 ? n : -1;
        line[n++] = static_cast<char>(c);
    }
    return n;
}

bool is_digit(int c) { return c >= '0' && c <= '9'; }

// Reads one number out of line[*at..length). The scan skips to the first digit, or also to a
// minus sign when allow_minus is set. The token that starts there is the run of digits (and,
// with allow_minus, minus signs) that follows; its value is an optional leading minus sign and
// the digits right after it, saturated to the 32-bit range; a token whose first digit does not
// follow at once is 0. On return *at is just after the token. Returns false when the line ends
// before a token starts.
bool scan_number(const char *line, int length, int *at, bool allow_minus, int *value) {
    auto in_token = [&](int i) { return i < length && (is_digit(line[i]) || (allow_minus && line[i] == '-')); };
    while (*at < length && !in_token(*at)) ++*at;
    if (*at >= length) return false;

    bool negative = false;
    bool in_value = true; // still inside "-?digits" at the start of the token
    bool seen_digit = false;
    std::int64_t magnitude = 0;
    if (line[*at] == '-') {
        negative = true;
        ++*at;
    }
    for (; in_token(*at); ++*at) {
        if (in_value && is_digit(line[*at])) {
            seen_digit = true;
            // Saturate: beyond 2^31 nothing more is added, so the magnitude never overflows.
            if (magnitude <= static_cast<std::int64_t>(INT_MAX) + 1) magnitude = magnitude * 10 + (line[*at] - '0');
        } else {
            in_value = false;
        }
    }
    if (!seen_digit) {
        *value = 0;
        return true;
    }
    if (negative) *value = magnitude >= static_cast<std::int64_t>(INT_MAX) + 1 ? INT_MIN : static_cast<int>(-magnitude);
    else *value = magnitude >= INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    return true;
}

// Reads the next line of the stream (at most 511 characters of it) and parses it.
LineResult read_script_line(std::FILE *stream, ScriptLine *line) {
    char text[SCRIPT_LINE_SIZE];
    const int length = read_line(stream, text);
    if (length < 0) return LINE_END_OF_FILE;
    if (length == 0) return LINE_EMPTY;

    // Offsets 0..5 are not examined; offset 6 selects the form.
    const char form = length > 6 ? text[6] : '\0';
    if (form != 'M' && form != 'K' && form != 'P') return LINE_UNRECOGNISED;
    line->form = form;
    int at = 6;
    const bool numbers_found = form == 'M' ? scan_number(text, length, &at, true, &line->values[0]) &&
                                                 scan_number(text, length, &at, true, &line->values[1])
                                           : scan_number(text, length, &at, form == 'K', &line->values[0]);
    return numbers_found ? LINE_EVENT : LINE_UNRECOGNISED;
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

// Opens the recording's file, emptied, unless it is a file of the unattended run; false, with
// the reason printed, when it cannot be opened.
bool open_recording(void) {
    const char *owner = unattended_file_owner(script_write_name());
    if (owner) {
        report_recording_problem("Cannot open script file %s for writing: %s\n", owner);
        return false;
    }
    // Binary mode: the line ends below are written as they are, CR LF on every system.
    runtime_state.script = open_script(script_write_name(), true);
    if (runtime_state.script == nullptr) {
        report_recording_problem("Cannot open script file %s for writing%s\n", "");
        return false;
    }
    runtime_state.script_write_failing = false;
    return true;
}

} // namespace

void write_script_event(int kind, int x, int y, signed char key) {
    if (runtime_state.script == nullptr && !open_recording()) return;
    char line[64];
    int length;
    switch (kind) {
    case EVENT_MOUSE:
        length = std::snprintf(line, sizeof line, "VORNA_MOUSE(%d, %d);\r\n", x, y);
        break;
    case EVENT_KEY:
        length = std::snprintf(line, sizeof line, "VORNA_KBD(%d);\r\n", key);
        break;
    case EVENT_TICK:
        length = std::snprintf(line, sizeof line, "VORNA_PERIODIC(%d);\r\n", runtime_state.pending_ticks);
        break;
    default:
        return; // a quit has no line of its own
    }
    // Each line reaches the file at once, so a recording survives the program's end by any path.
    write_script_line(line, length);
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
        runtime_state.script = open_script(script_read_name(), false);
        if (runtime_state.script == nullptr) {
            VORNA_print("Cannot open script file %s for reading\n", script_read_name());
            stop_playback();
            return SCRIPT_NO_EVENT;
        }
    }
    if (runtime_state.pending_ticks > 0) {
        runtime_state.event_kind = EVENT_TICK;
        runtime_state.pending_ticks--;
        return SCRIPT_EVENT;
    }

    // A long run of empty lines is skipped over several passes of the wait, so the window
    // keeps being served meanwhile; the stream stays where the skipping stopped.
    const auto started = std::chrono::steady_clock::now();
    ScriptLine line = {};
    LineResult result;
    for (int skipped = 1;; skipped++) {
        result = read_script_line(runtime_state.script, &line);
        if (result != LINE_EMPTY) break;
        if (skipped % SCRIPT_SKIP_CHECK_LINES == 0 &&
            std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(SCRIPT_SKIP_BUDGET_MS))
            return SCRIPT_NOT_YET;
    }

    if (result == LINE_END_OF_FILE) {
        VORNA_print("EOF encountered in script file %s\n", script_read_name());
        stop_playback();
        close_script();
        return SCRIPT_NO_EVENT;
    }
    if (result == LINE_UNRECOGNISED) {
        stop_playback();
        return SCRIPT_NO_EVENT;
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
    return SCRIPT_EVENT;
}

void stop_playback(void) {
    runtime_state.playback = false;
    runtime_state.play_one = false;
    platform_menu_check(runtime_state.run_menu, CMD_PLAYBACK, 0);
    // Playback ended by itself: an unattended run with VORNA_PLAY_EXIT ends the program now.
    if (runtime_state.play_exit) {
        runtime_state.play_ended = true;
        platform_post_quit(0);
    }
}

const char *script_read_name(void) { return runtime_state.play_script ? runtime_state.play_script : SCRIPT_FILE_NAME; }

const char *script_write_name(void) { return runtime_state.record_path ? runtime_state.record_path : SCRIPT_FILE_NAME; }

void start_recording_now(void) {
    if (!runtime_state.recording) toggle_recording();
    // The file is emptied now, not by the first line: even a run without events leaves a
    // recording of its own, never an earlier run's.
    if (runtime_state.script == nullptr) open_recording();
}

void finish_recording(void) {
    if (runtime_state.recording) toggle_recording(); // writes the pending ticks and closes
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
