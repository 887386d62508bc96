// Geometry decoding. Three sources of truth: the R14 examples of the format
// document (ODA §20.4.x.1), which must decode to fields that end exactly
// where their handles start and whose values agree across examples (the
// polylines name the handles of the vertex examples, the MTEXT labels the
// circle with its radius); fields of the 2000 / 2004 layouts written one by
// one from the document's tables; and the sample drawings against their DXF
// twins.

#include "dwg/objects/geometry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "dwg/container/dwg_file.h"
#include "dwg/drawing/bounding_box.h"
#include "dwg/errors.h"
#include "test_support.h"

namespace dwg {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

// One of the document's R14 objects, from its MS size through its last data
// byte. The LWPLINE example is an object of the class numbered 0x1FB.
struct DocumentObject {
    std::vector<std::uint8_t> stored;
    ObjectHeader header;

    explicit DocumentObject(std::string_view hex) : stored(test::hexToBytes(hex)) {
        stored.insert(stored.end(), {0, 0});  // the CRC, not checked here
        ClassList classes;
        classes.classes.push_back({});
        classes.classes.back().number = 0x1FB;
        classes.classes.back().itemClassId = 0x1F2;
        BitReader in = data();
        header = readObjectHeader(in, classes);
    }
    BitReader data() const { return BitReader(splitStoredObject(stored, Release::R14).data, Release::R14); }
    template <typename Decode>
    auto decode(Decode decoder) const {
        BitReader in = data();
        in.seekBit(header.bodyAt);
        return decoder(in, header);
    }
};

const char* const kLine =  // ODA §20.4.21.1
    "35 00 44 C0 73 22 E8 08 00 01 13 00 6B B5 95 B2 D9 24 08 04 88 93 FD FD 9A 00 FA 04 53 E6 F4 DB"
    "B6 B6 90 20 12 02 4F F7 F6 68 03 E8 15 4E 08 11 82 88 7A 88 9A 03 06";

void expectNear(const Point3& p, double x, double y, double z) {
    EXPECT_NEAR(p.x, x, 1e-4);  // as the other examples print them
    EXPECT_NEAR(p.y, y, 1e-4);
    EXPECT_NEAR(p.z, z, 1e-4);
}

TEST(GeometryDocumentExamples, CurvesPointsAndFaces) {
    const LineGeometry line = DocumentObject(kLine).decode(decodeLine);
    expectNear(line.start, 8.39373, 7.81319, 0.0);  // a dimension line at the MTEXT's height
    expectNear(line.end, 8.21373, 7.81319, 0.0);
    EXPECT_EQ(line.extrusion, (Point3{0, 0, 1}));

    const ArcGeometry arc = DocumentObject(  // ODA §20.4.18.1
        "3A 00 44 40 59 24 E8 08 00 05 5B 0F 61 AA 41 EB F9 A0 88 05 DD 50 53 3A 0A 70 EA 04 13 B4 FD AC"
        "6D CB 7A 9F D4 88 6D E1 F9 BC BC 60 08 00 27 5B 70 E5 02 68 7A 01 82 88 7E 08 33 05").decode(decodeArc);
    expectNear(arc.center, 2.60028, 7.32642, 0.0);
    EXPECT_NEAR(arc.radius, 1.34933, 1e-4);
    EXPECT_NEAR(arc.startAngle, 2.11128, 1e-4);
    EXPECT_NEAR(arc.endAngle, 3.91290, 1e-4);

    const CircleGeometry circle = DocumentObject(  // ODA §20.4.20.1
        "2B 00 44 80 64 A0 C8 08 00 05 5B 0A 88 A1 BF 90 3F C3 48 00 45 2D C2 C7 6F 28 FA 04 6A 9D CD 75"
        "A2 1A 72 9F D4 98 28 87 E0 96 50 86 6D").decode(decodeCircle);
    EXPECT_NEAR(circle.radius, 0.6626, 0.00005);  // the MTEXT example reads "R0.6626"

    const EllipseGeometry ellipse = DocumentObject(  // ODA §20.4.39.1
        "4C 00 48 C0 80 48 A1 48 10 00 05 5B 0C 0A 03 29 8A E7 42 48 01 F0 9F BC 53 10 40 DA 04 51 23 D0"
        "F1 D6 AF 7B 9F 9A 89 15 EA 36 B2 DD 17 F5 00 20 00 00 00 00 1E 07 E5 D2 A4 7D B0 4C 5E F9 FC 0C"
        "16 A2 2A 7D 90 8C A0 18 28 87 E0 83 A0 69").decode(decodeEllipse);
    expectNear(ellipse.majorAxis, 1.46062, -0.768397, 0.0);
    EXPECT_NEAR(ellipse.axisRatio, 0.492861, 1e-4);
    EXPECT_EQ(ellipse.startParameter, 0.0);
    EXPECT_DOUBLE_EQ(ellipse.endParameter, 2 * std::numbers::pi);  // a whole ellipse

    const PointGeometry point = DocumentObject(  // ODA §20.4.31.1
        "23 00 46 C0 74 A6 C8 00 00 01 33 09 FE 67 99 7E D4 03 A8 01 FF F9 D1 85 3C D8 FA 05 53 60 84 18"
        "28 CC A8 89 86").decode(decodePoint);
    expectNear(point.position, 7.40719, 7.902, 0.0);

    // ODA §20.4.35.1: an arrowhead, a triangle whose tip is that point.
    const SolidGeometry solid = DocumentObject(
        "52 00 47 C0 73 E2 98 10 00 01 33 50 A8 BE 18 24 52 D8 F2 07 52 C3 01 40 1D 30 FA 00 FF 31 0A 96"
        "82 A0 F2 06 8B FA 70 47 8B 40 FA 02 7F 99 E6 5F B5 00 EA 01 FF F9 D1 85 3C D8 FA 02 7F 99 E6 5F"
        "B5 00 EA 01 FF F9 D1 85 3C D8 FA 05 38 20 A6 0A 21 EA 22 6A").decode(decodeSolid);
    EXPECT_EQ(solid.corners[2], solid.corners[3]);
    EXPECT_EQ(solid.corners[3], (Point2{point.position.x, point.position.y}));

    const SolidGeometry trace = DocumentObject(  // ODA §20.4.36.1
        "51 00 48 00 79 E2 98 10 00 05 5B 53 70 DA A0 AD EE C1 42 05 BA E0 2A DA A9 60 02 05 75 29 DE 3E"
        "FF 89 42 03 4E 20 B3 8F 50 C0 02 00 4B 2A 12 65 70 A9 52 04 9E 9B A5 92 BF 40 A2 06 1D 16 C2 A5"
        "61 81 52 02 6F 4E 85 D6 E7 88 A2 05 26 0A 21 F8 20 6C 1A").decode(decodeSolid);
    EXPECT_NEAR(trace.corners[3].y, 5.23619, 1e-4);

    const Face3dGeometry face = DocumentObject(  // ODA §20.4.32.1
        "50 00 47 00 78 E3 18 10 00 05 7B 06 54 B1 62 D9 BA E4 28 00 02 01 84 E7 8E 80 12 04 4F 73 C2 29"
        "98 53 12 20 16 8C 3C B6 E3 69 E2 08 10 14 77 8D 5D FA 52 4C 80 50 0B 36 A4 30 F0 FF 1F C5 51 57"
        "68 85 48 51 12 00 40 84 CA FB AF DF EC 7F 46 0A 21 FA").decode(decodeFace3d);
    expectNear(face.corners[3], 9.02082, 1.43356, 0.0);
}

TEST(GeometryDocumentExamples, PolylinesNameTheirVertexExamples) {
    struct Case {
        const char* hex;
        std::uint64_t first, last, seqend;
    };
    const Case cases[] = {
        // ODA §20.4.16.1, 3D §20.4.17.1, face §20.4.33.1, mesh §20.4.34.1
        {"18 00 43 C0 53 22 D8 00 00 05 5B 55 55 26 0A 21 E8 14 21 28 29 A8 29 E6 2A 01", 0x4D, 0x4F, 0x50},
        {"19 00 44 00 57 A2 C8 00 00 05 5B 00 00 18 28 87 E0 84 D0 83 20 AF A0 B1 18 B1 80", 0x5F, 0x62, 0x63},
        {"19 00 47 40 55 62 E8 00 00 05 5B 20 88 19 82 88 7E 08 4D 08 4A 0A B2 0A E1 8A E8", 0x56, 0x5C, 0x5D},
        {"1A 00 47 80 59 A3 68 00 00 05 5B 22 32 0C 83 D1 82 88 7C 05 09 62 0B 3A 0C 81 8C 8C", 0x67, 0x90, 0x91},
    };
    std::vector<PolylineGeometry> polylines;
    for (const Case& c : cases) {
        polylines.push_back(DocumentObject(c.hex).decode(decodePolyline));
        EXPECT_EQ(polylines.back().firstVertex, c.first);
        EXPECT_EQ(polylines.back().lastVertex, c.last);
        EXPECT_EQ(polylines.back().seqend, c.seqend);
    }
    // Vertices 56-5C: four points and three faces; 67-90: a closed 6 x 7 mesh.
    EXPECT_EQ(polylines[2].vertexCount, 4);
    EXPECT_EQ(polylines[2].faceCount, 3);
    EXPECT_EQ(polylines[3].mCount * polylines[3].nCount, 0x90 - 0x67 + 1);
    EXPECT_EQ(polylines[3].flags, 1 | 16);

    // The vertex examples: 2D 4D (§20.4.11.1), 3D 62 (§20.4.12.1), face 56 (§20.4.14.1).
    const DocumentObject v2d(
        "22 00 42 80 53 66 F8 00 00 01 5B 00 00 00 00 00 00 00 00 08 00 00 00 00 00 00 00 02 05 55 00 60"
        "A2 1E 80 C1");
    const DocumentObject v3d("1A 00 42 C0 58 A4 B8 00 00 01 5B 10 00 00 00 00 00 00 00 08 0D 82 08 60 A2 1F 00 80");
    const DocumentObject vFace(
        "21 00 43 40 55 A6 B8 00 00 01 5B 60 20 00 00 00 00 00 00 02 00 00 00 00 00 00 00 10 81 00 60 A2"
        "1E 80 C1");
    EXPECT_EQ(v2d.header.handle, 0x4Du);
    EXPECT_EQ(v3d.header.handle, 0x62u);
    EXPECT_EQ(vFace.header.handle, 0x56u);
    EXPECT_EQ(v2d.decode(decodeVertex).point, (Point3{2, 2, 0}));
    EXPECT_EQ(v3d.decode(decodeVertex).flags, 32);
    EXPECT_EQ(v3d.decode(decodeVertex).point, (Point3{2, 1, 0}));
    EXPECT_EQ(vFace.decode(decodeVertex).flags, 64 | 128);
    EXPECT_EQ(vFace.decode(decodeVertex).point, (Point3{1, 2, 3}));
}

TEST(GeometryDocumentExamples, MTextAndLwPolyline) {
    const MTextGeometry m = DocumentObject(  // ODA §20.4.46.1
        "4D 00 4B 00 73 A0 C8 10 00 01 33 0F AE 2B 5E AE E0 84 48 04 88 93 FD FD 9A 00 FA 05 4B 50 15 AF"
        "46 E0 7A 15 8E 7E 82 A0 20 6E BD 1B 81 E8 56 39 F9 9B 99 99 99 99 99 E0 7E 85 AE 20 98 9D A9 18"
        "17 1B 1B 19 1B 60 82 18 28 87 A8 89 A8 88 00").decode(decodeMText);
    EXPECT_EQ(m.text, "\\A1;R0.6626");
    expectNear(m.insertion, 9.00873, 7.81319, 0.0);
    EXPECT_EQ(m.xAxis, (Point3{1, 0, 0}));
    EXPECT_EQ(m.attachment, 5);  // middle center
    EXPECT_DOUBLE_EQ(m.extentsHeight, 0.18);  // one line, as high as the text
    EXPECT_DOUBLE_EQ(m.textHeight, 0.18);
    EXPECT_DOUBLE_EQ(m.extentsWidth, 1.05);  // 7 characters of 5/6 of 0.18

    const DocumentObject lwpline(  // ODA §20.4.85.1, an R14 class object: every point a 2RD
        "C8 00 3E C0 40 80 43 D0 35 20 10 94 60 10 08 2A 0C 00 00 5E A0 20 80 12 14 85 00 00 00 00 00 00"
        "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 14 A0 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
        "14 A0 00 00 00 00 00 00 78 1F 80 00 00 00 00 40 23 20 00 00 00 00 00 00 78 1F 80 00 00 00 00 40"
        "23 20 00 00 00 00 00 00 00 20 00 00 00 00 00 40 23 20 00 00 00 00 00 00 1E 20 00 00 00 00 00 40"
        "23 20 00 00 00 00 00 00 1E A0 00 00 00 00 00 00 14 A0 00 00 00 00 00 00 1E A0 00 00 00 00 00 00"
        "14 A0 00 00 00 00 00 00 1F 20 00 00 00 00 00 00 00 00 00 00 00 00 00 00 1F 20 55 1F FF FF FF FF"
        "FF FD F7 F5 56 08 19 82 88 7A");
    const LwPolylineGeometry p = lwpline.decode(decodeLwPolyline);
    EXPECT_EQ(p.flags, 512 | 16);  // closed, with bulges
    EXPECT_EQ(p.points, (std::vector<Point2>{{0, 0}, {12.5, 0}, {12.5, 1}, {45, 1}, {45, 2}, {45, 28}, {45, 29},
                                             {12.5, 29}, {12.5, 30}, {0, 30}}));
    ASSERT_EQ(p.bulges.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_DOUBLE_EQ(p.bulges[i], i == 4 ? -1.0 : 0.0) << i;  // a half circle, stored as tan(-pi/4)
}

TEST(GeometryDocumentExamples, FieldsThatDoNotEndAtTheHandlesAreReported) {
    DocumentObject line(kLine);
    ++line.header.handlesAt;  // as if its size in bits said one more
    EXPECT_THAT([&] { line.decode(decodeLine); },
                ThrowsMessage<FormatError>(HasSubstr("line: expected its fields to end at bit 350, found them "
                                                     "ending at bit 349")));
    // Read as a circle, one BD short of a line in R14, the fields end early.
    EXPECT_THAT([&] { DocumentObject(kLine).decode(decodeCircle); },
                ThrowsMessage<FormatError>(HasSubstr("circle: expected its fields to end at bit 349")));
}

// ---------------------------------------------------------------------------
// The 2000 and 2004 layouts. The header stands in for the common data, which
// these decoders do not read: the fields start at bit 0, the handles follow.

template <typename Decode>
auto decodeFields(Release release, std::uint16_t objectType, Decode decode,
                  const std::function<void(BitWriter&)>& fields, const std::vector<std::uint64_t>& handles = {}) {
    BitWriter out(release);
    fields(out);
    ObjectHeader header;
    header.type = objectType;
    header.isEntity = true;
    header.entityMode = 2;  // model space: no owner handle
    header.hasXDictionary = false;
    header.handlesAt = out.bitPos();
    out.writeH({5, 0x8});  // layer
    for (const std::uint64_t h : handles)
        out.writeH({3, h});
    BitReader in(out.bytes(), release);
    return decode(in, header);
}

TEST(GeometryLayout2000, EndValuesDefaultToStartValues) {
    const LineGeometry l = decodeFields(Release::R2000, type::Line, decodeLine, [](BitWriter& out) {
        out.writeB(false);  // z values present
        out.writeRD(1.5);   // start x
        out.writeBB(0);     // end x: DD 00, the start's
        out.writeRD(-2.0);  // start y
        out.writeBB(3);     // end y: DD 11, a full RD
        out.writeRD(7.0);
        out.writeRD(4.0);  // start z
        out.writeBB(0);    // end z: the start's
        out.writeB(true);  // BT: no thickness
        out.writeB(false);  // BE: stored
        out.write3BD({0.0, 0.0, -1.0});
    });
    EXPECT_EQ(l.start, (Point3{1.5, -2.0, 4.0}));
    EXPECT_EQ(l.end, (Point3{1.5, 7.0, 4.0}));
    EXPECT_EQ(l.extrusion, (Point3{0.0, 0.0, -1.0}));

    // Every LWPOLYLINE point after the first defaults to the one before it.
    const LwPolylineGeometry p = decodeFields(Release::R2000, type::LwPolyline, decodeLwPolyline, [](BitWriter& out) {
        out.writeBS(512 | 32 | 16 | 8 | 4 | 2 | 1);
        out.writeBD(0.5);  // constant width
        out.writeBD(3.0);  // elevation
        out.writeBD(1.0);  // thickness
        out.write3BD({0.0, 0.0, -1.0});
        out.writeBL(3);  // points
        out.writeBL(3);  // bulges
        out.writeBL(1);  // widths
        out.write2RD({1.0, 2.0});
        out.writeBB(0);  // x = 1
        out.writeBB(3);
        out.writeRD(4.0);
        out.writeBB(3);
        out.writeRD(6.0);
        out.writeBB(0);  // y = 4
        for (const double b : {0.0, 1.0, -0.5, 0.1, 0.2})
            out.writeBD(b);
    });
    EXPECT_TRUE(p.closed());
    EXPECT_EQ(p.elevation, 3.0);
    EXPECT_EQ(p.thickness, 1.0);
    EXPECT_EQ(p.points, (std::vector<Point2>{{1.0, 2.0}, {1.0, 4.0}, {6.0, 4.0}}));
    EXPECT_EQ(p.bulges, (std::vector<double>{0.0, 1.0, -0.5}));
    ASSERT_EQ(p.widths.size(), 1u);
    EXPECT_EQ(p.widths[0].end, 0.2);

    EXPECT_THAT(
        [] {
            decodeFields(Release::R2000, type::LwPolyline, decodeLwPolyline, [](BitWriter& out) {
                out.writeBS(0);
                out.writeBL(0x7FFFFFFF);
            });
        },
        ThrowsMessage<FormatError>(HasSubstr("lwpolyline points: expected a count of at most")));
}

TEST(GeometryLayout2000, VertexWithANegativeStartWidthHasEqualWidths) {
    const VertexGeometry v = decodeFields(Release::R2000, type::Vertex2d, decodeVertex, [](BitWriter& out) {
        out.writeRC(1);
        out.write3BD({3.0, 4.0, 0.0});
        out.writeBD(-0.75);  // start and end width 0.75; no end width stored
        out.writeBD(0.5);    // bulge
        out.writeBD(1.25);   // tangent direction
    });
    EXPECT_EQ(v.startWidth, 0.75);
    EXPECT_EQ(v.endWidth, 0.75);
    EXPECT_EQ(v.bulge, 0.5);
    EXPECT_EQ(v.tangentDirection, 1.25);
}

TEST(GeometryLayout2004, PolylinesListVerticesAndMTextHasBackgrounds) {
    const PolylineGeometry p = decodeFields(
        Release::R2004, type::Polyline3d, decodePolyline,
        [](BitWriter& out) {
            out.writeRC(1);  // splined
            out.writeRC(1);  // closed
            out.writeBL(2);  // owned vertices
        },
        {0x41, 0x42, 0x43});
    EXPECT_TRUE(p.closed());
    EXPECT_EQ(p.splineFlags, 1);
    EXPECT_EQ(p.vertices, (std::vector<std::uint64_t>{0x41, 0x42}));
    EXPECT_EQ(p.seqend, 0x43u);

    const MTextGeometry m = decodeFields(Release::R2004, type::MText, decodeMText, [](BitWriter& out) {
        out.write3BD({1.0, 2.0, 0.0});
        out.write3BD({0.0, 0.0, 1.0});
        out.write3BD({0.0, 1.0, 0.0});
        for (const double d : {40.0, 2.5})  // rect width, text height
            out.writeBD(d);
        out.writeBS(7);  // bottom left
        out.writeBS(5);  // by style
        for (const double d : {5.0, 30.0})  // extents height, width
            out.writeBD(d);
        out.writeTV("two\\Plines");
        out.writeBS(1);
        out.writeBD(1.0);
        out.writeB(false);
        out.writeBL(1);  // background fill: scale, colour and transparency follow
        out.writeBL(2);
        out.writeBS(3);  // colour 3, RGB 0, no names
        out.writeBL(0);
        out.writeRC(0);
        out.writeBL(0);
    });
    EXPECT_EQ(m.xAxis, (Point3{0.0, 1.0, 0.0}));
    EXPECT_EQ(m.attachment, 7);
    EXPECT_EQ(m.extentsWidth, 30.0);
    EXPECT_EQ(m.text, "two\\Plines");
    EXPECT_EQ(m.backgroundFlags, 1);
}

// ---------------------------------------------------------------------------
// Sample drawings: every entity of the kinds boxed decodes with fields that
// end at its handles, and agrees with the DXF twin where there is one.

using DxfEntity = std::multimap<int, double>;  // numeric group codes

// Entities by handle: DXF type and values.
std::map<std::uint64_t, std::pair<std::string, DxfEntity>> readDxf(const std::string& name) {
    std::map<std::uint64_t, std::pair<std::string, DxfEntity>> out;
    std::ifstream in(std::string(CORVELIN_SAMPLES_DIR) + "/dwg/" + name);
    std::string code, value, kind;
    std::uint64_t handle = 0;
    DxfEntity values;
    while (std::getline(in, code) && std::getline(in, value)) {
        if (!value.empty() && value.back() == '\r')
            value.pop_back();
        const int c = std::atoi(code.c_str());
        if (c == 0) {
            if (handle != 0)
                out[handle] = {kind, values};
            kind = value;
            handle = 0;
            values.clear();
        } else if (c == 5) {
            handle = std::strtoull(value.c_str(), nullptr, 16);
        } else if ((c >= 10 && c <= 59) || (c >= 70 && c <= 99)) {
            values.emplace(c, std::atof(value.c_str()));
        }
    }
    return out;
}

// The values of one DWG entity, under the DXF group codes they are written with.
DxfEntity dwgValues(const ObjectStore& store, std::uint64_t handle, bool& decoded) {
    const ObjectView view = store.view(handle);
    BitReader in = view.reader(store.release());
    const std::uint16_t t = view.header.type;
    const std::string_view name = store.dxfNameOf(handle);
    constexpr double kDegrees = 180.0 / std::numbers::pi;
    decoded = true;
    if (t == type::Line) {
        const LineGeometry g = decodeLine(in, view.header);
        return {{10, g.start.x}, {20, g.start.y}, {11, g.end.x}, {21, g.end.y}, {31, g.end.z}};
    }
    if (t == type::Arc) {
        const ArcGeometry g = decodeArc(in, view.header);
        return {{10, g.center.x}, {20, g.center.y}, {40, g.radius}, {50, g.startAngle * kDegrees},
                {51, g.endAngle * kDegrees}};
    }
    if (t == type::Circle) {
        const CircleGeometry g = decodeCircle(in, view.header);
        return {{10, g.center.x}, {20, g.center.y}, {40, g.radius}};
    }
    if (t == type::Point) {
        const PointGeometry g = decodePoint(in, view.header);
        return {{10, g.position.x}, {20, g.position.y}, {30, g.position.z}};
    }
    if (t == type::Solid || t == type::Trace) {
        const SolidGeometry g = decodeSolid(in, view.header);
        return {{10, g.corners[0].x}, {21, g.corners[1].y}, {12, g.corners[2].x}, {23, g.corners[3].y}};
    }
    if (t == type::Face3d) {
        const Face3dGeometry g = decodeFace3d(in, view.header);
        return {{11, g.corners[1].x}, {23, g.corners[3].y}, {32, g.corners[2].z}};
    }
    if (t == type::Ellipse) {
        const EllipseGeometry g = decodeEllipse(in, view.header);
        return {{11, g.majorAxis.x}, {21, g.majorAxis.y}, {40, g.axisRatio}, {41, g.startParameter},
                {42, g.endParameter}};
    }
    if (t >= type::Vertex2d && t <= type::VertexPface) {
        const VertexGeometry g = decodeVertex(in, view.header);
        return {{10, g.point.x}, {20, g.point.y}, {42, g.bulge}, {70, g.flags}};
    }
    if (t == type::Polyline2d || t == type::Polyline3d || t == type::PolylinePface || t == type::PolylineMesh) {
        const PolylineGeometry g = decodePolyline(in, view.header);
        EXPECT_FALSE(polylineVertices(store, g).empty());
        return {{70, g.closed() ? 1.0 : 0.0}};
    }
    if (t == type::MText) {
        const MTextGeometry g = decodeMText(in, view.header);
        return {{10, g.insertion.x}, {20, g.insertion.y}, {40, g.textHeight}, {41, g.rectWidth}, {71, g.attachment}};
    }
    if (name == "LWPOLYLINE" || name == "LWPLINE") {
        const LwPolylineGeometry g = decodeLwPolyline(in, view.header);
        DxfEntity v{{70, g.closed() ? 1.0 : 0.0}, {90, static_cast<double>(g.points.size())}};
        for (std::size_t i = 0; i < g.points.size(); ++i) {
            v.emplace(10, g.points[i].x);
            v.emplace(20, g.points[i].y);
        }
        return v;
    }
    decoded = false;
    return {};
}

int checkSample(const std::string& base, bool withTwin) {
    const auto bytes = test::loadSample(base + ".dwg");
    if (!bytes)
        return -1;
    const ObjectStore store(readDwgFile(*bytes));
    const auto twin = withTwin ? readDxf(base + ".dxf") : std::map<std::uint64_t, std::pair<std::string, DxfEntity>>{};
    int decoded = 0;
    for (const auto& location : store.file().objects) {
        SCOPED_TRACE(base + " " + std::string(store.dxfNameOf(location.handle)) + " " + handleText(location.handle));
        bool isBoxed = false;
        DxfEntity values;
        try {
            values = dwgValues(store, location.handle, isBoxed);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        decoded += isBoxed ? 1 : 0;
        auto dxf = twin.find(location.handle);
        if (!isBoxed || dxf == twin.end())
            continue;
        for (const int code : {10, 11, 12, 20, 21, 23, 31, 32, 40, 41, 42, 50, 51, 71, 90}) {
            auto [mine, mineEnd] = values.equal_range(code);
            auto [theirs, theirsEnd] = dxf->second.second.equal_range(code);
            for (; mine != mineEnd && theirs != theirsEnd; ++mine, ++theirs)
                EXPECT_NEAR(mine->second, theirs->second, 1e-9 * std::max(1.0, std::abs(theirs->second))) << code;
        }
        // DXF 70: a VERTEX's flags; bit 1 of a polyline's, closed.
        if (values.count(70) != 0) {
            const auto theirs = dxf->second.second.find(70);
            const int flags = theirs == dxf->second.second.end() ? 0 : static_cast<int>(theirs->second);
            const bool isVertex = dxf->second.first == "VERTEX";
            EXPECT_EQ(static_cast<int>(values.find(70)->second), isVertex ? flags : flags & 1);
        }
    }
    return decoded;
}

TEST(GeometrySamples, DecodeLikeTheirDxfTwins) {
    for (const char* base : {"example_r13", "example_r14", "example_2000", "example_2004"}) {
        const int decoded = checkSample(base, true);
        if (decoded < 0)
            GTEST_SKIP() << "sample " << base << ".dwg not found in " << CORVELIN_SAMPLES_DIR;
        // LINE, ARC, CIRCLE, POINT, SOLID, 3DFACE, ELLIPSE, VERTEX, POLYLINE,
        // MTEXT and LWPOLYLINE: over 150 in each.
        EXPECT_GT(decoded, 150) << base;
    }
    const int decoded = checkSample("entities-2d", false);
    if (decoded >= 0) {
        EXPECT_GT(decoded, 10);
    }
}

}  // namespace
}  // namespace dwg
