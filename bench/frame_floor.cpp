// frame_floor.cpp: the toolkit-only floor for the frame benchmark. This is the one file
// outside platform/ that uses Qt directly: it is the reference the runtime is measured against.
#include "frame_floor.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPolygon>

#include <chrono>
#include <map>

double floor_microseconds_per_frame(const std::vector<FloorShape> &shapes, int frames) {
    QImage image(601, 540, QImage::Format_RGB32);
    std::map<int, QFont> fonts;
    std::map<int, int> ascents;
    for (const FloorShape &shape : shapes)
        if (shape.kind == 5 && !fonts.count(shape.size)) {
            QFont font(QStringLiteral("VORNA-font"));
            font.setPixelSize(shape.size > 0 ? shape.size : 13);
            fonts[shape.size] = font;
            ascents[shape.size] = QFontMetrics(font).ascent();
        }
    QPainter painter(&image);
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < frames; ++frame) {
        for (const FloorShape &shape : shapes) {
            const QColor color(QRgb(0xFF000000u | shape.rgb));
            switch (shape.kind) {
            case 0: {
                painter.setPen(QPen(color, shape.width ? shape.width : 1));
                painter.setBrush(shape.width ? QBrush(Qt::NoBrush) : QBrush(color));
                const QPoint points[3] = {{shape.x[0], shape.y[0]}, {shape.x[1], shape.y[1]}, {shape.x[2], shape.y[2]}};
                painter.drawPolygon(points, 3);
                break;
            }
            case 1:
                painter.fillRect(QRect(QPoint(shape.x[0], shape.y[0]), QPoint(shape.x[1] - 1, shape.y[1] - 1)), color);
                break;
            case 2:
                painter.setPen(QPen(color, shape.width ? shape.width : 1));
                painter.setBrush(shape.width ? QBrush(Qt::NoBrush) : QBrush(color));
                painter.drawEllipse(QRect(QPoint(shape.x[0], shape.y[0]), QPoint(shape.x[1] - 2, shape.y[1] - 2)));
                break;
            case 5: {
                const QFont &font = fonts[shape.size];
                painter.setFont(font);
                painter.setPen(color);
                painter.drawText(QPoint(shape.x[0], shape.y[0] + ascents[shape.size]),
                                 QString::fromLatin1(shape.text.c_str()));
                break;
            }
            default: break;
            }
        }
    }
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(stop - start).count() / frames;
}
