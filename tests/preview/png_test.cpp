#include "preview/bmp.h"
#include "preview/inflate.h"
#include "preview/png.h"

#include "support/little_endian.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace preview {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string text(const Bytes& b)
{
    return std::string(b.begin(), b.end());
}

// Each pixel's blue, green, red.
void expectPixel(const Picture& p, int x, int y, int b, int g, int r)
{
    const std::uint8_t* px = p.row(y) + 3 * x;
    EXPECT_EQ(px[0], b) << "blue at " << x << "," << y;
    EXPECT_EQ(px[1], g) << "green at " << x << "," << y;
    EXPECT_EQ(px[2], r) << "red at " << x << "," << y;
}

TEST(Inflate, StoredBlock)
{
    // BFINAL 1, BTYPE 00, byte-aligned LEN 3 and its complement, then the bytes.
    const Bytes stored = {0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b', 'c'};
    EXPECT_EQ(text(inflate(stored, 100)), "abc");
}

TEST(Inflate, FixedHuffmanAbcFromZlib)
{
    // zlib.compress(b"abc"). The first deflate byte 0x4B is BFINAL 1, BTYPE 01,
    // then the first five bits of 'a' (fixed code 0x30 + 0x61 = 10010001).
    const Bytes z = {0x78, 0x9C, 0x4B, 0x4C, 0x4A, 0x06, 0x00, 0x02, 0x4D, 0x01, 0x27};
    EXPECT_EQ(text(zlibDecompress(z, 100)), "abc");
    const Bytes raw(z.begin() + 2, z.end() - 4);
    EXPECT_EQ(text(inflate(raw, 100)), "abc");
}

TEST(Inflate, FixedHuffmanWithBackReference)
{
    // zlib.compress(b"abcabcabcabc"): three literals, then a match of length 9 at distance 3.
    const Bytes z = {0x78, 0x9C, 0x4B, 0x4C, 0x4A, 0x4E, 0x84, 0x21, 0x00, 0x1D, 0xE0, 0x04, 0x99};
    EXPECT_EQ(text(zlibDecompress(z, 100)), "abcabcabcabc");
}

TEST(Inflate, DynamicHuffmanBlock)
{
    // Raw deflate of the sentence below by zlib at level 9; BTYPE 10.
    const Bytes d = {0x25, 0xCC, 0xD1, 0x09, 0x03, 0x31, 0x0C, 0x04, 0xD1, 0x56, 0xB6, 0x80, 0x23, 0x95, 0xA4, 0x09,
                     0xC5, 0x12, 0xC7, 0x82, 0x65, 0xFB, 0x2C, 0xA9, 0xFF, 0x18, 0xEE, 0x7B, 0x78, 0xF3, 0x9D, 0xDB,
                     0x1C, 0x5C, 0x51, 0x0E, 0x9D, 0x7D, 0x6E, 0x04, 0x13, 0xE2, 0x96, 0x17, 0xDA, 0x1C, 0x61, 0x2D,
                     0x2D, 0x6B, 0x43, 0x94, 0x8B, 0xD1, 0x38, 0x6E, 0x58, 0xE7, 0x89, 0x61, 0x7A, 0x00, 0x8C, 0x15,
                     0x3E, 0x15, 0x69, 0xBE, 0x0E, 0xE6, 0x68, 0x54, 0x6A, 0x8D, 0x44, 0x25, 0xBA, 0xFC, 0xCE, 0x1E,
                     0x96, 0xEF, 0xDA, 0xE0, 0x72, 0x0F, 0x81, 0x74, 0x3E, 0x25, 0x1F, 0xFC, 0x01};
    ASSERT_EQ((d[0] >> 1) & 3, 2);
    EXPECT_EQ(text(inflate(d, 1000)),
              "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
              "incididunt ut labore et dolore magna aliqua. ");
}

TEST(Inflate, DamageIsReported)
{
    const Bytes z = {0x78, 0x9C, 0x4B, 0x4C, 0x4A, 0x06, 0x00, 0x02, 0x4D, 0x01, 0x27};
    EXPECT_THROW(zlibDecompress(z, 2), ImageError);                             // output limit
    EXPECT_THROW(zlibDecompress(Bytes(z.begin(), z.end() - 1), 100), ImageError);  // checksum cut
    Bytes badSum = z;
    badSum.back() ^= 1;
    EXPECT_THROW(zlibDecompress(badSum, 100), ImageError);
    EXPECT_THROW(inflate(Bytes{0x01, 0x03, 0x00, 0xFC, 0xFE, 'a', 'b', 'c'}, 100), ImageError);  // LEN/NLEN
    EXPECT_THROW(inflate(Bytes{0x01, 0x03, 0x00, 0xFC, 0xFF, 'a'}, 100), ImageError);            // ends early
    EXPECT_THROW(inflate(Bytes{0x07}, 100), ImageError);                                         // BTYPE 11
    // Fixed block: distance code 0 (distance 1) before any output.
    // Bits: 1, 01 | length code 257 = 0000001 | distance 00000.
    EXPECT_THROW(inflate(Bytes{0x03, 0x02, 0x00}, 100), ImageError);
}

const Bytes kRgbPng = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
    0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x08, 0x02, 0x00, 0x00, 0x00, 0xD9, 0x4A, 0x22, 0xE8, 0x00, 0x00, 0x00,
    0x27, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xE4, 0x12, 0x91, 0xDB, 0x17, 0x20, 0x62, 0x3E, 0xC7, 0x8F,
    0x85, 0x89, 0x89, 0x69, 0xD2, 0x1B, 0x91, 0xE5, 0x4C, 0xCD, 0xCC, 0xBF, 0xBE, 0x7E, 0xB8, 0x74, 0xFD, 0xCE,
    0x9E, 0x63, 0xE7, 0x01, 0x8B, 0xAD, 0x0D, 0x01, 0x5C, 0xD7, 0x7F, 0x8D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45,
    0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

const Bytes kPalette8Png = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x02, 0x08, 0x03, 0x00, 0x00, 0x00, 0x48, 0x76, 0x8D, 0x51, 0x00,
    0x00, 0x00, 0x09, 0x50, 0x4C, 0x54, 0x45, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x2D,
    0x4A, 0xCD, 0x8A, 0x00, 0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x60, 0x60, 0x64,
    0x62, 0x64, 0x62, 0x62, 0xFC, 0xF7, 0x1F, 0x00, 0x03, 0x36, 0x02, 0x07, 0xDD, 0x0A, 0x85, 0x79, 0x00,
    0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

TEST(Png, RgbWithSubPaethAndAverageFilters)
{
    // 3 x 3 RGB; rows filtered with Sub, Paeth and Average.
    const Picture p = decodePng(kRgbPng);
    ASSERT_EQ(p.width, 3);
    ASSERT_EQ(p.height, 3);
    expectPixel(p, 0, 0, 30, 20, 10);
    expectPixel(p, 1, 0, 50, 100, 200);
    expectPixel(p, 2, 0, 128, 0, 255);
    expectPixel(p, 0, 1, 32, 22, 12);
    expectPixel(p, 1, 1, 70, 80, 90);
    expectPixel(p, 2, 1, 3, 2, 1);
    expectPixel(p, 0, 2, 0, 0, 0);
    expectPixel(p, 1, 2, 255, 255, 255);
    expectPixel(p, 2, 2, 80, 70, 60);
}

TEST(Png, PaletteAtEightBitsWithUpFilter)
{
    // Palette red, green, blue; indices 0 1 2 1 / 2 2 0 0, the second row Up-filtered.
    const Picture p = decodePng(kPalette8Png);
    ASSERT_EQ(p.width, 4);
    ASSERT_EQ(p.height, 2);
    expectPixel(p, 0, 0, 0, 0, 255);
    expectPixel(p, 1, 0, 0, 255, 0);
    expectPixel(p, 2, 0, 255, 0, 0);
    expectPixel(p, 3, 0, 0, 255, 0);
    expectPixel(p, 0, 1, 255, 0, 0);
    expectPixel(p, 1, 1, 255, 0, 0);
    expectPixel(p, 2, 1, 0, 0, 255);
    expectPixel(p, 3, 1, 0, 0, 255);
}

TEST(Png, PaletteAtOneBit)
{
    // 10 x 1, palette black, white; bits 1011001110.
    const Bytes png = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44,
                       0x52, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x01, 0x01, 0x03, 0x00, 0x00, 0x00, 0xDD,
                       0x3B, 0xAD, 0x3D, 0x00, 0x00, 0x00, 0x06, 0x50, 0x4C, 0x54, 0x45, 0x00, 0x00, 0x00, 0xFF,
                       0xFF, 0xFF, 0xA5, 0xD9, 0x9F, 0xDD, 0x00, 0x00, 0x00, 0x0B, 0x49, 0x44, 0x41, 0x54, 0x78,
                       0x9C, 0x63, 0xD8, 0xDC, 0x00, 0x00, 0x01, 0xE9, 0x01, 0x34, 0x09, 0x0A, 0x15, 0xD4, 0x00,
                       0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    const Picture p = decodePng(png);
    ASSERT_EQ(p.width, 10);
    const std::string bits = "1011001110";
    for (int x = 0; x < 10; ++x) {
        const int v = bits[static_cast<std::size_t>(x)] == '1' ? 255 : 0;
        expectPixel(p, x, 0, v, v, v);
    }
}

TEST(Png, GreyWithAlphaIsBlendedOntoWhite)
{
    // 2 x 1: grey 0 at alpha 128, grey 200 opaque. 0 * 128/255 + 255 * 127/255 = 127.
    const Bytes png = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
                       0x44, 0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x04, 0x00, 0x00,
                       0x00, 0x5E, 0x2B, 0xB7, 0x01, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x44, 0x41, 0x54, 0x78,
                       0x9C, 0x63, 0x60, 0x68, 0x38, 0xF1, 0x1F, 0x00, 0x04, 0x14, 0x02, 0x48, 0x8C, 0x62,
                       0x07, 0x4B, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    const Picture p = decodePng(png);
    expectPixel(p, 0, 0, 127, 127, 127);
    expectPixel(p, 1, 0, 200, 200, 200);
}

// The bitmaps of the releases before PNG previews: a palette image keeps
// its palette and indices at 8 bits per pixel, the table padded to
// AutoCAD's 256 entries; an RGB image takes 24 bits. Rows bottom-up, each
// padded to 4 bytes; 1 pixel per metre, as AutoCAD declares.
TEST(Png, DibFromPngKeepsPalettesAndPixels)
{
    const Bytes indexed = dibFromPng(kPalette8Png);
    ASSERT_EQ(indexed.size(), 40u + 1024u + 8u);
    EXPECT_EQ(support::loadLE32(indexed, 0), 40u);
    EXPECT_EQ(support::loadLE32(indexed, 4), 4u);
    EXPECT_EQ(support::loadLE32(indexed, 8), 2u);
    EXPECT_EQ(support::loadLE16(indexed, 12), 1u);
    EXPECT_EQ(support::loadLE16(indexed, 14), 8u);
    EXPECT_EQ(support::loadLE32(indexed, 16), 0u);
    EXPECT_EQ(support::loadLE32(indexed, 20), 8u);
    EXPECT_EQ(support::loadLE32(indexed, 24), 1u);
    EXPECT_EQ(support::loadLE32(indexed, 28), 1u);
    EXPECT_EQ(support::loadLE32(indexed, 32), 256u);
    // Red, green, blue as blue, green, red and a zero; the rest black.
    EXPECT_EQ(Bytes(indexed.begin() + 40, indexed.begin() + 52),
              (Bytes{0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0}));
    EXPECT_EQ(std::count(indexed.begin() + 52, indexed.begin() + 40 + 1024, 0), 1024 - 12);
    // Bottom row 2 2 0 0, then top row 0 1 2 1.
    EXPECT_EQ(Bytes(indexed.begin() + 1064, indexed.end()), (Bytes{2, 2, 0, 0, 0, 1, 2, 1}));
    EXPECT_EQ(decodeDib(indexed).pixels, decodePng(kPalette8Png).pixels);

    const Bytes rgb = dibFromPng(kRgbPng);
    ASSERT_EQ(rgb.size(), 40u + 3 * 12u);
    EXPECT_EQ(support::loadLE16(rgb, 14), 24u);
    EXPECT_EQ(support::loadLE32(rgb, 32), 0u);
    // The bottom row: black, white, (60, 70, 80), and three bytes of padding.
    EXPECT_EQ(Bytes(rgb.begin() + 40, rgb.begin() + 52), (Bytes{0, 0, 0, 255, 255, 255, 80, 70, 60, 0, 0, 0}));
    EXPECT_EQ(decodeDib(rgb).pixels, decodePng(kRgbPng).pixels);

    EXPECT_THROW(dibFromPng(Bytes(kPalette8Png.begin(), kPalette8Png.end() - 12)), ImageError);
}

TEST(Png, RefusedAndDamagedImages)
{
    const Bytes interlaced = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
                              0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x00,
                              0x01, 0x4D, 0x79, 0xAB, 0xC3, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78,
                              0x9C, 0x63, 0x60, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01, 0x48, 0xAF, 0xA4, 0x71, 0x00,
                              0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    EXPECT_THROW(decodePng(interlaced), ImageError);
    Bytes badCrc = kRgbPng;
    badCrc[20] ^= 0x40;   // the height's high byte, under the IHDR CRC
    EXPECT_THROW(decodePng(badCrc), ImageError);
    EXPECT_THROW(decodePng(Bytes(kRgbPng.begin(), kRgbPng.end() - 12)), ImageError);   // no IEND
    EXPECT_FALSE(isPng(Bytes{0x89, 'P', 'N', 'G'}));
}

TEST(Png, CutAndFlippedBytesFailCleanly)
{
    for (std::size_t n = 0; n < kPalette8Png.size(); ++n) {
        const Bytes cut(kPalette8Png.begin(), kPalette8Png.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_THROW(decodePng(cut), ImageError) << n;
    }
    std::mt19937 random(1234);
    for (int round = 0; round < 2000; ++round) {
        Bytes b = round % 2 ? kRgbPng : kPalette8Png;
        const int flips = 1 + static_cast<int>(random() % 3);
        for (int i = 0; i < flips; ++i)
            b[random() % b.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
        try {
            decodePng(b);
        } catch (const ImageError&) {
        }
    }
}

}  // namespace
}  // namespace preview
