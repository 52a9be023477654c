// An 8-bit indexed picture and the Windows bitmap file it is stored as.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "palette.h"

namespace sheet {

struct Image8 {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // top row first, width bytes per row

    Image8() = default;
    Image8(int w, int h, std::uint8_t fill = kClear)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}

    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    std::uint8_t Get(int x, int y) const {
        return Inside(x, y) ? pixels[static_cast<std::size_t>(y) * width + x] : kClear;
    }
    void Set(int x, int y, std::uint8_t c) {
        if (Inside(x, y)) pixels[static_cast<std::size_t>(y) * width + x] = c;
    }
};

// File bytes of an uncompressed bottom-up 8-bit bitmap with a 40-byte
// BITMAPINFOHEADER and a full 256-entry colour table.
std::vector<std::uint8_t> EncodeBmp8(const Image8& image, const Palette& colours);

struct DecodedBmp8 {
    Image8 image;
    Palette colours{};
};

// Reads what EncodeBmp8 writes (and other uncompressed 8-bit bitmaps with a
// 40-byte header); an empty result with a reason for anything else.
std::optional<DecodedBmp8> DecodeBmp8(const std::vector<std::uint8_t>& bytes, std::string& why);

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::optional<std::vector<std::uint8_t>> ReadFile(const std::string& path);

// Little-endian helpers for the file formats.
void PutU16(std::vector<std::uint8_t>& out, std::uint32_t v);
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v);
std::uint32_t GetU16(const std::vector<std::uint8_t>& in, std::size_t at);
std::uint32_t GetU32(const std::vector<std::uint8_t>& in, std::size_t at);

}  // namespace sheet
