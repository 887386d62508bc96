#pragma once
// The string stream of 2007 and later (ODA §20.1): objects, the header
// variables and the classes keep their strings apart from their other
// fields, after them, followed by the stream's size and a presence bit that
// end the bits before the handles.

#include <cstdint>
#include <optional>

#include "dwg/bits/bit_reader.h"
#include "dwg/bits/bit_writer.h"

namespace dwg {

// The string stream of the bits of `data` that end at `endBit` (a reader
// over them, standing at their first string), or nothing where the presence
// bit says there is none. `data`'s end is moved to where its own fields end.
// FormatError when the sizes do not fit.
std::optional<BitReader> splitStringStream(BitReader& data, std::uint64_t endBit);

// Appends `strings` to `data`, then the size fields and the presence bit
// (set where there are strings, or where `presentWhenEmpty`).
void appendStringStream(BitWriter& data, const BitWriter& strings, bool presentWhenEmpty);

}  // namespace dwg
