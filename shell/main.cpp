// The entry: the single-instance rule, the command line and the way into the
// frame loop.
#include <windows.h>

#include <string.h>

#include "game/effects.h"
#include "game/field.h"
#include "game/play.h"
#include "game/rules.h"
#include "game/sheet.h"
#include "graphics/display.h"
#include "input/pad.h"
#include "music/music.h"
#include "music/sequencer.h"
#include "music/t_midcnv.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "shell/window.h"

ShellState shell;
LaunchOptions launchOptions;
LONG frameState;
DWORD errorFlags;
LONG currentScene;

void ClearShellState(void) {
    memset(&shell, 0, sizeof(shell));
    memset(&launchOptions, 0, sizeof(launchOptions));
    frameState = 0;
    errorFlags = 0;
    currentScene = 0;
}

void ClearGameState(void) {
    ClearShellState();
    ClearPadState();
    ClearDisplayState();
    ClearRulesState();
    ClearSheetState();
    ClearFieldState();
    ClearEffectsState();
    ClearPlayState();
    ClearSoundState();
    ClearMusicState();
    ClearConverterState();
    ClearSequencerState();
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd) {
    HWND running;

    (void)hPrevInstance;
    ClearGameState();
    shell.instance = hInstance;
    shell.appActive = 0;

    // A second start brings the running game forward and never touches a device.
    running = FindWindowA(TUMBLA_CLASS_NAME, NULL);
    if (running != NULL) {
        SetForegroundWindow(running);
        return 0;
    }

    ParseCommandLine(lpCmdLine);
    InitShell();
    if (!CreateMainWindow(nShowCmd)) return 0;
    return RunFrameLoop();
}

BOOL ParseCommandLine(LPCSTR commandLine) {
    const char* p;

    launchOptions.emulationOnly = 0;
    launchOptions.fullScreen = 0;
    launchOptions.systemMemory = 0;
    shell.frameStartTime = 0;
    shell.slowMotionPeriod = 0;
    shell.slowMotionCountdown = 0;
    if (commandLine == NULL) return TRUE;

    p = commandLine;
    while (*p != '\0') {
        if (*p != '/') {
            p++;
            continue;
        }
        switch (p[1]) {
            case 'E':
            case 'e':
                launchOptions.emulationOnly = 1;
                p += 2;
                break;
            case 'F':
            case 'f':
                launchOptions.fullScreen = 1;
                p += 2;
                break;
            case 'M':
            case 'm':
                launchOptions.systemMemory = 1;
                p += 2;
                break;
            case 'S':
            case 's':
                shell.slowMotionPeriod = 128;
                shell.slowMotionCountdown = 0;
                p += 2;
                break;
            default:
                // Also a "/" at the very end: the terminating zero stops the walk next.
                p++;
                break;
        }
    }
    return TRUE;
}

BOOL InitShell(void) {
    errorFlags = 0;
    frameState = STATE_STARTUP;
    currentScene = SCENE_STARTUP;
    return TRUE;
}
