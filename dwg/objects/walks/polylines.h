#pragma once
// Polylines and their vertices (ODA §20.4.11-17, §20.4.33-34, §20.4.85):
// the old-style POLYLINEs that own a VERTEX entity per point and close with
// a SEQEND, and the LWPOLYLINE that holds its points itself.

#include <cstdint>
#include <vector>

#include "dwg/objects/object.h"
#include "dwg/objects/walks/text.h"

namespace dwg {

// VERTEX (2D) (ODA §20.4.11). The point is in the polyline's OCS; its z is
// the polyline's elevation.
struct Vertex2dObject {
    std::uint8_t flags = 0;
    Point3 point;
    double startWidth = 0.0;
    double endWidth = 0.0;
    // Equal non-zero widths may be stored once, as a negative start width
    // with no end width. Kept as read: AutoCAD does not always use it.
    bool sharedWidth = false;
    double bulge = 0.0;
    std::int32_t vertexId = 0;  // 2010+
    double tangentDirection = 0.0;
};

template <class Io>
void walk(Io& io, Vertex2dObject& v) {
    io.RC("flags", v.flags);  // EC: a plain byte
    io.BD3("point", v.point);
    if constexpr (Io::writing)
        v.sharedWidth = v.sharedWidth && v.startWidth > 0.0 && v.endWidth == v.startWidth;
    double start = v.sharedWidth ? -v.startWidth : v.startWidth;
    io.BD("start width", start);
    if constexpr (Io::reading) {
        v.sharedWidth = start < 0.0;
        v.startWidth = v.sharedWidth ? -start : start;
    }
    if (!v.sharedWidth)
        io.BD("end width", v.endWidth);
    else if constexpr (Io::reading)
        v.endWidth = v.startWidth;
    io.BD("bulge", v.bulge);
    if (io.release() >= Release::R2010)
        io.BL("vertex id", v.vertexId);
    io.BD("tangent direction", v.tangentDirection);
}

// VERTEX (3D), (MESH) and (PFACE) (ODA §20.4.12-14): the same fields.
struct Vertex3dObject {
    std::uint8_t flags = 0;
    Point3 point;
};

template <class Io>
void walk(Io& io, Vertex3dObject& v) {
    io.RC("flags", v.flags);  // EC: a plain byte
    io.BD3("point", v.point);
}

struct VertexMeshObject : Vertex3dObject {};
template <class Io>
void walk(Io& io, VertexMeshObject& v) {
    walk(io, static_cast<Vertex3dObject&>(v));
}

struct VertexPfaceObject : Vertex3dObject {};
template <class Io>
void walk(Io& io, VertexPfaceObject& v) {
    walk(io, static_cast<Vertex3dObject&>(v));
}

// VERTEX (PFACE FACE) (ODA §20.4.15): the 1-based indices of a face's
// vertices; a negative index hides the edge that starts there.
struct VertexPfaceFaceObject {
    std::int16_t indices[4] = {0, 0, 0, 0};
};

template <class Io>
void walk(Io& io, VertexPfaceFaceObject& f) {
    io.BS("index 1", f.indices[0]);
    io.BS("index 2", f.indices[1]);
    io.BS("index 3", f.indices[2]);
    io.BS("index 4", f.indices[3]);
}

// POLYLINE (2D) (ODA §20.4.16).
struct Polyline2dObject {
    std::int16_t flags = 0;
    std::int16_t curveType = 0;
    double startWidth = 0.0;
    double endWidth = 0.0;
    double thickness = 0.0;
    double elevation = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
    OwnedEntities vertices;
};

template <class Io>
void walk(Io& io, Polyline2dObject& p) {
    io.BS("flags", p.flags);
    io.BS("curve type", p.curveType);
    io.BD("start width", p.startWidth);
    io.BD("end width", p.endWidth);
    io.BT("thickness", p.thickness);
    io.BD("elevation", p.elevation);
    io.BE("extrusion", p.extrusion);
    walkOwnedCount(io, p.vertices);
    walkOwnedHandles(io, p.vertices);
}

// POLYLINE (3D) (ODA §20.4.17).
struct Polyline3dObject {
    std::uint8_t splineFlags = 0;  // 1 quadratic (DXF 75 = 5), 2 cubic (6)
    std::uint8_t flags = 0;        // 1 closed
    OwnedEntities vertices;
};

template <class Io>
void walk(Io& io, Polyline3dObject& p) {
    io.RC("spline flags", p.splineFlags);
    io.RC("flags", p.flags);
    walkOwnedCount(io, p.vertices);
    walkOwnedHandles(io, p.vertices);
}

// POLYLINE (PFACE) (ODA §20.4.33).
struct PolylinePfaceObject {
    std::int16_t vertexCount = 0;
    std::int16_t faceCount = 0;
    OwnedEntities vertices;  // the vertices, then the faces
};

template <class Io>
void walk(Io& io, PolylinePfaceObject& p) {
    io.BS("vertex count", p.vertexCount);
    io.BS("face count", p.faceCount);
    walkOwnedCount(io, p.vertices);
    walkOwnedHandles(io, p.vertices);
}

// POLYLINE (MESH) (ODA §20.4.34).
struct PolylineMeshObject {
    std::int16_t flags = 0;
    std::int16_t curveType = 0;
    std::int16_t mCount = 0;
    std::int16_t nCount = 0;
    std::int16_t mDensity = 0;
    std::int16_t nDensity = 0;
    OwnedEntities vertices;
};

template <class Io>
void walk(Io& io, PolylineMeshObject& p) {
    io.BS("flags", p.flags);
    io.BS("curve type", p.curveType);
    io.BS("m count", p.mCount);
    io.BS("n count", p.nCount);
    io.BS("m density", p.mDensity);
    io.BS("n density", p.nDensity);
    walkOwnedCount(io, p.vertices);
    walkOwnedHandles(io, p.vertices);
}

// LWPOLYLINE (ODA §20.4.85). Its flag word says which fields and lists are
// stored: 1 extrusion, 2 thickness, 4 constant width, 8 elevation,
// 16 bulges, 32 widths, 1024 vertex ids (2010+); and 256 plinegen,
// 512 closed.
struct LwPolylineObject {
    std::uint16_t flags = 0;
    double constantWidth = 0.0;
    double elevation = 0.0;
    double thickness = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
    std::vector<Point2> points;
    std::vector<double> bulges;
    std::vector<std::int32_t> vertexIds;
    struct Widths {
        double start = 0.0;
        double end = 0.0;
    };
    std::vector<Widths> widths;
};

// The flag word for the values: a field or list stays stored where it was,
// and is stored wherever it differs from its default.
inline std::uint16_t lwPolylineFlagsFor(const LwPolylineObject& p) {
    std::uint16_t f = p.flags;
    auto need = [&f](std::uint16_t bit, bool stored) {
        if (stored)
            f = static_cast<std::uint16_t>(f | bit);
    };
    need(0x01, p.extrusion != Point3{0.0, 0.0, 1.0});
    need(0x02, p.thickness != 0.0);
    need(0x04, p.constantWidth != 0.0);
    need(0x08, p.elevation != 0.0);
    need(0x10, !p.bulges.empty());
    need(0x20, !p.widths.empty());
    need(0x400, !p.vertexIds.empty());
    return f;
}

template <class Io>
void walk(Io& io, LwPolylineObject& p) {
    const bool r2000 = io.release() >= Release::R2000;
    const bool r2010 = io.release() >= Release::R2010;
    if constexpr (Io::writing)
        p.flags = lwPolylineFlagsFor(p);
    io.BS("flags", p.flags);
    const std::uint16_t f = p.flags;
    if (f & 0x04)
        io.BD("constant width", p.constantWidth);
    if (f & 0x08)
        io.BD("elevation", p.elevation);
    if (f & 0x02)
        io.BD("thickness", p.thickness);
    if (f & 0x01)
        io.BD3("extrusion", p.extrusion);
    std::size_t points = p.points.size();
    io.count("point count", CountCode::BL, points, r2000 ? 2 : 128);
    p.points.resize(points);
    if (f & 0x10) {
        std::size_t n = p.bulges.size();
        io.count("bulge count", CountCode::BL, n, 2);
        p.bulges.resize(n);
    }
    if (r2010 && (f & 0x400)) {
        std::size_t n = p.vertexIds.size();
        io.count("vertex id count", CountCode::BL, n, 2);
        p.vertexIds.resize(n);
    }
    if (f & 0x20) {
        std::size_t n = p.widths.size();
        io.count("width count", CountCode::BL, n, 4);
        p.widths.resize(n);
    }
    for (std::size_t i = 0; i < p.points.size(); ++i) {
        // 2000+: each point after the first defaults to the one before.
        if (!r2000 || i == 0)
            io.RD2("point", p.points[i]);
        else
            io.DD2("point", p.points[i], p.points[i - 1]);
    }
    for (double& b : p.bulges) io.BD("bulge", b);
    if (r2010)
        for (std::int32_t& id : p.vertexIds) io.BL("vertex id", id);
    for (LwPolylineObject::Widths& w : p.widths) {
        io.BD("start width", w.start);
        io.BD("end width", w.end);
    }
}

}  // namespace dwg
