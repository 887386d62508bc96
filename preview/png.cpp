#include "preview/png.h"

#include "preview/bmp.h"
#include "preview/inflate.h"
#include "support/little_endian.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace preview {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::uint32_t be32(std::span<const std::uint8_t> b, std::size_t at)
{
    return (static_cast<std::uint32_t>(b[at]) << 24) | (static_cast<std::uint32_t>(b[at + 1]) << 16)
           | (static_cast<std::uint32_t>(b[at + 2]) << 8) | b[at + 3];
}

std::uint32_t crc32(std::span<const std::uint8_t> bytes)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes)
        c = table[(c ^ b) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

struct Header {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int depth = 0;
    int colorType = 0;
    int channels = 0;
};

int channelsOf(int colorType)
{
    switch (colorType) {
    case 0: return 1;   // grey
    case 2: return 3;   // RGB
    case 3: return 1;   // palette index
    case 4: return 2;   // grey, alpha
    case 6: return 4;   // RGBA
    default: throw ImageError("PNG header: expected colour type 0, 2, 3, 4 or 6, found " + std::to_string(colorType));
    }
}

bool depthAllowed(int colorType, int depth)
{
    switch (colorType) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    default: return depth == 8 || depth == 16;
    }
}

int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

// Undoes the row filters in place; returns the filtered-out rows without
// their filter bytes.
std::vector<std::uint8_t> unfilter(std::vector<std::uint8_t>& raw, std::size_t rowBytes, std::size_t height,
                                   std::size_t bpp)
{
    // One loop per filter type and row: the first row's predecessor, and the
    // first pixel's left neighbours, are zeros.
    std::vector<std::uint8_t> rows(rowBytes * height);
    const std::vector<std::uint8_t> zeros(rowBytes, 0);
    const std::size_t first = std::min(bpp, rowBytes);
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t filter = raw[y * (rowBytes + 1)];
        const std::uint8_t* in = &raw[y * (rowBytes + 1) + 1];
        std::uint8_t* cur = &rows[y * rowBytes];
        const std::uint8_t* prev = y > 0 ? cur - rowBytes : zeros.data();
        switch (filter) {
        case 0:
            std::copy(in, in + rowBytes, cur);
            break;
        case 1:
            std::copy(in, in + first, cur);
            for (std::size_t i = first; i < rowBytes; ++i)
                cur[i] = static_cast<std::uint8_t>(in[i] + cur[i - bpp]);
            break;
        case 2:
            for (std::size_t i = 0; i < rowBytes; ++i)
                cur[i] = static_cast<std::uint8_t>(in[i] + prev[i]);
            break;
        case 3:
            for (std::size_t i = 0; i < first; ++i)
                cur[i] = static_cast<std::uint8_t>(in[i] + prev[i] / 2);
            for (std::size_t i = first; i < rowBytes; ++i)
                cur[i] = static_cast<std::uint8_t>(in[i] + (cur[i - bpp] + prev[i]) / 2);
            break;
        case 4:
            for (std::size_t i = 0; i < first; ++i)
                cur[i] = static_cast<std::uint8_t>(in[i] + paeth(0, prev[i], 0));
            for (std::size_t i = first; i < rowBytes; ++i)
                cur[i] = static_cast<std::uint8_t>(in[i] + paeth(cur[i - bpp], prev[i], prev[i - bpp]));
            break;
        default:
            throw ImageError("PNG row " + std::to_string(y) + ": expected filter 0 to 4, found "
                             + std::to_string(filter));
        }
    }
    return rows;
}

std::uint8_t overWhite(unsigned value, unsigned alpha)
{
    return static_cast<std::uint8_t>((value * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

}  // namespace

bool isPng(std::span<const std::uint8_t> data)
{
    return data.size() >= kSignature.size() && std::memcmp(data.data(), kSignature.data(), kSignature.size()) == 0;
}

namespace {

// The chunks a decoder needs, their CRCs checked: the header, the palette
// and the image data.
struct Chunks {
    Header h;
    std::array<std::uint8_t, 256 * 3> palette{};   // R, G, B per entry
    std::size_t paletteSize = 0;
    std::vector<std::uint8_t> compressed;
};

Chunks readChunks(std::span<const std::uint8_t> data)
{
    if (!isPng(data))
        throw ImageError("PNG: expected the 8-byte signature");
    Chunks chunks;
    Header& h = chunks.h;
    bool haveHeader = false;
    std::size_t pos = kSignature.size();
    for (;;) {
        if (data.size() - pos < 12)
            throw ImageError("PNG: expected a chunk at byte " + std::to_string(pos) + ", found the end");
        const std::uint32_t length = be32(data, pos);
        if (length > data.size() - pos - 12)
            throw ImageError("PNG chunk at byte " + std::to_string(pos) + ": expected at most "
                             + std::to_string(data.size() - pos - 12) + " bytes, found " + std::to_string(length));
        const auto typeAndData = data.subspan(pos + 4, 4 + length);
        const auto body = data.subspan(pos + 8, length);
        const std::string type(reinterpret_cast<const char*>(&data[pos + 4]), 4);
        const std::uint32_t crc = be32(data, pos + 8 + length);
        if (crc != crc32(typeAndData))
            throw ImageError("PNG chunk " + type + ": expected CRC " + std::to_string(crc) + ", found "
                             + std::to_string(crc32(typeAndData)));
        pos += 12 + length;

        if (!haveHeader && type != "IHDR")
            throw ImageError("PNG: expected IHDR first, found " + type);
        if (type == "IHDR") {
            if (haveHeader || length != 13)
                throw ImageError("PNG header: expected one IHDR of 13 bytes");
            h.width = be32(body, 0);
            h.height = be32(body, 4);
            h.depth = body[8];
            h.colorType = body[9];
            h.channels = channelsOf(h.colorType);
            if (!depthAllowed(h.colorType, h.depth))
                throw ImageError("PNG header: bit depth " + std::to_string(h.depth) + " is not allowed for colour type "
                                 + std::to_string(h.colorType));
            if (body[10] != 0 || body[11] != 0)
                throw ImageError("PNG header: expected compression and filter method 0");
            if (body[12] != 0)
                throw ImageError("PNG header: expected no interlace, found method " + std::to_string(body[12]));
            checkImageSize(h.width, h.height, h.channels * h.depth, data.size());
            haveHeader = true;
        } else if (type == "PLTE") {
            if (length % 3 != 0 || length / 3 > 256 || length == 0)
                throw ImageError("PNG palette: expected 1 to 256 entries of 3 bytes, found " + std::to_string(length)
                                 + " bytes");
            chunks.paletteSize = length / 3;
            std::memcpy(chunks.palette.data(), body.data(), length);
        } else if (type == "IDAT") {
            chunks.compressed.insert(chunks.compressed.end(), body.begin(), body.end());
        } else if (type == "IEND") {
            break;
        } else if ((type[0] & 0x20) == 0) {
            throw ImageError("PNG: expected no unknown critical chunk, found " + type);
        }
    }
    if (h.colorType == 3 && chunks.paletteSize == 0)
        throw ImageError("PNG: expected a palette for a palette image, found none");
    return chunks;
}

// Bytes per row of samples, without the filter byte.
std::size_t rowBytesOf(const Header& h)
{
    const std::size_t bitsPerPixel = static_cast<std::size_t>(h.channels) * static_cast<std::size_t>(h.depth);
    return (static_cast<std::size_t>(h.width) * bitsPerPixel + 7) / 8;
}

// The image data inflated and unfiltered: rowBytesOf(h) per row, top row first.
std::vector<std::uint8_t> sampleRows(const Chunks& chunks)
{
    const Header& h = chunks.h;
    const std::size_t bitsPerPixel = static_cast<std::size_t>(h.channels) * static_cast<std::size_t>(h.depth);
    const std::size_t rowBytes = rowBytesOf(h);
    const std::size_t rawSize = (rowBytes + 1) * h.height;
    std::vector<std::uint8_t> raw = zlibDecompress(chunks.compressed, rawSize);
    if (raw.size() != rawSize)
        throw ImageError("PNG image data: expected " + std::to_string(rawSize) + " bytes, found "
                         + std::to_string(raw.size()));
    return unfilter(raw, rowBytes, h.height, std::max<std::size_t>(1, bitsPerPixel / 8));
}

Picture decodePicture(const Chunks& chunks)
{
    const Header& h = chunks.h;
    const auto& palette = chunks.palette;
    const std::size_t paletteSize = chunks.paletteSize;
    const std::size_t rowBytes = rowBytesOf(h);
    const std::vector<std::uint8_t> rows = sampleRows(chunks);

    Picture out = Picture::blank(static_cast<int>(h.width), static_cast<int>(h.height));
    const std::size_t step = static_cast<std::size_t>(h.depth) / 8;   // bytes per sample at 8 and 16 bits
    for (int y = 0; y < out.height; ++y) {
        const std::uint8_t* in = &rows[static_cast<std::size_t>(y) * rowBytes];
        std::uint8_t* px = out.row(y);
        for (int x = 0; x < out.width; ++x, px += 3) {
            if (h.depth < 8) {
                const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(h.depth);
                const unsigned shift = 8u - static_cast<unsigned>(h.depth) - static_cast<unsigned>(bit % 8);
                const unsigned v = (in[bit / 8] >> shift) & ((1u << h.depth) - 1u);
                if (h.colorType == 3) {
                    // An index past the palette is black, as if the table were zero-filled.
                    const std::uint8_t* rgb = &palette[v * 3];
                    const bool inside = v < paletteSize;
                    px[0] = inside ? rgb[2] : 0;
                    px[1] = inside ? rgb[1] : 0;
                    px[2] = inside ? rgb[0] : 0;
                } else {
                    const auto grey = static_cast<std::uint8_t>(v * 255u / ((1u << h.depth) - 1u));
                    px[0] = px[1] = px[2] = grey;
                }
                continue;
            }
            const std::uint8_t* s = in + static_cast<std::size_t>(x) * static_cast<std::size_t>(h.channels) * step;
            auto sample = [&](int i) -> unsigned { return s[static_cast<std::size_t>(i) * step]; };
            switch (h.colorType) {
            case 0: px[0] = px[1] = px[2] = static_cast<std::uint8_t>(sample(0)); break;
            case 3: {
                const unsigned v = sample(0);
                const bool inside = v < paletteSize;
                px[0] = inside ? palette[v * 3 + 2] : 0;
                px[1] = inside ? palette[v * 3 + 1] : 0;
                px[2] = inside ? palette[v * 3] : 0;
                break;
            }
            case 4: px[0] = px[1] = px[2] = overWhite(sample(0), sample(1)); break;
            case 2:
                px[0] = static_cast<std::uint8_t>(sample(2));
                px[1] = static_cast<std::uint8_t>(sample(1));
                px[2] = static_cast<std::uint8_t>(sample(0));
                break;
            default:
                px[0] = overWhite(sample(2), sample(3));
                px[1] = overWhite(sample(1), sample(3));
                px[2] = overWhite(sample(0), sample(3));
                break;
            }
        }
    }
    return out;
}

}  // namespace

Picture decodePng(std::span<const std::uint8_t> data)
{
    return decodePicture(readChunks(data));
}

std::vector<std::uint8_t> dibFromPng(std::span<const std::uint8_t> png, int maxSide)
{
    const Chunks chunks = readChunks(png);
    const Header& h = chunks.h;
    const std::size_t longest = std::max<std::size_t>(h.width, h.height);
    const std::size_t k = maxSide > 0 && longest > static_cast<std::size_t>(maxSide)
                              ? (longest + static_cast<std::size_t>(maxSide) - 1) / static_cast<std::size_t>(maxSide)
                              : 1;
    const std::size_t width = (h.width + k - 1) / k, height = (h.height + k - 1) / k;
    std::vector<std::uint8_t> dib;
    if (h.colorType != 3) {
        const Picture picture = decodePicture(chunks);
        if (k == 1) {
            dib = encodeDib(picture);
        } else {
            Picture kept = Picture::blank(static_cast<int>(width), static_cast<int>(height));
            for (std::size_t y = 0; y < height; ++y)
                for (std::size_t x = 0; x < width; ++x)
                    std::copy_n(picture.row(static_cast<int>(y * k)) + x * k * 3, 3,
                                kept.row(static_cast<int>(y)) + x * 3);
            dib = encodeDib(kept);
        }
    } else {
        // The PNG's own indices and palette: an index past the palette
        // finds black in the padded table, as it decodes from the PNG.
        const std::size_t rowBytes = rowBytesOf(h);
        const std::vector<std::uint8_t> rows = sampleRows(chunks);
        std::vector<std::uint8_t> indices(width * height);
        const unsigned depth = static_cast<unsigned>(h.depth);
        for (std::size_t y = 0; y < height; ++y)
            for (std::size_t x = 0; x < width; ++x) {
                const std::size_t bit = x * k * depth;
                const unsigned shift = 8u - depth - static_cast<unsigned>(bit % 8);
                indices[y * width + x] =
                    static_cast<std::uint8_t>((rows[y * k * rowBytes + bit / 8] >> shift) & ((1u << depth) - 1u));
            }
        std::vector<std::uint8_t> table;   // B, G, R per entry
        for (std::size_t i = 0; i < chunks.paletteSize; ++i)
            table.insert(table.end(), {chunks.palette[i * 3 + 2], chunks.palette[i * 3 + 1], chunks.palette[i * 3]});
        dib = encodeIndexedDib(static_cast<int>(width), static_cast<int>(height), table, indices);
    }
    // AutoCAD's preview bitmaps declare 1 pixel per metre both ways; with
    // that, a bitmap of ours differs from the one AutoCAD makes of the same
    // picture only in the colour table's unused fourth bytes.
    support::storeLE32(dib, 24, 1);
    support::storeLE32(dib, 28, 1);
    return dib;
}

}  // namespace preview
