#pragma once
// INSERT and MINSERT (ODA §20.4.9-10): block references, with the handles of
// their attributes and of the SEQEND that closes them.

#include <cstdint>
#include <vector>

#include "dwg/objects/object_header.h"

namespace dwg {

struct InsertObject {
    ObjectHeader header;
    CommonHandles handles;
    Point3 insertion;
    std::uint8_t scaleFlags = 0;  // 2000+: how the scale is stored
    Point3 scale{1.0, 1.0, 1.0};
    double rotation = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
    bool hasAttributes = false;
    // MINSERT
    std::int16_t columns = 1, rows = 1;
    double columnSpacing = 0.0, rowSpacing = 0.0;

    std::uint64_t block = 0;  // its BLOCK_HEADER
    // R13-2000: the first and last ATTRIB of a linked run; 2004+: every ATTRIB.
    std::uint64_t firstAttribute = 0, lastAttribute = 0;
    std::vector<std::uint64_t> attributes;
    std::uint64_t seqend = 0;
    std::uint64_t handlesEnd = 0;
};

InsertObject decodeInsert(BitReader& in, const ObjectHeader& header);
void encodeInsert(BitWriter& out, const InsertObject& insert);

}  // namespace dwg
