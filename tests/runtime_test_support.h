// runtime_test_support.h: a started runtime, a clean event state, the console's lines as they
// are printed, and the canvas read back in logical coordinates.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform_test.h"
#include "runtime_internal.h"

// A fresh temporary directory, made the current one while the object lives (the runtime's file
// names, such as VORNA.SCR, are fixed), then removed with everything in it.
class ScratchDirectory {
  public:
    ScratchDirectory() : previous_(std::filesystem::current_path()) {
        char pattern[] = "/tmp/vorna-test-XXXXXX";
        if (mkdtemp(pattern)) path_ = pattern;
        EXPECT_FALSE(path_.empty());
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(path_);
    }
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;
    const std::filesystem::path &path() const { return path_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

inline std::string read_whole_file(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The number of pixels in which two surfaces differ, within the columns left..right and the
// rows top..bottom (inclusive; the whole surface by default), or -1 when their sizes differ.
inline int pixels_differing(PlatformSurface *a, PlatformSurface *b, int left = 0, int top = 0, int right = INT_MAX,
                            int bottom = INT_MAX) {
    const int width = platform_surface_width(a), height = platform_surface_height(a);
    if (width != platform_surface_width(b) || height != platform_surface_height(b)) return -1;
    int different = 0;
    for (int y = std::max(top, 0); y <= std::min(bottom, height - 1); y++)
        for (int x = std::max(left, 0); x <= std::min(right, width - 1); x++)
            different += platform_surface_pixel(a, x, y) != platform_surface_pixel(b, x, y);
    return different;
}

// The same for a PNG file against the canvas; -1 when the file cannot be read.
inline int file_differs_from_canvas(const std::filesystem::path &file, int left = 0, int top = 0, int right = INT_MAX,
                                    int bottom = INT_MAX) {
    PlatformSurface *saved = platform_load_surface(file.c_str());
    const int different = saved ? pixels_differing(saved, runtime_state.canvas, left, top, right, bottom) : -1;
    platform_destroy_surface(saved);
    return different;
}

inline void start_runtime_once() {
    static bool started = false;
    if (!started) {
        VORNA_startup(nullptr, nullptr, const_cast<char *>(""), 1);
        started = true;
    }
}

// Dispatches whatever the windows have queued (sizes, paints, timers) so each test starts from
// an empty queue with the windows' state up to date. A queued quit is dropped.
inline void drain_messages() {
    PlatformMessage message;
    while (platform_peek_message(&message, 0)) {
        if (message.kind == MSG_QUIT) continue;
        platform_translate_message(&message);
        platform_dispatch_message(&message);
    }
}

inline std::vector<std::string> &printed_lines() {
    static std::vector<std::string> lines;
    return lines;
}

inline void remember_line(const char *line) { printed_lines().push_back(line); }

// Flags of the Run menu item with the identifier (MENU_ITEM_CHECKED, MENU_ITEM_GRAYED), or -1
// when the menu has no such item.
inline int menu_flags(int id) {
    for (int i = 0; i < platform_menu_item_count(runtime_state.run_menu); i++) {
        int item_id = 0, flags = 0;
        platform_menu_item_info(runtime_state.run_menu, i, &item_id, nullptr, 0, &flags);
        if (item_id == id) return flags;
    }
    return -1;
}

// Every test starts with the runtime up, the queue empty, the animation halted, logging off,
// and the printed lines collected afresh.
class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        start_runtime_once();
        drain_messages();
        runtime_state.running = false;
        runtime_state.single_step = false;
        runtime_state.quit_requested = false;
        runtime_state.ctrl_down = 0;
        runtime_state.playback = false;
        runtime_state.play_one = false;
        runtime_state.recording = false;
        runtime_state.logging = 0;
        printed_lines().clear();
        console_observer = remember_line;
    }
    void TearDown() override { console_observer = nullptr; }

    // The canvas pixel at logical (x, y), as 0xRRGGBB.
    static std::uint32_t pixel(int x, int y) {
        return platform_surface_pixel(runtime_state.canvas, runtime_state.origin_x + x, runtime_state.origin_y - y);
    }
};

constexpr std::uint32_t RGB_BLACK = 0x000000, RGB_WHITE = 0xFFFFFF, RGB_RED = 0xFF0000;
