// midiStream* and midiOut* on the MIDI mapper: the results and header flags
// a Windows program sees, events played at their frames by the stream's time
// division and tempo, and the notifications on a thread of their own.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host/headless/headless.h"
#include "platform/host/headless/headless_audio.h"
#include "platform/host/headless/headless_synth.h"
#include "platform/trace/trace.h"
#include "platform/winmm/midi_internal.h"

namespace {

struct Heard {
    UINT message;
    MIDIHDR* header;
    DWORD offset;
    DWORD_PTR instance;
    std::thread::id thread;
};

std::mutex heardLock;
std::vector<Heard> heard;

// While set, the first position message holds the notification thread, as a
// slow owner would.
std::atomic<bool> holdPositions{false};
std::atomic<bool> positionHeld{false};

void CALLBACK Recorder(HMIDIOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    auto* header = reinterpret_cast<MIDIHDR*>(param1);
    if (message == MOM_POSITIONCB)
        while (holdPositions) {
            positionHeld = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    // A header handed back may already be freed by its owner: only a
    // position message may read it.
    DWORD offset = message == MOM_POSITIONCB ? header->dwOffset : 0;
    std::lock_guard guard(heardLock);
    heard.push_back(Heard{message, header, offset, instance, std::this_thread::get_id()});
}

std::vector<Heard> Messages(UINT message) {
    std::lock_guard guard(heardLock);
    std::vector<Heard> out;
    for (const Heard& h : heard)
        if (h.message == message) out.push_back(h);
    return out;
}

// A buffer of packed events: delta, stream id 0, event.
struct Buffer {
    std::vector<DWORD> words;
    MIDIHDR header{};
    Buffer& Add(DWORD delta, DWORD event) {
        words.insert(words.end(), {delta, 0, event});
        return *this;
    }
    MIDIHDR* Ready() {
        header.lpData = reinterpret_cast<LPSTR>(words.data());
        header.dwBufferLength = static_cast<DWORD>(words.size() * sizeof(DWORD));
        header.dwBytesRecorded = header.dwBufferLength;
        return &header;
    }
};

DWORD NoteOn(int key, int velocity = 100) {
    return 0x90u | static_cast<DWORD>(key) << 8 | static_cast<DWORD>(velocity) << 16;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressChecked = true;
#else
constexpr bool kAddressChecked = false;
#endif

class MidiStream : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        headless::ResetAudio();
        headless::SetAudioDevice(true);
        headless::SetMidiSynth(true);
        headless::ClearSynthMessages();
        std::lock_guard guard(heardLock);
        heard.clear();
    }
    void TearDown() override {
        holdPositions = false;
        if (stream_) midiStreamClose(stream_);
        platform::ClearFaults();
    }

    // Buffers live as long as the fixture, so that a test ending early
    // still closes its stream before they go.
    Buffer& NewBuffer() { return buffers_.emplace_back(); }

    MMRESULT Open(DWORD_PTR instance = 7) {
        UINT device = MIDI_MAPPER;
        return midiStreamOpen(&stream_, &device, 1, reinterpret_cast<DWORD_PTR>(Recorder), instance, CALLBACK_FUNCTION);
    }
    MMRESULT Queue(Buffer& b) {
        MIDIHDR* h = b.Ready();
        MMRESULT r = midiOutPrepareHeader(Out(), h, sizeof(MIDIHDR));
        return r != MMSYSERR_NOERROR ? r : midiStreamOut(stream_, h, sizeof(MIDIHDR));
    }
    HMIDIOUT Out() const { return reinterpret_cast<HMIDIOUT>(stream_); }

    // Renders in 10 ms steps and lets the notification thread catch up.
    void Render(int frames) {
        while (frames > 0) {
            int n = std::min(frames, 441);
            headless::RenderAudio(n);
            platform::midi::FlushNotifications();
            frames -= n;
        }
    }
    static std::vector<headless::SynthMessage> NotesOn() {
        std::vector<headless::SynthMessage> out;
        for (const auto& m : headless::SynthMessages())
            if ((m.message & 0xF0) == 0x90 && (m.message >> 16) != 0) out.push_back(m);
        return out;
    }

    // Queues a buffer of the program's own on the heap: flagged events
    // and, when `pending`, one far ahead that keeps it queued. The owner is
    // held on the first position message while `giveBack` (on a thread of
    // its own, as it may wait for the owner) hands the buffer back, and the
    // buffer is freed the moment its header reads done, as a program may.
    // Returns whether the header read done while messages about it waited.
    bool ReadsDoneEarly(bool pending, const std::function<void()>& giveBack) {
        auto* b = new Buffer;
        for (int i = 0; i < 4; ++i) b->Add(0, MEVT_F_CALLBACK | NoteOn(60 + i));
        if (pending) b->Add(96000, NoteOn(70));
        holdPositions = true;
        positionHeld = false;
        if (Queue(*b) != MMSYSERR_NOERROR || midiStreamRestart(stream_) != MMSYSERR_NOERROR) {
            ADD_FAILURE() << "buffer not queued";
            holdPositions = false;
            return false;
        }
        headless::RenderAudio(441);
        for (int i = 0; i < 2000 && !positionHeld; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_TRUE(positionHeld);
        std::thread giver(giveBack);
        auto done = [&] { return (std::atomic_ref<DWORD>(b->header.dwFlags).load() & MHDR_DONE) != 0; };
        bool early = false;
        for (int i = 0; i < 50 && !early; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            early = done();
        }
        // Under AddressSanitizer an early free shows every later touch;
        // elsewhere the buffer is kept, so the failure stays clean.
        if (early && kAddressChecked) delete b;
        holdPositions = false;
        if (!early) {
            for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            EXPECT_TRUE(done());
            delete b;
        }
        giver.join();
        platform::midi::FlushNotifications();
        return early;
    }

    HMIDISTRM stream_ = nullptr;
    std::deque<Buffer> buffers_;
};

TEST_F(MidiStream, OpensOnlyAsTheMapperWithOneStreamAndAKnownCallback) {
    UINT device = MIDI_MAPPER;
    HMIDISTRM s = reinterpret_cast<HMIDISTRM>(1);
    EXPECT_EQ(midiStreamOpen(&s, &device, 2, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(midiStreamOpen(nullptr, &device, 1, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    device = 3;
    EXPECT_EQ(midiStreamOpen(&s, &device, 1, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));
    device = MIDI_MAPPER;
    EXPECT_EQ(midiStreamOpen(&s, &device, 1, 0, 0, CALLBACK_THREAD), static_cast<MMRESULT>(MMSYSERR_INVALFLAG));
    EXPECT_EQ(platform::midi::OpenStreamCount(), 0);

    ASSERT_EQ(Open(42), MMSYSERR_NOERROR);
    EXPECT_TRUE(headless::AudioDeviceOpen());
    EXPECT_EQ(midiStreamClose(stream_), MMSYSERR_NOERROR);
    EXPECT_EQ(midiStreamClose(stream_), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
    stream_ = nullptr;
    EXPECT_FALSE(headless::AudioDeviceOpen());
    auto open = Messages(MOM_OPEN);
    auto close = Messages(MOM_CLOSE);
    ASSERT_EQ(open.size(), 1u);
    ASSERT_EQ(close.size(), 1u);
    EXPECT_EQ(open[0].instance, 42u);
    EXPECT_NE(open[0].thread, std::this_thread::get_id());
}

TEST_F(MidiStream, WithoutSynthesiserOrAudioDeviceThereIsNoMidiDevice) {
    headless::SetMidiSynth(false);
    EXPECT_EQ(Open(), static_cast<MMRESULT>(MIDIERR_NODEVICE));
    EXPECT_FALSE(headless::AudioDeviceOpen());
    headless::SetMidiSynth(true);
    headless::SetAudioDevice(false);
    EXPECT_EQ(Open(), static_cast<MMRESULT>(MMSYSERR_NODRIVER));
    EXPECT_EQ(stream_, nullptr);
    headless::SetAudioDevice(true);
    platform::ArmFault({"midiStreamOpen", MMSYSERR_ALLOCATED, 0, 0});
    EXPECT_EQ(Open(), static_cast<MMRESULT>(MMSYSERR_ALLOCATED));
    EXPECT_EQ(Open(), MMSYSERR_NOERROR);
}

TEST_F(MidiStream, HeadersCarryTheFlagsWindowsSets) {
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    Buffer& b = NewBuffer();
    b.Add(0, NoteOn(60));
    MIDIHDR* h = b.Ready();
    EXPECT_EQ(midiStreamOut(stream_, h, sizeof(MIDIHDR)), static_cast<MMRESULT>(MIDIERR_UNPREPARED));
    EXPECT_EQ(midiOutPrepareHeader(Out(), h, sizeof(MIDIHDR) - 4), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    ASSERT_EQ(midiOutPrepareHeader(Out(), h, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(h->dwFlags, static_cast<DWORD>(MHDR_PREPARED));
    ASSERT_EQ(midiStreamOut(stream_, h, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(h->dwFlags, static_cast<DWORD>(MHDR_PREPARED | MHDR_INQUEUE | MHDR_ISSTRM));
    EXPECT_EQ(midiStreamOut(stream_, h, sizeof(MIDIHDR)), static_cast<MMRESULT>(MIDIERR_STILLPLAYING));
    EXPECT_EQ(midiOutUnprepareHeader(Out(), h, sizeof(MIDIHDR)), static_cast<MMRESULT>(MIDIERR_STILLPLAYING));

    ASSERT_EQ(midiStreamRestart(stream_), MMSYSERR_NOERROR);
    Render(441);
    EXPECT_EQ(h->dwFlags, static_cast<DWORD>(MHDR_PREPARED | MHDR_DONE | MHDR_ISSTRM));
    ASSERT_EQ(Messages(MOM_DONE).size(), 1u);
    EXPECT_EQ(Messages(MOM_DONE)[0].header, h);
    EXPECT_EQ(midiOutUnprepareHeader(Out(), h, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
    EXPECT_FALSE(h->dwFlags & MHDR_PREPARED);

    // Too many bytes recorded for the buffer.
    b.Ready();
    midiOutPrepareHeader(Out(), h, sizeof(MIDIHDR));
    h->dwBytesRecorded = h->dwBufferLength + 12;
    EXPECT_EQ(midiStreamOut(stream_, h, sizeof(MIDIHDR)), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(midiStreamOut(nullptr, h, sizeof(MIDIHDR)), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
}

TEST_F(MidiStream, AStreamStartsPausedAndPlaysBuffersInQueueOrder) {
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    Buffer& a = NewBuffer();
    Buffer& b = NewBuffer();
    Buffer& c = NewBuffer();
    a.Add(0, NoteOn(60));
    b.Add(96, NoteOn(61));
    c.Add(96, NoteOn(62));
    ASSERT_EQ(Queue(a), MMSYSERR_NOERROR);
    ASSERT_EQ(Queue(b), MMSYSERR_NOERROR);
    ASSERT_EQ(Queue(c), MMSYSERR_NOERROR);
    Render(44100);
    EXPECT_TRUE(NotesOn().empty());
    EXPECT_TRUE(Messages(MOM_DONE).empty());

    ASSERT_EQ(midiStreamRestart(stream_), MMSYSERR_NOERROR);
    Render(2 * 44100);
    auto notes = NotesOn();
    ASSERT_EQ(notes.size(), 3u);
    // 96 ticks at the default 96 a quarter and 500,000 us a quarter: half a second.
    EXPECT_EQ(notes[1].frame - notes[0].frame, 22050u);
    EXPECT_EQ(notes[2].frame - notes[1].frame, 22050u);
    EXPECT_EQ(notes[0].message & 0xFFFF, 0x3C90u);
    EXPECT_EQ(notes[2].message & 0xFFFF, 0x3E90u);
    auto done = Messages(MOM_DONE);
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[0].header, &a.header);
    EXPECT_EQ(done[2].header, &c.header);
    EXPECT_NE(done[0].thread, std::this_thread::get_id());  // not the audio (here: test) thread
}

TEST_F(MidiStream, TimeDivisionAndTempoSetTheFrames) {
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    MIDIPROPTIMEDIV division{sizeof(MIDIPROPTIMEDIV), 480};
    ASSERT_EQ(midiStreamProperty(stream_, reinterpret_cast<LPBYTE>(&division), MIDIPROP_SET | MIDIPROP_TIMEDIV),
              MMSYSERR_NOERROR);
    MIDIPROPTEMPO tempo{sizeof(MIDIPROPTEMPO), 0};
    ASSERT_EQ(midiStreamProperty(stream_, reinterpret_cast<LPBYTE>(&tempo), MIDIPROP_GET | MIDIPROP_TEMPO),
              MMSYSERR_NOERROR);
    EXPECT_EQ(tempo.dwTempo, 500000u);
    MIDIPROPTIMEDIV wrong{4, 96};
    EXPECT_EQ(midiStreamProperty(stream_, reinterpret_cast<LPBYTE>(&wrong), MIDIPROP_SET | MIDIPROP_TIMEDIV),
              static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(midiStreamProperty(stream_, reinterpret_cast<LPBYTE>(&division), MIDIPROP_TIMEDIV),
              static_cast<MMRESULT>(MMSYSERR_INVALPARAM));

    Buffer& b = NewBuffer();
    b.Add(0, NoteOn(60)).Add(480, NoteOn(61));
    b.Add(0, static_cast<DWORD>(MEVT_TEMPO) << 24 | 250000).Add(480, NoteOn(62));
    b.Add(160, NoteOn(63));  // a third of a quarter: 3675 frames
    ASSERT_EQ(Queue(b), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamRestart(stream_), MMSYSERR_NOERROR);
    Render(44100);
    auto notes = NotesOn();
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes[1].frame - notes[0].frame, 22050u);
    EXPECT_EQ(notes[2].frame - notes[1].frame, 11025u);
    EXPECT_EQ(notes[3].frame - notes[2].frame, 3675u);
}

TEST_F(MidiStream, AFlaggedEventReportsItsOffsetWhenPlayed) {
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    Buffer& b = NewBuffer();
    b.Add(0, NoteOn(60)).Add(10, MEVT_F_CALLBACK | 0x5A07B3).Add(10, NoteOn(61)).Add(10, MEVT_F_CALLBACK | NoteOn(62));
    ASSERT_EQ(Queue(b), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamRestart(stream_), MMSYSERR_NOERROR);
    Render(44100);
    auto positions = Messages(MOM_POSITIONCB);
    ASSERT_EQ(positions.size(), 2u);
    EXPECT_EQ(positions[0].offset, 12u);
    EXPECT_EQ(positions[1].offset, 36u);
    EXPECT_EQ(positions[0].header, &b.header);
    // The flagged events themselves reach the synthesiser unchanged.
    bool volume = false;
    for (const auto& m : headless::SynthMessages()) volume |= m.message == 0x5A07B3u;
    EXPECT_TRUE(volume);
    // And the buffer comes back after them.
    std::lock_guard guard(heardLock);
    EXPECT_EQ(heard.back().message, static_cast<UINT>(MOM_DONE));
}

TEST_F(MidiStream, AStalledOwnerDelaysPositionMessagesButLosesNone) {
    // Far more flagged events at once than the notification ring holds,
    // while their owner is stuck on the first: the mix keeps what it cannot
    // report for later mixes, and nothing is lost or reordered.
    constexpr int kEvents = 3000;
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    Buffer& b = NewBuffer();
    for (int i = 0; i < kEvents; ++i) b.Add(0, MEVT_F_CALLBACK | NoteOn(i % 128));
    ASSERT_EQ(Queue(b), MMSYSERR_NOERROR);
    holdPositions = true;
    positionHeld = false;
    ASSERT_EQ(midiStreamRestart(stream_), MMSYSERR_NOERROR);
    headless::RenderAudio(441);
    for (int i = 0; i < 2000 && !positionHeld; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    headless::RenderAudio(441);
    std::size_t early = NotesOn().size();
    EXPECT_GT(early, 0u);
    EXPECT_LT(early, static_cast<std::size_t>(kEvents));
    holdPositions = false;
    Render(44100);
    auto positions = Messages(MOM_POSITIONCB);
    // What a full ring kept back goes out with the mixes that follow; on a
    // slow machine (or under a thread checker) that takes a few more.
    for (int i = 0; i < 2000 && positions.size() < static_cast<std::size_t>(kEvents); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        headless::RenderAudio(441);
        positions = Messages(MOM_POSITIONCB);
    }
    ASSERT_EQ(positions.size(), static_cast<std::size_t>(kEvents));
    for (int i = 0; i < kEvents; ++i) ASSERT_EQ(positions[static_cast<std::size_t>(i)].offset, 12u * i) << i;
    auto notes = NotesOn();
    ASSERT_EQ(notes.size(), static_cast<std::size_t>(kEvents));
    for (int i = 0; i < kEvents; ++i)
        ASSERT_EQ((notes[static_cast<std::size_t>(i)].message >> 8) & 0x7F, static_cast<DWORD>(i % 128)) << i;
    std::lock_guard guard(heardLock);
    EXPECT_EQ(heard.back().message, static_cast<UINT>(MOM_DONE));
    EXPECT_TRUE(b.header.dwFlags & MHDR_DONE);
}

TEST_F(MidiStream, AHeaderReadsDoneOnlyOnceNothingMoreWillTouchIt) {
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    EXPECT_FALSE(ReadsDoneEarly(false, [] { headless::RenderAudio(441); })) << "end of buffer";
    EXPECT_FALSE(ReadsDoneEarly(true, [&] { midiStreamStop(stream_); })) << "midiStreamStop";
    EXPECT_FALSE(ReadsDoneEarly(true, [&] { midiOutReset(Out()); })) << "midiOutReset";
    // The close waits for the owner, who is busy: it gives the buffer back
    // on its own thread.
    EXPECT_FALSE(ReadsDoneEarly(true, [&] { midiStreamClose(stream_); })) << "midiStreamClose";
    stream_ = nullptr;
    auto done = Messages(MOM_DONE);
    EXPECT_EQ(done.size(), 4u);
    std::lock_guard guard(heardLock);
    EXPECT_EQ(heard.back().message, static_cast<UINT>(MOM_CLOSE));
}

TEST_F(MidiStream, StopHandsEveryBufferBackAndRewinds) {
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    Buffer& a = NewBuffer();
    Buffer& b = NewBuffer();
    a.Add(0, NoteOn(60)).Add(960, NoteOn(61));
    b.Add(96, NoteOn(62));
    ASSERT_EQ(Queue(a), MMSYSERR_NOERROR);
    ASSERT_EQ(Queue(b), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamRestart(stream_), MMSYSERR_NOERROR);
    Render(4410);
    ASSERT_EQ(midiStreamStop(stream_), MMSYSERR_NOERROR);
    platform::midi::FlushNotifications();
    auto done = Messages(MOM_DONE);
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].header, &a.header);
    EXPECT_EQ(done[1].header, &b.header);
    EXPECT_TRUE(a.header.dwFlags & MHDR_DONE);
    EXPECT_FALSE(b.header.dwFlags & MHDR_INQUEUE);
    bool allOff = false;
    Render(441);
    for (const auto& m : headless::SynthMessages()) allOff |= m.message == headless::kAllNotesOff;
    EXPECT_TRUE(allOff);

    // Stopped: a buffer queued now waits for a restart, and counts from it.
    ASSERT_EQ(Queue(b), MMSYSERR_NOERROR);
    Render(4410);
    EXPECT_EQ(NotesOn().size(), 1u);
    std::uint64_t restart = headless::SynthFrames();
    ASSERT_EQ(midiStreamRestart(stream_), MMSYSERR_NOERROR);
    Render(44100);
    auto notes = NotesOn();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[1].frame, restart + 22050);
}

TEST_F(MidiStream, ShortMessagesAndResetGoStraightToTheSynthesiser) {
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(Out(), 0x644090), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutShortMsg(reinterpret_cast<HMIDIOUT>(&heard), 0x644090),
              static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
    Render(441);
    auto messages = headless::SynthMessages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].message, 0x644090u);

    Buffer& b = NewBuffer();
    b.Add(9600, NoteOn(61));
    ASSERT_EQ(Queue(b), MMSYSERR_NOERROR);
    ASSERT_EQ(midiOutReset(Out()), MMSYSERR_NOERROR);
    platform::midi::FlushNotifications();
    EXPECT_EQ(Messages(MOM_DONE).size(), 1u);
    Render(441);
    EXPECT_EQ(headless::SynthMessages().back().message, headless::kAllNotesOff);
}

TEST_F(MidiStream, ClosingWithBuffersQueuedHandsThemBackFirst) {
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    Buffer& a = NewBuffer();
    a.Add(9600, NoteOn(61));
    ASSERT_EQ(Queue(a), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamClose(stream_), MMSYSERR_NOERROR);
    stream_ = nullptr;
    // Everything is delivered by the time the close returns.
    std::lock_guard guard(heardLock);
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].message, static_cast<UINT>(MOM_OPEN));
    EXPECT_EQ(heard[1].message, static_cast<UINT>(MOM_DONE));
    EXPECT_EQ(heard[2].message, static_cast<UINT>(MOM_CLOSE));
    EXPECT_EQ(platform::midi::OpenStreamCount(), 0);
}

TEST_F(MidiStream, PausingKeepsThePlaceAndTheRestartGoesOnFromIt) {
    ASSERT_EQ(Open(), MMSYSERR_NOERROR);
    Buffer& b = NewBuffer();
    b.Add(0, NoteOn(60)).Add(192, NoteOn(61));  // a second apart
    ASSERT_EQ(Queue(b), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamRestart(stream_), MMSYSERR_NOERROR);
    Render(8820);
    ASSERT_EQ(midiStreamPause(stream_), MMSYSERR_NOERROR);
    EXPECT_EQ(midiStreamPause(stream_), MMSYSERR_NOERROR);  // already paused: no effect
    Render(88200);
    EXPECT_EQ(NotesOn().size(), 1u);
    ASSERT_EQ(midiStreamRestart(stream_), MMSYSERR_NOERROR);
    Render(44100);
    auto notes = NotesOn();
    ASSERT_EQ(notes.size(), 2u);
    // The second the notes are apart, plus the pause, which began where the
    // stream had read up to.
    EXPECT_EQ(notes[1].frame - notes[0].frame, 44100u + 88200u - platform::midi::kLookahead);
}

}  // namespace
