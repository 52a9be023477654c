// The stand-in's side of the door for showing the emulated screen: its 8-bit
// picture through its palette into a host's pixels (the one palette
// conversion every host uses), each pixel made a whole square of `scale`
// pixels, black around it, and the smooth last step to any window size.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/host/host_video.h"

namespace platform::video {

// 32-bit pixels to draw in; `pitch` in bytes.
struct PixelTarget {
    std::uint32_t* pixels;
    int pitch;
    int width;
    int height;
};

// A palette entry as the target's pixel: red, green and blue each in the
// place and width of its mask (the top bits of the 8 when the mask is
// narrower), and the rest of the pixel `alpha` (the format's unused or alpha
// bits, all set).
struct PixelLayout {
    std::uint32_t redMask = 0x00FF0000u, greenMask = 0x0000FF00u, blueMask = 0x000000FFu;
    std::uint32_t alpha = 0xFF000000u;
};

// The 256 target pixels of a palette.
void BuildColourTable(const PALETTEENTRY* palette, const PixelLayout& layout, std::uint32_t* table);

// Draws `image` into `target` with its top left at (`left`, `top`) (either
// may be negative: what falls outside is cut off), every pixel `scale` by
// `scale` (at least 1), and fills the rest of the target with black.
void DrawPicture(const host::ScreenImage& image, const PixelLayout& layout, int left, int top, int scale,
                 const PixelTarget& target);

// Target rows [top, bottom) that a draw changed; none when top == bottom.
struct ChangedRows {
    int top = 0;
    int bottom = 0;
    bool whole = false;  // everything was drawn anew
    bool Empty() const { return top >= bottom; }
};

// What a target shows, so that the next present converts only the pixels
// whose index changed: from one frame to the next most of the game's picture
// stays as it was. Forget() when the target's pixels may have been lost or
// drawn over by anything else (a new window surface, a resize). When the
// image says what was written since the present this one last drew (its
// `written`), only those pixels are compared.
class ShownPicture {
public:
    // DrawPicture; but when the last draw was of a picture of this size
    // into this target at this place, scale and palette, only the changed
    // pixels are drawn. Returns the target rows that changed.
    ChangedRows Draw(const host::ScreenImage& image, const PixelLayout& layout, int left, int top, int scale,
                     const PixelTarget& target);
    void Forget() { valid_ = false; }
    // The target columns [from, to) of row y that the last Draw changed
    // (the whole row when it drew everything); false when none did.
    bool ChangedSpan(int y, int& from, int& to) const {
        if (y < 0 || static_cast<std::size_t>(y) >= changed_.size()) return false;
        const Columns& s = changed_[static_cast<std::size_t>(y)];
        from = s.from;
        to = s.to;
        return s.from < s.to;
    }

private:
    bool Matches(const host::ScreenImage& image, const PixelLayout& layout, int left, int top, int scale,
                 const PixelTarget& target) const;
    void Remember(const host::ScreenImage& image, const PixelLayout& layout, int left, int top, int scale,
                  const PixelTarget& target);

    bool valid_ = false;
    const std::uint8_t* source_ = nullptr;  // the image last drawn, and the present it came with
    int sourcePitch_ = 0;
    std::uint64_t seen_ = 0;
    int width_ = 0, height_ = 0, left_ = 0, top_ = 0, scale_ = 0;
    PixelTarget target_{};
    PixelLayout layout_{};
    std::array<PALETTEENTRY, 256> palette_{};
    std::vector<std::uint8_t> pixels_;  // the indices drawn, rows of width_
    struct Columns {
        int from = 0, to = 0;
    };
    std::vector<Columns> changed_;  // per target row: the columns changed in the last Draw
};

// A rectangle of target pixels.
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
};
// The target pixels that `shown`'s last Draw changed, within `rows`, as at
// most `most` rectangles into `out`; their number. Rows are joined where
// the pixels drawn again beyond those changed cost less than one more
// rectangle would: the screen takes changed pieces, not whole rows, and a
// few large pieces rather than one a row.
int ChangedRects(const ShownPicture& shown, const ChangedRows& rows, PixelRect* out, int most);

// The last, smooth step of a present where the window is no whole multiple
// of the picture: `picture` (32-bit pixels) stretched into `place` of
// `target` with bilinear filtering, each target pixel sampled at its centre.
// Only the target pixels drawn from pixels that `shown` reports changed in
// its last Draw (all of them after a whole one) are drawn again; the rows
// drawn are returned. `steps` keeps the column steps and a row between calls.
struct StretchSteps {
    int from = 0, to = 0;
    std::vector<int> index;             // left source column of each target column
    std::vector<std::uint32_t> weight;  // of the right one, 0..256
    std::vector<std::uint32_t> row;     // two source rows blended
};
ChangedRows SmoothStretch(const PixelTarget& picture, const PixelTarget& target, int placeX, int placeY, int placeWidth,
                          int placeHeight, const ShownPicture& shown, StretchSteps& steps);

// The largest whole number of times a picture fits into a place, at least 1.
int WholeScale(int pictureWidth, int pictureHeight, int placeWidth, int placeHeight);

// An icon resource's image nearest `size` pixels square (the most colours
// among equals), as 0xAARRGGBB pixels, top row first, its mask as alpha.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};
bool IconPicture(HINSTANCE instance, int resourceId, int size, IconImage& out);

}  // namespace platform::video
