// The MCI "sequencer" device: a MIDI file opened as an element, played on
// the MIDI mapper through a stream of its own, and MM_MCINOTIFY posted to
// the window named by MCI_NOTIFY when a play ends, is aborted or superseded.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/data_path.h"
#include "platform/trace/trace.h"
#include "platform/winmm/midi_file.h"
#include "platform/winmm/midi_internal.h"

namespace platform::midi {
namespace {

enum class Mode { Stopped, Playing, Paused };

void PostNotify(HWND window, WPARAM flag, MCIDEVICEID id) {
    if (window) PostMessageA(window, MM_MCINOTIFY, flag, static_cast<LPARAM>(id));
}

std::mutex mciLock;  // every sequencer's state; taken before the device lock

class Sequencer final : public Listener {
public:
    Sequencer(MCIDEVICEID id, std::uint64_t streamId, SongEvents&& song)
        : id_(id), song_(std::move(song)), stream_(streamId, MakeSink()) {
        header_.lpData = reinterpret_cast<LPSTR>(song_.words.data());
        header_.dwBufferLength = static_cast<DWORD>(song_.words.size() * sizeof(DWORD));
        header_.dwBytesRecorded = header_.dwBufferLength;
        header_.dwFlags = MHDR_PREPARED;
    }

    MCIDEVICEID Id() const { return id_; }
    Stream& GetStream() { return stream_; }
    DWORD TimeDivision() const { return song_.timeDivision; }

    // Notification thread: the song has played to its end (or was handed
    // back by a stop or seek, which says so itself).
    void BufferDone(MIDIHDR*, bool played) override {
        if (!played) return;
        std::lock_guard guard(mciLock);
        {
            // A notice overtaken by a seek and a new play is stale.
            std::lock_guard device(Device::Get().Lock());
            if (!stream_.Idle()) return;
        }
        inStream_ = false;
        atEnd_ = true;
        mode_ = Mode::Stopped;
        Finish(MCI_NOTIFY_SUCCESSFUL);
    }

    // The rest: main thread, mciLock held.
    void TakeNotify(DWORD flags, DWORD_PTR window) {
        if (!(flags & MCI_NOTIFY)) return;
        Finish(MCI_NOTIFY_SUPERSEDED);
        notifyWindow_ = reinterpret_cast<HWND>(window);
        notifyPending_ = true;
    }

    // Ends the pending play notification, if any, with `flag`.
    void Finish(WPARAM flag) {
        if (!notifyPending_) return;
        notifyPending_ = false;
        PostNotify(notifyWindow_, flag, id_);
    }

    void Play() {
        if (atEnd_) {  // nothing left to play: done at once
            mode_ = Mode::Stopped;
            Finish(MCI_NOTIFY_SUCCESSFUL);
            return;
        }
        std::lock_guard device(Device::Get().Lock());
        if (!inStream_) {
            stream_.Out(&header_);
            inStream_ = true;
        }
        stream_.Restart(Device::Get());
        mode_ = Mode::Playing;
    }

    void Halt(Mode mode) {
        std::lock_guard device(Device::Get().Lock());
        stream_.Pause(Device::Get());
        mode_ = mode;
    }

    void Seek(bool toEnd) {
        {
            std::lock_guard device(Device::Get().Lock());
            stream_.Stop(Device::Get());
        }
        inStream_ = false;
        atEnd_ = toEnd;
        mode_ = Mode::Stopped;
    }

    Mode CurrentMode() const { return mode_; }

private:
    Sink MakeSink() {
        Sink sink;
        sink.listener = this;
        return sink;
    }

    MCIDEVICEID id_;
    SongEvents song_;
    Stream stream_;
    MIDIHDR header_{};
    Mode mode_ = Mode::Stopped;
    bool inStream_ = false;
    bool atEnd_ = false;
    HWND notifyWindow_ = nullptr;
    bool notifyPending_ = false;
};

std::vector<std::unique_ptr<Sequencer>> sequencers;  // mciLock
MCIDEVICEID nextDeviceId = 1;
std::atomic<std::uint64_t> nextStreamId{std::uint64_t(1) << 62};

Sequencer* FindSequencer(MCIDEVICEID id) {
    for (auto& s : sequencers)
        if (s->Id() == id) return s.get();
    return nullptr;
}

// Logged and failed by command: "mciSendCommandA:MCI_PLAY".
const platform::FaultPoint kMciOpen("mciSendCommandA:MCI_OPEN");
const platform::FaultPoint kMciClose("mciSendCommandA:MCI_CLOSE");
const platform::FaultPoint kMciPlay("mciSendCommandA:MCI_PLAY");
const platform::FaultPoint kMciSeek("mciSendCommandA:MCI_SEEK");
const platform::FaultPoint kMciStop("mciSendCommandA:MCI_STOP");
const platform::FaultPoint kMciPause("mciSendCommandA:MCI_PAUSE");
const platform::FaultPoint kMciStatus("mciSendCommandA:MCI_STATUS");
const platform::FaultPoint kMciOther("mciSendCommandA:MCI_OTHER");

const platform::FaultPoint& CommandPoint(UINT command) {
    switch (command) {
        case MCI_OPEN: return kMciOpen;
        case MCI_CLOSE: return kMciClose;
        case MCI_PLAY: return kMciPlay;
        case MCI_SEEK: return kMciSeek;
        case MCI_STOP: return kMciStop;
        case MCI_PAUSE: return kMciPause;
        case MCI_STATUS: return kMciStatus;
        default: return kMciOther;
    }
}

bool IsMidiElement(const std::string& name) {
    auto dot = name.find_last_of('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
    return ext == "mid" || ext == "midi" || ext == "rmi";
}

// A form of a command the sequencer here does not take: says so in the call
// log and answers as a driver without it.
MCIERROR Partial(const char* name) {
    platform::Unimplemented(name);
    return MCIERR_UNSUPPORTED_FUNCTION;
}

MCIERROR Open(DWORD flags, LPMCI_OPEN_PARMSA p) {
    if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
    if (flags & MCI_OPEN_ELEMENT_ID) return Partial("mciSendCommandA:MCI_OPEN:MCI_OPEN_ELEMENT_ID");
    if (!(flags & MCI_OPEN_ELEMENT) || !p->lpstrElementName) return MCIERR_MISSING_PARAMETER;
    std::string element(p->lpstrElementName);
    if (flags & MCI_OPEN_TYPE_ID) {
        if (LOWORD(reinterpret_cast<DWORD_PTR>(p->lpstrDeviceType)) != MCI_DEVTYPE_SEQUENCER)
            return MCIERR_INVALID_DEVICE_NAME;
    } else if (flags & MCI_OPEN_TYPE) {
        if (!p->lpstrDeviceType || lstrcmpiA(p->lpstrDeviceType, "sequencer") != 0) return MCIERR_INVALID_DEVICE_NAME;
    } else if (!IsMidiElement(element)) {
        return MCIERR_INVALID_DEVICE_NAME;  // no type, and not a file the sequencer is known for
    }
    SongEvents song;
    switch (LoadMidiFile(platform::FindDataFile(platform::HostPath(element)), song)) {
        case FileResult::NotFound: return MCIERR_FILE_NOT_FOUND;
        case FileResult::Invalid: return MCIERR_INVALID_FILE;
        case FileResult::Ok: break;
    }
    auto seq = std::make_unique<Sequencer>(nextDeviceId, nextStreamId++, std::move(song));
    if (Device::Get().Open(&seq->GetStream()) != MMSYSERR_NOERROR) return MCIERR_SEQ_NOMIDIPRESENT;
    {
        std::lock_guard device(Device::Get().Lock());
        seq->GetStream().SetTimeDivision(seq->TimeDivision());
    }
    p->wDeviceID = nextDeviceId++;
    if (flags & MCI_NOTIFY) PostNotify(reinterpret_cast<HWND>(p->dwCallback), MCI_NOTIFY_SUCCESSFUL, p->wDeviceID);
    sequencers.push_back(std::move(seq));
    return 0;
}

// Takes the device off the list; the caller tears it down outside mciLock,
// since its notifications may be waiting for that lock.
std::unique_ptr<Sequencer> Detach(Sequencer* s) {
    s->Finish(MCI_NOTIFY_ABORTED);
    auto it = std::find_if(sequencers.begin(), sequencers.end(), [&](const auto& p) { return p.get() == s; });
    std::unique_ptr<Sequencer> owned = std::move(*it);
    sequencers.erase(it);
    return owned;
}

void TearDown(std::unique_ptr<Sequencer> s) {
    {
        std::lock_guard device(Device::Get().Lock());
        s->GetStream().Stop(Device::Get());
    }
    Device::Get().Close(&s->GetStream());
    DiscardNotifications(s->GetStream().Id());
    FlushNotifications();
}

MCIERROR Status(Sequencer& s, DWORD flags, LPMCI_STATUS_PARMS p) {
    if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_STATUS_ITEM)) return MCIERR_MISSING_PARAMETER;
    switch (p->dwItem) {
        case MCI_SEQ_STATUS_PORT: p->dwReturn = MCI_SEQ_MAPPER; break;
        case MCI_STATUS_READY: p->dwReturn = TRUE; break;
        case MCI_STATUS_MODE:
            p->dwReturn = s.CurrentMode() == Mode::Playing  ? MCI_MODE_PLAY
                          : s.CurrentMode() == Mode::Paused ? MCI_MODE_PAUSE
                                                            : MCI_MODE_STOP;
            break;
        default: return Partial("mciSendCommandA:MCI_STATUS:other items");
    }
    return 0;
}

DWORD_PTR CallbackOf(DWORD_PTR params) {
    return params ? reinterpret_cast<LPMCI_GENERIC_PARMS>(params)->dwCallback : 0;
}

}  // namespace
}  // namespace platform::midi

using namespace platform::midi;

MCIERROR WINAPI mciSendCommandA(MCIDEVICEID mciId, UINT uMsg, DWORD_PTR dwParam1, DWORD_PTR dwParam2) {
    const platform::FaultPoint& point = CommandPoint(uMsg);
    point.Trace();
    DWORD flags = static_cast<DWORD>(dwParam1);
    if ((flags & MCI_NOTIFY) && !dwParam2) return MCIERR_NULL_PARAMETER_BLOCK;
    std::int32_t code;
    if (point.Fails(code)) return static_cast<MCIERROR>(code);

    std::unique_lock guard(mciLock);
    if (uMsg == MCI_OPEN) return Open(flags, reinterpret_cast<LPMCI_OPEN_PARMSA>(dwParam2));

    if (uMsg == MCI_CLOSE) {
        std::vector<std::unique_ptr<Sequencer>> closing;
        if (mciId == MCI_ALL_DEVICE_ID) {
            while (!sequencers.empty()) closing.push_back(Detach(sequencers.front().get()));
        } else {
            Sequencer* s = FindSequencer(mciId);
            if (!s) return MCIERR_INVALID_DEVICE_ID;
            closing.push_back(Detach(s));
        }
        if (flags & MCI_NOTIFY) PostNotify(reinterpret_cast<HWND>(CallbackOf(dwParam2)), MCI_NOTIFY_SUCCESSFUL, mciId);
        guard.unlock();
        for (auto& s : closing) TearDown(std::move(s));
        return 0;
    }

    Sequencer* s = FindSequencer(mciId);
    if (!s) return MCIERR_INVALID_DEVICE_ID;
    MCIERROR result = 0;
    switch (uMsg) {
        case MCI_PLAY:
            if (flags & (MCI_FROM | MCI_TO)) return Partial("mciSendCommandA:MCI_PLAY:MCI_FROM/MCI_TO");
            s->TakeNotify(flags, CallbackOf(dwParam2));
            s->Play();
            return 0;  // its notification comes when the play ends
        case MCI_STOP:
        case MCI_PAUSE:
            s->Halt(uMsg == MCI_STOP ? Mode::Stopped : Mode::Paused);
            s->Finish(MCI_NOTIFY_ABORTED);
            break;
        case MCI_SEEK:
            if (flags & MCI_TO) return Partial("mciSendCommandA:MCI_SEEK:MCI_TO");
            if (!(flags & (MCI_SEEK_TO_START | MCI_SEEK_TO_END))) return MCIERR_MISSING_PARAMETER;
            if ((flags & MCI_SEEK_TO_START) && (flags & MCI_SEEK_TO_END)) return MCIERR_FLAGS_NOT_COMPATIBLE;
            s->Seek((flags & MCI_SEEK_TO_END) != 0);
            s->Finish(MCI_NOTIFY_ABORTED);
            break;
        case MCI_STATUS: result = Status(*s, flags, reinterpret_cast<LPMCI_STATUS_PARMS>(dwParam2)); break;
        default: platform::Unimplemented("mciSendCommandA:other commands"); return MCIERR_UNRECOGNIZED_COMMAND;
    }
    if (result == 0 && (flags & MCI_NOTIFY))
        PostNotify(reinterpret_cast<HWND>(CallbackOf(dwParam2)), MCI_NOTIFY_SUCCESSFUL, mciId);
    return result;
}
