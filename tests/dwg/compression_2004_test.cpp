// The 2004 page compression: streams worked out by hand from the opcode
// description in the format document (ODA §4.7), damaged streams, and round
// trips through the compressor.

#include "dwg/container/compression_2004.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "dwg/errors.h"

namespace dwg {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

void append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& more) {
    out.insert(out.end(), more.begin(), more.end());
}

std::vector<std::uint8_t> decompressAll(const std::vector<std::uint8_t>& stream, std::size_t room) {
    std::vector<std::uint8_t> out(room);
    out.resize(decompress2004(stream, out));
    return out;
}

TEST(Compression2004, ShortCopyLongCopyAndLiteralRuns) {
    std::vector<std::uint8_t> stream;
    // Literal length 0x05: 5 + 3 = 8 literals.
    stream.push_back(0x05);
    append(stream, bytesOf("ABCDEFGH"));
    // 0x7E 0x01: (0x7 - 1) = 6 bytes from offset (0x01 << 2 | (0xE & 0xC) >> 2) = 7,
    // i.e. 8 back; then (0x7E & 3) = 2 literals.
    append(stream, {0x7E, 0x01});
    append(stream, bytesOf("XY"));
    // 0x20, long length 0x07: 7 + 0x21 = 40 bytes; two-byte offset 00 00:
    // offset 0 (1 back), literal count 0, so a literal length follows:
    // 0x02 = 5 literals.
    append(stream, {0x20, 0x07, 0x00, 0x00, 0x02});
    append(stream, bytesOf("12345"));
    append(stream, {0x11, 0x00, 0x00});

    const std::string expected = "ABCDEFGH" "ABCDEF" "XY" + std::string(40, 'Y') + "12345";
    EXPECT_EQ(decompressAll(stream, 100), bytesOf(expected));
}

TEST(Compression2004, ExtendedLengthsFromTheDocumentsExamples) {
    std::vector<std::uint8_t> stream;
    // "0x00 0x02 : 0x14" literals.
    append(stream, {0x00, 0x02});
    for (std::uint8_t i = 0; i < 20; ++i) stream.push_back(i);
    // 0x20 with the long length "0x00 0x00 0x34 : 0x232": 0x232 + 0x21 bytes;
    // two-byte offset 0x4D 0x00: offset 19 (20 back), one literal.
    append(stream, {0x20, 0x00, 0x00, 0x34, 0x4D, 0x00, 'Z', 0x11, 0x00, 0x00});

    const auto out = decompressAll(stream, 1000);
    ASSERT_EQ(out.size(), 20U + 0x253U + 1U);
    for (std::size_t i = 0; i + 1 < out.size(); ++i) ASSERT_EQ(out[i], i % 20) << "at " << i;
    EXPECT_EQ(out.back(), 'Z');
}

TEST(Compression2004, FarCopiesAddOffset0x3FFF) {
    std::vector<std::uint8_t> stream;
    // 0x4010 literals: 0x00, then 64 zero bytes (64 * 0xFF) and 0x3E:
    // 0x0F + 0x3FC0 + 0x3E + 3 = 0x4010.
    stream.push_back(0x00);
    stream.insert(stream.end(), 64, 0x00);
    stream.push_back(0x3E);
    std::vector<std::uint8_t> literals;
    for (std::size_t i = 0; i < 0x4010; ++i) literals.push_back(static_cast<std::uint8_t>(i * 7 + i / 256));
    append(stream, literals);
    // 0x12: (0x12 & 0xF) + 2 = 4 bytes; two-byte offset 0x43 0x00: 0x10 +
    // 0x3FFF, i.e. 0x4010 back, and 3 literals.
    append(stream, {0x12, 0x43, 0x00, 'a', 'b', 'c'});
    // 0x10, long length 0x05: 5 + 9 = 14 bytes; offset 0x04 0x00: 1 + 0x3FFF,
    // i.e. 0x4001 back; literal count 0 and the next byte is the end opcode.
    append(stream, {0x10, 0x05, 0x04, 0x00, 0x11, 0x00, 0x00});

    std::vector<std::uint8_t> expected = literals;
    append(expected, {literals[0], literals[1], literals[2], literals[3], 'a', 'b', 'c'});
    const std::size_t at = expected.size();  // 0x4017; 0x4001 back is 0x16
    for (std::size_t i = 0; i < 14; ++i) expected.push_back(expected[at - 0x4001 + i]);
    EXPECT_EQ(decompressAll(stream, 0x5000), expected);
}

TEST(Compression2004, LiteralLength0x0FIsEighteen) {
    // Not in the document's list (0x01-0x0E) but written by AutoCAD.
    std::vector<std::uint8_t> stream{0x0F};
    for (std::uint8_t i = 0; i < 18; ++i) stream.push_back(i);
    append(stream, {0x11, 0x00, 0x00});
    EXPECT_EQ(decompressAll(stream, 64).size(), 18U);
}

TEST(Compression2004, EmptyStreamIsTheEndOpcode) {
    EXPECT_EQ(compress2004({}), (std::vector<std::uint8_t>{0x11, 0x00, 0x00}));
    EXPECT_TRUE(decompressAll({0x11, 0x00, 0x00}, 0).empty());
}

TEST(Compression2004, DamagedStreamsAreReported) {
    std::vector<std::uint8_t> out(64);
    // 4 literals, then a copy from 21 back.
    const std::vector<std::uint8_t> before{0x01, 'A', 'B', 'C', 'D', 0x40, 0x05, 0x11, 0x00, 0x00};
    EXPECT_THAT([&] { decompress2004(before, out); },
                ThrowsMessage<FormatError>(HasSubstr("before the start of the output")));
    // 0x05 where an opcode belongs.
    const std::vector<std::uint8_t> opcode{0x01, 'A', 'B', 'C', 'D', 0x05, 0x00};
    EXPECT_THAT([&] { decompress2004(opcode, out); },
                ThrowsMessage<FormatError>(HasSubstr("at byte 5: invalid opcode 0x05")));
    // A literal run longer than the data.
    const std::vector<std::uint8_t> cut{0x05, 'A', 'B', 'C'};
    EXPECT_THAT([&] { decompress2004(cut, out); }, ThrowsMessage<FormatError>(HasSubstr("only 3 left")));
    // An instruction cut short.
    const std::vector<std::uint8_t> half{0x01, 'A', 'B', 'C', 'D', 0x21, 0x00};
    EXPECT_THAT([&] { decompress2004(half, out); },
                ThrowsMessage<FormatError>(HasSubstr("found the end of the data")));
    // More output than room: 40 bytes into 16.
    const std::vector<std::uint8_t> big{0x01, 'A', 'B', 'C', 'D', 0x20, 0x07, 0x00, 0x00, 0x11, 0x00, 0x00};
    std::vector<std::uint8_t> small(16);
    EXPECT_THAT([&] { decompress2004(big, small); },
                ThrowsMessage<FormatError>(HasSubstr("decompresses to more than 16 bytes")));
    // A long length made of zero bytes to the end.
    std::vector<std::uint8_t> zeros{0x01, 'A', 'B', 'C', 'D', 0x20};
    zeros.insert(zeros.end(), 1000, 0x00);
    EXPECT_THROW(decompress2004(zeros, out), FormatError);
}

void expectRoundTrip(const std::vector<std::uint8_t>& data) {
    const auto compressed = compress2004(data);
    std::vector<std::uint8_t> back(data.size() + 64, 0xEE);
    ASSERT_EQ(decompress2004(compressed, back), data.size());
    back.resize(data.size());
    EXPECT_EQ(back, data);
}

TEST(Compression2004, RoundTripsOfTinyInputs) {
    for (std::size_t size = 4; size <= 40; ++size) {
        std::vector<std::uint8_t> data;
        for (std::size_t i = 0; i < size; ++i) data.push_back(static_cast<std::uint8_t>(i % 3 == 0 ? 'x' : i));
        expectRoundTrip(data);
        expectRoundTrip(std::vector<std::uint8_t>(size, 0));
    }
}

TEST(Compression2004, OneToThreeBytesCannotBeExpressed) {
    for (std::size_t size = 1; size <= 3; ++size)
        EXPECT_THROW(compress2004(std::vector<std::uint8_t>(size, 'a')), std::invalid_argument);
}

TEST(Compression2004, RepetitiveDataShrinks) {
    std::vector<std::uint8_t> zeros(0x7400, 0);
    expectRoundTrip(zeros);
    // A page of zeros takes about a byte per 255 (0x10 / 0x20 long lengths).
    EXPECT_LT(compress2004(zeros).size(), 0x7400U / 200);

    std::vector<std::uint8_t> text;
    const std::string line = "TEXT Standard 0.0 1.0 \xF9\xEC\xE5\xED layer-";
    for (int i = 0; text.size() < 100000; ++i) append(text, bytesOf(line + std::to_string(i % 97)));
    expectRoundTrip(text);
    EXPECT_LT(compress2004(text).size(), text.size() / 5);
}

TEST(Compression2004, RandomDataRoundTripsAndBarelyGrows) {
    std::mt19937 random(2004);
    std::vector<std::uint8_t> data(65536);
    for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
    expectRoundTrip(data);
    EXPECT_LT(compress2004(data).size(), data.size() + data.size() / 100);
}

// Runs of every length between copies of every length at near and far
// offsets, so that each opcode form and each literal length form occurs.
TEST(Compression2004, MegabyteOfMixedContentRoundTrips) {
    std::mt19937 random(18);
    std::vector<std::uint8_t> data;
    data.reserve(1 << 20);
    while (data.size() < (1U << 20)) {
        const std::size_t literals = random() % 300 < 250 ? random() % 24 : random() % 700;
        for (std::size_t i = 0; i < literals; ++i) data.push_back(static_cast<std::uint8_t>(random()));
        if (data.size() < 64) continue;
        const std::size_t reach = random() % 4 == 0 ? 0x7FFF : (random() % 2 == 0 ? 0x400 : 0x4000);
        const std::size_t distance = 1 + random() % std::min(reach, data.size());
        const std::size_t length = random() % 5 == 0 ? 3 + random() % 1000 : 3 + random() % 30;
        const std::size_t from = data.size() - distance;
        for (std::size_t i = 0; i < length; ++i) data.push_back(data[from + i]);
    }
    expectRoundTrip(data);
    EXPECT_LT(compress2004(data).size(), data.size());
}

TEST(Compression2004, OneCompressorServesManyPages) {
    Compressor2004 compressor;
    std::mt19937 random(7);
    std::vector<std::uint8_t> all;
    std::vector<std::size_t> ends;
    std::vector<std::vector<std::uint8_t>> pages;
    for (int page = 0; page < 6; ++page) {
        std::vector<std::uint8_t> data(0x7400);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i % 64 < 40 ? random() % 4 : random());
        compressor.compress(data, all);
        ends.push_back(all.size());
        pages.push_back(std::move(data));
    }
    std::size_t start = 0;
    for (std::size_t page = 0; page < pages.size(); ++page) {
        const std::vector<std::uint8_t> stream(all.begin() + static_cast<std::ptrdiff_t>(start),
                                               all.begin() + static_cast<std::ptrdiff_t>(ends[page]));
        EXPECT_EQ(decompressAll(stream, 0x7400), pages[page]) << "page " << page;
        // A page never refers to another page's bytes: the same page alone
        // compresses to the same stream.
        EXPECT_EQ(compress2004(pages[page]), stream) << "page " << page;
        start = ends[page];
    }
}

}  // namespace
}  // namespace dwg
