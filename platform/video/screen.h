// The emulated display that GDI and DirectDraw share: its mode, the 8-bit
// frame buffer that window device contexts and a windowed primary surface
// draw on, and the hardware palette through which the host shows it.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <vector>

namespace platform::video {

struct Mode {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    bool operator==(const Mode&) const = default;
};

// The exclusive mode a DirectDraw program set, or else the host's desktop
// as the host last reported it.
Mode CurrentMode();
bool ExclusiveModeSet();
// Changes the display mode (DirectDraw's SetDisplayMode/RestoreDisplayMode).
// Every change moves the mode generation on, which is how video-memory and
// primary surfaces learn that they are lost. Out of memory for the new
// mode's frame buffer, SetExclusiveMode throws std::bad_alloc with nothing
// changed; RestoreDesktopMode gives the old buffer back first.
bool SetExclusiveMode(const Mode& mode);
void RestoreDesktopMode();
unsigned ModeGeneration();
// The host's desktop changed (reported from its event pump): on the desktop
// the frame buffer follows it, and the mode generation moves on.
void DesktopChanged();

// The frame buffer of the current mode, rows `pitch` bytes apart: one byte
// per pixel, an index into the hardware palette, or in an exclusive 16-bit
// mode two, 5-6-5 RGB. A new mode gives a new, cleared buffer; nothing else
// moves it.
struct Screen {
    std::vector<std::uint8_t> pixels;
    int width = 0;
    int height = 0;
    int pitch = 0;
    int bytesPerPixel = 1;
    Mode mode;
    std::array<PALETTEENTRY, 256> palette{};  // the hardware palette
};
Screen& TheScreen();
// A lock on the screen holds its memory: a buffer a mode change replaces is
// freed only once nothing holds any.
void HoldScreenMemory();
void LetGoOfScreenMemory();

// The twenty colours Windows keeps in a 256-colour system palette
// (entries 0-9 and 246-255), and the system palette at start: those colours
// with black in between.
const std::array<PALETTEENTRY, 256>& DefaultSystemPalette();
// Realises a palette into the hardware palette. With `keepStatic` (a window
// on the desktop) the twenty static entries stay the system's own.
void SetHardwarePalette(const PALETTEENTRY* entries, bool keepStatic);

// What was written to the frame buffer since the last present, so that the
// next one looks at no other pixel: a frame that changes little is shown
// without comparing the whole picture with the last one. Every writer tells:
// the rectangle or row's columns it wrote, or, not knowing, everything.
void ScreenWritten();
void ScreenWritten(const RECT& rect);
void ScreenRowWritten(int y, int from, int to);

// Shows the visible picture on the host: the client area of `window` in
// window mode (the last window shown when it is null), the whole screen in an
// exclusive mode. The hosts show 256 colours: a 16-bit screen reaches them
// through a fixed palette of 3-3-2 RGB.
void Present(HWND window);

// Nearest palette entry to a colour by squared distance in RGB; on a tie the
// lowest index wins.
std::uint8_t NearestIndex(const PALETTEENTRY* palette, std::uint8_t r, std::uint8_t g, std::uint8_t b);
// The same for a whole 256-entry table of source colours at once.
void BuildNearestMap(const PALETTEENTRY* palette, const RGBQUAD* colours, int count, std::uint8_t* map);

// 5-6-5 RGB pixels to the indices of the 3-3-2 palette, and that palette.
void ConvertRgb565ToRgb332(const std::uint8_t* src, int srcPitch, int width, int height, std::uint8_t* dst,
                           int dstPitch);
const std::array<PALETTEENTRY, 256>& Rgb332Palette();

// Back to the state at start (tests).
void ResetForTests();

}  // namespace platform::video
