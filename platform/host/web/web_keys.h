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

}  // namespace webhost
