// Files of kinds Windows has no plain counterpart for: a pipe (FIFO), a
// socket, a device. None may hold the program: each opens (or fails) at
// once and reads without waiting.
#include <windows.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/winmm/midi_file.h"

namespace {

class HostFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const char* out = std::getenv("TUMBLA_TEST_OUT");
        std::string base = std::string(out ? out : "/tmp") + "/host-files-XXXXXX";
        ::mkdir(out ? out : "/tmp", 0755);
        ASSERT_NE(mkdtemp(base.data()), nullptr);
        folder_ = base;
        // A call that waits for ever ends the test program instead.
        alarm(10);
    }
    void TearDown() override {
        alarm(0);
        std::string command = "rm -rf '" + folder_ + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    static HANDLE Open(const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }

    std::string folder_;
};

TEST_F(HostFiles, APipeOpensAtOnceAndReadsWhatItHasWithoutWaiting) {
    std::string fifo = folder_ + "/song.mid";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    HANDLE h = Open(fifo);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    // No size, as for any handle that is not a disk file; no writer: the end.
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    char buffer[16];
    DWORD got = 99;
    EXPECT_TRUE(ReadFile(h, buffer, sizeof(buffer), &got, nullptr));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);

    // A writer that is silent: the read answers as a no-wait pipe does.
    int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    EXPECT_FALSE(ReadFile(h, buffer, sizeof(buffer), &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_DATA));
    ASSERT_EQ(write(writer, "MThd", 4), 4);
    EXPECT_TRUE(ReadFile(h, buffer, sizeof(buffer), &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "MThd");
    close(writer);
    EXPECT_TRUE(CloseHandle(h));

    // The MCI sequencer's reader refuses it as no song.
    platform::midi::SongEvents song;
    EXPECT_EQ(platform::midi::LoadMidiFile(fifo, song), platform::midi::FileResult::Invalid);
}

TEST_F(HostFiles, ASocketAFolderAndADevice) {
    std::string socketPath = folder_ + "/socket";
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(s, 1), 0);
    EXPECT_EQ(Open(socketPath), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    close(s);

    // A folder opened as a file is refused, for reading and for writing.
    EXPECT_EQ(Open(folder_), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CreateFileA(folder_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    platform::midi::SongEvents song;
    EXPECT_EQ(platform::midi::LoadMidiFile(folder_, song), platform::midi::FileResult::Invalid);

    // An endless device has no size either, so a reader that sizes first
    // reads nothing from it.
    HANDLE zero = Open("/dev/zero");
    ASSERT_NE(zero, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(zero, nullptr), 0u);
    char buffer[4] = {1, 1, 1, 1};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(zero, buffer, sizeof(buffer), &got, nullptr));
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(buffer[3], 0);
    CloseHandle(zero);
}

}  // namespace
