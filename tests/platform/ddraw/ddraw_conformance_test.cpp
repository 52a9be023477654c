// DirectDraw's documented behaviour through the Windows API alone: result
// codes, rectangle checks and clipping, colour keys, locks and device
// contexts, flips, palettes, and objects going with their owner. The same
// tests run over the stand-in and, cross-compiled, over Wine's DirectDraw.
#include <windows.h>
#include <ddraw.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tests/platform/ddraw/ddraw_fixture.h"

namespace {

using ddtest::Seen;

class DirectDrawConformance : public ddtest::DirectDrawFixture {};

TEST_F(DirectDrawConformance, CreationRefusesANullOutPointer) {
    EXPECT_EQ(DirectDrawCreate(nullptr, nullptr, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DirectDrawConformance, CreationChecksItsArguments) {
    LPDIRECTDRAW other = nullptr;
    EXPECT_EQ(DirectDrawCreate(nullptr, &other, reinterpret_cast<IUnknown*>(dd)), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(other, nullptr);
    ASSERT_EQ(DirectDrawCreate(reinterpret_cast<GUID*>(DDCREATE_EMULATIONONLY), &other, nullptr), DD_OK);
    DDCAPS driver{}, hel{};
    driver.dwSize = hel.dwSize = sizeof(DDCAPS);
    ASSERT_EQ(other->GetCaps(&driver, &hel), DD_OK);
    EXPECT_EQ(hel.dwCaps & 0x64408240u, 0x64408240u);
    EXPECT_EQ(hel.dwFXCaps & 0x3FCC0u, 0x3FCC0u);
    other->Release();
}

TEST_F(DirectDrawConformance, AnUnknownDriverIsRefusedAndTheEmulationHasNoHardware) {
    LPDIRECTDRAW other = nullptr;
    GUID device{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    EXPECT_EQ(DirectDrawCreate(&device, &other, nullptr), DDERR_INVALIDDIRECTDRAWGUID);
    EXPECT_EQ(other, nullptr);
    ASSERT_EQ(DirectDrawCreate(reinterpret_cast<GUID*>(DDCREATE_EMULATIONONLY), &other, nullptr), DD_OK);
    DDCAPS driver{};
    driver.dwSize = sizeof(DDCAPS);
    ASSERT_EQ(other->GetCaps(&driver, nullptr), DD_OK);
    EXPECT_TRUE(driver.dwCaps & DDCAPS_NOHARDWARE);
    other->Release();
}

TEST_F(DirectDrawConformance, GetCapsRefusesARecordOfAnotherSize) {
    DDCAPS hel{};
    hel.dwSize = 100;
    EXPECT_EQ(dd->GetCaps(nullptr, &hel), DDERR_INVALIDPARAMS);
}

TEST_F(DirectDrawConformance, GetCapsTakesTheDirectX3Record) {
    DDCAPS hel{};
    hel.dwSize = 316;
    EXPECT_EQ(dd->GetCaps(nullptr, &hel), DD_OK);
    EXPECT_EQ(hel.dwSize, 316u);
    EXPECT_EQ(dd->GetCaps(nullptr, nullptr), DDERR_INVALIDPARAMS);
    DDCAPS driver{};
    driver.dwSize = sizeof(driver);
    ASSERT_EQ(dd->GetCaps(&driver, nullptr), DD_OK);
}

TEST_F(DirectDrawConformance, CooperativeLevelRules) {
    EXPECT_EQ(Offscreen(8, 8), nullptr);  // nothing before a cooperative level
    HRESULT hr;
    Offscreen(8, 8, DDSCAPS_OFFSCREENPLAIN, &hr);
    EXPECT_EQ(hr, DDERR_NOCOOPERATIVELEVELSET);
    EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
}

// DDSCL_NORMAL beside the exclusive full-screen pair is that pair; without a
// window it is refused as the pair alone is.
TEST_F(DirectDrawConformance, TheNormalLevelBesideTheExclusiveOneIsTheExclusiveOne) {
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL | DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL | DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
}

TEST_F(DirectDrawConformance, OneObjectAtATimeHasTheExclusiveMode) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    LPDIRECTDRAW other = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &other, nullptr), DD_OK);
    EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_EXCLUSIVEMODEALREADYSET);
    EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(other->SetDisplayMode(640, 480, 8), DDERR_NOEXCLUSIVEMODE);
    other->Release();
}

TEST_F(DirectDrawConformance, SurfaceCreationChecks) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    HRESULT hr;
    Primary(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX, 1, &hr);
    EXPECT_EQ(hr, DDERR_NOEXCLUSIVEMODE);  // only an exclusive mode can flip
    LPDIRECTDRAWSURFACE primary = Primary();
    ASSERT_NE(primary, nullptr);
    Offscreen(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY, &hr);
    EXPECT_EQ(hr, DDERR_INVALIDCAPS);
    Offscreen(0, 8, DDSCAPS_OFFSCREENPLAIN, &hr);
    EXPECT_EQ(hr, DDERR_INVALIDPARAMS);
    DDSURFACEDESC d{};
    d.dwSize = 100;
    LPDIRECTDRAWSURFACE s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS);
    // The primary is the screen: its size and pixels are the desktop's.
    d.dwSize = sizeof(d);
    ASSERT_EQ(primary->GetSurfaceDesc(&d), DD_OK);
    DDSURFACEDESC mode{};
    mode.dwSize = sizeof(mode);
    ASSERT_EQ(dd->GetDisplayMode(&mode), DD_OK);
    EXPECT_EQ(d.dwWidth, static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN)));
    EXPECT_EQ(d.dwHeight, static_cast<DWORD>(GetSystemMetrics(SM_CYSCREEN)));
    EXPECT_EQ(d.dwWidth, mode.dwWidth);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, mode.ddpfPixelFormat.dwRGBBitCount);
}

TEST_F(DirectDrawConformance, OneObjectHasOnePrimary) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    ASSERT_NE(Primary(), nullptr);
    HRESULT hr;
    Primary(DDSCAPS_PRIMARYSURFACE, 0, &hr);
    EXPECT_EQ(hr, DDERR_PRIMARYSURFACEALREADYEXISTS);
}

TEST_F(DirectDrawConformance, BltChecksRectanglesWithoutAClipper) {
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
    EXPECT_EQ(At(s, 15, 15), 1);
}

TEST_F(DirectDrawConformance, EffectsMustComeInARecordOfTheirSize) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(16, 16), src = Offscreen(4, 2);
    RECT inside{0, 0, 16, 16};
    EXPECT_EQ(Fill(s, &inside, 1), DD_OK);
    DDBLTFX fx{};
    fx.dwSize = 12;
    EXPECT_EQ(s->Blt(&inside, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDPARAMS);
    EXPECT_EQ(At(s, 15, 15), 1);
    EXPECT_EQ(s->Blt(nullptr, src, nullptr, DDBLT_DDFX, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DirectDrawConformance, AClipListCutsAFillToItsRectangles) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(32, 32);
    LPDIRECTDRAWCLIPPER clipper = ClipperOn(s);
    ASSERT_NE(clipper, nullptr);
    ClipTo(clipper, {RECT{0, 0, 4, 4}, RECT{20, 20, 40, 40}});
    RECT whole{0, 0, 32, 32};
    EXPECT_EQ(Fill(s, &whole, 7), DD_OK);
    EXPECT_EQ(At(s, 3, 3), 7);
    EXPECT_EQ(At(s, 4, 4), 0);
    EXPECT_EQ(At(s, 31, 31), 7);
    EXPECT_EQ(At(s, 19, 20), 0);
    s->SetClipper(nullptr);
    clipper->Release();
}

TEST_F(DirectDrawConformance, AClipListCutsFillsAndStretchesToItsRectangles) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(32, 32);
    LPDIRECTDRAWCLIPPER clipper = ClipperOn(s);
    ASSERT_NE(clipper, nullptr);
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

TEST_F(DirectDrawConformance, AKeyedBlitNeedsTheSourcesKey) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE src = Offscreen(4, 1), dst = Offscreen(4, 1);
    for (int x = 0; x < 4; ++x) Set(src, x, 0, static_cast<BYTE>(10 + x));
    RECT r{0, 0, 4, 1};
    Fill(dst, &r, 99);
    EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(At(dst, 0, 0), 99) << "nothing copied";
    DDCOLORKEY key{11, 11};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(At(dst, 0, 0), 10);
    EXPECT_EQ(At(dst, 1, 0), 99);
    EXPECT_EQ(At(dst, 2, 0), 12);
    DDCOLORKEY got{};
    EXPECT_EQ(src->GetColorKey(DDCKEY_DESTBLT, &got), DDERR_NOCOLORKEY);
    // A key taken away again leaves the source without one.
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK);
    EXPECT_EQ(src->GetColorKey(DDCKEY_SRCBLT, &got), DDERR_NOCOLORKEY);
    EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC, nullptr), DDERR_INVALIDPARAMS);
    // A key given when the surface is made counts as well.
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_CKSRCBLT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    d.dwWidth = 4;
    d.dwHeight = 1;
    d.ddpfPixelFormat = PixelFormat(8);
    d.ddckCKSrcBlt = DDCOLORKEY{0, 0};
    LPDIRECTDRAWSURFACE keyed = nullptr;
    ASSERT_EQ(dd->CreateSurface(&d, &keyed, nullptr), DD_OK);
    ASSERT_EQ(Fill(keyed, nullptr, 0), DD_OK);
    EXPECT_EQ(dst->Blt(nullptr, keyed, nullptr, DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(At(dst, 2, 0), 12) << "every pixel of the new surface is its key";
}

TEST_F(DirectDrawConformance, ColourKeysAndRanges) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE src = Offscreen(4, 1), dst = Offscreen(4, 1);
    for (int x = 0; x < 4; ++x) Set(src, x, 0, static_cast<BYTE>(10 + x));
    RECT r{0, 0, 4, 1};
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

TEST_F(DirectDrawConformance, BltFastNeverClipsAndChecksItsRectangle) {
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

TEST_F(DirectDrawConformance, LocksAndDeviceContextsKeepASurfaceBusy) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(10, 4);
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    RECT part{2, 1, 6, 3};
    ASSERT_EQ(s->Lock(&part, &d, 0, nullptr), DD_OK);
    EXPECT_GE(d.lPitch, 10);
    EXPECT_EQ(d.lPitch % 4, 0);
    static_cast<BYTE*>(d.lpSurface)[0] = 5;
    DDSURFACEDESC again{};
    again.dwSize = sizeof(again);
    EXPECT_EQ(s->Lock(nullptr, &again, 0, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    EXPECT_EQ(At(s, 2, 1), 5);

    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    HDC second = nullptr;
    EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED);
    EXPECT_EQ(s->Lock(nullptr, &again, 0, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    RECT wrong{0, 0, 11, 4};
    EXPECT_EQ(s->Lock(&wrong, &again, 0, nullptr), DDERR_INVALIDPARAMS);
    again.dwSize = 4;
    EXPECT_EQ(s->Lock(nullptr, &again, 0, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DirectDrawConformance, ALockSaysItsPointerIsValid) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(10, 4);
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    ASSERT_EQ(s->Lock(nullptr, &d, 0, nullptr), DD_OK);
    EXPECT_TRUE(d.dwFlags & DDSD_LPSURFACE);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
}

TEST_F(DirectDrawConformance, ReleaseDCTakesBackOnlyTheSurfacesOwnContext) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(10, 4);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    int notAContext = 0;
    EXPECT_EQ(s->ReleaseDC(reinterpret_cast<HDC>(&notAContext)), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
}

TEST_F(DirectDrawConformance, ALockedSurfaceTakesNoBlitAndGivesNoContext) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(10, 4);
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    ASSERT_EQ(s->Lock(nullptr, &d, 0, nullptr), DD_OK);
    EXPECT_EQ(Fill(s, nullptr, 1), DDERR_SURFACEBUSY);
    HDC dc = nullptr;
    EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
}

TEST_F(DirectDrawConformance, StretchAndMirror) {
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
}

TEST_F(DirectDrawConformance, FlipSwapsTheBuffersInTheExclusiveMode) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    Seen().clear();
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 8), DD_OK);
    EXPECT_NE(std::find(Seen().begin(), Seen().end(), UINT{WM_DISPLAYCHANGE}), Seen().end());
    RECT r{};
    GetWindowRect(window, &r);
    EXPECT_EQ(r.right - r.left, 640);  // the window covers the new screen

    LPDIRECTDRAWSURFACE front = nullptr, back = nullptr;
    ASSERT_NO_FATAL_FAILURE(FlipChain(front, back));
    DDSCAPS other{DDSCAPS_OVERLAY};
    LPDIRECTDRAWSURFACE none = nullptr;
    EXPECT_EQ(front->GetAttachedSurface(&other, &none), DDERR_NOTFOUND);
    EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);

    Fill(back, nullptr, 33);
    Fill(front, nullptr, 44);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(At(front, 5, 5), 33);
    EXPECT_EQ(At(back, 5, 5), 44);
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    ASSERT_EQ(back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
    back->Unlock(nullptr);

    front->Release();
    Seen().clear();
    EXPECT_EQ(dd->RestoreDisplayMode(), DD_OK);
    EXPECT_NE(std::find(Seen().begin(), Seen().end(), UINT{WM_DISPLAYCHANGE}), Seen().end());
}

TEST_F(DirectDrawConformance, AModeNoCardOffersIsInvalid) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(641, 480, 8), DDERR_INVALIDMODE);
}

TEST_F(DirectDrawConformance, APaletteOnThePrimaryTakesEntriesAndStaysWhileHeld) {
    // A palette belongs on an 8-bit primary, whatever the desktop's depth.
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 8), DD_OK);
    LPDIRECTDRAWSURFACE primary = Primary();
    ASSERT_NE(primary, nullptr);
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = PALETTEENTRY{BYTE(i), 1, 2, 0};
    LPDIRECTDRAWPALETTE palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    ASSERT_EQ(primary->SetPalette(palette), DD_OK);
    PALETTEENTRY red{255, 0, 0, 0};
    EXPECT_EQ(palette->SetEntries(0, 50, 1, &red), DD_OK);
    LPDIRECTDRAWPALETTE got = nullptr;
    ASSERT_EQ(primary->GetPalette(&got), DD_OK);
    EXPECT_EQ(got, palette);
    got->Release();
    palette->Release();  // the primary still holds it
    EXPECT_EQ(palette->SetEntries(0, 50, 1, &red), DD_OK);
}

TEST_F(DirectDrawConformance, EntriesPastAPalettesEndAreRefused) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    PALETTEENTRY entries[256] = {};
    for (DWORD size : {16u, 256u}) {
        LPDIRECTDRAWPALETTE palette = nullptr;
        ASSERT_EQ(dd->CreatePalette(size == 16 ? DDPCAPS_4BIT : DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
        PALETTEENTRY got[257];
        EXPECT_EQ(palette->GetEntries(0, 0, size + 1, got), DDERR_INVALIDPARAMS) << size;
        EXPECT_EQ(palette->SetEntries(0, size - 1, 2, entries), DDERR_INVALIDPARAMS) << size;
        palette->Release();
    }
}

TEST_F(DirectDrawConformance, PalettesOfSixteenFourAndTwoColoursAreMade) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = PALETTEENTRY{BYTE(i), 1, 2, 0};
    const struct {
        DWORD caps;
        DWORD size;
    } sizes[] = {{DDPCAPS_4BIT, 16}, {DDPCAPS_2BIT, 4}, {DDPCAPS_1BIT, 2}};
    for (const auto& size : sizes) {
        LPDIRECTDRAWPALETTE palette = nullptr;
        ASSERT_EQ(dd->CreatePalette(size.caps, entries, &palette, nullptr), DD_OK) << size.size;
        DWORD caps = 0;
        ASSERT_EQ(palette->GetCaps(&caps), DD_OK);
        EXPECT_TRUE(caps & size.caps);
        PALETTEENTRY got[256] = {};
        EXPECT_EQ(palette->GetEntries(0, 0, size.size, got), DD_OK) << size.size;
        EXPECT_EQ(got[size.size - 1].peRed, size.size - 1);
        palette->Release();
    }
    LPDIRECTDRAWPALETTE palette = nullptr;
    EXPECT_EQ(dd->CreatePalette(0, entries, &palette, nullptr), DDERR_INVALIDPARAMS) << "no size";
    EXPECT_EQ(dd->CreatePalette(DDPCAPS_4BIT | DDPCAPS_8BIT, entries, &palette, nullptr), DDERR_INVALIDPARAMS);
}

// ---- 16-bit modes: 5-6-5 RGB pixels, two bytes each ----------------------

HRESULT WINAPI CollectMode(LPDDSURFACEDESC desc, LPVOID context) {
    auto* modes = static_cast<std::vector<DDSURFACEDESC>*>(context);
    modes->push_back(*desc);
    return DDENUMRET_OK;
}

class SixteenBitMode : public DirectDrawConformance {
protected:
    void SetUp() override {
        DirectDrawConformance::SetUp();
        ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
        ASSERT_EQ(dd->SetDisplayMode(640, 480, 16), DD_OK);
    }
};

TEST_F(DirectDrawConformance, SixteenBitModesAreOfferedBesideTheEightBitOnes) {
    std::vector<DDSURFACEDESC> modes;
    ASSERT_EQ(dd->EnumDisplayModes(0, nullptr, &modes, CollectMode), DD_OK);
    auto offered = [&](DWORD bits) {
        return std::any_of(modes.begin(), modes.end(), [&](const DDSURFACEDESC& m) {
            return m.dwWidth == 640 && m.dwHeight == 480 && m.ddpfPixelFormat.dwRGBBitCount == bits;
        });
    };
    EXPECT_TRUE(offered(8));
    EXPECT_TRUE(offered(16));
    for (const DDSURFACEDESC& m : modes) {
        if (m.ddpfPixelFormat.dwRGBBitCount == 8) {
            EXPECT_TRUE(m.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8);
        }
    }
}

TEST_F(DirectDrawConformance, EnumDisplayModesRefusesANullCallback) {
    EXPECT_EQ(dd->EnumDisplayModes(0, nullptr, nullptr, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(SixteenBitMode, TheModeAndItsSurfacesAreFiveSixFiveRgb) {
    DDSURFACEDESC mode{};
    mode.dwSize = sizeof(mode);
    ASSERT_EQ(dd->GetDisplayMode(&mode), DD_OK);
    EXPECT_EQ(mode.dwWidth, 640u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 16u);
    LPDIRECTDRAWSURFACE s = Offscreen(10, 4, DDSCAPS_OFFSCREENPLAIN, nullptr, 0);
    ASSERT_NE(s, nullptr);
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(f);
    ASSERT_EQ(s->GetPixelFormat(&f), DD_OK);
    EXPECT_EQ(f.dwRGBBitCount, 16u);
    EXPECT_TRUE(f.dwFlags & DDPF_RGB);
    EXPECT_FALSE(f.dwFlags & DDPF_PALETTEINDEXED8);
    EXPECT_EQ(f.dwRBitMask, 0xF800u);
    EXPECT_EQ(f.dwGBitMask, 0x07E0u);
    EXPECT_EQ(f.dwBBitMask, 0x001Fu);
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    RECT part{3, 1, 10, 4};
    ASSERT_EQ(s->Lock(&part, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_GE(d.lPitch, 20);
    WORD v = 0x1234;
    std::memcpy(d.lpSurface, &v, 2);  // the locked rectangle's first pixel
    s->Unlock(nullptr);
    EXPECT_EQ(At16(s, 3, 1), 0x1234);
}

TEST_F(SixteenBitMode, FillsAndBlitsMoveTwoBytesAPixel) {
    LPDIRECTDRAWSURFACE src = Offscreen(2, 1, DDSCAPS_OFFSCREENPLAIN, nullptr, 16);
    LPDIRECTDRAWSURFACE dst = Offscreen(8, 4, DDSCAPS_OFFSCREENPLAIN, nullptr, 16);
    ASSERT_TRUE(src && dst);
    ASSERT_EQ(Fill(dst, nullptr, 0xFFFF), DD_OK);
    RECT band{1, 1, 7, 2};
    ASSERT_EQ(Fill(dst, &band, 0xF800), DD_OK);
    EXPECT_EQ(At16(dst, 0, 1), 0xFFFF);
    EXPECT_EQ(At16(dst, 1, 1), 0xF800);
    EXPECT_EQ(At16(dst, 6, 1), 0xF800);
    EXPECT_EQ(At16(dst, 7, 1), 0xFFFF);
    EXPECT_EQ(At16(dst, 1, 2), 0xFFFF);
    // Blue and green, doubled and mirrored, green keyed out.
    Set16(src, 0, 0, 0x001F);
    Set16(src, 1, 0, 0x07E0);
    DDCOLORKEY key{0x07E0, 0x07E0};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwDDFX = DDBLTFX_MIRRORLEFTRIGHT;
    RECT to{0, 2, 4, 4};
    ASSERT_EQ(dst->Blt(&to, src, nullptr, DDBLT_KEYSRC | DDBLT_DDFX | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(At16(dst, 0, 2), 0xFFFF);
    EXPECT_EQ(At16(dst, 1, 3), 0xFFFF);
    EXPECT_EQ(At16(dst, 2, 2), 0x001F);
    EXPECT_EQ(At16(dst, 3, 3), 0x001F);
    EXPECT_EQ(At16(dst, 4, 2), 0xFFFF);
    RECT one{0, 0, 2, 1};
    ASSERT_EQ(dst->BltFast(6, 3, src, &one, DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(At16(dst, 6, 3), 0x001F);
    EXPECT_EQ(At16(dst, 7, 3), 0x07E0);
}

TEST_F(SixteenBitMode, AFlipChainHasTheModesPixels) {
    LPDIRECTDRAWSURFACE front = nullptr, back = nullptr;
    ASSERT_NO_FATAL_FAILURE(FlipChain(front, back));
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    ASSERT_EQ(front->GetSurfaceDesc(&d), DD_OK);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(d.dwWidth, 640u);
    ASSERT_EQ(Fill(back, nullptr, 0x07E0), DD_OK);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(At16(front, 639, 479), 0x07E0);
    back->Release();
    front->Release();
    EXPECT_EQ(dd->RestoreDisplayMode(), DD_OK);
}

}  // namespace
