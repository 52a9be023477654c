// One second of 44.1 kHz stereo with eight voices playing: our DirectSound
// mixer (resampling, volume and pan per voice) beside SDL2 doing the same
// work with SDL_AudioCVT and SDL_MixAudioFormat, and beside SDL's mixing
// alone on voices already at the stream's rate.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/audio/stream.h"
#include "platform/host/headless/headless.h"
#include "platform/host/headless/headless_audio.h"

namespace {

constexpr int kRate = platform::audio::kSampleRate;
constexpr int kVoices = 8;

struct VoiceSpec {
    DWORD rate;
    WORD channels;
    WORD bits;
    LONG volume;
    LONG pan;
};

// The game's three effects and a few more of the kinds a game of the time used.
const VoiceSpec kMixedVoices[kVoices] = {
    {5500, 1, 8, 0, 0},      {22050, 1, 8, -300, -2000},  {11000, 1, 8, -600, 2000}, {22050, 1, 16, 0, 500},
    {44100, 2, 16, -200, 0}, {11025, 1, 8, -1000, -9984}, {44100, 1, 16, 0, 9906},   {32000, 2, 8, -400, 0},
};

const VoiceSpec kStreamRateVoices[kVoices] = {
    {44100, 2, 16, 0, 0}, {44100, 2, 16, 0, 0}, {44100, 2, 16, 0, 0}, {44100, 2, 16, 0, 0},
    {44100, 2, 16, 0, 0}, {44100, 2, 16, 0, 0}, {44100, 2, 16, 0, 0}, {44100, 2, 16, 0, 0},
};

// One second of a tone in the voice's own format.
std::vector<std::uint8_t> Tone(const VoiceSpec& v, double hz) {
    std::vector<std::uint8_t> bytes;
    for (DWORD i = 0; i < v.rate; ++i) {
        double s = 0.5 * std::sin(2 * M_PI * hz * i / v.rate);
        for (int c = 0; c < v.channels; ++c) {
            if (v.bits == 8) {
                bytes.push_back(static_cast<std::uint8_t>(128 + std::lround(s * 127)));
            } else {
                auto x = static_cast<std::int16_t>(std::lround(s * 32767));
                bytes.push_back(static_cast<std::uint8_t>(x & 0xFF));
                bytes.push_back(static_cast<std::uint8_t>((x >> 8) & 0xFF));
            }
        }
    }
    return bytes;
}

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

void MixWithDirectSound(benchmark::State& state, const VoiceSpec* voices) {
    headless::Reset();
    headless::ResetAudio();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = "MIX_BENCH";
    RegisterClassExA(&wc);
    HWND window = CreateWindowExA(0, "MIX_BENCH", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);

    LPDIRECTSOUND ds = nullptr;
    if (DirectSoundCreate(nullptr, &ds, nullptr) != DS_OK) {
        state.SkipWithError("DirectSoundCreate failed");
        return;
    }
    ds->SetCooperativeLevel(window, DSSCL_NORMAL);
    std::vector<LPDIRECTSOUNDBUFFER> buffers;
    for (int i = 0; i < kVoices; ++i) {
        const VoiceSpec& v = voices[i];
        auto samples = Tone(v, 220.0 * (i + 1));
        WAVEFORMATEX f{WAVE_FORMAT_PCM,
                       v.channels,
                       v.rate,
                       v.rate * v.channels * v.bits / 8,
                       static_cast<WORD>(v.channels * v.bits / 8),
                       v.bits,
                       0};
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_STATIC | DSBCAPS_CTRLDEFAULT,
                          static_cast<DWORD>(samples.size()), 0, &f};
        LPDIRECTSOUNDBUFFER b = nullptr;
        ds->CreateSoundBuffer(&desc, &b, nullptr);
        LPVOID p1, p2;
        DWORD n1, n2;
        b->Lock(0, desc.dwBufferBytes, &p1, &n1, &p2, &n2, 0);
        std::memcpy(p1, samples.data(), n1);
        b->Unlock(p1, n1, p2, n2);
        b->SetVolume(v.volume);
        b->SetPan(v.pan);
        b->Play(0, 0, DSBPLAY_LOOPING);
        buffers.push_back(b);
    }

    std::vector<std::int16_t> out(static_cast<std::size_t>(kRate) * 2);
    for (auto _ : state) {
        platform::audio::Render(out.data(), kRate);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kRate);
    ds->Release();  // the buffers go with it
}

void BM_DirectSoundMixer_MixedFormats(benchmark::State& state) { MixWithDirectSound(state, kMixedVoices); }
void BM_DirectSoundMixer_StreamRate(benchmark::State& state) { MixWithDirectSound(state, kStreamRateVoices); }

// SDL2 doing the same: each voice converted from its own format to the
// stream's (SDL_AudioCVT), then mixed with its volume (SDL_MixAudioFormat).
// SDL has no pan, so the pan costs nothing here.
void BM_Sdl_ConvertAndMix_MixedFormats(benchmark::State& state) {
    struct Prepared {
        SDL_AudioCVT cvt;
        std::vector<std::uint8_t> source;
        std::vector<std::uint8_t> work;
        int volume;
    };
    std::vector<Prepared> voices(kVoices);
    for (int i = 0; i < kVoices; ++i) {
        const VoiceSpec& v = kMixedVoices[i];
        Prepared& p = voices[static_cast<std::size_t>(i)];
        SDL_BuildAudioCVT(&p.cvt, v.bits == 8 ? AUDIO_U8 : AUDIO_S16LSB, static_cast<Uint8>(v.channels),
                          static_cast<int>(v.rate), AUDIO_S16SYS, 2, kRate);
        p.source = Tone(v, 220.0 * (i + 1));
        p.work.resize(p.source.size() * static_cast<std::size_t>(p.cvt.len_mult) + 64);
        p.volume = static_cast<int>(std::lround(SDL_MIX_MAXVOLUME * std::pow(10.0, v.volume / 2000.0)));
    }
    std::vector<std::uint8_t> out(static_cast<std::size_t>(kRate) * 4);
    for (auto _ : state) {
        std::memset(out.data(), 0, out.size());
        for (Prepared& p : voices) {
            std::memcpy(p.work.data(), p.source.data(), p.source.size());
            p.cvt.buf = p.work.data();
            p.cvt.len = static_cast<int>(p.source.size());
            SDL_ConvertAudio(&p.cvt);
            int len = std::min(p.cvt.len_cvt, static_cast<int>(out.size()));
            SDL_MixAudioFormat(out.data(), p.work.data(), AUDIO_S16SYS, static_cast<Uint32>(len), p.volume);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kRate);
}

// SDL's mixing alone, on eight voices already at the stream's format.
void BM_Sdl_MixAudioFormat_StreamRate(benchmark::State& state) {
    std::vector<std::vector<std::uint8_t>> sources;
    for (int i = 0; i < kVoices; ++i) sources.push_back(Tone(kStreamRateVoices[i], 220.0 * (i + 1)));
    std::vector<std::uint8_t> out(static_cast<std::size_t>(kRate) * 4);
    for (auto _ : state) {
        std::memset(out.data(), 0, out.size());
        for (const auto& s : sources)
            SDL_MixAudioFormat(out.data(), s.data(), AUDIO_S16SYS, static_cast<Uint32>(out.size()), SDL_MIX_MAXVOLUME);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kRate);
}

BENCHMARK(BM_DirectSoundMixer_MixedFormats)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sdl_ConvertAndMix_MixedFormats)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DirectSoundMixer_StreamRate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sdl_MixAudioFormat_StreamRate)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
