#include "preview/inflate.h"

#include "preview/bmp.h"

#include <algorithm>
#include <array>
#include <string>

namespace preview {
namespace {

constexpr int kMaxBits = 15;
constexpr int kMaxLitLen = 288;
constexpr int kMaxDist = 30;

class BitInput {
public:
    explicit BitInput(std::span<const std::uint8_t> data) : m_data(data) {}

    // Deflate packs bits starting at the least significant bit of each byte;
    // they are taken into a buffer a byte at a time, low bits first.
    unsigned bits(int n)
    {
        while (m_count < n) {
            if (m_pos >= m_data.size())
                throw ImageError("deflate data: expected more bits, found the end at byte "
                                 + std::to_string(m_data.size()));
            m_buffer |= static_cast<std::uint64_t>(m_data[m_pos++]) << m_count;
            m_count += 8;
        }
        const auto value = static_cast<unsigned>(m_buffer & ((std::uint64_t{1} << n) - 1));
        m_buffer >>= n;
        m_count -= n;
        return value;
    }
    void alignToByte()
    {
        m_buffer >>= m_count % 8;
        m_count -= m_count % 8;
    }
    std::uint8_t byte()
    {
        if (m_count >= 8)
            return static_cast<std::uint8_t>(bits(8));
        if (m_pos >= m_data.size())
            throw ImageError("deflate stored block: expected more bytes, found the end");
        return m_data[m_pos++];
    }
    // Up to `n` bits ahead without taking them (zeros past the end), and
    // how many of them are real.
    unsigned peek(int n)
    {
        while (m_count < n && m_pos < m_data.size()) {
            m_buffer |= static_cast<std::uint64_t>(m_data[m_pos++]) << m_count;
            m_count += 8;
        }
        return static_cast<unsigned>(m_buffer & ((std::uint64_t{1} << n) - 1));
    }
    int buffered() const { return m_count; }
    void skip(int n)
    {
        m_buffer >>= n;
        m_count -= n;
    }
    // The bytes begun: those taken less the whole ones still buffered.
    std::size_t bytePos() const { return m_pos - static_cast<std::size_t>(m_count / 8); }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    std::uint64_t m_buffer = 0;
    int m_count = 0;
};

// A canonical Huffman code given by its code lengths: how many codes each
// length has, and the symbols in code order.
struct Huffman {
    // Codes of up to kFastBits bits are looked up by the next kFastBits
    // bits of the stream (as read, so the codes bit-reversed): the length
    // in the top 4 bits, the symbol in the low 12; 0 for a longer code.
    static constexpr int kFastBits = 9;
    std::array<std::uint16_t, kMaxBits + 1> count{};
    std::array<std::uint16_t, kMaxLitLen> symbol{};
    std::array<std::uint16_t, 1 << kFastBits> fast{};

    Huffman(const std::uint8_t* lengths, int n)
    {
        for (int s = 0; s < n; ++s)
            ++count[lengths[s]];
        int left = 1;
        for (int len = 1; len <= kMaxBits; ++len) {
            left = left * 2 - count[len];
            if (left < 0)
                throw ImageError("deflate Huffman code: expected a prefix code, found an over-subscribed one");
        }
        // An incomplete code is allowed (a lone distance code is common); its
        // unused bit patterns fail when they are met.
        std::array<std::uint16_t, kMaxBits + 2> offset{};
        for (int len = 1; len <= kMaxBits; ++len)
            offset[len + 1] = static_cast<std::uint16_t>(offset[len] + count[len]);
        for (int s = 0; s < n; ++s)
            if (lengths[s] != 0)
                symbol[offset[lengths[s]]++] = static_cast<std::uint16_t>(s);
        // The canonical codes in symbol order (RFC 1951 §3.2.2).
        std::array<unsigned, kMaxBits + 2> next{};
        for (int len = 2; len <= kMaxBits; ++len)
            next[len] = (next[len - 1] + count[len - 1]) << 1;
        for (int s = 0; s < n; ++s) {
            const int len = lengths[s];
            if (len == 0)
                continue;
            const unsigned code = next[len]++;
            if (len > kFastBits)
                continue;
            unsigned reversed = 0;
            for (int i = 0; i < len; ++i)
                reversed |= ((code >> i) & 1u) << (len - 1 - i);
            for (unsigned r = reversed; r < fast.size(); r += 1u << len)
                fast[r] = static_cast<std::uint16_t>(len << 12 | s);
        }
    }

    int decode(BitInput& in) const
    {
        const std::uint16_t entry = fast[in.peek(kFastBits)];
        if (entry != 0 && (entry >> 12) <= in.buffered()) {
            in.skip(entry >> 12);
            return entry & 0xFFF;
        }
        int code = 0, first = 0, index = 0;
        for (int len = 1; len <= kMaxBits; ++len) {
            code |= static_cast<int>(in.bits(1));
            const int n = count[len];
            if (code - n < first)
                return symbol[index + (code - first)];
            index += n;
            first = (first + n) << 1;
            code <<= 1;
        }
        throw ImageError("deflate data: expected a Huffman code, found an unused bit pattern");
    }
};

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,
                                                       15, 17, 19, 23, 27, 31, 35, 43, 51,  59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistBase = {1,    2,    3,    4,    5,    7,     9,     13,
                                                     17,   25,   33,   49,   65,   97,    129,   193,
                                                     257,  385,  513,  769,  1025, 1537,  2049,  3073,
                                                     4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

class Inflater {
public:
    // Room for the output up front (to 16 MiB), rather than growing it.
    Inflater(std::span<const std::uint8_t> data, std::size_t maxOutput) : m_in(data), m_max(maxOutput)
    {
        m_out.reserve(std::min<std::size_t>(maxOutput, std::size_t{1} << 24));
    }

    std::vector<std::uint8_t> run()
    {
        bool last = false;
        while (!last) {
            last = m_in.bits(1) != 0;
            switch (m_in.bits(2)) {
            case 0: stored(); break;
            case 1: fixed(); break;
            case 2: dynamic(); break;
            default: throw ImageError("deflate block: expected type 0, 1 or 2, found 3");
            }
        }
        return std::move(m_out);
    }
    std::size_t consumed() const { return m_in.bytePos(); }

private:
    void emit(std::uint8_t b)
    {
        if (m_out.size() >= m_max)
            throw ImageError("deflate data: expected at most " + std::to_string(m_max)
                             + " bytes of output, found more");
        m_out.push_back(b);
    }

    unsigned word()
    {
        const unsigned low = m_in.byte();
        return low | (static_cast<unsigned>(m_in.byte()) << 8u);
    }

    void stored()
    {
        m_in.alignToByte();
        const unsigned len = word();
        const unsigned nlen = word();
        if ((len ^ 0xFFFFu) != nlen)
            throw ImageError("deflate stored block: expected the length's complement, found "
                             + std::to_string(nlen) + " for " + std::to_string(len));
        for (unsigned i = 0; i < len; ++i)
            emit(m_in.byte());
    }

    void fixed()
    {
        std::array<std::uint8_t, kMaxLitLen + kMaxDist> lengths{};
        for (int s = 0; s < kMaxLitLen; ++s)
            lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        for (int s = 0; s < kMaxDist; ++s)
            lengths[kMaxLitLen + s] = 5;
        const Huffman lit(lengths.data(), kMaxLitLen);
        const Huffman dist(lengths.data() + kMaxLitLen, kMaxDist);
        codes(lit, dist);
    }

    void dynamic()
    {
        const int nlen = static_cast<int>(m_in.bits(5)) + 257;
        const int ndist = static_cast<int>(m_in.bits(5)) + 1;
        const int ncode = static_cast<int>(m_in.bits(4)) + 4;
        if (nlen > 286 || ndist > kMaxDist)
            throw ImageError("deflate dynamic block: expected at most 286 length and 30 distance codes, found "
                             + std::to_string(nlen) + " and " + std::to_string(ndist));
        static constexpr std::array<std::uint8_t, 19> kOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                11, 4,  12, 3, 13, 2, 14, 1, 15};
        std::array<std::uint8_t, kMaxLitLen + kMaxDist> lengths{};
        for (int i = 0; i < ncode; ++i)
            lengths[kOrder[i]] = static_cast<std::uint8_t>(m_in.bits(3));
        const Huffman lencode(lengths.data(), 19);

        lengths.fill(0);
        int index = 0;
        while (index < nlen + ndist) {
            int symbol = lencode.decode(m_in);
            if (symbol < 16) {
                lengths[index++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint8_t value = 0;
            int repeat = 0;
            if (symbol == 16) {
                if (index == 0)
                    throw ImageError("deflate dynamic block: expected a length to repeat, found none");
                value = lengths[index - 1];
                repeat = 3 + static_cast<int>(m_in.bits(2));
            } else if (symbol == 17) {
                repeat = 3 + static_cast<int>(m_in.bits(3));
            } else {
                repeat = 11 + static_cast<int>(m_in.bits(7));
            }
            if (index + repeat > nlen + ndist)
                throw ImageError("deflate dynamic block: expected " + std::to_string(nlen + ndist)
                                 + " code lengths, found more");
            while (repeat-- > 0)
                lengths[index++] = value;
        }
        if (lengths[256] == 0)
            throw ImageError("deflate dynamic block: expected a code for the end of the block, found none");
        const Huffman lit(lengths.data(), nlen);
        const Huffman dist(lengths.data() + nlen, ndist);
        codes(lit, dist);
    }

    void codes(const Huffman& lit, const Huffman& dist)
    {
        for (;;) {
            const int symbol = lit.decode(m_in);
            if (symbol < 256) {
                emit(static_cast<std::uint8_t>(symbol));
                continue;
            }
            if (symbol == 256)
                return;
            const int li = symbol - 257;
            if (li >= 29)
                throw ImageError("deflate data: expected a length code up to 285, found " + std::to_string(symbol));
            const std::size_t length = kLengthBase[li] + m_in.bits(kLengthExtra[li]);
            const int di = dist.decode(m_in);
            if (di >= kMaxDist)
                throw ImageError("deflate data: expected a distance code up to 29, found " + std::to_string(di));
            const std::size_t distance = kDistBase[di] + m_in.bits(kDistExtra[di]);
            if (distance > m_out.size())
                throw ImageError("deflate data: expected a distance within the " + std::to_string(m_out.size())
                                 + " bytes written, found " + std::to_string(distance));
            if (m_out.size() + length > m_max)
                throw ImageError("deflate data: expected at most " + std::to_string(m_max)
                                 + " bytes of output, found more");
            // Byte by byte: the copy may overlap what it writes.
            const std::size_t at = m_out.size();
            m_out.resize(at + length);
            std::uint8_t* out = m_out.data() + at;
            const std::uint8_t* from = out - distance;
            for (std::size_t i = 0; i < length; ++i)
                out[i] = from[i];
        }
    }

    BitInput m_in;
    std::size_t m_max;
    std::vector<std::uint8_t> m_out;
};

}  // namespace

std::vector<std::uint8_t> inflate(std::span<const std::uint8_t> data, std::size_t maxOutput)
{
    return Inflater(data, maxOutput).run();
}

std::vector<std::uint8_t> zlibDecompress(std::span<const std::uint8_t> data, std::size_t maxOutput)
{
    if (data.size() < 2)
        throw ImageError("zlib stream: expected a 2-byte header, found " + std::to_string(data.size()) + " bytes");
    const unsigned cmf = data[0];
    const unsigned flg = data[1];
    if ((cmf & 0x0Fu) != 8 || (cmf >> 4) > 7 || (cmf * 256 + flg) % 31 != 0)
        throw ImageError("zlib stream: expected a deflate header, found " + std::to_string(cmf) + ", "
                         + std::to_string(flg));
    if ((flg & 0x20u) != 0)
        throw ImageError("zlib stream: expected no preset dictionary, found one");
    Inflater inflater(data.subspan(2), maxOutput);
    std::vector<std::uint8_t> out = inflater.run();
    const std::size_t end = 2 + inflater.consumed();
    if (data.size() - end < 4)
        throw ImageError("zlib stream: expected the Adler-32 checksum, found the end");
    // The sums are reduced once every 5552 bytes, the most before b can
    // overflow 32 bits (as RFC 1950's own code does).
    std::uint32_t a = 1, b = 0;
    for (std::size_t at = 0; at < out.size();) {
        const std::size_t blockEnd = std::min(out.size(), at + 5552);
        for (; at < blockEnd; ++at) {
            a += out[at];
            b += a;
        }
        a %= 65521;
        b %= 65521;
    }
    const std::uint32_t stored = (static_cast<std::uint32_t>(data[end]) << 24)
                                 | (static_cast<std::uint32_t>(data[end + 1]) << 16)
                                 | (static_cast<std::uint32_t>(data[end + 2]) << 8) | data[end + 3];
    if (stored != ((b << 16) | a))
        throw ImageError("zlib stream: expected Adler-32 " + std::to_string(stored) + ", found "
                         + std::to_string((b << 16) | a));
    return out;
}

}  // namespace preview
