// Writes the program's icon: a T piece dropping into the one gap of a row of
// blocks, at 32x32 and 16x16 in the sixteen standard colours.
// Usage: icon_gen <output.ico>
#include <cstdio>
#include <vector>

#include "bitmap8.h"

namespace {

using sheet::PutU16;
using sheet::PutU32;

// The standard sixteen-colour table.
constexpr sheet::Rgb kVga[16] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};
enum Vga : std::uint8_t {
    kBlack = 0, kMaroon = 1, kGreen = 2, kOlive = 3, kNavy = 4, kSilver = 7,
    kRed = 9, kLime = 10, kYellow = 11, kBlue = 12, kWhite = 15, kNone = 255,
};

struct BlockColour {
    std::uint8_t hi, face, shade;
};
constexpr BlockColour kRedBlock{kWhite, kRed, kMaroon};
constexpr BlockColour kGreenBlock{kWhite, kLime, kGreen};
constexpr BlockColour kBlueBlock{kSilver, kBlue, kNavy};
constexpr BlockColour kYellowBlock{kWhite, kYellow, kOlive};

// The picture as 4x4 cells, top row first: the falling T above, the stack
// below with its gap under the T's stem.
constexpr char kLayout[4][5] = {".YYY", "..Y.", "R...", "RG.B"};

std::vector<std::uint8_t> Picture(int size) {
    const int cell = size / 4;
    std::vector<std::uint8_t> px(static_cast<std::size_t>(size) * size, kNone);
    auto set = [&](int x, int y, std::uint8_t c) {
        if (x >= 0 && y >= 0 && x < size && y < size) px[static_cast<std::size_t>(y) * size + x] = c;
    };
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            const char kind = kLayout[row][column];
            if (kind == '.') continue;
            const BlockColour b = kind == 'R' ? kRedBlock : kind == 'G' ? kGreenBlock
                                : kind == 'B' ? kBlueBlock : kYellowBlock;
            for (int y = 0; y < cell; ++y)
                for (int x = 0; x < cell; ++x) {
                    std::uint8_t c = b.face;
                    if (x == 0 || y == 0) c = b.hi;
                    if (x == cell - 1 || y == cell - 1) c = b.shade;
                    if ((x == 0 && y == cell - 1) || (x == cell - 1 && y == 0)) c = b.face;
                    set(column * cell + x, row * cell + y, c);
                }
        }
    return px;
}

// One BMP-in-ICO image: header with double height, colour table, colour
// rows bottom-up, then the transparency mask bottom-up.
std::vector<std::uint8_t> IconImage(int size) {
    const std::vector<std::uint8_t> px = Picture(size);
    const int colourStride = (size * 4 + 31) / 32 * 4;
    const int maskStride = (size + 31) / 32 * 4;
    std::vector<std::uint8_t> out;
    PutU32(out, 40);
    PutU32(out, static_cast<std::uint32_t>(size));
    PutU32(out, static_cast<std::uint32_t>(size * 2));
    PutU16(out, 1);
    PutU16(out, 4);
    PutU32(out, 0);
    PutU32(out, static_cast<std::uint32_t>((colourStride + maskStride) * size));
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, 0);
    for (const sheet::Rgb& c : kVga) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(colourStride), 0);
        for (int x = 0; x < size; ++x) {
            std::uint8_t c = px[static_cast<std::size_t>(y) * size + x];
            if (c == kNone) c = kBlack;  // hidden by the mask
            row[static_cast<std::size_t>(x / 2)] |= static_cast<std::uint8_t>(x % 2 == 0 ? c << 4 : c);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(maskStride), 0);
        for (int x = 0; x < size; ++x)
            if (px[static_cast<std::size_t>(y) * size + x] == kNone)
                row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.ico>\n", argc > 0 ? argv[0] : "icon_gen");
        return 2;
    }
    const int sizes[2] = {32, 16};
    std::vector<std::uint8_t> images[2] = {IconImage(sizes[0]), IconImage(sizes[1])};
    std::vector<std::uint8_t> out;
    PutU16(out, 0);
    PutU16(out, 1);  // icon
    PutU16(out, 2);
    std::uint32_t offset = 6 + 16 * 2;
    for (int i = 0; i < 2; ++i) {
        out.push_back(static_cast<std::uint8_t>(sizes[i]));
        out.push_back(static_cast<std::uint8_t>(sizes[i]));
        out.push_back(16);  // colours
        out.push_back(0);
        PutU16(out, 1);  // planes
        PutU16(out, 4);  // bits per pixel
        PutU32(out, static_cast<std::uint32_t>(images[i].size()));
        PutU32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
    if (!sheet::WriteFile(argv[1], out)) {
        std::fprintf(stderr, "icon_gen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
