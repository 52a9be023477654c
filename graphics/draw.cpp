// Placeholder drawing operations: nothing to draw on yet.
#include "graphics/draw.h"

LONG ClearSurface(LPDIRECTDRAWSURFACE surface, LONG) { return surface != NULL ? 1 : 0; }
