#include "filter/batch.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <system_error>

#include "support/paths.h"

namespace filter {
namespace {

using Clock = std::chrono::steady_clock;

bool isDrawingName(const std::filesystem::path& path) {
    return support::equalsIgnoringAsciiCase(support::upperAscii(path.extension().string()), ".DWG");
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::exists(a, error) && std::filesystem::exists(b, error))
        return std::filesystem::equivalent(a, b, error);
    return std::filesystem::weakly_canonical(a, error) == std::filesystem::weakly_canonical(b, error);
}

// Runs one filter pass and fills the report from it.
void runFilter(TDWGFileFilter& f, const std::filesystem::path& input, RunReport& report,
               const ProgressHandler& progress, const RunHooks& hooks) {
    if (progress)
        f.OnProgress = [&](void*, int percent, int) { progress(percent); };
    if (hooks.started)
        hooks.started(f);
    try {
        f.ProcessDrawing(input.string());
    } catch (const std::exception& e) {
        report.errors.push_back(e.what());
    }
    if (!f.OpenFailure.empty()) {
        report.openFailed = true;
        report.errors.push_back("Problem with opening file: " + f.OpenFailure);
    }
    if (f.Document)
        report.releaseRead = report.releaseWritten = f.Document->release();
    report.statistics = f.Statistics();
    f.Styles.forEachKey([&](std::string_view key) {
        const ttextstyle& s = f.Styles.GetValue(key);
        report.styles.push_back({s.Name, s.FontFile, std::string(hebrew::FontKindName(s.Kind)), s.Backward,
                                 f.Fonts().KindFromTable(s.FontFile) ? "table" : "default"});
    });
    std::sort(report.styles.begin(), report.styles.end(),
              [](const RunReport::Style& a, const RunReport::Style& b) { return a.name < b.name; });
    if (!report.errors.empty() || !f.Finished)
        report.status = RunStatus::Failed;
}

}  // namespace

std::vector<std::filesystem::path> ListFolderFiles(const std::filesystem::path& folder, bool recursive) {
    std::vector<std::filesystem::path> drawings;
    std::error_code error;
    auto consider = [&](const std::filesystem::directory_entry& entry) {
        std::error_code e;
        if (isDrawingName(entry.path()) && !entry.is_directory(e))
            drawings.push_back(entry.path());
    };
    if (recursive) {
        for (auto it = std::filesystem::recursive_directory_iterator(
                 folder, std::filesystem::directory_options::skip_permission_denied, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
            consider(*it);
    } else {
        for (auto it = std::filesystem::directory_iterator(folder, error);
             !error && it != std::filesystem::directory_iterator(); it.increment(error))
            consider(*it);
    }
    std::sort(drawings.begin(), drawings.end());
    return drawings;
}

std::vector<std::filesystem::path> planOutputs(const std::vector<BatchInput>& inputs,
                                               const std::filesystem::path& outputDir) {
    std::vector<std::filesystem::path> outputs;
    outputs.reserve(inputs.size());
    for (const BatchInput& input : inputs) {
        if (outputDir.empty()) {
            outputs.push_back(input.drawing);
            continue;
        }
        std::filesystem::path relative = input.drawing.filename();
        if (!input.root.empty()) {
            const auto below = input.drawing.lexically_relative(input.root);
            if (!below.empty() && *below.begin() != "..")
                relative = below;
        }
        outputs.push_back(outputDir / relative);
    }
    // Compared as the file system resolves them, so that "a/x.dwg" and
    // "./a/x.dwg" are one file.
    std::vector<std::pair<std::filesystem::path, std::size_t>> resolved;
    resolved.reserve(outputs.size());
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        std::error_code error;
        auto canonical = std::filesystem::weakly_canonical(outputs[i], error);
        resolved.emplace_back(error ? outputs[i].lexically_normal() : canonical, i);
    }
    std::stable_sort(resolved.begin(), resolved.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < resolved.size(); ++i) {
        if (resolved[i].first != resolved[i - 1].first)
            continue;
        const auto& first = inputs[resolved[i - 1].second].drawing;
        const auto& second = inputs[resolved[i].second].drawing;
        throw std::invalid_argument(first.string() + " and " + second.string() + " would both be written to " +
                                    outputs[resolved[i].second].string());
    }
    return outputs;
}

void prepareOutputFolder(const std::filesystem::path& folder) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error))
        return;
    if (std::filesystem::exists(folder, error))
        throw std::runtime_error("output folder " + folder.string() + " is a file, not a folder");
    std::filesystem::path normal = folder.lexically_normal();
    if (normal.filename().empty())  // "out/" names the folder "out"
        normal = normal.parent_path();
    const std::filesystem::path parent = normal.parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent, error))
        throw std::runtime_error("output folder " + folder.string() + " does not exist, nor does its parent folder " +
                                 parent.string());
    std::filesystem::create_directory(folder, error);
    if (error)
        throw std::runtime_error("cannot create the output folder " + folder.string() + ": " + error.message());
}

RunReport convertDrawing(const hebrew::FontTable& fonts, const FilterOptions& options, const RunSettings& settings,
                         const std::filesystem::path& input, const std::filesystem::path& output,
                         const ProgressHandler& progress, const RunHooks& hooks) {
    const auto start = Clock::now();
    RunReport report;
    report.input = input.string();
    report.output = output.string();

    std::filesystem::path source = input;
    std::filesystem::path backup;
    if (sameFile(input, output)) {
        backup = input.string() + ".bak";
        std::error_code error;
        if (std::filesystem::exists(backup, error)) {
            report.status = RunStatus::Skipped;
            report.errors.push_back("already converted: backup exists");
            return report;
        }
        std::filesystem::rename(input, backup, error);
        if (error) {
            report.status = RunStatus::Failed;
            report.errors.push_back("cannot move " + input.string() + " to " + backup.string() + ": " +
                                    error.message());
            return report;
        }
        source = backup;
    }

    PlainStyleList ownStyles;
    TDWGFileFilter f(fonts, hooks.styles ? *hooks.styles : ownStyles, options);
    f.OutputFileName = output.string();
    f.ConvertTexts = true;
    f.CheckOnly = false;
    f.AutoCorrect = settings.autoCorrect;
    f.KeepWindowsMapping = settings.keepWindowsMapping;
    runFilter(f, source, report, progress, hooks);

    if (report.status == RunStatus::Failed && !backup.empty()) {
        // The drawing goes back where it was; nothing was written over it.
        std::error_code error;
        if (!std::filesystem::exists(input, error))
            std::filesystem::rename(backup, input, error);
    }
    report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return report;
}

RunReport checkDrawing(const hebrew::FontTable& fonts, const RunSettings& settings,
                       const std::filesystem::path& input, const ProgressHandler& progress,
                       const RunHooks& hooks) {
    const auto start = Clock::now();
    RunReport report;
    report.input = input.string();
    PlainStyleList ownStyles;
    const FixedOptions options(false);
    TDWGFileFilter f(fonts, hooks.styles ? *hooks.styles : ownStyles, options);
    f.ConvertTexts = true;
    f.CheckOnly = true;
    f.AutoCorrect = settings.autoCorrect;
    runFilter(f, input, report, progress, hooks);
    report.releaseWritten.clear();
    report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return report;
}

}  // namespace filter
