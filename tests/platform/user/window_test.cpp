// Windows and their messages as USER32 sends them for the calls the game
// makes: sizes and tracking limits, painting, the cursor, system keys, the
// host's moves and resizes, message boxes and posting from other threads.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/host/headless/headless.h"
#include "platform/trace/trace.h"
#include "platform/user/queue.h"
#include "platform/user/user_internal.h"

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> seen;
POINT minTrack{0, 0};  // answered to WM_GETMINMAXINFO when set
bool paintValidates = true;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(Seen{message, wParam, lParam});
    if (message == WM_GETMINMAXINFO && minTrack.x) {
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = minTrack;
        return 0;
    }
    if (message == WM_PAINT && !paintValidates) return 0;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

std::vector<UINT> Messages() {
    std::vector<UINT> out;
    for (const Seen& s : seen) out.push_back(s.message);
    return out;
}

const Seen* Last(UINT message) {
    for (auto it = seen.rbegin(); it != seen.rend(); ++it)
        if (it->message == message) return &*it;
    return nullptr;
}

class UserWindows : public ::testing::Test {
protected:
    HWND hwnd = nullptr;

    void SetUp() override {
        headless::Reset();
        seen.clear();
        minTrack = POINT{0, 0};
        paintValidates = true;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = RecordingProc;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = "UserTest";
        ASSERT_NE(RegisterClassExA(&wc), 0);
    }

    void TearDown() override { headless::Reset(); }

    HWND Create(DWORD style, DWORD exStyle, int x, int y, int w, int h) {
        hwnd = CreateWindowExA(exStyle, "UserTest", "user test", style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(hwnd, nullptr);
        return hwnd;
    }

    // Takes every message waiting for the window, WM_PAINT included.
    void Drain() {
        MSG msg;
        for (int guard = 0; guard < 100 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD); ++guard)
            if (msg.message != WM_QUIT) DispatchMessageA(&msg);
    }
};

TEST_F(UserWindows, MetricsAreWindows95sAtTheDesktopsSize) {
    headless::SetDesktop(host::DesktopMode{800, 600, 8});
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXFRAME), 4);
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 19);
    EXPECT_EQ(GetSystemMetrics(SM_CYMENU), 19);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), 16);
    // The window the game asks for: overlapped, client edge, a menu.
    RECT r{0, 0, 643, 502};
    ASSERT_TRUE(
        AdjustWindowRectEx(&r, WS_POPUP | WS_VISIBLE | WS_OVERLAPPEDWINDOW, TRUE, WS_EX_APPWINDOW | WS_EX_CLIENTEDGE));
    EXPECT_EQ(r.left, -6);
    EXPECT_EQ(r.top, -44);
    EXPECT_EQ(r.right, 649);
    EXPECT_EQ(r.bottom, 508);
}

TEST_F(UserWindows, SizingHoldsASizableWindowToItsTrackingLimits) {
    Create(WS_POPUP | WS_OVERLAPPEDWINDOW, WS_EX_CLIENTEDGE, 10, 20, 700, 600);
    minTrack = POINT{650, 509};
    seen.clear();
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 190, 133, 649, 508, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED));
    RECT w;
    GetWindowRect(hwnd, &w);
    EXPECT_EQ(w.left, 190);
    EXPECT_EQ(w.top, 133);
    EXPECT_EQ(w.right - w.left, 650) << "held to the minimum tracking width";
    EXPECT_EQ(w.bottom - w.top, 509);
    // Changing, the limits, changed, then what changed of the client area.
    std::vector<UINT> expected{WM_WINDOWPOSCHANGING, WM_GETMINMAXINFO, WM_WINDOWPOSCHANGED, WM_SIZE, WM_MOVE};
    EXPECT_EQ(Messages(), expected);
    EXPECT_EQ(Last(WM_SIZE)->lParam, MAKELPARAM(638, 478));
    EXPECT_EQ(Last(WM_MOVE)->lParam, MAKELPARAM(196, 158));

    // A move alone sends no WM_SIZE; a frame change alone neither.
    seen.clear();
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(Last(WM_SIZE), nullptr);
    ASSERT_NE(Last(WM_MOVE), nullptr);
    EXPECT_EQ(Last(WM_MOVE)->lParam, MAKELPARAM(6, 25));
    seen.clear();
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED);
    EXPECT_EQ(Last(WM_SIZE), nullptr);
    EXPECT_EQ(Last(WM_MOVE), nullptr);
}

TEST_F(UserWindows, APopupWithoutSizingFrameIsNotHeld) {
    Create(WS_POPUP, 0, 0, 0, 50, 10);
    RECT w;
    GetWindowRect(hwnd, &w);
    EXPECT_EQ(w.right, 50);
    EXPECT_EQ(w.bottom, 10);
    EXPECT_EQ(Last(WM_GETMINMAXINFO), nullptr);
}

TEST_F(UserWindows, PaintIsPendingUntilBeginPaintAndUpdateWindowSendsItAtOnce) {
    Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 0, 300, 200);
    paintValidates = false;
    seen.clear();
    MSG msg;
    // A window that does not validate gets WM_PAINT again and again.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD));
    EXPECT_EQ(msg.message, WM_PAINT);
    DispatchMessageA(&msg);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD));
    EXPECT_EQ(msg.message, WM_PAINT);

    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    EXPECT_NE(dc, nullptr);
    EXPECT_EQ(ps.hdc, dc);
    EXPECT_EQ(ps.rcPaint.right, 300 - 8);  // the client area: no client edge here
    EXPECT_EQ(ps.rcPaint.bottom, 200 - 8 - 19);
    EXPECT_TRUE(EndPaint(hwnd, &ps));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD));

    paintValidates = true;
    InvalidateRect(hwnd, nullptr, FALSE);
    seen.clear();
    UpdateWindow(hwnd);
    std::vector<UINT> expected{WM_PAINT, WM_ERASEBKGND};
    EXPECT_EQ(Messages(), expected) << "sent, not queued";
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD));
    seen.clear();
    UpdateWindow(hwnd);
    EXPECT_TRUE(seen.empty()) << "nothing to repaint";
}

TEST_F(UserWindows, TheClassCursorComesBackOverTheClientArea) {
    Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 0, 300, 200);
    SetCursor(nullptr);
    EXPECT_FALSE(platform::user::CursorShown());
    EXPECT_TRUE(SendMessageA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_TRUE(platform::user::CursorShown());
    EXPECT_EQ(platform::user::CurrentCursor(), LoadCursorA(nullptr, IDC_ARROW));
    // ShowCursor counts: hidden below zero whatever the cursor.
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_FALSE(platform::user::CursorShown());
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_TRUE(platform::user::CursorShown());
}

TEST_F(UserWindows, AltF4AndTheCloseBoxCloseThroughTheSystemMenu) {
    Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 0, 300, 200);
    seen.clear();
    SendMessageA(hwnd, WM_SYSKEYDOWN, VK_F4, 0x203E0001);
    std::vector<UINT> expected{WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE, WM_SHOWWINDOW, WM_DESTROY, WM_NCDESTROY};
    EXPECT_EQ(Messages(), expected);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(UserWindows, TheHostsMovesAndResizesReachTheWindow) {
    Create(WS_POPUP | WS_OVERLAPPEDWINDOW | WS_VISIBLE, WS_EX_CLIENTEDGE, 100, 100, 400, 300);
    Drain();
    seen.clear();
    platform::user::HostResizedWindow(hwnd, 800, 600);
    ASSERT_NE(Last(WM_SIZE), nullptr);
    EXPECT_EQ(Last(WM_SIZE)->lParam, MAKELPARAM(800, 600));
    EXPECT_EQ(Last(WM_MOVE), nullptr);
    EXPECT_TRUE(platform::user::NeedsPaint(hwnd)) << "a resized window repaints";
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);

    seen.clear();
    platform::user::HostMovedWindow(hwnd, 50, 60);
    EXPECT_EQ(Last(WM_SIZE), nullptr);
    ASSERT_NE(Last(WM_MOVE), nullptr);
    EXPECT_EQ(Last(WM_MOVE)->lParam, MAKELPARAM(50, 60));
    RECT onScreen = platform::user::ClientRectOnScreen(hwnd);
    EXPECT_EQ(onScreen.left, 50);
    EXPECT_EQ(onScreen.top, 60);

    seen.clear();
    platform::user::HostMovedWindow(hwnd, 50, 60);
    platform::user::HostResizedWindow(hwnd, 800, 600);
    EXPECT_TRUE(seen.empty()) << "no news, no messages";

    // The smallest client area the window accepts follows its limits.
    minTrack = POINT{650, 509};
    SIZE smallest = platform::user::MinimumClientSize(hwnd);
    EXPECT_EQ(smallest.cx, 650 - 12);
    EXPECT_EQ(smallest.cy, 509 - 31);
}

TEST_F(UserWindows, ActivationGoesToEveryWindowOnce) {
    Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 0, 300, 200);
    EXPECT_TRUE(platform::user::ApplicationActive()) << "a program's first window comes up active";
    seen.clear();
    platform::user::SetApplicationActive(false);
    platform::user::SetApplicationActive(false);
    EXPECT_EQ(Messages(), std::vector<UINT>{WM_ACTIVATEAPP});
    EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(FALSE));
    SetForegroundWindow(hwnd);
    EXPECT_EQ(Last(WM_ACTIVATEAPP)->wParam, static_cast<WPARAM>(TRUE));
}

TEST_F(UserWindows, IconsNameTheirResource) {
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(116));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(platform::user::IconResourceId(icon), 116);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(116)), icon);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999)), nullptr);
    EXPECT_EQ(platform::user::IconResourceId(LoadIconA(nullptr, IDI_APPLICATION)), -1);
}

TEST_F(UserWindows, CreationAndRegistrationCanBeMadeToFail) {
    platform::ArmFault({"CreateWindowExA", 8});
    EXPECT_EQ(CreateWindowExA(0, "UserTest", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), 8u);
    platform::ArmFault({"RegisterClassExA", 8});
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "Other";
    EXPECT_EQ(RegisterClassExA(&wc), 0);
    EXPECT_NE(RegisterClassExA(&wc), 0) << "the fault was armed for one call";
    EXPECT_EQ(RegisterClassExA(&wc), 0) << "a class exists once";
}

TEST_F(UserWindows, MessageBoxesReachTheHostInUtf8) {
    // "エラー" in code page 932, and the box's own caption when none is given.
    EXPECT_EQ(MessageBoxA(nullptr, "\x83\x47\x83\x89\x81\x5B", nullptr, MB_ICONHAND | MB_TOPMOST), IDOK);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "エラー");
    EXPECT_EQ(headless::MessageBoxes()[0].caption, "Error");
    EXPECT_EQ(headless::MessageBoxes()[0].type, static_cast<unsigned>(MB_ICONHAND | MB_TOPMOST));
    MessageBoxA(nullptr, nullptr, "\xB1", MB_OK);
    EXPECT_EQ(headless::MessageBoxes()[1].text, "");
    EXPECT_EQ(headless::MessageBoxes()[1].caption, "ｱ");
}

TEST_F(UserWindows, WideMessageBoxesReachTheHostInUtf8Too) {
    const WCHAR text[] = {0x30A8, 0x30E9, 0xD83D, 0xDE00, 0xD800, 0x0041, 0};  // a lone surrogate too
    const WCHAR caption[] = {0xFF71, 0};
    EXPECT_EQ(MessageBoxW(nullptr, text, caption, MB_ICONHAND), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, MB_OK), IDOK);
    ASSERT_EQ(headless::MessageBoxes().size(), 2u);
    EXPECT_EQ(headless::MessageBoxes()[0].text,
              "エラ\xF0\x9F\x98\x80\xEF\xBF\xBD"
              "A");
    EXPECT_EQ(headless::MessageBoxes()[0].caption, "ｱ");
    EXPECT_EQ(headless::MessageBoxes()[0].type, static_cast<unsigned>(MB_ICONHAND));
    EXPECT_EQ(headless::MessageBoxes()[1].text, "");
    EXPECT_EQ(headless::MessageBoxes()[1].caption, "Error");
}

TEST_F(UserWindows, OtherThreadsMayPost) {
    Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 0, 300, 200);
    Drain();
    seen.clear();
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
        posters.emplace_back([this, t] {
            for (int i = 0; i < 250; ++i) PostMessageA(hwnd, WM_USER + static_cast<UINT>(t), static_cast<WPARAM>(i), 0);
        });
    int received = 0;
    std::vector<int> next(4, 0);
    MSG msg;
    while (received < 1000) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) continue;
        if (msg.message < WM_USER) continue;
        int t = static_cast<int>(msg.message - WM_USER);
        EXPECT_EQ(static_cast<int>(msg.wParam), next[static_cast<std::size_t>(t)]++) << "each thread's posts in order";
        ++received;
    }
    for (auto& p : posters) p.join();
    EXPECT_EQ(received, 1000);
}

}  // namespace
