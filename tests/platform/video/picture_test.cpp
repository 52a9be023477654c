// The present's one pass: 8-bit pictures through the palette into 32-bit
// window pixels, at whole scales, cut at the window's edges, black around.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/host/host_picture.h"

namespace {

using platform::video::DrawPicture;
using platform::video::PixelLayout;
using platform::video::PixelTarget;

constexpr std::uint32_t kBlack = 0xFF000000u;

struct Picture {
    int width, height, pitch;
    std::vector<std::uint8_t> pixels;
    std::vector<PALETTEENTRY> palette = std::vector<PALETTEENTRY>(256);
    Picture(int w, int h) : width(w), height(h), pitch((w + 3) & ~3), pixels(static_cast<std::size_t>(pitch * h), 0) {
        for (int i = 0; i < 256; ++i)
            palette[static_cast<std::size_t>(i)] = PALETTEENTRY{BYTE(i), BYTE(255 - i), BYTE(i * 7), 0};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) At(x, y) = static_cast<std::uint8_t>(1 + x * 16 + y * 3);
    }
    std::uint8_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y * pitch + x)]; }
    host::ScreenImage Image() const { return host::ScreenImage{pixels.data(), pitch, width, height, palette.data()}; }
    std::uint32_t Colour(int x, int y) const {
        const PALETTEENTRY& e = palette[pixels[static_cast<std::size_t>(y * pitch + x)]];
        return kBlack | std::uint32_t{e.peRed} << 16 | std::uint32_t{e.peGreen} << 8 | e.peBlue;
    }
};

struct Window {
    int width, height, pitchPixels;
    std::vector<std::uint32_t> pixels;
    // A pitch wider than the window, and junk everywhere, so that rows and
    // untouched pixels show.
    Window(int w, int h)
        : width(w), height(h), pitchPixels(w + 5), pixels(static_cast<std::size_t>((w + 5) * h), 0x12345678u) {}
    PixelTarget Target() { return PixelTarget{pixels.data(), pitchPixels * 4, width, height}; }
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * pitchPixels + x)]; }
};

TEST(Present, EveryPixelGoesThroughThePaletteAtScaleOne) {
    // 13 columns: the eight-at-a-time loop and the pixels after it.
    Picture p(13, 4);
    Window w(13, 4);
    DrawPicture(p.Image(), PixelLayout{}, 0, 0, 1, w.Target());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 13; ++x) ASSERT_EQ(w.At(x, y), p.Colour(x, y)) << x << "," << y;
    // Past each row's width the pitch's padding is left alone.
    EXPECT_EQ(w.pixels[13], 0x12345678u);
}

TEST(Present, TheLayoutPlacesTheChannelsAndFillsTheRest) {
    Picture p(2, 1);
    p.palette[p.At(0, 0)] = PALETTEENTRY{0x11, 0x22, 0x33, 0};
    Window w(2, 1);
    PixelLayout bgr;
    bgr.redMask = 0x000000FFu;
    bgr.greenMask = 0x0000FF00u;
    bgr.blueMask = 0x00FF0000u;
    bgr.alpha = 0;
    DrawPicture(p.Image(), bgr, 0, 0, 1, w.Target());
    EXPECT_EQ(w.At(0, 0), 0x00332211u);
}

TEST(Present, ANarrowMaskTakesTheTopBitsOfItsChannel) {
    // An 8-bit true-colour screen: 3 bits of red, 3 of green, 2 of blue.
    PALETTEENTRY palette[256] = {};
    palette[5] = PALETTEENTRY{0xFF, 0x80, 0x40, 0};
    std::uint32_t table[256];
    platform::video::BuildColourTable(palette, PixelLayout{0xE0u, 0x1Cu, 0x03u, 0}, table);
    EXPECT_EQ(table[5], 0xE0u | (4u << 2) | 1u);
    EXPECT_EQ(table[0], 0u);
}

TEST(Present, AWholeScaleMakesEachPixelASquareCentredInBlack) {
    Picture p(3, 2);
    Window w(10, 7);
    DrawPicture(p.Image(), PixelLayout{}, 2, 1, 2, w.Target());
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 10; ++x) {
            bool inside = x >= 2 && x < 8 && y >= 1 && y < 5;
            std::uint32_t want = inside ? p.Colour((x - 2) / 2, (y - 1) / 2) : kBlack;
            ASSERT_EQ(w.At(x, y), want) << x << "," << y;
        }
}

TEST(Present, APictureOverTheWindowsEdgesIsCutOffThere) {
    // Left and top off the window, at scale 3: the first visible column is
    // the last third of source column 0.
    Picture p(4, 3);
    Window w(8, 5);
    DrawPicture(p.Image(), PixelLayout{}, -2, -4, 3, w.Target());
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 8; ++x) {
            int sx = (x + 2) / 3, sy = (y + 4) / 3;
            std::uint32_t want = sx < 4 && sy < 3 ? p.Colour(sx, sy) : kBlack;
            ASSERT_EQ(w.At(x, y), want) << x << "," << y;
        }
    // Entirely off the window: all black, nothing read.
    Window off(4, 4);
    DrawPicture(p.Image(), PixelLayout{}, 50, 0, 1, off.Target());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) ASSERT_EQ(off.At(x, y), kBlack);
}

// The present from one frame to the next: only what changed is drawn, and
// what the window then shows is what a whole draw would show.
class ShownPictureTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kJunk = 0xDEADBEEFu;
    // Draws through `shown` and checks the window against a whole draw of
    // the same picture.
    platform::video::ChangedRows DrawAndCompare(const Picture& p, Window& w, int left, int top, int scale) {
        platform::video::ChangedRows rows = shown.Draw(p.Image(), PixelLayout{}, left, top, scale, w.Target());
        Window whole(w.width, w.height);
        DrawPicture(p.Image(), PixelLayout{}, left, top, scale, whole.Target());
        for (int y = 0; y < w.height; ++y)
            for (int x = 0; x < w.width; ++x) EXPECT_EQ(w.At(x, y), whole.At(x, y)) << x << "," << y;
        return rows;
    }
    platform::video::ShownPicture shown;
};

TEST_F(ShownPictureTest, OnlyTheChangedPixelsAreDrawnAndTheirRowsReported) {
    Picture p(20, 6);
    Window w(20, 6);
    platform::video::ChangedRows rows = DrawAndCompare(p, w, 0, 0, 1);
    EXPECT_EQ(rows.top, 0);
    EXPECT_EQ(rows.bottom, 6);

    // Nothing changed: nothing drawn, no rows.
    w.pixels[0] = kJunk;
    EXPECT_TRUE(shown.Draw(p.Image(), PixelLayout{}, 0, 0, 1, w.Target()).Empty());
    EXPECT_EQ(w.pixels[0], kJunk);

    // Two pixels of row 3, far apart (the second one in the last eight
    // bytes), and one of row 4: rows 3 and 4, and the pixels of row 3
    // between them, are drawn; the rest is left alone.
    p.At(2, 3) = 200;
    p.At(17, 3) = 201;
    p.At(9, 4) = 202;
    rows = shown.Draw(p.Image(), PixelLayout{}, 0, 0, 1, w.Target());
    EXPECT_EQ(rows.top, 3);
    EXPECT_EQ(rows.bottom, 5);
    EXPECT_EQ(w.At(2, 3), p.Colour(2, 3));
    EXPECT_EQ(w.At(17, 3), p.Colour(17, 3));
    EXPECT_EQ(w.At(9, 4), p.Colour(9, 4));
    EXPECT_EQ(w.pixels[0], kJunk);
    EXPECT_EQ(w.At(1, 3), p.Colour(1, 3));  // from the first draw
}

// With the screen's record of what was written since the present drawn
// last, only what it names is compared; a record that starts at another
// present, or another image, is not trusted.
TEST_F(ShownPictureTest, ARecordOfWritesLimitsTheComparisonToWhatItNames) {
    Picture p(20, 6);
    Window w(20, 6);
    std::vector<host::RowSpan> written(6);
    host::ScreenImage image = p.Image();
    image.written = written.data();
    image.writtenSince = 7;
    shown.Draw(image, PixelLayout{}, 0, 0, 1, w.Target());
    const std::uint32_t before = w.At(15, 4);
    p.At(3, 2) = 200;
    p.At(15, 4) = 201;  // not in the record
    written[2] = host::RowSpan{2, 5};
    image.writtenSince = 8;
    platform::video::ChangedRows rows = shown.Draw(image, PixelLayout{}, 0, 0, 1, w.Target());
    EXPECT_EQ(rows.top, 2);
    EXPECT_EQ(rows.bottom, 3);
    EXPECT_EQ(w.At(3, 2), p.Colour(3, 2));
    EXPECT_EQ(w.At(15, 4), before);

    image.writtenSince = 10;  // a present this picture missed
    rows = shown.Draw(image, PixelLayout{}, 0, 0, 1, w.Target());
    EXPECT_EQ(rows.top, 4);
    EXPECT_EQ(rows.bottom, 5);
    EXPECT_EQ(w.At(15, 4), p.Colour(15, 4));

    p.At(5, 1) = 99;
    Picture moved = p;  // the same pixels elsewhere: a window moved on the desktop
    host::ScreenImage other = moved.Image();
    other.written = written.data();
    other.writtenSince = 11;
    rows = shown.Draw(other, PixelLayout{}, 0, 0, 1, w.Target());
    EXPECT_EQ(rows.top, 1);
    EXPECT_EQ(w.At(5, 1), p.Colour(5, 1));
}

// What goes to the screen after a draw: every changed pixel inside a
// rectangle, few of them, and no vast one for two small changes far apart.
TEST_F(ShownPictureTest, TheChangesGoToTheScreenAsAFewRectangles) {
    using platform::video::PixelRect;
    Picture p(640, 480);
    Window w(2560, 1920);
    PixelRect rects[8];
    // A whole draw is one rectangle, the whole target (the page relies on it).
    ASSERT_EQ(platform::video::ChangedRects(shown, shown.Draw(p.Image(), PixelLayout{}, 0, 0, 4, w.Target()), rects, 8),
              1);
    EXPECT_TRUE(rects[0].x == 0 && rects[0].y == 0 && rects[0].width == 2560 && rects[0].height == 1920);
    // Two 8x8 stars at opposite corners, and one pixel beside the first.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            p.At(10 + x, 10 + y) = 250;
            p.At(600 + x, 460 + y) = 251;
        }
    p.At(20, 12) = 252;
    platform::video::ChangedRows rows = shown.Draw(p.Image(), PixelLayout{}, 0, 0, 4, w.Target());
    int n = platform::video::ChangedRects(shown, rows, rects, 8);
    ASSERT_EQ(n, 2);
    long long area = 0;
    for (int i = 0; i < n; ++i) area += static_cast<long long>(rects[i].width) * rects[i].height;
    EXPECT_LE(area, 2 * 44 * 32 + 4096) << "near what changed";
    auto covered = [&](int x, int y) {
        for (int i = 0; i < n; ++i)
            if (x >= rects[i].x && x < rects[i].x + rects[i].width && y >= rects[i].y &&
                y < rects[i].y + rects[i].height)
                return true;
        return false;
    };
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_TRUE(covered(4 * (10 + x), 4 * (10 + y)) && covered(4 * (10 + x) + 3, 4 * (10 + y) + 3));
            EXPECT_TRUE(covered(4 * (600 + x), 4 * (460 + y)) && covered(4 * (600 + x) + 3, 4 * (460 + y) + 3));
        }
    EXPECT_TRUE(covered(83, 51));
    // With room for one only, that one holds both.
    n = platform::video::ChangedRects(shown, rows, rects, 1);
    ASSERT_EQ(n, 1);
    EXPECT_TRUE(covered(40, 40) && covered(2400, 1850));
    EXPECT_EQ(platform::video::ChangedRects(shown, platform::video::ChangedRows{}, rects, 8), 0);
}

TEST_F(ShownPictureTest, AnotherPaletteOrPlaceOrAForgottenTargetIsDrawnWhole) {
    Picture p(8, 4);
    Window w(8, 4);
    DrawAndCompare(p, w, 0, 0, 1);
    p.palette[5].peRed ^= 0xFF;
    w.pixels[0] = kJunk;
    EXPECT_EQ(DrawAndCompare(p, w, 0, 0, 1).bottom, 4);

    w.pixels[0] = kJunk;
    EXPECT_EQ(DrawAndCompare(p, w, 1, 0, 1).bottom, 4);

    // The same pixels taken as a narrower window.
    PixelTarget narrower = w.Target();
    narrower.width = 6;
    EXPECT_EQ(shown.Draw(p.Image(), PixelLayout{}, 1, 0, 1, narrower).bottom, 4);

    w.pixels[0] = kJunk;
    shown.Forget();
    EXPECT_EQ(DrawAndCompare(p, w, 1, 0, 1).bottom, 4);
}

TEST_F(ShownPictureTest, ChangesAtWholeScalesAndCutEdgesDrawAsAWholeDrawWould) {
    // A picture over the window's left and top edges at scale 3, changed a
    // few pixels at a time for many frames, at the cut edges too.
    Picture p(12, 7);
    Window w(30, 17);
    DrawAndCompare(p, w, -2, -4, 3);
    // The first column shows only its last third.
    p.At(0, 3) = 77;
    p.At(1, 3) = 78;
    DrawAndCompare(p, w, -2, -4, 3);
    unsigned seed = 12345;
    for (int frame = 0; frame < 40; ++frame) {
        for (int k = 0; k < 3; ++k) {
            seed = seed * 1103515245u + 12345u;
            p.At(static_cast<int>(seed >> 8) % 12, static_cast<int>(seed >> 20) % 7) = static_cast<std::uint8_t>(seed);
        }
        platform::video::ChangedRows rows = DrawAndCompare(p, w, -2, -4, 3);
        if (!rows.Empty()) {
            EXPECT_EQ((rows.top + 4) % 3 == 0 || rows.top == 0, true) << "rows start at a source row";
            EXPECT_LE(rows.bottom, 17);
        }
        if (HasFailure()) break;
    }
}

// The smooth last step of a present into a window that is no whole multiple
// of the picture.
class SmoothStretchTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kJunk = 0xDEADBEEFu;
    // The picture at scale 1 in 32-bit pixels, drawn through `shown`.
    Picture picture{13, 9};
    Window staging{13, 9};
    platform::video::ShownPicture shown;
    platform::video::StretchSteps steps;

    platform::video::ChangedRows Stretch(Window& w, int x, int y, int width, int height) {
        return platform::video::SmoothStretch(staging.Target(), w.Target(), x, y, width, height, shown, steps);
    }
};

TEST_F(SmoothStretchTest, OnlyWhatChangedIsDrawnAgainAndItMatchesAWholeStretch) {
    Window partial(40, 30), fresh(40, 30);
    ASSERT_TRUE(shown.Draw(picture.Image(), PixelLayout{}, 0, 0, 1, staging.Target()).whole);
    Stretch(partial, 3, 2, 32, 23);
    unsigned seed = 99;
    for (int frame = 0; frame < 60; ++frame) {
        for (int k = 0; k < 2; ++k) {
            seed = seed * 1103515245u + 12345u;
            picture.At(static_cast<int>(seed >> 8) % 13, static_cast<int>(seed >> 20) % 9) =
                static_cast<std::uint8_t>(seed >> 3);
        }
        platform::video::ChangedRows rows = shown.Draw(picture.Image(), PixelLayout{}, 0, 0, 1, staging.Target());
        ASSERT_FALSE(rows.whole);
        Stretch(partial, 3, 2, 32, 23);
        // A whole stretch of the same picture, from a picture drawn anew.
        platform::video::ShownPicture all;
        Window copy(13, 9);
        ASSERT_TRUE(all.Draw(picture.Image(), PixelLayout{}, 0, 0, 1, copy.Target()).whole);
        platform::video::StretchSteps own;
        platform::video::SmoothStretch(copy.Target(), fresh.Target(), 3, 2, 32, 23, all, own);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(partial.At(x, y), fresh.At(x, y)) << x << "," << y << " frame " << frame;
    }
    // Nothing changed: nothing drawn.
    shown.Draw(picture.Image(), PixelLayout{}, 0, 0, 1, staging.Target());
    partial.pixels[static_cast<std::size_t>(5 * partial.pitchPixels + 10)] = kJunk;
    EXPECT_TRUE(Stretch(partial, 3, 2, 32, 23).Empty());
    EXPECT_EQ(partial.At(10, 5), kJunk);
}

TEST_F(SmoothStretchTest, CornersKeepTheirPixelsAndBetweenThemColoursBlend) {
    Window w(40, 30);
    shown.Draw(picture.Image(), PixelLayout{}, 0, 0, 1, staging.Target());
    platform::video::ChangedRows rows = Stretch(w, 3, 2, 32, 23);
    EXPECT_EQ(rows.top, 2);
    EXPECT_EQ(rows.bottom, 25);
    EXPECT_EQ(w.At(3, 2), picture.Colour(0, 0));
    EXPECT_EQ(w.At(34, 24), picture.Colour(12, 8));
    // Outside the place nothing is written.
    EXPECT_EQ(w.At(2, 2), 0x12345678u);
    EXPECT_EQ(w.At(35, 24), 0x12345678u);
    EXPECT_EQ(w.At(3, 25), 0x12345678u);
    // The top row shows source row 0, whose indices (and so reds) rise and
    // greens fall from left to right: blending keeps both in order.
    for (int x = 4; x < 35; ++x) {
        EXPECT_GE((w.At(x, 2) >> 16) & 255, (w.At(x - 1, 2) >> 16) & 255) << x;
        EXPECT_LE((w.At(x, 2) >> 8) & 255, (w.At(x - 1, 2) >> 8) & 255) << x;
    }
    EXPECT_NE(w.At(18, 2), picture.Colour(6, 0)) << "a blend, not the nearest pixel";
}

TEST_F(SmoothStretchTest, APlaceOverTheWindowsEdgeIsCutThere) {
    // A uniform picture stays exactly uniform, however it is cut.
    for (auto& v : picture.pixels) v = 9;
    Window w(20, 12);
    shown.Draw(picture.Image(), PixelLayout{}, 0, 0, 1, staging.Target());
    Stretch(w, -7, -5, 32, 23);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(w.At(x, y), picture.Colour(0, 0)) << x << "," << y;
    EXPECT_EQ(w.pixels[20], 0x12345678u);  // the pitch's padding
}

TEST(Present, TheWholeScaleIsTheLargestThatFits) {
    EXPECT_EQ(platform::video::WholeScale(640, 480, 640, 480), 1);
    EXPECT_EQ(platform::video::WholeScale(640, 480, 1280, 960), 2);
    EXPECT_EQ(platform::video::WholeScale(640, 480, 1279, 960), 1);
    EXPECT_EQ(platform::video::WholeScale(640, 480, 1920, 1440), 3);
    EXPECT_EQ(platform::video::WholeScale(640, 480, 1024, 768), 1);
    EXPECT_EQ(platform::video::WholeScale(640, 480, 320, 240), 1);  // never below one
}

}  // namespace
