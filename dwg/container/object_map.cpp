#include "dwg/container/object_map.h"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>
#include <string>

#include "dwg/container/dwg_file.h"

#include "dwg/bits/bit_reader.h"
#include "dwg/bits/crc.h"
#include "dwg/errors.h"
#include "support/hex.h"

namespace dwg {
namespace {

// A section takes another entry while it is at most this long (size field
// included): AutoCAD's sections measure 2033 to 2035 bytes.
constexpr std::size_t kSectionCut = 2032;
// A handle offset and a location offset of 64 bits each: 10 + 10 bytes.
constexpr std::size_t kMaxEntrySize = 20;
// Longer sections than the cut allows are damage; the writer stays at or
// below LibreDWG's limit of 2040.
constexpr std::size_t kMaxSectionSize = kSectionCut + kMaxEntrySize;
constexpr std::size_t kMaxWrittenSection = 2040;

std::string hex(std::uint64_t value) { return support::hexNumber(value); }

// One modular char (ODA §2.6) at data[pos]: seven bits a byte, least
// significant group first, while the high bit is set; in the signed form the
// last byte's 0x40 is the sign. False if it runs past `data` or beyond 64
// bits.
bool decodeModular(std::span<const std::uint8_t> data, std::size_t& pos, bool isSigned, std::uint64_t& magnitude,
                   bool& negative) {
    magnitude = 0;
    negative = false;
    for (unsigned shift = 0; pos < data.size(); shift += 7) {
        const std::uint8_t byte = data[pos++];
        const bool more = (byte & 0x80U) != 0;
        const std::uint64_t group = (more || !isSigned) ? (byte & 0x7FU) : (byte & 0x3FU);
        if (shift >= 64 || (shift > 57 && (group >> (64 - shift)) != 0)) return false;
        magnitude |= group << shift;
        if (!more) {
            negative = isSigned && (byte & 0x40U) != 0;
            return true;
        }
    }
    return false;
}

using EntryBytes = std::array<std::uint8_t, kMaxEntrySize>;

// The handle offset: AutoCAD writes it unsigned, so 0x40-0x7F take one byte.
void encodeUnsigned(EntryBytes& out, std::size_t& length, std::uint64_t value) {
    while (value >= 0x80) {
        out[length++] = static_cast<std::uint8_t>(0x80U | (value & 0x7FU));
        value >>= 7;
    }
    out[length++] = static_cast<std::uint8_t>(value);
}

// The location offset: the last byte keeps 0x40 for the sign.
void encodeSigned(EntryBytes& out, std::size_t& length, std::int64_t value) {
    const bool negative = value < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    while (magnitude >= 0x40) {
        out[length++] = static_cast<std::uint8_t>(0x80U | (magnitude & 0x7FU));
        magnitude >>= 7;
    }
    out[length++] = static_cast<std::uint8_t>(magnitude | (negative ? 0x40U : 0U));
}

}  // namespace

std::vector<ObjectMapEntry> readObjectMap(std::span<const std::uint8_t> bytes) {
    std::vector<ObjectMapEntry> entries;
    // Every entry takes at least two bytes; most take three or four.
    entries.reserve(bytes.size() / 3);
    std::size_t pos = 0;
    while (true) {
        if (bytes.size() - pos < 2)
            throw FormatError("object map: expected a section size at byte " + std::to_string(pos) +
                              ", found the end of the map");
        const std::size_t size = (std::size_t{bytes[pos]} << 8) | bytes[pos + 1];
        if (size < 2 || size > kMaxSectionSize || bytes.size() - pos < size + 2)
            throw FormatError("object map: section at byte " + std::to_string(pos) + " declares " +
                              std::to_string(size) + " bytes, expected 2 to " + std::to_string(kMaxSectionSize) +
                              " within the " + std::to_string(bytes.size() - pos) + " bytes left");
        const auto section = bytes.subspan(pos, size);
        const std::uint16_t stored = static_cast<std::uint16_t>((bytes[pos + size] << 8) | bytes[pos + size + 1]);
        const std::uint16_t computed = crc16(kCrc16Seed, section);
        if (!checksumMatches(stored, computed))
            throw FormatError("object map: section at byte " + std::to_string(pos) + ": CRC expected " +
                              hex(computed) + ", found " + hex(stored));
        if (size == 2) return entries;

        // Each section counts from handle 0 and location 0 again.
        const auto data = section.subspan(2);
        std::uint64_t handle = 0;
        std::uint64_t location = 0;  // two's complement, so that hostile offsets wrap instead of overflowing
        std::size_t at = 0;
        while (at < data.size()) {
            const std::size_t entryAt = pos + 2 + at;
            std::uint64_t handleOffset = 0;
            std::uint64_t locationOffset = 0;
            bool negative = false;
            if (!decodeModular(data, at, false, handleOffset, negative) ||
                !decodeModular(data, at, true, locationOffset, negative))
                throw FormatError("object map: entry at byte " + std::to_string(entryAt) +
                                  " runs past its section or beyond 64 bits");
            if (handleOffset > std::numeric_limits<std::uint64_t>::max() - handle)
                throw FormatError("object map: entry at byte " + std::to_string(entryAt) +
                                  ": handle beyond 64 bits");
            handle += handleOffset;
            location += negative ? 0 - locationOffset : locationOffset;
            if (!entries.empty() && handle <= entries.back().handle)
                throw FormatError("object map: entry at byte " + std::to_string(entryAt) + ": handle " + hex(handle) +
                                  (handle == entries.back().handle ? " is listed twice"
                                                                   : " follows handle " + hex(entries.back().handle)));
            if (handle == 0)
                throw FormatError("object map: entry at byte " + std::to_string(entryAt) + ": handle 0");
            entries.push_back({handle, static_cast<std::int64_t>(location)});
        }
        pos += size + 2;
    }
}

std::vector<std::uint8_t> writeObjectMap(std::span<const ObjectMapEntry> entries) {
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].handle <= entries[i - 1].handle)
            throw std::invalid_argument("object map: handle " + hex(entries[i].handle) + " after handle " +
                                        hex(entries[i - 1].handle) + ", expected ascending handles");
    }
    std::vector<std::uint8_t> out;
    out.reserve(entries.size() * 6 + (entries.size() / 400 + 2) * 4);
    auto closeSection = [&out](std::size_t start) {
        const std::size_t size = out.size() - start;
        out[start] = static_cast<std::uint8_t>(size >> 8);
        out[start + 1] = static_cast<std::uint8_t>(size);
        const std::uint16_t crc = crc16(kCrc16Seed, std::span<const std::uint8_t>(out).subspan(start, size));
        out.push_back(static_cast<std::uint8_t>(crc >> 8));
        out.push_back(static_cast<std::uint8_t>(crc));
    };

    std::size_t i = 0;
    while (i < entries.size()) {
        const std::size_t start = out.size();
        out.resize(start + 2);
        std::uint64_t handle = 0;
        std::uint64_t location = 0;
        while (i < entries.size() && out.size() - start <= kSectionCut) {
            EntryBytes entry;
            std::size_t length = 0;
            encodeUnsigned(entry, length, entries[i].handle - handle);
            encodeSigned(entry, length,
                         static_cast<std::int64_t>(static_cast<std::uint64_t>(entries[i].location) - location));
            if (out.size() - start > 2 && out.size() - start + length > kMaxWrittenSection) break;
            out.insert(out.end(), entry.begin(), entry.begin() + static_cast<std::ptrdiff_t>(length));
            handle = entries[i].handle;
            location = static_cast<std::uint64_t>(entries[i].location);
            ++i;
        }
        closeSection(start);
    }
    const std::size_t start = out.size();
    out.resize(start + 2);
    closeSection(start);
    return out;
}

void collectObjects(std::span<const std::uint8_t> region, std::int64_t regionStart,
                    std::span<const ObjectMapEntry> map, DwgFile& file) {
    std::vector<ObjectMapEntry> byLocation(map.begin(), map.end());
    std::sort(byLocation.begin(), byLocation.end(),
              [](const ObjectMapEntry& a, const ObjectMapEntry& b) { return a.location < b.location; });

    // First every object is checked and its place in `region` noted, then
    // the bytes are copied into a buffer of exactly their total size.
    file.objects.clear();
    file.objects.reserve(byLocation.size());
    file.objectBytes.clear();
    std::uint64_t totalSize = 0;
    std::int64_t previousEnd = regionStart;
    for (const ObjectMapEntry& entry : byLocation) {
        auto fail = [&](const std::string& what) {
            throw FormatError("object " + hex(entry.handle) + " at " + std::to_string(entry.location) + ": " + what);
        };
        if (entry.location < previousEnd)
            fail(entry.location < regionStart ? "location before the objects" : "overlaps the object before it");
        const auto offset = static_cast<std::uint64_t>(entry.location - regionStart);
        if (offset >= region.size())
            fail("location past the end of the objects (" + std::to_string(region.size()) + " bytes)");
        if (offset > std::numeric_limits<std::uint32_t>::max()) fail("location beyond 4 GB");

        BitReader in(region.subspan(offset), file.release);
        std::uint64_t headerSize = 0;
        std::uint32_t dataSize = 0;
        try {
            dataSize = in.readMS();
            if (file.release >= Release::R2010) in.readUMC();
            headerSize = in.bitPos() / 8;
        } catch (const FormatError& error) {
            throw error.withContext("object " + hex(entry.handle) + " at " + std::to_string(entry.location));
        }
        const std::uint64_t total = headerSize + dataSize + 2;
        if (total > region.size() - offset)
            fail("declares " + std::to_string(dataSize) + " bytes, only " +
                 std::to_string(region.size() - offset - headerSize) + " left");
        const auto bytes = region.subspan(offset, total);
        const std::uint16_t stored = static_cast<std::uint16_t>(bytes[total - 2] | (bytes[total - 1] << 8));
        const std::uint16_t computed = crc16(kCrc16Seed, bytes.first(total - 2));
        if (!checksumMatches(stored, computed)) fail("CRC expected " + hex(computed) + ", found " + hex(stored));

        file.objects.push_back(
            {entry.handle, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(total)});
        totalSize += total;
        previousEnd = entry.location + static_cast<std::int64_t>(total);
    }

    file.objectBytes.reserve(totalSize);
    for (ObjectLocation& object : file.objects) {
        const auto bytes = region.subspan(object.offset, object.size);
        object.offset = static_cast<std::uint32_t>(file.objectBytes.size());
        file.objectBytes.insert(file.objectBytes.end(), bytes.begin(), bytes.end());
    }
}

std::vector<ObjectMapEntry> layOutObjects(const DwgFile& file, std::int64_t start) {
    std::vector<ObjectMapEntry> entries;
    entries.reserve(file.objects.size());
    std::int64_t location = start;
    for (const ObjectLocation& object : file.objects) {
        entries.push_back({object.handle, location});
        location += object.size;
    }
    std::sort(entries.begin(), entries.end(),
              [](const ObjectMapEntry& a, const ObjectMapEntry& b) { return a.handle < b.handle; });
    return entries;
}

}  // namespace dwg
