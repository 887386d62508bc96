// corvelin-cli convert and check: the window's batch commands for scripts.

#include <atomic>
#include <cstdio>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

#include <unistd.h>

#include "cli/cli.h"
#include "cli/json.h"
#include "filter/batch.h"
#include "support/atomic_file.h"

namespace cli {
namespace {

constexpr const char* kConvertUsage =
    "Usage: corvelin-cli convert (--output-dir DIR | --in-place) [--ltr | --rtl] [--no-auto-correct]\n"
    "                            [--keep-windows-mapping] [--fonts FILE] [--jobs N] [--recursive]\n"
    "                            [--report FILE] PATH...\n"
    "\n"
    "Converts each drawing given, and every *.dwg of each folder given, for the ESRI\n"
    "Hebrew setting (\"RightTo Left\" unless --ltr).\n"
    "\n"
    "  --output-dir DIR        write the converted drawings into DIR\n"
    "  --in-place              convert in place, keeping each original as <name>.bak\n"
    "  --no-auto-correct       do not repair letters foreign to a style's font kind\n"
    "  --keep-windows-mapping  leave attributes whose letters do not fit as they are\n"
    "  --fonts FILE            the font definition file (default: the per-user HebFonts.txt)\n"
    "  --jobs N                convert N drawings at a time (default: the number of cores)\n"
    "  --recursive             take the drawings of subfolders too\n"
    "  --report FILE           write a JSON report of every drawing\n";

constexpr const char* kCheckUsage =
    "Usage: corvelin-cli check [--recursive] [--report FILE] PATH...\n"
    "\n"
    "Opens and walks each drawing, and every *.dwg of each folder, changing nothing;\n"
    "reports the drawings that cannot be opened.\n";

struct BatchOptions {
    bool check = false;
    std::string outputDir;
    bool inPlace = false;
    bool leftToRight = false;
    filter::RunSettings settings;
    std::optional<std::string> fontsFile;
    unsigned jobs = 0;
    bool recursive = false;
    std::string reportFile;
    std::vector<std::string> paths;
};

BatchOptions parse(const std::vector<std::string>& args, bool check) {
    BatchOptions o;
    o.check = check;
    ArgumentReader in(args);
    while (in.nextOption()) {
        const std::string& arg = in.option();
        if (arg == "--recursive") {
            o.recursive = true;
        } else if (arg == "--report") {
            o.reportFile = in.value();
        } else if (check) {
            in.unknownOption();
        } else if (arg == "--output-dir") {
            o.outputDir = in.value();
        } else if (arg == "--in-place") {
            o.inPlace = true;
        } else if (arg == "--no-auto-correct") {
            o.settings.autoCorrect = false;
        } else if (arg == "--keep-windows-mapping") {
            o.settings.keepWindowsMapping = true;
        } else if (arg == "--fonts") {
            o.fontsFile = in.value();
        } else if (arg == "--jobs") {
            const std::string& n = in.value();
            char* end = nullptr;
            const long jobs = std::strtol(n.c_str(), &end, 10);
            if (n.empty() || *end != '\0' || jobs < 1 || jobs > 256)
                throw UsageError("--jobs takes a number from 1 to 256, not '" + n + "'");
            o.jobs = static_cast<unsigned>(jobs);
        } else if (!in.readOrder(o.leftToRight)) {
            in.unknownOption();
        }
    }
    o.paths = in.operands();
    if (!check && o.inPlace == !o.outputDir.empty())
        throw UsageError("give either --output-dir DIR or --in-place");
    if (o.paths.empty())
        throw UsageError("no drawing or folder given");
    return o;
}

const char* statusName(filter::RunStatus status) {
    switch (status) {
        case filter::RunStatus::Done: return "done";
        case filter::RunStatus::Failed: return "failed";
        case filter::RunStatus::Skipped: return "skipped";
    }
    return "";
}

void writeReport(JsonWriter& json, const std::string& command, const std::vector<filter::RunReport>& reports) {
    int failed = 0;
    for (const auto& r : reports)
        failed += r.status != filter::RunStatus::Done;
    json.beginObject();
    json.member("command", command);
    json.member("drawings", static_cast<int>(reports.size()));
    json.member("failed", failed);
    json.key("results").beginArray();
    for (const auto& r : reports) {
        json.beginObject();
        json.member("input", r.input);
        if (!r.output.empty())
            json.member("output", r.output);
        json.member("status", statusName(r.status));
        json.member("releaseRead", r.releaseRead);
        if (command == "convert")
            json.member("releaseWritten", r.status == filter::RunStatus::Done ? r.releaseWritten : std::string());
        json.key("styles").beginArray();
        for (const auto& s : r.styles) {
            json.beginObject();
            json.member("name", s.name).member("fontFile", s.fontFile).member("kind", s.kind);
            json.member("backward", s.backward);
            json.endObject();
        }
        json.endArray();
        json.member("textsConverted", r.statistics.textsConverted);
        json.member("attributesConverted", r.statistics.attributesConverted);
        json.member("repaired", r.statistics.repaired);
        json.member("leftUnchanged", r.statistics.leftUnchanged);
        json.key("warnings").beginArray();
        for (const auto& w : r.statistics.warnings)
            json.value(w);
        json.endArray();
        json.key("errors").beginArray();
        for (const auto& e : r.errors)
            json.value(e);
        json.endArray();
        json.member("seconds", r.seconds);
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

// Progress on standard error when it is a terminal: the drawings done and
// the current drawing's percentage.
class ProgressLine {
public:
    ProgressLine(std::size_t total) : m_total(total), m_enabled(::isatty(STDERR_FILENO) == 1) {}
    void update(std::size_t done, const std::string& current, int percent) {
        if (!m_enabled)
            return;
        std::lock_guard lock(m_mutex);
        const int width = 20;
        const int filled = percent * width / 100;
        std::fprintf(stderr, "\r[%zu/%zu] [%s%s] %3d%% %-40.40s", done, m_total, std::string(filled, '#').c_str(),
                     std::string(width - filled, '.').c_str(), percent, current.c_str());
        std::fflush(stderr);
    }
    void finish() {
        if (m_enabled)
            std::fprintf(stderr, "\n");
    }

private:
    std::size_t m_total;
    bool m_enabled;
    std::mutex m_mutex;
};

int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool check) {
    const char* usage = check ? kCheckUsage : kConvertUsage;
    const std::string command = check ? "check" : "convert";
    BatchOptions o;
    auto parseBatch = [check](const std::vector<std::string>& a) { return parse(a, check); };
    if (auto status = parseCommand(args, out, err, command.c_str(), usage, parseBatch, o))
        return *status;

    hebrew::FontTable fonts;
    if (!loadFontTable(fonts, o.fontsFile, command.c_str(), err))
        return kExitFailure;

    // The drawings: files as given, folders by their *.dwg entries.
    std::vector<std::filesystem::path> drawings;
    for (const std::string& path : o.paths) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            auto found = filter::ListFolderFiles(path, o.recursive);
            drawings.insert(drawings.end(), found.begin(), found.end());
        } else {
            drawings.emplace_back(path);
        }
    }
    if (!check && !o.inPlace) {
        std::error_code error;
        std::filesystem::create_directories(o.outputDir, error);
        if (error) {
            err << "corvelin-cli convert: cannot create " << o.outputDir << ": " << error.message() << '\n';
            return kExitFailure;
        }
    }

    const filter::FixedOptions options(o.leftToRight);
    std::vector<filter::RunReport> reports(drawings.size());
    std::atomic<std::size_t> next{0}, done{0};
    ProgressLine progress(drawings.size());
    auto worker = [&] {
        for (std::size_t i = next++; i < drawings.size(); i = next++) {
            const auto& input = drawings[i];
            auto onProgress = [&](int percent) { progress.update(done, input.filename().string(), percent); };
            progress.update(done, input.filename().string(), 0);
            if (check) {
                reports[i] = filter::checkDrawing(fonts, o.settings, input, onProgress);
            } else {
                const auto output = o.inPlace ? input : std::filesystem::path(o.outputDir) / input.filename();
                reports[i] = filter::convertDrawing(fonts, options, o.settings, input, output, onProgress);
            }
            progress.update(++done, input.filename().string(), 100);
        }
    };
    const unsigned jobs = std::max(1u, std::min<unsigned>(o.jobs ? o.jobs : std::thread::hardware_concurrency(),
                                                          static_cast<unsigned>(drawings.size())));
    std::vector<std::thread> threads;
    for (unsigned j = 1; j < jobs; ++j)
        threads.emplace_back(worker);
    worker();
    for (auto& t : threads)
        t.join();
    progress.finish();

    int failed = 0;
    for (const auto& r : reports) {
        const std::string verb = check ? "checked" : "converted";
        switch (r.status) {
            case filter::RunStatus::Done:
                out << verb << ' ' << r.input;
                if (!check)
                    out << " -> " << r.output << " (" << r.statistics.textsConverted << " texts, "
                        << r.statistics.attributesConverted << " attributes)";
                out << '\n';
                break;
            case filter::RunStatus::Skipped:
                out << "skipped " << r.input << ": " << r.errors.front() << '\n';
                ++failed;
                break;
            case filter::RunStatus::Failed:
                out << "FAILED " << r.input << ": " << (r.errors.empty() ? "not finished" : r.errors.front()) << '\n';
                ++failed;
                break;
        }
        for (const auto& w : r.statistics.warnings)
            err << r.input << ": warning: " << w << '\n';
    }

    if (!o.reportFile.empty()) {
        std::ostringstream text;
        JsonWriter json(text);
        writeReport(json, command, reports);
        try {
            support::writeFileAtomically(o.reportFile, text.str());
        } catch (const std::exception& e) {
            err << "corvelin-cli " << command << ": " << e.what() << '\n';
            return kExitFailure;
        }
    }
    return failed == 0 ? kExitOk : kExitFailure;
}

}  // namespace

int runConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return runBatch(args, out, err, false);
}

int runCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return runBatch(args, out, err, true);
}

}  // namespace cli
