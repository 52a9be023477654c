// DirectSound's sound buffers: their samples, cursors, controls and play
// state, which the device's mixer reads under its lock.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/dsound/objects.h"
#include "platform/trace/trace.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kIDirectSoundBufferGetCaps("IDirectSoundBuffer::GetCaps");
const platform::FaultPoint kIDirectSoundBufferGetCurrentPosition("IDirectSoundBuffer::GetCurrentPosition");
const platform::FaultPoint kIDirectSoundBufferGetFormat("IDirectSoundBuffer::GetFormat");
const platform::FaultPoint kIDirectSoundBufferGetFrequency("IDirectSoundBuffer::GetFrequency");
const platform::FaultPoint kIDirectSoundBufferGetPan("IDirectSoundBuffer::GetPan");
const platform::FaultPoint kIDirectSoundBufferGetStatus("IDirectSoundBuffer::GetStatus");
const platform::FaultPoint kIDirectSoundBufferGetVolume("IDirectSoundBuffer::GetVolume");
const platform::FaultPoint kIDirectSoundBufferInitialize("IDirectSoundBuffer::Initialize");
const platform::FaultPoint kIDirectSoundBufferLock("IDirectSoundBuffer::Lock");
const platform::FaultPoint kIDirectSoundBufferPlay("IDirectSoundBuffer::Play");
const platform::FaultPoint kIDirectSoundBufferRestore("IDirectSoundBuffer::Restore");
const platform::FaultPoint kIDirectSoundBufferSetCurrentPosition("IDirectSoundBuffer::SetCurrentPosition");
const platform::FaultPoint kIDirectSoundBufferSetFormat("IDirectSoundBuffer::SetFormat");
const platform::FaultPoint kIDirectSoundBufferSetFrequency("IDirectSoundBuffer::SetFrequency");
const platform::FaultPoint kIDirectSoundBufferSetPan("IDirectSoundBuffer::SetPan");
const platform::FaultPoint kIDirectSoundBufferSetVolume("IDirectSoundBuffer::SetVolume");
const platform::FaultPoint kIDirectSoundBufferStop("IDirectSoundBuffer::Stop");
const platform::FaultPoint kIDirectSoundBufferUnlock("IDirectSoundBuffer::Unlock");
}  // namespace

namespace platform::dsound {

HRESULT Buffer::GetCaps(LPDSBCAPS caps) {
    kIDirectSoundBufferGetCaps.Trace();
    if (!caps || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
    if (HRESULT hr = Fails(kIDirectSoundBufferGetCaps); hr != DS_OK) return hr;
    caps->dwFlags = flags | DSBCAPS_LOCSOFTWARE;
    caps->dwBufferBytes = bytes;
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
}

HRESULT Buffer::GetCurrentPosition(LPDWORD play, LPDWORD write) {
    kIDirectSoundBufferGetCurrentPosition.Trace();
    if (HRESULT hr = Fails(kIDirectSoundBufferGetCurrentPosition); hr != DS_OK) return hr;
    DWORD at;
    {
        std::lock_guard guard(Owner()->lock);
        at = static_cast<DWORD>(voice.position >> 32) * format.nBlockAlign;
    }
    // The mixer reads the samples as it goes, so everything behind the play
    // cursor may be written: the write cursor is the play cursor.
    if (play) *play = at;
    if (write) *write = at;
    return DS_OK;
}

HRESULT Buffer::GetFormat(LPWAVEFORMATEX wfx, DWORD allocated, LPDWORD written) {
    kIDirectSoundBufferGetFormat.Trace();
    if (HRESULT hr = Fails(kIDirectSoundBufferGetFormat); hr != DS_OK) return hr;
    if (!wfx) {
        // Asking for the size needed (as Wine answers it).
        if (!written) return DSERR_INVALIDPARAM;
        *written = sizeof(WAVEFORMATEX);
        return DS_OK;
    }
    DWORD size = std::min<DWORD>(allocated, sizeof(WAVEFORMATEX));
    std::memcpy(wfx, &format, size);
    if (written) *written = size;
    return DS_OK;
}

HRESULT Buffer::GetVolume(LPLONG out) {
    kIDirectSoundBufferGetVolume.Trace();
    if (!out) return DSERR_INVALIDPARAM;
    if (HRESULT hr = Fails(kIDirectSoundBufferGetVolume); hr != DS_OK) return hr;
    if (!(flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    *out = volume;
    return DS_OK;
}

HRESULT Buffer::GetPan(LPLONG out) {
    kIDirectSoundBufferGetPan.Trace();
    if (!out) return DSERR_INVALIDPARAM;
    if (HRESULT hr = Fails(kIDirectSoundBufferGetPan); hr != DS_OK) return hr;
    if (!(flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    *out = pan;
    return DS_OK;
}

HRESULT Buffer::GetFrequency(LPDWORD out) {
    kIDirectSoundBufferGetFrequency.Trace();
    if (!out) return DSERR_INVALIDPARAM;
    if (HRESULT hr = Fails(kIDirectSoundBufferGetFrequency); hr != DS_OK) return hr;
    if (primary || !(flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    *out = frequency ? frequency : format.nSamplesPerSec;
    return DS_OK;
}

HRESULT Buffer::GetStatus(LPDWORD status) {
    kIDirectSoundBufferGetStatus.Trace();
    if (!status) return DSERR_INVALIDPARAM;
    if (HRESULT hr = Fails(kIDirectSoundBufferGetStatus); hr != DS_OK) return hr;
    std::lock_guard guard(Owner()->lock);
    *status = 0;
    if (voice.playing) *status = DSBSTATUS_PLAYING | (voice.looping ? DSBSTATUS_LOOPING : 0);
    return DS_OK;
}

HRESULT Buffer::Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) {
    kIDirectSoundBufferInitialize.Trace();
    if (HRESULT hr = Fails(kIDirectSoundBufferInitialize); hr != DS_OK) return hr;
    return DSERR_ALREADYINITIALIZED;
}

HRESULT Buffer::Lock(DWORD offset, DWORD count, LPVOID* ptr1, LPDWORD bytes1, LPVOID* ptr2, LPDWORD bytes2,
                     DWORD lockFlags) {
    kIDirectSoundBufferLock.Trace();
    if (!ptr1 || !bytes1) return DSERR_INVALIDPARAM;
    *ptr1 = nullptr;
    *bytes1 = 0;
    if (ptr2) *ptr2 = nullptr;
    if (bytes2) *bytes2 = 0;
    if (HRESULT hr = Fails(kIDirectSoundBufferLock); hr != DS_OK) return hr;
    // Writing the primary buffer directly is not offered at any level.
    if (primary) return Owner()->cooperativeLevel < DSSCL_WRITEPRIMARY ? DSERR_PRIOLEVELNEEDED : DSERR_UNSUPPORTED;
    std::lock_guard guard(Owner()->lock);
    if (lockFlags & DSBLOCK_FROMWRITECURSOR) offset = static_cast<DWORD>(voice.position >> 32) * format.nBlockAlign;
    if (lockFlags & DSBLOCK_ENTIREBUFFER) count = bytes;
    if (offset >= bytes || count == 0 || count > bytes) return DSERR_INVALIDPARAM;
    // The region runs from the offset to the end, and what is left over
    // wraps round to the start as a second region.
    std::uint8_t* data = voice.samples->bytes.data();
    DWORD first = std::min(count, bytes - offset);
    *ptr1 = data + offset;
    *bytes1 = first;
    if (count > first && ptr2 && bytes2) {
        *ptr2 = data;
        *bytes2 = count - first;
    }
    return DS_OK;
}

HRESULT Buffer::Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2) {
    kIDirectSoundBufferUnlock.Trace();
    if (HRESULT hr = Fails(kIDirectSoundBufferUnlock); hr != DS_OK) return hr;
    if (primary) return DSERR_INVALIDCALL;
    const std::uint8_t* begin = voice.samples->bytes.data();
    const std::uint8_t* end = begin + bytes;
    auto inside = [&](LPVOID p, DWORD n) {
        auto* at = static_cast<const std::uint8_t*>(p);
        return !p || (at >= begin && at <= end && n <= static_cast<DWORD>(end - at));
    };
    if (!inside(ptr1, bytes1) || !inside(ptr2, bytes2)) return DSERR_INVALIDPARAM;
    return DS_OK;
}

HRESULT Buffer::Play(DWORD, DWORD, DWORD playFlags) {
    kIDirectSoundBufferPlay.Trace();
    if (HRESULT hr = Fails(kIDirectSoundBufferPlay); hr != DS_OK) return hr;
    if (Owner()->cooperativeLevel == 0) return DSERR_PRIOLEVELNEEDED;
    if (primary && !(playFlags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
    std::lock_guard guard(Owner()->lock);
    // Playing a buffer that already plays only changes its looping.
    voice.playing = true;
    voice.looping = (playFlags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
}

HRESULT Buffer::SetCurrentPosition(DWORD position) {
    kIDirectSoundBufferSetCurrentPosition.Trace();
    if (HRESULT hr = Fails(kIDirectSoundBufferSetCurrentPosition); hr != DS_OK) return hr;
    if (primary) return DSERR_INVALIDCALL;
    if (position >= bytes) return DSERR_INVALIDPARAM;
    std::lock_guard guard(Owner()->lock);
    voice.position = static_cast<std::uint64_t>(position / format.nBlockAlign) << 32;
    return DS_OK;
}

HRESULT Buffer::SetFormat(LPCWAVEFORMATEX wfx) {
    kIDirectSoundBufferSetFormat.Trace();
    if (HRESULT hr = Fails(kIDirectSoundBufferSetFormat); hr != DS_OK) return hr;
    if (!primary) return DSERR_INVALIDCALL;
    if (!wfx) return DSERR_INVALIDPARAM;
    if (Owner()->cooperativeLevel < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
    // The stream keeps its own format; the mixer converts every buffer to it.
    return DS_OK;
}

HRESULT Buffer::SetVolume(LONG value) {
    kIDirectSoundBufferSetVolume.Trace();
    if (HRESULT hr = Fails(kIDirectSoundBufferSetVolume); hr != DS_OK) return hr;
    if (!(flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (value < DSBVOLUME_MIN || value > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard guard(Owner()->lock);
    volume = value;
    UpdateGains();
    return DS_OK;
}

HRESULT Buffer::SetPan(LONG value) {
    kIDirectSoundBufferSetPan.Trace();
    if (HRESULT hr = Fails(kIDirectSoundBufferSetPan); hr != DS_OK) return hr;
    if (!(flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    if (value < DSBPAN_LEFT || value > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    std::lock_guard guard(Owner()->lock);
    pan = value;
    UpdateGains();
    return DS_OK;
}

HRESULT Buffer::SetFrequency(DWORD value) {
    kIDirectSoundBufferSetFrequency.Trace();
    if (HRESULT hr = Fails(kIDirectSoundBufferSetFrequency); hr != DS_OK) return hr;
    if (primary || !(flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    if (value != DSBFREQUENCY_ORIGINAL && (value < DSBFREQUENCY_MIN || value > DSBFREQUENCY_MAX))
        return DSERR_INVALIDPARAM;
    std::lock_guard guard(Owner()->lock);
    frequency = value;
    voice.rate = value ? value : format.nSamplesPerSec;
    return DS_OK;
}

HRESULT Buffer::Stop() {
    kIDirectSoundBufferStop.Trace();
    if (HRESULT hr = Fails(kIDirectSoundBufferStop); hr != DS_OK) return hr;
    std::lock_guard guard(Owner()->lock);
    voice.playing = false;  // the play cursor stays where it is
    return DS_OK;
}

HRESULT Buffer::Restore() {
    kIDirectSoundBufferRestore.Trace();
    if (HRESULT hr = Fails(kIDirectSoundBufferRestore); hr != DS_OK) return hr;
    return DS_OK;  // software buffers are never lost
}

}  // namespace platform::dsound
