// The software DirectDraw's objects, for its own files and the test host.
#pragma once

#include <ddraw.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::ddraw {

class DirectDraw;
class Surface;
class Palette;
class Clipper;

// What the emulated hardware and emulation layer report, and how much video
// memory the pretend card has. Tests may change them.
struct Config {
    DWORD helCaps;
    DWORD helFxCaps;
    std::size_t videoMemory;
};
Config DefaultConfig();
Config& CurrentConfig();

// Frees every live DirectDraw object as its last Release would, and forgets
// everything (tests).
void ResetForTests();

}  // namespace platform::ddraw
