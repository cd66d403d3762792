// palette.cpp: the 24 colours and the rule that turns a bad index into red.
#include "runtime_internal.h"

namespace {

struct PaletteEntry {
    const char *name;
    PlatformColor packed; // 0x00BBGGRR
};

constexpr PlatformColor pack(unsigned red, unsigned green, unsigned blue) { return red | (green << 8) | (blue << 16); }

const PaletteEntry PALETTE[COLOR_COUNT] = {
    {"black", pack(0, 0, 0)},
    {"white", pack(255, 255, 255)},
    {"red", pack(255, 0, 0)},
    {"green", pack(0, 255, 0)},
    {"blue", pack(0, 0, 255)},
    {"yellow", pack(255, 255, 0)},
    {"magenta", pack(255, 0, 255)},
    {"cyan", pack(0, 255, 255)},
    {"purple", pack(153, 0, 204)},
    {"navy blue", pack(0, 51, 153)},
    {"dusty plum", pack(153, 102, 153)},
    {"ice blue", pack(153, 255, 255)},
    {"turquoise", pack(153, 255, 204)},
    {"orange", pack(255, 102, 0)},
    {"brown", pack(153, 102, 51)},
    {"pink", pack(255, 153, 204)},
    {"chalk", pack(255, 255, 153)},
    {"gold", pack(204, 153, 51)},
    {"peach", pack(255, 153, 102)},
    {"forest green", pack(0, 102, 51)},
    {"sea green", pack(51, 204, 153)},
    {"olive", pack(153, 153, 51)},
    {"50% gray", pack(128, 128, 128)},
    {"20% gray", pack(204, 204, 204)},
};

} // namespace

ColorIndex check_color(int index) {
    if (index >= 0 && index < COLOR_COUNT) return index;
    VORNA_print("Illegal color %d; using RED.\n", index);
    return COLOR_RED;
}

PlatformColor palette_color(ColorIndex index) { return PALETTE[index].packed; }

const char *palette_name(ColorIndex index) { return PALETTE[index].name; }
