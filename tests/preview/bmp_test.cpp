#include "preview/bmp.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace preview {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A bitmap without file header: 40-byte information header, table, rows.
Bytes dib(std::int32_t width, std::int32_t height, int bits, std::uint32_t compression, std::uint32_t colorsUsed,
          const Bytes& table, const Bytes& rows)
{
    Bytes b(40, 0);
    put32(b, 0, 40);
    put32(b, 4, static_cast<std::uint32_t>(width));
    put32(b, 8, static_cast<std::uint32_t>(height));
    b[12] = 1;
    b[14] = static_cast<std::uint8_t>(bits);
    put32(b, 16, compression);
    put32(b, 20, static_cast<std::uint32_t>(rows.size()));
    put32(b, 32, colorsUsed);
    b.insert(b.end(), table.begin(), table.end());
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

void expectPixel(const Picture& p, int x, int y, int b, int g, int r)
{
    const std::uint8_t* px = p.row(y) + 3 * x;
    EXPECT_EQ(px[0], b) << "blue at " << x << "," << y;
    EXPECT_EQ(px[1], g) << "green at " << x << "," << y;
    EXPECT_EQ(px[2], r) << "red at " << x << "," << y;
}

// Colour table entries: blue, green, red, reserved.
const Bytes kTable2 = {1, 2, 3, 0, 10, 20, 30, 0};
// The same colours as encodeIndexedDib takes them: blue, green, red.
const Bytes kTable2Rgb = {1, 2, 3, 10, 20, 30};

TEST(Bmp, OneBitBottomUpWithFullTable)
{
    // 3 x 2, rows padded to 4 bytes; the bottom row (101) comes first.
    const Picture p = decodeDib(dib(3, 2, 1, 0, 0, kTable2, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}));
    ASSERT_EQ(p.width, 3);
    ASSERT_EQ(p.height, 2);
    expectPixel(p, 0, 0, 1, 2, 3);
    expectPixel(p, 1, 0, 10, 20, 30);
    expectPixel(p, 2, 0, 1, 2, 3);
    expectPixel(p, 0, 1, 10, 20, 30);
    expectPixel(p, 1, 1, 1, 2, 3);
    expectPixel(p, 2, 1, 10, 20, 30);
}

TEST(Bmp, FourBitWithColorsUsed)
{
    // biClrUsed 3: a 12-byte table, the rows right after it. Pixels 1, 2, 0.
    const Bytes table = {1, 2, 3, 0, 10, 20, 30, 0, 100, 110, 120, 0};
    const Picture p = decodeDib(dib(3, 1, 4, 0, 3, table, {0x12, 0x00, 0, 0}));
    expectPixel(p, 0, 0, 10, 20, 30);
    expectPixel(p, 1, 0, 100, 110, 120);
    expectPixel(p, 2, 0, 1, 2, 3);
    EXPECT_EQ(dibPixelOffset(dib(3, 1, 4, 0, 3, table, {0x12, 0x00, 0, 0})), 52u);
    EXPECT_EQ(dibPixelOffset(dib(3, 1, 4, 0, 0, Bytes(64, 0), {0x12, 0x00, 0, 0})), 40u + 64u);
}

TEST(Bmp, EightBitTopDown)
{
    // Negative height: the first stored row is the top one.
    const Picture p = decodeDib(dib(2, -2, 8, 0, 2, kTable2, {1, 0, 0, 0, 0, 1, 0, 0}));
    ASSERT_EQ(p.height, 2);
    expectPixel(p, 0, 0, 10, 20, 30);
    expectPixel(p, 1, 0, 1, 2, 3);
    expectPixel(p, 0, 1, 1, 2, 3);
    expectPixel(p, 1, 1, 10, 20, 30);
}

TEST(Bmp, TwentyFourAndThirtyTwoBits)
{
    // 24 bits: 2 x 2, 6 bytes a row plus 2 of padding; no colour table.
    const Picture p24 = decodeDib(dib(2, 2, 24, 0, 0, {}, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}));
    expectPixel(p24, 0, 1, 1, 2, 3);
    expectPixel(p24, 1, 1, 4, 5, 6);
    expectPixel(p24, 0, 0, 7, 8, 9);
    expectPixel(p24, 1, 0, 10, 11, 12);
    // 32 bits: B, G, R and an unused byte.
    const Picture p32 = decodeDib(dib(2, 1, 32, 0, 0, {}, {1, 2, 3, 99, 4, 5, 6, 99}));
    expectPixel(p32, 0, 0, 1, 2, 3);
    expectPixel(p32, 1, 0, 4, 5, 6);
}

TEST(Bmp, RunLengthEncoded)
{
    // RLE8, 4 x 2: bottom row a run of three 1s then end of line; top row
    // three literal pixels 0 1 0 (padded to a word), then end of bitmap.
    const Picture p8 = decodeDib(dib(4, 2, 8, 1, 2, kTable2, {3, 1, 0, 0, 0, 3, 0, 1, 0, 0, 0, 1}));
    expectPixel(p8, 0, 1, 10, 20, 30);
    expectPixel(p8, 2, 1, 10, 20, 30);
    expectPixel(p8, 3, 1, 0, 0, 0);   // never set: black
    expectPixel(p8, 0, 0, 1, 2, 3);
    expectPixel(p8, 1, 0, 10, 20, 30);
    expectPixel(p8, 3, 0, 0, 0, 0);
    // RLE4, 4 x 1: a run of four pixels alternating the nibbles 1 and 0.
    const Picture p4 = decodeDib(dib(4, 1, 4, 2, 2, kTable2, {4, 0x10, 0, 1}));
    expectPixel(p4, 0, 0, 10, 20, 30);
    expectPixel(p4, 1, 0, 1, 2, 3);
    expectPixel(p4, 2, 0, 10, 20, 30);
    expectPixel(p4, 3, 0, 1, 2, 3);
}

TEST(Bmp, RefusesWhatItCannotDecode)
{
    const Bytes row = {0, 0, 0, 0};
    EXPECT_THROW(decodeDib(dib(20000, 1, 8, 0, 2, kTable2, row)), ImageError);       // absurd width
    EXPECT_THROW(decodeDib(dib(0, 1, 8, 0, 2, kTable2, row)), ImageError);           // no width
    EXPECT_THROW(decodeDib(dib(4, 0, 8, 0, 2, kTable2, row)), ImageError);           // no height
    EXPECT_THROW(decodeDib(dib(4, 2, 8, 0, 2, kTable2, row)), ImageError);           // rows past the end
    EXPECT_THROW(decodeDib(dib(1, 1, 16, 0, 0, {}, row)), ImageError);               // 16 bits
    EXPECT_THROW(decodeDib(dib(1, 1, 32, 3, 0, {}, row)), ImageError);               // bit fields
    EXPECT_THROW(decodeDib(dib(2, 1, 8, 0, 300, kTable2, row)), ImageError);         // table past the end
    EXPECT_THROW(decodeDib(Bytes(39, 0)), ImageError);
    Bytes core = dib(1, 1, 24, 0, 0, {}, row);
    core[0] = 12;   // the OS/2 header
    EXPECT_THROW(decodeDib(core), ImageError);
    EXPECT_THROW(decodeBmp(Bytes{'B', 'A', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), ImageError);
}

TEST(Bmp, EncodeWritesABottomUpTwentyFourBitFile)
{
    Picture p = Picture::blank(2, 2);
    p.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};   // top row first
    const Bytes file = encodeBmp(p);
    // 14 + 40 header bytes, two rows of 6 bytes padded to 8.
    ASSERT_EQ(file.size(), 70u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(file[2], 70);
    EXPECT_EQ(file[10], 54);
    EXPECT_EQ(file[28], 24);
    EXPECT_EQ(file[34], 16);   // biSizeImage
    const Bytes rows(file.begin() + 54, file.end());
    EXPECT_EQ(rows, (Bytes{7, 8, 9, 10, 11, 12, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0}));
    const Picture back = decodeBmp(file);
    EXPECT_EQ(back.pixels, p.pixels);
}

TEST(Bmp, EncodeIndexedDibPadsTheTableTo256Entries)
{
    // 3 x 2, indices 0 1 2 / 2 2 0 over two colours: index 2 is past the
    // table and black.
    const Bytes dib = encodeIndexedDib(3, 2, kTable2Rgb, Bytes{0, 1, 2, 2, 2, 0});
    ASSERT_EQ(dib.size(), 40u + 1024u + 8u);
    EXPECT_EQ(dib[14], 8);
    EXPECT_EQ(dib[32], 0);   // 256 entries: 0x100
    EXPECT_EQ(dib[33], 1);
    EXPECT_EQ(Bytes(dib.begin() + 40, dib.begin() + 52), (Bytes{1, 2, 3, 0, 10, 20, 30, 0, 0, 0, 0, 0}));
    // The bottom row first, each padded to 4 bytes.
    EXPECT_EQ(Bytes(dib.begin() + 1064, dib.end()), (Bytes{2, 2, 0, 0, 0, 1, 2, 0}));
    const Picture p = decodeDib(dib);
    expectPixel(p, 0, 0, 1, 2, 3);
    expectPixel(p, 1, 0, 10, 20, 30);
    expectPixel(p, 2, 0, 0, 0, 0);
}

TEST(Bmp, FileHeaderPixelOffsetIsHonoured)
{
    // Four bytes of gap between the colour table and the rows.
    Bytes file(14, 0);
    file[0] = 'B';
    file[1] = 'M';
    const Bytes body = dib(1, 1, 8, 0, 2, kTable2, {0xEE, 0xEE, 0xEE, 0xEE, 1, 0, 0, 0});
    file.insert(file.end(), body.begin(), body.end());
    put32(file, 2, static_cast<std::uint32_t>(file.size()));
    put32(file, 10, 14 + 40 + 8 + 4);
    expectPixel(decodeBmp(file), 0, 0, 10, 20, 30);
}

TEST(Bmp, FlippedBytesFailCleanly)
{
    const Bytes good = dib(5, 3, 8, 1, 2, kTable2, {3, 1, 0, 0, 0, 3, 0, 1, 0, 0, 2, 1, 0, 0, 0, 2, 1, 1, 0, 1});
    std::mt19937 random(99);
    for (int round = 0; round < 3000; ++round) {
        Bytes b = good;
        for (int i = 0; i < 2; ++i)
            b[random() % b.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
        try {
            decodeDib(b);
        } catch (const ImageError&) {
        }
    }
}

}  // namespace
}  // namespace preview
