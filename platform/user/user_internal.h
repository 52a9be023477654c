// What the other DLLs of the stand-in know about USER's windows, beyond
// what the hosts see through platform/host/host_events.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "platform/host/host_events.h"

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

// The window behind a handle, or null for a handle that is not (or no longer)
// a window. USER's own record, for the stand-in's DLLs; hosts see a window
// through ViewWindow.
Window* FromHandle(HWND hwnd);

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

// Code page 932 (the Japanese ANSI code page, which is CP_ACP for this
// program) to UTF-8, and UTF-16 to code page 932, as MultiByteToWideChar and
// WideCharToMultiByte do on a Japanese system. A character that has no
// counterpart becomes "?".
std::u16string Cp932ToUtf16(std::string_view text);
std::string Cp932ToUtf8(std::string_view text);
std::string Utf16ToCp932(const std::uint16_t* text, std::size_t length);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD, as Windows converts it.
std::string Utf16ToUtf8(std::u16string_view text);

// Clears every window, class and queued message; for tests that run the
// program more than once in one process.
void ResetForTests();
void ResetKeyboardForTests();
void ReleaseAllKeys();
void ResetCursorsForTests();

}  // namespace platform::user
