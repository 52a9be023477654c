// USER32's windows and messages through the Windows API alone: sizes and
// tracking limits, painting, Alt+F4, posting from other threads. The same
// tests run over the stand-in and, cross-compiled, over Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/user/recording_window.h"

namespace {

using namespace usertest;

class WindowConformance : public RecordingWindows {};

TEST_F(WindowConformance, SizingHoldsASizableWindowToItsTrackingLimits) {
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
    ASSERT_NE(Last(WM_GETMINMAXINFO), nullptr);
    ASSERT_NE(Last(WM_SIZE), nullptr);
    ASSERT_NE(Last(WM_MOVE), nullptr);
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

TEST_F(WindowConformance, APopupWithoutSizingFrameIsNotHeld) {
    Create(WS_POPUP, 0, 0, 0, 50, 10);
    RECT w;
    GetWindowRect(hwnd, &w);
    EXPECT_EQ(w.right, 50);
    EXPECT_EQ(w.bottom, 10);
    EXPECT_EQ(Last(WM_GETMINMAXINFO), nullptr);
}

TEST_F(WindowConformance, PaintIsPendingUntilBeginPaintAndUpdateWindowSendsItAtOnce) {
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

    // The background goes first only when an invalidation asked for it.
    paintValidates = true;
    InvalidateRect(hwnd, nullptr, FALSE);
    seen.clear();
    UpdateWindow(hwnd);
    EXPECT_EQ(Messages(), std::vector<UINT>{WM_PAINT}) << "sent, not queued";
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD));
    InvalidateRect(hwnd, nullptr, TRUE);
    InvalidateRect(hwnd, nullptr, FALSE);
    seen.clear();
    UpdateWindow(hwnd);
    std::vector<UINT> expected{WM_PAINT, WM_ERASEBKGND};
    EXPECT_EQ(Messages(), expected);
    seen.clear();
    UpdateWindow(hwnd);
    EXPECT_TRUE(seen.empty()) << "nothing to repaint";
}

TEST_F(WindowConformance, AltF4AndTheCloseBoxCloseThroughTheSystemMenu) {
    Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 0, 300, 200);
    seen.clear();
    SendMessageA(hwnd, WM_SYSKEYDOWN, VK_F4, 0x203E0001);
    Drain();  // the system command may come through the queue
    EXPECT_FALSE(IsWindow(hwnd));
    // In this order, whatever else comes between.
    std::vector<UINT> order{WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY};
    std::vector<UINT> got = Messages();
    auto at = got.begin();
    for (UINT m : order) {
        at = std::find(at, got.end(), m);
        EXPECT_NE(at, got.end()) << "message " << m;
    }
}

// Creation hands the caller's parameter to both creation messages in a
// CREATESTRUCT, and a window its procedure destroys there comes back NULL.
// The record's strings belong to the call and may be gone once it returns
// (Wine hands the procedure a copy), so the name is kept as it was seen.
UINT destroyIn = 0;
struct SeenCreate {
    CREATESTRUCTA record;
    std::string name;
};
std::vector<SeenCreate> creates;
LRESULT CALLBACK DestroyingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE || message == WM_CREATE) {
        const CREATESTRUCTA& c = *reinterpret_cast<CREATESTRUCTA*>(lParam);
        creates.push_back({c, c.lpszName ? c.lpszName : ""});
        if (message == destroyIn) DestroyWindow(hwnd);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(WindowConformance, CreationPassesItsParameterAndSurvivesADestroyedWindow) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DestroyingProc;
    wc.lpszClassName = "Destroying";
    wc.hInstance = GetModuleHandleA(nullptr);
    RegisterClassExA(&wc);
    int param = 0;
    for (UINT message : {0u, UINT(WM_NCCREATE), UINT(WM_CREATE)}) {
        SCOPED_TRACE(message);
        destroyIn = message;
        creates.clear();
        HWND h = CreateWindowExA(WS_EX_APPWINDOW, "Destroying", "d", WS_POPUP, 5, 6, 70, 80, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), &param);
        ASSERT_FALSE(creates.empty());
        for (const SeenCreate& seen : creates) {
            EXPECT_EQ(seen.record.lpCreateParams, &param);
            EXPECT_EQ(seen.record.x, 5);
            EXPECT_EQ(seen.record.cy, 80);
            EXPECT_EQ(seen.record.dwExStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
            EXPECT_EQ(seen.name, "d");
        }
        if (message == 0) {
            EXPECT_NE(h, nullptr);
            DestroyWindow(h);
        } else {
            EXPECT_EQ(h, nullptr);
            EXPECT_EQ(creates.size(), message == WM_NCCREATE ? 1u : 2u);
        }
    }
}

TEST_F(WindowConformance, OtherThreadsMayPost) {
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
