#pragma once
// The header variables of a drawing (ODA §9, "AcDb:Header"): a few hundred
// system variables in one bit stream, in an order and with codes that depend
// on the release. One table lists every variable in stream order with its
// code and the releases it is present in; decoding and encoding walk it.
//
// Lossless: each decoded variable keeps the exact bits it was read from, and
// encode() copies them back unless set() gave the variable a different
// value, so encode(decode(x)) == x byte for byte even where AutoCAD used a
// longer code than needed.
//
// Every release from R13 to 2018 is read and written. From 2007 on the
// section keeps three streams, as objects do (ODA §9, §20.1): the data with
// HANDSEED, the strings (TU) with their size and presence bit at the data's
// end, then the handles; each variable's bits are kept in its own stream.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "dwg/bits/codes.h"
#include "dwg/release.h"

namespace dwg {

// The codes the header uses (ODA §2). TimeBL is a date or duration as two BL:
// Julian day and milliseconds into the day.
enum class HeaderCode : std::uint8_t { B, BS, BL, BLL, BD, RC, RS, RL, RD2, BD3, TV, H, CMC, TimeBL };

// "B", "BS", ..., "2RD", "3BD", "TV", "H", "CMC", "TIMEBL".
std::string_view headerCodeName(HeaderCode code) noexcept;

// TDCREATE, TDUPDATE (a date) and TDINDWG, TDUSRTIMER (a duration).
struct JulianDate {
    std::int32_t day = 0;
    std::int32_t milliseconds = 0;
    // As DXF writes it: days with the time of day as the fraction.
    double value() const noexcept { return day + milliseconds / 86'400'000.0; }
    friend bool operator==(const JulianDate&, const JulianDate&) = default;
};

// B is bool; BS, BL, BLL, RC, RS and RL are std::int64_t (BS and BL as the
// signed values the format stores); BD is double; 2RD Point2; 3BD Point3;
// TV before 2007 std::string, the string's bytes in the drawing's code page,
// from 2007 on std::u16string, the UTF-16 units of the TU it is stored as,
// either including any terminating zero its length counts; H a HandleRef
// (code and value as stored); CMC a CmColor; TimeBL a JulianDate.
using HeaderValue = std::variant<bool, std::int64_t, double, Point2, Point3, std::string, HandleRef, CmColor,
                                 JulianDate, std::u16string>;

// One bit per Release, R13 = bit 0.
using ReleaseMask = std::uint8_t;
constexpr ReleaseMask releaseBit(Release release) noexcept {
    return static_cast<ReleaseMask>(1U << static_cast<unsigned>(release));
}

struct HeaderVariableInfo {
    // As in DXF without the $ (paper space copies with their DXF P prefix:
    // PINSBASE, PEXTMIN...); fields DXF does not name get a descriptive name
    // (BLOCK_CONTROL_OBJECT, FLAGS) or UNKNOWN_<n>.
    std::string_view name;
    HeaderCode code;
    ReleaseMask releases;
    // For H: the reference code AutoCAD writes (0 HANDSEED, 3 hard owner,
    // 5 hard pointer), used for the null handles of defaults().
    std::uint8_t handleCode = 0;

    bool isIn(Release release) const noexcept { return (releases & releaseBit(release)) != 0; }
};

// Every variable of every release, in stream order. A name occurs more than
// once where a variable moved between releases (DIMTOL, DIMPOST, DIMBLK...);
// within one release names are unique.
std::span<const HeaderVariableInfo> headerVariableTable() noexcept;

class HeaderVariables {
public:
    // Decodes the stream as DwgFile::headerVariables holds it. Throws
    // FormatError "AcDb:Header: <VARIABLE>: <reason>" naming the variable
    // being read when its stream ends too early, and "AcDb:Header: <reason>"
    // when the 2007+ size in bits or string stream does not fit.
    static HeaderVariables decode(std::span<const std::uint8_t> bits, Release release);

    // The stream for release(), byte-aligned. What followed the last variable
    // in a decoded stream is written after it again; its padding bits only
    // while the length is unchanged, else zero bits pad. From 2007 on so are
    // any bits the data or string stream held after its last variable, and
    // SIZE_IN_BITS is set to where the handles start.
    std::vector<std::uint8_t> encode() const;

    // A new, empty imperial drawing as AutoCAD's acad.dwt makes it. Handles
    // are null (the builder fills them), and so are the values the builder
    // gives each new drawing: the dates and the GUIDs. R13 to 2004;
    // UnsupportedRelease for later releases, as in convertedTo for the
    // source and the target.
    static HeaderVariables defaults(Release release);

    // A string of the source (bytes or UTF-16 units, as it reads) in the
    // target's form.
    using Recode = std::function<Text(const Text&)>;

    // The variables for another release (R13-2000 and 2007-2018 -> 2004):
    // every variable both releases have keeps its value, colours in the
    // target release's form (colorForRelease) and strings through `recode`
    // (needed where the releases store strings differently; it may also
    // change the code page of a header of the same release); a variable the
    // source lacks gets the value AutoCAD gives it in a drawing saved in the
    // target release (see the table in the definition). Values not carried
    // are the saving program's own: dates, timers and the per-save random
    // shorts stay as the source has them where the target has them too.
    // UnsupportedRelease for a target after 2004, or 8-bit and UTF-16
    // strings without `recode`.
    HeaderVariables convertedTo(Release target, const Recode& recode = {}) const;

    Release release() const noexcept { return m_release; }
    bool has(std::string_view name) const noexcept;
    // std::out_of_range naming the variable if the release has no such one.
    const HeaderValue& get(std::string_view name) const;
    // The variable must exist in the release (std::out_of_range) and the value
    // must have its type and fit its code (std::invalid_argument): BS and BL
    // signed, handles absolute (code 0 to 5). Setting the value a variable
    // already has keeps its original bits.
    void set(std::string_view name, HeaderValue value);
    // The absolute handle of an H variable: std::invalid_argument if the
    // variable is no handle, FormatError if the drawing stored a relative
    // reference (there is no handle it could be relative to).
    std::uint64_t handle(std::string_view name) const;

    // Typed shortcuts of get(): std::invalid_argument if the type differs.
    std::int64_t integer(std::string_view name) const;
    double real(std::string_view name) const;

    // The variables of the release in stream order, for dumping. CPSNID is
    // listed, but only stored in the stream when CEPSNTYPE is 3.
    std::size_t size() const noexcept { return m_slots.size(); }
    const HeaderVariableInfo& infoAt(std::size_t index) const { return *m_slots.at(index).info; }
    const HeaderValue& valueAt(std::size_t index) const { return m_slots.at(index).value; }

    // Where decoding stopped: the bit after the last variable. AutoCAD pads
    // from there to the byte boundary with random bits; some drawings have
    // whole bytes before that padding (an R13 one: 0x1E), kept as they are.
    // From 2007 on: the end of the last handle.
    std::uint64_t stopBit() const noexcept { return m_stopBit; }

    // From 2007 on: the bits of the data and string streams after their last
    // variable (0 where each stream ends exactly after it).
    std::uint64_t strayBits() const noexcept { return m_dataRest.bits + m_stringRest.bits; }

private:
    // Bits of m_source.
    struct Range {
        std::uint64_t begin = 0;
        std::uint64_t bits = 0;
    };
    struct Slot {
        const HeaderVariableInfo* info = nullptr;
        HeaderValue value;
        // The bits the value was decoded from, in m_source; none once set()
        // changed the value or for defaults(). From 2007 on a CMC's names
        // are in the string stream: `names`.
        Range raw;
        Range names;
        bool hasRaw = false;
    };

    explicit HeaderVariables(Release release);
    const Slot* find(std::string_view name) const noexcept;
    std::size_t indexOf(std::string_view name) const;
    const Slot& slot(std::string_view name) const;
    bool isWritten(const Slot& slot) const;

    Release m_release;
    std::vector<Slot> m_slots;
    std::vector<std::uint8_t> m_source;
    std::uint64_t m_stopBit = 0;
    // 2007+: what the data and string streams hold after their variables,
    // and whether the string stream's presence bit was set.
    Range m_dataRest;
    Range m_stringRest;
    bool m_hasStrings = true;
};

// A value as text for dumps and messages: "1", "0.2", "(0, 0, 0)", "5:1F",
// "\"STANDARD\"" (TU as UTF-8), "CMC 256", "2454762+74105000ms".
std::string formatHeaderValue(const HeaderValue& value);

}  // namespace dwg
