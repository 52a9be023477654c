// DSOUND: the device and its sound buffers, mixed in software into the
// host's one audio stream. Return codes and edge cases follow DirectSound 3
// where it documents them; where it does not, Wine's behaviour is the guide
// and the comment says so.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/audio/stream.h"
#include "platform/com/com.h"
#include "platform/dsound/dsound_internal.h"
#include "platform/dsound/mixer.h"
#include "platform/trace/boundary.h"
#include "platform/trace/trace.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kDirectSoundCreate("DirectSoundCreate");
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
const platform::FaultPoint kIDirectSoundCreateSoundBuffer("IDirectSound::CreateSoundBuffer");
const platform::FaultPoint kIDirectSoundDuplicateSoundBuffer("IDirectSound::DuplicateSoundBuffer");
const platform::FaultPoint kIDirectSoundSetCooperativeLevel("IDirectSound::SetCooperativeLevel");
}  // namespace

const GUID IID_IDirectSound = {0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID IID_IDirectSoundBuffer = {0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

namespace platform::dsound {
namespace {

// What the primary buffer reports as its format and size: the stream's.
constexpr DWORD kPrimaryBytes = audio::kSampleRate / 10 * audio::kChannels * 2;

class Device;

class Buffer final : public com::Object<IDirectSoundBuffer, IID_IDirectSoundBuffer>, public com::Child<Device> {
public:
    Buffer(Device* owner, bool isPrimary, DWORD createFlags)
        : Object("IDirectSoundBuffer::Release"), Child(owner), primary(isPrimary), flags(createFlags) {}
    HRESULT GetCaps(LPDSBCAPS caps) override;
    HRESULT GetCurrentPosition(LPDWORD play, LPDWORD write) override;
    HRESULT GetFormat(LPWAVEFORMATEX wfx, DWORD allocated, LPDWORD written) override;
    HRESULT GetVolume(LPLONG volume) override;
    HRESULT GetPan(LPLONG pan) override;
    HRESULT GetFrequency(LPDWORD frequency) override;
    HRESULT GetStatus(LPDWORD status) override;
    HRESULT Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override;
    HRESULT Lock(DWORD offset, DWORD count, LPVOID* ptr1, LPDWORD bytes1, LPVOID* ptr2, LPDWORD bytes2,
                 DWORD lockFlags) override;
    HRESULT Play(DWORD reserved, DWORD priority, DWORD playFlags) override;
    HRESULT SetCurrentPosition(DWORD position) override;
    HRESULT SetFormat(LPCWAVEFORMATEX wfx) override;
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetPan(LONG pan) override;
    HRESULT SetFrequency(DWORD frequency) override;
    HRESULT Stop() override;
    HRESULT Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2) override;
    HRESULT Restore() override;

    const bool primary;
    const DWORD flags;
    WAVEFORMATEX format{};
    DWORD bytes = 0;
    LONG volume = DSBVOLUME_MAX;
    LONG pan = DSBPAN_CENTER;
    DWORD frequency = 0;  // as set; 0 = the format's own rate
    Voice voice;          // guarded by the device's lock

private:
    void UpdateGains() { StereoGains(volume, pan, voice.gainLeft, voice.gainRight); }
};

class Device final : public com::Object<IDirectSound, IID_IDirectSound>, public audio::Source {
public:
    Device() : Object("IDirectSound::Release") {}
    // Leaves the stream and frees every buffer, then the device: its last
    // Release, or the stand-in's reset.
    void Destroy();
    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER out, IUnknown* outer) override;
    HRESULT GetCaps(LPDSCAPS caps) override;
    HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPLPDIRECTSOUNDBUFFER out) override;
    HRESULT Duplicate(const Buffer& source, LPLPDIRECTSOUNDBUFFER out);
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD level) override;
    HRESULT Compact() override;
    HRESULT GetSpeakerConfig(LPDWORD config) override;
    HRESULT SetSpeakerConfig(DWORD config) override;
    HRESULT Initialize(LPCGUID guid) override;

    // Audio thread.
    void Mix(float* out, int frames) override;

    // Adds a new buffer to the device; throws std::bad_alloc when memory
    // runs out, the buffer not taken.
    void Adopt(Buffer* buffer);
    void Forget(com::Child<Device>* buffer);

    std::mutex lock;
    com::Family<Device> buffers;  // the mixer's list too
    Buffer* primary = nullptr;
    DWORD cooperativeLevel = 0;  // 0 until SetCooperativeLevel

private:
    void LastRelease() override { Destroy(); }
};

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

void Device::Destroy() {
    // Out of the stream first: once RemoveSource returns the audio thread no
    // longer mixes this device. Then every buffer goes with the device, the
    // program's references or not (the primary buffer has none).
    audio::RemoveSource(this);
    std::vector<com::Child<Device>*> all;
    {
        std::lock_guard guard(lock);
        all = buffers.TakeAll();
        primary = nullptr;
    }
    com::Family<Device>::FreeAll(all);
    audio::Release();
    delete this;
}

void Device::Adopt(Buffer* buffer) {
    std::lock_guard guard(lock);
    buffers.Adopt(buffer);
    if (buffer->primary) primary = buffer;
}

void Device::Forget(com::Child<Device>* buffer) {
    std::lock_guard guard(lock);
    buffers.Forget(buffer);
    if (primary == buffer) primary = nullptr;
}

// Only PCM, 8 or 16 bits, mono or stereo, at a rate the frequency control
// accepts. Reads no more than a PCMWAVEFORMAT: the extra size of a
// WAVEFORMATEX means nothing for PCM.
HRESULT CheckFormat(LPCWAVEFORMATEX wfx, WAVEFORMATEX& out) {
    PCMWAVEFORMAT pcm;
    std::memcpy(&pcm, wfx, sizeof pcm);
    if (pcm.wf.wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
    if (pcm.wf.nChannels != 1 && pcm.wf.nChannels != 2) return DSERR_BADFORMAT;
    if (pcm.wBitsPerSample != 8 && pcm.wBitsPerSample != 16) return DSERR_BADFORMAT;
    if (pcm.wf.nBlockAlign != pcm.wf.nChannels * pcm.wBitsPerSample / 8) return DSERR_BADFORMAT;
    if (pcm.wf.nSamplesPerSec < DSBFREQUENCY_MIN || pcm.wf.nSamplesPerSec > DSBFREQUENCY_MAX) return DSERR_BADFORMAT;
    std::memset(&out, 0, sizeof out);
    std::memcpy(&out, &pcm, sizeof pcm);
    return DS_OK;
}

HRESULT Device::CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER out, IUnknown* outer) {
    kIDirectSoundCreateSoundBuffer.Trace();
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DSERR_NOAGGREGATION;
    if (!desc || desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
    if (HRESULT hr = Fails(kIDirectSoundCreateSoundBuffer); hr != DS_OK) return hr;

    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        if (desc->dwBufferBytes != 0 || desc->lpwfxFormat) return DSERR_INVALIDPARAM;
        // There is one primary buffer; asking again gives it again.
        if (primary) {
            primary->AddRef();
            *out = primary;
            return DS_OK;
        }
        return FailWithoutMemory(DSERR_OUTOFMEMORY, 0, [&] {
            auto b = std::make_unique<Buffer>(this, true, desc->dwFlags);
            b->bytes = kPrimaryBytes;
            b->format = WAVEFORMATEX{WAVE_FORMAT_PCM,
                                     audio::kChannels,
                                     audio::kSampleRate,
                                     audio::kSampleRate * audio::kChannels * 2,
                                     audio::kChannels * 2,
                                     16,
                                     0};
            Adopt(b.get());
            *out = b.release();
            return DS_OK;
        });
    }

    if (!desc->lpwfxFormat) return DSERR_INVALIDPARAM;
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
    WAVEFORMATEX format;
    if (HRESULT hr = CheckFormat(desc->lpwfxFormat, format); hr != DS_OK) return hr;

    return FailWithoutMemory(DSERR_OUTOFMEMORY, 0, [&] {
        // Until it is handed out, the buffer's own destructor undoes each step.
        auto b = std::make_unique<Buffer>(this, false, desc->dwFlags);
        b->format = format;
        b->bytes = desc->dwBufferBytes;
        auto block = std::make_shared<SampleBlock>();
        // A new buffer holds silence.
        block->bytes.assign(desc->dwBufferBytes, format.wBitsPerSample == 8 ? 0x80 : 0x00);
        b->voice.samples = std::move(block);
        b->voice.channels = format.nChannels;
        b->voice.bits = format.wBitsPerSample;
        b->voice.frames = desc->dwBufferBytes / format.nBlockAlign;
        b->voice.rate = format.nSamplesPerSec;
        Adopt(b.get());
        *out = b.release();
        return DS_OK;
    });
}

HRESULT Device::DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPLPDIRECTSOUNDBUFFER out) {
    kIDirectSoundDuplicateSoundBuffer.Trace();
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    auto* source = com::Checked<Buffer>(original);
    if (!source || source->Owner() != this) return DSERR_INVALIDPARAM;
    if (HRESULT hr = Fails(kIDirectSoundDuplicateSoundBuffer); hr != DS_OK) return hr;
    if (source->primary) return DSERR_INVALIDCALL;
    return FailWithoutMemory(DSERR_OUTOFMEMORY, 0, [&] { return Duplicate(*source, out); });
}

HRESULT Device::Duplicate(const Buffer& source, LPLPDIRECTSOUNDBUFFER out) {
    auto b = std::make_unique<Buffer>(this, false, source.flags);
    // The duplicate shares the samples and starts stopped at 0 with the
    // original's volume, pan and frequency (as Wine copies them).
    b->format = source.format;
    b->bytes = source.bytes;
    b->volume = source.volume;
    b->pan = source.pan;
    b->frequency = source.frequency;
    {
        std::lock_guard guard(lock);
        b->voice = source.voice;
    }
    b->voice.position = 0;
    b->voice.playing = false;
    b->voice.looping = false;
    Adopt(b.get());
    *out = b.release();
    return DS_OK;
}

HRESULT Device::GetCaps(LPDSCAPS caps) {
    TraceCall("IDirectSound::GetCaps");
    if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    std::memset(reinterpret_cast<BYTE*>(caps) + sizeof(DWORD), 0, sizeof(DSCAPS) - sizeof(DWORD));
    caps->dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                    DSCAPS_CONTINUOUSRATE | DSCAPS_EMULDRIVER | DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO |
                    DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwPrimaryBuffers = 1;
    return DS_OK;
}

HRESULT Device::SetCooperativeLevel(HWND hwnd, DWORD level) {
    kIDirectSoundSetCooperativeLevel.Trace();
    if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY || !IsWindow(hwnd)) return DSERR_INVALIDPARAM;
    if (HRESULT hr = Fails(kIDirectSoundSetCooperativeLevel); hr != DS_OK) return hr;
    cooperativeLevel = level;
    return DS_OK;
}

HRESULT Device::Compact() { return cooperativeLevel >= DSSCL_PRIORITY ? DS_OK : DSERR_PRIOLEVELNEEDED; }

HRESULT Device::GetSpeakerConfig(LPDWORD config) {
    if (!config) return DSERR_INVALIDPARAM;
    *config = DSSPEAKER_STEREO;
    return DS_OK;
}

// The stream is stereo whatever the speakers.
HRESULT Device::SetSpeakerConfig(DWORD) { return com::Stub("IDirectSound::SetSpeakerConfig", DS_OK); }

HRESULT Device::Initialize(LPCGUID) { return DSERR_ALREADYINITIALIZED; }

void Device::Mix(float* out, int frames) {
    std::lock_guard guard(lock);
    float masterLeft = 1.0f, masterRight = 1.0f;
    if (primary) StereoGains(primary->volume, primary->pan, masterLeft, masterRight);
    for (com::Child<Device>* child : buffers.Members()) {
        auto* b = static_cast<Buffer*>(child);
        if (!b->primary) MixVoice(b->voice, out, frames, audio::kSampleRate, masterLeft, masterRight);
    }
}

}  // namespace

void ResetForTests() {
    std::vector<const IDirectSound*> live(com::Live<IDirectSound>().begin(), com::Live<IDirectSound>().end());
    for (const IDirectSound* d : live) static_cast<Device*>(const_cast<IDirectSound*>(d))->Destroy();
}

}  // namespace platform::dsound

using namespace platform;

HRESULT WINAPI DirectSoundCreate(LPCGUID lpGuid, LPDIRECTSOUND* ppDS, LPUNKNOWN pUnkOuter) {
    kDirectSoundCreate.Trace();
    if (!ppDS) return DSERR_INVALIDPARAM;
    *ppDS = nullptr;
    if (pUnkOuter) return DSERR_NOAGGREGATION;
    HRESULT fault;
    if (kDirectSoundCreate.Fails(fault)) return fault;
    // Only the default device exists.
    static const GUID kNull{};
    if (lpGuid && !com::SameGuid(*lpGuid, kNull)) return DSERR_NODRIVER;
    // No audio device at all: fail as Windows does without a sound card.
    if (!audio::Acquire()) return DSERR_NODRIVER;
    auto* device = FailWithoutMemory<dsound::Device*>(nullptr, 0, [] { return new dsound::Device; });
    if (!device) {
        audio::Release();
        return DSERR_OUTOFMEMORY;
    }
    if (!audio::AddSource(device)) {
        device->Destroy();
        return DSERR_OUTOFMEMORY;
    }
    *ppDS = device;
    return DS_OK;
}
