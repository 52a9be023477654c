// The well, the pieces and the rules: fit, lock, full rows, stack height, and
// the game's one random generator.
#ifndef TUMBLA_GAME_RULES_H
#define TUMBLA_GAME_RULES_H

#include <windows.h>

#define WELL_ROWS 21
#define WELL_COLUMNS 16
#define WELL_INTERIOR_ROWS 16
#define WELL_INTERIOR_COLUMNS 8
#define WELL_FIRST_INTERIOR_ROW 4
#define WELL_FIRST_INTERIOR_COLUMN 4
#define PIECE_ENTRY_X 48
#define PIECE_ENTRY_Y 0

struct WellGrid {
    char cells[WELL_ROWS][WELL_COLUMNS];
};

struct Piece {
    LONG shape;
    LONG rotation;
    LONG x;
    LONG y;
    char cells[4][4];
};

struct GameRandom {
    DWORD state;
};

// Who hears what the rules do to the grid: the play scene connects these to
// the well image and the effects.
struct RulesListener {
    void (*pieceLocked)(LONG shape, LONG column, LONG row, const char cells[4][4]);
    void (*rowFull)(LONG interiorRow, const char cellValues[8]);
    void (*rowRemoved)(LONG interiorRow);
};

extern const char* const WellTemplate[WELL_ROWS];
extern const char* const PieceShapes[8][4];
extern WellGrid wellGrid;
extern Piece piece;
extern GameRandom gameRandom;
extern LONG stackHeight;
extern RulesListener rulesListener;

void ClearRulesState(void);
LONG RandomNext(void);
LONG RandomSeed(DWORD value);

void ResetWell(void);
void BuildPieceCells(LONG shape, LONG rotation);
void SpawnPiece(DWORD frameCounter);
BOOL PieceFits(LONG x, LONG y);
void LockPiece(void);
LONG RemoveFullRows(void);
void UpdateStackHeight(void);

#endif
