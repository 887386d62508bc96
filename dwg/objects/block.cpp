#include "dwg/objects/block.h"

#include "dwg/errors.h"

namespace dwg {

BlockHeaderObject decodeBlockHeader(BitReader& in, const ObjectHeader& header) {
    const Release r = in.release();
    BlockHeaderObject b;
    b.header = header;
    b.name = in.readTV();
    b.flag64 = in.readB();
    b.xrefIndexPlus1 = in.readBS();
    b.xrefDependent = in.readB();
    b.anonymous = in.readB();
    b.hasAttributeDefinitions = in.readB();
    b.isXref = in.readB();
    b.isOverlaidXref = in.readB();
    if (r >= Release::R2000)
        b.loadedXref = in.readB();
    std::int32_t owned = 0;
    if (r >= Release::R2004) {
        owned = in.readBL();
        if (owned < 0 || static_cast<std::uint64_t>(owned) > in.bitsLeft())
            throw FormatError("block header: expected an entity count of at most " + std::to_string(in.bitsLeft()) +
                              ", found " + std::to_string(owned));
    }
    b.basePoint = in.read3BD();
    b.xrefPath = in.readTV();
    std::size_t insertCount = 0;
    if (r >= Release::R2000) {
        while (in.readRC() != 0)
            ++insertCount;
        b.description = in.readTV();
        const std::int32_t previewSize = in.readBL();
        if (previewSize < 0 || static_cast<std::uint64_t>(previewSize) > in.bitsLeft() / 8)
            throw FormatError("block header: expected a preview of at most " + std::to_string(in.bitsLeft() / 8) +
                              " bytes, found " + std::to_string(previewSize));
        b.preview = in.readBytes(static_cast<std::size_t>(previewSize));
    }
    checkFieldsEnd(in, header, "block header");

    b.handles = readCommonHandles(in, header);
    readHandle(in, header);  // null
    b.block = readHandle(in, header);
    if (r <= Release::R2000) {
        if (!b.isXref && !b.isOverlaidXref) {
            b.firstEntity = readHandle(in, header);
            b.lastEntity = readHandle(in, header);
        }
    } else {
        b.entities.reserve(static_cast<std::size_t>(owned));
        for (std::int32_t i = 0; i < owned; ++i)
            b.entities.push_back(readHandle(in, header));
    }
    b.endBlock = readHandle(in, header);
    if (r >= Release::R2000) {
        b.inserts.reserve(insertCount);
        for (std::size_t i = 0; i < insertCount; ++i)
            b.inserts.push_back(readHandle(in, header));
        b.layout = readHandle(in, header);
    }
    b.handlesEnd = in.bitPos();
    return b;
}

void encodeBlockHeader(BitWriter& out, const BlockHeaderObject& b) {
    const Release r = out.release();
    out.writeTV(b.name);
    out.writeB(b.flag64);
    out.writeBS(b.xrefIndexPlus1);
    out.writeB(b.xrefDependent);
    out.writeB(b.anonymous);
    out.writeB(b.hasAttributeDefinitions);
    out.writeB(b.isXref);
    out.writeB(b.isOverlaidXref);
    if (r >= Release::R2000)
        out.writeB(b.loadedXref);
    if (r >= Release::R2004)
        out.writeBL(static_cast<std::int32_t>(b.entities.size()));
    out.write3BD(b.basePoint);
    out.writeTV(b.xrefPath);
    if (r >= Release::R2000) {
        for (std::size_t i = 0; i < b.inserts.size(); ++i)
            out.writeRC(1);
        out.writeRC(0);
        out.writeTV(b.description);
        out.writeBL(static_cast<std::int32_t>(b.preview.size()));
        out.writeBytes(b.preview);
    }
}

std::string decodeBlockName(BitReader& in, const ObjectHeader& header) {
    std::string name = in.readTV();
    checkFieldsEnd(in, header, "block");
    return name;
}

}  // namespace dwg
