// The sprite sheet's map: where every sprite lies on bitmap resource 117,
// and where the panel's parts sit relative to the panel.
#ifndef TUMBLA_GAME_SHEET_H
#define TUMBLA_GAME_SHEET_H

#include <windows.h>
#include <ddraw.h>

struct SheetRect {
    LONG x;
    LONG y;
    LONG width;
    LONG height;
};

#define PANEL_WIDTH 160
#define PANEL_HEIGHT 320

extern LPDIRECTDRAWSURFACE spriteSheet;

// Forgets the sheet without releasing it: at start, and once the DirectDraw
// object that owned it was released, which took the sheet with it.
void ClearSheetState(void);

// Loads the sheet from its bitmap resource onto the display (again after a
// restore), with its transparent colour.
BOOL LoadSpriteSheet(void);

extern const SheetRect panelFrame;
extern const SheetRect cellTiles[8];
extern const SheetRect entryWaveFrames[4];
extern const SheetRect meterSegments[3];
extern const SheetRect smallBurstFrames[8];
extern const SheetRect largeBurstFrames[8];
extern const SheetRect debrisFrames[8];
extern const SheetRect starFrames[8];
extern const SheetRect orbitBodies[3];
extern const SheetRect figureFrames[8];

#endif
