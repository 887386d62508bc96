#include "dwg/objects/line.h"

#include <string>

#include "dwg/errors.h"

namespace dwg {

void encodeLine(BitWriter& out, const LineGeometry& line) {
    const Release r = out.release();
    if (r != Release::R2000 && r != Release::R2004)
        throw UnsupportedRelease("line: expected release 2000 or 2004, found " + std::string(releaseName(r)));
    const bool zIsZero = line.start.z == 0.0 && line.end.z == 0.0;
    out.writeB(zIsZero);
    out.writeRD(line.start.x);
    out.writeDD(line.end.x, line.start.x);
    out.writeRD(line.start.y);
    out.writeDD(line.end.y, line.start.y);
    if (!zIsZero) {
        out.writeRD(line.start.z);
        out.writeDD(line.end.z, line.start.z);
    }
    out.writeBT(line.thickness);
    out.writeBE(line.extrusion);
}

}  // namespace dwg
