// The other half of the door: what the stand-in offers its hosts. A host
// reports what happened on its machine (windows moved, focus won or lost),
// reads what it shows (the windows and the cursor), and a test host resets
// the whole stand-in between runs.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::user {

// What a host shows of a window, copied when asked.
struct WindowView {
    std::string title;
    DWORD style = 0;
    bool visible = false;
    bool doubleClicks = false;     // its class wants double-click messages (CS_DBLCLKS)
    HINSTANCE instance = nullptr;  // the module its class icon comes from
    int iconResource = -1;         // that icon's resource, -1 for a system icon or none
};
// False for a handle that is not (or no longer) a window.
bool ViewWindow(HWND hwnd, WindowView& view);
// Top-level windows of this process that still exist, oldest first.
std::vector<HWND> TopLevelWindows();
// The client rectangle of a window in desktop coordinates.
RECT ClientRectOnScreen(HWND hwnd);
// The window a host shows on its screen: the first visible top-level one.
HWND ScreenWindow();
// The part of the emulated desktop's picture that a window's client area
// shows, in the picture's coordinates: all of the client area, starting
// inside it where the window reaches over the desktop's left or top edge.
RECT ShownClientPart(HWND hwnd);

// A key as a host saw it move: its virtual key (VK_*) as the layout gives it
// now, its PC scan code (set 1) and whether it is an extended key, with Alt
// and Ctrl as they were held when it moved. A key held down repeats as more
// downs.
struct HostKey {
    int virtualKey = 0;
    int scanCode = 0;
    bool extended = false;
    bool down = false;
    bool alt = false;
    bool ctrl = false;
};
// Each press and release, reported once: USER keeps which keys are down (a
// key goes up as the virtual key it went down as) for GetAsyncKeyState and
// GetKeyState, and posts the message Windows sends for it to the window, if
// any: WM_KEYDOWN/UP, or WM_SYSKEYDOWN/UP with Alt (not AltGr) and for F10,
// with lParam's repeat count, scan code, extended bit, context code, previous
// state and transition.
void ReportKey(HWND hwnd, const HostKey& key);
bool KeyIsDown(int virtualKey);

// The one table of the keyboard's places: a host finds a key by its USB usage
// (SDL's scan codes), by its KeyboardEvent.code name (a browser), or by the
// virtual key a US layout gives it (a test's keyboard).
struct KeyPlace {
    int usbUsage;
    const char* code;
    int virtualKey;
    int scanCode;
    bool extended;
};
const KeyPlace* PlaceOfUsage(int usbUsage);
const KeyPlace* PlaceOfCode(const char* code);
const KeyPlace* PlaceOfVirtualKey(int virtualKey);
// As Windows does, the keys that type letters and digits get their virtual
// key from what the layout types on them (on a German keyboard 'Z' is the key
// labelled Z, where a US one has Y), and every other key from its place:
// arrows, keypad, Enter, Escape, Shift mean the same place on every layout. A
// letter or digit key on which the layout types no Latin letter or digit
// (Russian, Greek) keeps the virtual key of its place, as Windows's layouts
// for those scripts give it. `typed` is the character, 0 for none.
int LayoutVirtualKey(const KeyPlace& place, char32_t typed);

// Host events: the application gained or lost the focus (WM_ACTIVATEAPP),
// sent to every top-level window of this process.
void SetApplicationActive(bool active);
bool ApplicationActive();

// A host with a real screen shows the top-level windows. It is told when a
// window is created, changes (rectangle, style, title, visibility), is
// brought forward, or goes away. The headless host registers none.
class WindowHost {
public:
    // False makes CreateWindowExA fail, as it does when there is no desktop.
    virtual bool WindowCreated(HWND hwnd) = 0;
    virtual void WindowChanged(HWND hwnd) = 0;
    virtual void WindowRaised(HWND hwnd) = 0;
    virtual void WindowDestroyed(HWND hwnd) = 0;

protected:
    ~WindowHost() = default;
};
void SetWindowHost(WindowHost* host);

// The host's window moved or was resized by the user: the emulated window
// follows so its client area is at `left, top` (desktop coordinates) or of
// the given size, and gets WM_MOVE or WM_SIZE (and a repaint) as on Windows.
void HostMovedWindow(HWND hwnd, int clientLeft, int clientTop);
void HostResizedWindow(HWND hwnd, int clientWidth, int clientHeight);
// The smallest client area the window accepts, from its WM_GETMINMAXINFO.
SIZE MinimumClientSize(HWND hwnd);

// The cursor the application set last (SetCursor) and whether ShowCursor's
// display count lets it show: the host hides its pointer when either says no.
HCURSOR CurrentCursor();
bool CursorShown();
// The icon resource an icon handle was loaded from, -1 for a system icon.
int IconResourceId(HICON icon);

}  // namespace platform::user

namespace platform {

// Every module of the stand-in back to a fresh process's state: windows,
// classes and messages, DirectDraw and GDI objects, the emulated screen,
// kernel handles, sound buffers (orphans included), MIDI streams and
// sequencers with their notifications, the audio stream, the call log and
// the armed faults. Hosts keep their own state and reset it themselves.
void ResetForTests();

// The host's desktop changed size or depth (the user chose another
// resolution): a host reports it from its event pump, and the emulated
// desktop follows. What was drawn on the old one is lost.
void DesktopChanged();

// Returns once the stand-in's own threads (the MIDI notification thread)
// have finished everything handed to them so far; at once on such a thread.
// A host whose clock is virtual calls it before it lets a wait time out, so
// that a timeout means nothing in the stand-in could still end the wait.
void FinishPendingWork();
// Delivers the MIDI notifications that wait, on the calling thread. A host
// without threads (host::HasThreads) gets no notification thread: it calls
// this from its main loop. Elsewhere it does nothing.
void DeliverNotifications();

// The user's UI language, which chooses among resources of several languages
// as on Windows: the locale's, unless a host fixes another (0: the locale's
// again). The headless host fixes Japanese, the program's own language.
inline constexpr std::uint16_t kLanguageJapanese = 0x411;
inline constexpr std::uint16_t kLanguageEnglishUs = 0x409;
void SetUiLanguage(std::uint16_t language);

// What a test host sets on the pretend video card: the capabilities its
// emulation layer reports to IDirectDraw::GetCaps, and its memory in bytes.
void SetEmulationCaps(DWORD caps, DWORD fxCaps);
void SetVideoMemory(std::size_t bytes);

// The emulated screen as it is now (not only as last shown). Valid until
// the display changes.
struct ScreenView {
    int width;
    int height;
    int pitch;
    const std::uint8_t* pixels;
    const PALETTEENTRY* palette;  // 256 entries
};
ScreenView CurrentScreen();

}  // namespace platform
