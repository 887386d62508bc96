#include "dwg/drawing/builder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>
#include <tuple>

#include "dwg/errors.h"
#include "dwg/objects/block.h"
#include "dwg/objects/classes.h"
#include "dwg/objects/header_variables.h"
#include "dwg/objects/insert.h"
#include "dwg/objects/line.h"
#include "dwg/objects/object_writer.h"
#include "dwg/objects/style.h"
#include "dwg/objects/tables.h"
#include "dwg/objects/text.h"

namespace dwg {
namespace {

// The objects of an empty drawing, numbered as AutoCAD numbers them (4 and
// 0x13 stay unused there too). The dimension style, the viewport and the
// 2004 colour dictionary follow right after.
namespace fixed {
constexpr std::uint64_t BlockControl = 0x1, LayerControl = 0x2, StyleControl = 0x3, LtypeControl = 0x5,
                        ViewControl = 0x6, UcsControl = 0x7, VportControl = 0x8, AppIdControl = 0x9,
                        DimStyleControl = 0xA, VpEntHdrControl = 0xB, NamedObjects = 0xC, GroupDictionary = 0xD,
                        PlotStyleDictionary = 0xE, PlotStyleNormal = 0xF, LayerZero = 0x10, StandardStyle = 0x11,
                        AcadAppId = 0x12, ByBlock = 0x14, ByLayer = 0x15, Continuous = 0x16,
                        MlineStyleDictionary = 0x17, StandardMlineStyle = 0x18, PlotSettingsDictionary = 0x19,
                        LayoutDictionary = 0x1A, PaperSpace = 0x1B, PaperSpaceBlock = 0x1C, PaperSpaceEnd = 0x1D,
                        PaperLayout = 0x1E, ModelSpace = 0x1F, ModelSpaceBlock = 0x20, ModelSpaceEnd = 0x21,
                        ModelLayout = 0x22, StandardDimStyle = 0x23, ActiveVport = 0x24,
                        ColorDictionary = 0x25;  // 2004
}  // namespace fixed

static_assert(fixed::LayerZero == DrawingBuilder::kLayerZero && fixed::StandardStyle == DrawingBuilder::kStandardStyle &&
              fixed::PaperSpace == DrawingBuilder::kPaperSpace && fixed::ModelSpace == DrawingBuilder::kModelSpace);

// Handle reference codes (ODA §2.13).
constexpr std::uint8_t kHardOwner = 3, kSoftPointer = 4, kHardPointer = 5;

// The classes an empty drawing declares. 2000 gives PLACEHOLDER and LAYOUT
// objects these class numbers; 2004 drawings declare the classes all the same
// but give the objects the fixed types 0x50 and 0x52 (ODA §20.3).
constexpr std::uint16_t kDictionaryWithDefaultClass = 500, kPlaceholderClass = 501, kLayoutClass = 502;
constexpr std::uint16_t kPlaceholderType2004 = 0x50, kLayoutType2004 = 0x52;

constexpr std::string_view kModelSpaceName = "*Model_Space";
constexpr std::string_view kPaperSpaceName = "*Paper_Space";

std::string upper(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

void requireFinite(const Point3& p, const char* what) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
        throw std::invalid_argument(std::string(what) + ": coordinates must be finite numbers");
}

// A header string of 2000 and later counts a terminating zero, as the
// header defaults do.
std::string headerText(std::string_view text) {
    std::string out(text);
    out.push_back('\0');
    return out;
}

std::string randomGuid(std::mt19937_64& random) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string guid = "{";
    for (int group : {8, 4, 4, 4, 12}) {
        if (guid.size() > 1)
            guid.push_back('-');
        for (int i = 0; i < group; ++i)
            guid.push_back(kDigits[random() & 0xF]);
    }
    return guid + "}";
}

// Now as AutoCAD stores dates: the Julian day number and the milliseconds
// since midnight, universal time.
JulianDate julianNow() {
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    const std::int64_t ms = sinceEpoch.count();
    constexpr std::int64_t kMsPerDay = 86'400'000;
    constexpr std::int64_t kJulianDayOf1970 = 2'440'588;
    const std::int64_t days = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
    return JulianDate{static_cast<std::int32_t>(kJulianDayOf1970 + days),
                      static_cast<std::int32_t>(ms - days * kMsPerDay)};
}

// Colours: R2000 stores the index; 2004 the colour method in the RGB's high
// byte (0xC0 ByLayer, 0xC3 an index colour) with index 0, as AutoCAD does.
CmColor byLayerColor(Release r) {
    CmColor c;
    if (r >= Release::R2004)
        c.rgb = 0xC0000000U;
    else
        c.index = 256;
    return c;
}

CmColor indexColor(Release r, std::int16_t index) {
    CmColor c;
    if (r >= Release::R2004)
        c.rgb = 0xC3000000U | static_cast<std::uint32_t>(index);
    else
        c.index = index;
    return c;
}

TableEntry entry(std::string_view name) {
    TableEntry e;
    e.name = std::string(name);
    e.flag64 = true;  // AutoCAD sets it on every record of a drawing it saved
    return e;
}

TextFields textFields(const DrawingBuilder::TextSpec& text) {
    TextFields f;
    // All optional fields start absent; encodeText stores those that differ
    // from their defaults. The alignment point is stored only where it counts.
    const bool aligned = text.horizontalAlignment != 0 || text.verticalAlignment != 0;
    f.dataFlags = aligned ? 0xFD : 0xFF;
    f.elevation = text.insertion.z;
    f.insertion = {text.insertion.x, text.insertion.y};
    f.alignment = aligned ? text.alignment : f.insertion;
    f.oblique = text.oblique;
    f.rotation = text.rotation;
    f.height = text.height;
    f.widthFactor = text.widthFactor;
    f.value = text.value;
    f.generation = text.generation;
    f.horizontalAlignment = text.horizontalAlignment;
    f.verticalAlignment = text.verticalAlignment;
    return f;
}

void checkText(const DrawingBuilder::TextSpec& text, const char* what) {
    requireFinite(text.insertion, what);
    if (!std::isfinite(text.height) || !std::isfinite(text.rotation) || !std::isfinite(text.widthFactor) ||
        !std::isfinite(text.oblique) || !std::isfinite(text.alignment.x) || !std::isfinite(text.alignment.y))
        throw std::invalid_argument(std::string(what) + ": its numbers must be finite");
    if (text.value.size() > 0xFFFF)
        throw std::invalid_argument(std::string(what) + ": a string of more than 65535 bytes does not fit a TV");
}

// Writes the objects of one drawing; the state of build().
class Emitter {
public:
    Emitter(Release release, DwgFile& file) : m_release(release), m_file(file), m_writer(release) {}

    ObjectWriter& object(std::uint16_t type, std::uint64_t handle, std::uint64_t owner,
                         std::vector<std::uint64_t> reactors = {}) {
        NewObject o;
        o.type = type;
        o.handle = handle;
        o.owner = owner;
        o.reactors = std::move(reactors);
        m_writer.beginObject(o);
        return m_writer;
    }

    ObjectWriter& entity(std::uint16_t type, std::uint64_t handle, std::uint64_t owner, std::uint8_t mode,
                         std::uint64_t previous, std::uint64_t next) {
        m_object.type = type;
        m_object.handle = handle;
        m_object.owner = owner;
        NewEntity e;
        e.mode = mode;
        e.layer = fixed::LayerZero;
        e.previous = previous;
        e.next = next;
        m_writer.beginEntity(m_object, e);
        return m_writer;
    }

    void finish() { m_writer.finish(m_file); }

    void control(std::uint16_t type, std::uint64_t handle, std::vector<std::uint64_t> entries,
                 std::vector<std::uint64_t> extra = {}) {
        ControlObject c;
        c.entries = std::move(entries);
        c.extra = std::move(extra);
        auto& w = object(type, handle, 0);
        encodeControl(w.data(), w.handles(), type, c);
        finish();
    }

    void dictionary(std::uint16_t type, std::uint64_t handle, std::uint64_t owner,
                    std::vector<std::pair<std::string, std::uint64_t>> entries, std::uint64_t defaultEntry = 0) {
        DictionaryObject d;
        d.entries = std::move(entries);
        d.withDefault = type != type::Dictionary;
        d.defaultEntry = defaultEntry;
        // The named objects dictionary has no owner and no reactor; the others
        // are owned by it, and AutoCAD lists the owner as a reactor as well.
        auto& w = owner == 0 ? object(type, handle, 0) : object(type, handle, owner, {owner});
        encodeDictionary(w.data(), w.handles(), d);
        finish();
    }

    Release release() const { return m_release; }

private:
    Release m_release;
    DwgFile& m_file;
    ObjectWriter m_writer;
    NewObject m_object;  // reused for entities, which have no reactors
};

}  // namespace

DrawingBuilder::DrawingBuilder(Release release, std::uint16_t codePage)
    : m_release(release),
      m_codePage(codePage),
      m_nextHandle(release >= Release::R2004 ? fixed::ColorDictionary + 1 : fixed::ColorDictionary) {
    if (release != Release::R2000 && release != Release::R2004)
        throw UnsupportedRelease("building a drawing: expected release 2000 or 2004, found " +
                                 std::string(releaseName(release)));
    m_styles.push_back(Style{fixed::StandardStyle, "Standard", "txt", 0, 1.0});
    m_styleHandles.insert(fixed::StandardStyle);
    m_styleNames.insert("STANDARD");
    Block model;
    model.handle = fixed::ModelSpace;
    model.blockEntity = fixed::ModelSpaceBlock;
    model.endBlock = fixed::ModelSpaceEnd;
    model.name = std::string(kModelSpaceName);
    Block paper;
    paper.handle = fixed::PaperSpace;
    paper.blockEntity = fixed::PaperSpaceBlock;
    paper.endBlock = fixed::PaperSpaceEnd;
    paper.name = std::string(kPaperSpaceName);
    m_blocks.push_back(std::move(model));
    m_blocks.push_back(std::move(paper));
    m_blockNames.insert(upper(kModelSpaceName));
    m_blockNames.insert(upper(kPaperSpaceName));
}

std::uint64_t DrawingBuilder::allocate(std::uint64_t count) {
    const std::uint64_t first = m_nextHandle;
    m_nextHandle += count;
    return first;
}

void DrawingBuilder::claimName(std::unordered_set<std::string>& names, std::string_view name, const char* what) {
    if (name.empty())
        throw std::invalid_argument(std::string(what) + ": the name is empty");
    if (name.size() > 0xFFFF)
        throw std::invalid_argument(std::string(what) + ": the name is longer than 65535 bytes");
    if (!names.insert(upper(name)).second)
        throw std::invalid_argument(std::string(what) + ": the drawing already has one named \"" + std::string(name) +
                                    "\"");
}

DrawingBuilder::Block& DrawingBuilder::blockOf(std::uint64_t handle) {
    auto it = m_blockIndex.find(handle);
    if (it == m_blockIndex.end())
        throw std::invalid_argument("handle " + std::to_string(handle) + " is no block definition added here");
    return m_blocks[it->second];
}

DrawingBuilder::Block& DrawingBuilder::space(Space space) { return m_blocks[space == Space::Model ? 0 : 1]; }

void DrawingBuilder::checkStyle(std::uint64_t style) const {
    if (style != 0 && m_styleHandles.count(style) == 0)
        throw std::invalid_argument("handle " + std::to_string(style) + " is no text style of this drawing");
}

std::uint64_t DrawingBuilder::addTextStyle(std::string_view name, std::string_view fontFile, std::uint8_t generation,
                                           double widthFactor) {
    if (!std::isfinite(widthFactor))
        throw std::invalid_argument("text style: the width factor must be a finite number");
    claimName(m_styleNames, name, "text style");
    Style s{allocate(1), std::string(name), std::string(fontFile), generation, widthFactor};
    m_styleHandles.insert(s.handle);
    m_styles.push_back(std::move(s));
    return m_styles.back().handle;
}

std::uint64_t DrawingBuilder::addTextTo(Block& block, const TextSpec& text) {
    checkText(text, "text");
    checkStyle(text.style);
    const std::uint64_t handle = allocate(1);
    block.entities.push_back({Kind::Text, static_cast<std::uint32_t>(m_texts.size())});
    m_texts.push_back(Text{handle, text});
    return handle;
}

std::uint64_t DrawingBuilder::addLineTo(Block& block, Point3 from, Point3 to) {
    requireFinite(from, "line");
    requireFinite(to, "line");
    const std::uint64_t handle = allocate(1);
    block.entities.push_back({Kind::Line, static_cast<std::uint32_t>(m_lines.size())});
    m_lines.push_back(Line{handle, from, to});
    return handle;
}

std::uint64_t DrawingBuilder::addText(Space where, const TextSpec& text) { return addTextTo(space(where), text); }

std::uint64_t DrawingBuilder::addLine(Space where, Point3 from, Point3 to) { return addLineTo(space(where), from, to); }

std::uint64_t DrawingBuilder::addBlock(std::string_view name, Point3 basePoint) {
    requireFinite(basePoint, "block");
    claimName(m_blockNames, name, "block");
    Block b;
    b.handle = allocate(3);  // the record, its BLOCK and its ENDBLK
    b.blockEntity = b.handle + 1;
    b.endBlock = b.handle + 2;
    b.name = std::string(name);
    b.basePoint = basePoint;
    m_blockIndex.emplace(b.handle, m_blocks.size());
    m_blocks.push_back(std::move(b));
    return m_blocks.back().handle;
}

std::uint64_t DrawingBuilder::addTextToBlock(std::uint64_t block, const TextSpec& text) {
    return addTextTo(blockOf(block), text);
}

std::uint64_t DrawingBuilder::addLineToBlock(std::uint64_t block, Point3 from, Point3 to) {
    return addLineTo(blockOf(block), from, to);
}

std::uint64_t DrawingBuilder::addAttributeDefinition(std::uint64_t block, std::string_view tag,
                                                     std::string_view prompt, const TextSpec& text) {
    Block& b = blockOf(block);
    checkText(text, "attribute definition");
    checkStyle(text.style);
    if (tag.empty())
        throw std::invalid_argument("attribute definition: the tag is empty");
    const std::uint64_t handle = allocate(1);
    b.entities.push_back({Kind::AttributeDefinition, static_cast<std::uint32_t>(m_attributeDefinitions.size())});
    b.hasAttributeDefinitions = true;
    m_attributeDefinitions.push_back(AttributeDefinition{handle, text, std::string(tag), std::string(prompt)});
    return handle;
}

std::uint64_t DrawingBuilder::addInsert(Space where, std::uint64_t block, Point3 insertion, Point3 scale,
                                        double rotation, const std::vector<AttributeSpec>& attributes) {
    Block& target = blockOf(block);
    requireFinite(insertion, "block reference");
    requireFinite(scale, "block reference");
    if (!std::isfinite(rotation))
        throw std::invalid_argument("block reference: the rotation must be a finite number");
    for (const AttributeSpec& a : attributes) {
        if (a.tag.empty())
            throw std::invalid_argument("attribute: the tag is empty");
        checkText(a.text, "attribute");
        checkStyle(a.text.style);
    }
    // The reference, then its attributes and their SEQEND.
    const std::uint64_t handle = allocate(attributes.empty() ? 1 : attributes.size() + 2);
    space(where).entities.push_back({Kind::Insert, static_cast<std::uint32_t>(m_inserts.size())});
    target.inserts.push_back(handle);
    m_inserts.push_back(Insert{handle, block, insertion, scale, rotation, attributes});
    return handle;
}

std::vector<std::uint8_t> DrawingBuilder::bytes() const { return writeDwgFile(build()); }

DwgFile DrawingBuilder::build() const {
    const Release r = m_release;
    DwgFile file;
    file.release = r;
    file.codePage = m_codePage;

    // Header variables: AutoCAD's defaults, the handles of the objects below,
    // new dates and GUIDs.
    HeaderVariables header = HeaderVariables::defaults(r);
    const auto setHandle = [&](std::string_view name, std::uint8_t code, std::uint64_t handle) {
        header.set(name, HandleRef{code, handle});
    };
    setHandle("HANDSEED", 0, m_nextHandle);
    setHandle("CLAYER", kHardPointer, fixed::LayerZero);
    setHandle("TEXTSTYLE", kHardPointer, fixed::StandardStyle);
    setHandle("CELTYPE", kHardPointer, fixed::ByLayer);
    setHandle("DIMSTYLE", kHardPointer, fixed::StandardDimStyle);
    setHandle("CMLSTYLE", kHardPointer, fixed::StandardMlineStyle);
    setHandle("DIMTXSTY", kHardPointer, fixed::StandardStyle);
    setHandle("BLOCK_CONTROL_OBJECT", kHardOwner, fixed::BlockControl);
    setHandle("LAYER_CONTROL_OBJECT", kHardOwner, fixed::LayerControl);
    setHandle("STYLE_CONTROL_OBJECT", kHardOwner, fixed::StyleControl);
    setHandle("LINETYPE_CONTROL_OBJECT", kHardOwner, fixed::LtypeControl);
    setHandle("VIEW_CONTROL_OBJECT", kHardOwner, fixed::ViewControl);
    setHandle("UCS_CONTROL_OBJECT", kHardOwner, fixed::UcsControl);
    setHandle("VPORT_CONTROL_OBJECT", kHardOwner, fixed::VportControl);
    setHandle("APPID_CONTROL_OBJECT", kHardOwner, fixed::AppIdControl);
    setHandle("DIMSTYLE_CONTROL_OBJECT", kHardOwner, fixed::DimStyleControl);
    if (r == Release::R2000)
        setHandle("VIEWPORT_ENTITY_HEADER_CONTROL_OBJECT", kHardOwner, fixed::VpEntHdrControl);
    else
        setHandle("DICTIONARY_COLORS", kHardPointer, fixed::ColorDictionary);
    setHandle("DICTIONARY_ACAD_GROUP", kHardPointer, fixed::GroupDictionary);
    setHandle("DICTIONARY_ACAD_MLINESTYLE", kHardPointer, fixed::MlineStyleDictionary);
    setHandle("DICTIONARY_NAMED_OBJECTS", kHardOwner, fixed::NamedObjects);
    setHandle("DICTIONARY_LAYOUTS", kHardPointer, fixed::LayoutDictionary);
    setHandle("DICTIONARY_PLOTSETTINGS", kHardPointer, fixed::PlotSettingsDictionary);
    setHandle("DICTIONARY_PLOTSTYLES", kHardPointer, fixed::PlotStyleDictionary);
    setHandle("BLOCK_RECORD_PAPER_SPACE", kHardPointer, fixed::PaperSpace);
    setHandle("BLOCK_RECORD_MODEL_SPACE", kHardPointer, fixed::ModelSpace);
    setHandle("LTYPE_BYLAYER", kHardPointer, fixed::ByLayer);
    setHandle("LTYPE_BYBLOCK", kHardPointer, fixed::ByBlock);
    setHandle("LTYPE_CONTINUOUS", kHardPointer, fixed::Continuous);
    const JulianDate now = julianNow();
    header.set("TDUCREATE", now);
    header.set("TDUUPDATE", now);
    std::mt19937_64 random(std::random_device{}() ^ static_cast<std::uint64_t>(now.milliseconds));
    header.set("FINGERPRINTGUID", headerText(randomGuid(random)));
    header.set("VERSIONGUID", headerText(randomGuid(random)));
    file.headerVariables = header.encode();

    ClassList classes;
    const auto addClass = [&](std::int16_t number, std::string_view cpp, std::string_view dxf, std::int32_t count) {
        ClassDefinition c;
        c.number = number;
        c.appName = "ObjectDBX Classes";
        c.cppClassName = std::string(cpp);
        c.dxfName = std::string(dxf);
        c.itemClassId = 0x1F3;
        if (r >= Release::R2004) {
            // As AutoCAD's 2004 drawings give these classes.
            c.instanceCount = count;
            c.dwgVersion = 22;
            c.maintenanceVersion = 42;
        }
        classes.classes.push_back(std::move(c));
    };
    addClass(kDictionaryWithDefaultClass, "AcDbDictionaryWithDefault", "ACDBDICTIONARYWDFLT", 1);
    addClass(kPlaceholderClass, "AcDbPlaceHolder", "ACDBPLACEHOLDER", 1);
    addClass(kLayoutClass, "AcDbLayout", "LAYOUT", 2);
    classes.maxClassNumber = kLayoutClass;
    file.classes = encodeClasses(classes, r);

    std::size_t entityCount = m_texts.size() + m_attributeDefinitions.size() + m_lines.size();
    for (const Insert& insert : m_inserts)
        entityCount += insert.attributes.empty() ? 1 : insert.attributes.size() + 2;
    const std::size_t objectCount = 40 + m_styles.size() + 3 * m_blocks.size() + entityCount;
    file.objects.reserve(objectCount);
    file.objectBytes.reserve(objectCount * 72);

    Emitter out(r, file);

    // Table controls.
    {
        std::vector<std::uint64_t> blockRecords;
        for (std::size_t i = 2; i < m_blocks.size(); ++i)
            blockRecords.push_back(m_blocks[i].handle);
        out.control(type::BlockControl, fixed::BlockControl, std::move(blockRecords),
                    {fixed::ModelSpace, fixed::PaperSpace});
        out.control(type::LayerControl, fixed::LayerControl, {fixed::LayerZero});
        std::vector<std::uint64_t> styles;
        for (const Style& s : m_styles)
            styles.push_back(s.handle);
        out.control(type::StyleControl, fixed::StyleControl, std::move(styles));
        out.control(type::LtypeControl, fixed::LtypeControl, {fixed::Continuous}, {fixed::ByBlock, fixed::ByLayer});
        out.control(type::ViewControl, fixed::ViewControl, {});
        out.control(type::UcsControl, fixed::UcsControl, {});
        out.control(type::VportControl, fixed::VportControl, {fixed::ActiveVport});
        out.control(type::AppIdControl, fixed::AppIdControl, {fixed::AcadAppId});
        // AutoCAD repeats the dimension styles as hard pointers after the entries.
        out.control(type::DimStyleControl, fixed::DimStyleControl, {fixed::StandardDimStyle},
                    {fixed::StandardDimStyle});
        if (r == Release::R2000)
            out.control(type::VpEntHdrControl, fixed::VpEntHdrControl, {});
    }

    // Dictionaries, sorted by name as AutoCAD keeps them.
    {
        std::vector<std::pair<std::string, std::uint64_t>> named;
        if (r >= Release::R2004)
            named.emplace_back("ACAD_COLOR", fixed::ColorDictionary);
        named.emplace_back("ACAD_GROUP", fixed::GroupDictionary);
        named.emplace_back("ACAD_LAYOUT", fixed::LayoutDictionary);
        named.emplace_back("ACAD_MLINESTYLE", fixed::MlineStyleDictionary);
        named.emplace_back("ACAD_PLOTSETTINGS", fixed::PlotSettingsDictionary);
        named.emplace_back("ACAD_PLOTSTYLENAME", fixed::PlotStyleDictionary);
        out.dictionary(type::Dictionary, fixed::NamedObjects, 0, std::move(named));
        out.dictionary(type::Dictionary, fixed::GroupDictionary, fixed::NamedObjects, {});
        out.dictionary(kDictionaryWithDefaultClass, fixed::PlotStyleDictionary, fixed::NamedObjects,
                       {{"Normal", fixed::PlotStyleNormal}}, fixed::PlotStyleNormal);
        out.object(r >= Release::R2004 ? kPlaceholderType2004 : kPlaceholderClass, fixed::PlotStyleNormal,
                   fixed::PlotStyleDictionary, {fixed::PlotStyleDictionary});
        out.finish();
        out.dictionary(type::Dictionary, fixed::MlineStyleDictionary, fixed::NamedObjects,
                       {{"Standard", fixed::StandardMlineStyle}});
        out.dictionary(type::Dictionary, fixed::PlotSettingsDictionary, fixed::NamedObjects, {});
        out.dictionary(type::Dictionary, fixed::LayoutDictionary, fixed::NamedObjects,
                       {{"Layout1", fixed::PaperLayout}, {"Model", fixed::ModelLayout}});
        if (r >= Release::R2004)
            out.dictionary(type::Dictionary, fixed::ColorDictionary, fixed::NamedObjects, {});
    }

    // Table records of an empty drawing.
    {
        LayerObject layer;
        layer.entry = entry("0");
        layer.flags = 16 | (31 << 5);  // plotted, lineweight "default"
        layer.color = indexColor(r, 7);
        layer.plotStyle = fixed::PlotStyleNormal;
        layer.linetype = fixed::Continuous;
        auto& w = out.object(type::Layer, fixed::LayerZero, fixed::LayerControl);
        encodeLayer(w.data(), w.handles(), layer);
        out.finish();
    }
    for (const Style& s : m_styles) {
        StyleObject style;
        style.name = s.name;
        style.flag64 = true;
        style.widthFactor = s.widthFactor;
        style.generation = s.generation;
        style.lastHeight = 0.2;  // TEXTSIZE of a new drawing
        style.fontFile = s.fontFile;
        auto& w = out.object(type::Style, s.handle, fixed::StyleControl);
        encodeStyle(w.data(), style);
        w.handles().writeH(HandleRef{kHardPointer, 0});  // no xref block
        out.finish();
    }
    {
        AppIdObject acad;
        acad.entry = entry("ACAD");
        auto& w = out.object(type::AppId, fixed::AcadAppId, fixed::AppIdControl);
        encodeAppId(w.data(), w.handles(), acad);
        out.finish();
    }
    for (const auto& [handle, name, description] :
         {std::tuple{fixed::ByBlock, "ByBlock", ""}, std::tuple{fixed::ByLayer, "ByLayer", ""},
          std::tuple{fixed::Continuous, "Continuous", "Solid line"}}) {
        LinetypeObject linetype;
        linetype.entry = entry(name);
        linetype.description = description;
        auto& w = out.object(type::Ltype, handle, fixed::LtypeControl);
        encodeLinetype(w.data(), w.handles(), linetype);
        out.finish();
    }
    {
        MlineStyleObject style;
        style.name = "STANDARD";
        style.fillColor = byLayerColor(r);
        style.startAngle = style.endAngle = std::numbers::pi / 2;
        // Two lines half a unit either side; 32767 is the BYLAYER linetype index.
        style.lines = {{0.5, byLayerColor(r), 32767}, {-0.5, byLayerColor(r), 32767}};
        auto& w = out.object(type::MlineStyle, fixed::StandardMlineStyle, fixed::MlineStyleDictionary,
                             {fixed::MlineStyleDictionary});
        encodeMlineStyle(w.data(), w.handles(), style);
        out.finish();
    }
    {
        DimStyleObject dimStyle = dimStyleFromHeader(header);
        dimStyle.entry = entry("Standard");
        auto& w = out.object(type::DimStyle, fixed::StandardDimStyle, fixed::DimStyleControl);
        encodeDimStyle(w.data(), w.handles(), dimStyle);
        out.finish();
    }
    {
        // The view shows the model space points added, or AutoCAD's 12 x 9 limits.
        double minX = 0, minY = 0, maxX = 12, maxY = 9;
        bool any = false;
        const auto include = [&](double x, double y) {
            if (!any) {
                minX = maxX = x;
                minY = maxY = y;
                any = true;
            }
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        };
        for (const EntityRef& e : m_blocks[0].entities) {
            if (e.kind == Kind::Text) {
                const Point3& p = m_texts[e.index].text.insertion;
                include(p.x, p.y);
                include(p.x, p.y + m_texts[e.index].text.height);
            } else if (e.kind == Kind::Line) {
                include(m_lines[e.index].from.x, m_lines[e.index].from.y);
                include(m_lines[e.index].to.x, m_lines[e.index].to.y);
            } else if (e.kind == Kind::Insert) {
                include(m_inserts[e.index].insertion.x, m_inserts[e.index].insertion.y);
            }
        }
        constexpr double kAspect = 1.5;
        VportObject vport;
        vport.entry = entry("*Active");
        vport.viewHeight = std::max({(maxY - minY) * 1.1, (maxX - minX) * 1.1 / kAspect, 1.0});
        vport.aspectRatio = kAspect * vport.viewHeight;
        vport.viewCenter = {(minX + maxX) / 2, (minY + maxY) / 2};
        vport.viewMode = 1;  // DXF 71 = 0: the 4th bit stores bit 16 negated
        vport.ucsIcon = 3;
        vport.gridSpacing = vport.snapSpacing = {0.5, 0.5};
        auto& w = out.object(type::Vport, fixed::ActiveVport, fixed::VportControl);
        encodeVport(w.data(), w.handles(), vport);
        out.finish();
    }
    // Layouts "Model" and "Layout1" as a new drawing has them, with no plotter.
    for (bool model : {false, true}) {
        LayoutObject layout;
        layout.printerConfig = "None";
        layout.plotFlags = model ? 1712 : 688;
        layout.plotType = model ? 0 : 5;
        layout.scaleType = model ? 0 : 16;
        if (r >= Release::R2004) {
            layout.shadePlotResolution = 2;
            layout.shadePlotDpi = 300;
        }
        layout.name = model ? "Model" : "Layout1";
        layout.tabOrder = model ? 0 : 1;
        layout.flags = 1;
        layout.limMax = {12.0, 9.0};
        layout.block = model ? fixed::ModelSpace : fixed::PaperSpace;
        const std::uint16_t type = r >= Release::R2004 ? kLayoutType2004 : kLayoutClass;
        auto& w = out.object(type, model ? fixed::ModelLayout : fixed::PaperLayout, fixed::LayoutDictionary,
                             {fixed::LayoutDictionary});
        encodeLayout(w.data(), w.handles(), layout);
        out.finish();
    }

    // Block definitions, each with its BLOCK, entities and ENDBLK.
    const auto handleOf = [&](const EntityRef& e) -> std::uint64_t {
        switch (e.kind) {
            case Kind::Text: return m_texts[e.index].handle;
            case Kind::AttributeDefinition: return m_attributeDefinitions[e.index].handle;
            case Kind::Line: return m_lines[e.index].handle;
            case Kind::Insert: return m_inserts[e.index].handle;
        }
        return 0;
    };
    const auto writeText = [&](ObjectWriter& w, std::uint16_t type, const TextSpec& text, std::string_view tag,
                               std::string_view prompt) {
        TextObject t;
        t.header.type = type;
        t.text = textFields(text);
        t.tag = std::string(tag);
        t.prompt = std::string(prompt);
        encodeText(w.data(), t);
        w.handles().writeH(HandleRef{kHardPointer, text.style == 0 ? fixed::StandardStyle : text.style});
        out.finish();
    };

    for (std::size_t index = 0; index < m_blocks.size(); ++index) {
        const Block& b = m_blocks[index];
        // Model and paper space entities name their space by the entity
        // mode; the others name their block record.
        const std::uint8_t mode = index == 0 ? 2 : index == 1 ? 1 : 0;
        const std::vector<EntityRef>& entities = b.entities;

        BlockHeaderObject record;
        record.name = b.name;
        record.flag64 = true;
        record.hasAttributeDefinitions = b.hasAttributeDefinitions;
        record.basePoint = b.basePoint;
        record.inserts = b.inserts;
        if (r >= Release::R2004)
            record.entities.resize(entities.size());  // encodeBlockHeader writes their count
        {
            auto& w = out.object(type::BlockHeader, b.handle, fixed::BlockControl);
            encodeBlockHeader(w.data(), record);
            BitWriter& h = w.handles();
            h.writeH(HandleRef{kHardPointer, 0});
            h.writeH(HandleRef{kHardOwner, b.blockEntity});
            if (r == Release::R2000) {
                h.writeH(HandleRef{kSoftPointer, entities.empty() ? 0 : handleOf(entities.front())});
                h.writeH(HandleRef{kSoftPointer, entities.empty() ? 0 : handleOf(entities.back())});
            } else {
                for (const EntityRef& e : entities)
                    h.writeH(HandleRef{kHardOwner, handleOf(e)});
            }
            h.writeH(HandleRef{kHardOwner, b.endBlock});
            for (std::uint64_t insert : b.inserts)
                h.writeH(HandleRef{kSoftPointer, insert});
            const std::uint64_t layout = index == 0 ? fixed::ModelLayout : index == 1 ? fixed::PaperLayout : 0;
            h.writeH(HandleRef{kHardPointer, layout});
            out.finish();
        }
        {
            auto& w = out.entity(type::Block, b.blockEntity, b.handle, mode, 0, 0);
            w.data().writeTV(b.name);
            out.finish();
        }
        for (std::size_t i = 0; i < entities.size(); ++i) {
            const EntityRef& e = entities[i];
            const std::uint64_t previous = i == 0 ? 0 : handleOf(entities[i - 1]);
            const std::uint64_t next = i + 1 == entities.size() ? 0 : handleOf(entities[i + 1]);
            switch (e.kind) {
                case Kind::Text: {
                    const Text& t = m_texts[e.index];
                    writeText(out.entity(type::Text, t.handle, b.handle, mode, previous, next), type::Text, t.text, {},
                              {});
                    break;
                }
                case Kind::AttributeDefinition: {
                    const AttributeDefinition& a = m_attributeDefinitions[e.index];
                    writeText(out.entity(type::Attdef, a.handle, b.handle, mode, previous, next), type::Attdef,
                              a.text, a.tag, a.prompt);
                    break;
                }
                case Kind::Line: {
                    const Line& l = m_lines[e.index];
                    LineGeometry g;
                    g.start = l.from;
                    g.end = l.to;
                    auto& w = out.entity(type::Line, l.handle, b.handle, mode, previous, next);
                    encodeLine(w.data(), g);
                    out.finish();
                    break;
                }
                case Kind::Insert: {
                    const Insert& insert = m_inserts[e.index];
                    const std::size_t count = insert.attributes.size();
                    const std::uint64_t seqend = insert.handle + count + 1;
                    InsertObject o;
                    o.header.type = type::Insert;
                    o.insertion = insert.insertion;
                    o.scale = insert.scale;
                    o.rotation = insert.rotation;
                    o.hasAttributes = count != 0;
                    if (r >= Release::R2004)
                        o.attributes.resize(count);  // encodeInsert writes their count
                    auto& w = out.entity(type::Insert, insert.handle, b.handle, mode, previous, next);
                    encodeInsert(w.data(), o);
                    BitWriter& h = w.handles();
                    h.writeH(HandleRef{kHardPointer, insert.block});
                    if (count != 0) {
                        if (r == Release::R2000) {
                            h.writeH(HandleRef{kSoftPointer, insert.handle + 1});
                            h.writeH(HandleRef{kSoftPointer, insert.handle + count});
                        } else {
                            for (std::size_t k = 1; k <= count; ++k)
                                h.writeH(HandleRef{kHardOwner, insert.handle + k});
                        }
                        h.writeH(HandleRef{kHardOwner, seqend});
                    }
                    out.finish();
                    for (std::size_t k = 0; k < count; ++k) {
                        const AttributeSpec& a = insert.attributes[k];
                        const std::uint64_t handle = insert.handle + 1 + k;
                        writeText(out.entity(type::Attrib, handle, insert.handle, 0, k == 0 ? 0 : handle - 1,
                                             k + 1 == count ? 0 : handle + 1),
                                  type::Attrib, a.text, a.tag, {});
                    }
                    if (count != 0) {
                        out.entity(type::Seqend, seqend, insert.handle, 0, 0, 0);
                        out.finish();
                    }
                    break;
                }
            }
        }
        out.entity(type::Endblk, b.endBlock, b.handle, mode, 0, 0);
        out.finish();
    }
    return file;
}

}  // namespace dwg
