// The whole program, headless, through start-up and 600 frames of scripted
// play, in a window and full screen, once with every named failure point of
// the stand-in failing its first call and once failing every call. Each run
// must end as the program promises: the error report naming the device, the
// window-creation message, or play going on; never a crash or a hang, and
// (under the sanitizers) never a leak. The points come from the registry, so
// a new one joins without being listed here; a point that should stop the
// program must be named below.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "platform/host/headless/headless.h"
#include "platform/trace/trace.h"
#include "game/play.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "tests/support/game_harness.h"

// The game's three effects (game/play.cpp).
extern SoundSet gameSounds[3];

namespace {

constexpr unsigned long kFrames = 600;
constexpr std::int32_t kFailure = static_cast<std::int32_t>(0x80004005);  // E_FAIL: no retry loop waits on it

enum class Outcome { Plays, DirectDrawReport, DirectSoundReport, NoWindow };

const char* Name(Outcome o) {
    switch (o) {
        case Outcome::Plays: return "play goes on";
        case Outcome::DirectDrawReport: return "the DirectDraw report";
        case Outcome::DirectSoundReport: return "the DirectSound report";
        case Outcome::NoWindow: return "the window-creation message";
    }
    return "?";
}

struct SweepRun {
    bool fullScreen;
    bool everyCall;
};

// Where a failure ends the program instead of letting it play on. Failing
// only the first call of a full-screen surface creation is met by a second
// attempt; every other display set-up step is fatal at its first failure.
Outcome Expected(const std::string& point, const SweepRun& run) {
    static const std::set<std::string> displaySetup = {
        "DirectDrawCreate",
        "IDirectDraw::GetCaps",
        "IDirectDraw::SetCooperativeLevel",
        "IDirectDraw::SetDisplayMode",
        "IDirectDrawSurface::GetAttachedSurface",
        "IDirectDraw::CreateClipper",
        "IDirectDrawClipper::SetClipList",
        "IDirectDrawSurface::SetClipper",
        "IDirectDrawClipper::SetHWnd",
        "IDirectDraw::CreatePalette",
        "IDirectDrawSurface::SetPalette",
    };
    if (point == "RegisterClassExA" || point == "CreateWindowExA") return Outcome::NoWindow;
    if (point == "DirectSoundCreate") return Outcome::DirectSoundReport;
    if (displaySetup.count(point)) return Outcome::DirectDrawReport;
    if (point == "IDirectDraw::CreateSurface")
        return run.fullScreen && !run.everyCall ? Outcome::Plays : Outcome::DirectDrawReport;
    return Outcome::Plays;
}

// The frame state and scene of the last tick before the harness closed the
// window.
DWORD lastState;
DWORD lastScene;

// Scripted play: moves, turns and drops, each key held a few frames.
void Keys(unsigned long frame) {
    static const int script[] = {VK_LEFT, VK_LEFT, 'Z', VK_RIGHT, 'X', VK_DOWN, VK_RIGHT, VK_SPACE, VK_DOWN, VK_LEFT};
    lastState = static_cast<DWORD>(frameState);
    lastScene = static_cast<DWORD>(currentScene);
    // The effects, as a game that plays them would: every call of the sound
    // module on the loaded sets.
    if (frame == 200) SoundPlay(&gameSounds[0]);
    if (frame == 201) SoundPlayLooping(&gameSounds[1]);
    if (frame == 202) SoundSetVolume(&gameSounds[1], 100), SoundSetPan(&gameSounds[1], 30);
    if (frame == 203) SoundSetFrequency(&gameSounds[1], 80), SoundIsPlaying(&gameSounds[1]);
    if (frame == 204) SoundPlay(&gameSounds[0]), SoundStopSet(&gameSounds[1]);
    if (frame == 205) SoundPlayOne(gameSounds[2].copies[0]), SoundStopOne(gameSounds[2].copies[0]);
    headless::ReleaseAllKeys();
    if (frame % 12 < 4) headless::SetKey(script[(frame / 12) % (sizeof(script) / sizeof(script[0]))], true);
}

const std::string kHeader = "続行不能なｴﾗｰが発生しました！\n\n";
const std::string kFooter = "\n終了します。（対処方法については、取り扱い説明書を御覧下さい）";
const std::string kDirectDraw = kHeader + "01 : DirectX(DirectDraw)の初期化に失敗しました\n" + kFooter;
const std::string kDirectSound = kHeader + "01 : DirectX(DirectSound)の初期化に失敗しました\n" + kFooter;
const std::string kNoWindow = "初期化に失敗しました。\n\n取り扱い説明書を参照して下さい。";

// What the run did, told apart by what the player would see.
Outcome Observed(std::string& detail) {
    const auto& boxes = headless::MessageBoxes();
    if (boxes.empty()) {
        if (shell.frameCounter < kFrames || lastState != STATE_RUNNING || lastScene != SCENE_PLAY ||
            harness::RunningFramesSeen() < static_cast<long>(kFrames) - 2) {
            detail = "no report, yet play stopped at tick " + std::to_string(shell.frameCounter) + ", state " +
                     std::to_string(lastState);
        }
        return Outcome::Plays;
    }
    if (boxes.size() != 1) detail = std::to_string(boxes.size()) + " message boxes";
    const std::string& text = boxes.back().text;
    if (text == kDirectDraw) return Outcome::DirectDrawReport;
    if (text == kDirectSound) return Outcome::DirectSoundReport;
    if (text == kNoWindow && shell.frameCounter == 0) return Outcome::NoWindow;
    detail = "an unexpected message: " + text;
    return Outcome::Plays;
}

class FaultSweep : public ::testing::TestWithParam<SweepRun> {
protected:
    void TearDown() override { harness::ResetAll(); }
};

TEST_P(FaultSweep, EveryFailurePointEndsAsPromised) {
    const SweepRun run = GetParam();
    const std::vector<std::string> points = platform::FaultPoints();
    ASSERT_GE(points.size(), 60u) << "the registry lists the stand-in's failure points";
    std::vector<std::string> neverCalled;
    for (const std::string& point : points) {
        SCOPED_TRACE(point);
        harness::ResetAll();
        lastState = lastScene = 0;
        platform::ArmFault({point, kFailure, 0, run.everyCall ? 1 : 0});
        harness::RunFrames(run.fullScreen ? "/F" : "", kFrames, Keys);
        std::string detail;
        Outcome seen = Observed(detail);
        EXPECT_TRUE(detail.empty()) << detail;
        // The devices are taken down as the quit step does, the fault still armed.
        harness::ResetAll();
        std::vector<std::string> unfired = platform::TakeUnfiredFaults();
        if (!unfired.empty()) {
            // Never reached in this run: nothing could go wrong, and nothing did.
            neverCalled.push_back(point);
            EXPECT_EQ(seen, Outcome::Plays) << Name(seen);
            continue;
        }
        Outcome want = Expected(point, run);
        EXPECT_EQ(seen, want) << "saw " << Name(seen) << ", expected " << Name(want);
    }
    std::string list;
    for (const auto& p : neverCalled) list += " " + p;
    RecordProperty("never_called", list);
    std::printf("%zu failure points, %zu never called in this run:%s\n", points.size(), neverCalled.size(),
                list.c_str());
    // The calls every run makes, whatever is failed, are all reached.
    for (const char* reached : {"DirectDrawCreate", "DirectSoundCreate", "IDirectDrawSurface::Blt", "LoadImageA",
                                "ReadFile", "CreateFileA", "midiStreamOut", "IDirectSoundBuffer::Lock"})
        EXPECT_EQ(std::count(neverCalled.begin(), neverCalled.end(), reached), 0) << reached;
}

INSTANTIATE_TEST_SUITE_P(Runs, FaultSweep,
                         ::testing::Values(SweepRun{false, false}, SweepRun{false, true}, SweepRun{true, false},
                                           SweepRun{true, true}),
                         [](const ::testing::TestParamInfo<SweepRun>& info) {
                             return std::string(info.param.fullScreen ? "FullScreen" : "Window") +
                                    (info.param.everyCall ? "EveryCall" : "FirstCall");
                         });

}  // namespace
