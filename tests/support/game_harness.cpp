#include "tests/support/game_harness.h"

#include <algorithm>
#include <cstring>

#include "game/play.h"
#include "game/rules.h"
#include "shell/shell.h"
#include "game/field.h"
#include "graphics/display.h"
#include "input/pad.h"
#include "music/music.h"
#include "music/sequencer.h"
#include "music/t_midcnv.h"
#include "sound/sound.h"

namespace harness {

void ResetAll() {
    // A new process starts with every device closed; a run that ended by its
    // close box left them open, as the real program leaves them to the system.
    ReleaseDisplay(1);
    SoundClose();
    MusicClose();
    headless::Reset();
    // Buffers a stream still held when its close failed are the process's
    // memory, which the system takes back when it ends.
    for (auto& buffer : musicPlayer.buffers)
        if (buffer.header.lpData) GlobalFree(buffer.header.lpData);
    platform::SetTracing(true);
    ClearGameState();
}

int RunProgram(const std::string& commandLine, const std::function<bool(std::uint32_t ms)>& onIdle, long maxIdles) {
    // The hook sees the clock as it was when the program started to idle.
    long idles = 0;
    bool closing = false;
    headless::SetIdleHook([&](std::uint32_t ms) {
        ++idles;
        if (!closing && ((onIdle && !onIdle(ms)) || idles >= maxIdles)) {
            closing = true;
            if (IsWindow(shell.mainWindow))
                PostMessageA(shell.mainWindow, WM_CLOSE, 0, 0);
            else
                PostQuitMessage(0);
        }
        // Time stands still once closing, so no further tick sneaks in before
        // the loop sees the message.
        if (!closing) headless::AdvanceTime(ms);
    });
    std::string line = commandLine;
    int code = WinMain(GetModuleHandleA(nullptr), nullptr, line.data(), SW_SHOWDEFAULT);
    headless::SetIdleHook({});
    return code;
}

int RunFrames(const std::string& commandLine, unsigned long frames,
              const std::function<void(unsigned long frame)>& everyFrame) {
    unsigned long seen = 0;
    return RunProgram(commandLine, [&](std::uint32_t) {
        if (shell.frameCounter != seen) {
            seen = shell.frameCounter;
            if (everyFrame) everyFrame(seen);
        }
        return shell.frameCounter < frames;
    });
}

long RunningFramesSeen() {
    auto calls = platform::TracedCalls();
    return static_cast<long>(std::count(calls.begin(), calls.end(), std::string("GetAsyncKeyState"))) / 15;
}

}  // namespace harness
