// A main window and a clean display for the graphics tests: the window
// procedure keeps the client position and size in the shell state as the
// game's does, so the present finds them.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "game/field.h"
#include "graphics/display.h"
#include "graphics/draw.h"
#include "graphics/image.h"
#include "platform/host/headless/headless.h"
#include "platform/host/headless/headless_video.h"
#include "platform/trace/trace.h"
#include "shell/shell.h"

inline LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOVE:
            shell.windowX = static_cast<SHORT>(LOWORD(lParam));
            shell.windowY = static_cast<SHORT>(HIWORD(lParam));
            return 0;
        case WM_SIZE:
            shell.clientWidth = LOWORD(lParam);
            shell.clientHeight = HIWORD(lParam);
            return 0;
        default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        std::memset(&shell, 0, sizeof(shell));
        std::memset(&launchOptions, 0, sizeof(launchOptions));
        std::memset(&display, 0, sizeof(display));
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = TestWindowProc;
        wc.lpszClassName = "GraphicsTest";
        RegisterClassExA(&wc);
        shell.mainWindow = CreateWindowExA(0, "GraphicsTest", "test", WS_POPUP | WS_VISIBLE, 100, 50, 640, 480, nullptr,
                                           nullptr, nullptr, nullptr);
        ASSERT_NE(shell.mainWindow, nullptr);
        platform::SetTracing(true);
    }

    void TearDown() override {
        ReleaseDisplay(1);
        // The game's surfaces went with the DirectDraw object.
        ClearSheetState();
        DropWellImage();
        platform::SetTracing(false);
        headless::Reset();
    }

    // The client area at (x, y) with the given size (a popup has no frame).
    void PlaceClient(int x, int y, int width, int height) {
        SetWindowPos(shell.mainWindow, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void Create(bool fullScreen) {
        launchOptions.fullScreen = fullScreen ? 1 : 0;
        ASSERT_EQ(CreateDisplay(), 1) << "set-up code " << displaySetupCode;
        platform::ClearTrace();
    }

    static int Count(const std::string& call) {
        auto calls = platform::TracedCalls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }

    static void Fail(const char* call, HRESULT code, int skip = 0, int every = 0) {
        platform::ArmFault(platform::FaultPlan{call, code, skip, every});
    }

    // Pixel access through a lock, for checking what the operations drew.
    static BYTE Pixel(LPDIRECTDRAWSURFACE s, int x, int y) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        if (s->Lock(nullptr, &d, DDLOCK_READONLY, nullptr) != DD_OK) return 0xEE;
        BYTE v = static_cast<BYTE*>(d.lpSurface)[y * d.lPitch + x];
        s->Unlock(nullptr);
        return v;
    }
    static void SetPixelIndex(LPDIRECTDRAWSURFACE s, int x, int y, BYTE v) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        ASSERT_EQ(s->Lock(nullptr, &d, 0, nullptr), DD_OK);
        static_cast<BYTE*>(d.lpSurface)[y * d.lPitch + x] = v;
        s->Unlock(nullptr);
    }
};
