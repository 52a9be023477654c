// The DirectSound device for the main window, and sound sets loaded from
// WAVE resources or files.
#include "sound/sound.h"

#include <string.h>

#define WAVE_PATH_MAX 255
#define SOUND_BUFFER_FLAGS (DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME)

LONG soundReady;
static LPDIRECTSOUND soundDevice;

void ClearSoundState(void) {
    soundReady = 0;
    soundDevice = NULL;
}

// The two chunks of a WAVE image that matter, pointing into the image.
struct WaveParts {
    const BYTE* format;
    DWORD formatBytes;
    const BYTE* samples;
    DWORD sampleBytes;
};

static DWORD ReadDword(const BYTE* p) {
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

// Walks the RIFF chunks for "fmt " and "data". Nothing outside the image is
// ever read: a chunk that runs past the image makes it unusable. A RIFF size
// larger than the image, which many writers get wrong, ends the walk at the
// end of the image instead.
static BOOL ParseWave(const BYTE* image, DWORD imageBytes, WaveParts* wave) {
    DWORD end, at, contents, size, following;
    BOOL haveFormat = FALSE;
    BOOL haveSamples = FALSE;

    memset(wave, 0, sizeof(*wave));
    if (image == NULL || imageBytes < 12) return FALSE;
    if (memcmp(image, "RIFF", 4) != 0 || memcmp(image + 8, "WAVE", 4) != 0) return FALSE;
    size = ReadDword(image + 4);
    end = size > imageBytes - 8 ? imageBytes : 8 + size;

    at = 12;
    while (at < end) {
        if (end - at < 8) return FALSE;
        size = ReadDword(image + at + 4);
        contents = at + 8;
        if (size > end - contents) return FALSE;
        if (memcmp(image + at, "fmt ", 4) == 0) {
            if (!haveFormat) {
                if (size < 14) return FALSE;
                wave->format = image + contents;
                wave->formatBytes = size;
                haveFormat = TRUE;
                if (haveSamples && wave->sampleBytes != 0) return TRUE;
            }
        } else if (memcmp(image + at, "data", 4) == 0) {
            if (!haveSamples || wave->sampleBytes == 0) {
                wave->samples = image + contents;
                wave->sampleBytes = size;
                haveSamples = TRUE;
                if (haveFormat) return TRUE;
            }
        }
        // Odd-sized chunks are followed by a pad byte.
        following = contents + size;
        if (size & 1) {
            if (following >= end) break;
            following++;
        }
        at = following;
    }
    return FALSE;
}

// Reads a whole WAVE file into a local memory block.
static BOOL ReadWaveFile(LPCSTR path, HLOCAL* block, DWORD* bytes) {
    HANDLE file;
    HLOCAL memory;
    DWORD size, got;

    if (lstrlenA(path) > WAVE_PATH_MAX) return FALSE;
    file = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    size = GetFileSize(file, NULL);
    if (size == INVALID_FILE_SIZE) {
        CloseHandle(file);
        return FALSE;
    }
    memory = LocalAlloc(LMEM_FIXED, size);
    if (memory == NULL) {
        CloseHandle(file);
        return FALSE;
    }
    if (!ReadFile(file, (LPVOID)memory, size, &got, NULL) || got != size) {
        LocalFree(memory);
        CloseHandle(file);
        return FALSE;
    }
    CloseHandle(file);
    *block = memory;
    *bytes = size;
    return TRUE;
}

// A static buffer of the wave's format holding its samples.
static LPDIRECTSOUNDBUFFER CreateFilledBuffer(const WaveParts* wave) {
    WAVEFORMATEX format;
    DSBUFFERDESC desc;
    LPDIRECTSOUNDBUFFER buffer = NULL;
    LPVOID first, second;
    DWORD firstBytes, secondBytes;

    // The "fmt " chunk may be as short as 14 bytes; DirectSound reads a
    // whole PCM format, so it gets a zero-filled copy rather than the chunk.
    memset(&format, 0, sizeof(format));
    memcpy(&format, wave->format, wave->formatBytes < sizeof(format) ? wave->formatBytes : sizeof(format));
    // Only the bytes copied here exist behind it: an extended format's
    // extra bytes would be read past the end of this record.
    format.cbSize = 0;

    memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = SOUND_BUFFER_FLAGS;
    desc.dwBufferBytes = wave->sampleBytes;
    desc.lpwfxFormat = &format;
    if (FAILED(soundDevice->CreateSoundBuffer(&desc, &buffer, NULL))) return NULL;

    if (FAILED(buffer->Lock(0, wave->sampleBytes, &first, &firstBytes, &second, &secondBytes, 0))) {
        buffer->Release();
        return NULL;
    }
    if (firstBytes > wave->sampleBytes) firstBytes = wave->sampleBytes;
    memcpy(first, wave->samples, firstBytes);
    if (second != NULL) {
        if (secondBytes > wave->sampleBytes - firstBytes) secondBytes = wave->sampleBytes - firstBytes;
        memcpy(second, wave->samples + firstBytes, secondBytes);
    }
    buffer->Unlock(first, firstBytes, second, secondBytes);
    return buffer;
}

BOOL SoundOpen(HWND window) {
    DSBUFFERDESC desc;
    LPDIRECTSOUNDBUFFER primary;

    if (soundReady == 1) return FALSE;
    if (FAILED(DirectSoundCreate(NULL, &soundDevice, NULL))) {
        soundDevice = NULL;
        return FALSE;
    }
    soundDevice->SetCooperativeLevel(window, DSSCL_NORMAL);

    // The primary buffer lives as long as the device; no reference is kept.
    memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    soundDevice->CreateSoundBuffer(&desc, &primary, NULL);

    soundReady = 1;
    return TRUE;
}

BOOL SoundClose(void) {
    if (!soundReady) return FALSE;
    // Every buffer of every set goes with the device.
    if (soundDevice != NULL) soundDevice->Release();
    soundDevice = NULL;
    soundReady = 0;
    return TRUE;
}

BOOL SoundLoad(SoundSet* set, LPCSTR name, LONG copyCount) {
    HRSRC resource;
    HGLOBAL loaded;
    HLOCAL fileImage = NULL;
    const BYTE* image;
    DWORD imageBytes = 0;
    WaveParts wave;
    LPDIRECTSOUNDBUFFER buffer;
    LONG i;

    if (!soundReady) return TRUE;
    if (set == NULL || name == NULL) return FALSE;
    if (copyCount < 0 || copyCount > SOUND_MAX_COPIES) return FALSE;

    resource = FindResourceA(NULL, name, "WAVE");
    if (resource != NULL) {
        loaded = LoadResource(NULL, resource);
        image = loaded != NULL ? (const BYTE*)LockResource(loaded) : NULL;
        if (image == NULL) return FALSE;
        imageBytes = SizeofResource(NULL, resource);
    } else {
        // A resource number that is not there is no file name either.
        if (IS_INTRESOURCE(name)) return FALSE;
        if (!ReadWaveFile(name, &fileImage, &imageBytes)) return FALSE;
        image = (const BYTE*)fileImage;
    }

    buffer = NULL;
    if (ParseWave(image, imageBytes, &wave)) buffer = CreateFilledBuffer(&wave);
    if (buffer == NULL) {
        if (fileImage != NULL) LocalFree(fileImage);
        return FALSE;
    }

    if (copyCount == 0) {
        buffer->Release();  // an empty set needs no samples
    } else {
        set->copies[0] = buffer;
        for (i = 1; i < copyCount; i++) {
            if (FAILED(soundDevice->DuplicateSoundBuffer(buffer, &set->copies[i]))) {
                set->copies[i] = NULL;
                if (fileImage != NULL) LocalFree(fileImage);
                return FALSE;
            }
        }
    }
    for (i = copyCount; i < SOUND_MAX_COPIES; i++) set->copies[i] = NULL;
    set->copyCount = copyCount;
    set->next = 0;
    set->volume = 0;
    set->pan = 0;
    set->frequency = 0;

    if (fileImage != NULL) LocalFree(fileImage);
    return TRUE;
}

// The copies a set may use: never more than its slots, whatever the record says.
static LONG UsableCopies(const SoundSet* set) {
    if (set->copyCount < 0) return 0;
    return set->copyCount > SOUND_MAX_COPIES ? SOUND_MAX_COPIES : set->copyCount;
}

static LPDIRECTSOUNDBUFFER PlayNextCopy(SoundSet* set, DWORD playFlags) {
    LPDIRECTSOUNDBUFFER copy;
    DWORD status;

    if (!soundReady || set == NULL) return NULL;
    if (set->next >= UsableCopies(set) || set->next < 0) set->next = 0;
    copy = set->copies[set->next];
    set->next++;
    if (copy == NULL) return NULL;
    if (FAILED(copy->GetStatus(&status))) return NULL;
    if (status & DSBSTATUS_PLAYING) {
        // Its turn came while it still sounds: start it again from the beginning.
        copy->Stop();
        copy->SetCurrentPosition(0);
    }
    // Volume and pan are left as they are: SoundSetVolume and SoundSetPan
    // gave every copy the set's values already, and a copy that was never
    // set plays at full volume in the centre, as a new buffer does.
    copy->Play(0, 0, playFlags);
    return copy;
}

LPDIRECTSOUNDBUFFER SoundPlay(SoundSet* set) { return PlayNextCopy(set, 0); }

LPDIRECTSOUNDBUFFER SoundPlayLooping(SoundSet* set) { return PlayNextCopy(set, DSBPLAY_LOOPING); }

BOOL SoundStopSet(SoundSet* set) {
    LONG i;

    if (!soundReady || set == NULL) return FALSE;
    for (i = 0; i < UsableCopies(set); i++) {
        if (set->copies[i] == NULL) continue;
        set->copies[i]->Stop();
        set->copies[i]->SetCurrentPosition(0);
    }
    return TRUE;
}

BOOL SoundStopOne(LPDIRECTSOUNDBUFFER copy) {
    if (!soundReady || copy == NULL) return FALSE;
    return SUCCEEDED(copy->Stop());
}

BOOL SoundPlayOne(LPDIRECTSOUNDBUFFER copy) {
    if (!soundReady || copy == NULL) return FALSE;
    return SUCCEEDED(copy->Play(0, 0, 0));
}

BOOL SoundIsPlaying(SoundSet* set) {
    LONG i;
    DWORD status;

    if (!soundReady || set == NULL) return FALSE;
    for (i = 0; i < UsableCopies(set); i++) {
        if (set->copies[i] == NULL) continue;
        if (SUCCEEDED(set->copies[i]->GetStatus(&status)) && (status & DSBSTATUS_PLAYING)) return TRUE;
    }
    return FALSE;
}

// The settings are kept in the set whether or not the device is open; the
// copies are only touched while it is, because closing the device released
// them.
BOOL SoundSetVolume(SoundSet* set, LONG value) {
    LONG i;

    if (set == NULL || value < 0 || value > 255) return FALSE;
    set->volume = value;
    if (!soundReady) return TRUE;
    for (i = 0; i < UsableCopies(set); i++)
        if (set->copies[i] != NULL) set->copies[i]->SetVolume(value * 16 - 4080);
    return TRUE;
}

BOOL SoundSetPan(SoundSet* set, LONG value) {
    LONG i;

    if (set == NULL || value < 0 || value > 255) return FALSE;
    set->pan = value;
    if (!soundReady) return TRUE;
    for (i = 0; i < UsableCopies(set); i++)
        if (set->copies[i] != NULL) set->copies[i]->SetPan(78 * (value - 128));
    return TRUE;
}

BOOL SoundSetFrequency(SoundSet* set, LONG value) {
    LONG i;
    DWORD hertz;

    if (set == NULL || value < 0 || value > 255) return FALSE;
    set->frequency = value;
    if (!soundReady) return TRUE;
    hertz = value == 0 ? DSBFREQUENCY_ORIGINAL : (DWORD)(value * 16 + 441);
    for (i = 0; i < UsableCopies(set); i++)
        if (set->copies[i] != NULL) set->copies[i]->SetFrequency(hertz);
    return TRUE;
}

BOOL SoundFreeSet(SoundSet* set) {
    LONG i;

    if (set == NULL) return FALSE;
    for (i = 0; i < SOUND_MAX_COPIES; i++) {
        if (set->copies[i] == NULL) continue;
        if (soundReady) {
            set->copies[i]->Stop();
            set->copies[i]->Release();
        }
        set->copies[i] = NULL;
    }
    return TRUE;
}
