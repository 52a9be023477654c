// FluidSynth alone playing a song with the game's settings: the floor for
// what the game's audio thread pays for its music. Prints the CPU time this
// thread spent per second of music, as a share of a core.
//   usage: fluid_alone SOUNDFONT SONG SKIP SECONDS fast|paced [FRAMES]
// Measures SECONDS of the song from SKIP seconds into it. fast renders as
// quickly as it can; paced renders FRAMES at a time when a sound card would
// ask for them (every FRAMES / 44100 s), sleeping in between, as a device's
// thread does.
// Built and run by measure-music.sh.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/host/sdl/sdl_synth_settings.h"

namespace {

constexpr int kRate = 44100;

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void Quiet(int, const char*, void*) {}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: fluid_alone SOUNDFONT SONG SKIP SECONDS fast|paced [FRAMES]\n");
        return 2;
    }
    const double skip = std::atof(argv[3]), seconds = std::atof(argv[4]);
    const bool paced = std::strcmp(argv[5], "paced") == 0;
    const int block = argc > 6 ? std::atoi(argv[6]) : 1024;
    if (skip < 0 || seconds <= 0 || block <= 0) return 2;
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, Quiet, nullptr);

    fluid_settings_t* settings = new_fluid_settings();
    platform::midi::ApplySynthSettings(settings, kRate);
    fluid_synth_t* synth = new_fluid_synth(settings);
    if (!synth || fluid_synth_sfload(synth, argv[1], 1) == FLUID_FAILED) {
        std::fprintf(stderr, "fluid_alone: cannot load %s\n", argv[1]);
        return 1;
    }
    fluid_player_t* player = new_fluid_player(synth);
    if (!player || fluid_player_add(player, argv[2]) != FLUID_OK) {
        std::fprintf(stderr, "fluid_alone: cannot read %s\n", argv[2]);
        return 1;
    }
    fluid_player_set_loop(player, -1);  // the game loops its song too
    fluid_player_play(player);

    std::vector<float> out(static_cast<std::size_t>(block) * 2);
    const long long from = static_cast<long long>(skip * kRate);
    const long long total = from + static_cast<long long>(seconds * kRate);
    double sink = 0;  // the samples are used, so none of the work can be left out
    double cpu0 = ThreadSeconds();
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    for (long long done = 0; done < total; done += block) {
        if (done < from && done + block >= from) cpu0 = ThreadSeconds();
        if (paced) {
            long long ns = due.tv_nsec + static_cast<long long>(block) * 1000000000LL / kRate;
            due.tv_sec += static_cast<time_t>(ns / 1000000000LL);
            due.tv_nsec = static_cast<long>(ns % 1000000000LL);
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
        }
        fluid_synth_write_float(synth, block, out.data(), 0, 2, out.data(), 1, 2);
        sink += out[0];
    }
    const double cpu = ThreadSeconds() - cpu0;
    std::printf("%.3f%% of a core (%s, %.0f s of the song, %.3f s of CPU)%s\n", 100.0 * cpu / seconds,
                paced ? "paced" : "fast", seconds, cpu, sink == 12345.0 ? " " : "");
    delete_fluid_player(player);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return 0;
}
