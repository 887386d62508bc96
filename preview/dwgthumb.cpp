#include "preview/dwgthumb.h"

#include "preview/bmp.h"
#include "preview/png.h"
#include "preview/resample.h"
#include "support/atomic_file.h"
#include "support/little_endian.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

namespace preview {
namespace {

constexpr std::array<std::string_view, 9> kVersions = {"AC1012", "AC1013", "AC1014", "AC1015", "AC1018",
                                                       "AC1021", "AC1024", "AC1027", "AC1032"};
constexpr std::array<std::uint8_t, 16> kSentinel = {0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28,
                                                    0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};
constexpr std::uint8_t kBitmapCode = 2;
constexpr std::uint8_t kPngCode = 6;
constexpr std::size_t kEntrySize = 9;
constexpr std::size_t kEntriesAt = 21;
// The sentinel, the block size, the count and room for 255 entries.
constexpr std::size_t kBlockReadSize = 2325;
// An entry larger than the largest picture the decoders accept is taken as
// damage rather than allocated.
constexpr std::uint32_t kMaxEntrySize = std::uint32_t{kMaxImageSide} * kMaxImageSide * 4 + 65536;

// A failed read in the image block; LoadDwgThumbnail turns it into "unavailable".
struct ReadError {};

void readExactly(const support::RegularFile& in, std::uint64_t offset, std::uint8_t* out, std::size_t count)
{
    if (in.readAt(offset, out, count) != count)
        throw ReadError{};
}

struct Entry {
    std::uint8_t code = 0;
    std::uint32_t start = 0;
    std::uint32_t size = 0;
};

Entry entryAt(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return {bytes[at], support::loadLE32(bytes, at + 1), support::loadLE32(bytes, at + 5)};
}

// The preview as the drawing stores it, still encoded.
struct StoredImage {
    enum class Form { None, Png, Dib, Bmp } form = Form::None;
    std::vector<std::uint8_t> bytes;   // a PNG, a bitmap without file header, or a BMP file image
};

StoredImage pngOrDib(std::vector<std::uint8_t> bytes)
{
    const auto form = isPng(bytes) ? StoredImage::Form::Png : StoredImage::Form::Dib;
    return {form, std::move(bytes)};
}

// One or two entries: the last one is the preview, whatever its code. Bytes
// missing at the end of the file read as zeros.
StoredImage readShortList(const support::RegularFile& in, std::uint32_t blockAt, unsigned n)
{
    std::array<std::uint8_t, 2 * kEntrySize> raw{};
    readExactly(in, std::uint64_t{blockAt} + kEntriesAt, raw.data(), n * kEntrySize);
    const Entry e = entryAt(raw, (n - 1) * kEntrySize);
    if (e.size > kMaxEntrySize)
        throw ReadError{};
    std::vector<std::uint8_t> block(e.size, 0);
    in.readAt(e.start, block.data(), block.size());
    return pngOrDib(std::move(block));
}

// Any other count: the sentinel must be in place; the first bitmap or PNG
// entry is the preview. A bitmap is copied unchanged behind a BMP file header.
StoredImage readFullList(const support::RegularFile& in, std::uint32_t blockAt)
{
    const std::uint64_t fileSize = in.size();
    std::array<std::uint8_t, kBlockReadSize> block{};
    const std::size_t got = in.readAt(blockAt, block.data(), block.size());
    if (got < kEntriesAt || !std::equal(kSentinel.begin(), kSentinel.end(), block.begin()))
        throw ReadError{};
    const unsigned n = block[20];
    if (got < kEntriesAt + n * kEntrySize)
        throw ReadError{};
    for (unsigned i = 0; i < n; ++i) {
        const Entry e = entryAt(block, kEntriesAt + i * kEntrySize);
        if (e.code != kBitmapCode && e.code != kPngCode)
            continue;
        if (e.size > kMaxEntrySize || e.start > fileSize || e.size > fileSize - e.start)
            throw ReadError{};
        if (e.code == kPngCode) {
            std::vector<std::uint8_t> png(e.size);
            readExactly(in, e.start, png.data(), png.size());
            return {StoredImage::Form::Png, std::move(png)};
        }
        constexpr std::size_t header = 14;
        std::vector<std::uint8_t> bmp(header + e.size, 0);
        readExactly(in, e.start, bmp.data() + header, e.size);
        const std::span<const std::uint8_t> dib(bmp.data() + header, e.size);
        // The rows end the image, so they start biSizeImage bytes before its end.
        // A biSizeImage of 0, or one reaching back into the colour table, would
        // misplace them; the colour table then tells where they start.
        const std::uint64_t tableEnd = header + dibPixelOffset(dib);
        const std::uint32_t imageSize = support::loadLE32(dib, 20);
        std::uint64_t pixelOffset = bmp.size() - std::uint64_t{imageSize};
        if (imageSize == 0 || imageSize > bmp.size() || pixelOffset < tableEnd)
            pixelOffset = tableEnd;
        bmp[0] = 'B';
        bmp[1] = 'M';
        for (int k = 0; k < 4; ++k) {
            bmp[2 + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(bmp.size() >> (8 * k));
            bmp[10 + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(pixelOffset >> (8 * k));
        }
        return {StoredImage::Form::Bmp, std::move(bmp)};
    }
    return {};
}

// Finds the preview of a drawing. Throws ReadError (or an ImageError of the
// bitmap header) when the image block is damaged.
StoredImage readStoredImage(const support::RegularFile& in, DwgThumbnail& result)
{
    std::array<std::uint8_t, 17> head{};
    const std::size_t got = in.readAt(0, head.data(), head.size());
    if (got < 7 || head[6] != 0)
        return {};
    const std::string_view version(reinterpret_cast<const char*>(head.data()), 6);
    if (std::find(kVersions.begin(), kVersions.end(), version) == kVersions.end())
        return {};
    result.versionAccepted = true;
    if (got < head.size())
        throw ReadError{};
    const std::uint32_t blockAt = support::loadLE32(head, 13);
    std::array<std::uint8_t, 5> sizeAndCount{};   // block size (not used) and entry count
    readExactly(in, std::uint64_t{blockAt} + 16, sizeAndCount.data(), sizeAndCount.size());
    const unsigned n = sizeAndCount[4];
    return (n == 1 || n == 2) ? readShortList(in, blockAt, n) : readFullList(in, blockAt);
}

Picture decodeStored(const StoredImage& image)
{
    switch (image.form) {
        case StoredImage::Form::Png: return decodePng(image.bytes);
        case StoredImage::Form::Dib: return decodeDib(image.bytes);
        case StoredImage::Form::Bmp: return decodeBmp(image.bytes);
        case StoredImage::Form::None: break;
    }
    return {};
}

// The stored preview as a picture, decoded straight from its stored form;
// nothing when the drawing has no usable one.
std::optional<Picture> loadPreviewPicture(const std::filesystem::path& path)
{
    try {
        const support::RegularFile in(path);
        DwgThumbnail ignored;
        const StoredImage image = readStoredImage(in, ignored);
        if (image.form == StoredImage::Form::None)
            return std::nullopt;
        return decodeStored(image);
    } catch (...) {
        return std::nullopt;
    }
}

void fill(Picture& target, std::uint8_t value)
{
    std::fill(target.pixels.begin(), target.pixels.end(), value);
}

void setPixel(Picture& target, int x, int y, std::uint8_t value)
{
    if (x >= 0 && y >= 0 && x < target.width && y < target.height)
        std::memset(target.row(y) + 3 * x, value, 3);
}

// A line of width 1 between two pixels, both ends included: one pixel for
// every step along the longer axis, the shorter axis rounded.
void drawLine(Picture& target, int x0, int y0, int x1, int y1)
{
    const int dx = x1 - x0, dy = y1 - y0;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    if (steps == 0) {
        setPixel(target, x0, y0, 0);
        return;
    }
    auto along = [steps](int i, int d) {
        const int magnitude = (i * std::abs(d) * 2 + steps) / (2 * steps);
        return d < 0 ? -magnitude : magnitude;
    };
    for (int i = 0; i <= steps; ++i)
        setPixel(target, x0 + along(i, dx), y0 + along(i, dy), 0);
}

static_assert(FilterTable[5].name == "Lanczos3");

}  // namespace

DwgThumbnail LoadDwgThumbnail(const std::filesystem::path& path)
{
    DwgThumbnail result;
    try {
        // Opened without locking: a drawing that another program holds open
        // can still be read. Anything but a regular file is refused.
        const support::RegularFile in(path);
        try {
            StoredImage image = readStoredImage(in, result);
            if (image.form == StoredImage::Form::Bmp)
                result.bmp = std::move(image.bytes);
            else if (image.form != StoredImage::Form::None)
                result.bmp = encodeBmp(decodeStored(image));
        } catch (...) {
            // Whatever the damage (a short read, an absurd size, a bitmap that
            // cannot be decoded), the preview is simply not there.
            result.bmp.clear();
            result.unavailable = true;
        }
    } catch (...) {
    }
    return result;
}

Rect FitRect(const Rect& target, const Rect& source)
{
    const int w = std::abs(source.right - source.left + 1);
    const int h = std::abs(source.bottom - source.top + 1);
    const int W = std::abs(target.right - target.left + 1);
    const int H = std::abs(target.bottom - target.top + 1);
    if (w == 0 || h == 0 || W == 0 || H == 0)
        return target;   // nothing to keep the ratio of
    const double s = static_cast<double>(w) / h;
    const double t = static_cast<double>(W) / H;
    int fw = W, fh = H, dx = 0, dy = 0;
    if (t >= s) {
        fw = static_cast<int>(std::ceil(H * s));
        dx = (W - fw) / 2;
    } else {
        fh = static_cast<int>(std::ceil(W / s));
        dy = (H - fh) / 2;
    }
    Rect r;
    r.left = target.left + dx;
    r.top = target.top + dy;
    r.right = r.left + fw - 1;
    r.bottom = r.top + fh - 1;
    return r;
}

void drawPlaceholder(Picture& target)
{
    fill(target, 128);
    const int right = target.width - 1, bottom = target.height - 1;
    drawLine(target, 0, 0, right, bottom);
    drawLine(target, right, 0, 0, bottom);
}

void DrawDwgThumbnail(const std::filesystem::path& path, Picture& target)
{
    if (target.width <= 0 || target.height <= 0)
        return;
    try {
        const std::optional<Picture> source = loadPreviewPicture(path);
        // A stored bitmap one pixel wide or high is no picture of a drawing.
        if (!source || source->width < 2 || source->height < 2) {
            drawPlaceholder(target);
            return;
        }
        const Rect dest = FitRect({0, 0, target.width - 1, target.height - 1},
                                  {0, 0, source->width - 1, source->height - 1});
        Picture scaled;
        scaled.width = dest.right - dest.left + 1;
        scaled.height = dest.bottom - dest.top + 1;
        ResampleBitmap(*source, scaled, FilterTable[5].function, 3.0f);

        fill(target, 255);
        // The fitted rectangle can be a pixel larger than the target; that pixel is clipped.
        for (int y = 0; y < scaled.height; ++y) {
            const int ty = dest.top + y;
            if (ty < 0 || ty >= target.height)
                continue;
            const int x0 = std::max(0, -dest.left);
            const int x1 = std::min(scaled.width, target.width - dest.left);
            if (x1 > x0)
                std::memcpy(target.row(ty) + 3 * (dest.left + x0), scaled.row(y) + 3 * x0,
                            static_cast<std::size_t>(x1 - x0) * 3);
        }
    } catch (...) {
        drawPlaceholder(target);
    }
}

}  // namespace preview
