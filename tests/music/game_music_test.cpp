// The whole program with its music: the song starts in the first scene and
// plays while the game runs; without it, or without a MIDI device, the game
// plays on in silence and shows no report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "shell/shell.h"
#include "tests/music/player_fixture.h"
#include "tests/support/game_harness.h"

namespace {

using namespace player_fixture;

class GameMusic : public PlayerTest {
protected:
    void SetUp() override {
        harness::ResetAll();
        PlayerTest::SetUp();
    }
    void TearDown() override {
        if (!home_.empty()) std::filesystem::current_path(home_);
        harness::ResetAll();  // the sound device too, left open by the close box
        PlayerTest::TearDown();
    }

    // Runs the program for `frames` frames, the audio keeping pace (a
    // sixtieth of a second of it per frame).
    void Run(unsigned long frames) {
        ASSERT_EQ(harness::RunFrames("", frames, [this](unsigned long) { Render(20); }), 0);
        EXPECT_GE(shell.frameCounter, frames);
        EXPECT_TRUE(headless::MessageBoxes().empty());
    }
    int Peak() const {
        int peak = 0;
        for (std::int16_t s : pcm_) peak = std::max(peak, std::abs(static_cast<int>(s)));
        return peak;
    }

    // Runs from a folder of our own, holding the song given (or none).
    void MoveTo(const std::string& name, const midi_files::Bytes* song) {
        home_ = std::filesystem::current_path().string();
        std::filesystem::path dir = midi_files::TempPath(name);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "sample_data");
        if (song) midi_files::Write(name + "/sample_data/sw5.mid", *song);
        std::filesystem::current_path(dir);
    }

    std::string home_;
};

TEST_F(GameMusic, TheSongPlaysFromTheFirstSceneOn) {
    Run(240);
    EXPECT_GT(NoteOns().size(), 20u);
    EXPECT_GT(Peak(), 1000);
}

TEST_F(GameMusic, AMissingSongLeavesTheGameRunningInSilence) {
    MoveTo("no_song", nullptr);
    Run(240);
    EXPECT_TRUE(NoteOns().empty());
}

TEST_F(GameMusic, ABrokenSongLeavesTheGameRunningInSilence) {
    midi_files::Bytes broken = midi_files::ReadAll("sample_data/sw5.mid");
    broken.resize(broken.size() / 2);  // a song cut off in the middle
    MoveTo("broken_song", &broken);
    Run(240);
    EXPECT_TRUE(NoteOns().empty());
}

TEST_F(GameMusic, WithoutAMidiDeviceTheGamePlaysOn) {
    headless::SetMidiSynth(false);
    Run(240);
    EXPECT_TRUE(NoteOns().empty());
}

}  // namespace
