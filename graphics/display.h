// The display: DirectDraw device, primary surface, canvas, clippers and palette.
#ifndef TUMBLA_GRAPHICS_DISPLAY_H
#define TUMBLA_GRAPHICS_DISPLAY_H

#include <windows.h>
#include <ddraw.h>

struct Display {
    PALETTEENTRY paletteEntries[256];
    LONG width;
    LONG height;
    LONG bitsPerPixel;
    LPDIRECTDRAW directDraw;
    LPDIRECTDRAWCLIPPER canvasClipper;
    LPDIRECTDRAWCLIPPER windowClipper;
    LPDIRECTDRAWPALETTE palette;
    LPDIRECTDRAWSURFACE canvas;
    LPDIRECTDRAWSURFACE primary;
    LPDIRECTDRAWSURFACE flipBackBuffer;
    // Set once the full-screen mode was set again after a restore met
    // another mode; cleared when the game is activated again.
    LONG modeSetAgain;
};

extern Display display;
// The code of the set-up step that failed in the last CreateDisplay, 0 when
// it succeeded.
extern LONG displaySetupCode;

// What CallResult tells the caller to do with a DirectDraw result.
#define CALL_FAILED 0
#define CALL_DONE 1
#define CALL_RETRY 2

void ClearDisplayState(void);
LONG CreateDisplay(void);
LONG PresentFrame(void);
void WaitForDisplayRefresh(void);
LONG RestoreSurfaces(void);
LONG ReleaseDisplay(LONG releaseDirectDraw);
LONG CheckEmulationCaps(void);
DWORD PlacementCaps(DWORD caps);
LONG CallResult(HRESULT result);

#endif
