// The MIDI stream player against the stand-in's MIDI mapper: opening and
// loading, playing and looping, pausing, stopping and closing while the
// notification thread refills, failures along the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/trace/trace.h"
#include "tests/music/player_fixture.h"

namespace {

using namespace player_fixture;

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TEST_F(PlayerTest, OpeningTwiceChangesNothingAndClosingTwiceDoesNothing) {
    EXPECT_TRUE(MusicOpen());
    HMIDISTRM stream = musicPlayer.stream;
    EXPECT_FALSE(MusicOpen());
    EXPECT_EQ(musicPlayer.stream.load(), stream);
    EXPECT_EQ(platform::midi::OpenStreamCount(), 1);
    EXPECT_EQ(converter.tempoPercent, 100);

    EXPECT_TRUE(MusicClose());
    EXPECT_FALSE(MusicClose());
    EXPECT_EQ(platform::midi::OpenStreamCount(), 0);
    EXPECT_EQ(musicPlayer.bufferReturned, nullptr);
    EXPECT_FALSE(headless::AudioDeviceOpen());
}

TEST_F(PlayerTest, ALoadedSongWaitsInTwoQueuedBuffersInSilence) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    EXPECT_EQ(musicPlayer.loaded, 1);
    EXPECT_EQ(musicPlayer.playing, 0);
    for (const StreamBuffer& b : musicPlayer.buffers) {
        EXPECT_EQ(b.header.dwFlags & (MHDR_PREPARED | MHDR_INQUEUE), static_cast<DWORD>(MHDR_PREPARED | MHDR_INQUEUE));
        EXPECT_EQ(b.header.dwBufferLength, 1024u);
    }
    EXPECT_EQ(musicPlayer.returnedCount, 0);
    EXPECT_GT(musicPlayer.buffers[0].header.dwBytesRecorded, 0u);
    EXPECT_EQ(musicPlayer.channelVolume[5], 100);

    Render(500);
    EXPECT_TRUE(NoteOns().empty());
    EXPECT_TRUE(musicPlayer.buffers[0].header.dwFlags & MHDR_INQUEUE);
}

TEST_F(PlayerTest, ALoopingSongRepeatsWithoutAGapAndTracksChannelVolume) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    ASSERT_TRUE(MusicStart(1));
    Render(600);
    EXPECT_EQ(musicPlayer.channelVolume[0], 90);  // the change at tick 100 has played
    Render(4400);

    auto first = NoteOns(60);
    ASSERT_GE(first.size(), 3u);
    for (std::size_t i = 1; i < first.size(); ++i) EXPECT_EQ(first[i] - first[i - 1], kShortSongFrames) << i;
    auto third = NoteOns(64);
    ASSERT_GE(third.size(), 3u);
    EXPECT_EQ(third[0] - first[0], 2u * 22050);
    // Both buffers are out in the stream, each refilled as it came back.
    EXPECT_EQ(musicPlayer.returnedCount, 0);
    EXPECT_EQ(musicPlayer.phase, PhaseNormal);
}

TEST_F(PlayerTest, StartWhilePlayingPausesAndRestartsAtOnce) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    ASSERT_TRUE(MusicStart(1));
    Render(200);
    EXPECT_TRUE(MusicStart(1));
    EXPECT_EQ(musicPlayer.paused, 1);  // set, although the music runs
    Render(1000);
    EXPECT_EQ(NoteOns(62).size(), 1u);
    // The next start only clears the pause, restarting the running stream.
    EXPECT_FALSE(MusicStart(1));
    EXPECT_EQ(musicPlayer.paused, 0);
    EXPECT_EQ(musicPlayer.playing, 1);
    Render(1000);
    EXPECT_EQ(NoteOns(60).size(), 2u);
}

TEST_F(PlayerTest, StartWhilePausedResumesWhereItStopped) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    ASSERT_TRUE(MusicStart(1));
    Render(200);
    EXPECT_TRUE(MusicPauseToggle());
    Render(2000);
    EXPECT_EQ(NoteOns().size(), 1u);
    EXPECT_FALSE(MusicStart(1));
    Render(400);
    auto second = NoteOns(62);
    ASSERT_EQ(second.size(), 1u);
    // A quarter after the first note, plus the pause. The pause began where
    // the stream had read up to, a little ahead of what was heard.
    EXPECT_EQ(second[0], NoteOns(60)[0] + 22050 + 2000 * 441 / 10 - platform::midi::kLookahead);
}

TEST_F(PlayerTest, StopHandsOverWithinTheWaitAndReleasesEverything) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    ASSERT_TRUE(MusicStart(1));
    Render(1500);
    auto start = Clock::now();
    std::uint32_t before = headless::Time();
    EXPECT_TRUE(MusicStop(1));
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_EQ(headless::Time(), before);
    EXPECT_EQ(musicPlayer.loaded, 0);
    EXPECT_EQ(musicPlayer.playing, 0);
    EXPECT_EQ(musicPlayer.phase, PhaseNormal);
    EXPECT_EQ(musicPlayer.stream.load(), nullptr);
    EXPECT_EQ(platform::midi::OpenStreamCount(), 0);
    EXPECT_EQ(songFile.file, nullptr);
    for (const StreamBuffer& b : musicPlayer.buffers) {
        EXPECT_EQ(b.header.lpData, nullptr);
        EXPECT_FALSE(b.header.dwFlags & (MHDR_INQUEUE | MHDR_PREPARED));
    }
    EXPECT_TRUE(MusicClose());
}

// The hand-over on the host's clock: a refill under way when the stop comes
// is waited for a millisecond at a time, and the buffers it then waits for
// come back without the clock moving.
TEST_F(PlayerTest, AStopWaitsForARefillUnderWayThenForTheBuffers) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    ASSERT_TRUE(MusicStart(1));
    Render(500);
    // The notification routine is in the middle of a refill; it finishes
    // during the stop's third sleep.
    musicPlayer.refilling = 1;
    std::vector<std::uint32_t> sleeps;
    headless::SetSleepHook([&](std::uint32_t ms) {
        sleeps.push_back(ms);
        headless::AdvanceTime(ms);
        if (sleeps.size() == 3) musicPlayer.refilling = 0;
    });
    std::uint32_t before = headless::Time();
    EXPECT_TRUE(MusicStop(1));
    headless::SetSleepHook({});
    EXPECT_EQ(sleeps, (std::vector<std::uint32_t>{1, 1, 1}));
    EXPECT_EQ(headless::Time(), before + 3);
    EXPECT_EQ(musicPlayer.phase, PhaseNormal);
    EXPECT_EQ(musicPlayer.loaded, 0);
    EXPECT_EQ(platform::midi::OpenStreamCount(), 0);
    EXPECT_TRUE(MusicClose());
}

// Buffers that never come back: the wait gives up after its two seconds of
// the host's clock, and none of the real one.
TEST_F(PlayerTest, AHandOverNobodyAnswersEndsAfterItsWaitOnTheHostClock) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    ASSERT_TRUE(MusicStart(1));
    Render(500);
    // One more buffer out than the stream really holds: the last return the
    // hand-over waits for never happens.
    musicPlayer.returnedCount -= 1;
    std::uint32_t before = headless::Time();
    auto start = Clock::now();
    EXPECT_TRUE(MusicStop(1));
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_EQ(headless::Time(), before + MUSIC_WAIT_MS);
    EXPECT_EQ(headless::Sleeps(), 0);
    EXPECT_EQ(musicPlayer.phase, PhaseNormal);
    EXPECT_EQ(musicPlayer.loaded, 0);
    EXPECT_TRUE(MusicClose());
}

TEST_F(PlayerTest, ARefusedStopKeepsEverythingForTheNextTry) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    ASSERT_TRUE(MusicStart(1));
    Render(300);
    platform::ArmFault({"midiStreamStop", MMSYSERR_INVALHANDLE, 0, 0});
    EXPECT_FALSE(MusicStop(1));
    EXPECT_EQ(musicPlayer.loaded, 1);
    EXPECT_NE(musicPlayer.stream.load(), nullptr);
    EXPECT_NE(musicPlayer.buffers[0].header.lpData, nullptr);
    platform::ArmFault({"midiOutReset", MMSYSERR_INVALHANDLE, 0, 0});
    EXPECT_FALSE(MusicStop(1));
    EXPECT_EQ(musicPlayer.loaded, 1);
    // The next try goes through, and the close after it releases everything.
    EXPECT_TRUE(MusicStop(1));
    EXPECT_EQ(musicPlayer.loaded, 0);
    EXPECT_TRUE(MusicClose());
    EXPECT_EQ(platform::midi::OpenStreamCount(), 0);
}

TEST_F(PlayerTest, CloseWhilePlayingStopsThenClosesTheDevice) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    ASSERT_TRUE(MusicStart(1));
    Render(700);
    auto start = Clock::now();
    EXPECT_TRUE(MusicClose());
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_EQ(musicPlayer.opened, 0);
    EXPECT_EQ(musicPlayer.loaded, 0);
    EXPECT_EQ(musicPlayer.bufferReturned, nullptr);
    EXPECT_EQ(platform::midi::OpenStreamCount(), 0);
    EXPECT_FALSE(headless::AudioDeviceOpen());
    std::size_t notes = NoteOns().size();
    Render(500);
    EXPECT_EQ(NoteOns().size(), notes);
}

TEST_F(PlayerTest, AMissingSongLeavesSilenceAndAQuickClose) {
    ASSERT_TRUE(MusicOpen());
    EXPECT_FALSE(MusicLoad(".\\no_such_folder\\sw5.mid"));
    EXPECT_EQ(musicPlayer.loaded, 0);
    EXPECT_FALSE(MusicStart(1));
    Render(300);
    EXPECT_TRUE(NoteOns().empty());
    // Nothing was queued, so the stop has nothing to wait for.
    auto start = Clock::now();
    EXPECT_TRUE(MusicClose());
    EXPECT_LT(MillisecondsSince(start), 500);
}

TEST_F(PlayerTest, WithoutAMidiDeviceTheCallsFailAndNothingIsHeld) {
    headless::SetMidiSynth(false);
    platform::SetTracing(true);
    platform::ClearTrace();
    EXPECT_FALSE(MusicOpen());
    EXPECT_FALSE(MusicLoad(ShortSong().c_str()));
    EXPECT_FALSE(MusicStart(1));
    EXPECT_FALSE(MusicClose());
    EXPECT_EQ(platform::midi::OpenStreamCount(), 0);
    EXPECT_FALSE(headless::AudioDeviceOpen());
    // No device, no open: a winmm that keeps a failed open's freed record
    // (Wine 8) is walked by the next open.
    auto calls = platform::TracedCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "midiOutGetNumDevs"), 2);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "midiStreamOpen"), 0);
    platform::SetTracing(false);

    headless::SetMidiSynth(true);
    headless::SetAudioDevice(false);
    EXPECT_FALSE(MusicOpen());
    EXPECT_EQ(platform::midi::OpenStreamCount(), 0);
}

TEST_F(PlayerTest, AStreamOpenedLateByTheLoadIsClosedByClose) {
    headless::SetMidiSynth(false);
    EXPECT_FALSE(MusicOpen());
    headless::SetMidiSynth(true);
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    EXPECT_TRUE(MusicStart(1));
    EXPECT_TRUE(MusicClose());
    EXPECT_EQ(platform::midi::OpenStreamCount(), 0);
}

TEST_F(PlayerTest, AReadErrorMidSongEndsTheMusicQuietly) {
    // Notes two ticks apart: the track's first window is used up in about
    // three seconds, and its reload then fails.
    using namespace midi_files;
    TrackData dense;
    dense.Tempo(0, 500000);
    for (int i = 0; i < 3000; ++i) dense.NoteOn(2, 0, 60 + i % 12, i % 2 ? 0 : 90);
    std::string path = Write("dense.mid", File(1).Track(dense.End()).bytes);
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(path.c_str()));
    ASSERT_TRUE(MusicStart(1));
    platform::ArmFault({"ReadFile", 5, 0, 1});
    Render(6000);
    auto notes = NoteOns();
    ASSERT_GT(notes.size(), 100u);
    EXPECT_LT(notes.size(), 1500u);
    EXPECT_EQ(songFile.file, nullptr);  // closed in the notification
    std::uint64_t last = notes.back();
    EXPECT_LT(last, headless::SynthFrames() - 44100);  // silence for the last second at least
    auto start = Clock::now();
    EXPECT_TRUE(MusicClose());
    EXPECT_LT(MillisecondsSince(start), 1000);
}

TEST_F(PlayerTest, TheTempoPercentageSpeedsUpTheNextBuffers) {
    EXPECT_FALSE(MusicSetTempoPercent(150));  // nothing loaded
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    EXPECT_FALSE(MusicSetTempoPercent(0));
    EXPECT_FALSE(MusicSetTempoPercent(201));
    ASSERT_TRUE(MusicStart(1));
    Render(100);
    EXPECT_TRUE(MusicSetTempoPercent(150));
    EXPECT_EQ(converter.tempoPercent, 150);
    Render(6000);
    auto first = NoteOns(60);
    ASSERT_GE(first.size(), 4u);
    // Once the new tempo is in the stream a pass takes two thirds as long.
    double pass = static_cast<double>(first[3] - first[2]);
    EXPECT_NEAR(pass, kShortSongFrames * 100.0 / 150.0, 2.0);
}

TEST_F(PlayerTest, ASongWithoutLoopingEndsAndIsReadyToStartAgain) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    ASSERT_TRUE(MusicStart(0));
    Render(3000);
    EXPECT_EQ(NoteOns(60).size(), 1u);
    EXPECT_EQ(NoteOns(64).size(), 1u);
    EXPECT_EQ(musicPlayer.songEnded, 1);
    EXPECT_EQ(musicPlayer.phase, PhaseStopped);

    // The next call primes the song afresh (on this thread), and it plays
    // from its start.
    auto start = Clock::now();
    EXPECT_TRUE(MusicStart(0));
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_EQ(musicPlayer.loaded, 1);
    EXPECT_EQ(platform::midi::OpenStreamCount(), 1);
    Render(500);
    EXPECT_EQ(NoteOns(60).size(), 2u);
}

TEST_F(PlayerTest, AFileNameOfTwoHundredFiftyNineCharactersIsTaken) {
    // A folder sized so that the whole path, with a file name of 20
    // characters, is 259 long.
    std::string dir = midi_files::TempPath("");
    ASSERT_LT(dir.size(), 200u);
    std::string folder(259 - 21 - dir.size(), 'd');
    std::filesystem::create_directories(dir + folder);
    std::string relative = folder + "/" + std::string(16, 's') + ".mid";
    std::string name = dir + relative;
    ASSERT_EQ(name.size(), 259u);
    midi_files::Write(relative, midi_files::ReadAll(ShortSong()));

    ASSERT_TRUE(MusicOpen());
    EXPECT_TRUE(MusicLoad(name.c_str()));
    EXPECT_STREQ(musicPlayer.fileName, name.c_str());
    // One more would not fit: it is refused rather than cut to another name.
    EXPECT_FALSE(MusicLoad((name + "x").c_str()));
}

TEST_F(PlayerTest, LoadingAgainReleasesTheSongBeforeIt) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    ASSERT_TRUE(MusicStart(1));
    Render(300);
    ASSERT_TRUE(MusicLoad(ShortSong("again.mid").c_str()));
    EXPECT_EQ(platform::midi::OpenStreamCount(), 1);
    EXPECT_EQ(musicPlayer.playing, 0);
    ASSERT_TRUE(MusicStart(1));
    Render(300);
    EXPECT_EQ(NoteOns(60).size(), 2u);
}

}  // namespace

namespace {

using namespace player_fixture;

// Refills that take a while: every event is a large system-exclusive block
// the converter has to read past.
std::string SlowToFillSong() {
    using namespace midi_files;
    TrackData t;
    t.Tempo(0, 500000);
    Bytes sysex(1, 0xF0);
    VarLength(sysex, 300000);
    sysex.resize(sysex.size() + 300000, 0x01);
    sysex.back() = 0xF7;
    for (int i = 0; i < 40; ++i) {
        t.Event(0, sysex);
        t.NoteOn(10, 0, 60 + (i % 12));
    }
    t.End();
    return Write("slow-to-fill.mid", File(1, 96).Track(t).bytes);
}

TEST_F(PlayerTest, CloseDuringARefillNeitherStallsNorFreesUnderIt) {
    std::string path = SlowToFillSong();
    for (int round = 0; round < 10; ++round) {
        ASSERT_TRUE(MusicOpen());
        ASSERT_TRUE(MusicLoad(path.c_str()));
        ASSERT_TRUE(MusicStart(1));
        std::atomic<bool> run{true};
        std::thread audio([&] {
            while (run) {
                headless::RenderAudio(441);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + round * 3));
        auto started = std::chrono::steady_clock::now();
        MusicClose();
        auto took = std::chrono::steady_clock::now() - started;
        run = false;
        audio.join();
        platform::midi::FlushNotifications();
        // The hand-over's own 2-second wait must never be what ends it.
        EXPECT_LT(took, std::chrono::milliseconds(1500)) << "round " << round;
    }
}

TEST_F(PlayerTest, ALoopingSongWithNothingToPlayEndsInsteadOfSpinning) {
    using namespace midi_files;
    TrackData t;
    t.End();
    std::string path = Write("nothing-to-play.mid", File(1, 96).Track(t).bytes);
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(path.c_str()));
    ASSERT_TRUE(MusicStart(1));
    platform::SetTracing(true);
    platform::ClearTrace();
    Render(100);
    auto calls = platform::TracedCalls();
    platform::SetTracing(false);
    EXPECT_LE(std::count(calls.begin(), calls.end(), std::string("midiStreamOut")), 2);
}

}  // namespace
