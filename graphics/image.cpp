// Bitmaps onto surfaces with their colours matched to the display palette,
// the pixel value a surface uses for a colour, an 8-bit bitmap file written
// straight into a surface, and bitmap colour tables read into palettes.
#include "graphics/image.h"

#include <string.h>

#include "graphics/display.h"
#include "graphics/draw.h"

#define FILE_HEADER_SIZE 14
#define INFO_HEADER_SIZE 40
#define COLOUR_TABLE_SIZE 1024
#define PIXELS_OFFSET (FILE_HEADER_SIZE + INFO_HEADER_SIZE + COLOUR_TABLE_SIZE)

// A resource of the program first, then a file of that name.
static HBITMAP LoadBitmapHandle(LPCSTR name, LONG width, LONG height) {
    HBITMAP bitmap;

    bitmap = (HBITMAP)LoadImageA(GetModuleHandleA(NULL), name, IMAGE_BITMAP, width, height, LR_CREATEDIBSECTION);
    if (bitmap == NULL && !IS_INTRESOURCE(name))
        bitmap = (HBITMAP)LoadImageA(NULL, name, IMAGE_BITMAP, width, height, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    return bitmap;
}

LPDIRECTDRAWSURFACE LoadBitmapSurface(LPDIRECTDRAW directDraw, LPCSTR name, LONG width, LONG height) {
    HBITMAP bitmap;
    BITMAP info;
    DDSURFACEDESC ddsd;
    LPDIRECTDRAWSURFACE surface;

    if (directDraw == NULL) return NULL;
    bitmap = LoadBitmapHandle(name, width, height);
    if (bitmap == NULL) return NULL;
    memset(&info, 0, sizeof(info));
    GetObjectA(bitmap, sizeof(info), &info);

    memset(&ddsd, 0, sizeof(ddsd));
    ddsd.dwSize = sizeof(ddsd);
    ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    ddsd.dwWidth = (DWORD)info.bmWidth;
    ddsd.dwHeight = (DWORD)info.bmHeight;
    if (directDraw->CreateSurface(&ddsd, &surface, NULL) != DD_OK) {
        DeleteObject(bitmap);
        return NULL;
    }
    CopyBitmapToSurface(surface, bitmap, 0, 0, 0, 0);
    DeleteObject(bitmap);
    return surface;
}

HRESULT ReloadBitmap(LPDIRECTDRAWSURFACE surface, LPCSTR name) {
    HBITMAP bitmap;
    HRESULT hr;

    bitmap = LoadBitmapHandle(name, 0, 0);
    if (bitmap == NULL) return E_FAIL;
    hr = CopyBitmapToSurface(surface, bitmap, 0, 0, 0, 0);
    DeleteObject(bitmap);
    return hr;
}

HRESULT CopyBitmapToSurface(LPDIRECTDRAWSURFACE surface, HBITMAP bitmap, LONG x, LONG y, LONG width, LONG height) {
    HDC memoryDc;
    HDC surfaceDc;
    BITMAP info;
    DDSURFACEDESC ddsd;
    HRESULT hr;

    if (surface == NULL || bitmap == NULL) return E_FAIL;
    // A lost surface gets its memory back before it is drawn on.
    surface->Restore();

    memoryDc = CreateCompatibleDC(NULL);
    if (memoryDc == NULL) return E_FAIL;
    SelectObject(memoryDc, bitmap);
    memset(&info, 0, sizeof(info));
    GetObjectA(bitmap, sizeof(info), &info);
    if (width == 0) width = info.bmWidth;
    if (height == 0) height = info.bmHeight;

    memset(&ddsd, 0, sizeof(ddsd));
    ddsd.dwSize = sizeof(ddsd);
    ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    surface->GetSurfaceDesc(&ddsd);

    // The picture is stretched over the whole surface; GDI turns each of its
    // colours into the nearest entry of the display palette.
    hr = surface->GetDC(&surfaceDc);
    if (hr == DD_OK) {
        StretchBlt(surfaceDc, 0, 0, (int)ddsd.dwWidth, (int)ddsd.dwHeight, memoryDc, x, y, width, height, SRCCOPY);
        surface->ReleaseDC(surfaceDc);
    }
    DeleteDC(memoryDc);
    return hr;
}

DWORD MatchColor(LPDIRECTDRAWSURFACE surface, COLORREF color) {
    COLORREF saved;
    HDC dc;
    DWORD result;
    DDSURFACEDESC ddsd;
    HRESULT hr;

    if (surface == NULL) return CLR_INVALID;
    result = CLR_INVALID;
    saved = CLR_INVALID;
    // Let the surface's own drawing path convert the colour at pixel (0, 0),
    // read back what it wrote, then put the old pixel back.
    if (color != CLR_INVALID && surface->GetDC(&dc) == DD_OK) {
        saved = GetPixel(dc, 0, 0);
        SetPixel(dc, 0, 0, color);
        surface->ReleaseDC(dc);
    }

    memset(&ddsd, 0, sizeof(ddsd));
    ddsd.dwSize = sizeof(ddsd);
    while ((hr = surface->Lock(NULL, &ddsd, 0, NULL)) == DDERR_WASSTILLDRAWING) {
    }
    if (hr == DD_OK) {
        memcpy(&result, ddsd.lpSurface, sizeof(result));
        if (ddsd.ddpfPixelFormat.dwRGBBitCount < 32) result &= (1UL << ddsd.ddpfPixelFormat.dwRGBBitCount) - 1;
        surface->Unlock(NULL);
    }

    if (color != CLR_INVALID && surface->GetDC(&dc) == DD_OK) {
        SetPixel(dc, 0, 0, saved);
        surface->ReleaseDC(dc);
    }
    return result;
}

HRESULT SetSourceColorKey(LPDIRECTDRAWSURFACE surface, COLORREF color) {
    DDCOLORKEY key;

    if (surface == NULL) return DDERR_INVALIDPARAMS;
    key.dwColorSpaceLowValue = MatchColor(surface, color);
    key.dwColorSpaceHighValue = key.dwColorSpaceLowValue;
    return surface->SetColorKey(DDCKEY_SRCBLT, &key);
}

// The stored value's place in the display palette.
static BYTE MapStoredIndex(BYTE value, BYTE baseIndex) {
    if (value == 254) return 0;
    if (value == 0) return 10;
    if (value == 255) return 245;
    return (BYTE)(baseIndex - 1 + value);
}

LONG LoadBmpFileToSurface(LPCSTR name, LPDIRECTDRAWSURFACE surface, BYTE baseIndex, LONG paletteMode) {
    HANDLE file;
    DWORD size;
    DWORD got;
    HGLOBAL block;
    BYTE* data;
    BITMAPFILEHEADER fileHeader;
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
    DDSURFACEDESC ddsd;
    LONG rowLength;
    LONG k;
    LONG column;
    BYTE value;
    BYTE index;
    BYTE* source;
    BYTE* target;
    LONG result;

    if (surface == NULL) return 0;
    if (name == NULL || IS_INTRESOURCE(name)) return 0;
    file = CreateFileA(name, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    result = 0;
    block = NULL;
    size = GetFileSize(file, NULL);
    // The headers and the whole colour table must be there.
    if (size == INVALID_FILE_SIZE || size < PIXELS_OFFSET) goto done;
    block = GlobalAlloc(GMEM_FIXED, size);
    if (block == NULL) goto done;
    data = (BYTE*)block;
    if (!ReadFile(file, data, size, &got, NULL) || got != size) goto done;

    memcpy(&fileHeader, data, FILE_HEADER_SIZE);
    memcpy(&header, data + FILE_HEADER_SIZE, INFO_HEADER_SIZE);
    memcpy(colours, data + FILE_HEADER_SIZE + INFO_HEADER_SIZE, COLOUR_TABLE_SIZE);
    (void)fileHeader;

    memset(&ddsd, 0, sizeof(ddsd));
    ddsd.dwSize = sizeof(ddsd);
    if (surface->Lock(NULL, &ddsd, DDLOCK_WRITEONLY, NULL) != DD_OK) goto done;

    // The picture must fit the surface and the file must hold all its rows:
    // anything else is refused rather than written out of bounds.
    if (header.biWidth < 0 || header.biWidth > ddsd.lPitch) goto unlock;
    rowLength = (header.biWidth + 3) & ~3;
    if (rowLength > ddsd.lPitch) goto unlock;
    if (header.biHeight > 0) {
        if ((DWORD)header.biHeight > ddsd.dwHeight) goto unlock;
        if ((size - PIXELS_OFFSET) / (DWORD)(rowLength ? rowLength : 1) < (DWORD)header.biHeight && rowLength != 0)
            goto unlock;
    }

    // Rows are stored bottom-up; a negative height (top-down) writes nothing.
    for (k = 0; k < header.biHeight; k++) {
        source = data + PIXELS_OFFSET + k * rowLength;
        target = (BYTE*)ddsd.lpSurface + (header.biHeight - 1 - k) * ddsd.lPitch;
        for (column = 0; column < rowLength; column++) {
            value = source[column];
            index = MapStoredIndex(value, baseIndex);
            target[column] = index;
            if (paletteMode != 0 && value != 0 && value != 254 && value != 255) {
                display.paletteEntries[index].peRed = colours[value].rgbRed;
                display.paletteEntries[index].peGreen = colours[value].rgbGreen;
                display.paletteEntries[index].peBlue = colours[value].rgbBlue;
            }
        }
    }
    result = 1;

unlock:
    surface->Unlock(NULL);
    if (result && paletteMode == 1) LoadPaletteEntries(display.palette, display.paletteEntries);
done:
    if (block != NULL) GlobalFree(block);
    CloseHandle(file);
    return result;
}

// How many colour-table entries a bitmap header announces, at most 256.
static DWORD ColourCount(const BITMAPINFOHEADER* header, BOOL headerSizeOk) {
    DWORD count;

    if (!headerSizeOk || header->biBitCount > 8) return 0;
    count = header->biClrUsed != 0 ? header->biClrUsed : (1UL << header->biBitCount);
    return count > 256 ? 256 : count;
}

// Reads a bitmap's colour table over the first entries of table; entries it
// does not reach keep what they had.
static void ReadColourTable(LPCSTR name, PALETTEENTRY* table) {
    HMODULE module;
    HRSRC info;
    HGLOBAL resource;
    BYTE* data;
    DWORD size;
    DWORD count;
    DWORD i;
    DWORD got;
    BITMAPINFOHEADER header;
    RGBQUAD* colours;
    HANDLE file;
    BYTE fileHeader[FILE_HEADER_SIZE];
    BYTE swap;

    if (name == NULL) return;
    module = GetModuleHandleA(NULL);
    info = FindResourceA(module, name, RT_BITMAP);
    if (info != NULL) {
        resource = LoadResource(module, info);
        data = (BYTE*)LockResource(resource);
        size = SizeofResource(module, info);
        if (data == NULL || size < INFO_HEADER_SIZE) return;
        memcpy(&header, data, INFO_HEADER_SIZE);
        count = ColourCount(&header, header.biSize >= INFO_HEADER_SIZE);
        // Never past the end of the resource.
        if (header.biSize > size)
            count = 0;
        else if (count > (size - header.biSize) / sizeof(RGBQUAD))
            count = (size - header.biSize) / sizeof(RGBQUAD);
        colours = (RGBQUAD*)(data + header.biSize);
        for (i = 0; i < count; i++) {
            table[i].peRed = colours[i].rgbRed;
            table[i].peGreen = colours[i].rgbGreen;
            table[i].peBlue = colours[i].rgbBlue;
            table[i].peFlags = 0;
        }
        return;
    }

    if (IS_INTRESOURCE(name)) return;
    file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    memset(&header, 0, sizeof(header));
    ReadFile(file, fileHeader, FILE_HEADER_SIZE, &got, NULL);
    ReadFile(file, &header, INFO_HEADER_SIZE, &got, NULL);
    ReadFile(file, table, COLOUR_TABLE_SIZE, &got, NULL);
    CloseHandle(file);
    // The table was read as blue-green-red quads; turn the announced ones
    // round. The fourth byte stays as the entry's flags.
    count = ColourCount(&header, header.biSize == INFO_HEADER_SIZE);
    for (i = 0; i < count; i++) {
        swap = table[i].peRed;
        table[i].peRed = table[i].peBlue;
        table[i].peBlue = swap;
    }
}

LONG ReadBitmapPalette(LPCSTR name, PALETTEENTRY* table) {
    memset(table, 0, 256 * sizeof(PALETTEENTRY));
    ReadColourTable(name, table);
    return 1;
}

LPDIRECTDRAWPALETTE LoadBitmapPalette(LPDIRECTDRAW directDraw, LPCSTR name) {
    PALETTEENTRY table[256];
    LPDIRECTDRAWPALETTE palette;
    int i;

    if (directDraw == NULL) return NULL;
    // A 3-3-2 ramp over all 256 entries for a bitmap without a table.
    for (i = 0; i < 256; i++) {
        table[i].peRed = (BYTE)(((i >> 5) & 7) * 255 / 7);
        table[i].peGreen = (BYTE)(((i >> 2) & 7) * 255 / 7);
        table[i].peBlue = (BYTE)((i & 3) * 255 / 3);
        table[i].peFlags = 0;
    }
    ReadColourTable(name, table);
    if (directDraw->CreatePalette(DDPCAPS_8BIT, table, &palette, NULL) != DD_OK) return NULL;
    return palette;
}
