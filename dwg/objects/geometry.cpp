#include "dwg/objects/geometry.h"

#include <string>

#include "dwg/errors.h"

namespace dwg {

namespace {

void checkRelease(const BitReader& in, const char* what) {
    if (in.release() >= Release::R2007)
        throw UnsupportedRelease(std::string(what) + " objects of release " + std::string(releaseName(in.release())));
}

}  // namespace

LineGeometry decodeLine(BitReader& in, const ObjectHeader& header) {
    checkRelease(in, "line");
    LineGeometry g;
    if (in.release() <= Release::R14) {
        g.start = in.read3BD();
        g.end = in.read3BD();
    } else {
        // ODA §20.4.21: x, y and z interleaved, each end value defaulting to the start's.
        const bool zIsZero = in.readB();
        g.start.x = in.readRD();
        g.end.x = in.readDD(g.start.x);
        g.start.y = in.readRD();
        g.end.y = in.readDD(g.start.y);
        if (!zIsZero) {
            g.start.z = in.readRD();
            g.end.z = in.readDD(g.start.z);
        }
    }
    g.thickness = in.readBT();
    g.extrusion = in.readBE();
    checkFieldsEnd(in, header, "line");
    return g;
}

}  // namespace dwg
