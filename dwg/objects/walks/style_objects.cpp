#include "dwg/objects/walks/style_objects.h"

#include "dwg/objects/registry.h"

namespace dwg {

void addStyleObjectKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<VisualStyleObject>(0, "VISUALSTYLE", false));
    kinds.push_back(kindOf<MaterialObject>(0, "MATERIAL", false));
    kinds.push_back(kindOf<SunObject>(0, "SUN", false));
    kinds.push_back(kindOf<DetailViewStyleObject>(0, "ACDBDETAILVIEWSTYLE", false));
    kinds.push_back(kindOf<SectionViewStyleObject>(0, "ACDBSECTIONVIEWSTYLE", false));
    kinds.push_back(kindOf<ShapeHistoryObject>(0, "ACSH_HISTORY_CLASS", false));
    kinds.push_back(kindOf<AssocDependencyObject>(0, "ACDBASSOCDEPENDENCY", false));
    kinds.push_back(kindOf<AssocGeomDependencyObject>(0, "ACDBASSOCGEOMDEPENDENCY", false));
    kinds.push_back(kindOf<AssocActionObject>(0, "ACDBASSOCACTION", false));
    kinds.push_back(kindOf<AssocNetworkObject>(0, "ACDBASSOCNETWORK", false));
    kinds.push_back(kindOf<EvalGraphObject>(0, "ACAD_EVALUATION_GRAPH", false));
    kinds.push_back(kindOf<AssocAlignedDimActionBodyObject>(0, "ACDBASSOCALIGNEDDIMACTIONBODY", false));
    kinds.push_back(kindOf<AssocOsnapPointRefActionParamObject>(0, "ACDBASSOCOSNAPPOINTREFACTIONPARAM", false));
    kinds.push_back(kindOf<AssocVertexActionParamObject>(0, "ACDBASSOCVERTEXACTIONPARAM", false));
    kinds.push_back(kindOf<PersSubentManagerObject>(0, "ACDBPERSSUBENTMANAGER", false));
    kinds.push_back(kindOf<ShapeSweepObject>(0, "ACSH_SWEEP_CLASS", false));
    kinds.push_back(kindOf<AssocPersSubentManagerObject>(0, "ACDBASSOCPERSSUBENTMANAGER", false));
}

}  // namespace dwg
