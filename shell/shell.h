// The application shell: start-up, the frame loop and the frame state machine.
#ifndef TUMBLA_SHELL_SHELL_H
#define TUMBLA_SHELL_SHELL_H

#include <windows.h>

#include "input/pad.h"

#define ERR_APPLICATION 0x0001
#define ERR_DIRECTDRAW 0x0002
#define ERR_DIRECT3D 0x0004
#define ERR_DIRECTSOUND 0x0008
#define ERR_JOYSTICK 0x0010
#define ERR_MIDI 0x0020
#define ERR_FILE 0x0100
#define ERR_MEMORY 0x0200
#define ERR_SCREEN_MODE 0x0400
#define ERR_UNIDENTIFIED 0x8000

#define STATE_STARTUP 1
#define STATE_RUNNING 64
#define STATE_QUIT 128
#define STATE_DONE 129
#define STATE_ERROR 250

#define SCENE_STARTUP 1
#define SCENE_PLAY 128

#define TUMBLA_CLASS_NAME "TUMBLA_100"
#define TUMBLA_TITLE "TUMBLA Version 0.01"

// One record for the program's life, cleared by the entry before anything else.
struct ShellState {
    DWORD frameCounter;
    LONG slowMotionPeriod;
    DWORD slowMotionCountdown;
    PadState padState;  // padState.buttons is padHeld
    DWORD padPressed;
    DWORD padPrevious;
    LONG repeatLeft;
    LONG repeatRight;
    HWND mainWindow;
    HINSTANCE instance;
    LONG appActive;
    // Window metrics.
    LONG rasterCaps;
    LONG screenWidth;
    LONG screenHeight;
    LONG frameWidth;
    LONG captionHeight;
    LONG clientWidth;
    LONG clientHeight;
    LONG windowX;
    LONG windowY;
    DWORD frameStartTime;
    LONG mouseX;
    LONG mouseY;
    // The 60 Hz grid that running frames are held to: frame n of the grid is
    // due paceOrigin + n * 1000 / 60 ms.
    DWORD paceOrigin;
    DWORD paceFrames;
};

struct LaunchOptions {
    LONG emulationOnly;
    LONG fullScreen;
    LONG displayReady;
    LONG systemMemory;
};

extern ShellState shell;
extern LaunchOptions launchOptions;
extern LONG frameState;
extern DWORD errorFlags;
extern LONG currentScene;

#define padHeld (shell.padState.buttons)

/* Each module's globals back to a fresh process's, without releasing
   anything. ClearGameState runs every module's own clear routine: when the
   program starts, and in tests that run it more than once in one process. */
void ClearShellState(void);
void ClearGameState(void);

BOOL ParseCommandLine(LPCSTR commandLine);
BOOL InitShell(void);
int RunFrameLoop(void);
BOOL FrameStep(void);
void RaiseError(DWORD bit);
void RequestQuit(void);
void SetScene(LONG scene);
void GameFrame(void);
void HoldFrameToRefresh(void);

#endif
