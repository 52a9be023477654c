// What the SDL host picks for the desktop it finds: the kind of window
// surface, the scale of its windows and where the full-screen picture goes. Plain functions of
// what SDL and the desktop said, so that every choice can be tested without a display.
#pragma once

namespace sdlhost {

// SharedImage: SDL's window surface as X's shared memory image, no graphics
// library in between (framebuffer acceleration off). Renderer: the surface
// SDL makes through a renderer, the only one a Wayland window has.
enum class WindowSurface { SharedImage, Renderer };
// `driver` is SDL_GetCurrentVideoDriver()'s answer.
WindowSurface ChooseWindowSurface(const char* driver);

// The value of Xft.dpi in an X resource string (XResourceManagerString), 0
// when it has none or a value that is no number above 0.
int XftDpi(const char* resources);

// What tells the desktop's scale; text exactly as found, null when absent.
struct ScaleHints {
    const char* tumblaScale = nullptr;  // TUMBLA_SCALE, the player's own word
    int xftDpi = 0;                     // X only
    const char* gdkScale = nullptr;     // GDK_SCALE
};
// The whole multiple of its size at which the game's window is shown: the
// player's TUMBLA_SCALE when it is a whole number from 1; else the desktop's
// scale (Xft.dpi / 96 rounded, else GDK_SCALE), made smaller until a
// picture of `width` x `height` at that scale fits the screen. 1 when nothing
// says otherwise.
int ChooseWindowScale(const ScaleHints& hints, int width, int height, int screenWidth, int screenHeight);

// The full-screen picture's place on a screen: a whole multiple of the mode,
// centred, when that fills most of the screen's height (sharp, and no
// stretch to pay for); else as large as fits with the shape kept, drawn at
// the largest whole multiple and stretched smoothly the rest of the way.
struct PicturePlace {
    int x = 0, y = 0, width = 0, height = 0;
    bool smooth = false;  // the last step is a smooth stretch
};
PicturePlace FullScreenPlace(int modeWidth, int modeHeight, int screenWidth, int screenHeight);

}  // namespace sdlhost
