// The headless host's sound card: present or absent, and a stream that moves
// only when a test renders it, so mixing can be checked sample by sample.
#pragma once

#include <cstdint>
#include <vector>

namespace headless {

// Whether the machine has an audio device (it has one unless a test says
// otherwise). Taking the device away while it is open does not close it.
void SetAudioDevice(bool present);
// Whether the program opened the device and has not closed it.
bool AudioDeviceOpen();
int AudioOpenCount();  // successful opens since the start (or the last reset)

// Pulls `frames` frames of 16-bit stereo from the stream, as the device's
// callback would. With the device closed the card plays silence and the
// sources do not move.
std::vector<std::int16_t> RenderAudio(int frames);
// The same, returning only once the MIDI notifications the render caused
// have been delivered: a whole run then sounds the same every time.
std::vector<std::int16_t> RenderAudioAndSettle(int frames);

// Present, counters at 0. Kept apart from Reset() (which closes the device)
// because some test programs pair the headless host with SDL's audio.
void ResetAudio();

}  // namespace headless
