#include "dwg/container/compression_2004.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <string>

#include "dwg/errors.h"

namespace dwg {
namespace {

std::string hexByte(unsigned value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string("0x") + kDigits[(value >> 4) & 0xF] + kDigits[value & 0xF];
}

// Reads one stream; each instruction checks its input and output room before
// it touches a byte.
class Decoder {
public:
    Decoder(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) noexcept
        : m_in(in.data()), m_src(in.data()), m_srcEnd(in.data() + in.size()), m_out(out.data()),
          m_dst(out.data()), m_dstEnd(out.data() + out.size()) {}

    std::size_t run() {
        unsigned opcode = 0;
        copyLiterals(readLiteralLength(opcode));
        while (true) {
            if (opcode == 0) {
                if (m_src == m_srcEnd) break;
                m_instruction = m_src;
                opcode = *m_src++;
            }
            std::size_t length = 0;
            std::size_t distance = 0;
            unsigned literals = 0;
            if (opcode >= 0x40) {
                // The short form: length and the low offset bits in the
                // opcode, the rest of the offset in the next byte.
                length = (opcode >> 4) - 1;
                const unsigned second = readByte();
                distance = ((second << 2) | ((opcode & 0x0CU) >> 2)) + 1;
                literals = opcode & 0x03U;
            } else if (opcode >= 0x21) {
                length = opcode - 0x1E;
                distance = readTwoByteOffset(literals) + 1;
            } else if (opcode == 0x20) {
                length = readLongLength() + 0x21;
                distance = readTwoByteOffset(literals) + 1;
            } else if (opcode >= 0x12) {
                length = (opcode & 0x0FU) + 2;
                distance = readTwoByteOffset(literals) + 0x4000;
            } else if (opcode == 0x10) {
                length = readLongLength() + 9;
                distance = readTwoByteOffset(literals) + 0x4000;
            } else if (opcode == 0x11) {
                break;
            } else {
                fail("invalid opcode " + hexByte(opcode));
            }
            copyMatch(length, distance);
            opcode = 0;
            copyLiterals(literals != 0 ? literals : readLiteralLength(opcode));
        }
        // The fast copies may have written a little past the last byte.
        if (m_dirty > m_dst) std::memset(m_dst, 0, static_cast<std::size_t>(m_dirty - m_dst));
        return static_cast<std::size_t>(m_dst - m_out);
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw FormatError("compressed data at byte " + std::to_string(m_instruction - m_in) + ": " + what);
    }

    unsigned readByte() {
        if (m_src == m_srcEnd)
            fail("expected more bytes, found the end of the data (" + std::to_string(m_srcEnd - m_in) + " bytes)");
        return *m_src++;
    }

    // 0x01-0x0F: that plus 3; 0x00: 0x0F plus 0xFF for each further zero
    // byte plus the first non-zero byte, plus 3; a byte with a bit of its high
    // nibble set is no length but the next opcode (the run is empty).
    std::size_t readLiteralLength(unsigned& opcode) {
        const unsigned first = readByte();
        if (first >= 0x10) {
            opcode = first;
            return 0;
        }
        if (first != 0) return first + 3;
        std::size_t total = 0x0F;
        unsigned next = 0;
        while ((next = readByte()) == 0) total += 0xFF;
        return total + next + 3;
    }

    // 0x01-0xFF as is; 0x00: 0xFF for it and each further zero byte, plus
    // the first non-zero byte.
    std::size_t readLongLength() {
        const unsigned first = readByte();
        if (first != 0) return first;
        std::size_t total = 0xFF;
        unsigned next = 0;
        while ((next = readByte()) == 0) total += 0xFF;
        return total + next;
    }

    std::size_t readTwoByteOffset(unsigned& literals) {
        const unsigned first = readByte();
        const unsigned second = readByte();
        literals = first & 0x03U;
        return (first >> 2) | (second << 6);
    }

    void copyLiterals(std::size_t count) {
        // Most runs are short: copy a fixed 16 bytes where both sides have
        // room for them.
        if (count <= 16 && m_srcEnd - m_src >= 16 && m_dstEnd - m_dst >= 16) {
            std::memcpy(m_dst, m_src, 16);
            m_dirty = std::max(m_dirty, m_dst + 16);
            m_src += count;
            m_dst += count;
            return;
        }
        if (count == 0) return;
        if (count > static_cast<std::size_t>(m_srcEnd - m_src))
            fail("literal run of " + std::to_string(count) + " bytes, only " + std::to_string(m_srcEnd - m_src) +
                 " left");
        room(count);
        std::memcpy(m_dst, m_src, count);
        m_src += count;
        m_dst += count;
    }

    void copyMatch(std::size_t length, std::size_t distance) {
        const auto written = static_cast<std::size_t>(m_dst - m_out);
        if (distance > written)
            fail("copy from " + std::to_string(distance) + " bytes back reaches before the start of the output (" +
                 std::to_string(written) + " bytes written)");
        std::uint8_t* to = m_dst;
        const std::uint8_t* from = m_dst - distance;
        const std::size_t rounded = (length + 7) & ~std::size_t{7};
        if (distance >= 8 && rounded <= static_cast<std::size_t>(m_dstEnd - m_dst)) {
            // 8 bytes at a time: each block reads only bytes before it.
            for (std::size_t i = 0; i < length; i += 8) std::memcpy(to + i, from + i, 8);
            m_dirty = std::max(m_dirty, to + rounded);
            m_dst += length;
            return;
        }
        room(length);
        if (distance >= length) {
            std::memcpy(to, from, length);
        } else if (distance == 1) {
            std::memset(to, *from, length);
        } else {
            // Overlapping: the copy repeats the last `distance` bytes.
            for (std::size_t i = 0; i < length; ++i) to[i] = from[i];
        }
        m_dst += length;
    }

    void room(std::size_t count) const {
        if (count > static_cast<std::size_t>(m_dstEnd - m_dst))
            fail("decompresses to more than " + std::to_string(m_dstEnd - m_out) + " bytes");
    }

    const std::uint8_t* m_in;
    const std::uint8_t* m_src;
    const std::uint8_t* m_srcEnd;
    const std::uint8_t* m_instruction = m_in;
    std::uint8_t* m_out;
    std::uint8_t* m_dst;
    std::uint8_t* m_dstEnd;
    std::uint8_t* m_dirty = m_dst;  // end of what the fast copies wrote
};

constexpr unsigned kHashBits = 15;
constexpr std::size_t kMinMatch = 4;
// The farthest a copy reaches: opcode 0x10's offset field plus 0x4000.
constexpr std::size_t kMaxDistance = 0x7FFF;
// Search effort: candidates tried per position, and the length at which a
// match is taken without looking further.
constexpr unsigned kMaxCandidates = 8;
constexpr std::size_t kGoodLength = 48;

std::uint32_t load32(const std::uint8_t* p) noexcept {
    std::uint32_t value = 0;
    std::memcpy(&value, p, sizeof value);
    return value;
}

std::uint32_t hash4(std::uint32_t value) noexcept { return (value * 2654435761U) >> (32 - kHashBits); }

// How many bytes of `a` and `b` agree, up to `limit`.
std::size_t commonLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit) noexcept {
    std::size_t length = 0;
    while (length + 8 <= limit) {
        std::uint64_t x = 0;
        std::uint64_t y = 0;
        std::memcpy(&x, a + length, 8);
        std::memcpy(&y, b + length, 8);
        if (x != y) {
            const std::uint64_t diff = x ^ y;
            const int bits =
                std::endian::native == std::endian::little ? std::countr_zero(diff) : std::countl_zero(diff);
            return length + static_cast<std::size_t>(bits) / 8;
        }
        length += 8;
    }
    while (length < limit && a[length] == b[length]) ++length;
    return length;
}

// Writes instructions into a buffer the caller made large enough.
class Encoder {
public:
    explicit Encoder(std::uint8_t* out) noexcept : m_p(out) {}
    std::uint8_t* position() const noexcept { return m_p; }

    // A run that no copy precedes: the stream's first, at least 4 bytes.
    void firstLiterals(const std::uint8_t* bytes, std::size_t count) noexcept {
        literalLength(count);
        literalBytes(bytes, count);
    }

    // A copy and the literal run after it (1-3 literals ride in the copy's
    // low bits, longer runs get a literal length, none is just the next
    // opcode).
    void copy(std::size_t length, std::size_t distance, const std::uint8_t* literals, std::size_t count) noexcept {
        const unsigned bits = count <= 3 ? static_cast<unsigned>(count) : 0U;
        const std::size_t offset = distance - 1;
        if (distance <= 0x400 && length <= 14) {
            put(((length + 1) << 4) | ((offset & 0x03U) << 2) | bits);
            put(offset >> 2);
        } else if (distance <= 0x4000) {
            if (length <= 33) {
                put(length + 0x1E);
            } else {
                put(0x20);
                longLength(length - 0x21);
            }
            twoByteOffset(offset, bits);
        } else {
            if (length <= 9) {
                put(0x10 | (length - 2));
            } else {
                put(0x10);
                longLength(length - 9);
            }
            twoByteOffset(distance - 0x4000, bits);
        }
        if (count > 3) literalLength(count);
        literalBytes(literals, count);
    }

    void end() noexcept {
        put(0x11);
        put(0x00);
        put(0x00);
    }

private:
    void put(std::size_t byte) noexcept { *m_p++ = static_cast<std::uint8_t>(byte); }

    void literalLength(std::size_t count) noexcept {
        std::size_t value = count - 3;
        if (value <= 0x0F) {
            put(value);
            return;
        }
        put(0x00);
        value -= 0x0F;
        while (value > 0xFF) {
            put(0x00);
            value -= 0xFF;
        }
        put(value);
    }

    void longLength(std::size_t value) noexcept {
        if (value > 0xFF) {
            put(0x00);
            value -= 0xFF;
            while (value > 0xFF) {
                put(0x00);
                value -= 0xFF;
            }
        }
        put(value);
    }

    void twoByteOffset(std::size_t offset, unsigned literals) noexcept {
        put(((offset & 0x3FU) << 2) | literals);
        put(offset >> 6);
    }

    void literalBytes(const std::uint8_t* bytes, std::size_t count) noexcept {
        if (count == 0) return;
        std::memcpy(m_p, bytes, count);
        m_p += count;
    }

    std::uint8_t* m_p;
};

}  // namespace

std::size_t decompress2004(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    return Decoder(in, out).run();
}

Compressor2004::Compressor2004() : m_head(std::size_t{1} << kHashBits, 0) {}

void Compressor2004::prepare(std::size_t size) {
    if (m_chain.size() < size) m_chain.resize(size);
    if (m_base > 0xF0000000U - size) {
        std::fill(m_head.begin(), m_head.end(), 0U);
        m_base = 1;
    }
}

void Compressor2004::compress(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out) {
    const std::size_t size = data.size();
    if (size == 0) {
        out.insert(out.end(), {0x11, 0x00, 0x00});
        return;
    }
    if (size < 4)
        throw std::invalid_argument("2004 compression: a stream of " + std::to_string(size) +
                                    " bytes cannot be expressed (the first literal run is at least 4 bytes)");
    if (size > 0xE0000000U) throw std::invalid_argument("2004 compression: input too large");
    prepare(size);

    const std::size_t start = out.size();
    // Matches never take more room than the bytes they stand for; literal
    // runs add at most a length byte per 255 plus two, and each such run is
    // at least 4 bytes long.
    out.resize(start + size + size / 2 + size / 64 + 64);
    Encoder encoder(out.data() + start);

    const std::uint8_t* src = data.data();
    const std::uint32_t base = m_base;
    const std::size_t lastHashed = size - 4;  // the last position with 4 bytes to hash
    auto insert = [&](std::size_t i) {
        const std::uint32_t h = hash4(load32(src + i));
        const std::uint32_t previous = m_head[h];
        m_head[h] = base + static_cast<std::uint32_t>(i);
        m_chain[i] = previous;
        return previous;
    };

    bool pending = false;
    std::size_t pendingLength = 0;
    std::size_t pendingDistance = 0;
    std::size_t literalStart = 0;
    // The first literal run must be at least 4 bytes: no copy starts before.
    std::size_t i = 0;
    for (; i < 4 && i <= lastHashed; ++i) insert(i);
    while (i <= lastHashed) {
        std::uint32_t candidate = insert(i);
        const std::size_t maxLength = size - i;
        std::size_t bestLength = 0;
        std::size_t bestDistance = 0;
        for (unsigned tries = 0; candidate >= base && tries < kMaxCandidates; ++tries) {
            const std::size_t j = candidate - base;
            const std::size_t distance = i - j;
            if (distance > kMaxDistance) break;  // chains run from near to far
            if (load32(src + j) == load32(src + i) &&
                (bestLength == 0 || (bestLength < maxLength && src[j + bestLength] == src[i + bestLength]))) {
                const std::size_t length = 4 + commonLength(src + j + 4, src + i + 4, maxLength - 4);
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = distance;
                    if (length >= kGoodLength || length == maxLength) break;
                }
            }
            candidate = m_chain[j];
        }
        if (bestLength < kMinMatch) {
            ++i;
            continue;
        }
        if (pending) {
            encoder.copy(pendingLength, pendingDistance, src + literalStart, i - literalStart);
        } else {
            encoder.firstLiterals(src, i);
        }
        pending = true;
        pendingLength = bestLength;
        pendingDistance = bestDistance;
        const std::size_t end = i + bestLength;
        for (std::size_t k = i + 1; k < end && k <= lastHashed; ++k) insert(k);
        i = end;
        literalStart = i;
    }
    if (pending) {
        encoder.copy(pendingLength, pendingDistance, src + literalStart, size - literalStart);
    } else {
        encoder.firstLiterals(src, size);
    }
    encoder.end();
    out.resize(static_cast<std::size_t>(encoder.position() - out.data()));
    m_base += static_cast<std::uint32_t>(size);
}

std::vector<std::uint8_t> compress2004(std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> out;
    Compressor2004().compress(data, out);
    return out;
}

}  // namespace dwg
