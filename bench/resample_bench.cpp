// The preview's scaling: a 1024 x 768 stored bitmap fitted into the 180 x 113
// preview area with "Lanczos3". Target: at most 20 ms per picture.

#include <benchmark/benchmark.h>

#include "preview/resample.h"

namespace {

// Smooth gradients with a few hard edges, so that the negative lobes of the
// filter produce sums outside 0..255 as in real drawings' line work.
preview::Picture testPicture(int width, int height)
{
    preview::Picture picture = preview::Picture::blank(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = picture.row(y);
        for (int x = 0; x < width; ++x) {
            const bool line = (x % 64) < 2 || (y % 48) < 2;
            row[3 * x] = line ? 0 : static_cast<std::uint8_t>(x / 4);
            row[3 * x + 1] = line ? 0 : static_cast<std::uint8_t>(y / 3);
            row[3 * x + 2] = line ? 0 : 255;
        }
    }
    return picture;
}

void BM_ResampleLanczos3(benchmark::State& state)
{
    const preview::Picture source = testPicture(1024, 768);
    const preview::FilterEntry& lanczos3 = *preview::findFilter("Lanczos3");
    preview::Picture destination;
    destination.width = 180;
    destination.height = 113;
    for (auto _ : state) {
        preview::ResampleBitmap(source, destination, lanczos3.function, lanczos3.support);
        benchmark::DoNotOptimize(destination.pixels.data());
    }
}
BENCHMARK(BM_ResampleLanczos3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
