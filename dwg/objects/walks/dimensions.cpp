#include "dwg/objects/walks/dimensions.h"

#include "dwg/objects/registry.h"

namespace dwg {

void addDimensionKinds(std::vector<ObjectKind>&) {}

}  // namespace dwg
