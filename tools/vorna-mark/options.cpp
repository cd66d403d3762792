// options.cpp: vorna-mark's command line.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mark.h"

namespace {

bool whole_number(const char *text, long low, long high, long *value) {
    char *end = nullptr;
    *value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && *value >= low && *value <= high;
}

bool positive_number(const char *text, double high, double *value) {
    char *end = nullptr;
    *value = std::strtod(text, &end);
    return end != text && *end == '\0' && *value > 0 && *value <= high;
}

bool bad(const char *option, const char *value, const char *want) {
    std::fprintf(stderr, "vorna-mark: %s %s: %s\n", option, value ? value : "", want);
    return false;
}

} // namespace

void print_usage(FILE *stream) {
    std::fputs(
        "usage: vorna-mark --model MODEL --input SCRIPT --out REPORT [options] SUBMISSION...\n"
        "       vorna-mark merge --out REPORT PART...\n"
        "       vorna-mark --record MODEL [--out SCRIPT]\n"
        "       vorna-mark --calibrate --model MODEL --input SCRIPT --out REPORT [options]\n"
        "MODEL and each SUBMISSION: a .c/.cpp file or a folder (its CMakeLists.txt, else its .c/.cpp files).\n"
        "  --answers FILE       one line per prompt-dialog answer\n"
        "  --at N,N,...         also compare the pictures after these events\n"
        "  --jobs N             students marked at once (default: one per core)\n"
        "  --shard I/N          mark every N-th student, starting with the I-th (0-based)\n"
        "  --time-limit S       seconds a run may take (default 10)\n"
        "  --memory-limit MB    address space of a run (default 1024)\n"
        "  --file-limit MB      largest file a run may write (default 64)\n"
        "  --process-limit N    processes and threads of a run (default 64)\n"
        "  --clock \"YYYY-MM-DD hh:mm:ss\"  the clock programs see (default 2026-01-01 09:00:00)\n"
        "  --tolerance N        a colour channel may differ by N and still match (default 0)\n"
        "  --points FILE        lines `CHECKPOINT POINTS [visible|hidden]` (CHECKPOINT: end or an event)\n"
        "  --gradebook canvas|moodle|blackboard --roster FILE [--title T] [--column-id ID]\n"
        "  --runs N             --calibrate: runs of the model (default 3)\n"
        "  --fresh              mark everyone again, also students unchanged since the last run\n"
        "  --no-progress        no progress line\n"
        "  --runtime PREFIX     the VORNA runtime's install prefix (default: beside vorna-mark)\n",
        stream);
}

bool parse_options(int argc, char **argv, Options *o) {
    int i = 1;
    if (argc > 1 && std::strcmp(argv[1], "merge") == 0) {
        o->command = "merge";
        i = 2;
    }
    for (; i < argc; i++) {
        const char *arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto need = [&](const char *name) {
            if (std::strcmp(arg, name) != 0) return false;
            if (!value) {
                bad(name, "", "needs a value");
                std::exit(EXIT_MARK_USAGE);
            }
            i++;
            return true;
        };
        long number = 0;
        double real = 0;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            print_usage(stdout);
            std::exit(EXIT_MARK_DONE);
        } else if (std::strcmp(arg, "--fresh") == 0) {
            o->fresh = true;
        } else if (std::strcmp(arg, "--no-progress") == 0) {
            o->progress = false;
        } else if (std::strcmp(arg, "--calibrate") == 0) {
            o->command = "calibrate";
        } else if (need("--record")) {
            o->command = "record";
            o->model = value;
        } else if (need("--model")) {
            o->model = value;
        } else if (need("--input")) {
            o->input = value;
        } else if (need("--answers")) {
            o->answers = value;
        } else if (need("--out")) {
            o->out = value;
        } else if (need("--at")) {
            o->at.clear();
            const char *p = value;
            while (*p) {
                char *end = nullptr;
                const long n = std::strtol(p, &end, 10);
                if (end == p || n < 1 || n > 100000000 || (*end != ',' && *end != '\0'))
                    return bad("--at", value, "event numbers from 1, separated by commas");
                o->at.push_back(static_cast<int>(n));
                p = *end == ',' ? end + 1 : end;
            }
            std::sort(o->at.begin(), o->at.end());
            o->at.erase(std::unique(o->at.begin(), o->at.end()), o->at.end());
        } else if (need("--jobs")) {
            if (!whole_number(value, 1, 256, &number)) return bad("--jobs", value, "a number from 1 to 256");
            o->jobs = static_cast<int>(number);
        } else if (need("--shard")) {
            int index = -1, count = 0;
            char end = 0;
            if (std::sscanf(value, "%d/%d%c", &index, &count, &end) != 2 || count < 1 || index < 0 || index >= count)
                return bad("--shard", value, "I/N with 0 <= I < N");
            o->shard_index = index;
            o->shard_count = count;
        } else if (need("--time-limit")) {
            if (!positive_number(value, 3600, &real)) return bad("--time-limit", value, "seconds, up to 3600");
            o->time_limit = real;
        } else if (need("--memory-limit")) {
            if (!whole_number(value, 64, 1 << 20, &number)) return bad("--memory-limit", value, "megabytes, at least 64");
            o->memory_limit_mb = number;
        } else if (need("--file-limit")) {
            if (!whole_number(value, 1, 1 << 20, &number)) return bad("--file-limit", value, "megabytes, at least 1");
            o->file_limit_mb = number;
        } else if (need("--process-limit")) {
            if (!whole_number(value, 8, 100000, &number)) return bad("--process-limit", value, "a number, at least 8");
            o->process_limit = number;
        } else if (need("--clock")) {
            int y, mo, d, h, mi, s;
            char end = 0;
            if (std::sscanf(value, "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &end) != 6 || mo < 1 || mo > 12 ||
                d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
                return bad("--clock", value, "\"YYYY-MM-DD hh:mm:ss\"");
            o->clock = value;
        } else if (need("--tolerance")) {
            if (!whole_number(value, 0, 255, &number)) return bad("--tolerance", value, "a number from 0 to 255");
            o->tolerance = static_cast<int>(number);
        } else if (need("--points")) {
            o->points_file = value;
        } else if (need("--gradebook")) {
            if (std::strcmp(value, "canvas") && std::strcmp(value, "moodle") && std::strcmp(value, "blackboard"))
                return bad("--gradebook", value, "canvas, moodle or blackboard");
            o->gradebook = value;
        } else if (need("--roster")) {
            o->roster = value;
        } else if (need("--title")) {
            o->gradebook_title = value;
        } else if (need("--column-id")) {
            o->gradebook_id = value;
        } else if (need("--runs")) {
            if (!whole_number(value, 1, 100, &number)) return bad("--runs", value, "a number from 1 to 100");
            o->calibrate_runs = static_cast<int>(number);
        } else if (need("--runtime")) {
            o->runtime_prefix = value;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return bad(arg, "", "unknown option (see --help)");
        } else {
            o->submissions.push_back(arg);
        }
    }
    if (o->command == "record") return true;
    if (o->out.empty()) return bad("--out", "", "is needed: the report folder");
    if (o->command == "merge") {
        if (o->submissions.empty()) return bad("merge", "", "needs the reports to merge");
        return true;
    }
    if (o->model.empty() || o->input.empty()) return bad("--model/--input", "", "both are needed");
    if (!o->gradebook.empty() && o->roster.empty()) return bad("--gradebook", o->gradebook.c_str(), "needs --roster FILE");
    if (o->command == "mark" && o->submissions.empty()) return bad("SUBMISSION", "", "at least one is needed");
    return true;
}
