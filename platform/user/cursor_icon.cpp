// Cursors and icons: handles the game can pass back to USER. The host draws
// its own pointer, and hides it while the application has set no cursor or
// ShowCursor's display count is below zero.
#include <windows.h>

#include "platform/trace/trace.h"
#include "platform/user/user_internal.h"

#include <array>

namespace {
int arrowTag;
HCURSOR currentCursor = reinterpret_cast<HCURSOR>(&arrowTag);
int displayCount = 0;

// An icon handle remembers the resource it names, so the host can show it.
struct IconRecord {
    int resourceId;  // -1: a system icon
};
std::array<IconRecord, 8> icons{};
std::size_t iconCount = 0;
IconRecord systemIcon{-1};
}  // namespace

namespace platform::user {
void ResetCursorsForTests() {
    currentCursor = reinterpret_cast<HCURSOR>(&arrowTag);
    displayCount = 0;
    icons = {};
    iconCount = 0;
}

HCURSOR CurrentCursor() { return currentCursor; }
bool CursorShown() { return currentCursor != nullptr && displayCount >= 0; }
int IconResourceId(HICON icon) {
    for (std::size_t i = 0; i < iconCount; ++i)
        if (reinterpret_cast<HICON>(&icons[i]) == icon) return icons[i].resourceId;
    return -1;
}
}  // namespace platform::user

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR) { return reinterpret_cast<HCURSOR>(&arrowTag); }

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    platform::TraceCall("LoadIconA");
    if (!lpIconName) return nullptr;
    // Numbered icons of the program's own resources; names and the system's
    // icons (a null instance) stand for the host's default icon.
    if (!hInstance || !IS_INTRESOURCE(lpIconName)) return reinterpret_cast<HICON>(&systemIcon);
    int id = static_cast<int>(reinterpret_cast<std::uintptr_t>(lpIconName));
    if (!FindResourceA(hInstance, lpIconName, RT_GROUP_ICON)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    for (std::size_t i = 0; i < iconCount; ++i)
        if (icons[i].resourceId == id) return reinterpret_cast<HICON>(&icons[i]);
    if (iconCount == icons.size()) return reinterpret_cast<HICON>(&systemIcon);
    icons[iconCount] = IconRecord{id};
    return reinterpret_cast<HICON>(&icons[iconCount++]);
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
    platform::TraceCall("SetCursor");
    HCURSOR previous = currentCursor;
    currentCursor = hCursor;
    return previous;
}

int WINAPI ShowCursor(BOOL bShow) {
    platform::TraceCall("ShowCursor");
    displayCount += bShow ? 1 : -1;
    return displayCount;
}
