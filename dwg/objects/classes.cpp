#include "dwg/objects/classes.h"

#include "dwg/bits/bit_reader.h"
#include "dwg/bits/bit_writer.h"
#include "dwg/errors.h"

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

ClassList decodeClasses(std::span<const std::uint8_t> bytes, Release release) {
    if (release >= Release::R2007)
        throw UnsupportedRelease("AcDb:Classes: release " + std::string(releaseName(release)) + " is not read yet");
    try {
        BitReader in(bytes, release);
        ClassList list;
        if (release >= Release::R2004) {
            list.maxClassNumber = in.readBS();
            list.unknownByte1 = in.readRC();
            list.unknownByte2 = in.readRC();
            list.unknownBit = in.readB();
        }
        // Records follow until only the padding of the last byte is left.
        while (in.bitsLeft() >= 8) {
            ClassDefinition c;
            c.number = in.readBS();
            c.proxyFlags = in.readBS();
            c.appName = in.readTV();
            c.cppClassName = in.readTV();
            c.dxfName = in.readTV();
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
        return list;
    } catch (const FormatError& e) {
        throw e.withContext("AcDb:Classes");
    }
}

std::vector<std::uint8_t> encodeClasses(const ClassList& list, Release release) {
    BitWriter out(release);
    if (release >= Release::R2004) {
        out.writeBS(list.maxClassNumber);
        out.writeRC(list.unknownByte1);
        out.writeRC(list.unknownByte2);
        out.writeB(list.unknownBit);
    }
    for (const ClassDefinition& c : list.classes) {
        out.writeBS(c.number);
        out.writeBS(c.proxyFlags);
        out.writeTV(c.appName);
        out.writeTV(c.cppClassName);
        out.writeTV(c.dxfName);
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
    return out.takeBytes();
}

}  // namespace dwg
