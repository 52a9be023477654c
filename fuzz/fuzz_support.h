// What the harnesses share: a scratch file per process for readers that take
// a path, and a resource table holding the input for readers that take a
// resource.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/kernel/resources.h"

namespace fuzz {

// A file of its own for each process, so that forked jobs do not share one;
// in memory where the system offers it, since it is written for every input.
inline const std::string& ScratchPath(const char* suffix) {
    static std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/tumbla-fuzz-" +
                              std::to_string(getpid()) + suffix;
    return path;
}

inline bool WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// The input as resource `id` of `type` (a number, or a name such as "WAVE"),
// the only resource of the program while the harness runs.
class InputResource {
public:
    InputResource(int type, const char* typeName, int id, const std::uint8_t* data, std::size_t size)
        : bytes_(data, data + size) {
        entry_.type = type >= 0 ? platform::ResourceName{type, nullptr} : platform::ResourceName{-1, typeName};
        entry_.name = platform::ResourceName{id, nullptr};
        entry_.language = 1041;
        entry_.data = bytes_.data();
        entry_.size = bytes_.size();
        platform::RegisterResources({&entry_, 1});
    }
    ~InputResource() { platform::RegisterResources({}); }

private:
    std::vector<std::uint8_t> bytes_;
    platform::EmbeddedResource entry_{};
};

}  // namespace fuzz
