#include "dwg/objects/text.h"

#include "dwg/errors.h"

namespace dwg {
namespace {

void readTextFields(BitReader& in, TextFields& t) {
    if (in.release() <= Release::R14) {
        t.elevation = in.readBD();
        t.insertion = in.read2RD();
        t.alignment = in.read2RD();
        t.extrusion = in.read3BD();
        t.thickness = in.readBD();
        t.oblique = in.readBD();
        t.rotation = in.readBD();
        t.height = in.readBD();
        t.widthFactor = in.readBD();
        t.value = in.readTV();
        t.generation = in.readBS();
        t.horizontalAlignment = in.readBS();
        t.verticalAlignment = in.readBS();
        return;
    }
    const std::uint8_t f = t.dataFlags = in.readRC();
    if (!(f & 0x01))
        t.elevation = in.readRD();
    t.insertion = in.read2RD();
    t.alignment = (f & 0x02) ? t.insertion : in.read2DD(t.insertion);
    t.extrusion = in.readBE();
    t.thickness = in.readBT();
    if (!(f & 0x04))
        t.oblique = in.readRD();
    if (!(f & 0x08))
        t.rotation = in.readRD();
    t.height = in.readRD();
    if (!(f & 0x10))
        t.widthFactor = in.readRD();
    t.value = in.readTV();
    if (!(f & 0x20))
        t.generation = in.readBS();
    if (!(f & 0x40))
        t.horizontalAlignment = in.readBS();
    if (!(f & 0x80))
        t.verticalAlignment = in.readBS();
}

void writeTextFields(BitWriter& out, const TextFields& t, Release r) {
    if (r <= Release::R14) {
        out.writeBD(t.elevation);
        out.write2RD(t.insertion);
        out.write2RD(t.alignment);
        out.write3BD(t.extrusion);
        out.writeBD(t.thickness);
        out.writeBD(t.oblique);
        out.writeBD(t.rotation);
        out.writeBD(t.height);
        out.writeBD(t.widthFactor);
        out.writeTV(t.value);
        out.writeBS(t.generation);
        out.writeBS(t.horizontalAlignment);
        out.writeBS(t.verticalAlignment);
        return;
    }
    // A field stays absent only while it was absent and still has its default.
    auto absent = [&](std::uint8_t bit, bool isDefault) { return (t.dataFlags & bit) && isDefault; };
    std::uint8_t f = 0;
    f |= absent(0x01, t.elevation == 0.0) ? 0x01 : 0;
    f |= (t.dataFlags & 0x02) ? 0x02 : 0;  // an absent alignment point follows the insertion point
    f |= absent(0x04, t.oblique == 0.0) ? 0x04 : 0;
    f |= absent(0x08, t.rotation == 0.0) ? 0x08 : 0;
    f |= absent(0x10, t.widthFactor == 1.0) ? 0x10 : 0;
    f |= absent(0x20, t.generation == 0) ? 0x20 : 0;
    f |= absent(0x40, t.horizontalAlignment == 0) ? 0x40 : 0;
    f |= absent(0x80, t.verticalAlignment == 0) ? 0x80 : 0;
    out.writeRC(f);
    if (!(f & 0x01))
        out.writeRD(t.elevation);
    out.write2RD(t.insertion);
    if (!(f & 0x02))
        out.write2DD(t.alignment, t.insertion);
    out.writeBE(t.extrusion);
    out.writeBT(t.thickness);
    if (!(f & 0x04))
        out.writeRD(t.oblique);
    if (!(f & 0x08))
        out.writeRD(t.rotation);
    out.writeRD(t.height);
    if (!(f & 0x10))
        out.writeRD(t.widthFactor);
    out.writeTV(t.value);
    if (!(f & 0x20))
        out.writeBS(t.generation);
    if (!(f & 0x40))
        out.writeBS(t.horizontalAlignment);
    if (!(f & 0x80))
        out.writeBS(t.verticalAlignment);
}

}  // namespace

TextObject decodeText(BitReader& in, const ObjectHeader& header) {
    const Release r = in.release();
    if (r >= Release::R2007)
        throw UnsupportedRelease("text objects of release " + std::string(releaseName(r)));
    TextObject t;
    t.header = header;
    readTextFields(in, t.text);
    if (header.type == type::Attrib || header.type == type::Attdef) {
        t.tag = in.readTV();
        t.fieldLength = in.readBS();
        t.flags = in.readRC();
    }
    if (header.type == type::Attdef)
        t.prompt = in.readTV();
    checkFieldsEnd(in, header, "text");
    t.handles = readCommonHandles(in, header);
    t.style = readHandle(in, header);
    t.handlesEnd = in.bitPos();
    return t;
}

void encodeText(BitWriter& out, const TextObject& t) {
    writeTextFields(out, t.text, out.release());
    if (t.header.type == type::Attrib || t.header.type == type::Attdef) {
        out.writeTV(t.tag);
        out.writeBS(t.fieldLength);
        out.writeRC(t.flags);
    }
    if (t.header.type == type::Attdef)
        out.writeTV(t.prompt);
}

}  // namespace dwg
