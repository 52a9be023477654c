// The parts of the sprite sheet, each drawn by its own function.
#pragma once

#include <cstdint>
#include <string_view>

#include "bitmap8.h"
#include "palette.h"
#include "pixel_art.h"

namespace sheet {

// The colours shared between the parts.
namespace col {
inline constexpr std::uint8_t ink = C(0, 0, 1);  // darkest opaque colour
inline constexpr std::uint8_t white = C(255, 255, 255);
inline constexpr std::uint8_t silver = C(192, 192, 192);
inline constexpr std::uint8_t grey = C(160, 160, 164);
inline constexpr std::uint8_t darkGrey = C(128, 128, 128);
inline constexpr std::uint8_t slate = C(72, 72, 85);
inline constexpr std::uint8_t red = C(255, 0, 0);
inline constexpr std::uint8_t green = C(0, 255, 0);
inline constexpr std::uint8_t blue = C(0, 0, 255);
inline constexpr std::uint8_t yellow = C(255, 255, 0);
inline constexpr std::uint8_t darkRed = C(145, 0, 0);
inline constexpr std::uint8_t darkGreen = C(0, 145, 0);
inline constexpr std::uint8_t darkBlue = C(0, 0, 170);
inline constexpr std::uint8_t well = C(0, 0, 85);  // the well's empty interior
}  // namespace col

// Glyph pixels of the two fonts (codes 32-127; anything else is blank).
bool LargeGlyphPixel(int code, int x, int y);  // 7 x 8
bool SmallGlyphPixel(int code, int x, int y);  // 3 x 6

// Small-font text drawn into the art itself (the panel's labels), with an
// optional shadow one pixel down and right.
void SmallText(View& v, int x, int y, std::string_view text, std::uint8_t colour, std::uint8_t shadow = kClear);

void DrawLargeFont(Image8& sheet);
void DrawSmallFont(Image8& sheet);
void DrawCellTiles(Image8& sheet);
void DrawPanelFrame(Image8& sheet);
void DrawEntryWaves(Image8& sheet);
void DrawMeterSegments(Image8& sheet);
void DrawBursts(Image8& sheet);
void DrawDebris(Image8& sheet);
void DrawStars(Image8& sheet);
void DrawOrbitBodies(Image8& sheet);
void DrawFigures(Image8& sheet);

}  // namespace sheet
