// wsprintfA through the Windows API alone, as the error report uses it: the
// same tests run over the stand-in and, cross-compiled, over Wine's USER32.
// The double-byte cases expect the Japanese ANSI code page (932).
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

std::string Format(const char* format, ...) {
    char out[1100];
    std::memset(out, '#', sizeof(out));
    va_list args;
    va_start(args, format);
    int n = wvsprintfA(out, format, args);
    va_end(args);
    EXPECT_EQ(static_cast<int>(std::strlen(out)), n);
    return std::string(out, static_cast<std::size_t>(n));
}

TEST(Wsprintf, FormatsTheReportLine) {
    EXPECT_EQ(Format("%02d : %s", 1, "abc\n"), "01 : abc\n");
    EXPECT_EQ(Format("%02d : %s", 9, ""), "09 : ");
    EXPECT_EQ(Format("%02d", 123), "123");
    EXPECT_EQ(Format("%04d", 7), "0007");
}

TEST(Wsprintf, NumbersAsUser32WritesThem) {
    EXPECT_EQ(Format("%d|%i|%u", -42, 17, 42u), "-42|17|42");
    EXPECT_EQ(Format("%u", -1), "4294967295");
    EXPECT_EQ(Format("%d", INT_MIN), "-2147483648");
    EXPECT_EQ(Format("%x|%X|%#x|%#X", 0xBEEFu, 0xBEEFu, 0x1Fu, 0x1Fu), "beef|BEEF|0x1f|0X1F");
    EXPECT_EQ(Format("%x", -1), "ffffffff");
    EXPECT_EQ(Format("[%5d][%-5d][%05d][%.3d]", 42, 42, -42, 7), "[   42][42   ][-0042][007]");
    EXPECT_EQ(Format("%ld %lu %lx", 5L, 6UL, 255UL), "5 6 ff");
    EXPECT_EQ(Format("%I64d", static_cast<long long>(-5000000000LL)), "-5000000000");
}

TEST(Wsprintf, TextsCharactersAndOddities) {
    EXPECT_EQ(Format("%s|%.2s|%5s|%-5s|", "text", "text", "ab", "ab"), "text|te|   ab|ab   |");
    EXPECT_EQ(Format("%s", static_cast<const char*>(nullptr)), "(null)");
    EXPECT_EQ(Format("%c%c", 'o', 'k'), "ok");
    EXPECT_EQ(Format("100%%"), "100%");
    EXPECT_EQ(Format("%y"), "y") << "an unknown type letter is written as it stands";
    EXPECT_EQ(Format("end%"), "end");
    const std::uint16_t wide[] = {u'W', 0x30A2, 0};  // "Wア"
    EXPECT_EQ(Format("%S", wide), "W\x83\x41");
}

TEST(Wsprintf, StopsAt1023CharactersAndATerminator) {
    std::string longText(2000, 'a');
    char out[1100];
    std::memset(out, '#', sizeof(out));
    EXPECT_EQ(wsprintfA(out, "%s", longText.c_str()), 1023);
    EXPECT_EQ(out[1023], '\0');
    EXPECT_EQ(out[1024], '#');
    // Cut in the middle of a double-byte character: the lead byte goes too.
    std::string dbcs = std::string(1022, 'a') + "\x91\xB1";
    EXPECT_EQ(wsprintfA(out, "%s", dbcs.c_str()), 1022);
}

}  // namespace
