// Tables of 2010-2018 in the 2004 form, against AutoCAD: example_2010,
// example_2013 and example_2018 hold the table (handle 4F2) that AutoCAD
// saved as 2004 in example_2004 and as 2007 in example_2007. The 2004
// fields made from the table content are AutoCAD's field by field, and on
// AutoCAD's common data bit for bit, their values (which 2004 does not
// write) in the 2007 form too; written as 2004 and read back, they stay.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "dwg/container/dwg_file.h"
#include "dwg/drawing/object_store.h"
#include "dwg/drawing/table_cells.h"
#include "dwg/drawing/text_codec.h"
#include "dwg/objects/object.h"
#include "dwg/objects/walks/multileader_table.h"
#include "tests/dwg/test_support.h"

namespace {

constexpr std::uint64_t kTable = 0x4F2;

struct Sample {
    dwg::Object table;
    std::vector<std::uint8_t> stored;  // as the file has it
    dwg::ClassList classes;
    std::uint16_t codePage = 30;
    dwg::Release release = dwg::Release::R2004;
};

std::optional<Sample> tableOf(const std::string& name) {
    const auto bytes = dwg::test::loadSample(name);
    if (!bytes)
        return std::nullopt;
    const dwg::DwgFile file = dwg::readDwgFile(*bytes);
    Sample s;
    s.classes = dwg::decodeClasses(file.classes, file.release);
    s.codePage = file.codePage;
    s.release = file.release;
    for (const dwg::ObjectLocation& location : file.objects)
        if (location.handle == kTable) {
            const auto stored = file.bytesOf(location);
            s.stored.assign(stored.begin(), stored.end());
            s.table = dwg::decodeObject(stored, file.release, s.classes);
            return s;
        }
    ADD_FAILURE() << name << " has no object " << dwg::handleText(kTable);
    return std::nullopt;
}

// Every string of the 2004 fields as characters: a 2004 file's bytes through
// its code page, a later one's UTF-16 as it is.
void asCharacters(dwg::Object& o, const support::CodePage& page) {
    dwg::visitHandles(o, dwg::Release::R2004, [](const char*, dwg::HandleRef&) {}, {},
                      [&](const char*, dwg::Text& text) {
                          dwg::Text characters;
                          characters.units = dwg::decodeText(text, page);
                          characters.terminated = text.terminated;
                          text = characters;
                      });
}

// Every string of the 2004 fields in the code page, as a save recodes them.
void inCodePage(dwg::Object& o, const support::CodePage& page) {
    dwg::visitHandles(o, dwg::Release::R2004, [](const char*, dwg::HandleRef&) {}, {},
                      [&](const char*, dwg::Text& text) {
                          dwg::encodeText(text, dwg::decodeText(text, page), page, dwg::Release::R2004);
                      });
}

// The fields of the 2004 walk from the insertion point on; the common data
// before it (graphics, extension dictionary) is the drawings' own.
std::vector<dwg::PrintedField> tableFields(dwg::Object& o) {
    std::vector<dwg::PrintedField> fields = dwg::describeObject(o, dwg::Release::R2004);
    std::size_t first = 0;
    while (first < fields.size() && fields[first].name != "insertion point")
        ++first;
    fields.erase(fields.begin(), fields.begin() + static_cast<std::ptrdiff_t>(first));
    return fields;
}

// Field by field, the first ten differences.
void expectSameFields(const std::vector<dwg::PrintedField>& ours, const std::vector<dwg::PrintedField>& theirs) {
    EXPECT_EQ(ours.size(), theirs.size()) << "fields in all";
    int differences = 0;
    for (std::size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i)
        if (ours[i] != theirs[i] && ++differences <= 10)
            ADD_FAILURE() << "field " << i << ": ours " << ours[i].name << " " << ours[i].value << ", AutoCAD's "
                          << theirs[i].name << " " << theirs[i].value;
    EXPECT_EQ(differences, 0);
}

// AutoCAD's table: its fields from the insertion point on, and its bytes as
// the file stores them. Nothing of the table differs: only the common
// data (the graphics and the extension dictionary, each drawing's own, and
// example_2018 was edited again) is left out.
struct Oracle {
    dwg::Object table;
    std::vector<dwg::PrintedField> fields;
    std::vector<std::uint8_t> bytes;
};

Oracle oracleOf(const Sample& s) {
    Oracle o{s.table, {}, s.stored};
    dwg::Object characters = s.table;
    asCharacters(characters, dwg::codePageOf(s.codePage));
    o.fields = tableFields(characters);
    return o;
}

// Our fields on AutoCAD's common data, in the bytes of `release`.
std::vector<std::uint8_t> onOracle(const Oracle& oracle, const dwg::TableObject& fields, dwg::Release release) {
    dwg::Object o = oracle.table;
    *o.as<dwg::TableObject>() = fields;
    return dwg::encodeObject(o, release, release);
}

TEST(TableCells, TablesOf2010To2018AreAutoCads2004Table) {
    std::optional<Sample> autocad = tableOf("example_2004.dwg");
    if (!autocad)
        GTEST_SKIP() << "sample drawing example_2004.dwg is absent";
    const support::CodePage& page = dwg::codePageOf(autocad->codePage);
    const Oracle theirs = oracleOf(*autocad);
    ASSERT_GT(theirs.fields.size(), 180U) << "AutoCAD's table has its 180 cells";
    // The values, which 2004 does not write, in the form of 2007.
    std::optional<Sample> autocad2007 = tableOf("example_2007.dwg");
    std::optional<Oracle> theirs2007;
    if (autocad2007)
        theirs2007 = oracleOf(*autocad2007);

    int compared = 0;
    for (const std::string name : {"example_2010.dwg", "example_2013.dwg", "example_2018.dwg"}) {
        SCOPED_TRACE(name);
        std::optional<Sample> sample = tableOf(name);
        if (!sample)
            continue;
        ++compared;
        dwg::Object& table = sample->table;
        auto* fields = table.as<dwg::TableObject>();
        ASSERT_NE(fields, nullptr);
        ASSERT_TRUE(fields->cells.empty()) << "from 2010 on the cells are the content's";

        std::vector<std::string> problems;
        dwg::tableCellsFromContent(*fields, problems);
        EXPECT_TRUE(problems.empty()) << problems.front();
        expectSameFields(tableFields(table), theirs.fields);
        if (theirs2007) {
            EXPECT_TRUE(onOracle(*theirs2007, *fields, dwg::Release::R2007) == theirs2007->bytes)
                << "the values are example_2007's";
        }

        // The strings in the code page, as a save recodes them: on AutoCAD's
        // common data the table is AutoCAD's bit for bit.
        inCodePage(table, page);
        EXPECT_TRUE(onOracle(theirs, *fields, dwg::Release::R2004) == theirs.bytes);

        // And on its own common data, written as 2004 and read back.
        dwg::Object back = dwg::decodeObject(dwg::encodeObject(table, dwg::Release::R2004, sample->release),
                                             dwg::Release::R2004, sample->classes);
        asCharacters(back, page);
        expectSameFields(tableFields(back), theirs.fields);
    }
    if (compared == 0)
        GTEST_SKIP() << "sample drawings example_2010, _2013 and _2018 are absent";
}

dwg::CellBorder border(std::uint32_t edges, std::int32_t lineWeight) {
    dwg::CellBorder b;
    b.edges = edges;
    b.overrides = 0x2 | 0x8 | 0x10;  // line weight, colour, invisibility
    b.color.rgb = 0xC3000001;          // red
    b.lineWeight = lineWeight;
    b.invisible = 1;
    return b;
}

// What the sample's table does not show, put into its content: the 2004
// fields made of it are written and read back unchanged, with what 2004
// cannot hold reported. A shared edge keeps its overrides in one cell, the
// other marks it virtual (ODA §20.4.96.1).
TEST(TableCells, OverridesOfEveryKindAreWrittenAs2004AndReadBack) {
    std::optional<Sample> sample = tableOf("example_2018.dwg");
    if (!sample)
        GTEST_SKIP() << "sample drawing example_2018.dwg is absent";
    auto& table = *sample->table.as<dwg::TableObject>();
    dwg::TableContent& content = table.content;
    ASSERT_GE(content.rows.size(), 6U);
    ASSERT_GE(content.columns.size(), 4U);

    // B3: every cell property, and its right edge, which C3 shares.
    dwg::CellStyle& b3 = content.rows[2].cells[1].style;
    b3.dataFlags = 1;
    b3.propertyOverrides = 0x4 | 0x10 | 0x20 | 0x40 | 0x80 | 0x200;
    b3.content.rotation = 0.5;
    b3.content.alignment = 9;
    b3.content.contentColor.rgb = 0xC3000005;
    b3.content.textStyle = {5, 0x11};
    b3.content.textHeight = 7.5;
    b3.backgroundColor.rgb = 0xC3000002;
    b3.borders = {border(2, 50)};
    // C3's left edge too: its overrides go to B3's.
    dwg::CellStyle& c3 = content.rows[2].cells[2].style;
    c3.dataFlags = 1;
    c3.borders = {border(8, 35)};
    // C4 a block with an attribute, D5 a field and a text.
    dwg::TableCellContent block;
    block.type = 4;
    block.object = {5, 0x4F3};
    dwg::Text a;
    a.units = u"A";
    block.attributes.push_back({{4, 0x12}, a, 1});
    content.rows[3].cells[2].contents = {block};
    dwg::TableCellContent field;
    field.type = 2;
    field.object = {5, 0x13};
    content.rows[4].cells[3].contents.insert(content.rows[4].cells[3].contents.begin(), field);
    // Row 6 its own margins; the table flows up with margins of its own and
    // without its title row.
    content.rows[5].style.dataFlags = 1;
    content.rows[5].style.propertyOverrides = 0x400;
    content.tableStyle.dataFlags = 1;
    content.tableStyle.propertyOverrides = 0x10000 | 0x400 | 0x800;
    content.tableStyle.mergeFlags = 0x10000;
    content.tableStyle.horizontalMargin = 2.0;
    content.tableStyle.verticalMargin = 3.0;
    content.rows[0].styleId = 3;

    std::vector<std::string> problems;
    dwg::tableCellsFromContent(table, problems);
    std::string all;
    for (const std::string& p : problems)
        all += p + "\n";
    EXPECT_NE(all.find("cell D5 holds 2 contents"), std::string::npos) << all;
    EXPECT_NE(all.find("row 6 has margins of its own"), std::string::npos) << all;
    EXPECT_NE(all.find("row 2 has the cell style 2"), std::string::npos) << all;

    const std::size_t columns = table.columnWidths.size();
    const dwg::TableCellData& b = table.cells[2 * columns + 1];
    const dwg::TableCellData& c = table.cells[2 * columns + 2];
    EXPECT_EQ(b.edgeFlags & 2, 2) << "B3's right edge has overrides";
    EXPECT_EQ(b.overrides.gridLineWeight[1], 50);
    EXPECT_EQ(c.edgeFlags & 8, 8) << "so has C3's left edge";
    EXPECT_EQ(c.overrides.virtualEdges, 8) << "which is virtual";
    EXPECT_EQ(c.overrides.flags & 0x22200U, 0U) << "and stores nothing";
    EXPECT_EQ(table.cells[3 * columns + 2].type, 2) << "C4 is a block";
    EXPECT_EQ(table.cells[4 * columns + 3].object.value, 0x13U) << "D5 keeps its field";
    EXPECT_EQ(table.valueFlags & 0x30, 0x20) << "no title, flowing up";
    EXPECT_TRUE(table.hasTableOverrides);

    const std::vector<dwg::PrintedField> made = tableFields(sample->table);
    inCodePage(sample->table, dwg::codePageOf(sample->codePage));
    dwg::Object back = dwg::decodeObject(dwg::encodeObject(sample->table, dwg::Release::R2004, sample->release),
                                         dwg::Release::R2004, sample->classes);
    asCharacters(back, dwg::codePageOf(sample->codePage));
    expectSameFields(tableFields(back), made);
}

}  // namespace
