#pragma once
// The three drivers of an object's field walk (see object.h): a reader that
// fills the fields from an object's streams, a writer that puts them into
// streams of any release, and a printer that lists them by name. A walk is
// one function template over the driver, so the field list and its release
// conditions are written once for all three:
//
//   template <class Io> void walk(Io& io, CircleObject& c) {
//       io.BD3("center", c.center);
//       io.BD("radius", c.radius);
//       ...
//       io.H("layer", c.layer);      // to the handle stream
//   }
//
// Each driver keeps an object's streams apart as the release does: the data
// stream, the string stream (the data stream itself before 2007) and the
// handle stream. Field functions are named after the format's codes (ODA §2);
// a code that starts with a digit moves it to the end (3BD is BD3).
//
// Counts come through count(): the reader checks a declared count against
// the bits that remain before anything is allocated.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dwg/bits/bit_reader.h"
#include "dwg/bits/bit_writer.h"
#include "dwg/errors.h"

namespace dwg {

struct CommonData;

// The codes a count is stored in.
enum class CountCode : std::uint8_t { BS, BL, RS, RL, RC };

// Bits kept as they are: the rest of an object no walk describes, graphics,
// binary data. `bitCount` may end inside the last byte.
struct RawBits {
    std::vector<std::uint8_t> bytes;
    std::uint64_t bitCount = 0;
    friend bool operator==(const RawBits&, const RawBits&) = default;
};

class FieldReader {
public:
    static constexpr bool reading = true;
    static constexpr bool writing = false;
    static constexpr bool printing = false;

    // `data` stands at the object's first data bit and ends at its last;
    // the handle stream (and from 2007 on the string stream) is located when
    // the common data gives its start, or, from 2010 on, by locateStreams
    // from the object's framing.
    FieldReader(BitReader& data, const CommonData& common)
        : m_data(data), m_handles(data), m_strings(data), m_common(common) {}

    Release release() const noexcept { return m_data.release(); }
    const CommonData& common() const noexcept { return m_common; }

    void B(const char*, bool& v) { v = m_data.readB(); }
    // A bit whose value the writer works out: the stored bit when reading.
    bool flag(const char*, bool /*valueWhenWriting*/) { return m_data.readB(); }
    void BB(const char*, std::uint8_t& v) { v = m_data.readBB(); }
    void B3(const char*, std::uint8_t& v) { v = m_data.read3B(); }
    void BS(const char*, std::int16_t& v) { v = m_data.readBS(); }
    void BS(const char*, std::uint16_t& v) { v = static_cast<std::uint16_t>(m_data.readBS()); }
    void BL(const char*, std::int32_t& v) { v = m_data.readBL(); }
    void BL(const char*, std::uint32_t& v) { v = static_cast<std::uint32_t>(m_data.readBL()); }
    void BLL(const char*, std::uint64_t& v) { v = m_data.readBLL(); }
    void BD(const char*, double& v) { v = m_data.readBD(); }
    void BD2(const char*, Point2& v) { v = m_data.read2BD(); }
    void BD3(const char*, Point3& v) { v = m_data.read3BD(); }
    void RC(const char*, std::uint8_t& v) { v = m_data.readRC(); }
    void RS(const char*, std::uint16_t& v) { v = m_data.readRS(); }
    void RS(const char*, std::int16_t& v) { v = static_cast<std::int16_t>(m_data.readRS()); }
    void RL(const char*, std::uint32_t& v) { v = m_data.readRL(); }
    void RL(const char*, std::int32_t& v) { v = static_cast<std::int32_t>(m_data.readRL()); }
    void RD(const char*, double& v) { v = m_data.readRD(); }
    void RD2(const char*, Point2& v) { v = m_data.read2RD(); }
    void RD3(const char*, Point3& v) { v = m_data.read3RD(); }
    void DD(const char*, double& v, double defaultValue) { v = m_data.readDD(defaultValue); }
    void DD2(const char*, Point2& v, const Point2& defaults) { v = m_data.read2DD(defaults); }
    void BT(const char*, double& v) { v = m_data.readBT(); }
    void BE(const char*, Point3& v) { v = m_data.readBE(); }
    void MC(const char*, std::int64_t& v) { v = m_data.readMC(); }
    void MS(const char*, std::uint32_t& v) { v = m_data.readMS(); }
    // OT: the object type, BS before 2010, BOT from 2010 on.
    void OT(const char*, std::uint16_t& v) { v = m_data.readOT(); }
    // T: TV before 2007, TU from then on in the string stream (see Text).
    void T(const char*, Text& v) { v = strings().readText(); }
    void CMC(const char*, CmColor& v) { v = m_data.readCMC(strings()); }
    // TF: a fixed number of bytes.
    void TF(const char*, std::vector<std::uint8_t>& v, std::size_t count) { v = m_data.readBytes(count); }
    // Bytes whose count an earlier field gave.
    void bytes(const char* name, std::vector<std::uint8_t>& v, std::uint64_t count) {
        checkCount(name, count, 8);
        v = m_data.readBytes(static_cast<std::size_t>(count));
    }
    void H(const char*, HandleRef& v) { v = m_handles.readH(); }
    // A handle in the data stream (the object's own, an EED application's).
    void Hd(const char*, HandleRef& v) { v = m_data.readH(); }

    // A count in `code`; each counted item takes at least `minBitsEach`
    // bits of the object's data and handles.
    void count(const char* name, CountCode code, std::size_t& n, unsigned minBitsEach) {
        std::int64_t value = 0;
        switch (code) {
        case CountCode::BS: value = static_cast<std::uint16_t>(m_data.readBS()); break;
        case CountCode::BL: value = m_data.readBL(); break;
        case CountCode::RS: value = m_data.readRS(); break;
        case CountCode::RL: value = m_data.readRL(); break;
        case CountCode::RC: value = m_data.readRC(); break;
        }
        if (value < 0)
            throw FormatError(std::string(name) + ": expected a count, found " + std::to_string(value) + at());
        checkCount(name, static_cast<std::uint64_t>(value), minBitsEach);
        n = static_cast<std::size_t>(value);
    }
    // Handles to the end of the handle stream (whose last byte may hold up
    // to seven padding bits).
    void handlesToEnd(const char*, std::vector<HandleRef>& v) {
        v.clear();
        while (m_handles.bitsLeft() >= 8) v.push_back(m_handles.readH());
    }
    // Everything left of the data stream, and of the handle stream.
    void restOfData(const char*, RawBits& v) { v = take(m_data, m_data.bitsLeft()); }
    void restOfHandles(const char*, RawBits& v) { v = take(m_handles, m_handles.bitsLeft()); }
    // 2007+: everything left of the string stream (nothing before 2007).
    void restOfStrings(const char*, RawBits& v) { v = m_hasStrings ? take(m_strings, m_strings.bitsLeft()) : RawBits{}; }
    void raw(const char*, RawBits& v, std::uint64_t bitCount) { v = take(m_data, bitCount); }

    // Walks may read the data stream directly for what their own structure
    // hides (a flag word read ahead, say).
    BitReader& data() noexcept { return m_data; }
    BitReader& handles() noexcept { return m_handles; }
    // The string stream: the data stream itself before 2007.
    BitReader& strings() noexcept { return m_hasStrings ? m_strings : m_data; }

    // For the common data: where the handle stream starts (bits from the
    // start of the data), read from the object's "size in bits" (R2000 to
    // 2007; 2010 on the framing gives it).
    void sizeInBits(const char*);
    // Splits the object's bits at `handlesAt`: the handle stream after it,
    // and from 2007 on the string stream, whose size and presence bit end
    // the bits before it (ODA §20.1).
    void locateStreams(std::uint64_t handlesAt);
    std::uint64_t handlesAt() const noexcept { return m_handlesAt; }
    bool hasHandleStream() const noexcept { return m_split; }
    bool hasStringStream() const noexcept { return m_hasStrings; }

private:
    void checkCount(const char* name, std::uint64_t n, unsigned minBitsEach) const {
        const std::uint64_t left = m_data.bitsLeft() + (m_split ? m_handles.bitsLeft() : 0);
        if (minBitsEach > 0 && n > left / minBitsEach)
            throw FormatError(std::string(name) + ": expected at most " + std::to_string(left / minBitsEach) +
                              " items, found a count of " + std::to_string(n) + at());
    }
    std::string at() const { return " at bit " + std::to_string(m_data.bitPos()); }
    static RawBits take(BitReader& in, std::uint64_t bitCount);

    BitReader& m_data;
    BitReader m_handles;
    BitReader m_strings;
    const CommonData& m_common;
    std::uint64_t m_handlesAt = 0;
    bool m_split = false;
    bool m_hasStrings = false;
};

class FieldWriter {
public:
    static constexpr bool reading = false;
    static constexpr bool writing = true;
    static constexpr bool printing = false;

    // Room for a typical object up front, rather than growing byte by byte.
    FieldWriter(Release release, const CommonData& common)
        : m_data(release), m_handles(release), m_strings(release), m_common(common) {
        m_data.reserveBytes(256);
        m_handles.reserveBytes(64);
    }

    Release release() const noexcept { return m_data.release(); }
    const CommonData& common() const noexcept { return m_common; }

    void B(const char*, bool& v) { m_data.writeB(v); }
    bool flag(const char*, bool valueWhenWriting) {
        m_data.writeB(valueWhenWriting);
        return valueWhenWriting;
    }
    void BB(const char*, std::uint8_t& v) { m_data.writeBB(v); }
    void B3(const char*, std::uint8_t& v) { m_data.write3B(v); }
    void BS(const char*, std::int16_t& v) { m_data.writeBS(v); }
    void BS(const char*, std::uint16_t& v) { m_data.writeBS(static_cast<std::int16_t>(v)); }
    void BL(const char*, std::int32_t& v) { m_data.writeBL(v); }
    void BL(const char*, std::uint32_t& v) { m_data.writeBL(static_cast<std::int32_t>(v)); }
    void BLL(const char*, std::uint64_t& v) { m_data.writeBLL(v); }
    void BD(const char*, double& v) { m_data.writeBD(v); }
    void BD2(const char*, Point2& v) { m_data.write2BD(v); }
    void BD3(const char*, Point3& v) { m_data.write3BD(v); }
    void RC(const char*, std::uint8_t& v) { m_data.writeRC(v); }
    void RS(const char*, std::uint16_t& v) { m_data.writeRS(v); }
    void RS(const char*, std::int16_t& v) { m_data.writeRS(static_cast<std::uint16_t>(v)); }
    void RL(const char*, std::uint32_t& v) { m_data.writeRL(v); }
    void RL(const char*, std::int32_t& v) { m_data.writeRL(static_cast<std::uint32_t>(v)); }
    void RD(const char*, double& v) { m_data.writeRD(v); }
    void RD2(const char*, Point2& v) { m_data.write2RD(v); }
    void RD3(const char*, Point3& v) { m_data.write3RD(v); }
    void DD(const char*, double& v, double defaultValue) { m_data.writeDD(v, defaultValue); }
    void DD2(const char*, Point2& v, const Point2& defaults) { m_data.write2DD(v, defaults); }
    void BT(const char*, double& v) { m_data.writeBT(v); }
    void BE(const char*, Point3& v) { m_data.writeBE(v); }
    void MC(const char*, std::int64_t& v) { m_data.writeMC(v); }
    void MS(const char*, std::uint32_t& v) { m_data.writeMS(v); }
    void OT(const char*, std::uint16_t& v) { m_data.writeOT(v); }
    void T(const char*, Text& v) { strings().writeText(v); }
    void CMC(const char*, CmColor& v) { m_data.writeCMC(v, strings()); }
    void TF(const char* name, std::vector<std::uint8_t>& v, std::size_t count);
    void bytes(const char* name, std::vector<std::uint8_t>& v, std::uint64_t count) { TF(name, v, count); }
    void H(const char*, HandleRef& v) { m_handles.writeH(v); }
    void Hd(const char*, HandleRef& v) { m_data.writeH(v); }

    void count(const char* name, CountCode code, std::size_t& n, unsigned minBitsEach);
    void handlesToEnd(const char*, std::vector<HandleRef>& v) {
        for (const HandleRef& h : v) m_handles.writeH(h);
    }
    void restOfData(const char*, RawBits& v) { m_data.writeBits(v.bytes, v.bitCount); }
    void restOfHandles(const char*, RawBits& v) { m_handles.writeBits(v.bytes, v.bitCount); }
    void restOfStrings(const char*, RawBits& v) { m_strings.writeBits(v.bytes, v.bitCount); }
    void raw(const char*, RawBits& v, std::uint64_t) { m_data.writeBits(v.bytes, v.bitCount); }

    BitWriter& data() noexcept { return m_data; }
    BitWriter& handles() noexcept { return m_handles; }
    BitWriter& strings() noexcept { return isUnicode(m_data.release()) ? m_strings : m_data; }

    // A placeholder for the "size in bits", filled in by finish().
    void sizeInBits(const char*);

    // The object's stored bytes: MS size (with the handle stream's size in
    // bits from 2010 on), data, from 2007 on the string stream with its size
    // and presence bit, handle stream, padding to a byte, CRC.
    std::vector<std::uint8_t> finish();

private:
    BitWriter m_data;
    BitWriter m_handles;
    BitWriter m_strings;
    const CommonData& m_common;
    std::uint64_t m_sizeAt = 0;
    bool m_hasSize = false;
};

// One field as the printer lists it.
struct PrintedField {
    std::string name, value;
    friend bool operator==(const PrintedField&, const PrintedField&) = default;
};

// Lists every field by name with its value as text; handles as the absolute
// handle they stand for, in AutoCAD's hexadecimal. Two objects that print
// the same hold the same values.
class FieldPrinter {
public:
    static constexpr bool reading = false;
    static constexpr bool writing = false;
    static constexpr bool printing = true;

    FieldPrinter(Release release, const CommonData& common) : m_release(release), m_common(common) {}

    Release release() const noexcept { return m_release; }
    const CommonData& common() const noexcept { return m_common; }
    const std::vector<PrintedField>& fields() const noexcept { return m_fields; }
    // "name: value", one a line.
    std::string text() const;

    void B(const char* n, bool& v) { line(n, v ? "1" : "0"); }
    bool flag(const char* n, bool value) {
        line(n, value ? "1" : "0");
        return value;
    }
    void BB(const char* n, std::uint8_t& v) { number(n, v); }
    void B3(const char* n, std::uint8_t& v) { number(n, v); }
    void BS(const char* n, std::int16_t& v) { number(n, v); }
    void BS(const char* n, std::uint16_t& v) { number(n, v); }
    void BL(const char* n, std::int32_t& v) { number(n, v); }
    void BL(const char* n, std::uint32_t& v) { number(n, v); }
    void BLL(const char* n, std::uint64_t& v) { number(n, static_cast<std::int64_t>(v)); }
    void BD(const char* n, double& v) { real(n, v); }
    void BD2(const char* n, Point2& v) { point(n, v); }
    void BD3(const char* n, Point3& v) { point(n, v); }
    void RC(const char* n, std::uint8_t& v) { number(n, v); }
    void RS(const char* n, std::uint16_t& v) { number(n, v); }
    void RS(const char* n, std::int16_t& v) { number(n, v); }
    void RL(const char* n, std::uint32_t& v) { number(n, v); }
    void RL(const char* n, std::int32_t& v) { number(n, v); }
    void RD(const char* n, double& v) { real(n, v); }
    void RD2(const char* n, Point2& v) { point(n, v); }
    void RD3(const char* n, Point3& v) { point(n, v); }
    void DD(const char* n, double& v, double) { real(n, v); }
    void DD2(const char* n, Point2& v, const Point2&) { point(n, v); }
    void BT(const char* n, double& v) { real(n, v); }
    void BE(const char* n, Point3& v) { point(n, v); }
    void MC(const char* n, std::int64_t& v) { number(n, v); }
    void MS(const char* n, std::uint32_t& v) { number(n, v); }
    void OT(const char* n, std::uint16_t& v) { number(n, v); }
    void T(const char* n, Text& v);
    void CMC(const char* n, CmColor& v);
    void TF(const char* n, std::vector<std::uint8_t>& v, std::size_t) { hex(n, v); }
    void bytes(const char* n, std::vector<std::uint8_t>& v, std::uint64_t) { hex(n, v); }
    void H(const char* n, HandleRef& v);
    void Hd(const char* n, HandleRef& v) { H(n, v); }
    void count(const char* n, CountCode, std::size_t& v, unsigned) { number(n, static_cast<std::int64_t>(v)); }
    void handlesToEnd(const char* n, std::vector<HandleRef>& v) {
        for (HandleRef& h : v) H(n, h);
    }
    void restOfData(const char* n, RawBits& v) { rawBits(n, v); }
    void restOfHandles(const char* n, RawBits& v) { rawBits(n, v); }
    void restOfStrings(const char* n, RawBits& v) {
        if (v.bitCount > 0) rawBits(n, v);
    }
    void raw(const char* n, RawBits& v, std::uint64_t) { rawBits(n, v); }
    void sizeInBits(const char*) {}

private:
    void line(const char* name, std::string_view value);
    void number(const char* name, std::int64_t value) { line(name, std::to_string(value)); }
    void real(const char* name, double value);
    void point(const char* name, const Point2& p);
    void point(const char* name, const Point3& p);
    void hex(const char* name, const std::vector<std::uint8_t>& bytes);
    void rawBits(const char* name, const RawBits& bits);

    Release m_release;
    const CommonData& m_common;
    std::vector<PrintedField> m_fields;
};

// Calls a function on every handle reference of an object (data and handle
// streams alike), another on every CMC colour and another on every string,
// and reads or writes nothing else: for following, cleaning and converting
// references, colours and strings.
class HandleVisitor {
public:
    static constexpr bool reading = false;
    static constexpr bool writing = false;
    static constexpr bool printing = false;

    using Visit = std::function<void(const char* name, HandleRef& ref)>;
    using VisitColor = std::function<void(CmColor& color)>;
    using VisitText = std::function<void(const char* name, Text& text)>;
    HandleVisitor(Release release, const CommonData& common, Visit visit, VisitColor visitColor = {},
                  VisitText visitText = {})
        : m_release(release), m_common(common), m_visit(std::move(visit)), m_visitColor(std::move(visitColor)),
          m_visitText(std::move(visitText)) {}

    Release release() const noexcept { return m_release; }
    const CommonData& common() const noexcept { return m_common; }

    void H(const char* n, HandleRef& v) { m_visit(n, v); }
    void Hd(const char* n, HandleRef& v) { m_visit(n, v); }
    void handlesToEnd(const char* n, std::vector<HandleRef>& v) {
        for (HandleRef& h : v) m_visit(n, h);
    }
    bool flag(const char*, bool value) { return value; }
    template <class V> void B(const char*, V&) {}
    template <class V> void BB(const char*, V&) {}
    template <class V> void B3(const char*, V&) {}
    template <class V> void BS(const char*, V&) {}
    template <class V> void BL(const char*, V&) {}
    template <class V> void BLL(const char*, V&) {}
    template <class V> void BD(const char*, V&) {}
    template <class V> void BD2(const char*, V&) {}
    template <class V> void BD3(const char*, V&) {}
    template <class V> void RC(const char*, V&) {}
    template <class V> void RS(const char*, V&) {}
    template <class V> void RL(const char*, V&) {}
    template <class V> void RD(const char*, V&) {}
    template <class V> void RD2(const char*, V&) {}
    template <class V> void RD3(const char*, V&) {}
    template <class V, class D> void DD(const char*, V&, const D&) {}
    template <class V, class D> void DD2(const char*, V&, const D&) {}
    template <class V> void BT(const char*, V&) {}
    template <class V> void BE(const char*, V&) {}
    template <class V> void MC(const char*, V&) {}
    template <class V> void MS(const char*, V&) {}
    template <class V> void OT(const char*, V&) {}
    void T(const char* n, Text& v) {
        if (m_visitText) m_visitText(n, v);
    }
    void CMC(const char*, CmColor& v) {
        if (m_visitColor) m_visitColor(v);
    }
    template <class V, class N> void TF(const char*, V&, N) {}
    template <class V, class N> void bytes(const char*, V&, N) {}
    template <class N> void count(const char*, CountCode, N&, unsigned) {}
    template <class V> void restOfData(const char*, V&) {}
    template <class V> void restOfHandles(const char*, V&) {}
    template <class V> void restOfStrings(const char*, V&) {}
    template <class V, class N> void raw(const char*, V&, N) {}
    void sizeInBits(const char*) {}

private:
    Release m_release;
    const CommonData& m_common;
    Visit m_visit;
    VisitColor m_visitColor;
    VisitText m_visitText;
};

}  // namespace dwg
