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
#include "tests/platform/user/recording_window.h"

namespace {

using namespace usertest;

class UserWindows : public RecordingWindows {
protected:
    void SetUp() override {
        headless::Reset();
        RecordingWindows::SetUp();
        ASSERT_NE(classAtom, 0);  // a fresh stand-in has no classes yet
    }
    void TearDown() override {
        RecordingWindows::TearDown();
        headless::Reset();
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

// The stand-in's exact message sequences, which Windows does not document:
// Wine puts WM_NCCALCSIZE and WM_MOVE before WM_SIZE, and posts Alt+F4's
// system command.
TEST_F(UserWindows, SizingSendsItsMessagesInTheStandInsOrder) {
    Create(WS_POPUP | WS_OVERLAPPEDWINDOW, WS_EX_CLIENTEDGE, 10, 20, 700, 600);
    minTrack = POINT{650, 509};
    seen.clear();
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 190, 133, 649, 508, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED));
    // Changing, the limits, changed, then what changed of the client area.
    std::vector<UINT> expected{WM_WINDOWPOSCHANGING, WM_GETMINMAXINFO, WM_WINDOWPOSCHANGED, WM_SIZE, WM_MOVE};
    EXPECT_EQ(Messages(), expected);
}

TEST_F(UserWindows, AltF4ClosesAtOnceThroughTheSystemMenu) {
    Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 0, 300, 200);
    seen.clear();
    SendMessageA(hwnd, WM_SYSKEYDOWN, VK_F4, 0x203E0001);
    std::vector<UINT> expected{WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE, WM_SHOWWINDOW, WM_DESTROY, WM_NCDESTROY};
    EXPECT_EQ(Messages(), expected);
    EXPECT_FALSE(IsWindow(hwnd));
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

// WaitMessage sleeps through what was sent before it began, and ends once a
// message is sent to a window while it waits (QS_SENDMESSAGE), as the
// activation a host reports is.
TEST_F(UserWindows, WaitMessageEndsWhenAMessageIsSentDuringTheWait) {
    Create(WS_OVERLAPPEDWINDOW, 0, 0, 0, 300, 200);
    SendMessageA(hwnd, WM_USER, 0, 0);
    int idles = 0;
    headless::SetIdleHook([&](std::uint32_t) {
        if (++idles == 5) platform::user::SetApplicationActive(!platform::user::ApplicationActive());
        if (idles == 50) PostMessageA(hwnd, WM_USER, 0, 0);  // ends a wait that went on
    });
    EXPECT_TRUE(WaitMessage());
    EXPECT_EQ(idles, 5);
    headless::SetIdleHook({});
}

TEST_F(UserWindows, IconsNameTheirResource) {
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(116));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(platform::user::IconResourceId(icon), 116);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(116)), icon);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999)), nullptr);
    EXPECT_EQ(platform::user::IconResourceId(LoadIconA(nullptr, IDI_APPLICATION)), -1);
}

LRESULT CALLBACK DestroyedBySizing(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE) DestroyWindow(hwnd);
    return DefWindowProcA(hwnd, message, wParam, lParam);
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

    // A window its procedure destroys as creation sizes it is no window to
    // hand back: the stand-in answers NULL rather than a dead handle.
    wc.lpfnWndProc = DestroyedBySizing;
    wc.lpszClassName = "Sizing";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    EXPECT_EQ(CreateWindowExA(0, "Sizing", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
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

}  // namespace
