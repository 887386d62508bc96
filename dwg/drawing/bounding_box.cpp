#include "dwg/drawing/bounding_box.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "dwg/drawing/ownership.h"
#include "dwg/errors.h"
#include "dwg/objects/block.h"
#include "dwg/objects/insert.h"

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
std::array<Point3, 4> textOutline(const TextFields& text, std::size_t characterCount) {
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

void addText(Box3& box, const Affine& toWcs, const TextFields& text, std::size_t characterCount) {
    const std::array<Point3, 4> outline = textOutline(text, characterCount);
    withThickness(toWcs * ocs(text.extrusion), text.thickness, {0.0, 0.0, 1.0}, [&](const Affine& t) {
        for (const Point3& corner : outline)
            box.add(t.point(corner));
    });
}

void addMText(Box3& box, const Affine& toWcs, const MTextGeometry& m) {
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

bool isLwPolyline(const ObjectStore& store, std::uint64_t handle, std::uint16_t objectType) {
    if (objectType == type::LwPolyline)
        return true;
    if (objectType < 500)
        return false;
    const std::string_view name = store.dxfNameOf(handle);
    return name == "LWPOLYLINE" || name == "LWPLINE";
}

class BoxCollector {
public:
    explicit BoxCollector(const ObjectStore& store) : m_store(store) {}

    // Adds the entity under `toWcs`, the map from the coordinates it is
    // stored in (the WCS, or a block's) to the world. `inBlock`: it is part of
    // a block definition drawn by a reference.
    void entity(std::uint64_t handle, const Affine& toWcs, bool inBlock, Box3& box) {
        const auto objectType = m_store.typeOf(handle);
        if (!objectType)
            throw FormatError("object " + handleText(handle) + ": referenced but not in the drawing");
        if (!isBoxed(handle, *objectType))
            return;
        const ObjectView view = m_store.view(handle);
        BitReader in = view.reader(m_store.release());
        try {
            add(handle, *objectType, view, in, toWcs, inBlock, box);
        } catch (const FormatError& e) {
            throw e.withContext("object " + handleText(handle));
        }
    }

private:
    bool isBoxed(std::uint64_t handle, std::uint16_t t) const {
        switch (t) {
            case type::Text:
            case type::Attrib:
            case type::Attdef:
            case type::Insert:
            case type::Minsert:
            case type::Polyline2d:
            case type::Polyline3d:
            case type::PolylinePface:
            case type::PolylineMesh:
            case type::Arc:
            case type::Circle:
            case type::Line:
            case type::Point:
            case type::Face3d:
            case type::Solid:
            case type::Trace:
            case type::Ellipse:
            case type::MText:
                return true;
            default:
                return isLwPolyline(m_store, handle, t);
        }
    }

    void add(std::uint64_t handle, std::uint16_t t, const ObjectView& view, BitReader& in, const Affine& toWcs,
             bool inBlock, Box3& box) {
        const ObjectHeader& h = view.header;
        switch (t) {
            case type::Text:
            case type::Attrib:
            case type::Attdef: {
                const TextObject text = decodeText(in, h);
                // A block's attribute definitions become the references' ATTRIBs;
                // only constant ones are drawn with the block, and invisible
                // ones (flag 1) not at all.
                if (inBlock && t == type::Attdef && ((text.flags & 2) == 0 || (text.flags & 1) != 0))
                    return;
                addText(box, toWcs, text.text, textCharacterCount(text.text.value));
                return;
            }
            case type::Insert:
            case type::Minsert:
                addInsert(decodeInsert(in, h), toWcs, box);
                return;
            case type::Polyline2d:
            case type::Polyline3d:
            case type::PolylinePface:
            case type::PolylineMesh:
                addPolylineEntity(decodePolyline(in, h), toWcs, box);
                return;
            case type::Arc: {
                const ArcGeometry g = decodeArc(in, h);
                withThickness(toWcs * ocs(g.extrusion), g.thickness, {0.0, 0.0, 1.0}, [&](const Affine& a) {
                    addEllipticArc(box, a, g.center, {g.radius, 0.0, 0.0}, {0.0, g.radius, 0.0}, g.startAngle,
                                   sweepBetween(g.startAngle, g.endAngle));
                });
                return;
            }
            case type::Circle: {
                const CircleGeometry g = decodeCircle(in, h);
                withThickness(toWcs * ocs(g.extrusion), g.thickness, {0.0, 0.0, 1.0}, [&](const Affine& a) {
                    addEllipticArc(box, a, g.center, {g.radius, 0.0, 0.0}, {0.0, g.radius, 0.0}, 0.0, kTwoPi);
                });
                return;
            }
            case type::Line: {
                const LineGeometry g = decodeLine(in, h);
                withThickness(toWcs, g.thickness, unit(g.extrusion, {0.0, 0.0, 1.0}), [&](const Affine& a) {
                    box.add(a.point(g.start));
                    box.add(a.point(g.end));
                });
                return;
            }
            case type::Point: {
                const PointGeometry g = decodePoint(in, h);
                withThickness(toWcs, g.thickness, unit(g.extrusion, {0.0, 0.0, 1.0}),
                              [&](const Affine& a) { box.add(a.point(g.position)); });
                return;
            }
            case type::Face3d:
                for (const Point3& corner : decodeFace3d(in, h).corners)
                    box.add(toWcs.point(corner));
                return;
            case type::Solid:
            case type::Trace: {
                const SolidGeometry g = decodeSolid(in, h);
                withThickness(toWcs * ocs(g.extrusion), g.thickness, {0.0, 0.0, 1.0}, [&](const Affine& a) {
                    for (const Point2& corner : g.corners)
                        box.add(a.point({corner.x, corner.y, g.elevation}));
                });
                return;
            }
            case type::Ellipse: {
                const EllipseGeometry g = decodeEllipse(in, h);
                const Point3 minor = cross(unit(g.extrusion, {0.0, 0.0, 1.0}), g.majorAxis) * g.axisRatio;
                addEllipticArc(box, toWcs, g.center, g.majorAxis, minor, g.startParameter,
                               sweepBetween(g.startParameter, g.endParameter));
                return;
            }
            case type::MText:
                addMText(box, toWcs, decodeMText(in, h));
                return;
            default:
                break;
        }
        if (isLwPolyline(m_store, handle, t)) {
            const LwPolylineGeometry g = decodeLwPolyline(in, h);
            withThickness(toWcs * ocs(g.extrusion), g.thickness, {0.0, 0.0, 1.0}, [&](const Affine& a) {
                addPolyline(box, a, g.points, g.bulges, g.closed(), g.elevation);
            });
        }
    }

    void addPolylineEntity(const PolylineGeometry& polyline, const Affine& toWcs, Box3& box) {
        const std::vector<VertexGeometry> vertices = polylineVertices(m_store, polyline);
        // Frame control points of a spline-fit polyline are not drawn.
        auto drawn = [](const VertexGeometry& v) { return v.type != type::VertexPfaceFace && (v.flags & 16) == 0; };
        if (polyline.type != type::Polyline2d) {
            for (const VertexGeometry& v : vertices)
                if (drawn(v))
                    box.add(toWcs.point(v.point));
            return;
        }
        std::vector<Point2> points;
        std::vector<double> bulges;
        for (const VertexGeometry& v : vertices) {
            if (!drawn(v))
                continue;
            points.push_back({v.point.x, v.point.y});
            bulges.push_back(v.bulge);
        }
        withThickness(toWcs * ocs(polyline.extrusion), polyline.thickness, {0.0, 0.0, 1.0}, [&](const Affine& a) {
            addPolyline(box, a, points, bulges, polyline.closed(), polyline.elevation);
        });
    }

    void addInsert(const InsertObject& insert, const Affine& toWcs, Box3& box) {
        const auto blockType = m_store.typeOf(insert.block);
        if (blockType != type::BlockHeader)
            throw FormatError("insert: expected its block " + handleText(insert.block) +
                              " to be a BLOCK_HEADER, found " +
                              (blockType ? "type " + std::to_string(*blockType) : std::string("no object")));
        const ObjectView blockView = m_store.view(insert.block);
        BitReader blockIn = blockView.reader(m_store.release());
        const BlockHeaderObject block = decodeBlockHeader(blockIn, blockView.header);
        if (std::find(m_open.begin(), m_open.end(), insert.block) != m_open.end())
            throw FormatError("block \"" + block.name + "\" (" + handleText(insert.block) + ") contains a reference to itself");
        if (m_open.size() >= kMaxNesting)
            throw FormatError("block references: expected at most " + std::to_string(kMaxNesting) +
                              " levels of nesting, found more at block \"" + block.name + "\"");

        const Affine placed = toWcs * ocs(insert.extrusion) * translation(insert.insertion) * rotationZ(insert.rotation);
        const Affine scaled = scaling(insert.scale) * translation(Point3{} - block.basePoint);
        // An array's box is that of its corner copies: each copy is the same
        // content moved along the (rotated) grid.
        std::vector<int> columns{0};
        if (insert.columns > 1)
            columns.push_back(insert.columns - 1);
        std::vector<int> rows{0};
        if (insert.rows > 1)
            rows.push_back(insert.rows - 1);
        const std::vector<std::uint64_t> entities = blockEntities(m_store, block);
        Box3 content;
        m_open.push_back(insert.block);
        for (const int column : columns) {
            for (const int row : rows) {
                const Point3 offset{column * insert.columnSpacing, row * insert.rowSpacing, 0.0};
                const Affine blockToWcs = placed * translation(offset) * scaled;
                for (const std::uint64_t e : entities)
                    entity(e, blockToWcs, true, content);
            }
        }
        m_open.pop_back();
        if (content.empty)
            content.add(placed.point({}));
        box.add(content);

        // The ATTRIBs are stored where they are drawn, like the reference itself.
        for (const std::uint64_t a : insertAttributes(m_store, insert)) {
            if (m_store.typeOf(a) != type::Attrib)
                throw FormatError("insert: expected its attribute " + handleText(a) + " to be an ATTRIB");
            const ObjectView view = m_store.view(a);
            BitReader in = view.reader(m_store.release());
            try {
                const TextObject attribute = decodeText(in, view.header);
                if ((attribute.flags & 1) == 0)
                    addText(box, toWcs, attribute.text, textCharacterCount(attribute.text.value));
            } catch (const FormatError& e) {
                throw e.withContext("object " + handleText(a));
            }
        }
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

Box3 textBox(const TextFields& text, std::size_t characterCount) {
    Box3 box;
    addText(box, Affine{}, text, characterCount);
    return box;
}

Box3 entityBox(const ObjectStore& store, std::uint64_t handle) {
    Box3 box;
    BoxCollector(store).entity(handle, Affine{}, false, box);
    return box;
}

std::vector<VertexGeometry> polylineVertices(const ObjectStore& store, const PolylineGeometry& polyline) {
    const std::vector<std::uint64_t> handles = store.release() >= Release::R2004
                                                   ? polyline.vertices
                                                   : linkedEntities(store, polyline.firstVertex, polyline.lastVertex);
    std::vector<VertexGeometry> out;
    out.reserve(handles.size());
    for (const std::uint64_t handle : handles) {
        const auto t = store.typeOf(handle);
        if (!t || *t < type::Vertex2d || *t > type::VertexPfaceFace)
            throw FormatError("polyline vertex " + handleText(handle) + ": expected a VERTEX, found " +
                              (t ? "type " + std::to_string(*t) : std::string("no object")));
        const ObjectView view = store.view(handle);
        BitReader in = view.reader(store.release());
        try {
            out.push_back(decodeVertex(in, view.header));
        } catch (const FormatError& e) {
            throw e.withContext("object " + handleText(handle));
        }
    }
    return out;
}

Point3 ocsToWcs(const Point3& point, const Point3& extrusion) { return ocs(extrusion).point(point); }

}  // namespace dwg
