// test_script.cpp: recording events to VORNA.SCR and playing them back through the event wait.
// Every test works in a fresh temporary directory, since the file name is fixed.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"

namespace {

const std::string READ_FAILURE = "Cannot open script file VORNA.SCR for reading\n";
const std::string WRITE_FAILURE = "Cannot open script file VORNA.SCR for writing\n";
const std::string END_OF_SCRIPT = "EOF encountered in script file VORNA.SCR\n";
const char SENTINEL = '#';

class ScriptTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        directory_ = std::make_unique<ScratchDirectory>();
    }

    void TearDown() override {
        reset_script_state(); // closes the script before its folder goes
        directory_.reset();
        RuntimeTest::TearDown();
    }

    static void write_file(const std::string &content) {
        std::ofstream(SCRIPT_FILE_NAME, std::ios::binary) << content;
    }

    static std::string read_file() { return read_whole_file(SCRIPT_FILE_NAME); }

    template <typename Action> static double milliseconds_taken(Action action) {
        const auto start = std::chrono::steady_clock::now();
        action();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }

    // A live character, so that a wait that gets nothing from the script still returns.
    static void post_live_key() { post_char(SENTINEL); }

    static void press_ctrl(int letter) { press_ctrl_letter(runtime_state.graphics_window, letter); }

    // The wait settled a tick (ticks come from the timer, which tests do not wait for).
    static void record_ticks(int n) {
        for (int i = 0; i < n; i++) {
            runtime_state.event_kind = EVENT_TICK;
            record_event();
        }
    }

    static void record_key(int code) {
        runtime_state.event_kind = EVENT_KEY;
        runtime_state.key = static_cast<signed char>(code);
        record_event();
    }

    static int count_printed(const std::string &line) {
        int n = 0;
        for (const std::string &printed : printed_lines()) n += printed == line;
        return n;
    }

    // After the script has nothing more to give: the wait returns the live key instead.
    void expect_playback_stopped_with(const std::string &message) {
        post_live_key();
        Event event = next_event();
        EXPECT_EQ(event.kind, EVENT_KEY);
        EXPECT_EQ(event.key, SENTINEL);
        EXPECT_FALSE(runtime_state.playback);
        EXPECT_FALSE(runtime_state.play_one);
        EXPECT_EQ(menu_flags(CMD_PLAYBACK), 0);
        if (message.empty()) {
            EXPECT_TRUE(printed_lines().empty());
        } else {
            EXPECT_EQ(count_printed(message), 1);
        }
    }

    std::unique_ptr<ScratchDirectory> directory_;
};

const std::string EXAMPLE = "VORNA_PERIODIC(4);\r\nVORNA_MOUSE(-150, 200);\r\nVORNA_KBD(97);\r\nVORNA_PERIODIC(2);\r\n";

TEST_F(ScriptTest, RecordsTheExampleAndPlaysItBack) {
    perform_command(CMD_RECORD);
    EXPECT_TRUE(runtime_state.recording);
    EXPECT_EQ(menu_flags(CMD_RECORD), MENU_ITEM_CHECKED);
    record_ticks(4);
    EXPECT_FALSE(std::filesystem::exists(SCRIPT_FILE_NAME)) << "ticks are only counted";
    click_at(-150, 200);
    EXPECT_EQ(next_event().kind, EVENT_MOUSE);
    // Each line is on disk as soon as it is written.
    EXPECT_EQ(read_file(), "VORNA_PERIODIC(4);\r\nVORNA_MOUSE(-150, 200);\r\n");
    post_char('a');
    EXPECT_EQ(next_event().kind, EVENT_KEY);
    record_ticks(2);
    perform_command(CMD_RECORD);
    EXPECT_FALSE(runtime_state.recording);
    EXPECT_EQ(menu_flags(CMD_RECORD), 0);
    EXPECT_EQ(runtime_state.script, nullptr);
    EXPECT_EQ(read_file(), EXAMPLE);

    runtime_state.running = true;
    press_ctrl('P');
    for (int i = 0; i < 4; i++) EXPECT_EQ(next_event().kind, EVENT_TICK) << i;
    EXPECT_FALSE(runtime_state.running) << "playback halts the animation";
    Event mouse = next_event();
    EXPECT_EQ(mouse.kind, EVENT_MOUSE);
    EXPECT_EQ(mouse.x, -150);
    EXPECT_EQ(mouse.y, 200);
    Event key = next_event();
    EXPECT_EQ(key.kind, EVENT_KEY);
    EXPECT_EQ(key.key, 'a');
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    expect_playback_stopped_with(END_OF_SCRIPT);
    EXPECT_EQ(runtime_state.script, nullptr);

    // Choosing Playback again starts over at the first line.
    printed_lines().clear();
    perform_command(CMD_PLAYBACK);
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    EXPECT_EQ(runtime_state.pending_ticks, 3);
}

TEST_F(ScriptTest, CharacterCodesAbove127RoundTripAsSignedBytes) {
    toggle_recording();
    record_key(233);
    toggle_recording();
    EXPECT_EQ(read_file(), "VORNA_KBD(-23);\r\n");
    toggle_playback();
    Event event = next_event();
    EXPECT_EQ(event.kind, EVENT_KEY);
    EXPECT_EQ(static_cast<unsigned char>(event.key), 233);
}

TEST_F(ScriptTest, PeriodicLinesGiveTheirTicksFromSuccessiveWaits) {
    write_file("VORNA_PERIODIC(3);\nVORNA_KBD(98);\nVORNA_PERIODIC(0);\nVORNA_KBD(99);\n");
    toggle_playback();
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(next_event().kind, EVENT_TICK);
        EXPECT_EQ(runtime_state.pending_ticks, 2 - i);
    }
    EXPECT_EQ(next_event().key, 'b') << "the fourth wait reads the next line";
    EXPECT_EQ(next_event().kind, EVENT_TICK) << "a count of 0 still gives one tick";
    EXPECT_EQ(next_event().key, 'c');
}

TEST_F(ScriptTest, PlayOneTakesOneEventPerRequest) {
    write_file("VORNA_PERIODIC(5);\r\nVORNA_MOUSE(-7, -9);\r\n");
    for (int i = 0; i < 5; i++) {
        press_ctrl('O');
        EXPECT_EQ(next_event().kind, EVENT_TICK) << i;
        EXPECT_FALSE(runtime_state.play_one);
        // Without a request the wait goes back to live input.
        post_live_key();
        EXPECT_EQ(next_event().key, SENTINEL);
    }
    press_ctrl('O');
    Event mouse = next_event();
    EXPECT_EQ(mouse.kind, EVENT_MOUSE);
    EXPECT_EQ(mouse.x, -7);
    EXPECT_EQ(mouse.y, -9);
    press_ctrl('O');
    expect_playback_stopped_with(END_OF_SCRIPT);
}

struct ReaderCase {
    const char *name;
    std::string file;
    Event first;        // kind 0: the first read stops playback without an event
    const char *second; // what follows the first event: a key, or nullptr for the end message
};

// How the reader takes lines apart; each file's first event, then its second one.
TEST_F(ScriptTest, ReaderCases) {
    const ReaderCase cases[] = {
        {"LF line ends, empty lines skipped", "\r\n\n\r\nVORNA_KBD(100);\n\n\nVORNA_KBD(101);", {EVENT_KEY, 0, 0, 'd'}, "e"},
        {"last line without a line end", "VORNA_KBD(102);\r\nVORNA_KBD(103)", {EVENT_KEY, 0, 0, 'f'}, "g"},
        {"a lone CR is a character of its line", "VORNA_KBD(\r65);\r\nVORNA_KBD(66);\r\n", {EVENT_KEY, 0, 0, 'A'}, "B"},
        {"any six characters before the form letter", "xxxxxxM(3, 4)\r\n", {EVENT_MOUSE, 3, 4, 0}, nullptr},
        {"numbers beyond 32 bits saturate", "VORNA_MOUSE(99999999999, -99999999999);\r\n", {EVENT_MOUSE, INT_MAX, INT_MIN, 0}, nullptr},
        {"a long token", "VORNA_KBD(0000000000000000000000000000000065);\r\n", {EVENT_KEY, 0, 0, 'A'}, nullptr},
        {"a minus after digits ends the number", "VORNA_KBD(66-3);\r\n", {EVENT_KEY, 0, 0, 'B'}, nullptr},
        {"two minus signs are 0", "VORNA_MOUSE(--5, 6);\r\n", {EVENT_MOUSE, 0, 6, 0}, nullptr},
        {"a periodic count skips minus signs", "VORNA_PERIODIC(-2);\r\nVORNA_KBD(104);\r\n", {EVENT_TICK, 0, 0, 0}, "\x03h"},
        {"a line longer than 511 characters: the first 511 decide", "VORNA_MOUSE(" + std::string(600, ' ') + "7, 8);\r\n", {0, 0, 0, 0}, nullptr},
        {"a line of spaces", "      \r\nVORNA_KBD(100);\r\n", {0, 0, 0, 0}, nullptr},
        {"a line indented by one space", " VORNA_KBD(100);\r\n", {0, 0, 0, 0}, nullptr},
        {"a short line", "VORNA\r\n", {0, 0, 0, 0}, nullptr},
        {"an unknown form", "VORNA_XYZ(1);\r\n", {0, 0, 0, 0}, nullptr},
        {"a mouse line with one number", "VORNA_MOUSE(5);\r\n", {0, 0, 0, 0}, nullptr},
        {"a key line without its number", "VORNA_KBD();\r\n", {0, 0, 0, 0}, nullptr},
        {"a periodic line without digits", "VORNA_PERIODIC(-);\r\n", {0, 0, 0, 0}, nullptr},
        {"an empty file", "", {0, 0, 0, 0}, "EOF"},
    };
    for (const ReaderCase &c : cases) {
        SCOPED_TRACE(c.name);
        close_script();
        runtime_state.pending_ticks = 0;
        printed_lines().clear();
        write_file(c.file);
        toggle_playback();
        if (c.first.kind == 0) {
            expect_playback_stopped_with(c.second != nullptr ? END_OF_SCRIPT : "");
            continue;
        }
        Event event = next_event();
        EXPECT_EQ(event.kind, c.first.kind);
        if (c.first.kind == EVENT_MOUSE) {
            EXPECT_EQ(event.x, c.first.x);
            EXPECT_EQ(event.y, c.first.y);
        }
        if (c.first.kind == EVENT_KEY) {
            EXPECT_EQ(event.key, c.first.key);
        }
        if (c.second != nullptr) {
            const std::string second = c.second;
            if (second[0] == '\x03') {
                EXPECT_EQ(next_event().kind, EVENT_TICK);
            }
            EXPECT_EQ(next_event().key, second.back());
        }
        expect_playback_stopped_with(END_OF_SCRIPT);
    }
}

TEST_F(ScriptTest, AfterAnUnrecognisedLinePlaybackContinuesWithTheNextLine) {
    // The rest of a line longer than 511 characters is a line of its own.
    write_file("VORNA_KBD(97);\r\nVORNA_XYZ(1);\r\n" + std::string(511, 'x') + "VORNA_KBD(98);\r\n");
    perform_command(CMD_PLAYBACK);
    EXPECT_EQ(next_event().key, 'a');
    expect_playback_stopped_with("");
    perform_command(CMD_PLAYBACK);
    expect_playback_stopped_with("");
    perform_command(CMD_PLAYBACK);
    EXPECT_EQ(next_event().key, 'b');
}

// Nothing by that name, a directory, a FIFO (opening one blocks until its other end is opened)
// and an endless device are all refused at once, for reading and for writing, and left alone.
TEST_F(ScriptTest, OnlyARegularFileIsAScript) {
    struct Kind {
        const char *name;
        void (*make)();
        std::filesystem::file_type type;
    };
    const Kind kinds[] = {
        {"missing", [] {}, std::filesystem::file_type::not_found},
        {"a directory", [] { std::filesystem::create_directory(SCRIPT_FILE_NAME); }, std::filesystem::file_type::directory},
        {"a FIFO", [] { ASSERT_EQ(mkfifo(SCRIPT_FILE_NAME, 0600), 0); }, std::filesystem::file_type::fifo},
        {"a link to /dev/zero", [] { std::filesystem::create_symlink("/dev/zero", SCRIPT_FILE_NAME); },
         std::filesystem::file_type::character},
    };
    for (const Kind &kind : kinds) {
        SCOPED_TRACE(kind.name);
        std::filesystem::remove_all(SCRIPT_FILE_NAME);
        kind.make();
        printed_lines().clear();
        perform_command(CMD_PLAYBACK);
        double held_ms = milliseconds_taken([this] { expect_playback_stopped_with(READ_FAILURE); });
        EXPECT_LT(held_ms, 2000);
        if (kind.type == std::filesystem::file_type::not_found) continue;

        printed_lines().clear();
        toggle_recording();
        held_ms = milliseconds_taken([] { record_key('r'); });
        toggle_recording();
        EXPECT_LT(held_ms, 2000);
        EXPECT_EQ(count_printed(WRITE_FAILURE), 1);
        EXPECT_EQ(std::filesystem::status(SCRIPT_FILE_NAME).type(), kind.type);
    }
}

TEST_F(ScriptTest, HugeScriptsNeverHoldTheWait) {
    const std::size_t HUGE_SIZE = std::size_t(64) << 20;
    // One 64 MiB line, of letters or of zero bytes: its first 511 characters are an unrecognised
    // line, and nothing more is read.
    for (char fill : {'x', '\0'}) {
        SCOPED_TRACE(int(fill));
        close_script();
        write_file(std::string(HUGE_SIZE, fill) + "\n");
        perform_command(CMD_PLAYBACK);
        EXPECT_LT(milliseconds_taken([this] { expect_playback_stopped_with(""); }), 2000);
        ASSERT_NE(runtime_state.script, nullptr);
        EXPECT_EQ(std::ftell(runtime_state.script), 511);
    }

    // 64 MiB of empty lines between two keys: skipped in pieces, none of which holds the wait
    // for long, and the same events come out.
    close_script();
    write_file("VORNA_KBD(97);\n" + std::string(HUGE_SIZE, '\n') + "VORNA_KBD(98);\n");
    perform_command(CMD_PLAYBACK);
    EXPECT_EQ(next_event().key, 'a');
    int pieces = 0, result = SCRIPT_NOT_YET;
    double longest_ms = 0;
    while (result == SCRIPT_NOT_YET && pieces < 100000) {
        longest_ms = std::max(longest_ms, milliseconds_taken([&] { result = read_script_event(); }));
        ++pieces;
    }
    EXPECT_EQ(result, SCRIPT_EVENT);
    EXPECT_EQ(runtime_state.key, 'b');
    EXPECT_GT(pieces, 1);
    EXPECT_LT(longest_ms, 500);

    // Meanwhile the wait goes on polling: Ctrl+P stops the playback in the middle of the run.
    perform_command(CMD_PLAYBACK);
    perform_command(CMD_PLAYBACK);
    EXPECT_EQ(next_event().key, 'a');
    press_ctrl('P');
    EXPECT_LT(milliseconds_taken([this] { expect_playback_stopped_with(""); }), 2000);
}

// Writes beyond the file-size limit fail as they do on a full disk. The program ignores the
// signal that would otherwise end it there, reports the first failure of a run, and keeps
// recording; the file keeps only whole lines.
TEST_F(ScriptTest, AFailedWriteIsReportedOnceAndRecordingGoesOn) {
    const std::string failure = std::string("Cannot write script file VORNA.SCR: ") + std::strerror(EFBIG) + "\n";
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto limit_file_size = [&saved](rlim_t bytes) {
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    };
    toggle_recording();
    limit_file_size(40);
    record_key('a');
    record_key('b'); // 32 bytes: the next line fits only in part
    record_key('c');
    record_ticks(2);
    record_key('d');
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(count_printed(failure), 1);
    EXPECT_TRUE(runtime_state.recording);
    EXPECT_EQ(read_file(), "VORNA_KBD(97);\r\nVORNA_KBD(98);\r\n");

    record_key('e'); // a write that succeeds ends the run of failures
    limit_file_size(48);
    record_key('f');
    setrlimit(RLIMIT_FSIZE, &saved);
    toggle_recording();
    EXPECT_EQ(count_printed(failure), 2);
    EXPECT_EQ(read_file(), "VORNA_KBD(97);\r\nVORNA_KBD(98);\r\nVORNA_KBD(101);\r\n");
}

TEST_F(ScriptTest, UnwritableScriptLosesEventsButKeepsRecording) {
    std::filesystem::create_directory(SCRIPT_FILE_NAME);
    toggle_recording();
    record_ticks(3);
    record_key('x');
    EXPECT_EQ(count_printed(WRITE_FAILURE), 2) << "the tick line and the key line";
    EXPECT_EQ(runtime_state.pending_ticks, 0);
    EXPECT_TRUE(runtime_state.recording);
    record_key('y');
    EXPECT_EQ(count_printed(WRITE_FAILURE), 3) << "every write tries to open the file again";
    toggle_recording();
    EXPECT_FALSE(runtime_state.recording);
}

TEST_F(ScriptTest, RecordingWithoutEventsLeavesTheFileAloneAndOnlyTicksMakeOneLine) {
    write_file("old");
    toggle_recording();
    toggle_recording();
    EXPECT_EQ(read_file(), "old");

    toggle_recording();
    record_ticks(7);
    toggle_recording();
    EXPECT_EQ(read_file(), "VORNA_PERIODIC(7);\r\n");

    // A run of ticks too long to count stops growing at the largest count a line can hold.
    toggle_recording();
    record_ticks(1);
    runtime_state.pending_ticks = INT_MAX - 1;
    record_ticks(3);
    toggle_recording();
    EXPECT_EQ(read_file(), "VORNA_PERIODIC(2147483647);\r\n");

    // A new recording empties the file with its first line.
    toggle_recording();
    record_key('k');
    toggle_recording();
    EXPECT_EQ(read_file(), "VORNA_KBD(107);\r\n");
}

TEST_F(ScriptTest, AQuitWhileRecordingWritesThePendingTicksAndNothingForItself) {
    toggle_recording();
    record_ticks(2);
    platform_post_quit(0);
    EXPECT_EQ(next_event().kind, EVENT_QUIT);
    EXPECT_EQ(read_file(), "VORNA_PERIODIC(2);\r\n");

    // With nothing pending, a quit still creates (and empties) the file.
    toggle_recording();
    write_file("old");
    toggle_recording();
    platform_post_quit(0);
    EXPECT_EQ(next_event().kind, EVENT_QUIT);
    EXPECT_EQ(read_file(), "");
}

TEST_F(ScriptTest, StartingPlaybackOrPlayOneEndsTheRecordingFirst) {
    for (int command : {CMD_PLAYBACK, CMD_PLAY_ONE}) {
        SCOPED_TRACE(command);
        runtime_state.playback = false;
        close_script();
        perform_command(CMD_RECORD);
        record_ticks(3);
        runtime_state.mouse_x = 11;
        runtime_state.mouse_y = -12;
        runtime_state.event_kind = EVENT_MOUSE;
        record_event();
        record_ticks(1);
        perform_command(command);
        EXPECT_FALSE(runtime_state.recording);
        EXPECT_EQ(menu_flags(CMD_RECORD), 0);
        EXPECT_EQ(read_file(), "VORNA_PERIODIC(3);\r\nVORNA_MOUSE(11, -12);\r\nVORNA_PERIODIC(1);\r\n");
        // The reader starts at the file's first line, not where the writer stopped.
        EXPECT_EQ(next_event().kind, EVENT_TICK);
        EXPECT_EQ(runtime_state.pending_ticks, 2);
    }
}

TEST_F(ScriptTest, StartingARecordingEndsThePlaybackFirst) {
    write_file("VORNA_PERIODIC(5);\r\nVORNA_KBD(97);\r\n");
    perform_command(CMD_PLAYBACK);
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    perform_command(CMD_RECORD);
    EXPECT_FALSE(runtime_state.playback);
    EXPECT_EQ(menu_flags(CMD_PLAYBACK), 0);
    EXPECT_EQ(runtime_state.script, nullptr);
    EXPECT_EQ(runtime_state.pending_ticks, 0) << "owed ticks must not count as recorded ones";
    record_key('z');
    perform_command(CMD_RECORD);
    EXPECT_EQ(read_file(), "VORNA_KBD(122);\r\n");

    // The same after Play One, which leaves the stream open without playback.
    write_file("VORNA_PERIODIC(5);\r\n");
    perform_command(CMD_PLAY_ONE);
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    perform_command(CMD_RECORD);
    record_ticks(1);
    perform_command(CMD_RECORD);
    EXPECT_EQ(read_file(), "VORNA_PERIODIC(1);\r\n");
}

TEST_F(ScriptTest, StoppingPlaybackByItsCommandDropsTheOwedTicks) {
    write_file("VORNA_PERIODIC(5);\r\nVORNA_KBD(97);\r\n");
    perform_command(CMD_PLAYBACK);
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    EXPECT_EQ(runtime_state.pending_ticks, 4);
    perform_command(CMD_PLAYBACK);
    EXPECT_FALSE(runtime_state.playback);
    EXPECT_EQ(runtime_state.pending_ticks, 0);
    EXPECT_EQ(runtime_state.script, nullptr);
    perform_command(CMD_PLAYBACK);
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    EXPECT_EQ(runtime_state.pending_ticks, 4) << "started again at the first line";
}

// An unattended run (VORNA_PLAY naming VORNA.SCR under another name, VORNA_PLAY_EXIT=1): the
// played file is read under its own name, the prompt dialog answers itself while it plays, its
// end quits the program, and a recording never empties the file being played. (A prompt after
// the end ends the program: test_stopping.cpp runs that in a process of its own.)
TEST_F(ScriptTest, UnattendedPlaybackReadsItsOwnFileQuitsAtItsEndAndIsNeverRecordedOver) {
    write_file("VORNA_KBD(66);\r\n");
    std::filesystem::create_symlink(SCRIPT_FILE_NAME, "played.scr");
    runtime_state.play_script = const_cast<char *>("played.scr");
    runtime_state.play_exit = true;
    perform_command(CMD_PLAYBACK);

    char entry[256] = "old";
    {
        WaitLimit limit("VORNA_gets in an unattended run");
        EXPECT_EQ(VORNA_gets("Name?", entry), 1);
    }
    EXPECT_STREQ(entry, "");
    EXPECT_EQ(printed_lines().back(),
              "VORNA_gets \"Name?\": nobody answers in an unattended run; the entry is empty\n");

    EXPECT_EQ(next_event().key, 'B');
    EXPECT_FALSE(runtime_state.play_ended);
    EXPECT_EQ(next_event().kind, EVENT_QUIT);
    EXPECT_TRUE(runtime_state.play_ended);
    EXPECT_EQ(count_printed("EOF encountered in script file played.scr\n"), 1);

    perform_command(CMD_RECORD);
    record_key('x');
    EXPECT_EQ(printed_lines().back(),
              "Cannot open script file VORNA.SCR for writing: it is the script that VORNA_PLAY plays\n");
    EXPECT_EQ(read_file(), "VORNA_KBD(66);\r\n");
    runtime_state.play_script = nullptr;
    runtime_state.play_exit = false;
}

// What a program might draw for an event: each one leaves its own mark.
void draw_for(const Event &event, int n) {
    if (event.kind == EVENT_TICK) VORNA_draw_rectangle(COLOR_BLUE, -290 + 20 * n, 200, -280 + 20 * n, 190, 0);
    if (event.kind == EVENT_MOUSE) VORNA_fill_circle(COLOR_RED, event.x, event.y, 5);
    if (event.kind == EVENT_KEY) VORNA_draw_rectangle(static_cast<unsigned char>(event.key) % 24, 0, 0, 30, -30, 0);
}

// A replay ends on the picture that live input gives, and the window shows it once the script
// ends or the program quits, although copies to the window within one screen refresh are put
// off while the script hands out events, by Playback or by Play One.
TEST_F(ScriptTest, AReplayEndsOnThePictureOfLiveInputAndTheWindowShowsIt) {
    VORNA_clear();
    const int kinds[] = {EVENT_TICK, EVENT_TICK, EVENT_MOUSE, EVENT_KEY, EVENT_TICK};
    for (int n = 0; n < 5; n++) {
        if (kinds[n] == EVENT_TICK) VORNA_set_animation(ANIM_STEP);
        if (kinds[n] == EVENT_MOUSE) click_at(-40, 30);
        if (kinds[n] == EVENT_KEY) post_char('a');
        const Event event = next_event();
        ASSERT_EQ(event.kind, kinds[n]) << n;
        draw_for(event, n);
    }
    PlatformSurface *live = platform_create_surface(CANVAS_WIDTH, CANVAS_HEIGHT);
    platform_copy_surface(live, runtime_state.canvas);

    write_file("VORNA_PERIODIC(2);\r\nVORNA_MOUSE(-40, 30);\r\nVORNA_KBD(97);\r\nVORNA_PERIODIC(1);\r\n");
    for (int replay = 0; replay < 2; replay++) {
        VORNA_clear();
        runtime_state.presented_at = std::chrono::steady_clock::now() + std::chrono::hours(1); // never due
        const unsigned long copies = runtime_state.frames_presented;
        if (replay == 0) toggle_playback();
        for (int n = 0; n < (replay == 0 ? 5 : 2); n++) {
            if (replay == 1) request_play_one();
            draw_for(next_event(), n);
        }
        EXPECT_EQ(runtime_state.frames_presented, copies) << "no copy within one refresh";
        if (replay == 0) {
            expect_playback_stopped_with(END_OF_SCRIPT);
            EXPECT_EQ(pixels_differing(runtime_state.canvas, live), 0);
        } else {
            platform_post_quit(0);
            EXPECT_EQ(next_event().kind, EVENT_QUIT);
        }
        EXPECT_EQ(pixels_differing(runtime_state.window_dc, runtime_state.canvas), 0) << replay;
    }
    platform_destroy_surface(live);
}

} // namespace
