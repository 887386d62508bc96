#include "support/ini_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/atomic_file.h"

namespace {

namespace fs = std::filesystem;
using support::IniFile;
using ::testing::ElementsAre;
using ::testing::ThrowsMessage;

std::string read(const std::string& bytes, std::string_view section, std::string_view key) {
    return IniFile::fromBytes(bytes).readString(section, key, "<none>");
}

std::string written(const std::string& bytes, std::string_view section, std::string_view key,
                    std::string_view value) {
    IniFile ini = IniFile::fromBytes(bytes);
    ini.writeString(section, key, value);
    return ini.bytes();
}

std::string erased(const std::string& bytes, std::string_view section) {
    IniFile ini = IniFile::fromBytes(bytes);
    ini.eraseSection(section);
    return ini.bytes();
}

const std::string kFonts =
    "; font table\r\n"
    "top=before any section\r\n"
    "[Other]\r\n"
    "Arial=Other\r\n"
    "\r\n"
    "[ fonts ]\r\n"
    "  Arial  =  TrueType  \r\n"
    "\tHEB1\t=\tDosHebrew\t\r\n"
    "arial=Second\r\n"
    "Bare\r\n"
    "=empty key\r\n"
    "Q1=\"quoted\"\r\n"
    "Q2='single'\r\n"
    "Q3=\"mixed'\r\n"
    "Q4=\"\r\n"
    "Q5=\"\"\r\n"
    "Q6=a=b\r\n"
    "HEB\xE0=lower\r\n"
    "\r\n"
    "[FONTS]\r\n"
    "Late=later section\r\n";

TEST(IniFileRead, FindsTrimmedKeysOfTheFirstMatchingSectionIgnoringAsciiCase) {
    EXPECT_EQ(read(kFonts, "Fonts", "arial"), "TrueType");
    EXPECT_EQ(read(kFonts, "  FONTS\t", " ARIAL "), "TrueType");
    EXPECT_EQ(read(kFonts, "fonts", "heb1"), "DosHebrew");
    EXPECT_EQ(read(kFonts, "other", "ARIAL"), "Other");
    EXPECT_EQ(read(kFonts, "Fonts", "Q6"), "a=b");
    // Only ASCII letters fold: 0xE0 (Hebrew alef) is not the "upper case" of 0xC0.
    EXPECT_EQ(read(kFonts, "Fonts", "heb\xE0"), "lower");
    EXPECT_EQ(read(kFonts, "Fonts", "heb\xC0"), "<none>");
    // The later duplicate section is never looked into.
    EXPECT_EQ(read(kFonts, "Fonts", "Late"), "<none>");
    // Lines before the first header belong to no section.
    EXPECT_EQ(read(kFonts, "", "top"), "<none>");
}

TEST(IniFileRead, KeyLinesWithoutValueAndEmptyKeys) {
    EXPECT_EQ(read(kFonts, "Fonts", "bare"), "");
    EXPECT_EQ(read(kFonts, "Fonts", ""), "empty key");
    EXPECT_EQ(read("[S]\r\n\r\n  \r\nk=v\r\n", "S", ""), "<none>");
    EXPECT_EQ(read("[]\r\nk=v\r\n", "", "k"), "v");
}

TEST(IniFileRead, OneMatchingPairOfQuotesIsRemoved) {
    EXPECT_EQ(read(kFonts, "Fonts", "Q1"), "quoted");
    EXPECT_EQ(read(kFonts, "Fonts", "Q2"), "single");
    EXPECT_EQ(read(kFonts, "Fonts", "Q3"), "\"mixed'");
    EXPECT_EQ(read(kFonts, "Fonts", "Q4"), "\"");
    EXPECT_EQ(read(kFonts, "Fonts", "Q5"), "");
    EXPECT_EQ(read("[S]\nk= \" in \" \n", "S", "k"), " in ");
}

TEST(IniFileRead, MissingSectionOrKeyGivesTheDefaultLessTrailingSpaces) {
    IniFile ini = IniFile::fromBytes(kFonts);
    EXPECT_EQ(ini.readString("Nope", "Arial", "dflt"), "dflt");
    EXPECT_EQ(ini.readString("Fonts", "Nope", " d  "), " d");
    EXPECT_EQ(IniFile().readString("S", "k", ""), "");
}

TEST(IniFileRead, LineEndingsAndHeaderForms) {
    EXPECT_EQ(read("[S]\nk=lf\n", "S", "k"), "lf");
    EXPECT_EQ(read("[S]\r\nk=last", "S", "k"), "last");
    EXPECT_EQ(read("  [ S ] trailing\r\nk=v\r\n", "s", "k"), "v");
    EXPECT_EQ(read("[S\r\nk=v\r\n", "S", "k"), "v");
    EXPECT_EQ(read("[S]\r\nk=v\r\n  [T]\r\nj=w\r\n", "S", "j"), "<none>");
}

TEST(IniFileWrite, ReplacesTheFirstMatchingLineInPlace) {
    // Spelling of the key from the file, the line's own ending kept.
    EXPECT_EQ(written("[S]\r\n  Arial  =  old  \r\narial=2\r\n", "s", "ARIAL", "new"),
              "[S]\r\nArial=new\r\narial=2\r\n");
    EXPECT_EQ(written("[S]\nA=1\nB=2\n", "S", "a", "x"), "[S]\nA=x\nB=2\n");
    EXPECT_EQ(written("[S]\r\nA=1", "S", "a", "x"), "[S]\r\nA=x");
    EXPECT_EQ(written("[S]\r\nBare\r\n", "S", "bare", "v"), "[S]\r\nBare=v\r\n");
    EXPECT_EQ(written("[S]\r\n=old\r\n", "S", "", "v"), "[S]\r\n=v\r\n");
    // Only the first of two sections of the same name changes.
    EXPECT_EQ(written("[S]\r\nA=1\r\n[s]\r\nA=2\r\n", "S", "A", "x"), "[S]\r\nA=x\r\n[s]\r\nA=2\r\n");
}

TEST(IniFileWrite, NewKeyFollowsTheSectionsLastNonBlankLine) {
    EXPECT_EQ(written("[S]\r\nA=1\r\n\r\n \t\r\n[T]\r\nB=2\r\n", "S", "C", "3"),
              "[S]\r\nA=1\r\nC=3\r\n\r\n \t\r\n[T]\r\nB=2\r\n");
    EXPECT_EQ(written("[S]\nA=1\n", "S", "C", "3"), "[S]\nA=1\nC=3\r\n");
    EXPECT_EQ(written("[S]\r\nA=1", "S", "C", "3"), "[S]\r\nA=1\r\nC=3\r\n");
    EXPECT_EQ(written("[S]\r\n\r\n[T]\r\n", "S", "C", "3"), "[S]\r\nC=3\r\n\r\n[T]\r\n");
    EXPECT_EQ(written("[S]", "S", "C", "3"), "[S]\r\nC=3\r\n");
    EXPECT_EQ(written("[S]\r\nA=1\r\n[S]\r\nC=2\r\n", "S", "C", "3"), "[S]\r\nA=1\r\nC=3\r\n[S]\r\nC=2\r\n");
}

TEST(IniFileWrite, MissingSectionIsAppendedAtTheEnd) {
    EXPECT_EQ(written("", "Fonts", "Arial", "TrueType"), "[Fonts]\r\nArial=TrueType\r\n");
    EXPECT_EQ(written("[S]\r\nA=1\r\n", "Fonts", "K", "V"), "[S]\r\nA=1\r\n[Fonts]\r\nK=V\r\n");
    EXPECT_EQ(written("[S]\nA=1\n\n", "Fonts", "K", "V"), "[S]\nA=1\n\n[Fonts]\r\nK=V\r\n");
    EXPECT_EQ(written("[S]\r\nA=1", "Fonts", "K", "V"), "[S]\r\nA=1\r\n[Fonts]\r\nK=V\r\n");
    // A value with a blank at an end is quoted, so that it reads back whole.
    EXPECT_EQ(written("loose", " Fonts ", " K ", " V"), "loose\r\n[Fonts]\r\nK=\" V\"\r\n");
}

TEST(IniFileErase, RemovesOneSectionAndKeepsEveryOtherByte) {
    const std::string before = "top\n[A]\r\nx=1\r\n\r\n[Fonts]\r\n  a = 1\r\n;c\n\r\n[B]  \n y =2";
    EXPECT_EQ(erased(before, "fonts"), "top\n[A]\r\nx=1\r\n\r\n[B]  \n y =2");
    EXPECT_EQ(erased(before, "B"), "top\n[A]\r\nx=1\r\n\r\n[Fonts]\r\n  a = 1\r\n;c\n\r\n");
    EXPECT_EQ(erased(before, "Missing"), before);
    EXPECT_EQ(erased("[F]\r\na=1\r\n[f]\r\nb=2\r\n", "F"), "[f]\r\nb=2\r\n");
}

// Writing a font table: erase the section, then write each row.
TEST(IniFileErase, EraseThenWriteRecreatesTheSectionAtTheEnd) {
    IniFile ini = IniFile::fromBytes("[Fonts]\r\nold=DosHebrew\r\n[Other]\r\nk=v\r\n");
    ini.eraseSection("Fonts");
    ini.writeString("Fonts", "HEB1", "DosHebrew");
    ini.writeString("Fonts", "Arial", "TrueType");
    EXPECT_EQ(ini.bytes(), "[Other]\r\nk=v\r\n[Fonts]\r\nHEB1=DosHebrew\r\nArial=TrueType\r\n");
}

TEST(IniFileLists, SectionAndKeyNamesInFileOrderOncePerName) {
    IniFile ini = IniFile::fromBytes(kFonts);
    EXPECT_THAT(ini.sectionNames(), ElementsAre("Other", "fonts"));
    EXPECT_THAT(ini.keys("FONTS"), ElementsAre("Arial", "HEB1", "Bare", "", "Q1", "Q2", "Q3", "Q4",
                                               "Q5", "Q6", "HEB\xE0"));
    EXPECT_THAT(ini.keys("Missing"), ElementsAre());
}

class IniFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "corvelin-ini-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
};

TEST_F(IniFileOnDisk, MissingFileLoadsEmptyAndSaveCreatesIt) {
    IniFile ini = IniFile::load(m_dir / "HebFonts.txt");
    EXPECT_EQ(ini.bytes(), "");
    EXPECT_FALSE(fs::exists(m_dir / "HebFonts.txt"));
    ini.writeString("Fonts", "Arial", "TrueType");
    ini.save();
    EXPECT_EQ(support::readFileBytes(m_dir / "HebFonts.txt"), "[Fonts]\r\nArial=TrueType\r\n");
}

TEST_F(IniFileOnDisk, SaveAndLoadRoundTrip) {
    IniFile ini = IniFile::fromBytes(kFonts);
    ini.writeString("Fonts", "Q1", "changed");
    ini.saveAs(m_dir / "Param.ini");
    IniFile back = IniFile::load(m_dir / "Param.ini");
    EXPECT_EQ(back.bytes(), ini.bytes());
    EXPECT_EQ(back.readString("Fonts", "Q1", ""), "changed");
    EXPECT_EQ(back.path(), m_dir / "Param.ini");
}

TEST_F(IniFileOnDisk, ReadAndWriteErrorsNameTheFile) {
    EXPECT_THAT([&] { IniFile::load(m_dir); },
                ThrowsMessage<support::OpenError>("Cannot open file \"" + m_dir.string() +
                                                  "\". Is a directory"));
    fs::path target = m_dir / "missing" / "Param.ini";
    EXPECT_THAT([&] { IniFile::load(target).save(); },
                ThrowsMessage<support::WriteError>("Unable to write to " + target.string() +
                                                   ": No such file or directory"));
}

}  // namespace
