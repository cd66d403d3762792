// qt_draw.cpp: drawing surfaces and the shapes drawn into them.
//
// Shapes are drawn with QPainter, antialiasing off, on a QImage. Coordinates arrive as 64-bit
// pixels: shapes that stay within a safe range go straight to QPainter; larger ones are first
// cut down to what can touch the surface, so no value overflows the painter's fixed-point
// arithmetic and no call takes longer than the surface is large.
#include <QApplication>
#include <QBuffer>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "platform/platform_qt.h"

namespace {

constexpr std::int64_t COORD_SAFE = 1 << 14; // shapes inside +-16384 pixels go straight to QPainter
constexpr std::int64_t PEN_WIDEST = 4096;    // wider pens already cover the surface from any nearby edge

QColor qt_color(PlatformColor color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }

QPainter &painter_for(PlatformSurface *surface) {
    if (!surface->painter.isActive()) {
        surface->painter.begin(&surface->image);
        surface->painter.setRenderHint(QPainter::Antialiasing, false);
    }
    return surface->painter;
}

bool is_safe(std::int64_t value) { return value >= -COORD_SAFE && value <= COORD_SAFE; }

std::int64_t pen_width_of(std::int64_t width) { return std::clamp<std::int64_t>(width, 1, PEN_WIDEST); }

QPen make_pen(PlatformColor color, std::int64_t width) {
    QPen pen(qt_color(color));
    pen.setWidth(int(pen_width_of(width)));
    return pen;
}

// Fills the pixels x0..x1, y0..y1 (inclusive), cut to the surface.
void fill_block(PlatformSurface *surface, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                const QColor &color) {
    x0 = std::max<std::int64_t>(x0, 0);
    y0 = std::max<std::int64_t>(y0, 0);
    x1 = std::min<std::int64_t>(x1, surface->image.width() - 1);
    y1 = std::min<std::int64_t>(y1, surface->image.height() - 1);
    if (x0 > x1 || y0 > y1) return;
    painter_for(surface).fillRect(QRect(int(x0), int(y0), int(x1 - x0 + 1), int(y1 - y0 + 1)), color);
}

void put_pixel(PlatformSurface *surface, std::int64_t x, std::int64_t y, QRgb rgb) {
    if (x < 0 || y < 0 || x >= surface->image.width() || y >= surface->image.height()) return;
    reinterpret_cast<QRgb *>(surface->image.scanLine(int(y)))[x] = rgb;
}

// One-pixel line from (x1, y1) to (x2, y2), the final pixel left out when asked.
void thin_line(PlatformSurface *surface, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
               bool draw_last, QRgb rgb) {
    painter_for(surface); // keep the image detached from any window copy before writing
    const std::int64_t dx = std::llabs(x2 - x1), dy = -std::llabs(y2 - y1);
    const std::int64_t sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    std::int64_t err = dx + dy;
    std::int64_t x = x1, y = y1;
    while (x != x2 || y != y2) {
        put_pixel(surface, x, y, rgb);
        const std::int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    if (draw_last) put_pixel(surface, x, y, rgb);
}

// Cuts the segment to the box; false when nothing of it lies inside. t1 < 1 tells that the
// end point was cut away.
bool clip_segment(double &x1, double &y1, double &x2, double &y2, double left, double top, double right,
                  double bottom, double *t_end = nullptr) {
    double t0 = 0.0, t1 = 1.0;
    const double dx = x2 - x1, dy = y2 - y1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - left, right - x1, y1 - top, bottom - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0) {
            if (r > t1) return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0) return false;
            t1 = std::min(t1, r);
        }
    }
    const double nx1 = x1 + t0 * dx, ny1 = y1 + t0 * dy;
    const double nx2 = x1 + t1 * dx, ny2 = y1 + t1 * dy;
    x1 = nx1;
    y1 = ny1;
    x2 = nx2;
    y2 = ny2;
    if (t_end) *t_end = t1;
    return true;
}

// Sutherland-Hodgman: the polygon cut to the box.
std::vector<QPointF> clip_polygon(const std::vector<QPointF> &points, double left, double top, double right,
                                  double bottom) {
    std::vector<QPointF> out = points;
    for (int edge = 0; edge < 4 && !out.empty(); ++edge) {
        auto inside = [&](const QPointF &p) {
            switch (edge) {
            case 0: return p.x() >= left;
            case 1: return p.x() <= right;
            case 2: return p.y() >= top;
            default: return p.y() <= bottom;
            }
        };
        auto cross = [&](const QPointF &a, const QPointF &b) {
            double t;
            switch (edge) {
            case 0: t = (left - a.x()) / (b.x() - a.x()); break;
            case 1: t = (right - a.x()) / (b.x() - a.x()); break;
            case 2: t = (top - a.y()) / (b.y() - a.y()); break;
            default: t = (bottom - a.y()) / (b.y() - a.y()); break;
            }
            return QPointF(a.x() + t * (b.x() - a.x()), a.y() + t * (b.y() - a.y()));
        };
        std::vector<QPointF> in = out;
        out.clear();
        for (size_t i = 0; i < in.size(); ++i) {
            const QPointF &current = in[i];
            const QPointF &previous = in[(i + in.size() - 1) % in.size()];
            if (inside(current)) {
                if (!inside(previous)) out.push_back(cross(previous, current));
                out.push_back(current);
            } else if (inside(previous)) {
                out.push_back(cross(previous, current));
            }
        }
    }
    return out;
}

// A wide segment, cut to what its pen can reach of the surface.
void wide_line(PlatformSurface *surface, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
               std::int64_t width, PlatformColor color) {
    QPainter &painter = painter_for(surface);
    painter.setPen(make_pen(color, width));
    if (is_safe(x1) && is_safe(y1) && is_safe(x2) && is_safe(y2)) {
        painter.drawLine(QPoint(int(x1), int(y1)), QPoint(int(x2), int(y2)));
        return;
    }
    const double margin = double(pen_width_of(width)) / 2.0 + 2.0;
    double ax = double(x1), ay = double(y1), bx = double(x2), by = double(y2);
    if (!clip_segment(ax, ay, bx, by, -margin, -margin, surface->image.width() + margin,
                      surface->image.height() + margin))
        return;
    painter.drawLine(QPoint(int(std::lround(ax)), int(std::lround(ay))), QPoint(int(std::lround(bx)), int(std::lround(by))));
}

// An ellipse too large for the painter, row by row over the surface.
void large_ellipse(PlatformSurface *surface, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                   const PlatformPen *pen) {
    const double cx = (double(x0) + double(x1)) / 2.0, cy = (double(y0) + double(y1)) / 2.0;
    // The fill reaches the outer edges of the box's edge pixels; the pen, as the painter's, is
    // centred on the line through their centres, so a one-pixel pen covers the edge pixels.
    const double ax = (double(x1) - double(x0)) / 2.0 + 0.5, ay = (double(y1) - double(y0)) / 2.0 + 0.5;
    const double pen_ax = ax - 0.5, pen_ay = ay - 0.5;
    const double half_pen = double(pen_width_of(pen->width)) / 2.0;
    const QColor pen_color = qt_color(pen->color), fill_color = qt_color(pen->fill_color);
    // Span of an ellipse with the half axes on row y, or false when the row misses it.
    auto span = [&](double rx, double ry, double y, double &from, double &to) {
        if (rx <= 0.0 || ry <= 0.0) return false;
        const double v = (y - cy) / ry;
        if (v < -1.0 || v > 1.0) return false;
        const double half = rx * std::sqrt(1.0 - v * v);
        from = std::ceil(cx - half);
        to = std::floor(cx + half);
        return from <= to;
    };
    const int height = surface->image.height(), width = surface->image.width();
    const std::int64_t first_row = std::max<std::int64_t>(0, y0 - pen_width_of(pen->width));
    const std::int64_t last_row = std::min<std::int64_t>(height - 1, y1 + pen_width_of(pen->width));
    for (std::int64_t row = first_row; row <= last_row; ++row) {
        const double y = double(row);
        double from, to;
        if (pen->filled && span(ax, ay, y, from, to))
            fill_block(surface, std::int64_t(std::max(from, -1.0)), row, std::int64_t(std::min(to, double(width))), row,
                       fill_color);
        double outer_from, outer_to, inner_from, inner_to;
        if (!span(pen_ax + half_pen, pen_ay + half_pen, y, outer_from, outer_to)) continue;
        outer_from = std::max(outer_from, -1.0);
        outer_to = std::min(outer_to, double(width));
        if (span(pen_ax - half_pen, pen_ay - half_pen, y, inner_from, inner_to)) {
            inner_from = std::max(inner_from, -1.0);
            inner_to = std::min(inner_to, double(width));
            fill_block(surface, std::int64_t(outer_from), row, std::int64_t(inner_from) - 1, row, pen_color);
            fill_block(surface, std::int64_t(inner_to) + 1, row, std::int64_t(outer_to), row, pen_color);
        } else {
            fill_block(surface, std::int64_t(outer_from), row, std::int64_t(outer_to), row, pen_color);
        }
    }
}

struct TextFace {
    QFont font;
    int ascent = 0;
    int height = 0;
};

// The runtime's text face at a pixel size: a face name that does not exist, so the font
// system substitutes its default face. Looked up once per size.
const TextFace &text_face(int size) {
    static std::map<int, TextFace> faces;
    auto found = faces.find(size);
    if (found != faces.end()) return found->second;
    QFont font(QStringLiteral("VORNA-font"));
    if (size > 0) {
        font.setPixelSize(size);
    } else {
        font.setPixelSize(QFontInfo(QApplication::font()).pixelSize());
    }
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    QFontMetrics metrics(font);
    TextFace face{font, metrics.ascent(), metrics.height()};
    return faces.emplace(size, face).first->second;
}

} // namespace

// ---------------------------------------------------------------------------------------------

void qt_surface_end_painting(PlatformSurface *surface) {
    if (surface && surface->painter.isActive()) surface->painter.end();
}

PlatformSurface *platform_create_surface(int width, int height) {
    auto *surface = new PlatformSurface;
    surface->image = QImage(width, height, QImage::Format_RGB32);
    if (surface->image.isNull()) qt_warning("cannot make a %d x %d picture; nothing drawn on it shows", width, height);
    surface->image.fill(Qt::white);
    return surface;
}

PlatformSurface *platform_window_surface(PlatformWindow *window) { return window ? &window->surface : nullptr; }

void platform_release_window_surface(PlatformWindow *, PlatformSurface *surface) { qt_surface_end_painting(surface); }

void platform_copy_surface(PlatformSurface *dst, PlatformSurface *src) {
    if (!dst || !src || dst == src) return;
    qt_surface_end_painting(src);
    qt_surface_end_painting(dst);
    dst->image = src->image; // shared until either side is drawn on again
    if (dst->window && dst->window->client) {
        dst->window->own_update = true;
        dst->window->client->update();
    }
}

std::uint32_t platform_surface_pixel(PlatformSurface *surface, int x, int y) {
    if (!surface || x < 0 || y < 0 || x >= surface->image.width() || y >= surface->image.height()) return 0xFFFFFFFFu;
    return surface->image.pixel(x, y) & 0xFFFFFFu;
}

std::uint32_t *platform_surface_pixels(PlatformSurface *surface, std::ptrdiff_t *stride) {
    if (!surface || !stride || surface->image.isNull()) return nullptr;
    painter_for(surface); // the image detached from any window copy, as for every drawing
    *stride = surface->image.bytesPerLine() / 4;
    return reinterpret_cast<std::uint32_t *>(surface->image.bits());
}

int platform_surface_width(PlatformSurface *surface) { return surface ? surface->image.width() : 0; }
int platform_surface_height(PlatformSurface *surface) { return surface ? surface->image.height() : 0; }

int platform_save_surface(PlatformSurface *surface, const char *path) {
    if (!surface || !path) return 0;
    qt_surface_end_painting(surface);
    return surface->image.save(QString::fromLocal8Bit(path), "PNG") ? 1 : 0;
}

unsigned char *platform_surface_png(PlatformSurface *surface, std::size_t *size) {
    if (!surface || !size) return nullptr;
    qt_surface_end_painting(surface);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !surface->image.save(&buffer, "PNG") || bytes.isEmpty()) return nullptr;
    auto *copy = static_cast<unsigned char *>(std::malloc(std::size_t(bytes.size())));
    if (!copy) return nullptr;
    std::memcpy(copy, bytes.constData(), std::size_t(bytes.size()));
    *size = std::size_t(bytes.size());
    return copy;
}

PlatformSurface *platform_load_surface(const char *path) {
    QImage image;
    if (!path || !image.load(QString::fromLocal8Bit(path))) return nullptr;
    auto *surface = new PlatformSurface;
    surface->image = image.convertToFormat(QImage::Format_RGB32);
    return surface;
}

void platform_destroy_surface(PlatformSurface *surface) {
    if (!surface || surface->window) return; // a window's own picture lives with the window
    qt_surface_end_painting(surface);
    delete surface;
}

void platform_draw_rectangle(PlatformSurface *surface, std::int64_t left, std::int64_t top, std::int64_t right,
                             std::int64_t bottom, const PlatformPen *pen) {
    if (!surface || !pen || right <= left || bottom <= top) return;
    const std::int64_t x0 = left, y0 = top, x1 = right - 1, y1 = bottom - 1;
    const QColor pen_color = qt_color(pen->color);
    const std::int64_t width = std::max<std::int64_t>(pen->width, 1);
    if (pen->filled) {
        fill_block(surface, x0, y0, x1, y1, qt_color(pen->fill_color));
        if (width == 1 && pen->fill_color == pen->color) return; // the outline lies on the filled pixels
    }
    // The pen is centred on the outermost pixels: a band of `width` around each edge.
    const std::int64_t before = width / 2, after = width - 1 - width / 2;
    const std::int64_t ox0 = x0 - before, oy0 = y0 - before, ox1 = x1 + after, oy1 = y1 + after;
    const std::int64_t ix0 = x0 + after + 1, iy0 = y0 + after + 1, ix1 = x1 - before - 1, iy1 = y1 - before - 1;
    if (ix0 > ix1 || iy0 > iy1) {
        fill_block(surface, ox0, oy0, ox1, oy1, pen_color);
        return;
    }
    fill_block(surface, ox0, oy0, ox1, iy0 - 1, pen_color);
    fill_block(surface, ox0, iy1 + 1, ox1, oy1, pen_color);
    fill_block(surface, ox0, iy0, ix0 - 1, iy1, pen_color);
    fill_block(surface, ix1 + 1, iy0, ox1, iy1, pen_color);
}

void platform_draw_ellipse(PlatformSurface *surface, std::int64_t left, std::int64_t top, std::int64_t right,
                           std::int64_t bottom, const PlatformPen *pen) {
    if (!surface || !pen || right <= left || bottom <= top) return;
    const std::int64_t x0 = left, y0 = top, x1 = right - 1, y1 = bottom - 1;
    if (x0 == x1 || y0 == y1) { // a box one pixel thin: the ellipse is that line of pixels
        fill_block(surface, x0, y0, x1, y1, qt_color(pen->color));
        return;
    }
    if (!(is_safe(x0) && is_safe(y0) && is_safe(x1) && is_safe(y1))) {
        large_ellipse(surface, x0, y0, x1, y1, pen);
        return;
    }
    QPainter &painter = painter_for(surface);
    painter.setPen(make_pen(pen->color, pen->width));
    painter.setBrush(pen->filled ? QBrush(qt_color(pen->fill_color)) : QBrush(Qt::NoBrush));
    painter.drawEllipse(QRect(int(x0), int(y0), int(x1 - x0), int(y1 - y0)));
}

void platform_draw_polygon(PlatformSurface *surface, const std::int64_t *xs, const std::int64_t *ys, int count,
                           const PlatformPen *pen) {
    if (!surface || !pen || count < 2) return;
    QPainter &painter = painter_for(surface);
    bool safe = true;
    for (int i = 0; i < count; ++i) safe = safe && is_safe(xs[i]) && is_safe(ys[i]);
    if (safe) {
        QPolygon polygon;
        for (int i = 0; i < count; ++i) polygon << QPoint(int(xs[i]), int(ys[i]));
        painter.setPen(make_pen(pen->color, pen->width));
        painter.setBrush(pen->filled ? QBrush(qt_color(pen->fill_color)) : QBrush(Qt::NoBrush));
        painter.drawPolygon(polygon);
        return;
    }
    // Too large for the painter: fill what lies near the surface, then stroke each edge.
    const double margin = double(pen_width_of(pen->width)) / 2.0 + 2.0;
    const double right = surface->image.width() + margin, bottom = surface->image.height() + margin;
    if (pen->filled) {
        std::vector<QPointF> points;
        for (int i = 0; i < count; ++i) points.emplace_back(double(xs[i]), double(ys[i]));
        const std::vector<QPointF> clipped = clip_polygon(points, -margin, -margin, right, bottom);
        if (clipped.size() >= 3) {
            QPolygon polygon;
            for (const QPointF &p : clipped) polygon << QPoint(int(std::lround(p.x())), int(std::lround(p.y())));
            painter.setPen(Qt::NoPen);
            painter.setBrush(QBrush(qt_color(pen->fill_color)));
            painter.drawPolygon(polygon);
        }
    }
    for (int i = 0; i < count; ++i) {
        const int j = (i + 1) % count;
        wide_line(surface, xs[i], ys[i], xs[j], ys[j], std::max<std::int64_t>(pen->width, 1), pen->color);
    }
}

void platform_draw_line(PlatformSurface *surface, std::int64_t x1, std::int64_t y1, std::int64_t x2,
                        std::int64_t y2, std::int64_t width, PlatformColor color) {
    if (!surface) return;
    if (width > 1) {
        wide_line(surface, x1, y1, x2, y2, width, color);
        return;
    }
    const QRgb rgb = qt_color(color).rgb();
    if (is_safe(x1) && is_safe(y1) && is_safe(x2) && is_safe(y2)) {
        thin_line(surface, x1, y1, x2, y2, false, rgb);
        return;
    }
    double ax = double(x1), ay = double(y1), bx = double(x2), by = double(y2), t_end = 1.0;
    if (!clip_segment(ax, ay, bx, by, -2.0, -2.0, surface->image.width() + 2.0, surface->image.height() + 2.0, &t_end))
        return;
    // The true final pixel lies outside when the end was cut away, so the cut end is drawn.
    thin_line(surface, std::llround(ax), std::llround(ay), std::llround(bx), std::llround(by), t_end < 1.0, rgb);
}

void platform_set_pixel(PlatformSurface *surface, std::int64_t x, std::int64_t y, PlatformColor color) {
    if (!surface) return;
    painter_for(surface);
    put_pixel(surface, x, y, qt_color(color).rgb());
}

int platform_text_line_height(int size) { return text_face(size).height; }

void platform_draw_text_line(PlatformSurface *surface, std::int64_t left, std::int64_t top, int size,
                             const char *text, int n, PlatformColor color) {
    if (!surface || !text || n <= 0) return;
    const TextFace &face = text_face(size);
    if (top > surface->image.height() || top + face.height < 0 || left > surface->image.width()) return;
    const QString line = QString::fromLatin1(text, n);
    if (left < 0 && left + QFontMetrics(face.font).horizontalAdvance(line) < 0) return;
    QPainter &painter = painter_for(surface);
    painter.setFont(face.font);
    painter.setPen(qt_color(color));
    painter.drawText(QPoint(int(left), int(top) + face.ascent), line);
}
