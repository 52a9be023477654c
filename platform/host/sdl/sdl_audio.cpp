// The host's audio device through SDL2: one 44.1 kHz 16-bit stereo stream
// whose callback pulls the mix from platform::audio. SDL converts to whatever
// the device really takes. SDL_AUDIODRIVER=dummy (silence) and disk (writes
// the stream to SDL_DISKAUDIOFILE in real time) serve machines without sound.
#include <SDL.h>

#include <cstdint>

#include "platform/host/host_audio.h"

namespace host {
namespace {

SDL_AudioDeviceID device = 0;

void SDLCALL FillStream(void*, Uint8* stream, int len) {
    int frames = len / static_cast<int>(sizeof(std::int16_t) * platform::audio::kChannels);
    platform::audio::Render(reinterpret_cast<std::int16_t*>(stream), frames);
}

}  // namespace

bool AudioOpen(int sampleRate) {
    if (device != 0) return true;
    // The audio subsystem is ours alone to start and stop: SDL counts the
    // starts, so the window's and joystick's subsystems are unaffected.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = sampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(platform::audio::kChannels);
    want.samples = 1024;  // about 23 ms: short enough for effects, long enough not to starve
    want.callback = FillStream;
    SDL_AudioSpec have{};
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void AudioClose() {
    if (device == 0) return;
    SDL_CloseAudioDevice(device);
    device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace host
