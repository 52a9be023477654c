// The pixel engine against the plain per-pixel rule, with no surface in the
// way: destination (x, y) of the rectangle `dest` takes the source pixel
// under its centre, ((2x' + 1) sw / (2 dw), (2y' + 1) sh / (2 dh)), mirrored
// on request, unless the source key covers it or the destination key does
// not cover what is there; only the piece asked for changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/ddraw/blit.h"

namespace {

using platform::ddraw::blit::Copy;
using platform::ddraw::blit::Key;

struct Picture {
    int width, height, bytes, pitch;
    std::vector<std::uint8_t> pixels;
    // Rows padded past their pixels, so a copier that walks by width
    // instead of pitch goes wrong.
    Picture(int w, int h, int b)
        : width(w), height(h), bytes(b), pitch(w * b + 6), pixels(static_cast<std::size_t>(pitch * h)) {}
    std::uint8_t* At(int x, int y) { return pixels.data() + y * pitch + x * bytes; }
    DWORD Get(int x, int y) {
        std::uint16_t v = 0;
        std::memcpy(&v, At(x, y), static_cast<std::size_t>(bytes));
        return v;
    }
    void Put(int x, int y, DWORD v) {
        auto w = static_cast<std::uint16_t>(v);
        std::memcpy(At(x, y), &w, static_cast<std::size_t>(bytes));
    }
};

// The rows a copy onto a picture on show reports written: [from, to), or
// none (from == to).
std::vector<std::pair<int, int>> written;
void Record(int y, int from, int to) {
    ASSERT_GE(y, 0);
    ASSERT_LT(static_cast<std::size_t>(y), written.size());
    ASSERT_EQ(written[static_cast<std::size_t>(y)].first, written[static_cast<std::size_t>(y)].second) << "twice " << y;
    written[static_cast<std::size_t>(y)] = {from, to};
}

// Every path inside (one to one, stretched, runs, gathered rows, one key
// or a range, a destination key, 8 and 16 bits, onto a picture on show or
// not) against the rule; on show, every pixel that changed lies in what its
// row reports, and nothing is reported outside the piece.
TEST(Blit, CopiesAgreeWithThePerPixelRule) {
    unsigned seed = 12345;
    auto next = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<unsigned>(n));
    };
    const int W = 40, H = 30;
    for (int round = 0; round < 600; ++round) {
        const int bytes = round % 3 == 2 ? 2 : 1;
        Picture src(W, H, bytes), dst(W, H, bytes);
        const DWORD high = bytes == 2 ? 256 : 0;  // 16-bit values use both bytes
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                src.Put(x, y, next(3) == 0 ? 7u : static_cast<DWORD>(20 + next(200)) + high * next(4));
                dst.Put(x, y, static_cast<DWORD>(next(5)));
            }
        Picture before = dst;

        Copy c{};
        c.srcPixels = src.pixels.data();
        c.srcPitch = src.pitch;
        c.dstPixels = dst.pixels.data();
        c.dstPitch = dst.pitch;
        c.bytesPerPixel = bytes;
        int sx = next(W - 1), sy = next(H - 1);
        c.src = RECT{sx, sy, sx + 1 + next(W - sx), sy + 1 + next(H - sy)};
        int dx = next(W + 20) - 10, dy = next(H + 20) - 10;
        c.dest = RECT{dx, dy, dx + 1 + next(50), dy + 1 + next(40)};
        c.mirrorX = next(2) != 0;
        c.mirrorY = next(2) != 0;
        switch (next(4)) {
            case 1: c.sourceKey = platform::ddraw::blit::KeyOf(DDCOLORKEY{7, 7}); break;
            case 2: c.sourceKey = Key{true, 5, 30}; break;
            case 3: c.destKey = Key{true, 1, 3}; break;
            default: break;
        }
        // The piece a clip rectangle and the picture leave of `dest`.
        RECT piece{std::max<LONG>(c.dest.left, 3), std::max<LONG>(c.dest.top, 2), std::min<LONG>(c.dest.right, 37),
                   std::min<LONG>(c.dest.bottom, 27)};
        if (piece.left >= piece.right || piece.top >= piece.bottom) continue;
        const bool onShow = (round / 3) % 2 == 1;
        written.assign(H, {0, 0});
        if (onShow) c.rowWritten = Record;
        platform::ddraw::blit::CopyPiece(c, piece);

        const long long sw = c.src.right - c.src.left, sh = c.src.bottom - c.src.top;
        const long long dw = c.dest.right - c.dest.left, dh = c.dest.bottom - c.dest.top;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                DWORD want = before.Get(x, y);
                if (x >= piece.left && x < piece.right && y >= piece.top && y < piece.bottom) {
                    long long i = (2 * (x - c.dest.left) + 1) * sw / (2 * dw);
                    long long j = (2 * (y - c.dest.top) + 1) * sh / (2 * dh);
                    long long px = c.mirrorX ? c.src.right - 1 - i : c.src.left + i;
                    long long py = c.mirrorY ? c.src.bottom - 1 - j : c.src.top + j;
                    DWORD v = src.Get(static_cast<int>(px), static_cast<int>(py));
                    if (!c.sourceKey.Hit(v) && (!c.destKey.on || c.destKey.Hit(want))) want = v;
                }
                ASSERT_EQ(dst.Get(x, y), want) << "round " << round << " at " << x << "," << y;
                const auto [from, to] = written[static_cast<std::size_t>(y)];
                if (onShow && want != before.Get(x, y)) {
                    ASSERT_TRUE(x >= from && x < to) << "unreported, round " << round << " at " << x << "," << y;
                }
            }
        for (int y = 0; y < H; ++y) {
            const auto [from, to] = written[static_cast<std::size_t>(y)];
            if (from < to) {
                ASSERT_TRUE(y >= piece.top && y < piece.bottom && from >= piece.left && to <= piece.right)
                    << "round " << round << " row " << y;
            }
        }
        for (int y = 0; y < H; ++y) ASSERT_EQ(std::memcmp(dst.At(W, y), before.At(W, y), 6), 0) << "round " << round;
    }
}

// A frame shrunk by a column onto the screen (a window a little smaller
// than the picture) takes the path that compares run by run: the same
// pixels as a plain copy, and exactly the changed columns reported.
TEST(Blit, AShrinkOnShowWritesWhatAPlainCopyWritesAndReportsItExactly) {
    Picture src(100, 3, 1), plain(99, 3, 1), shown(99, 3, 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 100; ++x) src.Put(x, y, static_cast<DWORD>((x * 7 + y) % 250));
    Copy c{};
    c.srcPixels = src.pixels.data();
    c.srcPitch = src.pitch;
    c.bytesPerPixel = 1;
    c.src = RECT{0, 0, 100, 3};
    c.dest = RECT{0, 0, 99, 3};
    c.dstPitch = plain.pitch;
    c.dstPixels = plain.pixels.data();
    platform::ddraw::blit::CopyPiece(c, c.dest);
    shown = plain;
    src.Put(10, 1, 251);  // row 1 changes at columns 10 and 80 (the dropped column lies between)
    src.Put(81, 1, 252);
    c.dstPixels = plain.pixels.data();
    platform::ddraw::blit::CopyPiece(c, c.dest);
    written.assign(3, {0, 0});
    c.dstPixels = shown.pixels.data();
    c.rowWritten = Record;
    platform::ddraw::blit::CopyPiece(c, c.dest);
    EXPECT_EQ(shown.pixels, plain.pixels);
    EXPECT_EQ(written[0], (std::pair<int, int>{0, 0}));
    EXPECT_EQ(written[1], (std::pair<int, int>{10, 81}));
    EXPECT_EQ(written[2], (std::pair<int, int>{0, 0}));
}

// Every width up to past the narrow rows' limit, in both depths.
TEST(Blit, AFillWritesItsRectangleOnly) {
    for (int bytes : {1, 2})
        for (LONG width = 0; width <= 20; ++width) {
            Picture p(24, 5, bytes);
            platform::ddraw::blit::Fill(p.pixels.data(), p.pitch, bytes, RECT{2, 1, 2 + width, 4}, 0x1234);
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 24; ++x) {
                    bool inside = x >= 2 && x < 2 + width && y >= 1 && y < 4;
                    ASSERT_EQ(p.Get(x, y), inside ? (bytes == 2 ? 0x1234u : 0x34u) : 0u)
                        << bytes << " " << width << " " << x << "," << y;
                }
        }
}

}  // namespace
