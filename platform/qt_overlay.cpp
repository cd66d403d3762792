// qt_overlay.cpp: the teaching aids' overlays, painted over the graphics window's picture by
// its paint and never into a surface, so the canvas, pictures and logs stay the program's own.
#include <QPainter>
#include <QWidget>

#include "platform/platform_qt.h"

namespace {

constexpr int GRID_STEP = 50;

} // namespace

void qt_paint_grid(QPainter &painter, QPoint origin, QSize area) {
    painter.save();
    // Translucent, so the program's picture stays readable under the grid.
    const QPen grid_pen(QColor(0, 0, 0, 50), 1);
    const QPen axis_pen(QColor(0, 0, 0, 170), 1);
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    // The first grid line left of and above the area, on the grid through the origin.
    const int first_x = origin.x() - ((origin.x() + GRID_STEP - 1) / GRID_STEP) * GRID_STEP;
    const int first_y = origin.y() - ((origin.y() + GRID_STEP - 1) / GRID_STEP) * GRID_STEP;
    for (int x = first_x; x < area.width(); x += GRID_STEP) {
        painter.setPen(x == origin.x() ? axis_pen : grid_pen);
        painter.drawLine(x, 0, x, area.height() - 1);
    }
    for (int y = first_y; y < area.height(); y += GRID_STEP) {
        painter.setPen(y == origin.y() ? axis_pen : grid_pen);
        painter.drawLine(0, y, area.width() - 1, y);
    }
    // Labels along the axes: the logical value of each grid line (y up).
    painter.setPen(QColor(0, 0, 160));
    for (int x = first_x; x < area.width(); x += GRID_STEP)
        if (x != origin.x()) painter.drawText(x + 2, origin.y() + 11, QString::number(x - origin.x()));
    for (int y = first_y; y < area.height(); y += GRID_STEP)
        if (y != origin.y()) painter.drawText(origin.x() + 2, y + 11, QString::number(origin.y() - y));
    painter.drawText(origin.x() + 2, origin.y() + 11, QStringLiteral("0"));
    painter.restore();
}

void qt_paint_label(QPainter &painter, QPoint at, const QString &text, QSize area) {
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QRect text_box = painter.fontMetrics().boundingRect(text).adjusted(-3, -2, 3, 2);
    // Below right of the pointer, or on the other side where the drawing area ends.
    int left = at.x() + 14, top = at.y() + 14;
    if (left + text_box.width() > area.width()) left = at.x() - 6 - text_box.width();
    if (top + text_box.height() > area.height()) top = at.y() - 6 - text_box.height();
    const QRect box(left < 0 ? 0 : left, top < 0 ? 0 : top, text_box.width(), text_box.height());
    painter.fillRect(box, QColor(255, 255, 225, 230));
    painter.setPen(QColor(0, 0, 0));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
}

void qt_paint_badge(QPainter &painter, const QString &text, QSize area) {
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
    const QRect text_box = painter.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
    const QRect box(area.width() - text_box.width() - 4, 4, text_box.width(), text_box.height());
    painter.fillRect(box, QColor(255, 255, 225, 230));
    painter.setPen(QColor(160, 0, 0));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
}

void qt_paint_outline(QPainter &painter, int shape, const QPolygon &points) {
    painter.save();
    // Black under a dashed yellow: seen on every colour of the palette.
    for (const QPen &pen : {QPen(QColor(0, 0, 0), 3), QPen(QColor(255, 230, 0), 1, Qt::DashLine)}) {
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        if (shape == OUTLINE_POLYGON) painter.drawPolygon(points);
        if (shape == OUTLINE_ELLIPSE && points.size() >= 2) painter.drawEllipse(QRect(points[0], points[1]));
        if (shape == OUTLINE_LINE && points.size() >= 2) painter.drawLine(points[0], points[1]);
    }
    painter.restore();
}

void platform_show_badge(PlatformWindow *window, const char *text) {
    if (!window || !window->client) return;
    window->badge_text = QString::fromLatin1(text ? text : "");
    window->own_update = true;
    window->client->repaint();
    window->own_update = false;
}

void platform_show_label(PlatformWindow *window, int on, int x, int y, const char *text) {
    if (!window || !window->client) return;
    window->label_on = on != 0;
    window->label_at = QPoint(x, y);
    window->label_text = QString::fromLatin1(text ? text : "");
    window->own_update = true;
    window->client->repaint();
    window->own_update = false;
}

void platform_show_grid(PlatformWindow *window, int on, int origin_x, int origin_y) {
    if (!window || !window->client) return;
    window->grid_on = on != 0;
    window->grid_origin = QPoint(origin_x, origin_y);
    // A repaint of our own: the picture is the same, so the runtime is not asked to restore it.
    window->own_update = true;
    window->client->repaint();
    window->own_update = false;
}

void platform_show_outline(PlatformWindow *window, int shape, const int *xs, const int *ys, int count) {
    if (!window || !window->client) return;
    window->outline_shape = count > 0 ? shape : OUTLINE_NONE;
    window->outline_points.clear();
    for (int i = 0; i < count && i < OUTLINE_POINTS_MAX; i++) window->outline_points << QPoint(xs[i], ys[i]);
    window->own_update = true;
    window->client->repaint();
    window->own_update = false;
}

int platform_window_outline(PlatformWindow *window) { return window ? window->outline_shape : OUTLINE_NONE; }
