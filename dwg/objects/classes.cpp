#include "dwg/objects/classes.h"

#include <optional>

#include "dwg/bits/bit_reader.h"
#include "dwg/bits/bit_writer.h"
#include "dwg/errors.h"
#include "dwg/objects/string_stream.h"
#include "support/code_pages.h"

namespace dwg {

const ClassDefinition* ClassList::find(std::uint16_t type) const {
    // Classes are numbered from 500 in list order; look the number up all
    // the same in case a drawing lists them otherwise.
    if (type >= 500 && type - 500u < classes.size() && classes[type - 500u].number == static_cast<std::int16_t>(type))
        return &classes[type - 500u];
    for (const ClassDefinition& c : classes)
        if (c.number == static_cast<std::int16_t>(type))
            return &c;
    return nullptr;
}

namespace {

// Class names are ASCII in practice; from 2007 on they are UTF-16, kept
// here as UTF-8.
std::string readName(BitReader& strings) {
    return isUnicode(strings.release()) ? support::toUtf8(strings.readTU()) : strings.readTV();
}

void writeName(BitWriter& strings, const std::string& name) {
    if (isUnicode(strings.release()))
        strings.writeTU(support::fromUtf8(name));
    else
        strings.writeTV(name);
}

}  // namespace

ClassList decodeClasses(std::span<const std::uint8_t> bytes, Release release) {
    try {
        BitReader in(bytes, release);
        // From 2007 on the names are in a string stream after the records,
        // which end where the size in bits says.
        std::optional<BitReader> stringStream;
        if (isUnicode(release)) {
            const std::uint64_t endBit = in.readRL();
            stringStream = splitStringStream(in, endBit);
        }
        BitReader& strings = stringStream ? *stringStream : in;
        ClassList list;
        if (release >= Release::R2004) {
            list.maxClassNumber = in.readBS();
            list.unknownByte1 = in.readRC();
            list.unknownByte2 = in.readRC();
            list.unknownBit = in.readB();
        }
        // Records follow until only the padding of the last byte is left
        // (from 2007 on: to the end of the records exactly).
        while (isUnicode(release) ? !in.isAtEnd() : in.bitsLeft() >= 8) {
            ClassDefinition c;
            c.number = in.readBS();
            c.proxyFlags = in.readBS();
            c.appName = readName(strings);
            c.cppClassName = readName(strings);
            c.dxfName = readName(strings);
            c.wasZombie = in.readB();
            c.itemClassId = in.readBS();
            if (release >= Release::R2004) {
                c.instanceCount = in.readBL();
                c.dwgVersion = in.readBS();
                c.maintenanceVersion = in.readBS();
                c.unknown1 = in.readBL();
                c.unknown2 = in.readBL();
            }
            list.classes.push_back(std::move(c));
        }
        if (stringStream && !stringStream->isAtEnd())
            throw FormatError("the class names end at bit " + std::to_string(stringStream->bitPos()) +
                              " of their stream, before its end at bit " + std::to_string(stringStream->endBit()));
        return list;
    } catch (const FormatError& e) {
        throw e.withContext("AcDb:Classes");
    }
}

std::vector<std::uint8_t> encodeClasses(const ClassList& list, Release release) {
    BitWriter out(release);
    BitWriter stringStream(release);
    BitWriter& strings = isUnicode(release) ? stringStream : out;
    if (isUnicode(release))
        out.writeRL(0);  // the size in bits, known at the end
    if (release >= Release::R2004) {
        out.writeBS(list.maxClassNumber);
        out.writeRC(list.unknownByte1);
        out.writeRC(list.unknownByte2);
        out.writeB(list.unknownBit);
    }
    for (const ClassDefinition& c : list.classes) {
        out.writeBS(c.number);
        out.writeBS(c.proxyFlags);
        writeName(strings, c.appName);
        writeName(strings, c.cppClassName);
        writeName(strings, c.dxfName);
        out.writeB(c.wasZombie);
        out.writeBS(c.itemClassId);
        if (release >= Release::R2004) {
            out.writeBL(c.instanceCount);
            out.writeBS(c.dwgVersion);
            out.writeBS(c.maintenanceVersion);
            out.writeBL(c.unknown1);
            out.writeBL(c.unknown2);
        }
    }
    if (isUnicode(release)) {
        appendStringStream(out, stringStream, false);
        out.overwriteRL(0, static_cast<std::uint32_t>(out.bitPos()));
    }
    return out.takeBytes();
}

}  // namespace dwg
