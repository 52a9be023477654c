// Volume messages on the player's stream, scaled from each channel's volume
// as the song last played it, and the MCI sequencer route for a MIDI file.
#include "music/sequencer.h"

#include "music/music.h"

LONG mciState;
MCIDEVICEID mciDevice;
LONG repeatCount;
MCI_OPEN_PARMS mciOpenParms;
MCI_PLAY_PARMS mciPlayParms;
MCI_STATUS_PARMS mciStatusParms;

void ClearSequencerState(void) {
    mciState = 0;
    mciDevice = 0;
    repeatCount = 0;
}

/* level is in thousandths of the song's own volume on that channel. */
static BOOL SendChannelVolume(LONG channel, LONG level) {
    DWORD value = (DWORD)musicPlayer.channelVolume[channel] * (DWORD)level / 1000;
    DWORD message = 0xB0 | (DWORD)channel | ((DWORD)MIDI_CTRL_VOLUME << 8) | (value << 16);
    return midiOutShortMsg((HMIDIOUT)musicPlayer.stream.load(), message) == MMSYSERR_NOERROR;
}

BOOL MusicSetChannelVolume(LONG channel, LONG level) {
    if (!musicPlayer.playing || channel < 0 || channel > 15 || level < 0 || level > 1000) return FALSE;
    return SendChannelVolume(channel, level);
}

BOOL MusicSetMasterVolume(LONG level) {
    LONG channel;
    if (!musicPlayer.playing || level < 0 || level > 1000) return FALSE;
    for (channel = 0; channel < 16; channel++)
        if (!SendChannelVolume(channel, level)) return FALSE;
    return TRUE;
}

BOOL SequencerPlay(HWND window, LPCSTR fileName) {
    if (mciState & MCI_STATE_SEQUENCER) return FALSE;

    mciOpenParms.dwCallback = 0;
    mciOpenParms.wDeviceID = 0;
    mciOpenParms.lpstrDeviceType = "sequencer";
    mciOpenParms.lpstrElementName = fileName;
    mciOpenParms.lpstrAlias = NULL;
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, (DWORD_PTR)&mciOpenParms) != 0) return FALSE;
    mciState = 0;
    mciDevice = mciOpenParms.wDeviceID;

    mciStatusParms.dwItem = MCI_SEQ_STATUS_PORT;
    if (mciSendCommandA(mciDevice, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&mciStatusParms) != 0) {
        mciSendCommandA(mciDevice, MCI_CLOSE, 0, 0);
        return FALSE;
    }

    mciPlayParms.dwCallback = (DWORD_PTR)window;
    if (mciSendCommandA(mciDevice, MCI_PLAY, MCI_NOTIFY, (DWORD_PTR)&mciPlayParms) != 0) {
        mciSendCommandA(mciDevice, MCI_CLOSE, 0, 0);
        return FALSE;
    }
    mciState = MCI_STATE_SEQUENCER;
    return TRUE;
}

BOOL SequencerStop(void) {
    if (!(mciState & MCI_STATE_SEQUENCER)) return FALSE;
    repeatCount = 0;
    mciState = 0;
    mciSendCommandA(mciDevice, MCI_CLOSE, 0, 0);
    return TRUE;
}

LONG SequencerNotify(WPARAM, LPARAM notifyDevice) {
    LONG bit;
    /* Whatever the notification says (done, superseded, aborted, failed),
       the sequencer's file starts again. */
    for (bit = 0; bit < 32; bit++) {
        DWORD mask = 1UL << bit;
        if (!((DWORD)mciState & mask)) continue;
        if (mask != MCI_STATE_SEQUENCER || (MCIDEVICEID)notifyDevice != mciDevice) continue;
        if (repeatCount == 1) {
            repeatCount = 0;
            mciState = 0;
            mciSendCommandA(mciDevice, MCI_CLOSE, 0, 0);
        } else {
            if (repeatCount > 1) repeatCount--;
            mciSendCommandA(mciDevice, MCI_STOP, 0, (DWORD_PTR)&mciPlayParms);
            mciSendCommandA(mciDevice, MCI_SEEK, MCI_SEEK_TO_START, (DWORD_PTR)&mciPlayParms);
            mciSendCommandA(mciDevice, MCI_PLAY, MCI_NOTIFY, (DWORD_PTR)&mciPlayParms);
        }
    }
    return 0;
}
