// LoadImageA for bitmaps: from the program's bitmap resources (a packed DIB:
// info header, colour table, pixels) or from a .bmp file (the same after a
// 14-byte file header). Every size is checked against the data before it is
// read; a short or malformed bitmap gives no handle.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/gdi/gdi_internal.h"
#include "platform/host/host_picture.h"
#include "platform/trace/trace.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kLoadImageA("LoadImageA");
}  // namespace

namespace platform::gdi {
namespace {

constexpr int kMaxSide = 16384;

std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Parses a packed DIB of `size` bytes. `bitsOffset`, when not zero, is where
// the pixels start counted from `dib` (a file's bfOffBits less its header).
std::unique_ptr<Bitmap> ParseDib(const std::uint8_t* dib, std::size_t size, std::size_t bitsOffset) {
    if (size < sizeof(BITMAPINFOHEADER)) return nullptr;
    std::uint32_t headerSize = U32(dib);
    if (headerSize < sizeof(BITMAPINFOHEADER) || headerSize > size) return nullptr;
    auto width = static_cast<std::int32_t>(U32(dib + 4));
    auto height = static_cast<std::int32_t>(U32(dib + 8));
    std::uint16_t planes = U16(dib + 12);
    std::uint16_t bitCount = U16(dib + 14);
    std::uint32_t compression = U32(dib + 16);
    std::uint32_t clrUsed = U32(dib + 32);
    if (planes != 1 || compression != BI_RGB) return nullptr;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return nullptr;
    if (width <= 0 || width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide) return nullptr;

    auto bmp = std::make_unique<Bitmap>();
    bmp->width = width;
    bmp->topDown = height < 0;
    bmp->height = height < 0 ? -height : height;
    bmp->bitCount = bitCount;
    bmp->stride = static_cast<int>(((static_cast<std::int64_t>(width) * bitCount + 31) / 32) * 4);

    std::size_t tableEntries = 0;
    if (bitCount <= 8)
        tableEntries = clrUsed ? clrUsed : (1u << bitCount);
    else
        tableEntries = clrUsed;  // an optional table that deeper bitmaps may carry
    if (tableEntries > 256 && bitCount <= 8) return nullptr;
    std::size_t tableBytes = tableEntries * 4;
    if (tableBytes > size - headerSize) return nullptr;
    const std::uint8_t* table = dib + headerSize;
    if (bitCount <= 8) {
        // The file may announce more entries than its pixels can index: they
        // take their room in the file, but only the reachable ones are kept.
        bmp->colours.assign(std::size_t{1} << bitCount, RGBQUAD{0, 0, 0, 0});
        std::size_t kept = std::min(tableEntries, bmp->colours.size());
        for (std::size_t i = 0; i < kept; ++i)
            bmp->colours[i] = RGBQUAD{table[4 * i], table[4 * i + 1], table[4 * i + 2], 0};
    }

    std::size_t bitsAt = bitsOffset ? bitsOffset : headerSize + tableBytes;
    std::size_t imageBytes = static_cast<std::size_t>(bmp->stride) * static_cast<std::size_t>(bmp->height);
    if (bitsAt > size || imageBytes > size - bitsAt) return nullptr;
    bmp->bits.assign(dib + bitsAt, dib + bitsAt + imageBytes);
    return bmp;
}

// A copy of `source` at another size, nearest pixel first, in the same format.
std::unique_ptr<Bitmap> Resized(const Bitmap& source, int width, int height) {
    auto out = std::make_unique<Bitmap>();
    out->width = width;
    out->height = height;
    out->bitCount = source.bitCount;
    out->topDown = source.topDown;
    out->stride = static_cast<int>(((static_cast<std::int64_t>(width) * source.bitCount + 31) / 32) * 4);
    out->colours = source.colours;
    out->bits.assign(static_cast<std::size_t>(out->stride) * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        int sy = static_cast<int>(static_cast<std::int64_t>(y) * source.height / height);
        for (int x = 0; x < width; ++x) {
            int sx = static_cast<int>(static_cast<std::int64_t>(x) * source.width / width);
            if (source.bitCount <= 8) {
                // Copy the index itself, not a re-matched colour.
                const std::uint8_t* row = source.Row(sy);
                unsigned index = source.bitCount == 8   ? row[sx]
                                 : source.bitCount == 4 ? (row[sx >> 1] >> ((sx & 1) ? 0 : 4)) & 15
                                                        : (row[sx >> 3] >> (7 - (sx & 7))) & 1;
                out->PutColour(x, y, PALETTEINDEX(index));
            } else {
                out->PutColour(x, y, source.ColourAt(sx, sy));
            }
        }
    }
    return out;
}

std::unique_ptr<Bitmap> FromResource(HINSTANCE instance, LPCSTR name) {
    HRSRC info = FindResourceA(instance, name, RT_BITMAP);
    if (!info) return nullptr;
    HGLOBAL data = LoadResource(instance, info);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(data));
    if (!bytes) return nullptr;
    return ParseDib(bytes, SizeofResource(instance, info), 0);
}

std::unique_ptr<Bitmap> FromFile(LPCSTR name) {
    if (IS_INTRESOURCE(name) || !*name) return nullptr;
    HANDLE file =
        CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    std::string data;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
        data.append(chunk, got);
        if (data.size() > (std::size_t{1} << 30)) break;  // no bitmap of ours is near this
    }
    CloseHandle(file);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    if (data.size() < sizeof(BITMAPFILEHEADER) || bytes[0] != 'B' || bytes[1] != 'M') return nullptr;
    std::uint32_t offBits = U32(bytes + 10);
    std::size_t bitsOffset = 0;
    if (offBits >= sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) bitsOffset = offBits - sizeof(BITMAPFILEHEADER);
    return ParseDib(bytes + sizeof(BITMAPFILEHEADER), data.size() - sizeof(BITMAPFILEHEADER), bitsOffset);
}

}  // namespace
}  // namespace platform::gdi

namespace platform::video {

// The icon's image is a packed DIB of twice its height: the colour image
// (read as any bitmap is), then the 1-bit AND mask whose set bits are clear.
bool IconPicture(HINSTANCE instance, int resourceId, int size, IconImage& out) {
    using namespace platform::gdi;
    if (resourceId < 0) return false;
    HRSRC group = FindResourceA(instance, MAKEINTRESOURCEA(resourceId), RT_GROUP_ICON);
    if (!group) return false;
    const auto* dir = static_cast<const std::uint8_t*>(LockResource(LoadResource(instance, group)));
    std::size_t dirSize = SizeofResource(instance, group);
    if (!dir || dirSize < 6) return false;
    int count = U16(dir + 4);
    int best = -1, bestScore = 1 << 30;
    for (int i = 0; i < count && 6 + 14 * static_cast<std::size_t>(i + 1) <= dirSize; ++i) {
        const std::uint8_t* e = dir + 6 + 14 * i;
        int side = e[0] ? e[0] : 256;
        int score = std::abs(side - size) * 64 - U16(e + 6);  // the nearest size, then the most colours
        if (score < bestScore) bestScore = score, best = i;
    }
    if (best < 0) return false;
    HRSRC image = FindResourceA(instance, MAKEINTRESOURCEA(U16(dir + 6 + 14 * best + 12)), RT_ICON);
    if (!image) return false;
    const auto* dib = static_cast<const std::uint8_t*>(LockResource(LoadResource(instance, image)));
    std::size_t dibSize = SizeofResource(instance, image);
    if (!dib || dibSize < sizeof(BITMAPINFOHEADER)) return false;
    std::vector<std::uint8_t> half(dib, dib + dibSize);
    auto height = static_cast<std::int32_t>(U32(dib + 8)) / 2;
    if (height <= 0) return false;
    std::memcpy(half.data() + 8, &height, 4);
    std::unique_ptr<Bitmap> colour = ParseDib(half.data(), half.size(), 0);
    if (!colour) return false;
    std::size_t maskPitch = ((static_cast<std::size_t>(colour->width) + 31) / 32) * 4;
    std::size_t tableEntries = U32(dib + 32);
    if (colour->bitCount <= 8 && tableEntries == 0) tableEntries = std::size_t{1} << colour->bitCount;
    std::size_t maskAt = U32(dib) + 4 * tableEntries + colour->bits.size();
    bool withMask = colour->bitCount != 32;  // a 32-bit image carries its own alpha
    if (withMask && maskPitch * static_cast<std::size_t>(height) > dibSize - std::min(maskAt, dibSize)) return false;
    out.width = colour->width;
    out.height = height;
    out.pixels.assign(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* mask = dib + maskAt + maskPitch * static_cast<std::size_t>(height - 1 - y);
        for (int x = 0; x < out.width; ++x) {
            COLORREF c = colour->ColourAt(x, y);
            std::uint32_t alpha = 255;
            if (!withMask)
                alpha = colour->Row(y)[4 * x + 3];
            else if ((mask[x / 8] >> (7 - x % 8)) & 1)
                alpha = 0;
            out.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width) +
                       static_cast<std::size_t>(x)] =
                alpha << 24 | std::uint32_t{GetRValue(c)} << 16 | std::uint32_t{GetGValue(c)} << 8 | GetBValue(c);
        }
    }
    return true;
}

}  // namespace platform::video

HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad) {
    kLoadImageA.Trace();
    using namespace platform::gdi;
    if (type == IMAGE_ICON) return LoadIconA(hInst, name);
    if (type == IMAGE_CURSOR) return LoadCursorA(hInst, name);
    if (type != IMAGE_BITMAP || !name) return nullptr;
    std::int32_t fault;
    if (kLoadImageA.Fails(fault)) {
        SetLastError(static_cast<DWORD>(fault));
        return nullptr;
    }
    std::unique_ptr<Bitmap> bitmap =
        (fuLoad & LR_LOADFROMFILE) ? FromFile(name) : FromResource(hInst ? hInst : GetModuleHandleA(nullptr), name);
    if (!bitmap) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (cx < 0 || cy < 0 || cx > 16384 || cy > 16384) return nullptr;
    int width = cx ? cx : bitmap->width;
    int height = cy ? cy : bitmap->height;
    if (width != bitmap->width || height != bitmap->height) {
        auto resized = Resized(*bitmap, width, height);
        bitmap = std::move(resized);
    }
    // Without LR_CREATEDIBSECTION Windows makes a bitmap of the display's own
    // format; this one keeps the file's, which reads back the same colours.
    bitmap->dibSection = (fuLoad & LR_CREATEDIBSECTION) != 0;
    return RegisterBitmap(bitmap.release());
}
