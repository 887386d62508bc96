#include "dwg/bits/bit_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "dwg/bits/bit_reader.h"

namespace dwg {

namespace {

constexpr std::uint64_t kZeroBits = 0;                          // +0.0
constexpr std::uint64_t kOneBits = 0x3FF0000000000000ULL;       // 1.0

std::uint64_t bitsOf(double value) { return std::bit_cast<std::uint64_t>(value); }

// `count` (1-57) bits of `bytes` from bit `at`, first bit most significant;
// the caller has checked that they are there.
std::uint64_t extractBits(std::span<const std::uint8_t> bytes, std::uint64_t at, unsigned count) {
    const auto byte = static_cast<std::size_t>(at >> 3);
    const auto skip = static_cast<unsigned>(at & 7);
    std::uint64_t window = 0;
    if (byte + 8 <= bytes.size()) {
        // One unaligned load of the eight bytes, most significant first.
        std::memcpy(&window, bytes.data() + byte, sizeof window);
        if constexpr (std::endian::native == std::endian::little) window = __builtin_bswap64(window);
    } else {
        for (std::size_t i = 0; i < 8; ++i) window = (window << 8) | (byte + i < bytes.size() ? bytes[byte + i] : 0U);
    }
    return (window << skip) >> (64 - count);
}

[[noreturn]] void tooLarge(const char* code, const std::string& what) {
    throw std::out_of_range(std::string(code) + ": cannot store " + what);
}

}  // namespace

std::vector<std::uint8_t> BitWriter::takeBytes() noexcept {
    m_bytes.resize(usedBytes());
    std::vector<std::uint8_t> bytes = std::move(m_bytes);
    m_bytes.clear();
    m_bit = 0;
    return bytes;
}

void BitWriter::growZeroed(std::size_t size) {
    std::size_t target = m_bytes.capacity() > size ? m_bytes.capacity() : size;
    if (target < 2 * m_bytes.size()) target = 2 * m_bytes.size();
    if (target < 64) target = 64;
    m_bytes.resize(target);  // value-initialised: zero
}

void BitWriter::alignToByte() {
    // The partly written last byte already exists with its unused bits zero.
    m_bit = (m_bit + 7) & ~std::uint64_t{7};
}

void BitWriter::write3B(std::uint8_t value) {
    switch (value) {
    case 0:
        writeBits(0b0, 1);
        break;
    case 2:
        writeBits(0b10, 2);
        break;
    case 6:
        writeBits(0b110, 3);
        break;
    case 7:
        writeBits(0b111, 3);
        break;
    default:
        tooLarge("3B", std::to_string(value) + " (only 0, 2, 6 and 7)");
    }
}

void BitWriter::writeBits(std::span<const std::uint8_t> source, std::uint64_t bitCount) {
    writeBits(source, 0, bitCount);
}

void BitWriter::writeBits(std::span<const std::uint8_t> source, std::uint64_t fromBit, std::uint64_t bitCount) {
    const std::uint64_t available = static_cast<std::uint64_t>(source.size()) * 8;
    if (fromBit > available || bitCount > available - fromBit) {
        throw std::out_of_range("writeBits: bits " + std::to_string(fromBit) + "+" + std::to_string(bitCount) +
                                " lie outside a source of " + std::to_string(available) + " bits");
    }
    if ((fromBit & 7) == 0 && (m_bit & 7) == 0) {
        const auto whole = static_cast<std::size_t>(bitCount >> 3);
        const auto first = source.begin() + static_cast<std::ptrdiff_t>(fromBit >> 3);
        const std::size_t at = usedBytes();
        if (at + whole + 8 > m_bytes.size()) growZeroed(at + whole + 8);
        std::copy(first, first + static_cast<std::ptrdiff_t>(whole), m_bytes.begin() + static_cast<std::ptrdiff_t>(at));
        m_bit += static_cast<std::uint64_t>(whole) * 8;
        fromBit += static_cast<std::uint64_t>(whole) * 8;
        bitCount -= static_cast<std::uint64_t>(whole) * 8;
    }
    while (bitCount > 0) {
        const unsigned chunk = bitCount < 56 ? static_cast<unsigned>(bitCount) : 56U;
        writeBits(extractBits(source, fromBit, chunk), chunk);
        fromBit += chunk;
        bitCount -= chunk;
    }
}

void BitWriter::copyBits(BitReader& source, std::uint64_t bitCount) {
    const std::uint64_t start = source.bitPos();
    source.skipBits(bitCount);
    writeBits(source.bytes(), start, bitCount);
}

void BitWriter::writeRD(double value) { writeRLL(bitsOf(value)); }

void BitWriter::writeBytes(std::span<const std::uint8_t> bytes) {
    if ((m_bit & 7) == 0) {
        const std::size_t at = usedBytes();
        if (at + bytes.size() + 8 > m_bytes.size()) growZeroed(at + bytes.size() + 8);
        std::copy(bytes.begin(), bytes.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(at));
        m_bit += static_cast<std::uint64_t>(bytes.size()) * 8;
        return;
    }
    // Seven bytes at a time.
    writeBits(bytes, 0, static_cast<std::uint64_t>(bytes.size()) * 8);
}

void BitWriter::writeBLL(std::uint64_t value) {
    // Length in a plain 3-bit field (see BitReader::readBLL), so at most 7 bytes.
    unsigned length = 0;
    while (length < 8 && (value >> (8 * length)) != 0) ++length;
    if (length > 7) tooLarge("BLL", std::to_string(value) + " (more than 7 bytes)");
    writeBits(length, 3);
    for (unsigned i = 0; i < length; ++i) writeRC(static_cast<std::uint8_t>(value >> (8 * i)));
}

void BitWriter::writeBD(double value) {
    const std::uint64_t bits = bitsOf(value);
    if (bits == kZeroBits) {
        writeBB(2);
    } else if (bits == kOneBits) {
        writeBB(1);
    } else {
        writeBB(0);
        writeRLL(bits);
    }
}

void BitWriter::writeDD(double value, double defaultValue) {
    // The shortest form of ODA §2.9 that gives back exactly these bits: the
    // default itself, its high four bytes with four new ones, its high two
    // bytes with six new ones, or a full RD.
    const std::uint64_t bits = bitsOf(value);
    const std::uint64_t base = bitsOf(defaultValue);
    if (bits == base) {
        writeBB(0);
    } else if ((bits >> 32) == (base >> 32)) {
        writeBB(1);
        writeRL(static_cast<std::uint32_t>(bits));
    } else if ((bits >> 48) == (base >> 48)) {
        writeBB(2);
        writeRS(static_cast<std::uint16_t>(bits >> 32));
        writeRL(static_cast<std::uint32_t>(bits));
    } else {
        writeBB(3);
        writeRLL(bits);
    }
}

void BitWriter::writeBT(double thickness) {
    if (m_release >= Release::R2000) {
        const bool isZero = bitsOf(thickness) == kZeroBits;
        writeB(isZero);
        if (isZero) return;
    }
    writeBD(thickness);
}

void BitWriter::writeBE(const Point3& extrusion) {
    if (m_release >= Release::R2000) {
        const bool isDefault = bitsOf(extrusion.x) == kZeroBits && bitsOf(extrusion.y) == kZeroBits &&
                               bitsOf(extrusion.z) == kOneBits;
        writeB(isDefault);
        if (isDefault) return;
    }
    write3BD(extrusion);
}

void BitWriter::writeMC(std::int64_t value) {
    // Seven bits a byte, least significant first; the last byte keeps 0x40
    // free for the sign, so a magnitude whose top group reaches 0x40 takes
    // one more byte (ODA §2.6: 4610 -> 82 24, -1413 -> 85 4B).
    const bool negative = value < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    while (magnitude >= 0x40) {
        writeRC(static_cast<std::uint8_t>(0x80U | (magnitude & 0x7FU)));
        magnitude >>= 7;
    }
    writeRC(static_cast<std::uint8_t>(magnitude | (negative ? 0x40U : 0U)));
}

void BitWriter::writeUMC(std::uint64_t value) {
    // In as few bytes as the value needs, as AutoCAD writes the handle
    // stream sizes of 2010 objects: the last byte's 0x40 is a value bit.
    while (value >= 0x80) {
        writeRC(static_cast<std::uint8_t>(0x80U | (value & 0x7FU)));
        value >>= 7;
    }
    writeRC(static_cast<std::uint8_t>(value));
}

void BitWriter::writeMS(std::uint32_t value) {
    if (value > 0x3FFFFFFFU) tooLarge("MS", std::to_string(value) + " (more than 2 modules)");
    if (value < 0x8000U) {
        writeRS(static_cast<std::uint16_t>(value));
        return;
    }
    writeRS(static_cast<std::uint16_t>(0x8000U | (value & 0x7FFFU)));
    writeRS(static_cast<std::uint16_t>(value >> 15));
}

void BitWriter::writeH(const HandleRef& ref) {
    if (ref.code > 0x0F) tooLarge("H", "code " + std::to_string(ref.code));
    unsigned counter = 0;
    while (counter < 8 && (ref.value >> (8 * counter)) != 0) ++counter;
    writeRC(static_cast<std::uint8_t>((ref.code << 4) | counter));
    for (unsigned i = counter; i > 0; --i) writeRC(static_cast<std::uint8_t>(ref.value >> (8 * (i - 1))));
}

void BitWriter::writeTV(std::string_view text) {
    if (text.size() > 0xFFFF) tooLarge("TV", "a string of " + std::to_string(text.size()) + " bytes");
    writeBS(static_cast<std::int16_t>(static_cast<std::uint16_t>(text.size())));
    writeBytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

void BitWriter::writeTU(std::u16string_view text) {
    if (text.size() > 0xFFFF) tooLarge("TU", "a string of " + std::to_string(text.size()) + " units");
    writeBS(static_cast<std::int16_t>(static_cast<std::uint16_t>(text.size())));
    for (const char16_t unit : text) writeRS(static_cast<std::uint16_t>(unit));
}

void BitWriter::writeText(const Text& text) {
    // A string still in the other family's form would be written empty:
    // whoever changes a drawing's release converts its strings first.
    if (isUnicode(m_release) ? text.units.empty() && !text.bytes.empty() : text.bytes.empty() && !text.units.empty())
        throw std::invalid_argument("a string of another release's form written in release " +
                                    std::string(releaseName(m_release)));
    if (isUnicode(m_release))
        writeTU(text.toTU());
    else
        writeTV(text.toTV());
}

void BitWriter::writeCMCWithNamesTo(const CmColor& color, BitWriter& strings) {
    writeBS(color.index);
    if (m_release < Release::R2004) return;
    writeBL(static_cast<std::int32_t>(color.rgb));
    writeRC(color.flags);
    if ((color.flags & 1U) != 0) strings.writeText(color.name);
    if ((color.flags & 2U) != 0) strings.writeText(color.bookName);
}

void BitWriter::writeCMC(const CmColor& color) { writeCMCWithNamesTo(color, *this); }

void BitWriter::writeCMC(const CmColor& color, BitWriter& stringStream) { writeCMCWithNamesTo(color, stringStream); }

void BitWriter::writeBOT(std::uint16_t type) {
    if (type < 0x100) {
        writeBB(0);
        writeRC(static_cast<std::uint8_t>(type));
    } else if (type >= 0x1F0 && type < 0x1F0 + 0x100) {
        writeBB(1);
        writeRC(static_cast<std::uint8_t>(type - 0x1F0));
    } else {
        writeBB(2);
        writeRS(type);
    }
}

void BitWriter::writeOT(std::uint16_t type) {
    if (m_release >= Release::R2010) {
        writeBOT(type);
    } else {
        writeBS(static_cast<std::int16_t>(type));
    }
}

void BitWriter::overwriteBits(std::uint64_t atBit, std::uint64_t value, unsigned count) {
    if (count > 64 || atBit > m_bit || count > m_bit - atBit) {
        throw std::out_of_range("overwriteBits: bits " + std::to_string(atBit) + "+" + std::to_string(count) +
                                " lie outside the " + std::to_string(m_bit) + " bits written");
    }
    if (count < 64) value &= (std::uint64_t{1} << count) - 1;
    while (count > 0) {
        const unsigned room = 8 - static_cast<unsigned>(atBit & 7);
        const unsigned chunk = count < room ? count : room;
        const unsigned shift = room - chunk;
        const auto mask = static_cast<unsigned>(((1U << chunk) - 1) << shift);
        const auto part = static_cast<unsigned>((value >> (count - chunk)) & ((1U << chunk) - 1)) << shift;
        std::uint8_t& byte = m_bytes[static_cast<std::size_t>(atBit >> 3)];
        byte = static_cast<std::uint8_t>((byte & ~mask) | part);
        atBit += chunk;
        count -= chunk;
    }
}

void BitWriter::overwriteRS(std::uint64_t atBit, std::uint16_t value) {
    // Little-endian: the low byte's bits come first in the stream.
    overwriteBits(atBit, static_cast<std::uint64_t>(((value & 0xFFU) << 8) | (value >> 8)), 16);
}

void BitWriter::overwriteRL(std::uint64_t atBit, std::uint32_t value) {
    const std::uint64_t streamOrder = ((value & 0xFFULL) << 24) | ((value & 0xFF00ULL) << 8) |
                                      ((value >> 8) & 0xFF00ULL) | ((value >> 24) & 0xFFULL);
    overwriteBits(atBit, streamOrder, 32);
}

}  // namespace dwg
