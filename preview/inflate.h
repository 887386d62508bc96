#pragma once
// Decompression of the deflate streams inside PNG previews.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace preview {

// A raw deflate stream (RFC 1951: stored, fixed and dynamic Huffman blocks).
// Throws ImageError on damaged data, on data ending early, or when the output
// would exceed `maxOutput` bytes. Bytes after the final block are ignored.
std::vector<std::uint8_t> inflate(std::span<const std::uint8_t> data, std::size_t maxOutput);

// A zlib stream (RFC 1950): two header bytes, deflate data, Adler-32 of the
// output. Throws ImageError like inflate, and when the checksum differs.
std::vector<std::uint8_t> zlibDecompress(std::span<const std::uint8_t> data, std::size_t maxOutput);

}  // namespace preview
