#pragma once
// The rendering and modelling objects AutoCAD 2007 and later put into every
// drawing, also written into R13-2004 files saved by those releases: visual
// styles, materials, the sun, the model documentation view styles, and the
// association network with its actions, dependencies and parameters.
// None of them has a section of its own in ODA §20.4 before SUN (§20.4.119);
// the field layouts follow what the sample drawings hold, and the DXF
// reference names the fields.

#include <cstdint>
#include <string>
#include <vector>

#include "dwg/objects/object.h"

namespace dwg {

// VISUALSTYLE (AcDbVisualStyle): how faces, edges and the display look in
// one of the named styles ("2dWireframe", "Realistic", ...). Before 2010
// every property is stored once; 2010 adds an "internal use" short after
// each, which no sample here holds.
struct VisualStyleObject {
    std::string description;
    std::int32_t type = 0;  // which of the predefined styles
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
    std::int16_t edgeWidth = 0;
    std::int16_t edgeOverhang = 0;
    std::int32_t edgeJitter = 0;
    CmColor edgeSilhouetteColor;
    std::int16_t edgeSilhouetteWidth = 0;
    std::uint8_t edgeHaloGap = 0;
    std::int16_t edgeIsolines = 0;
    bool edgeHidePrecision = false;
    std::int16_t edgeStyleApply = 0;
    std::int16_t edgeIntersectionLinetype = 0;
    std::int32_t displaySettings = 0;
    std::int32_t displayBrightness = 0;
    std::int32_t displayShadowType = 0;
    bool internalOnly = false;
};

template <class Io>
void walk(Io& io, VisualStyleObject& v) {
    io.T("description", v.description);
    io.BL("type", v.type);
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
    io.BS("edge width", v.edgeWidth);
    io.BS("edge overhang", v.edgeOverhang);
    io.BL("edge jitter", v.edgeJitter);
    io.CMC("edge silhouette color", v.edgeSilhouetteColor);
    io.BS("edge silhouette width", v.edgeSilhouetteWidth);
    io.RC("edge halo gap", v.edgeHaloGap);
    io.BS("edge isolines", v.edgeIsolines);
    io.B("edge hide precision", v.edgeHidePrecision);
    io.BS("edge style apply", v.edgeStyleApply);
    io.BS("edge intersection linetype", v.edgeIntersectionLinetype);
    io.BL("display settings", v.displaySettings);
    io.BL("display brightness", v.displayBrightness);
    io.BL("display shadow type", v.displayShadowType);
    io.B("internal only", v.internalOnly);
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
    std::string textValue;
    std::vector<Named> table;
    bool tableEnd = false;
};
struct MaterialTexture::Named {
    std::string name;
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
    std::string fileName;
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
    std::string name;
    std::string description;
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

}  // namespace dwg
