// Whether the X connection has events for SDL's pump, asked without the
// pump: most looks at the queue find nothing, and SDL's whole pump reads the
// socket again and again and polls its other devices each time.
#include <SDL_syswm.h>

#include <X11/Xlib.h>

#include "platform/host/sdl/sdl_host.h"

namespace sdlhost {
namespace {

Display* watched = nullptr;

}  // namespace

void WatchX11Events(SDL_Window* window) {
    if (watched) return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) watched = info.info.x11.display;
}

int X11EventsWaiting() {
    if (!watched) return -1;
    // Flushes what is still to be sent and reads the socket once: events
    // Xlib or XCB read already count as well as those on the socket, and a
    // broken connection goes to the error handler as it would in the pump.
    return XPending(watched) > 0 ? 1 : 0;
}

}  // namespace sdlhost
