#include "pixel_art.h"

#include <cstdlib>

namespace sheet {

void View::Fill(int x, int y, int w, int h, std::uint8_t c) {
    for (int yy = y; yy < y + h; ++yy)
        for (int xx = x; xx < x + w; ++xx) Set(xx, yy, c);
}

void View::Line(int x0, int y0, int x1, int y1, std::uint8_t c) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        Set(x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void View::Bevel(int x, int y, int w, int h, std::uint8_t topLeft, std::uint8_t bottomRight) {
    HLine(x, x + w - 1, y, topLeft);
    VLine(x, y, y + h - 1, topLeft);
    HLine(x + 1, x + w - 1, y + h - 1, bottomRight);
    VLine(x + w - 1, y + 1, y + h - 1, bottomRight);
}

void Paint(View& v, int x, int y, std::initializer_list<std::string_view> rows, std::initializer_list<Ink> legend) {
    int row = 0;
    for (std::string_view text : rows) {
        const int n = static_cast<int>(text.size());
        for (int i = 0; i < n; ++i) {
            const char ch = text[static_cast<std::size_t>(i)];
            for (const Ink& ink : legend)
                if (ink.key == ch) v.Set(x + i, y + row, ink.colour);
        }
        ++row;
    }
}

int ISqrt(int n) {
    if (n <= 0) return 0;
    int r = 0;
    while ((r + 1) * (r + 1) <= n) ++r;
    return r;
}

std::pair<int, int> Direction32(int k) {
    // cos(2*pi*i/32) * 1024 for i = 0..8.
    static constexpr int kQuarter[9] = {1024, 1004, 946, 851, 724, 569, 392, 200, 0};
    k &= 31;
    auto cosine = [](int i) {
        i &= 31;
        if (i <= 8) return kQuarter[i];
        if (i <= 16) return -kQuarter[16 - i];
        if (i <= 24) return -kQuarter[i - 16];
        return kQuarter[32 - i];
    };
    return {cosine(k), cosine(k - 8)};
}

}  // namespace sheet
