#pragma once
// Values of the format's composite codes (ODA §2): handle references, CmColor
// and points. The bit layer reads and writes them; the layers above give them
// meaning.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "dwg/release.h"

namespace dwg {

struct Point2 {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const Point2&, const Point2&) = default;
};

struct Point3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    friend bool operator==(const Point3&, const Point3&) = default;
};

// H: |code (4 bits)|counter (4 bits)|counter bytes of value, MSB first|
// (ODA §2.13). Codes 2-5 are ownership / pointer references with an absolute
// handle; 6, 8, 0xA and 0xC are offsets from a reference handle.
struct HandleRef {
    std::uint8_t code = 0;
    std::uint64_t value = 0;
    friend bool operator==(const HandleRef&, const HandleRef&) = default;
};

// The absolute handle a reference stands for, given the handle it is
// relative to (usually the referencing object's own handle). Throws
// FormatError for the codes the format does not define.
std::uint64_t resolveHandle(const HandleRef& ref, std::uint64_t referenceHandle);

// A string as objects store it: before 2007 bytes in the drawing's code page
// (TV), from 2007 on UTF-16 code units (TU), in `bytes` or `units` by the
// release it was read in. Strings of 2000 and later files usually count a
// terminating zero; it is no part of the text, so the reader drops it and
// keeps the flag, and the writer puts it back: an unchanged string is written
// as it was read.
struct Text {
    std::string bytes;
    std::u16string units;
    bool terminated = false;

    // An 8-bit string without a terminating zero.
    static Text fromBytes(std::string bytes);
    static Text fromTV(std::string stored);
    static Text fromTU(std::u16string stored);
    // The stored forms, the terminating zero included where there was one.
    std::string toTV() const;
    std::u16string toTU() const;
    // For messages: the bytes as stored, or the units as UTF-8.
    std::string shown() const;
    friend bool operator==(const Text&, const Text&) = default;
};

// UTF-16 little-endian units from byte `from` of `bytes` up to a zero unit
// or the end (the strings 2007 and later keep in byte areas: table values,
// linetype texts).
std::u16string utf16Units(std::span<const std::uint8_t> bytes, std::size_t from = 0);

// CMC (ODA §2.11). R13-2000 store only the colour index; 2004 and later add
// the RGB value, a flag byte and the optional colour and book names. Every
// field is kept as found so that the colour is written back identically.
struct CmColor {
    std::int16_t index = 0;
    std::uint32_t rgb = 0;      // 2004+
    std::uint8_t flags = 0;     // 2004+: 1 = name follows, 2 = book name follows
    // From 2007 on in the object's string stream.
    Text name;
    Text bookName;
    friend bool operator==(const CmColor&, const CmColor&) = default;
};

// A CMC colour in the form of another release. Before 2004 the colour is its
// index (256 ByLayer, 0 ByBlock); 2004 keeps index 0 and puts the colour
// method in the RGB value's high byte (0xC0 ByLayer, 0xC1 ByBlock, 0xC3 an
// index colour in the low byte, 0xC2 a true colour, 0xC8 none: index 257
// before), as AutoCAD writes it.
CmColor colorForRelease(const CmColor& color, Release target);

}  // namespace dwg
