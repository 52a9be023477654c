// The SDL host's screen: one SDL window for each top-level window, the
// emulated display's picture shown in the window that holds the screen,
// the exclusive full-screen mode, the 60 Hz refresh, the pointer and the
// program's icon.
//
// Window mode: the emulated desktop has the size of the host's first
// display divided by the windows' scale, and each window's client area sits
// on it where its SDL window sits on the host's screen. On a scaled desktop
// (X at 192 DPI, say) every window is a whole multiple of its emulated size,
// as Windows scales a program that knows nothing of DPI: the game keeps its
// 640x480 world, and the pointer comes back in its coordinates. The picture
// shown is the part of the emulated desktop under the client area (GDI and
// DirectDraw hand over just that), scaled to the SDL window.
//
// Full screen: the SDL window covers the host's screen (the desktop's own
// mode, SDL_WINDOW_FULLSCREEN_DESKTOP) and shows the whole picture of the
// emulated mode, black around it, where FullScreenPlace says.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/host_video.h"
#include "platform/host/sdl/sdl_host.h"
#include "platform/host/host_events.h"
#include "platform/host/host_picture.h"
#include "platform/host/sdl/sdl_choice.h"

namespace sdlhost {
namespace {

using namespace platform::video;

using platform::user::ViewWindow;
using platform::user::WindowView;

struct HostWindow {
    HWND hwnd = nullptr;
    SDL_Window* sdl = nullptr;
    // The picture at a whole scale, when the last step to the window's size
    // is a smooth one (see Present).
    SDL_Surface* staging = nullptr;
    // What the window's pixels (or the staging picture) hold already.
    ShownPicture shownPicture;
    StretchSteps stretchSteps;  // the smooth last step's columns
    std::string title;
    bool shown = false;
    SDL_Rect placed{0, 0, 0, 0};  // client rectangle last given to SDL, host screen coordinates
    SDL_Point minimum{0, 0};
    bool resizable = false;
    bool bordered = true;
    bool x11Picture = false;  // no renderer: the picture goes by Xlib
};

struct VideoState {
    std::vector<HostWindow> windows;
    bool fullScreen = false;
    int modeWidth = 640, modeHeight = 480, modeBits = 8;
    bool cursorStale = false;
    int scale = 0;  // of windows on the host; 0 until chosen
    // The desktop's mode as last asked of SDL, which learns of a new one
    // only in its event pump.
    bool desktopKnown = false;
    host::DesktopMode desktop{640, 480, 8};
};

VideoState& Video() {
    static VideoState v;
    return v;
}

HostWindow* Find(HWND hwnd) {
    for (auto& w : Video().windows)
        if (w.hwnd == hwnd) return &w;
    return nullptr;
}

// The whole multiple at which windows show on the host, chosen once (the
// emulated desktop's size follows from it).
int Scale() {
    auto& v = Video();
    if (v.scale > 0) return v.scale;
    if (!VideoReady()) return 1;
    v.scale = 1;
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool x11 = driver && SDL_strcasecmp(driver, "x11") == 0;
    const std::string resources = x11 ? XResources() : std::string();
    ScaleHints hints;
    hints.tumblaScale = SDL_getenv("TUMBLA_SCALE");
    hints.xftDpi = XftDpi(resources.c_str());
    // Elsewhere (Wayland) the output's scale reaches the window as the
    // density of its pixels (SDL_WINDOW_ALLOW_HIGHDPI), not as its size.
    hints.gdkScale = x11 ? SDL_getenv("GDK_SCALE") : nullptr;
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) v.scale = ChooseWindowScale(hints, 640, 480, mode.w, mode.h);
    return v.scale;
}

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Where an emulated client rectangle is on the host's screen.
SDL_Rect OnHost(const RECT& c) {
    const int s = Scale();
    SDL_Point origin = DesktopOrigin();
    return SDL_Rect{origin.x + static_cast<int>(c.left) * s, origin.y + static_cast<int>(c.top) * s,
                    std::max(1, static_cast<int>(c.right - c.left) * s),
                    std::max(1, static_cast<int>(c.bottom - c.top) * s)};
}

// The picture's place in a window of the given size in pixels: all of it in
// window mode; in full screen where FullScreenPlace says.
SDL_Rect PictureRect(int width, int height) {
    if (!Video().fullScreen) return SDL_Rect{0, 0, width, height};
    PicturePlace p = FullScreenPlace(Video().modeWidth, Video().modeHeight, width, height);
    return SDL_Rect{p.x, p.y, p.width, p.height};
}

// The window's pixels (SDL's window surface: X's shared memory image, no
// graphics library in between) are kept from one present to the next, so a
// redraw only hands them to the screen again.
void Redraw(HostWindow& w) {
    if (!w.shown || !SDL_GetWindowSurface(w.sdl)) return;
    SDL_UpdateWindowSurface(w.sdl);
}

PixelLayout LayoutOf(const SDL_PixelFormat& f) {
    PixelLayout layout;
    layout.redMask = f.Rmask;
    layout.greenMask = f.Gmask;
    layout.blueMask = f.Bmask;
    layout.alpha = ~(f.Rmask | f.Gmask | f.Bmask);
    return layout;
}

PixelTarget TargetOf(SDL_Surface* s) {
    return PixelTarget{static_cast<std::uint32_t*>(s->pixels), s->pitch, s->w, s->h};
}

void FillOutside(SDL_Surface* s, const SDL_Rect& place) {
    const SDL_Rect bands[4] = {{0, 0, s->w, place.y},
                               {0, place.y + place.h, s->w, s->h - place.y - place.h},
                               {0, place.y, place.x, place.h},
                               {place.x + place.w, place.y, s->w - place.x - place.w, place.h}};
    for (const SDL_Rect& r : bands)
        if (r.w > 0 && r.h > 0) SDL_FillRect(s, &r, SDL_MapRGB(s->format, 0, 0, 0));
}

// Shows the picture in the window: `area` is the picture's frame (of the
// area's size, the image's top left at its x, y, which are above 0 when part
// of a window is off the emulated desktop), placed as PictureRect says.
//
// Where the place is a whole multiple of the frame (a window at its own size,
// a full screen twice the mode) the picture is drawn into the window's
// pixels in one pass, each pixel a square. Elsewhere it is drawn at the
// largest whole multiple that fits and then smoothly stretched into its
// place, so every pixel keeps the same size instead of columns alternating
// between one and two.
constexpr int kMostRects = 64;

void Present(HostWindow& w, const host::ScreenImage& image, const SDL_Rect& area) {
    if (!w.shown || area.w <= 0 || area.h <= 0) return;
    if (w.x11Picture) {
        int width = 0, height = 0;
        SDL_GetWindowSize(w.sdl, &width, &height);
        ShowX11Picture(w.sdl, image, area, PictureRect(width, height));
        return;
    }
    SDL_Surface* s = SDL_GetWindowSurface(w.sdl);
    if (!s || s->w <= 0 || s->h <= 0) return;
    SDL_Rect place = PictureRect(s->w, s->h);
    if (place.w <= 0 || place.h <= 0) return;
    const bool direct = s->format->BytesPerPixel == 4;
    const int scale = WholeScale(area.w, area.h, place.w, place.h);
    if (direct && area.w * scale == place.w && area.h * scale == place.h) {
        if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0) return;
        ChangedRows rows = w.shownPicture.Draw(image, LayoutOf(*s->format), place.x + area.x * scale,
                                               place.y + area.y * scale, scale, TargetOf(s));
        if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
        // Only the pieces that changed go to the screen; most frames change
        // little of the picture, and a full screen is a great many pixels
        // for the X server to copy.
        if (rows.whole) {
            SDL_UpdateWindowSurface(w.sdl);
        } else if (!rows.Empty()) {
            PixelRect pieces[kMostRects];
            SDL_Rect rects[kMostRects];
            const int n = ChangedRects(w.shownPicture, rows, pieces, kMostRects);
            for (int i = 0; i < n; ++i)
                rects[i] = SDL_Rect{pieces[i].x, pieces[i].y, pieces[i].width, pieces[i].height};
            SDL_UpdateWindowSurfaceRects(w.sdl, rects, n);
        }
        return;
    }
    int sw = area.w * scale, sh = area.h * scale;
    Uint32 format = direct ? s->format->format : Uint32{SDL_PIXELFORMAT_XRGB8888};
    if (!w.staging || w.staging->w != sw || w.staging->h != sh || w.staging->format->format != format) {
        if (w.staging) SDL_FreeSurface(w.staging);
        w.shownPicture.Forget();
        w.staging = SDL_CreateRGBSurfaceWithFormat(0, sw, sh, 32, format);
        if (!w.staging) return;
    }
    ChangedRows rows = w.shownPicture.Draw(image, LayoutOf(*w.staging->format), area.x * scale, area.y * scale, scale,
                                           TargetOf(w.staging));
    if (rows.Empty()) return;  // the stretched picture in the window is still right
    if (!direct) {
        FillOutside(s, place);
        SDL_BlitScaled(w.staging, nullptr, s, &place);
        SDL_UpdateWindowSurface(w.sdl);
        return;
    }
    // Only the window rows drawn from changed picture rows are stretched
    // again: a full screen of smooth stretching is the dearest work of a
    // frame.
    if (rows.whole) FillOutside(s, place);
    if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0) return;
    ChangedRows shown = SmoothStretch(TargetOf(w.staging), TargetOf(s), place.x, place.y, place.w, place.h,
                                      w.shownPicture, w.stretchSteps);
    if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    if (rows.whole) {
        SDL_UpdateWindowSurface(w.sdl);
    } else if (!shown.Empty()) {
        SDL_Rect band{0, shown.top, s->w, shown.bottom - shown.top};
        SDL_UpdateWindowSurfaceRects(w.sdl, &band, 1);
    }
}

// Full screen is the desktop's own mode (SDL_WINDOW_FULLSCREEN_DESKTOP).
// The window is first made to cover the display by itself as well, so that
// it does so even where no window manager acts on the full-screen request
// (a bare X server, a kiosk).
void EnterFullScreen(HostWindow& w) {
    w.shownPicture.Forget();
    SDL_Rect bounds{0, 0, 0, 0};
    int display = SDL_GetWindowDisplayIndex(w.sdl);
    if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) == 0) {
        SDL_SetWindowBordered(w.sdl, SDL_FALSE);
        SDL_SetWindowPosition(w.sdl, bounds.x, bounds.y);
        SDL_SetWindowSize(w.sdl, bounds.w, bounds.h);
    }
    SDL_SetWindowFullscreen(w.sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void Sync(HostWindow& w);

void LeaveFullScreen(HostWindow& w) {
    w.shownPicture.Forget();
    if (SDL_GetWindowFlags(w.sdl) & SDL_WINDOW_FULLSCREEN) SDL_SetWindowFullscreen(w.sdl, 0);
    SDL_SetWindowBordered(w.sdl, w.bordered ? SDL_TRUE : SDL_FALSE);
    // Back to where the emulated window is.
    w.placed = SDL_Rect{0, 0, 0, 0};
    w.minimum = SDL_Point{0, 0};
    Sync(w);
}

// Gives the SDL window the emulated window's title, frame, size, place and
// visibility. In full screen the place and size belong to the mode.
void Sync(HostWindow& w) {
    WindowView win;
    if (!w.sdl || !ViewWindow(w.hwnd, win)) return;
    if (w.title != win.title) {
        w.title = win.title;
        SDL_SetWindowTitle(w.sdl, w.title.c_str());
    }
    bool resizable = (win.style & WS_THICKFRAME) != 0;
    if (resizable != w.resizable) {
        w.resizable = resizable;
        SDL_SetWindowResizable(w.sdl, resizable ? SDL_TRUE : SDL_FALSE);
    }
    bool bordered = (win.style & WS_CAPTION) == WS_CAPTION;
    if (bordered != w.bordered && !Video().fullScreen) {
        w.bordered = bordered;
        SDL_SetWindowBordered(w.sdl, bordered ? SDL_TRUE : SDL_FALSE);
    }
    if (!Video().fullScreen) {
        SIZE minimum = platform::user::MinimumClientSize(w.hwnd);
        if (!ViewWindow(w.hwnd, win)) return;
        if (minimum.cx != w.minimum.x || minimum.cy != w.minimum.y) {
            w.minimum = SDL_Point{minimum.cx, minimum.cy};
            SDL_SetWindowMinimumSize(w.sdl, std::max(1, static_cast<int>(minimum.cx) * Scale()),
                                     std::max(1, static_cast<int>(minimum.cy) * Scale()));
        }
        SDL_Rect want = OnHost(platform::user::ClientRectOnScreen(w.hwnd));
        if (want.w != w.placed.w || want.h != w.placed.h) SDL_SetWindowSize(w.sdl, want.w, want.h);
        if (want.x != w.placed.x || want.y != w.placed.y) SDL_SetWindowPosition(w.sdl, want.x, want.y);
        w.placed = want;
    }
    if (win.visible && !w.shown) {
        w.shown = true;
        SDL_ShowWindow(w.sdl);
        if (Video().fullScreen && ScreenWindow() == w.hwnd) EnterFullScreen(w);
    } else if (!win.visible && w.shown) {
        w.shown = false;
        SDL_HideWindow(w.sdl);
    }
}

// The icon of a window class: the 32x32 image (or the nearest) of an icon
// resource, as GDI decodes it.
SDL_Surface* LoadIconSurface(HINSTANCE instance, int resourceId) {
    platform::video::IconImage icon;
    if (!platform::video::IconPicture(instance, resourceId, 32, icon)) return nullptr;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, icon.width, icon.height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!s) return nullptr;
    for (int y = 0; y < icon.height; ++y)
        std::memcpy(static_cast<Uint8*>(s->pixels) + y * s->pitch, icon.pixels.data() + y * icon.width,
                    static_cast<std::size_t>(icon.width) * 4);
    return s;
}

class SdlWindowHost final : public platform::user::WindowHost {
public:
    bool WindowCreated(HWND hwnd) override {
        WindowView win;
        if (!ViewWindow(hwnd, win) || !VideoReady()) return false;
        HostWindow w;
        w.hwnd = hwnd;
        w.title = win.title;
        w.resizable = (win.style & WS_THICKFRAME) != 0;
        w.placed = OnHost(platform::user::ClientRectOnScreen(hwnd));
        // Set before SDL makes its first window surface, which follows it.
        // The player's own SDL_FRAMEBUFFER_ACCELERATION still decides.
        const bool shared = ChooseWindowSurface(SDL_GetCurrentVideoDriver()) == WindowSurface::SharedImage;
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, shared ? "0" : "1");
        Uint32 flags =
            SDL_WINDOW_HIDDEN | (w.resizable ? SDL_WINDOW_RESIZABLE : 0) | (shared ? 0 : SDL_WINDOW_ALLOW_HIGHDPI);
        w.sdl = SDL_CreateWindow(w.title.c_str(), w.placed.x, w.placed.y, w.placed.w, w.placed.h, flags);
        if (!w.sdl) {
            std::fprintf(stderr, "tumbla: cannot create a window: %s\n", SDL_GetError());
            return false;
        }
        // An 8-bit X screen, where SDL has no window surface (nor any
        // renderer): the picture goes by Xlib.
        if (!SDL_GetWindowSurface(w.sdl)) w.x11Picture = StartX11Picture(w.sdl);
        if (!SDL_GetWindowSurface(w.sdl) && !w.x11Picture) {
            std::fprintf(stderr, "tumbla: cannot draw in a window: %s\n", SDL_GetError());
            SDL_DestroyWindow(w.sdl);
            return false;
        }
        WatchDisplayOf(w.sdl);
        WatchX11Events(w.sdl);
        if (SDL_Surface* icon = LoadIconSurface(win.instance, win.iconResource)) {
            SDL_SetWindowIcon(w.sdl, icon);
            SDL_FreeSurface(icon);
        }
        Video().windows.push_back(w);
        return true;
    }

    void WindowChanged(HWND hwnd) override {
        if (HostWindow* w = Find(hwnd)) Sync(*w);
    }

    void WindowRaised(HWND hwnd) override {
        HostWindow* w = Find(hwnd);
        if (!w || !w->shown) return;
        if (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(w->sdl);
        SDL_RaiseWindow(w->sdl);
        // Without a window manager nobody else hands out the keyboard.
        SDL_SetWindowInputFocus(w->sdl);
    }

    void WindowDestroyed(HWND hwnd) override {
        auto& windows = Video().windows;
        for (auto it = windows.begin(); it != windows.end(); ++it) {
            if (it->hwnd != hwnd) continue;
            if (it->staging) SDL_FreeSurface(it->staging);
            if (it->x11Picture) EndX11Picture(it->sdl);
            SDL_DestroyWindow(it->sdl);
            windows.erase(it);
            break;
        }
    }
};

SdlWindowHost windowHost;

struct RegisterWindowHost {
    RegisterWindowHost() { platform::user::SetWindowHost(&windowHost); }
} registerWindowHost;

}  // namespace

HWND WindowFromId(std::uint32_t windowId) {
    for (auto& w : Video().windows)
        if (w.sdl && SDL_GetWindowID(w.sdl) == windowId) return w.hwnd;
    return nullptr;
}

SDL_Window* SdlWindowOf(HWND hwnd) {
    HostWindow* w = Find(hwnd);
    return w ? w->sdl : nullptr;
}

void HandleWindowEvent(const SDL_WindowEvent& event) {
    HWND hwnd = WindowFromId(event.windowID);
    HostWindow* w = Find(hwnd);
    if (!w) return;
    auto& v = Video();
    bool followsHost = !v.fullScreen && !(SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN);
    switch (event.event) {
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED:
            Redraw(*w);
            InvalidateRect(hwnd, nullptr, FALSE);
            break;
        case SDL_WINDOWEVENT_MOVED:
            if (followsHost) {
                // Where SDL has the window now: queued events may be stale.
                int x = 0, y = 0;
                SDL_GetWindowPosition(w->sdl, &x, &y);
                w->placed.x = x;
                w->placed.y = y;
                SDL_Point origin = DesktopOrigin();
                platform::user::HostMovedWindow(hwnd, FloorDiv(x - origin.x, Scale()), FloorDiv(y - origin.y, Scale()));
            }
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (followsHost) {
                int width = 0, height = 0;
                SDL_GetWindowSize(w->sdl, &width, &height);
                w->placed.w = width;
                w->placed.h = height;
                platform::user::HostResizedWindow(hwnd, width / Scale(), height / Scale());
            }
            // SDL makes the window's pixels anew at a new size.
            if ((w = Find(hwnd))) {
                w->shownPicture.Forget();
                Redraw(*w);
            }
            break;
        case SDL_WINDOWEVENT_MINIMIZED: SendMessageA(hwnd, WM_SIZE, SIZE_MINIMIZED, 0); break;
        case SDL_WINDOWEVENT_RESTORED: {
            RECT c = platform::user::ClientRectOnScreen(hwnd);
            SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.right - c.left, c.bottom - c.top));
            InvalidateRect(hwnd, nullptr, FALSE);
            break;
        }
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            platform::user::SetApplicationActive(true);
            MarkCursorStale();
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST: platform::user::SetApplicationActive(false); break;
        case SDL_WINDOWEVENT_CLOSE:
            // The close box: the system menu's Close, which DefWindowProc
            // turns into WM_CLOSE.
            PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        default: break;
    }
}

POINT ToClient(HWND hwnd, int x, int y) {
    HostWindow* w = Find(hwnd);
    RECT c = platform::user::ClientRectOnScreen(hwnd);
    int width = 0, height = 0;
    if (w) SDL_GetWindowSize(w->sdl, &width, &height);
    if (width <= 0 || height <= 0) return POINT{x, y};
    if (Video().fullScreen && hwnd == ScreenWindow()) {
        // Into the window's pixels, which may be denser than its points
        // (Wayland at a scale), through the picture's place to the emulated
        // screen, whose origin is the top left of the mode, then to the
        // client area.
        int pixelWidth = width, pixelHeight = height;
        SDL_GetWindowSizeInPixels(w->sdl, &pixelWidth, &pixelHeight);
        x = static_cast<int>(static_cast<long long>(x) * pixelWidth / width);
        y = static_cast<int>(static_cast<long long>(y) * pixelHeight / height);
        SDL_Rect place = PictureRect(pixelWidth, pixelHeight);
        if (place.w <= 0 || place.h <= 0) return POINT{0, 0};
        int sx = std::clamp(static_cast<int>(static_cast<long long>(x - place.x) * Video().modeWidth / place.w), 0,
                            Video().modeWidth - 1);
        int sy = std::clamp(static_cast<int>(static_cast<long long>(y - place.y) * Video().modeHeight / place.h), 0,
                            Video().modeHeight - 1);
        return POINT{sx - c.left, sy - c.top};
    }
    return POINT{static_cast<LONG>(static_cast<long long>(x) * (c.right - c.left) / width),
                 static_cast<LONG>(static_cast<long long>(y) * (c.bottom - c.top) / height)};
}

void RefreshCursor() { SDL_ShowCursor(platform::user::CursorShown() ? SDL_ENABLE : SDL_DISABLE); }

void MarkCursorStale() { Video().cursorStale = true; }

void AskCursorIfStale() {
    if (!Video().cursorStale) return;
    Video().cursorStale = false;
    SDL_Window* focus = SDL_GetMouseFocus();
    if (!focus) return;
    HWND hwnd = WindowFromId(SDL_GetWindowID(focus));
    if (!hwnd) return;
    SendMessageA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    RefreshCursor();
}

void ForgetDesktop() { Video().desktopKnown = false; }

void RaiseScreenWindow() {
    HWND hwnd = ScreenWindow();
    if (hwnd) windowHost.WindowRaised(hwnd);
}

}  // namespace sdlhost

namespace host {

using namespace sdlhost;

DesktopMode Desktop() {
    // Asked at every blit (a surface on the screen is lost when the mode
    // changed), so kept until SDL's next pump rather than asked of SDL.
    auto& v = Video();
    if (v.desktopKnown) return v.desktop;
    SDL_DisplayMode mode{};
    if (!VideoReady() || SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0)
        return DesktopMode{640, 480, 8};
    v.desktop = DesktopMode{mode.w / Scale(), mode.h / Scale(), 8};
    v.desktopKnown = true;
    return v.desktop;
}

bool SetDisplayMode(int width, int height, int bitsPerPixel) {
    if (!VideoReady() || width <= 0 || height <= 0) return false;
    auto& v = Video();
    v.modeWidth = width;
    v.modeHeight = height;
    v.modeBits = bitsPerPixel;
    v.fullScreen = true;
    HWND hwnd = ScreenWindow();
    if (HostWindow* w = Find(hwnd); w && w->shown) {
        EnterFullScreen(*w);
        RaiseScreenWindow();
    }
    MarkCursorStale();
    return true;
}

void RestoreDisplayMode() {
    auto& v = Video();
    if (!v.fullScreen) return;
    v.fullScreen = false;
    for (auto& w : v.windows) LeaveFullScreen(w);
    MarkCursorStale();
}

bool InFullScreenMode() { return Video().fullScreen; }

void ShowScreen(const ScreenImage& image) {
    if (!image.pixels || !image.palette || image.width <= 0 || image.height <= 0) return;
    HWND hwnd = ScreenWindow();
    HostWindow* w = Find(hwnd);
    if (!w) return;
    SDL_Rect area{0, 0, image.width, image.height};
    if (!Video().fullScreen) {
        RECT part = platform::user::ShownClientPart(hwnd);
        area = SDL_Rect{static_cast<int>(part.left), static_cast<int>(part.top),
                        static_cast<int>(part.right - part.left), static_cast<int>(part.bottom - part.top)};
    }
    Present(*w, image, area);
}

namespace {
// Refresh k is at k / 60 s after the host's start.
using RefreshClock = std::chrono::steady_clock;
const RefreshClock::time_point kRefreshStart = RefreshClock::now();
constexpr long long kSixtyRefreshes = 1'000'000'000LL;  // nanoseconds

long long RefreshNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(RefreshClock::now() - kRefreshStart).count();
}
}  // namespace

double Refreshes() { return static_cast<double>(RefreshNanoseconds()) * 60.0 / static_cast<double>(kSixtyRefreshes); }

void WaitForRefresh() {
    long long next = (RefreshNanoseconds() * 60 / kSixtyRefreshes + 1) * kSixtyRefreshes / 60;
    std::this_thread::sleep_until(kRefreshStart + std::chrono::nanoseconds(next));
}

}  // namespace host
