// GDI32 as the game uses it, over the emulated 256-colour display: device
// contexts of windows, of the screen, of memory and of DirectDraw surfaces;
// bitmaps; stock brushes; stretching copies that match colours to the nearest
// entry of the destination's palette; single pixels; capabilities and the
// system palette.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "platform/gdi/gdi_internal.h"
#include "platform/video/screen.h"
#include "platform/trace/boundary.h"
#include "platform/trace/trace.h"
#include "platform/user/user_internal.h"

// The calls of this file that tests can fail, by the names they are logged under.
namespace {
const platform::FaultPoint kCreateCompatibleDC("CreateCompatibleDC");
const platform::FaultPoint kGetDC("GetDC");
const platform::FaultPoint kStretchBlt("StretchBlt");
}  // namespace

namespace platform::gdi {
namespace {

struct State {
    std::unordered_set<Object*> live;
    std::unique_ptr<Brush> stockBrushes[6];
};

State& GdiObjects() {
    static State s;
    return s;
}

template <typename T>
T* Find(const void* handle, Kind kind) {
    auto* o = static_cast<Object*>(const_cast<void*>(handle));
    if (!o || !GdiObjects().live.count(o) || o->kind != kind) return nullptr;
    return static_cast<T*>(o);
}

// Takes a new object (from a nothrow new) into the table of live ones. Out
// of memory for either, it throws with the object gone: the Windows call
// around it answers as it does without memory (FailWithoutMemory).
template <typename T>
T* Track(T* object) {
    if (!object) throw std::bad_alloc();
    try {
        GdiObjects().live.insert(object);
    } catch (...) {
        delete object;
        throw;
    }
    return object;
}

void Destroy(Object* object) {
    GdiObjects().live.erase(object);
    delete object;
}

Brush* StockBrush(int index) {
    static const COLORREF colours[6] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                        RGB(64, 64, 64),    RGB(0, 0, 0),       0};
    auto& slot = GdiObjects().stockBrushes[index];
    if (!slot) {
        auto brush = std::make_unique<Brush>();
        brush->stock = true;
        brush->colour = colours[index];
        brush->hollow = index == NULL_BRUSH;
        GdiObjects().live.insert(brush.get());
        slot = std::move(brush);
    }
    return slot.get();
}

// A new device context of the given type with the default brush.
Dc* NewDc(Dc::Type type) {
    Brush* brush = StockBrush(WHITE_BRUSH);
    Dc* dc = Track(new (std::nothrow) Dc());
    dc->type = type;
    dc->brush = brush;
    return dc;
}

// The monochrome 1x1 bitmap every new memory context holds.
Bitmap* NewDefaultBitmap() {
    auto b = std::make_unique<Bitmap>();
    b->stock = true;
    b->width = b->height = 1;
    b->bitCount = 1;
    b->stride = 4;
    b->colours = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    b->bits.assign(4, 0);
    return Track(b.release());
}

// Where a device context's pixels are, in device coordinates.
struct Target {
    std::uint8_t* pixels = nullptr;  // 8-bit indices (screen or surface)
    int pitch = 0;
    const PALETTEENTRY* palette = nullptr;
    Bitmap* dib = nullptr;  // or a bitmap (memory context)
    int originX = 0, originY = 0;
    RECT clip{};
    bool screen = false;

    bool Inside(int x, int y) const { return x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom; }
};

bool TargetOf(Dc* dc, Target& t) {
    switch (dc->type) {
        case Dc::Type::Window:
        case Dc::Type::Screen: {
            video::Screen& s = video::TheScreen();
            t.pixels = s.pixels.data();
            t.pitch = s.pitch;
            t.palette = s.palette.data();
            t.screen = true;
            video::ScreenWritten();  // what is drawn is not followed pixel by pixel
            t.clip = RECT{0, 0, s.width, s.height};
            if (dc->type == Dc::Type::Window) {
                if (!user::FromHandle(dc->window)) return false;
                RECT c = user::ClientRectOnScreen(dc->window);
                t.originX = c.left;
                t.originY = c.top;
                t.clip = RECT{std::max(c.left, t.clip.left), std::max(c.top, t.clip.top),
                              std::min(c.right, t.clip.right), std::min(c.bottom, t.clip.bottom)};
            }
            return true;
        }
        case Dc::Type::Memory:
            t.dib = dc->bitmap;
            t.clip = RECT{0, 0, t.dib->width, t.dib->height};
            return true;
        case Dc::Type::Surface:
            if (dc->surfaceIsScreen) {
                video::Screen& s = video::TheScreen();
                t.pixels = s.pixels.data();
                t.pitch = s.pitch;
                t.clip = RECT{0, 0, s.width, s.height};
                t.screen = true;
                video::ScreenWritten();
            } else {
                t.pixels = dc->surface.pixels;
                t.pitch = dc->surface.pitch;
                t.clip = RECT{0, 0, dc->surface.width, dc->surface.height};
            }
            t.palette = dc->palette.data();
            return true;
    }
    return false;
}

COLORREF EntryColour(const PALETTEENTRY& e) { return RGB(e.peRed, e.peGreen, e.peBlue); }

// The index a colour reference selects on a palette device.
std::uint8_t IndexFor(const PALETTEENTRY* palette, COLORREF colour) {
    if ((colour >> 24) == 0x01) return static_cast<std::uint8_t>(colour & 0xFF);  // PALETTEINDEX
    return video::NearestIndex(palette, GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

COLORREF GetAt(const Target& t, int x, int y) {
    if (t.dib) return t.dib->ColourAt(x, y);
    return EntryColour(t.palette[t.pixels[static_cast<std::ptrdiff_t>(y) * t.pitch + x]]);
}

}  // namespace

COLORREF Bitmap::ColourAt(int x, int y) const {
    const std::uint8_t* row = Row(y);
    auto entry = [&](unsigned i) -> COLORREF {
        if (i >= colours.size()) return 0;
        return RGB(colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue);
    };
    switch (bitCount) {
        case 1: return entry((row[x >> 3] >> (7 - (x & 7))) & 1);
        case 4: return entry((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
        case 8: return entry(row[x]);
        case 16: {
            unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
            auto expand = [](unsigned c) { return static_cast<BYTE>((c << 3) | (c >> 2)); };
            return RGB(expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31));
        }
        case 24: return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        case 32: return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
        default: return 0;
    }
}

void Bitmap::PutColour(int x, int y, COLORREF colour) {
    std::uint8_t* row = Row(y);
    BYTE r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    if (bitCount <= 8) {
        unsigned index;
        if ((colour >> 24) == 0x01) {
            index = colour & 0xFF;
        } else {
            std::array<PALETTEENTRY, 256> table{};
            for (std::size_t i = 0; i < colours.size() && i < 256; ++i)
                table[i] = PALETTEENTRY{colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 0};
            // Entries past the table must never win.
            for (std::size_t i = colours.size(); i < 256; ++i) table[i] = table[0];
            index = video::NearestIndex(table.data(), r, g, b);
        }
        index &= (1u << bitCount) - 1;
        switch (bitCount) {
            case 1:
                row[x >> 3] = static_cast<std::uint8_t>((row[x >> 3] & ~(0x80 >> (x & 7))) | (index << (7 - (x & 7))));
                break;
            case 4: {
                int shift = (x & 1) ? 0 : 4;
                row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & ~(15 << shift)) | (index << shift));
                break;
            }
            default: row[x] = static_cast<std::uint8_t>(index); break;
        }
        return;
    }
    switch (bitCount) {
        case 16: {
            unsigned v = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
            row[2 * x] = static_cast<std::uint8_t>(v);
            row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            break;
        }
        case 24: row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r; break;
        case 32: row[4 * x] = b, row[4 * x + 1] = g, row[4 * x + 2] = r, row[4 * x + 3] = 0; break;
        default: break;
    }
}

Dc* DcFrom(HDC hdc) { return Find<Dc>(hdc, Kind::Dc); }
Bitmap* BitmapFrom(HGDIOBJ h) { return Find<Bitmap>(h, Kind::Bitmap); }

HDC CreateSurfaceDc(const PixelView& view, const PALETTEENTRY* palette, bool isScreen) {
    Dc* dc = NewDc(Dc::Type::Surface);
    dc->surface = view;
    dc->surfaceIsScreen = isScreen;
    const PALETTEENTRY* colours = palette ? palette : video::TheScreen().palette.data();
    std::copy_n(colours, 256, dc->palette.begin());
    return reinterpret_cast<HDC>(dc);
}

bool DestroySurfaceDc(HDC hdc) {
    Dc* dc = DcFrom(hdc);
    if (!dc || dc->type != Dc::Type::Surface) return false;
    bool drawn = dc->drawn;
    Destroy(dc);
    return drawn;
}

HBITMAP RegisterBitmap(Bitmap* bitmap) { return reinterpret_cast<HBITMAP>(Track(bitmap)); }

void ResetForTests() {
    auto& s = GdiObjects();
    std::vector<Object*> objects(s.live.begin(), s.live.end());
    for (Object* o : objects) {
        bool isStockBrush = false;
        for (auto& b : s.stockBrushes) isStockBrush |= b.get() == o;
        if (!isStockBrush) delete o;
    }
    s.live.clear();
    for (auto& b : s.stockBrushes) b.reset();
}

}  // namespace platform::gdi

using namespace platform::gdi;
namespace video = platform::video;
using platform::TraceCall;

HDC WINAPI GetDC(HWND hWnd) {
    kGetDC.Trace();
    std::int32_t fault;
    if (kGetDC.Fails(fault)) return nullptr;
    if (hWnd && !platform::user::FromHandle(hWnd)) return nullptr;
    return platform::FailWithoutMemory<HDC>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&] {
        Dc* dc = NewDc(hWnd ? Dc::Type::Window : Dc::Type::Screen);
        dc->window = hWnd;
        return reinterpret_cast<HDC>(dc);
    });
}

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
    TraceCall("ReleaseDC");
    Dc* dc = DcFrom(hDC);
    if (!dc || (dc->type != Dc::Type::Window && dc->type != Dc::Type::Screen)) return 0;
    (void)hWnd;
    if (dc->drawn) video::Present(dc->window);
    Destroy(dc);
    return 1;
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
    TraceCall("GetDeviceCaps");
    if (!DcFrom(hdc)) return 0;
    video::Mode mode = video::CurrentMode();
    bool palette = mode.bitsPerPixel == 8;
    switch (index) {
        case HORZRES: return mode.width;
        case VERTRES: return mode.height;
        case BITSPIXEL: return mode.bitsPerPixel;
        case PLANES: return 1;
        case NUMCOLORS: return palette ? 20 : -1;
        case SIZEPALETTE: return palette ? 256 : 0;
        case NUMRESERVED: return palette ? 20 : 0;
        case RASTERCAPS:
            return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB |
                   (palette ? RC_PALETTE : 0);
        default: return 0;
    }
}

UINT WINAPI GetSystemPaletteEntries(HDC hdc, UINT iStart, UINT cEntries, LPPALETTEENTRY pPalEntries) {
    TraceCall("GetSystemPaletteEntries");
    if (!DcFrom(hdc) || video::CurrentMode().bitsPerPixel != 8) return 0;
    if (!pPalEntries) return 256;  // the size of the system palette
    if (iStart >= 256) return 0;
    UINT count = std::min<UINT>(cEntries, 256 - iStart);
    const auto& palette = video::TheScreen().palette;
    std::copy_n(palette.begin() + iStart, count, pPalEntries);
    return count;
}

HDC WINAPI CreateCompatibleDC(HDC hdc) {
    kCreateCompatibleDC.Trace();
    std::int32_t fault;
    if (kCreateCompatibleDC.Fails(fault)) return nullptr;
    if (hdc && !DcFrom(hdc)) return nullptr;
    return platform::FailWithoutMemory<HDC>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&] {
        Bitmap* bitmap = NewDefaultBitmap();
        Dc* dc;
        try {
            dc = NewDc(Dc::Type::Memory);
        } catch (...) {
            Destroy(bitmap);
            throw;
        }
        dc->bitmap = dc->ownBitmap = bitmap;
        bitmap->selectedInto = reinterpret_cast<HDC>(dc);
        return reinterpret_cast<HDC>(dc);
    });
}

BOOL WINAPI DeleteDC(HDC hdc) {
    TraceCall("DeleteDC");
    Dc* dc = DcFrom(hdc);
    if (!dc || dc->type == Dc::Type::Surface) return FALSE;
    if (dc->bitmap) dc->bitmap->selectedInto = nullptr;
    if (dc->bitmap && dc->bitmap != dc->ownBitmap && dc->bitmap->deletePending) Destroy(dc->bitmap);
    if (dc->ownBitmap && !dc->ownBitmap->selectedInto) Destroy(dc->ownBitmap);
    if (dc->drawn) video::Present(dc->window);
    Destroy(dc);
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    TraceCall("SelectObject");
    Dc* dc = DcFrom(hdc);
    if (!dc) return nullptr;
    if (Bitmap* b = BitmapFrom(h)) {
        if (dc->type != Dc::Type::Memory) return nullptr;
        if (b->selectedInto && b->selectedInto != hdc) return nullptr;  // one context at a time
        Bitmap* previous = dc->bitmap;
        previous->selectedInto = nullptr;
        b->selectedInto = hdc;
        dc->bitmap = b;
        HGDIOBJ handle = previous;
        if (previous != b && previous->deletePending) Destroy(previous);
        return handle;
    }
    if (Brush* b = Find<Brush>(h, Kind::Brush)) {
        Brush* previous = dc->brush;
        dc->brush = b;
        return previous;
    }
    return nullptr;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    TraceCall("DeleteObject");
    if (Bitmap* b = BitmapFrom(ho)) {
        if (b->stock) return TRUE;
        // Selected into a context, it stays usable there until it is
        // deselected (NT's GDI; the DeleteObject page's "should not" is
        // advice, not a refusal).
        if (b->selectedInto) {
            b->deletePending = true;
            return TRUE;
        }
        Destroy(b);
        return TRUE;
    }
    if (Brush* b = Find<Brush>(ho, Kind::Brush)) {
        if (!b->stock) Destroy(b);
        return TRUE;
    }
    return FALSE;
}

HGDIOBJ WINAPI GetStockObject(int i) {
    if (i < WHITE_BRUSH || i > NULL_BRUSH) return nullptr;
    return platform::FailWithoutMemory<HGDIOBJ>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&] { return StockBrush(i); });
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    return platform::FailWithoutMemory<HBRUSH>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&] {
        Brush* b = Track(new (std::nothrow) Brush());
        b->colour = color;
        return reinterpret_cast<HBRUSH>(static_cast<Object*>(b));
    });
}

int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
    TraceCall("GetObjectA");
    Bitmap* b = BitmapFrom(h);
    if (!b) return 0;
    int size = b->dibSection && c >= static_cast<int>(sizeof(DIBSECTION)) ? static_cast<int>(sizeof(DIBSECTION))
                                                                          : static_cast<int>(sizeof(BITMAP));
    if (!pv) return size;
    if (c < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP bm{};
    bm.bmType = 0;
    bm.bmWidth = b->width;
    bm.bmHeight = b->height;
    bm.bmWidthBytes = b->stride;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = static_cast<WORD>(b->bitCount);
    bm.bmBits = b->dibSection ? b->bits.data() : nullptr;
    if (size == static_cast<int>(sizeof(DIBSECTION))) {
        DIBSECTION ds{};
        ds.dsBm = bm;
        ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
        ds.dsBmih.biWidth = b->width;
        ds.dsBmih.biHeight = b->topDown ? -b->height : b->height;
        ds.dsBmih.biPlanes = 1;
        ds.dsBmih.biBitCount = static_cast<WORD>(b->bitCount);
        ds.dsBmih.biCompression = BI_RGB;
        ds.dsBmih.biSizeImage = static_cast<DWORD>(b->bits.size());
        ds.dsBmih.biClrUsed = static_cast<DWORD>(b->colours.size());
        std::memcpy(pv, &ds, sizeof(ds));
    } else {
        std::memcpy(pv, &bm, sizeof(bm));
    }
    return size;
}

// The pixels behind a device context and a point of it in their coordinates;
// false when there are none or the point lies outside them.
static bool PixelTarget(HDC hdc, int& x, int& y, Dc*& dc, Target& t) {
    dc = DcFrom(hdc);
    if (!dc || !TargetOf(dc, t)) return false;
    x += t.originX;
    y += t.originY;
    return t.Inside(x, y);
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
    TraceCall("GetPixel");
    Dc* dc;
    Target t;
    if (!PixelTarget(hdc, x, y, dc, t)) return CLR_INVALID;
    return GetAt(t, x, y);
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
    TraceCall("SetPixel");
    Dc* dc;
    Target t;
    if (!PixelTarget(hdc, x, y, dc, t)) return CLR_INVALID;
    if (t.dib) {
        t.dib->PutColour(x, y, color);
    } else {
        t.pixels[static_cast<std::ptrdiff_t>(y) * t.pitch + x] = IndexFor(t.palette, color);
        dc->drawn |= t.screen;
    }
    return GetAt(t, x, y);  // the colour actually set
}

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    TraceCall("FillRect");
    Dc* dc = DcFrom(hDC);
    Brush* brush = Find<Brush>(hbr, Kind::Brush);
    Target t;
    if (!dc || !lprc || !brush || !TargetOf(dc, t)) return 0;
    if (brush->hollow) return 1;
    LONG left = std::max<LONG>(lprc->left + t.originX, t.clip.left);
    LONG right = std::min<LONG>(lprc->right + t.originX, t.clip.right);
    LONG top = std::max<LONG>(lprc->top + t.originY, t.clip.top);
    LONG bottom = std::min<LONG>(lprc->bottom + t.originY, t.clip.bottom);
    if (left >= right || top >= bottom) return 1;
    if (t.dib) {
        for (LONG y = top; y < bottom; ++y)
            for (LONG x = left; x < right; ++x) t.dib->PutColour(x, y, brush->colour);
        return 1;
    }
    std::uint8_t index = IndexFor(t.palette, brush->colour);
    for (LONG y = top; y < bottom; ++y)
        std::memset(t.pixels + static_cast<std::ptrdiff_t>(y) * t.pitch + left, index,
                    static_cast<std::size_t>(right - left));
    dc->drawn |= t.screen;
    return 1;
}

BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc,
                       int wSrc, int hSrc, DWORD rop) {
    kStretchBlt.Trace();
    std::int32_t fault;
    if (kStretchBlt.Fails(fault)) return FALSE;
    Dc* dd = DcFrom(hdcDest);
    Target dst;
    if (!dd || !TargetOf(dd, dst)) return FALSE;
    if (rop != SRCCOPY && rop != SRCPAINT && rop != BLACKNESS && rop != WHITENESS) return FALSE;

    // Negative extents mirror, as in GDI.
    bool mirrorX = false, mirrorY = false;
    if (wDest < 0) xDest += wDest, wDest = -wDest, mirrorX = !mirrorX;
    if (hDest < 0) yDest += hDest, hDest = -hDest, mirrorY = !mirrorY;
    if (wDest == 0 || hDest == 0) return TRUE;

    LONG left = std::max<LONG>(xDest + dst.originX, dst.clip.left);
    LONG right = std::min<LONG>(static_cast<LONG>(xDest) + wDest + dst.originX, dst.clip.right);
    LONG top = std::max<LONG>(yDest + dst.originY, dst.clip.top);
    LONG bottom = std::min<LONG>(static_cast<LONG>(yDest) + hDest + dst.originY, dst.clip.bottom);

    if (rop == BLACKNESS || rop == WHITENESS) {
        COLORREF c = rop == BLACKNESS ? RGB(0, 0, 0) : RGB(255, 255, 255);
        for (LONG y = top; y < bottom; ++y)
            for (LONG x = left; x < right; ++x) {
                if (dst.dib)
                    dst.dib->PutColour(x, y, c);
                else
                    dst.pixels[static_cast<std::ptrdiff_t>(y) * dst.pitch + x] = IndexFor(dst.palette, c);
            }
        dd->drawn |= dst.screen && left < right && top < bottom;
        return TRUE;
    }

    Dc* sd = DcFrom(hdcSrc);
    Target src;
    if (!sd || !TargetOf(sd, src)) return FALSE;
    if (wSrc < 0) xSrc += wSrc, wSrc = -wSrc, mirrorX = !mirrorX;
    if (hSrc < 0) ySrc += hSrc, hSrc = -hSrc, mirrorY = !mirrorY;
    if (wSrc == 0 || hSrc == 0) return TRUE;

    // Palettised sources go through one table from source to destination index.
    bool srcIndexed = !src.dib || src.dib->bitCount <= 8;
    std::uint8_t map[256];
    if (srcIndexed && !dst.dib) {
        RGBQUAD colours[256] = {};
        if (src.dib) {
            for (std::size_t i = 0; i < src.dib->colours.size() && i < 256; ++i) colours[i] = src.dib->colours[i];
        } else {
            for (int i = 0; i < 256; ++i)
                colours[i] = RGBQUAD{src.palette[i].peBlue, src.palette[i].peGreen, src.palette[i].peRed, 0};
        }
        video::BuildNearestMap(dst.palette, colours, 256, map);
    }
    auto sourceIndex = [&](int x, int y) -> unsigned {
        if (!src.dib) return src.pixels[static_cast<std::ptrdiff_t>(y) * src.pitch + x];
        const std::uint8_t* row = src.dib->Row(y);
        switch (src.dib->bitCount) {
            case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
            case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
            default: return row[x];
        }
    };

    // Nearest-neighbour sampling: destination column i takes source column
    // i * wSrc / wDest (rows likewise). Shrinking, the default stretch mode
    // (BLACKONWHITE) ANDs the pixels it drops into the one it keeps: the
    // indices on a palettised target, the colours on a true-colour one.
    const bool paint = rop == SRCPAINT;
    const bool indexed = dst.dib == nullptr && srcIndexed;
    auto span = [](long long at, int srcLength, int destLength, bool mirror, long long& first, long long& end) {
        first = at * srcLength / destLength;
        end = srcLength > destLength ? (at + 1) * srcLength / destLength : first + 1;
        if (mirror) first = srcLength - end, end = first + (end - at * srcLength / destLength);
    };
    for (LONG y = top; y < bottom; ++y) {
        long long j0, j1;
        span(y - dst.originY - yDest, hSrc, hDest, mirrorY, j0, j1);
        std::uint8_t* out = dst.dib ? nullptr : dst.pixels + static_cast<std::ptrdiff_t>(y) * dst.pitch;
        for (LONG x = left; x < right; ++x) {
            long long i0, i1;
            span(x - dst.originX - xDest, wSrc, wDest, mirrorX, i0, i1);
            bool any = false;
            std::uint8_t index = 0xFF;
            COLORREF colour = 0x00FFFFFF;
            for (long long sj = j0; sj < j1; ++sj) {
                int sy = static_cast<int>(ySrc + sj + src.originY);
                if (sy < src.clip.top || sy >= src.clip.bottom) continue;
                for (long long si = i0; si < i1; ++si) {
                    int sx = static_cast<int>(xSrc + si + src.originX);
                    if (sx < src.clip.left || sx >= src.clip.right) continue;
                    any = true;
                    if (indexed)
                        index &= map[sourceIndex(sx, sy) & 0xFF];
                    else
                        colour &= GetAt(src, sx, sy);
                }
            }
            if (!any) continue;
            // SRCPAINT ORs the bits of the pixel values: palette indices on
            // a palettised target, colours on a true-colour one.
            if (out) {
                std::uint8_t v = indexed ? index : IndexFor(dst.palette, colour);
                out[x] = paint ? static_cast<std::uint8_t>(out[x] | v) : v;
            } else {
                dst.dib->PutColour(x, y, paint ? colour | GetAt(dst, x, y) : colour);
            }
        }
    }
    dd->drawn |= dst.screen && left < right && top < bottom;
    return TRUE;
}

BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    return StretchBlt(hdc, x, y, cx, cy, hdcSrc, x1, y1, cx, cy, rop);
}
