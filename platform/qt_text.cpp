// qt_text.cpp: lines of text in the runtime's face, drawn into surfaces.
//
// The font system draws a line with antialiased glyphs: each glyph is a coverage mask blended
// over what lies below it, glyph after glyph. Asking it for every line costs a text layout and
// several allocations, so a line drawn again is blitted from a cache instead: its glyphs'
// masks, found once by drawing each glyph white on black, blended here in plain code with the
// same arithmetic. A cached line is used only after it has been drawn both ways over two noise
// backgrounds with the same pixels; any line the check finds different (glyphs merged into one
// shape at large sizes, tab stops) keeps being drawn by the font system. A line is cached the
// second time it is drawn, so a program printing endless distinct strings pays nothing extra,
// and the cache holds a bounded number of lines and mask bytes, the least recently drawn going
// first.
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/platform_qt.h"

namespace {

constexpr int TEXT_KEY_MAX = 256;                          // longer lines are drawn by the font system
constexpr std::size_t TEXT_CACHE_LINES_MAX = 512;          // lines held at once
constexpr std::size_t TEXT_CACHE_BYTES_MAX = 8u << 20;     // mask bytes held at once
constexpr int TEXT_SEEN_SLOTS = 1024;                      // lines drawn once, remembered by hash

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

QColor qt_color(PlatformColor color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }

// One glyph's coverage: w x h bytes from `offset` in the line's mask bytes, its top-left pixel
// (dx, dy) from the top-left corner of the line's cell.
struct GlyphMask {
    int dx, dy, w, h;
    std::size_t offset;
};

struct CachedLine {
    std::string_view key; // the map's own key
    int advance = 0;
    // Where the line draws, from the cell's top-left corner (the cell and the ink, with room
    // around them): a line cut by the buffer's edge is drawn by the font system, which at large
    // sizes rounds the cut glyphs' edges a little differently.
    int ink_left = -2, ink_top = -2, ink_right = 0, ink_bottom = 0;
    bool usable = false; // drawn the same both ways; otherwise the font system draws it
    std::vector<GlyphMask> glyphs;
    std::vector<unsigned char> coverage;
    CachedLine *older = nullptr, *newer = nullptr; // recency list
};

struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
};

struct TextCache {
    std::unordered_map<std::string, CachedLine, KeyHash, std::equal_to<>> lines;
    CachedLine *newest = nullptr, *oldest = nullptr;
    std::size_t bytes = 0;
    std::size_t seen[TEXT_SEEN_SLOTS] = {};
    bool on = true;
};

TextCache &text_cache() {
    static TextCache cache;
    return cache;
}

void unlink(TextCache &cache, CachedLine *line) {
    (line->older ? line->older->newer : cache.oldest) = line->newer;
    (line->newer ? line->newer->older : cache.newest) = line->older;
    line->older = line->newer = nullptr;
}

void link_newest(TextCache &cache, CachedLine *line) {
    line->older = cache.newest;
    line->newer = nullptr;
    (cache.newest ? cache.newest->newer : cache.oldest) = line;
    cache.newest = line;
}

void evict_oldest(TextCache &cache) {
    CachedLine *line = cache.oldest;
    unlink(cache, line);
    cache.bytes -= line->coverage.size();
    cache.lines.erase(cache.lines.find(line->key));
}

// c * a / 255 on each byte of a pixel, rounded as the font system's blending rounds it.
inline std::uint32_t byte_mul(std::uint32_t x, std::uint32_t a) {
    std::uint32_t t = (x & 0xFF00FFu) * a;
    t = ((t + ((t >> 8) & 0xFF00FFu) + 0x800080u) >> 8) & 0xFF00FFu;
    x = ((x >> 8) & 0xFF00FFu) * a;
    x = (x + ((x >> 8) & 0xFF00FFu) + 0x800080u) & ~0xFF00FFu;
    return x | t;
}

// Two pixels' bytes, one to a 16-bit lane: byte_mul on two pixels at once, with the same
// rounding (a byte times a byte plus the rounding terms stays below 65536).
typedef std::uint8_t Channels8 __attribute__((vector_size(8)));
typedef std::uint16_t Channels16 __attribute__((vector_size(16)));

inline Channels16 lanes_mul(Channels16 c, Channels16 a) {
    const Channels16 t = c * a;
    return (t + (t >> 8) + 0x80) >> 8;
}

// Two pixels with coverage a[0], a[1] of the ink (two copies of its bytes) over them, as
// byte_mul blends one.
inline void blend_two(std::uint32_t *row, Channels16 ink, const unsigned char *a) {
    Channels8 bytes;
    std::memcpy(&bytes, row, sizeof bytes);
    const Channels16 under = __builtin_convertvector(bytes, Channels16);
    const Channels16 cover = {a[0], a[0], a[0], a[0], a[1], a[1], a[1], a[1]};
    const Channels16 blended = lanes_mul(ink, cover) + lanes_mul(under, 255 - cover);
    bytes = __builtin_convertvector(blended, Channels8);
    std::memcpy(row, &bytes, sizeof bytes);
}

// Blends the line's glyphs in `pixel` (0xFFRRGGBB) over the pixels with the cell's top-left
// corner at (left, top), glyph after glyph, cut to the buffer.
void blit_line(const CachedLine &line, std::uint32_t *pixels, std::ptrdiff_t stride, int width, int height,
               std::int64_t left, std::int64_t top, std::uint32_t pixel) {
    const std::uint32_t two[2] = {pixel, pixel};
    Channels8 ink_bytes;
    std::memcpy(&ink_bytes, two, sizeof ink_bytes);
    const Channels16 ink = __builtin_convertvector(ink_bytes, Channels16);
    for (const GlyphMask &glyph : line.glyphs) {
        const std::int64_t gx = left + glyph.dx, gy = top + glyph.dy;
        const int x0 = int(std::max<std::int64_t>(0, -gx)), x1 = int(std::min<std::int64_t>(glyph.w, width - gx));
        const int y0 = int(std::max<std::int64_t>(0, -gy)), y1 = int(std::min<std::int64_t>(glyph.h, height - gy));
        for (int y = y0; y < y1; ++y) {
            const unsigned char *cover = line.coverage.data() + glyph.offset + std::size_t(y) * glyph.w;
            std::uint32_t *row = pixels + (gy + y) * stride + gx;
            int x = x0;
            for (; x + 4 <= x1; x += 4) {
                std::uint32_t four = 0;
                std::memcpy(&four, cover + x, 4);
                if (four == 0) continue;
                if (four == 0xFFFFFFFFu) {
                    row[x] = row[x + 1] = row[x + 2] = row[x + 3] = pixel;
                    continue;
                }
                blend_two(row + x, ink, cover + x);
                blend_two(row + x + 2, ink, cover + x + 2);
            }
            for (; x < x1; ++x) {
                const std::uint32_t a = cover[x];
                if (a == 255)
                    row[x] = pixel;
                else if (a != 0)
                    row[x] = byte_mul(pixel, a) + byte_mul(row[x], 255 - a);
            }
        }
    }
}

void draw_direct(QPainter &painter, const TextFace &face, int left, int top, const QString &line, PlatformColor color) {
    painter.setFont(face.font);
    painter.setPen(qt_color(color));
    painter.drawText(QPoint(left, top + face.ascent), line);
}

// Fills the image with noise from the seed (the same noise for the same seed).
void fill_noise(QImage &image, std::uint32_t seed) {
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<std::uint32_t *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            row[x] = 0xFF000000u | (seed & 0xFFFFFFu);
        }
    }
}

// The glyphs' masks of the line, each drawn alone white on black at the place the font system
// gives it in the line, with the cell's top-left corner at (margin, margin) of the scratch
// image. False when a glyph reaches the scratch image's border (it might be cut).
bool gather_glyphs(CachedLine &out, QImage &scratch, const TextFace &face, const QString &text, int margin) {
    QTextLayout layout(text, face.font);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const QPointF origin(margin, margin + face.ascent - line.ascent());
    scratch.fill(0xFF000000u);
    const QRect whole = scratch.rect();
    for (const QGlyphRun &run : layout.glyphRuns()) {
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        const QRawFont font = run.rawFont();
        for (qsizetype i = 0; i < indexes.size(); ++i) {
            QGlyphRun one;
            one.setRawFont(font);
            one.setGlyphIndexes({indexes[i]});
            one.setPositions({positions[i]});
            {
                QPainter painter(&scratch);
                painter.setRenderHint(QPainter::Antialiasing, false);
                painter.setPen(QColor(255, 255, 255));
                painter.drawGlyphRun(origin, one);
            }
            // Where the glyph's ink can be, with room for rounding; cut to the scratch image.
            const QRect near = font.boundingRect(indexes[i])
                                   .translated(origin + positions[i])
                                   .toAlignedRect()
                                   .adjusted(-2, -2, 2, 2)
                                   .intersected(whole);
            int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
            for (int y = near.top(); y <= near.bottom(); ++y) {
                const auto *row = reinterpret_cast<const std::uint32_t *>(scratch.constScanLine(y));
                for (int x = near.left(); x <= near.right(); ++x)
                    if (row[x] & 0xFF) {
                        x0 = std::min(x0, x), x1 = std::max(x1, x);
                        y0 = std::min(y0, y), y1 = std::max(y1, y);
                    }
            }
            if (x1 < 0) continue; // no ink (a space)
            if (x0 == 0 || y0 == 0 || x1 == whole.right() || y1 == whole.bottom()) return false;
            const GlyphMask mask{x0 - margin, y0 - margin, x1 - x0 + 1, y1 - y0 + 1, out.coverage.size()};
            for (int y = y0; y <= y1; ++y) {
                auto *row = reinterpret_cast<std::uint32_t *>(scratch.scanLine(y));
                for (int x = x0; x <= x1; ++x) {
                    out.coverage.push_back(static_cast<unsigned char>(row[x] & 0xFF));
                    row[x] = 0xFF000000u; // black again for the next glyph
                }
            }
            out.glyphs.push_back(mask);
            out.ink_left = std::min(out.ink_left, mask.dx - 2), out.ink_top = std::min(out.ink_top, mask.dy - 2);
            out.ink_right = std::max(out.ink_right, mask.dx + mask.w + 2);
            out.ink_bottom = std::max(out.ink_bottom, mask.dy + mask.h + 2);
        }
    }
    return true;
}

// Draws the line both ways, white on black, black on white and over two noise backgrounds in
// two colours; true when every pixel agrees. The first two show how the glyphs' coverage adds
// up where glyphs share a pixel, the noise how it is blended.
bool same_both_ways(const CachedLine &line, QImage &direct, QImage &blitted, const TextFace &face,
                    const QString &text, int margin) {
    const PlatformColor colors[4] = {0xFFFFFFu, 0x000000u, 0x3A7FD2u, 0xC41E6Bu};
    for (int round = 0; round < 4; ++round) {
        if (round < 2)
            direct.fill(round == 0 ? 0xFF000000u : 0xFFFFFFFFu);
        else
            fill_noise(direct, 0x9E3779B9u + std::uint32_t(round));
        blitted = direct.copy();
        {
            QPainter painter(&direct);
            painter.setRenderHint(QPainter::Antialiasing, false);
            draw_direct(painter, face, margin, margin, text, colors[round]);
        }
        blit_line(line, reinterpret_cast<std::uint32_t *>(blitted.bits()), blitted.bytesPerLine() / 4,
                  blitted.width(), blitted.height(), margin, margin, qt_color(colors[round]).rgb());
        if (direct != blitted) return false;
    }
    return true;
}

// A new cache entry for the line (usable or not), the oldest ones evicted to keep in bounds.
CachedLine &build_line(TextCache &cache, std::string_view key, const TextFace &face, const QString &text) {
    CachedLine built;
    built.advance = QFontMetrics(face.font).horizontalAdvance(text);
    const int margin = face.height + 8; // ink reaching beyond the cell: accents, overhangs
    const int width = built.advance + 2 * margin, height = face.height + 2 * margin;
    built.ink_right = built.advance + 2;
    built.ink_bottom = face.height + 2;
    QImage scratch(width, height, QImage::Format_RGB32), blitted;
    built.usable = !scratch.isNull() && gather_glyphs(built, scratch, face, text, margin) &&
                   same_both_ways(built, scratch, blitted, face, text, margin);
    if (!built.usable) {
        built.glyphs.clear();
        built.coverage.clear();
    }
    built.glyphs.shrink_to_fit();
    built.coverage.shrink_to_fit();
    while (!cache.lines.empty() &&
           (cache.lines.size() >= TEXT_CACHE_LINES_MAX || cache.bytes + built.coverage.size() > TEXT_CACHE_BYTES_MAX))
        evict_oldest(cache);
    auto placed = cache.lines.emplace(std::string(key), std::move(built)).first;
    CachedLine &line = placed->second;
    line.key = placed->first;
    cache.bytes += line.coverage.size();
    link_newest(cache, &line);
    return line;
}

// The cached line for the key, built when the line is drawn the second time; null while it is
// not cached.
CachedLine *cached_line(TextCache &cache, std::string_view key, const TextFace &face, const char *text, int n) {
    auto found = cache.lines.find(key);
    if (found != cache.lines.end()) {
        CachedLine *line = &found->second;
        unlink(cache, line);
        link_newest(cache, line);
        return line;
    }
    const std::size_t hash = KeyHash{}(key) | 1; // never 0, the empty slot
    std::size_t &slot = cache.seen[hash % TEXT_SEEN_SLOTS];
    if (slot != hash) {
        slot = hash;
        return nullptr;
    }
    slot = 0;
    return &build_line(cache, key, face, QString::fromLatin1(text, n));
}

} // namespace

int platform_text_line_height(int size) { return text_face(size).height; }

void platform_draw_text_line(PlatformSurface *surface, std::int64_t left, std::int64_t top, int size,
                             const char *text, int n, PlatformColor color) {
    if (!surface || !text || n <= 0) return;
    const TextFace &face = text_face(size);
    if (top > surface->image.height() || top + face.height < 0 || left > surface->image.width()) return;
    TextCache &cache = text_cache();
    if (cache.on && n < TEXT_KEY_MAX && surface->image.format() == QImage::Format_RGB32) {
        // The key: the size, then the bytes of the line.
        char key[TEXT_KEY_MAX + 1];
        key[0] = char(size);
        std::memcpy(key + 1, text, std::size_t(n));
        CachedLine *line = cached_line(cache, std::string_view(key, std::size_t(n) + 1), face, text, n);
        const int width = surface->image.width(), height = surface->image.height();
        if (line && line->usable && left + line->ink_left >= 0 && top + line->ink_top >= 0 &&
            left + line->ink_right <= width && top + line->ink_bottom <= height) {
            std::ptrdiff_t stride = 0;
            std::uint32_t *pixels = platform_surface_pixels(surface, &stride);
            if (!pixels) return;
            blit_line(*line, pixels, stride, width, height, left, top, qt_color(color).rgb());
            return;
        }
    }
    const QString line = QString::fromLatin1(text, n);
    if (left < 0 && left + QFontMetrics(face.font).horizontalAdvance(line) < 0) return;
    draw_direct(qt_surface_painter(surface), face, int(left), int(top), line, color);
}

void platform_set_text_cache(int on) {
    TextCache &cache = text_cache();
    cache.on = on != 0;
    while (!cache.lines.empty()) evict_oldest(cache);
    std::fill(std::begin(cache.seen), std::end(cache.seen), std::size_t(0));
}

int platform_text_cache_lines(int *usable) {
    const TextCache &cache = text_cache();
    if (usable) {
        *usable = 0;
        for (const CachedLine *line = cache.oldest; line; line = line->newer) *usable += line->usable;
    }
    return int(cache.lines.size());
}

int platform_text_width(int size, const char *text, int n) {
    if (!text || n <= 0) return 0;
    return QFontMetrics(text_face(size).font).horizontalAdvance(QString::fromLatin1(text, n));
}
