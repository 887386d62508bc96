#pragma once
// STYLE (ODA §20.4.56, "SHAPEFILE"), a text style: its name, font file and
// text generation flags; and the table control objects (§20.4.51, .53, .55...)
// that list a table's records.

#include <cstdint>
#include <string>
#include <vector>

#include "dwg/objects/object_header.h"

namespace dwg {

struct StyleObject {
    ObjectHeader header;
    CommonHandles handles;
    std::string name;  // bytes in the drawing's code page
    bool flag64 = false;
    std::int16_t xrefIndexPlus1 = 0;
    bool xrefDependent = false;
    bool vertical = false;
    bool isShapeFile = false;  // a shape file loaded for linetypes, not a text style
    double fixedHeight = 0.0;
    double widthFactor = 1.0;
    double oblique = 0.0;
    std::uint8_t generation = 0;  // 2 = backward, 4 = upside down
    double lastHeight = 0.0;
    std::string fontFile;
    std::string bigFontFile;
    std::uint64_t xrefBlock = 0;
    std::uint64_t handlesEnd = 0;
};

StyleObject decodeStyle(BitReader& in, const ObjectHeader& header);
void encodeStyle(BitWriter& out, const StyleObject& style);

struct TableControlObject {
    ObjectHeader header;
    CommonHandles handles;
    std::vector<std::uint64_t> entries;
    // BLOCK_CONTROL only: the two spaces, which the entries leave out.
    std::uint64_t modelSpace = 0, paperSpace = 0;
    std::uint64_t handlesEnd = 0;
};

TableControlObject decodeTableControl(BitReader& in, const ObjectHeader& header);
void encodeTableControl(BitWriter& out, const TableControlObject& control);

}  // namespace dwg
