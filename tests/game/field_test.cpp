// The play field as drawn by the real program over the software display:
// text, the panel's numbers and meter, and the well image following the grid
// through locks, removals and lost surfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "game/field.h"
#include "game/play.h"
#include "game/rules.h"
#include "graphics/display.h"
#include "graphics/draw.h"
#include "shell/shell.h"
#include "tests/support/game_harness.h"

namespace {

using Block = std::vector<std::uint8_t>;

Block Read(LPDIRECTDRAWSURFACE surface, int x, int y, int w, int h) {
    Block out;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    if (!surface || surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return out;
    const auto* bits = static_cast<const std::uint8_t*>(desc.lpSurface);
    for (int row = y; row < y + h; ++row)
        for (int col = x; col < x + w; ++col) out.push_back(bits[row * desc.lPitch + col]);
    surface->Unlock(desc.lpSurface);
    return out;
}

// What a keyed sprite leaves on a background of one index.
Block Keyed(const Block& sprite, std::uint8_t background) {
    Block out = sprite;
    for (auto& v : out)
        if (v == 0) v = background;
    return out;
}

// A keyed sprite drawn over what was there.
Block Over(const Block& sprite, const Block& under) {
    Block out = under;
    for (std::size_t i = 0; i < out.size() && i < sprite.size(); ++i)
        if (sprite[i] != 0) out[i] = sprite[i];
    return out;
}

class Field : public ::testing::Test {
protected:
    void SetUp() override {
        harness::ResetAll();
        // Up to the first play frame: display, sprite sheet and well image exist.
        harness::RunFrames("", 2);
        ASSERT_NE(spriteSheet, nullptr);
        ASSERT_NE(WellImage, nullptr);
        ASSERT_EQ(launchOptions.displayReady, 1);
        ClearSurface(display.canvas, 77);
    }
    void TearDown() override { harness::ResetAll(); }

    static Block Glyph(int code, bool large) {
        int g = code - 32;
        return large ? Read(spriteSheet, (g % 32) * 16, (g / 32) * 16, 16, 16)
                     : Read(spriteSheet, 512 + (g % 32) * 4, (g / 32) * 6, 4, 6);
    }
    static Block OnCanvas(int x, int y, int w, int h) { return Read(display.canvas, x, y, w, h); }

    // Every 16x16 square of the well image's interior shows its grid cell.
    static void ExpectWellImageMatchesGrid() {
        for (int r = 4; r < 20; ++r)
            for (int c = 4; c < 12; ++c) {
                char cell = wellGrid.cells[r][c];
                Block want = cell == '0' ? Block(256, 0)
                                         : Read(spriteSheet, cellTiles[cell - '1'].x, cellTiles[cell - '1'].y, 16, 16);
                EXPECT_EQ(Read(WellImage, 16 * c, 16 * r, 16, 16), want) << "row " << r << " column " << c;
            }
    }
};

TEST_F(Field, SmallFontGlyphsSitFourPixelsApart) {
    DrawText(100, 100, "AB", 0);
    EXPECT_EQ(Glyph('A', false), Read(spriteSheet, 516, 6, 4, 6));
    EXPECT_EQ(OnCanvas(100, 100, 4, 6), Keyed(Glyph('A', false), 77));
    EXPECT_EQ(OnCanvas(104, 100, 4, 6), Keyed(Glyph('B', false), 77));
    EXPECT_EQ(OnCanvas(108, 100, 4, 6), Block(24, 77));
}

TEST_F(Field, LineFeedsAndSkippedBytes) {
    DrawText(200, 200, "Z\x01\nq\xC0W", 1);
    EXPECT_EQ(OnCanvas(200, 200, 16, 16), Keyed(Glyph('Z', true), 77));
    EXPECT_EQ(OnCanvas(216, 200, 16, 16), Block(256, 77)) << "a control byte neither draws nor moves";
    EXPECT_EQ(OnCanvas(200, 216, 16, 16), Keyed(Glyph('q', true), 77)) << "line feed: back to x, one line down";
    EXPECT_EQ(OnCanvas(216, 216, 16, 16), Keyed(Glyph('W', true), 77)) << "0xC0 is skipped";
}

TEST_F(Field, NumbersAreZeroPaddedAndNeverCut) {
    playState.panelX = 240;
    playState.panelY = 80;
    playState.score = 123456789;
    playState.pendingPoints = 7;
    playState.stageDisplayValue = 5;
    DrawPanel(0);
    // Each digit lands on the panel frame's field at its offset.
    auto digitAt = [&](int dx, char digit) {
        Block frame = Keyed(Read(spriteSheet, dx, 80 + 310, 4, 6), 77);
        return OnCanvas(240 + dx, 80 + 310, 4, 6) == Over(Glyph(digit, false), frame);
    };
    const char* score = "123456789";
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(digitAt(72 + 4 * i, score[i])) << "score digit " << i;
    EXPECT_TRUE(digitAt(118, '0'));
    EXPECT_TRUE(digitAt(130, '7'));
    EXPECT_TRUE(digitAt(38, '0'));
    EXPECT_TRUE(digitAt(42, '5'));
}

TEST_F(Field, HeightMeterShowsTheStack) {
    playState.panelX = 240;
    playState.panelY = 80;
    Block frameOnly;
    stackHeight = 0;
    DrawPanel(0);
    frameOnly = OnCanvas(240 + 149, 80 + 32, 4, 256);
    Block groove = Read(spriteSheet, 149, 80 + 32, 4, 256);
    EXPECT_EQ(frameOnly, Keyed(groove, 77)) << "no segment with an empty well";

    stackHeight = 16;
    DrawPanel(0);
    Block red = Read(spriteSheet, 528, 32, 4, 16), green = Read(spriteSheet, 536, 32, 4, 16);
    EXPECT_EQ(OnCanvas(240 + 149, 80 + 272, 4, 16), Over(green, Keyed(Read(spriteSheet, 149, 80 + 272, 4, 16), 77)))
        << "the lowest segment is green";
    EXPECT_EQ(OnCanvas(240 + 149, 80 + 32, 4, 16), Over(red, Keyed(Read(spriteSheet, 149, 80 + 32, 4, 16), 77)))
        << "the sixteenth, at py + 32, is red";
}

TEST_F(Field, WellImageFollowsLocksAndSeparatedRemovals) {
    // Fill interior rows 13 and 15 but one cell each, with other blocks around.
    for (int j = 0; j < 8; ++j) {
        wellGrid.cells[17][4 + j] = j == 4 ? '0' : '3';
        wellGrid.cells[19][4 + j] = j == 4 ? '0' : '5';
        wellGrid.cells[18][4 + j] = j < 3 ? '2' : '0';
    }
    wellGrid.cells[16][5] = '7';
    ASSERT_TRUE(CreateWellImage());
    // Paint what we placed by hand, as locks would have.
    for (int r = 16; r < 20; ++r)
        for (int c = 4; c < 12; ++c) {
            char cell = wellGrid.cells[r][c];
            if (cell == '0') continue;
            piece.shape = cell - '1';
            std::memset(piece.cells, '0', sizeof(piece.cells));
            piece.cells[0][0] = '1';
            PaintPiece(piece.shape, c, r, piece.cells);
        }
    ExpectWellImageMatchesGrid();

    // A straight four standing in interior column 4 fills both rows.
    piece.shape = 6;
    piece.rotation = 1;
    piece.x = 48;
    piece.y = 16 * 14;
    BuildPieceCells(6, 1);
    wellGrid.cells[18][8] = '0';
    wellGrid.cells[16][8] = '0';
    ASSERT_TRUE(PieceFits(48, 16 * 14));
    LockPiece();
    EXPECT_EQ(RemoveFullRows(), 2);
    ExpectWellImageMatchesGrid();
}

TEST_F(Field, LostSurfacesInMidPlayComeBackWithSheetAndWell) {
    // Play on until a few pieces have locked, then lose every surface.
    unsigned long target = shell.frameCounter + 400;
    harness::ResetAll();
    harness::RunProgram("", [&](std::uint32_t) {
        if (shell.frameCounter == 200 && stackHeight > 0) {
            platform::ArmFault({"IDirectDrawSurface::Blt", static_cast<std::int32_t>(DDERR_SURFACELOST)});
            platform::ArmFault({"IDirectDrawSurface::BltFast", static_cast<std::int32_t>(DDERR_SURFACELOST)});
        }
        return shell.frameCounter < target;
    });
    ASSERT_GT(stackHeight, 0);
    auto calls = platform::TracedCalls();
    EXPECT_GT(std::count(calls.begin(), calls.end(), std::string("IDirectDrawSurface::Restore")), 0)
        << "the loss was met and restored";
    ASSERT_NE(spriteSheet, nullptr);
    ASSERT_NE(WellImage, nullptr);
    ExpectWellImageMatchesGrid();
}

TEST_F(Field, DisplaySwitchInMidPlayRemakesSheetAndWell) {
    unsigned long target = shell.frameCounter + 400;
    harness::ResetAll();
    bool switched = false;
    harness::RunProgram("", [&](std::uint32_t) {
        if (!switched && shell.frameCounter >= 200 && stackHeight > 0) {
            switched = true;
            PostMessageA(shell.mainWindow, WM_SYSKEYUP, VK_RETURN, 0x20000000);
        }
        return shell.frameCounter < target;
    });
    ASSERT_TRUE(switched);
    EXPECT_EQ(launchOptions.fullScreen, 1);
    EXPECT_EQ(launchOptions.displayReady, 1);
    ASSERT_NE(spriteSheet, nullptr);
    ASSERT_NE(WellImage, nullptr);
    ExpectWellImageMatchesGrid();
}

}  // namespace
