// Runs the real program, or pieces of it, over the headless host.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/host/headless/headless.h"
#include "platform/trace/trace.h"

namespace harness {

// A fresh host and fresh game state, as at the start of a new process.
void ResetAll();

// Runs WinMain with the given command line. `onIdle` is called each time the
// program idles, with the milliseconds it asked for, before the clock moves
// by them; return false from it to close the window (as the close box
// does). The run also ends by itself after `maxIdles` idles.
int RunProgram(const std::string& commandLine, const std::function<bool(std::uint32_t ms)>& onIdle,
               long maxIdles = 2000000);

// Runs the program until frameCounter reaches `frames` (then closes it).
int RunFrames(const std::string& commandLine, unsigned long frames,
              const std::function<void(unsigned long frame)>& everyFrame = {});

// How many running frames polled the pad (each poll reads 15 keys).
long RunningFramesSeen();

}  // namespace harness
