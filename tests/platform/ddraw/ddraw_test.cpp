// What the software DirectDraw does on the emulated screen and with the
// headless host's hooks: the pretend card's memory, blits and flips reaching
// the screen, mode changes, injected losses. What any DirectDraw must do is
// in ddraw_conformance_test.cpp.
#include <windows.h>
#include <ddraw.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/com/com.h"
#include "platform/host/headless/headless.h"
#include "platform/host/headless/headless_video.h"
#include "platform/trace/trace.h"
#include "tests/platform/ddraw/ddraw_fixture.h"

namespace {

class DirectDrawTest : public ddtest::DirectDrawFixture {
protected:
    void SetUp() override {
        headless::Reset();
        DirectDrawFixture::SetUp();
    }
    void TearDown() override {
        DirectDrawFixture::TearDown();
        headless::Reset();
    }
};

TEST_F(DirectDrawTest, ThePretendCardHasFourMegabytes) {
    DDCAPS driver{};
    driver.dwSize = sizeof(driver);
    ASSERT_EQ(dd->GetCaps(&driver, nullptr), DD_OK);
    EXPECT_EQ(driver.dwVidMemTotal, 4u << 20);
}

TEST_F(DirectDrawTest, ThePrimaryIsTheEmulatedDesktop) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE primary = Primary();
    ASSERT_NE(primary, nullptr);
    DDSURFACEDESC d{};
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
    // The blank, the scan line and the waits answer from one refresh: it
    // begins with a blank of 45 of 525 lines (1.4 ms), then the 768 lines of the desktop.
    struct Beam {
        std::uint32_t at;
        BOOL inBlank;
        HRESULT scan;
        DWORD line;
    };
    for (const Beam& b : {Beam{1000, TRUE, DDERR_VERTICALBLANKINPROGRESS, 0}, Beam{1001, TRUE, 0, 0},
                          Beam{1002, FALSE, DD_OK, 28}, Beam{1009, FALSE, DD_OK, 381}, Beam{1016, FALSE, DD_OK, 734},
                          Beam{1017, TRUE, DDERR_VERTICALBLANKINPROGRESS, 0}}) {
        headless::SetTime(b.at);
        BOOL inBlank = !b.inBlank;
        EXPECT_EQ(dd->GetVerticalBlankStatus(&inBlank), DD_OK);
        EXPECT_EQ(inBlank, b.inBlank) << b.at;
        DWORD line = 0;
        if (b.scan != 0) {
            EXPECT_EQ(dd->GetScanLine(&line), b.scan) << b.at;
            EXPECT_EQ(line, b.line) << b.at;
        }
    }
    headless::SetTime(1005);
    EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKEND, nullptr), DD_OK);
    EXPECT_EQ(headless::Time(), 1019u) << "the end of the next blank";
    EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
    EXPECT_EQ(headless::Time(), 1034u);
    EXPECT_EQ(dd->WaitForVerticalBlank(0, nullptr), DDERR_INVALIDPARAMS);
    // The whole-screen blit was kept to the window's client area.
    const auto& screen = headless::LastScreen();
    EXPECT_EQ(screen.width, 320);
    EXPECT_EQ(screen.height, 240);
    EXPECT_EQ(headless::ScreenPixel(10, 20), 9);
    EXPECT_EQ(headless::ScreenPixel(9, 20), 0);
    EXPECT_EQ(headless::ScreenPixel(330, 260), 0);
    clipper->Release();
}

TEST_F(DirectDrawTest, AFlipShowsTheNewFrontAndTheRestoredModeLeavesFullScreen) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 8), DD_OK);
    EXPECT_TRUE(host::InFullScreenMode());
    LPDIRECTDRAWSURFACE front = nullptr, back = nullptr;
    ASSERT_NO_FATAL_FAILURE(FlipChain(front, back));
    Fill(back, nullptr, 33);
    Fill(front, nullptr, 44);
    // Refresh k of the emulated display begins at k * 1000 / 60 ms: the
    // flip asked for at 1005 is done at refresh 61 (1016.7 ms).
    headless::SetTime(1005);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(headless::Time(), 1005u) << "a flip is queued, not waited for";
    EXPECT_EQ(headless::LastScreen().pixels[0], 33) << "and shown at once";
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    EXPECT_EQ(back->Lock(nullptr, &d, 0, nullptr), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(front->Flip(nullptr, 0), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(Fill(front, nullptr, 45), DD_OK) << "the new front is free at once";
    headless::SetTime(1016);
    EXPECT_EQ(Fill(back, nullptr, 1), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(back->BltFast(0, 0, front, nullptr, 0), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(back->BltFast(0, 0, front, nullptr, DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(headless::Time(), 1017u) << "the wait ends at the refresh";
    EXPECT_EQ(Fill(back, nullptr, 46), DD_OK);
    // A second flip in the same refresh waits for the first.
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(headless::Time(), 1017u);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(headless::Time(), 1034u);
    EXPECT_EQ(back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(headless::Time(), 1050u);
    back->Unlock(nullptr);
    front->Release();
    EXPECT_EQ(dd->RestoreDisplayMode(), DD_OK);
    EXPECT_FALSE(host::InFullScreenMode());
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

// The memory a lock handed out stays the program's until it unlocks, even
// when the desktop changes under it; the surface is lost meanwhile.
TEST_F(DirectDrawTest, TheDesktopChangingUnderALockLeavesItsMemoryAndLosesTheSurface) {
    headless::SetDesktop(host::DesktopMode{800, 600, 8});
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE primary = Primary();
    DDSURFACEDESC locked{};
    locked.dwSize = sizeof(locked);
    ASSERT_EQ(primary->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    headless::SetDesktop(host::DesktopMode{1280, 1024, 16});
    DDSURFACEDESC now{};
    now.dwSize = sizeof(now);
    EXPECT_EQ(primary->GetSurfaceDesc(&now), DD_OK);
    EXPECT_EQ(now.lPitch, locked.lPitch);
    for (DWORD y = 0; y < locked.dwHeight; ++y)
        std::fill_n(static_cast<BYTE*>(locked.lpSurface) + y * locked.lPitch, locked.dwWidth, BYTE{7});
    EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(primary->Unlock(nullptr), DD_OK);
    EXPECT_EQ(primary->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(Fill(primary, nullptr, 1), DDERR_SURFACELOST);
}

// Whichever call a loss is injected into (Restore's own included), the
// surface is lost until restored.
TEST_F(DirectDrawTest, AnInjectedLossStaysUntilRestored) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    DDCOLORKEY key{0, 0};
    const std::pair<const char*, std::function<HRESULT()>> calls[] = {
        {"IDirectDrawSurface::Lock", [&] { return s->Lock(nullptr, &d, 0, nullptr); }},
        {"IDirectDrawSurface::SetColorKey", [&] { return s->SetColorKey(DDCKEY_SRCBLT, &key); }},
        {"IDirectDrawSurface::GetSurfaceDesc", [&] { return s->GetSurfaceDesc(&d); }},
        {"IDirectDrawSurface::Restore", [&] { return s->Restore(); }},
    };
    for (const auto& [name, call] : calls) {
        platform::ArmFault(platform::FaultPlan{name, DDERR_SURFACELOST});
        EXPECT_EQ(call(), DDERR_SURFACELOST) << name;
        EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST) << name;
        EXPECT_EQ(Fill(s, nullptr, 1), DDERR_SURFACELOST) << name;
        EXPECT_EQ(s->Restore(), DD_OK) << name;
        EXPECT_EQ(Fill(s, nullptr, 1), DD_OK) << name;
    }
}

// A call logs itself, refuses what it is given, and only then fails as
// armed: a refused call is in the log and leaves the failure for the next.
TEST_F(DirectDrawTest, ACallRefusesItsArgumentsBeforeAnArmedFailure) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(8, 8);
    PALETTEENTRY entries[256] = {};
    LPDIRECTDRAWPALETTE palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    auto* notASurface = reinterpret_cast<LPDIRECTDRAWSURFACE>(entries);
    LPDIRECTDRAWSURFACE made = nullptr;
    const std::tuple<const char*, std::function<HRESULT()>, std::function<HRESULT()>> calls[] = {
        {"IDirectDrawSurface::Blt", [&] { return s->Blt(nullptr, notASurface, nullptr, 0, nullptr); },
         [&] { return Fill(s, nullptr, 1); }},
        {"IDirectDrawSurface::BltFast", [&] { return s->BltFast(0, 0, nullptr, nullptr, 0); },
         [&] { return s->BltFast(0, 0, s, nullptr, 0); }},
        {"IDirectDrawPalette::SetEntries", [&] { return palette->SetEntries(0, 0, 257, entries); },
         [&] { return palette->SetEntries(0, 0, 1, entries); }},
        {"IDirectDrawSurface::SetPalette", [&] { return s->SetPalette(reinterpret_cast<LPDIRECTDRAWPALETTE>(s)); },
         [&] { return s->SetPalette(palette); }},
        {"IDirectDraw::SetCooperativeLevel", [&] { return dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE); },
         [&] { return dd->SetCooperativeLevel(window, DDSCL_NORMAL); }},
        {"IDirectDraw::CreateSurface", [&] { return dd->CreateSurface(nullptr, &made, nullptr); },
         [&] {
             HRESULT hr;
             Offscreen(8, 8, DDSCAPS_OFFSCREENPLAIN, &hr);
             return hr;
         }},
    };
    platform::SetTracing(true);
    for (const auto& [name, refused, good] : calls) {
        platform::ClearTrace();
        platform::ArmFault(platform::FaultPlan{name, DDERR_GENERIC});
        EXPECT_EQ(refused(), DDERR_INVALIDPARAMS) << name;
        EXPECT_EQ(platform::TracedCalls(), std::vector<std::string>{name});
        EXPECT_EQ(good(), DDERR_GENERIC) << name;
    }
    platform::SetTracing(false);
    palette->Release();
}

TEST_F(DirectDrawTest, PalettesOnThePrimaryReachTheScreen) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE primary = Primary();
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = PALETTEENTRY{BYTE(i), 1, 2, 0};
    LPDIRECTDRAWPALETTE palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    ASSERT_EQ(primary->SetPalette(palette), DD_OK);
    // A window on the desktop keeps the twenty static colours.
    EXPECT_EQ(headless::ScreenPaletteEntry(100).peRed, 100);
    EXPECT_EQ(headless::ScreenPaletteEntry(255).peGreen, 255);
    EXPECT_EQ(headless::ScreenPaletteEntry(1).peRed, 128);
    PALETTEENTRY red{255, 0, 0, 0};
    EXPECT_EQ(palette->SetEntries(0, 50, 1, &red), DD_OK);
    EXPECT_EQ(headless::ScreenPaletteEntry(50).peRed, 255);
    palette->Release();
}

// Windows documents no answer for a palette of fewer than 256 entries on a
// surface of 8-bit indices; the stand-in refuses it rather than show the
// colours past its end.
TEST_F(DirectDrawTest, ASmallPaletteGoesOnNoSurfaceHere) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    PALETTEENTRY entries[16] = {};
    LPDIRECTDRAWPALETTE palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_4BIT, entries, &palette, nullptr), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(4, 4);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->SetPalette(palette), DDERR_INVALIDPIXELFORMAT);
    LPDIRECTDRAWPALETTE got = nullptr;
    EXPECT_EQ(s->GetPalette(&got), DDERR_NOPALETTEATTACHED);
    palette->Release();
}

// The hosts show 256 colours: a 16-bit screen reaches them through a fixed
// 3-3-2 palette, so pure red, green and blue stay pure.
TEST_F(DirectDrawTest, ASixteenBitScreenIsShownThroughThreeThreeTwoColours) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(320, 240, 16), DD_OK);
    LPDIRECTDRAWSURFACE front = nullptr, back = nullptr;
    ASSERT_NO_FATAL_FAILURE(FlipChain(front, back));
    RECT left{0, 0, 100, 240}, middle{100, 0, 200, 240}, right{200, 0, 320, 240};
    Fill(back, &left, 0xF800);
    Fill(back, &middle, 0x07E0);
    Fill(back, &right, 0x001F);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    const auto& screen = headless::LastScreen();
    ASSERT_EQ(screen.width, 320);
    auto colour = [&](int x, int y) {
        return screen.palette[screen.pixels[static_cast<std::size_t>(y * screen.width + x)]];
    };
    EXPECT_EQ(colour(0, 0).peRed, 255);
    EXPECT_EQ(colour(99, 239).peGreen, 0);
    EXPECT_EQ(colour(100, 0).peGreen, 255);
    EXPECT_EQ(colour(100, 0).peRed, 0);
    EXPECT_EQ(colour(319, 239).peBlue, 255);
    EXPECT_EQ(colour(319, 239).peGreen, 0);
    // Going back to 256 colours loses the surfaces of the deeper mode.
    ASSERT_EQ(dd->SetDisplayMode(320, 240, 8), DD_OK);
    EXPECT_EQ(front->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(front->Restore(), DDERR_WRONGMODE);
}

// The stand-in's GDI draws on 8-bit pixels, and a palette indexes none of a
// 16-bit surface's.
TEST_F(DirectDrawTest, ASixteenBitSurfaceTakesNoContextAndNoPalette) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(8, 8, DDSCAPS_OFFSCREENPLAIN, nullptr, 0);
    ASSERT_NE(s, nullptr);
    HDC dc = nullptr;
    EXPECT_EQ(s->GetDC(&dc), DDERR_UNSUPPORTED);
    PALETTEENTRY entries[256] = {};
    LPDIRECTDRAWPALETTE palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    EXPECT_EQ(s->SetPalette(palette), DDERR_INVALIDPIXELFORMAT);
    palette->Release();
    DDPIXELFORMAT odd = PixelFormat(16);
    odd.dwGBitMask = 0x03E0;  // 5-5-5 is not offered
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    d.dwWidth = d.dwHeight = 4;
    d.ddpfPixelFormat = odd;
    LPDIRECTDRAWSURFACE none = nullptr;
    EXPECT_EQ(dd->CreateSurface(&d, &none, nullptr), DDERR_INVALIDPIXELFORMAT);
    // Blt documents no conversion of one pixel format into another.
    LPDIRECTDRAWSURFACE eight = Offscreen(4, 4, DDSCAPS_OFFSCREENPLAIN, nullptr, 8);
    ASSERT_NE(eight, nullptr);
    EXPECT_EQ(s->Blt(nullptr, eight, nullptr, DDBLT_WAIT, nullptr), DDERR_UNSUPPORTED);
    EXPECT_EQ(eight->BltFast(0, 0, s, nullptr, DDBLTFAST_WAIT), DDERR_UNSUPPORTED);
}

// Everything the object made goes with it, whatever the program still holds
// (the surface below holds the clipper, too), and nothing stays allocated:
// as on Windows, a pointer to any of it is not to be used after.
TEST_F(DirectDrawTest, ReleasingTheObjectFreesEverythingItMade) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 8), DD_OK);
    const int before = platform::com::liveObjects;
    LPDIRECTDRAWSURFACE s = Offscreen(8, 8), front = nullptr, back = nullptr;
    ASSERT_NO_FATAL_FAILURE(FlipChain(front, back));
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    dd->CreateClipper(0, &clipper, nullptr);
    PALETTEENTRY entries[256] = {};
    LPDIRECTDRAWPALETTE palette = nullptr;
    dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr);
    s->SetClipper(clipper);
    front->SetPalette(palette);
    EXPECT_EQ(platform::com::liveObjects, before + 5);
    EXPECT_EQ(dd->Release(), 0u);
    dd = nullptr;
    EXPECT_EQ(platform::com::liveObjects, before - 1);
    // The mode it set went with it.
    EXPECT_FALSE(host::InFullScreenMode());
}

// Windows: "if you implicitly created multiple surfaces with a single call
// ... you need only release the front buffer"; a release of the back buffer
// alone takes nothing.
TEST_F(DirectDrawTest, ReleasingTheFrontTakesItsBackBufferWithIt) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 8), DD_OK);
    const int before = platform::com::liveObjects;
    LPDIRECTDRAWSURFACE front = nullptr, back = nullptr;
    ASSERT_NO_FATAL_FAILURE(FlipChain(front, back));
    back->Release();  // GetAttachedSurface's reference
    EXPECT_EQ(back->Release(), 0u);
    EXPECT_EQ(back->IsLost(), DD_OK);
    EXPECT_EQ(platform::com::liveObjects, before + 2);
    // The palette the program let go of lives on in the front, and goes with it.
    PALETTEENTRY entries[256] = {};
    LPDIRECTDRAWPALETTE palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    ASSERT_EQ(front->SetPalette(palette), DD_OK);
    palette->Release();
    EXPECT_EQ(platform::com::liveObjects, before + 3);
    front->Release();
    EXPECT_EQ(platform::com::liveObjects, before);
}

// A method the stand-in does not implement answers as a driver without it
// would, and says so in the call log once, however often it is called.
TEST_F(DirectDrawTest, AStubSaysOnceInTheCallLogThatItWasCalled) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(8, 8);
    platform::SetTracing(true);
    platform::ClearTrace();
    EXPECT_EQ(s->BltBatch(nullptr, 0, 0), DDERR_UNSUPPORTED);
    EXPECT_EQ(s->BltBatch(nullptr, 0, 0), DDERR_UNSUPPORTED);
    // So does a method for the part it does not implement.
    LPDIRECTDRAWSURFACE wide = Offscreen(8, 8, DDSCAPS_OFFSCREENPLAIN, nullptr, 16);
    EXPECT_EQ(s->BltFast(0, 0, wide, nullptr, 0), DDERR_UNSUPPORTED);
    EXPECT_EQ(s->Blt(nullptr, wide, nullptr, 0, nullptr), DDERR_UNSUPPORTED);
    HDC dc = nullptr;
    EXPECT_EQ(wide->GetDC(&dc), DDERR_UNSUPPORTED);
    DDSURFACEDESC filter{};
    filter.dwSize = sizeof(filter);
    EXPECT_EQ(dd->EnumDisplayModes(0, &filter, nullptr, [](LPDDSURFACEDESC, LPVOID) { return DDENUMRET_CANCEL; }),
              DD_OK);
    const std::vector<std::string> calls = platform::TracedCalls();
    platform::SetTracing(false);
    const std::string unimplemented = platform::kUnimplemented;
    for (const char* stub : {"IDirectDrawSurface::BltBatch", "IDirectDrawSurface::BltFast:format conversion",
                             "IDirectDrawSurface::Blt:format conversion", "IDirectDrawSurface::GetDC:16-bit surfaces",
                             "IDirectDraw::EnumDisplayModes:filter"})
        EXPECT_EQ(std::count(calls.begin(), calls.end(), unimplemented + stub), 1) << stub;
}

// COM's one hard rule: every object answers IUnknown, with itself.
TEST_F(DirectDrawTest, EveryObjectAnswersIUnknownAndItsOwnInterface) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE s = Offscreen(8, 8);
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    dd->CreateClipper(0, &clipper, nullptr);
    PALETTEENTRY entries[256] = {};
    LPDIRECTDRAWPALETTE palette = nullptr;
    dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr);
    const std::pair<IUnknown*, const GUID*> objects[] = {{dd, &IID_IDirectDraw},
                                                         {s, &IID_IDirectDrawSurface},
                                                         {palette, &IID_IDirectDrawPalette},
                                                         {clipper, &IID_IDirectDrawClipper}};
    for (const auto& [object, iid] : objects) {
        for (const GUID* asked : {&platform::com::kIidUnknown, iid}) {
            LPVOID got = nullptr;
            ASSERT_EQ(object->QueryInterface(*asked, &got), S_OK);
            EXPECT_EQ(got, static_cast<LPVOID>(object));
            EXPECT_EQ(object->Release(), 1u);  // the answer held a reference
        }
        const GUID* other = iid == &IID_IDirectDraw ? &IID_IDirectDrawSurface : &IID_IDirectDraw;
        LPVOID got = &got;
        EXPECT_EQ(object->QueryInterface(*other, &got), E_NOINTERFACE);
        EXPECT_EQ(got, nullptr);
    }
}

// Windows documents no sampling rule for a shrinking blit; the stand-in's is
// the pixel under each destination pixel's centre, and the game's frames
// are made with it.
TEST_F(DirectDrawTest, AShrinkTakesThePixelUnderEachCentre) {
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    LPDIRECTDRAWSURFACE src = Offscreen(4, 2), dst = Offscreen(8, 4);
    for (int x = 0; x < 4; ++x) Set(src, x, 0, BYTE(x + 1)), Set(src, x, 1, BYTE(x + 5));
    RECT small{0, 0, 2, 1};
    EXPECT_EQ(dst->Blt(&small, src, nullptr, 0, nullptr), DD_OK);  // 4x2 into 2x1
    EXPECT_EQ(At(dst, 0, 0), 6);
    EXPECT_EQ(At(dst, 1, 0), 8);
}

}  // namespace
