// mark.h: what the parts of vorna-mark share. vorna-mark marks a folder of VORNA programs
// against a model program: each is built and run unattended inside a sandbox, and its pictures
// and drawing log are compared with the model's. One file per concern:
//     options.cpp        the command line
//     sandbox.cpp        one command inside bubblewrap with limits, and what became of it
//     sandbox_child.cpp  (its own small program) the first process inside the sandbox
//     building.cpp       building a submission
//     running.cpp        running a built program unattended, and the run's verdict
//     marking.cpp        marking one student and the whole class: jobs, resume, progress
//     log_compare.cpp    drawing logs compared shape by shape, in plain words
//     picture_compare.cpp pictures compared pixel by pixel (the only file that uses Qt)
//     json.cpp           reading and writing the results' JSON
//     report_data.cpp    results.json, results.csv, points and gradebook files
//     report_html.cpp    index.html and the students' pages
//     shards.cpp         --shard and `vorna-mark merge`
//     calibrate.cpp      --calibrate and --record
#ifndef VORNA_MARK_H
#define VORNA_MARK_H

#include <cstdint>
#include <string>
#include <vector>

// The verdicts, as the report spells them.
#define VERDICT_MATCHES "matches"
#define VERDICT_DIFFERS "differs"
#define VERDICT_NO_BUILD "does not build"
#define VERDICT_CRASHED "crashed"
#define VERDICT_TIMED_OUT "timed out"
#define VERDICT_NO_PICTURE "no picture"
#define VERDICT_LIMIT "exceeded a limit"
#define VERDICT_MARKING_ERROR "marking error"

enum {
    EXIT_MARK_DONE = 0,        // marking completed (whatever the students' verdicts)
    EXIT_MARK_FAILED = 1,      // marking could not be done (the model failed, the report cannot be written)
    EXIT_MARK_USAGE = 2,       // the command line is wrong
    MARK_WORDS_PER_CHECKPOINT = 5,  // plain-words differences listed per checkpoint
    MARK_WORDS_ON_PAGE = 200,       // and on the student's page
    MARK_OUTPUT_CAP = 64 * 1024,    // bytes of a program's output (and of build messages) kept
    MARK_LOG_CAP = 8 * 1024 * 1024, // bytes of a drawing log the runtime may write and the marker reads
};

// One limit set for a sandboxed command.
struct Limits {
    double wall_seconds = 10;  // the whole sandbox is killed after this
    long cpu_seconds = 10;     // RLIMIT_CPU
    long memory_mb = 1024;     // RLIMIT_AS
    long file_mb = 64;         // RLIMIT_FSIZE
    long processes = 64;       // RLIMIT_NPROC (threads count)
};

// Where the runtime the programs build against lives; each folder is bound read-only into the
// sandbox at its own path, so that include flags, RPATHs and CMake packages work unchanged.
// Before marking, what the sandboxes need is copied into a stage: a folder of the marker's
// own under /tmp that every job slot's user may enter (the runtime's and the report's folders
// may lie under a private folder such as /root). It holds the runtime's header and libraries
// (and its CMake package), vorna-mark-child, and the work folders; it goes when marking ends.
struct RuntimeLocation {
    std::string include_dir;  // holds vorna.h
    std::string lib_dir;      // holds libvorna.so and libvorna_main.a
    std::string prefix;       // an installed prefix (for find_package), or empty in a build tree
    std::string version;
    std::string stage;        // the stage's folder; its work/ holds the work folders
    std::string child;        // vorna-mark-child in the stage
};

struct Options {
    std::string command = "mark"; // mark, merge, record, calibrate
    std::string model;
    std::string input;
    std::string answers;
    std::vector<int> at;           // event numbers with a picture
    int jobs = 0;                  // 0: one per core
    int shard_index = 0;
    int shard_count = 1;
    double time_limit = 10;
    long memory_limit_mb = 1024;
    long file_limit_mb = 64;
    long process_limit = 64;
    std::string clock = "2026-01-01 09:00:00";
    std::string out;
    std::vector<std::string> submissions; // merge: the parts
    bool fresh = false;
    int tolerance = 0;             // a channel may differ by this much and still match
    std::string points_file;
    std::string gradebook;         // canvas, moodle, blackboard
    std::string roster;
    std::string gradebook_title = "VORNA exercise";
    std::string gradebook_id = "1";
    int calibrate_runs = 3;
    bool progress = true;
    std::string runtime_prefix;    // --runtime
};

struct Checkpoint {
    std::string name;                 // "end", or the event number
    long differing_pixels = -1;       // -1: no picture to compare
    long total_differences = 0;       // shapes that differ in the drawing log
    std::vector<std::string> words;   // the first few differences, in plain words
    std::string model_picture;        // paths relative to the report folder
    std::string student_picture;
    std::string diff_picture;
    double points = 0;
};

struct StudentResult {
    std::string name;       // the folder or file name
    std::string folder;     // its folder in the report, a safe name
    std::string verdict;
    std::string detail;     // the signal, the limit, the last drawing-log line, the error
    int exit_status = -1;   // -1: none (killed or not run)
    std::string signal;     // e.g. SIGSEGV
    double seconds = 0;     // the run's wall time (build not included)
    double build_seconds = 0;
    std::vector<Checkpoint> checkpoints;
    std::vector<std::string> all_words; // every log difference found (capped), for the page
    std::string key;        // what the result depends on; equal keys are not marked again
    int attempts = 0;
    double total_points = 0;
};

// --- options.cpp
// Reads the command line into *options; false with a message on stderr when it is wrong.
bool parse_options(int argc, char **argv, Options *options);
void print_usage(FILE *stream);

// --- sandbox.cpp
struct SandboxCommand {
    std::vector<std::string> argv;         // inside the sandbox
    std::vector<std::string> environment;  // NAME=value, the whole environment inside
    std::string work_dir;                  // host folder bound writable at SANDBOX_WORK
    std::vector<std::string> read_only;    // host folders bound read-only at their own path
    std::string child;                     // vorna-mark-child (in the stage)
    Limits limits;
    int slot = 0;                          // the job slot: its own user id
};
struct SandboxOutcome {
    bool started = false;      // false: the sandbox itself failed (a marking error)
    std::string error;         // why it failed to start
    bool exited = false;
    int exit_status = -1;
    int signal = 0;
    bool wall_timeout = false;
    long max_processes = 0;    // most processes and threads seen at once (the limit counts both)
    long max_rss_kb = 0;
    double seconds = 0;
    std::string output;        // stdout and stderr, capped at MARK_OUTPUT_CAP
    bool output_truncated = false;
};
#define SANDBOX_WORK "/work"
// Fixes the clock a program sees (Debian's faketime package).
#define FAKETIME_LIBRARY "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
bool sandbox_available(std::string *why);
SandboxOutcome sandbox_run(const SandboxCommand &command);
std::string signal_name(int signal);
// The slot's user id is taken for this process while it lives; false when none is free.
bool sandbox_claim_slot(int slot);
// The user id the current thread's sandboxes run as, or -1 when they run as the marker's own.
int sandbox_owner_uid();

// --- building.cpp
struct BuildOutcome {
    bool built = false;
    bool marking_error = false;  // the sandbox failed, not the student
    std::string messages;        // the compiler's, capped
    double seconds = 0;
};
// Copies the submission's sources into work/src and builds work/program inside the sandbox.
BuildOutcome build_submission(const std::string &submission, const std::string &work,
                              const RuntimeLocation &runtime, int slot);
bool find_runtime(const Options &options, RuntimeLocation *runtime, std::string *why);
// Copies the runtime found into a new stage; *runtime then names the copies.
bool stage_runtime(RuntimeLocation *runtime, std::string *why);
void remove_stage(const RuntimeLocation &runtime);
// Removes a folder a program may have filled, however deep.
void remove_tree(const std::string &path);
std::string own_folder();

// --- running.cpp
struct RunOutcome {
    SandboxOutcome sandbox;
    std::string log;              // the drawing log and printed lines, capped
    std::vector<std::string> pictures; // host paths, one per checkpoint ("" when missing)
    std::string file_at_limit;    // a file the run left at the file-size limit, or empty
};
RunOutcome run_program(const Options &options, const std::string &work, const RuntimeLocation &runtime, int slot);
// The run's verdict before pictures are compared: empty when the pictures decide.
std::string run_verdict(const Options &options, const RunOutcome &run, std::string *detail);
std::vector<std::string> checkpoint_names(const Options &options);

// --- log_compare.cpp
struct LogComparison {
    long total = 0;                 // differences found
    std::vector<std::string> words; // in plain words, at most `keep`
};
LogComparison compare_logs(const std::string &model_log, const std::string &student_log, std::size_t keep);
std::string last_drawing_line(const std::string &log);
// The part of a log drawn on the canvas when the picture after `event` was saved (from the
// last clear up to the runtime's "VORNA_PICTURE_AT: event N" line); false when it has none.
bool log_at_checkpoint(const std::string &log, const std::string &event, std::string *shown);

// --- picture_compare.cpp
// Differing pixels between two PNG files, with the difference picture written to diff_path;
// -1 when either cannot be read.
long compare_pictures(const std::string &model_png, const std::string &student_png, int tolerance,
                      const std::string &diff_path);
bool read_regular_file(const std::string &path, std::size_t cap, std::string *contents, bool *truncated);
bool write_file_atomically(const std::string &path, const std::string &contents);

// --- marking.cpp
int mark_class(const Options &options);
std::string student_name_of(const std::string &submission);
std::string safe_folder_name(const std::string &name);
uint64_t hash_bytes(uint64_t hash, const std::string &bytes);
std::string hex64(uint64_t value);
std::string format_seconds(double seconds);

// --- json.cpp
struct Json {
    enum Kind { NUL, BOOL, NUMBER, STRING, ARRAY, OBJECT } kind = NUL;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;
    const Json &operator[](const char *name) const;
};
bool json_parse(const std::string &text, Json *value, std::string *why);
std::string json_quote(const std::string &text);

// --- report_data.cpp
struct ReportHeader {
    std::string model_name;
    std::string input_name;
    std::string settings;       // key part the students' keys share
    std::string clock;
    std::string runtime_version;
    std::string limits;         // in words
    std::string marked_at;
    std::string model_error;    // why the model failed, or empty
    std::vector<std::string> checkpoints;
};
struct PointsPlan {
    std::vector<std::string> checkpoint;
    std::vector<double> weight;
    std::vector<bool> visible;
};
bool read_points(const std::string &path, PointsPlan *plan, std::string *why);
void apply_points(const PointsPlan &plan, StudentResult *result);
std::string results_json(const ReportHeader &header, const std::vector<StudentResult> &results);
std::string results_csv(const ReportHeader &header, const PointsPlan &plan, const std::vector<StudentResult> &results);
bool results_from_json(const std::string &text, ReportHeader *header, std::vector<StudentResult> *results,
                       std::string *why);
bool write_gradebook(const Options &options, const PointsPlan &plan, const std::vector<StudentResult> &results,
                     std::string *why);

// --- report_html.cpp
bool write_html_report(const std::string &out, const ReportHeader &header, const std::vector<StudentResult> &results);
bool write_student_page(const std::string &out, const ReportHeader &header, const StudentResult &result,
                        const std::string &build_messages, const std::string &console);
std::string html_escape(const std::string &text);

// --- writing all the report's files at once (marking.cpp)
bool write_reports(const Options &options, const ReportHeader &header, const PointsPlan &plan,
                   std::vector<StudentResult> results);

// --- shards.cpp
bool in_shard(const Options &options, std::size_t index);
int merge_reports(const Options &options);

// --- calibrate.cpp
int calibrate_model(const Options &options);
int record_model(const Options &options);

#endif
