#pragma once
// Our own codec for the device-independent bitmaps that drawings store as
// their preview, and for the BMP file images the preview hands around.

#include "preview/picture.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace preview {

// A stored image that cannot be decoded: damaged, of an absurd size, or of a
// kind this reader does not handle. The message says what was expected.
class ImageError : public std::runtime_error {
public:
    explicit ImageError(const std::string& what) : std::runtime_error(what) {}
};

// Pictures beyond these bounds are refused before anything is allocated; a
// drawing's preview is a few hundred pixels wide.
inline constexpr int kMaxImageSide = 16384;
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 26;

// Throws ImageError unless 1 <= width, height <= kMaxImageSide and the area is
// within kMaxImagePixels.
void checkImageSize(std::int64_t width, std::int64_t height);

// Offset of the pixel rows in a bitmap without file header: biSize plus the
// colour table (4 x biClrUsed, or 4 x 2^biBitCount when biClrUsed is 0, for 8
// or fewer bits per pixel; none above).
std::size_t dibPixelOffset(std::span<const std::uint8_t> dib);

// A bitmap without file header (information header, colour table, rows), as a
// drawing stores it. 1, 4, 8, 24 and 32 bits per pixel, bottom-up or top-down,
// uncompressed, or RLE8 / RLE4 bottom-up. Pixels an RLE stream skips stay black.
Picture decodeDib(std::span<const std::uint8_t> dib);

// A BMP file image ("BM" file header, then as decodeDib); the rows start at the
// header's pixel offset.
Picture decodeBmp(std::span<const std::uint8_t> file);

// A 24-bit bottom-up BMP file image of `picture`.
std::vector<std::uint8_t> encodeBmp(const Picture& picture);

}  // namespace preview
