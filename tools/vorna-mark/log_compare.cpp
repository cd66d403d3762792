// log_compare.cpp: the drawing logs of the model and a student compared shape by shape, and
// the differences said in plain words ("filled circle at (10, 20) radius 5 is red; the model's
// is blue").
//
// A log mixes printed lines with drawing-log lines; only the latter (a palette colour followed
// by a shape, or the canvas being cleared) take part. The two lists of shapes are aligned as
// a diff aligns lines (common start and end, then the longest common subsequence of the rest
// when that is small enough); in each stretch where they part, a model shape is paired with a
// student shape of the same kind, first by the same place (then the colour differs), then by
// the same colour (then the place differs). What is left is missing or extra.
//
// A checkpoint after an event compares what the canvas shows there: the shapes from the last
// clear up to the line the runtime logs where it saved that picture.
#include <algorithm>
#include <cstring>

#include "mark.h"

namespace {

enum {
    LCS_CELL_BUDGET = 4 * 1000 * 1000, // largest middle stretch aligned exactly (cells of the table)
    LOOK_AHEAD = 64,                   // beyond that budget: how far ahead a line is looked for
    PAIR_WINDOW = 32,                  // a model shape is paired with student shapes this near
};

// One drawing-log line taken apart.
struct Shape {
    std::string line;     // as logged
    std::string colour;   // a palette name; empty for a clear
    std::string kind;     // circle, rectangle, ...; "clear"
    std::string place;    // the rest: where and how big, in plain words
};

const char *KINDS[][2] = {
    // logged after the colour       the kind
    {" text at ", "text"},           {" pixel at ", "pixel"},
    {" circle at ", "circle"},       {" triangle at ", "triangle"},
    {" rectangle with bounding box ", "rectangle"},
    {" oval with bounding box ", "oval"},
    {" line from ", "line"},
};

bool colour_word(const std::string &text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!(c >= 'a' && c <= 'z') && !(c >= '0' && c <= '9') && c != ' ' && c != '%') return false;
    return true;
}

// "(10,20)" reads "(10, 20)"; the log's own wording otherwise.
std::string spaced(const std::string &text) {
    std::string out;
    bool in_point = false;
    for (char c : text) {
        if (c == '(') in_point = true;
        if (c == ')') in_point = false;
        out += c;
        if (c == ',' && in_point) out += ' ';
    }
    return out;
}

bool parse_shape(const std::string &line, Shape *shape) {
    if (line == "Clearing the graphics window") {
        *shape = {line, "", "clear", ""};
        return true;
    }
    for (auto &kind : KINDS) {
        const std::size_t at = line.find(kind[0]);
        if (at == std::string::npos || at == 0) continue;
        const std::string colour = line.substr(0, at);
        if (!colour_word(colour)) continue;
        std::string rest = line.substr(at + std::strlen(kind[0]));
        std::string name = kind[1];
        // The wording of the fill and the outline, so that "filled rectangle from (..) to (..)"
        // and "rectangle from (..) to (..) with line width 2" read naturally.
        const std::string filled = ", filled";
        if (rest.size() > filled.size() && rest.compare(rest.size() - filled.size(), filled.size(), filled) == 0) {
            rest.erase(rest.size() - filled.size());
            name = "filled " + name;
        }
        if (name == "circle") name = "filled circle";
        if (name.find("rectangle") != std::string::npos || name.find("oval") != std::string::npos) rest = "from " + rest;
        if (name == "line") rest = "from " + rest;
        if (name == "text") {
            // (x,y), "words": the words first.
            const std::size_t comma = rest.find("), ");
            if (comma != std::string::npos) rest = rest.substr(comma + 3) + " at " + rest.substr(0, comma + 1);
        } else if (name != "line" && rest.rfind("from ", 0) != 0) {
            rest = "at " + rest;
        }
        std::string place;
        for (std::size_t i = 0; i < rest.size(); i++) {
            if (rest[i] == ',' && i + 1 < rest.size() && rest[i + 1] == ' ' && rest.compare(i + 2, 1, "(") != 0) {
                continue; // ", radius 5" reads " radius 5"
            }
            place += rest[i];
        }
        *shape = {line, colour, name, spaced(place)};
        return true;
    }
    return false;
}

std::vector<Shape> shapes_of(const std::string &log) {
    std::vector<Shape> shapes;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        Shape shape;
        if (parse_shape(log.substr(start, end - start), &shape)) shapes.push_back(shape);
        start = end + 1;
    }
    return shapes;
}

std::string described(const Shape &shape) {
    if (shape.kind == "clear") return "clearing the canvas";
    return shape.colour + " " + shape.kind + " " + shape.place;
}

// The words for one stretch where the logs part: model[m0, m1) against student[s0, s1).
void explain_stretch(const std::vector<Shape> &model, std::size_t m0, std::size_t m1, const std::vector<Shape> &student,
                     std::size_t s0, std::size_t s1, LogComparison *result, std::size_t keep) {
    std::vector<bool> used(s1 - s0, false);
    std::vector<std::pair<std::size_t, std::string>> said; // ordered by the student's index
    auto say = [&](std::size_t order, const std::string &words) {
        result->total++;
        said.push_back({order, words});
    };
    for (std::size_t m = m0; m < m1; m++) {
        const Shape &want = model[m];
        std::size_t pick = s1;
        int how = 0; // 1 same place, 2 same colour, 3 same kind
        // Near the same position only: a long stretch stays linear.
        const std::size_t position = s0 + std::min(m - m0, s1 - s0);
        const std::size_t from = position > s0 + PAIR_WINDOW ? position - PAIR_WINDOW : s0;
        const std::size_t to = std::min(s1, position + PAIR_WINDOW);
        for (int pass = 1; pass <= 3 && pick == s1; pass++)
            for (std::size_t s = from; s < to && pick == s1; s++) {
                const Shape &got = student[s];
                if (used[s - s0] || got.kind != want.kind || want.kind == "clear") continue;
                if ((pass == 1 && got.place == want.place) || (pass == 2 && got.colour == want.colour) || pass == 3) {
                    pick = s;
                    how = pass;
                }
            }
        if (pick == s1) {
            say(s0, "missing: " + described(want));
            continue;
        }
        used[pick - s0] = true;
        const Shape &got = student[pick];
        if (how == 1)
            say(pick, got.kind + " " + got.place + " is " + got.colour + "; the model's is " + want.colour);
        else if (how == 2)
            say(pick, got.colour + " " + got.kind + " is " + got.place + "; the model's is " + want.place);
        else
            say(pick, described(got) + " where the model draws " + described(want));
    }
    for (std::size_t s = s0; s < s1; s++)
        if (!used[s - s0]) say(s, "extra: " + described(student[s]));
    std::stable_sort(said.begin(), said.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &entry : said)
        if (result->words.size() < keep) result->words.push_back(entry.second);
}

} // namespace

std::string last_drawing_line(const std::string &log) {
    const std::vector<Shape> shapes = shapes_of(log);
    return shapes.empty() ? std::string() : described(shapes.back());
}

bool log_at_checkpoint(const std::string &log, const std::string &event, std::string *shown) {
    // The runtime writes this line where it saves the picture after that event.
    const std::string marker = "VORNA_PICTURE_AT: event " + event + "\n";
    std::size_t at = 0;
    if (log.compare(0, marker.size(), marker) != 0) {
        at = log.find("\n" + marker);
        if (at == std::string::npos) return false;
        at++;
    }
    // What the canvas shows there: the shapes since the last clear before the marker.
    const std::string clear = "Clearing the graphics window\n";
    std::size_t from = at >= clear.size() ? log.rfind(clear, at - clear.size()) : std::string::npos;
    while (from != std::string::npos && from > 0 && log[from - 1] != '\n')
        from = from >= 1 ? log.rfind(clear, from - 1) : std::string::npos;
    if (from == std::string::npos) from = 0;
    *shown = log.substr(from, at - from);
    return true;
}

LogComparison compare_logs(const std::string &model_log, const std::string &student_log, std::size_t keep) {
    LogComparison result;
    const std::vector<Shape> model = shapes_of(model_log);
    const std::vector<Shape> student = shapes_of(student_log);
    std::size_t head = 0;
    while (head < model.size() && head < student.size() && model[head].line == student[head].line) head++;
    std::size_t tail = 0;
    while (tail < model.size() - head && tail < student.size() - head &&
           model[model.size() - 1 - tail].line == student[student.size() - 1 - tail].line)
        tail++;
    const std::size_t m_end = model.size() - tail, s_end = student.size() - tail;
    const std::size_t rows = m_end - head, cols = s_end - head;
    if (rows == 0 && cols == 0) return result;
    if (rows == 0 || cols == 0) {
        explain_stretch(model, head, m_end, student, head, s_end, &result, keep);
        return result;
    }
    if (rows * cols > LCS_CELL_BUDGET) {
        // Too long to align exactly: walk both, and where they part take the nearer of the
        // model's line found ahead in the student's log or the other way round.
        std::size_t i = head, j = head, stretch_i = head, stretch_j = head;
        while (i < m_end && j < s_end) {
            if (model[i].line == student[j].line) {
                if (stretch_i < i || stretch_j < j) explain_stretch(model, stretch_i, i, student, stretch_j, j, &result, keep);
                stretch_i = ++i;
                stretch_j = ++j;
                continue;
            }
            std::size_t ahead_j = 1, ahead_i = 1;
            while (ahead_j <= LOOK_AHEAD && j + ahead_j < s_end && student[j + ahead_j].line != model[i].line) ahead_j++;
            while (ahead_i <= LOOK_AHEAD && i + ahead_i < m_end && model[i + ahead_i].line != student[j].line) ahead_i++;
            const bool found_j = ahead_j <= LOOK_AHEAD && j + ahead_j < s_end;
            const bool found_i = ahead_i <= LOOK_AHEAD && i + ahead_i < m_end;
            if (found_j && (!found_i || ahead_j <= ahead_i)) j += ahead_j;
            else if (found_i) i += ahead_i;
            else i++, j++; // neither is near: both lines differ
        }
        explain_stretch(model, stretch_i, m_end, student, stretch_j, s_end, &result, keep);
        return result;
    }
    // The longest common subsequence of the middle, then its walk: each run of lines between
    // two common ones is one stretch.
    std::vector<uint32_t> table((rows + 1) * (cols + 1), 0);
    auto at = [&](std::size_t i, std::size_t j) -> uint32_t & { return table[i * (cols + 1) + j]; };
    for (std::size_t i = rows; i-- > 0;)
        for (std::size_t j = cols; j-- > 0;)
            at(i, j) = model[head + i].line == student[head + j].line ? at(i + 1, j + 1) + 1
                                                                      : std::max(at(i + 1, j), at(i, j + 1));
    std::size_t i = 0, j = 0, stretch_i = 0, stretch_j = 0;
    while (i < rows || j < cols) {
        if (i < rows && j < cols && model[head + i].line == student[head + j].line) {
            if (stretch_i < i || stretch_j < j)
                explain_stretch(model, head + stretch_i, head + i, student, head + stretch_j, head + j, &result, keep);
            i++;
            j++;
            stretch_i = i;
            stretch_j = j;
        } else if (j < cols && (i == rows || at(i, j + 1) >= at(i + 1, j))) {
            j++;
        } else {
            i++;
        }
    }
    if (stretch_i < rows || stretch_j < cols)
        explain_stretch(model, head + stretch_i, m_end, student, head + stretch_j, s_end, &result, keep);
    return result;
}
