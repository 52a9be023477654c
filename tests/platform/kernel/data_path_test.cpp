// Relative paths the program reads are found in the working folder, then
// beside the executable, then in the data folder an installed tree keeps
// beside its bin/ folder; files opened to be written are not moved.
#include <gtest/gtest.h>

#include <windows.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/kernel/data_path.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

std::string Read(HANDLE h) {
    char buffer[64] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(h, buffer, sizeof(buffer), &got, nullptr));
    return std::string(buffer, got);
}

// An installed tree (prefix/bin, prefix/share/tumbla) and a working folder
// elsewhere, which the test works in.
class DataPath : public ::testing::Test {
protected:
    fs::path root, bin, share, work, oldWork;

    void SetUp() override {
        root = fs::temp_directory_path() / ("tumbla-data-path-" + std::to_string(getpid()));
        fs::remove_all(root);
        bin = root / "prefix" / "bin";
        share = root / "prefix" / "share" / "tumbla";
        work = root / "work";
        fs::create_directories(bin);
        fs::create_directories(work);
        oldWork = fs::current_path();
        fs::current_path(work);
    }
    void TearDown() override {
        fs::current_path(oldWork);
        fs::remove_all(root);
    }
};

TEST_F(DataPath, TheWorkingFolderComesFirstThenTheExecutablesFolderThenItsDataFolder) {
    const std::string song = platform::HostPath(".\\sample_data\\sw5.mid");
    EXPECT_EQ(song, "./sample_data/sw5.mid");
    // Nowhere: the path stays as given, so the open fails as it would have.
    EXPECT_EQ(platform::FindDataFile(song, bin), song);

    Write(share / "sample_data" / "sw5.mid", "share");
    EXPECT_EQ(fs::path(platform::FindDataFile(song, bin)), (share / "sample_data" / "sw5.mid").lexically_normal());

    Write(bin / "sample_data" / "sw5.mid", "bin");
    EXPECT_EQ(fs::path(platform::FindDataFile(song, bin)), (bin / "sample_data" / "sw5.mid").lexically_normal());

    Write(work / "sample_data" / "sw5.mid", "work");
    EXPECT_EQ(platform::FindDataFile(song, bin), song);
}

TEST_F(DataPath, AbsolutePathsAndFoldersAreNotLookedForElsewhere) {
    Write(share / "x.dat", "share");
    EXPECT_EQ(platform::FindDataFile((work / "x.dat").string(), bin), (work / "x.dat").string());
    // A folder of the name is no file to read.
    fs::create_directories(share / "d");
    EXPECT_EQ(platform::FindDataFile("d", bin), "d");
    EXPECT_EQ(platform::FindDataFile("x.dat", fs::path{}), "x.dat");
}

// CreateFileA over the running test program's own folder: the test writes
// a file beside the executable and reads it from a folder that lacks it.
TEST_F(DataPath, CreateFileAReadsBesideTheExecutableButWritesInTheWorkingFolder) {
    const fs::path exeFolder = fs::read_symlink("/proc/self/exe").parent_path();
    const std::string name = "data-path-probe-" + std::to_string(getpid()) + ".txt";
    Write(exeFolder / name, "beside");
    std::string windowsName = ".\\" + name;

    HANDLE h = CreateFileA(windowsName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Read(h), "beside");
    CloseHandle(h);

    h = CreateFileA(windowsName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(fs::exists(work / name)) << "a new file goes to the working folder";
    EXPECT_EQ(fs::file_size(exeFolder / name), 6u) << "the file beside the executable is untouched";

    Write(work / name, "here");
    h = CreateFileA(windowsName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Read(h), "here");
    CloseHandle(h);
    fs::remove(exeFolder / name);
}

}  // namespace
