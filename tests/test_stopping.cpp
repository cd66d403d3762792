// test_stopping.cpp: programs that must end although they do not end by themselves: one in an
// endless loop or ignoring EVENT_QUIT under SIGINT and SIGTERM, one that prompts in a loop after
// a quit or while nobody answers; the answers an unattended run gives VORNA_gets; and calls from
// a thread that did not start the runtime. The programs run as processes of their own (the
// unruly program, see unruly.c); the answers and the threads are tried in this process.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sstream>
#include <thread>

#include "test_support.h"

#ifndef UNRULY_PROGRAM
#error "UNRULY_PROGRAM must name the unruly test program"
#endif

namespace {

struct StopCase {
    const char *what;
    const char *behaviour;                // unruly.c's argument
    std::vector<std::string> environment; // besides the files below, which every run finds
    std::vector<int> signals;             // sent 100 ms apart, once the program is ready
    int status;
    // From the first signal (from the start without one) to the end. Ending at once and ending at
    // the 1 s deadline are told apart by the status and stderr line, not by the time: a loaded
    // machine running the sanitized build has taken 0.98 s to end at once.
    double least_seconds, most_seconds;
    std::string error;                  // a line its stderr must hold ("" for none)
    std::vector<std::string> log;       // the VORNA_LOG file's lines, when the run keeps one
};

const std::string LOG = "VORNA_LOG=run.log";
const std::string PLAY_AND_EXIT[] = {"VORNA_PLAY=one.scr", "VORNA_PLAY_EXIT=1"};
const std::string ENDS_NOW_TERM = "vorna: SIGTERM asked the program to quit and it has not ended within 1000 ms; "
                                  "it ends now\n";
const std::string NOBODY = "VORNA_gets \"Name?\": nobody answers in an unattended run; the entry is empty";
const std::string SCRIPT_ENDED = "VORNA_gets \"Name?\": the unattended run's script has ended, and nobody will "
                                 "answer; the program ends";
const std::string NO_ANSWERS_LEFT = "VORNA_gets \"Name?\": no answers left in two.txt; the entry is empty";

const StopCase STOP_CASES[] = {
    {"an endless loop", "loop", {}, {SIGTERM}, 128 + SIGTERM, 0.9, 2.5, ENDS_NOW_TERM, {}},
    {"an endless loop given a second signal",
     "loop",
     {},
     {SIGINT, SIGINT},
     128 + SIGINT,
     0.0,
     1.9,
     "vorna: a second SIGINT ends the program now\n",
     {}},
    {"a program that takes the quit and waits on",
     "ignore-quit",
     {},
     {SIGTERM},
     128 + SIGTERM,
     0.9,
     2.5,
     ENDS_NOW_TERM,
     {}},
    {"a program that quits and shuts down, then takes 1.5 s to return", "polite", {}, {SIGTERM}, 0, 1.4, 5.0, "", {}},
    {"a program that prompts in a loop",
     "gets-loop",
     {},
     {SIGTERM},
     EXIT_NOBODY_ANSWERS,
     0.0,
     1.9,
     "VORNA_gets \"Name?\": a signal asked the program to quit, and nobody will answer; the program ends\n",
     {}},
    {"a program that prompts in a loop while its script plays",
     "gets-loop",
     {PLAY_AND_EXIT[0], PLAY_AND_EXIT[1]},
     {},
     EXIT_NOBODY_ANSWERS,
     0.0,
     10.0,
     "VORNA_gets \"Name?\": 1000 prompts in a row went unanswered, with no wait for an event in between; the "
     "program ends\n",
     {}},
    {"a program that prompts in a loop once its script has ended",
     "wait-then-gets",
     {PLAY_AND_EXIT[0], PLAY_AND_EXIT[1], "VORNA_ANSWERS=two.txt", LOG, "VORNA_PICTURE=run.png"},
     {},
     EXIT_NOBODY_ANSWERS,
     0.0,
     10.0,
     SCRIPT_ENDED + "\n",
     {"EOF encountered in script file one.scr", "entry <first>", "entry <second>", SCRIPT_ENDED}},
    {"a program that asks four times, with two answers",
     "ask-four",
     {"VORNA_ANSWERS=two.txt", LOG},
     {},
     0,
     0.0,
     10.0,
     "",
     {"entry <first>", "entry <second>", NO_ANSWERS_LEFT, "entry <>", NO_ANSWERS_LEFT, "entry <>"}},
    // The watchdog speaks on stderr while the program is still stuck; the log keeps the
    // program's own lines only.
    {"a program that computes 3.5 s without waiting",
     "stall",
     {LOG},
     {},
     0,
     3.4,
     10.0,
     "vorna: the program has not waited for an event for 3 seconds: is it in a loop?\n",
     {"after the stall"}},
    {"an empty VORNA_ANSWERS, as if unset",
     "ask-four",
     {"VORNA_ANSWERS=", PLAY_AND_EXIT[0], PLAY_AND_EXIT[1], LOG},
     {},
     0,
     0.0,
     10.0,
     "",
     {NOBODY, "entry <>", NOBODY, "entry <>", NOBODY, "entry <>", NOBODY, "entry <>"}},
};

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// Waits (sleeping) until the started program has made its "ready" file, or has ended.
bool wait_until_ready(const StartedProgram &started) {
    for (int i = 0; i < 2000; i++) {
        if (std::filesystem::exists(started.errors_file.parent_path() / "ready")) return true;
        siginfo_t ended = {};
        if (waitid(P_PID, id_t(started.pid), &ended, WEXITED | WNOHANG | WNOWAIT) != 0 || ended.si_pid != 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

class Stopping : public RuntimeTest {};

TEST_F(Stopping, ProgramsThatDoNotEndByThemselvesEndInTime) {
    for (const StopCase &c : STOP_CASES) {
        SCOPED_TRACE(c.what);
        ScratchDirectory directory;
        std::ofstream("one.scr", std::ios::binary) << "VORNA_KBD(65);\r\n";
        std::ofstream("two.txt", std::ios::binary) << "first\nsecond\n";
        const StartedProgram started = start_program(UNRULY_PROGRAM, {c.behaviour}, c.environment, directory.path());
        auto from = started.start;
        if (!c.signals.empty()) {
            if (!wait_until_ready(started)) {
                kill(started.pid, SIGKILL); // a program that never got ready must not spin on
                ADD_FAILURE() << "not ready: " << finish_program(started).errors;
                continue;
            }
            from = std::chrono::steady_clock::now();
            for (std::size_t i = 0; i < c.signals.size(); i++) {
                if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
                kill(started.pid, c.signals[i]);
            }
        }
        const ProgramRun run = finish_program(started, 10);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
        std::printf("%s: status %d after %.2f s\n", c.what, run.status, seconds);
        EXPECT_EQ(run.status, c.status) << run.errors;
        EXPECT_GE(seconds, c.least_seconds);
        EXPECT_LE(seconds, c.most_seconds);
        if (c.error.empty()) {
            EXPECT_EQ(run.errors.find("vorna: "), std::string::npos) << run.errors;
        } else {
            EXPECT_NE(run.errors.find(c.error), std::string::npos) << run.errors;
        }
        if (!c.log.empty()) {
            EXPECT_EQ(lines_of(read_whole_file("run.log")), c.log);
        }
        // A program ended at a prompt has shut down: its picture is saved.
        for (const std::string &setting : c.environment) {
            if (setting == "VORNA_PICTURE=run.png") {
                EXPECT_TRUE(std::filesystem::exists("run.png"));
            }
        }
    }
}

// Each prompt takes the next line of the answers file: its line end dropped, cut to 255
// characters as the dialog cuts an entry; once the file has no lines left the entry is empty
// and the console says so.
TEST_F(Stopping, AnswersAreTheFileLinesAsTheDialogWouldGiveThem) {
    ScratchDirectory directory;
    const struct {
        std::string line; // as written, with its line end
        std::string entry;
    } cases[] = {
        {"plain\n", "plain"},
        {"crlf\r\n", "crlf"},
        {"\n", ""},
        {"\r\n", ""},
        {"inner\rcr and tab\t\n", "inner\rcr and tab\t"},
        {std::string(300, 'q') + "\n", std::string(255, 'q')},
        {std::string(254, 'w') + "\r\n", std::string(254, 'w')},
        {std::string(255, 'v') + "\r\n", std::string(255, 'v')},
        {"last, without a line end", "last, without a line end"},
    };
    {
        std::ofstream answers("answers.txt", std::ios::binary);
        for (const auto &c : cases)
            answers << c.line;
    }
    runtime_state.answers = std::fopen("answers.txt", "rb");
    runtime_state.answers_path = const_cast<char *>("answers.txt");
    ASSERT_NE(runtime_state.answers, nullptr);
    char buffer[400];
    for (const auto &c : cases) {
        std::memset(buffer, 'Z', sizeof buffer);
        EXPECT_EQ(VORNA_gets("Question?", buffer), 1);
        EXPECT_EQ(std::string(buffer), c.entry);
        EXPECT_EQ(buffer[256], 'Z') << "nothing written past the terminator";
    }
    EXPECT_TRUE(printed_lines().empty()) << printed_lines().front();
    for (int i = 0; i < 2; i++) {
        std::memset(buffer, 'Z', sizeof buffer);
        EXPECT_EQ(VORNA_gets("Question?", buffer), 1);
        EXPECT_STREQ(buffer, "");
    }
    EXPECT_EQ(
        printed_lines(),
        std::vector<std::string>(2, "VORNA_gets \"Question?\": no answers left in answers.txt; the entry is empty\n"));
    EXPECT_EQ(runtime_state.prompts_unanswered, 2);
    post_char('k');
    EXPECT_EQ(next_event().kind, EVENT_KEY);
    EXPECT_EQ(runtime_state.prompts_unanswered, 0) << "a wait starts the count afresh";
    std::fclose(runtime_state.answers);
    runtime_state.answers = nullptr;
    runtime_state.answers_path = nullptr;
}

// Every public function called from a thread that did not start the runtime does nothing: it
// returns at once (EVENT_QUIT from the wait, 0 from the others), changes nothing the runtime
// keeps, and says why on stderr, once for each function.
TEST_F(Stopping, CallsFromAnotherThreadDoNothing) {
    ScratchDirectory directory;
    VORNA_clear();
    present_canvas();
    const std::uint32_t centre = canvas_pixel(0, 0);
    PlatformWindow *window = runtime_state.graphics_window;
    PlatformSurface *window_picture = runtime_state.window_dc;
    const int console_visible = platform_window_visible(runtime_state.text_window);
    char entry[256] = "untouched";
    int x = 7, y = 7;
    char key = 'k';
    const struct {
        const char *function;
        std::function<int()> call;
        int result;
    } calls[] = {
        {"VORNA_next_event", [&] { return VORNA_next_event(&x, &y, &key); }, EVENT_QUIT},
        {"VORNA_set_animation", [] { return VORNA_set_animation(ANIM_RUN); }, 0},
        {"VORNA_set_logging", [] { return VORNA_set_logging(1); }, 0},
        {"VORNA_put_pixel", [] { return VORNA_put_pixel(COLOR_RED, 0, 0); }, 0},
        {"VORNA_fill_circle", [] { return VORNA_fill_circle(COLOR_RED, 0, 0, 20); }, 0},
        {"VORNA_draw_triangle", [] { return VORNA_draw_triangle(COLOR_RED, -9, -9, 9, -9, 0, 9, 0); }, 0},
        {"VORNA_draw_rectangle", [] { return VORNA_draw_rectangle(COLOR_RED, -9, -9, 9, 9, 0); }, 0},
        {"VORNA_draw_oval", [] { return VORNA_draw_oval(COLOR_RED, -9, -9, 9, 9, 0); }, 0},
        {"VORNA_draw_line", [] { return VORNA_draw_line(COLOR_RED, -9, 0, 9, 0, 3); }, 0},
        {"VORNA_draw_text", [] { return VORNA_draw_text(COLOR_RED, 0, 0, 30, "XX"); }, 0},
        {"VORNA_printf_at", [] { return VORNA_printf_at(COLOR_RED, 0, 0, 30, "%s", "XX"); }, 0},
        {"VORNA_text_printf", [] { return VORNA_text_printf(COLOR_RED, 0, 0, 30, "%s", "XX"); }, 0},
        {"VORNA_clear", [] { return VORNA_clear(); }, 0},
        {"VORNA_undo", [] { return VORNA_undo(); }, 0},
        {"VORNA_save_picture", [] { return VORNA_save_picture("other.png"); }, 0},
        {"VORNA_print", [] { return VORNA_print("from another thread\n"); }, 0},
        {"VORNA_show_console",
         [] {
             VORNA_show_console(!platform_window_visible(runtime_state.text_window));
             return 0;
         },
         0},
        {"VORNA_gets", [&] { return VORNA_gets("Name?", entry); }, 0},
        {"VORNA_shutdown", [] { return VORNA_shutdown(); }, 0},
        {"VORNA_startup", [] { return VORNA_startup(nullptr, nullptr, nullptr, 1); }, 0},
        {"VORNA_wait", [] { VORNA_Event event; return VORNA_wait(&event) == EVENT_QUIT && event.kind == EVENT_QUIT ? 0 : 1; }, 0},
        {"VORNA_key_down", [] { return VORNA_key_down('a'); }, 0},
        {"VORNA_mouse_position",
         [] {
             int mx = 5, my = 5;
             VORNA_mouse_position(&mx, &my);
             return mx | my;
         },
         0},
        {"VORNA_set_tick_interval",
         [] {
             VORNA_set_tick_interval(20);
             return runtime_state.tick_interval_ms == 20 ? 1 : 0;
         },
         0},
    };
    std::vector<int> results;
    testing::internal::CaptureStderr();
    const std::clock_t cpu_before = std::clock();
    std::thread other([&] {
        for (int round = 0; round < 2; round++) // the second round says nothing more
            for (const auto &c : calls)
                results.push_back(c.call());
    });
    other.join();
    const double cpu_ms = 1000.0 * double(std::clock() - cpu_before) / CLOCKS_PER_SEC;
    const std::string errors = testing::internal::GetCapturedStderr();

    ASSERT_EQ(results.size(), 2 * std::size(calls));
    for (std::size_t i = 0; i < results.size(); i++) {
        const auto &c = calls[i % std::size(calls)];
        EXPECT_EQ(results[i], c.result) << c.function;
    }
    for (const auto &c : calls) {
        const std::string line = std::string("vorna: ") + c.function +
                                 " was called from a thread that did not start the runtime; the runtime works only "
                                 "on the thread that called VORNA_startup, so the call does nothing\n";
        const std::size_t first = errors.find(line);
        EXPECT_NE(first, std::string::npos) << c.function << "\n" << errors;
        EXPECT_EQ(errors.find(line, first + 1), std::string::npos) << c.function << " reported twice";
    }
    EXPECT_LT(cpu_ms, 500.0) << "a call spun";
    EXPECT_EQ(canvas_pixel(0, 0), centre);
    EXPECT_FALSE(runtime_state.canvas_dirty);
    EXPECT_FALSE(runtime_state.running);
    EXPECT_EQ(runtime_state.logging, 0);
    EXPECT_TRUE(printed_lines().empty());
    EXPECT_EQ(platform_window_visible(runtime_state.text_window), console_visible);
    EXPECT_STREQ(entry, "untouched");
    EXPECT_EQ(x, 0);
    EXPECT_EQ(key, 0);
    EXPECT_FALSE(std::filesystem::exists("other.png"));
    EXPECT_EQ(runtime_state.graphics_window, window);
    EXPECT_EQ(runtime_state.window_dc, window_picture);
    EXPECT_EQ(drain_messages(), 0);
    // The thread that started the runtime goes on as before.
    EXPECT_EQ(VORNA_draw_rectangle(COLOR_GREEN, -9, -9, 9, 9, 0), 1);
    EXPECT_EQ(canvas_pixel(0, 0), RGB_GREEN);
}

} // namespace
