// The 2004 container, which 2010, 2013 and 2018 files keep (ODA §4, §6-§8):
// the samples read against a small independent walk of their page map and
// section map, written back without loss, files made from scratch, and
// damaged files.

#include "dwg/container/r2004.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "dwg/bits/bit_writer.h"
#include "dwg/bits/crc.h"
#include "dwg/container/compression_2004.h"
#include "dwg/container/dwg_file.h"
#include "dwg/container/object_map.h"
#include "dwg/container/preview_section.h"
#include "dwg/container/sentinels.h"
#include "dwg/container/summary_info.h"
#include "dwg/errors.h"
#include "support/little_endian.h"
#include "test_support.h"

namespace dwg {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;
using test::rl;
using test::rs;

// One drawing of each kind and release, by AutoCAD and (text_2018) the ODA.
const std::vector<std::string> kSamples{"example_2004.dwg", "text_2004.dwg", "example_2010.dwg", "text_2010.dwg",
                                        "example_2013.dwg", "text_2013.dwg",  "example_2018.dwg", "text_2018.dwg",
                                        "sample_2018.dwg"};

// kSamples and the series of small drawings of each release.
std::vector<std::string> allSamples() {
    std::vector<std::string> names = kSamples;
    const std::filesystem::path series = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / "series";
    for (const char* release : {"2004", "2010", "2013", "2018"}) {
        std::error_code error;
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(series / release, error)) {
            if (entry.path().extension() == ".dwg")
                found.push_back(std::string("series/") + release + "/" + entry.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        names.insert(names.end(), found.begin(), found.end());
    }
    return names;
}

Release releaseOf(const std::vector<std::uint8_t>& file) {
    return releaseFromVersionString(std::string(file.begin(), file.begin() + 6));
}

// ODA §9, §10.2: from 2010 on a second RL follows the size of AcDb:Header
// and AcDb:Classes when the maintenance version (byte 0x0B) is above 3, and
// always in 2018.
bool hasSecondSizeField(const std::vector<std::uint8_t>& file) {
    const Release release = releaseOf(file);
    return release == Release::R2018 || (release >= Release::R2010 && file[0x0B] > 3);
}

// ODA §4.1: the generator whose bytes mask the header data at 0x80.
std::vector<std::uint8_t> magic(std::size_t count) {
    std::vector<std::uint8_t> bytes;
    std::uint32_t seed = 1;
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 0x343FD + 0x269EC3;
        bytes.push_back(static_cast<std::uint8_t>(seed >> 16));
    }
    return bytes;
}

std::vector<std::uint8_t> headerData(const std::vector<std::uint8_t>& file) {
    const auto mask = magic(0x6C);
    std::vector<std::uint8_t> data(file.begin() + 0x80, file.begin() + 0x80 + 0x6C);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] ^= mask[i];
    return data;
}

std::uint64_t rll(std::span<const std::uint8_t> bytes, std::size_t at) {
    return rl(bytes, at) | (std::uint64_t{rl(bytes, at + 4)} << 32);
}

// A minimal walk of a 2004 file, trusting every field: the page map, the
// section map and each section's pages.
struct Walk {
    struct Page {
        std::uint64_t address = 0;
        std::uint32_t size = 0;
    };
    struct Section {
        std::uint64_t size = 0;
        std::uint32_t maxPageSize = 0;
        bool compressed = false;
        std::uint32_t number = 0;
        std::vector<std::uint32_t> pages;  // page numbers
        std::vector<std::uint64_t> offsets;
    };
    std::map<std::uint32_t, Page> pages;
    std::vector<std::uint32_t> pageOrder;
    std::vector<std::string> sectionOrder;  // section map order
    std::map<std::string, Section> sections;
};

std::vector<std::uint8_t> systemPage(const std::vector<std::uint8_t>& file, std::uint64_t address) {
    std::vector<std::uint8_t> out(rl(file, address + 4));
    decompress2004(std::span<const std::uint8_t>(file).subspan(address + 0x14, rl(file, address + 8)), out);
    return out;
}

Walk walk(const std::vector<std::uint8_t>& file) {
    Walk w;
    const auto header = headerData(file);
    const auto pageMap = systemPage(file, rll(header, 0x54) + 0x100);
    std::uint64_t address = 0x100;
    for (std::size_t pos = 0; pos < pageMap.size(); pos += 8) {
        const auto number = rl(pageMap, pos);
        const auto size = rl(pageMap, pos + 4);
        address += size;
        // ODA §4.4: a negative number is a gap (left by an incremental save
        // in the series drawings), followed by 16 bytes of links.
        if (static_cast<std::int32_t>(number) < 0) {
            pos += 16;
            continue;
        }
        w.pages[number] = {address - size, size};
        w.pageOrder.push_back(number);
    }
    const auto map = systemPage(file, w.pages.at(rl(header, 0x5C)).address);
    std::size_t pos = 0x14;
    for (std::uint32_t i = 0; i < rl(map, 0); ++i) {
        Walk::Section s;
        s.size = rll(map, pos);
        const auto pageCount = rl(map, pos + 8);
        s.maxPageSize = rl(map, pos + 12);
        s.compressed = rl(map, pos + 20) == 2;
        s.number = rl(map, pos + 24);
        const std::string name(reinterpret_cast<const char*>(map.data() + pos + 32));
        pos += 0x60;
        for (std::uint32_t p = 0; p < pageCount; ++p, pos += 16) {
            s.pages.push_back(rl(map, pos));
            s.offsets.push_back(rll(map, pos + 8));
        }
        w.sectionOrder.push_back(name);
        w.sections[name] = s;
    }
    return w;
}

// ODA §4.6: the page header is XORed with 0x4164536B ^ its address.
std::uint32_t pageHeaderField(const std::vector<std::uint8_t>& file, std::uint64_t address, std::size_t field) {
    return rl(file, address + 4 * field) ^ 0x4164536BU ^ static_cast<std::uint32_t>(address);
}

std::vector<std::uint8_t> sectionData(const std::vector<std::uint8_t>& file, const std::string& name) {
    const Walk w = walk(file);
    const Walk::Section& s = w.sections.at(name);
    std::vector<std::uint8_t> data(s.size + s.maxPageSize);
    for (std::size_t p = 0; p < s.pages.size(); ++p) {
        const std::uint64_t address = w.pages.at(s.pages[p]).address;
        const auto stored =
            std::span<const std::uint8_t>(file).subspan(address + 0x20, pageHeaderField(file, address, 2));
        const auto into = std::span<std::uint8_t>(data).subspan(s.offsets[p], s.maxPageSize);
        if (s.compressed) {
            decompress2004(stored, into);
        } else {
            std::copy(stored.begin(), stored.end(), into.begin());
        }
    }
    data.resize(s.size);
    return data;
}

const R2004Layout& layoutOf(const DwgFile& file) {
    const auto* layout = dynamic_cast<const R2004Layout*>(file.layout.get());
    if (layout == nullptr) throw std::logic_error("no 2004 layout");
    return *layout;
}

std::map<std::uint64_t, std::vector<std::uint8_t>> objectsByHandle(const DwgFile& file) {
    std::map<std::uint64_t, std::vector<std::uint8_t>> objects;
    for (const ObjectLocation& object : file.objects) {
        const auto bytes = file.bytesOf(object);
        objects[object.handle].assign(bytes.begin(), bytes.end());
    }
    return objects;
}

// An object as the 2004 object layer stores it: MS size, type, size in bits,
// own handle, data, CRC-16.
std::vector<std::uint8_t> makeObject(std::uint64_t handle, std::int16_t type, std::size_t payload) {
    BitWriter data(Release::R2004);
    data.writeBS(type);
    data.writeRL(0);
    data.writeH({0, handle});
    for (std::size_t i = 0; i < payload; ++i) data.writeRC(static_cast<std::uint8_t>(handle * 31 + i * 7));
    BitWriter object(Release::R2004);
    object.writeMS(static_cast<std::uint32_t>(data.bytes().size()));
    object.writeBytes(data.bytes());
    std::vector<std::uint8_t> bytes = object.takeBytes();
    const std::uint16_t crc = crc16(kCrc16Seed, bytes);
    bytes.push_back(static_cast<std::uint8_t>(crc));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    return bytes;
}

DwgFile freshDrawing(std::size_t objectCount, std::size_t payload) {
    DwgFile file;
    file.release = Release::R2004;
    file.codePage = 34;  // ANSI_1255
    file.headerVariables = {0x12, 0x34, 0x56, 0x78, 0x9A};
    file.classes = {0x01, 0x02, 0x03};
    for (std::uint64_t handle = 1; handle <= objectCount; ++handle) {
        const auto bytes = makeObject(handle * 3, static_cast<std::int16_t>(1 + handle % 70), payload + handle % 17);
        file.objects.push_back({handle * 3, static_cast<std::uint32_t>(file.objectBytes.size()),
                                static_cast<std::uint32_t>(bytes.size())});
        file.objectBytes.insert(file.objectBytes.end(), bytes.begin(), bytes.end());
    }
    return file;
}

TEST(Container2004, ReadsTheSamples) {
    for (const std::string& name : allSamples()) {
        SCOPED_TRACE(name);
        const auto bytes = test::loadSample(name);
        if (!bytes) {
            GTEST_SKIP() << name << " is not in " << CORVELIN_SAMPLES_DIR;
        }
        const DwgFile file = readR2004(*bytes);
        EXPECT_EQ(file.release, releaseOf(*bytes));
        EXPECT_EQ(file.codePage, 30);  // $DWGCODEPAGE ANSI_1252 in the DXF twins

        // The header and classes sections: sentinel, RL size (and from 2010
        // mostly a second RL, 0 in every sample), data, CRC-16 over the
        // sizes and the data, end sentinel.
        const std::size_t dataAt = hasSecondSizeField(*bytes) ? 24 : 20;
        for (const auto& [section, data] : {std::pair{"AcDb:Header", &file.headerVariables},
                                            std::pair{"AcDb:Classes", &file.classes}}) {
            const auto stored = sectionData(*bytes, section);
            ASSERT_EQ(data->size(), rl(stored, 16)) << section;
            if (dataAt == 24) {
                EXPECT_EQ(rl(stored, 20), 0U) << section;
            }
            EXPECT_TRUE(std::equal(data->begin(), data->end(), stored.begin() + dataAt)) << section;
            const auto covered = std::span<const std::uint8_t>(stored).subspan(16, dataAt - 16 + data->size());
            EXPECT_EQ(rs(stored, dataAt + data->size()), crc16(kCrc16Seed, covered)) << section;
            // From 2007 on the data start with their size in bits before
            // the string stream that ends them: within what was cut out.
            if (file.release >= Release::R2010) {
                EXPECT_LE(rl(*data, 0), 8 * data->size()) << section;
                EXPECT_GT(rl(*data, 0), 8 * data->size() / 2) << section;
            }
        }

        // Every entry of the object map is an object, with the bytes at its
        // location in AcDb:AcDbObjects.
        const auto map = readObjectMap(sectionData(*bytes, "AcDb:Handles"));
        EXPECT_EQ(file.objects.size(), map.size());
        EXPECT_TRUE(file.droppedObjects.empty());
        const auto objects = sectionData(*bytes, "AcDb:AcDbObjects");
        EXPECT_EQ(rl(objects, 0), 0x0DCAU);
        const auto byHandle = objectsByHandle(file);
        for (const ObjectMapEntry& entry : map) {
            const auto& object = byHandle.at(entry.handle);
            ASSERT_TRUE(std::equal(object.begin(), object.end(), objects.begin() + entry.location))
                << "object " << entry.handle;
        }

        // The other sections, in section map order, with their data.
        const Walk w = walk(*bytes);
        const R2004Layout& layout = layoutOf(file);
        ASSERT_EQ(layout.sections.size(), w.sectionOrder.size());
        for (std::size_t i = 0; i < layout.sections.size(); ++i) {
            const R2004Section& section = layout.sections[i];
            const Walk::Section& walked = w.sections.at(section.name);
            EXPECT_EQ(section.name, w.sectionOrder[i]);
            EXPECT_EQ(section.number, walked.number) << section.name;
            EXPECT_EQ(section.maxPageSize, walked.maxPageSize) << section.name;
            EXPECT_EQ(section.compressed, walked.compressed) << section.name;
            const bool fromFile = section.name == "AcDb:Header" || section.name == "AcDb:Classes" ||
                                  section.name == "AcDb:Handles" || section.name == "AcDb:AcDbObjects";
            if (!fromFile) {
                EXPECT_EQ(section.data, sectionData(*bytes, section.name)) << section.name;
            }
        }
        EXPECT_EQ(layout.release, file.release);
        EXPECT_EQ(layout.fileOrder.front(), "AcDb:SummaryInfo");
        // Some of the series were saved incrementally: their last pages are
        // of the sections that changed.
        if (!name.starts_with("series/")) {
            EXPECT_EQ(layout.fileOrder.back(), "AcDb:Header");
        }
        EXPECT_EQ(layout.classesTrailer, std::vector<std::uint8_t>(8, 0));
        // ODA §7: the data storage section from 2013 on.
        EXPECT_EQ(layout.find("AcDb:AcDsPrototype_1b") != nullptr, file.release >= Release::R2013);
    }
}

TEST(Container2004, SamplesHaveAutoCadsSections) {
    const auto bytes = test::loadSample("text_2004.dwg");
    if (!bytes) {
        GTEST_SKIP() << "text_2004.dwg is not in " << CORVELIN_SAMPLES_DIR;
    }
    const DwgFile file = readR2004(*bytes);
    const R2004Layout& layout = layoutOf(file);
    std::vector<std::string> names;
    for (const R2004Section& section : layout.sections) names.push_back(section.name);
    EXPECT_EQ(names, (std::vector<std::string>{"", "AcDb:FileDepList", "AcDb:AppInfoHistory", "AcDb:AppInfo",
                                               "AcDb:Preview", "AcDb:SummaryInfo", "AcDb:RevHistory",
                                               "AcDb:AcDbObjects", "AcDb:ObjFreeSpace", "AcDb:Template",
                                               "AcDb:Handles", "AcDb:Classes", "AcDb:AuxHeader", "AcDb:Header"}));
    const R2004Section* files = layout.find("AcDb:FileDepList");
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->number, 13U);
    EXPECT_FALSE(files->compressed);
    EXPECT_EQ(files->encrypted, 2U);
    EXPECT_EQ(files->maxPageSize, 0x80U);
    // AutoCAD wrote no page for the template (all zeros): MEASUREMENT 0.
    ASSERT_NE(layout.find("AcDb:Template"), nullptr);
    EXPECT_EQ(layout.find("AcDb:Template")->data, std::vector<std::uint8_t>(4, 0));
    EXPECT_TRUE(walk(*bytes).sections.at("AcDb:Template").pages.empty());
}

TEST(Container2004, RewritingKeepsEverything) {
    for (const std::string& name : allSamples()) {
        SCOPED_TRACE(name);
        const auto bytes = test::loadSample(name);
        if (!bytes) {
            GTEST_SKIP() << name << " is not in " << CORVELIN_SAMPLES_DIR;
        }
        const DwgFile original = readR2004(*bytes);
        const auto written = writeR2004(original);
        const DwgFile again = readR2004(written);

        EXPECT_EQ(again.release, original.release);
        EXPECT_EQ(again.codePage, original.codePage);
        EXPECT_EQ(again.headerVariables, original.headerVariables);
        EXPECT_EQ(again.classes, original.classes);
        EXPECT_EQ(objectsByHandle(again), objectsByHandle(original));
        std::vector<std::uint64_t> order, originalOrder;
        for (const ObjectLocation& object : again.objects) order.push_back(object.handle);
        for (const ObjectLocation& object : original.objects) originalOrder.push_back(object.handle);
        EXPECT_EQ(order, originalOrder);

        const R2004Layout& before = layoutOf(original);
        const R2004Layout& after = layoutOf(again);
        ASSERT_EQ(after.sections.size(), before.sections.size());
        for (std::size_t i = 0; i < before.sections.size(); ++i) {
            EXPECT_EQ(after.sections[i].name, before.sections[i].name);
            EXPECT_EQ(after.sections[i].number, before.sections[i].number);
            EXPECT_EQ(after.sections[i].maxPageSize, before.sections[i].maxPageSize);
            EXPECT_EQ(after.sections[i].compressed, before.sections[i].compressed);
            EXPECT_EQ(after.sections[i].encrypted, before.sections[i].encrypted);
            EXPECT_EQ(after.sections[i].unknown, before.sections[i].unknown);
            EXPECT_EQ(after.sections[i].data, before.sections[i].data) << before.sections[i].name;
        }
        EXPECT_EQ(after.release, before.release);
        EXPECT_EQ(after.headerTrailer, before.headerTrailer);
        EXPECT_EQ(after.classesTrailer, before.classesTrailer);
        EXPECT_EQ(after.objectsPrefix, 0x0DCAU);
        EXPECT_EQ(after.sectionMapFields, before.sectionMapFields);
        // The first pages keep their sizes, so the plain header, addresses
        // included, comes out as AutoCAD wrote it.
        EXPECT_TRUE(std::equal(bytes->begin(), bytes->begin() + 0x80, written.begin()));
        // The sections AutoCAD wrote without pages now have one; otherwise
        // the order stays.
        std::vector<std::string> order2 = after.fileOrder;
        order2.erase(std::remove(order2.begin(), order2.end(), "AcDb:Template"), order2.end());
        std::vector<std::string> order1 = before.fileOrder;
        order1.erase(std::remove(order1.begin(), order1.end(), "AcDb:Template"), order1.end());
        EXPECT_EQ(order2, order1);
        // The sections are framed as they were, second size field included.
        for (const char* section : {"AcDb:Header", "AcDb:Classes"}) {
            const auto stored = sectionData(*bytes, section);
            const auto rewritten = sectionData(written, section);
            EXPECT_EQ(rewritten, stored) << section;
        }
    }
}

TEST(Container2004, WritingIsDeterministic) {
    for (const char* name : {"example_2004.dwg", "text_2010.dwg", "example_2013.dwg", "text_2018.dwg"}) {
        SCOPED_TRACE(name);
        const auto bytes = test::loadSample(name);
        if (!bytes) {
            GTEST_SKIP() << name << " is not in " << CORVELIN_SAMPLES_DIR;
        }
        const DwgFile file = readR2004(*bytes);
        const auto first = writeR2004(file);
        EXPECT_EQ(writeR2004(file), first);
        // Reading what was written and writing it again changes nothing.
        EXPECT_EQ(writeR2004(readR2004(first)), first);
    }
}

// What LibreDWG checks of the header data against the page map: its CRC,
// the page counts and ids, the addresses of the page map and of the copy of
// the header data that ends the file.
void expectHeaderDataAgrees(const std::vector<std::uint8_t>& file) {
    const auto data = headerData(file);
    std::vector<std::uint8_t> zeroed = data;
    std::fill(zeroed.begin() + 0x68, zeroed.end(), 0);
    EXPECT_EQ(rl(data, 0x68), crc32(0, zeroed));
    EXPECT_EQ(std::string(data.begin(), data.begin() + 11), "AcFssFcAJMB");

    const Walk w = walk(file);
    std::uint64_t total = 0;
    std::uint32_t last = 0;
    for (const auto& [number, page] : w.pages) {
        total += page.size;
        last = std::max(last, number);
    }
    EXPECT_EQ(rll(data, 0x2C), total);               // last page end - 0x100
    EXPECT_EQ(rl(data, 0x40), w.pages.size());        // pages
    EXPECT_EQ(rl(data, 0x28), last);                  // last page id
    EXPECT_EQ(rl(data, 0x60), last);                  // page array size
    EXPECT_EQ(rl(data, 0x50), w.pageOrder.back());    // the page map is the last page
    EXPECT_EQ(rll(data, 0x54) + 0x100, w.pages.at(w.pageOrder.back()).address);
    EXPECT_EQ(rl(data, 0x5C), w.pageOrder[w.pageOrder.size() - 2]);
    // The copy of the encrypted header data ends the file.
    EXPECT_EQ(rll(data, 0x34) + 0x6C, file.size());
    EXPECT_TRUE(std::equal(file.begin() + 0x80, file.begin() + 0xEC, file.end() - 0x6C));
    const auto mask = magic(0x100);
    EXPECT_TRUE(std::equal(mask.begin() + 0xEC, mask.end(), file.begin() + 0xEC));
    EXPECT_EQ(w.pages.at(w.pageOrder.front()).address, 0x100U);
    for (const auto& [number, page] : w.pages) EXPECT_EQ(page.size % 0x20, 0U) << "page " << number;
}

TEST(Container2004, HeaderDataAgreesWithThePages) {
    // A file made from scratch, with its fixed parts of the file header.
    const auto file = writeR2004(freshDrawing(300, 40));
    expectHeaderDataAgrees(file);
    const Walk w = walk(file);
    // Pages follow each other on 0x20 boundaries from 0x100; the summary
    // info comes first (0xA0 bytes: header and a 0x80 page).
    EXPECT_EQ(rl(file, 0x20), 0x120U);
    EXPECT_EQ(rl(file, 0x0D), w.pages.at(w.pageOrder[1]).address + 0x20);
    EXPECT_EQ(rs(file, 0x13), 34);
    // AcDb:AcDbObjects starts with RL 0x0DCA, then the objects in order.
    const auto objects = sectionData(file, "AcDb:AcDbObjects");
    EXPECT_EQ(rl(objects, 0), 0x0DCAU);
    EXPECT_TRUE(std::equal(objects.begin() + 4, objects.end(), freshDrawing(300, 40).objectBytes.begin()));

    for (const std::string& name : kSamples) {
        SCOPED_TRACE(name);
        const auto bytes = test::loadSample(name);
        if (!bytes) {
            GTEST_SKIP() << name << " is not in " << CORVELIN_SAMPLES_DIR;
        }
        expectHeaderDataAgrees(writeR2004(readR2004(*bytes)));
    }
}

// The writer that AcDb:AppInfo names (UTF-16 from the applications of 2007
// on, whatever the file's release), else the application version of the
// file header.
TEST(Container2004, WriterOfTheSamples) {
    const std::map<std::string, std::string> expected{
        {"example_2004.dwg", "AutoCAD 22.0.48.M.294"},
        {"text_2004.dwg", "a program of AC1027 (2013), maintenance 8"},  // AppInfo without a product
        {"example_2010.dwg", "AutoCAD 22.0.48.M.294"},
        {"text_2010.dwg", "a program of AC1027 (2013), maintenance 8"},
        {"text_2013.dwg", "a program of AC1027 (2013), maintenance 8"},
        {"example_2018.dwg", "AutoCAD 22.0.48.M.294"},
        {"text_2018.dwg", "Teigha(R) 4.3.2.0"},  // the version names the product
    };
    for (const auto& [name, writer] : expected) {
        SCOPED_TRACE(name);
        const auto bytes = test::loadSample(name);
        if (!bytes) {
            GTEST_SKIP() << name << " is not in " << CORVELIN_SAMPLES_DIR;
        }
        EXPECT_EQ(writerOf(readDwgFile(*bytes)), writer);
    }
}

// Only the same-release save of a file that was read: a 2010-2018 file
// without its layout, or with one of another release, is refused.
TEST(Container2004, FilesOf2010OnAreWrittenWithTheirLayout) {
    for (const Release release : {Release::R2010, Release::R2013, Release::R2018}) {
        DwgFile file = freshDrawing(3, 10);
        file.release = release;
        EXPECT_THAT([&] { writeDwgFile(file); },
                    ThrowsMessage<UnsupportedRelease>(HasSubstr("only a drawing read from a file of that release")));
        file.layout = readR2004(writeR2004(freshDrawing(3, 10))).layout;
        EXPECT_THROW(writeDwgFile(file), UnsupportedRelease);
    }
    const auto bytes = test::loadSample("text_2013.dwg");
    if (!bytes) {
        GTEST_SKIP() << "text_2013.dwg is not in " << CORVELIN_SAMPLES_DIR;
    }
    DwgFile file = readDwgFile(*bytes);
    const auto same = writeDwgFile(file);
    EXPECT_EQ(std::string(same.begin(), same.begin() + 6), "AC1027");
    // A 2004 DwgFile with a 2013 layout gets the sections of a new file.
    file.release = Release::R2004;
    const auto written = writeDwgFile(file);
    EXPECT_EQ(std::string(written.begin(), written.begin() + 6), "AC1018");
    EXPECT_EQ(walk(written).sections.count("AcDb:AcDsPrototype_1b"), 0U);
}

// A 2018 object map lost with its page (a flipped byte): the objects are
// found by scanning AcDb:AcDbObjects, whose objects start with their handle
// stream size and the 2010 type (ODA §2.12, §20.1).
TEST(Container2004, ObjectsOf2018AreRecoveredByScanning) {
    for (const char* name : {"text_2010.dwg", "sample_2018.dwg"}) {
        SCOPED_TRACE(name);
        const auto bytes = test::loadSample(name);
        if (!bytes) {
            GTEST_SKIP() << name << " is not in " << CORVELIN_SAMPLES_DIR;
        }
        const DwgFile original = readR2004(*bytes);
        const Walk w = walk(*bytes);
        auto damaged = *bytes;
        const std::uint64_t page = w.pages.at(w.sections.at("AcDb:Handles").pages.at(0)).address;
        damaged.at(page + 0x20 + pageHeaderField(damaged, page, 2) / 2) ^= 0x01;
        EXPECT_THAT([&] { readR2004(damaged); }, ThrowsMessage<FormatError>(HasSubstr("AcDb:Handles")));
        const DwgFile recovered = readR2004(damaged, {.recoverObjectMap = true});
        ASSERT_FALSE(recovered.repairs.empty());
        EXPECT_THAT(recovered.repairs.back().problem, HasSubstr("by scanning"));
        EXPECT_TRUE(recovered.droppedObjects.empty());
        EXPECT_EQ(objectsByHandle(recovered), objectsByHandle(original));
        const DwgFile saved = readR2004(writeR2004(recovered));
        EXPECT_TRUE(saved.repairs.empty());
        EXPECT_EQ(objectsByHandle(saved), objectsByHandle(original));

        // A page size the reader refuses loses the map too; the save gives
        // the map a new section's page size.
        DwgFile odd = original;
        auto layout = std::make_shared<R2004Layout>(layoutOf(original));
        for (R2004Section& section : layout->sections) {
            if (section.name == "AcDb:Handles") section.maxPageSize = 0x100001;
        }
        odd.layout = layout;
        const auto oddBytes = writeR2004(odd);
        EXPECT_THAT([&] { readR2004(oddBytes); },
                    ThrowsMessage<FormatError>(HasSubstr("AcDb:Handles: page size 1048577 out of range")));
        const DwgFile again = readR2004(writeR2004(readR2004(oddBytes, {.recoverObjectMap = true})));
        EXPECT_TRUE(again.repairs.empty());
        EXPECT_EQ(objectsByHandle(again), objectsByHandle(original));
    }
}

TEST(Container2004, FreshFileWritesAndReadsBack) {
    const DwgFile file = freshDrawing(3, 10);
    const auto written = writeR2004(file);
    EXPECT_EQ(std::string(written.begin(), written.begin() + 6), "AC1018");
    const DwgFile back = readR2004(written);
    EXPECT_EQ(back.codePage, 34);
    EXPECT_EQ(back.headerVariables, file.headerVariables);
    EXPECT_EQ(back.classes, file.classes);
    EXPECT_EQ(objectsByHandle(back), objectsByHandle(file));
    EXPECT_TRUE(back.droppedObjects.empty());

    const R2004Layout& layout = layoutOf(back);
    std::vector<std::string> names;
    for (const R2004Section& section : layout.sections) names.push_back(section.name);
    EXPECT_EQ(names, (std::vector<std::string>{"", "AcDb:AppInfo", "AcDb:Preview", "AcDb:SummaryInfo",
                                               "AcDb:RevHistory", "AcDb:AcDbObjects", "AcDb:ObjFreeSpace",
                                               "AcDb:Template", "AcDb:Handles", "AcDb:Classes", "AcDb:AuxHeader",
                                               "AcDb:Header"}));
    EXPECT_EQ(layout.find("AcDb:Template")->data, std::vector<std::uint8_t>(4, 0));
    // Preview without images: sentinel, overall size 1, count 0, sentinel.
    const auto& preview = layout.find("AcDb:Preview")->data;
    ASSERT_EQ(preview.size(), 37U);
    EXPECT_EQ(rl(preview, 16), 1U);
    EXPECT_EQ(preview[20], 0);
    // AppInfo 2004: RS length with the zero, "AppInfoDataList".
    const auto& appInfo = layout.find("AcDb:AppInfo")->data;
    EXPECT_EQ(rs(appInfo, 0), 16);
    EXPECT_EQ(std::string(appInfo.begin() + 2, appInfo.begin() + 17), "AppInfoDataList");
    // Summary info: 8 empty strings, 3 times, 2 counts and 2 longs.
    EXPECT_EQ(layout.find("AcDb:SummaryInfo")->data.size(), 8 * 3 + 24 + 2 + 8U);
    // Aux header: 0xFF 0x77 0x01, AC1018 = 25, 123 bytes in all.
    const auto& aux = layout.find("AcDb:AuxHeader")->data;
    ASSERT_EQ(aux.size(), 0x7BU);
    EXPECT_EQ(rs(aux, 3), 25);
    EXPECT_EQ(rl(aux, 0x4F), 10U);  // HANDSEED: the highest handle (9) + 1
    EXPECT_EQ(layout.classesTrailer, std::vector<std::uint8_t>(8, 0));
}

TEST(Container2004, ManyObjectsSpanPagesAndMapSections) {
    const DwgFile file = freshDrawing(20000, 60);
    const auto written = writeR2004(file);
    const DwgFile back = readR2004(written);
    EXPECT_EQ(objectsByHandle(back), objectsByHandle(file));
    const Walk w = walk(written);
    const Walk::Section& objects = w.sections.at("AcDb:AcDbObjects");
    EXPECT_EQ(objects.size, 4 + file.objectBytes.size());
    EXPECT_EQ(objects.pages.size(), (objects.size + 0x73FF) / 0x7400);
    for (std::size_t p = 0; p < objects.offsets.size(); ++p) EXPECT_EQ(objects.offsets[p], p * 0x7400);
}

TEST(Container2004, MovedPreviewKeepsItsImageAddresses) {
    const auto bytes = test::loadSample("example_2004.dwg");
    if (!bytes) {
        GTEST_SKIP() << "example_2004.dwg is not in " << CORVELIN_SAMPLES_DIR;
    }
    DwgFile file = readR2004(*bytes);
    // AutoCAD put the preview at 0x1C0 (0x1A0 + the page header); its header
    // data at 0x1E7 and its bitmap at 0x237.
    ASSERT_EQ(rl(*bytes, 0x0D), 0x1C0U);
    const auto& original = layoutOf(file).find("AcDb:Preview")->data;
    ASSERT_EQ(rl(original, 22), 0x1E7U);
    ASSERT_EQ(rl(original, 31), 0x237U);

    // Three pages of summary info instead of one move the preview back by
    // two pages of 0xA0 bytes.
    auto layout = std::make_shared<R2004Layout>(layoutOf(file));
    for (R2004Section& section : layout->sections) {
        if (section.name == "AcDb:SummaryInfo") section.data.resize(0x180, 0);
    }
    file.layout = layout;
    const auto written = writeR2004(file);
    EXPECT_EQ(rl(written, 0x0D), 0x1C0U + 0x140);
    const auto moved = layoutOf(readR2004(written)).find("AcDb:Preview")->data;
    EXPECT_EQ(rl(moved, 22), 0x1E7U + 0x140);
    EXPECT_EQ(rl(moved, 31), 0x237U + 0x140);
}

TEST(Container2004, DataPageChecksumMismatchIsReported) {
    auto file = writeR2004(freshDrawing(3000, 60));
    const Walk w = walk(file);
    const std::uint32_t page = w.sections.at("AcDb:AcDbObjects").pages.at(2);
    file.at(w.pages.at(page).address + 0x20 + 100) ^= 0x01;
    EXPECT_THAT([&] { readR2004(file); },
                ThrowsMessage<FormatError>(AllOf(HasSubstr("AcDb:AcDbObjects page " + std::to_string(page) + ": "),
                                                 HasSubstr("page checksum expected"))));
}

TEST(Container2004, DamagedHeadersAreReported) {
    const auto good = writeR2004(freshDrawing(30, 20));
    auto data = good;
    data.at(0x90) ^= 0x40;
    EXPECT_THAT([&] { readR2004(data); }, ThrowsMessage<FormatError>(HasSubstr("CRC-32 expected")));

    // A data page's header: its type no longer decrypts to 0x4163043B.
    data = good;
    const Walk w = walk(good);
    const std::uint32_t header = w.sections.at("AcDb:Header").pages.at(0);
    data.at(w.pages.at(header).address + 1) ^= 0x10;
    EXPECT_THAT([&] { readR2004(data); },
                ThrowsMessage<FormatError>(HasSubstr("AcDb:Header page " + std::to_string(header) +
                                                     ": page type expected 4163043B")));

    // The section map's compressed data.
    data = good;
    data.at(w.pages.at(w.pageOrder[w.pageOrder.size() - 2]).address + 0x20) ^= 0x02;
    EXPECT_THAT([&] { readR2004(data); }, ThrowsMessage<FormatError>(HasSubstr("section map: page checksum")));
}

// Each redundant section damaged alone (a flipped page, or an encrypted flag
// in a drawing without a password): one repair naming it, the drawing reads,
// and its save reads back with the same objects and nothing to repair.
TEST(Container2004, DamagedRedundantSectionsAreRepaired) {
    const DwgFile fresh = readR2004(writeR2004(freshDrawing(30, 20)));
    const auto good = writeR2004(fresh);
    const Walk w = walk(good);
    auto check = [&](const std::vector<std::uint8_t>& damaged, const std::string& name) {
        SCOPED_TRACE(name);
        const DwgFile file = readR2004(damaged);
        ASSERT_EQ(file.repairs.size(), 1u);
        EXPECT_EQ(file.repairs.front().structure, name);
        EXPECT_EQ(objectsByHandle(file), objectsByHandle(fresh));
        const DwgFile saved = readR2004(writeR2004(file));
        EXPECT_TRUE(saved.repairs.empty());
        EXPECT_EQ(objectsByHandle(saved), objectsByHandle(fresh));
        EXPECT_EQ(saved.headerVariables, fresh.headerVariables);
        ASSERT_NE(layoutOf(saved).find(name), nullptr);
    };
    for (const char* name : {"AcDb:Preview", "AcDb:SummaryInfo", "AcDb:AppInfo", "AcDb:RevHistory",
                             "AcDb:ObjFreeSpace", "AcDb:Template", "AcDb:AuxHeader"}) {
        auto damaged = good;
        const std::uint32_t page = w.sections.at(name).pages.at(0);
        damaged.at(w.pages.at(page).address + 0x20 + 1) ^= 0x04;
        check(damaged, name);
    }
    DwgFile file = fresh;
    auto layout = std::make_shared<R2004Layout>(layoutOf(file));
    for (R2004Section& section : layout->sections) {
        if (section.name == "AcDb:AppInfo") section.encrypted = 1;
    }
    file.layout = layout;
    check(writeR2004(file), "AcDb:AppInfo");
    // A page size past what the reader accepts: the rebuilt section gets a
    // new section's, so that the save reads without repair.
    layout = std::make_shared<R2004Layout>(layoutOf(fresh));
    for (R2004Section& section : layout->sections) {
        if (section.name == "AcDb:RevHistory") section.maxPageSize = 0x100001;
    }
    file.layout = layout;
    check(writeR2004(file), "AcDb:RevHistory");
}

// The same in the samples, each section with pages that the drawing's
// content does not need: the save writes a fresh one in the form of the
// file's release, or (AcDb:AcDsPrototype_1b, AcDb:AppInfoHistory,
// AcDb:FileDepList) leaves it out.
TEST(Container2004, DamagedRedundantSectionsOfTheSamplesAreRepaired) {
    const std::vector<std::string> essential{"AcDb:Header", "AcDb:Classes", "AcDb:Handles", "AcDb:AcDbObjects"};
    const std::vector<std::string> leftOut{"AcDb:AcDsPrototype_1b", "AcDb:AppInfoHistory", "AcDb:FileDepList"};
    for (const char* sample : {"example_2004.dwg", "text_2010.dwg", "example_2013.dwg", "text_2018.dwg",
                               "sample_2018.dwg"}) {
        const auto bytes = test::loadSample(sample);
        if (!bytes) {
            GTEST_SKIP() << sample << " is not in " << CORVELIN_SAMPLES_DIR;
        }
        const DwgFile original = readR2004(*bytes);
        const Walk w = walk(*bytes);
        for (const std::string& name : w.sectionOrder) {
            const Walk::Section& section = w.sections.at(name);
            if (name.empty() || section.pages.empty() ||
                std::find(essential.begin(), essential.end(), name) != essential.end())
                continue;
            SCOPED_TRACE(std::string(sample) + " " + name);
            auto damaged = *bytes;
            damaged.at(w.pages.at(section.pages.at(0)).address + 0x20 + 1) ^= 0x04;
            const DwgFile file = readR2004(damaged);
            ASSERT_EQ(file.repairs.size(), 1u);
            EXPECT_EQ(file.repairs.front().structure, name);
            const auto written = writeR2004(file);
            const DwgFile saved = readR2004(written);
            EXPECT_TRUE(saved.repairs.empty());
            EXPECT_EQ(objectsByHandle(saved), objectsByHandle(original));
            EXPECT_EQ(saved.headerVariables, original.headerVariables);
            EXPECT_EQ(saved.classes, original.classes);
            const R2004Section* fresh = layoutOf(saved).find(name);
            if (std::find(leftOut.begin(), leftOut.end(), name) != leftOut.end()) {
                EXPECT_EQ(fresh, nullptr);
                continue;
            }
            ASSERT_NE(fresh, nullptr);
            const auto& before = layoutOf(original).find(name)->data;
            if (name == "AcDb:ObjFreeSpace" || name == "AcDb:AuxHeader") {
                // Fixed sizes: 53 and 89 bytes (2010+) of ODA §21; 123 and
                // 129 bytes (2018) of ODA §27.
                EXPECT_EQ(fresh->data.size(), before.size());
            } else if (name == "AcDb:Template") {
                // From 2007 on an empty UTF-16 description: RS 1, 00 00.
                const std::size_t size = saved.release >= Release::R2010 ? 6 : 4;
                EXPECT_EQ(fresh->data.size(), size);
            } else if (name == "AcDb:SummaryInfo") {
                // Eight empty strings of 3 (8-bit) or 4 bytes (UTF-16), 3
                // times, the property count and two longs.
                const std::size_t size = saved.release >= Release::R2010 ? 8 * 4 + 34 : 8 * 3 + 34;
                EXPECT_EQ(fresh->data.size(), size);
            } else if (name == "AcDb:AppInfo") {
                EXPECT_EQ(writerOf(saved), "Corvelin 1.0.0.0");
            }
        }
    }
}

TEST(Container2004, TruncatedFilesAreReported) {
    const auto good = writeR2004(freshDrawing(400, 30));
    const Walk w = walk(good);
    const std::uint64_t pageMap = w.pages.at(w.pageOrder.back()).address;
    for (const std::uint64_t size : {std::uint64_t{0x40}, std::uint64_t{0x100}, std::uint64_t{0x130},
                                     std::uint64_t{good.size() / 2}, pageMap + 0x30}) {
        const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_THROW(readR2004(cut), FormatError) << "cut at " << size;
    }
}

TEST(Container2004, PasswordProtectedDrawingsAreRefused) {
    auto bytes = writeR2004(freshDrawing(5, 5));
    bytes.at(0x18) = 0x01;  // security flags: encrypt data
    EXPECT_THAT([&] { readR2004(bytes); }, ThrowsMessage<UnsupportedRelease>(HasSubstr("password protected")));

    DwgFile file = readR2004(writeR2004(freshDrawing(5, 5)));
    auto layout = std::make_shared<R2004Layout>(layoutOf(file));
    for (R2004Section& section : layout->sections) {
        if (section.name == "AcDb:AcDbObjects") section.encrypted = 1;
    }
    file.layout = layout;
    EXPECT_THAT([&] { readR2004(writeR2004(file)); },
                ThrowsMessage<UnsupportedRelease>(HasSubstr("AcDb:AcDbObjects is encrypted")));
}

// Cut and flipped samples read cleanly or fail with one of the engine's two
// exceptions: no crash, hang or other exception.
TEST(Container2004, SurvivesDamage) {
    for (std::size_t sample = 0; sample < kSamples.size(); ++sample) {
        const std::string& name = kSamples[sample];
        SCOPED_TRACE(name);
        const auto bytes = test::loadSample(name);
        if (!bytes) {
            GTEST_SKIP() << name << " is not in " << CORVELIN_SAMPLES_DIR;
        }
        std::mt19937 random(static_cast<std::uint32_t>(1004 + 1000 * sample));
        auto tryRead = [](const std::vector<std::uint8_t>& data) {
            try {
                readR2004(data);
            } catch (const FormatError&) {
            } catch (const UnsupportedRelease&) {
            }
        };
        for (int i = 0; i < 200; ++i) {
            const std::size_t size = random() % bytes->size();
            tryRead(std::vector<std::uint8_t>(bytes->begin(), bytes->begin() + static_cast<std::ptrdiff_t>(size)));
        }
        std::vector<std::uint8_t> damaged = *bytes;
        for (int i = 0; i < 300; ++i) {
            // Half of the flips aim at the first 0x100 bytes and the system
            // pages at the end, where one byte matters most.
            const std::size_t tail = std::min<std::size_t>(0x1000, bytes->size());
            std::size_t at = random() % bytes->size();
            if (i % 4 == 1) at = random() % 0x100;
            if (i % 4 == 3) at = bytes->size() - 1 - random() % tail;
            const auto mask = static_cast<std::uint8_t>(1U << (random() % 8));
            damaged[at] ^= mask;
            tryRead(damaged);
            damaged[at] ^= mask;
        }
    }
}

}  // namespace
}  // namespace dwg
