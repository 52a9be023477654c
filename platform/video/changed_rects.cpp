#include <algorithm>

#include "platform/host/host_picture.h"

namespace platform::video {
namespace {

// Pixels a rectangle more costs, as many drawn again: the request, and on X
// the server's round of the shared image's copy.
constexpr long long kRectCost = 4096;

long long Area(const PixelRect& r) { return static_cast<long long>(r.width) * r.height; }

PixelRect Union(const PixelRect& a, const PixelRect& b) {
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
    return PixelRect{x0, y0, x1 - x0, y1 - y0};
}

}  // namespace

int ChangedRects(const ShownPicture& shown, const ChangedRows& rows, PixelRect* out, int most) {
    if (most <= 0 || rows.Empty()) return 0;
    int count = 0;
    long long changed = 0;  // pixels changed in out[count - 1]
    for (int y = rows.top; y < rows.bottom; ++y) {
        int from = 0, to = 0;
        if (!shown.ChangedSpan(y, from, to)) continue;
        const PixelRect line{from, y, to - from, 1};
        if (count > 0) {
            PixelRect& last = out[count - 1];
            const PixelRect joined = Union(last, line);
            // Joined when that draws no more than a rectangle costs beyond
            // what changed, or when there is no room for another.
            if (count == most || Area(joined) - changed - line.width <= kRectCost) {
                last = joined;
                changed += line.width;
                continue;
            }
        }
        out[count++] = line;
        changed = line.width;
    }
    return count;
}

}  // namespace platform::video
