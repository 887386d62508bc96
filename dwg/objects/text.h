#pragma once
// TEXT, ATTRIB and ATTDEF (ODA §20.4.3-5): a single line of text, alone or as
// a block attribute or attribute definition.

#include <cstdint>
#include <string>

#include "dwg/objects/object_header.h"

namespace dwg {

// The fields the three share.
struct TextFields {
    // 2000+: bit set = the optional field is absent and has its default
    // (0x01 elevation, 0x02 alignment point, 0x04 oblique, 0x08 rotation,
    // 0x10 width factor, 0x20 generation, 0x40/0x80 alignments).
    std::uint8_t dataFlags = 0;
    double elevation = 0.0;
    Point2 insertion;
    Point2 alignment;  // equals the insertion point when absent
    Point3 extrusion{0.0, 0.0, 1.0};
    double thickness = 0.0;
    double oblique = 0.0;
    double rotation = 0.0;
    double height = 0.0;
    double widthFactor = 1.0;
    std::string value;  // bytes in the drawing's code page
    std::int16_t generation = 0;  // 2 = backward (mirrored in X), 4 = upside down
    std::int16_t horizontalAlignment = 0;
    std::int16_t verticalAlignment = 0;
};

struct TextObject {
    ObjectHeader header;
    CommonHandles handles;
    TextFields text;
    // ATTRIB and ATTDEF
    std::string tag;
    std::int16_t fieldLength = 0;
    std::uint8_t flags = 0;
    // ATTDEF
    std::string prompt;
    std::uint64_t style = 0;
    std::uint64_t handlesEnd = 0;  // bit after the last handle
};

// `in` is at header.bodyAt of a TEXT, ATTRIB or ATTDEF.
TextObject decodeText(BitReader& in, const ObjectHeader& header);
// Writes the type's own fields (what decodeText read before the handles).
// An optional 2000+ field stays stored when it was, and is stored whenever
// its value differs from its default.
void encodeText(BitWriter& out, const TextObject& text);

}  // namespace dwg
