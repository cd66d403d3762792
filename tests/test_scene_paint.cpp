// The car scene's pictures: whole frames compared line by line with reviewed drawing logs,
// and probes of the canvas where the colour alone shows the right layer won.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>

#include "scene_test_support.h"

#ifndef SCENE_TEST_DATA_DIR
#error "SCENE_TEST_DATA_DIR must name tests/data"
#endif

namespace {

std::vector<std::string> read_reference(const char *name) {
    std::vector<std::string> lines;
    std::ifstream file(std::string(SCENE_TEST_DATA_DIR) + "/" + name);
    EXPECT_TRUE(file.good()) << "missing reference " << name;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    return lines;
}

void expect_log_equals_reference(const std::vector<std::string> &log, const char *name) {
    std::vector<std::string> reference = read_reference(name);
    ASSERT_EQ(log.size(), reference.size()) << name;
    for (std::size_t i = 0; i < log.size(); i++) {
        EXPECT_EQ(log[i], reference[i]) << name << " line " << i + 1;
    }
}

std::uint32_t pixel_at(int x, int y) {
    return platform_surface_pixel(runtime_state.canvas, runtime_state.origin_x + x, runtime_state.origin_y - y);
}

constexpr std::uint32_t RGB_BLACK = 0x000000;
constexpr std::uint32_t RGB_WHITE = 0xFFFFFF;
constexpr std::uint32_t RGB_RED = 0xFF0000;
constexpr std::uint32_t RGB_GREEN = 0x00FF00;
constexpr std::uint32_t RGB_CYAN = 0x00FFFF;
constexpr std::uint32_t RGB_ICE_BLUE = 0x99FFFF;
constexpr std::uint32_t RGB_ORANGE = 0xFF6600;
constexpr std::uint32_t RGB_GRAY_20 = 0xCCCCCC;

// Day 6 (sunset and night layers over the day sky), five cars two of them partly outside
// the window, the ferry away at its turning point and a full landing: the heaviest frame.
SceneState busiest_night_scene() {
    SceneState scene;
    init_scene(&scene);
    scene.day = 6;
    scene.sun_x = -120;
    scene.sun_y = 170;
    const int xs[MAX_CARS] = {-200, -150, -100, 260, 330};
    const int colors[MAX_CARS] = {COLOR_CYAN, COLOR_GRAY_20, COLOR_BLACK, COLOR_ICE_BLUE, COLOR_GRAY_50};
    scene.car_count = MAX_CARS;
    for (int i = 0; i < MAX_CARS; i++) {
        scene.car_x[i] = xs[i];
        scene.car_y[i] = -58;
        scene.car_direction[i] = 1;
        scene.car_speed[i] = 5;
        scene.car_color[i] = colors[i];
    }
    for (int i = 0; i < CROSS_CARS; i++) {
        scene.cross_x[i] = -80 * (i + 1);
    }
    scene.cross_moving = 0;
    scene.ferry_x = 400;
    scene.boarded = 4;
    return scene;
}

} // namespace

TEST(ScenePaint, InitialFrameMatchesReferenceLog) {
    SceneState scene;
    init_scene(&scene);
    {
        LogCapture capture;
        compose_frame(&scene);
        expect_log_equals_reference(LogCapture::lines(), "scene_initial_frame.log");
    }
    EXPECT_EQ(pixel_at(100, 230), RGB_ICE_BLUE);  // sky
    EXPECT_EQ(pixel_at(0, -38), RGB_RED);         // body of the red car at (0, -58)
    EXPECT_EQ(pixel_at(-160, 42), 0x0000FFu);     // body of the blue cross-traffic car
    EXPECT_EQ(pixel_at(260, -130), RGB_GREEN);    // lit lamp
    EXPECT_EQ(pixel_at(160, -130), RGB_GRAY_20);  // unlit red lamp
}

TEST(ScenePaint, BusiestNightFrameMatchesReferenceLog) {
    SceneState scene = busiest_night_scene();
    {
        LogCapture capture;
        compose_frame(&scene);
        expect_log_equals_reference(LogCapture::lines(), "scene_night_five_cars.log");
    }
    EXPECT_EQ(pixel_at(100, 230), RGB_BLACK);      // night sky over the other two
    EXPECT_EQ(pixel_at(-135, 165), RGB_WHITE);     // lit part of the crescent
    EXPECT_EQ(pixel_at(-113, 177), RGB_BLACK);     // covered part of the moon
    EXPECT_EQ(pixel_at(-295, 200), RGB_WHITE);     // panel outline in night ink
    EXPECT_EQ(pixel_at(-200, -38), RGB_CYAN);      // body of car 0
    EXPECT_EQ(pixel_at(160, -130), RGB_RED);       // full landing: red lamp lit
    EXPECT_EQ(pixel_at(260, -130), RGB_GRAY_20);
}

TEST(ScenePaint, SkyFollowsTheSixDayCycle) {
    const std::uint32_t expected[] = {RGB_ICE_BLUE, RGB_ORANGE, RGB_BLACK, RGB_ORANGE,
                                      RGB_ICE_BLUE, RGB_BLACK,  RGB_ICE_BLUE};
    ensure_runtime_started();
    SceneState scene;
    init_scene(&scene);
    for (int day = 1; day <= 7; day++) {
        scene.day = day;
        compose_frame(&scene);
        EXPECT_EQ(pixel_at(100, 230), expected[day - 1]) << "day " << day;
        // Panel ink: white only on night days.
        EXPECT_EQ(pixel_at(-295, 200), day % 3 == 0 ? RGB_WHITE : RGB_BLACK) << "day " << day;
    }
}

TEST(ScenePaint, TrafficLightLampsByState) {
    const std::uint32_t green[] = {RGB_GREEN, RGB_GREEN, RGB_GRAY_20, RGB_GRAY_20, RGB_GRAY_20};
    const std::uint32_t yellow[] = {RGB_GRAY_20, RGB_GRAY_20, 0xFFFF00, 0xFFFF00, RGB_GRAY_20};
    const std::uint32_t red[] = {RGB_GRAY_20, RGB_GRAY_20, RGB_GRAY_20, RGB_GRAY_20, RGB_RED};
    ensure_runtime_started();
    for (int state = 0; state <= 4; state++) {
        draw_traffic_light(state);
        EXPECT_EQ(pixel_at(260, -130), green[state]) << state;
        EXPECT_EQ(pixel_at(210, -130), yellow[state]) << state;
        EXPECT_EQ(pixel_at(160, -130), red[state]) << state;
        EXPECT_EQ(pixel_at(285, -105), RGB_BLACK) << state; // housing
    }
}

TEST(ScenePaint, TitleScreenPaintsThenReturnsTheEventItWaitedFor) {
    ensure_runtime_started();
    platform_flush_messages();
    platform_post_message(runtime_state.graphics_window, MSG_LBUTTON_DOWN, 300, 200, 0);
    {
        LogCapture capture;
        EXPECT_EQ(draw_title_screen(), EVENT_MOUSE);
        expect_log_equals_reference(LogCapture::lines(), "scene_title_screen.log");
    }
    EXPECT_EQ(pixel_at(0, 240), 0x003399u); // navy sky above the car
    EXPECT_EQ(pixel_at(0, 100), RGB_RED);   // car body
    EXPECT_EQ(pixel_at(250, -100), RGB_GREEN);

    // A quit while the title waits comes back unchanged.
    platform_post_message(runtime_state.graphics_window, MSG_CHAR, 'x', 0, 0);
    runtime_state.quit_requested = true;
    int kind = draw_title_screen();
    runtime_state.quit_requested = false;
    EXPECT_EQ(kind, EVENT_QUIT);
}
