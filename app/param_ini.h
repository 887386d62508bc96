#pragma once
// "Param.ini": the main window's options and placement between runs, in
// section "Form1", thirteen keys written in a fixed order. Every key is
// optional when read (a missing or malformed value leaves the control as it
// is); every key is written at every save.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "support/ini_file.h"

namespace app {

inline constexpr std::string_view kFormSection = "Form1";

struct FormSettings {
    std::optional<int> FormVersion;
    std::optional<int> ShowCmd;  // 1 normal, 2 minimized, 3 maximized
    std::optional<int> Flags;
    std::optional<int> PixelsPerInch;
    std::optional<std::array<int, 4>> MinMaxPos;  // minimized x, y; maximized x, y
    std::optional<std::array<int, 4>> NormPos;    // left, top, right, bottom
    std::optional<std::string> OpenDialog1_InitialDir;
    std::optional<std::string> tree_SelectedFolder;
    std::optional<bool> CheckBox1_Checked;
    std::optional<std::string> JamPathEdit2_Path;
    std::optional<bool> cbxAuto_Checked;
    std::optional<int> rdHeb_ItemIndex;
    std::optional<bool> cbxBack_Checked;

    bool operator==(const FormSettings&) const = default;
};

// "TRUE", "YES", "Y" and "FALSE", "NO", "N", ignoring case; nothing otherwise.
std::optional<bool> parseBoolean(std::string_view text);
// A decimal integer with an optional sign; nothing otherwise.
std::optional<int> parseInteger(std::string_view text);
// "%d,%d,%d,%d"; nothing unless exactly four integers.
std::optional<std::array<int, 4>> parseFour(std::string_view text);

FormSettings readFormSettings(const support::IniFile& file);
// Erases section "Form1" and writes every key that `settings` holds, in the
// file's fixed order; other sections stay as they were.
void writeFormSettings(support::IniFile& file, const FormSettings& settings);

// Where "Param.ini" lives: beside the program when that folder can be
// written, else in the user's configuration folder (an installed program).
std::filesystem::path paramIniLocation(const std::filesystem::path& programFolder,
                                       const std::filesystem::path& configFolder);

}  // namespace app
