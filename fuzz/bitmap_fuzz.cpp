// The bitmap readers: LoadImageA from a file and from a resource (memory),
// and the game's own loaders: a bitmap onto a surface, an 8-bit file straight
// into a surface, and colour tables into palettes.
#include <windows.h>
#include <ddraw.h>

#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "graphics/display.h"
#include "graphics/image.h"
#include "platform/host/headless/headless.h"

namespace {

LPDIRECTDRAW Device() {
    static LPDIRECTDRAW device = [] {
        headless::Reset();
        LPDIRECTDRAW dd = nullptr;
        if (DirectDrawCreate(nullptr, &dd, nullptr) != DD_OK) return static_cast<LPDIRECTDRAW>(nullptr);
        dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
        return dd;
    }();
    return device;
}

LPDIRECTDRAWSURFACE Target() {
    static LPDIRECTDRAWSURFACE surface = [] {
        DDSURFACEDESC ddsd{};
        ddsd.dwSize = sizeof(ddsd);
        ddsd.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        ddsd.dwWidth = 64;
        ddsd.dwHeight = 64;
        LPDIRECTDRAWSURFACE s = nullptr;
        if (Device()) Device()->CreateSurface(&ddsd, &s, nullptr);
        return s;
    }();
    return surface;
}

void Drop(HANDLE bitmap) {
    if (bitmap) DeleteObject(bitmap);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!Target()) return 0;
    const std::string& path = fuzz::ScratchPath(".bmp");
    if (!fuzz::WriteScratch(path, data, size)) return 0;
    Drop(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    Drop(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 24, 8, LR_LOADFROMFILE));
    LoadBmpFileToSurface(path.c_str(), Target(), 20, 0);
    LoadBmpFileToSurface(path.c_str(), Target(), 20, 2);
    PALETTEENTRY table[256];
    ReadBitmapPalette(path.c_str(), table);
    {
        // The same bytes as a packed DIB among the program's resources.
        fuzz::InputResource resource(2, nullptr, 300, data, size);
        Drop(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(300), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ReadBitmapPalette(MAKEINTRESOURCEA(300), table);
        LPDIRECTDRAWSURFACE loaded = LoadBitmapSurface(Device(), MAKEINTRESOURCEA(300), 0, 0);
        if (loaded) loaded->Release();
    }
    return 0;
}
