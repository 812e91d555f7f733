// A refresh after a palette change: the whole 640x480 page through the new palette to
// 32-bit pixels. Side by side: this program's conversion, SDL's own blit from an INDEX8
// surface to an XRGB8888 one (what typical ports do), and memcpy of the result's size,
// the memory-bandwidth floor. Each iteration changes one palette entry first, as every
// frame does, so SDL's blit must rebuild its colour map as the conversion rebuilds its.
#include <benchmark/benchmark.h>

#include <SDL2/SDL.h>

#include <cstring>
#include <vector>

#include "platform/page_convert.h"
#include "platform/raster.h"

namespace {

struct Picture {
    std::vector<std::uint8_t> page = std::vector<std::uint8_t>(kPageWidth * kPageHeight);
    std::uint8_t levels[256][3];

    Picture() {
        // A page like the program's: discs over a black background.
        for (int i = 0; i < 3000; ++i) {
            rasterCircle(page.data(), static_cast<float>((i * 37) % 640), static_cast<float>((i * 91) % 480),
                         16.0f + static_cast<float>(i % 33), 1 + i % 255);
        }
        for (int i = 0; i < 256; ++i) {
            levels[i][0] = static_cast<std::uint8_t>(i % 64);
            levels[i][1] = static_cast<std::uint8_t>((i * 3) % 64);
            levels[i][2] = static_cast<std::uint8_t>((i * 7) % 64);
        }
    }
};

Picture gPicture;

void conversion(benchmark::State& state, int targetWidth, int targetHeight) {
    const Placement at = placePicture(targetWidth, targetHeight);
    std::vector<std::uint8_t> target(static_cast<std::size_t>(targetWidth) * targetHeight * 4);
    SDL_PixelFormat* format = SDL_AllocFormat(SDL_PIXELFORMAT_RGB888);
    std::uint32_t colours[256];
    int change = 0;
    for (auto _ : state) {
        gPicture.levels[1 + change++ % 255][0] ^= 1;
        for (int i = 0; i < 256; ++i) {
            colours[i] = SDL_MapRGB(format, levelIntensity(gPicture.levels[i][0]), levelIntensity(gPicture.levels[i][1]),
                                    levelIntensity(gPicture.levels[i][2]));
        }
        convertRows(gPicture.page.data(), colours, target.data(), targetWidth * 4, at, 0, kPageHeight - 1);
        benchmark::ClobberMemory();
    }
    SDL_FreeFormat(format);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPageWidth) * kPageHeight * at.scale * at.scale * 4);
}

void sdlBlit(benchmark::State& state, int scale) {
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(gPicture.page.data(), kPageWidth, kPageHeight, 8, kPageWidth,
                                                             SDL_PIXELFORMAT_INDEX8);
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kPageWidth * scale, kPageHeight * scale, 32, SDL_PIXELFORMAT_RGB888);
    // SDL scales only between surfaces of one format, so a port that scales converts to
    // true colour first and stretches that.
    SDL_Surface* unscaled = SDL_CreateRGBSurfaceWithFormat(0, kPageWidth, kPageHeight, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i) {
        colours[i] = SDL_Color{levelIntensity(gPicture.levels[i][0]), levelIntensity(gPicture.levels[i][1]),
                               levelIntensity(gPicture.levels[i][2]), 255};
    }
    SDL_SetPaletteColors(source->format->palette, colours, 0, 256);
    int change = 0;
    for (auto _ : state) {
        const int index = 1 + change++ % 255;
        colours[index].r ^= 4;
        SDL_SetPaletteColors(source->format->palette, &colours[index], index, 1);
        const int failed = scale == 1 ? SDL_BlitSurface(source, nullptr, target, nullptr)
                                      : SDL_BlitSurface(source, nullptr, unscaled, nullptr) |
                                            SDL_BlitScaled(unscaled, nullptr, target, nullptr);
        if (failed != 0) {
            state.SkipWithError(SDL_GetError());
            break;
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(target->w) * target->h * 4);
    SDL_FreeSurface(unscaled);
    SDL_FreeSurface(target);
    SDL_FreeSurface(source);
}

void copyResult(benchmark::State& state, int scale) {
    const std::size_t bytes = static_cast<std::size_t>(kPageWidth) * kPageHeight * scale * scale * 4;
    std::vector<std::uint8_t> from(bytes, 1);
    std::vector<std::uint8_t> to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

} // namespace

BENCHMARK_CAPTURE(conversion, page_1x, 640, 480);
BENCHMARK_CAPTURE(sdlBlit, page_1x, 1);
BENCHMARK_CAPTURE(copyResult, page_1x, 1);
BENCHMARK_CAPTURE(conversion, page_2x, 1280, 960);
BENCHMARK_CAPTURE(sdlBlit, page_2x, 2);
BENCHMARK_CAPTURE(copyResult, page_2x, 2);

BENCHMARK_MAIN();
