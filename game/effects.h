// The moving decorations: stars, bursts, debris, the orbit and celebrations.
#ifndef TUMBLA_GAME_EFFECTS_H
#define TUMBLA_GAME_EFFECTS_H

#include <windows.h>

#include "game/sheet.h"

void ResetStars(void);
void StepStars(void);
void SpawnBurst(LONG x, LONG y, LONG size, LONG angle);
void StepBursts(void);
void SpawnDebris(LONG x, LONG y, const SheetRect* frames, LONG length);
void StepDebris(void);
void StartOrbit(LONG frames);
void StepOrbit(void);
void StartCelebration(LONG rowsRemoved);

#endif
