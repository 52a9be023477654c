// The one host audio stream: a reference-counted device and a list of sources
// mixed together on the audio thread.
#include "platform/audio/stream.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <new>
#include <vector>

#include "platform/host/host_audio.h"

namespace platform::audio {
namespace {

struct StreamState {
    std::mutex deviceLock;  // Acquire/Release
    int users = 0;
    // Held by Render for the whole mix, so a source removed under it is no
    // longer in use once RemoveSource returns.
    std::mutex sourcesLock;
    std::vector<Source*> sources;
};

StreamState& AudioStream() {
    static StreamState s;
    return s;
}

// The mix is made in pieces on the stack: the audio thread never allocates.
constexpr int kChunkFrames = kMaxMixFrames;

std::int16_t ToSample(float v) {
    float scaled = v * 32768.0f;
    scaled = std::clamp(scaled, -32768.0f, 32767.0f);
    return static_cast<std::int16_t>(std::lrintf(scaled));
}

}  // namespace

bool Acquire() {
    auto& s = AudioStream();
    std::lock_guard guard(s.deviceLock);
    if (s.users == 0 && !host::AudioOpen(kSampleRate)) return false;
    ++s.users;
    return true;
}

void Release() {
    auto& s = AudioStream();
    std::lock_guard guard(s.deviceLock);
    if (s.users == 0) return;
    if (--s.users == 0) host::AudioClose();
}

bool AddSource(Source* source) {
    if (!source) return false;
    auto& s = AudioStream();
    std::lock_guard guard(s.sourcesLock);
    if (std::find(s.sources.begin(), s.sources.end(), source) != s.sources.end()) return true;
    try {
        s.sources.push_back(source);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void RemoveSource(Source* source) {
    auto& s = AudioStream();
    std::lock_guard guard(s.sourcesLock);
    std::erase(s.sources, source);
}

void ResetForTests() {
    auto& s = AudioStream();
    {
        std::lock_guard guard(s.deviceLock);
        if (s.users > 0) host::AudioClose();
        s.users = 0;
    }
    std::lock_guard guard(s.sourcesLock);
    s.sources.clear();
}

}  // namespace platform::audio

extern "C" void tumbla_audio_render(std::int16_t* out, int frames) {
    using namespace platform::audio;
    if (!out || frames <= 0) return;
    auto& s = AudioStream();
    std::array<float, kChunkFrames * kChannels> mix;
    std::lock_guard guard(s.sourcesLock);
    while (frames > 0) {
        int n = std::min(frames, kChunkFrames);
        std::fill_n(mix.begin(), n * kChannels, 0.0f);
        for (Source* source : s.sources) source->Mix(mix.data(), n);
        for (int i = 0; i < n * kChannels; ++i) out[i] = ToSample(mix[static_cast<std::size_t>(i)]);
        out += n * kChannels;
        frames -= n;
    }
}
