// Recovery of a damaged object map by scanning the objects (--recover): the
// sample drawings with their map damaged inside the test (entries pointing at
// other objects, a map cut short, a flipped byte), read without recovery (a
// clean error naming the map) and with it (every object of the intact
// drawing, a warning, a save that re-opens clean); and the scan's rules on a
// region made here.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dwg/bits/bit_writer.h"
#include "dwg/bits/crc.h"
#include "dwg/container/dwg_file.h"
#include "dwg/container/object_map.h"
#include "dwg/container/r2004.h"
#include "dwg/drawing/drawing.h"
#include "dwg/errors.h"
#include "test_support.h"

namespace dwg {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;
using test::rl;

constexpr ReadOptions kRecover{true};

std::map<std::uint64_t, Bytes> objectsByHandle(const DwgFile& file) {
    std::map<std::uint64_t, Bytes> objects;
    for (const ObjectLocation& object : file.objects) {
        const auto bytes = file.bytesOf(object);
        objects[object.handle] = Bytes(bytes.begin(), bytes.end());
    }
    return objects;
}

std::map<std::uint64_t, std::u16string> texts(const Drawing& d) {
    std::map<std::uint64_t, std::u16string> all;
    test::forEachBlockText(d, [&](std::uint64_t handle, bool) { all[handle] = d.textString(handle); });
    return all;
}

// The damaged file: a clean error naming `strictError` without recovery;
// with it, a drawing that warns `warning`, holds every object of the intact
// file with its bytes and texts, and saves to a file that opens without
// recovery and without a warning.
void expectRecovered(const Bytes& intact, const Bytes& damaged, const std::string& strictError,
                     const std::string& warning) {
    EXPECT_THAT([&] { Drawing::fromBytes(damaged, "damaged.dwg"); },
                ThrowsMessage<FormatError>(HasSubstr(strictError)));

    Drawing recovered = Drawing::fromBytes(damaged, "damaged.dwg", kRecover);
    EXPECT_THAT(recovered.warnings(), Contains(HasSubstr(warning)));
    EXPECT_THAT(recovered.warnings(), Contains(HasSubstr("by scanning")));
    const DwgFile original = readDwgFile(intact);
    EXPECT_TRUE(objectsByHandle(recovered.objects().file()) == objectsByHandle(original));
    const Drawing reference = Drawing::fromBytes(intact, "intact.dwg");
    const auto expectedTexts = texts(reference);
    EXPECT_FALSE(expectedTexts.empty());
    EXPECT_EQ(texts(recovered), expectedTexts);

    const Drawing again = Drawing::fromBytes(recovered.toBytes(), "saved.dwg");
    EXPECT_THAT(again.warnings(), ::testing::IsEmpty());
    EXPECT_TRUE(objectsByHandle(again.objects().file()) == objectsByHandle(original));
    EXPECT_EQ(texts(again), expectedTexts);
}

// The object map's sections (ODA §23): size (most significant byte first)
// and CRC around each; the offset of each section in the map.
std::vector<std::size_t> mapSections(std::span<const std::uint8_t> map) {
    std::vector<std::size_t> sections;
    for (std::size_t at = 0; at + 2 <= map.size();) {
        const std::size_t size = (std::size_t{map[at]} << 8) | map[at + 1];
        if (size <= 2) break;
        sections.push_back(at);
        at += size + 2;
    }
    return sections;
}

TEST(ObjectMapRecovery, IntactSamplesNeedNone) {
    for (const char* name : {"example_r14.dwg", "example_2000.dwg", "example_2004.dwg"}) {
        SCOPED_TRACE(name);
        const auto bytes = test::loadSample(name);
        if (!bytes) GTEST_SKIP() << name << " is not in " CORVELIN_SAMPLES_DIR;
        const Drawing d = Drawing::fromBytes(*bytes, name, kRecover);
        EXPECT_THAT(d.warnings(), ::testing::IsEmpty());
        EXPECT_TRUE(objectsByHandle(d.objects().file()) == objectsByHandle(readDwgFile(*bytes)));
    }
}

// Three entries point at one another's objects: the objects are intact,
// their map entries wrong.
TEST(ObjectMapRecovery, EntriesPointingAtOtherObjects) {
    for (const char* name : {"example_r14.dwg", "example_2000.dwg", "example_2004.dwg", "example_2010.dwg",
                             "example_2018.dwg"}) {
        SCOPED_TRACE(name);
        const auto intact = test::loadSample(name);
        if (!intact) GTEST_SKIP() << name << " is not in " CORVELIN_SAMPLES_DIR;
        DwgFile file = readDwgFile(*intact);
        auto& objects = file.objects;
        ASSERT_GT(objects.size(), 8U);
        const std::size_t a = objects.size() / 4, b = objects.size() / 2, c = 3 * objects.size() / 4;
        const std::uint64_t first = objects[a].handle;
        objects[a].handle = objects[b].handle;
        objects[b].handle = objects[c].handle;
        objects[c].handle = first;
        expectRecovered(*intact, writeDwgFile(file), "the object map points at object",
                        "object map: the entries of 3 handles do not point at objects of their handles");
    }
}

// R13-2000: the map's locator cut to half its size, so that the map ends
// inside a section.
TEST(ObjectMapRecovery, MapCutShort) {
    for (const char* name : {"example_r14.dwg", "example_2000.dwg"}) {
        SCOPED_TRACE(name);
        const auto intact = test::loadSample(name);
        if (!intact) GTEST_SKIP() << name << " is not in " CORVELIN_SAMPLES_DIR;
        Bytes damaged = *intact;
        // Locator record 2 (ODA §3.2.6): seeker at 0x2C, size at 0x30.
        const std::uint32_t size = rl(damaged, 0x30) / 2;
        for (int i = 0; i < 4; ++i) damaged[0x30 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
        // The locator CRC (ODA §3.2.6): seed 0, XOR a constant per record count.
        constexpr std::array<std::uint16_t, 4> kXor{0xA598, 0x8101, 0x3CC4, 0x8461};
        const std::uint32_t records = rl(damaged, 0x15);
        const std::size_t crcAt = 0x19 + 9 * records;
        const auto crc = static_cast<std::uint16_t>(crc16(0, std::span<const std::uint8_t>(damaged).first(crcAt)) ^
                                                    kXor[records - 3]);
        damaged[crcAt] = static_cast<std::uint8_t>(crc);
        damaged[crcAt + 1] = static_cast<std::uint8_t>(crc >> 8);
        expectRecovered(*intact, damaged, "object map: section at byte",
                        "the rest of the map is lost; recovered");
    }
}

// A flipped byte: in a section of the 2000 map (only that section is lost),
// and in the compressed page of 2004's AcDb:Handles (the whole map is lost).
TEST(ObjectMapRecovery, FlippedMapByte) {
    {
        LOAD_OR_SKIP(intact, "example_2000.dwg");
        Bytes damaged = intact;
        const std::uint32_t mapAt = rl(damaged, 0x2C);
        const auto sections = mapSections(std::span<const std::uint8_t>(damaged).subspan(mapAt, rl(damaged, 0x30)));
        ASSERT_GE(sections.size(), 2U);
        damaged[mapAt + sections[1] + 7] ^= 0x20;
        expectRecovered(intact, damaged, "object map: section at byte " + std::to_string(sections[1]) + ": CRC",
                        "object map: section at byte " + std::to_string(sections[1]) + ": CRC");
    }
    {
        LOAD_OR_SKIP(intact, "example_2004.dwg");
        // The page of AcDb:Handles: the one data page whose header (ODA
        // §4.6, XORed with 0x4164536B ^ its address) names its section.
        const DwgFile read = readDwgFile(intact);
        const auto* layout = dynamic_cast<const R2004Layout*>(read.layout.get());
        ASSERT_NE(layout, nullptr);
        const std::uint32_t handlesSection = layout->find("AcDb:Handles")->number;
        Bytes damaged = intact;
        std::size_t flipped = 0;
        for (std::size_t address = 0x100; address + 0x20 < damaged.size() && flipped == 0; address += 0x20) {
            const auto field = [&](std::size_t i) {
                return rl(damaged, address + 4 * i) ^ 0x4164536BU ^ static_cast<std::uint32_t>(address);
            };
            if (field(0) == 0x4163043BU && field(1) == handlesSection && field(2) > 16) flipped = address + 0x20 + field(2) / 2;
        }
        ASSERT_NE(flipped, 0U);
        damaged[flipped] ^= 0x01;
        expectRecovered(intact, damaged, "AcDb:Handles", "object map: AcDb:Handles");
    }
}

// ---------------------------------------------------------- the scan's rules

// A 2000 object: MS size, type, size in bits, own handle, `payload`, CRC.
Bytes object2000(std::uint64_t handle, std::uint8_t payload) {
    BitWriter data(Release::R2000);
    data.writeBS(1);
    // Where the handle stream starts: after the 10 bits of the type, these
    // 32, the 16 of the handle and 12 bytes.
    data.writeRL(10 + 32 + 16 + 96);
    data.writeH({0, handle});
    for (int i = 0; i < 12; ++i) data.writeRC(static_cast<std::uint8_t>(payload + i));
    BitWriter object(Release::R2000);
    object.writeMS(static_cast<std::uint32_t>(data.bytes().size()));
    object.writeBytes(data.bytes());
    Bytes bytes = object.takeBytes();
    const std::uint16_t crc = crc16(kCrc16Seed, bytes);
    bytes.push_back(static_cast<std::uint8_t>(crc));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    return bytes;
}

TEST(ObjectMapRecovery, ScanKeepsTheLastCopyOfTheHandlesItLooksFor) {
    // 5 and 20 are listed (20 wrongly, at 10's old copy); 10 was in a lost
    // section between them and was rewritten later; 40 is listed nowhere.
    const Bytes d = object2000(0x05, 1), oldA = object2000(0x10, 2), b = object2000(0x20, 3),
                newA = object2000(0x10, 4), stale = object2000(0x40, 5);
    Bytes region{0xCA, 0x0D, 0, 0};
    std::vector<std::int64_t> at;
    for (const Bytes* o : {&d, &oldA, &b, &newA, &stale}) {
        at.push_back(static_cast<std::int64_t>(region.size()));
        region.insert(region.end(), o->begin(), o->end());
    }
    ObjectMapReading map;
    map.entries = {{0x05, at[0]}, {0x20, at[1]}};
    map.lost = {{0x05, 0x20, "section at byte 9: CRC expected 1234, found 1235"}};
    DwgFile file;
    file.release = Release::R2000;
    const std::pair<std::size_t, std::size_t> area{4, region.size()};

    recoverObjects(region, 0, std::span(&area, 1), map, file);

    std::vector<std::uint64_t> handles;
    for (const ObjectLocation& o : file.objects) handles.push_back(o.handle);
    ASSERT_EQ(handles, (std::vector<std::uint64_t>{0x05, 0x20, 0x10}));  // in file order
    const auto kept = file.bytesOf(file.objects[2]);
    EXPECT_EQ(Bytes(kept.begin(), kept.end()), newA);
    EXPECT_TRUE(file.droppedObjects.empty());
    std::vector<std::string> problems;
    for (const Repair& r : file.repairs) problems.push_back(r.structure + ": " + r.problem);
    EXPECT_THAT(problems,
                ::testing::ElementsAre(
                    "object map: the entries of 1 handle do not point at objects of their handles (20 at " +
                        std::to_string(at[1]) + ": object 10 is there); recovered 1 object by scanning",
                    "object map: section at byte 9: CRC expected 1234, found 1235; recovered 1 object by scanning",
                    "object map: 1 handle was found more than once by scanning (10 at " + std::to_string(at[1]) +
                        " and " + std::to_string(at[3]) +
                        "); the last copy in file order is kept, as AutoCAD writes a changed object after its "
                        "older copy"));
}

}  // namespace
}  // namespace dwg
