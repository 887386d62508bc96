// New drawings made by DrawingBuilder: written with writeDwgFile, opened
// again with the drawing model, every object decoded through its walk; and
// the same drawings read by independent DWG readers.

#include "dwg/drawing/builder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>

#include <unistd.h>

#include "dwg/bits/crc.h"
#include "dwg/drawing/drawing.h"
#include "dwg/errors.h"
#include "dwg/objects/header_variables.h"
#include "dwg/objects/object.h"
#include "dwg/objects/walks/dictionaries.h"
#include "dwg/objects/walks/tables.h"
#include "dwg/objects/walks/text.h"
#include "support/code_pages.h"
#include "tests/dwg/test_support.h"
#include "tests/readers/independent_readers.h"

namespace {

using dwg::Drawing;
using dwg::DrawingBuilder;
using dwg::Point3;
using dwg::Release;
using Space = DrawingBuilder::Space;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string utf8(const std::u16string& text) { return support::toUtf8(text); }

DrawingBuilder::TextSpec textAt(std::string value, Point3 at, std::uint64_t style = 0) {
    DrawingBuilder::TextSpec s;
    s.value = std::move(value);
    s.insertion = at;
    s.style = style;
    return s;
}

// One drawing with something of everything, and the handles the builder
// gave out.
struct Sample {
    std::uint64_t hebrewStyle = 0, romansStyle = 0;
    std::uint64_t alpha = 0, beta = 0, gamma = 0, sheet = 0, modelLine = 0;
    std::uint64_t title = 0, titleText = 0, titleLine = 0, nameDef = 0, dateDef = 0;
    std::uint64_t withTwo = 0, withThree = 0, bare = 0;
    std::uint64_t seed = 0;
    dwg::DwgFile file;
    std::vector<std::uint8_t> bytes;
};

Sample buildSample(Release release, std::uint16_t codePage = 30, std::string greeting = "Alpha") {
    DrawingBuilder b(release, codePage);
    Sample s;
    s.hebrewStyle = b.addTextStyle("HEBREW", "hebrew.shx", 2, 0.8);
    s.romansStyle = b.addTextStyle("Romans", "romans.shx");

    s.alpha = b.addText(Space::Model, textAt(greeting, {1, 2, 0}));
    DrawingBuilder::TextSpec beta = textAt("Beta", {10, -5, 3}, s.hebrewStyle);
    beta.height = 1.5;
    beta.rotation = 0.5;
    beta.widthFactor = 0.9;
    beta.oblique = 0.1;
    beta.generation = 4;
    beta.horizontalAlignment = 1;  // centered: the alignment point counts
    beta.alignment = {12, -5};
    s.beta = b.addText(Space::Model, beta);
    DrawingBuilder::TextSpec gamma = textAt("Gamma", {0, 20, 0}, s.romansStyle);
    gamma.generation = 2;
    s.gamma = b.addText(Space::Model, gamma);
    s.sheet = b.addText(Space::Paper, textAt("Sheet", {5, 5, 0}, s.romansStyle));
    s.modelLine = b.addLine(Space::Model, {0, 0, 0}, {100, 50, 0});

    s.title = b.addBlock("TITLE", {1, 1, 0});
    s.titleText = b.addTextToBlock(s.title, textAt("Title block", {0, 0, 0}));
    s.titleLine = b.addLineToBlock(s.title, {0, -1, 0}, {30, -1, 0});
    s.nameDef = b.addAttributeDefinition(s.title, "NAME", "Name?", textAt("nobody", {0, -3, 0}));
    s.dateDef = b.addAttributeDefinition(s.title, "DATE", "Date?", textAt("today", {0, -6, 0}, s.romansStyle));

    s.withTwo = b.addInsert(Space::Model, s.title, {100, 50, 0}, {2, 2, 1}, 0.25,
                            {{"NAME", textAt("Moshe", {101, 49, 0})}, {"DATE", textAt("2024", {101, 45, 0}, s.romansStyle)}});
    s.bare = b.addInsert(Space::Paper, s.title, {20, 20, 0});
    s.withThree = b.addInsert(Space::Model, s.title, {200, 0, 0}, {1, 1, 1}, 0,
                              {{"NAME", textAt("Aharon", {200, -3, 0})},
                               {"DATE", textAt("2025", {200, -6, 0})},
                               {"EXTRA", textAt("x", {200, -9, 0})}});
    s.seed = b.nextHandle();
    s.file = b.build();
    s.bytes = dwg::writeDwgFile(s.file);
    return s;
}

// One object's fields of one walk, with its common data, against which
// its handles resolve.
template <class Fields>
struct Decoded {
    dwg::CommonData common;
    Fields fields;
    std::uint64_t resolve(const dwg::HandleRef& ref) const { return common.resolve(ref); }
    std::vector<std::uint64_t> resolve(const std::vector<dwg::HandleRef>& refs) const {
        std::vector<std::uint64_t> out;
        for (const dwg::HandleRef& ref : refs)
            out.push_back(common.resolve(ref));
        return out;
    }
};

template <class Fields>
Decoded<Fields> fieldsOf(const Drawing& d, std::uint64_t handle) {
    dwg::Object o = d.object(handle);
    const Fields* fields = o.as<Fields>();
    if (fields == nullptr)
        throw std::logic_error("object " + dwg::handleText(handle) + " is not of the walk expected");
    return {o.common, *fields};
}

class Built : public ::testing::TestWithParam<Release> {};

std::string releaseTestName(const ::testing::TestParamInfo<Release>& param) {
    return "R" + std::string(dwg::releaseName(param.param));
}

INSTANTIATE_TEST_SUITE_P(Releases, Built, ::testing::Values(Release::R2000, Release::R2004), releaseTestName);

TEST_P(Built, ListsItsTextStylesWithFontsAndFlags) {
    const Sample s = buildSample(GetParam());
    const Drawing d = Drawing::fromBytes(s.bytes, "built.dwg");
    EXPECT_EQ(d.release(), GetParam());
    ASSERT_THAT(d.textStyles(), ElementsAre(DrawingBuilder::kStandardStyle, s.hebrewStyle, s.romansStyle));
    EXPECT_EQ(utf8(d.styleName(DrawingBuilder::kStandardStyle)), "Standard");
    EXPECT_EQ(utf8(d.styleFontFile(DrawingBuilder::kStandardStyle)), "txt");
    EXPECT_EQ(utf8(d.styleName(s.hebrewStyle)), "HEBREW");
    EXPECT_EQ(utf8(d.styleFontFile(s.hebrewStyle)), "hebrew.shx");
    EXPECT_EQ(d.style(s.hebrewStyle).generation, 2);
    EXPECT_EQ(d.style(s.hebrewStyle).widthFactor, 0.8);
    EXPECT_EQ(utf8(d.styleName(s.romansStyle)), "Romans");
    EXPECT_EQ(utf8(d.styleFontFile(s.romansStyle)), "romans.shx");
    EXPECT_EQ(d.style(s.romansStyle).generation, 0);
    EXPECT_FALSE(d.style(s.romansStyle).isShapeFile);
}

TEST_P(Built, ListsItsTextsInModelAndPaperSpace) {
    const Sample s = buildSample(GetParam());
    const Drawing d = Drawing::fromBytes(s.bytes, "built.dwg");
    ASSERT_THAT(d.selectAll("TEXT"), ElementsAre(s.alpha, s.beta, s.gamma, s.sheet));

    EXPECT_EQ(utf8(d.textString(s.alpha)), "Alpha");
    EXPECT_EQ(utf8(d.textStyleName(s.alpha)), "Standard");
    EXPECT_EQ(d.insertionPoint(s.alpha), (Point3{1, 2, 0}));
    EXPECT_EQ(d.textGeneration(s.alpha), 0);
    EXPECT_EQ(d.text(s.alpha).height, 2.5);
    // Left-aligned: no alignment point of its own.
    EXPECT_EQ(d.text(s.alpha).alignment, (dwg::Point2{1, 2}));

    const dwg::TextLineFields beta = d.text(s.beta);
    EXPECT_EQ(utf8(d.textString(s.beta)), "Beta");
    EXPECT_EQ(utf8(d.textStyleName(s.beta)), "HEBREW");
    EXPECT_EQ(d.insertionPoint(s.beta), (Point3{10, -5, 3}));
    EXPECT_EQ(beta.alignment, (dwg::Point2{12, -5}));
    EXPECT_EQ(beta.height, 1.5);
    EXPECT_EQ(beta.rotation, 0.5);
    EXPECT_EQ(beta.widthFactor, 0.9);
    EXPECT_EQ(beta.oblique, 0.1);
    EXPECT_EQ(beta.generation, 4);
    EXPECT_EQ(beta.horizontalAlignment, 1);
    EXPECT_EQ(beta.verticalAlignment, 0);

    EXPECT_TRUE(d.backward(s.gamma));
    EXPECT_EQ(utf8(d.textStyleName(s.gamma)), "Romans");
    EXPECT_EQ(utf8(d.textString(s.sheet)), "Sheet");
    EXPECT_EQ(d.insertionPoint(s.sheet), (Point3{5, 5, 0}));
}

TEST_P(Built, KeepsTheBlockWithItsEntitiesAndAttributeDefinitions) {
    const Sample s = buildSample(GetParam());
    const Drawing d = Drawing::fromBytes(s.bytes, "built.dwg");
    ASSERT_THAT(d.blocks(), ElementsAre(DrawingBuilder::kModelSpace, DrawingBuilder::kPaperSpace, s.title));
    EXPECT_THAT(d.spaces(), ElementsAre(DrawingBuilder::kModelSpace, DrawingBuilder::kPaperSpace));
    EXPECT_EQ(utf8(d.blockName(DrawingBuilder::kModelSpace)), "*Model_Space");
    EXPECT_EQ(utf8(d.blockName(DrawingBuilder::kPaperSpace)), "*Paper_Space");
    EXPECT_EQ(utf8(d.blockName(s.title)), "TITLE");
    const auto title = fieldsOf<dwg::BlockRecordObject>(d, s.title);
    EXPECT_EQ(title.fields.basePoint, (Point3{1, 1, 0}));
    EXPECT_TRUE(title.fields.hasAttributes);
    EXPECT_THAT(title.resolve(title.fields.inserts), ElementsAre(s.withTwo, s.bare, s.withThree));

    ASSERT_THAT(d.blockEntities(s.title), ElementsAre(s.titleText, s.titleLine, s.nameDef, s.dateDef));
    EXPECT_EQ(d.entityType(s.titleLine), "LINE");
    EXPECT_EQ(utf8(d.textString(s.titleText)), "Title block");
    EXPECT_EQ(d.textTag(s.nameDef), u"NAME");
    EXPECT_EQ(fieldsOf<dwg::AttdefObject>(d, s.nameDef).fields.prompt.bytes, "Name?");
    EXPECT_EQ(utf8(d.textString(s.nameDef)), "nobody");
    EXPECT_EQ(d.textTag(s.dateDef), u"DATE");
    EXPECT_EQ(utf8(d.textStyleName(s.dateDef)), "Romans");

    EXPECT_THAT(d.blockEntities(DrawingBuilder::kModelSpace),
                ElementsAre(s.alpha, s.beta, s.gamma, s.modelLine, s.withTwo, s.withThree));
    EXPECT_THAT(d.blockEntities(DrawingBuilder::kPaperSpace), ElementsAre(s.sheet, s.bare));
}

TEST_P(Built, ReferencesOwnTheirAttributesAndSeqend) {
    const Sample s = buildSample(GetParam());
    const Drawing d = Drawing::fromBytes(s.bytes, "built.dwg");
    ASSERT_THAT(d.selectAll("INSERT"), ElementsAre(s.withTwo, s.withThree, s.bare));

    const auto two = fieldsOf<dwg::InsertEntityObject>(d, s.withTwo);
    EXPECT_EQ(two.resolve(two.fields.insert.block), s.title);
    EXPECT_EQ(two.fields.insert.insertion, (Point3{100, 50, 0}));
    EXPECT_EQ(two.fields.insert.scale, (Point3{2, 2, 1}));
    EXPECT_EQ(two.fields.insert.rotation, 0.25);
    EXPECT_TRUE(two.fields.insert.hasAttributes);
    // The attributes follow the reference's handle, then their SEQEND.
    ASSERT_THAT(d.attributes(s.withTwo), ElementsAre(s.withTwo + 1, s.withTwo + 2));
    const std::uint64_t seqend = two.resolve(two.fields.insert.attributes.seqend);
    EXPECT_EQ(seqend, s.withTwo + 3);
    EXPECT_EQ(d.objects().typeOf(seqend), dwg::type::Seqend);
    EXPECT_EQ(d.textTag(s.withTwo + 1), u"NAME");
    EXPECT_EQ(utf8(d.textString(s.withTwo + 1)), "Moshe");
    EXPECT_EQ(d.insertionPoint(s.withTwo + 1), (Point3{101, 49, 0}));
    EXPECT_EQ(d.textTag(s.withTwo + 2), u"DATE");
    EXPECT_EQ(utf8(d.textStyleName(s.withTwo + 2)), "Romans");
    const dwg::CommonData name = d.object(s.withTwo + 1).common;
    EXPECT_EQ(name.resolve(name.owner), s.withTwo);

    ASSERT_THAT(d.attributes(s.withThree), ElementsAre(s.withThree + 1, s.withThree + 2, s.withThree + 3));
    EXPECT_EQ(utf8(d.textString(s.withThree + 3)), "x");
    const auto three = fieldsOf<dwg::InsertEntityObject>(d, s.withThree);
    EXPECT_EQ(three.resolve(three.fields.insert.attributes.seqend), s.withThree + 4);

    EXPECT_FALSE(d.insert(s.bare).hasAttributes);
    EXPECT_TRUE(d.attributes(s.bare).empty());
    EXPECT_EQ(d.insert(s.bare).scale, (Point3{1, 1, 1}));
}

// What each release stores about an owner's entities: R2000 the first and
// last of a linked run, 2004 the whole list.
TEST_P(Built, LinksEntitiesTheWayTheReleaseDoes) {
    const Sample s = buildSample(GetParam());
    const Drawing d = Drawing::fromBytes(s.bytes, "built.dwg");
    const auto model = fieldsOf<dwg::BlockRecordObject>(d, DrawingBuilder::kModelSpace);
    const auto three = fieldsOf<dwg::InsertEntityObject>(d, s.withThree);
    const dwg::OwnedEntities& attributes = three.fields.insert.attributes;
    if (GetParam() == Release::R2000) {
        EXPECT_EQ(model.resolve(model.fields.firstEntity), s.alpha);
        EXPECT_EQ(model.resolve(model.fields.lastEntity), s.withThree);
        EXPECT_TRUE(model.fields.entities.empty());
        EXPECT_EQ(three.resolve(attributes.first), s.withThree + 1);
        EXPECT_EQ(three.resolve(attributes.last), s.withThree + 3);
        // Beta sits between alpha and gamma, one handle either side: no links
        // stored. Gamma's successor is the line, four handles on.
        EXPECT_TRUE(d.object(s.beta).common.noLinks);
        const dwg::CommonData gamma = d.object(s.gamma).common;
        EXPECT_FALSE(gamma.noLinks);
        EXPECT_EQ(gamma.resolve(gamma.previous), s.beta);
        EXPECT_EQ(gamma.resolve(gamma.next), s.modelLine);
    } else {
        EXPECT_THAT(model.resolve(model.fields.entities),
                    ElementsAre(s.alpha, s.beta, s.gamma, s.modelLine, s.withTwo, s.withThree));
        EXPECT_EQ(model.fields.firstEntity, dwg::HandleRef{});
        EXPECT_THAT(three.resolve(attributes.entities), ElementsAre(s.withThree + 1, s.withThree + 2, s.withThree + 3));
    }
}

// Every object goes through its walk, ending exactly where it says its data
// and handles end (ObjectStore::decode checks), and encodes back to the
// stored bytes.
TEST_P(Built, EveryObjectDecodesThroughItsWalkAndEncodesBack) {
    const Sample s = buildSample(GetParam());
    const Drawing d = Drawing::fromBytes(s.bytes, "built.dwg");
    const dwg::ObjectStore& store = d.objects();
    ASSERT_EQ(store.file().objects.size(), s.file.objects.size());
    std::set<std::uint64_t> handles;
    for (const dwg::ObjectLocation& object : store.file().objects) {
        SCOPED_TRACE("object " + dwg::handleText(object.handle));
        handles.insert(object.handle);
        dwg::Object decoded;
        ASSERT_NO_THROW(decoded = store.decode(object.handle));
        EXPECT_NE(decoded.kind, nullptr);
        const auto stored = store.file().bytesOf(object);
        const std::vector<std::uint8_t> again = dwg::encodeObject(decoded, GetParam(), GetParam());
        EXPECT_TRUE(std::equal(again.begin(), again.end(), stored.begin(), stored.end()));
        // Every owner is in the drawing; a block's entities and an
        // attribute name their owner unless they lie in a space.
        const dwg::CommonData& c = decoded.common;
        const std::uint64_t owner = c.resolve(c.owner);
        if (owner != 0) {
            EXPECT_TRUE(store.contains(owner));
        }
        for (const dwg::HandleRef& reactor : c.reactors)
            EXPECT_TRUE(store.contains(c.resolve(reactor)));
    }
    // Handles are unique (the store refuses doubles) and all below HANDSEED.
    EXPECT_EQ(handles.size(), s.file.objects.size());
    EXPECT_LT(*handles.rbegin(), s.seed);
    const auto header = dwg::HeaderVariables::decode(s.file.headerVariables, GetParam());
    EXPECT_EQ(header.handle("HANDSEED"), s.seed);
}

TEST_P(Built, HeaderVariablesPointAtTheTables) {
    constexpr std::uint16_t kMlineStyleType = 73;
    const Sample s = buildSample(GetParam());
    const Drawing d = Drawing::fromBytes(s.bytes, "built.dwg");
    const dwg::ObjectStore& store = d.objects();
    const auto header = dwg::HeaderVariables::decode(store.file().headerVariables, GetParam());
    const std::map<std::string, std::uint16_t> controls = {
        {"BLOCK_CONTROL_OBJECT", dwg::type::BlockControl},   {"LAYER_CONTROL_OBJECT", dwg::type::LayerControl},
        {"STYLE_CONTROL_OBJECT", dwg::type::StyleControl},   {"LINETYPE_CONTROL_OBJECT", dwg::type::LtypeControl},
        {"VIEW_CONTROL_OBJECT", dwg::type::ViewControl},     {"UCS_CONTROL_OBJECT", dwg::type::UcsControl},
        {"VPORT_CONTROL_OBJECT", dwg::type::VportControl},   {"APPID_CONTROL_OBJECT", dwg::type::AppIdControl},
        {"DIMSTYLE_CONTROL_OBJECT", dwg::type::DimStyleControl}, {"CLAYER", dwg::type::Layer},
        {"TEXTSTYLE", dwg::type::Style},                     {"DIMTXSTY", dwg::type::Style},
        {"CELTYPE", dwg::type::Ltype},                       {"LTYPE_BYLAYER", dwg::type::Ltype},
        {"LTYPE_BYBLOCK", dwg::type::Ltype},                 {"LTYPE_CONTINUOUS", dwg::type::Ltype},
        {"DIMSTYLE", dwg::type::DimStyle},                   {"CMLSTYLE", kMlineStyleType},
        {"DICTIONARY_NAMED_OBJECTS", dwg::type::Dictionary}, {"DICTIONARY_ACAD_GROUP", dwg::type::Dictionary},
        {"DICTIONARY_ACAD_MLINESTYLE", dwg::type::Dictionary}, {"DICTIONARY_LAYOUTS", dwg::type::Dictionary},
        {"DICTIONARY_PLOTSETTINGS", dwg::type::Dictionary}, {"BLOCK_RECORD_MODEL_SPACE", dwg::type::BlockHeader},
        {"BLOCK_RECORD_PAPER_SPACE", dwg::type::BlockHeader}};
    for (const auto& [name, objectType] : controls) {
        SCOPED_TRACE(name);
        EXPECT_EQ(store.typeOf(header.handle(name)), objectType);
    }
    EXPECT_EQ(store.dxfNameOf(header.handle("DICTIONARY_PLOTSTYLES")), "ACDBDICTIONARYWDFLT");
    EXPECT_EQ(header.handle("BLOCK_RECORD_MODEL_SPACE"), DrawingBuilder::kModelSpace);
    EXPECT_EQ(header.handle("TEXTSTYLE"), DrawingBuilder::kStandardStyle);
    if (GetParam() == Release::R2000) {
        EXPECT_EQ(store.typeOf(header.handle("VIEWPORT_ENTITY_HEADER_CONTROL_OBJECT")), dwg::type::VpEntHdrControl);
    } else {
        EXPECT_EQ(store.typeOf(header.handle("DICTIONARY_COLORS")), dwg::type::Dictionary);
        EXPECT_TRUE(store.handlesOfType(dwg::type::VpEntHdrControl).empty());
    }

    // Every other variable keeps the value of a new drawing.
    const auto defaults = dwg::HeaderVariables::defaults(GetParam());
    std::set<std::string> given = {"HANDSEED", "TDUCREATE", "TDUUPDATE", "FINGERPRINTGUID", "VERSIONGUID",
                                   "DICTIONARY_COLORS", "DICTIONARY_PLOTSTYLES",
                                   "VIEWPORT_ENTITY_HEADER_CONTROL_OBJECT"};
    for (const auto& [name, objectType] : controls)
        given.insert(name);
    for (std::size_t i = 0; i < header.size(); ++i) {
        const std::string name(header.infoAt(i).name);
        if (given.count(name) == 0) {
            EXPECT_EQ(dwg::formatHeaderValue(header.valueAt(i)), dwg::formatHeaderValue(defaults.get(name))) << name;
        }
    }

    // A creation date of today (Julian day 2440588 is 1 January 1970) and GUIDs.
    const auto created = std::get<dwg::JulianDate>(header.get("TDUCREATE"));
    const auto days = std::chrono::duration_cast<std::chrono::hours>(
                          std::chrono::system_clock::now().time_since_epoch()).count() / 24;
    EXPECT_NEAR(created.day, 2440588 + days, 1);
    EXPECT_GE(created.milliseconds, 0);
    EXPECT_LT(created.milliseconds, 86'400'000);
    // Like the other header strings of 2000 and later, with a terminating zero.
    const auto guid = std::get<std::string>(header.get("FINGERPRINTGUID"));
    ASSERT_EQ(guid.size(), 39U);
    EXPECT_EQ(guid.back(), '\0');
    EXPECT_THAT(guid.substr(0, 38), ::testing::MatchesRegex(R"(\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\})"));
    EXPECT_NE(guid, std::get<std::string>(header.get("VERSIONGUID")));
}

TEST_P(Built, DictionariesHoldWhatAutoCadExpects) {
    const Sample s = buildSample(GetParam());
    const Drawing d = Drawing::fromBytes(s.bytes, "built.dwg");
    const dwg::ObjectStore& store = d.objects();
    const auto header = dwg::HeaderVariables::decode(store.file().headerVariables, GetParam());
    // Name and absolute handle of each entry.
    using Entries = std::vector<std::pair<std::string, std::uint64_t>>;
    const auto entries = [](const auto& decoded, const dwg::DictionaryObject& dict) {
        Entries out;
        for (const dwg::DictionaryEntry& entry : dict.entries)
            out.emplace_back(entry.name.bytes, decoded.resolve(entry.item));
        return out;
    };
    const auto names = [](const Entries& list) {
        std::vector<std::string> out;
        for (const auto& entry : list)
            out.push_back(entry.first);
        return out;
    };
    const std::uint64_t root = header.handle("DICTIONARY_NAMED_OBJECTS");
    const auto named = fieldsOf<dwg::DictionaryObject>(d, root);
    EXPECT_EQ(named.resolve(named.common.owner), 0U);
    std::vector<std::string> expected = {"ACAD_GROUP", "ACAD_LAYOUT", "ACAD_MLINESTYLE", "ACAD_PLOTSETTINGS",
                                         "ACAD_PLOTSTYLENAME"};
    if (GetParam() == Release::R2004)
        expected.insert(expected.begin(), "ACAD_COLOR");
    EXPECT_EQ(names(entries(named, named.fields)), expected);
    for (const auto& [name, handle] : entries(named, named.fields)) {
        SCOPED_TRACE(name);
        const dwg::CommonData sub = d.object(handle).common;
        EXPECT_EQ(sub.resolve(sub.owner), root);
        ASSERT_EQ(sub.reactors.size(), 1U);
        EXPECT_EQ(sub.resolve(sub.reactors[0]), root);
    }

    const std::uint64_t layoutDictionary = header.handle("DICTIONARY_LAYOUTS");
    const auto layouts = fieldsOf<dwg::DictionaryObject>(d, layoutDictionary);
    ASSERT_EQ(names(entries(layouts, layouts.fields)), (std::vector<std::string>{"Layout1", "Model"}));
    for (const auto& [name, handle] : entries(layouts, layouts.fields)) {
        const auto layout = fieldsOf<dwg::LayoutObject>(d, handle);
        EXPECT_EQ(layout.fields.name.bytes, name);
        const std::uint64_t block = layout.resolve(layout.fields.block);
        EXPECT_EQ(block, name == "Model" ? DrawingBuilder::kModelSpace : DrawingBuilder::kPaperSpace);
        ASSERT_EQ(layout.common.reactors.size(), 1U);
        EXPECT_EQ(layout.resolve(layout.common.reactors[0]), layoutDictionary);
        // The space's block record names its layout back.
        const auto record = fieldsOf<dwg::BlockRecordObject>(d, block);
        EXPECT_EQ(record.resolve(record.fields.layout), handle);
    }

    const auto plotStyles = fieldsOf<dwg::DictionaryWithDefaultObject>(d, header.handle("DICTIONARY_PLOTSTYLES"));
    const Entries plotStyleEntries = entries(plotStyles, plotStyles.fields.dictionary);
    ASSERT_EQ(names(plotStyleEntries), (std::vector<std::string>{"Normal"}));
    const std::uint64_t normal = plotStyles.resolve(plotStyles.fields.defaultEntry);
    EXPECT_EQ(normal, plotStyleEntries[0].second);
    // A class of its own in 2000; 2004 gives PLACEHOLDER the fixed type 0x50.
    EXPECT_EQ(store.typeOf(normal), GetParam() == Release::R2000 ? 501 : 0x50);
    const auto mlineStyles = fieldsOf<dwg::DictionaryObject>(d, header.handle("DICTIONARY_ACAD_MLINESTYLE"));
    const Entries mlineStyleEntries = entries(mlineStyles, mlineStyles.fields);
    ASSERT_EQ(names(mlineStyleEntries), (std::vector<std::string>{"Standard"}));
    EXPECT_EQ(mlineStyleEntries[0].second, header.handle("CMLSTYLE"));
}

TEST(Builder, StoresTextBytesInTheDrawingsCodePage) {
    // "שלום" in Windows-1255.
    const std::string shalom = "\xF9\xEC\xE5\xED";
    for (Release release : {Release::R2000, Release::R2004}) {
        SCOPED_TRACE(std::string(dwg::releaseName(release)));
        const Sample s = buildSample(release, 34, shalom);
        const Drawing d = Drawing::fromBytes(s.bytes, "hebrew.dwg");
        EXPECT_EQ(d.codePage(), 34);
        EXPECT_EQ(d.text(s.alpha).value.bytes, shalom);
        EXPECT_EQ(d.textString(s.alpha), u"\u05E9\u05DC\u05D5\u05DD");
    }
}

TEST(Builder, RefusesWhatADrawingCannotHold) {
    EXPECT_THROW(DrawingBuilder{Release::R14}, dwg::UnsupportedRelease);
    EXPECT_THROW(DrawingBuilder{Release::R2007}, dwg::UnsupportedRelease);
    DrawingBuilder b(Release::R2000);
    EXPECT_THAT([&] { b.addTextStyle("standard", "x.shx"); },
                ::testing::ThrowsMessage<std::invalid_argument>(HasSubstr("already has one named")));
    EXPECT_THROW(b.addTextStyle("", "x.shx"), std::invalid_argument);
    EXPECT_THROW(b.addBlock("*MODEL_SPACE"), std::invalid_argument);
    const std::uint64_t block = b.addBlock("B");
    EXPECT_THROW(b.addBlock("b"), std::invalid_argument);
    EXPECT_THROW(b.addTextToBlock(block + 1, textAt("x", {})), std::invalid_argument);
    EXPECT_THROW(b.addInsert(Space::Model, DrawingBuilder::kModelSpace, {}), std::invalid_argument);
    EXPECT_THROW(b.addText(Space::Model, textAt("x", {}, block)), std::invalid_argument);
    EXPECT_THROW(b.addText(Space::Model, textAt("x", {std::nan(""), 0, 0})), std::invalid_argument);
    EXPECT_THROW(b.addAttributeDefinition(block, "", "p", textAt("x", {})), std::invalid_argument);
    EXPECT_THROW(b.addInsert(Space::Model, block, {}, {1, 1, 1}, 0, {{"", textAt("x", {})}}), std::invalid_argument);
    // Nothing refused took a handle.
    EXPECT_EQ(b.nextHandle(), block + 3);
}

TEST(Builder, HandsOutHandlesAfterTheEmptyDrawingsOwn) {
    // R2000 uses 1 to 0x24 (0x23 the dimension style, 0x24 the viewport);
    // 2004 adds its colour dictionary at 0x25.
    DrawingBuilder r2000(Release::R2000);
    EXPECT_EQ(r2000.addTextStyle("A", "a.shx"), 0x25U);
    EXPECT_EQ(r2000.addBlock("B"), 0x26U);  // record, BLOCK, ENDBLK
    EXPECT_EQ(r2000.addText(Space::Model, textAt("x", {})), 0x29U);
    EXPECT_EQ(r2000.nextHandle(), 0x2AU);
    DrawingBuilder r2004(Release::R2004);
    EXPECT_EQ(r2004.addText(Space::Paper, textAt("x", {})), 0x26U);
}

// An object of more than 32767 bytes takes a two-unit MS size (ODA §2.7:
// 0x8000 | the low 15 bits, then the rest), and reads back.
TEST(Builder, LongObjectsTakeATwoUnitSize) {
    DrawingBuilder b(Release::R2000);
    const std::string filler(40000, 'a');
    const std::uint64_t handle = b.addText(Space::Model, textAt(filler, {}));
    const dwg::DwgFile file = b.build();
    const auto it = std::find_if(file.objects.begin(), file.objects.end(),
                                 [&](const dwg::ObjectLocation& o) { return o.handle == handle; });
    ASSERT_NE(it, file.objects.end());
    const auto stored = file.bytesOf(*it);
    const std::size_t size = stored.size() - 4 - 2;
    EXPECT_EQ(dwg::test::rs(stored, 0), 0x8000 | (size & 0x7FFF));
    EXPECT_EQ(dwg::test::rs(stored, 2), size >> 15);
    // The CRC covers the MS size and the data.
    EXPECT_EQ(dwg::test::rs(stored, stored.size() - 2),
              dwg::crc16(dwg::kCrc16Seed, std::span(stored).first(stored.size() - 2)));
    const Drawing d = Drawing::fromBytes(dwg::writeDwgFile(file), "long.dwg");
    EXPECT_EQ(d.text(handle).value.bytes, filler);
}

// The same drawings as independent readers see them.
class BuiltForReaders : public ::testing::TestWithParam<Release> {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() / ("corvelin-built-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
        write(buildSample(GetParam()));
    }
    void write(Sample sample) {
        m_sample = std::move(sample);
        m_file = m_dir / "built.dwg";
        std::ofstream(m_file, std::ios::binary)
            .write(reinterpret_cast<const char*>(m_sample.bytes.data()), static_cast<std::streamsize>(m_sample.bytes.size()));
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::optional<readers::Dump> read(readers::Reader reader) {
        std::string why;
        auto dump = readers::dump(reader, m_file, &why);
        if (!dump)
            m_skipReason = std::string(readers::readerName(reader)) + " is not available: " + why;
        return dump;
    }

    // What our engine lists, in the readers' terms.
    struct Listed {
        std::map<std::string, std::string> styles;  // name -> font|generation
        std::map<std::string, readers::Text> texts;  // by handle
        std::map<std::string, readers::Attribute> attributes;
        std::map<std::string, readers::Insert> inserts;
    };
    Listed listed() const {
        const Drawing d = Drawing::fromBytes(m_sample.bytes, "built.dwg");
        Listed out;
        for (std::uint64_t s : d.textStyles())
            out.styles[utf8(d.styleName(s))] = utf8(d.styleFontFile(s)) + "|" + std::to_string(d.style(s).generation);
        for (std::uint64_t block : d.blocks())
            for (std::uint64_t e : d.blockEntities(block)) {
                const std::string owner = utf8(d.blockName(block));
                if (d.isText(e)) {
                    const Point3 p = d.insertionPoint(e);
                    out.texts[dwg::handleText(e)] = {dwg::handleText(e), owner, utf8(d.textStyleName(e)), p.x, p.y,
                                                     utf8(d.textString(e)), std::to_string(d.textGeneration(e))};
                } else if (d.isBlockReference(e)) {
                    const dwg::InsertFields insert = d.insert(e);
                    const std::uint64_t target = d.object(e).common.resolve(insert.block);
                    out.inserts[dwg::handleText(e)] = {dwg::handleText(e), owner, utf8(d.blockName(target)),
                                                       insert.insertion.x, insert.insertion.y};
                    for (std::uint64_t a : d.attributes(e)) {
                        const Point3 p = d.insertionPoint(a);
                        out.attributes[dwg::handleText(a)] = {dwg::handleText(a), dwg::handleText(e), utf8(d.textTag(a)),
                                                              utf8(d.textStyleName(a)), p.x, p.y,
                                                              utf8(d.textString(a))};
                    }
                }
            }
        return out;
    }

    std::filesystem::path m_dir, m_file;
    Sample m_sample;
    std::string m_skipReason;
};

INSTANTIATE_TEST_SUITE_P(Releases, BuiltForReaders, ::testing::Values(Release::R2000, Release::R2004),
                         releaseTestName);

void expectSameTexts(const std::vector<readers::Text>& read, const std::map<std::string, readers::Text>& ours) {
    ASSERT_EQ(read.size(), ours.size());
    for (const readers::Text& t : read) {
        SCOPED_TRACE("text " + t.handle);
        auto it = ours.find(t.handle);
        ASSERT_NE(it, ours.end());
        EXPECT_EQ(t.owner, it->second.owner);
        EXPECT_EQ(t.style, it->second.style);
        EXPECT_EQ(t.text, it->second.text);
        EXPECT_EQ(t.generation, it->second.generation);
        EXPECT_DOUBLE_EQ(t.x, it->second.x);
        EXPECT_DOUBLE_EQ(t.y, it->second.y);
    }
}

void expectSameInserts(const std::vector<readers::Insert>& read, const std::map<std::string, readers::Insert>& ours) {
    ASSERT_EQ(read.size(), ours.size());
    for (const readers::Insert& i : read) {
        SCOPED_TRACE("insert " + i.handle);
        auto it = ours.find(i.handle);
        ASSERT_NE(it, ours.end());
        EXPECT_EQ(i.owner, it->second.owner);
        EXPECT_EQ(i.block, it->second.block);
        EXPECT_DOUBLE_EQ(i.x, it->second.x);
        EXPECT_DOUBLE_EQ(i.y, it->second.y);
    }
}

void expectSameStyles(const std::vector<readers::Style>& read, const std::map<std::string, std::string>& ours) {
    std::map<std::string, std::string> theirs;
    for (const readers::Style& s : read)
        theirs[s.name] = s.fontFile + "|" + s.generation;
    EXPECT_EQ(theirs, ours);
}

TEST_P(BuiltForReaders, LibreDwgListsWhatWasBuilt) {
    auto dump = read(readers::Reader::LibreDwg);
    if (!dump)
        GTEST_SKIP() << m_skipReason;
    EXPECT_TRUE(dump->warnings.empty()) << dump->warnings.front();
    EXPECT_EQ(dump->version, dwg::versionString(GetParam()));
    EXPECT_EQ(dump->codePage, "30");
    const Listed ours = listed();
    expectSameStyles(dump->styles, ours.styles);
    expectSameTexts(dump->texts, ours.texts);
    expectSameInserts(dump->inserts, ours.inserts);
    ASSERT_EQ(dump->attributes.size(), ours.attributes.size());
    for (const readers::Attribute& a : dump->attributes) {
        SCOPED_TRACE("attribute " + a.handle);
        auto it = ours.attributes.find(a.handle);
        ASSERT_NE(it, ours.attributes.end());
        EXPECT_EQ(a.insert, it->second.insert);
        EXPECT_EQ(a.tag, it->second.tag);
        EXPECT_EQ(a.style, it->second.style);
        EXPECT_EQ(a.text, it->second.text);
        EXPECT_DOUBLE_EQ(a.x, it->second.x);
        EXPECT_DOUBLE_EQ(a.y, it->second.y);
    }
    // LibreDWG delivers every entity of each block record.
    EXPECT_THAT(dump->blocks, ::testing::UnorderedElementsAre(std::pair<std::string, int>{"*Model_Space", 6},
                                                              std::pair<std::string, int>{"*Paper_Space", 2},
                                                              std::pair<std::string, int>{"TITLE", 4}));
}

TEST_P(BuiltForReaders, LibDxfRwListsWhatWasBuilt) {
    auto dump = read(readers::Reader::LibDxfRw);
    if (!dump)
        GTEST_SKIP() << m_skipReason;
    // libdxfrw's LAYOUT reader takes one handle more than a LAYOUT has, so it
    // reports every drawing with layouts (AutoCAD's too) as partly read.
    for (const std::string& warning : dump->warnings)
        EXPECT_THAT(warning, HasSubstr("BAD_READ_OBJECTS"));
    EXPECT_EQ(dump->version, dwg::versionString(GetParam()));
    const Listed ours = listed();
    expectSameStyles(dump->styles, ours.styles);
    expectSameTexts(dump->texts, ours.texts);
    expectSameInserts(dump->inserts, ours.inserts);
}

// "שלום" in Windows-1255, the drawing's code page 34.
const std::string kShalom = "\xF9\xEC\xE5\xED";

const readers::Text* find(const std::vector<readers::Text>& texts, std::uint64_t handle) {
    for (const readers::Text& t : texts)
        if (t.handle == dwg::handleText(handle))
            return &t;
    return nullptr;
}

TEST_P(BuiltForReaders, LibreDwgDecodesTheDrawingsCodePage) {
    write(buildSample(GetParam(), 34, kShalom));
    auto dump = read(readers::Reader::LibreDwg);
    if (!dump)
        GTEST_SKIP() << m_skipReason;
    EXPECT_EQ(dump->codePage, "34");
    const readers::Text* alpha = find(dump->texts, m_sample.alpha);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->text, "\u05E9\u05DC\u05D5\u05DD");
}

TEST_P(BuiltForReaders, LibDxfRwGivesTheStoredBytes) {
    // libdxfrw takes every DWG for code page 1252 (it knows only DWGCODEPAGE
    // 29 and 30), so it gives the bytes, not the Hebrew letters.
    write(buildSample(GetParam(), 34, kShalom));
    auto dump = read(readers::Reader::LibDxfRw);
    if (!dump)
        GTEST_SKIP() << m_skipReason;
    const readers::Text* alpha = find(dump->texts, m_sample.alpha);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(support::CodePage::windows1252().encode(support::fromUtf8(alpha->text)), kShalom);
}

TEST_P(BuiltForReaders, OgrListsTheModelSpaceTexts) {
    if (GetParam() != Release::R2000)
        GTEST_SKIP() << "GDAL's CAD driver reads release 2000 only";
    auto dump = read(readers::Reader::Ogr);
    if (!dump)
        GTEST_SKIP() << m_skipReason;
    EXPECT_EQ(dump->version, "AC1015");
    EXPECT_EQ(dump->codePage, "30");
    // The driver lists the texts of model space, then those of each block a
    // model space reference shows, at the block's own coordinates.
    std::vector<std::pair<std::string, std::pair<double, double>>> read;
    for (const readers::Text& t : dump->texts)
        read.push_back({t.text, {t.x, t.y}});
    const std::pair<std::string, std::pair<double, double>> title{"Title block", {0, 0}};
    EXPECT_THAT(read, ElementsAre(std::pair<std::string, std::pair<double, double>>{"Alpha", {1, 2}},
                                  std::pair<std::string, std::pair<double, double>>{"Beta", {10, -5}},
                                  std::pair<std::string, std::pair<double, double>>{"Gamma", {0, 20}}, title, title));
}

}  // namespace
