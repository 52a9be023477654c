// The stream player over the stand-in's MIDI mapper and the headless host:
// audio is rendered by the test in 10 ms steps, and each step waits for the
// notification thread to answer what the step played, so every run is the
// same to the frame.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "music/music.h"
#include "music/sequencer.h"
#include "music/t_midcnv.h"
#include "platform/host/headless/headless.h"
#include "platform/trace/trace.h"
#include "platform/host/headless/headless_audio.h"
#include "platform/host/headless/headless_synth.h"
#include "platform/winmm/midi_internal.h"
#include "tests/music/midi_files.h"

namespace player_fixture {

constexpr int kRate = 44100;
constexpr int kStep = kRate / 100;

// Everything the player and converter keep, back to a program's start.
inline void ResetMusic() {
    MusicClose();
    ReleaseStreamBuffers();
    SongClose();
    ClearMusicState();
    ClearConverterState();
    ClearSequencerState();
}

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMusic();
        headless::Reset();
        headless::ResetAudio();
        headless::SetAudioDevice(true);
        headless::SetMidiSynth(true);
        headless::ClearSynthMessages();
    }
    void TearDown() override {
        platform::ClearFaults();
        ResetMusic();
        headless::SetAudioDevice(true);
        headless::SetMidiSynth(true);
    }

    // Renders `ms` milliseconds of the audio stream; the samples are kept.
    void Render(int ms) {
        for (int i = 0; i < ms / 10; ++i) {
            std::vector<std::int16_t> step = headless::RenderAudio(kStep);
            pcm_.insert(pcm_.end(), step.begin(), step.end());
            platform::midi::FlushNotifications();
        }
    }

    // Frames at which the synthesiser started notes (velocity above 0).
    static std::vector<std::uint64_t> NoteOns(int key = -1) {
        std::vector<std::uint64_t> at;
        for (const auto& m : headless::SynthMessages()) {
            if ((m.message & 0xF0) != 0x90 || ((m.message >> 16) & 0x7F) == 0) continue;
            if (key >= 0 && static_cast<int>((m.message >> 8) & 0x7F) != key) continue;
            at.push_back(m.frame);
        }
        return at;
    }

    std::vector<std::int16_t> pcm_;
};

// A song of three notes a quarter apart at 120 quarters a minute (division
// 96, so a quarter is 22050 frames), a volume change on channel 0, and a
// last event at tick 288: one pass lasts exactly 66150 frames.
inline std::string ShortSong(const char* name = "short.mid") {
    using namespace midi_files;
    TrackData tempo;
    tempo.Tempo(0, 500000).End(288);
    TrackData notes;
    notes.Event(0, {0xC0, 11});
    notes.NoteOn(0, 0, 60).NoteOn(48, 0, 60, 0);
    notes.NoteOn(48, 0, 62).Event(4, {0xB0, 7, 90}).NoteOn(44, 0, 62, 0);
    notes.NoteOn(48, 0, 64).NoteOn(48, 0, 64, 0);
    notes.Event(48, {0xB0, 7, 100}).End();
    return Write(name, File(2, 96).Track(tempo).Track(notes).bytes);
}
constexpr std::uint64_t kShortSongFrames = 66150;

}  // namespace player_fixture
