// The picture on an X display that none of SDL's renderers can draw on: an
// 8-bit screen, whose TrueColor or StaticColor visual packs red, green and
// blue into one byte in a layout SDL has no pixel format for. The window
// itself is SDL's; its picture is put there with Xlib, through the visual's
// own colour masks.
#include <SDL_syswm.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <vector>

#include "platform/host/host_picture.h"
#include "platform/host/sdl/sdl_host.h"

namespace sdlhost {
namespace {

struct X11Picture {
    Display* display = nullptr;
    Window window = 0;
    Visual* visual = nullptr;
    GC gc = nullptr;
    std::uint32_t masks[3] = {0, 0, 0};
    std::vector<char> pixels;
    int width = 0, height = 0;
};

std::vector<X11Picture>& Pictures() {
    static std::vector<X11Picture> pictures;
    return pictures;
}

X11Picture* Find(SDL_Window* sdl) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    for (auto& p : Pictures())
        if (p.window == info.info.x11.window) return &p;
    return nullptr;
}

}  // namespace

bool StartX11Picture(SDL_Window* sdl) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes)) return false;
    Visual* visual = attributes.visual;
    if (attributes.depth != 8 || !visual || (visual->c_class != TrueColor && visual->c_class != StaticColor) ||
        !visual->red_mask || !visual->green_mask || !visual->blue_mask)
        return false;
    X11Picture p;
    p.display = info.info.x11.display;
    p.window = info.info.x11.window;
    p.visual = visual;
    p.gc = XCreateGC(p.display, p.window, 0, nullptr);
    if (!p.gc) return false;
    p.masks[0] = static_cast<std::uint32_t>(visual->red_mask);
    p.masks[1] = static_cast<std::uint32_t>(visual->green_mask);
    p.masks[2] = static_cast<std::uint32_t>(visual->blue_mask);
    Pictures().push_back(std::move(p));
    return true;
}

void EndX11Picture(SDL_Window* sdl) {
    auto& all = Pictures();
    X11Picture* p = Find(sdl);
    if (!p) return;
    XFreeGC(p->display, p->gc);
    all.erase(all.begin() + (p - all.data()));
}

void ShowX11Picture(SDL_Window* sdl, const host::ScreenImage& image, const SDL_Rect& area, const SDL_Rect& place) {
    X11Picture* p = Find(sdl);
    int width = 0, height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    if (!p || width <= 0 || height <= 0 || area.w <= 0 || area.h <= 0) return;
    // The visual's pixels are one byte: the table's entries fit in it.
    std::uint32_t colour[256];
    platform::video::BuildColourTable(image.palette,
                                      platform::video::PixelLayout{p->masks[0], p->masks[1], p->masks[2], 0}, colour);
    p->pixels.assign(static_cast<std::size_t>(width) * height, 0);
    // The client's part of the image, scaled to where the picture goes in
    // the window; black around it.
    for (int y = 0; y < place.h && place.y + y < height; ++y) {
        if (place.y + y < 0) continue;
        int ay = static_cast<int>(static_cast<long long>(y) * area.h / place.h);
        int sy = ay - area.y;
        if (sy < 0 || sy >= image.height) continue;
        const std::uint8_t* row = image.pixels + static_cast<std::ptrdiff_t>(sy) * image.pitch;
        char* out = p->pixels.data() + static_cast<std::ptrdiff_t>(place.y + y) * width;
        for (int x = 0; x < place.w && place.x + x < width; ++x) {
            if (place.x + x < 0) continue;
            int sx = static_cast<int>(static_cast<long long>(x) * area.w / place.w) - area.x;
            if (sx >= 0 && sx < image.width) out[place.x + x] = static_cast<char>(colour[row[sx]]);
        }
    }
    XImage* picture = XCreateImage(p->display, p->visual, 8, ZPixmap, 0, p->pixels.data(), static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 8, width);
    if (!picture) return;
    XPutImage(p->display, p->window, p->gc, picture, 0, 0, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    picture->data = nullptr;  // ours, not Xlib's to free
    XDestroyImage(picture);
    XFlush(p->display);
}

}  // namespace sdlhost
