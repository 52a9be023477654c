// The one host audio stream. Sound buffers (DirectSound) and the MIDI
// synthesiser are sources mixed into it, on the audio thread, never calling
// game code. With no audio device the stream cannot open and both
// DirectSoundCreate and midiStreamOpen fail as Windows does without hardware.
#pragma once

#include <cstdint>

#include "platform/host/host_audio.h"

namespace platform::audio {

// The stream is mixed in pieces of at most this many frames: a whole SDL
// callback of 1024 in one, so each source (and FluidSynth) is called once a wake.
constexpr int kMaxMixFrames = 1024;

class Source {
public:
    // Adds `frames` interleaved stereo frames (-1..1) into `out`. Audio thread.
    // Runs under the stream's lock: it must not add or remove sources, and it
    // should not allocate. `frames` is at most kMaxMixFrames.
    virtual void Mix(float* out, int frames) = 0;

protected:
    ~Source() = default;
};

// Opens the host device on first use (reference counted); false = no device.
bool Acquire();
void Release();

// Sources are added and removed from the main thread; the call returns only
// when the audio thread no longer uses a removed source. Adding fails only
// when memory runs out.
bool AddSource(Source* source);
void RemoveSource(Source* source);

// Closes the host device and forgets every source, as the end of a process
// does; for tests that run the program more than once in one process.
void ResetForTests();

}  // namespace platform::audio
