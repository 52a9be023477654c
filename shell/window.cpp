// The main window: its class and creation, the screen capabilities, the
// choice and switching of the display mode, and the window procedure.
#include <windows.h>
#include <ddraw.h>

#include <string.h>

#include "game/field.h"
#include "game/sheet.h"
#include "graphics/display.h"
#include "graphics/draw.h"
#include "resources/resource.h"
#include "shell/report.h"
#include "shell/shell.h"
#include "shell/window.h"

#define CANVAS_WIDTH 640
#define CANVAS_HEIGHT 480

// Frame sizes from the system, and the screen from a device context of the
// window: its size and whether it works through a palette.
static void ReadScreenCaps(void) {
    HDC dc;

    shell.frameWidth = GetSystemMetrics(SM_CXFRAME);
    shell.captionHeight = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CXFRAME);
    dc = GetDC(shell.mainWindow);
    shell.rasterCaps = GetDeviceCaps(dc, RASTERCAPS);
    shell.screenWidth = GetDeviceCaps(dc, HORZRES);
    shell.screenHeight = GetDeviceCaps(dc, VERTRES);
    ReleaseDC(shell.mainWindow, dc);
}

// Window mode needs a 256-colour desktop.
static BOOL DesktopHasPalette(void) { return (shell.rasterCaps & RC_PALETTE) ? TRUE : FALSE; }

static void ApplyWindowStyle(void) {
    RECT rect;

    if (launchOptions.fullScreen) {
        // Position and size come with the exclusive display mode.
        SetWindowLongA(shell.mainWindow, GWL_STYLE, WS_POPUP | WS_VISIBLE | WS_OVERLAPPEDWINDOW);
        SetWindowLongA(shell.mainWindow, GWL_EXSTYLE, WS_EX_TOPMOST);
        return;
    }
    SetWindowLongA(shell.mainWindow, GWL_STYLE, WS_POPUP | WS_VISIBLE | WS_OVERLAPPEDWINDOW);
    SetWindowLongA(shell.mainWindow, GWL_EXSTYLE, WS_EX_APPWINDOW | WS_EX_CLIENTEDGE);
    shell.clientWidth = shell.frameWidth + (CANVAS_WIDTH - 1);
    shell.clientHeight = shell.captionHeight + (CANVAS_HEIGHT - 1);
    // Centred; a window larger than the screen overhangs both edges equally.
    shell.windowX = (shell.screenWidth - shell.clientWidth) / 2;
    shell.windowY = (shell.screenHeight - shell.clientHeight) / 2;
    SetRect(&rect, 0, 0, shell.clientWidth, shell.clientHeight);
    AdjustWindowRectEx(&rect, (DWORD)GetWindowLongA(shell.mainWindow, GWL_STYLE), TRUE,
                       (DWORD)GetWindowLongA(shell.mainWindow, GWL_EXSTYLE));
    SetWindowPos(shell.mainWindow, NULL, shell.windowX, shell.windowY, rect.right, rect.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

BOOL CreateMainWindow(int showCommand) {
    WNDCLASSEXA wc;

    memset(&wc, 0, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = shell.instance;
    wc.hIcon = LoadIconA(shell.instance, MAKEINTRESOURCEA(IDI_TUMBLA));
    wc.hIconSm = (HICON)LoadImageA(shell.instance, MAKEINTRESOURCEA(IDI_TUMBLA), IMAGE_ICON,
                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = NULL;
    wc.lpszMenuName = NULL;
    wc.lpszClassName = TUMBLA_CLASS_NAME;
    if (!RegisterClassExA(&wc)) goto failed;

    shell.mainWindow = CreateWindowExA(WS_EX_APPWINDOW | WS_EX_CLIENTEDGE, TUMBLA_CLASS_NAME, TUMBLA_TITLE,
                                       WS_POPUP | WS_VISIBLE | WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, shell.instance, NULL);
    if (shell.mainWindow == NULL) goto failed;

    ReadScreenCaps();
    ShowWindow(shell.mainWindow, showCommand);
    UpdateWindow(shell.mainWindow);
    SetFocus(shell.mainWindow);
    return TRUE;

failed:
    MessageBoxFromString(NULL, IDS_START_FAILED);
    return FALSE;
}

BOOL DisplaySetup(void) {
    BOOL ok;

    // Without a 256-colour desktop the game can only run full screen.
    if (!launchOptions.fullScreen && !DesktopHasPalette()) launchOptions.fullScreen = 1;
    ApplyWindowStyle();
    ok = CreateDisplay() ? TRUE : FALSE;
    // Raised here, for start-up and the Alt+Enter switch alike.
    if (!ok) RaiseError(ERR_DIRECTDRAW);
    return ok;
}

BOOL ToggleScreenMode(void) {
    BOOL ok;

    if (!DesktopHasPalette()) return FALSE;
    ReleaseDisplay(1);
    ClearSheetState();
    DropWellImage();
    launchOptions.fullScreen = launchOptions.fullScreen ? 0 : 1;
    ok = DisplaySetup();
    if (ok) ReloadSprites();
    return ok;
}

BOOL ReloadSprites(void) {
    LoadSpriteSheet();
    return TRUE;
}

// A pointer position of the client area in the canvas's 640x480
// coordinates, whatever the size of the window.
static LONG ScaleMouse(WORD position, LONG clientSize, LONG canvasSize) {
    double scaled;

    if (clientSize <= 0) return 0;
    scaled = ((double)canvasSize / (double)clientSize) * (double)position;
    if (scaled < 0.0) return 0;
    if (scaled >= (double)canvasSize) return canvasSize - 1;
    return (LONG)scaled;
}

static void AttachPalette(void) {
    if (display.palette != NULL && display.primary != NULL) display.primary->SetPalette(display.palette);
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    PAINTSTRUCT paint;
    RECT rect;
    MINMAXINFO* limits;

    switch (message) {
        case WM_ACTIVATEAPP:
            shell.appActive = (LONG)wParam;
            // Back in front: the display mode may be set again if it was lost.
            if (wParam) display.modeSetAgain = 0;
            return 0;

        case WM_SETTINGCHANGE:
        case WM_DISPLAYCHANGE:
            ReadScreenCaps();
            if (!launchOptions.fullScreen && !DesktopHasPalette()) RaiseError(ERR_SCREEN_MODE);
            return 0;

        case WM_MOVE:
            // Signed: a client area left of or above the screen's origin.
            shell.windowX = (SHORT)LOWORD(lParam);
            shell.windowY = (SHORT)HIWORD(lParam);
            return 0;

        case WM_SIZE:
            shell.clientWidth = LOWORD(lParam);
            shell.clientHeight = HIWORD(lParam);
            return 0;

        case WM_GETMINMAXINFO:
            limits = (MINMAXINFO*)lParam;
            SetRect(&rect, 0, 0, shell.frameWidth + CANVAS_WIDTH, shell.captionHeight + CANVAS_HEIGHT);
            AdjustWindowRectEx(&rect, (DWORD)GetWindowLongA(hwnd, GWL_STYLE), TRUE,
                               (DWORD)GetWindowLongA(hwnd, GWL_EXSTYLE));
            limits->ptMinTrackSize.x = rect.right;
            limits->ptMinTrackSize.y = rect.bottom;
            return 0;

        case WM_PAINT:
            BeginPaint(hwnd, &paint);
            if (!launchOptions.fullScreen && launchOptions.displayReady) {
                PresentFrame();
            } else {
                FillRect(paint.hdc, &paint.rcPaint, (HBRUSH)GetStockObject(BLACK_BRUSH));
            }
            EndPaint(hwnd, &paint);
            return 1;

        case WM_QUERYNEWPALETTE:
            if (!launchOptions.displayReady) break;
            AttachPalette();
            return 1;

        case WM_PALETTECHANGED:
            if (!launchOptions.displayReady) break;
            // Another window changed the colours: show the canvas in the
            // new ones at once, then take the palette back.
            if ((HWND)wParam != hwnd) {
                ClearSurface(display.canvas, 0);
                PresentFrame();
            }
            AttachPalette();
            return 1;

        case WM_SETCURSOR:
            // No pointer over the full-screen picture.
            if (launchOptions.fullScreen && shell.appActive) {
                SetCursor(NULL);
                return 1;
            }
            break;

        case WM_SYSCOMMAND:
            // Neither the screen saver nor monitor power-down while playing.
            if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER) return 0;
            break;

        case WM_KEYUP:
            if (launchOptions.displayReady && wParam == VK_ESCAPE) PostMessageA(hwnd, WM_CLOSE, 0, 0);
            return 0;

        case WM_SYSKEYUP:
            if (!launchOptions.displayReady) break;
            if (wParam == VK_RETURN) {
                ToggleScreenMode();
                return 0;
            }
            if (launchOptions.fullScreen) return 0;
            break;

        case WM_MOUSEMOVE:
            shell.mouseX = ScaleMouse(LOWORD(lParam), shell.clientWidth, CANVAS_WIDTH);
            shell.mouseY = ScaleMouse(HIWORD(lParam), shell.clientHeight, CANVAS_HEIGHT);
            break;

        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK:
        case WM_ENTERMENULOOP:
        case WM_EXITMENULOOP: return 0;

        case WM_CLOSE: DestroyWindow(hwnd); return 0;

        case WM_DESTROY:
            RequestQuit();
            PostQuitMessage(0);
            return 0;

        default: break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
