#pragma once
// LINE's fields, decoded only (ODA §20.4.21): what is left of the geometry
// decoders the bounding boxes used, which now decode through the field walks
// (walks/entities.h). Kept only for line.h's encoder and the builder's test
// until they move onto the walks; delete it with them.

#include "dwg/objects/object_header.h"

namespace dwg {

struct LineGeometry {
    Point3 start, end;  // WCS
    double thickness = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};  // the direction of the thickness
};

// `in` at header.bodyAt of a LINE; throws FormatError unless the fields end
// exactly at header.handlesAt. Releases from 2007 on are rejected with
// UnsupportedRelease.
LineGeometry decodeLine(BitReader& in, const ObjectHeader& header);

}  // namespace dwg
