// qt_draw.cpp: pixel surfaces.
//
// A surface is a QImage in 32-bit RGB. The runtime draws its shapes straight into the image's
// pixels (raster/, through platform_surface_pixels); text (qt_text.cpp) comes from the font
// system, through a QPainter kept open on the image between lines.
#include <QBuffer>

#include <cstdlib>
#include <cstring>

#include "platform/platform_qt.h"

QPainter &qt_surface_painter(PlatformSurface *surface) {
    if (!surface->painter.isActive()) {
        surface->painter.begin(&surface->image);
        surface->painter.setRenderHint(QPainter::Antialiasing, false);
    }
    return surface->painter;
}

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
    if (dst->window) qt_presenter_drawing(dst->window); // what it holds is older
    dst->image = src->image; // shared until either side is drawn on again
    if (dst->window && dst->window->client) {
        dst->window->own_update = true;
        dst->window->client->repaint(); // on the screen before the program goes on
        dst->window->own_update = false;
    }
}

int platform_present_later(PlatformSurface *dst, PlatformSurface *src, int interval_ms) {
    if (!dst || !src || dst == src || !dst->window) return 0;
    // The presenter thread puts bare pictures on the screen; with an overlay shown the window's
    // own paint must draw each one.
    if (dst->window->grid_on || dst->window->label_on || !dst->window->badge_text.isEmpty() ||
        dst->window->outline_shape != OUTLINE_NONE)
        return 0;
    qt_surface_end_painting(src);
    std::chrono::steady_clock::time_point drawn_at;
    {
        std::lock_guard<std::mutex> lock(qt_presenter_lock());
        drawn_at = dst->window->drawn_at;
    }
    const auto due = std::max(std::chrono::steady_clock::now(), drawn_at + std::chrono::milliseconds(interval_ms));
    return qt_presenter_hold(dst->window, &src->image, due) ? 1 : 0;
}

std::uint32_t platform_surface_pixel(PlatformSurface *surface, int x, int y) {
    if (!surface || x < 0 || y < 0 || x >= surface->image.width() || y >= surface->image.height()) return 0xFFFFFFFFu;
    return surface->image.pixel(x, y) & 0xFFFFFFu;
}

std::uint32_t *platform_surface_pixels(PlatformSurface *surface, std::ptrdiff_t *stride) {
    if (!surface || !stride || surface->image.isNull()) return nullptr;
    qt_surface_painter(surface); // the image detached from any window copy, as for every drawing
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
