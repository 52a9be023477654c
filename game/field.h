// Drawing the play field: sprites, text, the well image, the panel, the
// falling piece and the debug overlays.
#ifndef TUMBLA_GAME_FIELD_H
#define TUMBLA_GAME_FIELD_H

#include <windows.h>
#include <ddraw.h>

#include "game/sheet.h"

extern LPDIRECTDRAWSURFACE WellImage;

// The well image is drawn from the sprite sheet: a new sheet means a new image.
void WellImageNeedsRebuild(void);
BOOL DrawSprite(const SheetRect* rect, LONG x, LONG y);
BOOL DrawText(LONG x, LONG y, LPCSTR text, LONG font);
BOOL CreateWellImage(void);
void PaintPiece(LONG shape, LONG column, LONG row, const char cells[4][4]);
void ScrollWellImage(LONG interiorRow);
void DrawPanel(DWORD frameCounter);
// target: NULL for the canvas, otherwise the well image.
void DrawPiece(LONG x, LONG y, LONG shape, LPDIRECTDRAWSURFACE target);
void DrawDebugOverlays(void);
void ClearFieldState(void);
// The display was released with its DirectDraw object, which took the well
// image with it.
void DropWellImage(void);

#endif
