// Where a relative path the program opens for reading is looked for: the
// working folder first, then the folder of the executable, then the data
// folder beside it (../share/tumbla), so that an installed or unpacked tree
// finds its song wherever it lies and whichever folder it is started from,
// as a Windows program started from its icon finds the files next to it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// A Windows path in the host's spelling: back-slashes become the host's
// separator; ".\x" stays relative.
std::string HostPath(std::string_view windowsPath);

// The folders a relative path is tried in after the working folder, for an
// executable in `executableFolder`.
std::filesystem::path DataFolderOf(const std::filesystem::path& executableFolder);

// The host path to open for reading: `hostPath` itself when it is absolute,
// exists in the working folder, or is found nowhere else; otherwise the first
// of the executable's folder and its data folder that holds it.
std::string FindDataFile(const std::string& hostPath, const std::filesystem::path& executableFolder);
std::string FindDataFile(const std::string& hostPath);

// Opens a host file as open(2) would with `flags`, never waiting: a pipe
// with no writer or a device that would block opens at once. -1 with errno
// set when it cannot be opened; a directory fails with EISDIR. `regular`
// tells a plain file from a pipe or device, which the caller reads without
// waiting and without a size.
int OpenHostFile(const std::string& path, int flags, bool& regular);

}  // namespace platform
