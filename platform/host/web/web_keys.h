// The browser's keys as Windows names them.
#pragma once

#include <windows.h>

namespace webhost {

struct WebKey {
    int virtualKey;  // 0: a key Windows programs never see
    int scanCode;
    bool extended;
};

// From a DOM KeyboardEvent's `code` (the key's position) and `key` (what it
// types): letters and digits by what they type, as Windows maps virtual keys
// through the keyboard layout; every other key by its position.
WebKey TranslateKey(const char* code, const char* key);

// Posts the WM_KEYDOWN/WM_KEYUP or WM_SYSKEYDOWN/WM_SYSKEYUP that Windows
// sends for a key, with its lParam.
void PostKey(HWND hwnd, int virtualKey, int scanCode, bool extended, bool down, bool repeat, bool alt, bool ctrl);

}  // namespace webhost
