// A whole standard MIDI file read into one stream of packed events, as the
// MCI sequencer plays it (it loads its file at open, as Windows' does).
#pragma once

#include <mmsystem.h>

#include <string>
#include <vector>

namespace platform::midi {

struct SongEvents {
    DWORD timeDivision = 96;
    // MIDIEVENTs of three words each: delta, stream id 0, event (short
    // messages and tempo changes; everything else is left out).
    std::vector<DWORD> words;
};

enum class FileResult { Ok, NotFound, Invalid };

FileResult LoadMidiFile(const std::string& path, SongEvents& out);

// The same, from bytes already in memory.
FileResult ParseMidiFile(const std::vector<unsigned char>& bytes, SongEvents& out);

}  // namespace platform::midi
