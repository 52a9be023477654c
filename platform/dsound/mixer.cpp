#include "platform/dsound/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::dsound {
namespace {

constexpr float kFracScale = 1.0f / 4294967296.0f;

// Sample readers, one per PCM layout, returning -1..1.
struct Unsigned8 {
    static float Read(const std::uint8_t* data, std::uint32_t index) {
        return (static_cast<int>(data[index]) - 128) * (1.0f / 128.0f);
    }
};
struct Signed16 {
    static float Read(const std::uint8_t* data, std::uint32_t index) {
        std::int16_t v;
        std::memcpy(&v, data + static_cast<std::size_t>(index) * 2, sizeof v);  // little-endian hosts only
        return v * (1.0f / 32768.0f);
    }
};

template <typename Sample, int Channels>
void MixRun(const std::uint8_t* data, std::uint32_t frames, bool looping, std::uint64_t& pos, std::uint64_t step,
            float* out, int count, float left, float right) {
    for (int i = 0; i < count; ++i) {
        std::uint32_t at = static_cast<std::uint32_t>(pos >> 32);
        std::uint32_t next = at + 1;
        if (next >= frames) next = looping ? 0 : at;
        float frac = static_cast<float>(static_cast<std::uint32_t>(pos)) * kFracScale;
        if constexpr (Channels == 1) {
            float a = Sample::Read(data, at), b = Sample::Read(data, next);
            float v = a + (b - a) * frac;
            out[2 * i] += v * left;
            out[2 * i + 1] += v * right;
        } else {
            float al = Sample::Read(data, 2 * at), bl = Sample::Read(data, 2 * next);
            float ar = Sample::Read(data, 2 * at + 1), br = Sample::Read(data, 2 * next + 1);
            out[2 * i] += (al + (bl - al) * frac) * left;
            out[2 * i + 1] += (ar + (br - ar) * frac) * right;
        }
        pos += step;
    }
}

template <typename Sample, int Channels>
void MixLayout(Voice& v, float* out, int frames, std::uint64_t step, float left, float right) {
    const std::uint8_t* data = v.samples->bytes.data();
    const std::uint64_t end = static_cast<std::uint64_t>(v.frames) << 32;
    std::uint64_t pos = v.position;
    int done = 0;
    while (done < frames) {
        if (pos >= end) {
            if (!v.looping) break;
            pos %= end;
        }
        // Frames until the read position passes the end of the samples.
        std::uint64_t remaining = (end - pos + step - 1) / step;
        int run = static_cast<int>(std::min<std::uint64_t>(remaining, static_cast<std::uint64_t>(frames - done)));
        MixRun<Sample, Channels>(data, v.frames, v.looping, pos, step, out + 2 * done, run, left, right);
        done += run;
    }
    if (pos >= end) {
        if (v.looping) {
            pos %= end;
        } else {
            // A buffer played once stops at its end and its play cursor goes
            // back to the start.
            v.playing = false;
            pos = 0;
        }
    }
    v.position = pos;
}

}  // namespace

float GainFromHundredths(LONG hundredthsOfDb) {
    if (hundredthsOfDb <= -10000) return 0.0f;
    if (hundredthsOfDb >= 0) return 1.0f;
    return static_cast<float>(std::pow(10.0, hundredthsOfDb / 2000.0));
}

void StereoGains(LONG volume, LONG pan, float& left, float& right) {
    float gain = GainFromHundredths(volume);
    left = gain * GainFromHundredths(pan > 0 ? -pan : 0);
    right = gain * GainFromHundredths(pan < 0 ? pan : 0);
}

void MixVoice(Voice& v, float* out, int frames, int outputRate, float masterLeft, float masterRight) {
    if (!v.playing || frames <= 0 || outputRate <= 0) return;
    if (!v.samples || v.frames == 0 || v.rate == 0 ||
        v.samples->bytes.size() <
            static_cast<std::size_t>(v.frames) * static_cast<std::size_t>(v.channels * v.bits / 8)) {
        v.playing = false;
        v.position = 0;
        return;
    }
    std::uint64_t step = (static_cast<std::uint64_t>(v.rate) << 32) / static_cast<std::uint64_t>(outputRate);
    if (step == 0) step = 1;
    float left = v.gainLeft * masterLeft, right = v.gainRight * masterRight;
    if (v.bits == 16) {
        if (v.channels == 2)
            MixLayout<Signed16, 2>(v, out, frames, step, left, right);
        else
            MixLayout<Signed16, 1>(v, out, frames, step, left, right);
    } else {
        if (v.channels == 2)
            MixLayout<Unsigned8, 2>(v, out, frames, step, left, right);
        else
            MixLayout<Unsigned8, 1>(v, out, frames, step, left, right);
    }
}

}  // namespace platform::dsound
