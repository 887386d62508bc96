#include "app/param_ini.h"

#include <charconv>
#include <fstream>
#include <system_error>

#include "support/paths.h"

namespace app {
namespace {

std::optional<std::string> readKey(const support::IniFile& file, std::string_view key) {
    // A value that cannot be stored tells a missing key from an empty one.
    static constexpr std::string_view kMissing = "\x01missing\x01";
    std::string value = file.readString(kFormSection, key, kMissing);
    if (value == kMissing)
        return std::nullopt;
    return value;
}

template <typename T, typename Parse>
std::optional<T> readParsed(const support::IniFile& file, std::string_view key, Parse parse) {
    auto text = readKey(file, key);
    return text ? parse(*text) : std::nullopt;
}

std::string booleanText(bool value) { return value ? "TRUE" : "FALSE"; }

std::string fourText(const std::array<int, 4>& v) {
    return std::to_string(v[0]) + "," + std::to_string(v[1]) + "," + std::to_string(v[2]) + "," +
           std::to_string(v[3]);
}

bool folderIsWritable(const std::filesystem::path& folder) {
    // Trying is the only reliable test (permissions, read-only mounts, ACLs).
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return false;
    const std::filesystem::path probe = folder / ".Param.ini.probe";
    {
        std::ofstream out(probe);
        if (!out)
            return false;
    }
    std::filesystem::remove(probe, error);
    return true;
}

}  // namespace

std::optional<bool> parseBoolean(std::string_view text) {
    const std::string upper = support::upperAscii(text);
    if (upper == "TRUE" || upper == "YES" || upper == "Y")
        return true;
    if (upper == "FALSE" || upper == "NO" || upper == "N")
        return false;
    return std::nullopt;
}

std::optional<int> parseInteger(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::optional<std::array<int, 4>> parseFour(std::string_view text) {
    std::array<int, 4> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t comma = text.find(',');
        const bool last = i + 1 == values.size();
        if (last != (comma == std::string_view::npos))
            return std::nullopt;
        std::string_view part = text.substr(0, comma);
        while (!part.empty() && part.front() == ' ')
            part.remove_prefix(1);
        while (!part.empty() && part.back() == ' ')
            part.remove_suffix(1);
        auto value = parseInteger(part);
        if (!value)
            return std::nullopt;
        values[i] = *value;
        text = last ? std::string_view() : text.substr(comma + 1);
    }
    return values;
}

FormSettings readFormSettings(const support::IniFile& file) {
    FormSettings s;
    s.FormVersion = readParsed<int>(file, "FormVersion", parseInteger);
    s.ShowCmd = readParsed<int>(file, "ShowCmd", parseInteger);
    s.Flags = readParsed<int>(file, "Flags", parseInteger);
    s.PixelsPerInch = readParsed<int>(file, "PixelsPerInch", parseInteger);
    s.MinMaxPos = readParsed<std::array<int, 4>>(file, "MinMaxPos", parseFour);
    s.NormPos = readParsed<std::array<int, 4>>(file, "NormPos", parseFour);
    s.OpenDialog1_InitialDir = readKey(file, "OpenDialog1_InitialDir");
    s.tree_SelectedFolder = readKey(file, "tree_SelectedFolder");
    s.CheckBox1_Checked = readParsed<bool>(file, "CheckBox1_Checked", parseBoolean);
    s.JamPathEdit2_Path = readKey(file, "JamPathEdit2_Path");
    s.cbxAuto_Checked = readParsed<bool>(file, "cbxAuto_Checked", parseBoolean);
    s.rdHeb_ItemIndex = readParsed<int>(file, "rdHeb_ItemIndex", parseInteger);
    s.cbxBack_Checked = readParsed<bool>(file, "cbxBack_Checked", parseBoolean);
    return s;
}

void writeFormSettings(support::IniFile& file, const FormSettings& s) {
    file.eraseSection(kFormSection);
    auto put = [&](std::string_view key, const auto& value, auto text) {
        if (value)
            file.writeString(kFormSection, key, text(*value));
    };
    auto number = [](int v) { return std::to_string(v); };
    auto same = [](const std::string& v) { return v; };
    put("FormVersion", s.FormVersion, number);
    put("ShowCmd", s.ShowCmd, number);
    put("Flags", s.Flags, number);
    put("PixelsPerInch", s.PixelsPerInch, number);
    put("MinMaxPos", s.MinMaxPos, fourText);
    put("NormPos", s.NormPos, fourText);
    put("OpenDialog1_InitialDir", s.OpenDialog1_InitialDir, same);
    put("tree_SelectedFolder", s.tree_SelectedFolder, same);
    put("CheckBox1_Checked", s.CheckBox1_Checked, booleanText);
    put("JamPathEdit2_Path", s.JamPathEdit2_Path, same);
    put("cbxAuto_Checked", s.cbxAuto_Checked, booleanText);
    put("rdHeb_ItemIndex", s.rdHeb_ItemIndex, number);
    put("cbxBack_Checked", s.cbxBack_Checked, booleanText);
}

std::filesystem::path paramIniLocation(const std::filesystem::path& programFolder,
                                       const std::filesystem::path& configFolder) {
    if (folderIsWritable(programFolder))
        return programFolder / "Param.ini";
    return configFolder / "Param.ini";
}

}  // namespace app
