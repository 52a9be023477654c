// The MIDI stream player: one song at a time through the MIDI mapper's
// stream, two buffers in flight, refilled by the stream's notification
// routine as they come back.
#ifndef TUMBLA_MUSIC_MUSIC_H
#define TUMBLA_MUSIC_MUSIC_H

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

#include "music/t_midcnv.h"

#define PhaseNormal 0
#define PhaseStopping 100
#define PhaseStopped 200
#define PhaseEnding 300

#define MUSIC_WAIT_MS 2000
#define MUSIC_FILE_NAME_SIZE 260

/* Words the notification routine shares with the main thread are atomic;
   the rest belongs to the main thread. */
struct MusicPlayer {
    LONG opened;
    std::atomic<LONG> loaded;
    std::atomic<LONG> playing;
    LONG prepared;
    LONG paused;
    std::atomic<LONG> looping;
    UINT deviceId;
    std::atomic<HMIDISTRM> stream;
    std::atomic<LONG> phase;
    HANDLE bufferReturned;
    StreamBuffer buffers[2];
    std::atomic<LONG> nextBuffer;
    std::atomic<LONG> returnedCount;
    std::atomic<LONG> channelVolume[16];
    CHAR fileName[MUSIC_FILE_NAME_SIZE];
    /* Set by the notification routine when a song without looping has
       played to its end; the main thread then primes it afresh. */
    std::atomic<LONG> songEnded;
    /* 1 while the notification routine is handling a returned buffer: a
       stop waits for it before taking the stream and the song away. */
    std::atomic<LONG> refilling;
};

extern MusicPlayer musicPlayer;

void ClearMusicState(void);
BOOL MusicOpen(void);
BOOL MusicClose(void);
BOOL MusicLoad(LPCSTR path);
BOOL MusicStart(LONG loop);
BOOL MusicStop(LONG reload);
BOOL MusicPauseToggle(void);
BOOL MusicSetTempoPercent(LONG percent);

LONG PrimeStream(void);
void ReleaseStreamBuffers(void);
void CALLBACK StreamCallback(HMIDIOUT stream, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

#endif
