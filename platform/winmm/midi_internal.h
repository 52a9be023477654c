// The MIDI mapper behind midiStream*, midiOut* and the MCI sequencer: one
// output device (a source of the host audio stream driving the synthesiser)
// shared by any number of streams, and the notification thread on which the
// streams report back.
//
// Threads: the device's state is guarded by one lock, taken by the API calls
// (main thread, or the notification thread when a callback queues the next
// buffer) and by the audio thread while it mixes. Events are applied to the
// synthesiser inside the mix at their sample position; what the audio thread
// has to report (a buffer played, a flagged event played) is handed to the
// notification thread, so no caller's code ever runs on the audio thread.
#pragma once

#include <mmsystem.h>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/stream.h"
#include "platform/host/host_synth.h"

namespace platform::midi {

class Stream;

// Where a stream's messages go. Public streams call back as midiStreamOpen
// was told (a function, an event, a window); the MCI sequencer listens
// for itself.
class Listener {
public:
    // Notification thread. `played` tells a buffer whose events were all
    // read from one handed back early (stop, reset, close).
    virtual void BufferDone(MIDIHDR* header, bool played) = 0;

protected:
    ~Listener() = default;
};

struct Sink {
    DWORD kind = CALLBACK_NULL;  // CALLBACK_NULL, _FUNCTION, _EVENT, _WINDOW
    DWORD_PTR target = 0;        // the function, event or window
    DWORD_PTR instance = 0;
    HMIDIOUT handle = nullptr;     // the handle the messages name
    Listener* listener = nullptr;  // instead of the above, inside the platform
};

struct Notification {
    Sink sink;
    std::uint64_t streamId = 0;
    UINT message = 0;  // MOM_OPEN, MOM_CLOSE, MOM_DONE, MOM_POSITIONCB
    MIDIHDR* header = nullptr;
    DWORD offset = 0;     // MOM_POSITIONCB: byte offset of the event
    bool played = false;  // MOM_DONE: every event of the buffer was read
};

// Queues a notification for the notification thread (any thread but the
// audio thread; it may wait and allocate).
void Notify(const Notification& n);
// The audio thread's way: never waits, never allocates; false when the
// notification could not be queued now, to be tried again later.
bool TryNotify(const Notification& n);
// Forgets the queued notifications of one stream (its owner is going away).
void DiscardNotifications(std::uint64_t streamId);
// Returns once every notification queued so far has been delivered, unless
// called on the notification thread itself, which cannot wait for itself.
void FlushNotifications();
// Delivers what waits, on the calling thread; for hosts without threads,
// whose main loop calls it. Does nothing where the notification thread runs.
void DeliverNotifications();
// Starts the notification thread (where the host has threads) if it has not
// started yet.
void StartNotifications();

class Device;

// A MIDI stream: queued buffers of packed MIDIEVENTs played at their times.
// Every member below is guarded by the device lock.
//
// Times are frames of the audio stream. The stream reads its events a
// little ahead of what is being heard (kLookahead frames) and schedules them
// on the device at their exact frames: a buffer handed back and refilled a
// moment late then costs no time, as long as the refill comes within that
// margin. Pausing therefore takes effect once the events already read have
// been heard; stopping and resetting drop them at once.
class Stream {
public:
    Stream(std::uint64_t id, const Sink& sink) : id_(id), sink_(sink) {}

    std::uint64_t Id() const { return id_; }
    const Sink& GetSink() const { return sink_; }
    // The stream's handle is its address; its messages name it.
    void BindHandle() { sink_.handle = reinterpret_cast<HMIDIOUT>(this); }

    MMRESULT Out(MIDIHDR* header);
    void Restart(Device& device);
    void Pause(Device& device);
    // Hands every queued buffer back (MOM_DONE, not played) and drops what
    // was read ahead; all notes go off.
    void Reset(Device& device);
    // Resets, rewinds the position and leaves the stream stopped.
    void Stop(Device& device);
    bool Running() const { return running_; }
    bool Idle() const { return first_ == nullptr; }
    MMRESULT SetTimeDivision(DWORD division);
    DWORD TimeDivision() const { return timeDivision_; }
    MMRESULT SetTempo(DWORD tempo);
    DWORD Tempo() const { return tempo_; }

    // Audio thread, device lock held: reads every event due before
    // `horizon` and schedules it; nothing is scheduled before `now`.
    void Process(Device& device, std::uint64_t now, std::uint64_t horizon);

private:
    // A message about one of this stream's buffers, addressed to its listener.
    Notification About(UINT message, MIDIHDR* header) const {
        Notification n;
        n.sink = sink_;
        n.streamId = id_;
        n.message = message;
        n.header = header;
        return n;
    }

    bool Arm(std::uint64_t now);
    // Hands the front buffer back. From the mix it may fail (the
    // notification could not be queued): the buffer then stays.
    bool FinishFront(bool played, bool fromMix);
    std::uint64_t TicksToFrames(DWORD ticks);

    std::uint64_t id_;
    Sink sink_;
    // Queued buffers, linked through their lpNext as Windows does, so the
    // audio thread takes them off without freeing anything.
    MIDIHDR* first_ = nullptr;
    MIDIHDR* last_ = nullptr;
    DWORD offset_ = 0;  // next event in first_
    bool running_ = false;
    bool started_ = false;         // has run since the last stop
    bool armed_ = false;           // the next event's frame is known
    std::uint64_t nextAt_ = 0;     // frame of the armed event
    std::uint64_t anchor_ = 0;     // frame of the last event read
    std::uint64_t readTo_ = 0;     // frames before this have been read
    DWORD pendingTicks_ = 0;       // delta of the armed event
    DWORD timeDivision_ = 96;      // Windows' default: 96 ticks per quarter note
    DWORD tempo_ = 500000;         // the SMF default: 120 quarter notes a minute
    std::uint64_t remainder_ = 0;  // of the tick-to-frame conversion, in 1/denominator frames
};

// How far ahead of the sound streams read their events: about 46 ms.
constexpr std::uint64_t kLookahead = 2048;

// The MIDI mapper's one output device.
class Device final : public audio::Source {
public:
    static Device& Get();

    // Opens the device for a new stream (the first one brings up the host
    // audio stream and the synthesiser). MMSYSERR_NODRIVER without an audio
    // device, MIDIERR_NODEVICE without a synthesiser.
    MMRESULT Open(Stream* stream);
    // Takes the stream off the device; the last one takes the device down.
    // Never called with the lock held.
    void Close(Stream* stream);

    std::mutex& Lock() { return lock_; }
    // The frame the next mix begins with. Lock held.
    std::uint64_t Now() const { return now_; }
    // A message for the synthesiser outside any stream (midiOutShortMsg),
    // applied at the start of the next mix. Lock held.
    void Immediate(std::uint32_t message);
    // A stream's message at its frame; all notes off when `message` is
    // kAllNotesOff. Lock held.
    void Schedule(std::uint64_t at, std::uint32_t message, std::uint64_t streamId);
    // Forgets what a stream scheduled and has not yet been heard.
    void Unschedule(std::uint64_t streamId);
    // Whether the mix may schedule another message without allocating.
    bool HasRoom() const { return scheduled_.size() < scheduled_.capacity(); }

    void Mix(float* out, int frames) override;
    // Back to frame 0 when no stream is open (a reset between tests).
    void RestartClock();

    static constexpr std::uint32_t kAllNotesOff = 0xFFFFFFFF;

private:
    Device();

    struct Timed {
        std::uint64_t at;
        std::uint32_t message;
        std::uint64_t streamId;
    };

    std::mutex lock_;
    std::unique_ptr<Synth> synth_;
    std::deque<Stream*> streams_;
    // midiOutShortMsg messages waiting for the next mix; past the ring's
    // size (nothing mixing) only the latest are kept.
    static constexpr std::size_t kMaxImmediate = 4096;
    std::array<std::uint32_t, kMaxImmediate> immediate_{};
    std::size_t immediateFirst_ = 0;
    std::size_t immediateCount_ = 0;
    std::vector<Timed> scheduled_;  // by frame
    std::uint64_t now_ = 0;
};

// Test hook: the streams open through midiStreamOpen.
int OpenStreamCount();

// Closes every stream and sequencer without a word to their owners, waits
// for the notification thread to finish what it is delivering, and starts
// the device's clock afresh, as a new process finds it.
void ResetForTests();

}  // namespace platform::midi
