// One whole frame of the real program, under scripted keys, against a
// committed picture. When they differ the test leaves the new frame and a
// picture of the differences in the test output folder for a person to look
// at; TUMBLA_UPDATE_GOLDEN=1 writes the new frame over the committed one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

#include "graphics/display.h"
#include "shell/shell.h"
#include "tests/support/game_harness.h"

namespace {

const char* const kGolden = "tests/game/golden/frame_300.png";
constexpr unsigned long kFrame = 300;

struct Frame {
    std::vector<std::uint8_t> pixels;
    std::vector<PALETTEENTRY> palette;
};

Frame Canvas() {
    Frame f;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    if (display.canvas == nullptr || display.canvas->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return f;
    const auto* bits = static_cast<const std::uint8_t*>(desc.lpSurface);
    for (int y = 0; y < 480; ++y) f.pixels.insert(f.pixels.end(), bits + y * desc.lPitch, bits + y * desc.lPitch + 640);
    display.canvas->Unlock(desc.lpSurface);
    f.palette.assign(display.paletteEntries, display.paletteEntries + 256);
    return f;
}

TEST(GoldenFrame, ThreeHundredFramesOfScriptedPlay) {
    harness::ResetAll();
    // Keys held from a frame on, until the next entry.
    // clang-format off
    const std::map<unsigned long, std::vector<int>> script = {
        {20, {VK_LEFT}},   {24, {}},  {40, {'X'}},     {41, {}},  {60, {VK_DOWN}}, {75, {}},  {120, {VK_RIGHT}},
        {126, {}},         {130, {VK_SPACE}}, {131, {}}, {200, {VK_DOWN}}, {212, {}}, {240, {VK_LEFT}}, {244, {}},
    };
    // clang-format on
    Frame frame;
    harness::RunFrames("", kFrame, [&](unsigned long f) {
        // Keys for the next frame are set before it polls the pad.
        if (auto it = script.find(f + 1); it != script.end()) {
            headless::ReleaseAllKeys();
            for (int vk : it->second) headless::SetKey(vk, true);
        }
        if (f == kFrame) frame = Canvas();
    });
    ASSERT_EQ(frame.pixels.size(), 640u * 480u);

    const char* out = std::getenv("TUMBLA_TEST_OUT");
    std::filesystem::path folder = out ? out : ".";
    std::filesystem::create_directories(folder);
    if (const char* update = std::getenv("TUMBLA_UPDATE_GOLDEN"); update && *update == '1') {
        ASSERT_TRUE(headless::WritePng(kGolden, frame.pixels.data(), 640, 480, 640, frame.palette.data()));
        GTEST_SKIP() << "wrote " << kGolden;
    }

    headless::Picture golden;
    bool have = headless::ReadPng(kGolden, golden) && golden.width == 640 && golden.height == 480;
    int differing = 0;
    std::vector<std::uint8_t> diff(640 * 480, 0);
    PALETTEENTRY diffPalette[256] = {};
    diffPalette[1] = PALETTEENTRY{255, 0, 255, 0};
    for (int i = 2; i < 256; ++i) diffPalette[i] = PALETTEENTRY{BYTE(i / 4), BYTE(i / 4), BYTE(i / 4), 0};
    for (std::size_t i = 0; have && i < frame.pixels.size(); ++i) {
        const PALETTEENTRY& a = frame.palette[frame.pixels[i]];
        bool same = (std::uint32_t{a.peRed} << 16 | std::uint32_t{a.peGreen} << 8 | a.peBlue) == golden.pixels[i];
        diff[i] = same ? static_cast<std::uint8_t>(2 + (a.peRed + a.peGreen + a.peBlue) / 3 % 254) : 1;
        differing += same ? 0 : 1;
    }
    if (!have || differing > 0) {
        auto now = (folder / "frame_300.png").string();
        auto marked = (folder / "frame_300_diff.png").string();
        headless::WritePng(now, frame.pixels.data(), 640, 480, 640, frame.palette.data());
        if (have) headless::WritePng(marked, diff.data(), 640, 480, 640, diffPalette);
        FAIL() << (have ? std::to_string(differing) + " pixels differ from " : std::string("cannot read ")) << kGolden
               << "; the new frame is " << now << (have ? ", the differences (magenta) " + marked : std::string());
    }
}

}  // namespace
