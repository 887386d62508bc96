#pragma once
// Conversions between the byte strings of the libraries and Qt's strings.
// Every one is explicit: with code pages 862 and 1255 in play, no implicit
// conversion may guess.

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace ui {

// Windows-1255 bytes (converted texts, font names) and back. Characters the
// code page lacks become '?'.
QString fromWindowsHebrew(std::string_view bytes);
std::string toWindowsHebrew(const QString& text);
// Whether every character has a Windows-1255 byte.
bool fitsWindowsHebrew(const QString& text);

// UTF-8 texts of the libraries (messages, paths).
inline QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string toUtf8(const QString& text) { return text.toStdString(); }

// File system paths, which the libraries hand over as std::filesystem::path.
inline QString fromPath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }
inline std::filesystem::path toPath(const QString& path) { return std::filesystem::path(path.toStdString()); }

}  // namespace ui
