// The MIDI file converter: opening, merging tracks into stream buffers,
// buffer limits, discarded events, failures and looping.
#include "music/t_midcnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "music/music.h"
#include "platform/host/headless/headless.h"
#include "platform/trace/trace.h"
#include "tests/music/midi_files.h"

namespace {

using namespace midi_files;

class Converter : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        SongClose();
        converter.flags = 0;
        converter.clock = 0;
        converter.currentTempo = 0;
        converter.bufferTickSpan = 0;
        converter.tempoPercent = 100;
        converter.insertTempo = 0;
        converterCheckFailed = nullptr;
        musicPlayer.looping = 0;
        block_.assign(STREAM_BUFFER_SIZE, 0);
        buffer_ = StreamBuffer{};
        buffer_.header.lpData = block_.data();
        buffer_.header.dwBufferLength = STREAM_BUFFER_SIZE;
    }
    void TearDown() override {
        SongClose();
        platform::ClearFaults();
    }

    // Opens the file, expecting success.
    void Open(const File& f, const char* name = "song.mid") {
        path_ = Write(name, f.bytes);
        ASSERT_EQ(SongOpen(path_.c_str()), 0);
    }

    // One fill; the events it wrote.
    LONG Fill(bool first = false) {
        buffer_.capacity = STREAM_BUFFER_SIZE;
        buffer_.startTick = 0;
        buffer_.timeUp = FALSE;
        return FillStreamBuffer(first ? 1 : 0, &buffer_);
    }
    std::vector<StreamEvent> Written() const { return Events(block_.data(), buffer_.bytesWritten); }

    std::string path_;
    std::vector<char> block_;
    StreamBuffer buffer_{};
};

TrackData TwoNotes() { return TrackData().NoteOn(0, 0, 60).NoteOn(48, 0, 64).End(48); }

TEST_F(Converter, HeaderLengthsOfSixAndEightOpenBelowSixOrAnotherTagDoNot) {
    Open(File(1, 96, 1, 6).Track(TwoNotes()), "h6.mid");
    EXPECT_EQ(songFile.trackCount, 1);
    EXPECT_EQ(songFile.division, 96);
    SongClose();

    // Eight: the last two bytes are skipped and the track is found behind them.
    Open(File(1, 120, 0, 8).Track(TwoNotes()), "h8.mid");
    EXPECT_EQ(songFile.division, 120);
    EXPECT_EQ(songFile.format, 0);
    ASSERT_EQ(Fill(true), 0);
    EXPECT_EQ(Written(), (std::vector<StreamEvent>{{0, 0, NoteOnEvent(0, 60)}, {48, 0, NoteOnEvent(0, 64)}}));
    SongClose();

    std::string shortHeader = Write("h5.mid", File(1, 96, 1, 5).Track(TwoNotes()).bytes);
    EXPECT_EQ(SongOpen(shortHeader.c_str()), 1);
    File riff(1);
    riff.bytes[0] = 'R';
    std::string notMidi = Write("riff.mid", riff.Track(TwoNotes()).bytes);
    EXPECT_EQ(SongOpen(notMidi.c_str()), 1);
    EXPECT_EQ(songFile.tracks, nullptr);
    EXPECT_EQ(songFile.file, nullptr);
}

TEST_F(Converter, AForeignChunkOrATrackCutShortFailsTheOpen) {
    std::string foreign = Write("foreign.mid", File(2).Track(TwoNotes()).Chunk("XFIH", {1, 2, 3}).bytes);
    EXPECT_EQ(SongOpen(foreign.c_str()), 1);

    // A track announcing 2000 bytes with only 1500 there: its first window
    // (1024 bytes) is whole, so the open succeeds...
    TrackData longTrack;
    for (int i = 0; i < 500; ++i) longTrack.NoteOn(1, 0, 60, 1 + i % 100);
    File cut(1);
    cut.Chunk("MTrk", longTrack.bytes);
    cut.bytes.resize(cut.bytes.size() - (longTrack.bytes.size() - 1100));
    std::string partial = Write("partial.mid", cut.bytes);
    EXPECT_EQ(SongOpen(partial.c_str()), 0);
    SongClose();
    // ...but one of 100 bytes with 60 there fails at once.
    File tiny(1);
    TrackData small;
    for (int i = 0; i < 25; ++i) small.NoteOn(1, 0, 60);
    tiny.Chunk("MTrk", small.bytes);
    tiny.bytes.resize(tiny.bytes.size() - 40);
    std::string truncated = Write("truncated.mid", tiny.bytes);
    EXPECT_EQ(SongOpen(truncated.c_str()), 1);

    EXPECT_EQ(SongOpen(TempPath("no_such_song.mid").c_str()), 1);
}

TEST_F(Converter, ATrackCountTheFileCannotHoldIsRefusedBeforeAnythingIsAllocated) {
    // 65535 tracks announced, one there: no table of 65535 tracks, no
    // windows for them.
    platform::SetTracing(true);
    std::string many = Write("many.mid", File(65535).Track(TwoNotes()).bytes);
    EXPECT_EQ(SongOpen(many.c_str()), 1);
    auto calls = platform::TracedCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), std::string("GlobalAlloc")), 0);
    // One more than its bytes could hold as 8-byte track headers.
    File one(1);
    one.Track(TwoNotes());
    int holdable = static_cast<int>((one.bytes.size() - 14) / 8);
    File over(holdable + 1);
    over.Track(TwoNotes());
    platform::ClearTrace();
    EXPECT_EQ(SongOpen(Write("over.mid", over.bytes).c_str()), 1);
    calls = platform::TracedCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), std::string("GlobalAlloc")), 0) << holdable + 1 << " tracks";
    // As many as the file can hold is fine when they are all there.
    File two(2);
    two.Track(TwoNotes()).Track(TwoNotes());
    std::string both = Write("two.mid", two.bytes);
    EXPECT_EQ(SongOpen(both.c_str()), 0);
    SongClose();
    two.bytes.resize(two.bytes.size() - 8 - TwoNotes().bytes.size() + 4);  // the second track's header cut
    both = Write("two-cut.mid", two.bytes);
    EXPECT_EQ(SongOpen(both.c_str()), 1);
}

TEST_F(Converter, ABufferWithRoomForExactlyTwoEventsTakesBoth) {
    Open(File(1).Track(TrackData().NoteOn(0, 0, 60).NoteOn(0, 0, 62).NoteOn(0, 0, 64).End(0)));
    buffer_.capacity = 2 * STREAM_EVENT_SIZE;
    buffer_.startTick = 0;
    buffer_.timeUp = FALSE;
    EXPECT_EQ(FillStreamBuffer(1, &buffer_), 0);
    EXPECT_EQ(buffer_.bytesWritten, 2u * STREAM_EVENT_SIZE);
}

TEST_F(Converter, AnEmptyTrackEndsAtOnceAndTheOthersPlay) {
    Open(File(3).Chunk("MTrk", {}).Track(TwoNotes()).Chunk("MTrk", {}));
    EXPECT_TRUE(songFile.tracks[0].flags & TrackEnded);
    EXPECT_TRUE(songFile.tracks[2].flags & TrackEnded);
    ASSERT_EQ(Fill(true), 0);
    EXPECT_EQ(Written().size(), 2u);
    EXPECT_EQ(Fill(), MidiSongEnd);
}

TEST_F(Converter, EventsAtOneTickGoByTrackNumberThenFileOrder) {
    TrackData t0, t1, t2;
    t0.NoteOn(10, 0, 70).End();
    t1.NoteOn(10, 1, 71).NoteOn(0, 1, 72).End();
    t2.NoteOn(5, 2, 73).NoteOn(5, 2, 74).End();
    Open(File(3).Track(t0).Track(t1).Track(t2));
    converter.bufferTickSpan = 1000;  // one buffer for all of them
    ASSERT_EQ(Fill(true), 0);
    EXPECT_EQ(Written(), (std::vector<StreamEvent>{{5, 0, NoteOnEvent(2, 73)},
                                                   {5, 0, NoteOnEvent(0, 70)},
                                                   {0, 0, NoteOnEvent(1, 71)},
                                                   {0, 0, NoteOnEvent(1, 72)},
                                                   {0, 0, NoteOnEvent(2, 74)}}));
}

TEST_F(Converter, EightyFiveEventsFillABufferAndTheRestFollow) {
    TrackData t;
    for (int i = 0; i < 100; ++i) t.NoteOn(0, 0, i);
    Open(File(1).Track(t.End()));
    ASSERT_EQ(Fill(true), 0);
    auto first = Written();
    ASSERT_EQ(first.size(), 85u);
    EXPECT_EQ(buffer_.bytesWritten, 1020u);
    EXPECT_TRUE(converter.flags & EventPending);
    ASSERT_EQ(Fill(), 0);
    auto second = Written();
    ASSERT_EQ(second.size(), 15u);
    for (std::size_t i = 0; i < second.size(); ++i) {
        EXPECT_EQ(second[i].delta, 0u);
        EXPECT_EQ(second[i].event, NoteOnEvent(0, static_cast<int>(85 + i)));
    }
    EXPECT_EQ(Fill(), MidiSongEnd);
}

TEST_F(Converter, ABufferTakesOneEventPastItsSpanAndClosesAtTheNext) {
    // Division 25 at 60000 us a quarter: 25 ticks in 60 ms.
    TrackData t;
    t.Tempo(0, 60000);
    for (int i = 0; i < 8; ++i) t.NoteOn(i == 0 ? 0 : 10, 0, 60 + i);
    Open(File(1, 25).Track(t.End()));
    ASSERT_EQ(Fill(true), 0);
    EXPECT_EQ(converter.bufferTickSpan, 25u);
    // The tempo and the notes at 0 to 40 (the note at 0 is the last event
    // before the span starts counting from it)...
    auto first = Written();
    ASSERT_EQ(first.size(), 6u);
    EXPECT_EQ(first[0].event, TempoEvent(60000));
    EXPECT_EQ(first[5].event, NoteOnEvent(0, 64));
    // ...and the note at 50 opens the next buffer, 10 ticks after the last.
    ASSERT_EQ(Fill(), 0);
    auto second = Written();
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second[0], (StreamEvent{10, 0, NoteOnEvent(0, 65)}));
}

TEST_F(Converter, DiscardedEventsCostNoTimeTheirGapGoesToTheNextDelta) {
    TrackData t;
    t.NoteOn(0, 0, 60).Meta(100, 0x06, {'V', 'e', 'r', 's', 'e'});  // a marker
    t.Event(20, {0xF0, 0x03, 0x7E, 0x09, 0xF7});                    // system exclusive
    t.NoteOn(30, 0, 62).End();
    Open(File(1).Track(t));
    ASSERT_EQ(Fill(true), 0);
    EXPECT_EQ(Written(), (std::vector<StreamEvent>{{0, 0, NoteOnEvent(0, 60)}, {150, 0, NoteOnEvent(0, 62)}}));
}

TEST_F(Converter, ASystemExclusiveLongerThanTheWindowIsReadPast) {
    TrackData t;
    t.NoteOn(0, 0, 60);
    Bytes sysex{0xF0};
    VarLength(sysex, 3000);
    for (int i = 0; i < 2999; ++i) sysex.push_back(static_cast<std::uint8_t>(i & 0x7F));
    sysex.push_back(0xF7);
    t.Event(10, sysex).NoteOn(10, 0, 61).Event(10, {64, 90}).End();  // running status after it
    Open(File(1).Track(t));
    ASSERT_EQ(Fill(true), 0);
    EXPECT_EQ(Written(),
              (std::vector<StreamEvent>{
                  {0, 0, NoteOnEvent(0, 60)}, {20, 0, NoteOnEvent(0, 61)}, {10, 0, NoteOnEvent(0, 64, 90)}}));
}

TEST_F(Converter, RunningStatusCarriesAcrossWindowReloads) {
    TrackData t;
    t.Event(0, {0xC3, 5}).Event(1, {9});  // program change: one data byte
    t.NoteOn(1, 3, 40);
    for (int i = 0; i < 1200; ++i)
        t.Event(1, {static_cast<std::uint8_t>(40 + i % 40), static_cast<std::uint8_t>(1 + i % 120)});
    Open(File(1).Track(t.End()));
    std::vector<StreamEvent> all;
    ASSERT_EQ(Fill(true), 0);
    for (;;) {
        auto got = Written();
        all.insert(all.end(), got.begin(), got.end());
        LONG r = Fill();
        if (r == MidiSongEnd) break;
        ASSERT_EQ(r, 0);
    }
    ASSERT_EQ(all.size(), 1203u);
    EXPECT_EQ(all[1].event, 0xC3u | 9u << 8);
    for (int i = 0; i < 1200; ++i)
        ASSERT_EQ(all[static_cast<std::size_t>(3 + i)].event, NoteOnEvent(3, 40 + i % 40, 1 + i % 120)) << i;
}

TEST_F(Converter, ATrackEndingWithoutEndOfTrackFailsThenReportsAfterError) {
    TrackData t;
    t.NoteOn(0, 0, 60).NoteOn(10, 0, 61);  // no End of Track: the data just stops
    Open(File(1).Track(t));
    EXPECT_EQ(Fill(true), MidiReadError);
    EXPECT_EQ(Fill(), MidiAfterError);
    EXPECT_EQ(Fill(), MidiAfterError);
}

TEST_F(Converter, ADataByteWithoutAnyStatusFails) {
    Open(File(1).Track(TrackData().Event(0, {60, 100}).End()));
    EXPECT_EQ(Fill(true), MidiReadError);
    SongClose();
    Open(File(1).Track(TrackData().Event(0, {0xF4}).End()), "common.mid");
    EXPECT_EQ(Fill(true), MidiReadError);
}

TEST_F(Converter, LoopingStartsOverAtTheFirstEventWithItsOwnTickAsDelta) {
    TrackData t;
    t.NoteOn(30, 0, 60).NoteOn(20, 0, 62).End(100);
    Open(File(1).Track(t));
    musicPlayer.looping = 1;
    ASSERT_EQ(Fill(true), 0);
    EXPECT_EQ(Written(), (std::vector<StreamEvent>{{30, 0, NoteOnEvent(0, 60)}, {20, 0, NoteOnEvent(0, 62)}}));
    EXPECT_TRUE(converter.flags & SongAtEnd);
    // The End of Track's 100 ticks are not played: the next pass begins 30
    // ticks after the last note.
    ASSERT_EQ(Fill(), 0);
    EXPECT_EQ(Written(), (std::vector<StreamEvent>{{30, 0, NoteOnEvent(0, 60)}, {20, 0, NoteOnEvent(0, 62)}}));

    musicPlayer.looping = 0;
    EXPECT_EQ(Fill(), MidiSongEnd);
    EXPECT_EQ(buffer_.bytesWritten, 0u);
    EXPECT_EQ(Fill(), MidiSongEnd);
}

TEST_F(Converter, WithoutAnyTempoEachBufferClosesOnceTimeMoves) {
    TrackData t;
    for (int i = 0; i < 6; ++i) t.NoteOn(i < 2 ? 0 : 5, 0, 60 + i);
    Open(File(1).Track(t.End()));
    ASSERT_EQ(Fill(true), 0);
    EXPECT_EQ(converter.bufferTickSpan, 0u);
    // The notes at 0, 0 and 5; time has moved when the note at 10 comes,
    // which is the one more event; the note at 15 opens the next buffer.
    EXPECT_EQ(Written().size(), 4u);
    ASSERT_EQ(Fill(), 0);
    EXPECT_EQ(Written().size(), 2u);
}

TEST_F(Converter, ATempoThatDoesNotFitOpensTheNextBufferIntact) {
    TrackData t;
    for (int i = 0; i < 85; ++i) t.NoteOn(0, 0, i);
    t.Tempo(7, 400000).NoteOn(3, 0, 100).End();
    Open(File(1, 48).Track(t));
    ASSERT_EQ(Fill(true), 0);
    EXPECT_EQ(Written().size(), 85u);
    ASSERT_EQ(Fill(), 0);
    auto next = Written();
    ASSERT_EQ(next.size(), 2u);
    EXPECT_EQ(next[0], (StreamEvent{7, 0, TempoEvent(400000)}));
    EXPECT_EQ(next[1], (StreamEvent{3, 0, NoteOnEvent(0, 100)}));
    EXPECT_EQ(converter.currentTempo, 400000u);
    EXPECT_EQ(converter.bufferTickSpan, 48u * 60000 / 400000);
}

TEST_F(Converter, VolumeChangesAskForAPositionCallback) {
    TrackData t;
    t.Event(0, {0xB5, 7, 90}).Event(0, {10, 64}).End();  // volume, then pan by running status
    Open(File(1).Track(t));
    ASSERT_EQ(Fill(true), 0);
    auto got = Written();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].event, static_cast<DWORD>(MEVT_F_CALLBACK) | 0xB5u | 7u << 8 | 90u << 16);
    EXPECT_EQ(got[1].event, 0xB5u | 10u << 8 | 64u << 16);
}

TEST_F(Converter, UnusableTempoEventsAreSkipped) {
    TrackData t;
    t.Tempo(0, 500000);
    t.Meta(10, 0x51, {0x07, 0xA1, 0x20, 0x00});  // four bytes
    t.Tempo(10, 0);                              // no time would pass
    t.NoteOn(10, 0, 60).End();
    Open(File(1).Track(t));
    ASSERT_EQ(Fill(true), 0);
    EXPECT_EQ(Written(), (std::vector<StreamEvent>{{0, 0, TempoEvent(500000)}, {30, 0, NoteOnEvent(0, 60)}}));
    EXPECT_STREQ(converterCheckFailed, "pteTemp->dwEventLength == 3");
    EXPECT_EQ(converter.currentTempo, 500000u);
    EXPECT_EQ(converter.bufferTickSpan, 96u * 60000 / 500000);
}

TEST_F(Converter, TheTempoPercentageScalesTempoEventsWithinTwentyFourBits) {
    TrackData t;
    t.Tempo(0, 600000).NoteOn(0, 0, 60).Tempo(0, 0xF00000).NoteOn(0, 0, 61).End();
    Open(File(1).Track(t));
    converter.tempoPercent = 150;
    ASSERT_EQ(Fill(true), 0);
    auto got = Written();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].event, TempoEvent(400000));
    EXPECT_EQ(got[2].event, TempoEvent(0xF00000 * 100 / 150));
    SongClose();

    // Half speed doubles the value, which must stay within the event's 24 bits.
    Open(File(1).Track(t), "slow.mid");
    converter.tempoPercent = 50;
    ASSERT_EQ(Fill(true), 0);
    got = Written();
    EXPECT_EQ(got[0].event, TempoEvent(1200000));
    EXPECT_EQ(got[2].event, TempoEvent(0xFFFFFF));
    // The span is reckoned from the song's own tempo.
    EXPECT_EQ(converter.bufferTickSpan, 96u * 60000 / 0xF00000);
}

TEST_F(Converter, AnInsertedTempoLeadsTheNextEventAndWaitsForRoomIfNeeded) {
    TrackData t;
    t.Tempo(0, 600000);
    for (int i = 0; i < 90; ++i) t.NoteOn(0, 0, i);
    Open(File(1).Track(t.End()));
    ASSERT_EQ(Fill(true), 0);  // the tempo and 84 notes
    converter.tempoPercent = 150;
    converter.insertTempo = 1;
    ASSERT_EQ(Fill(), 0);
    auto got = Written();
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got[0], (StreamEvent{0, 0, TempoEvent(400000)}));
    EXPECT_EQ(got[1].event, NoteOnEvent(0, 84));
    EXPECT_EQ(converter.insertTempo, 0);

    // A full buffer keeps the request for the next one.
    buffer_.bytesWritten = 1020;
    converter.insertTempo = 1;
    StagedEvent note{};
    note.byShortData[0] = 0x90;
    EXPECT_EQ(WriteStreamEvent(&note, &buffer_), MidiBufferFull);
    EXPECT_EQ(converter.insertTempo, 1);
}

TEST_F(Converter, AReadErrorFailsTheFillAndTheSongStaysFailed) {
    TrackData t;
    t.Tempo(0, 500000);
    for (int i = 0; i < 600; ++i) t.NoteOn(2, 0, 60 + i % 12);
    Open(File(1).Track(t.End()));
    ASSERT_EQ(Fill(true), 0);
    platform::ArmFault({"ReadFile", 5, 0, 1});  // every read from now on
    LONG r = 0;
    for (int i = 0; i < 100 && r == 0; ++i) r = Fill();
    EXPECT_EQ(r, MidiReadError);
    platform::ClearFaults();
    EXPECT_EQ(Fill(), MidiAfterError);
}

TEST_F(Converter, ATempoWhoseBytesFailToReadIsLetGo) {
    // The tempo's three bytes straddle the first window's end, so reading
    // them needs a reload, which fails. Under the leak checker this shows
    // that the block taken for them is given back.
    TrackData t;
    t.NoteOn(0, 0, 60).NoteOn(0, 0, 61).NoteOn(0, 0, 62);    // 12 bytes
    for (int i = 0; i < 336; ++i) t.Event(0, {0x3C, 0x40});  // 1008 more: the tempo's delta is byte 1020
    t.Tempo(0, 500000).NoteOn(0, 0, 61).End();
    ASSERT_EQ(t.bytes[1021], 0xFF);
    Open(File(1).Track(t));
    converter.bufferTickSpan = 1000000;  // let the whole window into one buffer
    platform::ArmFault({"ReadFile", 5, 0, 0});
    LONG r = 0;
    for (int i = 0; i < 20 && r == 0; ++i) r = Fill(i == 0);
    EXPECT_EQ(r, MidiReadError);
    EXPECT_EQ(stagedEvent.data, nullptr);
}

TEST_F(Converter, ClosingTwiceAndFillingAClosedSongAreHarmless) {
    Open(File(1).Track(TwoNotes()));
    SongClose();
    SongClose();
    EXPECT_EQ(Fill(true), MidiAfterError);
}

TEST_F(Converter, EveryTruncationOfTheSongIsReadSafely) {
    // Each prefix of a valid file either fails to open or converts to an
    // end or an error, within a bounded number of fills; run under the
    // address and undefined-behaviour sanitizers this also shows no stray
    // read, write or leak on any of them.
    Bytes song = ReadAll("sample_data/sw5.mid");
    ASSERT_GT(song.size(), 1000u);
    musicPlayer.looping = 0;
    // The prefixes grow by appending to one file, which is far quicker
    // than writing each afresh.
    std::string path = TempPath("cut.mid");
    std::FILE* growing = std::fopen(path.c_str(), "wb");
    ASSERT_NE(growing, nullptr);
    int opened = 0;
    std::size_t n = 0;
    while (n <= song.size()) {
        if (SongOpen(path.c_str()) != 0) {
            ASSERT_EQ(songFile.tracks, nullptr);
        } else {
            ++opened;
            LONG r = Fill(true);
            int fills = 1;
            while (r == 0 && fills < 20000) {
                r = Fill();
                ++fills;
            }
            ASSERT_TRUE(r == MidiSongEnd || r == MidiReadError) << n << " bytes: " << r;
            EXPECT_EQ(r == MidiSongEnd, n == song.size()) << n;
            SongClose();
        }
        // Every byte through the header and the first windows, then in steps.
        std::size_t step = std::min<std::size_t>(n < 2200 ? 1 : 7, song.size() - n);
        if (step == 0) break;
        std::fwrite(song.data() + n, 1, step, growing);
        std::fflush(growing);
        n += step;
    }
    std::fclose(growing);
    EXPECT_GT(opened, 100) << opened;
}

}  // namespace
