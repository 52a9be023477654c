// The display device: DirectDraw brought up full screen with a flip chain or
// in the main window on a 256-colour desktop, the canvas every frame is drawn
// on, the palette, and the present of each frame.
#include "graphics/display.h"

#include <string.h>

#include "graphics/draw.h"
#include "graphics/image.h"
#include "shell/shell.h"
#include "shell/window.h"

Display display;
LONG displaySetupCode;

void ClearDisplayState(void) {
    memset(&display, 0, sizeof(display));
    displaySetupCode = 0;
}

// The emulation layer must do everything the game asks of a blit, so that
// the program runs the same with or without a capable card.
#define REQUIRED_CAPS                                                                                           \
    (DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_PALETTE | DDCAPS_COLORKEY | DDCAPS_BLTCOLORFILL | DDCAPS_CANCLIP | \
     DDCAPS_CANCLIPSTRETCHED)
#define REQUIRED_FX_CAPS                                                                                   \
    (DDFXCAPS_BLTMIRRORLEFTRIGHT | DDFXCAPS_BLTMIRRORUPDOWN | DDFXCAPS_BLTSHRINKX | DDFXCAPS_BLTSHRINKXN | \
     DDFXCAPS_BLTSHRINKY | DDFXCAPS_BLTSHRINKYN | DDFXCAPS_BLTSTRETCHX | DDFXCAPS_BLTSTRETCHXN |           \
     DDFXCAPS_BLTSTRETCHY | DDFXCAPS_BLTSTRETCHYN)

LONG CheckEmulationCaps(void) {
    DDCAPS driverCaps;
    DDCAPS helCaps;

    memset(&driverCaps, 0, sizeof(driverCaps));
    memset(&helCaps, 0, sizeof(helCaps));
    driverCaps.dwSize = sizeof(driverCaps);
    helCaps.dwSize = sizeof(helCaps);
    if (display.directDraw->GetCaps(&driverCaps, &helCaps) != DD_OK) return 0;
    if ((helCaps.dwCaps & REQUIRED_CAPS) != REQUIRED_CAPS) return 0;
    if ((helCaps.dwFXCaps & REQUIRED_FX_CAPS) != REQUIRED_FX_CAPS) return 0;
    return 1;
}

DWORD PlacementCaps(DWORD caps) {
    if (launchOptions.systemMemory) return caps | DDSCAPS_SYSTEMMEMORY;
    return caps | DDSCAPS_VIDEOMEMORY;
}

LONG CallResult(HRESULT result) {
    if (result == DD_OK) return CALL_DONE;
    if (result == DDERR_WASSTILLDRAWING) return CALL_RETRY;
    // The lost picture is not drawn again here: the next frame draws everything.
    if (result == DDERR_SURFACELOST) RestoreSurfaces();
    return CALL_FAILED;
}

// Creates a surface; when video memory was asked for and the card cannot
// give it, asks once more and leaves the placement to DirectDraw.
static HRESULT CreateWithFallback(DDSURFACEDESC* ddsd, LPDIRECTDRAWSURFACE* surface) {
    HRESULT hr;

    hr = display.directDraw->CreateSurface(ddsd, surface, NULL);
    if (hr != DD_OK && !launchOptions.systemMemory) {
        ddsd->ddsCaps.dwCaps &= ~DDSCAPS_VIDEOMEMORY;
        hr = display.directDraw->CreateSurface(ddsd, surface, NULL);
    }
    return hr;
}

static void BuildPalette(void) {
    HDC dc;
    int i;

    dc = GetDC(shell.mainWindow);
    GetSystemPaletteEntries(dc, 0, 256, display.paletteEntries);
    ReleaseDC(shell.mainWindow, dc);

    // A 3-3-2 ramp between the twenty static colours of the system palette.
    for (i = 0; i < 236; i++) {
        display.paletteEntries[10 + i].peRed = (BYTE)(((i >> 5) & 7) * 255 / 7);
        display.paletteEntries[10 + i].peGreen = (BYTE)(((i >> 2) & 7) * 255 / 7);
        display.paletteEntries[10 + i].peBlue = (BYTE)((i & 3) * 255 / 3);
        display.paletteEntries[10 + i].peFlags = 0;
    }
    // Almost black, so that no entry of the ramp is pure black: this is the
    // index every surface is cleared to.
    display.paletteEntries[10].peRed = 0;
    display.paletteEntries[10].peGreen = 0;
    display.paletteEntries[10].peBlue = 1;
    display.paletteEntries[10].peFlags = 0;
}

// The set-up steps in order; returns 0 or the code of the step that failed.
static LONG SetupDisplay(void) {
    DDSURFACEDESC ddsd;
    DDSCAPS caps;
    struct {
        RGNDATAHEADER rdh;
        RECT rect;
    } clipRegion;

    launchOptions.displayReady = 0;
    display.width = 640;
    display.height = 480;
    display.bitsPerPixel = 8;
    display.directDraw = NULL;
    display.canvasClipper = NULL;
    display.windowClipper = NULL;
    display.palette = NULL;
    display.canvas = NULL;
    display.primary = NULL;
    display.flipBackBuffer = NULL;
    display.modeSetAgain = 0;

    if (DirectDrawCreate(launchOptions.emulationOnly ? (GUID FAR*)DDCREATE_EMULATIONONLY : NULL, &display.directDraw,
                         NULL) != DD_OK) {
        display.directDraw = NULL;
        return 31;
    }
    if (!CheckEmulationCaps()) return 32;

    memset(&ddsd, 0, sizeof(ddsd));
    ddsd.dwSize = sizeof(ddsd);
    if (launchOptions.fullScreen) {
        if (display.directDraw->SetCooperativeLevel(shell.mainWindow, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK)
            return 1;
        if (display.directDraw->SetDisplayMode(display.width, display.height, display.bitsPerPixel) != DD_OK) return 33;
        ddsd.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        ddsd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        ddsd.dwBackBufferCount = 1;
        if (CreateWithFallback(&ddsd, &display.primary) != DD_OK) return 2;
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        if (display.primary->GetAttachedSurface(&caps, &display.flipBackBuffer) != DD_OK) return 3;
    } else {
        if (display.directDraw->SetCooperativeLevel(shell.mainWindow, DDSCL_NORMAL) != DD_OK) return 1;
        ddsd.dwFlags = DDSD_CAPS;
        ddsd.ddsCaps.dwCaps = PlacementCaps(DDSCAPS_PRIMARYSURFACE);
        if (display.directDraw->CreateSurface(&ddsd, &display.primary, NULL) != DD_OK) return 2;
    }

    memset(&ddsd, 0, sizeof(ddsd));
    ddsd.dwSize = sizeof(ddsd);
    ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    ddsd.dwWidth = (DWORD)display.width;
    ddsd.dwHeight = (DWORD)display.height;
    ddsd.ddsCaps.dwCaps = PlacementCaps(DDSCAPS_OFFSCREENPLAIN);
    if (CreateWithFallback(&ddsd, &display.canvas) != DD_OK) return 7;

    SetSourceColorKey(display.canvas, RGB(0, 0, 0));
    SetSourceColorKey(display.primary, RGB(0, 0, 0));

    // Every blit into the canvas is clipped to the canvas.
    memset(&clipRegion, 0, sizeof(clipRegion));
    clipRegion.rdh.dwSize = sizeof(clipRegion);
    clipRegion.rdh.iType = RDH_RECTANGLES;
    clipRegion.rdh.nCount = 1;
    clipRegion.rdh.nRgnSize = sizeof(RECT);
    SetRect(&clipRegion.rdh.rcBound, 0, 0, display.width, display.height);
    SetRect(&clipRegion.rect, 0, 0, display.width, display.height);
    if (display.directDraw->CreateClipper(0, &display.canvasClipper, NULL) != DD_OK) return 16;
    if (display.canvasClipper->SetClipList((LPRGNDATA)&clipRegion, 0) != DD_OK) return 17;
    if (display.canvas->SetClipper(display.canvasClipper) != DD_OK) return 18;

    // In a window the present must not draw over other windows.
    if (!launchOptions.fullScreen) {
        if (display.directDraw->CreateClipper(0, &display.windowClipper, NULL) != DD_OK) return 19;
        if (display.windowClipper->SetHWnd(0, shell.mainWindow) != DD_OK) return 20;
        if (display.primary->SetClipper(display.windowClipper) != DD_OK) return 21;
    }

    BuildPalette();
    if (display.directDraw->CreatePalette(DDPCAPS_8BIT, display.paletteEntries, &display.palette, NULL) != DD_OK)
        return 8;
    if (display.primary->SetPalette(display.palette) != DD_OK) return 9;
    LoadPaletteEntries(display.palette, display.paletteEntries);

    if (launchOptions.fullScreen) ClearSurface(display.flipBackBuffer, 10);
    ClearSurface(display.primary, 10);
    ClearSurface(display.canvas, 10);

    launchOptions.displayReady = 1;
    return 0;
}

static void ReleaseDisplayObjects(LONG releaseDirectDraw);

LONG CreateDisplay(void) {
    displaySetupCode = SetupDisplay();
    // A half-made display is taken down at once, so that the error report
    // appears on the desktop rather than over an exclusive full-screen mode.
    if (displaySetupCode != 0) ReleaseDisplayObjects(1);
    return displaySetupCode == 0 ? 1 : 0;
}

LONG PresentFrame(void) {
    RECT source;
    RECT target;
    HRESULT hr;

    if (!launchOptions.displayReady) return 0;
    SetRect(&source, 0, 0, display.width, display.height);
    if (launchOptions.fullScreen) {
        do {
            hr = display.flipBackBuffer->BltFast(0, 0, display.canvas, &source, DDBLTFAST_WAIT);
        } while (CallResult(hr) == CALL_RETRY);
        do {
            hr = display.primary->Flip(NULL, DDFLIP_WAIT);
        } while (CallResult(hr) == CALL_RETRY);
    } else {
        // The canvas is stretched over the window's client area, whatever its size.
        SetRect(&target, shell.windowX, shell.windowY, shell.windowX + shell.clientWidth,
                shell.windowY + shell.clientHeight);
        // Shown the moment it is drawn: the frame loop holds the pace before
        // the next frame reads its keys, never here.
        do {
            hr = display.primary->Blt(&target, display.canvas, &source, DDBLT_WAIT, NULL);
        } while (CallResult(hr) == CALL_RETRY);
    }
    return 1;
}

// The frame loop's wait for the display's next refresh, before a frame
// reads its keys. A full-screen flip queued by the last frame is done by
// then, so the next present does not wait for it.
void WaitForDisplayRefresh(void) {
    if (!launchOptions.displayReady || display.directDraw == NULL) return;
    display.directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, NULL);
}

// Windows sets an exclusive program's mode again when it comes back to the
// front; Wine, and some drivers, leave the desktop's mode that another
// program put back, and the primary cannot come back in it. Then the game
// sets its mode itself, once per activation, so a mode that cannot be set
// costs one try and not one a frame; and only while it is in front, never
// under the program that took the screen.
static HRESULT RestorePrimary(void) {
    HRESULT hr;

    hr = display.primary->Restore();
    if (hr != DDERR_WRONGMODE || !launchOptions.fullScreen || !shell.appActive || display.modeSetAgain) return hr;
    display.modeSetAgain = 1;
    if (display.directDraw->SetDisplayMode(display.width, display.height, display.bitsPerPixel) != DD_OK) return hr;
    return display.primary->Restore();
}

LONG RestoreSurfaces(void) {
    LONG result;

    if (!launchOptions.displayReady) return 0;
    result = 1;
    // The flip back buffer belongs to the primary's chain and comes back with it.
    if (display.primary != NULL && RestorePrimary() != DD_OK) result = 0;
    if (display.canvas != NULL && display.canvas->Restore() != DD_OK) result = 0;
    if (display.palette != NULL && display.primary != NULL && display.primary->SetPalette(display.palette) != DD_OK)
        result = 0;
    ReloadSprites();
    return result;
}

// Releases whatever of the display exists, in the order the device wants.
static void ReleaseDisplayObjects(LONG releaseDirectDraw) {
    if (display.canvasClipper != NULL) {
        display.canvasClipper->Release();
        display.canvasClipper = NULL;
    }
    if (display.windowClipper != NULL) {
        display.windowClipper->Release();
        display.windowClipper = NULL;
    }
    if (display.primary != NULL) {
        display.primary->Release();  // takes the flip back buffer with it
        display.primary = NULL;
        display.flipBackBuffer = NULL;
    }
    if (display.palette != NULL) {
        display.palette->Release();
        display.palette = NULL;
    }
    if (display.canvas != NULL) {
        display.canvas->Release();
        display.canvas = NULL;
    }
    if (launchOptions.fullScreen && display.directDraw != NULL) display.directDraw->RestoreDisplayMode();
    if (releaseDirectDraw && display.directDraw != NULL) {
        display.directDraw->Release();
        display.directDraw = NULL;
    }
}

LONG ReleaseDisplay(LONG releaseDirectDraw) {
    if (!launchOptions.displayReady) return 0;
    ReleaseDisplayObjects(releaseDirectDraw);
    launchOptions.displayReady = 0;
    return 1;
}
