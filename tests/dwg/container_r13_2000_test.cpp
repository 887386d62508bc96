// The R13-2000 container against the sample drawings (read, rewrite byte for
// byte, move sections and check every address independently), drawings made
// from scratch, damaged files and random damage.

#include "dwg/container/r13_2000.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "dwg/bits/bit_reader.h"
#include "dwg/bits/crc.h"
#include "dwg/container/dwg_file.h"
#include "dwg/container/object_map.h"
#include "dwg/errors.h"
#include "test_support.h"

namespace dwg {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::rl;
using test::rs;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

struct Sample {
    const char* name;
    Release release;
};
constexpr std::array<Sample, 6> kSamples{{{"example_r13.dwg", Release::R13},
                                          {"example_r14.dwg", Release::R14},
                                          {"example_2000.dwg", Release::R2000},
                                          {"entities-2d.dwg", Release::R2000},
                                          {"sample_2000.dwg", Release::R2000},
                                          {"text_2000.dwg", Release::R2000}}};

struct Loaded {
    Sample sample;
    Bytes bytes;
};

std::vector<Loaded> loadSamples() {
    std::vector<Loaded> loaded;
    for (const Sample& sample : kSamples) {
        if (auto bytes = test::loadSample(sample.name)) loaded.push_back({sample, std::move(*bytes)});
    }
    return loaded;
}

#define LOAD_SAMPLES_OR_SKIP(samples)                                                               \
    const std::vector<Loaded> samples = loadSamples();                                              \
    if ((samples).empty()) GTEST_SKIP() << "no R13-2000 sample drawings in " CORVELIN_SAMPLES_DIR;

// ODA §3.2.6, §14.2, §26.
constexpr std::array<std::uint8_t, 16> kImageStart{0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28,
                                                   0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};
constexpr std::array<std::uint8_t, 16> kSecondHeaderStart{0xD4, 0x7B, 0x21, 0xCE, 0x28, 0x93, 0x9F, 0xBF,
                                                          0x53, 0x24, 0x40, 0x09, 0x12, 0x3C, 0xAA, 0x01};

struct Locator {
    std::uint32_t seeker = 0;
    std::uint32_t size = 0;
};

std::vector<Locator> locators(const Bytes& file) {
    std::vector<Locator> records;
    for (std::uint32_t i = 0; i < rl(file, 0x15); ++i) records.push_back({rl(file, 0x1A + 9 * i), rl(file, 0x1E + 9 * i)});
    return records;
}

// Rewrites the locator CRC after a test changed a record (ODA §3.2.6: seed 0,
// XOR a constant per record count).
void fixLocatorCrc(Bytes& file) {
    constexpr std::array<std::uint16_t, 4> kXor{0xA598, 0x8101, 0x3CC4, 0x8461};
    const std::uint32_t count = rl(file, 0x15);
    const std::size_t at = 0x19 + 9 * count;
    const auto crc = static_cast<std::uint16_t>(crc16(0, std::span<const std::uint8_t>(file).first(at)) ^
                                                kXor[count - 3]);
    file[at] = static_cast<std::uint8_t>(crc);
    file[at + 1] = static_cast<std::uint8_t>(crc >> 8);
}

void setLocator(Bytes& file, std::size_t record, std::uint32_t seeker, std::uint32_t size) {
    for (int i = 0; i < 4; ++i) {
        file[0x1A + 9 * record + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(seeker >> (8 * i));
        file[0x1E + 9 * record + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    fixLocatorCrc(file);
}

std::size_t find(const Bytes& file, std::span<const std::uint8_t> what) {
    return static_cast<std::size_t>(std::search(file.begin(), file.end(), what.begin(), what.end()) - file.begin());
}

// The second header's own address and section list (ODA §26 with the
// errata), decoded here independently of the container.
struct SecondHeader {
    std::uint32_t location = 0;
    std::map<std::uint8_t, Locator> sections;
    std::map<std::uint8_t, std::uint64_t> handles;
};

SecondHeader parseSecondHeader(const Bytes& file, std::size_t at) {
    const std::uint32_t size = rl(file, at + 16);
    BitReader in(std::span<const std::uint8_t>(file).subspan(at + 20, size - 4), Release::R2000);
    SecondHeader header;
    header.location = static_cast<std::uint32_t>(in.readBL());
    for (int i = 0; i < 13; ++i) in.readRC();
    in.readBS();
    in.readRS();
    for (int i = in.readBS(); i > 0; --i) {
        const std::uint8_t id = in.readRC();
        const auto seeker = static_cast<std::uint32_t>(in.readBL());
        header.sections[id] = {seeker, static_cast<std::uint32_t>(in.readBL())};
    }
    for (int i = in.readBS(); i > 0; --i) {
        const std::uint8_t length = in.readRC();
        const std::uint8_t index = in.readRC();
        std::uint64_t value = 0;
        for (int b = 0; b < length; ++b) value = (value << 8) | in.readRC();
        header.handles[index] = value;
    }
    const auto streamEnd = static_cast<std::size_t>((in.bitPos() + 7) / 8);
    EXPECT_EQ(rs(file, at + 20 + streamEnd),
              crc16(kCrc16Seed, std::span<const std::uint8_t>(file).subspan(at + 16, 4 + streamEnd)));
    return header;
}

std::map<std::uint64_t, Bytes> objectsByHandle(const DwgFile& file) {
    std::map<std::uint64_t, Bytes> objects;
    for (const ObjectLocation& object : file.objects) {
        const auto bytes = file.bytesOf(object);
        objects[object.handle] = Bytes(bytes.begin(), bytes.end());
    }
    return objects;
}

void expectSameContent(const DwgFile& expected, const DwgFile& actual) {
    EXPECT_EQ(actual.release, expected.release);
    EXPECT_EQ(actual.codePage, expected.codePage);
    EXPECT_EQ(actual.headerVariables, expected.headerVariables);
    EXPECT_EQ(actual.classes, expected.classes);
    EXPECT_EQ(actual.objects.size(), expected.objects.size());
    EXPECT_TRUE(objectsByHandle(actual) == objectsByHandle(expected));
}

// An object as stored: MS size, data, CRC-16 (little-endian).
Bytes objectWithData(const Bytes& data) {
    Bytes bytes;
    if (data.size() < 0x8000) {
        bytes = {static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(data.size() >> 8)};
    } else {
        bytes = {static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(0x80 | ((data.size() >> 8) & 0x7F)),
                 static_cast<std::uint8_t>(data.size() >> 15), static_cast<std::uint8_t>(data.size() >> 23)};
    }
    bytes.insert(bytes.end(), data.begin(), data.end());
    const std::uint16_t crc = crc16(kCrc16Seed, bytes);
    bytes.push_back(static_cast<std::uint8_t>(crc));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    return bytes;
}

void replaceObject(DwgFile& file, std::size_t index, const Bytes& bytes) {
    file.objects[index].offset = static_cast<std::uint32_t>(file.objectBytes.size());
    file.objects[index].size = static_cast<std::uint32_t>(bytes.size());
    file.objectBytes.insert(file.objectBytes.end(), bytes.begin(), bytes.end());
}

DwgFile freshDrawing(Release release) {
    DwgFile file;
    file.release = release;
    file.codePage = 34;
    file.headerVariables = {0x12, 0x34, 0x56, 0x78, 0x9A};
    file.classes = {0xC1, 0xC2, 0xC3};
    std::uint8_t fill = 1;
    for (const std::uint64_t handle : {0x20ULL, 0x01ULL, 0x02ULL, 0x10ULL}) {
        file.objects.push_back({handle, 0, 0});
        replaceObject(file, file.objects.size() - 1, objectWithData(Bytes(5 + fill, fill)));
        ++fill;
    }
    return file;
}

// ------------------------------------------------------------------ samples

TEST(ContainerR13To2000, ReadsEverySampleWithEveryObjectOfItsMap) {
    LOAD_SAMPLES_OR_SKIP(samples);
    for (const Loaded& loaded : samples) {
        SCOPED_TRACE(loaded.sample.name);
        const Bytes& bytes = loaded.bytes;
        const DwgFile file = readDwgFile(bytes);
        const auto records = locators(bytes);

        EXPECT_EQ(file.release, loaded.sample.release);
        EXPECT_EQ(file.codePage, rs(bytes, 0x13));
        const auto map = readObjectMap(std::span<const std::uint8_t>(bytes).subspan(records[2].seeker, records[2].size));
        EXPECT_EQ(file.objects.size(), map.size());
        std::vector<std::uint64_t> mapHandles;
        for (const ObjectMapEntry& entry : map) mapHandles.push_back(entry.handle);
        std::vector<std::uint64_t> handles;
        for (const ObjectLocation& object : file.objects) handles.push_back(object.handle);
        std::sort(handles.begin(), handles.end());
        EXPECT_EQ(handles, mapHandles);

        // The sections' data: after the 16-byte sentinel and the RL size.
        EXPECT_EQ(file.headerVariables.size(), rl(bytes, records[0].seeker + 16));
        EXPECT_TRUE(std::equal(file.headerVariables.begin(), file.headerVariables.end(),
                               bytes.begin() + records[0].seeker + 20));
        EXPECT_EQ(file.classes.size(), rl(bytes, records[1].seeker + 16));
        EXPECT_TRUE(std::equal(file.classes.begin(), file.classes.end(), bytes.begin() + records[1].seeker + 20));
        EXPECT_NE(dynamic_cast<const R13Layout*>(file.layout.get()), nullptr);
    }
}

TEST(ContainerR13To2000, UntouchedSamplesAreWrittenBackByteForByte) {
    LOAD_SAMPLES_OR_SKIP(samples);
    for (const Loaded& loaded : samples) {
        SCOPED_TRACE(loaded.sample.name);
        const Bytes written = writeDwgFile(readDwgFile(loaded.bytes));
        ASSERT_EQ(written.size(), loaded.bytes.size());
        const auto differ = std::mismatch(written.begin(), written.end(), loaded.bytes.begin());
        EXPECT_EQ(differ.first, written.end()) << "first difference at byte " << (differ.first - written.begin());
    }
}

TEST(ContainerR13To2000, RewrittenSamplesReadBackEqualAndWriteStably) {
    LOAD_SAMPLES_OR_SKIP(samples);
    for (const Loaded& loaded : samples) {
        SCOPED_TRACE(loaded.sample.name);
        DwgFile file = readDwgFile(loaded.bytes);
        // Put the last object first so that every object moves.
        std::rotate(file.objects.rbegin(), file.objects.rbegin() + 1, file.objects.rend());
        const Bytes written = writeDwgFile(file);
        const DwgFile back = readDwgFile(written);
        expectSameContent(file, back);
        EXPECT_EQ(back.objects.front().handle, file.objects.front().handle);
        EXPECT_EQ(writeDwgFile(back), written);
    }
}

TEST(ContainerR13To2000, MovedSectionsKeepEveryAddressRight) {
    LOAD_SAMPLES_OR_SKIP(samples);
    for (const Loaded& loaded : samples) {
        SCOPED_TRACE(loaded.sample.name);
        const Bytes& original = loaded.bytes;
        DwgFile file = readDwgFile(original);
        // 100 more bytes before the image, 16 more header variable bytes and
        // the first object 1000 bytes longer: every section moves.
        auto layout = std::make_shared<R13Layout>(dynamic_cast<const R13Layout&>(*file.layout));
        layout->pieces.insert(layout->pieces.begin() + 1, {R13Part::Filler, Bytes(100, 0x5A)});
        file.layout = layout;
        file.headerVariables.insert(file.headerVariables.end(), 16, 0xA5);
        const auto first = file.bytesOf(file.objects.front());
        const std::size_t dataSize = (first[1] & 0x80) != 0 ? 4 : 2;
        Bytes data(first.begin() + static_cast<std::ptrdiff_t>(dataSize), first.end() - 2);
        data.resize(data.size() + 1000, 0);
        const Bytes grown = objectWithData(data);
        replaceObject(file, 0, grown);

        const Bytes written = writeDwgFile(file);
        const DwgFile back = readDwgFile(written);
        expectSameContent(file, back);
        const auto records = locators(written);
        const auto oldRecords = locators(original);

        // The image moved by 100 bytes with its entries' addresses.
        const std::uint32_t image = rl(written, 0x0D);
        EXPECT_EQ(image, rl(original, 0x0D) + 100);
        EXPECT_TRUE(std::equal(kImageStart.begin(), kImageStart.end(), written.begin() + image));
        for (std::size_t entry = 0; entry < written[image + 20]; ++entry) {
            const std::size_t at = image + 21 + 9 * entry;
            EXPECT_EQ(rl(written, at + 1), rl(original, at - 100 + 1) + 100);
        }

        // The second header names its own place and the sections before it;
        // those after it are 0/0, as AutoCAD writes them.
        const std::size_t second = find(written, kSecondHeaderStart);
        ASSERT_LT(second, written.size());
        const SecondHeader header = parseSecondHeader(written, second);
        EXPECT_EQ(header.location, second);
        for (const auto& [id, section] : header.sections) {
            ASSERT_LT(id, records.size());
            if (records[id].size != 0 && records[id].seeker < second) {
                EXPECT_EQ(section.seeker, records[id].seeker) << "section " << int{id};
                EXPECT_EQ(section.size, records[id].size) << "section " << int{id};
            } else {
                EXPECT_EQ(section.seeker, 0U) << "section " << int{id};
                EXPECT_EQ(section.size, 0U) << "section " << int{id};
            }
        }
        EXPECT_EQ(records[2].seeker, oldRecords[2].seeker + 100 + 16 + 1000);

        // ObjFreeSpace points at the objects where the sample's did.
        if (records.size() > 3 && records[3].size != 0 && rl(original, oldRecords[3].seeker + 16) != 0) {
            const auto map = readObjectMap(std::span<const std::uint8_t>(written).subspan(records[2].seeker, records[2].size));
            std::int64_t objects = map.front().location;
            for (const ObjectMapEntry& entry : map) objects = std::min(objects, entry.location);
            EXPECT_EQ(rl(written, records[3].seeker + 16), static_cast<std::uint64_t>(objects));
        }
    }
}

TEST(ContainerR13To2000, RemovedObjectLeavesTheMap) {
    LOAD_SAMPLES_OR_SKIP(samples);
    const Loaded& loaded = samples.front();
    DwgFile file = readDwgFile(loaded.bytes);
    const std::uint64_t removed = file.objects[file.objects.size() / 2].handle;
    file.objects.erase(file.objects.begin() + static_cast<std::ptrdiff_t>(file.objects.size() / 2));

    const DwgFile back = readDwgFile(writeDwgFile(file));
    EXPECT_EQ(back.objects.size(), file.objects.size());
    EXPECT_EQ(objectsByHandle(back).count(removed), 0U);
}

// ------------------------------------------------------------ fresh files

TEST(ContainerR13To2000, FreshDrawingsReadBackEqual) {
    for (const Release release : {Release::R13, Release::R14, Release::R2000}) {
        SCOPED_TRACE(std::string(releaseName(release)));
        const DwgFile file = freshDrawing(release);
        const Bytes written = writeDwgFile(file);
        const DwgFile back = readDwgFile(written);
        expectSameContent(file, back);
        EXPECT_EQ(writeDwgFile(file), written);
        EXPECT_EQ(writeDwgFile(back), written);
    }
}

TEST(ContainerR13To2000, FreshDrawingHasAutoCadsSections) {
    for (const Release release : {Release::R13, Release::R14, Release::R2000}) {
        SCOPED_TRACE(std::string(releaseName(release)));
        const Bytes written = writeDwgFile(freshDrawing(release));
        const auto records = locators(written);
        ASSERT_EQ(records.size(), release == Release::R2000 ? 6U : 5U);
        EXPECT_EQ(rs(written, 0x13), 34);

        // An image section that says it holds no images.
        const std::uint32_t image = rl(written, 0x0D);
        ASSERT_GT(image, 0U);
        EXPECT_TRUE(std::equal(kImageStart.begin(), kImageStart.end(), written.begin() + image));
        EXPECT_EQ(rl(written, image + 16), 1U);
        EXPECT_EQ(written[image + 20], 0);

        // The template with MEASUREMENT.
        EXPECT_EQ(records[4].size, 4U);

        // The second header after the ObjFreeSpace (R13) or the object map,
        // with HANDSEED one past the largest handle (0x20).
        const std::size_t second = find(written, kSecondHeaderStart);
        const std::size_t expected = release == Release::R13 ? records[3].seeker + records[3].size
                                                             : records[2].seeker + records[2].size;
        EXPECT_EQ(second, expected);
        const SecondHeader header = parseSecondHeader(written, second);
        EXPECT_EQ(header.location, second);
        EXPECT_EQ(header.handles.at(0), 0x21U);
        EXPECT_EQ(header.handles.size(), 14U);

        if (release == Release::R2000) {
            // The aux header right after the file header: FF 77 01, AC1015 = 23,
            // HANDSEED at 79.
            EXPECT_EQ(records[5].seeker, 0x61U);
            EXPECT_EQ(records[5].size, 123U);
            EXPECT_EQ(Bytes(written.begin() + 0x61, written.begin() + 0x64), (Bytes{0xFF, 0x77, 0x01}));
            EXPECT_EQ(rs(written, 0x61 + 3), 23);
            EXPECT_EQ(rl(written, 0x61 + 79), 0x21U);
        }
        if (release == Release::R13) {
            // ObjFreeSpace: 53 bytes holding the objects' start at 16.
            EXPECT_EQ(records[3].size, 53U);
            const auto map = readObjectMap(std::span<const std::uint8_t>(written).subspan(records[2].seeker, records[2].size));
            std::int64_t objects = map.front().location;
            for (const ObjectMapEntry& entry : map) objects = std::min(objects, entry.location);
            EXPECT_EQ(rl(written, records[3].seeker + 16), static_cast<std::uint64_t>(objects));
        } else {
            EXPECT_EQ(records[3].size, 0U);
        }
    }
}

TEST(ContainerR13To2000, FreshDrawingWithoutObjectsReadsBack) {
    DwgFile file;
    file.headerVariables = {1};
    const DwgFile back = readDwgFile(writeDwgFile(file));
    expectSameContent(file, back);
}

TEST(ContainerR13To2000, ObjectsOutsideTheirBytesAreRefused) {
    DwgFile file = freshDrawing(Release::R2000);
    file.objects.back().size = 1000;
    EXPECT_THROW(writeDwgFile(file), std::invalid_argument);
}

// ------------------------------------------------------- damaged files

class DamagedR2000 : public ::testing::Test {
protected:
    Bytes bytes = writeDwgFile(freshDrawing(Release::R2000));
    std::vector<Locator> records = locators(bytes);
    void read() const { readDwgFile(bytes); }
};

TEST_F(DamagedR2000, HeaderVariablesByteFlipIsACrcError) {
    bytes[records[0].seeker + 20 + 2] ^= 0x08;
    EXPECT_THAT([&] { read(); }, ThrowsMessage<FormatError>(AllOf(HasSubstr("AcDb:Header"), HasSubstr("CRC"))));
}

TEST_F(DamagedR2000, ClassesByteFlipIsACrcError) {
    bytes[records[1].seeker + 20] ^= 0x01;
    EXPECT_THAT([&] { read(); }, ThrowsMessage<FormatError>(AllOf(HasSubstr("AcDb:Classes"), HasSubstr("CRC"))));
}

TEST_F(DamagedR2000, LocatorByteFlipIsACrcError) {
    bytes[0x1A + 9 * 4] ^= 0x01;
    EXPECT_THAT([&] { read(); },
                ThrowsMessage<FormatError>(HasSubstr("file header: section locator CRC expected")));
}

TEST_F(DamagedR2000, LocatorPastTheEndIsNamed) {
    setLocator(bytes, 2, 12345678, 10);
    EXPECT_THAT([&] { read(); },
                ThrowsMessage<FormatError>(HasSubstr("section locator 2: seeker 12345678 past the end of the file (" +
                                                     std::to_string(bytes.size()) + " bytes)")));
}

TEST_F(DamagedR2000, TruncatedFileSaysWhereItEnds) {
    const Bytes whole = bytes;
    bytes.resize(20);
    EXPECT_THAT([&] { read(); }, ThrowsMessage<FormatError>(HasSubstr("file header: expected 25 bytes, found 20")));
    bytes = whole;
    bytes.resize(60);
    EXPECT_THAT([&] { read(); },
                ThrowsMessage<FormatError>(HasSubstr("file header: expected 97 bytes for 6 section locators, found 60")));
    bytes = whole;
    bytes.resize(records[2].seeker + 3);
    EXPECT_THAT([&] { read(); },
                ThrowsMessage<FormatError>(AllOf(HasSubstr("section locator 2"), HasSubstr("past the end of the file"))));
}

TEST_F(DamagedR2000, ObjectByteFlipNamesTheObject) {
    const auto map = readObjectMap(std::span<const std::uint8_t>(bytes).subspan(records[2].seeker, records[2].size));
    const auto object = std::find_if(map.begin(), map.end(), [](const ObjectMapEntry& e) { return e.handle == 0x10; });
    ASSERT_NE(object, map.end());
    bytes[static_cast<std::size_t>(object->location) + 3] ^= 0x40;
    EXPECT_THAT([&] { read(); }, ThrowsMessage<FormatError>(AllOf(HasSubstr("objects: object 10 at"), HasSubstr("CRC"))));
}

// Each redundant structure damaged alone (flipped, cut or missing): the
// drawing reads with one repair naming the structure, and its save reads
// back with the same content and nothing left to repair.
TEST_F(DamagedR2000, DamagedRedundantStructuresAreRepaired) {
    const DwgFile intact = readDwgFile(bytes);
    ASSERT_TRUE(intact.repairs.empty());
    const std::size_t second = records[2].seeker + records[2].size;
    const std::uint32_t image = rl(bytes, 0x0D);
    struct Damage {
        const char* what;
        std::function<void(Bytes&)> apply;
        const char* structure;
    };
    const std::vector<Damage> damages{
        {"second header flipped", [&](Bytes& b) { b[second + 16 + 4 + 8] ^= 0x02; }, "second file header"},
        // LibreDWG's habit: a size that does not reach the end sentinel.
        {"second header cut", [&](Bytes& b) { b[second + 16] -= 14; }, "second file header"},
        {"second header missing", [&](Bytes& b) { b[second] ^= 0xFF; }, "second file header"},
        {"preview sentinel flipped", [&](Bytes& b) { b[image + 5] ^= 0xFF; }, "preview image"},
        {"preview size wrong", [&](Bytes& b) { b[image + 16] += 5; }, "preview image"},
        {"preview seeker past the end",
         [&](Bytes& b) {
             for (int i = 0; i < 4; ++i) b[0x0D + static_cast<std::size_t>(i)] = 0xEE;
             fixLocatorCrc(b);
         },
         "preview image"},
        {"aux header past the end", [&](Bytes& b) { setLocator(b, 5, records[5].seeker, 0x7FFFFFF); }, "AcDb:AuxHeader"},
        {"aux header missing", [&](Bytes& b) { setLocator(b, 5, 0, 0); }, "AcDb:AuxHeader"},
        {"template inside the classes", [&](Bytes& b) { setLocator(b, 4, records[1].seeker + 2, 4); }, "AcDb:Template"},
        {"template past the end", [&](Bytes& b) { setLocator(b, 4, 0x7FFFFFF, 4); }, "AcDb:Template"},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        Bytes damaged = bytes;
        damage.apply(damaged);
        const DwgFile file = readDwgFile(damaged);
        ASSERT_EQ(file.repairs.size(), 1u);
        EXPECT_EQ(file.repairs.front().structure, damage.structure);
        EXPECT_FALSE(file.repairs.front().problem.empty());
        expectSameContent(intact, file);
        const DwgFile saved = readDwgFile(writeDwgFile(file));
        EXPECT_TRUE(saved.repairs.empty()) << saved.repairs.front().structure << ": " << saved.repairs.front().problem;
        expectSameContent(intact, saved);
    }
}

// Random damage: every outcome is a clean read (and then a clean write) or
// one of the engine's two exceptions, never a crash, a hang or another
// exception.
TEST(ContainerR13To2000, RandomDamageGivesCleanErrors) {
    LOAD_SAMPLES_OR_SKIP(samples);
    std::mt19937 random(20240611);
    for (const Loaded& loaded : samples) {
        SCOPED_TRACE(loaded.sample.name);
        const std::span<const std::uint8_t> whole(loaded.bytes);
        auto tryRead = [](std::span<const std::uint8_t> bytes) {
            DwgFile file;
            try {
                file = readDwgFile(bytes);
            } catch (const FormatError&) {
                return;
            } catch (const UnsupportedRelease&) {
                return;
            }
            readDwgFile(writeDwgFile(file));
        };
        std::uniform_int_distribution<std::size_t> anywhere(0, whole.size() - 1);
        for (int i = 0; i < 200; ++i) EXPECT_NO_THROW(tryRead(whole.first(anywhere(random))));

        Bytes bytes = loaded.bytes;
        std::uniform_int_distribution<int> mask(1, 255);
        for (int i = 0; i < 300; ++i) {
            const std::size_t at = anywhere(random);
            bytes[at] ^= static_cast<std::uint8_t>(mask(random));
            EXPECT_NO_THROW(tryRead(bytes)) << "flip at " << at;
            bytes[at] = loaded.bytes[at];
        }
    }
}

TEST(ContainerR13To2000, LargeDrawingReadsAndWritesQuickly) {
    // 200,000 objects of 100 data bytes: a 20 MB file.
    DwgFile file;
    file.headerVariables.assign(600, 0x11);
    file.classes.assign(2000, 0x22);
    file.objects.reserve(200000);
    file.objectBytes.reserve(200000 * 104);
    Bytes data(100);
    for (std::uint64_t handle = 1; handle <= 200000; ++handle) {
        std::fill(data.begin(), data.end(), static_cast<std::uint8_t>(handle));
        file.objects.push_back({handle * 3, 0, 0});
        replaceObject(file, file.objects.size() - 1, objectWithData(data));
    }

    const auto t0 = std::chrono::steady_clock::now();
    const Bytes written = writeDwgFile(file);
    const auto t1 = std::chrono::steady_clock::now();
    const DwgFile back = readDwgFile(written);
    const auto t2 = std::chrono::steady_clock::now();

    ASSERT_EQ(back.objects.size(), file.objects.size());
    EXPECT_EQ(back.objectBytes, file.objectBytes);
    const double writeMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
    const double readMs = std::chrono::duration<double, std::milli>(t2 - t1).count();
    RecordProperty("write_ms", std::to_string(writeMs));
    RecordProperty("read_ms", std::to_string(readMs));
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
    // A generous bound that only catches work growing faster than the file.
    EXPECT_LT(writeMs, 500.0);
    EXPECT_LT(readMs, 500.0);
#endif
}

}  // namespace
}  // namespace dwg
