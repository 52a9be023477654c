// Plays songs through FluidSynth with two soundfonts and checks that the
// sound is the same to the last bit: the page ships a font trimmed to the
// presets its songs use, and a player must hear exactly what the full font
// gives. The synthesiser is set up as the page sets it up (44.1 kHz, gain
// 0.6, 128 voices) and timed by its own samples, so that two renders of the
// same font are equal too.
//
// Usage: render_same <a.sf2> <b.sf2> <song.mid>...
#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The song played twice through (its loop included), and two seconds for
// the last notes to fade; empty if FluidSynth refuses.
std::vector<float> Render(const char* soundfont, const char* song) {
    std::vector<float> sound;
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", 44100);
    fluid_settings_setnum(settings, "synth.gain", 0.6);
    fluid_settings_setint(settings, "synth.polyphony", 128);
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    fluid_player_t* player = synth ? new_fluid_player(synth) : nullptr;
    if (player && fluid_synth_sfload(synth, soundfont, 1) != FLUID_FAILED &&
        fluid_player_add(player, song) == FLUID_OK) {
        fluid_player_set_loop(player, 2);
        fluid_player_play(player);
        constexpr int kBlock = 512;
        float block[kBlock * 2];
        int tail = 2 * 44100 / kBlock;
        while (tail > 0) {
            if (fluid_player_get_status(player) != FLUID_PLAYER_PLAYING) --tail;
            fluid_synth_write_float(synth, kBlock, block, 0, 2, block, 1, 2);
            sound.insert(sound.end(), block, block + kBlock * 2);
        }
    }
    if (player) delete_fluid_player(player);
    if (synth) delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return sound;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: render_same <a.sf2> <b.sf2> <song.mid>...\n");
        return 2;
    }
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    int failures = 0;
    for (int i = 3; i < argc; ++i) {
        std::vector<float> a = Render(argv[1], argv[i]);
        std::vector<float> b = Render(argv[2], argv[i]);
        float peak = 0;
        for (float v : a) peak = std::fmax(peak, std::fabs(v));
        bool same =
            !a.empty() && a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
        if (!same || peak < 0.01f) ++failures;
        std::size_t differ = 0;
        for (std::size_t s = 0; s < std::min(a.size(), b.size()); ++s) differ += a[s] != b[s];
        std::printf("%s %s: %.1f s of sound, peak %.3f, %s\n", same && peak >= 0.01f ? "same" : "DIFFERENT", argv[i],
                    a.size() / 2 / 44100.0, peak,
                    same ? "bit for bit equal" : (std::to_string(differ) + " samples differ").c_str());
    }
    return failures ? 1 : 0;
}
