// Small standard MIDI files written on the spot, and the stream events a
// converter buffer holds, for the music tests.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <string>
#include <vector>

namespace midi_files {

using Bytes = std::vector<std::uint8_t>;

inline void VarLength(Bytes& out, std::uint32_t v) {
    std::uint8_t b[5];
    int n = 0;
    b[n++] = v & 0x7F;
    while (v >>= 7) b[n++] = static_cast<std::uint8_t>(0x80 | (v & 0x7F));
    while (n > 0) out.push_back(b[--n]);
}

inline void BigEndian(Bytes& out, std::uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Track data built event by event: delta time, then the bytes as given.
struct TrackData {
    Bytes bytes;
    TrackData& Event(std::uint32_t delta, Bytes message) {
        VarLength(bytes, delta);
        bytes.insert(bytes.end(), message.begin(), message.end());
        return *this;
    }
    TrackData& NoteOn(std::uint32_t delta, int channel, int key, int velocity = 100) {
        return Event(delta, {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key),
                             static_cast<std::uint8_t>(velocity)});
    }
    TrackData& Tempo(std::uint32_t delta, std::uint32_t microseconds) {
        return Event(delta, {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(microseconds >> 16),
                             static_cast<std::uint8_t>(microseconds >> 8), static_cast<std::uint8_t>(microseconds)});
    }
    TrackData& Meta(std::uint32_t delta, std::uint8_t type, const Bytes& data) {
        Bytes m{0xFF, type};
        VarLength(m, static_cast<std::uint32_t>(data.size()));
        m.insert(m.end(), data.begin(), data.end());
        return Event(delta, m);
    }
    TrackData& End(std::uint32_t delta = 0) { return Event(delta, {0xFF, 0x2F, 0x00}); }
};

struct File {
    Bytes bytes;
    explicit File(int tracks, int division = 96, int format = 1, std::uint32_t headerLength = 6) {
        bytes = {'M', 'T', 'h', 'd'};
        BigEndian(bytes, headerLength, 4);
        BigEndian(bytes, static_cast<std::uint32_t>(format), 2);
        BigEndian(bytes, static_cast<std::uint32_t>(tracks), 2);
        BigEndian(bytes, static_cast<std::uint32_t>(division), 2);
        for (std::uint32_t i = 6; i < headerLength; ++i) bytes.push_back(0xEE);
    }
    File& Chunk(const char* type, const Bytes& data) {
        bytes.insert(bytes.end(), type, type + 4);
        BigEndian(bytes, static_cast<std::uint32_t>(data.size()), 4);
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    File& Track(const TrackData& t) { return Chunk("MTrk", t.bytes); }
};

// A scratch file in a folder of this process's own under the test's output
// folder (tests run side by side in separate processes).
inline std::string TempPath(const std::string& name) {
    static const std::string base = [] {
        const char* out = std::getenv("TUMBLA_TEST_OUT");
        std::string root = out ? std::string(out) + "/" : ::testing::TempDir();
        std::string dir = root + "music-" + std::to_string(::getpid()) + "/";
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        return std::filesystem::is_directory(dir) ? dir : ::testing::TempDir();
    }();
    return base + name;
}

inline std::string Write(const std::string& name, const Bytes& bytes) {
    std::string path = TempPath(name);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

inline Bytes ReadAll(const std::string& path) {
    Bytes bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(f);
    return bytes;
}

struct StreamEvent {
    DWORD delta;
    DWORD streamId;
    DWORD event;
    bool operator==(const StreamEvent&) const = default;
};

inline std::vector<StreamEvent> Events(const char* data, DWORD bytes) {
    std::vector<StreamEvent> out;
    for (DWORD at = 0; at + 12 <= bytes; at += 12) {
        StreamEvent e;
        std::memcpy(&e, data + at, 12);
        out.push_back(e);
    }
    return out;
}

inline DWORD NoteOnEvent(int channel, int key, int velocity = 100) {
    return static_cast<DWORD>(0x90 | channel) | static_cast<DWORD>(key) << 8 | static_cast<DWORD>(velocity) << 16;
}

inline DWORD TempoEvent(DWORD microseconds) { return static_cast<DWORD>(MEVT_TEMPO) << 24 | microseconds; }

}  // namespace midi_files
