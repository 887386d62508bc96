#pragma once
// A cursor over the bits of a DWG stream (ODA §2). Bits are read most
// significant first within each byte; multi-byte raw values are little-endian.
// The reader does not own the bytes.
//
// Every read checks that its bits are there before touching them and throws
// FormatError("<code>: expected N bits, found M at bit P") otherwise; declared
// lengths (strings, byte runs) are checked against the bits that remain before
// anything is allocated. A read that throws may have moved the position, so
// nothing is read after a FormatError.
//
// Bit-coded numbers come back signed (BS, BL, MC: the format stores negatives
// in the long forms); raw values, sizes and seekers unsigned (RC, RS, RL, RLL,
// UMC, MS, BLL).

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "dwg/bits/codes.h"
#include "dwg/release.h"

namespace dwg {

class BitReader {
public:
    // The release decides BT, BE, CMC and OT; other codes do not depend on it.
    BitReader(std::span<const std::uint8_t> bytes, Release release) noexcept
        : m_data(bytes.data()), m_size(bytes.size()), m_end(bytes.size() * 8), m_release(release) {}

    Release release() const noexcept { return m_release; }
    void setRelease(Release release) noexcept { m_release = release; }
    std::span<const std::uint8_t> bytes() const noexcept { return {m_data, m_size}; }

    // Position. The end is the bytes' end unless setEndBit narrowed it (for
    // an object's data stream that stops where its handle stream starts).
    std::uint64_t bitPos() const noexcept { return m_bit; }
    std::uint64_t endBit() const noexcept { return m_end; }
    std::uint64_t bitsLeft() const noexcept { return m_end - m_bit; }
    bool isAtEnd() const noexcept { return m_bit == m_end; }
    void seekBit(std::uint64_t bit);
    void skipBits(std::uint64_t count);
    void alignToByte();
    void setEndBit(std::uint64_t endBit);

    // Plain bits.
    bool readB() {
        need(1, "B");
        const bool bit = (m_data[m_bit >> 3] >> (7 - (m_bit & 7))) & 1U;
        ++m_bit;
        return bit;
    }
    std::uint8_t readBB() {
        need(2, "BB");
        return static_cast<std::uint8_t>(take(2));
    }
    std::uint8_t read3B();                      // 0, 2, 6 or 7 (ODA §2.1)
    std::uint64_t readBits(unsigned count);     // 0-64 bits, first bit most significant

    // Raw values.
    std::uint8_t readRC() {
        need(8, "RC");
        return static_cast<std::uint8_t>(take(8));
    }
    std::uint16_t readRS() {
        need(16, "RS");
        return takeRS();
    }
    std::uint32_t readRL() {
        need(32, "RL");
        return takeRL();
    }
    std::uint64_t readRLL() {
        need(64, "RLL");
        return takeRLL();
    }
    double readRD() {
        need(64, "RD");
        return std::bit_cast<double>(takeRLL());
    }
    Point2 read2RD() {
        const double x = readRD();
        return {x, readRD()};
    }
    Point3 read3RD() {
        const double x = readRD();
        const double y = readRD();
        return {x, y, readRD()};
    }
    std::vector<std::uint8_t> readBytes(std::size_t count);
    void readBytes(std::span<std::uint8_t> out);

    // BS (ODA §2.2): 00 RS follows, 01 RC follows, 10 = 0, 11 = 256.
    std::int16_t readBS() {
        need(2, "BS");
        switch (take(2)) {
        case 0:
            need(16, "BS");
            return static_cast<std::int16_t>(takeRS());
        case 1:
            need(8, "BS");
            return static_cast<std::int16_t>(take(8));
        case 2:
            return 0;
        default:
            return 256;
        }
    }
    // BL (ODA §2.3): 00 RL follows, 01 RC follows, 10 = 0, 11 is not used.
    std::int32_t readBL() {
        need(2, "BL");
        switch (take(2)) {
        case 0:
            need(32, "BL");
            return static_cast<std::int32_t>(takeRL());
        case 1:
            need(8, "BL");
            return static_cast<std::int32_t>(take(8));
        case 2:
            return 0;
        default:
            failCode("BL", 3);
        }
    }
    // BD (ODA §2.5): 00 RD follows, 01 = 1.0, 10 = 0.0, 11 is not used.
    double readBD() {
        need(2, "BD");
        switch (take(2)) {
        case 0:
            need(64, "BD");
            return std::bit_cast<double>(takeRLL());
        case 1:
            return 1.0;
        case 2:
            return 0.0;
        default:
            failCode("BD", 3);
        }
    }
    Point2 read2BD() {
        const double x = readBD();
        return {x, readBD()};
    }
    Point3 read3BD() {
        const double x = readBD();
        const double y = readBD();
        return {x, y, readBD()};
    }
    std::uint64_t readBLL();
    double readDD(double defaultValue);
    Point2 read2DD(const Point2& defaults) {
        const double x = readDD(defaults.x);
        return {x, readDD(defaults.y)};
    }
    double readBT();
    Point3 readBE();

    // Modular numbers (ODA §2.6, §2.7).
    std::int64_t readMC();
    std::uint64_t readUMC();
    std::uint32_t readMS();

    HandleRef readH();

    // TV: BS length, then that many bytes in the drawing's code page, kept
    // as they are (including any terminating zero the length counts).
    std::string readTV();
    // TU (2007+): BS length in UTF-16 units, then that many RS.
    std::u16string readTU();
    // TV before 2007, TU from then on.
    Text readText();

    // CMC; from 2007 on its names are TU and live in the object's string
    // stream, which the second form reads them from.
    CmColor readCMC();
    CmColor readCMC(BitReader& stringStream);

    // BOT (2010+, ODA §2.12) and OT: the object type as the release stores it
    // (BS before 2010, BOT from 2010 on).
    std::uint16_t readBOT();
    std::uint16_t readOT();

private:
    void need(std::uint64_t count, const char* code) const {
        if (count > m_end - m_bit) [[unlikely]]
            failShort(count, code);
    }
    void needBytes(std::size_t count) const;
    [[noreturn]] void failShort(std::uint64_t count, const char* code) const;
    [[noreturn]] void failCode(const char* code, unsigned found) const;

    // The next `count` (1-57) bits, first bit most significant; need() has
    // made sure they are there.
    std::uint64_t take(unsigned count) noexcept {
        const auto byte = static_cast<std::size_t>(m_bit >> 3);
        const auto skip = static_cast<unsigned>(m_bit & 7);
        const std::uint8_t* p = m_data + byte;
        std::uint64_t window = 0;
        if (m_size - byte >= 8) [[likely]] {
            // One unaligned load of the eight bytes, most significant first.
            std::memcpy(&window, p, sizeof window);
            if constexpr (std::endian::native == std::endian::little) window = __builtin_bswap64(window);
        } else {
            const std::size_t available = m_size - byte;
            for (std::size_t i = 0; i < 8; ++i) window = (window << 8) | (i < available ? p[i] : 0U);
        }
        m_bit += count;
        return (window << skip) >> (64 - count);
    }
    // Little-endian raw values from the next bits.
    std::uint16_t takeRS() noexcept {
        const auto v = static_cast<std::uint16_t>(take(16));
        return static_cast<std::uint16_t>((v >> 8) | (v << 8));
    }
    std::uint32_t takeRL() noexcept {
        const auto v = static_cast<std::uint32_t>(take(32));
        return ((v >> 24) & 0xFFU) | ((v >> 8) & 0xFF00U) | ((v << 8) & 0xFF0000U) | (v << 24);
    }
    std::uint64_t takeRLL() noexcept {
        const std::uint64_t low = takeRL();
        return low | (static_cast<std::uint64_t>(takeRL()) << 32);
    }

    CmColor readCMCWithNamesFrom(BitReader& strings);
    void readByteRun(std::uint8_t* out, std::size_t count) noexcept;

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::uint64_t m_end;
    std::uint64_t m_bit = 0;
    Release m_release;
};

}  // namespace dwg
