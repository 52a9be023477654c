// The SDL host: the clock, idling, and the host's events turned into the
// window messages Windows would send for them.
#include "platform/host/sdl/sdl_host.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/host/host.h"
#include "platform/host/host_events.h"
#include "platform/host/sdl/sdl_choice.h"

namespace sdlhost {
namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point kStart = Clock::now();

enum class Subsystem { Untried, Up, Failed };
Subsystem video = Subsystem::Untried;
Subsystem input = Subsystem::Untried;

void HandleKey(const SDL_KeyboardEvent& event) {
    HWND hwnd = WindowFromId(event.windowID);
    if (!hwnd) hwnd = ScreenWindow();
    // The layout's character of the key as it was when it moved.
    KeyCode key = TranslateKey(event.keysym.scancode, event.keysym.sym);
    // The modifiers as they were when this key moved, not as they are now
    // that the whole batch of events has been read.
    Uint16 mods = event.keysym.mod;
    platform::user::HostKey moved;
    moved.virtualKey = key.virtualKey;
    moved.scanCode = key.scanCode;
    moved.extended = key.extended;
    moved.down = event.type == SDL_KEYDOWN;
    moved.alt = (mods & KMOD_ALT) != 0;
    moved.ctrl = (mods & KMOD_CTRL) != 0;
    platform::user::ReportKey(hwnd, moved);
}

WPARAM MouseKeys() {
    Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    SDL_Keymod mods = SDL_GetModState();
    WPARAM flags = 0;
    if (buttons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
    if (mods & KMOD_SHIFT) flags |= MK_SHIFT;
    if (mods & KMOD_CTRL) flags |= MK_CONTROL;
    return flags;
}

void HandleMouseButton(const SDL_MouseButtonEvent& event) {
    HWND hwnd = WindowFromId(event.windowID);
    if (!hwnd || event.which == SDL_TOUCH_MOUSEID) return;
    UINT base;
    switch (event.button) {
        case SDL_BUTTON_LEFT: base = WM_LBUTTONDOWN; break;
        case SDL_BUTTON_RIGHT: base = WM_RBUTTONDOWN; break;
        case SDL_BUTTON_MIDDLE: base = WM_MBUTTONDOWN; break;
        default: return;
    }
    UINT message = base;
    if (event.type == SDL_MOUSEBUTTONUP)
        message = base + 1;
    else if (platform::user::WindowView view;
             event.clicks >= 2 && platform::user::ViewWindow(hwnd, view) && view.doubleClicks)
        message = base + 2;
    POINT p = ToClient(hwnd, event.x, event.y);
    PostMessageA(hwnd, message, MouseKeys(), MAKELPARAM(p.x, p.y));
}

bool IsScreenlessDriver(const char* name) {
    return SDL_strcasecmp(name, "offscreen") == 0 || SDL_strcasecmp(name, "dummy") == 0 ||
           SDL_strcasecmp(name, "evdev") == 0;
}

bool StartVideo() {
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (asked && *asked) return SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
    // Left to itself SDL falls back to a driver that draws nowhere, and the
    // game would run unseen until killed: only drivers with a screen, unless
    // the user names another.
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* name = SDL_GetVideoDriver(i);
        if (!name || IsScreenlessDriver(name)) continue;
        // Wayland's library complains on standard error when it finds no
        // compositor; a session with one names it.
        const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
        if (SDL_strcasecmp(name, "wayland") == 0 && (!wayland || !*wayland)) continue;
        SDL_setenv("SDL_VIDEODRIVER", name, 1);
        bool up = SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
        unsetenv("SDL_VIDEODRIVER");
        if (up) return true;
    }
    return false;
}

std::string NoDisplaySentence() {
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (asked && *asked)
        return std::string("tumbla: cannot open a window with SDL_VIDEODRIVER=") + asked + " (" + SDL_GetError() + ").";
    const char* x = SDL_getenv("DISPLAY");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    if ((!x || !*x) && (!wayland || !*wayland))
        return "tumbla: there is no display to open a window on (DISPLAY is not set); start it on a desktop, "
               "or in a virtual one with xvfb-run.";
    return std::string("tumbla: cannot open a window on the display ") + ((x && *x) ? x : wayland) +
           ", which does not answer; start it on a desktop, or in a virtual one with xvfb-run.";
}

}  // namespace

bool VideoReady() {
    if (video == Subsystem::Untried) {
        // Keys arrive as key events; no text input, so no input method
        // window pops up over the game.
        SDL_SetHint(SDL_HINT_IME_SHOW_UI, "0");
        // The picture's colours come straight from its palette; a DirectColor
        // visual would show them only where a window manager installs the
        // window's colour map (and not at all without one).
        setenv("SDL_VIDEO_X11_NODIRECTCOLOR", "1", 0);
        if (StartVideo()) {
            video = Subsystem::Up;
            EndWhenTheDisplayGoes();
            SDL_StopTextInput();
            // Hands the screen back in its own mode however the program ends.
            std::atexit(SDL_Quit);
        } else {
            // Nothing could be shown, not even the report: say so plainly
            // where the user started the game, and end.
            video = Subsystem::Failed;
            std::fprintf(stderr, "%s\n", NoDisplaySentence().c_str());
            std::exit(1);
        }
    }
    return video == Subsystem::Up;
}

bool InputReady() {
    if (input == Subsystem::Untried) {
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        input = SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) == 0 ? Subsystem::Up : Subsystem::Failed;
    }
    return input == Subsystem::Up;
}

SDL_Point DesktopOrigin() {
    SDL_Rect bounds{0, 0, 0, 0};
    if (VideoReady()) SDL_GetDisplayBounds(0, &bounds);
    return SDL_Point{bounds.x, bounds.y};
}

}  // namespace sdlhost

namespace host {

using namespace sdlhost;

std::uint32_t Milliseconds() {
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - kStart).count();
    return static_cast<std::uint32_t>(elapsed);
}

void Idle(std::uint32_t ms) {
    // While the program is in the background nothing runs on the clock, so
    // it may sleep longer between looks at its queue: the window system's
    // events end the wait at once, and what only a look finds (another start
    // asking to bring the window forward) can wait a tenth of a second.
    if (!platform::user::ApplicationActive()) {
        ms = std::max<std::uint32_t>(ms, 100);
    } else if (ms <= 1) {
        // An empty queue seen by a look (PeekMessage) does not wait: the
        // frame loop waits for the refresh and its frame clock itself, and a
        // millisecond's sleep here would cost one more wake-up in every frame.
        return;
    }
    if (video == Subsystem::Up) {
        // Waits for an event without taking it from SDL's queue.
        SDL_WaitEventTimeout(nullptr, static_cast<int>(ms));
        ForgetDesktop();
    } else {
        SDL_Delay(ms);
    }
}

void PumpEvents() {
    if (!VideoReady()) return;
    // SDL's whole pump only when something may have come: on X that costs
    // one read of the socket where the pump makes a dozen system calls.
    static std::uint32_t lastWholePump = 0;
    const std::uint32_t now = Milliseconds();
    PumpSignals look;
    look.sdlQueued = SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) == SDL_TRUE;
    look.sinceWholePump = now - lastWholePump;
    const int waiting = look.sdlQueued ? 1 : X11EventsWaiting();
    look.connectionKnown = waiting >= 0;
    look.displayWaiting = waiting > 0;
    if (!NeedsWholePump(look)) {
        AskCursorIfStale();
        return;
    }
    lastWholePump = now;
    SDL_Event event;
    bool moved = false;
    SDL_MouseMotionEvent lastMotion{};
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_WINDOWEVENT: HandleWindowEvent(event.window); break;
            case SDL_KEYDOWN:
            case SDL_KEYUP: HandleKey(event.key); break;
            case SDL_MOUSEMOTION:
                // Windows keeps one WM_MOUSEMOVE in the queue, the latest.
                if (event.motion.which != SDL_TOUCH_MOUSEID) {
                    moved = true;
                    lastMotion = event.motion;
                }
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: HandleMouseButton(event.button); break;
            case SDL_QUIT:
                // An interrupt from the terminal, or the session ending.
                for (HWND hwnd : platform::user::TopLevelWindows()) PostMessageA(hwnd, WM_CLOSE, 0, 0);
                break;
            case SDL_JOYDEVICEADDED:
            case SDL_JOYDEVICEREMOVED:
            case SDL_CONTROLLERDEVICEADDED:
            case SDL_CONTROLLERDEVICEREMOVED: HandleJoystickEvent(event); break;
            default: break;
        }
    }
    ForgetDesktop();
    platform::DesktopChanged();
    EndIfTheDisplayWent();
    if (moved) {
        HWND hwnd = WindowFromId(lastMotion.windowID);
        if (hwnd) {
            SendMessageA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            RefreshCursor();
            POINT p = ToClient(hwnd, lastMotion.x, lastMotion.y);
            PostMessageA(hwnd, WM_MOUSEMOVE, MouseKeys(), MAKELPARAM(p.x, p.y));
        }
    }
    AskCursorIfStale();
}

}  // namespace host
