#include "dwg/objects/tables.h"

#include <array>
#include <stdexcept>
#include <string>

#include "dwg/errors.h"

namespace dwg {

namespace {

// Handle reference codes (ODA §2.13).
constexpr std::uint8_t kSoftOwner = 2, kHardOwner = 3, kSoftPointer = 4, kHardPointer = 5;

void requireSupported(Release r, const char* what) {
    if (r != Release::R2000 && r != Release::R2004)
        throw UnsupportedRelease(std::string(what) + ": expected release 2000 or 2004, found " +
                                 std::string(releaseName(r)));
}

// A count read from the stream that must fit in the bits that remain (each
// item takes at least `minBits`), so that nothing huge is allocated for it.
std::size_t checkedCount(const BitReader& in, std::int64_t count, std::uint64_t minBits, const char* what) {
    if (count < 0 || static_cast<std::uint64_t>(count) > in.endBit() / minBits)
        throw FormatError(std::string(what) + ": expected a count of at most " + std::to_string(in.endBit() / minBits) +
                          ", found " + std::to_string(count) + " at bit " + std::to_string(in.bitPos()));
    return static_cast<std::size_t>(count);
}

TableEntry readEntry(BitReader& in) {
    TableEntry e;
    e.name = in.readTV();
    e.flag64 = in.readB();
    e.xrefIndexPlus1 = in.readBS();
    e.xrefDependent = in.readB();
    return e;
}

void writeEntry(BitWriter& out, const TableEntry& e) {
    out.writeTV(e.name);
    out.writeB(e.flag64);
    out.writeBS(e.xrefIndexPlus1);
    out.writeB(e.xrefDependent);
}

void writeHandle(BitWriter& out, std::uint8_t code, std::uint64_t handle) { out.writeH(HandleRef{code, handle}); }

// The DIMSTYLE variables of 2000 and 2004 in stream order (ODA §20.4.68).
// The document calls the BS after DIMUPT "DIMFIT" (DXF 287); AutoCAD's
// drawings hold DIMATFIT's value there, as the header variables of 2000+ do.
constexpr std::array<std::pair<std::string_view, HeaderCode>, 59> kDimStyle2000{{
    {"DIMPOST", HeaderCode::TV},   {"DIMAPOST", HeaderCode::TV}, {"DIMSCALE", HeaderCode::BD},
    {"DIMASZ", HeaderCode::BD},    {"DIMEXO", HeaderCode::BD},   {"DIMDLI", HeaderCode::BD},
    {"DIMEXE", HeaderCode::BD},    {"DIMRND", HeaderCode::BD},   {"DIMDLE", HeaderCode::BD},
    {"DIMTP", HeaderCode::BD},     {"DIMTM", HeaderCode::BD},    {"DIMTOL", HeaderCode::B},
    {"DIMLIM", HeaderCode::B},     {"DIMTIH", HeaderCode::B},    {"DIMTOH", HeaderCode::B},
    {"DIMSE1", HeaderCode::B},     {"DIMSE2", HeaderCode::B},    {"DIMTAD", HeaderCode::BS},
    {"DIMZIN", HeaderCode::BS},    {"DIMAZIN", HeaderCode::BS},  {"DIMTXT", HeaderCode::BD},
    {"DIMCEN", HeaderCode::BD},    {"DIMTSZ", HeaderCode::BD},   {"DIMALTF", HeaderCode::BD},
    {"DIMLFAC", HeaderCode::BD},   {"DIMTVP", HeaderCode::BD},   {"DIMTFAC", HeaderCode::BD},
    {"DIMGAP", HeaderCode::BD},    {"DIMALTRND", HeaderCode::BD}, {"DIMALT", HeaderCode::B},
    {"DIMALTD", HeaderCode::BS},   {"DIMTOFL", HeaderCode::B},   {"DIMSAH", HeaderCode::B},
    {"DIMTIX", HeaderCode::B},     {"DIMSOXD", HeaderCode::B},   {"DIMCLRD", HeaderCode::CMC},
    {"DIMCLRE", HeaderCode::CMC},  {"DIMCLRT", HeaderCode::CMC}, {"DIMADEC", HeaderCode::BS},
    {"DIMDEC", HeaderCode::BS},    {"DIMTDEC", HeaderCode::BS},  {"DIMALTU", HeaderCode::BS},
    {"DIMALTTD", HeaderCode::BS},  {"DIMAUNIT", HeaderCode::BS}, {"DIMFRAC", HeaderCode::BS},
    {"DIMLUNIT", HeaderCode::BS},  {"DIMDSEP", HeaderCode::BS},  {"DIMTMOVE", HeaderCode::BS},
    {"DIMJUST", HeaderCode::BS},   {"DIMSD1", HeaderCode::B},    {"DIMSD2", HeaderCode::B},
    {"DIMTOLJ", HeaderCode::BS},   {"DIMTZIN", HeaderCode::BS},  {"DIMALTZ", HeaderCode::BS},
    {"DIMALTTZ", HeaderCode::BS},  {"DIMUPT", HeaderCode::B},    {"DIMATFIT", HeaderCode::BS},
    {"DIMLWD", HeaderCode::BS},    {"DIMLWE", HeaderCode::BS},
}};

HeaderValue readDimValue(BitReader& in, HeaderCode code) {
    switch (code) {
        case HeaderCode::B: return in.readB();
        case HeaderCode::BS: return std::int64_t{in.readBS()};
        case HeaderCode::BD: return in.readBD();
        case HeaderCode::TV: return in.readTV();
        case HeaderCode::CMC: return in.readCMC();
        default: throw std::logic_error("DIMSTYLE: no such code in its table");
    }
}

void writeDimValue(BitWriter& out, std::string_view name, HeaderCode code, const HeaderValue& value) {
    try {
        switch (code) {
            case HeaderCode::B: out.writeB(std::get<bool>(value)); return;
            case HeaderCode::BS: out.writeBS(static_cast<std::int16_t>(std::get<std::int64_t>(value))); return;
            case HeaderCode::BD: out.writeBD(std::get<double>(value)); return;
            case HeaderCode::TV: out.writeTV(std::get<std::string>(value)); return;
            case HeaderCode::CMC: out.writeCMC(std::get<CmColor>(value)); return;
            default: break;
        }
    } catch (const std::bad_variant_access&) {
        throw std::invalid_argument("DIMSTYLE: " + std::string(name) + " has a value of another type than " +
                                    std::string(headerCodeName(code)));
    }
    throw std::logic_error("DIMSTYLE: no such code in its table");
}

}  // namespace

ControlObject decodeControl(BitReader& in, const ObjectHeader& header) {
    requireSupported(in.release(), "table control");
    ControlObject c;
    c.header = header;
    const std::size_t count = checkedCount(in, in.readBL(), 8, "table control entries");
    std::size_t extra = 0;
    if (header.type == type::DimStyleControl)
        extra = in.readRC();
    else if (header.type == type::BlockControl || header.type == type::LtypeControl)
        extra = 2;
    checkFieldsEnd(in, header, "table control");
    c.handles = readCommonHandles(in, header);
    c.entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        c.entries.push_back(readHandle(in, header));
    for (std::size_t i = 0; i < extra; ++i)
        c.extra.push_back(readHandle(in, header));
    c.handlesEnd = in.bitPos();
    return c;
}

void encodeControl(BitWriter& data, BitWriter& handles, std::uint16_t controlType, const ControlObject& c) {
    requireSupported(data.release(), "table control");
    data.writeBL(static_cast<std::int32_t>(c.entries.size()));
    if (controlType == type::DimStyleControl) {
        if (c.extra.size() > 255)
            throw std::invalid_argument("DIMSTYLE control: at most 255 extra handles fit its RC count");
        data.writeRC(static_cast<std::uint8_t>(c.extra.size()));
    } else if ((controlType == type::BlockControl || controlType == type::LtypeControl) ? c.extra.size() != 2
                                                                                          : !c.extra.empty()) {
        throw std::invalid_argument("table control: wrong number of extra handles for its type");
    }
    for (std::uint64_t entry : c.entries)
        writeHandle(handles, kSoftOwner, entry);
    const std::uint8_t extraCode = controlType == type::DimStyleControl ? kHardPointer : kHardOwner;
    for (std::uint64_t extra : c.extra)
        writeHandle(handles, extraCode, extra);
}

LayerObject decodeLayer(BitReader& in, const ObjectHeader& header) {
    requireSupported(in.release(), "layer");
    LayerObject l;
    l.header = header;
    l.entry = readEntry(in);
    l.flags = in.readBS();
    l.color = in.readCMC();
    checkFieldsEnd(in, header, "layer");
    l.handles = readCommonHandles(in, header);
    l.xrefBlock = readHandle(in, header);
    l.plotStyle = readHandle(in, header);
    l.linetype = readHandle(in, header);
    l.handlesEnd = in.bitPos();
    return l;
}

void encodeLayer(BitWriter& data, BitWriter& handles, const LayerObject& l) {
    requireSupported(data.release(), "layer");
    writeEntry(data, l.entry);
    data.writeBS(l.flags);
    data.writeCMC(l.color);
    writeHandle(handles, kHardPointer, l.xrefBlock);
    writeHandle(handles, kHardPointer, l.plotStyle);
    writeHandle(handles, kHardPointer, l.linetype);
}

LinetypeObject decodeLinetype(BitReader& in, const ObjectHeader& header) {
    requireSupported(in.release(), "linetype");
    LinetypeObject t;
    t.header = header;
    t.entry = readEntry(in);
    t.description = in.readTV();
    t.patternLength = in.readBD();
    t.alignment = in.readRC();
    const std::size_t count = in.readRC();
    t.dashes.resize(count);
    for (LinetypeObject::Dash& d : t.dashes) {
        d.length = in.readBD();
        d.shapeCode = in.readBS();
        d.offset.x = in.readRD();
        d.offset.y = in.readRD();
        d.scale = in.readBD();
        d.rotation = in.readBD();
        d.shapeFlags = in.readBS();
    }
    in.readBytes(t.textArea);
    checkFieldsEnd(in, header, "linetype");
    t.handles = readCommonHandles(in, header);
    t.xrefBlock = readHandle(in, header);
    for (LinetypeObject::Dash& d : t.dashes)
        d.shapeFile = readHandle(in, header);
    t.handlesEnd = in.bitPos();
    return t;
}

void encodeLinetype(BitWriter& data, BitWriter& handles, const LinetypeObject& t) {
    requireSupported(data.release(), "linetype");
    if (t.dashes.size() > 255)
        throw std::invalid_argument("linetype: at most 255 dashes fit its RC count");
    if (t.textArea.size() != 256)
        throw std::invalid_argument("linetype: the text area must hold exactly 256 bytes");
    writeEntry(data, t.entry);
    data.writeTV(t.description);
    data.writeBD(t.patternLength);
    data.writeRC(t.alignment);
    data.writeRC(static_cast<std::uint8_t>(t.dashes.size()));
    for (const LinetypeObject::Dash& d : t.dashes) {
        data.writeBD(d.length);
        data.writeBS(d.shapeCode);
        data.writeRD(d.offset.x);
        data.writeRD(d.offset.y);
        data.writeBD(d.scale);
        data.writeBD(d.rotation);
        data.writeBS(d.shapeFlags);
    }
    data.writeBytes(t.textArea);
    writeHandle(handles, kHardPointer, t.xrefBlock);
    for (const LinetypeObject::Dash& d : t.dashes)
        writeHandle(handles, kHardPointer, d.shapeFile);
}

AppIdObject decodeAppId(BitReader& in, const ObjectHeader& header) {
    requireSupported(in.release(), "appid");
    AppIdObject a;
    a.header = header;
    a.entry = readEntry(in);
    a.unknown = in.readRC();
    checkFieldsEnd(in, header, "appid");
    a.handles = readCommonHandles(in, header);
    a.xrefBlock = readHandle(in, header);
    a.handlesEnd = in.bitPos();
    return a;
}

void encodeAppId(BitWriter& data, BitWriter& handles, const AppIdObject& a) {
    requireSupported(data.release(), "appid");
    writeEntry(data, a.entry);
    data.writeRC(a.unknown);
    writeHandle(handles, kHardPointer, a.xrefBlock);
}

std::vector<std::pair<std::string_view, HeaderCode>> dimStyleVariables(Release release) {
    requireSupported(release, "dimstyle");
    return {kDimStyle2000.begin(), kDimStyle2000.end()};
}

const HeaderValue& DimStyleObject::get(std::string_view name) const {
    for (const auto& [n, value] : values)
        if (n == name)
            return value;
    throw std::out_of_range("DIMSTYLE has no variable " + std::string(name));
}

DimStyleObject dimStyleFromHeader(const HeaderVariables& header) {
    DimStyleObject d;
    for (const auto& [name, code] : dimStyleVariables(header.release()))
        d.values.emplace_back(name, header.get(name));
    d.textStyle = header.handle("DIMTXSTY");
    d.leaderBlock = header.handle("DIMLDRBLK");
    d.arrowBlock = header.handle("DIMBLK");
    d.arrowBlock1 = header.handle("DIMBLK1");
    d.arrowBlock2 = header.handle("DIMBLK2");
    return d;
}

DimStyleObject decodeDimStyle(BitReader& in, const ObjectHeader& header) {
    DimStyleObject d;
    d.header = header;
    const auto variables = dimStyleVariables(in.release());
    d.entry = readEntry(in);
    d.values.reserve(variables.size());
    for (const auto& [name, code] : variables)
        d.values.emplace_back(name, readDimValue(in, code));
    d.flag1 = in.readB();
    checkFieldsEnd(in, header, "dimstyle");
    d.handles = readCommonHandles(in, header);
    d.xrefBlock = readHandle(in, header);
    d.textStyle = readHandle(in, header);
    d.leaderBlock = readHandle(in, header);
    d.arrowBlock = readHandle(in, header);
    d.arrowBlock1 = readHandle(in, header);
    d.arrowBlock2 = readHandle(in, header);
    d.handlesEnd = in.bitPos();
    return d;
}

void encodeDimStyle(BitWriter& data, BitWriter& handles, const DimStyleObject& d) {
    const auto variables = dimStyleVariables(data.release());
    if (d.values.size() != variables.size())
        throw std::invalid_argument("DIMSTYLE: expected " + std::to_string(variables.size()) + " variables, found " +
                                    std::to_string(d.values.size()));
    writeEntry(data, d.entry);
    for (std::size_t i = 0; i < variables.size(); ++i) {
        if (d.values[i].first != variables[i].first)
            throw std::invalid_argument("DIMSTYLE: expected " + std::string(variables[i].first) + " at position " +
                                        std::to_string(i) + ", found " + std::string(d.values[i].first));
        writeDimValue(data, variables[i].first, variables[i].second, d.values[i].second);
    }
    data.writeB(d.flag1);
    for (std::uint64_t h : {d.xrefBlock, d.textStyle, d.leaderBlock, d.arrowBlock, d.arrowBlock1, d.arrowBlock2})
        writeHandle(handles, kHardPointer, h);
}

VportObject decodeVport(BitReader& in, const ObjectHeader& header) {
    requireSupported(in.release(), "vport");
    VportObject v;
    v.header = header;
    v.entry = readEntry(in);
    v.viewHeight = in.readBD();
    v.aspectRatio = in.readBD();
    v.viewCenter = in.read2RD();
    v.viewTarget = in.read3BD();
    v.viewDirection = in.read3BD();
    v.viewTwist = in.readBD();
    v.lensLength = in.readBD();
    v.frontClip = in.readBD();
    v.backClip = in.readBD();
    v.viewMode = static_cast<std::uint8_t>(in.readBits(4));
    v.renderMode = in.readRC();
    v.lowerLeft = in.read2RD();
    v.upperRight = in.read2RD();
    v.ucsFollow = in.readB();
    v.circleZoom = in.readBS();
    v.fastZoom = in.readB();
    v.ucsIcon = in.readBB();
    v.gridOn = in.readB();
    v.gridSpacing = in.read2RD();
    v.snapOn = in.readB();
    v.snapStyle = in.readB();
    v.snapIsopair = in.readBS();
    v.snapRotation = in.readBD();
    v.snapBase = in.read2RD();
    v.snapSpacing = in.read2RD();
    v.unknown = in.readB();
    v.ucsPerViewport = in.readB();
    v.ucsOrigin = in.read3BD();
    v.ucsXAxis = in.read3BD();
    v.ucsYAxis = in.read3BD();
    v.ucsElevation = in.readBD();
    v.ucsOrthoType = in.readBS();
    checkFieldsEnd(in, header, "vport");
    v.handles = readCommonHandles(in, header);
    v.xrefBlock = readHandle(in, header);
    v.namedUcs = readHandle(in, header);
    v.baseUcs = readHandle(in, header);
    v.handlesEnd = in.bitPos();
    return v;
}

void encodeVport(BitWriter& data, BitWriter& handles, const VportObject& v) {
    requireSupported(data.release(), "vport");
    writeEntry(data, v.entry);
    data.writeBD(v.viewHeight);
    data.writeBD(v.aspectRatio);
    data.write2RD(v.viewCenter);
    data.write3BD(v.viewTarget);
    data.write3BD(v.viewDirection);
    data.writeBD(v.viewTwist);
    data.writeBD(v.lensLength);
    data.writeBD(v.frontClip);
    data.writeBD(v.backClip);
    data.writeBits(v.viewMode, 4);
    data.writeRC(v.renderMode);
    data.write2RD(v.lowerLeft);
    data.write2RD(v.upperRight);
    data.writeB(v.ucsFollow);
    data.writeBS(v.circleZoom);
    data.writeB(v.fastZoom);
    data.writeBB(v.ucsIcon);
    data.writeB(v.gridOn);
    data.write2RD(v.gridSpacing);
    data.writeB(v.snapOn);
    data.writeB(v.snapStyle);
    data.writeBS(v.snapIsopair);
    data.writeBD(v.snapRotation);
    data.write2RD(v.snapBase);
    data.write2RD(v.snapSpacing);
    data.writeB(v.unknown);
    data.writeB(v.ucsPerViewport);
    data.write3BD(v.ucsOrigin);
    data.write3BD(v.ucsXAxis);
    data.write3BD(v.ucsYAxis);
    data.writeBD(v.ucsElevation);
    data.writeBS(v.ucsOrthoType);
    writeHandle(handles, kHardPointer, v.xrefBlock);
    writeHandle(handles, kHardPointer, v.namedUcs);
    writeHandle(handles, kHardPointer, v.baseUcs);
}

DictionaryObject decodeDictionary(BitReader& in, const ObjectHeader& header, bool withDefault) {
    requireSupported(in.release(), "dictionary");
    DictionaryObject d;
    d.header = header;
    d.withDefault = withDefault;
    const std::size_t count = checkedCount(in, in.readBL(), 10, "dictionary entries");
    d.cloning = in.readBS();
    d.hardOwner = in.readRC();
    d.entries.resize(count);
    for (auto& entry : d.entries)
        entry.first = in.readTV();
    checkFieldsEnd(in, header, "dictionary");
    d.handles = readCommonHandles(in, header);
    for (auto& entry : d.entries)
        entry.second = readHandle(in, header);
    if (withDefault)
        d.defaultEntry = readHandle(in, header);
    d.handlesEnd = in.bitPos();
    return d;
}

void encodeDictionary(BitWriter& data, BitWriter& handles, const DictionaryObject& d) {
    requireSupported(data.release(), "dictionary");
    data.writeBL(static_cast<std::int32_t>(d.entries.size()));
    data.writeBS(d.cloning);
    data.writeRC(d.hardOwner);
    for (const auto& entry : d.entries)
        data.writeTV(entry.first);
    for (const auto& entry : d.entries)
        writeHandle(handles, kSoftOwner, entry.second);
    if (d.withDefault)
        writeHandle(handles, kHardPointer, d.defaultEntry);
}

MlineStyleObject decodeMlineStyle(BitReader& in, const ObjectHeader& header) {
    requireSupported(in.release(), "mlinestyle");
    MlineStyleObject s;
    s.header = header;
    s.name = in.readTV();
    s.description = in.readTV();
    s.flags = in.readBS();
    s.fillColor = in.readCMC();
    s.startAngle = in.readBD();
    s.endAngle = in.readBD();
    s.lines.resize(in.readRC());
    for (MlineStyleObject::Line& line : s.lines) {
        line.offset = in.readBD();
        line.color = in.readCMC();
        line.linetypeIndex = in.readBS();
    }
    checkFieldsEnd(in, header, "mlinestyle");
    s.handles = readCommonHandles(in, header);
    s.handlesEnd = in.bitPos();
    return s;
}

void encodeMlineStyle(BitWriter& data, BitWriter&, const MlineStyleObject& s) {
    requireSupported(data.release(), "mlinestyle");
    if (s.lines.size() > 255)
        throw std::invalid_argument("mlinestyle: at most 255 lines fit its RC count");
    data.writeTV(s.name);
    data.writeTV(s.description);
    data.writeBS(s.flags);
    data.writeCMC(s.fillColor);
    data.writeBD(s.startAngle);
    data.writeBD(s.endAngle);
    data.writeRC(static_cast<std::uint8_t>(s.lines.size()));
    for (const MlineStyleObject::Line& line : s.lines) {
        data.writeBD(line.offset);
        data.writeCMC(line.color);
        data.writeBS(line.linetypeIndex);
    }
}

LayoutObject decodeLayout(BitReader& in, const ObjectHeader& header) {
    const Release r = in.release();
    requireSupported(r, "layout");
    LayoutObject l;
    l.header = header;
    l.pageSetupName = in.readTV();
    l.printerConfig = in.readTV();
    l.plotFlags = in.readBS();
    l.leftMargin = in.readBD();
    l.bottomMargin = in.readBD();
    l.rightMargin = in.readBD();
    l.topMargin = in.readBD();
    l.paperWidth = in.readBD();
    l.paperHeight = in.readBD();
    l.paperSize = in.readTV();
    l.plotOrigin = in.read2BD();
    l.paperUnits = in.readBS();
    l.plotRotation = in.readBS();
    l.plotType = in.readBS();
    l.windowMin = in.read2BD();
    l.windowMax = in.read2BD();
    if (r == Release::R2000)
        l.plotViewName = in.readTV();
    l.realWorldUnits = in.readBD();
    l.drawingUnits = in.readBD();
    l.styleSheet = in.readTV();
    l.scaleType = in.readBS();
    l.scaleFactor = in.readBD();
    l.paperImageOrigin = in.read2BD();
    if (r >= Release::R2004) {
        l.shadePlotMode = in.readBS();
        l.shadePlotResolution = in.readBS();
        l.shadePlotDpi = in.readBS();
    }
    l.name = in.readTV();
    l.tabOrder = in.readBL();
    l.flags = in.readBS();
    l.ucsOrigin = in.read3BD();
    l.limMin = in.read2RD();
    l.limMax = in.read2RD();
    l.insertionBase = in.read3BD();
    l.ucsXAxis = in.read3BD();
    l.ucsYAxis = in.read3BD();
    l.elevation = in.readBD();
    l.orthoViewType = in.readBS();
    l.extMin = in.read3BD();
    l.extMax = in.read3BD();
    std::size_t viewports = 0;
    if (r >= Release::R2004)
        viewports = checkedCount(in, in.readBL(), 8, "layout viewports");
    checkFieldsEnd(in, header, "layout");
    l.handles = readCommonHandles(in, header);
    if (r >= Release::R2004)
        l.plotView = readHandle(in, header);
    l.block = readHandle(in, header);
    l.lastActiveViewport = readHandle(in, header);
    l.baseUcs = readHandle(in, header);
    l.namedUcs = readHandle(in, header);
    l.viewports.reserve(viewports);
    for (std::size_t i = 0; i < viewports; ++i)
        l.viewports.push_back(readHandle(in, header));
    l.handlesEnd = in.bitPos();
    return l;
}

void encodeLayout(BitWriter& data, BitWriter& handles, const LayoutObject& l) {
    const Release r = data.release();
    requireSupported(r, "layout");
    if (r == Release::R2000 && !l.viewports.empty())
        throw std::invalid_argument("layout: release 2000 does not list a layout's viewports");
    data.writeTV(l.pageSetupName);
    data.writeTV(l.printerConfig);
    data.writeBS(l.plotFlags);
    data.writeBD(l.leftMargin);
    data.writeBD(l.bottomMargin);
    data.writeBD(l.rightMargin);
    data.writeBD(l.topMargin);
    data.writeBD(l.paperWidth);
    data.writeBD(l.paperHeight);
    data.writeTV(l.paperSize);
    data.write2BD(l.plotOrigin);
    data.writeBS(l.paperUnits);
    data.writeBS(l.plotRotation);
    data.writeBS(l.plotType);
    data.write2BD(l.windowMin);
    data.write2BD(l.windowMax);
    if (r == Release::R2000)
        data.writeTV(l.plotViewName);
    data.writeBD(l.realWorldUnits);
    data.writeBD(l.drawingUnits);
    data.writeTV(l.styleSheet);
    data.writeBS(l.scaleType);
    data.writeBD(l.scaleFactor);
    data.write2BD(l.paperImageOrigin);
    if (r >= Release::R2004) {
        data.writeBS(l.shadePlotMode);
        data.writeBS(l.shadePlotResolution);
        data.writeBS(l.shadePlotDpi);
    }
    data.writeTV(l.name);
    data.writeBL(l.tabOrder);
    data.writeBS(l.flags);
    data.write3BD(l.ucsOrigin);
    data.write2RD(l.limMin);
    data.write2RD(l.limMax);
    data.write3BD(l.insertionBase);
    data.write3BD(l.ucsXAxis);
    data.write3BD(l.ucsYAxis);
    data.writeBD(l.elevation);
    data.writeBS(l.orthoViewType);
    data.write3BD(l.extMin);
    data.write3BD(l.extMax);
    if (r >= Release::R2004) {
        data.writeBL(static_cast<std::int32_t>(l.viewports.size()));
        writeHandle(handles, kHardPointer, l.plotView);
    }
    writeHandle(handles, kSoftPointer, l.block);
    writeHandle(handles, kSoftPointer, l.lastActiveViewport);
    writeHandle(handles, kHardPointer, l.baseUcs);
    writeHandle(handles, kHardPointer, l.namedUcs);
    for (std::uint64_t viewport : l.viewports)
        writeHandle(handles, kSoftPointer, viewport);
}

CommonHandles decodeEmpty(BitReader& in, const ObjectHeader& header, const char* what) {
    checkFieldsEnd(in, header, what);
    return readCommonHandles(in, header);
}

}  // namespace dwg
