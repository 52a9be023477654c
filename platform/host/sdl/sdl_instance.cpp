// Windows of other processes, for the single-instance rule. A process that
// owns a window of a class listens on a local socket named after the class,
// the user and the display (in Linux's abstract namespace, so nothing is
// left on disk when the process dies); another process finds the window by
// connecting, and asks it to come forward by sending one byte. The owner
// looks for such requests whenever its message queue is read. As FindWindow
// searches only the desktop it runs on, programs on two different displays
// do not see each other.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/host/host.h"

namespace sdlhost {
namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    return out;
}

// The socket's address; `length` counts the bytes of the name that matter.
struct Address {
    sockaddr_un addr{};
    socklen_t length = 0;
};

Address AddressFor(std::string_view className) {
    Address a;
    a.addr.sun_family = AF_UNIX;
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!display || !*display) display = std::getenv("DISPLAY");
    std::string name =
        "tumbla-window-class." + std::to_string(getuid()) + "." + (display ? display : "") + "." + Lower(className);
    std::size_t room = sizeof(a.addr.sun_path) - 1;
    if (name.size() > room) name.resize(room);
#ifdef __linux__
    a.addr.sun_path[0] = '\0';  // the abstract namespace
    std::memcpy(a.addr.sun_path + 1, name.data(), name.size());
    a.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
#else
    std::string path = "/tmp/" + name;
    path.resize(std::min(path.size(), room));
    std::memcpy(a.addr.sun_path, path.data(), path.size());
    a.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
#endif
    return a;
}

// A connection to the owner of the class, or -1 when there is none.
int Connect(std::string_view className) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    Address a = AddressFor(className);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&a.addr), a.length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::map<std::string, int>& Listeners() {
    static std::map<std::string, int> listeners;  // by lower-case class name
    return listeners;
}

// A child process (SDL's message box on X11 is one) must not answer for
// this process's windows: were it to outlive us, every later start would
// find a window nobody shows. Only closing here, in the child: it may not
// allocate.
void CloseListenersInChild() {
    for (const auto& entry : Listeners()) close(entry.second);
}

}  // namespace
}  // namespace sdlhost

namespace host {

using namespace sdlhost;

bool ForeignWindowExists(std::string_view className) {
    if (Listeners().count(Lower(className))) return false;  // that one is ours
    int fd = Connect(className);
    if (fd < 0) return false;
    close(fd);
    return true;
}

bool RaiseForeignWindow(std::string_view className) {
    int fd = Connect(className);
    if (fd < 0) return false;
    char request = 'R';
    ssize_t sent;
    do {
        sent = send(fd, &request, 1, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    close(fd);
    return sent == 1;
}

void PublishWindowClass(std::string_view className) {
    std::string key = Lower(className);
    if (Listeners().count(key)) return;
    static std::once_flag once;
    std::call_once(once, [] { pthread_atfork(nullptr, nullptr, CloseListenersInChild); });
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return;
    Address a = AddressFor(className);
#ifndef __linux__
    unlink(a.addr.sun_path);
#endif
    // Two programs started at the same moment may both get here; the
    // second one's window is then simply not found by a third.
    if (bind(fd, reinterpret_cast<const sockaddr*>(&a.addr), a.length) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return;
    }
    Listeners()[key] = fd;
}

void WithdrawWindowClass(std::string_view className) {
    auto it = Listeners().find(Lower(className));
    if (it == Listeners().end()) return;
    close(it->second);
#ifndef __linux__
    unlink(AddressFor(className).addr.sun_path);
#endif
    Listeners().erase(it);
}

bool TakeRaiseRequest() {
    bool requested = false;
    for (auto& [name, listener] : Listeners()) {
        // A look first: accept() makes a socket even to say nobody called,
        // and this runs with every look at the message queue.
        pollfd waiting{listener, POLLIN, 0};
        if (poll(&waiting, 1, 0) <= 0) continue;
        for (;;) {
            int fd = accept(listener, nullptr, nullptr);
            if (fd < 0) break;
            // A finder only connects; a raiser sends its byte before closing.
            char request = 0;
            pollfd wait{fd, POLLIN, 0};
            if (poll(&wait, 1, 50) > 0 && recv(fd, &request, 1, MSG_DONTWAIT) == 1 && request == 'R') requested = true;
            close(fd);
        }
    }
    // The message queue brings the window forward (SetForegroundWindow).
    return requested;
}

}  // namespace host
