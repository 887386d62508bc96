#pragma once
// ACAD_PROXY_ENTITY (498) and ACAD_PROXY_OBJECT (499), ODA §20.4.90: what
// AutoCAD keeps of an object whose application was not loaded. The data
// are the application's own, in the form of the release they were written
// in (which 2000 and later name): they are carried as bits, never read.

#include "dwg/objects/object.h"

namespace dwg {

struct ProxyObject {
    std::int32_t classId = 499;              // 2000+ (DXF 91)
    std::uint32_t drawingFormat = 0;         // 2000-2013: version | maintenance version << 16 (DXF 95)
    bool originalFormatIsDxf = false;        // 2000+ (DXF 70)
    RawBits data;                            // to the handle stream
    std::vector<HandleRef> objects;          // the objects it refers to
};

template <class Io>
void walk(Io& io, ProxyObject& p) {
    if (io.release() >= Release::R2000) {
        io.BL("class id", p.classId);
        io.BL("drawing format", p.drawingFormat);
        io.B("original format is dxf", p.originalFormatIsDxf);
    }
    io.restOfData("data", p.data);
    // "as many as we can read until we run out of data" (ODA §20.4.90)
    io.handlesToEnd("object", p.objects);
}

}  // namespace dwg
