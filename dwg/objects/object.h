#pragma once
// One object of a drawing, every field decoded: the data all objects share
// (ODA §20.1, §20.2, §20.4.1-2: type, handle, extended data, graphics, the
// common entity data and the common handles) and the type's own fields,
// walked by the walk its kind registers (registry.h). An object whose type
// no walk describes keeps its own fields as bits.
//
// decodeObject and encodeObject are exact inverses in one release: an object
// decoded and encoded again gives the same bytes. Encoding in another release
// writes the fields that release has, with its forms.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "dwg/objects/classes.h"
#include "dwg/objects/object_io.h"

namespace dwg {

struct ObjectKind;

// One application's extended data (ODA §20.4.1 "EED"), kept as its bytes.
struct ExtendedData {
    HandleRef application;
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const ExtendedData&, const ExtendedData&) = default;
};

struct CommonData {
    std::uint16_t type = 0;
    bool isEntity = false;
    HandleRef handle;  // as stored in the data stream (code 0)
    std::vector<ExtendedData> extendedData;
    std::uint32_t reactorCount = 0;
    bool xdictionaryMissing = false;  // 2004+; before 2004 every object has the handle
    bool hasDsData = false;           // 2013+: binary data in the data store section
    // 2007+: the string stream's presence bit as read (an object without
    // strings may still mark an empty stream present).
    bool hasStringStream = false;
    // Entities.
    bool hasGraphics = false;
    std::vector<std::uint8_t> graphics;
    std::uint8_t entityMode = 0;       // 0 = owner handle present, 1 paper space, 2 model space
    bool byLayerLinetype = true;       // R13-R14
    bool noLinks = true;               // R13-2000
    std::uint16_t color = 256;         // the colour index (256 ByLayer), 2004+ with its flags (ODA §2.11 ENC)
    std::uint32_t rgb = 0;             // 2004+, when color & 0x8000
    std::uint32_t transparency = 0;    // 2004+, when color & 0x2000
    double linetypeScale = 1.0;
    std::uint8_t linetypeFlags = 0;    // 2000+: 0 ByLayer, 1 ByBlock, 2 Continuous, 3 handle follows
    std::uint8_t plotStyleFlags = 0;   // 2000+, likewise
    std::uint8_t materialFlags = 0;    // 2007+
    std::uint8_t shadowFlags = 0;      // 2007+: 3 a handle follows
    bool hasFullVisualStyle = false, hasFaceVisualStyle = false, hasEdgeVisualStyle = false;  // 2010+
    std::int16_t invisibility = 0;
    std::uint8_t lineweight = 29;      // 2000+, 29 = ByLayer
    // The common handles.
    HandleRef owner;
    std::vector<HandleRef> reactors;
    HandleRef xdictionary;
    HandleRef layer, linetype, previous, next, colorBook, plotStyle, material, shadow;
    HandleRef fullVisualStyle, faceVisualStyle, edgeVisualStyle;
    // The bits after the last handle up to the byte boundary, as stored
    // (AutoCAD does not always leave them zero); written back where the
    // handles end at the same place.
    RawBits handlePadding;

    // The handle the object stands under.
    std::uint64_t handleValue() const noexcept { return handle.value; }
    // The absolute handle a reference of this object stands for.
    std::uint64_t resolve(const HandleRef& ref) const { return resolveHandle(ref, handle.value); }
};

// The type's own fields behind one interface for the three drivers.
// One object per walked type, whose address (unique in the program, the
// variable being inline) identifies the type's body.
template <class Fields>
inline constexpr char kFieldsTag = 0;

class ObjectBody {
public:
    virtual ~ObjectBody() = default;
    virtual const void* fieldsTag() const noexcept = 0;
    virtual void read(FieldReader& io) = 0;
    virtual void write(FieldWriter& io) = 0;
    virtual void print(FieldPrinter& io) = 0;
    virtual void visit(HandleVisitor& io) = 0;
    virtual std::unique_ptr<ObjectBody> clone() const = 0;
};

template <class Fields>
class BodyOf final : public ObjectBody {
public:
    Fields fields;
    const void* fieldsTag() const noexcept override { return &kFieldsTag<Fields>; }
    void read(FieldReader& io) override { walk(io, fields); }
    void write(FieldWriter& io) override { walk(io, fields); }
    void print(FieldPrinter& io) override { walk(io, fields); }
    void visit(HandleVisitor& io) override { walk(io, fields); }
    std::unique_ptr<ObjectBody> clone() const override { return std::make_unique<BodyOf>(*this); }
};

// The fields of an object no walk describes: the rest of its data and of
// its handle stream, as stored. They can be written back in their own
// release only.
struct UndescribedFields {
    RawBits data;
    RawBits strings;  // 2007+
    RawBits handles;
};
template <class Io>
void walk(Io& io, UndescribedFields& f) {
    io.restOfData("data", f.data);
    io.restOfStrings("strings", f.strings);
    io.restOfHandles("handles", f.handles);
}

struct Object {
    CommonData common;
    const ObjectKind* kind = nullptr;  // null where no walk describes the type
    std::unique_ptr<ObjectBody> body;  // never null after decodeObject

    Object() = default;
    Object(const Object& other);
    Object& operator=(const Object& other);
    Object(Object&&) noexcept = default;
    Object& operator=(Object&&) noexcept = default;

    // The type's fields, or null if the object is not of that walk.
    template <class Fields>
    Fields* as() noexcept {
        // BodyOf is final, so an exact type test is enough: one address
        // compare, far cheaper than a dynamic_cast (or a typeid test, which
        // compares names) on every look-up of a large drawing.
        ObjectBody* b = body.get();
        if (b == nullptr || b->fieldsTag() != &kFieldsTag<Fields>) return nullptr;
        return &static_cast<BodyOf<Fields>*>(b)->fields;
    }
};

// `stored` is an object as the file stores it (MS size through CRC).
// FormatError when a walked type's fields do not end exactly where the
// object says its data and handles end; UnsupportedRelease from 2007 on.
Object decodeObject(std::span<const std::uint8_t> stored, Release release, const ClassList& classes);

// The common data and the kind only (`body` stays null): what following
// links and owners needs, without the type's own fields.
Object decodeCommonData(std::span<const std::uint8_t> stored, Release release, const ClassList& classes);

// The object's stored bytes in `release`. An object no walk describes is
// written only in the release it was read in (`readIn`); UnsupportedRelease
// otherwise, and from 2007 on.
std::vector<std::uint8_t> encodeObject(Object& object, Release release, Release readIn);

// Calls `visit` on every handle reference of the object, the common ones
// first, in stream order; `visitColor`, where given, on every CMC colour of
// the type's fields, and `visitText` on every string of them (the strings
// and colours `release` stores).
void visitHandles(Object& object, Release release, const HandleVisitor::Visit& visit,
                  const HandleVisitor::VisitColor& visitColor = {}, const HandleVisitor::VisitText& visitText = {});

// Every field by name, the common data first.
std::vector<PrintedField> describeObject(Object& object, Release release);
// The same as "name: value" lines.
std::string printObject(Object& object, Release release);

}  // namespace dwg
