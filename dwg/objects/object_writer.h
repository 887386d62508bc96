#pragma once
// Puts new objects together for releases 2000 and 2004: the common object
// or entity data (ODA §20.1, §20.2, §20.4.1) in front of the type's own
// fields, the common handles (§20.4.2) in front of the type's own handles,
// then the size in bits of the data, the MS size and the CRC. What readObjectHeader
// and readCommonHandles read back is exactly what was given here.
//
// New objects carry no extended data and no graphics; entities are on the
// given layer with colour, linetype, plot style and lineweight ByLayer,
// linetype scale 1 and visible, as AutoCAD writes a new entity. Handles are
// written as absolute references (soft pointer for the owner, reactors and
// links, hard owner for the extension dictionary, hard pointer for the
// layer), which every reader resolves like AutoCAD's relative forms.
//
// One writer makes any number of objects one after the other:
//   writer.beginObject(...);  encodeX(writer.data(), writer.handles(), x);  writer.finish(file);

#include <cstdint>
#include <vector>

#include "dwg/bits/bit_writer.h"
#include "dwg/container/dwg_file.h"

namespace dwg {

struct NewObject {
    std::uint16_t type = 0;
    std::uint64_t handle = 0;
    // Objects: the parent (null for the named objects dictionary and the
    // table controls). Entities: the owner, written only in entity mode 0.
    std::uint64_t owner = 0;
    std::vector<std::uint64_t> reactors;
    std::uint64_t xdictionary = 0;  // 0: none
};

struct NewEntity {
    // 0: the owner handle follows (block entities, attributes, SEQEND);
    // 1: paper space; 2: model space.
    std::uint8_t mode = 0;
    std::uint64_t layer = 0;
    // R2000: the neighbours in the owner's run of entities, 0 at either end.
    // Written unless they are the handles right before and after the entity's
    // own (the "no links" convention of ODA §20.4.1). 2004 has no links.
    std::uint64_t previous = 0, next = 0;
};

class ObjectWriter {
public:
    // Release 2000 or 2004 (UnsupportedRelease otherwise).
    explicit ObjectWriter(Release release);

    Release release() const noexcept { return m_release; }

    // Starts an object, dropping anything begun and not finished.
    void beginObject(const NewObject& object);
    void beginEntity(const NewObject& object, const NewEntity& entity);

    // The type's own fields and handles go here between begin and finish.
    BitWriter& data() noexcept { return m_data; }
    BitWriter& handles() noexcept { return m_handles; }

    // Appends the object to file.objectBytes (MS size, data with the handle
    // stream, CRC) and its location to file.objects.
    void finish(DwgFile& file);
    // The object's stored bytes (MS size, data with the handle stream, CRC).
    std::vector<std::uint8_t> finish();

private:
    void begin(const NewObject& object);
    void assembleInto(std::vector<std::uint8_t>& out);

    Release m_release;
    BitWriter m_data;
    BitWriter m_handles;
    std::uint64_t m_handle = 0;
    std::uint64_t m_sizeAt = 0;  // bit position of the RL "size in bits"
    bool m_started = false;
};

}  // namespace dwg
