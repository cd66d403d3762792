// qt_console.cpp: the console window's picture.
//
// The picture is a column of text rows standing on the bottom edge. Scrolling in a line adds a
// row and draws the window from the rows: at once for a line on its own; the rest of a burst
// follows one screen refresh later, in one drawing however many lines and polls came between,
// by the presenter thread (qt_presenter.cpp) so that it comes also while the program computes.
#include <QFontDatabase>
#include <QFontMetrics>
#include <QTimer>

#include <cstring>

#include "platform/platform_qt.h"

namespace {

// Lines printed within this many milliseconds of the console's last drawing wait until that
// much time has passed: about one frame of a 60 Hz display.
const int CONSOLE_BURST_MS = 16;


// Latin-1 text, with control characters shown as visible symbols rather than as nothing.
QString displayable(const std::string &row) {
    QString text = QString::fromLatin1(row.data(), qsizetype(row.size()));
    for (QChar &ch : text)
        if (ch.unicode() < 0x20) ch = QChar(char16_t(0x2400 + ch.unicode()));
    return text;
}

// Height of one console line: the fixed-pitch font's height plus its leading.
int console_line_height() {
    static const int height = QFontMetrics(qt_console_font()).lineSpacing();
    return height;
}

int rows_that_fit(PlatformWindow *window) {
    const int h = console_line_height();
    return window->client->height() / h + (window->client->height() % h ? 1 : 0);
}

void schedule_repaint(PlatformWindow *window) {
    if (window->closed) return;
    window->own_update = true;
    window->client->update();
}

void draw_now(PlatformWindow *window) {
    if (window->closed) return;
    if (window->console_timer) window->console_timer->stop();
    window->own_update = true;
    window->client->repaint();
    window->own_update = false;
}

// Drops rows that can no longer show, keeping one partly hidden row at the top.
void trim_rows(PlatformWindow *window) {
    const size_t keep = size_t(rows_that_fit(window)) + 1;
    while (window->rows.size() > keep) window->rows.pop_front();
}

// Puts a new line on the screen: at once when the console has not been drawn for a while, so
// that a line on its own costs no waiting; otherwise when CONSOLE_BURST_MS have passed since the
// last drawing, so that a burst of lines costs one drawing, also when polls come between its
// lines, as in a replayed script whose every event logs a frame. The presenter thread draws the
// rest of the burst then, whatever the program is doing; where it does not run, a single-shot
// timer does at the next poll, waking a sleeping wait.
void show_line(PlatformWindow *window, std::chrono::steady_clock::time_point drawn_at) {
    if (window->closed) return;
    const auto now = std::chrono::steady_clock::now();
    const auto burst = std::chrono::milliseconds(CONSOLE_BURST_MS);
    if (drawn_at == std::chrono::steady_clock::time_point{} || now - drawn_at >= burst) {
        draw_now(window);
        return;
    }
    if (qt_presenter_hold(window, nullptr, drawn_at + burst)) return;
    const qint64 since = std::chrono::duration_cast<std::chrono::milliseconds>(now - drawn_at).count();
    if (!window->console_timer) {
        window->console_timer = new QTimer(window->client);
        window->console_timer->setSingleShot(true);
        QObject::connect(window->console_timer, &QTimer::timeout, [window]() { draw_now(window); });
    }
    if (!window->console_timer->isActive()) window->console_timer->start(int(CONSOLE_BURST_MS - since));
}

} // namespace

const QFont &qt_console_font(void) {
    static const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    return font;
}

void qt_console_fit_rows(PlatformWindow *window) {
    std::lock_guard<std::mutex> lock(qt_presenter_lock());
    trim_rows(window);
}

void platform_console_scroll_line(PlatformWindow *window, const char *text, int n) {
    if (!window || window->kind != WINDOW_KIND_CONSOLE || window->closed) return;
    std::chrono::steady_clock::time_point drawn_at;
    {
        std::lock_guard<std::mutex> lock(qt_presenter_lock());
        window->rows.emplace_back(text ? text : "", text ? size_t(std::max(n, 0)) : 0);
        trim_rows(window);
        if (window->held) return; // the presenter draws this line with the rest of the burst
        drawn_at = window->drawn_at;
    }
    show_line(window, drawn_at);
}

void platform_console_clear(PlatformWindow *window) {
    if (!window || window->kind != WINDOW_KIND_CONSOLE) return;
    {
        std::lock_guard<std::mutex> lock(qt_presenter_lock());
        window->rows.clear();
    }
    schedule_repaint(window);
}

void qt_console_paint_rows(QPainter &painter, const QRect &area, const QFont &font, const std::deque<std::string> &rows) {
    painter.fillRect(area, Qt::white);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetrics metrics(font);
    const int h = metrics.lineSpacing();
    const int ascent = metrics.ascent();
    int top = area.bottom() + 1 - h;
    for (auto row = rows.rbegin(); row != rows.rend() && top + h > 0; ++row, top -= h)
        painter.drawText(5, top + ascent, displayable(*row));
}

void qt_console_paint(PlatformWindow *window, QPainter &painter) {
    qt_presenter_drawing(window); // the rows drawn here are newer than anything held
    window->shown_bottom_row = window->rows.empty() ? std::string() : displayable(window->rows.back()).toStdString();
    qt_console_paint_rows(painter, window->client->rect(), qt_console_font(), window->rows);
}

int platform_console_rows(PlatformWindow *window, char rows[][256], int max_rows) {
    if (!window || window->kind != WINDOW_KIND_CONSOLE) return 0;
    const int visible = std::min<int>(rows_that_fit(window), int(window->rows.size()));
    const int count = std::min(visible, max_rows);
    const size_t first = window->rows.size() - size_t(count);
    for (int i = 0; i < count; ++i) {
        const std::string &row = window->rows[first + size_t(i)];
        const size_t n = std::min<size_t>(row.size(), 255);
        std::memcpy(rows[i], row.data(), n);
        rows[i][n] = '\0';
    }
    return count;
}

int platform_console_shown_row(PlatformWindow *window, char *text, int size) {
    if (!window || window->kind != WINDOW_KIND_CONSOLE || size <= 0) return 0;
    const int n = std::min<int>(int(window->shown_bottom_row.size()), size - 1);
    std::memcpy(text, window->shown_bottom_row.data(), size_t(n));
    text[n] = '\0';
    return n;
}
