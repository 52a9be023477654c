// A host's key events as the messages Windows sends for them: which
// message, and the bits of lParam. Every host reports its keys to USER.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/host/headless/headless.h"
#include "platform/host/host_events.h"
#include "tests/support/plain_window.h"

namespace {

class KeyMessages : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        hwnd = PlainWindow("KeyMessages");
        ASSERT_NE(hwnd, nullptr);
    }
    void TearDown() override { headless::Reset(); }

    MSG Next() {
        MSG msg{};
        EXPECT_TRUE(PeekMessageA(&msg, hwnd, WM_KEYDOWN, WM_SYSKEYUP, PM_REMOVE | PM_NOYIELD));
        return msg;
    }

    void Key(const platform::user::HostKey& key) { platform::user::ReportKey(hwnd, key); }

    HWND hwnd = nullptr;
};

TEST_F(KeyMessages, KeysWithAndWithoutAltAreTheMessagesWindowsSends) {
    Key({VK_LEFT, 0x4B, true, true, false, false});
    MSG m = Next();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>(VK_LEFT));
    EXPECT_EQ(static_cast<DWORD>(m.lParam), 1u | 0x4Bu << 16 | 1u << 24);

    // Alt+Enter: Alt down, Enter as a system key with the context bit, both up.
    Key({VK_MENU, 0x38, false, true, true, false});
    Key({VK_RETURN, 0x1C, false, true, true, false});
    Key({VK_RETURN, 0x1C, false, false, true, false});
    Key({VK_MENU, 0x38, false, true, true, false});  // Alt held on repeats
    Key({VK_MENU, 0x38, false, false, false, false});
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
    Next();
    m = Next();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYUP)) << "Alt was used with a key, before it repeated: no menu";

    // A lone Alt opens the menu: its release is a system key.
    Key({VK_MENU, 0x38, false, true, true, false});
    Key({VK_MENU, 0x38, false, false, false, false});
    Next();
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_SYSKEYUP));

    Key({VK_F10, 0x44, false, true, false, false});
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_SYSKEYDOWN)) << "F10 is a system key";
    // AltGr (Alt with Ctrl) types ordinary keys, and opens no menu alone.
    Key({'Q', 0x10, false, true, true, true});
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_KEYDOWN));
    Key({VK_MENU, 0x38, false, true, true, true});
    Key({VK_MENU, 0x38, false, false, false, true});
    Next();
    EXPECT_EQ(Next().message, static_cast<UINT>(WM_KEYUP));

    // The last virtual key there is (VK_OEM_CLEAR) reaches the window; 0xFF,
    // which no key has, does not.
    Key({0xFE, 0, false, true, false, false});
    EXPECT_EQ(Next().wParam, 0xFEu);
    Key({0xFF, 0, false, true, false, false});
    MSG none{};
    EXPECT_FALSE(PeekMessageA(&none, hwnd, WM_KEYDOWN, WM_SYSKEYUP, PM_REMOVE | PM_NOYIELD));
}

}  // namespace
