// MultiByteToWideChar on code page 932: what the error report relies on to
// show its Japanese texts on a Windows of any language. Windows API only.
#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(MultiByteToWideChar, CountsThenConvertsCodePage932WithItsTerminator) {
    const char* text =
        "\x82\xA0"
        "A\xB1";  // hiragana A, Latin A, half-width katakana A
    EXPECT_EQ(MultiByteToWideChar(932, 0, text, -1, nullptr, 0), 4);
    WCHAR wide[6] = {0x5555, 0x5555, 0x5555, 0x5555, 0x5555, 0x5555};
    ASSERT_EQ(MultiByteToWideChar(932, 0, text, -1, wide, 6), 4);
    EXPECT_EQ(wide[0], 0x3042);
    EXPECT_EQ(wide[1], 0x0041);
    EXPECT_EQ(wide[2], 0xFF71);
    EXPECT_EQ(wide[3], 0);
    EXPECT_EQ(wide[4], 0x5555) << "nothing written past the text";
}

TEST(MultiByteToWideChar, AGivenLengthConvertsNoTerminator) {
    WCHAR wide[4] = {0x5555, 0x5555, 0x5555, 0x5555};
    ASSERT_EQ(MultiByteToWideChar(932, 0,
                                  "\x88\x9F"
                                  "BC",
                                  3, wide, 4),
              2);
    EXPECT_EQ(wide[0], 0x4E9C);
    EXPECT_EQ(wide[1], 0x0042);
    EXPECT_EQ(wide[2], 0x5555);
}

TEST(MultiByteToWideChar, RefusesATooSmallBufferAndBadArguments) {
    WCHAR wide[2];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(932, 0, "abc", -1, wide, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(932, 0, "abc", 0, wide, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(932, 0, nullptr, 3, wide, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
