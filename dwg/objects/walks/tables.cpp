#include "dwg/objects/walks/tables.h"

#include "dwg/objects/registry.h"

namespace dwg {

void addTableKinds(std::vector<ObjectKind>&) {}

}  // namespace dwg
