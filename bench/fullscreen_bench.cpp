// The full-screen present from one frame of quiet play to the next (twenty
// 8x8 stars moved), at 1024x768, 1920x1080 and 3840x2160:
//   Ours   what the SDL host does: the picture's place as FullScreenPlace
//          says; a whole multiple drawn straight into the screen's pixels,
//          only what changed, and the changed rectangles found for the X
//          server; or, where the multiple would be small, the changes at the
//          whole scale and the smooth stretch of what they touch
//   Sdl    SDL2's software path for the same picture: the 8-bit frame
//          converted to 32 bits (SDL_BlitSurface) and scaled into the same
//          place of the screen (SDL_BlitScaled, nearest pixels: SDL2 scales
//          no 8-bit surface into a 32-bit one, has no smooth stretch, and
//          converts everything every frame)
// Items are frames; each row also counts the screen's pixels it wrote to.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/host/host_picture.h"
#include "platform/host/sdl/sdl_choice.h"

namespace {

using namespace platform::video;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kSizes[][2] = {{1024, 768}, {1920, 1080}, {3840, 2160}};

// Two frames of play: a busy picture, and twenty stars that move between them.
struct Frames {
    std::vector<std::uint8_t> pixels[2];
    std::vector<PALETTEENTRY> palette = std::vector<PALETTEENTRY>(256);
    Frames() {
        for (int i = 0; i < 256; ++i)
            palette[static_cast<std::size_t>(i)] = PALETTEENTRY{BYTE(i), BYTE(255 - i), BYTE(i * 3), 0};
        pixels[0].resize(static_cast<std::size_t>(kWidth * kHeight));
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                pixels[0][static_cast<std::size_t>(y * kWidth + x)] =
                    static_cast<std::uint8_t>((x / 16 + y / 16) % 200);
        pixels[1] = pixels[0];
        for (int k = 0; k < 20; ++k)
            for (int n = 0; n < 2; ++n)
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x)
                        pixels[n][static_cast<std::size_t>(((53 * k + 3 * n) % (kHeight - 8) + y) * kWidth +
                                                           (37 * k + 5 * n) % (kWidth - 8) + x)] =
                            static_cast<std::uint8_t>(250 + n);
    }
    host::ScreenImage Image(int n) const {
        return host::ScreenImage{pixels[n].data(), kWidth, kWidth, kHeight, palette.data()};
    }
};

struct Screen {
    int width, height;
    std::vector<std::uint32_t> pixels;
    Screen(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h) {}
    PixelTarget Target() { return PixelTarget{pixels.data(), width * 4, width, height}; }
};

void BM_FullScreen_Ours(benchmark::State& state) {
    const int w = kSizes[state.range(0)][0], h = kSizes[state.range(0)][1];
    Frames frames;
    Screen screen(w, h);
    const sdlhost::PicturePlace place = sdlhost::FullScreenPlace(kWidth, kHeight, w, h);
    const int scale = WholeScale(kWidth, kHeight, place.width, place.height);
    Screen staging(kWidth * scale, kHeight * scale);
    ShownPicture shown;
    StretchSteps steps;
    PixelRect rects[64];
    std::uint64_t sum = 0;
    int n = 0;
    for (auto _ : state) {
        if (!place.smooth) {
            ChangedRows rows = shown.Draw(frames.Image(n), PixelLayout{}, place.x, place.y, scale, screen.Target());
            sum += static_cast<std::uint64_t>(rows.whole ? 1 : ChangedRects(shown, rows, rects, 64));
        } else {
            shown.Draw(frames.Image(n), PixelLayout{}, 0, 0, scale, staging.Target());
            ChangedRows rows = SmoothStretch(staging.Target(), screen.Target(), place.x, place.y, place.width,
                                             place.height, shown, steps);
            sum += static_cast<std::uint64_t>(rows.bottom - rows.top);
        }
        sum += screen.pixels[static_cast<std::size_t>(sum % screen.pixels.size())];
        n ^= 1;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h) + (place.smooth ? " smooth" : " whole"));
}

void BM_FullScreen_Sdl(benchmark::State& state) {
    const int w = kSizes[state.range(0)][0], h = kSizes[state.range(0)][1];
    Frames frames;
    const sdlhost::PicturePlace place = sdlhost::FullScreenPlace(kWidth, kHeight, w, h);
    SDL_Surface* picture[2];
    std::vector<SDL_Color> colours(256);
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& e = frames.palette[static_cast<std::size_t>(i)];
        colours[static_cast<std::size_t>(i)] = SDL_Color{e.peRed, e.peGreen, e.peBlue, 255};
    }
    for (int n = 0; n < 2; ++n) {
        picture[n] = SDL_CreateRGBSurfaceWithFormatFrom(frames.pixels[n].data(), kWidth, kHeight, 8, kWidth,
                                                        SDL_PIXELFORMAT_INDEX8);
        SDL_SetPaletteColors(picture[n]->format->palette, colours.data(), 0, 256);
    }
    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_XRGB8888);
    SDL_Surface* rgb = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_XRGB8888);
    SDL_Rect to{place.x, place.y, place.width, place.height};
    std::uint64_t sum = 0;
    int n = 0;
    for (auto _ : state) {
        if (SDL_BlitSurface(picture[n], nullptr, rgb, nullptr) != 0 || SDL_BlitScaled(rgb, nullptr, screen, &to) != 0)
            state.SkipWithError(SDL_GetError());
        sum += static_cast<const Uint32*>(screen->pixels)[sum % (static_cast<std::uint64_t>(w) * h)];
        n ^= 1;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h));
    SDL_FreeSurface(screen);
    SDL_FreeSurface(rgb);
    for (SDL_Surface* p : picture) SDL_FreeSurface(p);
}

BENCHMARK(BM_FullScreen_Ours)->DenseRange(0, 2);
BENCHMARK(BM_FullScreen_Sdl)->DenseRange(0, 2);

}  // namespace

BENCHMARK_MAIN();
