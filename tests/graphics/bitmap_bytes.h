// The bytes of Windows bitmaps made in the tests: packed DIBs (as resources
// hold them) and .bmp files, 8 bits per pixel unless asked otherwise. Plain
// C++ over <windows.h>, so that tests built for Windows use it too.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace testbmp {

struct BitmapDesc {
    int width = 4;
    int height = 4;  // negative: rows stored top-down
    int bitCount = 8;
    std::uint32_t headerSize = 40;
    std::uint32_t clrUsed = 0;
    std::vector<RGBQUAD> colours;       // written as the colour table
    std::vector<std::uint8_t> indices;  // width * |height|, top row first
    int tableEntries = -1;              // entries written; -1: clrUsed or 2^bitCount
};

inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline std::vector<std::uint8_t> PackedDib(const BitmapDesc& s) {
    std::vector<std::uint8_t> out;
    Put32(out, s.headerSize);
    Put32(out, static_cast<std::uint32_t>(s.width));
    Put32(out, static_cast<std::uint32_t>(s.height));
    Put16(out, 1);
    Put16(out, static_cast<std::uint16_t>(s.bitCount));
    Put32(out, 0);  // BI_RGB
    Put32(out, 0);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, s.clrUsed);
    Put32(out, 0);
    while (out.size() < s.headerSize) out.push_back(0);
    int entries = s.tableEntries >= 0
                      ? s.tableEntries
                      : (s.clrUsed ? static_cast<int>(s.clrUsed) : (s.bitCount <= 8 ? 1 << s.bitCount : 0));
    for (int i = 0; i < entries; ++i) {
        RGBQUAD q =
            i < static_cast<int>(s.colours.size()) ? s.colours[static_cast<std::size_t>(i)] : RGBQUAD{0, 0, 0, 0};
        out.push_back(q.rgbBlue);
        out.push_back(q.rgbGreen);
        out.push_back(q.rgbRed);
        out.push_back(q.rgbReserved);
    }
    int rows = s.height < 0 ? -s.height : s.height;
    int stride = ((s.width * s.bitCount + 31) / 32) * 4;
    for (int k = 0; k < rows; ++k) {
        int y = s.height < 0 ? k : rows - 1 - k;  // bottom-up unless negative height
        std::vector<std::uint8_t> row(static_cast<std::size_t>(stride), 0);
        for (int x = 0; x < s.width && s.bitCount == 8; ++x) {
            std::size_t i = static_cast<std::size_t>(y * s.width + x);
            row[static_cast<std::size_t>(x)] = i < s.indices.size() ? s.indices[i] : 0;
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

inline std::vector<std::uint8_t> FileBytes(const BitmapDesc& s) {
    std::vector<std::uint8_t> dib = PackedDib(s);
    std::vector<std::uint8_t> out{'B', 'M'};
    Put32(out, static_cast<std::uint32_t>(14 + dib.size()));
    Put32(out, 0);
    int entries = s.tableEntries >= 0
                      ? s.tableEntries
                      : (s.clrUsed ? static_cast<int>(s.clrUsed) : (s.bitCount <= 8 ? 1 << s.bitCount : 0));
    Put32(out, static_cast<std::uint32_t>(14 + s.headerSize + 4 * entries));
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

}  // namespace testbmp
