// The sound sets over SDL's own audio device path. SDL's disk driver plays
// into a file in real time, so what a player would hear can be read back.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/headless/headless.h"
#include "sound/sound.h"
#include "tests/platform/dsound/audio_checks.h"
#include "tests/sound/wave_resources.h"

namespace {

std::vector<std::int16_t> ReadCapture(const std::string& path) {
    auto bytes = wave_resources::ReadAll(path);
    std::vector<std::int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    return pcm;
}

TEST(SdlAudio, AnEffectPlayedThroughASetIsInTheCapture) {
    std::string capture = ::testing::TempDir() + "tumbla_sound_capture.raw";
    std::remove(capture.c_str());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    headless::Reset();
    wave_resources::EnsureWaveResources();
    HWND window = audio_checks::MakeWindow();

    ASSERT_TRUE(SoundOpen(window));
    SoundSet chime{};
    ASSERT_TRUE(SoundLoad(&chime, MAKEINTRESOURCEA(119), 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // silence first
    ASSERT_NE(SoundPlay(&chime), nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_TRUE(SoundIsPlaying(&chime));
    SoundClose();

    auto pcm = ReadCapture(capture);
    std::remove(capture.c_str());
    // 44.1 kHz 16-bit stereo, about a second of it.
    ASSERT_GT(pcm.size(), 2u * 44100 * 6 / 10);
    std::vector<std::int16_t> before(pcm.begin(), pcm.begin() + 2 * 44100 / 10);
    std::vector<std::int16_t> after(pcm.end() - 2 * 44100 / 5, pcm.end());
    EXPECT_EQ(audio_checks::Peak(before, audio_checks::kLeft), 0);
    EXPECT_GT(audio_checks::Peak(after, audio_checks::kLeft), 3000);
    EXPECT_GT(audio_checks::Rms(after, audio_checks::kRight), 300);
}

TEST(SdlAudio, NoUsableDriverMeansNoSoundDevice) {
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    headless::Reset();
    HWND window = audio_checks::MakeWindow();
    EXPECT_FALSE(SoundOpen(window));
    EXPECT_EQ(soundReady, 0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_TRUE(SoundOpen(window));
    SoundClose();
}

}  // namespace
