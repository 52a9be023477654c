// The moving decorations: a star field streaming out of the centre, bursts,
// falling debris, an orbit of three bodies and the celebrations of multi-row
// locks. Fixed pools claimed first-free; a spawn into a full pool is dropped.
#include <windows.h>

#include <string.h>

#include "game/effects.h"
#include "game/field.h"
#include "game/rules.h"

// Sines in hundredths over a turn of 256, plus a quarter turn more so that
// the cosine table is the same numbers read 64 entries on.
// clang-format off
const signed char SineTable[256 + 64] = {
    0, 2, 5, 7, 10, 12, 15, 17, 20, 22, 24, 27, 29, 31, 34, 36,
    38, 41, 43, 45, 47, 49, 51, 53, 56, 58, 60, 62, 63, 65, 67, 69,
    71, 72, 74, 76, 77, 79, 80, 82, 83, 84, 86, 87, 88, 89, 90, 91,
    92, 93, 94, 95, 96, 96, 97, 98, 98, 99, 99, 99, 100, 100, 100, 100,
    100, 100, 100, 100, 100, 99, 99, 99, 98, 98, 97, 96, 96, 95, 94, 93,
    92, 91, 90, 89, 88, 87, 86, 84, 83, 82, 80, 79, 77, 76, 74, 72,
    71, 69, 67, 65, 63, 62, 60, 58, 56, 53, 51, 49, 47, 45, 43, 41,
    38, 36, 34, 31, 29, 27, 24, 22, 20, 17, 15, 12, 10, 7, 5, 2,
    0, -2, -5, -7, -10, -12, -15, -17, -20, -22, -24, -27, -29, -31, -34, -36,
    -38, -41, -43, -45, -47, -49, -51, -53, -56, -58, -60, -62, -63, -65, -67, -69,
    -71, -72, -74, -76, -77, -79, -80, -82, -83, -84, -86, -87, -88, -89, -90, -91,
    -92, -93, -94, -95, -96, -96, -97, -98, -98, -99, -99, -99, -100, -100, -100, -100,
    -100, -100, -100, -100, -100, -99, -99, -99, -98, -98, -97, -96, -96, -95, -94, -93,
    -92, -91, -90, -89, -88, -87, -86, -84, -83, -82, -80, -79, -77, -76, -74, -72,
    -71, -69, -67, -65, -63, -62, -60, -58, -56, -53, -51, -49, -47, -45, -43, -41,
    -38, -36, -34, -31, -29, -27, -24, -22, -20, -17, -15, -12, -10, -7, -5, -2,
    0, 2, 5, 7, 10, 12, 15, 17, 20, 22, 24, 27, 29, 31, 34, 36,
    38, 41, 43, 45, 47, 49, 51, 53, 56, 58, 60, 62, 63, 65, 67, 69,
    71, 72, 74, 76, 77, 79, 80, 82, 83, 84, 86, 87, 88, 89, 90, 91,
    92, 93, 94, 95, 96, 96, 97, 98, 98, 99, 99, 99, 100, 100, 100, 100
};
// clang-format on
const signed char* const CosineTable = SineTable + 64;

const LONG BurstSequence[19] = {0, 1, 2, 2, 3, 3, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7, 7, 7, -1};

StarRecord StarField[STAR_COUNT];
BurstRecord BurstPool[BURST_COUNT];
DebrisRecord DebrisPool[DEBRIS_COUNT];
OrbitRecord Orbit;

void ClearEffectsState(void) {
    memset(StarField, 0, sizeof(StarField));
    memset(BurstPool, 0, sizeof(BurstPool));
    memset(DebrisPool, 0, sizeof(DebrisPool));
    memset(&Orbit, 0, sizeof(Orbit));
}

// The tables hold hundredths, so the product is exact in integers and
// truncates toward zero as the floating-point product would.
LONG SinTimes(LONG angle, LONG radius) { return (LONG)SineTable[angle & 255] * radius / 100; }
LONG CosTimes(LONG angle, LONG radius) { return (LONG)CosineTable[angle & 255] * radius / 100; }

void ResetStars(void) {
    int i;
    for (i = 0; i < STAR_COUNT; i++) StarField[i].active = 0;
}

void StepStars(void) {
    int i;
    for (i = 0; i < STAR_COUNT; i++) {
        StarRecord* star = &StarField[i];
        LONG frame;
        if (!star->active) {
            // Restarted at once, drawn from the next frame on; never standing still.
            star->active = 1;
            do {
                star->vx = (RandomNext() & 31) - 15;
                star->vy = (RandomNext() & 31) - 15;
            } while (star->vx == 0 && star->vy == 0);
            star->x = 320;
            star->y = 240;
            continue;
        }
        star->x += star->vx;
        if (star->x < 0 || star->x > 640) {
            star->active = 0;
            continue;
        }
        star->y += star->vy;
        if (star->y < 0 || star->y > 480) {
            star->active = 0;
            continue;
        }
        frame = (star->y > 240 ? star->y - 240 : 240 - star->y) / 32;
        if (frame > 7) frame = 7;
        DrawSprite(&starFrames[frame], star->x, star->y);
    }
}

void SpawnBurst(LONG x, LONG y, LONG size, LONG angle) {
    int i;
    for (i = 0; i < BURST_COUNT; i++) {
        BurstRecord* burst = &BurstPool[i];
        if (burst->active) continue;
        burst->active = 1;
        burst->age = 0;
        burst->x = size == 1 ? x - 8 : x - 4;
        burst->y = size == 1 ? y - 8 : y - 4;
        burst->size = size;
        burst->angle = angle;
        return;
    }
}

void StepBursts(void) {
    int i;
    for (i = 0; i < BURST_COUNT; i++) {
        BurstRecord* burst = &BurstPool[i];
        LONG k;
        if (!burst->active) continue;
        k = BurstSequence[burst->age / 2];
        if (k < 0) {
            burst->active = 0;
            continue;
        }
        DrawSprite(burst->size == 1 ? &largeBurstFrames[k] : &smallBurstFrames[k],
                   burst->x + CosTimes(burst->angle, burst->age), burst->y + SinTimes(burst->angle, burst->age));
        burst->age++;
    }
}

void SpawnDebris(LONG x, LONG y, const SheetRect* frames, LONG length) {
    int i;
    for (i = 0; i < DEBRIS_COUNT; i++) {
        DebrisRecord* debris = &DebrisPool[i];
        if (debris->active) continue;
        debris->active = 1;
        debris->age = 0;
        debris->drift = RandomNext() % 3 - 1;
        debris->divisor = (RandomNext() & 7) + 2;
        debris->x = x - frames[0].width / 2;
        debris->y = y - frames[0].height / 2;
        debris->frames = frames;
        debris->length = length;
        return;
    }
}

void StepDebris(void) {
    int i;
    for (i = 0; i < DEBRIS_COUNT; i++) {
        DebrisRecord* debris = &DebrisPool[i];
        LONG k, y;
        if (!debris->active) continue;
        k = debris->length == -1 ? 0 : debris->age / 4;
        if (debris->length != -1 && k > debris->length - 1) {
            debris->active = 0;
            continue;
        }
        y = debris->y + debris->age / debris->divisor;
        if (y > 480) {
            debris->active = 0;
            continue;
        }
        debris->x += debris->drift;
        debris->y = y;
        DrawSprite(&debris->frames[k], debris->x, debris->y);
        debris->age++;
    }
}

void StartOrbit(LONG frames) {
    Orbit.remaining = frames;
    Orbit.planetAngle = 0;
    Orbit.moonAngle = 0;
}

void StepOrbit(void) {
    LONG sunX, sunY, planetX, planetY, moonX, moonY;
    if (Orbit.remaining <= 0) return;
    sunX = 320 + SinTimes(Orbit.remaining, 48);
    sunY = 240 + CosTimes(Orbit.remaining, 48);
    planetX = sunX + CosTimes(Orbit.planetAngle, 96);
    planetY = sunY + SinTimes(Orbit.planetAngle, 96);
    moonX = planetX + CosTimes(Orbit.moonAngle, 32);
    moonY = planetY + SinTimes(Orbit.moonAngle, 32);
    DrawSprite(&orbitBodies[0], sunX, sunY);
    DrawSprite(&orbitBodies[1], planetX, planetY);
    DrawSprite(&orbitBodies[2], moonX, moonY);
    Orbit.moonAngle += 8;
    Orbit.planetAngle += 1;
    Orbit.remaining -= 1;
}

void StartCelebration(LONG rowsRemoved) {
    LONG k, x, y;
    if (rowsRemoved >= 2) {
        for (k = 0; k < 32; k++) {
            x = RandomNext() % 640;
            y = RandomNext() % 480;
            SpawnBurst(x, y, 1, 64);
        }
    }
    if (rowsRemoved >= 3) StartOrbit(256);
    if (rowsRemoved >= 4) {
        for (k = 0; k < 64; k++) {
            x = RandomNext() % 640;
            SpawnDebris(x, -32, &figureFrames[k & 7], -1);
        }
    }
}
