#include "dwg/drawing/text_codec.h"

#include "support/hex.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>
#include <optional>

#if __has_include(<iconv.h>)
#include <iconv.h>
#define CORVELIN_HAS_ICONV 1
#endif

namespace dwg {
namespace {

// The value of four hexadecimal digits at `at`, or nothing.
std::optional<std::uint16_t> hex4(std::string_view s, std::size_t at) {
    if (at + 4 > s.size())
        return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        int digit = support::hexDigitValue(s[i]);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<std::uint16_t>(value);
}

// The character of a double-byte code of \M+N: 1 Japanese (932), 2 Traditional
// Chinese (950), 3 Korean (949), 4 Johab (1361), 5 Simplified Chinese (936).
std::optional<char16_t> doubleByteCharacter(char n, std::uint16_t code) {
#ifdef CORVELIN_HAS_ICONV
    const char* encoding = n == '1' ? "CP932" : n == '2' ? "CP950" : n == '3' ? "CP949" : n == '4' ? "JOHAB"
                         : n == '5' ? "CP936" : nullptr;
    if (!encoding)
        return std::nullopt;
    iconv_t converter = iconv_open("UTF-16LE", encoding);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    char in[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    char out[4] = {};
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = code > 0xFF ? 2 : 1;
    if (code <= 0xFF)
        inPtr = in + 1;
    std::size_t outLeft = sizeof(out);
    const std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0 || outLeft != 2)
        return std::nullopt;
    return static_cast<char16_t>(static_cast<std::uint8_t>(out[0]) | (static_cast<std::uint8_t>(out[1]) << 8));
#else
    (void)n;
    (void)code;
    return std::nullopt;
#endif
}

}  // namespace

const support::CodePage& codePageOf(std::uint16_t dwgCodePage) {
    static constexpr std::array<std::pair<std::uint16_t, int>, 22> kPages = {{
        {2, 1252},  {9, 1255},   {11, 437},   {12, 850},  {13, 852},  {14, 855},  {15, 857},  {16, 860},
        {17, 861},  {18, 863},   {20, 865},   {21, 869},  {27, 866},  {28, 1250}, {29, 1251}, {30, 1252},
        {32, 1253}, {33, 1254},  {34, 1255},  {35, 1256}, {36, 1257}, {37, 874},
    }};
    for (auto [dwg, number] : kPages)
        if (dwg == dwgCodePage)
            return *support::CodePage::byNumber(number);
    if (dwgCodePage == 44)
        return *support::CodePage::byNumber(1258);
    return support::CodePage::windows1252();
}

std::string_view dwgCodePageName(std::uint16_t dwgCodePage) {
    // AutoCAD's numbering, in order from 0 (ODA §3.2.5).
    static constexpr std::string_view kNames[] = {
        "UTF8",      "ASCII",     "ISO8859-1", "ISO8859-2", "ISO8859-3", "ISO8859-4", "ISO8859-5", "ISO8859-6",
        "ISO8859-7", "ISO8859-8", "ISO8859-9", "DOS437",    "DOS850",    "DOS852",    "DOS855",    "DOS857",
        "DOS860",    "DOS861",    "DOS863",    "DOS864",    "DOS865",    "DOS869",    "DOS932",    "MACINTOSH",
        "BIG5",      "KSC5601",   "JOHAB",     "DOS866",    "ANSI_1250", "ANSI_1251", "ANSI_1252", "GB2312",
        "ANSI_1253", "ANSI_1254", "ANSI_1255", "ANSI_1256", "ANSI_1257", "ANSI_874",  "ANSI_932",  "ANSI_936",
        "ANSI_949",  "ANSI_950",  "ANSI_1361", "UTF16",     "ANSI_1258",
    };
    return dwgCodePage < std::size(kNames) ? kNames[dwgCodePage] : std::string_view();
}

std::optional<std::uint16_t> writableDwgCodePage(std::string_view name) {
    for (std::uint16_t value = 1; !dwgCodePageName(value).empty(); ++value) {
        const std::string_view known = dwgCodePageName(value);
        const bool same = known.size() == name.size() &&
                          std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
                              return std::toupper(static_cast<unsigned char>(a)) ==
                                     std::toupper(static_cast<unsigned char>(b));
                          });
        // A page without a table of ours falls back to Windows-1252, which
        // would write other letters than the name promises.
        if (same && (value == 30 || value == 2 || &codePageOf(value) != &support::CodePage::windows1252()))
            return value;
    }
    return std::nullopt;
}

std::u16string decodeDrawingText(std::string_view bytes, const support::CodePage& page) {
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] == '\\' && i + 2 < bytes.size() && bytes[i + 2] == '+') {
            if (bytes[i + 1] == 'U') {
                if (auto code = hex4(bytes, i + 3)) {
                    out += static_cast<char16_t>(*code);
                    i += 7;
                    continue;
                }
            } else if (bytes[i + 1] == 'M' && i + 3 < bytes.size()) {
                if (auto code = hex4(bytes, i + 4)) {
                    if (auto c = doubleByteCharacter(bytes[i + 3], *code)) {
                        out += *c;
                        i += 8;
                        continue;
                    }
                }
            }
        }
        out += page.toUnicode(static_cast<std::uint8_t>(bytes[i]));
        ++i;
    }
    return out;
}

std::string encodeDrawingText(std::u16string_view text, const support::CodePage& page) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (auto byte = page.fromUnicode(c)) {
            out += static_cast<char>(*byte);
            continue;
        }
        out += "\\U+";
        for (int shift = 12; shift >= 0; shift -= 4)
            out += kDigits[(c >> shift) & 0xF];
    }
    return out;
}

std::u16string decodeText(const Text& stored, const support::CodePage& page) {
    return stored.units.empty() ? decodeDrawingText(stored.bytes, page) : stored.units;
}

void encodeText(Text& stored, std::u16string_view value, const support::CodePage& page, Release release) {
    if (isUnicode(release)) {
        stored.units = value;
        stored.bytes.clear();
    } else {
        stored.bytes = encodeDrawingText(value, page);
        stored.units.clear();
    }
}

}  // namespace dwg
