#include "dwg/container/object_map.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <unordered_set>

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

namespace {

// The entries of one section's data (after its size field, `dataAt` bytes
// into the map), appended to `entries`; each section counts from handle 0
// and location 0 again. The reason when an entry cannot be read or does not
// follow the handles before it; `entries` is then left as it was.
std::string readSectionEntries(std::span<const std::uint8_t> data, std::size_t dataAt,
                               std::vector<ObjectMapEntry>& entries) {
    const std::size_t before = entries.size();
    auto failed = [&](std::string reason) {
        entries.resize(before);
        return reason;
    };
    std::uint64_t handle = 0;
    std::uint64_t location = 0;  // two's complement, so that hostile offsets wrap instead of overflowing
    std::size_t at = 0;
    while (at < data.size()) {
        const std::size_t entryAt = dataAt + at;
        std::uint64_t handleOffset = 0;
        std::uint64_t locationOffset = 0;
        bool negative = false;
        if (!decodeModular(data, at, false, handleOffset, negative) ||
            !decodeModular(data, at, true, locationOffset, negative))
            return failed("entry at byte " + std::to_string(entryAt) + " runs past its section or beyond 64 bits");
        if (handleOffset > std::numeric_limits<std::uint64_t>::max() - handle)
            return failed("entry at byte " + std::to_string(entryAt) + ": handle beyond 64 bits");
        handle += handleOffset;
        location += negative ? 0 - locationOffset : locationOffset;
        if (!entries.empty() && handle <= entries.back().handle)
            return failed("entry at byte " + std::to_string(entryAt) + ": handle " + hex(handle) +
                          (handle == entries.back().handle ? " is listed twice"
                                                           : " follows handle " + hex(entries.back().handle)));
        if (handle == 0) return failed("entry at byte " + std::to_string(entryAt) + ": handle 0");
        entries.push_back({handle, static_cast<std::int64_t>(location)});
    }
    return {};
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
        if (std::string reason = readSectionEntries(section.subspan(2), pos + 2, entries); !reason.empty())
            throw FormatError("object map: " + reason);
        pos += size + 2;
    }
}

ObjectMapReading readObjectMapLeniently(std::span<const std::uint8_t> bytes) {
    ObjectMapReading reading;
    reading.entries.reserve(bytes.size() / 3);
    // The problems of lost sections since the last intact one, joined.
    // The first problem of the lost sections since the last intact one, and
    // how many more there were.
    std::string lostSince;
    std::size_t moreLost = 0;
    std::uint64_t lastIntact = 0;
    auto lose = [&](const std::string& problem) {
        if (lostSince.empty())
            lostSince = problem;
        else
            ++moreLost;
    };
    auto closeLost = [&](std::uint64_t before) {
        if (lostSince.empty()) return;
        if (moreLost > 0)
            lostSince += "; and " + std::to_string(moreLost) + (moreLost == 1 ? " more section" : " more sections") +
                         " after it";
        reading.lost.push_back({lastIntact, before, std::move(lostSince)});
        lostSince.clear();
        moreLost = 0;
    };
    std::size_t pos = 0;
    while (true) {
        if (bytes.size() - pos < 2) {
            lose("ends at byte " + std::to_string(pos) + " without its closing section");
            break;
        }
        const std::size_t size = (std::size_t{bytes[pos]} << 8) | bytes[pos + 1];
        if (size < 2 || size > kMaxSectionSize || bytes.size() - pos < size + 2) {
            lose("section at byte " + std::to_string(pos) + " declares " + std::to_string(size) +
                 " bytes, expected 2 to " + std::to_string(kMaxSectionSize) + " within the " +
                 std::to_string(bytes.size() - pos) + " bytes left; the rest of the map is lost");
            break;
        }
        const auto section = bytes.subspan(pos, size);
        const std::uint16_t stored = static_cast<std::uint16_t>((bytes[pos + size] << 8) | bytes[pos + size + 1]);
        const std::uint16_t computed = crc16(kCrc16Seed, section);
        if (!checksumMatches(stored, computed)) {
            lose("section at byte " + std::to_string(pos) + ": CRC expected " + hex(computed) + ", found " +
                 hex(stored));
        } else if (size == 2) {
            break;
        } else {
            const std::size_t before = reading.entries.size();
            if (std::string reason = readSectionEntries(section.subspan(2), pos + 2, reading.entries);
                !reason.empty()) {
                lose(reason);
            } else {
                closeLost(reading.entries[before].handle);
                lastIntact = reading.entries.back().handle;
            }
        }
        pos += size + 2;
    }
    closeLost(std::numeric_limits<std::uint64_t>::max());
    return reading;
}

ObjectMapReading lostObjectMap(std::string problem) {
    ObjectMapReading reading;
    reading.lost.push_back({0, std::numeric_limits<std::uint64_t>::max(), std::move(problem)});
    return reading;
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

namespace {

// The first bits of an object's data, read without exceptions: the scan
// tries every byte of the object data, and most of them start nothing.
class BitCursor {
public:
    explicit BitCursor(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::uint64_t pos() const { return m_pos; }
    bool take(unsigned count, std::uint64_t& value) {
        if (count > m_bytes.size() * 8 - m_pos) return false;
        value = 0;
        for (unsigned i = 0; i < count; ++i, ++m_pos)
            value = (value << 1) | ((m_bytes[m_pos >> 3] >> (7 - (m_pos & 7))) & 1U);
        return true;
    }
    bool skip(std::uint64_t count) {
        if (count > m_bytes.size() * 8 - m_pos) return false;
        m_pos += count;
        return true;
    }
    // Bytes of RS and RL come least significant first.
    bool takeLittleEndian(unsigned bytes, std::uint64_t& value) {
        value = 0;
        for (unsigned i = 0; i < bytes; ++i) {
            std::uint64_t byte = 0;
            if (!take(8, byte)) return false;
            value |= byte << (8 * i);
        }
        return true;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::uint64_t m_pos = 0;
};

// R13 and R14 keep an object's size in bits after its extended data, and
// for entities after the graphics too (ODA §20.4.1, §20.4.2). The type
// does not say which (classes are either), so either reading will do.
// `work` counts the extended data entries passed, 8 for each.
bool sizeInBitsFits(BitCursor in, std::uint64_t dataBits, std::uint64_t& work) {
    auto fits = [dataBits](BitCursor at) {
        std::uint64_t bitSize = 0;
        return at.takeLittleEndian(4, bitSize) && bitSize <= dataBits && bitSize >= at.pos();
    };
    // Extended data: BS size, and while it is not 0, an application handle
    // and that many bytes, then the next size.
    while (true) {
        std::uint64_t code = 0, size = 0;
        if (!in.take(2, code)) return false;
        if (code == 0 ? !in.takeLittleEndian(2, size) : code == 1 ? !in.take(8, size) : false) return false;
        if (code == 3) size = 256;
        if (size == 0) break;
        work += 8;
        std::uint64_t head = 0;
        if (!in.take(8, head) || (head & 0x0FU) > 8 || !in.skip(8 * ((head & 0x0FU) + size))) return false;
    }
    if (fits(in)) return true;
    std::uint64_t graphics = 0, graphicsSize = 0;
    if (!in.take(1, graphics)) return false;
    if (graphics != 0 && (!in.takeLittleEndian(4, graphicsSize) || !in.skip(8 * graphicsSize))) return false;
    return fits(in);
}

struct FoundObject {
    std::uint64_t handle = 0;
    std::size_t offset = 0;  // in the region
    std::size_t size = 0;    // MS size, data and CRC
};

// Whether `bytes` start with an object: its MS size, from 2010 on the size in
// bits of its handle stream (UMC, within the data), data that start with a
// type (BS; from 2010 on the bit pair and one or two bytes of ODA §2.12),
// from 2000 to 2007 its size in bits (RL, within the data), and its own
// handle (code 0, nonzero), and a matching CRC-16 over size and data (ODA
// §20.1, §20.2). `crcBytes` counts the bytes checksummed (and the work of
// finding an R13-R14 object's size in bits). `why`, when given, gets the
// reason of a failure.
bool objectAt(std::span<const std::uint8_t> bytes, Release release, FoundObject& found, std::uint64_t& crcBytes,
              std::string* why = nullptr) {
    auto no = [why](const std::string& reason) {
        if (why != nullptr) *why = reason;
        return false;
    };
    // ODA §2.7: MS, RS modules with the high bit saying that one follows;
    // two are enough for any object.
    if (bytes.size() < 2) return no("no room for a size");
    std::size_t headerSize = 2;
    std::uint64_t dataSize = bytes[0] | (std::uint64_t{bytes[1]} << 8);
    if ((dataSize & 0x8000U) != 0) {
        if (bytes.size() < 4 || (bytes[3] & 0x80U) != 0) return no("no valid size");
        dataSize = (dataSize & 0x7FFFU) | ((bytes[2] | (std::uint64_t{bytes[3]} << 8)) << 15);
        headerSize = 4;
    }
    // From 2010 on: the handle stream's size in bits, modular char bytes
    // (ODA §2.6, unsigned); ten are enough for 64 bits.
    std::uint64_t handleBits = 0;
    if (release >= Release::R2010) {
        for (unsigned shift = 0;; shift += 7) {
            if (bytes.size() <= headerSize || shift > 63) return no("no valid handle stream size");
            const std::uint8_t byte = bytes[headerSize++];
            handleBits |= std::uint64_t{byte & 0x7FU} << shift;
            if ((byte & 0x80U) == 0) break;
        }
    }
    if (dataSize == 0 || dataSize + 2 > bytes.size() - headerSize)
        return no("declares " + std::to_string(dataSize) + " bytes, " +
                  std::to_string(bytes.size() - headerSize) + " left");
    if (handleBits > dataSize * 8) return no("its handle stream is larger than its data");
    BitCursor in(bytes.subspan(headerSize, static_cast<std::size_t>(dataSize)));
    std::uint64_t code = 0, value = 0;
    if (!in.take(2, code)) return no("no type");
    bool typeRead = true;
    if (release >= Release::R2010)
        typeRead = code <= 1 ? in.take(8, value) : in.takeLittleEndian(2, value);
    else if (code <= 1)
        typeRead = code == 0 ? in.takeLittleEndian(2, value) : in.take(8, value);
    if (!typeRead) return no("no type");
    std::uint64_t bitSize = 0;
    if (release >= Release::R2000 && release < Release::R2010 && !in.takeLittleEndian(4, bitSize))
        return no("no size in bits");
    std::uint64_t head = 0;
    if (!in.take(8, head) || (head >> 4) != 0 || (head & 0x0FU) == 0 || (head & 0x0FU) > 8)
        return no("no handle");
    std::uint64_t handle = 0;
    for (std::uint64_t i = 0; i < (head & 0x0FU); ++i) {
        if (!in.take(8, value)) return no("no handle");
        handle = (handle << 8) | value;
    }
    if (handle == 0) return no("handle 0");
    // The size in bits is where the handles start, after the fields read.
    if (release >= Release::R2000 && release < Release::R2010 && (bitSize > dataSize * 8 || bitSize < in.pos()))
        return no("its size in bits does not fit its data");
    if (release >= Release::R2010 && dataSize * 8 - handleBits < in.pos())
        return no("its handle stream overlaps its type and handle");
    if (release <= Release::R14 && !sizeInBitsFits(in, dataSize * 8, crcBytes))
        return no("no size in bits that fits its data");
    const std::size_t total = headerSize + static_cast<std::size_t>(dataSize) + 2;
    crcBytes += total;
    const std::uint16_t stored = static_cast<std::uint16_t>(bytes[total - 2] | (bytes[total - 1] << 8));
    const std::uint16_t computed = crc16(kCrc16Seed, bytes.first(total - 2));
    if (!checksumMatches(stored, computed)) return no("CRC expected " + hex(computed) + ", found " + hex(stored));
    found = {handle, 0, total};
    return true;
}

// "1F, 2A and 3F", or "1F, 2A, 3F and 3 more".
template <typename Item, typename Describe>
std::string listed(const std::vector<Item>& items, Describe describe, std::size_t shown = 3) {
    std::string text;
    const std::size_t count = std::min(items.size(), shown);
    for (std::size_t i = 0; i < count; ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + describe(items[i]);
    if (items.size() > shown) text += " and " + std::to_string(items.size() - shown) + " more";
    return text;
}

std::string objectsRecovered(std::size_t count) {
    return "recovered " + std::to_string(count) + (count == 1 ? " object" : " objects") + " by scanning";
}

}  // namespace

std::pair<std::int64_t, std::int64_t> recoverObjects(std::span<const std::uint8_t> region, std::int64_t regionStart,
                                                     std::span<const std::pair<std::size_t, std::size_t>> scanAreas,
                                                     const ObjectMapReading& map, DwgFile& file) {
    // Which entries can be trusted: a valid object of their own handle.
    struct Untrusted {
        ObjectMapEntry entry;
        std::string reason;
    };
    std::vector<FoundObject> trusted;
    std::vector<Untrusted> untrusted;
    std::uint64_t crcBytes = 0;
    for (const ObjectMapEntry& entry : map.entries) {
        if (entry.location < regionStart || static_cast<std::uint64_t>(entry.location - regionStart) >= region.size()) {
            untrusted.push_back({entry, "location outside the objects"});
            continue;
        }
        const auto offset = static_cast<std::size_t>(entry.location - regionStart);
        FoundObject found;
        std::string why;
        if (!objectAt(region.subspan(offset), file.release, found, crcBytes, &why)) {
            untrusted.push_back({entry, std::move(why)});
        } else if (found.handle != entry.handle) {
            untrusted.push_back({entry, "object " + hex(found.handle) + " is there"});
        } else {
            found.offset = offset;
            trusted.push_back(found);
        }
    }
    std::sort(trusted.begin(), trusted.end(),
              [](const FoundObject& a, const FoundObject& b) { return a.offset < b.offset; });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < trusted.size(); ++i) {
        if (kept > 0 && trusted[i].offset < trusted[kept - 1].offset + trusted[kept - 1].size) {
            untrusted.push_back({{trusted[i].handle, regionStart + static_cast<std::int64_t>(trusted[i].offset)},
                                 "overlaps object " + hex(trusted[kept - 1].handle)});
        } else {
            trusted[kept++] = trusted[i];
        }
    }
    trusted.resize(kept);
    std::sort(untrusted.begin(), untrusted.end(),
              [](const Untrusted& a, const Untrusted& b) { return a.entry.handle < b.entry.handle; });

    // The scan, in file order, around the trusted objects.
    std::vector<FoundObject> scanned;
    if (!untrusted.empty() || !map.lost.empty()) {
        std::vector<std::pair<std::size_t, std::size_t>> areas(scanAreas.begin(), scanAreas.end());
        std::sort(areas.begin(), areas.end());
        std::uint64_t areaBytes = 0;
        for (auto& [begin, end] : areas) {
            end = std::min(end, region.size());
            if (begin < end) areaBytes += end - begin;
        }
        // Real objects are checksummed about once; garbage seldom gets as
        // far as the CRC (the size in bits must fit the data). Far more is a
        // file built to make the scan slow.
        const std::uint64_t budget = 256 * areaBytes + (std::uint64_t{64} << 20) + crcBytes;
        std::size_t next = 0;  // the first trusted object not yet passed
        for (const auto& [begin, end] : areas) {
            std::size_t at = begin;
            while (at < end) {
                while (next < trusted.size() && trusted[next].offset + trusted[next].size <= at) ++next;
                if (next < trusted.size() && trusted[next].offset <= at) {
                    at = trusted[next].offset + trusted[next].size;
                    continue;
                }
                const std::size_t limit = next < trusted.size() ? std::min(end, trusted[next].offset) : end;
                FoundObject found;
                if (objectAt(region.subspan(at, limit - at), file.release, found, crcBytes)) {
                    found.offset = at;
                    scanned.push_back(found);
                    at += found.size;
                } else {
                    ++at;
                }
                if (crcBytes > budget)
                    throw FormatError("object map: recovery stopped after checksumming " + std::to_string(crcBytes) +
                                      " bytes while scanning " + std::to_string(areaBytes) + " bytes of objects");
            }
        }
    }

    // The handles the scan is to find: those of untrusted entries and those
    // in lost ranges of the map. Copies of other handles are not the
    // drawing's (an older copy of a trusted object, an erased object).
    std::unordered_set<std::uint64_t> trustedHandles;
    for (const FoundObject& object : trusted) trustedHandles.insert(object.handle);
    std::unordered_set<std::uint64_t> untrustedHandles;
    for (const Untrusted& u : untrusted) untrustedHandles.insert(u.entry.handle);
    // The lost ranges ascend and do not overlap.
    auto inLostRange = [&map](std::uint64_t handle) {
        const auto after = std::partition_point(map.lost.begin(), map.lost.end(),
                                                [handle](const auto& range) { return range.after < handle; });
        return after != map.lost.begin() && handle < std::prev(after)->before;
    };
    std::map<std::uint64_t, std::vector<std::size_t>> copies;  // handle -> indices into scanned, in file order
    for (std::size_t i = 0; i < scanned.size(); ++i) {
        const std::uint64_t handle = scanned[i].handle;
        if (trustedHandles.count(handle) != 0) continue;
        if (untrustedHandles.count(handle) != 0 || inLostRange(handle)) copies[handle].push_back(i);
    }

    std::vector<FoundObject> objects = trusted;
    std::vector<std::pair<std::uint64_t, std::vector<std::size_t>>> repeated;
    for (const auto& [handle, found] : copies) {
        objects.push_back(scanned[found.back()]);
        if (found.size() > 1) repeated.emplace_back(handle, found);
    }

    const Repair base{"object map", "", "a fresh one"};
    if (!untrusted.empty()) {
        std::size_t recovered = 0;
        for (const Untrusted& u : untrusted) {
            if (copies.count(u.entry.handle) != 0) {
                ++recovered;
            } else {
                file.droppedObjects.push_back(
                    {u.entry.handle, u.entry.location, u.reason + "; scanning the objects found none of its handle"});
            }
        }
        Repair repair = base;
        repair.problem = "the entries of " + std::to_string(untrusted.size()) +
                         (untrusted.size() == 1 ? " handle do" : " handles do") +
                         " not point at objects of their handles (" +
                         listed(untrusted, [](const Untrusted& u) {
                             return hex(u.entry.handle) + " at " + std::to_string(u.entry.location) + ": " + u.reason;
                         }) +
                         "); " + objectsRecovered(recovered);
        file.repairs.push_back(std::move(repair));
    }
    for (const auto& range : map.lost) {
        std::size_t recovered = 0;
        for (auto it = copies.upper_bound(range.after); it != copies.end() && it->first < range.before; ++it)
            ++recovered;
        Repair repair = base;
        repair.problem = range.problem + "; " + objectsRecovered(recovered);
        file.repairs.push_back(std::move(repair));
    }
    if (!repeated.empty()) {
        Repair repair = base;
        repair.problem =
            std::to_string(repeated.size()) + (repeated.size() == 1 ? " handle was" : " handles were") +
            " found more than once by scanning (" +
            listed(repeated,
                   [&](const auto& r) {
                       const auto at = [&](std::size_t i) {
                           return std::to_string(regionStart + static_cast<std::int64_t>(scanned[i].offset));
                       };
                       return hex(r.first) + " at " + listed(r.second, at, 4);
                   }) +
            "); the last copy in file order is kept, as AutoCAD writes a changed object after its older copy";
        file.repairs.push_back(std::move(repair));
    }

    std::sort(objects.begin(), objects.end(),
              [](const FoundObject& a, const FoundObject& b) { return a.offset < b.offset; });
    file.objects.clear();
    file.objectBytes.clear();
    std::size_t total = 0;
    for (const FoundObject& object : objects) total += object.size;
    file.objects.reserve(objects.size());
    file.objectBytes.reserve(total);
    for (const FoundObject& object : objects) {
        if (object.offset > std::numeric_limits<std::uint32_t>::max() || total > std::numeric_limits<std::uint32_t>::max())
            throw FormatError("object " + hex(object.handle) + " at " + std::to_string(object.offset) +
                              ": location beyond 4 GB");
        const auto bytes = region.subspan(object.offset, object.size);
        file.objects.push_back({object.handle, static_cast<std::uint32_t>(file.objectBytes.size()),
                                static_cast<std::uint32_t>(object.size)});
        file.objectBytes.insert(file.objectBytes.end(), bytes.begin(), bytes.end());
    }
    if (objects.empty()) return {regionStart, regionStart};
    return {regionStart + static_cast<std::int64_t>(objects.front().offset),
            regionStart + static_cast<std::int64_t>(objects.back().offset + objects.back().size)};
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
