#include "dwg/drawing/drawing.h"

#include <algorithm>

#include "dwg/bits/bit_reader.h"
#include "dwg/container/dwg_file.h"
#include "dwg/drawing/ownership.h"
#include "dwg/drawing/text_codec.h"
#include "dwg/errors.h"
#include "dwg/objects/header_variables.h"
#include "dwg/objects/stored_object.h"
#include "dwg/objects/walks/tables.h"
#include "dwg/objects/walks/text.h"
#include "support/atomic_file.h"
#include "support/paths.h"

namespace dwg {
namespace {

// Runs `body`, adding `context` in front of the message of any engine error.
template <typename Body>
auto withContext(const std::string& context, Body&& body) {
    try {
        return body();
    } catch (const FormatError& e) {
        throw e.withContext(context);
    } catch (const UnsupportedRelease& e) {
        throw e.withContext(context);
    }
}

// The fields of one walk; Object::as has no const form, and the objects
// here are only read through it.
template <class Fields>
const Fields* fieldsOf(const Object& object) {
    return const_cast<Object&>(object).as<Fields>();
}

// The line fields of a TEXT, ATTRIB or ATTDEF, or null.
const TextLineFields* textLineOf(const Object& object) {
    if (const auto* t = fieldsOf<TextEntityObject>(object))
        return &t->text;
    if (const auto* a = fieldsOf<AttribObject>(object))
        return &a->text;
    if (const auto* d = fieldsOf<AttdefObject>(object))
        return &d->text;
    return nullptr;
}

const InsertFields* insertOf(const Object& object) {
    if (const auto* i = fieldsOf<InsertEntityObject>(object))
        return &i->insert;
    if (const auto* m = fieldsOf<MInsertObject>(object))
        return &m->insert;
    return nullptr;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && support::equalsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

Drawing Drawing::open(const std::filesystem::path& file, const ReadOptions& options) {
    const std::string name = file.string();
    std::error_code error;
    if (std::filesystem::is_directory(file, error))
        throw FormatError(name + ": a folder, not a DWG drawing");
    const std::string bytes = support::readFileBytes(file);
    return fromBytes(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), name, options);
}

Drawing Drawing::fromBytes(std::span<const std::uint8_t> bytes, std::string name, const ReadOptions& options) {
    DwgFile file = withContext(name, [&] { return readDwgFile(bytes, options); });
    return Drawing(std::move(file), std::move(name));
}

Drawing::Drawing(DwgFile file, std::string name)
    : m_name(std::move(name)),
      m_store(withContext(m_name, [&] { return ObjectStore(std::move(file)); })),
      m_codePage(&codePageOf(m_store.file().codePage)) {
    withContext(m_name, [&] {
        checkDroppedObjects();
        for (const Repair& repair : m_store.file().repairs)
            m_warnings.push_back(repair.structure + ": " + repair.problem + "; a save writes " + repair.onSave);
        const auto styleControls = m_store.handlesOfType(type::StyleControl);
        const auto blockControls = m_store.handlesOfType(type::BlockControl);
        if (styleControls.size() != 1 || blockControls.size() != 1)
            throw FormatError("expected one STYLE and one BLOCK table, found " + std::to_string(styleControls.size()) +
                              " and " + std::to_string(blockControls.size()));

        const Object styleTable = m_store.decode(styleControls.front());
        const auto* styles = fieldsOf<SymbolTableObject>(styleTable);
        if (styles == nullptr)
            throw FormatError("object " + handleText(styleControls.front()) + ": expected a STYLE table");
        for (const HandleRef& entry : styles->entries) {
            const std::uint64_t handle = styleTable.common.resolve(entry);
            if (handle == 0 || m_store.typeOf(handle) != type::Style)
                continue;  // a dangling entry names no style
            if (!styleRecord(handle).isShapeFile)
                m_styles.push_back(handle);
        }

        const Object blockTable = m_store.decode(blockControls.front());
        const auto* blocks = fieldsOf<BlockTableObject>(blockTable);
        if (blocks == nullptr)
            throw FormatError("object " + handleText(blockControls.front()) + ": expected a BLOCK table");
        m_modelSpace = blockTable.common.resolve(blocks->modelSpace);
        m_paperSpace = blockTable.common.resolve(blocks->paperSpace);
        for (std::uint64_t handle : {m_modelSpace, m_paperSpace})
            if (m_store.typeOf(handle) == type::BlockHeader)
                m_blocks.push_back(handle);
        for (const HandleRef& entry : blocks->table.entries) {
            const std::uint64_t handle = blockTable.common.resolve(entry);
            if (handle != 0 && m_store.typeOf(handle) == type::BlockHeader &&
                std::find(m_blocks.begin(), m_blocks.end(), handle) == m_blocks.end())
                m_blocks.push_back(handle);
        }
        return 0;
    });
}

void Drawing::checkDroppedObjects() {
    const auto& dropped = m_store.file().droppedObjects;
    if (dropped.empty())
        return;
    // AutoCAD leaves map entries of handles it gave up at garbage; a handle
    // below HANDSEED is one the drawing may use, and its loss is damage.
    const HeaderVariables header = HeaderVariables::decode(m_store.file().headerVariables, m_store.release());
    const std::uint64_t seed = header.handle("HANDSEED");
    for (const DroppedObject& d : dropped) {
        if (d.handle < seed)
            throw FormatError("object " + handleText(d.handle) + " at " + std::to_string(d.location) + ": " + d.reason);
        m_warnings.push_back("object map entry " + handleText(d.handle) + " points at no object (" + d.reason +
                             "); it is left out");
    }
}

void Drawing::fail(const std::string& what) const { throw FormatError(m_name + ": " + what); }

const Object& Drawing::current(std::uint64_t handle) const {
    if (m_edited && m_edited->common.handleValue() == handle)
        return *m_edited;
    if (auto kept = m_kept.find(handle); kept != m_kept.end())
        return kept->second;
    if (!m_last || m_last->common.handleValue() != handle) {
        m_last.reset();
        m_last = withContext(m_name, [&] { return m_store.decode(handle); });
    }
    return *m_last;
}

Object Drawing::object(std::uint64_t handle) const { return current(handle); }

const StyleObject& Drawing::styleRecord(std::uint64_t handle) const {
    if (m_store.typeOf(handle) != type::Style)
        fail("object " + handleText(handle) + " is not a text style");
    if (!(m_edited && m_edited->common.handleValue() == handle) && m_kept.find(handle) == m_kept.end())
        m_kept.emplace(handle, withContext(m_name, [&] { return m_store.decode(handle); }));
    const auto* s = fieldsOf<StyleObject>(current(handle));
    if (s == nullptr)
        fail("object " + handleText(handle) + ": no walk describes its text style");
    return *s;
}

StyleObject Drawing::style(std::uint64_t handle) const { return styleRecord(handle); }

std::u16string Drawing::styleName(std::uint64_t handle) const {
    return decodeText(styleRecord(handle).entry.name, *m_codePage);
}

std::u16string Drawing::styleFontFile(std::uint64_t handle) const {
    return decodeText(styleRecord(handle).fontFile, *m_codePage);
}

Object& Drawing::edit(std::uint64_t handle, const Object& now) {
    if (!m_edited || m_edited->common.handleValue() != handle) {
        Object copy = now;
        storeEdited();
        m_edited = std::move(copy);
    }
    return *m_edited;
}

StyleObject& Drawing::editStyle(std::uint64_t handle) {
    styleRecord(handle);  // checks the type before anything is stored
    return *edit(handle, current(handle)).as<StyleObject>();
}

void Drawing::setStyleFontFile(std::uint64_t handle, std::u16string_view fontFile) {
    encodeText(editStyle(handle).fontFile, fontFile, *m_codePage, m_store.release());
}

void Drawing::setStyleGeneration(std::uint64_t handle, std::uint8_t generation) {
    editStyle(handle).generation = generation;
}

const BlockRecordObject& Drawing::blockRecord(std::uint64_t handle) const {
    if (m_store.typeOf(handle) != type::BlockHeader)
        fail("object " + handleText(handle) + " is not a block definition");
    if (m_kept.find(handle) == m_kept.end())
        m_kept.emplace(handle, withContext(m_name, [&] { return m_store.decode(handle); }));
    const auto* b = fieldsOf<BlockRecordObject>(m_kept.at(handle));
    if (b == nullptr)
        fail("object " + handleText(handle) + ": no walk describes its block definition");
    return *b;
}

std::u16string Drawing::blockName(std::uint64_t handle) const {
    return decodeText(blockRecord(handle).entry.name, *m_codePage);
}

std::vector<std::uint64_t> Drawing::blockEntities(std::uint64_t handle) const {
    auto it = m_blockEntities.find(handle);
    if (it == m_blockEntities.end()) {
        const BlockRecordObject& b = blockRecord(handle);
        const CommonData& common = m_kept.at(handle).common;
        auto entities = withContext(m_name + ": block " + handleText(handle),
                                    [&] { return dwg::blockEntities(m_store, common, b); });
        if (entities.empty()) {
            const std::vector<std::uint64_t>& owned = ownedBy(handle);
            if (!owned.empty()) {
                entities = owned;
                if (!m_entitiesRecovered)
                    m_warnings.push_back("block " + handleText(handle) + " (" +
                                         b.entry.name.shown() + ", and maybe others) lists "
                                         "no entities, though some name it as their owner; they are taken in file "
                                         "order");
                m_entitiesRecovered = true;
            }
        }
        it = m_blockEntities.emplace(handle, std::move(entities)).first;
    }
    return it->second;
}

std::vector<std::uint64_t> Drawing::spaces() const {
    std::vector<std::uint64_t> out;
    for (std::uint64_t handle : m_blocks) {
        const std::string name = blockRecord(handle).entry.name.shown();
        if (handle == m_modelSpace || handle == m_paperSpace || startsWithIgnoringCase(name, "*Paper_Space"))
            out.push_back(handle);
    }
    return out;
}

std::vector<std::uint64_t> Drawing::selectAll(std::string_view dxfType) const {
    std::vector<std::uint64_t> out;
    for (std::uint64_t space : spaces())
        for (std::uint64_t entity : blockEntities(space))
            if (m_store.dxfNameOf(entity) == dxfType)
                out.push_back(entity);
    return out;
}

bool Drawing::isBlockReference(std::uint64_t handle) const {
    auto t = m_store.typeOf(handle);
    return t == type::Insert || t == type::Minsert;
}

bool Drawing::isText(std::uint64_t handle) const { return m_store.typeOf(handle) == type::Text; }

InsertFields Drawing::insert(std::uint64_t handle) const {
    if (!isBlockReference(handle))
        fail("object " + handleText(handle) + " is not a block reference");
    const InsertFields* fields = insertOf(current(handle));
    if (fields == nullptr)
        fail("object " + handleText(handle) + ": no walk describes its block reference");
    return *fields;
}

std::vector<std::uint64_t> Drawing::attributes(std::uint64_t insertHandle) const {
    const InsertFields o = insert(insertHandle);
    const CommonData common = current(insertHandle).common;
    std::vector<std::uint64_t> list = withContext(m_name + ": block reference " + handleText(insertHandle),
                                                  [&] { return insertAttributes(m_store, common, o); });
    if (!list.empty() || !o.hasAttributes)
        return list;
    for (const std::uint64_t handle : ownedBy(insertHandle))
        if (m_store.typeOf(handle) == type::Attrib)
            list.push_back(handle);
    if (!list.empty() && !m_attributesRecovered) {
        m_attributesRecovered = true;
        m_warnings.push_back("block reference " + handleText(insertHandle) +
                             " (and maybe others) lists no attributes, though some name it as their owner; "
                             "they are taken in file order");
    }
    return list;
}

const std::vector<std::uint64_t>& Drawing::ownedBy(std::uint64_t owner) const {
    if (!m_owned) {
        std::unordered_map<std::uint64_t, std::vector<std::uint64_t>> owned;
        withContext(m_name, [&] {
            for (const ObjectLocation& object : m_store.file().objects) {
                // BLOCK and ENDBLK frame a block and SEQEND ends a run; none is listed.
                const auto kind = m_store.typeOf(object.handle);
                if (!m_store.isEntity(object.handle) || kind == type::Block || kind == type::Endblk ||
                    kind == type::Seqend)
                    continue;
                // Only the common data is read: the owner is all that counts here.
                const CommonData common = m_store.common(object.handle).common;
                std::uint64_t by = 0;
                if (common.entityMode == 2) {
                    by = m_modelSpace;
                } else if (common.entityMode == 1) {
                    by = m_paperSpace;
                } else {
                    by = common.resolve(common.owner);
                }
                owned[by].push_back(object.handle);
            }
            return 0;
        });
        m_owned = std::move(owned);
    }
    static const std::vector<std::uint64_t> kNone;
    const auto it = m_owned->find(owner);
    return it == m_owned->end() ? kNone : it->second;
}

const Object& Drawing::currentText(std::uint64_t handle) const {
    auto t = m_store.typeOf(handle);
    if (t != type::Text && t != type::Attrib && t != type::Attdef)
        fail("object " + handleText(handle) + " is not a text or attribute");
    const Object& o = current(handle);
    if (textLineOf(o) == nullptr)
        fail("object " + handleText(handle) + ": no walk describes its text");
    return o;
}

const TextLineFields& Drawing::textLine(std::uint64_t handle) const { return *textLineOf(currentText(handle)); }

TextLineFields Drawing::text(std::uint64_t handle) const { return textLine(handle); }

std::u16string Drawing::textTag(std::uint64_t handle) const {
    const Object& o = currentText(handle);
    if (const auto* a = fieldsOf<AttribObject>(o))
        return decodeText(a->attribute.tag, *m_codePage);
    if (const auto* d = fieldsOf<AttdefObject>(o))
        return decodeText(d->attribute.tag, *m_codePage);
    return {};
}

TextLineFields& Drawing::editText(std::uint64_t handle) {
    const Object& now = currentText(handle);  // checks the type before anything is stored
    return const_cast<TextLineFields&>(*textLineOf(edit(handle, now)));
}

std::u16string Drawing::textString(std::uint64_t handle) const {
    return decodeText(textLine(handle).value, *m_codePage);
}

void Drawing::setTextString(std::uint64_t handle, std::u16string_view value) {
    encodeText(editText(handle).value, value, *m_codePage, m_store.release());
}

std::uint64_t Drawing::textStyle(std::uint64_t handle) const {
    const std::uint64_t s = currentText(handle).common.resolve(textLine(handle).style);
    return m_store.typeOf(s) == type::Style ? s : 0;
}

std::u16string Drawing::textStyleName(std::uint64_t handle) const {
    const std::uint64_t s = textStyle(handle);
    return s == 0 ? std::u16string() : styleName(s);
}

std::int16_t Drawing::textGeneration(std::uint64_t handle) const { return textLine(handle).generation; }

void Drawing::setBackward(std::uint64_t handle, bool backward) {
    TextLineFields& t = editText(handle);
    t.generation = static_cast<std::int16_t>(backward ? (t.generation | 2) : (t.generation & ~2));
}

void Drawing::setTextGeneration(std::uint64_t handle, std::int16_t generation) {
    editText(handle).generation = generation;
}

Point3 Drawing::insertionPoint(std::uint64_t handle) const {
    const TextLineFields& f = textLine(handle);
    return {f.insertion.x, f.insertion.y, f.elevation};
}

void Drawing::move(std::uint64_t handle, const Point3& from, const Point3& to) {
    TextLineFields& f = editText(handle);
    const double dx = to.x - from.x, dy = to.y - from.y, dz = to.z - from.z;
    // An alignment point left out (equal to the insertion point) stays so.
    f.insertion = {f.insertion.x + dx, f.insertion.y + dy};
    f.alignment = {f.alignment.x + dx, f.alignment.y + dy};
    f.elevation += dz;
}

Box3 Drawing::boundingBox(std::uint64_t handle) {
    // Measured as the drawing now is: a block reference's box takes in its
    // attributes as they were last changed.
    storeEdited();
    return withContext(m_name, [&] { return entityBox(m_store, handle); });
}

void Drawing::storeEdited() {
    if (!m_edited)
        return;
    const std::uint64_t handle = m_edited->common.handleValue();
    withContext(m_name, [&] {
        const Release r = m_store.release();
        m_store.replace(handle, encodeObject(*m_edited, r, r));
        return 0;
    });
    // Copies decoded before are the object before the change.
    m_kept.erase(handle);
    if (m_last && m_last->common.handleValue() == handle)
        m_last.reset();
    m_edited.reset();
}

std::vector<std::uint8_t> Drawing::toBytes() {
    storeEdited();
    return withContext(m_name, [&] { return writeDwgFile(m_store.contents()); });
}

std::vector<std::uint8_t> Drawing::toBytes(Release release, const ReleaseChangeOptions& options) {
    m_droppedInSave.clear();
    m_problemsInSave.clear();
    if (release == m_store.release() && options.codePage.value_or(codePage()) == codePage())
        return toBytes();
    storeEdited();
    return withContext(m_name, [&] {
        ReleaseChange change = changeRelease(m_store.contents(), release, options);
        m_droppedInSave = std::move(change.dropped);
        m_problemsInSave = std::move(change.problems);
        return writeDwgFile(change.file);
    });
}

void Drawing::save(const std::filesystem::path& file) { save(file, m_store.release()); }

bool Drawing::canSaveAs(Release release) const noexcept {
    if (release == m_store.release())
        return canWriteDwgFile(release);
    return canChangeRelease(m_store.release(), release);
}

void Drawing::save(const std::filesystem::path& file, Release release, const ReleaseChangeOptions& options) {
    const std::vector<std::uint8_t> bytes = toBytes(release, options);
    // A link at the output is replaced, never written through: it may lead
    // to the very drawing that was read, or to another one.
    support::writeFileAtomically(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                                 support::Links::Replace);
}

}  // namespace dwg
