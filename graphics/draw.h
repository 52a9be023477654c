// Drawing operations on 8-bit surfaces.
#ifndef TUMBLA_GRAPHICS_DRAW_H
#define TUMBLA_GRAPHICS_DRAW_H

#include <windows.h>
#include <ddraw.h>

LONG ClearSurface(LPDIRECTDRAWSURFACE surface, LONG index);

#endif
