#include "dwg/objects/walks/style_objects.h"

#include "dwg/objects/registry.h"

namespace dwg {

void addStyleObjectKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<VisualStyleObject>(0, "VISUALSTYLE", false));
    kinds.push_back(kindOf<MaterialObject>(0, "MATERIAL", false));
    kinds.push_back(kindOf<SunObject>(0, "SUN", false));
    kinds.push_back(kindOf<DetailViewStyleObject>(0, "ACDBDETAILVIEWSTYLE", false));
    kinds.push_back(kindOf<SectionViewStyleObject>(0, "ACDBSECTIONVIEWSTYLE", false));
}

}  // namespace dwg
