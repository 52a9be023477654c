// The synthesiser behind the MIDI mapper. The host provides it: FluidSynth
// with a General MIDI soundfont on the real machine, a small built-in synth
// in the headless host. It is driven only from the audio thread (messages
// are applied at their sample position while the mix is made), except for
// its creation.
#pragma once

#include <cstdint>
#include <memory>

namespace platform::midi {

class Synth {
public:
    virtual ~Synth() = default;
    // A channel message: status | data1 << 8 | data2 << 16.
    virtual void ShortMessage(std::uint32_t message) = 0;
    // Notes off and sustain released on every channel; programs and
    // controllers stay as they are.
    virtual void AllNotesOff() = 0;
    // Adds `frames` interleaved stereo frames (-1..1) into `out`.
    virtual void Render(float* out, int frames) = 0;
};

// Made by the host when the MIDI mapper is opened while nothing else holds
// it, and dropped when the last holder closes. Null when the host has no
// synthesiser (for instance no soundfont): the mapper then has no device, as
// on a Windows machine without one.
std::unique_ptr<Synth> CreateSynth(int sampleRate);

// Whether CreateSynth could give a synthesiser now, without making one: the
// count of MIDI output devices (none or the mapper's one) is asked before an
// open, and must cost no soundfont load.
bool SynthPresent();

}  // namespace platform::midi
