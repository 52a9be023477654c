// The process entry on hosts without Windows: argv becomes the command line
// Windows would pass to WinMain (program name removed, arguments joined by
// spaces, quoted when they hold a space). --help and --version, which a
// program on this kind of host is expected to answer, are answered here
// without starting the game.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/host/host_audio.h"

#ifndef TUMBLA_VERSION
#define TUMBLA_VERSION "0.01"
#endif

namespace {

const char kHelp[] =
    "Usage: tumbla [/F] [/E] [/M] [/S]\n"
    "A falling-block puzzle game. Each switch is a letter after its own slash, in either case:\n"
    "  /F  start full screen (640x480, 256 colours)\n"
    "  /E  emulation-only display driver (no hardware acceleration)\n"
    "  /M  surfaces in system memory instead of video memory\n"
    "  /S  slow motion: one frame in every 129 ticks\n"
    "  --help     show this help and end\n"
    "  --version  show the version and end\n"
    "\n"
    "Keys (joystick in brackets):\n"
    "  Left, Right, keypad 4, 6   move the piece (stick left, right)\n"
    "  Z, Space                   turn counter-clockwise (button 1)\n"
    "  X, Enter                   turn clockwise (button 2)\n"
    "  Down, keypad 2             drop faster (stick down)\n"
    "  Alt+Enter                  window or full screen\n"
    "  Escape                     quit\n"
    "\n"
    "Music is played with a General MIDI soundfont: fluid-soundfont-gm or timgm6mb-soundfont,\n"
    "or the .sf2/.sf3 file named by TUMBLA_SOUNDFONT.\n";

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tumbla %s\n", TUMBLA_VERSION);
            return 0;
        }
    }
    std::string line;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (!line.empty()) line += ' ';
        if (arg.find(' ') != std::string::npos)
            line += '"' + arg + '"';
        else
            line += arg;
    }
    int code = WinMain(GetModuleHandleA(nullptr), nullptr, line.data(), SW_SHOWDEFAULT);
    // Windows stops a process's other threads before it tears anything down;
    // stop the audio callback the same way, since a game that ends by its
    // window closing leaves its sound and music devices open.
    host::AudioClose();
    // exit, not return: in the browser main runs on after its first wait
    // has handed control back to the page, and a late return reaches nobody.
    std::exit(code);
}
