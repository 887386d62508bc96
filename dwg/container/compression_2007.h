#pragma once
// The LZ77 variant that compresses the pages of 2007 files (ODA §5.10),
// unrelated to the 2004 one. A stream is a literal run, then instructions
// that each copy earlier output (an offset back and a length) and name the
// next literal run, up to the end of the input; there is no end opcode. The
// bytes of a literal run are stored shuffled: each 32 bytes as their four
// 8-byte groups in reverse order, a shorter rest after the table of ODA
// §5.10.1 (reversed single bytes, 4- and 8-byte groups kept in order).

#include <cstddef>
#include <cstdint>
#include <span>

namespace dwg {

// Decompresses one stream into the front of `out` and returns how many bytes
// it produced. Throws FormatError, naming the byte of the input, for a copy
// from before the start of the output, an output that would not fit in
// `out`, or input that ends inside an instruction or a literal run. Never
// reads or writes outside the two spans.
std::size_t decompress2007(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

}  // namespace dwg
