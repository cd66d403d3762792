// gif_decode.h: an animated GIF read back through giflib and played onto a screen, frame by
// frame, as a viewer shows it, for the tests to compare with the pictures it was made from.
#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <string>
#include <vector>

struct DecodedFrame {
    std::vector<std::uint32_t> screen; // the whole picture after this frame, 0x00RRGGBB
    int delay_cs;
    int left, top, width, height; // the part this frame painted
};

// The frames, or none when the file is no GIF that giflib reads whole.
inline std::vector<DecodedFrame> decode_gif(const std::string &path, int *width = nullptr, int *height = nullptr) {
    std::vector<DecodedFrame> frames;
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) return frames;
    if (DGifSlurp(gif) == GIF_OK) {
        if (width) *width = gif->SWidth;
        if (height) *height = gif->SHeight;
        std::vector<std::uint32_t> screen(std::size_t(gif->SWidth) * gif->SHeight, 0);
        for (int i = 0; i < gif->ImageCount; i++) {
            const SavedImage &image = gif->SavedImages[i];
            const GifImageDesc &d = image.ImageDesc;
            GraphicsControlBlock control{};
            control.TransparentColor = NO_TRANSPARENT_COLOR;
            DGifSavedExtensionToGCB(gif, i, &control);
            const ColorMapObject *map = d.ColorMap ? d.ColorMap : gif->SColorMap;
            for (int y = 0; y < d.Height; y++)
                for (int x = 0; x < d.Width; x++) {
                    const int index = image.RasterBits[y * d.Width + x];
                    if (index == control.TransparentColor || !map || index >= map->ColorCount) continue;
                    const GifColorType c = map->Colors[index];
                    screen[std::size_t(d.Top + y) * gif->SWidth + d.Left + x] =
                        std::uint32_t(c.Red) << 16 | std::uint32_t(c.Green) << 8 | c.Blue;
                }
            frames.push_back({screen, control.DelayTime, d.Left, d.Top, d.Width, d.Height});
        }
    }
    DGifCloseFile(gif, &error);
    return frames;
}
