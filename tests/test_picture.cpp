// test_picture.cpp: saving the canvas as PNG, by VORNA_save_picture and by the F12 key.
#include <csignal>
#include <filesystem>
#include <set>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include "test_support.h"

namespace {

class PictureTest : public RuntimeTest {
  protected:
    ScratchDirectory directory_;

    static void draw_something() {
        VORNA_clear();
        VORNA_fill_circle(COLOR_ORANGE, -100, 50, 40);
        VORNA_draw_rectangle(COLOR_NAVY_BLUE, 0, 0, 120, -80, 3);
        VORNA_draw_line(COLOR_PURPLE, -300, -250, 300, 250, 2);
        VORNA_put_pixel(COLOR_GRAY_20, 299, 249);
    }

    static void expect_file_shows_canvas(const char *file) { EXPECT_EQ(file_differs_from_canvas(file), 0) << file; }

    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(directory_.path()))
            names.insert(entry.path().filename().string());
        return names;
    }

    static void press_f12(PlatformWindow *window, int repeat = 0) {
        platform_post_message(window, MSG_KEY_DOWN, VK_CODE_F12, repeat, -1);
        platform_post_message(window, MSG_KEY_UP, VK_CODE_F12, 0, -1);
    }
};

TEST_F(PictureTest, SavedFileEqualsTheCanvasAndReplacesAnEarlierOne) {
    draw_something();
    EXPECT_EQ(VORNA_save_picture("picture.png"), 1);
    expect_file_shows_canvas("picture.png");

    // A second save replaces the first whole, through a symbolic link as well, and leaves no
    // temporary file behind.
    std::filesystem::create_symlink("picture.png", "link.png");
    VORNA_fill_circle(COLOR_SEA_GREEN, 0, 0, 100);
    EXPECT_EQ(VORNA_save_picture("link.png"), 1);
    expect_file_shows_canvas("picture.png");
    EXPECT_TRUE(std::filesystem::is_symlink("link.png"));
    EXPECT_EQ(files(), (std::set<std::string>{"picture.png", "link.png"}));
    EXPECT_TRUE(printed_lines().empty());
}

TEST_F(PictureTest, NamesThatCannotTakeAPictureAreReported) {
    std::filesystem::create_directory("folder");
    const struct {
        const char *name;
        const char *message;
    } cases[] = {
        {nullptr, "VORNA_save_picture needs a file name; no picture saved\n"},
        {"", "VORNA_save_picture needs a file name; no picture saved\n"},
        {"missing/picture.png", "Cannot save picture to missing/picture.png: No such file or directory\n"},
        {"folder", "Cannot save picture to folder: Is a directory\n"},
        {"/dev/null", "Cannot save picture to /dev/null: not a regular file\n"},
    };
    for (const auto &c : cases) {
        printed_lines().clear();
        EXPECT_EQ(VORNA_save_picture(c.name), 0) << (c.name ? c.name : "null");
        EXPECT_EQ(printed_lines(), std::vector<std::string>{c.message});
    }
    EXPECT_EQ(files(), std::set<std::string>{"folder"});
    EXPECT_TRUE(std::filesystem::is_empty("folder"));
}

// F12, from either window, saves under the first free number, leaves taken names alone, gives
// the program no event and the recording no line; a held key saves once.
TEST_F(PictureTest, F12SavesTheFirstFreeNumberAndIsNoEvent) {
    std::ofstream("VORNA-0002.png") << "taken";
    std::ofstream("VORNA-0004.png") << "taken";
    draw_something();
    perform_command(CMD_RECORD);
    press_f12(runtime_state.graphics_window);
    press_f12(runtime_state.text_window);
    press_f12(runtime_state.graphics_window, 1); // a repeat of a held key
    post_char('x');
    const Event event = next_event();
    EXPECT_EQ(event.kind, EVENT_KEY);
    EXPECT_EQ(event.key, 'x');
    drain_messages(); // the text window's F12 comes back to the graphics window after the x
    perform_command(CMD_RECORD);

    EXPECT_EQ(printed_lines(),
              (std::vector<std::string>{"Saved picture VORNA-0001.png\n", "Saved picture VORNA-0003.png\n"}));
    EXPECT_EQ(read_whole_file("VORNA-0002.png"), "taken");
    EXPECT_EQ(read_whole_file("VORNA-0004.png"), "taken");
    expect_file_shows_canvas("VORNA-0001.png");
    expect_file_shows_canvas("VORNA-0003.png");
    EXPECT_EQ(read_whole_file(SCRIPT_FILE_NAME), "VORNA_KBD(120);\r\n");
    EXPECT_EQ(files(), (std::set<std::string>{"VORNA-0001.png", "VORNA-0002.png", "VORNA-0003.png", "VORNA-0004.png",
                                              SCRIPT_FILE_NAME}));
}

// A process killed while F12 saves (killed the moment the first file appears in the folder)
// leaves no cut-off picture under the picture's name. SIGKILL may leave the hidden temporary
// file, which nothing can remove; a signal that can wait (SIGTERM, SIGINT, ...) ends the process
// only once the picture is whole and in place, with no temporary file left.
TEST_F(PictureTest, AKillWhileF12SavesLeavesNoCutOffPicture) {
    draw_something();
    for (const int signal_number : {SIGKILL, SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal_number);
        for (const std::string &name : files()) std::filesystem::remove(name);
        const int watch = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, ".", IN_CREATE), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGTERM, SIG_DFL); // as when a signal ends the process outright
            std::signal(SIGINT, SIG_DFL);
            save_numbered_picture();
            _exit(0);
        }
        char event[sizeof(inotify_event) + 256];
        EXPECT_GT(read(watch, event, sizeof event), 0);
        kill(child, signal_number);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        close(watch);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
        std::set<std::string> left = files();
        if (left.count("VORNA-0001.png")) expect_file_shows_canvas("VORNA-0001.png");
        if (signal_number == SIGKILL) {
            std::erase_if(left, [](const std::string &name) { return name.rfind(".vorna-picture-", 0) == 0; });
            EXPECT_LE(left.size(), 1u);
        } else {
            EXPECT_EQ(left, std::set<std::string>{"VORNA-0001.png"});
        }
    }
}

} // namespace
