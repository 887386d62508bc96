#include "dwg/objects/walks/complex_entities.h"

#include "dwg/objects/registry.h"

namespace dwg {
namespace {

// HATCH has a fixed type from 2000 on; R13-R14 drawings carry it as a class
// (type 536 in the R14 sample).
constexpr std::uint16_t Hatch = 78;

}  // namespace

void addComplexEntityKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<HatchObject>(Hatch, "HATCH", true));
    kinds.push_back(kindOf<HatchObject>(0, "HATCH", true));
}

}  // namespace dwg
