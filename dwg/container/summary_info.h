#pragma once
// AcDb:SummaryInfo (ODA §13), the drawing properties of 2004 and later
// files: eight strings (title, subject, author, keywords, comments, last
// saved by, revision number, hyperlink base), the total editing time, the
// creation and modification dates, custom properties as (name, value)
// string pairs, and two RLs (0 in every file seen).
//
// A string is an RS length and the characters: 8-bit bytes in the
// drawing's code page before 2007, UTF-16 code units from 2007 on (the
// length then counts units). AutoCAD counts and writes a terminating zero,
// so that an empty string is the zero alone; another program's 2004 files
// hold empty strings of length 0 without the zero. Every sample of 2004 to
// 2018 is read and written back byte for byte.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "dwg/bits/codes.h"
#include "dwg/container/dwg_file.h"
#include "dwg/release.h"

namespace dwg {

// An empty string as AutoCAD stores it: the terminating zero alone.
inline Text emptySummaryText() {
    Text text;
    text.terminated = true;
    return text;
}

struct SummaryProperty {
    Text name;
    Text value;
    friend bool operator==(const SummaryProperty&, const SummaryProperty&) = default;
};

// The section's fields as stored, in the form of the release it was read in
// (Text::bytes before 2007, Text::units from 2007 on). A default one is what
// AutoCAD writes for a new drawing: every string empty, no time, no dates.
struct SummaryInfo {
    Text title = emptySummaryText();
    Text subject = emptySummaryText();
    Text author = emptySummaryText();
    Text keywords = emptySummaryText();
    Text comments = emptySummaryText();
    Text lastSavedBy = emptySummaryText();
    Text revisionNumber = emptySummaryText();
    Text hyperlinkBase = emptySummaryText();
    // The 8 bytes of each as a little-endian value: a day count in the low
    // RL and milliseconds in the high one. In every sample the dates are
    // the header's TDUCREATE and TDUUPDATE (Julian days, universal time)
    // and the editing time is its TDINDWG, except that the ODA's files hold
    // 0 for the editing time ("ODA writes two zero Int32's", ODA §13).
    std::uint64_t totalEditingTime = 0;
    std::uint64_t created = 0;
    std::uint64_t modified = 0;
    std::vector<SummaryProperty> properties;
    std::uint32_t unknown1 = 0;
    std::uint32_t unknown2 = 0;
    // Bytes after the second RL (none in any file seen), written back.
    std::vector<std::uint8_t> trailing;

    friend bool operator==(const SummaryInfo&, const SummaryInfo&) = default;
};

// The eight strings before the dates, in the section's order, with their
// names for messages.
struct SummaryText {
    const char* name;
    Text* text;
};
std::array<SummaryText, 8> summaryTexts(SummaryInfo& info);

// The section's bytes read in the form of `release` (8-bit strings before
// 2007). FormatError where they end inside a field ("title: expected 7
// bytes, found 3 at byte 2").
SummaryInfo decodeSummaryInfo(std::span<const std::uint8_t> data, Release release);

// The section's bytes in the form of `release`; a decoded section encodes
// back to its bytes. A string in the other release's form (units for a
// release before 2007, bytes for a later one) or longer than an RS can count
// is a caller's mistake: std::invalid_argument.
std::vector<std::uint8_t> encodeSummaryInfo(const SummaryInfo& info, Release release);

// The AcDb:SummaryInfo bytes of a file that was read (2004 to 2018), in
// the file's release form; empty for a file without the section (R13 to
// 2000, or a 2007 file whose section could not be read). A damaged section
// of a 2004 to 2018 file gives what its reader put in its place.
std::vector<std::uint8_t> summaryInfoSection(const DwgFile& file);

}  // namespace dwg
