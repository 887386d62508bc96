// The 2007 container: every 2007 sample read, its objects checked byte for
// byte (MS size, own handle, CRC-16) and against the entities of the DXF
// twins, and damaged files.

#include "dwg/container/r2007.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dwg/bits/bit_reader.h"
#include "dwg/bits/crc.h"
#include "dwg/container/dwg_file.h"
#include "dwg/container/sentinels.h"
#include "dwg/errors.h"
#include "dwg/objects/classes.h"
#include "dwg/objects/registry.h"
#include "test_support.h"

namespace dwg {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using ::testing::ThrowsMessage;
using Bytes = std::vector<std::uint8_t>;
using test::rl;

// Every 2007 drawing of the samples, as names for loadSample.
std::vector<std::string> samples() {
    std::vector<std::string> names{"example_2007.dwg", "text_2007.dwg"};
    const std::filesystem::path series = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / "series" / "2007";
    std::vector<std::string> more;
    if (std::filesystem::is_directory(series))
        for (const auto& entry : std::filesystem::directory_iterator(series))
            if (entry.path().extension() == ".dwg") more.push_back("series/2007/" + entry.path().filename().string());
    std::sort(more.begin(), more.end());
    names.insert(names.end(), more.begin(), more.end());
    return names;
}

const R2007Layout& layoutOf(const DwgFile& file) {
    const auto* layout = dynamic_cast<const R2007Layout*>(file.layout.get());
    if (layout == nullptr) throw std::logic_error("not a 2007 layout");
    return *layout;
}

// ODA §2.7 (MS), §20.1: the stored object's data, or empty where its MS
// size and CRC do not frame it exactly.
std::span<const std::uint8_t> objectData(std::span<const std::uint8_t> stored) {
    std::size_t at = 0;
    std::uint64_t size = 0;
    for (unsigned shift = 0; at + 2 <= stored.size(); shift += 15) {
        const unsigned module = stored[at] | (stored[at + 1] << 8);
        at += 2;
        size |= std::uint64_t{module & 0x7FFFU} << shift;
        if ((module & 0x8000U) == 0) break;
    }
    if (at + size + 2 != stored.size()) return {};
    if (crc16(kCrc16Seed, stored.first(stored.size() - 2)) != test::rs(stored, stored.size() - 2)) return {};
    return stored.subspan(at, size);
}

// The entities of a DXF twin's ENTITIES section: handle and type.
std::map<std::uint64_t, std::string> twinEntities(const std::string& dxf) {
    std::ifstream in(std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / dxf, std::ios::binary);
    std::map<std::uint64_t, std::string> entities;
    std::string code, value, type, previous;
    bool inEntities = false;
    auto trim = [](std::string s) {
        s.erase(0, s.find_first_not_of(" \r"));
        s.erase(s.find_last_not_of(" \r") + 1);
        return s;
    };
    while (std::getline(in, code) && std::getline(in, value)) {
        code = trim(code);
        value = trim(value);
        if (code == "2" && previous == "SECTION") inEntities = value == "ENTITIES";
        if (code == "0") {
            previous = value;
            type = value;
        }
        if (inEntities && code == "5") entities.emplace(std::stoull(value, nullptr, 16), type);
    }
    return entities;
}

TEST(Container2007, ReadsEverySample) {
    int read = 0;
    for (const std::string& name : samples()) {
        SCOPED_TRACE(name);
        const auto bytes = test::loadSample(name);
        if (!bytes) GTEST_SKIP() << name << " is not in " << CORVELIN_SAMPLES_DIR;
        const DwgFile file = readDwgFile(*bytes);
        ++read;
        EXPECT_EQ(file.release, Release::R2007);
        EXPECT_EQ(file.codePage, 30);  // $DWGCODEPAGE ANSI_1252 in the DXF twins
        EXPECT_TRUE(file.repairs.empty()) << file.repairs.front().structure << ": " << file.repairs.front().problem;
        EXPECT_TRUE(file.droppedObjects.empty());

        // The header variables and classes start with their size in bits
        // (ODA §5.8, §5.9), which their bytes hold.
        ASSERT_GE(file.headerVariables.size(), 4u);
        EXPECT_LE(rl(file.headerVariables, 0), 8 * file.headerVariables.size());
        EXPECT_GT(rl(file.headerVariables, 0), 8 * file.headerVariables.size() / 2);
        ASSERT_GE(file.classes.size(), 8u);
        EXPECT_LE(rl(file.classes, 0), 8 * file.classes.size());
        BitReader classes(std::span<const std::uint8_t>(file.classes).subspan(4), Release::R2007);
        const auto maxClassNumber = static_cast<std::uint32_t>(classes.readBL());
        EXPECT_GE(maxClassNumber, 500u);
        EXPECT_LT(maxClassNumber, 1000u);

        // Every object: its MS size and CRC frame its bytes exactly, its data
        // starts with a type (a fixed one or a class's), its size in bits
        // and its own handle (ODA §20.1). This holds only where every page
        // was decoded and decompressed byte for byte.
        ASSERT_GT(file.objects.size(), 200u);
        std::set<std::uint64_t> handles;
        for (const ObjectLocation& object : file.objects) {
            SCOPED_TRACE("object " + std::to_string(object.handle));
            ASSERT_LE(object.offset + std::uint64_t{object.size}, file.objectBytes.size());
            const auto data = objectData(file.bytesOf(object));
            ASSERT_FALSE(data.empty());
            BitReader in(data, Release::R2007);
            const auto type = static_cast<std::uint16_t>(in.readBS());
            EXPECT_TRUE(type < 500 ? type > 0 : type <= maxClassNumber) << "type " << type;
            EXPECT_LE(in.readRL(), 8 * data.size());
            EXPECT_EQ(in.readH().value, object.handle);
            EXPECT_TRUE(handles.insert(object.handle).second);
        }

        const R2007Layout& layout = layoutOf(file);
        for (const char* section : {"AcDb:Header", "AcDb:Classes", "AcDb:Handles", "AcDb:AcDbObjects",
                                    "AcDb:SummaryInfo", "AcDb:Preview", "AcDb:AppInfo", "AcDb:AuxHeader"})
            EXPECT_NE(layout.find(section), nullptr) << section;
        EXPECT_EQ(layout.objectsPrefix, 0x0DCAu);
        EXPECT_TRUE(layout.headerTrailer.empty());
        EXPECT_EQ(layout.classesTrailer, Bytes(8, 0));
        // The informational sections keep their bytes: SummaryInfo (ODA §13)
        // starts with its title, an RS count of UTF-16 units.
        const R2007Section* summary = layout.find("AcDb:SummaryInfo");
        ASSERT_GE(summary->data.size(), 2u);
        EXPECT_LE(2 + 2 * std::size_t{test::rs(summary->data, 0)}, summary->data.size());

        // The preview, its addresses relative to its start (ODA §14.2): the
        // BMP entry points at a BITMAPINFOHEADER, which starts with its size.
        const Bytes& preview = file.previewImage;
        ASSERT_GT(preview.size(), 37u);
        EXPECT_TRUE(std::equal(kPreviewStart.begin(), kPreviewStart.end(), preview.begin()));
        EXPECT_TRUE(std::equal(kPreviewEnd.begin(), kPreviewEnd.end(), preview.end() - 16));
        bool bitmap = false;
        for (std::size_t i = 0; i < preview[20]; ++i) {
            const std::size_t entry = 21 + 9 * i;
            if (preview[entry] != 2) continue;
            const std::uint32_t start = rl(preview, entry + 1);
            ASSERT_LE(start + std::uint64_t{rl(preview, entry + 5)}, preview.size() - 16);
            EXPECT_EQ(rl(preview, start), 40u);
            bitmap = true;
        }
        EXPECT_TRUE(bitmap);

        // AcDb:AppInfo names the program where it holds the product (ODA
        // §16.2), else the file header does; 2007 is not written.
        EXPECT_EQ(writerOf(file), name == "example_2007.dwg" ? "AutoCAD 22.0.48.M.294"
                                                              : "a program of AC1027 (2013), maintenance 8");
        EXPECT_THROW(writeDwgFile(file), UnsupportedRelease);
    }
    EXPECT_GE(read, 3);
}

// The entities of each DXF twin are objects of the drawing, of the same
// type where it is a fixed one.
TEST(Container2007, EntitiesAgreeWithTheDxfTwins) {
    int compared = 0;
    for (const std::string& name : samples()) {
        const std::string dxf = name.substr(0, name.size() - 4) + ".dxf";
        const auto bytes = test::loadSample(name);
        if (!bytes || !std::filesystem::exists(std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / dxf)) continue;
        SCOPED_TRACE(name);
        const DwgFile file = readDwgFile(*bytes);
        std::map<std::uint64_t, std::uint16_t> types;
        for (const ObjectLocation& object : file.objects) {
            BitReader in(objectData(file.bytesOf(object)), Release::R2007);
            types[object.handle] = static_cast<std::uint16_t>(in.readBS());
        }
        const auto entities = twinEntities(dxf);
        EXPECT_FALSE(entities.empty());
        for (const auto& [handle, type] : entities) {
            SCOPED_TRACE(type + " " + std::to_string(handle));
            const auto found = types.find(handle);
            ASSERT_NE(found, types.end());
            if (found->second >= 500) continue;
            const ObjectKind* kind = findObjectKind(found->second, ClassList{});
            ASSERT_NE(kind, nullptr) << "type " << found->second;
            // The DXF names every dimension DIMENSION.
            EXPECT_THAT(std::string(kind->dxfName), StartsWith(type));
            ++compared;
        }
    }
    EXPECT_GT(compared, 50);
}

TEST(Container2007, DamagedDataPagesNameSectionAndPage) {
    const auto bytes = test::loadSample("text_2007.dwg");
    if (!bytes) GTEST_SKIP() << "text_2007.dwg is not in " << CORVELIN_SAMPLES_DIR;
    const DwgFile intact = readR2007(*bytes);
    const R2007Layout& layout = layoutOf(intact);

    // The first data byte of a page of the object map.
    const R2007Page& handles = layout.find("AcDb:Handles")->pages.at(0);
    Bytes damaged = *bytes;
    damaged.at(handles.address) ^= 0x01;
    EXPECT_THAT([&] { readR2007(damaged); },
                ThrowsMessage<FormatError>(StartsWith("AcDb:Handles page " + std::to_string(handles.id) + ": ")));
    // Recovery scans the objects instead.
    const DwgFile recovered = readR2007(damaged, {.recoverObjectMap = true});
    EXPECT_EQ(recovered.objects.size(), intact.objects.size());
    EXPECT_EQ(recovered.objectBytes, intact.objectBytes);
    ASSERT_FALSE(recovered.repairs.empty());
    EXPECT_EQ(recovered.repairs.back().structure, "object map");

    // A byte of an object page's data: the page checksum finds it.
    const R2007Page& objects = layout.find("AcDb:AcDbObjects")->pages.at(0);
    damaged = *bytes;
    damaged.at(objects.address + 3 * 40) ^= 0x20;
    EXPECT_THAT([&] { readR2007(damaged); },
                ThrowsMessage<FormatError>(StartsWith("AcDb:AcDbObjects page " + std::to_string(objects.id) + ": ")));

    // A parity byte: the data is taken as it is, so nothing changes.
    const std::uint64_t codewords = ((handles.compressedSize + 7) / 8 * 8 + 250) / 251;
    damaged = *bytes;
    damaged.at(handles.address + 252 * codewords) ^= 0xFF;
    EXPECT_EQ(readR2007(damaged).objectBytes, intact.objectBytes);

    // A redundant section: a repair naming it, and the drawing reads.
    const R2007Page& summary = layout.find("AcDb:SummaryInfo")->pages.at(0);
    damaged = *bytes;
    damaged.at(summary.address + 2) ^= 0x01;
    const DwgFile repaired = readR2007(damaged);
    ASSERT_EQ(repaired.repairs.size(), 1u);
    EXPECT_EQ(repaired.repairs.front().structure, "AcDb:SummaryInfo");
    EXPECT_THAT(repaired.repairs.front().problem,
                AllOf(StartsWith("page " + std::to_string(summary.id) + ": "), HasSubstr("page checksum")));
    EXPECT_TRUE(layoutOf(repaired).find("AcDb:SummaryInfo")->data.empty());
    EXPECT_EQ(repaired.objectBytes, intact.objectBytes);
}

TEST(Container2007, DamagedHeadersAreReported) {
    const auto bytes = test::loadSample("text_2007.dwg");
    if (!bytes) GTEST_SKIP() << "text_2007.dwg is not in " << CORVELIN_SAMPLES_DIR;
    // The compressed length in the file header's codewords (data byte 0x18
    // of the first codeword sits at 0x80 + 3 * 0x18).
    Bytes damaged = *bytes;
    damaged.at(0x80 + 3 * 0x18) = 0xF0;
    damaged.at(0x80 + 3 * 0x19) = 0x7F;
    EXPECT_THAT([&] { readR2007(damaged); }, ThrowsMessage<FormatError>(StartsWith("file header: ")));
    damaged = *bytes;
    damaged.at(0x18) = 0x02;  // security flags: the preview and properties encrypted
    EXPECT_THAT([&] { readR2007(damaged); }, ThrowsMessage<UnsupportedRelease>(HasSubstr("password protected")));
}

TEST(Container2007, TruncatedFilesAreReported) {
    const auto bytes = test::loadSample("text_2007.dwg");
    if (!bytes) GTEST_SKIP() << "text_2007.dwg is not in " << CORVELIN_SAMPLES_DIR;
    for (const std::size_t size : {std::size_t{0x40}, std::size_t{0x47F}, std::size_t{0x480}, bytes->size() / 2,
                                   bytes->size() - 1}) {
        const Bytes cut(bytes->begin(), bytes->begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_THAT([&] { readR2007(cut); }, ThrowsMessage<FormatError>(StartsWith("file header: ")))
            << "cut at " << size;
    }
}

// Cut and flipped samples read cleanly or fail with one of the engine's two
// exceptions: no crash, hang or other exception.
TEST(Container2007, SurvivesDamage) {
    for (const char* name : {"example_2007.dwg", "text_2007.dwg"}) {
        SCOPED_TRACE(name);
        const auto bytes = test::loadSample(name);
        if (!bytes) GTEST_SKIP() << name << " is not in " << CORVELIN_SAMPLES_DIR;
        std::mt19937 random(name[0] == 'e' ? 1007 : 2007);
        for (int i = 0; i < 100; ++i) {
            const std::size_t size = random() % bytes->size();
            const Bytes cut(bytes->begin(), bytes->begin() + static_cast<std::ptrdiff_t>(size));
            EXPECT_THROW(readR2007(cut), FormatError) << "cut at " << size;
        }
        Bytes damaged = *bytes;
        for (int i = 0; i < 300; ++i) {
            // Half of the flips aim at the file header and the system pages
            // at the end, where one byte matters most.
            const std::size_t tail = std::min<std::size_t>(0x3000, bytes->size());
            std::size_t at = random() % bytes->size();
            if (i % 4 == 1) at = 0x80 + random() % 0x300;
            if (i % 4 == 3) at = bytes->size() - 1 - random() % tail;
            const auto mask = static_cast<std::uint8_t>(1U << (random() % 8));
            damaged[at] ^= mask;
            for (const bool recover : {false, true}) {
                try {
                    readR2007(damaged, {.recoverObjectMap = recover});
                } catch (const FormatError&) {
                } catch (const UnsupportedRelease&) {
                }
            }
            damaged[at] ^= mask;
        }
    }
}

}  // namespace
}  // namespace dwg
