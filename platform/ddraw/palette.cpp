// DirectDraw palettes: 2 to 256 entries, realised into the hardware palette
// while attached to the primary surface.
#include <algorithm>

#include "platform/ddraw/objects.h"
#include "platform/trace/trace.h"
#include "platform/video/screen.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kIDirectDrawPaletteSetEntries("IDirectDrawPalette::SetEntries");
}  // namespace

namespace platform::ddraw {

int PaletteSize(DWORD caps) {
    switch (caps & (DDPCAPS_1BIT | DDPCAPS_2BIT | DDPCAPS_4BIT | DDPCAPS_8BIT)) {
        case DDPCAPS_1BIT: return 2;
        case DDPCAPS_2BIT: return 4;
        case DDPCAPS_4BIT: return 16;
        case DDPCAPS_8BIT: return 256;
        default: return 0;
    }
}

Palette::Palette(DirectDraw* owner, DWORD caps, const PALETTEENTRY* entries)
    : Object("IDirectDrawPalette::Release"), Child(owner), caps_(caps), size_(static_cast<DWORD>(PaletteSize(caps))) {
    std::copy_n(entries, size_, entries_.begin());
}

HRESULT Palette::GetCaps(LPDWORD caps) {
    if (!caps) return DDERR_INVALIDPARAMS;
    *caps = caps_;
    return DD_OK;
}

HRESULT Palette::GetEntries(DWORD, DWORD base, DWORD count, LPPALETTEENTRY entries) {
    if (!entries || base > size_ || count > size_ - base) return DDERR_INVALIDPARAMS;
    std::copy_n(entries_.begin() + base, count, entries);
    return DD_OK;
}

HRESULT Palette::SetEntries(DWORD, DWORD start, DWORD count, LPPALETTEENTRY entries) {
    kIDirectDrawPaletteSetEntries.Trace();
    if (!entries || start > size_ || count > size_ - start) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Fails(kIDirectDrawPaletteSetEntries); hr != DD_OK) return hr;
    std::copy_n(entries, count, entries_.begin() + start);
    if (primaryAttachments > 0) {
        video::SetHardwarePalette(entries_.data(), !video::ExclusiveModeSet());
        video::Present(Owner() ? Owner()->CooperativeWindow() : nullptr);
    }
    return DD_OK;
}

Palette::~Palette() = default;

}  // namespace platform::ddraw
