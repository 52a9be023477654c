// DirectSound over the headless sound card: the calls' results as DirectSound
// documents them, and what the mixer makes of buffers, duplicates, volume,
// pan and frequency.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <cstring>
#include <vector>

#include "platform/audio/stream.h"
#include "platform/com/com.h"
#include "platform/host/headless/headless.h"
#include "platform/trace/trace.h"
#include "platform/host/headless/headless_audio.h"
#include "platform/trace/trace.h"
#include "tests/platform/dsound/audio_checks.h"

using namespace audio_checks;

namespace {

constexpr DWORD kControls = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

WAVEFORMATEX Pcm(DWORD rate, WORD channels, WORD bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

// 16-bit samples as bytes.
std::vector<std::uint8_t> Bytes16(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> out(samples.size() * 2);
    std::memcpy(out.data(), samples.data(), out.size());
    return out;
}

// A sine of `hz` at `rate`, `frames` long, mono 16-bit at `amplitude`.
std::vector<std::int16_t> Sine16(DWORD rate, double hz, int frames, double amplitude) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        s[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
    return s;
}

class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        headless::ResetAudio();
        window = MakeWindow();
        ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
        ASSERT_EQ(ds->SetCooperativeLevel(window, DSSCL_NORMAL), DS_OK);
    }
    void TearDown() override {
        if (ds) ds->Release();
        headless::SetAudioDevice(true);
    }

    LPDIRECTSOUNDBUFFER Make(const WAVEFORMATEX& format, const std::vector<std::uint8_t>& data,
                             DWORD flags = kControls) {
        WAVEFORMATEX f = format;
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = flags;
        desc.dwBufferBytes = static_cast<DWORD>(data.size());
        desc.lpwfxFormat = &f;
        LPDIRECTSOUNDBUFFER b = nullptr;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
        if (!b) return nullptr;
        Fill(b, data);
        return b;
    }

    static void Fill(LPDIRECTSOUNDBUFFER b, const std::vector<std::uint8_t>& data) {
        LPVOID p1, p2;
        DWORD n1, n2;
        ASSERT_EQ(b->Lock(0, static_cast<DWORD>(data.size()), &p1, &n1, &p2, &n2, 0), DS_OK);
        ASSERT_EQ(n1, data.size());
        std::memcpy(p1, data.data(), n1);
        EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    }

    static DWORD Status(LPDIRECTSOUNDBUFFER b) {
        DWORD s = 0xFFFF;
        EXPECT_EQ(b->GetStatus(&s), DS_OK);
        return s;
    }
    static DWORD Position(LPDIRECTSOUNDBUFFER b) {
        DWORD play = 0xFFFF, write = 0xFFFF;
        EXPECT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
        return play;
    }

    HWND window = nullptr;
    LPDIRECTSOUND ds = nullptr;
};

TEST(DirectSoundDevice, NoAudioDeviceFailsLikeNoSoundCard) {
    headless::Reset();
    headless::ResetAudio();
    headless::SetAudioDevice(false);
    LPDIRECTSOUND ds = reinterpret_cast<LPDIRECTSOUND>(1);
    EXPECT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(ds, nullptr);
    EXPECT_FALSE(headless::AudioDeviceOpen());

    headless::SetAudioDevice(true);
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
    EXPECT_TRUE(headless::AudioDeviceOpen());
    LPDIRECTSOUND second = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &second, nullptr), DS_OK);
    EXPECT_EQ(headless::AudioOpenCount(), 1);  // one stream for every user
    second->Release();
    EXPECT_TRUE(headless::AudioDeviceOpen());
    EXPECT_EQ(ds->Release(), 0u);
    EXPECT_FALSE(headless::AudioDeviceOpen());
}

TEST(DirectSoundDevice, CreateChecksItsArguments) {
    headless::Reset();
    headless::ResetAudio();
    EXPECT_EQ(DirectSoundCreate(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);
    LPDIRECTSOUND ds = nullptr;
    GUID other{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(DirectSoundCreate(&other, &ds, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(DirectSoundCreate(nullptr, &ds, reinterpret_cast<LPUNKNOWN>(&other)), DSERR_NOAGGREGATION);
    platform::ArmFault({"DirectSoundCreate", DSERR_ALLOCATED});
    EXPECT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DSERR_ALLOCATED);
    EXPECT_EQ(ds, nullptr);
    EXPECT_FALSE(headless::AudioDeviceOpen());
}

TEST_F(DirectSoundTest, CooperativeLevelNeedsAWindowAndComesBeforePlay) {
    EXPECT_EQ(ds->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->SetCooperativeLevel(window, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->SetCooperativeLevel(window, 5), DSERR_INVALIDPARAM);

    LPDIRECTSOUND fresh = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &fresh, nullptr), DS_OK);
    WAVEFORMATEX f = Pcm(22050, 1, 8);
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), kControls, 64, 0, &f};
    LPDIRECTSOUNDBUFFER b = nullptr;
    ASSERT_EQ(fresh->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
    EXPECT_EQ(b->Play(0, 0, 0), DSERR_PRIOLEVELNEEDED);
    ASSERT_EQ(fresh->SetCooperativeLevel(window, DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(b->Play(0, 0, 0), DS_OK);
    fresh->Release();
}

TEST_F(DirectSoundTest, BufferDescriptionsAreChecked) {
    WAVEFORMATEX f = Pcm(22050, 1, 8);
    LPDIRECTSOUNDBUFFER b = reinterpret_cast<LPDIRECTSOUNDBUFFER>(1);
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), kControls, 64, 0, &f};
    auto create = [&](DSBUFFERDESC d) { return ds->CreateSoundBuffer(&d, &b, nullptr); };

    EXPECT_EQ(ds->CreateSoundBuffer(nullptr, &b, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, nullptr, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(create({sizeof(DSBUFFERDESC) + 4, kControls, 64, 0, &f}), DSERR_INVALIDPARAM);
    EXPECT_EQ(create({sizeof(DSBUFFERDESC), kControls, 64, 0, nullptr}), DSERR_INVALIDPARAM);
    EXPECT_EQ(create({sizeof(DSBUFFERDESC), kControls, 3, 0, &f}), DSERR_INVALIDPARAM);
    EXPECT_EQ(create({sizeof(DSBUFFERDESC), kControls, DSBSIZE_MAX + 1, 0, &f}), DSERR_INVALIDPARAM);
    // The primary buffer takes neither a size nor a format.
    EXPECT_EQ(create({sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 64, 0, nullptr}), DSERR_INVALIDPARAM);
    EXPECT_EQ(create({sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, &f}), DSERR_INVALIDPARAM);

    auto badFormat = [&](WAVEFORMATEX wf) {
        DSBUFFERDESC d{sizeof(DSBUFFERDESC), kControls, 64, 0, &wf};
        return ds->CreateSoundBuffer(&d, &b, nullptr);
    };
    WAVEFORMATEX wf = Pcm(22050, 1, 8);
    wf.wFormatTag = 2;  // ADPCM
    EXPECT_EQ(badFormat(wf), DSERR_BADFORMAT);
    EXPECT_EQ(badFormat(Pcm(22050, 3, 8)), DSERR_BADFORMAT);
    EXPECT_EQ(badFormat(Pcm(22050, 1, 12)), DSERR_BADFORMAT);
    EXPECT_EQ(badFormat(Pcm(22050, 1, 0)), DSERR_BADFORMAT);
    EXPECT_EQ(badFormat(Pcm(50, 1, 8)), DSERR_BADFORMAT);
    wf = Pcm(22050, 2, 16);
    wf.nBlockAlign = 2;
    EXPECT_EQ(badFormat(wf), DSERR_BADFORMAT);
    EXPECT_EQ(b, nullptr);

    // Any PCM the game could hand over is taken.
    for (WORD ch : {1, 2})
        for (WORD bits : {8, 16})
            for (DWORD rate : {5500u, 11025u, 22050u, 44100u, 48000u}) {
                ASSERT_EQ(badFormat(Pcm(rate, ch, bits)), DS_OK) << ch << " " << bits << " " << rate;
                b->Release();
            }
}

TEST_F(DirectSoundTest, OnePrimaryBufferWhichCannotBeWrittenAtNormalLevel) {
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr};
    LPDIRECTSOUNDBUFFER primary = nullptr, again = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &again, nullptr), DS_OK);
    EXPECT_EQ(primary, again);
    LPVOID p1, p2;
    DWORD n1, n2;
    EXPECT_EQ(primary->Lock(0, 16, &p1, &n1, &p2, &n2, 0), DSERR_PRIOLEVELNEEDED);
    EXPECT_EQ(primary->SetFrequency(22050), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(primary->Play(0, 0, 0), DSERR_INVALIDPARAM);  // the primary only loops
    EXPECT_EQ(primary->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    LPDIRECTSOUNDBUFFER dup = nullptr;
    EXPECT_EQ(ds->DuplicateSoundBuffer(primary, &dup), DSERR_INVALIDCALL);
    WAVEFORMATEX f{};
    DWORD written = 0;
    ASSERT_EQ(primary->GetFormat(&f, sizeof(f), &written), DS_OK);
    EXPECT_EQ(f.nSamplesPerSec, 44100u);
    EXPECT_EQ(f.nChannels, 2);
    again->Release();
    primary->Release();
}

TEST_F(DirectSoundTest, LockGivesTwoRegionsWhenTheRangeWraps) {
    LPDIRECTSOUNDBUFFER b = Make(Pcm(22050, 1, 8), std::vector<std::uint8_t>(100, 0x80));
    ASSERT_NE(b, nullptr);
    LPVOID p1, p2, base;
    DWORD n1, n2;
    ASSERT_EQ(b->Lock(0, 100, &base, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 100u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(n2, 0u);
    EXPECT_EQ(b->Unlock(base, n1, p2, n2), DS_OK);

    ASSERT_EQ(b->Lock(80, 40, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(p1, static_cast<BYTE*>(base) + 80);
    EXPECT_EQ(n1, 20u);
    EXPECT_EQ(p2, base);
    EXPECT_EQ(n2, 20u);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);

    ASSERT_EQ(b->Lock(30, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(n1 + n2, 100u);

    EXPECT_EQ(b->Lock(100, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 101, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    std::uint8_t elsewhere[4];
    EXPECT_EQ(b->Unlock(elsewhere, 4, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(base, 101, nullptr, 0), DSERR_INVALIDPARAM);

    platform::ArmFault({"IDirectSoundBuffer::Lock", DSERR_BUFFERLOST});
    EXPECT_EQ(b->Lock(0, 10, &p1, &n1, &p2, &n2, 0), DSERR_BUFFERLOST);
    b->Release();
}

TEST_F(DirectSoundTest, ControlsNeedTheirFlagsAndStayInRange) {
    LPDIRECTSOUNDBUFFER plain = Make(Pcm(22050, 1, 8), std::vector<std::uint8_t>(64, 0x80), DSBCAPS_STATIC);
    EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetPan(100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetFrequency(11025), DSERR_CONTROLUNAVAIL);
    plain->Release();

    LPDIRECTSOUNDBUFFER b = Make(Pcm(22050, 1, 8), std::vector<std::uint8_t>(64, 0x80));
    LONG v = 1;
    DWORD hz = 0;
    ASSERT_EQ(b->GetVolume(&v), DS_OK);
    EXPECT_EQ(v, 0);
    ASSERT_EQ(b->GetPan(&v), DS_OK);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(-10000), DS_OK);
    EXPECT_EQ(b->SetPan(10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetPan(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetPan(-10000), DS_OK);
    ASSERT_EQ(b->GetPan(&v), DS_OK);
    EXPECT_EQ(v, -10000);
    EXPECT_EQ(b->SetFrequency(99), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(100001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(4521), DS_OK);
    ASSERT_EQ(b->GetFrequency(&hz), DS_OK);
    EXPECT_EQ(hz, 4521u);
    EXPECT_EQ(b->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
    ASSERT_EQ(b->GetFrequency(&hz), DS_OK);
    EXPECT_EQ(hz, 22050u);

    DSBCAPS caps{};
    // Refused before a failure armed for the call, which waits for the next.
    platform::ArmFault({"IDirectSoundBuffer::GetCaps", DSERR_GENERIC});
    EXPECT_EQ(b->GetCaps(&caps), DSERR_INVALIDPARAM);  // dwSize not set
    caps.dwSize = sizeof(caps);
    EXPECT_EQ(b->GetCaps(&caps), DSERR_GENERIC);
    ASSERT_EQ(b->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, 64u);
    EXPECT_EQ(caps.dwFlags & kControls, kControls);
    b->Release();
}

TEST_F(DirectSoundTest, PlayOnceRunsToTheEndAndRewinds) {
    // 441 frames at 44.1 kHz: exactly 10 ms of output.
    LPDIRECTSOUNDBUFFER b = Make(Pcm(44100, 1, 16), Bytes16(std::vector<std::int16_t>(441, 8000)));
    EXPECT_EQ(Status(b), 0u);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Status(b), static_cast<DWORD>(DSBSTATUS_PLAYING));
    auto pcm = headless::RenderAudio(200);
    EXPECT_EQ(Position(b), 400u);  // 200 frames of 2 bytes
    EXPECT_EQ(pcm[0], 8000);
    pcm = headless::RenderAudio(400);
    EXPECT_EQ(SoundingFrames(pcm), 241);
    EXPECT_EQ(Status(b), 0u);
    EXPECT_EQ(Position(b), 0u);
    b->Release();
}

TEST_F(DirectSoundTest, LoopingWrapsAndStopKeepsThePosition) {
    LPDIRECTSOUNDBUFFER b = Make(Pcm(44100, 1, 8), std::vector<std::uint8_t>(100, 0xC0));
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(Status(b), static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    auto pcm = headless::RenderAudio(250);
    EXPECT_EQ(SoundingFrames(pcm), 250);
    EXPECT_EQ(Position(b), 50u);
    ASSERT_EQ(b->Stop(), DS_OK);
    EXPECT_EQ(Status(b), 0u);
    EXPECT_EQ(Position(b), 50u);
    EXPECT_EQ(Peak(headless::RenderAudio(100), kLeft), 0);

    EXPECT_EQ(b->SetCurrentPosition(100), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetCurrentPosition(90), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);  // once, from 90
    EXPECT_EQ(SoundingFrames(headless::RenderAudio(100)), 10);
    b->Release();
}

TEST_F(DirectSoundTest, DuplicatesShareSamplesButNotTheirState) {
    LPDIRECTSOUNDBUFFER original = Make(Pcm(44100, 1, 16), Bytes16(std::vector<std::int16_t>(1000, 1000)));
    ASSERT_EQ(original->SetVolume(-600), DS_OK);
    ASSERT_EQ(original->SetFrequency(22050), DS_OK);
    LPDIRECTSOUNDBUFFER dup = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(original, &dup), DS_OK);
    ASSERT_NE(dup, original);
    LONG v = 0;
    DWORD hz = 0;
    ASSERT_EQ(dup->GetVolume(&v), DS_OK);
    EXPECT_EQ(v, -600);
    ASSERT_EQ(dup->GetFrequency(&hz), DS_OK);
    EXPECT_EQ(hz, 22050u);
    ASSERT_EQ(dup->SetVolume(0), DS_OK);
    ASSERT_EQ(dup->SetFrequency(0), DS_OK);

    // New samples written through the original are what the duplicate plays.
    Fill(original, Bytes16(std::vector<std::int16_t>(1000, 3000)));
    ASSERT_EQ(dup->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Status(original), 0u);
    auto pcm = headless::RenderAudio(1200);
    EXPECT_EQ(pcm[0], 3000);
    EXPECT_EQ(SoundingFrames(pcm), 1000);

    // Releasing the original leaves the duplicate playable.
    EXPECT_EQ(original->Release(), 0u);
    ASSERT_EQ(dup->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(headless::RenderAudio(1)[0], 3000);

    LPDIRECTSOUNDBUFFER none = reinterpret_cast<LPDIRECTSOUNDBUFFER>(1);
    EXPECT_EQ(ds->DuplicateSoundBuffer(nullptr, &none), DSERR_INVALIDPARAM);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(ds->DuplicateSoundBuffer(original, &none), DSERR_INVALIDPARAM) << "a buffer already freed";
    platform::ArmFault({"IDirectSound::DuplicateSoundBuffer", DSERR_OUTOFMEMORY});
    EXPECT_EQ(ds->DuplicateSoundBuffer(dup, &none), DSERR_OUTOFMEMORY);
    dup->Release();
}

TEST_F(DirectSoundTest, VolumeIsInHundredthsOfADecibel) {
    LPDIRECTSOUNDBUFFER b = Make(Pcm(44100, 1, 16), Bytes16(std::vector<std::int16_t>(100, 20000)));
    ASSERT_EQ(b->SetVolume(-600), DS_OK);  // -6 dB
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    auto pcm = headless::RenderAudio(10);
    EXPECT_NEAR(pcm[0], 20000 * std::pow(10.0, -0.3), 2.0);
    EXPECT_EQ(pcm[0], pcm[1]);
    ASSERT_EQ(b->SetVolume(DSBVOLUME_MIN), DS_OK);  // silence
    EXPECT_EQ(Peak(headless::RenderAudio(10), kLeft), 0);
    b->Release();
}

TEST_F(DirectSoundTest, PanAttenuatesTheOtherSide) {
    auto sine = Bytes16(Sine16(44100, 441, 4410, 30000));
    LPDIRECTSOUNDBUFFER b = Make(Pcm(44100, 1, 16), sine);
    ASSERT_EQ(b->SetPan(DSBPAN_LEFT), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    auto pcm = headless::RenderAudio(4410);
    EXPECT_EQ(Peak(pcm, kRight), 0);
    EXPECT_NEAR(Peak(pcm, kLeft), 30000, 2);

    // The game's own full left, -9984: the right side is below one step.
    ASSERT_EQ(b->SetPan(-9984), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_LE(Peak(headless::RenderAudio(4410), kRight), 1);

    ASSERT_EQ(b->SetPan(600), DS_OK);  // left down by 6 dB, right untouched
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    pcm = headless::RenderAudio(4410);
    EXPECT_NEAR(Rms(pcm, kLeft) / Rms(pcm, kRight), std::pow(10.0, -0.3), 0.002);
    EXPECT_NEAR(Peak(pcm, kRight), 30000, 2);
    b->Release();
}

TEST_F(DirectSoundTest, StereoBuffersKeepTheirSides) {
    std::vector<std::int16_t> frames;
    for (int i = 0; i < 100; ++i) {
        frames.push_back(12000);  // left
        frames.push_back(-500);   // right
    }
    LPDIRECTSOUNDBUFFER b = Make(Pcm(44100, 2, 16), Bytes16(frames));
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    auto pcm = headless::RenderAudio(1);
    EXPECT_EQ(pcm[0], 12000);
    EXPECT_EQ(pcm[1], -500);
    b->Release();

    std::vector<std::uint8_t> bytes8;
    for (int i = 0; i < 100; ++i) bytes8.insert(bytes8.end(), {0xFF, 0x80});
    b = Make(Pcm(44100, 2, 8), bytes8);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    pcm = headless::RenderAudio(100);
    EXPECT_EQ(pcm[0], 127 * 256);
    EXPECT_EQ(Peak(pcm, kRight), 0);
    b->Release();
}

TEST_F(DirectSoundTest, DoubleFrequencyPlaysInHalfTheTime) {
    LPDIRECTSOUNDBUFFER b = Make(Pcm(22050, 1, 8), std::vector<std::uint8_t>(2205, 0xE0));
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    int ownRate = SoundingFrames(headless::RenderAudio(6000));
    ASSERT_EQ(b->SetFrequency(44100), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    int doubled = SoundingFrames(headless::RenderAudio(6000));
    EXPECT_NEAR(ownRate, 4410, 2);
    EXPECT_NEAR(doubled, 2205, 1);
    b->Release();
}

TEST_F(DirectSoundTest, ResamplingFollowsTheWaveform) {
    // A 441 Hz sine at 11025 Hz comes out as the same sine at 44.1 kHz.
    LPDIRECTSOUNDBUFFER b = Make(Pcm(11025, 1, 16), Bytes16(Sine16(11025, 441, 1103, 20000)));
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    auto pcm = headless::RenderAudio(4400);
    double worst = 0;
    for (int i = 0; i < 4400; ++i)
        worst = std::max(
            worst, std::abs(pcm[2 * static_cast<std::size_t>(i)] - 20000 * std::sin(2 * M_PI * 441 * i / 44100.0)));
    EXPECT_LT(worst, 20000 * 0.01);  // linear interpolation over 25 points a cycle
    b->Release();
}

TEST_F(DirectSoundTest, VoicesAddUpAndClipInsteadOfWrapping) {
    LPDIRECTSOUNDBUFFER a = Make(Pcm(44100, 1, 16), Bytes16(std::vector<std::int16_t>(100, 1000)));
    LPDIRECTSOUNDBUFFER b = Make(Pcm(44100, 1, 16), Bytes16(std::vector<std::int16_t>(100, 2500)));
    LPDIRECTSOUNDBUFFER loud = Make(Pcm(44100, 1, 16), Bytes16(std::vector<std::int16_t>(100, 32000)));
    ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(headless::RenderAudio(1)[0], 3500);
    ASSERT_EQ(loud->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(headless::RenderAudio(1)[0], 32767);
    a->Release();
    b->Release();
    loud->Release();
}

// The device's last Release frees every buffer it made, the primary (to
// which the program keeps no reference) and those the program still holds,
// as Windows does: nothing of them stays allocated.
TEST_F(DirectSoundTest, ReleasingTheDeviceFreesItsBuffers) {
    const int device = platform::com::liveObjects;
    LPDIRECTSOUNDBUFFER b = Make(Pcm(44100, 1, 16), Bytes16(std::vector<std::int16_t>(1000, 1000)));
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    LPDIRECTSOUNDBUFFER primary = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    // Both answer IUnknown with themselves.
    LPVOID unknown = nullptr;
    ASSERT_EQ(b->QueryInterface(platform::com::kIidUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<LPVOID>(b));
    ASSERT_EQ(ds->QueryInterface(platform::com::kIidUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<LPVOID>(ds));
    EXPECT_EQ(ds->Release(), 1u);
    EXPECT_EQ(platform::com::liveObjects, device + 2);
    EXPECT_EQ(ds->Release(), 0u);
    ds = nullptr;
    EXPECT_EQ(platform::com::liveObjects, device - 1);
    EXPECT_FALSE(headless::AudioDeviceOpen());
}

// Another user of the stream (the synthesiser is one) is mixed with the
// buffers and keeps the stream open after the device is gone.
struct Constant final : platform::audio::Source {
    float level;
    int calls = 0;
    explicit Constant(float l) : level(l) {}
    void Mix(float* out, int frames) override {
        ++calls;
        EXPECT_LE(frames, platform::audio::kMaxMixFrames);
        for (int i = 0; i < 2 * frames; ++i) out[i] += level;
    }
};

TEST_F(DirectSoundTest, BuffersShareTheStreamWithOtherSources) {
    Constant other(0.25f);
    ASSERT_TRUE(platform::audio::Acquire());
    platform::audio::AddSource(&other);
    LPDIRECTSOUNDBUFFER b = Make(Pcm(44100, 1, 16), Bytes16(std::vector<std::int16_t>(100, 1000)));
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    auto pcm = headless::RenderAudio(2000);
    EXPECT_EQ(pcm[0], 8192 + 1000);
    EXPECT_EQ(pcm[2 * 1999 + 1], 8192);
    EXPECT_GE(other.calls, (2000 + platform::audio::kMaxMixFrames - 1) / platform::audio::kMaxMixFrames);

    ds->Release();
    ds = nullptr;
    EXPECT_TRUE(headless::AudioDeviceOpen());
    platform::audio::RemoveSource(&other);
    platform::audio::Release();
    EXPECT_FALSE(headless::AudioDeviceOpen());
    EXPECT_EQ(Peak(headless::RenderAudio(10), kLeft), 0);
}

TEST_F(DirectSoundTest, AReleasedBufferLeavesTheMixAtOnce) {
    LPDIRECTSOUNDBUFFER b = Make(Pcm(44100, 1, 16), Bytes16(std::vector<std::int16_t>(1000, 1000)));
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    b->Release();  // released while playing: it leaves the mix at once
    EXPECT_EQ(Peak(headless::RenderAudio(100), kLeft), 0);
}

TEST_F(DirectSoundTest, EveryBufferMethodFailsWithTheArmedCodeAndOnlyItself) {
    LPDIRECTSOUNDBUFFER b = Make(Pcm(22050, 1, 16), Bytes16(std::vector<std::int16_t>(400, 1000)));
    ASSERT_NE(b, nullptr);
    constexpr HRESULT kArmed = static_cast<HRESULT>(0x88780999);
    using Method = std::function<HRESULT()>;
    WAVEFORMATEX format{};
    DSBCAPS caps{};
    DWORD a = 0, c = 0;
    LONG level = 0;
    LPVOID first = nullptr, second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    const std::vector<std::pair<std::string, Method>> methods = {
        {"GetCaps",
         [&] {
             caps.dwSize = sizeof(caps);
             return b->GetCaps(&caps);
         }},
        {"GetCurrentPosition", [&] { return b->GetCurrentPosition(&a, &c); }},
        {"GetFormat", [&] { return b->GetFormat(&format, sizeof(format), nullptr); }},
        {"GetVolume", [&] { return b->GetVolume(&level); }},
        {"GetPan", [&] { return b->GetPan(&level); }},
        {"GetFrequency", [&] { return b->GetFrequency(&a); }},
        {"GetStatus", [&] { return b->GetStatus(&a); }},
        {"Initialize", [&] { return b->Initialize(ds, nullptr); }},
        {"Lock", [&] { return b->Lock(0, 16, &first, &firstBytes, &second, &secondBytes, 0); }},
        {"Unlock", [&] { return b->Unlock(first, firstBytes, second, secondBytes); }},
        {"Play", [&] { return b->Play(0, 0, 0); }},
        {"SetCurrentPosition", [&] { return b->SetCurrentPosition(0); }},
        {"SetFormat", [&] { return b->SetFormat(&format); }},
        {"SetVolume", [&] { return b->SetVolume(-100); }},
        {"SetPan", [&] { return b->SetPan(100); }},
        {"SetFrequency", [&] { return b->SetFrequency(11025); }},
        {"Stop", [&] { return b->Stop(); }},
        {"Restore", [&] { return b->Restore(); }},
    };
    // Every failure point of the buffer is one of these methods.
    for (const std::string& point : platform::FaultPoints()) {
        if (point.rfind("IDirectSoundBuffer::", 0) != 0) continue;
        std::string method = point.substr(20);
        EXPECT_TRUE(std::any_of(methods.begin(), methods.end(), [&](const auto& m) { return m.first == method; }))
            << point;
    }
    for (const auto& [armed, call] : methods) {
        SCOPED_TRACE(armed);
        platform::ArmFault({"IDirectSoundBuffer::" + armed, kArmed, 0, 1});
        for (const auto& [name, other] : methods) {
            HRESULT hr = other();
            if (name == armed)
                EXPECT_EQ(hr, kArmed) << name;
            else
                EXPECT_NE(hr, kArmed) << name;
        }
        platform::ClearFaults();
        b->Stop();
    }
    // And the buffer is as good as before.
    EXPECT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_GT(Peak(headless::RenderAudio(100), kLeft), 0);
    b->Release();
}

}  // namespace
