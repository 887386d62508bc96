#pragma once
// The non-graphical objects that hold a drawing's organisation and settings:
// dictionaries and what they index (groups, multiline styles, xrecords,
// placeholders, layouts and plot settings, dictionary variables, scales),
// the raster image and clipping helpers, the indexes and sort tables, and
// fields (ODA §20.4.44-45, .72-74, .76-77, .79, .81-84, .91-95, .104).

#include <array>

#include "dwg/objects/object.h"

namespace dwg {

// When an index was last updated (TIMEBLL, ODA §20.4.83): two BLs, the
// Julian day and the milliseconds into it.
struct IndexTimestamp {
    std::int32_t days = 0;
    std::int32_t milliseconds = 0;
};

template <class Io>
void walk(Io& io, IndexTimestamp& t) {
    io.BL("days", t.days);
    io.BL("milliseconds", t.milliseconds);
}

struct DictionaryEntry {
    Text name;
    HandleRef item;
};

// DICTIONARY (42): names and the objects they stand for.
struct DictionaryObject {
    std::int16_t cloning = 1;        // 2000+ (DXF 281), 1 = keep existing
    std::uint8_t hardOwner = 0;      // R14+ (DXF 280): the entries are hard-owned
    std::vector<DictionaryEntry> entries;
};

// The entries and flags; `classForm` for ACDBDICTIONARYWDFLT, whose R13
// and R14 objects already store both flags as 2000 does.
template <class Io>
void walkDictionary(Io& io, DictionaryObject& d, bool classForm) {
    std::size_t n = d.entries.size();
    io.count("entries", CountCode::BL, n, 10);  // each a TV and a handle at least
    d.entries.resize(n);
    if (classForm || io.release() >= Release::R2000)
        io.BS("cloning", d.cloning);
    // The byte R14 adds ("unknown" in ODA §20.4.44) is the hard owner flag
    // 2000 keeps after the cloning flag; R13 (AC1012) samples lack it.
    if (classForm || io.release() >= Release::R14)
        io.RC("hard owner", d.hardOwner);
    for (DictionaryEntry& e : d.entries) io.T("name", e.name);
    for (DictionaryEntry& e : d.entries) io.H("item", e.item);
}

template <class Io>
void walk(Io& io, DictionaryObject& d) {
    walkDictionary(io, d, false);
}

// ACDBDICTIONARYWDFLT: a dictionary with a default entry (ODA §20.4.45).
struct DictionaryWithDefaultObject {
    DictionaryObject dictionary;
    HandleRef defaultEntry;
};

template <class Io>
void walk(Io& io, DictionaryWithDefaultObject& d) {
    walkDictionary(io, d.dictionary, true);
    io.H("default entry", d.defaultEntry);
}

// GROUP (72): a named selection of entities.
struct GroupObject {
    Text name;
    std::int16_t unnamed = 0;
    std::int16_t selectable = 1;
    std::vector<HandleRef> entities;
};

template <class Io>
void walk(Io& io, GroupObject& g) {
    io.T("name", g.name);
    io.BS("unnamed", g.unnamed);
    io.BS("selectable", g.selectable);
    std::size_t n = g.entities.size();
    io.count("entities", CountCode::BL, n, 8);
    g.entities.resize(n);
    for (HandleRef& h : g.entities) io.H("entity", h);
}

struct MlineStyleLine {
    double offset = 0.0;
    CmColor color;
    std::int16_t linetypeIndex = 0;  // before 2018: 32767 ByLayer, 32766 ByBlock
    HandleRef linetype;              // 2018+
};

// MLINESTYLE (73).
struct MlineStyleObject {
    Text name;
    Text description;
    std::int16_t flags = 0;  // the DWG bits, which differ from DXF 70's (ODA §20.4.73)
    CmColor fillColor;
    double startAngle = 0.0;
    double endAngle = 0.0;
    std::vector<MlineStyleLine> lines;
};

template <class Io>
void walk(Io& io, MlineStyleObject& m) {
    io.T("name", m.name);
    io.T("description", m.description);
    io.BS("flags", m.flags);
    io.CMC("fill color", m.fillColor);
    io.BD("start angle", m.startAngle);
    io.BD("end angle", m.endAngle);
    std::size_t n = m.lines.size();
    io.count("lines", CountCode::RC, n, 6);
    m.lines.resize(n);
    for (MlineStyleLine& l : m.lines) {
        io.BD("offset", l.offset);
        io.CMC("color", l.color);
        if (io.release() >= Release::R2018)
            io.H("linetype", l.linetype);
        else
            io.BS("linetype index", l.linetypeIndex);
    }
}

// XRECORD (79, or a class): DXF group codes and values, kept as their bytes
// (RS code, then the value in the code's form, ODA §20.4.104), and the
// objects it refers to: every handle to the end of the handle stream.
struct XRecordObject {
    std::vector<std::uint8_t> items;
    std::int16_t cloning = 1;  // 2000+ (DXF 280)
    std::vector<HandleRef> objects;
};

template <class Io>
void walk(Io& io, XRecordObject& x) {
    std::uint32_t size = static_cast<std::uint32_t>(x.items.size());
    io.BL("item bytes", size);
    io.bytes("items", x.items, size);
    if (io.release() >= Release::R2000)
        io.BS("cloning", x.cloning);
    io.handlesToEnd("object", x.objects);
}

// ACDBPLACEHOLDER (80, or a class): no fields of its own; it stands where
// a dictionary needs an entry (the plot style "Normal").
struct PlaceholderObject {};

template <class Io>
void walk(Io&, PlaceholderObject&) {}

// VBA_PROJECT (81): 2000+ keeps the project as bytes. Not registered: no
// sample holds one.
struct VbaProjectObject {
    std::vector<std::uint8_t> data;
};

template <class Io>
void walk(Io& io, VbaProjectObject& v) {
    if (io.release() < Release::R2000)
        return;
    std::uint32_t size = static_cast<std::uint32_t>(v.data.size());
    io.BL("size", size);
    io.bytes("data", v.data, size);
}

// PLOTSETTINGS, and the first part of every LAYOUT (ODA §20.4.84).
struct PlotSettings {
    Text pageSetupName;    // DXF 1
    Text printerConfig;    // DXF 2
    std::int16_t flags = 0;       // DXF 70
    double leftMargin = 0.0, bottomMargin = 0.0, rightMargin = 0.0, topMargin = 0.0;  // mm
    double paperWidth = 0.0, paperHeight = 0.0;                                       // mm
    Text paperSize;        // DXF 4
    Point2 plotOrigin;            // mm
    std::int16_t paperUnits = 0;  // DXF 72
    std::int16_t rotation = 0;    // DXF 73
    std::int16_t plotType = 0;    // DXF 74
    Point2 windowMin, windowMax;
    Text plotViewName;     // R13-2000; a handle from 2004 on
    HandleRef plotView;           // 2004+
    HandleRef visualStyle;        // 2007+
    double realWorldUnits = 1.0;  // DXF 142, the custom scale's numerator
    double drawingUnits = 1.0;    // DXF 143, its denominator
    Text styleSheet;       // DXF 7
    std::int16_t scaleType = 0;   // DXF 75
    double scaleFactor = 1.0;     // DXF 147
    Point2 paperImageOrigin;
    std::int16_t shadePlotMode = 0, shadePlotResolution = 0, shadePlotDpi = 0;  // 2004+
};

template <class Io>
void walk(Io& io, PlotSettings& p) {
    const Release r = io.release();
    io.T("page setup name", p.pageSetupName);
    io.T("printer config", p.printerConfig);
    io.BS("plot flags", p.flags);
    io.BD("left margin", p.leftMargin);
    io.BD("bottom margin", p.bottomMargin);
    io.BD("right margin", p.rightMargin);
    io.BD("top margin", p.topMargin);
    io.BD("paper width", p.paperWidth);
    io.BD("paper height", p.paperHeight);
    io.T("paper size", p.paperSize);
    io.BD2("plot origin", p.plotOrigin);
    io.BS("paper units", p.paperUnits);
    io.BS("plot rotation", p.rotation);
    io.BS("plot type", p.plotType);
    io.BD2("window min", p.windowMin);
    io.BD2("window max", p.windowMax);
    if (r <= Release::R2000)
        io.T("plot view name", p.plotViewName);
    else
        io.H("plot view", p.plotView);
    io.BD("real world units", p.realWorldUnits);
    io.BD("drawing units", p.drawingUnits);
    io.T("style sheet", p.styleSheet);
    io.BS("scale type", p.scaleType);
    io.BD("scale factor", p.scaleFactor);
    io.BD2("paper image origin", p.paperImageOrigin);
    if (r >= Release::R2004) {
        io.BS("shade plot mode", p.shadePlotMode);
        io.BS("shade plot resolution", p.shadePlotResolution);
        io.BS("shade plot dpi", p.shadePlotDpi);
    }
    if (r >= Release::R2007)
        io.H("visual style", p.visualStyle);
}

struct PlotSettingsObject {
    PlotSettings settings;
};

template <class Io>
void walk(Io& io, PlotSettingsObject& p) {
    walk(io, p.settings);
}

// LAYOUT (82, or a class): plot settings, then the layout's own.
struct LayoutObject {
    PlotSettings settings;
    Text name;
    std::int16_t tabOrder = 0;
    std::int16_t flags = 0;
    Point3 ucsOrigin;
    Point2 limitsMin, limitsMax;
    Point3 insertionBase;
    Point3 ucsXAxis{1.0, 0.0, 0.0}, ucsYAxis{0.0, 1.0, 0.0};
    double elevation = 0.0;
    std::int16_t orthographicView = 0;
    Point3 extentsMin, extentsMax;
    HandleRef block;           // the paper (or model) space block record
    HandleRef activeViewport;  // the last active one
    HandleRef baseUcs, namedUcs;
    std::vector<HandleRef> viewports;  // 2004+
};

template <class Io>
void walk(Io& io, LayoutObject& l) {
    walk(io, l.settings);
    io.T("layout name", l.name);
    // ODA gives a BL; DXF 71 is a 16-bit integer, and a BS reads the same
    // bits for every order below 256.
    io.BS("tab order", l.tabOrder);
    io.BS("layout flags", l.flags);
    io.BD3("ucs origin", l.ucsOrigin);
    io.RD2("limits min", l.limitsMin);
    io.RD2("limits max", l.limitsMax);
    io.BD3("insertion base", l.insertionBase);
    io.BD3("ucs x axis", l.ucsXAxis);
    io.BD3("ucs y axis", l.ucsYAxis);
    io.BD("elevation", l.elevation);
    io.BS("orthographic view", l.orthographicView);
    io.BD3("extents min", l.extentsMin);
    io.BD3("extents max", l.extentsMax);
    std::size_t n = l.viewports.size();
    if (io.release() >= Release::R2004) {
        // A BL in the samples (ODA says RL).
        io.count("viewports", CountCode::BL, n, 8);
        l.viewports.resize(n);
    }
    io.H("block", l.block);
    io.H("active viewport", l.activeViewport);
    io.H("base ucs", l.baseUcs);
    io.H("named ucs", l.namedUcs);
    // Before 2004 neither the count nor the handles.
    if (io.release() >= Release::R2004)
        for (HandleRef& h : l.viewports) io.H("viewport", h);
}

// DICTIONARYVAR: a system variable kept in the drawing (ODA §20.4.74).
struct DictionaryVarObject {
    std::uint8_t schema = 0;
    Text value;
};

template <class Io>
void walk(Io& io, DictionaryVarObject& d) {
    io.RC("schema", d.schema);
    io.T("value", d.value);
}

// SCALE (ODA §20.4.92): paper units to drawing units.
struct ScaleObject {
    std::int16_t flags = 0;
    Text name;
    double paperUnits = 1.0;
    double drawingUnits = 1.0;
    bool unitScale = false;
};

template <class Io>
void walk(Io& io, ScaleObject& s) {
    io.BS("flags", s.flags);
    io.T("name", s.name);
    io.BD("paper units", s.paperUnits);
    io.BD("drawing units", s.drawingUnits);
    io.B("unit scale", s.unitScale);
}

// IDBUFFER (ODA §20.4.79): the objects of an xref. Not registered: no
// sample holds one.
struct IdBufferObject {
    std::uint8_t unknown = 0;
    std::vector<HandleRef> objects;
};

template <class Io>
void walk(Io& io, IdBufferObject& b) {
    io.RC("unknown", b.unknown);
    std::size_t n = b.objects.size();
    io.count("objects", CountCode::BL, n, 8);
    b.objects.resize(n);
    for (HandleRef& h : b.objects) io.H("object", h);
}

// IMAGEDEF (ODA §20.4.81): a raster image file.
struct ImageDefObject {
    std::int32_t classVersion = 0;
    Point2 imageSize;  // pixels
    Text path;
    bool loaded = false;
    std::uint8_t resolutionUnits = 0;  // 0 none, 2 cm, 5 inches
    Point2 pixelSize;                  // drawing units
};

template <class Io>
void walk(Io& io, ImageDefObject& d) {
    io.BL("class version", d.classVersion);
    io.RD2("image size", d.imageSize);
    io.T("path", d.path);
    io.B("loaded", d.loaded);
    io.RC("resolution units", d.resolutionUnits);
    io.RD2("pixel size", d.pixelSize);
}

// IMAGEDEF_REACTOR (ODA §20.4.82) and RASTERVARIABLES (§20.4.91).
struct ImageDefReactorObject {
    std::int32_t classVersion = 0;
};

template <class Io>
void walk(Io& io, ImageDefReactorObject& d) {
    io.BL("class version", d.classVersion);
}

struct RasterVariablesObject {
    std::int32_t classVersion = 0;
    std::int16_t displayFrame = 0;
    std::int16_t displayQuality = 0;
    std::int16_t units = 0;
};

template <class Io>
void walk(Io& io, RasterVariablesObject& v) {
    io.BL("class version", v.classVersion);
    io.BS("display frame", v.displayFrame);
    io.BS("display quality", v.displayQuality);
    io.BS("units", v.units);
}

// WIPEOUTVARIABLES: not in ODA's list; the samples store one BS.
struct WipeoutVariablesObject {
    std::int16_t displayFrame = 0;
};

template <class Io>
void walk(Io& io, WipeoutVariablesObject& v) {
    io.BS("display frame", v.displayFrame);
}

// SPATIAL_FILTER (ODA §20.4.94): an xref's clipping boundary.
struct SpatialFilterObject {
    std::vector<Point2> boundary;
    Point3 extrusion{0.0, 0.0, 1.0};
    Point3 origin;
    std::int16_t displayBoundary = 0;
    std::int16_t frontClip = 0;
    double frontDistance = 0.0;  // when frontClip
    std::int16_t backClip = 0;
    double backDistance = 0.0;  // when backClip
    // 3x4 matrices row by row, the translation last in each row (as the
    // samples show; ODA calls them 4x3, column major).
    std::array<double, 12> inverseBlockTransform{};
    std::array<double, 12> clipTransform{};
};

template <class Io>
void walk(Io& io, SpatialFilterObject& f) {
    std::size_t n = f.boundary.size();
    io.count("boundary points", CountCode::BS, n, 128);
    f.boundary.resize(n);
    for (Point2& p : f.boundary) io.RD2("boundary point", p);
    io.BD3("extrusion", f.extrusion);
    io.BD3("origin", f.origin);
    io.BS("display boundary", f.displayBoundary);
    io.BS("front clip", f.frontClip);
    if (f.frontClip != 0)
        io.BD("front distance", f.frontDistance);
    io.BS("back clip", f.backClip);
    if (f.backClip != 0)
        io.BD("back distance", f.backDistance);
    for (double& v : f.inverseBlockTransform) io.BD("inverse block transform", v);
    for (double& v : f.clipTransform) io.BD("clip transform", v);
}

// SPATIAL_INDEX (ODA §20.4.95): a time stamp, then data no reader describes
// (kept as its bits). Not registered: no sample holds one.
struct SpatialIndexObject {
    IndexTimestamp updated;
    RawBits rest;
};

template <class Io>
void walk(Io& io, SpatialIndexObject& s) {
    walk(io, s.updated);
    io.restOfData("index data", s.rest);
}

struct LayerIndexEntry {
    std::int32_t index = 0;
    Text name;
    HandleRef entry;
};

// LAYER_INDEX (ODA §20.4.83). Not registered: no sample holds one.
struct LayerIndexObject {
    IndexTimestamp updated;
    std::vector<LayerIndexEntry> entries;
};

template <class Io>
void walk(Io& io, LayerIndexObject& x) {
    walk(io, x.updated);
    std::size_t n = x.entries.size();
    io.count("entries", CountCode::BL, n, 12);
    x.entries.resize(n);
    for (LayerIndexEntry& e : x.entries) {
        io.BL("index", e.index);
        io.T("name", e.name);
        io.H("entry", e.entry);
    }
}

// SORTENTSTABLE (ODA §20.4.93): the draw order. The sort handles are in the
// data stream, the entities' in the handle stream.
struct SortEntsTableObject {
    std::vector<HandleRef> sortHandles;
    HandleRef block;
    std::vector<HandleRef> entities;
};

template <class Io>
void walk(Io& io, SortEntsTableObject& s) {
    std::size_t n = s.entities.size();
    io.count("entries", CountCode::BL, n, 16);
    s.sortHandles.resize(n);
    s.entities.resize(n);
    for (HandleRef& h : s.sortHandles) io.Hd("sort handle", h);
    io.H("block", s.block);
    for (HandleRef& h : s.entities) io.H("entity", h);
}

// FIELDLIST (ODA §20.4.77): the drawing's fields.
struct FieldListObject {
    bool unknown = false;
    std::vector<HandleRef> fields;
};

template <class Io>
void walk(Io& io, FieldListObject& f) {
    std::size_t n = f.fields.size();
    io.count("fields", CountCode::BL, n, 8);
    f.fields.resize(n);
    io.B("unknown", f.unknown);
    for (HandleRef& h : f.fields) io.H("field", h);
}

// A field's value (ODA §20.4.99): its data type, then the data in that
// type's form. 2007 adds format flags in front (bit 1: a general value
// without data) and the unit type and strings behind.
struct FieldValue {
    std::int32_t formatFlags = 0;  // 2007+
    std::int32_t dataType = 0;     // 0 unknown, 1 long, 2 double, 4 string, 8 date, 16 point, 32 3D point, 64 object
    std::int32_t longValue = 0;
    double doubleValue = 0.0;
    Text text;
    std::uint32_t dataSize = 0;      // dates and points: their byte count
    std::vector<std::uint8_t> data;  // a date's bytes
    Point3 point;                    // 2D points leave z at 0
    HandleRef object;
    std::int32_t unitType = 0;  // 2007+
    Text formatString, valueString;
};

template <class Io>
void walk(Io& io, FieldValue& v) {
    const Release r = io.release();
    if (r >= Release::R2007)
        io.BL("format flags", v.formatFlags);
    io.BL("data type", v.dataType);
    if (r < Release::R2007 || (v.formatFlags & 1) == 0) {
        switch (v.dataType) {
        case 0:
        case 1: io.BL("long", v.longValue); break;
        case 2: io.BD("double", v.doubleValue); break;
        case 4: io.T("string", v.text); break;
        case 8:
            io.BL("date size", v.dataSize);
            io.bytes("date", v.data, v.dataSize);
            break;
        case 16: {
            // A byte count, then the point's RDs.
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
        // Where in the handle stream is not known yet: no sample holds one.
        case 64: io.H("object", v.object); break;
        default:
            if constexpr (Io::reading)
                throw FormatError("field value: data type " + std::to_string(v.dataType) + " has no known form");
            break;
        }
    }
    if (r >= Release::R2007) {
        io.BL("unit type", v.unitType);
        io.T("format string", v.formatString);
        io.T("value string", v.valueString);
    }
}

struct FieldChildValue {
    Text key;
    FieldValue value;
};

// FIELD (ODA §20.4.76): a text field's code, evaluation state and value.
struct FieldObject {
    Text evaluatorId;
    Text code;
    std::vector<HandleRef> children;  // hard owner
    std::vector<HandleRef> objects;   // soft pointers
    Text format;               // before 2007
    std::int32_t evaluationOptions = 0, filingOptions = 0, state = 0, evaluationStatus = 0, errorCode = 0;
    Text errorMessage;
    FieldValue value;
    Text valueString;
    std::int32_t valueStringLength = 0;  // BL, not the TV ODA gives
    std::vector<FieldChildValue> childValues;
};

template <class Io>
void walk(Io& io, FieldObject& f) {
    io.T("evaluator id", f.evaluatorId);
    io.T("code", f.code);
    std::size_t children = f.children.size();
    io.count("children", CountCode::BL, children, 8);
    f.children.resize(children);
    std::size_t objects = f.objects.size();
    io.count("objects", CountCode::BL, objects, 8);
    f.objects.resize(objects);
    if (io.release() < Release::R2007)
        io.T("format", f.format);
    io.BL("evaluation options", f.evaluationOptions);
    io.BL("filing options", f.filingOptions);
    io.BL("state", f.state);
    io.BL("evaluation status", f.evaluationStatus);
    io.BL("error code", f.errorCode);
    io.T("error message", f.errorMessage);
    walk(io, f.value);
    io.T("value string", f.valueString);
    io.BL("value string length", f.valueStringLength);
    std::size_t n = f.childValues.size();
    io.count("child values", CountCode::BL, n, 4);
    f.childValues.resize(n);
    for (FieldChildValue& c : f.childValues) {
        io.T("key", c.key);
        walk(io, c.value);
    }
    for (HandleRef& h : f.children) io.H("child", h);
    for (HandleRef& h : f.objects) io.H("object", h);
}

// One point a dimension is tied to (AcDbOsnapPointRef).
struct DimAssocRef {
    Text className;  // "AcDbOsnapPointRef"
    std::uint8_t osnapType = 0;
    std::vector<HandleRef> path;  // the main object and the inserts it is in
    std::int32_t subentType = 0, gsMarker = 0;  // when osnapType != 0
    std::vector<Text> xrefPaths;          // likewise
    double osnapDistance = 0.0;
    Point3 osnapPoint;
    // Intersections (osnap types 6 and 11): the other object.
    std::vector<HandleRef> intersectionPath;
    std::int32_t intersectionSubentType = 0, intersectionGsMarker = 0;
    std::vector<Text> intersectionXrefPaths;
    bool hasLastPointRef = false;
};

template <class Io>
void walkOsnapStrings(Io& io, const char* countName, const char* name, std::vector<Text>& v) {
    std::size_t n = v.size();
    io.count(countName, CountCode::BL, n, 2);
    v.resize(n);
    for (Text& s : v) io.T(name, s);
}

template <class Io>
void walkOsnapHandles(Io& io, const char* countName, const char* name, std::vector<HandleRef>& v) {
    std::size_t n = v.size();
    io.count(countName, CountCode::BL, n, 8);
    v.resize(n);
    for (HandleRef& h : v) io.H(name, h);
}

template <class Io>
void walk(Io& io, DimAssocRef& r) {
    io.T("class name", r.className);
    io.RC("osnap type", r.osnapType);
    walkOsnapHandles(io, "path length", "path", r.path);
    if (r.osnapType != 0) {
        io.BL("subent type", r.subentType);
        io.BL("gs marker", r.gsMarker);
        walkOsnapStrings(io, "xref paths", "xref path", r.xrefPaths);
    }
    io.BD("osnap distance", r.osnapDistance);
    io.BD3("osnap point", r.osnapPoint);
    if (r.osnapType == 6 || r.osnapType == 11) {
        walkOsnapHandles(io, "intersection path length", "intersection path", r.intersectionPath);
        io.BL("intersection subent type", r.intersectionSubentType);
        io.BL("intersection gs marker", r.intersectionGsMarker);
        walkOsnapStrings(io, "intersection xref paths", "intersection xref path", r.intersectionXrefPaths);
    }
    io.B("has last point ref", r.hasLastPointRef);
}

// DIMASSOC: which points of a dimension follow which objects. Not in ODA's
// list; the layout the samples show (osnap types 1, 3 and 13; the
// intersection part and "last point ref" are not in any sample yet).
struct DimAssocObject {
    std::int32_t associativity = 0;  // a bit a point: 1, 2, 4, 8
    bool transSpace = false;
    std::uint8_t rotatedType = 0;
    HandleRef dimension;
    std::array<DimAssocRef, 6> refs;  // those of the set bits are stored
};

template <class Io>
void walk(Io& io, DimAssocObject& d) {
    io.BL("associativity", d.associativity);
    io.B("trans space", d.transSpace);
    io.RC("rotated type", d.rotatedType);
    io.H("dimension", d.dimension);
    bool lastPointRef = false;
    for (std::size_t i = 0; i < d.refs.size(); ++i) {
        if ((d.associativity & (1 << i)) == 0 && !lastPointRef)
            continue;
        walk(io, d.refs[i]);
        lastPointRef = d.refs[i].hasLastPointRef;
    }
}

}  // namespace dwg
