// The numbers of TUMBLA's resources, shared by tumbla.rc and the program.
#ifndef TUMBLA_RESOURCE_H
#define TUMBLA_RESOURCE_H

#define IDI_TUMBLA 116
#define IDB_SPRITES 117
#define IDW_THUD 118
#define IDW_CHIME 119
#define IDW_FLOURISH 120

// String 2 is shown on its own at start-up; 3 to 11 are the lines of the
// error report, 12 and 13 its footer and header.
#define IDS_START_FAILED 2
#define IDS_ERR_APPLICATION 3
#define IDS_ERR_SCREEN_MODE 4
#define IDS_ERR_DIRECTDRAW 5
#define IDS_ERR_DIRECTSOUND 6
#define IDS_ERR_MIDI 7
#define IDS_ERR_FILE 8
#define IDS_ERR_MEMORY 9
#define IDS_ERR_UNIDENTIFIED 10
#define IDS_ERR_DIRECT3D 11
#define IDS_REPORT_FOOTER 12
#define IDS_REPORT_HEADER 13

#endif
