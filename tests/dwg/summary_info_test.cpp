// AcDb:SummaryInfo (ODA §13): every sample of 2004 to 2018 read and written
// back byte for byte, its dates against the header's, sections of both
// string forms made by hand, damage, and 2018 drawings saved as 2004
// against AutoCAD's own 2004 saves of the same drawings.

#include "dwg/container/summary_info.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "dwg/container/dwg_file.h"
#include "dwg/drawing/drawing.h"
#include "dwg/errors.h"
#include "dwg/objects/header_variables.h"
#include "test_support.h"

namespace dwg {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

// A TimeBL of the header as the section stores it: days, then milliseconds.
std::uint64_t stored(const HeaderValue& value) {
    const auto& date = std::get<JulianDate>(value);
    return std::uint64_t{static_cast<std::uint32_t>(date.milliseconds)} << 32 | static_cast<std::uint32_t>(date.day);
}

TEST(SummaryInfo, EverySampleOf2004To2018IsWrittenBackAsItWasRead) {
    const std::vector<std::string> names = test::samplesFrom2004();
    if (names.empty()) GTEST_SKIP() << "no drawings of 2004 or later in " << CORVELIN_SAMPLES_DIR;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const DwgFile file = readDwgFile(*test::loadSample(name));
        const Bytes section = summaryInfoSection(file);
        ASSERT_FALSE(section.empty());
        const SummaryInfo info = decodeSummaryInfo(section, file.release);
        EXPECT_EQ(encodeSummaryInfo(info, file.release), section);
        // The dates are the header's universal ones; the editing time its
        // TDINDWG, or 0 from the ODA.
        const HeaderVariables header = HeaderVariables::decode(file.headerVariables, file.release);
        EXPECT_EQ(info.created, stored(header.get("TDUCREATE")));
        EXPECT_EQ(info.modified, stored(header.get("TDUUPDATE")));
        const std::uint64_t editingTime = writerOf(file).starts_with("Teigha") ? 0 : stored(header.get("TDINDWG"));
        EXPECT_EQ(info.totalEditingTime, editingTime);
    }
    EXPECT_GE(names.size(), 80U);

    // example_2004.dwg: "rurban" saved it; the other strings are the zero alone.
    if (const auto bytes = test::loadSample("example_2004.dwg")) {
        const DwgFile file = readDwgFile(*bytes);
        const SummaryInfo info = decodeSummaryInfo(summaryInfoSection(file), file.release);
        EXPECT_EQ(info.lastSavedBy.bytes, "rurban");
        EXPECT_TRUE(info.lastSavedBy.terminated);
        EXPECT_EQ(info.title, emptySummaryText());
        EXPECT_EQ(info.hyperlinkBase, emptySummaryText());
        EXPECT_TRUE(info.properties.empty());
    }
}

// Worked out from ODA §13: the 2004 form with a property and the empty
// strings of length 0 another program writes, and the 2007 form.
const Bytes k2004Section = test::hexToBytes(
    "03 00 41 42 00"                       // title "AB"
    "00 00 00 00 00 00 00 00 00 00 00 00"  // subject to revision number: length 0, no zero
    "01 00 00"                             // hyperlink base: the zero alone
    "00 00 00 00 10 27 00 00"              // editing time: 0 days, 10000 ms
    "DB 7C 25 00 FE D1 D3 00"              // created: day 2456795, 13881854 ms
    "FB 7C 25 00 C2 49 8A 01"              // modified
    "01 00"                                // one property
    "03 00 4B 31 00 03 00 E9 F9 00"        // "K1" = E9 F9 (Windows-1255 bytes)
    "07 00 00 00 08 00 00 00");            // the two RLs
const Bytes k2007Section = test::hexToBytes(
    "03 00 41 00 D0 05 00 00"  // title "A" and HEBREW LETTER ALEF
    "01 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00"
    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
    "00 00"
    "00 00 00 00 00 00 00 00");

TEST(SummaryInfo, SectionsMadeByHandOfBothForms) {
    const SummaryInfo old = decodeSummaryInfo(k2004Section, Release::R2004);
    EXPECT_EQ(old.title.bytes, "AB");
    EXPECT_TRUE(old.title.terminated);
    EXPECT_EQ(old.subject.bytes, "");
    EXPECT_FALSE(old.subject.terminated);
    EXPECT_TRUE(old.hyperlinkBase.terminated);
    EXPECT_EQ(old.totalEditingTime, 10000ULL << 32);
    EXPECT_EQ(old.created, 0x00D3D1FE'00257CDBULL);
    ASSERT_EQ(old.properties.size(), 1U);
    EXPECT_EQ(old.properties[0].name.bytes, "K1");
    EXPECT_EQ(old.properties[0].value.bytes, "\xE9\xF9");
    EXPECT_EQ(old.unknown1, 7U);
    EXPECT_EQ(old.unknown2, 8U);
    EXPECT_TRUE(old.trailing.empty());
    EXPECT_EQ(encodeSummaryInfo(old, Release::R2004), k2004Section);

    const SummaryInfo wide = decodeSummaryInfo(k2007Section, Release::R2013);
    EXPECT_EQ(wide.title.units, u"A\u05D0");
    EXPECT_EQ(wide.subject, emptySummaryText());
    EXPECT_EQ(encodeSummaryInfo(wide, Release::R2013), k2007Section);
    // A default one is AutoCAD's for a new drawing: k2007Section without
    // its title, in either form.
    Bytes fresh = k2007Section;
    fresh.erase(fresh.begin(), fresh.begin() + 8);
    fresh.insert(fresh.begin(), {0x01, 0x00, 0x00, 0x00});
    EXPECT_EQ(encodeSummaryInfo(SummaryInfo{}, Release::R2018), fresh);
    EXPECT_EQ(encodeSummaryInfo(SummaryInfo{}, Release::R2004).size(), 8 * 3 + 24 + 2 + 8U);

    // Bytes after the two RLs are kept.
    Bytes longer = k2004Section;
    longer.push_back(0x5A);
    EXPECT_EQ(decodeSummaryInfo(longer, Release::R2004).trailing, Bytes{0x5A});
    EXPECT_EQ(encodeSummaryInfo(decodeSummaryInfo(longer, Release::R2004), Release::R2004), longer);

    // A string in the other release's form is the caller's mistake.
    EXPECT_THROW(encodeSummaryInfo(old, Release::R2007), std::invalid_argument);
    EXPECT_THROW(encodeSummaryInfo(wide, Release::R2004), std::invalid_argument);
}

TEST(SummaryInfo, CutSectionsAreReported) {
    for (std::size_t size = 0; size < k2004Section.size(); ++size) {
        const std::span<const std::uint8_t> cut(k2004Section.data(), size);
        EXPECT_THROW(decodeSummaryInfo(cut, Release::R2004), FormatError) << size;
    }
    EXPECT_THAT([] { decodeSummaryInfo(std::span(k2007Section).first(5), Release::R2007); },
                ThrowsMessage<FormatError>(HasSubstr("title: expected 6 bytes, found 3 at byte 2")));
    // A property count that the bytes cannot hold.
    Bytes counted = k2004Section;
    counted[counted.size() - 8 - 12] = 0xFF;
    EXPECT_THAT([&] { decodeSummaryInfo(counted, Release::R2004); },
                ThrowsMessage<FormatError>(HasSubstr("property")));
}

// The same drawings as 2018 saved as 2004 and as AutoCAD saved them as
// 2004: the strings, properties, creation date and RLs agree; the editing
// time and the modification date are the saves' own (and the ODA, which
// wrote the 2018 series, leaves the editing time at 0).
TEST(SummaryInfo, A2018DrawingSavedAs2004HasAutoCads2004Section) {
    std::vector<std::pair<std::string, std::string>> pairs{{"example_2018.dwg", "example_2004.dwg"},
                                                           {"text_2018.dwg", "text_2004.dwg"}};
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(CORVELIN_SAMPLES_DIR) / "dwg/series/2018", error))
        if (entry.path().extension() == ".dwg")
            pairs.emplace_back("series/2018/" + entry.path().filename().string(),
                               "series/2004/" + entry.path().filename().string());
    int compared = 0;
    for (const auto& [later, autocad2004] : pairs) {
        SCOPED_TRACE(later);
        const auto laterBytes = test::loadSample(later);
        const auto autocadBytes = test::loadSample(autocad2004);
        if (!laterBytes || !autocadBytes) continue;
        const Bytes saved = Drawing::fromBytes(*laterBytes, later).toBytes(Release::R2004);
        const Bytes expected = summaryInfoSection(readDwgFile(*autocadBytes));
        const SummaryInfo theirs = decodeSummaryInfo(expected, Release::R2004);
        SummaryInfo ours = decodeSummaryInfo(summaryInfoSection(readDwgFile(saved)), Release::R2004);
        EXPECT_EQ(ours.created, theirs.created);
        ours.totalEditingTime = theirs.totalEditingTime;
        ours.modified = theirs.modified;
        EXPECT_EQ(encodeSummaryInfo(ours, Release::R2004), expected);
        ++compared;
    }
    if (compared == 0) GTEST_SKIP() << "no pairs of 2018 and 2004 drawings in " << CORVELIN_SAMPLES_DIR;
    EXPECT_GE(compared, 16);
}

TEST(SummaryInfo, FilesWithoutTheSectionGiveNone) {
    EXPECT_TRUE(summaryInfoSection(DwgFile{}).empty());
    if (const auto bytes = test::loadSample("example_2000.dwg")) {
        EXPECT_TRUE(summaryInfoSection(readDwgFile(*bytes)).empty());
    }
}

}  // namespace
}  // namespace dwg
