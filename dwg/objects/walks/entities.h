#pragma once
// The simple drawable entities (ODA §20.4.11-12, .16-18, .20-21, .31-35...).
// Coordinates as the format stores them: WCS for LINE and POINT, the
// entity's OCS (given by its extrusion) for ARC and CIRCLE.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// SOLID and TRACE (ODA §20.4.35-36): four corners in the OCS, all at one
// elevation. TRACE stores the same fields.
struct SolidObject {
    double thickness = 0.0;
    double elevation = 0.0;
    Point2 corners[4];
    Point3 extrusion{0.0, 0.0, 1.0};
};

template <class Io>
void walk(Io& io, SolidObject& s) {
    io.BT("thickness", s.thickness);
    io.BD("elevation", s.elevation);
    io.RD2("corner 1", s.corners[0]);
    io.RD2("corner 2", s.corners[1]);
    io.RD2("corner 3", s.corners[2]);
    io.RD2("corner 4", s.corners[3]);
    io.BE("extrusion", s.extrusion);
}

// 3DFACE (ODA §20.4.32): four WCS corners and which edges are invisible.
struct Face3dObject {
    Point3 corners[4];
    std::int16_t invisibleEdges = 0;  // 1, 2, 4, 8: edge 1-4 invisible
};

template <class Io>
void walk(Io& io, Face3dObject& f) {
    if (io.release() <= Release::R14) {
        io.BD3("corner 1", f.corners[0]);
        io.BD3("corner 2", f.corners[1]);
        io.BD3("corner 3", f.corners[2]);
        io.BD3("corner 4", f.corners[3]);
        io.BS("invisible edges", f.invisibleEdges);
        return;
    }
    // From 2000 on: a bit for "no invisible edges", one for a zero first z,
    // and each further corner as doubles defaulting to the one before.
    const bool noFlags = io.flag("no invisible edges", f.invisibleEdges == 0);
    const bool flat = io.flag("corner 1 z is zero", f.corners[0].z == 0.0);
    io.RD("corner 1 x", f.corners[0].x);
    io.RD("corner 1 y", f.corners[0].y);
    if (!flat)
        io.RD("corner 1 z", f.corners[0].z);
    else if constexpr (Io::reading)
        f.corners[0].z = 0.0;
    static constexpr const char* names[3][3] = {{"corner 2 x", "corner 2 y", "corner 2 z"},
                                                {"corner 3 x", "corner 3 y", "corner 3 z"},
                                                {"corner 4 x", "corner 4 y", "corner 4 z"}};
    for (int i = 1; i < 4; ++i) {
        Point3& c = f.corners[i];
        const Point3& previous = f.corners[i - 1];
        io.DD(names[i - 1][0], c.x, previous.x);
        io.DD(names[i - 1][1], c.y, previous.y);
        io.DD(names[i - 1][2], c.z, previous.z);
    }
    if (!noFlags)
        io.BS("invisible edges", f.invisibleEdges);
    else if constexpr (Io::reading)
        f.invisibleEdges = 0;
}

// SHAPE (ODA §20.4.37): a shape of a shape file (a STYLE entry), by number.
struct ShapeObject {
    Point3 insertion;
    double scale = 1.0;
    double rotation = 0.0;
    double widthFactor = 1.0;
    double obliqueAngle = 0.0;
    double thickness = 0.0;
    std::int16_t shapeNumber = 0;
    Point3 extrusion{0.0, 0.0, 1.0};
    HandleRef shapeFile;
};

template <class Io>
void walk(Io& io, ShapeObject& s) {
    io.BD3("insertion", s.insertion);
    io.BD("scale", s.scale);
    io.BD("rotation", s.rotation);
    io.BD("width factor", s.widthFactor);
    io.BD("oblique angle", s.obliqueAngle);
    io.BD("thickness", s.thickness);
    io.BS("shape number", s.shapeNumber);
    io.BD3("extrusion", s.extrusion);
    io.H("shape file", s.shapeFile);
}

// ELLIPSE (ODA §20.4.39): centre and major axis in the WCS.
struct EllipseObject {
    Point3 center;
    Point3 majorAxis{1.0, 0.0, 0.0};
    Point3 extrusion{0.0, 0.0, 1.0};
    double axisRatio = 1.0;
    double startAngle = 0.0;
    double endAngle = 0.0;
};

template <class Io>
void walk(Io& io, EllipseObject& e) {
    io.BD3("center", e.center);
    io.BD3("major axis", e.majorAxis);
    io.BD3("extrusion", e.extrusion);
    io.BD("axis ratio", e.axisRatio);
    io.BD("start angle", e.startAngle);
    io.BD("end angle", e.endAngle);
}

// RAY and XLINE (ODA §20.4.42-43): a point and a direction.
struct RayObject {
    Point3 point;
    Point3 direction{1.0, 0.0, 0.0};
};

template <class Io>
void walk(Io& io, RayObject& r) {
    io.BD3("point", r.point);
    io.BD3("direction", r.direction);
}

struct XLineObject {
    RayObject line;
};

template <class Io>
void walk(Io& io, XLineObject& x) {
    walk(io, x.line);
}

namespace entity_walks {
// Reads or writes `v`'s size as a count and sizes `v` when reading.
template <class Io, class T>
void countOf(Io& io, const char* name, CountCode code, std::vector<T>& v, unsigned minBitsEach) {
    std::size_t n = v.size();
    io.count(name, code, n, minBitsEach);
    if constexpr (Io::reading)
        v.resize(n);
}
}  // namespace entity_walks

// SPLINE (ODA §20.4.40): by control points and knots (scenario 1) or by fit
// points (scenario 2).
struct SplineControlPoint {
    Point3 point;
    double weight = 1.0;  // stored when the spline is weighted
};

struct SplineObject {
    std::int32_t scenario = 1;
    std::int32_t splineFlags = 0;    // 2013+
    std::int32_t knotParameter = 0;  // 2013+
    std::int32_t degree = 3;
    // Scenario 1.
    bool rational = false, closed = false, periodic = false, weighted = false;
    double knotTolerance = 1e-7;
    double controlTolerance = 1e-7;
    std::vector<double> knots;
    std::vector<SplineControlPoint> controlPoints;
    // Scenario 2.
    double fitTolerance = 1e-7;
    Point3 startTangent, endTangent;
    std::vector<Point3> fitPoints;
};

template <class Io>
void walk(Io& io, SplineObject& s) {
    io.BL("scenario", s.scenario);
    if (io.release() >= Release::R2013) {
        io.BL("spline flags", s.splineFlags);
        io.BL("knot parameter", s.knotParameter);
        // From 2013 on these decide the scenario.
        if constexpr (Io::reading) {
            if (s.splineFlags & 1)
                s.scenario = 2;
            if (s.knotParameter == 15)
                s.scenario = 1;
        }
    }
    io.BL("degree", s.degree);
    if (s.scenario & 1) {
        io.B("rational", s.rational);
        io.B("closed", s.closed);
        io.B("periodic", s.periodic);
        io.BD("knot tolerance", s.knotTolerance);
        io.BD("control tolerance", s.controlTolerance);
        entity_walks::countOf(io, "knot count", CountCode::BL, s.knots, 2);
        entity_walks::countOf(io, "control point count", CountCode::BL, s.controlPoints, 6);
        io.B("weighted", s.weighted);
        for (double& k : s.knots) io.BD("knot", k);
        for (SplineControlPoint& c : s.controlPoints) {
            io.BD3("control point", c.point);
            if (s.weighted)
                io.BD("weight", c.weight);
        }
    } else {
        io.BD("fit tolerance", s.fitTolerance);
        io.BD3("start tangent", s.startTangent);
        io.BD3("end tangent", s.endTangent);
        entity_walks::countOf(io, "fit point count", CountCode::BL, s.fitPoints, 6);
        for (Point3& p : s.fitPoints) io.BD3("fit point", p);
    }
}

// VIEWPORT (ODA §20.4.38): a paper space window onto model space. R13-R14
// keep the view in the viewport's VX table entry; 2000 moved it here.
struct ViewportObject {
    Point3 center;
    double width = 0.0;
    double height = 0.0;
    // 2000+.
    Point3 viewTarget;
    Point3 viewDirection{0.0, 0.0, 1.0};
    double twistAngle = 0.0;
    double viewHeight = 0.0;
    double lensLength = 50.0;
    double frontClip = 0.0;
    double backClip = 0.0;
    double snapAngle = 0.0;
    Point2 viewCenter, snapBase, snapSpacing, gridSpacing;
    std::int16_t circleZoom = 100;
    std::int16_t gridMajor = 5;  // 2007+
    std::uint32_t statusFlags = 0;
    std::string styleSheet;
    std::uint8_t renderMode = 0;
    bool ucsAtOrigin = false;
    bool ucsPerViewport = false;
    Point3 ucsOrigin;
    Point3 ucsXAxis{1.0, 0.0, 0.0};
    Point3 ucsYAxis{0.0, 1.0, 0.0};
    double ucsElevation = 0.0;
    std::int16_t ucsOrthoViewType = 0;
    std::int16_t shadePlotMode = 0;  // 2004+
    // 2007+.
    bool useDefaultLights = true;
    std::uint8_t defaultLightingType = 1;
    double brightness = 0.0;
    double contrast = 0.0;
    CmColor ambientColor;
    // Handles.
    HandleRef viewportEntityHeader;  // R13-2000: its VX table entry
    std::vector<HandleRef> frozenLayers;  // 2000+
    HandleRef clipBoundary, namedUcs, baseUcs;  // 2000+
    HandleRef background, visualStyle, shadePlot, sun;  // 2007+
};

template <class Io>
void walk(Io& io, ViewportObject& v) {
    io.BD3("center", v.center);
    io.BD("width", v.width);
    io.BD("height", v.height);
    const Release r = io.release();
    if (r >= Release::R2000) {
        io.BD3("view target", v.viewTarget);
        io.BD3("view direction", v.viewDirection);
        io.BD("twist angle", v.twistAngle);
        io.BD("view height", v.viewHeight);
        io.BD("lens length", v.lensLength);
        io.BD("front clip", v.frontClip);
        io.BD("back clip", v.backClip);
        io.BD("snap angle", v.snapAngle);
        io.RD2("view center", v.viewCenter);
        io.RD2("snap base", v.snapBase);
        io.RD2("snap spacing", v.snapSpacing);
        io.RD2("grid spacing", v.gridSpacing);
        io.BS("circle zoom", v.circleZoom);
        if (r >= Release::R2007)
            io.BS("grid major", v.gridMajor);
        // The frozen layers' handles follow the common handles.
        entity_walks::countOf(io, "frozen layer count", CountCode::BL, v.frozenLayers, 8);
        io.BL("status flags", v.statusFlags);
        io.T("style sheet", v.styleSheet);
        io.RC("render mode", v.renderMode);
        io.B("ucs at origin", v.ucsAtOrigin);
        io.B("ucs per viewport", v.ucsPerViewport);
        io.BD3("ucs origin", v.ucsOrigin);
        io.BD3("ucs x axis", v.ucsXAxis);
        io.BD3("ucs y axis", v.ucsYAxis);
        io.BD("ucs elevation", v.ucsElevation);
        io.BS("ucs ortho view type", v.ucsOrthoViewType);
        if (r >= Release::R2004)
            io.BS("shade plot mode", v.shadePlotMode);
    }
    if (r >= Release::R2007) {
        io.B("use default lights", v.useDefaultLights);
        io.RC("default lighting type", v.defaultLightingType);
        io.BD("brightness", v.brightness);
        io.BD("contrast", v.contrast);
        io.CMC("ambient color", v.ambientColor);
    }
    if (r <= Release::R14)
        io.H("viewport entity header", v.viewportEntityHeader);
    if (r >= Release::R2000) {
        for (HandleRef& h : v.frozenLayers) io.H("frozen layer", h);
        io.H("clip boundary", v.clipBoundary);
        if (r == Release::R2000)
            io.H("viewport entity header", v.viewportEntityHeader);
        io.H("named ucs", v.namedUcs);
        io.H("base ucs", v.baseUcs);
    }
    if (r >= Release::R2007) {
        io.H("background", v.background);
        io.H("visual style", v.visualStyle);
        io.H("shade plot", v.shadePlot);
        io.H("sun", v.sun);
    }
}

}  // namespace dwg
