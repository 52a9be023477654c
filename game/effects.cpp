// Placeholder effects until the decorations are built: nothing moves.
#include "game/effects.h"

void ResetStars(void) {}
void StepStars(void) {}
void SpawnBurst(LONG, LONG, LONG, LONG) {}
void StepBursts(void) {}
void SpawnDebris(LONG, LONG, const SheetRect*, LONG) {}
void StepDebris(void) {}
void StartOrbit(LONG) {}
void StepOrbit(void) {}
void StartCelebration(LONG) {}
