#include "bitmap8.h"

#include <fstream>
#include <iterator>

namespace sheet {

void PutU16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

std::uint32_t GetU16(const std::vector<std::uint8_t>& in, std::size_t at) {
    return static_cast<std::uint32_t>(in[at]) | static_cast<std::uint32_t>(in[at + 1]) << 8;
}

std::uint32_t GetU32(const std::vector<std::uint8_t>& in, std::size_t at) {
    return GetU16(in, at) | GetU16(in, at + 2) << 16;
}

namespace {
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kTableSize = 256 * 4;

std::uint32_t Stride(int width) { return (static_cast<std::uint32_t>(width) + 3u) & ~3u; }
}  // namespace

std::vector<std::uint8_t> EncodeBmp8(const Image8& image, const Palette& colours) {
    const std::uint32_t stride = Stride(image.width);
    const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(image.height);
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + kTableSize;

    std::vector<std::uint8_t> out;
    out.reserve(offset + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    PutU32(out, offset + pixelBytes);  // bfSize
    PutU32(out, 0);                    // bfReserved1, bfReserved2
    PutU32(out, offset);               // bfOffBits

    PutU32(out, kInfoHeaderSize);
    PutU32(out, static_cast<std::uint32_t>(image.width));
    PutU32(out, static_cast<std::uint32_t>(image.height));  // positive: bottom-up
    PutU16(out, 1);                                         // biPlanes
    PutU16(out, 8);                                         // biBitCount
    PutU32(out, 0);                                         // BI_RGB
    PutU32(out, pixelBytes);
    PutU32(out, 2835);  // 72 dots per inch, both ways
    PutU32(out, 2835);
    PutU32(out, 256);  // biClrUsed
    PutU32(out, 0);    // biClrImportant: all

    for (const Rgb& c : colours) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) out.push_back(image.Get(x, y));
        for (std::uint32_t pad = static_cast<std::uint32_t>(image.width); pad < stride; ++pad) out.push_back(0);
    }
    return out;
}

std::optional<DecodedBmp8> DecodeBmp8(const std::vector<std::uint8_t>& bytes, std::string& why) {
    if (bytes.size() < kFileHeaderSize + kInfoHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') {
        why = "not a bitmap file";
        return std::nullopt;
    }
    const std::uint32_t offBits = GetU32(bytes, 10);
    const std::uint32_t headerSize = GetU32(bytes, 14);
    const auto width = static_cast<std::int32_t>(GetU32(bytes, 18));
    const auto height = static_cast<std::int32_t>(GetU32(bytes, 22));
    const std::uint32_t bits = GetU16(bytes, 28);
    const std::uint32_t compression = GetU32(bytes, 30);
    std::uint32_t used = GetU32(bytes, 46);
    if (headerSize != kInfoHeaderSize || bits != 8 || compression != 0) {
        why = "not an uncompressed 8-bit bitmap with a 40-byte header";
        return std::nullopt;
    }
    if (width <= 0 || height == 0 || width > 16384 || height > 16384 || height < -16384) {
        why = "bad size";
        return std::nullopt;
    }
    if (used == 0) used = 256;
    if (used > 256) {
        why = "colour table too large";
        return std::nullopt;
    }
    const bool bottomUp = height > 0;
    const int rows = bottomUp ? height : -height;
    const std::uint64_t stride = Stride(width);
    const std::uint64_t tableEnd = kFileHeaderSize + kInfoHeaderSize + 4ull * used;
    if (tableEnd > bytes.size() || offBits < tableEnd ||
        offBits + stride * static_cast<std::uint64_t>(rows) > bytes.size()) {
        why = "file is truncated";
        return std::nullopt;
    }
    DecodedBmp8 result;
    for (std::uint32_t i = 0; i < used; ++i) {
        const std::size_t at = kFileHeaderSize + kInfoHeaderSize + 4 * i;
        result.colours[i] = Rgb{bytes[at + 2], bytes[at + 1], bytes[at]};
    }
    result.image = Image8(width, rows);
    for (int y = 0; y < rows; ++y) {
        const int fileRow = bottomUp ? rows - 1 - y : y;
        const std::size_t at = offBits + static_cast<std::size_t>(stride) * fileRow;
        for (int x = 0; x < width; ++x) result.image.Set(x, y, bytes[at + x]);
    }
    return result;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

std::optional<std::vector<std::uint8_t>> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

}  // namespace sheet
