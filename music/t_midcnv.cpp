// The standard MIDI file converter. The song file stays open while it
// plays; every track is read through its own 1024-byte window, reloaded from
// the file as the track is consumed, so memory does not grow with the song.
// The tracks are merged by time into the player's stream buffers, one buffer
// (about 60 ms of music, or as many events as fit) per call.
#include "music/t_midcnv.h"

#include <string.h>

#include "music/music.h"

SongFile songFile;
ConverterState converter;
StagedEvent stagedEvent;
const char* converterCheckFailed;

void ClearConverterState(void) {
    converter.flags = 0;
    converter.clock = 0;
    converter.currentTempo = 0;
    converter.bufferTickSpan = 0;
    converter.tempoPercent = 0;
    converter.insertTempo = 0;
}

static BOOL CheckFailed(const char* expression) {
    char text[128];
    lstrcpynA(text, "t_midcnv: check failed: ", sizeof(text));
    lstrcpynA(text + lstrlenA(text), expression, (int)(sizeof(text) - (DWORD)lstrlenA(text)));
    OutputDebugStringA(text);
    converterCheckFailed = expression;
    return FALSE;
}

/* The writer's consistency checks name their expression when they fail. */
#define MIDCNV_CHECK(expression) ((expression) ? TRUE : CheckFailed(#expression))

static DWORD ReadBigEndian32(const BYTE* p) {
    return ((DWORD)p[0] << 24) | ((DWORD)p[1] << 16) | ((DWORD)p[2] << 8) | (DWORD)p[3];
}

static WORD ReadBigEndian16(const BYTE* p) { return (WORD)((p[0] << 8) | p[1]); }

static DWORD TrackBytesLeft(const TrackCursor* track) { return track->buffered + track->unloaded; }

static void FreeEventData(StagedEvent* staged) {
    if (staged->data != NULL) {
        GlobalFree(staged->data);
        staged->data = NULL;
    }
}

static void ClearStagedEvent(StagedEvent* staged) {
    FreeEventData(staged);
    staged->tick = 0;
    memset(staged->byShortData, 0, sizeof(staged->byShortData));
    staged->dwEventLength = 0;
}

BOOL ReadExact(LPVOID destination, DWORD n) {
    DWORD got = 0;
    if (!ReadFile(songFile.file, destination, n, &got, NULL)) return FALSE;
    return got == n;
}

/* Loads the track's next stretch into its window. A short read is taken;
   a read that delivers nothing is a failure. */
BOOL ReloadTrackWindow(TrackCursor* track) {
    DWORD want, got = 0;
    BOOL ok;
    if (track->unloaded == 0) return FALSE;
    track->cursor = track->window;
    if (SetFilePointer(songFile.file, (LONG)track->refillOffset, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return FALSE;
    want = track->unloaded < TRACK_WINDOW_SIZE ? track->unloaded : TRACK_WINDOW_SIZE;
    ok = ReadFile(songFile.file, track->window, want, &got, NULL);
    track->unloaded -= got;
    track->refillOffset += got;
    track->buffered = got;
    return ok && got != 0;
}

BOOL ReadTrackByte(TrackCursor* track, BYTE* value) {
    if (track->buffered == 0 && !ReloadTrackWindow(track)) return FALSE;
    *value = *track->cursor++;
    track->buffered--;
    return TRUE;
}

/* Passes over bytes that nobody needs (system exclusive data, meta events
   other than Set Tempo) without keeping them. */
static BOOL SkipTrackBytes(TrackCursor* track, DWORD n) {
    while (n > 0) {
        DWORD step;
        if (track->buffered == 0 && !ReloadTrackWindow(track)) return FALSE;
        step = n < track->buffered ? n : track->buffered;
        track->cursor += step;
        track->buffered -= step;
        n -= step;
    }
    return TRUE;
}

BOOL ReadVarLength(TrackCursor* track, DWORD* value) {
    DWORD result = 0;
    BYTE c;
    if (track->flags & TrackEnded) return FALSE;
    for (;;) {
        if (TrackBytesLeft(track) == 0) {
            track->flags |= TrackEnded;
            return FALSE;
        }
        if (!ReadTrackByte(track, &c)) return FALSE;
        result = (result << 7) | (c & 0x7F);
        if (!(c & 0x80)) break;
    }
    *value = result;
    return TRUE;
}

/* A track's data bytes must all be there: a message cut off by the end of
   its track ends the track and fails. */
static BOOL NeedBytes(TrackCursor* track, DWORD n) {
    if (TrackBytesLeft(track) >= n) return TRUE;
    track->flags |= TrackEnded;
    return FALSE;
}

BOOL ReadTrackEvent(TrackCursor* track, StagedEvent* staged) {
    BYTE b, status;
    DWORD n, delta;

    ClearStagedEvent(staged);
    if ((track->flags & TrackEnded) || TrackBytesLeft(track) == 0) return FALSE;
    if (!ReadTrackByte(track, &b)) return FALSE;

    if (b < 0x80) {
        /* Running status: the byte is the first data byte. */
        status = track->runningStatus;
        if (status == 0) return FALSE;
        staged->byShortData[0] = status;
        staged->byShortData[1] = b;
        staged->dwEventLength = 2;
        if ((status & 0xF0) != 0xC0 && (status & 0xF0) != 0xD0) {
            if (!NeedBytes(track, 1)) return FALSE;
            if (!ReadTrackByte(track, &staged->byShortData[2])) return FALSE;
            staged->dwEventLength = 3;
        }
    } else if (b < 0xF0) {
        staged->byShortData[0] = b;
        track->runningStatus = b;
        n = ((b & 0xF0) == 0xC0 || (b & 0xF0) == 0xD0) ? 1 : 2;
        staged->dwEventLength = n + 1;
        if (!NeedBytes(track, n)) return FALSE;
        if (!ReadTrackByte(track, &staged->byShortData[1])) return FALSE;
        if (n == 2 && !ReadTrackByte(track, &staged->byShortData[2])) return FALSE;
    } else if (b == MIDI_SYSEX || b == MIDI_SYSEX_ESCAPE) {
        /* Read completely and discarded by the writer; its bytes are not
           kept, so a long one costs no memory. */
        staged->byShortData[0] = b;
        if (!ReadVarLength(track, &staged->dwEventLength)) return FALSE;
        if (!NeedBytes(track, staged->dwEventLength)) return FALSE;
        if (!SkipTrackBytes(track, staged->dwEventLength)) return FALSE;
    } else if (b == MIDI_META) {
        staged->byShortData[0] = MIDI_META;
        if (!NeedBytes(track, 1)) return FALSE;
        if (!ReadTrackByte(track, &staged->byShortData[1])) return FALSE;
        if (!ReadVarLength(track, &staged->dwEventLength)) return FALSE;
        if (staged->dwEventLength != 0) {
            if (!NeedBytes(track, staged->dwEventLength)) return FALSE;
            if (staged->byShortData[1] == META_SET_TEMPO && staged->dwEventLength == 3) {
                /* The only meta event the stream takes: its three bytes
                   travel with it. */
                staged->data = (LPBYTE)GlobalAlloc(GPTR, 3);
                if (staged->data == NULL) return FALSE;
                for (n = 0; n < 3; n++) {
                    if (!ReadTrackByte(track, &staged->data[n])) {
                        FreeEventData(staged);
                        return FALSE;
                    }
                }
            } else if (!SkipTrackBytes(track, staged->dwEventLength)) {
                return FALSE;
            }
        }
        if (staged->byShortData[1] == META_END_OF_TRACK) track->flags |= TrackEnded;
    } else {
        return FALSE; /* system common and real-time bytes have no place in a file */
    }

    staged->tick = track->nextTick;
    if (!(track->flags & TrackEnded)) {
        if (!ReadVarLength(track, &delta)) {
            FreeEventData(staged);
            return FALSE;
        }
        track->nextTick += delta;
    }
    return TRUE;
}

/* Reads min(length, window) bytes of the track at its start and its first
   delta time; the file position is left behind the track. */
static BOOL StartTrack(TrackCursor* track) {
    DWORD want = track->length < TRACK_WINDOW_SIZE ? track->length : TRACK_WINDOW_SIZE;
    if (want != 0 && !ReadExact(track->window, want)) return FALSE;
    track->unloaded = track->length - want;
    track->buffered = want;
    track->refillOffset = track->dataOffset + want;
    track->cursor = track->window;
    track->flags = 0;
    track->runningStatus = 0;
    track->nextTick = 0;
    if (track->length == 0) {
        track->flags = TrackEnded;
        return TRUE;
    }
    if (!ReadVarLength(track, &track->nextTick)) return FALSE;
    return SetFilePointer(songFile.file, (LONG)(track->dataOffset + track->length), NULL, FILE_BEGIN) !=
           INVALID_SET_FILE_POINTER;
}

LONG SongOpen(LPCSTR fileName) {
    BYTE chunk[8];
    BYTE header[6];
    BYTE skip[64];
    DWORD length, extra, i;

    /* A song left open would leak its file and windows. */
    if (songFile.file != NULL || songFile.tracks != NULL) SongClose();
    converter.clock = 0;
    songFile.fileSize = 0;
    songFile.division = 0;
    songFile.format = 0;
    songFile.trackCount = 0;
    songFile.tracks = NULL;

    songFile.file =
        CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (songFile.file == INVALID_HANDLE_VALUE) {
        songFile.file = NULL;
        return 1;
    }
    songFile.fileSize = GetFileSize(songFile.file, NULL);
    if (songFile.fileSize == INVALID_FILE_SIZE) goto failed;

    if (!ReadExact(chunk, 8) || memcmp(chunk, "MThd", 4) != 0) goto failed;
    length = ReadBigEndian32(chunk + 4);
    if (length < 6 || !ReadExact(header, 6)) goto failed;
    songFile.format = ReadBigEndian16(header);
    songFile.trackCount = ReadBigEndian16(header + 2);
    songFile.division = ReadBigEndian16(header + 4);
    /* The track count sizes the track table; the file bounds it: every
       track takes at least its 8-byte chunk header after the file header. */
    if (length > songFile.fileSize - 8 || songFile.trackCount > (songFile.fileSize - 8 - length) / 8) goto failed;
    for (extra = length - 6; extra > 0;) {
        DWORD step = extra < sizeof(skip) ? extra : (DWORD)sizeof(skip);
        if (!ReadExact(skip, step)) goto failed;
        extra -= step;
    }

    songFile.tracks =
        (TrackCursor*)GlobalAlloc(GPTR, (songFile.trackCount ? songFile.trackCount : 1) * sizeof(TrackCursor));
    if (songFile.tracks == NULL) goto failed;

    for (i = 0; i < songFile.trackCount; i++) {
        TrackCursor* track = &songFile.tracks[i];
        DWORD here;
        track->window = (LPBYTE)GlobalAlloc(GPTR, TRACK_WINDOW_SIZE);
        if (track->window == NULL) goto failed;
        if (!ReadExact(chunk, 8) || memcmp(chunk, "MTrk", 4) != 0) goto failed;
        track->length = ReadBigEndian32(chunk + 4);
        here = SetFilePointer(songFile.file, 0, NULL, FILE_CURRENT);
        if (here == INVALID_SET_FILE_POINTER) goto failed;
        /* Offsets are 32-bit file positions: a track reaching past 2 GB
           cannot be addressed. */
        if (here > 0x7FFFFFFF || track->length > 0x7FFFFFFF - here) goto failed;
        track->dataOffset = here;
        if (!StartTrack(track)) goto failed;
    }
    return 0;

failed:
    SongClose();
    return 1;
}

void SongClose(void) {
    DWORD i;
    if (songFile.file != NULL) {
        CloseHandle(songFile.file);
        songFile.file = NULL;
    }
    if (songFile.tracks != NULL) {
        for (i = 0; i < songFile.trackCount; i++)
            if (songFile.tracks[i].window != NULL) GlobalFree(songFile.tracks[i].window);
        GlobalFree(songFile.tracks);
        songFile.tracks = NULL;
    }
    /* An event held back for the next buffer goes with the song. */
    ClearStagedEvent(&stagedEvent);
}

void SongRewind(void) {
    DWORD i;
    converter.clock = 0;
    for (i = 0; i < songFile.trackCount; i++) {
        TrackCursor* track = &songFile.tracks[i];
        if (SetFilePointer(songFile.file, (LONG)track->dataOffset, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
            return;
        if (!StartTrack(track)) return;
    }
}

/* Set Tempo values as the stream plays them: scaled by the tempo percentage
   and kept within the 24 bits a tempo event carries. */
static DWORD ScaledTempo(DWORD tempo) {
    LONG percent = converter.tempoPercent;
    DWORD scaled;
    if (percent < 1 || percent > 200) percent = 100;
    scaled = tempo * 100 / (DWORD)percent;
    if (scaled > 0xFFFFFF) scaled = 0xFFFFFF;
    if (scaled == 0) scaled = 1;
    return scaled;
}

static void PutStreamEvent(StreamBuffer* buffer, DWORD delta, DWORD event) {
    DWORD words[3];
    words[0] = delta;
    words[1] = 0;
    words[2] = event;
    memcpy(buffer->header.lpData + buffer->bytesWritten, words, sizeof(words));
    buffer->bytesWritten += STREAM_EVENT_SIZE;
}

static BOOL RoomForEvent(const StreamBuffer* buffer) {
    return buffer->bytesWritten <= buffer->capacity && buffer->capacity - buffer->bytesWritten >= STREAM_EVENT_SIZE;
}

LONG WriteStreamEvent(StagedEvent* pteTemp, StreamBuffer* buffer) {
    BYTE status;
    DWORD event, tempo;

    if (buffer->bytesWritten == 0) buffer->startTick = converter.clock;

    /* A buffer takes one more event once its time span is exceeded and
       closes at the next. */
    if (converter.clock - buffer->startTick > converter.bufferTickSpan) {
        if (buffer->timeUp) {
            buffer->timeUp = FALSE;
            return MidiBufferFull;
        }
        buffer->timeUp = TRUE;
    }

    if (converter.insertTempo) {
        /* Without room the change waits for the next buffer rather than
           being lost. */
        if (!RoomForEvent(buffer)) return MidiBufferFull;
        if (converter.currentTempo != 0)
            PutStreamEvent(buffer, 0, ((DWORD)MEVT_TEMPO << 24) | ScaledTempo(converter.currentTempo));
        converter.insertTempo = 0;
    }

    status = pteTemp->byShortData[0];
    if (status < MIDI_SYSEX) {
        if (!RoomForEvent(buffer)) return MidiBufferFull;
        event = (DWORD)status | ((DWORD)pteTemp->byShortData[1] << 8) | ((DWORD)pteTemp->byShortData[2] << 16);
        /* The player keeps each channel's volume as it is played. */
        if ((status & 0xF0) == 0xB0 && pteTemp->byShortData[1] == MIDI_CTRL_VOLUME) event |= MEVT_F_CALLBACK;
        PutStreamEvent(buffer, pteTemp->tick - converter.clock, event);
        converter.clock = pteTemp->tick;
        return 0;
    }
    if (status == MIDI_SYSEX || status == MIDI_SYSEX_ESCAPE) {
        FreeEventData(pteTemp);
        return 0;
    }
    if (!MIDCNV_CHECK(pteTemp->byShortData[0] == MIDI_META) || pteTemp->byShortData[1] != META_SET_TEMPO) {
        FreeEventData(pteTemp);
        return MidiEventDropped;
    }
    /* A Set Tempo of another length has no meaning; it is skipped. */
    if (!MIDCNV_CHECK(pteTemp->dwEventLength == 3) || pteTemp->data == NULL) {
        FreeEventData(pteTemp);
        return MidiEventDropped;
    }
    tempo = ((DWORD)pteTemp->data[0] << 16) | ((DWORD)pteTemp->data[1] << 8) | (DWORD)pteTemp->data[2];
    if (tempo == 0) {
        /* No time passes at a tempo of 0: the event is skipped. */
        FreeEventData(pteTemp);
        return MidiEventDropped;
    }
    if (!RoomForEvent(buffer)) return MidiBufferFull;
    converter.currentTempo = tempo;
    PutStreamEvent(buffer, pteTemp->tick - converter.clock, ((DWORD)MEVT_TEMPO << 24) | ScaledTempo(tempo));
    converter.bufferTickSpan = (DWORD)songFile.division * 60000 / tempo;
    FreeEventData(pteTemp);
    converter.clock = pteTemp->tick;
    return 0;
}

LONG FillStreamBuffer(DWORD firstCall, StreamBuffer* buffer) {
    LONG result;
    DWORD i;

    buffer->bytesWritten = 0;
    if (firstCall & 1) {
        converter.flags = 0;
        ClearStagedEvent(&stagedEvent);
    }
    /* A song closed after a failure is not touched again. */
    if (songFile.tracks == NULL) return MidiAfterError;
    converter.flags &= ~(DWORD)RewoundForFill;

    if (converter.flags & SongAtEnd) {
        if (!musicPlayer.looping) return MidiSongEnd;
        SongRewind();
        converter.flags = RewoundForFill;
    } else if (converter.flags & ConvertFailed) {
        return MidiAfterError;
    } else if (converter.flags & EventPending) {
        converter.flags &= ~(DWORD)EventPending;
        if (WriteStreamEvent(&stagedEvent, buffer) == MidiBufferFull) {
            converter.flags |= EventPending;
            return 0;
        }
    }

    for (;;) {
        TrackCursor* next = NULL;
        for (i = 0; i < songFile.trackCount; i++) {
            TrackCursor* track = &songFile.tracks[i];
            if (track->flags & TrackEnded) continue;
            if (next == NULL || track->nextTick < next->nextTick) next = track;
        }
        if (next == NULL) {
            /* A looping song with nothing to play would come straight back
               for ever: end it instead. */
            if ((converter.flags & RewoundForFill) && buffer->bytesWritten == 0) {
                converter.flags = SongAtEnd;
                return MidiSongEnd;
            }
            converter.flags |= SongAtEnd;
            return 0;
        }
        if (!ReadTrackEvent(next, &stagedEvent)) {
            converter.flags |= ConvertFailed;
            return MidiReadError;
        }
        if (stagedEvent.byShortData[0] == MIDI_META && stagedEvent.byShortData[1] == META_END_OF_TRACK) {
            FreeEventData(&stagedEvent);
            continue;
        }
        result = WriteStreamEvent(&stagedEvent, buffer);
        if (result == MidiBufferFull) {
            converter.flags |= EventPending;
            return 0;
        }
    }
}
