// The browser's keys as the game sees them: letters and digits by what they
// type on the player's layout, everything else by where it sits.
#include "platform/host/web/web_keys.h"
#include "platform/host/web/web_screen.h"

#include <gtest/gtest.h>

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

// The page's buffers hold 640x480: a larger mode is one the page lacks.
TEST(WebScreen, ModesLargerThanThePicturesBuffersAreRefused) {
    EXPECT_TRUE(webhost::ShowsMode(640, 480));
    EXPECT_TRUE(webhost::ShowsMode(320, 240));
    EXPECT_FALSE(webhost::ShowsMode(641, 480));
    EXPECT_FALSE(webhost::ShowsMode(640, 481));
    EXPECT_FALSE(webhost::ShowsMode(0, 480));
}

}  // namespace
