// Round trip of a large drawing through our DWG engine, timed in a fresh
// process so that its peak memory is the round trip's own: open, walk every
// text style, block definition, block reference with its attributes and
// text, and save. Targets on the CI machine: 0.3 s for 2000 and 0.6 s for
// 2004 saved in their own release, 0.5 s for a conversion of the 2000
// drawing saved as 2004 (every text changed, every object encoded anew);
// peak memory at most 4 x the file size + 50 MB.
//
//   dwg_roundtrip [--texts N] [--inserts M] [--rewrite] [--keep DIR]
//
// --rewrite also changes every text and attribute, as a conversion does, so
// that every one of them is encoded anew on saving.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dwg/drawing/builder.h"
#include "dwg/drawing/drawing.h"
#include "support/atomic_file.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

long peakMemoryKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

std::vector<std::uint8_t> buildDrawing(dwg::Release release, int texts, int inserts) {
    dwg::DrawingBuilder b(release);
    const auto hebrew = b.addTextStyle("HEBREW", "hebrew.shx");
    const auto backward = b.addTextStyle("MIRROR", "telvos.shx", 2);
    const auto block = b.addBlock("PARCEL");
    dwg::DrawingBuilder::TextSpec spec;
    spec.height = 2.5;
    b.addLineToBlock(block, {0, 0, 0}, {10, 5, 0});
    spec.value = "\x99\x8c\x85\x8d";
    b.addAttributeDefinition(block, "NUMBER", "Number", spec);
    b.addAttributeDefinition(block, "OWNER", "Owner", spec);
    for (int i = 0; i < texts; ++i) {
        spec.value = "\x99\x8c\x85\x8d " + std::to_string(i) + " (\xf8\xe7\xe5\xe1)";
        spec.insertion = {i % 1000 * 20.0, i / 1000 * 10.0, 0};
        spec.style = i % 3 == 0 ? hebrew : i % 3 == 1 ? backward : 0;
        b.addText(i % 10 == 0 ? dwg::DrawingBuilder::Space::Paper : dwg::DrawingBuilder::Space::Model, spec);
    }
    for (int i = 0; i < inserts; ++i) {
        const dwg::Point3 at{i % 500 * 30.0, -100.0 - i / 500 * 20.0, 0};
        std::vector<dwg::DrawingBuilder::AttributeSpec> attributes(2);
        attributes[0].tag = "NUMBER";
        attributes[0].text.value = std::to_string(i);
        attributes[0].text.insertion = at;
        attributes[1].tag = "OWNER";
        attributes[1].text.value = "\xeb\xe4\xef " + std::to_string(i % 97);
        attributes[1].text.insertion = {at.x, at.y - 3, 0};
        attributes[1].text.style = hebrew;
        b.addInsert(dwg::DrawingBuilder::Space::Model, block, at, {1, 1, 1}, 0, attributes);
    }
    return b.bytes();
}

// The child: one round trip, then its time and peak memory on stdout.
int roundTrip(const std::filesystem::path& in, const std::filesystem::path& out, bool rewrite, bool as2004) {
    const auto start = Clock::now();
    dwg::Drawing d = dwg::Drawing::open(in);
    const auto opened = Clock::now();
    std::size_t seen = 0;
    for (std::uint64_t style : d.textStyles())
        seen += d.styleFontFile(style).size();
    auto visit = [&](std::uint64_t text) {
        std::u16string value = d.textString(text);
        seen += value.size() + d.textStyleName(text).size() + d.backward(text);
        if (rewrite) {
            value.insert(value.begin(), u'\u05D0');
            d.setTextString(text, value);
            d.setBackward(text, false);
            d.setTextGeneration(text, 0);
        }
    };
    for (std::uint64_t block : d.blocks())
        if (!d.blockName(block).starts_with(u"*"))
            for (std::uint64_t e : d.blockEntities(block))
                if (d.isText(e))
                    visit(e);
    for (std::uint64_t insert : d.selectAll("INSERT"))
        for (std::uint64_t attribute : d.attributes(insert))
            visit(attribute);
    for (std::uint64_t text : d.selectAll("TEXT"))
        visit(text);
    const auto walked = Clock::now();
    if (as2004)
        d.save(out, dwg::Release::R2004);
    else
        d.save(out);
    if (std::getenv("CORVELIN_BENCH_PHASES"))
        std::fprintf(stderr, "open %.3f walk %.3f save %.3f\n", std::chrono::duration<double>(opened - start).count(),
                     std::chrono::duration<double>(walked - opened).count(),
                     std::chrono::duration<double>(Clock::now() - walked).count());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%.4f %ld %zu\n", seconds, peakMemoryKiB(), seen);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "--child") == 0)
        return roundTrip(argv[2], argv[3], std::strcmp(argv[4], "1") == 0, std::strcmp(argv[5], "1") == 0);

    int texts = 100000, inserts = 20000;
    bool rewrite = false;
    std::filesystem::path keep;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--texts" && i + 1 < argc)
            texts = std::atoi(argv[++i]);
        else if (arg == "--inserts" && i + 1 < argc)
            inserts = std::atoi(argv[++i]);
        else if (arg == "--rewrite")
            rewrite = true;
        else if (arg == "--keep" && i + 1 < argc)
            keep = argv[++i];
        else {
            std::fprintf(stderr, "usage: dwg_roundtrip [--texts N] [--inserts M] [--rewrite] [--keep DIR]\n");
            return 2;
        }
    }
    const std::filesystem::path dir =
        keep.empty() ? std::filesystem::temp_directory_path() / ("corvelin-bench-" + std::to_string(::getpid())) : keep;
    std::filesystem::create_directories(dir);

    int failures = 0;
    struct Case {
        dwg::Release release;
        bool as2004;
        double limit;
    };
    for (const Case c : {Case{dwg::Release::R2000, false, 0.3}, Case{dwg::Release::R2004, false, 0.6},
                         Case{dwg::Release::R2000, true, 0.5}}) {
        const dwg::Release release = c.release;
        const double limit = c.limit;
        const bool changeAll = rewrite || c.as2004;
        const std::string name = std::string(dwg::releaseName(release)) + (c.as2004 ? " as 2004" : "");
        const std::string file = std::string(dwg::releaseName(release)) + (c.as2004 ? "_as_2004" : "");
        const auto in = dir / ("large_" + file + ".dwg");
        const auto out = dir / ("large_" + file + "_saved.dwg");
        const auto bytes = buildDrawing(release, texts, inserts);
        support::writeFileAtomically(in, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));

        // A fresh process, so that the builder's memory does not count.
        int pipeFds[2];
        if (::pipe(pipeFds) != 0)
            return 1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        const std::string inText = in.string(), outText = out.string();
        std::vector<char*> args = {argv[0], const_cast<char*>("--child"), const_cast<char*>(inText.c_str()),
                                   const_cast<char*>(outText.c_str()), const_cast<char*>(changeAll ? "1" : "0"),
                                   const_cast<char*>(c.as2004 ? "1" : "0"), nullptr};
        pid_t child = 0;
        if (posix_spawn(&child, "/proc/self/exe", &actions, nullptr, args.data(), environ) != 0)
            return 1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        char buffer[256] = {};
        const auto length = ::read(pipeFds[0], buffer, sizeof buffer - 1);
        ::close(pipeFds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        double seconds = 0;
        long peakKiB = 0;
        if (length <= 0 || std::sscanf(buffer, "%lf %ld", &seconds, &peakKiB) != 2 || status != 0) {
            std::fprintf(stderr, "%s: the round trip failed\n", name.c_str());
            ++failures;
            continue;
        }
        const double fileMiB = static_cast<double>(bytes.size()) / (1 << 20);
        const double peakMiB = static_cast<double>(peakKiB) / 1024;
        const double memoryLimit = 4 * fileMiB + 50;
        const bool ok = seconds <= limit && peakMiB <= memoryLimit;
        failures += !ok;
        std::printf("%s: %d texts, %d references with 2 attributes, file %.1f MiB: round trip %.3f s (limit %.1f), "
                    "peak memory %.1f MiB (limit %.1f)%s %s\n",
                    name.c_str(), texts, inserts, fileMiB, seconds, limit, peakMiB, memoryLimit,
                    changeAll ? ", every text rewritten" : "", ok ? "OK" : "OVER");
    }
    if (keep.empty())
        std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
