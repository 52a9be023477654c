// The play step: panel motion and kicks, moving, turning and dropping the
// piece, the lock sequence, scoring and a blocked entry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/play.h"
#include "game/rules.h"
#include "input/pad.h"
#include "shell/shell.h"
#include "tests/support/game_harness.h"

namespace {

class Play : public ::testing::Test {
protected:
    void SetUp() override {
        harness::ResetAll();
        shell.frameCounter = 2;  // the single block enters
        StartPlay();
    }

    // One play frame with these pad words.
    void Step(DWORD pressed = 0, DWORD held = 0) {
        shell.frameCounter++;
        shell.padPressed = pressed;
        padHeld = held;
        PlayStep(shell.frameCounter);
    }

    static void FillRow(int i, std::vector<int> gaps = {}) {
        for (int j = 0; j < 8; ++j) wellGrid.cells[i + 4][j + 4] = '3';
        for (int j : gaps) wellGrid.cells[i + 4][j + 4] = '0';
    }

    static void SetPiece(LONG shape, LONG rotation, LONG x, LONG y) {
        piece.shape = shape;
        piece.rotation = rotation;
        piece.x = x;
        piece.y = y;
        BuildPieceCells(shape, rotation);
    }
};

TEST_F(Play, StartsAsSetUp) {
    EXPECT_EQ(playState.subState, PLAY_RUNNING);
    EXPECT_EQ(playState.panelX, 40);
    EXPECT_EQ(playState.panelY, 40);
    EXPECT_EQ(playState.fallInterval, 16);
    EXPECT_EQ(playState.fallCountdown, 16);
    EXPECT_EQ(playState.score + playState.pendingPoints + stackHeight, 0);
    EXPECT_STREQ(playState.panelText, "");
    EXPECT_EQ(piece.shape, 0);
    EXPECT_EQ(std::string(wellGrid.cells[20], 16), "FFFFFFFFFFFFFFFF");
}

TEST_F(Play, PanelGlidesOnePixelPerFrameToTheCentre) {
    Step();
    EXPECT_EQ(playState.panelX, 41);
    EXPECT_EQ(playState.panelY, 41);
    for (int f = 1; f < 40; ++f) Step();
    EXPECT_EQ(playState.panelY, 80) << "y arrives after 40 frames";
    EXPECT_EQ(playState.panelX, 80);
    for (int f = 40; f < 200; ++f) Step();
    EXPECT_EQ(playState.panelX, 240) << "x arrives after 200 frames";
    EXPECT_EQ(playState.panelY, 80);
    Step();
    EXPECT_EQ(playState.panelX, 240);
}

TEST_F(Play, PanelTextAndStageFieldDuringPlay) {
    Step();
    EXPECT_STREQ(playState.panelText, "ijklmn");
    for (int f = 0; f < 20; ++f) {
        Step();
        EXPECT_EQ(playState.stageDisplayValue, static_cast<LONG>(shell.frameCounter & 15));
    }
}

TEST_F(Play, RefusedMoveKicksThePanelFifteenPixelsOverFourFrames) {
    playState.panelX = 240;
    playState.panelY = 80;
    SetPiece(0, 1, 96, 64);  // the single block against the right wall
    ASSERT_TRUE(PieceFits(96, 64));
    ASSERT_FALSE(PieceFits(112, 64));
    std::vector<LONG> xs;
    Step(PAD_RIGHT);
    xs.push_back(playState.panelX);
    for (int f = 0; f < 6; ++f) {
        Step();
        xs.push_back(playState.panelX);
    }
    EXPECT_EQ(xs, (std::vector<LONG>{240, 247, 250, 251, 251, 250, 249}));
    EXPECT_EQ(piece.x, 96);
}

TEST_F(Play, HoldingRightAgainstTheWallDriftsSevenPixelsPerFrame) {
    playState.panelX = 240;
    playState.panelY = 80;
    SetPiece(0, 1, 96, 64);
    Step(PAD_RIGHT);
    Step(PAD_RIGHT);
    LONG before = playState.panelX;
    Step(PAD_RIGHT);
    EXPECT_EQ(playState.panelX - before, 7);
    Step(PAD_RIGHT);
    EXPECT_EQ(playState.panelX - before, 14);
}

TEST_F(Play, APanelDriftingForEverStopsFarOffTheScreen) {
    // A blocked entry, after hundreds of millions of frames: the panel stays
    // a billion pixels from home instead of overflowing.
    for (int i = 0; i < 16; ++i) FillRow(i, {i % 8});
    SetPiece(7, 0, 48, 0);
    const LONG home = 240, reach = 1L << 30;
    playState.panelX = home - reach + 6;
    std::vector<LONG> xs;
    for (int f = 0; f < 4; ++f) Step(), xs.push_back(playState.panelX - (home - reach));
    EXPECT_EQ(xs, (std::vector<LONG>{7, 1, 1, 1})) << "a kick to one pixel past the limit is clamped, then pulled back";
    playState.panelX = home + reach - 10;
    for (int f = 0; f < 10; ++f) Step(PAD_RIGHT);
    EXPECT_EQ(playState.panelX, home + reach - 1);
    EXPECT_EQ(playState.subState, PLAY_RUNNING);
}

TEST_F(Play, MovesAndTurnsTheFallingPiece) {
    SetPiece(3, 0, 48, 64);
    Step(PAD_LEFT);
    EXPECT_EQ(piece.x, 32);
    Step(PAD_LEFT | PAD_RIGHT);
    EXPECT_EQ(piece.x, 32) << "both directions cancel";
    Step(PAD_BUTTON2);
    EXPECT_EQ(piece.rotation, 1);
    Step(PAD_BUTTON1);
    EXPECT_EQ(piece.rotation, 0);
    Step(PAD_BUTTON1);
    EXPECT_EQ(piece.rotation, 3) << "counter-clockwise wraps";
}

TEST_F(Play, BothTurnButtonsTogetherLeaveThePieceAsItWas) {
    SetPiece(3, 0, 48, 64);
    char before[4][4];
    std::memcpy(before, piece.cells, sizeof(before));
    Step(PAD_BUTTON1 | PAD_BUTTON2);
    EXPECT_EQ(piece.rotation, 0);
    EXPECT_EQ(std::memcmp(before, piece.cells, sizeof(before)), 0);
}

TEST_F(Play, RefusedTurnPutsTheOldCellsBack) {
    SetPiece(6, 0, 48, 64);                                  // straight four lying in row 1
    wellGrid.cells[64 / 16 + 2 + 0][48 / 16 + 3 + 2] = '5';  // blocks the standing position
    char before[4][4];
    std::memcpy(before, piece.cells, sizeof(before));
    Step(PAD_BUTTON2);
    EXPECT_EQ(piece.rotation, 0);
    EXPECT_EQ(std::memcmp(before, piece.cells, sizeof(before)), 0);
}

TEST_F(Play, GravityEverySeventeenthFrame) {
    std::vector<int> fallFrames;
    LONG y = piece.y;
    for (int f = 1; f <= 60; ++f) {
        Step();
        if (piece.y != y) fallFrames.push_back(f);
        y = piece.y;
    }
    EXPECT_EQ(fallFrames, (std::vector<int>{17, 34, 51}));
}

TEST_F(Play, SoftDropEarnsAPointEveryFrameIncludingTheLock) {
    int frames = 0;
    while (stackHeight == 0 && frames < 100) {
        Step(0, PAD_DOWN);
        ++frames;
    }
    // The single block falls 16 rows, one per frame; the 17th fall is refused and locks.
    EXPECT_EQ(frames, 17);
    EXPECT_EQ(playState.score + playState.pendingPoints, 17);
    EXPECT_EQ(playState.score, 17) << "one point drips in per frame";
    EXPECT_EQ(stackHeight, 1);
    EXPECT_EQ(wellGrid.cells[19][8], '1');
}

TEST_F(Play, LockSequenceOrder) {
    FillRow(15, {4});  // the single block completes the bottom row
    FillRow(14, {0, 1});
    static std::vector<std::string> events;
    events.clear();
    static RulesListener scene;
    scene = rulesListener;
    rulesListener.pieceLocked = [](LONG s, LONG c, LONG r, const char cells[4][4]) {
        events.push_back("locked");
        scene.pieceLocked(s, c, r, cells);
    };
    rulesListener.rowFull = [](LONG i, const char v[8]) {
        events.push_back("full " + std::to_string(i) + " pending " + std::to_string(playState.pendingPoints));
        scene.rowFull(i, v);
    };
    rulesListener.rowRemoved = [](LONG i) {
        events.push_back("removed " + std::to_string(i) + " kick " + std::to_string(playState.kickY));
        scene.rowRemoved(i);
    };
    playState.panelX = 240;
    playState.panelY = 80;
    SetPiece(0, 1, 48, 16 * 15);  // one row above its resting place
    playState.fallCountdown = 0;
    Step();  // falls
    playState.fallCountdown = 0;
    Step();  // refused: locks
    EXPECT_EQ(events, (std::vector<std::string>{"locked", "full 15 pending 0", "removed 15 kick 16"}));
    EXPECT_EQ(playState.pendingPoints, 10 - 1);
    EXPECT_EQ(playState.score, 1);
    EXPECT_EQ(stackHeight, 1) << "recomputed after the removal";
    EXPECT_EQ(piece.shape, static_cast<LONG>((shell.frameCounter + 6) % 8)) << "the next piece entered";
    EXPECT_EQ(piece.y, 0);
    EXPECT_EQ(std::string(wellGrid.cells[19] + 4, 8), "00333333");
}

TEST_F(Play, LockPushesThePanelDownThirtyOnePixels) {
    playState.panelX = 240;
    playState.panelY = 80;
    SetPiece(0, 1, 48, 16 * 16);
    playState.fallCountdown = 0;
    Step();  // locks: kick y 16
    std::vector<LONG> ys{playState.panelY};
    for (int f = 0; f < 6; ++f) {
        Step();
        ys.push_back(playState.panelY);
    }
    EXPECT_EQ(ys, (std::vector<LONG>{80, 95, 102, 105, 106, 106, 105}));
}

TEST_F(Play, FourRowsEarnThreeHundredPoints) {
    for (int i = 12; i < 16; ++i) FillRow(i, {4});
    SetPiece(6, 1, 48, 16 * 14);  // straight four standing in interior column 4
    ASSERT_TRUE(PieceFits(48, 16 * 14));
    ASSERT_FALSE(PieceFits(48, 16 * 15));
    playState.fallCountdown = 0;
    Step();
    EXPECT_EQ(playState.pendingPoints + playState.score, 300);
    EXPECT_EQ(stackHeight, 0);
}

TEST_F(Play, BlockedEntryPlaysOn) {
    // A stack up to the funnel: every new piece overlaps it.
    for (int i = 0; i < 16; ++i) FillRow(i, {i % 8});
    SetPiece(7, 0, 48, 0);
    ASSERT_FALSE(PieceFits(48, 0));
    playState.panelX = 240;
    Step();
    LONG x1 = playState.panelX;
    Step();
    EXPECT_EQ(playState.panelX - x1, -7) << "kicked left every frame, pulled back one pixel";
    for (int f = 0; f < 400; ++f) Step();
    EXPECT_EQ(playState.subState, PLAY_RUNNING);
    bool funnelFilled = false;
    for (int r = 0; r < 4; ++r)
        for (int c = 6; c < 10; ++c) funnelFilled |= wellGrid.cells[r][c] != '0';
    EXPECT_TRUE(funnelFilled) << "locked pieces reach into the funnel";
    EXPECT_EQ(stackHeight, 16);
}

}  // namespace
