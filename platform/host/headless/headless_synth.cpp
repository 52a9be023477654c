// A tiny General-MIDI-shaped synthesiser for tests: sine voices with a short
// attack and an exponential decay, a noise burst for each drum hit, channel
// volume, expression and pan. Deterministic to the sample.
#include "platform/host/headless/headless_synth.h"

#include <array>
#include <cmath>
#include <mutex>

#include "platform/host/host_synth.h"

namespace headless {
namespace {

// Tests look at seconds of music, not hours: the log is bounded, and its
// room is taken up front so that recording never allocates on the audio
// thread.
constexpr std::size_t kLogCapacity = 1u << 20;

struct SynthLog {
    SynthLog() { messages.reserve(kLogCapacity); }
    std::mutex lock;
    bool present = true;
    std::vector<SynthMessage> messages;
    std::uint64_t frames = 0;
};

SynthLog& Synths() {
    static SynthLog log;
    return log;
}

void Record(std::uint32_t message) {
    auto& l = Synths();
    std::lock_guard guard(l.lock);
    if (l.messages.size() < kLogCapacity) l.messages.push_back(SynthMessage{l.frames, message});
}

constexpr int kVoices = 48;
constexpr double kPi = 3.14159265358979323846;

struct Voice {
    bool active = false;
    bool held = false;
    bool drum = false;
    int channel = 0;
    int key = 0;
    double phase = 0;
    double step = 0;     // phase advance per frame
    double level = 0;    // current envelope level
    double peak = 0;     // level the attack climbs to
    double decay = 0;    // per-frame factor while held
    double release = 0;  // per-frame factor once released
    int attack = 0;      // frames of attack left
    std::uint32_t noise = 1;
};

struct Channel {
    int program = 0;
    int volume = 100;
    int expression = 127;
    int pan = 64;
    bool sustain = false;
};

class HeadlessSynth final : public platform::midi::Synth {
public:
    explicit HeadlessSynth(int sampleRate) : rate_(sampleRate) {}

    void ShortMessage(std::uint32_t m) override {
        Record(m);
        int c = static_cast<int>(m & 0x0F);
        int d1 = static_cast<int>((m >> 8) & 0x7F);
        int d2 = static_cast<int>((m >> 16) & 0x7F);
        Channel& ch = channels_[static_cast<std::size_t>(c)];
        switch (m & 0xF0) {
            case 0x90:
                if (d2 > 0) {
                    NoteOn(c, d1, d2);
                    break;
                }
                [[fallthrough]];
            case 0x80: NoteOff(c, d1); break;
            case 0xB0:
                if (d1 == 7)
                    ch.volume = d2;
                else if (d1 == 10)
                    ch.pan = d2;
                else if (d1 == 11)
                    ch.expression = d2;
                else if (d1 == 64) {
                    ch.sustain = d2 >= 64;
                    if (!ch.sustain) ReleaseHeld(c, false);
                } else if (d1 == 120 || d1 == 123)
                    ReleaseHeld(c, d1 == 120);
                else if (d1 == 121)
                    ch = Channel{ch.program};
                break;
            case 0xC0: ch.program = d1; break;
            default: break;
        }
    }

    void AllNotesOff() override {
        Record(kAllNotesOff);
        for (int c = 0; c < 16; ++c) {
            channels_[static_cast<std::size_t>(c)].sustain = false;
            ReleaseHeld(c, false);
        }
    }

    void Render(float* out, int frames) override {
        for (Voice& v : voices_) {
            if (!v.active) continue;
            const Channel& ch = channels_[static_cast<std::size_t>(v.channel)];
            double gain = ch.volume / 127.0 * ch.expression / 127.0;
            double right = ch.pan / 127.0;
            double left = 1.0 - right;
            for (int i = 0; i < frames; ++i) {
                double s;
                if (v.drum) {
                    v.noise = v.noise * 1664525u + 1013904223u;
                    s = (static_cast<double>(v.noise >> 8) / 8388608.0 - 1.0);
                } else {
                    s = std::sin(v.phase) + 0.25 * std::sin(2 * v.phase);
                    v.phase += v.step;
                    if (v.phase > 2 * kPi) v.phase -= 2 * kPi;
                }
                if (v.attack > 0) {
                    v.level += v.peak / 64.0;
                    --v.attack;
                } else {
                    v.level *= v.held ? v.decay : v.release;
                }
                double x = s * v.level * gain;
                out[2 * i] += static_cast<float>(x * left);
                out[2 * i + 1] += static_cast<float>(x * right);
            }
            if (v.attack == 0 && v.level < 1e-4) v.active = false;
        }
        auto& l = Synths();
        std::lock_guard guard(l.lock);
        l.frames += static_cast<std::uint64_t>(frames);
    }

private:
    void NoteOn(int c, int key, int velocity) {
        Voice* slot = nullptr;
        for (Voice& v : voices_)
            if (!v.active) {
                slot = &v;
                break;
            }
        if (!slot) {  // steal the quietest voice
            slot = &voices_[0];
            for (Voice& v : voices_)
                if (v.level < slot->level) slot = &v;
        }
        Voice v;
        v.active = true;
        v.held = true;
        v.channel = c;
        v.key = key;
        v.drum = c == 9;
        v.step = 2 * kPi * 440.0 * std::pow(2.0, (key - 69) / 12.0) / rate_;
        v.peak = 0.18 * velocity / 127.0;
        v.attack = 64;
        // Drums and plucked sounds die away; the rest fades slowly while held.
        double seconds = v.drum ? 0.06 : 0.8;
        v.decay = std::exp(-1.0 / (seconds * rate_));
        v.release = std::exp(-1.0 / (0.05 * rate_));
        v.noise = static_cast<std::uint32_t>(key * 7919 + 1);
        *slot = v;
    }

    void NoteOff(int c, int key) {
        if (channels_[static_cast<std::size_t>(c)].sustain) return;
        for (Voice& v : voices_)
            if (v.active && v.held && v.channel == c && v.key == key && !v.drum) v.held = false;
    }

    void ReleaseHeld(int c, bool cut) {
        for (Voice& v : voices_) {
            if (!v.active || v.channel != c) continue;
            v.held = false;
            if (cut) v.active = false;
        }
    }

    int rate_;
    std::array<Voice, kVoices> voices_{};
    std::array<Channel, 16> channels_{};
};

}  // namespace

void SetMidiSynth(bool present) {
    std::lock_guard guard(Synths().lock);
    Synths().present = present;
}

std::vector<SynthMessage> SynthMessages() {
    std::lock_guard guard(Synths().lock);
    return Synths().messages;
}

void ClearSynthMessages() {
    std::lock_guard guard(Synths().lock);
    Synths().messages.clear();
    Synths().frames = 0;
}

std::uint64_t SynthFrames() {
    std::lock_guard guard(Synths().lock);
    return Synths().frames;
}

}  // namespace headless

namespace platform::midi {

std::unique_ptr<Synth> CreateSynth(int sampleRate) {
    auto& l = headless::Synths();
    {
        std::lock_guard guard(l.lock);
        if (!l.present || sampleRate <= 0) return nullptr;
    }
    return std::make_unique<headless::HeadlessSynth>(sampleRate);
}

bool SynthPresent() {
    auto& l = headless::Synths();
    std::lock_guard guard(l.lock);
    return l.present;
}

}  // namespace platform::midi
