// What the hosts and the other DLLs of the stand-in know about USER's windows.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace platform::user {

struct Window {
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};  // window rectangle on the emulated desktop
    LONG userData = 0;
    bool visible = false;
    bool destroyed = false;
};

// The window behind a handle, or null for a handle that is not (or no longer) a window.
Window* FromHandle(HWND hwnd);
// Top-level windows of this process that still exist, oldest first.
std::vector<HWND> TopLevelWindows();
// The client rectangle of a window in desktop coordinates.
RECT ClientRectOnScreen(HWND hwnd);
// Window frame sizes of the emulated desktop, shared by AdjustWindowRectEx and the metrics.
RECT NonClientInsets(DWORD style, BOOL menu, DWORD exStyle);

// Host events: the application gained or lost the focus (WM_ACTIVATEAPP),
// sent to every top-level window of this process.
void SetApplicationActive(bool active);
bool ApplicationActive();

// Clears every window, class and queued message; for tests that run the
// program more than once in one process.
void ResetForTests();

}  // namespace platform::user
