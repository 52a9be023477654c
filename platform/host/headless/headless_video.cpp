#include "platform/host/headless/headless_video.h"

#include "platform/host/host_events.h"

namespace headless {

void SetEmulationCaps(DWORD caps, DWORD fxCaps) { platform::SetEmulationCaps(caps, fxCaps); }

void SetVideoMemory(std::size_t bytes) { platform::SetVideoMemory(bytes); }

int ScreenWidth() { return platform::CurrentScreen().width; }

std::uint8_t ScreenPixel(int x, int y) {
    auto s = platform::CurrentScreen();
    if (x < 0 || y < 0 || x >= s.width || y >= s.height) return 0;
    return s.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.pitch) + static_cast<std::size_t>(x)];
}

PALETTEENTRY ScreenPaletteEntry(int index) { return platform::CurrentScreen().palette[index & 255]; }

}  // namespace headless
