// Drawing operations on 8-bit surfaces: fills, keyed and opaque copies, the
// stretched sprite blit, pixel and line drawing through a lock, palette
// pushes and work surfaces. Colours are palette indices; rectangles are
// x, y, width, height.
#ifndef TUMBLA_GRAPHICS_DRAW_H
#define TUMBLA_GRAPHICS_DRAW_H

#include <windows.h>
#include <ddraw.h>

// Blits, each under the retry rule of CallResult.
LONG ClearSurface(LPDIRECTDRAWSURFACE surface, LONG index);
// Beside USER's FillRect(HDC, const RECT*, HBRUSH) and FrameRect: these take
// a surface and a palette index, so the names can be shared.
LONG FillRect(LPDIRECTDRAWSURFACE surface, LONG x, LONG y, LONG width, LONG height, LONG index);
LONG FrameRect(LPDIRECTDRAWSURFACE surface, LONG x, LONG y, LONG width, LONG height, LONG index);
LONG CopyKeyed(LPDIRECTDRAWSURFACE source, LONG sx, LONG sy, LONG width, LONG height, LPDIRECTDRAWSURFACE destination,
               LONG dx, LONG dy);
LONG CopyOpaque(LPDIRECTDRAWSURFACE source, LONG sx, LONG sy, LONG width, LONG height, LPDIRECTDRAWSURFACE destination,
                LONG dx, LONG dy);
LONG StretchKeyed(LPDIRECTDRAWSURFACE source, LONG sx, LONG sy, LONG sw, LONG sh, LPDIRECTDRAWSURFACE destination,
                  LONG dx, LONG dy, LONG dw, LONG dh);
// mirror: bit 0 left-right, bit 1 up-down.
LONG StretchMirrored(LPDIRECTDRAWSURFACE source, LONG sx, LONG sy, LONG sw, LONG sh, LPDIRECTDRAWSURFACE destination,
                     LONG dx, LONG dy, LONG dw, LONG dh, LONG mirror);

// Pixel work through a lock of the whole surface, kept inside both the
// 640x480 display area and the surface itself.
LONG PutPixel(LPDIRECTDRAWSURFACE surface, LONG x, LONG y, LONG index);
WORD ReadPixel(LPDIRECTDRAWSURFACE surface, LONG x, LONG y);
LONG FillPattern(LPDIRECTDRAWSURFACE surface, LONG x, LONG y, LONG width, LONG height, LONG stepX, LONG stepY,
                 LONG index);
LONG CopyPattern(LPDIRECTDRAWSURFACE source, LONG sx, LONG sy, LONG width, LONG height, LPDIRECTDRAWSURFACE destination,
                 LONG dx, LONG dy, LONG stepX, LONG stepY);
LONG ReplaceIndex(LPDIRECTDRAWSURFACE surface, LONG x, LONG y, LONG width, LONG height, LONG from, LONG to);
LONG DrawLine(LPDIRECTDRAWSURFACE surface, LONG x1, LONG y1, LONG x2, LONG y2, LONG index);

// Palette pushes.
LONG LoadPaletteEntries(LPDIRECTDRAWPALETTE palette, PALETTEENTRY* entries);
LONG LoadPaletteRange(LPDIRECTDRAWPALETTE palette, PALETTEENTRY* entries, LONG first, LONG count);
// rgb is 0x00RRGGBB.
LONG SetPaletteColor(LPDIRECTDRAWPALETTE palette, LONG index, DWORD rgb, PALETTEENTRY* entries);

LONG CreateWorkSurface(LPDIRECTDRAWSURFACE* surface, LONG width, LONG height);
DWORD BitDepthFlag(LONG bits);

#endif
