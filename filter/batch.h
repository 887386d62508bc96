#pragma once
// Runs of the filter over drawings, as the window's commands and the
// command-line tool make them: which drawings a folder holds, the output
// name of each, the ".bak" backup of an in-place conversion, and what each
// drawing's run did.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "filter/filterclass.h"

namespace filter {

// The drawings of a folder: every entry whose name ends in ".dwg" (ignoring
// case) and that is no folder, in name order; with `recursive`, those of its
// subfolders too.
std::vector<std::filesystem::path> ListFolderFiles(const std::filesystem::path& folder, bool recursive);

struct RunSettings {
    bool autoCorrect = true;
    bool keepWindowsMapping = false;
};

enum class RunStatus { Done, Failed, Skipped };

// What one drawing's run did.
struct RunReport {
    std::string input;
    std::string output;
    RunStatus status = RunStatus::Done;
    std::string releaseRead;
    std::string releaseWritten;
    struct Style {
        std::string name, fontFile, kind;
        bool backward = false;
        std::string kindFrom;  // "table" when a row of the font table gave the kind, else "default"
    };
    std::vector<Style> styles;
    FilterStatistics statistics;
    std::vector<std::string> errors;
    bool openFailed = false;  // the drawing could not be opened (also in errors)
    double seconds = 0.0;
};

// One drawing of a batch: the drawing, and the folder given on the command
// line that it was found in (empty for a drawing given by itself).
struct BatchInput {
    std::filesystem::path drawing;
    std::filesystem::path root;
};

// Where each drawing of a batch goes: into `outputDir`, below it in the same
// subfolders as below its root, or onto itself when `outputDir` is empty (in
// place). Two drawings that would land on one output are refused with a
// std::invalid_argument naming both, before anything is written.
std::vector<std::filesystem::path> planOutputs(const std::vector<BatchInput>& inputs,
                                               const std::filesystem::path& outputDir);

// Makes sure an output folder exists before a run starts: an existing folder
// is taken, a missing one is created when its parent exists. Anything else
// is a std::runtime_error that says why.
void prepareOutputFolder(const std::filesystem::path& folder);

using ProgressHandler = std::function<void(int percent)>;

// How a window takes part in a drawing's run: the style list that the pass
// fills (a private one when none is given), and a look at the filter once it
// is set up, right before the pass starts (to connect its error event or its
// message processing). The filter is freed when the run returns.
struct RunHooks {
    StyleList* styles = nullptr;
    std::function<void(TDWGFileFilter&)> started;
};

// Converts `input` into `output`. When both name the same file the drawing
// is converted in place: it is first moved to "<input>.bak" (nothing is done
// when that backup already exists, since converting twice garbles texts), and
// moved back if the conversion fails, so that no drawing is ever lost.
RunReport convertDrawing(const hebrew::FontTable& fonts, const FilterOptions& options, const RunSettings& settings,
                         const std::filesystem::path& input, const std::filesystem::path& output,
                         const ProgressHandler& progress = {}, const RunHooks& hooks = {});

// Opens and walks a drawing without changing or saving anything.
RunReport checkDrawing(const hebrew::FontTable& fonts, const RunSettings& settings,
                       const std::filesystem::path& input, const ProgressHandler& progress = {},
                       const RunHooks& hooks = {});

}  // namespace filter
