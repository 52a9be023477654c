// The game's per-frame drawing over the software DirectDraw, row by row
// beside SDL2's software renderer doing the same work on 8-bit surfaces:
//   fill       a full 640x480 colour fill          (SDL_FillRect)
//   sprite16   a 16x16 colour-keyed sprite blit     (SDL_BlitSurface + SDL_SetColorKey)
//   stretch2x  a 16x16 sprite stretched to 32x32, 8-bit to 8-bit (SDL_SoftStretch: SDL2's
//              SDL_BlitScaled refuses every 8-bit pair, "Blit combination not supported",
//              and its stretcher has no colour key, so its row does less work than ours)
//   present    640x480 indices through the palette into 32-bit window pixels, the
//              SDL host's own present (DrawPicture) beside SDL_BlitSurface 8->32
//   changes    the present from one frame of quiet play to the next (twenty stars
//              moved): only the changed pixels are converted (beside the whole present)
//   blit_*     the sprite and the stretch again, straight into the pixel engine
//              (no COM call, no clip list): what is left is the copy itself
//   frame      a whole busy frame: clear, a full well of blocks, stars, stretched
//              bursts, the panel, then the present's conversion (ours only)
//   window_*   the present in a window, pass by pass, from one frame of quiet play
//              to the next: the canvas stretched onto the screen (640x480 into a
//              638x478 client area) writing every pixel, or only those that differ
//              and recording them; then the comparison with the last frame shown,
//              of every pixel or of the recorded ones only; and both together
#include <windows.h>
#include <ddraw.h>

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/draw.h"
#include "platform/ddraw/blit.h"
#include "platform/video/screen.h"
#include "platform/host/headless/headless.h"
#include "platform/host/host_picture.h"

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
    SDL_Surface* plainSheet;  // the sheet without its key

    Sdl() {
        canvas = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 8, SDL_PIXELFORMAT_INDEX8);
        sheet = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 8, SDL_PIXELFORMAT_INDEX8);
        rgb = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_XRGB8888);
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
        plainSheet = SDL_ConvertSurface(sheet, sheet->format, 0);
        SDL_SetColorKey(sheet, SDL_TRUE, 0);
    }
    ~Sdl() {
        SDL_FreeSurface(canvas);
        SDL_FreeSurface(sheet);
        SDL_FreeSurface(rgb);
        SDL_FreeSurface(plainSheet);
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
        // SDL_BlitScaled takes no 8-bit surfaces at all; its stretcher does, clipped by hand.
        SDL_Rect clip{0, 0, kWidth, kHeight}, on;
        if (!SDL_IntersectRect(&to, &clip, &on)) continue;
        SDL_Rect part{from.x + (on.x - to.x) / 2, from.y + (on.y - to.y) / 2, (on.w + 1) / 2, (on.h + 1) / 2};
        if (SDL_SoftStretch(s.plainSheet, &part, s.canvas, &on) != 0) state.SkipWithError(SDL_GetError());
    }
    state.SetItemsProcessed(state.iterations());
}

// The same two copies handed to the pixel engine as Blt hands them over:
// the destination cut to the canvas, the sheet's key.
void BlitSprite(benchmark::State& state, int size) {
    std::vector<std::uint8_t> canvas(kWidth * kHeight), sheet(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) sheet[static_cast<std::size_t>(y * kWidth + x)] = SheetPixel(x, y);
    platform::ddraw::blit::Copy c{};
    c.srcPixels = sheet.data();
    c.srcPitch = kWidth;
    c.dstPixels = canvas.data();
    c.dstPitch = kWidth;
    c.bytesPerPixel = 1;
    c.sourceKey = platform::ddraw::blit::KeyOf(DDCOLORKEY{0, 0});
    int i = 0;
    for (auto _ : state) {
        ++i;
        c.src = RECT{(i * 16) % 624, 48, (i * 16) % 624 + 16, 64};
        c.dest = RECT{SpriteX(i), SpriteY(i), SpriteX(i) + size, SpriteY(i) + size};
        RECT piece{std::max<LONG>(c.dest.left, 0), std::max<LONG>(c.dest.top, 0), std::min<LONG>(c.dest.right, kWidth),
                   std::min<LONG>(c.dest.bottom, kHeight)};
        if (piece.left < piece.right && piece.top < piece.bottom) platform::ddraw::blit::CopyPiece(c, piece);
    }
    benchmark::DoNotOptimize(canvas.data());
    benchmark::ClobberMemory();
    state.SetItemsProcessed(state.iterations());
}
void BM_BlitSprite16(benchmark::State& state) { BlitSprite(state, 16); }
void BM_BlitStretch2x(benchmark::State& state) { BlitSprite(state, 32); }

// A 640x480 picture of the sheet's pixels, as the emulated screen holds it.
struct Frame {
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(static_cast<std::size_t>(kWidth * kHeight));
    std::vector<PALETTEENTRY> palette = Palette();
    std::vector<std::uint32_t> out = std::vector<std::uint32_t>(static_cast<std::size_t>(kWidth * kHeight));
    Frame() {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) pixels[static_cast<std::size_t>(y * kWidth + x)] = SheetPixel(x, y);
    }
    host::ScreenImage Image() const {
        return host::ScreenImage{pixels.data(), kWidth, kWidth, kHeight, palette.data()};
    }
    platform::video::PixelTarget Target() {
        return platform::video::PixelTarget{out.data(), kWidth * 4, kWidth, kHeight};
    }
};

void BM_Present_Ours(benchmark::State& state) {
    Frame f;
    std::uint64_t sum = 0;
    for (auto _ : state) {
        platform::video::DrawPicture(f.Image(), platform::video::PixelLayout{}, 0, 0, 1, f.Target());
        sum += f.out[static_cast<std::size_t>(sum % f.out.size())];
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
void BM_Present_Sdl(benchmark::State& state) {
    Sdl s;
    SDL_BlitSurface(s.sheet, nullptr, s.canvas, nullptr);
    SDL_SetColorKey(s.canvas, SDL_FALSE, 0);
    std::uint64_t sum = 0;
    for (auto _ : state) {
        if (SDL_BlitSurface(s.canvas, nullptr, s.rgb, nullptr) != 0) state.SkipWithError(SDL_GetError());
        sum += static_cast<const Uint32*>(s.rgb->pixels)[sum % (kWidth * kHeight)];
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// The present as the program runs it from one frame to the next of quiet
// play: twenty 8x8 stars moved, the rest as it was, so only what changed is
// converted. Beside BM_Present_Ours, which converts the whole picture.
void BM_PresentChanges_Ours(benchmark::State& state) {
    Frame f;
    std::vector<std::uint8_t> frames[2] = {f.pixels, f.pixels};
    for (int k = 0; k < 20; ++k)
        for (int n = 0; n < 2; ++n)
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    frames[n][static_cast<std::size_t>(((53 * k + 3 * n) % (kHeight - 8) + y) * kWidth +
                                                       (37 * k + 5 * n) % (kWidth - 8) + x)] =
                        static_cast<std::uint8_t>(250 + n);
    platform::video::ShownPicture shown;
    std::uint64_t sum = 0;
    int n = 0;
    for (auto _ : state) {
        host::ScreenImage image{frames[n].data(), kWidth, kWidth, kHeight, f.palette.data()};
        platform::video::ChangedRows rows = shown.Draw(image, platform::video::PixelLayout{}, 0, 0, 1, f.Target());
        sum += static_cast<std::uint64_t>(rows.bottom - rows.top) + f.out[static_cast<std::size_t>(sum % f.out.size())];
        n ^= 1;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// The window's present as the program makes it, from one frame of quiet
// play to the next: two canvases with twenty stars in other places, the
// emulated desktop's screen with the client area at (100, 100), and the
// window's 32-bit pixels.
struct WindowPresent {
    static constexpr int kScreen = 1024, kClientWidth = kWidth - 2, kClientHeight = kHeight - 2;
    static constexpr int kLeft = 100, kTop = 100;
    Frame f;
    std::vector<std::uint8_t> canvases[2] = {f.pixels, f.pixels};
    std::vector<std::uint8_t> screen = std::vector<std::uint8_t>(static_cast<std::size_t>(kScreen * 768));
    platform::video::ShownPicture shown;
    platform::ddraw::blit::Copy copy{};
    int n = 0;
    std::uint64_t present = 0;
    static inline std::vector<host::RowSpan> written = std::vector<host::RowSpan>(kClientHeight);
    static void Record(int y, int from, int to) {
        written[static_cast<std::size_t>(y - kTop)] = host::RowSpan{from - kLeft, to - kLeft};
    }

    WindowPresent() {
        for (int k = 0; k < 20; ++k)
            for (int m = 0; m < 2; ++m)
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x)
                        canvases[m][static_cast<std::size_t>(((53 * k + 3 * m) % (kHeight - 8) + y) * kWidth +
                                                             (37 * k + 5 * m) % (kWidth - 8) + x)] =
                            static_cast<std::uint8_t>(250 + m);
        copy.srcPitch = kWidth;
        copy.dstPixels = screen.data();
        copy.dstPitch = kScreen;
        copy.bytesPerPixel = 1;
        copy.src = RECT{0, 0, kWidth, kHeight};
        copy.dest = RECT{kLeft, kTop, kLeft + kClientWidth, kTop + kClientHeight};
        Stretch(false);
        Compare(false);
    }
    void Stretch(bool recorded) {
        n ^= 1;
        copy.srcPixels = canvases[n].data();
        copy.rowWritten = recorded ? Record : nullptr;
        std::fill(written.begin(), written.end(), host::RowSpan{});
        platform::ddraw::blit::CopyPiece(copy, copy.dest);
    }
    void Compare(bool recorded) {
        host::ScreenImage image{screen.data() + kTop * kScreen + kLeft, kScreen, kClientWidth, kClientHeight,
                                f.palette.data()};
        if (recorded) image.written = written.data();
        image.writtenSince = present++;
        platform::video::PixelTarget target{f.out.data(), kClientWidth * 4, kClientWidth, kClientHeight};
        shown.Draw(image, platform::video::PixelLayout{}, 0, 0, 1, target);
    }
    void Finish(benchmark::State& state) {
        benchmark::DoNotOptimize(screen.data());
        benchmark::DoNotOptimize(f.out.data());
        benchmark::ClobberMemory();
        state.SetItemsProcessed(state.iterations());
    }
};

// The stretch alone, the comparison done outside the timing: every pixel
// written, or only those that differ, recorded.
void WindowStretch(benchmark::State& state, bool recorded) {
    WindowPresent w;
    for (auto _ : state) {
        w.Stretch(recorded);
        state.PauseTiming();
        w.Compare(recorded);
        state.ResumeTiming();
    }
    w.Finish(state);
}
void BM_WindowStretch_EveryPixel(benchmark::State& state) { WindowStretch(state, false); }
void BM_WindowStretch_Recorded(benchmark::State& state) { WindowStretch(state, true); }

// The comparison with the last frame shown alone: of every pixel, or of the
// recorded ones.
void WindowCompare(benchmark::State& state, bool recorded) {
    WindowPresent w;
    for (auto _ : state) {
        state.PauseTiming();
        w.Stretch(recorded);
        state.ResumeTiming();
        w.Compare(recorded);
    }
    w.Finish(state);
}
void BM_WindowCompare_EveryPixel(benchmark::State& state) { WindowCompare(state, false); }
void BM_WindowCompare_Recorded(benchmark::State& state) { WindowCompare(state, true); }

void WindowWhole(benchmark::State& state, bool recorded) {
    WindowPresent w;
    for (auto _ : state) {
        w.Stretch(recorded);
        w.Compare(recorded);
    }
    w.Finish(state);
}
void BM_WindowPresent_Before(benchmark::State& state) { WindowWhole(state, false); }
void BM_WindowPresent_After(benchmark::State& state) { WindowWhole(state, true); }

// One busy frame as the game draws it: the canvas cleared, the well full of
// blocks, twenty stars, a dozen bursts stretched to their sizes, the panel's
// frames and lines, and then the present (the blocks change colour every
// frame, so most of the picture is converted again).
void BM_Frame_Ours(benchmark::State& state) {
    Ours o;
    Frame f;
    platform::video::ShownPicture shown;
    int i = 0;
    std::uint64_t sum = 0;
    for (auto _ : state) {
        ++i;
        ClearSurface(o.canvas, 0);
        for (int row = 0; row < 16; ++row)
            for (int column = 0; column < 8; ++column)
                StretchKeyed(o.sheet, 16 * ((row + column + i) % 8), 16, 16, 16, o.canvas, 256 + 16 * column,
                             96 + 16 * row, 16, 16);
        for (int k = 0; k < 20; ++k)
            StretchKeyed(o.sheet, 0, 64, 8, 8, o.canvas, SpriteX(i + 7 * k), SpriteY(i + 11 * k), 8, 8);
        for (int k = 0; k < 12; ++k) {
            int size = 8 + (i + 5 * k) % 40;
            StretchKeyed(o.sheet, 32, 64, 16, 16, o.canvas, SpriteX(i + 3 * k), SpriteY(i + 13 * k), size, size);
        }
        for (int k = 0; k < 4; ++k) FrameRect(o.canvas, 240 - 4 * k, 80 - 4 * k, 160 + 8 * k, 288 + 8 * k, 200 + k);
        for (int k = 0; k < 8; ++k) DrawLine(o.canvas, 0, 400 + k, 639, 440 - k, 100 + k);
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        if (o.canvas->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) {
            state.SkipWithError("Lock failed");
            break;
        }
        host::ScreenImage image{static_cast<const std::uint8_t*>(d.lpSurface), static_cast<int>(d.lPitch), kWidth,
                                kHeight, f.palette.data()};
        shown.Draw(image, platform::video::PixelLayout{}, 0, 0, 1, f.Target());
        o.canvas->Unlock(nullptr);
        sum += f.out[static_cast<std::size_t>((sum + static_cast<std::uint64_t>(i)) % f.out.size())];
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_WindowStretch_EveryPixel);
BENCHMARK(BM_WindowStretch_Recorded);
BENCHMARK(BM_WindowCompare_EveryPixel);
BENCHMARK(BM_WindowCompare_Recorded);
BENCHMARK(BM_WindowPresent_Before);
BENCHMARK(BM_WindowPresent_After);
BENCHMARK(BM_Fill_Ours);
BENCHMARK(BM_Fill_Sdl);
BENCHMARK(BM_Sprite16_Ours);
BENCHMARK(BM_Sprite16_Sdl);
BENCHMARK(BM_Stretch2x_Ours);
BENCHMARK(BM_Stretch2x_Sdl);
BENCHMARK(BM_BlitSprite16);
BENCHMARK(BM_BlitStretch2x);
BENCHMARK(BM_Present_Ours);
BENCHMARK(BM_Present_Sdl);
BENCHMARK(BM_PresentChanges_Ours);
BENCHMARK(BM_Frame_Ours);

}  // namespace

BENCHMARK_MAIN();
