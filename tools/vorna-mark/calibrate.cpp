// calibrate.cpp: --calibrate, the model marked against itself before a class is, and
// --record, the model run on screen to record the input script from its first wait.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "mark.h"

namespace fs = std::filesystem;

// The model is marked as if it were --runs students: every run must match, and the slowest
// run decides the suggested time limit (three times it, and a second for a loaded machine).
int calibrate_model(const Options &given) {
    Options options = given;
    std::error_code error;
    options.out = fs::absolute(options.out).lexically_normal().string();
    const std::string copies = options.out + "/.calibrate";
    fs::remove_all(copies, error);
    options.submissions.clear();
    for (int run = 1; run <= options.calibrate_runs; run++) {
        const std::string folder = copies + "/model-run-" + std::to_string(run);
        fs::create_directories(folder, error);
        if (fs::is_directory(options.model)) fs::copy(options.model, folder, fs::copy_options::recursive, error);
        else fs::copy_file(options.model, folder + "/" + fs::path(options.model).filename().string(), error);
        if (error) {
            std::fprintf(stderr, "vorna-mark: cannot copy the model: %s\n", error.message().c_str());
            return EXIT_MARK_FAILED;
        }
        options.submissions.push_back(folder);
    }
    options.fresh = true;
    const int status = mark_class(options);
    fs::remove_all(copies, error);
    std::string text, why;
    bool truncated = false;
    ReportHeader header;
    std::vector<StudentResult> results;
    if (!read_regular_file(options.out + "/results.json", 256 * 1024 * 1024, &text, &truncated) ||
        !results_from_json(text, &header, &results, &why))
        return status == EXIT_MARK_DONE ? EXIT_MARK_FAILED : status;
    double slowest = 0;
    int differing = 0;
    std::printf("Calibration: the model %s marked against itself %d times\n", header.model_name.c_str(),
                options.calibrate_runs);
    for (const StudentResult &r : results) {
        std::printf("  %s: %s%s%s, run %.2f s, build %.2f s\n", r.name.c_str(), r.verdict.c_str(),
                    r.detail.empty() ? "" : " - ", r.detail.c_str(), r.seconds, r.build_seconds);
        slowest = std::max(slowest, r.seconds);
        differing += r.verdict != VERDICT_MATCHES;
    }
    if (differing) {
        std::printf("The model differs from itself in %d runs: it depends on something besides the script "
                    "(see the report); fix that before marking a class.\n", differing);
        return EXIT_MARK_FAILED;
    }
    std::printf("No differences. Suggested: --time-limit %.0f\n", std::max(2.0, std::ceil(3 * slowest + 1)));
    return status;
}

// Builds the model in the sandbox and runs it on screen with VORNA_RECORD set. The model is
// the teacher's own program, so it runs outside the sandbox, where the display is.
int record_model(const Options &given) {
    Options options = given;
    RuntimeLocation runtime;
    std::string why;
    if (!sandbox_available(&why) || !find_runtime(options, &runtime, &why) || !stage_runtime(&runtime, &why)) {
        std::fprintf(stderr, "vorna-mark: %s\n", why.c_str());
        return EXIT_MARK_FAILED;
    }
    const std::string script = fs::absolute(options.out.empty() ? "input.scr" : options.out).string();
    const std::string folder = runtime.stage + "/work/model";
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !sandbox_claim_slot(0)) {
        std::fprintf(stderr, "vorna-mark: cannot make a work folder\n");
        remove_stage(runtime);
        return EXIT_MARK_FAILED;
    }
    const BuildOutcome build = build_submission(options.model, folder, runtime, 0);
    if (!build.built) {
        std::fprintf(stderr, "vorna-mark: the model does not build:\n%s\n", build.messages.c_str());
        remove_stage(runtime);
        return EXIT_MARK_FAILED;
    }
    const std::string program = folder + "/program";
    std::fprintf(stderr, "vorna-mark: recording %s's input into %s from its first wait; quit the program to end\n",
                 options.model.c_str(), script.c_str());
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("VORNA_RECORD", script.c_str(), 1);
        execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
    remove_stage(runtime);
    return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? EXIT_MARK_DONE : EXIT_MARK_FAILED;
}
