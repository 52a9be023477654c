#include "platform/host/sdl/sdl_present.h"

#include <algorithm>
#include <cstring>

namespace sdlhost {
namespace {

// One row through the table. Eight indices are read at once, so the stores
// cannot make the compiler read the source again byte by byte.
void ConvertRow(const std::uint8_t* __restrict src, int count, const std::uint32_t* __restrict table,
                std::uint32_t* __restrict out) {
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        std::uint64_t v;
        std::memcpy(&v, src + x, 8);
        out[x] = table[v & 255];
        out[x + 1] = table[(v >> 8) & 255];
        out[x + 2] = table[(v >> 16) & 255];
        out[x + 3] = table[(v >> 24) & 255];
        out[x + 4] = table[(v >> 32) & 255];
        out[x + 5] = table[(v >> 40) & 255];
        out[x + 6] = table[(v >> 48) & 255];
        out[x + 7] = table[v >> 56];
    }
    for (; x < count; ++x) out[x] = table[src[x]];
}

// One row widened `scale` times; the first source pixel shows only its last
// `skip` columns (the picture's left edge cut off).
void WidenRow(const std::uint8_t* src, int count, const std::uint32_t* table, int scale, int skip, std::uint32_t* out,
              int outWidth) {
    int x = 0;
    for (int i = 0; i < count && x < outWidth; ++i) {
        std::uint32_t c = table[src[i]];
        int n = std::min(i == 0 ? scale - skip : scale, outWidth - x);
        std::fill_n(out + x, n, c);
        x += n;
    }
}

// Floor division for a negative numerator.
int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

void BuildColourTable(const PALETTEENTRY* palette, const PixelLayout& layout, std::uint32_t* table) {
    for (int i = 0; i < 256; ++i)
        table[i] = layout.alpha | std::uint32_t{palette[i].peRed} << layout.redShift |
                   std::uint32_t{palette[i].peGreen} << layout.greenShift |
                   std::uint32_t{palette[i].peBlue} << layout.blueShift;
}

void DrawPicture(const host::ScreenImage& image, const PixelLayout& layout, int left, int top, int scale,
                 const PixelTarget& target) {
    if (!target.pixels || target.width <= 0 || target.height <= 0) return;
    scale = std::max(1, scale);
    std::uint32_t table[256];
    BuildColourTable(image.palette, layout, table);
    const std::uint32_t black = layout.alpha;
    auto row = [&](int y) {
        return reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(target.pixels) +
                                                static_cast<std::ptrdiff_t>(y) * target.pitch);
    };

    // The target columns the picture covers, and the first source column.
    const long long right = static_cast<long long>(left) + static_cast<long long>(image.width) * scale;
    const int x0 = std::clamp(left, 0, target.width);
    const int x1 = static_cast<int>(std::clamp<long long>(right, x0, target.width));
    const int firstColumn = FloorDiv(x0 - left, scale);
    const int skip = (x0 - left) - firstColumn * scale;
    const int columns = x1 > x0 ? (x1 - x0 + skip + scale - 1) / scale : 0;

    const std::uint32_t* previous = nullptr;  // the last row drawn, and its source row
    int previousSource = -1;
    for (int y = 0; y < target.height; ++y) {
        std::uint32_t* out = row(y);
        const int sy = FloorDiv(y - top, scale);
        if (sy < 0 || sy >= image.height || x1 <= x0) {
            std::fill_n(out, target.width, black);
            continue;
        }
        if (sy == previousSource) {
            // A taller pixel: the row above once more, whole.
            std::memcpy(out, previous, static_cast<std::size_t>(target.width) * 4);
            continue;
        }
        std::fill_n(out, x0, black);
        const std::uint8_t* src = image.pixels + static_cast<std::ptrdiff_t>(sy) * image.pitch + firstColumn;
        if (scale == 1)
            ConvertRow(src, x1 - x0, table, out + x0);
        else
            WidenRow(src, columns, table, scale, skip, out + x0, x1 - x0);
        std::fill(out + x1, out + target.width, black);
        previous = out;
        previousSource = sy;
    }
}

int WholeScale(int pictureWidth, int pictureHeight, int placeWidth, int placeHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0) return 1;
    return std::max(1, std::min(placeWidth / pictureWidth, placeHeight / pictureHeight));
}

}  // namespace sdlhost
