// The disc raster against the floor for its output: a plain memset of exactly the
// same runs, one call per row, as a renderer that knew the runs in advance would do.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/raster.h"

namespace {

struct Run {
    int row, start, length;
};

struct DiscCase {
    const char* name;
    float x, y, radius;
};

const DiscCase kCases[] = {
    {"r16_centre", 320, 240, 16},      {"r32_centre", 320, 240, 32},   {"r48_centre", 320, 240, 48},
    {"r32.7_centre", 320, 240, 32.7f}, {"r16_right_edge", 630, 240, 16}, {"r32_right_edge", 630, 240, 32},
    {"r48_right_edge", 630, 240, 48},  {"r32.7_top_edge", 320, 10, 32.7f},
};

std::vector<std::uint8_t> gPage(kPageWidth * kPageHeight);

// The runs a disc covers, read back from a page it was drawn on.
std::vector<Run> runsOf(const DiscCase& disc) {
    std::vector<std::uint8_t> page(kPageWidth * kPageHeight, 0);
    rasterCircle(page.data(), disc.x, disc.y, disc.radius, 1);
    std::vector<Run> runs;
    for (int row = 0; row < kPageHeight; ++row) {
        const std::uint8_t* line = page.data() + row * kPageWidth;
        int start = -1;
        for (int column = 0; column <= kPageWidth; ++column) {
            const bool set = column < kPageWidth && line[column] == 1;
            if (set && start < 0) start = column;
            if (!set && start >= 0) {
                runs.push_back(Run{row, start, column - start});
                start = -1;
            }
        }
    }
    return runs;
}

void rasterDisc(benchmark::State& state, DiscCase disc) {
    std::int32_t colour = 0;
    for (auto _ : state) {
        rasterCircle(gPage.data(), disc.x, disc.y, disc.radius, ++colour);
        benchmark::ClobberMemory();
    }
}

void memsetRuns(benchmark::State& state, DiscCase disc) {
    const std::vector<Run> runs = runsOf(disc);
    int pixels = 0;
    for (const Run& run : runs) pixels += run.length;
    std::uint8_t colour = 0;
    for (auto _ : state) {
        ++colour;
        for (const Run& run : runs) {
            std::memset(gPage.data() + run.row * kPageWidth + run.start, colour, static_cast<std::size_t>(run.length));
        }
        benchmark::ClobberMemory();
    }
    state.counters["pixels"] = pixels;
}

int registerAll() {
    for (const DiscCase& disc : kCases) {
        benchmark::RegisterBenchmark((std::string("raster/") + disc.name).c_str(), rasterDisc, disc);
        benchmark::RegisterBenchmark((std::string("memset/") + disc.name).c_str(), memsetRuns, disc);
    }
    return 0;
}

const int gRegistered = registerAll();

} // namespace

BENCHMARK_MAIN();
