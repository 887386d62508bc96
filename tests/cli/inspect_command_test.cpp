// corvelin-cli inspect over drawings made with the engine's builder and over a
// sample drawing (checked against its DXF twin): the listing of styles, texts
// and attributes with their owners and stored bytes, as text and as JSON.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "support/hex.h"
#include "tests/cli/cli_test_support.h"
#include "dwg/drawing/builder.h"

namespace {

using dwg::DrawingBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using Space = DrawingBuilder::Space;

using cli::test::Result;
using cli::test::runCli;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// The cells of a table line: runs of two or more blanks separate them (an
// empty cell leaves no trace).
std::vector<std::string> cells(const std::string& line) {
    std::vector<std::string> out;
    std::size_t i = line.find_first_not_of(' ');
    while (i != std::string::npos) {
        std::size_t end = line.find("  ", i);
        out.push_back(line.substr(i, end == std::string::npos ? std::string::npos : end - i));
        i = end == std::string::npos ? end : line.find_first_not_of(' ', end);
    }
    return out;
}

// The table line whose first cell is `handle`.
std::string rowOf(const std::string& output, const std::string& handle) {
    for (const std::string& line : lines(output))
        if (line.starts_with("  " + handle + "  "))
            return line;
    return {};
}

DrawingBuilder::TextSpec textAt(std::string value, dwg::Point3 at, std::uint64_t style, double height = 2.5) {
    DrawingBuilder::TextSpec t;
    t.value = std::move(value);
    t.insertion = at;
    t.style = style;
    t.height = height;
    return t;
}

class InspectCommand : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("corvelin-cli-inspect-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string write(const DrawingBuilder& b, const std::string& name) {
        const auto path = m_dir / name;
        const auto bytes = b.bytes();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // A text in each space, one in a block definition (beside its attribute
    // definition, which is no text), and a reference with an attribute.
    struct Plan {
        std::string path;
        std::uint64_t hebrew, mirror, modelText, paperText, blockText, insert, attribute;
    };
    Plan plan(dwg::Release release, std::uint16_t codePage, std::string hebrewBytes) {
        DrawingBuilder b(release, codePage);
        Plan p;
        p.hebrew = b.addTextStyle("Hebrew", "hebrew.shx");
        p.mirror = b.addTextStyle("Mirror", "mirror.shx", 6);
        const auto block = b.addBlock("DOOR");
        b.addAttributeDefinition(block, "NUM", "Number?", textAt("0", {0, 0, 0}, p.hebrew));
        auto aligned = textAt("in \"door\"", {3, 4, 1.5}, p.mirror, 0.5);
        aligned.generation = 6;
        aligned.horizontalAlignment = 1;
        aligned.verticalAlignment = 2;
        aligned.alignment = {4, 5};
        p.blockText = b.addTextToBlock(block, aligned);
        p.modelText = b.addText(Space::Model, textAt(std::move(hebrewBytes), {10, 20, 0}, p.hebrew));
        p.paperText = b.addText(Space::Paper, textAt("\x80\x81", {-1.25, 0.5, 0}, p.hebrew));
        p.insert = b.addInsert(Space::Paper, block, {7, 8, 0}, {1, 1, 1}, 0, {{"NUM", textAt("12", {7, 8, 0}, 0)}});
        p.attribute = p.insert + 1;  // the attributes follow their reference
        p.path = write(b, "plan.dwg");
        return p;
    }

    std::filesystem::path m_dir;
};

TEST_F(InspectCommand, TextListingShowsHeaderStylesAndEveryTextWithItsOwner) {
    for (auto release : {dwg::Release::R2000, dwg::Release::R2004}) {
        const Plan p = plan(release, 30, "\x9A\x81\x99");
        const auto r = runCli({"inspect", p.path});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const auto all = lines(r.out);
        ASSERT_GE(all.size(), 4u);
        EXPECT_EQ(all[0], "File:       " + p.path);
        EXPECT_EQ(all[1], release == dwg::Release::R2000 ? "Release:    2000" : "Release:    2004");
        EXPECT_EQ(all[2], "Code page:  30 (ANSI_1252)");
        EXPECT_EQ(all[3], "Warnings:   none");
        EXPECT_THAT(r.out, HasSubstr("\nText styles: 3\n"));
        EXPECT_THAT(cells(rowOf(r.out, "11")), ElementsAre("11", "Standard", "txt", "0"));
        EXPECT_THAT(cells(rowOf(r.out, support::hexNumber(p.mirror))),
                    ElementsAre(support::hexNumber(p.mirror), "Mirror", "mirror.shx", "6 backward, upside down"));

        EXPECT_THAT(r.out, HasSubstr("\nTexts and attributes: 4\n"));
        // 0x81 is a C1 control in Windows-1252 and shows as an escape; the
        // bytes column keeps the truth.
        EXPECT_THAT(cells(rowOf(r.out, support::hexNumber(p.modelText))),
                    ElementsAre(support::hexNumber(p.modelText), "TEXT", "*Model_Space", "Hebrew", "0", "0", "0", "2.5",
                                "10,20,0", "9a8199", "\"\xC5\xA1\\u0081\xE2\x84\xA2\""));
        EXPECT_THAT(cells(rowOf(r.out, support::hexNumber(p.paperText))),
                    ElementsAre(support::hexNumber(p.paperText), "TEXT", "*Paper_Space", "Hebrew", "0", "0", "0", "2.5",
                                "-1.25,0.5,0", "8081", "\"\xE2\x82\xAC\\u0081\""));
        EXPECT_THAT(cells(rowOf(r.out, support::hexNumber(p.attribute))),
                    ElementsAre(support::hexNumber(p.attribute), "ATTRIB", "*Paper_Space", support::hexNumber(p.insert), "NUM",
                                "Standard", "0", "0", "0", "2.5", "7,8,0", "3132", "\"12\""));
        EXPECT_THAT(cells(rowOf(r.out, support::hexNumber(p.blockText))),
                    ElementsAre(support::hexNumber(p.blockText), "TEXT", "DOOR", "Mirror", "6 backward, upside down", "1", "2",
                                "0.5", "3,4,1.5", "696e2022646f6f7222", "\"in \\\"door\\\"\""));

        // Spaces, layouts, then definitions; the attribute definition is left out.
        std::vector<std::string> order;
        bool inTexts = false;
        for (const std::string& line : all) {
            if (inTexts && line.starts_with("  ") && !line.starts_with("  HANDLE"))
                order.push_back(cells(line).front());
            inTexts = inTexts || line.starts_with("Texts and attributes");
        }
        EXPECT_THAT(order, ElementsAre(support::hexNumber(p.modelText), support::hexNumber(p.paperText), support::hexNumber(p.attribute),
                                       support::hexNumber(p.blockText)));

        // Columns line up: every row has its bytes where the header says BYTES.
        std::size_t bytesColumn = std::string::npos;
        for (const std::string& line : all)
            if (line.find("  TYPE  ") != std::string::npos)
                bytesColumn = line.find("BYTES");
        ASSERT_NE(bytesColumn, std::string::npos);
        EXPECT_EQ(rowOf(r.out, support::hexNumber(p.modelText)).substr(bytesColumn, 6), "9a8199");
        EXPECT_EQ(rowOf(r.out, support::hexNumber(p.attribute)).substr(bytesColumn, 4), "3132");
    }
}

TEST_F(InspectCommand, JsonDocumentHoldsTheSameWithTheDrawingsCodePage) {
    // ANSI_1255: the bytes are Windows-1255 Hebrew letters, shin bet tav.
    const Plan p = plan(dwg::Release::R2004, 34, "\xF9\xE1\xFA");
    const auto r = runCli({"inspect", "--json", p.path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, StartsWith("{\n"
                                  "  \"file\": \"" + p.path + "\",\n"
                                  "  \"release\": \"2004\",\n"
                                  "  \"codePage\": {\n"
                                  "    \"number\": 34,\n"
                                  "    \"name\": \"ANSI_1255\"\n"
                                  "  },\n"
                                  "  \"warnings\": [],\n"
                                  "  \"styles\": [\n"
                                  "    {\n"
                                  "      \"handle\": \"11\",\n"
                                  "      \"name\": \"Standard\",\n"
                                  "      \"fontFile\": \"txt\",\n"
                                  "      \"bigFontFile\": \"\",\n"
                                  "      \"generation\": 0\n"
                                  "    },\n"));
    EXPECT_THAT(r.out, HasSubstr("    {\n"
                                 "      \"handle\": \"" + support::hexNumber(p.mirror) + "\",\n"
                                 "      \"name\": \"Mirror\",\n"
                                 "      \"fontFile\": \"mirror.shx\",\n"
                                 "      \"bigFontFile\": \"\",\n"
                                 "      \"generation\": 6\n"
                                 "    }\n"
                                 "  ],\n"
                                 "  \"texts\": [\n"
                                 "    {\n"
                                 "      \"handle\": \"" + support::hexNumber(p.modelText) + "\",\n"
                                 "      \"type\": \"TEXT\",\n"
                                 "      \"owner\": \"*Model_Space\",\n"
                                 "      \"style\": \"Hebrew\",\n"
                                 "      \"text\": \"\xD7\xA9\xD7\x91\xD7\xAA\",\n"
                                 "      \"bytes\": \"f9e1fa\",\n"
                                 "      \"generation\": 0,\n"
                                 "      \"horizontalAlignment\": 0,\n"
                                 "      \"verticalAlignment\": 0,\n"
                                 "      \"height\": 2.5,\n"
                                 "      \"insertion\": [\n"
                                 "        10,\n"
                                 "        20,\n"
                                 "        0\n"
                                 "      ]\n"
                                 "    },\n"));
    EXPECT_THAT(r.out, HasSubstr("    {\n"
                                 "      \"handle\": \"" + support::hexNumber(p.attribute) + "\",\n"
                                 "      \"type\": \"ATTRIB\",\n"
                                 "      \"owner\": \"*Paper_Space\",\n"
                                 "      \"insert\": \"" + support::hexNumber(p.insert) + "\",\n"
                                 "      \"tag\": \"NUM\",\n"
                                 "      \"style\": \"Standard\",\n"
                                 "      \"text\": \"12\",\n"
                                 "      \"bytes\": \"3132\",\n"));
    EXPECT_THAT(r.out, HasSubstr("      \"owner\": \"DOOR\",\n"
                                 "      \"style\": \"Mirror\",\n"
                                 "      \"text\": \"in \\\"door\\\"\",\n"
                                 "      \"bytes\": \"696e2022646f6f7222\",\n"
                                 "      \"generation\": 6,\n"
                                 "      \"horizontalAlignment\": 1,\n"
                                 "      \"verticalAlignment\": 2,\n"
                                 "      \"height\": 0.5,\n"
                                 "      \"insertion\": [\n"
                                 "        3,\n"
                                 "        4,\n"
                                 "        1.5\n"
                                 "      ]\n"
                                 "    }\n"
                                 "  ]\n"
                                 "}\n"));
    // The paper-space text: 80 81 read as Windows-1255 (euro sign, then a
    // byte the code page leaves undefined, which stays a C1 control).
    EXPECT_THAT(r.out, HasSubstr("\"text\": \"\xE2\x82\xAC\xC2\x81\",\n      \"bytes\": \"8081\""));
}

TEST_F(InspectCommand, SampleDrawingListsItsTwoTextsAndTwoAttributes) {
    const std::filesystem::path sample = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / "example_2000.dwg";
    if (!std::filesystem::exists(sample))
        GTEST_SKIP() << "sample drawing " << sample << " is absent";
    const auto r = runCli({"inspect", sample.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\nCode page:  30 (ANSI_1252)\n"));
    EXPECT_THAT(r.out, HasSubstr("\nTexts and attributes: 4\n"));
    // Values of the DXF twin: handles (5), owners (330), strings (1), tags (2).
    const auto text1 = cells(rowOf(r.out, "17B"));
    const auto attribute1 = cells(rowOf(r.out, "192"));
    const auto text2 = cells(rowOf(r.out, "4E3"));
    const auto attribute2 = cells(rowOf(r.out, "757"));
    ASSERT_EQ(text1.size(), 11u);
    EXPECT_THAT(std::vector(text1.begin(), text1.begin() + 3), ElementsAre("17B", "TEXT", "*Model_Space"));
    EXPECT_EQ(text1.back(), "\"teksto simpla\"");
    ASSERT_EQ(attribute1.size(), 13u);
    EXPECT_THAT(std::vector(attribute1.begin(), attribute1.begin() + 5),
                ElementsAre("192", "ATTRIB", "*Model_Space", "190", "ETIKEDO"));
    EXPECT_EQ(attribute1.back(), "\"valoro de la teksto en bloko\"");
    ASSERT_EQ(text2.size(), 11u);
    EXPECT_THAT(std::vector(text2.begin(), text2.begin() + 3), ElementsAre("4E3", "TEXT", "*Model_Space"));
    EXPECT_EQ(text2[5], "3");  // aligned (DXF 72)
    EXPECT_EQ(text2.back(), "\"xx\"");
    ASSERT_EQ(attribute2.size(), 13u);
    EXPECT_THAT(std::vector(attribute2.begin(), attribute2.begin() + 5),
                ElementsAre("757", "ATTRIB", "*Model_Space", "756", "ETIKEDO"));
    EXPECT_EQ(attribute2.back(), "\"valoro\"");
    EXPECT_EQ(attribute2[attribute2.size() - 2], "76616c6f726f");
}

// --all lists every object through its walk: the TEXT of the DXF twin with
// its string, height and style, and no object left as bits.
TEST_F(InspectCommand, AllListsEveryObjectWithTheFieldsOfItsType) {
    const std::filesystem::path sample = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / "example_2000.dwg";
    if (!std::filesystem::exists(sample))
        GTEST_SKIP() << "sample drawing " << sample << " is absent";
    const auto r = runCli({"inspect", "--all", "--json", sample.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto objects = r.out.find("\"objects\": [");
    ASSERT_NE(objects, std::string::npos);
    const auto text = r.out.find("\"handle\": \"17B\",\n      \"type\": \"TEXT\"", objects);
    ASSERT_NE(text, std::string::npos);
    const std::string object = r.out.substr(text, r.out.find("\n    }", text) - text);
    EXPECT_THAT(object, HasSubstr("\"fieldsKnown\": true"));
    EXPECT_THAT(object, HasSubstr("\"value\",\n          \"\\\"teksto simpla\\\"\""));
    EXPECT_THAT(object, HasSubstr("\"height\",\n          \"100\""));  // DXF 40
    EXPECT_THAT(object, HasSubstr("\"style\",\n          \"11\""));   // DXF 7: STANDARD, handle 11
    EXPECT_THAT(r.out, Not(HasSubstr("\"fieldsKnown\": false")));

    const auto listing = runCli({"inspect", "--all", sample.string()});
    ASSERT_EQ(listing.status, 0) << listing.err;
    EXPECT_THAT(listing.out, HasSubstr("\n  17B TEXT\n"));
    EXPECT_THAT(listing.out, HasSubstr("\n    value: \"teksto simpla\"\n"));
}

TEST_F(InspectCommand, FailuresAndBadCommandLines) {
    const auto missing = (m_dir / "missing.dwg").string();
    const auto r = runCli({"inspect", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("Cannot open file \"" + missing + "\""));
    EXPECT_EQ(r.out, "");

    const auto garbage = m_dir / "garbage.dwg";
    std::ofstream(garbage, std::ios::binary) << "AC1018 and nothing more";
    const auto bad = runCli({"inspect", "--json", garbage.string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_THAT(bad.err, HasSubstr(garbage.string()));
    EXPECT_EQ(bad.out, "");

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"inspect"}, {"inspect", "--json"}, {"inspect", "a.dwg", "b.dwg"}, {"inspect", "--xml", "a.dwg"}}) {
        const auto u = runCli(args);
        EXPECT_EQ(u.status, 2) << args.back();
        EXPECT_THAT(u.err, HasSubstr("Try 'corvelin-cli inspect --help'"));
        EXPECT_EQ(u.out, "");
    }
    const auto help = runCli({"inspect", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, StartsWith("Usage: corvelin-cli inspect [--json] [--all] DRAWING"));
}

}  // namespace
