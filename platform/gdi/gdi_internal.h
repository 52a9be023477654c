// GDI's objects as the stand-in keeps them, and what DirectDraw needs of
// them: device contexts on surface memory.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <vector>

namespace platform::gdi {

enum class Kind : std::uint32_t { Dc = 0x44435F5F, Bitmap = 0x424D5F5F, Brush = 0x42525F5F, Dead = 0 };

struct Object {
    Kind kind;
    bool stock = false;
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() { kind = Kind::Dead; }
};

// A device-independent bitmap (what LoadImageA makes): rows DWORD-aligned,
// bottom-up unless `topDown`.
struct Bitmap final : Object {
    Bitmap() : Object(Kind::Bitmap) {}
    int width = 0;
    int height = 0;
    int bitCount = 0;  // 1, 4, 8, 16, 24 or 32
    int stride = 0;
    bool topDown = false;
    bool dibSection = false;
    std::vector<RGBQUAD> colours;  // 2^bitCount entries for 8 bits or fewer
    std::vector<std::uint8_t> bits;
    HDC selectedInto = nullptr;
    bool deletePending = false;  // deleted while selected: goes when deselected

    std::uint8_t* Row(int y) {
        return bits.data() + static_cast<std::ptrdiff_t>(topDown ? y : height - 1 - y) * stride;
    }
    const std::uint8_t* Row(int y) const {
        return bits.data() + static_cast<std::ptrdiff_t>(topDown ? y : height - 1 - y) * stride;
    }
    COLORREF ColourAt(int x, int y) const;
    void PutColour(int x, int y, COLORREF colour);
};

struct Brush final : Object {
    Brush() : Object(Kind::Brush) {}
    COLORREF colour = 0;
    bool hollow = false;
};

// 8-bit pixels somewhere in memory: a DirectDraw surface.
struct PixelView {
    std::uint8_t* pixels = nullptr;
    int pitch = 0;
    int width = 0;
    int height = 0;
};

struct Dc final : Object {
    enum class Type { Window, Screen, Memory, Surface };
    Dc() : Object(Kind::Dc) {}
    Type type = Type::Screen;
    HWND window = nullptr;
    Bitmap* bitmap = nullptr;     // memory DC: the selected bitmap
    Bitmap* ownBitmap = nullptr;  // memory DC: the 1x1 bitmap it was made with
    Brush* brush = nullptr;
    PixelView surface;                        // surface DC
    bool surfaceIsScreen = false;             // surface DC of the primary: draws on the screen
    std::array<PALETTEENTRY, 256> palette{};  // surface DC: the colours of its indices
    bool drawn = false;                       // something visible was drawn since the last present
};

Dc* DcFrom(HDC hdc);
Bitmap* BitmapFrom(HGDIOBJ h);

// DirectDraw's GetDC/ReleaseDC on a surface. `palette` is the surface's
// palette, or null for the hardware palette. With `isScreen` the pixels are
// the visible screen's, which are shown again when the context is released.
HDC CreateSurfaceDc(const PixelView& view, const PALETTEENTRY* palette, bool isScreen);
// Returns whether anything was drawn through the context.
bool DestroySurfaceDc(HDC hdc);

// A bitmap made by LoadImageA, registered as a live GDI object.
HBITMAP RegisterBitmap(Bitmap* bitmap);

void ResetForTests();

}  // namespace platform::gdi
