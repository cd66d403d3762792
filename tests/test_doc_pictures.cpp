// test_doc_pictures.cpp: every picture in docs/pictures is what its example program draws today:
// each example runs unattended and its picture must equal the committed one pixel for pixel.
// After a deliberate change of drawing, docs/make_pictures.sh draws them again.
#include <set>
#include <sstream>

#include "test_support.h"

#if !defined(DOC_EXAMPLES) || !defined(DOC_EXAMPLES_DIR) || !defined(DOC_PICTURES_DIR) || !defined(DOCS_DIR) || \
    !defined(CARSCENE_PROGRAM)
#error "DOC_EXAMPLES, DOC_EXAMPLES_DIR, DOC_PICTURES_DIR, DOCS_DIR and CARSCENE_PROGRAM must be defined"
#endif

TEST(DocPictures, EachEqualsWhatItsExampleDrawsToday) {
    ScratchDirectory directory;
    std::ofstream("empty.scr");
    std::set<std::string> examples;
    std::istringstream names(DOC_EXAMPLES);
    for (std::string name; std::getline(names, name, ',');) {
        examples.insert(name);
        const ProgramRun run = run_program(
            std::string(DOC_EXAMPLES_DIR) + "/" + name,
            {"VORNA_PLAY=empty.scr", "VORNA_PLAY_EXIT=1", "VORNA_PICTURE=" + name + ".png"}, directory.path());
        ASSERT_EQ(run.status, 0) << name << ": " << run.errors;
        PlatformSurface *drawn = platform_load_surface((name + ".png").c_str());
        PlatformSurface *committed =
            platform_load_surface((std::string(DOC_PICTURES_DIR) + "/" + name + ".png").c_str());
        EXPECT_NE(committed, nullptr) << "docs/pictures/" << name << ".png is missing";
        if (drawn && committed) {
            EXPECT_EQ(pixels_differing(drawn, committed), 0)
                << "docs/pictures/" << name << ".png differs from what the runtime draws, saved as "
                << save_test_picture(drawn, name) << "; if the change is meant, run docs/make_pictures.sh and "
                << "look at the pictures";
        }
        platform_destroy_surface(drawn);
        platform_destroy_surface(committed);
    }
    // No picture without its program.
    for (const auto &entry : std::filesystem::directory_iterator(DOC_PICTURES_DIR))
        EXPECT_TRUE(examples.count(entry.path().stem().string())) << entry.path() << " has no example program";
}

// The README's animation is the car scene's replay of docs/carscene.scr as VORNA_GIF records
// it today, byte for byte: a replayed run's frames and delays do not depend on the machine.
TEST(DocPictures, TheCarSceneAnimationIsWhatTheRuntimeRecordsToday) {
    ScratchDirectory directory;
    const ProgramRun run =
        run_program(CARSCENE_PROGRAM,
                    {"VORNA_PLAY=" DOCS_DIR "/carscene.scr", "VORNA_PLAY_EXIT=1", "VORNA_GIF=carscene.gif"},
                    directory.path());
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::string committed = read_whole_file(DOCS_DIR "/carscene.gif");
    EXPECT_LT(committed.size(), 300u * 1024) << "docs/carscene.gif is too big for the README";
    EXPECT_TRUE(read_whole_file("carscene.gif") == committed)
        << "docs/carscene.gif differs from what the runtime records; if the change is meant, run "
        << "docs/make_pictures.sh and look at it";
}
