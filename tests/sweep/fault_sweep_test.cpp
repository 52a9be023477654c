// The whole program, headless, through start-up and 600 frames of scripted
// play, in a window and full screen, once with every named failure point of
// the stand-in failing its first call and once failing every call. Each run
// must end as the program promises: the error report naming the device (and
// the program ending by itself after it), the window-creation message, or
// play going on; exit code 0, never a crash or a hang, and (under the
// sanitizers) never a leak. The points come from the registry, so a new one
// joins without being listed here; a point that should stop the program must
// be named below. A point the run reaches with nothing failed must be reached,
// and failed, when armed; and every point is reached by some run with nothing
// failed, or is listed with the reason no run can reach it, so a call that
// goes from the program fails the sweep.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/host/headless/headless.h"
#include "platform/trace/trace.h"
#include "game/field.h"
#include "game/play.h"
#include "game/sheet.h"
#include "graphics/display.h"
#include "music/music.h"
#include "music/sequencer.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "tests/support/game_harness.h"

// The game's three effects (game/play.cpp).
extern SoundSet gameSounds[3];
// An effect of the script's own, read from its file and copied, as the
// sound module allows and the game does not do.
SoundSet scriptSounds;

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
    if (frame == 210) SoundLoad(&scriptSounds, ".\\resources\\sfx118.wav", 2);
    if (frame == 211) SoundPlay(&scriptSounds);
    if (frame == 212) SoundFreeSet(&scriptSounds);
    // The music's other calls, as the game's options would make them: pause
    // and go on, volumes, a stop and a new start, and the MCI way of playing.
    if (frame == 300) MusicPauseToggle();
    if (frame == 310) MusicPauseToggle();
    if (frame == 320) MusicSetMasterVolume(800);
    if (frame == 330) MusicStop(0), MusicStart(1);
    if (frame == 400) SequencerPlay(shell.mainWindow, ".\\sample_data\\sw5.mid");
    // The end of the MCI song, as a window that hands its MM_MCINOTIFY on
    // would report it: the sequencer starts the song again.
    if (frame == 420) SequencerNotify(MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(mciDevice));
    if (frame == 450) SequencerStop();
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

// Runs the program as a sweep run does, with nothing failed and `armed`
// armed, and takes its devices down as the quit step does. The failure
// points it reached.
struct Ran {
    int code;
    std::set<std::string> reached;
};
Ran RunOnce(const SweepRun& run, const platform::FaultPlan* armed) {
    harness::ResetAll();
    lastState = lastScene = 0;
    if (armed) platform::ArmFault(*armed);
    Ran ran;
    ran.code = harness::RunFrames(run.fullScreen ? "/F" : "", kFrames, Keys);
    SoundFreeSet(&scriptSounds);  // a run ended early (by its report) left it
    return ran;
}
std::set<std::string> TearDownAndListReached() {
    ReleaseDisplay(1);
    DropWellImage();
    ClearSheetState();
    SoundClose();
    MusicClose();
    const std::vector<std::string> points = platform::FaultPoints();
    std::set<std::string> reached;
    for (const std::string& call : platform::TracedCalls())
        if (std::binary_search(points.begin(), points.end(), call)) reached.insert(call);
    return reached;
}

const SweepRun kRuns[] = {{false, false}, {false, true}, {true, false}, {true, true}};

// The points no scripted run reaches, and why. Any other point not reached
// means a call has gone from the program (or from its scripts).
const std::map<std::string, std::string> kUnreached = {
    {"IDirectSoundBuffer::GetCaps", "the sound module never asks"},
    {"IDirectSoundBuffer::GetCurrentPosition", "the sound module never asks"},
    {"IDirectSoundBuffer::GetFormat", "the sound module never asks"},
    {"IDirectSoundBuffer::GetFrequency", "the sound module sets, never reads"},
    {"IDirectSoundBuffer::GetPan", "the sound module sets, never reads"},
    {"IDirectSoundBuffer::GetVolume", "the sound module sets, never reads"},
    {"IDirectSoundBuffer::Initialize", "buffers come from CreateSoundBuffer, already initialised"},
    {"IDirectSoundBuffer::SetFormat", "only the primary buffer's format can be set; the game makes none"},
    {"IDirectSoundBuffer::Restore", "the sound module has no lost-buffer path: the mixer's buffers are never lost"},
    {"mciSendCommandA:MCI_PAUSE", "the sequencer plays and stops; it never pauses"},
    {"mciSendCommandA:MCI_OTHER", "commands the program never sends"},
};

class FaultSweep : public ::testing::TestWithParam<SweepRun> {
protected:
    void TearDown() override { harness::ResetAll(); }
};

TEST_P(FaultSweep, EveryFailurePointEndsAsPromised) {
    const SweepRun run = GetParam();
    const std::vector<std::string> points = platform::FaultPoints();
    ASSERT_GE(points.size(), 60u) << "the registry lists the stand-in's failure points";
    // What this run reaches when nothing fails: each of these is then
    // reached, and failed, when armed (the run goes the same way up to it).
    Ran plain = RunOnce(run, nullptr);
    EXPECT_EQ(plain.code, 0);
    const std::set<std::string> reached = TearDownAndListReached();
    std::vector<std::string> neverCalled;
    for (const std::string& point : points) {
        SCOPED_TRACE(point);
        platform::FaultPlan plan{point, kFailure, 0, run.everyCall ? 1 : 0};
        Ran ran = RunOnce(run, &plan);
        std::string detail;
        Outcome seen = Observed(detail);
        EXPECT_TRUE(detail.empty()) << detail;
        EXPECT_EQ(ran.code, 0) << "the exit code";
        // A report ends the program by itself, before the script would.
        if (seen != Outcome::Plays) {
            EXPECT_LT(shell.frameCounter, kFrames) << Name(seen) << ", yet it went on";
        }
        // The devices are taken down as the quit step does, the fault still armed.
        harness::ResetAll();
        std::vector<std::string> unfired = platform::TakeUnfiredFaults();
        if (!unfired.empty()) {
            // Never reached in this run: nothing could go wrong, and nothing did.
            neverCalled.push_back(point);
            EXPECT_EQ(reached.count(point), 0u) << "reached with nothing failed, yet not when armed";
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

// Every point is reached by some run with nothing failed, or says why not:
// a call taken out of the program fails here. And no run reaches a method the
// stand-in does not implement: a new path into one fails here too.
TEST(FaultSweepReach, EveryPointIsReachedBySomeRunOrListedWithWhyNot) {
    std::set<std::string> reached;
    for (const SweepRun& run : kRuns) {
        RunOnce(run, nullptr);
        for (const std::string& call : platform::TracedCalls())
            EXPECT_NE(call.rfind(platform::kUnimplemented, 0), 0u) << call;
        std::set<std::string> more = TearDownAndListReached();
        reached.insert(more.begin(), more.end());
        harness::ResetAll();
    }
    const std::vector<std::string> points = platform::FaultPoints();
    for (const std::string& point : points) {
        auto why = kUnreached.find(point);
        if (why == kUnreached.end()) {
            EXPECT_EQ(reached.count(point), 1u) << point << ": no run reaches it";
        } else {
            EXPECT_EQ(reached.count(point), 0u) << point << " is reached, yet listed as not: " << why->second;
        }
    }
    for (const auto& [point, why] : kUnreached)
        EXPECT_TRUE(std::binary_search(points.begin(), points.end(), point)) << point << " is no failure point";
}

INSTANTIATE_TEST_SUITE_P(Runs, FaultSweep, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<SweepRun>& info) {
                             return std::string(info.param.fullScreen ? "FullScreen" : "Window") +
                                    (info.param.everyCall ? "EveryCall" : "FirstCall");
                         });

}  // namespace
