#pragma once
// The table records, table controls and dictionary objects a drawing needs
// beyond text styles and block definitions: LAYER (ODA §20.4.54), LTYPE
// (§20.4.58), APPID (§20.4.66), DIMSTYLE (§20.4.68), VPORT (§20.4.64), the
// table controls (§20.4.51-69), DICTIONARY and DICTIONARYWDFLT (§20.4.44-45),
// MLINESTYLE (§20.4.73), LAYOUT (§20.4.84) and PLACEHOLDER (no fields of its
// own). Releases 2000 and 2004; others throw UnsupportedRelease.
//
// Each kind has a decode/encode pair. A decoder takes `in` at header.bodyAt,
// reads the type's own fields, checks that they end exactly at
// header.handlesAt, then reads the common and the type's own handles. An
// encoder writes the type's own fields to `data` and the type's own handles
// (those after the common ones) to `handles`, so that a new object can be
// put together by ObjectWriter. Handles are written as absolute references
// with the codes AutoCAD uses for each (2 soft owner, 3 hard owner, 4 soft
// pointer, 5 hard pointer).

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dwg/objects/header_variables.h"
#include "dwg/objects/object_header.h"

namespace dwg {

// Fixed object types (ODA §20.3) that object_header.h does not list.
namespace type {
inline constexpr std::uint16_t Vport = 65, MlineStyle = 73;
}  // namespace type

// The fields every table record starts with.
struct TableEntry {
    std::string name;  // bytes in the drawing's code page
    bool flag64 = false;               // bit 64 of DXF 70: referenced by an entity when last saved
    std::int16_t xrefIndexPlus1 = 0;   // 0: not from an xref
    bool xrefDependent = false;
};

// A table control of any table. BLOCK CONTROL keeps model and paper space
// out of its entries and the count; LTYPE CONTROL keeps ByBlock and ByLayer
// out of its count but lists them (as hard owners) after the entries;
// DIMSTYLE CONTROL (2000+) adds an RC count and that many hard pointers.
struct ControlObject {
    ObjectHeader header;
    CommonHandles handles;
    std::vector<std::uint64_t> entries;  // soft owners
    // BLOCK: model space, paper space; LTYPE: ByBlock, ByLayer; DIMSTYLE: the RC-counted handles.
    std::vector<std::uint64_t> extra;
    std::uint64_t handlesEnd = 0;
};
ControlObject decodeControl(BitReader& in, const ObjectHeader& header);
void encodeControl(BitWriter& data, BitWriter& handles, std::uint16_t controlType, const ControlObject& control);

struct LayerObject {
    ObjectHeader header;
    CommonHandles handles;
    TableEntry entry;
    // Frozen 1, off 2, frozen in new viewports 4, locked 8, plotted 16, and
    // the lineweight index shifted left by 5 (31 = default).
    std::int16_t flags = 0;
    CmColor color;
    std::uint64_t xrefBlock = 0;
    std::uint64_t plotStyle = 0;  // the PLACEHOLDER "Normal" in AutoCAD's drawings
    std::uint64_t linetype = 0;
    std::uint64_t handlesEnd = 0;
};
LayerObject decodeLayer(BitReader& in, const ObjectHeader& header);
void encodeLayer(BitWriter& data, BitWriter& handles, const LayerObject& layer);

struct LinetypeObject {
    struct Dash {
        double length = 0.0;
        std::int16_t shapeCode = 0;
        Point2 offset;
        double scale = 1.0;
        double rotation = 0.0;
        std::int16_t shapeFlags = 0;
        std::uint64_t shapeFile = 0;
    };
    ObjectHeader header;
    CommonHandles handles;
    TableEntry entry;
    std::string description;
    double patternLength = 0.0;
    std::uint8_t alignment = 'A';
    std::vector<Dash> dashes;
    // The 256 bytes of strings that dashes with text point into.
    std::vector<std::uint8_t> textArea = std::vector<std::uint8_t>(256);
    std::uint64_t xrefBlock = 0;
    std::uint64_t handlesEnd = 0;
};
LinetypeObject decodeLinetype(BitReader& in, const ObjectHeader& header);
void encodeLinetype(BitWriter& data, BitWriter& handles, const LinetypeObject& linetype);

struct AppIdObject {
    ObjectHeader header;
    CommonHandles handles;
    TableEntry entry;
    std::uint8_t unknown = 0;  // DXF 71, 0 in AutoCAD's drawings
    std::uint64_t xrefBlock = 0;
    std::uint64_t handlesEnd = 0;
};
AppIdObject decodeAppId(BitReader& in, const ObjectHeader& header);
void encodeAppId(BitWriter& data, BitWriter& handles, const AppIdObject& appId);

// DIMSTYLE: some seventy variables in a fixed order. They share names,
// codes and meanings with the header variables of the same name (DIMSCALE,
// DIMTXT...), so they are kept as HeaderValue in stream order.
struct DimStyleObject {
    ObjectHeader header;
    CommonHandles handles;
    TableEntry entry;
    std::vector<std::pair<std::string_view, HeaderValue>> values;  // every variable of the release, in stream order
    bool flag1 = false;  // bit 1 of DXF 70
    std::uint64_t xrefBlock = 0;
    std::uint64_t textStyle = 0;  // DIMTXSTY
    // DIMLDRBLK, DIMBLK, DIMBLK1, DIMBLK2: block records, null for the default arrow.
    std::uint64_t leaderBlock = 0, arrowBlock = 0, arrowBlock1 = 0, arrowBlock2 = 0;
    std::uint64_t handlesEnd = 0;

    // std::out_of_range naming the variable if the release has no such one.
    const HeaderValue& get(std::string_view name) const;
};
// The variables of a DIMSTYLE of `release` in stream order, with their codes.
std::vector<std::pair<std::string_view, HeaderCode>> dimStyleVariables(Release release);
// A DIMSTYLE whose variables take the values of the header variables of the same names.
DimStyleObject dimStyleFromHeader(const HeaderVariables& header);
DimStyleObject decodeDimStyle(BitReader& in, const ObjectHeader& header);
void encodeDimStyle(BitWriter& data, BitWriter& handles, const DimStyleObject& dimStyle);

struct VportObject {
    ObjectHeader header;
    CommonHandles handles;
    TableEntry entry;
    double viewHeight = 0.0;
    double aspectRatio = 0.0;  // as stored: the width / height ratio times the view height
    Point2 viewCenter;
    Point3 viewTarget;
    Point3 viewDirection{0.0, 0.0, 1.0};
    double viewTwist = 0.0;
    double lensLength = 50.0;
    double frontClip = 0.0;
    double backClip = 0.0;
    std::uint8_t viewMode = 0;  // 4 bits: DXF 71 bits 0, 1, 2 and the opposite of bit 4
    std::uint8_t renderMode = 0;
    Point2 lowerLeft;
    Point2 upperRight{1.0, 1.0};
    bool ucsFollow = false;
    std::int16_t circleZoom = 1000;
    bool fastZoom = true;
    std::uint8_t ucsIcon = 0;  // 2 bits
    bool gridOn = false;
    Point2 gridSpacing;
    bool snapOn = false;
    bool snapStyle = false;
    std::int16_t snapIsopair = 0;
    double snapRotation = 0.0;
    Point2 snapBase;
    Point2 snapSpacing;
    bool unknown = false;
    bool ucsPerViewport = true;
    Point3 ucsOrigin;
    Point3 ucsXAxis{1.0, 0.0, 0.0};
    Point3 ucsYAxis{0.0, 1.0, 0.0};
    double ucsElevation = 0.0;
    std::int16_t ucsOrthoType = 0;
    std::uint64_t xrefBlock = 0;
    std::uint64_t namedUcs = 0, baseUcs = 0;
    std::uint64_t handlesEnd = 0;
};
VportObject decodeVport(BitReader& in, const ObjectHeader& header);
void encodeVport(BitWriter& data, BitWriter& handles, const VportObject& vport);

// DICTIONARY and DICTIONARYWDFLT (whose type is a class, so the caller says which).
struct DictionaryObject {
    ObjectHeader header;
    CommonHandles handles;
    std::int16_t cloning = 1;         // DXF 281: 1 = keep existing
    std::uint8_t hardOwner = 0;       // DXF 280
    std::vector<std::pair<std::string, std::uint64_t>> entries;  // name, soft owner
    bool withDefault = false;
    std::uint64_t defaultEntry = 0;   // DICTIONARYWDFLT
    std::uint64_t handlesEnd = 0;
};
DictionaryObject decodeDictionary(BitReader& in, const ObjectHeader& header, bool withDefault);
void encodeDictionary(BitWriter& data, BitWriter& handles, const DictionaryObject& dictionary);

struct MlineStyleObject {
    struct Line {
        double offset = 0.0;
        CmColor color;
        std::int16_t linetypeIndex = 0;
    };
    ObjectHeader header;
    CommonHandles handles;
    std::string name;
    std::string description;
    std::int16_t flags = 0;
    CmColor fillColor;
    double startAngle = 0.0;
    double endAngle = 0.0;
    std::vector<Line> lines;
    std::uint64_t handlesEnd = 0;
};
MlineStyleObject decodeMlineStyle(BitReader& in, const ObjectHeader& header);
void encodeMlineStyle(BitWriter& data, BitWriter& handles, const MlineStyleObject& style);

struct LayoutObject {
    ObjectHeader header;
    CommonHandles handles;
    // Plot settings
    std::string pageSetupName;
    std::string printerConfig;
    std::int16_t plotFlags = 0;
    double leftMargin = 0.0, bottomMargin = 0.0, rightMargin = 0.0, topMargin = 0.0;
    double paperWidth = 0.0, paperHeight = 0.0;
    std::string paperSize;
    Point2 plotOrigin;
    std::int16_t paperUnits = 0, plotRotation = 0, plotType = 0;
    Point2 windowMin, windowMax;
    std::string plotViewName;  // 2000 only
    double realWorldUnits = 1.0, drawingUnits = 1.0;
    std::string styleSheet;
    std::int16_t scaleType = 0;
    double scaleFactor = 1.0;
    Point2 paperImageOrigin;
    std::int16_t shadePlotMode = 0, shadePlotResolution = 0, shadePlotDpi = 0;  // 2004+
    // Layout
    std::string name;
    std::int32_t tabOrder = 0;
    std::int16_t flags = 0;
    Point3 ucsOrigin;
    Point2 limMin, limMax;
    Point3 insertionBase;
    Point3 ucsXAxis{1.0, 0.0, 0.0};
    Point3 ucsYAxis{0.0, 1.0, 0.0};
    double elevation = 0.0;
    std::int16_t orthoViewType = 0;
    Point3 extMin, extMax;
    std::uint64_t plotView = 0;  // 2004+
    std::uint64_t block = 0;     // the block record of its space
    std::uint64_t lastActiveViewport = 0;
    std::uint64_t baseUcs = 0, namedUcs = 0;
    std::vector<std::uint64_t> viewports;  // 2004+
    std::uint64_t handlesEnd = 0;
};
LayoutObject decodeLayout(BitReader& in, const ObjectHeader& header);
void encodeLayout(BitWriter& data, BitWriter& handles, const LayoutObject& layout);

// Objects without fields or handles of their own (PLACEHOLDER, and the
// entities ENDBLK and SEQEND): checks that the handles start right away and
// reads the common ones.
CommonHandles decodeEmpty(BitReader& in, const ObjectHeader& header, const char* what);

}  // namespace dwg
