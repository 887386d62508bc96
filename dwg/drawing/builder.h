#pragma once
// Makes a new drawing of release 2000 or 2004 from scratch: what AutoCAD puts
// in an empty drawing (header variables, classes, the symbol tables with their
// control objects, layer "0", linetypes ByBlock / ByLayer / Continuous, text
// style "Standard", dimension style "Standard", application "ACAD", viewport
// "*Active", the named objects dictionary with ACAD_GROUP, ACAD_LAYOUT,
// ACAD_MLINESTYLE, ACAD_PLOTSETTINGS and ACAD_PLOTSTYLENAME, model space and
// paper space with their layouts), and then the text styles, texts, lines,
// block definitions with attribute definitions and block references with
// attributes the caller adds.
//
// Handles are given out in the order things are added, after the fixed ones
// of the empty drawing; every add returns the new object's handle. Entities
// are on layer "0" with every property ByLayer. The objects are encoded by
// build(), which links each owner's entities the way the release does
// (R2000: first and last entity plus previous / next links; 2004: the list
// of owned handles). Work is linear in the number of objects added.
//
// Names and strings are bytes in the drawing's code page (DWGCODEPAGE),
// stored as given, without a terminating zero.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "dwg/bits/codes.h"
#include "dwg/container/dwg_file.h"
#include "dwg/release.h"

namespace dwg {

struct ClassList;
class HeaderVariables;

class DrawingBuilder {
public:
    // Release 2000 or 2004 (UnsupportedRelease otherwise). codePage is the
    // DWGCODEPAGE: 30 = ANSI_1252, 34 = ANSI_1255...
    explicit DrawingBuilder(Release release, std::uint16_t codePage = 30);

    Release release() const noexcept { return m_release; }
    std::uint16_t codePage() const noexcept { return m_codePage; }

    // Handles of the objects every new drawing has.
    static constexpr std::uint64_t kLayerZero = 0x10;
    static constexpr std::uint64_t kStandardStyle = 0x11;
    static constexpr std::uint64_t kPaperSpace = 0x1B;
    static constexpr std::uint64_t kModelSpace = 0x1F;

    // A text style; generation 2 = backward, 4 = upside down. Names are
    // unique regardless of ASCII case (std::invalid_argument otherwise).
    std::uint64_t addTextStyle(std::string_view name, std::string_view fontFile, std::uint8_t generation = 0,
                               double widthFactor = 1.0);

    enum class Space { Model, Paper };

    struct TextSpec {
        std::string value;
        Point3 insertion;  // z is the elevation
        double height = 2.5;
        double rotation = 0;  // radians
        double widthFactor = 1;
        double oblique = 0;  // radians
        std::int16_t generation = 0;  // 2 = backward, 4 = upside down
        std::int16_t horizontalAlignment = 0, verticalAlignment = 0;
        Point2 alignment{};  // stored only for texts not aligned left on the baseline
        std::uint64_t style = 0;  // 0 = Standard
    };

    std::uint64_t addText(Space space, const TextSpec& text);
    std::uint64_t addLine(Space space, Point3 from, Point3 to);

    // A block definition; names are unique like style names and may not be
    // those of the spaces.
    std::uint64_t addBlock(std::string_view name, Point3 basePoint = {});
    std::uint64_t addTextToBlock(std::uint64_t block, const TextSpec& text);
    std::uint64_t addLineToBlock(std::uint64_t block, Point3 from, Point3 to);
    std::uint64_t addAttributeDefinition(std::uint64_t block, std::string_view tag, std::string_view prompt,
                                         const TextSpec& text);

    struct AttributeSpec {
        std::string tag;
        TextSpec text;  // as it appears in the drawing (WCS)
    };
    // A block reference; with attributes it owns an ATTRIB for each and a
    // SEQEND, whose handles follow the reference's own.
    std::uint64_t addInsert(Space space, std::uint64_t block, Point3 insertion, Point3 scale = {1, 1, 1},
                            double rotation = 0, const std::vector<AttributeSpec>& attributes = {});

    // The complete drawing for writeDwgFile. Each call makes new creation
    // dates and GUIDs.
    DwgFile build() const;
    // writeDwgFile(build())
    std::vector<std::uint8_t> bytes() const;

    // The handle the next object would get (HANDSEED).
    std::uint64_t nextHandle() const noexcept { return m_nextHandle; }

private:
    enum class Kind : std::uint8_t { Text, AttributeDefinition, Line, Insert };
    struct EntityRef {
        Kind kind;
        std::uint32_t index;  // into the vector of its kind
    };
    struct Style {
        std::uint64_t handle = 0;
        std::string name, fontFile;
        std::uint8_t generation = 0;
        double widthFactor = 1.0;
    };
    struct Block {
        std::uint64_t handle = 0, blockEntity = 0, endBlock = 0;
        std::string name;
        Point3 basePoint;
        bool hasAttributeDefinitions = false;
        std::vector<EntityRef> entities;
        std::vector<std::uint64_t> inserts;  // the references to it
    };
    struct Text {
        std::uint64_t handle = 0;
        TextSpec text;
    };
    struct AttributeDefinition {
        std::uint64_t handle = 0;
        TextSpec text;
        std::string tag, prompt;
    };
    struct Line {
        std::uint64_t handle = 0;
        Point3 from, to;
    };
    struct Insert {
        std::uint64_t handle = 0;  // its ATTRIBs follow, then its SEQEND
        std::uint64_t block = 0;
        Point3 insertion, scale;
        double rotation = 0.0;
        std::vector<AttributeSpec> attributes;
    };

    // Puts objects together through their walks (builder.cpp).
    class Emitter;

    // The parts of build(), in the order the objects are written.
    HeaderVariables headerVariables() const;
    ClassList classes() const;
    void addControls(Emitter& out) const;
    void addDictionaries(Emitter& out) const;
    void addTableRecords(Emitter& out, const HeaderVariables& header) const;
    void addViewport(Emitter& out) const;
    void addLayouts(Emitter& out) const;
    void addBlock(Emitter& out, std::size_t index) const;
    void addEntity(Emitter& out, const Block& owner, std::uint8_t mode, const EntityRef& e, std::uint64_t previous,
                   std::uint64_t next) const;
    void addInsert(Emitter& out, const Block& owner, std::uint8_t mode, const Insert& insert,
                   std::uint64_t previous, std::uint64_t next) const;
    std::uint64_t handleOf(const EntityRef& e) const;

    std::uint64_t allocate(std::uint64_t count);
    Block& blockOf(std::uint64_t handle);
    Block& space(Space space);
    void checkStyle(std::uint64_t style) const;
    void claimName(std::unordered_set<std::string>& names, std::string_view name, const char* what);
    std::uint64_t addTextTo(Block& block, const TextSpec& text);
    std::uint64_t addLineTo(Block& block, Point3 from, Point3 to);

    Release m_release;
    std::uint16_t m_codePage;
    std::uint64_t m_nextHandle;
    std::vector<Style> m_styles;  // "Standard" first
    std::vector<Block> m_blocks;  // model space, paper space, then the definitions
    std::unordered_map<std::uint64_t, std::size_t> m_blockIndex;
    std::unordered_set<std::uint64_t> m_styleHandles;
    std::unordered_set<std::string> m_styleNames, m_blockNames;  // upper-cased
    std::vector<Text> m_texts;
    std::vector<AttributeDefinition> m_attributeDefinitions;
    std::vector<Line> m_lines;
    std::vector<Insert> m_inserts;
};

}  // namespace dwg
