#include "filter/batch.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/atomic_file.h"
#include "support/paths.h"

namespace filter {
namespace {

using Clock = std::chrono::steady_clock;

bool isDrawingName(const std::filesystem::path& path) {
    return support::equalsIgnoringAsciiCase(support::upperAscii(path.extension().string()), ".DWG");
}

bool entryExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

std::string systemReason(int error) { return std::strerror(error); }

// Renames without replacing: false with EEXIST when `to` is taken.
int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: the check and the rename are not one step.
    if (entryExists(to))
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Gives `drawing` a second name `backup` while it keeps its own: a hard link,
// or, where the file system has none, a copy made complete under a temporary
// name first. Returns 0 or the errno of the failure.
int keepBackup(const std::filesystem::path& drawing, const std::filesystem::path& backup) {
    if (::link(drawing.c_str(), backup.c_str()) == 0)
        return 0;
    if (errno != EPERM && errno != EMLINK && errno != ENOTSUP && errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    try {
        const std::filesystem::path copy =
            support::createTemporaryFile(backup.parent_path(), ".corvelin-", ".bak", backup);
        try {
            support::writeFileAtomically(copy, support::readFileBytes(drawing), support::Links::Replace);
        } catch (...) {
            ::unlink(copy.c_str());
            return EIO;
        }
        if (int error = renameNoReplace(copy, backup)) {
            ::unlink(copy.c_str());
            return error;
        }
        return 0;
    } catch (const std::exception&) {
        return EIO;
    }
}

// A backup that is the drawing itself (the same file, or the same bytes) was
// left by a conversion stopped between keeping the backup and putting the
// result in place: the drawing was never converted.
bool backupIsTheDrawing(const std::filesystem::path& drawing, const std::filesystem::path& backup) {
    std::error_code error;
    if (std::filesystem::equivalent(drawing, backup, error))
        return true;
    try {
        return support::readFileBytes(drawing) == support::readFileBytes(backup);
    } catch (const std::exception&) {
        return false;
    }
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
    } catch (const DrawingError& e) {
        report.errors.push_back(e.what());
    } catch (const std::bad_alloc&) {
        report.errors.push_back(input.string() + ": out of memory");
    } catch (const std::exception& e) {
        // Not the drawing's fault but ours: said as such, and the run goes
        // on with the next drawing.
        report.errors.push_back(input.string() + ": internal error: " + e.what());
    }
    if (!f.OpenFailure.empty()) {
        report.openFailed = true;
        report.errors.push_back("Problem with opening file: " + f.OpenFailure);
    }
    if (f.Document) {
        report.releaseRead = f.Document->release();
        report.releaseWritten = f.Document->releaseWritten();
        report.codePageWritten = f.Document->codePageWritten();
        report.objectsDropped = f.Document->droppedInSave();
        report.saveProblems = f.Document->problemsInSave();
        report.writer = f.Document->writer();
        report.readWarnings = f.Document->readWarnings();
        report.rebuiltOnSave = f.Document->rebuiltOnSave();
    }
    // Warnings of the run itself (a restored backup) come before the pass's own.
    std::vector<std::string> warnings = std::move(report.statistics.warnings);
    report.statistics = f.Statistics();
    report.statistics.warnings.insert(report.statistics.warnings.begin(), warnings.begin(), warnings.end());
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
        // Regular files only (links to them included): reading a FIFO or a
        // device named *.dwg would wait or run on for ever.
        if (isDrawingName(entry.path()) && entry.is_regular_file(e))
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

void prepareOutputFolder(const std::filesystem::path& folder, bool withParents) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error))
        return;
    if (std::filesystem::exists(folder, error))
        throw std::runtime_error("output folder " + folder.string() + " is a file, not a folder");
    std::filesystem::path normal = folder.lexically_normal();
    if (normal.filename().empty())  // "out/" names the folder "out"
        normal = normal.parent_path();
    const std::filesystem::path parent = normal.parent_path();
    if (!withParents && !parent.empty() && !std::filesystem::is_directory(parent, error))
        throw std::runtime_error("output folder " + folder.string() + " does not exist, nor does its parent folder " +
                                 parent.string());
    if (withParents)
        std::filesystem::create_directories(folder, error);
    else
        std::filesystem::create_directory(folder, error);
    if (error)
        throw std::runtime_error("cannot create the output folder " + folder.string() + ": " + error.message());
}

namespace {

// Our engine, recovering a damaged object map and saving in another code
// page when the settings ask for it.
TDWGFileFilter::Opener openerFor(const RunSettings& settings) {
    OpenOptions open;
    open.recoverObjectMap = settings.recoverObjectMap;
    open.outputCodePage = settings.outputCodePage;
    return [open](const std::filesystem::path& file) { return openDrawing(file, open); };
}

RunReport runConversion(const hebrew::FontTable& fonts, const FilterOptions& options, const RunSettings& settings,
                        const std::filesystem::path& input, const std::filesystem::path& output,
                        const ProgressHandler& progress, const RunHooks& hooks, RunReport report) {
    PlainStyleList ownStyles;
    TDWGFileFilter f(fonts, hooks.styles ? *hooks.styles : ownStyles, options, openerFor(settings));
    f.OutputFileName = output.string();
    f.ConvertTexts = true;
    f.CheckOnly = false;
    f.AutoCorrect = settings.autoCorrect;
    f.KeepWindowsMapping = settings.keepWindowsMapping;
    runFilter(f, input, report, progress, hooks);
    return report;
}

// In place: the result is written to a temporary file beside the drawing;
// then the drawing gets its second name "<name>.bak" and the result takes
// the drawing's name in one rename. The drawing is never absent under its
// own name, whenever the run stops.
RunReport convertInPlace(const hebrew::FontTable& fonts, const FilterOptions& options, const RunSettings& settings,
                         const std::filesystem::path& drawing, const ProgressHandler& progress,
                         const RunHooks& hooks, RunReport report) {
    const std::filesystem::path backup = drawing.string() + ".bak";
    auto fail = [&](std::string message) {
        report.status = RunStatus::Failed;
        report.errors.push_back(std::move(message));
        return report;
    };
    if (entryExists(backup)) {
        if (!entryExists(drawing)) {
            // Left by an older program's conversion, which moved the drawing
            // away first and was stopped: the backup is the drawing.
            if (int error = renameNoReplace(backup, drawing))
                return fail("cannot restore " + drawing.string() + " from " + backup.string() + ": " +
                            systemReason(error));
            report.statistics.warnings.push_back("restored " + drawing.string() + " from " + backup.string() +
                                                 ", left by an interrupted conversion");
        } else if (backupIsTheDrawing(drawing, backup)) {
            ::unlink(backup.c_str());
            report.statistics.warnings.push_back("removed " + backup.string() +
                                                 ", left by an interrupted conversion of the same drawing");
        } else {
            report.status = RunStatus::Skipped;
            report.errors.push_back("already converted: backup exists");
            return report;
        }
    }

    std::filesystem::path temporary;
    try {
        temporary = support::createTemporaryFile(drawing.parent_path(), ".corvelin-", ".dwg", drawing);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    // The result keeps the drawing's permission bits.
    struct stat info {};
    if (::stat(drawing.c_str(), &info) == 0)
        ::chmod(temporary.c_str(), info.st_mode & 07777);

    report = runConversion(fonts, options, settings, drawing, temporary, progress, hooks, std::move(report));
    if (report.status == RunStatus::Failed) {
        ::unlink(temporary.c_str());
        return report;
    }
    if (int error = keepBackup(drawing, backup)) {
        ::unlink(temporary.c_str());
        return fail("cannot keep " + drawing.string() + " as " + backup.string() + ": " + systemReason(error));
    }
    if (::rename(temporary.c_str(), drawing.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        ::unlink(backup.c_str());
        return fail("cannot put the result in place of " + drawing.string() + ": " + systemReason(error));
    }
    return report;
}

}  // namespace

RunReport convertDrawing(const hebrew::FontTable& fonts, const FilterOptions& options, const RunSettings& settings,
                         const std::filesystem::path& input, const std::filesystem::path& output,
                         const ProgressHandler& progress, const RunHooks& hooks) {
    const auto start = Clock::now();
    RunReport report;
    report.input = input.string();
    report.output = output.string();
    // In place only when the output is the input's own directory entry;
    // another link to the same file is replaced by the result.
    if (support::sameDirectoryEntry(input, output))
        report = convertInPlace(fonts, options, settings, input, progress, hooks, std::move(report));
    else
        report = runConversion(fonts, options, settings, input, output, progress, hooks, std::move(report));
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
    TDWGFileFilter f(fonts, hooks.styles ? *hooks.styles : ownStyles, options, openerFor(settings));
    f.ConvertTexts = true;
    f.CheckOnly = true;
    f.AutoCorrect = settings.autoCorrect;
    runFilter(f, input, report, progress, hooks);
    report.releaseWritten.clear();
    report.codePageWritten.clear();
    report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return report;
}

}  // namespace filter
