#pragma once
// Objects as the file stores them (ODA §20.1): the fixed type numbers, the
// sizes in front of an object's data and the CRC after it.

#include <cstdint>
#include <span>
#include <vector>

#include "dwg/bits/bit_reader.h"
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
                               UcsControl = 62, VportControl = 64, Vport = 65, AppIdControl = 66, AppId = 67,
                               DimStyleControl = 68, DimStyle = 69, VpEntHdrControl = 70, LwPolyline = 77,
                               Region = 37, Solid3d = 38, Body = 39;
}  // namespace type

// Whether objects of a type are entities (fixed types and classes alike).
bool isEntityType(std::uint16_t objectType, const ClassList& classes);

// An object's bytes as stored: MS size, from 2010 on the size of its handle
// stream, data, CRC (ODA §20.1).
struct StoredBytes {
    std::span<const std::uint8_t> data;  // the data only: after the sizes, before the CRC
    std::uint32_t headerBytes = 0;       // bytes of the sizes in front of it
    std::uint64_t handleStreamBits = 0;  // 2010+: the handle stream's size (UMC), the data's last bits
};
StoredBytes splitStoredObject(std::span<const std::uint8_t> stored, Release release);
// The type of a stored object, read from the start of its data.
std::uint16_t storedObjectType(std::span<const std::uint8_t> stored, Release release);

// An object's stored bytes from its data (data, string and handle streams,
// padded to a whole byte): its MS size, from 2010 on the handle stream's size
// in bits, the data and the CRC, in one buffer.
std::vector<std::uint8_t> frameObjectData(std::span<const std::uint8_t> data, Release release,
                                          std::uint64_t handleStreamBits = 0);

}  // namespace dwg
