// The one door from our Windows stand-in down to the machine it runs on.
// Three hosts implement it, chosen at link time: sdl/ (a real window, keys,
// joystick, audio), headless/ (tests: a clock turned by hand, scripted keys)
// and web/ (the browser). Nothing above platform/ includes this file.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>

namespace host {

// The one clock: milliseconds since the host started, wrapping at 2^32 like
// timeGetTime. GetTickCount, timeGetTime, message times, Sleep and the
// kernel's timed waits all run on it.
std::uint32_t Milliseconds();

// Waits for a host event or `ms` milliseconds, whichever comes first (the
// host may stretch it while the program is in the background). The message
// queue calls it when it has nothing to do.
void Idle(std::uint32_t ms);

// Sleeps `ms` milliseconds of the clock, whatever arrives meanwhile (Sleep).
void Sleep(std::uint32_t ms);

// A kernel object's timed wait: waits on `changed`, with `guard` held on
// entry and exit, until `ready()` or until `ms` milliseconds of the clock
// have passed. True when ready. Waits without a timeout need no host.
bool WaitFor(std::unique_lock<std::mutex>& guard, std::condition_variable& changed, const std::function<bool()>& ready,
             std::uint32_t ms);

// Turns the host's pending events into window messages (PostMessageA on the
// windows of platform/user). Called by the message functions.
void PumpEvents();

// The host's first game controller or joystick, in the units of the
// multimedia joystick services (0..65535 per axis unless a test says otherwise).
struct JoystickCaps {
    unsigned xMin, xMax, yMin, yMax, zMin, zMax, rMin, rMax;
    unsigned buttonCount;
    char name[32];
};
struct JoystickState {
    unsigned x, y, z, r;
    unsigned buttons;  // bit n = button n + 1
};
int JoystickCount();
bool JoystickGetCaps(int index, JoystickCaps& caps);
bool JoystickGetState(int index, JoystickState& state);

// Top-level windows of other processes, found by class name, for the
// single-instance rule. PublishWindowClass announces that this process owns
// a window of the class until WithdrawWindowClass or the end of the process.
bool ForeignWindowExists(std::string_view className);
bool RaiseForeignWindow(std::string_view className);
void PublishWindowClass(std::string_view className);
void WithdrawWindowClass(std::string_view className);
// Called by the message functions: has another process asked us to come forward?
bool TakeRaiseRequest();

// Whether the host runs threads beside the main one. Without them (the
// browser's host unless built with threads) the stand-in starts none of its
// own: the host delivers MIDI notifications from its main loop
// (platform::DeliverNotifications), and even an endless wait on a kernel
// object goes through WaitFor, inside which whoever ends it runs.
bool HasThreads();

}  // namespace host
