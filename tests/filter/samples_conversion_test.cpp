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
// colours in their 2004 form.
std::map<std::string, std::string> fieldsOf(const dwg::Drawing& d, std::uint64_t handle) {
    dwg::Object o = d.objects().decode(handle);
    dwg::visitHandles(o, dwg::Release::R2004, [](const char*, dwg::HandleRef&) {},
                      [](dwg::CmColor& c) { c = dwg::colorForRelease(c, dwg::Release::R2004); });
    std::map<std::string, std::string> out;
    for (const dwg::PrintedField& f : dwg::describeObject(o, d.release()))
        out[f.name] += f.value + ";";
    return out;
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
    for (const auto& entry : fs::directory_iterator(samples)) {
        if (entry.path().extension() != ".dwg")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        dwg::Drawing original = dwg::Drawing::open(entry.path());
        if (!original.canSaveAs(dwg::Release::R2004))
            continue;  // read and checked, not converted (see the convert command's tests)
        const auto report =
            filter::convertDrawing(fonts, rightToLeft, {}, entry.path(), out / entry.path().filename());
        ASSERT_EQ(report.status, filter::RunStatus::Done) << (report.errors.empty() ? "" : report.errors.front());
        ++converted;
        dwg::Drawing result = dwg::Drawing::open(out / entry.path().filename());

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
    EXPECT_GE(converted, 8);
}

}  // namespace
