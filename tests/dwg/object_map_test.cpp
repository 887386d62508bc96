// The object map against bytes worked out from the format document (its
// modular char examples, CRC-16 seeded 0xC0C1 most significant byte first),
// AutoCAD's way of cutting sections, and damaged maps.

#include "dwg/container/object_map.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "dwg/bits/crc.h"
#include "dwg/container/dwg_file.h"
#include "dwg/errors.h"
#include "test_support.h"

namespace dwg {
namespace {

using test::hexToBytes;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

// ODA §2.6's examples: 4610 = 82 24, -1413 = 85 4B, 112823273 = E9 97 E6 35;
// handle offsets are unsigned, so 0x41 is the single byte 41.
const std::vector<ObjectMapEntry> kSmallMap{{0x01, 4610}, {0x42, 4610 - 1413}, {0x44, 4610 - 1413 + 112823273}};
// Size 00 0D (it counts itself), the entries, then the CRC of size and entries
// (45 8C), and the closing section 00 02 with its CRC 01 D0.
const char* const kSmallMapBytes = "00 0D  01 82 24  41 85 4B  02 E9 97 E6 35  45 8C   00 02 01 D0";

std::size_t sectionSize(const std::vector<std::uint8_t>& map, std::size_t at) {
    return (std::size_t{map.at(at)} << 8) | map.at(at + 1);
}

TEST(ObjectMap, WritesTheDocumentsModularCharsAndCrc) {
    EXPECT_EQ(writeObjectMap(kSmallMap), hexToBytes(kSmallMapBytes));
}

TEST(ObjectMap, ReadsTheDocumentsModularCharsAndCrc) {
    EXPECT_EQ(readObjectMap(hexToBytes(kSmallMapBytes)), kSmallMap);
}

TEST(ObjectMap, EmptyMapIsTheClosingSectionAlone) {
    EXPECT_EQ(writeObjectMap({}), hexToBytes("00 02 01 D0"));
    EXPECT_TRUE(readObjectMap(hexToBytes("00 02 01 D0")).empty());
}

TEST(ObjectMap, EverySectionCountsFromHandleAndLocationZero) {
    // Two sections as AutoCAD writes them: the second one's first entry is
    // absolute (handle 0x100 at 5000), not an offset from handle 0x11 at 4000.
    std::vector<std::uint8_t> map = hexToBytes("00 05 11 A0 1F");  // 0x11 at 4000
    std::uint16_t crc = crc16(kCrc16Seed, map);
    map.push_back(static_cast<std::uint8_t>(crc >> 8));
    map.push_back(static_cast<std::uint8_t>(crc));
    std::vector<std::uint8_t> second = hexToBytes("00 06 80 02 88 27");  // 0x100 at 5000
    crc = crc16(kCrc16Seed, second);
    second.push_back(static_cast<std::uint8_t>(crc >> 8));
    second.push_back(static_cast<std::uint8_t>(crc));
    map.insert(map.end(), second.begin(), second.end());
    const auto closing = hexToBytes("00 02 01 D0");
    map.insert(map.end(), closing.begin(), closing.end());

    EXPECT_EQ(readObjectMap(map), (std::vector<ObjectMapEntry>{{0x11, 4000}, {0x100, 5000}}));
}

TEST(ObjectMap, SectionTakesEntriesWhileAtMost2032Bytes) {
    // Entries of 3 bytes (01 E4 00: next handle, 100 bytes on); the first is
    // 01 E8 07 (handle 1 at 1000). After 676 entries a section is 2030 bytes
    // long, so it takes a 677th and closes at 2033, like AutoCAD's 2033-2035.
    std::vector<ObjectMapEntry> entries;
    for (std::uint64_t handle = 1; handle <= 1000; ++handle)
        entries.push_back({handle, static_cast<std::int64_t>(1000 + 100 * (handle - 1))});
    const auto map = writeObjectMap(entries);

    EXPECT_EQ(sectionSize(map, 0), 2033U);
    EXPECT_EQ(std::vector<std::uint8_t>(map.begin() + 2, map.begin() + 5), hexToBytes("01 E8 07"));
    // The second section starts absolute: handle 678 (A6 05) at 68700 (DC 98 04),
    // then 322 entries of 3 bytes: 2 + 5 + 966 = 973 bytes.
    const std::size_t second = 2033 + 2;
    EXPECT_EQ(std::vector<std::uint8_t>(map.begin() + second, map.begin() + second + 7),
              hexToBytes("03 CD A6 05 DC 98 04"));
    const std::size_t closing = second + 973 + 2;
    EXPECT_EQ(std::vector<std::uint8_t>(map.begin() + static_cast<std::ptrdiff_t>(closing), map.end()),
              hexToBytes("00 02 01 D0"));
    EXPECT_EQ(readObjectMap(map), entries);
}

TEST(ObjectMap, LongEntriesKeepSectionsWithinLibreDwgsLimit) {
    // Entries of 14 bytes: 145 of them make 2032 bytes, and a 146th would
    // pass 2040, the most LibreDWG reads, so the section stops there.
    std::vector<ObjectMapEntry> entries;
    for (std::uint64_t i = 1; i < 255; ++i)
        entries.push_back({i << 56, static_cast<std::int64_t>(i << 33)});
    const auto map = writeObjectMap(entries);

    EXPECT_EQ(sectionSize(map, 0), 2032U);
    for (std::size_t at = 0; sectionSize(map, at) != 2; at += sectionSize(map, at) + 2)
        EXPECT_LE(sectionSize(map, at), 2040U);
    EXPECT_EQ(readObjectMap(map), entries);
}

TEST(ObjectMap, RoundTripsNegativeAndLargeOffsets) {
    const std::vector<ObjectMapEntry> entries{
        {1, 900000}, {2, 100}, {0x3F, 5000}, {0x40, 4999}, {0x7F, 0x7FFFFFFF}, {0x80, 0}, {0x2000000000, 64}};
    EXPECT_EQ(readObjectMap(writeObjectMap(entries)), entries);
}

TEST(ObjectMap, WriterRejectsUnsortedHandles) {
    const std::vector<ObjectMapEntry> repeated{{5, 10}, {5, 20}};
    const std::vector<ObjectMapEntry> descending{{5, 10}, {4, 20}};
    EXPECT_THROW(writeObjectMap(repeated), std::invalid_argument);
    EXPECT_THROW(writeObjectMap(descending), std::invalid_argument);
}

TEST(ObjectMap, DamageIsReported) {
    const auto good = hexToBytes(kSmallMapBytes);
    auto flipped = good;
    flipped[4] ^= 0x01;  // inside the first entry
    EXPECT_THAT([&] { readObjectMap(flipped); },
                ThrowsMessage<FormatError>(HasSubstr("object map: section at byte 0: CRC expected")));
    EXPECT_THAT([&] { readObjectMap(flipped); }, ThrowsMessage<FormatError>(HasSubstr("found 458C")));
    auto badCrc = good;
    badCrc[14] ^= 0x80;
    EXPECT_THAT([&] { readObjectMap(badCrc); }, ThrowsMessage<FormatError>(HasSubstr("CRC expected 458C, found 450C")));

    const std::vector<std::uint8_t> unclosed(good.begin(), good.begin() + 15);
    EXPECT_THAT([&] { readObjectMap(unclosed); },
                ThrowsMessage<FormatError>(HasSubstr("object map: expected a section size at byte 15")));

    auto tooLong = good;
    tooLong[0] = 0x10;  // 4109 bytes
    EXPECT_THAT([&] { readObjectMap(tooLong); }, ThrowsMessage<FormatError>(HasSubstr("declares 4109 bytes")));
}

TEST(ObjectMap, RepeatedHandleAcrossSectionsIsReported) {
    // Two valid sections both holding handle 0x11.
    std::vector<std::uint8_t> section = hexToBytes("00 05 11 A0 1F");
    const std::uint16_t crc = crc16(kCrc16Seed, section);
    section.push_back(static_cast<std::uint8_t>(crc >> 8));
    section.push_back(static_cast<std::uint8_t>(crc));
    std::vector<std::uint8_t> map = section;
    map.insert(map.end(), section.begin(), section.end());
    const auto closing = hexToBytes("00 02 01 D0");
    map.insert(map.end(), closing.begin(), closing.end());
    EXPECT_THAT([&] { readObjectMap(map); }, ThrowsMessage<FormatError>(HasSubstr("handle 11 is listed twice")));
}

TEST(ObjectMap, EntryRunningPastItsSectionIsReported) {
    std::vector<std::uint8_t> map = hexToBytes("00 04 01 82");  // the location's second byte is missing
    const std::uint16_t crc = crc16(kCrc16Seed, map);
    map.push_back(static_cast<std::uint8_t>(crc >> 8));
    map.push_back(static_cast<std::uint8_t>(crc));
    EXPECT_THAT([&] { readObjectMap(map); },
                ThrowsMessage<FormatError>(HasSubstr("entry at byte 2 runs past its section")));
}

// An object as the file stores it: MS size, data, CRC-16 (little-endian).
std::vector<std::uint8_t> object(std::vector<std::uint8_t> data) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(data.size()), 0};
    bytes.insert(bytes.end(), data.begin(), data.end());
    const std::uint16_t crc = crc16(kCrc16Seed, bytes);
    bytes.push_back(static_cast<std::uint8_t>(crc));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    return bytes;
}

TEST(CollectObjects, CopiesObjectsInLocationOrder) {
    const auto a = object({1, 2, 3});
    const auto b = object({4, 5});
    std::vector<std::uint8_t> region(10, 0xEE);  // bytes before the first object
    region.insert(region.end(), b.begin(), b.end());
    region.insert(region.end(), {0xEE, 0xEE});   // a gap
    region.insert(region.end(), a.begin(), a.end());
    DwgFile file;
    const std::vector<ObjectMapEntry> map{{0x10, 100 + 10 + 6 + 2}, {0x20, 100 + 10}};

    collectObjects(region, 100, map, file);

    ASSERT_EQ(file.objects.size(), 2U);
    EXPECT_EQ(file.objects[0].handle, 0x20U);
    EXPECT_EQ(file.objects[1].handle, 0x10U);
    const auto first = file.bytesOf(file.objects[0]);
    const auto second = file.bytesOf(file.objects[1]);
    EXPECT_EQ(std::vector<std::uint8_t>(first.begin(), first.end()), b);
    EXPECT_EQ(std::vector<std::uint8_t>(second.begin(), second.end()), a);
}

TEST(CollectObjects, DamageNamesTheObject) {
    auto bad = object({1, 2, 3});
    bad[3] ^= 0x10;
    DwgFile file;
    EXPECT_THAT([&] { collectObjects(bad, 0, std::vector<ObjectMapEntry>{{0x2A, 0}}, file); },
                ThrowsMessage<FormatError>(HasSubstr("object 2A at 0: CRC expected")));

    const auto good = object({1, 2, 3});
    EXPECT_THAT([&] { collectObjects(good, 0, std::vector<ObjectMapEntry>{{0x2A, 7}}, file); },
                ThrowsMessage<FormatError>(HasSubstr("location past the end")));
    EXPECT_THAT([&] { collectObjects(good, 0, std::vector<ObjectMapEntry>{{1, 0}, {2, 2}}, file); },
                ThrowsMessage<FormatError>(HasSubstr("object 2 at 2: overlaps the object before it")));
    const std::vector<std::uint8_t> cut(good.begin(), good.end() - 1);
    EXPECT_THAT([&] { collectObjects(cut, 0, std::vector<ObjectMapEntry>{{0x2A, 0}}, file); },
                ThrowsMessage<FormatError>(HasSubstr("declares 3 bytes, only 4 left")));
}

TEST(LayOutObjects, PlacesObjectsInFileOrderAndSortsTheMapByHandle) {
    DwgFile file;
    file.objectBytes.resize(30);
    file.objects = {{0x30, 0, 10}, {0x10, 10, 7}, {0x20, 17, 13}};
    EXPECT_EQ(layOutObjects(file, 500),
              (std::vector<ObjectMapEntry>{{0x10, 510}, {0x20, 517}, {0x30, 500}}));
}

}  // namespace
}  // namespace dwg
