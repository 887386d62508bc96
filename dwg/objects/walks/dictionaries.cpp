#include "dwg/objects/walks/dictionaries.h"

#include "dwg/objects/registry.h"

namespace dwg {

void addDictionaryKinds(std::vector<ObjectKind>&) {}

}  // namespace dwg
