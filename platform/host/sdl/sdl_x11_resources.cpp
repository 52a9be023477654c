// The X resource database's text (what xrdb loaded: Xft.dpi and the like),
// read over a connection of its own so that no window is needed yet.
#include <X11/Xlib.h>

#include "platform/host/sdl/sdl_host.h"

namespace sdlhost {

std::string XResources() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return {};
    const char* text = XResourceManagerString(display);
    std::string resources = text ? text : "";
    XCloseDisplay(display);
    return resources;
}

}  // namespace sdlhost
