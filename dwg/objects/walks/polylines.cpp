#include "dwg/objects/walks/polylines.h"

#include "dwg/objects/stored_object.h"
#include "dwg/objects/registry.h"

namespace dwg {

void addPolylineKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<Vertex2dObject>(type::Vertex2d, "VERTEX", true));
    kinds.push_back(kindOf<Vertex3dObject>(type::Vertex3d, "VERTEX", true));
    kinds.push_back(kindOf<VertexMeshObject>(type::VertexMesh, "VERTEX", true));
    kinds.push_back(kindOf<VertexPfaceObject>(type::VertexPface, "VERTEX", true));
    kinds.push_back(kindOf<VertexPfaceFaceObject>(type::VertexPfaceFace, "VERTEX", true));
    kinds.push_back(kindOf<Polyline2dObject>(type::Polyline2d, "POLYLINE", true));
    kinds.push_back(kindOf<Polyline3dObject>(type::Polyline3d, "POLYLINE", true));
    kinds.push_back(kindOf<PolylinePfaceObject>(type::PolylinePface, "POLYLINE", true));
    kinds.push_back(kindOf<PolylineMeshObject>(type::PolylineMesh, "POLYLINE", true));
    kinds.push_back(kindOf<LwPolylineObject>(type::LwPolyline, "LWPOLYLINE", true));
    // R14 has it as a class.
    kinds.push_back(kindOf<LwPolylineObject>(0, "LWPOLYLINE", true));
}

}  // namespace dwg
