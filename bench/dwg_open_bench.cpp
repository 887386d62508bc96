// Opening and walking a sample drawing of each release: read the file's
// bytes into a drawing, then list every text style, block with its entities,
// text and attribute string, as the filter does. Target: a 2018 drawing no
// slower than the 2004 one (example_2004 and example_2018 hold much the same
// drawing; see the samples' README).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dwg/drawing/drawing.h"

namespace {

std::vector<std::uint8_t> sampleBytes(const std::string& name) {
    std::ifstream in(std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void openAndWalk(benchmark::State& state, const std::string& name) {
    const std::vector<std::uint8_t> bytes = sampleBytes(name);
    if (bytes.empty()) {
        state.SkipWithError(("sample drawing " + name + " is absent").c_str());
        return;
    }
    for (auto _ : state) {
        dwg::Drawing d = dwg::Drawing::fromBytes(bytes, name);
        std::size_t characters = 0;
        for (std::uint64_t style : d.textStyles())
            characters += d.styleName(style).size() + d.styleFontFile(style).size();
        for (std::uint64_t block : d.blocks()) {
            characters += d.blockName(block).size();
            for (std::uint64_t e : d.blockEntities(block)) {
                if (d.isText(e))
                    characters += d.textString(e).size();
                else if (d.isBlockReference(e))
                    for (std::uint64_t a : d.attributes(e))
                        characters += d.textString(a).size();
            }
        }
        benchmark::DoNotOptimize(characters);
    }
}

}  // namespace

BENCHMARK_CAPTURE(openAndWalk, example_2004, std::string("example_2004.dwg"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(openAndWalk, example_2018, std::string("example_2018.dwg"))->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
