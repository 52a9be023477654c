// Message boxes through SDL's own. The texts arrive as UTF-8; X11's core
// fonts show Japanese only in a UTF-8 locale, so the box is drawn under one
// whatever the user's locale. Without a display the text goes to the
// standard error stream and the box counts as answered with its first button.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/host_video.h"
#include "platform/host/sdl/sdl_host.h"

namespace sdlhost {
namespace {

// On X11 SDL draws the box in a child process of its own and waits for it.
// That child must never outlive the program, showing a dead program's report
// and holding what it inherited: it dies with its parent.
pid_t boxOwner = 0;  // while a box is up

void OnBoxChild() {
    if (boxOwner == 0) return;
#ifdef __linux__
    prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    if (getppid() != boxOwner) _exit(0);  // the owner was gone before that took hold
}

// While SDL waits for the box, its own handler would only queue a quit that
// nothing reads: the program ends as the box's OK would end it.
void EndWhileBoxIsUp(int) { _exit(0); }

// The box's time, from the child's start to the answer.
class BoxGuard {
public:
    BoxGuard() {
        static std::once_flag once;
        std::call_once(once, [] { pthread_atfork(nullptr, nullptr, OnBoxChild); });
        boxOwner = getpid();
        struct sigaction ending {};
        ending.sa_handler = EndWhileBoxIsUp;
        sigemptyset(&ending.sa_mask);
        sigaction(SIGTERM, &ending, &oldTerm_);
        sigaction(SIGINT, &ending, &oldInt_);
    }
    ~BoxGuard() {
        sigaction(SIGTERM, &oldTerm_, nullptr);
        sigaction(SIGINT, &oldInt_, nullptr);
        boxOwner = 0;
    }
    BoxGuard(const BoxGuard&) = delete;
    BoxGuard& operator=(const BoxGuard&) = delete;

private:
    struct sigaction oldTerm_ {};
    struct sigaction oldInt_ {};
};

struct Buttons {
    std::vector<SDL_MessageBoxButtonData> list;
};

// The buttons of a Windows box style, left to right, with the result each
// gives; Enter picks the first and Escape the cancelling one, as on Windows.
Buttons ButtonsFor(unsigned type) {
    Buttons b;
    auto add = [&](int id, const char* text, Uint32 flags = 0) { b.list.push_back({flags, id, text}); };
    constexpr Uint32 enter = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    constexpr Uint32 escape = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL: add(IDOK, "OK", enter), add(IDCANCEL, "Cancel", escape); break;
        case MB_ABORTRETRYIGNORE: add(IDABORT, "Abort", enter), add(IDRETRY, "Retry"), add(IDIGNORE, "Ignore"); break;
        case MB_YESNOCANCEL: add(IDYES, "Yes", enter), add(IDNO, "No"), add(IDCANCEL, "Cancel", escape); break;
        case MB_YESNO: add(IDYES, "Yes", enter), add(IDNO, "No", escape); break;
        case MB_RETRYCANCEL: add(IDRETRY, "Retry", enter), add(IDCANCEL, "Cancel", escape); break;
        default: add(IDOK, "OK", enter | escape); break;
    }
    return b;
}

Uint32 IconFlags(unsigned type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONHAND: return SDL_MESSAGEBOX_ERROR;
        case MB_ICONEXCLAMATION: return SDL_MESSAGEBOX_WARNING;
        default: return SDL_MESSAGEBOX_INFORMATION;
    }
}

// Sets LC_ALL to a UTF-8 locale for as long as it lives, when the user's
// locale is not one already.
class Utf8Locale {
public:
    Utf8Locale() {
        const char* all = std::getenv("LC_ALL");
        const char* ctype = std::getenv("LC_CTYPE");
        const char* lang = std::getenv("LANG");
        const char* effective = all && *all ? all : ctype && *ctype ? ctype : lang;
        std::string e = effective ? effective : "";
        if (e.find("UTF-8") != std::string::npos || e.find("utf8") != std::string::npos ||
            e.find("UTF8") != std::string::npos || e.find("utf-8") != std::string::npos)
            return;
        changed_ = true;
        hadAll_ = all != nullptr;
        if (all) oldAll_ = all;
        setenv("LC_ALL", "C.UTF-8", 1);
    }
    ~Utf8Locale() {
        if (!changed_) return;
        if (hadAll_)
            setenv("LC_ALL", oldAll_.c_str(), 1);
        else
            unsetenv("LC_ALL");
    }
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;

private:
    bool changed_ = false;
    bool hadAll_ = false;
    std::string oldAll_;
};

}  // namespace
}  // namespace sdlhost

namespace host {

int ShowMessageBox(const char* utf8Text, const char* utf8Caption, unsigned type) {
    using namespace sdlhost;
    Buttons buttons = ButtonsFor(type);
    SDL_MessageBoxData data{};
    data.flags = IconFlags(type);
    HWND owner = ScreenWindow();
    // Over a full-screen picture the box would hide behind it.
    data.window = owner && !InFullScreenMode() ? SdlWindowOf(owner) : nullptr;
    data.title = utf8Caption ? utf8Caption : "";
    data.message = utf8Text ? utf8Text : "";
    data.numbuttons = static_cast<int>(buttons.list.size());
    data.buttons = buttons.list.data();
    int chosen = -1;
    bool shown = false;
    if (VideoReady()) {
        Utf8Locale locale;
        BoxGuard box;
        shown = SDL_ShowMessageBox(&data, &chosen) == 0;
    }
    if (!shown) {
        std::fprintf(stderr, "%s\n\n%s\n", data.title, data.message);
        return buttons.list.front().buttonid;
    }
    // As the owner of a closed modal box does on Windows, the program's
    // window takes the focus back (nobody else gives it back on a bare X
    // server).
    if (owner) RaiseScreenWindow();
    if (chosen < 0) {
        // Closed by its window's close box: the button Escape stands for.
        for (const auto& b : buttons.list)
            if (b.flags & SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT) chosen = b.buttonid;
        if (chosen < 0) chosen = buttons.list.front().buttonid;
    }
    return chosen;
}

}  // namespace host
