#pragma once
// The drawable entities that stand alone (ODA §20.4.17-20, .27, .32, .35-43,
// .88 and the classes IMAGE, WIPEOUT, HELIX and LIGHT): lines, curves,
// faces, viewports, images, lights and ACIS solids. Coordinates as the
// format stores them: WCS for LINE, POINT, 3DFACE, ELLIPSE, SPLINE, RAY and
// XLINE, the entity's OCS (given by its extrusion) for ARC, CIRCLE, SOLID,
// TRACE and SHAPE. Some field sets serve two types (SOLID and TRACE, IMAGE
// and WIPEOUT, REGION, 3DSOLID and BODY): the common data's type tells them
// apart.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
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

// The scenario the fields follow: from 2013 on the spline flags and the
// knot parameter decide it, whatever the stored scenario says (kept as
// stored).
inline std::int32_t splineScenario(const SplineObject& s) {
    if (s.splineFlags & 1)
        return 2;
    if (s.knotParameter == 15)
        return 1;
    return s.scenario;
}

template <class Io>
void walk(Io& io, SplineObject& s) {
    if (io.release() >= Release::R2013) {
        io.BL("scenario", s.scenario);
        io.BL("spline flags", s.splineFlags);
        io.BL("knot parameter", s.knotParameter);
    } else if constexpr (Io::reading) {
        io.BL("scenario", s.scenario);
    } else {
        std::int32_t scenario = splineScenario(s);
        io.BL("scenario", scenario);
    }
    io.BL("degree", s.degree);
    if (splineScenario(s) & 1) {
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
    Text styleSheet;
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

// HELIX (a class, 2007 on): a SPLINE with the helix it was made from.
struct HelixObject {
    SplineObject spline;
    std::int32_t majorVersion = 0;
    std::int32_t maintenanceVersion = 0;
    Point3 axisBase;
    Point3 start;
    Point3 axis{0.0, 0.0, 1.0};
    double radius = 0.0;
    double turns = 0.0;
    double turnHeight = 0.0;
    bool rightHanded = true;     // DXF 290: 0 left, 1 right
    std::uint8_t constraint = 0;  // 0 turn height, 1 turns, 2 height
};

template <class Io>
void walk(Io& io, HelixObject& h) {
    walk(io, h.spline);
    io.BL("major version", h.majorVersion);
    io.BL("maintenance version", h.maintenanceVersion);
    io.BD3("axis base", h.axisBase);
    io.BD3("start", h.start);
    io.BD3("axis", h.axis);
    io.BD("radius", h.radius);
    io.BD("turns", h.turns);
    io.BD("turn height", h.turnHeight);
    io.B("right handed", h.rightHanded);
    io.RC("constraint", h.constraint);
}

// IMAGE and WIPEOUT (classes, ODA §20.4.80 for IMAGE): a raster image
// placed by its corner and pixel vectors, clipped by a rectangle or a
// polygon. WIPEOUT stores IMAGE's fields.
struct ImageObject {
    std::int32_t classVersion = 0;
    Point3 origin;
    Point3 uVector{1.0, 0.0, 0.0};
    Point3 vVector{0.0, 1.0, 0.0};
    Point2 size;  // in pixels
    std::int16_t displayFlags = 0;
    bool clipping = false;
    std::uint8_t brightness = 50;
    std::uint8_t contrast = 50;
    std::uint8_t fade = 0;
    bool clipInverted = false;          // 2010+
    std::int16_t clipBoundaryType = 1;  // 1 rectangle (two corners, no count), 2 polygon
    std::vector<Point2> clipVertices;
    HandleRef imageDefinition;
    HandleRef imageDefinitionReactor;
};

template <class Io>
void walk(Io& io, ImageObject& m) {
    io.BL("class version", m.classVersion);
    io.BD3("origin", m.origin);
    io.BD3("u vector", m.uVector);
    io.BD3("v vector", m.vVector);
    io.RD2("size", m.size);
    io.BS("display flags", m.displayFlags);
    io.B("clipping", m.clipping);
    io.RC("brightness", m.brightness);
    io.RC("contrast", m.contrast);
    io.RC("fade", m.fade);
    if (io.release() >= Release::R2010)
        io.B("clip inverted", m.clipInverted);
    io.BS("clip boundary type", m.clipBoundaryType);
    if (m.clipBoundaryType == 1) {
        if constexpr (Io::reading)
            m.clipVertices.resize(2);
        else if (m.clipVertices.size() != 2)
            throw std::out_of_range("clip vertices: a rectangle takes 2, not " +
                                    std::to_string(m.clipVertices.size()));
    } else {
        entity_walks::countOf(io, "clip vertex count", CountCode::BL, m.clipVertices, 128);
    }
    for (Point2& p : m.clipVertices) io.RD2("clip vertex", p);
    io.H("image definition", m.imageDefinition);
    io.H("image definition reactor", m.imageDefinitionReactor);
}

// LIGHT (a class, 2007 on): a point, spot or distant light.
struct LightObject {
    std::int32_t classVersion = 0;
    Text name;
    std::int32_t lightType = 2;  // 1 distant, 2 point, 3 spot
    bool on = true;
    CmColor color;
    bool plotGlyph = false;
    double intensity = 1.0;
    Point3 position;
    Point3 target;
    std::int32_t attenuationType = 0;  // 0 none, 1 inverse linear, 2 inverse square
    bool useAttenuationLimits = false;
    double attenuationStart = 0.0;
    double attenuationEnd = 0.0;
    double hotspotAngle = 0.0;
    double falloffAngle = 0.0;
    bool castShadows = true;
    std::int32_t shadowType = 0;  // 0 ray traced, 1 shadow maps
    std::int16_t shadowMapSize = 256;
    std::uint8_t shadowMapSoftness = 1;
    struct Photometric {
        bool present = false;
        bool hasWebFile = false;
        Text webFile;
        std::int16_t intensityMethod = 0;
        double intensity = 0.0;
        double illuminanceDistance = 0.0;
        std::int16_t lampColorType = 0;  // 0 temperature in kelvin, 1 preset
        double lampColorTemperature = 0.0;
        std::int16_t lampColorPreset = 0;
        Point3 webRotation;
        std::int16_t shape = 0;
        double shapeLength = 0.0, shapeWidth = 0.0, shapeRadius = 0.0;
        std::int16_t webFileType = 0, webSymmetry = 0, hasTargetGrip = 0;
        double webFlux = 0.0;
        double webAngles[5] = {};
        std::int16_t glyphDisplay = 0;
    };
    bool photometric = false;  // whether the photometric fields are stored
    Photometric photometricData;
};

template <class Io>
void walk(Io& io, LightObject& l) {
    io.BL("class version", l.classVersion);
    io.T("name", l.name);
    io.BL("light type", l.lightType);
    io.B("on", l.on);
    io.CMC("color", l.color);
    io.B("plot glyph", l.plotGlyph);
    io.BD("intensity", l.intensity);
    io.BD3("position", l.position);
    io.BD3("target", l.target);
    io.BL("attenuation type", l.attenuationType);
    io.B("use attenuation limits", l.useAttenuationLimits);
    io.BD("attenuation start", l.attenuationStart);
    io.BD("attenuation end", l.attenuationEnd);
    io.BD("hotspot angle", l.hotspotAngle);
    io.BD("falloff angle", l.falloffAngle);
    io.B("cast shadows", l.castShadows);
    io.BL("shadow type", l.shadowType);
    io.BS("shadow map size", l.shadowMapSize);
    io.RC("shadow map softness", l.shadowMapSoftness);
    // Photometric lights (as the drawing's LIGHTINGUNITS, which the walk
    // cannot see, makes them) store more: read when the data goes on. Not
    // yet seen in a sample.
    if constexpr (Io::reading)
        l.photometric = io.data().bitsLeft() > 0;
    if (!l.photometric)
        return;
    LightObject::Photometric& p = l.photometricData;
    io.B("has photometric data", p.present);
    if (!p.present)
        return;
    io.B("has web file", p.hasWebFile);
    io.T("web file", p.webFile);
    io.BS("physical intensity method", p.intensityMethod);
    io.BD("physical intensity", p.intensity);
    io.BD("illuminance distance", p.illuminanceDistance);
    io.BS("lamp color type", p.lampColorType);
    io.BD("lamp color temperature", p.lampColorTemperature);
    io.BS("lamp color preset", p.lampColorPreset);
    io.BD3("web rotation", p.webRotation);
    io.BS("extended light shape", p.shape);
    io.BD("extended light length", p.shapeLength);
    io.BD("extended light width", p.shapeWidth);
    io.BD("extended light radius", p.shapeRadius);
    io.BS("web file type", p.webFileType);
    io.BS("web symmetry", p.webSymmetry);
    io.BS("has target grip", p.hasTargetGrip);
    io.BD("web flux", p.webFlux);
    for (double& a : p.webAngles) io.BD("web angle", a);
    io.BS("glyph display type", p.glyphDisplay);
}

// REGION, 3DSOLID and BODY (ODA §20.4.41): ACIS modeler data, kept as
// stored, and the wireframe AutoCAD draws the solid with.
struct AcisData {
    bool empty = true;
    bool unknown = false;
    std::int16_t version = 1;  // 1: SAT text in blocks, 2: SAB binary
    // Version 1: the blocks as stored (each byte of the text encoded); a
    // block of size 0 ends them.
    std::vector<std::vector<std::uint8_t>> blocks;
    // Version 2: the SAB bytes through its end marker (no size is stored).
    std::vector<std::uint8_t> binary;
};

// The SAT text of version 1 data: the blocks joined, each byte above 32
// standing for 159 minus it (control characters and spaces are kept).
inline std::string acisText(const AcisData& a) {
    std::string text;
    for (const std::vector<std::uint8_t>& block : a.blocks)
        for (std::uint8_t c : block) text += static_cast<char>(c > 32 ? 159 - c : c);
    return text;
}

namespace entity_walks {
// Whether SAB bytes end with "End-of-ACIS-data" or "End-of-ASM-data" in
// SAB's own encoding (each word a length-prefixed string).
inline bool endsSab(const std::vector<std::uint8_t>& b) {
    static constexpr std::string_view acis{"\x0E\x03" "End" "\x0E\x02" "of" "\x0E\x04" "ACIS" "\x0D\x04" "data"};
    static constexpr std::string_view asm_{"\x0E\x03" "End" "\x0E\x02" "of" "\x0E\x03" "ASM" "\x0D\x04" "data"};
    auto endsWith = [&](std::string_view m) {
        return b.size() >= m.size() &&
               std::equal(m.begin(), m.end(), b.end() - static_cast<std::ptrdiff_t>(m.size()),
                          [](char c, std::uint8_t u) { return static_cast<std::uint8_t>(c) == u; });
    };
    return endsWith(acis) || endsWith(asm_);
}
}  // namespace entity_walks

template <class Io>
void walk(Io& io, AcisData& a) {
    io.B("acis empty", a.empty);
    if (a.empty)
        return;
    io.B("unknown", a.unknown);
    io.BS("version", a.version);
    if (a.version == 1) {
        if constexpr (Io::reading) {
            a.blocks.clear();
            for (;;) {
                std::size_t n = 0;
                io.count("block size", CountCode::BL, n, 8);
                if (n == 0)
                    break;
                io.bytes("block", a.blocks.emplace_back(), n);
            }
        } else {
            for (std::vector<std::uint8_t>& block : a.blocks) {
                std::size_t n = block.size();
                io.count("block size", CountCode::BL, n, 8);
                io.bytes("block", block, n);
            }
            std::size_t end = 0;
            io.count("block size", CountCode::BL, end, 8);
        }
    } else {
        if constexpr (Io::reading) {
            a.binary.clear();
            BitReader& in = io.data();
            while (!entity_walks::endsSab(a.binary)) {
                if (in.bitsLeft() < 8)
                    throw FormatError("acis binary data: no end marker before bit " + std::to_string(in.endBit()));
                a.binary.push_back(in.readRC());
            }
        } else {
            io.bytes("binary data", a.binary, a.binary.size());
        }
    }
}

// One curve of the wireframe. Samples have wires without a transform only.
struct AcisWire {
    std::uint8_t type = 0;
    std::int32_t selectionMarker = 0;
    std::int16_t color = 0;
    std::int32_t acisIndex = 0;
    std::vector<Point3> points;
    bool transformPresent = false;
    Point3 xAxis, yAxis, zAxis, translation;
    double scale = 1.0;
    bool hasRotation = false, hasReflection = false, hasShear = false;
};

template <class Io>
void walk(Io& io, AcisWire& w) {
    io.RC("type", w.type);
    io.BL("selection marker", w.selectionMarker);
    io.BS("color", w.color);
    io.BL("acis index", w.acisIndex);
    entity_walks::countOf(io, "point count", CountCode::BL, w.points, 6);
    for (Point3& p : w.points) io.BD3("point", p);
    io.B("transform present", w.transformPresent);
    if (w.transformPresent) {
        io.BD3("x axis", w.xAxis);
        io.BD3("y axis", w.yAxis);
        io.BD3("z axis", w.zAxis);
        io.BD3("translation", w.translation);
        io.BD("scale", w.scale);
        io.B("has rotation", w.hasRotation);
        io.B("has reflection", w.hasReflection);
        io.B("has shear", w.hasShear);
    }
}

// The wireframe as seen in one viewport. No sample has one yet: the bit
// before the wires is as other readers have it; ODA §20.4.41 lacks it.
struct AcisSilhouette {
    std::int32_t viewportId = 0;
    Point3 target, direction, up;
    bool perspective = false;
    bool hasWires = false;
    std::vector<AcisWire> wires;
};

template <class Io>
void walk(Io& io, AcisSilhouette& s) {
    io.BL("viewport id", s.viewportId);
    io.BD3("viewport target", s.target);
    io.BD3("viewport direction", s.direction);
    io.BD3("viewport up", s.up);
    io.B("viewport perspective", s.perspective);
    io.B("has wires", s.hasWires);
    if (s.hasWires) {
        entity_walks::countOf(io, "wire count", CountCode::BL, s.wires, 8);
        for (AcisWire& w : s.wires) walk(io, w);
    } else if constexpr (Io::reading) {
        s.wires.clear();
    }
}

struct AcisMaterial {
    std::int32_t index = 0;
    std::int32_t id = 0;
    HandleRef material;
};

struct ModelerGeometryObject {
    AcisData acis;
    bool wireframePresent = false;
    bool pointPresent = false;
    Point3 point;
    std::int32_t isolines = 0;
    bool isolinesPresent = false;
    std::vector<AcisWire> wires;
    std::vector<AcisSilhouette> silhouettes;
    AcisData moreAcis;  // after the wireframe, normally empty
    std::vector<AcisMaterial> materials;  // 2007+, binary data
    // 2013+.
    bool hasRevisionGuid = false;
    std::int32_t revisionMajor = 0;
    std::int16_t revisionMinor1 = 0, revisionMinor2 = 0;
    std::vector<std::uint8_t> revisionBytes = std::vector<std::uint8_t>(8);
    std::int32_t endMarker = 0;
    bool hasHistory = false;   // whether the history handle is stored
    HandleRef history;
};

// From 2013 on an object whose common data flags data store data keeps its
// ACIS data there (the AcDsPrototype section), binary, and stores none of it
// here, not even the "empty" bit.
template <class Io>
bool acisInDataStore(Io& io) {
    return io.release() >= Release::R2013 && io.common().hasDsData;
}

template <class Io>
void walk(Io& io, ModelerGeometryObject& m) {
    const bool inDataStore = acisInDataStore(io);
    if (!inDataStore)
        walk(io, m.acis);
    io.B("wireframe present", m.wireframePresent);
    if (m.wireframePresent) {
        io.B("point present", m.pointPresent);
        if (m.pointPresent)
            io.BD3("point", m.point);
        else if constexpr (Io::reading)
            m.point = Point3{};
        io.BL("isolines", m.isolines);
        io.B("isolines present", m.isolinesPresent);
        // The silhouettes' count is stored whether or not the isolines
        // are (R13 regions without isolines show it).
        if (m.isolinesPresent) {
            entity_walks::countOf(io, "wire count", CountCode::BL, m.wires, 8);
            for (AcisWire& w : m.wires) walk(io, w);
        }
        entity_walks::countOf(io, "silhouette count", CountCode::BL, m.silhouettes, 8);
        for (AcisSilhouette& s : m.silhouettes) walk(io, s);
    }
    // A bit that is normally 1; 0 says more ACIS data follows, in the same
    // form as the first (not yet seen in a sample).
    walk(io, m.moreAcis);
    // The materials of binary data from 2007 on (the samples have none),
    // and the revision GUID from 2013 on.
    if ((m.acis.version > 1 || inDataStore) && io.release() >= Release::R2007) {
        entity_walks::countOf(io, "material count", CountCode::BL, m.materials, 6);
        for (AcisMaterial& a : m.materials) {
            io.BL("material index", a.index);
            io.BL("material id", a.id);
            io.H("material", a.material);
        }
    }
    if (io.release() >= Release::R2013) {
        io.B("has revision guid", m.hasRevisionGuid);
        io.BL("revision major", m.revisionMajor);
        io.BS("revision minor 1", m.revisionMinor1);
        io.BS("revision minor 2", m.revisionMinor2);
        io.TF("revision bytes", m.revisionBytes, 8);
        io.BL("end marker", m.endMarker);
    }
    // A history handle, where the handle stream has one more: AutoCAD 2004
    // and before store none, nor do the samples' 2007 and 2010 regions,
    // but other writers' 2000 files with binary ACIS data do (one in the
    // samples).
    if constexpr (Io::reading)
        m.hasHistory = io.handles().bitsLeft() >= 8;
    if (m.hasHistory)
        io.H("history", m.history);
}

// OLE2FRAME (ODA §20.4.88): an embedded OLE object, its data kept as stored.
struct Ole2FrameObject {
    std::int16_t objectType = 2;  // 1 link, 2 embedded, 3 static
    std::int16_t mode = 0;   // 2000+: 0 model space, 1 paper space
    std::vector<std::uint8_t> data;
    std::uint8_t lockAspect = 0;  // 2000+
};

template <class Io>
void walk(Io& io, Ole2FrameObject& o) {
    io.BS("object type", o.objectType);
    if (io.release() >= Release::R2000)
        io.BS("mode", o.mode);
    std::size_t n = o.data.size();
    io.count("data size", CountCode::BL, n, 8);
    io.bytes("data", o.data, n);
    if (io.release() >= Release::R2000)
        io.RC("lock aspect", o.lockAspect);
}

}  // namespace dwg

