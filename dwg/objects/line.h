#pragma once
// LINE (ODA §20.4.21): the encoder that goes with decodeLine of geometry.h.

#include "dwg/bits/bit_writer.h"
#include "dwg/objects/geometry.h"

namespace dwg {

// Writes the line's own fields for release 2000 or 2004 (the interleaved
// coordinates, each end value defaulting to the start's); UnsupportedRelease
// for others.
void encodeLine(BitWriter& out, const LineGeometry& line);

}  // namespace dwg
