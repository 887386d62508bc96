#include "dwg/objects/object.h"

#include "dwg/objects/stored_object.h"
#include "dwg/objects/registry.h"

namespace dwg {
namespace {

// One extended data block a loop turn (ODA §20.4.1): BS size, the
// application's handle, that many bytes; a size of 0 ends the list.
template <class Io>
void walkExtendedData(Io& io, std::vector<ExtendedData>& list) {
    if constexpr (Io::reading) {
        list.clear();
        while (true) {
            std::uint16_t size = 0;
            io.BS("eed size", size);
            if (size == 0)
                return;
            ExtendedData& block = list.emplace_back();
            io.Hd("eed application", block.application);
            io.bytes("eed", block.bytes, size);
        }
    } else {
        for (ExtendedData& block : list) {
            if (block.bytes.empty() || block.bytes.size() > 0xFFFF)
                throw std::out_of_range("extended data of " + std::to_string(block.bytes.size()) + " bytes");
            auto size = static_cast<std::uint16_t>(block.bytes.size());
            io.BS("eed size", size);
            io.Hd("eed application", block.application);
            io.bytes("eed", block.bytes, size);
        }
        if constexpr (Io::writing) {
            std::uint16_t end = 0;
            io.BS("eed size", end);
        }
    }
}

template <class Io>
void walkEntityData(Io& io, CommonData& c) {
    const Release r = io.release();
    io.B("graphics present", c.hasGraphics);
    if (c.hasGraphics) {
        std::uint64_t size = c.graphics.size();
        if (r >= Release::R2010) {
            io.BLL("graphics size", size);
        } else {
            auto size32 = static_cast<std::uint32_t>(size);
            io.RL("graphics size", size32);
            size = size32;
        }
        io.bytes("graphics", c.graphics, size);
    }
    if (r <= Release::R14)
        io.sizeInBits("size in bits");
    io.BB("entity mode", c.entityMode);
    std::size_t reactors = c.reactors.size();
    io.count("reactors", CountCode::BL, reactors, 8);
    c.reactors.resize(reactors);
    if (r >= Release::R2004)
        io.B("xdictionary missing", c.xdictionaryMissing);
    if (r >= Release::R2013)
        io.B("has data store data", c.hasDsData);
    if (r <= Release::R14)
        io.B("bylayer linetype", c.byLayerLinetype);
    if (r <= Release::R2000)
        io.B("no links", c.noLinks);
    io.BS("color", c.color);
    if (r >= Release::R2004) {
        // ENC (ODA §2.11): flags in the colour's high bits say what follows.
        if (c.color & 0x8000)
            io.BL("rgb", c.rgb);
        if (c.color & 0x2000)
            io.BL("transparency", c.transparency);
    }
    io.BD("linetype scale", c.linetypeScale);
    if (r >= Release::R2000) {
        io.BB("linetype flags", c.linetypeFlags);
        io.BB("plot style flags", c.plotStyleFlags);
    }
    if (r >= Release::R2007) {
        io.BB("material flags", c.materialFlags);
        io.RC("shadow flags", c.shadowFlags);
    }
    if (r >= Release::R2010) {
        io.B("full visual style", c.hasFullVisualStyle);
        io.B("face visual style", c.hasFaceVisualStyle);
        io.B("edge visual style", c.hasEdgeVisualStyle);
    }
    io.BS("invisibility", c.invisibility);
    if (r >= Release::R2000)
        io.RC("lineweight", c.lineweight);
}

template <class Io>
void walkCommonHandles(Io& io, CommonData& c) {
    const Release r = io.release();
    if (!c.isEntity || c.entityMode == 0)
        io.H("owner", c.owner);
    for (HandleRef& reactor : c.reactors)
        io.H("reactor", reactor);
    // Before 2004 every object stores the handle, null for none.
    if (r < Release::R2004 || !c.xdictionaryMissing)
        io.H("xdictionary", c.xdictionary);
    if (!c.isEntity)
        return;
    if (r <= Release::R14) {
        io.H("layer", c.layer);
        if (!c.byLayerLinetype)
            io.H("linetype", c.linetype);
    }
    if (r <= Release::R2000 && !c.noLinks) {
        io.H("previous", c.previous);
        io.H("next", c.next);
    }
    if (r >= Release::R2004 && (c.color & 0x4000))
        io.H("color book", c.colorBook);
    if (r >= Release::R2000) {
        io.H("layer", c.layer);
        if (c.linetypeFlags == 3)
            io.H("linetype", c.linetype);
    }
    if (r >= Release::R2007 && c.materialFlags == 3)
        io.H("material", c.material);
    // Shadow flags of 3 are followed by a handle (null in the samples).
    if (r >= Release::R2007 && c.shadowFlags == 3)
        io.H("shadow", c.shadow);
    if (r >= Release::R2000 && c.plotStyleFlags == 3)
        io.H("plot style", c.plotStyle);
    if (r >= Release::R2010) {
        if (c.hasFullVisualStyle) io.H("full visual style", c.fullVisualStyle);
        if (c.hasFaceVisualStyle) io.H("face visual style", c.faceVisualStyle);
        if (c.hasEdgeVisualStyle) io.H("edge visual style", c.edgeVisualStyle);
    }
}

// The common data (ODA §20.1, §20.2, §20.4.1) and the common handles
// (§20.4.2); the type's own walk follows, its data after the common data and
// its handles after the common handles.
template <class Io>
void walkCommon(Io& io, CommonData& c, const ClassList* classes) {
    const Release r = io.release();
    io.OT("type", c.type);
    if constexpr (Io::reading)
        c.isEntity = isEntityType(c.type, *classes);
    if (r >= Release::R2000 && r <= Release::R2007)
        io.sizeInBits("size in bits");
    io.Hd("handle", c.handle);
    walkExtendedData(io, c.extendedData);
    if (c.isEntity) {
        walkEntityData(io, c);
    } else {
        if (r <= Release::R14)
            io.sizeInBits("size in bits");
        std::size_t reactors = c.reactors.size();
        io.count("reactors", CountCode::BL, reactors, 8);
        c.reactors.resize(reactors);
        if (r >= Release::R2004)
            io.B("xdictionary missing", c.xdictionaryMissing);
        if (r >= Release::R2013)
            io.B("has data store data", c.hasDsData);
    }
    c.reactorCount = static_cast<std::uint32_t>(c.reactors.size());
    walkCommonHandles(io, c);
}

std::string kindName(const Object& o) {
    if (o.kind != nullptr)
        return std::string(o.kind->dxfName);
    return "object type " + std::to_string(o.common.type);
}

}  // namespace

Object::Object(const Object& other)
    : common(other.common), kind(other.kind), body(other.body ? other.body->clone() : nullptr) {}

Object& Object::operator=(const Object& other) {
    if (this != &other) {
        common = other.common;
        kind = other.kind;
        body = other.body ? other.body->clone() : nullptr;
    }
    return *this;
}

namespace {

// The common data and the kind; `io` stands where the type's own fields
// start.
void decodeCommon(FieldReader& io, Object& o, const ClassList& classes) {
    walkCommon(io, o.common, &classes);
    if (!io.hasHandleStream())
        throw FormatError("object size: missing");
    o.kind = findObjectKind(o.common.type, classes);
    if (o.kind != nullptr && o.kind->entity != o.common.isEntity)
        o.kind = nullptr;  // a class that calls itself otherwise than its walk
}

// The object's data, with the reader's streams located where the framing
// says (2010 on); before, the common data's size in bits does.
struct Framed {
    StoredBytes split;
    BitReader in;
    Framed(std::span<const std::uint8_t> stored, Release release)
        : split(splitStoredObject(stored, release)), in(split.data, release) {}
    void locate(FieldReader& io) const {
        if (in.release() >= Release::R2010)
            io.locateStreams(split.data.size() * 8 - split.handleStreamBits);
    }
};

}  // namespace

Object decodeCommonData(std::span<const std::uint8_t> stored, Release release, const ClassList& classes) {
    Framed f(stored, release);
    Object o;
    FieldReader io(f.in, o.common);
    f.locate(io);
    decodeCommon(io, o, classes);
    return o;
}

Object decodeObject(std::span<const std::uint8_t> stored, Release release, const ClassList& classes) {
    Framed f(stored, release);
    BitReader& in = f.in;
    Object o;
    FieldReader io(in, o.common);
    f.locate(io);
    decodeCommon(io, o, classes);
    o.common.hasStringStream = io.hasStringStream();
    o.body = o.kind != nullptr ? o.kind->make() : std::make_unique<BodyOf<UndescribedFields>>();
    o.body->read(io);
    if (!in.isAtEnd())
        throw FormatError(kindName(o) + ": expected its fields to end at bit " + std::to_string(in.endBit()) +
                          ", found them ending at bit " + std::to_string(in.bitPos()));
    if (io.hasStringStream() && !io.strings().isAtEnd())
        throw FormatError(kindName(o) + ": expected its strings to end at bit " +
                          std::to_string(io.strings().endBit()) + ", found them ending at bit " +
                          std::to_string(io.strings().bitPos()));
    if (io.handles().bitsLeft() >= 8)
        throw FormatError(kindName(o) + ": expected its handles to end at bit " +
                          std::to_string(io.handles().endBit()) + ", found them ending at bit " +
                          std::to_string(io.handles().bitPos()));
    io.restOfHandles("padding", o.common.handlePadding);
    return o;
}

std::vector<std::uint8_t> encodeObject(Object& object, Release release, Release readIn) {
    if (object.kind == nullptr && release != readIn)
        throw UnsupportedRelease(kindName(object) + ": no walk describes its fields, so it stays in release " +
                                 std::string(releaseName(readIn)));
    FieldWriter io(release, object.common);
    walkCommon(io, object.common, nullptr);
    object.body->write(io);
    return io.finish();
}

namespace {
FieldPrinter printed(Object& object, Release release) {
    FieldPrinter io(release, object.common);
    walkCommon(io, object.common, nullptr);
    object.body->print(io);
    return io;
}
}  // namespace

void visitHandles(Object& object, Release release, const HandleVisitor::Visit& visit,
                  const HandleVisitor::VisitColor& visitColor, const HandleVisitor::VisitText& visitText) {
    HandleVisitor io(release, object.common, visit, visitColor, visitText);
    walkCommon(io, object.common, nullptr);
    object.body->visit(io);
}

std::vector<PrintedField> describeObject(Object& object, Release release) {
    return printed(object, release).fields();
}

std::string printObject(Object& object, Release release) { return printed(object, release).text(); }

}  // namespace dwg
