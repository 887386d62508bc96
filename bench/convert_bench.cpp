// The conversion of the sample drawings into AutoCAD 2004, timed as the
// command-line tool runs it (open, convert every text, save as 2004), in
// one run so that the figures compare: example_2004 and example_2018 hold
// much the same drawing, and converting the 2018 one may take at most 1.5
// times as long as converting the 2004 one. The drawings of series/2018 are
// timed too. Each figure is the best of --runs runs.
//
//   convert_bench [--runs N]
//
// Exit status 1 when the 2018 drawing takes longer than the limit.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "filter/batch.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The best time of `runs` conversions of `drawing`, in milliseconds; a
// negative one when the conversion failed.
double convert(const fs::path& drawing, const fs::path& output, int runs) {
    hebrew::FontTable fonts;
    const filter::FixedOptions rightToLeft(false);
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const filter::RunReport report = filter::convertDrawing(fonts, rightToLeft, {}, drawing, output);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (report.status != filter::RunStatus::Done) {
            std::fprintf(stderr, "%s: %s\n", drawing.c_str(),
                         report.errors.empty() ? "not converted" : report.errors.front().c_str());
            return -1;
        }
        best = std::min(best, ms);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 20;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: convert_bench [--runs N]\n");
            return 2;
        }
    }
    const fs::path samples = fs::path(CORVELIN_SAMPLES_DIR) / "dwg";
    if (!fs::exists(samples / "example_2004.dwg") || !fs::exists(samples / "example_2018.dwg")) {
        std::fprintf(stderr, "convert_bench: the sample drawings are absent from %s\n", samples.c_str());
        return 2;
    }
    const fs::path out = fs::temp_directory_path() / ("corvelin-convert-bench-" + std::to_string(::getpid()));
    fs::create_directories(out);
    const double of2004 = convert(samples / "example_2004.dwg", out / "2004.dwg", runs);
    const double of2018 = convert(samples / "example_2018.dwg", out / "2018.dwg", runs);
    std::printf("example_2004.dwg  %8.2f ms\nexample_2018.dwg  %8.2f ms  (%.2f x the 2004 drawing, at most 1.50)\n",
                of2004, of2018, of2018 / of2004);
    std::vector<fs::path> series;
    if (fs::is_directory(samples / "series" / "2018"))
        for (const auto& entry : fs::directory_iterator(samples / "series" / "2018"))
            if (entry.path().extension() == ".dwg")
                series.push_back(entry.path());
    std::sort(series.begin(), series.end());
    bool failed = of2004 < 0 || of2018 < 0;
    for (const fs::path& drawing : series) {
        const double ms = convert(drawing, out / "series.dwg", runs);
        failed = failed || ms < 0;
        std::printf("series/2018/%-22s %8.2f ms\n", drawing.filename().c_str(), ms);
    }
    fs::remove_all(out);
    if (failed)
        return 1;
    if (of2018 > 1.5 * of2004) {
        std::fprintf(stderr, "convert_bench: converting example_2018.dwg takes %.2f x as long as example_2004.dwg\n",
                     of2018 / of2004);
        return 1;
    }
    return 0;
}
