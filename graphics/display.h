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
};

extern Display display;

LONG CreateDisplay(void);
LONG PresentFrame(void);
LONG RestoreSurfaces(void);
LONG ReleaseDisplay(LONG releaseDirectDraw);

#endif
