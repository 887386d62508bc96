#include "dwg/drawing/builder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>
#include <tuple>

#include "dwg/errors.h"
#include "dwg/objects/classes.h"
#include "dwg/objects/header_variables.h"
#include "dwg/objects/object.h"
#include "dwg/objects/stored_object.h"
#include "dwg/objects/registry.h"
#include "dwg/objects/walks/dictionaries.h"
#include "dwg/objects/walks/entities.h"
#include "dwg/objects/walks/tables.h"
#include "dwg/objects/walks/text.h"

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
constexpr std::uint8_t kSoftOwner = 2, kHardOwner = 3, kSoftPointer = 4, kHardPointer = 5;

// The classes an empty drawing declares. 2000 gives PLACEHOLDER and LAYOUT
// objects these class numbers; 2004 drawings declare the classes all the same
// but give the objects the fixed types 0x50 and 0x52 (ODA §20.3).
constexpr std::uint16_t kDictionaryWithDefaultClass = 500, kPlaceholderClass = 501, kLayoutClass = 502;
constexpr std::uint16_t kPlaceholderType2004 = 0x50, kLayoutType2004 = 0x52;
constexpr std::uint16_t kVportType = 65, kMlineStyleType = 73;

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

TableEntryData entry(std::string_view name) {
    TableEntryData e;
    e.name = dwg::Text::fromBytes(std::string(name));
    e.flag64 = true;  // AutoCAD sets it on every record of a drawing it saved
    e.xrefBlock = {kHardPointer, 0};
    return e;
}

TextLineFields textFields(const DrawingBuilder::TextSpec& text) {
    TextLineFields f;
    // Every optional field starts left out; the walk stores those that
    // differ from their defaults. The alignment point is stored only where
    // it counts.
    const bool aligned = text.horizontalAlignment != 0 || text.verticalAlignment != 0;
    f.dataFlags = aligned ? 0xFD : 0xFF;
    f.elevation = text.insertion.z;
    f.insertion = {text.insertion.x, text.insertion.y};
    f.alignment = aligned ? text.alignment : f.insertion;
    f.oblique = text.oblique;
    f.rotation = text.rotation;
    f.height = text.height;
    f.widthFactor = text.widthFactor;
    f.value = dwg::Text::fromBytes(text.value);
    f.generation = text.generation;
    f.horizontalAlignment = text.horizontalAlignment;
    f.verticalAlignment = text.verticalAlignment;
    f.style = {kHardPointer, text.style == 0 ? fixed::StandardStyle : text.style};
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

// A driver for the DIMSTYLE walk that reads nothing but the header
// variables of the same names (DIMSCALE, DIMTXT...): a new drawing's
// dimension style "Standard" holds the drawing's dimension variables.
// Fields the header has no variable for keep their values.
class FromHeader {
public:
    [[maybe_unused]] static constexpr bool reading = true;
    [[maybe_unused]] static constexpr bool writing = false;
    [[maybe_unused]] static constexpr bool printing = false;

    explicit FromHeader(const HeaderVariables& header) : m_header(header) {}
    Release release() const noexcept { return m_header.release(); }

    void B(const char* name, bool& v) { take(name, v); }
    void BS(const char* name, std::int16_t& v) {
        if (const auto* i = find<std::int64_t>(name))
            v = static_cast<std::int16_t>(*i);
    }
    void RC(const char* name, std::uint8_t& v) {
        if (const auto* i = find<std::int64_t>(name))
            v = static_cast<std::uint8_t>(*i);
    }
    void BD(const char* name, double& v) { take(name, v); }
    void T(const char* name, dwg::Text& v) {
        if (const auto* s = find<std::string>(name))
            v = dwg::Text::fromTV(*s);
    }
    void CMC(const char* name, CmColor& v) { take(name, v); }
    void H(const char* name, HandleRef& v) {
        if (find<HandleRef>(name) != nullptr)
            v = {kHardPointer, m_header.handle(name)};
    }

private:
    template <class T>
    const T* find(const char* name) const {
        return m_header.has(name) ? std::get_if<T>(&m_header.get(name)) : nullptr;
    }
    template <class T>
    void take(const char* name, T& v) const {
        if (const T* value = find<T>(name))
            v = *value;
    }

    const HeaderVariables& m_header;
};

}  // namespace

// Writes the objects of one drawing, each through its walk after the common
// data: new objects carry no extended data, and entities no graphics; they
// are on layer "0" with colour, linetype, plot style and lineweight ByLayer,
// linetype scale 1 and visible, as AutoCAD writes a new entity. Handles are
// absolute references (soft pointer for the owner, reactors and links, hard
// owner for the extension dictionary, hard pointer for the layer), which
// every reader resolves like AutoCAD's relative forms.
class DrawingBuilder::Emitter {
public:
    Emitter(Release release, DwgFile& file, const ClassList& classes)
        : m_release(release), m_file(file), m_classes(classes) {}

    Release release() const noexcept { return m_release; }

    // A non-graphical object; `owner` 0 for the named objects dictionary and
    // the table controls.
    template <class Fields>
    void object(std::uint16_t type, std::uint64_t handle, std::uint64_t owner, Fields fields,
                const std::vector<std::uint64_t>& reactors = {}) {
        CommonData c = common(type, handle, owner);
        for (std::uint64_t reactor : reactors)
            c.reactors.push_back({kSoftPointer, reactor});
        emit(std::move(c), std::move(fields));
    }

    // An entity. `mode` 0: the owner handle follows (block entities,
    // attributes, SEQEND); 1 paper space; 2 model space. R2000 links it to
    // `previous` and `next`, its neighbours in its owner's run (0 at either
    // end), unless they are the handles right before and after its own (the
    // "no links" convention of ODA §20.4.1); 2004 has no links.
    template <class Fields>
    void entity(std::uint16_t type, std::uint64_t handle, std::uint64_t owner, std::uint8_t mode,
                std::uint64_t previous, std::uint64_t next, Fields fields) {
        CommonData c = common(type, handle, owner);
        c.isEntity = true;
        c.entityMode = mode;
        c.noLinks = previous == handle - 1 && next == handle + 1;
        if (!c.noLinks) {
            c.previous = {kSoftPointer, previous};
            c.next = {kSoftPointer, next};
        }
        c.layer = {kHardPointer, fixed::LayerZero};
        emit(std::move(c), std::move(fields));
    }

private:
    CommonData common(std::uint16_t type, std::uint64_t handle, std::uint64_t owner) const {
        CommonData c;
        c.type = type;
        c.handle = {0, handle};
        c.owner = {kSoftPointer, owner};
        c.xdictionaryMissing = true;  // 2004; before, a null handle says so
        c.xdictionary = {kHardOwner, 0};
        return c;
    }

    template <class Fields>
    void emit(CommonData c, Fields fields) {
        Object o;
        o.common = std::move(c);
        o.kind = findObjectKind(o.common.type, m_classes);
        auto body = std::make_unique<BodyOf<Fields>>();
        body->fields = std::move(fields);
        o.body = std::move(body);
        if (o.kind == nullptr || o.as<Fields>() == nullptr || o.kind->entity != o.common.isEntity)
            throw std::logic_error("building a drawing: object type " + std::to_string(o.common.type) +
                                   " does not go with its fields");
        const std::vector<std::uint8_t> stored = encodeObject(o, m_release, m_release);
        const std::size_t offset = m_file.objectBytes.size();
        m_file.objectBytes.insert(m_file.objectBytes.end(), stored.begin(), stored.end());
        if (m_file.objectBytes.size() > 0xFFFFFFFFU)
            throw std::length_error("the drawing's objects exceed 4 GiB");
        m_file.objects.push_back(ObjectLocation{o.common.handleValue(), static_cast<std::uint32_t>(offset),
                                                static_cast<std::uint32_t>(stored.size())});
    }

    Release m_release;
    DwgFile& m_file;
    const ClassList& m_classes;
};

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
    DwgFile file;
    file.release = m_release;
    file.codePage = m_codePage;
    const HeaderVariables header = headerVariables();
    file.headerVariables = header.encode();
    const ClassList classList = classes();
    file.classes = encodeClasses(classList, m_release);

    std::size_t entityCount = m_texts.size() + m_attributeDefinitions.size() + m_lines.size();
    for (const Insert& insert : m_inserts)
        entityCount += insert.attributes.empty() ? 1 : insert.attributes.size() + 2;
    const std::size_t objectCount = 40 + m_styles.size() + 3 * m_blocks.size() + entityCount;
    file.objects.reserve(objectCount);
    file.objectBytes.reserve(objectCount * 72);

    Emitter out(m_release, file, classList);
    addControls(out);
    addDictionaries(out);
    addTableRecords(out, header);
    addViewport(out);
    addLayouts(out);
    for (std::size_t index = 0; index < m_blocks.size(); ++index)
        addBlock(out, index);
    return file;
}

// AutoCAD's defaults, the handles of the objects below, new dates and GUIDs.
HeaderVariables DrawingBuilder::headerVariables() const {
    const Release r = m_release;
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
    return header;
}

ClassList DrawingBuilder::classes() const {
    ClassList classes;
    const auto addClass = [&](std::int16_t number, std::string_view cpp, std::string_view dxf, std::int32_t count) {
        ClassDefinition c;
        c.number = number;
        c.appName = "ObjectDBX Classes";
        c.cppClassName = std::string(cpp);
        c.dxfName = std::string(dxf);
        c.itemClassId = 0x1F3;
        if (m_release >= Release::R2004) {
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
    return classes;
}

namespace {

SymbolTableObject table(std::initializer_list<std::uint64_t> entries) {
    SymbolTableObject t;
    for (std::uint64_t entry : entries)
        t.entries.push_back({kSoftOwner, entry});
    return t;
}

}  // namespace

void DrawingBuilder::addControls(Emitter& out) const {
    BlockTableObject blocks;
    for (std::size_t i = 2; i < m_blocks.size(); ++i)
        blocks.table.entries.push_back({kSoftOwner, m_blocks[i].handle});
    blocks.modelSpace = {kHardOwner, fixed::ModelSpace};
    blocks.paperSpace = {kHardOwner, fixed::PaperSpace};
    out.object(type::BlockControl, fixed::BlockControl, 0, std::move(blocks));
    out.object(type::LayerControl, fixed::LayerControl, 0, table({fixed::LayerZero}));
    SymbolTableObject styles;
    for (const Style& s : m_styles)
        styles.entries.push_back({kSoftOwner, s.handle});
    out.object(type::StyleControl, fixed::StyleControl, 0, std::move(styles));
    LinetypeTableObject linetypes;
    linetypes.table = table({fixed::Continuous});
    linetypes.byBlock = {kHardOwner, fixed::ByBlock};
    linetypes.byLayer = {kHardOwner, fixed::ByLayer};
    out.object(type::LtypeControl, fixed::LtypeControl, 0, std::move(linetypes));
    out.object(type::ViewControl, fixed::ViewControl, 0, table({}));
    out.object(type::UcsControl, fixed::UcsControl, 0, table({}));
    out.object(type::VportControl, fixed::VportControl, 0, table({fixed::ActiveVport}));
    out.object(type::AppIdControl, fixed::AppIdControl, 0, table({fixed::AcadAppId}));
    // AutoCAD repeats the dimension styles as hard pointers after the entries.
    DimStyleTableObject dimStyles;
    dimStyles.table = table({fixed::StandardDimStyle});
    dimStyles.more = {{kHardPointer, fixed::StandardDimStyle}};
    out.object(type::DimStyleControl, fixed::DimStyleControl, 0, std::move(dimStyles));
    if (m_release == Release::R2000)
        out.object(type::VpEntHdrControl, fixed::VpEntHdrControl, 0, table({}));
}

// Dictionaries, sorted by name as AutoCAD keeps them. The named objects
// dictionary has no owner and no reactor; the others are owned by it, and
// AutoCAD lists the owner as a reactor as well.
void DrawingBuilder::addDictionaries(Emitter& out) const {
    const auto dictionary = [](std::initializer_list<std::pair<const char*, std::uint64_t>> entries) {
        DictionaryObject d;
        for (const auto& [name, item] : entries)
            d.entries.push_back({dwg::Text::fromBytes(name), {kSoftOwner, item}});
        return d;
    };
    const auto owned = [&](std::uint64_t handle, DictionaryObject d) {
        out.object(type::Dictionary, handle, fixed::NamedObjects, std::move(d), {fixed::NamedObjects});
    };
    DictionaryObject named = dictionary({{"ACAD_GROUP", fixed::GroupDictionary},
                                         {"ACAD_LAYOUT", fixed::LayoutDictionary},
                                         {"ACAD_MLINESTYLE", fixed::MlineStyleDictionary},
                                         {"ACAD_PLOTSETTINGS", fixed::PlotSettingsDictionary},
                                         {"ACAD_PLOTSTYLENAME", fixed::PlotStyleDictionary}});
    if (m_release >= Release::R2004)
        named.entries.insert(named.entries.begin(), {dwg::Text::fromBytes("ACAD_COLOR"), {kSoftOwner, fixed::ColorDictionary}});
    out.object(type::Dictionary, fixed::NamedObjects, 0, std::move(named));
    owned(fixed::GroupDictionary, dictionary({}));
    DictionaryWithDefaultObject plotStyles;
    plotStyles.dictionary = dictionary({{"Normal", fixed::PlotStyleNormal}});
    plotStyles.defaultEntry = {kHardPointer, fixed::PlotStyleNormal};
    out.object(kDictionaryWithDefaultClass, fixed::PlotStyleDictionary, fixed::NamedObjects, std::move(plotStyles),
               {fixed::NamedObjects});
    out.object(m_release >= Release::R2004 ? kPlaceholderType2004 : kPlaceholderClass, fixed::PlotStyleNormal,
               fixed::PlotStyleDictionary, PlaceholderObject{}, {fixed::PlotStyleDictionary});
    owned(fixed::MlineStyleDictionary, dictionary({{"Standard", fixed::StandardMlineStyle}}));
    owned(fixed::PlotSettingsDictionary, dictionary({}));
    owned(fixed::LayoutDictionary, dictionary({{"Layout1", fixed::PaperLayout}, {"Model", fixed::ModelLayout}}));
    if (m_release >= Release::R2004)
        owned(fixed::ColorDictionary, dictionary({}));
}

// The records of an empty drawing and the text styles added.
void DrawingBuilder::addTableRecords(Emitter& out, const HeaderVariables& header) const {
    const Release r = m_release;
    LayerObject layer;
    layer.entry = entry("0");
    layer.flags = 16 | (31 << 5);  // plotted, lineweight "default"
    layer.color = indexColor(r, 7);
    layer.plotStyle = {kHardPointer, fixed::PlotStyleNormal};
    layer.linetype = {kHardPointer, fixed::Continuous};
    out.object(type::Layer, fixed::LayerZero, fixed::LayerControl, std::move(layer));

    for (const Style& s : m_styles) {
        StyleObject style;
        style.entry = entry(s.name);
        style.widthFactor = s.widthFactor;
        style.generation = s.generation;
        style.lastHeight = 0.2;  // TEXTSIZE of a new drawing
        style.fontFile = dwg::Text::fromBytes(s.fontFile);
        out.object(type::Style, s.handle, fixed::StyleControl, std::move(style));
    }

    AppIdObject acad;
    acad.entry = entry("ACAD");
    out.object(type::AppId, fixed::AcadAppId, fixed::AppIdControl, std::move(acad));

    for (const auto& [handle, name, description] :
         {std::tuple{fixed::ByBlock, "ByBlock", ""}, std::tuple{fixed::ByLayer, "ByLayer", ""},
          std::tuple{fixed::Continuous, "Continuous", "Solid line"}}) {
        LinetypeObject linetype;
        linetype.entry = entry(name);
        linetype.description = dwg::Text::fromBytes(description);
        out.object(type::Ltype, handle, fixed::LtypeControl, std::move(linetype));
    }

    MlineStyleObject mlineStyle;
    mlineStyle.name = dwg::Text::fromBytes("STANDARD");
    mlineStyle.fillColor = byLayerColor(r);
    mlineStyle.startAngle = mlineStyle.endAngle = std::numbers::pi / 2;
    // Two lines half a unit either side; 32767 is the BYLAYER linetype index.
    mlineStyle.lines = {{0.5, byLayerColor(r), 32767, {}}, {-0.5, byLayerColor(r), 32767, {}}};
    out.object(kMlineStyleType, fixed::StandardMlineStyle, fixed::MlineStyleDictionary, std::move(mlineStyle),
               {fixed::MlineStyleDictionary});

    DimStyleObject dimStyle;
    FromHeader fromHeader(header);
    walk(fromHeader, dimStyle);
    dimStyle.entry = entry("Standard");
    out.object(type::DimStyle, fixed::StandardDimStyle, fixed::DimStyleControl, std::move(dimStyle));
}

// "*Active", showing the model space points added, or AutoCAD's 12 x 9 limits.
void DrawingBuilder::addViewport(Emitter& out) const {
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
    vport.view.height = std::max({(maxY - minY) * 1.1, (maxX - minX) * 1.1 / kAspect, 1.0});
    vport.view.width = kAspect * vport.view.height;
    vport.view.center = {(minX + maxX) / 2, (minY + maxY) / 2};
    vport.ucsIcon = 3;
    vport.gridSpacing = vport.snapSpacing = {0.5, 0.5};
    vport.namedUcs = vport.baseUcs = {kHardPointer, 0};
    out.object(kVportType, fixed::ActiveVport, fixed::VportControl, std::move(vport));
}

// "Model" and "Layout1" as a new drawing has them, with no plotter.
void DrawingBuilder::addLayouts(Emitter& out) const {
    for (bool model : {false, true}) {
        LayoutObject layout;
        PlotSettings& p = layout.settings;
        p.printerConfig = dwg::Text::fromBytes("None");
        p.flags = model ? 1712 : 688;
        p.plotType = model ? 0 : 5;
        p.scaleType = model ? 0 : 16;
        p.plotView = {kHardPointer, 0};
        if (m_release >= Release::R2004) {
            p.shadePlotResolution = 2;
            p.shadePlotDpi = 300;
        }
        layout.name = dwg::Text::fromBytes(model ? "Model" : "Layout1");
        layout.tabOrder = model ? 0 : 1;
        layout.flags = 1;
        layout.limitsMax = {12.0, 9.0};
        layout.block = {kSoftPointer, model ? fixed::ModelSpace : fixed::PaperSpace};
        layout.activeViewport = {kSoftPointer, 0};
        layout.baseUcs = layout.namedUcs = {kHardPointer, 0};
        const std::uint16_t type = m_release >= Release::R2004 ? kLayoutType2004 : kLayoutClass;
        out.object(type, model ? fixed::ModelLayout : fixed::PaperLayout, fixed::LayoutDictionary, std::move(layout),
                   {fixed::LayoutDictionary});
    }
}

std::uint64_t DrawingBuilder::handleOf(const EntityRef& e) const {
    switch (e.kind) {
        case Kind::Text: return m_texts[e.index].handle;
        case Kind::AttributeDefinition: return m_attributeDefinitions[e.index].handle;
        case Kind::Line: return m_lines[e.index].handle;
        case Kind::Insert: return m_inserts[e.index].handle;
    }
    return 0;
}

// A block definition: its record, its BLOCK, its entities and its ENDBLK.
void DrawingBuilder::addBlock(Emitter& out, std::size_t index) const {
    const Block& b = m_blocks[index];
    // Model and paper space entities name their space by the entity mode;
    // the others name their block record.
    const std::uint8_t mode = index == 0 ? 2 : index == 1 ? 1 : 0;
    const std::vector<EntityRef>& entities = b.entities;

    BlockRecordObject record;
    record.entry = entry(b.name);
    record.hasAttributes = b.hasAttributeDefinitions;
    record.basePoint = b.basePoint;
    for (std::uint64_t insert : b.inserts)
        record.inserts.push_back({kSoftPointer, insert});
    record.block = {kHardOwner, b.blockEntity};
    if (m_release == Release::R2000) {
        record.firstEntity = {kSoftPointer, entities.empty() ? 0 : handleOf(entities.front())};
        record.lastEntity = {kSoftPointer, entities.empty() ? 0 : handleOf(entities.back())};
    } else {
        for (const EntityRef& e : entities)
            record.entities.push_back({kHardOwner, handleOf(e)});
    }
    record.endBlock = {kHardOwner, b.endBlock};
    record.layout = {kHardPointer, index == 0 ? fixed::ModelLayout : index == 1 ? fixed::PaperLayout : 0};
    out.object(type::BlockHeader, b.handle, fixed::BlockControl, std::move(record));

    out.entity(type::Block, b.blockEntity, b.handle, mode, 0, 0, BlockObject{dwg::Text::fromBytes(b.name)});
    for (std::size_t i = 0; i < entities.size(); ++i) {
        const std::uint64_t previous = i == 0 ? 0 : handleOf(entities[i - 1]);
        const std::uint64_t next = i + 1 == entities.size() ? 0 : handleOf(entities[i + 1]);
        addEntity(out, b, mode, entities[i], previous, next);
    }
    out.entity(type::Endblk, b.endBlock, b.handle, mode, 0, 0, EndBlockObject{});
}

void DrawingBuilder::addEntity(Emitter& out, const Block& owner, std::uint8_t mode, const EntityRef& e,
                               std::uint64_t previous, std::uint64_t next) const {
    switch (e.kind) {
        case Kind::Text: {
            const Text& t = m_texts[e.index];
            out.entity(type::Text, t.handle, owner.handle, mode, previous, next, TextEntityObject{textFields(t.text)});
            break;
        }
        case Kind::AttributeDefinition: {
            const AttributeDefinition& a = m_attributeDefinitions[e.index];
            AttdefObject attdef;
            attdef.text = textFields(a.text);
            attdef.attribute.tag = dwg::Text::fromBytes(a.tag);
            attdef.prompt = dwg::Text::fromBytes(a.prompt);
            out.entity(type::Attdef, a.handle, owner.handle, mode, previous, next, std::move(attdef));
            break;
        }
        case Kind::Line: {
            const Line& l = m_lines[e.index];
            LineObject line;
            line.start = l.from;
            line.end = l.to;
            out.entity(type::Line, l.handle, owner.handle, mode, previous, next, line);
            break;
        }
        case Kind::Insert: addInsert(out, owner, mode, m_inserts[e.index], previous, next); break;
    }
}

// A block reference, then its attributes and their SEQEND, whose handles
// follow the reference's own.
void DrawingBuilder::addInsert(Emitter& out, const Block& owner, std::uint8_t mode, const Insert& insert,
                               std::uint64_t previous, std::uint64_t next) const {
    const std::size_t count = insert.attributes.size();
    const std::uint64_t seqend = insert.handle + count + 1;
    InsertEntityObject o;
    InsertFields& i = o.insert;
    i.insertion = insert.insertion;
    i.scaleForm = 0xFF;  // none yet: the walk takes the shortest that fits
    i.scale = insert.scale;
    i.rotation = insert.rotation;
    i.hasAttributes = count != 0;
    i.block = {kHardPointer, insert.block};
    if (count != 0) {
        if (m_release == Release::R2000) {
            i.attributes.first = {kSoftPointer, insert.handle + 1};
            i.attributes.last = {kSoftPointer, insert.handle + count};
        } else {
            for (std::size_t k = 1; k <= count; ++k)
                i.attributes.entities.push_back({kHardOwner, insert.handle + k});
        }
        i.attributes.seqend = {kHardOwner, seqend};
    }
    out.entity(type::Insert, insert.handle, owner.handle, mode, previous, next, std::move(o));
    for (std::size_t k = 0; k < count; ++k) {
        const AttributeSpec& a = insert.attributes[k];
        const std::uint64_t handle = insert.handle + 1 + k;
        AttribObject attrib;
        attrib.text = textFields(a.text);
        attrib.attribute.tag = dwg::Text::fromBytes(a.tag);
        out.entity(type::Attrib, handle, insert.handle, 0, k == 0 ? 0 : handle - 1, k + 1 == count ? 0 : handle + 1,
                   std::move(attrib));
    }
    if (count != 0)
        out.entity(type::Seqend, seqend, insert.handle, 0, 0, 0, SeqendObject{});
}

}  // namespace dwg
