#include "dwg/objects/walks/proxies.h"

#include "dwg/objects/registry.h"

namespace dwg {

void addProxyKinds(std::vector<ObjectKind>& kinds) {
    kinds.push_back(kindOf<ProxyObject>(498, "ACAD_PROXY_ENTITY", true));
    kinds.push_back(kindOf<ProxyObject>(499, "ACAD_PROXY_OBJECT", false));
}

}  // namespace dwg
