// harness.h: driving the runtime from a test, a benchmark or the fuzz harness, without a test
// framework: start-up, an emptied queue and a clean state between cases, scratch folders, the
// canvas read back, and car scenes set up to draw. test_support.h builds the tests' fixtures
// on it; a benchmark or a fuzz harness includes this header alone, and links only what it uses.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/scene.h"
#include "platform/platform_test.h"
#include "runtime_internal.h"

// ---------------------------------------------------------------------------------------------
// Start-up
// ---------------------------------------------------------------------------------------------

// Prepares the toolkit for a process without a screen, unless the environment names a platform.
inline void prepare_headless_toolkit(const char *program_name) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    platform_init(program_name);
    loop_watch_after_ms = 0; // tests sit between waits as long as they like
}

// Starts the runtime the first time, as a program's entry does; later calls do nothing.
inline void start_runtime_once() {
    static bool started = false;
    if (!started) {
        VORNA_startup(nullptr, nullptr, const_cast<char *>(""), 1);
        started = true;
    }
}

// ---------------------------------------------------------------------------------------------
// The queue and the state between cases
// ---------------------------------------------------------------------------------------------

// Dispatches whatever is queued (sizes, paints, timers, keys), as the wait's polls would, so the
// windows' state is up to date and the queue empty. Quit messages are dropped: returns how many.
inline int drain_messages() {
    int quits = 0;
    PlatformMessage message;
    while (platform_peek_message(&message, 0)) {
        if (message.kind == MSG_QUIT) {
            quits++;
            continue;
        }
        platform_translate_message(&message);
        platform_dispatch_message(&message);
    }
    return quits;
}

// No recording, no playback and no Play One: the script closed, no ticks counted or owed, no
// unattended script ended, the Record and Playback items unchecked.
inline void reset_script_state() {
    close_script();
    runtime_state.recording = false;
    runtime_state.playback = false;
    runtime_state.play_one = false;
    runtime_state.pending_ticks = 0;
    runtime_state.play_ended = false;
    platform_menu_check(runtime_state.run_menu, CMD_RECORD, 0);
    platform_menu_check(runtime_state.run_menu, CMD_PLAYBACK, 0);
}

// The animation halted, no quit asked for, Ctrl up, the drawing log off, no script activity.
inline void reset_runtime_state() {
    runtime_state.running = false;
    runtime_state.single_step = false;
    runtime_state.quit_requested = false;
    runtime_state.ctrl_down = 0;
    runtime_state.logging = 0;
    reset_script_state();
}

// ---------------------------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------------------------

// A new empty folder named prefix-XXXXXX in $TMPDIR (or /tmp); empty when none can be made.
inline std::filesystem::path make_scratch_directory(const char *prefix) {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    return mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
}

inline std::string read_whole_file(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// ---------------------------------------------------------------------------------------------
// Pictures read back
// ---------------------------------------------------------------------------------------------

// Palette colours as the canvas holds them, 0xRRGGBB.
constexpr std::uint32_t RGB_BLACK = 0x000000, RGB_WHITE = 0xFFFFFF, RGB_RED = 0xFF0000, RGB_GREEN = 0x00FF00,
                        RGB_BLUE = 0x0000FF, RGB_YELLOW = 0xFFFF00, RGB_MAGENTA = 0xFF00FF, RGB_CYAN = 0x00FFFF,
                        RGB_NAVY_BLUE = 0x003399, RGB_ICE_BLUE = 0x99FFFF, RGB_ORANGE = 0xFF6600,
                        RGB_GRAY_20 = 0xCCCCCC;

// Set by every reader below; test_support.h clears it when a test starts and, when a test that
// looked at a picture fails, saves the canvas for a person to look at.
inline bool pictures_looked_at = false;

// The canvas with every shape drawn so far in its pixels (shapes wait in a batch until read).
inline PlatformSurface *settled_canvas() {
    settle_canvas();
    return runtime_state.canvas;
}

// The pixel (px, py) of a picture as 0xRRGGBB; 0xFFFFFFFF outside it.
inline std::uint32_t picture_pixel(PlatformSurface *picture, int px, int py) {
    pictures_looked_at = true;
    settle_canvas();
    return platform_surface_pixel(picture, px, py);
}

// The canvas pixel at logical (x, y).
inline std::uint32_t canvas_pixel(int x, int y) {
    return picture_pixel(runtime_state.canvas, runtime_state.origin_x + x, runtime_state.origin_y - y);
}

// The number of pixels in which two pictures differ, within the columns left..right and the
// rows top..bottom (inclusive; the whole picture by default), or -1 when their sizes differ.
inline int pixels_differing(PlatformSurface *a, PlatformSurface *b, int left = 0, int top = 0, int right = INT_MAX,
                            int bottom = INT_MAX) {
    pictures_looked_at = true;
    settle_canvas();
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

// ---------------------------------------------------------------------------------------------
// Car scenes (for programs linked with the car scene's code)
// ---------------------------------------------------------------------------------------------

// The scene as the program starts it, but for the column: cars at xs on the lower road, all
// driving right at speed 5, in the colours given (red where none is given).
inline SceneState scene_with_cars(const std::vector<int> &xs, const std::vector<int> &colors = {}) {
    SceneState scene;
    init_scene(&scene);
    scene.car_count = int(xs.size());
    for (int i = 0; i < scene.car_count; i++) {
        scene.car_x[i] = xs[i];
        scene.car_y[i] = LOWER_ROAD_Y;
        scene.car_direction[i] = 1;
        scene.car_speed[i] = 5;
        scene.car_color[i] = i < int(colors.size()) ? colors[i] : COLOR_RED;
    }
    return scene;
}
