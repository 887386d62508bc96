#include "tests/readers/independent_readers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <tuple>

#include <unistd.h>

namespace readers {
// Names the reader in the parameterised tests' output.
void PrintTo(Reader reader, std::ostream* out) { *out << readerName(reader); }
}  // namespace readers

namespace {

using ::testing::ElementsAre;
using ::testing::FieldsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::ThrowsMessage;
using ::testing::UnorderedElementsAreArray;
using readers::Reader;

// ---- Parsing the readers' output, with records written by hand ----

TEST(ReaderRecords, DecodesEveryRecordKind) {
    const std::string output =
        "WARNING\tLibreDWG error code 64 (non-critical)\n"
        "VERSION\tAC1015\n"
        "CODEPAGE\t34\n"
        "STYLE\t5374616e64617264\t747874\t4\n"
        // Owner "*Model_Space", style "Standard", text "שלום" in UTF-8.
        "TEXT\t17B\t2a4d6f64656c5f5370616365\t5374616e64617264\t5881.25\t-1296.5\td7a9d79cd795d79d\t2\n"
        "INSERT\t190\t2a4d6f64656c5f5370616365\t626c6f6b6f\t3642.125\t6066\n"
        // A tab and a newline inside the value survive as hexadecimal.
        "ATTRIB\t192\t190\t4554494b45444f\t5374616e64617264\t1e3\t-2.5\t6109620a63\n"
        "BLOCK\t626c6f6b6f\t5\n"
        "FUTURE\tkinds that a newer dump.mjs adds are ignored\n";
    const auto dump = readers::parseRecords(output);
    EXPECT_EQ(dump.version, "AC1015");
    EXPECT_EQ(dump.codePage, "34");
    EXPECT_THAT(dump.warnings, ElementsAre("LibreDWG error code 64 (non-critical)"));
    EXPECT_THAT(dump.styles, ElementsAre(FieldsAre("Standard", "txt", "4")));
    EXPECT_THAT(dump.texts, ElementsAre(FieldsAre("17B", "*Model_Space", "Standard", 5881.25, -1296.5,
                                                  "\u05E9\u05DC\u05D5\u05DD", "2")));
    EXPECT_THAT(dump.inserts, ElementsAre(FieldsAre("190", "*Model_Space", "bloko", 3642.125, 6066.0)));
    EXPECT_THAT(dump.attributes,
                ElementsAre(FieldsAre("192", "190", "ETIKEDO", "Standard", 1000.0, -2.5, "a\tb\nc")));
    EXPECT_THAT(dump.blocks, ElementsAre(Pair("bloko", 5)));
}

TEST(ReaderRecords, EmptyFieldsAreUnknownValues) {
    const auto dump = readers::parseRecords("TEXT\t\t\t\t\t\t78\t\nSTYLE\t\t\t\n");
    EXPECT_THAT(dump.texts, ElementsAre(FieldsAre("", "", "", 0.0, 0.0, "x", "")));
    EXPECT_THAT(dump.styles, ElementsAre(FieldsAre("", "", "")));
    EXPECT_EQ(dump.version, "");
}

TEST(ReaderRecords, ErrorRecordThrowsTheReadersMessage) {
    EXPECT_THAT([] { readers::parseRecords("VERSION\tAC1015\nERROR\tLibreDWG could not read (error code 2048)\n"); },
                ThrowsMessage<std::runtime_error>("LibreDWG could not read (error code 2048)"));
}

TEST(ReaderRecords, MalformedLinesAreRejected) {
    for (const char* line : {
             "STYLE\t537\t747874\t0",          // odd number of digits
             "STYLE\tzz\t747874\t0",           // not hexadecimal
             "STYLE\t53\t74",                  // a field short
             "INSERT\t1\t\t\t1.5x\t0",         // trailing junk after a number
             "BLOCK\t53\t",                    // count missing
             "TEXT\t1\t\t\t0\t0\t78\t0\textra"  // a field too many
         }) {
        EXPECT_THAT([&] { readers::parseRecords(line); },
                    ThrowsMessage<std::runtime_error>(HasSubstr("malformed reader record")))
            << line;
    }
}

TEST(OgrInfoOutput, TextsComeFromCadTextFeatures) {
    // Shaped like `ogrinfo -ro -al` on a drawing with a line, a text and an MTEXT.
    const std::string output =
        "INFO: Open of `drawing.dwg'\n"
        "      using driver `CAD' successful.\n"
        "Metadata:\n"
        "  $ACADVER=AC1015\n"
        "  $DWGCODEPAGE=30\n"
        "\n"
        "Layer name: Tavolo 1\n"
        "Feature Count: 3\n"
        "text: String (0.0)\n"
        "OGRFeature(Tavolo 1):0\n"
        "  cadgeom_type (String) = CADLine\n"
        "  LINESTRING Z (0 0 0,1 1 0)\n"
        "\n"
        "OGRFeature(Tavolo 1):1\n"
        "  cadgeom_type (String) = CADText\n"
        "  text (String) = Jen teksto simpla, cxu ne?\n"
        "  Style = LABEL(f:\"Arial\",t:\"Jen teksto simpla, cxu ne?\",c:#FFFF00FF)\n"
        "  POINT Z (-50.3187372547813 134.695759123913 0)\n"
        "\n"
        "OGRFeature(Tavolo 1):2\n"
        "  cadgeom_type (String) = CADMText\n"
        "  text (String) = not a TEXT entity\n"
        "  POINT Z (1 2 0)\n";
    const auto dump = readers::parseOgrInfo(output);
    EXPECT_EQ(dump.version, "AC1015");
    EXPECT_EQ(dump.codePage, "30");
    EXPECT_THAT(dump.texts, ElementsAre(FieldsAre("", "", "", -50.3187372547813, 134.695759123913,
                                                  "Jen teksto simpla, cxu ne?", "")));
    EXPECT_THAT(dump.attributes, IsEmpty());
}

// ---- The readers on real drawings, checked against their DXF twins ----

std::filesystem::path samplesDir() { return std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg"; }

// Just enough of an ASCII DXF: the header's $ACADVER and the TEXT, ATTRIB and
// INSERT entities, wherever they lie (blocks or entities section).
struct DxfTwin {
    struct Entity {
        std::string kind, handle, owner, name, style = "Standard", value;
        double x = 0, y = 0;
    };
    std::string version;
    std::vector<Entity> entities;

    std::vector<Entity> of(std::string_view kind) const {
        std::vector<Entity> found;
        std::copy_if(entities.begin(), entities.end(), std::back_inserter(found),
                     [&](const Entity& e) { return e.kind == kind; });
        return found;
    }
};

DxfTwin readDxf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::pair<int, std::string>> pairs;
    std::string code, value;
    while (std::getline(in, code) && std::getline(in, value)) {
        if (!value.empty() && value.back() == '\r') value.pop_back();
        pairs.emplace_back(std::stoi(code), value);
    }
    DxfTwin twin;
    DxfTwin::Entity* current = nullptr;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const auto& [c, v] = pairs[i];
        if (c == 9 && v == "$ACADVER" && i + 1 < pairs.size()) twin.version = pairs[i + 1].second;
        if (c == 0) {
            current = nullptr;
            if (v == "TEXT" || v == "ATTRIB" || v == "INSERT") {
                current = &twin.entities.emplace_back();
                current->kind = v;
            }
            continue;
        }
        if (!current) continue;
        switch (c) {
        case 5: current->handle = v; break;
        case 330: current->owner = v; break;
        case 1: current->value = v; break;
        case 2: current->name = v; break;  // ATTRIB tag, INSERT block name
        case 7: current->style = v; break;
        case 10: current->x = std::stod(v); break;
        case 20: current->y = std::stod(v); break;
        default: break;
        }
    }
    return twin;
}

// Each reader runs once per drawing, however many tests look at the result.
const readers::Dump* dumpOnce(Reader reader, const std::string& file, std::string* whyMissing) {
    static std::map<std::pair<Reader, std::string>, std::optional<readers::Dump>> cache;
    const auto key = std::make_pair(reader, file);
    if (!cache.contains(key)) cache[key] = readers::dump(reader, samplesDir() / file, whyMissing);
    if (!cache[key] && whyMissing->empty()) *whyMissing = readers::missingReason(reader);
    return cache[key] ? &*cache[key] : nullptr;
}

constexpr double kTolerance = 1e-6;  // DXF writes 16 significant digits

// Both skip the test, with the reason, when the sample or the reader is absent.
#define REQUIRE_SAMPLE(file)                              \
    if (!std::filesystem::exists(samplesDir() / (file))) \
    GTEST_SKIP() << "sample drawing " << (file) << " is not in " << samplesDir()

#define REQUIRE_DUMP(variable, reader, file)                                       \
    std::string variable##WhyMissing;                                              \
    const readers::Dump* variable = dumpOnce(reader, file, &variable##WhyMissing); \
    if (!variable) GTEST_SKIP() << variable##WhyMissing

class WasmReaders : public ::testing::TestWithParam<std::tuple<Reader, std::string>> {
protected:
    Reader reader() const { return std::get<0>(GetParam()); }
    std::string drawing() const { return std::get<1>(GetParam()) + ".dwg"; }
    DxfTwin twin() const { return readDxf(samplesDir() / (std::get<1>(GetParam()) + ".dxf")); }
};

TEST_P(WasmReaders, VersionAndStylesMatchTheDxfTwin) {
    REQUIRE_SAMPLE(drawing());
    REQUIRE_DUMP(dump, reader(), drawing());
    EXPECT_EQ(dump->version, twin().version);
    // The twins' only style is "Standard" on the font file "txt".
    EXPECT_THAT(dump->styles, ElementsAre(FieldsAre("Standard", "txt", "0")));
}

TEST_P(WasmReaders, TextsMatchTheDxfTwin) {
    REQUIRE_SAMPLE(drawing());
    REQUIRE_DUMP(dump, reader(), drawing());
    std::vector<std::string> expected, found;
    for (const auto& t : twin().of("TEXT")) expected.push_back(t.value);
    for (const auto& t : dump->texts) found.push_back(t.text);
    EXPECT_THAT(found, UnorderedElementsAreArray(expected));

    for (const auto& t : twin().of("TEXT")) {
        const auto it = std::find_if(dump->texts.begin(), dump->texts.end(),
                                     [&](const readers::Text& r) { return r.handle == t.handle; });
        ASSERT_NE(it, dump->texts.end()) << "no TEXT with handle " << t.handle;
        EXPECT_EQ(it->text, t.value);
        EXPECT_EQ(it->style, t.style);
        EXPECT_EQ(it->owner, "*Model_Space");
        EXPECT_NEAR(it->x, t.x, kTolerance);
        EXPECT_NEAR(it->y, t.y, kTolerance);
        EXPECT_EQ(it->generation, "0");
    }
}

TEST_P(WasmReaders, InsertsMatchTheDxfTwin) {
    REQUIRE_SAMPLE(drawing());
    REQUIRE_DUMP(dump, reader(), drawing());
    const auto inserts = twin().of("INSERT");
    ASSERT_EQ(dump->inserts.size(), inserts.size());
    for (const auto& i : inserts) {
        const auto it = std::find_if(dump->inserts.begin(), dump->inserts.end(),
                                     [&](const readers::Insert& r) { return r.handle == i.handle; });
        ASSERT_NE(it, dump->inserts.end()) << "no INSERT with handle " << i.handle;
        EXPECT_EQ(it->block, i.name);
        EXPECT_NEAR(it->x, i.x, kTolerance);
        EXPECT_NEAR(it->y, i.y, kTolerance);
    }
}

std::string caseName(const ::testing::TestParamInfo<WasmReaders::ParamType>& info) {
    return std::string(readers::readerName(std::get<0>(info.param))) + "_" + std::get<1>(info.param);
}

INSTANTIATE_TEST_SUITE_P(Samples, WasmReaders,
                         ::testing::Combine(::testing::Values(Reader::LibreDwg, Reader::LibDxfRw),
                                            ::testing::Values("example_2000", "example_2004")),
                         caseName);

// libdxfrw does not read ATTRIB entities; LibreDWG does.
TEST(LibreDwgReader, AttributesMatchTheDxfTwin) {
    for (const std::string name : {"example_2000", "example_2004"}) {
        SCOPED_TRACE(name);
        REQUIRE_SAMPLE(name + ".dwg");
        REQUIRE_DUMP(dump, Reader::LibreDwg, name + ".dwg");
        const auto attributes = readDxf(samplesDir() / (name + ".dxf")).of("ATTRIB");
        ASSERT_EQ(dump->attributes.size(), attributes.size());
        for (const auto& a : attributes) {
            const auto it = std::find_if(dump->attributes.begin(), dump->attributes.end(),
                                         [&](const readers::Attribute& r) { return r.handle == a.handle; });
            ASSERT_NE(it, dump->attributes.end()) << "no ATTRIB with handle " << a.handle;
            EXPECT_EQ(it->insert, a.owner);
            EXPECT_EQ(it->tag, a.name);
            EXPECT_EQ(it->text, a.value);
            EXPECT_EQ(it->style, a.style);
            EXPECT_NEAR(it->x, a.x, kTolerance);
            EXPECT_NEAR(it->y, a.y, kTolerance);
        }
    }
}

TEST(OgrReader, ReadsTheRelease2000Twin) {
    REQUIRE_SAMPLE("example_2000.dwg");
    REQUIRE_DUMP(dump, Reader::Ogr, "example_2000.dwg");
    const auto twin = readDxf(samplesDir() / "example_2000.dxf");
    EXPECT_EQ(dump->version, twin.version);
    // GDAL's DWG library stops early in this drawing and delivers only some of
    // its entities (none of its two TEXTs), so only "nothing invented" holds.
    std::vector<std::string> expected;
    for (const auto& t : twin.of("TEXT")) expected.push_back(t.value);
    for (const auto& t : dump->texts) EXPECT_THAT(expected, ::testing::Contains(t.text));
}

// Where GDAL's library does deliver the TEXT, it must agree with LibreDWG.
TEST(OgrReader, AgreesWithLibreDwgOnAText) {
    REQUIRE_SAMPLE("sample_2000.dwg");
    REQUIRE_DUMP(ogr, Reader::Ogr, "sample_2000.dwg");
    REQUIRE_DUMP(libre, Reader::LibreDwg, "sample_2000.dwg");
    ASSERT_EQ(ogr->texts.size(), 1U);
    ASSERT_EQ(libre->texts.size(), 1U);
    EXPECT_EQ(ogr->texts[0].text, "Jen teksto simpla, cxu ne?");
    EXPECT_EQ(ogr->texts[0].text, libre->texts[0].text);
    // ogrinfo prints 15 significant digits.
    EXPECT_NEAR(ogr->texts[0].x, libre->texts[0].x, 1e-9);
    EXPECT_NEAR(ogr->texts[0].y, libre->texts[0].y, 1e-9);
}

// The drawings of another program's writer (samples/dwg/foreign) are read by
// LibreDWG, and the release 2000 ones by libdxfrw, with the texts and
// references of the AutoCAD drawings they were rewritten from: refusing them
// would be a false alarm.
TEST(ForeignSamples, IndependentReadersReadThemAsTheirOriginals) {
    const std::vector<std::pair<std::string, std::string>> foreign{
        {"foreign/rw2000_example_2000.dwg", "example_2000.dwg"}, {"foreign/rw2000_example_2004.dwg", "example_2004.dwg"},
        {"foreign/rw2000_sample_2000.dwg", "sample_2000.dwg"},   {"foreign/rw2004_example_2000.dwg", "example_2000.dwg"},
        {"foreign/rw2004_text_2004.dwg", "text_2004.dwg"}};
    for (const auto& [file, original] : foreign) {
        SCOPED_TRACE(file);
        REQUIRE_SAMPLE(file);
        for (const Reader reader : {Reader::LibreDwg, Reader::LibDxfRw}) {
            if (reader == Reader::LibDxfRw && file.find("rw2004") != std::string::npos) continue;
            SCOPED_TRACE(readers::readerName(reader));
            REQUIRE_DUMP(rewritten, reader, file);
            REQUIRE_DUMP(autocad, reader, original);
            EXPECT_EQ(rewritten->texts.size(), autocad->texts.size());
            EXPECT_EQ(rewritten->inserts.size(), autocad->inserts.size());
        }
    }
}

// A reader that cannot read a file must say so rather than return too little.
TEST(AllReaders, TruncatedDrawingIsAFailure) {
    REQUIRE_SAMPLE("example_2000.dwg");
    std::ifstream in(samplesDir() / "example_2000.dwg", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto cut = std::filesystem::temp_directory_path() / ("corvelin-cut-" + std::to_string(::getpid()) + ".dwg");
    std::ofstream(cut, std::ios::binary).write(bytes.data(), 30000);
    int ran = 0;
    for (const Reader reader : {Reader::LibreDwg, Reader::LibDxfRw, Reader::Ogr}) {
        SCOPED_TRACE(readers::readerName(reader));
        if (!readers::missingReason(reader).empty()) continue;
        ++ran;
        EXPECT_THAT([&] { readers::dump(reader, cut, nullptr); },
                    ThrowsMessage<std::runtime_error>(HasSubstr(cut.string())));
    }
    std::filesystem::remove(cut);
    if (ran == 0) GTEST_SKIP() << readers::missingReason(Reader::LibreDwg);
}

}  // namespace
