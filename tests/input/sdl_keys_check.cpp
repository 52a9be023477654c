// The SDL host's keys: letters and digits by what the layout types on the
// key, as Windows maps its virtual keys; everything else by where the key is.
// The events are made as SDL reports them on German (QWERTZ), French
// (AZERTY), Russian and Greek keyboards: the scan code is the key's place,
// the key code the layout's character.
#include <gtest/gtest.h>

#include "platform/host/sdl/sdl_host.h"

namespace sdlhost {
// The translation needs no display; the check of GetAsyncKeyState does.
bool VideoReady() { return false; }
}  // namespace sdlhost

namespace {

using sdlhost::TranslateKey;

int Vk(SDL_Scancode place, SDL_Keycode typed) { return TranslateKey(place, typed).virtualKey; }

TEST(SdlKeys, TurnKeysAreTheKeysLabelledZAndXOnEveryLayout) {
    // US: the keys are where the labels are.
    EXPECT_EQ(Vk(SDL_SCANCODE_Z, SDLK_z), 'Z');
    EXPECT_EQ(Vk(SDL_SCANCODE_X, SDLK_x), 'X');
    // German: Z and Y swap places.
    EXPECT_EQ(Vk(SDL_SCANCODE_Y, SDLK_z), 'Z');
    EXPECT_EQ(Vk(SDL_SCANCODE_Z, SDLK_y), 'Y');
    // French: A and Q, Z and W swap; M sits right of L; the US M place types a comma.
    EXPECT_EQ(Vk(SDL_SCANCODE_W, SDLK_z), 'Z');
    EXPECT_EQ(Vk(SDL_SCANCODE_Z, SDLK_w), 'W');
    EXPECT_EQ(Vk(SDL_SCANCODE_Q, SDLK_a), 'A');
    EXPECT_EQ(Vk(SDL_SCANCODE_X, SDLK_x), 'X');
    EXPECT_EQ(Vk(SDL_SCANCODE_SEMICOLON, SDLK_m), 'M');
    EXPECT_EQ(Vk(SDL_SCANCODE_M, SDLK_COMMA), VK_OEM_COMMA);
}

// Where the layout types no Latin letter on a letter key, the key keeps the
// letter of its place, as on Windows: Z and X still turn the piece.
TEST(SdlKeys, LettersOfOtherScriptsKeepTheLetterOfTheirPlace) {
    const char* const kPlaces[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    const struct {
        const char* name;
        const char16_t* rows[3];
    } kLayouts[] = {
        {"Russian", {u"йцукенгшщз", u"фывапролд", u"ячсмить"}},
        // The Greek layout types a semicolon on the key of Q.
        {"Greek", {u";ςερτυθιοπ", u"ασδφγηξκλ", u"ζχψωβνμ"}},
    };
    for (const auto& layout : kLayouts)
        for (int row = 0; row < 3; ++row)
            for (int i = 0; kPlaces[row][i]; ++i) {
                char letter = kPlaces[row][i];
                // SDL's scan codes of the letters are in the US letters' order.
                auto at = static_cast<SDL_Scancode>(SDL_SCANCODE_A + (letter - 'A'));
                EXPECT_EQ(Vk(at, static_cast<SDL_Keycode>(layout.rows[row][i])), letter)
                    << layout.name << " " << letter;
            }
    // Their digits are digits, and the keys beside the letters keep their
    // places too, whatever letter they type.
    EXPECT_EQ(Vk(SDL_SCANCODE_1, SDLK_1), '1');
    EXPECT_EQ(Vk(SDL_SCANCODE_SEMICOLON, u'ж'), VK_OEM_1);
    EXPECT_EQ(Vk(SDL_SCANCODE_LEFTBRACKET, u'х'), VK_OEM_4);
    EXPECT_EQ(Vk(SDL_SCANCODE_COMMA, u'б'), VK_OEM_COMMA);
    // The scan code is still the place's.
    EXPECT_EQ(TranslateKey(SDL_SCANCODE_Z, u'я').scanCode, 0x2C);
}

TEST(SdlKeys, DigitsKeepTheirRowAndEveryOtherKeyItsPlace) {
    // French digit row types & é " ' unshifted: still VK_1.., as on Windows.
    EXPECT_EQ(Vk(SDL_SCANCODE_1, SDLK_AMPERSAND), '1');
    EXPECT_EQ(Vk(SDL_SCANCODE_2, 0xE9), '2');
    // Punctuation there too (the French 6 types a hyphen, the Czech 1 a plus).
    EXPECT_EQ(Vk(SDL_SCANCODE_6, SDLK_MINUS), '6');
    EXPECT_EQ(Vk(SDL_SCANCODE_1, SDLK_PLUS), '1');
    EXPECT_EQ(Vk(SDL_SCANCODE_0, SDLK_0), '0');
    // Position keys, whatever the layout says they type.
    const struct {
        SDL_Scancode place;
        SDL_Keycode typed;
        int vk;
        int scan;
        bool extended;
    } kPlaced[] = {
        {SDL_SCANCODE_LEFT, SDLK_LEFT, VK_LEFT, 0x4B, true},
        {SDL_SCANCODE_RIGHT, SDLK_RIGHT, VK_RIGHT, 0x4D, true},
        {SDL_SCANCODE_DOWN, SDLK_DOWN, VK_DOWN, 0x50, true},
        {SDL_SCANCODE_KP_4, SDLK_KP_4, VK_NUMPAD4, 0x4B, false},
        {SDL_SCANCODE_KP_2, SDLK_KP_2, VK_NUMPAD2, 0x50, false},
        {SDL_SCANCODE_RETURN, SDLK_RETURN, VK_RETURN, 0x1C, false},
        {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, VK_RETURN, 0x1C, true},
        {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, VK_ESCAPE, 0x01, false},
        {SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, VK_SHIFT, 0x2A, false},
        {SDL_SCANCODE_SPACE, SDLK_SPACE, VK_SPACE, 0x39, false},
        // A punctuation key that types punctuation keeps its code.
        {SDL_SCANCODE_SEMICOLON, SDLK_SEMICOLON, VK_OEM_1, 0x27, false},
    };
    for (const auto& k : kPlaced) {
        sdlhost::KeyCode key = TranslateKey(k.place, k.typed);
        EXPECT_EQ(key.virtualKey, k.vk) << SDL_GetScancodeName(k.place);
        EXPECT_EQ(key.scanCode, k.scan) << SDL_GetScancodeName(k.place);
        EXPECT_EQ(key.extended, k.extended) << SDL_GetScancodeName(k.place);
    }
    // The scan code stays the key's place, as Windows reports it.
    EXPECT_EQ(TranslateKey(SDL_SCANCODE_Y, SDLK_z).scanCode, 0x15);
}

}  // namespace
