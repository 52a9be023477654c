// The pad: keyboard and one joystick merged into one word of button bits.
#ifndef TUMBLA_INPUT_PAD_H
#define TUMBLA_INPUT_PAD_H

#include <windows.h>

#define PAD_UP 0x0001
#define PAD_DOWN 0x0002
#define PAD_LEFT 0x0004
#define PAD_RIGHT 0x0008
#define PAD_BUTTON1 0x0010
#define PAD_BUTTON2 0x0020
#define PAD_BUTTON3 0x0040
#define PAD_BUTTON4 0x0080
#define PAD_BUTTON5 0x0100
#define PAD_BUTTON6 0x0200
#define PAD_BUTTON7 0x0400
#define PAD_BUTTON8 0x0800
#define PAD_ESCAPE 0x8000

struct PadState {
    DWORD buttons;
    LONG xOffset;
    LONG yOffset;
    LONG zOffset;
    LONG rOffset;
    DWORD xHalfRange;
    DWORD yHalfRange;
    DWORD zHalfRange;
    DWORD rHalfRange;
};

struct JoystickCalibration {
    DWORD xCentre;
    DWORD xHalfRange;
    DWORD yCentre;
    DWORD yHalfRange;
    DWORD zCentre;
    DWORD zHalfRange;
    DWORD rCentre;
    DWORD rHalfRange;
};

struct PadKey {
    DWORD bit;
    int virtualKey;
};

extern const PadKey padKeyTable[];
extern LONG joystickCount;
extern JoystickCalibration joystickCalibration;

void ClearPadState(void);
BOOL PadDetectJoystick(void);
DWORD PadPoll(PadState* state);
// The edge and auto-repeat step of the frame: padPressed and padPrevious from padHeld.
void PadUpdateEdges(void);

#endif
