// Windows bitmaps made in the tests, written to files or put in place of the
// program's resources.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/kernel/resources.h"
#include "tests/graphics/bitmap_bytes.h"

namespace testbmp {

// A scratch folder for files written by one test program.
inline std::filesystem::path ScratchDir() {
    auto dir = std::filesystem::temp_directory_path() / ("tumbla-gfx-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::string path = (ScratchDir() / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

// Puts bitmap resources in place of the program's for one test.
class ResourceScope {
public:
    ResourceScope() : previous_(platform::RegisteredResources()) {}
    ~ResourceScope() { platform::RegisterResources(previous_); }
    void AddBitmap(int id, std::vector<std::uint8_t> data) {
        items_.push_back({id, std::move(data)});
        table_.clear();
        for (const auto& [itemId, bytes] : items_)
            table_.push_back(
                platform::EmbeddedResource{{2, nullptr}, {itemId, nullptr}, 0, bytes.data(), bytes.size()});
        platform::RegisterResources(table_);
    }

private:
    std::span<const platform::EmbeddedResource> previous_;
    std::vector<std::pair<int, std::vector<std::uint8_t>>> items_;
    std::vector<platform::EmbeddedResource> table_;
};

}  // namespace testbmp
