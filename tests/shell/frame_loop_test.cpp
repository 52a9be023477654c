// The frame loop against the hand-turned clock: pacing, activation, slow
// motion, the single-instance rule and the start-up order.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/play.h"
#include "game/rules.h"
#include "platform/user/user_internal.h"
#include "platform/winmm/timer_internal.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "tests/support/game_harness.h"

namespace {

class FrameLoop : public ::testing::Test {
protected:
    void SetUp() override { harness::ResetAll(); }
};

TEST_F(FrameLoop, NeverTwoTicksInOneMillisecond) {
    std::vector<std::pair<DWORD, std::uint32_t>> ticks;
    int idles = 0;
    headless::SetTime(1000);
    harness::RunProgram("", [&](std::uint32_t) {
        if (ticks.empty() || ticks.back().first != shell.frameCounter)
            ticks.emplace_back(shell.frameCounter, headless::Time());
        // Hold the clock still for most idles: the loop must wait for it.
        if (++idles % 7 != 0) headless::SetTime(headless::Time() - 1);
        return shell.frameCounter < 60;
    });
    ASSERT_GE(ticks.size(), 30u);
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        EXPECT_EQ(ticks[i].first, ticks[i - 1].first + 1) << "one tick at a time";
        EXPECT_GT(ticks[i].second, ticks[i - 1].second) << "tick " << ticks[i].first;
    }
}

TEST_F(FrameLoop, InactiveApplicationRunsNoFramesButHandlesMessages) {
    bool deactivated = false;
    DWORD frozenAt = 0;
    int idlesWhileInactive = 0;
    int code = harness::RunProgram("", [&](std::uint32_t) {
        if (!deactivated && shell.frameCounter >= 10) {
            platform::user::SetApplicationActive(false);
            deactivated = true;
            frozenAt = shell.frameCounter;
        }
        if (deactivated) {
            EXPECT_EQ(shell.frameCounter, frozenAt);
            // A message still gets through: closing the window ends the loop.
            if (++idlesWhileInactive == 500) PostMessageA(shell.mainWindow, WM_CLOSE, 0, 0);
        }
        return idlesWhileInactive < 1000;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(shell.appActive, 0);
    EXPECT_EQ(shell.frameCounter, frozenAt);
    EXPECT_GE(idlesWhileInactive, 500);
    EXPECT_FALSE(IsWindow(shell.mainWindow));
}

TEST_F(FrameLoop, AnInactiveApplicationSleepsUntilAMessageComes) {
    bool deactivated = false;
    std::uint32_t since = 0;
    int idles = 0, sleepsBefore = 0, sleepsWhileInactive = -1;
    harness::RunProgram("", [&](std::uint32_t) {
        if (!deactivated && shell.frameCounter >= 10) {
            platform::user::SetApplicationActive(false);
            deactivated = true;
            since = headless::Time();
            sleepsBefore = headless::Sleeps();
        }
        if (deactivated && ++idles == 100) {
            sleepsWhileInactive = headless::Sleeps() - sleepsBefore;
            PostMessageA(shell.mainWindow, WM_CLOSE, 0, 0);
        }
        return idles < 200;
    });
    // Polling would wake once a millisecond; a wait for a message sleeps on,
    // and not in timed sleeps that wake it all the same.
    EXPECT_GE(headless::Time() - since, 500u) << "100 wakes in at least half a second";
    EXPECT_EQ(sleepsWhileInactive, 0);
    EXPECT_FALSE(IsWindow(shell.mainWindow));
}

// Coming forward again sends WM_ACTIVATEAPP and posts nothing: the wait for
// a message must end all the same, or the game stays frozen until the mouse
// moves over it.
TEST_F(FrameLoop, ReactivationAloneWakesTheSleepingLoop) {
    enum { Running, Inactive, Reactivated } phase = Running;
    DWORD frozenAt = 0;
    int idles = 0, idlesToResume = -1;
    harness::RunProgram("", [&](std::uint32_t) {
        ++idles;
        if (phase == Running && shell.frameCounter >= 10) {
            platform::user::SetApplicationActive(false);
            phase = Inactive;
            frozenAt = shell.frameCounter;
            idles = 0;
        } else if (phase == Inactive && idles == 50) {
            EXPECT_EQ(shell.frameCounter, frozenAt) << "no frame while inactive";
            // What a host does when its window gets the focus back.
            platform::user::SetApplicationActive(true);
            phase = Reactivated;
            idles = 0;
        } else if (phase == Reactivated && idlesToResume < 0 && shell.frameCounter > frozenAt) {
            idlesToResume = idles;
        }
        return idlesToResume < 0 && idles < 200;
    });
    EXPECT_EQ(phase, Reactivated);
    EXPECT_GE(idlesToResume, 0) << "frames never resumed";
    EXPECT_LE(idlesToResume, 3) << "frames resume within a few idles";
}

// The frame hold against the hand-turned clock: `work` ms pass in each frame
// before the hold; returns the clock after each hold.
std::vector<std::uint32_t> HoldFrames(int frames, const std::vector<std::uint32_t>& work) {
    std::vector<std::uint32_t> ends;
    for (int i = 0; i < frames; ++i) {
        headless::AdvanceTime(work[static_cast<std::size_t>(i) % work.size()]);
        HoldFrameToRefresh();
        ends.push_back(headless::Time());
    }
    return ends;
}

TEST_F(FrameLoop, FramesThatNothingHoldsKeepToSixtyASecond) {
    headless::SetTime(5000);
    auto ends = HoldFrames(8000, {1});  // past the grid's minute turn at 7200
    // Exactly 60 frames in every second, each 16 or 17 ms after the last.
    EXPECT_EQ(ends[660] - ends[60], 10000u);
    EXPECT_EQ(ends[7260] - ends[7200], 1000u);
    EXPECT_EQ(ends[7260] - ends[60], 120000u) << "the grid's turn loses no time";
    for (std::size_t i = 2; i < ends.size(); ++i) {
        std::uint32_t gap = ends[i] - ends[i - 1];
        ASSERT_TRUE(gap == 16 || gap == 17) << "frame " << i << ": " << gap << " ms";
    }
}

TEST_F(FrameLoop, FramesTheDisplayAlreadyHoldsAreNotHeldAgain) {
    headless::SetTime(100);
    // A 60 Hz vertical blank (16, 17, 17 ms) or a slower one: no sleep at all.
    auto ends = HoldFrames(400, {17, 16, 17});
    EXPECT_EQ(ends.back() - 100, 400u / 3 * 50 + 17);
    headless::SetTime(100);
    shell.paceFrames = 0;
    ends = HoldFrames(400, {20});
    EXPECT_EQ(ends.back() - 100, 400u * 20);
    // A refresh that lands a millisecond or two before its slot on our
    // clock is the display's own: sleeping it out would miss the next one.
    headless::SetTime(100);
    shell.paceFrames = 0;
    int sleeps = headless::Sleeps();
    ends = HoldFrames(400, {18, 14, 18});
    EXPECT_EQ(headless::Sleeps(), sleeps);
    EXPECT_EQ(ends.back() - 100, 400u / 3 * 50 + 18);
}

TEST_F(FrameLoop, AfterAStallTheGridStartsAgainWithoutABurst) {
    headless::SetTime(0);
    HoldFrames(30, {2});
    headless::AdvanceTime(400);  // a dragged window, a slow disk
    auto ends = HoldFrames(30, {1});
    // The frame after the new start is let go at its slot less the slack.
    EXPECT_GE(ends[1] - ends[0], 14u);
    for (std::size_t i = 2; i < ends.size(); ++i) EXPECT_GE(ends[i] - ends[i - 1], 16u) << "frame " << i;
    // A clock that went back is no reason to sleep for long either.
    headless::SetTime(1000);
    ends = HoldFrames(2, {1});
    EXPECT_LE(ends[0], 1001u);
}

// Under drivers whose vertical-blank wait returns at once the loop's own
// hold keeps the game at 60 frames a second, in a window and full screen.
TEST_F(FrameLoop, WithADisplayThatNeverWaitsFramesStillComeSixtyASecond) {
    for (const char* line : {"", "/F"}) {
        harness::ResetAll();
        headless::SetRefreshWaits(false);
        std::vector<std::uint32_t> at;  // the clock at each tick
        harness::RunFrames(line, 200, [&](unsigned long) { at.push_back(headless::Time()); });
        ASSERT_GE(at.size(), 190u) << line;
        // Ticks 50 to 170: two seconds, each tick 16 or 17 ms after the last.
        EXPECT_NEAR(static_cast<double>(at[170] - at[50]), 2000.0, 17.0) << line;
        for (std::size_t i = 51; i <= 170; ++i) {
            std::uint32_t gap = at[i] - at[i - 1];
            ASSERT_TRUE(gap == 16 || gap == 17) << line << " tick " << i << ": " << gap << " ms";
        }
        EXPECT_GT(headless::RefreshWaits(), 150) << "the frame loop did ask the display to wait";
    }
}

// On Windows a look at an empty queue (PeekMessage) returns at once: the
// loop itself must give the millisecond away while its clock stands still,
// and so needs the timer's finest period, or a Sleep(1) lasts a 64th of a
// second.
TEST_F(FrameLoop, ALoopWhoseLooksDoNotWaitSleepsOutTheSameMillisecond) {
    int idlesSinceTick = 0;
    unsigned long seen = 0;
    unsigned periodWhileRunning = 99;
    headless::SetTime(1000);
    harness::RunProgram("", [&](std::uint32_t ms) {
        // Idling moves no time: only the program's own sleeps do.
        headless::SetTime(headless::Time() - ms);
        if (shell.frameCounter != seen) {
            seen = shell.frameCounter;
            idlesSinceTick = 0;
            periodWhileRunning = platform::winmm::FinestTimerPeriod();
        }
        return ++idlesSinceTick < 1000 && shell.frameCounter < 40;
    });
    EXPECT_EQ(shell.frameCounter, 40u) << "the loop spun without sleeping through the millisecond";
    EXPECT_EQ(periodWhileRunning, 1u) << "the 1 ms timer while the loop runs";
    EXPECT_EQ(platform::winmm::FinestTimerPeriod(), 0u) << "and the system's own timer again after it";
}

TEST_F(FrameLoop, SlowMotionRunsOneTickInEvery129) {
    // Ticks 1, 130, 259 and 388 run: the start-up step and three running frames.
    std::vector<unsigned long> ranAt;
    long seen = 0;
    harness::RunFrames("/S", 520, [&](unsigned long tick) {
        long now = harness::RunningFramesSeen();
        if (now != seen) ranAt.push_back(tick), seen = now;
    });
    EXPECT_EQ(shell.frameCounter, 520u);
    // The tick a frame ran in is seen by the first idle after it. Ticks here
    // are a millisecond apart but for the start-up's own waits, so the first
    // frame may come a few ticks early.
    ASSERT_EQ(ranAt.size(), 4u);
    EXPECT_LE(ranAt[0], 130u);
    for (std::size_t i = 1; i < ranAt.size(); ++i)
        EXPECT_EQ(ranAt[i] - ranAt[i - 1], 129u) << "one in 129, not one in 128 or 130";
}

// Whether a "1 ms" sleep lasts one, two or three, slow motion runs one frame
// per 129 ticks of a loop that polls every millisecond: the counter (which
// picks the pieces) moves by exactly 129 a frame, the pace stays 129 ms, and
// the loop still sleeps rather than spins.
TEST_F(FrameLoop, SlowMotionKeepsToTheClockWhateverASleepLasts) {
    for (std::uint32_t lasts : {1u, 2u, 3u}) {
        SCOPED_TRACE(testing::Message() << "a sleep lasts " << lasts << " ms");
        harness::ResetAll();
        headless::SetSleepHook([lasts](std::uint32_t ms) { headless::AdvanceTime(ms + lasts - 1); });
        std::vector<std::uint32_t> ranAt;
        std::vector<unsigned long> counterAt;
        long seen = 0;
        harness::RunProgram("/S", [&](std::uint32_t ms) {
            long now = harness::RunningFramesSeen();
            if (now != seen) ranAt.push_back(headless::Time()), counterAt.push_back(shell.frameCounter), seen = now;
            // Only sleeps move the clock here.
            headless::SetTime(headless::Time() - ms);
            return ranAt.size() < 8;
        });
        ASSERT_EQ(ranAt.size(), 8u);
        for (std::size_t i = 2; i < ranAt.size(); ++i) {
            EXPECT_EQ(counterAt[i] - counterAt[i - 1], 129u) << "frame " << i;
            EXPECT_GE(ranAt[i] - ranAt[i - 1], 128u) << "frame " << i;
            EXPECT_LE(ranAt[i] - ranAt[i - 1], 131u) << "frame " << i;
        }
        // Over many frames the odd millisecond a long sleep overran is not lost.
        EXPECT_NEAR(static_cast<double>(ranAt.back() - ranAt[1]), 6 * 129.0, 3.0);
        EXPECT_GE(headless::Sleeps(), static_cast<int>(ranAt.back() - ranAt[1]) / static_cast<int>(lasts));
    }
}

// A stall (a dragged window, a slow disk) in slow motion costs the frames it
// held up: the loop then runs the one it owes and keeps to its pace again,
// never a burst to catch up.
TEST_F(FrameLoop, SlowMotionRunsNoBurstAfterAStall) {
    std::vector<std::uint32_t> ranAt;
    long seen = 0;
    bool stalled = false;
    harness::RunProgram("/S", [&](std::uint32_t) {
        long now = harness::RunningFramesSeen();
        if (now != seen) ranAt.push_back(headless::Time()), seen = now;
        // Half way to the next frame, while the loop sleeps out its countdown.
        if (ranAt.size() == 3 && !stalled && headless::Time() > ranAt[2] + 60)
            headless::AdvanceTime(2000), stalled = true;
        return ranAt.size() < 7;
    });
    ASSERT_EQ(ranAt.size(), 7u);
    EXPECT_GE(ranAt[3] - ranAt[2], 2000u);
    for (std::size_t i = 5; i < ranAt.size(); ++i) EXPECT_GE(ranAt[i] - ranAt[i - 1], 128u) << "frame " << i;
}

// The keyboard as a player uses it, through the messages Windows sends for
// it: Alt+Enter switches to full screen, Escape ends the game on release.
TEST_F(FrameLoop, TheKeyboardReachesTheGameAsWindowsMessages) {
    struct Step {
        unsigned long frame;
        int vk;
        bool down;
    };
    const Step script[] = {{10, VK_MENU, true},  {11, VK_RETURN, true}, {12, VK_RETURN, false},
                           {13, VK_MENU, false}, {30, VK_ESCAPE, true}, {31, VK_ESCAPE, false}};
    bool fullAfterSwitch = false;
    unsigned long escapedAt = 0;
    std::size_t next = 0;
    int code = harness::RunProgram("", [&](std::uint32_t) {
        if (next < std::size(script) && shell.frameCounter >= script[next].frame) {
            if (script[next].vk == VK_ESCAPE) fullAfterSwitch = host::InFullScreenMode();
            headless::SetKey(script[next].vk, script[next].down);
            if (++next == std::size(script)) escapedAt = shell.frameCounter;
        }
        return shell.frameCounter < 100;
    });
    EXPECT_TRUE(fullAfterSwitch) << "Alt+Enter";
    EXPECT_EQ(code, 0);
    ASSERT_NE(escapedAt, 0u);
    EXPECT_LE(shell.frameCounter, escapedAt + 1) << "Escape's release ends the game";
}

TEST_F(FrameLoop, WithoutSlowMotionEveryTickRunsAFrame) {
    harness::RunFrames("", 50);
    EXPECT_EQ(harness::RunningFramesSeen(), 49) << "tick 1 is the start-up step";
}

TEST_F(FrameLoop, StartUpOnTickOneThenPlayFromTickTwo) {
    std::vector<LONG> sceneAt(5, -1);
    std::vector<LONG> stateAt(5, -1);
    // The last idle of a tick comes after its step; record what it left.
    harness::RunProgram("", [&](std::uint32_t) {
        unsigned long f = shell.frameCounter;
        if (f < sceneAt.size()) {
            sceneAt[f] = currentScene;
            stateAt[f] = frameState;
        }
        return f < 4;
    });
    EXPECT_EQ(stateAt[1], STATE_RUNNING);
    EXPECT_EQ(sceneAt[1], SCENE_STARTUP);
    EXPECT_EQ(sceneAt[2], SCENE_PLAY);
    // The first piece was chosen at frame counter 2: the single block.
    harness::ResetAll();
    harness::RunFrames("", 2);
    EXPECT_EQ(piece.shape, 0);
    EXPECT_EQ(piece.rotation, 1);
}

TEST_F(FrameLoop, SecondInstanceBringsTheFirstForwardAndLeaves) {
    headless::SetForeignWindow(TUMBLA_CLASS_NAME, true);
    int code = harness::RunFrames("/F", 10);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(headless::RaiseRequests(TUMBLA_CLASS_NAME), 1);
    EXPECT_EQ(shell.frameCounter, 0u) << "no frame, no window, no device";
    EXPECT_EQ(shell.mainWindow, nullptr);
}

TEST_F(FrameLoop, RunningInstanceAnnouncesItsWindowClass) {
    bool published = false;
    harness::RunFrames("", 3, [&](unsigned long) { published = headless::ClassPublished(TUMBLA_CLASS_NAME); });
    EXPECT_TRUE(published);
    EXPECT_FALSE(headless::ClassPublished(TUMBLA_CLASS_NAME)) << "withdrawn with the window";
}

TEST_F(FrameLoop, QuitStepReleasesThenPostsQuitAndEnds) {
    int code = harness::RunProgram("", [&](std::uint32_t) {
        if (shell.frameCounter == 5 && frameState == STATE_RUNNING) RequestQuit();
        return true;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(frameState, STATE_DONE);
    EXPECT_EQ(shell.frameCounter, 6u) << "the quit step ran on the next tick and nothing after it";
    EXPECT_EQ(launchOptions.displayReady, 0);
}

TEST_F(FrameLoop, ErrorStepReleasesReportsThenQuits) {
    std::vector<LONG> states;
    harness::RunProgram("", [&](std::uint32_t) {
        if (shell.frameCounter == 5 && frameState == STATE_RUNNING) RaiseError(ERR_SCREEN_MODE);
        if (states.empty() || states.back() != frameState) states.push_back(frameState);
        return true;
    });
    states.push_back(frameState);
    ASSERT_GE(states.size(), 3u);
    EXPECT_EQ(states[states.size() - 3], STATE_ERROR);
    EXPECT_EQ(states[states.size() - 2], STATE_QUIT);
    EXPECT_EQ(states.back(), STATE_DONE);
    EXPECT_EQ(shell.frameCounter, 7u) << "error step at tick 6, quit step at tick 7";
}

TEST_F(FrameLoop, FailedDisplayStillOpensSoundAndMusicThenReportsAndQuits) {
    platform::ArmFault({"DirectDrawCreate", static_cast<std::int32_t>(0x80004005)});
    std::vector<std::string> callsInTick1;
    LONG stateAfterTick1 = 0, soundAfterTick1 = 0;
    int code = harness::RunProgram("", [&](std::uint32_t) {
        if (shell.frameCounter == 1 && callsInTick1.empty()) {
            callsInTick1 = platform::TracedCalls();
            stateAfterTick1 = frameState;
            soundAfterTick1 = soundReady;
        }
        return shell.frameCounter < 50;
    });
    auto has = [&](const char* call) {
        return std::find(callsInTick1.begin(), callsInTick1.end(), call) != callsInTick1.end();
    };
    EXPECT_TRUE(has("DirectDrawCreate"));
    EXPECT_TRUE(has("DirectSoundCreate")) << "the sound device is opened in the same frame";
    EXPECT_TRUE(has("midiStreamOpen")) << "and the MIDI stream";
    EXPECT_FALSE(has("MessageBoxW") || has("MessageBoxA")) << "the report waits for the next frame";
    EXPECT_EQ(stateAfterTick1, STATE_ERROR);
    EXPECT_EQ(soundAfterTick1, 1);
    EXPECT_EQ(soundReady, 0) << "released before the report";
    EXPECT_EQ(launchOptions.displayReady, 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(shell.frameCounter, 3u) << "report in tick 2, quit in tick 3";
    EXPECT_EQ(errorFlags, 0u) << "the report cleared what it reported";
}

// Where each call first (or last) appears in the log.
long FirstAt(const std::vector<std::string>& calls, const char* call) {
    auto it = std::find(calls.begin(), calls.end(), call);
    return it == calls.end() ? -1 : static_cast<long>(it - calls.begin());
}

TEST_F(FrameLoop, StartUpOpensDisplayThenJoystickThenSoundThenMusic) {
    harness::RunFrames("", 3);
    auto calls = platform::TracedCalls();
    long display = FirstAt(calls, "DirectDrawCreate"), pad = FirstAt(calls, "joyGetNumDevs");
    long sound = FirstAt(calls, "DirectSoundCreate"), music = FirstAt(calls, "midiStreamOpen");
    ASSERT_GE(display, 0);
    EXPECT_LT(display, pad);
    EXPECT_LT(pad, sound);
    EXPECT_LT(sound, music);
}

TEST_F(FrameLoop, TheErrorStepReleasesEveryDeviceBeforeTheReport) {
    harness::RunProgram("/F", [&](std::uint32_t) {
        if (shell.frameCounter == 5 && frameState == STATE_RUNNING) RaiseError(ERR_SCREEN_MODE);
        return true;
    });
    auto calls = platform::TracedCalls();
    long report = FirstAt(calls, "MessageBoxW");
    ASSERT_GE(report, 0);
    for (const char* release : {"IDirectDraw::RestoreDisplayMode", "IDirectSound::Release", "midiStreamClose"}) {
        long at = FirstAt(calls, release);
        EXPECT_GE(at, 0) << release;
        EXPECT_LT(at, report) << release << " comes before the report";
    }
}

}  // namespace
