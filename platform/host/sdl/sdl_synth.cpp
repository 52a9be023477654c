// The MIDI mapper's synthesiser on the real machine: FluidSynth with the
// host's General MIDI soundfont. Without FluidSynth at build time, or without
// a soundfont on the machine, there is no synthesiser and the MIDI calls fail
// as Windows does without a MIDI device; the user is told once how to get
// music.
#include <dlfcn.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/host/host_synth.h"

#ifdef TUMBLA_HAVE_FLUIDSYNTH
#include "platform/host/sdl/sdl_synth_settings.h"
#endif

namespace platform::midi {

#ifdef TUMBLA_HAVE_FLUIDSYNTH
namespace {

// Debian's General MIDI alternatives first, then the small soundfont that
// the install script puts on the machine.
constexpr std::array<const char*, 3> kSoundfonts = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
};

bool Exists(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

// The mix is made in pieces of this many frames, so that rendering never
// allocates on the audio thread: a whole callback of the device's, so
// FluidSynth is called once for each stretch between two events.
constexpr int kChunk = 1024;

class FluidSynth final : public Synth {
public:
    FluidSynth(fluid_settings_t* settings, fluid_synth_t* synth) : settings_(settings), synth_(synth) {}
    ~FluidSynth() override {
        delete_fluid_synth(synth_);
        delete_fluid_settings(settings_);
    }

    void ShortMessage(std::uint32_t m) override {
        int channel = static_cast<int>(m & 0x0F);
        int d1 = static_cast<int>((m >> 8) & 0x7F);
        int d2 = static_cast<int>((m >> 16) & 0x7F);
        switch (m & 0xF0) {
            case 0x80: fluid_synth_noteoff(synth_, channel, d1); break;
            case 0x90:
                if (d2 == 0)
                    fluid_synth_noteoff(synth_, channel, d1);
                else
                    fluid_synth_noteon(synth_, channel, d1, d2);
                break;
            case 0xA0: fluid_synth_key_pressure(synth_, channel, d1, d2); break;
            case 0xB0: fluid_synth_cc(synth_, channel, d1, d2); break;
            case 0xC0: fluid_synth_program_change(synth_, channel, d1); break;
            case 0xD0: fluid_synth_channel_pressure(synth_, channel, d1); break;
            case 0xE0: fluid_synth_pitch_bend(synth_, channel, d1 | d2 << 7); break;
            default: break;
        }
    }

    void AllNotesOff() override {
        for (int channel = 0; channel < 16; ++channel) {
            fluid_synth_cc(synth_, channel, 64, 0);  // sustain pedal up
            fluid_synth_all_notes_off(synth_, channel);
        }
    }

    void Render(float* out, int frames) override {
        // With no voice sounding for longer than the reverb rings, the synth
        // only makes silence: leave it be (a paused game costs nothing).
        if (fluid_synth_get_active_voice_count(synth_) > 0)
            quietFrames_ = 0;
        else if (quietFrames_ >= kRingOut)
            return;
        else
            quietFrames_ += frames;
        while (frames > 0) {
            int n = frames < kChunk ? frames : kChunk;
            fluid_synth_write_float(synth_, n, scratch_.data(), 0, 2, scratch_.data(), 1, 2);
            for (int i = 0; i < n * 2; ++i) out[i] += scratch_[static_cast<std::size_t>(i)];
            out += n * 2;
            frames -= n;
        }
    }

private:
    fluid_settings_t* settings_;
    fluid_synth_t* synth_;
    std::array<float, kChunk * 2> scratch_{};
    static constexpr long kRingOut = 3 * 44100;  // frames: longer than any reverb tail
    long quietFrames_ = 0;
};

void Quiet(int, const char*, void*) {}
void QuietGlib(const char*, int, const char*, void*) {}

// FluidSynth hands what it cannot read as a SoundFont to libinstpatch (its
// DLS reader), which complains through GLib's log, past FluidSynth's log
// functions. Its messages carry no domain. GLib is FluidSynth's to load, so
// it is reached through the loaded library.
void QuietLibInstPatch() {
    constexpr int kCriticalToDebug = 0xF8;  // G_LOG_LEVEL_CRITICAL | WARNING | MESSAGE | INFO | DEBUG
    using Handler = void (*)(const char*, int, const char*, void*);
    using SetHandler = unsigned (*)(const char*, int, Handler, void*);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(RTLD_DEFAULT, "g_log_set_handler")))
        set(nullptr, kCriticalToDebug, QuietGlib, nullptr);
}

// A General MIDI soundfont for a game is a few megabytes to a few hundred;
// FluidSynth holds the whole of one in memory, so a bigger file is refused.
constexpr std::int64_t kMaxSoundfontBytes = std::int64_t{256} << 20;

bool TooBig(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0 && st.st_size > kMaxSoundfontBytes;
}

// The soundfont to play with: the one the user names in TUMBLA_SOUNDFONT,
// else the first of Debian's that is installed. Null when there is none; the
// user has then been told once how to get music.
const char* FindSoundfont() {
    const char* chosen = std::getenv("TUMBLA_SOUNDFONT");
    if (chosen && *chosen) {
        if (Exists(chosen)) return chosen;
        std::fprintf(stderr, "tumbla: TUMBLA_SOUNDFONT names %s, which is no file, so the game plays without music.\n",
                     chosen);
        return nullptr;
    }
    for (const char* path : kSoundfonts)
        if (Exists(path)) return path;
    std::fprintf(stderr,
                 "tumbla: no General MIDI soundfont was found, so the game plays without music; install "
                 "fluid-soundfont-gm or timgm6mb-soundfont, or set TUMBLA_SOUNDFONT to a .sf2 or .sf3 file.\n");
    return nullptr;
}

// The search is made once; a machine without a soundfont stays without,
// and the game plays on in silence, as on Windows without a MIDI device.
// Null again once the soundfont proved unusable.
const char*& Soundfont() {
    static bool searched = false;
    static const char* soundfont = nullptr;
    if (!searched) {
        searched = true;
        soundfont = FindSoundfont();
    }
    return soundfont;
}

}  // namespace

bool SynthPresent() { return Soundfont() != nullptr; }

std::unique_ptr<Synth> CreateSynth(int sampleRate) {
    const char*& soundfont = Soundfont();
    if (!soundfont) return nullptr;
    if (TooBig(soundfont)) {
        std::fprintf(stderr,
                     "tumbla: the soundfont %s is larger than 256 MB, more than a game's music should hold in "
                     "memory, so the game plays without music.\n",
                     soundfont);
        soundfont = nullptr;
        return nullptr;
    }

    // FluidSynth's own messages would only repeat what the result says.
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, Quiet, nullptr);
    QuietLibInstPatch();
    fluid_settings_t* settings = new_fluid_settings();
    if (!settings) return nullptr;
    ApplySynthSettings(settings, sampleRate);
    fluid_synth_t* synth = new_fluid_synth(settings);
    if (!synth) {
        delete_fluid_settings(settings);
        return nullptr;
    }
    if (fluid_synth_sfload(synth, soundfont, 1) == FLUID_FAILED) {
        std::fprintf(stderr, "tumbla: the soundfont %s cannot be read, so the game plays without music.\n", soundfont);
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
        soundfont = nullptr;  // unreadable: no synthesiser from now on
        return nullptr;
    }
    return std::make_unique<FluidSynth>(settings, synth);
}

#else

std::unique_ptr<Synth> CreateSynth(int) { return nullptr; }

bool SynthPresent() { return false; }

#endif

}  // namespace platform::midi
