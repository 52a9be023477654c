// The frame loop and the frame state machine that brings the devices up in
// the first frame, runs the game once per frame and takes everything down.
#include <windows.h>
#include <mmsystem.h>

#include "game/play.h"
#include "graphics/display.h"
#include "graphics/draw.h"
#include "music/music.h"
#include "shell/report.h"
#include "shell/shell.h"
#include "shell/window.h"
#include "sound/sound.h"

int RunFrameLoop(void) {
    MSG msg;

    shell.frameStartTime = timeGetTime();
    for (;;) {
        // Messages always go first; a frame only runs on an empty queue.
        if (PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&msg, NULL, 0, 0)) return (int)msg.wParam;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (shell.appActive == 0) continue;
        // Never two ticks in the same millisecond.
        if (timeGetTime() == shell.frameStartTime) continue;

        shell.frameCounter++;
        if (shell.slowMotionPeriod == 0) {
            FrameStep();
        } else if (shell.slowMotionCountdown > 0) {
            shell.slowMotionCountdown--;
        } else {
            shell.slowMotionCountdown = (DWORD)shell.slowMotionPeriod;
            FrameStep();
        }
        shell.frameStartTime = timeGetTime();
    }
}

static void ReleaseDevices(void) {
    ReleaseDisplay(1);
    SoundClose();
    MusicClose();
}

BOOL FrameStep(void) {
    switch (frameState) {
        case STATE_STARTUP:
            // Every step is tried even after a failure so that one report
            // can list everything that is wrong.
            if (!DisplaySetup()) RaiseError(ERR_DIRECTDRAW);
            if (!PadDetectJoystick()) RaiseError(ERR_JOYSTICK);
            if (!SoundOpen(shell.mainWindow)) RaiseError(ERR_DIRECTSOUND);
            MusicOpen();  // the game plays on in silence without a MIDI device
            if (frameState != STATE_ERROR) frameState = STATE_RUNNING;
            break;
        case STATE_RUNNING:
            ClearSurface(display.canvas, 0);
            GameFrame();
            PresentFrame();
            break;
        case STATE_QUIT:
            ReleaseDevices();
            PostQuitMessage(0);
            frameState = STATE_DONE;
            break;
        case STATE_DONE:
            break;
        case STATE_ERROR:
            ReleaseDevices();
            ErrorReport();
            frameState = STATE_QUIT;
            break;
        default:
            break;
    }
    return TRUE;
}

void RaiseError(DWORD bit) {
    errorFlags |= bit;
    frameState = STATE_ERROR;
}

void RequestQuit(void) { frameState = STATE_QUIT; }

void SetScene(LONG scene) {
    EnterScene(scene);
    currentScene = scene;
}

void GameFrame(void) {
    PadPoll(&shell.padState);
    PadUpdateEdges();
    RunSceneFrame(currentScene);
}
