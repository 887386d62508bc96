#pragma once
// Which walk describes an object type: the fixed types by number (ODA §20.3),
// the others by their class's DXF name (ODA §10). Each group of walks adds its
// kinds in its own file under walks/.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "dwg/objects/object.h"

namespace dwg {

struct ObjectKind {
    std::uint16_t type = 0;      // the fixed type, or 0 for a class's objects
    std::string_view dxfName;    // "LINE", "DICTIONARY"; the class's DXF name for classes
    bool entity = false;
    std::unique_ptr<ObjectBody> (*make)() = nullptr;
};

template <class Fields>
ObjectKind kindOf(std::uint16_t type, std::string_view dxfName, bool entity) {
    return {type, dxfName, entity, [] { return std::unique_ptr<ObjectBody>(std::make_unique<BodyOf<Fields>>()); }};
}

// Every kind, in the order the groups add them.
std::span<const ObjectKind> objectKinds();

// The kind of an object type (a class's type is looked up by the class's
// DXF name), or null when no walk describes it.
const ObjectKind* findObjectKind(std::uint16_t type, const ClassList& classes);

// The groups.
void addEntityKinds(std::vector<ObjectKind>& kinds);
void addTextKinds(std::vector<ObjectKind>& kinds);
void addPolylineKinds(std::vector<ObjectKind>& kinds);
void addDimensionKinds(std::vector<ObjectKind>& kinds);
void addComplexEntityKinds(std::vector<ObjectKind>& kinds);
void addTableKinds(std::vector<ObjectKind>& kinds);
void addDictionaryKinds(std::vector<ObjectKind>& kinds);
void addStyleObjectKinds(std::vector<ObjectKind>& kinds);
void addProxyKinds(std::vector<ObjectKind>& kinds);
void addMultiLeaderTableKinds(std::vector<ObjectKind>& kinds);

}  // namespace dwg
