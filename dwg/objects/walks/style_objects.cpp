#include "dwg/objects/walks/style_objects.h"

#include "dwg/objects/registry.h"

namespace dwg {

void addStyleObjectKinds(std::vector<ObjectKind>&) {}

}  // namespace dwg
