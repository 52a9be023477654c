// Cursors and icons: handles the game can pass back to USER; the host draws
// its own pointer.
#include <windows.h>

#include "platform/kernel/trace.h"

namespace {
int arrowTag;
int iconTag;
HCURSOR currentCursor = reinterpret_cast<HCURSOR>(&arrowTag);
}  // namespace

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR) { return reinterpret_cast<HCURSOR>(&arrowTag); }
HICON WINAPI LoadIconA(HINSTANCE, LPCSTR) { return reinterpret_cast<HICON>(&iconTag); }

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
    platform::TraceCall("SetCursor");
    HCURSOR previous = currentCursor;
    currentCursor = hCursor;
    return previous;
}
