#pragma once
// The objects of one drawing by handle: the file's objects as the container
// read them, their types, and the decoding of any one of them. Changed
// objects are put back as new stored bytes; everything else stays as read.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "dwg/container/dwg_file.h"
#include "dwg/objects/classes.h"
#include "dwg/objects/object.h"
#include "dwg/objects/stored_object.h"

namespace dwg {

class ObjectStore {
public:
    // FormatError naming the object for damage found while indexing.
    explicit ObjectStore(DwgFile file);

    Release release() const { return m_file.release; }
    const DwgFile& file() const { return m_file; }
    const ClassList& classes() const { return m_classes; }

    bool contains(std::uint64_t handle) const { return indexOf(handle).has_value(); }
    // Object type, or nothing for a handle the drawing lacks.
    std::optional<std::uint16_t> typeOf(std::uint64_t handle) const;
    // The DXF name of an object's type ("TEXT", "LWPOLYLINE"...), empty if unknown.
    std::string_view dxfNameOf(std::uint64_t handle) const;
    bool isEntity(std::uint64_t handle) const;

    // The object's common data alone (no body): what is asked of most
    // objects while a drawing is walked (owner, links). FormatError naming
    // the handle when it is missing or damaged.
    Object common(std::uint64_t handle) const;

    // Every field of the object through its walk; FormatError naming the
    // handle when it is missing or its fields do not match what it stores.
    Object decode(std::uint64_t handle) const;
    // Every handle, in ascending order.
    std::vector<std::uint64_t> handles() const;

    // All handles of one type, in ascending handle order.
    std::vector<std::uint64_t> handlesOfType(std::uint16_t objectType) const;
    // The handle after `handle` in ascending order, or nothing at the end.
    std::optional<std::uint64_t> nextHandle(std::uint64_t handle) const;

    // Replaces an object's stored bytes (MS size, data, CRC).
    void replace(std::uint64_t handle, std::span<const std::uint8_t> stored);

    // The file as it now is, ready for the container's writer.
    const DwgFile& contents() const { return m_file; }

private:
    std::optional<std::size_t> indexOf(std::uint64_t handle) const;  // into m_file.objects
    using Decoder = Object (*)(std::span<const std::uint8_t>, Release, const ClassList&);
    Object decodeWith(std::uint64_t handle, Decoder decoder) const;

    DwgFile m_file;
    ClassList m_classes;
    // (handle, index into m_file.objects), sorted by handle.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> m_byHandle;
    // Handles are mostly dense from 1 up, so a table by handle finds an
    // object in one step: index + 1, 0 for none. Empty when the handles are
    // too sparse for it.
    std::vector<std::uint32_t> m_dense;
    std::vector<std::uint16_t> m_types;  // per m_file.objects index
};

// Handles in messages: upper-case hexadecimal, as AutoCAD shows them.
std::string handleText(std::uint64_t handle);

}  // namespace dwg
