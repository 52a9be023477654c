// The drawing operations on the display's surfaces, and their edge cases.
#include "tests/graphics/display_fixture.h"

#include <algorithm>

namespace {

class DrawTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        Create(false);
        ClearSurface(display.canvas, 0);
        platform::ClearTrace();
    }

    std::vector<std::pair<int, int>> Written(LPDIRECTDRAWSURFACE s, int width, int height, BYTE index) {
        std::vector<std::pair<int, int>> points;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (Pixel(s, x, y) == index) points.emplace_back(x, y);
        return points;
    }
    using Points = std::vector<std::pair<int, int>>;
};

TEST_F(DrawTest, ClearThenReadGivesTheIndexEverywhere) {
    ClearSurface(display.canvas, 0);
    EXPECT_EQ(ReadPixel(display.canvas, 0, 0), 0);
    EXPECT_EQ(ReadPixel(display.canvas, 639, 479), 0);
    EXPECT_EQ(ClearSurface(display.canvas, 200), 1);
    EXPECT_EQ(ReadPixel(display.canvas, 320, 240), 200);
}

TEST_F(DrawTest, AbsentSurfacesAndPalettesDoNothing) {
    EXPECT_EQ(ClearSurface(nullptr, 1), 0);
    EXPECT_EQ(FillRect(nullptr, 0, 0, 1, 1, 1), 0);
    EXPECT_EQ(FrameRect(nullptr, 0, 0, 1, 1, 1), 0);
    EXPECT_EQ(CopyKeyed(nullptr, 0, 0, 1, 1, display.canvas, 0, 0), 0);
    EXPECT_EQ(CopyOpaque(display.canvas, 0, 0, 1, 1, nullptr, 0, 0), 0);
    EXPECT_EQ(StretchKeyed(nullptr, 0, 0, 1, 1, display.canvas, 0, 0, 1, 1), 0);
    EXPECT_EQ(StretchMirrored(display.canvas, 0, 0, 1, 1, nullptr, 0, 0, 1, 1, 3), 0);
    EXPECT_EQ(PutPixel(nullptr, 0, 0, 1), 0);
    EXPECT_EQ(ReadPixel(nullptr, 0, 0), 0);
    EXPECT_EQ(FillPattern(nullptr, 0, 0, 1, 1, 1, 1, 1), 0);
    EXPECT_EQ(CopyPattern(display.canvas, 0, 0, 1, 1, nullptr, 0, 0, 1, 1), 0);
    EXPECT_EQ(ReplaceIndex(nullptr, 0, 0, 1, 1, 0, 1), 0);
    EXPECT_EQ(DrawLine(nullptr, 0, 0, 1, 1, 1), 0);
    PALETTEENTRY entries[256] = {};
    EXPECT_EQ(LoadPaletteEntries(nullptr, entries), 0);
    EXPECT_EQ(LoadPaletteRange(nullptr, entries, 0, 1), 0);
    EXPECT_EQ(SetPaletteColor(nullptr, 0, 0, entries), 0);
    EXPECT_TRUE(platform::TracedCalls().empty());
}

TEST_F(DrawTest, FrameRectColoursExactlyTheBorder) {
    EXPECT_EQ(FrameRect(display.canvas, 10, 10, 5, 3, 9), 1);
    Points expected;
    for (int y = 10; y <= 12; ++y)
        for (int x = 10; x <= 14; ++x)
            if (y == 10 || y == 12 || x == 10 || x == 14) expected.emplace_back(x, y);
    EXPECT_EQ(Written(display.canvas, 20, 20, 9), expected);
    EXPECT_EQ(Count("IDirectDrawSurface::Blt"), 4);
}

TEST_F(DrawTest, FrameRectGoesOnAfterAFailedEdge) {
    Fail("IDirectDrawSurface::Blt", DDERR_INVALIDRECT);
    EXPECT_EQ(FrameRect(display.canvas, 10, 10, 5, 3, 9), 1);
    EXPECT_EQ(Count("IDirectDrawSurface::Blt"), 4);
    EXPECT_EQ(Pixel(display.canvas, 11, 10), 0);  // the top edge failed
    EXPECT_EQ(Pixel(display.canvas, 11, 12), 9);
}

TEST_F(DrawTest, FillsOnTheCanvasAreClippedToIt) {
    EXPECT_EQ(FillRect(display.canvas, -10, -10, 20, 20, 4), 1);
    EXPECT_EQ(Pixel(display.canvas, 9, 9), 4);
    EXPECT_EQ(Pixel(display.canvas, 10, 10), 0);
    EXPECT_EQ(FillRect(display.canvas, 630, 470, 100, 100, 5), 1);
    EXPECT_EQ(Pixel(display.canvas, 639, 479), 5);
    EXPECT_EQ(FillRect(display.canvas, 700, 0, 10, 10, 6), 1);  // wholly outside: nothing to do
}

TEST_F(DrawTest, WithoutAClipperDirectDrawRefusesRectanglesOutsideTheSurface) {
    LPDIRECTDRAWSURFACE well = nullptr;
    ASSERT_EQ(CreateWorkSurface(&well, 512, 336), 1);
    EXPECT_EQ(FillRect(well, 500, 0, 20, 16, 3), 0);
    EXPECT_EQ(Pixel(well, 505, 0), 0);
    EXPECT_EQ(FillRect(well, 64, 64, 128, 16, 3), 1);
    EXPECT_EQ(CopyOpaque(well, 0, 0, 16, 16, well, 500, 0), 0);
    EXPECT_EQ(StretchKeyed(display.canvas, 0, 0, 16, 16, well, -8, 0, 16, 16), 0);
}

TEST_F(DrawTest, CreateWorkSurfaceClearsToZeroAndHonoursSystemMemory) {
    LPDIRECTDRAWSURFACE work = nullptr;
    launchOptions.systemMemory = 1;
    ASSERT_EQ(CreateWorkSurface(&work, 512, 336), 1);
    EXPECT_EQ(Pixel(work, 0, 0), 0);
    EXPECT_EQ(Pixel(work, 511, 335), 0);
    DDSCAPS caps{};
    work->GetCaps(&caps);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY);
    Fail("IDirectDraw::CreateSurface", DDERR_OUTOFMEMORY);
    LPDIRECTDRAWSURFACE none = reinterpret_cast<LPDIRECTDRAWSURFACE>(1);
    EXPECT_EQ(CreateWorkSurface(&none, 8, 8), 0);
    EXPECT_EQ(none, nullptr);
}

TEST_F(DrawTest, StretchKeyedDoublesASpriteAndLeavesKeyedPixelsAlone) {
    LPDIRECTDRAWSURFACE sprite = nullptr;
    ASSERT_EQ(CreateWorkSurface(&sprite, 16, 16), 1);
    SetSourceColorKey(sprite, RGB(0, 0, 0));  // pixel value 0
    FillRect(sprite, 0, 0, 8, 16, 50);        // left half opaque, right half keyed
    ClearSurface(display.canvas, 7);
    EXPECT_EQ(StretchKeyed(sprite, 0, 0, 16, 16, display.canvas, 100, 100, 32, 32), 1);
    EXPECT_EQ(Pixel(display.canvas, 100, 100), 50);
    EXPECT_EQ(Pixel(display.canvas, 115, 131), 50);
    EXPECT_EQ(Pixel(display.canvas, 116, 100), 7);
    EXPECT_EQ(Pixel(display.canvas, 131, 131), 7);
    EXPECT_EQ(Pixel(display.canvas, 99, 100), 7);
    EXPECT_EQ(Pixel(display.canvas, 100, 132), 7);
}

TEST_F(DrawTest, StretchKeyedShrinksAndClipsAtTheEdges) {
    LPDIRECTDRAWSURFACE sprite = nullptr;
    ASSERT_EQ(CreateWorkSurface(&sprite, 32, 32), 1);
    SetSourceColorKey(sprite, RGB(0, 0, 0));  // a keyed blit needs a key, as every sprite has one
    for (int x = 0; x < 32; ++x) FillRect(sprite, x, 0, 1, 32, 100 + x);
    EXPECT_EQ(StretchKeyed(sprite, 0, 0, 32, 32, display.canvas, -4, 0, 16, 16), 1);
    // Destination column c shows the source column under its centre, (c + 4) * 2 + 1.
    EXPECT_EQ(Pixel(display.canvas, 0, 0), 109);
    EXPECT_EQ(Pixel(display.canvas, 11, 15), 131);
    EXPECT_EQ(Pixel(display.canvas, 12, 0), 0);
}

TEST_F(DrawTest, StretchMirroredTurnsTheSpriteOver) {
    LPDIRECTDRAWSURFACE sprite = nullptr;
    ASSERT_EQ(CreateWorkSurface(&sprite, 4, 4), 1);
    SetSourceColorKey(sprite, RGB(0, 0, 0));
    for (int x = 0; x < 4; ++x) FillRect(sprite, x, 0, 1, 4, 20 + x);
    FillRect(sprite, 0, 0, 4, 1, 99);  // top row
    EXPECT_EQ(StretchMirrored(sprite, 0, 0, 4, 4, display.canvas, 0, 0, 4, 4, 1), 1);
    EXPECT_EQ(Pixel(display.canvas, 0, 1), 23);
    EXPECT_EQ(Pixel(display.canvas, 3, 1), 20);
    EXPECT_EQ(Pixel(display.canvas, 0, 0), 99);
    EXPECT_EQ(StretchMirrored(sprite, 0, 0, 4, 4, display.canvas, 0, 0, 4, 4, 2), 1);
    EXPECT_EQ(Pixel(display.canvas, 0, 3), 99);
    EXPECT_EQ(Pixel(display.canvas, 0, 0), 20);
}

TEST_F(DrawTest, CopyOpaqueMovesStripsWithinOneSurface) {
    LPDIRECTDRAWSURFACE well = nullptr;
    ASSERT_EQ(CreateWorkSurface(&well, 512, 336), 1);
    FillRect(well, 64, 64, 128, 16, 5);
    FillRect(well, 64, 80, 128, 16, 6);
    EXPECT_EQ(CopyOpaque(well, 64, 80, 128, 16, well, 64, 96), 1);
    EXPECT_EQ(CopyOpaque(well, 64, 64, 128, 16, well, 64, 80), 1);
    EXPECT_EQ(Pixel(well, 64, 80), 5);
    EXPECT_EQ(Pixel(well, 191, 111), 6);
    // Overlapping copies come out as if made at once.
    EXPECT_EQ(CopyOpaque(well, 64, 64, 128, 32, well, 64, 72), 1);
    EXPECT_EQ(Pixel(well, 64, 72), 5);
    EXPECT_EQ(Pixel(well, 64, 88), 5);
    EXPECT_EQ(Pixel(well, 64, 103), 5);
}

TEST_F(DrawTest, CopyKeyedSkipsTheSourceKey) {
    LPDIRECTDRAWSURFACE tile = nullptr, target = nullptr;
    ASSERT_EQ(CreateWorkSurface(&tile, 16, 16), 1);
    ASSERT_EQ(CreateWorkSurface(&target, 64, 64), 1);
    SetSourceColorKey(tile, RGB(0, 0, 0));
    FillRect(tile, 4, 4, 8, 8, 77);
    ClearSurface(target, 3);
    EXPECT_EQ(CopyKeyed(tile, 0, 0, 16, 16, target, 10, 10), 1);
    EXPECT_EQ(Pixel(target, 10, 10), 3);
    EXPECT_EQ(Pixel(target, 14, 14), 77);
    // BltFast cannot clip: onto the canvas, which has a clipper, it is refused.
    EXPECT_EQ(CopyKeyed(tile, 0, 0, 16, 16, display.canvas, 0, 0), 0);
}

TEST_F(DrawTest, FillPatternStepsFromTheTopLeftCorner) {
    EXPECT_EQ(FillPattern(display.canvas, 0, 0, 4, 4, 2, 2, 8), 1);
    EXPECT_EQ(Written(display.canvas, 6, 6, 8), (Points{{0, 0}, {2, 0}, {0, 2}, {2, 2}}));
    ClearSurface(display.canvas, 0);
    EXPECT_EQ(FillPattern(display.canvas, 0, 0, 4, 4, 0, 0, 8), 1);
    EXPECT_EQ(Written(display.canvas, 6, 6, 8).size(), 16u);
}

TEST_F(DrawTest, LockedOperationsStayInsideASmallerSurface) {
    LPDIRECTDRAWSURFACE well = nullptr;
    ASSERT_EQ(CreateWorkSurface(&well, 512, 336), 1);
    EXPECT_EQ(FillPattern(well, 500, 330, 200, 200, 1, 1, 9), 1);
    EXPECT_EQ(Pixel(well, 511, 335), 9);
    EXPECT_EQ(Pixel(well, 499, 335), 0);
    EXPECT_EQ(PutPixel(well, 600, 10, 9), 0);
    EXPECT_EQ(ReadPixel(well, 600, 10), 0);
    EXPECT_EQ(ReplaceIndex(well, 0, 0, 640, 480, 0, 4), 1);
    EXPECT_EQ(Pixel(well, 511, 0), 4);
    EXPECT_EQ(Pixel(well, 511, 335), 9);
    EXPECT_EQ(DrawLine(well, 0, 0, 639, 479, 2), 1);
    EXPECT_EQ(CopyPattern(display.canvas, 0, 0, 640, 480, well, 0, 0, 1, 1), 1);
    EXPECT_EQ(Pixel(well, 511, 335), 0);
    // Wild rectangles and steps do not wrap into memory or run for ever.
    EXPECT_EQ(FillPattern(well, -2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647, 1, 1, 6), 1);
    EXPECT_EQ(FillPattern(well, 2147483600, 0, 2147483647, 2147483647, -5, -5, 6), 1);
    EXPECT_EQ(ReplaceIndex(well, -2147483647, 5, 2147483647, 1, 0, 1), 1);
    EXPECT_EQ(FillRect(well, 2147483600, 2147483600, 2147483647, 2147483647, 6), 0);
    EXPECT_EQ(FrameRect(well, -2147483647 - 1, 0, -2147483647 - 1, 5, 6), 1);
}

TEST_F(DrawTest, PutPixelOutsideTheDisplayAreaIsRefusedWithoutALock) {
    EXPECT_EQ(PutPixel(display.canvas, 640, 0, 1), 0);
    EXPECT_EQ(PutPixel(display.canvas, 0, -1, 1), 0);
    EXPECT_EQ(ReadPixel(display.canvas, 0, 480), 0);
    EXPECT_EQ(Count("IDirectDrawSurface::Lock"), 0);
    EXPECT_EQ(PutPixel(display.canvas, 639, 479, 200), 1);
    EXPECT_EQ(ReadPixel(display.canvas, 639, 479), 200);
}

TEST_F(DrawTest, ABusySurfaceMakesTheLockedOperationsFail) {
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    ASSERT_EQ(display.canvas->Lock(nullptr, &d, 0, nullptr), DD_OK);
    EXPECT_EQ(PutPixel(display.canvas, 1, 1, 1), 0);
    EXPECT_EQ(FillPattern(display.canvas, 0, 0, 2, 2, 1, 1, 1), 0);
    EXPECT_EQ(CopyPattern(display.canvas, 0, 0, 2, 2, display.canvas, 4, 4, 1, 1), 0);
    display.canvas->Unlock(nullptr);
    // The source lock is let go when the destination cannot be locked.
    LPDIRECTDRAWSURFACE other = nullptr;
    ASSERT_EQ(CreateWorkSurface(&other, 8, 8), 1);
    Fail("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY, 1);
    EXPECT_EQ(CopyPattern(display.canvas, 0, 0, 2, 2, other, 0, 0, 1, 1), 0);
    EXPECT_EQ(PutPixel(display.canvas, 1, 1, 1), 1);
}

TEST_F(DrawTest, DrawLineWalksWithTheMinorStepAtTheEndOfEachRun) {
    EXPECT_EQ(DrawLine(display.canvas, 0, 0, 4, 1, 3), 1);
    EXPECT_EQ(Written(display.canvas, 8, 8, 3), (Points{{1, 0}, {2, 0}, {3, 0}, {4, 1}}));
    ClearSurface(display.canvas, 0);
    DrawLine(display.canvas, 3, 3, 0, 0, 3);
    EXPECT_EQ(Written(display.canvas, 8, 8, 3), (Points{{0, 0}, {1, 1}, {2, 2}}));
    ClearSurface(display.canvas, 0);
    DrawLine(display.canvas, 0, 0, 0, 3, 3);
    EXPECT_EQ(Written(display.canvas, 8, 8, 3), (Points{{0, 1}, {0, 2}, {0, 3}}));
    ClearSurface(display.canvas, 0);
    EXPECT_EQ(DrawLine(display.canvas, 5, 5, 5, 5, 3), 1);
    EXPECT_TRUE(Written(display.canvas, 8, 8, 3).empty());
    // A line leaving the display area writes only its visible part.
    EXPECT_EQ(DrawLine(display.canvas, 630, 5, 650, 5, 3), 1);
    EXPECT_EQ(Written(display.canvas, 640, 8, 3).size(), 9u);
}

// The walk as described, step by step, over the display area.
std::vector<std::pair<int, int>> WalkedLine(long long x1, long long y1, long long x2, long long y2) {
    std::vector<std::pair<int, int>> points;
    long long dx = x1 > x2 ? x1 - x2 : x2 - x1, dy = y1 > y2 ? y1 - y2 : y2 - y1;
    bool xMajor = dy < dx;
    long long steps = xMajor ? dx : dy, increment = xMajor ? dy : dx, sum = 0, x = x1, y = y1;
    long long sx = x2 == x1 ? 0 : (x2 < x1 ? -1 : 1), sy = y2 == y1 ? 0 : (y2 < y1 ? -1 : 1);
    for (long long i = 0; i < steps; ++i) {
        sum += increment;
        (xMajor ? x : y) += xMajor ? sx : sy;
        if (sum >= steps) sum -= steps, (xMajor ? y : x) += xMajor ? sy : sx;
        if (x >= 0 && x < 640 && y >= 0 && y < 480) points.emplace_back(static_cast<int>(x), static_cast<int>(y));
    }
    std::sort(points.begin(), points.end(),
              [](auto a, auto b) { return a.second != b.second ? a.second < b.second : a.first < b.first; });
    return points;
}

TEST_F(DrawTest, DrawLineDrawsTheVisiblePartOfLongLines) {
    struct Case {
        long long x1, y1, x2, y2;
    } cases[] = {
        {-100000, 5, 100000, 5},   {0, 0, 100000, 0},        {-5000, -3000, 7000, 4000}, {700, -20, -1000, 900},
        {639, 479, -70001, -3331}, {-40000, 470, 40000, 10}, {320, -90000, 321, 90000},  {5, 600, 5, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2);
        ClearSurface(display.canvas, 0);
        EXPECT_EQ(DrawLine(display.canvas, static_cast<LONG>(c.x1), static_cast<LONG>(c.y1), static_cast<LONG>(c.x2),
                           static_cast<LONG>(c.y2), 3),
                  1);
        EXPECT_EQ(Written(display.canvas, 640, 480, 3), WalkedLine(c.x1, c.y1, c.x2, c.y2));
    }
    // The whole 32-bit plane: corner to corner, and across the top row.
    const LONG lowest = -2147483647 - 1, highest = 2147483647;
    ClearSurface(display.canvas, 0);
    EXPECT_EQ(DrawLine(display.canvas, lowest, lowest, highest, highest, 3), 1);
    Points diagonal;
    for (int k = 0; k < 480; ++k) diagonal.emplace_back(k, k);
    EXPECT_EQ(Written(display.canvas, 640, 480, 3), diagonal);
    ClearSurface(display.canvas, 0);
    EXPECT_EQ(DrawLine(display.canvas, highest, 0, lowest, 0, 3), 1);
    EXPECT_EQ(Written(display.canvas, 640, 480, 3).size(), 640u);
    // Far outside, nothing is written.
    ClearSurface(display.canvas, 0);
    EXPECT_EQ(DrawLine(display.canvas, lowest, highest, highest, highest - 5, 3), 1);
    EXPECT_TRUE(Written(display.canvas, 640, 480, 3).empty());
}

TEST_F(DrawTest, CopyPatternAndReplaceIndex) {
    LPDIRECTDRAWSURFACE source = nullptr;
    ASSERT_EQ(CreateWorkSurface(&source, 16, 16), 1);
    for (int x = 0; x < 16; ++x) FillRect(source, x, 0, 1, 16, 30 + x);
    EXPECT_EQ(CopyPattern(source, 0, 0, 4, 4, display.canvas, 100, 100, 2, 2), 1);
    EXPECT_EQ(Pixel(display.canvas, 100, 100), 30);
    EXPECT_EQ(Pixel(display.canvas, 102, 102), 32);
    EXPECT_EQ(Pixel(display.canvas, 101, 100), 0);
    EXPECT_EQ(ReplaceIndex(display.canvas, 100, 100, 4, 4, 256 + 32, 9), 1);  // low byte of from
    EXPECT_EQ(Pixel(display.canvas, 102, 102), 9);
    EXPECT_EQ(Pixel(display.canvas, 100, 100), 30);
}

TEST_F(DrawTest, PaletteOperations) {
    PALETTEENTRY entries[256];
    std::memcpy(entries, display.paletteEntries, sizeof(entries));
    EXPECT_EQ(SetPaletteColor(display.palette, 20, 0x00FF8000, entries), 1);
    EXPECT_EQ(entries[20].peRed, 255);
    EXPECT_EQ(entries[20].peGreen, 128);
    EXPECT_EQ(entries[20].peBlue, 0);
    EXPECT_EQ(entries[20].peFlags, PC_RESERVED);
    PALETTEENTRY pushed{};
    display.palette->GetEntries(0, 20, 1, &pushed);
    EXPECT_EQ(pushed.peGreen, 128);
    EXPECT_EQ(SetPaletteColor(display.palette, 256, 0, entries), 0);

    entries[30] = PALETTEENTRY{1, 2, 3, 0};
    entries[31] = PALETTEENTRY{4, 5, 6, 0};
    EXPECT_EQ(LoadPaletteRange(display.palette, entries, 30, 2), 1);
    display.palette->GetEntries(0, 31, 1, &pushed);
    EXPECT_EQ(pushed.peBlue, 6);
    EXPECT_EQ(LoadPaletteRange(display.palette, entries, 255, 2), 0);  // past the end
    EXPECT_EQ(LoadPaletteEntries(display.palette, entries), 1);
    EXPECT_EQ(headless::ScreenPaletteEntry(30).peGreen, 2);
}

TEST_F(DrawTest, BitDepthFlags) {
    EXPECT_EQ(BitDepthFlag(1), 0x4000u);
    EXPECT_EQ(BitDepthFlag(2), 0x2000u);
    EXPECT_EQ(BitDepthFlag(4), 0x1000u);
    EXPECT_EQ(BitDepthFlag(8), 0x800u);
    EXPECT_EQ(BitDepthFlag(16), 0x400u);
    EXPECT_EQ(BitDepthFlag(24), 0x200u);
    EXPECT_EQ(BitDepthFlag(32), 0x100u);
    EXPECT_EQ(BitDepthFlag(12), 0u);
    EXPECT_EQ(BitDepthFlag(0), 0u);
}

}  // namespace
