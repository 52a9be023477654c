// DSOUND: the device, which makes the sound buffers (buffer.cpp) and mixes
// them in software into the host's one audio stream. Return codes and edge cases follow DirectSound 3
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
#include "platform/dsound/objects.h"
#include "platform/dsound/mixer.h"
#include "platform/trace/boundary.h"
#include "platform/trace/trace.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kDirectSoundCreate("DirectSoundCreate");
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

}  // namespace

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

namespace {

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

}  // namespace

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
