// midiStream* and midiOut* on the MIDI mapper, with the return codes and
// header flags Windows gives for the calls a player makes.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/host/host_synth.h"
#include "platform/trace/boundary.h"
#include "platform/trace/trace.h"
#include "platform/winmm/midi_internal.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kMidiOutGetNumDevs("midiOutGetNumDevs");
const platform::FaultPoint kMidiOutPrepareHeader("midiOutPrepareHeader");
const platform::FaultPoint kMidiOutUnprepareHeader("midiOutUnprepareHeader");
const platform::FaultPoint kMidiOutReset("midiOutReset");
const platform::FaultPoint kMidiOutShortMsg("midiOutShortMsg");
const platform::FaultPoint kMidiStreamClose("midiStreamClose");
const platform::FaultPoint kMidiStreamOpen("midiStreamOpen");
const platform::FaultPoint kMidiStreamOut("midiStreamOut");
const platform::FaultPoint kMidiStreamPause("midiStreamPause");
const platform::FaultPoint kMidiStreamProperty("midiStreamProperty");
const platform::FaultPoint kMidiStreamRestart("midiStreamRestart");
const platform::FaultPoint kMidiStreamStop("midiStreamStop");
}  // namespace

using platform::midi::Device;
using platform::midi::Stream;

namespace platform::midi {
namespace {

std::vector<Stream*> liveStreams;  // device lock
std::atomic<std::uint64_t> nextStreamId{1};

Stream* Find(const void* handle) {
    for (Stream* s : liveStreams)
        if (s == handle) return s;
    return nullptr;
}

void Send(const Stream& s, UINT message) {
    Notification n;
    n.sink = s.GetSink();
    n.streamId = s.Id();
    n.message = message;
    Notify(n);
}

}  // namespace

int OpenStreamCount() {
    std::lock_guard guard(Device::Get().Lock());
    return static_cast<int>(liveStreams.size());
}

void ResetForTests() {
    mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_CLOSE, 0, 0);
    std::vector<Stream*> streams;
    {
        std::lock_guard guard(Device::Get().Lock());
        streams.swap(liveStreams);
    }
    for (Stream* s : streams) {
        DiscardNotifications(s->Id());
        Device::Get().Close(s);
        delete s;
    }
    FlushNotifications();
    Device::Get().RestartClock();
}

}  // namespace platform::midi

using namespace platform::midi;

// The mapper is not counted, as on Windows: the one device is the host's
// synthesiser, and a machine without one has none. A failure armed here
// stands for a machine without MIDI hardware.
UINT WINAPI midiOutGetNumDevs(void) {
    kMidiOutGetNumDevs.Trace();
    UINT fault;
    if (kMidiOutGetNumDevs.Fails(fault)) return 0;
    return platform::midi::SynthPresent() ? 1 : 0;
}

MMRESULT WINAPI midiStreamOpen(LPHMIDISTRM phms, LPUINT puDeviceID, DWORD cMidi, DWORD_PTR dwCallback,
                               DWORD_PTR dwInstance, DWORD fdwOpen) {
    kMidiStreamOpen.Trace();
    if (!phms || !puDeviceID) return MMSYSERR_INVALPARAM;
    *phms = nullptr;
    if (cMidi != 1) return MMSYSERR_INVALPARAM;
    if (*puDeviceID != MIDI_MAPPER && *puDeviceID != 0) return MMSYSERR_BADDEVICEID;
    Sink sink;
    sink.kind = fdwOpen & 0x00070000;  // CALLBACK_TYPEMASK
    sink.target = dwCallback;
    sink.instance = dwInstance;
    switch (sink.kind) {
        case CALLBACK_NULL:
        case CALLBACK_FUNCTION:
        case CALLBACK_EVENT:
        case CALLBACK_WINDOW: break;
        default: return MMSYSERR_INVALFLAG;  // thread callbacks: there are no thread queues here
    }
    MMRESULT fault;
    if (kMidiStreamOpen.Fails(fault)) return fault;

    // Out of memory anywhere on the way, the stream is not opened and the
    // call says so (MMSYSERR_NOMEM), as winmm's calls do.
    std::unique_ptr<Stream> opening(new (std::nothrow) Stream(nextStreamId++, sink));
    if (!opening) return MMSYSERR_NOMEM;
    Stream* stream = opening.get();
    stream->BindHandle();
    MMRESULT result = platform::FailWithoutMemory<MMRESULT>(MMSYSERR_NOMEM, 0, [&] {
        {
            // The place in the list first, so that nothing fails once open.
            std::lock_guard guard(Device::Get().Lock());
            liveStreams.reserve(liveStreams.size() + 1);
        }
        return Device::Get().Open(stream);
    });
    if (result != MMSYSERR_NOERROR) return result;
    {
        std::lock_guard guard(Device::Get().Lock());
        liveStreams.push_back(opening.release());
    }
    *phms = reinterpret_cast<HMIDISTRM>(stream);
    Send(*stream, MOM_OPEN);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiStreamClose(HMIDISTRM hms) {
    kMidiStreamClose.Trace();
    Stream* s;
    {
        std::lock_guard guard(Device::Get().Lock());
        s = Find(hms);
        if (!s) return MMSYSERR_INVALHANDLE;
        MMRESULT fault;
        if (kMidiStreamClose.Fails(fault)) return fault;
        std::erase(liveStreams, s);
        // Buffers still queued go back to their owner before the close.
        s->Stop(Device::Get());
    }
    Send(*s, MOM_CLOSE);
    Device::Get().Close(s);
    delete s;
    // Once the close returns, the stream's owner hears nothing more from it.
    FlushNotifications();
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiStreamProperty(HMIDISTRM hms, LPBYTE lppropdata, DWORD dwProperty) {
    kMidiStreamProperty.Trace();
    std::lock_guard guard(Device::Get().Lock());
    Stream* s = Find(hms);
    if (!s) return MMSYSERR_INVALHANDLE;
    bool set = (dwProperty & MIDIPROP_SET) != 0;
    bool get = (dwProperty & MIDIPROP_GET) != 0;
    DWORD which = dwProperty & ~static_cast<DWORD>(MIDIPROP_SET | MIDIPROP_GET);
    if (set == get || (which != MIDIPROP_TIMEDIV && which != MIDIPROP_TEMPO)) return MMSYSERR_INVALPARAM;
    if (!lppropdata) return MMSYSERR_INVALPARAM;
    DWORD words[2];
    std::memcpy(words, lppropdata, sizeof(words));
    if (words[0] != sizeof(words)) return MMSYSERR_INVALPARAM;  // cbStruct of both property blocks
    MMRESULT fault;
    if (kMidiStreamProperty.Fails(fault)) return fault;
    if (get) {
        words[1] = which == MIDIPROP_TIMEDIV ? s->TimeDivision() : s->Tempo();
        std::memcpy(lppropdata, words, sizeof(words));
        return MMSYSERR_NOERROR;
    }
    // Taken at any time; it counts from the next event on.
    return which == MIDIPROP_TIMEDIV ? s->SetTimeDivision(words[1]) : s->SetTempo(words[1]);
}

MMRESULT WINAPI midiStreamOut(HMIDISTRM hms, LPMIDIHDR pmh, UINT cbmh) {
    kMidiStreamOut.Trace();
    std::lock_guard guard(Device::Get().Lock());
    Stream* s = Find(hms);
    if (!s) return MMSYSERR_INVALHANDLE;
    if (!pmh || cbmh < sizeof(MIDIHDR)) return MMSYSERR_INVALPARAM;
    if (!(pmh->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
    if (pmh->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    if (pmh->dwBytesRecorded > pmh->dwBufferLength || (!pmh->lpData && pmh->dwBytesRecorded))
        return MMSYSERR_INVALPARAM;
    MMRESULT fault;
    if (kMidiStreamOut.Fails(fault)) return fault;
    return s->Out(pmh);
}

MMRESULT WINAPI midiStreamRestart(HMIDISTRM hms) {
    kMidiStreamRestart.Trace();
    std::lock_guard guard(Device::Get().Lock());
    Stream* s = Find(hms);
    if (!s) return MMSYSERR_INVALHANDLE;
    MMRESULT fault;
    if (kMidiStreamRestart.Fails(fault)) return fault;
    s->Restart(Device::Get());
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiStreamPause(HMIDISTRM hms) {
    kMidiStreamPause.Trace();
    std::lock_guard guard(Device::Get().Lock());
    Stream* s = Find(hms);
    if (!s) return MMSYSERR_INVALHANDLE;
    MMRESULT fault;
    if (kMidiStreamPause.Fails(fault)) return fault;
    s->Pause(Device::Get());  // the position is kept
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiStreamStop(HMIDISTRM hms) {
    kMidiStreamStop.Trace();
    std::lock_guard guard(Device::Get().Lock());
    Stream* s = Find(hms);
    if (!s) return MMSYSERR_INVALHANDLE;
    MMRESULT fault;
    if (kMidiStreamStop.Fails(fault)) return fault;
    s->Stop(Device::Get());
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutPrepareHeader(HMIDIOUT hmo, LPMIDIHDR pmh, UINT cbmh) {
    kMidiOutPrepareHeader.Trace();
    std::lock_guard guard(Device::Get().Lock());
    if (!Find(hmo)) return MMSYSERR_INVALHANDLE;
    if (!pmh || cbmh < sizeof(MIDIHDR) || !pmh->lpData || pmh->dwBufferLength == 0) return MMSYSERR_INVALPARAM;
    // A stream buffer holds at most 64 KB of events.
    if (pmh->dwBufferLength > 65536) return MMSYSERR_INVALPARAM;
    if (pmh->dwFlags & MHDR_PREPARED) return MMSYSERR_NOERROR;
    MMRESULT fault;
    if (kMidiOutPrepareHeader.Fails(fault)) return fault;
    pmh->dwFlags |= MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutUnprepareHeader(HMIDIOUT hmo, LPMIDIHDR pmh, UINT cbmh) {
    kMidiOutUnprepareHeader.Trace();
    std::lock_guard guard(Device::Get().Lock());
    if (!Find(hmo)) return MMSYSERR_INVALHANDLE;
    if (!pmh || cbmh < sizeof(MIDIHDR)) return MMSYSERR_INVALPARAM;
    if (!(pmh->dwFlags & MHDR_PREPARED)) return MMSYSERR_NOERROR;
    if (pmh->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    MMRESULT fault;
    if (kMidiOutUnprepareHeader.Fails(fault)) return fault;
    pmh->dwFlags &= ~static_cast<DWORD>(MHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutShortMsg(HMIDIOUT hmo, DWORD dwMsg) {
    kMidiOutShortMsg.Trace();
    std::lock_guard guard(Device::Get().Lock());
    if (!Find(hmo)) return MMSYSERR_INVALHANDLE;
    MMRESULT fault;
    if (kMidiOutShortMsg.Fails(fault)) return fault;
    // Channel messages reach the synthesiser at the start of the next mix;
    // system messages mean nothing to it.
    if ((dwMsg & 0x80) && (dwMsg & 0xF0) != 0xF0) Device::Get().Immediate(dwMsg & 0xFFFFFF);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutReset(HMIDIOUT hmo) {
    kMidiOutReset.Trace();
    std::lock_guard guard(Device::Get().Lock());
    Stream* s = Find(hmo);
    if (!s) return MMSYSERR_INVALHANDLE;
    MMRESULT fault;
    if (kMidiOutReset.Fails(fault)) return fault;
    s->Reset(Device::Get());
    return MMSYSERR_NOERROR;
}
