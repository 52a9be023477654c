// The one pass of a present: the emulated screen's 8-bit picture through its
// palette into the host's 32-bit window pixels, each pixel made a whole
// square of `scale` pixels, black around it.
#pragma once

#include <cstdint>

#include "platform/host/host_video.h"

namespace sdlhost {

// 32-bit pixels to draw in; `pitch` in bytes.
struct PixelTarget {
    std::uint32_t* pixels;
    int pitch;
    int width;
    int height;
};

// A palette entry as the target's 32-bit pixel: red, green and blue moved to
// their places and the rest of the pixel `alpha` (the format's unused or
// alpha bits, all set).
struct PixelLayout {
    int redShift = 16, greenShift = 8, blueShift = 0;
    std::uint32_t alpha = 0xFF000000u;
};

// The 256 target pixels of a palette.
void BuildColourTable(const PALETTEENTRY* palette, const PixelLayout& layout, std::uint32_t* table);

// Draws `image` into `target` with its top left at (`left`, `top`) (either
// may be negative: what falls outside is cut off), every pixel `scale` by
// `scale` (at least 1), and fills the rest of the target with black.
void DrawPicture(const host::ScreenImage& image, const PixelLayout& layout, int left, int top, int scale,
                 const PixelTarget& target);

// The largest whole number of times a picture fits into a place, at least 1.
int WholeScale(int pictureWidth, int pictureHeight, int placeWidth, int placeHeight);

}  // namespace sdlhost
