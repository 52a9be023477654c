// BeginPaint and EndPaint: the window's pending repaint is taken (validated)
// and the painting goes through an ordinary window device context of GDI.
#include <windows.h>

#include <cstring>

#include "platform/trace/trace.h"
#include "platform/user/queue.h"
#include "platform/user/user_internal.h"

using namespace platform::user;

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    platform::TraceCall("BeginPaint");
    if (!lpPaint || !FromHandle(hWnd)) return nullptr;
    std::memset(lpPaint, 0, sizeof(*lpPaint));
    // The whole client area is the update region: classes with
    // CS_HREDRAW | CS_VREDRAW repaint whole, and the host exposes whole.
    bool erase = NeedsErase(hWnd);
    ValidateWindow(hWnd);
    GetClientRect(hWnd, &lpPaint->rcPaint);
    lpPaint->hdc = GetDC(hWnd);
    if (erase)
        lpPaint->fErase = SendMessageA(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(lpPaint->hdc), 0) ? FALSE : TRUE;
    return lpPaint->hdc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
    platform::TraceCall("EndPaint");
    if (!lpPaint || !FromHandle(hWnd)) return FALSE;
    if (lpPaint->hdc) ReleaseDC(hWnd, lpPaint->hdc);
    return TRUE;
}
