// The car scene's pictures: whole frames compared line by line with reviewed drawing logs,
// and probes of the canvas where the colour alone shows the right layer won.
#include <cstdint>
#include <fstream>

#include "test_support.h"

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

// Day 6 (sunset and night layers over the day sky), five cars two of them partly outside
// the window, the ferry away at its turning point and a full landing: the heaviest frame.
SceneState busiest_night_scene() {
    SceneState scene = scene_with_cars({-200, -150, -100, 260, 330},
                                       {COLOR_CYAN, COLOR_GRAY_20, COLOR_BLACK, COLOR_ICE_BLUE, COLOR_GRAY_50});
    scene.day = 6;
    scene.sun_x = -120;
    scene.sun_y = 170;
    for (int i = 0; i < CROSS_CARS; i++) {
        scene.cross_x[i] = -80 * (i + 1);
    }
    scene.cross_moving = 0;
    scene.ferry_x = 400;
    scene.boarded = 4;
    return scene;
}

class ScenePaint : public RuntimeTest {};

} // namespace

TEST_F(ScenePaint, InitialFrameMatchesReferenceLog) {
    SceneState scene;
    init_scene(&scene);
    {
        LogCapture capture;
        compose_frame(&scene);
        expect_log_equals_reference(LogCapture::lines(), "scene_initial_frame.log");
    }
    EXPECT_EQ(canvas_pixel(100, 230), RGB_ICE_BLUE);  // sky
    EXPECT_EQ(canvas_pixel(0, -38), RGB_RED);         // body of the red car at (0, -58)
    EXPECT_EQ(canvas_pixel(-160, 42), RGB_BLUE);      // body of the blue cross-traffic car
    EXPECT_EQ(canvas_pixel(260, -130), RGB_GREEN);    // lit lamp
    EXPECT_EQ(canvas_pixel(160, -130), RGB_GRAY_20);  // unlit red lamp
}

TEST_F(ScenePaint, BusiestNightFrameMatchesReferenceLog) {
    SceneState scene = busiest_night_scene();
    {
        LogCapture capture;
        compose_frame(&scene);
        expect_log_equals_reference(LogCapture::lines(), "scene_night_five_cars.log");
    }
    EXPECT_EQ(canvas_pixel(100, 230), RGB_BLACK);      // night sky over the other two
    EXPECT_EQ(canvas_pixel(-135, 165), RGB_WHITE);     // lit part of the crescent
    EXPECT_EQ(canvas_pixel(-113, 177), RGB_BLACK);     // covered part of the moon
    EXPECT_EQ(canvas_pixel(-295, 200), RGB_WHITE);     // panel outline in night ink
    EXPECT_EQ(canvas_pixel(-200, -38), RGB_CYAN);      // body of car 0
    EXPECT_EQ(canvas_pixel(160, -130), RGB_RED);       // full landing: red lamp lit
    EXPECT_EQ(canvas_pixel(260, -130), RGB_GRAY_20);

    // One car fewer, and the message about the maximum is gone.
    scene.car_count = 4;
    LogCapture capture;
    compose_frame(&scene);
    for (const std::string &line : LogCapture::lines()) EXPECT_EQ(line.find("MAXIMUM"), std::string::npos) << line;
}

TEST_F(ScenePaint, SkyFollowsTheSixDayCycle) {
    const std::uint32_t expected[] = {RGB_ICE_BLUE, RGB_ORANGE, RGB_BLACK, RGB_ORANGE,
                                      RGB_ICE_BLUE, RGB_BLACK,  RGB_ICE_BLUE};
    SceneState scene;
    init_scene(&scene);
    for (int day = 1; day <= 7; day++) {
        scene.day = day;
        compose_frame(&scene);
        EXPECT_EQ(canvas_pixel(100, 230), expected[day - 1]) << "day " << day;
        // Panel ink: white only on night days.
        EXPECT_EQ(canvas_pixel(-295, 200), day % 3 == 0 ? RGB_WHITE : RGB_BLACK) << "day " << day;
    }
}

TEST_F(ScenePaint, TrafficLightLampsByState) {
    const std::uint32_t green[] = {RGB_GREEN, RGB_GREEN, RGB_GRAY_20, RGB_GRAY_20, RGB_GRAY_20};
    const std::uint32_t yellow[] = {RGB_GRAY_20, RGB_GRAY_20, RGB_YELLOW, RGB_YELLOW, RGB_GRAY_20};
    const std::uint32_t red[] = {RGB_GRAY_20, RGB_GRAY_20, RGB_GRAY_20, RGB_GRAY_20, RGB_RED};
    for (int state = 0; state <= 4; state++) {
        draw_traffic_light(state);
        EXPECT_EQ(canvas_pixel(260, -130), green[state]) << state;
        EXPECT_EQ(canvas_pixel(210, -130), yellow[state]) << state;
        EXPECT_EQ(canvas_pixel(160, -130), red[state]) << state;
        EXPECT_EQ(canvas_pixel(285, -105), RGB_BLACK) << state; // housing
    }
}

TEST_F(ScenePaint, TitleScreenPaintsThenReturnsTheEventItWaitedFor) {
    click_pixel(300, 200);
    {
        LogCapture capture;
        WaitLimit limit("the title screen's wait");
        EXPECT_EQ(draw_title_screen(), EVENT_MOUSE);
        expect_log_equals_reference(LogCapture::lines(), "scene_title_screen.log");
    }
    EXPECT_EQ(canvas_pixel(0, 240), RGB_NAVY_BLUE); // navy sky above the car
    EXPECT_EQ(canvas_pixel(0, 100), RGB_RED);   // car body
    EXPECT_EQ(canvas_pixel(250, -100), RGB_GREEN);

    // A quit while the title waits comes back unchanged.
    post_char('x');
    runtime_state.quit_requested = true;
    WaitLimit limit("the title screen's wait");
    int kind = draw_title_screen();
    runtime_state.quit_requested = false;
    EXPECT_EQ(kind, EVENT_QUIT);
}
