#include "dwg/bits/codes.h"

#include <cstdio>
#include <string>
#include <utility>

#include "dwg/errors.h"
#include "support/code_pages.h"

namespace dwg {

std::uint64_t resolveHandle(const HandleRef& ref, std::uint64_t referenceHandle) {
    // ODA §2.13: 2-5 (and 0, used for objects' own handles) are absolute;
    // the offset codes count from the reference handle.
    const auto below = [&]() -> FormatError {
        char text[96];
        std::snprintf(text, sizeof text, "H: code %X with offset %llX goes below handle 0 from %llX", ref.code,
                      static_cast<unsigned long long>(ref.value),
                      static_cast<unsigned long long>(referenceHandle));
        return FormatError(text);
    };
    switch (ref.code) {
    case 0x0:
    case 0x1:
    case 0x2:
    case 0x3:
    case 0x4:
    case 0x5:
        return ref.value;
    case 0x6:
        return referenceHandle + 1;
    case 0x8:
        if (referenceHandle < 1) throw below();
        return referenceHandle - 1;
    case 0xA:
        return referenceHandle + ref.value;
    case 0xC:
        if (referenceHandle < ref.value) throw below();
        return referenceHandle - ref.value;
    default: {
        char text[80];
        std::snprintf(text, sizeof text, "H: expected reference code 0-6, 8, A or C, found %X", ref.code);
        throw FormatError(text);
    }
    }
}

Text Text::fromBytes(std::string bytes) {
    Text text;
    text.bytes = std::move(bytes);
    return text;
}

Text Text::fromTV(std::string stored) {
    Text text;
    text.terminated = !stored.empty() && stored.back() == '\0';
    if (text.terminated) stored.pop_back();
    text.bytes = std::move(stored);
    return text;
}

Text Text::fromTU(std::u16string stored) {
    Text text;
    text.terminated = !stored.empty() && stored.back() == u'\0';
    if (text.terminated) stored.pop_back();
    text.units = std::move(stored);
    return text;
}

std::u16string utf16Units(std::span<const std::uint8_t> bytes, std::size_t from) {
    std::u16string units;
    for (std::size_t at = from; at + 1 < bytes.size(); at += 2) {
        const auto unit = static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
        if (unit == 0)
            break;
        units += unit;
    }
    return units;
}

std::string Text::toTV() const { return terminated ? bytes + '\0' : bytes; }

std::u16string Text::toTU() const { return terminated ? units + u'\0' : units; }

std::string Text::shown() const { return units.empty() ? bytes : support::toUtf8(units); }

CmColor colorForRelease(const CmColor& color, Release target) {
    CmColor out = color;
    const bool methodForm = (color.rgb >> 24) >= 0xC0;
    if (target >= Release::R2004 && !methodForm) {
        out = CmColor{};
        if (color.index == 256)
            out.rgb = 0xC0000000U;
        else if (color.index == 0)
            out.rgb = 0xC1000000U;
        else if (color.index == 257)
            out.rgb = 0xC8000000U;  // no colour
        else
            out.rgb = 0xC3000000U | static_cast<std::uint8_t>(color.index);
    } else if (target < Release::R2004 && !methodForm) {
        out = CmColor{};  // before 2004 a colour is its index alone
        out.index = color.index;
    } else if (target < Release::R2004 && methodForm) {
        out = CmColor{};
        switch (color.rgb >> 24) {
        case 0xC0: out.index = 256; break;
        case 0xC1: out.index = 0; break;
        case 0xC3: out.index = static_cast<std::int16_t>(color.rgb & 0xFF); break;
        case 0xC8: out.index = 257; break;
        default: out.index = color.index; break;  // a true colour keeps its nearest index
        }
    }
    return out;
}

}  // namespace dwg
