// The MIDI stream player. Two stream buffers are kept in flight: while the
// stream plays one, the other waits behind it; each buffer the stream hands
// back is refilled from the converter in the notification routine and
// queued again. Stopping hands over to that routine through `phase` and the
// event "Wait For Buffer Return".
#include "music/music.h"

#include <string.h>

MusicPlayer musicPlayer;

void ClearMusicState(void) {
    LONG i;
    musicPlayer.opened = 0;
    musicPlayer.loaded = 0;
    musicPlayer.playing = 0;
    musicPlayer.prepared = 0;
    musicPlayer.paused = 0;
    musicPlayer.looping = 0;
    musicPlayer.stream = NULL;
    musicPlayer.phase = PhaseNormal;
    musicPlayer.nextBuffer = 0;
    musicPlayer.returnedCount = 0;
    musicPlayer.songEnded = 0;
    musicPlayer.refilling = 0;
    for (i = 0; i < 16; i++) musicPlayer.channelVolume[i] = 0;
    memset(&musicPlayer.buffers, 0, sizeof(musicPlayer.buffers));
}

static StreamBuffer* BufferOfHeader(DWORD_PTR header) {
    LONG i;
    for (i = 0; i < 2; i++)
        if ((DWORD_PTR)&musicPlayer.buffers[i].header == header) return &musicPlayer.buffers[i];
    return NULL;
}

/* Opens the MIDI mapper's stream, with the event the stop waits on. Also
   used when a load finds no stream, so that a stream opened late is closed
   by MusicClose like any other. */
static BOOL OpenStreamDevice(void) {
    HMIDISTRM stream = NULL;
    BOOL createdEvent = FALSE;
    if (musicPlayer.bufferReturned == NULL) {
        musicPlayer.bufferReturned = CreateEventA(NULL, FALSE, FALSE, "Wait For Buffer Return");
        if (musicPlayer.bufferReturned == NULL) return FALSE;
        createdEvent = TRUE;
    }
    musicPlayer.deviceId = MIDI_MAPPER;
    /* With no MIDI output at all the mapper has nothing to map to, and the
       open is not even tried: some winmm implementations keep the
       record of a failed stream open in their list of streams after freeing
       it, and the next open walks through the freed memory. */
    if (midiOutGetNumDevs() == 0 || midiStreamOpen(&stream, &musicPlayer.deviceId, 1, (DWORD_PTR)StreamCallback, 0,
                                                   CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        if (createdEvent) {
            CloseHandle(musicPlayer.bufferReturned);
            musicPlayer.bufferReturned = NULL;
        }
        musicPlayer.stream = NULL;
        return FALSE;
    }
    musicPlayer.stream = stream;
    musicPlayer.returnedCount = 2; /* nothing queued yet */
    musicPlayer.opened = 1;
    return TRUE;
}

/* A song without looping that has played to its end is primed afresh from
   its start, paused, as the next call finds it. This runs on the main
   thread: the notification routine only reports the end. */
static void CompleteSongEnd(void) {
    if (musicPlayer.songEnded.exchange(0)) MusicStop(0);
}

BOOL MusicOpen(void) {
    if (musicPlayer.opened) return FALSE;
    converter.tempoPercent = 100;
    musicPlayer.stream = NULL;
    return OpenStreamDevice();
}

BOOL MusicClose(void) {
    HMIDISTRM stream;
    if (!musicPlayer.opened) return FALSE;
    musicPlayer.songEnded = 0; /* no new start for a song that is going away */
    if (musicPlayer.stream.load() != NULL) MusicStop(1);
    ReleaseStreamBuffers();
    stream = musicPlayer.stream.exchange(NULL);
    if (stream != NULL) midiStreamClose(stream);
    if (musicPlayer.bufferReturned != NULL) CloseHandle(musicPlayer.bufferReturned);
    musicPlayer.bufferReturned = NULL;
    musicPlayer.opened = 0;
    return TRUE;
}

BOOL MusicLoad(LPCSTR path) {
    CompleteSongEnd();
    /* A longer name would open another file than the one asked for. */
    if (path == NULL || lstrlenA(path) >= MUSIC_FILE_NAME_SIZE) return FALSE;
    /* A song already loaded gives way first, with its file and buffers. */
    if (musicPlayer.loaded) MusicStop(1);
    lstrcpynA(musicPlayer.fileName, path, MUSIC_FILE_NAME_SIZE);
    if (PrimeStream() != 0) return FALSE;
    musicPlayer.loaded = 1;
    return TRUE;
}

LONG PrimeStream(void) {
    MIDIPROPTIMEDIV timeDivision;
    HMIDISTRM stream;
    LONG i, result, queued;
    BOOL ended = FALSE;

    if (musicPlayer.stream.load() == NULL && !OpenStreamDevice()) return 1;
    stream = musicPlayer.stream;

    for (i = 0; i < 2; i++) {
        MIDIHDR* header = &musicPlayer.buffers[i].header;
        header->dwBufferLength = STREAM_BUFFER_SIZE;
        if (header->lpData == NULL) {
            header->lpData = (LPSTR)GlobalAlloc(GPTR, STREAM_BUFFER_SIZE);
            if (header->lpData == NULL) return -1;
        }
    }

    if (SongOpen(musicPlayer.fileName) != 0) return 1;
    for (i = 0; i < 16; i++) musicPlayer.channelVolume[i] = 100;

    timeDivision.cbStruct = sizeof(timeDivision);
    timeDivision.dwTimeDiv = songFile.division;
    if (midiStreamProperty(stream, (LPBYTE)&timeDivision, MIDIPROP_SET | MIDIPROP_TIMEDIV) != MMSYSERR_NOERROR) {
        SongClose();
        return 1;
    }

    /* Both headers are prepared before either is queued, so that a buffer
       left out below can still join the rotation later. */
    if (!musicPlayer.prepared) {
        for (i = 0; i < 2; i++) {
            if (midiOutPrepareHeader((HMIDIOUT)stream, &musicPlayer.buffers[i].header, sizeof(MIDIHDR)) !=
                MMSYSERR_NOERROR) {
                if (i == 1) midiOutUnprepareHeader((HMIDIOUT)stream, &musicPlayer.buffers[0].header, sizeof(MIDIHDR));
                SongClose();
                return 1;
            }
        }
        musicPlayer.prepared = 1;
    }

    queued = 0;
    for (i = 0; i < 2; i++) {
        StreamBuffer* buffer = &musicPlayer.buffers[i];
        buffer->capacity = STREAM_BUFFER_SIZE;
        buffer->startTick = 0;
        buffer->timeUp = FALSE;
        result = FillStreamBuffer(i == 0 ? 1 : 0, buffer);
        if (result == MidiSongEnd) {
            ended = TRUE;
        } else if (result != 0) {
            SongClose();
            return 1;
        }
        buffer->header.dwBytesRecorded = buffer->bytesWritten;
        if (midiStreamOut(stream, &buffer->header, sizeof(MIDIHDR)) != MMSYSERR_NOERROR) break;
        queued++;
        if (ended) break;
    }
    /* Counts the buffers out of the stream, so the stop waits only for
       buffers that will come back. */
    musicPlayer.returnedCount = 2 - queued;
    musicPlayer.nextBuffer = 0;
    musicPlayer.songEnded = 0;
    return 0;
}

void ReleaseStreamBuffers(void) {
    HMIDISTRM stream = musicPlayer.stream;
    LONG i;
    if (musicPlayer.prepared) {
        for (i = 0; i < 2; i++)
            midiOutUnprepareHeader((HMIDIOUT)stream, &musicPlayer.buffers[i].header, sizeof(MIDIHDR));
        musicPlayer.prepared = 0;
    }
    for (i = 0; i < 2; i++) {
        MIDIHDR* header = &musicPlayer.buffers[i].header;
        /* A block the stream still holds is not freed under it. */
        if (header->lpData != NULL && !(header->dwFlags & MHDR_INQUEUE)) {
            GlobalFree(header->lpData);
            header->lpData = NULL;
        }
    }
}

BOOL MusicStart(LONG loop) {
    CompleteSongEnd();
    if (musicPlayer.paused) {
        MusicPauseToggle();
        return FALSE;
    }
    if (musicPlayer.playing) MusicPauseToggle();
    if (musicPlayer.loaded) {
        musicPlayer.phase = PhaseNormal;
        /* Set before the stream runs: its first notification may come at once. */
        musicPlayer.looping = loop;
        musicPlayer.playing = 1;
        if (midiStreamRestart(musicPlayer.stream) != MMSYSERR_NOERROR) {
            musicPlayer.playing = 0;
            return FALSE;
        }
        return TRUE;
    }
    musicPlayer.playing = 0;
    return FALSE;
}

BOOL MusicPauseToggle(void) {
    if (musicPlayer.paused)
        midiStreamRestart(musicPlayer.stream);
    else
        midiStreamPause(musicPlayer.stream);
    musicPlayer.paused = !musicPlayer.paused;
    return TRUE;
}

/* Waits for the buffers still in the stream to come back. A signal left
   over from an earlier hand-over is recognised by the phase and waited past. */
static DWORD WaitForBuffers(void) {
    DWORD start = GetTickCount();
    DWORD waited = 0;
    for (;;) {
        DWORD result = WaitForSingleObject(musicPlayer.bufferReturned, MUSIC_WAIT_MS - waited);
        if (result != WAIT_OBJECT_0) return result;
        if (musicPlayer.phase == PhaseStopped) return WAIT_OBJECT_0;
        waited = GetTickCount() - start;
        if (waited >= MUSIC_WAIT_MS) return WAIT_TIMEOUT;
    }
}

BOOL MusicStop(LONG reload) {
    HMIDISTRM stream;
    LONG phase, outstanding;

    if (musicPlayer.loaded || musicPlayer.playing || musicPlayer.phase != PhaseStopped) {
        musicPlayer.paused = 0;
        musicPlayer.playing = 0;
        phase = musicPlayer.phase;
        while (phase != PhaseStopped && phase != PhaseEnding &&
               !musicPlayer.phase.compare_exchange_weak(phase, PhaseStopping)) {
        }
        /* A refill already under way sees the new phase when its fill is
           done and leaves its buffer out; wait for it, so that nothing is
           queued behind the stop and nothing is freed under it. */
        while (musicPlayer.refilling) Sleep(1);
        /* Only buffers in the stream can come back; with none there, nobody
           would answer the wait. */
        outstanding = musicPlayer.returnedCount < 2;
        stream = musicPlayer.stream;
        if (midiStreamStop(stream) != MMSYSERR_NOERROR) return FALSE;
        if (midiOutReset((HMIDIOUT)stream) != MMSYSERR_NOERROR) return FALSE;
        if (!outstanding) {
            musicPlayer.phase = PhaseStopped;
        } else {
            DWORD result = WaitForBuffers();
            if (result == WAIT_TIMEOUT) musicPlayer.phase = PhaseStopped;
        }
    }
    if (musicPlayer.phase != PhaseStopped) return TRUE;
    musicPlayer.phase = PhaseNormal;
    musicPlayer.songEnded = 0;

    if (musicPlayer.loaded) {
        SongClose();
        ReleaseStreamBuffers();
        stream = musicPlayer.stream.exchange(NULL);
        if (stream != NULL) midiStreamClose(stream);
        musicPlayer.loaded = 0;
    }
    if (reload != 1) {
        if (PrimeStream() != 0) return FALSE;
        musicPlayer.loaded = 1;
    }
    return TRUE;
}

BOOL MusicSetTempoPercent(LONG percent) {
    CompleteSongEnd();
    if (!musicPlayer.loaded || percent < 1 || percent > 200) return FALSE;
    converter.tempoPercent = percent;
    converter.insertTempo = 1;
    return TRUE;
}

/* A buffer has come back and stays out: the stop's hand-over completes with
   the last one. */
static void BufferStaysOut(LONG returned) {
    LONG phase = musicPlayer.phase;
    if (returned < 2) return;
    if (phase == PhaseEnding) {
        musicPlayer.phase = PhaseStopped;
        musicPlayer.songEnded = 1;
        SetEvent(musicPlayer.bufferReturned);
    } else if (phase == PhaseStopping) {
        musicPlayer.phase = PhaseStopped;
        SetEvent(musicPlayer.bufferReturned);
    }
}

static void RefillBuffer(DWORD_PTR header) {
    StreamBuffer* buffer = BufferOfHeader(header);
    LONG result, expected;
    if (buffer == NULL) buffer = &musicPlayer.buffers[musicPlayer.nextBuffer];
    buffer->capacity = STREAM_BUFFER_SIZE;
    buffer->startTick = 0;
    buffer->bytesWritten = 0;
    buffer->timeUp = FALSE;
    result = FillStreamBuffer(0, buffer);
    if (musicPlayer.phase != PhaseNormal) {
        /* Stopped while filling: the buffer stays out. */
        BufferStaysOut(musicPlayer.returnedCount);
        return;
    }
    if (result == MidiSongEnd) {
        /* The end of a song without looping: once the other buffer is back,
           the main thread primes the song again. */
        expected = PhaseNormal;
        musicPlayer.phase.compare_exchange_strong(expected, PhaseEnding);
        musicPlayer.playing = 0;
        BufferStaysOut(musicPlayer.returnedCount);
        return;
    }
    if (result != 0) {
        SongClose();
        return;
    }
    buffer->header.dwBytesRecorded = buffer->bytesWritten;
    if (midiStreamOut(musicPlayer.stream, &buffer->header, sizeof(MIDIHDR)) != MMSYSERR_NOERROR) {
        SongClose();
        return;
    }
    musicPlayer.nextBuffer = (LONG)(buffer - musicPlayer.buffers) ^ 1;
    musicPlayer.returnedCount--;
}

void CALLBACK StreamCallback(HMIDIOUT, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
    if (message == MOM_DONE) {
        LONG phase, returned;
        /* Announced before the phase is read: a stop either sees this or
           is seen by it. */
        musicPlayer.refilling = 1;
        phase = musicPlayer.phase;
        if (phase != PhaseStopped) {
            returned = ++musicPlayer.returnedCount;
            if (phase == PhaseNormal) {
                if (musicPlayer.playing) RefillBuffer(param1);
            } else {
                BufferStaysOut(returned);
            }
        }
        musicPlayer.refilling = 0;
    } else if (message == MOM_POSITIONCB) {
        const MIDIHDR* header = (const MIDIHDR*)param1;
        DWORD event;
        if (header == NULL || header->lpData == NULL || header->dwOffset > header->dwBytesRecorded ||
            header->dwBytesRecorded - header->dwOffset < STREAM_EVENT_SIZE)
            return;
        memcpy(&event, header->lpData + header->dwOffset + 8, sizeof(event));
        if ((event & 0xF0) == 0xB0 && ((event >> 8) & 0xFF) == MIDI_CTRL_VOLUME)
            musicPlayer.channelVolume[event & 0x0F] = (LONG)((event >> 16) & 0x7F);
    }
}
