// The headless host's MIDI synthesiser: a small deterministic one, so tests
// can hear the music without FluidSynth, and see what reached it and when.
#pragma once

#include <cstdint>
#include <vector>

namespace headless {

// Whether the machine has a MIDI synthesiser (it has one unless a test says
// otherwise). Without it midiStreamOpen finds no device.
void SetMidiSynth(bool present);

// Every message the synthesiser was given, stamped with the frame of the
// audio stream at which it took effect (frames counted over every headless
// synthesiser since the last clear). kAllNotesOff stands for that request.
constexpr std::uint32_t kAllNotesOff = 0xFFFFFFFF;
struct SynthMessage {
    std::uint64_t frame;
    std::uint32_t message;
};
std::vector<SynthMessage> SynthMessages();
void ClearSynthMessages();
// Frames rendered by headless synthesisers since the last clear.
std::uint64_t SynthFrames();

}  // namespace headless
