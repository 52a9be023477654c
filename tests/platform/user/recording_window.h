// A window class that records every message its windows receive, and a
// fixture around it, through the Windows API alone: shared by the tests of
// USER32's windows over the stand-in and those that also run over Wine.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

namespace usertest {

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
inline std::vector<Seen> seen;
inline POINT minTrack{0, 0};  // answered to WM_GETMINMAXINFO when set
inline bool paintValidates = true;

inline LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(Seen{message, wParam, lParam});
    if (message == WM_GETMINMAXINFO && minTrack.x) {
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = minTrack;
        return 0;
    }
    if (message == WM_PAINT && !paintValidates) return 0;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

inline std::vector<UINT> Messages() {
    std::vector<UINT> out;
    for (const Seen& s : seen) out.push_back(s.message);
    return out;
}

inline const Seen* Last(UINT message) {
    for (auto it = seen.rbegin(); it != seen.rend(); ++it)
        if (it->message == message) return &*it;
    return nullptr;
}

class RecordingWindows : public ::testing::Test {
protected:
    HWND hwnd = nullptr;
    ATOM classAtom = 0;

    void SetUp() override {
        seen.clear();
        minTrack = POINT{0, 0};
        paintValidates = true;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = RecordingProc;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = "UserTest";
        wc.hInstance = GetModuleHandleA(nullptr);
        classAtom = RegisterClassExA(&wc);  // 0: already there from an earlier test
    }

    // Every test of one program shares a process on Windows.
    void TearDown() override {
        if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
        hwnd = nullptr;
    }

    HWND Create(DWORD style, DWORD exStyle, int x, int y, int w, int h) {
        hwnd = CreateWindowExA(exStyle, "UserTest", "user test", style, x, y, w, h, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
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

}  // namespace usertest
