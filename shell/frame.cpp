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

// Never faster than the display: a frame is shown at most 60 times a second.
#define PACE_REFRESH_RATE 60
// A display whose vertical-blank wait works holds frames at its own refresh,
// which may drift a little against our clock; within this many milliseconds
// of its slot a frame is not held again.
#define PACE_SLACK 2
// Further off the grid than this (a stall, a dragged window) and the grid
// starts again, rather than catching up with a burst of frames.
#define PACE_RESYNC 50
#define PACE_MINUTE (PACE_REFRESH_RATE * 60)

int RunFrameLoop(void) {
    MSG msg;
    int code;
    DWORD now;
    DWORD elapsed;

    // Sleep(1) is a sleep of one millisecond only with the finer timer.
    timeBeginPeriod(1);
    shell.frameStartTime = timeGetTime();
    for (;;) {
        // Messages always go first; a frame only runs on an empty queue.
        if (PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&msg, NULL, 0, 0)) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (shell.appActive == 0) {
            // Nothing runs until the game is active again, so sleep until
            // something happens.
            WaitMessage();
            continue;
        }
        // Never two ticks in the same millisecond.
        now = timeGetTime();
        if (now == shell.frameStartTime) {
            Sleep(1);
            continue;
        }

        // A polling loop makes one tick per millisecond of the clock; a
        // "1 ms" sleep may last longer, so the milliseconds that passed stand
        // for the ticks of that loop, and both the counter and the slow-motion
        // countdown follow them rather than the turns of this loop.
        elapsed = now - shell.frameStartTime;
        if (shell.slowMotionPeriod == 0) {
            shell.frameCounter++;
            FrameStep();
            shell.frameStartTime = timeGetTime();
        } else if (shell.slowMotionCountdown >= elapsed) {
            shell.frameCounter += elapsed;
            shell.slowMotionCountdown -= elapsed;
            shell.frameStartTime = now;
        } else {
            // The skipped ticks, then the one that runs the frame. The ticks
            // after it belong to the next countdown: they are left on the
            // clock for the next turn (never more than a countdown's worth,
            // so a stall runs no burst of frames).
            shell.frameCounter += shell.slowMotionCountdown + 1;
            elapsed -= shell.slowMotionCountdown + 1;
            if (elapsed > (DWORD)shell.slowMotionPeriod) elapsed = (DWORD)shell.slowMotionPeriod;
            shell.slowMotionCountdown = (DWORD)shell.slowMotionPeriod;
            FrameStep();
            shell.frameStartTime = timeGetTime() - elapsed;
        }
    }
    code = (int)msg.wParam;
    timeEndPeriod(1);
    return code;
}

// Called after a frame is shown, so the wait falls before the next frame
// reads its keys and never between drawing a frame and showing it. The frame
// waits for the display's vertical blank; under some drivers that wait returns
// at once, and then the frame sleeps until its slot on a 60 Hz grid of the
// millisecond clock, so the game runs at one speed on every machine.
void HoldFrameToRefresh(void) {
    DWORD now;
    DWORD due;
    LONG ahead;

    WaitForDisplayRefresh();
    now = timeGetTime();
    due = shell.paceOrigin + shell.paceFrames * 1000 / PACE_REFRESH_RATE;
    ahead = (LONG)(due - now);
    if (shell.paceFrames == 0 || ahead < -PACE_RESYNC || ahead > PACE_RESYNC) {
        shell.paceOrigin = now;
        shell.paceFrames = 0;
    } else if (ahead > PACE_SLACK) {
        Sleep((DWORD)(ahead - PACE_SLACK));
    }
    shell.paceFrames++;
    // A minute of frames is a whole number of milliseconds: move the origin
    // on by one before the product could overflow (0 frames means no grid).
    if (shell.paceFrames == 2 * PACE_MINUTE) {
        shell.paceOrigin += 60000;
        shell.paceFrames = PACE_MINUTE;
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
            DisplaySetup();  // raises its own failure
            if (!PadDetectJoystick()) RaiseError(ERR_JOYSTICK);
            if (!SoundOpen(shell.mainWindow)) RaiseError(ERR_DIRECTSOUND);
            MusicOpen();  // the game plays on in silence without a MIDI device
            if (frameState != STATE_ERROR) frameState = STATE_RUNNING;
            break;
        case STATE_RUNNING:
            ClearSurface(display.canvas, 0);
            GameFrame();
            PresentFrame();
            HoldFrameToRefresh();
            break;
        case STATE_QUIT:
            ReleaseDevices();
            PostQuitMessage(0);
            frameState = STATE_DONE;
            break;
        case STATE_DONE: break;
        case STATE_ERROR:
            ReleaseDevices();
            ErrorReport();
            frameState = STATE_QUIT;
            break;
        default: break;
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
