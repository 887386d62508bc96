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

}  // namespace dwg
