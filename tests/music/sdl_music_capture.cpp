// The player over the real synthesiser: FluidSynth with the host's General
// MIDI soundfont, into SDL's audio device through its disk driver (which
// plays into a file in real time), so what a player would hear is read back.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "music/music.h"
#include "platform/host/headless/headless.h"

namespace {

std::vector<std::int16_t> ReadCapture(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    return pcm;
}

TEST(FluidSynthMusic, TheSongIsHeardThroughTheAudioDevice) {
    std::string capture = ::testing::TempDir() + "tumbla_music_capture.raw";
    std::remove(capture.c_str());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    headless::Reset();

    ASSERT_TRUE(MusicOpen()) << "no soundfont or no FluidSynth: install timgm6mb-soundfont";
    ASSERT_TRUE(MusicLoad(".\\sample_data\\sw5.mid"));
    ASSERT_TRUE(MusicStart(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    EXPECT_TRUE(MusicClose());

    auto pcm = ReadCapture(capture);
    std::remove(capture.c_str());
    ASSERT_GT(pcm.size(), 2u * 44100 * 2);  // 44.1 kHz 16-bit stereo, a good two seconds of it
    // Every half second after the first is music, loud enough and unclipped.
    int clipped = 0;
    for (std::size_t start = 2 * 22050; start + 2 * 22050 <= pcm.size(); start += 2 * 22050) {
        double sum = 0;
        for (std::size_t i = start; i < start + 2 * 22050; ++i) {
            sum += double(pcm[i]) * pcm[i];
            clipped += pcm[i] == 32767 || pcm[i] == -32768;
        }
        EXPECT_GT(std::sqrt(sum / (2 * 22050)), 500.0) << start / 2 / 22050.0 << " s";
    }
    EXPECT_EQ(clipped, 0);
}

}  // namespace
