// shards.cpp: --shard I/N marks every N-th student (by name), and `vorna-mark merge` joins the
// reports of the shards into one: their results, pictures and pages, and the model's pictures.
// Shards marked with other settings (another model, script or limit) are not merged.
#include <filesystem>

#include "mark.h"

namespace fs = std::filesystem;

bool in_shard(const Options &options, std::size_t index) {
    return index % static_cast<std::size_t>(options.shard_count) == static_cast<std::size_t>(options.shard_index);
}

int merge_reports(const Options &given) {
    Options options = given;
    std::error_code error;
    options.out = fs::absolute(options.out).lexically_normal().string();
    PointsPlan plan;
    std::string why;
    if (!options.points_file.empty() && !read_points(options.points_file, &plan, &why)) {
        std::fprintf(stderr, "vorna-mark merge: %s\n", why.c_str());
        return EXIT_MARK_USAGE;
    }
    ReportHeader header;
    std::vector<StudentResult> results;
    fs::create_directories(options.out + "/students", error);
    bool first = true;
    for (const std::string &part : options.submissions) {
        const std::string from = fs::absolute(part).lexically_normal().string();
        if (from == options.out) {
            std::fprintf(stderr, "vorna-mark merge: %s is the report merged into\n", part.c_str());
            return EXIT_MARK_USAGE;
        }
        std::string text;
        bool truncated = false;
        ReportHeader part_header;
        std::vector<StudentResult> part_results;
        if (!read_regular_file(from + "/results.json", 256 * 1024 * 1024, &text, &truncated) || truncated ||
            !results_from_json(text, &part_header, &part_results, &why)) {
            std::fprintf(stderr, "vorna-mark merge: %s/results.json: %s\n", part.c_str(),
                         why.empty() ? "cannot read it" : why.c_str());
            return EXIT_MARK_FAILED;
        }
        if (first) {
            header = part_header;
            fs::remove_all(options.out + "/model", error);
            fs::copy(from + "/model", options.out + "/model", fs::copy_options::recursive, error);
            first = false;
        } else if (part_header.settings != header.settings) {
            std::fprintf(stderr, "vorna-mark merge: %s was marked with other settings than %s\n", part.c_str(),
                         options.submissions[0].c_str());
            return EXIT_MARK_FAILED;
        }
        if (!part_header.model_error.empty()) header.model_error = part_header.model_error;
        for (StudentResult &r : part_results) {
            const std::string folder = options.out + "/students/" + r.folder;
            fs::remove_all(folder, error);
            fs::copy(from + "/students/" + r.folder, folder, fs::copy_options::recursive, error);
            if (error) {
                std::fprintf(stderr, "vorna-mark merge: cannot copy %s's pictures: %s\n", r.name.c_str(),
                             error.message().c_str());
                return EXIT_MARK_FAILED;
            }
            if (!plan.checkpoint.empty()) apply_points(plan, &r);
            std::erase_if(results, [&](const StudentResult &old) { return old.name == r.name; });
            results.push_back(r);
        }
    }
    if (!write_reports(options, header, plan, results) || !write_gradebook(options, plan, results, &why)) {
        std::fprintf(stderr, "vorna-mark merge: cannot write the report in %s %s\n", options.out.c_str(), why.c_str());
        return EXIT_MARK_FAILED;
    }
    std::fprintf(stderr, "vorna-mark merge: %zu students from %zu reports in %s/index.html\n", results.size(),
                 options.submissions.size(), options.out.c_str());
    return EXIT_MARK_DONE;
}
