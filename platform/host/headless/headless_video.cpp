#include "platform/host/headless/headless_video.h"

#include "platform/ddraw/ddraw_internal.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/screen.h"

namespace headless {

void SetEmulationCaps(DWORD caps, DWORD fxCaps) {
    auto& c = platform::ddraw::CurrentConfig();
    c.helCaps = caps;
    c.helFxCaps = fxCaps;
}

void SetVideoMemory(std::size_t bytes) { platform::ddraw::CurrentConfig().videoMemory = bytes; }

int ScreenWidth() { return platform::video::TheScreen().width; }
int ScreenHeight() { return platform::video::TheScreen().height; }

std::uint8_t ScreenPixel(int x, int y) {
    auto& s = platform::video::TheScreen();
    if (x < 0 || y < 0 || x >= s.width || y >= s.height) return 0;
    return s.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.pitch) + static_cast<std::size_t>(x)];
}

PALETTEENTRY ScreenPaletteEntry(int index) {
    return platform::video::TheScreen().palette[static_cast<std::size_t>(index & 255)];
}

}  // namespace headless
