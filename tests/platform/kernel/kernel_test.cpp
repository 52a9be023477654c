// KERNEL32 over the headless host: events and their waits on the host's
// clock, files, resources, and the stand-in's one reset.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/host/headless/headless.h"
#include "platform/kernel/resources.h"

namespace {

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override { headless::Reset(); }
    void TearDown() override { headless::Reset(); }
};

// ---- Events and waits ------------------------------------------------------

TEST_F(KernelTest, AnAutoResetEventLetsOneWaitThroughAndClears) {
    HANDLE e = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(e));
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(e));
}

TEST_F(KernelTest, AManualResetEventStaysSignalledUntilReset) {
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    SetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    ResetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    CloseHandle(e);
}

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

TEST_F(KernelTest, AnEventSetOnAnotherThreadEndsAnEndlessWait) {
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::thread setter([&] { SetEvent(e); });
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    setter.join();
    CloseHandle(e);
}

TEST_F(KernelTest, HandlesThatAreNotEventsAreRefused) {
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(e);
    EXPECT_FALSE(SetEvent(e));
    EXPECT_FALSE(CloseHandle(e));
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED);
}

// ---- Files -----------------------------------------------------------------

std::string TempPath(const char* name) {
    const char* dir = std::getenv("TUMBLA_TEST_OUT");
    std::string base = dir ? dir : "/tmp";
    return base + "/" + name;
}

TEST_F(KernelTest, AFileWrittenReadsBackWithItsSizeAndPosition) {
    std::string path = TempPath("kernel-file.bin");
    std::remove(path.c_str());
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(f, "TUMBLA", 6, &n, nullptr));
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(GetFileSize(f, nullptr), 6u);
    EXPECT_EQ(SetFilePointer(f, 2, nullptr, FILE_BEGIN), 2u);
    char buffer[8] = {};
    EXPECT_TRUE(ReadFile(f, buffer, 8, &n, nullptr));
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(std::string(buffer, 4), "MBLA");
    // At the end a read succeeds with nothing, as on Windows.
    EXPECT_TRUE(ReadFile(f, buffer, 8, &n, nullptr));
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(CloseHandle(f));
    EXPECT_FALSE(ReadFile(f, buffer, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(KernelTest, AMissingFileAndABackslashPath) {
    EXPECT_EQ(CreateFileA("no-such-file.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CreateFileA("", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    // The working directory is the repository: a Windows path finds its files.
    HANDLE f =
        CreateFileA(".\\tests\\platform\\kernel\\kernel_test.cpp", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
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
