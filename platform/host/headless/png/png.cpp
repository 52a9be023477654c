// A minimal PNG writer and reader for 8-bit indexed pictures (stored deflate
// blocks, no compression), so tests can leave a picture for a person to look
// at, and read back the pictures they committed, without an image library.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/host/headless/headless.h"

namespace headless {
namespace {

std::uint32_t Crc(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0xFFFFFFFFu) {
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

void Be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}

std::uint32_t ReadBe32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

void Chunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& body) {
    Be32(png, static_cast<std::uint32_t>(body.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    png.insert(png.end(), typed.begin(), typed.end());
    Be32(png, Crc(typed.data(), typed.size()) ^ 0xFFFFFFFFu);
}

}  // namespace

bool WritePng(const std::string& path, const std::uint8_t* pixels, int width, int height, int pitch,
              const PALETTEENTRY* palette) {
    if (!pixels || !palette || width <= 0 || height <= 0) return false;
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        const std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
        raw.insert(raw.end(), row, row + width);
    }
    std::vector<std::uint8_t> z{0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t at = 0;;) {
        std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        bool last = at + n >= raw.size();
        z.push_back(last ? 1 : 0);
        z.insert(z.end(), {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                           static_cast<std::uint8_t>(~n), static_cast<std::uint8_t>(~n >> 8)});
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                 raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
        if (last) break;
    }
    Be32(z, (b << 16) | a);
    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> ihdr;
    Be32(ihdr, static_cast<std::uint32_t>(width));
    Be32(ihdr, static_cast<std::uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 3, 0, 0, 0});  // 8-bit indexed colour
    Chunk(png, "IHDR", ihdr);
    std::vector<std::uint8_t> plte;
    for (int i = 0; i < 256; ++i) plte.insert(plte.end(), {palette[i].peRed, palette[i].peGreen, palette[i].peBlue});
    Chunk(png, "PLTE", plte);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

bool ReadPng(const std::string& path, IndexedPicture& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<std::uint8_t> file;
    std::uint8_t buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) file.insert(file.end(), buffer, buffer + n);
    std::fclose(f);
    if (file.size() < 8 || file[1] != 'P' || file[2] != 'N' || file[3] != 'G') return false;

    std::vector<std::uint8_t> z;
    out = IndexedPicture{};
    out.palette.assign(256, PALETTEENTRY{0, 0, 0, 0});
    for (std::size_t at = 8; at + 12 <= file.size();) {
        std::uint32_t length = ReadBe32(&file[at]);
        if (length > file.size() - at - 12) return false;
        const std::uint8_t* type = &file[at + 4];
        const std::uint8_t* body = type + 4;
        if (!std::memcmp(type, "IHDR", 4) && length >= 13) {
            out.width = static_cast<int>(ReadBe32(body));
            out.height = static_cast<int>(ReadBe32(body + 4));
            if (body[8] != 8 || body[9] != 3 || body[12] != 0) return false;  // only our own kind
        } else if (!std::memcmp(type, "PLTE", 4)) {
            for (std::uint32_t i = 0; i < length / 3 && i < 256; ++i)
                out.palette[i] = PALETTEENTRY{body[3 * i], body[3 * i + 1], body[3 * i + 2], 0};
        } else if (!std::memcmp(type, "IDAT", 4)) {
            z.insert(z.end(), body, body + length);
        }
        at += 12 + length;
    }
    if (out.width <= 0 || out.height <= 0 || out.width > 8192 || out.height > 8192) return false;
    // Stored blocks only: what WritePng makes.
    std::vector<std::uint8_t> raw;
    for (std::size_t at = 2; at + 5 <= z.size();) {
        std::uint8_t header = z[at];
        if ((header & 6) != 0) return false;
        std::size_t n = z[at + 1] | (z[at + 2] << 8);
        if (at + 5 + n > z.size()) return false;
        raw.insert(raw.end(), z.begin() + static_cast<std::ptrdiff_t>(at + 5),
                   z.begin() + static_cast<std::ptrdiff_t>(at + 5 + n));
        at += 5 + n;
        if (header & 1) break;
    }
    std::size_t rowBytes = static_cast<std::size_t>(out.width) + 1;
    if (raw.size() < rowBytes * static_cast<std::size_t>(out.height)) return false;
    out.pixels.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y) {
        if (raw[y * rowBytes] != 0) return false;
        std::copy_n(raw.begin() + static_cast<std::ptrdiff_t>(y * rowBytes + 1), out.width,
                    out.pixels.begin() + static_cast<std::ptrdiff_t>(y) * out.width);
    }
    return true;
}

}  // namespace headless
