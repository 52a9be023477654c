// The host's audio device: one 44.1 kHz 16-bit stereo stream whose callback
// pulls samples from platform::audio::Render.
#pragma once

#include <cstdint>

namespace host {

// Opens the default output device. False when the host has no audio device.
bool AudioOpen(int sampleRate);
void AudioClose();

}  // namespace host

// The stand-in's side: what the device's callback pulls. Its C name does not
// change with its signature, so that the tests watching the callback's path
// can wrap it at link time (-Wl,--wrap) and know the wrap still applies.
extern "C" void tumbla_audio_render(std::int16_t* out, int frames);

namespace platform::audio {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;

// Called by the host's audio callback (or by tests through the headless
// host): mixes every source into `frames` interleaved 16-bit stereo frames.
inline void Render(std::int16_t* out, int frames) { tumbla_audio_render(out, frames); }

}  // namespace platform::audio
