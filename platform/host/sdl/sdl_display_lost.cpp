// A lost display. Xlib's own answer to a broken connection is exit(), whose
// atexit SDL_Quit then waits on the dead connection for ever at a whole core;
// on Wayland SDL goes on pumping a dead connection and the game ends only by
// the quit SDL makes of it, seconds later and in silence. A Windows program
// whose session ends does not linger either: one line on the standard error
// stream, and the process is gone, without its exit handlers (nothing of the
// display is left to hand back).
#include <SDL_syswm.h>

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include "platform/host/sdl/sdl_host.h"

namespace sdlhost {
namespace {

[[noreturn]] void EndForLostDisplay() {
    static const char kLine[] = "tumbla: the display went away; the program ends.\n";
    ssize_t written = write(2, kLine, sizeof(kLine) - 1);
    (void)written;
    _exit(1);
}

int OnDisplayLost(Display*) { EndForLostDisplay(); }

// The socket of the Wayland connection SDL opened, asked of the library SDL
// loaded (so that nothing here needs it to link). libwayland sees a closed
// connection neither on reading (the end of the stream reads as nothing to
// read) nor on writing (a broken pipe is no error to it): the socket says.
int waylandSocket = -1;

}  // namespace

void EndWhenTheDisplayGoes() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && SDL_strcasecmp(driver, "x11") == 0) XSetIOErrorHandler(OnDisplayLost);
}

void WatchDisplayOf(SDL_Window* window) {
    if (waylandSocket >= 0) return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND) return;
    void* library = dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (!library) return;
    auto socketOf = reinterpret_cast<int (*)(void*)>(dlsym(library, "wl_display_get_fd"));
    if (socketOf) waylandSocket = socketOf(info.info.wl.display);
}

void EndIfTheDisplayWent() {
    if (waylandSocket < 0) return;
    pollfd watch{waylandSocket, POLLRDHUP, 0};
    if (poll(&watch, 1, 0) > 0 && (watch.revents & (POLLRDHUP | POLLHUP | POLLERR))) EndForLostDisplay();
}

}  // namespace sdlhost
