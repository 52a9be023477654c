// The main window: its creation and failure, the window-mode geometry, the
// display modes and Alt+Enter, Escape, the palette and display messages,
// the cursor and the mouse scaled to the canvas.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "graphics/display.h"
#include "graphics/draw.h"
#include "platform/host/headless/headless_video.h"
#include "platform/host/headless/headless.h"
#include "platform/trace/trace.h"
#include "platform/user/user_internal.h"
#include "platform/video/screen.h"
#include "shell/report.h"
#include "shell/shell.h"
#include "shell/window.h"
#include "tests/support/game_harness.h"

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        harness::ResetAll();
        shell.instance = GetModuleHandleA(nullptr);
        InitShell();
    }

    void TearDown() override {
        ReleaseDisplay(1);
        harness::ResetAll();
    }

    void Create() {
        ASSERT_TRUE(CreateMainWindow(SW_SHOWNORMAL));
        ASSERT_NE(shell.mainWindow, nullptr);
    }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageA(shell.mainWindow, message, wParam, lParam);
    }

    // Is a message for the main window waiting in the queue?
    bool Posted(UINT message) {
        MSG msg;
        return PeekMessageA(&msg, shell.mainWindow, message, message, PM_NOREMOVE | PM_NOYIELD) != FALSE;
    }

    int Count(const char* call) {
        auto calls = platform::TracedCalls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), std::string(call)));
    }
};

TEST_F(MainWindow, IsCreatedWithItsClassTitleStylesAndTheScreensCapabilities) {
    Create();
    EXPECT_EQ(FindWindowA(TUMBLA_CLASS_NAME, "TUMBLA Version 0.01"), shell.mainWindow);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(shell.mainWindow, GWL_STYLE)),
              static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_OVERLAPPEDWINDOW));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(shell.mainWindow, GWL_EXSTYLE)),
              static_cast<DWORD>(WS_EX_APPWINDOW | WS_EX_CLIENTEDGE));
    EXPECT_EQ(shell.frameWidth, 4);
    EXPECT_EQ(shell.captionHeight, 23) << "caption and frame";
    EXPECT_TRUE(shell.rasterCaps & RC_PALETTE);
    EXPECT_EQ(shell.screenWidth, 1024);
    EXPECT_EQ(shell.screenHeight, 768);
    EXPECT_EQ(shell.appActive, 1);
    EXPECT_EQ(platform::user::IconResourceId(platform::user::FromHandle(shell.mainWindow)->classIcon), 116);
}

TEST_F(MainWindow, FailingToRegisterOrCreateShowsString2AndFails) {
    for (const char* call : {"RegisterClassExA", "CreateWindowExA"}) {
        harness::ResetAll();
        shell.instance = GetModuleHandleA(nullptr);
        platform::ArmFault({call, 8});
        EXPECT_FALSE(CreateMainWindow(SW_SHOWNORMAL)) << call;
        ASSERT_EQ(headless::MessageBoxes().size(), 1u) << call;
        const auto& box = headless::MessageBoxes()[0];
        EXPECT_EQ(box.text, "初期化に失敗しました。\n\n取り扱い説明書を参照して下さい。");
        EXPECT_EQ(box.caption, "TUMBLA Version 0.01");
        EXPECT_EQ(box.type, static_cast<unsigned>(MB_TOPMOST | MB_ICONEXCLAMATION | MB_OK));
    }
    // The whole program: the box, then the end without a frame.
    harness::ResetAll();
    platform::ArmFault({"CreateWindowExA", 8});
    EXPECT_EQ(harness::RunProgram(
                  "", [](std::uint32_t) { return true; }, 100),
              0);
    EXPECT_EQ(shell.frameCounter, 0u);
    EXPECT_EQ(headless::MessageBoxes().size(), 1u);
}

TEST_F(MainWindow, WindowModeCentresAWindowAlmost640By480) {
    Create();
    ASSERT_TRUE(DisplaySetup());
    EXPECT_EQ(launchOptions.fullScreen, 0);
    EXPECT_EQ(launchOptions.displayReady, 1);
    // Asked for 649 x 508 at (190, 133); the window's minimum tracking size
    // (650 x 509) holds it a pixel larger, so the client area is 638 x 478.
    RECT w;
    GetWindowRect(shell.mainWindow, &w);
    EXPECT_EQ(w.left, 190);
    EXPECT_EQ(w.top, 133);
    EXPECT_EQ(w.right - w.left, 650);
    EXPECT_EQ(w.bottom - w.top, 509);
    EXPECT_EQ(shell.clientWidth, 638);
    EXPECT_EQ(shell.clientHeight, 478);
    EXPECT_EQ(shell.windowX, 196);
    EXPECT_EQ(shell.windowY, 158);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(shell.mainWindow, GWL_EXSTYLE)),
              static_cast<DWORD>(WS_EX_APPWINDOW | WS_EX_CLIENTEDGE));

    MINMAXINFO limits{};
    Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, 650);
    EXPECT_EQ(limits.ptMinTrackSize.y, 509);
}

TEST_F(MainWindow, AWindowLargerThanTheScreenOverhangsBothEdgesEqually) {
    headless::SetDesktop(host::DesktopMode{640, 480, 8});
    Create();
    ASSERT_TRUE(DisplaySetup());
    RECT w;
    GetWindowRect(shell.mainWindow, &w);
    EXPECT_EQ(w.left, (640 - 643) / 2);
    EXPECT_EQ(w.top, (480 - 502) / 2);
    EXPECT_LT(w.left, 0);
    EXPECT_LT(w.top, 0);
}

TEST_F(MainWindow, AClientAreaLeftOfOrAboveTheScreenKeepsItsSign) {
    Create();
    ASSERT_TRUE(DisplaySetup());
    SetWindowPos(shell.mainWindow, nullptr, -50, -40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_LT(shell.windowX, 0);
    EXPECT_LT(shell.windowY, 0);
    EXPECT_EQ(shell.windowX, static_cast<LONG>(platform::user::ClientRectOnScreen(shell.mainWindow).left));
    // The part still on the screen shows the canvas.
    ClearSurface(display.canvas, 44);
    PresentFrame();
    EXPECT_EQ(headless::ScreenPixel(100, 100), 44);
}

TEST_F(MainWindow, WithoutA256ColourDesktopItGoesFullScreenAndStaysThere) {
    headless::SetDesktop(host::DesktopMode{1024, 768, 16});
    Create();
    EXPECT_FALSE(shell.rasterCaps & RC_PALETTE);
    EXPECT_FALSE(ToggleScreenMode()) << "before the display: the desktop's own colours say no";
    ASSERT_TRUE(DisplaySetup());
    EXPECT_EQ(launchOptions.fullScreen, 1);
    EXPECT_TRUE(host::InFullScreenMode());
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(shell.mainWindow, GWL_EXSTYLE)), static_cast<DWORD>(WS_EX_TOPMOST));
    // In the 256-colour full-screen mode the screen reads as palette-based,
    // so Alt+Enter goes through; back on the desktop, window mode is
    // refused again and the display comes back full screen.
    EXPECT_EQ(Send(WM_SYSKEYUP, VK_RETURN, 0x201C0001), 0);
    EXPECT_EQ(launchOptions.fullScreen, 1);
    EXPECT_EQ(launchOptions.displayReady, 1);
    EXPECT_TRUE(host::InFullScreenMode());
    EXPECT_EQ(errorFlags, 0u);
}

TEST_F(MainWindow, AltEnterSwitchesBetweenWindowAndFullScreen) {
    Create();
    ASSERT_TRUE(DisplaySetup());
    int creations = Count("DirectDrawCreate");
    // Other system keys (F10, Alt alone, Alt+X) switch nothing.
    for (WPARAM key : {WPARAM{VK_F10}, WPARAM{VK_MENU}, WPARAM{'X'}}) Send(WM_SYSKEYUP, key, 0xC0440001);
    EXPECT_EQ(launchOptions.fullScreen, 0);
    EXPECT_EQ(Count("DirectDrawCreate"), creations) << "no new display";
    EXPECT_EQ(Send(WM_SYSKEYUP, VK_RETURN, 0xE01C0001), 0);
    EXPECT_EQ(launchOptions.fullScreen, 1);
    EXPECT_EQ(launchOptions.displayReady, 1);
    EXPECT_TRUE(host::InFullScreenMode());
    EXPECT_EQ(Count("DirectDrawCreate"), creations + 1) << "a new display for the new mode";

    EXPECT_EQ(Send(WM_SYSKEYUP, VK_RETURN, 0xE01C0001), 0);
    EXPECT_EQ(launchOptions.fullScreen, 0);
    EXPECT_EQ(launchOptions.displayReady, 1);
    EXPECT_FALSE(host::InFullScreenMode());
    EXPECT_EQ(shell.clientWidth, 638);
    EXPECT_EQ(Count("DirectDrawCreate"), creations + 2);
    EXPECT_EQ(errorFlags, 0u);
}

TEST_F(MainWindow, AFailedSwitchRaisesTheDisplayError) {
    Create();
    ASSERT_TRUE(DisplaySetup());
    platform::ArmFault({"DirectDrawCreate", static_cast<std::int32_t>(0x80004005)});
    EXPECT_FALSE(ToggleScreenMode());
    EXPECT_EQ(launchOptions.displayReady, 0);
    EXPECT_TRUE(errorFlags & ERR_DIRECTDRAW);
    EXPECT_EQ(frameState, STATE_ERROR);
}

TEST_F(MainWindow, KeysDoNothingOfTheirOwnBeforeTheDisplayIsReady) {
    Create();
    int creations = Count("DirectDrawCreate");
    Send(WM_SYSKEYUP, VK_RETURN, 0xE01C0001);
    Send(WM_KEYUP, VK_ESCAPE, 0xC0010001);
    EXPECT_EQ(launchOptions.fullScreen, 0);
    EXPECT_EQ(Count("DirectDrawCreate"), creations);
    EXPECT_FALSE(Posted(WM_CLOSE));
}

TEST_F(MainWindow, EscapeClosesOnReleaseAndTheEndFollows) {
    Create();
    ASSERT_TRUE(DisplaySetup());
    frameState = STATE_RUNNING;
    Send(WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_FALSE(Posted(WM_CLOSE)) << "not on the press";
    Send(WM_KEYUP, 'Z', 0xC02C0001);
    EXPECT_FALSE(Posted(WM_CLOSE));
    Send(WM_KEYUP, VK_ESCAPE, 0xC0010001);
    ASSERT_TRUE(Posted(WM_CLOSE));
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD) && msg.message != WM_QUIT) DispatchMessageA(&msg);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_FALSE(IsWindow(shell.mainWindow));
    EXPECT_EQ(frameState, STATE_QUIT);
}

TEST_F(MainWindow, LeavingThe256ColourDesktopMattersOnlyInAWindow) {
    Create();
    ASSERT_TRUE(DisplaySetup());
    frameState = STATE_RUNNING;
    headless::SetDesktop(host::DesktopMode{1024, 768, 24});
    EXPECT_EQ(Send(WM_DISPLAYCHANGE, 24, MAKELPARAM(1024, 768)), 0);
    EXPECT_TRUE(errorFlags & ERR_SCREEN_MODE);
    EXPECT_EQ(frameState, STATE_ERROR);
    EXPECT_EQ(shell.rasterCaps & RC_PALETTE, 0);

    // Full screen: the change is none of the program's business.
    errorFlags = 0;
    frameState = STATE_RUNNING;
    launchOptions.fullScreen = 1;
    Send(WM_SETTINGCHANGE, 0, 0);
    EXPECT_EQ(errorFlags, 0u);
    EXPECT_EQ(frameState, STATE_RUNNING);
}

TEST_F(MainWindow, TheMouseIsReportedInCanvasCoordinates) {
    Create();
    auto move = [&](int x, int y) { Send(WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); };
    Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(637, 477));
    move(636, 476);
    EXPECT_EQ(shell.mouseX, 638) << "640 / 637 x 636 = 638.99..., truncated";
    EXPECT_EQ(shell.mouseY, 478);
    move(0, 0);
    EXPECT_EQ(shell.mouseX, 0);
    EXPECT_EQ(shell.mouseY, 0);
    move(637, 477);
    EXPECT_EQ(shell.mouseX, 639) << "640 and more becomes 639";
    EXPECT_EQ(shell.mouseY, 479);
    move(0xFFFF, 0xFFFF);  // a captured pointer left of and above the window
    EXPECT_EQ(shell.mouseX, 639);
    EXPECT_EQ(shell.mouseY, 479);
    Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(1280, 960));
    move(640, 481);
    EXPECT_EQ(shell.mouseX, 320);
    EXPECT_EQ(shell.mouseY, 240);
    Send(WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
    move(10, 10);
    EXPECT_EQ(shell.mouseX, 0) << "a zero client size gives 0";
    EXPECT_EQ(shell.mouseY, 0);
}

TEST_F(MainWindow, TheCursorHidesOnlyOverTheActiveFullScreenPicture) {
    Create();
    auto setCursor = [&] {
        return Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(shell.mainWindow), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    };
    setCursor();
    EXPECT_TRUE(platform::user::CursorShown()) << "window mode: the class's arrow";
    launchOptions.fullScreen = 1;
    EXPECT_EQ(setCursor(), 1);
    EXPECT_FALSE(platform::user::CursorShown());
    Send(WM_ACTIVATEAPP, FALSE, 0);
    setCursor();
    EXPECT_TRUE(platform::user::CursorShown()) << "inactive: the arrow again";
}

// Behind another program, the desktop's own mode may come back and stay
// (Wine leaves it so): the primary then answers DDERR_WRONGMODE until the
// game's mode is set again, which the game does once each time it is back
// in front, not once a frame.
TEST_F(MainWindow, AFullScreenModeTakenAwayIsSetAgainOncePerActivation) {
    Create();
    launchOptions.fullScreen = 1;
    ASSERT_TRUE(DisplaySetup());
    platform::SetTracing(true);
    auto takeModeAway = [&] {
        Send(WM_ACTIVATEAPP, FALSE, 0);
        platform::video::RestoreDesktopMode();
        ASSERT_EQ(display.primary->IsLost(), DDERR_SURFACELOST);
        ASSERT_EQ(display.primary->Restore(), DDERR_WRONGMODE);
        platform::ClearTrace();
    };
    auto frames = [&](BYTE colour) {
        for (int i = 0; i < 3; ++i) {
            ClearSurface(display.canvas, colour);
            PresentFrame();
        }
    };

    takeModeAway();
    Send(WM_ACTIVATEAPP, TRUE, 0);
    frames(77);
    EXPECT_EQ(Count("IDirectDraw::SetDisplayMode"), 1);
    EXPECT_TRUE(host::InFullScreenMode());
    EXPECT_EQ(display.primary->IsLost(), DD_OK);
    EXPECT_EQ(headless::LastScreen().width, 640);
    EXPECT_EQ(headless::LastScreen().pixels[0], 77) << "the picture is back";

    // Taken away again within the same activation: no second try, the
    // restore keeps failing, nothing spins.
    takeModeAway();
    frames(78);
    EXPECT_EQ(Count("IDirectDraw::SetDisplayMode"), 0);
    EXPECT_EQ(display.primary->IsLost(), DDERR_SURFACELOST);
    // A mode that cannot be set is tried once per activation too.
    platform::ArmFault(platform::FaultPlan{"IDirectDraw::SetDisplayMode", DDERR_GENERIC, 0, 1});
    Send(WM_ACTIVATEAPP, TRUE, 0);
    frames(79);
    EXPECT_EQ(Count("IDirectDraw::SetDisplayMode"), 1);
    platform::ClearFaults();
    Send(WM_ACTIVATEAPP, TRUE, 0);
    frames(80);
    EXPECT_EQ(Count("IDirectDraw::SetDisplayMode"), 2);
    EXPECT_EQ(headless::LastScreen().pixels[0], 80);
}

// Behind another program the game must leave the screen's mode alone, even
// when a palette change there makes it present: only back in front does it
// take its mode back, once.
TEST_F(MainWindow, AFullScreenModeIsNotTakenBackWhileInactive) {
    Create();
    launchOptions.fullScreen = 1;
    ASSERT_TRUE(DisplaySetup());
    platform::SetTracing(true);
    Send(WM_ACTIVATEAPP, FALSE, 0);
    platform::video::RestoreDesktopMode();
    platform::ClearTrace();
    Send(WM_PALETTECHANGED, 0x4242, 0);  // another program's window
    EXPECT_EQ(Count("IDirectDraw::SetDisplayMode"), 0);
    EXPECT_FALSE(host::InFullScreenMode());
    Send(WM_ACTIVATEAPP, TRUE, 0);
    ClearSurface(display.canvas, 5);
    PresentFrame();
    PresentFrame();
    EXPECT_EQ(Count("IDirectDraw::SetDisplayMode"), 1);
    EXPECT_TRUE(host::InFullScreenMode());
}

TEST_F(MainWindow, PaintShowsTheCanvasInAWindowAndBlackOtherwise) {
    Create();
    ASSERT_TRUE(DisplaySetup());
    int shown = headless::ScreensShown();
    int fills = Count("FillRect");
    InvalidateRect(shell.mainWindow, nullptr, FALSE);
    EXPECT_EQ(Send(WM_PAINT), 1);
    EXPECT_GT(headless::ScreensShown(), shown);
    EXPECT_EQ(Count("FillRect"), fills);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, shell.mainWindow, WM_PAINT, WM_PAINT, PM_NOREMOVE | PM_NOYIELD)) << "validated";

    ReleaseDisplay(1);
    InvalidateRect(shell.mainWindow, nullptr, FALSE);
    EXPECT_EQ(Send(WM_PAINT), 1);
    EXPECT_EQ(Count("FillRect"), fills + 1);
}

TEST_F(MainWindow, PaletteMessagesPutThePaletteBackOnceTheDisplayExists) {
    Create();
    EXPECT_EQ(Send(WM_QUERYNEWPALETTE), 0) << "no display: the default answer";
    ASSERT_TRUE(DisplaySetup());
    int attached = Count("IDirectDrawSurface::SetPalette");
    EXPECT_EQ(Send(WM_QUERYNEWPALETTE), 1);
    EXPECT_EQ(Count("IDirectDrawSurface::SetPalette"), attached + 1);

    int blits = Count("IDirectDrawSurface::Blt");
    EXPECT_EQ(Send(WM_PALETTECHANGED, reinterpret_cast<WPARAM>(shell.mainWindow)), 1);
    EXPECT_EQ(Count("IDirectDrawSurface::Blt"), blits) << "our own change: nothing to redraw";
    EXPECT_EQ(Count("IDirectDrawSurface::SetPalette"), attached + 2);
    EXPECT_EQ(Send(WM_PALETTECHANGED, 0x1234), 1);
    EXPECT_EQ(Count("IDirectDrawSurface::Blt"), blits + 2)
        << "another window's change: the canvas cleared and shown again";
    EXPECT_EQ(Count("IDirectDrawSurface::SetPalette"), attached + 3);
}

TEST_F(MainWindow, MouseButtonsAndMenuLoopsAreConsumedAndCloseDestroys) {
    Create();
    for (UINT m = WM_LBUTTONDOWN; m <= WM_MBUTTONDBLCLK; ++m) EXPECT_EQ(Send(m, MK_LBUTTON, 0), 0);
    EXPECT_EQ(Send(WM_ENTERMENULOOP), 0);
    EXPECT_EQ(Send(WM_EXITMENULOOP), 0);
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_SCREENSAVE), 0);
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_MONITORPOWER, 2), 0);
    EXPECT_TRUE(IsWindow(shell.mainWindow));
    frameState = STATE_RUNNING;
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_CLOSE), 0) << "other commands: the default, which closes";
    EXPECT_FALSE(IsWindow(shell.mainWindow));
    EXPECT_EQ(frameState, STATE_QUIT);
}

}  // namespace
