// Window classes, windows and the messages that creating, moving and
// destroying them send, as USER32 does for the calls the game makes.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "platform/host/host.h"
#include "platform/kernel/trace.h"
#include "platform/user/user_internal.h"
#include "platform/user/queue.h"

namespace platform::user {
namespace {

struct WindowClass {
    WNDCLASSEXA desc{};
    std::string name;
};

struct State {
    std::map<std::string, WindowClass, std::less<>> classes;  // by lower-case name
    std::vector<std::unique_ptr<Window>> windows;              // index + 1 is the handle's value
    bool active = false;
};

State& S() {
    static State s;
    return s;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    return out;
}

// Window handles are small, never reused numbers so that a stale handle is
// recognised as such instead of reaching another window.
HWND ToHandle(std::size_t index) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>((index + 1) * 4 + 0x10000)); }

void SendSizeAndMove(HWND hwnd) {
    RECT client = ClientRectOnScreen(hwnd);
    SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
    SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right - client.left, client.bottom - client.top));
}

}  // namespace

Window* FromHandle(HWND hwnd) {
    auto value = reinterpret_cast<std::uintptr_t>(hwnd);
    if (value < 0x10004 || (value - 0x10000) % 4 != 0) return nullptr;
    std::size_t index = (value - 0x10000) / 4 - 1;
    auto& windows = S().windows;
    if (index >= windows.size() || !windows[index] || windows[index]->destroyed) return nullptr;
    return windows[index].get();
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> out;
    auto& windows = S().windows;
    for (std::size_t i = 0; i < windows.size(); ++i)
        if (windows[i] && !windows[i]->destroyed) out.push_back(ToHandle(i));
    return out;
}

RECT NonClientInsets(DWORD style, BOOL menu, DWORD exStyle) {
    // The emulated desktop draws Windows 95's default metrics: a 4-pixel
    // sizing frame, an 18-pixel caption and a 19-pixel menu bar, and a
    // 2-pixel client edge.
    RECT in{};
    int frame = 0;
    if (style & WS_THICKFRAME) frame = 4;
    else if ((style & WS_CAPTION) || (style & WS_DLGFRAME)) frame = 3;
    else if (style & WS_BORDER) frame = 1;
    in.left = in.right = in.top = in.bottom = frame;
    if ((style & WS_CAPTION) == WS_CAPTION) in.top += 18;
    if (menu) in.top += 19;
    if (exStyle & WS_EX_CLIENTEDGE) {
        in.left += 2;
        in.right += 2;
        in.top += 2;
        in.bottom += 2;
    }
    return in;
}

RECT ClientRectOnScreen(HWND hwnd) {
    RECT r{};
    Window* w = FromHandle(hwnd);
    if (!w) return r;
    RECT in = NonClientInsets(w->style, FALSE, w->exStyle);
    r.left = w->rect.left + in.left;
    r.top = w->rect.top + in.top;
    r.right = std::max(r.left, w->rect.right - in.right);
    r.bottom = std::max(r.top, w->rect.bottom - in.bottom);
    return r;
}

void SetApplicationActive(bool active) {
    if (S().active == active) return;
    S().active = active;
    for (HWND hwnd : TopLevelWindows()) SendMessageA(hwnd, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
}

bool ApplicationActive() { return S().active; }

void ResetForTests() {
    for (auto& [key, cls] : S().classes) host::WithdrawWindowClass(cls.name);
    S() = State{};
    ResetQueueForTests();
}

}  // namespace platform::user

using namespace platform::user;
using platform::TraceCall;

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpwcx) {
    TraceCall("RegisterClassExA");
    if (!lpwcx || lpwcx->cbSize != sizeof(WNDCLASSEXA) || !lpwcx->lpszClassName || !lpwcx->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string key = Lower(lpwcx->lpszClassName);
    if (S().classes.count(key)) return 0;  // ERROR_CLASS_ALREADY_EXISTS
    WindowClass cls;
    cls.desc = *lpwcx;
    cls.name = lpwcx->lpszClassName;
    cls.desc.lpszClassName = nullptr;
    cls.desc.lpszMenuName = nullptr;
    S().classes.emplace(key, cls);
    return static_cast<ATOM>(0xC000 + S().classes.size());
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
    if (!lpClassName) return FALSE;
    return S().classes.erase(Lower(lpClassName)) ? TRUE : FALSE;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND, HMENU, HINSTANCE hInstance, LPVOID lpParam) {
    TraceCall("CreateWindowExA");
    if (!lpClassName) return nullptr;
    auto it = S().classes.find(Lower(lpClassName));
    if (it == S().classes.end()) return nullptr;
    auto window = std::make_unique<Window>();
    window->className = it->second.name;
    window->title = lpWindowName ? lpWindowName : "";
    window->proc = it->second.desc.lpfnWndProc;
    window->instance = hInstance;
    window->style = dwStyle;
    window->exStyle = dwExStyle;
    // CW_USEDEFAULT places the window at the emulated shell's first cascade
    // position with its default size.
    if (X == CW_USEDEFAULT) X = 0, Y = 0;
    if (nWidth == CW_USEDEFAULT) nWidth = 640, nHeight = 480;
    window->rect = RECT{X, Y, X + nWidth, Y + nHeight};
    S().windows.push_back(std::move(window));
    HWND hwnd = ToHandle(S().windows.size() - 1);

    (void)lpParam;
    if (!SendMessageA(hwnd, WM_NCCREATE, 0, 0)) {
        FromHandle(hwnd)->destroyed = true;
        return nullptr;
    }
    if (SendMessageA(hwnd, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    host::PublishWindowClass(FromHandle(hwnd)->className);
    SendSizeAndMove(hwnd);
    if (dwStyle & WS_VISIBLE) {
        FromHandle(hwnd)->visible = true;
        SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
        SetApplicationActive(true);
    }
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    TraceCall("DestroyWindow");
    Window* w = FromHandle(hWnd);
    if (!w) {
        SetLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
        return FALSE;
    }
    if (w->visible) {
        w->visible = false;
        SendMessageA(hWnd, WM_SHOWWINDOW, FALSE, 0);
    }
    SendMessageA(hWnd, WM_DESTROY, 0, 0);
    SendMessageA(hWnd, WM_NCDESTROY, 0, 0);
    w = FromHandle(hWnd);
    if (w) {
        std::string cls = w->className;
        w->destroyed = true;
        bool stillOwned = false;
        for (HWND other : TopLevelWindows())
            if (Lower(FromHandle(other)->className) == Lower(cls)) stillOwned = true;
        if (!stillOwned) host::WithdrawWindowClass(cls);
    }
    DiscardMessagesFor(hWnd);
    if (TopLevelWindows().empty()) S().active = false;
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) { return FromHandle(hWnd) ? TRUE : FALSE; }

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    switch (Msg) {
        case WM_NCCREATE:
            return TRUE;
        case WM_PAINT:
            ValidateWindow(hWnd);
            return 0;
        case WM_CLOSE:
            DestroyWindow(hWnd);
            return 0;
        case WM_SYSKEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSCOMMAND:
        case WM_SETCURSOR:
        case WM_ERASEBKGND:
            return 0;
        case WM_GETMINMAXINFO:
        default:
            (void)wParam;
            (void)lParam;
            return 0;
    }
}

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    TraceCall("FindWindowA");
    for (HWND hwnd : TopLevelWindows()) {
        Window* w = FromHandle(hwnd);
        if (lpClassName && Lower(w->className) != Lower(lpClassName)) continue;
        if (lpWindowName && w->title != lpWindowName) continue;
        return hwnd;
    }
    // Windows of other processes are found by class only: that is all the
    // single-instance rule asks of them.
    if (lpClassName && !lpWindowName && host::ForeignWindowExists(lpClassName))
        return ForeignWindowHandle(lpClassName);
    return nullptr;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
    TraceCall("SetForegroundWindow");
    if (FromHandle(hWnd)) {
        SetApplicationActive(true);
        return TRUE;
    }
    if (const char* cls = ForeignWindowClass(hWnd)) return host::RaiseForeignWindow(cls) ? TRUE : FALSE;
    return FALSE;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* w = FromHandle(hWnd);
    if (!w || !w->proc) return 0;
    return w->proc(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    TraceCall("ShowWindow");
    Window* w = FromHandle(hWnd);
    if (!w) return FALSE;
    bool wasVisible = w->visible;
    bool show = nCmdShow != SW_HIDE;
    if (show != wasVisible) {
        w->visible = show;
        if (show) w->style |= WS_VISIBLE;
        else w->style &= ~static_cast<DWORD>(WS_VISIBLE);
        SendMessageA(hWnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    }
    if (show && nCmdShow != SW_SHOWMINIMIZED && nCmdShow != SW_MINIMIZE) SetApplicationActive(true);
    return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
    if (!FromHandle(hWnd)) return FALSE;
    return TRUE;
}

HWND WINAPI SetFocus(HWND hWnd) {
    static HWND focus = nullptr;
    HWND previous = FromHandle(focus) ? focus : nullptr;
    if (hWnd && !FromHandle(hWnd)) return nullptr;
    focus = hWnd;
    return previous;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags) {
    TraceCall("SetWindowPos");
    Window* w = FromHandle(hWnd);
    if (!w) return FALSE;
    RECT r = w->rect;
    if (!(uFlags & SWP_NOMOVE)) {
        LONG width = r.right - r.left, height = r.bottom - r.top;
        r.left = X;
        r.top = Y;
        r.right = X + width;
        r.bottom = Y + height;
    }
    if (!(uFlags & SWP_NOSIZE)) {
        r.right = r.left + std::max(0, cx);
        r.bottom = r.top + std::max(0, cy);
    }
    w->rect = r;
    if (uFlags & SWP_SHOWWINDOW) ShowWindow(hWnd, SW_SHOW);
    if (uFlags & SWP_HIDEWINDOW) ShowWindow(hWnd, SW_HIDE);
    SendSizeAndMove(hWnd);
    return TRUE;
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
    Window* w = FromHandle(hWnd);
    if (!w) return 0;
    switch (nIndex) {
        case GWL_STYLE: return static_cast<LONG>(w->style);
        case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
        case GWL_USERDATA: return w->userData;
        default: return 0;
    }
}

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
    Window* w = FromHandle(hWnd);
    if (!w) return 0;
    LONG old = GetWindowLongA(hWnd, nIndex);
    switch (nIndex) {
        case GWL_STYLE: w->style = static_cast<DWORD>(dwNewLong); break;
        case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(dwNewLong); break;
        case GWL_USERDATA: w->userData = dwNewLong; break;
        default: return 0;
    }
    return old;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    if (!lpRect || !FromHandle(hWnd)) return FALSE;
    RECT r = ClientRectOnScreen(hWnd);
    *lpRect = RECT{0, 0, r.right - r.left, r.bottom - r.top};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
    Window* w = FromHandle(hWnd);
    if (!lpRect || !w) return FALSE;
    *lpRect = w->rect;
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD dwExStyle) {
    if (!lpRect) return FALSE;
    RECT in = NonClientInsets(dwStyle, bMenu, dwExStyle);
    lpRect->left -= in.left;
    lpRect->top -= in.top;
    lpRect->right += in.right;
    lpRect->bottom += in.bottom;
    return TRUE;
}

BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
    if (!lprc) return FALSE;
    *lprc = RECT{xLeft, yTop, xRight, yBottom};
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT*, BOOL) {
    if (!FromHandle(hWnd)) return FALSE;
    RequestPaint(hWnd);
    return TRUE;
}

SHORT WINAPI GetAsyncKeyState(int vKey) {
    TraceCall("GetAsyncKeyState");
    if (vKey <= 0 || vKey > 255) return 0;
    return host::KeyDown(vKey) ? static_cast<SHORT>(0x8000) : 0;
}
