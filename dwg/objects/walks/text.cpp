#include "dwg/objects/walks/text.h"

#include "dwg/objects/registry.h"

namespace dwg {

void addTextKinds(std::vector<ObjectKind>&) {}

}  // namespace dwg
