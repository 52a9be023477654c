// The sprite sheet: the surface made from its bitmap resource, and the map
// of where each sprite lies on it.
#include "game/sheet.h"

#include "game/field.h"
#include "graphics/display.h"
#include "graphics/image.h"
#include "resources/resource.h"

#define SHEET_KEY_COLOUR RGB(0, 1, 0)

LPDIRECTDRAWSURFACE spriteSheet;

void ClearSheetState(void) { spriteSheet = NULL; }

BOOL LoadSpriteSheet(void) {
    // After a restore the old sheet still exists: let it go before making the new one.
    if (spriteSheet != NULL) {
        spriteSheet->Release();
        spriteSheet = NULL;
    }
    spriteSheet = LoadBitmapSurface(display.directDraw, MAKEINTRESOURCEA(IDB_SPRITES), 0, 0);
    if (spriteSheet != NULL) SetSourceColorKey(spriteSheet, SHEET_KEY_COLOUR);
    WellImageNeedsRebuild();
    return spriteSheet != NULL;
}

const SheetRect panelFrame = {0, 80, PANEL_WIDTH, PANEL_HEIGHT};

// clang-format off
#define ROW8(x0, dx, y, w, h) \
    {{(x0), (y), (w), (h)}, {(x0) + (dx), (y), (w), (h)}, {(x0) + 2 * (dx), (y), (w), (h)}, \
     {(x0) + 3 * (dx), (y), (w), (h)}, {(x0) + 4 * (dx), (y), (w), (h)}, {(x0) + 5 * (dx), (y), (w), (h)}, \
     {(x0) + 6 * (dx), (y), (w), (h)}, {(x0) + 7 * (dx), (y), (w), (h)}}
// clang-format on

const SheetRect cellTiles[8] = ROW8(160, 16, 80, 16, 16);
const SheetRect entryWaveFrames[4] = {{160, 112, 64, 16}, {160, 128, 64, 16}, {160, 144, 64, 16}, {160, 160, 64, 16}};
const SheetRect meterSegments[3] = {{528, 32, 4, 16}, {532, 32, 4, 16}, {536, 32, 4, 16}};
const SheetRect smallBurstFrames[8] = ROW8(256, 16, 48, 16, 16);
const SheetRect largeBurstFrames[8] = ROW8(0, 32, 48, 32, 32);
const SheetRect debrisFrames[8] = ROW8(256, 16, 64, 16, 16);
const SheetRect starFrames[8] = ROW8(512, 16, 432, 16, 16);
const SheetRect orbitBodies[3] = {{368, 432, 48, 48}, {416, 432, 48, 48}, {464, 432, 48, 48}};
const SheetRect figureFrames[8] = ROW8(512, 16, 400, 16, 16);
