// MIDI output and MIDI streams.
#pragma once
