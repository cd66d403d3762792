// web_draw.cpp: pixel surfaces, their way onto the page's canvas, PNG files and text.
//
// A surface is a block of 32-bit pixels in the program's memory. Copying one into the graphics
// window's own picture puts it on the page's canvas at once (putImageData), so it shows at the
// page's next frame. Text glyphs come from the page's fixed-pitch font: drawn on a scratch
// canvas and blended into the pixels, as the desktop draws them with its font.
#include <emscripten.h>

#include <cstdlib>
#include <cstring>

#include "platform/web/platform_web.h"

namespace {

std::vector<std::uint32_t> rgba; // the window's picture in the canvas's byte order

EM_JS(void, page_present, (const std::uint32_t *pixels, int width, int height), {
    VornaPage.present(pixels, width, height);
});

EM_JS(int, page_text_line_height, (int size), { return VornaPage.textLineHeight(size); });
EM_JS(int, page_text_width, (int size, const char *text, int n), { return VornaPage.textWidth(size, text, n); });

EM_JS(void, page_draw_text, (std::uint32_t *pixels, int width, int height, int left, int top, int size,
                             const char *text, int n, unsigned color), {
    VornaPage.drawText(pixels, width, height, left, top, size, text, n, color);
});

// The PNG's bytes in a block from malloc; *size gets their number. Null when it fails.
EM_JS(unsigned char *, page_encode_png, (const std::uint32_t *pixels, int width, int height, std::size_t *size), {
    return VornaPage.encodePng(pixels, width, height, size);
});

} // namespace

PlatformSurface *platform_create_surface(int width, int height) {
    auto *surface = new PlatformSurface;
    if (width > 0 && height > 0) {
        surface->width = width;
        surface->height = height;
        surface->pixels.assign(std::size_t(width) * std::size_t(height), 0xFFFFFFFFu);
    }
    return surface;
}

PlatformSurface *platform_window_surface(PlatformWindow *window) { return window ? &window->surface : nullptr; }

void platform_release_window_surface(PlatformWindow *, PlatformSurface *) {}

void platform_copy_surface(PlatformSurface *dst, PlatformSurface *src) {
    if (!dst || !src || dst == src) return;
    if (dst->window && dst->width == src->width && dst->height == src->height) {
        dst->pixels = src->pixels;
    } else {
        // The window's picture keeps its own size: the canvas goes to its top left.
        for (int y = 0; y < dst->height && y < src->height; y++)
            std::memcpy(&dst->pixels[std::size_t(y) * dst->width], &src->pixels[std::size_t(y) * src->width],
                        sizeof(std::uint32_t) * std::size_t(dst->width < src->width ? dst->width : src->width));
    }
    if (!dst->window || dst->window->closed) return;
    // 0xFFRRGGBB in memory is B, G, R, A; the canvas wants R, G, B, A.
    rgba.resize(dst->pixels.size());
    for (std::size_t i = 0; i < dst->pixels.size(); i++) {
        const std::uint32_t p = dst->pixels[i];
        rgba[i] = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
    }
    page_present(rgba.data(), dst->width, dst->height);
}

int platform_present_later(PlatformSurface *, PlatformSurface *, int) {
    return 0; // nothing draws while the program runs: the wait copies later itself
}

unsigned char *platform_surface_png(PlatformSurface *surface, std::size_t *size) {
    if (!surface || !size || surface->pixels.empty()) return nullptr;
    std::vector<std::uint32_t> bytes(surface->pixels.size());
    for (std::size_t i = 0; i < bytes.size(); i++) {
        const std::uint32_t p = surface->pixels[i];
        bytes[i] = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
    }
    return page_encode_png(bytes.data(), surface->width, surface->height, size);
}

std::uint32_t *platform_surface_pixels(PlatformSurface *surface, std::ptrdiff_t *stride) {
    if (!surface || !stride || surface->pixels.empty()) return nullptr;
    *stride = surface->width;
    return surface->pixels.data();
}

int platform_surface_width(PlatformSurface *surface) { return surface ? surface->width : 0; }
int platform_surface_height(PlatformSurface *surface) { return surface ? surface->height : 0; }

int platform_text_line_height(int size) { return page_text_line_height(size); }

int platform_text_width(int size, const char *text, int n) { return text && n > 0 ? page_text_width(size, text, n) : 0; }

void platform_draw_text_line(PlatformSurface *surface, std::int64_t left, std::int64_t top, int size,
                             const char *text, int n, PlatformColor color) {
    if (!surface || surface->pixels.empty() || !text || n <= 0) return;
    if (top > surface->height || left > surface->width) return;
    const int line_height = page_text_line_height(size);
    if (top + line_height < 0) return;
    // Far off to the left it stays off: no line of text is a billion pixels wide. The page
    // measures the rest.
    const int from_left = left < -1000000000 ? -1000000000 : int(left);
    page_draw_text(surface->pixels.data(), surface->width, surface->height, from_left, int(top), size, text, n,
                   color);
}
