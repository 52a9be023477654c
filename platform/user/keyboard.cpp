// A host's key event as the messages Windows sends for it. Every host turns
// its own events into a HostKey and hands it here, so the rules of system
// keys and the bits of lParam are written once.
#include <windows.h>

#include "platform/host/host_events.h"
#include "platform/user/user_internal.h"

namespace platform::user {
namespace {
// Windows sends WM_SYSKEYUP for a lone Alt press and release (it opens the
// menu), WM_KEYUP when another key was pressed while Alt was held.
bool altUsedWithKey = false;
}  // namespace

void PostKeyMessage(HWND hwnd, const HostKey& key) {
    if (!hwnd || key.virtualKey <= 0 || key.virtualKey > 0xFE) return;
    bool alt = key.alt;
    UINT message;
    if (key.virtualKey == VK_MENU) {
        if (key.down && !key.repeat) altUsedWithKey = false;
        message = key.down ? WM_SYSKEYDOWN : (altUsedWithKey || key.ctrl ? WM_KEYUP : WM_SYSKEYUP);
        alt = key.down;
    } else {
        if (alt && key.down) altUsedWithKey = true;
        // Alt with Ctrl is AltGr on many layouts: ordinary keys then.
        bool system = (alt && !key.ctrl) || key.virtualKey == VK_F10;
        message = key.down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
        alt = alt && !key.ctrl;
    }
    DWORD data = 1;  // the repeat count: one message per event, never merged
    data |= static_cast<DWORD>(key.scanCode & 0xFF) << 16;
    if (key.extended) data |= 1u << 24;
    if (alt) data |= 1u << 29;                      // the context code
    if (!key.down || key.repeat) data |= 1u << 30;  // the previous state
    if (!key.down) data |= 1u << 31;                // the transition
    PostMessageA(hwnd, message, static_cast<WPARAM>(key.virtualKey), static_cast<LPARAM>(data));
}

void ResetKeyboardForTests() { altUsedWithKey = false; }

}  // namespace platform::user
