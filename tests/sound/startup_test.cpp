// The sound device in the real program: opened in the start-up frame, the
// three effects loaded by the start-up scene, and no audio device ending the
// program with the report.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/host/headless/headless_audio.h"
#include "music/music.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "tests/platform/dsound/audio_checks.h"
#include "tests/sound/wave_resources.h"
#include "tests/support/game_harness.h"

extern SoundSet gameSounds[3];

namespace {

// Closing the window ends the loop without the quit step, so a run may leave
// its devices open: close them as the end of the process would.
void CloseDevices() {
    SoundClose();
    MusicClose();
}

void FreshProgram() {
    CloseDevices();
    harness::ResetAll();
    headless::ResetAudio();
    std::memset(gameSounds, 0, sizeof(gameSounds));
    wave_resources::EnsureWaveResources();
}

TEST(SoundStartup, TheProgramOpensTheDeviceAndLoadsTheThreeEffects) {
    FreshProgram();
    const DWORD rates[3] = {5500, 22050, 11000};
    bool checked = false;
    harness::RunFrames("", 4, [&](unsigned long frame) {
        if (frame != 3) return;
        checked = true;
        EXPECT_EQ(soundReady, 1);
        EXPECT_TRUE(headless::AudioDeviceOpen());
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(118 + i);
            EXPECT_EQ(gameSounds[i].copyCount, 1);
            ASSERT_NE(gameSounds[i].copies[0], nullptr);
            WAVEFORMATEX f{};
            ASSERT_EQ(gameSounds[i].copies[0]->GetFormat(&f, sizeof(f), nullptr), DS_OK);
            EXPECT_EQ(f.nSamplesPerSec, rates[i]);
        }
        // Nothing plays them in this version, but they are ready to.
        EXPECT_NE(SoundPlay(&gameSounds[1]), nullptr);
        EXPECT_GT(audio_checks::Peak(headless::RenderAudio(4410), audio_checks::kLeft), 0);
    });
    EXPECT_TRUE(checked);
    CloseDevices();
    EXPECT_FALSE(headless::AudioDeviceOpen());
}

TEST(SoundStartup, NoAudioDeviceEndsTheProgramWithMessage6) {
    FreshProgram();
    headless::SetAudioDevice(false);
    std::vector<LONG> states;
    DWORD flagsAtError = 0;
    int code = harness::RunProgram(
        "",
        [&](std::uint32_t) {
            if (states.empty() || states.back() != frameState) states.push_back(frameState);
            if (frameState == STATE_ERROR) flagsAtError = errorFlags;
            return true;
        },
        100000);
    headless::SetAudioDevice(true);

    EXPECT_EQ(code, 0);
    EXPECT_NE(flagsAtError & ERR_DIRECTSOUND, 0u);
    EXPECT_NE(std::find(states.begin(), states.end(), STATE_ERROR), states.end());
    EXPECT_EQ(std::find(states.begin(), states.end(), STATE_RUNNING), states.end());
    EXPECT_EQ(frameState, STATE_DONE);
    EXPECT_EQ(soundReady, 0);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_NE(headless::MessageBoxes()[0].text.find("01 : DirectX(DirectSound)の初期化に失敗しました"),
              std::string::npos)
        << headless::MessageBoxes()[0].text;
}

}  // namespace
