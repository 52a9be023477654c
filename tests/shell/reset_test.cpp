// The game's one reset list: a second run in the same process starts from
// the globals of a fresh process, whichever module they belong to.
#include <gtest/gtest.h>

#include <cstdint>

#include "game/effects.h"
#include "game/field.h"
#include "game/play.h"
#include "game/rules.h"
#include "game/sheet.h"
#include "graphics/display.h"
#include "input/pad.h"
#include "music/music.h"
#include "music/sequencer.h"
#include "music/t_midcnv.h"
#include "shell/shell.h"
#include "sound/sound.h"

namespace {

TEST(GameReset, EveryModulesGlobalsGoBackToAFreshProcesss) {
    // Surfaces that were never made: the reset only forgets them.
    auto* stale = reinterpret_cast<LPDIRECTDRAWSURFACE>(static_cast<std::uintptr_t>(0x1000));
    frameState = 3;
    joystickCount = 2;
    display.canvas = stale;
    displaySetupCode = 4;
    stackHeight = 5;
    spriteSheet = stale;
    WellImage = stale;
    StarField[3].active = 1;
    BurstPool[0].active = 1;
    DebrisPool[7].active = 1;
    Orbit.remaining = 9;
    playState.panelX = 6;
    soundReady = 1;
    musicPlayer.opened = 1;
    converter.clock = 7;
    mciState = 8;

    ClearGameState();

    EXPECT_EQ(frameState, 0);
    EXPECT_EQ(joystickCount, -1) << "not yet asked";
    EXPECT_EQ(display.canvas, nullptr);
    EXPECT_EQ(displaySetupCode, 0);
    EXPECT_EQ(stackHeight, 0);
    EXPECT_EQ(spriteSheet, nullptr);
    EXPECT_EQ(WellImage, nullptr);
    EXPECT_EQ(StarField[3].active, 0);
    EXPECT_EQ(BurstPool[0].active, 0);
    EXPECT_EQ(DebrisPool[7].active, 0);
    EXPECT_EQ(Orbit.remaining, 0);
    EXPECT_EQ(playState.panelX, 0);
    EXPECT_EQ(soundReady, 0);
    EXPECT_EQ(musicPlayer.opened, 0);
    EXPECT_EQ(converter.clock, 0u);
    EXPECT_EQ(mciState, 0);
}

}  // namespace
