// The error report and the single-string message box: the texts in their
// fixed order and numbering between the header and the footer, the bits
// that stay, the icons and buttons chosen by a string's first letters, and
// the whole program ending after a report.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/host/headless/headless.h"
#include "platform/kernel/resources.h"
#include "platform/trace/trace.h"
#include "shell/report.h"
#include "shell/shell.h"
#include "tests/support/game_harness.h"

namespace {

const std::string kHeader = "続行不能なｴﾗｰが発生しました！\n\n";
const std::string kFooter = "\n終了します。（対処方法については、取り扱い説明書を御覧下さい）";
const std::string kDirectDraw = "DirectX(DirectDraw)の初期化に失敗しました\n";
const std::string kDirectSound = "DirectX(DirectSound)の初期化に失敗しました\n";
const std::string kScreenMode = "画面ﾓｰﾄﾞを、256色に設定してください(ｳｨﾝﾄﾞｳﾓｰﾄﾞ時)\n";

class Report : public ::testing::Test {
protected:
    void SetUp() override {
        harness::ResetAll();
        shell.instance = GetModuleHandleA(nullptr);
    }
    void TearDown() override { harness::ResetAll(); }

    const headless::MessageBoxRecord& OnlyBox() {
        EXPECT_EQ(headless::MessageBoxes().size(), 1u);
        static const headless::MessageBoxRecord none{};
        return headless::MessageBoxes().empty() ? none : headless::MessageBoxes().back();
    }

    // The one box went out in UTF-16: a Windows whose ANSI code page is not
    // Japanese would show the code page 932 bytes of MessageBoxA as other
    // letters.
    static void ExpectShownInUtf16() {
        auto calls = platform::TracedCalls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), std::string("MessageBoxW")), 1);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), std::string("MessageBoxA")), 0);
    }
};

TEST_F(Report, NothingRaisedShowsNothing) {
    errorFlags = 0;
    EXPECT_FALSE(ErrorReport());
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(Report, AFailedDisplayAloneIsLineOneBetweenHeaderAndFooter) {
    errorFlags = ERR_DIRECTDRAW;
    EXPECT_TRUE(ErrorReport());
    const auto& box = OnlyBox();
    EXPECT_EQ(box.text, kHeader + "01 : " + kDirectDraw + kFooter);
    EXPECT_EQ(box.caption, "TUMBLA Version 0.01");
    EXPECT_EQ(box.type, static_cast<unsigned>(MB_ICONHAND | MB_OK));
    EXPECT_EQ(errorFlags, 0u);
    ExpectShownInUtf16();
    // Loaded as UTF-16 too: no ANSI code page stands between the table and the box.
    auto calls = platform::TracedCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), std::string("LoadStringW")), 3);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), std::string("LoadStringA")), 0);
}

TEST_F(Report, LinesFollowTheTablesOrderNotTheOrderOfRaising) {
    errorFlags = ERR_DIRECTSOUND;
    errorFlags |= ERR_DIRECTDRAW;
    ErrorReport();
    EXPECT_EQ(OnlyBox().text, kHeader + "01 : " + kDirectDraw + "02 : " + kDirectSound + kFooter);

    headless::Reset();
    errorFlags = ERR_DIRECTDRAW | ERR_SCREEN_MODE;
    ErrorReport();
    EXPECT_EQ(OnlyBox().text, kHeader + "01 : " + kScreenMode + "02 : " + kDirectDraw + kFooter);
}

TEST_F(Report, EveryBitOfTheTableNumberedWithTwoDigits) {
    errorFlags = 0xFFFFFFFFu;
    ErrorReport();
    const std::vector<std::string> lines = {
        "ｱﾌﾟﾘｹｰｼｮﾝの初期化に失敗しました\n",
        kScreenMode,
        kDirectDraw,
        "DirextX(Direct3D)の初期化に失敗しました（DirectX3以上のものが必要です）\n",
        kDirectSound,
        "MIDIｽﾄﾘｰﾑの初期化に失敗しました（MIDIを使用している他のｱﾌﾟﾘｹｰｼｮﾝを終了して下さい）\n",
        "ﾌｧｲﾙの操作に失敗しました（ﾌｧｲﾙが存在しないか、ﾃﾞｨｽｸが破損している可能性があります）\n",
        "ﾒﾓﾘｰの操作に失敗しました（ﾒﾓﾘｰが足りません、他のｱﾌﾟﾘｹｰｼｮﾝを終了してください）\n",
        "未確認ｴﾗｰが発生しました（Windowsの再起動を推奨します）\n",
    };
    std::string expected = kHeader;
    for (std::size_t i = 0; i < lines.size(); ++i) expected += "0" + std::to_string(i + 1) + " : " + lines[i];
    expected += kFooter;
    EXPECT_EQ(OnlyBox().text, expected);
    // The joystick bit has no line and stays, as do bits outside the table.
    EXPECT_EQ(errorFlags, 0xFFFFFFFFu & ~0x872Fu);
    EXPECT_TRUE(errorFlags & ERR_JOYSTICK);
}

TEST_F(Report, AJoystickFailureAloneGivesHeaderAndFooterOnly) {
    errorFlags = ERR_JOYSTICK;
    EXPECT_TRUE(ErrorReport());
    EXPECT_EQ(OnlyBox().text, kHeader + kFooter);
    EXPECT_EQ(errorFlags, static_cast<DWORD>(ERR_JOYSTICK));
}

TEST_F(Report, String2ShowsFromItsThirdCharacterWithExclamationAndOk) {
    EXPECT_EQ(MessageBoxFromString(nullptr, 2), IDOK);
    const auto& box = OnlyBox();
    EXPECT_EQ(box.text, "初期化に失敗しました。\n\n取り扱い説明書を参照して下さい。");
    EXPECT_EQ(box.caption, "TUMBLA Version 0.01");
    EXPECT_EQ(box.type, static_cast<unsigned>(MB_TOPMOST | MB_ICONEXCLAMATION | MB_OK));
    ExpectShownInUtf16();
}

// A string table of our own, for the letters no string of the program uses.
class OwnStrings : public Report {
protected:
    std::vector<std::uint8_t> block;
    std::vector<platform::EmbeddedResource> table;
    std::span<const platform::EmbeddedResource> saved;

    void Use(const std::vector<std::u16string>& strings) {
        block.clear();
        for (std::size_t i = 0; i < 16; ++i) {
            std::u16string s = i < strings.size() ? strings[i] : u"";
            block.push_back(static_cast<std::uint8_t>(s.size()));
            block.push_back(0);
            for (char16_t c : s) {
                block.push_back(static_cast<std::uint8_t>(c & 0xFF));
                block.push_back(static_cast<std::uint8_t>(c >> 8));
            }
        }
        saved = platform::RegisteredResources();
        table = {platform::EmbeddedResource{{6, nullptr}, {1, nullptr}, 1041, block.data(), block.size()}};
        platform::RegisterResources(table);
    }
    void TearDown() override {
        if (!saved.empty()) platform::RegisterResources(saved);
        Report::TearDown();
    }
    unsigned TypeOf(UINT id) {
        headless::Reset();
        MessageBoxFromString(nullptr, id);
        return headless::MessageBoxes().empty() ? 0xFFFFFFFFu : headless::MessageBoxes().back().type;
    }
};

TEST_F(OwnStrings, TheFirstLettersChooseIconAndButtons) {
    Use({u"", u"a1", u"e2x", u"i3x", u"q1x", u"x2x", u"w3x", u"z9x", u"w", u""});
    EXPECT_EQ(TypeOf(1), static_cast<unsigned>(MB_TOPMOST | MB_ICONASTERISK | MB_OK));
    EXPECT_EQ(headless::MessageBoxes().back().text, "") << "nothing after the letters";
    EXPECT_EQ(TypeOf(2), static_cast<unsigned>(MB_TOPMOST | MB_ICONHAND | MB_YESNO));
    EXPECT_EQ(headless::MessageBoxes().back().text, "x");
    EXPECT_EQ(TypeOf(3), static_cast<unsigned>(MB_TOPMOST | MB_ICONINFORMATION | MB_RETRYCANCEL));
    EXPECT_EQ(TypeOf(4), static_cast<unsigned>(MB_TOPMOST | MB_ICONQUESTION | MB_OK));
    EXPECT_EQ(TypeOf(5), static_cast<unsigned>(MB_TOPMOST | MB_ICONEXCLAMATION | MB_YESNO));
    EXPECT_EQ(TypeOf(6), static_cast<unsigned>(MB_TOPMOST | MB_ICONEXCLAMATION | MB_RETRYCANCEL));
    EXPECT_EQ(TypeOf(7), static_cast<unsigned>(MB_TOPMOST | MB_OK)) << "unknown letters: no icon, OK";
    // Too short to hold both letters, or missing: an empty box with OK,
    // never a read past the text.
    EXPECT_EQ(TypeOf(8), static_cast<unsigned>(MB_TOPMOST | MB_OK));
    EXPECT_EQ(headless::MessageBoxes().back().text, "");
    EXPECT_EQ(TypeOf(9), static_cast<unsigned>(MB_TOPMOST | MB_OK));
    EXPECT_EQ(headless::MessageBoxes().back().text, "");
}

TEST_F(Report, TheProgramReportsAFailedStartInItsSecondFrameAndEnds) {
    platform::ArmFault({"DirectSoundCreate", static_cast<std::int32_t>(0x88780078)});
    platform::ArmFault({"DirectDrawCreate", static_cast<std::int32_t>(0x80004005)});
    DWORD reportedAt = 0;
    int code = harness::RunProgram("", [&](std::uint32_t) {
        if (!reportedAt && !headless::MessageBoxes().empty()) reportedAt = shell.frameCounter;
        return shell.frameCounter < 100;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(reportedAt, 2u) << "start-up in tick 1, the report in tick 2";
    EXPECT_EQ(shell.frameCounter, 3u) << "the quit step in tick 3 ends the loop";
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, kHeader + "01 : " + kDirectDraw + "02 : " + kDirectSound + kFooter);
}

}  // namespace
