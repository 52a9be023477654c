#include "platform/host/headless/headless_audio.h"

#include <atomic>

#include "platform/host/host_audio.h"
#include "platform/host/host_events.h"

namespace headless {
namespace {

// Tests may render from a thread of their own, as a sound card would.
struct AudioState {
    std::atomic<bool> present{true};
    std::atomic<bool> open{false};
    std::atomic<int> opens{0};
};

AudioState& AudioDevice() {
    static AudioState a;
    return a;
}

}  // namespace

void SetAudioDevice(bool present) { AudioDevice().present = present; }
bool AudioDeviceOpen() { return AudioDevice().open; }
int AudioOpenCount() { return AudioDevice().opens; }

std::vector<std::int16_t> RenderAudio(int frames) {
    std::vector<std::int16_t> out(static_cast<std::size_t>(frames > 0 ? frames : 0) * platform::audio::kChannels, 0);
    if (AudioDevice().open && frames > 0) platform::audio::Render(out.data(), frames);
    return out;
}

std::vector<std::int16_t> RenderAudioAndSettle(int frames) {
    auto out = RenderAudio(frames);
    platform::FinishPendingWork();
    return out;
}

void ResetAudio() {
    AudioDevice().present = true;
    AudioDevice().opens = 0;
}

}  // namespace headless

namespace host {

bool AudioOpen(int sampleRate) {
    auto& a = headless::AudioDevice();
    if (!a.present || sampleRate <= 0) return false;
    if (!a.open) ++a.opens;
    a.open = true;
    return true;
}

void AudioClose() { headless::AudioDevice().open = false; }

}  // namespace host
