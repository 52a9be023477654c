// A lost display. Xlib's own answer to a broken connection is exit(), whose
// atexit SDL_Quit then waits on the dead connection for ever at a whole core.
// A Windows program whose session ends does not linger either: one line on
// the standard error stream, and the process is gone, without its exit
// handlers (nothing of the display is left to hand back).
#include <X11/Xlib.h>
#include <unistd.h>

#include "platform/host/sdl/sdl_host.h"

namespace sdlhost {
namespace {

int OnDisplayLost(Display*) {
    static const char kLine[] = "tumbla: the display went away; the program ends.\n";
    ssize_t written = write(2, kLine, sizeof(kLine) - 1);
    (void)written;
    _exit(1);
}

}  // namespace

void EndWhenTheDisplayGoes() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && SDL_strcasecmp(driver, "x11") == 0) XSetIOErrorHandler(OnDisplayLost);
}

}  // namespace sdlhost
