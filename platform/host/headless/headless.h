// The headless host's control surface: what a test can set and read back
// while the real program runs without a screen, keyboard or sound card.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/host/host_video.h"

namespace headless {

// A fresh host and a fresh stand-in: clock at 0, no keys down, no joystick,
// no windows, classes or messages, an empty call log and no armed faults.
void Reset();

// The millisecond clock moves only when the program idles, sleeps or times
// out (by the time it asked for) or when a test moves it. Nothing waits on
// the real clock: a sleep or a timed wait first lets the stand-in's own
// threads finish their work, then moves the clock.
void SetTime(std::uint32_t ms);
void AdvanceTime(std::uint32_t ms);
std::uint32_t Time();

// Replaces what idling does. The hook receives the milliseconds asked for and
// may advance the clock, press keys or post messages; the default advances
// the clock by that many milliseconds.
using IdleHook = std::function<void(std::uint32_t ms)>;
void SetIdleHook(IdleHook hook);
// The same for Sleep: the hook runs once the stand-in's threads are done,
// in place of advancing the clock.
void SetSleepHook(IdleHook hook);
int Sleeps();  // Sleep calls since the last reset

// Presses or releases a key, as a keyboard's key at the place of the US
// layout's key, reported to USER as on every host: GetAsyncKeyState sees it,
// and the window on the screen gets the message; pressing a held key repeats
// it.
void SetKey(int virtualKey, bool down);
void ReleaseAllKeys();

void SetJoystick(bool present, const host::JoystickCaps& caps = {});
void SetJoystickState(const host::JoystickState& state);

// Another process's window of this class exists (or not); count the requests
// to bring it forward.
void SetForeignWindow(const std::string& className, bool exists);
int RaiseRequests(const std::string& className);
bool ClassPublished(const std::string& className);

// The emulated desktop and what the display showed.
void SetDesktop(const host::DesktopMode& mode);
struct Screen {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;   // width * height indices
    std::vector<PALETTEENTRY> palette;  // 256 entries
};
const Screen& LastScreen();
int ScreensShown();
int RefreshWaits();
// Whether the display's wait for its refresh (a flip, WaitForVerticalBlank)
// waits at all: under some drivers it returns at once, and the program must
// hold its pace by itself. On after a reset.
void SetRefreshWaits(bool waits);

// Writes 8-bit indexed pixels with their palette as a PNG file, and reads
// back any PNG file as 0xRRGGBB colours, top row first (png/png.cpp).
bool WritePng(const std::string& path, const std::uint8_t* pixels, int width, int height, int pitch,
              const PALETTEENTRY* palette);
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};
bool ReadPng(const std::string& path, Picture& out);

struct MessageBoxRecord {
    std::string text;     // UTF-8
    std::string caption;  // UTF-8
    unsigned type;
};
const std::vector<MessageBoxRecord>& MessageBoxes();

}  // namespace headless
