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

// Pictures beyond these bounds are refused before anything is allocated. A
// drawing's preview is a few hundred pixels a side (AutoCAD's largest, of
// 2018, is 852 x 448), so a larger declared size is damage or a trap.
inline constexpr int kMaxImageSide = 2048;
// The pixel data a stored image declares (width x height x bits per pixel)
// may be at most this many times the bytes it is stored in: deflate cannot
// expand by more than 1032 to 1 and a run-length bitmap by 128 to 1, so only
// a declaration that the stored bytes cannot fill goes beyond it.
inline constexpr std::int64_t kMaxExpansion = 1100;

// Throws ImageError unless 1 <= width, height <= kMaxImageSide and the
// declared pixel data fits kMaxExpansion times `storedBytes`.
void checkImageSize(std::int64_t width, std::int64_t height, int bitsPerPixel, std::size_t storedBytes);

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

// A 24-bit bitmap without file header of `picture`, rows bottom-up.
std::vector<std::uint8_t> encodeDib(const Picture& picture);

// An 8-bit bitmap without file header, rows bottom-up: `table` (blue, green,
// red per entry, at most 256 entries) padded with black to 256 entries, as
// AutoCAD writes its preview bitmaps, and `indices` (width x height, top row
// first) into it.
std::vector<std::uint8_t> encodeIndexedDib(int width, int height, std::span<const std::uint8_t> table,
                                           std::span<const std::uint8_t> indices);

// A 24-bit bottom-up BMP file image of `picture`.
std::vector<std::uint8_t> encodeBmp(const Picture& picture);

}  // namespace preview
