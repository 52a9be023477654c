// The test host's pictures: what it writes is a compressed PNG that reads
// back as the same colours, and a PNG saved by any other tool reads too.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/host/headless/headless.h"

namespace {

std::string OutPath(const char* name) {
    const char* out = std::getenv("TUMBLA_TEST_OUT");
    std::filesystem::path folder = out ? out : ".";
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

TEST(Png, AFrameWrittenCompressedReadsBackAsItsColours) {
    std::vector<std::uint8_t> pixels(640 * 480);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i / 640 % 7);
    PALETTEENTRY palette[256] = {};
    for (int i = 0; i < 256; ++i) palette[i] = PALETTEENTRY{BYTE(i * 3), BYTE(255 - i), BYTE(i), 0};
    std::string path = OutPath("png_test_frame.png");
    ASSERT_TRUE(headless::WritePng(path, pixels.data(), 640, 480, 640, palette));
    EXPECT_LT(std::filesystem::file_size(path), 640u * 480u / 20) << "stored, not compressed";
    headless::Picture back;
    ASSERT_TRUE(headless::ReadPng(path, back));
    ASSERT_EQ(back.width, 640);
    ASSERT_EQ(back.height, 480);
    for (std::size_t i = 0; i < pixels.size(); i += 997) {
        const PALETTEENTRY& p = palette[pixels[i]];
        EXPECT_EQ(back.pixels[i], std::uint32_t{p.peRed} << 16 | std::uint32_t{p.peGreen} << 8 | p.peBlue) << i;
    }
}

TEST(Png, AnyToolsPngReadsAndBrokenFilesDoNot) {
    // Sixteen-bit grey with alpha, as an image editor may save it.
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = 3;
    image.height = 2;
    image.format = PNG_FORMAT_LINEAR_Y_ALPHA;
    const png_uint_16 grey[] = {0, 65535, 65535, 65535, 32768, 65535, 65535, 65535, 0, 65535, 65535, 0};
    std::string path = OutPath("png_test_grey16.png");
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, grey, 0, nullptr));
    headless::Picture read;
    ASSERT_TRUE(headless::ReadPng(path, read));
    ASSERT_EQ(read.pixels.size(), 6u);
    EXPECT_EQ(read.pixels[0], 0x000000u);
    EXPECT_EQ(read.pixels[1], 0xFFFFFFu);
    EXPECT_EQ(read.pixels[5], 0x000000u) << "transparent over black";

    std::string cut = OutPath("png_test_cut.png");
    std::FILE* f = std::fopen(cut.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 1, 16, f);
    std::fclose(f);
    EXPECT_FALSE(headless::ReadPng(cut, read));
    EXPECT_FALSE(headless::ReadPng(OutPath("no-such.png"), read));
}

}  // namespace
