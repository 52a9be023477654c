// The headless host: a virtual millisecond clock, scripted keys and joystick,
// a pretend desktop and captured screens. Deterministic by construction: the
// clock moves only when the program waits or a test moves it.
#include "platform/host/headless/headless.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <map>
#include <utility>

#include "platform/host/headless/headless_video.h"
#include "platform/host/host_events.h"

namespace headless {
namespace {

// The clock alone is read from any thread (a timed wait may run on one).
std::atomic<std::uint32_t> virtualClock{0};

struct HostState {
    IdleHook idle;
    IdleHook sleep;
    int sleeps = 0;
    std::array<bool, 256> keys{};
    bool joystickPresent = false;
    host::JoystickCaps joyCaps{};
    host::JoystickState joyState{};
    std::map<std::string, bool> foreign;
    std::map<std::string, int> raiseRequests;
    std::map<std::string, int> published;
    host::DesktopMode desktop{1024, 768, 8};
    bool fullScreen = false;
    host::DesktopMode mode{1024, 768, 8};
    Screen screen;
    int screensShown = 0;
    // The image the screen was last taken from, and the present after which
    // it equals that image: later presents copy only what their record names,
    // so every test of what is shown also checks that the record misses nothing.
    const std::uint8_t* shownFrom = nullptr;
    int shownPitch = 0;
    std::uint64_t shownPresent = ~std::uint64_t{0};
    int refreshWaits = 0;
    bool refreshWaitsOn = true;
    std::vector<MessageBoxRecord> boxes;
};

HostState& Machine() {
    static HostState h;
    return h;
}

// The place of the key a test presses: its own, or for the left and right
// keys of a pair the place of that side (reported, as Windows does, under
// the pair's code).
const platform::user::KeyPlace* PlaceOf(int vk) {
    switch (vk) {
        case VK_LSHIFT: return platform::user::PlaceOfCode("ShiftLeft");
        case VK_RSHIFT: return platform::user::PlaceOfCode("ShiftRight");
        case VK_LCONTROL: return platform::user::PlaceOfCode("ControlLeft");
        case VK_RCONTROL: return platform::user::PlaceOfCode("ControlRight");
        case VK_LMENU: return platform::user::PlaceOfCode("AltLeft");
        case VK_RMENU: return platform::user::PlaceOfCode("AltRight");
        default: return platform::user::PlaceOfVirtualKey(vk);
    }
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
    return s;
}

}  // namespace

namespace {
// The program's own language, whatever the machine running the tests speaks.
struct JapaneseByDefault {
    JapaneseByDefault() { platform::SetUiLanguage(platform::kLanguageJapanese); }
} japaneseByDefault;
}  // namespace

void Reset() {
    platform::SetUiLanguage(platform::kLanguageJapanese);
    platform::ResetForTests();
    Machine() = HostState{};
    virtualClock = 0;
}

void SetTime(std::uint32_t ms) { virtualClock = ms; }
void AdvanceTime(std::uint32_t ms) { virtualClock += ms; }
std::uint32_t Time() { return virtualClock; }
void SetIdleHook(IdleHook hook) { Machine().idle = std::move(hook); }
void SetSleepHook(IdleHook hook) { Machine().sleep = std::move(hook); }
int Sleeps() { return Machine().sleeps; }

void SetKey(int vk, bool down) {
    if (vk <= 0 || vk >= 256) return;
    bool& key = Machine().keys[static_cast<std::size_t>(vk)];
    bool was = key;
    key = down;
    if (!was && !down) return;
    // The key reaches the window on the screen as the keyboard's would.
    platform::user::HostKey moved;
    const platform::user::KeyPlace* place = PlaceOf(vk);
    moved.virtualKey = place ? place->virtualKey : vk;
    moved.scanCode = place ? place->scanCode : 0;
    moved.extended = place && place->extended;
    moved.down = down;
    moved.alt = platform::user::KeyIsDown(VK_MENU);
    moved.ctrl = platform::user::KeyIsDown(VK_CONTROL);
    platform::user::ReportKey(platform::user::ScreenWindow(), moved);
}
void ReleaseAllKeys() {
    for (int vk = 1; vk < 256; ++vk)
        if (Machine().keys[static_cast<std::size_t>(vk)]) SetKey(vk, false);
}

void SetJoystick(bool present, const host::JoystickCaps& caps) {
    Machine().joystickPresent = present;
    Machine().joyCaps = caps;
}
void SetJoystickState(const host::JoystickState& state) { Machine().joyState = state; }

void SetForeignWindow(const std::string& className, bool exists) { Machine().foreign[Lower(className)] = exists; }
int RaiseRequests(const std::string& className) { return Machine().raiseRequests[Lower(className)]; }
bool ClassPublished(const std::string& className) { return Machine().published[Lower(className)] > 0; }

void SetDesktop(const host::DesktopMode& mode) {
    Machine().desktop = mode;
    if (!Machine().fullScreen) Machine().mode = mode;
    platform::DesktopChanged();
}
const Screen& LastScreen() { return Machine().screen; }
int ScreensShown() { return Machine().screensShown; }
int RefreshWaits() { return Machine().refreshWaits; }
void SetRefreshWaits(bool waits) { Machine().refreshWaitsOn = waits; }
const std::vector<MessageBoxRecord>& MessageBoxes() { return Machine().boxes; }

}  // namespace headless

namespace host {

using headless::Machine;

std::uint32_t Milliseconds() { return headless::virtualClock; }

void Idle(std::uint32_t ms) {
    if (Machine().idle)
        Machine().idle(ms);
    else
        headless::virtualClock += ms;
}

void Sleep(std::uint32_t ms) {
    platform::FinishPendingWork();
    ++Machine().sleeps;
    if (Machine().sleep)
        Machine().sleep(ms);
    else
        headless::virtualClock += ms;
}

bool WaitFor(std::unique_lock<std::mutex>& guard, std::condition_variable&, const std::function<bool()>& ready,
             std::uint32_t ms) {
    if (ready()) return true;
    guard.unlock();
    platform::FinishPendingWork();
    guard.lock();
    if (ready()) return true;
    // Nothing left in the stand-in could end the wait: it times out at once,
    // with the clock where it would be.
    headless::virtualClock += ms;
    return false;
}

// Where the build has no threads, the MIDI notifications wait for the
// message loop; elsewhere their own thread has delivered them.
void PumpEvents() { platform::DeliverNotifications(); }

int JoystickCount() { return Machine().joystickPresent ? 1 : 0; }
bool JoystickGetCaps(int index, JoystickCaps& caps) {
    if (index != 0 || !Machine().joystickPresent) return false;
    caps = Machine().joyCaps;
    return true;
}
bool JoystickGetState(int index, JoystickState& state) {
    if (index != 0 || !Machine().joystickPresent) return false;
    state = Machine().joyState;
    return true;
}

bool ForeignWindowExists(std::string_view className) {
    auto it = Machine().foreign.find(headless::Lower(std::string(className)));
    return it != Machine().foreign.end() && it->second;
}
bool RaiseForeignWindow(std::string_view className) {
    if (!ForeignWindowExists(className)) return false;
    ++Machine().raiseRequests[headless::Lower(std::string(className))];
    return true;
}
void PublishWindowClass(std::string_view className) { ++Machine().published[headless::Lower(std::string(className))]; }
void WithdrawWindowClass(std::string_view className) {
    Machine().published[headless::Lower(std::string(className))] = 0;
}
// No other process of this program runs beside a test to ask.
bool TakeRaiseRequest() { return false; }
// Built to WebAssembly without threads (the watch for Node), it has none.
bool HasThreads() {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    return false;
#else
    return true;
#endif
}

DesktopMode Desktop() { return Machine().desktop; }
bool SetDisplayMode(int width, int height, int bitsPerPixel) {
    Machine().mode = DesktopMode{width, height, bitsPerPixel};
    Machine().fullScreen = true;
    return true;
}
void RestoreDisplayMode() {
    Machine().mode = Machine().desktop;
    Machine().fullScreen = false;
}
bool InFullScreenMode() { return Machine().fullScreen; }

void ShowScreen(const ScreenImage& image) {
    auto& m = Machine();
    auto& s = m.screen;
    const bool recorded = image.written && m.shownPresent == image.writtenSince && m.shownFrom == image.pixels &&
                          m.shownPitch == image.pitch && s.width == image.width && s.height == image.height;
    s.width = image.width;
    s.height = image.height;
    s.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        int from = 0, to = image.width;
        if (recorded) from = image.written[y].from, to = image.written[y].to;
        if (from < to)
            std::copy_n(image.pixels + static_cast<std::ptrdiff_t>(y) * image.pitch + from, to - from,
                        s.pixels.begin() + static_cast<std::ptrdiff_t>(y) * image.width + from);
    }
    m.shownFrom = image.pixels;
    m.shownPitch = image.pitch;
    m.shownPresent = image.writtenSince + 1;
    s.palette.assign(image.palette, image.palette + 256);
    ++Machine().screensShown;
}

// Refresh k happens at k * 1000 / 60 ms of the hand-turned clock.
double Refreshes() { return static_cast<double>(headless::virtualClock) * 60.0 / 1000.0; }

void WaitForRefresh() {
    if (!Machine().refreshWaitsOn) {
        ++Machine().refreshWaits;
        return;
    }
    // The first millisecond at which the next refresh has begun.
    std::uint64_t now = headless::virtualClock;
    std::uint64_t next = ((now * 60 / 1000 + 1) * 1000 + 59) / 60;
    ++Machine().refreshWaits;
    Idle(static_cast<std::uint32_t>(next - now));
}

int ShowMessageBox(const char* utf8Text, const char* utf8Caption, unsigned type) {
    Machine().boxes.push_back(
        headless::MessageBoxRecord{utf8Text ? utf8Text : "", utf8Caption ? utf8Caption : "", type});
    return 1;  // IDOK: the test's user reads it and presses OK
}

}  // namespace host
