#pragma once
// The LZ77 variant that compresses the pages of 2004 files (ODA §4.7). A
// stream is a literal run, then instructions that each copy earlier output
// ("compressed bytes" from an offset back) followed by a literal run, and
// ends with opcode 0x11. The format descends from LZO1X; what AutoCAD
// writes and the other readers accept differs from the document in two
// places, which both sides here follow:
//  - a literal length byte of 0x0F means 18 literals (the document lists
//    only 0x01-0x0E, AutoCAD writes 0x0F);
//  - opcodes 0x18-0x1F are never written: in LZO their bit 3 is the high bit
//    of the offset, in the document part of the length. The reader takes the
//    document's meaning; the writer uses 0x10 and 0x12-0x17 only, on which
//    both agree.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace dwg {

// Decompresses one stream into the front of `out` and returns how many bytes
// it produced; the stream ends at opcode 0x11 (or, leniently, where the
// input ends between two instructions). Throws FormatError, naming the byte
// of the input, for an invalid opcode, a copy from before the start of the
// output, an output that would not fit in `out`, or input that ends inside
// an instruction. Never reads or writes outside the two spans.
std::size_t decompress2004(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// A greedy compressor with a hash table of 4-byte prefixes and a bounded
// search along each hash chain. It keeps its tables between calls, so that
// compressing the many pages of a file allocates nothing per page.
class Compressor2004 {
public:
    Compressor2004();

    // Appends the compressed form of `data` to `out`. The format cannot
    // express a stream of 1 to 3 bytes (its first literal run is at least 4
    // bytes long), so such input is a caller mistake: std::invalid_argument.
    void compress(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out);

private:
    void prepare(std::size_t size);

    // m_head[hash] and m_chain[i] hold positions as m_base + i, so that
    // entries left by earlier calls (all below m_base) read as empty and the
    // table never needs clearing.
    std::vector<std::uint32_t> m_head;
    std::vector<std::uint32_t> m_chain;
    std::uint32_t m_base = 1;
};

// One call of a fresh Compressor2004.
std::vector<std::uint8_t> compress2004(std::span<const std::uint8_t> data);

}  // namespace dwg
