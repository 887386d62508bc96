#pragma once
// The dimensions (ODA §20.4.19, §20.4.22-29) and the other annotations that
// hang on a dimension style: LEADER, TOLERANCE (§20.4.47, §20.4.49), and
// MLINE (§20.4.50). Points are named after their DXF group codes where the
// group code is what the DXF reference explains them by.

#include <cstdint>
#include <string>
#include <vector>

#include "dwg/objects/object.h"

namespace dwg {

// The data every dimension starts with (ODA §20.4.22), and the two handles
// every dimension ends with.
struct DimensionData {
    std::uint8_t version = 0;  // 2010+
    Point3 extrusion{0.0, 0.0, 1.0};
    Point2 textMidpoint;     // 11, in the OCS
    double elevation = 0.0;  // the z of the OCS points 11 and 12
    // Bit 0: the opposite of the "text at its default place" bit (128) of
    // group 70; bit 1: bit 32 of group 70 (the block is this dimension's own).
    std::uint8_t flags = 0;
    Text userText;
    double textRotation = 0.0;
    double horizontalDirection = 0.0;
    Point3 insertionScale{1.0, 1.0, 1.0};  // of the anonymous block
    double insertionRotation = 0.0;
    // 2000+.
    std::uint16_t attachmentPoint = 0;
    std::uint16_t lineSpacingStyle = 1;
    double lineSpacingFactor = 1.0;
    double actualMeasurement = 0.0;
    // 2007+.
    bool unknown = false;
    bool flipArrow1 = false;
    bool flipArrow2 = false;
    Point2 insertionPoint;  // 12, the anonymous block's insertion in the OCS
    // Handles.
    HandleRef dimstyle;
    HandleRef block;  // the anonymous block that draws the dimension
};

template <class Io>
void walk(Io& io, DimensionData& d) {
    if (io.release() >= Release::R2010)
        io.RC("version", d.version);
    io.BD3("extrusion", d.extrusion);
    io.RD2("text midpoint", d.textMidpoint);
    io.BD("elevation", d.elevation);
    io.RC("flags", d.flags);
    io.T("user text", d.userText);
    io.BD("text rotation", d.textRotation);
    io.BD("horizontal direction", d.horizontalDirection);
    io.BD("insertion x scale", d.insertionScale.x);
    io.BD("insertion y scale", d.insertionScale.y);
    io.BD("insertion z scale", d.insertionScale.z);
    io.BD("insertion rotation", d.insertionRotation);
    if (io.release() >= Release::R2000) {
        io.BS("attachment point", d.attachmentPoint);
        io.BS("line spacing style", d.lineSpacingStyle);
        io.BD("line spacing factor", d.lineSpacingFactor);
        io.BD("actual measurement", d.actualMeasurement);
    }
    if (io.release() >= Release::R2007) {
        io.B("unknown", d.unknown);
        io.B("flip arrow 1", d.flipArrow1);
        io.B("flip arrow 2", d.flipArrow2);
    }
    io.RD2("insertion point", d.insertionPoint);
}

// The handles come after the type's own fields; walked by each type once
// its fields are done, so the printed fields keep the stored order.
template <class Io>
void walkDimensionHandles(Io& io, DimensionData& d) {
    io.H("dimension style", d.dimstyle);
    io.H("block", d.block);
}

struct OrdinateDimensionObject {
    DimensionData dimension;
    Point3 definitionPoint;  // 10: the UCS origin the ordinate is measured from
    Point3 featurePoint;     // 13
    Point3 leaderEnd;        // 14
    // Bit 0: the ordinate is an x ordinate (bit 64 of group 70).
    std::uint8_t flags2 = 0;
};

template <class Io>
void walk(Io& io, OrdinateDimensionObject& d) {
    walk(io, d.dimension);
    io.BD3("definition point", d.definitionPoint);
    io.BD3("feature point", d.featurePoint);
    io.BD3("leader end", d.leaderEnd);
    io.RC("flags 2", d.flags2);
    walkDimensionHandles(io, d.dimension);
}

// LINEAR and ALIGNED: two extension line origins and a point on the
// dimension line; LINEAR adds the dimension line's rotation.
struct LinearDimensionObject {
    DimensionData dimension;
    Point3 extensionLine1;    // 13
    Point3 extensionLine2;    // 14
    Point3 definitionPoint;   // 10, on the dimension line
    double obliqueAngle = 0.0;  // 52, of the extension lines
    double rotation = 0.0;      // 50
};

template <class Io>
void walk(Io& io, LinearDimensionObject& d) {
    walk(io, d.dimension);
    io.BD3("extension line 1", d.extensionLine1);
    io.BD3("extension line 2", d.extensionLine2);
    io.BD3("definition point", d.definitionPoint);
    io.BD("oblique angle", d.obliqueAngle);
    io.BD("rotation", d.rotation);
    walkDimensionHandles(io, d.dimension);
}

struct AlignedDimensionObject {
    DimensionData dimension;
    Point3 extensionLine1;    // 13
    Point3 extensionLine2;    // 14
    Point3 definitionPoint;   // 10, on the dimension line
    double obliqueAngle = 0.0;  // 52
};

template <class Io>
void walk(Io& io, AlignedDimensionObject& d) {
    walk(io, d.dimension);
    io.BD3("extension line 1", d.extensionLine1);
    io.BD3("extension line 2", d.extensionLine2);
    io.BD3("definition point", d.definitionPoint);
    io.BD("oblique angle", d.obliqueAngle);
    walkDimensionHandles(io, d.dimension);
}

struct Angular3PointDimensionObject {
    DimensionData dimension;
    Point3 arcPoint;        // 10, on the dimension arc
    Point3 firstPoint;      // 13, end of the first extension line
    Point3 secondPoint;     // 14
    Point3 vertex;          // 15, the angle's vertex
};

template <class Io>
void walk(Io& io, Angular3PointDimensionObject& d) {
    walk(io, d.dimension);
    io.BD3("arc point", d.arcPoint);
    io.BD3("first point", d.firstPoint);
    io.BD3("second point", d.secondPoint);
    io.BD3("vertex", d.vertex);
    walkDimensionHandles(io, d.dimension);
}

struct Angular2LineDimensionObject {
    DimensionData dimension;
    Point2 arcPoint;          // 16, on the dimension arc, in the OCS
    Point3 firstLineStart;    // 13
    Point3 firstLineEnd;      // 14
    Point3 secondLineStart;   // 15
    Point3 secondLineEnd;     // 10
};

template <class Io>
void walk(Io& io, Angular2LineDimensionObject& d) {
    walk(io, d.dimension);
    io.RD2("arc point", d.arcPoint);
    io.BD3("first line start", d.firstLineStart);
    io.BD3("first line end", d.firstLineEnd);
    io.BD3("second line start", d.secondLineStart);
    io.BD3("second line end", d.secondLineEnd);
    walkDimensionHandles(io, d.dimension);
}

struct RadiusDimensionObject {
    DimensionData dimension;
    Point3 center;          // 10
    Point3 arcPoint;        // 15, where the dimension line meets the curve
    double leaderLength = 0.0;
};

template <class Io>
void walk(Io& io, RadiusDimensionObject& d) {
    walk(io, d.dimension);
    io.BD3("center", d.center);
    io.BD3("arc point", d.arcPoint);
    io.BD("leader length", d.leaderLength);
    walkDimensionHandles(io, d.dimension);
}

struct DiameterDimensionObject {
    DimensionData dimension;
    Point3 arcPoint;        // 15
    Point3 farArcPoint;     // 10, opposite 15 across the circle
    double leaderLength = 0.0;
};

template <class Io>
void walk(Io& io, DiameterDimensionObject& d) {
    walk(io, d.dimension);
    io.BD3("arc point", d.arcPoint);
    io.BD3("far arc point", d.farArcPoint);
    io.BD("leader length", d.leaderLength);
    walkDimensionHandles(io, d.dimension);
}

// ARC_DIMENSION (a class, 2004+): an arc's length.
struct ArcDimensionObject {
    DimensionData dimension;
    Point3 arcPoint;          // 10, on the dimension arc
    Point3 extensionLine1;    // 13
    Point3 extensionLine2;    // 14
    Point3 center;            // 15
    bool partial = false;
    double startAngle = 0.0;
    double endAngle = 0.0;
    bool hasLeader = false;
    Point3 leader1;           // 16
    Point3 leader2;           // 17
};

template <class Io>
void walk(Io& io, ArcDimensionObject& d) {
    walk(io, d.dimension);
    io.BD3("arc point", d.arcPoint);
    io.BD3("extension line 1", d.extensionLine1);
    io.BD3("extension line 2", d.extensionLine2);
    io.BD3("center", d.center);
    io.B("partial", d.partial);
    io.BD("start angle", d.startAngle);
    io.BD("end angle", d.endAngle);
    io.B("has leader", d.hasLeader);
    io.BD3("leader point 1", d.leader1);
    io.BD3("leader point 2", d.leader2);
    walkDimensionHandles(io, d.dimension);
}

struct LeaderObject {
    bool unknown = false;
    std::uint16_t annotationType = 3;  // 0 MTEXT, 1 TOLERANCE, 2 INSERT, 3 none
    std::uint16_t pathType = 0;        // 0 straight segments, 1 spline
    std::vector<Point3> points;
    Point3 origin;                     // of the leader's plane
    Point3 extrusion{0.0, 0.0, 1.0};
    Point3 xDirection{1.0, 0.0, 0.0};
    Point3 blockOffset;                // 212, for a block annotation
    Point3 endOffset;                  // R14+: from the last point to the annotation
    double dimgap = 0.0;               // R13-R14: DIMGAP x DIMSCALE when made
    double boxHeight = 0.0;
    double boxWidth = 0.0;
    bool hookLineOnXDirection = false;
    bool arrowhead = false;
    std::uint16_t arrowheadType = 0;
    // R13-R14.
    double arrowSize = 0.0;            // DIMASZ x DIMSCALE when made
    bool unknown2 = false, unknown3 = false;
    std::uint16_t unknown4 = 0;
    std::uint16_t byBlockColor = 0;
    // All releases.
    bool unknown5 = false, unknown6 = false;
    HandleRef annotation;
    HandleRef dimstyle;
};

template <class Io>
void walk(Io& io, LeaderObject& l) {
    io.B("unknown", l.unknown);
    io.BS("annotation type", l.annotationType);
    io.BS("path type", l.pathType);
    std::size_t n = l.points.size();
    io.count("points", CountCode::BL, n, 6);
    l.points.resize(n);
    for (Point3& p : l.points) io.BD3("point", p);
    io.BD3("origin", l.origin);
    io.BD3("extrusion", l.extrusion);
    io.BD3("x direction", l.xDirection);
    io.BD3("block offset", l.blockOffset);
    if (io.release() >= Release::R14)  // R13 leaders lack it
        io.BD3("end offset", l.endOffset);
    if (io.release() <= Release::R14)
        io.BD("dimgap", l.dimgap);
    io.BD("box height", l.boxHeight);
    io.BD("box width", l.boxWidth);
    io.B("hook line on x direction", l.hookLineOnXDirection);
    io.B("arrowhead", l.arrowhead);
    io.BS("arrowhead type", l.arrowheadType);
    if (io.release() <= Release::R14) {
        io.BD("arrow size", l.arrowSize);
        io.B("unknown 2", l.unknown2);
        io.B("unknown 3", l.unknown3);
        io.BS("unknown 4", l.unknown4);
        io.BS("by block color", l.byBlockColor);
    }
    io.B("unknown 5", l.unknown5);
    io.B("unknown 6", l.unknown6);
    io.H("annotation", l.annotation);
    io.H("dimension style", l.dimstyle);
}

// A feature control frame.
struct ToleranceObject {
    // R13-R14.
    std::uint16_t unknown = 0;
    double height = 0.0;
    double dimgap = 0.0;
    // All releases.
    Point3 insertion;
    Point3 xDirection{1.0, 0.0, 0.0};
    Point3 extrusion{0.0, 0.0, 1.0};
    Text text;
    HandleRef dimstyle;
};

template <class Io>
void walk(Io& io, ToleranceObject& t) {
    if (io.release() <= Release::R14) {
        io.BS("unknown", t.unknown);
        io.BD("height", t.height);
        io.BD("dimgap", t.dimgap);
    }
    io.BD3("insertion", t.insertion);
    io.BD3("x direction", t.xDirection);
    io.BD3("extrusion", t.extrusion);
    io.T("text", t.text);
    io.H("dimension style", t.dimstyle);
}

// One line of the style at one vertex: where its dashes break, and where
// its area fill breaks.
struct MlineElementParameters {
    std::vector<double> segments;
    std::vector<double> areaFill;
};

struct MlineVertex {
    Point3 position;
    Point3 direction;       // of the segment that starts here
    Point3 miterDirection;
    std::vector<MlineElementParameters> elements;  // one per line of the style
};

struct MlineObject {
    double scale = 1.0;
    std::uint8_t justification = 0;  // 0 top, 1 zero (center), 2 bottom
    Point3 basePoint;
    Point3 extrusion{0.0, 0.0, 1.0};
    std::uint16_t flags = 1;         // 1 has vertices, 2 closed, 4 no start caps, 8 no end caps
    std::uint8_t linesInStyle = 0;
    std::vector<MlineVertex> vertices;
    HandleRef style;
};

template <class Io>
void walk(Io& io, MlineElementParameters& e) {
    std::size_t n = e.segments.size();
    io.count("segment parameters", CountCode::BS, n, 2);
    e.segments.resize(n);
    for (double& v : e.segments) io.BD("segment parameter", v);
    n = e.areaFill.size();
    io.count("area fill parameters", CountCode::BS, n, 2);
    e.areaFill.resize(n);
    for (double& v : e.areaFill) io.BD("area fill parameter", v);
}

template <class Io>
void walk(Io& io, MlineObject& m) {
    io.BD("scale", m.scale);
    io.RC("justification", m.justification);
    io.BD3("base point", m.basePoint);
    io.BD3("extrusion", m.extrusion);
    io.BS("flags", m.flags);
    io.RC("lines in style", m.linesInStyle);
    std::size_t n = m.vertices.size();
    // Each vertex: three 3BD and two BS a line.
    io.count("vertices", CountCode::BS, n, 18U + 4U * m.linesInStyle);
    m.vertices.resize(n);
    for (MlineVertex& v : m.vertices) {
        io.BD3("vertex", v.position);
        io.BD3("direction", v.direction);
        io.BD3("miter direction", v.miterDirection);
        // The count is the style's, stored once for all vertices.
        v.elements.resize(m.linesInStyle);
        for (MlineElementParameters& e : v.elements) walk(io, e);
    }
    io.H("style", m.style);
}

}  // namespace dwg
