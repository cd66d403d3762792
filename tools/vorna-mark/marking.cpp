// marking.cpp: marking one student, and the whole class.
//
// The model is built and run first, in the same sandbox as everyone; its pictures and log are
// what the students are compared with, and when it fails nobody is marked (each student is
// shown as a marking error, never as a pass or a fail). Then --jobs workers take students in
// turn, each with its own job slot (sandbox.cpp). After each student the report is written
// again whole (results.json, results.csv, index.html; each file replaced atomically), so a run
// killed midway leaves a valid report of what was finished. A rerun with the same --out reads
// results.json back and skips the students whose key (their sources and every setting that
// decides a result) is unchanged; --fresh marks everyone again. A marking error is retried
// once and never kept by a rerun.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "mark.h"

namespace fs = std::filesystem;

namespace {

const char *MODEL_FOLDER = "model";

struct Student {
    std::string path;
    std::string name;
    std::string folder;
    std::string key;
};

// What every student is compared with.
struct ModelRun {
    std::string log;
    std::vector<std::string> pictures; // in the report: model/<checkpoint>.png, or ""
    std::string error;
};

struct Batch {
    const Options *options;
    RuntimeLocation runtime;
    ReportHeader header;
    PointsPlan plan;
    ModelRun model;
    std::vector<Student> students;
    std::vector<StudentResult> done;   // finished, this run or kept from the last
    std::mutex lock;                   // guards done, next, the report files and the progress line
    std::size_t next = 0;
    std::size_t marked_now = 0, to_mark = 0, failing = 0;
    std::chrono::steady_clock::time_point start;
};

std::string picture_name(const std::string &checkpoint) {
    return checkpoint == "end" ? "end.png" : "event-" + checkpoint + ".png";
}

// Copies a run's picture into the report (read safely: it is the program's file).
bool keep_picture(const std::string &from, const std::string &to) {
    std::string bytes;
    bool truncated = false;
    if (!read_regular_file(from, 16 * 1024 * 1024, &bytes, &truncated) || truncated) return false;
    return write_file_atomically(to, bytes);
}

uint64_t hash_path(uint64_t hash, const fs::path &path) {
    std::error_code error;
    if (fs::is_directory(path, error)) {
        std::vector<fs::path> files;
        for (auto it = fs::recursive_directory_iterator(path, error); !error && it != fs::end(it); it.increment(error))
            files.push_back(it->path());
        std::sort(files.begin(), files.end());
        for (const fs::path &file : files) {
            hash = hash_bytes(hash, fs::relative(file, path, error).string());
            if (fs::is_symlink(fs::symlink_status(file, error))) hash = hash_bytes(hash, fs::read_symlink(file, error).string());
            else if (fs::is_regular_file(file, error)) hash = hash_path(hash, file);
        }
        return hash;
    }
    std::string bytes;
    bool truncated = false;
    read_regular_file(path.string(), 64 * 1024 * 1024, &bytes, &truncated);
    return hash_bytes(hash, bytes);
}

std::string now_text() {
    const std::time_t now = std::time(nullptr);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", std::localtime(&now));
    return text;
}

std::string console_text(const RunOutcome &run) {
    std::string text = "--- standard output and error ---\n" + run.sandbox.output;
    if (run.sandbox.output_truncated) text += "\n[output cut here]\n";
    std::string log = run.log.substr(0, MARK_OUTPUT_CAP);
    text += "\n--- printed lines and drawing log ---\n" + log;
    if (run.log.size() > log.size()) text += "\n[log cut here]\n";
    return text;
}

// Builds and runs one program in work; fills what the result needs of the run.
StudentResult mark_once(Batch &batch, const Student &student, int slot, std::string *build_messages,
                        RunOutcome *run) {
    const Options &options = *batch.options;
    StudentResult result;
    result.name = student.name;
    result.folder = student.folder;
    result.key = student.key;
    const std::string work = batch.runtime.stage + "/work/" + student.folder;
    std::error_code error;
    remove_tree(work);
    fs::create_directories(work, error);
    if (error) {
        result.verdict = VERDICT_MARKING_ERROR;
        result.detail = "cannot make the work folder: " + error.message();
        return result;
    }
    const BuildOutcome build = build_submission(student.path, work, batch.runtime, slot);
    *build_messages = build.messages;
    result.build_seconds = build.seconds;
    if (build.marking_error) {
        result.verdict = VERDICT_MARKING_ERROR;
        result.detail = build.messages.substr(0, build.messages.find('\n'));
    } else if (!build.built) {
        result.verdict = VERDICT_NO_BUILD;
        const std::size_t error_at = build.messages.find("error");
        if (error_at != std::string::npos) {
            const std::size_t begin = build.messages.rfind('\n', error_at);
            const std::size_t end = build.messages.find('\n', error_at);
            result.detail = build.messages.substr(begin == std::string::npos ? 0 : begin + 1,
                                                  end == std::string::npos ? std::string::npos : end - begin - 1);
            if (result.detail.size() > 200) result.detail = result.detail.substr(0, 200) + "...";
        }
    } else {
        *run = run_program(options, work, batch.runtime, slot);
        const SandboxOutcome &s = run->sandbox;
        result.seconds = s.seconds;
        result.exit_status = s.exited ? s.exit_status : -1;
        result.signal = s.signal ? signal_name(s.signal) : "";
        if (!s.started) {
            result.verdict = VERDICT_MARKING_ERROR;
            result.detail = s.error;
        } else if (s.exited && s.exit_status == 2 && s.output.find("VORNA_") != std::string::npos &&
                   s.output.find(": cannot ") != std::string::npos) {
            // The runtime refused the marker's own settings: not the student's fault.
            result.verdict = VERDICT_MARKING_ERROR;
            result.detail = s.output.substr(0, s.output.find('\n'));
        } else {
            result.verdict = run_verdict(options, *run, &result.detail);
        }
    }
    return result; // the caller keeps what it needs of the work folder, then removes it
}

void remove_work(const Batch &batch, const std::string &folder) {
    remove_tree(batch.runtime.stage + "/work/" + folder);
}

// Pictures kept, compared with the model's, the logs compared; the verdict when the run left
// it to the pictures.
bool compare_with_model(Batch &batch, const RunOutcome &run, StudentResult *result) {
    const Options &options = *batch.options;
    const std::string folder = options.out + "/students/" + result->folder;
    const std::vector<std::string> names = checkpoint_names(options);
    bool all_match = true;
    std::string missing;
    for (std::size_t i = 0; i < names.size(); i++) {
        Checkpoint k;
        k.name = names[i];
        k.model_picture = batch.model.pictures[i];
        const std::string picture = "students/" + result->folder + "/" + picture_name(k.name);
        if (i < run.pictures.size() && !run.pictures[i].empty()) {
            if (!keep_picture(run.pictures[i], options.out + "/" + picture)) return false;
            k.student_picture = picture;
            if (!k.model_picture.empty()) {
                const std::string diff = "students/" + result->folder + "/diff-" + picture_name(k.name);
                k.differing_pixels = compare_pictures(options.out + "/" + k.model_picture, options.out + "/" + picture,
                                                      options.tolerance, options.out + "/" + diff);
                if (k.differing_pixels > 0) k.diff_picture = diff;
            }
        } else if (!k.model_picture.empty()) {
            missing += (missing.empty() ? "" : ", ") + (k.name == "end" ? std::string("at the end") : "after event " + k.name);
        }
        if (k.differing_pixels != 0) all_match = false;
        if (k.name == "end" && !run.log.empty()) {
            const LogComparison words = compare_logs(batch.model.log, run.log, MARK_WORDS_ON_PAGE);
            result->all_words = words.words;
            k.words.assign(words.words.begin(),
                           words.words.begin() + std::min<std::size_t>(words.words.size(), MARK_WORDS_PER_CHECKPOINT));
            k.total_differences = words.total;
        } else if (k.name != "end" && !k.student_picture.empty() && !k.model_picture.empty()) {
            std::string model_shown, student_shown;
            if (log_at_checkpoint(batch.model.log, k.name, &model_shown) &&
                log_at_checkpoint(run.log, k.name, &student_shown)) {
                const LogComparison words = compare_logs(model_shown, student_shown, MARK_WORDS_PER_CHECKPOINT);
                k.words = words.words;
                k.total_differences = words.total;
            }
        }
        result->checkpoints.push_back(k);
    }
    if (result->verdict.empty()) {
        result->verdict = all_match ? VERDICT_MATCHES : VERDICT_DIFFERS;
        if (!missing.empty()) result->detail += (result->detail.empty() ? "" : "; ") + ("no picture " + missing);
    }
    (void)folder;
    return true;
}

StudentResult mark_student(Batch &batch, const Student &student, int slot) {
    const Options &options = *batch.options;
    StudentResult result;
    if (!batch.model.error.empty()) {
        result.name = student.name;
        result.folder = student.folder;
        result.key = student.key;
        result.verdict = VERDICT_MARKING_ERROR;
        result.detail = "the model could not be marked";
        return result;
    }
    for (int attempt = 1; attempt <= 2; attempt++) {
        std::string build_messages;
        RunOutcome run;
        result = mark_once(batch, student, slot, &build_messages, &run);
        result.attempts = attempt;
        const std::string folder = options.out + "/students/" + student.folder;
        std::error_code error;
        fs::remove_all(folder, error);
        fs::create_directories(folder, error);
        if (error) {
            result.verdict = VERDICT_MARKING_ERROR;
            result.detail = "cannot write the report: " + error.message();
            continue;
        }
        if (result.verdict != VERDICT_MARKING_ERROR && !compare_with_model(batch, run, &result)) {
            result.verdict = VERDICT_MARKING_ERROR;
            result.detail = "cannot keep the pictures in the report (is the disk full?)";
        }
        remove_work(batch, student.folder);
        apply_points(batch.plan, &result);
        if (!write_student_page(options.out, batch.header, result, build_messages, console_text(run)) &&
            result.verdict != VERDICT_MARKING_ERROR) {
            result.verdict = VERDICT_MARKING_ERROR;
            result.detail = "cannot write the student's page (is the disk full?)";
        }
        if (result.verdict != VERDICT_MARKING_ERROR) break;
    }
    return result;
}

bool failing(const StudentResult &result) {
    return result.verdict != VERDICT_MATCHES && result.verdict != VERDICT_MARKING_ERROR;
}

void show_progress(Batch &batch) {
    if (!batch.options->progress || !isatty(2) || batch.to_mark == 0) return;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - batch.start).count();
    const std::size_t left = batch.to_mark - batch.marked_now;
    const double per = batch.marked_now ? elapsed / static_cast<double>(batch.marked_now) : 0;
    std::fprintf(stderr, "\r\033[Kvorna-mark: %zu of %zu marked, %zu failing so far, %s left", batch.marked_now,
                 batch.to_mark, batch.failing, batch.marked_now ? format_seconds(per * static_cast<double>(left)).c_str() : "?");
    if (left == 0) std::fputc('\n', stderr);
}

void worker(Batch *batch, int slot) {
    if (!sandbox_claim_slot(slot)) {
        std::fprintf(stderr, "vorna-mark: no free user id for a sandbox; this job slot stops\n");
        return;
    }
    for (;;) {
        std::size_t index;
        {
            std::lock_guard<std::mutex> guard(batch->lock);
            if (batch->next >= batch->students.size()) return;
            index = batch->next++;
        }
        StudentResult result = mark_student(*batch, batch->students[index], slot);
        std::lock_guard<std::mutex> guard(batch->lock);
        batch->done.push_back(result);
        batch->marked_now++;
        if (failing(result)) batch->failing++;
        if (!write_reports(*batch->options, batch->header, batch->plan, batch->done))
            std::fprintf(stderr, "\nvorna-mark: cannot write the report in %s\n", batch->options->out.c_str());
        show_progress(*batch);
    }
}

// The model through the same pipeline; its pictures go to model/ in the report.
void mark_model(Batch &batch) {
    const Options &options = *batch.options;
    Student model{options.model, "model", "model", ""};
    std::error_code error;
    std::string messages;
    RunOutcome run;
    StudentResult result;
    for (int attempt = 1; attempt <= 2; attempt++) {
        result = mark_once(batch, model, 0, &messages, &run);
        if (result.verdict != VERDICT_MARKING_ERROR) break;
    }
    if (!result.verdict.empty()) {
        remove_work(batch, MODEL_FOLDER);
        batch.model.error = result.verdict + (result.detail.empty() ? "" : " (" + result.detail + ")");
        if (!messages.empty()) batch.model.error += ": " + messages.substr(0, 2000);
        return;
    }
    const std::string folder = options.out + "/" + MODEL_FOLDER;
    fs::remove_all(folder, error);
    fs::create_directories(folder, error);
    batch.model.log = run.log;
    const std::vector<std::string> names = checkpoint_names(options);
    for (std::size_t i = 0; i < names.size(); i++) {
        const std::string picture = std::string(MODEL_FOLDER) + "/" + picture_name(names[i]);
        if (i < run.pictures.size() && !run.pictures[i].empty() && keep_picture(run.pictures[i], options.out + "/" + picture))
            batch.model.pictures.push_back(picture);
        else
            batch.model.pictures.push_back("");
    }
    if (batch.model.pictures.back().empty())
        batch.model.error = "the model saved no picture at the end; its output: " + run.sandbox.output.substr(0, 2000);
    write_file_atomically(folder + "/log.txt", run.log);
    remove_work(batch, MODEL_FOLDER);
}

} // namespace

uint64_t hash_bytes(uint64_t hash, const std::string &bytes) {
    // FNV-1a, with the length mixed in so that "ab","c" and "a","bc" differ.
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ULL;
    for (int i = 0; i < 8; i++) hash = (hash ^ ((bytes.size() >> (8 * i)) & 0xff)) * 1099511628211ULL;
    return hash;
}

std::string hex64(uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::string format_seconds(double seconds) {
    char text[32];
    if (seconds < 90) std::snprintf(text, sizeof text, "%.1f s", seconds);
    else if (seconds < 5400) std::snprintf(text, sizeof text, "%.0f min", seconds / 60);
    else std::snprintf(text, sizeof text, "%.1f h", seconds / 3600);
    return text;
}

std::string student_name_of(const std::string &submission) {
    fs::path path = fs::path(submission).lexically_normal();
    if (path.filename().empty()) path = path.parent_path();
    std::error_code error;
    if (!fs::is_directory(path, error) && path.has_extension()) return path.stem().string();
    return path.filename().string();
}

std::string safe_folder_name(const std::string &name) {
    std::string safe;
    for (char c : name)
        safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.') ? c : '_';
    if (safe.empty() || safe[0] == '.' || safe != name || safe == "model")
        safe = (safe.empty() || safe[0] == '.' ? "_" + safe : safe) + "-" + hex64(hash_bytes(14695981039346656037ULL, name)).substr(0, 8);
    return safe;
}

bool write_reports(const Options &options, const ReportHeader &header, const PointsPlan &plan,
                   std::vector<StudentResult> results) {
    std::sort(results.begin(), results.end(), [](const StudentResult &a, const StudentResult &b) { return a.name < b.name; });
    return write_file_atomically(options.out + "/results.json", results_json(header, results)) &&
           write_file_atomically(options.out + "/results.csv", results_csv(header, plan, results)) &&
           write_html_report(options.out, header, results);
}

int mark_class(const Options &given) {
    Options options = given;
    std::error_code error;
    options.out = fs::absolute(options.out).lexically_normal().string();
    Batch batch;
    batch.options = &options;
    std::string why;
    if (!sandbox_available(&why) || !find_runtime(options, &batch.runtime, &why)) {
        std::fprintf(stderr, "vorna-mark: %s\n", why.c_str());
        return EXIT_MARK_FAILED;
    }
    for (const std::string *file : {&options.model, &options.input})
        if (!fs::exists(*file, error)) {
            std::fprintf(stderr, "vorna-mark: %s: no such file or folder\n", file->c_str());
            return EXIT_MARK_USAGE;
        }
    if (!options.answers.empty() && !fs::is_regular_file(options.answers, error)) {
        std::fprintf(stderr, "vorna-mark: --answers %s: no such file\n", options.answers.c_str());
        return EXIT_MARK_USAGE;
    }
    if (!options.points_file.empty() && !read_points(options.points_file, &batch.plan, &why)) {
        std::fprintf(stderr, "vorna-mark: %s\n", why.c_str());
        return EXIT_MARK_USAGE;
    }
    fs::create_directories(options.out + "/students", error);
    if (error) {
        std::fprintf(stderr, "vorna-mark: cannot make %s: %s\n", options.out.c_str(), error.message().c_str());
        return EXIT_MARK_FAILED;
    }

    // Everything a result depends on besides the student's own sources.
    uint64_t settings = 14695981039346656037ULL;
    settings = hash_path(settings, options.model);
    settings = hash_path(settings, options.input);
    if (!options.answers.empty()) settings = hash_path(settings, options.answers);
    std::string limits = "time " + format_seconds(options.time_limit) + ", memory " + std::to_string(options.memory_limit_mb) +
                         " MB, file size " + std::to_string(options.file_limit_mb) + " MB, processes " +
                         std::to_string(options.process_limit);
    std::string at;
    for (int n : options.at) at += std::to_string(n) + ",";
    struct stat library;
    const std::string library_path = batch.runtime.lib_dir + "/libvorna.so";
    const long library_time = stat(library_path.c_str(), &library) == 0 ? static_cast<long>(library.st_mtime) : 0;
    settings = hash_bytes(settings, limits + "|" + at + "|" + options.clock + "|" + std::to_string(options.tolerance) + "|" +
                                        batch.runtime.version + "|" + std::to_string(library_time));

    ReportHeader &header = batch.header;
    header.model_name = student_name_of(options.model);
    header.input_name = fs::path(options.input).filename().string();
    header.settings = hex64(settings);
    header.clock = options.clock;
    header.runtime_version = batch.runtime.version;
    header.limits = limits;
    header.marked_at = now_text();
    header.checkpoints = checkpoint_names(options);

    // The class: sorted by name, the model left out, this shard's share.
    std::vector<Student> all;
    const fs::path model_path = fs::weakly_canonical(options.model, error);
    for (const std::string &path : options.submissions) {
        if (fs::weakly_canonical(path, error) == model_path) continue;
        if (!fs::exists(path, error)) {
            std::fprintf(stderr, "vorna-mark: %s: no such file or folder; left out\n", path.c_str());
            continue;
        }
        const std::string name = student_name_of(path);
        all.push_back({path, name, safe_folder_name(name), hex64(hash_path(settings, path))});
    }
    std::sort(all.begin(), all.end(), [](const Student &a, const Student &b) { return a.name < b.name; });
    for (std::size_t i = 1; i < all.size(); i++)
        if (all[i].name == all[i - 1].name) {
            std::fprintf(stderr, "vorna-mark: two submissions are both called %s: rename one\n", all[i].name.c_str());
            return EXIT_MARK_USAGE;
        }
    std::vector<Student> mine;
    for (std::size_t i = 0; i < all.size(); i++)
        if (in_shard(options, i)) mine.push_back(all[i]);

    // What the last run with this --out finished and still holds.
    if (!options.fresh) {
        std::string text;
        bool truncated = false;
        ReportHeader old_header;
        std::vector<StudentResult> old;
        if (read_regular_file(options.out + "/results.json", 256 * 1024 * 1024, &text, &truncated) && !truncated &&
            results_from_json(text, &old_header, &old, &why)) {
            for (const StudentResult &r : old) {
                auto same = std::find_if(mine.begin(), mine.end(), [&](const Student &s) { return s.key == r.key && s.name == r.name; });
                if (same == mine.end() || r.verdict == VERDICT_MARKING_ERROR ||
                    !fs::exists(options.out + "/students/" + r.folder + "/index.html", error))
                    continue;
                StudentResult kept = r;
                apply_points(batch.plan, &kept);
                batch.done.push_back(kept);
                mine.erase(same);
            }
        }
    }
    batch.students = mine;
    batch.to_mark = mine.size();
    if (!batch.done.empty())
        std::fprintf(stderr, "vorna-mark: %zu students unchanged since the last run (--fresh marks them again)\n",
                     batch.done.size());

    batch.start = std::chrono::steady_clock::now();
    if (!stage_runtime(&batch.runtime, &why)) {
        std::fprintf(stderr, "vorna-mark: %s\n", why.c_str());
        return EXIT_MARK_FAILED;
    }
    if (!sandbox_claim_slot(0)) {
        remove_stage(batch.runtime);
        std::fprintf(stderr, "vorna-mark: no free user id for a sandbox\n");
        return EXIT_MARK_FAILED;
    }
    mark_model(batch);
    header.model_error = batch.model.error;
    if (!batch.model.error.empty()) std::fprintf(stderr, "vorna-mark: the model could not be marked: %s\n", batch.model.error.c_str());
    write_reports(options, header, batch.plan, batch.done);

    int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    jobs = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(jobs), std::max<std::size_t>(1, mine.size())));
    std::vector<std::thread> threads;
    // The first worker is this thread, which already holds a slot.
    for (int j = 1; j < jobs; j++) threads.emplace_back(worker, &batch, j);
    worker(&batch, 0);
    for (std::thread &thread : threads) thread.join();

    bool written = write_reports(options, header, batch.plan, batch.done);
    if (!write_gradebook(options, batch.plan, batch.done, &why)) {
        std::fprintf(stderr, "vorna-mark: %s\n", why.c_str());
        written = false;
    }
    remove_stage(batch.runtime);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - batch.start).count();
    std::size_t counts[8] = {};
    const char *ORDER[] = {VERDICT_MATCHES, VERDICT_DIFFERS, VERDICT_NO_BUILD, VERDICT_CRASHED, VERDICT_TIMED_OUT,
                           VERDICT_NO_PICTURE, VERDICT_LIMIT, VERDICT_MARKING_ERROR};
    for (const StudentResult &r : batch.done)
        for (int v = 0; v < 8; v++) counts[v] += r.verdict == ORDER[v];
    std::fprintf(stderr, "vorna-mark: %zu students in %s (%zu marked now, %.1f per minute):", batch.done.size(),
                 format_seconds(elapsed).c_str(), batch.marked_now,
                 elapsed > 0 ? 60.0 * static_cast<double>(batch.marked_now) / elapsed : 0.0);
    for (int v = 0; v < 8; v++)
        if (counts[v]) std::fprintf(stderr, " %zu %s,", counts[v], ORDER[v]);
    std::fprintf(stderr, " report in %s/index.html\n", options.out.c_str());
    if (!written) return EXIT_MARK_FAILED;
    return batch.model.error.empty() ? EXIT_MARK_DONE : EXIT_MARK_FAILED;
}
