// System metrics of the emulated desktop: Windows 95's standard scheme at
// 96 dots per inch, with the screen size taken from the host's desktop.
#include <windows.h>

#include "platform/host/host_video.h"
#include "platform/user/user_internal.h"

using namespace platform::user;

int WINAPI GetSystemMetrics(int nIndex) {
    host::DesktopMode desktop = host::Desktop();
    switch (nIndex) {
        case SM_CXSCREEN: return desktop.width;
        case SM_CYSCREEN: return desktop.height;
        case SM_CYCAPTION: return kCaption;
        case SM_CXBORDER:
        case SM_CYBORDER: return kBorder;
        case SM_CXEDGE:
        case SM_CYEDGE: return kEdge;
        case SM_CXFRAME:
        case SM_CYFRAME: return kSizingFrame;
        case SM_CYMENU: return kMenuBar;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR: return 32;
        case SM_CXSMICON:
        case SM_CYSMICON: return 16;
        case SM_CXMINTRACK: return kMinTrackWidth;
        case SM_CYMINTRACK: return kMinTrackHeight;
        case SM_CXMAXTRACK: return desktop.width + 2 * (kSizingFrame + kEdge);
        case SM_CYMAXTRACK: return desktop.height + 2 * (kSizingFrame + kEdge);
        default: return 0;
    }
}
