// Writes the game's song, sample_data/sw5.mid: a light, bouncy tune in C
// major for a long puzzle session. A standard MIDI file of format 1: a tempo
// track and six instrument tracks (lead, marimba, electric piano, pad, bass,
// drums on channel 10), about 100 seconds, built to loop without a seam:
// every track starts its sound at tick 0 and its last notes end exactly at
// the loop point, where the player starts over.
//
// Usage: song_gen <output.mid>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kDivision = 480;  // ticks per quarter note
constexpr int kEighth = kDivision / 2;
constexpr int kSixteenth = kDivision / 4;
constexpr int kBar = kDivision * 4;

// Sections, in bars.
constexpr int kIntroBars = 4;
constexpr int kABars = 16;
constexpr int kBBars = 16;
constexpr int kBridgeBars = 8;
constexpr int kIntro = 0;
constexpr int kA = kIntro + kIntroBars * kBar;
constexpr int kB = kA + kABars * kBar;
constexpr int kBridge = kB + kBBars * kBar;
constexpr int kA2 = kBridge + kBridgeBars * kBar;
constexpr int kEnd = kA2 + kABars * kBar;  // the loop point

// ---- A track of timed MIDI messages, written with running status ----------

struct Message {
    int tick;
    int order;  // at one tick: meta, controllers, note-offs, then note-ons
    int sequence;
    std::vector<std::uint8_t> bytes;
};

class Track {
public:
    explicit Track(int channel = 0) : channel_(channel) {}

    void Meta(int tick, std::uint8_t type, const std::vector<std::uint8_t>& data) {
        std::vector<std::uint8_t> b{0xFF, type};
        AppendVarLength(b, static_cast<std::uint32_t>(data.size()));
        b.insert(b.end(), data.begin(), data.end());
        Add(tick, 0, b);
    }
    void Text(int tick, std::uint8_t type, const std::string& text) {
        Meta(tick, type, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    void Tempo(int tick, double bpm) {
        auto us = static_cast<std::uint32_t>(60000000.0 / bpm + 0.5);
        Meta(tick, 0x51,
             {static_cast<std::uint8_t>(us >> 16), static_cast<std::uint8_t>(us >> 8), static_cast<std::uint8_t>(us)});
    }
    void Program(int tick, int program) { Add(tick, 1, {Status(0xC0), static_cast<std::uint8_t>(program)}); }
    void Control(int tick, int controller, int value) {
        Add(tick, 1, {Status(0xB0), static_cast<std::uint8_t>(controller), static_cast<std::uint8_t>(value)});
    }
    // A note is a note-on and, `length` later, a note-on of velocity 0 (the
    // usual note-off, which lets running status carry whole phrases).
    void Note(int tick, int length, int key, int velocity) {
        if (key < 0 || length <= 0) return;
        Add(tick, 3, {Status(0x90), static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(velocity)});
        Add(tick + length, 2, {Status(0x90), static_cast<std::uint8_t>(key), 0});
    }

    // The track chunk, ending with End of Track at `end`.
    std::vector<std::uint8_t> Chunk(int end) const {
        std::vector<Message> sorted = messages_;
        std::stable_sort(sorted.begin(), sorted.end(), [](const Message& a, const Message& b) {
            if (a.tick != b.tick) return a.tick < b.tick;
            if (a.order != b.order) return a.order < b.order;
            return a.sequence < b.sequence;
        });
        std::vector<std::uint8_t> data;
        int now = 0;
        std::uint8_t running = 0;
        for (const Message& m : sorted) {
            if (m.tick > end) {
                std::fprintf(stderr, "song_gen: event at %d after the loop point %d\n", m.tick, end);
                std::exit(1);
            }
            AppendVarLength(data, static_cast<std::uint32_t>(m.tick - now));
            now = m.tick;
            std::uint8_t status = m.bytes[0];
            if (status < 0xF0 && status == running) {
                data.insert(data.end(), m.bytes.begin() + 1, m.bytes.end());
            } else {
                data.insert(data.end(), m.bytes.begin(), m.bytes.end());
                // After a meta event the next channel message states its
                // status again, as careful writers do.
                running = status < 0xF0 ? status : 0;
            }
        }
        AppendVarLength(data, static_cast<std::uint32_t>(end - now));
        data.insert(data.end(), {0xFF, 0x2F, 0x00});
        std::vector<std::uint8_t> chunk{'M', 'T', 'r', 'k'};
        AppendBigEndian(chunk, static_cast<std::uint32_t>(data.size()), 4);
        chunk.insert(chunk.end(), data.begin(), data.end());
        return chunk;
    }

    static void AppendVarLength(std::vector<std::uint8_t>& out, std::uint32_t v) {
        std::uint8_t bytes[5];
        int n = 0;
        bytes[n++] = v & 0x7F;
        while (v >>= 7) bytes[n++] = static_cast<std::uint8_t>(0x80 | (v & 0x7F));
        while (n > 0) out.push_back(bytes[--n]);
    }
    static void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }

private:
    std::uint8_t Status(int kind) const { return static_cast<std::uint8_t>(kind | channel_); }
    void Add(int tick, int order, std::vector<std::uint8_t> bytes) {
        messages_.push_back(Message{tick, order, static_cast<int>(messages_.size()), std::move(bytes)});
    }

    int channel_;
    std::vector<Message> messages_;
};

// ---- Notes and chords -------------------------------------------------------

// "C5" is MIDI key 72 (middle C is C4); "F#4", "Bb3"; "r" is a rest (-1).
int Key(const std::string& name) {
    if (name == "r") return -1;
    static const int steps[] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    int key = steps[name[0] - 'A'];
    std::size_t i = 1;
    if (i < name.size() && name[i] == '#')
        key++, i++;
    else if (i < name.size() && name[i] == 'b')
        key--, i++;
    return key + 12 * (std::atoi(name.c_str() + i) + 1);
}

// A phrase: "E5:1 G5:1 r:1 ..." with lengths in eighth notes.
struct Step {
    int key;
    int eighths;
};
std::vector<Step> Phrase(const std::string& text) {
    std::vector<Step> steps;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == ' ') pos++;
        if (pos >= text.size()) break;
        std::size_t colon = text.find(':', pos);
        std::size_t space = text.find(' ', colon);
        if (space == std::string::npos) space = text.size();
        steps.push_back(Step{Key(text.substr(pos, colon - pos)), std::atoi(text.c_str() + colon + 1)});
        pos = space;
    }
    return steps;
}

struct Chord {
    int root;                // pitch class
    std::vector<int> tones;  // semitones above the root
};
Chord ChordNamed(const std::string& name) {
    int root = Key(name.substr(0, name[1] == 'b' || name[1] == '#' ? 2 : 1) + "0") % 12;
    std::string kind = name.substr(name[1] == 'b' || name[1] == '#' ? 2 : 1);
    if (kind == "m") return {root, {0, 3, 7}};
    if (kind == "7") return {root, {0, 4, 7, 10}};
    if (kind == "sus") return {root, {0, 5, 7}};
    return {root, {0, 4, 7}};
}

// Every bar's chord, one entry per bar.
std::vector<std::string> Bars(const std::string& text) {
    std::vector<std::string> bars;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == ' ') pos++;
        std::size_t end = text.find(' ', pos);
        if (end == std::string::npos) end = text.size();
        if (end > pos) bars.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return bars;
}

const std::vector<std::string> kIntroChords = Bars("C F C G");
const std::vector<std::string> kAChords = Bars("C G Am F C G F G C G Am F Dm G C C");
const std::vector<std::string> kBChords = Bars("F G Em Am F G C C F G Em Am Dm Em F G");
const std::vector<std::string> kBridgeChords = Bars("Am F C G Am F Dm G");

struct Section {
    int start;
    const std::vector<std::string>* chords;
    char name;
};
const Section kSections[] = {
    {kIntro, &kIntroChords, 'I'},   {kA, &kAChords, 'A'},  {kB, &kBChords, 'B'},
    {kBridge, &kBridgeChords, 'C'}, {kA2, &kAChords, 'D'},
};

// Arpeggios: chord tones counted upward from the root, which is the first
// key of its name at or above `floor`.
int RootPosition(const Chord& c, int degree, int floor) {
    int root = floor + (c.root - floor % 12 + 12) % 12;
    int n = static_cast<int>(c.tones.size());
    return root + c.tones[static_cast<std::size_t>(degree % n)] + 12 * (degree / n);
}

// Held chords: each tone in the octave from `floor` up, so that the chords
// move by the smallest steps.
int CloseVoicing(const Chord& c, int tone, int floor) {
    int pc = (c.root + c.tones[static_cast<std::size_t>(tone)]) % 12;
    return floor + (pc - floor % 12 + 12) % 12;
}

// ---- The parts ----------------------------------------------------------------

void PlayPhrase(Track& t, int start, int bars, const std::string& text, int velocity, int accentEvery = 4) {
    int tick = start;
    int index = 0;
    for (const Step& s : Phrase(text)) {
        int length = s.eighths * kEighth;
        // Notes on the beat a little stronger; a hair short of full length
        // so repeated notes are heard as such.
        int v = velocity + ((tick - start) % (accentEvery * kEighth / 2) == 0 ? 8 : 0) - (index % 3 == 2 ? 4 : 0);
        t.Note(tick, length - kSixteenth / 4, s.key, std::min(v, 127));
        tick += length;
        index++;
    }
    if (tick != start + bars * kBar) {
        std::fprintf(stderr, "song_gen: a phrase at %d lasts %d ticks, not %d bars\n", start, tick - start, bars);
        std::exit(1);
    }
}

Track Conductor() {
    Track t;
    t.Text(0, 0x03, "TUMBLA");
    t.Meta(0, 0x58, {4, 2, 24, 8});  // 4/4
    t.Meta(0, 0x59, {0, 0});         // C major
    t.Tempo(kIntro, 140);
    t.Text(kIntro, 0x06, "Intro");
    t.Text(kA, 0x06, "A");
    t.Text(kB, 0x06, "B");
    // The bridge takes a breath: a little slower, then back up to speed.
    t.Tempo(kBridge, 132);
    t.Text(kBridge, 0x06, "Bridge");
    t.Tempo(kA2, 140);
    t.Text(kA2, 0x06, "A again");
    return t;
}

Track Lead() {
    Track t(0);
    t.Text(0, 0x03, "Lead");
    t.Program(0, 79);  // ocarina
    t.Control(0, 7, 100);
    t.Control(0, 10, 64);
    t.Control(0, 91, 48);
    const char* a =
        "E5:1 G5:1 r:1 G5:1 A5:1 G5:1 E5:2  D5:1 G5:1 r:1 G5:1 B5:1 A5:1 G5:2 "
        "C6:2 B5:1 A5:1 E5:2 A5:2  A5:3 G5:1 F5:2 C5:2 "
        "E5:1 G5:1 r:1 G5:1 C6:1 B5:1 G5:2  B5:1 D6:1 r:1 B5:1 A5:1 G5:1 D5:2 "
        "F5:1 A5:1 C6:2 A5:1 G5:1 F5:2  G5:4 r:2 D5:1 E5:1 "
        "E5:1 G5:1 r:1 G5:1 A5:1 G5:1 E5:2  D5:1 G5:1 r:1 G5:1 B5:1 A5:1 G5:2 "
        "C6:2 B5:1 A5:1 E6:2 C6:2  A5:3 C6:1 A5:2 F5:2 "
        "F5:1 A5:1 D6:2 C6:1 A5:1 F5:2  G5:1 B5:1 D6:2 C6:1 B5:1 G5:1 A5:1 "
        "C6:4 G5:1 E5:1 C5:2  C5:2 r:4 G4:1 A4:1";
    const char* b =
        "C5:3 A4:1 C5:2 F5:2  D5:3 B4:1 D5:2 G5:2  E5:2 G5:2 B5:3 A5:1  A5:4 E5:2 C5:2 "
        "F5:3 E5:1 F5:2 A5:2  G5:3 F5:1 G5:2 B5:2  C6:6 B5:1 A5:1  G5:4 r:2 G4:1 A4:1 "
        "C5:3 A4:1 C5:2 F5:2  D5:3 B4:1 D5:2 G5:2  E5:2 G5:2 B5:3 C6:1  C6:2 B5:1 A5:1 E5:4 "
        "F5:2 A5:2 D6:2 C6:2  B5:2 G5:2 E5:2 G5:2  A5:2 C6:2 F6:2 E6:1 D6:1  D6:4 B5:2 G5:2";
    const char* bridge =
        "E5:2 A5:2 C6:2 B5:2  A5:4 F5:2 G5:2  E5:2 G5:2 C6:2 D6:2  B5:6 r:2 "
        "C6:2 B5:2 A5:2 E5:2  F5:2 A5:2 C6:2 A5:2  D6:3 C6:1 A5:2 F5:2  G5:4 B5:2 D6:2";
    const char* a2 =
        "E5:1 G5:1 r:1 G5:1 A5:1 G5:1 C6:2  B5:1 G5:1 r:1 G5:1 B5:1 D6:1 B5:2 "
        "C6:2 E6:1 C6:1 A5:2 C6:2  A5:3 G5:1 F5:1 A5:1 C6:2 "
        "E6:1 D6:1 C6:1 G5:1 E5:1 G5:1 C6:2  D6:1 B5:1 G5:1 D5:1 G5:1 B5:1 D6:2 "
        "F6:2 E6:1 D6:1 C6:2 A5:2  B5:2 C6:1 D6:1 G5:4 "
        "E5:1 G5:1 r:1 G5:1 A5:1 G5:1 E5:2  D5:1 G5:1 r:1 G5:1 B5:1 A5:1 G5:2 "
        "C6:2 B5:1 A5:1 E6:2 C6:2  A5:3 C6:1 F6:2 A5:2 "
        "F5:1 A5:1 D6:2 C6:1 A5:1 F5:2  G5:1 B5:1 D6:2 F6:1 E6:1 D6:1 B5:1 "
        "C6:3 G5:1 E5:2 G5:2  C6:2 r:6";
    PlayPhrase(t, kA, kABars, a, 88);
    PlayPhrase(t, kB, kBBars, b, 84);
    // The bridge's melody on the vibraphone, a shade quieter.
    t.Program(kBridge, 11);
    t.Control(kBridge, 7, 92);
    PlayPhrase(t, kBridge, kBridgeBars, bridge, 80);
    t.Program(kA2, 79);
    t.Control(kA2, 7, 104);
    PlayPhrase(t, kA2, kABars, a2, 90);
    return t;
}

// Broken chords in eighths, on the marimba.
Track Marimba() {
    Track t(1);
    t.Text(0, 0x03, "Marimba");
    t.Program(0, 12);
    t.Control(0, 7, 84);
    t.Control(0, 10, 40);
    t.Control(0, 91, 40);
    static const int bounce[8] = {0, 2, 3, 4, 3, 2, 3, 1};  // chord degrees over two octaves
    static const int flowing[8] = {0, 1, 2, 3, 4, 3, 2, 1};
    for (const Section& s : kSections) {
        if (s.name == 'B') t.Control(s.start, 7, 76);  // a busier lead: the marimba steps back
        if (s.name == 'C') t.Control(s.start, 7, 88);
        if (s.name == 'D') t.Control(s.start, 7, 84);
        for (std::size_t bar = 0; bar < s.chords->size(); ++bar) {
            Chord c = ChordNamed((*s.chords)[bar]);
            int barStart = s.start + static_cast<int>(bar) * kBar;
            if (s.name == 'C') {  // the bridge: quarter notes, gently
                for (int i = 0; i < 4; ++i)
                    t.Note(barStart + i * kDivision, kDivision - 20, RootPosition(c, flowing[i * 2], 57), 64);
                continue;
            }
            const int* pattern = s.name == 'B' ? flowing : bounce;
            for (int i = 0; i < 8; ++i)
                t.Note(barStart + i * kEighth, kEighth - 20, RootPosition(c, pattern[i], 60), i % 2 == 0 ? 76 : 62);
        }
    }
    return t;
}

// Short chord stabs off the beat: the bounce.
Track Piano() {
    Track t(2);
    t.Text(0, 0x03, "Electric piano");
    t.Program(0, 4);
    t.Control(0, 7, 72);
    t.Control(0, 10, 88);
    t.Control(0, 91, 36);
    for (const Section& s : kSections) {
        if (s.name == 'C') continue;  // the bridge belongs to the pad
        for (std::size_t bar = 0; bar < s.chords->size(); ++bar) {
            Chord c = ChordNamed((*s.chords)[bar]);
            int barStart = s.start + static_cast<int>(bar) * kBar;
            for (int beat = 0; beat < 4; ++beat) {
                int tick, length;
                if (s.name == 'B') {  // B: longer chords on 2 and 4
                    if (beat % 2 == 0) continue;
                    tick = barStart + beat * kDivision;
                    length = kDivision - 40;
                } else {
                    tick = barStart + beat * kDivision + kEighth;
                    length = kSixteenth;
                }
                for (std::size_t n = 0; n < 3; ++n) t.Note(tick, length, CloseVoicing(c, static_cast<int>(n), 60), 60);
            }
        }
    }
    return t;
}

// Held chords under everything, swelling in the bridge.
Track Pad() {
    Track t(3);
    t.Text(0, 0x03, "Pad");
    t.Program(0, 89);  // warm pad
    t.Control(0, 7, 60);
    t.Control(0, 10, 64);
    t.Control(0, 91, 64);
    t.Control(0, 93, 40);
    for (const Section& s : kSections) {
        if (s.name == 'I') continue;
        int velocity = s.name == 'C' ? 72 : 56;
        for (std::size_t bar = 0; bar < s.chords->size(); ++bar) {
            Chord c = ChordNamed((*s.chords)[bar]);
            int barStart = s.start + static_cast<int>(bar) * kBar;
            for (std::size_t n = 0; n < c.tones.size() && n < 3; ++n)
                t.Note(barStart, kBar, CloseVoicing(c, static_cast<int>(n), 52), velocity);
        }
    }
    // The swell into the bridge and back.
    for (int i = 0; i <= 8; ++i) t.Control(kBridge + i * kEighth, 7, 60 + i * 5);
    t.Control(kA2, 7, 60);
    return t;
}

Track Bass() {
    Track t(4);
    t.Text(0, 0x03, "Bass");
    t.Program(0, 33);  // fingered bass
    t.Control(0, 7, 104);
    t.Control(0, 10, 64);
    t.Control(0, 91, 20);
    for (const Section& s : kSections) {
        for (std::size_t bar = 0; bar < s.chords->size(); ++bar) {
            Chord c = ChordNamed((*s.chords)[bar]);
            int barStart = s.start + static_cast<int>(bar) * kBar;
            int root = RootPosition(c, 0, 36);
            int fifth = RootPosition(c, 2, 36);
            struct Hit {
                int at, length, key, velocity;
            };
            std::vector<Hit> hits;
            if (s.name == 'C') {  // half notes in the bridge
                hits = {{0, 4, root, 84}, {4, 4, fifth, 76}};
            } else if (s.name == 'B') {
                hits = {{0, 2, root, 92}, {2, 2, fifth, 80}, {4, 2, root + 12, 86}, {6, 2, fifth, 80}};
            } else {
                hits = {{0, 3, root, 96},
                        {3, 1, root + 12, 84},
                        {4, 2, fifth, 88},
                        {6, 1, root, 84},
                        {7, 1, root + 12, 78}};
            }
            for (const Hit& h : hits)
                t.Note(barStart + h.at * kEighth, h.length * kEighth - (h.at + h.length == 8 ? 0 : 30), h.key,
                       h.velocity);
        }
    }
    return t;
}

Track Drums() {
    Track t(9);
    t.Text(0, 0x03, "Drums");
    t.Program(0, 0);
    t.Control(0, 7, 100);
    t.Control(0, 10, 64);
    t.Control(0, 91, 30);
    enum {
        Kick = 36,
        SideStick = 37,
        Snare = 38,
        Clap = 39,
        ClosedHat = 42,
        OpenHat = 46,
        Crash = 49,
        Shaker = 70,
        LowTom = 45,
        MidTom = 47,
        HighTom = 50
    };
    auto hit = [&](int tick, int key, int velocity) { t.Note(tick, kSixteenth, key, velocity); };
    for (const Section& s : kSections) {
        int bars = static_cast<int>(s.chords->size());
        hit(s.start, Crash, s.name == 'C' ? 70 : 96);
        for (int bar = 0; bar < bars; ++bar) {
            int b = s.start + bar * kBar;
            bool last = bar == bars - 1;
            if (s.name == 'C') {  // half time: kick, side stick, shaker
                hit(b, Kick, 88);
                hit(b + 2 * kDivision + kEighth, Kick, 64);
                hit(b + kDivision, SideStick, 70);
                hit(b + 3 * kDivision, SideStick, 74);
                for (int i = 0; i < 8; ++i) hit(b + i * kEighth, Shaker, i % 2 ? 44 : 56);
                continue;
            }
            hit(b, Kick, 100);
            hit(b + kDivision + kEighth, Kick, 72);
            hit(b + 2 * kDivision, Kick, 92);
            hit(b + kDivision, Snare, 90);
            if (!last) hit(b + 3 * kDivision, Snare, 94);
            if (s.name == 'B') hit(b + 3 * kDivision, Clap, 70);
            for (int i = 0; i < 8; ++i) {
                bool open = i == 7 && bar % 2 == 1 && !last;
                if (last && i >= 6) continue;
                hit(b + i * kEighth, open ? OpenHat : ClosedHat, open ? 64 : (i % 2 ? 52 : 70));
            }
            if (last) {  // a fill into the next section
                int f = b + 3 * kDivision;
                const int toms[4] = {HighTom, MidTom, LowTom, Snare};
                for (int i = 0; i < 4; ++i) hit(f + i * kSixteenth, toms[i], 70 + 6 * i);
            }
        }
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: song_gen <output.mid>\n");
        return 2;
    }
    std::vector<Track> tracks = {Conductor(), Lead(), Marimba(), Piano(), Pad(), Bass(), Drums()};
    std::vector<std::uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    Track::AppendBigEndian(file, 1, 2);  // format 1
    Track::AppendBigEndian(file, static_cast<std::uint32_t>(tracks.size()), 2);
    Track::AppendBigEndian(file, kDivision, 2);
    for (const Track& t : tracks) {
        std::vector<std::uint8_t> chunk = t.Chunk(kEnd);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
