#include "dwg/objects/walks/entities.h"

#include "dwg/objects/object_header.h"
#include "dwg/objects/registry.h"

namespace dwg {

void addEntityKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<LineObject>(type::Line, "LINE", true));
    kinds.push_back(kindOf<CircleObject>(type::Circle, "CIRCLE", true));
    kinds.push_back(kindOf<ArcObject>(type::Arc, "ARC", true));
    kinds.push_back(kindOf<PointObject>(type::Point, "POINT", true));
}

}  // namespace dwg
