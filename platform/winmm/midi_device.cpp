// The MIDI mapper's output device: streams of packed events played against
// the host audio stream's sample clock. What they report goes through the
// notification thread (notifier.cpp).
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <iterator>
#include <thread>

#include "platform/host/host.h"
#include "platform/winmm/midi_internal.h"

namespace platform::midi {
namespace {

DWORD Read32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

std::mutex openLock;  // serialises bringing the device up and down

}  // namespace

// ---- Streams ---------------------------------------------------------------

MMRESULT Stream::Out(MIDIHDR* header) {
    header->dwFlags = (header->dwFlags & ~static_cast<DWORD>(MHDR_DONE)) | MHDR_INQUEUE | MHDR_ISSTRM;
    header->lpNext = nullptr;
    if (last_)
        last_->lpNext = header;
    else
        first_ = header;
    last_ = header;
    return MMSYSERR_NOERROR;
}

void Stream::Restart(Device& device) {
    if (running_) return;
    running_ = true;
    std::uint64_t now = device.Now();
    if (!started_) {
        started_ = true;
        anchor_ = readTo_ = now;
        return;
    }
    // Going on from a pause: the time spent paused is added to every wait,
    // counted from where reading stopped (its events have been heard or are
    // about to be).
    std::uint64_t resume = std::max(now, readTo_);
    std::uint64_t shift = resume - readTo_;
    anchor_ += shift;
    if (armed_) nextAt_ += shift;
    readTo_ = resume;
}

void Stream::Pause(Device& device) {
    if (!running_) return;
    running_ = false;
    // The notes sounding when the events read so far have played would
    // otherwise hang until the stream goes on.
    device.Schedule(std::max(readTo_, device.Now()), Device::kAllNotesOff, id_);
}

void Stream::Reset(Device& device) {
    while (first_) FinishFront(false, false);
    armed_ = false;
    offset_ = 0;
    device.Unschedule(id_);
    device.Schedule(device.Now(), Device::kAllNotesOff, id_);
}

void Stream::Stop(Device& device) {
    Reset(device);
    running_ = false;
    started_ = false;
    remainder_ = 0;
}

MMRESULT Stream::SetTimeDivision(DWORD division) {
    if (division == 0 || division > 0xFFFF) return MMSYSERR_INVALPARAM;
    if (division & 0x8000) {
        int fps = -static_cast<std::int8_t>(division >> 8);
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || (division & 0xFF) == 0) return MMSYSERR_INVALPARAM;
    }
    timeDivision_ = division;
    remainder_ = 0;
    return MMSYSERR_NOERROR;
}

MMRESULT Stream::SetTempo(DWORD tempo) {
    if (tempo == 0 || tempo > 0xFFFFFF) return MMSYSERR_INVALPARAM;
    tempo_ = tempo;
    return MMSYSERR_NOERROR;
}

std::uint64_t Stream::TicksToFrames(DWORD ticks) {
    using Wide = unsigned __int128;
    Wide num;
    Wide den;
    if (timeDivision_ & 0x8000) {
        int fps = -static_cast<std::int8_t>(timeDivision_ >> 8);
        Wide perFrame = timeDivision_ & 0xFF;
        if (fps == 29) {  // 30 drop-frame: 29.97 frames a second
            num = Wide(ticks) * audio::kSampleRate * 1001;
            den = perFrame * 30000;
        } else {
            num = Wide(ticks) * audio::kSampleRate;
            den = perFrame * static_cast<unsigned>(fps);
        }
    } else {
        num = Wide(ticks) * tempo_ * audio::kSampleRate;
        den = Wide(timeDivision_) * 1000000u;
    }
    num += remainder_;
    remainder_ = static_cast<std::uint64_t>(num % den);
    return static_cast<std::uint64_t>(num / den);
}

bool Stream::FinishFront(bool played, bool fromMix) {
    MIDIHDR* h = first_;
    Notification n = About(MOM_DONE, h);
    n.played = played;
    // Still in the queue (MHDR_INQUEUE) until the notification thread
    // delivers the message.
    if (fromMix) {
        if (!TryNotify(n)) return false;
    } else {
        Notify(n);
    }
    first_ = h->lpNext;
    if (!first_) last_ = nullptr;
    h->lpNext = nullptr;
    offset_ = 0;
    armed_ = false;
    return true;
}

bool Stream::Arm(std::uint64_t now) {
    while (first_) {
        MIDIHDR* h = first_;
        DWORD end = std::min(h->dwBytesRecorded, h->dwBufferLength);
        if (!h->lpData || end < 12 || offset_ > end - 12) {
            // Every event read: the buffer goes back at once.
            if (!FinishFront(true, true)) return false;
            continue;
        }
        pendingTicks_ = Read32(reinterpret_cast<const BYTE*>(h->lpData) + offset_);
        // A buffer that came later than the margin allows plays its event
        // now, and the stream's time moves on from there.
        nextAt_ = std::max(anchor_ + TicksToFrames(pendingTicks_), now);
        armed_ = true;
        return true;
    }
    return false;
}

void Stream::Process(Device& device, std::uint64_t now, std::uint64_t horizon) {
    readTo_ = std::max(readTo_, now);
    for (;;) {
        if (!armed_ && !Arm(now)) break;  // nothing queued: wait for the next buffer
        if (nextAt_ >= horizon) break;

        MIDIHDR* h = first_;
        const BYTE* p = reinterpret_cast<const BYTE*>(h->lpData) + offset_;
        DWORD end = std::min(h->dwBytesRecorded, h->dwBufferLength);
        DWORD event = Read32(p + 8);
        DWORD size = 12;
        bool note = false;
        if (event & MEVT_F_LONG) {
            // Long events (system exclusive, comments, version) carry their
            // bytes behind them, padded to a whole DWORD; the mapper's synth
            // takes none of them.
            DWORD length = MEVT_EVENTPARM(event);
            DWORD room = end - offset_ - 12;
            size = 12 + std::min(room, (length + 3) & ~3u);
        } else {
            note =
                MEVT_EVENTTYPE(event & ~MEVT_F_CALLBACK) == MEVT_SHORTMSG && (event & 0x80) && (event & 0xF0) != 0xF0;
        }
        // An event the device has no room for now (or whose position message
        // cannot be queued now) waits for the next mix.
        if (note && !device.HasRoom()) break;
        if (event & MEVT_F_CALLBACK) {
            Notification n = About(MOM_POSITIONCB, h);
            n.offset = offset_;
            if (!TryNotify(n)) break;
        }
        if (note) device.Schedule(nextAt_, event & 0xFFFFFF, id_);
        if (!(event & MEVT_F_LONG) && MEVT_EVENTTYPE(event & ~MEVT_F_CALLBACK) == MEVT_TEMPO &&
            MEVT_EVENTPARM(event) != 0)
            tempo_ = MEVT_EVENTPARM(event);
        anchor_ = nextAt_;
        offset_ += size;
        armed_ = false;
    }
    readTo_ = std::max(readTo_, horizon);
}

// ---- The device ------------------------------------------------------------

Device& Device::Get() {
    // Never destroyed: it is a source of the audio stream, which may still
    // mix while static objects are torn down.
    static Device* d = new Device;
    return *d;
}

Device::Device() { scheduled_.reserve(8192); }

MMRESULT Device::Open(Stream* stream) {
    std::lock_guard open(openLock);
    StartNotifications();  // the notification thread exists before anything can report
    bool first;
    {
        std::lock_guard guard(lock_);
        first = streams_.empty();
        if (!first) {
            streams_.push_back(stream);
            return MMSYSERR_NOERROR;
        }
    }
    if (!audio::Acquire()) return MMSYSERR_NODRIVER;
    std::unique_ptr<Synth> synth = CreateSynth(audio::kSampleRate);
    if (!synth) {
        audio::Release();
        return MIDIERR_NODEVICE;
    }
    bool added;
    {
        std::lock_guard guard(lock_);
        try {
            streams_.push_back(stream);
            added = true;
        } catch (const std::bad_alloc&) {
            added = false;
        }
        if (added) {
            synth_ = std::move(synth);
            immediateFirst_ = immediateCount_ = 0;
            scheduled_.clear();
        }
    }
    if (added && !audio::AddSource(this)) {
        std::lock_guard guard(lock_);
        streams_.clear();
        synth = std::move(synth_);
        added = false;
    }
    if (!added) {
        audio::Release();
        return MMSYSERR_NOMEM;
    }
    return MMSYSERR_NOERROR;
}

void Device::Close(Stream* stream) {
    std::lock_guard open(openLock);
    bool last;
    {
        std::lock_guard guard(lock_);
        auto it = std::find(streams_.begin(), streams_.end(), stream);
        if (it == streams_.end()) return;
        streams_.erase(it);
        Unschedule(stream->Id());
        last = streams_.empty();
    }
    if (!last) return;
    audio::RemoveSource(this);  // returns once no mix uses the device any more
    std::unique_ptr<Synth> synth;
    {
        std::lock_guard guard(lock_);
        synth = std::move(synth_);
        immediateFirst_ = immediateCount_ = 0;
        scheduled_.clear();
    }
    synth.reset();
    audio::Release();
}

void Device::Immediate(std::uint32_t message) {
    if (immediateCount_ == kMaxImmediate) {
        immediateFirst_ = (immediateFirst_ + 1) % kMaxImmediate;
        --immediateCount_;
    }
    immediate_[(immediateFirst_ + immediateCount_) % kMaxImmediate] = message;
    ++immediateCount_;
}

void Device::Schedule(std::uint64_t at, std::uint32_t message, std::uint64_t streamId) {
    // Streams schedule in time order, so the place is nearly always the end.
    auto it = scheduled_.end();
    while (it != scheduled_.begin() && std::prev(it)->at > at) --it;
    scheduled_.insert(it, Timed{at, message, streamId});
}

void Device::Unschedule(std::uint64_t streamId) {
    std::erase_if(scheduled_, [&](const Timed& t) { return t.streamId == streamId; });
}

void Device::RestartClock() {
    std::lock_guard guard(lock_);
    if (streams_.empty()) now_ = 0;
}

void Device::Mix(float* out, int frames) {
    std::lock_guard guard(lock_);
    if (!synth_ || frames <= 0) return;
    Synth& synth = *synth_;
    for (std::size_t i = 0; i < immediateCount_; ++i)
        synth.ShortMessage(immediate_[(immediateFirst_ + i) % kMaxImmediate]);
    immediateFirst_ = immediateCount_ = 0;

    const std::uint64_t end = now_ + static_cast<std::uint64_t>(frames);
    for (Stream* s : streams_)
        if (s->Running()) s->Process(*this, now_, end + kLookahead);

    std::uint64_t at = now_;
    std::size_t next = 0;
    for (;;) {
        for (; next < scheduled_.size() && scheduled_[next].at <= at; ++next) {
            if (scheduled_[next].message == kAllNotesOff)
                synth.AllNotesOff();
            else
                synth.ShortMessage(scheduled_[next].message);
        }
        std::uint64_t until = next < scheduled_.size() ? std::min(end, scheduled_[next].at) : end;
        if (until > at) {
            synth.Render(out + static_cast<std::ptrdiff_t>(at - now_) * audio::kChannels, static_cast<int>(until - at));
            at = until;
        }
        if (at >= end) break;
    }
    scheduled_.erase(scheduled_.begin(), scheduled_.begin() + static_cast<std::ptrdiff_t>(next));
    now_ = end;
}

}  // namespace platform::midi
