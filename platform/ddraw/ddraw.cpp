// The DirectDraw object and DirectDrawCreate: a software DirectDraw over the
// emulated 256-colour display, and the pixel formats it offers. Surfaces are
// in surface.cpp, palettes in palette.cpp, clippers in clipper.cpp.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "platform/ddraw/objects.h"
#include "platform/video/screen.h"
#include "platform/host/host.h"
#include "platform/host/host_video.h"
#include "platform/trace/boundary.h"
#include "platform/trace/trace.h"
#include "platform/user/user_internal.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kDirectDrawCreate("DirectDrawCreate");
const platform::FaultPoint kIDirectDrawCreateClipper("IDirectDraw::CreateClipper");
const platform::FaultPoint kIDirectDrawCreatePalette("IDirectDraw::CreatePalette");
const platform::FaultPoint kIDirectDrawCreateSurface("IDirectDraw::CreateSurface");
const platform::FaultPoint kIDirectDrawGetCaps("IDirectDraw::GetCaps");
const platform::FaultPoint kIDirectDrawRestoreDisplayMode("IDirectDraw::RestoreDisplayMode");
const platform::FaultPoint kIDirectDrawSetCooperativeLevel("IDirectDraw::SetCooperativeLevel");
const platform::FaultPoint kIDirectDrawSetDisplayMode("IDirectDraw::SetDisplayMode");
}  // namespace

const GUID IID_IDirectDraw = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID IID_IDirectDrawSurface = {0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID IID_IDirectDrawPalette = {0x6C14DB84, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID IID_IDirectDrawClipper = {0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

namespace platform::ddraw {
namespace {

// What the emulation layer of DirectX 3 can do for 8-bit surfaces.
constexpr DWORD kHelCaps = DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_PALETTE | DDCAPS_COLORKEY | DDCAPS_BLTCOLORFILL |
                           DDCAPS_CANCLIP | DDCAPS_CANCLIPSTRETCHED | DDCAPS_CANBLTSYSMEM;
constexpr DWORD kHelFxCaps = DDFXCAPS_BLTMIRRORLEFTRIGHT | DDFXCAPS_BLTMIRRORUPDOWN | DDFXCAPS_BLTSHRINKX |
                             DDFXCAPS_BLTSHRINKXN | DDFXCAPS_BLTSHRINKY | DDFXCAPS_BLTSHRINKYN | DDFXCAPS_BLTSTRETCHX |
                             DDFXCAPS_BLTSTRETCHXN | DDFXCAPS_BLTSTRETCHY | DDFXCAPS_BLTSTRETCHYN;

// What the pretend card holds for every DirectDraw object: its settings,
// the video memory in use, and which object has the screen to itself.
struct CardState {
    Config config = DefaultConfig();
    std::size_t videoUsed = 0;
    DirectDraw* exclusiveOwner = nullptr;
};

CardState& Card() {
    static CardState s;
    return s;
}

// Display modes the pretend card offers, each with 256 colours and with
// 65536 (5-6-5 RGB), as the cards of its day did.
constexpr DWORD kModeSizes[][2] = {{320, 200}, {320, 240},  {640, 400},  {640, 480},
                                   {800, 600}, {1024, 768}, {1280, 1024}};
constexpr DWORD kModeDepths[] = {8, 16};

bool ModeOffered(DWORD width, DWORD height, DWORD bpp) {
    if (std::find(std::begin(kModeDepths), std::end(kModeDepths), bpp) == std::end(kModeDepths)) return false;
    for (const auto& m : kModeSizes)
        if (m[0] == width && m[1] == height) return true;
    return false;
}

// Tells every window, as far as memory lets it: the mode is changed either way.
void AnnounceModeChange() noexcept {
    video::Mode m = video::CurrentMode();
    try {
        for (HWND w : user::TopLevelWindows())
            SendMessageA(w, WM_DISPLAYCHANGE, static_cast<WPARAM>(m.bitsPerPixel), MAKELPARAM(m.width, m.height));
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace

Config DefaultConfig() { return Config{kHelCaps, kHelFxCaps, std::size_t{4} << 20}; }
Config& CurrentConfig() { return Card().config; }

std::size_t& VideoMemoryUsed() { return Card().videoUsed; }
DirectDraw*& ExclusiveOwner() { return Card().exclusiveOwner; }

void ResetForTests() {
    std::vector<const IDirectDraw*> live(com::Live<IDirectDraw>().begin(), com::Live<IDirectDraw>().end());
    for (const IDirectDraw* dd : live) static_cast<DirectDraw*>(const_cast<IDirectDraw*>(dd))->Destroy();
    Card() = CardState{};
}

// ---------------------------------------------------------------------------
// Pixel formats.

void DescribePixels(int bitsPerPixel, DDPIXELFORMAT& format) {
    std::memset(&format, 0, sizeof(format));
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = static_cast<DWORD>(bitsPerPixel);
    if (bitsPerPixel == 8) {
        format.dwFlags |= DDPF_PALETTEINDEXED8;
    } else if (bitsPerPixel == 16) {
        format.dwRBitMask = 0xF800;
        format.dwGBitMask = 0x07E0;
        format.dwBBitMask = 0x001F;
    }
}

int BytesPerPixelOf(const DDPIXELFORMAT& format) {
    if ((format.dwFlags & DDPF_PALETTEINDEXED8) || format.dwRGBBitCount == 8) return 1;
    if ((format.dwFlags & DDPF_RGB) && format.dwRGBBitCount == 16 && format.dwRBitMask == 0xF800 &&
        format.dwGBitMask == 0x07E0 && format.dwBBitMask == 0x001F)
        return 2;
    return 0;
}

// ---------------------------------------------------------------------------
// The DirectDraw object.

HRESULT DirectDraw::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* out, IUnknown* outer) {
    kIDirectDrawCreateClipper.Trace();
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (flags != 0) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawCreateClipper); hr != DD_OK) return hr;
    return FailWithoutMemory(DDERR_OUTOFMEMORY, 0, [&] {
        // Until it is handed out, the clipper's own destructor undoes each step.
        auto c = std::make_unique<Clipper>(this);
        children.Adopt(c.get());
        *out = c.release();
        return DD_OK;
    });
}

HRESULT DirectDraw::CreatePalette(DWORD flags, LPPALETTEENTRY table, LPDIRECTDRAWPALETTE* out, IUnknown* outer) {
    kIDirectDrawCreatePalette.Trace();
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!table) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawCreatePalette); hr != DD_OK) return hr;
    if (level_ == 0) return DDERR_NOCOOPERATIVELEVELSET;
    // The table is 2, 4, 16 or 256 entries long, as one size flag says.
    if (PaletteSize(flags) == 0) return DDERR_INVALIDPARAMS;
    return FailWithoutMemory(DDERR_OUTOFMEMORY, 0, [&] {
        auto p = std::make_unique<Palette>(this, flags, table);
        children.Adopt(p.get());
        *out = p.release();
        return DD_OK;
    });
}

void FreeChain::operator()(Surface* front) const {
    for (Surface* b : front->backBuffers) delete b;
    delete front;
}

HRESULT DirectDraw::CreatePrimary(const DDSURFACEDESC& desc, Chain& out) {
    DWORD caps = desc.ddsCaps.dwCaps;
    if (primary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    if (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
    bool flip = (caps & DDSCAPS_FLIP) != 0;
    DWORD backCount = 0;
    if (flip) {
        if (!(caps & DDSCAPS_COMPLEX) || !(desc.dwFlags & DDSD_BACKBUFFERCOUNT) || desc.dwBackBufferCount == 0 ||
            desc.dwBackBufferCount > 3)
            return DDERR_INVALIDCAPS;
        if (!Exclusive()) return DDERR_NOEXCLUSIVEMODE;  // only an exclusive mode can flip
        backCount = desc.dwBackBufferCount;
    }
    video::Screen& screen = video::TheScreen();
    // The front buffer is the display memory itself, whatever placement was
    // asked for; emulation only changes where the back buffers go.
    DWORD frontCaps = (caps & ~DDSCAPS_SYSTEMMEMORY) | DDSCAPS_VIDEOMEMORY | DDSCAPS_VISIBLE;
    if (flip) frontCaps |= DDSCAPS_FRONTBUFFER;
    Chain front(new Surface(this, frontCaps, screen.width, screen.height, true, screen.bytesPerPixel));
    if (!front->Allocate(0)) return DDERR_OUTOFMEMORY;
    std::size_t bytes = static_cast<std::size_t>(screen.pitch) * static_cast<std::size_t>(screen.height);
    for (DWORD i = 0; i < backCount; ++i) {
        bool video = !emulationOnly_ && !(caps & DDSCAPS_SYSTEMMEMORY) &&
                     VideoMemoryUsed() + bytes <= CurrentConfig().videoMemory;
        if (caps & DDSCAPS_VIDEOMEMORY && !video) return emulationOnly_ ? DDERR_NODIRECTDRAWHW : DDERR_OUTOFVIDEOMEMORY;
        DWORD backCaps = (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY)) |
                         (i == 0 ? DDSCAPS_BACKBUFFER : 0) | (video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
        auto back = std::make_unique<Surface>(this, backCaps, screen.width, screen.height, false, screen.bytesPerPixel);
        if (!back->Allocate(video ? bytes : 0)) return DDERR_OUTOFMEMORY;
        back->front = front.get();
        front->backBuffers.push_back(back.get());
        back.release();
    }
    out = std::move(front);
    primary = out.get();
    return DD_OK;
}

HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out, IUnknown* outer) {
    kIDirectDrawCreateSurface.Trace();
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawCreateSurface); hr != DD_OK) return hr;
    return FailWithoutMemory(DDERR_OUTOFMEMORY, 0, [&] { return MakeSurface(desc, out); });
}

HRESULT DirectDraw::MakeSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out) {
    if (level_ == 0) return DDERR_NOCOOPERATIVELEVELSET;
    DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : DDSCAPS_OFFSCREENPLAIN;
    if ((caps & DDSCAPS_SYSTEMMEMORY) && (caps & DDSCAPS_VIDEOMEMORY)) return DDERR_INVALIDCAPS;
    if (caps & (DDSCAPS_OVERLAY | DDSCAPS_ZBUFFER | DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_MIPMAP))
        return DDERR_INVALIDCAPS;
    // A surface without a format of its own takes the display's.
    const int bytesPerPixel =
        (desc->dwFlags & DDSD_PIXELFORMAT) ? BytesPerPixelOf(desc->ddpfPixelFormat) : video::TheScreen().bytesPerPixel;
    if (bytesPerPixel == 0) return DDERR_INVALIDPIXELFORMAT;

    // Until the surface is handed out, the destructors undo each step.
    Chain surface;
    if (caps & DDSCAPS_PRIMARYSURFACE) {
        if (HRESULT hr = CreatePrimary(*desc, surface); hr != DD_OK) return hr;
    } else {
        if (caps & (DDSCAPS_FLIP | DDSCAPS_BACKBUFFER)) return DDERR_INVALIDCAPS;
        if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
        if (desc->dwWidth == 0 || desc->dwHeight == 0) return DDERR_INVALIDPARAMS;
        if (desc->dwWidth > 16384) return DDERR_TOOBIGWIDTH;
        if (desc->dwHeight > 16384) return DDERR_TOOBIGHEIGHT;
        int width = static_cast<int>(desc->dwWidth), height = static_cast<int>(desc->dwHeight);
        std::size_t bytes =
            static_cast<std::size_t>((width * bytesPerPixel + 3) & ~3) * static_cast<std::size_t>(height);
        bool fits = VideoMemoryUsed() + bytes <= CurrentConfig().videoMemory;
        bool video;
        if (caps & DDSCAPS_VIDEOMEMORY) {
            // The emulation layer has no video memory to give.
            if (emulationOnly_) return DDERR_NODIRECTDRAWHW;
            if (!fits) return DDERR_OUTOFVIDEOMEMORY;
            video = true;
        } else {
            video = !(caps & DDSCAPS_SYSTEMMEMORY) && !emulationOnly_ && fits;
        }
        caps = (caps & ~(DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY)) | DDSCAPS_OFFSCREENPLAIN |
               (video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
        surface.reset(new Surface(this, caps, width, height, false, bytesPerPixel));
        if (!surface->Allocate(video ? bytes : 0)) return DDERR_OUTOFMEMORY;
    }
    children.Adopt(surface.get());
    for (Surface* b : surface->backBuffers) children.Adopt(b);
    if (desc->dwFlags & DDSD_CKSRCBLT) surface->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &desc->ddckCKSrcBlt);
    if (desc->dwFlags & DDSD_CKDESTBLT) surface->SetColorKey(DDCKEY_DESTBLT | DDCKEY_COLORSPACE, &desc->ddckCKDestBlt);
    *out = surface.release();
    return DD_OK;
}

HRESULT DirectDraw::EnumDisplayModes(DWORD, LPDDSURFACEDESC filter, LPVOID context, LPDDENUMMODESCALLBACK callback) {
    if (!callback) return DDERR_INVALIDPARAMS;
    // Every mode is offered, whatever the filter asks for.
    if (filter) Unimplemented("IDirectDraw::EnumDisplayModes:filter");
    for (DWORD bits : kModeDepths)
        for (const auto& m : kModeSizes) {
            DDSURFACEDESC d{};
            d.dwSize = sizeof(d);
            d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
            d.dwWidth = m[0];
            d.dwHeight = m[1];
            d.lPitch = static_cast<LONG>(m[0] * bits / 8);
            d.dwRefreshRate = 60;
            DescribePixels(static_cast<int>(bits), d.ddpfPixelFormat);
            if (callback(&d, context) == DDENUMRET_CANCEL) return DD_OK;
        }
    return DD_OK;
}

HRESULT DirectDraw::GetCaps(LPDDCAPS driver, LPDDCAPS hel) {
    kIDirectDrawGetCaps.Trace();
    if (!driver && !hel) return DDERR_INVALIDPARAMS;
    // The DirectX 3 record, or a later and larger one whose first part it is.
    auto sizeOk = [](LPDDCAPS c) { return !c || (c->dwSize >= sizeof(DDCAPS_DX3) && c->dwSize <= 1024); };
    if (!sizeOk(driver) || !sizeOk(hel)) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawGetCaps); hr != DD_OK) return hr;
    const Config& config = CurrentConfig();
    if (driver) {
        DWORD size = driver->dwSize;
        std::memset(driver, 0, size);
        driver->dwSize = size;
        if (emulationOnly_) {
            driver->dwCaps = DDCAPS_NOHARDWARE;
        } else {
            driver->dwCaps = kHelCaps;
            driver->dwCKeyCaps = DDCKEYCAPS_SRCBLT;
            driver->dwFXCaps = kHelFxCaps;
            driver->dwPalCaps = DDPCAPS_8BIT | DDPCAPS_PRIMARYSURFACE;
            driver->dwVidMemTotal = static_cast<DWORD>(config.videoMemory);
            driver->dwVidMemFree =
                static_cast<DWORD>(config.videoMemory - std::min(config.videoMemory, VideoMemoryUsed()));
            driver->ddsCaps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_FRONTBUFFER |
                                     DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PALETTE | DDSCAPS_PRIMARYSURFACE |
                                     DDSCAPS_VIDEOMEMORY | DDSCAPS_VISIBLE;
        }
    }
    if (hel) {
        DWORD size = hel->dwSize;
        std::memset(hel, 0, size);
        hel->dwSize = size;
        hel->dwCaps = config.helCaps;
        hel->dwCKeyCaps = DDCKEYCAPS_SRCBLT;
        hel->dwFXCaps = config.helFxCaps;
        hel->dwPalCaps = DDPCAPS_8BIT | DDPCAPS_PRIMARYSURFACE;
        hel->ddsCaps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_FRONTBUFFER |
                              DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PALETTE | DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY |
                              DDSCAPS_VISIBLE;
    }
    return DD_OK;
}

HRESULT DirectDraw::GetDisplayMode(LPDDSURFACEDESC desc) {
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    video::Mode m = video::CurrentMode();
    std::memset(desc, 0, sizeof(*desc));
    desc->dwSize = sizeof(*desc);
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    desc->dwWidth = static_cast<DWORD>(m.width);
    desc->dwHeight = static_cast<DWORD>(m.height);
    desc->lPitch = (m.width * m.bitsPerPixel / 8 + 3) & ~3;
    desc->dwRefreshRate = 60;
    DescribePixels(m.bitsPerPixel, desc->ddpfPixelFormat);
    return DD_OK;
}

HRESULT DirectDraw::GetFourCCCodes(LPDWORD count, LPDWORD) {
    if (!count) return DDERR_INVALIDPARAMS;
    *count = 0;
    return DD_OK;
}

HRESULT DirectDraw::GetMonitorFrequency(LPDWORD frequency) {
    if (!frequency) return DDERR_INVALIDPARAMS;
    *frequency = 60;
    return DD_OK;
}

namespace {
// A refresh begins with its vertical blank, which lasts as long as 45 lines
// of a 525-line frame (the VGA timing of 640x480); the mode's visible lines
// follow, evenly over the rest of the refresh.
constexpr double kBlankPart = 45.0 / 525.0;

double RefreshPhase() {
    double refreshes = host::Refreshes();
    return refreshes - std::floor(refreshes);
}
}  // namespace

HRESULT DirectDraw::GetVerticalBlankStatus(BOOL* inBlank) {
    if (!inBlank) return DDERR_INVALIDPARAMS;
    *inBlank = RefreshPhase() < kBlankPart ? TRUE : FALSE;
    return DD_OK;
}

HRESULT DirectDraw::GetScanLine(LPDWORD line) {
    if (!line) return DDERR_INVALIDPARAMS;
    double phase = RefreshPhase();
    if (phase < kBlankPart) return DDERR_VERTICALBLANKINPROGRESS;
    int lines = std::max(video::CurrentMode().height, 1);
    *line = static_cast<DWORD>(std::min<double>((phase - kBlankPart) / (1.0 - kBlankPart) * lines, lines - 1));
    return DD_OK;
}

HRESULT DirectDraw::WaitForVerticalBlank(DWORD flags, HANDLE) {
    switch (flags) {
        case DDWAITVB_BLOCKBEGIN: host::WaitForRefresh(); return DD_OK;
        case DDWAITVB_BLOCKEND:
            if (RefreshPhase() >= kBlankPart) host::WaitForRefresh();
            // The blank lasts a millisecond and a half.
            for (int tries = 0; tries < 4 && RefreshPhase() < kBlankPart; ++tries) host::Sleep(1);
            return DD_OK;
        case DDWAITVB_BLOCKBEGINEVENT:
            return com::Stub("IDirectDraw::WaitForVerticalBlank:DDWAITVB_BLOCKBEGINEVENT", DDERR_UNSUPPORTED);
        default: return DDERR_INVALIDPARAMS;
    }
}

HRESULT DirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
    kIDirectDrawSetCooperativeLevel.Trace();
    bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0, fullScreen = (flags & DDSCL_FULLSCREEN) != 0;
    bool normal = (flags & DDSCL_NORMAL) != 0;
    // DDSCL_NORMAL beside the exclusive full-screen pair is taken as that
    // pair (Wine's tests, run on Windows too, expect DD_OK for a window).
    if ((!normal && !exclusive) || exclusive != fullScreen) return DDERR_INVALIDPARAMS;
    if (window && !user::FromHandle(window)) return DDERR_INVALIDPARAMS;
    if (exclusive && !window) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawSetCooperativeLevel); hr != DD_OK) return hr;
    if (exclusive) {
        if (ExclusiveOwner() && ExclusiveOwner() != this) return DDERR_EXCLUSIVEMODEALREADYSET;
        ExclusiveOwner() = this;
    } else if (ExclusiveOwner() == this) {
        ExclusiveOwner() = nullptr;
    }
    level_ = flags;
    window_ = window;
    return DD_OK;
}

HRESULT DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bpp) {
    kIDirectDrawSetDisplayMode.Trace();
    if (HRESULT hr = Fails(kIDirectDrawSetDisplayMode); hr != DD_OK) return hr;
    if (level_ == 0) return DDERR_NOCOOPERATIVELEVELSET;
    if (ExclusiveOwner() && ExclusiveOwner() != this) return DDERR_NOEXCLUSIVEMODE;
    if (!ModeOffered(width, height, bpp)) return DDERR_INVALIDMODE;
    video::Mode mode{static_cast<int>(width), static_cast<int>(height), static_cast<int>(bpp)};
    bool changed = video::CurrentMode() != mode || !video::ExclusiveModeSet();
    // The new mode's frame buffer may not fit in memory.
    HRESULT set = FailWithoutMemory(DDERR_OUTOFMEMORY, 0,
                                    [&] { return video::SetExclusiveMode(mode) ? DD_OK : DDERR_INVALIDMODE; });
    if (set != DD_OK) return set;
    modeSet_ = true;
    // In an exclusive mode the window covers the new screen.
    if (Exclusive() && !(level_ & DDSCL_NOWINDOWCHANGES) && user::FromHandle(window_))
        SetWindowPos(window_, nullptr, 0, 0, mode.width, mode.height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (changed) AnnounceModeChange();
    return DD_OK;
}

HRESULT DirectDraw::RestoreDisplayMode() {
    kIDirectDrawRestoreDisplayMode.Trace();
    if (HRESULT hr = Fails(kIDirectDrawRestoreDisplayMode); hr != DD_OK) return hr;
    if (!modeSet_) return DD_OK;
    modeSet_ = false;
    video::RestoreDesktopMode();
    AnnounceModeChange();
    return DD_OK;
}

void DirectDraw::Destroy() {
    // Everything made from this object goes with it, the program's
    // references or not. Each child first lets go of the others, which are
    // freed in the same sweep.
    auto all = children.TakeAll();
    com::Family<DirectDraw>::FreeAll(all);
    primary = nullptr;
    if (ExclusiveOwner() == this) ExclusiveOwner() = nullptr;
    if (modeSet_) {
        modeSet_ = false;
        video::RestoreDesktopMode();
        AnnounceModeChange();
    }
    delete this;
}

}  // namespace platform::ddraw

using namespace platform::ddraw;

HRESULT WINAPI DirectDrawCreate(GUID* lpGUID, LPDIRECTDRAW* lplpDD, IUnknown* pUnkOuter) {
    kDirectDrawCreate.Trace();
    if (!lplpDD) return DDERR_INVALIDPARAMS;
    *lplpDD = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    HRESULT fault;
    if (kDirectDrawCreate.Fails(fault)) return fault;
    auto id = reinterpret_cast<std::uintptr_t>(lpGUID);
    // The driver identifiers are small numbers in the pointer's place; a real
    // GUID would name a display device, and this machine has only the one.
    if (id != 0 && id != DDCREATE_HARDWAREONLY && id != DDCREATE_EMULATIONONLY) return DDERR_INVALIDDIRECTDRAWGUID;
    return platform::FailWithoutMemory(DDERR_OUTOFMEMORY, 0, [&] {
        *lplpDD = new DirectDraw(id == DDCREATE_EMULATIONONLY);
        return DD_OK;
    });
}
