// Tests of the drawing kit the generators stand on: the palette they must
// match, the bitmap coder, clipping of sprite windows and the integer maths.
#include <cstdio>
#include <string>

#include "bitmap8.h"
#include "palette.h"
#include "pixel_art.h"

namespace {

using namespace sheet;

int failures = 0;

#define CHECK(cond)                                                                 \
    do {                                                                            \
        if (!(cond)) {                                                              \
            ++failures;                                                             \
            std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
        }                                                                           \
    } while (0)

void DisplayPaletteHasTheGamesLayout() {
    const Palette p = DisplayPalette();
    CHECK((p[10] == Rgb{0, 0, 1}));
    CHECK((p[11] == Rgb{0, 0, 85}));
    CHECK((p[14] == Rgb{0, 36, 0}));
    CHECK((p[41] == Rgb{0, 255, 255}));
    CHECK((p[42] == Rgb{36, 0, 0}));
    CHECK((p[234] == Rgb{255, 0, 0}));
    CHECK((p[245] == Rgb{255, 72, 255}));
    CHECK((p[0] == Rgb{0, 0, 0}));
    CHECK((p[255] == Rgb{255, 255, 255}));
    CHECK((p[249] == Rgb{255, 0, 0}));
    // The sheet's table differs only in its transparent entry.
    const Palette s = SheetPalette();
    CHECK((s[0] == Rgb{0, 1, 0}));
    for (int i = 1; i < 256; ++i) CHECK(s[i] == p[i]);
}

void ColourLookups() {
    // The transparent colour lands on black, so black itself is refused.
    const Palette p = DisplayPalette();
    CHECK(NearestIndex(p, kKeyColour) == 0);
    CHECK(FindIndex(Rgb{0, 0, 0}) == -1);
    CHECK(FindIndex(Rgb{0, 0, 1}) == 10);
    CHECK(FindIndex(Rgb{255, 0, 0}) == 234);    // the ramp before the static red
    CHECK(FindIndex(Rgb{255, 255, 0}) == 251);  // only a static colour has it
    CHECK(FindIndex(Rgb{255, 145, 0}) == -1);   // beyond the end of the ramp
    CHECK(FindIndex(Rgb{100, 100, 100}) == -1);
    // Every colour FindIndex accepts is one nearest-colour matching keeps.
    for (int i = 1; i < 256; ++i) {
        const int found = FindIndex(p[i]);
        if (found > 0) CHECK(p[NearestIndex(p, p[found])] == p[i]);
    }
}

void BitmapRoundTrip() {
    // An odd width exercises the row padding; values cover the whole byte.
    Image8 image(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) image.Set(x, y, static_cast<std::uint8_t>(y * 90 + x * 40 + 7));
    const Palette colours = SheetPalette();
    const auto bytes = EncodeBmp8(image, colours);
    CHECK(bytes.size() == 14 + 40 + 1024 + 8 * 3);
    CHECK(GetU32(bytes, 2) == bytes.size());
    CHECK(bytes[1078] == image.Get(0, 2));  // the bottom row comes first
    std::string why;
    const auto decoded = DecodeBmp8(bytes, why);
    CHECK(decoded.has_value());
    if (decoded) {
        CHECK(decoded->image.width == 5 && decoded->image.height == 3);
        CHECK(decoded->image.pixels == image.pixels);
        CHECK(decoded->colours == colours);
    }
    // A top-down file (negative height) reads the same picture.
    auto topDown = bytes;
    const std::uint32_t minus3 = static_cast<std::uint32_t>(-3);
    for (int i = 0; i < 4; ++i) topDown[22 + i] = static_cast<std::uint8_t>(minus3 >> (8 * i));
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 5; ++x) topDown[1078 + row * 8 + x] = image.Get(x, row);
    const auto flipped = DecodeBmp8(topDown, why);
    CHECK(flipped.has_value() && flipped->image.pixels == image.pixels);
    // Other depths and compressed files are refused.
    auto fourBit = bytes;
    fourBit[28] = 4;
    CHECK(!DecodeBmp8(fourBit, why).has_value());
    auto rle = bytes;
    rle[30] = 1;
    CHECK(!DecodeBmp8(rle, why).has_value());
}

void ViewsClipToTheirRectangle() {
    Image8 image(8, 8, 1);
    View v(image, 2, 2, 3, 3);
    v.Fill(-5, -5, 20, 20, 9);
    v.Line(-4, 1, 10, 1, 7);
    v.Set(3, 0, 5);
    int inside = 0, outside = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool in = x >= 2 && x < 5 && y >= 2 && y < 5;
            (in ? inside : outside) += image.Get(x, y) != 1 ? 1 : 0;
        }
    CHECK(inside == 9);
    CHECK(outside == 0);
    CHECK(v.Get(0, 1) == 7 && v.Get(1, 0) == 9);
    CHECK(v.Get(-1, 0) == kClear);  // reads outside give the transparent colour
}

void IntegerMaths() {
    for (int n = 0; n < 5000; ++n) {
        const int r = ISqrt(n);
        CHECK(r * r <= n && (r + 1) * (r + 1) > n);
    }
    CHECK(ISqrt(-4) == 0);
    for (int k = 0; k < 32; ++k) {
        const auto [x, y] = Direction32(k);
        const int length2 = x * x + y * y;
        CHECK(length2 > 1020 * 1020 && length2 < 1028 * 1028);
        const auto [ox, oy] = Direction32(k + 16);  // the opposite way
        CHECK(ox == -x && oy == -y);
    }
    CHECK((Direction32(0) == std::pair<int, int>{1024, 0}));
    CHECK((Direction32(8) == std::pair<int, int>{0, 1024}));  // down
}

}  // namespace

int main() {
    DisplayPaletteHasTheGamesLayout();
    ColourLookups();
    BitmapRoundTrip();
    ViewsClipToTheirRectangle();
    IntegerMaths();
    if (failures) std::fprintf(stderr, "%d checks failed\n", failures);
    return failures ? 1 : 0;
}
