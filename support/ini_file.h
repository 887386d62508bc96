#pragma once
// An initialisation file ("[Section]" headers and "key=value" lines) read and
// edited the way the Windows profile functions (GetPrivateProfileString,
// WritePrivateProfileString, erasing a section) do it. The font definition
// file "HebFonts.txt" and the window settings "Param.ini" are such files.
//
// Text is bytes; section names and keys match ignoring the case of ASCII
// letters only. Edits touch only the lines they change: every other byte,
// comments, blank lines, spacing and line endings included, stays as it was.
// New lines end with CR LF.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace support {

class IniFile {
public:
    IniFile() = default;

    // A missing file gives an empty IniFile that save() creates; other read
    // errors throw OpenError.
    static IniFile load(const std::filesystem::path& file);
    // Not bound to a file: only saveAs() can write it.
    static IniFile fromBytes(std::string bytes);

    // The value of the first line of `key` in the first section named
    // `section`, trimmed of blanks and tabs and without one enclosing pair of
    // matching quotes. A missing section or key gives `defaultValue` less its
    // trailing spaces, as Windows does.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // Rewrites the key's line in place, else adds "key=value" after the last
    // non-blank line of the section, else appends the section at the end. A
    // value that reading would change (blanks at an end, enclosing quotes) is
    // written inside double quotes, so that readString gives it back.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    // Removes the first section of that name: its header and every line up to
    // the next header. A missing section changes nothing.
    void eraseSection(std::string_view section);
    // Appends an empty section "[section]" unless one of that name exists, so
    // that a section written without keys is still there when read back.
    void addSection(std::string_view section);

    // Names of the sections and of the keys of one section, in file order as
    // spelt there; a name that repeats (ignoring case) is listed once, since
    // only its first occurrence can be read.
    std::vector<std::string> sectionNames() const;
    std::vector<std::string> keys(std::string_view section) const;

    // The content as save() would write it.
    const std::string& bytes() const { return m_bytes; }
    const std::filesystem::path& path() const { return m_path; }

    // Throw WriteError ("Unable to write to <file>: <reason>") on failure.
    void save() const;
    void saveAs(const std::filesystem::path& file) const;

private:
    std::filesystem::path m_path;
    std::string m_bytes;
};

}  // namespace support
