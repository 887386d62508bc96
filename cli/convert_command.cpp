// corvelin-cli convert and check: the window's batch commands for scripts.

#include <atomic>
#include <chrono>
#include <iostream>
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

std::string convertUsage() {
    return "Usage: corvelin-cli convert (--output-dir DIR | --in-place) [OPTIONS] PATH...\n"
           "       corvelin-cli convert (--output-dir DIR | --in-place) [OPTIONS] --files-from FILE\n"
           "\n"
           "Converts each drawing given, and every *.dwg of each folder given, for the ESRI\n"
           "Hebrew setting (\"RightTo Left\" unless --ltr), and saves it as AutoCAD 2004.\n"
           "One line per drawing as it finishes (FAILED lines on standard error), then a\n"
           "summary line. Drawings of every release from R13 to 2018 are converted. An\n"
           "object that cannot be carried into AutoCAD 2004 is left out with every\n"
           "reference to it and listed (\"left out: ...\" on standard error, objectsDropped\n"
           "in the report); a string shortened to a limit of 2004 is listed likewise\n"
           "(\"changed on saving: ...\", saveProblems).\n"
           "\n"
           "  -o, --output-dir DIR    write the converted drawings into DIR (created, with\n"
           "                          any missing folder above it); drawings of a folder\n"
           "                          given keep their subfolders below DIR. Two drawings\n"
           "                          that would land on one output refuse the run before\n"
           "                          anything is written\n"
           "      --in-place          convert in place, keeping each original as <name>.bak;\n"
           "                          a drawing whose backup exists is skipped\n"
           "      --rtl               convert for the \"RightTo Left\" ESRI Hebrew setting (default)\n"
           "      --ltr               convert for the \"Left To Right\" ESRI Hebrew setting\n"
           "      --no-auto-correct   do not repair letters foreign to a style's font kind\n"
           "      --keep-windows-mapping  leave attributes whose letters do not fit as they are\n"
           "      --code-page NAME    declare the converted drawings in code page NAME (such as\n"
           "                          ANSI_1255) and store every string in it; by default each\n"
           "                          drawing keeps its own, where Hebrew letters that a page\n"
           "                          such as ANSI_1252 lacks are stored as \\U+05xx escapes,\n"
           "                          which GIS programs show as they are\n"
           "      --recover           open drawings whose object map is damaged (otherwise a\n"
           "                          failure) by scanning their objects, as AutoCAD's RECOVER\n"
           "                          does; each recovery is a warning, and the converted\n"
           "                          drawing gets a fresh map\n"
           "  -j, --jobs N            convert N drawings at a time (default: the number of cores)\n"
           "  -r, --recursive         take the drawings of subfolders too\n"
           "      --files-from FILE   take the drawings and folders from FILE, one path a line\n"
           "                          (\"-\": standard input), besides any PATH given; with\n"
           "                          --output-dir, a relative path keeps its folders below DIR\n"
           "      --report FILE       write a JSON report of every drawing (checked before the\n"
           "                          run starts)\n"
           "      --report-name NAME  a name for the report (\"name\"), e.g. of a shard of a\n"
           "                          larger archive\n" +
           fontsOptionHelp("      --fonts FILE        ") + kExitStatusHelp;
}

std::string checkUsage() {
    return std::string("Usage: corvelin-cli check [OPTIONS] PATH...\n"
                       "       corvelin-cli check [OPTIONS] --files-from FILE\n"
                       "\n"
                       "Opens and walks each drawing, and every *.dwg of each folder, changing nothing;\n"
                       "reports the drawings that cannot be opened. One line per drawing as it\n"
                       "finishes (FAILED lines on standard error), then a summary line.\n"
                       "\n"
                       "  -j, --jobs N            check N drawings at a time (default: the number of cores)\n"
                       "  -r, --recursive         take the drawings of subfolders too\n"
                       "      --files-from FILE   take the drawings and folders from FILE, one path a line\n"
                       "                          (\"-\": standard input), besides any PATH given\n"
                       "      --report FILE       write a JSON report of every drawing (checked before the\n"
                       "                          run starts)\n"
                       "      --report-name NAME  a name for the report (\"name\")\n"
                       "      --recover           open drawings whose object map is damaged (otherwise a\n"
                       "                          failure) by scanning their objects, as AutoCAD's RECOVER\n"
                       "                          does; each recovery is listed as a warning, with the\n"
                       "                          fresh map a save would write\n") +
           fontsOptionHelp("      --fonts FILE        ") + kExitStatusHelp;
}

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
    std::string reportName;
    std::vector<std::string> filesFrom;
    std::vector<std::string> paths;
};

BatchOptions parse(const std::vector<std::string>& args, bool check) {
    BatchOptions o;
    o.check = check;
    std::vector<std::pair<char, std::string>> letters{{'j', "--jobs"}, {'r', "--recursive"}};
    if (!check)
        letters.emplace_back('o', "--output-dir");
    ArgumentReader in(args, std::move(letters));
    while (in.nextOption()) {
        const std::string& arg = in.option();
        if (arg == "--recursive") {
            o.recursive = true;
        } else if (arg == "--report") {
            o.reportFile = in.value();
        } else if (arg == "--report-name") {
            o.reportName = in.value();
        } else if (arg == "--files-from") {
            o.filesFrom.push_back(in.value());
        } else if (arg == "--fonts") {
            o.fontsFile = in.value();
        } else if (arg == "--recover") {
            o.settings.recoverObjectMap = true;
        } else if (arg == "--jobs") {
            const std::string& n = in.value();
            char* end = nullptr;
            const long jobs = std::strtol(n.c_str(), &end, 10);
            if (n.empty() || *end != '\0' || jobs < 1 || jobs > 256)
                throw UsageError("--jobs takes a number from 1 to 256, not '" + n + "'");
            o.jobs = static_cast<unsigned>(jobs);
        } else if (check) {
            in.unknownOption();
        } else if (arg == "--output-dir") {
            o.outputDir = in.value();
            if (o.outputDir.empty())
                throw UsageError("--output-dir needs a folder");
        } else if (arg == "--in-place") {
            o.inPlace = true;
        } else if (arg == "--no-auto-correct") {
            o.settings.autoCorrect = false;
        } else if (arg == "--keep-windows-mapping") {
            o.settings.keepWindowsMapping = true;
        } else if (arg == "--code-page") {
            const std::string& name = in.value();
            const auto page = filter::writableCodePage(name);
            if (!page)
                throw UsageError("--code-page takes the name of a single-byte code page such as ANSI_1255 or "
                                 "ANSI_1252, not '" + name + "'");
            o.settings.outputCodePage = *page;
        } else if (!in.readOrder(o.leftToRight)) {
            in.unknownOption();
        }
    }
    o.paths = in.operands();
    if (!check && o.inPlace == !o.outputDir.empty())
        throw UsageError("give either --output-dir DIR or --in-place");
    if (o.paths.empty() && o.filesFrom.empty())
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

void writeReport(JsonWriter& json, const std::string& command, const std::string& name,
                 const std::vector<filter::RunReport>& reports) {
    int failed = 0;
    for (const auto& r : reports)
        failed += r.status != filter::RunStatus::Done;
    json.beginObject();
    json.member("command", command);
    if (!name.empty())
        json.member("name", name);
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
        json.member("writer", r.writer);
        json.member("readWarnings", r.readWarnings);
        json.member("rebuiltOnSave", r.rebuiltOnSave);
        if (command == "convert") {
            json.member("releaseWritten", r.status == filter::RunStatus::Done ? r.releaseWritten : std::string());
            json.member("codePageWritten", r.status == filter::RunStatus::Done ? r.codePageWritten : std::string());
            json.member("saveProblems", r.saveProblems);
            json.key("objectsDropped").beginArray();
            for (const auto& d : r.objectsDropped) {
                json.beginObject();
                json.member("handle", d.handle).member("type", d.type).member("reason", d.reason);
                json.member("entity", d.isEntity);
                json.endObject();
            }
            json.endArray();
        }
        json.key("styles").beginArray();
        for (const auto& s : r.styles) {
            json.beginObject();
            json.member("name", s.name).member("fontFile", s.fontFile).member("kind", s.kind);
            json.member("backward", s.backward).member("kindFrom", s.kindFrom);
            json.endObject();
        }
        json.endArray();
        json.member("textsConverted", r.statistics.textsConverted);
        json.member("attributesConverted", r.statistics.attributesConverted);
        json.member("repaired", r.statistics.repaired);
        json.member("leftUnchanged", r.statistics.leftUnchanged);
        json.member("warnings", r.statistics.warnings);
        json.member("errors", r.errors);
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
    // Makes room for a line printed between updates.
    void clear() {
        if (m_enabled) {
            std::lock_guard lock(m_mutex);
            std::fprintf(stderr, "\r\033[K");
            std::fflush(stderr);
        }
    }
    void finish() { clear(); }

private:
    std::size_t m_total;
    bool m_enabled;
    std::mutex m_mutex;
};

// "1 text", "2 texts".
std::string counted(int n, const char* noun) { return std::to_string(n) + ' ' + noun + (n == 1 ? "" : "s"); }

// The paths of a --files-from file: one a line, blank lines ignored.
std::vector<std::string> readPathList(const std::string& file) {
    std::string text;
    if (file == "-") {
        std::ostringstream all;
        all << std::cin.rdbuf();
        text = all.str();
    } else {
        text = support::readFileBytes(file);
    }
    std::vector<std::string> paths;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            paths.push_back(line);
    }
    return paths;
}

// Whether the report can be written where it is asked for: its folder must
// exist and be writable, and the name must not be a folder.
void checkReportTarget(const std::filesystem::path& report) {
    std::error_code error;
    if (std::filesystem::is_directory(report, error))
        throw std::runtime_error("cannot write the report " + report.string() + ": it is a folder");
    std::filesystem::path folder = report.parent_path();
    if (folder.empty())
        folder = ".";
    if (!std::filesystem::is_directory(folder, error))
        throw std::runtime_error("cannot write the report " + report.string() + ": folder " + folder.string() +
                                 " does not exist");
    if (::access(folder.c_str(), W_OK) != 0)
        throw std::runtime_error("cannot write the report " + report.string() + ": folder " + folder.string() +
                                 " is not writable");
}

int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool check) {
    const auto start = std::chrono::steady_clock::now();
    const std::string usage = check ? checkUsage() : convertUsage();
    const std::string command = check ? "check" : "convert";
    const std::string prefix = "corvelin-cli " + command + ": ";
    BatchOptions o;
    auto parseBatch = [check](const std::vector<std::string>& a) { return parse(a, check); };
    if (auto status = parseCommand(args, out, err, command.c_str(), usage, parseBatch, o))
        return *status;

    // Everything that can be known to fail is checked before the first drawing.
    std::vector<filter::BatchInput> inputs;
    std::vector<std::filesystem::path> outputs;
    bool failedBefore = false;
    try {
        // Relative paths of a list keep their folders below the output
        // folder, so that a list made with "find . -name '*.dwg'" mirrors
        // the archive; operands keep the folders below themselves.
        std::vector<std::pair<std::string, bool>> paths;
        for (const std::string& path : o.paths)
            paths.emplace_back(path, false);
        for (const std::string& list : o.filesFrom)
            for (std::string& path : readPathList(list))
                paths.emplace_back(std::move(path), true);
        // The drawings: files as given, folders by their *.dwg entries.
        for (const auto& [path, listed] : paths) {
            const bool mirrored = listed && std::filesystem::path(path).is_relative();
            std::error_code error;
            if (!std::filesystem::is_directory(path, error)) {
                inputs.push_back({path, mirrored ? "." : ""});
                continue;
            }
            const auto found = filter::ListFolderFiles(path, o.recursive);
            if (found.empty()) {
                err << prefix << "no drawings in " << path << '\n';
                failedBefore = true;
            }
            for (const auto& drawing : found)
                inputs.push_back({drawing, mirrored ? "." : path});
        }
        if (!check)
            outputs = filter::planOutputs(inputs, o.inPlace ? std::filesystem::path() : std::filesystem::path(o.outputDir));
        if (!o.reportFile.empty())
            checkReportTarget(o.reportFile);
        if (!check && !o.inPlace && !inputs.empty())
            filter::prepareOutputFolder(o.outputDir, /*withParents=*/true);
    } catch (const std::exception& e) {
        err << prefix << e.what() << '\n';
        return kExitFailure;
    }
    if (inputs.empty())
        return kExitFailure;

    hebrew::FontTable fonts;
    if (!loadFontTable(fonts, o.fontsFile, command.c_str(), err))
        return kExitFailure;

    const filter::FixedOptions options(o.leftToRight);
    std::vector<filter::RunReport> reports(inputs.size());
    std::atomic<std::size_t> next{0}, done{0};
    ProgressLine progress(inputs.size());
    std::mutex printing;
    // Each drawing's line as soon as it is done.
    auto print = [&](const filter::RunReport& r) {
        std::lock_guard lock(printing);
        progress.clear();
        switch (r.status) {
            case filter::RunStatus::Done:
                out << (check ? "checked " : "converted ") << r.input;
                if (!check)
                    out << " -> " << r.output << " (" << counted(r.statistics.textsConverted, "text") << ", "
                        << counted(r.statistics.attributesConverted, "attribute") << ")";
                out << '\n';
                if (check)
                    out << "  release " << r.releaseRead << ", written by "
                        << (r.writer.empty() ? std::string("a program the drawing does not name") : r.writer) << '\n';
                for (const auto& w : r.readWarnings)
                    out << "  warning: " << w << '\n';
                if (!r.rebuiltOnSave.empty()) {
                    out << (check ? "  a save rebuilds: " : "  rebuilt: ");
                    for (std::size_t i = 0; i < r.rebuiltOnSave.size(); ++i)
                        out << (i == 0 ? "" : "; ") << r.rebuiltOnSave[i];
                    out << '\n';
                }
                out << std::flush;
                break;
            case filter::RunStatus::Skipped:
                out << "skipped " << r.input << ": " << r.errors.front() << '\n' << std::flush;
                break;
            case filter::RunStatus::Failed:
                err << "FAILED " << r.input << ": " << (r.errors.empty() ? "not finished" : r.errors.front()) << '\n'
                    << std::flush;
                break;
        }
        for (const auto& w : r.statistics.warnings)
            err << r.input << ": warning: " << w << '\n';
        for (const auto& d : r.objectsDropped)
            err << r.input << ": left out: " << (d.isEntity ? "entity " : "object ") << d.handle << " (" << d.type
                << "): " << d.reason << '\n';
        for (const auto& p : r.saveProblems)
            err << r.input << ": changed on saving: " << p << '\n';
    };
    auto worker = [&] {
        for (std::size_t i = next++; i < inputs.size(); i = next++) {
            const auto& input = inputs[i].drawing;
            auto onProgress = [&](int percent) { progress.update(done, input.filename().string(), percent); };
            progress.update(done, input.filename().string(), 0);
            if (check) {
                reports[i] = filter::checkDrawing(fonts, o.settings, input, onProgress);
            } else {
                // The subfolders mirrored below the output folder.
                std::error_code error;
                std::filesystem::create_directories(outputs[i].parent_path(), error);
                reports[i] = filter::convertDrawing(fonts, options, o.settings, input, outputs[i], onProgress);
            }
            print(reports[i]);
            progress.update(++done, input.filename().string(), 100);
        }
    };
    const unsigned jobs = std::max(1u, std::min<unsigned>(o.jobs ? o.jobs : std::thread::hardware_concurrency(),
                                                          static_cast<unsigned>(inputs.size())));
    std::vector<std::thread> threads;
    for (unsigned j = 1; j < jobs; ++j)
        threads.emplace_back(worker);
    worker();
    for (auto& t : threads)
        t.join();
    progress.finish();

    int succeeded = 0, failed = 0, skipped = 0;
    for (const auto& r : reports) {
        succeeded += r.status == filter::RunStatus::Done;
        failed += r.status == filter::RunStatus::Failed;
        skipped += r.status == filter::RunStatus::Skipped;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    out << succeeded << (check ? " checked, " : " converted, ") << failed << " failed";
    if (!check)
        out << ", " << skipped << " skipped";
    out << " in " << seconds << " s\n";

    if (!o.reportFile.empty()) {
        std::ostringstream text;
        JsonWriter json(text);
        writeReport(json, command, o.reportName, reports);
        try {
            support::writeFileAtomically(o.reportFile, text.str());
        } catch (const std::exception& e) {
            err << prefix << e.what() << '\n';
            return kExitFailure;
        }
    }
    return failed == 0 && skipped == 0 && !failedBefore ? kExitOk : kExitFailure;
}

}  // namespace

int runConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return runBatch(args, out, err, false);
}

int runCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return runBatch(args, out, err, true);
}

}  // namespace cli
