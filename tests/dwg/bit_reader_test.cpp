// Expected values come from the worked examples of the format document
// (ODA §2, §20.4.3.1) or are worked out by hand from its code tables.

#include "dwg/bits/bit_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "dwg/errors.h"
#include "test_support.h"

namespace dwg {
namespace {

using test::bitsToBytes;
using test::hexToBytes;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

// --- ODA §2.2-2.7 worked examples ---------------------------------------

TEST(BitReader, BitShortDocumentExampleReadsFiveShorts) {
    // "0000000001000000011011010000111110" parses as 257, 0, 256, 15, 0.
    const auto bytes = bitsToBytes("0000000001000000011011010000111110");
    BitReader in(bytes, Release::R2000);
    EXPECT_EQ(in.readBS(), 257);
    EXPECT_EQ(in.readBS(), 0);
    EXPECT_EQ(in.readBS(), 256);
    EXPECT_EQ(in.readBS(), 15);
    EXPECT_EQ(in.readBS(), 0);
    EXPECT_EQ(in.bitPos(), 34U);
}

TEST(BitReader, BitShortCode3Is256AndNegativesUseTheFullShort) {
    // ODA §2.2: 11 is 256; -1 is 00.11111111.11111111.
    const auto bytes = bitsToBytes("11  00 11111111 11111111  00 00000000 10000000");
    BitReader in(bytes, Release::R14);
    EXPECT_EQ(in.readBS(), 256);
    EXPECT_EQ(in.bitPos(), 2U);
    EXPECT_EQ(in.readBS(), -1);
    EXPECT_EQ(in.readBS(), -32768);
}

TEST(BitReader, BitLongDocumentExampleNegativeAndUnusedCode) {
    // "000000000100000001000000000000000010010000111110": 257, 0, 15, 0.
    const auto bytes = bitsToBytes("000000000100000001000000000000000010010000111110");
    BitReader in(bytes, Release::R2000);
    EXPECT_EQ(in.readBL(), 257);
    EXPECT_EQ(in.readBL(), 0);
    EXPECT_EQ(in.readBL(), 15);
    EXPECT_EQ(in.readBL(), 0);
    EXPECT_TRUE(in.isAtEnd());

    const auto negative = bitsToBytes("00 11111111 11111111 11111111 11111111");
    EXPECT_EQ(BitReader(negative, Release::R2000).readBL(), -1);

    const auto unused = bitsToBytes("0 11");  // code 11 starting at bit 1
    BitReader bad(unused, Release::R2000);
    bad.readB();
    EXPECT_THAT([&] { bad.readBL(); }, ThrowsMessage<FormatError>("BL: expected code 0, 1 or 2, found 3 at bit 1"));
}

TEST(BitReader, BitDoubleCodes) {
    // 01 = 1.0, 10 = 0.0, 00 + RD; 2.5 is 0x4004000000000000.
    const auto bytes = bitsToBytes("01 10 00 00000000 00000000 00000000 00000000 00000000 00000000 00000100 01000000");
    BitReader in(bytes, Release::R2000);
    EXPECT_EQ(in.readBD(), 1.0);
    EXPECT_EQ(in.readBD(), 0.0);
    EXPECT_EQ(in.readBD(), 2.5);
    EXPECT_EQ(in.bitPos(), 70U);

    const auto unused = bitsToBytes("11");
    BitReader bad(unused, Release::R2000);
    EXPECT_THAT([&] { bad.readBD(); }, ThrowsMessage<FormatError>("BD: expected code 0, 1 or 2, found 3 at bit 0"));
}

TEST(BitReader, ModularCharDocumentExamples) {
    const auto twoBytes = hexToBytes("82 24");
    EXPECT_EQ(BitReader(twoBytes, Release::R2000).readMC(), 4610);

    const auto fourBytes = hexToBytes("E9 97 E6 35");
    BitReader four(fourBytes, Release::R2000);
    EXPECT_EQ(four.readMC(), 112823273);
    EXPECT_EQ(four.bitPos(), 32U);

    const auto negative = hexToBytes("85 4B");
    EXPECT_EQ(BitReader(negative, Release::R2000).readMC(), -1413);
    // UMC takes the last byte's 0x40 as a value bit: 5 + 0x4B * 128.
    EXPECT_EQ(BitReader(negative, Release::R2010).readUMC(), 9605U);
}

TEST(BitReader, ModularCharBeyond64BitsIsRejected) {
    const auto bytes = hexToBytes("FF FF FF FF FF FF FF FF FF FF 01");
    BitReader in(bytes, Release::R2000);
    EXPECT_THAT([&] { in.readUMC(); }, ThrowsMessage<FormatError>(HasSubstr("UMC: expected a value within 64 bits")));
    BitReader signedIn(bytes, Release::R2000);
    EXPECT_THAT([&] { signedIn.readMC(); }, ThrowsMessage<FormatError>(HasSubstr("at bit 0")));
}

TEST(BitReader, ModularShortDocumentExample) {
    // 00110001 11110100 10001101 00000000 = 4650033; a single module 49 00 = 73.
    const auto bytes = hexToBytes("31 F4 8D 00 49 00");
    BitReader in(bytes, Release::R2000);
    EXPECT_EQ(in.readMS(), 4650033U);
    EXPECT_EQ(in.readMS(), 73U);
    EXPECT_TRUE(in.isAtEnd());

    const auto three = hexToBytes("FF FF FF FF 01 00");
    BitReader bad(three, Release::R2000);
    EXPECT_THAT([&] { bad.readMS(); }, ThrowsMessage<FormatError>("MS: expected at most 2 modules, found more at bit 16"));
}

TEST(BitReader, HandleReferenceDocumentExamples) {
    // 0101.0010.00000101.11100111 = 5.2.05E7 (layer 5E7); 5.1.0F (layer 0); 4.0 (no handle).
    const auto bytes = hexToBytes("52 05 E7 51 0F 40");
    BitReader in(bytes, Release::R14);
    EXPECT_EQ(in.readH(), (HandleRef{5, 0x5E7}));
    EXPECT_EQ(in.readH(), (HandleRef{5, 0x0F}));
    EXPECT_EQ(in.readH(), (HandleRef{4, 0}));
    EXPECT_TRUE(in.isAtEnd());

    const auto nine = hexToBytes("59 01 02 03 04 05 06 07 08 09");
    BitReader bad(nine, Release::R2000);
    EXPECT_THAT([&] { bad.readH(); }, ThrowsMessage<FormatError>("H: expected at most 8 value bytes, found 9 at bit 0"));
}

TEST(BitReader, ResolvesOffsetHandles) {
    // ODA §2.13: 2-5 absolute, 6 = +1, 8 = -1, A = +offset, C = -offset.
    EXPECT_EQ(resolveHandle({5, 0x5E7}, 0x100), 0x5E7U);
    EXPECT_EQ(resolveHandle({6, 0}, 0x100), 0x101U);
    EXPECT_EQ(resolveHandle({8, 0}, 0x100), 0xFFU);
    EXPECT_EQ(resolveHandle({0xA, 0x20}, 0x100), 0x120U);
    EXPECT_EQ(resolveHandle({0xC, 0x20}, 0x100), 0xE0U);
    EXPECT_THAT([] { resolveHandle({7, 1}, 0x100); },
                ThrowsMessage<FormatError>("H: expected reference code 0-6, 8, A or C, found 7"));
    EXPECT_THAT([] { resolveHandle({0xC, 0x200}, 0x100); }, ThrowsMessage<FormatError>(HasSubstr("below handle 0")));
}

TEST(BitReader, BitTripletStopsAtFirstZero) {
    // ODA §2.1: 0 -> 0, 10 -> 2, 110 -> 6, 111 -> 7.
    const auto bytes = bitsToBytes("0 10 110 111");
    BitReader in(bytes, Release::R2010);
    EXPECT_EQ(in.read3B(), 0);
    EXPECT_EQ(in.bitPos(), 1U);
    EXPECT_EQ(in.read3B(), 2);
    EXPECT_EQ(in.bitPos(), 3U);
    EXPECT_EQ(in.read3B(), 6);
    EXPECT_EQ(in.read3B(), 7);
    EXPECT_EQ(in.bitPos(), 9U);
}

TEST(BitReader, BitLongLongHasThreeBitByteCount) {
    // 010 = 2 bytes, 34 12 little-endian; 000 = 0.
    const auto bytes = bitsToBytes("010 00110100 00010010 000");
    BitReader in(bytes, Release::R2013);
    EXPECT_EQ(in.readBLL(), 0x1234U);
    EXPECT_EQ(in.readBLL(), 0U);
    EXPECT_EQ(in.bitPos(), 22U);
}

TEST(BitReader, BitDoubleWithDefaultPatchesTheDefault) {
    // Default 1.0 = 3FF00000 00000000 (bytes 00 00 00 00 00 00 F0 3F).
    // 01 + 01 02 03 04 replaces bytes 0-3: 3FF00000 04030201.
    // 10 + AA BB 01 02 03 04 replaces bytes 4-5 and 0-3: 3FF0BBAA 04030201.
    const auto bytes = bitsToBytes(
        "00"
        "01 00000001 00000010 00000011 00000100"
        "10 10101010 10111011 00000001 00000010 00000011 00000100"
        "11 00000000 00000000 00000000 00000000 00000000 00000000 00000100 01000000");
    BitReader in(bytes, Release::R2000);
    EXPECT_EQ(in.readDD(1.0), 1.0);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(in.readDD(1.0)), 0x3FF0000004030201ULL);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(in.readDD(1.0)), 0x3FF0BBAA04030201ULL);
    EXPECT_EQ(in.readDD(1.0), 2.5);
    EXPECT_EQ(in.bitPos(), 2U + 34U + 50U + 66U);
}

TEST(BitReader, ThicknessAndExtrusionDependOnRelease) {
    // R14: BT is a BD, BE a 3BD. 2000: a leading 1 bit means 0.0 / (0, 0, 1).
    const auto r14 = bitsToBytes("10  10 10 01");
    BitReader old(r14, Release::R14);
    EXPECT_EQ(old.readBT(), 0.0);
    EXPECT_EQ(old.readBE(), (Point3{0.0, 0.0, 1.0}));
    EXPECT_EQ(old.bitPos(), 8U);

    const auto r2000 = bitsToBytes("1 0 01  1 0 10 01 10");
    BitReader in(r2000, Release::R2000);
    EXPECT_EQ(in.readBT(), 0.0);
    EXPECT_EQ(in.readBT(), 1.0);
    EXPECT_EQ(in.bitPos(), 4U);
    EXPECT_EQ(in.readBE(), (Point3{0.0, 0.0, 1.0}));
    EXPECT_EQ(in.readBE(), (Point3{0.0, 1.0, 0.0}));
    EXPECT_EQ(in.bitPos(), 12U);
}

TEST(BitReader, RawValuesAreLittleEndianAtAnyBitOffset) {
    const auto bytes = bitsToBytes(
        "1"
        "00110100 00010010"                    // RS 0x1234
        "01111000 01010110 00110100 00010010"  // RL 0x12345678
        "00001000 00000111 00000110 00000101 00000100 00000011 00000010 00000001"  // RLL
        "00000000 00000000 00000000 00000000 00000000 00000000 00000100 01000000"  // RD 2.5
        "11111110");                           // RC
    BitReader in(bytes, Release::R2000);
    EXPECT_TRUE(in.readB());
    EXPECT_EQ(in.readRS(), 0x1234U);
    EXPECT_EQ(in.readRL(), 0x12345678U);
    EXPECT_EQ(in.readRLL(), 0x0102030405060708ULL);
    EXPECT_EQ(in.readRD(), 2.5);
    EXPECT_EQ(in.readRC(), 0xFEU);
    EXPECT_EQ(in.bitPos(), 1U + 16 + 32 + 64 + 64 + 8);
}

TEST(BitReader, BitsAndBytes) {
    const auto bytes = hexToBytes("A5 C3 0F F0");
    BitReader in(bytes, Release::R2000);
    EXPECT_EQ(in.readBits(4), 0xAU);
    EXPECT_EQ(in.readBits(0), 0U);
    EXPECT_EQ(in.readBytes(2), (std::vector<std::uint8_t>{0x5C, 0x30}));  // unaligned
    EXPECT_EQ(in.readBits(12), 0xFF0U);
    EXPECT_TRUE(in.isAtEnd());

    const auto wide = hexToBytes("01 23 45 67 89 AB CD EF");
    EXPECT_EQ(BitReader(wide, Release::R2000).readBits(64), 0x0123456789ABCDEFULL);
}

TEST(BitReader, TextIsKeptAsStoredBytes) {
    // BS 3 (01 00000011) + "abc"; BS 0 (10) = empty; BS 2 "m\0" keeps the zero.
    const auto bytes = bitsToBytes(
        "01 00000011 01100001 01100010 01100011"
        "10"
        "01 00000010 01101101 00000000");
    BitReader in(bytes, Release::R2000);
    EXPECT_EQ(in.readTV(), "abc");
    EXPECT_EQ(in.readTV(), "");
    EXPECT_EQ(in.readTV(), std::string("m\0", 2));
}

TEST(BitReader, UnicodeTextIsUtf16LittleEndian) {
    // BS 2, then 'A' (41 00) and U+05E9 HEBREW LETTER SHIN (E9 05).
    const auto bytes = bitsToBytes("01 00000010 01000001 00000000 11101001 00000101");
    BitReader in(bytes, Release::R2007);
    EXPECT_EQ(in.readTU(), u"A\u05E9");
    EXPECT_EQ(in.bitPos(), 42U);
}

TEST(BitReader, CmColorPerRelease) {
    // Up to 2000 only the BS index.
    const auto indexOnly = bitsToBytes("01 00000111 1");
    BitReader r2000(indexOnly, Release::R2000);
    CmColor seven;
    seven.index = 7;
    EXPECT_EQ(r2000.readCMC(), seven);
    EXPECT_EQ(r2000.bitPos(), 10U);

    // 2004: BS 0, BL C2FF0000 (00 + 00 00 FF C2), RC 3, TV "A", TV "B".
    const auto named = bitsToBytes(
        "10 00 00000000 00000000 11111111 11000010 00000011"
        "01 00000001 01000001  01 00000001 01000010");
    const CmColor color = BitReader(named, Release::R2004).readCMC();
    EXPECT_EQ(color.rgb, 0xC2FF0000U);
    EXPECT_EQ(color.flags, 3U);
    EXPECT_EQ(color.name, Text::fromBytes("A"));
    EXPECT_EQ(color.bookName, Text::fromBytes("B"));

    // 2007: BS 0, BL 1 (01 00000001), RC 1; the name TU "C" in the string stream.
    const auto data = bitsToBytes("10 01 00000001 00000001");
    const auto strings = bitsToBytes("01 00000001 01000011 00000000");
    BitReader in(data, Release::R2007);
    BitReader stringStream(strings, Release::R2007);
    const CmColor unicode = in.readCMC(stringStream);
    EXPECT_EQ(unicode.rgb, 1U);
    EXPECT_EQ(unicode.name.units, u"C");
    EXPECT_EQ(in.bitPos(), 20U);
    EXPECT_EQ(stringStream.bitPos(), 26U);
}

TEST(BitReader, ObjectTypeCodes) {
    // ODA §2.12: 0 RC; 1 RC + 0x1F0; 2 RS; 3 read like 2.
    const auto bytes = bitsToBytes(
        "00 00000001"
        "01 00010000"
        "10 00110100 00010010"
        "11 11110100 00000001");
    BitReader in(bytes, Release::R2010);
    EXPECT_EQ(in.readBOT(), 1U);
    EXPECT_EQ(in.readBOT(), 0x200U);
    EXPECT_EQ(in.readBOT(), 0x1234U);
    EXPECT_EQ(in.readBOT(), 0x1F4U);

    // Before 2010 the type is a BS: 01 00000001 is TEXT.
    const auto old = bitsToBytes("01 00000001");
    EXPECT_EQ(BitReader(old, Release::R2007).readOT(), 1U);
    EXPECT_EQ(BitReader(old, Release::R2010).readOT(), 0x1F1U);  // the same bits as a BOT: 01 + RC 1
}

// --- Bounds ---------------------------------------------------------------

TEST(BitReader, TruncatedReadsReportCodeNeedAndPosition) {
    const auto three = hexToBytes("01 02 03");
    BitReader in(three, Release::R2000);
    EXPECT_THAT([&] { in.readRL(); }, ThrowsMessage<FormatError>("RL: expected 32 bits, found 24 at bit 0"));

    BitReader shifted(three, Release::R2000);
    shifted.readB();
    shifted.readRS();
    EXPECT_THAT([&] { shifted.readRS(); }, ThrowsMessage<FormatError>("RS: expected 16 bits, found 7 at bit 17"));

    const auto one = bitsToBytes("00 000000");  // BS code 00, then only 6 bits
    BitReader bs(one, Release::R2000);
    EXPECT_THAT([&] { bs.readBS(); }, ThrowsMessage<FormatError>("BS: expected 16 bits, found 6 at bit 2"));

    const std::vector<std::uint8_t> none;
    BitReader empty(none, Release::R2000);
    EXPECT_THAT([&] { empty.readB(); }, ThrowsMessage<FormatError>("B: expected 1 bits, found 0 at bit 0"));
    EXPECT_THAT([&] { empty.readBD(); }, ThrowsMessage<FormatError>("BD: expected 2 bits, found 0 at bit 0"));
}

TEST(BitReader, EveryCodeFailsCleanlyOnEveryTruncation) {
    // Cut a stream holding one of each code at every bit: each read either
    // succeeds or throws FormatError, never reads past the end.
    const auto full = bitsToBytes(
        "1 01 110 00 00110100 00010010 00 01111000 01010110 00110100 00010010"
        "00 00000000 00000000 00000000 00000000 00000000 00000000 00000100 01000000"
        "10 00000001 00000010 00000011 00000100 00000101 00000110"
        "10000010 00100100 00110001 11110100 10001101 00000000 01010010 00000101 11100111"
        "01 00000011 01100001 01100010 01100011 01 00000001 01000001 00000000"
        "011 00000001 00000010 00000011 10 00110100 00010010");
    const auto readAll = [](BitReader& in) {
        in.readB();
        in.readBB();
        in.read3B();
        in.readBS();
        in.readBL();
        in.readBD();
        in.readDD(0.0);
        in.readMC();
        in.readMS();
        in.readH();
        in.readTV();
        in.readTU();
        in.readBLL();
        in.readBOT();
    };
    BitReader whole(full, Release::R2010);
    ASSERT_NO_THROW(readAll(whole));
    const std::uint64_t totalBits = whole.bitPos();
    for (std::uint64_t cut = 0; cut < totalBits; ++cut) {
        std::vector<std::uint8_t> bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>((cut + 7) / 8));
        BitReader in(bytes, Release::R2010);
        in.setEndBit(cut);
        try {
            readAll(in);
            ADD_FAILURE() << "a stream cut at bit " << cut << " of " << totalBits << " was read whole";
        } catch (const FormatError& e) {
            EXPECT_THAT(e.what(), HasSubstr("expected")) << "cut at " << cut;
        }
        EXPECT_LE(in.bitPos(), cut);
    }
}

TEST(BitReader, HugeDeclaredTextLengthFailsBeforeReading) {
    // BS 00 + FFFF: 65535 bytes declared, 2 bytes present.
    const auto bytes = bitsToBytes("00 11111111 11111111 01100001 01100010");
    BitReader in(bytes, Release::R2000);
    EXPECT_THAT([&] { in.readTV(); },
                ThrowsMessage<FormatError>("TV length 65535: expected 524280 bits, found 22 at bit 18"));

    BitReader wide(bytes, Release::R2007);
    EXPECT_THAT([&] { wide.readTU(); },
                ThrowsMessage<FormatError>("TU length 65535: expected 1048560 bits, found 22 at bit 18"));
}

TEST(BitReader, HugeByteCountFailsWithFormatErrorNotAllocation) {
    const auto bytes = hexToBytes("01 02 03");
    BitReader in(bytes, Release::R2000);
    EXPECT_THAT([&] { in.readBytes(std::numeric_limits<std::size_t>::max()); },
                ThrowsMessage<FormatError>("bytes: expected 18446744073709551615 bytes, found 24 bits at bit 0"));
    std::vector<std::uint8_t> four(4);
    EXPECT_THAT([&] { in.readBytes(four); }, ThrowsMessage<FormatError>(HasSubstr("expected 4 bytes, found 24 bits")));
    EXPECT_EQ(in.bitPos(), 0U);
    EXPECT_EQ(in.readBytes(3), bytes);
}

TEST(BitReader, SeekSkipAlignAndEnd) {
    const auto bytes = hexToBytes("00 80 FF");
    BitReader in(bytes, Release::R2000);
    in.skipBits(3);
    in.alignToByte();
    EXPECT_EQ(in.bitPos(), 8U);
    EXPECT_TRUE(in.readB());
    in.alignToByte();
    in.alignToByte();
    EXPECT_EQ(in.bitPos(), 16U);
    in.seekBit(24);
    EXPECT_TRUE(in.isAtEnd());
    EXPECT_THAT([&] { in.seekBit(25); },
                ThrowsMessage<FormatError>("seek: expected a bit position up to 24, found 25 at bit 24"));
    in.seekBit(0);
    EXPECT_THAT([&] { in.skipBits(25); }, ThrowsMessage<FormatError>("skip: expected 25 bits, found 24 at bit 0"));

    // An end before the bytes' end: an object's data stream stops where its
    // handles begin.
    in.setEndBit(12);
    EXPECT_EQ(in.bitsLeft(), 12U);
    EXPECT_EQ(in.readRC(), 0x00U);
    EXPECT_THAT([&] { in.readRC(); }, ThrowsMessage<FormatError>("RC: expected 8 bits, found 4 at bit 8"));
    EXPECT_THAT([&] { in.setEndBit(25); }, ThrowsMessage<FormatError>(HasSubstr("found 25")));
}

// --- Real data --------------------------------------------------------------

TEST(BitReader, DecodesTheDocumentTextExample) {
    // ODA §20.4.3.1: an R14 TEXT "this is text" at (3, 4), height 0.2, handle 4C.
    const auto bytes = test::documentTextExample();
    BitReader in(bytes, Release::R14);
    EXPECT_EQ(in.readMS(), 73U);
    EXPECT_EQ(in.readOT(), 1U);                       // TEXT
    EXPECT_EQ(in.readH(), (HandleRef{0, 0x4C}));      // its own handle
    EXPECT_EQ(in.readBS(), 0);                        // no extended data
    EXPECT_FALSE(in.readB());                         // no graphic image
    const std::uint32_t dataBits = in.readRL();
    EXPECT_EQ(in.readBits(6), 0b101010U);             // MSPACE entity, 0 reactors, no linetype, links
    EXPECT_EQ(in.readBS(), 256);                      // colour BYLAYER
    EXPECT_EQ(in.readBD(), 1.0);                      // linetype scale
    EXPECT_EQ(in.readBS(), 0);                        // visible
    EXPECT_EQ(in.readBD(), 0.0);                      // elevation
    EXPECT_EQ(in.read2RD(), (Point2{3.0, 4.0}));      // insertion
    EXPECT_EQ(in.read2RD(), (Point2{0.0, 0.0}));      // alignment
    EXPECT_EQ(in.readBE(), (Point3{0.0, 0.0, 1.0}));  // extrusion
    EXPECT_EQ(in.readBT(), 0.0);                      // thickness
    EXPECT_EQ(in.readBD(), 0.0);                      // oblique
    EXPECT_EQ(in.readBD(), 0.0);                      // rotation
    EXPECT_EQ(in.readBD(), 0.2);                      // height
    EXPECT_EQ(in.readBD(), 1.0);                      // width factor
    EXPECT_EQ(in.readTV(), "this is text");
    EXPECT_EQ(in.readBS(), 0);                        // generation
    EXPECT_EQ(in.readBS(), 0);                        // horizontal alignment
    EXPECT_EQ(in.readBS(), 0);                        // vertical alignment
    // The RL counts the bits from the end of the MS to the handles.
    EXPECT_EQ(in.bitPos(), 16U + dataBits);
    EXPECT_EQ(in.readH(), (HandleRef{3, 0}));         // xdictionary
    EXPECT_EQ(in.readH(), (HandleRef{5, 0x0F}));      // layer 0
    EXPECT_EQ(in.readH(), (HandleRef{4, 0}));         // previous entity
    EXPECT_EQ(in.readH(), (HandleRef{4, 0}));         // next entity
    EXPECT_EQ(in.readH(), (HandleRef{5, 0x10}));      // style
    EXPECT_EQ(in.bitsLeft(), 5U);                     // padding to the byte boundary
}

}  // namespace
}  // namespace dwg
