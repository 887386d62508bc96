#include "dwg/objects/walks/tables.h"

#include "dwg/objects/stored_object.h"
#include "dwg/objects/registry.h"

namespace dwg {
namespace {

// Fixed types (ODA §20.3) that stored_object.h does not name.
constexpr std::uint16_t kView = 61, kVport = 65, kVxControl = 70, kVxRecord = 71;

}  // namespace

void addTableKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<BlockTableObject>(type::BlockControl, "BLOCK_CONTROL", false));
    kinds.push_back(kindOf<SymbolTableObject>(type::LayerControl, "LAYER_CONTROL", false));
    kinds.push_back(kindOf<SymbolTableObject>(type::StyleControl, "STYLE_CONTROL", false));
    kinds.push_back(kindOf<LinetypeTableObject>(type::LtypeControl, "LTYPE_CONTROL", false));
    kinds.push_back(kindOf<SymbolTableObject>(type::ViewControl, "VIEW_CONTROL", false));
    kinds.push_back(kindOf<SymbolTableObject>(type::UcsControl, "UCS_CONTROL", false));
    kinds.push_back(kindOf<SymbolTableObject>(type::VportControl, "VPORT_CONTROL", false));
    kinds.push_back(kindOf<SymbolTableObject>(type::AppIdControl, "APPID_CONTROL", false));
    kinds.push_back(kindOf<DimStyleTableObject>(type::DimStyleControl, "DIMSTYLE_CONTROL", false));
    kinds.push_back(kindOf<SymbolTableObject>(kVxControl, "VX_CONTROL", false));

    kinds.push_back(kindOf<BlockRecordObject>(type::BlockHeader, "BLOCK_HEADER", false));
    kinds.push_back(kindOf<LayerObject>(type::Layer, "LAYER", false));
    kinds.push_back(kindOf<StyleObject>(type::Style, "STYLE", false));
    kinds.push_back(kindOf<LinetypeObject>(type::Ltype, "LTYPE", false));
    kinds.push_back(kindOf<ViewObject>(kView, "VIEW", false));
    kinds.push_back(kindOf<VportObject>(kVport, "VPORT", false));
    kinds.push_back(kindOf<AppIdObject>(type::AppId, "APPID", false));
    kinds.push_back(kindOf<DimStyleObject>(type::DimStyle, "DIMSTYLE", false));
    kinds.push_back(kindOf<VxRecordObject>(kVxRecord, "VX_TABLE_RECORD", false));
}

}  // namespace dwg
