#include "dwg/objects/string_stream.h"

#include <stdexcept>
#include <string>

#include "dwg/errors.h"

namespace dwg {

std::optional<BitReader> splitStringStream(BitReader& data, std::uint64_t endBit) {
    // From the end backwards: the presence bit, an RS size (a second RS in
    // front of it holds the high bits when 0x8000 is set), then the strings.
    const std::uint64_t start = data.bitPos();
    const auto fail = [&](const std::string& what) {
        return FormatError("string stream: " + what + " in the bits " + std::to_string(start) + " to " +
                           std::to_string(endBit));
    };
    if (endBit > data.endBit() || endBit < start + 1)
        throw fail("no room for the presence bit");
    std::uint64_t end = endBit - 1;
    BitReader trailer(data.bytes(), data.release());
    trailer.setEndBit(endBit);
    trailer.seekBit(end);
    if (!trailer.readB()) {
        data.setEndBit(end);
        return std::nullopt;
    }
    if (end < start + 16)
        throw fail("no room for its size");
    end -= 16;
    trailer.seekBit(end);
    std::uint64_t size = trailer.readRS();
    if ((size & 0x8000) != 0) {
        if (end < start + 16)
            throw fail("no room for the high part of its size");
        end -= 16;
        trailer.seekBit(end);
        size = (size & 0x7FFF) | (std::uint64_t{trailer.readRS()} << 15);
    }
    if (size > end - start)
        throw fail("a size of " + std::to_string(size) + " bits");
    BitReader strings(data.bytes(), data.release());
    strings.setEndBit(end);
    strings.seekBit(end - size);
    data.setEndBit(end - size);
    return strings;
}

void appendStringStream(BitWriter& data, const BitWriter& strings, bool presentWhenEmpty) {
    const std::uint64_t size = strings.bitPos();
    const bool present = size > 0 || presentWhenEmpty;
    if (present) {
        data.writeBits(strings.bytes(), size);
        if (size >= 0x8000) {
            if (size >= (std::uint64_t{1} << 31))
                throw std::out_of_range("string stream: " + std::to_string(size) + " bits are too many for its size");
            data.writeRS(static_cast<std::uint16_t>(size >> 15));
            data.writeRS(static_cast<std::uint16_t>((size & 0x7FFF) | 0x8000));
        } else {
            data.writeRS(static_cast<std::uint16_t>(size));
        }
    }
    data.writeB(present);
}

}  // namespace dwg
