// DirectDraw clippers: a list of rectangles, or a window's client area.
#include <cstring>
#include <vector>

#include "platform/ddraw/objects.h"
#include "platform/trace/boundary.h"
#include "platform/trace/trace.h"
#include "platform/user/user_internal.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kIDirectDrawClipperSetClipList("IDirectDrawClipper::SetClipList");
const platform::FaultPoint kIDirectDrawClipperSetHWnd("IDirectDrawClipper::SetHWnd");
}  // namespace

namespace platform::ddraw {

HRESULT Clipper::GetClipList(LPRECT, LPRGNDATA, LPDWORD) {
    return com::Stub("IDirectDrawClipper::GetClipList", DDERR_UNSUPPORTED);
}

HRESULT Clipper::GetHWnd(HWND* window) {
    if (!window) return DDERR_INVALIDPARAMS;
    *window = window_;
    return DD_OK;
}

HRESULT Clipper::IsClipListChanged(BOOL* changed) {
    if (!changed) return DDERR_INVALIDPARAMS;
    *changed = FALSE;
    return DD_OK;
}

HRESULT Clipper::SetClipList(LPRGNDATA list, DWORD flags) {
    kIDirectDrawClipperSetClipList.Trace();
    if (flags != 0) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawClipperSetClipList); hr != DD_OK) return hr;
    return FailWithoutMemory(DDERR_OUTOFMEMORY, 0, [&] { return TakeClipList(list); });
}

HRESULT Clipper::TakeClipList(LPRGNDATA list) {
    if (window_) return DDERR_CLIPPERISUSINGHWND;
    if (!list) {
        rects_.clear();
        hasList_ = false;
        return DD_OK;
    }
    // The rectangles follow the header as in a GDI region; the header's size
    // field may count them too, so it only has to cover the header itself.
    const RGNDATAHEADER& h = list->rdh;
    if (h.dwSize < sizeof(RGNDATAHEADER) || h.iType != RDH_RECTANGLES || h.nCount > 4096) return DDERR_INVALIDCLIPLIST;
    if (h.nRgnSize != 0 && h.nRgnSize < h.nCount * sizeof(RECT)) return DDERR_INVALIDCLIPLIST;
    std::vector<RECT> rects(h.nCount);
    std::memcpy(rects.data(), list->Buffer, h.nCount * sizeof(RECT));
    for (const RECT& r : rects)
        if (r.left > r.right || r.top > r.bottom) return DDERR_INVALIDCLIPLIST;
    rects_ = std::move(rects);
    hasList_ = true;
    return DD_OK;
}

HRESULT Clipper::SetHWnd(DWORD flags, HWND window) {
    kIDirectDrawClipperSetHWnd.Trace();
    if (flags != 0) return DDERR_INVALIDPARAMS;
    if (window && !user::FromHandle(window)) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawClipperSetHWnd); hr != DD_OK) return hr;
    window_ = window;
    return DD_OK;
}

bool Clipper::ClipRects(std::vector<RECT>& out) const {
    out.clear();
    if (window_) {
        // The window's client area on the screen; a window that has gone
        // leaves nothing visible.
        if (user::FromHandle(window_)) out.push_back(user::ClientRectOnScreen(window_));
        return true;
    }
    if (!hasList_) return false;
    out = rects_;
    return true;
}

Clipper::~Clipper() = default;

}  // namespace platform::ddraw
