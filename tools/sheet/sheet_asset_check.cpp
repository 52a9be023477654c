// Checks the committed sprite sheet and icon for what the game relies on:
// the file formats, colours that survive matching to the display palette,
// every sprite present at its place and nothing spilled elsewhere, opaque
// tiles and panel parts, legible fields.
// Usage: sheet_asset_check <sprites.bmp> <tumbla.ico>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "bitmap8.h"

namespace {

using namespace sheet;

int failures = 0;

// The colour the game keys sprites on: red 0, green 1, blue 0.
constexpr Rgb kTransparent{0, 1, 0};

#define CHECK(cond, ...)                                                            \
    do {                                                                            \
        if (!(cond)) {                                                              \
            ++failures;                                                             \
            std::fprintf(stderr, "%s:%d: failed: %s: ", __FILE__, __LINE__, #cond); \
            std::fprintf(stderr, __VA_ARGS__);                                      \
            std::fputc('\n', stderr);                                               \
        }                                                                           \
    } while (0)

struct Box {
    int x, y, w, h;
};

// The sheet map, written out again here rather than shared with the
// generator, so that a slip in either shows up.
std::vector<std::pair<std::string, Box>> SheetMap() {
    std::vector<std::pair<std::string, Box>> map;
    map.push_back({"large font", {0, 0, 512, 48}});
    map.push_back({"small font", {512, 0, 128, 18}});
    for (int k = 0; k < 8; ++k) {
        const std::string n = std::to_string(k);
        map.push_back({"tile " + n, {160 + 16 * k, 80, 16, 16}});
        map.push_back({"small burst " + n, {256 + 16 * k, 48, 16, 16}});
        map.push_back({"large burst " + n, {32 * k, 48, 32, 32}});
        map.push_back({"debris " + n, {256 + 16 * k, 64, 16, 16}});
        map.push_back({"star " + n, {512 + 16 * k, 432, 16, 16}});
        map.push_back({"figure " + n, {512 + 16 * k, 400, 16, 16}});
    }
    for (int k = 0; k < 4; ++k) map.push_back({"entry wave " + std::to_string(k), {160, 112 + 16 * k, 64, 16}});
    for (int k = 0; k < 3; ++k) {
        map.push_back({"meter segment " + std::to_string(k), {528 + 4 * k, 32, 4, 16}});
        map.push_back({"orbit body " + std::to_string(k), {368 + 48 * k, 432, 48, 48}});
    }
    map.push_back({"panel frame", {0, 80, 160, 320}});
    return map;
}

struct Sheet {
    Image8 image;
    Palette colours{};
    Palette display = DisplayPalette();
    int key = 0;  // display index the transparent colour lands on

    Rgb At(int x, int y) const { return colours[image.Get(x, y)]; }
    bool Clear(int x, int y) const { return At(x, y) == kTransparent; }
    int Opaque(const Box& b) const {
        int n = 0;
        for (int y = b.y; y < b.y + b.h; ++y)
            for (int x = b.x; x < b.x + b.w; ++x) n += Clear(x, y) ? 0 : 1;
        return n;
    }
    // A fingerprint of a rectangle's pixels, to tell frames apart.
    std::uint64_t Hash(const Box& b) const {
        std::uint64_t h = 14695981039346656037ull;
        for (std::uint8_t p : Pixels(b)) h = (h ^ p) * 1099511628211ull;
        return h;
    }
    std::vector<std::uint8_t> Pixels(const Box& b) const {
        std::vector<std::uint8_t> out;
        for (int y = b.y; y < b.y + b.h; ++y)
            for (int x = b.x; x < b.x + b.w; ++x) out.push_back(image.Get(x, y));
        return out;
    }
};

int Luma(Rgb c) { return (299 * c.r + 587 * c.g + 114 * c.b) / 1000; }

void CheckSheetFile(const std::vector<std::uint8_t>& bytes) {
    CHECK(bytes.size() == 14 + 40 + 1024 + 640 * 480, "file size %zu", bytes.size());
    if (bytes.size() < 54) return;
    CHECK(bytes[0] == 'B' && bytes[1] == 'M', "signature");
    CHECK(GetU32(bytes, 2) == bytes.size(), "bfSize %u", GetU32(bytes, 2));
    CHECK(GetU32(bytes, 10) == 14 + 40 + 1024, "bfOffBits %u", GetU32(bytes, 10));
    CHECK(GetU32(bytes, 14) == 40, "header size %u", GetU32(bytes, 14));
    CHECK(GetU32(bytes, 18) == 640 && GetU32(bytes, 22) == 480, "size %ux%u (positive height: bottom-up)",
          GetU32(bytes, 18), GetU32(bytes, 22));
    CHECK(GetU16(bytes, 26) == 1 && GetU16(bytes, 28) == 8, "planes %u, bits %u", GetU16(bytes, 26), GetU16(bytes, 28));
    CHECK(GetU32(bytes, 30) == 0, "compression %u", GetU32(bytes, 30));
    CHECK(GetU32(bytes, 46) == 256 || GetU32(bytes, 46) == 0, "colours used %u", GetU32(bytes, 46));
}

void CheckColours(const Sheet& s) {
    std::set<int> used(s.image.pixels.begin(), s.image.pixels.end());
    bool keyUsed = false;
    for (int i : used) {
        const Rgb c = s.colours[i];
        if (c == kTransparent) {
            keyUsed = true;
            continue;
        }
        // Loading matches each colour to the nearest display entry: it must
        // be that very colour, and must not be the one the key lands on.
        const int match = NearestIndex(s.display, c);
        CHECK(s.display[match] == c, "table entry %d (%d,%d,%d) is not a display colour", i, c.r, c.g, c.b);
        CHECK(match != s.key, "table entry %d (%d,%d,%d) would turn transparent", i, c.r, c.g, c.b);
    }
    CHECK(keyUsed, "the transparent colour (0,1,0) is never used");
}

void CheckEverythingInPlace(const Sheet& s) {
    const auto map = SheetMap();
    for (const auto& [name, b] : map) CHECK(s.Opaque(b) > 0, "%s is empty", name.c_str());
    int stray = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            bool covered = false;
            for (const auto& [name, b] : map)
                covered = covered || (x >= b.x && y >= b.y && x < b.x + b.w && y < b.y + b.h);
            if (!covered && !s.Clear(x, y)) ++stray;
        }
    CHECK(stray == 0, "%d opaque pixels outside every sprite", stray);
}

void CheckFonts(const Sheet& s) {
    for (int code = 32; code < 127; ++code) {
        const Box large{(code - 32) % 32 * 16, (code - 32) / 32 * 16, 16, 16};
        const Box small{512 + (code - 32) % 32 * 4, (code - 32) / 32 * 6, 4, 6};
        const bool blank = code == ' ';
        CHECK((s.Opaque(large) == 0) == blank, "large glyph %d", code);
        if (code < 'i' || code > 'n') CHECK((s.Opaque(small) == 0) == blank, "small glyph %d", code);
    }
    // The lamps "i" to "n": plain swatches of red, green, blue and their dark kinds.
    const char* names[6] = {"red", "green", "blue", "dark red", "dark green", "dark blue"};
    for (int k = 0; k < 6; ++k) {
        const Box b{512 + ('i' - 32 + k) % 32 * 4, ('i' - 32) / 32 * 6, 4, 6};
        std::set<std::uint8_t> inks;
        for (std::uint8_t p : s.Pixels(b))
            if (s.colours[p] != kTransparent) inks.insert(p);
        CHECK(inks.size() == 1 && s.Opaque(b) >= 12, "lamp %s is not one plain swatch", names[k]);
        if (inks.size() != 1) continue;
        const Rgb c = s.colours[*inks.begin()];
        const int channel[3] = {c.r, c.g, c.b};
        const int main = k % 3, level = channel[main];
        CHECK(channel[(main + 1) % 3] == 0 && channel[(main + 2) % 3] == 0, "lamp %s is not pure", names[k]);
        CHECK(k < 3 ? level == 255 : (level >= 96 && level <= 192), "lamp %s level %d", names[k], level);
    }
}

void CheckTiles(const Sheet& s) {
    std::set<std::uint64_t> distinct;
    for (int k = 0; k < 8; ++k) {
        const Box b{160 + 16 * k, 80, 16, 16};
        // Tiles are painted into the well image, whose key is black: any
        // hole or near-black pixel would show the frame through a block.
        CHECK(s.Opaque(b) == 256, "tile %d has transparent pixels", k);
        distinct.insert(s.Hash(b));
    }
    CHECK(distinct.size() == 8, "tiles are not all different");
}

void CheckPanel(const Sheet& s) {
    const int px = 0, py = 80;
    CHECK(s.Opaque({px, py, 160, 320}) == 160 * 320, "panel frame has holes");
    // The well's interior shows through empty cells: dark blue.
    int blue = 0;
    for (int y = 32; y < 288; ++y)
        for (int x = 16; x < 144; ++x) {
            const Rgb c = s.At(px + x, py + y);
            blue += (c.b > c.r && c.b > c.g && Luma(c) < 80) ? 1 : 0;
        }
    CHECK(blue > 128 * 256 * 9 / 10, "well interior is not dark blue (%d pixels)", blue);
    // Numbers and lamps are drawn onto plain dark grounds with room round them.
    struct Field {
        const char* name;
        int x, y, chars;
    };
    const Field fields[4] = {
        {"stage", 38, 310, 2}, {"score", 72, 310, 8}, {"pending", 118, 310, 4}, {"panel text", 116, 21, 6}};
    const Rgb glyph = s.At(512 + ('8' - 32) % 32 * 4, ('8' - 32) / 32 * 6);
    for (const Field& f : fields) {
        const Box b{px + f.x - 1, py + f.y - 1, f.chars * 4 + 1, 7};
        std::set<std::uint8_t> ground;
        for (std::uint8_t p : s.Pixels(b)) ground.insert(p);
        CHECK(ground.size() == 1, "%s field is not one plain colour", f.name);
        const Rgb c = s.colours[*ground.begin()];
        CHECK(s.colours[*ground.begin()] != kTransparent && Luma(c) < 40, "%s field is not dark", f.name);
        CHECK(Luma(glyph) - Luma(c) > 150, "digits do not stand out in the %s field", f.name);
    }
    // The meter groove under all sixteen segments.
    for (int seg = 0; seg < 16; ++seg)
        CHECK(s.Opaque({px + 149, py + 272 - 16 * seg, 4, 16}) == 64, "meter groove at segment %d", seg);
}

void CheckMeterSegments(const Sheet& s) {
    for (int k = 0; k < 3; ++k) {
        const Box b{528 + 4 * k, 32, 4, 16};
        CHECK(s.Opaque(b) == 64, "meter segment %d has holes", k);
        const Rgb c = s.At(b.x + 1, b.y + 5);  // the lit face
        const bool red = c.r > 200 && c.g<80, yellow = c.r> 200 && c.g > 200 && c.b<80, green = c.g> 200 && c.r < 80;
        CHECK(k == 0 ? red : k == 1 ? yellow : green, "meter segment %d colour (%d,%d,%d)", k, c.r, c.g, c.b);
    }
}

void CheckAnimations(const Sheet& s) {
    struct Run {
        const char* name;
        int x, y, dx, dy, w, h, frames;
    };
    // clang-format off
    const Run runs[] = {
        {"small burst", 256, 48, 16, 0, 16, 16, 8}, {"large burst", 0, 48, 32, 0, 32, 32, 8},
        {"debris", 256, 64, 16, 0, 16, 16, 8},      {"star", 512, 432, 16, 0, 16, 16, 8},
        {"figure", 512, 400, 16, 0, 16, 16, 8},     {"entry wave", 160, 112, 0, 16, 64, 16, 4},
        {"orbit body", 368, 432, 48, 0, 48, 48, 3},
    };
    // clang-format on
    for (const Run& r : runs) {
        std::set<std::uint64_t> distinct;
        for (int k = 0; k < r.frames; ++k) {
            const Box b{r.x + r.dx * k, r.y + r.dy * k, r.w, r.h};
            distinct.insert(s.Hash(b));
            CHECK(s.Opaque(b) < r.w * r.h, "%s %d has no transparent surround", r.name, k);
        }
        CHECK(static_cast<int>(distinct.size()) == r.frames, "%s frames repeat", r.name);
    }
    // Stars grow from the smallest to the largest.
    for (int k = 1; k < 8; ++k) {
        const int before = s.Opaque({512 + 16 * (k - 1), 432, 16, 16}), now = s.Opaque({512 + 16 * k, 432, 16, 16});
        CHECK(now >= before, "star %d (%d pixels) is smaller than star %d (%d)", k, now, k - 1, before);
    }
}

void CheckIcon(const std::vector<std::uint8_t>& bytes) {
    CHECK(bytes.size() >= 6 + 2 * 16, "icon too short");
    if (bytes.size() < 6 + 2 * 16) return;
    CHECK(GetU16(bytes, 0) == 0 && GetU16(bytes, 2) == 1, "not an icon file");
    CHECK(GetU16(bytes, 4) == 2, "%u images", GetU16(bytes, 4));
    std::set<int> sizes;
    for (std::size_t i = 0; i < GetU16(bytes, 4) && i < 2; ++i) {
        const std::size_t e = 6 + 16 * i;
        const int size = bytes[e] == 0 ? 256 : bytes[e];
        sizes.insert(size);
        const std::uint32_t length = GetU32(bytes, e + 8), at = GetU32(bytes, e + 12);
        const std::uint32_t bits = GetU16(bytes, e + 6);
        CHECK(bytes[e + 1] == bytes[e] && GetU16(bytes, e + 4) == 1, "image %zu entry", i);
        CHECK(bits == 4 || bits == 8, "image %zu has %u bits", i, bits);
        CHECK(at + static_cast<std::uint64_t>(length) <= bytes.size(), "image %zu lies outside the file", i);
        if (at + static_cast<std::uint64_t>(length) > bytes.size() || length < 40) continue;
        CHECK(GetU32(bytes, at) == 40 && GetU32(bytes, at + 4) == static_cast<std::uint32_t>(size) &&
                  GetU32(bytes, at + 8) == static_cast<std::uint32_t>(2 * size) && GetU16(bytes, at + 14) == bits,
              "image %zu header", i);
        const std::uint32_t colourStride = (size * bits + 31) / 32 * 4, maskStride = (size + 31) / 32 * 4;
        const std::uint32_t expected = 40 + 4 * (1u << bits) + (colourStride + maskStride) * size;
        CHECK(length == expected, "image %zu is %u bytes, not %u", i, length, expected);
        if (length != expected) continue;
        int transparent = 0;
        const std::uint32_t mask = at + expected - maskStride * size;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) transparent += (bytes[mask + y * maskStride + x / 8] >> (7 - x % 8)) & 1;
        CHECK(transparent > 0 && transparent < size * size * 3 / 4, "image %zu: %d transparent pixels", i, transparent);
    }
    CHECK(sizes == std::set<int>({16, 32}), "icon sizes");
}

void CheckDecoderRefusesBrokenFiles(const std::vector<std::uint8_t>& good) {
    std::string why;
    CHECK(DecodeBmp8(good, why).has_value(), "the sheet does not decode: %s", why.c_str());
    for (std::size_t cut : {std::size_t{0}, std::size_t{20}, std::size_t{100}, good.size() - 1}) {
        const std::vector<std::uint8_t> shortened(good.begin(), good.begin() + static_cast<long>(cut));
        CHECK(!DecodeBmp8(shortened, why).has_value(), "a file cut at %zu decodes", cut);
    }
    std::vector<std::uint8_t> huge = good;
    huge[18] = 0xFF;  // width 0x...FF: far beyond the data
    huge[21] = 0x7F;
    CHECK(!DecodeBmp8(huge, why).has_value(), "an oversized width decodes");
    std::vector<std::uint8_t> tall = good;
    tall[22] = 0xE8;  // 1000 rows, more than the file holds
    tall[23] = 0x03;
    CHECK(!DecodeBmp8(tall, why).has_value(), "a height beyond the data decodes");
    std::vector<std::uint8_t> table = good;
    table[46] = 0x01;  // 257 colours
    table[47] = 0x01;
    CHECK(!DecodeBmp8(table, why).has_value(), "an oversized colour table decodes");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <sprites.bmp> <tumbla.ico>\n", argc > 0 ? argv[0] : "sheet_asset_check");
        return 2;
    }
    const auto sheetBytes = ReadFile(argv[1]);
    const auto iconBytes = ReadFile(argv[2]);
    if (!sheetBytes || !iconBytes) {
        std::fprintf(stderr, "sheet_asset_check: cannot read %s\n", !sheetBytes ? argv[1] : argv[2]);
        return 1;
    }
    CheckSheetFile(*sheetBytes);
    CheckIcon(*iconBytes);
    CheckDecoderRefusesBrokenFiles(*sheetBytes);
    std::string why;
    auto decoded = DecodeBmp8(*sheetBytes, why);
    if (decoded && decoded->image.width == 640 && decoded->image.height == 480) {
        Sheet s;
        s.image = decoded->image;
        s.colours = decoded->colours;
        s.key = NearestIndex(s.display, kTransparent);
        CheckColours(s);
        CheckEverythingInPlace(s);
        CheckFonts(s);
        CheckTiles(s);
        CheckPanel(s);
        CheckMeterSegments(s);
        CheckAnimations(s);
    } else {
        CHECK(false, "sheet does not decode as 640x480: %s", why.c_str());
    }
    if (failures) std::fprintf(stderr, "%d checks failed\n", failures);
    return failures ? 1 : 0;
}
