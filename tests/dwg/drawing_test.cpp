// The drawing model over real AutoCAD drawings of R13 to 2004: what it lists
// agrees with the DXF twins, an unchanged save keeps every object bit for
// bit, and changed texts come back changed with everything else unchanged.

#include "dwg/drawing/drawing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "dwg/bits/crc.h"
#include "dwg/container/dwg_file.h"
#include "dwg/drawing/builder.h"
#include "dwg/drawing/text_codec.h"
#include "dwg/errors.h"
#include "dwg/objects/stored_object.h"
#include "dwg/objects/walks/tables.h"
#include "dwg/objects/walks/text.h"
#include "support/code_pages.h"
#include "tests/dwg/dxf_twin.h"
#include "tests/dwg/test_support.h"

namespace {

using dwg::Drawing;

const std::vector<std::string> kSamples = {"example_r13",  "example_r14",  "example_2000", "example_2004", "example_2007",
                                           "example_2010", "example_2013", "example_2018", "entities-2d",  "sample_2000",
                                           "sample_2018",  "text_2000",    "text_2004",    "text_2007",    "text_2010",
                                           "text_2013",    "text_2018"};
const std::vector<std::string> kExamples = {"example_r13",  "example_r14",  "example_2000", "example_2004",
                                            "example_2007", "example_2010", "example_2013", "example_2018"};

std::optional<Drawing> openSample(const std::string& name) {
    auto bytes = dwg::test::loadSample(name + ".dwg");
    if (!bytes)
        return std::nullopt;
    return Drawing::fromBytes(*bytes, name + ".dwg");
}

std::string utf8(const std::u16string& text) { return support::toUtf8(text); }

// Every TEXT of the drawing: those of model space and layouts, and those
// inside block definitions.
std::vector<std::uint64_t> allTexts(const Drawing& d) {
    std::set<std::uint64_t> texts;
    for (std::uint64_t block : d.blocks())
        for (std::uint64_t e : d.blockEntities(block))
            if (d.isText(e))
                texts.insert(e);
    return {texts.begin(), texts.end()};
}

std::vector<std::uint64_t> allAttributes(const Drawing& d) {
    std::set<std::uint64_t> attributes;
    for (std::uint64_t block : d.blocks())
        for (std::uint64_t e : d.blockEntities(block))
            if (d.isBlockReference(e))
                for (std::uint64_t a : d.attributes(e))
                    attributes.insert(a);
    return {attributes.begin(), attributes.end()};
}

TEST(DrawingSamples, EverySampleOpensAndWalks) {
    for (const std::string& name : kSamples) {
        SCOPED_TRACE(name);
        auto d = openSample(name);
        if (!d)
            GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
        EXPECT_FALSE(d->textStyles().empty());
        ASSERT_GE(d->blocks().size(), 2u);
        EXPECT_EQ(d->objects().file().droppedObjects.size(), 0u);
        for (std::uint64_t style : d->textStyles())
            d->styleFontFile(style);
        for (std::uint64_t text : allTexts(*d))
            d->textString(text);
        for (std::uint64_t insert : d->selectAll("INSERT"))
            for (std::uint64_t attribute : d->attributes(insert))
                d->textString(attribute);
    }
}

TEST(DrawingSamples, ExamplesAgreeWithTheirDxfTwins) {
    std::vector<std::string> names = kExamples;
    const std::filesystem::path series2007 = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / "series" / "2007";
    if (std::filesystem::is_directory(series2007))
        for (const auto& entry : std::filesystem::directory_iterator(series2007))
            if (entry.path().extension() == ".dxf")
                names.push_back("series/2007/" + entry.path().stem().string());
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        auto d = openSample(name);
        auto twin = dwg::test::readDxfTwin(std::string(CORVELIN_SAMPLES_DIR) + "/dwg/" + name + ".dxf");
        if (!d || !twin)
            GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;

        std::vector<std::string> dxfStyles, ourStyles;
        for (const auto& e : *twin)
            if (e.type == "STYLE" && !(std::atoi(e.text(70, "0").c_str()) & 1))
                dxfStyles.push_back(e.text(2) + "|" + e.text(3) + "|" + std::to_string(std::atoi(e.text(71, "0").c_str())));
        for (std::uint64_t s : d->textStyles())
            ourStyles.push_back(utf8(d->styleName(s)) + "|" + utf8(d->styleFontFile(s)) + "|" +
                                std::to_string(d->style(s).generation));
        EXPECT_EQ(ourStyles, dxfStyles);

        auto styleOf = [&](std::uint64_t handle) { return utf8(d->textStyleName(handle)); };
        std::vector<std::string> dxfTexts, ourTexts;
        for (const auto& e : *twin) {
            if (e.type == "STYLE")
                continue;
            char point[64];
            std::snprintf(point, sizeof point, "%.6f,%.6f", e.number(10), e.number(20));
            dxfTexts.push_back(e.type + "|" + e.text(5) + "|" + e.text(2) + "|" + e.text(1) + "|" +
                               e.text(7, "STANDARD") + "|" + point + "|" + std::to_string(std::atoi(e.text(71, "0").c_str())));
        }
        auto describe = [&](const char* type, std::uint64_t handle) {
            const dwg::TextLineFields t = d->text(handle);
            char point[64];
            std::snprintf(point, sizeof point, "%.6f,%.6f", t.insertion.x, t.insertion.y);
            const std::string tag = utf8(d->textTag(handle));
            return std::string(type) + "|" + dwg::handleText(handle) + "|" + tag + "|" + utf8(d->textString(handle)) +
                   "|" + styleOf(handle) + "|" + point + "|" + std::to_string(d->textGeneration(handle));
        };
        for (std::uint64_t t : allTexts(*d))
            ourTexts.push_back(describe("TEXT", t));
        for (std::uint64_t a : allAttributes(*d))
            ourTexts.push_back(describe("ATTRIB", a));
        // DXF names the Standard style in its own spelling; compare style names ignoring case.
        auto upper = [](std::vector<std::string> v) {
            for (auto& s : v)
                std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
            std::sort(v.begin(), v.end());
            return v;
        };
        EXPECT_EQ(upper(ourTexts), upper(dxfTexts));
    }
}

// What a drawing holds, in a form every release shares: the strings of its
// texts, attributes and multiline texts, its styles with their fonts, its
// layers and blocks by name, and its entities counted by type.
std::map<std::string, std::multiset<std::string>> contentsOf(const Drawing& d) {
    std::map<std::string, std::multiset<std::string>> out;
    const dwg::ObjectStore& store = d.objects();
    const auto text = [&](const dwg::Text& t) { return utf8(dwg::decodeText(t, d.textCodePage())); };
    for (std::uint64_t handle : store.handles()) {
        const auto type = store.typeOf(handle);
        if (type == dwg::type::Text || type == dwg::type::Attrib)
            out["strings"].insert(utf8(d.textString(handle)));
        else if (type == dwg::type::MText)
            out["strings"].insert(text(store.decode(handle).as<dwg::MTextObject>()->text));
        else if (type == dwg::type::Layer)
            out["layers"].insert(text(store.decode(handle).as<dwg::LayerObject>()->entry.name));
    }
    for (std::uint64_t style : d.textStyles())
        out["styles"].insert(utf8(d.styleName(style)) + " " + utf8(d.styleFontFile(style)));
    for (std::uint64_t block : d.blocks()) {
        out["blocks"].insert(utf8(d.blockName(block)));
        for (std::uint64_t e : d.blockEntities(block))
            out["entities"].insert(std::string(d.entityType(e)));
    }
    return out;
}

// The same drawings saved by AutoCAD in every release from 2000 to 2018 read
// as the same drawing.
TEST(SeriesDrawings, EveryReleaseHoldsTheSameDrawing) {
    const std::filesystem::path series = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / "series";
    if (!std::filesystem::is_directory(series / "2000"))
        GTEST_SKIP() << "no series drawings in " << series;
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(series / "2000")) {
        if (entry.path().extension() != ".dwg")
            continue;
        const std::string name = entry.path().filename().string();
        const auto first = contentsOf(Drawing::open(entry.path()));
        for (const char* release : {"2004", "2007", "2010", "2013", "2018"}) {
            SCOPED_TRACE(name + " in " + release);
            const std::filesystem::path other = series / release / name;
            if (!std::filesystem::exists(other))
                continue;
            EXPECT_EQ(contentsOf(Drawing::open(other)), first);
            ++compared;
        }
    }
    EXPECT_GT(compared, 60);
    // The text-only drawing of every release likewise.
    if (auto first = openSample("text_2000")) {
        const auto expected = contentsOf(*first);
        for (const char* name : {"text_2004", "text_2007", "text_2010", "text_2013", "text_2018"}) {
            SCOPED_TRACE(name);
            auto d = openSample(name);
            ASSERT_TRUE(d);
            EXPECT_EQ(contentsOf(*d), expected);
        }
    }
}

TEST(DrawingSamples, SavingUnchangedKeepsEveryObjectBitForBit) {
    for (const std::string& name : kSamples) {
        SCOPED_TRACE(name);
        auto d = openSample(name);
        if (!d)
            GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
        if (!d->canSaveAs(d->release()))
            continue;  // 2007 drawings are read, not written
        const auto saved = d->toBytes();
        const Drawing again = Drawing::fromBytes(saved, name + " saved");
        const auto& before = d->objects().file();
        const auto& after = again.objects().file();
        EXPECT_EQ(after.release, before.release);
        EXPECT_EQ(after.codePage, before.codePage);
        EXPECT_EQ(after.headerVariables, before.headerVariables);
        EXPECT_EQ(after.classes, before.classes);
        ASSERT_EQ(after.objects.size(), before.objects.size());
        for (const auto& object : before.objects) {
            ASSERT_TRUE(again.objects().contains(object.handle)) << dwg::handleText(object.handle);
            auto it = std::find_if(after.objects.begin(), after.objects.end(),
                                   [&](const auto& o) { return o.handle == object.handle; });
            const auto a = before.bytesOf(object);
            const auto b = after.bytesOf(*it);
            EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << dwg::handleText(object.handle);
        }
    }
}

TEST(DrawingSamples, HebrewTextsComeBackWithEverythingElseUnchanged) {
    const std::u16string hebrew = u"\u05E9\u05DC\u05D5\u05DD ";  // shalom
    for (const std::string& name : kSamples) {
        SCOPED_TRACE(name);
        auto d = openSample(name);
        if (!d)
            GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
        if (!d->canSaveAs(d->release()))
            continue;  // 2007 drawings are read, not written
        std::vector<std::uint64_t> changed = allTexts(*d);
        auto attributes = allAttributes(*d);
        changed.insert(changed.end(), attributes.begin(), attributes.end());
        std::map<std::uint64_t, std::u16string> expected;
        for (std::uint64_t t : changed) {
            expected[t] = hebrew + d->textString(t);
            d->setTextString(t, expected[t]);
        }
        const Drawing again = Drawing::fromBytes(d->toBytes(), name + " saved");
        for (const auto& [handle, value] : expected) {
            EXPECT_EQ(again.textString(handle), value) << dwg::handleText(handle);
            // Every field but the string is as it was.
            const dwg::TextLineFields before = d->text(handle), after = again.text(handle);
            EXPECT_EQ(after.insertion, before.insertion);
            EXPECT_EQ(after.alignment, before.alignment);
            EXPECT_EQ(after.height, before.height);
            EXPECT_EQ(after.generation, before.generation);
            EXPECT_EQ(after.style, before.style);
            EXPECT_EQ(again.textTag(handle), d->textTag(handle));
            const dwg::CommonData was = d->object(handle).common, is = again.object(handle).common;
            EXPECT_EQ(is.owner, was.owner);
            EXPECT_EQ(is.layer, was.layer);
        }
        const auto& before = d->objects().file();
        for (const auto& object : before.objects) {
            if (expected.count(object.handle))
                continue;
            const auto& afterObjects = again.objects().file();
            auto it = std::find_if(afterObjects.objects.begin(), afterObjects.objects.end(),
                                   [&](const auto& o) { return o.handle == object.handle; });
            ASSERT_NE(it, afterObjects.objects.end());
            const auto a = before.bytesOf(object);
            const auto b = afterObjects.bytesOf(*it);
            EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << dwg::handleText(object.handle);
        }
    }
}

TEST(DrawingSamples, GenerationMoveAndStyleEditsRoundTrip) {
    auto d = openSample("example_2000");
    if (!d)
        GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
    const std::uint64_t text = d->selectAll("TEXT").front();
    const dwg::Point3 start = d->insertionPoint(text);
    d->setBackward(text, true);
    d->move(text, {1, 2, 0}, {-9, 0, 0});
    const std::uint64_t style = d->textStyles().front();
    d->setStyleFontFile(style, u"Arial.ttf");
    d->setStyleGeneration(style, 0);
    const Drawing again = Drawing::fromBytes(d->toBytes(), "edited");
    EXPECT_TRUE(again.backward(text));
    EXPECT_EQ(again.textGeneration(text) & 2, 2);
    EXPECT_EQ(again.insertionPoint(text), (dwg::Point3{start.x - 10, start.y - 2, start.z}));
    EXPECT_EQ(again.styleFontFile(style), u"Arial.ttf");
    EXPECT_EQ(again.style(style).generation, 0);
}

// Reads give values and changes are seen by every later read, in whatever
// order texts, attributes and styles are read and changed.
TEST(DrawingModel, ReadsAndChangesInAnyOrder) {
    dwg::DrawingBuilder b(dwg::Release::R2000);
    const std::uint64_t style = b.addTextStyle("S", "s.shx");
    dwg::DrawingBuilder::TextSpec one;
    one.value = "One";
    one.style = style;
    const std::uint64_t first = b.addText(dwg::DrawingBuilder::Space::Model, one);
    dwg::DrawingBuilder::TextSpec two = one;
    two.value = "Two";
    two.insertion = {5, 5, 0};
    const std::uint64_t second = b.addText(dwg::DrawingBuilder::Space::Model, two);
    Drawing d = Drawing::fromBytes(b.bytes(), "built.dwg");

    const dwg::TextLineFields a = d.text(first), c = d.text(second);
    EXPECT_EQ(a.value.bytes, "One");
    EXPECT_EQ(c.value.bytes, "Two");
    d.setTextString(first, u"Uno");
    EXPECT_EQ(d.textString(second), u"Two");
    d.setStyleFontFile(style, u"x.ttf");
    d.setTextString(second, u"Dos");
    d.move(first, {0, 0, 0}, {1, 2, 3});
    EXPECT_EQ(d.textString(first), u"Uno");
    EXPECT_EQ(d.textString(second), u"Dos");
    EXPECT_EQ(d.styleFontFile(style), u"x.ttf");
    EXPECT_EQ(d.textStyleName(first), u"S");
    EXPECT_EQ(a.value.bytes, "One");  // a value read before stays as it was read

    const Drawing again = Drawing::fromBytes(d.toBytes(), "saved.dwg");
    EXPECT_EQ(again.textString(first), u"Uno");
    EXPECT_EQ(again.insertionPoint(first), (dwg::Point3{1, 2, 3}));
    EXPECT_EQ(again.textString(second), u"Dos");
    EXPECT_EQ(again.styleFontFile(style), u"x.ttf");
}

TEST(DrawingErrors, DamagedFilesNameTheFileAndTheReason) {
    auto bytes = dwg::test::loadSample("example_2000.dwg");
    if (!bytes)
        GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
    bytes->resize(bytes->size() / 2);
    EXPECT_THAT([&] { Drawing::fromBytes(*bytes, "half.dwg"); },
                ::testing::Throws<dwg::FormatError>(::testing::Property(
                    &dwg::FormatError::what, ::testing::StartsWith("half.dwg: "))));
    const std::vector<std::uint8_t> notDwg = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
    EXPECT_THAT([&] { Drawing::fromBytes(notDwg, "hello.dwg"); },
                ::testing::ThrowsMessage<dwg::FormatError>(::testing::HasSubstr("hello.dwg: not a DWG drawing")));
    EXPECT_THROW(Drawing::open("/nonexistent/plan.dwg"), std::runtime_error);
}


}  // namespace

namespace {

TEST(DrawingBoxes, AReferenceIsMeasuredWithItsAttributesAsChanged) {
    auto d = openSample("example_2000");
    if (!d)
        GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
    for (std::uint64_t insert : d->selectAll("INSERT")) {
        const auto attributes = d->attributes(insert);
        if (attributes.empty())
            continue;
        const dwg::Box3 before = d->boundingBox(insert);
        const dwg::Point3 at = d->insertionPoint(attributes.front());
        d->move(attributes.front(), at, {at.x + 100000, at.y, at.z});
        const dwg::Box3 after = d->boundingBox(insert);
        EXPECT_GE(after.max.x, at.x + 100000);
        EXPECT_EQ(after.min.y, before.min.y);
        return;
    }
    FAIL() << "no block reference with attributes in the sample";
}

// Objects whose bytes were damaged but whose CRC still matches reach the
// object decoders: every failure must be a clean FormatError.
TEST(DrawingRobustness, DamagedObjectsGiveCleanErrors) {
    std::mt19937 random(20261209);
    for (const std::string& name : kSamples) {
        SCOPED_TRACE(name);
        auto bytes = dwg::test::loadSample(name + ".dwg");
        if (!bytes)
            GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
        const dwg::DwgFile original = dwg::readDwgFile(*bytes);
        for (int round = 0; round < 120; ++round) {
            dwg::DwgFile file = original;
            auto& object = file.objects[random() % file.objects.size()];
            const auto data = dwg::splitStoredObject(file.bytesOf(object), file.release);
            std::uint8_t* first = file.objectBytes.data() + object.offset + data.headerBytes;
            for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips)
                first[random() % data.data.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
            const auto crcAt = object.offset + object.size - 2;
            const std::uint16_t crc = dwg::crc16(
                dwg::kCrc16Seed, std::span<const std::uint8_t>(file.objectBytes).subspan(object.offset, object.size - 2));
            file.objectBytes[crcAt] = static_cast<std::uint8_t>(crc);
            file.objectBytes[crcAt + 1] = static_cast<std::uint8_t>(crc >> 8);
            try {
                Drawing d(std::move(file), name);
                for (std::uint64_t style : d.textStyles())
                    d.styleFontFile(style);
                for (std::uint64_t block : d.blocks())
                    for (std::uint64_t e : d.blockEntities(block)) {
                        if (d.isText(e))
                            d.textString(e);
                        if (d.isBlockReference(e)) {
                            for (std::uint64_t a : d.attributes(e))
                                d.textString(a);
                            d.boundingBox(e);
                        }
                    }
            } catch (const dwg::FormatError&) {
            } catch (const dwg::UnsupportedRelease&) {
            }
        }
    }
}

}  // namespace
