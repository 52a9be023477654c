// Pictures for tests, through libpng: a frame written as a compressed 8-bit
// indexed PNG for a person to look at, and any PNG read back as colours, so
// a golden picture saved by any tool compares pixel by pixel.
#include <png.h>

#include <cstring>
#include <vector>

#include "platform/host/headless/headless.h"

namespace headless {

bool WritePng(const std::string& path, const std::uint8_t* pixels, int width, int height, int pitch,
              const PALETTEENTRY* palette) {
    if (!pixels || !palette || width <= 0 || height <= 0 || pitch < width) return false;
    std::uint8_t colours[256 * 3];
    for (int i = 0; i < 256; ++i) {
        colours[3 * i] = palette[i].peRed;
        colours[3 * i + 1] = palette[i].peGreen;
        colours[3 * i + 2] = palette[i].peBlue;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB_COLORMAP;
    image.colormap_entries = 256;
    bool ok = png_image_write_to_file(&image, path.c_str(), 0, pixels, pitch, colours) != 0;
    png_image_free(&image);
    return ok;
}

bool ReadPng(const std::string& path, Picture& out) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    // Whatever the file holds (a palette, grey, 16-bit channels, alpha over
    // black), it comes out as 8-bit red, green and blue.
    image.format = PNG_FORMAT_RGB;
    // The header alone may claim up to a million pixels square, whose size
    // overflows PNG_IMAGE_SIZE: it is checked before anything is allocated.
    if (image.width > 16384 || image.height > 16384) {
        png_image_free(&image);
        return false;
    }
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (std::size_t i = 0; i < out.pixels.size(); ++i)
        out.pixels[i] = std::uint32_t{rgb[3 * i]} << 16 | std::uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2];
    return true;
}

}  // namespace headless
