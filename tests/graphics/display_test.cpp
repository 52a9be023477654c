// The display device: set-up in both modes and each of its failures, the
// palette, the retry rule, the present and the release.
#include "tests/graphics/display_fixture.h"

#include <algorithm>
#include <vector>

#include "game/field.h"
#include "platform/com/com.h"

namespace {

PALETTEENTRY Entry(int r, int g, int b) { return PALETTEENTRY{BYTE(r), BYTE(g), BYTE(b), 0}; }
bool Same(const PALETTEENTRY& a, const PALETTEENTRY& b) {
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue && a.peFlags == b.peFlags;
}

TEST_F(DisplayTest, WindowedSetUpBuildsTheRampBetweenTheSystemColours) {
    PALETTEENTRY system[256];
    HDC dc = GetDC(shell.mainWindow);
    ASSERT_EQ(GetSystemPaletteEntries(dc, 0, 256, system), 256u);
    ReleaseDC(shell.mainWindow, dc);

    Create(false);
    EXPECT_EQ(launchOptions.displayReady, 1);
    EXPECT_EQ(displaySetupCode, 0);
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(Same(display.paletteEntries[i], system[i])) << i;
    for (int i = 246; i < 256; ++i) EXPECT_TRUE(Same(display.paletteEntries[i], system[i])) << i;
    EXPECT_TRUE(Same(display.paletteEntries[10], Entry(0, 0, 1)));
    EXPECT_TRUE(Same(display.paletteEntries[11], Entry(0, 0, 85)));
    EXPECT_TRUE(Same(display.paletteEntries[14], Entry(0, 36, 0)));
    EXPECT_TRUE(Same(display.paletteEntries[41], Entry(0, 255, 255)));
    EXPECT_TRUE(Same(display.paletteEntries[42], Entry(36, 0, 0)));
    EXPECT_TRUE(Same(display.paletteEntries[234], Entry(255, 0, 0)));
    EXPECT_TRUE(Same(display.paletteEntries[245], Entry(255, 72, 255)));
    for (int i = 0; i < 256; ++i) EXPECT_EQ(display.paletteEntries[i].peFlags, 0) << i;

    // The palette is the display's: pushed to the palette object and shown.
    PALETTEENTRY pushed[256];
    ASSERT_EQ(display.palette->GetEntries(0, 0, 256, pushed), DD_OK);
    EXPECT_TRUE(Same(pushed[245], Entry(255, 72, 255)));
    EXPECT_TRUE(Same(headless::ScreenPaletteEntry(42), Entry(36, 0, 0)));
    EXPECT_EQ(display.flipBackBuffer, nullptr);
}

TEST_F(DisplayTest, SetUpClearsTheCanvasAndTheWindowToIndexTen) {
    Create(false);
    EXPECT_EQ(Pixel(display.canvas, 0, 0), 10);
    EXPECT_EQ(Pixel(display.canvas, 639, 479), 10);
    // On the desktop only the window's client area was cleared.
    EXPECT_EQ(headless::ScreenPixel(100, 50), 10);
    EXPECT_EQ(headless::ScreenPixel(739, 529), 10);
    EXPECT_EQ(headless::ScreenPixel(99, 50), 0);
    EXPECT_EQ(headless::ScreenPixel(740, 529), 0);
}

TEST_F(DisplayTest, FullScreenSetUpHasAFlipChainInTheExclusiveMode) {
    headless::SetDesktop(host::DesktopMode{1280, 1024, 16});
    Create(true);
    EXPECT_TRUE(host::InFullScreenMode());
    EXPECT_EQ(headless::ScreenWidth(), 640);
    ASSERT_NE(display.flipBackBuffer, nullptr);
    EXPECT_EQ(display.windowClipper, nullptr);
    EXPECT_EQ(Pixel(display.flipBackBuffer, 5, 5), 10);
    EXPECT_EQ(Pixel(display.primary, 5, 5), 10);
    // In the 8-bit mode the system palette's static colours are there to copy.
    EXPECT_TRUE(Same(display.paletteEntries[249], Entry(255, 0, 0)));
}

struct StepFailure {
    const char* call;
    int skip;
    int every;
    bool fullScreen;
    bool systemMemory;
    LONG code;
};

class SetUpFailureTest : public DisplayTest, public ::testing::WithParamInterface<StepFailure> {};

TEST_P(SetUpFailureTest, StopsWithTheStepsCodeAndTheDisplayNotReady) {
    const StepFailure& f = GetParam();
    launchOptions.fullScreen = f.fullScreen;
    launchOptions.systemMemory = f.systemMemory;
    Fail(f.call, DDERR_GENERIC, f.skip, f.every);
    EXPECT_EQ(CreateDisplay(), 0);
    EXPECT_EQ(displaySetupCode, f.code);
    EXPECT_EQ(launchOptions.displayReady, 0);
    // Nothing to release for a display that never became ready.
    platform::ClearTrace();
    EXPECT_EQ(ReleaseDisplay(1), 0);
    EXPECT_EQ(PresentFrame(), 0);
    EXPECT_TRUE(platform::TracedCalls().empty());
    platform::ClearFaults();
    // The half-made display was taken down with the failure, mode included.
    EXPECT_EQ(display.directDraw, nullptr);
    EXPECT_EQ(display.primary, nullptr);
    EXPECT_EQ(display.canvas, nullptr);
    EXPECT_EQ(display.canvasClipper, nullptr);
    EXPECT_FALSE(host::InFullScreenMode());
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, SetUpFailureTest,
    ::testing::Values(StepFailure{"DirectDrawCreate", 0, 0, false, false, 31},
                      StepFailure{"IDirectDraw::GetCaps", 0, 0, false, false, 32},
                      StepFailure{"IDirectDraw::SetCooperativeLevel", 0, 0, true, false, 1},
                      StepFailure{"IDirectDraw::SetDisplayMode", 0, 0, true, false, 33},
                      StepFailure{"IDirectDraw::CreateSurface", 0, 1, true, false, 2},  // both attempts fail
                      StepFailure{"IDirectDraw::CreateSurface", 0, 0, true, true, 2},   // /M: no second attempt
                      StepFailure{"IDirectDrawSurface::GetAttachedSurface", 0, 0, true, false, 3},
                      StepFailure{"IDirectDraw::SetCooperativeLevel", 0, 0, false, false, 1},
                      StepFailure{"IDirectDraw::CreateSurface", 0, 0, false, false, 2},  // windowed: no second attempt
                      StepFailure{"IDirectDraw::CreateSurface", 1, 1, false, false, 7},
                      StepFailure{"IDirectDraw::CreateClipper", 0, 0, false, false, 16},
                      StepFailure{"IDirectDrawClipper::SetClipList", 0, 0, false, false, 17},
                      StepFailure{"IDirectDrawSurface::SetClipper", 0, 0, false, false, 18},
                      StepFailure{"IDirectDraw::CreateClipper", 1, 0, false, false, 19},
                      StepFailure{"IDirectDrawClipper::SetHWnd", 0, 0, false, false, 20},
                      StepFailure{"IDirectDrawSurface::SetClipper", 1, 0, false, false, 21},
                      StepFailure{"IDirectDraw::CreatePalette", 0, 0, false, false, 8},
                      StepFailure{"IDirectDrawSurface::SetPalette", 0, 0, false, false, 9}));

TEST_F(DisplayTest, ASecondCreationAttemptSavesTheCanvasAndTheFlipChain) {
    launchOptions.fullScreen = 1;
    Fail("IDirectDraw::CreateSurface", DDERR_OUTOFVIDEOMEMORY);     // the primary, once
    Fail("IDirectDraw::CreateSurface", DDERR_OUTOFVIDEOMEMORY, 1);  // then the canvas, once
    EXPECT_EQ(CreateDisplay(), 1);
    EXPECT_EQ(Count("IDirectDraw::CreateSurface"), 4);
}

TEST_F(DisplayTest, EmulationOnlyPutsTheCanvasInSystemMemory) {
    launchOptions.emulationOnly = 1;
    Create(false);
    DDSCAPS caps{};
    ASSERT_EQ(display.canvas->GetCaps(&caps), DD_OK);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY);
}

TEST_F(DisplayTest, AnEmulationLayerWithoutColourKeysFailsBeforeTouchingTheMode) {
    headless::SetEmulationCaps(DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_PALETTE | DDCAPS_BLTCOLORFILL | DDCAPS_CANCLIP |
                                   DDCAPS_CANCLIPSTRETCHED,
                               0x3FCC0);
    launchOptions.fullScreen = 1;
    EXPECT_EQ(CreateDisplay(), 0);
    EXPECT_EQ(displaySetupCode, 32);
    EXPECT_EQ(Count("IDirectDraw::SetCooperativeLevel"), 0);
    EXPECT_EQ(Count("IDirectDraw::SetDisplayMode"), 0);
    EXPECT_FALSE(host::InFullScreenMode());
    EXPECT_EQ(display.directDraw, nullptr);
}

TEST_F(DisplayTest, AnEmulationLayerWithoutShrinkingFailsToo) {
    headless::SetEmulationCaps(0x64408240, 0x3FCC0 & ~DDFXCAPS_BLTSHRINKYN);
    EXPECT_EQ(CreateDisplay(), 0);
    EXPECT_EQ(displaySetupCode, 32);
    EXPECT_EQ(display.directDraw, nullptr);
}

TEST_F(DisplayTest, PlacementFollowsTheSystemMemorySwitch) {
    EXPECT_EQ(PlacementCaps(DDSCAPS_OFFSCREENPLAIN), DWORD{DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY});
    launchOptions.systemMemory = 1;
    EXPECT_EQ(PlacementCaps(DDSCAPS_PRIMARYSURFACE), DWORD{0x200 | 0x800});
}

TEST_F(DisplayTest, OperationsBeforeSetUpAndAfterReleaseTouchNothing) {
    EXPECT_EQ(PresentFrame(), 0);
    EXPECT_EQ(RestoreSurfaces(), 0);
    EXPECT_EQ(ReleaseDisplay(1), 0);
    EXPECT_TRUE(platform::TracedCalls().empty());
    Create(false);
    EXPECT_EQ(ReleaseDisplay(1), 1);
    platform::ClearTrace();
    EXPECT_EQ(PresentFrame(), 0);
    EXPECT_EQ(RestoreSurfaces(), 0);
    EXPECT_EQ(ReleaseDisplay(1), 0);
    EXPECT_TRUE(platform::TracedCalls().empty());
    EXPECT_EQ(display.directDraw, nullptr);
    EXPECT_EQ(display.canvas, nullptr);
}

TEST_F(DisplayTest, OnlyAFullScreenReleaseRestoresTheDesktopMode) {
    Create(false);
    ReleaseDisplay(1);
    EXPECT_EQ(Count("IDirectDraw::RestoreDisplayMode"), 0);

    Create(true);
    EXPECT_TRUE(host::InFullScreenMode());
    ReleaseDisplay(1);
    EXPECT_EQ(Count("IDirectDraw::RestoreDisplayMode"), 1);
    EXPECT_FALSE(host::InFullScreenMode());
}

// The game lets its work surfaces go with the DirectDraw object, which frees
// them, as Windows does, though the game never released them.
TEST_F(DisplayTest, ReleasingTheDirectDrawObjectTakesTheGamesSurfacesWithIt) {
    const int before = platform::com::liveObjects;
    Create(false);
    LPDIRECTDRAWSURFACE work = nullptr;
    ASSERT_EQ(CreateWorkSurface(&work, 512, 336), 1);
    ReleaseDisplay(1);
    EXPECT_EQ(platform::com::liveObjects, before);
}

// ---------------------------------------------------------------------------
// The retry rule.

TEST_F(DisplayTest, RetryRuleRepeatsWhileStillDrawing) {
    Create(false);
    EXPECT_EQ(CallResult(DD_OK), CALL_DONE);
    EXPECT_EQ(CallResult(DDERR_WASSTILLDRAWING), CALL_RETRY);
    EXPECT_EQ(CallResult(DDERR_INVALIDRECT), CALL_FAILED);
    EXPECT_EQ(Count("IDirectDrawSurface::Restore"), 0);

    Fail("IDirectDrawSurface::Blt", DDERR_WASSTILLDRAWING);  // the first call
    Fail("IDirectDrawSurface::Blt", DDERR_WASSTILLDRAWING);  // and the second
    EXPECT_EQ(FillRect(display.canvas, 0, 0, 4, 4, 7), 1);
    EXPECT_EQ(Count("IDirectDrawSurface::Blt"), 3);
    EXPECT_EQ(Pixel(display.canvas, 3, 3), 7);
}

TEST_F(DisplayTest, RetryRuleRestoresOnceOnALostSurfaceAndFails) {
    Create(false);
    Fail("IDirectDrawSurface::Blt", DDERR_SURFACELOST);
    EXPECT_EQ(FillRect(display.canvas, 0, 0, 4, 4, 7), 0);
    EXPECT_EQ(Count("IDirectDrawSurface::Blt"), 1);
    EXPECT_EQ(Count("IDirectDrawSurface::Restore"), 3);  // primary and canvas, then the reloaded sprite sheet
    EXPECT_EQ(Pixel(display.canvas, 0, 0), 10);
    // Restored, the next operation works.
    EXPECT_EQ(FillRect(display.canvas, 0, 0, 4, 4, 7), 1);
}

TEST_F(DisplayTest, AFailedRestoreLeavesItForTheNextOperation) {
    Create(false);
    Fail("IDirectDrawSurface::Blt", DDERR_SURFACELOST);
    Fail("IDirectDrawSurface::Restore", DDERR_GENERIC, 1);  // the canvas's restore fails
    EXPECT_EQ(ClearSurface(display.canvas, 3), 0);
    EXPECT_EQ(display.canvas->IsLost(), DDERR_SURFACELOST);
    platform::ClearTrace();
    EXPECT_EQ(ClearSurface(display.canvas, 3), 0);       // meets the lost canvas, restores it
    EXPECT_EQ(Count("IDirectDrawSurface::Restore"), 3);  // primary, canvas and the reloaded sprite sheet
    EXPECT_EQ(ClearSurface(display.canvas, 3), 1);
}

TEST_F(DisplayTest, RestoreReloadsTheSpriteSheet) {
    Create(false);
    LoadSpriteSheet();
    ASSERT_NE(spriteSheet, nullptr) << "the program's sprite sheet loads";
    // Its picture, sampled; then lost (wiped) and restored.
    std::vector<int> picture;
    for (int y = 0; y < 240; y += 7)
        for (int x = 0; x < 320; x += 5) picture.push_back(ReadPixel(spriteSheet, x, y));
    ASSERT_GT(std::count_if(picture.begin(), picture.end(), [&](int p) { return p != picture.front(); }), 0)
        << "a picture, not a plain fill";
    ClearSurface(spriteSheet, 0);
    platform::ClearTrace();
    EXPECT_EQ(RestoreSurfaces(), 1);
    EXPECT_GE(Count("LoadImageA"), 1);
    ASSERT_NE(spriteSheet, nullptr);
    std::vector<int> after;
    for (int y = 0; y < 240; y += 7)
        for (int x = 0; x < 320; x += 5) after.push_back(ReadPixel(spriteSheet, x, y));
    EXPECT_EQ(after, picture);
}

// ---------------------------------------------------------------------------
// The present.

TEST_F(DisplayTest, WindowedPresentStretchesTheCanvasOverAn800x600ClientArea) {
    Create(false);
    PlaceClient(20, 30, 800, 600);
    ClearSurface(display.canvas, 0);
    FillRect(display.canvas, 320, 0, 320, 480, 42);  // right half
    FillRect(display.canvas, 0, 240, 640, 240, 41);  // bottom half
    int waits = headless::RefreshWaits();
    std::uint32_t drawn = headless::Time();
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(headless::RefreshWaits(), waits) << "a drawn frame is shown at once";
    EXPECT_EQ(headless::Time(), drawn);

    const auto& screen = headless::LastScreen();
    ASSERT_EQ(screen.width, 800);
    ASSERT_EQ(screen.height, 600);
    auto at = [&](int x, int y) { return screen.pixels[static_cast<std::size_t>(y * 800 + x)]; };
    EXPECT_EQ(at(0, 0), 0);
    EXPECT_EQ(at(399, 0), 0);   // canvas x 319
    EXPECT_EQ(at(400, 0), 42);  // canvas x 320
    EXPECT_EQ(at(799, 299), 42);
    EXPECT_EQ(at(0, 300), 41);  // canvas y 240
    EXPECT_EQ(at(799, 599), 41);
    EXPECT_EQ(screen.palette[42].peRed, 36);
    // The desktop around the window is untouched.
    EXPECT_EQ(headless::ScreenPixel(19, 30), 0);
    EXPECT_EQ(headless::ScreenPixel(820, 30), 0);
}

TEST_F(DisplayTest, WindowedPresentAtTheCanvasSizeCopiesOneToOne) {
    Create(false);
    for (int i = 0; i < 64; ++i) FillRect(display.canvas, i * 10, 0, 10, 480, 100 + i);
    PresentFrame();
    const auto& screen = headless::LastScreen();
    ASSERT_EQ(screen.width, 640);
    for (int x = 0; x < 640; x += 7) EXPECT_EQ(screen.pixels[static_cast<std::size_t>(x)], 100 + x / 10) << x;
}

TEST_F(DisplayTest, FullScreenPresentFlipsTheCanvasIntoView) {
    Create(true);
    FillRect(display.canvas, 0, 0, 640, 480, 77);
    int shown = headless::ScreensShown();
    std::uint32_t drawn = headless::Time();
    PresentFrame();
    EXPECT_EQ(headless::ScreensShown(), shown + 1);
    EXPECT_EQ(headless::Time(), drawn) << "the flip is queued and the frame shown at once";
    EXPECT_EQ(Count("IDirectDrawSurface::BltFast"), 1);
    EXPECT_EQ(Count("IDirectDrawSurface::Flip"), 1);
    const auto& screen = headless::LastScreen();
    ASSERT_EQ(screen.width, 640);
    EXPECT_EQ(screen.pixels[0], 77);
    EXPECT_EQ(screen.pixels[640 * 480 - 1], 77);
    // The next frame shows the next canvas, whichever buffer it lands in.
    FillRect(display.canvas, 0, 0, 640, 480, 78);
    PresentFrame();
    EXPECT_EQ(headless::LastScreen().pixels[1000], 78);
    EXPECT_EQ(Pixel(display.primary, 1, 1), 78);
}

TEST_F(DisplayTest, ALostCopyInFullScreenStillFlipsAndTheNextFrameShows) {
    Create(true);
    FillRect(display.canvas, 0, 0, 640, 480, 5);
    PresentFrame();
    FillRect(display.canvas, 0, 0, 640, 480, 6);
    Fail("IDirectDrawSurface::BltFast", DDERR_SURFACELOST);
    PresentFrame();
    EXPECT_EQ(Count("IDirectDrawSurface::Restore"), 3);  // primary, canvas and the reloaded sprite sheet
    EXPECT_EQ(Count("IDirectDrawSurface::Flip"), 2);
    EXPECT_NE(headless::LastScreen().pixels[0], 6);
    PresentFrame();
    EXPECT_EQ(headless::LastScreen().pixels[0], 6);
}

TEST_F(DisplayTest, AWindowedPresentThatMeetsALostSurfaceRestoresAndShowsNothing) {
    Create(false);
    ClearSurface(display.canvas, 33);
    Fail("IDirectDrawSurface::Blt", DDERR_SURFACELOST);
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(Count("IDirectDrawSurface::Restore"), 3);  // primary, canvas and the reloaded sprite sheet
    EXPECT_EQ(headless::ScreenPixel(100, 50), 10);       // that frame was not copied
    EXPECT_EQ(display.primary->IsLost(), DD_OK);
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(headless::ScreenPixel(100, 50), 33);
}

}  // namespace
