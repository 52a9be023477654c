// The software DirectDraw against DirectDraw's documented behaviour: result
// codes, rectangle checks and clipping, colour keys, locks and device
// contexts, flips, lost surfaces, and objects going with their owner.
#include <windows.h>
#include <ddraw.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/host/headless/headless.h"
#include "platform/host/headless/headless_video.h"
#include "platform/trace/trace.h"

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
std::vector<UINT> seen;

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(message);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class DirectDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        seen.clear();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "DdTest";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "DdTest", "dd", WS_POPUP | WS_VISIBLE, 10, 20, 320, 240, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    }
    void TearDown() override {
        if (dd) dd->Release();
        headless::Reset();
    }

    LPDIRECTDRAWSURFACE Offscreen(int w, int h, DWORD caps = DDSCAPS_OFFSCREENPLAIN, HRESULT* result = nullptr) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddsCaps.dwCaps = caps;
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
    static HRESULT Fill(LPDIRECTDRAWSURFACE s, RECT* r, DWORD colour, DWORD flags = DDBLT_COLORFILL) {
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        fx.dwFillColor = colour;
        return s->Blt(r, nullptr, nullptr, flags, &fx);
    }
    static BYTE At(LPDIRECTDRAWSURFACE s, int x, int y) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        if (s->Lock(nullptr, &d, 0, nullptr) != DD_OK) return 0xEE;
        BYTE v = static_cast<BYTE*>(d.lpSurface)[y * d.lPitch + x];
        s->Unlock(nullptr);
        return v;
    }
    static void Set(LPDIRECTDRAWSURFACE s, int x, int y, BYTE v) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        ASSERT_EQ(s->Lock(nullptr, &d, 0, nullptr), DD_OK);
        static_cast<BYTE*>(d.lpSurface)[y * d.lPitch + x] = v;
        s->Unlock(nullptr);
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

TEST_F(DirectDrawTest, CreationChecksItsArguments) {
    LPDIRECTDRAW other = nullptr;
    EXPECT_EQ(DirectDrawCreate(nullptr, nullptr, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DirectDrawCreate(nullptr, &other, reinterpret_cast<IUnknown*>(dd)), CLASS_E_NOAGGREGATION);
    GUID device{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    EXPECT_EQ(DirectDrawCreate(&device, &other, nullptr), DDERR_INVALIDDIRECTDRAWGUID);
    EXPECT_EQ(other, nullptr);
    ASSERT_EQ(DirectDrawCreate(reinterpret_cast<GUID*>(DDCREATE_EMULATIONONLY), &other, nullptr), DD_OK);
    DDCAPS driver{}, hel{};
    driver.dwSize = hel.dwSize = sizeof(DDCAPS);
    ASSERT_EQ(other->GetCaps(&driver, &hel), DD_OK);
    EXPECT_TRUE(driver.dwCaps & DDCAPS_NOHARDWARE);
    EXPECT_EQ(hel.dwCaps & 0x64408240u, 0x64408240u);
    EXPECT_EQ(hel.dwFXCaps & 0x3FCC0u, 0x3FCC0u);
    other->Release();
}

TEST_F(DirectDrawTest, GetCapsTakesTheDirectX3RecordAndRefusesOtherSizes) {
    DDCAPS hel{};
    hel.dwSize = 316;
    EXPECT_EQ(dd->GetCaps(nullptr, &hel), DD_OK);
    EXPECT_EQ(hel.dwSize, 316u);
    hel.dwSize = 100;
    EXPECT_EQ(dd->GetCaps(nullptr, &hel), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->GetCaps(nullptr, nullptr), DDERR_INVALIDPARAMS);
    DDCAPS driver{};
    driver.dwSize = sizeof(driver);
    ASSERT_EQ(dd->GetCaps(&driver, nullptr), DD_OK);
    EXPECT_EQ(driver.dwVidMemTotal, 4u << 20);
}

TEST_F(DirectDrawTest, CooperativeLevelRules) {
    EXPECT_EQ(Offscreen(8, 8), nullptr);  // nothing before a cooperative level
    HRESULT hr;
    Offscreen(8, 8, DDSCAPS_OFFSCREENPLAIN, &hr);
    EXPECT_EQ(hr, DDERR_NOCOOPERATIVELEVELSET);
    EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL | DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    LPDIRECTDRAW other = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &other, nullptr), DD_OK);
    EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_EXCLUSIVEMODEALREADYSET);
    EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(other->SetDisplayMode(640, 480, 8), DDERR_NOEXCLUSIVEMODE);
    other->Release();
}

TEST_F(DirectDrawTest, SurfaceCreationChecks) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    HRESULT hr;
    Primary(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX, 1, &hr);
    EXPECT_EQ(hr, DDERR_NOEXCLUSIVEMODE);  // only an exclusive mode can flip
    LPDIRECTDRAWSURFACE primary = Primary();
    ASSERT_NE(primary, nullptr);
    Primary(DDSCAPS_PRIMARYSURFACE, 0, &hr);
    EXPECT_EQ(hr, DDERR_PRIMARYSURFACEALREADYEXISTS);
    Offscreen(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY, &hr);
    EXPECT_EQ(hr, DDERR_INVALIDCAPS);
    Offscreen(0, 8, DDSCAPS_OFFSCREENPLAIN, &hr);
    EXPECT_EQ(hr, DDERR_INVALIDPARAMS);
    DDSURFACEDESC d{};
    d.dwSize = 100;
    LPDIRECTDRAWSURFACE s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS);
    // The primary is the screen: its size is the desktop's.
    d.dwSize = sizeof(d);
    ASSERT_EQ(primary->GetSurfaceDesc(&d), DD_OK);
    EXPECT_EQ(d.dwWidth, 1024u);
    EXPECT_EQ(d.dwHeight, 768u);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 8u);
    EXPECT_TRUE(d.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8);
}

TEST_F(DirectDrawTest, VideoMemoryRunsOutAndComesBack) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    headless::SetVideoMemory(400 * 1024);
    HRESULT hr;
    LPDIRECTDRAWSURFACE first = Offscreen(640, 480, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, &hr);
    ASSERT_EQ(hr, DD_OK);
    Offscreen(640, 480, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, &hr);
    EXPECT_EQ(hr, DDERR_OUTOFVIDEOMEMORY);
    // Without a placement DirectDraw falls back to system memory.
    LPDIRECTDRAWSURFACE second = Offscreen(640, 480);
    ASSERT_NE(second, nullptr);
    DDSCAPS caps{};
    second->GetCaps(&caps);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY);
    first->Release();
    EXPECT_NE(Offscreen(640, 480, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY), nullptr);
}

TEST_F(DirectDrawTest, BltChecksRectanglesWithoutAClipper) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(16, 16), src = Offscreen(8, 8);
    RECT outside{8, 8, 17, 12}, inverted{4, 4, 2, 8}, inside{0, 0, 16, 16};
    EXPECT_EQ(Fill(s, &outside, 1), DDERR_INVALIDRECT);
    EXPECT_EQ(Fill(s, &inverted, 1), DDERR_INVALIDRECT);
    EXPECT_EQ(Fill(s, &inside, 1), DD_OK);
    RECT bigSource{0, 0, 9, 8};
    EXPECT_EQ(s->Blt(&inside, src, &bigSource, 0, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(s->Blt(&inside, nullptr, nullptr, 0, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Blt(&inside, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);
    DDBLTFX fx{};
    fx.dwSize = 12;
    EXPECT_EQ(s->Blt(&inside, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDPARAMS);
    EXPECT_EQ(At(s, 15, 15), 1);
}

TEST_F(DirectDrawTest, AClipListCutsFillsAndStretchesToItsRectangles) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(32, 32);
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(s->SetClipper(clipper), DD_OK);
    RECT all{-10, -10, 50, 50};
    EXPECT_EQ(Fill(s, &all, 1), DDERR_NOCLIPLIST);
    ClipTo(clipper, {RECT{0, 0, 4, 4}, RECT{20, 20, 40, 40}});
    EXPECT_EQ(Fill(s, &all, 7), DD_OK);
    EXPECT_EQ(At(s, 3, 3), 7);
    EXPECT_EQ(At(s, 4, 4), 0);
    EXPECT_EQ(At(s, 31, 31), 7);
    EXPECT_EQ(At(s, 19, 20), 0);
    // A window clipper leaves no room for a clip list.
    ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + sizeof(RECT));
    auto* region = reinterpret_cast<RGNDATA*>(data.data());
    region->rdh.dwSize = sizeof(RGNDATAHEADER);
    region->rdh.iType = RDH_RECTANGLES;
    EXPECT_EQ(clipper->SetClipList(region, 0), DDERR_CLIPPERISUSINGHWND);
    clipper->Release();
}

TEST_F(DirectDrawTest, ColourKeysAndRanges) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE src = Offscreen(4, 1), dst = Offscreen(4, 1);
    for (int x = 0; x < 4; ++x) Set(src, x, 0, static_cast<BYTE>(10 + x));
    RECT r{0, 0, 4, 1};
    Fill(dst, &r, 99);
    // No key set: a keyed blit copies everything.
    EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(At(dst, 0, 0), 10);
    Fill(dst, &r, 99);
    DDCOLORKEY key{11, 12};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &key), DD_OK);
    EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(At(dst, 0, 0), 10);
    EXPECT_EQ(At(dst, 1, 0), 99);
    EXPECT_EQ(At(dst, 2, 0), 99);
    EXPECT_EQ(At(dst, 3, 0), 13);
    // Without DDCKEY_COLORSPACE the key is the low value alone.
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    DDCOLORKEY got{};
    ASSERT_EQ(src->GetColorKey(DDCKEY_SRCBLT, &got), DD_OK);
    EXPECT_EQ(got.dwColorSpaceHighValue, 11u);
    EXPECT_EQ(src->GetColorKey(DDCKEY_DESTBLT, &got), DDERR_NOCOLORKEY);
    EXPECT_EQ(src->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK);
    EXPECT_EQ(src->GetColorKey(DDCKEY_SRCBLT, &got), DDERR_NOCOLORKEY);
}

TEST_F(DirectDrawTest, BltFastNeverClipsAndChecksItsRectangle) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE src = Offscreen(8, 8), dst = Offscreen(16, 16);
    RECT r{0, 0, 8, 8};
    EXPECT_EQ(dst->BltFast(8, 8, src, &r, DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(dst->BltFast(9, 8, src, &r, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    EXPECT_EQ(dst->BltFast(0xFFFFFFFF, 0, src, &r, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    dd->CreateClipper(0, &clipper, nullptr);
    dst->SetClipper(clipper);
    EXPECT_EQ(dst->BltFast(0, 0, src, &r, DDBLTFAST_WAIT), DDERR_BLTFASTCANTCLIP);
    clipper->Release();
}

TEST_F(DirectDrawTest, LocksAndDeviceContextsKeepASurfaceBusy) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(10, 4);
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    RECT part{2, 1, 6, 3};
    ASSERT_EQ(s->Lock(&part, &d, 0, nullptr), DD_OK);
    EXPECT_GE(d.lPitch, 10);
    EXPECT_EQ(d.lPitch % 4, 0);
    EXPECT_TRUE(d.dwFlags & DDSD_LPSURFACE);
    static_cast<BYTE*>(d.lpSurface)[0] = 5;
    DDSURFACEDESC again{};
    again.dwSize = sizeof(again);
    EXPECT_EQ(s->Lock(nullptr, &again, 0, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(Fill(s, nullptr, 1), DDERR_SURFACEBUSY);
    HDC dc = nullptr;
    EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    EXPECT_EQ(At(s, 2, 1), 5);

    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    HDC second = nullptr;
    EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED);
    EXPECT_EQ(s->Lock(nullptr, &again, 0, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->ReleaseDC(reinterpret_cast<HDC>(&again)), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    RECT wrong{0, 0, 11, 4};
    EXPECT_EQ(s->Lock(&wrong, &again, 0, nullptr), DDERR_INVALIDPARAMS);
    again.dwSize = 4;
    EXPECT_EQ(s->Lock(nullptr, &again, 0, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DirectDrawTest, StretchShrinkAndMirror) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE src = Offscreen(4, 2), dst = Offscreen(8, 4);
    for (int x = 0; x < 4; ++x) Set(src, x, 0, BYTE(x + 1)), Set(src, x, 1, BYTE(x + 5));
    EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(At(dst, 1, 1), 1);
    EXPECT_EQ(At(dst, 7, 3), 8);
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwDDFX = DDBLTFX_MIRRORLEFTRIGHT | DDBLTFX_MIRRORUPDOWN;
    EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_DDFX, &fx), DD_OK);
    EXPECT_EQ(At(dst, 0, 0), 8);
    EXPECT_EQ(At(dst, 7, 3), 1);
    EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_DDFX, nullptr), DDERR_INVALIDPARAMS);
    RECT small{0, 0, 2, 1};
    EXPECT_EQ(dst->Blt(&small, src, nullptr, 0, nullptr), DD_OK);  // 4x2 into 2x1
    // Each destination pixel takes the source pixel under its centre.
    EXPECT_EQ(At(dst, 0, 0), 6);
    EXPECT_EQ(At(dst, 1, 0), 8);
}

TEST_F(DirectDrawTest, BlitsOntoTheVisiblePrimaryShowAtOnceAndTheVerticalBlankWaits) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE primary = Primary(), canvas = Offscreen(64, 48);
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    dd->CreateClipper(0, &clipper, nullptr);
    clipper->SetHWnd(0, window);
    primary->SetClipper(clipper);
    Fill(canvas, nullptr, 9);
    int waits = headless::RefreshWaits(), shown = headless::ScreensShown();
    std::uint32_t before = headless::Time();
    EXPECT_EQ(Fill(canvas, nullptr, 9, DDBLT_COLORFILL | DDBLT_WAIT), DD_OK);
    EXPECT_EQ(headless::ScreensShown(), shown);  // off-screen work shows nothing
    // DDBLT_WAIT only waits for a busy blitter: the vertical blank is the
    // program's own wait.
    EXPECT_EQ(primary->Blt(nullptr, canvas, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(headless::RefreshWaits(), waits);
    EXPECT_EQ(headless::ScreensShown(), shown + 1);
    EXPECT_EQ(headless::Time(), before);
    EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
    EXPECT_EQ(headless::RefreshWaits(), waits + 1);
    EXPECT_GT(headless::Time(), before);
    EXPECT_LE(headless::Time(), before + 17) << "the next of 60 refreshes a second";
    // The whole-screen blit was kept to the window's client area.
    const auto& screen = headless::LastScreen();
    EXPECT_EQ(screen.width, 320);
    EXPECT_EQ(screen.height, 240);
    EXPECT_EQ(headless::ScreenPixel(10, 20), 9);
    EXPECT_EQ(headless::ScreenPixel(9, 20), 0);
    EXPECT_EQ(headless::ScreenPixel(330, 260), 0);
    clipper->Release();
}

TEST_F(DirectDrawTest, FlipSwapsTheBuffersInTheExclusiveMode) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    seen.clear();
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 8), DD_OK);
    EXPECT_NE(std::find(seen.begin(), seen.end(), UINT{WM_DISPLAYCHANGE}), seen.end());
    RECT r{};
    GetWindowRect(window, &r);
    EXPECT_EQ(r.right - r.left, 640);  // the window covers the new screen
    EXPECT_EQ(dd->SetDisplayMode(641, 480, 8), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DDERR_INVALIDMODE);

    LPDIRECTDRAWSURFACE front = Primary(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX, 1);
    ASSERT_NE(front, nullptr);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    LPDIRECTDRAWSURFACE back = nullptr;
    ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
    DDSCAPS other{DDSCAPS_OVERLAY};
    LPDIRECTDRAWSURFACE none = nullptr;
    EXPECT_EQ(front->GetAttachedSurface(&other, &none), DDERR_NOTFOUND);
    EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);

    Fill(back, nullptr, 33);
    Fill(front, nullptr, 44);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(At(front, 5, 5), 33);
    EXPECT_EQ(At(back, 5, 5), 44);
    EXPECT_EQ(headless::LastScreen().pixels[0], 33);
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    back->Lock(nullptr, &d, 0, nullptr);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
    back->Unlock(nullptr);

    // Releasing the front takes the implicit back buffer with it.
    front->Release();
    EXPECT_EQ(back->IsLost(), DDERR_INVALIDOBJECT);
    seen.clear();
    EXPECT_EQ(dd->RestoreDisplayMode(), DD_OK);
    EXPECT_FALSE(host::InFullScreenMode());
    EXPECT_NE(std::find(seen.begin(), seen.end(), UINT{WM_DISPLAYCHANGE}), seen.end());
}

TEST_F(DirectDrawTest, AModeChangeLosesTheScreenAndVideoMemoryButNotSystemMemory) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE primary = Primary();
    LPDIRECTDRAWSURFACE video = Offscreen(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
    LPDIRECTDRAWSURFACE system = Offscreen(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
    headless::SetDesktop(host::DesktopMode{800, 600, 8});
    EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(video->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(system->IsLost(), DD_OK);
    EXPECT_EQ(Fill(video, nullptr, 1), DDERR_SURFACELOST);
    EXPECT_EQ(video->BltFast(0, 0, system, nullptr, 0), DDERR_SURFACELOST);
    HDC dc = nullptr;
    EXPECT_EQ(video->GetDC(&dc), DDERR_SURFACELOST);
    EXPECT_EQ(primary->Restore(), DDERR_WRONGMODE);
    EXPECT_EQ(video->Restore(), DD_OK);
    EXPECT_EQ(Fill(video, nullptr, 1), DD_OK);
    headless::SetDesktop(host::DesktopMode{1024, 768, 8});
    EXPECT_EQ(primary->Restore(), DD_OK);
    EXPECT_EQ(primary->IsLost(), DD_OK);
}

TEST_F(DirectDrawTest, AnInjectedLossStaysUntilRestored) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
    platform::ArmFault(platform::FaultPlan{"IDirectDrawSurface::Lock", DDERR_SURFACELOST});
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(Fill(s, nullptr, 1), DDERR_SURFACELOST);
    EXPECT_EQ(s->Restore(), DD_OK);
    EXPECT_EQ(Fill(s, nullptr, 1), DD_OK);
}

TEST_F(DirectDrawTest, PalettesOnThePrimaryReachTheScreen) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE primary = Primary();
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = PALETTEENTRY{BYTE(i), 1, 2, 0};
    LPDIRECTDRAWPALETTE palette = nullptr;
    EXPECT_EQ(dd->CreatePalette(DDPCAPS_4BIT, entries, &palette, nullptr), DDERR_UNSUPPORTED);
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    ASSERT_EQ(primary->SetPalette(palette), DD_OK);
    // A window on the desktop keeps the twenty static colours.
    EXPECT_EQ(headless::ScreenPaletteEntry(100).peRed, 100);
    EXPECT_EQ(headless::ScreenPaletteEntry(255).peGreen, 255);
    EXPECT_EQ(headless::ScreenPaletteEntry(1).peRed, 128);
    PALETTEENTRY red{255, 0, 0, 0};
    EXPECT_EQ(palette->SetEntries(0, 50, 1, &red), DD_OK);
    EXPECT_EQ(headless::ScreenPaletteEntry(50).peRed, 255);
    EXPECT_EQ(palette->SetEntries(0, 255, 2, entries), DDERR_INVALIDPARAMS);
    LPDIRECTDRAWPALETTE got = nullptr;
    ASSERT_EQ(primary->GetPalette(&got), DD_OK);
    EXPECT_EQ(got, palette);
    got->Release();
    palette->Release();  // the primary still holds it
    EXPECT_EQ(palette->SetEntries(0, 50, 1, &red), DD_OK);
}

TEST_F(DirectDrawTest, ReleasingTheObjectTakesEverythingItMadeWithIt) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 8), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(8, 8);
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    dd->CreateClipper(0, &clipper, nullptr);
    PALETTEENTRY entries[256] = {};
    LPDIRECTDRAWPALETTE palette = nullptr;
    dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr);
    s->SetClipper(clipper);
    EXPECT_EQ(dd->Release(), 0u);
    dd = nullptr;
    EXPECT_EQ(s->IsLost(), DDERR_INVALIDOBJECT);
    EXPECT_EQ(Fill(s, nullptr, 1), DDERR_INVALIDOBJECT);
    EXPECT_EQ(s->AddRef(), 0u);
    EXPECT_EQ(s->Release(), 0u);
    EXPECT_EQ(palette->SetEntries(0, 0, 1, entries), DDERR_INVALIDOBJECT);
    EXPECT_EQ(clipper->SetHWnd(0, window), DDERR_INVALIDOBJECT);
    // The mode it set went with it.
    EXPECT_FALSE(host::InFullScreenMode());
}

// Every blit, whatever path it takes inside, must equal the plain per-pixel
// rule: destination (x, y) takes the source pixel under its centre,
// ((2x' + 1) * sw / (2 dw), (2y' + 1) * sh / (2 dh)), mirrored
// on request, skipping source-key pixels, cut to the clip rectangle.
TEST_F(DirectDrawTest, BlitsAgreeWithThePerPixelRule) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    const int W = 40, H = 30;
    LPDIRECTDRAWSURFACE src = Offscreen(W, H), dst = Offscreen(W, H);
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    dd->CreateClipper(0, &clipper, nullptr);
    ClipTo(clipper, {RECT{3, 2, 37, 27}});
    dst->SetClipper(clipper);
    DDCOLORKEY key{7, 7};
    src->SetColorKey(DDCKEY_SRCBLT, &key);
    unsigned seed = 12345;
    auto next = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<unsigned>(n));
    };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) Set(src, x, y, static_cast<BYTE>(next(3) == 0 ? 7 : 20 + next(200)));
    for (int round = 0; round < 300; ++round) {
        std::vector<BYTE> before(W * H), after(W * H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) Set(dst, x, y, BYTE(next(5))), before[y * W + x] = At(dst, x, y);
        int sx = next(W - 1), sy = next(H - 1);
        RECT from{sx, sy, sx + 1 + next(W - sx), sy + 1 + next(H - sy)};
        int dx = next(W + 20) - 10, dy = next(H + 20) - 10;
        RECT to{dx, dy, dx + 1 + next(50), dy + 1 + next(40)};
        DWORD flags = DDBLT_WAIT | (next(2) ? DDBLT_KEYSRC : 0);
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        fx.dwDDFX = (next(2) ? DDBLTFX_MIRRORLEFTRIGHT : 0) | (next(2) ? DDBLTFX_MIRRORUPDOWN : 0);
        if (fx.dwDDFX) flags |= DDBLT_DDFX;
        ASSERT_EQ(dst->Blt(&to, src, &from, flags, &fx), DD_OK);
        const long long sw = from.right - from.left, sh = from.bottom - from.top;
        const long long dw = to.right - to.left, dh = to.bottom - to.top;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                BYTE want = before[y * W + x];
                bool inside = x >= to.left && x < to.right && y >= to.top && y < to.bottom && x >= 3 && x < 37 &&
                              y >= 2 && y < 27;
                if (inside) {
                    long long i = (2 * (x - to.left) + 1) * sw / (2 * dw);
                    long long j = (2 * (y - to.top) + 1) * sh / (2 * dh);
                    long long px = (fx.dwDDFX & DDBLTFX_MIRRORLEFTRIGHT) ? from.right - 1 - i : from.left + i;
                    long long py = (fx.dwDDFX & DDBLTFX_MIRRORUPDOWN) ? from.bottom - 1 - j : from.top + j;
                    BYTE v = At(src, static_cast<int>(px), static_cast<int>(py));
                    if (!((flags & DDBLT_KEYSRC) && v == 7)) want = v;
                }
                ASSERT_EQ(At(dst, x, y), want) << "round " << round << " at " << x << "," << y;
            }
    }
    clipper->Release();
}

}  // namespace
