// Writes the program's icon: a T piece dropping into the one gap of a row of
// blocks, at 32x32 and 16x16 in the sixteen standard colours; or the same
// picture at any size divisible by four as a PNG with transparency, for the
// desktop's icon theme.
// Usage: icon_gen <output.ico>
//        icon_gen --png <size> <output.png>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bitmap8.h"

namespace {

using sheet::PutU16;
using sheet::PutU32;

// The standard sixteen-colour table.
// clang-format off
constexpr sheet::Rgb kVga[16] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};
// clang-format on
// clang-format off
enum Vga : std::uint8_t {
    kBlack = 0,
    kMaroon = 1,
    kGreen = 2,
    kOlive = 3,
    kNavy = 4,
    kSilver = 7,
    kRed = 9,
    kLime = 10,
    kYellow = 11,
    kBlue = 12,
    kWhite = 15,
    kNone = 255,
};
// clang-format on

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
            const BlockColour b = kind == 'R'   ? kRedBlock
                                  : kind == 'G' ? kGreenBlock
                                  : kind == 'B' ? kBlueBlock
                                                : kYellowBlock;
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

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PngChunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& body) {
    PutBe32(png, static_cast<std::uint32_t>(body.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    png.insert(png.end(), typed.begin(), typed.end());
    PutBe32(png, Crc32(typed.data(), typed.size()));
}

// The picture as an RGBA PNG: rows behind their filter byte in a zlib
// stream of stored blocks; the icon is small, so no compression is needed.
std::vector<std::uint8_t> Png(int size) {
    const std::vector<std::uint8_t> px = Picture(size);
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < size; ++y) {
        raw.push_back(0);
        for (int x = 0; x < size; ++x) {
            std::uint8_t c = px[static_cast<std::size_t>(y) * size + x];
            const sheet::Rgb& rgb = kVga[c == kNone ? std::uint8_t{kBlack} : c];
            raw.insert(raw.end(), {rgb.r, rgb.g, rgb.b, static_cast<std::uint8_t>(c == kNone ? 0 : 255)});
        }
    }
    std::vector<std::uint8_t> z{0x78, 0x01};
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        z.push_back(at + n >= raw.size() ? 1 : 0);
        z.push_back(static_cast<std::uint8_t>(n));
        z.push_back(static_cast<std::uint8_t>(n >> 8));
        z.push_back(static_cast<std::uint8_t>(~n));
        z.push_back(static_cast<std::uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                 raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        if (at + n >= raw.size()) break;
    }
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(z, (b << 16) | a);
    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBe32(header, static_cast<std::uint32_t>(size));
    PutBe32(header, static_cast<std::uint32_t>(size));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace
    PngChunk(png, "IHDR", header);
    PngChunk(png, "IDAT", z);
    PngChunk(png, "IEND", {});
    return png;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--png") == 0) {
        int size = std::atoi(argv[2]);
        if (size < 4 || size > 1024 || size % 4 != 0) {
            std::fprintf(stderr, "icon_gen: the size must be a multiple of 4 from 4 to 1024\n");
            return 2;
        }
        if (!sheet::WriteFile(argv[3], Png(size))) {
            std::fprintf(stderr, "icon_gen: cannot write %s\n", argv[3]);
            return 1;
        }
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.ico> | --png <size> <output.png>\n", argc > 0 ? argv[0] : "icon_gen");
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
