// The game's side of the frame: scenes, the play step and scoring.
#ifndef TUMBLA_GAME_PLAY_H
#define TUMBLA_GAME_PLAY_H

#include <windows.h>

#define PLAY_RUNNING 8
#define PANEL_TEXT_SIZE 256

struct PlayState {
    LONG subState;
    LONG panelX;
    LONG panelY;
    LONG kickX;
    LONG kickY;
    LONG fallInterval;
    LONG fallCountdown;
    LONG score;
    LONG pendingPoints;
    LONG stageDisplayValue;
    char panelText[PANEL_TEXT_SIZE];
};

extern PlayState playState;
extern const LONG ScoreTable[5];

void ClearPlayState(void);
void EnterScene(LONG scene);
void RunSceneFrame(LONG scene);
void StartupScene(void);
void StartPlay(void);
void PlayStep(DWORD frameCounter);

#endif
