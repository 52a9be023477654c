// Wave formats, as <mmsystem.h> declares them: byte-packed, so WAVEFORMAT
// is 14 bytes, PCMWAVEFORMAT 16 and WAVEFORMATEX 18, as in a RIFF "fmt " chunk.
#pragma once

#include "win/types.h"

#pragma pack(push, 1)

#ifndef WAVE_FORMAT_PCM
typedef struct waveformat_tag {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
} WAVEFORMAT, *PWAVEFORMAT, *LPWAVEFORMAT;

#define WAVE_FORMAT_PCM 1

typedef struct pcmwaveformat_tag {
    WAVEFORMAT wf;
    WORD wBitsPerSample;
} PCMWAVEFORMAT, *PPCMWAVEFORMAT, *LPPCMWAVEFORMAT;
#endif

#ifndef _WAVEFORMATEX_
#define _WAVEFORMATEX_
typedef struct tWAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
} WAVEFORMATEX, *PWAVEFORMATEX, *LPWAVEFORMATEX;
#endif
typedef const WAVEFORMATEX* LPCWAVEFORMATEX;

#pragma pack(pop)

static_assert(sizeof(WAVEFORMAT) == 14 && sizeof(PCMWAVEFORMAT) == 16 && sizeof(WAVEFORMATEX) == 18);
