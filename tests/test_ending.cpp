// test_ending.cpp: unattended runs as a marking script makes them, one process each: the small
// program tests/programs/ending.c run through the shell with the variables, files, links, pipes
// and redirections of each case; then the exit status, stderr and the files left are checked.
// Also, in this process: recording never writes over the log.
#include <fstream>

#include "gif_decode.h"
#include "test_support.h"

#ifndef ENDING_PROGRAM
#error "ENDING_PROGRAM must name the ending test program"
#endif

namespace {

// The script every run plays (with VORNA_PLAY=s.scr): two clicks and three ticks, five events;
// the sixth is the quit at its end.
const char PLAYED_SCRIPT[] = "VORNA_MOUSE(1, 1);\r\nVORNA_MOUSE(2, 2);\r\nVORNA_PERIODIC(3);\r\n";

// What the program writes on standard output when it plays it.
const char PROGRAM_OUTPUT[] = "start\nevent 1\nevent 2\nevent 3\nevent 4\nevent 5\nend\n";

struct EndingCase {
    const char *name;
    const char *setup;  // shell, in the run's folder (which holds s.scr) before the run
    const char *run;    // shell: runs "$PROG"; the case's status is the run's last status
    int status;         // the exit status the run must end with
    const char *errors; // text its stderr must hold; "" for none of the runtime's lines at all
    const char *check;  // shell afterwards: exits 0 when the files are as they must be, else
                        // prints what is wrong
};

#define PLAY "VORNA_PLAY=s.scr VORNA_PLAY_EXIT=1 "
// Stderr through a pipe, so a file-size limit of 0 for the program leaves it readable. The
// limit's signal is ignored from the start: the toolkit's libraries may write a cache file
// before the runtime itself ignores it.
#define NO_FILE_GROWS(variables)                                                                                       \
    variables                                                                                                          \
        " bash -c 'trap \"\" XFSZ; ulimit -f 0; exec \"$PROG\"' 2>&1 >/dev/null | cat >&2; (exit ${PIPESTATUS[0]})"

const EndingCase CASES[] = {
    // Set but empty is unset: no script, picture, log, limit, recording or pictures at events.
    {"empty variables count as unset", "",
     "VORNA_PLAY= VORNA_PLAY_EXIT= VORNA_PICTURE= VORNA_PICTURE_AT= VORNA_LOG= VORNA_LOG_LIMIT= VORNA_RECORD= "
     "VORNA_ANSWERS= ENDING=ticks3 \"$PROG\" >out.txt",
     0, "",
     "test \"$(ls)\" = \"$(printf 'out.txt\\ns.scr')\" && test \"$(cat out.txt)\" = \"$(printf 'start\\nevent "
     "1\\nevent 2\\nevent 3\\nend')\""},

    // Outputs that cannot be written at the end: status 3 however the program ends, its own
    // non-zero status kept.
    {"picture unwritable, shut down", "", NO_FILE_GROWS(PLAY "VORNA_PICTURE=p.png"), 3,
     "Cannot save picture to p.png: File too large\n", "test ! -e p.png"},
    {"picture unwritable, returned", "", NO_FILE_GROWS(PLAY "VORNA_PICTURE=p.png ENDING=noshutdown"), 3,
     "Cannot save picture to p.png: File too large\n", "test ! -e p.png"},
    {"picture unwritable, exit(0)", "", NO_FILE_GROWS(PLAY "VORNA_PICTURE=p.png ENDING=exit"), 3,
     "Cannot save picture to p.png: File too large\n", "test ! -e p.png"},
    {"picture unwritable, status 5 kept", "", NO_FILE_GROWS(PLAY "VORNA_PICTURE=p.png ENDING='noshutdown status5'"), 5,
     "Cannot save picture to p.png: File too large\n", "test ! -e p.png"},
    {"log unwritable", "", NO_FILE_GROWS(PLAY "VORNA_LOG=l.log"), 3, "Cannot write log file l.log: File too large\n",
     "test ! -s l.log"},

    // A program that does not shut down still leaves its picture, its log and its recording.
    {"returned without shutting down", "",
     PLAY "VORNA_PICTURE=p.png VORNA_LOG=l.log ENDING='noshutdown save' \"$PROG\" >out.txt", 0, "",
     "cmp p.png own-5.png && test \"$(tail -n 1 l.log)\" = 'EOF encountered in script file s.scr' && "
     "test \"$(grep -c '^event' l.log)\" = 5 && ! grep -q VORNA_PICTURE_AT l.log"},
    {"exit(0) without shutting down", "", PLAY "VORNA_PICTURE=p.png ENDING='exit save text' \"$PROG\" >out.txt", 0, "",
     "cmp p.png own-5.png && grep -qx end out.txt"},
    {"recording from the start, ended by exit(0)", "printf 'stale' >r.scr",
     "VORNA_RECORD=r.scr VORNA_PICTURE=p.png ENDING='ticks3 exit' \"$PROG\" >/dev/null", 0, "",
     "test \"$(cat r.scr)\" = \"$(printf 'VORNA_PERIODIC(3);\\r')\""},
    {"recording unwritable", "", NO_FILE_GROWS("VORNA_RECORD=r.scr ENDING=ticks3"), 3,
     "Cannot write script file r.scr: File too large\n", "test ! -s r.scr"},
    {"recording from the start, shut down", "", "VORNA_RECORD=r.scr ENDING=ticks3 \"$PROG\" >/dev/null", 0, "",
     "test \"$(cat r.scr)\" = \"$(printf 'VORNA_PERIODIC(3);\\r')\" && test ! -e VORNA.SCR"},

    // The log on standard output keeps the program's own lines, in order.
    {"log to /dev/stdout redirected to a file", "", PLAY "VORNA_LOG=/dev/stdout \"$PROG\" >out.txt", 0, "",
     "test \"$(grep -v rectangle out.txt)\" = \"$(printf 'start\\nevent 1\\nevent 1\\nevent 2\\nevent 2\\nevent "
     "3\\nevent 3\\nevent 4\\nevent 4\\nevent 5\\nevent 5\\nEOF encountered in script file s.scr\\nend')\" && "
     "test \"$(sed -n '1p;3p' out.txt)\" = \"$(printf 'white rectangle with bounding box (-400,400) to "
     "(400,-400), filled\\nred rectangle with bounding box (-400,400) to (400,-400), filled')\""},
    {"log to the file stdout appends to", "printf 'before\\n' >out.txt", PLAY "VORNA_LOG=out.txt \"$PROG\" >>out.txt",
     0, "",
     "test \"$(head -n 3 out.txt)\" = \"$(printf 'before\\nwhite rectangle with bounding box (-400,400) to "
     "(400,-400), filled\\nstart')\" && test \"$(grep -c '^event' out.txt)\" = 10"},
    {"log to a pipe whose reader goes", "",
     PLAY "VORNA_LOG=/dev/stdout VORNA_PICTURE=p.png ENDING='spam save' \"$PROG\" | head -n 2 >/dev/null; "
          "(exit ${PIPESTATUS[0]})",
     3, "Cannot write log file /dev/stdout: Broken pipe\n", "cmp p.png own-5.png"},

    // The log's size limit.
    {"log cut at its limit", "", "VORNA_LOG=l.log VORNA_LOG_LIMIT=1K ENDING='spam ticks3' \"$PROG\" >/dev/null", 0,
     "VORNA_LOG=l.log: cut at 1024 bytes (VORNA_LOG_LIMIT)\n",
     "test \"$(tail -n 1 l.log)\" = 'VORNA_LOG_LIMIT: the log is cut here, at 982 bytes' && "
     "test \"$(head -n 2 l.log | tail -n 1)\" = 'spam 0000 ..................................................' && "
     "test \"$(wc -l <l.log)\" = 17"},
    {"log limit not a size", "", PLAY "VORNA_LOG=l.log VORNA_LOG_LIMIT=64X \"$PROG\"", 2,
     "VORNA_LOG_LIMIT=64X: not understood: use a number of bytes above 0, such as 1000000 or 64M\n", "test ! -e l.log"},
    {"log limit 0", "", PLAY "VORNA_LOG_LIMIT=0 \"$PROG\"", 2, "VORNA_LOG_LIMIT=0: not understood", "true"},
    {"log limit too large", "", PLAY "VORNA_LOG_LIMIT=99999999999999999999 \"$PROG\"", 2,
     "VORNA_LOG_LIMIT=99999999999999999999: not understood", "true"},

    // Two variables naming one file.
    {"picture over the played script", "cp s.scr kept.scr", PLAY "VORNA_PICTURE=s.scr \"$PROG\"", 2,
     "VORNA_PICTURE=s.scr: two variables name the same file: it is the same file as VORNA_PLAY=s.scr\n",
     "cmp s.scr kept.scr"},
    {"log into the played script, through a link", "cp s.scr kept.scr; ln -s s.scr link.scr",
     PLAY "VORNA_LOG=link.scr \"$PROG\"", 2,
     "VORNA_LOG=link.scr: two variables name the same file: it is the same file as VORNA_PLAY=s.scr\n",
     "cmp s.scr kept.scr"},
    {"picture and log one new file", "", PLAY "VORNA_PICTURE=same VORNA_LOG=./same \"$PROG\"", 2,
     "VORNA_LOG=./same: two variables name the same file: it is the same file as VORNA_PICTURE=same\n",
     "test ! -e same"},
    {"log through a dangling link to the picture", "ln -s made.png link.log",
     PLAY "VORNA_PICTURE=made.png VORNA_LOG=link.log \"$PROG\"", 2,
     "VORNA_LOG=link.log: two variables name the same file: it is the same file as VORNA_PICTURE=made.png\n",
     "test ! -e made.png"},
    {"recording over the log", "", "VORNA_LOG=r.scr VORNA_RECORD=r.scr ENDING=ticks3 \"$PROG\" >/dev/null", 2,
     "VORNA_RECORD=r.scr: two variables name the same file: it is the same file as VORNA_LOG=r.scr\n",
     "test ! -e r.scr"},
    {"a numbered picture over the log", "", PLAY "VORNA_PICTURE=a.png VORNA_PICTURE_AT=1,3 VORNA_LOG=a-3.png \"$PROG\"",
     2, "VORNA_PICTURE_AT=a-3.png: two variables name the same file: it is the same file as VORNA_LOG=a-3.png\n",
     "test ! -e a-3.png"},
    {"answers from the played script", "", PLAY "VORNA_ANSWERS=s.scr \"$PROG\"", 2,
     "VORNA_ANSWERS=s.scr: two variables name the same file: it is the same file as VORNA_PLAY=s.scr\n", "true"},

    // Picture names: links followed to the file they name, names checked at start-up.
    {"picture through a dangling link", "mkdir made; ln -s made/p.png link.png",
     PLAY "VORNA_PICTURE=link.png ENDING=save \"$PROG\" >/dev/null", 0, "",
     "test -L link.png && cmp made/p.png own-5.png"},
    {"picture through a relative link in another folder", "mkdir sub made; ln -s ../made/p.png sub/link.png",
     PLAY "VORNA_PICTURE=sub/link.png ENDING=save \"$PROG\" >/dev/null", 0, "",
     "test -L sub/link.png && cmp made/p.png own-5.png && test \"$(ls sub)\" = link.png"},
    {"picture through a loop of links", "ln -s loop1 loop2; ln -s loop2 loop1", PLAY "VORNA_PICTURE=loop1 \"$PROG\"", 2,
     "VORNA_PICTURE=loop1: cannot save the picture there: Too many levels of symbolic links\n",
     "test -L loop1 && test -L loop2"},
    {"picture name too long", "", PLAY "VORNA_PICTURE=$(printf 'x%.0s' $(seq 300)).png \"$PROG\"", 2,
     ": cannot save the picture there: File name too long\n", "test \"$(ls)\" = s.scr"},

    // Pictures after chosen events.
    {"pictures at events", "mkdir marks",
     PLAY "VORNA_PICTURE=marks/p.png VORNA_PICTURE_AT=6,2,5,2 ENDING='save noshutdown' \"$PROG\" >/dev/null", 0, "",
     "cmp marks/p-2.png own-2.png && cmp marks/p-5.png own-5.png && cmp marks/p-6.png own-5.png && "
     "cmp marks/p.png own-5.png && test \"$(ls marks)\" = \"$(printf 'p-2.png\\np-5.png\\np-6.png\\np.png')\""},
    // The log marks where each of those pictures is taken (after the program drew its answer),
    // the console does not.
    {"pictures at events marked in the log", "",
     PLAY "VORNA_PICTURE=p.png VORNA_PICTURE_AT=2,6 VORNA_LOG=l.log ENDING=save \"$PROG\" >out.txt", 0, "",
     "test \"$(grep -E '^(event|VORNA_PICTURE_AT)' l.log)\" = \"$(printf 'event 1\\nevent 2\\nVORNA_PICTURE_AT: "
     "event 2\\nevent 3\\nevent 4\\nevent 5\\nVORNA_PICTURE_AT: event 6')\" && "
     "test \"$(grep -B1 -x 'VORNA_PICTURE_AT: event 2' l.log | head -n 1)\" = 'event 2' && "
     "! grep -q VORNA_PICTURE_AT out.txt && cmp p-2.png own-2.png"},
    {"pictures at events, no extension", "",
     PLAY "VORNA_PICTURE=pic VORNA_PICTURE_AT=1 ENDING=save \"$PROG\" >/dev/null", 0, "",
     "cmp pic-1 own-1.png && cmp pic own-5.png"},
    {"pictures at events without a picture", "", PLAY "VORNA_PICTURE_AT=1 \"$PROG\"", 2,
     "VORNA_PICTURE_AT=1: no pictures: the pictures are named after VORNA_PICTURE, which is not set\n", "true"},
    {"pictures at event 0", "", PLAY "VORNA_PICTURE=p.png VORNA_PICTURE_AT=1,0 \"$PROG\"", 2,
     "VORNA_PICTURE_AT=1,0: not understood: use event numbers from 1 up, separated by commas, such as 3,10\n", "true"},
    {"pictures at an empty item", "", PLAY "VORNA_PICTURE=p.png VORNA_PICTURE_AT=1,,2 \"$PROG\"", 2,
     "VORNA_PICTURE_AT=1,,2: not understood", "true"},

    // The run as an animation and as frames: frame N is the picture after the N-th event, the
    // last one the final picture; outputs that cannot be written and values that cannot work.
    {"animation and frames of a played run", "mkdir f",
     PLAY "VORNA_GIF=a.gif VORNA_FRAMES=f ENDING=save \"$PROG\" >/dev/null", 0, "",
     "cmp f/frame-00002.png own-2.png && cmp f/frame-00006.png own-5.png && test \"$(ls f | wc -l)\" = 7 && "
     "test \"$(head -c 6 a.gif)\" = GIF89a && test \"$(ls -a | grep -c vorna-picture)\" = 0"},
    {"animation unwritable", "", NO_FILE_GROWS(PLAY "VORNA_GIF=a.gif"), 3, "Cannot save animation to a.gif: ",
     "test \"$(ls -a)\" = \"$(printf '.\\n..\\ns.scr')\""},
    {"frames unwritable", "mkdir f", NO_FILE_GROWS(PLAY "VORNA_FRAMES=f"), 3,
     "Cannot save frame to f/frame-00000.png: File too large\n", "test -z \"$(ls -a f | grep -v '^\\.*$')\""},
    {"frames into a file", "touch f", PLAY "VORNA_FRAMES=f \"$PROG\"", 2,
     "VORNA_FRAMES=f: cannot save the frames there: Not a directory\n", "true"},
    {"frames into a missing folder", "", PLAY "VORNA_FRAMES=f \"$PROG\"", 2,
     "VORNA_FRAMES=f: cannot save the frames there: No such file or directory\n", "true"},
    {"animation into a folder", "mkdir a.gif", PLAY "VORNA_GIF=a.gif \"$PROG\"", 2,
     "VORNA_GIF=a.gif: cannot save the animation there: Is a directory\n", "true"},
    {"animation over the log", "", PLAY "VORNA_LOG=a.gif VORNA_GIF=a.gif \"$PROG\"", 2,
     "VORNA_GIF=a.gif: two variables name the same file: it is the same file as VORNA_LOG=a.gif\n", "test ! -e a.gif"},

    // The recording variable's own checks.
    {"recording while a script plays", "", PLAY "VORNA_RECORD=r.scr \"$PROG\"", 2,
     "VORNA_RECORD=r.scr: cannot record: a run that plays VORNA_PLAY does not record\n", "test ! -e r.scr"},
    {"recording into a folder", "mkdir r.scr", "VORNA_RECORD=r.scr ENDING=ticks3 \"$PROG\" >/dev/null", 2,
     "VORNA_RECORD=r.scr: cannot write the script: Is a directory\n", "true"},
};

std::string write_script(const std::filesystem::path &path, const std::string &body) {
    std::ofstream(path) << "#!/bin/bash\nset -u\nexport PROG=" ENDING_PROGRAM "\ncd w || exit 125\n" << body << "\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path.string();
}

} // namespace

TEST(EndingRuns, EveryCase) {
    for (const EndingCase &c : CASES) {
        SCOPED_TRACE(c.name);
        ScratchDirectory directory;
        std::filesystem::create_directory("w");
        std::ofstream("w/s.scr", std::ios::binary) << PLAYED_SCRIPT;
        const std::string body = std::string(c.setup) + "\n" + c.run;
        const ProgramRun run = run_program(write_script(directory.path() / "run.sh", body), {}, directory.path());
        EXPECT_EQ(run.status, c.status) << run.errors;
        if (c.errors[0] != '\0')
            EXPECT_NE(run.errors.find(c.errors), std::string::npos) << run.errors;
        else
            for (const char *line : {"VORNA", "Cannot", "cannot"})
                EXPECT_EQ(run.errors.find(line), std::string::npos) << run.errors;
        const std::string check_body = std::string("exec >&2\n(set -x; ") + c.check + ") || { ls -la; exit 1; }";
        const ProgramRun check =
            run_program(write_script(directory.path() / "check.sh", check_body), {}, directory.path());
        EXPECT_EQ(check.status, 0) << check.errors;
    }
}

// The program's output when it plays the script is what the cases above compare with.
TEST(EndingRuns, ProgramOutputIsAsTheCasesExpect) {
    ScratchDirectory directory;
    std::filesystem::create_directory("w");
    std::ofstream("w/s.scr", std::ios::binary) << PLAYED_SCRIPT;
    const ProgramRun run =
        run_program(write_script(directory.path() / "run.sh", PLAY "\"$PROG\" >out.txt"), {}, directory.path());
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(read_whole_file("w/out.txt"), PROGRAM_OUTPUT);
}

// VORNA_GIF decoded: a frame per event waited for, each one exactly the VORNA_FRAMES picture of
// that event, a replayed event lasting one tick interval and a live tick as long as it took;
// the final picture stays a second longer before the animation loops.
TEST(EndingRuns, AnimationFramesAreThePicturesAtEachEventTimedAsLive) {
    struct Case {
        const char *name;
        const char *run;
        int frames;                  // frame pictures written: events returned, and the one at the end
        std::vector<int> gif_frames; // which frame picture each GIF frame shows; live, a picture the
                                     // program replaced at once (a tick queued while it drew) is
                                     // no frame of its own, so any of them but the last may be missing
        int delay_min, delay_max;    // the delay of every GIF frame but the last, in 1/100 s
        int last_delay;              // ... and of the last (0: delay_min + 100 up to delay_max + 100)
    } const cases[] = {
        // Two clicks, three ticks and the quit: 6 events; the quit draws nothing, so the final
        // picture is frame 5 again and lengthens it.
        {"played", PLAY "VORNA_GIF=a.gif VORNA_FRAMES=f ENDING=text \"$PROG\" >/dev/null", 7, {0, 1, 2, 3, 4, 5},
         10, 10, 110},
        // Live ticks: each frame lasts as long as its tick took; the program leaves after 3. The
        // first tick may follow start-up at once, so the shortest delay is the encoder's floor.
        {"live", "VORNA_GIF=a.gif VORNA_FRAMES=f ENDING='ticks3 text' \"$PROG\" >/dev/null", 4, {0, 1, 2, 3}, 2, 25,
         100},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDirectory directory;
        std::filesystem::create_directory("w");
        std::filesystem::create_directory("w/f");
        std::ofstream("w/s.scr", std::ios::binary) << PLAYED_SCRIPT;
        const ProgramRun run = run_program(write_script(directory.path() / "run.sh", c.run), {}, directory.path());
        ASSERT_EQ(run.status, 0) << run.errors;
        int width = 0, height = 0;
        const std::vector<DecodedFrame> frames = decode_gif("w/a.gif", &width, &height);
        EXPECT_EQ(width, 601);
        EXPECT_EQ(height, 540);
        std::vector<int> shown = c.gif_frames;
        if (c.delay_min != c.delay_max) { // live: which pictures stayed long enough to be frames
            shown.clear();
            for (int picture : c.gif_frames) {
                char name[64];
                std::snprintf(name, sizeof name, "w/f/frame-%05d.png", picture);
                PlatformSurface *surface = platform_load_surface(name);
                ASSERT_NE(surface, nullptr) << name;
                const std::size_t at = shown.size();
                bool same = at < frames.size();
                for (int y = 0; same && y < height; y++)
                    for (int x = 0; same && x < width; x++)
                        same = frames[at].screen[std::size_t(y) * width + x] == platform_surface_pixel(surface, x, y);
                platform_destroy_surface(surface);
                if (same || picture == c.gif_frames.back()) shown.push_back(picture);
            }
        }
        ASSERT_EQ(frames.size(), shown.size());
        EXPECT_FALSE(std::filesystem::exists("w/f/frame-" + std::string(c.frames < 10 ? "0000" : "000") +
                                             std::to_string(c.frames) + ".png"));
        for (std::size_t i = 0; i < frames.size(); i++) {
            SCOPED_TRACE("GIF frame " + std::to_string(i));
            char name[64];
            std::snprintf(name, sizeof name, "w/f/frame-%05d.png", shown[i]);
            PlatformSurface *picture = platform_load_surface(name);
            ASSERT_NE(picture, nullptr) << name;
            int differing = 0;
            for (int y = 0; y < height; y++)
                for (int x = 0; x < width; x++)
                    differing += frames[i].screen[std::size_t(y) * width + x] != platform_surface_pixel(picture, x, y);
            platform_destroy_surface(picture);
            EXPECT_EQ(differing, 0) << "pixels unlike " << name;
            if (i + 1 < frames.size()) {
                EXPECT_GE(frames[i].delay_cs, c.delay_min);
                EXPECT_LE(frames[i].delay_cs, c.delay_max);
            } else if (c.last_delay == 110) {
                EXPECT_EQ(frames[i].delay_cs, 110);
            } else {
                EXPECT_GE(frames[i].delay_cs, 100);
                EXPECT_LE(frames[i].delay_cs, 100 + c.delay_max);
            }
        }
    }
}

class RecordingBesideUnattendedFiles : public RuntimeTest {};

// Ctrl+R writes VORNA.SCR, which must never be the log of the run: the recording refuses, the
// log keeps its lines.
TEST_F(RecordingBesideUnattendedFiles, RecordingNeverWritesOverTheLog) {
    ScratchDirectory directory;
    runtime_state.log_path = const_cast<char *>(SCRIPT_FILE_NAME);
    runtime_state.log_fd = open(SCRIPT_FILE_NAME, O_WRONLY | O_CREAT | O_APPEND, 0644);
    VORNA_print("first\n");
    toggle_recording();
    click_at(3, 4);
    EXPECT_EQ(next_event().kind, EVENT_MOUSE);
    toggle_recording();
    unattended_finish();
    runtime_state.log_path = nullptr;
    EXPECT_EQ(read_whole_file(SCRIPT_FILE_NAME),
              "first\nCannot open script file VORNA.SCR for writing: it is the log that VORNA_LOG writes\n");
    const std::vector<std::string> expected = {
        "first", "Cannot open script file VORNA.SCR for writing: it is the log that VORNA_LOG writes"};
    EXPECT_EQ(LogCapture::lines(), expected);
}

// With VORNA_RECORD the recording that starts at start-up writes that file, emptied at once, and
// Ctrl+R switches that same recording: VORNA.SCR is never written.
TEST_F(RecordingBesideUnattendedFiles, CtrlRTogglesTheRecordingOfVornaRecord) {
    ScratchDirectory directory;
    std::ofstream("mine.scr") << "an earlier run's script\n";
    runtime_state.record_path = const_cast<char *>("mine.scr");
    start_recording_now();
    EXPECT_EQ(read_whole_file("mine.scr"), "");
    click_at(1, 2);
    EXPECT_EQ(next_event().kind, EVENT_MOUSE);
    press_ctrl_letter(runtime_state.graphics_window, 'R'); // off
    drain_messages();
    EXPECT_FALSE(runtime_state.recording);
    press_ctrl_letter(runtime_state.graphics_window, 'R'); // on again: a new recording, same file
    post_char('k');
    EXPECT_EQ(next_event().kind, EVENT_KEY);
    VORNA_set_animation(ANIM_STEP);
    EXPECT_EQ(next_event().kind, EVENT_TICK);
    finish_recording();
    runtime_state.record_path = nullptr;
    EXPECT_EQ(read_whole_file("mine.scr"), "VORNA_KBD(107);\r\nVORNA_PERIODIC(1);\r\n");
    EXPECT_FALSE(std::filesystem::exists(SCRIPT_FILE_NAME));
}
