// The rules core. Cells are ASCII: "0" empty, "F" wall or floor, "1".."8" a
// locked block of shape 0..7. Pattern cell (i, j) of a piece at pixel (x, y)
// lies on grid row y/16 + 2 + i and grid column x/16 + 3 + j.
#include <windows.h>

#include <string.h>

#include "game/rules.h"

const char* const WellTemplate[WELL_ROWS] = {
    "FFFFFF0000FFFFFF", "FFFFFF0000FFFFFF", "FFFFFF0000FFFFFF", "FFFFFF0000FFFFFF", "FFFF00000000FFFF",
    "FFFF00000000FFFF", "FFFF00000000FFFF", "FFFF00000000FFFF", "FFFF00000000FFFF", "FFFF00000000FFFF",
    "FFFF00000000FFFF", "FFFF00000000FFFF", "FFFF00000000FFFF", "FFFF00000000FFFF", "FFFF00000000FFFF",
    "FFFF00000000FFFF", "FFFF00000000FFFF", "FFFF00000000FFFF", "FFFF00000000FFFF", "FFFF00000000FFFF",
    "FFFFFFFFFFFFFFFF",
};

const char* const PieceShapes[8][4] = {
    {"0000", "0100", "0000", "0000"},  // single block
    {"0000", "0110", "0110", "0000"},  // square
    {"0000", "0100", "0110", "0000"},  // corner
    {"0000", "1100", "0110", "0000"},  // Z
    {"0000", "0011", "0110", "0000"},  // S
    {"0000", "1110", "0010", "0000"},  // J
    {"0000", "1111", "0000", "0000"},  // straight four
    {"0000", "0100", "1110", "0000"},  // T
};

WellGrid wellGrid;
Piece piece;
GameRandom gameRandom;
LONG stackHeight;
RulesListener rulesListener;

/* The listener is wiring, not state: it stays. */
void ClearRulesState(void) {
    memset(&wellGrid, 0, sizeof(wellGrid));
    memset(&piece, 0, sizeof(piece));
    gameRandom.state = 0;
    stackHeight = 0;
}

LONG RandomNext(void) {
    gameRandom.state = gameRandom.state * 5 + 1;
    return (LONG)gameRandom.state;
}

LONG RandomSeed(DWORD value) {
    gameRandom.state = value;
    return RandomNext();
}

void ResetWell(void) {
    int row;
    for (row = 0; row < WELL_ROWS; row++) memcpy(wellGrid.cells[row], WellTemplate[row], WELL_COLUMNS);
}

void BuildPieceCells(LONG shape, LONG rotation) {
    char work[4][4];
    char turned[4][4];
    int r, c, turn;

    for (r = 0; r < 4; r++) memcpy(work[r], PieceShapes[shape & 7][r], 4);
    // One clockwise quarter turn of the whole 4x4 box about its centre.
    for (turn = 0; turn < (rotation & 3); turn++) {
        for (r = 0; r < 4; r++)
            for (c = 0; c < 4; c++) turned[r][c] = work[3 - c][r];
        memcpy(work, turned, sizeof(work));
    }
    memcpy(piece.cells, work, sizeof(work));
}

void SpawnPiece(DWORD frameCounter) {
    RandomSeed(frameCounter);
    piece.shape = RandomNext() & 7;
    piece.rotation = RandomNext() & 3;
    piece.x = PIECE_ENTRY_X;
    piece.y = PIECE_ENTRY_Y;
    BuildPieceCells(piece.shape, piece.rotation);
}

BOOL PieceFits(LONG x, LONG y) {
    LONG column = x / 16 + 3;
    LONG row = y / 16 + 2;
    int i, j;

    for (i = 0; i < 4; i++) {
        for (j = 0; j < 4; j++) {
            if (piece.cells[i][j] == '0') continue;
            // Outside the grid counts as wall, so no move can read past it.
            if (row + i < 0 || row + i >= WELL_ROWS || column + j < 0 || column + j >= WELL_COLUMNS) return FALSE;
            if (wellGrid.cells[row + i][column + j] != '0') return FALSE;
        }
    }
    return TRUE;
}

void LockPiece(void) {
    LONG column = piece.x / 16 + 3;
    LONG row = piece.y / 16 + 2;
    int i, j;

    for (i = 0; i < 4; i++) {
        for (j = 0; j < 4; j++) {
            if (piece.cells[i][j] == '0') continue;
            if (row + i < 0 || row + i >= WELL_ROWS || column + j < 0 || column + j >= WELL_COLUMNS) continue;
            wellGrid.cells[row + i][column + j] = (char)('1' + piece.shape);
        }
    }
    if (rulesListener.pieceLocked != NULL) rulesListener.pieceLocked(piece.shape, column, row, piece.cells);
}

LONG RemoveFullRows(void) {
    LONG count = 0;
    char values[WELL_INTERIOR_COLUMNS];
    int i, k, j;

    // Top down, and a removal only moves rows above the scanned one, so rows
    // that were full together all go in one call and none is looked at twice.
    for (i = 0; i < WELL_INTERIOR_ROWS; i++) {
        char* row = wellGrid.cells[i + WELL_FIRST_INTERIOR_ROW];
        BOOL full = TRUE;
        for (j = 0; j < WELL_INTERIOR_COLUMNS; j++)
            if (row[WELL_FIRST_INTERIOR_COLUMN + j] == '0') full = FALSE;
        if (!full) continue;

        memcpy(values, row + WELL_FIRST_INTERIOR_COLUMN, WELL_INTERIOR_COLUMNS);
        if (rulesListener.rowFull != NULL) rulesListener.rowFull(i, values);
        for (k = i + 3; k >= WELL_FIRST_INTERIOR_ROW; k--)
            memcpy(wellGrid.cells[k + 1] + WELL_FIRST_INTERIOR_COLUMN, wellGrid.cells[k] + WELL_FIRST_INTERIOR_COLUMN,
                   WELL_INTERIOR_COLUMNS);
        memset(wellGrid.cells[WELL_FIRST_INTERIOR_ROW] + WELL_FIRST_INTERIOR_COLUMN, '0', WELL_INTERIOR_COLUMNS);
        if (rulesListener.rowRemoved != NULL) rulesListener.rowRemoved(i);
        count++;
    }
    return count;
}

void UpdateStackHeight(void) {
    int i, j;
    for (i = 0; i < WELL_INTERIOR_ROWS; i++) {
        for (j = 0; j < WELL_INTERIOR_COLUMNS; j++) {
            if (wellGrid.cells[i + WELL_FIRST_INTERIOR_ROW][j + WELL_FIRST_INTERIOR_COLUMN] != '0') {
                stackHeight = WELL_INTERIOR_ROWS - i;
                return;
            }
        }
    }
    stackHeight = 0;
}
