// The main window and the choice and switching of the display mode.
#ifndef TUMBLA_SHELL_WINDOW_H
#define TUMBLA_SHELL_WINDOW_H

#include <windows.h>

BOOL CreateMainWindow(int showCommand);
BOOL DisplaySetup(void);
BOOL ToggleScreenMode(void);
BOOL ReloadSprites(void);
LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

#endif
