#include "dwg/bits/bit_reader.h"

#include <cassert>
#include <cstring>
#include <limits>
#include <string>

#include "dwg/errors.h"

namespace dwg {

namespace {

std::string at(std::uint64_t bit) { return " at bit " + std::to_string(bit); }

}  // namespace

void BitReader::failShort(std::uint64_t count, const char* code) const {
    throw FormatError(std::string(code) + ": expected " + std::to_string(count) + " bits, found " +
                      std::to_string(bitsLeft()) + at(m_bit));
}

void BitReader::failCode(const char* code, unsigned found) const {
    // The two code bits have been read; the message points at them.
    throw FormatError(std::string(code) + ": expected code 0, 1 or 2, found " + std::to_string(found) +
                      at(m_bit - 2));
}

void BitReader::seekBit(std::uint64_t bit) {
    if (bit > m_end) {
        throw FormatError("seek: expected a bit position up to " + std::to_string(m_end) + ", found " +
                          std::to_string(bit) + at(m_bit));
    }
    m_bit = bit;
}

void BitReader::skipBits(std::uint64_t count) {
    need(count, "skip");
    m_bit += count;
}

void BitReader::alignToByte() {
    const std::uint64_t padding = (8 - (m_bit & 7)) & 7;
    need(padding, "align");
    m_bit += padding;
}

void BitReader::setEndBit(std::uint64_t endBit) {
    const std::uint64_t limit = static_cast<std::uint64_t>(m_size) * 8;
    if (endBit > limit || endBit < m_bit) {
        throw FormatError("end: expected a bit position from " + std::to_string(m_bit) + " to " +
                          std::to_string(limit) + ", found " + std::to_string(endBit) + at(m_bit));
    }
    m_end = endBit;
}

std::uint8_t BitReader::read3B() {
    // ODA §2.1: up to three bits, stopping after the first zero; each bit
    // shifts the earlier ones left, which gives 0, 2 (10), 6 (110) or 7 (111).
    std::uint8_t value = 0;
    for (int i = 0; i < 3; ++i) {
        const bool bit = readB();
        value = static_cast<std::uint8_t>((value << 1) | (bit ? 1U : 0U));
        if (!bit) break;
    }
    return value;
}

std::uint64_t BitReader::readBits(unsigned count) {
    assert(count <= 64 && "readBits reads at most 64 bits");
    need(count, "bits");
    std::uint64_t value = 0;
    while (count > 0) {
        const unsigned chunk = count < 32 ? count : 32;
        value = (value << chunk) | take(chunk);
        count -= chunk;
    }
    return value;
}

void BitReader::readByteRun(std::uint8_t* out, std::size_t count) noexcept {
    if ((m_bit & 7) == 0) {
        if (count > 0) std::memcpy(out, m_data + (m_bit >> 3), count);
        m_bit += static_cast<std::uint64_t>(count) * 8;
        return;
    }
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(take(8));
}

void BitReader::needBytes(std::size_t count) const {
    // Counted in bytes: a declared count may be too large to express in bits.
    if (count > bitsLeft() / 8) {
        throw FormatError("bytes: expected " + std::to_string(count) + " bytes, found " +
                          std::to_string(bitsLeft()) + " bits" + at(m_bit));
    }
}

std::vector<std::uint8_t> BitReader::readBytes(std::size_t count) {
    needBytes(count);
    std::vector<std::uint8_t> bytes(count);
    readByteRun(bytes.data(), count);
    return bytes;
}

void BitReader::readBytes(std::span<std::uint8_t> out) {
    needBytes(out.size());
    readByteRun(out.data(), out.size());
}

std::uint64_t BitReader::readBLL() {
    // ODA §2.4 describes the length as a 3B (1-3 bits), but AutoCAD writes a
    // plain 3-bit byte count, which is what LibreDWG and ACadSharp read too.
    need(3, "BLL");
    const auto length = static_cast<unsigned>(take(3));
    need(static_cast<std::uint64_t>(length) * 8, "BLL");
    std::uint64_t value = 0;
    for (unsigned i = 0; i < length; ++i) value |= take(8) << (8 * i);
    return value;
}

double BitReader::readDD(double defaultValue) {
    // ODA §2.9: 00 the default; 01 four bytes replace the default's low four
    // bytes; 10 six bytes, the first two replacing bytes 4-5 and the last
    // four bytes 0-3; 11 a full RD.
    need(2, "DD");
    std::uint64_t bits = std::bit_cast<std::uint64_t>(defaultValue);
    switch (take(2)) {
    case 0:
        return defaultValue;
    case 1:
        need(32, "DD");
        bits = (bits & 0xFFFFFFFF00000000ULL) | takeRL();
        break;
    case 2: {
        need(48, "DD");
        const std::uint64_t middle = takeRS();
        const std::uint64_t low = takeRL();
        bits = (bits & 0xFFFF000000000000ULL) | (middle << 32) | low;
        break;
    }
    default:
        need(64, "DD");
        bits = takeRLL();
        break;
    }
    return std::bit_cast<double>(bits);
}

double BitReader::readBT() {
    // ODA §2.10: R13-R14 a BD; from 2000 a bit, 1 meaning 0.0, else a BD follows.
    if (m_release >= Release::R2000 && readB()) return 0.0;
    return readBD();
}

Point3 BitReader::readBE() {
    // ODA §2.8: R13-R14 a 3BD; from 2000 a bit, 1 meaning (0, 0, 1), else a 3BD.
    if (m_release >= Release::R2000 && readB()) return {0.0, 0.0, 1.0};
    return read3BD();
}

std::int64_t BitReader::readMC() {
    // ODA §2.6: seven bits per byte, least significant group first, while the
    // high bit is set; in the last byte 0x40 is the sign.
    const std::uint64_t start = m_bit;
    std::uint64_t magnitude = 0;
    for (unsigned shift = 0;; shift += 7) {
        need(8, "MC");
        const auto byte = static_cast<std::uint8_t>(take(8));
        const bool more = (byte & 0x80) != 0;
        const std::uint64_t group = more ? (byte & 0x7FU) : (byte & 0x3FU);
        if (shift >= 64 || (shift > 57 && (group >> (64 - shift)) != 0)) {
            throw FormatError("MC: expected a value within 64 bits, found more" + at(start));
        }
        magnitude |= group << shift;
        if (more) continue;
        if ((byte & 0x40) != 0) {
            if (magnitude > (std::uint64_t{1} << 63)) {
                throw FormatError("MC: expected a value within 64 bits, found more" + at(start));
            }
            return static_cast<std::int64_t>(0 - magnitude);
        }
        if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            throw FormatError("MC: expected a value within 64 bits, found more" + at(start));
        }
        return static_cast<std::int64_t>(magnitude);
    }
}

std::uint64_t BitReader::readUMC() {
    // As MC, but the last byte's 0x40 is a value bit (ODA §20.1: object map
    // handle offsets, the 2010+ handle stream size).
    const std::uint64_t start = m_bit;
    std::uint64_t value = 0;
    for (unsigned shift = 0;; shift += 7) {
        need(8, "UMC");
        const auto byte = static_cast<std::uint8_t>(take(8));
        const std::uint64_t group = byte & 0x7FU;
        if (shift >= 64 || (shift > 57 && (group >> (64 - shift)) != 0)) {
            throw FormatError("UMC: expected a value within 64 bits, found more" + at(start));
        }
        value |= group << shift;
        if ((byte & 0x80) == 0) return value;
    }
}

std::uint32_t BitReader::readMS() {
    // ODA §2.7: like MC with 16-bit modules (RS, high bit = more follows). Two
    // modules hold 30 bits, enough for any object size (1 GB), and AutoCAD
    // never writes more.
    need(16, "MS");
    const std::uint16_t first = takeRS();
    if ((first & 0x8000U) == 0) return first;
    need(16, "MS");
    const std::uint64_t secondAt = m_bit;
    const std::uint16_t second = takeRS();
    if ((second & 0x8000U) != 0) {
        throw FormatError("MS: expected at most 2 modules, found more" + at(secondAt));
    }
    return (first & 0x7FFFU) | (static_cast<std::uint32_t>(second) << 15);
}

HandleRef BitReader::readH() {
    need(8, "H");
    const auto head = static_cast<std::uint8_t>(take(8));
    const unsigned counter = head & 0x0FU;
    if (counter > 8) {
        throw FormatError("H: expected at most 8 value bytes, found " + std::to_string(counter) +
                          at(m_bit - 8));
    }
    need(counter * 8U, "H");
    // Most significant byte first, so the bytes read as one run of bits are
    // the value (take() gives at most 57 bits at once).
    std::uint64_t value = 0;
    if (counter == 8) {
        value = take(32) << 32;
        value |= take(32);
    } else if (counter != 0) {
        value = take(counter * 8U);
    }
    return {static_cast<std::uint8_t>(head >> 4), value};
}

std::string BitReader::readTV() {
    const auto length = static_cast<std::uint16_t>(readBS());
    const std::uint64_t bits = std::uint64_t{length} * 8;
    if (bits > bitsLeft()) {
        throw FormatError("TV length " + std::to_string(length) + ": expected " + std::to_string(bits) +
                          " bits, found " + std::to_string(bitsLeft()) + at(m_bit));
    }
    std::string text(length, '\0');
    readByteRun(reinterpret_cast<std::uint8_t*>(text.data()), length);
    return text;
}

std::u16string BitReader::readTU() {
    const auto length = static_cast<std::uint16_t>(readBS());
    const std::uint64_t bits = std::uint64_t{length} * 16;
    if (bits > bitsLeft()) {
        throw FormatError("TU length " + std::to_string(length) + ": expected " + std::to_string(bits) +
                          " bits, found " + std::to_string(bitsLeft()) + at(m_bit));
    }
    std::u16string text(length, u'\0');
    for (char16_t& unit : text) unit = static_cast<char16_t>(takeRS());
    return text;
}

Text BitReader::readText() { return isUnicode(m_release) ? Text::fromTU(readTU()) : Text::fromTV(readTV()); }

CmColor BitReader::readCMCWithNamesFrom(BitReader& strings) {
    CmColor color;
    color.index = readBS();
    if (m_release < Release::R2004) return color;
    color.rgb = static_cast<std::uint32_t>(readBL());
    color.flags = readRC();
    if ((color.flags & 1U) != 0) color.name = strings.readText();
    if ((color.flags & 2U) != 0) color.bookName = strings.readText();
    return color;
}

CmColor BitReader::readCMC() { return readCMCWithNamesFrom(*this); }

CmColor BitReader::readCMC(BitReader& stringStream) { return readCMCWithNamesFrom(stringStream); }

std::uint16_t BitReader::readBOT() {
    // ODA §2.12: 0 an RC follows; 1 an RC follows, plus 0x1F0; 2 an RS
    // follows; 3 "should never occur", read like 2.
    need(2, "BOT");
    switch (take(2)) {
    case 0:
        need(8, "BOT");
        return static_cast<std::uint16_t>(take(8));
    case 1:
        need(8, "BOT");
        return static_cast<std::uint16_t>(take(8) + 0x1F0U);
    default:
        need(16, "BOT");
        return takeRS();
    }
}

std::uint16_t BitReader::readOT() {
    if (m_release >= Release::R2010) return readBOT();
    return static_cast<std::uint16_t>(readBS());
}

}  // namespace dwg
