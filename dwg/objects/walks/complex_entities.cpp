#include "dwg/objects/walks/complex_entities.h"

#include "dwg/objects/registry.h"

namespace dwg {
namespace {

// ODA §20.3 gives HATCH a fixed type; drawings may also carry it as a class.
constexpr std::uint16_t Hatch = 78;

}  // namespace

void addComplexEntityKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<HatchObject>(Hatch, "HATCH", true));
    kinds.push_back(kindOf<HatchObject>(0, "HATCH", true));
}

}  // namespace dwg
