// test_unattended.cpp: the car scene run as a marker runs it: offscreen, driven by a VORNA_PLAY
// script, ending by itself, leaving its picture and its drawing log. Both must equal what the
// same events give when this process drives the scene code itself.
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "test_support.h"

#ifndef CARSCENE_PROGRAM
#error "CARSCENE_PROGRAM must name the carscene program"
#endif

namespace {

struct ScriptStep {
    int kind; // EVENT_MOUSE, EVENT_KEY or EVENT_TICK
    int x, y; // the click; the character for a key; the number of ticks
};

// The title click, then the panel's More Cars, Faster, New Color, Reverse and Stop between runs
// of ticks, a key and a click outside the panel.
const ScriptStep STEPS[] = {
    {EVENT_MOUSE, 0, 0}, {EVENT_TICK, 25, 0},      {EVENT_MOUSE, -257, 82},  {EVENT_MOUSE, -257, 182},
    {EVENT_TICK, 40, 0}, {EVENT_MOUSE, -257, 107}, {EVENT_KEY, 'k', 0},      {EVENT_MOUSE, -257, 132},
    {EVENT_TICK, 60, 0}, {EVENT_MOUSE, 100, -100}, {EVENT_MOUSE, -257, 207}, {EVENT_TICK, 5, 0},
};

std::string script_text() {
    std::ostringstream text;
    for (const ScriptStep &step : STEPS) {
        if (step.kind == EVENT_MOUSE)
            text << "VORNA_MOUSE(" << step.x << ", " << step.y << ");\r\n";
        else if (step.kind == EVENT_KEY)
            text << "VORNA_KBD(" << step.x << ");\r\n";
        else
            text << "VORNA_PERIODIC(" << step.x << ");\r\n";
    }
    return text.str();
}

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// What the car scene draws for the steps, driven here through its own code: the canvas, and the
// drawing log (the runtime's end-of-script line included) as the log file must hold it.
std::vector<std::string> replay_in_process(const std::string &script_name, SceneState &scene) {
    LogCapture capture;
    VORNA_clear();
    // The title screen waits for its one event: the first step.
    click_at(STEPS[0].x, STEPS[0].y);
    {
        WaitLimit limit("the title screen's wait");
        EXPECT_EQ(draw_title_screen(), EVENT_MOUSE);
    }
    init_scene(&scene);
    compose_frame(&scene);
    for (std::size_t i = 1; i < std::size(STEPS); i++) {
        const ScriptStep &step = STEPS[i];
        for (int n = step.kind == EVENT_TICK ? step.x : 1; n > 0; n--) {
            handle_event(&scene, step.kind, step.x, step.y);
            compose_frame(&scene);
        }
    }
    remember_line(("EOF encountered in script file " + script_name + "\n").c_str());
    EXPECT_EQ(handle_event(&scene, EVENT_QUIT, 0, 0), 1);
    compose_frame(&scene);
    return LogCapture::lines();
}

class Unattended : public RuntimeTest {};

} // namespace

TEST_F(Unattended, CarSceneEndsByItselfLeavingTheReplayedPictureAndLog) {
    ScratchDirectory directory;
    std::ofstream("marking.scr", std::ios::binary) << script_text();
    const ProgramRun run = run_program(
        CARSCENE_PROGRAM,
        {"VORNA_PLAY=marking.scr", "VORNA_PLAY_EXIT=1", "VORNA_PICTURE=picture.png", "VORNA_LOG=drawing.log"},
        directory.path());
    ASSERT_EQ(run.status, 0) << run.errors;
    std::printf("unattended car scene run: %zu script lines, %.2f s\n", std::size(STEPS), run.seconds);

    SceneState scene;
    const std::vector<std::string> expected = replay_in_process("marking.scr", scene);
    const std::vector<std::string> logged = lines_of(read_whole_file("drawing.log"));
    EXPECT_GT(logged.size(), 10000u);
    ASSERT_EQ(logged.size(), expected.size());
    for (std::size_t i = 0; i < logged.size(); i++)
        ASSERT_EQ(logged[i], expected[i]) << "log line " << i + 1;
    PlatformSurface *picture = platform_load_surface("picture.png");
    ASSERT_NE(picture, nullptr);
    // Both windows settle their origin at start-up the same way, so the whole canvas agrees.
    EXPECT_EQ(pixels_differing(picture, runtime_state.canvas), 0)
        << "the saved picture differs from the replayed frame";
    platform_destroy_surface(picture);
}

// Values that cannot work stop the program before its windows open, with the reason on stderr.
TEST_F(Unattended, BadPathsEndTheRunAtOnceWithAMessage) {
    ScratchDirectory directory;
    std::filesystem::create_directory("folder");
    const struct {
        const char *setting;
        const char *message;
    } cases[] = {
        {"VORNA_PLAY=missing.scr", "VORNA_PLAY=missing.scr: cannot read the script: No such file or directory\n"},
        {"VORNA_LOG=folder", "VORNA_LOG=folder: cannot write the log: Is a directory\n"},
        {"VORNA_PICTURE=missing/picture.png",
         "VORNA_PICTURE=missing/picture.png: cannot save the picture there: No such file or directory\n"},
        {"VORNA_ANSWERS=missing.txt", "VORNA_ANSWERS=missing.txt: cannot read the answers: No such file or directory\n"},
        {"VORNA_ANSWERS=folder", "VORNA_ANSWERS=folder: cannot read the answers: Is a directory\n"},
        {"VORNA_ANSWERS=/dev/null", "VORNA_ANSWERS=/dev/null: cannot read the answers: not a regular file\n"},
    };
    for (const auto &c : cases) {
        const ProgramRun run = run_program(CARSCENE_PROGRAM, {c.setting}, directory.path());
        EXPECT_EQ(run.status, 2) << c.setting;
        EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
    }
}

// The log file takes every line, the drawing log also while logging is off, each on one line.
TEST_F(Unattended, LogFileHasEveryLineOnALineOfItsOwn) {
    ScratchDirectory directory;
    LogCapture capture; // runtime started
    VORNA_set_logging(0);
    runtime_state.log_path = const_cast<char *>("direct.log");
    runtime_state.log_fd = open("direct.log", O_WRONLY | O_CREAT | O_APPEND, 0644);
    VORNA_draw_text(COLOR_BLUE, 1, 2, 10, "two\nlines");
    VORNA_print("tab\there\r\n");
    VORNA_print("no line end");
    VORNA_put_pixel(30, 0, 0);
    unattended_finish();
    runtime_state.log_path = nullptr;
    EXPECT_EQ(read_whole_file("direct.log"), "blue text at (1,2), \"two\\nlines\"\ntab\there\\r\nno line end\n"
                                             "Illegal color 30; using RED.\nred pixel at (0,0)\n");
    EXPECT_EQ(LogCapture::lines(),
              (std::vector<std::string>{"tab\there\r", "no line end", "Illegal color 30; using RED."}));
}

// With no aid turned on, whole unattended runs leave exactly the bytes they left before the
// teaching aids existed: the car scene's log and pictures after a replayed script, and a
// recorded script with its log and picture. The same runs while VORNA_GIF and VORNA_FRAMES
// capture them leave the same bytes again: capturing changes nothing the run leaves.
TEST_F(Unattended, WithoutAidsRunsLeaveTheSameBytesAsBeforeTheAids) {
    // 64-bit FNV-1a fingerprints and sizes, from runs of the runtime before the aids.
    struct Expected {
        const char *file;
        std::size_t size;
        std::uint64_t fingerprint;
    } const expected[] = {
        {"scene.log", 252036, 14928517652619320842ull}, {"scene.png", 15404, 9551335905661353124ull},
        {"scene-1.png", 15253, 17164546773254286908ull},  {"scene-14.png", 15374, 6810810409649389087ull},
        {"scene-33.png", 15365, 7908904137981792999ull},  {"ending.scr", 20, 5523016703384572809ull},
        {"ending.log", 391, 3435618887979736462ull},      {"ending.png", 3598, 7364978857282831758ull},
    };
    const std::string script = read_whole_file(SCENE_TEST_DATA_DIR "/carscene_no_aids.scr");
    for (const bool capturing : {false, true}) {
        SCOPED_TRACE(capturing ? "captured as a GIF and frames" : "plain");
        ScratchDirectory directory;
        std::ofstream("run.scr", std::ios::binary) << script;
        std::vector<std::string> scene = {"VORNA_PLAY=run.scr", "VORNA_PLAY_EXIT=1", "VORNA_PICTURE=scene.png",
                                          "VORNA_PICTURE_AT=1,14,33", "VORNA_LOG=scene.log"};
        std::vector<std::string> ending = {"ENDING=ticks3 text", "VORNA_RECORD=ending.scr",
                                           "VORNA_PICTURE=ending.png", "VORNA_LOG=ending.log"};
        if (capturing) {
            std::filesystem::create_directory("scene-frames");
            std::filesystem::create_directory("ending-frames");
            scene.insert(scene.end(), {"VORNA_GIF=scene.gif", "VORNA_FRAMES=scene-frames"});
            ending.insert(ending.end(), {"VORNA_GIF=ending.gif", "VORNA_FRAMES=ending-frames"});
        }
        const ProgramRun scene_run = run_program(CARSCENE_PROGRAM, scene, directory.path());
        ASSERT_EQ(scene_run.status, 0) << scene_run.errors;
        const ProgramRun ending_run = run_program(ENDING_PROGRAM, ending, directory.path());
        ASSERT_EQ(ending_run.status, 0) << ending_run.errors;
        EXPECT_EQ(scene_run.errors + ending_run.errors, "");
        for (const Expected &e : expected) {
            const std::string bytes = read_whole_file(e.file);
            std::uint64_t fingerprint = 0xcbf29ce484222325ull;
            for (const unsigned char c : bytes) fingerprint = (fingerprint ^ c) * 0x100000001b3ull;
            EXPECT_EQ(bytes.size(), e.size) << e.file;
            EXPECT_EQ(fingerprint, e.fingerprint) << e.file << std::hex << ": 0x" << fingerprint;
        }
        if (capturing) {
            EXPECT_TRUE(std::filesystem::exists("scene.gif"));
            EXPECT_TRUE(std::filesystem::exists("ending-frames/frame-00003.png"));
        }
    }
}
