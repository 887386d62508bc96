#include "dwg/objects/walks/dimensions.h"

#include "dwg/objects/registry.h"

namespace dwg {
namespace {

// ODA §20.3.
constexpr std::uint16_t OrdinateDimension = 20, LinearDimension = 21, AlignedDimension = 22,
                        Angular3PointDimension = 23, Angular2LineDimension = 24, RadiusDimension = 25,
                        DiameterDimension = 26, Leader = 45, Tolerance = 46, Mline = 47;

}  // namespace

void addDimensionKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<OrdinateDimensionObject>(OrdinateDimension, "DIMENSION_ORDINATE", true));
    kinds.push_back(kindOf<LinearDimensionObject>(LinearDimension, "DIMENSION_LINEAR", true));
    kinds.push_back(kindOf<AlignedDimensionObject>(AlignedDimension, "DIMENSION_ALIGNED", true));
    kinds.push_back(kindOf<Angular3PointDimensionObject>(Angular3PointDimension, "DIMENSION_ANG3PT", true));
    kinds.push_back(kindOf<Angular2LineDimensionObject>(Angular2LineDimension, "DIMENSION_ANG2LN", true));
    kinds.push_back(kindOf<RadiusDimensionObject>(RadiusDimension, "DIMENSION_RADIUS", true));
    kinds.push_back(kindOf<DiameterDimensionObject>(DiameterDimension, "DIMENSION_DIAMETER", true));
    kinds.push_back(kindOf<ArcDimensionObject>(0, "ARC_DIMENSION", true));
    kinds.push_back(kindOf<LeaderObject>(Leader, "LEADER", true));
    kinds.push_back(kindOf<ToleranceObject>(Tolerance, "TOLERANCE", true));
    kinds.push_back(kindOf<MlineObject>(Mline, "MLINE", true));
}

}  // namespace dwg
