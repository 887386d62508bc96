#include "dwg/drawing/object_store.h"

#include <algorithm>
#include <limits>
#include <string>

#include "dwg/errors.h"
#include "support/hex.h"

namespace dwg {
namespace {

std::string_view fixedTypeName(std::uint16_t t) {
    switch (t) {
        case type::Text: return "TEXT";
        case type::Attrib: return "ATTRIB";
        case type::Attdef: return "ATTDEF";
        case type::Block: return "BLOCK";
        case type::Endblk: return "ENDBLK";
        case type::Seqend: return "SEQEND";
        case type::Insert: return "INSERT";
        case type::Minsert: return "MINSERT";
        case type::Vertex2d:
        case type::Vertex3d:
        case type::VertexMesh:
        case type::VertexPface:
        case type::VertexPfaceFace: return "VERTEX";
        case type::Polyline2d:
        case type::Polyline3d:
        case type::PolylinePface:
        case type::PolylineMesh: return "POLYLINE";
        case type::Arc: return "ARC";
        case type::Circle: return "CIRCLE";
        case type::Line: return "LINE";
        case type::Point: return "POINT";
        case type::Face3d: return "3DFACE";
        case type::Solid: return "SOLID";
        case type::Trace: return "TRACE";
        case type::Viewport: return "VIEWPORT";
        case type::Ellipse: return "ELLIPSE";
        case type::Dictionary: return "DICTIONARY";
        case type::MText: return "MTEXT";
        case type::BlockHeader: return "BLOCK_RECORD";
        case type::Layer: return "LAYER";
        case type::Style: return "STYLE";
        case type::Ltype: return "LTYPE";
        case type::AppId: return "APPID";
        case type::DimStyle: return "DIMSTYLE";
        case type::LwPolyline: return "LWPOLYLINE";
        default: return {};
    }
}

}  // namespace

std::string handleText(std::uint64_t handle) { return support::hexNumber(handle); }

ObjectStore::ObjectStore(DwgFile file) : m_file(std::move(file)) {
    m_classes = decodeClasses(m_file.classes, m_file.release);
    const std::size_t n = m_file.objects.size();
    m_byHandle.reserve(n);
    m_types.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const ObjectLocation& object = m_file.objects[i];
        try {
            // The type, and the object's own handle: a map entry that points
            // at another object is damage, found here rather than when the
            // object is first needed.
            BitReader in(splitStoredObject(m_file.bytesOf(object), m_file.release).data, m_file.release);
            m_types.push_back(in.readOT());
            // R2000-2007 have the size in bits between the two.
            if (m_file.release >= Release::R2000 && m_file.release <= Release::R2007)
                in.readRL();
            if (const std::uint64_t own = in.readH().value; own != object.handle)
                throw FormatError("the object map points at object " + handleText(own));
        } catch (const FormatError& e) {
            throw e.withContext("object " + handleText(object.handle));
        }
        m_byHandle.emplace_back(object.handle, static_cast<std::uint32_t>(i));
    }
    std::sort(m_byHandle.begin(), m_byHandle.end());
    for (std::size_t i = 1; i < m_byHandle.size(); ++i)
        if (m_byHandle[i].first == m_byHandle[i - 1].first)
            throw FormatError("object " + handleText(m_byHandle[i].first) + " is stored twice");
    if (!m_byHandle.empty() && m_byHandle.back().first < 4 * m_byHandle.size() + 4096) {
        m_dense.assign(m_byHandle.back().first + 1, 0);
        for (const auto& [handle, index] : m_byHandle)
            m_dense[handle] = index + 1;
    }
}

std::optional<std::size_t> ObjectStore::indexOf(std::uint64_t handle) const {
    if (!m_dense.empty()) {
        if (handle >= m_dense.size() || m_dense[handle] == 0)
            return std::nullopt;
        return m_dense[handle] - 1;
    }
    auto it = std::lower_bound(m_byHandle.begin(), m_byHandle.end(), std::make_pair(handle, std::uint32_t{0}));
    if (it == m_byHandle.end() || it->first != handle)
        return std::nullopt;
    return it->second;
}

std::optional<std::uint16_t> ObjectStore::typeOf(std::uint64_t handle) const {
    auto index = indexOf(handle);
    if (!index)
        return std::nullopt;
    return m_types[*index];
}

std::string_view ObjectStore::dxfNameOf(std::uint64_t handle) const {
    auto t = typeOf(handle);
    if (!t)
        return {};
    if (const ClassDefinition* c = m_classes.find(*t))
        return c->name();
    return fixedTypeName(*t);
}

bool ObjectStore::isEntity(std::uint64_t handle) const {
    auto t = typeOf(handle);
    return t && isEntityType(*t, m_classes);
}

Object ObjectStore::common(std::uint64_t handle) const { return decodeWith(handle, decodeCommonData); }

Object ObjectStore::decode(std::uint64_t handle) const { return decodeWith(handle, decodeObject); }

Object ObjectStore::decodeWith(std::uint64_t handle, Decoder decoder) const {
    auto index = indexOf(handle);
    if (!index)
        throw FormatError("object " + handleText(handle) + ": referenced but not in the drawing");
    try {
        Object o = decoder(m_file.bytesOf(m_file.objects[*index]), m_file.release, m_classes);
        // Checked when the drawing opened; replaced bytes are checked here.
        if (o.common.handle.value != handle)
            throw FormatError("expected handle " + handleText(handle) + ", found " +
                              handleText(o.common.handle.value));
        return o;
    } catch (const FormatError& e) {
        throw e.withContext("object " + handleText(handle));
    }
}

std::vector<std::uint64_t> ObjectStore::handles() const {
    std::vector<std::uint64_t> out;
    out.reserve(m_byHandle.size());
    for (const auto& entry : m_byHandle)
        out.push_back(entry.first);
    return out;
}

std::vector<std::uint64_t> ObjectStore::handlesOfType(std::uint16_t objectType) const {
    std::vector<std::uint64_t> out;
    for (const auto& [handle, index] : m_byHandle)
        if (m_types[index] == objectType)
            out.push_back(handle);
    return out;
}

std::optional<std::uint64_t> ObjectStore::nextHandle(std::uint64_t handle) const {
    auto it = std::upper_bound(m_byHandle.begin(), m_byHandle.end(),
                               std::make_pair(handle, std::numeric_limits<std::uint32_t>::max()));
    if (it == m_byHandle.end())
        return std::nullopt;
    return it->first;
}

void ObjectStore::replace(std::uint64_t handle, std::span<const std::uint8_t> stored) {
    auto index = indexOf(handle);
    if (!index)
        throw FormatError("object " + handleText(handle) + ": cannot be replaced, it is not in the drawing");
    ObjectLocation& location = m_file.objects[*index];
    location.offset = static_cast<std::uint32_t>(m_file.objectBytes.size());
    location.size = static_cast<std::uint32_t>(stored.size());
    m_file.objectBytes.insert(m_file.objectBytes.end(), stored.begin(), stored.end());
}

}  // namespace dwg
