// qt_console.cpp: the console window's picture.
//
// The picture is a column of text rows standing on the bottom edge. Scrolling in a line adds a
// row and draws the window from the rows: at once for a line on its own; the rest of a burst
// follows one screen refresh later, in one repaint however many lines and polls came between.
#include <QFontDatabase>
#include <QFontMetrics>
#include <QTimer>

#include <cstring>

#include "platform/platform_qt.h"

namespace {

// Lines printed within this many milliseconds of the console's last drawing wait until that
// much time has passed: about one frame of a 60 Hz display.
const int CONSOLE_BURST_MS = 16;

const QFont &console_font() {
    static const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    return font;
}

// Latin-1 text, with control characters shown as visible symbols rather than as nothing.
QString displayable(const std::string &row) {
    QString text = QString::fromLatin1(row.data(), qsizetype(row.size()));
    for (QChar &ch : text)
        if (ch.unicode() < 0x20) ch = QChar(char16_t(0x2400 + ch.unicode()));
    return text;
}

// Height of one console line: the fixed-pitch font's height plus its leading.
int console_line_height() {
    static const int height = QFontMetrics(console_font()).lineSpacing();
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

// Puts a new line on the screen: at once when the console has not been drawn for a while, so
// that a program that prints and then computes without polling shows its line; otherwise by a
// single-shot timer when CONSOLE_BURST_MS have passed since the last drawing, so that a burst of
// lines costs one repaint, also when polls come between its lines, as in a replayed script
// whose every event logs a frame. The timer wakes a sleeping wait: the last line is never left
// off the screen.
void show_line(PlatformWindow *window) {
    if (window->closed) return;
    const qint64 since = window->console_drawn.isValid() ? window->console_drawn.elapsed() : CONSOLE_BURST_MS;
    if (since >= CONSOLE_BURST_MS) {
        draw_now(window);
        return;
    }
    if (!window->console_timer) {
        window->console_timer = new QTimer(window->client);
        window->console_timer->setSingleShot(true);
        QObject::connect(window->console_timer, &QTimer::timeout, [window]() { draw_now(window); });
    }
    if (!window->console_timer->isActive()) window->console_timer->start(int(CONSOLE_BURST_MS - since));
}

} // namespace

void qt_console_fit_rows(PlatformWindow *window) {
    const size_t keep = size_t(rows_that_fit(window)) + 1;
    while (window->rows.size() > keep) window->rows.pop_front();
}

void platform_console_scroll_line(PlatformWindow *window, const char *text, int n) {
    if (!window || window->kind != WINDOW_KIND_CONSOLE || window->closed) return;
    window->rows.emplace_back(text ? text : "", text ? size_t(std::max(n, 0)) : 0);
    qt_console_fit_rows(window);
    show_line(window);
}

void platform_console_clear(PlatformWindow *window) {
    if (!window || window->kind != WINDOW_KIND_CONSOLE) return;
    window->rows.clear();
    schedule_repaint(window);
}

void qt_console_paint(PlatformWindow *window, QPainter &painter) {
    window->console_drawn.start();
    window->shown_bottom_row = window->rows.empty() ? std::string() : displayable(window->rows.back()).toStdString();
    const QRect area = window->client->rect();
    painter.fillRect(area, Qt::white);
    painter.setFont(console_font());
    painter.setPen(Qt::black);
    const int h = console_line_height();
    const int ascent = QFontMetrics(console_font()).ascent();
    int top = area.bottom() + 1 - h;
    for (auto row = window->rows.rbegin(); row != window->rows.rend() && top + h > 0; ++row, top -= h)
        painter.drawText(5, top + ascent, displayable(*row));
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
