#include "dwg/objects/header_variables.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

#include "dwg/bits/bit_reader.h"
#include "dwg/bits/bit_writer.h"
#include "dwg/errors.h"
#include "dwg/objects/string_stream.h"
#include "support/code_pages.h"

namespace dwg {

namespace {

constexpr ReleaseMask kAll = 0xFF;
constexpr ReleaseMask since(Release release) noexcept {
    return static_cast<ReleaseMask>(kAll & ~(releaseBit(release) - 1U));
}
constexpr ReleaseMask until(Release release) noexcept {
    return static_cast<ReleaseMask>(releaseBit(release) | (releaseBit(release) - 1U));
}
constexpr ReleaseMask kR13R14 = until(Release::R14);
constexpr ReleaseMask kR13To2000 = until(Release::R2000);
constexpr ReleaseMask kR2000Plus = since(Release::R2000);
constexpr ReleaseMask kR2004Plus = since(Release::R2004);
constexpr ReleaseMask kR2007Plus = since(Release::R2007);
constexpr ReleaseMask kR2010Plus = since(Release::R2010);
constexpr ReleaseMask kR2013Plus = since(Release::R2013);

using C = HeaderCode;

// ODA §9 with its errata, checked against drawings of every release from
// R13 to 2004 (each decodes up to its padding, matches its DXF twin, and
// comes back bit for bit when every value is written afresh) and the R14
// dump that ends the document's chapter. Where the document and the drawings
// disagree, the drawings win; the comments say where.
constexpr std::array kTable = std::to_array<HeaderVariableInfo>({
    // The document has only 2007 store a size in bits first, but every
    // 2010-2018 drawing has it too: the bits from its own start to the
    // handle stream (data and strings). 2013+ then REQUIREDVERSIONS.
    {"SIZE_IN_BITS", C::RL, kR2007Plus},
    {"REQUIREDVERSIONS", C::BLL, kR2013Plus},
    // Unit conversion factors and names, always 412148564080.0, 1.0, 1.0,
    // 1.0 and "m", "", "", "" in AutoCAD's drawings; 2007+ keep the names in
    // the string stream.
    {"UNKNOWN_1", C::BD, kAll},
    {"UNKNOWN_2", C::BD, kAll},
    {"UNKNOWN_3", C::BD, kAll},
    {"UNKNOWN_4", C::BD, kAll},
    {"UNKNOWN_5", C::TV, kAll},
    {"UNKNOWN_6", C::TV, kAll},
    {"UNKNOWN_7", C::TV, kAll},
    {"UNKNOWN_8", C::TV, kAll},
    {"UNKNOWN_9", C::BL, kAll},
    {"UNKNOWN_10", C::BL, kAll},
    {"UNKNOWN_11", C::BS, kR13R14},
    // "Pre-2004 only" in the document: R13 to 2000.
    {"CURRENT_VIEWPORT_ENTITY_HEADER", C::H, kR13To2000, 5},
    {"DIMASO", C::B, kAll},
    {"DIMSHO", C::B, kAll},
    {"DIMSAV", C::B, kR13R14},
    {"PLINEGEN", C::B, kAll},
    {"ORTHOMODE", C::B, kAll},
    {"REGENMODE", C::B, kAll},
    {"FILLMODE", C::B, kAll},
    {"QTEXTMODE", C::B, kAll},
    {"PSLTSCALE", C::B, kAll},
    {"LIMCHECK", C::B, kAll},
    {"BLIPMODE", C::B, kR13R14},
    {"UNKNOWN_12", C::B, kR2004Plus},
    {"USRTIMER", C::B, kAll},
    {"SKPOLY", C::B, kAll},
    {"ANGDIR", C::B, kAll},
    {"SPLFRAME", C::B, kAll},
    {"ATTREQ", C::B, kR13R14},
    {"ATTDIA", C::B, kR13R14},
    {"MIRRTEXT", C::B, kAll},
    {"WORLDVIEW", C::B, kAll},
    {"WIREFRAME", C::B, kR13R14},
    {"TILEMODE", C::B, kAll},
    {"PLIMCHECK", C::B, kAll},
    {"VISRETAIN", C::B, kAll},
    {"DELOBJ", C::B, kR13R14},
    {"DISPSILH", C::B, kAll},
    {"PELLIPSE", C::B, kAll},
    {"PROXYGRAPHICS", C::BS, kAll},
    {"DRAGMODE", C::BS, kR13R14},
    {"TREEDEPTH", C::BS, kAll},
    {"LUNITS", C::BS, kAll},
    {"LUPREC", C::BS, kAll},
    {"AUNITS", C::BS, kAll},
    {"AUPREC", C::BS, kAll},
    {"OSMODE", C::BS, kR13R14},
    {"ATTMODE", C::BS, kAll},
    {"COORDS", C::BS, kR13R14},
    {"PDMODE", C::BS, kAll},
    {"PICKSTYLE", C::BS, kR13R14},
    {"UNKNOWN_13", C::BL, kR2004Plus},
    {"UNKNOWN_14", C::BL, kR2004Plus},
    {"UNKNOWN_15", C::BL, kR2004Plus},
    {"USERI1", C::BS, kAll},
    {"USERI2", C::BS, kAll},
    {"USERI3", C::BS, kAll},
    {"USERI4", C::BS, kAll},
    {"USERI5", C::BS, kAll},
    {"SPLINESEGS", C::BS, kAll},
    {"SURFU", C::BS, kAll},
    {"SURFV", C::BS, kAll},
    {"SURFTYPE", C::BS, kAll},
    {"SURFTAB1", C::BS, kAll},
    {"SURFTAB2", C::BS, kAll},
    {"SPLINETYPE", C::BS, kAll},
    {"SHADEDGE", C::BS, kAll},
    {"SHADEDIF", C::BS, kAll},
    {"UNITMODE", C::BS, kAll},
    {"MAXACTVP", C::BS, kAll},
    {"ISOLINES", C::BS, kAll},
    {"CMLJUST", C::BS, kAll},
    {"TEXTQLTY", C::BS, kAll},
    {"LTSCALE", C::BD, kAll},
    {"TEXTSIZE", C::BD, kAll},
    {"TRACEWID", C::BD, kAll},
    {"SKETCHINC", C::BD, kAll},
    {"FILLETRAD", C::BD, kAll},
    {"THICKNESS", C::BD, kAll},
    {"ANGBASE", C::BD, kAll},
    {"PDSIZE", C::BD, kAll},
    {"PLINEWID", C::BD, kAll},
    {"USERR1", C::BD, kAll},
    {"USERR2", C::BD, kAll},
    {"USERR3", C::BD, kAll},
    {"USERR4", C::BD, kAll},
    {"USERR5", C::BD, kAll},
    {"CHAMFERA", C::BD, kAll},
    {"CHAMFERB", C::BD, kAll},
    {"CHAMFERC", C::BD, kAll},
    {"CHAMFERD", C::BD, kAll},
    {"FACETRES", C::BD, kAll},
    {"CMLSCALE", C::BD, kAll},
    {"CELTSCALE", C::BD, kAll},
    // MENUNAME in the document, "R13-R2004" in its errata, but the 2007-2018
    // drawings have it too (in the string stream, as LibreDWG reads it).
    {"MENU", C::TV, kAll},
    // Creation and last save. From 2000 on AutoCAD stores universal time
    // here, the values DXF writes as TDUCREATE and TDUUPDATE (it derives the
    // local TDCREATE and TDUPDATE). R14 drawings hold local time, so R13-R14
    // keep the document's names (though example_r13.dwg holds universal).
    {"TDCREATE", C::TimeBL, kR13R14},
    {"TDUCREATE", C::TimeBL, kR2000Plus},
    {"TDUPDATE", C::TimeBL, kR13R14},
    {"TDUUPDATE", C::TimeBL, kR2000Plus},
    {"UNKNOWN_16", C::BL, kR2004Plus},
    {"UNKNOWN_17", C::BL, kR2004Plus},
    {"UNKNOWN_18", C::BL, kR2004Plus},
    {"TDINDWG", C::TimeBL, kAll},
    {"TDUSRTIMER", C::TimeBL, kAll},
    {"CECOLOR", C::CMC, kAll},
    // The next free handle: code 0 and the handle's bytes, in the data stream.
    {"HANDSEED", C::H, kAll, 0},
    {"CLAYER", C::H, kAll, 5},
    {"TEXTSTYLE", C::H, kAll, 5},
    {"CELTYPE", C::H, kAll, 5},
    {"CMATERIAL", C::H, kR2007Plus, 5},
    {"DIMSTYLE", C::H, kAll, 5},
    {"CMLSTYLE", C::H, kAll, 5},
    {"PSVPSCALE", C::BD, kR2000Plus},
    {"PINSBASE", C::BD3, kAll},
    {"PEXTMIN", C::BD3, kAll},
    {"PEXTMAX", C::BD3, kAll},
    {"PLIMMIN", C::RD2, kAll},
    {"PLIMMAX", C::RD2, kAll},
    {"PELEVATION", C::BD, kAll},
    {"PUCSORG", C::BD3, kAll},
    {"PUCSXDIR", C::BD3, kAll},
    {"PUCSYDIR", C::BD3, kAll},
    {"PUCSNAME", C::H, kAll, 5},
    {"PUCSORTHOREF", C::H, kR2000Plus, 5},
    {"PUCSORTHOVIEW", C::BS, kR2000Plus},
    {"PUCSBASE", C::H, kR2000Plus, 5},
    {"PUCSORGTOP", C::BD3, kR2000Plus},
    {"PUCSORGBOTTOM", C::BD3, kR2000Plus},
    {"PUCSORGLEFT", C::BD3, kR2000Plus},
    {"PUCSORGRIGHT", C::BD3, kR2000Plus},
    {"PUCSORGFRONT", C::BD3, kR2000Plus},
    {"PUCSORGBACK", C::BD3, kR2000Plus},
    {"INSBASE", C::BD3, kAll},
    {"EXTMIN", C::BD3, kAll},
    {"EXTMAX", C::BD3, kAll},
    {"LIMMIN", C::RD2, kAll},
    {"LIMMAX", C::RD2, kAll},
    {"ELEVATION", C::BD, kAll},
    {"UCSORG", C::BD3, kAll},
    {"UCSXDIR", C::BD3, kAll},
    {"UCSYDIR", C::BD3, kAll},
    {"UCSNAME", C::H, kAll, 5},
    {"UCSORTHOREF", C::H, kR2000Plus, 5},
    {"UCSORTHOVIEW", C::BS, kR2000Plus},
    {"UCSBASE", C::H, kR2000Plus, 5},
    {"UCSORGTOP", C::BD3, kR2000Plus},
    {"UCSORGBOTTOM", C::BD3, kR2000Plus},
    {"UCSORGLEFT", C::BD3, kR2000Plus},
    {"UCSORGRIGHT", C::BD3, kR2000Plus},
    {"UCSORGFRONT", C::BD3, kR2000Plus},
    {"UCSORGBACK", C::BD3, kR2000Plus},
    {"DIMPOST", C::TV, kR2000Plus},
    {"DIMAPOST", C::TV, kR2000Plus},
    // R13-R14 keep the dimension flags and small numbers as B and RC here.
    {"DIMTOL", C::B, kR13R14},
    {"DIMLIM", C::B, kR13R14},
    {"DIMTIH", C::B, kR13R14},
    {"DIMTOH", C::B, kR13R14},
    {"DIMSE1", C::B, kR13R14},
    {"DIMSE2", C::B, kR13R14},
    {"DIMALT", C::B, kR13R14},
    {"DIMTOFL", C::B, kR13R14},
    {"DIMSAH", C::B, kR13R14},
    {"DIMTIX", C::B, kR13R14},
    {"DIMSOXD", C::B, kR13R14},
    {"DIMALTD", C::RC, kR13R14},
    {"DIMZIN", C::RC, kR13R14},
    {"DIMSD1", C::B, kR13R14},
    {"DIMSD2", C::B, kR13R14},
    {"DIMTOLJ", C::RC, kR13R14},
    {"DIMJUST", C::RC, kR13R14},
    {"DIMFIT", C::RC, kR13R14},
    {"DIMUPT", C::B, kR13R14},
    {"DIMTZIN", C::RC, kR13R14},
    {"DIMALTZ", C::RC, kR13R14},
    {"DIMALTTZ", C::RC, kR13R14},
    {"DIMTAD", C::RC, kR13R14},
    {"DIMUNIT", C::BS, kR13R14},
    {"DIMAUNIT", C::BS, kR13R14},
    {"DIMDEC", C::BS, kR13R14},
    {"DIMTDEC", C::BS, kR13R14},
    {"DIMALTU", C::BS, kR13R14},
    {"DIMALTTD", C::BS, kR13R14},
    {"DIMTXSTY", C::H, kR13R14, 5},
    {"DIMSCALE", C::BD, kAll},
    {"DIMASZ", C::BD, kAll},
    {"DIMEXO", C::BD, kAll},
    {"DIMDLI", C::BD, kAll},
    {"DIMEXE", C::BD, kAll},
    {"DIMRND", C::BD, kAll},
    {"DIMDLE", C::BD, kAll},
    {"DIMTP", C::BD, kAll},
    {"DIMTM", C::BD, kAll},
    {"DIMFXL", C::BD, kR2007Plus},
    {"DIMJOGANG", C::BD, kR2007Plus},
    {"DIMTFILL", C::BS, kR2007Plus},
    {"DIMTFILLCLR", C::CMC, kR2007Plus},
    {"DIMTOL", C::B, kR2000Plus},
    {"DIMLIM", C::B, kR2000Plus},
    {"DIMTIH", C::B, kR2000Plus},
    {"DIMTOH", C::B, kR2000Plus},
    {"DIMSE1", C::B, kR2000Plus},
    {"DIMSE2", C::B, kR2000Plus},
    {"DIMTAD", C::BS, kR2000Plus},
    {"DIMZIN", C::BS, kR2000Plus},
    {"DIMAZIN", C::BS, kR2000Plus},
    {"DIMARCSYM", C::BS, kR2007Plus},
    {"DIMTXT", C::BD, kAll},
    {"DIMCEN", C::BD, kAll},
    {"DIMTSZ", C::BD, kAll},
    {"DIMALTF", C::BD, kAll},
    {"DIMLFAC", C::BD, kAll},
    {"DIMTVP", C::BD, kAll},
    {"DIMTFAC", C::BD, kAll},
    {"DIMGAP", C::BD, kAll},
    {"DIMPOST", C::TV, kR13R14},
    {"DIMAPOST", C::TV, kR13R14},
    {"DIMBLK", C::TV, kR13R14},
    {"DIMBLK1", C::TV, kR13R14},
    {"DIMBLK2", C::TV, kR13R14},
    {"DIMALTRND", C::BD, kR2000Plus},
    {"DIMALT", C::B, kR2000Plus},
    {"DIMALTD", C::BS, kR2000Plus},
    {"DIMTOFL", C::B, kR2000Plus},
    {"DIMSAH", C::B, kR2000Plus},
    {"DIMTIX", C::B, kR2000Plus},
    {"DIMSOXD", C::B, kR2000Plus},
    {"DIMCLRD", C::CMC, kAll},
    {"DIMCLRE", C::CMC, kAll},
    {"DIMCLRT", C::CMC, kAll},
    {"DIMADEC", C::BS, kR2000Plus},
    {"DIMDEC", C::BS, kR2000Plus},
    {"DIMTDEC", C::BS, kR2000Plus},
    {"DIMALTU", C::BS, kR2000Plus},
    {"DIMALTTD", C::BS, kR2000Plus},
    {"DIMAUNIT", C::BS, kR2000Plus},
    {"DIMFRAC", C::BS, kR2000Plus},
    {"DIMLUNIT", C::BS, kR2000Plus},
    {"DIMDSEP", C::BS, kR2000Plus},
    {"DIMTMOVE", C::BS, kR2000Plus},
    {"DIMJUST", C::BS, kR2000Plus},
    {"DIMSD1", C::B, kR2000Plus},
    {"DIMSD2", C::B, kR2000Plus},
    {"DIMTOLJ", C::BS, kR2000Plus},
    {"DIMTZIN", C::BS, kR2000Plus},
    {"DIMALTZ", C::BS, kR2000Plus},
    {"DIMALTTZ", C::BS, kR2000Plus},
    {"DIMUPT", C::B, kR2000Plus},
    {"DIMATFIT", C::BS, kR2000Plus},
    {"DIMFXLON", C::B, kR2007Plus},
    {"DIMTXTDIRECTION", C::B, kR2010Plus},
    {"DIMALTMZF", C::BD, kR2010Plus},
    {"DIMALTMZS", C::TV, kR2010Plus},
    {"DIMMZF", C::BD, kR2010Plus},
    {"DIMMZS", C::TV, kR2010Plus},
    {"DIMTXSTY", C::H, kR2000Plus, 5},
    {"DIMLDRBLK", C::H, kR2000Plus, 5},
    {"DIMBLK", C::H, kR2000Plus, 5},
    {"DIMBLK1", C::H, kR2000Plus, 5},
    {"DIMBLK2", C::H, kR2000Plus, 5},
    {"DIMLTYPE", C::H, kR2007Plus, 5},
    {"DIMLTEX1", C::H, kR2007Plus, 5},
    {"DIMLTEX2", C::H, kR2007Plus, 5},
    {"DIMLWD", C::BS, kR2000Plus},
    {"DIMLWE", C::BS, kR2000Plus},
    {"BLOCK_CONTROL_OBJECT", C::H, kAll, 3},
    {"LAYER_CONTROL_OBJECT", C::H, kAll, 3},
    {"STYLE_CONTROL_OBJECT", C::H, kAll, 3},
    {"LINETYPE_CONTROL_OBJECT", C::H, kAll, 3},
    {"VIEW_CONTROL_OBJECT", C::H, kAll, 3},
    {"UCS_CONTROL_OBJECT", C::H, kAll, 3},
    {"VPORT_CONTROL_OBJECT", C::H, kAll, 3},
    {"APPID_CONTROL_OBJECT", C::H, kAll, 3},
    {"DIMSTYLE_CONTROL_OBJECT", C::H, kAll, 3},
    // "R13-R15" in the document, "R13-R2000" in its errata: the same releases.
    {"VIEWPORT_ENTITY_HEADER_CONTROL_OBJECT", C::H, kR13To2000, 3},
    {"DICTIONARY_ACAD_GROUP", C::H, kAll, 5},
    {"DICTIONARY_ACAD_MLINESTYLE", C::H, kAll, 5},
    {"DICTIONARY_NAMED_OBJECTS", C::H, kAll, 3},
    {"TSTACKALIGN", C::BS, kR2000Plus},
    {"TSTACKSIZE", C::BS, kR2000Plus},
    {"HYPERLINKBASE", C::TV, kR2000Plus},
    {"STYLESHEET", C::TV, kR2000Plus},
    {"DICTIONARY_LAYOUTS", C::H, kR2000Plus, 5},
    {"DICTIONARY_PLOTSETTINGS", C::H, kR2000Plus, 5},
    {"DICTIONARY_PLOTSTYLES", C::H, kR2000Plus, 5},
    {"DICTIONARY_MATERIALS", C::H, kR2004Plus, 5},
    {"DICTIONARY_COLORS", C::H, kR2004Plus, 5},
    {"DICTIONARY_VISUALSTYLE", C::H, kR2007Plus, 5},
    {"UNKNOWN_19", C::H, kR2013Plus, 5},
    // CELWEIGHT (& 0x1F), ENDCAPS, JOINSTYLE, LWDISPLAY (0x200 clear), XEDIT
    // (0x400 clear), EXTNAMES (0x800), PSTYLEMODE (0x2000), OLESTARTUP (0x4000).
    {"FLAGS", C::BL, kR2000Plus},
    {"INSUNITS", C::BS, kR2000Plus},
    {"CEPSNTYPE", C::BS, kR2000Plus},
    // Only in the stream when CEPSNTYPE is 3 (plot style by handle).
    {"CPSNID", C::H, kR2000Plus, 5},
    {"FINGERPRINTGUID", C::TV, kR2000Plus},
    {"VERSIONGUID", C::TV, kR2000Plus},
    {"SORTENTS", C::RC, kR2004Plus},
    {"INDEXCTL", C::RC, kR2004Plus},
    {"HIDETEXT", C::RC, kR2004Plus},
    {"XCLIPFRAME", C::RC, kR2004Plus},
    {"DIMASSOC", C::RC, kR2004Plus},
    {"HALOGAP", C::RC, kR2004Plus},
    {"OBSCOLOR", C::BS, kR2004Plus},
    {"INTERSECTIONCOLOR", C::BS, kR2004Plus},
    {"OBSLTYPE", C::RC, kR2004Plus},
    {"INTERSECTIONDISPLAY", C::RC, kR2004Plus},
    {"PROJECTNAME", C::TV, kR2004Plus},
    {"BLOCK_RECORD_PAPER_SPACE", C::H, kAll, 5},
    {"BLOCK_RECORD_MODEL_SPACE", C::H, kAll, 5},
    {"LTYPE_BYLAYER", C::H, kAll, 5},
    {"LTYPE_BYBLOCK", C::H, kAll, 5},
    {"LTYPE_CONTINUOUS", C::H, kAll, 5},
    {"CAMERADISPLAY", C::B, kR2007Plus},
    {"UNKNOWN_20", C::BL, kR2007Plus},
    {"UNKNOWN_21", C::BL, kR2007Plus},
    {"UNKNOWN_22", C::BD, kR2007Plus},
    {"STEPSPERSEC", C::BD, kR2007Plus},
    {"STEPSIZE", C::BD, kR2007Plus},
    {"3DDWFPREC", C::BD, kR2007Plus},
    {"LENSLENGTH", C::BD, kR2007Plus},
    {"CAMERAHEIGHT", C::BD, kR2007Plus},
    {"SOLIDHIST", C::RC, kR2007Plus},
    {"SHOWHIST", C::RC, kR2007Plus},
    {"PSOLWIDTH", C::BD, kR2007Plus},
    {"PSOLHEIGHT", C::BD, kR2007Plus},
    {"LOFTANG1", C::BD, kR2007Plus},
    {"LOFTANG2", C::BD, kR2007Plus},
    {"LOFTMAG1", C::BD, kR2007Plus},
    {"LOFTMAG2", C::BD, kR2007Plus},
    {"LOFTPARAM", C::BS, kR2007Plus},
    {"LOFTNORMALS", C::RC, kR2007Plus},
    {"LATITUDE", C::BD, kR2007Plus},
    {"LONGITUDE", C::BD, kR2007Plus},
    {"NORTHDIRECTION", C::BD, kR2007Plus},
    {"TIMEZONE", C::BL, kR2007Plus},
    {"LIGHTGLYPHDISPLAY", C::RC, kR2007Plus},
    {"TILEMODELIGHTSYNCH", C::RC, kR2007Plus},
    {"DWFFRAME", C::RC, kR2007Plus},
    {"DGNFRAME", C::RC, kR2007Plus},
    {"UNKNOWN_23", C::B, kR2007Plus},
    {"INTERFERECOLOR", C::CMC, kR2007Plus},
    {"INTERFEREOBJVS", C::H, kR2007Plus, 5},
    {"INTERFEREVPVS", C::H, kR2007Plus, 5},
    {"DRAGVS", C::H, kR2007Plus, 5},
    {"CSHADOW", C::RC, kR2007Plus},
    {"UNKNOWN_24", C::BD, kR2007Plus},
    // "R14+, type 5/6 only" in the document, but R13 drawings have them too.
    // AutoCAD fills them with what look like random numbers (R13: -1). From
    // 2007 on they follow the handles. From 2004 on, AutoCAD's drawings end
    // them with the bits 10101 before the padding, kept as unknown bits.
    {"UNKNOWN_25", C::BS, kAll},
    {"UNKNOWN_26", C::BS, kAll},
    {"UNKNOWN_27", C::BS, kAll},
    {"UNKNOWN_28", C::BS, kAll},
});

constexpr std::string_view kCpsnid = "CPSNID";

std::string prefix(std::string_view name) { return "AcDb:Header: " + std::string(name); }

// The value of a code that stands for "nothing set".
HeaderValue zeroOf(const HeaderVariableInfo& info, Release release) {
    switch (info.code) {
    case HeaderCode::B:
        return false;
    case HeaderCode::BS:
    case HeaderCode::BL:
    case HeaderCode::BLL:
    case HeaderCode::RC:
    case HeaderCode::RS:
    case HeaderCode::RL:
        return std::int64_t{0};
    case HeaderCode::BD:
        return 0.0;
    case HeaderCode::RD2:
        return Point2{};
    case HeaderCode::BD3:
        return Point3{};
    case HeaderCode::TV:
        if (isUnicode(release)) return std::u16string();
        return std::string();
    case HeaderCode::H:
        return HandleRef{info.handleCode, 0};
    case HeaderCode::CMC:
        return CmColor{};
    case HeaderCode::TimeBL:
        return JulianDate{};
    }
    return false;
}

// The streams of 2007 and later (ODA §9, §20.1): strings go to the string
// stream and handles to the handle stream, except HANDSEED, which stays in
// the data; everything else is data.
enum class Stream : std::uint8_t { Data, Strings, Handles };

// The unknown shorts that end the variables: from 2007 on after the handles.
constexpr std::array<std::string_view, 4> kAfterHandles{"UNKNOWN_25", "UNKNOWN_26", "UNKNOWN_27", "UNKNOWN_28"};

Stream streamOf(const HeaderVariableInfo& info, Release release) {
    if (!isUnicode(release)) return Stream::Data;
    if (std::find(kAfterHandles.begin(), kAfterHandles.end(), info.name) != kAfterHandles.end()) return Stream::Handles;
    if (info.code == HeaderCode::TV) return Stream::Strings;
    if (info.code == HeaderCode::H && info.name != "HANDSEED") return Stream::Handles;
    return Stream::Data;
}

// `in` is the variable's own stream; a CMC's names are read from `names`
// (from 2007 on the string stream, before that `in` itself).
HeaderValue readValue(BitReader& in, HeaderCode code, BitReader& names) {
    switch (code) {
    case HeaderCode::B:
        return in.readB();
    case HeaderCode::BS:
        return std::int64_t{in.readBS()};
    case HeaderCode::BL:
        return std::int64_t{in.readBL()};
    case HeaderCode::BLL:
        return static_cast<std::int64_t>(in.readBLL());
    case HeaderCode::BD:
        return in.readBD();
    case HeaderCode::RC:
        return std::int64_t{in.readRC()};
    case HeaderCode::RS:
        return std::int64_t{in.readRS()};
    case HeaderCode::RL:
        return std::int64_t{in.readRL()};
    case HeaderCode::RD2:
        return in.read2RD();
    case HeaderCode::BD3:
        return in.read3BD();
    case HeaderCode::TV:
        if (isUnicode(in.release())) return in.readTU();
        return in.readTV();
    case HeaderCode::H:
        return in.readH();
    case HeaderCode::CMC:
        return in.readCMC(names);
    case HeaderCode::TimeBL: {
        JulianDate date;
        date.day = in.readBL();
        date.milliseconds = in.readBL();
        return date;
    }
    }
    return false;
}

void writeValue(BitWriter& out, HeaderCode code, const HeaderValue& value, BitWriter& names) {
    // checkValue has made sure the type and range fit the code.
    const auto integer = [&] { return std::get<std::int64_t>(value); };
    switch (code) {
    case HeaderCode::B:
        out.writeB(std::get<bool>(value));
        return;
    case HeaderCode::BS:
        out.writeBS(static_cast<std::int16_t>(static_cast<std::uint16_t>(integer())));
        return;
    case HeaderCode::BL:
        out.writeBL(static_cast<std::int32_t>(static_cast<std::uint32_t>(integer())));
        return;
    case HeaderCode::BLL:
        out.writeBLL(static_cast<std::uint64_t>(integer()));
        return;
    case HeaderCode::BD:
        out.writeBD(std::get<double>(value));
        return;
    case HeaderCode::RC:
        out.writeRC(static_cast<std::uint8_t>(integer()));
        return;
    case HeaderCode::RS:
        out.writeRS(static_cast<std::uint16_t>(integer()));
        return;
    case HeaderCode::RL:
        out.writeRL(static_cast<std::uint32_t>(integer()));
        return;
    case HeaderCode::RD2:
        out.write2RD(std::get<Point2>(value));
        return;
    case HeaderCode::BD3:
        out.write3BD(std::get<Point3>(value));
        return;
    case HeaderCode::TV:
        if (const auto* units = std::get_if<std::u16string>(&value)) {
            out.writeTU(*units);
        } else {
            out.writeTV(std::get<std::string>(value));
        }
        return;
    case HeaderCode::H:
        out.writeH(std::get<HandleRef>(value));
        return;
    case HeaderCode::CMC:
        out.writeCMC(std::get<CmColor>(value), names);
        return;
    case HeaderCode::TimeBL: {
        const auto& date = std::get<JulianDate>(value);
        out.writeBL(date.day);
        out.writeBL(date.milliseconds);
        return;
    }
    }
}

// std::invalid_argument unless `value` has the type of the code and fits it.
void checkValue(const HeaderVariableInfo& info, const HeaderValue& value, Release release) {
    const HeaderValue expected = zeroOf(info, release);
    const auto fail = [&](const std::string& why) {
        throw std::invalid_argument(prefix(info.name) + ": " + why);
    };
    if (value.index() != expected.index()) {
        fail(std::string("expected a value for code ") + std::string(headerCodeName(info.code)) +
             ", found another type");
    }
    const auto inRange = [&](std::int64_t low, std::int64_t high) {
        const std::int64_t v = std::get<std::int64_t>(value);
        if (v < low || v > high) {
            fail("expected " + std::to_string(low) + " to " + std::to_string(high) + " for code " +
                 std::string(headerCodeName(info.code)) + ", found " + std::to_string(v));
        }
    };
    switch (info.code) {
    // BS and BL as decode() gives them back: signed.
    case HeaderCode::BS:
        inRange(std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max());
        break;
    case HeaderCode::BL:
        inRange(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
        break;
    case HeaderCode::BLL:
        inRange(0, std::numeric_limits<std::int64_t>::max() >> 8);  // 7 bytes at most
        break;
    case HeaderCode::RC:
        inRange(0, std::numeric_limits<std::uint8_t>::max());
        break;
    case HeaderCode::RS:
        inRange(0, std::numeric_limits<std::uint16_t>::max());
        break;
    case HeaderCode::RL:
        inRange(0, std::numeric_limits<std::uint32_t>::max());
        break;
    case HeaderCode::TV:
        if (const auto* units = std::get_if<std::u16string>(&value)) {
            if (units->size() > 0xFFFF) fail("expected at most 65535 UTF-16 units of text");
        } else if (std::get<std::string>(value).size() > 0xFFFF) {
            fail("expected at most 65535 bytes of text");
        }
        break;
    case HeaderCode::H:
        // The header has no handle of its own for offsets to count from.
        if (std::get<HandleRef>(value).code > 5) fail("expected an absolute reference code (0 to 5)");
        break;
    case HeaderCode::CMC: {
        const auto& color = std::get<CmColor>(value);
        const auto tooLong = [&](const Text& name) {
            return isUnicode(release) ? name.toTU().size() > 0xFFFF : name.toTV().size() > 0xFFFF;
        };
        if (tooLong(color.name) || tooLong(color.bookName)) {
            fail("expected colour names of at most 65535 bytes or UTF-16 units");
        }
        break;
    }
    default:
        break;
    }
}

// Equal down to the bits of every double, so that set() of the value a
// variable already has keeps its original encoding.
bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

bool identical(const HeaderValue& a, const HeaderValue& b) {
    if (a.index() != b.index()) return false;
    if (const auto* x = std::get_if<double>(&a)) return sameBits(*x, std::get<double>(b));
    if (const auto* p = std::get_if<Point2>(&a)) {
        const auto& q = std::get<Point2>(b);
        return sameBits(p->x, q.x) && sameBits(p->y, q.y);
    }
    if (const auto* p = std::get_if<Point3>(&a)) {
        const auto& q = std::get<Point3>(b);
        return sameBits(p->x, q.x) && sameBits(p->y, q.y) && sameBits(p->z, q.z);
    }
    return a == b;
}

void refuseUnsupported(Release release) {
    if (release >= Release::R2007) {
        throw UnsupportedRelease("AcDb:Header: expected release R13 to 2004 for a new or converted header, found " +
                                 std::string(releaseName(release)));
    }
}

// The imperial acad.dwt values; everything not listed is zero, false, empty
// or a null handle.
struct DefaultValue {
    std::string_view name;
    HeaderValue value;
};

std::vector<DefaultValue> defaultValues(Release release) {
    const auto i = [](std::int64_t v) { return HeaderValue{v}; };
    const auto d = [](double v) { return HeaderValue{v}; };
    const auto b = [](bool v) { return HeaderValue{v}; };
    // From 2000 on AutoCAD counts a terminating zero in a non-empty TV.
    const auto text = [release](std::string_view v) {
        std::string bytes(v);
        if (release >= Release::R2000 && !bytes.empty()) bytes.push_back('\0');
        return HeaderValue{bytes};
    };
    // 2004 colours carry the colour method in the RGB value's high byte
    // (0xC0 ByLayer, 0xC1 ByBlock) with index 0; before, index 256 and 0.
    const auto color = [release](bool byLayer) {
        CmColor c;
        if (release >= Release::R2004) {
            c.rgb = byLayer ? 0xC0000000U : 0xC1000000U;
        } else {
            c.index = byLayer ? 256 : 0;
        }
        return HeaderValue{c};
    };
    const HeaderValue xAxis{Point3{1.0, 0.0, 0.0}};
    const HeaderValue yAxis{Point3{0.0, 1.0, 0.0}};
    // Extents of an empty drawing: "nothing yet", min above max.
    const HeaderValue emptyMin{Point3{1e20, 1e20, 1e20}};
    const HeaderValue emptyMax{Point3{-1e20, -1e20, -1e20}};
    const HeaderValue limits{Point2{12.0, 9.0}};
    return {
        {"UNKNOWN_1", d(412148564080.0)},
        {"UNKNOWN_2", d(1.0)},
        {"UNKNOWN_3", d(1.0)},
        {"UNKNOWN_4", d(1.0)},
        {"UNKNOWN_5", text("m")},
        {"DIMASO", b(true)},
        {"DIMSHO", b(true)},
        {"REGENMODE", b(true)},
        {"FILLMODE", b(true)},
        {"PSLTSCALE", b(true)},
        {"USRTIMER", b(true)},
        {"ATTREQ", b(true)},
        {"MIRRTEXT", b(true)},
        {"WORLDVIEW", b(true)},
        {"TILEMODE", b(true)},
        {"VISRETAIN", b(true)},
        {"DELOBJ", b(true)},
        {"PROXYGRAPHICS", i(1)},
        {"DRAGMODE", i(2)},
        {"TREEDEPTH", i(3020)},
        {"LUNITS", i(2)},
        {"LUPREC", i(4)},
        {"OSMODE", i(37)},
        {"ATTMODE", i(1)},
        {"COORDS", i(1)},
        {"PICKSTYLE", i(1)},
        {"SPLINESEGS", i(8)},
        {"SURFU", i(6)},
        {"SURFV", i(6)},
        {"SURFTYPE", i(6)},
        {"SURFTAB1", i(6)},
        {"SURFTAB2", i(6)},
        {"SPLINETYPE", i(6)},
        {"SHADEDGE", i(3)},
        {"SHADEDIF", i(70)},
        {"MAXACTVP", i(64)},
        {"ISOLINES", i(4)},
        {"TEXTQLTY", i(50)},
        {"LTSCALE", d(1.0)},
        {"TEXTSIZE", d(0.2)},
        {"TRACEWID", d(0.05)},
        {"SKETCHINC", d(0.1)},
        {"FILLETRAD", d(0.5)},
        {"CHAMFERA", d(0.5)},
        {"CHAMFERB", d(0.5)},
        {"CHAMFERC", d(1.0)},
        {"FACETRES", d(0.5)},
        {"CMLSCALE", d(1.0)},
        {"CELTSCALE", d(1.0)},
        {"MENU", text(".")},
        {"CECOLOR", color(true)},
        {"PEXTMIN", emptyMin},
        {"PEXTMAX", emptyMax},
        {"PLIMMAX", limits},
        {"PUCSXDIR", xAxis},
        {"PUCSYDIR", yAxis},
        {"EXTMIN", emptyMin},
        {"EXTMAX", emptyMax},
        {"LIMMAX", limits},
        {"UCSXDIR", xAxis},
        {"UCSYDIR", yAxis},
        {"DIMTIH", b(true)},
        {"DIMTOH", b(true)},
        {"DIMALTD", i(2)},
        {"DIMTOLJ", i(1)},
        {"DIMFIT", i(3)},
        {"DIMUNIT", i(2)},
        {"DIMDEC", i(4)},
        {"DIMTDEC", i(4)},
        {"DIMALTU", i(2)},
        {"DIMALTTD", i(2)},
        {"DIMSCALE", d(1.0)},
        {"DIMASZ", d(0.18)},
        {"DIMEXO", d(0.0625)},
        {"DIMDLI", d(0.38)},
        {"DIMEXE", d(0.18)},
        {"DIMTXT", d(0.18)},
        {"DIMCEN", d(0.09)},
        {"DIMALTF", d(25.4)},
        {"DIMLFAC", d(1.0)},
        {"DIMTFAC", d(1.0)},
        {"DIMGAP", d(0.09)},
        {"DIMCLRD", color(false)},
        {"DIMCLRE", color(false)},
        {"DIMCLRT", color(false)},
        {"DIMLUNIT", i(2)},
        {"DIMDSEP", i('.')},
        {"DIMATFIT", i(3)},
        {"DIMLWD", i(-2)},
        {"DIMLWE", i(-2)},
        {"TSTACKALIGN", i(1)},
        {"TSTACKSIZE", i(70)},
        // CELWEIGHT ByLayer (index 29), LWDISPLAY off, EXTNAMES, PSTYLEMODE.
        {"FLAGS", i(0x2A1D)},
        {"INSUNITS", i(1)},
        {"SORTENTS", i(127)},
        {"HIDETEXT", i(1)},
        {"DIMASSOC", i(2)},
        {"OBSCOLOR", i(257)},
        {"INTERSECTIONCOLOR", i(257)},
    };
}

}  // namespace

std::string_view headerCodeName(HeaderCode code) noexcept {
    switch (code) {
    case HeaderCode::B:
        return "B";
    case HeaderCode::BS:
        return "BS";
    case HeaderCode::BL:
        return "BL";
    case HeaderCode::BLL:
        return "BLL";
    case HeaderCode::BD:
        return "BD";
    case HeaderCode::RC:
        return "RC";
    case HeaderCode::RS:
        return "RS";
    case HeaderCode::RL:
        return "RL";
    case HeaderCode::RD2:
        return "2RD";
    case HeaderCode::BD3:
        return "3BD";
    case HeaderCode::TV:
        return "TV";
    case HeaderCode::H:
        return "H";
    case HeaderCode::CMC:
        return "CMC";
    case HeaderCode::TimeBL:
        return "TIMEBL";
    }
    return "?";
}

std::span<const HeaderVariableInfo> headerVariableTable() noexcept { return kTable; }

HeaderVariables::HeaderVariables(Release release) : m_release(release) {
    for (const HeaderVariableInfo& info : kTable) {
        if (info.isIn(release)) m_slots.push_back(Slot{&info, zeroOf(info, release), {}, {}, false});
    }
}

HeaderVariables HeaderVariables::decode(std::span<const std::uint8_t> bits, Release release) {
    HeaderVariables header(release);
    header.m_source.assign(bits.begin(), bits.end());
    const std::span<const std::uint8_t> source(header.m_source);
    BitReader data(source, release);
    BitReader handles(source, release);
    // Before 2007 there is no string stream; from then on, where its
    // presence bit is clear, an empty one that fails any read.
    std::optional<BitReader> strings;
    BitReader noStrings(std::span<const std::uint8_t>(), release);
    const auto read = [&](Slot& slot, BitReader& in, BitReader& names) {
        slot.raw.begin = in.bitPos();
        const std::uint64_t namesBegin = names.bitPos();
        try {
            slot.value = readValue(in, slot.info->code, names);
        } catch (const FormatError& error) {
            throw error.withContext(prefix(slot.info->name));
        }
        slot.raw.bits = in.bitPos() - slot.raw.begin;
        if (&names != &in) slot.names = {namesBegin, names.bitPos() - namesBegin};
        slot.hasRaw = true;
    };
    std::size_t first = 0;
    if (isUnicode(release)) {
        // SIZE_IN_BITS counts the data and the string stream with its size
        // and presence bit, from its own first bit to the handles.
        Slot& size = header.m_slots.front();
        read(size, data, data);
        const auto handlesAt = static_cast<std::uint64_t>(std::get<std::int64_t>(size.value));
        if (handlesAt > data.endBit()) {
            throw FormatError(prefix(size.info->name) + ": expected at most the section's " +
                              std::to_string(data.endBit()) + " bits, found " + std::to_string(handlesAt));
        }
        try {
            strings = splitStringStream(data, handlesAt);
        } catch (const FormatError& error) {
            throw error.withContext("AcDb:Header");
        }
        header.m_hasStrings = strings.has_value();
        handles.seekBit(handlesAt);
        first = 1;
    }
    for (std::size_t i = first; i < header.m_slots.size(); ++i) {
        Slot& slot = header.m_slots[i];
        if (!header.isWritten(slot)) continue;
        BitReader& names = !isUnicode(release) ? data : strings ? *strings : noStrings;
        switch (streamOf(*slot.info, release)) {
        case Stream::Data:
            read(slot, data, names);
            break;
        case Stream::Strings:
            read(slot, names, names);
            break;
        case Stream::Handles:
            read(slot, handles, handles);
            break;
        }
    }
    if (isUnicode(release)) {
        header.m_dataRest = {data.bitPos(), data.endBit() - data.bitPos()};
        if (strings) header.m_stringRest = {strings->bitPos(), strings->endBit() - strings->bitPos()};
        header.m_stopBit = handles.bitPos();
    } else {
        header.m_stopBit = data.bitPos();
    }
    return header;
}

std::vector<std::uint8_t> HeaderVariables::encode() const {
    const bool unicode = isUnicode(m_release);
    BitWriter out(m_release);
    out.reserveBytes(m_source.size() + 16);
    BitWriter strings(m_release);
    BitWriter handles(m_release);
    const auto copy = [&](BitWriter& to, const Range& range) {
        if (range.bits > 0) to.writeBits(m_source, range.begin, range.bits);
    };
    for (const Slot& slot : m_slots) {
        if (!isWritten(slot)) continue;
        BitWriter& names = unicode ? strings : out;
        BitWriter& to = [&]() -> BitWriter& {
            switch (streamOf(*slot.info, m_release)) {
            case Stream::Strings:
                return strings;
            case Stream::Handles:
                return handles;
            case Stream::Data:
                break;
            }
            return out;
        }();
        if (slot.hasRaw) {
            copy(to, slot.raw);
            copy(names, slot.names);
        } else {
            writeValue(to, slot.info->code, slot.value, names);
        }
    }
    if (unicode) {
        copy(out, m_dataRest);
        copy(strings, m_stringRest);
        appendStringStream(out, strings, m_hasStrings);
        // SIZE_IN_BITS, the first variable: where the handles start.
        if (out.bitPos() > std::numeric_limits<std::uint32_t>::max())
            throw std::out_of_range(prefix("SIZE_IN_BITS") + ": " + std::to_string(out.bitPos()) + " bits are too many");
        out.overwriteRL(0, static_cast<std::uint32_t>(out.bitPos()));
        out.writeBits(handles.bytes(), handles.bitPos());
    }
    if (!m_source.empty()) {
        // After the last variable: any whole bytes left there (example_r13.dwg
        // has one), then the padding to the byte boundary, which
        // AutoCAD fills with whatever bits it had. Both are kept; the padding
        // only while it still fills the same gap.
        const std::uint64_t trailing = static_cast<std::uint64_t>(m_source.size()) * 8 - m_stopBit;
        const std::uint64_t padding = (8 - (m_stopBit & 7)) & 7;
        const std::uint64_t kept = out.bitPos() == m_stopBit ? trailing : trailing - padding;
        out.writeBits(m_source, m_stopBit, kept);
    }
    out.alignToByte();
    return out.takeBytes();
}

HeaderVariables HeaderVariables::defaults(Release release) {
    refuseUnsupported(release);
    HeaderVariables header(release);
    for (const DefaultValue& value : defaultValues(release)) {
        for (Slot& slot : header.m_slots) {
            if (slot.info->name == value.name) slot.value = value.value;
        }
    }
    return header;
}

namespace {

bool isString(const HeaderValue& value) {
    return std::holds_alternative<std::string>(value) || std::holds_alternative<std::u16string>(value);
}

Text textOf(const HeaderValue& value) {
    if (const auto* units = std::get_if<std::u16string>(&value)) return Text::fromTU(*units);
    return Text::fromTV(std::get<std::string>(value));
}

// `text` in the form of `release`: UnsupportedRelease where it holds only
// the other form (a recode was needed but not given).
HeaderValue stringFor(const Text& text, Release release, std::string_view name) {
    const bool hasOther = isUnicode(release) ? !text.bytes.empty() : !text.units.empty();
    if (hasOther) {
        throw UnsupportedRelease(prefix(name) + ": a string of the other form of strings, which only a code page " +
                                 "can change into the form of release " + std::string(releaseName(release)));
    }
    if (isUnicode(release)) return text.toTU();
    return text.toTV();
}

}  // namespace

HeaderVariables HeaderVariables::convertedTo(Release target, const Recode& recode) const {
    refuseUnsupported(target);
    if (target == m_release && !recode)
        return *this;
    // What AutoCAD 2004 writes for the variables 2000 lacks, beyond the
    // defaults of a new drawing: every 2004 sample AutoCAD saved from a 2000
    // drawing has these. UNKNOWN_13-18 look like a stamp of the writing
    // program (other 2004 writers store other numbers).
    static constexpr std::pair<std::string_view, std::int64_t> kSaved2004[] = {
        {"XCLIPFRAME", 2},          {"UNKNOWN_13", 959854902}, {"UNKNOWN_14", 335548160},
        {"UNKNOWN_15", 1295403062}, {"UNKNOWN_16", 1295403062}, {"UNKNOWN_17", 335548160},
        {"UNKNOWN_18", 959854902},
    };
    const auto recoded = [&](const Text& text) { return recode ? recode(text) : text; };
    HeaderVariables out = target == m_release ? *this : defaults(target);
    for (Slot& slot : out.m_slots) {
        const Slot* source = find(slot.info->name);
        if (source == nullptr) {
            for (const auto& [name, value] : kSaved2004)
                if (name == slot.info->name && target >= Release::R2004)
                    slot.value = value;
            continue;
        }
        HeaderValue value;
        if (isString(source->value) && isString(slot.value)) {
            value = stringFor(recoded(textOf(source->value)), target, slot.info->name);
        } else if (source->value.index() != slot.value.index()) {
            continue;  // a variable that changed its code keeps the target's default
        } else {
            value = source->value;
            if (auto* color = std::get_if<CmColor>(&value)) {
                *color = colorForRelease(*color, target);
                if (recode) {
                    color->name = recode(color->name);
                    color->bookName = recode(color->bookName);
                }
            }
        }
        if (!identical(slot.value, value)) {
            slot.value = std::move(value);
            slot.hasRaw = false;
        }
    }
    return out;
}

const HeaderVariables::Slot* HeaderVariables::find(std::string_view name) const noexcept {
    for (const Slot& slot : m_slots) {
        if (slot.info->name == name) return &slot;
    }
    return nullptr;
}

std::size_t HeaderVariables::indexOf(std::string_view name) const {
    const Slot* found = find(name);
    if (found == nullptr) {
        throw std::out_of_range(prefix(name) + ": no such variable in release " +
                                std::string(releaseName(m_release)));
    }
    return static_cast<std::size_t>(found - m_slots.data());
}

const HeaderVariables::Slot& HeaderVariables::slot(std::string_view name) const { return m_slots[indexOf(name)]; }

bool HeaderVariables::isWritten(const Slot& slot) const {
    if (slot.info->name != kCpsnid) return true;
    const Slot* type = find("CEPSNTYPE");
    return type != nullptr && std::get<std::int64_t>(type->value) == 3;
}

bool HeaderVariables::has(std::string_view name) const noexcept { return find(name) != nullptr; }

const HeaderValue& HeaderVariables::get(std::string_view name) const { return slot(name).value; }

void HeaderVariables::set(std::string_view name, HeaderValue value) {
    Slot& target = m_slots[indexOf(name)];
    checkValue(*target.info, value, m_release);
    if (identical(target.value, value)) return;
    target.value = std::move(value);
    target.hasRaw = false;
}

std::uint64_t HeaderVariables::handle(std::string_view name) const {
    const Slot& found = slot(name);
    const auto* ref = std::get_if<HandleRef>(&found.value);
    if (ref == nullptr) throw std::invalid_argument(prefix(name) + ": expected a handle variable");
    if (ref->code > 5) {
        throw FormatError(prefix(name) + ": expected an absolute handle reference (code 0 to 5), found code " +
                          std::to_string(ref->code));
    }
    return ref->value;
}

std::int64_t HeaderVariables::integer(std::string_view name) const {
    const auto* value = std::get_if<std::int64_t>(&get(name));
    if (value == nullptr) throw std::invalid_argument(prefix(name) + ": expected an integer variable");
    return *value;
}

double HeaderVariables::real(std::string_view name) const {
    const auto* value = std::get_if<double>(&get(name));
    if (value == nullptr) throw std::invalid_argument(prefix(name) + ": expected a real variable");
    return *value;
}

std::string formatHeaderValue(const HeaderValue& value) {
    const auto number = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", v);
        return std::string(text);
    };
    if (const auto* v = std::get_if<bool>(&value)) return *v ? "1" : "0";
    if (const auto* v = std::get_if<std::int64_t>(&value)) return std::to_string(*v);
    if (const auto* v = std::get_if<double>(&value)) return number(*v);
    if (const auto* v = std::get_if<Point2>(&value)) return "(" + number(v->x) + ", " + number(v->y) + ")";
    if (const auto* v = std::get_if<Point3>(&value)) {
        return "(" + number(v->x) + ", " + number(v->y) + ", " + number(v->z) + ")";
    }
    // TV as its bytes, TU as UTF-8, with the same escapes.
    const std::string* bytes = std::get_if<std::string>(&value);
    std::string converted;
    if (const auto* units = std::get_if<std::u16string>(&value)) {
        converted = support::toUtf8(*units);
        bytes = &converted;
    }
    if (bytes != nullptr) {
        std::string text = "\"";
        for (const char c : *bytes) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || c == '"' || c == '\\') {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
                text += escaped;
            } else {
                text += c;
            }
        }
        return text + "\"";
    }
    if (const auto* v = std::get_if<HandleRef>(&value)) {
        char text[40];
        std::snprintf(text, sizeof text, "%X:%llX", v->code, static_cast<unsigned long long>(v->value));
        return text;
    }
    if (const auto* v = std::get_if<CmColor>(&value)) {
        std::string text = "CMC " + std::to_string(v->index);
        if (v->rgb != 0 || v->flags != 0) {
            char extra[40];
            std::snprintf(extra, sizeof extra, " rgb %08X flags %u", v->rgb, v->flags);
            text += extra;
        }
        return text;
    }
    const auto& date = std::get<JulianDate>(value);
    return std::to_string(date.day) + "+" + std::to_string(date.milliseconds) + "ms";
}

}  // namespace dwg
