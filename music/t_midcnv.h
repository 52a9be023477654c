// The standard MIDI file converter: reads a song through one small window
// per track and merges the tracks, a buffer at a time, into packed MIDI
// stream events.
#ifndef TUMBLA_MUSIC_T_MIDCNV_H
#define TUMBLA_MUSIC_T_MIDCNV_H

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

#define TRACK_WINDOW_SIZE 1024
#define STREAM_BUFFER_SIZE 1024
#define STREAM_EVENT_SIZE 12 /* dwDeltaTime, dwStreamID, dwEvent */

#define MIDI_SYSEX 0xF0
#define MIDI_SYSEX_ESCAPE 0xF7
#define MIDI_META 0xFF
#define META_END_OF_TRACK 0x2F
#define META_SET_TEMPO 0x51
#define MIDI_CTRL_VOLUME 7

/* TrackCursor.flags */
#define TrackEnded 0x00000001

/* ConverterState.flags */
#define SongAtEnd 0x00000001
#define ConvertFailed 0x00000002
#define EventPending 0x00000004
#define RewoundForFill 0x00000008

/* FillStreamBuffer results; the last two only come from WriteStreamEvent. */
#define MidiReadError (-101)
#define MidiAfterError (-102)
#define MidiSongEnd (-103)
#define MidiBufferFull (-104)
#define MidiEventDropped (-105)

struct TrackCursor {
    DWORD flags;
    DWORD length;
    DWORD buffered; /* bytes not yet consumed in the window */
    LPBYTE window;  /* TRACK_WINDOW_SIZE bytes */
    LPBYTE cursor;  /* next unread byte in the window */
    DWORD nextTick; /* absolute tick of the track's next event */
    BYTE runningStatus;
    DWORD dataOffset; /* file offset of the track's first data byte */
    DWORD refillOffset;
    DWORD unloaded; /* track bytes still in the file */
};

struct SongFile {
    HANDLE file; /* NULL when closed */
    DWORD fileSize;
    WORD division;
    WORD format;
    WORD trackCount;
    TrackCursor* tracks;
};

struct StagedEvent {
    DWORD tick;
    BYTE byShortData[4];
    DWORD dwEventLength;
    LPBYTE data;
};

struct ConverterState {
    DWORD flags;
    DWORD clock;          /* tick of the last event written */
    DWORD currentTempo;   /* microseconds per quarter note; 0 until the first Set Tempo */
    DWORD bufferTickSpan; /* ticks in 60 ms at currentTempo */
    /* Set on the main thread, read where the buffers are filled. */
    std::atomic<LONG> tempoPercent;
    std::atomic<LONG> insertTempo;
};

struct StreamBuffer {
    MIDIHDR header;
    DWORD capacity;
    DWORD bytesWritten;
    DWORD startTick;
    BOOL timeUp;
};

extern SongFile songFile;
extern ConverterState converter;
extern StagedEvent stagedEvent;
/* The expression of the last consistency check that failed, or NULL. */
extern const char* converterCheckFailed;

void ClearConverterState(void);
LONG SongOpen(LPCSTR fileName);
void SongClose(void);
LONG FillStreamBuffer(DWORD firstCall, StreamBuffer* buffer);

BOOL ReadExact(LPVOID destination, DWORD n);
BOOL ReloadTrackWindow(TrackCursor* track);
BOOL ReadTrackByte(TrackCursor* track, BYTE* value);
BOOL ReadVarLength(TrackCursor* track, DWORD* value);
BOOL ReadTrackEvent(TrackCursor* track, StagedEvent* staged);
LONG WriteStreamEvent(StagedEvent* pteTemp, StreamBuffer* buffer);
void SongRewind(void);

#endif
