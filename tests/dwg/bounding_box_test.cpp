// Bounding boxes. Every expected box is worked out by hand: text boxes from
// the character width estimate, the alignment rules and the arbitrary axis
// algorithm; entity boxes on small drawings built here object by object (in
// the 2000 and 2004 layouts), whose geometry makes the extremes easy to see.

#include "dwg/drawing/bounding_box.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "dwg/container/dwg_file.h"
#include "dwg/drawing/builder.h"
#include "dwg/errors.h"
#include "dwg/objects/walks/complex_entities.h"
#include "dwg/objects/walks/dimensions.h"
#include "dwg/objects/walks/entities.h"
#include "dwg/objects/walks/tables.h"
#include "dwg/objects/walks/text.h"
#include "test_support.h"

namespace dwg {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

constexpr double kPi = std::numbers::pi;
constexpr double kEps = 1e-9;

void expectBox(const Box3& box, const Point3& min, const Point3& max) {
    ASSERT_FALSE(box.empty);
    EXPECT_NEAR(box.min.x, min.x, kEps);
    EXPECT_NEAR(box.min.y, min.y, kEps);
    EXPECT_NEAR(box.min.z, min.z, kEps);
    EXPECT_NEAR(box.max.x, max.x, kEps);
    EXPECT_NEAR(box.max.y, max.y, kEps);
    EXPECT_NEAR(box.max.z, max.z, kEps);
}

TEST(Box3, GrowsFromEmpty) {
    Box3 box;
    EXPECT_TRUE(box.empty);
    box.add(Point3{1.0, -2.0, 3.0});
    expectBox(box, {1.0, -2.0, 3.0}, {1.0, -2.0, 3.0});
    box.add(Point3{-1.0, 5.0, 3.0});
    expectBox(box, {-1.0, -2.0, 3.0}, {1.0, 5.0, 3.0});
    Box3 other;
    box.add(other);  // an empty box adds nothing
    expectBox(box, {-1.0, -2.0, 3.0}, {1.0, 5.0, 3.0});
    other.add(Point3{0.0, 0.0, 9.0});
    box.add(other);
    expectBox(box, {-1.0, -2.0, 3.0}, {1.0, 5.0, 9.0});
}

// ---------------------------------------------------------------------------
// Single-line text: 5 characters 10 high, 5 * kCharacterWidth * 10 wide.

constexpr double kW = 5 * kCharacterWidth * 10.0;

TextLineFields text(double x = 0.0, double y = 0.0) {
    TextLineFields t;
    t.insertion = {x, y};
    t.alignment = {x, y};
    t.height = 10.0;
    return t;
}

TEST(TextBox, LeftAlignedStandsOnItsInsertionPoint) {
    expectBox(textBox(text(), 5), {0, 0, 0}, {kW, 10, 0});
    TextLineFields moved = text(3.0, -4.0);
    moved.alignment = {1000.0, 1000.0};  // not used by a left / baseline text
    expectBox(textBox(moved, 5), {3, -4, 0}, {3 + kW, 6, 0});
    TextLineFields wide = text();
    wide.widthFactor = 2.0;
    expectBox(textBox(wide, 5), {0, 0, 0}, {2 * kW, 10, 0});
    expectBox(textBox(text(), 0), {0, 0, 0}, {0, 10, 0});
}

TEST(TextBox, GenerationFlagsMirrorAboutTheReferencePoint) {
    TextLineFields backward = text();
    backward.generation = 2;
    expectBox(textBox(backward, 5), {-kW, 0, 0}, {0, 10, 0});
    TextLineFields upsideDown = text();
    upsideDown.generation = 4;
    expectBox(textBox(upsideDown, 5), {0, -10, 0}, {kW, 0, 0});
    TextLineFields both = text();
    both.generation = 6;
    expectBox(textBox(both, 5), {-kW, -10, 0}, {0, 0, 0});
    // Right aligned and backward: the text reads away from its right end.
    TextLineFields right = text();
    right.horizontalAlignment = 2;
    right.alignment = {100.0, 50.0};
    right.generation = 2;
    expectBox(textBox(right, 5), {100, 50, 0}, {100 + kW, 60, 0});
}

TEST(TextBox, RotationTurnsAboutTheInsertionPoint) {
    TextLineFields rotated = text(1.0, 1.0);
    rotated.rotation = kPi / 2;
    expectBox(textBox(rotated, 5), {1 - 10, 1, 0}, {1, 1 + kW, 0});
    rotated.rotation = kPi;
    expectBox(textBox(rotated, 5), {1 - kW, 1 - 10, 0}, {1, 1, 0});
}

TEST(TextBox, JustifiedTextsArePlacedByTheirAlignmentPoint) {
    TextLineFields t = text(-70.0, -70.0);  // the insertion point plays no part
    t.alignment = {100.0, 50.0};
    t.horizontalAlignment = 1;  // center
    expectBox(textBox(t, 5), {100 - kW / 2, 50, 0}, {100 + kW / 2, 60, 0});
    t.horizontalAlignment = 2;  // right
    expectBox(textBox(t, 5), {100 - kW, 50, 0}, {100, 60, 0});
    t.horizontalAlignment = 4;  // middle: centred both ways
    expectBox(textBox(t, 5), {100 - kW / 2, 45, 0}, {100 + kW / 2, 55, 0});
    t.horizontalAlignment = 0;
    t.verticalAlignment = 3;  // top left
    expectBox(textBox(t, 5), {100, 40, 0}, {100 + kW, 50, 0});
    t.verticalAlignment = 2;  // middle left
    expectBox(textBox(t, 5), {100, 45, 0}, {100 + kW, 55, 0});
    t.horizontalAlignment = 2;
    t.verticalAlignment = 3;  // top right
    expectBox(textBox(t, 5), {100 - kW, 40, 0}, {100, 50, 0});
}

TEST(TextBox, AlignedAndFitTextsSpanTheirTwoPoints) {
    // From (0, 0) to (30, 40): 50 long, direction (0.6, 0.8); the top edge is
    // 10 further along (-0.8, 0.6).
    TextLineFields t = text();
    t.alignment = {30.0, 40.0};
    for (const std::int16_t alignment : {3, 5}) {
        t.horizontalAlignment = alignment;
        t.generation = 0;
        expectBox(textBox(t, 5), {-8, 0, 0}, {30, 46, 0});
        t.generation = 2;  // backward: still between the points
        expectBox(textBox(t, 5), {-8, 0, 0}, {30, 46, 0});
        t.generation = 4;  // upside down: below the line
        expectBox(textBox(t, 5), {0, -6, 0}, {38, 40, 0});
    }
}

TEST(TextBox, ObliqueAngleSlantsTheBox) {
    TextLineFields t = text();
    t.oblique = kPi / 4;  // the top edge moves right by the height
    expectBox(textBox(t, 5), {0, 0, 0}, {kW + 10, 10, 0});
    t.oblique = -kPi / 4;
    expectBox(textBox(t, 5), {-10, 0, 0}, {kW, 10, 0});
    t.oblique = kPi / 4;
    t.generation = 2;  // the slant is mirrored with the text
    expectBox(textBox(t, 5), {-kW - 10, 0, 0}, {0, 10, 0});
}

TEST(TextBox, ElevationThicknessAndExtrusion) {
    TextLineFields t = text();
    t.elevation = 5.0;
    t.extrusion = {0.0, 0.0, -1.0};  // OCS X is world -X, OCS Z world -Z
    expectBox(textBox(t, 5), {-kW, 0, -5}, {0, 10, -5});
    t.extrusion = {0.0, 0.0, 1.0};
    t.elevation = 2.0;
    t.thickness = 3.0;
    expectBox(textBox(t, 5), {0, 0, 2}, {kW, 10, 5});
    // Normal (1, 0, 0): Ax = Wz x N = (0, 1, 0), Ay = N x Ax = (0, 0, 1).
    t.extrusion = {1.0, 0.0, 0.0};
    t.elevation = 7.0;
    t.thickness = 0.0;
    expectBox(textBox(t, 5), {7, 0, 0}, {7, kW, 10});
    // Not of unit length: the same.
    t.extrusion = {3.0, 0.0, 0.0};
    expectBox(textBox(t, 5), {7, 0, 0}, {7, kW, 10});
}

TEST(TextCharacterCount, EscapesCountAsOneCharacter) {
    EXPECT_EQ(textCharacterCount("ABC"), 3u);
    EXPECT_EQ(textCharacterCount("45%%d"), 3u);
    EXPECT_EQ(textCharacterCount("%%c10 %%p0.1"), 8u);
    EXPECT_EQ(textCharacterCount("100%%%"), 4u);
    EXPECT_EQ(textCharacterCount("%%065x"), 2u);    // %%nnn, a character code
    EXPECT_EQ(textCharacterCount("%%uAB%%u"), 4u);  // the switches too
    EXPECT_EQ(textCharacterCount("\\U+05D0\\U+05D1 x"), 4u);
    EXPECT_EQ(textCharacterCount("\\M+1A4A1"), 1u);
    EXPECT_EQ(textCharacterCount("\\U+05Dz"), 7u);  // not an escape
    EXPECT_EQ(textCharacterCount("50%%"), 4u);      // nothing after the %%
    EXPECT_EQ(textCharacterCount(std::string_view("AB\0", 3)), 2u);
    EXPECT_EQ(textCharacterCount(""), 0u);
}

// ---------------------------------------------------------------------------
// Drawings made object by object.

constexpr std::uint64_t kModelSpace = 0x1F;
constexpr std::uint64_t kLayer = 0x10;

class HandBuilt {
public:
    using Write = std::function<void(BitWriter&)>;

    explicit HandBuilt(Release release) : m_release(release) {}
    Release release() const { return m_release; }

    void entity(std::uint64_t handle, std::uint16_t objectType, std::uint64_t owner, const Write& fields,
                const Write& handles = {}) {
        add(handle, objectType, true, owner, fields, handles);
    }
    void object(std::uint64_t handle, std::uint16_t objectType, std::uint64_t owner, const Write& fields,
                const Write& handles = {}) {
        add(handle, objectType, false, owner, fields, handles);
    }

    ObjectStore build() const {
        DwgFile file;
        file.release = m_release;
        file.classes = encodeClasses(ClassList{}, m_release);
        for (const auto& [handle, stored] : m_objects) {
            file.objects.push_back({handle, static_cast<std::uint32_t>(file.objectBytes.size()),
                                    static_cast<std::uint32_t>(stored.size())});
            file.objectBytes.insert(file.objectBytes.end(), stored.begin(), stored.end());
        }
        return ObjectStore(std::move(file));
    }

    // A block definition; R13-2000 give its first and last entity (linked by
    // consecutive handles), 2004 lists them.
    void block(std::uint64_t handle, const std::string& name, const Point3& base,
               const std::vector<std::uint64_t>& entities) {
        BlockRecordObject b;
        b.entry.name = Text::fromBytes(name);
        b.basePoint = base;
        b.block = {3, handle + 0x1000};
        if (m_release <= Release::R2000) {
            b.firstEntity = {4, entities.empty() ? 0 : entities.front()};
            b.lastEntity = {4, entities.empty() ? 0 : entities.back()};
        } else {
            for (const std::uint64_t e : entities)
                b.entities.push_back({3, e});
        }
        b.endBlock = {3, handle + 0x2000};
        walked(handle, type::BlockHeader, false, 0x1, b);
    }

    void line(std::uint64_t handle, std::uint64_t owner, const Point3& a, const Point3& b, double thickness = 0.0,
              const Point3& extrusion = {0, 0, 1}) {
        entity(handle, type::Line, owner, [=](BitWriter& out) {
            out.writeB(false);
            out.writeRD(a.x);
            out.writeDD(b.x, a.x);
            out.writeRD(a.y);
            out.writeDD(b.y, a.y);
            out.writeRD(a.z);
            out.writeDD(b.z, a.z);
            out.writeBT(thickness);
            out.writeBE(extrusion);
        });
    }

    void arc(std::uint64_t handle, std::uint64_t owner, const Point3& center, double radius, double start,
             double end) {
        entity(handle, type::Arc, owner, [=](BitWriter& out) {
            out.write3BD(center);
            out.writeBD(radius);
            out.writeBT(0.0);
            out.writeBE({0, 0, 1});
            out.writeBD(start);
            out.writeBD(end);
        });
    }

    // A block reference; MINSERT when columns or rows are given.
    void insert(std::uint64_t handle, std::uint64_t owner, std::uint64_t blockHeader, const MInsertObject& fields,
                const std::vector<std::uint64_t>& attributes = {}, std::uint64_t seqend = 0) {
        MInsertObject o = fields;
        InsertFields& i = o.insert;
        i.block = {5, blockHeader};
        i.hasAttributes = !attributes.empty();
        if (i.hasAttributes) {
            if (m_release <= Release::R2000) {
                i.attributes.first = {4, attributes.front()};
                i.attributes.last = {4, attributes.back()};
            } else {
                for (const std::uint64_t a : attributes)
                    i.attributes.entities.push_back({3, a});
            }
            i.attributes.seqend = {3, seqend};
        }
        if (o.columns != 1 || o.rows != 1)
            walked(handle, type::Minsert, true, owner, o);
        else
            walked(handle, type::Insert, true, owner, InsertEntityObject{i});
    }

    void text(std::uint64_t handle, std::uint16_t objectType, std::uint64_t owner, const TextLineFields& fields,
              std::uint8_t attributeFlags = 0) {
        TextLineFields t = fields;
        t.style = {5, 0x11};
        AttributeFields attribute;
        attribute.tag = Text::fromBytes("TAG");
        attribute.flags = attributeFlags;
        if (objectType == type::Attrib)
            walked(handle, objectType, true, owner, AttribObject{t, attribute});
        else if (objectType == type::Attdef)
            walked(handle, objectType, true, owner, AttdefObject{t, attribute, 0, Text::fromBytes("?")});
        else
            walked(handle, objectType, true, owner, TextEntityObject{t});
    }

    // The type's own fields and handles as its walk writes them.
    template <class Fields>
    void walked(std::uint64_t handle, std::uint16_t objectType, bool isEntity, std::uint64_t owner, Fields fields) {
        CommonData common;
        common.handle = {0, handle};
        FieldWriter io(m_release, common);
        walk(io, fields);
        const RawBits data{io.data().bytes(), io.data().bitPos()};
        const RawBits handles{io.handles().bytes(), io.handles().bitPos()};
        add(
            handle, objectType, isEntity, owner, [data](BitWriter& out) { out.writeBits(data.bytes, data.bitCount); },
            [handles](BitWriter& out) { out.writeBits(handles.bytes, handles.bitCount); });
    }

private:
    void add(std::uint64_t handle, std::uint16_t objectType, bool isEntity, std::uint64_t owner, const Write& fields,
             const Write& handles) {
        const Release r = m_release;
        BitWriter data(r);
        data.writeOT(objectType);
        const std::uint64_t sizeAt = data.bitPos();
        data.writeRL(0);
        data.writeH({0, handle});
        data.writeBS(0);  // no extended data
        if (isEntity) {
            data.writeB(false);  // no graphics
            data.writeBB(0);     // the owner handle is stored
            data.writeBL(0);     // reactors
            if (r >= Release::R2004)
                data.writeB(true);  // no extension dictionary
            else
                data.writeB(true);  // no links (R13-2000 only)
            data.writeBS(256);      // colour ByLayer
            data.writeBD(1.0);      // linetype scale
            data.writeBB(0);        // linetype ByLayer
            data.writeBB(0);        // plot style ByLayer
            data.writeBS(0);        // visible
            data.writeRC(0);        // lineweight
        } else {
            data.writeBL(0);
            if (r >= Release::R2004)
                data.writeB(true);
        }
        fields(data);
        data.overwriteRL(sizeAt, static_cast<std::uint32_t>(data.bitPos()));
        data.writeH({4, owner});
        if (r < Release::R2004)
            data.writeH({3, 0});  // extension dictionary
        if (isEntity)
            data.writeH({5, kLayer});
        if (handles)
            handles(data);
        data.alignToByte();
        BitWriter stored(r);
        stored.writeMS(static_cast<std::uint32_t>(data.bytes().size()));
        stored.writeBytes(data.bytes());
        stored.writeRS(0);  // CRC, not checked here
        m_objects[handle] = stored.takeBytes();
    }

    Release m_release;
    std::map<std::uint64_t, std::vector<std::uint8_t>> m_objects;
};

MInsertObject placement(const Point3& at, const Point3& scale = {1, 1, 1}, double rotation = 0.0) {
    MInsertObject o;
    o.insert.insertion = at;
    o.insert.scale = scale;
    o.insert.rotation = rotation;
    return o;
}

// Blocks of the reference tests.
constexpr std::uint64_t kLineBlock = 0x20;    // LINE (0,0)-(1,1), base (0,0,0)
constexpr std::uint64_t kBasedBlock = 0x30;   // LINE (0,0)-(1,1), base (1,1,0)
constexpr std::uint64_t kArcBlock = 0x40;     // ARC r 1 from 45 to 135 degrees
constexpr std::uint64_t kEmptyBlock = 0x50;
constexpr std::uint64_t kOuterBlock = 0x60;   // an INSERT of kLineBlock at (5,0)
constexpr std::uint64_t kSelfBlock = 0x70;    // an INSERT of itself
constexpr std::uint64_t kAttdefBlock = 0x80;  // two ATTDEFs and a LINE

void addBlocks(HandBuilt& d) {
    d.block(kLineBlock, "LINE1", {}, {0x21});
    d.line(0x21, kLineBlock, {0, 0, 0}, {1, 1, 0});
    d.block(kBasedBlock, "BASED", {1, 1, 0}, {0x31});
    d.line(0x31, kBasedBlock, {0, 0, 0}, {1, 1, 0});
    d.block(kArcBlock, "ARC", {}, {0x41});
    d.arc(0x41, kArcBlock, {0, 0, 0}, 1.0, kPi / 4, 3 * kPi / 4);
    d.block(kEmptyBlock, "EMPTY", {}, {});
    d.block(kOuterBlock, "OUTER", {}, {0x61});
    d.insert(0x61, kOuterBlock, kLineBlock, placement({5, 0, 0}));
    d.block(kSelfBlock, "SELF", {}, {0x71});
    d.insert(0x71, kSelfBlock, kSelfBlock, placement({1, 1, 0}));
    d.block(kAttdefBlock, "ATTDEFS", {}, {0x81, 0x82, 0x83});
    TextLineFields prompt;  // an ordinary attribute definition: not drawn by references
    prompt.insertion = prompt.alignment = {50, 50};
    prompt.height = 1.0;
    prompt.value = Text::fromBytes("DEFAULT");
    d.text(0x81, type::Attdef, kAttdefBlock, prompt, 0);
    TextLineFields constant;  // a constant one: drawn
    constant.height = 1.0;
    constant.value = Text::fromBytes("AB");
    d.text(0x82, type::Attdef, kAttdefBlock, constant, 2);
    d.line(0x83, kAttdefBlock, {0, 0, 0}, {1, 1, 0});
}

class EntityBox : public ::testing::TestWithParam<Release> {
protected:
    EntityBox() : m_drawing(GetParam()) { addBlocks(m_drawing); }

    Box3 boxOf(std::uint64_t handle) {
        const ObjectStore store = m_drawing.build();
        return entityBox(store, handle);
    }

    HandBuilt m_drawing;
};

TEST_P(EntityBox, InsertScalesRotatesAndMovesItsBlock) {
    // (0,0)-(1,1), doubled, turned a quarter to (0,0)-(-2,2), moved by (10,10).
    m_drawing.insert(0x100, kModelSpace, kLineBlock, placement({10, 10, 0}, {2, 2, 2}, kPi / 2));
    expectBox(boxOf(0x100), {8, 10, 0}, {10, 12, 0});
}

TEST_P(EntityBox, InsertSubtractsTheBlockBasePoint) {
    m_drawing.insert(0x100, kModelSpace, kBasedBlock, placement({10, 10, 0}));
    expectBox(boxOf(0x100), {9, 9, 0}, {10, 10, 0});
}

TEST_P(EntityBox, InsertInAnotherPlaneMirrorsWithItsExtrusion) {
    MInsertObject o = placement({10, 0, 3});
    o.insert.extrusion = {0, 0, -1};  // OCS X is world -X, OCS Z world -Z
    m_drawing.insert(0x100, kModelSpace, kLineBlock, o);
    expectBox(boxOf(0x100), {-11, 0, -3}, {-10, 1, -3});
}

TEST_P(EntityBox, MinsertCoversItsWholeGrid) {
    MInsertObject o = placement({0, 0, 0});
    o.columns = 3;
    o.rows = 2;
    o.columnSpacing = 5.0;
    o.rowSpacing = 7.0;
    m_drawing.insert(0x100, kModelSpace, kLineBlock, o);
    // Copies at x = 0, 5, 10 and y = 0, 7 of (0,0)-(1,1).
    o.insert.rotation = kPi / 2;
    m_drawing.insert(0x101, kModelSpace, kLineBlock, o);
    // The grid turns with the reference: columns go up, rows go left.
    expectBox(boxOf(0x100), {0, 0, 0}, {11, 8, 0});
    expectBox(boxOf(0x101), {-8, 0, 0}, {0, 11, 0});
}

TEST_P(EntityBox, NestedReferencesComposeTheirTransformations) {
    // The inner line sits at (5,0)-(6,1) in OUTER; scaled by (2, 3).
    m_drawing.insert(0x100, kModelSpace, kOuterBlock, placement({0, 0, 0}, {2, 3, 1}));
    expectBox(boxOf(0x100), {10, 0, 0}, {12, 3, 0});
}

TEST_P(EntityBox, ArcsStayExactUnderUnequalScales) {
    // (2 cos t, sin t) for t from 45 to 135 degrees: x within +-sqrt(2), y
    // from sqrt(1/2) at the ends to 1 at t = 90 degrees.
    m_drawing.insert(0x100, kModelSpace, kArcBlock, placement({0, 0, 0}, {2, 1, 1}));
    expectBox(boxOf(0x100), {-std::sqrt(2.0), std::sqrt(0.5), 0}, {std::sqrt(2.0), 1, 0});
}

TEST_P(EntityBox, AnEmptyBlockGivesTheInsertionPoint) {
    m_drawing.insert(0x100, kModelSpace, kEmptyBlock, placement({3, 4, 5}, {2, 2, 2}, 1.0));
    expectBox(boxOf(0x100), {3, 4, 5}, {3, 4, 5});
}

TEST_P(EntityBox, OnlyConstantAttributeDefinitionsAreDrawn) {
    // The constant "AB" 1 high at (0,0) and the line (0,0)-(1,1).
    m_drawing.insert(0x100, kModelSpace, kAttdefBlock, placement({0, 0, 0}));
    expectBox(boxOf(0x100), {0, 0, 0}, {2 * kCharacterWidth, 1, 0});
}

TEST_P(EntityBox, VisibleAttributesAddTheirBoxes) {
    TextLineFields visible;
    visible.insertion = visible.alignment = {100, 100};
    visible.height = 10.0;
    visible.value = Text::fromBytes("AB");
    TextLineFields hidden = visible;
    hidden.insertion = hidden.alignment = {-500, -500};
    m_drawing.insert(0x100, kModelSpace, kLineBlock, placement({0, 0, 0}), {0x101, 0x102}, 0x103);
    m_drawing.text(0x101, type::Attrib, 0x100, visible, 0);
    m_drawing.text(0x102, type::Attrib, 0x100, hidden, 1);  // invisible
    m_drawing.entity(0x103, type::Seqend, 0x100, [](BitWriter&) {});
    expectBox(boxOf(0x100), {0, 0, 0}, {100 + 2 * 10 * kCharacterWidth, 110, 0});
    // An attribute on its own has its text box.
    expectBox(boxOf(0x102), {-500, -500, 0}, {-500 + 2 * 10 * kCharacterWidth, -490, 0});
}

TEST_P(EntityBox, ABlockContainingItselfIsReported) {
    m_drawing.insert(0x100, kModelSpace, kSelfBlock, placement({0, 0, 0}));
    EXPECT_THAT([&] { boxOf(0x100); }, ThrowsMessage<FormatError>(HasSubstr("block \"SELF\" (70) contains a "
                                                                            "reference to itself")));
}

TEST_P(EntityBox, ReferencesNestedTooDeepAreReported) {
    // Block 0x200 + i holds a reference to block 0x200 + i + 1; 40 levels.
    for (std::uint64_t i = 0; i < 40; ++i) {
        const std::uint64_t block = 0x200 + 2 * i;
        m_drawing.block(block, "LEVEL" + std::to_string(i), {}, {block + 1});
        m_drawing.insert(block + 1, block, i == 39 ? kLineBlock : block + 2, placement({1, 0, 0}));
    }
    m_drawing.insert(0x100, kModelSpace, 0x200, placement({0, 0, 0}));
    EXPECT_THAT([&] { boxOf(0x100); }, ThrowsMessage<FormatError>(HasSubstr("levels of nesting")));
}

TEST_P(EntityBox, ArcsCircleAndEllipsesHaveExactExtents) {
    m_drawing.arc(0x100, kModelSpace, {0, 0, 0}, 1.0, 350.0 * kPi / 180, 10.0 * kPi / 180);  // across 0
    m_drawing.entity(0x101, type::Circle, kModelSpace, [](BitWriter& out) {
        out.write3BD({5, 0, 2});
        out.writeBD(1.0);
        out.writeBT(0.0);
        out.writeBE({0, 0, -1});  // centre at world (-5, 0, -2)
    });
    m_drawing.entity(0x102, type::Circle, kModelSpace, [](BitWriter& out) {
        out.write3BD({0, 0, 0});
        out.writeBD(1.0);
        out.writeBT(3.0);
        out.writeBE({0, 0, 1});
    });
    auto ellipse = [&](std::uint64_t handle, const Point3& major, double start, double end) {
        m_drawing.entity(handle, type::Ellipse, kModelSpace, [=](BitWriter& out) {
            out.write3BD({1, 1, 0});
            out.write3BD(major);
            out.write3BD({0, 0, 1});
            out.writeBD(0.5);
            out.writeBD(start);
            out.writeBD(end);
        });
    };
    ellipse(0x103, {2, 0, 0}, 0.0, 2 * kPi);
    ellipse(0x104, {2, 0, 0}, 0.0, kPi);  // the upper half
    // Major axis up: the minor axis N x major points to -X, so the first
    // quarter runs from (1, 3) to (0, 1).
    ellipse(0x105, {0, 2, 0}, 0.0, kPi / 2);

    const double s10 = std::sin(10.0 * kPi / 180);
    expectBox(boxOf(0x100), {std::cos(10.0 * kPi / 180), -s10, 0}, {1, s10, 0});
    expectBox(boxOf(0x101), {-6, -1, -2}, {-4, 1, -2});
    expectBox(boxOf(0x102), {-1, -1, 0}, {1, 1, 3});
    expectBox(boxOf(0x103), {-1, 0, 0}, {3, 2, 0});
    expectBox(boxOf(0x104), {-1, 1, 0}, {3, 2, 0});
    expectBox(boxOf(0x105), {0, 1, 0}, {1, 3, 0});
}

TEST_P(EntityBox, PolylineBulgesAreArcs) {
    auto lwpolyline = [&](std::uint64_t handle, double bulge) {
        m_drawing.entity(handle, type::LwPolyline, kModelSpace, [=](BitWriter& out) {
            out.writeBS(16 | 8);  // bulges, elevation
            out.writeBD(4.0);
            out.writeBL(2);
            out.writeBL(2);
            out.write2RD({0, 0});
            out.write2DD({2, 0}, {0, 0});
            out.writeBD(bulge);
            out.writeBD(0.0);
        });
    };
    lwpolyline(0x100, 1.0);   // counter-clockwise half circle: below the chord
    lwpolyline(0x101, -1.0);  // clockwise: above it
    const bool linked = GetParam() <= Release::R2000;
    // A closed spline-fit 2D polyline at elevation 3: the square (0,0),
    // (4,0), (4,4), (0,4) whose closing side bulges out to (-2, 2); the frame
    // control point at (100, 100) is not drawn.
    const std::vector<std::uint64_t> vertices{0x111, 0x112, 0x113, 0x114, 0x115};
    m_drawing.entity(
        0x110, type::Polyline2d, kModelSpace,
        [&](BitWriter& out) {
            out.writeBS(1 | 4);
            out.writeBS(6);
            out.writeBD(0.0);
            out.writeBD(0.0);
            out.writeBT(0.0);
            out.writeBD(3.0);
            out.writeBE({0, 0, 1});
            if (!linked)
                out.writeBL(static_cast<std::int32_t>(vertices.size()));
        },
        [&](BitWriter& out) {
            if (linked) {
                out.writeH({4, vertices.front()});
                out.writeH({4, vertices.back()});
            } else {
                for (const std::uint64_t v : vertices)
                    out.writeH({3, v});
            }
            out.writeH({3, 0x116});
        });
    auto vertex = [&](std::uint64_t handle, std::uint8_t flags, const Point3& p, double bulge) {
        m_drawing.entity(handle, type::Vertex2d, 0x110, [=](BitWriter& out) {
            out.writeRC(flags);
            out.write3BD(p);
            out.writeBD(0.0);
            out.writeBD(0.0);
            out.writeBD(bulge);
            out.writeBD(0.0);
        });
    };
    vertex(0x111, 16, {100, 100, 0}, 0.0);
    vertex(0x112, 8, {0, 0, 0}, 0.0);
    vertex(0x113, 8, {4, 0, 0}, 0.0);
    vertex(0x114, 8, {4, 4, 0}, 0.0);
    vertex(0x115, 8, {0, 4, 0}, 1.0);
    m_drawing.entity(0x116, type::Seqend, 0x110, [](BitWriter&) {});

    expectBox(boxOf(0x100), {0, -1, 4}, {2, 0, 4});
    expectBox(boxOf(0x101), {0, 0, 4}, {2, 1, 4});
    expectBox(boxOf(0x110), {-2, 0, 3}, {4, 4, 3});
}

TEST_P(EntityBox, MTextIsPlacedByItsAttachmentPoint) {
    const Release r = GetParam();
    auto mtext = [&](std::uint64_t handle, std::int16_t attachment, const Point3& xAxis, double rectWidth,
                     double extentsHeight = 4.0) {
        m_drawing.entity(handle, type::MText, kModelSpace, [=](BitWriter& out) {
            out.write3BD({10, 10, 0});
            out.write3BD({0, 0, 1});
            out.write3BD(xAxis);
            out.writeBD(rectWidth);
            out.writeBD(2.0);
            out.writeBS(attachment);
            out.writeBS(1);
            out.writeBD(extentsHeight);
            out.writeBD(20.0);  // extents width
            out.writeTV("two\\Plines");
            out.writeBS(1);
            out.writeBD(1.0);
            out.writeB(false);
            if (r >= Release::R2004)
                out.writeBL(0);
        }, [](BitWriter& out) { out.writeH({5, 0x11}); });  // style
    };
    mtext(0x100, 5, {1, 0, 0}, 0.0);   // middle center, 20 x 4
    mtext(0x101, 5, {1, 0, 0}, 30.0);  // the reference rectangle's width counts
    mtext(0x102, 1, {1, 0, 0}, 0.0);   // top left
    // Bottom right, reading up: X = (0,1,0), Y = N x X = (-1,0,0).
    mtext(0x103, 9, {0, 1, 0}, 0.0);
    mtext(0x104, 1, {1, 0, 0}, 0.0, 0.0);  // no extents height: the text height, 2
    expectBox(boxOf(0x100), {0, 8, 0}, {20, 12, 0});
    expectBox(boxOf(0x101), {-5, 8, 0}, {25, 12, 0});
    expectBox(boxOf(0x102), {10, 6, 0}, {30, 10, 0});
    expectBox(boxOf(0x103), {6, -10, 0}, {10, 10, 0});
    expectBox(boxOf(0x104), {10, 8, 0}, {30, 10, 0});
}

TEST_P(EntityBox, PlainEntitiesAndThickness) {
    m_drawing.line(0x100, kModelSpace, {0, 0, 0}, {1, 0, 0}, 2.0, {0, 1, 0});  // raised along +Y
    m_drawing.entity(0x101, type::Solid, kModelSpace, [](BitWriter& out) {
        out.writeBT(2.0);
        out.writeBD(1.0);  // elevation
        out.write2RD({0, 0});
        out.write2RD({2, 0});
        out.write2RD({0, 1});
        out.write2RD({2, 1});
        out.writeBE({0, 0, 1});
    });
    m_drawing.entity(0x102, type::Point, kModelSpace, [](BitWriter& out) {
        out.write3BD({1, 2, 3});
        out.writeBT(0.0);
        out.writeBE({0, 0, 1});
        out.writeBD(0.0);
    });
    m_drawing.entity(0x103, type::Face3d, kModelSpace, [](BitWriter& out) {
        out.writeB(true);   // no invisible edge flags
        out.writeB(false);  // z values stored
        out.writeRD(0);
        out.writeRD(0);
        out.writeRD(-1);
        for (const Point3& p : {Point3{3, 0, 0}, Point3{3, 2, 5}, Point3{0, 2, 0}}) {
            out.writeBB(3);
            out.writeRD(p.x);
            out.writeBB(3);
            out.writeRD(p.y);
            out.writeBB(3);
            out.writeRD(p.z);
        }
    });
    TextLineFields t;
    t.insertion = t.alignment = {1, 2};
    t.height = 6.0;
    t.value = Text::fromBytes("A%%dB");  // three characters, 15 wide
    m_drawing.text(0x104, type::Text, kModelSpace, t);

    expectBox(boxOf(0x100), {0, 0, 0}, {1, 2, 0});
    expectBox(boxOf(0x101), {0, 0, 1}, {2, 1, 3});
    expectBox(boxOf(0x102), {1, 2, 3}, {1, 2, 3});
    expectBox(boxOf(0x103), {0, 0, -1}, {3, 2, 5});
    expectBox(boxOf(0x104), {1, 2, 0}, {1 + 3 * 6 * kCharacterWidth, 8, 0});
}

TEST_P(EntityBox, HatchesAreBoxedByTheirBoundaries) {
    // A half disc over the chord (0,0)-(4,0) at elevation 2.
    auto halfDisc = [](bool counterClockwise) {
        HatchObject h;
        h.elevation = 2.0;
        h.name = Text::fromBytes("SOLID");
        HatchPath& path = h.paths.emplace_back();
        path.flags = 1;
        HatchEdge& chord = path.edges.emplace_back();
        chord.start = {0, 0};
        chord.end = {4, 0};
        HatchEdge& arc = path.edges.emplace_back();
        arc.type = HatchEdge::CircularArc;
        arc.start = {2, 0};
        arc.radius = 2.0;
        arc.startAngle = 0.0;
        arc.endAngle = kPi;
        arc.counterClockwise = counterClockwise;
        return h;
    };
    m_drawing.walked(0x100, 78, true, kModelSpace, halfDisc(true));
    // Clockwise from 0 through -90 to -180 degrees: stored as the complements
    // 0 to 180 degrees, below the chord.
    m_drawing.walked(0x101, 78, true, kModelSpace, halfDisc(false));
    // A polyline path: the square (0,0)-(2,2) whose top side bulges up by 1.
    HatchObject square;
    square.extrusion = {0, 0, -1};  // OCS X is world -X
    HatchPath& path = square.paths.emplace_back();
    path.flags = 2;
    path.hasBulges = true;
    path.closed = true;
    path.vertices = {{{0, 0}, 0.0}, {{2, 0}, 0.0}, {{2, 2}, 1.0}, {{0, 2}, 0.0}};
    m_drawing.walked(0x102, 78, true, kModelSpace, square);
    expectBox(boxOf(0x100), {0, 0, 2}, {4, 2, 2});
    expectBox(boxOf(0x101), {0, -2, 2}, {4, 0, 2});
    // The counter-clockwise half circle from (2,2) to (0,2) bulges up to y = 3.
    expectBox(boxOf(0x102), {-2, 0, 0}, {0, 3, 0});
}

TEST_P(EntityBox, SplinesLeadersAndMlinesAreBoxedByTheirPoints) {
    SplineObject controlled;
    controlled.degree = 3;
    controlled.knots = {0, 0, 0, 0, 1, 1, 1, 1};
    controlled.controlPoints = {{{0, 0, 0}}, {{1, 3, 0}}, {{2, -1, 1}}, {{3, 0, 0}}};
    m_drawing.walked(0x100, 36, true, kModelSpace, controlled);
    SplineObject fitted;
    fitted.scenario = 2;
    fitted.fitPoints = {{5, 5, 0}, {6, 7, 0}, {8, 6, 0}};
    m_drawing.walked(0x101, 36, true, kModelSpace, fitted);
    LeaderObject leader;
    leader.points = {{0, 0, 0}, {3, 4, 0}, {5, 4, 0}};
    leader.dimstyle = {5, 0x12};
    m_drawing.walked(0x102, 45, true, kModelSpace, leader);
    // Two lines 0.5 either side of (0,0)-(10,0); the vertices' miters point
    // up at the ends.
    MlineObject mline;
    mline.linesInStyle = 2;
    for (const double x : {0.0, 10.0}) {
        MlineVertex& v = mline.vertices.emplace_back();
        v.position = {x, 0, 0};
        v.direction = {1, 0, 0};
        v.miterDirection = {0, 1, 0};
        v.elements = {{{0.5, 0.0}, {}}, {{-0.5, 0.0}, {}}};
    }
    mline.style = {5, 0x13};
    m_drawing.walked(0x103, 47, true, kModelSpace, mline);
    expectBox(boxOf(0x100), {0, -1, 0}, {3, 3, 1});
    expectBox(boxOf(0x101), {5, 5, 0}, {8, 7, 0});
    expectBox(boxOf(0x102), {0, 0, 0}, {5, 4, 0});
    expectBox(boxOf(0x103), {0, -0.5, 0}, {10, 0.5, 0});
}

TEST_P(EntityBox, DimensionsAreTheirBlocks) {
    LinearDimensionObject d;
    d.dimension.block = {5, kLineBlock};
    d.dimension.dimstyle = {5, 0x12};
    d.extensionLine1 = {100, 100, 0};  // not drawn but by the block
    m_drawing.walked(0x100, 21, true, kModelSpace, d);
    // A copy placed elsewhere: its block moves by the insertion point.
    d.dimension.insertionPoint = {5, 0};
    m_drawing.walked(0x101, 21, true, kModelSpace, d);
    expectBox(boxOf(0x100), {0, 0, 0}, {1, 1, 0});
    expectBox(boxOf(0x101), {5, 0, 0}, {6, 1, 0});
}

TEST_P(EntityBox, OtherObjectsHaveNoBox) {
    EXPECT_TRUE(boxOf(kLineBlock).empty);  // a BLOCK_HEADER
    EXPECT_THAT([&] { boxOf(0x999); }, ThrowsMessage<FormatError>(HasSubstr("object 999")));
}

// The same reference made by the engine's drawing builder, whose R2000
// entities link to each other (previous / next handles) as AutoCAD's do.
TEST_P(EntityBox, ReferenceFromTheDrawingBuilder) {
    DrawingBuilder builder(GetParam());
    const std::uint64_t block = builder.addBlock("L");
    builder.addLineToBlock(block, {0, 0, 0}, {1, 1, 0});
    builder.addLineToBlock(block, {0, 0, 0}, {0.5, 0, 0});
    const std::uint64_t insert =
        builder.addInsert(DrawingBuilder::Space::Model, block, {10, 10, 0}, {2, 2, 2}, kPi / 2,
                          {{"TAG", {.value = "AB", .insertion = {100, 100, 0}, .height = 10.0}}});
    const ObjectStore store(builder.build());
    expectBox(entityBox(store, insert), {8, 10, 0}, {100 + 2 * 10 * kCharacterWidth, 110, 0});
}

INSTANTIATE_TEST_SUITE_P(Releases, EntityBox, ::testing::Values(Release::R2000, Release::R2004),
                         [](const ::testing::TestParamInfo<Release>& param) { return "R" + std::string(releaseName(param.param)); });

// ---------------------------------------------------------------------------
// Sample drawings: the boxes of the model space's entities together against
// the extents AutoCAD saved in the DXF twin's header. The lower left corner
// is made by the lines of a block reference that is scaled (one factor
// negative, so mirrored) and rotated by 311 degrees: it must match. The upper
// right corner is made by that reference's attribute, lower-case text 184349
// high whose glyphs we estimate: within 2% of the drawing's size.

struct Extents {
    Point3 min, max;
};

std::optional<Extents> dxfExtents(const std::string& name) {
    std::ifstream in(std::string(CORVELIN_SAMPLES_DIR) + "/dwg/" + name);
    std::string code, value, variable;
    Extents e;
    int found = 0;
    while (std::getline(in, code) && std::getline(in, value)) {
        if (!value.empty() && value.back() == '\r')
            value.pop_back();
        const int c = std::atoi(code.c_str());
        if (c == 9) {
            variable = value;
            continue;
        }
        Point3* p = variable == "$EXTMIN" ? &e.min : variable == "$EXTMAX" ? &e.max : nullptr;
        if (p == nullptr)
            continue;
        const double v = std::atof(value.c_str());
        if (c == 10) {
            p->x = v;
            ++found;
        } else if (c == 20) {
            p->y = v;
            ++found;
        } else if (c == 30) {
            p->z = v;
            if (found == 4)
                return e;
        }
    }
    return std::nullopt;
}

TEST(EntityBoxSamples, ModelSpaceMatchesTheSavedExtents) {
    for (const char* base : {"example_r13", "example_r14", "example_2000", "example_2004"}) {
        SCOPED_TRACE(base);
        const auto bytes = test::loadSample(std::string(base) + ".dwg");
        if (!bytes)
            GTEST_SKIP() << "sample " << base << ".dwg not found in " << CORVELIN_SAMPLES_DIR;
        const auto extents = dxfExtents(std::string(base) + ".dxf");
        ASSERT_TRUE(extents.has_value());
        const ObjectStore store(readDwgFile(*bytes));
        Box3 modelSpace;
        int boxed = 0;
        for (const auto& location : store.file().objects) {
            if (!store.isEntity(location.handle))
                continue;
            try {
                const Box3 box = entityBox(store, location.handle);
                boxed += box.empty ? 0 : 1;
                if (store.common(location.handle).common.entityMode == 2)
                    modelSpace.add(box);
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
            }
        }
        EXPECT_GT(boxed, 150);
        ASSERT_FALSE(modelSpace.empty);
        const double sizeX = extents->max.x - extents->min.x;
        const double sizeY = extents->max.y - extents->min.y;
        EXPECT_NEAR(modelSpace.min.x, extents->min.x, 1e-9 * sizeX);
        EXPECT_NEAR(modelSpace.min.y, extents->min.y, 1e-9 * sizeY);
        EXPECT_NEAR(modelSpace.max.x, extents->max.x, 0.02 * sizeX);
        EXPECT_NEAR(modelSpace.max.y, extents->max.y, 0.02 * sizeY);
    }
}

}  // namespace
}  // namespace dwg
