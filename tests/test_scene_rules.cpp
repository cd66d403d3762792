// The car scene's rules: the button panel, new cars, the sun and day count, the column's
// motion and the crossing cycle of cross traffic and ferry.
#include <climits>
#include <cstring>

#include "test_support.h"

namespace {

SceneState initial_scene() {
    SceneState scene;
    init_scene(&scene);
    return scene;
}

// A click away from the panel: a crossing step and nothing else.
void crossing_step(SceneState *scene) {
    handle_event(scene, EVENT_MOUSE, 0, 0);
}

// Crossing steps until boarded differs from its value now; returns how many it took.
int steps_until_boarded_changes(SceneState *scene) {
    int before = scene->boarded;
    int steps = 0;
    while (scene->boarded == before && steps < 10000) {
        crossing_step(scene);
        steps++;
    }
    return steps;
}

int bad_button_reports(const std::vector<std::string> &log) {
    int count = 0;
    for (const std::string &line : log) {
        count += line == "red text at (0,0), \"BAAAADDD NEWS!\"";
    }
    return count;
}

} // namespace

TEST(ScenePanel, HitIsStrictOnAllFourSides) {
    struct Case {
        int x, y, hit;
    } cases[] = {
        {-294, 244, 1}, {-221, 71, 1}, {-257, 82, 1}, {-295, 150, 0}, {-220, 150, 0},
        {-257, 245, 0}, {-257, 70, 0},  {-300, 150, 0}, {0, 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(panel_hit(c.x, c.y), c.hit) << c.x << "," << c.y;
    }
}

TEST(ScenePanel, EachRowCarriesOutItsCommandOnEveryCar) {
    SceneState scene = scene_with_cars({0, 60, 120});
    scene.car_color[1] = 23;

    press_button(-257, 202, &scene); // Stop
    EXPECT_EQ(scene.cars_moving, 0);
    press_button(-257, 227, &scene); // Go
    EXPECT_EQ(scene.cars_moving, 1);

    press_button(-257, 177, &scene); // Faster
    press_button(-257, 177, &scene);
    for (int i = 0; i < 3; i++) EXPECT_EQ(scene.car_speed[i], 7);
    for (int k = 0; k < 9; k++) press_button(-257, 152, &scene); // Slower, floored at 0
    for (int i = 0; i < 3; i++) EXPECT_EQ(scene.car_speed[i], 0);

    press_button(-257, 127, &scene); // Reverse
    for (int i = 0; i < 3; i++) EXPECT_EQ(scene.car_direction[i], -1);

    press_button(-257, 102, &scene); // New Color: 2 -> 3, and 23 wraps to 0
    EXPECT_EQ(scene.car_color[0], 3);
    EXPECT_EQ(scene.car_color[1], 0);
    EXPECT_EQ(scene.car_color[2], 3);
    // Slots beyond the column are left alone.
    EXPECT_EQ(scene.car_speed[3], 0);
}

TEST(ScenePanel, MoreCarsStopsAtFive) {
    SceneState scene = initial_scene();
    for (int k = 0; k < 6; k++) press_button(-257, 82, &scene);
    EXPECT_EQ(scene.car_count, MAX_CARS);
    // Car 0 at 0, then the new cars line up behind from -270.
    EXPECT_EQ(scene.car_x[1], -270);
    EXPECT_EQ(scene.car_x[2], -220);
    EXPECT_EQ(scene.car_x[3], -170);
    EXPECT_EQ(scene.car_x[4], -120);
}

TEST(ScenePanel, PressButtonTakesInColumnEdgesAndReportsPointsOutsideItsRows) {
    struct Case {
        int x, y;
        int moving_after; // starting from halted
        int reports;
    } cases[] = {
        {-295, 230, 1, 0}, {-220, 230, 1, 0}, {-257, 269, 1, 0}, // row 0 by truncation
        {-296, 230, 0, 1}, {-219, 230, 0, 1}, {-257, 270, 0, 1}, {-257, 70, 0, 1},
    };
    for (const Case &c : cases) {
        SceneState scene = initial_scene();
        scene.cars_moving = 0;
        LogCapture capture;
        press_button(c.x, c.y, &scene);
        EXPECT_EQ(scene.cars_moving, c.moving_after) << c.x << "," << c.y;
        EXPECT_EQ(bad_button_reports(LogCapture::lines()), c.reports) << c.x << "," << c.y;
    }
}

TEST(ScenePanel, HugeSpeedsAndFarPointsStayWellDefined) {
    SceneState scene = initial_scene();
    scene.car_speed[0] = INT_MAX;
    press_button(-257, 177, &scene); // Faster stops at the largest int instead of overflowing
    EXPECT_EQ(scene.car_speed[0], INT_MAX);
    advance_cars(&scene);
    EXPECT_EQ(scene.car_x[0], -320);
    scene.car_direction[0] = -1;
    advance_cars(&scene);
    EXPECT_EQ(scene.car_x[0], 320);

    LogCapture capture;
    press_button(-257, INT_MIN, &scene);
    press_button(-257, INT_MAX, &scene);
    EXPECT_EQ(bad_button_reports(LogCapture::lines()), 2);
}

TEST(SceneNewCar, IsRedTakesDirectionAndSpeedOfTheCarBefore) {
    SceneState scene = scene_with_cars({0, 100});
    scene.car_direction[1] = -1;
    scene.car_speed[1] = 9;
    scene.car_y[2] = 1234;
    add_car(&scene, 2);
    EXPECT_EQ(scene.car_x[2], -270);
    EXPECT_EQ(scene.car_y[2], -58);
    EXPECT_EQ(scene.car_color[2], COLOR_RED);
    EXPECT_EQ(scene.car_direction[2], -1);
    EXPECT_EQ(scene.car_speed[2], 9);
}

TEST(SceneNewCar, OverlapScanPushesRightStepByStep) {
    struct Case {
        std::vector<int> cars;
        int expected;
    } cases[] = {
        {{0}, -270},
        {{-270}, -220},            // equal position
        {{-250}, -200},            // just right of the start: pushed past it
        {{-290}, -220},            // just left of the start: pushed on by 50
        {{-230}, -270},            // exactly 40 apart on either side: clear of each other
        {{-310}, -270},
        {{-191, -277}, -220},      // comes to rest 29 left of car 0
        {{-270, -220, -170}, -120},
    };
    for (const Case &c : cases) {
        SceneState scene = scene_with_cars(c.cars);
        add_car(&scene, scene.car_count);
        EXPECT_EQ(scene.car_x[scene.car_count], c.expected) << "with " << c.cars.size() << " cars";
    }
}

TEST(SceneSun, FirstDayAfter275TicksThenOneDayPer332) {
    SceneState scene = initial_scene();
    int ticks = 0;
    int changes[4];
    for (int &at : changes) {
        int day = scene.day;
        while (scene.day == day && ticks < 2000) {
            advance_sun(&scene);
            ticks++;
        }
        EXPECT_EQ(scene.sun_x, -300);
        at = ticks;
    }
    EXPECT_EQ(changes[0], 275);
    EXPECT_EQ(changes[1] - changes[0], 332);
    EXPECT_EQ(changes[3] - changes[2], 332);
    EXPECT_EQ(scene.day, 5);
}

TEST(SceneSun, ReentersAtTheRightEdgeFifteenLower) {
    SceneState scene = initial_scene();
    scene.sun_x = -330;
    advance_sun(&scene);
    EXPECT_EQ(scene.sun_x, 332);
    EXPECT_EQ(scene.sun_y, 200);
    scene.sun_y = 50; // no floor: it sinks below the horizon
    scene.sun_x = -330;
    advance_sun(&scene);
    EXPECT_EQ(scene.sun_y, 35);
}

TEST(SceneCars, MoveByDirectionTimesSpeedAndWrapAtTheEdges) {
    struct Case {
        int x, direction, speed, expected;
    } cases[] = {
        {0, 1, 5, 5},       {0, -1, 5, -5},     {315, 1, 5, 320},    {316, 1, 5, -320},
        {319, 1, 100, -320}, {-316, -1, 5, 320}, {-315, -1, 5, -320}, {40, 1, 0, 40},
    };
    for (const Case &c : cases) {
        SceneState scene = scene_with_cars({c.x});
        scene.car_direction[0] = c.direction;
        scene.car_speed[0] = c.speed;
        advance_cars(&scene);
        EXPECT_EQ(scene.car_x[0], c.expected) << c.x << " " << c.direction << "*" << c.speed;
        EXPECT_EQ(scene.car_y[0], -58);
    }
}

TEST(SceneCrossing, FirstCycleArrivalsFerryTripAndLaterCycles) {
    SceneState scene = initial_scene();

    const int first_arrivals[] = {6, 20, 20, 20};
    for (int k = 0; k < 4; k++) {
        EXPECT_EQ(steps_until_boarded_changes(&scene), first_arrivals[k]) << "arrival " << k;
        EXPECT_EQ(scene.boarded, k + 1);
    }
    // Full: the traffic halted within the same event, in the standing layout.
    EXPECT_EQ(scene.cross_moving, 0);
    EXPECT_EQ(scene.cross_x[0], -80);
    EXPECT_EQ(scene.cross_x[1], -160);
    EXPECT_EQ(scene.cross_x[2], -240);
    EXPECT_EQ(scene.cross_x[3], -320);

    // Out to 400 in 165 steps, one step to turn, 165 back, one to dock.
    for (int k = 0; k < 165; k++) crossing_step(&scene);
    EXPECT_EQ(scene.ferry_x, 400);
    crossing_step(&scene);
    EXPECT_EQ(scene.ferry_x, 400);
    EXPECT_EQ(scene.ferry_velocity, -1);
    for (int k = 0; k < 165; k++) crossing_step(&scene);
    EXPECT_EQ(scene.ferry_x, 70);
    EXPECT_EQ(scene.cross_moving, 0);
    EXPECT_EQ(scene.cross_x[0], -80); // the traffic stood still all along
    crossing_step(&scene);
    EXPECT_EQ(scene.boarded, 0);
    EXPECT_EQ(scene.cross_moving, 1);
    EXPECT_EQ(scene.ferry_x, 70);
    EXPECT_EQ(scene.ferry_velocity, 1);

    const int later_arrivals[] = {26, 20, 20, 20};
    for (int k = 0; k < 4; k++) {
        EXPECT_EQ(steps_until_boarded_changes(&scene), later_arrivals[k]) << "later arrival " << k;
    }
    EXPECT_EQ(scene.cross_moving, 0);
    EXPECT_EQ(scene.cross_x[0], -80);
    EXPECT_EQ(scene.cross_x[3], -320);
}

TEST(SceneEvents, EachKindChangesOnlyWhatItShould) {
    SceneState start = initial_scene();

    SceneState keyed = start;
    EXPECT_EQ(handle_event(&keyed, EVENT_KEY, -257, 202), 0);
    EXPECT_EQ(std::memcmp(&keyed, &start, sizeof start), 0);

    // A panel click runs its command and then a crossing step.
    SceneState clicked = start;
    handle_event(&clicked, EVENT_MOUSE, -257, 202);
    EXPECT_EQ(clicked.cars_moving, 0);
    EXPECT_EQ(clicked.cross_x[0], 4);
    EXPECT_EQ(clicked.sun_x, 250);

    // On the border: no command, but still the crossing step.
    SceneState border = start;
    handle_event(&border, EVENT_MOUSE, -295, 202);
    EXPECT_EQ(border.cars_moving, 1);
    EXPECT_EQ(border.cross_x[0], 4);

    // A tick with the column halted moves the sun and the crossing, not the cars.
    clicked.cars_moving = 0;
    handle_event(&clicked, EVENT_TICK, 0, 0);
    EXPECT_EQ(clicked.sun_x, 248);
    EXPECT_EQ(clicked.car_x[0], 0);
    EXPECT_EQ(clicked.cross_x[0], 8);
    clicked.cars_moving = 1;
    handle_event(&clicked, EVENT_TICK, 0, 0);
    EXPECT_EQ(clicked.car_x[0], 5);

    SceneState quitting = start;
    EXPECT_EQ(handle_event(&quitting, EVENT_QUIT, 0, 0), 1);
    EXPECT_EQ(std::memcmp(&quitting, &start, sizeof start), 0);

    // The ferry-full check runs after any event, a key included.
    SceneState full = start;
    full.boarded = 4;
    handle_event(&full, EVENT_KEY, 0, 0);
    EXPECT_EQ(full.cross_moving, 0);
}
