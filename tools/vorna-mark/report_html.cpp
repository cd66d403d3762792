// report_html.cpp: index.html, one row per student, and a page per student. Both work opened
// from a file: pictures are relative links, the sorting and filtering script is inline.
#include <sstream>

#include "mark.h"

namespace {

const char *VERDICTS[] = {VERDICT_MATCHES, VERDICT_DIFFERS,   VERDICT_NO_BUILD, VERDICT_CRASHED,
                          VERDICT_TIMED_OUT, VERDICT_NO_PICTURE, VERDICT_LIMIT,   VERDICT_MARKING_ERROR};

const char *STYLE = R"(<style>
body { font-family: sans-serif; margin: 1.5em; color: #222; }
h1 { font-size: 1.4em; }
.settings { color: #555; font-size: 0.9em; }
table { border-collapse: collapse; width: 100%; }
th, td { border-bottom: 1px solid #ddd; padding: 6px; vertical-align: top; text-align: left; }
th[data-sort] { cursor: pointer; user-select: none; }
th[data-sort]:after { content: " \2195"; color: #aaa; }
th.asc:after { content: " \2191"; color: #222; }
th.desc:after { content: " \2193"; color: #222; }
.v { display: inline-block; padding: 2px 8px; border-radius: 10px; font-weight: bold; white-space: nowrap; }
.v-matches { background: #cfc; } .v-differs { background: #fec; }
.v-does-not-build, .v-crashed, .v-timed-out, .v-no-picture, .v-exceeded-a-limit { background: #fcc; }
.v-marking-error { background: #ddd; }
figure { display: inline-block; margin: 0 8px 4px 0; white-space: nowrap; }
figcaption { font-size: 0.8em; color: #555; }
img.pic { width: 120px; border: 1px solid #bbb; margin-right: 2px; }
.page img.pic { width: 301px; }
#filters label { margin-right: 1em; white-space: nowrap; }
ul.words { margin: 0; padding-left: 1.2em; font-size: 0.9em; }
pre { background: #f6f6f6; padding: 8px; overflow-x: auto; max-height: 30em; }
.detail { font-size: 0.85em; color: #555; }
.nopic { display: inline-block; width: 120px; height: 108px; border: 1px dashed #bbb; color: #999; text-align: center;
         line-height: 108px; vertical-align: top; margin-right: 2px; font-size: 0.9em; }
.page .nopic { width: 301px; height: 270px; line-height: 270px; }
</style>)";

const char *SCRIPT = R"(<script>
(function () {
  var table = document.getElementById('results');
  var body = table.tBodies[0];
  function applyFilter() {
    var shown = {};
    document.querySelectorAll('#filters input[data-verdict]').forEach(function (box) { shown[box.dataset.verdict] = box.checked; });
    var text = document.getElementById('search').value.toLowerCase();
    var count = 0;
    Array.prototype.forEach.call(body.rows, function (row) {
      var visible = shown[row.dataset.verdict] !== false && row.dataset.name.toLowerCase().indexOf(text) >= 0;
      row.hidden = !visible;
      if (visible) count++;
    });
    document.getElementById('shown').textContent = count;
  }
  document.querySelectorAll('#filters input').forEach(function (input) { input.addEventListener('input', applyFilter); });
  table.querySelectorAll('th[data-sort]').forEach(function (th) {
    th.addEventListener('click', function () {
      var key = th.dataset.sort, numeric = th.dataset.numeric === '1';
      var ascending = !th.classList.contains('asc');
      table.querySelectorAll('th').forEach(function (other) { other.classList.remove('asc', 'desc'); });
      th.classList.add(ascending ? 'asc' : 'desc');
      var rows = Array.prototype.slice.call(body.rows);
      rows.sort(function (a, b) {
        var x = a.dataset[key], y = b.dataset[key];
        var order = numeric ? parseFloat(x) - parseFloat(y) : x.localeCompare(y);
        if (order === 0) order = a.dataset.name.localeCompare(b.dataset.name);
        return ascending ? order : -order;
      });
      rows.forEach(function (row) { body.appendChild(row); });
    });
  });
  applyFilter();
})();
</script>)";

std::string css_class(const std::string &verdict) {
    std::string out = "v-";
    for (char c : verdict) out += c == ' ' ? '-' : c;
    return out;
}

std::string settings_line(const ReportHeader &header) {
    return "Model <b>" + html_escape(header.model_name) + "</b>, input <b>" + html_escape(header.input_name) +
           "</b>. Clock fixed at " + html_escape(header.clock) + ", address randomisation off (setarch -R), limits: " +
           html_escape(header.limits) + ". VORNA runtime " + html_escape(header.runtime_version) + ", marked " +
           html_escape(header.marked_at) + ".";
}

std::string checkpoint_title(const std::string &name) {
    return name == "end" ? "at the end" : "after event " + name;
}

// The pictures of one checkpoint side by side; prefix leads from the page to the report folder.
std::string pictures_html(const Checkpoint &k, const std::string &prefix) {
    std::string html = "<figure><figcaption>" + html_escape(checkpoint_title(k.name));
    if (k.differing_pixels > 0) html += ": " + std::to_string(k.differing_pixels) + " pixels differ";
    html += "</figcaption>";
    for (const std::string *picture : {&k.model_picture, &k.student_picture, &k.diff_picture}) {
        const char *alt = picture == &k.model_picture ? "model" : picture == &k.student_picture ? "student" : "difference";
        if (picture == &k.student_picture && picture->empty()) html += "<span class=nopic>no picture</span>";
        if (!picture->empty())
            html += "<img class=pic loading=lazy alt=\"" + std::string(alt) + "\" title=\"" + alt + "\" src=\"" +
                    html_escape(prefix + *picture) + "\">";
    }
    return html + "</figure>";
}

std::string words_html(const StudentResult &r) {
    std::string html;
    for (const Checkpoint &k : r.checkpoints) {
        if (k.words.empty()) continue;
        html += "<div>" + html_escape(checkpoint_title(k.name)) + ":<ul class=words>";
        for (const std::string &words : k.words) html += "<li>" + html_escape(words) + "</li>";
        if (k.total_differences > static_cast<long>(k.words.size()))
            html += "<li>and " + std::to_string(k.total_differences - static_cast<long>(k.words.size())) + " more</li>";
        html += "</ul></div>";
    }
    return html;
}

long worst_pixels(const StudentResult &r) {
    long worst = -1;
    for (const Checkpoint &k : r.checkpoints) worst = std::max(worst, k.differing_pixels);
    return worst;
}

std::string verdict_html(const StudentResult &r) {
    std::string html = "<span class=\"v " + css_class(r.verdict) + "\">" + html_escape(r.verdict) + "</span>";
    if (!r.detail.empty()) html += "<div class=detail>" + html_escape(r.detail) + "</div>";
    return html;
}

} // namespace

std::string html_escape(const std::string &text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

bool write_html_report(const std::string &out, const ReportHeader &header, const std::vector<StudentResult> &results) {
    std::ostringstream html;
    html << "<!doctype html>\n<html lang=en><head><meta charset=utf-8><title>Marks: " << html_escape(header.model_name)
         << "</title>" << STYLE << "</head><body>\n<h1>Marks against " << html_escape(header.model_name) << "</h1>\n"
         << "<p class=settings>" << settings_line(header) << "</p>\n";
    if (!header.model_error.empty())
        html << "<p><b>The model could not be marked:</b> " << html_escape(header.model_error)
             << ". No student is marked until it is.</p>\n";
    html << "<p id=filters>Show: ";
    for (const char *verdict : VERDICTS) {
        int count = 0;
        for (const StudentResult &r : results) count += r.verdict == verdict;
        html << "<label><input type=checkbox checked data-verdict=\"" << verdict << "\"> <span class=\"v "
             << css_class(verdict) << "\">" << verdict << "</span> " << count << "</label>";
    }
    html << "<label>Name: <input id=search type=search></label> <span id=shown>" << results.size()
         << "</span> of " << results.size() << " shown</p>\n";
    html << "<table id=results><thead><tr><th data-sort=name>Student</th><th data-sort=verdict>Verdict</th>"
            "<th data-sort=pixels data-numeric=1>Differing pixels</th><th>Model · student · difference</th>"
            "<th>Differences</th><th data-sort=seconds data-numeric=1>Time</th></tr></thead><tbody>\n";
    for (const StudentResult &r : results) {
        const long pixels = worst_pixels(r);
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f", r.seconds);
        html << "<tr data-name=\"" << html_escape(r.name) << "\" data-verdict=\"" << html_escape(r.verdict)
             << "\" data-pixels=\"" << pixels << "\" data-seconds=\"" << seconds << "\">"
             << "<td><a href=\"students/" << html_escape(r.folder) << "/index.html\">" << html_escape(r.name) << "</a></td>"
             << "<td>" << verdict_html(r) << "</td><td>" << (pixels >= 0 ? std::to_string(pixels) : "") << "</td><td>";
        for (const Checkpoint &k : r.checkpoints) html << pictures_html(k, "");
        html << "</td><td>" << words_html(r) << "</td><td>" << seconds << " s</td></tr>\n";
    }
    html << "</tbody></table>\n" << SCRIPT << "\n</body></html>\n";
    return write_file_atomically(out + "/index.html", html.str());
}

bool write_student_page(const std::string &out, const ReportHeader &header, const StudentResult &result,
                        const std::string &build_messages, const std::string &console) {
    std::ostringstream html;
    html << "<!doctype html>\n<html lang=en><head><meta charset=utf-8><title>" << html_escape(result.name)
         << "</title>" << STYLE << "</head><body class=page>\n<p><a href=\"../../index.html\">All students</a></p>\n"
         << "<h1>" << html_escape(result.name) << "</h1>\n<p>" << verdict_html(result) << "</p>\n"
         << "<p class=settings>" << settings_line(header) << " The run took " << format_seconds(result.seconds)
         << ", the build " << format_seconds(result.build_seconds) << ".</p>\n";
    for (const Checkpoint &k : result.checkpoints) html << "<div>" << pictures_html(k, "../../") << "</div>\n";
    html << "<h2>Drawing-log differences</h2>\n";
    if (result.all_words.empty()) html << "<p>None: the drawing logs agree shape by shape, or there is nothing to compare.</p>\n";
    else {
        html << "<ul class=words>";
        for (const std::string &words : result.all_words) html << "<li>" << html_escape(words) << "</li>";
        html << "</ul>\n";
    }
    html << "<h2>Build messages</h2>\n<pre>" << html_escape(build_messages.empty() ? "(none)" : build_messages) << "</pre>\n"
         << "<h2>Console output</h2>\n<pre>" << html_escape(console.empty() ? "(none)" : console) << "</pre>\n"
         << "</body></html>\n";
    return write_file_atomically(out + "/students/" + result.folder + "/index.html", html.str());
}
