// The sound device and sets of sound-effect buffers.
#ifndef TUMBLA_SOUND_SOUND_H
#define TUMBLA_SOUND_SOUND_H

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#define SOUND_MAX_COPIES 8

struct IDirectSoundBuffer;

struct SoundSet {
    IDirectSoundBuffer* copies[SOUND_MAX_COPIES];
    LONG copyCount;
    LONG volume;
    LONG pan;
    LONG next;
    LONG frequency;
};

extern LONG soundReady;

BOOL SoundOpen(HWND window);
BOOL SoundClose(void);
BOOL SoundLoad(SoundSet* set, LPCSTR name, LONG copies);

#endif
