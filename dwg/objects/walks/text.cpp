#include "dwg/objects/walks/text.h"

#include "dwg/objects/stored_object.h"
#include "dwg/objects/registry.h"

namespace dwg {

void addTextKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<TextEntityObject>(type::Text, "TEXT", true));
    kinds.push_back(kindOf<AttribObject>(type::Attrib, "ATTRIB", true));
    kinds.push_back(kindOf<AttdefObject>(type::Attdef, "ATTDEF", true));
    kinds.push_back(kindOf<BlockObject>(type::Block, "BLOCK", true));
    kinds.push_back(kindOf<EndBlockObject>(type::Endblk, "ENDBLK", true));
    kinds.push_back(kindOf<SeqendObject>(type::Seqend, "SEQEND", true));
    kinds.push_back(kindOf<InsertEntityObject>(type::Insert, "INSERT", true));
    kinds.push_back(kindOf<MInsertObject>(type::Minsert, "MINSERT", true));
    kinds.push_back(kindOf<MTextObject>(type::MText, "MTEXT", true));
}

}  // namespace dwg
