// The program's three WAVE resources for tests: embedded by the build when it
// can, otherwise registered here from the committed files, beside whatever
// else is embedded.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/kernel/resources.h"

namespace wave_resources {

inline std::filesystem::path ResourcesDir() {
    // __FILE__ is relative to the build folder when a compiler cache rewrote
    // the paths; the tests run from the source folder.
    auto beside = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "resources";
    return std::filesystem::exists(beside) ? beside : std::filesystem::path("resources");
}

inline std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::uint8_t> EffectFile(int id) {
    return ReadAll(ResourcesDir() / ("sfx" + std::to_string(id) + ".wav"));
}

inline void EnsureWaveResources() {
    if (FindResourceA(nullptr, MAKEINTRESOURCEA(118), "WAVE")) return;
    static std::vector<std::uint8_t> files[3];
    static std::vector<platform::EmbeddedResource> table;
    auto existing = platform::RegisteredResources();
    table.assign(existing.begin(), existing.end());
    for (int i = 0; i < 3; ++i) {
        files[i] = EffectFile(118 + i);
        table.push_back({{-1, "WAVE"}, {118 + i, nullptr}, 1041, files[i].data(), files[i].size()});
    }
    platform::RegisterResources(table);
}

}  // namespace wave_resources
