// Cuts a General MIDI soundfont down to the whole presets that some songs
// use, for the web page, which would otherwise download six megabytes of
// instruments it never plays. A preset is kept whole (every key, every
// velocity layer, every sample it names), so a kept instrument sounds exactly
// as in the full font whatever notes a song gives it.
//
// Usage: sf2_trim <full.sf2> <trimmed.sf2> <song.mid>...
//
// The presets kept are those FluidSynth selects for the songs: for every
// channel that sounds a note, the bank and program in force then (bank 0 or
// the bank selected with controller 0, and bank 128 on channel 10), the
// default program 0 when none was chosen yet, and, where the font lacks the
// exact bank, the program in bank 0 (or the drum kit 0) FluidSynth falls
// back to.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(std::string("cannot read ") + path);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t Le(const Bytes& b, std::size_t at, int size) {
    if (at + size > b.size()) throw std::runtime_error("the file ends inside a record");
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = v << 8 | b[at + i];
    return v;
}

void PutLe(Bytes& b, std::size_t at, std::uint32_t v, int size) {
    for (int i = 0; i < size; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// ---- The songs -----------------------------------------------------------

using Preset = std::pair<int, int>;  // bank, program

struct MidiEvent {
    std::uint32_t tick;
    std::uint8_t status;
    std::uint8_t d1;
    std::uint8_t d2;
};

std::uint32_t ReadVarLen(const Bytes& b, std::size_t& at, std::size_t end) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        if (at >= end) throw std::runtime_error("a MIDI track ends inside a number");
        std::uint8_t c = b[at++];
        v = v << 7 | (c & 0x7f);
        if (!(c & 0x80)) return v;
    }
    throw std::runtime_error("a MIDI number longer than four bytes");
}

// The channel events of every track, merged in time order (a stable sort, so
// events at one tick keep their track's order, as a player reads them).
std::vector<MidiEvent> ReadSong(const char* path) {
    Bytes b = ReadFile(path);
    if (b.size() < 14 || std::memcmp(b.data(), "MThd", 4) != 0) throw std::runtime_error("not a MIDI file");
    auto be = [&](std::size_t at, int size) {
        if (at + size > b.size()) throw std::runtime_error("the MIDI file is cut short");
        std::uint32_t v = 0;
        for (int i = 0; i < size; ++i) v = v << 8 | b[at + i];
        return v;
    };
    std::size_t at = 8 + be(4, 4);
    std::vector<MidiEvent> events;
    while (at + 8 <= b.size()) {
        std::size_t length = be(at + 4, 4);
        std::size_t i = at + 8, end = std::min(b.size(), i + length);
        bool track = std::memcmp(&b[at], "MTrk", 4) == 0;
        at = i + length;
        if (!track) continue;
        std::uint32_t tick = 0;
        std::uint8_t running = 0;
        while (i < end) {
            tick += ReadVarLen(b, i, end);
            if (i >= end) break;
            std::uint8_t status = b[i];
            if (status == 0xff) {
                if (i + 2 > end) throw std::runtime_error("a MIDI meta event is cut short");
                std::uint8_t type = b[i + 1];
                i += 2;
                i += ReadVarLen(b, i, end);
                if (type == 0x2f) break;  // end of track
                continue;
            }
            if (status == 0xf0 || status == 0xf7) {
                ++i;
                i += ReadVarLen(b, i, end);
                continue;
            }
            if (status & 0x80) {
                running = status;
                ++i;
            } else if (!running) {
                throw std::runtime_error("a MIDI data byte without a status");
            }
            int size = (running & 0xf0) == 0xc0 || (running & 0xf0) == 0xd0 ? 1 : 2;
            if (i + size > end) throw std::runtime_error("a MIDI event is cut short");
            events.push_back({tick, running, b[i], size == 2 ? b[i + 1] : std::uint8_t{0}});
            i += size;
        }
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const MidiEvent& a, const MidiEvent& z) { return a.tick < z.tick; });
    return events;
}

// Bank and program of each channel at each note, as FluidSynth's default
// bank-select mode (GS) reads them: controller 0 chooses the bank of the
// melodic channels, channel 10 plays drum kits from bank 128.
std::set<Preset> PresetsPlayed(const std::vector<MidiEvent>& events) {
    std::set<Preset> used;
    std::array<int, 16> bank{}, program{};
    for (const MidiEvent& e : events) {
        int channel = e.status & 0x0f;
        switch (e.status & 0xf0) {
            case 0xb0:
                if (e.d1 == 0 && channel != 9) bank[channel] = e.d2;
                break;
            case 0xc0: program[channel] = e.d1; break;
            case 0x90:
                if (e.d2 != 0) used.insert({channel == 9 ? 128 : bank[channel], program[channel]});
                break;
            default: break;
        }
    }
    return used;
}

// ---- The soundfont -----------------------------------------------------------

struct Chunk {
    std::size_t data;  // offset of the data in the file
    std::size_t size;
};

// The sub-chunks of a LIST chunk, by id.
std::map<std::string, Chunk> ReadList(const Bytes& b, std::size_t at, std::size_t end) {
    std::map<std::string, Chunk> chunks;
    while (at + 8 <= end) {
        std::string id(reinterpret_cast<const char*>(&b[at]), 4);
        std::size_t size = Le(b, at + 4, 4);
        if (at + 8 + size > end) throw std::runtime_error("chunk " + id + " runs past its list");
        chunks[id] = {at + 8, size};
        at += 8 + size + (size & 1);
    }
    return chunks;
}

// One table of fixed-size records (the last one is the terminal record).
struct Table {
    const Bytes* file;
    Chunk chunk;
    std::size_t recordSize;
    std::size_t Count() const { return chunk.size / recordSize; }
    std::uint32_t Field(std::size_t record, std::size_t offset, int size) const {
        if (record >= Count()) throw std::runtime_error("an index past the end of a soundfont table");
        return Le(*file, chunk.data + record * recordSize + offset, size);
    }
    Bytes Record(std::size_t record) const {
        if (record >= Count()) throw std::runtime_error("an index past the end of a soundfont table");
        auto from = file->begin() + static_cast<std::ptrdiff_t>(chunk.data + record * recordSize);
        return Bytes(from, from + static_cast<std::ptrdiff_t>(recordSize));
    }
};

constexpr int kGenInstrument = 41;
constexpr int kGenSampleId = 53;
constexpr std::size_t kSamplePad = 46;  // zero points after each sample, as the format asks

void Append(Bytes& to, const Bytes& what) { to.insert(to.end(), what.begin(), what.end()); }

void AppendChunk(Bytes& to, const char* id, const Bytes& data) {
    to.insert(to.end(), id, id + 4);
    Bytes size(4);
    PutLe(size, 0, static_cast<std::uint32_t>(data.size()), 4);
    Append(to, size);
    Append(to, data);
    if (data.size() & 1) to.push_back(0);
}

Bytes List(const char* type, const Bytes& body) {
    Bytes data(type, type + 4);
    Append(data, body);
    Bytes out;
    AppendChunk(out, "LIST", data);
    return out;
}

// Copies the zones [firstBag, endBag) of one preset or instrument: their bag
// records, generators and modulators, with the generator that names the
// next level (instrument or sample) renumbered.
void CopyZones(const Table& bags, const Table& gens, const Table& mods, std::size_t firstBag, std::size_t endBag,
               int linkGen, const std::map<std::uint32_t, std::uint32_t>& renumber, Bytes& outBags, Bytes& outGens,
               Bytes& outMods) {
    for (std::size_t bag = firstBag; bag < endBag; ++bag) {
        Bytes record(4);
        PutLe(record, 0, static_cast<std::uint32_t>(outGens.size() / 4), 2);
        PutLe(record, 2, static_cast<std::uint32_t>(outMods.size() / 10), 2);
        Append(outBags, record);
        for (std::uint32_t g = bags.Field(bag, 0, 2); g < bags.Field(bag + 1, 0, 2); ++g) {
            Bytes gen = gens.Record(g);
            if (Le(gen, 0, 2) == static_cast<std::uint32_t>(linkGen)) PutLe(gen, 2, renumber.at(Le(gen, 2, 2)), 2);
            Append(outGens, gen);
        }
        for (std::uint32_t m = bags.Field(bag, 2, 2); m < bags.Field(bag + 1, 2, 2); ++m)
            Append(outMods, mods.Record(m));
    }
}

// The indices named by generator linkGen in zones [firstBag, endBag).
void Linked(const Table& bags, const Table& gens, std::size_t firstBag, std::size_t endBag, int linkGen,
            std::set<std::uint32_t>& into) {
    for (std::size_t bag = firstBag; bag < endBag; ++bag)
        for (std::uint32_t g = bags.Field(bag, 0, 2); g < bags.Field(bag + 1, 0, 2); ++g)
            if (gens.Field(g, 0, 2) == static_cast<std::uint32_t>(linkGen)) into.insert(gens.Field(g, 2, 2));
}

// The terminal record of a table, with its index fields pointing past the
// last real record.
Bytes Terminal(const Table& table, std::size_t indexOffset, std::uint32_t index, int indexSize) {
    Bytes record = table.Record(table.Count() - 1);
    if (indexSize) PutLe(record, indexOffset, index, indexSize);
    return record;
}

// One level of the hierarchy, presets or instruments: the headers kept, each
// pointing at its first zone, then the zones' bags, generators and
// modulators, each list closed by its terminal record.
struct Level {
    Bytes headers, bags, gens, mods;
};

template <typename Items>
Level CopyLevel(const Table& headers, std::size_t bagField, const Table& bags, const Table& gens, const Table& mods,
                const Items& items, int linkGen, const std::map<std::uint32_t, std::uint32_t>& renumber) {
    Level out;
    for (auto item : items) {
        const std::size_t h = static_cast<std::size_t>(item);
        Bytes record = headers.Record(h);
        PutLe(record, bagField, static_cast<std::uint32_t>(out.bags.size() / 4), 2);
        Append(out.headers, record);
        CopyZones(bags, gens, mods, headers.Field(h, bagField, 2), headers.Field(h + 1, bagField, 2), linkGen, renumber,
                  out.bags, out.gens, out.mods);
    }
    Append(out.headers, Terminal(headers, bagField, static_cast<std::uint32_t>(out.bags.size() / 4), 2));
    Bytes bagEnd(4);
    PutLe(bagEnd, 0, static_cast<std::uint32_t>(out.gens.size() / 4), 2);
    PutLe(bagEnd, 2, static_cast<std::uint32_t>(out.mods.size() / 10), 2);
    Append(out.bags, bagEnd);
    Append(out.gens, Terminal(gens, 0, 0, 0));
    Append(out.mods, Terminal(mods, 0, 0, 0));
    return out;
}

Bytes Trim(const Bytes& font, const std::set<Preset>& wanted, std::set<Preset>& kept) {
    if (font.size() < 12 || std::memcmp(font.data(), "RIFF", 4) != 0 || std::memcmp(&font[8], "sfbk", 4) != 0)
        throw std::runtime_error("not a soundfont");
    std::map<std::string, std::map<std::string, Chunk>> lists;
    for (std::size_t at = 12; at + 12 <= font.size();) {
        std::size_t size = Le(font, at + 4, 4);
        if (std::memcmp(&font[at], "LIST", 4) == 0)
            lists[std::string(reinterpret_cast<const char*>(&font[at + 8]), 4)] =
                ReadList(font, at + 12, std::min(font.size(), at + 8 + size));
        at += 8 + size + (size & 1);
    }
    auto& info = lists["INFO"];
    auto& sdta = lists["sdta"];
    auto& pdta = lists["pdta"];
    if (!sdta.count("smpl")) throw std::runtime_error("the soundfont has no samples");
    if (sdta.count("sm24")) throw std::runtime_error("24-bit soundfonts are not handled");
    for (const char* id : {"phdr", "pbag", "pmod", "pgen", "inst", "ibag", "imod", "igen", "shdr"})
        if (!pdta.count(id)) throw std::runtime_error(std::string("the soundfont has no ") + id);
    Table phdr{&font, pdta["phdr"], 38}, pbag{&font, pdta["pbag"], 4}, pmod{&font, pdta["pmod"], 10},
        pgen{&font, pdta["pgen"], 4}, inst{&font, pdta["inst"], 22}, ibag{&font, pdta["ibag"], 4},
        imod{&font, pdta["imod"], 10}, igen{&font, pdta["igen"], 4}, shdr{&font, pdta["shdr"], 46};
    if (phdr.Count() < 1 || inst.Count() < 1 || shdr.Count() < 1) throw std::runtime_error("empty soundfont tables");

    std::map<Preset, std::size_t> byNumber;
    for (std::size_t p = 0; p + 1 < phdr.Count(); ++p) byNumber[{phdr.Field(p, 22, 2), phdr.Field(p, 20, 2)}] = p;
    std::set<std::size_t> presets;
    for (Preset want : wanted) {
        // FluidSynth's fallback for a bank the font lacks: the same program
        // in bank 0, or the first drum kit for a drum bank.
        for (Preset candidate : {want, Preset{want.first == 128 ? 128 : 0, want.first == 128 ? 0 : want.second}}) {
            auto found = byNumber.find(candidate);
            if (found == byNumber.end()) continue;
            presets.insert(found->second);
            kept.insert(candidate);
            break;
        }
    }

    std::set<std::uint32_t> instruments, samples;
    for (std::size_t p : presets)
        Linked(pbag, pgen, phdr.Field(p, 24, 2), phdr.Field(p + 1, 24, 2), kGenInstrument, instruments);
    for (std::uint32_t i : instruments)
        Linked(ibag, igen, inst.Field(i, 20, 2), inst.Field(i + 1, 20, 2), kGenSampleId, samples);
    // A stereo sample brings its other half.
    for (std::set<std::uint32_t> more = samples; !more.empty();) {
        std::set<std::uint32_t> added;
        for (std::uint32_t s : more) {
            std::uint32_t type = shdr.Field(s, 44, 2);
            std::uint32_t link = shdr.Field(s, 42, 2);
            if ((type & 0xe) && link + 1 < shdr.Count() && samples.insert(link).second) added.insert(link);
        }
        more = added;
    }

    std::map<std::uint32_t, std::uint32_t> instrumentNumber, sampleNumber;
    for (std::uint32_t i : instruments) instrumentNumber[i] = static_cast<std::uint32_t>(instrumentNumber.size());
    for (std::uint32_t s : samples) sampleNumber[s] = static_cast<std::uint32_t>(sampleNumber.size());

    // Sample data: each kept sample's points (loops included) and the
    // padding that follows it, in the old order, moved as one piece so that
    // its loop points move with it.
    const Chunk smpl = sdta["smpl"];
    const std::size_t points = smpl.size / 2;
    Bytes outSmpl, outShdr;
    for (std::uint32_t s : samples) {
        std::uint32_t start = shdr.Field(s, 20, 4), end = shdr.Field(s, 24, 4);
        std::uint32_t loopStart = shdr.Field(s, 28, 4), loopEnd = shdr.Field(s, 32, 4);
        std::size_t from = std::min({start, loopStart, end});
        std::size_t past = std::max({end, loopEnd, start});
        if (past > points) throw std::runtime_error("a sample lies outside the sample data");
        std::size_t last = past + kSamplePad;
        std::size_t to = std::min(points, last);
        auto shift = static_cast<std::uint32_t>(outSmpl.size() / 2) - static_cast<std::uint32_t>(from);
        auto begin = font.begin() + static_cast<std::ptrdiff_t>(smpl.data + from * 2);
        outSmpl.insert(outSmpl.end(), begin, begin + static_cast<std::ptrdiff_t>((to - from) * 2));
        outSmpl.resize(outSmpl.size() + (last - to) * 2, 0);  // padding the file itself lacked
        Bytes record = shdr.Record(s);
        for (std::size_t field : {20, 24, 28, 32}) PutLe(record, field, Le(record, field, 4) + shift, 4);
        if (shdr.Field(s, 44, 2) & 0xe) {
            auto link = sampleNumber.find(shdr.Field(s, 42, 2));
            PutLe(record, 42, link == sampleNumber.end() ? 0 : link->second, 2);
        }
        Append(outShdr, record);
    }
    Append(outShdr, Terminal(shdr, 0, 0, 0));

    const Level presetLevel = CopyLevel(phdr, 24, pbag, pgen, pmod, presets, kGenInstrument, instrumentNumber);
    const Level instrumentLevel = CopyLevel(inst, 20, ibag, igen, imod, instruments, kGenSampleId, sampleNumber);

    Bytes infoBody;
    for (const auto& [id, chunk] : info) {
        auto from = font.begin() + static_cast<std::ptrdiff_t>(chunk.data);
        AppendChunk(infoBody, id.c_str(), Bytes(from, from + static_cast<std::ptrdiff_t>(chunk.size)));
    }
    Bytes sdtaBody, pdtaBody;
    AppendChunk(sdtaBody, "smpl", outSmpl);
    AppendChunk(pdtaBody, "phdr", presetLevel.headers);
    AppendChunk(pdtaBody, "pbag", presetLevel.bags);
    AppendChunk(pdtaBody, "pmod", presetLevel.mods);
    AppendChunk(pdtaBody, "pgen", presetLevel.gens);
    AppendChunk(pdtaBody, "inst", instrumentLevel.headers);
    AppendChunk(pdtaBody, "ibag", instrumentLevel.bags);
    AppendChunk(pdtaBody, "imod", instrumentLevel.mods);
    AppendChunk(pdtaBody, "igen", instrumentLevel.gens);
    AppendChunk(pdtaBody, "shdr", outShdr);
    Bytes body(4);
    std::memcpy(body.data(), "sfbk", 4);
    Append(body, List("INFO", infoBody));
    Append(body, List("sdta", sdtaBody));
    Append(body, List("pdta", pdtaBody));
    Bytes out;
    AppendChunk(out, "RIFF", body);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: sf2_trim <full.sf2> <trimmed.sf2> <song.mid>...\n");
        return 2;
    }
    try {
        std::set<Preset> wanted;
        for (int i = 3; i < argc; ++i) {
            std::set<Preset> played = PresetsPlayed(ReadSong(argv[i]));
            wanted.insert(played.begin(), played.end());
        }
        std::set<Preset> kept;
        Bytes trimmed = Trim(ReadFile(argv[1]), wanted, kept);
        std::ofstream out(argv[2], std::ios::binary);
        out.write(reinterpret_cast<const char*>(trimmed.data()), static_cast<std::streamsize>(trimmed.size()));
        if (!out.flush()) throw std::runtime_error(std::string("cannot write ") + argv[2]);
        std::string list;
        for (auto [bank, program] : kept) list += " " + std::to_string(bank) + ":" + std::to_string(program);
        std::printf("%s: %zu bytes, presets (bank:program)%s\n", argv[2], trimmed.size(), list.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sf2_trim: %s\n", e.what());
        return 1;
    }
    return 0;
}
