#include "dwg/objects/header_variables.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "dwg/bits/bit_reader.h"
#include "dwg/container/dwg_file.h"
#include "dwg/errors.h"
#include "support/code_pages.h"
#include "test_support.h"

namespace dwg {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

// The header of empty14.dwg as the ODA document prints it at the end of its
// chapter 9 (file offsets 0x6C-0x232: after the RL size 0x1C7, before the
// CRC 5B 27, which it matches).
std::vector<std::uint8_t> documentR14Header() {
    return test::hexToBytes(
        "00 00 07 00 1F BF 55 D0 95 40 5B 6A 51 A9 43 1A 65 AC 40 50 23 30 2D 02"
        "41 2A 40 50 19 01 AA 90 84 19 06 41 90 64 19 06 40 D4 69 30 41 24 C9 26"
        "A6 66 66 66 66 72 4F C9 A9 99 99 99 99 9A 93 F2 6A 66 66 66 66 66 E4 FC"
        "00 00 00 00 00 00 E0 3F AA AA 80 00 00 00 00 00 0E 03 F0 00 00 00 00 00"
        "03 80 FD 80 00 00 00 00 00 0E 03 F5 40 4B 8B 56 52 50 02 D1 A6 00 08 B5"
        "65 25 00 20 29 E0 00 A3 30 F4 00 02 33 0F 40 00 30 14 D5 10 F5 11 05 11"
        "45 11 D5 11 CA 84 08 CB 57 81 DA F1 54 41 02 32 D5 E0 76 BC 55 10 40 8C"
        "B5 78 1D AF 15 44 10 23 2D 5E 07 6B C5 71 04 08 CB 57 81 DA F1 5C 41 02"
        "32 D5 E0 76 BC 57 10 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
        "00 00 00 00 00 A1 00 00 00 00 00 00 00 89 02 A9 A9 94 2A 10 23 2D 5E 07"
        "6B C5 51 04 08 CB 57 81 DA F1 54 41 02 32 D5 E0 76 BC 55 10 40 8C B5 78"
        "1D AF 15 C4 10 23 2D 5E 07 6B C5 71 04 08 CB 57 81 DA F1 5C 40 00 00 00"
        "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 02 84 00 00 00 00"
        "00 00 02 24 0A A6 A6 50 30 00 40 00 08 00 18 00 00 00 01 02 90 44 11 02"
        "40 94 44 10 2B 5E 8D C0 F4 2B 1C FC 00 00 00 00 00 00 B0 3F 14 AE 07 A1"
        "7A D4 76 0F C0 AD 7A 37 03 D0 AC 73 FA A0 2B 5E 8D C0 F4 2B 1C FC 0A D7"
        "A3 70 3D 0A B7 3F 86 66 66 66 66 66 63 94 06 40 AD 7A 37 03 D0 AB 73 FA"
        "AA A3 10 13 10 23 10 33 10 53 10 63 10 73 10 83 10 93 10 A3 10 B5 10 D5"
        "10 E3 10 C5 11 65 11 95 11 45 11 35 11 51 D5 58 D4 A0 34 26 4B 76 E0");
}

// R13-2000: section locator record 0 (at 0x19, after the RL count at 0x15)
// gives the header section: sentinel, RL size, the variables, RS CRC.
std::vector<std::uint8_t> headerStreamOf(const std::vector<std::uint8_t>& file) {
    const std::size_t seeker = test::rl(file, 0x19 + 1);
    const std::vector<std::uint8_t> sentinel = test::hexToBytes("CF 7B 1F 23 FD DE 38 A9 5F 7C 68 B8 4E 6D 33 5F");
    EXPECT_TRUE(std::equal(sentinel.begin(), sentinel.end(), file.begin() + static_cast<std::ptrdiff_t>(seeker)));
    const std::size_t size = test::rl(file, seeker + 16);
    const auto first = file.begin() + static_cast<std::ptrdiff_t>(seeker + 20);
    return {first, first + static_cast<std::ptrdiff_t>(size)};
}

struct Sample {
    const char* name;
    Release release;
};

constexpr Sample kSamples[] = {
    {"example_r13", Release::R13},   {"example_r14", Release::R14}, {"example_2000", Release::R2000},
    {"entities-2d", Release::R2000}, {"sample_2000", Release::R2000}, {"text_2000", Release::R2000},
    {"example_2004", Release::R2004}, {"text_2004", Release::R2004},  {"example_2007", Release::R2007},
    {"text_2007", Release::R2007},    {"example_2010", Release::R2010}, {"example_2013", Release::R2013},
    {"example_2018", Release::R2018}, {"sample_2018", Release::R2018},
};

// The sample's header stream, or nothing (with the reason) if it cannot be
// had here.
std::optional<std::vector<std::uint8_t>> sampleHeader(const Sample& sample, std::string& whyNot) {
    const auto file = test::loadSample(std::string(sample.name) + ".dwg");
    if (!file) {
        whyNot = std::string(sample.name) + ".dwg is not in the samples folder";
        return std::nullopt;
    }
    // 2004 and later compress the header section inside their paged containers.
    if (sample.release >= Release::R2004) return readDwgFile(*file).headerVariables;
    return headerStreamOf(*file);
}

// What a DXF file says of its header variables and of the handles of its
// named table entries and objects: the independent truth for the DWG twins.
class Dxf {
public:
    static std::optional<Dxf> load(const std::string& name) {
        const auto bytes = test::loadSample(name);
        if (!bytes) return std::nullopt;
        std::vector<std::pair<int, std::string>> groups;
        std::istringstream in(std::string(bytes->begin(), bytes->end()));
        std::string codeLine;
        std::string valueLine;
        while (std::getline(in, codeLine) && std::getline(in, valueLine)) {
            groups.emplace_back(std::stoi(codeLine), trim(valueLine));
        }

        Dxf dxf;
        std::string variable;  // in the HEADER section: the last $NAME
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const auto& [code, text] = groups[i];
            if (code == 2 && i > 0 && groups[i - 1] == std::pair<int, std::string>{0, "SECTION"} && text == "HEADER") {
                variable = "$";
            } else if (code == 9 && !variable.empty()) {
                variable = text;
            } else if (code != 0 && variable.size() > 1) {
                dxf.m_header[variable.substr(1)].push_back(text);
            }
            if (code != 0) continue;
            if (text == "ENDSEC") variable.clear();
            // An entity: its type, first name (2) and handle (5, 105).
            Entity entity{text, {}, std::nullopt, {}};
            for (std::size_t j = i + 1; j < groups.size() && groups[j].first != 0; ++j) {
                const auto& [entityCode, entityText] = groups[j];
                if (entityCode == 2 && entity.name.empty()) entity.name = entityText;
                if ((entityCode == 5 || entityCode == 105) && !entity.handle) {
                    entity.handle = std::stoull(entityText, nullptr, 16);
                }
                if (entityCode == 3 || entityCode == 350 || entityCode == 360) entity.entries.push_back(entityText);
            }
            dxf.m_entities.push_back(std::move(entity));
        }
        return dxf;
    }

    // The values of $NAME's groups, in order.
    const std::vector<std::string>& header(const std::string& name) const { return m_header.at(name); }
    double real(const std::string& name, std::size_t index = 0) const { return std::stod(header(name).at(index)); }
    std::int64_t integer(const std::string& name) const { return std::stoll(header(name).at(0)); }

    // The handle of the first `type` entity named `name`, compared without
    // case as AutoCAD does; TABLE entities are named by their table.
    std::optional<std::uint64_t> handleOf(const std::string& type, const std::string& name) const {
        for (const Entity& entity : m_entities) {
            if (entity.type == type && sameName(entity.name, name)) return entity.handle;
        }
        return std::nullopt;
    }

    // The named objects dictionary (the first DICTIONARY) and its entries.
    std::optional<std::uint64_t> rootDictionary() const { return root().handle; }
    std::optional<std::uint64_t> rootEntry(const std::string& name) const {
        const auto& entries = root().entries;
        for (std::size_t i = 0; i + 1 < entries.size(); i += 2) {
            if (entries[i] == name) return std::stoull(entries[i + 1], nullptr, 16);
        }
        return std::nullopt;
    }

private:
    struct Entity {
        std::string type;
        std::string name;
        std::optional<std::uint64_t> handle;
        std::vector<std::string> entries;  // a dictionary's names and handles
    };

    static std::string trim(std::string text) {
        while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.pop_back();
        const auto first = text.find_first_not_of(' ');
        return first == std::string::npos ? std::string() : text.substr(first);
    }
    static bool sameName(const std::string& a, const std::string& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
        });
    }
    const Entity& root() const {
        for (const Entity& entity : m_entities) {
            if (entity.type == "DICTIONARY") return entity;
        }
        throw std::out_of_range("no DICTIONARY in the DXF file");
    }

    std::map<std::string, std::vector<std::string>> m_header;
    std::vector<Entity> m_entities;
};

// A TV or TU value as UTF-8, without the terminating zero values from
// 2000 on count.
std::string withoutZero(const HeaderValue& value) {
    std::string text = std::holds_alternative<std::u16string>(value) ? support::toUtf8(std::get<std::u16string>(value))
                                                                     : std::get<std::string>(value);
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

void expectNear(double actual, double expected, const std::string& what) {
    EXPECT_NEAR(actual, expected, 1e-12 * std::max(1.0, std::fabs(expected))) << what;
}

TEST(HeaderVariables, EverySampleDecodesAndEncodesBackByteForByte) {
    const std::filesystem::path root = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg";
    if (!std::filesystem::is_directory(root)) GTEST_SKIP() << "no sample drawings in " << root;
    std::set<Release> releases;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".dwg") continue;
        const std::string name = std::filesystem::relative(entry.path(), root).string();
        SCOPED_TRACE(name);
        const auto bytes = test::loadSample(name);
        ASSERT_TRUE(bytes);
        const DwgFile file = readDwgFile(*bytes);
        const std::vector<std::uint8_t>& stream = file.headerVariables;
        const HeaderVariables header = HeaderVariables::decode(stream, file.release);
        EXPECT_EQ(header.encode(), stream);
        // From 2007 on the data and the strings end where the string stream
        // and the handles begin.
        EXPECT_EQ(header.strayBits(), 0U);
        // After the last variable only the padding to the byte boundary is
        // left; example_r13 also has one extra byte there (0x1E), and
        // AutoCAD's 2004+ drawings have the bits 10101 before the padding.
        std::uint64_t left = stream.size() * 8 - header.stopBit();
        if (file.release >= Release::R2004 && left >= 5) {
            BitReader trailer(stream, file.release);
            trailer.seekBit(header.stopBit());
            if (trailer.readBits(5) == 0b10101) left -= 5;
        }
        EXPECT_LT(left, name == "example_r13.dwg" ? 16U : 8U);
        releases.insert(file.release);
    }
    EXPECT_EQ(releases.size(), 8U) << "a release without a sample";
}

// Another value of the same type and range.
HeaderValue otherValue(const HeaderValue& value) {
    return std::visit(
        [](const auto& v) -> HeaderValue {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) return !v;
            if constexpr (std::is_same_v<T, std::int64_t>) return v ^ 1;
            if constexpr (std::is_same_v<T, double>) return v + 1.0;
            if constexpr (std::is_same_v<T, Point2>) return Point2{v.x + 1.0, v.y};
            if constexpr (std::is_same_v<T, Point3>) return Point3{v.x + 1.0, v.y, v.z};
            if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, std::u16string>) return T(v).append(1, 'x');
            if constexpr (std::is_same_v<T, HandleRef>) return HandleRef{v.code, v.value ^ 1};
            if constexpr (std::is_same_v<T, CmColor>) return CmColor{static_cast<std::int16_t>(v.index ^ 1), v.rgb, v.flags, v.name, v.bookName};
            if constexpr (std::is_same_v<T, JulianDate>) return JulianDate{v.day ^ 1, v.milliseconds};
        },
        value);
}

// AutoCAD writes each value with its shortest code, as BitWriter does, so
// the values alone, each set to another value and back so that it has no
// bits to copy, must give back the stream up to the padding.
void expectValuesAloneGiveBack(const std::vector<std::uint8_t>& stream, Release release) {
    const HeaderVariables decoded = HeaderVariables::decode(stream, release);
    HeaderVariables fresh = decoded;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        fresh.set(decoded.infoAt(i).name, otherValue(decoded.valueAt(i)));
        fresh.set(decoded.infoAt(i).name, decoded.valueAt(i));
    }
    const std::vector<std::uint8_t> bytes = fresh.encode();
    const std::size_t whole = decoded.stopBit() / 8;
    ASSERT_GE(bytes.size(), whole);
    EXPECT_TRUE(std::equal(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(whole), bytes.begin()));
}

TEST(HeaderVariables, WritingEveryValueAfreshGivesAutoCadsBytes) {
    expectValuesAloneGiveBack(documentR14Header(), Release::R14);
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.name);
        std::string whyNot;
        const auto stream = sampleHeader(sample, whyNot);
        if (stream) expectValuesAloneGiveBack(*stream, sample.release);
    }
}

TEST(HeaderVariables, ExamplesMatchTheirDxfTwins) {
    // The twins were saved separately, so HANDSEED, TDUPDATE, TDINDWG and
    // the like differ; everything else, handles included, must agree.
    int checked = 0;
    for (const Sample& sample : kSamples) {
        const std::string name = sample.name;
        if (name.rfind("example_", 0) != 0) continue;
        SCOPED_TRACE(name);
        std::string whyNot;
        const auto stream = sampleHeader(sample, whyNot);
        const auto dxf = Dxf::load(name + ".dxf");
        if (!stream || !dxf) continue;
        ++checked;
        const Release release = sample.release;
        const HeaderVariables h = HeaderVariables::decode(*stream, release);

        for (const char* point : {"INSBASE", "EXTMIN", "EXTMAX", "PINSBASE", "PEXTMIN", "PEXTMAX", "UCSORG", "UCSXDIR",
                                  "UCSYDIR", "PUCSXDIR", "PUCSYDIR"}) {
            const auto& p = std::get<Point3>(h.get(point));
            expectNear(p.x, dxf->real(point, 0), point);
            expectNear(p.y, dxf->real(point, 1), point);
            // example_2000's and example_2018's DWG and DXF differ in the
            // extents' z.
            const bool otherZ = name == "example_2000" || name == "example_2018";
            if (!otherZ || std::string(point).rfind("EXT", 0) != 0) expectNear(p.z, dxf->real(point, 2), point);
        }
        for (const char* point : {"LIMMIN", "LIMMAX", "PLIMMIN", "PLIMMAX"}) {
            const auto& p = std::get<Point2>(h.get(point));
            expectNear(p.x, dxf->real(point, 0), point);
            expectNear(p.y, dxf->real(point, 1), point);
        }
        for (const char* real : {"LTSCALE", "TEXTSIZE", "TRACEWID", "SKETCHINC", "FILLETRAD", "CHAMFERA", "CELTSCALE",
                                 "CMLSCALE", "ELEVATION", "PELEVATION", "DIMSCALE", "DIMASZ", "DIMEXO", "DIMDLI",
                                 "DIMEXE", "DIMTXT", "DIMCEN", "DIMALTF", "DIMLFAC", "DIMTFAC", "DIMGAP"}) {
            expectNear(h.real(real), dxf->real(real), real);
        }
        std::vector<std::string> integers{"ORTHOMODE", "REGENMODE", "FILLMODE", "QTEXTMODE", "MIRRTEXT",  "ATTMODE",
                                          "PDMODE",    "LUNITS",    "LUPREC",   "AUNITS",    "AUPREC",    "SPLINESEGS",
                                          "SURFTAB1",  "SURFTAB2",  "SURFU",    "SPLINETYPE", "SHADEDIF", "MAXACTVP",
                                          "TREEDEPTH", "CMLJUST",   "USRTIMER", "WORLDVIEW", "TILEMODE",  "VISRETAIN",
                                          "PSLTSCALE", "LIMCHECK",  "DIMASO",   "DIMSHO",    "DIMTAD",    "DIMZIN",
                                          "DIMTZIN",   "DIMALTD",   "DIMALTTD", "DIMDEC",    "DIMTOFL",   "DIMTOLJ"};
        if (release <= Release::R14) {
            // Not ATTDIA: a user setting, 1 in example_r14.dwg and 0 in its twin.
            integers.insert(integers.end(),
                            {"OSMODE", "DRAGMODE", "COORDS", "PICKSTYLE", "ATTREQ", "DELOBJ", "DIMFIT", "DIMUNIT"});
        } else {
            integers.insert(integers.end(), {"PROXYGRAPHICS", "INSUNITS", "DIMDSEP", "DIMATFIT", "DIMLUNIT", "DIMLWD",
                                             "DIMLWE", "DIMAZIN", "DIMADEC", "CEPSNTYPE"});
        }
        if (release >= Release::R2004) {
            integers.insert(integers.end(), {"SORTENTS", "INDEXCTL", "HIDETEXT", "DIMASSOC", "HALOGAP", "OBSCOLOR",
                                             "INTERSECTIONCOLOR", "OBSLTYPE", "INTERSECTIONDISPLAY"});
        }
        if (release >= Release::R2007) {
            integers.insert(integers.end(), {"CAMERADISPLAY", "SOLIDHIST", "SHOWHIST", "LOFTPARAM", "LOFTNORMALS",
                                             "TIMEZONE", "LIGHTGLYPHDISPLAY", "TILEMODELIGHTSYNCH", "DWFFRAME",
                                             "DGNFRAME", "CSHADOW", "DIMTFILL", "DIMARCSYM", "DIMFXLON"});
            for (const char* real : {"DIMFXL", "DIMJOGANG", "STEPSPERSEC", "STEPSIZE", "3DDWFPREC", "LENSLENGTH",
                                     "CAMERAHEIGHT", "PSOLWIDTH", "PSOLHEIGHT", "LOFTANG1", "LOFTANG2", "LOFTMAG1",
                                     "LOFTMAG2", "LATITUDE", "LONGITUDE", "NORTHDIRECTION"}) {
                expectNear(h.real(real), dxf->real(real), real);
            }
            // DXF gives these handles themselves. example_2018.dwg, saved
            // apart from its twin, has null interference visual styles.
            for (const char* handle : {"CMATERIAL", "INTERFEREOBJVS", "INTERFEREVPVS"}) {
                if (name == "example_2018" && std::string(handle) != "CMATERIAL") continue;
                EXPECT_EQ(h.handle(handle), std::stoull(dxf->header(handle).at(0), nullptr, 16)) << handle;
            }
            // An index colour: method 0xC3, the index in the low byte.
            EXPECT_EQ(std::get<CmColor>(h.get("INTERFERECOLOR")).rgb, 0xC3000000U | dxf->integer("INTERFERECOLOR"));
        }
        if (release >= Release::R2010) integers.push_back("DIMTXTDIRECTION");
        if (release >= Release::R2013) integers.push_back("REQUIREDVERSIONS");
        for (const std::string& variable : integers) {
            const HeaderValue& value = h.get(variable);
            const std::int64_t actual =
                std::holds_alternative<bool>(value) ? std::get<bool>(value) : std::get<std::int64_t>(value);
            EXPECT_EQ(actual, dxf->integer(variable)) << variable;
        }
        EXPECT_EQ(withoutZero(h.get("MENU")), dxf->header("MENU").at(0));

        // Colours: 256 ByLayer and 0 ByBlock; 2004 says so in the RGB
        // value's high byte (0xC0, 0xC1) instead of the index.
        const auto method = [&](const char* variable) {
            const auto& color = std::get<CmColor>(h.get(variable));
            if (release < Release::R2004) return std::int64_t{color.index};
            return std::int64_t{color.rgb == 0xC0000000U ? 256 : color.rgb == 0xC1000000U ? 0 : -1};
        };
        for (const char* color : {"CECOLOR", "DIMCLRD", "DIMCLRE", "DIMCLRT"}) {
            EXPECT_EQ(method(color), dxf->integer(color)) << color;
        }

        // Handles, through the names the DXF gives.
        const auto named = [&](const char* variable, const char* type) {
            EXPECT_EQ(h.handle(variable), dxf->handleOf(type, dxf->header(variable).at(0))) << variable;
        };
        named("CLAYER", "LAYER");
        named("TEXTSTYLE", "STYLE");
        named("CELTYPE", "LTYPE");
        named("DIMSTYLE", "DIMSTYLE");
        named("CMLSTYLE", "MLINESTYLE");
        named("DIMTXSTY", "STYLE");
        const std::pair<const char*, const char*> tables[] = {
            {"BLOCK_CONTROL_OBJECT", "BLOCK_RECORD"}, {"LAYER_CONTROL_OBJECT", "LAYER"},
            {"STYLE_CONTROL_OBJECT", "STYLE"},        {"LINETYPE_CONTROL_OBJECT", "LTYPE"},
            {"VIEW_CONTROL_OBJECT", "VIEW"},          {"UCS_CONTROL_OBJECT", "UCS"},
            {"VPORT_CONTROL_OBJECT", "VPORT"},        {"APPID_CONTROL_OBJECT", "APPID"},
            {"DIMSTYLE_CONTROL_OBJECT", "DIMSTYLE"},
        };
        for (const auto& [variable, table] : tables) EXPECT_EQ(h.handle(variable), dxf->handleOf("TABLE", table)) << variable;
        EXPECT_EQ(h.handle("LTYPE_BYLAYER"), dxf->handleOf("LTYPE", "BYLAYER"));
        EXPECT_EQ(h.handle("LTYPE_BYBLOCK"), dxf->handleOf("LTYPE", "BYBLOCK"));
        EXPECT_EQ(h.handle("LTYPE_CONTINUOUS"), dxf->handleOf("LTYPE", "CONTINUOUS"));
        EXPECT_EQ(h.handle("BLOCK_RECORD_PAPER_SPACE"), dxf->handleOf("BLOCK_RECORD", "*PAPER_SPACE"));
        // example_r14.dxf names the model space record "*U".
        if (release != Release::R14) {
            EXPECT_EQ(h.handle("BLOCK_RECORD_MODEL_SPACE"), dxf->handleOf("BLOCK_RECORD", "*MODEL_SPACE"));
        }
        EXPECT_EQ(h.handle("DICTIONARY_NAMED_OBJECTS"), dxf->rootDictionary());
        EXPECT_EQ(h.handle("DICTIONARY_ACAD_GROUP"), dxf->rootEntry("ACAD_GROUP"));
        EXPECT_EQ(h.handle("DICTIONARY_ACAD_MLINESTYLE"), dxf->rootEntry("ACAD_MLINESTYLE"));
        if (release >= Release::R2000) {
            EXPECT_EQ(h.handle("DICTIONARY_LAYOUTS"), dxf->rootEntry("ACAD_LAYOUT"));
            EXPECT_EQ(h.handle("DICTIONARY_PLOTSETTINGS"), dxf->rootEntry("ACAD_PLOTSETTINGS"));
            EXPECT_EQ(h.handle("DICTIONARY_PLOTSTYLES"), dxf->rootEntry("ACAD_PLOTSTYLENAME"));
        }
        if (release >= Release::R2004) {
            EXPECT_EQ(h.handle("DICTIONARY_MATERIALS"), dxf->rootEntry("ACAD_MATERIAL"));
            EXPECT_EQ(h.handle("DICTIONARY_COLORS"), dxf->rootEntry("ACAD_COLOR"));
        }
        // HANDSEED is the next free handle: above every handle in the header.
        for (std::size_t i = 0; i < h.size(); ++i) {
            if (h.infoAt(i).code == HeaderCode::H && h.infoAt(i).name != "HANDSEED") {
                EXPECT_LT(h.handle(h.infoAt(i).name), h.handle("HANDSEED")) << h.infoAt(i).name;
            }
        }

        if (release >= Release::R2000) {
            const auto created = std::get<JulianDate>(h.get("TDUCREATE"));
            EXPECT_NEAR(created.value(), dxf->real("TDUCREATE"), 1e-8);
            EXPECT_EQ(withoutZero(h.get("FINGERPRINTGUID")), dxf->header("FINGERPRINTGUID").at(0));
            expectNear(h.real("PSVPSCALE"), dxf->real("PSVPSCALE"), "PSVPSCALE");
            // ODA §9: the packed flags against their DXF variables.
            const std::int64_t flags = h.integer("FLAGS");
            const std::map<std::int64_t, std::int64_t> lineweights{{29, -1}, {30, -2}, {31, -3}};
            EXPECT_EQ(lineweights.at(flags & 0x1F), dxf->integer("CELWEIGHT"));
            EXPECT_EQ((flags & 0x200) == 0, dxf->integer("LWDISPLAY") != 0);
            EXPECT_EQ((flags & 0x400) == 0, dxf->integer("XEDIT") != 0);
            EXPECT_EQ((flags & 0x800) != 0, dxf->integer("EXTNAMES") != 0);
            EXPECT_EQ((flags & 0x2000) != 0, dxf->integer("PSTYLEMODE") != 0);
            EXPECT_EQ((flags & 0x4000) != 0, dxf->integer("OLESTARTUP") != 0);
        } else {
            // The R13-R14 twins convert the date with another time zone;
            // the day agrees.
            const auto created = std::get<JulianDate>(h.get("TDCREATE"));
            EXPECT_EQ(created.day, static_cast<std::int32_t>(dxf->real("TDCREATE")));
        }
    }
    if (checked == 0) GTEST_SKIP() << "no example drawing with its DXF twin here";
}

TEST(HeaderVariables, DocumentR14DumpDecodes) {
    const std::vector<std::uint8_t> stream = documentR14Header();
    const HeaderVariables h = HeaderVariables::decode(stream, Release::R14);
    EXPECT_EQ(h.encode(), stream);
    EXPECT_EQ(stream.size() * 8 - h.stopBit(), 4U);  // padding only

    // The first fields, bit by bit: RD 412148564080.0 after code 00, three
    // BD 1.0 (01), TV "m", three empty TV, BL 70 (01 01000110), BL 0, BS 0.
    EXPECT_EQ(h.real("UNKNOWN_1"), 412148564080.0);
    EXPECT_EQ(h.real("UNKNOWN_4"), 1.0);
    EXPECT_EQ(std::get<std::string>(h.get("UNKNOWN_5")), "m");
    EXPECT_EQ(h.integer("UNKNOWN_9"), 70);
    // An empty imperial R14 drawing, created 24 Feb 1998 (Julian day 2450869)
    // at 11:39:30 as the dump's title says.
    const auto created = std::get<JulianDate>(h.get("TDCREATE"));
    EXPECT_EQ(created.day, 2450869);
    EXPECT_EQ(created.milliseconds / 1000, 11 * 3600 + 39 * 60 + 30);
    EXPECT_EQ(std::get<Point2>(h.get("LIMMAX")), (Point2{12.0, 9.0}));
    EXPECT_EQ(h.real("TEXTSIZE"), 0.2);
    EXPECT_EQ(h.real("DIMTXT"), 0.18);
    EXPECT_EQ(h.integer("TREEDEPTH"), 3020);
    EXPECT_EQ(std::get<std::string>(h.get("MENU")), ".");
    // The first handles of a new drawing: the control objects 1-B.
    EXPECT_EQ(h.get("BLOCK_CONTROL_OBJECT"), HeaderValue(HandleRef{3, 1}));
    EXPECT_EQ(h.handle("LINETYPE_CONTROL_OBJECT"), 5U);
    EXPECT_EQ(h.handle("DIMSTYLE_CONTROL_OBJECT"), 0xAU);
    EXPECT_EQ(h.handle("VIEWPORT_ENTITY_HEADER_CONTROL_OBJECT"), 0xBU);
    EXPECT_EQ(h.handle("DICTIONARY_NAMED_OBJECTS"), 0xCU);
    EXPECT_EQ(h.get("HANDSEED"), HeaderValue(HandleRef{0, 0x4D}));
}

TEST(HeaderVariables, TruncatedStreamNamesTheVariableBeingRead) {
    const std::vector<std::uint8_t> stream = documentR14Header();
    // 8 bytes end inside the first RD (bits 2-65).
    EXPECT_THAT([&] { HeaderVariables::decode(std::span(stream).first(8), Release::R14); },
                ThrowsMessage<FormatError>(HasSubstr("AcDb:Header: UNKNOWN_1: BD: expected 64 bits, found 62 at bit 2")));
    // The fields above end at bit 110, where the viewport handle needs 8.
    EXPECT_THAT([&] { HeaderVariables::decode(std::span(stream).first(14), Release::R14); },
                ThrowsMessage<FormatError>(HasSubstr(
                    "AcDb:Header: CURRENT_VIEWPORT_ENTITY_HEADER: H: expected 8 bits, found 2 at bit 110")));
    EXPECT_THAT([&] { HeaderVariables::decode(std::span(stream).first(stream.size() - 10), Release::R14); },
                ThrowsMessage<FormatError>(HasSubstr("AcDb:Header: ")));
}

TEST(HeaderVariables, NewOrConvertedHeadersOf2007OnAreRefused) {
    EXPECT_THROW(HeaderVariables::defaults(Release::R2018), UnsupportedRelease);
    EXPECT_THROW(HeaderVariables::defaults(Release::R2000).convertedTo(Release::R2007), UnsupportedRelease);
    if (const auto file = test::loadSample("example_2007.dwg")) {
        const HeaderVariables h = HeaderVariables::decode(readDwgFile(*file).headerVariables, Release::R2007);
        EXPECT_THROW(h.convertedTo(Release::R2004), UnsupportedRelease);
    }
}

TEST(HeaderVariables, A2007SizeInBitsOrStringStreamThatDoesNotFitIsReported) {
    const auto bytes = test::loadSample("example_2007.dwg");
    if (!bytes) GTEST_SKIP() << "example_2007.dwg is not in the samples folder";
    const std::vector<std::uint8_t> stream = readDwgFile(*bytes).headerVariables;
    std::vector<std::uint8_t> past = stream;
    past[3] = 0x7F;  // SIZE_IN_BITS far past the section's end
    EXPECT_THAT([&] { HeaderVariables::decode(past, Release::R2007); },
                ThrowsMessage<FormatError>(HasSubstr("AcDb:Header: SIZE_IN_BITS: expected at most")));
    // The handles 40 bits in, after a set presence bit: no room for the
    // string stream's size.
    const std::vector<std::uint8_t> tiny = {40, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_THAT([&] { HeaderVariables::decode(tiny, Release::R2007); },
                ThrowsMessage<FormatError>(HasSubstr("AcDb:Header: string stream")));
    EXPECT_THAT([&] { HeaderVariables::decode(std::span(stream).first(3), Release::R2007); },
                ThrowsMessage<FormatError>(HasSubstr("AcDb:Header: SIZE_IN_BITS: RL")));
}

TEST(HeaderVariables, DefaultsAreANewImperialDrawing) {
    for (const Release release : {Release::R13, Release::R14, Release::R2000, Release::R2004}) {
        SCOPED_TRACE(releaseName(release));
        const HeaderVariables h = HeaderVariables::defaults(release);
        EXPECT_EQ(h.real("LTSCALE"), 1.0);
        EXPECT_EQ(h.real("TEXTSIZE"), 0.2);
        EXPECT_EQ(h.real("DIMSCALE"), 1.0);
        EXPECT_EQ(h.real("DIMTXT"), 0.18);
        EXPECT_EQ(std::get<Point2>(h.get("LIMMAX")), (Point2{12.0, 9.0}));
        EXPECT_EQ(h.get("CLAYER"), HeaderValue(HandleRef{5, 0}));
        EXPECT_EQ(h.get("BLOCK_CONTROL_OBJECT"), HeaderValue(HandleRef{3, 0}));
        EXPECT_EQ(h.get("HANDSEED"), HeaderValue(HandleRef{0, 0}));
        EXPECT_EQ(h.has("INSUNITS"), release >= Release::R2000);
        EXPECT_EQ(h.has("BLIPMODE"), release <= Release::R14);
        if (release >= Release::R2000) {
            EXPECT_EQ(h.integer("INSUNITS"), 1);  // inches
        }
        if (release == Release::R2004) {
            EXPECT_EQ(std::get<CmColor>(h.get("CECOLOR")).rgb, 0xC0000000U);
        } else {
            EXPECT_EQ(std::get<CmColor>(h.get("CECOLOR")).index, 256);
        }
    }
}

TEST(HeaderVariables, DefaultsEncodeAndDecodeBackEqual) {
    for (const Release release : {Release::R13, Release::R14, Release::R2000, Release::R2004}) {
        SCOPED_TRACE(releaseName(release));
        const HeaderVariables defaults = HeaderVariables::defaults(release);
        const std::vector<std::uint8_t> bytes = defaults.encode();
        const HeaderVariables decoded = HeaderVariables::decode(bytes, release);
        ASSERT_EQ(decoded.size(), defaults.size());
        for (std::size_t i = 0; i < defaults.size(); ++i) {
            EXPECT_EQ(decoded.valueAt(i), defaults.valueAt(i)) << defaults.infoAt(i).name;
        }
        EXPECT_LT(bytes.size() * 8 - decoded.stopBit(), 8U);
        EXPECT_EQ(decoded.encode(), bytes);
    }
}

TEST(HeaderVariables, SetChangesOnlyThatVariable) {
    std::vector<std::pair<std::vector<std::uint8_t>, Release>> streams{{documentR14Header(), Release::R14}};
    // From 2007 on a longer string moves the string stream and the handles.
    if (const auto file = test::loadSample("example_2010.dwg")) {
        streams.emplace_back(readDwgFile(*file).headerVariables, Release::R2010);
    }
    for (const auto& [stream, release] : streams) {
        SCOPED_TRACE(releaseName(release));
        HeaderVariables h = HeaderVariables::decode(stream, release);
        // The value it already has: the bytes stay as they were.
        h.set("TEXTSIZE", h.real("TEXTSIZE"));
        EXPECT_EQ(h.encode(), stream);

        const HeaderValue menu = isUnicode(release) ? HeaderValue(std::u16string(u"acad\u05D0")) : std::string("acad");
        h.set("TEXTSIZE", 2.5);
        h.set("CLAYER", HandleRef{5, 0x1234});
        h.set("MENU", menu);
        const HeaderVariables back = HeaderVariables::decode(h.encode(), release);
        const HeaderVariables original = HeaderVariables::decode(stream, release);
        EXPECT_EQ(back.real("TEXTSIZE"), 2.5);
        EXPECT_EQ(back.handle("CLAYER"), 0x1234U);
        EXPECT_EQ(back.get("MENU"), menu);
        EXPECT_EQ(back.strayBits(), 0U);
        for (std::size_t i = 0; i < back.size(); ++i) {
            const std::string_view name = back.infoAt(i).name;
            if (name != "TEXTSIZE" && name != "CLAYER" && name != "MENU" && name != "SIZE_IN_BITS") {
                EXPECT_EQ(back.valueAt(i), original.valueAt(i)) << name;
            }
        }
    }
}

TEST(HeaderVariables, PlotStyleHandleIsStoredOnlyForCepsntype3) {
    HeaderVariables h = HeaderVariables::defaults(Release::R2000);
    const std::size_t without = h.encode().size();
    h.set("CPSNID", HandleRef{5, 0x4F});
    EXPECT_EQ(h.encode().size(), without);
    h.set("CEPSNTYPE", std::int64_t{3});
    const HeaderVariables back = HeaderVariables::decode(h.encode(), Release::R2000);
    EXPECT_EQ(back.handle("CPSNID"), 0x4FU);
    EXPECT_EQ(back.integer("CEPSNTYPE"), 3);
}

TEST(HeaderVariables, MisuseThrowsNamingTheVariable) {
    HeaderVariables h = HeaderVariables::defaults(Release::R2000);
    EXPECT_THAT([&] { h.set("NOSUCHVAR", 1.0); }, ThrowsMessage<std::out_of_range>(HasSubstr("NOSUCHVAR")));
    EXPECT_THAT([&] { (void)h.get("BLIPMODE"); }, ThrowsMessage<std::out_of_range>(HasSubstr("BLIPMODE")));
    EXPECT_THAT([&] { h.set("LTSCALE", std::int64_t{1}); }, ThrowsMessage<std::invalid_argument>(HasSubstr("LTSCALE")));
    EXPECT_THAT([&] { h.set("PDMODE", 3.0); }, ThrowsMessage<std::invalid_argument>(HasSubstr("PDMODE")));
    EXPECT_THAT([&] { h.set("CLAYER", std::string("0")); }, ThrowsMessage<std::invalid_argument>(HasSubstr("CLAYER")));
    EXPECT_THAT([&] { h.set("PDMODE", std::int64_t{70000}); }, ThrowsMessage<std::invalid_argument>(HasSubstr("70000")));
    EXPECT_THAT([&] { (void)h.handle("LTSCALE"); }, ThrowsMessage<std::invalid_argument>(HasSubstr("LTSCALE")));
    // The header has no handle of its own that an offset could count from.
    EXPECT_THAT([&] { h.set("CLAYER", HandleRef{6, 0}); }, ThrowsMessage<std::invalid_argument>(HasSubstr("CLAYER")));
    // A failed set leaves the value alone.
    EXPECT_EQ(h.integer("PDMODE"), 0);

    HeaderVariables r14 = HeaderVariables::defaults(Release::R14);
    EXPECT_THAT([&] { r14.set("DIMTAD", std::int64_t{256}); }, ThrowsMessage<std::invalid_argument>(HasSubstr("RC")));
    EXPECT_THROW(r14.set("PSVPSCALE", 1.0), std::out_of_range);
}

TEST(HeaderVariables, NamesAreUniqueWithinEachRelease) {
    for (const Release release : {Release::R13, Release::R14, Release::R2000, Release::R2004, Release::R2007,
                                  Release::R2010, Release::R2013, Release::R2018}) {
        std::set<std::string_view> names;
        for (const HeaderVariableInfo& info : headerVariableTable()) {
            if (info.isIn(release)) {
                EXPECT_TRUE(names.insert(info.name).second) << info.name;
            }
        }
    }
}

}  // namespace
}  // namespace dwg

namespace dwg {
namespace {

// The same drawings saved by AutoCAD as 2000 and as 2004: the 2000 header
// converted to 2004 holds what AutoCAD's 2004 save holds, but for what is the
// saving program's own.
TEST(HeaderVariables, AutoCad2000HeaderConvertedTo2004MatchesAutoCads2004Save) {
    // Dates, timers, the handle seed and the per-save random shorts belong to
    // the save; AutoCAD's 2004 save also makes the ACAD_MATERIAL and
    // ACAD_COLOR dictionaries, which a 2000 drawing has not.
    const std::set<std::string> savers = {"TDUUPDATE",  "TDINDWG",    "TDUSRTIMER", "HANDSEED",
                                          "UNKNOWN_25", "UNKNOWN_26", "UNKNOWN_27", "UNKNOWN_28",
                                          "DICTIONARY_MATERIALS", "DICTIONARY_COLORS"};
    const std::filesystem::path series = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / "series";
    if (!std::filesystem::is_directory(series / "2000"))
        GTEST_SKIP() << "no series drawings in " << series;
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(series / "2000")) {
        if (entry.path().extension() != ".dwg" || !std::filesystem::exists(series / "2004" / entry.path().filename()))
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const auto from = test::loadSample("series/2000/" + entry.path().filename().string());
        const auto to = test::loadSample("series/2004/" + entry.path().filename().string());
        ASSERT_TRUE(from && to);
        const DwgFile a = readDwgFile(*from), b = readDwgFile(*to);
        const HeaderVariables converted = HeaderVariables::decode(a.headerVariables, a.release).convertedTo(Release::R2004);
        const HeaderVariables autocad = HeaderVariables::decode(b.headerVariables, b.release);
        // What the conversion writes reads back as itself.
        const HeaderVariables reread = HeaderVariables::decode(converted.encode(), Release::R2004);
        ASSERT_EQ(converted.size(), autocad.size());
        for (std::size_t i = 0; i < autocad.size(); ++i) {
            const std::string name(autocad.infoAt(i).name);
            EXPECT_EQ(formatHeaderValue(reread.valueAt(i)), formatHeaderValue(converted.valueAt(i))) << name;
            if (!savers.contains(name)) {
                EXPECT_EQ(formatHeaderValue(converted.valueAt(i)), formatHeaderValue(autocad.valueAt(i))) << name;
            }
        }
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace dwg
