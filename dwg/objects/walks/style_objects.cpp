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
}

}  // namespace dwg
