#pragma once
// The geometry of the drawable entities, decoded only (ODA §20.4.11-12, .16-18,
// .20-21, .31-35, .39, .46, .85): what bounding boxes and similar measurements
// need. These objects are never re-encoded here; an entity nobody edits is
// written back from its stored bits.
//
// Every decoder takes `in` at header.bodyAt, reads the type's own fields and
// throws FormatError unless they end exactly at header.handlesAt, so a field
// list that does not match the file is noticed instead of giving wrong
// numbers. Decoders that need handles (the polylines) read them too.
//
// Coordinates are stored as the format stores them: WCS for LINE, POINT,
// 3DFACE, ELLIPSE, MTEXT and 3D / mesh / face polyline vertices; the entity's
// OCS (given by its extrusion) for ARC, CIRCLE, SOLID, TRACE, LWPOLYLINE and
// 2D polylines with their vertices.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dwg/objects/object_header.h"

namespace dwg {

struct LineGeometry {
    Point3 start, end;  // WCS
    double thickness = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};  // the direction of the thickness
};

struct CircleGeometry {
    Point3 center;  // OCS; z is the elevation
    double radius = 0.0;
    double thickness = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
};

struct ArcGeometry {
    Point3 center;  // OCS
    double radius = 0.0;
    double thickness = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
    // Radians from the OCS X axis; the arc runs counter-clockwise from start to end.
    double startAngle = 0.0;
    double endAngle = 0.0;
};

struct PointGeometry {
    Point3 position;  // WCS
    double thickness = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
    double xAxisAngle = 0.0;
};

// SOLID and TRACE, which share their layout.
struct SolidGeometry {
    double thickness = 0.0;
    double elevation = 0.0;
    std::array<Point2, 4> corners;  // OCS, at the elevation
    Point3 extrusion{0.0, 0.0, 1.0};
};

struct Face3dGeometry {
    std::array<Point3, 4> corners;  // WCS
    std::int16_t invisibleEdges = 0;
};

struct EllipseGeometry {
    Point3 center;     // WCS
    Point3 majorAxis;  // WCS vector from the center to the end of the major axis
    Point3 extrusion{0.0, 0.0, 1.0};
    double axisRatio = 1.0;  // minor / major
    // Eccentric anomaly in radians; the curve runs counter-clockwise about the extrusion.
    double startParameter = 0.0;
    double endParameter = 0.0;
};

struct LwPolylineGeometry {
    struct Width {
        double start = 0.0;
        double end = 0.0;
    };
    // 1 extrusion stored, 2 thickness, 4 constant width, 8 elevation,
    // 16 bulges, 32 widths, 256 linetype generation, 512 closed.
    std::int16_t flags = 0;
    double constantWidth = 0.0;
    double elevation = 0.0;
    double thickness = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
    std::vector<Point2> points;  // OCS
    std::vector<double> bulges;  // empty, or one per point: the segment that starts there
    std::vector<Width> widths;   // empty, or one per point
    bool closed() const { return (flags & 512) != 0; }
};

// POLYLINE (2D, 3D, polyface mesh and polygon mesh) with the handles of its
// VERTEX entities.
struct PolylineGeometry {
    std::uint16_t type = 0;  // type::Polyline2d, Polyline3d, PolylinePface or PolylineMesh
    // 2D and mesh: DXF 70 (1 closed or M-closed, 2 curve-fit, 4 spline-fit,
    // 32 N-closed...); 3D: bit 0 of the second flag byte, closed.
    std::int16_t flags = 0;
    std::int16_t curveType = 0;  // 2D and mesh: DXF 75
    std::uint8_t splineFlags = 0;  // 3D: 1 or 2 = splined (DXF 75 of 5 or 6)
    double startWidth = 0.0, endWidth = 0.0;  // 2D
    double thickness = 0.0;                   // 2D
    double elevation = 0.0;                   // 2D: the z of every vertex, in the OCS
    Point3 extrusion{0.0, 0.0, 1.0};          // 2D
    std::int16_t vertexCount = 0, faceCount = 0;  // polyface mesh
    std::int16_t mCount = 0, nCount = 0, mDensity = 0, nDensity = 0;  // polygon mesh

    // R13-2000: the first and last of a linked run; 2004: every vertex.
    std::uint64_t firstVertex = 0, lastVertex = 0;
    std::vector<std::uint64_t> vertices;
    std::uint64_t seqend = 0;

    bool closed() const { return (flags & 1) != 0; }
};

// VERTEX of every kind.
struct VertexGeometry {
    std::uint16_t type = 0;  // type::Vertex2d ... type::VertexPfaceFace
    // DXF 70: 1 curve-fit extra vertex, 8 spline vertex, 16 spline frame
    // control point, 32 3D polyline vertex, 64 mesh vertex, 128 face vertex.
    std::uint8_t flags = 0;
    Point3 point;  // 2D: OCS, z taken from the polyline's elevation; others: WCS
    // 2D
    double startWidth = 0.0, endWidth = 0.0;
    double bulge = 0.0;
    double tangentDirection = 0.0;
    // Face record (type::VertexPfaceFace): 1-based vertex indices, negative
    // for an invisible edge; it has no point.
    std::array<std::int16_t, 4> faceIndices{};
};

struct MTextGeometry {
    Point3 insertion;  // WCS
    Point3 extrusion{0.0, 0.0, 1.0};
    Point3 xAxis{1.0, 0.0, 0.0};  // WCS direction of the text's X axis
    double rectWidth = 0.0;       // the reference rectangle's width, 0 when not wrapped
    double textHeight = 0.0;
    // 1 top left, 2 top center, 3 top right, 4-6 middle, 7-9 bottom.
    std::int16_t attachment = 1;
    std::int16_t drawingDirection = 1;  // 1 left to right, 3 top to bottom, 5 by style
    double extentsHeight = 0.0;
    double extentsWidth = 0.0;
    std::string text;  // bytes in the drawing's code page, with formatting codes
    // 2000+
    std::int16_t lineSpacingStyle = 0;
    double lineSpacingFactor = 1.0;
    // 2004+
    std::int32_t backgroundFlags = 0;
};

// `in` at header.bodyAt of an object of the decoder's type. Releases from
// 2007 on are rejected with UnsupportedRelease.
LineGeometry decodeLine(BitReader& in, const ObjectHeader& header);
CircleGeometry decodeCircle(BitReader& in, const ObjectHeader& header);
ArcGeometry decodeArc(BitReader& in, const ObjectHeader& header);
PointGeometry decodePoint(BitReader& in, const ObjectHeader& header);
SolidGeometry decodeSolid(BitReader& in, const ObjectHeader& header);  // SOLID and TRACE
Face3dGeometry decodeFace3d(BitReader& in, const ObjectHeader& header);
EllipseGeometry decodeEllipse(BitReader& in, const ObjectHeader& header);
// LWPOLYLINE, a fixed type from 2000 on and the class "LWPLINE" /
// "LWPOLYLINE" in R13 and R14.
LwPolylineGeometry decodeLwPolyline(BitReader& in, const ObjectHeader& header);
// Reads on into the handle stream for the vertex handles.
PolylineGeometry decodePolyline(BitReader& in, const ObjectHeader& header);
VertexGeometry decodeVertex(BitReader& in, const ObjectHeader& header);
MTextGeometry decodeMText(BitReader& in, const ObjectHeader& header);

}  // namespace dwg
