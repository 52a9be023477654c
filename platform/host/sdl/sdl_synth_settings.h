// FluidSynth's settings for the game's music, in one place: the host's
// synthesiser and tools/cost's FluidSynth-alone measurement must use the
// same, or the comparison says nothing.
#pragma once

#include <fluidsynth.h>

namespace platform::midi {

inline void ApplySynthSettings(fluid_settings_t* settings, int sampleRate) {
    fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
    fluid_settings_setnum(settings, "synth.gain", 0.6);
    fluid_settings_setint(settings, "synth.polyphony", 128);
    fluid_settings_setint(settings, "synth.cpu-cores", 1);
}

}  // namespace platform::midi
