// Drawings written by another program's DWG writer (LibreDWG's dwgrewrite,
// samples/dwg/foreign): they open with warnings naming what was repaired,
// list the texts of the AutoCAD drawing they were rewritten from, and save to
// drawings that hold the same objects, for our engine and for two
// independent readers.

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "dwg/drawing/drawing.h"
#include "dwg/errors.h"
#include "tests/dwg/test_support.h"
#include "tests/readers/independent_readers.h"

namespace {

using dwg::Drawing;

struct Foreign {
    const char* file;      // under samples/dwg/foreign
    const char* original;  // the AutoCAD drawing it was rewritten from
    bool libDxfRwReads;    // libdxfrw reads the 2000 ones only
};
constexpr Foreign kForeign[] = {
    {"rw2000_example_2000.dwg", "example_2000.dwg", true},
    {"rw2000_example_2004.dwg", "example_2004.dwg", true},
    {"rw2000_sample_2000.dwg", "sample_2000.dwg", true},
    {"rw2004_example_2000.dwg", "example_2000.dwg", false},
    {"rw2004_text_2004.dwg", "text_2004.dwg", false},
};

std::map<std::string, int> objectsPerType(const Drawing& d) {
    std::map<std::string, int> counts;
    for (const dwg::ObjectLocation& object : d.objects().file().objects)
        ++counts[std::string(d.entityType(object.handle))];
    return counts;
}

// The handles of every text and attribute the walk reaches.
std::set<std::uint64_t> textsListed(const Drawing& d) {
    std::set<std::uint64_t> texts;
    dwg::test::forEachBlockText(d, [&](std::uint64_t h, bool) { texts.insert(h); });
    return texts;
}

// What an independent reader delivers, kind by kind and block by block.
std::map<std::string, int> readerCounts(const readers::Dump& dump) {
    std::map<std::string, int> counts{{"TEXT", static_cast<int>(dump.texts.size())},
                                      {"ATTRIB", static_cast<int>(dump.attributes.size())},
                                      {"INSERT", static_cast<int>(dump.inserts.size())}};
    for (const auto& [name, entities] : dump.blocks)
        counts["BLOCK " + name] += entities;
    return counts;
}

TEST(ForeignDrawings, OpenWithWarningsListTheOriginalsTextsAndSaveTheSameObjects) {
    const std::filesystem::path dir = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / "foreign";
    if (!std::filesystem::is_directory(dir))
        GTEST_SKIP() << "no foreign sample drawings in " << dir;
    const std::filesystem::path out = std::filesystem::temp_directory_path() /
                                      ("corvelin-foreign-" + std::to_string(::getpid()));
    std::filesystem::create_directories(out);
    for (const Foreign& foreign : kForeign) {
        SCOPED_TRACE(foreign.file);
        auto bytes = dwg::test::loadSample(std::string("foreign/") + foreign.file);
        auto original = dwg::test::loadSample(foreign.original);
        ASSERT_TRUE(bytes && original);
        Drawing d = Drawing::fromBytes(*bytes, foreign.file);
        EXPECT_FALSE(d.repairs().empty());
        for (const dwg::Repair& repair : d.repairs()) {
            EXPECT_FALSE(repair.structure.empty());
            EXPECT_FALSE(repair.onSave.empty());
        }
        const std::set<std::uint64_t> texts = textsListed(d);
        EXPECT_EQ(texts, textsListed(Drawing::fromBytes(*original, foreign.original)));
        EXPECT_GE(d.warnings().size(), d.repairs().size());

        const std::filesystem::path saved = out / foreign.file;
        d.save(saved);
        const Drawing back = Drawing::open(saved);
        EXPECT_TRUE(back.repairs().empty()) << back.repairs().front().structure;
        EXPECT_EQ(objectsPerType(back), objectsPerType(d));
        EXPECT_EQ(textsListed(back), texts);

        for (const auto reader : {readers::Reader::LibreDwg, readers::Reader::LibDxfRw}) {
            if (reader == readers::Reader::LibDxfRw && !foreign.libDxfRwReads)
                continue;
            SCOPED_TRACE(std::string(readers::readerName(reader)));
            std::string why;
            const auto before = readers::dump(reader, dir / foreign.file, &why);
            if (!before) {
                std::cout << "skipped " << readers::readerName(reader) << ": " << why << '\n';
                continue;
            }
            const auto after = readers::dump(reader, saved, &why);
            ASSERT_TRUE(after) << why;
            EXPECT_EQ(readerCounts(*after), readerCounts(*before));
        }
    }
    std::filesystem::remove_all(out);
}

// AutoCAD's own drawings need no repair: a warning there would be a false alarm.
TEST(ForeignDrawings, AutoCadSamplesNeedNoRepair) {
    const std::filesystem::path dir = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg";
    if (!std::filesystem::is_directory(dir))
        GTEST_SKIP() << "no sample drawings in " << dir;
    int opened = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (entry.path().extension() != ".dwg" || entry.path().parent_path().filename() == "foreign")
            continue;
        SCOPED_TRACE(entry.path().string());
        const Drawing d = Drawing::open(entry.path());
        textsListed(d);
        EXPECT_TRUE(d.warnings().empty()) << d.warnings().front();
        ++opened;
    }
    EXPECT_GT(opened, 0);
}

}  // namespace
