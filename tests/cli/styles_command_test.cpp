// corvelin-cli styles over drawings made with the engine's builder: the style
// table with kinds from the given font file, the texts of each style with
// their conversions for both orders, and the error exits.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include <unistd.h>

#include "tests/cli/cli_test_support.h"
#include "dwg/drawing/builder.h"
#include "dwg/drawing/drawing.h"
#include "support/code_pages.h"

namespace {

using dwg::DrawingBuilder;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::EndsWith;
using ::testing::StartsWith;
using Space = DrawingBuilder::Space;

using cli::test::Result;
using cli::test::runCli;

DrawingBuilder::TextSpec textAt(std::string value, double x, double y, std::uint64_t style) {
    DrawingBuilder::TextSpec t;
    t.value = std::move(value);
    t.insertion = {x, y, 0};
    t.style = style;
    return t;
}

class StylesCommand : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("corvelin-cli-styles-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        m_fonts = m_dir / "HebFonts.txt";
        writeFile(m_fonts, "[Fonts]\r\nHEBREW=DosHebrew\r\nKEYS=DosEnglish\r\nWINHEB=Windows\r\n");
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    static void writeFile(const std::filesystem::path& file, std::string_view bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }

    // Styles HEBREW (DOS Hebrew letters) and KEYS (English keys, backward);
    // texts in both spaces and an attribute of a block reference.
    std::filesystem::path plan(dwg::Release release) {
        DrawingBuilder b(release);
        const auto hebrew = b.addTextStyle("Hebrew", "hebrew.shx");
        const auto keys = b.addTextStyle("Keys", "C:\\fonts\\keys.shx", 2);
        const auto block = b.addBlock("DOOR");
        b.addAttributeDefinition(block, "NUM", "Number?", textAt("x", 0, 0, hebrew));
        b.addText(Space::Model, textAt("\x9A\x81\x99", 10, 20, hebrew));
        b.addText(Space::Model, textAt("akuo", 0, -3.004, keys));
        b.addText(Space::Paper, textAt("\x80\x81", 1.234, 7.5, hebrew));
        b.addInsert(Space::Model, block, {5, 6, 0}, {1, 1, 1}, 0, {{"NUM", textAt("\x82", 5, 6, hebrew)}});
        const auto path = m_dir / "plan.dwg";
        const auto bytes = b.bytes();
        writeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return path;
    }

    std::filesystem::path m_dir;
    std::filesystem::path m_fonts;
};

TEST_F(StylesCommand, ListsStylesSortedWithKindsFromTheFontFile) {
    for (auto release : {dwg::Release::R2000, dwg::Release::R2004}) {
        const auto r = runCli({"styles", "--fonts", m_fonts.string(), plan(release).string()});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out,
                  "STYLE     FONT FILE          KIND        FROM     BACKWARD\n"
                  "HEBREW    hebrew.shx         DosHebrew   table    no\n"
                  "KEYS      C:\\fonts\\keys.shx  DosEnglish  table    yes\n"
                  "STANDARD  txt                DosHebrew   default  no\n");
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(StylesCommand, TextsUnderTheirStylesWithBytesReadingAndConversion) {
    for (auto release : {dwg::Release::R2000, dwg::Release::R2004}) {
        const auto r = runCli({"styles", "--texts", "--fonts", m_fonts.string(), plan(release).string()});
        EXPECT_EQ(r.status, 0) << r.err;
        // The attribute comes first: the pass meets block references before
        // texts. READ is Windows-1252, the drawing's code page, where 0x81 is
        // a C1 control. DOS Hebrew 9A 81 99 (tav, bet, shin as displayed)
        // becomes F9 E1 FA, "shin bet tav" in reading order; the backward
        // English keys "akuo" read "ouka" and give F9 EC E5 ED.
        EXPECT_EQ(r.out,
                  "STYLE     FONT FILE          KIND        FROM     BACKWARD\n"
                  "HEBREW    hebrew.shx         DosHebrew   table    no\n"
                  "        X      Y  BYTES     READ      CONVERTED\n"
                  "     5.00   6.00  82        \xE2\x80\x9A         \xD7\x92\n"
                  "    10.00  20.00  9a8199    \xC5\xA1\\u0081\xE2\x84\xA2  \xD7\xA9\xD7\x91\xD7\xAA\n"
                  "     1.23   7.50  8081      \xE2\x82\xAC\\u0081   \xD7\x91\xD7\x90\n"
                  "KEYS      C:\\fonts\\keys.shx  DosEnglish  table    yes\n"
                  "        X      Y  BYTES     READ      CONVERTED\n"
                  "     0.00  -3.00  616b756f  akuo      \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D\n"
                  "STANDARD  txt                DosHebrew   default  no\n"
                  "    (no texts)\n");
    }
}

TEST_F(StylesCommand, TheOrderOptionChoosesTheConversion) {
    // Windows-1255 shin lamed vav final-mem and a number, stored as displayed:
    // for "RightTo Left" the letters come in reading order and the number,
    // kept as it reads, in front; for "Left To Right" the number stays behind.
    DrawingBuilder b(dwg::Release::R2004);
    b.addText(Space::Model, textAt("\xF9\xEC\xE5\xED 123", 1, 2, b.addTextStyle("W", "winheb.shx")));
    const auto bytes = b.bytes();
    const auto path = m_dir / "windows.dwg";
    writeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    const std::string row = "\n    1.00  2.00  f9ece5ed20313233  \xC3\xB9\xC3\xAC\xC3\xA5\xC3\xAD 123  ";

    for (const char* order : {"--rtl", ""}) {
        std::vector<std::string> args{"styles", "--texts", "--fonts", m_fonts.string(), path.string()};
        if (*order)
            args.insert(args.begin() + 1, order);
        const auto rtl = runCli(args);
        EXPECT_EQ(rtl.status, 0) << rtl.err;
        EXPECT_THAT(rtl.out, HasSubstr("\nW         winheb.shx  Windows    table    no\n"));
        EXPECT_THAT(rtl.out, HasSubstr(row + " 123\xD7\x9D\xD7\x95\xD7\x9C\xD7\xA9\n"));
    }
    const auto ltr = runCli({"styles", "--ltr", "--texts", "--fonts", m_fonts.string(), path.string()});
    EXPECT_EQ(ltr.status, 0) << ltr.err;
    EXPECT_THAT(ltr.out, HasSubstr(row + "\xD7\x9D\xD7\x95\xD7\x9C\xD7\xA9 123\n"));
}

TEST_F(StylesCommand, TextsShowWhatConvertWrites) {
    // A text with its own backward flag (it counts), an attribute with one (it
    // does not), and Windows letters in a DOS Hebrew style (repaired first).
    DrawingBuilder b(dwg::Release::R2004);
    const auto hebrew = b.addTextStyle("Hebrew", "hebrew.shx");
    const auto block = b.addBlock("TAG");
    b.addAttributeDefinition(block, "N", "N?", textAt("x", 0, 0, hebrew));
    auto mirrored = textAt("\x80\x81 (12)", 1, 1, hebrew);
    mirrored.generation = 2;
    b.addText(Space::Model, mirrored);
    b.addText(Space::Model, textAt("\xE0\x82\x83", 2, 2, hebrew));
    auto attribute = textAt("\x84\x85 3", 3, 3, hebrew);
    attribute.generation = 2;
    b.addInsert(Space::Model, block, {3, 3, 0}, {1, 1, 1}, 0, {{"N", attribute}});
    const auto path = m_dir / "mirrored.dwg";
    const auto bytes = b.bytes();
    writeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));

    for (const char* order : {"--rtl", "--ltr"}) {
        const auto listed = runCli({"styles", order, "--texts", "--fonts", m_fonts.string(), path.string()});
        ASSERT_EQ(listed.status, 0) << listed.err;
        const auto out = m_dir / (std::string("out") + order);
        const auto converted = runCli({"convert", order, "--output-dir", out.string(), "--fonts", m_fonts.string(),
                                       path.string()});
        ASSERT_EQ(converted.status, 0) << converted.err;
        dwg::Drawing d = dwg::Drawing::open(out / "mirrored.dwg");
        std::vector<std::uint64_t> texts = d.selectAll("TEXT");
        for (std::uint64_t insert : d.selectAll("INSERT"))
            for (std::uint64_t a : d.attributes(insert))
                texts.push_back(a);
        ASSERT_EQ(texts.size(), 3u);
        for (std::uint64_t text : texts) {
            std::string written = support::toUtf8(d.textString(text));
            written.erase(written.find_last_not_of(' ') + 1);  // the listing ends its lines without blanks
            EXPECT_THAT(listed.out, HasSubstr("  " + written + "\n")) << order;
        }
    }
}

TEST_F(StylesCommand, WithoutFontsTheDefaultDefinitionFileDecides) {
    // The per-user file lives under the documents folder, which follows HOME.
    const char* oldHome = std::getenv("HOME");
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> savedHome = oldHome ? std::optional<std::string>(oldHome) : std::nullopt;
    const std::optional<std::string> savedConfig = oldConfig ? std::optional<std::string>(oldConfig) : std::nullopt;
    const auto home = m_dir / "home";
    std::filesystem::create_directories(home / "Hesmar" / "Corvelin");
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    const auto drawing = plan(dwg::Release::R2004).string();

    // No file: every shape font is DOS Hebrew.
    const auto none = runCli({"styles", drawing});
    writeFile(home / "Hesmar" / "Corvelin" / "HebFonts.txt", "[Fonts]\r\nkeys=DosEnglishR\r\nhebrew=Dos Hebrew\r\n");
    const auto some = runCli({"styles", drawing});

    savedHome ? ::setenv("HOME", savedHome->c_str(), 1) : ::unsetenv("HOME");
    savedConfig ? ::setenv("XDG_CONFIG_HOME", savedConfig->c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(none.status, 0) << none.err;
    EXPECT_THAT(none.out, HasSubstr("\nKEYS      C:\\fonts\\keys.shx  DosHebrew  default  yes\n"));
    // A missing default table is said once, with the path looked for.
    EXPECT_EQ(none.err, "corvelin-cli styles: warning: no font table at " +
                            (home / "Hesmar" / "Corvelin" / "HebFonts.txt").string() +
                            "; every shape font counts as DosHebrew (give one with --fonts FILE)\n");
    EXPECT_EQ(some.status, 0) << some.err;
    EXPECT_THAT(some.err, HasSubstr("HebFonts.txt: \"hebrew=Dos Hebrew\" names no font kind"));
    EXPECT_THAT(some.err, Not(HasSubstr("no font table")));
    EXPECT_THAT(some.out, HasSubstr("\nHEBREW    hebrew.shx         DosHebrew    default  no\n"));
    EXPECT_THAT(some.out, HasSubstr("\nKEYS      C:\\fonts\\keys.shx  DosEnglishR  table    yes\n"));
}

TEST_F(StylesCommand, DrawingsThatCannotBeOpenedExitWithOne) {
    const auto missing = m_dir / "missing.dwg";
    const auto r = runCli({"styles", "--fonts", m_fonts.string(), missing.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, StartsWith("Problem with opening file: "));
    EXPECT_THAT(r.err, HasSubstr(missing.string()));
    EXPECT_EQ(r.out, "");

    const auto garbage = m_dir / "garbage.dwg";
    writeFile(garbage, "AC1015 is not enough to make a drawing");
    const auto bad = runCli({"styles", "--fonts", m_fonts.string(), garbage.string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_THAT(bad.err, StartsWith("Problem with opening file: "));

    const auto noFonts =
        runCli({"styles", "--fonts", (m_dir / "none.txt").string(), plan(dwg::Release::R2000).string()});
    EXPECT_EQ(noFonts.status, 1);
    EXPECT_THAT(noFonts.err, HasSubstr("none.txt"));
}

TEST_F(StylesCommand, BadCommandLinesExitWithTwoAndAPointerToTheHelp) {
    const std::string drawing = (m_dir / "plan.dwg").string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"styles"},
             {"styles", drawing, drawing},
             {"styles", "--ltr", "--rtl", drawing},
             {"styles", "--text", drawing},
             {"styles", drawing, "--fonts"},
         }) {
        const auto r = runCli(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_THAT(r.err, EndsWith("\nTry 'corvelin-cli styles --help'\n"));
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const auto help = runCli({"styles", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, StartsWith("Usage: corvelin-cli styles"));
}

}  // namespace
