#include "dwg/drawing/drawing.h"

#include <algorithm>

#include "dwg/bits/bit_reader.h"
#include "dwg/container/dwg_file.h"
#include "dwg/drawing/ownership.h"
#include "dwg/drawing/text_codec.h"
#include "dwg/errors.h"
#include "dwg/objects/header_variables.h"
#include "dwg/objects/object_header.h"
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

template <typename T, typename Decode>
T decodeObject(const ObjectStore& store, std::uint64_t handle, Decode decode) {
    const ObjectView view = store.view(handle);
    BitReader in = view.reader(store.release());
    try {
        return decode(in, view.header);
    } catch (const FormatError& e) {
        throw e.withContext("object " + handleText(handle));
    }
}

// Strings of 2000 and later files usually count a terminating zero byte;
// it is no part of the text.
std::string_view withoutTerminator(std::string_view bytes) {
    return !bytes.empty() && bytes.back() == '\0' ? bytes.substr(0, bytes.size() - 1) : bytes;
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
        if (m_store.release() >= Release::R2007)
            throw UnsupportedRelease("release " + std::string(releaseName(m_store.release())) +
                                     " cannot be edited yet");
        checkDroppedObjects();
        for (const Repair& repair : m_store.file().repairs)
            m_warnings.push_back(repair.structure + ": " + repair.problem + "; a save writes " + repair.onSave);
        const auto styleControls = m_store.handlesOfType(type::StyleControl);
        const auto blockControls = m_store.handlesOfType(type::BlockControl);
        if (styleControls.size() != 1 || blockControls.size() != 1)
            throw FormatError("expected one STYLE and one BLOCK table, found " + std::to_string(styleControls.size()) +
                              " and " + std::to_string(blockControls.size()));

        const auto styles = decodeObject<TableControlObject>(m_store, styleControls.front(), decodeTableControl);
        for (std::uint64_t handle : styles.entries) {
            if (handle == 0 || m_store.typeOf(handle) != type::Style)
                continue;  // a dangling entry names no style
            if (!style(handle).isShapeFile)
                m_styles.push_back(handle);
        }

        const auto blocksTable = decodeObject<TableControlObject>(m_store, blockControls.front(), decodeTableControl);
        m_modelSpace = blocksTable.modelSpace;
        m_paperSpace = blocksTable.paperSpace;
        for (std::uint64_t handle : {m_modelSpace, m_paperSpace})
            if (m_store.typeOf(handle) == type::BlockHeader)
                m_blocks.push_back(handle);
        for (std::uint64_t handle : blocksTable.entries)
            if (handle != 0 && m_store.typeOf(handle) == type::BlockHeader &&
                std::find(m_blocks.begin(), m_blocks.end(), handle) == m_blocks.end())
                m_blocks.push_back(handle);
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

const StyleObject& Drawing::style(std::uint64_t handle) const {
    if (auto changed = m_changedStyles.find(handle); changed != m_changedStyles.end())
        return changed->second;
    auto it = m_styleObjects.find(handle);
    if (it == m_styleObjects.end()) {
        if (m_store.typeOf(handle) != type::Style)
            fail("object " + handleText(handle) + " is not a text style");
        auto decoded = withContext(m_name, [&] { return decodeObject<StyleObject>(m_store, handle, decodeStyle); });
        it = m_styleObjects.emplace(handle, std::move(decoded)).first;
    }
    return it->second;
}

std::u16string Drawing::styleName(std::uint64_t handle) const {
    return decodeDrawingText(withoutTerminator(style(handle).name), *m_codePage);
}

std::u16string Drawing::styleFontFile(std::uint64_t handle) const {
    return decodeDrawingText(withoutTerminator(style(handle).fontFile), *m_codePage);
}

StyleObject& Drawing::editStyle(std::uint64_t handle) {
    auto it = m_changedStyles.find(handle);
    if (it == m_changedStyles.end())
        it = m_changedStyles.emplace(handle, style(handle)).first;
    return it->second;
}

void Drawing::setStyleFontFile(std::uint64_t handle, std::u16string_view fontFile) {
    std::string& stored = editStyle(handle).fontFile;
    const bool terminated = stored.size() != withoutTerminator(stored).size();
    stored = encodeDrawingText(fontFile, *m_codePage);
    if (terminated)
        stored += '\0';
}

void Drawing::setStyleGeneration(std::uint64_t handle, std::uint8_t generation) {
    editStyle(handle).generation = generation;
}

const BlockHeaderObject& Drawing::block(std::uint64_t handle) const {
    auto it = m_blockObjects.find(handle);
    if (it == m_blockObjects.end()) {
        if (m_store.typeOf(handle) != type::BlockHeader)
            fail("object " + handleText(handle) + " is not a block definition");
        auto decoded =
            withContext(m_name, [&] { return decodeObject<BlockHeaderObject>(m_store, handle, decodeBlockHeader); });
        it = m_blockObjects.emplace(handle, std::move(decoded)).first;
    }
    return it->second;
}

std::u16string Drawing::blockName(std::uint64_t handle) const {
    return decodeDrawingText(withoutTerminator(block(handle).name), *m_codePage);
}

std::vector<std::uint64_t> Drawing::blockEntities(std::uint64_t handle) const {
    auto it = m_blockEntities.find(handle);
    if (it == m_blockEntities.end()) {
        const BlockHeaderObject& b = block(handle);
        auto entities =
            withContext(m_name + ": block " + handleText(handle), [&] { return dwg::blockEntities(m_store, b); });
        if (entities.empty()) {
            const std::vector<std::uint64_t>& owned = ownedBy(handle);
            if (!owned.empty()) {
                entities = owned;
                if (!m_entitiesRecovered)
                    m_warnings.push_back("block " + handleText(handle) + " (" +
                                         std::string(withoutTerminator(b.name)) + ", and maybe others) lists no "
                                         "entities, though some name it as their owner; they are taken in file order");
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
        const std::string_view name = withoutTerminator(block(handle).name);
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

const InsertObject& Drawing::insert(std::uint64_t handle) const {
    if (!m_lastInsert || m_lastInsert->header.handle != handle) {
        if (!isBlockReference(handle))
            fail("object " + handleText(handle) + " is not a block reference");
        m_lastInsert = withContext(m_name, [&] { return decodeObject<InsertObject>(m_store, handle, decodeInsert); });
    }
    return *m_lastInsert;
}

std::vector<std::uint64_t> Drawing::attributes(std::uint64_t insertHandle) const {
    const InsertObject& o = insert(insertHandle);
    std::vector<std::uint64_t> list = withContext(m_name + ": block reference " + handleText(insertHandle),
                                                  [&] { return insertAttributes(m_store, o); });
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
                const ObjectView view = m_store.view(object.handle);
                std::uint64_t by = 0;
                if (view.header.entityMode == 2) {
                    by = m_modelSpace;
                } else if (view.header.entityMode == 1) {
                    by = m_paperSpace;
                } else {
                    BitReader in(view.data, m_store.release());
                    in.seekBit(view.header.handlesAt);
                    by = readCommonHandles(in, view.header).owner;
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

const TextObject& Drawing::text(std::uint64_t handle) const {
    if (m_editedText && m_editedText->header.handle == handle)
        return *m_editedText;
    if (!m_lastText || m_lastText->header.handle != handle) {
        auto t = m_store.typeOf(handle);
        if (t != type::Text && t != type::Attrib && t != type::Attdef)
            fail("object " + handleText(handle) + " is not a text or attribute");
        m_lastText = withContext(m_name, [&] { return decodeObject<TextObject>(m_store, handle, decodeText); });
    }
    return *m_lastText;
}

TextObject& Drawing::editText(std::uint64_t handle) {
    if (!m_editedText || m_editedText->header.handle != handle) {
        const TextObject& current = text(handle);  // checks the type before anything is stored
        TextObject copy = current;
        storeEditedText();
        m_editedText = std::move(copy);
    }
    return *m_editedText;
}

std::u16string Drawing::textString(std::uint64_t handle) const {
    return decodeDrawingText(withoutTerminator(text(handle).text.value), *m_codePage);
}

void Drawing::setTextString(std::uint64_t handle, std::u16string_view value) {
    std::string& stored = editText(handle).text.value;
    const bool terminated = stored.size() != withoutTerminator(stored).size();
    stored = encodeDrawingText(value, *m_codePage);
    if (terminated)
        stored += '\0';
}

std::u16string Drawing::textStyleName(std::uint64_t handle) const {
    const std::uint64_t s = text(handle).style;
    if (m_store.typeOf(s) != type::Style)
        return {};
    return styleName(s);
}

void Drawing::setBackward(std::uint64_t handle, bool backward) {
    TextObject& t = editText(handle);
    t.text.generation = static_cast<std::int16_t>(backward ? (t.text.generation | 2) : (t.text.generation & ~2));
}

void Drawing::setTextGeneration(std::uint64_t handle, std::int16_t generation) {
    editText(handle).text.generation = generation;
}

Point3 Drawing::insertionPoint(std::uint64_t handle) const {
    const TextFields& f = text(handle).text;
    return {f.insertion.x, f.insertion.y, f.elevation};
}

void Drawing::move(std::uint64_t handle, const Point3& from, const Point3& to) {
    TextFields& f = editText(handle).text;
    const double dx = to.x - from.x, dy = to.y - from.y, dz = to.z - from.z;
    // An absent alignment point follows the insertion point by itself.
    f.insertion = {f.insertion.x + dx, f.insertion.y + dy};
    f.alignment = {f.alignment.x + dx, f.alignment.y + dy};
    f.elevation += dz;
}

Box3 Drawing::boundingBox(std::uint64_t handle) {
    // Measured as the drawing now is: a block reference's box takes in its
    // attributes as they were last changed.
    storeEditedText();
    return withContext(m_name, [&] { return entityBox(m_store, handle); });
}

namespace {

template <typename Object, typename EncodeBody>
void encodeInto(ObjectStore& store, const Object& object, EncodeBody encodeBody) {
    const std::uint64_t handle = object.header.handle;
    const ObjectView view = store.view(handle);
    BitWriter body(store.release());
    encodeBody(body, object);
    store.replace(handle, assembleObject(view.data, view.header, body, object.handlesEnd, store.release()));
}

}  // namespace

void Drawing::storeEditedText() {
    if (!m_editedText)
        return;
    withContext(m_name, [&] {
        encodeInto(m_store, *m_editedText, encodeText);
        return 0;
    });
    // Decoded copies hold bit positions of the old bytes.
    if (m_lastText && m_lastText->header.handle == m_editedText->header.handle)
        m_lastText.reset();
    m_editedText.reset();
}

void Drawing::applyChanges() {
    storeEditedText();
    withContext(m_name, [&] {
        for (auto& [handle, s] : m_changedStyles)
            encodeInto(m_store, s, encodeStyle);
        return 0;
    });
    m_changedStyles.clear();
    m_styleObjects.clear();
}

std::vector<std::uint8_t> Drawing::toBytes() {
    applyChanges();
    return withContext(m_name, [&] { return writeDwgFile(m_store.contents()); });
}

std::vector<std::uint8_t> Drawing::toBytes(Release release) {
    if (release == m_store.release())
        return toBytes();
    applyChanges();
    return withContext(m_name, [&] {
        ReleaseChange change = changeRelease(m_store.contents(), release);
        m_droppedInSave = std::move(change.dropped);
        return writeDwgFile(change.file);
    });
}

void Drawing::save(const std::filesystem::path& file) { save(file, m_store.release()); }

void Drawing::save(const std::filesystem::path& file, Release release) {
    const std::vector<std::uint8_t> bytes = toBytes(release);
    // A link at the output is replaced, never written through: it may lead
    // to the very drawing that was read, or to another one.
    support::writeFileAtomically(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                                 support::Links::Replace);
}

}  // namespace dwg
