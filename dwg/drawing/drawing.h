#pragma once
// A drawing open for reading and editing its texts: the text styles, block
// definitions, the entities of model space and every layout, texts and
// attributes with the properties the converter reads and writes, and saving
// back to the release it was read in. Objects nobody changed are written
// back bit for bit.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dwg/drawing/bounding_box.h"
#include "dwg/drawing/object_store.h"
#include "dwg/drawing/release_change.h"
#include "dwg/objects/object.h"
#include "dwg/objects/walks/tables.h"
#include "dwg/objects/walks/text.h"
#include "support/code_pages.h"

namespace dwg {

class Drawing {
public:
    // Errors name the file: "<path>: <section or object>: <reason>".
    // `options` can ask for the recovery of a damaged object map, which the
    // drawing then reports in warnings() and repairs().
    static Drawing open(const std::filesystem::path& file, const ReadOptions& options = {});
    static Drawing fromBytes(std::span<const std::uint8_t> bytes, std::string name, const ReadOptions& options = {});
    Drawing(DwgFile file, std::string name);

    const std::string& name() const { return m_name; }
    Release release() const { return m_store.release(); }
    // The program that wrote the drawing, as far as it says (writerOf).
    std::string writer() const { return writerOf(m_store.file()); }
    std::uint16_t codePage() const { return m_store.file().codePage; }
    const support::CodePage& textCodePage() const { return *m_codePage; }
    const ObjectStore& objects() const { return m_store; }
    // Harmless oddities found on reading, for reports; walking the drawing
    // may add some (an entity list recovered from the entities' owners).
    const std::vector<std::string>& warnings() const { return m_warnings; }
    // The redundant structures found damaged, which a save rebuilds.
    const std::vector<Repair>& repairs() const { return m_store.file().repairs; }

    // Every read below gives a value that stays valid whatever is called
    // next; changes are seen by every later read.

    // An object as it now is, changes included.
    Object object(std::uint64_t handle) const;

    // Text styles in table order, shape files left out.
    const std::vector<std::uint64_t>& textStyles() const { return m_styles; }
    StyleObject style(std::uint64_t handle) const;
    std::u16string styleName(std::uint64_t handle) const;
    std::u16string styleFontFile(std::uint64_t handle) const;
    void setStyleFontFile(std::uint64_t handle, std::u16string_view fontFile);
    void setStyleGeneration(std::uint64_t handle, std::uint8_t generation);

    // Block definitions in table order: model space, paper space, then the others.
    const std::vector<std::uint64_t>& blocks() const { return m_blocks; }
    std::u16string blockName(std::uint64_t handle) const;
    std::vector<std::uint64_t> blockEntities(std::uint64_t handle) const;
    // The blocks of model space and of every paper-space layout.
    std::vector<std::uint64_t> spaces() const;

    // Every entity of one DXF type ("TEXT", "INSERT"; an INSERT selection
    // takes MINSERTs too) in model space and every layout, on every layer.
    std::vector<std::uint64_t> selectAll(std::string_view dxfType) const;
    std::string_view entityType(std::uint64_t handle) const { return m_store.dxfNameOf(handle); }
    bool isBlockReference(std::uint64_t handle) const;
    bool isText(std::uint64_t handle) const;

    // An INSERT or MINSERT.
    InsertFields insert(std::uint64_t handle) const;
    std::vector<std::uint64_t> attributes(std::uint64_t insertHandle) const;

    // A TEXT, ATTRIB or ATTDEF.
    TextLineFields text(std::uint64_t handle) const;
    // An ATTRIB's or ATTDEF's tag; empty for a TEXT.
    std::u16string textTag(std::uint64_t handle) const;
    std::u16string textString(std::uint64_t handle) const;
    void setTextString(std::uint64_t handle, std::u16string_view value);
    // The text's STYLE, 0 where it names none the drawing has.
    std::uint64_t textStyle(std::uint64_t handle) const;
    std::u16string textStyleName(std::uint64_t handle) const;
    bool backward(std::uint64_t handle) const { return (textGeneration(handle) & 2) != 0; }
    void setBackward(std::uint64_t handle, bool backward);
    std::int16_t textGeneration(std::uint64_t handle) const;
    void setTextGeneration(std::uint64_t handle, std::int16_t generation);
    Point3 insertionPoint(std::uint64_t handle) const;
    // Moves a text or attribute by `to` minus `from` (insertion and alignment points).
    void move(std::uint64_t handle, const Point3& from, const Point3& to);

    Box3 boundingBox(std::uint64_t handle);

    // The drawing as a file of its release, with every change in it (the
    // changed objects are encoded anew first).
    std::vector<std::uint8_t> toBytes();
    // Writes a temporary file beside `file` and renames it into place.
    void save(const std::filesystem::path& file);

    // The drawing as a file of another release (see release_change.h): the
    // drawing's own release in its own code page gives toBytes(); every
    // release can be saved as 2004, in its own code page or another one.
    // Objects that could not be carried are listed by droppedInSave().
    std::vector<std::uint8_t> toBytes(Release release, const ReleaseChangeOptions& options = {});
    void save(const std::filesystem::path& file, Release release, const ReleaseChangeOptions& options = {});
    // Whether save(file, release) can write this drawing: its own release
    // where the engine writes it (every one but 2007), or a release change
    // canChangeRelease allows.
    bool canSaveAs(Release release) const noexcept;
    // What the last save in another release (or code page) left out, with
    // the reasons, and what it changed on the way (ReleaseChange::problems).
    const std::vector<DroppedObjectInSave>& droppedInSave() const { return m_droppedInSave; }
    const std::vector<std::string>& problemsInSave() const { return m_problemsInSave; }

private:
    // The object as it now is: the one being changed, a kept one, or the
    // last one decoded. The reference lasts until the next call; only this
    // class sees it.
    const Object& current(std::uint64_t handle) const;
    // The object of a TEXT, ATTRIB or ATTDEF; FormatError for another type.
    const Object& currentText(std::uint64_t handle) const;
    const TextLineFields& textLine(std::uint64_t handle) const;
    const StyleObject& styleRecord(std::uint64_t handle) const;
    const BlockRecordObject& blockRecord(std::uint64_t handle) const;
    // The object to change, after the checks of its reader.
    Object& edit(std::uint64_t handle, const Object& now);
    TextLineFields& editText(std::uint64_t handle);
    StyleObject& editStyle(std::uint64_t handle);
    // Encodes the object being changed into the store.
    void storeEdited();
    [[noreturn]] void fail(const std::string& what) const;
    void checkDroppedObjects();
    // The entities that name `owner` as theirs (ODA §20.4.1: entity mode 2
    // is model space, 1 paper space, 0 an owner handle), in file order.
    const std::vector<std::uint64_t>& ownedBy(std::uint64_t owner) const;

    std::string m_name;
    ObjectStore m_store;
    const support::CodePage* m_codePage;
    std::vector<std::uint64_t> m_styles;
    std::vector<std::uint64_t> m_blocks;
    std::uint64_t m_modelSpace = 0, m_paperSpace = 0;

    // The object being changed: it is encoded into the store through its
    // walk when another object is changed, a box measured or the drawing
    // saved, so that a conversion of every text holds one decoded object at
    // a time.
    std::optional<Object> m_edited;
    // The last object decoded: the converter reads several properties of
    // one text after another.
    mutable std::optional<Object> m_last;
    // Styles and block records: few, and read again and again; kept once
    // decoded, until they are changed.
    mutable std::unordered_map<std::uint64_t, Object> m_kept;
    mutable std::unordered_map<std::uint64_t, std::vector<std::uint64_t>> m_blockEntities;
    // Built on first need: some writers leave the block's entity list or the
    // reference's attribute list empty and only the entities name their owner.
    mutable std::optional<std::unordered_map<std::uint64_t, std::vector<std::uint64_t>>> m_owned;
    mutable bool m_entitiesRecovered = false, m_attributesRecovered = false;
    mutable std::vector<std::string> m_warnings;
    std::vector<DroppedObjectInSave> m_droppedInSave;
    std::vector<std::string> m_problemsInSave;
};

}  // namespace dwg
