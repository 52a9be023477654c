// The notification thread: what MIDI streams report (a buffer done, a
// flagged event played) reaches their owners' callbacks, events and windows
// from here, off the audio thread.
#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/host/host.h"
#include "platform/winmm/midi_internal.h"

namespace platform::midi {
namespace {

// ---- The notification thread ----------------------------------------------

// Notifications wait in a ring of fixed size, so that the audio thread can
// report without allocating. The audio thread never waits for the ring's
// lock either: when the lock is busy or the ring is full, the stream keeps
// the event and tries again at the next mix (a little late, never lost).
// Other threads may wait, and once the ring is full their notifications
// queue behind it in a list that can grow; while that list holds anything
// the audio thread stays out, so the order is kept.
//
// A host without threads (the browser's) gets no notification thread: it
// delivers the notifications from its main loop (DeliverNotifications).

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
            if (!overflow_.empty() || !PushRing(n)) overflow_.push_back(n);
        }
        wake_.notify_one();
    }

    bool TryPost(const Notification& n) {
        {
            std::unique_lock guard(lock_, std::try_to_lock);
            if (!guard.owns_lock() || !overflow_.empty() || count_ == kRingSize) return false;
            PushRing(n);
        }
        wake_.notify_one();
        return true;
    }

    void Discard(std::uint64_t streamId) {
        {
            std::lock_guard guard(lock_);
            std::size_t kept = 0;
            for (std::size_t i = 0; i < count_; ++i) {
                const Notification& n = ring_[(head_ + i) % kRingSize];
                if (n.streamId != streamId) ring_[(head_ + kept++) % kRingSize] = n;
            }
            count_ = kept;
            std::erase_if(overflow_, [&](const Notification& n) { return n.streamId == streamId; });
        }
        drained_.notify_all();
    }

    void Flush() {
        if (!threads_) {
            DeliverPending();
            return;
        }
        if (OnThread()) return;
        std::unique_lock guard(lock_);
        std::uint64_t target = posted_ + count_ + overflow_.size();
        // Discarded notifications are never delivered: an empty, idle queue
        // also means done.
        drained_.wait(guard, [&] { return delivered_ >= target || (Empty() && !delivering_); });
    }

    bool OnThread() const { return std::this_thread::get_id() == threadId_; }

    static constexpr std::size_t kRingSize = 1024;

    void DeliverPending() {
        if (threads_) return;
        std::unique_lock guard(lock_);
        while (!Empty()) {
            Notification n = Pop();
            ++posted_;
            guard.unlock();
            Deliver(n);
            guard.lock();
            ++delivered_;
        }
    }

private:
    Notifier() {
        if (threads_) {
            std::thread t([this] { Run(); });
            threadId_ = t.get_id();
            t.detach();
        }
    }

    bool Empty() const { return count_ == 0 && overflow_.empty(); }

    bool PushRing(const Notification& n) {
        if (count_ == kRingSize) return false;
        ring_[(head_ + count_) % kRingSize] = n;
        ++count_;
        return true;
    }

    Notification Pop() {
        if (count_ > 0) {
            Notification n = ring_[head_];
            head_ = (head_ + 1) % kRingSize;
            --count_;
            return n;
        }
        Notification n = overflow_.front();
        overflow_.pop_front();
        return n;
    }

    void Run() {
        std::unique_lock guard(lock_);
        for (;;) {
            wake_.wait(guard, [&] { return !Empty(); });
            Notification n = Pop();
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

    // A header is given back only here, after every earlier message about
    // it: its owner may free it the moment it reads done, so nothing may
    // touch it after that. Windows, too, marks it just before the callback.
    static void GiveBack(MIDIHDR* header) {
        std::lock_guard guard(Device::Get().Lock());
        // The owner polls the flags from its own thread without the lock: an
        // atomic store (std::atomic_ref is missing from the web build's library).
        DWORD flags = __atomic_load_n(&header->dwFlags, __ATOMIC_SEQ_CST);
        __atomic_store_n(&header->dwFlags, (flags & ~static_cast<DWORD>(MHDR_INQUEUE)) | MHDR_DONE, __ATOMIC_SEQ_CST);
    }

    static void Deliver(const Notification& n) {
        const Sink& s = n.sink;
        if (n.message == MOM_DONE && n.header) GiveBack(n.header);
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
    std::array<Notification, kRingSize> ring_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::deque<Notification> overflow_;  // only once the ring is full; never from the audio thread
    bool delivering_ = false;
    std::uint64_t posted_ = 0;     // taken off the queue
    std::uint64_t delivered_ = 0;  // finished
    const bool threads_ = host::HasThreads();
    std::thread::id threadId_;
};

}  // namespace

void Notify(const Notification& n) { Notifier::Get().Post(n); }
bool TryNotify(const Notification& n) { return Notifier::Get().TryPost(n); }
void DiscardNotifications(std::uint64_t streamId) { Notifier::Get().Discard(streamId); }
void FlushNotifications() { Notifier::Get().Flush(); }
void DeliverNotifications() { Notifier::Get().DeliverPending(); }
void StartNotifications() { Notifier::Get(); }

}  // namespace platform::midi
