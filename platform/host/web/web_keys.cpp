#include "platform/host/web/web_keys.h"

#include <cstring>

namespace webhost {
namespace {

struct Position {
    const char* code;
    int virtualKey;
    int scanCode;
    bool extended;
};

// clang-format off
constexpr Position kPositions[] = {
    {"Escape", VK_ESCAPE, 0x01, false},   {"Enter", VK_RETURN, 0x1C, false},
    {"NumpadEnter", VK_RETURN, 0x1C, true}, {"Space", VK_SPACE, 0x39, false},
    {"Tab", VK_TAB, 0x0F, false},         {"Backspace", VK_BACK, 0x0E, false},
    {"ShiftLeft", VK_SHIFT, 0x2A, false}, {"ShiftRight", VK_SHIFT, 0x36, false},
    {"ControlLeft", VK_CONTROL, 0x1D, false}, {"ControlRight", VK_CONTROL, 0x1D, true},
    {"AltLeft", VK_MENU, 0x38, false},    {"AltRight", VK_MENU, 0x38, true},
    {"ArrowLeft", VK_LEFT, 0x4B, true},   {"ArrowUp", VK_UP, 0x48, true},
    {"ArrowRight", VK_RIGHT, 0x4D, true}, {"ArrowDown", VK_DOWN, 0x50, true},
    {"Insert", VK_INSERT, 0x52, true},    {"Delete", VK_DELETE, 0x53, true},
    {"Home", VK_HOME, 0x47, true},        {"End", VK_END, 0x4F, true},
    {"PageUp", VK_PRIOR, 0x49, true},     {"PageDown", VK_NEXT, 0x51, true},
    {"Pause", VK_PAUSE, 0x45, false},
    {"F1", VK_F1, 0x3B, false},  {"F2", VK_F2, 0x3C, false},  {"F3", VK_F3, 0x3D, false},
    {"F4", VK_F4, 0x3E, false},  {"F5", VK_F5, 0x3F, false},  {"F6", VK_F6, 0x40, false},
    {"F7", VK_F7, 0x41, false},  {"F8", VK_F8, 0x42, false},  {"F9", VK_F9, 0x43, false},
    {"F10", VK_F10, 0x44, false}, {"F11", VK_F11, 0x57, false}, {"F12", VK_F12, 0x58, false},
    // The keypad with Num Lock on; off, its keys read as the arrows and
    // the editing keys they carry (below).
    {"Numpad0", VK_NUMPAD0, 0x52, false}, {"Numpad1", VK_NUMPAD1, 0x4F, false},
    {"Numpad2", VK_NUMPAD2, 0x50, false}, {"Numpad3", VK_NUMPAD3, 0x51, false},
    {"Numpad4", VK_NUMPAD4, 0x4B, false}, {"Numpad5", VK_NUMPAD5, 0x4C, false},
    {"Numpad6", VK_NUMPAD6, 0x4D, false}, {"Numpad7", VK_NUMPAD7, 0x47, false},
    {"Numpad8", VK_NUMPAD8, 0x48, false}, {"Numpad9", VK_NUMPAD9, 0x49, false},
};

// What a keypad key without Num Lock types, as the non-extended key Windows reports.
constexpr struct { const char* key; int virtualKey; } kKeypadOff[] = {
    {"Insert", VK_INSERT}, {"End", VK_END},  {"ArrowDown", VK_DOWN}, {"PageDown", VK_NEXT},
    {"ArrowLeft", VK_LEFT}, {"Clear", VK_CLEAR}, {"ArrowRight", VK_RIGHT}, {"Home", VK_HOME},
    {"ArrowUp", VK_UP},    {"PageUp", VK_PRIOR},
};
// clang-format on

// PC scan codes of the letter and digit positions (set 1), for lParam.
int ScanCodeOf(const char* code) {
    static constexpr const char* kRows[] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    static constexpr int kFirst[] = {0x02, 0x10, 0x1E, 0x2C};
    char c = 0;
    if (std::strncmp(code, "Key", 3) == 0 || std::strncmp(code, "Digit", 5) == 0) c = code[std::strlen(code) - 1];
    for (int row = 0; row < 4 && c; ++row)
        if (const char* at = std::strchr(kRows[row], c)) return kFirst[row] + static_cast<int>(at - kRows[row]);
    return 0;
}

}  // namespace

WebKey TranslateKey(const char* code, const char* key) {
    if (!code) code = "";
    if (!key) key = "";
    for (const Position& p : kPositions) {
        if (std::strcmp(p.code, code) != 0) continue;
        WebKey k{p.virtualKey, p.scanCode, p.extended};
        if (p.virtualKey >= VK_NUMPAD0 && p.virtualKey <= VK_NUMPAD9 && !(key[0] >= '0' && key[0] <= '9'))
            for (const auto& off : kKeypadOff)
                if (std::strcmp(off.key, key) == 0) k.virtualKey = off.virtualKey;
        return k;
    }
    int scan = ScanCodeOf(code);
    // One character typed: a letter or a digit is its own virtual key.
    if (key[0] != 0 && key[1] == 0) {
        char c = key[0];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return WebKey{c, scan, false};
    }
    // Anything else on a letter or digit position (an accented letter, a
    // dead key, a shifted digit of AZERTY) keeps the key of the position.
    if (std::strncmp(code, "Key", 3) == 0 && code[3] && !code[4]) return WebKey{code[3], scan, false};
    if (std::strncmp(code, "Digit", 5) == 0 && code[5] && !code[6]) return WebKey{code[5], scan, false};
    return WebKey{0, 0, false};
}

}  // namespace webhost
