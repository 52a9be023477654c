#include "platform/kernel/data_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace platform {
namespace {

bool IsFile(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec);
}

// The folder of the running executable, looked up once: it does not move
// while the program runs. Empty where the host cannot say.
const std::filesystem::path& ExecutableFolder() {
    static const std::filesystem::path folder = [] {
        std::error_code ec;
        std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        return ec ? std::filesystem::path{} : exe.parent_path();
    }();
    return folder;
}

}  // namespace

std::string HostPath(std::string_view windowsPath) {
    std::string path(windowsPath);
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::filesystem::path DataFolderOf(const std::filesystem::path& executableFolder) {
    return executableFolder / ".." / "share" / "tumbla";
}

std::string FindDataFile(const std::string& hostPath, const std::filesystem::path& executableFolder) {
    std::filesystem::path path(hostPath);
    if (hostPath.empty() || path.is_absolute() || IsFile(path) || executableFolder.empty()) return hostPath;
    for (const auto& folder : {executableFolder, DataFolderOf(executableFolder)}) {
        std::filesystem::path candidate = folder / path;
        if (IsFile(candidate)) return candidate.lexically_normal().string();
    }
    return hostPath;
}

std::string FindDataFile(const std::string& hostPath) { return FindDataFile(hostPath, ExecutableFolder()); }

int OpenHostFile(const std::string& path, int flags, bool& regular) {
    // O_NONBLOCK: opening a FIFO waits for a writer otherwise, and a device
    // may wait for a carrier. It is taken off again for plain files.
    int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    regular = S_ISREG(st.st_mode);
    if (regular) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace platform
