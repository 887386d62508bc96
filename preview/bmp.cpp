#include "preview/bmp.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>

#include "support/little_endian.h"

namespace preview {
namespace {

constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;

struct InfoHeader {
    std::uint32_t size = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;       // negative: rows stored top to bottom
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
};

InfoHeader readInfoHeader(std::span<const std::uint8_t> dib)
{
    if (dib.size() < kInfoHeaderSize)
        throw ImageError("bitmap information header: expected 40 bytes, found "
                         + std::to_string(dib.size()));
    InfoHeader h;
    h.size = support::loadLE32(dib, 0);
    // The OS/2 12-byte header has another layout; every header from 40 bytes
    // on starts with the same fields.
    if (h.size < kInfoHeaderSize || h.size > dib.size())
        throw ImageError("bitmap information header: expected a size of 40 to "
                         + std::to_string(dib.size()) + ", found " + std::to_string(h.size));
    h.width = static_cast<std::int32_t>(support::loadLE32(dib, 4));
    h.height = static_cast<std::int32_t>(support::loadLE32(dib, 8));
    h.planes = support::loadLE16(dib, 12);
    h.bitCount = support::loadLE16(dib, 14);
    h.compression = support::loadLE32(dib, 16);
    h.colorsUsed = support::loadLE32(dib, 32);
    return h;
}

std::uint64_t colorTableBytes(const InfoHeader& h)
{
    if (h.bitCount > 8)
        return 0;
    const std::uint64_t entries = h.colorsUsed != 0 ? h.colorsUsed : (std::uint64_t{1} << h.bitCount);
    return 4 * entries;
}

// The colour table as blue, green, red triples; indices past its end are black.
struct Palette {
    std::array<std::uint8_t, 256 * 3> bgr{};

    explicit Palette(std::span<const std::uint8_t> table)
    {
        const std::size_t n = std::min<std::size_t>(table.size() / 4, 256);
        for (std::size_t i = 0; i < n; ++i)
            std::memcpy(&bgr[i * 3], &table[i * 4], 3);
    }
    void put(std::uint8_t* px, unsigned index) const { std::memcpy(px, &bgr[index * 3], 3); }
};

void decodeUncompressed(const InfoHeader& h, std::span<const std::uint8_t> rows,
                        const Palette& palette, Picture& out)
{
    const std::uint64_t width = static_cast<std::uint64_t>(out.width);
    const std::uint64_t stride = (width * h.bitCount + 31) / 32 * 4;
    const std::uint64_t lastRow = (width * h.bitCount + 7) / 8;   // the final padding may be missing
    const std::uint64_t needed = stride * static_cast<std::uint64_t>(out.height - 1) + lastRow;
    if (needed > rows.size())
        throw ImageError("bitmap rows: expected " + std::to_string(needed) + " bytes, found "
                         + std::to_string(rows.size()));
    const bool bottomUp = h.height > 0;
    for (int i = 0; i < out.height; ++i) {
        const std::uint8_t* src = rows.data() + stride * static_cast<std::uint64_t>(i);
        std::uint8_t* dst = out.row(bottomUp ? out.height - 1 - i : i);
        for (int x = 0; x < out.width; ++x, dst += 3) {
            switch (h.bitCount) {
            case 1: palette.put(dst, (src[x >> 3] >> (7 - (x & 7))) & 1u); break;
            case 4: palette.put(dst, (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0Fu); break;
            case 8: palette.put(dst, src[x]); break;
            case 24: std::memcpy(dst, src + 3 * x, 3); break;
            default: std::memcpy(dst, src + 4 * x, 3); break;   // 32: B, G, R, unused
            }
        }
    }
}

// RLE8 and RLE4 streams: runs, and escapes for end of line, end of bitmap,
// a jump and literal pixels. Rows run bottom-up; anything outside is dropped.
void decodeRle(const InfoHeader& h, std::span<const std::uint8_t> data, const Palette& palette,
               Picture& out)
{
    const bool four = h.compression == kRle4;
    std::size_t pos = 0;
    std::int64_t x = 0;
    std::int64_t y = 0;   // rows counted from the bottom
    auto need = [&](std::size_t n) {
        if (data.size() - pos < n)
            throw ImageError("run-length bitmap: the data ends inside a code at byte " + std::to_string(pos));
    };
    auto plot = [&](unsigned index) {
        if (x < out.width && y < out.height)
            palette.put(out.row(static_cast<int>(out.height - 1 - y)) + 3 * x, index);
        ++x;
    };
    while (pos + 2 <= data.size() && y < out.height) {
        const std::uint8_t count = data[pos];
        const std::uint8_t value = data[pos + 1];
        pos += 2;
        if (count != 0) {
            for (unsigned i = 0; i < count; ++i)
                plot(four ? ((i & 1) ? value & 0x0Fu : value >> 4u) : value);
            continue;
        }
        if (value == 0) {          // end of line
            x = 0;
            ++y;
        } else if (value == 1) {   // end of bitmap
            return;
        } else if (value == 2) {   // jump right and up
            need(2);
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
        } else {                   // `value` literal pixels, padded to a 16-bit boundary
            const std::size_t bytes = four ? (value + 1u) / 2u : value;
            need(bytes);
            for (unsigned i = 0; i < value; ++i) {
                const std::uint8_t b = data[pos + (four ? i / 2 : i)];
                plot(four ? ((i & 1) ? b & 0x0Fu : b >> 4u) : b);
            }
            pos += bytes + (bytes & 1);
        }
    }
}

Picture decodeRows(std::span<const std::uint8_t> dib, std::uint64_t pixelOffset)
{
    const InfoHeader h = readInfoHeader(dib);
    if (h.planes != 1)
        throw ImageError("bitmap: expected 1 plane, found " + std::to_string(h.planes));
    const bool rle = h.compression == kRle8 || h.compression == kRle4;
    if (h.compression != kRgb && !rle)
        throw ImageError("bitmap compression: expected none, RLE8 or RLE4, found "
                         + std::to_string(h.compression));
    if (h.compression == kRle8 && h.bitCount != 8)
        throw ImageError("RLE8 bitmap: expected 8 bits per pixel, found " + std::to_string(h.bitCount));
    if (h.compression == kRle4 && h.bitCount != 4)
        throw ImageError("RLE4 bitmap: expected 4 bits per pixel, found " + std::to_string(h.bitCount));
    if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24 && h.bitCount != 32)
        throw ImageError("bitmap: expected 1, 4, 8, 24 or 32 bits per pixel, found "
                         + std::to_string(h.bitCount));
    if (rle && h.height < 0)
        throw ImageError("run-length bitmap: expected rows stored bottom-up, found a negative height");
    const std::int64_t height = h.height < 0 ? -h.height : h.height;
    checkImageSize(h.width, height, h.bitCount, dib.size());

    const std::uint64_t tableEnd = h.size + colorTableBytes(h);
    if (tableEnd > dib.size())
        throw ImageError("bitmap colour table: expected " + std::to_string(tableEnd) + " bytes, found "
                         + std::to_string(dib.size()));
    if (pixelOffset > dib.size())
        throw ImageError("bitmap rows: expected them to start within the " + std::to_string(dib.size())
                         + " bytes, found offset " + std::to_string(pixelOffset));
    const Palette palette(dib.subspan(h.size, static_cast<std::size_t>(tableEnd - h.size)));
    const auto rows = dib.subspan(static_cast<std::size_t>(pixelOffset));

    Picture out = Picture::blank(static_cast<int>(h.width), static_cast<int>(height));
    if (rle)
        decodeRle(h, rows, palette, out);
    else
        decodeUncompressed(h, rows, palette, out);
    return out;
}

// Information header and room for the table and rows of a bottom-up,
// uncompressed bitmap.
std::vector<std::uint8_t> dibFrame(int width, int height, int bitsPerPixel, std::size_t tableEntries,
                                   std::size_t& stride)
{
    stride = (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) / 8 + 3) / 4 * 4;
    const std::size_t imageSize = stride * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> out(kInfoHeaderSize + 4 * tableEntries + imageSize, 0);
    support::storeLE32(out, 0, static_cast<std::uint32_t>(kInfoHeaderSize));
    support::storeLE32(out, 4, static_cast<std::uint32_t>(width));
    support::storeLE32(out, 8, static_cast<std::uint32_t>(height));
    support::storeLE16(out, 12, 1);
    support::storeLE16(out, 14, static_cast<std::uint16_t>(bitsPerPixel));
    support::storeLE32(out, 20, static_cast<std::uint32_t>(imageSize));
    support::storeLE32(out, 32, static_cast<std::uint32_t>(tableEntries));
    return out;
}

}  // namespace

void checkImageSize(std::int64_t width, std::int64_t height, int bitsPerPixel, std::size_t storedBytes)
{
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide)
        throw ImageError("image size: expected 1 to " + std::to_string(kMaxImageSide)
                         + " pixels a side, found " + std::to_string(width) + " x " + std::to_string(height));
    const std::int64_t declared = width * height * bitsPerPixel / 8;
    if (declared > kMaxExpansion * static_cast<std::int64_t>(storedBytes))
        throw ImageError("image size: " + std::to_string(width) + " x " + std::to_string(height) + " at "
                         + std::to_string(bitsPerPixel) + " bits per pixel cannot be stored in "
                         + std::to_string(storedBytes) + " bytes");
}

std::size_t dibPixelOffset(std::span<const std::uint8_t> dib)
{
    const InfoHeader h = readInfoHeader(dib);
    return static_cast<std::size_t>(h.size + colorTableBytes(h));
}

Picture decodeDib(std::span<const std::uint8_t> dib)
{
    const InfoHeader h = readInfoHeader(dib);
    return decodeRows(dib, h.size + colorTableBytes(h));
}

Picture decodeBmp(std::span<const std::uint8_t> file)
{
    if (file.size() < kFileHeaderSize || file[0] != 'B' || file[1] != 'M')
        throw ImageError("BMP file: expected \"BM\" and a 14-byte header");
    const std::uint32_t pixelOffset = support::loadLE32(file, 10);
    if (pixelOffset < kFileHeaderSize)
        throw ImageError("BMP file: expected the rows behind the file header, found offset "
                         + std::to_string(pixelOffset));
    return decodeRows(file.subspan(kFileHeaderSize), pixelOffset - kFileHeaderSize);
}

std::vector<std::uint8_t> encodeDib(const Picture& picture)
{
    std::size_t stride = 0;
    std::vector<std::uint8_t> out = dibFrame(picture.width, picture.height, 24, 0, stride);
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(&out[kInfoHeaderSize + stride * static_cast<std::size_t>(picture.height - 1 - y)],
                    picture.row(y), picture.stride());
    return out;
}

std::vector<std::uint8_t> encodeIndexedDib(int width, int height, std::span<const std::uint8_t> table,
                                           std::span<const std::uint8_t> indices)
{
    constexpr std::size_t entries = 256;
    assert(width >= 0 && height >= 0 &&
           indices.size() >= static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    std::size_t stride = 0;
    std::vector<std::uint8_t> out = dibFrame(width, height, 8, entries, stride);
    for (std::size_t i = 0; i < std::min(table.size() / 3, entries); ++i)
        std::memcpy(&out[kInfoHeaderSize + 4 * i], &table[3 * i], 3);
    const std::size_t w = static_cast<std::size_t>(width);
    for (int y = 0; y < height; ++y)
        std::memcpy(&out[kInfoHeaderSize + 4 * entries + stride * static_cast<std::size_t>(height - 1 - y)],
                    &indices[w * static_cast<std::size_t>(y)], w);
    return out;
}

std::vector<std::uint8_t> encodeBmp(const Picture& picture)
{
    const std::vector<std::uint8_t> dib = encodeDib(picture);
    std::vector<std::uint8_t> out(kFileHeaderSize + dib.size(), 0);
    out[0] = 'B';
    out[1] = 'M';
    support::storeLE32(out, 2, static_cast<std::uint32_t>(out.size()));
    support::storeLE32(out, 10, static_cast<std::uint32_t>(kFileHeaderSize + kInfoHeaderSize));
    std::copy(dib.begin(), dib.end(), out.begin() + kFileHeaderSize);
    return out;
}

}  // namespace preview
