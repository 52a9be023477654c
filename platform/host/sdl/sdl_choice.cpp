#include "platform/host/sdl/sdl_choice.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace sdlhost {
namespace {

// A whole number from 1 up, all of the text; 0 otherwise.
int WholeNumber(const char* text) {
    if (!text || !std::isdigit(static_cast<unsigned char>(*text))) return 0;
    char* end = nullptr;
    long n = std::strtol(text, &end, 10);
    return *end == '\0' && n >= 1 && n <= 64 ? static_cast<int>(n) : 0;
}

}  // namespace

WindowSurface ChooseWindowSurface(const char* driver) {
    // X: the shared memory image costs a fraction of a texture through
    // OpenGL where OpenGL is Mesa in software, and about the same on a
    // graphics card. Wayland has no surface but the renderer's.
    if (driver && std::strcmp(driver, "x11") == 0) return WindowSurface::SharedImage;
    return WindowSurface::Renderer;
}

int XftDpi(const char* resources) {
    if (!resources) return 0;
    static const char kName[] = "Xft.dpi:";
    for (const char* line = resources; *line;) {
        const char* end = std::strchr(line, '\n');
        if (!end) end = line + std::strlen(line);
        if (std::strncmp(line, kName, sizeof(kName) - 1) == 0) {
            const char* value = line + sizeof(kName) - 1;
            while (value < end && (*value == ' ' || *value == '\t')) ++value;
            char* stop = nullptr;
            double dpi = std::strtod(value, &stop);
            if (stop == value || stop > end || !(dpi > 0) || dpi > 96.0 * 64) return 0;
            return static_cast<int>(std::lround(dpi));
        }
        line = *end ? end + 1 : end;
    }
    return 0;
}

int ChooseWindowScale(const ScaleHints& hints, int width, int height, int screenWidth, int screenHeight) {
    if (int asked = WholeNumber(hints.tumblaScale)) return asked;
    int scale = 1;
    if (hints.xftDpi > 0) {
        // Nearest, halves up: 144 DPI (150 %) shows at 2.
        scale = std::max(1, (hints.xftDpi + 48) / 96);
    } else if (int gdk = WholeNumber(hints.gdkScale)) {
        scale = gdk;
    }
    while (scale > 1 && (width * scale > screenWidth || height * scale > screenHeight)) --scale;
    return scale;
}

PicturePlace FullScreenPlace(int modeWidth, int modeHeight, int screenWidth, int screenHeight) {
    PicturePlace p;
    if (modeWidth <= 0 || modeHeight <= 0 || screenWidth <= 0 || screenHeight <= 0) return p;
    // As large as fits with the shape kept.
    p.width = screenWidth;
    p.height = screenHeight;
    if (static_cast<long long>(screenWidth) * modeHeight <= static_cast<long long>(screenHeight) * modeWidth)
        p.height = static_cast<int>(static_cast<long long>(screenWidth) * modeHeight / modeWidth);
    else
        p.width = static_cast<int>(static_cast<long long>(screenHeight) * modeWidth / modeHeight);
    const int whole = std::max(1, std::min(p.width / modeWidth, p.height / modeHeight));
    // The whole multiple when it leaves no more than a fifth of the height
    // unused (1920x1080, 3840x2160: 8/9): the picture is then sharp, and a
    // smooth stretch of a screenful is the dearest work a frame could have.
    if (modeWidth * whole <= p.width && modeHeight * whole * 5 >= p.height * 4) {
        p.width = modeWidth * whole;
        p.height = modeHeight * whole;
    } else {
        p.smooth = p.width != modeWidth * whole || p.height != modeHeight * whole;
    }
    p.x = (screenWidth - p.width) / 2;
    p.y = (screenHeight - p.height) / 2;
    return p;
}

}  // namespace sdlhost
