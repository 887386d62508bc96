#include "dwg/objects/object_header.h"

#include <stdexcept>
#include <string>

#include "dwg/bits/crc.h"
#include "dwg/errors.h"

namespace dwg {
namespace {

void skipExtendedData(BitReader& in) {
    // Blocks of (BS size, APPID handle, size bytes) until a zero size.
    while (true) {
        const auto size = static_cast<std::uint16_t>(in.readBS());
        if (size == 0)
            return;
        in.readH();
        in.skipBits(std::uint64_t{size} * 8);
    }
}

void skipGraphics(BitReader& in) {
    if (!in.readB())
        return;
    const std::uint64_t size = in.release() >= Release::R2010 ? in.readBLL() : in.readRL();
    if (size > in.bitsLeft() / 8)
        throw FormatError("graphics: expected at most " + std::to_string(in.bitsLeft() / 8) + " bytes, found a size of " +
                          std::to_string(size) + " at bit " + std::to_string(in.bitPos()));
    in.skipBits(size * 8);
}

void readBitSize(BitReader& in, ObjectHeader& h) {
    h.bitSizeAt = in.bitPos();
    h.handlesAt = in.readRL();
    if (h.handlesAt > in.endBit())
        throw FormatError("object size: expected at most " + std::to_string(in.endBit()) + " bits, found " +
                          std::to_string(h.handlesAt));
}

// 2004+ entity colour (ODA §2.11 "ENC"): flags in the high bits of the index.
bool skipEntityColor(BitReader& in) {
    const auto value = static_cast<std::uint16_t>(in.readBS());
    if (value & 0x8000)
        in.readBL();  // RGB
    if (value & 0x2000)
        in.readBL();  // transparency
    return (value & 0x4000) != 0;
}

}  // namespace

bool isEntityType(std::uint16_t objectType, const ClassList& classes) {
    if (objectType >= 500) {
        const ClassDefinition* c = classes.find(objectType);
        return c != nullptr && c->isEntity();
    }
    if (objectType == 0x1F2)
        return true;  // proxy entity
    return (objectType >= 1 && objectType <= 41 && objectType != 9) || (objectType >= 43 && objectType <= 47) ||
           objectType == 74 || objectType == 77 || objectType == 78;
}

StoredBytes splitStoredObject(std::span<const std::uint8_t> stored, Release release) {
    BitReader in(stored, release);
    const std::uint32_t size = in.readMS();
    if (release >= Release::R2010)
        in.readUMC();
    const auto headerBytes = static_cast<std::uint32_t>(in.bitPos() / 8);
    if (std::uint64_t{headerBytes} + size + 2 > stored.size())
        throw FormatError("object size: expected at most " + std::to_string(stored.size() - headerBytes - 2) +
                          " bytes, found " + std::to_string(size));
    return {stored.subspan(headerBytes, size), headerBytes};
}

std::uint16_t storedObjectType(std::span<const std::uint8_t> stored, Release release) {
    BitReader in(splitStoredObject(stored, release).data, release);
    return in.readOT();
}

ObjectHeader readObjectHeader(BitReader& in, const ClassList& classes) {
    const Release r = in.release();
    ObjectHeader h;
    h.type = in.readOT();
    h.isEntity = isEntityType(h.type, classes);
    if (r >= Release::R2000)
        readBitSize(in, h);
    h.handle = in.readH().value;
    skipExtendedData(in);
    if (h.isEntity) {
        skipGraphics(in);
        if (r <= Release::R14)
            readBitSize(in, h);
        h.entityMode = in.readBB();
        h.reactorCount = static_cast<std::uint32_t>(in.readBL());
        if (r >= Release::R2004)
            h.hasXDictionary = !in.readB();
        if (r <= Release::R14)
            h.byLayerLinetype = in.readB();
        // 2004 and later keep no links and store no flag for them.
        if (r <= Release::R2000)
            h.noLinks = in.readB();
        if (r >= Release::R2004)
            h.colorBookHandle = skipEntityColor(in);
        else
            in.readBS();  // colour index
        in.readBD();      // linetype scale
        if (r >= Release::R2000) {
            h.linetypeFlags = in.readBB();
            h.plotStyleFlags = in.readBB();
        }
        in.readBS();  // invisibility
        if (r >= Release::R2000)
            in.readRC();  // lineweight
    } else {
        if (r <= Release::R14)
            readBitSize(in, h);
        h.reactorCount = static_cast<std::uint32_t>(in.readBL());
        if (r >= Release::R2004)
            h.hasXDictionary = !in.readB();
    }
    if (h.reactorCount > in.endBit())
        throw FormatError("reactors: expected at most " + std::to_string(in.endBit()) + ", found " +
                          std::to_string(h.reactorCount));
    if (h.handlesAt < in.bitPos())
        throw FormatError("object size: the handles at bit " + std::to_string(h.handlesAt) +
                          " start inside the common data, which ends at bit " + std::to_string(in.bitPos()));
    h.bodyAt = in.bitPos();
    return h;
}

void checkFieldsEnd(const BitReader& in, const ObjectHeader& header, const char* what) {
    if (in.bitPos() != header.handlesAt)
        throw FormatError(std::string(what) + ": expected its fields to end at bit " + std::to_string(header.handlesAt) +
                          ", found them ending at bit " + std::to_string(in.bitPos()));
}

std::uint64_t readHandle(BitReader& in, const ObjectHeader& header) {
    return resolveHandle(in.readH(), header.handle);
}

CommonHandles readCommonHandles(BitReader& in, const ObjectHeader& h) {
    const Release r = in.release();
    CommonHandles c;
    if (!h.isEntity || h.entityMode == 0)
        c.owner = readHandle(in, h);
    c.reactors.reserve(h.reactorCount);
    for (std::uint32_t i = 0; i < h.reactorCount; ++i)
        c.reactors.push_back(readHandle(in, h));
    if (h.hasXDictionary)
        c.xdictionary = readHandle(in, h);
    if (!h.isEntity)
        return c;
    if (r <= Release::R14) {
        c.layer = readHandle(in, h);
        if (!h.byLayerLinetype)
            readHandle(in, h);
    }
    if (r <= Release::R2000 && !h.noLinks) {
        c.previous = readHandle(in, h);
        c.next = readHandle(in, h);
    }
    if (r >= Release::R2004 && h.colorBookHandle)
        readHandle(in, h);
    if (r >= Release::R2000) {
        c.layer = readHandle(in, h);
        if (h.linetypeFlags == 3)
            readHandle(in, h);
        if (h.plotStyleFlags == 3)
            readHandle(in, h);
    }
    return c;
}

std::vector<std::uint8_t> frameObjectData(std::span<const std::uint8_t> data) {
    if (data.size() > 0x3FFFFFFFU)
        throw std::out_of_range("MS: cannot store " + std::to_string(data.size()) + " (more than 2 modules)");
    // The MS size has one or two RS modules (ODA §2.7), little-endian, the
    // high bit of the first module's high byte saying a second follows.
    const auto size = static_cast<std::uint32_t>(data.size());
    std::vector<std::uint8_t> stored;
    stored.reserve(data.size() + 6);
    stored.push_back(static_cast<std::uint8_t>(size));
    if (size < 0x8000U) {
        stored.push_back(static_cast<std::uint8_t>(size >> 8));
    } else {
        stored.push_back(static_cast<std::uint8_t>(0x80U | ((size >> 8) & 0x7FU)));
        stored.push_back(static_cast<std::uint8_t>(size >> 15));
        stored.push_back(static_cast<std::uint8_t>(size >> 23));
    }
    stored.insert(stored.end(), data.begin(), data.end());
    const std::uint16_t crc = crc16(kCrc16Seed, stored);
    stored.push_back(static_cast<std::uint8_t>(crc));
    stored.push_back(static_cast<std::uint8_t>(crc >> 8));
    return stored;
}

}  // namespace dwg
