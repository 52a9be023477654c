// What the files of the SDL host share. The host brings up SDL's video,
// events, joystick and game-controller subsystems on first use; the audio
// files add their own subsystem with SDL_InitSubSystem(SDL_INIT_AUDIO).
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

#include <windows.h>

#include "platform/host/host_events.h"
#include "platform/host/host_video.h"

namespace sdlhost {

// SDL's video and event subsystems, brought up once. False when there is no
// display; the reason has then been written to standard error.
bool VideoReady();
// End the program at once, with one line, when the display it shows on goes
// away (sdl_display_lost.cpp): on X from the moment video is up; on Wayland
// once a window has shown where the connection is, at the next look after
// SDL has read the events.
void EndWhenTheDisplayGoes();
void WatchDisplayOf(SDL_Window* window);
void EndIfTheDisplayWent();
// The X connection of the first window on X (sdl_x11_wake.cpp), and whether
// it has events for SDL's pump: 1 yes, 0 no, -1 not known (no window on X).
void WatchX11Events(SDL_Window* window);
int X11EventsWaiting();
// The joystick and game-controller subsystems (they need no display).
bool InputReady();

// The emulated desktop's origin on the host's screen (its first display).
SDL_Point DesktopOrigin();

// Windows: the emulated window behind an SDL window and back, the window
// that shows the screen (the first visible one), and what the window and
// mouse events do to them.
HWND WindowFromId(std::uint32_t windowId);
SDL_Window* SdlWindowOf(HWND hwnd);
// The window the screen shows (USER decides which).
using platform::user::ScreenWindow;
void HandleWindowEvent(const SDL_WindowEvent& event);
// A pointer position in an SDL window, in the client coordinates of its
// emulated window.
POINT ToClient(HWND hwnd, int x, int y);
// Shows or hides the pointer as the application's cursor says. After a
// display change or activation the window is asked again (WM_SETCURSOR) at
// the next pump, as Windows does with the mouse move it makes up then.
void RefreshCursor();
void MarkCursorStale();
void AskCursorIfStale();
// The desktop's mode is asked of SDL again after its next pump, where it
// learns of a new one.
void ForgetDesktop();
// Brings the SDL window of the screen forward with the keyboard focus.
void RaiseScreenWindow();

// Keys: the Windows virtual key and PC scan code of an SDL scan code that
// types `layoutKey` on the current layout.
struct KeyCode {
    int virtualKey;  // 0: a key Windows programs never see
    int scanCode;
    bool extended;
};
KeyCode TranslateKey(SDL_Scancode scancode, SDL_Keycode layoutKey);

// The picture by Xlib on an 8-bit X screen, where SDL has no renderer:
// started for a window whose visual allows it, shown at `place` in the
// window (the client's part `area` of the image), ended with the window.
bool StartX11Picture(SDL_Window* sdl);
void ShowX11Picture(SDL_Window* sdl, const host::ScreenImage& image, const SDL_Rect& area, const SDL_Rect& place);
void EndX11Picture(SDL_Window* sdl);

// The X server's resource database as text (sdl_x11_resources.cpp); empty
// without one.
std::string XResources();

// The joystick: hot-plug events.
void HandleJoystickEvent(const SDL_Event& event);

}  // namespace sdlhost
