#include "dwg/drawing/release_change.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <thread>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "dwg/container/r13_2000.h"
#include "dwg/drawing/object_store.h"
#include "dwg/errors.h"
#include "dwg/objects/header_variables.h"
#include "dwg/objects/object.h"
#include "dwg/objects/registry.h"
#include "dwg/objects/walks/dictionaries.h"
#include "dwg/objects/walks/polylines.h"
#include "dwg/objects/walks/proxies.h"
#include "dwg/objects/walks/tables.h"
#include "dwg/objects/walks/text.h"
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


// Two passes over the objects, so that only what crosses objects is kept
// while one object at a time is decoded, changed and encoded: the first
// finds what is left out, the links of entity runs, the block names and the
// class counts; the second writes every object carried.
class Changer {
public:
    Changer(const DwgFile& source, Release target)
        : m_source(source), m_from(source.release), m_target(target),
          m_classes(decodeClasses(source.classes, source.release)),
          m_header(HeaderVariables::decode(source.headerVariables, source.release)) {}

    ReleaseChange run() {
        m_modelSpace = m_header.handle("BLOCK_RECORD_MODEL_SPACE");
        m_paperSpace = m_header.handle("BLOCK_RECORD_PAPER_SPACE");
        survey();
        ReleaseChange out;
        DwgFile& file = out.file;
        file.release = m_target;
        file.codePage = m_source.codePage;
        file.previewImage = previewImage();
        // An object whose own fields cannot be read is found only here: it
        // is left out, and the objects are written again without any
        // reference to it (rare: the drawing opened).
        while (!writeObjects(file)) {
        }
        file.headerVariables = header();
        file.classes = classes();
        out.dropped = std::move(m_dropped);
        return out;
    }

private:
    // One stretch of the objects as the second pass writes it.
    struct Stretch {
        std::vector<ObjectLocation> objects;  // offsets into `bytes`
        std::vector<std::uint8_t> bytes;
        std::optional<std::size_t> unreadable;  // the object whose own fields could not be read
        std::string reason;
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
                } catch (const FormatError& e) {
                    out.unreadable = i;
                    out.reason = std::string("cannot be read: ") + e.what();
                    return;
                }
                try {
                    change(o);
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
                drop(location.handle, typeName(type, findObjectKind(type, m_classes)), std::move(s.reason));
                if (const ClassDefinition* cls = m_classes.find(type))
                    --m_instances[std::string(cls->name())];
                return false;
            }
        }
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

    void drop(std::uint64_t handle, std::string type, std::string reason) {
        m_removed.insert(handle);
        m_dropped.push_back({handle, std::move(type), std::move(reason)});
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
                std::uint16_t type = 0;
                try {
                    type = storedObjectType(stored, m_from);
                } catch (const FormatError&) {
                }
                drop(location.handle, typeName(type, findObjectKind(type, m_classes)),
                     std::string("cannot be read: ") + e.what());
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
            if (o.kind == nullptr) {
                const ClassDefinition* cls = m_classes.find(type);
                drop(location.handle, typeName(type, nullptr),
                     std::string("its fields are described nowhere") +
                         (cls != nullptr ? " (a class of \"" + std::string(cls->appName.substr(0, cls->appName.find('\0'))) + "\")" : "") +
                         ", so they cannot be written as " + std::string(releaseName(m_target)));
                continue;
            }
            if ((o.kind->type == kProxyEntity || o.kind->type == kProxyObject) && m_from < Release::R2000) {
                // The data of an R13-R14 proxy carry no drawing format, which
                // 2000 and later need to tell how to read them.
                drop(location.handle, std::string(o.kind->dxfName),
                     "a proxy of release " + std::string(releaseName(m_from)) +
                         " names no drawing format for its data, which " + std::string(releaseName(m_target)) +
                         " needs");
                continue;
            }
            if (const ClassDefinition* cls = m_classes.find(type))
                ++m_instances[std::string(cls->name())];
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

    // The second pass, for one object.
    void change(Object& o) const {
        listOwnedObjects(o);
        nameBlocksByHandle(o);
        changeCommonData(o);
        removeReferences(o);
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

    // Colours in the target's form; what referred to a left-out object: list
    // entries go, single references become null.
    void removeReferences(Object& o) const {
        CommonData& c = o.common;
        const auto recolor = [this](CmColor& color) { color = colorForRelease(color, m_target); };
        if (m_removed.empty()) {
            visitHandles(o, m_target, [](const char*, HandleRef&) {}, recolor);
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
            recolor);
    }

    std::vector<std::uint8_t> header() const {
        HeaderVariables h = m_header.convertedTo(m_target);
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

    // The input's preview, with its addresses relative to its start.
    std::vector<std::uint8_t> previewImage() const {
        if (const auto* layout = dynamic_cast<const R13Layout*>(m_source.layout.get()))
            for (const R13Layout::Piece& piece : layout->pieces)
                if (piece.part == R13Part::Image)
                    return piece.bytes;
        return {};
    }

    std::vector<std::uint8_t> classes() const {
        ClassList list = m_classes;
        list.maxClassNumber = 0;
        for (ClassDefinition& c : list.classes) {
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
    ClassList m_classes;
    HeaderVariables m_header;
    std::vector<std::uint64_t> m_allHandles;                 // every handle of the source, ascending
    std::unordered_map<std::uint64_t, std::uint64_t> m_next;  // entities with links: the next one
    std::unordered_map<std::uint64_t, std::vector<std::uint64_t>> m_ownedBy;  // entities by the owner they name
    std::uint64_t m_modelSpace = 0, m_paperSpace = 0;
    std::unordered_set<std::uint64_t> m_removed;             // left out, reported or not
    std::vector<DroppedObjectInSave> m_dropped;
    std::unordered_map<std::string, std::int32_t> m_instances;
    std::unordered_map<std::string, std::uint64_t> m_blockNames;  // R13-R14: upper-case name to block record
};

}  // namespace

bool canChangeRelease(Release from, Release target) noexcept {
    return from <= Release::R2000 && target == Release::R2004;
}

ReleaseChange changeRelease(const DwgFile& source, Release target) {
    if (!canChangeRelease(source.release, target))
        throw UnsupportedRelease("saving a drawing of release " + std::string(releaseName(source.release)) +
                                 " as " + std::string(releaseName(target)));
    return Changer(source, target).run();
}

}  // namespace dwg
