#include "dwg/objects/walks/polylines.h"

#include "dwg/objects/registry.h"

namespace dwg {

void addPolylineKinds(std::vector<ObjectKind>&) {}

}  // namespace dwg
