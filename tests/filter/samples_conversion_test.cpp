// Converting every sample drawing the engine reads: the result is an AutoCAD
// 2004 drawing that re-opens, its texts are the conversions of the
// originals, its styles name "Arial.ttf" with generation flag 0, and every
// other object is unchanged: bit for bit from a 2004 drawing, and field by
// field (every field both releases have) from an older one.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>

#include <unistd.h>

#include "dwg/drawing/drawing.h"
#include "dwg/drawing/text_codec.h"
#include "dwg/errors.h"
#include "dwg/objects/object.h"
#include "filter/batch.h"
#include "support/code_pages.h"

namespace {

namespace fs = std::filesystem;

// The single-byte form the filter converts: the drawing's code page, with
// Windows-1255 for the Hebrew letters it lacks.
std::string singleByte(const std::u16string& text, const support::CodePage& page) {
    std::string out;
    for (char16_t c : text) {
        auto b = page.fromUnicode(c);
        if (!b)
            b = support::CodePage::windows1255().fromUnicode(c);
        out += static_cast<char>(b.value_or('?'));
    }
    return out;
}

// An object's fields by name (a name a list repeats gathers its values),
// colours in their 2004 form, strings as characters (UTF-16), whatever form
// and code page the release stores them in.
std::map<std::string, std::string> fieldsOf(const dwg::Drawing& d, std::uint64_t handle) {
    dwg::Object o = d.objects().decode(handle);
    // Escapes (\U+XXXX) in UTF-16 strings are taken as the characters they
    // stand for, as they are in 8-bit ones.
    const auto asCharacters = [&](dwg::Text& t) {
        dwg::Text units;
        units.units = dwg::decodeText(t, d.textCodePage());
        if (!t.units.empty())
            units.units = dwg::decodeDrawingText(dwg::encodeDrawingText(t.units, d.textCodePage()), d.textCodePage());
        units.terminated = t.terminated;
        t = units;
    };
    dwg::visitHandles(
        o, d.release(), [](const char*, dwg::HandleRef&) {},
        [&](dwg::CmColor& c) {
            c = dwg::colorForRelease(c, dwg::Release::R2004);
            asCharacters(c.name);
            asCharacters(c.bookName);
        },
        [&](const char*, dwg::Text& t) { asCharacters(t); });
    std::map<std::string, std::string> out;
    for (const dwg::PrintedField& f : dwg::describeObject(o, d.release()))
        out[f.name] += f.value + ";";
    return out;
}

// Fields that 2007 and later store otherwise than 2004, so that a 2004 save
// gives them in the older form (AutoCAD's own 2004 saves are the check for
// these, in the engine's tests): strings in extended data and XRECORDs, a
// table cell's string value (UTF-16 bytes), a visual style's opacity and
// specular highlight (the sign before 2010), a spline's scenario (2013 and
// later decide it by flags), a 2010 table's cells and table style's rows
// (table content and cell styles, checked against AutoCAD's 2004 bytes in
// the engine's tests), a
// 2010 multileader's leader lines, whose fields share names with the
// style's own, 2018's dimension style table without its repeated list and
// model layout without its viewport. The rest of an object's handles kept
// as bits ("later handles") ends with the padding of its release.
bool isStoredOtherwiseBefore2007(std::string_view type, const std::string& name) {
    if (name.starts_with("eed") || name == "items" || name == "item bytes" || name == "string" ||
        name == "scenario" || name == "face opacity" || name == "face specular" || name == "later handles")
        return true;
    if (name == "more handle count" || name == "more" || name == "active viewport")
        return true;
    return type == "TABLESTYLE" || type == "ACAD_TABLE" || type == "MULTILEADER";
}

// Every object the conversion kept has the fields of the original that
// both releases have; what it left out is reported (or is one of the VX
// objects 2004 has not).
void expectSameFieldsAfterReleaseChange(const dwg::Drawing& before, const dwg::Drawing& after,
                                        const std::set<std::uint64_t>& changed,
                                        const std::vector<filter::DroppedObject>& dropped) {
    std::set<std::string> reported;
    for (const auto& d : dropped)
        reported.insert(d.handle);
    // An object that referred to a left-out one lost that reference.
    const auto refersToDropped = [&](const std::map<std::string, std::string>& fields) {
        for (const auto& [name, value] : fields)
            for (const std::string& handle : reported)
                if ((";" + value).find(";" + handle + ";") != std::string::npos)
                    return true;
        return false;
    };
    for (const dwg::ObjectLocation& object : before.objects().file().objects) {
        const std::string handle = dwg::handleText(object.handle);
        if (!after.objects().contains(object.handle)) {
            const auto type = before.objects().typeOf(object.handle);
            EXPECT_TRUE(reported.contains(handle) || type == 70 || type == 71) << handle << " is missing";
            continue;
        }
        if (changed.contains(object.handle))
            continue;
        const auto a = fieldsOf(before, object.handle);
        const auto b = fieldsOf(after, object.handle);
        if (refersToDropped(a))
            continue;
        for (const auto& [name, value] : a) {
            // The classes 2004 gives fixed types change their type number;
            // R13-R14 name the dimension arrow blocks that 2000 points at.
            if (name == "type" || name.starts_with("DIMBLK") || !b.contains(name))
                continue;
            if (before.release() >= dwg::Release::R2007 &&
                isStoredOtherwiseBefore2007(before.objects().dxfNameOf(object.handle), name))
                continue;
            EXPECT_EQ(value, b.at(name)) << handle << " " << name;
        }
    }
}

TEST(SampleConversion, EverySampleConvertsWithEverythingElseUnchanged) {
    const fs::path samples = fs::path(CORVELIN_SAMPLES_DIR) / "dwg";
    if (!fs::exists(samples))
        GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
    const fs::path out = fs::temp_directory_path() / ("corvelin-samples-" + std::to_string(::getpid()));
    fs::create_directories(out);
    hebrew::FontTable fonts;
    const filter::FixedOptions rightToLeft(false);
    int converted = 0;
    int drawings = 0;
    for (const auto& entry : fs::recursive_directory_iterator(samples)) {
        if (entry.path().extension() != ".dwg")
            continue;
        const std::string name = fs::relative(entry.path(), samples).string();
        SCOPED_TRACE(name);
        const fs::path output = out / (std::to_string(drawings++) + ".dwg");
        dwg::Drawing original = dwg::Drawing::open(entry.path());
        const auto report =
            filter::convertDrawing(fonts, rightToLeft, {}, entry.path(), output);
        ASSERT_EQ(report.status, filter::RunStatus::Done) << (report.errors.empty() ? "" : report.errors.front());
        ++converted;
        // What a save leaves out is a small part of any drawing.
        EXPECT_LE(report.objectsDropped.size() * 100, original.objects().file().objects.size());
        dwg::Drawing result = dwg::Drawing::open(output);

        for (std::uint64_t style : result.textStyles()) {
            EXPECT_EQ(result.styleFontFile(style), u"Arial.ttf");
            EXPECT_EQ(result.style(style).generation, 0);
        }

        // Each text and attribute, converted as the filter converts it.
        hebrew::Converter converter(fonts);
        std::set<std::uint64_t> changed(original.textStyles().begin(), original.textStyles().end());
        auto check = [&](std::uint64_t handle, bool attribute) {
            changed.insert(handle);
            const std::uint64_t styleHandle = original.textStyle(handle);
            converter.CurrentKind =
                converter.FontKindOf(singleByte(original.styleFontFile(styleHandle), original.textCodePage()));
            converter.CurrentBackward =
                original.style(styleHandle).generation != 0 || (!attribute && original.backward(handle));
            std::string t = singleByte(original.textString(handle), original.textCodePage());
            if (!hebrew::Converter::TextFitsKind(converter.CurrentKind, t))
                t = hebrew::Converter::RepairLetters(converter.CurrentKind, t);
            EXPECT_EQ(result.textString(handle),
                      support::CodePage::windows1255().decode(converter.ConvertForRtl(t)))
                << dwg::handleText(handle);
            EXPECT_FALSE(result.backward(handle));
        };
        std::set<std::uint64_t> seen;
        for (std::uint64_t block : original.blocks())
            for (std::uint64_t e : original.blockEntities(block)) {
                if (original.isText(e) && seen.insert(e).second)
                    check(e, false);
                if (original.isBlockReference(e))
                    for (std::uint64_t a : original.attributes(e))
                        if (seen.insert(a).second)
                            check(a, true);
            }

        EXPECT_EQ(result.release(), dwg::Release::R2004);
        EXPECT_EQ(report.releaseWritten, "2004");
        if (original.release() != dwg::Release::R2004) {
            expectSameFieldsAfterReleaseChange(original, result, changed, report.objectsDropped);
            continue;
        }
        // Everything else is as it was, bit for bit.
        const auto& before = original.objects().file();
        const auto& after = result.objects().file();
        ASSERT_EQ(after.objects.size(), before.objects.size());
        for (std::size_t i = 0; i < before.objects.size(); ++i) {
            const auto& object = before.objects[i];
            if (changed.count(object.handle))
                continue;
            const auto a = before.bytesOf(object);
            const auto b = after.bytesOf(after.objects[i]);
            EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << dwg::handleText(object.handle);
        }
    }
    fs::remove_all(out);
    EXPECT_GE(converted, 100);
}

}  // namespace

namespace {

// The same Hebrew strings written into AutoCAD's 2004 and 2018 saves of one
// drawing (its texts and attributes, one text mirrored, through a save in
// the drawing's own release) convert to the same texts: DOS letters (in
// 2018 as the C1 controls AutoCAD makes of DOS bytes 0x80-0x9F), keyboard
// letters and Windows letters, each under a style of its font kind.
TEST(SampleConversion, HebrewOf2018DrawingsConvertsAsIn2004) {
    const fs::path samples = fs::path(CORVELIN_SAMPLES_DIR) / "dwg";
    if (!fs::exists(samples / "example_2004.dwg") || !fs::exists(samples / "example_2018.dwg"))
        GTEST_SKIP() << "example_2004.dwg or example_2018.dwg is absent";
    const fs::path dir = fs::temp_directory_path() / ("corvelin-hebrew-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    hebrew::FontTable fonts;
    fonts.appendRow({"HEBREW", "DosHebrew"});
    fonts.appendRow({"KEYS", "DosEnglish"});
    const filter::FixedOptions rightToLeft(false);

    // DOS Hebrew "shalom olam", as 2004 reads the bytes (Windows-1252) and as
    // 2018 holds them; keyboard letters; Windows letters.
    const std::string dos = "\x99\x8C\x85\x8E \x92\x8C\x8D";
    std::u16string dosIn2018;
    for (const char c : dos)
        dosIn2018 += static_cast<unsigned char>(c) >= 0x80 ? char16_t(static_cast<unsigned char>(c)) : char16_t(c);
    const struct {
        const char16_t* font;
        std::u16string in2004, in2018;
    } kinds[] = {
        {u"hebrew.shx", support::CodePage::windows1252().decode(dos), dosIn2018},
        {u"keys.shx", u"arkv gukn", u"arkv gukn"},
        {u"telvos1.shx", u"\u05E9\u05DC\u05D5\u05DD 12", u"\u05E9\u05DC\u05D5\u05DD 12"},
    };
    for (const auto& kind : kinds) {
        std::map<std::string, std::map<std::uint64_t, std::u16string>> converted;
        for (const std::string release : {"2004", "2018"}) {
            SCOPED_TRACE(release);
            dwg::Drawing d = dwg::Drawing::open(samples / ("example_" + release + ".dwg"));
            for (std::uint64_t style : d.textStyles())
                d.setStyleFontFile(style, kind.font);
            std::vector<std::uint64_t> texts;
            for (std::uint64_t block : d.blocks())
                for (std::uint64_t e : d.blockEntities(block)) {
                    if (d.isText(e))
                        texts.push_back(e);
                    if (d.isBlockReference(e))
                        for (std::uint64_t a : d.attributes(e))
                            texts.push_back(a);
                }
            ASSERT_GE(texts.size(), 4U);
            for (std::uint64_t text : texts)
                d.setTextString(text, release == "2004" ? kind.in2004 : kind.in2018);
            d.setBackward(texts.front(), true);
            const fs::path in = dir / ("in_" + release + ".dwg"), out = dir / ("out_" + release + ".dwg");
            d.save(in);
            const auto report = filter::convertDrawing(fonts, rightToLeft, {}, in, out);
            ASSERT_EQ(report.status, filter::RunStatus::Done) << (report.errors.empty() ? "" : report.errors.front());
            dwg::Drawing result = dwg::Drawing::open(out);
            EXPECT_EQ(result.release(), dwg::Release::R2004);
            for (std::uint64_t text : texts)
                converted[release][text] = result.textString(text);
        }
        EXPECT_EQ(converted["2004"], converted["2018"]);
        // Converted into Windows-1255 letters, not left as written.
        for (const auto& [handle, text] : converted["2018"])
            EXPECT_NE(text.find(u'\u05DC'), std::u16string::npos) << dwg::handleText(handle);
    }
    fs::remove_all(dir);
}

}  // namespace
