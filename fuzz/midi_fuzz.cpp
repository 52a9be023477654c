// The song readers: the game's streaming converter (open, buffers filled
// with and without looping, a tempo change part way) and the MCI
// sequencer's whole-file reader.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "music/music.h"
#include "music/t_midcnv.h"
#include "platform/winmm/midi_file.h"

namespace {

// Enough buffers to loop a short song several times, few enough that one
// input stays quick.
constexpr int kBuffers = 16;

void Convert(const std::string& path, bool looping, LONG tempoPercent) {
    static BYTE block[STREAM_BUFFER_SIZE];
    musicPlayer.looping = looping ? 1 : 0;
    converter.tempoPercent = 100;
    converter.insertTempo = 0;
    if (SongOpen(path.c_str()) != 0) return;
    StreamBuffer buffer{};
    buffer.header.lpData = reinterpret_cast<LPSTR>(block);
    buffer.header.dwBufferLength = sizeof(block);
    for (int i = 0; i < kBuffers; ++i) {
        buffer.capacity = STREAM_BUFFER_SIZE;
        buffer.startTick = 0;
        buffer.timeUp = FALSE;
        if (i == kBuffers / 3) {
            converter.tempoPercent = tempoPercent;
            converter.insertTempo = 1;
        }
        LONG result = FillStreamBuffer(i == 0 ? 1 : 0, &buffer);
        if (buffer.bytesWritten > buffer.capacity || buffer.bytesWritten % STREAM_EVENT_SIZE != 0) __builtin_trap();
        if (result != 0) break;
    }
    SongClose();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = fuzz::ScratchPath(".mid");
    if (!fuzz::WriteScratch(path, data, size)) return 0;
    // The last byte picks looping and the tempo change; the rest of the
    // input stays a file as written.
    std::uint8_t knob = size ? data[size - 1] : 0;
    Convert(path, (knob & 1) != 0, 1 + (knob >> 1) * 200 / 127);

    std::vector<unsigned char> bytes(data, data + size);
    platform::midi::SongEvents events;
    if (platform::midi::ParseMidiFile(bytes, events) == platform::midi::FileResult::Ok && events.words.size() % 3 != 0)
        __builtin_trap();
    return 0;
}
