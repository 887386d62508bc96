#pragma once
// Single-byte code pages and their mapping to and from UTF-16.
//
// Every byte value maps to exactly one UTF-16 character and back, so any byte
// string survives a round trip through UTF-16 unchanged. Bytes that a code page
// leaves undefined map the way Windows maps them: 0x80-0x9F to the C1 control
// characters U+0080-U+009F, any other undefined byte to U+F700 + byte (a
// private-use character). Drawings whose DOS Hebrew letters sit in such holes
// (0x81, 0x8A, 0x8C-0x90, 0x9A... in Windows-1255) thus keep their bytes.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace support {

class CodePage {
public:
    // Upper half of the table: the characters of bytes 0x80-0xFF. Bytes below
    // 0x80 are ASCII in every code page here.
    using HighHalf = std::array<char16_t, 128>;

    CodePage(std::string_view name, const HighHalf& high);

    // Single-byte code pages by number: DOS 437, 850, 852, 855, 857, 860,
    // 861, 862, 863, 865, 866, 869, Windows 874 and 1250-1258; null for others.
    static const CodePage* byNumber(int number);
    static const CodePage& windows1252();
    static const CodePage& windows1255();
    static const CodePage& dos862();

    std::string_view name() const { return m_name; }

    char16_t toUnicode(std::uint8_t byte) const { return m_toUnicode[byte]; }
    // The byte of a character, or nothing when the code page lacks it.
    std::optional<std::uint8_t> fromUnicode(char16_t c) const;

    std::u16string decode(std::string_view bytes) const;
    // Characters the code page lacks become `replacement`.
    std::string encode(std::u16string_view text, char replacement = '?') const;
    // Whether every character of the text has a byte in this code page.
    bool canEncode(std::u16string_view text) const;

private:
    std::string_view m_name;
    std::array<char16_t, 256> m_toUnicode{};
    // (character, byte) of the upper half, sorted by character for lookups.
    std::array<std::pair<char16_t, std::uint8_t>, 128> m_fromUnicode{};
};

// UTF-8 for terminals, files and reports. Unpaired surrogates become U+FFFD.
std::string toUtf8(std::u16string_view text);
// Invalid sequences become U+FFFD.
std::u16string fromUtf8(std::string_view text);

}  // namespace support
