// The host's screen: the emulated display's picture, its mode and refresh,
// and message boxes. Used by platform/ddraw, platform/user and platform/video.
#pragma once

#include <cstdint>

#include "win/gdi.h"

namespace host {

// The emulated desktop: size and colour depth. Palette-based (8 bits) unless
// a test or the host says otherwise.
struct DesktopMode {
    int width;
    int height;
    int bitsPerPixel;
};
DesktopMode Desktop();
// Exclusive full-screen mode of the given size; the host shows the whole
// picture on its screen with the 4:3 shape kept. Restore returns to the desktop.
bool SetDisplayMode(int width, int height, int bitsPerPixel);
void RestoreDisplayMode();
bool InFullScreenMode();

// The visible primary surface changed: the host shows `pixels` (8-bit indices
// through `palette`). In window mode `clientLeft/Top/Width/Height` is the
// window's client area on the emulated desktop, which the host scales into its
// window; in full screen the whole picture is shown.
//
// `written`, when not null, says which pixels may differ from the picture as
// it was at the end of present number `writtenSince`: for each image row the
// columns [from, to) written since (none when from >= to). A host that showed
// that present needs to look at no other pixel; null means anything may have
// changed.
struct RowSpan {
    int from = 0, to = 0;
};
struct ScreenImage {
    const std::uint8_t* pixels;
    int pitch;
    int width;
    int height;
    const PALETTEENTRY* palette;  // 256 entries
    const RowSpan* written = nullptr;
    std::uint64_t writtenSince = 0;
};
void ShowScreen(const ScreenImage& image);

// The emulated display refreshes at 60 Hz on the host's clock, whatever the
// host's monitor does. Refreshes() is how many refreshes have begun since the
// host started, with the fraction of the current one that has passed; a
// refresh begins with its vertical blank. WaitForRefresh blocks until the next
// one begins (a host standing for a driver whose wait returns at once may
// return at once).
double Refreshes();
void WaitForRefresh();

// A message box with UTF-8 texts; blocks until dismissed and returns the
// button's IDOK/IDCANCEL value.
int ShowMessageBox(const char* utf8Text, const char* utf8Caption, unsigned type);

}  // namespace host
