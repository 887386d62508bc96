// The 2007 LZ77 variant: streams worked out by hand from ODA §5.10 (the
// literal order of §5.10.1, the instructions of §5.10.2), its refusals, and
// random input. The samples' pages exercise it in container_r2007_test.

#include "dwg/container/compression_2007.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "dwg/errors.h"

namespace dwg {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

Bytes decompressed(const Bytes& in, std::size_t room = 256) {
    Bytes out(room);
    out.resize(decompress2007(in, out));
    return out;
}

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(Decompress2007, FirstOpcodeCountsLiteralsFromEight) {
    // 0x00: 8 literals, stored in order.
    EXPECT_EQ(decompressed(Bytes{0x00} + text("ABCDEFGH")), text("ABCDEFGH"));
    // 0x01: 9 literals, "1 [8], 8 [0]": the last stored byte comes first.
    EXPECT_EQ(decompressed(Bytes{0x01} + text("BCDEFGHIA")), text("ABCDEFGHI"));
    // 0x06: 14 literals, "1 [13], 4 [9], 8 [1], 1 [0]".
    EXPECT_EQ(decompressed(Bytes{0x06} + text("NFGHIJKLMBCDEA")), text("ABCDEFGHIJKLMN"));
    // A first opcode 0x2X skips two bytes; the third's low bits count the
    // literals, 3 here, stored reversed ("1 [2], 1 [1], 1 [0]").
    EXPECT_EQ(decompressed(Bytes{0x20, 0xEE, 0xEE, 0x03} + text("CBA")), text("ABC"));
}

TEST(Decompress2007, LongLiteralRunsTakeGroupsOf32Reversed) {
    // 0x0F: 0x17 literals plus the next byte, 35 here: a group of 32 as its
    // four 8-byte groups in reverse order, then 3 reversed bytes.
    Bytes stored(35);
    std::iota(stored.begin(), stored.end(), std::uint8_t{0});
    Bytes expected;
    for (const int group : {24, 16, 8, 0})
        for (int i = 0; i < 8; ++i) expected.push_back(static_cast<std::uint8_t>(group + i));
    expected.insert(expected.end(), {34, 33, 32});
    EXPECT_EQ(decompressed(Bytes{0x0F, 35 - 0x17} + stored), expected);
    // A byte of 0xFF adds 16-bit values: 0x17 + 0xFF + 0x0010 = 0x126.
    Bytes many(0x126, 0x55);
    EXPECT_EQ(decompressed(Bytes{0x0F, 0xFF, 0x10, 0x00} + many, 0x200), many);
}

TEST(Decompress2007, InstructionsCopyEarlierOutput) {
    const Bytes start = Bytes{0x00} + text("ABCDEFGH");
    // 0x3X-0xEX: length in the high nibble, offset low bits in the low one;
    // the next byte adds (bits 3-7) << 1 to the offset minus 1. 0x47 0x00:
    // 4 bytes from 8 back, then the end.
    EXPECT_EQ(decompressed(start + Bytes{0x47, 0x00}), text("ABCDEFGHABCD"));
    // The last byte's low bits count the literals that follow: 2, reversed.
    EXPECT_EQ(decompressed(start + Bytes{0x47, 0x02} + text("YX")), text("ABCDEFGHABCDXY"));
    // 0x1X: (low nibble) + 3 bytes from (next byte) + 1 back, overlapping.
    EXPECT_EQ(decompressed(start + Bytes{0x12, 0x00, 0x00}), text("ABCDEFGHHHHHH"));
    // 0x2X with bit 3 clear: a 16-bit offset, the length's high bits in the
    // last byte: 3 + 8 bytes from 8 back.
    EXPECT_EQ(decompressed(start + Bytes{0x23, 0x08, 0x00, 0x08}), text("ABCDEFGHABCDEFGHABC"));
    // After an instruction without literals, 0xFX is the long copy 0x0X:
    // (low nibble) + 0x13 bytes, 19 here from 4 back; 0x0X starts a
    // literal run of X + 8.
    EXPECT_EQ(decompressed(start + Bytes{0x47, 0x00, 0xF0, 0x03, 0x00}),
              text("ABCDEFGHABCD") + text("ABCDABCDABCDABCDABC"));
    EXPECT_EQ(decompressed(start + Bytes{0x47, 0x00, 0x00} + text("12345678")), text("ABCDEFGHABCD12345678"));
}

TEST(Decompress2007, DamagedStreamsAreRefused) {
    const Bytes start = Bytes{0x00} + text("ABCDEFGH");
    EXPECT_THAT([&] { decompressed(start + Bytes{0x40, 0x10}); },
                ThrowsMessage<FormatError>(HasSubstr("copy from 33 bytes back, 8 bytes written")));
    EXPECT_THAT([&] { decompressed(Bytes{0x00} + text("ABC")); },
                ThrowsMessage<FormatError>(HasSubstr("literal run of 8 bytes, only 3 left")));
    EXPECT_THAT([&] { decompressed(start + Bytes{0x12}); },
                ThrowsMessage<FormatError>(HasSubstr("compressed data at byte 9: expected more bytes")));
    EXPECT_THAT([&] { decompressed(start, 4); }, ThrowsMessage<FormatError>(HasSubstr("do not fit the 4 bytes")));
    // Literals announced by the last instruction must be there.
    EXPECT_THAT([&] { decompressed(start + Bytes{0x47, 0x02}); },
                ThrowsMessage<FormatError>(HasSubstr("literal run of 2 bytes, only 0 left")));
}

TEST(Decompress2007, RandomInputNeverLeavesItsSpans) {
    std::mt19937 random(2007);
    for (int round = 0; round < 2000; ++round) {
        Bytes in(random() % 64);
        for (auto& byte : in) byte = static_cast<std::uint8_t>(random());
        Bytes out(random() % 128);
        try {
            EXPECT_LE(decompress2007(in, out), out.size());
        } catch (const FormatError&) {
        }
    }
}

}  // namespace
}  // namespace dwg
