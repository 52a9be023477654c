// The decorations: tables, bursts, debris, stars, the orbit and the
// celebration's share of the pools.
#include <gtest/gtest.h>

#include <cstring>

#include "game/effects.h"
#include "game/play.h"
#include "game/rules.h"
#include "graphics/display.h"
#include "graphics/draw.h"
#include "shell/shell.h"
#include "tests/support/game_harness.h"

namespace {

class Effects : public ::testing::Test {
protected:
    void SetUp() override {
        harness::ResetAll();
        std::memset(BurstPool, 0, sizeof(BurstPool));
        std::memset(DebrisPool, 0, sizeof(DebrisPool));
        std::memset(StarField, 0, sizeof(StarField));
        std::memset(&Orbit, 0, sizeof(Orbit));
    }

    static int Active(const auto& pool) {
        int n = 0;
        for (const auto& r : pool) n += r.active ? 1 : 0;
        return n;
    }
};

TEST_F(Effects, TablesAreRoundedToHundredths) {
    const signed char firstSines[] = {0, 2, 5, 7, 10};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(SineTable[i], firstSines[i]);
    for (int i = 60; i <= 68; ++i) EXPECT_EQ(SineTable[i], 100) << i;
    EXPECT_EQ(CosineTable[0], 100);
    EXPECT_EQ(CosineTable[64], 0);
    EXPECT_EQ(CosineTable[128], -100);
    EXPECT_EQ(CosineTable[255], 100);
    EXPECT_EQ(SinTimes(32, 10), 7) << "0.71 x 10 truncated";
    EXPECT_EQ(CosTimes(32, 10), 7);
    EXPECT_EQ(SinTimes(64, 13), 13);
    EXPECT_EQ(CosTimes(64, 13), 0);
    EXPECT_EQ(SinTimes(160, 10), -7) << "truncated toward zero";
    EXPECT_EQ(SinTimes(256 + 64, 5), 5) << "angles wrap at 256";
}

TEST_F(Effects, LargeBurstLivesThirtySixSteps) {
    SpawnBurst(100, 100, 1, 64);
    EXPECT_EQ(BurstPool[0].x, 92);
    EXPECT_EQ(BurstPool[0].y, 92);
    for (int step = 1; step <= 36; ++step) {
        StepBursts();
        ASSERT_TRUE(BurstPool[0].active) << step;
    }
    EXPECT_EQ(BurstPool[0].age, 36);
    StepBursts();
    EXPECT_FALSE(BurstPool[0].active) << "gone at the 37th step";
}

TEST_F(Effects, SmallBurstIsCentredByFourPixels) {
    SpawnBurst(100, 100, 0, 0);
    EXPECT_EQ(BurstPool[0].x, 96);
    EXPECT_EQ(BurstPool[0].size, 0);
}

TEST_F(Effects, FullBurstPoolDropsTheSpawn) {
    for (int i = 0; i < BURST_COUNT; ++i) SpawnBurst(i, i, 0, 0);
    BurstRecord before[BURST_COUNT];
    std::memcpy(before, BurstPool, sizeof(before));
    SpawnBurst(500, 500, 1, 7);
    EXPECT_EQ(std::memcmp(before, BurstPool, sizeof(before)), 0);
    BurstPool[10].active = 0;
    SpawnBurst(500, 500, 1, 7);
    EXPECT_EQ(BurstPool[10].x, 492) << "the first free record is taken";
}

TEST_F(Effects, AnimatedDebrisIsGoneOnItsThirtyThirdStep) {
    SpawnDebris(200, 100, debrisFrames, 8);
    EXPECT_EQ(DebrisPool[0].x, 200 - 8);
    EXPECT_GE(DebrisPool[0].drift, -3);
    EXPECT_LE(DebrisPool[0].drift, 1);
    EXPECT_GE(DebrisPool[0].divisor, 2);
    EXPECT_LE(DebrisPool[0].divisor, 9);
    for (int step = 1; step <= 32; ++step) {
        StepDebris();
        ASSERT_TRUE(DebrisPool[0].active) << step;
    }
    StepDebris();
    EXPECT_FALSE(DebrisPool[0].active);
}

TEST_F(Effects, SingleFrameDebrisFallsFasterAndFaster) {
    SpawnDebris(100, -32, &figureFrames[0], -1);
    DebrisPool[0].divisor = 9;
    DebrisPool[0].drift = -3;
    ASSERT_EQ(DebrisPool[0].y, -40);
    for (int step = 0; step < 60; ++step) StepDebris();
    EXPECT_TRUE(DebrisPool[0].active);
    EXPECT_EQ(DebrisPool[0].y, -40 + 171);
    EXPECT_EQ(DebrisPool[0].x, 92 - 180);
    for (int step = 0; step < 400 && DebrisPool[0].active; ++step) StepDebris();
    EXPECT_FALSE(DebrisPool[0].active) << "leaves the screen at the bottom";
}

TEST_F(Effects, DebrisDriftTakesTheSignOfTheGenerator) {
    // A negative generator value gives a negative remainder, so the drift
    // reaches -3 as well as +1.
    int seen[5] = {};
    for (DWORD seed = 0; seed < 200; ++seed) {
        std::memset(DebrisPool, 0, sizeof(DebrisPool));
        RandomSeed(seed * 0x9E3779B9u);
        SpawnDebris(0, 0, debrisFrames, 8);
        ASSERT_GE(DebrisPool[0].drift, -3);
        ASSERT_LE(DebrisPool[0].drift, 1);
        ++seen[DebrisPool[0].drift + 3];
    }
    for (int d = 0; d < 5; ++d) EXPECT_GT(seen[d], 0) << "drift " << d - 3;
}

TEST_F(Effects, StarsStartAtTheCentreAndNeverStandStill) {
    for (DWORD seed = 0; seed < 64; ++seed) {
        RandomSeed(seed);
        ResetStars();
        StepStars();
        for (const auto& star : StarField) {
            ASSERT_TRUE(star.active);
            ASSERT_EQ(star.x, 320);
            ASSERT_EQ(star.y, 240);
            ASSERT_FALSE(star.vx == 0 && star.vy == 0);
            ASSERT_GE(star.vx, -15);
            ASSERT_LE(star.vx, 16);
        }
    }
    for (int f = 0; f < 300; ++f) StepStars();
    for (const auto& star : StarField) {
        if (!star.active) continue;
        EXPECT_GE(star.x, 0);
        EXPECT_LE(star.x, 640);
    }
}

TEST_F(Effects, OrbitFirstPositions) {
    StartOrbit(256);
    // First step: sun (320, 288), planet (416, 288), moon (448, 288).
    EXPECT_EQ(320 + SinTimes(Orbit.remaining, 48), 320);
    EXPECT_EQ(240 + CosTimes(Orbit.remaining, 48), 288);
    StepOrbit();
    EXPECT_EQ(Orbit.remaining, 255);
    EXPECT_EQ(Orbit.planetAngle, 1);
    EXPECT_EQ(Orbit.moonAngle, 8);
    for (int f = 0; f < 300; ++f) StepOrbit();
    EXPECT_EQ(Orbit.remaining, 0) << "stops when its frames run out";
}

TEST_F(Effects, OrbitDrawsSunPlanetAndMoonWhereTheirAnglesPutThem) {
    // The real program's display and sprite sheet, then one orbit step on a
    // clear canvas. At 64 frames left the sun sits right of the centre; a
    // planet at a quarter turn hangs below it, its moon to the right.
    harness::RunFrames("", 3);
    ASSERT_NE(display.canvas, nullptr);
    ClearSurface(display.canvas, 0);
    Orbit.remaining = 64;
    Orbit.planetAngle = 64;
    Orbit.moonAngle = 0;
    StepOrbit();
    auto inked = [](int left, int top) {
        int n = 0;
        for (int y = top; y < top + 48; ++y)
            for (int x = left; x < left + 48; ++x) n += ReadPixel(display.canvas, x, y) != 0;
        return n;
    };
    EXPECT_GT(inked(368, 240), 0) << "the sun at (320 + 48, 240)";
    EXPECT_GT(inked(368, 336), 0) << "the planet 96 below it";
    EXPECT_GT(inked(400, 336), 0) << "the moon 32 right of the planet";
    EXPECT_EQ(inked(464, 240), 0) << "not 96 right of the sun";
    EXPECT_EQ(inked(320, 288), 0) << "the sun not below the centre";
}

TEST_F(Effects, CelebrationBySize) {
    StartCelebration(0);
    StartCelebration(1);
    EXPECT_EQ(Active(BurstPool) + Active(DebrisPool) + Orbit.remaining, 0);
    StartCelebration(2);
    EXPECT_EQ(Active(BurstPool), 32);
    EXPECT_EQ(Orbit.remaining, 0);
    for (const auto& b : BurstPool) {
        if (!b.active) continue;
        EXPECT_EQ(b.angle, 64);
        EXPECT_GE(b.x, -639 - 8);
        EXPECT_LE(b.x, 639 - 8);
    }
    StartCelebration(3);
    EXPECT_EQ(Orbit.remaining, 256);
    EXPECT_EQ(Active(DebrisPool), 0);
}

TEST_F(Effects, FourRowLockLeavesTwentyNineBurstsAndFifteenFigures) {
    // A real four-row lock through the play step, all pools empty before it.
    shell.frameCounter = 2;
    StartPlay();
    for (int i = 12; i < 16; ++i)
        for (int j = 0; j < 8; ++j) wellGrid.cells[i + 4][j + 4] = j == 4 ? '0' : '3';
    piece.shape = 6;
    piece.rotation = 1;
    piece.x = 48;
    piece.y = 16 * 14;
    BuildPieceCells(6, 1);
    playState.fallCountdown = 0;
    shell.frameCounter++;
    PlayStep(shell.frameCounter);
    // 3 + 32 + 29 bursts fill the pool; 1 + 32 + 32 + 15 debris fill it.
    EXPECT_EQ(Active(BurstPool), BURST_COUNT);
    EXPECT_EQ(Active(DebrisPool), DEBRIS_COUNT);
    int figures = 0;
    for (const auto& d : DebrisPool)
        if (d.frames >= figureFrames && d.frames < figureFrames + 8) ++figures;
    EXPECT_EQ(figures, 15);
    EXPECT_EQ(Orbit.remaining, 256) << "started by the three or more rows";
}

}  // namespace
