// Window classes, windows and the messages that creating, moving and
// destroying them send, as USER32 does for the calls the game makes.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <new>

#include "platform/host/host.h"
#include "platform/host/host_video.h"
#include "platform/trace/boundary.h"
#include "platform/trace/trace.h"
#include "platform/user/queue.h"
#include "platform/user/user_internal.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kCreateWindowExA("CreateWindowExA");
const platform::FaultPoint kRegisterClassExA("RegisterClassExA");
}  // namespace

namespace platform::user {
namespace {

struct WindowClass {
    WNDCLASSEXA desc{};
    std::string name;
};

struct State {
    std::map<std::string, WindowClass, std::less<>> classes;  // by lower-case name
    std::vector<std::unique_ptr<Window>> windows;             // index + 1 is the handle's value
    bool active = false;
    HWND focus = nullptr;
};

State& WindowTable() {
    static State s;
    return s;
}

// Outlives ResetForTests: the host registers itself once, at start.
WindowHost* windowHost = nullptr;

// Set in WINDOWPOS by SetWindowPos when the client area did not move or
// change size, so that WM_WINDOWPOSCHANGED sends only what changed.
constexpr UINT kNoClientSize = 0x0800;
constexpr UINT kNoClientMove = 0x1000;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    return out;
}

// Window handles are small, never reused numbers so that a stale handle is
// recognised as such instead of reaching another window.
HWND ToHandle(std::size_t index) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>((index + 1) * 4 + 0x10000));
}

void NotifyChanged(HWND hwnd) {
    if (windowHost && FromHandle(hwnd)) windowHost->WindowChanged(hwnd);
}

// The limits DefWindowProc applies to a new size: what WM_GETMINMAXINFO
// answers, starting from the desktop's defaults.
MINMAXINFO QueryMinMax(HWND hwnd) {
    host::DesktopMode desktop = host::Desktop();
    int frame = kSizingFrame + kEdge;
    MINMAXINFO mmi{};
    mmi.ptMaxSize = POINT{desktop.width + 2 * frame, desktop.height + 2 * frame};
    mmi.ptMaxPosition = POINT{-frame, -frame};
    mmi.ptMinTrackSize = POINT{kMinTrackWidth, kMinTrackHeight};
    mmi.ptMaxTrackSize = POINT{desktop.width + 2 * frame, desktop.height + 2 * frame};
    SendMessageA(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    return mmi;
}

// Windows with a sizing frame, and overlapped windows, are held within
// their minimum and maximum tracking sizes whenever they are sized.
bool HasTrackingLimits(const Window& w) { return (w.style & WS_THICKFRAME) || !(w.style & (WS_POPUP | WS_CHILD)); }

void ClampToTracking(HWND hwnd, int& cx, int& cy) {
    MINMAXINFO mmi = QueryMinMax(hwnd);
    LONG maxX = std::max(mmi.ptMaxTrackSize.x, mmi.ptMinTrackSize.x);
    LONG maxY = std::max(mmi.ptMaxTrackSize.y, mmi.ptMinTrackSize.y);
    cx = std::clamp<LONG>(cx, mmi.ptMinTrackSize.x, maxX);
    cy = std::clamp<LONG>(cy, mmi.ptMinTrackSize.y, maxY);
}

// Moves and sizes a window the way SetWindowPos does: WM_WINDOWPOSCHANGING
// (where DefWindowProc applies the tracking limits), the change,
// WM_WINDOWPOSCHANGED (where DefWindowProc sends WM_MOVE and WM_SIZE).
void PlaceWindow(HWND hwnd, int x, int y, int cx, int cy, UINT flags) {
    Window* w = FromHandle(hwnd);
    if (!w) return;
    WINDOWPOS pos{hwnd, nullptr, x, y, cx, cy, flags};
    if (!(flags & SWP_NOMOVE) || !(flags & SWP_NOSIZE)) {
        if (flags & SWP_NOMOVE) pos.x = w->rect.left, pos.y = w->rect.top;
        if (flags & SWP_NOSIZE) pos.cx = w->rect.right - w->rect.left, pos.cy = w->rect.bottom - w->rect.top;
        SendMessageA(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
        if (!(w = FromHandle(hwnd))) return;
    }
    RECT oldClient = ClientRectOnScreen(hwnd);
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        LONG width = r.right - r.left, height = r.bottom - r.top;
        r = RECT{pos.x, pos.y, pos.x + width, pos.y + height};
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(0, pos.cx);
        r.bottom = r.top + std::max(0, pos.cy);
    }
    w->rect = r;
    RECT newClient = ClientRectOnScreen(hwnd);
    if (newClient.left == oldClient.left && newClient.top == oldClient.top) pos.flags |= kNoClientMove;
    if (newClient.right - newClient.left == oldClient.right - oldClient.left &&
        newClient.bottom - newClient.top == oldClient.bottom - oldClient.top)
        pos.flags |= kNoClientSize;
    // Classes with CS_HREDRAW | CS_VREDRAW repaint whole after a resize.
    if (!(pos.flags & kNoClientSize) || (flags & SWP_FRAMECHANGED)) RequestPaint(hwnd);
    SendMessageA(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

}  // namespace

Window* FromHandle(HWND hwnd) {
    auto value = reinterpret_cast<std::uintptr_t>(hwnd);
    if (value < 0x10004 || (value - 0x10000) % 4 != 0) return nullptr;
    std::size_t index = (value - 0x10000) / 4 - 1;
    auto& windows = WindowTable().windows;
    if (index >= windows.size() || !windows[index] || windows[index]->destroyed) return nullptr;
    return windows[index].get();
}

// The first of the windows that show: the one a screen of one window shows.
HWND ScreenWindow() {
    for (HWND hwnd : TopLevelWindows())
        if (Window* w = FromHandle(hwnd); w && w->visible) return hwnd;
    return nullptr;
}

// What GDI and DirectDraw hand over of a client area is only its part on
// the desktop: where the window reaches over the left or top edge, its
// picture starts that far inside the image.
RECT ShownClientPart(HWND hwnd) {
    RECT c = ClientRectOnScreen(hwnd);
    LONG left = c.left < 0 ? -c.left : 0;
    LONG top = c.top < 0 ? -c.top : 0;
    return RECT{left, top, left + (c.right - c.left), top + (c.bottom - c.top)};
}

bool ViewWindow(HWND hwnd, WindowView& view) {
    const Window* w = FromHandle(hwnd);
    if (!w) return false;
    view.title = w->title;
    view.style = w->style;
    view.visible = w->visible;
    view.doubleClicks = (w->classStyle & CS_DBLCLKS) != 0;
    view.instance = w->instance;
    view.iconResource = IconResourceId(w->classIcon);
    return true;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> out;
    auto& windows = WindowTable().windows;
    for (std::size_t i = 0; i < windows.size(); ++i)
        if (windows[i] && !windows[i]->destroyed) out.push_back(ToHandle(i));
    return out;
}

RECT NonClientInsets(DWORD style, BOOL menu, DWORD exStyle) {
    RECT in{};
    int frame = 0;
    if (style & WS_THICKFRAME)
        frame = kSizingFrame;
    else if ((style & WS_CAPTION) || (style & WS_DLGFRAME))
        frame = kFixedFrame;
    else if (style & WS_BORDER)
        frame = kBorder;
    in.left = in.right = in.top = in.bottom = frame;
    if ((style & WS_CAPTION) == WS_CAPTION) in.top += kCaption;
    if (menu) in.top += kMenuBar;
    if (exStyle & WS_EX_CLIENTEDGE) {
        in.left += kEdge;
        in.right += kEdge;
        in.top += kEdge;
        in.bottom += kEdge;
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
    if (WindowTable().active == active) return;
    WindowTable().active = active;
    // Every key lets go: its release goes to whichever program is in front.
    if (!active) ReleaseAllKeys();
    for (HWND hwnd : TopLevelWindows()) SendMessageA(hwnd, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
}

bool ApplicationActive() { return WindowTable().active; }

void SetWindowHost(WindowHost* host) { windowHost = host; }

void HostMovedWindow(HWND hwnd, int clientLeft, int clientTop) {
    Window* w = FromHandle(hwnd);
    if (!w) return;
    RECT in = NonClientInsets(w->style, FALSE, w->exStyle);
    int x = clientLeft - in.left, y = clientTop - in.top;
    if (x == w->rect.left && y == w->rect.top) return;
    PlaceWindow(hwnd, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void HostResizedWindow(HWND hwnd, int clientWidth, int clientHeight) {
    Window* w = FromHandle(hwnd);
    if (!w) return;
    RECT client = ClientRectOnScreen(hwnd);
    if (client.right - client.left == clientWidth && client.bottom - client.top == clientHeight) return;
    RECT in = NonClientInsets(w->style, FALSE, w->exStyle);
    PlaceWindow(hwnd, 0, 0, clientWidth + in.left + in.right, clientHeight + in.top + in.bottom,
                SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE MinimumClientSize(HWND hwnd) {
    Window* w = FromHandle(hwnd);
    if (!w || !HasTrackingLimits(*w)) return SIZE{0, 0};
    MINMAXINFO mmi = QueryMinMax(hwnd);
    if (!(w = FromHandle(hwnd))) return SIZE{0, 0};
    RECT in = NonClientInsets(w->style, FALSE, w->exStyle);
    return SIZE{std::max<LONG>(0, mmi.ptMinTrackSize.x - in.left - in.right),
                std::max<LONG>(0, mmi.ptMinTrackSize.y - in.top - in.bottom)};
}

void ResetForTests() {
    for (auto& [key, cls] : WindowTable().classes) host::WithdrawWindowClass(cls.name);
    if (windowHost)
        for (HWND hwnd : TopLevelWindows()) windowHost->WindowDestroyed(hwnd);
    WindowTable() = State{};
    ResetQueueForTests();
    ResetKeyboardForTests();
    ResetCursorsForTests();
}

}  // namespace platform::user

using namespace platform::user;
using platform::TraceCall;

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpwcx) {
    kRegisterClassExA.Trace();
    if (!lpwcx || lpwcx->cbSize != sizeof(WNDCLASSEXA) || !lpwcx->lpszClassName || !lpwcx->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD error;
    if (kRegisterClassExA.Fails(error)) {
        SetLastError(error);
        return 0;
    }
    return platform::FailWithoutMemory<ATOM>(0, ERROR_NOT_ENOUGH_MEMORY, [&]() -> ATOM {
        std::string key = Lower(lpwcx->lpszClassName);
        if (WindowTable().classes.count(key)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
        WindowClass cls;
        cls.desc = *lpwcx;
        cls.name = lpwcx->lpszClassName;
        cls.desc.lpszClassName = nullptr;
        cls.desc.lpszMenuName = nullptr;
        WindowTable().classes.emplace(key, cls);
        return static_cast<ATOM>(0xC000 + WindowTable().classes.size());
    });
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
    if (!lpClassName) return FALSE;
    return WindowTable().classes.erase(Lower(lpClassName)) ? TRUE : FALSE;
}

namespace {
HWND MakeWindow(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int& X, int& Y, int& nWidth,
                int& nHeight, HINSTANCE hInstance);
HWND Announce(HWND hwnd, DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
              int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam);
}  // namespace

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
    kCreateWindowExA.Trace();
    if (!lpClassName) return nullptr;
    DWORD error;
    if (kCreateWindowExA.Fails(error)) {
        SetLastError(error);
        return nullptr;
    }
    HWND hwnd = platform::FailWithoutMemory<HWND>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&]() -> HWND {
        return MakeWindow(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight, hInstance);
    });
    if (!hwnd) return nullptr;
    try {
        return Announce(hwnd, dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight, hWndParent, hMenu,
                        hInstance, lpParam);
    } catch (const std::bad_alloc&) {
        // Gone as if its WM_NCCREATE had refused it.
        if (Window* w = FromHandle(hwnd)) {
            if (windowHost) windowHost->WindowDestroyed(hwnd);
            w->destroyed = true;
        }
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

namespace {

// The window's record, in the table; throws std::bad_alloc with nothing
// kept when memory runs out.
HWND MakeWindow(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int& X, int& Y, int& nWidth,
                int& nHeight, HINSTANCE hInstance) {
    auto it = WindowTable().classes.find(Lower(lpClassName));
    if (it == WindowTable().classes.end()) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    auto window = std::make_unique<Window>();
    window->className = it->second.name;
    window->title = lpWindowName ? lpWindowName : "";
    window->proc = it->second.desc.lpfnWndProc;
    window->instance = hInstance;
    window->classCursor = it->second.desc.hCursor;
    window->classIcon = it->second.desc.hIcon;
    window->classStyle = it->second.desc.style;
    window->style = dwStyle & ~static_cast<DWORD>(WS_VISIBLE);
    window->exStyle = dwExStyle;
    // CW_USEDEFAULT places the window at the emulated shell's first cascade
    // position with its default size.
    if (X == CW_USEDEFAULT) X = 0, Y = 0;
    if (nWidth == CW_USEDEFAULT) nWidth = 640, nHeight = 480;
    window->rect = RECT{X, Y, X + nWidth, Y + nHeight};
    WindowTable().windows.push_back(std::move(window));
    return ToHandle(WindowTable().windows.size() - 1);
}

// The host and the window procedure learn of the new window, as Windows
// tells them.
HWND Announce(HWND hwnd, DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
              int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
    if (windowHost && !windowHost->WindowCreated(hwnd)) {
        FromHandle(hwnd)->destroyed = true;
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    int cx = nWidth, cy = nHeight;
    if (HasTrackingLimits(*FromHandle(hwnd))) {
        ClampToTracking(hwnd, cx, cy);
        if (Window* w = FromHandle(hwnd)) w->rect = RECT{X, Y, X + cx, Y + cy};
    }
    CREATESTRUCTA create{lpParam, hInstance, hMenu,         hWndParent,   cy,          cx,
                         Y,       X,         LONG(dwStyle), lpWindowName, lpClassName, dwExStyle};
    auto param = reinterpret_cast<LPARAM>(&create);
    // The window procedure may destroy the window from either message (a
    // WM_GETMINMAXINFO before them too): Windows then answers NULL.
    if (!FromHandle(hwnd)) return nullptr;
    if (!SendMessageA(hwnd, WM_NCCREATE, 0, param)) {
        if (Window* w = FromHandle(hwnd)) {
            if (windowHost) windowHost->WindowDestroyed(hwnd);
            w->destroyed = true;
        }
        return nullptr;
    }
    if (!FromHandle(hwnd)) return nullptr;
    if (SendMessageA(hwnd, WM_CREATE, 0, param) == -1) {
        if (FromHandle(hwnd)) DestroyWindow(hwnd);
        return nullptr;
    }
    if (!FromHandle(hwnd)) return nullptr;
    host::PublishWindowClass(FromHandle(hwnd)->className);
    RECT client = ClientRectOnScreen(hwnd);
    SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right - client.left, client.bottom - client.top));
    SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
    if (dwStyle & WS_VISIBLE)
        ShowWindow(hwnd, SW_SHOW);
    else
        NotifyChanged(hwnd);
    return FromHandle(hwnd) ? hwnd : nullptr;
}

}  // namespace

BOOL WINAPI DestroyWindow(HWND hWnd) {
    TraceCall("DestroyWindow");
    Window* w = FromHandle(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
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
        if (windowHost) windowHost->WindowDestroyed(hWnd);
        w->destroyed = true;
        bool stillOwned = false;
        for (HWND other : TopLevelWindows())
            if (Lower(FromHandle(other)->className) == Lower(cls)) stillOwned = true;
        if (!stillOwned) host::WithdrawWindowClass(cls);
    }
    if (WindowTable().focus == hWnd) WindowTable().focus = nullptr;
    DiscardMessagesFor(hWnd);
    if (TopLevelWindows().empty()) WindowTable().active = false;
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) { return FromHandle(hWnd) ? TRUE : FALSE; }

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* w = FromHandle(hWnd);
    switch (Msg) {
        case WM_NCCREATE: return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hWnd, &ps);
            EndPaint(hWnd, &ps);
            return 0;
        }
        case WM_CLOSE: DestroyWindow(hWnd); return 0;
        case WM_WINDOWPOSCHANGING: {
            auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            if (w && pos && !(pos->flags & SWP_NOSIZE) && HasTrackingLimits(*w))
                ClampToTracking(hWnd, pos->cx, pos->cy);
            return 0;
        }
        case WM_WINDOWPOSCHANGED: {
            auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
            if (!w || !pos) return 0;
            RECT client = ClientRectOnScreen(hWnd);
            if (!(pos->flags & kNoClientSize))
                SendMessageA(hWnd, WM_SIZE, SIZE_RESTORED,
                             MAKELPARAM(client.right - client.left, client.bottom - client.top));
            if (!(pos->flags & kNoClientMove)) SendMessageA(hWnd, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
            return 0;
        }
        case WM_SETCURSOR:
            // Over the client area the class cursor comes back.
            if (w && LOWORD(lParam) == HTCLIENT) {
                SetCursor(w->classCursor);
                return TRUE;
            }
            return FALSE;
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4) SendMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hWnd, WM_CLOSE, 0, 0);
            return 0;
        case WM_ERASEBKGND:  // none of our classes has a background brush
        case WM_SYSKEYUP:
        case WM_GETMINMAXINFO:
        default: return 0;
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
    if (lpClassName && !lpWindowName && host::ForeignWindowExists(lpClassName)) return ForeignWindowHandle(lpClassName);
    return nullptr;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
    TraceCall("SetForegroundWindow");
    if (FromHandle(hWnd)) {
        if (windowHost) windowHost->WindowRaised(hWnd);
        SetApplicationActive(true);
        return TRUE;
    }
    if (const char* cls = ForeignWindowClass(hWnd)) return host::RaiseForeignWindow(cls) ? TRUE : FALSE;
    return FALSE;
}

HWND WINAPI GetForegroundWindow(void) {
    if (!WindowTable().active) return nullptr;
    auto windows = TopLevelWindows();
    return windows.empty() ? nullptr : windows.front();
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* w = FromHandle(hWnd);
    if (!w || !w->proc) return 0;
    NoteSentMessage();
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
        if (show)
            w->style |= WS_VISIBLE;
        else
            w->style &= ~static_cast<DWORD>(WS_VISIBLE);
        SendMessageA(hWnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        if (show) RequestPaint(hWnd);
        NotifyChanged(hWnd);
    }
    // The program's first window comes up in front, as one started from the
    // shell does.
    if (show && nCmdShow != SW_SHOWMINIMIZED && nCmdShow != SW_MINIMIZE && !WindowTable().active)
        SetForegroundWindow(hWnd);
    return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
    if (!FromHandle(hWnd)) return FALSE;
    // A pending repaint is sent at once instead of waiting in the queue.
    if (NeedsPaint(hWnd)) SendMessageA(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}

HWND WINAPI SetFocus(HWND hWnd) {
    HWND previous = FromHandle(WindowTable().focus) ? WindowTable().focus : nullptr;
    if (hWnd && !FromHandle(hWnd)) return nullptr;
    WindowTable().focus = hWnd;
    if (hWnd && hWnd != previous && windowHost) windowHost->WindowRaised(hWnd);
    return previous;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags) {
    TraceCall("SetWindowPos");
    if (!FromHandle(hWnd)) return FALSE;
    return platform::FailWithoutMemory<BOOL>(FALSE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        PlaceWindow(hWnd, X, Y, cx, cy, uFlags);
        if (uFlags & SWP_SHOWWINDOW) ShowWindow(hWnd, SW_SHOW);
        if (uFlags & SWP_HIDEWINDOW) ShowWindow(hWnd, SW_HIDE);
        NotifyChanged(hWnd);
        return TRUE;
    });
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
    Window* w = FromHandle(hWnd);
    if (!w) return 0;
    switch (nIndex) {
        case GWL_STYLE: return static_cast<LONG>(w->style);
        case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
        case GWL_USERDATA: return w->userData;
        case GWL_WNDPROC: return 0;  // a 32-bit LONG cannot hold a host pointer
        case GWL_HINSTANCE: return 0;
        default: return 0;
    }
}

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
    Window* w = FromHandle(hWnd);
    if (!w) return 0;
    LONG old = GetWindowLongA(hWnd, nIndex);
    switch (nIndex) {
        case GWL_STYLE: {
            // WS_VISIBLE follows the window's real state; the frame takes the
            // new style at the next SetWindowPos with SWP_FRAMECHANGED, but
            // the client rectangle is measured with it at once, as on Windows.
            DWORD visible = w->style & WS_VISIBLE;
            w->style = (static_cast<DWORD>(dwNewLong) & ~static_cast<DWORD>(WS_VISIBLE)) | visible;
            break;
        }
        case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(dwNewLong); break;
        case GWL_USERDATA: w->userData = dwNewLong; return old;
        default: return 0;
    }
    NotifyChanged(hWnd);
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

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT*, BOOL bErase) {
    if (!FromHandle(hWnd)) return FALSE;
    // The background is erased only when some invalidation asked for it.
    RequestPaint(hWnd, bErase != FALSE);
    return TRUE;
}
