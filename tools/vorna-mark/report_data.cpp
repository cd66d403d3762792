// report_data.cpp: the report's data files. results.json (everything, read back by resuming
// and by `vorna-mark merge`), results.csv (one row per student for a spreadsheet), the points
// plan and the gradebook files for Canvas, Moodle and Blackboard.
#include <cmath>
#include <fstream>
#include <sstream>

#include "mark.h"

namespace {

std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    if (value == std::floor(value) && std::fabs(value) < 1e12) std::snprintf(text, sizeof text, "%.0f", value);
    else std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string csv_field(const std::string &text) {
    // A leading = + - @ would be a formula to a spreadsheet: quoted and led by an apostrophe.
    const bool formula = !text.empty() && std::string("=+-@").find(text[0]) != std::string::npos &&
                         !(text.size() > 1 && (text[1] >= '0' && text[1] <= '9'));
    if (!formula && text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string out = "\"";
    if (formula) out += '\'';
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string csv_row(const std::vector<std::string> &fields) {
    std::string row;
    for (std::size_t i = 0; i < fields.size(); i++) row += (i ? "," : "") + csv_field(fields[i]);
    return row + "\n";
}

std::string joined_words(const Checkpoint &checkpoint) {
    std::string text;
    for (const std::string &words : checkpoint.words) text += (text.empty() ? "" : "; ") + words;
    if (checkpoint.total_differences > static_cast<long>(checkpoint.words.size()))
        text += "; and " + std::to_string(checkpoint.total_differences - static_cast<long>(checkpoint.words.size())) +
                " more";
    return text;
}

bool marked(const StudentResult &result) { return result.verdict != VERDICT_MARKING_ERROR; }

double points_possible(const PointsPlan &plan) {
    double total = 0;
    for (double weight : plan.weight) total += weight;
    return total;
}

// Splits CSV text into rows of fields (quotes, doubled quotes, CR LF).
std::vector<std::vector<std::string>> parse_csv(const std::string &text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i < text.size(); i++) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += '"', i++;
            else if (c == '"') quoted = false;
            else field += c;
        } else if (c == '"') {
            quoted = true;
            any = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') i++;
            if (any || !field.empty() || !row.empty()) {
                row.push_back(field);
                rows.push_back(row);
            }
            row.clear();
            field.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.empty() || !row.empty()) {
        row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

} // namespace

bool read_points(const std::string &path, PointsPlan *plan, std::string *why) {
    std::ifstream file(path);
    if (!file) {
        *why = "cannot read the points file " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        number++;
        const std::size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string checkpoint, weight, visibility = "visible", extra;
        if (!(words >> checkpoint)) continue;
        char *end = nullptr;
        words >> weight;
        const double value = std::strtod(weight.c_str(), &end);
        if (weight.empty() || *end != '\0' || value < 0) {
            *why = path + ":" + std::to_string(number) + ": a checkpoint (end or an event number) and its points";
            return false;
        }
        words >> visibility;
        if ((visibility != "visible" && visibility != "hidden") || (words >> extra)) {
            *why = path + ":" + std::to_string(number) + ": after the points, visible or hidden";
            return false;
        }
        plan->checkpoint.push_back(checkpoint);
        plan->weight.push_back(value);
        plan->visible.push_back(visibility == "visible");
    }
    return true;
}

// A checkpoint earns its points when its picture matches the model's.
void apply_points(const PointsPlan &plan, StudentResult *result) {
    result->total_points = 0;
    for (Checkpoint &checkpoint : result->checkpoints) {
        checkpoint.points = 0;
        for (std::size_t i = 0; i < plan.checkpoint.size(); i++)
            if (plan.checkpoint[i] == checkpoint.name && checkpoint.differing_pixels == 0 &&
                result->verdict != VERDICT_NO_BUILD)
                checkpoint.points = plan.weight[i];
        result->total_points += checkpoint.points;
    }
}

std::string results_json(const ReportHeader &header, const std::vector<StudentResult> &results) {
    std::ostringstream out;
    out << "{\n  \"tool\": \"vorna-mark\",\n"
        << "  \"model\": " << json_quote(header.model_name) << ",\n"
        << "  \"input\": " << json_quote(header.input_name) << ",\n"
        << "  \"clock\": " << json_quote(header.clock) << ",\n"
        << "  \"address_randomisation\": \"off (setarch -R)\",\n"
        << "  \"limits\": " << json_quote(header.limits) << ",\n"
        << "  \"runtime_version\": " << json_quote(header.runtime_version) << ",\n"
        << "  \"marked_at\": " << json_quote(header.marked_at) << ",\n"
        << "  \"settings\": " << json_quote(header.settings) << ",\n"
        << "  \"model_error\": " << json_quote(header.model_error) << ",\n"
        << "  \"checkpoints\": [";
    for (std::size_t i = 0; i < header.checkpoints.size(); i++) out << (i ? ", " : "") << json_quote(header.checkpoints[i]);
    out << "],\n  \"students\": [";
    for (std::size_t s = 0; s < results.size(); s++) {
        const StudentResult &r = results[s];
        out << (s ? ",\n" : "\n") << "    {\"name\": " << json_quote(r.name) << ", \"folder\": " << json_quote(r.folder)
            << ", \"verdict\": " << json_quote(r.verdict) << ", \"detail\": " << json_quote(r.detail)
            << ", \"exit_status\": " << r.exit_status << ", \"signal\": " << json_quote(r.signal)
            << ", \"seconds\": " << number_text(r.seconds) << ", \"build_seconds\": " << number_text(r.build_seconds)
            << ", \"attempts\": " << r.attempts << ", \"key\": " << json_quote(r.key)
            << ", \"points\": " << (marked(r) ? number_text(r.total_points) : "null") << ",\n     \"checkpoints\": [";
        for (std::size_t c = 0; c < r.checkpoints.size(); c++) {
            const Checkpoint &k = r.checkpoints[c];
            out << (c ? ",\n       " : "\n       ") << "{\"name\": " << json_quote(k.name)
                << ", \"differing_pixels\": " << k.differing_pixels << ", \"differences\": " << k.total_differences
                << ", \"points\": " << number_text(k.points) << ", \"words\": [";
            for (std::size_t w = 0; w < k.words.size(); w++) out << (w ? ", " : "") << json_quote(k.words[w]);
            out << "], \"model_picture\": " << json_quote(k.model_picture)
                << ", \"student_picture\": " << json_quote(k.student_picture)
                << ", \"diff_picture\": " << json_quote(k.diff_picture) << "}";
        }
        out << "]}";
    }
    out << "\n  ]\n}\n";
    return out.str();
}

bool results_from_json(const std::string &text, ReportHeader *header, std::vector<StudentResult> *results,
                       std::string *why) {
    Json root;
    if (!json_parse(text, &root, why)) return false;
    if (root.kind != Json::OBJECT || root["tool"].text != "vorna-mark") {
        *why = "not a vorna-mark results.json";
        return false;
    }
    header->model_name = root["model"].text;
    header->input_name = root["input"].text;
    header->clock = root["clock"].text;
    header->limits = root["limits"].text;
    header->runtime_version = root["runtime_version"].text;
    header->marked_at = root["marked_at"].text;
    header->settings = root["settings"].text;
    header->model_error = root["model_error"].text;
    header->checkpoints.clear();
    for (const Json &name : root["checkpoints"].items) header->checkpoints.push_back(name.text);
    for (const Json &s : root["students"].items) {
        StudentResult r;
        r.name = s["name"].text;
        r.folder = s["folder"].text;
        r.verdict = s["verdict"].text;
        r.detail = s["detail"].text;
        r.exit_status = static_cast<int>(s["exit_status"].number);
        r.signal = s["signal"].text;
        r.seconds = s["seconds"].number;
        r.build_seconds = s["build_seconds"].number;
        r.attempts = static_cast<int>(s["attempts"].number);
        r.key = s["key"].text;
        r.total_points = s["points"].number;
        for (const Json &c : s["checkpoints"].items) {
            Checkpoint k;
            k.name = c["name"].text;
            k.differing_pixels = static_cast<long>(c["differing_pixels"].number);
            k.total_differences = static_cast<long>(c["differences"].number);
            k.points = c["points"].number;
            for (const Json &w : c["words"].items) k.words.push_back(w.text);
            k.model_picture = c["model_picture"].text;
            k.student_picture = c["student_picture"].text;
            k.diff_picture = c["diff_picture"].text;
            r.checkpoints.push_back(k);
        }
        if (r.name.empty() || r.folder.empty() || r.folder.find('/') != std::string::npos || r.folder[0] == '.') {
            *why = "a student without a name or with a folder outside the report";
            return false;
        }
        results->push_back(r);
    }
    return true;
}

std::string results_csv(const ReportHeader &header, const PointsPlan &plan, const std::vector<StudentResult> &results) {
    std::vector<std::string> titles = {"name", "verdict", "detail", "exit status", "signal", "seconds"};
    for (const std::string &name : header.checkpoints) {
        titles.push_back(name + " differing pixels");
        titles.push_back(name + " differences");
    }
    const bool points = !plan.checkpoint.empty();
    if (points) {
        for (const std::string &name : plan.checkpoint) titles.push_back(name + " points");
        titles.push_back("total");
    }
    std::string csv = csv_row(titles);
    for (const StudentResult &r : results) {
        std::vector<std::string> row = {r.name, r.verdict, r.detail, r.exit_status >= 0 ? std::to_string(r.exit_status) : "",
                                        r.signal, number_text(r.seconds)};
        for (const std::string &name : header.checkpoints) {
            const Checkpoint *found = nullptr;
            for (const Checkpoint &k : r.checkpoints)
                if (k.name == name) found = &k;
            row.push_back(found && found->differing_pixels >= 0 ? std::to_string(found->differing_pixels) : "");
            row.push_back(found ? joined_words(*found) : "");
        }
        if (points) {
            for (const std::string &name : plan.checkpoint) {
                double earned = 0;
                for (const Checkpoint &k : r.checkpoints)
                    if (k.name == name) earned = k.points;
                row.push_back(marked(r) ? number_text(earned) : "");
            }
            row.push_back(marked(r) ? number_text(r.total_points) : "");
        }
        csv += csv_row(row);
    }
    return csv;
}

// The gradebook file: the roster (CSV with a header row and a `submission` column naming each
// student's file or folder) joined to the results, in the columns the system imports.
bool write_gradebook(const Options &options, const PointsPlan &plan, const std::vector<StudentResult> &results,
                     std::string *why) {
    if (options.gradebook.empty()) return true;
    std::string text;
    bool truncated = false;
    if (!read_regular_file(options.roster, 16 * 1024 * 1024, &text, &truncated)) {
        *why = "cannot read the roster " + options.roster;
        return false;
    }
    const std::vector<std::vector<std::string>> rows = parse_csv(text);
    if (rows.empty()) {
        *why = "the roster is empty";
        return false;
    }
    const std::vector<std::string> &head = rows[0];
    auto column = [&](const std::string &name) -> int {
        for (std::size_t i = 0; i < head.size(); i++)
            if (head[i] == name) return static_cast<int>(i);
        return -1;
    };
    const int submission = column("submission");
    if (submission < 0) {
        *why = "the roster has no `submission` column (the student's file or folder name)";
        return false;
    }
    auto field = [&](const std::vector<std::string> &row, int index) {
        return index >= 0 && static_cast<std::size_t>(index) < row.size() ? row[static_cast<std::size_t>(index)]
                                                                           : std::string();
    };
    auto result_of = [&](const std::string &name) -> const StudentResult * {
        for (const StudentResult &r : results)
            if (r.name == name) return &r;
        return nullptr;
    };
    const double possible = plan.checkpoint.empty() ? 1 : points_possible(plan);
    // Without a points file a match is worth 1.
    auto grade = [&](const StudentResult *r) -> std::string {
        if (!r || !marked(*r)) return "";
        return number_text(plan.checkpoint.empty() ? (r->verdict == VERDICT_MATCHES ? 1 : 0) : r->total_points);
    };
    // Feedback tells the visible checkpoints only.
    auto feedback = [&](const StudentResult *r) -> std::string {
        if (!r) return "no submission";
        if (!marked(*r)) return "not marked yet";
        std::string words = r->verdict + (r->detail.empty() ? "" : " (" + r->detail + ")");
        for (const Checkpoint &k : r->checkpoints) {
            bool visible = true;
            for (std::size_t i = 0; i < plan.checkpoint.size(); i++)
                if (plan.checkpoint[i] == k.name) visible = plan.visible[i];
            if (visible && !k.words.empty()) words += "; " + (k.name == "end" ? std::string("at the end") : "after event " + k.name) + ": " + joined_words(k);
        }
        return words;
    };
    std::string out;
    const std::string title = options.gradebook_title;
    if (options.gradebook == "canvas") {
        const char *IDENTITY[] = {"Student", "ID", "SIS User ID", "SIS Login ID", "Section"};
        std::vector<std::string> titles(std::begin(IDENTITY), std::end(IDENTITY));
        titles.push_back(title + " (" + options.gradebook_id + ")");
        out += csv_row(titles);
        out += csv_row({"    Points Possible", "", "", "", "", number_text(possible)});
        for (std::size_t i = 1; i < rows.size(); i++) {
            std::vector<std::string> row;
            for (const char *name : IDENTITY) row.push_back(field(rows[i], column(name)));
            row.push_back(grade(result_of(field(rows[i], submission))));
            out += csv_row(row);
        }
    } else if (options.gradebook == "moodle") {
        // The identity column is the roster's first column other than `submission`.
        int identity = -1;
        for (std::size_t i = 0; i < head.size() && identity < 0; i++)
            if (static_cast<int>(i) != submission) identity = static_cast<int>(i);
        if (identity < 0) {
            *why = "the roster needs an identity column (for example Email address) besides `submission`";
            return false;
        }
        out += csv_row({head[static_cast<std::size_t>(identity)], title, "Feedback comments"});
        for (std::size_t i = 1; i < rows.size(); i++) {
            const StudentResult *r = result_of(field(rows[i], submission));
            out += csv_row({field(rows[i], identity), grade(r), feedback(r)});
        }
    } else { // blackboard
        const int username = column("Username");
        if (username < 0) {
            *why = "the roster needs a Username column for Blackboard";
            return false;
        }
        out += csv_row({"Username", title + " [Total Pts: " + number_text(possible) + " Score] |" + options.gradebook_id});
        for (std::size_t i = 1; i < rows.size(); i++)
            out += csv_row({field(rows[i], username), grade(result_of(field(rows[i], submission)))});
    }
    for (const StudentResult &r : results) {
        bool listed = false;
        for (std::size_t i = 1; i < rows.size(); i++) listed = listed || field(rows[i], submission) == r.name;
        if (!listed) std::fprintf(stderr, "vorna-mark: %s is not in the roster\n", r.name.c_str());
    }
    if (!write_file_atomically(options.out + "/gradebook-" + options.gradebook + ".csv", out)) {
        *why = "cannot write the gradebook file";
        return false;
    }
    return true;
}
