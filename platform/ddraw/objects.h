// The classes behind DirectDraw's interfaces.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <array>
#include <memory>
#include <vector>

#include "platform/com/com.h"
#include "platform/ddraw/blit.h"
#include "platform/ddraw/ddraw_internal.h"
#include "platform/trace/trace.h"

namespace platform::ddraw {

class Palette final : public com::Object<IDirectDrawPalette, IID_IDirectDrawPalette>, public com::Child<DirectDraw> {
public:
    Palette(DirectDraw* owner, DWORD caps, const PALETTEENTRY* entries);
    HRESULT GetCaps(LPDWORD caps) override;
    HRESULT GetEntries(DWORD flags, DWORD base, DWORD count, LPPALETTEENTRY entries) override;
    HRESULT Initialize(LPDIRECTDRAW, DWORD, LPPALETTEENTRY) override { return DDERR_ALREADYINITIALIZED; }
    HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, LPPALETTEENTRY entries) override;
    ~Palette() override;

    const PALETTEENTRY* Entries() const { return entries_.data(); }
    // Only a 256-entry palette goes with the 8-bit surfaces made here.
    bool Indexes8Bits() const { return size_ == 256; }
    int primaryAttachments = 0;

private:
    DWORD caps_;
    DWORD size_;
    std::array<PALETTEENTRY, 256> entries_{};
};

class Clipper final : public com::Object<IDirectDrawClipper, IID_IDirectDrawClipper>, public com::Child<DirectDraw> {
public:
    explicit Clipper(DirectDraw* owner) : Object("IDirectDrawClipper::Release"), Child(owner) {}
    HRESULT GetClipList(LPRECT rect, LPRGNDATA list, LPDWORD size) override;
    HRESULT GetHWnd(HWND* window) override;
    HRESULT Initialize(LPDIRECTDRAW, DWORD) override { return DDERR_ALREADYINITIALIZED; }
    HRESULT IsClipListChanged(BOOL* changed) override;
    HRESULT SetClipList(LPRGNDATA list, DWORD flags) override;
    HRESULT SetHWnd(DWORD flags, HWND window) override;
    ~Clipper() override;

    // The rectangles a blit may touch, in the coordinates of the surface the
    // clipper is attached to; false when the clipper has no list and no window.
    bool ClipRects(std::vector<RECT>& out) const;
    HWND Window() const { return window_; }

private:
    HRESULT TakeClipList(LPRGNDATA list);
    std::vector<RECT> rects_;
    bool hasList_ = false;
    HWND window_ = nullptr;
};

class Surface final : public com::Object<IDirectDrawSurface, IID_IDirectDrawSurface>, public com::Child<DirectDraw> {
public:
    Surface(DirectDraw* owner, DWORD caps, int width, int height, bool usesScreen, int bytesPerPixel);

    HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE) override {
        return com::Stub("IDirectDrawSurface::AddAttachedSurface", DDERR_UNSUPPORTED);
    }
    HRESULT AddOverlayDirtyRect(LPRECT) override {
        return com::Stub("IDirectDrawSurface::AddOverlayDirtyRect", DDERR_UNSUPPORTED);
    }
    HRESULT Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx) override;
    HRESULT BltBatch(LPDDBLTBATCH, DWORD, DWORD) override {
        return com::Stub("IDirectDrawSurface::BltBatch", DDERR_UNSUPPORTED);
    }
    HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) override;
    HRESULT DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) override {
        return com::Stub("IDirectDrawSurface::DeleteAttachedSurface", DDERR_UNSUPPORTED);
    }
    HRESULT EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return com::Stub("IDirectDrawSurface::EnumAttachedSurfaces", DDERR_UNSUPPORTED);
    }
    HRESULT EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return com::Stub("IDirectDrawSurface::EnumOverlayZOrders", DDERR_UNSUPPORTED);
    }
    HRESULT Flip(LPDIRECTDRAWSURFACE target, DWORD flags) override;
    HRESULT GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* out) override;
    HRESULT GetBltStatus(DWORD) override;
    HRESULT GetCaps(LPDDSCAPS caps) override;
    HRESULT GetClipper(LPDIRECTDRAWCLIPPER* out) override;
    HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT GetDC(HDC* out) override;
    HRESULT GetFlipStatus(DWORD) override;
    HRESULT GetOverlayPosition(LPLONG, LPLONG) override {
        return com::Stub("IDirectDrawSurface::GetOverlayPosition", DDERR_NOTAOVERLAYSURFACE);
    }
    HRESULT GetPalette(LPDIRECTDRAWPALETTE* out) override;
    HRESULT GetPixelFormat(LPDDPIXELFORMAT format) override;
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) override;
    HRESULT Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) override { return DDERR_ALREADYINITIALIZED; }
    HRESULT IsLost() override;
    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
    HRESULT ReleaseDC(HDC dc) override;
    HRESULT Restore() override;
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
    HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT SetOverlayPosition(LONG, LONG) override {
        return com::Stub("IDirectDrawSurface::SetOverlayPosition", DDERR_NOTAOVERLAYSURFACE);
    }
    HRESULT SetPalette(LPDIRECTDRAWPALETTE palette) override;
    HRESULT Unlock(LPVOID data) override;
    HRESULT UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX) override {
        return com::Stub("IDirectDrawSurface::UpdateOverlay", DDERR_NOTAOVERLAYSURFACE);
    }
    HRESULT UpdateOverlayDisplay(DWORD) override {
        return com::Stub("IDirectDrawSurface::UpdateOverlayDisplay", DDERR_NOTAOVERLAYSURFACE);
    }
    HRESULT UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) override {
        return com::Stub("IDirectDrawSurface::UpdateOverlayZOrder", DDERR_NOTAOVERLAYSURFACE);
    }
    ~Surface() override;
    void MakerGone() override;

    // Set up by CreateSurface.
    bool Allocate(std::size_t videoBytes);
    std::vector<Surface*> backBuffers;  // front of a flip chain: its back buffers
    Surface* front = nullptr;           // back buffer: the front of its chain

    int Width() const { return width_; }
    int BytesPerPixel() const { return bytes_; }
    int Height() const { return height_; }
    int Pitch() const;
    std::uint8_t* Pixels();
    bool Visible() const { return usesScreen_; }
    bool LostNow();
    bool Busy() const { return locked_ || dc_ != nullptr; }
    void MarkLost() { lost_ = true; }
    std::vector<std::uint8_t>& Storage();

private:
    void LastRelease() override;
    // An injected DDERR_SURFACELOST loses the surface, whichever call it
    // came through, so that Restore has something to do.
    void Faulted(HRESULT code) override {
        if (code == DDERR_SURFACELOST) lost_ = true;
    }
    HRESULT CheckUsable(Surface* other);
    HRESULT AwaitFlip(bool wait, bool flipping);
    // A copy from `src` onto this surface, its keys and mirroring not yet
    // set: the one description Blt and BltFast both hand the pixel engine.
    blit::Copy CopyFrom(Surface& src, const RECT& dest, const RECT& from, std::vector<std::uint8_t>& snapshot);
    // The calls past their checks of what they are given; a fill has no source.
    HRESULT BltNow(LPRECT destRect, Surface* src, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx);
    HRESULT BltFastNow(DWORD x, DWORD y, Surface& source, LPRECT sourceRect, DWORD trans);
    void ShowIfVisible();
    void (*ScreenRecord() const)(int y, int from, int to);
    void FillDesc(DDSURFACEDESC& desc);
    HWND PresentWindow() const;

    DWORD caps_;
    int width_;
    int height_;
    bool usesScreen_;
    int bytes_;  // 1: palette indices; 2: 5-6-5 RGB  // the front of a primary: its pixels are the screen's
    std::vector<std::uint8_t> own_;
    int pitch_ = 0;
    std::size_t videoBytes_ = 0;
    unsigned generation_;
    int modeWidth_, modeHeight_;
    bool lost_ = false;
    bool locked_ = false;
    bool lockWrites_ = false;
    HDC dc_ = nullptr;
    bool hasSourceKey_ = false, hasDestKey_ = false;
    DDCOLORKEY sourceKey_{}, destKey_{};
    Palette* palette_ = nullptr;
    Clipper* clipper_ = nullptr;
    double flipDue_ = 0;  // front of a chain: the refresh its last flip is done at, 0 for none
};

// A surface with the back buffers of its chain, freed together until the
// chain is handed out.
struct FreeChain {
    void operator()(Surface* front) const;
};
using Chain = std::unique_ptr<Surface, FreeChain>;

class DirectDraw final : public com::Object<IDirectDraw, IID_IDirectDraw> {
public:
    explicit DirectDraw(bool emulationOnly) : Object("IDirectDraw::Release"), emulationOnly_(emulationOnly) {}
    HRESULT Compact() override { return DD_OK; }
    HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* out, IUnknown* outer) override;
    HRESULT CreatePalette(DWORD flags, LPPALETTEENTRY table, LPDIRECTDRAWPALETTE* out, IUnknown* outer) override;
    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out, IUnknown* outer) override;
    HRESULT DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override {
        return com::Stub("IDirectDraw::DuplicateSurface", DDERR_CANTDUPLICATE);
    }
    HRESULT EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK) override;
    HRESULT EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return com::Stub("IDirectDraw::EnumSurfaces", DDERR_UNSUPPORTED);
    }
    HRESULT FlipToGDISurface() override { return DD_OK; }
    HRESULT GetCaps(LPDDCAPS driver, LPDDCAPS hel) override;
    HRESULT GetDisplayMode(LPDDSURFACEDESC desc) override;
    HRESULT GetFourCCCodes(LPDWORD count, LPDWORD) override;
    HRESULT GetGDISurface(LPDIRECTDRAWSURFACE*) override {
        return com::Stub("IDirectDraw::GetGDISurface", DDERR_NOTFOUND);
    }
    HRESULT GetMonitorFrequency(LPDWORD frequency) override;
    HRESULT GetScanLine(LPDWORD line) override;
    HRESULT GetVerticalBlankStatus(BOOL* inBlank) override;
    HRESULT Initialize(GUID*) override { return DDERR_ALREADYINITIALIZED; }
    HRESULT RestoreDisplayMode() override;
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp) override;
    HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) override;
    // Frees everything the object made, gives back the mode it set, and
    // then the object itself: its last Release, or the stand-in's reset.
    void Destroy();

    bool EmulationOnly() const { return emulationOnly_; }
    HWND CooperativeWindow() const { return window_; }
    bool Exclusive() const { return (level_ & DDSCL_EXCLUSIVE) != 0; }
    com::Family<DirectDraw> children;
    Surface* primary = nullptr;
    void Forget(com::Child<DirectDraw>* child) { children.Forget(child); }

private:
    void LastRelease() override { Destroy(); }
    HRESULT CreatePrimary(const DDSURFACEDESC& desc, Chain& out);
    HRESULT MakeSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out);
    bool emulationOnly_;
    DWORD level_ = 0;
    HWND window_ = nullptr;
    bool modeSet_ = false;
};

// Bookkeeping shared by the objects.
// The pixel format of a surface or display mode of 8 bits (palette indices)
// or 16 (5-6-5 RGB), the two this DirectDraw offers.
void DescribePixels(int bitsPerPixel, DDPIXELFORMAT& format);
// Bytes per pixel of the format a surface is asked for; 0 when it is none of
// the two.
int BytesPerPixelOf(const DDPIXELFORMAT& format);

// Entries in a palette of these DDPCAPS_ flags; 0 when no one size is named.
int PaletteSize(DWORD caps);
std::size_t& VideoMemoryUsed();
DirectDraw*& ExclusiveOwner();

}  // namespace platform::ddraw
