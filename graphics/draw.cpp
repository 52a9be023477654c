// Drawing operations on the display's 8-bit surfaces.
#include "graphics/draw.h"

#include <string.h>

#include "graphics/display.h"
#include "shell/shell.h"

#define DISPLAY_WIDTH 640
#define DISPLAY_HEIGHT 480

// a + b, wrapping instead of overflowing for wild arguments.
static LONG Add(LONG a, LONG b) { return (LONG)((DWORD)a + (DWORD)b); }

static void SetRectFromSize(RECT* rect, LONG x, LONG y, LONG width, LONG height) {
    rect->left = x;
    rect->top = y;
    rect->right = Add(x, width);
    rect->bottom = Add(y, height);
}

static LONG Fill(LPDIRECTDRAWSURFACE surface, RECT* rect, LONG index, DWORD flags) {
    DDBLTFX fx;
    HRESULT hr;

    memset(&fx, 0, sizeof(fx));
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = (DWORD)index;
    do {
        hr = surface->Blt(rect, NULL, NULL, flags, &fx);
    } while (CallResult(hr) == CALL_RETRY);
    return hr == DD_OK ? 1 : 0;
}

LONG ClearSurface(LPDIRECTDRAWSURFACE surface, LONG index) {
    if (surface == NULL) return 0;
    return Fill(surface, NULL, index, DDBLT_COLORFILL | DDBLT_WAIT);
}

LONG FillRect(LPDIRECTDRAWSURFACE surface, LONG x, LONG y, LONG width, LONG height, LONG index) {
    RECT rect;

    if (surface == NULL) return 0;
    SetRectFromSize(&rect, x, y, width, height);
    return Fill(surface, &rect, index, DDBLT_COLORFILL);
}

LONG FrameRect(LPDIRECTDRAWSURFACE surface, LONG x, LONG y, LONG width, LONG height, LONG index) {
    RECT edge;

    if (surface == NULL) return 0;
    SetRect(&edge, x, y, Add(x, width), Add(y, 1));
    Fill(surface, &edge, index, DDBLT_COLORFILL);
    SetRect(&edge, Add(Add(x, width), -1), y, Add(x, width), Add(y, height));
    Fill(surface, &edge, index, DDBLT_COLORFILL);
    SetRect(&edge, x, y, Add(x, 1), Add(y, height));
    Fill(surface, &edge, index, DDBLT_COLORFILL);
    SetRect(&edge, x, Add(Add(y, height), -1), Add(x, width), Add(y, height));
    Fill(surface, &edge, index, DDBLT_COLORFILL);
    return 1;
}

static LONG FastCopy(LPDIRECTDRAWSURFACE source, LONG sx, LONG sy, LONG width, LONG height,
                     LPDIRECTDRAWSURFACE destination, LONG dx, LONG dy, DWORD flags) {
    RECT rect;
    HRESULT hr;

    if (source == NULL || destination == NULL) return 0;
    SetRectFromSize(&rect, sx, sy, width, height);
    do {
        hr = destination->BltFast((DWORD)dx, (DWORD)dy, source, &rect, flags);
    } while (CallResult(hr) == CALL_RETRY);
    return hr == DD_OK ? 1 : 0;
}

LONG CopyKeyed(LPDIRECTDRAWSURFACE source, LONG sx, LONG sy, LONG width, LONG height, LPDIRECTDRAWSURFACE destination,
               LONG dx, LONG dy) {
    return FastCopy(source, sx, sy, width, height, destination, dx, dy, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
}

LONG CopyOpaque(LPDIRECTDRAWSURFACE source, LONG sx, LONG sy, LONG width, LONG height, LPDIRECTDRAWSURFACE destination,
                LONG dx, LONG dy) {
    return FastCopy(source, sx, sy, width, height, destination, dx, dy, DDBLTFAST_WAIT);
}

static LONG Stretch(LPDIRECTDRAWSURFACE source, LONG sx, LONG sy, LONG sw, LONG sh, LPDIRECTDRAWSURFACE destination,
                    LONG dx, LONG dy, LONG dw, LONG dh, DWORD flags, DDBLTFX* fx) {
    RECT from;
    RECT to;
    HRESULT hr;

    if (source == NULL || destination == NULL) return 0;
    SetRectFromSize(&from, sx, sy, sw, sh);
    SetRectFromSize(&to, dx, dy, dw, dh);
    do {
        hr = destination->Blt(&to, source, &from, flags, fx);
    } while (CallResult(hr) == CALL_RETRY);
    return hr == DD_OK ? 1 : 0;
}

LONG StretchKeyed(LPDIRECTDRAWSURFACE source, LONG sx, LONG sy, LONG sw, LONG sh, LPDIRECTDRAWSURFACE destination,
                  LONG dx, LONG dy, LONG dw, LONG dh) {
    return Stretch(source, sx, sy, sw, sh, destination, dx, dy, dw, dh, DDBLT_KEYSRC | DDBLT_WAIT, NULL);
}

LONG StretchMirrored(LPDIRECTDRAWSURFACE source, LONG sx, LONG sy, LONG sw, LONG sh, LPDIRECTDRAWSURFACE destination,
                     LONG dx, LONG dy, LONG dw, LONG dh, LONG mirror) {
    DDBLTFX fx;

    memset(&fx, 0, sizeof(fx));
    fx.dwSize = sizeof(fx);
    if (mirror & 1) fx.dwDDFX |= DDBLTFX_MIRRORLEFTRIGHT;
    if (mirror & 2) fx.dwDDFX |= DDBLTFX_MIRRORUPDOWN;
    return Stretch(source, sx, sy, sw, sh, destination, dx, dy, dw, dh, DDBLT_KEYSRC | DDBLT_DDFX | DDBLT_WAIT, &fx);
}

// ---------------------------------------------------------------------------
// Work on a locked surface.

struct LockedPixels {
    BYTE* bits;
    LONG pitch;
    LONG width;   // the part that may be touched: the display area and the
    LONG height;  // surface, whichever is smaller
};

static BOOL LockWhole(LPDIRECTDRAWSURFACE surface, DDSURFACEDESC* ddsd, LockedPixels* locked) {
    memset(ddsd, 0, sizeof(*ddsd));
    ddsd->dwSize = sizeof(*ddsd);
    // No DDLOCK_WAIT: a busy surface makes the operation fail.
    if (surface->Lock(NULL, ddsd, 0, NULL) != DD_OK) return FALSE;
    locked->bits = (BYTE*)ddsd->lpSurface;
    locked->pitch = ddsd->lPitch;
    locked->width = (LONG)ddsd->dwWidth < DISPLAY_WIDTH ? (LONG)ddsd->dwWidth : DISPLAY_WIDTH;
    locked->height = (LONG)ddsd->dwHeight < DISPLAY_HEIGHT ? (LONG)ddsd->dwHeight : DISPLAY_HEIGHT;
    return TRUE;
}

static BOOL InsideLocked(const LockedPixels* locked, LONG x, LONG y) {
    return x >= 0 && y >= 0 && x < locked->width && y < locked->height;
}

// The offsets 0, step, 2 step ... below extent that put origin + offset
// inside 0..limit-1: the first one and the end of the range. Unsigned
// arithmetic keeps every step clear of overflow whatever the arguments.
static BOOL SteppedRange(LONG origin, LONG extent, LONG step, LONG limit, DWORD* first, DWORD* end) {
    DWORD lowest;
    DWORD highest;

    if (extent <= 0 || origin >= limit) return FALSE;
    lowest = origin < 0 ? (DWORD)0 - (DWORD)origin : 0;
    highest = (DWORD)limit - (DWORD)origin;
    if ((DWORD)extent < highest) highest = (DWORD)extent;
    *first = (lowest + (DWORD)step - 1) / (DWORD)step * (DWORD)step;
    *end = highest;
    return *first < *end;
}

static LONG At(LONG origin, DWORD offset) { return (LONG)((DWORD)origin + offset); }

LONG PutPixel(LPDIRECTDRAWSURFACE surface, LONG x, LONG y, LONG index) {
    DDSURFACEDESC ddsd;
    LockedPixels locked;
    LONG result;

    if (surface == NULL) return 0;
    if (x < 0 || x >= DISPLAY_WIDTH || y < 0 || y >= DISPLAY_HEIGHT) return 0;
    if (!LockWhole(surface, &ddsd, &locked)) return 0;
    result = 0;
    if (InsideLocked(&locked, x, y)) {
        locked.bits[y * locked.pitch + x] = (BYTE)index;
        result = 1;
    }
    surface->Unlock(ddsd.lpSurface);
    return result;
}

WORD ReadPixel(LPDIRECTDRAWSURFACE surface, LONG x, LONG y) {
    DDSURFACEDESC ddsd;
    LockedPixels locked;
    WORD value;

    if (surface == NULL) return 0;
    if (x < 0 || x >= DISPLAY_WIDTH || y < 0 || y >= DISPLAY_HEIGHT) return 0;
    if (!LockWhole(surface, &ddsd, &locked)) return 0;
    value = 0;
    if (InsideLocked(&locked, x, y)) value = locked.bits[y * locked.pitch + x];
    surface->Unlock(ddsd.lpSurface);
    return value;
}

LONG FillPattern(LPDIRECTDRAWSURFACE surface, LONG x, LONG y, LONG width, LONG height, LONG stepX, LONG stepY,
                 LONG index) {
    DDSURFACEDESC ddsd;
    LockedPixels locked;
    DWORD r, rEnd, c, cFirst, cEnd;

    if (surface == NULL) return 0;
    if (stepX < 1) stepX = 1;
    if (stepY < 1) stepY = 1;
    if (!LockWhole(surface, &ddsd, &locked)) return 0;
    if (SteppedRange(y, height, stepY, locked.height, &r, &rEnd) &&
        SteppedRange(x, width, stepX, locked.width, &cFirst, &cEnd)) {
        for (; r < rEnd; r += (DWORD)stepY)
            for (c = cFirst; c < cEnd; c += (DWORD)stepX) locked.bits[At(y, r) * locked.pitch + At(x, c)] = (BYTE)index;
    }
    surface->Unlock(ddsd.lpSurface);
    return 1;
}

LONG CopyPattern(LPDIRECTDRAWSURFACE source, LONG sx, LONG sy, LONG width, LONG height, LPDIRECTDRAWSURFACE destination,
                 LONG dx, LONG dy, LONG stepX, LONG stepY) {
    DDSURFACEDESC sourceDesc;
    DDSURFACEDESC destDesc;
    LockedPixels from;
    LockedPixels to;
    DWORD r, rEnd, c, cFirst, cEnd;
    DWORD first, end;

    if (source == NULL || destination == NULL) return 0;
    if (stepX < 1) stepX = 1;
    if (stepY < 1) stepY = 1;
    if (!LockWhole(source, &sourceDesc, &from)) return 0;
    if (!LockWhole(destination, &destDesc, &to)) {
        source->Unlock(sourceDesc.lpSurface);
        return 0;
    }
    // A pixel is copied only when both its places are inside.
    if (SteppedRange(sy, height, stepY, from.height, &r, &rEnd) &&
        SteppedRange(dy, height, stepY, to.height, &first, &end)) {
        if (first > r) r = first;
        if (end < rEnd) rEnd = end;
        if (SteppedRange(sx, width, stepX, from.width, &cFirst, &cEnd) &&
            SteppedRange(dx, width, stepX, to.width, &first, &end)) {
            if (first > cFirst) cFirst = first;
            if (end < cEnd) cEnd = end;
            for (; r < rEnd; r += (DWORD)stepY)
                for (c = cFirst; c < cEnd; c += (DWORD)stepX)
                    to.bits[At(dy, r) * to.pitch + At(dx, c)] = from.bits[At(sy, r) * from.pitch + At(sx, c)];
        }
    }
    source->Unlock(sourceDesc.lpSurface);
    destination->Unlock(destDesc.lpSurface);
    return 1;
}

LONG ReplaceIndex(LPDIRECTDRAWSURFACE surface, LONG x, LONG y, LONG width, LONG height, LONG from, LONG to) {
    DDSURFACEDESC ddsd;
    LockedPixels locked;
    DWORD r, rEnd, c, cFirst, cEnd;
    BYTE* pixel;

    if (surface == NULL) return 0;
    if (!LockWhole(surface, &ddsd, &locked)) return 0;
    if (SteppedRange(y, height, 1, locked.height, &r, &rEnd) &&
        SteppedRange(x, width, 1, locked.width, &cFirst, &cEnd)) {
        for (; r < rEnd; r++)
            for (c = cFirst; c < cEnd; c++) {
                pixel = &locked.bits[At(y, r) * locked.pitch + At(x, c)];
                if (*pixel == (BYTE)from) *pixel = (BYTE)to;
            }
    }
    surface->Unlock(ddsd.lpSurface);
    return 1;
}

// The steps of a line walk, start (step 0) excluded, that put the major
// coordinate `from` + `direction` * step inside 0..limit-1, within 1..steps.
static BOOL MajorRange(LONG from, LONG direction, unsigned long long steps, LONG limit, unsigned long long* first,
                       unsigned long long* last) {
    long long low, high;

    if (direction > 0) {
        low = -(long long)from;
        high = (long long)limit - 1 - from;
    } else {
        low = (long long)from - (limit - 1);
        high = from;
    }
    if (low < 1) low = 1;
    if (high > (long long)steps) high = (long long)steps;
    if (high < low) return FALSE;
    *first = (unsigned long long)low;
    *last = (unsigned long long)high;
    return TRUE;
}

LONG DrawLine(LPDIRECTDRAWSURFACE surface, LONG x1, LONG y1, LONG x2, LONG y2, LONG index) {
    DDSURFACEDESC ddsd;
    LockedPixels locked;
    unsigned long long dx, dy, steps, increment, sum, i, first, last;
    long long major, minor;
    LONG majorStep, minorStep;
    BOOL xMajor;

    if (surface == NULL) return 0;
    if (!LockWhole(surface, &ddsd, &locked)) return 0;

    // 64-bit arithmetic: any two points of the 32-bit plane give a walk
    // that cannot overflow, and only the steps that cross the locked area
    // are walked, so a long line costs no more than a short one.
    dx = x1 > x2 ? (unsigned long long)((long long)x1 - x2) : (unsigned long long)((long long)x2 - x1);
    dy = y1 > y2 ? (unsigned long long)((long long)y1 - y2) : (unsigned long long)((long long)y2 - y1);
    xMajor = dy < dx;
    steps = xMajor ? dx : dy;
    increment = xMajor ? dy : dx;
    majorStep = xMajor ? (x2 < x1 ? -1 : 1) : (y2 < y1 ? -1 : 1);
    minorStep = xMajor ? (y2 == y1 ? 0 : (y2 < y1 ? -1 : 1)) : (x2 == x1 ? 0 : (x2 < x1 ? -1 : 1));
    if (steps != 0 &&
        MajorRange(xMajor ? x1 : y1, majorStep, steps, xMajor ? locked.width : locked.height, &first, &last)) {
        // The error sum after `first` steps: each step adds the increment and
        // the minor axis moves once for every whole `steps` in it.
        major = (long long)(xMajor ? x1 : y1) + (long long)majorStep * (long long)first;
        minor = (long long)(xMajor ? y1 : x1) + (long long)minorStep * (long long)(first * increment / steps);
        sum = first * increment % steps;
        for (i = first;; i++) {
            LONG x = (LONG)(xMajor ? major : minor);
            LONG y = (LONG)(xMajor ? minor : major);
            if (minor >= 0 && minor < (xMajor ? locked.height : locked.width) && InsideLocked(&locked, x, y))
                locked.bits[y * locked.pitch + x] = (BYTE)index;
            if (i == last) break;
            major += majorStep;
            sum += increment;
            if (sum >= steps) {
                sum -= steps;
                minor += minorStep;
            }
        }
    }
    surface->Unlock(ddsd.lpSurface);
    return 1;
}

// ---------------------------------------------------------------------------
// Palettes.

LONG LoadPaletteEntries(LPDIRECTDRAWPALETTE palette, PALETTEENTRY* entries) {
    if (palette == NULL) return 0;
    return palette->SetEntries(0, 0, 256, entries) == DD_OK ? 1 : 0;
}

LONG LoadPaletteRange(LPDIRECTDRAWPALETTE palette, PALETTEENTRY* entries, LONG first, LONG count) {
    BYTE start = (BYTE)first;
    BYTE number = (BYTE)count;

    if (palette == NULL) return 0;
    return palette->SetEntries(0, start, number, &entries[start]) == DD_OK ? 1 : 0;
}

LONG SetPaletteColor(LPDIRECTDRAWPALETTE palette, LONG index, DWORD rgb, PALETTEENTRY* entries) {
    if (palette == NULL || index < 0 || index > 255) return 0;
    entries[index].peRed = (BYTE)(rgb >> 16);
    entries[index].peGreen = (BYTE)(rgb >> 8);
    entries[index].peBlue = (BYTE)rgb;
    entries[index].peFlags = PC_RESERVED;
    return palette->SetEntries(0, (DWORD)index, 1, &entries[index]) == DD_OK ? 1 : 0;
}

// ---------------------------------------------------------------------------

LONG CreateWorkSurface(LPDIRECTDRAWSURFACE* surface, LONG width, LONG height) {
    DDSURFACEDESC ddsd;

    if (surface == NULL || display.directDraw == NULL) return 0;
    memset(&ddsd, 0, sizeof(ddsd));
    ddsd.dwSize = sizeof(ddsd);
    ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    ddsd.dwWidth = (DWORD)width;
    ddsd.dwHeight = (DWORD)height;
    ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (launchOptions.systemMemory) ddsd.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    if (display.directDraw->CreateSurface(&ddsd, surface, NULL) != DD_OK) {
        *surface = NULL;
        return 0;
    }
    ClearSurface(*surface, 0);
    return 1;
}

DWORD BitDepthFlag(LONG bits) {
    switch (bits) {
        case 1: return DDBD_1;
        case 2: return DDBD_2;
        case 4: return DDBD_4;
        case 8: return DDBD_8;
        case 16: return DDBD_16;
        case 24: return DDBD_24;
        case 32: return DDBD_32;
        default: return 0;
    }
}
