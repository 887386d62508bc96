#include "dwg/objects/walks/complex_entities.h"

#include "dwg/objects/registry.h"

namespace dwg {

void addComplexEntityKinds(std::vector<ObjectKind>&) {}

}  // namespace dwg
