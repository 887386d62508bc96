#pragma once
// The DWG releases this engine reads and writes, from the version string at
// the start of every file (ODA §3.2.1).

#include <cstdint>
#include <optional>
#include <string_view>

namespace dwg {

// Ordered oldest first, so that "R2000 and later" reads `r >= Release::R2000`.
enum class Release : std::uint8_t { R13, R14, R2000, R2004, R2007, R2010, R2013, R2018 };

// "AC1012" ... "AC1032".
std::string_view versionString(Release release) noexcept;

// "R13", "R14", "2000", "2004", "2007", "2010", "2013", "2018".
std::string_view releaseName(Release release) noexcept;

// The release of a six-character version string, or nothing if it is not one
// of ours (older releases, later ones, or not a DWG file at all).
std::optional<Release> findRelease(std::string_view version) noexcept;

// Like findRelease, but throws UnsupportedRelease naming what was found.
Release releaseFromVersionString(std::string_view version);

// From 2007 on, text is UTF-16 (TU) instead of 8-bit in the drawing's code page.
constexpr bool isUnicode(Release release) noexcept { return release >= Release::R2007; }

}  // namespace dwg
