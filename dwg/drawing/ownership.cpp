#include "dwg/drawing/ownership.h"

#include "dwg/errors.h"

namespace dwg {

std::vector<std::uint64_t> linkedEntities(const ObjectStore& store, std::uint64_t first, std::uint64_t last) {
    std::vector<std::uint64_t> out;
    if (first == 0 && last == 0)
        return out;
    const std::size_t limit = store.file().objects.size();
    std::uint64_t current = first;
    while (true) {
        if (!store.isEntity(current))
            throw FormatError("entity run " + handleText(first) + " to " + handleText(last) + ": object " +
                              handleText(current) + " is " + (store.contains(current) ? "not an entity" : "missing"));
        out.push_back(current);
        if (current == last)
            return out;
        if (out.size() > limit)
            throw FormatError("entity run " + handleText(first) + " to " + handleText(last) + " does not end");
        const Object entity = store.common(current);
        if (!entity.common.noLinks) {
            current = entity.common.resolve(entity.common.next);
        } else {
            auto next = store.nextHandle(current);
            if (!next)
                throw FormatError("entity run " + handleText(first) + " to " + handleText(last) +
                                  " runs past the last object");
            current = *next;
        }
    }
}

namespace {

// A listed run must name entities the drawing has: a missing one would
// otherwise vanish from the drawing when it is saved.
const std::vector<std::uint64_t>& checkedList(const ObjectStore& store, const std::vector<std::uint64_t>& handles) {
    for (std::uint64_t handle : handles)
        if (!store.isEntity(handle))
            throw FormatError("entity " + handleText(handle) + " is " +
                              (store.contains(handle) ? "not an entity" : "missing"));
    return handles;
}

std::vector<std::uint64_t> resolved(const CommonData& common, const std::vector<HandleRef>& refs) {
    std::vector<std::uint64_t> out;
    out.reserve(refs.size());
    for (const HandleRef& ref : refs)
        out.push_back(common.resolve(ref));
    return out;
}

}  // namespace

std::vector<std::uint64_t> blockEntities(const ObjectStore& store, const CommonData& common,
                                         const BlockRecordObject& block) {
    if (store.release() >= Release::R2004)
        return checkedList(store, resolved(common, block.entities));
    return linkedEntities(store, common.resolve(block.firstEntity), common.resolve(block.lastEntity));
}

std::vector<std::uint64_t> insertAttributes(const ObjectStore& store, const CommonData& common,
                                            const InsertFields& insert) {
    if (!insert.hasAttributes)
        return {};
    if (store.release() >= Release::R2004)
        return checkedList(store, resolved(common, insert.attributes.entities));
    return linkedEntities(store, common.resolve(insert.attributes.first), common.resolve(insert.attributes.last));
}

}  // namespace dwg
