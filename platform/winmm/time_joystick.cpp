// The multimedia clock and joystick services over the host's clock and its
// first game controller.
#include <mmsystem.h>

#include <cstring>
#include <mutex>
#include <set>

#include "platform/host/host.h"
#include "platform/trace/trace.h"
#include "platform/winmm/timer_internal.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kJoyGetNumDevs("joyGetNumDevs");
const platform::FaultPoint kJoyGetDevCapsA("joyGetDevCapsA");
const platform::FaultPoint kJoyGetPosEx("joyGetPosEx");
}  // namespace

DWORD WINAPI timeGetTime(void) { return host::Milliseconds(); }

namespace platform::winmm {
namespace {

// Periods begun and not yet ended, each as often as it was begun: every
// timeBeginPeriod must be matched by a timeEndPeriod of the same period.
std::mutex periodsLock;
std::multiset<UINT> periods;

}  // namespace

unsigned FinestTimerPeriod() {
    std::lock_guard guard(periodsLock);
    return periods.empty() ? 0 : *periods.begin();
}

void ResetTimerForTests() {
    std::lock_guard guard(periodsLock);
    periods.clear();
}

}  // namespace platform::winmm

// The host's clock and sleeps already have millisecond resolution; the
// periods asked for are only kept, so that tests can see what the program
// asks of a Windows whose default timer ticks every 15.6 ms.
MMRESULT WINAPI timeBeginPeriod(UINT uPeriod) {
    platform::TraceCall("timeBeginPeriod");
    if (uPeriod == 0) return TIMERR_NOCANDO;
    std::lock_guard guard(platform::winmm::periodsLock);
    platform::winmm::periods.insert(uPeriod);
    return TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT uPeriod) {
    platform::TraceCall("timeEndPeriod");
    if (uPeriod == 0) return TIMERR_NOCANDO;
    // Only a period out of range is refused; one never begun ends nothing.
    std::lock_guard guard(platform::winmm::periodsLock);
    auto it = platform::winmm::periods.find(uPeriod);
    if (it != platform::winmm::periods.end()) platform::winmm::periods.erase(it);
    return TIMERR_NOERROR;
}

// Windows 95's joystick driver reports two devices whether or not any stick
// is plugged in; the position query is what tells.
UINT WINAPI joyGetNumDevs(void) {
    kJoyGetNumDevs.Trace();
    std::int32_t fault;
    if (kJoyGetNumDevs.Fails(fault)) return 0;
    return 2;
}

MMRESULT WINAPI joyGetDevCapsA(UINT_PTR uJoyID, LPJOYCAPSA pjc, UINT cbjc) {
    kJoyGetDevCapsA.Trace();
    if (!pjc || cbjc < sizeof(JOYCAPSA)) return MMSYSERR_INVALPARAM;
    if (uJoyID > 1) return MMSYSERR_NODRIVER;
    // Other drivers refuse the query while no stick is plugged in, and leave
    // the record as it was.
    std::int32_t fault;
    if (kJoyGetDevCapsA.Fails(fault)) return static_cast<MMRESULT>(fault);
    // The driver answers for its devices whether or not a stick is plugged
    // in now, with the standard range, so that a program that calibrates at
    // start reads a stick plugged in later correctly. A stick that is there
    // gives its own name, buttons and ranges.
    host::JoystickCaps caps{};
    caps.xMax = caps.yMax = caps.zMax = caps.rMax = 65535;
    caps.buttonCount = 4;
    std::strncpy(caps.name, "Microsoft PC-joystick driver", sizeof(caps.name) - 1);
    if (static_cast<int>(uJoyID) < host::JoystickCount()) {
        host::JoystickCaps attached{};
        if (host::JoystickGetCaps(static_cast<int>(uJoyID), attached)) caps = attached;
    }
    std::memset(pjc, 0, sizeof(JOYCAPSA));
    std::memcpy(pjc->szPname, caps.name, strnlen(caps.name, MAXPNAMELEN - 1));
    pjc->wXmin = caps.xMin;
    pjc->wXmax = caps.xMax;
    pjc->wYmin = caps.yMin;
    pjc->wYmax = caps.yMax;
    pjc->wZmin = caps.zMin;
    pjc->wZmax = caps.zMax;
    pjc->wRmin = caps.rMin;
    pjc->wRmax = caps.rMax;
    pjc->wNumButtons = caps.buttonCount;
    pjc->wMaxButtons = 32;
    pjc->wNumAxes = pjc->wMaxAxes = 4;
    pjc->wPeriodMin = 10;
    pjc->wPeriodMax = 1000;
    return JOYERR_NOERROR;
}

MMRESULT WINAPI joyGetPosEx(UINT uJoyID, LPJOYINFOEX pji) {
    kJoyGetPosEx.Trace();
    if (!pji || pji->dwSize != sizeof(JOYINFOEX)) return MMSYSERR_INVALPARAM;
    if (uJoyID > 1) return MMSYSERR_NODRIVER;
    std::int32_t fault;
    if (kJoyGetPosEx.Fails(fault)) return static_cast<MMRESULT>(fault);
    host::JoystickState state{};
    if (static_cast<int>(uJoyID) >= host::JoystickCount() || !host::JoystickGetState(static_cast<int>(uJoyID), state))
        return JOYERR_UNPLUGGED;
    DWORD flags = pji->dwFlags;
    if (flags & JOY_RETURNX) pji->dwXpos = state.x;
    if (flags & JOY_RETURNY) pji->dwYpos = state.y;
    if (flags & JOY_RETURNZ) pji->dwZpos = state.z;
    if (flags & JOY_RETURNR) pji->dwRpos = state.r;
    if (flags & JOY_RETURNBUTTONS) {
        pji->dwButtons = state.buttons;
        pji->dwButtonNumber = 0;
        for (unsigned b = state.buttons; b; b &= b - 1) ++pji->dwButtonNumber;
    }
    return JOYERR_NOERROR;
}
