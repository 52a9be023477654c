// A window, a DirectDraw object and small helpers over surfaces, through the
// Windows API alone: the same fixture serves the tests that run over any
// DirectDraw (ours, Windows' own, Wine's) and those that also look at the
// stand-in's emulated screen.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace ddtest {

// The messages the test window received, in order.
inline std::vector<UINT>& Seen() {
    static std::vector<UINT> seen;
    return seen;
}

inline LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Seen().push_back(message);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class DirectDrawFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Seen().clear();
        // One window serves the tests of a program while it lasts: a
        // window's destruction costs Wine two seconds.
        if (!IsWindow(SharedWindow())) {
            WNDCLASSEXA wc{};
            wc.cbSize = sizeof(wc);
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "DdTest";
            RegisterClassExA(&wc);  // already there from an earlier test is fine
            SharedWindow() = CreateWindowExA(0, "DdTest", "dd", WS_POPUP | WS_VISIBLE, 10, 20, 320, 240, nullptr,
                                             nullptr, wc.hInstance, nullptr);
        }
        window = SharedWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    }
    // Every test of one program shares a process on Windows: the DirectDraw
    // object takes its surfaces, palettes, clippers and display mode with it.
    void TearDown() override {
        if (dd) dd->Release();
        dd = nullptr;
    }
    static void TearDownTestSuite() {
        if (IsWindow(SharedWindow())) DestroyWindow(SharedWindow());
        SharedWindow() = nullptr;
    }
    static HWND& SharedWindow() {
        static HWND shared = nullptr;
        return shared;
    }

    // An 8-bit palettised surface whatever the desktop's depth, as the game
    // makes them in its 256-colour modes; 16 bits on request, or with `bits`
    // 0 the display's own format.
    LPDIRECTDRAWSURFACE Offscreen(int w, int h, DWORD caps = DDSCAPS_OFFSCREENPLAIN, HRESULT* result = nullptr,
                                  DWORD bits = 8) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (bits ? DDSD_PIXELFORMAT : 0);
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddsCaps.dwCaps = caps;
        if (bits) d.ddpfPixelFormat = PixelFormat(bits);
        LPDIRECTDRAWSURFACE s = nullptr;
        HRESULT hr = dd->CreateSurface(&d, &s, nullptr);
        if (result) *result = hr;
        return s;
    }
    LPDIRECTDRAWSURFACE Primary(DWORD caps = DDSCAPS_PRIMARYSURFACE, DWORD backBuffers = 0, HRESULT* result = nullptr) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_CAPS | (backBuffers ? DDSD_BACKBUFFERCOUNT : 0);
        d.dwBackBufferCount = backBuffers;
        d.ddsCaps.dwCaps = caps;
        LPDIRECTDRAWSURFACE s = nullptr;
        HRESULT hr = dd->CreateSurface(&d, &s, nullptr);
        if (result) *result = hr;
        return s;
    }
    // 8 bits through a palette, or 16 as 5-6-5 RGB.
    static DDPIXELFORMAT PixelFormat(DWORD bits) {
        DDPIXELFORMAT f{};
        f.dwSize = sizeof(f);
        f.dwRGBBitCount = bits;
        if (bits == 8) {
            f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
        } else {
            f.dwFlags = DDPF_RGB;
            f.dwRBitMask = 0xF800;
            f.dwGBitMask = 0x07E0;
            f.dwBBitMask = 0x001F;
        }
        return f;
    }
    static HRESULT Fill(LPDIRECTDRAWSURFACE s, RECT* r, DWORD colour, DWORD flags = DDBLT_COLORFILL) {
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        fx.dwFillColor = colour;
        return s->Blt(r, nullptr, nullptr, flags, &fx);
    }
    // One pixel of 8 or 16 bits, read or written through a lock.
    template <typename Pixel>
    static Pixel Read(LPDIRECTDRAWSURFACE s, int x, int y) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        if (s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return static_cast<Pixel>(0xEEEE);
        Pixel v;
        std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * sizeof(Pixel), sizeof(Pixel));
        s->Unlock(nullptr);
        return v;
    }
    template <typename Pixel>
    static void Write(LPDIRECTDRAWSURFACE s, int x, int y, Pixel v) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        std::memcpy(static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * sizeof(Pixel), &v, sizeof(Pixel));
        s->Unlock(nullptr);
    }
    static BYTE At(LPDIRECTDRAWSURFACE s, int x, int y) { return Read<BYTE>(s, x, y); }
    static void Set(LPDIRECTDRAWSURFACE s, int x, int y, BYTE v) { Write<BYTE>(s, x, y, v); }
    static WORD At16(LPDIRECTDRAWSURFACE s, int x, int y) { return Read<WORD>(s, x, y); }
    static void Set16(LPDIRECTDRAWSURFACE s, int x, int y, WORD v) { Write<WORD>(s, x, y, v); }
    // A primary with one back buffer, in the exclusive mode already set.
    void FlipChain(LPDIRECTDRAWSURFACE& front, LPDIRECTDRAWSURFACE& back) {
        front = Primary(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX, 1);
        ASSERT_NE(front, nullptr);
        DDSCAPS caps{DDSCAPS_BACKBUFFER};
        ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
    }
    // A new clipper, attached to the surface.
    LPDIRECTDRAWCLIPPER ClipperOn(LPDIRECTDRAWSURFACE s) {
        LPDIRECTDRAWCLIPPER clipper = nullptr;
        EXPECT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
        if (clipper) {
            EXPECT_EQ(s->SetClipper(clipper), DD_OK);
        }
        return clipper;
    }
    static void ClipTo(LPDIRECTDRAWCLIPPER c, std::vector<RECT> rects) {
        std::vector<BYTE> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
        auto* region = reinterpret_cast<RGNDATA*>(data.data());
        region->rdh.dwSize = sizeof(RGNDATAHEADER);
        region->rdh.iType = RDH_RECTANGLES;
        region->rdh.nCount = static_cast<DWORD>(rects.size());
        region->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
        std::memcpy(region->Buffer, rects.data(), rects.size() * sizeof(RECT));
        ASSERT_EQ(c->SetClipList(region, 0), DD_OK);
    }

    HWND window = nullptr;
    LPDIRECTDRAW dd = nullptr;
};

}  // namespace ddtest
