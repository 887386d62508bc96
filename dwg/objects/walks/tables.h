#pragma once
// The symbol tables: their controls (ODA §20.4.51, .53, .55, .57, .59, .61,
// .63, .65, .67, .69) and their records, BLOCK_HEADER (§20.4.52), LAYER
// (§20.4.54), STYLE (§20.4.56), LTYPE (§20.4.58), VIEW (§20.4.60), UCS
// (§20.4.62), VPORT (§20.4.64), APPID (§20.4.66), DIMSTYLE (§20.4.68) and
// VX_TABLE_RECORD (§20.4.70).
//
// A control's owner is the null handle and is walked with the common
// handles; a record's owner is its control. Every record starts with the
// same entry data, and its xref block handle is the first handle after the
// common ones.

#include <cstdint>
#include <string>
#include <vector>

#include "dwg/objects/object.h"

namespace dwg {

// The entry data every table record starts with.
struct TableEntryData {
    Text name;
    bool flag64 = false;             // bit 64 of DXF 70: referenced when last saved (R13-2004)
    std::int16_t xrefIndexPlus1 = 0; // 0: not from an xref; 2007+: 256 for an xref dependent record
    bool xrefDependent = false;      // bit 16 of DXF 70 (R13-2004)
    HandleRef xrefBlock;             // hard pointer, null unless from an xref
};

template <class Io>
void walk(Io& io, TableEntryData& e) {
    io.T("name", e.name);
    if (io.release() <= Release::R2004) {
        io.B("64-flag", e.flag64);
        io.BS("xref index + 1", e.xrefIndexPlus1);
        io.B("xref dependent", e.xrefDependent);
    } else {
        // 2007 on the two bits are gone: the BS alone says xref dependence
        // (its bit 256). A record read so gets the bits an older release
        // would store: AutoCAD's 2004 saves of such drawings mark every
        // record referenced.
        io.BS("xref index + 1", e.xrefIndexPlus1);
        if constexpr (Io::reading) {
            e.flag64 = true;
            e.xrefDependent = (e.xrefIndexPlus1 & 256) != 0;
        }
    }
    io.H("xref block", e.xrefBlock);
}

// ---------------------------------------------------------------- controls

// A table control: the count of its records and their handles (soft
// owners). LAYER, STYLE, VIEW, UCS, VPORT, APPID and VX controls have no
// more; the others add to it.
struct SymbolTableObject {
    std::vector<HandleRef> entries;
};

template <class Io>
void walk(Io& io, SymbolTableObject& t) {
    std::size_t n = t.entries.size();
    io.count("entry count", CountCode::BL, n, 8);
    t.entries.resize(n);
    for (HandleRef& h : t.entries) io.H("entry", h);
}

// BLOCK_CONTROL: *Model_Space and *Paper_Space are not counted among the
// entries but follow them (hard owners).
struct BlockTableObject {
    SymbolTableObject table;
    HandleRef modelSpace, paperSpace;
};

template <class Io>
void walk(Io& io, BlockTableObject& t) {
    walk(io, t.table);
    io.H("*Model_Space", t.modelSpace);
    io.H("*Paper_Space", t.paperSpace);
}

// LTYPE_CONTROL: ByBlock and ByLayer likewise (hard owners).
struct LinetypeTableObject {
    SymbolTableObject table;
    HandleRef byBlock, byLayer;
};

template <class Io>
void walk(Io& io, LinetypeTableObject& t) {
    walk(io, t.table);
    io.H("ByBlock", t.byBlock);
    io.H("ByLayer", t.byLayer);
}

// DIMSTYLE_CONTROL: 2000 on, an RC count of more handles (hard pointers)
// after the entries.
struct DimStyleTableObject {
    SymbolTableObject table;
    std::vector<HandleRef> more;
};

template <class Io>
void walk(Io& io, DimStyleTableObject& t) {
    walk(io, t.table);
    // R13 and R14 have neither the count nor the handles.
    if (io.release() >= Release::R2000) {
        std::size_t n = t.more.size();
        io.count("more handle count", CountCode::RC, n, 8);
        t.more.resize(n);
        for (HandleRef& h : t.more) io.H("more", h);
    }
}

// ----------------------------------------------------------------- records

struct BlockRecordObject {
    TableEntryData entry;
    bool anonymous = false;
    bool hasAttributes = false;
    bool isXref = false;
    bool isOverlaidXref = false;
    bool xrefUnloaded = false;  // 2000+: the "loaded bit", 0 for a loaded xref
    Point3 basePoint;
    Text xrefPath;
    Text description;            // 2000+
    std::vector<std::uint8_t> preview;  // 2000+
    std::int16_t insertUnits = 0;       // 2007+
    bool explodable = true;             // 2007+
    std::uint8_t blockScaling = 0;      // 2007+
    HandleRef block;                    // the BLOCK entity (hard owner)
    HandleRef firstEntity, lastEntity;  // R13-2000, not for xrefs (soft pointers)
    std::vector<HandleRef> entities;    // 2004+ (hard owners)
    HandleRef endBlock;                 // the ENDBLK entity (hard owner)
    std::vector<HandleRef> inserts;     // 2000+ (soft pointers)
    HandleRef layout;                   // 2000+ (hard pointer)
};

template <class Io>
void walk(Io& io, BlockRecordObject& b) {
    const Release r = io.release();
    walk(io, b.entry);
    io.B("anonymous", b.anonymous);
    io.B("has attributes", b.hasAttributes);
    io.B("is xref", b.isXref);
    io.B("is overlaid xref", b.isOverlaidXref);
    if (r >= Release::R2000)
        io.B("xref unloaded", b.xrefUnloaded);
    const bool ownsEntities = !b.isXref && !b.isOverlaidXref;
    // 2004 on an xref stores no count of owned entities (nor the entities);
    // ODA §20.4.52 has the count always. The samples hold no xref block.
    if (r >= Release::R2004 && ownsEntities) {
        std::size_t n = b.entities.size();
        io.count("owned count", CountCode::BL, n, 8);
        b.entities.resize(n);
    }
    io.BD3("base point", b.basePoint);
    io.T("xref path", b.xrefPath);
    if (r >= Release::R2000) {
        // One non-zero RC per insert, then a zero.
        if constexpr (Io::reading) {
            std::size_t n = 0;
            for (;;) {
                std::uint8_t mark = 0;
                io.RC("insert", mark);
                if (mark == 0)
                    break;
                ++n;
            }
            b.inserts.resize(n);
        } else if constexpr (Io::writing) {
            for (std::size_t i = 0; i < b.inserts.size(); ++i) {
                std::uint8_t one = 1;
                io.RC("insert", one);
            }
            std::uint8_t zero = 0;
            io.RC("end of inserts", zero);
        } else {
            std::size_t n = b.inserts.size();
            io.count("insert count", CountCode::RC, n, 8);
        }
        io.T("description", b.description);
        std::size_t size = b.preview.size();
        io.count("preview size", CountCode::BL, size, 8);
        io.bytes("preview", b.preview, size);
    }
    if (r >= Release::R2007) {
        io.BS("insert units", b.insertUnits);
        io.B("explodable", b.explodable);
        io.RC("block scaling", b.blockScaling);
    }
    io.H("block", b.block);
    if (r <= Release::R2000) {
        if (ownsEntities) {
            io.H("first entity", b.firstEntity);
            io.H("last entity", b.lastEntity);
        }
    } else {
        for (HandleRef& h : b.entities) io.H("entity", h);
    }
    io.H("end block", b.endBlock);
    if (r >= Release::R2000) {
        for (HandleRef& h : b.inserts) io.H("insert", h);
        io.H("layout", b.layout);
    }
}

struct LayerObject {
    TableEntryData entry;
    // R13-R14 as four bits; 2000 on in `flags`.
    bool frozen = false, off = false, frozenInNewViewports = false, locked = false;
    // 2000+: frozen 1, off 2, frozen in new viewports 4, locked 8, plotted
    // 16, and the lineweight index in bits 5-9.
    std::int16_t flags = 0;
    CmColor color;
    HandleRef plotStyle;  // 2000+
    HandleRef material;   // 2007+
    HandleRef linetype;
    HandleRef visualStyle;  // 2013+
};

template <class Io>
void walk(Io& io, LayerObject& l) {
    const Release r = io.release();
    walk(io, l.entry);
    if (r <= Release::R14) {
        io.B("frozen", l.frozen);
        io.B("off", l.off);
        io.B("frozen in new viewports", l.frozenInNewViewports);
        io.B("locked", l.locked);
    } else {
        io.BS("flags", l.flags);
    }
    io.CMC("color", l.color);
    if (r >= Release::R2000)
        io.H("plot style", l.plotStyle);
    if (r >= Release::R2007)
        io.H("material", l.material);
    io.H("linetype", l.linetype);
    // 2013 on: the layer's visual style, after the linetype.
    if (r >= Release::R2013)
        io.H("visual style", l.visualStyle);
}

struct StyleObject {
    TableEntryData entry;
    bool isShapeFile = false;  // bit 1 of DXF 70
    bool vertical = false;     // bit 4 of DXF 70
    double fixedHeight = 0.0;
    double widthFactor = 1.0;
    double obliqueAngle = 0.0;
    std::uint8_t generation = 0;  // 2 backwards, 4 upside down
    double lastHeight = 0.0;
    Text fontFile;
    Text bigFontFile;
};

template <class Io>
void walk(Io& io, StyleObject& s) {
    walk(io, s.entry);
    // The shape-file bit comes first, then the vertical bit (ODA §20.4.56
    // lists them the other way round; the samples' shape styles agree here).
    io.B("is shape file", s.isShapeFile);
    io.B("vertical", s.vertical);
    io.BD("fixed height", s.fixedHeight);
    io.BD("width factor", s.widthFactor);
    io.BD("oblique angle", s.obliqueAngle);
    io.RC("generation", s.generation);
    io.BD("last height", s.lastHeight);
    io.T("font file", s.fontFile);
    io.T("big font file", s.bigFontFile);
}

struct LinetypeDash {
    double length = 0.0;
    std::int16_t shapeCode = 0;  // the shape's number, or the text's offset in the text area
    Point2 offset;
    double scale = 1.0;
    double rotation = 0.0;
    std::int16_t shapeFlags = 0;  // 1 absolute rotation, 2 text, 4 shape
    HandleRef style;              // the STYLE of the shape or text (hard pointer)
};

struct LinetypeObject {
    TableEntryData entry;
    Text description;
    double patternLength = 0.0;
    std::uint8_t alignment = 'A';
    std::vector<LinetypeDash> dashes;
    // The texts of the dashes: 256 bytes in R13-2004; 512 from 2007 on, and
    // then only when a dash is a text.
    std::vector<std::uint8_t> textArea = std::vector<std::uint8_t>(256);
};

template <class Io>
void walk(Io& io, LinetypeObject& t) {
    walk(io, t.entry);
    io.T("description", t.description);
    io.BD("pattern length", t.patternLength);
    io.RC("alignment", t.alignment);
    std::size_t n = t.dashes.size();
    io.count("dash count", CountCode::RC, n, 8);
    t.dashes.resize(n);
    bool hasText = false;
    for (LinetypeDash& d : t.dashes) {
        io.BD("dash length", d.length);
        io.BS("shape code", d.shapeCode);
        io.RD("x offset", d.offset.x);
        io.RD("y offset", d.offset.y);
        io.BD("scale", d.scale);
        io.BD("rotation", d.rotation);
        io.BS("shape flags", d.shapeFlags);
        io.H("style", d.style);
        hasText = hasText || (d.shapeFlags & 2) != 0;
    }
    if (io.release() <= Release::R2004)
        io.TF("text area", t.textArea, 256);
    else if (hasText)
        io.TF("text area", t.textArea, 512);
}

// The view fields VIEW and VPORT share (AutoCAD's AbstractViewTableRecord),
// up to the render mode.
struct ViewGeometry {
    double height = 0.0;
    double width = 0.0;  // VPORT: the aspect ratio times the height
    Point2 center;
    Point3 target;
    Point3 direction{0.0, 0.0, 1.0};
    double twist = 0.0;
    double lensLength = 50.0;
    double frontClip = 0.0;
    double backClip = 0.0;
    // View mode (DXF 71): bits 1, 2, 4 and the opposite of bit 16.
    bool perspective = false, frontClipping = false, backClipping = false, frontClipAtEye = true;
    std::uint8_t renderMode = 0;  // 2000+
};

template <class Io>
void walk(Io& io, ViewGeometry& v) {
    io.BD("view height", v.height);
    io.BD("view width", v.width);
    io.RD2("view center", v.center);
    io.BD3("view target", v.target);
    io.BD3("view direction", v.direction);
    io.BD("view twist", v.twist);
    io.BD("lens length", v.lensLength);
    io.BD("front clip", v.frontClip);
    io.BD("back clip", v.backClip);
    io.B("perspective", v.perspective);
    io.B("front clipping", v.frontClipping);
    io.B("back clipping", v.backClipping);
    io.B("front clip at eye", v.frontClipAtEye);
    if (io.release() >= Release::R2000)
        io.RC("render mode", v.renderMode);
}

// The lighting fields of 2007 on.
struct ViewLighting {
    bool useDefaultLights = true;
    std::uint8_t defaultLightingType = 1;
    double brightness = 0.0;
    double contrast = 0.0;
    CmColor ambientColor;
};

template <class Io>
void walk(Io& io, ViewLighting& l) {
    io.B("use default lights", l.useDefaultLights);
    io.RC("default lighting type", l.defaultLightingType);
    io.BD("brightness", l.brightness);
    io.BD("contrast", l.contrast);
    io.CMC("ambient color", l.ambientColor);
}

// A UCS as VIEW, VPORT and UCS store it (2000+ for VIEW and VPORT).
struct UcsAxes {
    Point3 origin;
    Point3 xAxis{1.0, 0.0, 0.0};
    Point3 yAxis{0.0, 1.0, 0.0};
};

template <class Io>
void walk(Io& io, UcsAxes& u) {
    io.BD3("ucs origin", u.origin);
    io.BD3("ucs x axis", u.xAxis);
    io.BD3("ucs y axis", u.yAxis);
}

struct ViewObject {
    TableEntryData entry;
    ViewGeometry view;
    ViewLighting lighting;       // 2007+
    bool paperSpace = false;     // bit 1 of DXF 70
    bool associatedUcs = false;  // 2000+
    UcsAxes ucs;                 // 2000+, with an associated UCS
    double ucsElevation = 0.0;
    std::int16_t ucsOrthoType = 0;
    bool cameraPlottable = false;           // 2007+
    HandleRef background, visualStyle, sun;  // 2007+
    HandleRef baseUcs, namedUcs;            // 2000+, with an associated UCS
    HandleRef liveSection;                  // 2007+
};

template <class Io>
void walk(Io& io, ViewObject& v) {
    const Release r = io.release();
    walk(io, v.entry);
    walk(io, v.view);
    if (r >= Release::R2007) {
        walk(io, v.lighting);
        io.H("background", v.background);
        io.H("visual style", v.visualStyle);
        io.H("sun", v.sun);
    }
    io.B("paper space", v.paperSpace);
    if (r >= Release::R2000) {
        io.B("associated ucs", v.associatedUcs);
        if (v.associatedUcs) {
            walk(io, v.ucs);
            io.BD("ucs elevation", v.ucsElevation);
            io.BS("ucs ortho type", v.ucsOrthoType);
            io.H("base ucs", v.baseUcs);
            io.H("named ucs", v.namedUcs);
        }
    }
    if (r >= Release::R2007) {
        io.B("camera plottable", v.cameraPlottable);
        io.H("live section", v.liveSection);
    }
}

struct UcsOrthoPoint {
    std::int16_t type = 0;  // DXF 71
    Point3 point;           // DXF 13
};

// Not in the registry yet: no sample holds a UCS record to confirm the
// 2000+ fields after the ortho view type (see the walk).
struct UcsObject {
    TableEntryData entry;
    UcsAxes ucs;
    double elevation = 0.0;        // 2000+
    std::int16_t orthoViewType = 0;  // 2000+
    std::vector<UcsOrthoPoint> orthoPoints;  // 2000+
    HandleRef baseUcs, namedUcs;   // 2000+
};

template <class Io>
void walk(Io& io, UcsObject& u) {
    walk(io, u.entry);
    walk(io, u.ucs);
    if (io.release() >= Release::R2000) {
        io.BD("elevation", u.elevation);
        io.BS("ortho view type", u.orthoViewType);
        io.H("base ucs", u.baseUcs);
        io.H("named ucs", u.namedUcs);
        // ODA §20.4.62 has one BS "orthographic type" here; LibreDWG reads
        // it as the count of (type, origin) pairs that DXF 71/13 repeat.
        std::size_t n = u.orthoPoints.size();
        io.count("ortho point count", CountCode::BS, n, 2 + 3 * 2);
        u.orthoPoints.resize(n);
        for (UcsOrthoPoint& p : u.orthoPoints) {
            io.BS("ortho type", p.type);
            io.BD3("ortho origin", p.point);
        }
    }
}

struct VportObject {
    TableEntryData entry;
    ViewGeometry view;
    ViewLighting lighting;  // 2007+
    Point2 lowerLeft;
    Point2 upperRight{1.0, 1.0};
    bool ucsFollow = false;  // bit 8 of DXF 71
    std::int16_t circleZoom = 1000;
    bool fastZoom = true;
    std::uint8_t ucsIcon = 0;  // 2 bits: on, at origin
    bool gridOn = false;
    Point2 gridSpacing;
    bool snapOn = false;
    bool snapStyle = false;
    std::int16_t snapIsopair = 0;
    double snapRotation = 0.0;
    Point2 snapBase;
    Point2 snapSpacing;
    bool ucsAtOrigin = false;       // 2000+
    bool ucsPerViewport = true;     // 2000+
    UcsAxes ucs;                    // 2000+
    double ucsElevation = 0.0;      // 2000+
    std::int16_t ucsOrthoType = 0;  // 2000+
    std::int16_t gridFlags = 0;     // 2007+
    std::int16_t gridMajor = 0;     // 2007+
    HandleRef background, visualStyle, sun;  // 2007+
    HandleRef namedUcs, baseUcs;             // 2000+
};

template <class Io>
void walk(Io& io, VportObject& v) {
    const Release r = io.release();
    walk(io, v.entry);
    walk(io, v.view);
    if (r >= Release::R2007) {
        walk(io, v.lighting);
        io.H("background", v.background);
        io.H("visual style", v.visualStyle);
        io.H("sun", v.sun);
    }
    io.RD2("lower left", v.lowerLeft);
    io.RD2("upper right", v.upperRight);
    io.B("ucs follow", v.ucsFollow);
    io.BS("circle zoom", v.circleZoom);
    io.B("fast zoom", v.fastZoom);
    io.BB("ucs icon", v.ucsIcon);
    io.B("grid on", v.gridOn);
    io.RD2("grid spacing", v.gridSpacing);
    io.B("snap on", v.snapOn);
    io.B("snap style", v.snapStyle);
    io.BS("snap isopair", v.snapIsopair);
    io.BD("snap rotation", v.snapRotation);
    io.RD2("snap base", v.snapBase);
    io.RD2("snap spacing", v.snapSpacing);
    if (r >= Release::R2000) {
        io.B("ucs at origin", v.ucsAtOrigin);
        io.B("ucs per viewport", v.ucsPerViewport);
        walk(io, v.ucs);
        io.BD("ucs elevation", v.ucsElevation);
        io.BS("ucs ortho type", v.ucsOrthoType);
        io.H("named ucs", v.namedUcs);
        io.H("base ucs", v.baseUcs);
    }
    if (r >= Release::R2007) {
        io.BS("grid flags", v.gridFlags);
        io.BS("grid major", v.gridMajor);
    }
}

struct AppIdObject {
    TableEntryData entry;
    std::uint8_t unknown = 0;  // DXF 71, 0 in AutoCAD's drawings
};

template <class Io>
void walk(Io& io, AppIdObject& a) {
    walk(io, a.entry);
    io.RC("unknown", a.unknown);
}

// DIMSTYLE: the dimension variables, named as AutoCAD's system variables.
// R13-R14 and 2000 on store different sets in different orders and codes.
struct DimStyleObject {
    TableEntryData entry;
    bool dimtol = false, dimlim = false, dimtih = true, dimtoh = true, dimse1 = false, dimse2 = false;
    bool dimalt = false, dimtofl = false, dimsah = false, dimtix = false, dimsoxd = false;
    bool dimsd1 = false, dimsd2 = false, dimupt = false;
    std::int16_t dimaltd = 2, dimzin = 0, dimazin = 0, dimtolj = 1, dimjust = 0, dimtzin = 0, dimaltz = 0,
                 dimalttz = 0, dimtad = 0;
    std::int16_t dimfit = 3;   // R13-R14
    std::int16_t dimunit = 2;  // R13-R14
    std::int16_t dimaunit = 0, dimdec = 4, dimtdec = 4, dimaltu = 2, dimalttd = 2;
    std::int16_t dimadec = 0, dimfrac = 0, dimlunit = 2, dimdsep = '.', dimtmove = 0, dimatfit = 3;  // 2000+
    std::int16_t dimlwd = -2, dimlwe = -2;  // 2000+
    double dimscale = 1.0, dimasz = 0.18, dimexo = 0.0625, dimdli = 0.38, dimexe = 0.18, dimrnd = 0.0,
           dimdle = 0.0, dimtp = 0.0, dimtm = 0.0;
    double dimtxt = 0.18, dimcen = 0.09, dimtsz = 0.0, dimaltf = 25.4, dimlfac = 1.0, dimtvp = 0.0,
           dimtfac = 1.0, dimgap = 0.09;
    double dimaltrnd = 0.0;  // 2000+
    Text dimpost, dimapost;
    Text dimblk, dimblk1, dimblk2;  // R13-R14: the arrow blocks' names
    CmColor dimclrd, dimclre, dimclrt;
    // 2007+
    double dimfxl = 1.0, dimjogang = 0.7853981633974483;
    std::int16_t dimtfill = 0;
    CmColor dimtfillclr;
    std::int16_t dimarcsym = 0;
    bool dimfxlon = false;
    // 2010+
    bool dimtxtdirection = false;
    double dimaltmzf = 100.0, dimmzf = 100.0;
    Text dimaltmzs, dimmzs;
    bool flag1 = false;  // bit 1 of DXF 70
    HandleRef dimtxsty;
    HandleRef dimldrblk, dimblkHandle, dimblk1Handle, dimblk2Handle;  // 2000+
    HandleRef dimltype, dimltex1, dimltex2;                           // 2007+
};

template <class Io>
void walkDimStyleR13(Io& io, DimStyleObject& d) {
    // Some variables are an RC here, a BS from 2000 on.
    auto rc = [&io](const char* name, std::int16_t& v) {
        std::uint8_t b = static_cast<std::uint8_t>(v);
        io.RC(name, b);
        v = static_cast<std::int16_t>(b);
    };
    io.B("DIMTOL", d.dimtol);
    io.B("DIMLIM", d.dimlim);
    io.B("DIMTIH", d.dimtih);
    io.B("DIMTOH", d.dimtoh);
    io.B("DIMSE1", d.dimse1);
    io.B("DIMSE2", d.dimse2);
    io.B("DIMALT", d.dimalt);
    io.B("DIMTOFL", d.dimtofl);
    io.B("DIMSAH", d.dimsah);
    io.B("DIMTIX", d.dimtix);
    io.B("DIMSOXD", d.dimsoxd);
    rc("DIMALTD", d.dimaltd);
    rc("DIMZIN", d.dimzin);
    io.B("DIMSD1", d.dimsd1);
    io.B("DIMSD2", d.dimsd2);
    rc("DIMTOLJ", d.dimtolj);
    rc("DIMJUST", d.dimjust);
    rc("DIMFIT", d.dimfit);
    io.B("DIMUPT", d.dimupt);
    rc("DIMTZIN", d.dimtzin);
    rc("DIMALTZ", d.dimaltz);
    rc("DIMALTTZ", d.dimalttz);
    rc("DIMTAD", d.dimtad);
    io.BS("DIMUNIT", d.dimunit);
    io.BS("DIMAUNIT", d.dimaunit);
    io.BS("DIMDEC", d.dimdec);
    io.BS("DIMTDEC", d.dimtdec);
    io.BS("DIMALTU", d.dimaltu);
    io.BS("DIMALTTD", d.dimalttd);
    io.BD("DIMSCALE", d.dimscale);
    io.BD("DIMASZ", d.dimasz);
    io.BD("DIMEXO", d.dimexo);
    io.BD("DIMDLI", d.dimdli);
    io.BD("DIMEXE", d.dimexe);
    io.BD("DIMRND", d.dimrnd);
    io.BD("DIMDLE", d.dimdle);
    io.BD("DIMTP", d.dimtp);
    io.BD("DIMTM", d.dimtm);
    io.BD("DIMTXT", d.dimtxt);
    io.BD("DIMCEN", d.dimcen);
    io.BD("DIMTSZ", d.dimtsz);
    io.BD("DIMALTF", d.dimaltf);
    io.BD("DIMLFAC", d.dimlfac);
    io.BD("DIMTVP", d.dimtvp);
    io.BD("DIMTFAC", d.dimtfac);
    io.BD("DIMGAP", d.dimgap);
    io.T("DIMPOST", d.dimpost);
    io.T("DIMAPOST", d.dimapost);
    io.T("DIMBLK", d.dimblk);
    io.T("DIMBLK1", d.dimblk1);
    io.T("DIMBLK2", d.dimblk2);
    io.CMC("DIMCLRD", d.dimclrd);
    io.CMC("DIMCLRE", d.dimclre);
    io.CMC("DIMCLRT", d.dimclrt);
}

template <class Io>
void walkDimStyle2000(Io& io, DimStyleObject& d) {
    const Release r = io.release();
    io.T("DIMPOST", d.dimpost);
    io.T("DIMAPOST", d.dimapost);
    io.BD("DIMSCALE", d.dimscale);
    io.BD("DIMASZ", d.dimasz);
    io.BD("DIMEXO", d.dimexo);
    io.BD("DIMDLI", d.dimdli);
    io.BD("DIMEXE", d.dimexe);
    io.BD("DIMRND", d.dimrnd);
    io.BD("DIMDLE", d.dimdle);
    io.BD("DIMTP", d.dimtp);
    io.BD("DIMTM", d.dimtm);
    if (r >= Release::R2007) {
        io.BD("DIMFXL", d.dimfxl);
        io.BD("DIMJOGANG", d.dimjogang);
        io.BS("DIMTFILL", d.dimtfill);
        io.CMC("DIMTFILLCLR", d.dimtfillclr);
    }
    io.B("DIMTOL", d.dimtol);
    io.B("DIMLIM", d.dimlim);
    io.B("DIMTIH", d.dimtih);
    io.B("DIMTOH", d.dimtoh);
    io.B("DIMSE1", d.dimse1);
    io.B("DIMSE2", d.dimse2);
    io.BS("DIMTAD", d.dimtad);
    io.BS("DIMZIN", d.dimzin);
    io.BS("DIMAZIN", d.dimazin);
    if (r >= Release::R2007)
        io.BS("DIMARCSYM", d.dimarcsym);
    io.BD("DIMTXT", d.dimtxt);
    io.BD("DIMCEN", d.dimcen);
    io.BD("DIMTSZ", d.dimtsz);
    io.BD("DIMALTF", d.dimaltf);
    io.BD("DIMLFAC", d.dimlfac);
    io.BD("DIMTVP", d.dimtvp);
    io.BD("DIMTFAC", d.dimtfac);
    io.BD("DIMGAP", d.dimgap);
    io.BD("DIMALTRND", d.dimaltrnd);
    io.B("DIMALT", d.dimalt);
    io.BS("DIMALTD", d.dimaltd);
    io.B("DIMTOFL", d.dimtofl);
    io.B("DIMSAH", d.dimsah);
    io.B("DIMTIX", d.dimtix);
    io.B("DIMSOXD", d.dimsoxd);
    io.CMC("DIMCLRD", d.dimclrd);
    io.CMC("DIMCLRE", d.dimclre);
    io.CMC("DIMCLRT", d.dimclrt);
    io.BS("DIMADEC", d.dimadec);
    io.BS("DIMDEC", d.dimdec);
    io.BS("DIMTDEC", d.dimtdec);
    io.BS("DIMALTU", d.dimaltu);
    io.BS("DIMALTTD", d.dimalttd);
    io.BS("DIMAUNIT", d.dimaunit);
    io.BS("DIMFRAC", d.dimfrac);
    io.BS("DIMLUNIT", d.dimlunit);
    io.BS("DIMDSEP", d.dimdsep);
    io.BS("DIMTMOVE", d.dimtmove);
    io.BS("DIMJUST", d.dimjust);
    io.B("DIMSD1", d.dimsd1);
    io.B("DIMSD2", d.dimsd2);
    io.BS("DIMTOLJ", d.dimtolj);
    io.BS("DIMTZIN", d.dimtzin);
    io.BS("DIMALTZ", d.dimaltz);
    io.BS("DIMALTTZ", d.dimalttz);
    io.B("DIMUPT", d.dimupt);
    // ODA §20.4.68 calls it DIMFIT; the value is DIMATFIT's, as in the
    // header variables of 2000 on.
    io.BS("DIMATFIT", d.dimatfit);
    if (r >= Release::R2007)
        io.B("DIMFXLON", d.dimfxlon);
    if (r >= Release::R2010) {
        io.B("DIMTXTDIRECTION", d.dimtxtdirection);
        io.BD("DIMALTMZF", d.dimaltmzf);
        io.T("DIMALTMZS", d.dimaltmzs);
        io.BD("DIMMZF", d.dimmzf);
        io.T("DIMMZS", d.dimmzs);
    }
    io.BS("DIMLWD", d.dimlwd);
    io.BS("DIMLWE", d.dimlwe);
}

template <class Io>
void walk(Io& io, DimStyleObject& d) {
    const Release r = io.release();
    walk(io, d.entry);
    if (r <= Release::R14)
        walkDimStyleR13(io, d);
    else
        walkDimStyle2000(io, d);
    io.B("flag 1", d.flag1);
    io.H("DIMTXSTY", d.dimtxsty);
    if (r >= Release::R2000) {
        io.H("DIMLDRBLK", d.dimldrblk);
        io.H("DIMBLK", d.dimblkHandle);
        io.H("DIMBLK1", d.dimblk1Handle);
        io.H("DIMBLK2", d.dimblk2Handle);
    }
    if (r >= Release::R2007) {
        io.H("DIMLTYPE", d.dimltype);
        io.H("DIMLTEX1", d.dimltex1);
        io.H("DIMLTEX2", d.dimltex2);
    }
}

// VX_TABLE_RECORD: a paper space viewport entity's record.
struct VxRecordObject {
    TableEntryData entry;
    bool on = false;     // bit 2 of DXF 70
    HandleRef viewport;  // the VIEWPORT entity (soft pointer)
    HandleRef previous;  // the previous record in the chain (hard pointer)
};

template <class Io>
void walk(Io& io, VxRecordObject& v) {
    walk(io, v.entry);
    io.B("on", v.on);
    io.H("viewport", v.viewport);
    io.H("previous", v.previous);
}

}  // namespace dwg
