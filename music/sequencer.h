// Beside the stream player: volume messages on its stream, and a second
// route for a MIDI file through the MCI sequencer, replayed at each end.
#ifndef TUMBLA_MUSIC_SEQUENCER_H
#define TUMBLA_MUSIC_SEQUENCER_H

#include <windows.h>
#include <mmsystem.h>

#define MCI_STATE_SEQUENCER 2 /* bit 1 of mciState: the sequencer is open and playing */

extern LONG mciState;
extern MCIDEVICEID mciDevice;
extern LONG repeatCount;
extern MCI_OPEN_PARMS mciOpenParms;
extern MCI_PLAY_PARMS mciPlayParms;
extern MCI_STATUS_PARMS mciStatusParms;

void ClearSequencerState(void);
BOOL MusicSetChannelVolume(LONG channel, LONG level);
BOOL MusicSetMasterVolume(LONG level);

BOOL SequencerPlay(HWND window, LPCSTR fileName);
BOOL SequencerStop(void);
LONG SequencerNotify(WPARAM notifyFlags, LPARAM notifyDevice);

#endif
