#include "hebrew/HebLib.h"

#include <array>
#include <cassert>
#include <optional>

#include "support/hex.h"


namespace hebrew {
namespace {

constexpr bool isDosLetter(std::uint8_t b) { return b >= 0x80 && b <= 0x9A; }

constexpr std::array<std::uint8_t, 256> makeKeyboardTable() {
    std::array<std::uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(b);
    constexpr std::pair<char, std::uint8_t> keys[] = {
        {'\'', 0x2C}, {',', 0x9A}, {'.', 0x95}, {'/', 0x2E}, {';', 0x93},  //
        {'a', 0x99},  {'b', 0x90}, {'c', 0x81}, {'d', 0x82}, {'e', 0x97},  //
        {'f', 0x8B},  {'g', 0x92}, {'h', 0x89}, {'i', 0x8F}, {'j', 0x87},  //
        {'k', 0x8C},  {'l', 0x8A}, {'m', 0x96}, {'n', 0x8E}, {'o', 0x8D},  //
        {'p', 0x94},  {'q', 0x2F}, {'r', 0x98}, {'s', 0x83}, {'t', 0x80},  //
        {'u', 0x85},  {'v', 0x84}, {'w', 0x27}, {'x', 0x91}, {'y', 0x88},  //
        {'z', 0x86},
    };
    for (auto [key, letter] : keys)
        table[static_cast<std::uint8_t>(key)] = letter;
    return table;
}

constexpr auto kKeyboard = makeKeyboardTable();

// The integer that `s` forms entirely: leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after "$", "x", "X" or "0x"/"0X".
std::optional<long> parseInteger(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == s.size())
        return std::nullopt;
    long value = 0;
    for (; i < s.size(); ++i) {
        int digit = support::hexDigitValue(s[i]);
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * base + digit;
    }
    return negative ? -value : value;
}

}  // namespace

std::string ReverseText(std::string_view text) { return std::string(text.rbegin(), text.rend()); }

std::string DosToWinHebrew(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        auto b = static_cast<std::uint8_t>(c);
        if (isDosLetter(b))
            c = static_cast<char>(b + 0x60);
    }
    return out;
}

std::uint8_t KeyToDosHebrew(std::uint8_t key) { return kKeyboard[key]; }

void KeysToDosHebrew(std::string& text) {
    for (char& c : text)
        c = static_cast<char>(kKeyboard[static_cast<std::uint8_t>(c)]);
}

std::string DecodeCharCodes(std::string_view text) {
    if (text.find("%%") == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t scan = 0;
    while (true) {
        std::size_t mark = text.find("%%", scan);
        if (mark == std::string_view::npos) {
            out.append(text.substr(scan));
            return out;
        }
        std::string_view code = text.substr(mark + 2, 3);
        auto value = parseInteger(code);
        if (value && *value >= 0x80 && *value <= 0x9A) {
            out.append(text.substr(scan, mark - scan));
            out += static_cast<char>(*value);
            scan = mark + 2 + code.size();
        } else {
            out.append(text.substr(scan, mark + 2 - scan));
            scan = mark + 2;
        }
    }
}

std::string MirrorBrackets(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        switch (c) {
            case '(': c = ')'; break;
            case ')': c = '('; break;
            case '<': c = '>'; break;
            case '>': c = '<'; break;
            case '[': c = ']'; break;
            case ']': c = '['; break;
            case '{': c = '}'; break;
            case '}': c = '{'; break;
            default: break;
        }
    }
    return out;
}

std::string ReverseRunsByClass(std::string_view text, std::span<const std::uint8_t> classes) {
    assert(classes.size() >= text.size());
    std::string out(text.size(), '\0');
    std::size_t runStart = 0;
    while (runStart < text.size()) {
        bool hebrew = classes[runStart] == kHebrewClass;
        std::size_t runEnd = runStart + 1;
        while (runEnd < text.size() && (classes[runEnd] == kHebrewClass) == hebrew)
            ++runEnd;
        for (std::size_t i = runStart; i < runEnd; ++i)
            out[i] = hebrew ? text[i] : text[runEnd - 1 - (i - runStart)];
        runStart = runEnd;
    }
    return out;
}

}  // namespace hebrew
