#pragma once
// HATCH (ODA §20.4.75): boundary paths of edges or polylines, the pattern's
// lines, seed points and, from 2004 on, a gradient fill. Boundary points are
// 2D in the hatch's OCS, at its elevation.

#include <cstdint>
#include <string>
#include <vector>

#include "dwg/errors.h"
#include "dwg/objects/object.h"

namespace dwg {

struct HatchGradientColor {
    double shift = 0.0;
    CmColor color;
};

struct HatchGradient {
    std::uint32_t isGradient = 0;  // non-zero: the hatch is a gradient fill
    std::uint32_t reserved = 0;
    double angle = 0.0;
    double shift = 0.0;
    std::uint32_t singleColor = 0;
    double tint = 0.0;
    std::vector<HatchGradientColor> colors;
    Text name;
};

template <class Io>
void walk(Io& io, HatchGradient& g) {
    io.BL("gradient", g.isGradient);
    io.BL("reserved", g.reserved);
    io.BD("gradient angle", g.angle);
    io.BD("gradient shift", g.shift);
    io.BL("single color gradient", g.singleColor);
    io.BD("gradient tint", g.tint);
    std::size_t n = g.colors.size();
    io.count("gradient colors", CountCode::BL, n, 2 + 2 + 2 + 8);
    g.colors.resize(n);
    for (HatchGradientColor& c : g.colors) {
        io.BD("color shift", c.shift);
        // BS index, BL RGB and the flags byte: a CMC, whose names follow
        // when the flags say so.
        io.CMC("color", c.color);
    }
    io.T("gradient name", g.name);
}

// One edge of a boundary path made of edges.
struct HatchEdge {
    enum Type : std::uint8_t { Line = 1, CircularArc = 2, EllipticArc = 3, Spline = 4 };
    std::uint8_t type = Line;
    // Line: start and end. Arcs: the center; the ellipse's major axis end
    // (relative to the center) in `end`.
    Point2 start;
    Point2 end;
    double radius = 0.0;      // circular arc: the radius; elliptic arc: minor to major axis ratio
    double startAngle = 0.0;
    double endAngle = 0.0;
    bool counterClockwise = false;
    // Spline.
    std::int32_t degree = 0;
    bool rational = false;
    bool periodic = false;
    std::vector<double> knots;
    std::vector<Point2> controlPoints;
    std::vector<double> weights;  // one a control point when rational
    std::vector<Point2> fitPoints;  // 2010+
    Point2 startTangent, endTangent;  // 2010+, with fit points
};

template <class Io>
void walk(Io& io, HatchEdge& e) {
    io.RC("edge type", e.type);
    switch (e.type) {
    case HatchEdge::Line:
        io.RD2("start", e.start);
        io.RD2("end", e.end);
        break;
    case HatchEdge::CircularArc:
        io.RD2("center", e.start);
        io.BD("radius", e.radius);
        io.BD("start angle", e.startAngle);
        io.BD("end angle", e.endAngle);
        io.B("counterclockwise", e.counterClockwise);
        break;
    case HatchEdge::EllipticArc:
        io.RD2("center", e.start);
        io.RD2("major axis end", e.end);
        io.BD("axis ratio", e.radius);
        io.BD("start angle", e.startAngle);
        io.BD("end angle", e.endAngle);
        io.B("counterclockwise", e.counterClockwise);
        break;
    case HatchEdge::Spline: {
        io.BL("degree", e.degree);
        io.B("rational", e.rational);
        io.B("periodic", e.periodic);
        std::size_t knots = e.knots.size();
        io.count("knots", CountCode::BL, knots, 2);
        std::size_t points = e.controlPoints.size();
        io.count("control points", CountCode::BL, points, 128);
        e.knots.resize(knots);
        for (double& k : e.knots) io.BD("knot", k);
        e.controlPoints.resize(points);
        e.weights.resize(e.rational ? points : 0);
        for (std::size_t i = 0; i < points; ++i) {
            io.RD2("control point", e.controlPoints[i]);
            if (e.rational)
                io.BD("weight", e.weights[i]);
        }
        if (io.release() >= Release::R2010) {
            std::size_t fit = e.fitPoints.size();
            io.count("fit points", CountCode::BL, fit, 128);
            e.fitPoints.resize(fit);
            // The tangents come only with fit points (as AutoCAD writes them).
            if (fit > 0) {
                for (Point2& p : e.fitPoints) io.RD2("fit point", p);
                io.RD2("start tangent", e.startTangent);
                io.RD2("end tangent", e.endTangent);
            }
        }
        break;
    }
    default:
        throw FormatError("hatch edge: expected a type from 1 to 4, found " + std::to_string(e.type));
    }
}

struct HatchPathVertex {
    Point2 point;
    double bulge = 0.0;
};

struct HatchPath {
    // 1 external, 2 a polyline, 4 derived, 8 textbox, 16 outermost...
    std::uint32_t flags = 0;
    std::vector<HatchEdge> edges;            // when not a polyline
    bool hasBulges = false;                  // a polyline
    bool closed = false;
    std::vector<HatchPathVertex> vertices;
    std::vector<HandleRef> boundaryObjects;  // the entities the path follows
    bool isPolyline() const noexcept { return (flags & 2U) != 0; }
};

template <class Io>
void walk(Io& io, HatchPath& p) {
    io.BL("path flags", p.flags);
    if (!p.isPolyline()) {
        std::size_t n = p.edges.size();
        io.count("edges", CountCode::BL, n, 8);
        p.edges.resize(n);
        for (HatchEdge& e : p.edges) walk(io, e);
    } else {
        io.B("has bulges", p.hasBulges);
        io.B("closed", p.closed);
        std::size_t n = p.vertices.size();
        io.count("vertices", CountCode::BL, n, 128);
        p.vertices.resize(n);
        for (HatchPathVertex& v : p.vertices) {
            io.RD2("vertex", v.point);
            if (p.hasBulges)
                io.BD("bulge", v.bulge);
        }
    }
    std::size_t n = p.boundaryObjects.size();
    io.count("boundary objects", CountCode::BL, n, 8);
    p.boundaryObjects.resize(n);
    for (HandleRef& h : p.boundaryObjects) io.H("boundary object", h);
}

struct HatchPatternLine {
    double angle = 0.0;
    Point2 basePoint;
    Point2 offset;
    std::vector<double> dashes;
};

template <class Io>
void walk(Io& io, HatchPatternLine& l) {
    io.BD("line angle", l.angle);
    io.BD2("line base point", l.basePoint);
    io.BD2("line offset", l.offset);
    std::size_t n = l.dashes.size();
    io.count("dashes", CountCode::BS, n, 2);
    l.dashes.resize(n);
    for (double& d : l.dashes) io.BD("dash length", d);
}

struct HatchObject {
    HatchGradient gradient;  // 2004+
    double elevation = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
    Text name;        // the pattern's name, "SOLID" for a solid fill
    bool solidFill = true;
    bool associative = false;
    std::vector<HatchPath> paths;
    std::uint16_t style = 0;        // 0 odd parity, 1 outermost, 2 whole area
    std::uint16_t patternType = 1;  // 0 user defined, 1 predefined, 2 custom
    // Not for a solid fill.
    double patternAngle = 0.0;
    double patternScale = 1.0;      // or the spacing of a user defined pattern
    bool doubleHatch = false;
    std::vector<HatchPatternLine> patternLines;
    // When a path is derived (flag 4).
    double pixelSize = 0.0;
    std::vector<Point2> seedPoints;
};

template <class Io>
void walk(Io& io, HatchObject& h) {
    if (io.release() >= Release::R2004)
        walk(io, h.gradient);
    io.BD("elevation", h.elevation);
    io.BD3("extrusion", h.extrusion);
    io.T("name", h.name);
    io.B("solid fill", h.solidFill);
    io.B("associative", h.associative);
    std::size_t n = h.paths.size();
    io.count("paths", CountCode::BL, n, 2 + 2 + 2);
    h.paths.resize(n);
    bool derived = false;
    for (HatchPath& p : h.paths) {
        walk(io, p);
        derived = derived || (p.flags & 4U) != 0;
    }
    io.BS("style", h.style);
    io.BS("pattern type", h.patternType);
    if (!h.solidFill) {
        io.BD("pattern angle", h.patternAngle);
        io.BD("pattern scale", h.patternScale);
        io.B("double hatch", h.doubleHatch);
        n = h.patternLines.size();
        io.count("pattern lines", CountCode::BS, n, 2 + 4 + 4 + 2);
        h.patternLines.resize(n);
        for (HatchPatternLine& l : h.patternLines) walk(io, l);
    }
    if (derived)
        io.BD("pixel size", h.pixelSize);
    n = h.seedPoints.size();
    io.count("seed points", CountCode::BL, n, 128);
    h.seedPoints.resize(n);
    for (Point2& p : h.seedPoints) io.RD2("seed point", p);
}

}  // namespace dwg
