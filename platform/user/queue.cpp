// The message queue: posted messages in order, then WM_PAINT for windows
// needing it, then WM_QUIT once PostQuitMessage was called, as Windows
// delivers them. Other threads (the multimedia notifications) may post;
// everything else happens on the main thread.
#include "platform/user/queue.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/trace/trace.h"
#include "platform/user/user_internal.h"

namespace platform::user {
namespace {

struct QueueState {
    std::mutex postedLock;  // guards `posted` only
    std::deque<MSG> posted;
    std::vector<HWND> needPaint;
    std::vector<HWND> needErase;  // of those, the ones whose background goes first
    bool quitPosted = false;
    int quitCode = 0;
    // Messages sent to the thread's windows so far: a wait for a message
    // ends once one was sent meanwhile.
    unsigned long sent = 0;
    std::vector<std::string> foreignClasses;
};

QueueState& MessageQueue() {
    static QueueState q;
    return q;
}

bool MatchesFilter(const MSG& m, HWND hwnd, UINT low, UINT high) {
    if (hwnd && m.hwnd != hwnd) return false;
    if (low == 0 && high == 0) return true;
    return m.message >= low && m.message <= high;
}

void Stamp(MSG& m) {
    m.time = host::Milliseconds();
    m.pt = POINT{0, 0};
}

// Takes (or with remove = false, copies) the next message the filter allows.
bool NextMessage(MSG* out, HWND hwnd, UINT low, UINT high, bool remove) {
    auto& q = MessageQueue();
    if (host::TakeRaiseRequest()) {
        auto windows = TopLevelWindows();
        if (!windows.empty()) SetForegroundWindow(windows.front());
    }
    {
        std::lock_guard guard(q.postedLock);
        for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
            if (!MatchesFilter(*it, hwnd, low, high)) continue;
            *out = *it;
            if (remove) q.posted.erase(it);
            return true;
        }
    }
    for (auto it = q.needPaint.begin(); it != q.needPaint.end(); ++it) {
        if (!FromHandle(*it)) continue;
        MSG m{*it, WM_PAINT, 0, 0, 0, {}};
        if (!MatchesFilter(m, hwnd, low, high)) continue;
        Stamp(m);
        *out = m;
        // WM_PAINT stays pending until the window is validated (BeginPaint).
        return true;
    }
    if (q.quitPosted) {
        MSG m{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, 0, {}};
        Stamp(m);
        *out = m;
        if (remove) q.quitPosted = false;
        return true;
    }
    return false;
}

}  // namespace

void DiscardMessagesFor(HWND hwnd) {
    auto& q = MessageQueue();
    std::unique_lock guard(q.postedLock);
    q.posted.erase(std::remove_if(q.posted.begin(), q.posted.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                   q.posted.end());
    guard.unlock();
    ValidateWindow(hwnd);
}

void RequestPaint(HWND hwnd, bool erase) {
    auto& p = MessageQueue().needPaint;
    if (std::find(p.begin(), p.end(), hwnd) == p.end()) p.push_back(hwnd);
    auto& e = MessageQueue().needErase;
    if (erase && std::find(e.begin(), e.end(), hwnd) == e.end()) e.push_back(hwnd);
}

void NoteSentMessage() { ++MessageQueue().sent; }

bool NeedsErase(HWND hwnd) {
    auto& e = MessageQueue().needErase;
    return std::find(e.begin(), e.end(), hwnd) != e.end();
}

bool NeedsPaint(HWND hwnd) {
    auto& p = MessageQueue().needPaint;
    return std::find(p.begin(), p.end(), hwnd) != p.end();
}

void ValidateWindow(HWND hwnd) {
    auto& p = MessageQueue().needPaint;
    p.erase(std::remove(p.begin(), p.end(), hwnd), p.end());
    auto& e = MessageQueue().needErase;
    e.erase(std::remove(e.begin(), e.end(), hwnd), e.end());
}

HWND ForeignWindowHandle(const char* className) {
    auto& f = MessageQueue().foreignClasses;
    auto it = std::find(f.begin(), f.end(), className);
    if (it == f.end()) it = f.insert(f.end(), className);
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7F000000 + 4 * (it - f.begin())));
}

const char* ForeignWindowClass(HWND hwnd) {
    auto value = reinterpret_cast<std::uintptr_t>(hwnd);
    auto& f = MessageQueue().foreignClasses;
    if (value < 0x7F000000 || (value - 0x7F000000) % 4 != 0) return nullptr;
    std::size_t index = (value - 0x7F000000) / 4;
    return index < f.size() ? f[index].c_str() : nullptr;
}

void ResetQueueForTests() {
    auto& q = MessageQueue();
    {
        std::lock_guard guard(q.postedLock);
        q.posted.clear();
    }
    q.needPaint.clear();
    q.needErase.clear();
    q.quitPosted = false;
    q.quitCode = 0;
    q.sent = 0;
    q.foreignClasses.clear();
}

}  // namespace platform::user

using namespace platform::user;

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg) return FALSE;
    host::PumpEvents();
    if (NextMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0)) return TRUE;
    // An empty queue gives the processor away for up to one tick of the
    // millisecond clock, so a polling loop does not burn a whole core.
    if (!(wRemoveMsg & PM_NOYIELD)) host::Idle(1);
    return FALSE;
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (!lpMsg) return -1;
    for (;;) {
        host::PumpEvents();
        if (NextMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true))
            return lpMsg->message == WM_QUIT ? FALSE : TRUE;
        host::Idle(10);
    }
}

// Sleeps until something is waiting (a posted or input message, a window to
// paint, the quit message) or until a message was sent to one of the
// thread's windows meanwhile, as QS_SENDMESSAGE ends the wait on Windows:
// activation arrives as a sent WM_ACTIVATEAPP, delivered inside the wait,
// and a loop that slept while inactive must look again.
BOOL WINAPI WaitMessage(void) {
    MSG m;
    unsigned long sentBefore = MessageQueue().sent;
    for (;;) {
        host::PumpEvents();
        if (NextMessage(&m, nullptr, 0, 0, false) || MessageQueue().sent != sentBefore) return TRUE;
        host::Idle(10);
    }
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    // The game reads no WM_CHAR; nothing to translate into.
    return lpMsg && (lpMsg->message == WM_KEYDOWN || lpMsg->message == WM_SYSKEYDOWN) ? TRUE : FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (!lpMsg) return 0;
    Window* w = FromHandle(lpMsg->hwnd);
    if (!w || !w->proc) return 0;
    return w->proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    platform::TraceCall("PostMessageA");
    if (hWnd && !FromHandle(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    MSG m{hWnd, Msg, wParam, lParam, 0, {}};
    m.time = host::Milliseconds();
    std::lock_guard guard(MessageQueue().postedLock);
    MessageQueue().posted.push_back(m);
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
    platform::TraceCall("PostQuitMessage");
    MessageQueue().quitPosted = true;
    MessageQueue().quitCode = nExitCode;
}
