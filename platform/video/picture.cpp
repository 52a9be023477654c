#include "platform/host/host_picture.h"

#include "platform/video/find_change.h"
#include "platform/video/screen.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace platform::video {
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

// A colour component of 8 bits in the place and width of a mask.
std::uint32_t Place(std::uint8_t value, std::uint32_t mask) {
    if (!mask) return 0;
    int shift = std::countr_zero(mask);
    int bits = std::popcount(mask);
    return (static_cast<std::uint32_t>(value) >> (8 - std::min(bits, 8))) << shift & mask;
}

// Floor division for a negative numerator.
int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The target columns [x0, x1) a picture covers, the source column shown at
// x0 with `skip` of its target columns cut off there, and how many source
// columns show.
struct Span {
    int x0, x1, firstColumn, skip, columns;
};

Span SpanOf(int imageWidth, int left, int scale, int targetWidth) {
    Span s{};
    const long long right = static_cast<long long>(left) + static_cast<long long>(imageWidth) * scale;
    s.x0 = std::clamp(left, 0, targetWidth);
    s.x1 = static_cast<int>(std::clamp<long long>(right, s.x0, targetWidth));
    s.firstColumn = FloorDiv(s.x0 - left, scale);
    s.skip = (s.x0 - left) - s.firstColumn * scale;
    s.columns = s.x1 > s.x0 ? (s.x1 - s.x0 + s.skip + scale - 1) / scale : 0;
    return s;
}

}  // namespace

void BuildColourTable(const PALETTEENTRY* palette, const PixelLayout& layout, std::uint32_t* table) {
    for (int i = 0; i < 256; ++i)
        table[i] = layout.alpha | Place(palette[i].peRed, layout.redMask) |
                   Place(palette[i].peGreen, layout.greenMask) | Place(palette[i].peBlue, layout.blueMask);
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

    const Span span = SpanOf(image.width, left, scale, target.width);
    const int x0 = span.x0, x1 = span.x1, firstColumn = span.firstColumn, skip = span.skip, columns = span.columns;

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

bool ShownPicture::Matches(const host::ScreenImage& image, const PixelLayout& layout, int left, int top, int scale,
                           const PixelTarget& target) const {
    return valid_ && image.width == width_ && image.height == height_ && left == left_ && top == top_ &&
           scale == scale_ && target.pixels == target_.pixels && target.pitch == target_.pitch &&
           target.width == target_.width && target.height == target_.height && layout.redMask == layout_.redMask &&
           layout.greenMask == layout_.greenMask && layout.blueMask == layout_.blueMask &&
           layout.alpha == layout_.alpha && std::memcmp(image.palette, palette_.data(), sizeof(palette_)) == 0;
}

void ShownPicture::Remember(const host::ScreenImage& image, const PixelLayout& layout, int left, int top, int scale,
                            const PixelTarget& target) {
    width_ = std::max(0, image.width);
    height_ = std::max(0, image.height);
    left_ = left;
    top_ = top;
    scale_ = scale;
    target_ = target;
    layout_ = layout;
    std::memcpy(palette_.data(), image.palette, sizeof(palette_));
    pixels_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    for (int y = 0; y < height_; ++y)
        std::memcpy(pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_),
                    image.pixels + static_cast<std::ptrdiff_t>(y) * image.pitch, static_cast<std::size_t>(width_));
    valid_ = true;
}

ChangedRows ShownPicture::Draw(const host::ScreenImage& image, const PixelLayout& layout, int left, int top, int scale,
                               const PixelTarget& target) {
    if (!target.pixels || target.width <= 0 || target.height <= 0) return {};
    scale = std::max(1, scale);
    // The image's record of writes holds when this is the image drawn last
    // time, and that was at the present the record starts from.
    const bool recorded = valid_ && image.written && seen_ == image.writtenSince && image.pixels == source_ &&
                          image.pitch == sourcePitch_;
    source_ = image.pixels;
    sourcePitch_ = image.pitch;
    seen_ = image.writtenSince + 1;
    if (!Matches(image, layout, left, top, scale, target)) {
        DrawPicture(image, layout, left, top, scale, target);
        Remember(image, layout, left, top, scale, target);
        changed_.assign(static_cast<std::size_t>(target.height), Columns{0, target.width});
        return ChangedRows{0, target.height, true};
    }
    changed_.assign(static_cast<std::size_t>(target.height), Columns{});
    const Span span = SpanOf(image.width, left, scale, target.width);
    if (span.columns <= 0) return {};
    std::uint32_t table[256];
    BuildColourTable(image.palette, layout, table);

    ChangedRows rows{target.height, 0};
    const int firstRow = std::max(0, FloorDiv(-top, scale));
    const int endRow = std::min(image.height, FloorDiv(target.height - 1 - top, scale) + 1);
    for (int sy = firstRow; sy < endRow; ++sy) {
        int lo = span.firstColumn, hi = span.firstColumn + span.columns;
        if (recorded) {
            const host::RowSpan& w = image.written[sy];
            lo = std::max(lo, w.from);
            hi = std::min(hi, w.to);
            if (lo >= hi) continue;
        }
        const std::uint8_t* src = image.pixels + static_cast<std::ptrdiff_t>(sy) * image.pitch;
        std::uint8_t* old = pixels_.data() + static_cast<std::size_t>(sy) * static_cast<std::size_t>(width_);
        int a = 0, b = 0;
        if (!FindChange(src + lo, old + lo, hi - lo, a, b)) continue;
        a += lo;
        b += lo;
        std::memcpy(old + a, src + a, static_cast<std::size_t>(b - a));
        // The changed columns in the target, cut at the picture's edges there.
        const long long from = static_cast<long long>(left) + static_cast<long long>(a) * scale;
        const int xs = static_cast<int>(std::max<long long>(span.x0, from));
        const int xe = static_cast<int>(std::min<long long>(span.x1, static_cast<long long>(left) + 1LL * b * scale));
        const int skip = static_cast<int>(xs - from);
        const int yTop = std::max(0, top + sy * scale), yEnd = std::min(target.height, top + (sy + 1) * scale);
        for (int y = yTop; y < yEnd; ++y) {
            std::uint32_t* out = reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(target.pixels) +
                                                                  static_cast<std::ptrdiff_t>(y) * target.pitch) +
                                 xs;
            if (scale == 1)
                ConvertRow(src + a, xe - xs, table, out);
            else
                WidenRow(src + a, b - a, table, scale, skip, out, xe - xs);
        }
        rows.top = std::min(rows.top, yTop);
        rows.bottom = std::max(rows.bottom, yEnd);
        for (int y = yTop; y < yEnd; ++y) changed_[static_cast<std::size_t>(y)] = Columns{xs, xe};
    }
    return rows.Empty() ? ChangedRows{} : rows;
}

namespace {

// Where target position i of `to` samples a line of `from` (centres aligned):
// the lower source index and the weight of the next one, 0..256. Outside the
// first and last centres the edge pixel is taken whole.
void Sample(int i, int from, int to, int& index, std::uint32_t& weight) {
    // (i + 1/2) * from / to - 1/2, in 256ths.
    long long pos = ((2LL * i + 1) * from * 256) / (2LL * to) - 128;
    if (pos <= 0) {
        index = 0;
        weight = 0;
        return;
    }
    index = static_cast<int>(pos >> 8);
    weight = static_cast<std::uint32_t>(pos & 255);
    if (index >= from - 1) {
        index = from - 1;
        weight = 0;
    }
}

// a + (b - a) * w / 256 for the four 8-bit channels, two at a time.
inline std::uint32_t Blend(std::uint32_t a, std::uint32_t b, std::uint32_t w) {
    const std::uint32_t v = 256 - w;
    std::uint32_t rb = ((a & 0x00FF00FFu) * v + (b & 0x00FF00FFu) * w) >> 8;
    std::uint32_t ag = ((a >> 8) & 0x00FF00FFu) * v + ((b >> 8) & 0x00FF00FFu) * w;
    return (rb & 0x00FF00FFu) | (ag & 0xFF00FF00u);
}

const std::uint32_t* RowOf(const PixelTarget& t, int y) {
    return reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(t.pixels) +
                                                  static_cast<std::ptrdiff_t>(y) * t.pitch);
}

}  // namespace

ChangedRows SmoothStretch(const PixelTarget& picture, const PixelTarget& target, int placeX, int placeY, int placeWidth,
                          int placeHeight, const ShownPicture& shown, StretchSteps& steps) {
    // The place is cut to the target; the picture is sampled as if whole.
    const int x0 = std::max(0, placeX), x1 = std::min(target.width, placeX + placeWidth);
    const int y0 = std::max(0, placeY), y1 = std::min(target.height, placeY + placeHeight);
    if (!picture.pixels || !target.pixels || picture.width <= 0 || picture.height <= 0 || x0 >= x1 || y0 >= y1)
        return {};
    if (steps.from != picture.width || steps.to != placeWidth) {
        steps.from = picture.width;
        steps.to = placeWidth;
        steps.index.resize(static_cast<std::size_t>(placeWidth));
        steps.weight.resize(static_cast<std::size_t>(placeWidth));
        steps.row.resize(static_cast<std::size_t>(picture.width));
        for (int i = 0; i < placeWidth; ++i)
            Sample(i, picture.width, placeWidth, steps.index[static_cast<std::size_t>(i)],
                   steps.weight[static_cast<std::size_t>(i)]);
    }
    std::uint32_t* blended = steps.row.data();
    ChangedRows rows{y1, y0};
    for (int y = y0; y < y1; ++y) {
        int sy = 0;
        std::uint32_t wy = 0;
        Sample(y - placeY, picture.height, placeHeight, sy, wy);
        const int sy1 = wy ? sy + 1 : sy;
        // The window columns to draw: those sampling a changed pixel of
        // either source row.
        int a0 = 0, a1 = 0, b0 = 0, b1 = 0;
        const bool a = shown.ChangedSpan(sy, a0, a1), b = sy1 != sy && shown.ChangedSpan(sy1, b0, b1);
        if (!a && !b) continue;
        const int c0 = !a ? b0 : !b ? a0 : std::min(a0, b0);
        const int c1 = !a ? b1 : !b ? a1 : std::max(a1, b1);
        // Column X samples index[X] and index[X] + 1.
        int from = placeX + static_cast<int>(std::lower_bound(steps.index.begin(), steps.index.end(), c0 - 1) -
                                             steps.index.begin());
        int to = placeX + static_cast<int>(std::upper_bound(steps.index.begin(), steps.index.end(), c1 - 1) -
                                           steps.index.begin());
        from = std::max(from, x0);
        to = std::min(to, x1);
        if (from >= to) continue;
        const int first = steps.index[static_cast<std::size_t>(from - placeX)];
        const int last = std::min(picture.width - 1, steps.index[static_cast<std::size_t>(to - 1 - placeX)] + 1);
        const std::uint32_t* upper = RowOf(picture, sy);
        const std::uint32_t* lower = RowOf(picture, sy1);
        for (int x = first; x <= last; ++x) blended[x] = Blend(upper[x], lower[x], wy);
        std::uint32_t* out = reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(target.pixels) +
                                                              static_cast<std::ptrdiff_t>(y) * target.pitch);
        for (int x = from; x < to; ++x) {
            const std::size_t i = static_cast<std::size_t>(x - placeX);
            const int c = steps.index[i];
            const std::uint32_t wx = steps.weight[i];
            out[x] = wx ? Blend(blended[c], blended[c + 1], wx) : blended[c];
        }
        rows.top = std::min(rows.top, y);
        rows.bottom = y + 1;
    }
    return rows.Empty() ? ChangedRows{} : rows;
}

int WholeScale(int pictureWidth, int pictureHeight, int placeWidth, int placeHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0) return 1;
    return std::max(1, std::min(placeWidth / pictureWidth, placeHeight / pictureHeight));
}

}  // namespace platform::video
