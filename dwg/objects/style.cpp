#include "dwg/objects/style.h"

#include "dwg/errors.h"

namespace dwg {

StyleObject decodeStyle(BitReader& in, const ObjectHeader& header) {
    StyleObject s;
    s.header = header;
    s.name = in.readTV();
    s.flag64 = in.readB();
    s.xrefIndexPlus1 = in.readBS();
    s.xrefDependent = in.readB();
    s.vertical = in.readB();
    s.isShapeFile = in.readB();
    s.fixedHeight = in.readBD();
    s.widthFactor = in.readBD();
    s.oblique = in.readBD();
    s.generation = in.readRC();
    s.lastHeight = in.readBD();
    s.fontFile = in.readTV();
    s.bigFontFile = in.readTV();
    checkFieldsEnd(in, header, "style");
    s.handles = readCommonHandles(in, header);
    s.xrefBlock = readHandle(in, header);
    s.handlesEnd = in.bitPos();
    return s;
}

void encodeStyle(BitWriter& out, const StyleObject& s) {
    out.writeTV(s.name);
    out.writeB(s.flag64);
    out.writeBS(s.xrefIndexPlus1);
    out.writeB(s.xrefDependent);
    out.writeB(s.vertical);
    out.writeB(s.isShapeFile);
    out.writeBD(s.fixedHeight);
    out.writeBD(s.widthFactor);
    out.writeBD(s.oblique);
    out.writeRC(s.generation);
    out.writeBD(s.lastHeight);
    out.writeTV(s.fontFile);
    out.writeTV(s.bigFontFile);
}

TableControlObject decodeTableControl(BitReader& in, const ObjectHeader& header) {
    TableControlObject c;
    c.header = header;
    const std::int32_t count = in.readBL();
    if (count < 0 || static_cast<std::uint64_t>(count) > in.endBit())
        throw FormatError("table control: expected at most " + std::to_string(in.endBit()) + " entries, found " +
                          std::to_string(count));
    checkFieldsEnd(in, header, "table control");
    c.handles = readCommonHandles(in, header);
    c.entries.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i)
        c.entries.push_back(readHandle(in, header));
    if (header.type == type::BlockControl) {
        c.modelSpace = readHandle(in, header);
        c.paperSpace = readHandle(in, header);
    }
    c.handlesEnd = in.bitPos();
    return c;
}

void encodeTableControl(BitWriter& out, const TableControlObject& c) {
    out.writeBL(static_cast<std::int32_t>(c.entries.size()));
}

}  // namespace dwg
