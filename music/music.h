// The MIDI stream player.
#ifndef TUMBLA_MUSIC_MUSIC_H
#define TUMBLA_MUSIC_MUSIC_H

#include <windows.h>

BOOL MusicOpen(void);
BOOL MusicClose(void);
BOOL MusicLoad(LPCSTR path);
BOOL MusicStart(LONG loop);

#endif
