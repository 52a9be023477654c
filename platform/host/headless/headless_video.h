// The headless host's control of the emulated display: what the pretend
// video card and its emulation layer can do, and the screen's own pixels.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace headless {

// Capabilities the emulation layer reports to IDirectDraw::GetCaps.
void SetEmulationCaps(DWORD caps, DWORD fxCaps);
// The pretend card's video memory in bytes (4 MiB unless a test says otherwise).
void SetVideoMemory(std::size_t bytes);

// The emulated screen as it is now (not only as last shown).
int ScreenWidth();
std::uint8_t ScreenPixel(int x, int y);
PALETTEENTRY ScreenPaletteEntry(int index);

}  // namespace headless
