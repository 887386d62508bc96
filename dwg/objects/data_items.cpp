#include "dwg/objects/data_items.h"

#include <optional>
#include <stdexcept>
#include <string_view>

#include "dwg/errors.h"
#include "support/little_endian.h"

namespace dwg {
namespace {

// The form of a value after its group code.
enum class Form {
    String,   // the release's string form
    Binary,   // RC length, that many bytes
    Control,  // RC 0 ("{") or 1 ("}"), extended data only
    Fixed,    // `size` bytes copied as they are
};

struct ValueForm {
    Form form = Form::Fixed;
    std::size_t size = 0;
};

constexpr ValueForm fixed(std::size_t size) { return {Form::Fixed, size}; }

// ODA §28: the item code is the DXF group code less 1000; these are all the
// codes the document gives a form (1, the application name, is not stored:
// the block's handle names it). Handles (3 layer, 5 entity) are 8 raw bytes
// whatever their value.
std::optional<ValueForm> extendedDataForm(unsigned code) {
    switch (code) {
    case 0: return ValueForm{Form::String, 0};
    case 2: return ValueForm{Form::Control, 1};
    case 3:
    case 5: return fixed(8);
    case 4: return ValueForm{Form::Binary, 0};
    case 10: case 11: case 12: case 13: return fixed(24);  // 3 RD
    case 40: case 41: case 42: return fixed(8);            // RD
    case 70: return fixed(2);                              // RS
    case 71: return fixed(4);                              // RL
    default: return std::nullopt;
    }
}

// ODA §20.4.104 gives the forms by the DXF group code value types (DXF
// reference, "Group code value types"); a binary list stores one item where
// DXF writes a coordinate per line, so a point group (10, 110, 210, 1010...)
// is one item of 3 RD and the codes of its Y and Z never stand alone.
// Where the DWG form is narrower than DXF's type (as other readers found,
// and every sample drawing bears out): 280-289 (DXF "16-bit integer") and the booleans 290-299 take
// one byte; handles of every kind (5, 105, 320-369, 390-399, 480-481, 1005)
// take 8 raw bytes; 160-169 are RLL; binary chunks (310-319, 1004) have an
// RC length.
std::optional<ValueForm> xrecordForm(unsigned code) {
    const auto in = [code](unsigned first, unsigned last) { return code >= first && code <= last; };
    if (code == 5 || code == 105 || code == 1005 || in(320, 369) || in(390, 399) || in(480, 481))
        return fixed(8);
    if (code == 1004 || in(310, 319))
        return ValueForm{Form::Binary, 0};
    if (in(0, 9) || in(100, 102) || in(300, 309) || in(410, 419) || in(430, 439) || in(470, 479) || code == 999 ||
        in(1000, 1009))
        return ValueForm{Form::String, 0};
    if (in(10, 37) || in(110, 139) || in(210, 239) || in(1010, 1039))
        return fixed(24);
    if (in(38, 59) || in(140, 149) || in(460, 469) || in(1040, 1059))
        return fixed(8);
    if (in(60, 79) || in(170, 179) || in(270, 279) || in(370, 389) || in(400, 409) || in(1060, 1070))
        return fixed(2);
    if (in(90, 99) || in(420, 429) || in(440, 459) || code == 1071)
        return fixed(4);
    if (in(160, 169))
        return fixed(8);
    if (in(280, 299))
        return fixed(1);
    return std::nullopt;
}

// Reads the blob front to back; every shortfall is a FormatError naming the
// blob, the field, and the byte where its item starts.
class ItemReader {
public:
    ItemReader(std::span<const std::uint8_t> bytes, std::string_view what) : m_bytes(bytes), m_what(what) {}

    bool atEnd() const noexcept { return m_at == m_bytes.size(); }

    std::span<const std::uint8_t> take(std::size_t count, std::string_view field) {
        const std::size_t left = m_bytes.size() - m_at;
        if (count > left)
            throw error(std::string(field) + ": expected " + std::to_string(count) + " bytes, found " +
                        std::to_string(left));
        const auto taken = m_bytes.subspan(m_at, count);
        m_at += count;
        return taken;
    }
    std::uint8_t rc(std::string_view field) { return take(1, field)[0]; }
    std::uint16_t rs(std::string_view field) { return support::loadLE16(take(2, field), 0); }

    // "what: reason at byte N", N where the current item started.
    FormatError error(const std::string& reason) const {
        return FormatError(std::string(m_what) + ": " + reason + " at byte " + std::to_string(m_itemStart));
    }
    void startItem() noexcept { m_itemStart = m_at; }
    std::size_t itemStart() const noexcept { return m_itemStart; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::string_view m_what;
    std::size_t m_at = 0;
    std::size_t m_itemStart = 0;
};

void append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// The DWGCODEPAGE numbers of double-byte code pages and whether `byte`
// leads a two-byte character in them: Shift-JIS (22 DOS932, 38 ANSI_932),
// Johab (26, 42) and the other East Asian pages (24 BIG5, 25 KSC5601,
// 31 GB2312, 39-41 ANSI_936/949/950).
bool leadsDoubleByte(std::uint16_t codePage, std::uint8_t byte) {
    switch (codePage) {
    case 22:
    case 38: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 26:
    case 42: return (byte >= 0x84 && byte <= 0xD3) || (byte >= 0xD8 && byte <= 0xDE) || (byte >= 0xE0 && byte <= 0xF9);
    case 24: case 25: case 31: case 39: case 40: case 41: return byte >= 0x81 && byte <= 0xFE;
    default: return false;
    }
}

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// The length of the character at `at` of 8-bit drawing text: a \U+XXXX
// escape (7 bytes), a \M+NXXXX escape (8), a double-byte character (2), or
// one byte.
std::size_t characterLength(std::string_view s, std::size_t at, std::uint16_t codePage) {
    const auto hexRun = [&](std::size_t from) {
        if (from + 4 > s.size())
            return false;
        for (std::size_t i = from; i < from + 4; ++i)
            if (!isHexDigit(s[i]))
                return false;
        return true;
    };
    if (s[at] == '\\' && at + 2 < s.size() && s[at + 2] == '+') {
        if (s[at + 1] == 'U' && hexRun(at + 3))
            return 7;
        if (s[at + 1] == 'M' && at + 3 < s.size() && s[at + 3] >= '1' && s[at + 3] <= '5' && hexRun(at + 4))
            return 8;
    }
    if (leadsDoubleByte(codePage, static_cast<std::uint8_t>(s[at])) && at + 1 < s.size())
        return 2;
    return 1;
}

// Where a string cut at `limit` ends and how many characters are kept and
// dropped, for 8-bit text.
struct Cut {
    std::size_t length = 0;
    std::size_t kept = 0;
    std::size_t dropped = 0;
};

Cut cutBytes(std::string_view s, std::size_t limit, std::uint16_t codePage) {
    Cut cut;
    std::size_t at = 0;
    while (at < s.size()) {
        const std::size_t n = characterLength(s, at, codePage);
        if (at + n > limit)
            break;
        at += n;
        ++cut.kept;
    }
    cut.length = at;
    while (at < s.size()) {
        at += characterLength(s, at, codePage);
        ++cut.dropped;
    }
    return cut;
}

Cut cutUnits(std::u16string_view s, std::size_t limit) {
    const auto length = [&](std::size_t at) -> std::size_t {
        const bool pair = s[at] >= 0xD800 && s[at] <= 0xDBFF && at + 1 < s.size() && s[at + 1] >= 0xDC00 &&
                          s[at + 1] <= 0xDFFF;
        return pair ? 2 : 1;
    };
    Cut cut;
    std::size_t at = 0;
    while (at < s.size() && at + length(at) <= limit) {
        at += length(at);
        ++cut.kept;
    }
    cut.length = at;
    while (at < s.size()) {
        at += length(at);
        ++cut.dropped;
    }
    return cut;
}

// What differs between the two blobs.
struct Layout {
    std::string_view what;       // "extended data" or "xrecord"
    bool groupCodeIsShort;       // RS group codes (xrecord) or RC less 1000 (extended data)
    bool shortLength8Bit;        // 8-bit strings: RS length and RC code page (xrecord), else RC and two bytes
    std::optional<ValueForm> (*formOf)(unsigned);
};

// The DXF group code of an item, for messages.
unsigned dxfCode(const Layout& layout, unsigned code) { return layout.groupCodeIsShort ? code : code + 1000; }

class Recoder {
public:
    Recoder(const Layout& layout, const StringRecoding& how, std::vector<std::string>& problems)
        : m_layout(layout), m_how(how), m_problems(problems) {
        if (!how.recode && isUnicode(how.from) != isUnicode(how.to))
            throw std::invalid_argument(std::string(layout.what) + ": strings change form from " +
                                        std::string(releaseName(how.from)) + " to " +
                                        std::string(releaseName(how.to)) + " and no recode is given");
    }

    std::vector<std::uint8_t> run(std::span<const std::uint8_t> bytes) {
        ItemReader in(bytes, m_layout.what);
        std::vector<std::uint8_t> out;
        out.reserve(bytes.size());
        while (!in.atEnd()) {
            in.startItem();
            unsigned code = 0;
            if (m_layout.groupCodeIsShort) {
                code = in.rs("group code");
                support::appendLE16(out, static_cast<std::uint16_t>(code));
            } else {
                code = in.rc("group code");
                out.push_back(static_cast<std::uint8_t>(code));
            }
            const std::optional<ValueForm> form = m_layout.formOf(code);
            if (!form)
                throw in.error("expected a group code with a value form, found " +
                               std::to_string(dxfCode(m_layout, code)));
            switch (form->form) {
            case Form::String:
                recodeString(in, out, code);
                break;
            case Form::Binary: {
                const std::uint8_t size = in.rc("binary length");
                out.push_back(size);
                append(out, in.take(size, "binary data"));
                break;
            }
            case Form::Control: {
                const std::uint8_t brace = in.rc("control string");
                if (brace > 1)
                    throw in.error("control string: expected 0 (\"{\") or 1 (\"}\"), found " + std::to_string(brace));
                out.push_back(brace);
                break;
            }
            case Form::Fixed:
                append(out, in.take(form->size, "value of group code " + std::to_string(dxfCode(m_layout, code))));
                break;
            }
        }
        return out;
    }

private:
    void recodeString(ItemReader& in, std::vector<std::uint8_t>& out, unsigned code) {
        const std::string name = "string of group code " + std::to_string(dxfCode(m_layout, code));
        Text source;
        std::uint16_t storedPage = 0;
        if (isUnicode(m_how.from)) {
            // ODA §28, §20.4.104: RS length in UTF-16 units, then the units.
            const std::uint16_t length = in.rs(name + ": length");
            const auto data = in.take(std::size_t{length} * 2, name);
            std::u16string units(length, u'\0');
            for (std::size_t i = 0; i < length; ++i)
                units[i] = static_cast<char16_t>(support::loadLE16(data, 2 * i));
            source = Text::fromTU(std::move(units));
        } else {
            // ODA §20.4.104: RS length and RC code page; ODA §28: RC length
            // and a two-byte code page, which AutoCAD writes high byte first
            // (00 1E for ANSI_1252).
            std::size_t length = 0;
            if (m_layout.shortLength8Bit) {
                length = in.rs(name + ": length");
                storedPage = in.rc(name + ": code page");
            } else {
                length = in.rc(name + ": length");
                const auto page = in.take(2, name + ": code page");
                storedPage = static_cast<std::uint16_t>(page[0] << 8 | page[1]);
            }
            const auto data = in.take(length, name);
            source = Text::fromTV(std::string(data.begin(), data.end()));
        }
        Text target = m_how.recode ? m_how.recode(source) : source;
        // A string in the other form would be written empty: a caller's mistake.
        const bool wrongForm = isUnicode(m_how.to) ? target.units.empty() && !target.bytes.empty()
                                                   : target.bytes.empty() && !target.units.empty();
        if (wrongForm)
            throw std::invalid_argument(std::string(m_layout.what) + ": the recoded " + name + " is not in the form of " +
                                        std::string(releaseName(m_how.to)));

        if (isUnicode(m_how.to)) {
            std::u16string units = target.toTU();
            if (units.size() > 0xFFFF) {
                const std::size_t limit = 0xFFFF - (target.terminated ? 1 : 0);
                const Cut cut = cutUnits(target.units, limit);
                report(in, name, units.size(), "UTF-16 units", 0xFFFF, cut);
                target.units.resize(cut.length);
                units = target.toTU();
            }
            support::appendLE16(out, static_cast<std::uint16_t>(units.size()));
            for (const char16_t unit : units)
                support::appendLE16(out, static_cast<std::uint16_t>(unit));
            return;
        }

        // An 8-bit string keeps the number of the code page its bytes are in.
        const bool sameBytes = !isUnicode(m_how.from) && target.bytes == source.bytes;
        const std::uint16_t page = sameBytes ? storedPage : m_how.codePage;
        // ODA §28: an extended data string counts its bytes in an RC.
        const std::size_t maxLength = m_layout.shortLength8Bit ? 0xFFFF : 0xFF;
        std::string stored = target.toTV();
        if (stored.size() > maxLength) {
            const std::size_t limit = maxLength - (target.terminated ? 1 : 0);
            const Cut cut = cutBytes(target.bytes, limit, page);
            report(in, name, stored.size(), "bytes", maxLength, cut);
            target.bytes.resize(cut.length);
            stored = target.toTV();
        }
        if (m_layout.shortLength8Bit) {
            support::appendLE16(out, static_cast<std::uint16_t>(stored.size()));
            out.push_back(static_cast<std::uint8_t>(page));
        } else {
            out.push_back(static_cast<std::uint8_t>(stored.size()));
            out.push_back(static_cast<std::uint8_t>(page >> 8));
            out.push_back(static_cast<std::uint8_t>(page & 0xFF));
        }
        out.insert(out.end(), stored.begin(), stored.end());
    }

    void report(const ItemReader& in, const std::string& name, std::size_t size, std::string_view unit,
                std::size_t maxLength, const Cut& cut) {
        m_problems.push_back(std::string(m_layout.what) + ": " + name + " at byte " + std::to_string(in.itemStart()) +
                             " has " + std::to_string(size) + ' ' + std::string(unit) + " in " +
                             std::string(releaseName(m_how.to)) + ", more than the " + std::to_string(maxLength) +
                             " its length holds: kept the first " + std::to_string(cut.kept) + " characters (" +
                             std::to_string(cut.length) + ' ' + std::string(unit) + "), dropped the last " +
                             std::to_string(cut.dropped));
    }

    const Layout& m_layout;
    const StringRecoding& m_how;
    std::vector<std::string>& m_problems;
};

constexpr Layout kExtendedData{"extended data", false, false, &extendedDataForm};
constexpr Layout kXRecord{"xrecord", true, true, &xrecordForm};

}  // namespace

std::vector<std::uint8_t> recodeExtendedData(std::span<const std::uint8_t> bytes, const StringRecoding& how,
                                             std::vector<std::string>& problems) {
    return Recoder(kExtendedData, how, problems).run(bytes);
}

std::vector<std::uint8_t> recodeXRecordItems(std::span<const std::uint8_t> bytes, const StringRecoding& how,
                                             std::vector<std::string>& problems) {
    return Recoder(kXRecord, how, problems).run(bytes);
}

}  // namespace dwg
