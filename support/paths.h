#pragma once
// Parts of the file paths that drawings and font tables hold. Such paths come
// from Windows, so a backslash, a slash and a drive colon all end a folder.

#include <filesystem>
#include <string>
#include <string_view>

namespace support {

bool isPathSeparator(char c);

// Everything up to and including the last separator ("" when there is none).
std::string_view folderPart(std::string_view path);
// Everything after the last separator.
std::string_view fileNamePart(std::string_view path);
// From the last full stop of the file-name part on, the stop included ("" when none).
std::string_view extensionPart(std::string_view path);
// `path` without its extension.
std::string_view withoutExtension(std::string_view path);

// `text` without the blanks and tabs at its ends, as INI keys and values are read.
std::string_view trimBlanks(std::string_view text);

// ASCII-only case mapping and comparison, as font names and INI keys need.
std::string upperAscii(std::string_view text);
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);
// <0, 0, >0 like strcmp, comparing upper-cased ASCII letters.
int compareIgnoringAsciiCase(std::string_view a, std::string_view b);

// Whether two paths name one directory entry: the same name in the same
// folder, the folders compared after resolving links. Two links to one file
// (hard or symbolic) are two entries: writing one must not touch the other.
bool sameDirectoryEntry(const std::filesystem::path& a, const std::filesystem::path& b);

// The user's documents folder: XDG_DOCUMENTS_DIR of the XDG user-dirs file,
// else the home folder (as xdg-user-dir does). Empty when there is no home.
std::filesystem::path documentsFolder();

}  // namespace support
