// The game's per-frame drawing over the software DirectDraw, row by row
// beside SDL2's software renderer doing the same work on 8-bit surfaces:
//   fill       a full 640x480 colour fill          (SDL_FillRect)
//   sprite16   a 16x16 colour-keyed sprite blit     (SDL_BlitSurface + SDL_SetColorKey)
//   stretch2x  a 16x16 sprite stretched to 32x32    (SDL_BlitScaled; SDL2 refuses a keyed
//              scaled blit between 8-bit surfaces, "Blit combination not supported",
//              so its row does the same work on 32-bit surfaces, the path it offers)
//   present    640x480 indices through the palette to 32-bit pixels (SDL_BlitSurface 8->32)
#include <windows.h>
#include <ddraw.h>

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/draw.h"
#include "platform/video/screen.h"
#include "platform/host/headless/headless.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// A deterministic sheet: a third of its pixels are the key, index 0.
std::uint8_t SheetPixel(int x, int y) {
    unsigned v = static_cast<unsigned>(x * 7 + y * 13) % 3 == 0 ? 0u : 10u + static_cast<unsigned>((x ^ y) % 200);
    return static_cast<std::uint8_t>(v);
}

std::vector<PALETTEENTRY> Palette() {
    std::vector<PALETTEENTRY> p(256);
    for (int i = 0; i < 256; ++i) p[static_cast<std::size_t>(i)] = PALETTEENTRY{BYTE(i), BYTE(255 - i), BYTE(i * 3), 0};
    return p;
}

// Sprite positions that walk over the canvas, partly off its edges too.
int SpriteX(int i) { return (i * 37) % (kWidth + 16) - 8; }
int SpriteY(int i) { return (i * 53) % (kHeight + 16) - 8; }

// ---------------------------------------------------------------------------
// Ours: the game's drawing operations over the stand-in's DirectDraw.

struct Ours {
    LPDIRECTDRAW dd = nullptr;
    LPDIRECTDRAWSURFACE canvas = nullptr;
    LPDIRECTDRAWSURFACE sheet = nullptr;
    LPDIRECTDRAWCLIPPER clipper = nullptr;

    Ours() {
        headless::Reset();
        DirectDrawCreate(nullptr, &dd, nullptr);
        dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
        canvas = Make(kWidth, kHeight);
        sheet = Make(kWidth, kHeight);
        dd->CreateClipper(0, &clipper, nullptr);
        struct {
            RGNDATAHEADER rdh;
            RECT rect;
        } region{};
        region.rdh.dwSize = sizeof(region);
        region.rdh.iType = RDH_RECTANGLES;
        region.rdh.nCount = 1;
        region.rdh.nRgnSize = sizeof(RECT);
        region.rdh.rcBound = region.rect = RECT{0, 0, kWidth, kHeight};
        clipper->SetClipList(reinterpret_cast<LPRGNDATA>(&region), 0);
        canvas->SetClipper(clipper);
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        sheet->Lock(nullptr, &d, 0, nullptr);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) static_cast<BYTE*>(d.lpSurface)[y * d.lPitch + x] = SheetPixel(x, y);
        sheet->Unlock(nullptr);
        DDCOLORKEY key{0, 0};
        sheet->SetColorKey(DDCKEY_SRCBLT, &key);
    }
    ~Ours() {
        dd->Release();
        headless::Reset();
    }
    LPDIRECTDRAWSURFACE Make(int w, int h) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        LPDIRECTDRAWSURFACE s = nullptr;
        dd->CreateSurface(&d, &s, nullptr);
        return s;
    }
};

// ---------------------------------------------------------------------------
// SDL2's software path on the same pictures.

struct Sdl {
    SDL_Surface* canvas;
    SDL_Surface* sheet;
    SDL_Surface* rgb;
    SDL_Surface* sheet32;

    Sdl() {
        canvas = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 8, SDL_PIXELFORMAT_INDEX8);
        sheet = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 8, SDL_PIXELFORMAT_INDEX8);
        rgb = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
        std::vector<SDL_Color> colours(256);
        auto p = Palette();
        for (int i = 0; i < 256; ++i)
            colours[static_cast<std::size_t>(i)] =
                SDL_Color{p[static_cast<std::size_t>(i)].peRed, p[static_cast<std::size_t>(i)].peGreen,
                          p[static_cast<std::size_t>(i)].peBlue, 255};
        SDL_SetPaletteColors(canvas->format->palette, colours.data(), 0, 256);
        SDL_SetPaletteColors(sheet->format->palette, colours.data(), 0, 256);
        SDL_LockSurface(sheet);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                static_cast<std::uint8_t*>(sheet->pixels)[y * sheet->pitch + x] = SheetPixel(x, y);
        SDL_UnlockSurface(sheet);
        SDL_SetColorKey(sheet, SDL_TRUE, 0);
        sheet32 = SDL_ConvertSurfaceFormat(sheet, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_SetColorKey(sheet32, SDL_TRUE, SDL_MapRGB(sheet32->format, colours[0].r, colours[0].g, colours[0].b));
        SDL_SetSurfaceBlendMode(sheet32, SDL_BLENDMODE_NONE);
    }
    ~Sdl() {
        SDL_FreeSurface(canvas);
        SDL_FreeSurface(sheet);
        SDL_FreeSurface(rgb);
        SDL_FreeSurface(sheet32);
    }
};

void BM_Fill_Ours(benchmark::State& state) {
    Ours o;
    int colour = 0;
    for (auto _ : state)
        if (ClearSurface(o.canvas, ++colour & 255) != 1) state.SkipWithError("ClearSurface failed");
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
void BM_Fill_Sdl(benchmark::State& state) {
    Sdl s;
    Uint32 colour = 0;
    for (auto _ : state)
        if (SDL_FillRect(s.canvas, nullptr, ++colour & 255) != 0) state.SkipWithError(SDL_GetError());
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_Sprite16_Ours(benchmark::State& state) {
    Ours o;
    int i = 0;
    for (auto _ : state) {
        ++i;
        if (StretchKeyed(o.sheet, (i * 16) % 624, 48, 16, 16, o.canvas, SpriteX(i), SpriteY(i), 16, 16) != 1)
            state.SkipWithError("StretchKeyed failed");
    }
    state.SetItemsProcessed(state.iterations());
}
void BM_Sprite16_Sdl(benchmark::State& state) {
    Sdl s;
    int i = 0;
    for (auto _ : state) {
        ++i;
        SDL_Rect from{(i * 16) % 624, 48, 16, 16}, to{SpriteX(i), SpriteY(i), 16, 16};
        if (SDL_BlitSurface(s.sheet, &from, s.canvas, &to) != 0) state.SkipWithError(SDL_GetError());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Stretch2x_Ours(benchmark::State& state) {
    Ours o;
    int i = 0;
    for (auto _ : state) {
        ++i;
        if (StretchKeyed(o.sheet, (i * 16) % 624, 48, 16, 16, o.canvas, SpriteX(i), SpriteY(i), 32, 32) != 1)
            state.SkipWithError("StretchKeyed failed");
    }
    state.SetItemsProcessed(state.iterations());
}
void BM_Stretch2x_Sdl(benchmark::State& state) {
    Sdl s;
    int i = 0;
    for (auto _ : state) {
        ++i;
        SDL_Rect from{(i * 16) % 624, 48, 16, 16}, to{SpriteX(i), SpriteY(i), 32, 32};
        if (SDL_BlitScaled(s.sheet32, &from, s.rgb, &to) != 0) state.SkipWithError(SDL_GetError());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Present_Ours(benchmark::State& state) {
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(kWidth * kHeight));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) frame[static_cast<std::size_t>(y * kWidth + x)] = SheetPixel(x, y);
    std::vector<std::uint32_t> out(static_cast<std::size_t>(kWidth * kHeight));
    auto palette = Palette();
    for (auto _ : state) {
        platform::video::ConvertToRgb32(frame.data(), kWidth, kWidth, kHeight, palette.data(), out.data(), kWidth);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
void BM_Present_Sdl(benchmark::State& state) {
    Sdl s;
    SDL_BlitSurface(s.sheet, nullptr, s.canvas, nullptr);
    SDL_SetColorKey(s.canvas, SDL_FALSE, 0);
    for (auto _ : state)
        if (SDL_BlitSurface(s.canvas, nullptr, s.rgb, nullptr) != 0) state.SkipWithError(SDL_GetError());
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

BENCHMARK(BM_Fill_Ours);
BENCHMARK(BM_Fill_Sdl);
BENCHMARK(BM_Sprite16_Ours);
BENCHMARK(BM_Sprite16_Sdl);
BENCHMARK(BM_Stretch2x_Ours);
BENCHMARK(BM_Stretch2x_Sdl);
BENCHMARK(BM_Present_Ours);
BENCHMARK(BM_Present_Sdl);

}  // namespace

BENCHMARK_MAIN();
