// The two fonts, drawn from the glyph designs in font_large.h and font_small.h.
#include "font_large.h"
#include "font_small.h"
#include "sheet_art.h"
#include "sheet_map.h"

namespace sheet {

namespace {

// A glyph pixel out of a strip table: strips of `perStrip` glyphs, `rows`
// lines each, glyphs `width` wide and separated by '|'.
bool StripPixel(const char* const* table, int perStrip, int rows, int width, int code, int x, int y) {
    if (code < 32 || code > 127 || x < 0 || x >= width || y < 0 || y >= rows) return false;
    const int index = code - 32;
    const char* line = table[index / perStrip * rows + y];
    return line[index % perStrip * (width + 1) + x] == '#';
}

// Body colours of the large font by pixel row: white at the top running
// into deep blue, a chrome look that stands out over the star field.
// clang-format off
constexpr std::uint8_t kLargeShade[16] = {
    C(255, 255, 255), C(255, 255, 255), C(218, 255, 255), C(218, 255, 255),
    C(182, 218, 255), C(182, 218, 255), C(145, 218, 255), C(145, 182, 255),
    C(109, 145, 255), C(109, 145, 255), C(72, 145, 255),  C(72, 109, 255),
    C(72, 109, 255),  C(36, 72, 255),   C(36, 36, 170),   C(36, 36, 170),
};
// clang-format on

}  // namespace

bool LargeGlyphPixel(int code, int x, int y) {
    return StripPixel(kLargeFont, kLargeGlyphsPerStrip, kLargeGlyphRows, kLargeGlyphWidth, code, x, y);
}

bool SmallGlyphPixel(int code, int x, int y) {
    return StripPixel(kSmallFont, kSmallGlyphsPerStrip, kSmallGlyphRows, kSmallGlyphWidth, code, x, y);
}

void SmallText(View& v, int x, int y, std::string_view text, std::uint8_t colour, std::uint8_t shadow) {
    for (char ch : text) {
        const int code = static_cast<unsigned char>(ch);
        for (int gy = 0; gy < kSmallGlyphRows; ++gy)
            for (int gx = 0; gx < kSmallGlyphWidth; ++gx)
                if (SmallGlyphPixel(code, gx, gy)) {
                    if (shadow != kClear && v.Get(x + gx + 1, y + gy + 1) != colour)
                        v.Set(x + gx + 1, y + gy + 1, shadow);
                    v.Set(x + gx, y + gy, colour);
                }
        x += 4;
    }
}

void DrawLargeFont(Image8& sheet) {
    for (int code = 32; code < 128; ++code) {
        const Rect r = LargeGlyph(code);
        View cell(sheet, r.x, r.y, r.w, r.h);
        // Each design pixel becomes a 2x2 block, one pixel in from the left.
        auto body = [&](int x, int y) { return x >= 1 && y >= 0 && LargeGlyphPixel(code, (x - 1) / 2, y / 2); };
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                if (body(x, y))
                    cell.Set(x, y, kLargeShade[y]);
                else if (body(x - 1, y - 1) || body(x - 1, y) || body(x, y - 1))
                    cell.Set(x, y, col::ink);
            }
    }
}

void DrawSmallFont(Image8& sheet) {
    for (int code = 32; code < 128; ++code) {
        const Rect r = SmallGlyph(code);
        View cell(sheet, r.x, r.y, r.w, r.h);
        for (int y = 0; y < kSmallGlyphRows; ++y)
            for (int x = 0; x < kSmallGlyphWidth; ++x)
                if (SmallGlyphPixel(code, x, y)) cell.Set(x, y, col::white);
    }
    // "i" to "n" are the panel's lamps: plain swatches, one pixel apart.
    constexpr std::uint8_t lamps[6] = {col::red, col::green, col::blue, col::darkRed, col::darkGreen, col::darkBlue};
    for (int k = 0; k < 6; ++k) {
        const Rect r = SmallGlyph('i' + k);
        View cell(sheet, r.x, r.y, r.w, r.h);
        cell.Fill(0, 0, 3, 5, lamps[k]);
    }
}

}  // namespace sheet
