#include "dwg/objects/object_io.h"

#include <cstdio>

#include "dwg/bits/crc.h"
#include "dwg/objects/object.h"
#include "dwg/objects/stored_object.h"
#include "dwg/objects/string_stream.h"
#include "support/hex.h"

namespace dwg {

RawBits FieldReader::take(BitReader& in, std::uint64_t bitCount) {
    RawBits out;
    if (bitCount > in.bitsLeft())
        throw FormatError("bits: expected " + std::to_string(bitCount) + ", found " + std::to_string(in.bitsLeft()) +
                          " at bit " + std::to_string(in.bitPos()));
    out.bitCount = bitCount;
    out.bytes.resize(static_cast<std::size_t>((bitCount + 7) / 8));
    std::uint64_t left = bitCount;
    for (std::uint8_t& byte : out.bytes) {
        const unsigned n = left >= 8 ? 8U : static_cast<unsigned>(left);
        byte = static_cast<std::uint8_t>(in.readBits(n) << (8 - n));
        left -= n;
    }
    return out;
}

void FieldReader::sizeInBits(const char*) {
    const std::uint64_t at = m_data.bitPos();
    const std::uint64_t handlesAt = m_data.readRL();
    if (handlesAt > m_data.endBit() || handlesAt < at + 32)
        throw FormatError("object size: expected a handle stream start between bit " + std::to_string(at + 32) +
                          " and bit " + std::to_string(m_data.endBit()) + ", found bit " + std::to_string(handlesAt));
    locateStreams(handlesAt);
}

void FieldReader::locateStreams(std::uint64_t handlesAt) {
    if (handlesAt > m_data.endBit() || handlesAt < m_data.bitPos())
        throw FormatError("object size: expected a handle stream start between bit " +
                          std::to_string(m_data.bitPos()) + " and bit " + std::to_string(m_data.endBit()) +
                          ", found bit " + std::to_string(handlesAt));
    m_handlesAt = handlesAt;
    m_handles = BitReader(m_data.bytes(), m_data.release());
    m_handles.setEndBit(m_data.endBit());
    m_handles.seekBit(handlesAt);
    m_split = true;
    if (isUnicode(m_data.release())) {
        if (auto strings = splitStringStream(m_data, handlesAt)) {
            m_strings = std::move(*strings);
            m_hasStrings = true;
        }
    } else {
        m_data.setEndBit(handlesAt);
    }
}

void FieldWriter::TF(const char* name, std::vector<std::uint8_t>& v, std::size_t count) {
    if (v.size() != count)
        throw std::out_of_range(std::string(name) + ": " + std::to_string(v.size()) + " bytes where " +
                                std::to_string(count) + " are stored");
    m_data.writeBytes(v);
}

void FieldWriter::count(const char* name, CountCode code, std::size_t& n, unsigned) {
    auto fits = [&](std::uint64_t max) {
        if (n > max) throw std::out_of_range(std::string(name) + ": " + std::to_string(n) + " items do not fit");
    };
    switch (code) {
    case CountCode::BS: fits(0xFFFF); m_data.writeBS(static_cast<std::int16_t>(static_cast<std::uint16_t>(n))); break;
    case CountCode::BL: fits(0x7FFFFFFF); m_data.writeBL(static_cast<std::int32_t>(n)); break;
    case CountCode::RS: fits(0xFFFF); m_data.writeRS(static_cast<std::uint16_t>(n)); break;
    case CountCode::RL: fits(0xFFFFFFFF); m_data.writeRL(static_cast<std::uint32_t>(n)); break;
    case CountCode::RC: fits(0xFF); m_data.writeRC(static_cast<std::uint8_t>(n)); break;
    }
}

void FieldWriter::sizeInBits(const char*) {
    m_sizeAt = m_data.bitPos();
    m_hasSize = true;
    m_data.writeRL(0);
}

std::vector<std::uint8_t> FieldWriter::finish() {
    const Release r = m_data.release();
    if (isUnicode(r))
        appendStringStream(m_data, m_strings, m_common.hasStringStream);
    const std::uint64_t handlesAt = m_data.bitPos();
    if (m_hasSize)
        m_data.overwriteRL(m_sizeAt, static_cast<std::uint32_t>(handlesAt));
    m_data.writeBits(m_handles.bytes(), m_handles.bitPos());
    const RawBits& padding = m_common.handlePadding;
    if ((m_data.bitPos() + padding.bitCount) % 8 == 0)
        m_data.writeBits(padding.bytes, padding.bitCount);
    m_data.alignToByte();
    const std::vector<std::uint8_t>& data = m_data.bytes();
    if (data.size() >= (std::size_t{1} << 30))
        throw std::out_of_range("object " + support::hexNumber(m_common.handle.value) + ": too large for its MS size");
    return frameObjectData(data, r, data.size() * 8 - handlesAt);
}

void FieldPrinter::line(const char* name, std::string_view value) {
    m_fields.push_back({name, std::string(value)});
}

std::string FieldPrinter::text() const {
    std::string out;
    for (const PrintedField& f : m_fields) out.append(f.name).append(": ").append(f.value).push_back('\n');
    return out;
}

void FieldPrinter::real(const char* name, double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    line(name, buffer);
}

void FieldPrinter::point(const char* name, const Point2& p) {
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "(%.17g, %.17g)", p.x, p.y);
    line(name, buffer);
}

void FieldPrinter::point(const char* name, const Point3& p) {
    char buffer[120];
    std::snprintf(buffer, sizeof buffer, "(%.17g, %.17g, %.17g)", p.x, p.y, p.z);
    line(name, buffer);
}

void FieldPrinter::hex(const char* name, const std::vector<std::uint8_t>& bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 15]);
    }
    line(name, text);
}

void FieldPrinter::rawBits(const char* name, const RawBits& bits) {
    hex(name, bits.bytes);
    m_fields.back().value.append(" (").append(std::to_string(bits.bitCount)).append(" bits)");
}

namespace {
// Printable ASCII as it is, other bytes as \xNN, so that any code page prints.
std::string quoted(std::string_view v) {
    std::string text = "\"";
    for (unsigned char ch : v) {
        if (ch >= 0x20 && ch < 0x7F && ch != '"' && ch != '\\') {
            text.push_back(static_cast<char>(ch));
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", ch);
            text.append(buffer);
        }
    }
    text.push_back('"');
    return text;
}

// UTF-16 likewise, other units as \uNNNN.
std::string quoted(std::u16string_view v) {
    std::string text = "\"";
    for (const char16_t unit : v) {
        if (unit >= 0x20 && unit < 0x7F && unit != u'"' && unit != u'\\') {
            text.push_back(static_cast<char>(unit));
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(unit));
            text.append(buffer);
        }
    }
    text.push_back('"');
    return text;
}

// The text without its terminating zero, in the form it was read in.
std::string quoted(const Text& v) { return v.units.empty() ? quoted(v.bytes) : quoted(v.units); }
}  // namespace

void FieldPrinter::T(const char* name, Text& v) { line(name, quoted(v)); }

void FieldPrinter::CMC(const char* name, CmColor& v) {
    // The same form for every release, so that colours compare across them.
    std::string text = std::to_string(v.index);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, " rgb %08X flags %u", v.rgb, v.flags);
    text.append(buffer);
    if ((v.flags & 1U) != 0) text.append(" name ").append(quoted(v.name));
    if ((v.flags & 2U) != 0) text.append(" book ").append(quoted(v.bookName));
    line(name, text);
}

void FieldPrinter::H(const char* name, HandleRef& v) {
    std::uint64_t value = v.value;
    try {
        value = m_common.resolve(v);
    } catch (const FormatError&) {
        // An undefined code prints as stored.
    }
    line(name, support::hexNumber(value));
}

}  // namespace dwg
