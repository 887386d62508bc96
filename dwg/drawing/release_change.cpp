#include "dwg/drawing/release_change.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "dwg/container/r13_2000.h"
#include "dwg/container/r2004.h"
#include "dwg/container/preview_section.h"
#include "dwg/container/sections.h"
#include "dwg/container/summary_info.h"
#include "dwg/drawing/object_store.h"
#include "dwg/drawing/table_cells.h"
#include "dwg/drawing/text_codec.h"
#include "dwg/errors.h"
#include "dwg/objects/data_items.h"
#include "dwg/objects/header_variables.h"
#include "dwg/objects/object.h"
#include "dwg/objects/registry.h"
#include "dwg/objects/walks/dictionaries.h"
#include "dwg/objects/walks/multileader_table.h"
#include "dwg/objects/walks/style_objects.h"
#include "dwg/objects/walks/polylines.h"
#include "dwg/objects/walks/proxies.h"
#include "dwg/objects/walks/tables.h"
#include "dwg/objects/walks/text.h"
#include "support/little_endian.h"
#include "support/paths.h"

namespace dwg {
namespace {

constexpr std::uint16_t kVxControl = 70, kVxRecord = 71, kProxyEntity = 498, kProxyObject = 499;
constexpr std::uint8_t kHardOwner = 3;

// Classes that a later release stores under a fixed type: AutoCAD 2000
// made LWPOLYLINE and HATCH fixed types, AutoCAD 2004 ACDBPLACEHOLDER and
// LAYOUT (its 2004 saves keep the classes listed and counted).
struct BecameFixed {
    std::string_view dxfName;
    std::uint16_t type;
    Release since;
};
constexpr BecameFixed kBecameFixed[] = {
    {"LWPOLYLINE", 77, Release::R2000},
    {"HATCH", 78, Release::R2000},
    {"ACDBPLACEHOLDER", 80, Release::R2004},
    {"LAYOUT", 82, Release::R2004},
};

// The DWG and maintenance versions AutoCAD's 2004 saves give the classes
// (series/2004 of the samples); classes not listed get 0.0, as AutoCAD
// gives third-party classes it does not know.
struct ClassVersion {
    std::string_view dxfName;
    std::int16_t dwgVersion, maintenanceVersion;
};
constexpr ClassVersion kClassVersions2004[] = {
    {"ACAD_EVALUATION_GRAPH", 25, 55}, {"ACDBDETAILVIEWSTYLE", 31, 8}, {"ACDBDICTIONARYWDFLT", 22, 42},
    {"ACDBPLACEHOLDER", 22, 42},       {"ACDBSECTIONVIEWSTYLE", 31, 8}, {"ACSH_HISTORY_CLASS", 26, 0},
    {"ACSH_SWEEP_CLASS", 26, 0},       {"ACSH_TORUS_CLASS", 26, 0},     {"CELLSTYLEMAP", 27, 1},
    {"DICTIONARYVAR", 20, 0},          {"HELIX", 26, 0},                {"IDBUFFER", 20, 0},
    {"LAYER_INDEX", 20, 0},            {"LAYOUT", 22, 42},              {"MATERIAL", 23, 14},
    {"MLEADERSTYLE", 31, 8},           {"NPOCOLLECTION", 26, 0},        {"SCALE", 27, 1},
    {"SPATIAL_INDEX", 20, 0},          {"TABLESTYLE", 25, 20},          {"VISUALSTYLE", 26, 0},
};


// From 2010 on a table style keeps its data, title and header rows as cell
// styles (ODA §20.4.101.2); before, as three rows of fixed fields.
void tableStyleRowsFromCellStyles(TableStyleObject& s) {
    // The cell style ids of the rows in the older order: data, title, header.
    static constexpr std::uint32_t kRowIds[3] = {3, 1, 2};
    // The older borders: top, inside horizontal, bottom, left, inside
    // vertical, right; a cell border names its edges by bits.
    static constexpr std::uint32_t kEdges[6] = {1, 0x20, 4, 8, 0x10, 2};
    // The table's own cell style gives the cell margins.
    const CellStyle& table = s.tableStyle.style;
    if (table.dataFlags != 0 && table.marginOverrides != 0) {
        s.horizontalMargin = table.horizontalMargin;
        s.verticalMargin = table.verticalMargin;
    }
    for (std::size_t r = 0; r < 3; ++r) {
        const auto style = std::find_if(s.cellStyles.begin(), s.cellStyles.end(),
                                        [&](const TableStyleObject::Style& c) { return c.style.id == kRowIds[r]; });
        if (style == s.cellStyles.end() || style->style.style.dataFlags == 0)
            continue;
        const CellStyle& cell = style->style.style;
        TableStyleRow& row = s.rows[r];
        row.textStyle = cell.content.textStyle;
        row.textHeight = cell.content.textHeight;
        row.textAlignment = static_cast<std::int16_t>(cell.content.alignment);
        row.textColor = cell.content.contentColor;
        // No background: the older form clears the flag and keeps white.
        row.backgroundEnabled = (cell.backgroundColor.rgb >> 24) != 0xC8;
        row.fillColor = cell.backgroundColor;
        if (!row.backgroundEnabled)
            row.fillColor.rgb = 0xC3000007;
        for (std::size_t b = 0; b < 6; ++b)
            for (const CellBorder& border : cell.borders)
                if ((border.edges & kEdges[b]) != 0) {
                    row.borders[b].lineWeight = static_cast<std::int16_t>(border.lineWeight);
                    row.borders[b].visible = border.invisible == 0;
                    row.borders[b].color = border.color;
                }
    }
}

// Two passes over the objects, so that only what crosses objects is kept
// while one object at a time is decoded, changed and encoded: the first
// finds what is left out, the links of entity runs, the block names and the
// class counts; the second writes every object carried.
class Changer {
public:
    Changer(const DwgFile& source, Release target, const ReleaseChangeOptions& options)
        : m_source(source), m_from(source.release), m_target(target), m_pngToBitmap(options.pngToBitmap),
          m_codePage(options.codePage.value_or(source.codePage)),
          m_inPage(&codePageOf(source.codePage)), m_outPage(&codePageOf(m_codePage)),
          m_recodes(isUnicode(m_from) != isUnicode(m_target) || m_inPage != m_outPage),
          m_classes(decodeClasses(source.classes, source.release)),
          m_header(HeaderVariables::decode(source.headerVariables, source.release)) {}

    ReleaseChange run() {
        m_modelSpace = m_header.handle("BLOCK_RECORD_MODEL_SPACE");
        m_paperSpace = m_header.handle("BLOCK_RECORD_PAPER_SPACE");
        survey();
        ReleaseChange out;
        DwgFile& file = out.file;
        file.release = m_target;
        file.codePage = m_codePage;
        file.previewImage = previewImage();
        file.summaryInfo = summaryInfo();
        // An object whose own fields cannot be read is found only here: it
        // is left out, and the objects are written again without any
        // reference to it (rare: the drawing opened).
        while (!writeObjects(file)) {
        }
        file.headerVariables = header();
        file.classes = classes();
        out.dropped = std::move(m_dropped);
        out.problems = std::move(m_problems);
        return out;
    }

private:
    // One stretch of the objects as the second pass writes it.
    struct Stretch {
        std::vector<ObjectLocation> objects;  // offsets into `bytes`
        std::vector<std::uint8_t> bytes;
        std::optional<std::size_t> unreadable;  // the object whose own fields could not be read
        std::string reason;
        std::vector<std::string> problems;
        // The names of table records and dictionary entries as written:
        // owner, upper-case bytes, the name as read, its object.
        struct Name {
            std::uint64_t owner;
            std::string written;
            std::string read;
            std::uint64_t object;
        };
        std::vector<Name> names;
        std::exception_ptr error;
    };

    // The objects [begin, end) decoded, changed and encoded. It stops at the
    // first object it cannot read, or at an error.
    void writeStretch(std::size_t begin, std::size_t end, Stretch& out) const noexcept {
        try {
            out.objects.reserve(end - begin);
            for (std::size_t i = begin; i < end; ++i) {
                const ObjectLocation& location = m_source.objects[i];
                if (m_removed.contains(location.handle))
                    continue;
                Object o;
                try {
                    o = decodeObject(m_source.bytesOf(location), m_from, m_classes);
                    recodeItems(o, out.problems);
                } catch (const FormatError& e) {
                    out.unreadable = i;
                    out.reason = std::string("cannot be read: ") + e.what();
                    return;
                }
                try {
                    change(o, out);
                    const std::vector<std::uint8_t> bytes = encodeObject(o, m_target, m_from);
                    out.objects.push_back({location.handle, static_cast<std::uint32_t>(out.bytes.size()),
                                           static_cast<std::uint32_t>(bytes.size())});
                    out.bytes.insert(out.bytes.end(), bytes.begin(), bytes.end());
                } catch (const FormatError& e) {
                    throw e.withContext("object " + handleText(location.handle));
                }
            }
        } catch (...) {
            out.error = std::current_exception();
        }
    }

    // The second pass; false when an object could not be read. Objects are
    // independent here, so stretches of them are written on as many threads
    // as there are cores (up to four, at least 256 objects each), and joined
    // in the input's order.
    bool writeObjects(DwgFile& file) {
        const std::size_t count = m_source.objects.size();
        const std::size_t threads = std::clamp<std::size_t>(
            std::min<std::size_t>(std::thread::hardware_concurrency(), count / 256), 1, 4);
        std::vector<Stretch> stretches(threads);
        const auto bound = [&](std::size_t k) { return count * k / threads; };
        for (std::size_t k = 0; k < threads; ++k)
            stretches[k].bytes.reserve((m_source.objectBytes.size() + m_source.objectBytes.size() / 8) / threads);
        {
            std::vector<std::jthread> workers;
            for (std::size_t k = 1; k < threads; ++k)
                workers.emplace_back([&, k] { writeStretch(bound(k), bound(k + 1), stretches[k]); });
            writeStretch(0, bound(1), stretches[0]);
        }
        for (Stretch& s : stretches) {
            if (s.error)
                std::rethrow_exception(s.error);
            if (s.unreadable) {
                const ObjectLocation& location = m_source.objects[*s.unreadable];
                const std::uint16_t type = storedObjectType(m_source.bytesOf(location), m_from);
                drop(location.handle, type, std::move(s.reason));
                if (const ClassDefinition* cls = m_classes.find(type))
                    --m_instances[std::string(cls->name())];
                return false;
            }
        }
        std::vector<Stretch::Name> names;
        for (Stretch& s : stretches) {
            m_problems.insert(m_problems.end(), s.problems.begin(), s.problems.end());
            names.insert(names.end(), s.names.begin(), s.names.end());
        }
        reportMergedNames(names);
        file.objects = std::move(stretches[0].objects);
        file.objectBytes = std::move(stretches[0].bytes);
        for (std::size_t k = 1; k < threads; ++k) {
            const auto offset = static_cast<std::uint32_t>(file.objectBytes.size());
            for (ObjectLocation& location : stretches[k].objects) {
                location.offset += offset;
                file.objects.push_back(location);
            }
            file.objectBytes.insert(file.objectBytes.end(), stretches[k].bytes.begin(), stretches[k].bytes.end());
            stretches[k] = {};
        }
        return true;
    }

    std::string typeName(std::uint16_t type, const ObjectKind* kind) const {
        if (kind != nullptr)
            return std::string(kind->dxfName);
        if (const ClassDefinition* c = m_classes.find(type))
            return std::string(c->name());
        return "type " + std::to_string(type);
    }

    // `type` is the object's type number, where it could be read.
    void drop(std::uint64_t handle, std::optional<std::uint16_t> type, std::string reason) {
        m_removed.insert(handle);
        const ObjectKind* kind = type ? findObjectKind(*type, m_classes) : nullptr;
        m_dropped.push_back({handle, type ? typeName(*type, kind) : "type unknown", std::move(reason),
                             type && isEntityType(*type, m_classes)});
    }

    // The first pass.
    void survey() {
        m_allHandles.reserve(m_source.objects.size());
        for (const ObjectLocation& location : m_source.objects) {
            m_allHandles.push_back(location.handle);
            const auto stored = m_source.bytesOf(location);
            Object o;
            try {
                o = decodeCommonData(stored, m_from, m_classes);
            } catch (const FormatError& e) {
                std::optional<std::uint16_t> type;
                try {
                    type = storedObjectType(stored, m_from);
                } catch (const FormatError&) {
                }
                drop(location.handle, type, std::string("cannot be read: ") + e.what());
                continue;
            }
            const CommonData& c = o.common;
            const std::uint16_t type = c.type;
            if (c.isEntity && !c.noLinks)
                m_next.emplace(location.handle, c.resolve(c.next));
            // BLOCK and ENDBLK frame a block and SEQEND ends a run; none is listed.
            if (c.isEntity && type != type::Block && type != type::Endblk && type != type::Seqend) {
                const std::uint64_t owner =
                    c.entityMode == 2 ? m_modelSpace : c.entityMode == 1 ? m_paperSpace : c.resolve(c.owner);
                m_ownedBy[owner].push_back(location.handle);
            }
            if (m_target >= Release::R2004 && (type == kVxControl || type == kVxRecord)) {
                m_removed.insert(location.handle);  // 2004 has none; AutoCAD leaves them out too
                continue;
            }
            if (c.hasDsData && m_target < Release::R2013 && o.kind != nullptr &&
                (o.kind->type == type::Region || o.kind->type == type::Solid3d || o.kind->type == type::Body)) {
                // Other objects keep only what 2004 has no field for there
                // (a layout its thumbnail); a solid its whole shape.
                drop(location.handle, type,
                     "its ACIS data are kept in the data store section (AcDb:AcDsPrototype_1b) of release " +
                         std::string(releaseName(m_from)) + ", which " + std::string(releaseName(m_target)) +
                         " has not");
                continue;
            }
            if (o.kind == nullptr) {
                const ClassDefinition* cls = m_classes.find(type);
                drop(location.handle, type,
                     std::string("its fields are described nowhere") +
                         (cls != nullptr ? " (a class of \"" + std::string(cls->appName.substr(0, cls->appName.find('\0'))) + "\")" : "") +
                         ", so they cannot be written as " + std::string(releaseName(m_target)));
                continue;
            }
            if ((o.kind->type == kProxyEntity || o.kind->type == kProxyObject) && m_from < Release::R2000) {
                // The data of an R13-R14 proxy carry no drawing format, which
                // 2000 and later need to tell how to read them.
                drop(location.handle, type,
                     "a proxy of release " + std::string(releaseName(m_from)) +
                         " names no drawing format for its data, which " + std::string(releaseName(m_target)) +
                         " needs");
                continue;
            }
            if ((o.kind->type == kProxyEntity || o.kind->type == kProxyObject) && isUnicode(m_from) &&
                !isUnicode(m_target)) {
                // Its strings are in a stream of their own, which the data of
                // an older release would need in their midst, where only the
                // application knows.
                drop(location.handle, type,
                     "a proxy of release " + std::string(releaseName(m_from)) +
                         " keeps its strings apart from its data, which " + std::string(releaseName(m_target)) +
                         " would need among them");
                continue;
            }
            if (const ClassDefinition* cls = m_classes.find(type))
                ++m_instances[std::string(cls->name())];
            if (m_from >= Release::R2007 && (type == type::LtypeControl || type == type::Vport || type == type::AppId))
                noteTableRecord(stored);
            if (type == type::BlockHeader && m_from <= Release::R14) {
                try {
                    Object block = decodeObject(stored, m_from, m_classes);
                    if (const auto* b = block.as<BlockRecordObject>())
                        m_blockNames.emplace(support::upperAscii(b->entry.name.bytes), location.handle);
                } catch (const FormatError&) {
                    // Left out by the second pass.
                }
            }
        }
        std::sort(m_allHandles.begin(), m_allHandles.end());
    }

    // What the changes of a later release need to know of the tables.
    void noteTableRecord(std::span<const std::uint8_t> stored) {
        Object o;
        try {
            o = decodeObject(stored, m_from, m_classes);
        } catch (const FormatError&) {
            return;  // left out by the second pass
        }
        const std::uint64_t self = o.common.handleValue();
        if (const auto* table = o.as<LinetypeTableObject>()) {
            m_byLayerLinetype = o.common.resolve(table->byLayer);
            m_byBlockLinetype = o.common.resolve(table->byBlock);
            for (const HandleRef& entry : table->table.entries)
                m_linetypes.push_back(o.common.resolve(entry));
        } else if (const auto* vport = o.as<VportObject>()) {
            if (support::upperAscii(vport->entry.name.shown()) == "*ACTIVE" && m_activeVport == 0)
                m_activeVport = self;
        } else if (const auto* app = o.as<AppIdObject>()) {
            m_appIds.emplace(support::upperAscii(app->entry.name.shown()), self);
        }
    }

    // The second pass, for one object.
    void change(Object& o, Stretch& out) const {
        listOwnedObjects(o);
        nameBlocksByHandle(o);
        changeCommonData(o);
        changeFieldsOfLaterReleases(o, out.problems);
        removeReferences(o, out);
    }

    // Where 2007 and later store a property otherwise than 2004, the value
    // in the form AutoCAD's own 2004 saves give it (series/ of the samples).
    void changeFieldsOfLaterReleases(Object& o, std::vector<std::string>& problems) const {
        if (m_from < Release::R2007 || m_target >= Release::R2007)
            return;
        CommonData& c = o.common;
        if (auto* d = o.as<DimStyleTableObject>()) {
            // 2018 no longer repeats the dimension styles after the list.
            if (d->more.empty())
                d->more = d->table.entries;
        } else if (auto* v = o.as<VisualStyleObject>()) {
            // From 2010 on the face modifier's bits 1 and 2 say whether the
            // opacity and the specular highlight apply; before, the sign of
            // the value said it.
            if (m_from >= Release::R2010) {
                v->faceOpacity = std::abs(v->faceOpacity) * ((v->faceModifier & 1) != 0 ? 1 : -1);
                v->faceSpecular = std::abs(v->faceSpecular) * ((v->faceModifier & 2) != 0 ? 1 : -1);
            }
        } else if (auto* m = o.as<MLeaderStyleObject>()) {
            // From 2010 on the style stores its format version; before, an
            // ACAD_MLEADERVER short in its extended data did.
            if (m_from >= Release::R2010 && m->version >= 2 && !hasMLeaderVersionData(c)) {
                const auto app = m_appIds.find("ACAD_MLEADERVER");
                if (app != m_appIds.end()) {
                    const auto version = static_cast<std::uint16_t>(m->version);
                    c.extendedData.push_back(
                        {{5, app->second},
                         {70, static_cast<std::uint8_t>(version & 0xFF), static_cast<std::uint8_t>(version >> 8)}});
                } else {
                    problems.push_back("object " + handleText(c.handleValue()) +
                                       ": MLEADERSTYLE of format version " + std::to_string(m->version) +
                                       " saved in the first format: the drawing has no application "
                                       "ACAD_MLEADERVER to name it");
                }
            }
        } else if (auto* l = o.as<LayoutObject>()) {
            // 2018 leaves the model layout's viewport unnamed; 2004 names
            // the *Active viewport.
            if (l->activeViewport.value == 0 && m_activeVport != 0 && c.resolve(l->block) == m_modelSpace)
                l->activeViewport = {4, m_activeVport};
        } else if (auto* ms = o.as<MlineStyleObject>()) {
            // 2018 names each line's linetype by handle; before, by its
            // index in the table (32767 ByLayer, 32766 ByBlock).
            if (m_from >= Release::R2018)
                for (MlineStyleLine& line : ms->lines) {
                    const std::uint64_t h = c.resolve(line.linetype);
                    if (h == m_byLayerLinetype || h == 0) {
                        line.linetypeIndex = 32767;
                    } else if (h == m_byBlockLinetype) {
                        line.linetypeIndex = 32766;
                    } else {
                        const auto at = std::find(m_linetypes.begin(), m_linetypes.end(), h);
                        line.linetypeIndex = static_cast<std::int16_t>(
                            at != m_linetypes.end() ? at - m_linetypes.begin() : 32767);
                    }
                }
        } else if (auto* ts = o.as<TableStyleObject>()) {
            if (m_from >= Release::R2010)
                tableStyleRowsFromCellStyles(*ts);
        } else if (auto* mtext = o.as<MTextObject>()) {
            if (m_from >= Release::R2018)
                mtextColumnsAsExtendedData(*mtext, c);
        } else if (auto* lt = o.as<LinetypeObject>()) {
            linetypeTextsIn8Bits(*lt, c.handleValue(), problems);
        } else if (auto* table = o.as<TableObject>()) {
            // From 2010 on a table keeps its cells as table content.
            if (m_from >= Release::R2010) {
                std::vector<std::string> found;
                tableCellsFromContent(*table, found);
                for (const std::string& p : found)
                    problems.push_back("object " + handleText(c.handleValue()) + ": " + p);
            }
        }
    }

    // The entities from `first` to `last` by their links (an entity without
    // links is followed by the next handle), as hard owners.
    std::vector<HandleRef> chain(const CommonData& owner, const HandleRef& firstRef, const HandleRef& lastRef) const {
        std::vector<HandleRef> out;
        const std::uint64_t first = owner.resolve(firstRef), last = owner.resolve(lastRef);
        if (first == 0 && last == 0)
            return out;
        std::uint64_t current = first;
        while (true) {
            out.push_back({kHardOwner, current});
            if (current == last)
                return out;
            if (out.size() > m_allHandles.size() ||
                !std::binary_search(m_allHandles.begin(), m_allHandles.end(), current))
                throw FormatError("its entities from " + handleText(first) + " to " + handleText(last) +
                                  " break off at " + handleText(current));
            if (const auto linked = m_next.find(current); linked != m_next.end()) {
                current = linked->second;
            } else {
                auto next = std::upper_bound(m_allHandles.begin(), m_allHandles.end(), current);
                if (next == m_allHandles.end())
                    throw FormatError("its entities from " + handleText(first) + " run past the last object");
                current = *next;
            }
        }
    }

    // An owner's list: its run of linked entities, or, where it names none
    // while entities name it as theirs (LibreDWG's writer leaves such lists
    // empty), those entities in file order, as the drawing was read.
    std::vector<HandleRef> ownedBy(const CommonData& owner, const HandleRef& first, const HandleRef& last) const {
        std::vector<HandleRef> list = chain(owner, first, last);
        if (list.empty())
            if (const auto it = m_ownedBy.find(owner.handle.value); it != m_ownedBy.end())
                for (const std::uint64_t handle : it->second)
                    if (!m_removed.contains(handle))
                        list.push_back({kHardOwner, handle});
        return list;
    }

    void listOwned(const CommonData& owner, OwnedEntities& owned) const {
        owned.entities = ownedBy(owner, owned.first, owned.last);
        owned.first = owned.last = {};
    }

    static OwnedEntities* ownedList(Object& o) {
        switch (o.common.type) {
        case type::Insert: {
            auto* i = o.as<InsertEntityObject>();
            return i != nullptr && i->insert.hasAttributes ? &i->insert.attributes : nullptr;
        }
        case type::Minsert: {
            auto* m = o.as<MInsertObject>();
            return m != nullptr && m->insert.hasAttributes ? &m->insert.attributes : nullptr;
        }
        case type::Polyline2d: {
            auto* p = o.as<Polyline2dObject>();
            return p != nullptr ? &p->vertices : nullptr;
        }
        case type::Polyline3d: {
            auto* p = o.as<Polyline3dObject>();
            return p != nullptr ? &p->vertices : nullptr;
        }
        case type::PolylinePface: {
            auto* p = o.as<PolylinePfaceObject>();
            return p != nullptr ? &p->vertices : nullptr;
        }
        case type::PolylineMesh: {
            auto* p = o.as<PolylineMeshObject>();
            return p != nullptr ? &p->vertices : nullptr;
        }
        default:
            return nullptr;
        }
    }

    // 2004 lists what a block record, a block reference and a polyline own.
    void listOwnedObjects(Object& o) const {
        if (m_from >= Release::R2004 || m_target < Release::R2004)
            return;
        if (o.common.type == type::BlockHeader) {
            if (auto* b = o.as<BlockRecordObject>()) {
                if (!b->isXref && !b->isOverlaidXref)
                    b->entities = ownedBy(o.common, b->firstEntity, b->lastEntity);
                b->firstEntity = b->lastEntity = {};
            }
        } else if (OwnedEntities* owned = ownedList(o)) {
            listOwned(o.common, *owned);
        }
    }

    // R13-R14 dimension styles name their arrow blocks; 2000 and later point
    // at the block records (a null handle for the default arrow).
    void nameBlocksByHandle(Object& o) const {
        if (m_from > Release::R14 || m_target < Release::R2000 || o.common.type != type::DimStyle)
            return;
        auto* d = o.as<DimStyleObject>();
        if (d == nullptr)
            return;
        const auto handleOf = [&](const Text& name) -> HandleRef {
            const auto it = m_blockNames.find(support::upperAscii(name.bytes));
            return {5, it != m_blockNames.end() ? it->second : 0};
        };
        d->dimblkHandle = handleOf(d->dimblk);
        d->dimblk1Handle = handleOf(d->dimblk1);
        d->dimblk2Handle = handleOf(d->dimblk2);
    }


    void changeCommonData(Object& o) const {
        CommonData& c = o.common;
        if (c.type >= 500)
            if (const ClassDefinition* cls = m_classes.find(c.type))
                for (const BecameFixed& f : kBecameFixed)
                    if (cls->name() == f.dxfName && m_target >= f.since && m_from < f.since)
                        c.type = f.type;
        if (m_target >= Release::R2004)
            c.xdictionaryMissing = c.resolve(c.xdictionary) == 0;
        if (c.isEntity) {
            if (m_target >= Release::R2004) {
                c.previous = c.next = {};
                c.noLinks = true;
            }
            if (m_from <= Release::R14 && m_target >= Release::R2000) {
                // R13-R14 say only whether the linetype is ByLayer; a
                // lineweight and a plot style they have not: ByLayer.
                c.linetypeFlags = c.byLayerLinetype ? 0 : 3;
                c.plotStyleFlags = 0;
                c.lineweight = 29;
            }
        }
    }

    bool isRemoved(const CommonData& c, const HandleRef& ref) const {
        if (ref.value == 0 && ref.code <= 5)
            return false;
        try {
            return m_removed.contains(c.resolve(ref));
        } catch (const FormatError&) {
            return false;
        }
    }

    template <class T, class Get>
    void eraseRemoved(const CommonData& c, std::vector<T>& list, Get get) const {
        std::erase_if(list, [&](T& item) { return isRemoved(c, get(item)); });
    }

    // The strings of the object's extended data and of an XRECORD's items in
    // the target's form. Extended data that does not parse is left out (it
    // is an application's own, the object stands without it); an XRECORD
    // whose items do not parse cannot be read (FormatError).
    void recodeItems(Object& o, std::vector<std::string>& problems) const {
        if (!m_recodes)
            return;
        StringRecoding how{m_from, m_target, m_codePage, [this](const Text& text) { return recode(text); }};
        const std::string object = "object " + handleText(o.common.handleValue()) + ": ";
        std::vector<std::string> found;
        std::erase_if(o.common.extendedData, [&](ExtendedData& block) {
            try {
                block.bytes = recodeExtendedData(block.bytes, how, found);
                if (block.bytes.size() > 0xFFFF) {
                    found.push_back("left out its extended data of application " +
                                    handleText(block.application.value) + ": " + std::to_string(block.bytes.size()) +
                                    " bytes in " + std::string(releaseName(m_target)) + ", more than its size holds");
                    return true;
                }
                return false;
            } catch (const FormatError& e) {
                found.push_back(std::string("left out its extended data of application ") +
                                handleText(block.application.value) + ", which cannot be read: " + e.what());
                return true;
            }
        });
        if (auto* x = o.as<XRecordObject>())
            x->items = recodeXRecordItems(x->items, how, found);
        for (std::string& problem : found)
            problems.push_back(object + problem);
    }

    // 2018 keeps an MTEXT's columns in the entity; before, the extended data
    // of application ACAD held them between ACAD_MTEXT_COLUMN_INFO_BEGIN and
    // _END, each value after a 1070 naming its DXF code (75 type, 79 auto
    // height, 76 count, 78 flow reversed, 48 width, 49 gutter, 50 the
    // heights), as AutoCAD's 2004 saves write it.
    void mtextColumnsAsExtendedData(const MTextObject& m, CommonData& c) const {
        const auto app = m_appIds.find("ACAD");
        if (!m.notAnnotative || m.columnType == 0 || app == m_appIds.end())
            return;
        std::vector<std::uint8_t> items;
        const auto string = [&](std::string_view text) {
            items.push_back(0);
            items.push_back(static_cast<std::uint8_t>(text.size()));
            items.push_back(static_cast<std::uint8_t>(m_codePage >> 8));  // the code page, high byte first
            items.push_back(static_cast<std::uint8_t>(m_codePage & 0xFF));
            items.insert(items.end(), text.begin(), text.end());
        };
        const auto shortValue = [&](std::int32_t value) {
            items.push_back(70);
            items.push_back(static_cast<std::uint8_t>(value & 0xFF));
            items.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
        };
        const auto realValue = [&](double value) {
            items.push_back(40);
            std::uint64_t bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            for (int i = 0; i < 8; ++i) items.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
        };
        string("ACAD_MTEXT_COLUMN_INFO_BEGIN");
        shortValue(75), shortValue(m.columnType);
        shortValue(79), shortValue(m.autoHeight ? 1 : 0);
        shortValue(76), shortValue(m.columnCount);
        shortValue(78), shortValue(m.flowReversed ? 1 : 0);
        shortValue(48), realValue(m.columnWidth);
        shortValue(49), realValue(m.gutter);
        if (m.columnType == 2 && !m.autoHeight) {
            shortValue(50), shortValue(static_cast<std::int32_t>(m.columnHeights.size()));
            for (const double height : m.columnHeights) realValue(height);
        }
        string("ACAD_MTEXT_COLUMN_INFO_END");
        c.extendedData.push_back({{5, app->second}, std::move(items)});
    }

    // From 2007 on a linetype's dash texts are UTF-16 in a text area of 512
    // bytes, each at the byte offset its dash names; 2004 keeps them as 8-bit
    // strings in 256 bytes. A text that does not fit is shortened (never
    // inside an escape) and reported.
    void linetypeTextsIn8Bits(LinetypeObject& lt, std::uint64_t handle, std::vector<std::string>& problems) const {
        if (lt.textArea.size() != 512)
            return;
        const std::vector<std::uint8_t> area = std::move(lt.textArea);
        lt.textArea.assign(256, 0);
        std::size_t used = 0;
        for (LinetypeDash& dash : lt.dashes) {
            if ((dash.shapeFlags & 2) == 0)
                continue;
            Text text;
            text.units = utf16Units(area, static_cast<std::uint16_t>(dash.shapeCode));
            std::string bytes = recode(text).bytes;
            // Room for the bytes and their terminating zero.
            const std::size_t room = used < 256 ? 255 - used : 0;
            if (bytes.size() > room) {
                std::size_t keep = room;
                // An escape (\U+XXXX) is kept whole or not at all.
                const std::size_t escape = bytes.rfind("\\", keep);
                if (escape != std::string::npos && escape + 7 > keep && bytes.compare(escape, 3, "\\U+") == 0)
                    keep = escape;
                problems.push_back("object " + handleText(handle) + ": the linetype text \"" + text.shown() +
                                   "\" takes " + std::to_string(bytes.size()) + " bytes, " +
                                   std::to_string(room) + " are left of the 256 of its linetype's texts in " +
                                   std::string(releaseName(m_target)) + ": kept the first " +
                                   std::to_string(keep));
                bytes.resize(keep);
            }
            if (used >= 256) {
                dash.shapeCode = 0;
                continue;
            }
            std::copy(bytes.begin(), bytes.end(), lt.textArea.begin() + static_cast<std::ptrdiff_t>(used));
            dash.shapeCode = static_cast<std::int16_t>(used);
            used += bytes.size() + 1;
        }
    }

    // Names unique regardless of ASCII case within their table or
    // dictionary (viewports share theirs: the *Active ones).
    void noteName(Object& o, const Text& read, const Text& written, std::vector<Stretch::Name>& names) const {
        const CommonData& c = o.common;
        static constexpr std::uint16_t kRecords[] = {type::BlockHeader, type::Layer, type::Style, type::Ltype,
                                                     61 /* VIEW */,   63 /* UCS */,  type::AppId, 69 /* DIMSTYLE */};
        std::uint64_t owner = 0;
        if (std::find(std::begin(kRecords), std::end(kRecords), c.type) != std::end(kRecords))
            owner = c.resolve(c.owner);
        else if (o.as<DictionaryObject>() != nullptr || o.as<DictionaryWithDefaultObject>() != nullptr)
            owner = c.handleValue();
        if (owner == 0)
            return;
        names.push_back({owner, support::upperAscii(written.units.empty() ? written.bytes : written.shown()),
                         read.shown(), c.handleValue()});
    }

    // Two names that became one in the target's code page.
    void reportMergedNames(std::vector<Stretch::Name>& names) {
        std::sort(names.begin(), names.end(), [](const Stretch::Name& a, const Stretch::Name& b) {
            return std::tie(a.owner, a.written, a.object) < std::tie(b.owner, b.written, b.object);
        });
        for (std::size_t i = 1; i < names.size(); ++i) {
            const Stretch::Name& a = names[i - 1];
            const Stretch::Name& b = names[i];
            if (a.owner == b.owner && a.written == b.written && a.read != b.read)
                m_problems.push_back("objects " + handleText(a.object) + " and " + handleText(b.object) +
                                     ": the names \"" + a.read + "\" and \"" + b.read + "\" of " +
                                     handleText(a.owner) + " are both \"" + b.written + "\" in code page " +
                                     std::string(dwgCodePageName(m_codePage)));
        }
    }

    // A string of the source in the target's form and code page.
    Text recode(const Text& text) const {
        if (!m_recodes || (text.bytes.empty() && text.units.empty()))
            return text;
        Text out;
        out.terminated = text.terminated;
        encodeText(out, decodeText(text, *m_inPage), *m_outPage, m_target);
        return out;
    }

    // Colours in the target's form, strings in its code page; what referred
    // to a left-out object: list entries go, single references become null.
    void removeReferences(Object& o, Stretch& out) const {
        CommonData& c = o.common;
        const auto recolor = [this](CmColor& color) {
            color = colorForRelease(color, m_target);
            color.name = recode(color.name);
            color.bookName = recode(color.bookName);
        };
        HandleVisitor::VisitText retext;
        if (m_recodes)
            retext = [&](const char* field, Text& text) {
                const Text read = text;
                text = recode(text);
                if (std::string_view(field) == "name")
                    noteName(o, read, text, out.names);
            };
        if (m_removed.empty()) {
            visitHandles(o, m_target, [](const char*, HandleRef&) {}, recolor, retext);
            return;
        }
        const auto self = [](HandleRef& h) -> HandleRef& { return h; };
        eraseRemoved(c, c.reactors, self);
        c.reactorCount = static_cast<std::uint32_t>(c.reactors.size());
        if (isRemoved(c, c.xdictionary)) {
            c.xdictionary = {};
            c.xdictionaryMissing = m_target >= Release::R2004;
        }
        const auto entryItem = [](DictionaryEntry& e) -> HandleRef& { return e.item; };
        if (auto* d = o.as<DictionaryObject>()) eraseRemoved(c, d->entries, entryItem);
        else if (auto* dd = o.as<DictionaryWithDefaultObject>()) eraseRemoved(c, dd->dictionary.entries, entryItem);
        else if (auto* t = o.as<SymbolTableObject>()) eraseRemoved(c, t->entries, self);
        else if (auto* bt = o.as<BlockTableObject>()) eraseRemoved(c, bt->table.entries, self);
        else if (auto* lt = o.as<LinetypeTableObject>()) eraseRemoved(c, lt->table.entries, self);
        else if (auto* dt = o.as<DimStyleTableObject>()) eraseRemoved(c, dt->table.entries, self);
        else if (auto* b = o.as<BlockRecordObject>()) eraseRemoved(c, b->entities, self);
        else if (OwnedEntities* owned = ownedList(o)) eraseRemoved(c, owned->entities, self);
        visitHandles(
            o, m_target,
            [&](const char*, HandleRef& ref) {
                if (isRemoved(c, ref))
                    ref = {static_cast<std::uint8_t>(ref.code >= 2 && ref.code <= 5 ? ref.code : 4), 0};
            },
            recolor, retext);
    }

    std::vector<std::uint8_t> header() const {
        HeaderVariables::Recode recodeString;
        if (m_recodes)
            recodeString = [this](const Text& text) { return recode(text); };
        HeaderVariables h = m_header.convertedTo(m_target, recodeString);
        for (std::size_t i = 0; i < h.size(); ++i) {
            const HeaderVariableInfo& info = h.infoAt(i);
            if (info.code != HeaderCode::H || info.name == "HANDSEED")
                continue;
            const auto& ref = std::get<HandleRef>(h.valueAt(i));
            if (ref.value != 0 && ref.code <= 5 && m_removed.contains(ref.value))
                h.set(info.name, HandleRef{ref.code, 0});
        }
        return h.encode();
    }

    // The input's preview for a target before 2013: PNG pictures as
    // bitmaps where the caller makes them.
    std::vector<std::uint8_t> previewImage() {
        std::vector<std::uint8_t> preview = sourcePreview();
        if (preview.empty() || !m_pngToBitmap || m_target >= Release::R2013)
            return preview;
        try {
            return previewWithBitmaps(preview, m_pngToBitmap);
        } catch (const FormatError& e) {
            m_problems.push_back(std::string("the preview could not be read (") + e.what() +
                                 "); the drawing is saved without one");
            return {};
        }
    }

    // The input's SummaryInfo (title, author, properties...) in the
    // target's form; a fresh one where the input has none or it is damaged.
    std::vector<std::uint8_t> summaryInfo() {
        const std::vector<std::uint8_t> section = summaryInfoSection(m_source);
        if (section.empty())
            return {};
        try {
            SummaryInfo info = decodeSummaryInfo(section, m_from);
            for (const SummaryText& field : summaryTexts(info))
                *field.text = recode(*field.text);
            for (SummaryProperty& property : info.properties) {
                property.name = recode(property.name);
                property.value = recode(property.value);
            }
            return encodeSummaryInfo(info, m_target);
        } catch (const FormatError& e) {
            m_problems.push_back(std::string("the summary info (title, author...) could not be read (") + e.what() +
                                 "); the drawing is saved with an empty one");
        } catch (const std::invalid_argument& e) {
            m_problems.push_back(std::string("the summary info (title, author...) cannot be written in ") +
                                 std::string(releaseName(m_target)) + " (" + e.what() +
                                 "); the drawing is saved with an empty one");
        }
        return {};
    }

    // The input's preview, with its addresses relative to its start; none
    // where it is damaged.
    std::vector<std::uint8_t> sourcePreview() {
        if (!m_source.previewImage.empty())
            return m_source.previewImage;
        if (const auto* layout = dynamic_cast<const R13Layout*>(m_source.layout.get()))
            for (const R13Layout::Piece& piece : layout->pieces)
                if (piece.part == R13Part::Image)
                    return piece.bytes;
        if (const auto* layout = dynamic_cast<const R2004Layout*>(m_source.layout.get()))
            if (const R2004Section* preview = layout->find(sections::kPreviewName))
                try {
                    // File header byte 0x0D: the file address of the preview's data.
                    return relativePreview(preview->data, support::loadLE32(layout->fileHeader, 0x0D));
                } catch (const FormatError& e) {
                    m_problems.push_back(std::string("the preview could not be read (") + e.what() +
                                         "); the drawing is saved without one");
                }
        return {};
    }

    // A name of the classes section in the target's code page (UTF-8 as
    // read from 2007 on).
    std::string recodeName(const std::string& name) const {
        if (!m_recodes)
            return name;
        Text text;
        if (isUnicode(m_from))
            text.units = support::fromUtf8(name);
        else
            text.bytes = name;
        const Text out = recode(text);
        return isUnicode(m_target) ? support::toUtf8(out.units) : out.bytes;
    }

    std::vector<std::uint8_t> classes() const {
        ClassList list = m_classes;
        list.maxClassNumber = 0;
        for (ClassDefinition& c : list.classes) {
            c.appName = recodeName(c.appName);
            c.cppClassName = recodeName(c.cppClassName);
            c.dxfName = recodeName(c.dxfName);
            const std::string_view name = c.name();
            list.maxClassNumber = std::max(list.maxClassNumber, c.number);
            if (m_target < Release::R2004)
                continue;
            // AutoCAD's 2004 saves clear the top bit of the older "version" field.
            c.proxyFlags = static_cast<std::int16_t>(c.proxyFlags & 0x7FFF);
            const auto count = m_instances.find(std::string(name));
            c.instanceCount = count != m_instances.end() ? count->second : 0;
            c.dwgVersion = c.maintenanceVersion = 0;
            for (const ClassVersion& v : kClassVersions2004)
                if (v.dxfName == name) {
                    c.dwgVersion = v.dwgVersion;
                    c.maintenanceVersion = v.maintenanceVersion;
                }
        }
        return encodeClasses(list, m_target);
    }

    const DwgFile& m_source;
    Release m_from, m_target;
    std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t>)> m_pngToBitmap;
    std::uint16_t m_codePage;
    const support::CodePage* m_inPage;
    const support::CodePage* m_outPage;
    bool m_recodes;  // strings change their form or code page
    ClassList m_classes;
    HeaderVariables m_header;
    std::vector<std::uint64_t> m_allHandles;                 // every handle of the source, ascending
    std::unordered_map<std::uint64_t, std::uint64_t> m_next;  // entities with links: the next one
    std::unordered_map<std::uint64_t, std::vector<std::uint64_t>> m_ownedBy;  // entities by the owner they name
    std::uint64_t m_modelSpace = 0, m_paperSpace = 0;
    std::unordered_set<std::uint64_t> m_removed;             // left out, reported or not
    std::vector<DroppedObjectInSave> m_dropped;
    std::vector<std::string> m_problems;
    std::unordered_map<std::string, std::int32_t> m_instances;
    std::unordered_map<std::string, std::uint64_t> m_blockNames;  // R13-R14: upper-case name to block record
    // 2007+: the tables' records that changeFieldsOfLaterReleases names.
    std::unordered_map<std::string, std::uint64_t> m_appIds;  // upper-case name to APPID
    std::uint64_t m_activeVport = 0;
    std::uint64_t m_byLayerLinetype = 0, m_byBlockLinetype = 0;
    std::vector<std::uint64_t> m_linetypes;  // in table order
};

}  // namespace

bool canChangeRelease(Release, Release target) noexcept { return target == Release::R2004; }

ReleaseChange changeRelease(const DwgFile& source, Release target, const ReleaseChangeOptions& options) {
    if (!canChangeRelease(source.release, target))
        throw UnsupportedRelease("saving a drawing of release " + std::string(releaseName(source.release)) +
                                 " as " + std::string(releaseName(target)));
    return Changer(source, target, options).run();
}

}  // namespace dwg
