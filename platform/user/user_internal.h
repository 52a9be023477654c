// What the hosts and the other DLLs of the stand-in know about USER's windows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace platform::user {

struct Window {
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HCURSOR classCursor = nullptr;
    HICON classIcon = nullptr;
    UINT classStyle = 0;
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

// The emulated desktop's metrics (Windows 95 at 96 dpi with the standard scheme).
inline constexpr int kBorder = 1;       // SM_CXBORDER
inline constexpr int kEdge = 2;         // SM_CXEDGE, the 3-D client edge
inline constexpr int kFixedFrame = 3;   // SM_CXDLGFRAME
inline constexpr int kSizingFrame = 4;  // SM_CXFRAME
inline constexpr int kCaption = 19;     // SM_CYCAPTION: 18 pixels of bar and its bottom line
inline constexpr int kMenuBar = 19;     // SM_CYMENU
inline constexpr int kMinTrackWidth = 112;
inline constexpr int kMinTrackHeight = 27;

// Host events: the application gained or lost the focus (WM_ACTIVATEAPP),
// sent to every top-level window of this process.
void SetApplicationActive(bool active);
bool ApplicationActive();

// A host with a real screen shows the top-level windows. It is told when a
// window is created, changes (rectangle, style, title, visibility), is
// brought forward, or goes away. The headless host registers none.
class WindowHost {
public:
    // False makes CreateWindowExA fail, as it does when there is no desktop.
    virtual bool WindowCreated(HWND hwnd) = 0;
    virtual void WindowChanged(HWND hwnd) = 0;
    virtual void WindowRaised(HWND hwnd) = 0;
    virtual void WindowDestroyed(HWND hwnd) = 0;

protected:
    ~WindowHost() = default;
};
void SetWindowHost(WindowHost* host);

// The host's window moved or was resized by the user: the emulated window
// follows so its client area is at `left, top` (desktop coordinates) or of
// the given size, and gets WM_MOVE or WM_SIZE (and a repaint) as on Windows.
void HostMovedWindow(HWND hwnd, int clientLeft, int clientTop);
void HostResizedWindow(HWND hwnd, int clientWidth, int clientHeight);
// The smallest client area the window accepts, from its WM_GETMINMAXINFO.
SIZE MinimumClientSize(HWND hwnd);

// The cursor the application set last (SetCursor) and whether ShowCursor's
// display count lets it show: the host hides its pointer when either says no.
HCURSOR CurrentCursor();
bool CursorShown();
// The icon resource an icon handle was loaded from, -1 for a system icon.
int IconResourceId(HICON icon);

// Code page 932 (the Japanese ANSI code page, which is CP_ACP for this
// program) to UTF-8, and UTF-16 to code page 932, as MultiByteToWideChar and
// WideCharToMultiByte do on a Japanese system. A character that has no
// counterpart becomes "?".
std::string Cp932ToUtf8(std::string_view text);
std::string Utf16ToCp932(const std::uint16_t* text, std::size_t length);
std::u16string Cp932ToUtf16(std::string_view text);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD, as Windows converts it.
std::string Utf16ToUtf8(std::u16string_view text);

// Clears every window, class and queued message; for tests that run the
// program more than once in one process.
void ResetForTests();

}  // namespace platform::user
