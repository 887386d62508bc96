#include "dwg/objects/walks/dictionaries.h"

#include "dwg/objects/stored_object.h"
#include "dwg/objects/registry.h"

namespace dwg {
namespace {

// Fixed types stored_object.h does not name.
constexpr std::uint16_t kGroup = 72, kMlineStyle = 73, kXRecord = 79, kPlaceholder = 80, kLayout = 82;

}  // namespace

// VBA_PROJECT (81), IDBUFFER, SPATIAL_INDEX and LAYER_INDEX have walks in
// the header but stay out until a drawing holds one to check them against.
// PLOTSETTINGS is the part of LAYOUT every layout checks.
void addDictionaryKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<DictionaryObject>(type::Dictionary, "DICTIONARY", false));
    kinds.push_back(kindOf<DictionaryWithDefaultObject>(0, "ACDBDICTIONARYWDFLT", false));
    kinds.push_back(kindOf<GroupObject>(kGroup, "GROUP", false));
    kinds.push_back(kindOf<MlineStyleObject>(kMlineStyle, "MLINESTYLE", false));
    kinds.push_back(kindOf<XRecordObject>(kXRecord, "XRECORD", false));
    kinds.push_back(kindOf<XRecordObject>(0, "XRECORD", false));
    kinds.push_back(kindOf<PlaceholderObject>(kPlaceholder, "ACDBPLACEHOLDER", false));
    kinds.push_back(kindOf<PlaceholderObject>(0, "ACDBPLACEHOLDER", false));
    kinds.push_back(kindOf<LayoutObject>(kLayout, "LAYOUT", false));
    kinds.push_back(kindOf<LayoutObject>(0, "LAYOUT", false));
    kinds.push_back(kindOf<PlotSettingsObject>(0, "PLOTSETTINGS", false));
    kinds.push_back(kindOf<DictionaryVarObject>(0, "DICTIONARYVAR", false));
    kinds.push_back(kindOf<ScaleObject>(0, "SCALE", false));
    kinds.push_back(kindOf<ImageDefObject>(0, "IMAGEDEF", false));
    kinds.push_back(kindOf<ImageDefReactorObject>(0, "IMAGEDEF_REACTOR", false));
    kinds.push_back(kindOf<RasterVariablesObject>(0, "RASTERVARIABLES", false));
    kinds.push_back(kindOf<WipeoutVariablesObject>(0, "WIPEOUTVARIABLES", false));
    kinds.push_back(kindOf<SortEntsTableObject>(0, "SORTENTSTABLE", false));
    kinds.push_back(kindOf<SpatialFilterObject>(0, "SPATIAL_FILTER", false));
    kinds.push_back(kindOf<FieldListObject>(0, "FIELDLIST", false));
    kinds.push_back(kindOf<FieldObject>(0, "FIELD", false));
    kinds.push_back(kindOf<DimAssocObject>(0, "DIMASSOC", false));
}

}  // namespace dwg
