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

// The drawings of a folder: every regular file whose name ends in ".dwg"
// (ignoring case), in name order; with `recursive`, those of its
// subfolders too.
std::vector<std::filesystem::path> ListFolderFiles(const std::filesystem::path& folder, bool recursive);

struct RunSettings {
    bool autoCorrect = true;
    bool keepWindowsMapping = false;
    // Open drawings whose object map is damaged by scanning their objects
    // (the command-line tool's --recover), with a warning per recovery.
    bool recoverObjectMap = false;
    // The DWGCODEPAGE the converted drawings declare and store their strings
    // in (writableCodePage); 0 for each drawing's own.
    int outputCodePage = 0;
};

enum class RunStatus { Done, Failed, Skipped };

// What one drawing's run did.
struct RunReport {
    std::string input;
    std::string output;
    RunStatus status = RunStatus::Done;
    std::string releaseRead;
    std::string releaseWritten;
    std::string codePageWritten;  // "ANSI_1255"
    // What the save could not carry into the release it wrote, and what it
    // changed on the way.
    std::vector<DroppedObject> objectsDropped;
    std::vector<std::string> saveProblems;
    // What opening the drawing found: the program that wrote it (empty when
    // it does not say), harmless oddities, and what a save rebuilds.
    std::string writer;
    std::vector<std::string> readWarnings;
    std::vector<std::string> rebuiltOnSave;
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
// is taken; a missing one is created when its parent exists, or with every
// missing folder above it when `withParents` (as the command-line tool always
// did). Anything else is a std::runtime_error that says why.
void prepareOutputFolder(const std::filesystem::path& folder, bool withParents = false);

using ProgressHandler = std::function<void(int percent)>;

// How a window takes part in a drawing's run: the style list that the pass
// fills (a private one when none is given), and a look at the filter once it
// is set up, right before the pass starts (to connect its error event or its
// message processing). The filter is freed when the run returns.
struct RunHooks {
    StyleList* styles = nullptr;
    std::function<void(TDWGFileFilter&)> started;
};

// Converts `input` into `output`; the report's output names the file written.
// When both name one directory entry the drawing is converted in place and
// the original kept as "<input>.bak": the result is written beside it first,
// and the drawing is never absent under its own name. Nothing is done when
// that backup already exists (converting twice garbles texts), except that a
// backup left by an interrupted run is recognised: without the drawing it is
// restored, and when it is the unconverted drawing itself it is dropped;
// either is said in the report's warnings. Any other output name is replaced
// by the result (a link there too) and the input is never touched.
RunReport convertDrawing(const hebrew::FontTable& fonts, const FilterOptions& options, const RunSettings& settings,
                         const std::filesystem::path& input, const std::filesystem::path& output,
                         const ProgressHandler& progress = {}, const RunHooks& hooks = {});

// Opens and walks a drawing without changing or saving anything.
RunReport checkDrawing(const hebrew::FontTable& fonts, const RunSettings& settings,
                       const std::filesystem::path& input, const ProgressHandler& progress = {},
                       const RunHooks& hooks = {});

}  // namespace filter
