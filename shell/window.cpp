// The main window: class, creation and the window procedure's messages that
// the frame loop needs. Display modes are not switched yet.
#include <windows.h>

#include "game/field.h"
#include "graphics/display.h"
#include "shell/report.h"
#include "shell/shell.h"
#include "shell/window.h"

BOOL CreateMainWindow(int showCommand) {
    WNDCLASSEXA wc;

    memset(&wc, 0, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = shell.instance;
    wc.hIcon = LoadIconA(shell.instance, MAKEINTRESOURCEA(116));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.lpszClassName = TUMBLA_CLASS_NAME;
    if (!RegisterClassExA(&wc)) goto failed;

    shell.mainWindow = CreateWindowExA(WS_EX_APPWINDOW | WS_EX_CLIENTEDGE, TUMBLA_CLASS_NAME, TUMBLA_TITLE,
                                       WS_POPUP | WS_VISIBLE | WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, shell.instance, NULL);
    if (shell.mainWindow == NULL) goto failed;

    ShowWindow(shell.mainWindow, showCommand);
    UpdateWindow(shell.mainWindow);
    SetFocus(shell.mainWindow);
    return TRUE;

failed:
    MessageBoxFromString(NULL, 2);
    return FALSE;
}

BOOL DisplaySetup(void) {
    BOOL ok = CreateDisplay() ? TRUE : FALSE;
    if (!ok) RaiseError(ERR_DIRECTDRAW);
    return ok;
}

BOOL ToggleScreenMode(void) { return FALSE; }

BOOL ReloadSprites(void) {
    LoadSpriteSheet();
    return TRUE;
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATEAPP:
            shell.appActive = (LONG)wParam;
            return 0;
        case WM_KEYUP:
            if (launchOptions.displayReady && wParam == VK_ESCAPE) PostMessageA(hwnd, WM_CLOSE, 0, 0);
            return 0;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            RequestQuit();
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
