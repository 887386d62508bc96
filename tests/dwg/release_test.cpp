#include "dwg/release.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "dwg/errors.h"

namespace dwg {
namespace {

using ::testing::ThrowsMessage;

TEST(Release, VersionStringsAndNamesOfEveryRelease) {
    // ODA §3.2.1.
    const struct {
        Release release;
        const char* version;
        const char* name;
        bool unicode;
    } releases[] = {
        {Release::R13, "AC1012", "R13", false},    {Release::R14, "AC1014", "R14", false},
        {Release::R2000, "AC1015", "2000", false}, {Release::R2004, "AC1018", "2004", false},
        {Release::R2007, "AC1021", "2007", true},  {Release::R2010, "AC1024", "2010", true},
        {Release::R2013, "AC1027", "2013", true},  {Release::R2018, "AC1032", "2018", true},
    };
    for (const auto& r : releases) {
        EXPECT_EQ(versionString(r.release), r.version);
        EXPECT_EQ(releaseName(r.release), r.name);
        EXPECT_EQ(isUnicode(r.release), r.unicode) << r.name;
        EXPECT_EQ(findRelease(r.version), r.release);
        EXPECT_EQ(releaseFromVersionString(r.version), r.release);
    }
}

TEST(Release, OtherVersionsAreUnsupported) {
    EXPECT_EQ(findRelease("AC1009"), std::nullopt);
    EXPECT_EQ(findRelease("AC101"), std::nullopt);
    EXPECT_THAT([] { releaseFromVersionString("AC1009"); },
                ThrowsMessage<UnsupportedRelease>(
                    "expected DWG version AC1012 (R13) to AC1032 (2018), found \"AC1009\""));
    EXPECT_THAT([] { releaseFromVersionString(std::string("PK\x03\x04\0\"", 6)); },
                ThrowsMessage<UnsupportedRelease>(
                    "expected DWG version AC1012 (R13) to AC1032 (2018), found \"PK\\x03\\x04\\x00\\x22\""));
}

TEST(FormatError, ContextIsPrefixedAndTheReasonKept) {
    const FormatError bare("BS: expected 16 bits, found 3 at bit 45");
    const FormatError inSection = bare.withContext("AcDb:Header");
    const FormatError inFile = inSection.withContext("plan.dwg");
    EXPECT_STREQ(inFile.what(), "plan.dwg: AcDb:Header: BS: expected 16 bits, found 3 at bit 45");
    EXPECT_EQ(inFile.reason(), "BS: expected 16 bits, found 3 at bit 45");
    EXPECT_STREQ(bare.what(), "BS: expected 16 bits, found 3 at bit 45");

    const UnsupportedRelease release = UnsupportedRelease("found \"AC1009\"").withContext("old.dwg");
    EXPECT_STREQ(release.what(), "old.dwg: found \"AC1009\"");
    EXPECT_EQ(release.reason(), "found \"AC1009\"");
}

}  // namespace
}  // namespace dwg
