#include "dwg/container/compression_2007.h"

#include <array>
#include <string>
#include <utility>

#include "dwg/errors.h"

namespace dwg {
namespace {

// ODA §5.10.1: how the last 1 to 31 bytes of a literal run are stored. Each
// piece takes `size` stored bytes from `from` on; pieces of 2 and 3 bytes
// are reversed, pieces of 1, 4 and 8 bytes kept in order (the document's
// 16-byte pieces are written here as two 8-byte ones, the upper first).
struct Piece {
    std::uint8_t size = 0;  // 0 ends the list
    std::uint8_t from = 0;
};
using Pieces = std::array<Piece, 6>;

constexpr std::array<Pieces, 32> kRest{{
    {},
    {{{1, 0}}},
    {{{2, 0}}},
    {{{3, 0}}},
    {{{4, 0}}},
    {{{1, 4}, {4, 0}}},
    {{{1, 5}, {4, 1}, {1, 0}}},
    {{{2, 5}, {4, 1}, {1, 0}}},
    {{{8, 0}}},
    {{{1, 8}, {8, 0}}},
    {{{1, 9}, {8, 1}, {1, 0}}},
    {{{2, 9}, {8, 1}, {1, 0}}},
    {{{4, 8}, {8, 0}}},
    {{{1, 12}, {4, 8}, {8, 0}}},
    {{{1, 13}, {4, 9}, {8, 1}, {1, 0}}},
    {{{2, 13}, {4, 9}, {8, 1}, {1, 0}}},
    {{{8, 8}, {8, 0}}},
    {{{8, 9}, {1, 8}, {8, 0}}},
    {{{1, 17}, {8, 9}, {8, 1}, {1, 0}}},
    {{{3, 16}, {8, 8}, {8, 0}}},
    {{{4, 16}, {8, 8}, {8, 0}}},
    {{{1, 20}, {4, 16}, {8, 8}, {8, 0}}},
    {{{2, 20}, {4, 16}, {8, 8}, {8, 0}}},
    {{{3, 20}, {4, 16}, {8, 8}, {8, 0}}},
    {{{8, 16}, {8, 8}, {8, 0}}},
    {{{8, 17}, {1, 16}, {8, 8}, {8, 0}}},
    {{{1, 25}, {8, 17}, {1, 16}, {8, 8}, {8, 0}}},
    {{{2, 25}, {8, 17}, {1, 16}, {8, 8}, {8, 0}}},
    {{{4, 24}, {8, 16}, {8, 8}, {8, 0}}},
    {{{1, 28}, {4, 24}, {8, 16}, {8, 8}, {8, 0}}},
    {{{2, 28}, {4, 24}, {8, 16}, {8, 8}, {8, 0}}},
    {{{1, 30}, {4, 26}, {8, 18}, {8, 10}, {8, 2}, {2, 0}}},
}};

constexpr bool coversItsBytes(const Pieces& pieces, std::size_t count) {
    std::size_t total = 0;
    for (const Piece& piece : pieces) total += piece.size;
    return total == count;
}
constexpr bool tableIsWhole() {
    for (std::size_t count = 0; count < kRest.size(); ++count)
        if (!coversItsBytes(kRest[count], count)) return false;
    return true;
}
static_assert(tableIsWhole());

class Decoder {
public:
    Decoder(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) noexcept : m_in(in), m_out(out) {}

    std::size_t run() {
        if (m_in.empty()) return 0;
        unsigned opcode = next();
        std::size_t literals = 0;
        // ODA §5.10: a first opcode 0x2X skips two bytes and takes the run's
        // length from the low bits of the third.
        if ((opcode & 0xF0U) == 0x20) {
            next();
            next();
            literals = next() & 0x07U;
        }
        while (true) {
            copyLiterals(literals != 0 ? literals : literalLength(opcode));
            if (m_pos == m_in.size()) return m_produced;
            m_instruction = m_pos;
            opcode = next();
            std::size_t offset = 0, length = 0;
            instruction(opcode, offset, length);
            while (true) {
                copyMatch(offset, length);
                // The low bits of the instruction's last byte count the
                // literals that follow; with none, another instruction, a
                // literal run (high nibble 0) or the end of the stream.
                literals = opcode & 0x07U;
                if (literals != 0) break;
                if (m_pos == m_in.size()) return m_produced;
                m_instruction = m_pos;
                opcode = next();
                if ((opcode >> 4) == 0) break;
                if ((opcode >> 4) == 0x0F) opcode &= 0x0FU;
                instruction(opcode, offset, length);
            }
        }
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw FormatError("compressed data at byte " + std::to_string(m_instruction) + ": " + what);
    }

    unsigned next() {
        if (m_pos == m_in.size())
            fail("expected more bytes, found the end of the data (" + std::to_string(m_in.size()) + " bytes)");
        return m_in[m_pos++];
    }

    // ODA §5.10.1: the opcode plus 8; 0x17 adds the next byte, and a byte of
    // 0xFF adds 16-bit values up to the first that is not 0xFFFF.
    std::size_t literalLength(unsigned opcode) {
        std::size_t length = opcode + 8;
        if (length != 0x17) return length;
        const unsigned n = next();
        length += n;
        if (n == 0xFF) {
            unsigned more = 0;
            do {
                more = next();
                more |= next() << 8;
                length += more;
            } while (more == 0xFFFF);
        }
        return length;
    }

    // ODA §5.10.2: the offset back and the length of a copy; `opcode`
    // becomes the instruction's last byte, whose low bits count the literals
    // that follow.
    void instruction(unsigned& opcode, std::size_t& offset, std::size_t& length) {
        switch (opcode >> 4) {
            case 0:
                length = (opcode & 0x0FU) + 0x13;
                offset = next();
                opcode = next();
                length += (opcode >> 3) & 0x10U;
                offset += ((opcode & 0x78U) << 5) + 1;
                break;
            case 1:
                length = (opcode & 0x0FU) + 3;
                offset = next();
                opcode = next();
                offset += ((opcode & 0xF8U) << 5) + 1;
                break;
            case 2:
                offset = next();
                offset |= std::size_t{next()} << 8;
                length = opcode & 0x07U;
                if ((opcode & 0x08U) == 0) {
                    opcode = next();
                    length += opcode & 0xF8U;
                } else {
                    ++offset;
                    length += std::size_t{next()} << 3;
                    opcode = next();
                    length += (std::size_t{opcode & 0xF8U} << 8) + 0x100;
                }
                break;
            default:
                length = opcode >> 4;
                offset = opcode & 0x0FU;
                opcode = next();
                offset += ((opcode & 0xF8U) << 1) + 1;
                break;
        }
    }

    void room(std::size_t count) const {
        if (count > m_out.size() - m_produced)
            fail(std::to_string(count) + " more bytes do not fit the " + std::to_string(m_out.size()) +
                 " bytes of the output, " + std::to_string(m_produced) + " of them written");
    }

    void copyLiterals(std::size_t count) {
        if (count > m_in.size() - m_pos)
            fail("literal run of " + std::to_string(count) + " bytes, only " + std::to_string(m_in.size() - m_pos) +
                 " left");
        room(count);
        const std::uint8_t* src = m_in.data() + m_pos;
        std::uint8_t* dst = m_out.data() + m_produced;
        m_pos += count;
        m_produced += count;
        for (; count >= 32; count -= 32, src += 32) {
            for (const std::size_t group : {24, 16, 8, 0})
                for (std::size_t i = 0; i < 8; ++i) *dst++ = src[group + i];
        }
        for (const Piece& piece : kRest[count]) {
            const bool reversed = piece.size == 2 || piece.size == 3;
            for (std::size_t i = 0; i < piece.size; ++i)
                *dst++ = src[piece.from + (reversed ? piece.size - 1 - i : i)];
        }
    }

    void copyMatch(std::size_t offset, std::size_t length) {
        if (offset == 0 || offset > m_produced)
            fail("copy from " + std::to_string(offset) + " bytes back, " + std::to_string(m_produced) +
                 " bytes written");
        room(length);
        std::uint8_t* dst = m_out.data() + m_produced;
        const std::uint8_t* src = dst - offset;
        // Byte by byte: the copy may overlap its own output.
        for (std::size_t i = 0; i < length; ++i) dst[i] = src[i];
        m_produced += length;
    }

    std::span<const std::uint8_t> m_in;
    std::span<std::uint8_t> m_out;
    std::size_t m_pos = 0;
    std::size_t m_instruction = 0;  // where the instruction being read starts
    std::size_t m_produced = 0;
};

}  // namespace

std::size_t decompress2007(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    return Decoder(in, out).run();
}

}  // namespace dwg
