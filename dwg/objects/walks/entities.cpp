#include "dwg/objects/walks/entities.h"

#include "dwg/objects/stored_object.h"
#include "dwg/objects/registry.h"

namespace dwg {

namespace {
// Fixed types stored_object.h does not name (ODA §20.3).
constexpr std::uint16_t kShape = 33, kRay = 40, kXLine = 41, kSpline = 36, kRegion = 37, kSolid3d = 38, kBody = 39,
                         kOle2Frame = 74;
}  // namespace

void addEntityKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<LineObject>(type::Line, "LINE", true));
    kinds.push_back(kindOf<CircleObject>(type::Circle, "CIRCLE", true));
    kinds.push_back(kindOf<ArcObject>(type::Arc, "ARC", true));
    kinds.push_back(kindOf<PointObject>(type::Point, "POINT", true));
    kinds.push_back(kindOf<SolidObject>(type::Solid, "SOLID", true));
    kinds.push_back(kindOf<SolidObject>(type::Trace, "TRACE", true));
    kinds.push_back(kindOf<Face3dObject>(type::Face3d, "3DFACE", true));
    kinds.push_back(kindOf<ShapeObject>(kShape, "SHAPE", true));
    kinds.push_back(kindOf<EllipseObject>(type::Ellipse, "ELLIPSE", true));
    kinds.push_back(kindOf<RayObject>(kRay, "RAY", true));
    kinds.push_back(kindOf<XLineObject>(kXLine, "XLINE", true));
    kinds.push_back(kindOf<SplineObject>(kSpline, "SPLINE", true));
    kinds.push_back(kindOf<ViewportObject>(type::Viewport, "VIEWPORT", true));
    kinds.push_back(kindOf<HelixObject>(0, "HELIX", true));
    kinds.push_back(kindOf<ImageObject>(0, "IMAGE", true));
    kinds.push_back(kindOf<ImageObject>(0, "WIPEOUT", true));
    kinds.push_back(kindOf<LightObject>(0, "LIGHT", true));
    kinds.push_back(kindOf<ModelerGeometryObject>(kRegion, "REGION", true));
    kinds.push_back(kindOf<ModelerGeometryObject>(kSolid3d, "3DSOLID", true));
    kinds.push_back(kindOf<ModelerGeometryObject>(kBody, "BODY", true));
    kinds.push_back(kindOf<Ole2FrameObject>(kOle2Frame, "OLE2FRAME", true));
}

}  // namespace dwg
