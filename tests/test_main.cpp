// test_main.cpp: every test program prepares the toolkit once, notes where pictures of failed
// tests go, then runs its tests.
#include "test_support.h"

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    prepare_headless_toolkit(argv[0]);
    test_output_directory(); // before any test moves to a scratch folder
    ::testing::UnitTest::GetInstance()->listeners().Append(new SaveCanvasOnFailure);
    return RUN_ALL_TESTS();
}
