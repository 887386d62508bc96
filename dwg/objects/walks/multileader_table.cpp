#include "dwg/objects/walks/multileader_table.h"

#include "dwg/objects/registry.h"

namespace dwg {

bool hasMLeaderVersionData(const CommonData& common) {
    // 70 is the code of a 1070 short, followed by its two bytes.
    for (const ExtendedData& e : common.extendedData)
        if (e.bytes.size() == 3 && e.bytes[0] == 70)
            return true;
    return false;
}

void addMultiLeaderTableKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<MLeaderStyleObject>(0, "MLEADERSTYLE", false));
    kinds.push_back(kindOf<CellStyleMapObject>(0, "CELLSTYLEMAP", false));
    kinds.push_back(kindOf<TableStyleObject>(0, "TABLESTYLE", false));
    kinds.push_back(kindOf<MultiLeaderObject>(0, "MULTILEADER", true));
    kinds.push_back(kindOf<TableGeometryObject>(0, "TABLEGEOMETRY", false));
    kinds.push_back(kindOf<DataTableObject>(0, "DATATABLE", false));
    kinds.push_back(kindOf<TableContentObject>(0, "TABLECONTENT", false));
    kinds.push_back(kindOf<TableObject>(0, "ACAD_TABLE", true));
}

}  // namespace dwg
