#pragma once
// What every object of R13-2004 starts with (ODA §20.1, §20.2, §20.4.1-2):
// type, size in bits of its data, handle, extended data, and for entities
// the graphics and common entity data; and the handles its handle stream
// starts with. The type-specific codecs read and write only their own fields
// and copy everything else bit for bit.

#include <cstdint>
#include <span>
#include <vector>

#include "dwg/bits/bit_reader.h"
#include "dwg/bits/bit_writer.h"
#include "dwg/objects/classes.h"

namespace dwg {

// The fixed object types (ODA §20.3).
namespace type {
inline constexpr std::uint16_t Text = 1, Attrib = 2, Attdef = 3, Block = 4, Endblk = 5, Seqend = 6, Insert = 7,
                               Minsert = 8, Vertex2d = 10, Vertex3d = 11, VertexMesh = 12, VertexPface = 13,
                               VertexPfaceFace = 14, Polyline2d = 15, Polyline3d = 16, Arc = 17, Circle = 18,
                               Line = 19, Point = 27, Face3d = 28, PolylinePface = 29, PolylineMesh = 30, Solid = 31,
                               Trace = 32, Viewport = 34, Ellipse = 35, Dictionary = 42, MText = 44,
                               BlockControl = 48, BlockHeader = 49, LayerControl = 50, Layer = 51,
                               StyleControl = 52, Style = 53, LtypeControl = 56, Ltype = 57, ViewControl = 60,
                               UcsControl = 62, VportControl = 64, AppIdControl = 66, AppId = 67,
                               DimStyleControl = 68, DimStyle = 69, VpEntHdrControl = 70, LwPolyline = 77;
}  // namespace type

// Whether objects of a type are entities (fixed types and classes alike).
bool isEntityType(std::uint16_t objectType, const ClassList& classes);

// An object's bytes as stored: MS size, data, CRC.
struct StoredBytes {
    std::span<const std::uint8_t> data;  // the data only: after the size, before the CRC
    std::uint32_t headerBytes = 0;       // bytes of the MS size in front of it
};
StoredBytes splitStoredObject(std::span<const std::uint8_t> stored, Release release);
// The type of a stored object, read from the start of its data.
std::uint16_t storedObjectType(std::span<const std::uint8_t> stored, Release release);

struct ObjectHeader {
    std::uint16_t type = 0;
    std::uint64_t handle = 0;
    bool isEntity = false;
    // Bit positions within the data.
    std::uint64_t bitSizeAt = 0;   // the RL giving where the handle stream starts
    std::uint64_t handlesAt = 0;   // its value
    std::uint64_t bodyAt = 0;      // where the type's own fields start
    // What the common handles depend on.
    std::uint32_t reactorCount = 0;
    bool hasXDictionary = true;
    std::uint8_t entityMode = 0;      // entities: 0 = owner handle present, 1 paper space, 2 model space
    bool noLinks = true;              // R13-2000 entities: no previous/next handles
    bool byLayerLinetype = true;      // R13-R14 entities: no linetype handle
    std::uint8_t linetypeFlags = 0;   // R2000+ entities: 3 = linetype handle present
    std::uint8_t plotStyleFlags = 0;  // R2000+ entities: 3 = plot style handle present
    bool colorBookHandle = false;     // 2004+ entities: a DBCOLOR handle is present
};

// Reads the common data from the start of an object's data (`in` at bit 0)
// and leaves `in` where the type's own fields start.
ObjectHeader readObjectHeader(BitReader& in, const ClassList& classes);

struct CommonHandles {
    std::uint64_t owner = 0;  // 0 where the object stores none
    std::vector<std::uint64_t> reactors;
    std::uint64_t xdictionary = 0;
    std::uint64_t layer = 0;
    std::uint64_t previous = 0, next = 0;  // R13-2000 entities with links
};

// Reads the common handles (`in` at header.handlesAt) and leaves `in` at the
// type's own handles. Relative references are resolved against the object.
CommonHandles readCommonHandles(BitReader& in, const ObjectHeader& header);

// Throws FormatError unless `in` stands where the handle stream starts: the
// check that a type's fields were read exactly as the object stores them.
void checkFieldsEnd(const BitReader& in, const ObjectHeader& header, const char* what);

// Reads one handle reference and resolves it against the object's handle.
std::uint64_t readHandle(BitReader& in, const ObjectHeader& header);

// An object's stored bytes from its data (data and handle streams, padded
// to a whole byte): its MS size, the data and the CRC, in one buffer.
std::vector<std::uint8_t> frameObjectData(std::span<const std::uint8_t> data);

}  // namespace dwg
