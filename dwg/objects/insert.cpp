#include "dwg/objects/insert.h"

#include "dwg/errors.h"

namespace dwg {

InsertObject decodeInsert(BitReader& in, const ObjectHeader& header) {
    const Release r = in.release();
    InsertObject o;
    o.header = header;
    o.insertion = in.read3BD();
    if (r <= Release::R14) {
        o.scale = in.read3BD();
    } else {
        o.scaleFlags = in.readBB();
        switch (o.scaleFlags) {
            case 3: o.scale = {1.0, 1.0, 1.0}; break;
            case 1: {
                const double y = in.readDD(1.0);
                o.scale = {1.0, y, in.readDD(1.0)};
                break;
            }
            case 2: {
                const double x = in.readRD();
                o.scale = {x, x, x};
                break;
            }
            default: {
                const double x = in.readRD();
                const double y = in.readDD(x);
                o.scale = {x, y, in.readDD(x)};
            }
        }
    }
    o.rotation = in.readBD();
    o.extrusion = in.read3BD();
    o.hasAttributes = in.readB();
    std::int32_t owned = 0;
    if (r >= Release::R2004 && o.hasAttributes) {
        owned = in.readBL();
        if (owned < 0 || static_cast<std::uint64_t>(owned) > in.bitsLeft())
            throw FormatError("insert: expected an attribute count of at most " + std::to_string(in.bitsLeft()) +
                              ", found " + std::to_string(owned));
    }
    if (header.type == type::Minsert) {
        o.columns = in.readBS();
        o.rows = in.readBS();
        o.columnSpacing = in.readBD();
        o.rowSpacing = in.readBD();
    }
    checkFieldsEnd(in, header, "insert");
    o.handles = readCommonHandles(in, header);
    o.block = readHandle(in, header);
    if (o.hasAttributes) {
        if (r <= Release::R2000) {
            o.firstAttribute = readHandle(in, header);
            o.lastAttribute = readHandle(in, header);
        } else {
            o.attributes.reserve(static_cast<std::size_t>(owned));
            for (std::int32_t i = 0; i < owned; ++i)
                o.attributes.push_back(readHandle(in, header));
        }
        o.seqend = readHandle(in, header);
    }
    o.handlesEnd = in.bitPos();
    return o;
}

void encodeInsert(BitWriter& out, const InsertObject& o) {
    const Release r = out.release();
    out.write3BD(o.insertion);
    if (r <= Release::R14) {
        out.write3BD(o.scale);
    } else {
        const Point3& s = o.scale;
        if (s.x == 1.0 && s.y == 1.0 && s.z == 1.0) {
            out.writeBB(3);
        } else if (s.x == 1.0) {
            out.writeBB(1);
            out.writeDD(s.y, 1.0);
            out.writeDD(s.z, 1.0);
        } else if (s.y == s.x && s.z == s.x) {
            out.writeBB(2);
            out.writeRD(s.x);
        } else {
            out.writeBB(0);
            out.writeRD(s.x);
            out.writeDD(s.y, s.x);
            out.writeDD(s.z, s.x);
        }
    }
    out.writeBD(o.rotation);
    out.write3BD(o.extrusion);
    out.writeB(o.hasAttributes);
    if (r >= Release::R2004 && o.hasAttributes)
        out.writeBL(static_cast<std::int32_t>(o.attributes.size()));
    if (o.header.type == type::Minsert) {
        out.writeBS(o.columns);
        out.writeBS(o.rows);
        out.writeBD(o.columnSpacing);
        out.writeBD(o.rowSpacing);
    }
}

}  // namespace dwg
