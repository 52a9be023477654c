// Reads a standard MIDI file (formats 0 and 1) whole: every track decoded,
// merged by time (the lower track first on equal ticks) and packed as
// stream events. Damaged data ends its track, never the reader.
#include "platform/winmm/midi_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/kernel/data_path.h"

namespace platform::midi {
namespace {

// Far beyond any song; a file this big is not one.
constexpr std::size_t kMaxFileSize = 64u << 20;

struct Timed {
    std::uint64_t tick;
    DWORD event;
};

class Reader {
public:
    Reader(const unsigned char* data, std::size_t size) : p_(data), end_(data + size) {}
    bool Empty() const { return p_ >= end_; }
    std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }
    bool Byte(unsigned& value) {
        if (p_ >= end_) return false;
        value = *p_++;
        return true;
    }
    bool VarLength(std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            unsigned c;
            if (!Byte(c)) return false;
            value = value << 7 | (c & 0x7F);
            if (!(c & 0x80)) return true;
        }
        return false;  // longer than the format allows
    }
    bool Skip(std::uint32_t n) {
        if (n > Left()) return false;
        p_ += n;
        return true;
    }
    const unsigned char* Here() const { return p_; }

private:
    const unsigned char* p_;
    const unsigned char* end_;
};

std::uint32_t BigEndian(const unsigned char* p, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}

void ReadTrack(Reader track, std::vector<Timed>& out) {
    std::uint64_t tick = 0;
    unsigned running = 0;
    while (!track.Empty()) {
        std::uint32_t delta;
        unsigned b;
        if (!track.VarLength(delta) || !track.Byte(b)) return;
        tick += delta;
        if (b < 0xF0) {
            unsigned status, d1, d2 = 0;
            if (b < 0x80) {  // running status: b is the first data byte
                if (running == 0) return;
                status = running;
                d1 = b;
            } else {
                status = running = b;
                if (!track.Byte(d1)) return;
            }
            unsigned type = status & 0xF0;
            if (type != 0xC0 && type != 0xD0 && !track.Byte(d2)) return;
            out.push_back(Timed{tick, status | (d1 & 0x7F) << 8 | (d2 & 0x7F) << 16});
            continue;
        }
        if (b == 0xF0 || b == 0xF7) {
            std::uint32_t length;
            if (!track.VarLength(length) || !track.Skip(length)) return;
            continue;
        }
        if (b != 0xFF) return;  // no system common or real-time bytes in a file
        unsigned type;
        std::uint32_t length;
        if (!track.Byte(type) || !track.VarLength(length) || length > track.Left()) return;
        if (type == 0x2F) return;
        if (type == 0x51 && length == 3) {
            std::uint32_t tempo = BigEndian(track.Here(), 3);
            if (tempo != 0) out.push_back(Timed{tick, static_cast<DWORD>(MEVT_TEMPO) << 24 | tempo});
        }
        track.Skip(length);
    }
}

}  // namespace

FileResult ParseMidiFile(const std::vector<unsigned char>& bytes, SongEvents& out) {
    out = SongEvents{};
    const unsigned char* data = bytes.data();
    std::size_t size = bytes.size();
    if (size < 14 || std::memcmp(data, "MThd", 4) != 0) return FileResult::Invalid;
    std::uint32_t headerLength = BigEndian(data + 4, 4);
    if (headerLength < 6 || headerLength > size - 8) return FileResult::Invalid;
    std::uint32_t format = BigEndian(data + 8, 2);
    std::uint32_t division = BigEndian(data + 12, 2);
    if (format > 1 || division == 0) return FileResult::Invalid;
    if (division & 0x8000) {
        int fps = -static_cast<std::int8_t>(division >> 8);
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || (division & 0xFF) == 0) return FileResult::Invalid;
    }
    out.timeDivision = division;

    std::vector<Timed> events;
    std::size_t pos = 8 + headerLength;
    bool anyTrack = false;
    while (size - pos >= 8) {
        std::uint32_t length = BigEndian(data + pos + 4, 4);
        std::size_t available = std::min<std::size_t>(length, size - pos - 8);
        if (std::memcmp(data + pos, "MTrk", 4) == 0) {
            std::vector<Timed> track;
            ReadTrack(Reader(data + pos + 8, available), track);
            // One track after the other, each in time order: a stable sort by
            // time keeps the lower track first on equal ticks.
            events.insert(events.end(), track.begin(), track.end());
            anyTrack = true;
        }
        pos += 8 + available;
    }
    if (!anyTrack) return FileResult::Invalid;
    std::stable_sort(events.begin(), events.end(), [](const Timed& a, const Timed& b) { return a.tick < b.tick; });

    out.words.reserve(events.size() * 3);
    std::uint64_t previous = 0;
    for (const Timed& e : events) {
        std::uint64_t delta = e.tick - previous;
        out.words.push_back(static_cast<DWORD>(std::min<std::uint64_t>(delta, 0xFFFFFFFFu)));
        out.words.push_back(0);
        out.words.push_back(e.event);
        previous = e.tick;
    }
    return FileResult::Ok;
}

FileResult LoadMidiFile(const std::string& path, SongEvents& out) {
    bool regular = false;
    int fd = OpenHostFile(path, O_RDONLY, regular);
    if (fd < 0) return errno == EISDIR ? FileResult::Invalid : FileResult::NotFound;
    // A pipe or a device is no song, and must not hold the caller.
    std::FILE* f = regular ? fdopen(fd, "rb") : nullptr;
    if (!f) {
        close(fd);
        return FileResult::Invalid;
    }
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), f)) > 0) {
        if (bytes.size() + got > kMaxFileSize) {
            std::fclose(f);
            return FileResult::Invalid;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return FileResult::Invalid;
    return ParseMidiFile(bytes, out);
}

}  // namespace platform::midi
