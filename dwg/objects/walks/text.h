#pragma once
// Texts and block entities (ODA §20.4.3-10, §20.4.46): TEXT, ATTRIB, ATTDEF,
// BLOCK, ENDBLK, SEQEND, INSERT, MINSERT and MTEXT. Coordinates as the format
// stores them: the entity's OCS for TEXT, its kin and INSERT, WCS for MTEXT.

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "dwg/objects/object.h"

namespace dwg {

// The entities an INSERT (its ATTRIBs) or a POLYLINE (its VERTEXes) owns,
// closed by a SEQEND (ODA §20.4.9-10, §20.4.16-17, §20.4.33-34): R13-2000
// name the first and the last, 2004 counts them in the data and names each.
// An object read in R13-2000 cannot list them for 2004 without the drawing:
// written there, it owns none.
struct OwnedEntities {
    HandleRef first, last;            // R13-2000
    std::vector<HandleRef> entities;  // 2004+
    HandleRef seqend;
};

// The count, where the data holds it.
template <class Io>
void walkOwnedCount(Io& io, OwnedEntities& o) {
    if (io.release() >= Release::R2004) {
        std::size_t n = o.entities.size();
        io.count("owned count", CountCode::BL, n, 8);  // a handle takes a byte at least
        o.entities.resize(n);
    }
}

// The handles, where the handle stream holds them.
template <class Io>
void walkOwnedHandles(Io& io, OwnedEntities& o) {
    if (io.release() <= Release::R2000) {
        // Read in 2004, written in an older release: the list gives both ends.
        if constexpr (Io::writing) {
            if (o.first == HandleRef{} && o.last == HandleRef{} && !o.entities.empty()) {
                o.first = {4, io.common().resolve(o.entities.front())};
                o.last = {4, io.common().resolve(o.entities.back())};
            }
        }
        io.H("first owned", o.first);
        io.H("last owned", o.last);
    } else {
        for (HandleRef& h : o.entities) io.H("owned", h);
    }
    io.H("seqend", o.seqend);
}

// What TEXT, ATTRIB and ATTDEF share (ODA §20.4.3).
struct TextLineFields {
    // 2000+: a set bit leaves a field out, at its default (0x01 elevation,
    // 0x02 alignment point, 0x04 oblique, 0x08 rotation, 0x10 width factor,
    // 0x20 generation, 0x40 horizontal, 0x80 vertical alignment).
    std::uint8_t dataFlags = 0;
    double elevation = 0.0;
    Point2 insertion;
    Point2 alignment;  // the insertion point where left out
    Point3 extrusion{0.0, 0.0, 1.0};
    double thickness = 0.0;
    double oblique = 0.0;
    double rotation = 0.0;
    double height = 0.0;
    double widthFactor = 1.0;
    Text value;
    std::int16_t generation = 0;  // 2 backward, 4 upside down
    std::int16_t horizontalAlignment = 0;
    std::int16_t verticalAlignment = 0;
    HandleRef style;
};

// The data flags for the values: a field stays left out only where it was
// and still has its default.
inline std::uint8_t textDataFlagsFor(const TextLineFields& t) {
    const std::uint8_t was = t.dataFlags;
    auto keep = [was](std::uint8_t bit, bool isDefault) { return static_cast<std::uint8_t>((was & bit) && isDefault ? bit : 0); };
    // Bit for bit, as the reader copies it: an alignment left out with a
    // NaN insertion stays left out.
    auto same = [](double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); };
    const bool alignmentAtInsertion = same(t.alignment.x, t.insertion.x) && same(t.alignment.y, t.insertion.y);
    return static_cast<std::uint8_t>(keep(0x01, t.elevation == 0.0) | keep(0x02, alignmentAtInsertion) |
                                     keep(0x04, t.oblique == 0.0) | keep(0x08, t.rotation == 0.0) |
                                     keep(0x10, t.widthFactor == 1.0) | keep(0x20, t.generation == 0) |
                                     keep(0x40, t.horizontalAlignment == 0) | keep(0x80, t.verticalAlignment == 0));
}

// The data fields; the style handle comes after the type's own data and is
// walked by walkTextStyle.
template <class Io>
void walkTextData(Io& io, TextLineFields& t) {
    if (io.release() <= Release::R14) {
        io.BD("elevation", t.elevation);
        io.RD2("insertion", t.insertion);
        io.RD2("alignment", t.alignment);
        io.BD3("extrusion", t.extrusion);
        io.BD("thickness", t.thickness);
        io.BD("oblique", t.oblique);
        io.BD("rotation", t.rotation);
        io.BD("height", t.height);
        io.BD("width factor", t.widthFactor);
        io.T("value", t.value);
        io.BS("generation", t.generation);
        io.BS("horizontal alignment", t.horizontalAlignment);
        io.BS("vertical alignment", t.verticalAlignment);
        // For a 2000+ copy: leave out whatever has its default.
        if constexpr (Io::reading) {
            t.dataFlags = 0xFF;
            t.dataFlags = textDataFlagsFor(t);
        }
        return;
    }
    if constexpr (Io::writing)
        t.dataFlags = textDataFlagsFor(t);
    io.RC("data flags", t.dataFlags);
    const std::uint8_t f = t.dataFlags;
    if (!(f & 0x01))
        io.RD("elevation", t.elevation);
    io.RD2("insertion", t.insertion);
    if (!(f & 0x02))
        io.DD2("alignment", t.alignment, t.insertion);
    else if constexpr (Io::reading)
        t.alignment = t.insertion;
    io.BE("extrusion", t.extrusion);
    io.BT("thickness", t.thickness);
    if (!(f & 0x04))
        io.RD("oblique", t.oblique);
    if (!(f & 0x08))
        io.RD("rotation", t.rotation);
    io.RD("height", t.height);
    if (!(f & 0x10))
        io.RD("width factor", t.widthFactor);
    io.T("value", t.value);
    if (!(f & 0x20))
        io.BS("generation", t.generation);
    if (!(f & 0x40))
        io.BS("horizontal alignment", t.horizontalAlignment);
    if (!(f & 0x80))
        io.BS("vertical alignment", t.verticalAlignment);
}

template <class Io>
void walkTextStyle(Io& io, TextLineFields& t) {
    io.H("style", t.style);
}

struct TextEntityObject {
    TextLineFields text;
};

template <class Io>
void walk(Io& io, TextEntityObject& x) {
    walkTextData(io, x.text);
    walkTextStyle(io, x.text);
}

// What ATTRIB and ATTDEF add (ODA §20.4.4). 2018's multi-line attributes
// (an embedded MTEXT) are not described.
struct AttributeFields {
    std::uint8_t version = 0;  // 2010+
    std::uint8_t attributeType = 1;  // 2018+: 1 single line, 2 multi-line ATTRIB, 4 multi-line ATTDEF
    Text tag;
    std::int16_t fieldLength = 0;
    std::uint8_t flags = 0;  // 1 invisible, 2 constant, 4 verify, 8 preset
    bool lockPosition = false;  // 2007+
};

template <class Io>
void walk(Io& io, AttributeFields& a) {
    if (io.release() >= Release::R2010)
        io.RC("version", a.version);
    if (io.release() >= Release::R2018) {
        io.RC("attribute type", a.attributeType);
        if (a.attributeType > 1)
            throw FormatError("multi-line attribute: its embedded MTEXT is not described");
    }
    io.T("tag", a.tag);
    io.BS("field length", a.fieldLength);
    io.RC("flags", a.flags);
    if (io.release() >= Release::R2007)
        io.B("lock position", a.lockPosition);
}

struct AttribObject {
    TextLineFields text;
    AttributeFields attribute;
};

template <class Io>
void walk(Io& io, AttribObject& x) {
    walkTextData(io, x.text);
    walk(io, x.attribute);
    walkTextStyle(io, x.text);
}

struct AttdefObject {
    TextLineFields text;
    AttributeFields attribute;
    std::uint8_t version = 0;  // 2010+
    Text prompt;
};

template <class Io>
void walk(Io& io, AttdefObject& x) {
    walkTextData(io, x.text);
    walk(io, x.attribute);
    if (io.release() >= Release::R2010)
        io.RC("version", x.version);
    io.T("prompt", x.prompt);
    walkTextStyle(io, x.text);
}

// BLOCK (ODA §20.4.6): opens a block's entities.
struct BlockObject {
    Text name;
};

template <class Io>
void walk(Io& io, BlockObject& b) {
    io.T("name", b.name);
}

// ENDBLK and SEQEND (ODA §20.4.7-8) hold nothing but the common data.
struct EndBlockObject {};
template <class Io>
void walk(Io&, EndBlockObject&) {}

struct SeqendObject {};
template <class Io>
void walk(Io&, SeqendObject&) {}

// INSERT and MINSERT (ODA §20.4.9-10).
struct InsertFields {
    Point3 insertion;
    // 2000+: how the scale is stored: 3 (1,1,1), 1 x is 1, 2 x = y = z,
    // 0 all three.
    std::uint8_t scaleForm = 0;
    Point3 scale{1.0, 1.0, 1.0};
    double rotation = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
    bool hasAttributes = false;
    HandleRef block;
    OwnedEntities attributes;  // with hasAttributes
};

// The form the scale is stored in: the one it was read in where it still
// fits the values (AutoCAD does not always choose the shortest).
inline std::uint8_t insertScaleFormFor(const InsertFields& i) {
    const Point3& s = i.scale;
    // Bit for bit, as the reader copies x: a NaN scale keeps the form.
    auto same = [](double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); };
    auto fits = [&s, &same](std::uint8_t form) {
        switch (form) {
        case 3: return s.x == 1.0 && s.y == 1.0 && s.z == 1.0;
        case 1: return s.x == 1.0;
        case 2: return same(s.y, s.x) && same(s.z, s.x);
        default: return form == 0;
        }
    };
    if (fits(i.scaleForm))
        return i.scaleForm;
    for (std::uint8_t form : {std::uint8_t{3}, std::uint8_t{2}, std::uint8_t{1}})
        if (fits(form))
            return form;
    return 0;
}

// The data up to the "has attributes" bit and its count.
template <class Io>
void walkInsertData(Io& io, InsertFields& i) {
    io.BD3("insertion", i.insertion);
    if (io.release() <= Release::R14) {
        io.BD3("scale", i.scale);
        // For a 2000+ copy: the shortest form.
        if constexpr (Io::reading) {
            i.scaleForm = 0xFF;
            i.scaleForm = insertScaleFormFor(i);
        }
    } else {
        if constexpr (Io::writing)
            i.scaleForm = insertScaleFormFor(i);
        io.BB("scale form", i.scaleForm);
        switch (i.scaleForm) {
        case 3:
            if constexpr (Io::reading)
                i.scale = {1.0, 1.0, 1.0};
            break;
        case 1:
            if constexpr (Io::reading)
                i.scale.x = 1.0;
            io.DD("scale y", i.scale.y, 1.0);
            io.DD("scale z", i.scale.z, 1.0);
            break;
        case 2:
            io.RD("scale", i.scale.x);
            if constexpr (Io::reading)
                i.scale.y = i.scale.z = i.scale.x;
            break;
        default:
            io.RD("scale x", i.scale.x);
            io.DD("scale y", i.scale.y, i.scale.x);
            io.DD("scale z", i.scale.z, i.scale.x);
        }
    }
    io.BD("rotation", i.rotation);
    io.BD3("extrusion", i.extrusion);
    io.B("has attributes", i.hasAttributes);
    if (i.hasAttributes)
        walkOwnedCount(io, i.attributes);
}

template <class Io>
void walkInsertHandles(Io& io, InsertFields& i) {
    io.H("block", i.block);
    if (i.hasAttributes)
        walkOwnedHandles(io, i.attributes);
}

struct InsertEntityObject {
    InsertFields insert;
};

template <class Io>
void walk(Io& io, InsertEntityObject& x) {
    walkInsertData(io, x.insert);
    walkInsertHandles(io, x.insert);
}

struct MInsertObject {
    InsertFields insert;
    std::int16_t columns = 1;
    std::int16_t rows = 1;
    double columnSpacing = 0.0;
    double rowSpacing = 0.0;
};

template <class Io>
void walk(Io& io, MInsertObject& x) {
    walkInsertData(io, x.insert);
    io.BS("columns", x.columns);
    io.BS("rows", x.rows);
    io.BD("column spacing", x.columnSpacing);
    io.BD("row spacing", x.rowSpacing);
    walkInsertHandles(io, x.insert);
}

// MTEXT (ODA §20.4.46). 2018's annotative and column fields are not
// described.
struct MTextObject {
    Point3 insertion;
    Point3 extrusion{0.0, 0.0, 1.0};
    Point3 xAxis{1.0, 0.0, 0.0};
    double rectWidth = 0.0;
    double rectHeight = 0.0;  // 2007+
    double textHeight = 0.0;
    std::int16_t attachment = 1;
    std::int16_t drawingDirection = 1;
    double extentsHeight = 0.0;
    double extentsWidth = 0.0;
    Text text;
    HandleRef style;
    // 2000+
    std::int16_t lineSpacingStyle = 1;
    double lineSpacingFactor = 1.0;
    bool unknownBit = false;
    // 2004+: 1 background fill, 2 with the drawing's fill colour, 0x10
    // text frame (2018+)
    std::uint32_t backgroundFlags = 0;
    double backgroundScale = 1.5;
    CmColor backgroundColor;
    std::uint32_t backgroundTransparency = 0;
    // 2018+: a text that is not annotative repeats its frame in the form of
    // an embedded object, with its columns.
    bool notAnnotative = false;
    std::int16_t embeddedVersion = 0;
    bool embeddedDefault = true;
    HandleRef application;
    std::int32_t ignoreAttachment = 0;
    Point3 embeddedXAxis, embeddedInsertion;
    double embeddedRectWidth = 0.0, embeddedRectHeight = 0.0;
    double embeddedExtentsHeight = 0.0, embeddedExtentsWidth = 0.0;
    std::int16_t columnType = 0;  // 0 none, 1 static, 2 dynamic
    std::int32_t columnCount = 0;
    double columnWidth = 0.0, gutter = 0.0;
    bool autoHeight = false, flowReversed = false;
    std::vector<double> columnHeights;  // dynamic columns without auto height
};

template <class Io>
void walk(Io& io, MTextObject& m) {
    io.BD3("insertion", m.insertion);
    io.BD3("extrusion", m.extrusion);
    io.BD3("x axis", m.xAxis);
    io.BD("rect width", m.rectWidth);
    if (io.release() >= Release::R2007)
        io.BD("rect height", m.rectHeight);
    io.BD("text height", m.textHeight);
    io.BS("attachment", m.attachment);
    io.BS("drawing direction", m.drawingDirection);
    io.BD("extents height", m.extentsHeight);
    io.BD("extents width", m.extentsWidth);
    io.T("text", m.text);
    io.H("style", m.style);
    if (io.release() >= Release::R2000) {
        io.BS("line spacing style", m.lineSpacingStyle);
        io.BD("line spacing factor", m.lineSpacingFactor);
        io.B("unknown bit", m.unknownBit);
    }
    if (io.release() >= Release::R2004) {
        io.BL("background flags", m.backgroundFlags);
        // The scale is a BD (ODA §20.4.46 says BL, which cannot hold its
        // default of 1.5; no sample has a background fill).
        if ((m.backgroundFlags & 0x01) || (io.release() >= Release::R2018 && (m.backgroundFlags & 0x10))) {
            io.BD("background scale", m.backgroundScale);
            io.CMC("background color", m.backgroundColor);
            io.BL("background transparency", m.backgroundTransparency);
        }
    }
    if (io.release() >= Release::R2018) {
        io.B("not annotative", m.notAnnotative);
        if (m.notAnnotative) {
            io.BS("embedded version", m.embeddedVersion);
            io.B("embedded default", m.embeddedDefault);
            io.H("application", m.application);
            io.BL("ignore attachment", m.ignoreAttachment);
            io.BD3("embedded x axis", m.embeddedXAxis);
            io.BD3("embedded insertion", m.embeddedInsertion);
            io.BD("embedded rect width", m.embeddedRectWidth);
            io.BD("embedded rect height", m.embeddedRectHeight);
            io.BD("embedded extents height", m.embeddedExtentsHeight);
            io.BD("embedded extents width", m.embeddedExtentsWidth);
            io.BS("column type", m.columnType);
            if (m.columnType != 0) {
                io.BL("column count", m.columnCount);
                io.BD("column width", m.columnWidth);
                io.BD("gutter", m.gutter);
                io.B("auto height", m.autoHeight);
                io.B("flow reversed", m.flowReversed);
                // Dynamic columns without auto height: one height a column
                // (read one by one, so a false count runs out of bits).
                if (!m.autoHeight && m.columnType == 2) {
                    if constexpr (Io::reading) {
                        m.columnHeights.clear();
                        for (std::int32_t i = 0; i < m.columnCount; ++i) io.BD("column height", m.columnHeights.emplace_back());
                    } else {
                        for (double& h : m.columnHeights) io.BD("column height", h);
                    }
                }
            }
        }
    }
}

}  // namespace dwg
