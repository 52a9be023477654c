// Scenes and the play step: panel motion, the piece under the pad, gravity,
// the lock sequence and the points that drip into the score.
#include <windows.h>

#include <string.h>

#include "game/effects.h"
#include "game/field.h"
#include "game/play.h"
#include "game/rules.h"
#include "game/sheet.h"
#include "music/music.h"
#include "resources/resource.h"
#include "shell/shell.h"
#include "sound/sound.h"

#define SONG_PATH ".\\sample_data\\sw5.mid"

PlayState playState;
const LONG ScoreTable[5] = {0, 10, 40, 150, 300};
SoundSet gameSounds[3];

void ClearPlayState(void) {
    memset(&playState, 0, sizeof(playState));
    memset(gameSounds, 0, sizeof(gameSounds));
}

static LONG PanelHomeX(void) { return 320 - PANEL_WIDTH / 2; }
static LONG PanelHomeY(void) { return 240 - PANEL_HEIGHT / 2; }

// Screen position of an interior cell's top-left corner.
static LONG CellLeft(LONG column) { return playState.panelX + 16 * (column + 1); }
static LONG RowTop(LONG interiorRow) { return playState.panelY + 16 * (interiorRow + 2); }

static void OnPieceLocked(LONG shape, LONG column, LONG row, const char cells[4][4]) {
    PaintPiece(shape, column, row, cells);
}

static void OnRowFull(LONG interiorRow, const char cellValues[8]) {
    LONG j;
    // Each block of the row drops off the screen as a single-frame debris.
    for (j = 0; j < 8; j++) {
        LONG colour = (cellValues[j] - '1') & 7;
        SpawnDebris(CellLeft(j) + 8, RowTop(interiorRow) + 8, &cellTiles[colour], -1);
    }
}

static void OnRowRemoved(LONG interiorRow) {
    LONG j;
    ScrollWellImage(interiorRow);
    for (j = 0; j < 8; j++) {
        SpawnBurst(CellLeft(j), RowTop(interiorRow), 1, (RandomNext() & 63) + 32);
        SpawnDebris(CellLeft(j), RowTop(interiorRow), debrisFrames, 8);
    }
}

void EnterScene(LONG scene) {
    if (scene == SCENE_PLAY) StartPlay();
}

void RunSceneFrame(LONG scene) {
    if (scene == SCENE_STARTUP)
        StartupScene();
    else if (scene == SCENE_PLAY)
        PlayStep(shell.frameCounter);
    DrawDebugOverlays();
}

void StartupScene(void) {
    // Results are not examined: a missing song or effect only means silence.
    LoadSpriteSheet();
    MusicLoad(SONG_PATH);
    MusicStart(1);
    SoundLoad(&gameSounds[0], MAKEINTRESOURCEA(IDW_THUD), 1);
    SoundLoad(&gameSounds[1], MAKEINTRESOURCEA(IDW_CHIME), 1);
    SoundLoad(&gameSounds[2], MAKEINTRESOURCEA(IDW_FLOURISH), 1);
    SetScene(SCENE_PLAY);
}

void StartPlay(void) {
    rulesListener.pieceLocked = OnPieceLocked;
    rulesListener.rowFull = OnRowFull;
    rulesListener.rowRemoved = OnRowRemoved;

    playState.subState = PLAY_RUNNING;
    playState.panelX = 40;
    playState.panelY = 40;
    playState.kickX = 0;
    playState.kickY = 0;
    playState.fallInterval = 16;
    playState.fallCountdown = 16;
    SpawnPiece(shell.frameCounter);
    playState.stageDisplayValue = 0;
    playState.score = 0;
    playState.pendingPoints = 0;
    stackHeight = 0;
    playState.panelText[0] = '\0';
    ResetWell();
    CreateWellImage();
    ResetStars();
}

// How far the panel may be pushed from home. A blocked entry drifts it 7
// pixels a frame for as long as play goes on; the limit is reached only
// after 150 million frames, a billion pixels off the screen, and keeps the
// position and everything placed relative to it clear of overflow.
#define PANEL_REACH (1L << 30)

static void MovePanelAxis(LONG* position, LONG* kick, LONG home) {
    *position += *kick;
    if (*position < home - PANEL_REACH)
        *position = home - PANEL_REACH;
    else if (*position > home + PANEL_REACH)
        *position = home + PANEL_REACH;
    if (*kick != 0) *kick /= 2;
    if (*position < home)
        (*position)++;
    else if (*position > home)
        (*position)--;
}

static void LockSequence(void) {
    LONG effectX, effectY, rows;
    int k;

    playState.kickY += 16;
    effectX = playState.panelX + piece.x + 32;
    effectY = playState.panelY + piece.y + 48;
    for (k = 0; k < 3; k++) SpawnBurst(effectX, effectY, 0, RandomNext() & 127);
    SpawnDebris(effectX, effectY, debrisFrames, 8);
    LockPiece();
    rows = RemoveFullRows();
    playState.pendingPoints += ScoreTable[rows];
    StartCelebration(rows);
    SpawnPiece(shell.frameCounter);
    UpdateStackHeight();
}

static void PieceLogic(DWORD frameCounter) {
    LONG nextX, turn;

    playState.stageDisplayValue = (LONG)(frameCounter & 15);
    strcpy(playState.panelText, "ijklmn");

    nextX = piece.x;
    if (shell.padPressed & PAD_RIGHT) nextX += 16;
    if (shell.padPressed & PAD_LEFT) nextX -= 16;
    if (PieceFits(nextX, piece.y))
        piece.x = nextX;
    else
        playState.kickX = (shell.padPressed & PAD_RIGHT) ? 8 : -8;

    turn = piece.rotation;
    if (shell.padPressed & PAD_BUTTON1) {
        turn = (turn - 1) & 3;
        BuildPieceCells(piece.shape, turn);
    }
    if (shell.padPressed & PAD_BUTTON2) {
        turn = (turn + 1) & 3;
        BuildPieceCells(piece.shape, turn);
    }
    if (PieceFits(piece.x, piece.y))
        piece.rotation = turn;
    else
        BuildPieceCells(piece.shape, piece.rotation);

    if (padHeld & PAD_DOWN) {
        playState.fallCountdown = -1;
        playState.pendingPoints++;
    }

    playState.fallCountdown--;
    if (playState.fallCountdown < 0) {
        playState.fallCountdown = playState.fallInterval;
        if (PieceFits(piece.x, piece.y + 16))
            piece.y += 16;
        else
            LockSequence();
    }

    DrawPiece(playState.panelX + piece.x, playState.panelY + piece.y, piece.shape, NULL);
}

void PlayStep(DWORD frameCounter) {
    MovePanelAxis(&playState.panelX, &playState.kickX, PanelHomeX());
    MovePanelAxis(&playState.panelY, &playState.kickY, PanelHomeY());
    StepOrbit();
    StepStars();
    DrawPanel(frameCounter);
    if (playState.subState == PLAY_RUNNING) PieceLogic(frameCounter);
    StepDebris();
    StepBursts();
    if (playState.pendingPoints > 0) {
        playState.pendingPoints--;
        playState.score++;
    }
}
