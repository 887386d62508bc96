#include "dwg/drawing/bounding_box.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "dwg/drawing/ownership.h"
#include "dwg/errors.h"
#include "dwg/objects/walks/complex_entities.h"
#include "dwg/objects/walks/dimensions.h"
#include "dwg/objects/walks/entities.h"
#include "dwg/objects/walks/polylines.h"
#include "dwg/objects/walks/tables.h"

namespace dwg {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// References nested deeper than this are taken for damage.
constexpr std::size_t kMaxNesting = 32;

Point3 operator+(const Point3& a, const Point3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Point3 operator-(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point3 operator*(const Point3& a, double f) { return {a.x * f, a.y * f, a.z * f}; }
Point3 cross(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(const Point3& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }
// The unit vector of `a`, or `fallback` for a zero vector.
Point3 unit(const Point3& a, const Point3& fallback) {
    const double l = length(a);
    return l > 0.0 ? a * (1.0 / l) : fallback;
}
double component(const Point3& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

// An affine map of 3D space: rows of (linear part | translation).
struct Affine {
    std::array<std::array<double, 4>, 3> m{{{1.0, 0.0, 0.0, 0.0}, {0.0, 1.0, 0.0, 0.0}, {0.0, 0.0, 1.0, 0.0}}};

    Point3 vector(const Point3& v) const {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
    Point3 point(const Point3& p) const { return vector(p) + Point3{m[0][3], m[1][3], m[2][3]}; }
};

// a after b.
Affine operator*(const Affine& a, const Affine& b) {
    Affine c;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = j == 3 ? a.m[i][3] : 0.0;
            for (int k = 0; k < 3; ++k)
                sum += a.m[i][k] * b.m[k][j];
            c.m[i][j] = sum;
        }
    }
    return c;
}

Affine translation(const Point3& t) {
    Affine a;
    a.m[0][3] = t.x;
    a.m[1][3] = t.y;
    a.m[2][3] = t.z;
    return a;
}

Affine scaling(const Point3& s) {
    Affine a;
    a.m[0][0] = s.x;
    a.m[1][1] = s.y;
    a.m[2][2] = s.z;
    return a;
}

Affine rotationZ(double angle) {
    Affine a;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    a.m[0][0] = c;
    a.m[0][1] = -s;
    a.m[1][0] = s;
    a.m[1][1] = c;
    return a;
}

// OCS to WCS by the arbitrary axis algorithm (DXF reference, "Arbitrary Axis
// Algorithm"): the columns are the OCS axes in world coordinates.
Affine ocs(const Point3& extrusion) {
    const Point3 n = unit(extrusion, {0.0, 0.0, 1.0});
    constexpr double kPolarCap = 1.0 / 64.0;
    const Point3 ax = std::abs(n.x) < kPolarCap && std::abs(n.y) < kPolarCap
                          ? unit(cross({0.0, 1.0, 0.0}, n), {1.0, 0.0, 0.0})
                          : unit(cross({0.0, 0.0, 1.0}, n), {1.0, 0.0, 0.0});
    const Point3 ay = unit(cross(n, ax), {0.0, 1.0, 0.0});
    Affine a;
    const std::array<Point3, 3> axes{ax, ay, n};
    for (int column = 0; column < 3; ++column) {
        a.m[0][column] = axes[column].x;
        a.m[1][column] = axes[column].y;
        a.m[2][column] = axes[column].z;
    }
    return a;
}

// The entity drawn twice: as stored and moved by its thickness along
// `direction` (in the coordinates `toWcs` maps from).
template <typename Draw>
void withThickness(const Affine& toWcs, double thickness, const Point3& direction, Draw draw) {
    draw(toWcs);
    if (thickness != 0.0)
        draw(toWcs * translation(direction * thickness));
}

// c + u cos t + v sin t for t from t0 through t0 + sweep: circles, arcs and
// ellipses alike, and their images under any affine map. Besides the end
// points, each coordinate is extreme where its derivative vanishes,
// tan t = v_k / u_k.
void addEllipticArc(Box3& box, const Affine& toWcs, const Point3& center, const Point3& u, const Point3& v, double t0,
                    double sweep) {
    const Point3 c = toWcs.point(center);
    const Point3 wu = toWcs.vector(u);
    const Point3 wv = toWcs.vector(v);
    auto at = [&](double t) { return c + wu * std::cos(t) + wv * std::sin(t); };
    box.add(at(t0));
    box.add(at(t0 + sweep));
    for (int axis = 0; axis < 3; ++axis) {
        const double uk = component(wu, axis);
        const double vk = component(wv, axis);
        if (uk == 0.0 && vk == 0.0)
            continue;
        const double extreme = std::atan2(vk, uk);
        for (const double t : {extreme, extreme + std::numbers::pi}) {
            double d = std::fmod(t - t0, kTwoPi);
            if (d < 0.0)
                d += kTwoPi;
            if (d <= sweep)
                box.add(at(t0 + d));
        }
    }
}

// The counter-clockwise sweep from one angle to another, in (0, 2 pi]: equal
// angles make a full turn.
double sweepBetween(double start, double end) {
    double sweep = std::fmod(end - start, kTwoPi);
    if (sweep <= 0.0)
        sweep += kTwoPi;
    return sweep;
}

// A polyline segment from a to b at height z; a bulge is tan(included angle / 4),
// positive counter-clockwise.
void addSegment(Box3& box, const Affine& toWcs, const Point2& a, const Point2& b, double bulge, double z) {
    const Point3 start{a.x, a.y, z};
    const Point3 end{b.x, b.y, z};
    box.add(toWcs.point(start));
    box.add(toWcs.point(end));
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double chord = std::hypot(dx, dy);
    if (bulge == 0.0 || chord == 0.0)
        return;
    // The centre lies off the chord's midpoint along its left normal by
    // chord/2 * cot(included angle / 2) = chord/2 * (1 - b^2) / (2b).
    const double offset = chord / 2.0 * (1.0 - bulge * bulge) / (2.0 * bulge);
    const Point3 center{(a.x + b.x) / 2.0 - dy / chord * offset, (a.y + b.y) / 2.0 + dx / chord * offset, z};
    const double radius = chord * (1.0 + bulge * bulge) / (4.0 * std::abs(bulge));
    const double angleA = std::atan2(a.y - center.y, a.x - center.x);
    const double angleB = std::atan2(b.y - center.y, b.x - center.x);
    // A clockwise arc from a to b is the counter-clockwise one from b to a.
    const double from = bulge > 0.0 ? angleA : angleB;
    const double to = bulge > 0.0 ? angleB : angleA;
    addEllipticArc(box, toWcs, center, {radius, 0.0, 0.0}, {0.0, radius, 0.0}, from, sweepBetween(from, to));
}

void addPolyline(Box3& box, const Affine& toWcs, const std::vector<Point2>& points, const std::vector<double>& bulges,
                 bool closed, double z) {
    if (points.empty())
        return;
    box.add(toWcs.point({points[0].x, points[0].y, z}));
    const std::size_t n = points.size();
    const std::size_t segments = closed ? n : n - 1;
    for (std::size_t i = 0; i < segments; ++i)
        addSegment(box, toWcs, points[i], points[(i + 1) % n], i < bulges.size() ? bulges[i] : 0.0, z);
}

// The four corners of a single-line text in its OCS.
std::array<Point3, 4> textOutline(const TextLineFields& text, std::size_t characterCount) {
    const double height = text.height;
    double width = static_cast<double>(characterCount) * kCharacterWidth * height * text.widthFactor;
    double rotation = text.rotation;
    const std::int16_t h = text.horizontalAlignment;
    const std::int16_t v = text.verticalAlignment;
    Point2 origin;  // where the reference point of the text lies
    double refX = 0.0;
    double refY = 0.0;
    if (h == 3 || h == 5) {
        // Aligned and fit: the text runs from the insertion to the alignment
        // point; it is mirrored about its middle.
        const double dx = text.alignment.x - text.insertion.x;
        const double dy = text.alignment.y - text.insertion.y;
        const double distance = std::hypot(dx, dy);
        if (distance > 0.0) {
            width = distance;
            rotation = std::atan2(dy, dx);
        }
        origin = {text.insertion.x + std::cos(rotation) * width / 2.0,
                  text.insertion.y + std::sin(rotation) * width / 2.0};
        refX = width / 2.0;
    } else if (h == 0 && v == 0) {
        origin = text.insertion;
    } else {
        origin = text.alignment;
        refX = (h == 1 || h == 4) ? width / 2.0 : h == 2 ? width : 0.0;
        refY = (h == 4 || v == 2) ? height / 2.0 : v == 3 ? height : 0.0;
    }
    const double shear = std::tan(text.oblique);
    const double c = std::cos(rotation);
    const double s = std::sin(rotation);
    const std::array<Point2, 4> glyphBox{{{0.0, 0.0}, {width, 0.0}, {width, height}, {0.0, height}}};
    std::array<Point3, 4> out;
    for (std::size_t i = 0; i < 4; ++i) {
        double x = glyphBox[i].x + glyphBox[i].y * shear - refX;
        double y = glyphBox[i].y - refY;
        if (text.generation & 2)
            x = -x;
        if (text.generation & 4)
            y = -y;
        out[i] = {origin.x + x * c - y * s, origin.y + x * s + y * c, text.elevation};
    }
    return out;
}

void addText(Box3& box, const Affine& toWcs, const TextLineFields& text, std::size_t characterCount) {
    const std::array<Point3, 4> outline = textOutline(text, characterCount);
    withThickness(toWcs * ocs(text.extrusion), text.thickness, {0.0, 0.0, 1.0}, [&](const Affine& t) {
        for (const Point3& corner : outline)
            box.add(t.point(corner));
    });
}

void addMText(Box3& box, const Affine& toWcs, const MTextObject& m) {
    const Affine frame = ocs(m.extrusion);
    const Point3 normal = frame.vector({0.0, 0.0, 1.0});
    const Point3 xAxis = unit(m.xAxis, frame.vector({1.0, 0.0, 0.0}));
    const Point3 yAxis = unit(cross(normal, xAxis), frame.vector({0.0, 1.0, 0.0}));
    const double width = m.rectWidth > 0.0 ? m.rectWidth : m.extentsWidth;
    const double height = m.extentsHeight > 0.0 ? m.extentsHeight : m.textHeight;
    const int attachment = m.attachment >= 1 && m.attachment <= 9 ? m.attachment - 1 : 0;
    const int column = attachment % 3;  // left, center, right
    const int row = attachment / 3;     // top, middle, bottom
    const double left = column == 0 ? 0.0 : column == 1 ? -width / 2.0 : -width;
    const double bottom = row == 0 ? -height : row == 1 ? -height / 2.0 : 0.0;
    for (const double x : {left, left + width})
        for (const double y : {bottom, bottom + height})
            box.add(toWcs.point(m.insertion + xAxis * x + yAxis * y));
}

// The entities an owner names: listed from 2004 on, a run linked from the
// first to the last before.
std::vector<std::uint64_t> ownedEntities(const ObjectStore& store, const CommonData& owner, const HandleRef& first,
                                         const HandleRef& last, const std::vector<HandleRef>& listed) {
    if (store.release() < Release::R2004)
        return linkedEntities(store, owner.resolve(first), owner.resolve(last));
    std::vector<std::uint64_t> out;
    out.reserve(listed.size());
    for (const HandleRef& ref : listed) {
        const std::uint64_t handle = owner.resolve(ref);
        if (!store.isEntity(handle))
            throw FormatError("entity " + handleText(handle) + " is " +
                              (store.contains(handle) ? "not an entity" : "missing"));
        out.push_back(handle);
    }
    return out;
}

std::vector<std::uint64_t> ownedEntities(const ObjectStore& store, const CommonData& owner,
                                         const OwnedEntities& owned) {
    return ownedEntities(store, owner, owned.first, owned.last, owned.entities);
}

std::string typeText(const ObjectStore& store, std::uint64_t handle) {
    const auto t = store.typeOf(handle);
    return t ? "type " + std::to_string(*t) : std::string("no object");
}

void addTextLine(Box3& box, const Affine& toWcs, const TextLineFields& text) {
    addText(box, toWcs, text, textCharacterCount(text.value));
}

// A point at height z of a plane's coordinates.
Point3 onPlane(const Point2& p, double z) { return {p.x, p.y, z}; }

// Spline curves lie within their control points' hull; without control
// points the curve passes through its fit points.
void addSpline(Box3& box, const Affine& toWcs, const SplineObject& s) {
    for (const SplineControlPoint& c : s.controlPoints)
        box.add(toWcs.point(c.point));
    if (s.controlPoints.empty())
        for (const Point3& p : s.fitPoints)
            box.add(toWcs.point(p));
}

// The angle of a point of an ellipse to the parameter that reaches it (the
// eccentric anomaly), for an ellipse whose minor axis is `ratio` of its major.
double ellipseParameter(double angle, double ratio) {
    return ratio == 0.0 ? angle : std::atan2(std::sin(angle) / ratio, std::cos(angle));
}

// A hatch boundary edge in the hatch's OCS (`toWcs` maps from it) at height z.
void addHatchEdge(Box3& box, const Affine& toWcs, const HatchEdge& e, double z) {
    // A clockwise arc stores the complements of its angles, so the arc runs
    // counter-clockwise from -end to -start (as the DXF twins of the samples
    // and other readers take them).
    const double from = e.counterClockwise ? e.startAngle : -e.endAngle;
    const double to = e.counterClockwise ? e.endAngle : -e.startAngle;
    switch (e.type) {
    case HatchEdge::Line:
        box.add(toWcs.point(onPlane(e.start, z)));
        box.add(toWcs.point(onPlane(e.end, z)));
        return;
    case HatchEdge::CircularArc:
        addEllipticArc(box, toWcs, onPlane(e.start, z), {e.radius, 0.0, 0.0}, {0.0, e.radius, 0.0}, from,
                       sweepBetween(from, to));
        return;
    case HatchEdge::EllipticArc: {
        // The angles are the true angles of the end points, not parameters.
        const Point3 major{e.end.x, e.end.y, 0.0};
        const Point3 minor = Point3{-e.end.y, e.end.x, 0.0} * e.radius;
        const double t0 = ellipseParameter(from, e.radius);
        addEllipticArc(box, toWcs, onPlane(e.start, z), major, minor, t0,
                       sweepBetween(t0, ellipseParameter(to, e.radius)));
        return;
    }
    case HatchEdge::Spline:
        for (const Point2& p : e.controlPoints)
            box.add(toWcs.point(onPlane(p, z)));
        if (e.controlPoints.empty())
            for (const Point2& p : e.fitPoints)
                box.add(toWcs.point(onPlane(p, z)));
        return;
    default:
        return;
    }
}

// The fill lies within its boundary paths.
void addHatch(Box3& box, const Affine& toWcs, const HatchObject& h) {
    const Affine toWcsFromOcs = toWcs * ocs(h.extrusion);
    for (const HatchPath& path : h.paths) {
        if (!path.isPolyline()) {
            for (const HatchEdge& e : path.edges)
                addHatchEdge(box, toWcsFromOcs, e, h.elevation);
            continue;
        }
        std::vector<Point2> points;
        std::vector<double> bulges;
        for (const HatchPathVertex& v : path.vertices) {
            points.push_back(v.point);
            bulges.push_back(v.bulge);
        }
        addPolyline(box, toWcsFromOcs, points, bulges, path.closed, h.elevation);
    }
}

// Each line of an MLINE meets the miter of a vertex at the distance its
// first element parameter gives (DXF group 41); between vertices the lines
// are straight.
void addMline(Box3& box, const Affine& toWcs, const MlineObject& m) {
    for (const MlineVertex& v : m.vertices) {
        box.add(toWcs.point(v.position));
        for (const MlineElementParameters& e : v.elements)
            if (!e.segments.empty())
                box.add(toWcs.point(v.position + v.miterDirection * e.segments.front()));
    }
}

const DimensionData* dimensionOf(Object& o) {
    if (auto* d = o.as<LinearDimensionObject>())
        return &d->dimension;
    if (auto* d = o.as<AlignedDimensionObject>())
        return &d->dimension;
    if (auto* d = o.as<OrdinateDimensionObject>())
        return &d->dimension;
    if (auto* d = o.as<Angular3PointDimensionObject>())
        return &d->dimension;
    if (auto* d = o.as<Angular2LineDimensionObject>())
        return &d->dimension;
    if (auto* d = o.as<RadiusDimensionObject>())
        return &d->dimension;
    if (auto* d = o.as<DiameterDimensionObject>())
        return &d->dimension;
    if (auto* d = o.as<ArcDimensionObject>())
        return &d->dimension;
    return nullptr;
}

// A POLYLINE's drawn vertices: their points and bulges.
struct PolylinePoint {
    Point3 point;
    double bulge = 0.0;
};

class BoxCollector {
public:
    explicit BoxCollector(const ObjectStore& store) : m_store(store) {}

    // Adds the entity under `toWcs`, the map from the coordinates it is
    // stored in (the WCS, or a block's) to the world. `inBlock`: it is part of
    // a block definition drawn by a reference.
    void entity(std::uint64_t handle, const Affine& toWcs, bool inBlock, Box3& box) {
        if (!m_store.contains(handle))
            throw FormatError("object " + handleText(handle) + ": referenced but not in the drawing");
        if (!m_store.isEntity(handle))
            return;
        Object o = m_store.decode(handle);
        try {
            add(o, toWcs, inBlock, box);
        } catch (const FormatError& e) {
            throw e.withContext("object " + handleText(handle));
        }
    }

private:
    void add(Object& o, const Affine& toWcs, bool inBlock, Box3& box) {
        if (const auto* t = o.as<TextEntityObject>()) {
            addTextLine(box, toWcs, t->text);
        } else if (const auto* attrib = o.as<AttribObject>()) {
            addTextLine(box, toWcs, attrib->text);
        } else if (const auto* def = o.as<AttdefObject>()) {
            // A block's attribute definitions become the references' ATTRIBs;
            // only constant ones are drawn with the block, and invisible ones
            // (flag 1) not at all.
            if (!inBlock || ((def->attribute.flags & 2) != 0 && (def->attribute.flags & 1) == 0))
                addTextLine(box, toWcs, def->text);
        } else if (const auto* i = o.as<InsertEntityObject>()) {
            addInsert(o.common, i->insert, 1, 1, 0.0, 0.0, toWcs, box);
        } else if (const auto* m = o.as<MInsertObject>()) {
            addInsert(o.common, m->insert, m->columns, m->rows, m->columnSpacing, m->rowSpacing, toWcs, box);
        } else if (const auto* pl = o.as<Polyline2dObject>()) {
            std::vector<Point2> points;
            std::vector<double> bulges;
            for (const PolylinePoint& v : polylinePoints(o.common, pl->vertices)) {
                points.push_back({v.point.x, v.point.y});
                bulges.push_back(v.bulge);
            }
            // The vertices lie at the polyline's elevation.
            withThickness(toWcs * ocs(pl->extrusion), pl->thickness, {0.0, 0.0, 1.0}, [&](const Affine& a) {
                addPolyline(box, a, points, bulges, (pl->flags & 1) != 0, pl->elevation);
            });
        } else if (const OwnedEntities* vertices = worldVertices(o)) {
            for (const PolylinePoint& v : polylinePoints(o.common, *vertices))
                box.add(toWcs.point(v.point));
        } else if (const auto* lw = o.as<LwPolylineObject>()) {
            withThickness(toWcs * ocs(lw->extrusion), lw->thickness, {0.0, 0.0, 1.0}, [&](const Affine& a) {
                addPolyline(box, a, lw->points, lw->bulges, (lw->flags & 512) != 0, lw->elevation);
            });
        } else if (const auto* arc = o.as<ArcObject>()) {
            const CircleObject& c = arc->circle;
            withThickness(toWcs * ocs(c.extrusion), c.thickness, {0.0, 0.0, 1.0}, [&](const Affine& a) {
                addEllipticArc(box, a, c.center, {c.radius, 0.0, 0.0}, {0.0, c.radius, 0.0}, arc->startAngle,
                               sweepBetween(arc->startAngle, arc->endAngle));
            });
        } else if (const auto* c = o.as<CircleObject>()) {
            withThickness(toWcs * ocs(c->extrusion), c->thickness, {0.0, 0.0, 1.0}, [&](const Affine& a) {
                addEllipticArc(box, a, c->center, {c->radius, 0.0, 0.0}, {0.0, c->radius, 0.0}, 0.0, kTwoPi);
            });
        } else if (const auto* l = o.as<LineObject>()) {
            // LINE and POINT are stored in the WCS; their thickness runs along
            // the extrusion.
            withThickness(toWcs, l->thickness, unit(l->extrusion, {0.0, 0.0, 1.0}), [&](const Affine& a) {
                box.add(a.point(l->start));
                box.add(a.point(l->end));
            });
        } else if (const auto* pt = o.as<PointObject>()) {
            withThickness(toWcs, pt->thickness, unit(pt->extrusion, {0.0, 0.0, 1.0}),
                          [&](const Affine& a) { box.add(a.point(pt->position)); });
        } else if (const auto* f = o.as<Face3dObject>()) {
            for (const Point3& corner : f->corners)
                box.add(toWcs.point(corner));
        } else if (const auto* s = o.as<SolidObject>()) {
            withThickness(toWcs * ocs(s->extrusion), s->thickness, {0.0, 0.0, 1.0}, [&](const Affine& a) {
                for (const Point2& corner : s->corners)
                    box.add(a.point(onPlane(corner, s->elevation)));
            });
        } else if (const auto* e = o.as<EllipseObject>()) {
            const Point3 minor = cross(unit(e->extrusion, {0.0, 0.0, 1.0}), e->majorAxis) * e->axisRatio;
            addEllipticArc(box, toWcs, e->center, e->majorAxis, minor, e->startAngle,
                           sweepBetween(e->startAngle, e->endAngle));
        } else if (const auto* mt = o.as<MTextObject>()) {
            addMText(box, toWcs, *mt);
        } else if (const auto* sp = o.as<SplineObject>()) {
            addSpline(box, toWcs, *sp);
        } else if (const auto* h = o.as<HatchObject>()) {
            addHatch(box, toWcs, *h);
        } else if (const auto* ml = o.as<MlineObject>()) {
            addMline(box, toWcs, *ml);
        } else if (const auto* leader = o.as<LeaderObject>()) {
            for (const Point3& p : leader->points)
                box.add(toWcs.point(p));
        } else if (const DimensionData* dim = dimensionOf(o)) {
            addDimension(o.common, *dim, toWcs, box);
        }
    }

    // The vertices of the polylines whose vertices are WCS points.
    static const OwnedEntities* worldVertices(Object& o) {
        if (const auto* p = o.as<Polyline3dObject>())
            return &p->vertices;
        if (const auto* p = o.as<PolylineMeshObject>())
            return &p->vertices;
        if (const auto* p = o.as<PolylinePfaceObject>())
            return &p->vertices;
        return nullptr;
    }

    std::vector<PolylinePoint> polylinePoints(const CommonData& polyline, const OwnedEntities& owned) {
        std::vector<PolylinePoint> out;
        for (const std::uint64_t handle : ownedEntities(m_store, polyline, owned)) {
            const auto t = m_store.typeOf(handle);
            if (!t || *t < type::Vertex2d || *t > type::VertexPfaceFace)
                throw FormatError("polyline vertex " + handleText(handle) + ": expected a VERTEX, found " +
                                  typeText(m_store, handle));
            Object v = m_store.decode(handle);
            // Frame control points of a spline-fit polyline (flag 16) and a
            // polyface mesh's face records are not drawn.
            if (const auto* v2 = v.as<Vertex2dObject>()) {
                if ((v2->flags & 16) == 0)
                    out.push_back({v2->point, v2->bulge});
                continue;
            }
            const Vertex3dObject* v3 = v.as<Vertex3dObject>();
            if (v3 == nullptr)
                v3 = v.as<VertexMeshObject>();
            if (v3 == nullptr)
                v3 = v.as<VertexPfaceObject>();
            if (v3 != nullptr && (v3->flags & 16) == 0)
                out.push_back({v3->point, 0.0});
        }
        return out;
    }

    struct Block {
        std::uint64_t handle = 0;
        std::string name;
        Point3 basePoint;
        std::vector<std::uint64_t> entities;
    };

    // The block `ref` names, opened for drawing: FormatError when it is not
    // a block, is open already (it would contain itself) or is nested too
    // deep. Closed by closeBlock.
    Block openBlock(const char* user, const CommonData& common, const HandleRef& ref) {
        Block block;
        block.handle = common.resolve(ref);
        const auto blockType = m_store.typeOf(block.handle);
        if (blockType != type::BlockHeader)
            throw FormatError(std::string(user) + ": expected its block " + handleText(block.handle) +
                              " to be a BLOCK_HEADER, found " + typeText(m_store, block.handle));
        Object o = m_store.decode(block.handle);
        const auto* record = o.as<BlockRecordObject>();
        if (record == nullptr)
            throw FormatError("block " + handleText(block.handle) + ": expected a BLOCK_HEADER its walk describes");
        block.name = record->entry.name.shown();
        block.basePoint = record->basePoint;
        if (std::find(m_open.begin(), m_open.end(), block.handle) != m_open.end())
            throw FormatError("block \"" + block.name + "\" (" + handleText(block.handle) +
                              ") contains a reference to itself");
        if (m_open.size() >= kMaxNesting)
            throw FormatError("block references: expected at most " + std::to_string(kMaxNesting) +
                              " levels of nesting, found more at block \"" + block.name + "\"");
        try {
            block.entities =
                ownedEntities(m_store, o.common, record->firstEntity, record->lastEntity, record->entities);
        } catch (const FormatError& e) {
            throw e.withContext("object " + handleText(block.handle));
        }
        m_open.push_back(block.handle);
        return block;
    }
    void closeBlock() { m_open.pop_back(); }

    void addInsert(const CommonData& common, const InsertFields& insert, int columns, int rows, double columnSpacing,
                   double rowSpacing, const Affine& toWcs, Box3& box) {
        const Block block = openBlock("insert", common, insert.block);
        const Affine placed = toWcs * ocs(insert.extrusion) * translation(insert.insertion) * rotationZ(insert.rotation);
        const Affine scaled = scaling(insert.scale) * translation(Point3{} - block.basePoint);
        // An array's box is that of its corner copies: each copy is the same
        // content moved along the (rotated) grid.
        std::vector<int> columnsDrawn{0};
        if (columns > 1)
            columnsDrawn.push_back(columns - 1);
        std::vector<int> rowsDrawn{0};
        if (rows > 1)
            rowsDrawn.push_back(rows - 1);
        Box3 content;
        for (const int column : columnsDrawn) {
            for (const int row : rowsDrawn) {
                const Point3 offset{column * columnSpacing, row * rowSpacing, 0.0};
                const Affine blockToWcs = placed * translation(offset) * scaled;
                for (const std::uint64_t e : block.entities)
                    entity(e, blockToWcs, true, content);
            }
        }
        closeBlock();
        if (content.empty)
            content.add(placed.point({}));
        box.add(content);

        // The ATTRIBs are stored where they are drawn, like the reference itself.
        if (!insert.hasAttributes)
            return;
        for (const std::uint64_t a : ownedEntities(m_store, common, insert.attributes)) {
            if (m_store.typeOf(a) != type::Attrib)
                throw FormatError("insert: expected its attribute " + handleText(a) + " to be an ATTRIB");
            Object attribute = m_store.decode(a);
            const auto* fields = attribute.as<AttribObject>();
            if (fields != nullptr && (fields->attribute.flags & 1) == 0)
                addTextLine(box, toWcs, fields->text);
        }
    }

    // A dimension is drawn by its block, whose content lies in the
    // dimension's OCS, placed like a block reference at the dimension's
    // insertion point (DXF 12), which AutoCAD leaves at the origin for all
    // but copies of a dimension.
    void addDimension(const CommonData& common, const DimensionData& d, const Affine& toWcs, Box3& box) {
        if (common.resolve(d.block) == 0)
            return;
        const Block block = openBlock("dimension", common, d.block);
        const Affine blockToWcs = toWcs * ocs(d.extrusion) *
                                  translation(onPlane(d.insertionPoint, 0.0)) * rotationZ(d.insertionRotation) *
                                  scaling(d.insertionScale) * translation(Point3{} - block.basePoint);
        for (const std::uint64_t e : block.entities)
            entity(e, blockToWcs, true, box);
        closeBlock();
    }

    const ObjectStore& m_store;
    std::vector<std::uint64_t> m_open;  // the blocks being drawn, outermost first
};

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool allOf(std::string_view s, bool (*test)(char)) { return std::all_of(s.begin(), s.end(), test); }

}  // namespace

void Box3::add(const Point3& p) {
    if (empty) {
        min = max = p;
        empty = false;
        return;
    }
    min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
    max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
}

void Box3::add(const Box3& other) {
    if (other.empty)
        return;
    add(other.min);
    add(other.max);
}

std::size_t textCharacterCount(std::string_view value) {
    // A terminating zero counted by the string's length is not a character.
    value = value.substr(0, value.find('\0'));
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < value.size()) {
        const std::string_view rest = value.substr(i);
        if (rest.size() >= 3 && rest.starts_with("%%")) {
            i += rest.size() >= 5 && allOf(rest.substr(2, 3), isDigit) ? 5 : 3;
        } else if (rest.size() >= 7 && rest.starts_with("\\U+") && allOf(rest.substr(3, 4), isHexDigit)) {
            i += 7;
        } else if (rest.size() >= 8 && rest.starts_with("\\M+") && isDigit(rest[3]) &&
                   allOf(rest.substr(4, 4), isHexDigit)) {
            i += 8;
        } else {
            ++i;
        }
        ++count;
    }
    return count;
}

std::size_t textCharacterCount(const Text& value) {
    if (value.units.empty())
        return textCharacterCount(value.bytes);
    // UTF-16 holds no code-page escapes: every character outside ASCII, a
    // surrogate pair included, counts as one.
    std::string narrow;
    for (const char16_t unit : value.units) {
        if (unit >= 0xDC00 && unit < 0xE000)
            continue;
        narrow.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return textCharacterCount(narrow);
}

Box3 textBox(const TextLineFields& text, std::size_t characterCount) {
    Box3 box;
    addText(box, Affine{}, text, characterCount);
    return box;
}

Box3 entityBox(const ObjectStore& store, std::uint64_t handle) {
    Box3 box;
    BoxCollector(store).entity(handle, Affine{}, false, box);
    return box;
}

Point3 ocsToWcs(const Point3& point, const Point3& extrusion) { return ocs(extrusion).point(point); }

}  // namespace dwg
