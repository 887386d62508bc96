#include "hebrew/fntdef.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "support/atomic_file.h"

namespace {

using hebrew::FontRow;
using hebrew::FontTable;
using hebrew::TFontKind;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

FontTable tableWith(std::initializer_list<FontRow> rows) {
    FontTable table;
    for (const FontRow& row : rows)
        table.appendRow(row);
    return table;
}

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("corvelin-fonts-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::filesystem::path file(const std::string& name, const std::string& content) {
        auto path = m_dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::string read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    std::filesystem::path m_dir;
};

TEST(FontKinds, NamesAreTheStoredTexts) {
    EXPECT_EQ(hebrew::FontKindName(TFontKind::DosEnglishR), "DosEnglishR");
    EXPECT_EQ(hebrew::FontKindFromName("windows"), TFontKind::Windows);
    EXPECT_EQ(hebrew::FontKindFromName("TRUETYPE"), TFontKind::TrueType);
    EXPECT_FALSE(hebrew::FontKindFromName("Windows ").has_value());
    EXPECT_FALSE(hebrew::FontKindFromName("").has_value());
}

TEST(FontKindOf, TelvosFontsAreWindowsUnlessGivenWithAFolder) {
    FontTable table = tableWith({{"TELVOS", "DosEnglish"}});
    EXPECT_EQ(table.FontKindOf("telvos1.shx"), TFontKind::Windows);
    EXPECT_EQ(table.FontKindOf("Telvos.shx"), TFontKind::Windows);
    EXPECT_EQ(table.FontKindOf("C:\\Fonts\\telvos.shx"), TFontKind::DosEnglish);
    EXPECT_EQ(FontTable().FontKindOf("C:\\Fonts\\telvos.shx"), TFontKind::DosHebrew);
}

TEST(FontKindOf, TrueTypeFilesAndEmptyNames) {
    FontTable table = tableWith({{"ARIAL", "DosHebrew"}});
    EXPECT_EQ(table.FontKindOf("arial.ttf"), TFontKind::TrueType);
    EXPECT_EQ(table.FontKindOf("C:\\x\\ARIAL.TtF"), TFontKind::TrueType);
    EXPECT_EQ(table.FontKindOf("arial"), TFontKind::DosHebrew);
    EXPECT_EQ(table.FontKindOf(""), TFontKind::TrueType);
    EXPECT_EQ(table.FontKindOf("C:\\Fonts\\"), TFontKind::TrueType);
    // A row without a name decides for empty names too.
    EXPECT_EQ(tableWith({{"", "windows"}}).FontKindOf(""), TFontKind::Windows);
}

TEST(FontKindOf, TheFirstRowNamingTheFontDecides) {
    EXPECT_EQ(tableWith({{"Hebrew", "windows"}}).FontKindOf("hebrew.shx"), TFontKind::Windows);
    EXPECT_EQ(tableWith({{"Hebrew", "DOSENGLISHR"}}).FontKindOf("C:\\f\\HEBREW.SHX"), TFontKind::DosEnglishR);
    EXPECT_EQ(FontTable().FontKindOf("hebrew.shx"), TFontKind::DosHebrew);
    // Names with their extension match nothing.
    EXPECT_EQ(tableWith({{"hebrew.shx", "Windows"}}).FontKindOf("hebrew.shx"), TFontKind::DosHebrew);
    // Mappings that name no kind, "TrueType" among them, leave the default.
    EXPECT_EQ(tableWith({{"hebrew", "TrueType"}}).FontKindOf("hebrew.shx"), TFontKind::DosHebrew);
    EXPECT_EQ(tableWith({{"hebrew", "Win"}}).FontKindOf("hebrew.shx"), TFontKind::DosHebrew);
    // Only a row that gave the kind counts as the table's word.
    EXPECT_TRUE(tableWith({{"Hebrew", "DosHebrew"}}).KindFromTable("hebrew.shx"));
    EXPECT_FALSE(tableWith({{"hebrew", "Dos Hebrew"}}).KindFromTable("hebrew.shx"));
    EXPECT_FALSE(tableWith({{"telvos", "DosHebrew"}}).KindFromTable("telvos.shx"));
    EXPECT_FALSE(FontTable().KindFromTable("hebrew.shx"));
}

TEST(SetFontKind, AddsOrChangesTheFontsRow) {
    FontTable table;
    table.SetFontKind("C:\\Fonts\\isocp.shx", 1);
    EXPECT_THAT(table.rows(), ElementsAre(FontRow{"ISOCP", "DosEnglish"}));
    table = tableWith({{"a", "x"}, {"IsoCp", "Windows"}});
    table.SetFontKind("C:\\Fonts\\isocp.shx", 3);
    table.SetFontKind("isocp", 9);
    EXPECT_THAT(table.rows(), ElementsAre(FontRow{"a", "x"}, FontRow{"IsoCp", "TrueType"}));
    table.SetFontKind("romans.shx", 2);
    EXPECT_EQ(table.rows().back(), (FontRow{"ROMANS", "DosEnglishR"}));
    EXPECT_EQ(table.FontKindOf("romans.shx"), TFontKind::DosEnglishR);
}

TEST(FontTableRows, NamesFollowTheGridsRules) {
    FontTable table = tableWith({{"Hebrew", "Windows"}});
    EXPECT_THAT([&] { table.appendRow({"a=b", ""}); },
                ::testing::ThrowsMessage<std::invalid_argument>("Key may not contain equals sign (\"=\")"));
    EXPECT_THAT([&] { table.appendRow({"HEBREW", ""}); },
                ::testing::ThrowsMessage<std::invalid_argument>("A key with the name of \"HEBREW\" already exists"));
    table.appendRow({"other", ""});
    EXPECT_THROW(table.setName(1, "hebrew"), std::invalid_argument);
    table.setName(0, "HEBREW");  // its own name in another case is fine
    table.deleteRow(1);
    EXPECT_THAT(table.rows(), ElementsAre(FontRow{"HEBREW", "Windows"}));
    EXPECT_THROW(table.deleteRow(5), std::out_of_range);
}

TEST(FontTableRows, RowsWithoutANameMayBeSeveral) {
    FontTable table = tableWith({{"", ""}, {"Hebrew", "Windows"}});
    table.appendRow({"", "DosHebrew"});
    table.insertRow(0, {"", ""});
    table.setName(2, "");  // clearing a name never clashes with another empty one
    EXPECT_THAT(table.rows(), ElementsAre(FontRow{"", ""}, FontRow{"", ""}, FontRow{"", "Windows"},
                                          FontRow{"", "DosHebrew"}));
    EXPECT_THAT([&] { table.appendRow({"=", ""}); },
                ::testing::ThrowsMessage<std::invalid_argument>("Key may not contain equals sign (\"=\")"));
}

TEST_F(TempFolder, ReadfontsSortsAndKeepsTheFirstOfNamesEqualIgnoringCase) {
    FontTable table;
    table.Readfonts(file("f.txt", "[Fonts]\r\nB=Windows\r\na=DosEnglish\r\nA=DosHebrew\r\n"));
    EXPECT_THAT(table.rows(), ElementsAre(FontRow{"a", "DosEnglish"}, FontRow{"B", "Windows"}));
    EXPECT_THAT(table.FontNames(), ElementsAre("a", "B"));
}

TEST_F(TempFolder, ReadfontsGivesOneEmptyRowForBlankAndEqualsLessLines) {
    FontTable table;
    table.Readfonts(file("f.txt", "[Fonts]\nX = Windows \n\nno equals sign\n"));
    EXPECT_THAT(table.rows(), ElementsAre(FontRow{"", ""}, FontRow{"X", "Windows"}));
}

TEST_F(TempFolder, ReadfontsDropsTheFirstLineWhateverItHolds) {
    FontTable table;
    table.Readfonts(file("f.txt", "A=DosHebrew\r\nB=Windows"));
    // No section "Fonts": the remaining font has no mapping.
    EXPECT_THAT(table.rows(), ElementsAre(FontRow{"B", ""}));
}

TEST_F(TempFolder, ReadfontsErrorsLeaveTheRowsAsTheyWere) {
    FontTable table = tableWith({{"keep", "Windows"}});
    table.Readfonts(file("one.txt", "[Fonts]\r\nkeep=Windows\r\n"));
    auto missing = m_dir / "missing.txt";
    EXPECT_THAT([&] { table.Readfonts(missing); },
                ::testing::ThrowsMessage<support::OpenError>(
                    "Cannot open file \"" + missing.string() + "\". No such file or directory"));
    EXPECT_TRUE(table.FontNames().empty());
    EXPECT_THAT(table.rows(), ElementsAre(FontRow{"keep", "Windows"}));
}

TEST_F(TempFolder, AnEmptyTableIsWrittenSoThatItReadsBackEmpty) {
    FontTable table = tableWith({{"Hebrew", "DosHebrew"}});
    table.deleteRow(0);
    const auto path = m_dir / "fonts.txt";
    table.write(path, /*skipEmptyNames=*/true);
    EXPECT_EQ(read(path), "[Fonts]\r\n");
    FontTable reread = tableWith({{"old", "Windows"}});
    reread.Readfonts(path);
    EXPECT_THAT(reread.rows(), IsEmpty());
    // A file emptied by hand, or by an older program, is an empty table too.
    reread.Readfonts(file("empty.txt", ""));
    EXPECT_THAT(reread.rows(), IsEmpty());
}

TEST_F(TempFolder, WriteReplacesTheSectionAndKeepsTheRestOfTheFile) {
    auto path = file("fonts.txt", "[Other]\r\nk=v\r\n[Fonts]\r\nold=Windows\r\n[Last]\nz=1\n");
    FontTable table = tableWith({{"Hebrew", "DosHebrew"}, {"", "Windows"}, {"isocp", "TrueType"}});
    table.write(path, /*skipEmptyNames=*/true);
    EXPECT_EQ(read(path), "[Other]\r\nk=v\r\n[Last]\nz=1\n[Fonts]\r\nHebrew=DosHebrew\r\nisocp=TrueType\r\n");

    table.write(path, /*skipEmptyNames=*/false);
    FontTable reread;
    reread.Readfonts(path);
    // The first line of this file is [Other]: its section header is dropped
    // and "k" becomes a font without mapping, as any reader of the file sees it.
    EXPECT_THAT(reread.rows(), ElementsAre(FontRow{"", "Windows"}, FontRow{"Hebrew", "DosHebrew"},
                                           FontRow{"isocp", "TrueType"}, FontRow{"k", ""}, FontRow{"z", ""}));
}

TEST_F(TempFolder, WriteWithoutErasingAddsToTheSection) {
    auto path = file("fonts.txt", "[Fonts]\r\nold=Windows\r\nHebrew=DosEnglish\r\n");
    tableWith({{"Hebrew", "DosHebrew"}}).write(path, false, /*eraseSection=*/false);
    EXPECT_EQ(read(path), "[Fonts]\r\nold=Windows\r\nHebrew=DosHebrew\r\n");
}

TEST_F(TempFolder, WriteIntoAMissingFolderFailsWithTheFileName) {
    auto path = m_dir / "no" / "such" / "HebFonts.txt";
    EXPECT_THAT([&] { tableWith({{"a", "Windows"}}).write(path, true); },
                ::testing::ThrowsMessage<support::WriteError>(HasSubstr("Unable to write to " + path.string())));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(TempFolder, DefaultDefinitionFileLivesInTheUserFolder) {
    std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", m_dir.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    EXPECT_EQ(FontTable::UserFolder(), m_dir / "Hesmar" / "Corvelin" / "");
    EXPECT_EQ(FontTable::defaultDefinitionFile(), m_dir / "Hesmar" / "Corvelin" / "HebFonts.txt");

    // The usual first run: no file yet, an empty table and no error.
    FontTable table;
    EXPECT_FALSE(table.loadDefault());
    EXPECT_TRUE(table.rows().empty());
    std::filesystem::create_directories(FontTable::UserFolder());
    file("Hesmar/Corvelin/HebFonts.txt", "[Fonts]\r\nHebrew=Windows\r\n");
    EXPECT_TRUE(table.loadDefault());
    EXPECT_EQ(table.FontKindOf("hebrew.shx"), TFontKind::Windows);

    ::setenv("HOME", savedHome.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
