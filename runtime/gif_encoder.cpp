// gif_encoder.cpp: animated GIF files written one frame at a time, through giflib.
//
// Each frame goes to the file as it comes; only the frame before it is kept, to find what
// changed. A frame is the smallest rectangle around its changed pixels, with the unchanged ones
// inside it transparent, and a colour map of its own: the runtime's 24 colours always fit, so
// shapes are exact. Smoothed text edges add colours of their own; while a frame's changed pixels
// have at most 255 colours every one is exact, and beyond that the 255 most frequent are kept
// and each other colour takes the nearest of them.
#include <gif_lib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "runtime_internal.h"

namespace {

enum {
    COLORS_MAX = 255,           // a colour map has 256 entries; one is the transparent index
    TABLE_SLOTS = 1 << 16,      // the colour counting table (a power of two)
    TABLE_FILL_MAX = TABLE_SLOTS / 4 * 3, // beyond this, further colours take the nearest kept one
    DELAY_CS_MAX = 65535,       // the longest delay a frame can say, in hundredths of a second
};

constexpr std::uint32_t SLOT_EMPTY = 0xFFFFFFFFu; // no colour (colours are 0x00RRGGBB)

struct Slot {
    std::uint32_t color;
    std::uint32_t count;
    int index; // the colour map entry the colour is written as
};

} // namespace

struct GifEncoder {
    GifFileType *file = nullptr;
    int width = 0;
    int height = 0;
    std::uint32_t *previous = nullptr; // the last frame written (0x00RRGGBB), null before the first
    Slot *table = nullptr;             // TABLE_SLOTS, all SLOT_EMPTY between frames
    int *used = nullptr;               // the slots a frame filled, to empty them again
    GifPixelType *row = nullptr;       // one row of indices
    int error = 0;                     // giflib's code for the first failure, 0 while none
    long frames = 0;
};

namespace {

std::uint32_t slot_of(std::uint32_t color) { return (color * 2654435761u) >> 16 & (TABLE_SLOTS - 1); }

// The colour's slot: found, newly filled (counted in *filled), or null when the table is full.
Slot *find_slot(GifEncoder *encoder, std::uint32_t color, int *filled) {
    for (std::uint32_t at = slot_of(color);; at = (at + 1) & (TABLE_SLOTS - 1)) {
        Slot &slot = encoder->table[at];
        if (slot.color == color) return &slot;
        if (slot.color != SLOT_EMPTY) continue;
        if (*filled >= TABLE_FILL_MAX) return nullptr;
        encoder->used[(*filled)++] = int(at);
        slot = Slot{color, 0, -1};
        return &slot;
    }
}

int distance(std::uint32_t a, std::uint32_t b) {
    const int dr = int(a >> 16 & 0xFF) - int(b >> 16 & 0xFF);
    const int dg = int(a >> 8 & 0xFF) - int(b >> 8 & 0xFF);
    const int db = int(a & 0xFF) - int(b & 0xFF);
    return dr * dr + dg * dg + db * db;
}

int nearest(const GifColorType *colors, int count, std::uint32_t color) {
    int best = 0, best_distance = 1 << 30;
    for (int i = 0; i < count; i++) {
        const std::uint32_t entry = std::uint32_t(colors[i].Red) << 16 | colors[i].Green << 8 | colors[i].Blue;
        const int d = distance(entry, color);
        if (d < best_distance) best = i, best_distance = d;
    }
    return best;
}

bool failed(GifEncoder *encoder, int result) {
    if (result == GIF_OK) return false;
    if (encoder->error == 0) encoder->error = encoder->file->Error ? encoder->file->Error : E_GIF_ERR_WRITE_FAILED;
    return true;
}

// The loop-for-ever block that players look for, written once after the screen.
bool put_loop_block(GifEncoder *encoder) {
    static const unsigned char application[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const unsigned char forever[] = {1, 0, 0};
    return !failed(encoder, EGifPutExtensionLeader(encoder->file, APPLICATION_EXT_FUNC_CODE)) &&
           !failed(encoder, EGifPutExtensionBlock(encoder->file, sizeof application, application)) &&
           !failed(encoder, EGifPutExtensionBlock(encoder->file, sizeof forever, forever)) &&
           !failed(encoder, EGifPutExtensionTrailer(encoder->file));
}

} // namespace

GifEncoder *gif_encoder_open(int fd, int width, int height, const char **reason) {
    auto *encoder = new GifEncoder;
    int error = 0;
    encoder->file = EGifOpenFileHandle(fd, &error);
    encoder->width = width;
    encoder->height = height;
    encoder->table = static_cast<Slot *>(std::malloc(TABLE_SLOTS * sizeof(Slot)));
    encoder->used = static_cast<int *>(std::malloc(TABLE_FILL_MAX * sizeof(int)));
    encoder->row = static_cast<GifPixelType *>(std::malloc(std::size_t(width)));
    if (!encoder->file || !encoder->table || !encoder->used || !encoder->row) {
        *reason = encoder->file ? "out of memory" : GifErrorString(error);
        if (!encoder->file) close(fd);
        gif_encoder_close(encoder);
        return nullptr;
    }
    for (int i = 0; i < TABLE_SLOTS; i++)
        encoder->table[i].color = SLOT_EMPTY;
    EGifSetGifVersion(encoder->file, true);
    if (failed(encoder, EGifPutScreenDesc(encoder->file, width, height, 8, 0, nullptr)) || !put_loop_block(encoder)) {
        *reason = GifErrorString(encoder->error);
        gif_encoder_close(encoder);
        return nullptr;
    }
    return encoder;
}

bool gif_encoder_put_frame(GifEncoder *encoder, const std::uint32_t *pixels, std::ptrdiff_t stride, int delay_cs) {
    if (encoder->error != 0) return false;
    const int width = encoder->width, height = encoder->height;
    const bool first = encoder->previous == nullptr;
    if (first) {
        encoder->previous = static_cast<std::uint32_t *>(std::malloc(std::size_t(width) * height * 4));
        if (!encoder->previous) {
            encoder->error = E_GIF_ERR_NOT_ENOUGH_MEM;
            return false;
        }
    }
    auto pixel = [&](int x, int y) { return pixels[y * stride + x] & 0xFFFFFFu; };
    auto changed = [&](int x, int y) { return first || pixel(x, y) != encoder->previous[y * width + x]; };

    // The rectangle around what changed; an unchanged frame is one transparent pixel that only
    // holds the delay.
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (changed(x, y)) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = y;
            }
    if (right < 0) left = right = top = bottom = 0;

    // Count the changed pixels' colours.
    int filled = 0;
    for (int y = top; y <= bottom; y++)
        for (int x = left; x <= right; x++)
            if (changed(x, y))
                if (Slot *slot = find_slot(encoder, pixel(x, y), &filled)) slot->count++;
    // The most frequent first when they do not all fit; else in the order they were found.
    int kept = filled;
    if (filled > COLORS_MAX) {
        std::stable_sort(encoder->used, encoder->used + filled,
                         [&](int a, int b) { return encoder->table[a].count > encoder->table[b].count; });
        kept = COLORS_MAX;
    }
    int map_size = 2;
    while (map_size < kept + 1) map_size *= 2;
    ColorMapObject *map = GifMakeMapObject(map_size, nullptr);
    if (!map) {
        encoder->error = E_GIF_ERR_NOT_ENOUGH_MEM;
        return false;
    }
    for (int i = 0; i < map_size; i++) map->Colors[i] = GifColorType{0, 0, 0};
    for (int i = 0; i < kept; i++) {
        Slot &slot = encoder->table[encoder->used[i]];
        slot.index = i;
        map->Colors[i] = GifColorType{GifByteType(slot.color >> 16), GifByteType(slot.color >> 8),
                                      GifByteType(slot.color)};
    }
    for (int i = kept; i < filled; i++) {
        Slot &slot = encoder->table[encoder->used[i]];
        slot.index = nearest(map->Colors, kept, slot.color);
    }
    const int transparent = kept;

    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = std::clamp(delay_cs, 0, int(DELAY_CS_MAX));
    control.TransparentColor = first ? NO_TRANSPARENT_COLOR : transparent;
    GifByteType control_bytes[4];
    const std::size_t control_length = EGifGCBToExtension(&control, control_bytes);
    bool ok = !failed(encoder, EGifPutExtension(encoder->file, GRAPHICS_EXT_FUNC_CODE, int(control_length),
                                                control_bytes)) &&
              !failed(encoder, EGifPutImageDesc(encoder->file, left, top, right - left + 1, bottom - top + 1, false,
                                                map));
    for (int y = top; ok && y <= bottom; y++) {
        for (int x = left; x <= right; x++) {
            if (!changed(x, y)) {
                encoder->row[x - left] = GifPixelType(transparent);
                continue;
            }
            int filled_now = TABLE_FILL_MAX; // look up only: the table is not added to any more
            const Slot *slot = find_slot(encoder, pixel(x, y), &filled_now);
            encoder->row[x - left] =
                GifPixelType(slot ? slot->index : nearest(map->Colors, kept, pixel(x, y)));
            encoder->previous[y * width + x] = pixel(x, y);
        }
        ok = !failed(encoder, EGifPutLine(encoder->file, encoder->row, right - left + 1));
    }
    GifFreeMapObject(map);
    for (int i = 0; i < filled; i++) encoder->table[encoder->used[i]].color = SLOT_EMPTY;
    if (ok) encoder->frames++;
    return ok;
}

long gif_encoder_frames(const GifEncoder *encoder) { return encoder->frames; }

const char *gif_encoder_close(GifEncoder *encoder) {
    int error = encoder->error;
    if (encoder->file) {
        int close_error = 0;
        if (EGifCloseFile(encoder->file, &close_error) != GIF_OK && error == 0) error = close_error;
    }
    std::free(encoder->previous);
    std::free(encoder->table);
    std::free(encoder->used);
    std::free(encoder->row);
    delete encoder;
    return error == 0 ? nullptr : GifErrorString(error);
}
