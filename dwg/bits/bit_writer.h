#pragma once
// The mirror of BitReader: appends the format's codes (ODA §2) to a growing
// buffer, one write function per read function. Where a code has several
// forms the writer picks the shortest one that reproduces the value exactly,
// as AutoCAD does; an object nobody edited is not re-encoded at all but copied
// bit for bit with writeBits / copyBits.
//
// Values a code cannot represent (an MS above 2^30, a string longer than a BS
// length allows) are caller mistakes and throw std::out_of_range.

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "dwg/bits/codes.h"
#include "dwg/release.h"

namespace dwg {

class BitReader;

class BitWriter {
public:
    explicit BitWriter(Release release) noexcept : m_release(release) {}

    Release release() const noexcept { return m_release; }
    void setRelease(Release release) noexcept { m_release = release; }

    std::uint64_t bitPos() const noexcept { return m_bit; }
    // The bytes so far; bits after bitPos() in the last byte are zero.
    const std::vector<std::uint8_t>& bytes() const noexcept {
        m_bytes.resize(usedBytes());  // drops the zero slack; never allocates
        return m_bytes;
    }
    // Hands the buffer over and starts again empty.
    std::vector<std::uint8_t> takeBytes() noexcept;
    void reserveBytes(std::size_t count) { m_bytes.reserve(count); }
    // Zero bits up to the next byte boundary.
    void alignToByte();

    // Plain bits.
    void writeB(bool bit) { writeBits(bit ? 1U : 0U, 1); }
    void writeBB(std::uint8_t code) { writeBits(code & 3U, 2); }
    void write3B(std::uint8_t value);                   // 0, 2, 6 or 7
    // The low `count` (0-64) bits of value, most significant first.
    void writeBits(std::uint64_t value, unsigned count) {
        assert(count <= 64 && "writeBits writes at most 64 bits");
        if (count > 56) {
            writeBits(value >> 32, count - 32);
            count = 32;
        }
        if (count == 0) return;
        value &= (std::uint64_t{1} << count) - 1;
        // Line the bits up under the current byte's free bits (count + used <= 63).
        const auto used = static_cast<unsigned>(m_bit & 7);
        const auto first = static_cast<std::size_t>(m_bit >> 3);
        // The buffer keeps at least eight zero bytes of slack past the bits
        // written, so the new bits go in with one 8-byte OR, big-endian.
        if (first + 8 > m_bytes.size()) growZeroed(first + 8);
        m_bit += count;
        std::uint64_t lined = value << (64 - used - count);
        if constexpr (std::endian::native == std::endian::little) lined = __builtin_bswap64(lined);
        std::uint64_t word;
        std::memcpy(&word, m_bytes.data() + first, sizeof word);
        word |= lined;
        std::memcpy(m_bytes.data() + first, &word, sizeof word);
    }

    // Exact copies of bit runs: `bitCount` bits of `source` starting at
    // `fromBit` (or at 0), and the next `bitCount` bits of a reader, which
    // moves past them (FormatError if it has fewer).
    void writeBits(std::span<const std::uint8_t> source, std::uint64_t bitCount);
    void writeBits(std::span<const std::uint8_t> source, std::uint64_t fromBit, std::uint64_t bitCount);
    void copyBits(BitReader& source, std::uint64_t bitCount);

    // Raw values, little-endian.
    void writeRC(std::uint8_t value) { writeBits(value, 8); }
    void writeRS(std::uint16_t value) {
        // Little-endian: the low byte's bits go first.
        writeBits(static_cast<std::uint64_t>(((value & 0xFFU) << 8) | (value >> 8)), 16);
    }
    void writeRL(std::uint32_t value) {
        const std::uint64_t streamOrder = ((value & 0xFFULL) << 24) | ((value & 0xFF00ULL) << 8) |
                                          ((value >> 8) & 0xFF00ULL) | ((value >> 24) & 0xFFULL);
        writeBits(streamOrder, 32);
    }
    void writeRLL(std::uint64_t value) {
        writeRL(static_cast<std::uint32_t>(value));
        writeRL(static_cast<std::uint32_t>(value >> 32));
    }
    void writeRD(double value);
    void write2RD(const Point2& p) {
        writeRD(p.x);
        writeRD(p.y);
    }
    void write3RD(const Point3& p) {
        writeRD(p.x);
        writeRD(p.y);
        writeRD(p.z);
    }
    void writeBytes(std::span<const std::uint8_t> bytes);

    // Bit-coded numbers in their shortest form.
    void writeBS(std::int16_t value) {
        if (value == 0) {
            writeBB(2);
        } else if (value == 256) {
            writeBB(3);
        } else if (value > 0 && value < 256) {
            writeBB(1);
            writeRC(static_cast<std::uint8_t>(value));
        } else {
            writeBB(0);
            writeRS(static_cast<std::uint16_t>(value));
        }
    }
    void writeBL(std::int32_t value) {
        if (value == 0) {
            writeBB(2);
        } else if (value > 0 && value < 256) {
            writeBB(1);
            writeRC(static_cast<std::uint8_t>(value));
        } else {
            writeBB(0);
            writeRL(static_cast<std::uint32_t>(value));
        }
    }
    void writeBLL(std::uint64_t value);
    // 0.0 and 1.0 get their 2-bit codes; -0.0 keeps its sign as a full RD.
    void writeBD(double value);
    void write2BD(const Point2& p) {
        writeBD(p.x);
        writeBD(p.y);
    }
    void write3BD(const Point3& p) {
        writeBD(p.x);
        writeBD(p.y);
        writeBD(p.z);
    }
    void writeDD(double value, double defaultValue);
    void write2DD(const Point2& p, const Point2& defaults) {
        writeDD(p.x, defaults.x);
        writeDD(p.y, defaults.y);
    }
    void writeBT(double thickness);
    void writeBE(const Point3& extrusion);

    void writeMC(std::int64_t value);
    void writeUMC(std::uint64_t value);
    void writeMS(std::uint32_t value);

    // With as few value bytes as the value needs (none for 0).
    void writeH(const HandleRef& ref);

    void writeTV(std::string_view text);
    void writeTU(std::u16string_view text);
    // TV before 2007, TU from then on, with the terminating zero it was read with.
    void writeText(const Text& text);
    void writeCMC(const CmColor& color);
    void writeCMC(const CmColor& color, BitWriter& stringStream);

    void writeBOT(std::uint16_t type);
    void writeOT(std::uint16_t type);

    // Patching fields written before their value was known (sizes, CRCs).
    // The field must lie wholly within what has been written.
    void overwriteBits(std::uint64_t atBit, std::uint64_t value, unsigned count);
    void overwriteRS(std::uint64_t atBit, std::uint16_t value);
    void overwriteRL(std::uint64_t atBit, std::uint32_t value);

private:
    std::size_t usedBytes() const noexcept { return static_cast<std::size_t>((m_bit + 7) >> 3); }
    // At least `size` bytes, the new ones zero, growing geometrically.
    void growZeroed(std::size_t size);
    void writeCMCWithNamesTo(const CmColor& color, BitWriter& strings);

    // The bytes written, then zero bytes of slack (bytes() drops them).
    mutable std::vector<std::uint8_t> m_bytes;
    std::uint64_t m_bit = 0;
    Release m_release;
};

}  // namespace dwg
