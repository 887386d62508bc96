#pragma once
// BLOCK_HEADER (ODA §20.4.52), the table record of a block definition: its
// name and the handles of its BLOCK, entities and ENDBLK. And BLOCK (§20.4.6),
// whose only own field is the block's name.

#include <cstdint>
#include <string>
#include <vector>

#include "dwg/objects/object_header.h"

namespace dwg {

struct BlockHeaderObject {
    ObjectHeader header;
    CommonHandles handles;
    std::string name;  // bytes in the drawing's code page
    bool flag64 = false;
    std::int16_t xrefIndexPlus1 = 0;
    bool xrefDependent = false;
    bool anonymous = false;
    bool hasAttributeDefinitions = false;
    bool isXref = false;
    bool isOverlaidXref = false;
    bool loadedXref = false;  // 2000+
    Point3 basePoint;
    std::string xrefPath;
    std::string description;            // 2000+
    std::vector<std::uint8_t> preview;  // 2000+

    std::uint64_t block = 0;   // its BLOCK entity
    // R13-2000: the first and last entity of a linked run; 2004+: every entity.
    std::uint64_t firstEntity = 0, lastEntity = 0;
    std::vector<std::uint64_t> entities;
    std::uint64_t endBlock = 0;
    std::vector<std::uint64_t> inserts;  // 2000+
    std::uint64_t layout = 0;            // 2000+
    std::uint64_t handlesEnd = 0;
};

BlockHeaderObject decodeBlockHeader(BitReader& in, const ObjectHeader& header);
void encodeBlockHeader(BitWriter& out, const BlockHeaderObject& block);

// The name of a BLOCK entity.
std::string decodeBlockName(BitReader& in, const ObjectHeader& header);

}  // namespace dwg
