// The keyboard as USER keeps it: one table of the keys that are down, which
// GetAsyncKeyState, GetKeyState and the key messages all read. Every host
// reports each press and release here once, by the key's place, so the rules
// of system keys, the bits of lParam and the letting go of every key on
// deactivation are written once, whatever the host.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/host/host_events.h"
#include "platform/trace/trace.h"
#include "platform/user/user_internal.h"

namespace platform::user {
namespace {

// Every key's place: its USB usage (which SDL's scan codes are), the name a
// browser's KeyboardEvent.code gives it, the virtual key a US layout gives
// it, and its PC scan code (set 1) with the extended bit.
// clang-format off
constexpr KeyPlace kPlaces[] = {
    {0x29, "Escape", VK_ESCAPE, 0x01, false},
    {0x1E, "Digit1", '1', 0x02, false},
    {0x1F, "Digit2", '2', 0x03, false},
    {0x20, "Digit3", '3', 0x04, false},
    {0x21, "Digit4", '4', 0x05, false},
    {0x22, "Digit5", '5', 0x06, false},
    {0x23, "Digit6", '6', 0x07, false},
    {0x24, "Digit7", '7', 0x08, false},
    {0x25, "Digit8", '8', 0x09, false},
    {0x26, "Digit9", '9', 0x0A, false},
    {0x27, "Digit0", '0', 0x0B, false},
    {0x2D, "Minus", VK_OEM_MINUS, 0x0C, false},
    {0x2E, "Equal", VK_OEM_PLUS, 0x0D, false},
    {0x2A, "Backspace", VK_BACK, 0x0E, false},
    {0x2B, "Tab", VK_TAB, 0x0F, false},
    {0x14, "KeyQ", 'Q', 0x10, false},
    {0x1A, "KeyW", 'W', 0x11, false},
    {0x08, "KeyE", 'E', 0x12, false},
    {0x15, "KeyR", 'R', 0x13, false},
    {0x17, "KeyT", 'T', 0x14, false},
    {0x1C, "KeyY", 'Y', 0x15, false},
    {0x18, "KeyU", 'U', 0x16, false},
    {0x0C, "KeyI", 'I', 0x17, false},
    {0x12, "KeyO", 'O', 0x18, false},
    {0x13, "KeyP", 'P', 0x19, false},
    {0x2F, "BracketLeft", VK_OEM_4, 0x1A, false},
    {0x30, "BracketRight", VK_OEM_6, 0x1B, false},
    {0x28, "Enter", VK_RETURN, 0x1C, false},
    {0xE0, "ControlLeft", VK_CONTROL, 0x1D, false},
    {0x04, "KeyA", 'A', 0x1E, false},
    {0x16, "KeyS", 'S', 0x1F, false},
    {0x07, "KeyD", 'D', 0x20, false},
    {0x09, "KeyF", 'F', 0x21, false},
    {0x0A, "KeyG", 'G', 0x22, false},
    {0x0B, "KeyH", 'H', 0x23, false},
    {0x0D, "KeyJ", 'J', 0x24, false},
    {0x0E, "KeyK", 'K', 0x25, false},
    {0x0F, "KeyL", 'L', 0x26, false},
    {0x33, "Semicolon", VK_OEM_1, 0x27, false},
    {0x34, "Quote", VK_OEM_7, 0x28, false},
    {0x35, "Backquote", VK_OEM_3, 0x29, false},
    {0xE1, "ShiftLeft", VK_SHIFT, 0x2A, false},
    {0x31, "Backslash", VK_OEM_5, 0x2B, false},
    {0x1D, "KeyZ", 'Z', 0x2C, false},
    {0x1B, "KeyX", 'X', 0x2D, false},
    {0x06, "KeyC", 'C', 0x2E, false},
    {0x19, "KeyV", 'V', 0x2F, false},
    {0x05, "KeyB", 'B', 0x30, false},
    {0x11, "KeyN", 'N', 0x31, false},
    {0x10, "KeyM", 'M', 0x32, false},
    {0x36, "Comma", VK_OEM_COMMA, 0x33, false},
    {0x37, "Period", VK_OEM_PERIOD, 0x34, false},
    {0x38, "Slash", VK_OEM_2, 0x35, false},
    {0xE5, "ShiftRight", VK_SHIFT, 0x36, false},
    {0x55, "NumpadMultiply", VK_MULTIPLY, 0x37, false},
    {0xE2, "AltLeft", VK_MENU, 0x38, false},
    {0x2C, "Space", VK_SPACE, 0x39, false},
    {0x39, "CapsLock", VK_CAPITAL, 0x3A, false},
    {0x3A, "F1", VK_F1, 0x3B, false},
    {0x3B, "F2", VK_F2, 0x3C, false},
    {0x3C, "F3", VK_F3, 0x3D, false},
    {0x3D, "F4", VK_F4, 0x3E, false},
    {0x3E, "F5", VK_F5, 0x3F, false},
    {0x3F, "F6", VK_F6, 0x40, false},
    {0x40, "F7", VK_F7, 0x41, false},
    {0x41, "F8", VK_F8, 0x42, false},
    {0x42, "F9", VK_F9, 0x43, false},
    {0x43, "F10", VK_F10, 0x44, false},
    {0x53, "NumLock", VK_NUMLOCK, 0x45, true},
    {0x47, "ScrollLock", VK_SCROLL, 0x46, false},
    {0x5F, "Numpad7", VK_NUMPAD7, 0x47, false},
    {0x60, "Numpad8", VK_NUMPAD8, 0x48, false},
    {0x61, "Numpad9", VK_NUMPAD9, 0x49, false},
    {0x56, "NumpadSubtract", VK_SUBTRACT, 0x4A, false},
    {0x5C, "Numpad4", VK_NUMPAD4, 0x4B, false},
    {0x5D, "Numpad5", VK_NUMPAD5, 0x4C, false},
    {0x5E, "Numpad6", VK_NUMPAD6, 0x4D, false},
    {0x57, "NumpadAdd", VK_ADD, 0x4E, false},
    {0x59, "Numpad1", VK_NUMPAD1, 0x4F, false},
    {0x5A, "Numpad2", VK_NUMPAD2, 0x50, false},
    {0x5B, "Numpad3", VK_NUMPAD3, 0x51, false},
    {0x62, "Numpad0", VK_NUMPAD0, 0x52, false},
    {0x63, "NumpadDecimal", VK_DECIMAL, 0x53, false},
    {0x44, "F11", VK_F11, 0x57, false},
    {0x45, "F12", VK_F12, 0x58, false},
    {0x58, "NumpadEnter", VK_RETURN, 0x1C, true},
    {0xE4, "ControlRight", VK_CONTROL, 0x1D, true},
    {0x54, "NumpadDivide", VK_DIVIDE, 0x35, true},
    {0x46, "PrintScreen", VK_SNAPSHOT, 0x37, true},
    {0xE6, "AltRight", VK_MENU, 0x38, true},
    {0x48, "Pause", VK_PAUSE, 0x45, false},
    {0x4A, "Home", VK_HOME, 0x47, true},
    {0x52, "ArrowUp", VK_UP, 0x48, true},
    {0x4B, "PageUp", VK_PRIOR, 0x49, true},
    {0x50, "ArrowLeft", VK_LEFT, 0x4B, true},
    {0x4F, "ArrowRight", VK_RIGHT, 0x4D, true},
    {0x4D, "End", VK_END, 0x4F, true},
    {0x51, "ArrowDown", VK_DOWN, 0x50, true},
    {0x4E, "PageDown", VK_NEXT, 0x51, true},
    {0x49, "Insert", VK_INSERT, 0x52, true},
    {0x4C, "Delete", VK_DELETE, 0x53, true},
    {0xE3, "MetaLeft", VK_LWIN, 0x5B, true},
    {0xE7, "MetaRight", VK_RWIN, 0x5C, true},
    {0x65, "ContextMenu", VK_APPS, 0x5D, true},
};
// clang-format on

// Windows sends WM_SYSKEYUP for a lone Alt press and release (it opens the
// menu), WM_KEYUP when another key was pressed while Alt was held.
bool altUsedWithKey = false;

// The keys down, by place, with the virtual key each went down as: it goes
// up as that key, whatever the layout says by then.
struct Held {
    int scanCode;
    bool extended;
    int virtualKey;
};
std::array<Held, 32> held;
std::size_t heldCount = 0;
// The toggle of each virtual key (Caps Lock's light), as GetKeyState's low bit.
std::array<bool, 256> toggled{};

bool SamePlace(const Held& h, const HostKey& key) {
    if (key.scanCode != 0) return h.scanCode == key.scanCode && h.extended == key.extended;
    return h.scanCode == 0 && h.virtualKey == key.virtualKey;
}

// The left or right key of a pair, which Windows also reports under its own code.
int SideKey(const Held& h) {
    switch (h.scanCode) {
        case 0x2A: return VK_LSHIFT;
        case 0x36: return VK_RSHIFT;
        case 0x1D: return h.extended ? VK_RCONTROL : VK_LCONTROL;
        case 0x38: return h.extended ? VK_RMENU : VK_LMENU;
        default: return 0;
    }
}

bool IsLetterOrDigit(int virtualKey) {
    return (virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9');
}

// The keys that type characters, whose meaning the layout decides.
bool IsTypingKey(int virtualKey) {
    return IsLetterOrDigit(virtualKey) || (virtualKey >= VK_OEM_1 && virtualKey <= VK_OEM_3) ||
           (virtualKey >= VK_OEM_4 && virtualKey <= VK_OEM_7);
}

// The virtual key of punctuation a Latin layout puts on a letter key (the
// French comma where a US keyboard has M): the codes Windows gives those
// characters on every layout; 0 for any other character.
int PunctuationKey(char32_t typed) {
    switch (typed) {
        case U',': return VK_OEM_COMMA;
        case U'.': return VK_OEM_PERIOD;
        case U'-': return VK_OEM_MINUS;
        case U'+':
        case U'=': return VK_OEM_PLUS;
        default: return 0;
    }
}

void PostMessageFor(HWND hwnd, const HostKey& key, int virtualKey, bool previouslyDown) {
    if (!hwnd) return;
    bool alt = key.alt;
    UINT message;
    if (virtualKey == VK_MENU) {
        if (key.down && !previouslyDown) altUsedWithKey = false;
        message = key.down ? WM_SYSKEYDOWN : (altUsedWithKey || key.ctrl ? WM_KEYUP : WM_SYSKEYUP);
        alt = key.down;
    } else {
        if (alt && key.down) altUsedWithKey = true;
        // Alt with Ctrl is AltGr on many layouts: ordinary keys then.
        bool system = (alt && !key.ctrl) || virtualKey == VK_F10;
        message = key.down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
        alt = alt && !key.ctrl;
    }
    DWORD data = 1;  // the repeat count: one message per event, never merged
    data |= static_cast<DWORD>(key.scanCode & 0xFF) << 16;
    if (key.extended) data |= 1u << 24;
    if (alt) data |= 1u << 29;                          // the context code
    if (!key.down || previouslyDown) data |= 1u << 30;  // the previous state
    if (!key.down) data |= 1u << 31;                    // the transition
    PostMessageA(hwnd, message, static_cast<WPARAM>(virtualKey), static_cast<LPARAM>(data));
}

}  // namespace

const KeyPlace* PlaceOfUsage(int usbUsage) {
    for (const KeyPlace& p : kPlaces)
        if (p.usbUsage == usbUsage) return &p;
    return nullptr;
}

const KeyPlace* PlaceOfCode(const char* code) {
    if (!code) return nullptr;
    for (const KeyPlace& p : kPlaces)
        if (std::strcmp(p.code, code) == 0) return &p;
    return nullptr;
}

const KeyPlace* PlaceOfVirtualKey(int virtualKey) {
    for (const KeyPlace& p : kPlaces)
        if (p.virtualKey == virtualKey) return &p;
    return nullptr;
}

int LayoutVirtualKey(const KeyPlace& place, char32_t typed) {
    if (!IsTypingKey(place.virtualKey)) return place.virtualKey;
    if (typed >= U'a' && typed <= U'z') return 'A' + static_cast<int>(typed - U'a');
    if ((typed >= U'A' && typed <= U'Z') || (typed >= U'0' && typed <= U'9')) return static_cast<int>(typed);
    if (place.virtualKey >= 'A' && place.virtualKey <= 'Z' && PunctuationKey(typed) != 0) return PunctuationKey(typed);
    // Any other character keeps the key of the place: the digit row where
    // the layout types & é " ' ... unshifted (French), a letter key that
    // types a Cyrillic or Greek letter, or a semicolon (Greek Q).
    return place.virtualKey;
}

void ReportKey(HWND hwnd, const HostKey& key) {
    std::size_t at = 0;
    while (at < heldCount && !SamePlace(held[at], key)) ++at;
    const bool wasDown = at < heldCount;
    int virtualKey = key.virtualKey;
    if (wasDown) {
        virtualKey = held[at].virtualKey;
        if (!key.down) held[at] = held[--heldCount];
    } else if (key.down && key.virtualKey > 0 && key.virtualKey <= 0xFE && heldCount < held.size()) {
        held[heldCount++] = Held{key.scanCode, key.extended, key.virtualKey};
        toggled[static_cast<std::size_t>(key.virtualKey)] = !toggled[static_cast<std::size_t>(key.virtualKey)];
    }
    if (virtualKey <= 0 || virtualKey > 0xFE) return;
    PostMessageFor(hwnd, key, virtualKey, wasDown);
}

bool KeyIsDown(int virtualKey) {
    for (std::size_t i = 0; i < heldCount; ++i)
        if (held[i].virtualKey == virtualKey || SideKey(held[i]) == virtualKey) return true;
    return false;
}

bool KeyToggled(int virtualKey) {
    return virtualKey > 0 && virtualKey < 256 && toggled[static_cast<std::size_t>(virtualKey)];
}

void ReleaseAllKeys() { heldCount = 0; }

void ResetKeyboardForTests() {
    altUsedWithKey = false;
    heldCount = 0;
    toggled.fill(false);
}

}  // namespace platform::user

using namespace platform::user;

SHORT WINAPI GetAsyncKeyState(int vKey) {
    platform::TraceCall("GetAsyncKeyState");
    if (vKey <= 0 || vKey > 255) return 0;
    return KeyIsDown(vKey) ? static_cast<SHORT>(0x8000) : 0;
}

SHORT WINAPI GetKeyState(int nVirtKey) {
    if (nVirtKey <= 0 || nVirtKey > 255) return 0;
    SHORT state = KeyIsDown(nVirtKey) ? static_cast<SHORT>(0x8000) : 0;
    if (KeyToggled(nVirtKey)) state = static_cast<SHORT>(state | 1);
    return state;
}
