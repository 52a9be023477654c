// The play field on screen: sprites and text from the sprite sheet, the well
// image that mirrors the grid, the panel with its numbers and meter, the
// falling piece, and the debug overlays drawn over every frame.
#include <windows.h>
#include <mmsystem.h>
#include <ddraw.h>

#include "game/field.h"
#include "game/play.h"
#include "game/rules.h"
#include "graphics/display.h"
#include "graphics/draw.h"
#include "graphics/image.h"
#include "shell/shell.h"

#define WELL_IMAGE_WIDTH 512
#define WELL_IMAGE_HEIGHT 336

LPDIRECTDRAWSURFACE WellImage;

// Segment kinds of the height meter from the bottom: 0 red, 1 yellow, 2 green.
static const LONG meterKinds[16] = {2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0};

// Set when the display's surfaces were made again: the well image must be
// rebuilt from the grid before it is next drawn or painted.
static BOOL wellImageStale;
static BOOL playStarted;

struct FontLayout {
    LONG originX;
    LONG originY;
    LONG width;
    LONG height;
};
static const FontLayout largeFont = {0, 0, 16, 16};
static const FontLayout smallFont = {512, 0, 4, 6};

void ClearFieldState(void) {
    WellImage = NULL;
    wellImageStale = FALSE;
    playStarted = FALSE;
}

void DropWellImage(void) {
    // It went with the DirectDraw object; nothing is left to release.
    WellImage = NULL;
    wellImageStale = TRUE;
}

void WellImageNeedsRebuild(void) { wellImageStale = TRUE; }

BOOL DrawSprite(const SheetRect* rect, LONG x, LONG y) {
    return StretchKeyed(spriteSheet, rect->x, rect->y, rect->width, rect->height, display.canvas, x, y, rect->width,
                        rect->height) != 0;
}

BOOL DrawText(LONG x, LONG y, LPCSTR text, LONG font) {
    const FontLayout* f = font == 1 ? &largeFont : &smallFont;
    LONG penX = x, penY = y;
    SheetRect glyph;
    const char* p;

    if (text == NULL) return FALSE;
    glyph.width = f->width;
    glyph.height = f->height;
    for (p = text; *p != '\0'; p++) {
        signed char g;
        if (*p == '\n') {
            penX = x;
            penY += f->height;
            continue;
        }
        g = (signed char)(*p - 32);
        if (g < 0) continue;  // control characters and 0xA0..0xFF have no glyph
        glyph.x = f->originX + (g % 32) * f->width;
        glyph.y = f->originY + (g / 32) * f->height;
        DrawSprite(&glyph, penX, penY);
        penX += f->width;
    }
    return TRUE;
}

BOOL CreateWellImage(void) {
    if (WellImage != NULL) {
        WellImage->Release();
        WellImage = NULL;
    }
    // From the first attempt on, a missing image is made again before it is used.
    playStarted = TRUE;
    if (!CreateWorkSurface(&WellImage, WELL_IMAGE_WIDTH, WELL_IMAGE_HEIGHT)) {
        WellImage = NULL;
        return FALSE;
    }
    SetSourceColorKey(WellImage, RGB(0, 0, 0));
    wellImageStale = FALSE;
    return TRUE;
}

// Makes the well image again and paints every locked block of the grid into
// it, so the picture matches the grid after the surfaces were lost or re-made.
static BOOL EnsureWellImage(void) {
    int row, column;
    if (!playStarted) return WellImage != NULL;
    if (!wellImageStale && WellImage != NULL) return TRUE;
    if (!CreateWellImage()) return FALSE;
    for (row = 0; row < WELL_ROWS; row++) {
        for (column = 0; column < WELL_COLUMNS; column++) {
            char cell = wellGrid.cells[row][column];
            if (cell < '1' || cell > '8') continue;
            const SheetRect* tile = &cellTiles[cell - '1'];
            StretchKeyed(spriteSheet, tile->x, tile->y, tile->width, tile->height, WellImage, 16 * column, 16 * row, 16,
                         16);
        }
    }
    return TRUE;
}

void DrawPiece(LONG x, LONG y, LONG shape, LPDIRECTDRAWSURFACE target) {
    const SheetRect* tile = &cellTiles[shape & 7];
    int i, j;
    for (i = 0; i < 4; i++) {
        for (j = 0; j < 4; j++) {
            if (piece.cells[i][j] != '1') continue;
            if (target == NULL)
                DrawSprite(tile, x + 16 * j, y + 16 * i);
            else
                StretchKeyed(spriteSheet, tile->x, tile->y, tile->width, tile->height, target, x + 16 * j, y + 16 * i,
                             16, 16);
        }
    }
}

void PaintPiece(LONG shape, LONG column, LONG row, const char cells[4][4]) {
    (void)cells;  // the piece still holds the cells it was locked with
    // A rebuilt image already holds the grid, this piece included.
    if (wellImageStale || WellImage == NULL) {
        EnsureWellImage();
        return;
    }
    DrawPiece(16 * column, 16 * row, shape, WellImage);
}

void ScrollWellImage(LONG interiorRow) {
    LONG k;
    if (wellImageStale || WellImage == NULL) {
        EnsureWellImage();
        return;
    }
    FillRect(WellImage, 64, 16 * (interiorRow + 4), 128, 16, 0);
    for (k = interiorRow + 3; k >= 4; k--) CopyOpaque(WellImage, 64, 16 * k, 128, 16, WellImage, 64, 16 * (k + 1));
    FillRect(WellImage, 64, 64, 128, 16, 0);
}

void DrawPanel(DWORD frameCounter) {
    LONG px = playState.panelX, py = playState.panelY;
    char number[32];
    LONG s;

    DrawSprite(&panelFrame, px, py);
    DrawSprite(&entryWaveFrames[frameCounter & 3], px + 48, py);
    DrawText(px + 116, py + 21, playState.panelText, 0);
    wsprintfA(number, "%02d", playState.stageDisplayValue);
    DrawText(px + 38, py + 310, number, 0);
    wsprintfA(number, "%08d", playState.score);
    DrawText(px + 72, py + 310, number, 0);
    wsprintfA(number, "%04d", playState.pendingPoints);
    DrawText(px + 118, py + 310, number, 0);
    if (EnsureWellImage()) StretchKeyed(WellImage, 64, 64, 128, 256, display.canvas, px + 16, py + 32, 128, 256);
    for (s = 0; s < stackHeight && s < 16; s++) DrawSprite(&meterSegments[meterKinds[s]], px + 149, py + 272 - 16 * s);
}

void DrawDebugOverlays(void) {
    LONG i;
    for (i = 0; i < 256; i++) FillRect(display.canvas, 2 * i, 0, 2, 16, i);
    // The bar grows while it is drawn, so it shows the frame's time so far;
    // past 240 milliseconds it has left the screen.
    for (i = 0; (LONG)(timeGetTime() - shell.frameStartTime) > i && i < 240; i++)
        FillRect(display.canvas, 0, 479 - 2 * i, 16, 1, 255);
    FillRect(display.canvas, shell.mouseX, shell.mouseY, 4, 4, 255);
}
