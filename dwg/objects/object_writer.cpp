#include "dwg/objects/object_writer.h"

#include <stdexcept>
#include <string>

#include "dwg/bits/crc.h"
#include "dwg/errors.h"

namespace dwg {
namespace {

// Handle reference codes (ODA §2.13).
constexpr std::uint8_t kHardOwner = 3, kSoftPointer = 4, kHardPointer = 5;

// AutoCAD's values for a new entity (ODA §20.4.1): colour 256 = ByLayer and
// lineweight index 29 = ByLayer.
constexpr std::int16_t kColorByLayer = 256;
constexpr std::uint8_t kLineweightByLayer = 29;

}  // namespace

ObjectWriter::ObjectWriter(Release release) : m_release(release), m_data(release), m_handles(release) {
    if (release != Release::R2000 && release != Release::R2004)
        throw UnsupportedRelease("writing new objects: expected release 2000 or 2004, found " +
                                 std::string(releaseName(release)));
}

void ObjectWriter::begin(const NewObject& object) {
    m_data = BitWriter(m_release);
    m_handles = BitWriter(m_release);
    m_handle = object.handle;
    m_started = true;
    m_data.writeOT(object.type);
    m_sizeAt = m_data.bitPos();
    m_data.writeRL(0);  // size in bits of the data, known at finish()
    m_data.writeH(HandleRef{0, object.handle});
    m_data.writeBS(0);  // no extended data
}

void ObjectWriter::beginObject(const NewObject& object) {
    begin(object);
    m_data.writeBL(static_cast<std::int32_t>(object.reactors.size()));
    if (m_release >= Release::R2004)
        m_data.writeB(object.xdictionary == 0);
    m_handles.writeH(HandleRef{kSoftPointer, object.owner});
    for (std::uint64_t reactor : object.reactors)
        m_handles.writeH(HandleRef{kSoftPointer, reactor});
    if (m_release < Release::R2004 || object.xdictionary != 0)
        m_handles.writeH(HandleRef{kHardOwner, object.xdictionary});
}

void ObjectWriter::beginEntity(const NewObject& object, const NewEntity& entity) {
    if (entity.mode > 2)
        throw std::invalid_argument("entity mode " + std::to_string(entity.mode) + ": expected 0, 1 or 2");
    begin(object);
    m_data.writeB(false);  // no graphics
    m_data.writeBB(entity.mode);
    m_data.writeBL(static_cast<std::int32_t>(object.reactors.size()));
    // 2004 drops the links and says instead whether an extension dictionary follows.
    const bool noLinks = entity.previous == object.handle - 1 && entity.next == object.handle + 1;
    if (m_release >= Release::R2004)
        m_data.writeB(object.xdictionary == 0);
    else
        m_data.writeB(noLinks);
    m_data.writeBS(kColorByLayer);  // R2000 CMC and 2004 ENC alike: a bare index
    m_data.writeBD(1.0);            // linetype scale
    m_data.writeBB(0);              // linetype ByLayer
    m_data.writeBB(0);              // plot style ByLayer
    m_data.writeBS(0);              // visible
    m_data.writeRC(kLineweightByLayer);

    if (entity.mode == 0)
        m_handles.writeH(HandleRef{kSoftPointer, object.owner});
    for (std::uint64_t reactor : object.reactors)
        m_handles.writeH(HandleRef{kSoftPointer, reactor});
    if (m_release < Release::R2004 || object.xdictionary != 0)
        m_handles.writeH(HandleRef{kHardOwner, object.xdictionary});
    if (m_release < Release::R2004 && !noLinks) {
        m_handles.writeH(HandleRef{kSoftPointer, entity.previous});
        m_handles.writeH(HandleRef{kSoftPointer, entity.next});
    }
    m_handles.writeH(HandleRef{kHardPointer, entity.layer});
}

void ObjectWriter::assembleInto(std::vector<std::uint8_t>& out) {
    if (!m_started)
        throw std::logic_error("ObjectWriter::finish without beginObject or beginEntity");
    m_started = false;
    const std::uint64_t handlesAt = m_data.bitPos();
    if (handlesAt > 0xFFFFFFFFU)
        throw std::length_error("object " + std::to_string(m_handle) + ": too large for its RL size in bits");
    m_data.overwriteRL(m_sizeAt, static_cast<std::uint32_t>(handlesAt));
    m_data.writeBits(m_handles.bytes(), m_handles.bitPos());
    m_data.alignToByte();
    const std::vector<std::uint8_t>& data = m_data.bytes();
    const std::size_t size = data.size();
    if (size > 0x3FFFFFFFU)
        throw std::length_error("object " + std::to_string(m_handle) + ": too large for its MS size");

    // MS (ODA §2.7): 15-bit units, lowest first, as little-endian RS with
    // the top bit set on every unit but the last.
    const std::size_t start = out.size();
    std::uint32_t rest = static_cast<std::uint32_t>(size);
    do {
        std::uint32_t unit = rest & 0x7FFFU;
        rest >>= 15;
        if (rest != 0)
            unit |= 0x8000U;
        out.push_back(static_cast<std::uint8_t>(unit));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    } while (rest != 0);
    out.insert(out.end(), data.begin(), data.end());
    const std::uint16_t crc = crc16(kCrc16Seed, std::span<const std::uint8_t>(out).subspan(start));
    out.push_back(static_cast<std::uint8_t>(crc));
    out.push_back(static_cast<std::uint8_t>(crc >> 8));
}

void ObjectWriter::finish(DwgFile& file) {
    const std::size_t offset = file.objectBytes.size();
    const std::uint64_t handle = m_handle;
    assembleInto(file.objectBytes);
    if (file.objectBytes.size() > 0xFFFFFFFFU)
        throw std::length_error("the drawing's objects exceed 4 GiB");
    file.objects.push_back(ObjectLocation{handle, static_cast<std::uint32_t>(offset),
                                          static_cast<std::uint32_t>(file.objectBytes.size() - offset)});
}

std::vector<std::uint8_t> ObjectWriter::finish() {
    std::vector<std::uint8_t> out;
    assembleInto(out);
    return out;
}

}  // namespace dwg
