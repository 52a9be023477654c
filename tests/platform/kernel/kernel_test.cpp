// KERNEL32 over the headless host: waits and sleeps on the host's clock,
// resources, and the stand-in's one reset. What any KERNEL32 does with
// events and files is in kernel_conformance_test.cpp.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <chrono>

#include "platform/host/headless/headless.h"
#include "platform/kernel/resources.h"

namespace {

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override { headless::Reset(); }
    void TearDown() override { headless::Reset(); }
};

// ---- Events and waits on the host clock -----------------------------------

TEST_F(KernelTest, ATimeoutPassesOnTheHostClockAtOnce) {
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    headless::SetTime(1000);
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(e, 2000), WAIT_TIMEOUT);
    // The whole timeout on the host's clock, none of it on the real one.
    EXPECT_EQ(GetTickCount(), 3000u);
    EXPECT_EQ(timeGetTime(), 3000u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1000));
    // A signalled event takes no time at all.
    SetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 2000), WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), 3000u);
    CloseHandle(e);
}

TEST_F(KernelTest, SleepMovesTheHostClockByWhatItAsks) {
    headless::SetTime(50);
    Sleep(1);
    Sleep(250);
    EXPECT_EQ(GetTickCount(), 301u);
    EXPECT_EQ(headless::Sleeps(), 2);
    // An idle hook sees message-queue waits only, never a sleep.
    int idles = 0;
    headless::SetIdleHook([&](std::uint32_t) { ++idles; });
    Sleep(5);
    EXPECT_EQ(idles, 0);
    EXPECT_EQ(GetTickCount(), 306u);
    headless::SetIdleHook({});
}

// ---- Resources -------------------------------------------------------------

const std::uint8_t kWords[] = {'h', 'i'};
const std::uint8_t kEnglish[] = {'e', 'n'};
const std::uint8_t kJapanese[] = {'j', 'a'};

class ResourceTest : public KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        saved_ = platform::RegisteredResources();
        static const platform::EmbeddedResource table[] = {
            {{10, nullptr}, {5, nullptr}, 0x0411, kWords, sizeof kWords},
            {{-1, "TEXT"}, {-1, "GREETING"}, 0x0409, kEnglish, sizeof kEnglish},
            {{-1, "TEXT"}, {-1, "GREETING"}, 0x0411, kJapanese, sizeof kJapanese},
        };
        platform::RegisterResources(table);
    }
    void TearDown() override {
        platform::RegisterResources(saved_);
        KernelTest::TearDown();
    }
    std::span<const platform::EmbeddedResource> saved_;
};

TEST_F(ResourceTest, FoundByNumberByNameAndByLanguage) {
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(10));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, r), 2u);
    EXPECT_EQ(static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, r)))[0], 'h');
    EXPECT_EQ(FindResourceA(nullptr, "#5", MAKEINTRESOURCEA(10)), r);
    // Names match without regard to case; the user's language (the test
    // host's is Japanese) when none is asked for.
    HRSRC any = FindResourceA(nullptr, "greeting", "text");
    ASSERT_NE(any, nullptr);
    EXPECT_EQ(static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, any)))[0], 'j');
    HRSRC english = FindResourceExA(nullptr, "TEXT", "GREETING", 0x0409);
    EXPECT_EQ(static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, english)))[0], 'e');
    // A language the table lacks falls back to US English.
    EXPECT_EQ(FindResourceExA(nullptr, "TEXT", "GREETING", 0x0407), english);
}

TEST_F(ResourceTest, AMissingResourceSaysSo) {
    SetLastError(0);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(10)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceA(nullptr, nullptr, MAKEINTRESOURCEA(10)), nullptr);
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
    EXPECT_EQ(LockResource(nullptr), nullptr);
    EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
}

// ---- The stand-in's reset --------------------------------------------------

TEST_F(KernelTest, TheResetClosesWhatTheLastRunLeftOpen) {
    HANDLE e = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    HANDLE f = CreateFileA(".\\README.md", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    headless::SetTime(500);
    headless::Reset();
    EXPECT_FALSE(CloseHandle(e));
    EXPECT_FALSE(CloseHandle(f));
    EXPECT_EQ(GetTickCount(), 0u);
    EXPECT_EQ(headless::Sleeps(), 0);
}

}  // namespace
