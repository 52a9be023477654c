// The classes behind DirectSound's interfaces.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <mutex>

#include "platform/audio/stream.h"
#include "platform/com/com.h"
#include "platform/dsound/mixer.h"

namespace platform::dsound {

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

}  // namespace platform::dsound
