// MessageBoxA and MessageBoxW: the texts arrive in code page 932 or UTF-16 and go to the host as UTF-8,
// so the Japanese messages read as Japanese on any host.
#include <windows.h>

#include <string>

#include "platform/host/host_video.h"
#include "platform/trace/trace.h"
#include "platform/user/user_internal.h"

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    platform::TraceCall("MessageBoxA");
    (void)hWnd;  // the host's box is modal to the whole program
    std::string text = platform::user::Cp932ToUtf8(lpText ? lpText : "");
    // Windows titles a box without a caption "Error".
    std::string caption = platform::user::Cp932ToUtf8(lpCaption ? lpCaption : "Error");
    return host::ShowMessageBox(text.c_str(), caption.c_str(), uType);
}

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    platform::TraceCall("MessageBoxW");
    (void)hWnd;
    std::string text = lpText ? platform::user::Utf16ToUtf8(lpText) : std::string();
    std::string caption = lpCaption ? platform::user::Utf16ToUtf8(lpCaption) : std::string("Error");
    return host::ShowMessageBox(text.c_str(), caption.c_str(), uType);
}
