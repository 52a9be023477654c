// One keyboard on every host: the same key events, as SDL and a browser
// report them on US, German, French, Russian and Greek layouts, through each
// host's translation into USER's one table, which GetAsyncKeyState,
// GetKeyState and the window's messages read. Letters and digits go by what
// the layout types, as Windows maps its virtual keys; every other key by its
// place. The scan code is always the place's, as lParam carries it.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/host/headless/headless.h"
#include "tests/support/plain_window.h"
#include "platform/host/host_events.h"
#include "platform/host/sdl/sdl_host.h"
#include "platform/host/web/web_keys.h"

namespace {

struct Press {
    SDL_Scancode sdl;
    const char* code;   // the browser's name of the place
    const char* typed;  // what the layout types there (UTF-8), or the key's name
    int vk, scan;
    bool extended;
};

// clang-format off
constexpr Press kPresses[] = {
    {SDL_SCANCODE_Z, "KeyZ", "z", 'Z', 0x2C, false},              // US
    {SDL_SCANCODE_Y, "KeyY", "z", 'Z', 0x15, false},              // German: Z and Y swap
    {SDL_SCANCODE_Z, "KeyZ", "y", 'Y', 0x2C, false},
    {SDL_SCANCODE_W, "KeyW", "z", 'Z', 0x11, false},              // French: Z and W, A and Q swap
    {SDL_SCANCODE_Q, "KeyQ", "a", 'A', 0x10, false},
    {SDL_SCANCODE_SEMICOLON, "Semicolon", "m", 'M', 0x27, false}, //   M right of L,
    {SDL_SCANCODE_M, "KeyM", ",", VK_OEM_COMMA, 0x32, false},     //   a comma where US has M
    {SDL_SCANCODE_1, "Digit1", "&", '1', 0x02, false},            //   digits unshifted: still digits
    {SDL_SCANCODE_2, "Digit2", "\u00e9", '2', 0x03, false},
    {SDL_SCANCODE_6, "Digit6", "-", '6', 0x07, false},
    {SDL_SCANCODE_Z, "KeyZ", "\u044f", 'Z', 0x2C, false},         // Russian: letters keep their place
    {SDL_SCANCODE_X, "KeyX", "\u0447", 'X', 0x2D, false},
    {SDL_SCANCODE_SEMICOLON, "Semicolon", "\u0436", VK_OEM_1, 0x27, false},
    {SDL_SCANCODE_LEFTBRACKET, "BracketLeft", "\u0445", VK_OEM_4, 0x1A, false},
    {SDL_SCANCODE_COMMA, "Comma", "\u0431", VK_OEM_COMMA, 0x33, false},
    {SDL_SCANCODE_Q, "KeyQ", ";", 'Q', 0x10, false},              // Greek types a semicolon on Q
    {SDL_SCANCODE_X, "KeyX", "\u03c7", 'X', 0x2D, false},
    {SDL_SCANCODE_LEFT, "ArrowLeft", "ArrowLeft", VK_LEFT, 0x4B, true},
    {SDL_SCANCODE_DOWN, "ArrowDown", "ArrowDown", VK_DOWN, 0x50, true},
    {SDL_SCANCODE_KP_4, "Numpad4", "4", VK_NUMPAD4, 0x4B, false},
    {SDL_SCANCODE_RETURN, "Enter", "Enter", VK_RETURN, 0x1C, false},
    {SDL_SCANCODE_KP_ENTER, "NumpadEnter", "Enter", VK_RETURN, 0x1C, true},
    {SDL_SCANCODE_ESCAPE, "Escape", "Escape", VK_ESCAPE, 0x01, false},
    {SDL_SCANCODE_SPACE, "Space", " ", VK_SPACE, 0x39, false},
    {SDL_SCANCODE_RSHIFT, "ShiftRight", "Shift", VK_SHIFT, 0x36, false},
    {SDL_SCANCODE_RCTRL, "ControlRight", "Control", VK_CONTROL, 0x1D, true},
    {SDL_SCANCODE_F10, "F10", "F10", VK_F10, 0x44, false},
};
// clang-format on

class Keys : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        hwnd = PlainWindow("Keys");
    }
    void TearDown() override { headless::Reset(); }

    // What the window got for the last key: its code and lParam.
    std::pair<WPARAM, DWORD> Message() {
        MSG m{}, last{};
        while (PeekMessageA(&m, hwnd, WM_KEYDOWN, WM_SYSKEYUP, PM_REMOVE | PM_NOYIELD)) last = m;
        return {last.wParam, static_cast<DWORD>(last.lParam)};
    }
    void Report(int vk, int scan, bool extended, bool down) {
        platform::user::ReportKey(hwnd, platform::user::HostKey{vk, scan, extended, down, false, false});
    }

    HWND hwnd = nullptr;
};

TEST_F(Keys, EveryHostsKeysReachTheOneTableAndTheWindowAlike) {
    for (const Press& p : kPresses) {
        const char* typed = p.typed;
        // SDL's code of a key that types a character is that character.
        char32_t c = static_cast<unsigned char>(typed[0]);
        if (c >= 0xC0) c = (c & 0x1F) << 6 | (static_cast<unsigned char>(typed[1]) & 0x3F);
        bool one = typed[c < 0x80 ? 1 : 2] == 0;
        sdlhost::KeyCode sdl =
            sdlhost::TranslateKey(p.sdl, one ? static_cast<SDL_Keycode>(c) : SDL_SCANCODE_TO_KEYCODE(p.sdl));
        webhost::WebKey web = webhost::TranslateKey(p.code, typed);
        for (auto [host, vk, scan, extended] : {std::tuple{"sdl", sdl.virtualKey, sdl.scanCode, sdl.extended},
                                                std::tuple{"web", web.virtualKey, web.scanCode, web.extended}}) {
            SCOPED_TRACE(std::string(host) + " " + p.code + " typing " + typed);
            EXPECT_EQ(vk, p.vk);
            DWORD lParam = 1u | static_cast<DWORD>(p.scan) << 16 | (p.extended ? 1u << 24 : 0);
            Report(vk, scan, extended, true);
            EXPECT_EQ(Message(), std::pair(static_cast<WPARAM>(p.vk), lParam));
            EXPECT_EQ(GetAsyncKeyState(p.vk), static_cast<SHORT>(0x8000));
            EXPECT_EQ(GetKeyState(p.vk) & 0x8000, 0x8000);
            Report(vk, scan, extended, false);
            EXPECT_EQ(Message(), std::pair(static_cast<WPARAM>(p.vk), lParam | 3u << 30));
            EXPECT_EQ(GetAsyncKeyState(p.vk), 0);
        }
    }
    EXPECT_EQ(webhost::TranslateKey("Numpad4", "ArrowLeft").virtualKey, VK_LEFT) << "the keypad without Num Lock";
    EXPECT_EQ(webhost::TranslateKey("Numpad5", "Clear").virtualKey, VK_CLEAR);
    EXPECT_EQ(webhost::TranslateKey("Fn", "Fn").virtualKey, 0) << "a key Windows programs never see";
    EXPECT_EQ(sdlhost::TranslateKey(SDL_SCANCODE_MUTE, SDLK_MUTE).virtualKey, 0);
}

TEST_F(Keys, AKeyGoesUpAsItWentDownAndEveryKeyLetsGoOnDeactivation) {
    // The layout changes while Z (German) is held: it goes up as Z.
    sdlhost::KeyCode z = sdlhost::TranslateKey(SDL_SCANCODE_Y, SDLK_z);
    Report(z.virtualKey, z.scanCode, z.extended, true);
    Report('Y', z.scanCode, z.extended, true);  // held: a repeat of the same key
    EXPECT_EQ(Message(), std::pair(static_cast<WPARAM>('Z'), 1u | 0x15u << 16 | 1u << 30));
    Report('Y', z.scanCode, z.extended, false);
    EXPECT_EQ(Message().first, static_cast<WPARAM>('Z'));
    EXPECT_EQ(GetAsyncKeyState('Z') | GetAsyncKeyState('Y'), 0);
    // The two keys of a pair, each under its own code and the pair's.
    headless::SetKey(VK_RSHIFT, true);
    EXPECT_EQ(Message(), std::pair(static_cast<WPARAM>(VK_SHIFT), 1u | 0x36u << 16));
    EXPECT_NE(GetAsyncKeyState(VK_SHIFT), 0);
    EXPECT_NE(GetAsyncKeyState(VK_RSHIFT), 0);
    EXPECT_EQ(GetAsyncKeyState(VK_LSHIFT), 0);
    // Keys held while the game goes to the background are let go, whatever
    // the host; their release, when it comes, still reaches the window.
    headless::SetKey(VK_LEFT, true);
    Message();
    platform::user::SetApplicationActive(false);
    EXPECT_EQ(GetAsyncKeyState(VK_LEFT) | GetAsyncKeyState(VK_SHIFT), 0);
    platform::user::SetApplicationActive(true);
    headless::SetKey(VK_LEFT, false);
    EXPECT_EQ(Message(), std::pair(static_cast<WPARAM>(VK_LEFT), 1u | 0x4Bu << 16 | 1u << 24 | 3u << 30));
    // Caps Lock's light: GetKeyState's low bit, turned by each press.
    headless::SetKey(VK_CAPITAL, true);
    headless::SetKey(VK_CAPITAL, false);
    EXPECT_EQ(GetKeyState(VK_CAPITAL), 1);
    headless::SetKey(VK_CAPITAL, true);
    EXPECT_EQ(GetKeyState(VK_CAPITAL), static_cast<SHORT>(0x8000));
}

}  // namespace
