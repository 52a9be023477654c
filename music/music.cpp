// Placeholder music player: the game runs in silence.
#include "music/music.h"

BOOL MusicOpen(void) { return TRUE; }
BOOL MusicClose(void) { return TRUE; }
BOOL MusicLoad(LPCSTR) { return TRUE; }
BOOL MusicStart(LONG) { return TRUE; }
