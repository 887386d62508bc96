#include "dwg/objects/registry.h"

#include <unordered_map>

namespace dwg {
namespace {

std::vector<ObjectKind> makeKinds() {
    std::vector<ObjectKind> kinds;
    addEntityKinds(kinds);
    addTextKinds(kinds);
    addPolylineKinds(kinds);
    addDimensionKinds(kinds);
    addComplexEntityKinds(kinds);
    addTableKinds(kinds);
    addDictionaryKinds(kinds);
    addStyleObjectKinds(kinds);
    addProxyKinds(kinds);
    addMultiLeaderTableKinds(kinds);
    return kinds;
}

const std::vector<ObjectKind>& allKinds() {
    static const std::vector<ObjectKind> kinds = makeKinds();
    return kinds;
}

// Fixed types by number, for a lookup in one step.
const std::vector<const ObjectKind*>& fixedKinds() {
    static const std::vector<const ObjectKind*> table = [] {
        std::vector<const ObjectKind*> t(500, nullptr);
        for (const ObjectKind& k : allKinds())
            if (k.type != 0 && k.type < t.size())
                t[k.type] = &k;
        return t;
    }();
    return table;
}

// Class kinds by DXF name, for a lookup in one step.
const std::unordered_map<std::string_view, const ObjectKind*>& classKinds() {
    static const std::unordered_map<std::string_view, const ObjectKind*> table = [] {
        std::unordered_map<std::string_view, const ObjectKind*> t;
        for (const ObjectKind& k : allKinds())
            if (k.type == 0)
                t.emplace(k.dxfName, &k);
        return t;
    }();
    return table;
}

}  // namespace

std::span<const ObjectKind> objectKinds() { return allKinds(); }

const ObjectKind* findObjectKind(std::uint16_t type, const ClassList& classes) {
    if (type < 500)
        return fixedKinds()[type];
    const ClassDefinition* c = classes.find(type);
    if (c == nullptr)
        return nullptr;
    const auto& byName = classKinds();
    const auto it = byName.find(c->name());
    return it != byName.end() ? it->second : nullptr;
}

}  // namespace dwg
