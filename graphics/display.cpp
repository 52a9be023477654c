// Placeholder display until DirectDraw is brought up: set-up succeeds and
// marks the display ready, presenting and releasing do nothing else.
#include "graphics/display.h"

#include "shell/shell.h"

Display display;

LONG CreateDisplay(void) {
    display.width = 640;
    display.height = 480;
    display.bitsPerPixel = 8;
    launchOptions.displayReady = 1;
    return 1;
}

LONG PresentFrame(void) { return launchOptions.displayReady ? 1 : 0; }

LONG RestoreSurfaces(void) { return launchOptions.displayReady ? 1 : 0; }

LONG ReleaseDisplay(LONG) {
    if (!launchOptions.displayReady) return 0;
    launchOptions.displayReady = 0;
    return 1;
}
