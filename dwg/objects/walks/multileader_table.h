#pragma once
// Multileaders and tables, with their styles and helper objects (ODA
// §20.4.48, .86-87, .96-103): MLEADERSTYLE, MULTILEADER, TABLESTYLE,
// CELLSTYLEMAP, ACAD_TABLE, TABLECONTENT, TABLEGEOMETRY and DATATABLE. All
// are classes (AutoCAD 2005-2008 additions) that later AutoCADs also write
// into drawings saved in older releases.

#include <cstdint>
#include <string>
#include <vector>

#include "dwg/objects/object.h"

namespace dwg {

// ---------------------------------------------------------------------------
// Shared pieces

// A colour in the 2004 form whatever the release ("TC", ODA §20.4.101.3):
// the cell style data keeps it even in R2000 drawings.
template <class Io>
void walkTrueColor(Io& io, CmColor& c) {
    io.BS("color index", c.index);
    io.BL("color rgb", c.rgb);
    io.RC("color flags", c.flags);
    if ((c.flags & 1U) != 0) io.T("color name", c.name);
    if ((c.flags & 2U) != 0) io.T("color book name", c.bookName);
}

// A stored count followed by that many items of `walkItem`.
template <class Io, class Item, class F>
void walkList(Io& io, const char* name, std::vector<Item>& items, unsigned minBitsEach, F walkItem) {
    std::size_t n = items.size();
    io.count(name, CountCode::BL, n, minBitsEach);
    if constexpr (Io::reading) items.resize(n);
    for (Item& item : items) walkItem(item);
}

// ---------------------------------------------------------------------------
// MLEADERSTYLE (ODA §20.4.87)

struct MLeaderStyleObject {
    std::int16_t version = 2;  // 2010+ stored; before, 2 when the style has ACAD_MLEADERVER extended data
    std::int16_t contentType = 2;
    std::int16_t multileaderOrder = 1;
    std::int16_t leaderOrder = 0;
    std::int32_t maxPoints = 2;
    double firstSegmentAngle = 0.0;
    double secondSegmentAngle = 0.0;
    std::int16_t leaderType = 1;
    CmColor lineColor;
    HandleRef lineType;
    std::int32_t lineWeight = -2;
    bool landingEnabled = true;
    double landingGap = 0.09;
    bool doglegEnabled = true;
    double landingDistance = 0.36;
    Text description;
    HandleRef arrowHead;
    double arrowHeadSize = 0.18;
    Text defaultText;
    HandleRef textStyle;
    std::int16_t leftAttachment = 1;
    std::int16_t rightAttachment = 1;
    std::int16_t textAngleType = 1;  // new format only
    std::int16_t textAlignment = 0;
    CmColor textColor;
    double textHeight = 0.18;
    bool textFrame = false;
    bool alwaysAlignTextLeft = false;  // new format only
    double alignSpace = 4.0;
    HandleRef block;
    CmColor blockColor;
    Point3 blockScale{1.0, 1.0, 1.0};
    bool blockScaleEnabled = false;
    double blockRotation = 0.0;
    bool blockRotationEnabled = false;
    std::int16_t blockConnection = 0;
    double scale = 1.0;
    bool propertyChanged = false;
    bool annotative = false;
    double breakSize = 0.125;
    // 2010+
    std::int16_t attachmentDirection = 0;
    std::int16_t topAttachment = 9;
    std::int16_t bottomAttachment = 9;
    bool textExtended = false;  // 2013+
};

// Before 2010 the style's format version is told by its ACAD_MLEADERVER
// extended data: one 1070 short. The application's name is not at hand
// here, so the form of the data stands for it.
bool hasMLeaderVersionData(const CommonData& common);

template <class Io>
void walk(Io& io, MLeaderStyleObject& s) {
    bool newFormat = true;
    if (io.release() >= Release::R2010) {
        io.BS("version", s.version);
        newFormat = s.version >= 2;
    } else {
        newFormat = hasMLeaderVersionData(io.common());
    }
    io.BS("content type", s.contentType);
    io.BS("multileader draw order", s.multileaderOrder);
    io.BS("leader draw order", s.leaderOrder);
    io.BL("max leader points", s.maxPoints);
    io.BD("first segment angle", s.firstSegmentAngle);
    io.BD("second segment angle", s.secondSegmentAngle);
    io.BS("leader type", s.leaderType);
    io.CMC("leader line color", s.lineColor);
    io.H("leader line type", s.lineType);
    io.BL("leader line weight", s.lineWeight);
    io.B("landing enabled", s.landingEnabled);
    io.BD("landing gap", s.landingGap);
    io.B("dogleg enabled", s.doglegEnabled);
    io.BD("landing distance", s.landingDistance);
    io.T("description", s.description);
    io.H("arrow head", s.arrowHead);
    io.BD("arrow head size", s.arrowHeadSize);
    io.T("default text", s.defaultText);
    io.H("text style", s.textStyle);
    io.BS("left attachment", s.leftAttachment);
    io.BS("right attachment", s.rightAttachment);
    if (newFormat) io.BS("text angle type", s.textAngleType);
    io.BS("text alignment", s.textAlignment);
    io.CMC("text color", s.textColor);
    io.BD("text height", s.textHeight);
    io.B("text frame", s.textFrame);
    if (newFormat) io.B("always align text left", s.alwaysAlignTextLeft);
    io.BD("align space", s.alignSpace);
    io.H("block", s.block);
    io.CMC("block color", s.blockColor);
    io.BD("block scale x", s.blockScale.x);
    io.BD("block scale y", s.blockScale.y);
    io.BD("block scale z", s.blockScale.z);
    io.B("block scale enabled", s.blockScaleEnabled);
    io.BD("block rotation", s.blockRotation);
    io.B("block rotation enabled", s.blockRotationEnabled);
    io.BS("block connection", s.blockConnection);
    io.BD("scale", s.scale);
    io.B("property changed", s.propertyChanged);
    io.B("annotative", s.annotative);
    io.BD("break size", s.breakSize);
    if (io.release() >= Release::R2010) {
        io.BS("attachment direction", s.attachmentDirection);
        io.BS("top attachment", s.topAttachment);
        io.BS("bottom attachment", s.bottomAttachment);
    }
    if (io.release() >= Release::R2013) io.B("text extended", s.textExtended);
}

// ---------------------------------------------------------------------------
// Cell styles (ODA §20.4.101.3-4), shared by TABLESTYLE, CELLSTYLEMAP and
// the table content.

struct ContentFormat {
    std::uint32_t propertyOverrides = 0;
    std::uint32_t propertyFlags = 0;
    std::uint32_t valueDataType = 0;
    std::uint32_t valueUnitType = 0;
    Text valueFormat;
    double rotation = 0.0;
    double blockScale = 1.0;
    std::uint32_t alignment = 0;
    CmColor contentColor;
    HandleRef textStyle;
    double textHeight = 0.0;
};

template <class Io>
void walk(Io& io, ContentFormat& f) {
    io.BL("property overrides", f.propertyOverrides);
    io.BL("property flags", f.propertyFlags);
    io.BL("value data type", f.valueDataType);
    io.BL("value unit type", f.valueUnitType);
    io.T("value format", f.valueFormat);
    io.BD("rotation", f.rotation);
    io.BD("block scale", f.blockScale);
    io.BL("alignment", f.alignment);
    walkTrueColor(io, f.contentColor);
    io.H("text style", f.textStyle);
    io.BD("text height", f.textHeight);
}

struct CellBorder {
    std::uint32_t edges = 0;  // 1 top, 2 right, 4 bottom, 8 left, 0x10 inside vertical, 0x20 inside horizontal
    std::uint32_t overrides = 0;
    std::uint32_t borderType = 1;
    CmColor color;
    std::int32_t lineWeight = 0;
    HandleRef lineType;
    std::uint32_t invisible = 0;
    double doubleLineSpacing = 0.0;
};

template <class Io>
void walk(Io& io, CellBorder& b) {
    io.BL("edges", b.edges);
    if (b.edges == 0) return;
    io.BL("border overrides", b.overrides);
    io.BL("border type", b.borderType);
    walkTrueColor(io, b.color);
    io.BL("line weight", b.lineWeight);
    io.H("line type", b.lineType);
    io.BL("invisible", b.invisible);
    io.BD("double line spacing", b.doubleLineSpacing);
}

struct CellStyle {
    std::uint32_t styleType = 1;  // 1 cell, 2 row, 3 column, 4 formatted table data, 5 table
    std::uint16_t dataFlags = 0;  // 0: nothing else follows
    std::uint32_t propertyOverrides = 0;
    std::uint32_t mergeFlags = 0;
    CmColor backgroundColor;
    std::uint32_t contentLayout = 0;
    ContentFormat content;
    std::uint16_t marginOverrides = 0;
    double verticalMargin = 0.0, horizontalMargin = 0.0, bottomMargin = 0.0, rightMargin = 0.0;
    double marginHorizontalSpacing = 0.0, marginVerticalSpacing = 0.0;
    std::vector<CellBorder> borders;
};

template <class Io>
void walk(Io& io, CellStyle& s) {
    io.BL("cell style type", s.styleType);
    io.BS("data flags", s.dataFlags);
    if (s.dataFlags == 0) return;
    io.BL("property overrides", s.propertyOverrides);
    io.BL("merge flags", s.mergeFlags);
    walkTrueColor(io, s.backgroundColor);
    io.BL("content layout", s.contentLayout);
    walk(io, s.content);
    io.BS("margin overrides", s.marginOverrides);
    if (s.marginOverrides != 0) {
        io.BD("vertical margin", s.verticalMargin);
        io.BD("horizontal margin", s.horizontalMargin);
        io.BD("bottom margin", s.bottomMargin);
        io.BD("right margin", s.rightMargin);
        io.BD("margin horizontal spacing", s.marginHorizontalSpacing);
        io.BD("margin vertical spacing", s.marginVerticalSpacing);
    }
    walkList(io, "border count", s.borders, 2, [&](CellBorder& b) { walk(io, b); });
}

// A cell style with the name and id a table style refers to it by.
struct NamedCellStyle {
    CellStyle style;
    std::uint32_t id = 0;     // 1 title, 2 header, 3 data, 4 table; custom styles from 101
    std::uint32_t klass = 2;  // 1 data, 2 label
    Text name;
};

template <class Io>
void walk(Io& io, NamedCellStyle& s) {
    walk(io, s.style);
    io.BL("cell style id", s.id);
    io.BL("cell style class", s.klass);
    io.T("cell style name", s.name);
}

// ---------------------------------------------------------------------------
// CELLSTYLEMAP (ODA §20.4.102)

struct CellStyleMapObject {
    std::vector<NamedCellStyle> styles;
};

template <class Io>
void walk(Io& io, CellStyleMapObject& m) {
    walkList(io, "cell style count", m.styles, 8, [&](NamedCellStyle& s) { walk(io, s); });
}

// ---------------------------------------------------------------------------
// TABLESTYLE (ODA §20.4.101.1; from 2010 on ODA §20.4.101.2: the table's
// cell style and those of data, title and header)
// Its colours are in the 2004 form in every release: the R13-R2000 samples
// (written by later AutoCADs) store them so.

struct TableStyleBorder {
    std::int16_t lineWeight = 0;
    bool visible = true;
    CmColor color;
};

struct TableStyleRow {
    HandleRef textStyle;
    double textHeight = 0.18;
    std::int16_t textAlignment = 2;
    CmColor textColor;
    CmColor fillColor;
    bool backgroundEnabled = false;
    TableStyleBorder borders[6];  // top, inside horizontal, bottom, left, inside vertical, right
    // 2007+
    std::uint32_t dataType = 0;
    std::uint32_t unitType = 0;
    Text format;
};

struct TableStyleObject {
    Text description;
    std::int16_t flowDirection = 0;
    std::int16_t flags = 0;
    double horizontalMargin = 0.06;
    double verticalMargin = 0.06;
    bool titleSuppressed = false;
    bool headerSuppressed = false;
    TableStyleRow rows[3];  // data, title, header (before 2010)
    // 2010+.
    std::uint8_t unknownByte = 0;
    std::int32_t unknown1 = 0;
    std::int32_t unknown2 = 0;
    HandleRef cellStyleOwner;  // hard owner
    NamedCellStyle tableStyle;
    struct Style {
        std::int32_t unknown = 0;
        NamedCellStyle style;
    };
    std::vector<Style> cellStyles;  // data, title, header
};

template <class Io>
void walk(Io& io, TableStyleObject& s) {
    if (io.release() >= Release::R2010) {
        io.RC("unknown byte", s.unknownByte);
        io.T("description", s.description);
        io.BL("unknown 1", s.unknown1);
        io.BL("unknown 2", s.unknown2);
        io.H("cell style owner", s.cellStyleOwner);
        walk(io, s.tableStyle);
        walkList(io, "cell style count", s.cellStyles, 8, [&](TableStyleObject::Style& c) {
            io.BL("cell style unknown", c.unknown);
            walk(io, c.style);
        });
        return;
    }
    io.T("description", s.description);
    io.BS("flow direction", s.flowDirection);
    io.BS("flags", s.flags);
    io.BD("horizontal cell margin", s.horizontalMargin);
    io.BD("vertical cell margin", s.verticalMargin);
    io.B("title suppressed", s.titleSuppressed);
    io.B("header suppressed", s.headerSuppressed);
    for (TableStyleRow& r : s.rows) {
        io.H("text style", r.textStyle);
        io.BD("text height", r.textHeight);
        io.BS("text alignment", r.textAlignment);
        walkTrueColor(io, r.textColor);
        walkTrueColor(io, r.fillColor);
        io.B("background color enabled", r.backgroundEnabled);
        for (TableStyleBorder& b : r.borders) {
            io.BS("border line weight", b.lineWeight);
            io.B("border visible", b.visible);
            walkTrueColor(io, b.color);
        }
        if (io.release() >= Release::R2007) {
            io.BL("data type", r.dataType);
            io.BL("unit type", r.unitType);
            io.T("format", r.format);
        }
    }
}

// ---------------------------------------------------------------------------
// MULTILEADER (ODA §20.4.48) with its annotation context (ODA §20.4.86)

struct LeaderBreak {
    Point3 start, end;
};

template <class Io>
void walk(Io& io, LeaderBreak& b) {
    io.BD3("break start", b.start);
    io.BD3("break end", b.end);
}

// A leader line's breaks on one of its segments (ODA §20.4.86; no sample
// leader has breaks).
struct LeaderLineBreak {
    std::uint32_t segment = 0;
    std::vector<LeaderBreak> breaks;
};

struct LeaderLine {
    std::vector<Point3> points;
    std::vector<LeaderLineBreak> breaks;
    std::uint32_t index = 0;
    // 2010+
    std::int16_t leaderType = 1;
    CmColor color;
    HandleRef lineType;
    std::int32_t lineWeight = 0;
    double arrowSize = 0.0;
    HandleRef arrowHead;
    std::uint32_t overrides = 0;
};

template <class Io>
void walk(Io& io, LeaderLine& l) {
    walkList(io, "point count", l.points, 6, [&](Point3& p) { io.BD3("point", p); });
    walkList(io, "break info count", l.breaks, 4, [&](LeaderLineBreak& b) {
        io.BL("segment index", b.segment);
        walkList(io, "break count", b.breaks, 12, [&](LeaderBreak& k) { walk(io, k); });
    });
    io.BL("leader line index", l.index);
    if (io.release() >= Release::R2010) {
        io.BS("leader type", l.leaderType);
        io.CMC("line color", l.color);
        io.H("line type", l.lineType);
        io.BL("line weight", l.lineWeight);
        io.BD("arrow size", l.arrowSize);
        io.H("arrow head", l.arrowHead);
        io.BL("override flags", l.overrides);
    }
}

struct LeaderRoot {
    bool contentValid = true;
    bool unknown = true;
    Point3 connection;
    Point3 direction;
    std::vector<LeaderBreak> breaks;
    std::uint32_t index = 0;
    double landingDistance = 0.0;
    std::vector<LeaderLine> lines;
    std::int16_t attachmentDirection = 0;  // 2010+
};

// The two bits come first and the points are always stored, as the samples
// show (whatever the bits say about their validity).
template <class Io>
void walk(Io& io, LeaderRoot& r) {
    io.B("content valid", r.contentValid);
    io.B("unknown", r.unknown);
    io.BD3("connection point", r.connection);
    io.BD3("direction", r.direction);
    walkList(io, "break count", r.breaks, 12, [&](LeaderBreak& b) { walk(io, b); });
    io.BL("leader index", r.index);
    io.BD("landing distance", r.landingDistance);
    walkList(io, "leader line count", r.lines, 4, [&](LeaderLine& l) { walk(io, l); });
    if (io.release() >= Release::R2010) io.BS("attachment direction", r.attachmentDirection);
}

struct MLeaderTextContent {
    Text text;
    Point3 normal{0.0, 0.0, 1.0};
    HandleRef style;
    Point3 location;
    Point3 direction{1.0, 0.0, 0.0};
    double rotation = 0.0;
    double boundaryWidth = 0.0;
    double boundaryHeight = 0.0;
    double lineSpacingFactor = 1.0;
    std::int16_t lineSpacingStyle = 1;
    CmColor color;
    std::int16_t alignment = 1;
    std::int16_t flowDirection = 1;
    CmColor backgroundColor;
    double backgroundScale = 1.5;
    std::int32_t backgroundTransparency = 0;
    bool backgroundFill = false;
    bool backgroundMaskFill = false;
    std::int16_t columnType = 0;
    bool autoHeight = false;
    double columnWidth = 0.0;
    double columnGutter = 0.0;
    bool columnFlowReversed = false;
    std::vector<double> columnSizes;
    bool wordBreak = false;
    bool unknown = false;
};

template <class Io>
void walk(Io& io, MLeaderTextContent& t) {
    io.T("text", t.text);
    io.BD3("normal", t.normal);
    io.H("text style", t.style);
    io.BD3("location", t.location);
    io.BD3("direction", t.direction);
    io.BD("rotation", t.rotation);
    io.BD("boundary width", t.boundaryWidth);
    io.BD("boundary height", t.boundaryHeight);
    io.BD("line spacing factor", t.lineSpacingFactor);
    io.BS("line spacing style", t.lineSpacingStyle);
    io.CMC("text color", t.color);
    io.BS("alignment", t.alignment);
    io.BS("flow direction", t.flowDirection);
    io.CMC("background color", t.backgroundColor);
    io.BD("background scale", t.backgroundScale);
    io.BL("background transparency", t.backgroundTransparency);
    io.B("background fill", t.backgroundFill);
    io.B("background mask fill", t.backgroundMaskFill);
    io.BS("column type", t.columnType);
    io.B("auto height", t.autoHeight);
    io.BD("column width", t.columnWidth);
    io.BD("column gutter", t.columnGutter);
    io.B("column flow reversed", t.columnFlowReversed);
    walkList(io, "column size count", t.columnSizes, 2, [&](double& d) { io.BD("column size", d); });
    io.B("word break", t.wordBreak);
    io.B("unknown", t.unknown);
}

struct MLeaderBlockContent {
    HandleRef block;
    Point3 normal{0.0, 0.0, 1.0};
    Point3 location;
    Point3 scale{1.0, 1.0, 1.0};
    double rotation = 0.0;
    CmColor color;
    double transform[16] = {};
};

template <class Io>
void walk(Io& io, MLeaderBlockContent& b) {
    io.H("block", b.block);
    io.BD3("normal", b.normal);
    io.BD3("location", b.location);
    io.BD3("scale", b.scale);
    io.BD("rotation", b.rotation);
    io.CMC("block color", b.color);
    for (double& d : b.transform) io.BD("transform", d);
}

struct MLeaderContext {
    std::vector<LeaderRoot> roots;
    double scale = 1.0;
    Point3 contentBase;
    double textHeight = 0.18;
    double arrowSize = 0.18;
    double landingGap = 0.09;
    std::int16_t leftAttachment = 1;
    std::int16_t rightAttachment = 1;
    std::int16_t textAlignment = 0;
    std::int16_t attachmentType = 0;
    bool hasText = false;
    MLeaderTextContent text;
    bool hasBlock = false;
    MLeaderBlockContent block;
    Point3 base;
    Point3 baseDirection{1.0, 0.0, 0.0};
    Point3 baseVertical{0.0, 1.0, 0.0};
    bool normalReversed = false;
    // 2010+
    std::int16_t topAttachment = 9;
    std::int16_t bottomAttachment = 9;
};

template <class Io>
void walk(Io& io, MLeaderContext& c) {
    walkList(io, "leader root count", c.roots, 8, [&](LeaderRoot& r) { walk(io, r); });
    io.BD("overall scale", c.scale);
    io.BD3("content base point", c.contentBase);
    io.BD("text height", c.textHeight);
    io.BD("arrow head size", c.arrowSize);
    io.BD("landing gap", c.landingGap);
    io.BS("left attachment", c.leftAttachment);
    io.BS("right attachment", c.rightAttachment);
    io.BS("text alignment", c.textAlignment);
    io.BS("attachment type", c.attachmentType);
    io.B("has text", c.hasText);
    if (c.hasText) {
        walk(io, c.text);
    } else {
        io.B("has block", c.hasBlock);
        if (c.hasBlock) walk(io, c.block);
    }
    io.BD3("base point", c.base);
    io.BD3("base direction", c.baseDirection);
    io.BD3("base vertical", c.baseVertical);
    io.B("normal reversed", c.normalReversed);
    if (io.release() >= Release::R2010) {
        io.BS("top attachment", c.topAttachment);
        io.BS("bottom attachment", c.bottomAttachment);
    }
}

struct MLeaderArrowHead {
    bool isDefault = false;
    HandleRef arrowHead;
};

struct MLeaderBlockLabel {
    HandleRef attributeDefinition;
    Text text;
    std::int16_t uiIndex = 0;
    double width = 0.0;
};

struct MultiLeaderObject {
    std::int16_t version = 2;  // 2010+
    MLeaderContext context;
    HandleRef style;
    std::uint32_t overrides = 0;
    std::int16_t leaderType = 1;
    CmColor lineColor;
    HandleRef lineType;
    std::int32_t lineWeight = 0;
    bool landingEnabled = true;
    bool doglegEnabled = true;
    double landingDistance = 0.36;
    HandleRef arrowHead;
    double arrowHeadSize = 0.18;
    std::int16_t contentType = 2;
    HandleRef textStyle;
    std::int16_t leftAttachment = 1;
    std::int16_t rightAttachment = 1;
    std::int16_t textAngleType = 1;
    std::int16_t textAlignment = 0;
    CmColor textColor;
    bool textFrame = false;
    HandleRef block;
    CmColor blockColor;
    Point3 blockScale{1.0, 1.0, 1.0};
    double blockRotation = 0.0;
    std::int16_t attachmentType = 0;
    bool annotative = false;
    std::vector<MLeaderArrowHead> arrowHeads;  // until 2007
    std::vector<MLeaderBlockLabel> blockLabels;
    bool textDirectionNegative = false;
    std::int16_t ipeAlignment = 0;
    std::int16_t justification = 0;
    double scaleFactor = 1.0;
    // 2010+
    std::int16_t attachmentDirection = 0;
    std::int16_t topAttachment = 9;
    std::int16_t bottomAttachment = 9;
    bool textExtended = false;  // 2013+
};

template <class Io>
void walk(Io& io, MultiLeaderObject& m) {
    if (io.release() >= Release::R2010) io.BS("version", m.version);
    walk(io, m.context);
    io.H("leader style", m.style);
    io.BL("override flags", m.overrides);
    io.BS("leader type", m.leaderType);
    io.CMC("leader color", m.lineColor);
    io.H("leader line type", m.lineType);
    io.BL("line weight", m.lineWeight);
    io.B("landing enabled", m.landingEnabled);
    io.B("dogleg enabled", m.doglegEnabled);
    io.BD("landing distance", m.landingDistance);
    io.H("arrow head", m.arrowHead);
    io.BD("arrow head size", m.arrowHeadSize);
    io.BS("content type", m.contentType);
    io.H("text style", m.textStyle);
    io.BS("left attachment", m.leftAttachment);
    io.BS("right attachment", m.rightAttachment);
    io.BS("text angle type", m.textAngleType);
    io.BS("text alignment", m.textAlignment);
    io.CMC("text color", m.textColor);
    io.B("text frame", m.textFrame);
    io.H("block", m.block);
    io.CMC("block color", m.blockColor);
    io.BD3("block scale", m.blockScale);
    io.BD("block rotation", m.blockRotation);
    io.BS("attachment type", m.attachmentType);
    io.B("annotative", m.annotative);
    // From 2010 on the arrow heads are the leader lines'; the block labels
    // and what follows them stay (the 2010-2018 samples and their DXF twins).
    if (io.release() <= Release::R2007) {
        walkList(io, "arrow head count", m.arrowHeads, 1, [&](MLeaderArrowHead& a) {
            io.B("default", a.isDefault);
            io.H("arrow head", a.arrowHead);
        });
    }
    walkList(io, "block label count", m.blockLabels, 8, [&](MLeaderBlockLabel& l) {
        io.H("attribute definition", l.attributeDefinition);
        io.T("label text", l.text);
        io.BS("ui index", l.uiIndex);
        io.BD("width", l.width);
    });
    io.B("text direction negative", m.textDirectionNegative);
    io.BS("ipe alignment", m.ipeAlignment);
    io.BS("justification", m.justification);
    io.BD("scale factor", m.scaleFactor);
    if (io.release() >= Release::R2010) {
        io.BS("attachment direction", m.attachmentDirection);
        io.BS("top attachment", m.topAttachment);
        io.BS("bottom attachment", m.bottomAttachment);
    }
    if (io.release() >= Release::R2013) io.B("text extended", m.textExtended);
}

// ---------------------------------------------------------------------------
// TABLEGEOMETRY (ODA §20.4.103) and the cell content geometry (ODA §20.4.98)

struct CellContentGeometry {
    Point3 distanceToTopLeft;
    Point3 distanceToCenter;
    double contentWidth = 0.0;
    double contentHeight = 0.0;
    double width = 0.0;
    double height = 0.0;
    std::uint32_t flags = 0;
};

template <class Io>
void walk(Io& io, CellContentGeometry& g) {
    io.BD3("distance to top left", g.distanceToTopLeft);
    io.BD3("distance to center", g.distanceToCenter);
    io.BD("content width", g.contentWidth);
    io.BD("content height", g.contentHeight);
    io.BD("width", g.width);
    io.BD("height", g.height);
    io.BL("flags", g.flags);
}

struct TableGeometryCell {
    std::uint32_t flags = 0;
    double widthWithGap = 0.0;
    double heightWithGap = 0.0;
    HandleRef unknown;
    std::vector<CellContentGeometry> contents;
};

struct TableGeometryObject {
    std::uint32_t rows = 0;
    std::uint32_t columns = 0;
    std::vector<TableGeometryCell> cells;  // rows * columns, row by row
};

template <class Io>
void walk(Io& io, TableGeometryObject& t) {
    io.BL("row count", t.rows);
    io.BL("column count", t.columns);
    walkList(io, "cell count", t.cells, 8, [&](TableGeometryCell& c) {
        io.BL("cell flags", c.flags);
        io.BD("width with gap", c.widthWithGap);
        io.BD("height with gap", c.heightWithGap);
        io.H("unknown", c.unknown);
        walkList(io, "content count", c.contents, 16, [&](CellContentGeometry& g) { walk(io, g); });
    });
}

// ---------------------------------------------------------------------------
// DATATABLE (no ODA paragraph; the DXF reference's group codes and the
// samples): a table of typed columns, every column one value per row.

struct DataTableColumn {
    std::uint32_t type = 0;  // 1 integer, 2 double, 3 string, 5-9 object ids
    Text name;
    std::vector<std::int32_t> integers;
    std::vector<double> doubles;
    std::vector<Text> strings;
    std::vector<HandleRef> objects;
};

struct DataTableObject {
    std::int16_t version = 2;
    std::uint32_t rows = 0;
    Text name;
    std::vector<DataTableColumn> columns;
};

template <class Io>
void walk(Io& io, DataTableObject& t) {
    io.BS("version", t.version);
    std::size_t columnCount = t.columns.size();
    io.count("column count", CountCode::BL, columnCount, 4);
    std::size_t rows = t.rows;
    io.count("row count", CountCode::BL, rows, 0);
    if constexpr (Io::reading) {
        // Every value takes at least two bits.
        const std::uint64_t left = io.data().bitsLeft() + io.handles().bitsLeft();
        if (columnCount != 0 && rows > left / 2 / columnCount)
            throw FormatError("DATATABLE: " + std::to_string(columnCount) + " columns of " + std::to_string(rows) +
                              " rows, more values than bits");
        t.columns.resize(columnCount);
    }
    t.rows = static_cast<std::uint32_t>(rows);
    io.T("name", t.name);
    for (DataTableColumn& c : t.columns) {
        io.BL("column type", c.type);
        io.T("column name", c.name);
        switch (c.type) {
        case 1:
            if constexpr (Io::reading) c.integers.resize(rows);
            for (std::int32_t& v : c.integers) io.BL("integer", v);
            break;
        case 2:
            if constexpr (Io::reading) c.doubles.resize(rows);
            for (double& v : c.doubles) io.BD("double", v);
            break;
        case 3:
            if constexpr (Io::reading) c.strings.resize(rows);
            for (Text& v : c.strings) io.T("string", v);
            break;
        case 5: case 6: case 7: case 8: case 9:
            if constexpr (Io::reading) c.objects.resize(rows);
            for (HandleRef& v : c.objects) io.H("object", v);
            break;
        default:
            throw FormatError("DATATABLE: column type " + std::to_string(c.type) + " is not known");
        }
    }
}

// ---------------------------------------------------------------------------
// The table content (ODA §20.4.97-100): TABLECONTENT, and from 2010 on the
// body of ACAD_TABLE.

// A value of a cell, a custom data item... (ODA §20.4.99).
struct TableValue {
    std::uint32_t flags = 0;     // 2007+: 1 = general, no data stored
    std::uint32_t dataType = 0;  // 0 unknown, 1 long, 2 double, 4 string, 8 date, 16 point, 32 3D point, 64 object, 512 general
    std::int32_t integer = 0;
    double real = 0.0;
    Text text;
    std::uint32_t dataSize = 0;
    std::vector<std::uint8_t> bytes;
    Point3 point;
    HandleRef object;
    // 2007+
    std::uint32_t unitType = 0;
    Text format;
    Text valueText;
};

template <class Io>
void walk(Io& io, TableValue& v) {
    if (io.release() >= Release::R2007) io.BL("value flags", v.flags);
    io.BL("value data type", v.dataType);
    if (io.release() < Release::R2007 || (v.flags & 1U) == 0) {
        switch (v.dataType) {
        case 0:
        case 1: io.BL("long", v.integer); break;
        case 2: io.BD("double", v.real); break;
        case 4:
            // From 2007 on a byte count and the UTF-16 characters with their
            // terminator, in the data (the samples' cells).
            // A value read so keeps its characters as a string too, the
            // form of the older releases.
            if (io.release() >= Release::R2007) {
                io.BL("string size", v.dataSize);
                io.bytes("string", v.bytes, v.dataSize);
                if constexpr (Io::reading) {
                    v.text = Text{};
                    v.text.units = utf16Units(v.bytes);
                    v.text.terminated = v.text.units.size() * 2 + 2 <= v.bytes.size();
                }
            } else {
                io.T("string", v.text);
            }
            break;
        case 8:
            io.BL("date size", v.dataSize);
            io.bytes("date", v.bytes, v.dataSize);
            break;
        case 16: {
            io.BL("point size", v.dataSize);
            Point2 p{v.point.x, v.point.y};
            io.RD2("point", p);
            v.point = {p.x, p.y, 0.0};
            break;
        }
        case 32:
            io.BL("point size", v.dataSize);
            io.RD3("point", v.point);
            break;
        case 64: io.H("object", v.object); break;
        case 512:
            // The samples store it before 2007 too (an empty cell's value:
            // a size of 1 and a zero byte).
            io.BL("general size", v.dataSize);
            io.bytes("general", v.bytes, v.dataSize);
            break;
        default:
            throw FormatError("table value: data type " + std::to_string(v.dataType) + " is not known");
        }
    }
    if (io.release() >= Release::R2007) {
        io.BL("unit type", v.unitType);
        io.T("format", v.format);
        io.T("value text", v.valueText);
    }
}

struct CustomDataItem {
    Text name;
    TableValue value;
};

// A custom data word and its collection of named values (ODA §20.4.100).
struct CustomData {
    std::uint32_t data = 0;
    std::vector<CustomDataItem> items;
};

template <class Io>
void walk(Io& io, CustomData& d) {
    io.BL("custom data", d.data);
    walkList(io, "custom data item count", d.items, 4, [&](CustomDataItem& i) {
        io.T("item name", i.name);
        walk(io, i.value);
    });
}

struct TableColumn {
    Text name;
    CustomData custom;
    CellStyle style;
    std::uint32_t styleId = 0;
    double width = 0.0;
};

struct TableCellAttribute {
    HandleRef attributeDefinition;
    Text value;
    std::uint32_t index = 0;
};

struct TableCellContent {
    std::uint32_t type = 0;  // 1 value, 2 field, 4 block
    TableValue value;
    HandleRef object;  // the field or the block
    std::vector<TableCellAttribute> attributes;
    std::uint16_t hasFormat = 0;
    ContentFormat format;
};

struct TableCell {
    std::uint32_t state = 0;
    Text tooltip;
    CustomData custom;
    std::uint32_t hasLinkedData = 0;
    HandleRef dataLink;
    std::uint32_t linkedRows = 0, linkedColumns = 0, linkedUnknown = 0;
    std::vector<TableCellContent> contents;
    CellStyle style;
    std::uint32_t styleId = 0;
    std::uint32_t hasGeometry = 0;
    std::uint32_t geometryFlags = 0;
    double widthWithGap = 0.0;
    double heightWithGap = 0.0;
    HandleRef geometryUnknown;
    std::vector<CellContentGeometry> geometry;
};

struct TableRow {
    std::vector<TableCell> cells;
    CustomData custom;
    CellStyle style;
    std::uint32_t styleId = 0;
    double height = 0.0;
};

struct MergedCells {
    std::uint32_t topRow = 0, leftColumn = 0, bottomRow = 0, rightColumn = 0;
};

struct TableContent {
    Text name;
    Text description;
    std::vector<TableColumn> columns;
    std::vector<TableRow> rows;
    std::vector<HandleRef> fields;
    CellStyle tableStyle;  // the table's own overrides
    std::vector<MergedCells> merged;
};

template <class Io>
void walk(Io& io, TableCellContent& c) {
    io.BL("content type", c.type);
    if (c.type == 1)
        walk(io, c.value);
    else if (c.type == 2 || c.type == 4)
        io.H(c.type == 2 ? "field" : "block", c.object);
    walkList(io, "attribute count", c.attributes, 8, [&](TableCellAttribute& a) {
        io.H("attribute definition", a.attributeDefinition);
        io.T("attribute value", a.value);
        io.BL("attribute index", a.index);
    });
    io.BS("has content format", c.hasFormat);
    if (c.hasFormat != 0) walk(io, c.format);
}

template <class Io>
void walk(Io& io, TableCell& c) {
    io.BL("cell state", c.state);
    io.T("tooltip", c.tooltip);
    walk(io, c.custom);
    io.BL("has linked data", c.hasLinkedData);
    if (c.hasLinkedData != 0) {
        io.H("data link", c.dataLink);
        io.BL("linked rows", c.linkedRows);
        io.BL("linked columns", c.linkedColumns);
        io.BL("linked unknown", c.linkedUnknown);
    }
    walkList(io, "content count", c.contents, 4, [&](TableCellContent& k) { walk(io, k); });
    walk(io, c.style);
    io.BL("cell style id", c.styleId);
    io.BL("has geometry", c.hasGeometry);
    if (c.hasGeometry != 0) {
        io.BL("geometry flags", c.geometryFlags);
        io.BD("width with gap", c.widthWithGap);
        io.BD("height with gap", c.heightWithGap);
        io.H("geometry unknown", c.geometryUnknown);
        walkList(io, "geometry count", c.geometry, 16, [&](CellContentGeometry& g) { walk(io, g); });
    }
}

template <class Io>
void walk(Io& io, TableContent& t) {
    io.T("name", t.name);
    io.T("description", t.description);
    // Every column also has its style id and width: the samples have them.
    walkList(io, "column count", t.columns, 8, [&](TableColumn& c) {
        io.T("column name", c.name);
        walk(io, c.custom);
        walk(io, c.style);
        io.BL("column style id", c.styleId);
        io.BD("column width", c.width);
    });
    walkList(io, "row count", t.rows, 8, [&](TableRow& r) {
        walkList(io, "cell count", r.cells, 8, [&](TableCell& c) { walk(io, c); });
        walk(io, r.custom);
        walk(io, r.style);
        io.BL("row style id", r.styleId);
        io.BD("row height", r.height);
    });
    walkList(io, "field count", t.fields, 1, [&](HandleRef& h) { io.H("field", h); });
    walk(io, t.tableStyle);
    walkList(io, "merged range count", t.merged, 8, [&](MergedCells& m) {
        io.BL("top row", m.topRow);
        io.BL("left column", m.leftColumn);
        io.BL("bottom row", m.bottomRow);
        io.BL("right column", m.rightColumn);
    });
}

struct TableContentObject {
    TableContent content;
    HandleRef tableStyle;
};

template <class Io>
void walk(Io& io, TableContentObject& t) {
    walk(io, t.content);
    io.H("table style", t.tableStyle);
}

// ---------------------------------------------------------------------------
// ACAD_TABLE (ODA §20.4.96): an INSERT of the table's anonymous block with,
// until 2007, the table's rows, columns and cells, and from 2010 on the
// table content (as TABLECONTENT's) and the table's breaks. Its colours are
// taken in the 2004 form as the table style's are; no sample overrides a
// colour to tell.

struct TableCellOverrides {
    // The samples also set 0x40000, which stores nothing.
    std::uint32_t flags = 0;
    std::uint8_t virtualEdges = 0;
    std::uint16_t alignment = 0;
    bool backgroundFillNone = false;
    CmColor backgroundColor;
    CmColor contentColor;
    HandleRef textStyle;
    double textHeight = 0.0;
    // top, right, bottom, left
    CmColor gridColor[4];
    std::int16_t gridLineWeight[4] = {};
    std::int16_t gridVisibility[4] = {};
};

struct TableBlockAttribute {
    HandleRef attributeDefinition;
    std::int16_t index = 0;
    Text text;
};

struct TableCellData {
    std::int16_t type = 1;  // 1 text, 2 block
    std::uint8_t edgeFlags = 0;
    bool merged = false;
    bool autofit = false;
    std::int32_t mergedWidth = 0;
    std::int32_t mergedHeight = 0;
    double rotation = 0.0;
    HandleRef object;  // the FIELD of a text cell, the block of a block cell
    Text text;
    double blockScale = 1.0;
    bool hasAttributes = false;
    std::vector<TableBlockAttribute> attributes;
    bool hasOverrides = false;
    TableCellOverrides overrides;
    // 2007+
    std::uint32_t unknown = 0;
    TableValue value;
};

// The table's overrides of its style, by row kind: title, header, data.
struct TableOverrides {
    std::uint32_t flags = 0;
    bool titleSuppressed = false;
    std::int16_t flowDirection = 0;
    double horizontalMargin = 0.0;
    double verticalMargin = 0.0;
    CmColor rowColor[3];
    bool rowFillNone[3] = {};
    CmColor rowFillColor[3];
    std::int16_t rowAlignment[3] = {};
    HandleRef rowTextStyle[3];
    double rowHeight[3] = {};
};

template <class Io>
void walk(Io& io, TableOverrides& o) {
    io.BL("table override flags", o.flags);
    if (o.flags & 0x1U) io.B("title suppressed", o.titleSuppressed);
    // 0x2, header suppressed, is always true and not stored.
    if (o.flags & 0x4U) io.BS("flow direction", o.flowDirection);
    if (o.flags & 0x8U) io.BD("horizontal cell margin", o.horizontalMargin);
    if (o.flags & 0x10U) io.BD("vertical cell margin", o.verticalMargin);
    for (unsigned r = 0; r < 3; ++r)
        if (o.flags & (0x20U << r)) walkTrueColor(io, o.rowColor[r]);
    for (unsigned r = 0; r < 3; ++r)
        if (o.flags & (0x100U << r)) io.B("row fill none", o.rowFillNone[r]);
    for (unsigned r = 0; r < 3; ++r)
        if (o.flags & (0x800U << r)) walkTrueColor(io, o.rowFillColor[r]);
    for (unsigned r = 0; r < 3; ++r)
        if (o.flags & (0x4000U << r)) io.BS("row alignment", o.rowAlignment[r]);
    for (unsigned r = 0; r < 3; ++r)
        if (o.flags & (0x20000U << r)) io.H("row text style", o.rowTextStyle[r]);
    for (unsigned r = 0; r < 3; ++r)
        if (o.flags & (0x100000U << r)) io.BD("row height", o.rowHeight[r]);
}

// Border properties by flag bit: title, header and data rows, each with
// horizontal top, inside and bottom, vertical left, inside and right.
template <class Value>
struct BorderOverrides {
    std::uint32_t flags = 0;
    Value values[18] = {};
};

template <class Io>
void walkBorderColors(Io& io, BorderOverrides<CmColor>& b) {
    io.BL("border color overrides", b.flags);
    for (unsigned i = 0; i < 18; ++i)
        if (b.flags & (1U << i)) walkTrueColor(io, b.values[i]);
}

template <class Io>
void walkBorderShorts(Io& io, const char* what, const char* name, BorderOverrides<std::int16_t>& b) {
    io.BL(what, b.flags);
    for (unsigned i = 0; i < 18; ++i)
        if (b.flags & (1U << i)) io.BS(name, b.values[i]);
}

// Where a table breaks into parts (ODA §20.4.96.2).
struct TableBreakHeight {
    Point3 position;
    double height = 0.0;
    std::uint32_t flags = 0;
};

struct TableBreaks {
    std::uint32_t options = 0;  // 1 enable, 2 repeat top labels, 4 bottom labels, 8 manual positions, 16 manual heights
    std::uint32_t flowDirection = 1;  // 1 right, 2 vertical, 4 left
    double spacing = 0.0;
    std::uint32_t unknown1 = 0;
    std::uint32_t unknown2 = 0;
    std::vector<TableBreakHeight> heights;
};

struct TableBreakRowRange {
    Point3 position;
    std::uint32_t startRow = 0;
    std::uint32_t endRow = 0;
};

struct TableObject {
    // The INSERT.
    Point3 insertion;
    Point3 scale{1.0, 1.0, 1.0};
    double rotation = 0.0;
    Point3 extrusion{0.0, 0.0, 1.0};
    bool hasAttributes = false;
    HandleRef block;
    HandleRef firstAttribute, lastAttribute;  // R13-R2000
    std::vector<HandleRef> attributes;        // 2004+
    HandleRef seqend;
    // The table.
    HandleRef tableStyle;
    std::int16_t valueFlags = 6;
    Point3 horizontalDirection{1.0, 0.0, 0.0};
    std::vector<double> columnWidths;
    std::vector<double> rowHeights;
    std::vector<TableCellData> cells;  // row by row
    bool hasTableOverrides = false;
    TableOverrides tableOverrides;
    bool hasBorderColors = false;
    BorderOverrides<CmColor> borderColors;
    bool hasBorderLineWeights = false;
    BorderOverrides<std::int16_t> borderLineWeights;
    bool hasBorderVisibility = false;
    BorderOverrides<std::int16_t> borderVisibility;
    // 2010+ (ODA §20.4.96.2), after the INSERT: the table content inside
    // the entity, and how the table breaks into parts.
    std::uint8_t unknownByte = 0;
    HandleRef unknownHandle;
    std::int32_t unknownLong = 0;
    bool unknownFlag = true;  // 2010
    std::int32_t unknownLong2013 = 0;  // 2013+
    TableContent content;
    std::uint32_t hasBreakData = 0;
    TableBreaks breaks;
    std::vector<TableBreakRowRange> breakRowRanges;
};

template <class Io>
void walkInsertScale(Io& io, Point3& scale) {
    if (io.release() <= Release::R14) {
        io.BD("x scale", scale.x);
        io.BD("y scale", scale.y);
        io.BD("z scale", scale.z);
        return;
    }
    // ODA §20.4.9: 3 = all one; 2 = x stored, y and z equal; 1 = x one, y and z as DD of 1; 0 = x RD, y and z DD of x.
    std::uint8_t form = 0;
    if (scale.x == 1.0 && scale.y == 1.0 && scale.z == 1.0)
        form = 3;
    else if (scale.x == 1.0)
        form = 1;
    else if (scale.y == scale.x && scale.z == scale.x)
        form = 2;
    io.BB("scale form", form);
    switch (form) {
    case 3:
        if constexpr (Io::reading) scale = {1.0, 1.0, 1.0};
        break;
    case 2:
        io.RD("scale", scale.x);
        if constexpr (Io::reading) scale.y = scale.z = scale.x;
        break;
    case 1:
        if constexpr (Io::reading) scale.x = 1.0;
        io.DD("y scale", scale.y, 1.0);
        io.DD("z scale", scale.z, 1.0);
        break;
    default:
        io.RD("x scale", scale.x);
        io.DD("y scale", scale.y, scale.x);
        io.DD("z scale", scale.z, scale.x);
        break;
    }
}

template <class Io>
void walk(Io& io, TableCellOverrides& o) {
    io.BL("cell override flags", o.flags);
    io.RC("virtual edges", o.virtualEdges);
    if (o.flags & 0x01U) io.RS("alignment", o.alignment);
    if (o.flags & 0x02U) io.B("background fill none", o.backgroundFillNone);
    if (o.flags & 0x04U) walkTrueColor(io, o.backgroundColor);
    if (o.flags & 0x08U) walkTrueColor(io, o.contentColor);
    if (o.flags & 0x10U) io.H("text style", o.textStyle);
    if (o.flags & 0x20U) io.BD("text height", o.textHeight);
    for (unsigned edge = 0; edge < 4; ++edge) {
        if (o.flags & (0x40U << edge)) walkTrueColor(io, o.gridColor[edge]);
        if (o.flags & (0x400U << edge)) io.BS("grid line weight", o.gridLineWeight[edge]);
        if (o.flags & (0x4000U << edge)) io.BS("grid visibility", o.gridVisibility[edge]);
    }
}

template <class Io>
void walk(Io& io, TableCellData& c) {
    io.BS("cell type", c.type);
    io.RC("edge flags", c.edgeFlags);
    io.B("merged", c.merged);
    io.B("autofit", c.autofit);
    io.BL("merged width", c.mergedWidth);
    io.BL("merged height", c.mergedHeight);
    io.BD("rotation", c.rotation);
    if (c.type == 1) {
        // A text with fields keeps only its FIELD (ODA §20.4.96.1); no
        // sample's cell has one.
        io.H("field", c.object);
        // From 2007 on the text is the cell value's alone.
        if (c.object.value == 0 && io.release() < Release::R2007) io.T("text", c.text);
    } else if (c.type == 2) {
        io.H("block", c.object);
        io.BD("block scale", c.blockScale);
        io.B("has attributes", c.hasAttributes);
        if (c.hasAttributes) {
            std::size_t n = c.attributes.size();
            io.count("attribute count", CountCode::BS, n, 8);
            if constexpr (Io::reading) c.attributes.resize(n);
            for (TableBlockAttribute& a : c.attributes) {
                io.H("attribute definition", a.attributeDefinition);
                io.BS("attribute index", a.index);
                io.T("attribute text", a.text);
            }
        }
    }
    if (c.type == 1 || c.type == 2) {
        io.B("has overrides", c.hasOverrides);
        if (c.hasOverrides) walk(io, c.overrides);
        if (io.release() >= Release::R2007) {
            io.BL("unknown", c.unknown);
            walk(io, c.value);
        }
    }
}

template <class Io>
void walk(Io& io, TableObject& t) {
    io.BD3("insertion point", t.insertion);
    walkInsertScale(io, t.scale);
    io.BD("rotation", t.rotation);
    io.BD3("extrusion", t.extrusion);
    io.B("has attributes", t.hasAttributes);
    // The samples' tables have no attributes: the attribute handles follow
    // INSERT (ODA §20.4.9).
    std::size_t owned = t.attributes.size();
    // As in INSERT, the count is there only with attributes.
    if (io.release() >= Release::R2004 && t.hasAttributes) io.count("owned object count", CountCode::BL, owned, 8);
    io.H("block", t.block);
    if (io.release() >= Release::R2004) {
        if constexpr (Io::reading) t.attributes.resize(owned);
        for (HandleRef& h : t.attributes) io.H("attribute", h);
    } else if (t.hasAttributes) {
        io.H("first attribute", t.firstAttribute);
        io.H("last attribute", t.lastAttribute);
    }
    if (t.hasAttributes) io.H("seqend", t.seqend);

    if (io.release() >= Release::R2010) {
        io.RC("unknown byte", t.unknownByte);
        io.H("unknown handle", t.unknownHandle);
        io.BL("unknown long", t.unknownLong);
        if (io.release() == Release::R2010)
            io.B("unknown flag", t.unknownFlag);
        else
            io.BL("unknown long 2013", t.unknownLong2013);
        walk(io, t.content);
        // As in TABLECONTENT: the style after the content (the last handle).
        io.H("table style", t.tableStyle);
        io.BS("table value flags", t.valueFlags);
        io.BD3("horizontal direction", t.horizontalDirection);
        io.BL("has break data", t.hasBreakData);
        if (t.hasBreakData != 0) {
            TableBreaks& b = t.breaks;
            io.BL("break options", b.options);
            io.BL("break flow direction", b.flowDirection);
            io.BD("break spacing", b.spacing);
            io.BL("break unknown 1", b.unknown1);
            io.BL("break unknown 2", b.unknown2);
            walkList(io, "break height count", b.heights, 8, [&](TableBreakHeight& h) {
                io.BD3("break position", h.position);
                io.BD("break height", h.height);
                io.BL("break height flags", h.flags);
            });
        }
        walkList(io, "break row range count", t.breakRowRanges, 10, [&](TableBreakRowRange& r) {
            io.BD3("row range position", r.position);
            io.BL("row range start", r.startRow);
            io.BL("row range end", r.endRow);
        });
        return;
    }

    io.H("table style", t.tableStyle);
    io.BS("table value flags", t.valueFlags);
    io.BD3("horizontal direction", t.horizontalDirection);
    std::size_t columns = t.columnWidths.size(), rows = t.rowHeights.size();
    io.count("column count", CountCode::BL, columns, 2);
    io.count("row count", CountCode::BL, rows, 2);
    if constexpr (Io::reading) {
        t.columnWidths.resize(columns);
        t.rowHeights.resize(rows);
        if (columns != 0 && rows > io.data().bitsLeft() / columns)
            throw FormatError("ACAD_TABLE: more cells than bits");
        t.cells.resize(columns * rows);
    }
    for (double& w : t.columnWidths) io.BD("column width", w);
    for (double& h : t.rowHeights) io.BD("row height", h);
    for (TableCellData& c : t.cells) walk(io, c);
    io.B("has table overrides", t.hasTableOverrides);
    if (t.hasTableOverrides) walk(io, t.tableOverrides);
    io.B("has border color overrides", t.hasBorderColors);
    if (t.hasBorderColors) walkBorderColors(io, t.borderColors);
    io.B("has border line weight overrides", t.hasBorderLineWeights);
    if (t.hasBorderLineWeights) walkBorderShorts(io, "border line weight overrides", "line weight", t.borderLineWeights);
    io.B("has border visibility overrides", t.hasBorderVisibility);
    if (t.hasBorderVisibility) walkBorderShorts(io, "border visibility overrides", "visibility", t.borderVisibility);
}

}  // namespace dwg
