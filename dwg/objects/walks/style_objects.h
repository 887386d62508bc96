#pragma once
// The rendering and modelling objects AutoCAD 2007 and later put into every
// drawing, also written into R13-2004 files saved by those releases: visual
// styles, materials, the sun, the model documentation view styles, and the
// association network with its actions, dependencies and parameters.
// ODA §20.4 describes only SUN and the shape history among them; the other
// layouts follow a general DWG library's reading where the samples bear it
// out, and the samples where they do not. The DXF reference names the fields.

#include <cstdint>
#include <string>
#include <vector>

#include "dwg/objects/object.h"

namespace dwg {

// VISUALSTYLE (AcDbVisualStyle): how faces, edges and the display look in
// one of the named styles ("2dWireframe", "Realistic", ...). R13-2007 store
// every property once; 2010 puts the lighting model and the internal flag
// first, stores the properties in another order, some of them wider, each
// followed by a short (DXF 176, how the property is applied), and 2013 adds
// more properties of that form.
struct VisualStyleObject {
    // A property 2013 adds, by its kind: 'B' bool, 'L' long, 'D' real,
    // 'C' colour, 'T' text.
    struct Extra {
        bool b = false;
        std::int32_t l = 0;
        double d = 0.0;
        CmColor color;
        Text text;
        std::int16_t flag = 0;
    };
    static constexpr const char* extraKinds = "BBBBBBBBBLDDLCLLCBLLLBLCDLTBDD";
    static constexpr std::size_t extraCount = 30;
    static constexpr std::size_t flagCount = 28;

    Text description;
    std::int32_t type = 0;  // which of the predefined styles
    std::int16_t lightingModel = 2;  // 2010+ (DXF 177)
    std::int32_t faceLightingModel = 0;
    std::int32_t faceLightingQuality = 0;
    std::int32_t faceColorMode = 0;
    double faceOpacity = 0.0;
    double faceSpecular = 0.0;
    CmColor faceMonoColor;
    std::int32_t faceModifier = 0;
    std::int32_t edgeModel = 0;
    std::int32_t edgeStyle = 0;
    CmColor edgeIntersectionColor;
    CmColor edgeObscuredColor;
    std::int32_t edgeObscuredLinetype = 0;
    double edgeCreaseAngle = 0.0;
    std::int32_t edgeModifier = 0;
    CmColor edgeColor;
    double edgeOpacity = 0.0;
    std::int32_t edgeWidth = 0;
    std::int32_t edgeOverhang = 0;
    std::int32_t edgeJitter = 0;
    CmColor edgeSilhouetteColor;
    std::int32_t edgeSilhouetteWidth = 0;
    std::int32_t edgeHaloGap = 0;
    std::int32_t edgeIsolines = 0;
    bool edgeHidePrecision = false;
    std::int16_t edgeStyleApply = 0;  // before 2010
    std::int32_t edgeIntersectionLinetype = 0;
    std::int32_t displaySettings = 0;
    double displayBrightness = 0.0;  // a long before 2010
    std::int32_t displayShadowType = 0;
    double unknown2007 = 0.0;  // 2007 (DXF 45), as a general DWG library reads it
    bool internalOnly = false;
    // 2010+: the short after each property, in the order they are stored.
    std::int16_t flags[flagCount] = {};
    Extra extras[extraCount];  // 2013+
};

// A value stored narrower than the field holding it.
template <class Io>
void walkShortAsLong(Io& io, const char* name, std::int32_t& v) {
    auto s = static_cast<std::int16_t>(v);
    io.BS(name, s);
    v = s;
}

template <class Io>
void walk(Io& io, VisualStyleObject& v) {
    io.T("description", v.description);
    io.BL("type", v.type);
    if (io.release() < Release::R2010) {
        io.BL("face lighting model", v.faceLightingModel);
        io.BL("face lighting quality", v.faceLightingQuality);
        io.BL("face color mode", v.faceColorMode);
        io.BD("face opacity", v.faceOpacity);
        io.BD("face specular", v.faceSpecular);
        io.CMC("face mono color", v.faceMonoColor);
        io.BL("face modifier", v.faceModifier);
        io.BL("edge model", v.edgeModel);
        io.BL("edge style", v.edgeStyle);
        io.CMC("edge intersection color", v.edgeIntersectionColor);
        io.CMC("edge obscured color", v.edgeObscuredColor);
        io.BL("edge obscured linetype", v.edgeObscuredLinetype);
        io.BD("edge crease angle", v.edgeCreaseAngle);
        io.BL("edge modifier", v.edgeModifier);
        io.CMC("edge color", v.edgeColor);
        io.BD("edge opacity", v.edgeOpacity);
        walkShortAsLong(io, "edge width", v.edgeWidth);
        walkShortAsLong(io, "edge overhang", v.edgeOverhang);
        io.BL("edge jitter", v.edgeJitter);
        io.CMC("edge silhouette color", v.edgeSilhouetteColor);
        walkShortAsLong(io, "edge silhouette width", v.edgeSilhouetteWidth);
        auto gap = static_cast<std::uint8_t>(v.edgeHaloGap);
        io.RC("edge halo gap", gap);
        v.edgeHaloGap = gap;
        walkShortAsLong(io, "edge isolines", v.edgeIsolines);
        io.B("edge hide precision", v.edgeHidePrecision);
        io.BS("edge style apply", v.edgeStyleApply);
        walkShortAsLong(io, "edge intersection linetype", v.edgeIntersectionLinetype);
        io.BL("display settings", v.displaySettings);
        auto brightness = static_cast<std::int32_t>(v.displayBrightness);
        io.BL("display brightness", brightness);
        v.displayBrightness = brightness;
        io.BL("display shadow type", v.displayShadowType);
        if (io.release() >= Release::R2007)
            io.BD("unknown 2007", v.unknown2007);
        io.B("internal only", v.internalOnly);
        return;
    }
    io.BS("lighting model", v.lightingModel);
    io.B("internal only", v.internalOnly);
    std::int16_t* flag = v.flags;
    io.BL("face lighting model", v.faceLightingModel);
    io.BS("flag", *flag++);
    io.BL("face lighting quality", v.faceLightingQuality);
    io.BS("flag", *flag++);
    io.BL("face color mode", v.faceColorMode);
    io.BS("flag", *flag++);
    walkShortAsLong(io, "face modifier", v.faceModifier);
    io.BS("flag", *flag++);
    io.BD("face opacity", v.faceOpacity);
    io.BS("flag", *flag++);
    io.BD("face specular", v.faceSpecular);
    io.BS("flag", *flag++);
    io.CMC("face mono color", v.faceMonoColor);
    io.BS("flag", *flag++);
    io.BL("edge model", v.edgeModel);
    io.BS("flag", *flag++);
    io.BL("edge style", v.edgeStyle);
    io.BS("flag", *flag++);
    io.CMC("edge intersection color", v.edgeIntersectionColor);
    io.BS("flag", *flag++);
    io.CMC("edge obscured color", v.edgeObscuredColor);
    io.BS("flag", *flag++);
    io.BL("edge obscured linetype", v.edgeObscuredLinetype);
    io.BS("flag", *flag++);
    io.BL("edge intersection linetype", v.edgeIntersectionLinetype);
    io.BS("flag", *flag++);
    io.BD("edge crease angle", v.edgeCreaseAngle);
    io.BS("flag", *flag++);
    io.BL("edge modifier", v.edgeModifier);
    io.BS("flag", *flag++);
    io.CMC("edge color", v.edgeColor);
    io.BS("flag", *flag++);
    io.BD("edge opacity", v.edgeOpacity);
    io.BS("flag", *flag++);
    io.BL("edge width", v.edgeWidth);
    io.BS("flag", *flag++);
    io.BL("edge overhang", v.edgeOverhang);
    io.BS("flag", *flag++);
    io.BL("edge jitter", v.edgeJitter);
    io.BS("flag", *flag++);
    io.CMC("edge silhouette color", v.edgeSilhouetteColor);
    io.BS("flag", *flag++);
    io.BL("edge silhouette width", v.edgeSilhouetteWidth);
    io.BS("flag", *flag++);
    io.BL("edge halo gap", v.edgeHaloGap);
    io.BS("flag", *flag++);
    io.BL("edge isolines", v.edgeIsolines);
    io.BS("flag", *flag++);
    io.B("edge hide precision", v.edgeHidePrecision);
    io.BS("flag", *flag++);
    io.BL("display settings", v.displaySettings);
    io.BS("flag", *flag++);
    io.BD("display brightness", v.displayBrightness);
    io.BS("flag", *flag++);
    io.BL("display shadow type", v.displayShadowType);
    io.BS("flag", *flag);
    if (io.release() < Release::R2013)
        return;
    for (std::size_t i = 0; i < VisualStyleObject::extraCount; ++i) {
        VisualStyleObject::Extra& e = v.extras[i];
        switch (VisualStyleObject::extraKinds[i]) {
        case 'B': io.B("property", e.b); break;
        case 'L': io.BL("property", e.l); break;
        case 'D': io.BD("property", e.d); break;
        case 'C': io.CMC("property", e.color); break;
        default: io.T("property", e.text); break;
        }
        io.BS("flag", e.flag);
    }
}

// MATERIAL (AcDbMaterial). A colour of a material: the current colour, or
// an override by its RGB value, scaled by a factor.
struct MaterialColor {
    std::uint8_t method = 0;  // 0 the current colour, 1 the RGB value below
    double factor = 1.0;
    std::uint32_t rgb = 0;
};

template <class Io>
void walk(Io& io, MaterialColor& c) {
    io.RC("color method", c.method);
    io.BD("color factor", c.factor);
    if (c.method == 1)
        io.BL("color rgb", c.rgb);
}

// A procedural texture: wood and marble by two colours; a generic one by
// one typed value, or by a table of named textures, each a texture again.
struct MaterialTexture {
    struct Named;
    std::int16_t kind = 0;  // 0 wood, 1 marble, 2 generic
    MaterialColor color1, color2;
    std::int16_t valueType = 0;  // generic: 1 bool, 2 short, 3 real, 4 colour, 5 text, 6 table
    bool boolValue = false;
    std::int16_t shortValue = 0;
    double realValue = 0.0;
    CmColor colorValue;
    Text textValue;
    std::vector<Named> table;
    bool tableEnd = false;
};
struct MaterialTexture::Named {
    Text name;
    MaterialTexture texture;
};

template <class Io>
void walk(Io& io, MaterialTexture& t) {
    io.BS("texture kind", t.kind);
    if (t.kind == 0 || t.kind == 1) {
        walk(io, t.color1);
        walk(io, t.color2);
    } else if (t.kind == 2) {
        io.BS("generic value type", t.valueType);
        switch (t.valueType) {
        case 1: io.B("generic bool", t.boolValue); break;
        case 2: io.BS("generic short", t.shortValue); break;
        case 3: io.BD("generic real", t.realValue); break;
        case 4: io.CMC("generic color", t.colorValue); break;
        case 5: io.T("generic text", t.textValue); break;
        case 6: {
            std::size_t n = t.table.size();
            io.count("generic textures", CountCode::BS, n, 9);
            t.table.resize(n);
            for (MaterialTexture::Named& named : t.table) {
                io.T("generic texture name", named.name);
                walk(io, named.texture);
            }
            io.B("generic table end", t.tableEnd);
            break;
        }
        default: break;
        }
    }
}

// A map: how an image or a procedural texture is blended in and projected.
struct MaterialMap {
    double blendFactor = 1.0;
    std::uint8_t projection = 1;     // 1 planar, 2 box, 3 cylinder, 4 sphere
    std::uint8_t tiling = 1;         // 1 tile, 2 crop, 3 clamp
    std::uint8_t autoTransform = 1;  // 1 none, 2 scale to the object, 4 with the block's transform
    double transform[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::uint8_t source = 1;  // 0 the scene, 1 a file, 2 a procedural texture
    Text fileName;
    MaterialTexture texture;
};

template <class Io>
void walk(Io& io, MaterialMap& m) {
    io.BD("map blend factor", m.blendFactor);
    io.RC("map projection", m.projection);
    io.RC("map tiling", m.tiling);
    io.RC("map auto transform", m.autoTransform);
    for (double& d : m.transform) io.BD("map transform", d);
    io.RC("map source", m.source);
    if (m.source == 1)
        io.T("map file name", m.fileName);
    else if (m.source == 2)
        walk(io, m.texture);
}

struct MaterialObject {
    Text name;
    Text description;
    MaterialColor ambient, diffuse;
    MaterialMap diffuseMap;
    MaterialColor specular;
    MaterialMap specularMap;
    double glossFactor = 0.5;
    MaterialMap reflectionMap;
    double opacity = 1.0;
    MaterialMap opacityMap;
    MaterialMap bumpMap;
    double refractionIndex = 1.0;
    MaterialMap refractionMap;
    // 2007+.
    double translucence = 0.0;
    double selfIllumination = 0.0;
    double reflectivity = 0.0;
    std::int32_t illuminationModel = 0;
    std::int32_t channelFlags = 0;
    std::int32_t mode = 0;
};

template <class Io>
void walk(Io& io, MaterialObject& m) {
    io.T("name", m.name);
    io.T("description", m.description);
    walk(io, m.ambient);
    walk(io, m.diffuse);
    walk(io, m.diffuseMap);
    walk(io, m.specular);
    walk(io, m.specularMap);
    io.BD("gloss factor", m.glossFactor);
    walk(io, m.reflectionMap);
    io.BD("opacity", m.opacity);
    walk(io, m.opacityMap);
    walk(io, m.bumpMap);
    io.BD("refraction index", m.refractionIndex);
    walk(io, m.refractionMap);
    if (io.release() >= Release::R2007) {
        io.BD("translucence", m.translucence);
        io.BD("self illumination", m.selfIllumination);
        io.BD("reflectivity", m.reflectivity);
        io.BL("illumination model", m.illuminationModel);
        io.BL("channel flags", m.channelFlags);
        io.BL("mode", m.mode);
    }
}

// SUN (ODA §20.4.119): the sun of a viewport or of the model space view.
struct SunObject {
    std::int32_t classVersion = 1;
    bool on = false;
    CmColor color;
    double intensity = 1.0;
    bool shadows = false;
    std::int32_t julianDay = 0;
    std::int32_t milliseconds = 0;  // the time of day
    bool daylightSaving = false;
    std::int32_t shadowType = 0;  // 0 ray traced, 1 shadow maps
    std::int16_t shadowMapSize = 0;
    std::uint8_t shadowSoftness = 0;
};

template <class Io>
void walk(Io& io, SunObject& s) {
    io.BL("class version", s.classVersion);
    io.B("on", s.on);
    io.CMC("color", s.color);
    io.BD("intensity", s.intensity);
    io.B("shadows", s.shadows);
    io.BL("julian day", s.julianDay);
    io.BL("milliseconds", s.milliseconds);
    io.B("daylight saving", s.daylightSaving);
    io.BL("shadow type", s.shadowType);
    io.BS("shadow map size", s.shadowMapSize);
    io.RC("shadow softness", s.shadowSoftness);
}

// What the detail and section view styles share (AcDbModelDocViewStyle).
struct ModelDocViewStyle {
    std::int16_t classVersion = 0;
    Text description;
    bool modifiedForRecompute = false;
    // 2018+.
    Text displayName;
    std::int32_t flags = 0;
};

template <class Io>
void walk(Io& io, ModelDocViewStyle& m) {
    io.BS("view style class version", m.classVersion);
    io.T("description", m.description);
    io.B("modified for recompute", m.modifiedForRecompute);
    if (io.release() >= Release::R2018) {
        io.T("display name", m.displayName);
        io.BL("view style flags", m.flags);
    }
}

// ACDBDETAILVIEWSTYLE (AcDbDetailViewStyle).
struct DetailViewStyleObject {
    ModelDocViewStyle viewStyle;
    std::int16_t classVersion = 0;
    std::int32_t flags = 0;
    HandleRef identifierTextStyle;
    CmColor identifierColor;
    double identifierHeight = 0.0;
    Text identifierExcludeCharacters;
    double identifierOffset = 0.0;
    std::uint8_t identifierPlacement = 0;
    HandleRef arrowSymbol;
    CmColor arrowColor;
    double arrowSize = 0.0;
    HandleRef boundaryLinetype;
    std::int32_t boundaryLineweight = 0;
    CmColor boundaryColor;
    HandleRef labelTextStyle;
    CmColor labelColor;
    double labelHeight = 0.0;
    std::int32_t labelAttachment = 0;
    double labelOffset = 0.0;
    std::int32_t labelAlignment = 0;
    Text labelPattern;
    HandleRef connectionLinetype;
    std::int32_t connectionLineweight = 0;
    CmColor connectionColor;
    HandleRef borderLinetype;
    std::int32_t borderLineweight = 0;
    CmColor borderColor;
    std::uint8_t modelEdge = 0;
};

template <class Io>
void walk(Io& io, DetailViewStyleObject& d) {
    walk(io, d.viewStyle);
    io.BS("class version", d.classVersion);
    io.BL("flags", d.flags);
    io.H("identifier text style", d.identifierTextStyle);
    io.CMC("identifier color", d.identifierColor);
    io.BD("identifier height", d.identifierHeight);
    io.T("identifier exclude characters", d.identifierExcludeCharacters);
    io.BD("identifier offset", d.identifierOffset);
    io.RC("identifier placement", d.identifierPlacement);
    io.H("arrow symbol", d.arrowSymbol);
    io.CMC("arrow color", d.arrowColor);
    io.BD("arrow size", d.arrowSize);
    io.H("boundary linetype", d.boundaryLinetype);
    io.BL("boundary lineweight", d.boundaryLineweight);
    io.CMC("boundary color", d.boundaryColor);
    io.H("label text style", d.labelTextStyle);
    io.CMC("label color", d.labelColor);
    io.BD("label height", d.labelHeight);
    io.BL("label attachment", d.labelAttachment);
    io.BD("label offset", d.labelOffset);
    io.BL("label alignment", d.labelAlignment);
    io.T("label pattern", d.labelPattern);
    io.H("connection linetype", d.connectionLinetype);
    io.BL("connection lineweight", d.connectionLineweight);
    io.CMC("connection color", d.connectionColor);
    io.H("border linetype", d.borderLinetype);
    io.BL("border lineweight", d.borderLineweight);
    io.CMC("border color", d.borderColor);
    io.RC("model edge", d.modelEdge);
}

// ACDBSECTIONVIEWSTYLE (AcDbSectionViewStyle).
struct SectionViewStyleObject {
    ModelDocViewStyle viewStyle;
    std::int16_t classVersion = 0;
    std::int32_t flags = 0;
    HandleRef identifierTextStyle;
    CmColor identifierColor;
    double identifierHeight = 0.0;
    HandleRef arrowStartSymbol, arrowEndSymbol;
    CmColor arrowColor;
    double arrowSize = 0.0;
    Text identifierExcludeCharacters;
    double arrowExtensionLength = 0.0;
    HandleRef planeLinetype;
    std::int32_t planeLineweight = 0;
    CmColor planeColor;
    HandleRef bendLinetype;
    std::int32_t bendLineweight = 0;
    CmColor bendColor;
    double bendLength = 0.0;
    double endLineLength = 0.0;
    HandleRef labelTextStyle;
    CmColor labelColor;
    double labelHeight = 0.0;
    std::int32_t labelAttachment = 0;
    double labelOffset = 0.0;
    std::int32_t labelAlignment = 0;
    Text labelPattern;
    CmColor hatchColor, hatchBackgroundColor;
    Text hatchPattern;
    double hatchScale = 1.0;
    std::int32_t hatchTransparency = 0;
    // Two flags (DXF 290) the DXF reference does not describe.
    bool unnamedFlag1 = false;
    bool unnamedFlag2 = false;
    std::int32_t identifierPosition = 0;
    double identifierOffset = 0.0;
    std::int32_t arrowPosition = 0;
    double endLineOvershoot = 0.0;
    std::vector<double> hatchAngles;
};

template <class Io>
void walk(Io& io, SectionViewStyleObject& s) {
    walk(io, s.viewStyle);
    io.BS("class version", s.classVersion);
    io.BL("flags", s.flags);
    io.H("identifier text style", s.identifierTextStyle);
    io.CMC("identifier color", s.identifierColor);
    io.BD("identifier height", s.identifierHeight);
    io.H("arrow start symbol", s.arrowStartSymbol);
    io.H("arrow end symbol", s.arrowEndSymbol);
    io.CMC("arrow color", s.arrowColor);
    io.BD("arrow size", s.arrowSize);
    io.T("identifier exclude characters", s.identifierExcludeCharacters);
    io.BD("arrow extension length", s.arrowExtensionLength);
    io.H("plane linetype", s.planeLinetype);
    io.BL("plane lineweight", s.planeLineweight);
    io.CMC("plane color", s.planeColor);
    io.H("bend linetype", s.bendLinetype);
    io.BL("bend lineweight", s.bendLineweight);
    io.CMC("bend color", s.bendColor);
    io.BD("bend length", s.bendLength);
    io.BD("end line length", s.endLineLength);
    io.H("label text style", s.labelTextStyle);
    io.CMC("label color", s.labelColor);
    io.BD("label height", s.labelHeight);
    io.BL("label attachment", s.labelAttachment);
    io.BD("label offset", s.labelOffset);
    io.BL("label alignment", s.labelAlignment);
    io.T("label pattern", s.labelPattern);
    io.CMC("hatch color", s.hatchColor);
    io.CMC("hatch background color", s.hatchBackgroundColor);
    io.T("hatch pattern", s.hatchPattern);
    io.BD("hatch scale", s.hatchScale);
    io.BL("hatch transparency", s.hatchTransparency);
    io.B("unnamed flag 1", s.unnamedFlag1);
    io.B("unnamed flag 2", s.unnamedFlag2);
    io.BL("identifier position", s.identifierPosition);
    io.BD("identifier offset", s.identifierOffset);
    io.BL("arrow position", s.arrowPosition);
    io.BD("end line overshoot", s.endLineOvershoot);
    std::size_t n = s.hatchAngles.size();
    io.count("hatch angles", CountCode::BL, n, 2);
    s.hatchAngles.resize(n);
    for (double& a : s.hatchAngles) io.BD("hatch angle", a);
}

// ACSH_HISTORY_CLASS (AcDbShHistory): the construction history of a solid.
// ODA §20.4.118 puts an expression and a history node first; the samples
// hold neither.
struct ShapeHistoryObject {
    std::int32_t majorVersion = 0;
    std::int32_t minorVersion = 0;
    HandleRef owner;  // the evaluation graph, hard owner
    std::int32_t nodeId = 0;
    bool showHistory = false;
    bool recordHistory = false;
};

template <class Io>
void walk(Io& io, ShapeHistoryObject& h) {
    io.BL("major version", h.majorVersion);
    io.BL("minor version", h.minorVersion);
    io.H("history owner", h.owner);
    io.BL("node id", h.nodeId);
    io.B("show history", h.showHistory);
    io.B("record history", h.recordHistory);
}

// What every association dependency holds (AcDbAssocDependency).
struct AssocDependency {
    std::int16_t classVersion = 2;
    std::int32_t status = 0;
    bool readDependency = false;
    bool writeDependency = false;
    bool attachedToObject = false;
    bool delegatingToOwningAction = false;
    std::int32_t order = 0;
    HandleRef dependentOn;
    bool hasName = false;
    Text name;
    HandleRef previousDependency;
    HandleRef nextDependency;
    HandleRef dependencyBody;
    std::int32_t dependencyBodyId = 0;
};

template <class Io>
void walk(Io& io, AssocDependency& d) {
    io.BS("dependency class version", d.classVersion);
    io.BL("status", d.status);
    io.B("read dependency", d.readDependency);
    io.B("write dependency", d.writeDependency);
    io.B("attached to object", d.attachedToObject);
    io.B("delegating to owning action", d.delegatingToOwningAction);
    io.BL("order", d.order);
    io.H("dependent on", d.dependentOn);
    io.B("has name", d.hasName);
    if (d.hasName)
        io.T("name", d.name);
    io.H("previous dependency", d.previousDependency);
    io.H("next dependency", d.nextDependency);
    io.H("dependency body", d.dependencyBody);
    io.BL("dependency body id", d.dependencyBodyId);
}

// ACDBASSOCDEPENDENCY.
struct AssocDependencyObject {
    AssocDependency dependency;
};

template <class Io>
void walk(Io& io, AssocDependencyObject& d) {
    walk(io, d.dependency);
}

// ACDBASSOCGEOMDEPENDENCY (AcDbAssocGeomDependency): a dependency on a
// subentity (a vertex, an edge) of an entity.
struct AssocGeomDependencyObject {
    AssocDependency dependency;
    std::int16_t classVersion = 0;
    bool enabled = true;
    Text subentityClass;  // AcDbAssocPersSubentId
    // The subentity id's own fields. AutoCAD writes them for
    // "AcDbAssocSimplePersSubentId"; the drawings saved by other programs
    // hold the class name and the last flag only.
    bool hasSubentityFields = false;
    std::int16_t subentityClassVersion = 0;
    // The samples hold -1003 and 3: a marker, then what looks like the
    // vertex subentity type.
    std::int32_t subentityIndex = 0;
    std::int32_t subentityType = 0;
    bool dependentOnCompoundObject = false;
    // 2013+: the class name is flagged, and a long (5 in the samples)
    // precedes the subentity fields.
    bool hasSubentityClass = false;
    std::int32_t subentityUnknown = 0;
};

template <class Io>
void walk(Io& io, AssocGeomDependencyObject& d) {
    walk(io, d.dependency);
    io.BS("class version", d.classVersion);
    io.B("enabled", d.enabled);
    if (io.release() >= Release::R2013) {
        // The class name only when flagged (AutoCAD leaves it out), and
        // the subentity fields always.
        io.B("has subentity class", d.hasSubentityClass);
        if (d.hasSubentityClass)
            io.T("subentity class", d.subentityClass);
        io.BL("subentity unknown", d.subentityUnknown);
        io.BS("subentity class version", d.subentityClassVersion);
        io.BL("subentity index", d.subentityIndex);
        io.BL("subentity type", d.subentityType);
        io.B("dependent on compound object", d.dependentOnCompoundObject);
        return;
    }
    io.T("subentity class", d.subentityClass);
    // Known only from what remains: more than the last flag.
    if constexpr (Io::reading)
        d.hasSubentityFields = io.data().bitsLeft() > 1;
    if (d.hasSubentityFields) {
        io.BS("subentity class version", d.subentityClassVersion);
        io.BL("subentity index", d.subentityIndex);
        io.BL("subentity type", d.subentityType);
    }
    io.B("dependent on compound object", d.dependentOnCompoundObject);
}

// A dependency or an action of an action or network, with whether it owns it.
struct AssocOwnedRef {
    bool owned = false;
    HandleRef ref;  // hard owner when owned, soft pointer otherwise
};

// What every association action holds (AcDbAssocAction).
struct AssocAction {
    std::int16_t classVersion = 1;
    std::int32_t geometryStatus = 0;
    HandleRef owningNetwork;
    HandleRef actionBody;
    std::int32_t actionIndex = 0;
    std::int32_t maxDependencyIndex = 0;
    std::vector<AssocOwnedRef> dependencies;
    // From class version 2 (2013) on the action adds owned parameters and
    // values; no sample has them: they are kept as bits.
    RawBits laterData, laterHandles;
};

template <class Io>
void walk(Io& io, AssocAction& a) {
    io.BS("action class version", a.classVersion);
    io.BL("geometry status", a.geometryStatus);
    io.H("owning network", a.owningNetwork);
    io.H("action body", a.actionBody);
    io.BL("action index", a.actionIndex);
    io.BL("max dependency index", a.maxDependencyIndex);
    std::size_t n = a.dependencies.size();
    io.count("dependencies", CountCode::BL, n, 9);
    a.dependencies.resize(n);
    for (AssocOwnedRef& d : a.dependencies) {
        io.B("owned", d.owned);
        io.H("dependency", d.ref);
    }
}

// ACDBASSOCACTION.
struct AssocActionObject {
    AssocAction action;
};

template <class Io>
void walk(Io& io, AssocActionObject& a) {
    walk(io, a.action);
    if (a.action.classVersion > 1) {
        io.restOfData("later data", a.action.laterData);
        io.restOfHandles("later handles", a.action.laterHandles);
    }
}

// ACDBASSOCNETWORK (AcDbAssocNetwork): an action made of actions.
struct AssocNetworkObject {
    AssocAction action;
    std::int16_t networkVersion = 0;
    std::int32_t networkActionIndex = 0;
    std::vector<AssocOwnedRef> actions;
    std::vector<HandleRef> ownedActions;
};

template <class Io>
void walk(Io& io, AssocNetworkObject& a) {
    walk(io, a.action);
    if (a.action.classVersion > 1) {
        io.restOfData("later data", a.action.laterData);
        io.restOfHandles("later handles", a.action.laterHandles);
        return;
    }
    io.BS("network version", a.networkVersion);
    io.BL("network action index", a.networkActionIndex);
    std::size_t n = a.actions.size();
    io.count("actions", CountCode::BL, n, 9);
    a.actions.resize(n);
    for (AssocOwnedRef& r : a.actions) {
        io.B("owned", r.owned);
        io.H("action", r.ref);
    }
    n = a.ownedActions.size();
    io.count("owned actions", CountCode::BL, n, 8);
    a.ownedActions.resize(n);
    for (HandleRef& h : a.ownedActions) io.H("owned action", h);
}

// ACAD_EVALUATION_GRAPH (AcDbEvalGraph): the nodes of a dynamic block's or
// a solid history's evaluation and the edges between them.
struct EvalGraphNode {
    std::int32_t id = 0;
    std::int32_t flags = 32;
    std::int32_t nextId = -1;
    HandleRef expression;  // hard owner
    std::int32_t data[4] = {-1, -1, -1, -1};
};

struct EvalGraphEdge {
    std::int32_t id = 0;
    std::int32_t nextId = -1;
    std::int32_t incoming[3] = {-1, -1, -1};
    std::int32_t outgoing[5] = {-1, -1, -1, -1, -1};
};

struct EvalGraphObject {
    std::int32_t firstNodeId = 0;
    std::int32_t lastNodeId = 0;
    std::vector<EvalGraphNode> nodes;
    std::vector<EvalGraphEdge> edges;
};

template <class Io>
void walk(Io& io, EvalGraphObject& g) {
    io.BL("first node id", g.firstNodeId);
    io.BL("last node id", g.lastNodeId);
    std::size_t n = g.nodes.size();
    io.count("nodes", CountCode::BL, n, 2 * 7 + 8);
    g.nodes.resize(n);
    for (EvalGraphNode& node : g.nodes) {
        io.BL("node id", node.id);
        io.BL("node flags", node.flags);
        io.BL("node next id", node.nextId);
        io.H("node expression", node.expression);
        for (std::int32_t& d : node.data) io.BL("node data", d);
    }
    n = g.edges.size();
    io.count("edges", CountCode::BL, n, 2 * 10);
    g.edges.resize(n);
    for (EvalGraphEdge& edge : g.edges) {
        io.BL("edge id", edge.id);
        io.BL("edge next id", edge.nextId);
        for (std::int32_t& e : edge.incoming) io.BL("edge incoming", e);
        for (std::int32_t& e : edge.outgoing) io.BL("edge outgoing", e);
    }
}

// ACDBASSOCALIGNEDDIMACTIONBODY: the body of the action that keeps an
// aligned dimension on the points it measures (before 2013: the action
// body and parameter based body fields, then its own; from 2013 on the
// annotation body's version and dependency instead).
struct AssocAlignedDimActionBodyObject {
    std::int16_t annotationBodyVersion = 0;  // 2013+
    std::int32_t actionBodyVersion = 1;
    std::int32_t paramBodyVersion = 0;
    std::int32_t paramBodyMinor = 0;
    std::vector<HandleRef> params;  // hard owners
    std::int32_t unknown = 0;
    std::int32_t valueCount = 0;  // only 0 seen: the values' layout is not known
    std::int32_t unknown2 = 0;
    HandleRef dependency;
    std::int32_t classVersion = 0;
    HandleRef node1, node2;
};

template <class Io>
void walk(Io& io, AssocAlignedDimActionBodyObject& b) {
    if (io.release() >= Release::R2013) {
        io.BS("annotation body version", b.annotationBodyVersion);
        io.H("dependency", b.dependency);
        io.BL("unknown 2", b.unknown2);
        io.BL("class version", b.classVersion);
        io.H("node 1", b.node1);
        io.H("node 2", b.node2);
        return;
    }
    io.BL("action body version", b.actionBodyVersion);
    io.BL("param body version", b.paramBodyVersion);
    io.BL("param body minor", b.paramBodyMinor);
    std::size_t n = b.params.size();
    io.count("params", CountCode::BL, n, 8);
    b.params.resize(n);
    for (HandleRef& h : b.params) io.H("param", h);
    io.BL("unknown", b.unknown);
    io.BL("value count", b.valueCount);
    if (b.valueCount != 0)
        throw FormatError("ACDBASSOCALIGNEDDIMACTIONBODY: values are not described");
    io.BL("unknown 2", b.unknown2);
    io.H("dependency", b.dependency);
    io.BL("class version", b.classVersion);
    io.H("node 1", b.node1);
    io.H("node 2", b.node2);
}

// What every action parameter holds (AcDbAssocActionParam).
struct AssocActionParam {
    std::int16_t version = 0;  // 1 from 2013 on
    std::int32_t classVersion = 0;  // 2013+
    Text name;
};

template <class Io>
void walk(Io& io, AssocActionParam& p) {
    io.BS("param version", p.version);
    if (io.release() >= Release::R2013)
        io.BL("param class version", p.classVersion);
    io.T("param name", p.name);
}

// ACDBASSOCOSNAPPOINTREFACTIONPARAM: a point by an object snap mode on
// the parameters it holds (AcDbAssocCompoundActionParam).
struct AssocOsnapPointRefActionParamObject {
    AssocActionParam param;
    std::int16_t classVersion = 0;
    std::int16_t unknown = 0;
    std::vector<HandleRef> params;  // hard owners
    // AutoCAD writes a child parameter here; drawings rewritten by another
    // program lack it, its two fields and its handle.
    bool hasChild = true;
    std::int16_t childStatus = 0;
    std::int32_t childId = 0;
    HandleRef child;
    std::int16_t status = 0;
    std::uint8_t osnapMode = 0;
    double parameter = 0.0;
};

template <class Io>
void walk(Io& io, AssocOsnapPointRefActionParamObject& p) {
    walk(io, p.param);
    io.BS("class version", p.classVersion);
    io.BS("unknown", p.unknown);
    std::size_t n = p.params.size();
    io.count("params", CountCode::BL, n, 8);
    p.params.resize(n);
    for (HandleRef& h : p.params) io.H("param", h);
    // Known only from the handles that remain.
    if constexpr (Io::reading)
        p.hasChild = io.handles().bitsLeft() >= 8;
    if (p.hasChild) {
        io.BS("child status", p.childStatus);
        io.BL("child id", p.childId);
        io.H("child", p.child);
    }
    io.BS("status", p.status);
    io.RC("osnap mode", p.osnapMode);
    io.BD("parameter", p.parameter);
}

// ACDBASSOCVERTEXACTIONPARAM: a vertex through one dependency
// (AcDbAssocSingleDependencyActionParam).
struct AssocVertexActionParamObject {
    AssocActionParam param;
    std::int32_t dependencyParamVersion = 0;
    HandleRef dependency;
    std::int32_t classVersion = 0;
    Point3 point;
};

template <class Io>
void walk(Io& io, AssocVertexActionParamObject& p) {
    walk(io, p.param);
    io.BL("dependency param version", p.dependencyParamVersion);
    io.H("dependency", p.dependency);
    io.BL("class version", p.classVersion);
    io.BD3("point", p.point);
}

// ACDBPERSSUBENTMANAGER (AcDbPersSubentManager): the counters of the
// persistent subentity ids of the drawing's solids.
struct PersSubentManagerObject {
    std::int32_t classVersion = 2;
    std::int32_t unknown1 = 0;
    std::int32_t unknown2 = 2;
    std::int32_t nextStepId = 0;
    std::int32_t nextSubentId = 0;
    std::vector<std::int32_t> steps;
};

template <class Io>
void walk(Io& io, PersSubentManagerObject& m) {
    io.BL("class version", m.classVersion);
    io.BL("unknown 1", m.unknown1);
    io.BL("unknown 2", m.unknown2);
    io.BL("next step id", m.nextStepId);
    io.BL("next subentity id", m.nextSubentId);
    std::size_t n = m.steps.size();
    io.count("steps", CountCode::BL, n, 2);
    m.steps.resize(n);
    for (std::int32_t& s : m.steps) io.BL("step", s);
}

// An evaluation graph node's expression (AcDbEvalExpr, ODA §20.4.105).
struct EvalExpr {
    std::int32_t parentId = -1;
    std::int32_t majorVersion = 33;
    std::int32_t minorVersion = 29;
    std::int16_t valueCode = -9999;  // the DXF code of the value; -9999 none
    double real = 0.0;
    Point2 point2;
    Point3 point3;
    Text text;
    std::int32_t longValue = 0;
    HandleRef handle;
    std::int16_t shortValue = 0;
    std::int32_t nodeId = 0;
};

template <class Io>
void walk(Io& io, EvalExpr& e) {
    io.BL("parent id", e.parentId);
    io.BL("expression major version", e.majorVersion);
    io.BL("expression minor version", e.minorVersion);
    io.BS("value code", e.valueCode);
    switch (e.valueCode) {
    case 40: io.BD("value", e.real); break;
    case 10: io.RD2("value", e.point2); break;
    case 11: io.RD3("value", e.point3); break;
    case 1: io.T("value", e.text); break;
    case 90: io.BL("value", e.longValue); break;
    case 91: io.H("value", e.handle); break;
    // No sample holds it; ODA §20.4.105 gives BL, the name a short.
    case 70: io.BS("value", e.shortValue); break;
    default: break;
    }
    io.BL("node id", e.nodeId);
}

// A step of a solid's construction history (AcDbShHistoryNode, ODA
// §20.4.106).
struct ShHistoryNode {
    std::int32_t majorVersion = 33;
    std::int32_t minorVersion = 29;
    double transform[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    CmColor color;
    std::int32_t stepId = 0;
    HandleRef material;
};

template <class Io>
void walk(Io& io, ShHistoryNode& h) {
    io.BL("history major version", h.majorVersion);
    io.BL("history minor version", h.minorVersion);
    for (double& d : h.transform) io.BD("history transform", d);
    io.CMC("history color", h.color);
    io.BL("step id", h.stepId);
    io.H("material", h.material);
}

// A profile or path of a sweep: an id and the entity's geometry, whose
// size is stored in bits.
struct SweepEntity {
    std::int32_t id = 0;
    RawBits geometry;
};

template <class Io>
void walk(Io& io, SweepEntity& e) {
    io.BL("entity id", e.id);
    std::uint32_t bits = static_cast<std::uint32_t>(e.geometry.bitCount);
    io.BL("entity size in bits", bits);
    io.raw("entity geometry", e.geometry, bits);
}

// ACSH_SWEEP_CLASS (AcDbShSweep): a solid's sweep step. The DXF reference's
// swept surface names the fields; the drawing stores the options (the flags
// with the twist vector among them) before the two matrices, and the
// entities last, unlike DXF.
struct ShapeSweepObject {
    EvalExpr expression;
    ShHistoryNode history;
    std::int32_t majorVersion = 33;
    std::int32_t minorVersion = 29;
    Point3 direction;
    double draftAngle = 0.0;
    double startDraftDistance = 0.0;
    double endDraftDistance = 0.0;
    double twistAngle = 0.0;
    double scaleFactor = 1.0;
    double alignAngle = 0.0;
    bool solid = true;
    std::int16_t alignment = 0;  // 0 none, 1 align to the path, 2 move the profile to the path, 3 the path to the profile
    std::int16_t miter = 0;
    bool alignStart = false;
    bool bank = false;
    bool basePointSet = false;
    Point3 twistReference;
    bool sweepTransformComputed = false;
    bool pathTransformComputed = false;
    double sweepTransform[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double pathTransform[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    SweepEntity sweepEntity;
    SweepEntity pathEntity;
};

template <class Io>
void walk(Io& io, ShapeSweepObject& s) {
    walk(io, s.expression);
    walk(io, s.history);
    io.BL("major version", s.majorVersion);
    io.BL("minor version", s.minorVersion);
    io.BD3("direction", s.direction);
    io.BD("draft angle", s.draftAngle);
    io.BD("start draft distance", s.startDraftDistance);
    io.BD("end draft distance", s.endDraftDistance);
    io.BD("twist angle", s.twistAngle);
    io.BD("scale factor", s.scaleFactor);
    io.BD("align angle", s.alignAngle);
    io.B("solid", s.solid);
    io.BS("alignment", s.alignment);
    io.BS("miter", s.miter);
    io.B("align start", s.alignStart);
    io.B("bank", s.bank);
    io.B("base point set", s.basePointSet);
    io.BD3("twist reference", s.twistReference);
    io.B("sweep transform computed", s.sweepTransformComputed);
    io.B("path transform computed", s.pathTransformComputed);
    for (double& d : s.sweepTransform) io.BD("sweep transform", d);
    for (double& d : s.pathTransform) io.BD("path transform", d);
    walk(io, s.sweepEntity);
    walk(io, s.pathEntity);
}

// ACDBASSOCPERSSUBENTMANAGER (AcDbAssocPersSubentManager): the persistent
// subentity ids of the association framework. AutoCAD writes a run of BL
// values ending in one flag (its DXF lists them all as code 90 and the flag
// as 290); how the values group into steps and subentities is not known,
// so the run is kept as it is, its length known only from where the data ends.
struct AssocPersSubentManagerObject {
    std::int32_t classVersion = 1;
    std::vector<std::int32_t> values;
    bool flag = false;
};

template <class Io>
void walk(Io& io, AssocPersSubentManagerObject& m) {
    io.BL("class version", m.classVersion);
    if constexpr (Io::reading) {
        m.values.clear();
        while (io.data().bitsLeft() > 1) {
            std::int32_t v = 0;
            io.BL("value", v);
            m.values.push_back(v);
        }
    } else {
        for (std::int32_t& v : m.values) io.BL("value", v);
    }
    io.B("flag", m.flag);
}

}  // namespace dwg
