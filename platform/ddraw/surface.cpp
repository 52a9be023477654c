// Surfaces: 8-bit pixels in memory (or, for the front of a primary, the
// emulated screen itself), blits (their checks and clipping; the pixel work
// is blit.cpp's), locks, device contexts, flips and lost surfaces.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/ddraw/blit.h"
#include "platform/ddraw/objects.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/video/screen.h"
#include "platform/host/host_video.h"
#include "platform/trace/boundary.h"
#include "platform/trace/trace.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kIDirectDrawSurfaceBlt("IDirectDrawSurface::Blt");
const platform::FaultPoint kIDirectDrawSurfaceBltFast("IDirectDrawSurface::BltFast");
const platform::FaultPoint kIDirectDrawSurfaceFlip("IDirectDrawSurface::Flip");
const platform::FaultPoint kIDirectDrawSurfaceGetAttachedSurface("IDirectDrawSurface::GetAttachedSurface");
const platform::FaultPoint kIDirectDrawSurfaceGetDC("IDirectDrawSurface::GetDC");
const platform::FaultPoint kIDirectDrawSurfaceGetSurfaceDesc("IDirectDrawSurface::GetSurfaceDesc");
const platform::FaultPoint kIDirectDrawSurfaceLock("IDirectDrawSurface::Lock");
const platform::FaultPoint kIDirectDrawSurfaceRestore("IDirectDrawSurface::Restore");
const platform::FaultPoint kIDirectDrawSurfaceSetClipper("IDirectDrawSurface::SetClipper");
const platform::FaultPoint kIDirectDrawSurfaceSetColorKey("IDirectDrawSurface::SetColorKey");
const platform::FaultPoint kIDirectDrawSurfaceSetPalette("IDirectDrawSurface::SetPalette");
}  // namespace

namespace platform::ddraw {
namespace {

bool ValidRect(const RECT& r) { return r.left <= r.right && r.top <= r.bottom; }
bool Inside(const RECT& r, int width, int height) {
    return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height;
}
RECT Intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}
bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

}  // namespace

Surface::Surface(DirectDraw* owner, DWORD caps, int width, int height, bool usesScreen, int bytesPerPixel)
    : Object("IDirectDrawSurface::Release"),
      Child(owner),
      caps_(caps),
      width_(width),
      height_(height),
      usesScreen_(usesScreen),
      bytes_(bytesPerPixel) {
    generation_ = video::ModeGeneration();
    video::Mode m = video::CurrentMode();
    modeWidth_ = m.width;
    modeHeight_ = m.height;
}

bool Surface::Allocate(std::size_t videoBytes) {
    if (usesScreen_) {
        pitch_ = video::TheScreen().pitch;
        return true;
    }
    pitch_ = (width_ * bytes_ + 3) & ~3;
    try {
        own_.assign(static_cast<std::size_t>(pitch_) * static_cast<std::size_t>(height_), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    videoBytes_ = videoBytes;
    VideoMemoryUsed() += videoBytes_;
    return true;
}

int Surface::Pitch() const { return pitch_; }

std::uint8_t* Surface::Pixels() { return usesScreen_ ? video::TheScreen().pixels.data() : own_.data(); }

std::vector<std::uint8_t>& Surface::Storage() { return usesScreen_ ? video::TheScreen().pixels : own_; }

bool Surface::LostNow() {
    if (lost_) return true;
    bool tied = usesScreen_ || front != nullptr || (caps_ & DDSCAPS_VIDEOMEMORY);
    if (tied && generation_ != video::ModeGeneration()) lost_ = true;
    return lost_;
}

HWND Surface::PresentWindow() const {
    if (clipper_ && clipper_->Window()) return clipper_->Window();
    return Owner() ? Owner()->CooperativeWindow() : nullptr;
}

// The screen keeps a record of what was written on it for the present.
void (*Surface::ScreenRecord() const)(int, int, int) { return usesScreen_ ? &video::ScreenRowWritten : nullptr; }

void Surface::ShowIfVisible() {
    if (usesScreen_) video::Present(PresentWindow());
}

HRESULT Surface::CheckUsable(Surface* other) {
    if (LostNow() || (other && other->LostNow())) return DDERR_SURFACELOST;
    if (Busy() || (other && other->Busy())) return DDERR_SURFACEBUSY;
    return DD_OK;
}

void Surface::FillDesc(DDSURFACEDESC& desc) {
    DWORD size = desc.dwSize;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = size;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(width_);
    desc.dwHeight = static_cast<DWORD>(height_);
    desc.lPitch = Pitch();
    if (!backBuffers.empty()) {
        desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc.dwBackBufferCount = static_cast<DWORD>(backBuffers.size());
    }
    if (hasSourceKey_) desc.dwFlags |= DDSD_CKSRCBLT, desc.ddckCKSrcBlt = sourceKey_;
    if (hasDestKey_) desc.dwFlags |= DDSD_CKDESTBLT, desc.ddckCKDestBlt = destKey_;
    GetPixelFormat(&desc.ddpfPixelFormat);
    desc.ddsCaps.dwCaps = caps_;
}

HRESULT Surface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx) {
    kIDirectDrawSurfaceBlt.Trace();
    Surface* src = com::Checked<Surface>(source);
    if (source && !src) return DDERR_INVALIDPARAMS;
    const bool fill = (flags & DDBLT_COLORFILL) != 0;
    if (fill || (flags & (DDBLT_DDFX | DDBLT_KEYSRCOVERRIDE | DDBLT_KEYDESTOVERRIDE))) {
        if (!fx || fx->dwSize != sizeof(DDBLTFX)) return DDERR_INVALIDPARAMS;
    }
    if (fill)
        src = nullptr;
    else if (!src)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawSurfaceBlt); hr != DD_OK) return hr;
    // The clip list's pieces and a copy's snapshot take memory.
    return FailWithoutMemory(DDERR_OUTOFMEMORY, 0, [&] { return BltNow(destRect, src, sourceRect, flags, fx); });
}

HRESULT Surface::BltNow(LPRECT destRect, Surface* src, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx) {
    const bool fill = src == nullptr;
    if (HRESULT hr = CheckUsable(src); hr != DD_OK) return hr;
    if (HRESULT hr = AwaitFlip((flags & DDBLT_WAIT) != 0, false); hr != DD_OK) return hr;
    // The source's key is what DDBLT_KEYSRC asks for: a source without one
    // makes the request itself wrong (Windows and Wine refuse it alike).
    if (src && (flags & DDBLT_KEYSRC) && !(flags & DDBLT_KEYSRCOVERRIDE) && !src->hasSourceKey_)
        return DDERR_INVALIDPARAMS;
    // Pixels are copied, never converted from one format into another
    // (Windows documents no conversion; Wine makes one).
    if (src && src->bytes_ != bytes_) return com::Stub("IDirectDrawSurface::Blt:format conversion", DDERR_UNSUPPORTED);

    RECT dest = destRect ? *destRect : RECT{0, 0, width_, height_};
    if (!ValidRect(dest)) return DDERR_INVALIDRECT;
    RECT from{};
    if (src) {
        from = sourceRect ? *sourceRect : RECT{0, 0, src->width_, src->height_};
        if (!ValidRect(from) || !Inside(from, src->width_, src->height_)) return DDERR_INVALIDRECT;
        if (Empty(from) != Empty(dest)) return DDERR_INVALIDRECT;
    }
    if (Empty(dest)) return DD_OK;

    // With a clipper the destination may reach outside the surface and is
    // cut to the clip list; without one DirectDraw insists on a rectangle
    // inside the surface.
    thread_local std::vector<RECT> pieces, clip;
    pieces.clear();
    const RECT bounds{0, 0, width_, height_};
    if (clipper_) {
        if (!clipper_->ClipRects(clip)) return DDERR_NOCLIPLIST;
        for (const RECT& c : clip) {
            RECT piece = Intersect(Intersect(c, bounds), dest);
            if (!Empty(piece)) pieces.push_back(piece);
        }
    } else {
        if (!Inside(dest, width_, height_)) return DDERR_INVALIDRECT;
        pieces.push_back(dest);
    }

    if (fill) {
        for (const RECT& p : pieces) {
            blit::Fill(Pixels(), Pitch(), bytes_, p, fx->dwFillColor);
            if (usesScreen_) video::ScreenWritten(p);
        }
    } else {
        std::vector<std::uint8_t> snapshot;
        blit::Copy c = CopyFrom(*src, dest, from, snapshot);
        if (flags & DDBLT_DDFX) {
            c.mirrorX = (fx->dwDDFX & DDBLTFX_MIRRORLEFTRIGHT) != 0;
            c.mirrorY = (fx->dwDDFX & DDBLTFX_MIRRORUPDOWN) != 0;
        }
        if ((flags & DDBLT_KEYSRCOVERRIDE))
            c.sourceKey = blit::KeyOf(fx->ddckSrcColorkey);
        else if (flags & DDBLT_KEYSRC)
            c.sourceKey = blit::KeyOf(src->sourceKey_);
        if (flags & DDBLT_KEYDESTOVERRIDE)
            c.destKey = blit::KeyOf(fx->ddckDestColorkey);
        else if ((flags & DDBLT_KEYDEST) && hasDestKey_)
            c.destKey = blit::KeyOf(destKey_);
        for (const RECT& p : pieces) blit::CopyPiece(c, p);
    }
    if (!pieces.empty()) ShowIfVisible();
    return DD_OK;
}

blit::Copy Surface::CopyFrom(Surface& src, const RECT& dest, const RECT& from, std::vector<std::uint8_t>& snapshot) {
    blit::Copy c{};
    c.rowWritten = ScreenRecord();
    c.dstPixels = Pixels();
    c.dstPitch = Pitch();
    c.bytesPerPixel = bytes_;
    c.dest = dest;
    c.src = from;
    // A copy within one surface reads from a snapshot of the source, so
    // overlapping rectangles come out as if copied at once.
    if (&src == this) {
        snapshot.assign(Pixels(), Pixels() + Storage().size());
        c.srcPixels = snapshot.data();
    } else {
        c.srcPixels = src.Pixels();
    }
    c.srcPitch = src.Pitch();
    return c;
}

HRESULT Surface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) {
    kIDirectDrawSurfaceBltFast.Trace();
    auto* src = com::Checked<Surface>(source);
    if (!src) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawSurfaceBltFast); hr != DD_OK) return hr;
    return FailWithoutMemory(DDERR_OUTOFMEMORY, 0, [&] { return BltFastNow(x, y, *src, sourceRect, trans); });
}

HRESULT Surface::BltFastNow(DWORD x, DWORD y, Surface& source, LPRECT sourceRect, DWORD trans) {
    Surface* src = &source;
    // BltFast never clips: a surface with a clipper must use Blt, and the
    // documented answer says so.
    if (clipper_) return DDERR_BLTFASTCANTCLIP;
    if (HRESULT hr = CheckUsable(src); hr != DD_OK) return hr;
    if (HRESULT hr = AwaitFlip((trans & DDBLTFAST_WAIT) != 0, false); hr != DD_OK) return hr;
    if (src->bytes_ != bytes_) return com::Stub("IDirectDrawSurface::BltFast:format conversion", DDERR_UNSUPPORTED);
    RECT from = sourceRect ? *sourceRect : RECT{0, 0, src->width_, src->height_};
    if (!ValidRect(from) || !Inside(from, src->width_, src->height_)) return DDERR_INVALIDRECT;
    const long long right = static_cast<long long>(x) + (from.right - from.left);
    const long long bottom = static_cast<long long>(y) + (from.bottom - from.top);
    if (x > static_cast<DWORD>(width_) || y > static_cast<DWORD>(height_) || right > width_ || bottom > height_)
        return DDERR_INVALIDRECT;
    if (Empty(from)) return DD_OK;
    RECT dest{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(right), static_cast<LONG>(bottom)};

    std::vector<std::uint8_t> snapshot;
    blit::Copy c = CopyFrom(*src, dest, from, snapshot);
    if ((trans & DDBLTFAST_SRCCOLORKEY) && src->hasSourceKey_) c.sourceKey = blit::KeyOf(src->sourceKey_);
    if ((trans & DDBLTFAST_DESTCOLORKEY) && hasDestKey_) c.destKey = blit::KeyOf(destKey_);
    blit::CopyPiece(c, dest);
    ShowIfVisible();
    return DD_OK;
}

HRESULT Surface::Flip(LPDIRECTDRAWSURFACE target, DWORD flags) {
    kIDirectDrawSurfaceFlip.Trace();
    if (HRESULT hr = Fails(kIDirectDrawSurfaceFlip); hr != DD_OK) return hr;
    if (backBuffers.empty()) return DDERR_NOTFLIPPABLE;
    if (target && std::find(backBuffers.begin(), backBuffers.end(), target) == backBuffers.end())
        return DDERR_INVALIDPARAMS;
    if (LostNow()) return DDERR_SURFACELOST;
    for (Surface* b : backBuffers)
        if (b->LostNow()) return DDERR_SURFACELOST;
    if (Busy()) return DDERR_SURFACEBUSY;
    for (Surface* b : backBuffers)
        if (b->Busy()) return DDERR_SURFACEBUSY;
    // A flip is queued for the next refresh and the call returns, as a card
    // does; only a flip still pending makes this one wait. The host shows
    // the new front at once: the emulated refresh is not the monitor's, so
    // holding the picture back would only delay it.
    if (HRESULT hr = AwaitFlip((flags & DDFLIP_WAIT) != 0, true); hr != DD_OK) return hr;
    // The buffers change places; the interfaces stay with their roles.
    std::vector<std::uint8_t>* previous = &Storage();
    for (Surface* b : backBuffers) {
        std::swap(*previous, b->own_);
        previous = &b->own_;
    }
    if (usesScreen_) video::ScreenWritten();
    ShowIfVisible();
    flipDue_ = std::floor(host::Refreshes()) + 1;
    return DD_OK;
}

// Until the refresh a flip waits for, the old front is still being shown
// from what is now a back buffer: a program that draws on a back buffer or
// flips again waits for that refresh, or without the wait flag hears that the
// card is still drawing. The new front is free to use at once.
HRESULT Surface::AwaitFlip(bool wait, bool flipping) {
    Surface* chain = front ? front : (flipping ? this : nullptr);
    if (!chain || chain->flipDue_ == 0) return DD_OK;
    if (host::Refreshes() < chain->flipDue_) {
        if (!wait) return DDERR_WASSTILLDRAWING;
        host::WaitForRefresh();
    }
    chain->flipDue_ = 0;
    return DD_OK;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* out) {
    kIDirectDrawSurfaceGetAttachedSurface.Trace();
    if (!caps || !out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (HRESULT hr = Fails(kIDirectDrawSurfaceGetAttachedSurface); hr != DD_OK) return hr;
    Surface* found = nullptr;
    if (caps->dwCaps & (DDSCAPS_BACKBUFFER | DDSCAPS_FLIP)) {
        if (!backBuffers.empty()) {
            found = backBuffers.front();
        } else if (front) {
            auto& chain = front->backBuffers;
            auto it = std::find(chain.begin(), chain.end(), this);
            if (it != chain.end() && it + 1 != chain.end()) found = *(it + 1);
        }
    }
    if (!found) return DDERR_NOTFOUND;
    found->AddRef();
    *out = found;
    return DD_OK;
}

HRESULT Surface::GetBltStatus(DWORD) { return DD_OK; }
HRESULT Surface::GetFlipStatus(DWORD) { return DD_OK; }

HRESULT Surface::GetCaps(LPDDSCAPS caps) {
    if (!caps) return DDERR_INVALIDPARAMS;
    caps->dwCaps = caps_;
    return DD_OK;
}

HRESULT Surface::GetClipper(LPDIRECTDRAWCLIPPER* out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!clipper_) return DDERR_NOCLIPPERATTACHED;
    clipper_->AddRef();
    *out = clipper_;
    return DD_OK;
}

HRESULT Surface::SetColorKey(DWORD flags, LPDDCOLORKEY key) {
    kIDirectDrawSurfaceSetColorKey.Trace();
    bool source = (flags & DDCKEY_SRCBLT) != 0, dest = (flags & DDCKEY_DESTBLT) != 0;
    if (!(flags & (DDCKEY_SRCOVERLAY | DDCKEY_DESTOVERLAY)) && source == dest) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawSurfaceSetColorKey); hr != DD_OK) return hr;
    if (flags & (DDCKEY_SRCOVERLAY | DDCKEY_DESTOVERLAY)) return DDERR_NOTAOVERLAYSURFACE;
    DDCOLORKEY k{};
    if (key) {
        k = *key;
        if (!(flags & DDCKEY_COLORSPACE)) k.dwColorSpaceHighValue = k.dwColorSpaceLowValue;
        if (k.dwColorSpaceHighValue < k.dwColorSpaceLowValue) return DDERR_INVALIDPARAMS;
    }
    if (source)
        hasSourceKey_ = key != nullptr, sourceKey_ = k;
    else
        hasDestKey_ = key != nullptr, destKey_ = k;
    return DD_OK;
}

HRESULT Surface::GetColorKey(DWORD flags, LPDDCOLORKEY key) {
    if (!key) return DDERR_INVALIDPARAMS;
    if (flags & DDCKEY_SRCBLT) {
        if (!hasSourceKey_) return DDERR_NOCOLORKEY;
        *key = sourceKey_;
        return DD_OK;
    }
    if (flags & DDCKEY_DESTBLT) {
        if (!hasDestKey_) return DDERR_NOCOLORKEY;
        *key = destKey_;
        return DD_OK;
    }
    return DDERR_INVALIDPARAMS;
}

HRESULT Surface::GetDC(HDC* out) {
    kIDirectDrawSurfaceGetDC.Trace();
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (HRESULT hr = Fails(kIDirectDrawSurfaceGetDC); hr != DD_OK) return hr;
    if (dc_) return DDERR_DCALREADYCREATED;
    if (LostNow()) return DDERR_SURFACELOST;
    if (locked_) return DDERR_SURFACEBUSY;
    // GDI here draws on 8-bit pixels only.
    if (bytes_ != 1) return com::Stub("IDirectDrawSurface::GetDC:16-bit surfaces", DDERR_UNSUPPORTED);
    gdi::PixelView view{Pixels(), Pitch(), width_, height_};
    return FailWithoutMemory(DDERR_OUTOFMEMORY, 0, [&] {
        dc_ = gdi::CreateSurfaceDc(view, palette_ ? palette_->Entries() : nullptr, usesScreen_);
        *out = dc_;
        return DD_OK;
    });
}

HRESULT Surface::ReleaseDC(HDC dc) {
    TraceCall("IDirectDrawSurface::ReleaseDC");
    if (!dc_ || dc != dc_) return DDERR_INVALIDPARAMS;
    bool drawn = gdi::DestroySurfaceDc(dc_);
    dc_ = nullptr;
    if (drawn) ShowIfVisible();
    return DD_OK;
}

HRESULT Surface::GetPalette(LPDIRECTDRAWPALETTE* out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!palette_) return DDERR_NOPALETTEATTACHED;
    palette_->AddRef();
    *out = palette_;
    return DD_OK;
}

HRESULT Surface::GetPixelFormat(LPDDPIXELFORMAT format) {
    if (!format) return DDERR_INVALIDPARAMS;
    DescribePixels(8 * bytes_, *format);
    return DD_OK;
}

HRESULT Surface::GetSurfaceDesc(LPDDSURFACEDESC desc) {
    kIDirectDrawSurfaceGetSurfaceDesc.Trace();
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawSurfaceGetSurfaceDesc); hr != DD_OK) return hr;
    FillDesc(*desc);
    return DD_OK;
}

HRESULT Surface::IsLost() { return LostNow() ? DDERR_SURFACELOST : DD_OK; }

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE) {
    kIDirectDrawSurfaceLock.Trace();
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawSurfaceLock); hr != DD_OK) return hr;
    if (LostNow()) return DDERR_SURFACELOST;
    if (Busy()) return DDERR_SURFACEBUSY;
    if (HRESULT hr = AwaitFlip((flags & DDLOCK_WAIT) != 0, false); hr != DD_OK) return hr;
    RECT r = rect ? *rect : RECT{0, 0, width_, height_};
    if (!ValidRect(r) || !Inside(r, width_, height_)) return DDERR_INVALIDPARAMS;
    FillDesc(*desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = Pixels() + static_cast<std::ptrdiff_t>(r.top) * Pitch() + r.left * bytes_;
    // The pointer stays good until Unlock, whatever the display does.
    if (usesScreen_) video::HoldScreenMemory();
    locked_ = true;
    lockWrites_ = !(flags & DDLOCK_READONLY);
    return DD_OK;
}

HRESULT Surface::Unlock(LPVOID) {
    TraceCall("IDirectDrawSurface::Unlock");
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
    if (usesScreen_) video::LetGoOfScreenMemory();
    if (lockWrites_ && usesScreen_) video::ScreenWritten();
    if (lockWrites_) ShowIfVisible();
    return DD_OK;
}

HRESULT Surface::Restore() {
    kIDirectDrawSurfaceRestore.Trace();
    if (HRESULT hr = Fails(kIDirectDrawSurfaceRestore); hr != DD_OK) return hr;
    if (front) return front->Restore();  // a back buffer comes back with its chain
    if (!LostNow()) {
        for (Surface* b : backBuffers) b->lost_ = false;
        return DD_OK;
    }
    bool tied = usesScreen_ || !backBuffers.empty();
    video::Mode m = video::CurrentMode();
    if (tied && (m.width != modeWidth_ || m.height != modeHeight_ || video::TheScreen().bytesPerPixel != bytes_))
        return DDERR_WRONGMODE;
    generation_ = video::ModeGeneration();
    lost_ = false;
    for (Surface* b : backBuffers) {
        b->generation_ = generation_;
        b->lost_ = false;
    }
    return DD_OK;
}

HRESULT Surface::SetClipper(LPDIRECTDRAWCLIPPER clipper) {
    kIDirectDrawSurfaceSetClipper.Trace();
    auto* c = com::Checked<Clipper>(clipper);
    if (clipper && !c) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawSurfaceSetClipper); hr != DD_OK) return hr;
    if (c) c->AddRef();
    if (clipper_) clipper_->Release();
    clipper_ = c;
    return DD_OK;
}

HRESULT Surface::SetPalette(LPDIRECTDRAWPALETTE palette) {
    kIDirectDrawSurfaceSetPalette.Trace();
    auto* p = com::Checked<Palette>(palette);
    if (palette && !p) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawSurfaceSetPalette); hr != DD_OK) return hr;
    if (p && (!p->Indexes8Bits() || bytes_ != 1)) return DDERR_INVALIDPIXELFORMAT;
    if (p) {
        p->AddRef();
        if (usesScreen_) ++p->primaryAttachments;
    }
    if (palette_) {
        if (usesScreen_) --palette_->primaryAttachments;
        palette_->Release();
    }
    palette_ = p;
    if (p && usesScreen_) {
        // A window on the desktop keeps the system's twenty static colours.
        video::SetHardwarePalette(p->Entries(), !video::ExclusiveModeSet());
        ShowIfVisible();
    }
    return DD_OK;
}

void Surface::LastRelease() {
    if (front) {
        refs_ = 1;  // an implicit back buffer lives as long as its chain
        return;
    }
    for (Surface* b : backBuffers) delete b;
    backBuffers.clear();
    if (palette_) {
        if (usesScreen_) --palette_->primaryAttachments;
        palette_->Release();
    }
    if (clipper_) clipper_->Release();
    delete this;
}

void Surface::MakerGone() {
    Child::MakerGone();
    palette_ = nullptr;
    clipper_ = nullptr;
    backBuffers.clear();
    front = nullptr;
}

Surface::~Surface() {
    if (dc_) gdi::DestroySurfaceDc(dc_);
    if (usesScreen_ && locked_) video::LetGoOfScreenMemory();
    VideoMemoryUsed() -= videoBytes_;
    if (Owner() && Owner()->primary == this) Owner()->primary = nullptr;
}

}  // namespace platform::ddraw
