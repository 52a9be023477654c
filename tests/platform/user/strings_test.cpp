// The string table and the code page 932 conversions: the game's texts come
// out of LoadStringA as the Japanese ANSI bytes. USER's formatter is in
// wsprintf_conformance_test.cpp.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <cstdint>
#include <string>

#include "platform/host/headless/headless.h"
#include "platform/kernel/resources.h"
#include "platform/user/user_internal.h"

namespace {

using platform::user::Cp932ToUtf8;

struct TableEntry {
    UINT id;
    int bytes;         // in code page 932
    const char* text;  // UTF-8
};

// Ids 2 to 13 as the program carries them.
const TableEntry kTable[] = {
    {2, 58, "w1初期化に失敗しました。\n\n取り扱い説明書を参照して下さい。"},
    {3, 32, "ｱﾌﾟﾘｹｰｼｮﾝの初期化に失敗しました\n"},
    {4, 50, "画面ﾓｰﾄﾞを、256色に設定してください(ｳｨﾝﾄﾞｳﾓｰﾄﾞ時)\n"},
    {5, 42, "DirectX(DirectDraw)の初期化に失敗しました\n"},
    {6, 43, "DirectX(DirectSound)の初期化に失敗しました\n"},
    {7, 83, "MIDIｽﾄﾘｰﾑの初期化に失敗しました（MIDIを使用している他のｱﾌﾟﾘｹｰｼｮﾝを終了して下さい）\n"},
    {8, 84, "ﾌｧｲﾙの操作に失敗しました（ﾌｧｲﾙが存在しないか、ﾃﾞｨｽｸが破損している可能性があります）\n"},
    {9, 78, "ﾒﾓﾘｰの操作に失敗しました（ﾒﾓﾘｰが足りません、他のｱﾌﾟﾘｹｰｼｮﾝを終了してください）\n"},
    {10, 55, "未確認ｴﾗｰが発生しました（Windowsの再起動を推奨します）\n"},
    {11, 72, "DirextX(Direct3D)の初期化に失敗しました（DirectX3以上のものが必要です）\n"},
    {12, 63, "\n終了します。（対処方法については、取り扱い説明書を御覧下さい）"},
    {13, 31, "続行不能なｴﾗｰが発生しました！\n\n"},
};

std::string Load(UINT id, int size = 256) {
    std::string buffer(static_cast<std::size_t>(size) + 8, '#');
    int n = LoadStringA(GetModuleHandleA(nullptr), id, buffer.data(), size);
    EXPECT_EQ(buffer[static_cast<std::size_t>(n)], '\0') << "string " << id << " is terminated";
    EXPECT_EQ(buffer[static_cast<std::size_t>(size)], '#') << "nothing written past the buffer";
    return buffer.substr(0, static_cast<std::size_t>(n));
}

TEST(LoadString, GivesEachTextInCodePage932WithItsByteCount) {
    for (const TableEntry& e : kTable) {
        std::string bytes = Load(e.id);
        EXPECT_EQ(static_cast<int>(bytes.size()), e.bytes) << "string " << e.id;
        EXPECT_EQ(Cp932ToUtf8(bytes), e.text) << "string " << e.id;
    }
    // A few bytes pinned: half-width katakana are single bytes, the
    // full-width brackets and kanji double.
    EXPECT_EQ(Load(3).substr(0, 3), "\xB1\xCC\xDF");       // ｱﾌﾟ
    EXPECT_EQ(Load(13).substr(0, 4), "\x91\xB1\x8D\x73");  // 続行
    EXPECT_EQ(Load(13).substr(6, 2), "\x94\x5C");          // 能, whose second byte is a backslash
    EXPECT_EQ(Load(12).substr(13, 2), "\x81\x69");         // （
}

// The same ids in the user's language: English for everyone but Japanese
// users, chosen as Windows chooses among a resource's languages.
TEST(LoadString, ChoosesTheTableOfTheUsersLanguage) {
    platform::SetUiLanguage(platform::kLanguageEnglishUs);
    EXPECT_EQ(Load(2), "w1The program could not start.\n\nPlease see the manual.");
    EXPECT_EQ(Load(6), "DirectX (DirectSound) could not be initialised\n");
    for (const TableEntry& e : kTable) {
        std::string text = Load(e.id);
        EXPECT_FALSE(text.empty()) << "string " << e.id;
        for (char c : text) EXPECT_GT(static_cast<unsigned char>(c), 0) << "ASCII only, string " << e.id;
        EXPECT_LT(text.size(), 255u) << "fits the report's buffers, string " << e.id;
    }
    // A language without a table of its own gets English; another Japanese
    // one gets the Japanese table by its primary language.
    platform::SetUiLanguage(0x407);  // German
    EXPECT_EQ(Load(5), "DirectX (DirectDraw) could not be initialised\n");
    platform::SetUiLanguage(0x0C11);  // Japanese of another sublanguage
    EXPECT_EQ(Cp932ToUtf8(Load(5)), kTable[3].text);
    // Asked for by language, the one asked for.
    HRSRC english = FindResourceExA(nullptr, RT_STRING, MAKEINTRESOURCEA(1), platform::kLanguageEnglishUs);
    HRSRC japanese = FindResourceExA(nullptr, RT_STRING, MAKEINTRESOURCEA(1), platform::kLanguageJapanese);
    ASSERT_TRUE(english && japanese);
    EXPECT_NE(english, japanese);
    platform::SetUiLanguage(platform::kLanguageJapanese);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(1), RT_STRING), japanese);
    EXPECT_EQ(Cp932ToUtf8(Load(2)), kTable[0].text);
}

TEST(UiLanguage, ComesFromTheLocaleAsPosixOrdersIt) {
    using platform::LanguageFromLocale;
    EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "ja_JP.UTF-8"), platform::kLanguageJapanese);
    EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "en_US.UTF-8"), platform::kLanguageEnglishUs);
    EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, nullptr), platform::kLanguageEnglishUs);
    EXPECT_EQ(LanguageFromLocale("", "", "C"), platform::kLanguageEnglishUs);
    EXPECT_EQ(LanguageFromLocale("", "ja_JP.eucJP", "de_DE.UTF-8"), platform::kLanguageJapanese);
    EXPECT_EQ(LanguageFromLocale("fr_FR.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8"), platform::kLanguageEnglishUs);
    EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "jv_ID"), platform::kLanguageEnglishUs) << "Javanese";
}

TEST(LoadString, IdsOutsideTheTableGiveNothing) {
    for (UINT id : {0u, 1u, 14u, 15u, 16u, 31u, 4096u, 65535u}) EXPECT_EQ(Load(id), "") << "string " << id;
    char untouched[4] = {'x', 'y', 'z', '\0'};
    EXPECT_EQ(LoadStringA(nullptr, 13, untouched, 0), 0);
    EXPECT_EQ(std::string(untouched), "xyz");
    EXPECT_EQ(LoadStringA(nullptr, 13, nullptr, 10), 0);
}

TEST(LoadString, CutsAShortBufferBetweenCharacters) {
    // "続行不能な" are five double-byte characters: nine bytes hold four.
    EXPECT_EQ(Load(13, 10), "\x91\xB1\x8D\x73\x95\x73\x94\x5C");
    EXPECT_EQ(Load(13, 11), "\x91\xB1\x8D\x73\x95\x73\x94\x5C\x82\xC8");
    EXPECT_EQ(Load(5, 8), "DirectX");
    EXPECT_EQ(Load(5, 1), "");
    // Exactly the text's size plus its terminator: all of it.
    EXPECT_EQ(Load(13, 32).size(), 31u);
    EXPECT_EQ(Load(13, 31).size(), 30u) << "the last newline does not fit";
}

// LoadStringW hands out the table's own UTF-16, whatever the ANSI code page,
// counted and cut in characters.
TEST(LoadString, TheWideTextIsTheTablesOwnCountedInCharacters) {
    WCHAR buffer[300];
    for (const TableEntry& e : kTable) {
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        int n = LoadStringW(GetModuleHandleA(nullptr), e.id, buffer, 256);
        EXPECT_EQ(platform::user::Utf16ToUtf8(std::u16string_view(buffer, static_cast<std::size_t>(n))), e.text)
            << "string " << e.id;
        EXPECT_EQ(buffer[n], u'\0') << "string " << e.id;
    }
    // "続行不能な..." cut to a buffer of four characters: three and the terminator.
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(LoadStringW(nullptr, 13, buffer, 4), 3);
    EXPECT_EQ(std::u16string_view(buffer, 5), std::u16string_view(u"続行不\0#", 5));
    EXPECT_EQ(LoadStringW(nullptr, 13, buffer, 1), 0);
    EXPECT_EQ(buffer[0], u'\0');
    // A missing string: empty and terminated.
    buffer[0] = u'x';
    EXPECT_EQ(LoadStringW(nullptr, 14, buffer, 10), 0);
    EXPECT_EQ(buffer[0], u'\0');
    // Size zero: a read-only pointer to the text in the resource, and its length.
    const WCHAR* inPlace = nullptr;
    EXPECT_EQ(LoadStringW(nullptr, 13, reinterpret_cast<LPWSTR>(&inPlace), 0), 18);
    ASSERT_NE(inPlace, nullptr);
    EXPECT_EQ(std::u16string_view(inPlace, 2), u"続行");
    EXPECT_EQ(LoadStringW(nullptr, 13, nullptr, 10), 0);
}

// Windows documents a string's precision in characters without saying what
// becomes of a double-byte one at the cut (Wine cuts it in two): the
// stand-in never leaves half a character behind.
TEST(Wsprintf, APrecisionNeverCutsADoubleByteCharacterInTwo) {
    char out[16];
    EXPECT_EQ(wsprintfA(out, "%.3s", "\x91\xB1\x8D\x73"), 2);
    EXPECT_STREQ(out, "\x91\xB1");
}

TEST(CodePage932, ConvertsWhatItCanAndMarksTheRest) {
    EXPECT_EQ(Cp932ToUtf8("A\\~"), "A\\~");
    EXPECT_EQ(Cp932ToUtf8("\xB1\xDF"), "ｱﾟ");
    EXPECT_EQ(Cp932ToUtf8("\x82\xA0"), "あ");
    EXPECT_EQ(Cp932ToUtf8("\x87\x40"), "①") << "an NEC extension of code page 932";
    EXPECT_EQ(Cp932ToUtf8("a\x82"), "a?") << "a lead byte cut off at the end";
    EXPECT_EQ(Cp932ToUtf8("\xA0"
                          "b"),
              "?b")
        << "a byte that is no character";
    const std::uint16_t wide[] = {0x3042, 0x0041, 0xFF71};
    EXPECT_EQ(platform::user::Utf16ToCp932(wide, 3),
              "\x82\xA0"
              "A\xB1");
    const std::uint16_t none[] = {0x0416, 0xAC00};  // Cyrillic Zhe is in 932, Hangul is not
    EXPECT_EQ(platform::user::Utf16ToCp932(none, 2), "\x84\x47?");
}

}  // namespace
