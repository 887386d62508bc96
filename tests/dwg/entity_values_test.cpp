// Entity values through the field walks, against two sources of truth: the
// R14 examples of the format document (ODA §20.4.x.1), whose values agree
// across examples (the polylines name the handles of the vertex examples, the
// MTEXT labels the circle with its radius), and the sample drawings' DXF
// twins.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "dwg/container/dwg_file.h"
#include "dwg/drawing/object_store.h"
#include "dwg/errors.h"
#include "dwg/objects/walks/entities.h"
#include "dwg/objects/walks/polylines.h"
#include "dwg/objects/walks/text.h"
#include "test_support.h"

namespace dwg {
namespace {

// One of the document's R14 objects, from its MS size through its last
// byte, decoded through its walk (which checks that its data and handles end
// where the object says) and encoded again to the same bytes. The LWPLINE
// example is an object of the class numbered 0x1FB.
struct DocumentObject {
    Object object;

    explicit DocumentObject(std::string_view hex) {
        std::vector<std::uint8_t> stored = test::hexToBytes(hex);
        const std::size_t size = stored.size();
        stored.insert(stored.end(), {0, 0});  // the CRC, not checked here
        ClassList classes;
        classes.classes.push_back({});
        classes.classes.back().number = 0x1FB;
        classes.classes.back().dxfName = "LWPOLYLINE";
        classes.classes.back().itemClassId = 0x1F2;
        object = decodeObject(stored, Release::R14, classes);
        std::vector<std::uint8_t> again = encodeObject(object, Release::R14, Release::R14);
        again.resize(std::min(again.size(), size));  // without the CRC
        stored.resize(size);
        EXPECT_EQ(again, stored) << hex;
    }
    template <class Fields>
    Fields fields() {
        const Fields* f = object.as<Fields>();
        if (f == nullptr)
            throw std::logic_error("not the expected walk");
        return *f;
    }
    std::uint64_t resolve(const HandleRef& ref) const { return object.common.resolve(ref); }
};

const char* const kLine =  // ODA §20.4.21.1
    "35 00 44 C0 73 22 E8 08 00 01 13 00 6B B5 95 B2 D9 24 08 04 88 93 FD FD 9A 00 FA 04 53 E6 F4 DB"
    "B6 B6 90 20 12 02 4F F7 F6 68 03 E8 15 4E 08 11 82 88 7A 88 9A 03 06";

void expectNear(const Point3& p, double x, double y, double z) {
    EXPECT_NEAR(p.x, x, 1e-4);  // as the other examples print them
    EXPECT_NEAR(p.y, y, 1e-4);
    EXPECT_NEAR(p.z, z, 1e-4);
}

TEST(EntityValuesDocumentExamples, CurvesPointsAndFaces) {
    const LineObject line = DocumentObject(kLine).fields<LineObject>();
    expectNear(line.start, 8.39373, 7.81319, 0.0);  // a dimension line at the MTEXT's height
    expectNear(line.end, 8.21373, 7.81319, 0.0);
    EXPECT_EQ(line.extrusion, (Point3{0, 0, 1}));

    const ArcObject arc = DocumentObject(  // ODA §20.4.18.1
        "3A 00 44 40 59 24 E8 08 00 05 5B 0F 61 AA 41 EB F9 A0 88 05 DD 50 53 3A 0A 70 EA 04 13 B4 FD AC"
        "6D CB 7A 9F D4 88 6D E1 F9 BC BC 60 08 00 27 5B 70 E5 02 68 7A 01 82 88 7E 08 33 05").fields<ArcObject>();
    expectNear(arc.circle.center, 2.60028, 7.32642, 0.0);
    EXPECT_NEAR(arc.circle.radius, 1.34933, 1e-4);
    EXPECT_NEAR(arc.startAngle, 2.11128, 1e-4);
    EXPECT_NEAR(arc.endAngle, 3.91290, 1e-4);

    const CircleObject circle = DocumentObject(  // ODA §20.4.20.1
        "2B 00 44 80 64 A0 C8 08 00 05 5B 0A 88 A1 BF 90 3F C3 48 00 45 2D C2 C7 6F 28 FA 04 6A 9D CD 75"
        "A2 1A 72 9F D4 98 28 87 E0 96 50 86 6D").fields<CircleObject>();
    EXPECT_NEAR(circle.radius, 0.6626, 0.00005);  // the MTEXT example reads "R0.6626"

    const EllipseObject ellipse = DocumentObject(  // ODA §20.4.39.1
        "4C 00 48 C0 80 48 A1 48 10 00 05 5B 0C 0A 03 29 8A E7 42 48 01 F0 9F BC 53 10 40 DA 04 51 23 D0"
        "F1 D6 AF 7B 9F 9A 89 15 EA 36 B2 DD 17 F5 00 20 00 00 00 00 1E 07 E5 D2 A4 7D B0 4C 5E F9 FC 0C"
        "16 A2 2A 7D 90 8C A0 18 28 87 E0 83 A0 69").fields<EllipseObject>();
    expectNear(ellipse.majorAxis, 1.46062, -0.768397, 0.0);
    EXPECT_NEAR(ellipse.axisRatio, 0.492861, 1e-4);
    EXPECT_EQ(ellipse.startAngle, 0.0);
    EXPECT_DOUBLE_EQ(ellipse.endAngle, 2 * std::numbers::pi);  // a whole ellipse

    const PointObject point = DocumentObject(  // ODA §20.4.31.1
        "23 00 46 C0 74 A6 C8 00 00 01 33 09 FE 67 99 7E D4 03 A8 01 FF F9 D1 85 3C D8 FA 05 53 60 84 18"
        "28 CC A8 89 86").fields<PointObject>();
    expectNear(point.position, 7.40719, 7.902, 0.0);

    // ODA §20.4.35.1: an arrowhead, a triangle whose tip is that point.
    const SolidObject solid = DocumentObject(
        "52 00 47 C0 73 E2 98 10 00 01 33 50 A8 BE 18 24 52 D8 F2 07 52 C3 01 40 1D 30 FA 00 FF 31 0A 96"
        "82 A0 F2 06 8B FA 70 47 8B 40 FA 02 7F 99 E6 5F B5 00 EA 01 FF F9 D1 85 3C D8 FA 02 7F 99 E6 5F"
        "B5 00 EA 01 FF F9 D1 85 3C D8 FA 05 38 20 A6 0A 21 EA 22 6A").fields<SolidObject>();
    EXPECT_EQ(solid.corners[2], solid.corners[3]);
    EXPECT_EQ(solid.corners[3], (Point2{point.position.x, point.position.y}));

    const SolidObject trace = DocumentObject(  // ODA §20.4.36.1
        "51 00 48 00 79 E2 98 10 00 05 5B 53 70 DA A0 AD EE C1 42 05 BA E0 2A DA A9 60 02 05 75 29 DE 3E"
        "FF 89 42 03 4E 20 B3 8F 50 C0 02 00 4B 2A 12 65 70 A9 52 04 9E 9B A5 92 BF 40 A2 06 1D 16 C2 A5"
        "61 81 52 02 6F 4E 85 D6 E7 88 A2 05 26 0A 21 F8 20 6C 1A").fields<SolidObject>();
    EXPECT_NEAR(trace.corners[3].y, 5.23619, 1e-4);

    const Face3dObject face = DocumentObject(  // ODA §20.4.32.1
        "50 00 47 00 78 E3 18 10 00 05 7B 06 54 B1 62 D9 BA E4 28 00 02 01 84 E7 8E 80 12 04 4F 73 C2 29"
        "98 53 12 20 16 8C 3C B6 E3 69 E2 08 10 14 77 8D 5D FA 52 4C 80 50 0B 36 A4 30 F0 FF 1F C5 51 57"
        "68 85 48 51 12 00 40 84 CA FB AF DF EC 7F 46 0A 21 FA").fields<Face3dObject>();
    expectNear(face.corners[3], 9.02082, 1.43356, 0.0);
}

TEST(EntityValuesDocumentExamples, PolylinesNameTheirVertexExamples) {
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
    std::vector<DocumentObject> polylines;
    for (const Case& c : cases) {
        polylines.emplace_back(c.hex);
        DocumentObject& p = polylines.back();
        const OwnedEntities* vertices = nullptr;
        if (const auto* p2 = p.object.as<Polyline2dObject>())
            vertices = &p2->vertices;
        else if (const auto* p3 = p.object.as<Polyline3dObject>())
            vertices = &p3->vertices;
        else if (const auto* pface = p.object.as<PolylinePfaceObject>())
            vertices = &pface->vertices;
        else if (const auto* mesh = p.object.as<PolylineMeshObject>())
            vertices = &mesh->vertices;
        ASSERT_NE(vertices, nullptr) << c.hex;
        EXPECT_EQ(p.resolve(vertices->first), c.first);
        EXPECT_EQ(p.resolve(vertices->last), c.last);
        EXPECT_EQ(p.resolve(vertices->seqend), c.seqend);
    }
    // Vertices 56-5C: four points and three faces; 67-90: a closed 6 x 7 mesh.
    const auto pface = polylines[2].fields<PolylinePfaceObject>();
    EXPECT_EQ(pface.vertexCount, 4);
    EXPECT_EQ(pface.faceCount, 3);
    const auto mesh = polylines[3].fields<PolylineMeshObject>();
    EXPECT_EQ(mesh.mCount * mesh.nCount, 0x90 - 0x67 + 1);
    EXPECT_EQ(mesh.flags, 1 | 16);

    // The vertex examples: 2D 4D (§20.4.11.1), 3D 62 (§20.4.12.1), face 56 (§20.4.14.1).
    DocumentObject v2d(
        "22 00 42 80 53 66 F8 00 00 01 5B 00 00 00 00 00 00 00 00 08 00 00 00 00 00 00 00 02 05 55 00 60"
        "A2 1E 80 C1");
    DocumentObject v3d("1A 00 42 C0 58 A4 B8 00 00 01 5B 10 00 00 00 00 00 00 00 08 0D 82 08 60 A2 1F 00 80");
    DocumentObject vFace(
        "21 00 43 40 55 A6 B8 00 00 01 5B 60 20 00 00 00 00 00 00 02 00 00 00 00 00 00 00 10 81 00 60 A2"
        "1E 80 C1");
    EXPECT_EQ(v2d.object.common.handleValue(), 0x4Du);
    EXPECT_EQ(v3d.object.common.handleValue(), 0x62u);
    EXPECT_EQ(vFace.object.common.handleValue(), 0x56u);
    EXPECT_EQ(v2d.fields<Vertex2dObject>().point, (Point3{2, 2, 0}));
    EXPECT_EQ(v3d.fields<Vertex3dObject>().flags, 32);
    EXPECT_EQ(v3d.fields<Vertex3dObject>().point, (Point3{2, 1, 0}));
    EXPECT_EQ(vFace.fields<VertexPfaceObject>().flags, 64 | 128);
    EXPECT_EQ(vFace.fields<VertexPfaceObject>().point, (Point3{1, 2, 3}));
}

TEST(EntityValuesDocumentExamples, MTextAndLwPolyline) {
    const MTextObject m = DocumentObject(  // ODA §20.4.46.1
        "4D 00 4B 00 73 A0 C8 10 00 01 33 0F AE 2B 5E AE E0 84 48 04 88 93 FD FD 9A 00 FA 05 4B 50 15 AF"
        "46 E0 7A 15 8E 7E 82 A0 20 6E BD 1B 81 E8 56 39 F9 9B 99 99 99 99 99 E0 7E 85 AE 20 98 9D A9 18"
        "17 1B 1B 19 1B 60 82 18 28 87 A8 89 A8 88 00").fields<MTextObject>();
    EXPECT_EQ(m.text.bytes, "\\A1;R0.6626");
    expectNear(m.insertion, 9.00873, 7.81319, 0.0);
    EXPECT_EQ(m.xAxis, (Point3{1, 0, 0}));
    EXPECT_EQ(m.attachment, 5);  // middle center
    EXPECT_DOUBLE_EQ(m.extentsHeight, 0.18);  // one line, as high as the text
    EXPECT_DOUBLE_EQ(m.textHeight, 0.18);
    EXPECT_DOUBLE_EQ(m.extentsWidth, 1.05);  // 7 characters of 5/6 of 0.18

    DocumentObject lwpline(  // ODA §20.4.85.1, an R14 class object: every point a 2RD
        "C8 00 3E C0 40 80 43 D0 35 20 10 94 60 10 08 2A 0C 00 00 5E A0 20 80 12 14 85 00 00 00 00 00 00"
        "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 14 A0 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
        "14 A0 00 00 00 00 00 00 78 1F 80 00 00 00 00 40 23 20 00 00 00 00 00 00 78 1F 80 00 00 00 00 40"
        "23 20 00 00 00 00 00 00 00 20 00 00 00 00 00 40 23 20 00 00 00 00 00 00 1E 20 00 00 00 00 00 40"
        "23 20 00 00 00 00 00 00 1E A0 00 00 00 00 00 00 14 A0 00 00 00 00 00 00 1E A0 00 00 00 00 00 00"
        "14 A0 00 00 00 00 00 00 1F 20 00 00 00 00 00 00 00 00 00 00 00 00 00 00 1F 20 55 1F FF FF FF FF"
        "FF FD F7 F5 56 08 19 82 88 7A");
    const LwPolylineObject p = lwpline.fields<LwPolylineObject>();
    EXPECT_EQ(p.flags, 512 | 16);  // closed, with bulges
    EXPECT_EQ(p.points, (std::vector<Point2>{{0, 0}, {12.5, 0}, {12.5, 1}, {45, 1}, {45, 2}, {45, 28}, {45, 29},
                                             {12.5, 29}, {12.5, 30}, {0, 30}}));
    ASSERT_EQ(p.bulges.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_DOUBLE_EQ(p.bulges[i], i == 4 ? -1.0 : 0.0) << i;  // a half circle, stored as tan(-pi/4)
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
    Object o = store.decode(handle);
    constexpr double kDegrees = 180.0 / std::numbers::pi;
    decoded = true;
    if (const auto* g = o.as<LineObject>())
        return {{10, g->start.x}, {20, g->start.y}, {11, g->end.x}, {21, g->end.y}, {31, g->end.z}};
    if (const auto* g = o.as<ArcObject>())
        return {{10, g->circle.center.x}, {20, g->circle.center.y}, {40, g->circle.radius},
                {50, g->startAngle * kDegrees}, {51, g->endAngle * kDegrees}};
    if (const auto* g = o.as<CircleObject>())
        return {{10, g->center.x}, {20, g->center.y}, {40, g->radius}};
    if (const auto* g = o.as<PointObject>())
        return {{10, g->position.x}, {20, g->position.y}, {30, g->position.z}};
    if (const auto* g = o.as<SolidObject>())
        return {{10, g->corners[0].x}, {21, g->corners[1].y}, {12, g->corners[2].x}, {23, g->corners[3].y}};
    if (const auto* g = o.as<Face3dObject>())
        return {{11, g->corners[1].x}, {23, g->corners[3].y}, {32, g->corners[2].z}};
    if (const auto* g = o.as<EllipseObject>())
        return {{11, g->majorAxis.x}, {21, g->majorAxis.y}, {40, g->axisRatio}, {41, g->startAngle},
                {42, g->endAngle}};
    if (const auto* g = o.as<Vertex2dObject>())
        return {{10, g->point.x}, {20, g->point.y}, {42, g->bulge}, {70, g->flags}};
    const Vertex3dObject* v3 = o.as<Vertex3dObject>();
    if (v3 == nullptr)
        v3 = o.as<VertexMeshObject>();
    if (v3 == nullptr)
        v3 = o.as<VertexPfaceObject>();
    if (v3 != nullptr)
        return {{10, v3->point.x}, {20, v3->point.y}, {70, v3->flags}};
    if (const auto* g = o.as<Polyline2dObject>())
        return {{70, (g->flags & 1) != 0 ? 1.0 : 0.0}};
    if (const auto* g = o.as<Polyline3dObject>())
        return {{70, (g->flags & 1) != 0 ? 1.0 : 0.0}};
    if (const auto* g = o.as<PolylineMeshObject>())
        return {{70, (g->flags & 1) != 0 ? 1.0 : 0.0}};
    if (o.as<PolylinePfaceObject>() != nullptr)
        return {{70, 0.0}};
    if (const auto* g = o.as<MTextObject>())
        return {{10, g->insertion.x}, {20, g->insertion.y}, {40, g->textHeight}, {41, g->rectWidth},
                {71, g->attachment}};
    if (const auto* g = o.as<LwPolylineObject>()) {
        DxfEntity v{{70, (g->flags & 512) != 0 ? 1.0 : 0.0}, {90, static_cast<double>(g->points.size())}};
        for (const Point2& p : g->points) {
            v.emplace(10, p.x);
            v.emplace(20, p.y);
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

TEST(EntityValuesSamples, DecodeLikeTheirDxfTwins) {
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
