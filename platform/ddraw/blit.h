// The pixel work behind IDirectDrawSurface::Blt and BltFast: copies
// (stretched, shrunk, mirrored, colour-keyed) and fills over plain memory,
// rows `pitch` bytes apart. Nothing here knows a surface, a clipper or a
// result code: the surface checks the call and cuts it into rectangles
// inside both pictures, and these functions trust them.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <cstdint>

namespace platform::ddraw::blit {

// A colour key: pixels from `low` to `high` inclusive.
struct Key {
    bool on = false;
    DWORD low = 0, high = 0;
    bool Hit(DWORD v) const { return on && v >= low && v <= high; }
};
// The key a DDCOLORKEY names; every key a blit uses is made here.
inline Key KeyOf(const DDCOLORKEY& key) { return Key{true, key.dwColorSpaceLowValue, key.dwColorSpaceHighValue}; }

// One copy: the whole destination rectangle `dest` filled from the whole
// source rectangle `src`, scaled to fit (the pixel under each destination
// pixel's centre), mirrored on request, skipping source pixels under
// `sourceKey` and destination pixels outside `destKey`.
struct Copy {
    const std::uint8_t* srcPixels;
    int srcPitch;
    std::uint8_t* dstPixels;
    int dstPitch;
    int bytesPerPixel;  // of both: 1 (palette indices) or 2 (5-6-5 RGB)
    RECT dest;
    RECT src;
    bool mirrorX, mirrorY;
    Key sourceKey, destKey;
    // Set for a destination on show: an unkeyed 8-bit row is then written
    // only where it differs (a frame drawn again is mostly the same), and
    // every row reports the columns [from, to) it wrote, so that the present
    // converts only those.
    void (*rowWritten)(int y, int from, int to) = nullptr;
};

// Writes the part `piece` of the copy's destination rectangle: a clip
// rectangle cuts one copy into pieces, each drawn as the whole copy would
// draw it there. `piece` lies within `dest` and the destination picture.
void CopyPiece(const Copy& copy, const RECT& piece);

// Fills `rect` with `colour` (its low 8 or 16 bits).
void Fill(std::uint8_t* pixels, int pitch, int bytesPerPixel, const RECT& rect, DWORD colour);

}  // namespace platform::ddraw::blit
