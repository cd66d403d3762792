// test_mark_compare.cpp: vorna-mark's plain-words comparison of drawing logs, and its
// results.json read back as resuming and merging read it (a folder that would lead out of the
// report is refused).
#include <gtest/gtest.h>

#include "tools/vorna-mark/mark.h"

namespace {

struct LogCase {
    const char *what;
    std::string model;
    std::string student;
    long total;
    std::vector<std::string> words;
};

TEST(MarkCompare, DrawingLogsInPlainWords) {
    const std::string house = "Clearing the graphics window\n"
                              "ice blue rectangle with bounding box (-300,260) to (300,0), filled\n"
                              "yellow circle at (200,180), radius 30\n"
                              "red triangle at (-170,120), (20,120), (-75,200)\n"
                              "navy blue text at (-280,-200), \"My house\"\n";
    const LogCase CASES[] = {
        {"the same", house, house, 0, {}},
        {"printed lines between the shapes do not count", house,
         "hello\n" + house.substr(0, 29) + "tick 1\n" + house.substr(29) + "VORNA_gets \"x\": empty\n", 0, {}},
        {"another colour", "yellow circle at (200,180), radius 30\n", "orange circle at (200,180), radius 30\n", 1,
         {"filled circle at (200, 180) radius 30 is orange; the model's is yellow"}},
        {"another place", "yellow circle at (200,180), radius 30\n", "yellow circle at (160,180), radius 30\n", 1,
         {"yellow filled circle is at (160, 180) radius 30; the model's is at (200, 180) radius 30"}},
        {"missing in the middle, extra at the end", house,
         "Clearing the graphics window\n"
         "ice blue rectangle with bounding box (-300,260) to (300,0), filled\n"
         "red triangle at (-170,120), (20,120), (-75,200)\n"
         "navy blue text at (-280,-200), \"My house\"\n"
         "50% gray pixel at (1,2)\n",
         2, {"missing: yellow filled circle at (200, 180) radius 30", "extra: 50% gray pixel at (1, 2)"}},
        {"another shape where the model draws one",
         "blue line from (0,0) to (10,10), width 2\n", "blue oval with bounding box (0,0) to (10,10), line width 2\n", 2,
         {"missing: blue line from (0, 0) to (10, 10) width 2", "extra: blue oval from (0, 0) to (10, 10) line width 2"}},
        {"the same kind, another colour and place", "red rectangle with bounding box (0,0) to (5,5) with line width 1\n",
         "green rectangle with bounding box (1,1) to (6,6) with line width 1\n", 1,
         {"green rectangle from (1, 1) to (6, 6) with line width 1 where the model draws red rectangle from (0, 0) to "
          "(5, 5) with line width 1"}},
        {"text in words", "navy blue text at (-280,-200), \"My house\"\n", "", 1,
         {"missing: navy blue text \"My house\" at (-280, -200)"}},
        {"a clear the model does not make", "red pixel at (0,0)\n", "Clearing the graphics window\nred pixel at (0,0)\n", 1,
         {"extra: clearing the canvas"}},
    };
    for (const LogCase &c : CASES) {
        const LogComparison result = compare_logs(c.model, c.student, 5);
        EXPECT_EQ(result.total, c.total) << c.what;
        EXPECT_EQ(result.words, c.words) << c.what;
    }
}

TEST(MarkCompare, ManyDifferencesAreCountedAndTheFirstFewSaid) {
    std::string model, student;
    for (int i = 0; i < 40; i++) {
        model += "red pixel at (" + std::to_string(i) + ",0)\n";
        student += std::string(i % 4 == 0 ? "blue" : "red") + " pixel at (" + std::to_string(i) + ",0)\n";
    }
    const LogComparison result = compare_logs(model, student, 3);
    EXPECT_EQ(result.total, 10);
    ASSERT_EQ(result.words.size(), 3u);
    EXPECT_EQ(result.words[0], "pixel at (0, 0) is blue; the model's is red");
    EXPECT_EQ(result.words[2], "pixel at (8, 0) is blue; the model's is red");
}

TEST(MarkCompare, LongLogsBeyondTheAlignmentBudgetStillCompare) {
    // Two differences 3000 shapes apart: the stretch between them is too long to align exactly
    // and is compared as one stretch, which still finds the colour and says it in words.
    std::string model, student;
    for (int i = 0; i < 3000; i++) {
        const std::string line = " circle at (" + std::to_string(i) + ",0), radius 1\n";
        model += "red" + line;
        student += (i == 0 || i == 2999 ? "green" : "red") + line;
    }
    const LogComparison result = compare_logs(model, student, 5);
    EXPECT_EQ(result.total, 2);
    ASSERT_FALSE(result.words.empty());
    EXPECT_EQ(result.words[0], "filled circle at (0, 0) radius 1 is green; the model's is red");
}

TEST(MarkCompare, ACheckpointComparesWhatTheCanvasShowsThere) {
    // Each log: a first scene, a clear, the dots up to event 2's marker, then more drawing.
    // At event 2 only the dots since the clear count, and nothing drawn after the marker.
    const std::string model = "red pixel at (9,9)\n"
                              "VORNA_PICTURE_AT: event 1\n"
                              "Clearing the graphics window\n"
                              "green circle at (0,0), radius 8\n"
                              "printed event 2\n"
                              "green circle at (50,50), radius 8\n"
                              "VORNA_PICTURE_AT: event 2\n"
                              "green circle at (1,1), radius 8\n";
    const std::string student = "blue pixel at (9,9)\n"
                                "VORNA_PICTURE_AT: event 1\n"
                                "Clearing the graphics window\n"
                                "green circle at (0,0), radius 8\n"
                                "green circle at (70,50), radius 8\n"
                                "VORNA_PICTURE_AT: event 2\n"
                                "green circle at (5,5), radius 8\n";
    struct Case {
        const char *event;
        long total;
        std::vector<std::string> words;
    };
    const Case CASES[] = {
        {"1", 1, {"pixel at (9, 9) is blue; the model's is red"}},
        {"2", 1, {"green filled circle is at (70, 50) radius 8; the model's is at (50, 50) radius 8"}},
    };
    for (const Case &c : CASES) {
        std::string model_shown, student_shown;
        ASSERT_TRUE(log_at_checkpoint(model, c.event, &model_shown)) << c.event;
        ASSERT_TRUE(log_at_checkpoint(student, c.event, &student_shown)) << c.event;
        const LogComparison result = compare_logs(model_shown, student_shown, 5);
        EXPECT_EQ(result.total, c.total) << c.event;
        EXPECT_EQ(result.words, c.words) << c.event;
    }
    std::string shown;
    EXPECT_TRUE(log_at_checkpoint("VORNA_PICTURE_AT: event 3\n", "3", &shown));
    EXPECT_EQ(shown, "");
    // No marker for that event (event 12 is not event 2's marker read further): nothing to compare.
    EXPECT_FALSE(log_at_checkpoint(model, "3", &shown));
    EXPECT_FALSE(log_at_checkpoint("VORNA_PICTURE_AT: event 12\n", "1", &shown));
    EXPECT_FALSE(log_at_checkpoint("x VORNA_PICTURE_AT: event 2\n", "2", &shown));
    // A printed line that merely ends with the words of a clear does not start the canvas anew.
    ASSERT_TRUE(log_at_checkpoint("red pixel at (1,1)\nsaid Clearing the graphics window\nVORNA_PICTURE_AT: event 1\n",
                                  "1", &shown));
    EXPECT_EQ(compare_logs("red pixel at (1,1)\n", shown, 5).total, 0);
}

TEST(MarkCompare, LastDrawingLineSkipsPrintedLines) {
    EXPECT_EQ(last_drawing_line("red pixel at (3,4)\nlooping now\n"), "red pixel at (3, 4)");
    EXPECT_EQ(last_drawing_line("nothing drawn\n"), "");
}

TEST(MarkResults, WrittenAndReadBack) {
    ReportHeader header;
    header.model_name = "model";
    header.clock = "2026-01-01 09:00:00";
    header.settings = "abc";
    header.checkpoints = {"3", "end"};
    StudentResult r;
    r.name = "ann \"the\" quoted\nname\t\x01";
    r.folder = "ann-12345678";
    r.verdict = VERDICT_DIFFERS;
    r.exit_status = 0;
    r.seconds = 1.25;
    Checkpoint k;
    k.name = "end";
    k.differing_pixels = 42;
    k.total_differences = 7;
    k.words = {"filled circle at (1, 2) radius 3 is red; the model's is blue", "ünïcödé \\ back"};
    r.checkpoints = {k};
    const std::string json = results_json(header, {r});
    ReportHeader read_header;
    std::vector<StudentResult> read;
    std::string why;
    ASSERT_TRUE(results_from_json(json, &read_header, &read, &why)) << why;
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].name, r.name);
    EXPECT_EQ(read[0].verdict, r.verdict);
    EXPECT_EQ(read[0].checkpoints[0].words, k.words);
    EXPECT_EQ(read[0].checkpoints[0].differing_pixels, 42);
    EXPECT_EQ(read_header.checkpoints, header.checkpoints);
    EXPECT_EQ(read_header.settings, "abc");

    // A report whose folder leads elsewhere is not merged or resumed.
    for (const char *folder : {"../../etc", ".hidden", "a/b", ""}) {
        r.folder = folder;
        read.clear();
        EXPECT_FALSE(results_from_json(results_json(header, {r}), &read_header, &read, &why)) << folder;
    }
    EXPECT_FALSE(results_from_json("{\"tool\": \"vorna-mark\", \"students\": [", &read_header, &read, &why));
    EXPECT_FALSE(results_from_json("[1, 2]", &read_header, &read, &why));
}

} // namespace
