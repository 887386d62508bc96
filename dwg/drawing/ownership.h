#pragma once
// The entities an object owns. 2004+ objects list them; R13-2000 objects
// give the first and last of a run that the entities link from one to the
// next (an entity without links is followed by the next handle).

#include <cstdint>
#include <vector>

#include "dwg/drawing/object_store.h"
#include "dwg/objects/walks/tables.h"
#include "dwg/objects/walks/text.h"

namespace dwg {

// The entities from `first` to `last` by their links. FormatError when the
// run breaks off, loops, or reaches an object that is not an entity.
std::vector<std::uint64_t> linkedEntities(const ObjectStore& store, std::uint64_t first, std::uint64_t last);

// A block definition's entities in their order (neither BLOCK nor ENDBLK),
// and a block reference's ATTRIBs in their order; `common` is the owner's,
// against which its handles resolve.
std::vector<std::uint64_t> blockEntities(const ObjectStore& store, const CommonData& common,
                                         const BlockRecordObject& block);
std::vector<std::uint64_t> insertAttributes(const ObjectStore& store, const CommonData& common,
                                            const InsertFields& insert);

}  // namespace dwg
