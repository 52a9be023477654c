// The browser's keys as the game sees them: letters and digits by what they
// type on the player's layout, everything else by where it sits.
#include "platform/host/web/web_keys.h"

#include <gtest/gtest.h>

#include "platform/host/headless/headless.h"

namespace {

using webhost::TranslateKey;

TEST(WebKeys, LettersAndDigitsFollowTheLayout) {
    EXPECT_EQ(TranslateKey("KeyZ", "z").virtualKey, 'Z') << "QWERTY";
    EXPECT_EQ(TranslateKey("KeyY", "z").virtualKey, 'Z') << "QWERTZ types Z where QWERTY has Y";
    EXPECT_EQ(TranslateKey("KeyW", "z").virtualKey, 'Z') << "AZERTY types Z where QWERTY has W";
    EXPECT_EQ(TranslateKey("KeyX", "X").virtualKey, 'X') << "shifted";
    EXPECT_EQ(TranslateKey("Digit1", "1").virtualKey, '1');
    // AZERTY's digit row types symbols unshifted: the key stays the digit.
    EXPECT_EQ(TranslateKey("Digit1", "&").virtualKey, '1');
    EXPECT_EQ(TranslateKey("Semicolon", "m").virtualKey, 'M') << "AZERTY's M";
    // The scan code is always the key's place, as lParam carries it.
    EXPECT_EQ(TranslateKey("KeyY", "z").scanCode, 0x15);
    EXPECT_EQ(TranslateKey("KeyZ", "z").scanCode, 0x2C);
}

TEST(WebKeys, OtherKeysByTheirPlace) {
    auto left = TranslateKey("ArrowLeft", "ArrowLeft");
    EXPECT_EQ(left.virtualKey, VK_LEFT);
    EXPECT_TRUE(left.extended);
    EXPECT_EQ(left.scanCode, 0x4B);
    EXPECT_EQ(TranslateKey("Enter", "Enter").virtualKey, VK_RETURN);
    EXPECT_FALSE(TranslateKey("Enter", "Enter").extended);
    EXPECT_TRUE(TranslateKey("NumpadEnter", "Enter").extended);
    EXPECT_EQ(TranslateKey("Space", " ").virtualKey, VK_SPACE);
    EXPECT_EQ(TranslateKey("ShiftRight", "Shift").virtualKey, VK_SHIFT);
    EXPECT_EQ(TranslateKey("Escape", "Escape").virtualKey, VK_ESCAPE);
    // The keypad: digits with Num Lock, the arrows it carries without.
    EXPECT_EQ(TranslateKey("Numpad4", "4").virtualKey, VK_NUMPAD4);
    auto keypadLeft = TranslateKey("Numpad4", "ArrowLeft");
    EXPECT_EQ(keypadLeft.virtualKey, VK_LEFT);
    EXPECT_FALSE(keypadLeft.extended);
    EXPECT_EQ(TranslateKey("Numpad2", "ArrowDown").virtualKey, VK_DOWN);
    EXPECT_EQ(TranslateKey("Numpad5", "Clear").virtualKey, VK_CLEAR);
    EXPECT_EQ(TranslateKey("MetaLeft", "Meta").virtualKey, 0) << "a key Windows programs never see";
    EXPECT_EQ(TranslateKey("", "").virtualKey, 0);
}

class WebKeyMessages : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "WebKeys";
        RegisterClassExA(&wc);
        hwnd = CreateWindowExA(0, "WebKeys", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
    }
    void TearDown() override { headless::Reset(); }

    MSG Next() {
        MSG msg{};
        EXPECT_TRUE(PeekMessageA(&msg, hwnd, WM_KEYDOWN, WM_SYSKEYUP, PM_REMOVE | PM_NOYIELD));
        return msg;
    }

    HWND hwnd = nullptr;
};

TEST_F(WebKeyMessages, KeysWithAndWithoutAltAreTheMessagesWindowsSends) {
    webhost::PostKey(hwnd, VK_LEFT, 0x4B, true, true, false, false, false);
    MSG m = Next();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>(VK_LEFT));
    EXPECT_EQ(static_cast<DWORD>(m.lParam), 1u | 0x4Bu << 16 | 1u << 24);

    // Alt+Enter: Alt down, Enter as a system key with the context bit, both up.
    webhost::PostKey(hwnd, VK_MENU, 0x38, false, true, false, true, false);
    webhost::PostKey(hwnd, VK_RETURN, 0x1C, false, true, false, true, false);
    webhost::PostKey(hwnd, VK_RETURN, 0x1C, false, false, false, true, false);
    webhost::PostKey(hwnd, VK_MENU, 0x38, false, false, false, false, false);
    m = Next();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>(VK_MENU));
    m = Next();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>(VK_RETURN));
    EXPECT_NE(static_cast<DWORD>(m.lParam) & 1u << 29, 0u);
    m = Next();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_SYSKEYUP));
    EXPECT_NE(static_cast<DWORD>(m.lParam) & 1u << 31, 0u);
    m = Next();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYUP)) << "Alt was used with a key: no menu";

    // A lone Alt opens the menu: its release is a system key.
    webhost::PostKey(hwnd, VK_MENU, 0x38, false, true, false, true, false);
    webhost::PostKey(hwnd, VK_MENU, 0x38, false, false, false, false, false);
    Next();
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_SYSKEYUP));

    webhost::PostKey(hwnd, VK_F10, 0x44, false, true, false, false, false);
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_SYSKEYDOWN)) << "F10 is a system key";
    // AltGr (Alt with Ctrl) types ordinary keys.
    webhost::PostKey(hwnd, 'Q', 0x10, false, true, false, true, true);
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_KEYDOWN));
}

}  // namespace
