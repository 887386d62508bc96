// Saving R13-2000 drawings as 2004, against AutoCAD: the same drawings that
// AutoCAD saved as 2000 and as 2004 (samples/dwg/series) agree, object by
// object under the same handle, field by field, but for what belongs to the
// program that saved them.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "dwg/container/dwg_file.h"
#include "dwg/container/r13_2000.h"
#include "dwg/drawing/drawing.h"
#include "dwg/objects/object.h"
#include "dwg/objects/registry.h"
#include "tests/dwg/test_support.h"

namespace {

namespace fs = std::filesystem;

using Fields = std::map<std::string, std::string>;

// Every object's fields by name (a name a list repeats gathers its values).
std::map<std::uint64_t, std::pair<std::string, Fields>> fieldsOf(const dwg::DwgFile& file) {
    const dwg::ClassList classes = dwg::decodeClasses(file.classes, file.release);
    std::map<std::uint64_t, std::pair<std::string, Fields>> out;
    for (const dwg::ObjectLocation& location : file.objects) {
        dwg::Object o = dwg::decodeObject(file.bytesOf(location), file.release, classes);
        auto& [type, fields] = out[location.handle];
        type = o.kind != nullptr ? std::string(o.kind->dxfName) : "?";
        for (const dwg::PrintedField& f : dwg::describeObject(o, file.release))
            fields[f.name] += f.value + ";";
    }
    return out;
}

// What AutoCAD's own saves make anew each time: its 2000 saves keep the data
// 2000 lacks in round-trip records (ACAD_XREC_ROUNDTRIP xrecords in extension
// dictionaries, extended data), which its 2004 saves take back and drop; they
// re-create the AcDs data dictionaries under new handles, and move the
// DWGPROPS xrecord into the SummaryInfo section.
bool isSaversOwn(const std::string& type, const std::string& field) {
    if (type == "DICTIONARY" || type == "XRECORD" || type == "DICTIONARYVAR")
        return true;
    if (field.starts_with("xdictionary") || field.starts_with("eed"))
        return true;
    // Restored from a layout's round-trip record.
    return type == "LAYOUT" && field.starts_with("shade plot");
}

TEST(ReleaseChange, AutoCads2000DrawingsSavedAs2004AgreeWithAutoCads2004Saves) {
    const fs::path series = fs::path(CORVELIN_SAMPLES_DIR) / "dwg" / "series";
    if (!fs::is_directory(series / "2000"))
        GTEST_SKIP() << "no series drawings in " << series;
    std::map<std::string, int> differences;
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(series / "2000")) {
        const fs::path autocad = series / "2004" / entry.path().filename();
        if (entry.path().extension() != ".dwg" || !fs::exists(autocad))
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        dwg::Drawing d = dwg::Drawing::open(entry.path());
        const auto ours = fieldsOf(dwg::readDwgFile(d.toBytes(dwg::Release::R2004)));
        const auto bytes = dwg::test::loadSample("series/2004/" + entry.path().filename().string());
        const auto theirs = fieldsOf(dwg::readDwgFile(*bytes));
        for (const auto& [handle, object] : theirs) {
            const auto found = ours.find(handle);
            if (found == ours.end()) {
                if (!isSaversOwn(object.first, ""))
                    ADD_FAILURE() << dwg::handleText(handle) << " " << object.first << " is missing";
                continue;
            }
            if (isSaversOwn(object.first, "") || isSaversOwn(found->second.first, ""))
                continue;  // a handle AutoCAD gave one of its own objects anew
            EXPECT_EQ(found->second.first, object.first) << dwg::handleText(handle);
            for (const auto& [name, value] : object.second) {
                const auto mine = found->second.second.find(name);
                if (isSaversOwn(object.first, name))
                    continue;
                if (mine == found->second.second.end())
                    ADD_FAILURE() << dwg::handleText(handle) << " " << object.first << " lacks " << name;
                else
                    EXPECT_EQ(mine->second, value) << dwg::handleText(handle) << " " << object.first << " " << name;
            }
        }
        for (const auto& [handle, object] : ours)
            if (!theirs.contains(handle) && !isSaversOwn(object.first, ""))
                ADD_FAILURE() << dwg::handleText(handle) << " " << object.first << " is not in AutoCAD's save";
        ++compared;
    }
    EXPECT_GT(compared, 10);
}

}  // namespace

namespace {

// The preview of an R13-2000 drawing saved as 2004 is the input's picture,
// its entries pointing at the same image bytes in the new file.
TEST(ReleaseChange, ThePreviewIsCarriedOver) {
    const auto bytes = dwg::test::loadSample("example_2000.dwg");
    if (!bytes)
        GTEST_SKIP() << "sample drawing example_2000.dwg is absent";
    const dwg::DwgFile source = dwg::readDwgFile(*bytes);
    const auto* from = dynamic_cast<const dwg::R13Layout*>(source.layout.get());
    ASSERT_NE(from, nullptr);
    std::vector<std::uint8_t> image;
    for (const auto& piece : from->pieces)
        if (piece.part == dwg::R13Part::Image)
            image = piece.bytes;
    ASSERT_GT(image.size(), 100U);

    dwg::Drawing d = dwg::Drawing::fromBytes(*bytes, "example_2000.dwg");
    const std::vector<std::uint8_t> saved = d.toBytes(dwg::Release::R2004);
    // Each entry's image, found through its address in the new file, holds
    // the bytes it held in the input.
    const std::size_t count = image[20];
    ASSERT_GT(count, 0U);
    const std::uint32_t previewAt = dwg::test::rl(saved, 0x0D);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 21 + 9 * i;
        const std::uint32_t start = dwg::test::rl(image, entry + 1), size = dwg::test::rl(image, entry + 5);
        ASSERT_LE(start + size, image.size());
        const std::uint32_t savedStart = dwg::test::rl(saved, previewAt + entry + 1);
        ASSERT_LE(std::size_t{savedStart} + size, saved.size());
        EXPECT_TRUE(std::equal(image.begin() + start, image.begin() + start + size, saved.begin() + savedStart))
            << "entry " << i;
    }
}

}  // namespace
