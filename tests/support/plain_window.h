// A small shown top-level window of a class of its own, with the default
// window procedure: somewhere for key and window messages to go.
#pragma once

#include <windows.h>

inline HWND PlainWindow(const char* className) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
    HWND hwnd = CreateWindowExA(0, className, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (hwnd) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}
