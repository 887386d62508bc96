#include "dwg/objects/stored_object.h"

#include <stdexcept>
#include <string>

#include "dwg/bits/bit_writer.h"
#include "dwg/bits/crc.h"
#include "dwg/errors.h"

namespace dwg {

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
    const std::uint64_t handleStreamBits = release >= Release::R2010 ? in.readUMC() : 0;
    const auto headerBytes = static_cast<std::uint32_t>(in.bitPos() / 8);
    if (std::uint64_t{headerBytes} + size + 2 > stored.size())
        throw FormatError("object size: expected at most " + std::to_string(stored.size() - headerBytes - 2) +
                          " bytes, found " + std::to_string(size));
    if (handleStreamBits > std::uint64_t{size} * 8)
        throw FormatError("object size: a handle stream of " + std::to_string(handleStreamBits) + " bits in " +
                          std::to_string(size) + " bytes");
    return {stored.subspan(headerBytes, size), headerBytes, handleStreamBits};
}

std::uint16_t storedObjectType(std::span<const std::uint8_t> stored, Release release) {
    BitReader in(splitStoredObject(stored, release).data, release);
    return in.readOT();
}

std::vector<std::uint8_t> frameObjectData(std::span<const std::uint8_t> data, Release release,
                                          std::uint64_t handleStreamBits) {
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
    if (release >= Release::R2010) {
        BitWriter size2010(release);
        size2010.writeUMC(handleStreamBits);
        stored.insert(stored.end(), size2010.bytes().begin(), size2010.bytes().end());
    }
    stored.insert(stored.end(), data.begin(), data.end());
    const std::uint16_t crc = crc16(kCrc16Seed, stored);
    stored.push_back(static_cast<std::uint8_t>(crc));
    stored.push_back(static_cast<std::uint8_t>(crc >> 8));
    return stored;
}

}  // namespace dwg
