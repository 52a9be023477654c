// The MIDI mapper's output device: streams of packed events played against
// the host audio stream's sample clock, and the notification thread that
// reports back to their owners.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <iterator>
#include <thread>

#include "platform/winmm/midi_internal.h"

namespace platform::midi {
namespace {

DWORD Read32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

// ---- The notification thread ----------------------------------------------

class Notifier {
public:
    static Notifier& Get() {
        // Never destroyed: the audio thread may still report while the
        // process ends, and the thread must not outlive its queue.
        static Notifier* n = new Notifier;
        return *n;
    }

    void Post(const Notification& n) {
        {
            std::lock_guard guard(lock_);
            queue_.push_back(n);
        }
        wake_.notify_one();
    }

    void Discard(std::uint64_t streamId) {
        {
            std::lock_guard guard(lock_);
            std::erase_if(queue_, [&](const Notification& n) { return n.streamId == streamId; });
        }
        drained_.notify_all();
    }

    void Flush() {
        if (OnThread()) return;
        std::unique_lock guard(lock_);
        std::uint64_t target = posted_ + queue_.size();
        // Discarded notifications are never delivered: an empty, idle queue
        // also means done.
        drained_.wait(guard, [&] { return delivered_ >= target || (queue_.empty() && !delivering_); });
    }

    bool OnThread() const { return std::this_thread::get_id() == threadId_; }

private:
    Notifier() {
        std::thread t([this] { Run(); });
        threadId_ = t.get_id();
        t.detach();
    }

    void Run() {
        std::unique_lock guard(lock_);
        for (;;) {
            wake_.wait(guard, [&] { return !queue_.empty(); });
            Notification n = queue_.front();
            queue_.pop_front();
            ++posted_;
            delivering_ = true;
            guard.unlock();
            Deliver(n);
            guard.lock();
            delivering_ = false;
            ++delivered_;
            drained_.notify_all();
        }
    }

    static void Deliver(const Notification& n) {
        const Sink& s = n.sink;
        if (s.listener) {
            if (n.message == MOM_DONE) s.listener->BufferDone(n.header, n.played);
            return;
        }
        switch (s.kind) {
            case CALLBACK_FUNCTION: {
                if (!s.target) return;
                if (n.message == MOM_POSITIONCB && n.header) n.header->dwOffset = n.offset;
                using Proc = void(CALLBACK*)(HMIDIOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);
                auto proc = reinterpret_cast<Proc>(s.target);
                proc(s.handle, n.message, s.instance, reinterpret_cast<DWORD_PTR>(n.header), 0);
                return;
            }
            case CALLBACK_EVENT: SetEvent(reinterpret_cast<HANDLE>(s.target)); return;
            case CALLBACK_WINDOW:
                if (n.message == MOM_POSITIONCB && n.header) n.header->dwOffset = n.offset;
                PostMessageA(reinterpret_cast<HWND>(s.target), n.message, reinterpret_cast<WPARAM>(s.handle),
                             reinterpret_cast<LPARAM>(n.header));
                return;
            default: return;
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable drained_;
    std::deque<Notification> queue_;
    bool delivering_ = false;
    std::uint64_t posted_ = 0;     // taken off the queue
    std::uint64_t delivered_ = 0;  // finished
    std::thread::id threadId_;
};

std::mutex openLock;  // serialises bringing the device up and down

}  // namespace

void Notify(const Notification& n) { Notifier::Get().Post(n); }
void DiscardNotifications(std::uint64_t streamId) { Notifier::Get().Discard(streamId); }
void FlushNotifications() { Notifier::Get().Flush(); }

// ---- Streams ---------------------------------------------------------------

MMRESULT Stream::Out(MIDIHDR* header) {
    header->dwFlags = (header->dwFlags & ~static_cast<DWORD>(MHDR_DONE)) | MHDR_INQUEUE | MHDR_ISSTRM;
    header->lpNext = nullptr;
    queue_.push_back(header);
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
    while (!queue_.empty()) FinishFront(false);
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

void Stream::FinishFront(bool played) {
    MIDIHDR* h = queue_.front();
    queue_.pop_front();
    offset_ = 0;
    armed_ = false;
    h->dwFlags = (h->dwFlags & ~static_cast<DWORD>(MHDR_INQUEUE)) | MHDR_DONE;
    Notification n = About(MOM_DONE, h);
    n.played = played;
    Notify(n);
}

bool Stream::Arm(std::uint64_t now) {
    while (!queue_.empty()) {
        MIDIHDR* h = queue_.front();
        DWORD end = std::min(h->dwBytesRecorded, h->dwBufferLength);
        if (!h->lpData || end < 12 || offset_ > end - 12) {
            // Every event read: the buffer goes back at once.
            FinishFront(true);
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

        MIDIHDR* h = queue_.front();
        const BYTE* p = reinterpret_cast<const BYTE*>(h->lpData) + offset_;
        DWORD end = std::min(h->dwBytesRecorded, h->dwBufferLength);
        DWORD event = Read32(p + 8);
        DWORD size = 12;
        if (event & MEVT_F_LONG) {
            // Long events (system exclusive, comments, version) carry their
            // bytes behind them, padded to a whole DWORD; the mapper's synth
            // takes none of them.
            DWORD length = MEVT_EVENTPARM(event);
            DWORD room = end - offset_ - 12;
            size = 12 + std::min(room, (length + 3) & ~3u);
        } else {
            switch (MEVT_EVENTTYPE(event & ~MEVT_F_CALLBACK)) {
                case MEVT_SHORTMSG:
                    if ((event & 0x80) && (event & 0xF0) != 0xF0) device.Schedule(nextAt_, event & 0xFFFFFF, id_);
                    break;
                case MEVT_TEMPO:
                    if (MEVT_EVENTPARM(event) != 0) tempo_ = MEVT_EVENTPARM(event);
                    break;
                default: break;  // MEVT_NOP and anything unknown
            }
        }
        if (event & MEVT_F_CALLBACK) {
            Notification n = About(MOM_POSITIONCB, h);
            n.offset = offset_;
            Notify(n);
        }
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
    Notifier::Get();  // the notification thread exists before anything can report
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
    {
        std::lock_guard guard(lock_);
        synth_ = std::move(synth);
        immediate_.clear();
        scheduled_.clear();
        streams_.push_back(stream);
    }
    audio::AddSource(this);
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
        immediate_.clear();
        scheduled_.clear();
    }
    synth.reset();
    audio::Release();
}

// Messages sent while nothing mixes (a test that renders no audio) are
// bounded: past this many only the latest are kept.
constexpr std::size_t kMaxImmediate = 4096;

void Device::Immediate(std::uint32_t message) {
    if (immediate_.size() >= kMaxImmediate) immediate_.pop_front();
    immediate_.push_back(message);
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
    for (std::uint32_t m : immediate_) synth.ShortMessage(m);
    immediate_.clear();

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
