// Composes a sample play frame from a sprite sheet, the way the game draws
// one, so the artwork can be judged in place: the panel with locked blocks,
// a falling piece, the numbers in their fields, the meter, and the effects.
// Usage: sheet_mockup <sprites.bmp> <frame.bmp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bitmap8.h"
#include "sheet_map.h"

namespace {

using namespace sheet;

struct Composer {
    Image8 sprites;  // display indices, as the game holds the loaded sheet
    std::uint8_t key = 0;
    Image8 canvas{640, 480, 0};

    void Sprite(const Rect& r, int x, int y) {
        for (int j = 0; j < r.h; ++j)
            for (int i = 0; i < r.w; ++i) {
                const std::uint8_t c = sprites.Get(r.x + i, r.y + j);
                if (c != key) canvas.Set(x + i, y + j, c);
            }
    }

    void Text(int x, int y, const std::string& text, bool large) {
        for (char ch : text) {
            const int code = static_cast<unsigned char>(ch);
            if (code >= 32) Sprite(large ? LargeGlyph(code) : SmallGlyph(code), x, y);
            x += large ? 16 : 4;
        }
    }
};

// A settled stack, bottom row last; digits are tile numbers plus one.
// clang-format off
constexpr const char* kStack[] = {
    "00000000", "00000000", "00000000", "00000000", "00000000", "00000000", "00000000",
    "00000000", "00000000", "00000800", "00000880", "70000833", "77602233",
    "47661223", "44566122", "14556112",
};
// clang-format on

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <sprites.bmp> <frame.bmp>\n", argc > 0 ? argv[0] : "sheet_mockup");
        return 2;
    }
    const auto bytes = ReadFile(argv[1]);
    std::string why;
    const auto decoded = bytes ? DecodeBmp8(*bytes, why) : std::nullopt;
    if (!decoded) {
        std::fprintf(stderr, "sheet_mockup: %s: %s\n", argv[1], bytes ? why.c_str() : "cannot read");
        return 1;
    }

    // Load as the game does: every colour goes to its nearest display entry,
    // and the transparent colour's entry becomes the key.
    const Palette display = DisplayPalette();
    Composer f;
    f.sprites = decoded->image;
    for (auto& p : f.sprites.pixels) p = static_cast<std::uint8_t>(NearestIndex(display, decoded->colours[p]));
    f.key = static_cast<std::uint8_t>(NearestIndex(display, kKeyColour));

    // Orbit (first step of the celebration), then the star field.
    f.Sprite(OrbitBody(0), 320 - 150, 288 - 180);
    f.Sprite(OrbitBody(1), 416 + 60, 288 - 150);
    f.Sprite(OrbitBody(2), 448 + 80, 288 - 120);
    const int stars[][2] = {{300, 230}, {350, 250}, {260, 200}, {400, 300}, {200, 140}, {470, 340},
                            {120, 60},  {560, 420}, {40, 20},   {600, 460}, {90, 400},  {580, 90},
                            {150, 300}, {500, 180}, {30, 250},  {620, 260}};
    for (const auto& s : stars) {
        const int d = std::min(7, std::abs(s[1] - 240) / 32);
        f.Sprite(StarFrame(d), s[0], s[1]);
    }

    // The panel at its home position.
    const int px = 240, py = 80;
    f.Sprite(kPanelFrame, px, py);
    f.Sprite(EntryWave(1), px + kEntryWaveAt.x, py + kEntryWaveAt.y);
    f.Text(px + kPanelTextAt.x, py + kPanelTextAt.y, "ijklmn", false);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d", 7);
    f.Text(px + kStageFieldAt.x, py + kStageFieldAt.y, buffer, false);
    std::snprintf(buffer, sizeof buffer, "%08d", 123450);
    f.Text(px + kScoreFieldAt.x, py + kScoreFieldAt.y, buffer, false);
    std::snprintf(buffer, sizeof buffer, "%04d", 150);
    f.Text(px + kPendingFieldAt.x, py + kPendingFieldAt.y, buffer, false);
    int height = 0;
    for (int row = 0; row < 16; ++row)
        for (int col = 0; col < 8; ++col) {
            const char cell = kStack[row][col];
            if (cell == '0') continue;
            height = std::max(height, 16 - row);
            f.Sprite(CellTile(cell - '1'), px + kWellInterior.x + 16 * col, py + kWellInterior.y + 16 * row);
        }
    for (int s = 0; s < height; ++s)
        f.Sprite(MeterSegment(kMeterKinds[s]), px + kMeterBottomAt.x, py + kMeterBottomAt.y - 16 * s);

    // A falling piece part way down, in the two-colour tile.
    const int piece[][2] = {{1, 0}, {0, 1}, {1, 1}, {2, 1}};
    for (const auto& c : piece) f.Sprite(CellTile(5), px + 64 + 16 * c[0], py + 96 + 16 * c[1]);

    // A lock's effects: bursts, debris, and a rain of figures.
    for (int k = 0; k < 8; ++k) {
        f.Sprite(SmallBurst(k), 40 + 20 * k, 250);
        f.Sprite(LargeBurst(k), 20 + 36 * k, 300);
        f.Sprite(DebrisFrame(k), 40 + 20 * k, 350);
        f.Sprite(Figure(k), 430 + 24 * (k % 4), 380 + 30 * (k / 4));
        f.Sprite(StarFrame(k), 40 + 20 * k, 220);
    }
    f.Sprite(LargeBurst(2), px + 60, py + 250);
    f.Sprite(SmallBurst(3), px + 100, py + 256);
    f.Sprite(DebrisFrame(1), px + 80, py + 262);

    f.Text(16, 160, "TUMBLA", true);
    f.Text(8, 184, "Version 0.01", true);
    f.Text(430, 200, "Score: 12,345!", false);

    // The debug palette strip across the top.
    for (int i = 0; i < 256; ++i)
        for (int y = 0; y < 16; ++y) {
            f.canvas.Set(2 * i, y, static_cast<std::uint8_t>(i));
            f.canvas.Set(2 * i + 1, y, static_cast<std::uint8_t>(i));
        }

    if (!WriteFile(argv[2], EncodeBmp8(f.canvas, display))) {
        std::fprintf(stderr, "sheet_mockup: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
