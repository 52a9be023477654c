// The host's audio device: one 44.1 kHz 16-bit stereo stream whose callback
// pulls samples from platform::audio::Render.
#pragma once

#include <cstdint>

namespace host {

// Opens the default output device. False when the host has no audio device.
bool AudioOpen(int sampleRate);
void AudioClose();
// Keep the audio callback out while the main thread changes shared state.
void AudioLock();
void AudioUnlock();

}  // namespace host
