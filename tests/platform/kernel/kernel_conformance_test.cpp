// KERNEL32's events and files through the Windows API alone: the same tests
// run over the stand-in and, cross-compiled, over Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

// ---- Events ----------------------------------------------------------------

TEST(Kernel, AnAutoResetEventLetsOneWaitThroughAndClears) {
    HANDLE e = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(e));
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(e));
}

TEST(Kernel, AManualResetEventStaysSignalledUntilReset) {
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    SetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    ResetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    CloseHandle(e);
}

TEST(Kernel, AnEventSetOnAnotherThreadEndsAnEndlessWait) {
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::thread setter([&] { SetEvent(e); });
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    setter.join();
    CloseHandle(e);
}

TEST(Kernel, HandlesThatAreNotEventsAreRefused) {
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
    std::string base = dir ? dir : ".";
    return base + "/" + name;
}

TEST(Kernel, AFileWrittenReadsBackWithItsSizeAndPosition) {
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

TEST(Kernel, AMissingFileAndABackslashPath) {
    EXPECT_EQ(CreateFileA("no-such-file.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CreateFileA("", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    // The working directory is the repository: a Windows path finds its files.
    HANDLE f = CreateFileA(".\\tests\\platform\\kernel\\kernel_conformance_test.cpp", GENERIC_READ, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
}

}  // namespace
