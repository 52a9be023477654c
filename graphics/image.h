// Bitmaps onto surfaces, colour matching for colour keys, and the readers of
// a Windows bitmap's pixels and colour table.
#ifndef TUMBLA_GRAPHICS_IMAGE_H
#define TUMBLA_GRAPHICS_IMAGE_H

#include <windows.h>
#include <ddraw.h>

// name: a resource identifier (MAKEINTRESOURCE) or a file name.
LPDIRECTDRAWSURFACE LoadBitmapSurface(LPDIRECTDRAW directDraw, LPCSTR name, LONG width, LONG height);
HRESULT ReloadBitmap(LPDIRECTDRAWSURFACE surface, LPCSTR name);
HRESULT CopyBitmapToSurface(LPDIRECTDRAWSURFACE surface, HBITMAP bitmap, LONG x, LONG y, LONG width, LONG height);
DWORD MatchColor(LPDIRECTDRAWSURFACE surface, COLORREF color);
HRESULT SetSourceColorKey(LPDIRECTDRAWSURFACE surface, COLORREF color);
LONG LoadBmpFileToSurface(LPCSTR name, LPDIRECTDRAWSURFACE surface, BYTE baseIndex, LONG paletteMode);
LONG ReadBitmapPalette(LPCSTR name, PALETTEENTRY* table);
LPDIRECTDRAWPALETTE LoadBitmapPalette(LPDIRECTDRAW directDraw, LPCSTR name);

#endif
