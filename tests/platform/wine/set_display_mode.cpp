// Sets the display mode as another program (or the desktop coming back after
// it) would while the game is in the background: set_display_mode WIDTH
// HEIGHT BITS. The Wine stage uses it to take the game's 8-bit full-screen
// mode away, as Windows or Wine does when another window comes to the front.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: set_display_mode WIDTH HEIGHT BITS\n");
        return 2;
    }
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = static_cast<DWORD>(std::atoi(argv[1]));
    mode.dmPelsHeight = static_cast<DWORD>(std::atoi(argv[2]));
    mode.dmBitsPerPel = static_cast<DWORD>(std::atoi(argv[3]));
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    LONG result = ChangeDisplaySettingsA(&mode, 0);
    std::printf("ChangeDisplaySettings: %ld\n", result);
    return result == DISP_CHANGE_SUCCESSFUL ? 0 : 1;
}
