// Placeholder sound device: opening succeeds, nothing is loaded or heard.
#include "sound/sound.h"

#include <string.h>

LONG soundReady;

BOOL SoundOpen(HWND) {
    soundReady = 1;
    return TRUE;
}

BOOL SoundClose(void) {
    if (!soundReady) return FALSE;
    soundReady = 0;
    return TRUE;
}

BOOL SoundLoad(SoundSet* set, LPCSTR, LONG) {
    if (set != NULL) memset(set, 0, sizeof(*set));
    return TRUE;
}
