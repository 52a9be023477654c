// The browser host (Emscripten, no threads, ASYNCIFY): the page's canvas is
// the screen, its keyboard and gamepads the input, Web Audio the sound card.
// The program runs as one long call on the page's thread; where Windows would
// block (an idle message loop, the wait for the vertical blank, a message
// box) the host awaits the browser instead, so that the page stays alive.
// While the program waits, the host mixes the next blocks of sound and hands
// the MIDI device's notifications to their owners, the work that threads of
// their own do on the other hosts.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/host/host.h"
#include "platform/host/host_audio.h"
#include "platform/host/host_events.h"
#include "platform/host/host_picture.h"
#include "platform/host/host_video.h"
#include "platform/host/web/web_bytes.h"
#include "platform/host/web/web_keys.h"
#include "platform/host/web/web_screen.h"

// ---- The page's side ---------------------------------------------------------
// Module.tumbla (set up by the page, platform/host/web/page/tumbla_page.js)
// owns the canvas, the audio worklet and the dialog.

// clang-format off
// Waits for the first animation frame whose time reaches the deadline, less
// a quarter of a refresh for the jitter of the page's clock, and returns
// that frame's time. A 60 Hz screen shows every game frame; a faster one
// shows some twice.
EM_ASYNC_JS(double, web_wait_frame, (double deadline, double early), {
    for (;;) {
        const time = await new Promise((resolve) => requestAnimationFrame(resolve));
        if (time >= deadline - early) return time;
    }
});

// An idle wait (`wakeable`) also ends when the page gains or loses the focus
// or is shown or hidden (web_wake): a hidden page's timers may be held back
// for a second or more, and the game's activation must not wait for them.
// A plain Sleep waits its full time, as on Windows.
EM_ASYNC_JS(void, web_sleep, (double ms, int wakeable), {
    await new Promise((resolve) => {
        const timer = setTimeout(resolve, ms);
        if (wakeable) Module.wakeHost = () => { clearTimeout(timer); resolve(); };
    });
    Module.wakeHost = null;
});

// The next animation frame's time, or -1 when woken first (web_wake): a
// hidden page gets no animation frames.
EM_ASYNC_JS(double, web_next_frame, (), {
    const time = await new Promise((resolve) => {
        const frame = requestAnimationFrame(resolve);
        Module.wakeHost = () => { cancelAnimationFrame(frame); resolve(-1); };
    });
    Module.wakeHost = null;
    return time;
});

EM_JS(void, web_wake, (), {
    if (Module.wakeHost) Module.wakeHost();
});

EM_ASYNC_JS(int, web_message_box, (const char* text, const char* caption), {
    return await Module.tumbla.messageBox(UTF8ToString(text), UTF8ToString(caption));
});

// `count` rectangles (x, y, width, height) changed since the last picture;
// none, and the canvas keeps what it shows.
static_assert(sizeof(platform::video::PixelRect) == 4 * sizeof(int), "the page reads a rectangle as four ints");
EM_JS(void, web_present, (const std::uint32_t* rgba, int width, int height, const platform::video::PixelRect* rects,
                          int count), {
    Module.tumbla.present(HEAPU8.buffer, rgba, width, height, HEAP32.subarray(rects >> 2, (rects >> 2) + count * 4));
});

EM_JS(int, web_audio_open, (int rate), { return Module.tumbla.audioOpen(rate) ? 1 : 0; });
EM_JS(void, web_audio_close, (), { Module.tumbla.audioClose(); });
// Frames written but not yet played.
EM_JS(int, web_audio_queued, (), { return Module.tumbla.audioQueued(); });
EM_JS(void, web_audio_write, (const std::int16_t* samples, int frames), {
    Module.tumbla.audioWrite(HEAP16.subarray(samples >> 1, (samples >> 1) + frames * 2));
});
EM_JS(void, web_set_full_screen, (int on), { Module.tumbla.fullScreen(on !== 0); });
// Chromium stops polling the pads for a page once it drops its last
// gamepad listener, even when the page has looked at them itself.
EM_JS(void, web_pads_rest, (), {
    const none = () => {};
    addEventListener('gamepadconnected', none);
    removeEventListener('gamepadconnected', none);
});
EM_JS(void, web_pad_found, (int found), { Module.tumbla.padFound(found !== 0); });
EM_JS(void, web_pad_pressed, (), { Module.tumbla.padPressed(); });
// clang-format on

namespace {

// ---- Keys and activation ---------------------------------------------------

std::array<platform::user::HostKey, 256> keyQueue;
std::size_t keyCount = 0;
enum class Activation { None, Gained, Lost };
Activation pendingActivation = Activation::None;
bool active = true;
bool quitRequested = false;

// Hands the keys that moved since the last look to USER, in their order.
void ReportKeys(HWND hwnd) {
    for (std::size_t i = 0; i < keyCount; ++i) platform::user::ReportKey(hwnd, keyQueue[i]);
    keyCount = 0;
}

EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* e, void*) {
    bool down = type == EMSCRIPTEN_EVENT_KEYDOWN;
    webhost::WebKey key = webhost::TranslateKey(e->code, e->key);
    if (key.virtualKey == 0) return EM_FALSE;
    if (keyCount < keyQueue.size())
        keyQueue[keyCount++] =
            platform::user::HostKey{key.virtualKey, key.scanCode, key.extended, down, e->altKey != 0, e->ctrlKey != 0};
    // The page must not scroll, search or open its menu on the game's keys;
    // Ctrl with a key stays the browser's.
    return e->ctrlKey ? EM_FALSE : EM_TRUE;
}

// A program waiting in the background sleeps long; coming back to the front
// ends its sleep at once, as activation ends a wait for messages on Windows.
void Activate(bool gained) {
    pendingActivation = gained ? Activation::Gained : Activation::Lost;
    web_wake();
}

EM_BOOL OnFocus(int type, const EmscriptenFocusEvent* e, void*) {
    // Listening on the window also hears its elements' focus and blur (the
    // Play button's, as the page hides it): only the window's own count.
    if (std::string_view(e->nodeName) != "#window") return EM_FALSE;
    Activate(type == EMSCRIPTEN_EVENT_FOCUS);
    return EM_FALSE;
}

EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent* e, void*) {
    // A hidden tab is an application in the background: it runs no frames.
    Activate(!e->hidden);
    return EM_FALSE;
}

const char* BeforeUnload(int, const void*, void*) {
    quitRequested = true;
    return nullptr;
}

void ListenOnce() {
    static bool listening = false;
    if (listening) return;
    listening = true;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnKey);
    emscripten_set_focus_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnFocus);
    emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnFocus);
    emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, OnVisibility);
    emscripten_set_beforeunload_callback(nullptr, BeforeUnload);
}

using platform::user::ScreenWindow;

// ---- Sound -------------------------------------------------------------------

bool audioOpen = false;
// Between 50 and 100 ms of sound waits in the worklet: enough to ride out a
// busy moment of the page, little enough that an effect follows its key.
constexpr int kLowWater = 44100 * 50 / 1000;
constexpr int kHighWater = 44100 * 100 / 1000;
constexpr int kBlock = 512;
std::array<std::int16_t, kBlock * 2> block;

// Until this time (ms) the worklet holds at least kLowWater frames, by the
// count it last gave: the page is not asked again before, as the program
// calls Background several times a wake.
double fedUntil = 0;

void FeedAudio() {
    if (!audioOpen) return;
    const double now = emscripten_get_now();
    if (now < fedUntil) return;
    int queued = web_audio_queued();
    if (queued < kLowWater)
        for (; queued < kHighWater; queued += kBlock) {
            platform::audio::Render(block.data(), kBlock);
            web_audio_write(block.data(), kBlock);
        }
    fedUntil = now + (queued - kLowWater) * 1000.0 / platform::audio::kSampleRate;
}

// What the other hosts' threads do, done while the program waits.
void Background() {
    FeedAudio();
    platform::DeliverNotifications();
}

// ---- The picture ----------------------------------------------------------

bool fullScreen = false;
std::array<std::uint32_t, webhost::kPictureWidth * webhost::kPictureHeight> rgba;
// What the canvas shows: only what the game wrote since, where it differs,
// is converted and goes to the page, as a few rectangles: most frames change
// a few stars and the piece, and the browser's copy is the cost.
platform::video::ShownPicture shown;
constexpr int kMaxChanges = 48;
std::array<platform::video::PixelRect, kMaxChanges> changes;
double nextRefresh = 0;
// The time of an animation frame an idle wait ended on and no refresh has
// counted yet; -1 for none.
double idleFrame = -1;

// A pad the browser has no mapping for (Firefox reports many so) gives its
// cross either as a hat on axis 9, one value per direction from -1 (up)
// clockwise in steps of 2/7 and beyond 1 when centred, or as two axes, 6
// across and 7 down.
void SteerByUnmappedCross(const EmscriptenGamepadEvent& pad, host::JoystickState& state) {
    int dx = 0, dy = 0;
    if (pad.numAxes > 9) {
        // An ordinary axis there, resting at 0, lies between two steps.
        double step = (pad.axis[9] + 1.0) * 3.5;
        if (step < -0.25 || step > 7.25 || std::abs(step - std::round(step)) > 0.25) return;
        static constexpr int kAcross[8] = {0, 1, 1, 1, 0, -1, -1, -1};
        static constexpr int kDown[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
        int direction = static_cast<int>(std::lround(step)) & 7;
        dx = kAcross[direction];
        dy = kDown[direction];
    } else if (pad.numAxes > 7) {
        dx = pad.axis[6] < -0.5 ? -1 : pad.axis[6] > 0.5 ? 1 : 0;
        dy = pad.axis[7] < -0.5 ? -1 : pad.axis[7] > 0.5 ? 1 : 0;
    }
    if (dx != 0) state.x = dx < 0 ? 0 : 65535;
    if (dy != 0) state.y = dy < 0 ? 0 : 65535;
}

// Chromium polls the pads for a page, 2 % of a core, from its first look at
// them until the page drops its last gamepad listener; a pad shows itself to
// a page once one of its buttons is pressed. Until a pad has been seen, the
// host looks for one a quarter of each second and lets the browser rest in
// between: a pad held or pressed a few times is found within a second.
constexpr std::uint32_t kLookEvery = 1000;
constexpr std::uint32_t kLookFor = 250;
bool padSeen = false;
// The buttons down at the last look: a new press tells the page, which
// then gives the screen back to the picture.
unsigned padButtons = 0;
bool looking = false;
std::uint32_t lookStarted = 0u - kLookEvery;

bool LookAtPads() {
    if (padSeen) return true;
    const std::uint32_t now = host::Milliseconds();
    if (!looking && now - lookStarted >= kLookEvery) {
        looking = true;
        lookStarted = now;
    } else if (looking && now - lookStarted >= kLookFor) {
        looking = false;
        web_pads_rest();
    }
    return looking;
}

}  // namespace

namespace host {

std::uint32_t Milliseconds() {
    static const double start = emscripten_get_now();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(emscripten_get_now() - start));
}

void Idle(std::uint32_t ms) {
    ListenOnce();
    Background();
    // An active program idles until the next animation frame: the frame
    // loop's yield and its wait for the refresh then share one wake a frame
    // (WaitForRefresh takes that frame), and the game draws inside the
    // browser's frame. A program in the background is woken only when there
    // is sound to mix, or at once when the page comes forward (see web_sleep).
    if (active) {
        idleFrame = web_next_frame();
        // The frame that runs now reads the keys that came while it waited:
        // the wait is most of a frame here, not the tick it is elsewhere.
        ReportKeys(ScreenWindow());
    } else {
        web_sleep(std::max<double>(ms, 20), 1);
    }
    Background();
}

void Sleep(std::uint32_t ms) {
    Background();
    web_sleep(ms, 0);
    Background();
}

// Whoever ends the wait runs on this thread, in the waits' background work:
// the wait lets the page run until then, on the host's clock.
bool WaitFor(std::unique_lock<std::mutex>& guard, std::condition_variable&, const std::function<bool()>& ready,
             std::uint32_t ms) {
    std::uint32_t start = Milliseconds();
    while (!ready()) {
        if (Milliseconds() - start >= ms) return false;
        guard.unlock();
        Sleep(1);
        guard.lock();
    }
    return true;
}

void PumpEvents() {
    ListenOnce();
    Background();
    if (quitRequested) {
        quitRequested = false;
        for (HWND hwnd : platform::user::TopLevelWindows()) PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
    // The keys first: those that moved before the page lost the focus are
    // let go with every other key when it is deactivated.
    HWND hwnd = ScreenWindow();
    ReportKeys(hwnd);
    if (pendingActivation != Activation::None) {
        bool gained = pendingActivation == Activation::Gained;
        pendingActivation = Activation::None;
        if (gained != active) {
            active = gained;
            platform::user::SetApplicationActive(gained);
            // The page shown again must be drawn again: a window uncovered
            // on Windows gets its WM_PAINT, which also ends a WaitMessage.
            if (hwnd && gained) InvalidateRect(hwnd, nullptr, FALSE);
        }
    }
}

int JoystickCount() { return 1; }

bool JoystickGetCaps(int index, JoystickCaps& caps) {
    if (index != 0) return false;
    // A standard gamepad's caps whether or not one is attached yet, as a
    // Windows joystick driver reports them: pads come and go in a browser.
    caps = JoystickCaps{0, 65535, 0, 65535, 0, 65535, 0, 65535, 16, "Gamepad"};
    return true;
}

bool JoystickGetState(int index, JoystickState& state) {
    if (index != 0 || !LookAtPads()) return false;
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return false;
    int count = emscripten_get_num_gamepads();
    for (int i = 0; i < count; ++i) {
        EmscriptenGamepadEvent pad{};
        if (emscripten_get_gamepad_status(i, &pad) != EMSCRIPTEN_RESULT_SUCCESS || !pad.connected) continue;
        auto axis = [&](int n) {
            double v = n < pad.numAxes ? pad.axis[n] : 0.0;
            return static_cast<unsigned>(std::clamp((v + 1.0) * 32767.5, 0.0, 65535.0));
        };
        state = JoystickState{axis(0), axis(1), axis(2), axis(3), 0};
        for (int b = 0; b < std::min(pad.numButtons, 32); ++b)
            if (pad.digitalButton[b]) state.buttons |= 1u << b;
        // The standard mapping's D-pad (buttons 12 up, 13 down, 14 left,
        // 15 right) steers as the stick does, as a Windows driver reports
        // a pad's cross on its axes.
        if (std::string_view(pad.mapping) == "standard" && pad.numButtons > 15) {
            auto pressed = [&](int b) { return pad.digitalButton[b] != 0; };
            if (pressed(14) != pressed(15)) state.x = pressed(14) ? 0 : 65535;
            if (pressed(12) != pressed(13)) state.y = pressed(12) ? 0 : 65535;
        } else if (pad.mapping[0] == '\0') {
            SteerByUnmappedCross(pad, state);
        }
        if (!padSeen) web_pad_found(1);
        if (state.buttons & ~padButtons) web_pad_pressed();
        padButtons = state.buttons;
        padSeen = true;
        return true;
    }
    // Gone: looked for a while longer, then let be.
    if (padSeen) {
        padSeen = false;
        padButtons = 0;
        looking = true;
        lookStarted = Milliseconds();
        web_pad_found(0);
    }
    return false;
}

// One page, one game: there is no other process to find.
bool ForeignWindowExists(std::string_view) { return false; }
bool RaiseForeignWindow(std::string_view) { return false; }
void PublishWindowClass(std::string_view) {}
void WithdrawWindowClass(std::string_view) {}
bool TakeRaiseRequest() { return false; }

// A desktop larger than the game's window, so that the window keeps its
// whole client area; the page shows only that.
DesktopMode Desktop() { return DesktopMode{1024, 768, 8}; }

// A mode larger than the page's picture is refused, as a display refuses a
// mode it lacks: DirectDraw then answers DDERR_INVALIDMODE.
bool SetDisplayMode(int width, int height, int) {
    if (!webhost::ShowsMode(width, height)) return false;
    fullScreen = true;
    web_set_full_screen(1);
    return true;
}

void RestoreDisplayMode() {
    fullScreen = false;
    web_set_full_screen(0);
}

bool InFullScreenMode() { return fullScreen; }

void ShowScreen(const ScreenImage& image) {
    if (!image.pixels || !image.palette || image.width <= 0 || image.height <= 0) return;
    // In a window the picture is the window's client area: all of it, or
    // less where the window reaches over the desktop's edges.
    int left = 0, top = 0, width = image.width, height = image.height;
    if (!fullScreen) {
        HWND hwnd = ScreenWindow();
        if (!hwnd) return;
        RECT part = platform::user::ShownClientPart(hwnd);
        left = static_cast<int>(part.left);
        top = static_cast<int>(part.top);
        width = std::min<int>(static_cast<int>(part.right - part.left), image.width - left);
        height = std::min<int>(static_cast<int>(part.bottom - part.top), image.height - top);
    }
    width = std::min(width, webhost::kPictureWidth);
    height = std::min(height, webhost::kPictureHeight);
    if (width <= 0 || height <= 0) return;
    // The canvas takes its pixels as R, G, B, A bytes.
    static constexpr platform::video::PixelLayout kCanvasLayout{0x000000FFu, 0x0000FF00u, 0x00FF0000u, 0xFF000000u};
    const platform::video::ChangedRows rows = shown.Draw(
        image, kCanvasLayout, -left, -top, 1, platform::video::PixelTarget{rgba.data(), width * 4, width, height});
    // A whole draw comes out as one rectangle of the whole picture.
    const int count = platform::video::ChangedRects(shown, rows, changes.data(), kMaxChanges);
    web_present(rgba.data(), width, height, changes.data(), count);
}

// The emulated display's refreshes follow the animation frames that the
// waits land on: refresh number `refreshCount` was at `lastRefresh`.
namespace {
constexpr double kRefreshPeriod = 1000.0 / 60.0;
double lastRefresh = 0;
double refreshCount = 0;
}  // namespace

double Refreshes() { return refreshCount + std::max(0.0, emscripten_get_now() - lastRefresh) / kRefreshPeriod; }

void WaitForRefresh() {
    // Refresh k of the emulated display is at k / 60 s, as on the other hosts.
    // After an idle wait the frame is drawn in the animation frame that wait
    // ended on: that frame is its refresh, and the clock is read as of then.
    constexpr double kPeriod = kRefreshPeriod;
    bool inFrame = idleFrame >= 0;
    double now = inFrame ? idleFrame : emscripten_get_now();
    if (nextRefresh < now - kPeriod) nextRefresh = inFrame ? now - kPeriod : now;
    nextRefresh += kPeriod;
    Background();
    constexpr double kEarly = 1000.0 / 240;
    double shown = idleFrame >= nextRefresh - kEarly ? idleFrame : web_wait_frame(nextRefresh, kEarly);
    idleFrame = -1;
    // Drawn at the screen's refresh, not beside it: the refresh times follow
    // the animation frames' slowly, so that their jitter never lets one slip
    // past a deadline, while their average stays 60 a second.
    if (std::abs(shown - nextRefresh) < kPeriod / 2) nextRefresh += (shown - nextRefresh) / 8;
    refreshCount = std::round(refreshCount + (nextRefresh - lastRefresh) / kPeriod);
    lastRefresh = nextRefresh;
    Background();
}

int ShowMessageBox(const char* utf8Text, const char* utf8Caption, unsigned) {
    return web_message_box(utf8Text, utf8Caption);
}

bool AudioOpen(int sampleRate) {
    if (!audioOpen) audioOpen = web_audio_open(sampleRate) != 0;
    fedUntil = 0;
    return audioOpen;
}

void AudioClose() {
    if (!audioOpen) return;
    web_audio_close();
    audioOpen = false;
}

}  // namespace host

// Emscripten's C library (musl) compares a byte at a time, and WebAssembly
// has none of its own: comparing each frame with the picture shown was the
// dearest part of a present. The linker takes this before the library's.
extern "C" int memcmp(const void* a, const void* b, std::size_t n) { return webhost::CompareBytes(a, b, n); }
