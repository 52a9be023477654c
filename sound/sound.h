// The sound device and sets of sound-effect buffers: each set holds up to
// eight copies of one effect sharing its samples, played in turn so that the
// same effect can sound several times at once.
#ifndef TUMBLA_SOUND_SOUND_H
#define TUMBLA_SOUND_SOUND_H

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#define SOUND_MAX_COPIES 8

struct SoundSet {
    LPDIRECTSOUNDBUFFER copies[SOUND_MAX_COPIES];  // 0 .. copyCount - 1 playable
    LONG copyCount;
    LONG volume;     // last value given to SoundSetVolume, 0..255
    LONG pan;        // last value given to SoundSetPan, 0..255
    LONG next;       // the copy the next play uses
    LONG frequency;  // last value given to SoundSetFrequency, 0..255
};

extern LONG soundReady;

BOOL SoundOpen(HWND window);
BOOL SoundClose(void);
// The module's state as at start: no device.
void ClearSoundState(void);
BOOL SoundLoad(SoundSet* set, LPCSTR name, LONG copyCount);
LPDIRECTSOUNDBUFFER SoundPlay(SoundSet* set);
LPDIRECTSOUNDBUFFER SoundPlayLooping(SoundSet* set);
BOOL SoundStopSet(SoundSet* set);
BOOL SoundStopOne(LPDIRECTSOUNDBUFFER copy);
BOOL SoundPlayOne(LPDIRECTSOUNDBUFFER copy);
BOOL SoundIsPlaying(SoundSet* set);
BOOL SoundSetVolume(SoundSet* set, LONG value);
BOOL SoundSetPan(SoundSet* set, LONG value);
BOOL SoundSetFrequency(SoundSet* set, LONG value);
BOOL SoundFreeSet(SoundSet* set);

#endif
