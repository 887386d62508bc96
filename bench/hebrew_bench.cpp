// Throughput of the two conversions per font kind on 30-byte texts, the
// typical length of a drawing's labels. Target: 500,000 conversions a second
// on one core for every kind.

#include <benchmark/benchmark.h>

#include <string>

#include "hebrew/converter.h"

namespace {

using hebrew::TFontKind;

// A 30-byte label of each kind: Hebrew words, a number and brackets.
std::string sampleText(TFontKind kind) {
    switch (kind) {
        case TFontKind::DosHebrew:  // "shalom 123 (rechov herzl) 45" in DOS letters
            return "\x99\x8c\x85\x8d 123 (\x98\x87\x85\x81 \x84\x98\x86\x8c) 45 \x80\x81\x82 \x83\x84";
        case TFontKind::DosEnglish:
        case TFontKind::DosEnglishR:
            return "akuo 123 (rjuc vrzk) 45 tcd ab";
        case TFontKind::Windows:
        case TFontKind::TrueType:
            return "\xf9\xec\xe5\xed 123 (\xf8\xe7\xe5\xe1 \xe4\xf8\xe6\xec) 45 \xe0\xe1\xe2 \xe3\xe4";
    }
    return {};
}

template <bool LeftToRight>
void convert(benchmark::State& state) {
    auto kind = static_cast<TFontKind>(state.range(0));
    hebrew::FontTable fonts;
    hebrew::Converter converter(fonts);
    converter.CurrentKind = kind;
    const std::string text = sampleText(kind);
    for (auto _ : state) {
        std::string result = LeftToRight ? converter.ConvertForLtr(text) : converter.ConvertForRtl(text);
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::string(hebrew::FontKindName(kind)) + ", " + std::to_string(text.size()) + " bytes");
}

void kinds(benchmark::internal::Benchmark* b) {
    for (int kind = 0; kind <= 4; ++kind)
        b->Arg(kind);
}

BENCHMARK(convert<false>)->Name("ConvertForRtl")->Apply(kinds);
BENCHMARK(convert<true>)->Name("ConvertForLtr")->Apply(kinds);

}  // namespace

BENCHMARK_MAIN();
