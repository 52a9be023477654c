// The colours the artwork may use.
//
// The game converts the sheet to its display palette by nearest-colour
// matching when it loads it. That palette holds the twenty fixed Windows
// colours at 0-9 and 246-255 and a 3-3-2 ramp at 10-245 (red and green in
// eight steps, blue in four; entry 10 is (0,0,1) rather than pure black, and
// the ramp stops before red 255 with green 109 or more). Any colour we draw
// with must be one of those entries exactly, or the art would shift when it is
// matched. The sheet's colour table is that same palette, so a pixel's value
// is also the display index it lands on.
//
// Index 0 of the sheet is the transparent colour (0,1,0). It matches display
// entry 0, black, which is therefore the sheet's colour key: pure black can
// never be used as an opaque colour. The darkest opaque colour is (0,0,1).
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>

namespace sheet {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    constexpr bool operator==(const Rgb&) const = default;
};

using Palette = std::array<Rgb, 256>;

// clang-format off
inline constexpr std::array<Rgb, 20> kStaticColours = {{
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
}};
// clang-format on

inline constexpr Rgb kKeyColour{0, 1, 0};
inline constexpr std::uint8_t kClear = 0;  // sheet index of the transparent colour

// The palette the game shows, with the standard Windows static colours.
constexpr Palette DisplayPalette() {
    Palette p{};
    for (int i = 0; i < 10; ++i) p[i] = kStaticColours[i];
    for (int i = 0; i < 10; ++i) p[246 + i] = kStaticColours[10 + i];
    for (int i = 0; i < 236; ++i) {
        p[10 + i] =
            Rgb{static_cast<std::uint8_t>(((i >> 5) & 7) * 255 / 7),
                static_cast<std::uint8_t>(((i >> 2) & 7) * 255 / 7), static_cast<std::uint8_t>((i & 3) * 255 / 3)};
    }
    p[10] = Rgb{0, 0, 1};
    return p;
}

// The colour table written into the sheet: the display palette with the
// transparent colour in place of black.
constexpr Palette SheetPalette() {
    Palette p = DisplayPalette();
    p[kClear] = kKeyColour;
    return p;
}

// Index of a colour that the display palette holds exactly; the ramp is
// preferred over the static colours, and black is refused because it would
// turn transparent.
constexpr int FindIndex(Rgb c) {
    constexpr Palette p = DisplayPalette();
    if (c == Rgb{0, 0, 0}) return -1;
    for (int i = 10; i < 246; ++i)
        if (p[i] == c) return i;
    for (int i = 1; i < 256; ++i)
        if (p[i] == c) return i;
    return -1;
}

// Compile-time colour: a colour outside the palette does not compile.
consteval std::uint8_t C(int r, int g, int b) {
    const int i =
        FindIndex(Rgb{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)});
    if (i < 0) throw "colour is not in the display palette";
    return static_cast<std::uint8_t>(i);
}

// The display entry nearest to a colour (squared distance in RGB, the lowest
// index on a tie): how the loaded sheet's colours are turned into pixels.
inline int NearestIndex(const Palette& display, Rgb c) {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 256; ++i) {
        const long dr = display[i].r - c.r, dg = display[i].g - c.g, db = display[i].b - c.b;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

}  // namespace sheet
