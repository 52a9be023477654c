// The game's own song through the player and the headless audio path: it is
// heard, it holds the shape it was written with, and its loop is seamless.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "platform/winmm/midi_file.h"
#include "tests/music/player_fixture.h"

namespace {

using namespace player_fixture;

const char* const kSong = ".\\sample_data\\sw5.mid";

double WindowRms(const std::vector<std::int16_t>& pcm, std::size_t firstFrame, std::size_t frames) {
    double sum = 0;
    for (std::size_t i = 2 * firstFrame; i < 2 * (firstFrame + frames) && i < pcm.size(); ++i)
        sum += static_cast<double>(pcm[i]) * pcm[i];
    return std::sqrt(sum / static_cast<double>(2 * frames));
}

// The length of one pass of a song, in frames at 44.1 kHz: from its first
// event to its last, through its tempo changes.
std::uint64_t PassFrames(const platform::midi::SongEvents& song) {
    std::uint64_t tempo = 500000, frames = 0;
    unsigned __int128 remainder = 0;
    const std::uint64_t denominator = std::uint64_t(song.timeDivision) * 1000000;
    for (std::size_t i = 0; i + 2 < song.words.size(); i += 3) {
        unsigned __int128 n = static_cast<unsigned __int128>(song.words[i]) * tempo * kRate + remainder;
        frames += static_cast<std::uint64_t>(n / denominator);
        remainder = n % denominator;
        DWORD event = song.words[i + 2];
        if (MEVT_EVENTTYPE(event) == MEVT_TEMPO) tempo = MEVT_EVENTPARM(event);
    }
    return frames;
}

TEST(Song, IsAFormatOneSongOfTheShapeItWasWrittenWith) {
    auto bytes = midi_files::ReadAll("sample_data/sw5.mid");
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes[9], 1);  // format 1
    int tracks = bytes[10] << 8 | bytes[11];
    EXPECT_GE(tracks, 5);

    platform::midi::SongEvents song;
    ASSERT_EQ(platform::midi::ParseMidiFile(bytes, song), platform::midi::FileResult::Ok);
    std::set<DWORD> tempos;
    std::set<int> channels, programs;
    int volumes = 0;
    for (std::size_t i = 0; i + 2 < song.words.size(); i += 3) {
        DWORD e = song.words[i + 2];
        if (MEVT_EVENTTYPE(e) == MEVT_TEMPO) tempos.insert(MEVT_EVENTPARM(e));
        if ((e & 0xF0) == 0x90) channels.insert(static_cast<int>(e & 0x0F));
        if ((e & 0xF0) == 0xC0) programs.insert(static_cast<int>((e >> 8) & 0x7F));
        if ((e & 0xF0) == 0xB0 && ((e >> 8) & 0xFF) == 7) ++volumes;
    }
    EXPECT_GE(tempos.size(), 2u);    // a tempo change
    EXPECT_TRUE(channels.count(9));  // drums
    EXPECT_GE(channels.size(), 5u);  // and several instruments
    EXPECT_GE(programs.size(), 4u);
    EXPECT_GE(volumes, 6);
    double seconds = static_cast<double>(PassFrames(song)) / kRate;
    EXPECT_GE(seconds, 60.0);
    EXPECT_LE(seconds, 120.0);
}

class SongTest : public PlayerTest {};

TEST_F(SongTest, TenSecondsOfTheSongAreHeard) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(kSong));
    ASSERT_TRUE(MusicStart(1));
    Render(10000);
    ASSERT_EQ(pcm_.size(), 2u * 10 * kRate);
    for (int second = 0; second < 10; ++second)
        EXPECT_GT(WindowRms(pcm_, static_cast<std::size_t>(second) * kRate, kRate), 300.0) << second;
    EXPECT_GT(NoteOns().size(), 50u);
}

TEST_F(SongTest, TheLoopPointAddsNoGap) {
    platform::midi::SongEvents song;
    ASSERT_EQ(platform::midi::LoadMidiFile("sample_data/sw5.mid", song), platform::midi::FileResult::Ok);
    const std::uint64_t pass = PassFrames(song);

    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(kSong));
    ASSERT_TRUE(MusicStart(1));
    Render(static_cast<int>(pass * 1000 / kRate) + 3000);

    // The second pass repeats the first, every message a whole pass later
    // to the frame: nothing is lost or late at the seam. (Note-offs are
    // left out: the first pass's last ones fall on the seam itself.)
    auto messages = headless::SynthMessages();
    ASSERT_FALSE(messages.empty());
    const std::uint64_t start = messages.front().frame;
    std::vector<headless::SynthMessage> first, second;
    for (const auto& m : messages) {
        bool noteOff = (m.message & 0xF0) == 0x80 || ((m.message & 0xF0) == 0x90 && (m.message >> 16) == 0);
        if (noteOff) continue;
        std::uint64_t at = m.frame - start;
        if (at < 2 * kRate)
            first.push_back({at, m.message});
        else if (at >= pass && at < pass + 2 * kRate)
            second.push_back({at - pass, m.message});
    }
    ASSERT_GT(first.size(), 20u);
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_LE(std::max(first[i].frame, second[i].frame) - std::min(first[i].frame, second[i].frame), 1u) << i;
        EXPECT_EQ(first[i].message, second[i].message) << i;
    }

    // And no 50 ms around the seam is silent.
    const std::size_t seam = static_cast<std::size_t>(start + pass);
    for (std::size_t at = seam - kRate; at < seam + kRate; at += kRate / 20)
        EXPECT_GT(WindowRms(pcm_, at, kRate / 20), 100.0) << static_cast<long>(at) - static_cast<long>(seam);
}

}  // namespace
