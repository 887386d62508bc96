#pragma once
// The simple drawable entities (ODA §20.4.11-12, .16-18, .20-21, .31-35...).
// Coordinates as the format stores them: WCS for LINE and POINT, the
// entity's OCS (given by its extrusion) for ARC and CIRCLE.

#include "dwg/objects/object.h"

namespace dwg {

struct LineObject {
    Point3 start, end;
    double thickness = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
};

template <class Io>
void walk(Io& io, LineObject& l) {
    if (io.release() <= Release::R14) {
        io.BD3("start", l.start);
        io.BD3("end", l.end);
    } else {
        // "Z's are zero": one bit for both z.
        const bool flat = io.flag("z's are zero", l.start.z == 0.0 && l.end.z == 0.0);
        io.RD("start x", l.start.x);
        io.DD("end x", l.end.x, l.start.x);
        io.RD("start y", l.start.y);
        io.DD("end y", l.end.y, l.start.y);
        if (!flat) {
            io.RD("start z", l.start.z);
            io.DD("end z", l.end.z, l.start.z);
        } else if constexpr (Io::reading) {
            l.start.z = l.end.z = 0.0;
        }
    }
    io.BT("thickness", l.thickness);
    io.BE("extrusion", l.extrusion);
}

struct CircleObject {
    Point3 center;
    double radius = 0.0;
    double thickness = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
};

template <class Io>
void walk(Io& io, CircleObject& c) {
    io.BD3("center", c.center);
    io.BD("radius", c.radius);
    io.BT("thickness", c.thickness);
    io.BE("extrusion", c.extrusion);
}

struct ArcObject {
    CircleObject circle;
    double startAngle = 0.0;
    double endAngle = 0.0;
};

template <class Io>
void walk(Io& io, ArcObject& a) {
    walk(io, a.circle);
    io.BD("start angle", a.startAngle);
    io.BD("end angle", a.endAngle);
}

struct PointObject {
    Point3 position;
    double thickness = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
    double xAxisAngle = 0.0;
};

template <class Io>
void walk(Io& io, PointObject& p) {
    io.BD3("position", p.position);
    io.BT("thickness", p.thickness);
    io.BE("extrusion", p.extrusion);
    io.BD("x axis angle", p.xAxisAngle);
}

}  // namespace dwg
