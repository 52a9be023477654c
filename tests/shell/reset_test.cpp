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
#include "platform/host/host_events.h"
#include "sound/sound.h"
#include "tests/support/game_harness.h"

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

// Two programs in one process: the second finds the stand-in as a fresh
// process would, whatever the first left of the pointer and the icons.
TEST(GameReset, TheStandInKeepsNothingOfTheProgramBefore) {
    harness::ResetAll();
    harness::RunFrames("/F", 5);
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(116));
    ASSERT_EQ(platform::user::IconResourceId(icon), 116) << "the class icon of the first";
    SetCursor(nullptr);
    ShowCursor(FALSE);
    harness::ResetAll();
    EXPECT_TRUE(platform::user::CursorShown()) << "the arrow, shown";
    EXPECT_EQ(ShowCursor(TRUE), 1) << "the display count starts at 0";
    EXPECT_EQ(platform::user::IconResourceId(icon), -1) << "no icon handed out yet";
    EXPECT_EQ(harness::RunFrames("", 5), 0);
    EXPECT_EQ(harness::RunningFramesSeen(), 4) << "the second program plays";
}

}  // namespace
