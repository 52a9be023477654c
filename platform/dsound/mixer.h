// The software mixer behind DirectSound: one voice per sound buffer, read
// from its PCM samples at its own rate, resampled (linear) to the stream's
// rate and added into the stream with its left and right gains.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <windows.h>

namespace platform::dsound {

// The sample bytes of a buffer, shared by every duplicate of it.
struct SampleBlock {
    std::vector<std::uint8_t> bytes;
};

struct Voice {
    std::shared_ptr<SampleBlock> samples;
    int channels = 1;            // 1 or 2
    int bits = 8;                // 8 (unsigned) or 16 (signed)
    std::uint32_t frames = 0;    // whole frames in the block
    std::uint32_t rate = 0;      // frames per second: the buffer's own or the one set
    std::uint64_t position = 0;  // in frames, 32.32 fixed point
    float gainLeft = 1.0f;
    float gainRight = 1.0f;
    bool playing = false;
    bool looping = false;
};

// Amplitude of an attenuation in hundredths of a decibel (0 = 1.0); -10000
// and below are silence, as DSBVOLUME_MIN is.
float GainFromHundredths(LONG hundredthsOfDb);

// DirectSound's pan law: the volume applies to both sides and a pan
// attenuates the opposite side by |pan| hundredths of a decibel.
void StereoGains(LONG volume, LONG pan, float& left, float& right);

// Adds `frames` frames of the voice at `outputRate` into `out` (interleaved
// stereo), scaled by the master gains. A voice that is not looping stops at
// its end and rewinds to 0.
void MixVoice(Voice& voice, float* out, int frames, int outputRate, float masterLeft = 1.0f, float masterRight = 1.0f);

}  // namespace platform::dsound
