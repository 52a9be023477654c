// Placeholder drawing until the play field is drawn for real: every
// operation succeeds and draws nothing.
#include "game/field.h"

LPDIRECTDRAWSURFACE spriteSheet;
LPDIRECTDRAWSURFACE WellImage;

BOOL LoadSpriteSheet(void) { return TRUE; }
BOOL DrawSprite(const SheetRect*, LONG, LONG) { return TRUE; }
BOOL DrawText(LONG, LONG, LPCSTR, LONG) { return TRUE; }
BOOL CreateWellImage(void) { return TRUE; }
void PaintPiece(LONG, LONG, LONG, const char[4][4]) {}
void ScrollWellImage(LONG) {}
void DrawPanel(DWORD) {}
void DrawPiece(LONG, LONG, LONG, LPDIRECTDRAWSURFACE) {}
void DrawDebugOverlays(void) {}
void DropDisplaySurfaces(void) {}
