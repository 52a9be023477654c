// The pad: the keys of padKeyTable and joystick 0 read by their state now,
// not from window messages, so the game does not depend on focus messages or
// the keyboard's own typematic repeat.
#include <windows.h>
#include <mmsystem.h>

#include <string.h>

#include "input/pad.h"
#include "shell/shell.h"

// clang-format off
const PadKey padKeyTable[] = {
    {PAD_UP, VK_UP},       {PAD_UP, VK_NUMPAD8},    {PAD_DOWN, VK_DOWN},      {PAD_DOWN, VK_NUMPAD2},
    {PAD_LEFT, VK_LEFT},   {PAD_LEFT, VK_NUMPAD4},  {PAD_RIGHT, VK_RIGHT},    {PAD_RIGHT, VK_NUMPAD6},
    {PAD_BUTTON1, 'Z'},    {PAD_BUTTON1, VK_SPACE}, {PAD_BUTTON2, 'X'},       {PAD_BUTTON2, VK_RETURN},
    {PAD_BUTTON3, VK_SHIFT}, {PAD_BUTTON4, 'Q'},    {PAD_ESCAPE, VK_ESCAPE},  {0, 0},
};
// clang-format on

LONG joystickCount = -1;
JoystickCalibration joystickCalibration;

void ClearPadState(void) {
    joystickCount = -1;
    memset(&joystickCalibration, 0, sizeof(joystickCalibration));
}

static void Calibrate(UINT axisMin, UINT axisMax, DWORD* centre, DWORD* halfRange) {
    *halfRange = (DWORD)(axisMax - axisMin) >> 1;
    *centre = *halfRange + axisMin;
}

BOOL PadDetectJoystick(void) {
    JOYCAPSA caps;
    UINT count;

    count = joyGetNumDevs();
    joystickCount = count > 1 ? 1 : (LONG)count;
    if (joystickCount == 1) {
        // A driver without a stick fails the query and leaves every range zero.
        memset(&caps, 0, sizeof(caps));
        joyGetDevCapsA(JOYSTICKID1, &caps, sizeof(caps));
        Calibrate(caps.wXmin, caps.wXmax, &joystickCalibration.xCentre, &joystickCalibration.xHalfRange);
        Calibrate(caps.wYmin, caps.wYmax, &joystickCalibration.yCentre, &joystickCalibration.yHalfRange);
        Calibrate(caps.wZmin, caps.wZmax, &joystickCalibration.zCentre, &joystickCalibration.zHalfRange);
        Calibrate(caps.wRmin, caps.wRmax, &joystickCalibration.rCentre, &joystickCalibration.rHalfRange);
    }
    return TRUE;
}

DWORD PadPoll(PadState* state) {
    JOYINFOEX info;
    DWORD bits;
    const PadKey* key;
    LONG quarter;
    const JoystickCalibration* cal = &joystickCalibration;

    if (state != NULL) memset(state, 0, sizeof(*state));
    if (joystickCount < 0) return 0;

    bits = 0;
    for (key = padKeyTable; key->bit != 0; key++) {
        if (GetAsyncKeyState(key->virtualKey) & 0x8000) bits |= key->bit;
    }

    memset(&info, 0, sizeof(info));
    info.dwSize = sizeof(info);
    info.dwFlags = JOY_RETURNX | JOY_RETURNY | JOY_RETURNZ | JOY_RETURNR | JOY_RETURNBUTTONS | JOY_RETURNCENTERED;
    if (joystickCount > 0 && joyGetPosEx(JOYSTICKID1, &info) == JOYERR_NOERROR) {
        quarter = (LONG)cal->xHalfRange / 4;
        if ((LONG)info.dwXpos < (LONG)cal->xCentre - quarter)
            bits |= PAD_LEFT;
        else if ((LONG)info.dwXpos > (LONG)cal->xCentre + quarter)
            bits |= PAD_RIGHT;
        quarter = (LONG)cal->yHalfRange / 4;
        if ((LONG)info.dwYpos < (LONG)cal->yCentre - quarter)
            bits |= PAD_UP;
        else if ((LONG)info.dwYpos > (LONG)cal->yCentre + quarter)
            bits |= PAD_DOWN;
        bits |= (info.dwButtons & 0xFF) << 4;
        if (state != NULL) {
            state->xOffset = (LONG)info.dwXpos - (LONG)cal->xCentre;
            state->yOffset = (LONG)info.dwYpos - (LONG)cal->yCentre;
            state->zOffset = (LONG)info.dwZpos - (LONG)cal->zCentre;
            state->rOffset = (LONG)info.dwRpos - (LONG)cal->rCentre;
            state->xHalfRange = cal->xHalfRange;
            state->yHalfRange = cal->yHalfRange;
            state->zHalfRange = cal->zHalfRange;
            state->rHalfRange = cal->rHalfRange;
        }
    } else if (state != NULL) {
        if ((bits & (PAD_LEFT | PAD_RIGHT)) == PAD_LEFT) state->xOffset = -1;
        if ((bits & (PAD_LEFT | PAD_RIGHT)) == PAD_RIGHT) state->xOffset = 1;
        if ((bits & (PAD_UP | PAD_DOWN)) == PAD_UP) state->yOffset = -1;
        if ((bits & (PAD_UP | PAD_DOWN)) == PAD_DOWN) state->yOffset = 1;
        state->xHalfRange = 1;
        state->yHalfRange = 1;
    }
    if (state != NULL) state->buttons = bits;
    return bits;
}

// A counter per direction: a press loads 8 on top of the -1 an idle key
// leaves, so the bit comes on the press and again from the sixth frame on.
static void RepeatStep(DWORD bit, LONG* counter) {
    if ((padHeld & bit) && !(shell.padPrevious & bit)) *counter += 8;
    if (!(padHeld & bit)) *counter = 0;
    if (*counter == 1)
        shell.padPressed |= bit;
    else
        *counter -= 1;
}

void PadUpdateEdges(void) {
    shell.padPressed = (padHeld & ~shell.padPrevious) & 0xFFFF;
    RepeatStep(PAD_LEFT, &shell.repeatLeft);
    RepeatStep(PAD_RIGHT, &shell.repeatRight);
    shell.padPrevious = padHeld;
}
