// The moving decorations: stars, bursts, debris, the orbit and celebrations.
#ifndef TUMBLA_GAME_EFFECTS_H
#define TUMBLA_GAME_EFFECTS_H

#include <windows.h>

#include "game/sheet.h"

#define STAR_COUNT 32
#define BURST_COUNT 64
#define DEBRIS_COUNT 80

struct StarRecord {
    LONG active;
    LONG x, y;
    LONG vx, vy;
};

struct BurstRecord {
    LONG active;
    LONG x, y;
    LONG age;
    LONG size;
    LONG angle;
};

struct DebrisRecord {
    LONG active;
    LONG x, y;
    LONG age;
    const SheetRect* frames;
    LONG length;
    LONG drift;
    LONG divisor;
};

struct OrbitRecord {
    LONG remaining;
    LONG planetAngle;
    LONG moonAngle;
};

extern const signed char SineTable[256 + 64];
extern const signed char* const CosineTable;
extern const LONG BurstSequence[19];
extern StarRecord StarField[STAR_COUNT];
extern BurstRecord BurstPool[BURST_COUNT];
extern DebrisRecord DebrisPool[DEBRIS_COUNT];
extern OrbitRecord Orbit;

void ClearEffectsState(void);
LONG SinTimes(LONG angle, LONG radius);
LONG CosTimes(LONG angle, LONG radius);
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
