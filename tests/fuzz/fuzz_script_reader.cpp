// fuzz_script_reader.cpp: throws arbitrary bytes at the script reader, and arbitrary event
// sequences through the writer and back through the reader.
//
// The first byte picks the mode. Even: the rest of the input is the script file, played until
// the reader gives up; the sanitizers watch every scan. Odd: the rest is cut into 9-byte
// events that are recorded, then played back, and the played events must equal the recorded
// ones exactly (runs of ticks included).
//
// Only script.cpp is linked: this file supplies the state record, the console and the menu
// check marks, the quit request and the unattended run's file checks, so the target needs no
// window system. From the test harness it takes the script state's reset and the scratch
// folder, which need none either.
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "tests/harness.h"

RuntimeState runtime_state;

int VORNA_print(const char *format, ...) {
    char buffer[FORMAT_BUFFER_SIZE];
    std::va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return n;
}

void platform_menu_check(PlatformMenu *, int, int) {}
void platform_post_quit(int) {}
void unattended_report_unfinished(const char *) {}
const char *unattended_file_owner(const char *) { return nullptr; }

namespace {

struct Event {
    int kind;
    int x, y;
    signed char key;
};

void fail(const char *what) {
    std::fprintf(stderr, "fuzz_script_reader: %s\n", what);
    std::abort();
}

void reset_state(void) {
    reset_script_state();
    runtime_state.event_kind = EVENT_NONE;
    runtime_state.mouse_x = runtime_state.mouse_y = 0;
    runtime_state.key = 0;
}

void write_file(const std::uint8_t *data, std::size_t size) {
    std::FILE *file = std::fopen(SCRIPT_FILE_NAME, "wb");
    if (file == nullptr) fail("cannot write the script file");
    if (size > 0 && std::fwrite(data, 1, size, file) != size) fail("short write");
    std::fclose(file);
}

// One read that is not just a pause in skipping empty lines.
int read_event(void) {
    int result;
    do {
        result = read_script_event();
    } while (result == SCRIPT_NOT_YET);
    return result;
}

void play_arbitrary(const std::uint8_t *data, std::size_t size) {
    write_file(data, size);
    reset_state();
    toggle_playback();
    // Every read consumes at least one line or one owed tick; a huge tick count is cut short.
    const std::size_t limit = 4 * size + 16;
    for (std::size_t i = 0; i < limit; i++) {
        const int result = read_script_event();
        if (result == SCRIPT_NO_EVENT) {
            if (runtime_state.playback || runtime_state.play_one) fail("playback still on after the reader gave up");
            break;
        }
        if (result == SCRIPT_NOT_YET) continue; // still skipping empty lines
        if (result != SCRIPT_EVENT) fail("unknown reader result");
        const int kind = runtime_state.event_kind;
        if (kind != EVENT_MOUSE && kind != EVENT_KEY && kind != EVENT_TICK) fail("unknown event kind");
    }
    reset_state();
}

void round_trip(const std::uint8_t *data, std::size_t size) {
    std::vector<Event> recorded;
    std::remove(SCRIPT_FILE_NAME);
    reset_state();
    toggle_recording();
    for (std::size_t at = 0; at + 9 <= size; at += 9) {
        Event event = {};
        const int kinds[4] = {EVENT_MOUSE, EVENT_KEY, EVENT_TICK, EVENT_TICK};
        event.kind = kinds[data[at] & 3];
        std::uint32_t x = 0, y = 0;
        std::memcpy(&x, data + at + 1, 4);
        std::memcpy(&y, data + at + 5, 4);
        event.x = static_cast<int>(x);
        event.y = static_cast<int>(y);
        event.key = static_cast<signed char>(data[at + 1]);
        runtime_state.event_kind = event.kind;
        runtime_state.mouse_x = event.x;
        runtime_state.mouse_y = event.y;
        runtime_state.key = event.key;
        record_event();
        recorded.push_back(event);
    }
    toggle_recording();

    toggle_playback();
    for (const Event &want : recorded) {
        runtime_state.event_kind = EVENT_NONE;
        if (read_event() != SCRIPT_EVENT) fail("a recorded event was not played back");
        if (runtime_state.event_kind != want.kind) fail("wrong event kind played back");
        if (want.kind == EVENT_MOUSE && (runtime_state.mouse_x != want.x || runtime_state.mouse_y != want.y))
            fail("wrong mouse position played back");
        if (want.kind == EVENT_KEY && runtime_state.key != want.key) fail("wrong key played back");
    }
    if (read_event() != SCRIPT_NO_EVENT) fail("an event was played back that was never recorded");
    reset_state();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The file name is fixed, so every run works in a directory of its own.
    const std::filesystem::path directory = make_scratch_directory("vorna-fuzz");
    if (directory.empty() || chdir(directory.c_str()) != 0) fail("cannot make a working directory");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    if ((data[0] & 1) == 0) play_arbitrary(data + 1, size - 1);
    else round_trip(data + 1, size - 1);
    return 0;
}
