#include "dwg/objects/geometry.h"

#include <string>

#include "dwg/errors.h"

namespace dwg {

namespace {

void checkRelease(const BitReader& in, const char* what) {
    if (in.release() >= Release::R2007)
        throw UnsupportedRelease(std::string(what) + " objects of release " + std::string(releaseName(in.release())));
}

// A count of items that take at least one bit each, checked against what
// remains before anything is allocated for them.
std::size_t readCount(BitReader& in, const char* what) {
    const std::int32_t count = in.readBL();
    if (count < 0 || static_cast<std::uint64_t>(count) > in.bitsLeft())
        throw FormatError(std::string(what) + ": expected a count of at most " + std::to_string(in.bitsLeft()) +
                          ", found " + std::to_string(count) + " at bit " + std::to_string(in.bitPos()));
    return static_cast<std::size_t>(count);
}

Point3 read3DD(BitReader& in, const Point3& defaults) {
    const double x = in.readDD(defaults.x);
    const double y = in.readDD(defaults.y);
    return {x, y, in.readDD(defaults.z)};
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

CircleGeometry decodeCircle(BitReader& in, const ObjectHeader& header) {
    checkRelease(in, "circle");
    CircleGeometry g;
    g.center = in.read3BD();
    g.radius = in.readBD();
    g.thickness = in.readBT();
    g.extrusion = in.readBE();
    checkFieldsEnd(in, header, "circle");
    return g;
}

ArcGeometry decodeArc(BitReader& in, const ObjectHeader& header) {
    checkRelease(in, "arc");
    ArcGeometry g;
    g.center = in.read3BD();
    g.radius = in.readBD();
    g.thickness = in.readBT();
    g.extrusion = in.readBE();
    g.startAngle = in.readBD();
    g.endAngle = in.readBD();
    checkFieldsEnd(in, header, "arc");
    return g;
}

PointGeometry decodePoint(BitReader& in, const ObjectHeader& header) {
    checkRelease(in, "point");
    PointGeometry g;
    g.position = in.read3BD();
    g.thickness = in.readBT();
    g.extrusion = in.readBE();
    g.xAxisAngle = in.readBD();
    checkFieldsEnd(in, header, "point");
    return g;
}

SolidGeometry decodeSolid(BitReader& in, const ObjectHeader& header) {
    checkRelease(in, "solid");
    SolidGeometry g;
    g.thickness = in.readBT();
    g.elevation = in.readBD();
    for (Point2& corner : g.corners)
        corner = in.read2RD();
    g.extrusion = in.readBE();
    checkFieldsEnd(in, header, header.type == type::Trace ? "trace" : "solid");
    return g;
}

Face3dGeometry decodeFace3d(BitReader& in, const ObjectHeader& header) {
    checkRelease(in, "3dface");
    Face3dGeometry g;
    if (in.release() <= Release::R14) {
        for (Point3& corner : g.corners)
            corner = in.read3BD();
        g.invisibleEdges = in.readBS();
    } else {
        // ODA §20.4.32: each corner defaults to the one before it.
        const bool hasNoFlags = in.readB();
        const bool zIsZero = in.readB();
        Point3& first = g.corners[0];
        first.x = in.readRD();
        first.y = in.readRD();
        if (!zIsZero)
            first.z = in.readRD();
        for (std::size_t i = 1; i < g.corners.size(); ++i)
            g.corners[i] = read3DD(in, g.corners[i - 1]);
        if (!hasNoFlags)
            g.invisibleEdges = in.readBS();
    }
    checkFieldsEnd(in, header, "3dface");
    return g;
}

EllipseGeometry decodeEllipse(BitReader& in, const ObjectHeader& header) {
    checkRelease(in, "ellipse");
    EllipseGeometry g;
    g.center = in.read3BD();
    g.majorAxis = in.read3BD();
    g.extrusion = in.read3BD();
    g.axisRatio = in.readBD();
    g.startParameter = in.readBD();
    g.endParameter = in.readBD();
    checkFieldsEnd(in, header, "ellipse");
    return g;
}

LwPolylineGeometry decodeLwPolyline(BitReader& in, const ObjectHeader& header) {
    checkRelease(in, "lwpolyline");
    LwPolylineGeometry g;
    g.flags = in.readBS();
    if (g.flags & 4)
        g.constantWidth = in.readBD();
    if (g.flags & 8)
        g.elevation = in.readBD();
    if (g.flags & 2)
        g.thickness = in.readBD();
    if (g.flags & 1)
        g.extrusion = in.read3BD();
    const std::size_t pointCount = readCount(in, "lwpolyline points");
    const std::size_t bulgeCount = (g.flags & 16) ? readCount(in, "lwpolyline bulges") : 0;
    const std::size_t widthCount = (g.flags & 32) ? readCount(in, "lwpolyline widths") : 0;
    g.points.reserve(pointCount);
    for (std::size_t i = 0; i < pointCount; ++i) {
        if (in.release() <= Release::R14 || i == 0) {
            g.points.push_back(in.read2RD());
        } else {
            // 2000+: each point after the first defaults to the one before it.
            g.points.push_back(in.read2DD(g.points.back()));
        }
    }
    g.bulges.reserve(bulgeCount);
    for (std::size_t i = 0; i < bulgeCount; ++i)
        g.bulges.push_back(in.readBD());
    g.widths.reserve(widthCount);
    for (std::size_t i = 0; i < widthCount; ++i) {
        const double start = in.readBD();
        g.widths.push_back({start, in.readBD()});
    }
    checkFieldsEnd(in, header, "lwpolyline");
    return g;
}

PolylineGeometry decodePolyline(BitReader& in, const ObjectHeader& header) {
    checkRelease(in, "polyline");
    const Release r = in.release();
    PolylineGeometry g;
    g.type = header.type;
    switch (header.type) {
        case type::Polyline2d:
            g.flags = in.readBS();
            g.curveType = in.readBS();
            g.startWidth = in.readBD();
            g.endWidth = in.readBD();
            g.thickness = in.readBT();
            g.elevation = in.readBD();
            g.extrusion = in.readBE();
            break;
        case type::Polyline3d:
            // ODA §20.4.17: two flag bytes, neither of them DXF 70 itself.
            g.splineFlags = in.readRC();
            g.flags = static_cast<std::int16_t>(in.readRC() & 1);
            break;
        case type::PolylinePface:
            g.vertexCount = in.readBS();
            g.faceCount = in.readBS();
            break;
        case type::PolylineMesh:
            g.flags = in.readBS();
            g.curveType = in.readBS();
            g.mCount = in.readBS();
            g.nCount = in.readBS();
            g.mDensity = in.readBS();
            g.nDensity = in.readBS();
            break;
        default:
            throw FormatError("polyline: expected a POLYLINE type (15, 16, 29 or 30), found type " +
                              std::to_string(header.type));
    }
    const std::size_t owned = r >= Release::R2004 ? readCount(in, "polyline vertices") : 0;
    checkFieldsEnd(in, header, "polyline");

    readCommonHandles(in, header);
    if (r <= Release::R2000) {
        g.firstVertex = readHandle(in, header);
        g.lastVertex = readHandle(in, header);
    } else {
        g.vertices.reserve(owned);
        for (std::size_t i = 0; i < owned; ++i)
            g.vertices.push_back(readHandle(in, header));
    }
    g.seqend = readHandle(in, header);
    return g;
}

VertexGeometry decodeVertex(BitReader& in, const ObjectHeader& header) {
    checkRelease(in, "vertex");
    VertexGeometry g;
    g.type = header.type;
    switch (header.type) {
        case type::Vertex2d:
            g.flags = in.readRC();
            g.point = in.read3BD();
            // ODA §20.4.11: a negative start width stands for equal start and
            // end widths, and the end width is then not stored.
            g.startWidth = in.readBD();
            if (g.startWidth < 0.0) {
                g.startWidth = -g.startWidth;
                g.endWidth = g.startWidth;
            } else {
                g.endWidth = in.readBD();
            }
            g.bulge = in.readBD();
            g.tangentDirection = in.readBD();
            break;
        case type::Vertex3d:
        case type::VertexMesh:
        case type::VertexPface:
            g.flags = in.readRC();
            g.point = in.read3BD();
            break;
        case type::VertexPfaceFace:
            for (std::int16_t& index : g.faceIndices)
                index = in.readBS();
            break;
        default:
            throw FormatError("vertex: expected a VERTEX type (10 to 14), found type " + std::to_string(header.type));
    }
    checkFieldsEnd(in, header, "vertex");
    return g;
}

MTextGeometry decodeMText(BitReader& in, const ObjectHeader& header) {
    checkRelease(in, "mtext");
    const Release r = in.release();
    MTextGeometry g;
    g.insertion = in.read3BD();
    g.extrusion = in.read3BD();
    g.xAxis = in.read3BD();
    g.rectWidth = in.readBD();
    g.textHeight = in.readBD();
    g.attachment = in.readBS();
    g.drawingDirection = in.readBS();
    g.extentsHeight = in.readBD();
    g.extentsWidth = in.readBD();
    g.text = in.readTV();
    if (r >= Release::R2000) {
        g.lineSpacingStyle = in.readBS();
        g.lineSpacingFactor = in.readBD();
        in.readB();  // unknown
    }
    if (r >= Release::R2004) {
        g.backgroundFlags = in.readBL();
        if (g.backgroundFlags & 1) {
            in.readBL();   // scale
            in.readCMC();  // colour
            in.readBL();   // transparency
        }
    }
    checkFieldsEnd(in, header, "mtext");
    return g;
}

}  // namespace dwg
