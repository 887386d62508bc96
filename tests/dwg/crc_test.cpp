// The checksums against published check values, the format document's
// tables and worked example, and the values AutoCAD stored in real drawings.

#include "dwg/bits/crc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "test_support.h"

namespace dwg {
namespace {

std::span<const std::uint8_t> asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

const std::vector<const char*> kSectionLocatorSamples{"example_r13.dwg", "example_r14.dwg", "example_2000.dwg",
                                                      "sample_2000.dwg", "text_2000.dwg", "entities-2d.dwg"};
const std::vector<const char*> kPagedSamples{"example_2004.dwg", "text_2004.dwg", "example_2010.dwg",
                                             "text_2010.dwg", "example_2013.dwg", "text_2018.dwg"};

// ODA §3.2.6 and §9: the sentinels around the file header's locators and
// the header variables section.
constexpr std::array<std::uint8_t, 16> kLocatorsEnd{0x95, 0xA0, 0x4E, 0x28, 0x99, 0x82, 0x1A, 0xE5,
                                                    0x5E, 0x41, 0xE0, 0x5F, 0x9D, 0x3A, 0x4D, 0x00};
constexpr std::array<std::uint8_t, 16> kHeaderStart{0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9,
                                                    0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};
constexpr std::array<std::uint8_t, 16> kHeaderEnd{0x30, 0x84, 0xE0, 0xDC, 0x02, 0x21, 0xC7, 0x56,
                                                  0xA0, 0x83, 0x97, 0x47, 0xB1, 0x92, 0xCC, 0xA0};

bool bytesAt(std::span<const std::uint8_t> file, std::size_t at, std::span<const std::uint8_t> expected) {
    return at + expected.size() <= file.size() && std::equal(expected.begin(), expected.end(), file.begin() + at);
}

// ODA §4.1: the 0x6C bytes at 0x80 are XORed with this generator's output
// (whose first bytes the document prints: 29 23 BE 84 E1 6C D6 AE ...).
std::vector<std::uint8_t> headerMask() {
    std::vector<std::uint8_t> mask;
    std::uint32_t seed = 1;
    for (int i = 0; i < 0x6C; ++i) {
        seed = seed * 0x343FD + 0x269EC3;
        mask.push_back(static_cast<std::uint8_t>(seed >> 16));
    }
    return mask;
}

std::vector<std::uint8_t> decrypted2004Header(std::span<const std::uint8_t> file) {
    const auto mask = headerMask();
    std::vector<std::uint8_t> header(file.begin() + 0x80, file.begin() + 0x80 + 0x6C);
    for (std::size_t i = 0; i < header.size(); ++i) header[i] ^= mask[i];
    return header;
}

// --- CRC-16 -----------------------------------------------------------------

TEST(Crc16, OneByteGivesTheDocumentTableEntry) {
    // From a zero CRC one byte b yields crctable[b] of ODA §2.14.1.
    const std::vector<std::pair<std::uint8_t, std::uint16_t>> entries{
        {0x00, 0x0000}, {0x01, 0xC0C1}, {0x02, 0xC181}, {0x03, 0x0140}, {0x10, 0xCC01},
        {0x80, 0xA001}, {0xA7, 0xBA41}, {0xFE, 0x8081}, {0xFF, 0x4040}};
    for (const auto& [byte, entry] : entries) {
        const std::array<std::uint8_t, 1> data{byte};
        EXPECT_EQ(crc16(0, data), entry) << int{byte};
    }
}

TEST(Crc16, MatchesTheCrc16ArcCheckValue) {
    // With seed 0 the function is CRC-16/ARC, whose check value is 0xBB3D.
    EXPECT_EQ(crc16(0, asBytes("123456789")), 0xBB3D);
    EXPECT_EQ(crc16(kCrc16Seed, {}), kCrc16Seed);
}

TEST(Crc16, AccumulatesOverPieces) {
    const auto whole = asBytes("header variables and more");
    const std::uint16_t first = crc16(kCrc16Seed, whole.first(7));
    EXPECT_EQ(crc16(first, whole.subspan(7)), crc16(kCrc16Seed, whole));
}

TEST(Crc16, DocumentTextExample) {
    // ODA §20.4.3.1: the object's CRC covers its MS size and data: C9 72.
    EXPECT_EQ(crc16(kCrc16Seed, test::documentTextExample()), 0x72C9);
}

TEST(Crc16, SectionsOfR13To2000Samples) {
    // ODA §3.2.6: the RS after the file header's locator records covers the
    // file from offset 0. The errata seed it with 0xC0C1; the document's
    // first edition seeds 0 and XORs a constant per record count. Both must
    // give AutoCAD's value.
    // ODA §9: header variables are a sentinel, RL size, data and an RS CRC
    // over size and data (seed 0xC0C1), then the closing sentinel.
    // ODA §23.1: the object map's sections are a big-endian RS size (counting
    // itself), handle/offset pairs and a CRC over both stored most
    // significant byte first; the last section has size 2.
    const std::array<std::uint16_t, 7> xorByCount{0, 0, 0, 0xA598, 0x8101, 0x3CC4, 0x8461};
    for (const char* name : kSectionLocatorSamples) {
        const auto file = test::loadSample(name);
        if (!file) GTEST_SKIP() << "sample drawing " << name << " is not available";
        const std::span<const std::uint8_t> bytes(*file);

        const std::uint32_t records = test::rl(bytes, 0x15);
        ASSERT_GE(records, 3U);
        ASSERT_LE(records, 6U);
        const std::size_t end = 0x19 + 9 * std::size_t{records};
        EXPECT_EQ(crc16(kCrc16Seed, bytes.first(end)), test::rs(bytes, end)) << name;
        EXPECT_EQ(crc16(0, bytes.first(end)) ^ xorByCount[records], test::rs(bytes, end)) << name;
        EXPECT_TRUE(bytesAt(bytes, end + 2, kLocatorsEnd)) << name;

        const std::uint32_t header = test::rl(bytes, 0x19 + 1);
        ASSERT_TRUE(bytesAt(bytes, header, kHeaderStart)) << name;
        const std::uint32_t size = test::rl(bytes, header + 16);
        ASSERT_LE(std::uint64_t{header} + 16 + 4 + size + 2 + 16, bytes.size()) << name;
        EXPECT_EQ(crc16(kCrc16Seed, bytes.subspan(header + 16, 4 + std::size_t{size})),
                  test::rs(bytes, header + 20 + size))
            << name;
        EXPECT_TRUE(bytesAt(bytes, header + 22 + size, kHeaderEnd)) << name;

        std::size_t at = test::rl(bytes, 0x19 + 2 * 9 + 1);
        int sections = 0;
        for (;;) {
            ASSERT_LE(at + 2, bytes.size()) << name;
            const std::size_t sectionSize = std::size_t{bytes[at]} << 8 | bytes[at + 1];
            ASSERT_LE(at + sectionSize + 2, bytes.size()) << name;
            const auto stored = static_cast<std::uint16_t>(bytes[at + sectionSize] << 8 | bytes[at + sectionSize + 1]);
            EXPECT_EQ(crc16(kCrc16Seed, bytes.subspan(at, sectionSize)), stored) << name << " map section " << sections;
            ++sections;
            if (sectionSize == 2) break;
            at += sectionSize + 2;
        }
        EXPECT_GE(sections, 2) << name;
    }
}

// --- CRC-32 -------------------------------------------------------------------

TEST(Crc32, MatchesTheStandardCheckValue) {
    EXPECT_EQ(crc32(0, asBytes("123456789")), 0xCBF43926U);
    EXPECT_EQ(crc32(0, {}), 0U);
    EXPECT_EQ(crc32(0, asBytes("The quick brown fox jumps over the lazy dog")), 0x414FA339U);
}

TEST(Crc32, AccumulatesOverPieces) {
    const auto whole = asBytes("AcFssFcAJMB");
    EXPECT_EQ(crc32(crc32(0, whole.first(4)), whole.subspan(4)), crc32(0, whole));
}

TEST(Crc32, FileHeaderDataOfPagedSamples) {
    // ODA §4.1: the decrypted 0x6C bytes start "AcFssFcAJMB\0" and end with a
    // CRC-32 (seed 0) over all of them while the CRC field is still zero.
    const auto mask = headerMask();
    EXPECT_EQ(std::vector<std::uint8_t>(mask.begin(), mask.begin() + 8),
              test::hexToBytes("29 23 BE 84 E1 6C D6 AE"));
    for (const char* name : kPagedSamples) {
        const auto file = test::loadSample(name);
        if (!file) GTEST_SKIP() << "sample drawing " << name << " is not available";
        ASSERT_GE(file->size(), 0x100U);
        auto header = decrypted2004Header(*file);
        EXPECT_EQ(std::string(header.begin(), header.begin() + 12), std::string("AcFssFcAJMB\0", 12)) << name;
        const std::uint32_t stored = test::rl(header, 0x68);
        std::fill(header.begin() + 0x68, header.end(), std::uint8_t{0});
        EXPECT_EQ(crc32(0, header), stored) << name;
    }
}

// --- Section page checksum -----------------------------------------------------

TEST(PageChecksum, WithSeedOneItIsAdler32) {
    EXPECT_EQ(pageChecksum(1, asBytes("Wikipedia")), 0x11E60398U);
    EXPECT_EQ(pageChecksum(0, {}), 0U);
    EXPECT_EQ(pageChecksum(0x12345678, {}), 0x12345678U);  // the seed is only reduced after data
}

TEST(PageChecksum, ReducingPerChunkEqualsReducingOnce) {
    // Both sums reduced every 0x15B0 bytes equal the plain sums reduced once;
    // the longest runs of 0xFF bytes and the largest seed halves test that
    // nothing overflows in between.
    for (const std::size_t length : {std::size_t{0x15AF}, std::size_t{0x15B0}, std::size_t{0x15B1},
                                     std::size_t{3 * 0x15B0 + 5}, std::size_t{100000}}) {
        for (const std::uint32_t seed : {0U, 0xFFF0FFF0U, 0xFFFFFFFFU}) {
            const std::vector<std::uint8_t> data(length, 0xFF);
            std::uint64_t sum1 = seed & 0xFFFFU;
            std::uint64_t sum2 = seed >> 16;
            for (const std::uint8_t byte : data) {
                sum1 += byte;
                sum2 += sum1;
            }
            const auto expected = static_cast<std::uint32_t>((sum2 % 0xFFF1) << 16 | (sum1 % 0xFFF1));
            EXPECT_EQ(pageChecksum(seed, data), expected) << length << " " << seed;
        }
    }
}

TEST(PageChecksum, SystemPagesOfSamples) {
    // ODA §4.3: the section page map's 0x14-byte header is summed first (its
    // checksum field zero, seed 0), then the compressed data with that seed.
    for (const char* name : kPagedSamples) {
        const auto file = test::loadSample(name);
        if (!file) GTEST_SKIP() << "sample drawing " << name << " is not available";
        const auto header = decrypted2004Header(*file);
        const std::uint64_t page = test::rl(header, 0x54) + (std::uint64_t{test::rl(header, 0x58)} << 32) + 0x100;
        ASSERT_LE(page + 0x14, file->size()) << name;
        EXPECT_EQ(test::rl(*file, page), 0x41630E3BU) << name;  // section page map
        const std::uint32_t compressedSize = test::rl(*file, page + 8);
        ASSERT_LE(page + 0x14 + compressedSize, file->size()) << name;
        std::vector<std::uint8_t> pageHeader(file->begin() + static_cast<std::ptrdiff_t>(page),
                                             file->begin() + static_cast<std::ptrdiff_t>(page + 0x14));
        const std::uint32_t stored = test::rl(pageHeader, 0x10);
        std::fill(pageHeader.begin() + 0x10, pageHeader.end(), std::uint8_t{0});
        const auto data = std::span<const std::uint8_t>(*file).subspan(page + 0x14, compressedSize);
        EXPECT_EQ(pageChecksum(pageChecksum(0, pageHeader), data), stored) << name;
    }
}

TEST(PageChecksum, DataPagesOfSamples) {
    // ODA §4.6 with the errata's field order: the 32-byte header is XORed
    // with 0x4164536B ^ its file offset; 0x1C holds checksum(0, compressed
    // data), and 0x18 the checksum of the header (0x18 zero) seeded with it.
    for (const char* name : kPagedSamples) {
        const auto file = test::loadSample(name);
        if (!file) GTEST_SKIP() << "sample drawing " << name << " is not available";
        int pages = 0;
        for (std::size_t at = 0x100; at + 32 <= file->size(); at += 0x20) {
            const std::uint32_t mask = 0x4164536BU ^ static_cast<std::uint32_t>(at);
            std::vector<std::uint8_t> header(32);
            for (std::size_t i = 0; i < 32; ++i) {
                header[i] = static_cast<std::uint8_t>((*file)[at + i] ^ (mask >> (8 * (i % 4))));
            }
            if (test::rl(header, 0) != 0x4163043BU) continue;
            const std::uint32_t compressedSize = test::rl(header, 8);
            ASSERT_LE(at + 32 + compressedSize, file->size()) << name;
            const std::uint32_t dataChecksum = pageChecksum(0, std::span<const std::uint8_t>(*file).subspan(at + 32, compressedSize));
            EXPECT_EQ(dataChecksum, test::rl(header, 0x1C)) << name << " page at " << at;
            const std::uint32_t headerChecksum = test::rl(header, 0x18);
            std::fill(header.begin() + 0x18, header.begin() + 0x1C, std::uint8_t{0});
            EXPECT_EQ(pageChecksum(dataChecksum, header), headerChecksum) << name << " page at " << at;
            ++pages;
        }
        EXPECT_GE(pages, 5) << name;
    }
}

}  // namespace
}  // namespace dwg
