// The MIDI file converter: how many events a second it packs into stream
// buffers, and how much memory it holds while a 1 MB and a 10 MB song are
// converted (the same: a window per track and the two stream buffers).
#include <windows.h>
#include <mmsystem.h>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "music/music.h"
#include "music/t_midcnv.h"

namespace {

constexpr int kTracks = 8;

void VarLength(std::vector<std::uint8_t>& out, std::uint32_t v) {
    std::uint8_t b[5];
    int n = 0;
    b[n++] = v & 0x7F;
    while (v >>= 7) b[n++] = static_cast<std::uint8_t>(0x80 | (v & 0x7F));
    while (n > 0) out.push_back(b[--n]);
}

void BigEndian(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

struct Song {
    std::string path;
    std::int64_t events = 0;
};

// A format 1 song of about `bytes` bytes: a tempo track with a change every
// bar, and tracks of notes with running status, volume changes and the odd
// marker, as a long real song would have.
Song MakeSong(std::size_t bytes) {
    Song song;
    // A folder of this run's own, so that two runs side by side cannot collide.
    static std::string folder = [] {
        char name[] = "/tmp/tumbla-bench-XXXXXX";
        return std::string(mkdtemp(name) ? name : ".");
    }();
    song.path = folder + "/song_" + std::to_string(bytes) + ".mid";
    std::vector<std::uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    BigEndian(file, kTracks, 2);
    BigEndian(file, 480, 2);
    std::size_t perTrack = bytes / kTracks;
    for (int t = 0; t < kTracks; ++t) {
        std::vector<std::uint8_t> data;
        std::uint32_t i = 0;
        while (data.size() < perTrack) {
            if (t == 0) {
                std::uint32_t tempo = 400000 + (i % 7) * 10000;
                data.insert(data.end(), {0x83, 0x60, 0xFF, 0x51, 0x03});  // a bar later
                data.insert(data.end(), {static_cast<std::uint8_t>(tempo >> 16), static_cast<std::uint8_t>(tempo >> 8),
                                         static_cast<std::uint8_t>(tempo)});
            } else if (i % 64 == 0) {
                VarLength(data, 0);
                data.insert(data.end(),
                            {static_cast<std::uint8_t>(0xB0 | t), 7, static_cast<std::uint8_t>(80 + i % 40)});
            } else if (i % 500 == 1) {
                VarLength(data, 0);
                data.insert(data.end(), {0xFF, 0x06, 0x04, 'b', 'a', 'r', '!'});
            } else {
                VarLength(data, i % 2 ? 0 : 60 + (i % 5) * 30);
                if (i % 64 == 2) data.push_back(static_cast<std::uint8_t>(0x90 | t));
                data.insert(data.end(), {static_cast<std::uint8_t>(36 + (i * 7 + t) % 48),
                                         static_cast<std::uint8_t>(i % 2 ? 0 : 96)});
            }
            ++song.events;
            ++i;
        }
        data.insert(data.end(), {0x00, 0xFF, 0x2F, 0x00});
        file.insert(file.end(), {'M', 'T', 'r', 'k'});
        BigEndian(file, static_cast<std::uint32_t>(data.size()), 4);
        file.insert(file.end(), data.begin(), data.end());
    }
    std::FILE* f = std::fopen(song.path.c_str(), "wb");
    if (f) {
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    }
    return song;
}

const Song& SongOfSize(std::size_t bytes) {
    static Song oneMb = MakeSong(1u << 20);
    static Song tenMb = MakeSong(10u << 20);
    return bytes > (1u << 20) ? tenMb : oneMb;
}

std::size_t HeapInUse() { return mallinfo2().uordblks; }

// Converts the whole song once; returns the events written.
std::int64_t ConvertAll(StreamBuffer& buffer, std::size_t& peakHeap, std::size_t baseline) {
    std::int64_t events = 0;
    LONG result = FillStreamBuffer(1, &buffer);
    while (result == 0) {
        events += buffer.bytesWritten / STREAM_EVENT_SIZE;
        std::size_t heap = HeapInUse();
        if (heap > baseline && heap - baseline > peakHeap) peakHeap = heap - baseline;
        buffer.capacity = STREAM_BUFFER_SIZE;
        buffer.startTick = 0;
        buffer.timeUp = FALSE;
        result = FillStreamBuffer(0, &buffer);
    }
    return events;
}

void BM_ConvertSong(benchmark::State& state) {
    const Song& song = SongOfSize(static_cast<std::size_t>(state.range(0)) << 20);
    musicPlayer.looping = 0;
    converter.tempoPercent = 100;
    std::vector<char> block(STREAM_BUFFER_SIZE);
    StreamBuffer buffer{};
    buffer.header.lpData = block.data();
    buffer.header.dwBufferLength = STREAM_BUFFER_SIZE;
    buffer.capacity = STREAM_BUFFER_SIZE;

    std::int64_t written = 0;
    std::size_t peakHeap = 0;
    for (auto _ : state) {
        std::size_t baseline = HeapInUse();
        if (SongOpen(song.path.c_str()) != 0) {
            state.SkipWithError("the song does not open");
            return;
        }
        std::size_t opened = HeapInUse();
        if (opened > baseline && opened - baseline > peakHeap) peakHeap = opened - baseline;
        written += ConvertAll(buffer, peakHeap, baseline);
        SongClose();
    }
    state.SetItemsProcessed(written);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (state.range(0) << 20));
    state.counters["file_MB"] = static_cast<double>(state.range(0));
    // The converter's own memory at its highest: track windows and the track
    // array (the stream buffers belong to the player and are not counted).
    state.counters["peak_heap_bytes"] = static_cast<double>(peakHeap);
}
BENCHMARK(BM_ConvertSong)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
