// Saving R13-2000 drawings as 2004, against AutoCAD: the same drawings that
// AutoCAD saved as 2000 and as 2004 (samples/dwg/series) agree, object by
// object under the same handle, field by field, but for what belongs to the
// program that saved them.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <span>
#include <string>

#include "dwg/container/dwg_file.h"
#include "dwg/container/preview_section.h"
#include "dwg/container/r13_2000.h"
#include "dwg/container/r2004.h"
#include "dwg/drawing/drawing.h"
#include "dwg/drawing/release_change.h"
#include "dwg/objects/object.h"
#include "dwg/objects/registry.h"
#include "dwg/objects/walks/tables.h"
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

// Drawings saved as 2004 against AutoCAD's own 2004 saves of the same
// drawings (pairs of sample paths): every handle both hold, field by field.
// Differences are failures unless `allowed(type, field)` says the field is
// the saving program's own; they are reported once per type and field, with
// a count and the first case.
template <class Allowed>
void compareWithAutoCads2004Saves(const std::vector<std::pair<fs::path, fs::path>>& pairs, Allowed allowed) {
    std::map<std::string, std::pair<int, std::string>> differences;
    const auto differ = [&](const std::string& what, const std::string& example) {
        auto& [count, first] = differences[what];
        if (count++ == 0)
            first = example;
    };
    for (const auto& [source, autocad] : pairs) {
        const std::string drawing = source.parent_path().filename().string() + "/" + source.filename().string();
        dwg::Drawing d = dwg::Drawing::open(source);
        const auto ours = fieldsOf(dwg::readDwgFile(d.toBytes(dwg::Release::R2004)));
        std::set<std::uint64_t> dropped;
        for (const dwg::DroppedObjectInSave& x : d.droppedInSave())
            dropped.insert(x.handle);
        const auto theirs = fieldsOf(dwg::readDwgFile(dwg::Drawing::open(autocad).toBytes()));
        for (const auto& [handle, object] : theirs) {
            const std::string at = drawing + " " + dwg::handleText(handle);
            const auto found = ours.find(handle);
            if (found == ours.end()) {
                if (!allowed(object.first, "") && !dropped.contains(handle))
                    differ(object.first + " missing", at);
                continue;
            }
            if (allowed(object.first, "") || allowed(found->second.first, ""))
                continue;  // a handle AutoCAD gave one of its own objects anew
            if (found->second.first != object.first) {
                differ(object.first + " became " + found->second.first, at);
                continue;
            }
            for (const auto& [name, value] : object.second) {
                const auto mine = found->second.second.find(name);
                if (allowed(object.first, name))
                    continue;
                if (mine == found->second.second.end())
                    differ(object.first + " lacks " + name, at);
                else if (mine->second != value)
                    differ(object.first + " " + name, at + ": ours " + mine->second + ", AutoCAD's " + value);
            }
        }
        for (const auto& [handle, object] : ours)
            if (!theirs.contains(handle) && !allowed(object.first, ""))
                differ(object.first + " not in AutoCAD's save", drawing + " " + dwg::handleText(handle));
    }
    for (const auto& [what, found] : differences)
        ADD_FAILURE() << what << ": " << found.first << " times, first " << found.second.substr(0, 400);
}

// The series drawings of `release` with their twins of series/2004.
std::vector<std::pair<fs::path, fs::path>> seriesPairs(const std::string& release) {
    const fs::path series = fs::path(CORVELIN_SAMPLES_DIR) / "dwg" / "series";
    std::vector<std::pair<fs::path, fs::path>> pairs;
    if (fs::is_directory(series / release))
        for (const auto& entry : fs::directory_iterator(series / release))
            if (entry.path().extension() == ".dwg" && fs::exists(series / "2004" / entry.path().filename()))
                pairs.emplace_back(entry.path(), series / "2004" / entry.path().filename());
    return pairs;
}

TEST(ReleaseChange, AutoCads2000DrawingsSavedAs2004AgreeWithAutoCads2004Saves) {
    const auto pairs = seriesPairs("2000");
    if (pairs.size() < 10)
        GTEST_SKIP() << "the series drawings of 2000 and 2004 are absent";
    compareWithAutoCads2004Saves(pairs, isSaversOwn);
}

// Besides what isSaversOwn lists, AutoCAD's 2004 saves of 2007-2018
// drawings keep what 2004 lacks in round-trip records of its own (cell style
// maps, extended data of visual, multileader and mtext styles); they compute
// a helix's spline anew and an ellipse's axis to the last bit, and list a
// 2018 dimension style table's extra handles in an order of their own. A
// view table's null entries they drop here and keep in example_2004.dwg.
bool isSaversOwnFromLaterReleases(const std::string& type, const std::string& field) {
    if (isSaversOwn(type, field) || type == "CELLSTYLEMAP" || type == "HELIX")
        return true;
    if (type == "VIEW_CONTROL" && field.starts_with("entry"))
        return true;
    return (type == "ELLIPSE" && field == "major axis") || (type == "DIMSTYLE_CONTROL" && field == "more");
}

TEST(ReleaseChange, AutoCads2007To2018DrawingsSavedAs2004AgreeWithAutoCads2004Saves) {
    std::vector<std::pair<fs::path, fs::path>> pairs;
    for (const char* release : {"2007", "2010", "2013", "2018"}) {
        const auto some = seriesPairs(release);
        pairs.insert(pairs.end(), some.begin(), some.end());
    }
    if (pairs.size() < 40)
        GTEST_SKIP() << "the series drawings of 2007-2018 are absent";
    compareWithAutoCads2004Saves(pairs, isSaversOwnFromLaterReleases);
}

// example_2018.dwg saved as 2004 against example_2004.dwg, which AutoCAD
// saved from the same drawing at another time: besides what AutoCAD's saves
// make anew (isSaversOwnFromLaterReleases), the two differ in their history
// (anonymous block numbers, registered applications, the view at saving, the
// lights' layer, the sun's viewport, plot style flags, null table entries,
// the handles of table content), in the proxy graphics AutoCAD draws anew,
// in the solids left out (and the lists and the history that named them),
// in the association objects of 2010 and later, which AutoCAD writes for
// 2004 in the form of their first version and we in the form their version
// field names, and in a degree sign AutoCAD escapes (\U+00B0) where the
// code page has it.
bool differsByHistory(const std::string& type, const std::string& field) {
    if (isSaversOwnFromLaterReleases(type, field) || type.starts_with("ACDBASSOC") ||
        type == "ACDBPERSSUBENTMANAGER" || type == "TABLECONTENT" || type == "TABLEGEOMETRY" || type == "DATATABLE" ||
        type == "APPID" || type == "APPID_CONTROL")
        return true;
    if (field.starts_with("graphics") || field.starts_with("plot style") || field.starts_with("entry"))
        return true;
    return (type == "BLOCK" && field == "name") || (type == "LAYER" && (field == "name" || field == "flags")) ||
           (type == "VPORT" && field.starts_with("view")) || (type == "SUN" && field == "owner") ||
           (type == "BLOCK_HEADER" && (field == "entity" || field == "insert" || field == "owned count")) ||
           (type == "ACSH_HISTORY_CLASS" && field == "owner") || (type == "MTEXT" && field == "text");
}

TEST(ReleaseChange, Example2018SavedAs2004AgreesWithAutoCadsExample2004) {
    const fs::path samples = fs::path(CORVELIN_SAMPLES_DIR) / "dwg";
    if (!fs::exists(samples / "example_2018.dwg") || !fs::exists(samples / "example_2004.dwg"))
        GTEST_SKIP() << "example_2018.dwg or example_2004.dwg is absent";
    compareWithAutoCads2004Saves({{samples / "example_2018.dwg", samples / "example_2004.dwg"}}, differsByHistory);
}


// The preview of an R13-2000 drawing saved as 2004 is the input's picture,
// its entries pointing at the same image bytes in the new file.
TEST(ReleaseChange, ThePreviewIsCarriedOver) {
    LOAD_OR_SKIP(bytes, "example_2000.dwg");
    const dwg::DwgFile source = dwg::readDwgFile(bytes);
    const auto* from = dynamic_cast<const dwg::R13Layout*>(source.layout.get());
    ASSERT_NE(from, nullptr);
    std::vector<std::uint8_t> image;
    for (const auto& piece : from->pieces)
        if (piece.part == dwg::R13Part::Image)
            image = piece.bytes;
    ASSERT_GT(image.size(), 100U);

    dwg::Drawing d = dwg::Drawing::fromBytes(bytes, "example_2000.dwg");
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


// Changes objects of a read file in place: `change` edits each decoded object
// and says whether it did; the changed ones are encoded anew (in the file's
// release) and their handles returned.
template <class Change>
std::vector<std::uint64_t> editObjects(dwg::DwgFile& file, Change change) {
    const dwg::ClassList classes = dwg::decodeClasses(file.classes, file.release);
    std::vector<std::uint64_t> changed;
    for (dwg::ObjectLocation& location : file.objects) {
        dwg::Object o = dwg::decodeObject(file.bytesOf(location), file.release, classes);
        if (!change(o))
            continue;
        const std::vector<std::uint8_t> stored = dwg::encodeObject(o, file.release, file.release);
        location.offset = static_cast<std::uint32_t>(file.objectBytes.size());
        location.size = static_cast<std::uint32_t>(stored.size());
        file.objectBytes.insert(file.objectBytes.end(), stored.begin(), stored.end());
        changed.push_back(location.handle);
    }
    return changed;
}


// Two layer names of a 2018 drawing that only differ as UTF-16 (a Hebrew
// letter, and the escape that stands for it in an 8-bit code page) become
// one name in 2004: the save says so.
TEST(ReleaseChange, NamesThatBecomeOneAreReported) {
    LOAD_OR_SKIP(bytes, "example_2018.dwg");
    dwg::DwgFile file = dwg::readDwgFile(bytes);
    int renamed = 0;
    editObjects(file, [&](dwg::Object& o) {
        auto* layer = o.as<dwg::LayerObject>();
        if (layer == nullptr || renamed == 2)
            return false;
        layer->entry.name.units = renamed++ == 0 ? u"\u05D0" : u"\\U+05D0";
        return true;
    });
    ASSERT_EQ(renamed, 2);
    const dwg::ReleaseChange change = dwg::changeRelease(file, dwg::Release::R2004);
    ASSERT_EQ(change.problems.size(), 1U);
    EXPECT_NE(change.problems.front().find("are both \"\\U+05D0\" in code page ANSI_1252"), std::string::npos)
        << change.problems.front();
}


// A 2018 linetype's dash texts (UTF-16 at byte offsets of a 512-byte area)
// become 8-bit strings of 2004's 256-byte area, each dash pointing at its
// own; one that does not fit is shortened before an escape and reported.
TEST(ReleaseChange, LinetypeTextsMoveIntoThe2004TextArea) {
    LOAD_OR_SKIP(bytes, "example_2018.dwg");
    dwg::DwgFile file = dwg::readDwgFile(bytes);
    const std::u16string texts[] = {u"AB", u"\u05E9\u05DC\u05D5\u05DD", std::u16string(40, u'\u05D0')};
    bool done = false;
    const std::vector<std::uint64_t> edited = editObjects(file, [&](dwg::Object& o) {
        auto* linetype = o.as<dwg::LinetypeObject>();
        if (linetype == nullptr || done)
            return false;
        done = true;
        linetype->textArea.assign(512, 0);
        std::size_t at = 0;
        linetype->dashes.clear();
        for (const std::u16string& text : texts) {
            dwg::LinetypeDash& dash = linetype->dashes.emplace_back();
            dash.length = 1.0;
            dash.shapeFlags = 2;
            dash.shapeCode = static_cast<std::int16_t>(at);
            for (const char16_t unit : text) {
                linetype->textArea[at++] = static_cast<std::uint8_t>(unit & 0xFF);
                linetype->textArea[at++] = static_cast<std::uint8_t>(unit >> 8);
            }
            at += 2;
        }
        return true;
    });
    ASSERT_EQ(edited.size(), 1U);
    const std::uint64_t changed = edited.front();
    const dwg::ReleaseChange change = dwg::changeRelease(file, dwg::Release::R2004);
    ASSERT_EQ(change.problems.size(), 1U);
    EXPECT_NE(change.problems.front().find("223 are left of the 256 of its linetype's texts in 2004: kept the first 217"), std::string::npos) << change.problems.front();
    const dwg::ClassList saved = dwg::decodeClasses(change.file.classes, dwg::Release::R2004);
    for (const dwg::ObjectLocation& location : change.file.objects) {
        if (location.handle != changed)
            continue;
        dwg::Object o = dwg::decodeObject(change.file.bytesOf(location), dwg::Release::R2004, saved);
        const auto* linetype = o.as<dwg::LinetypeObject>();
        ASSERT_NE(linetype, nullptr);
        ASSERT_EQ(linetype->textArea.size(), 256U);
        const auto textAt = [&](const dwg::LinetypeDash& dash) {
            return std::string(reinterpret_cast<const char*>(linetype->textArea.data()) + dash.shapeCode);
        };
        EXPECT_EQ(textAt(linetype->dashes[0]), "AB");
        EXPECT_EQ(textAt(linetype->dashes[1]), "\\U+05E9\\U+05DC\\U+05D5\\U+05DD");
        // 3 + 29 bytes before it, 255 - 32 left: 31 escapes of 7 bytes.
        EXPECT_EQ(textAt(linetype->dashes[2]).size(), 217U);
    }
}


// The columns a 2018 MTEXT keeps in itself go into its extended data, as
// AutoCAD's 2004 save of the same drawing has them, byte for byte.
TEST(ReleaseChange, MTextColumnsOf2018BecomeAutoCads2004ExtendedData) {
    const auto ours = dwg::test::loadSample("series/2018/Text.dwg");
    const auto theirs = dwg::test::loadSample("series/2004/Text.dwg");
    if (!ours || !theirs)
        GTEST_SKIP() << "series/2018/Text.dwg or series/2004/Text.dwg is absent";
    const auto firstExtendedData = [](const dwg::DwgFile& file) {
        const dwg::ClassList classes = dwg::decodeClasses(file.classes, file.release);
        for (const dwg::ObjectLocation& location : file.objects) {
            const dwg::Object o = dwg::decodeObject(file.bytesOf(location), file.release, classes);
            if (o.kind != nullptr && o.kind->dxfName == "MTEXT" && !o.common.extendedData.empty())
                return o.common.extendedData.front().bytes;
        }
        return std::vector<std::uint8_t>{};
    };
    dwg::Drawing d = dwg::Drawing::fromBytes(*ours, "Text.dwg");
    const auto saved = firstExtendedData(dwg::readDwgFile(d.toBytes(dwg::Release::R2004)));
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved, firstExtendedData(dwg::readDwgFile(*theirs)));
}


// The preview of a saved file, its entries relative to its start.
std::vector<std::uint8_t> previewOf(const dwg::DwgFile& file) {
    const auto* layout = dynamic_cast<const dwg::R2004Layout*>(file.layout.get());
    const dwg::R2004Section* section = layout != nullptr ? layout->find("AcDb:Preview") : nullptr;
    if (section == nullptr)
        return {};
    return dwg::relativePreview(section->data, dwg::test::rl(layout->fileHeader, 0x0D));
}

// A 2018 drawing saved as 2004 shows the bitmap the caller makes of its PNG
// preview.
TEST(ReleaseChange, ThePngPreviewOfLaterDrawingsBecomesABitmap) {
    LOAD_OR_SKIP(withPng, "example_2018.dwg");
    const std::vector<std::uint8_t> bitmap(1000, 0x5A);
    dwg::ReleaseChangeOptions options;
    options.pngToBitmap = [&](std::span<const std::uint8_t> png) {
        EXPECT_TRUE(png.size() > 8 && png[1] == 'P' && png[2] == 'N' && png[3] == 'G');
        return bitmap;
    };
    dwg::Drawing withPicture = dwg::Drawing::fromBytes(withPng, "example_2018.dwg");
    const std::vector<std::uint8_t> preview =
        previewOf(dwg::readDwgFile(withPicture.toBytes(dwg::Release::R2004, options)));
    ASSERT_GT(preview.size(), 21U + 2 * 9);
    ASSERT_EQ(preview[20], 2);  // the header entry and the picture
    EXPECT_EQ(preview[21 + 9], 2);  // a bitmap
    const std::uint32_t start = dwg::test::rl(preview, 21 + 9 + 1), size = dwg::test::rl(preview, 21 + 9 + 5);
    ASSERT_EQ(size, bitmap.size());
    ASSERT_LE(start + size, preview.size());
    EXPECT_TRUE(std::equal(bitmap.begin(), bitmap.end(), preview.begin() + start));
}

}  // namespace
