// test_main.cpp: every test program prepares the toolkit once, then runs its tests.
#include <gtest/gtest.h>

#include "platform/platform.h"

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    platform_init(&argc, argv);
    return RUN_ALL_TESTS();
}
