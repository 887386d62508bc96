// The data items of extended data and XRECORDs: every blob of every sample
// parses to its end and comes back unchanged through an identity recode;
// strings of AutoCAD's 2018 saves recoded to 2004 give the bytes AutoCAD
// wrote in its 2004 saves; worked examples from the format document.

#include "dwg/objects/data_items.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "dwg/container/dwg_file.h"
#include "dwg/drawing/text_codec.h"
#include "dwg/errors.h"
#include "dwg/objects/classes.h"
#include "dwg/objects/object.h"
#include "dwg/objects/walks/dictionaries.h"
#include "support/hex.h"
#include "tests/dwg/test_support.h"

namespace {

namespace fs = std::filesystem;
using dwg::Release;
using dwg::StringRecoding;
using dwg::Text;
using dwg::test::hexToBytes;
using testing::HasSubstr;
using testing::ThrowsMessage;

using dwg::test::sampleDrawings;

struct Sample {
    dwg::DwgFile file;
    std::map<std::uint64_t, dwg::Object> objects;  // every object that decodes, by handle
};

Sample loadDrawing(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Sample sample{dwg::readDwgFile(bytes), {}};
    const dwg::ClassList classes = dwg::decodeClasses(sample.file.classes, sample.file.release);
    for (const dwg::ObjectLocation& location : sample.file.objects) {
        // Whether every object decodes is the object walk test's concern
        // (two placeholders of another program's writer do not).
        try {
            sample.objects.emplace(location.handle,
                                   dwg::decodeObject(sample.file.bytesOf(location), sample.file.release, classes));
        } catch (const dwg::FormatError&) {
        }
    }
    return sample;
}

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

void appendUnits(std::vector<std::uint8_t>& out, std::u16string_view units) {
    for (const char16_t u : units) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
}

// UTF-16 to the bytes of a drawing code page, as AutoCAD writes strings that
// the page lacks characters for (\U+XXXX).
StringRecoding toEightBit(Release from, Release to, std::uint16_t codePage) {
    return {from, to, codePage, [codePage](const Text& text) {
                Text out = Text::fromBytes(dwg::encodeDrawingText(text.units, dwg::codePageOf(codePage)));
                out.terminated = text.terminated;
                return out;
            }};
}

StringRecoding toUnicode(Release from, Release to, std::uint16_t codePage) {
    return {from, to, codePage, [codePage](const Text& text) {
                Text out;
                out.units = dwg::decodeDrawingText(text.bytes, dwg::codePageOf(codePage));
                out.terminated = text.terminated;
                return out;
            }};
}

TEST(DataItems, EveryBlobOfEverySampleParsesAndComesBackUnchanged) {
    const auto samples = sampleDrawings();
    if (samples.empty())
        GTEST_SKIP() << "no sample drawings in " << CORVELIN_SAMPLES_DIR;
    // Blobs and strings by whether their release stores strings as UTF-16.
    std::map<std::pair<std::string, bool>, int> blobs, strings;
    for (const fs::path& path : samples) {
        Sample sample = loadDrawing(path);
        const Release release = sample.file.release;
        const std::string name = fs::relative(path, fs::path(CORVELIN_SAMPLES_DIR) / "dwg").string();
        const bool unicode = dwg::isUnicode(release);
        int stringCount = 0;
        const StringRecoding identity{release, release, sample.file.codePage, [&](const Text& text) {
                                          ++stringCount;
                                          return text;
                                      }};
        const auto check = [&](const std::string& what, std::span<const std::uint8_t> bytes, const std::string& where,
                               auto recode) {
            stringCount = 0;
            std::vector<std::string> problems;
            try {
                const auto again = recode(bytes, identity, problems);
                EXPECT_TRUE(std::equal(again.begin(), again.end(), bytes.begin(), bytes.end()))
                    << where << ": " << what << " comes back as other bytes";
            } catch (const dwg::FormatError& e) {
                ADD_FAILURE() << where << ": " << e.what();
            }
            EXPECT_THAT(problems, testing::IsEmpty()) << where;
            ++blobs[{what, unicode}];
            strings[{what, unicode}] += stringCount;
        };
        for (auto& [handle, object] : sample.objects) {
            const std::string where = name + " object " + support::hexNumber(handle);
            for (const dwg::ExtendedData& block : object.common.extendedData)
                check("extended data", block.bytes, where, &dwg::recodeExtendedData);
            if (const auto* x = object.as<dwg::XRecordObject>())
                check("xrecord", x->items, where, &dwg::recodeXRecordItems);
        }
    }
    for (const auto& [key, n] : blobs)
        std::cout << key.first << (key.second ? " (2007+): " : " (R13-2004): ") << n << " blobs, "
                  << strings[key] << " strings\n";
    // Both blobs and both string forms occur in the samples, so each form is
    // checked against AutoCAD's files, not only against the document.
    for (const std::string what : {"extended data", "xrecord"})
        for (const bool unicode : {false, true})
            EXPECT_GT((strings[{what, unicode}]), 0) << what << (unicode ? " 2007+" : " R13-2004");
}

// The same drawings saved by AutoCAD as 2018 and as 2004 (series/): the
// 2018 blobs recoded to 2004 give AutoCAD's 2004 bytes wherever the two
// saves hold the same content.
TEST(DataItems, Series2018RecodedTo2004IsWhatAutoCadWroteIn2004) {
    const fs::path root = fs::path(CORVELIN_SAMPLES_DIR) / "dwg" / "series";
    if (!fs::is_directory(root / "2018") || !fs::is_directory(root / "2004"))
        GTEST_SKIP() << "no series drawings in " << root;
    // Blobs both saves hold, those of the same content, those recoded to
    // AutoCAD's bytes, and the strings in them, by blob.
    std::map<std::string, int> pairs, sameContent, agreeing, strings;
    for (const auto& entry : fs::directory_iterator(root / "2018")) {
        if (entry.path().extension() != ".dwg" || !fs::exists(root / "2004" / entry.path().filename()))
            continue;
        Sample later = loadDrawing(entry.path());
        Sample earlier = loadDrawing(root / "2004" / entry.path().filename());
        const std::uint16_t page = earlier.file.codePage;
        auto down = toEightBit(later.file.release, Release::R2004, page);
        int stringCount = 0;
        down.recode = [&stringCount, recode = down.recode](const Text& text) {
            ++stringCount;
            return recode(text);
        };
        const auto up = toUnicode(Release::R2004, later.file.release, page);
        const auto compare = [&](const std::string& what, const std::string& where, std::span<const std::uint8_t> ours,
                                 std::span<const std::uint8_t> theirs, auto recode) {
            ++pairs[what];
            std::vector<std::string> problems;
            // The content is the same when AutoCAD's 2004 bytes read as UTF-16
            // are the 2018 bytes.
            const auto theirsUp = recode(theirs, up, problems);
            if (!std::equal(theirsUp.begin(), theirsUp.end(), ours.begin(), ours.end()))
                return;
            ++sameContent[what];
            stringCount = 0;
            const auto oursDown = recode(ours, down, problems);
            strings[what] += stringCount;
            EXPECT_THAT(problems, testing::IsEmpty()) << where;
            if (std::equal(oursDown.begin(), oursDown.end(), theirs.begin(), theirs.end()))
                ++agreeing[what];
            else
                ADD_FAILURE() << where << " " << what << ": recoded to 2004, other bytes than AutoCAD's";
        };
        for (auto& [handle, object] : later.objects) {
            const auto other = earlier.objects.find(handle);
            if (other == earlier.objects.end())
                continue;
            const std::string where = entry.path().filename().string() + " object " + support::hexNumber(handle);
            for (const dwg::ExtendedData& block : object.common.extendedData)
                for (const dwg::ExtendedData& theirs : other->second.common.extendedData)
                    if (object.common.resolve(block.application) == other->second.common.resolve(theirs.application))
                        compare("extended data", where, block.bytes, theirs.bytes, &dwg::recodeExtendedData);
            const auto* x = object.as<dwg::XRecordObject>();
            const auto* y = other->second.as<dwg::XRecordObject>();
            if (x != nullptr && y != nullptr)
                compare("xrecord", where, x->items, y->items, &dwg::recodeXRecordItems);
        }
    }
    for (const std::string what : {"extended data", "xrecord"}) {
        std::cout << what << ": " << pairs[what] << " in both saves, " << sameContent[what]
                  << " with the same content, " << agreeing[what] << " recoded to AutoCAD's bytes ("
                  << strings[what] << " strings)\n";
        EXPECT_GT(strings[what], 0) << what;
        // Every blob the two saves share holds the same content (AutoCAD
        // changed none of them between the releases), and each comes out
        // as AutoCAD's 2004 bytes: strings as Windows-1252 bytes with code
        // page 30, every other value unchanged.
        EXPECT_EQ(agreeing[what], pairs[what]) << what;
    }
}

// ODA §20.4.104.1: the items of the document's XRECORD example (86 bytes,
// the "Numdatabytes" 0x56 before them): 1 "This is a test xrecord list"
// (RS length 0x1B, RC code page 0x0C), 10 (1, 2, 0), 40 3.14159,
// 50 3.14159, 62 1, 70 180.
std::vector<std::uint8_t> documentXRecordItems() {
    auto items = hexToBytes("01 00 1B 00 0C");
    const auto text = bytesOf("This is a test xrecord list");
    items.insert(items.end(), text.begin(), text.end());
    const auto rest = hexToBytes(
        "0A 00 00 00 00 00 00 00 F0 3F 00 00 00 00 00 00 00 40 00 00 00 00 00 00 00 00"
        "28 00 6F 86 1B F0 F9 21 09 40"
        "32 00 D7 35 33 F0 F9 21 09 40"
        "3E 00 01 00"
        "46 00 B4 00");
    items.insert(items.end(), rest.begin(), rest.end());
    return items;
}

TEST(DataItems, TheDocumentsXRecordExampleInBothStringForms) {
    const auto items = documentXRecordItems();
    ASSERT_EQ(items.size(), 0x56U);
    std::vector<std::string> problems;
    EXPECT_EQ(dwg::recodeXRecordItems(items, {Release::R14, Release::R14, 30, {}}, problems), items);

    // From 2007 on the string is RS 27 and 27 UTF-16 units; the code page
    // byte is gone and everything else stays.
    std::vector<std::uint8_t> unicode = hexToBytes("01 00 1B 00");
    appendUnits(unicode, u"This is a test xrecord list");
    unicode.insert(unicode.end(), items.begin() + 32, items.end());
    EXPECT_EQ(dwg::recodeXRecordItems(items, toUnicode(Release::R14, Release::R2007, 12), problems), unicode);
    EXPECT_EQ(dwg::recodeXRecordItems(unicode, toEightBit(Release::R2007, Release::R14, 12), problems), items);
    EXPECT_THAT(problems, testing::IsEmpty());

    // Cut short, or with a group code DXF gives no type.
    const std::span<const std::uint8_t> cut(items.data(), items.size() - 1);
    EXPECT_THAT([&] { dwg::recodeXRecordItems(cut, {Release::R14, Release::R14, 30, {}}, problems); },
                ThrowsMessage<dwg::FormatError>(
                    HasSubstr("xrecord: value of group code 70: expected 2 bytes, found 1 at byte 82")));
    auto unknown = items;
    unknown[82] = 200;  // 180-209 have no type
    EXPECT_THAT([&] { dwg::recodeXRecordItems(unknown, {Release::R14, Release::R14, 30, {}}, problems); },
                ThrowsMessage<dwg::FormatError>(
                    HasSubstr("xrecord: expected a group code with a value form, found 200 at byte 82")));
}

// ODA §28: an extended data string before 2007 is RC length, the code page
// (two bytes, high byte first in AutoCAD's files) and the bytes, so it holds
// 255 bytes; a Hebrew letter in a Windows-1252
// drawing takes 7 (\U+05D0).
TEST(DataItems, ALongHebrewExtendedDataStringIsShortenedAtAnEscapeAndReported) {
    std::u16string text = u"ab";
    for (int i = 0; i < 40; ++i)
        text += static_cast<char16_t>(u'\u05D0' + i % 27);
    // 2007+: code 0 (1000), RS 42, the units; then 1070 = 5 and 1002 "}".
    std::vector<std::uint8_t> eed = hexToBytes("00 2A 00");
    appendUnits(eed, text);
    const auto tail = hexToBytes("46 05 00 02 01");
    eed.insert(eed.end(), tail.begin(), tail.end());

    std::vector<std::string> problems;
    const auto out = dwg::recodeExtendedData(eed, toEightBit(Release::R2018, Release::R2004, 30), problems);
    // "ab" and 36 escapes: 254 bytes; a 37th escape would make 261.
    std::string kept = "ab";
    for (int i = 0; i < 36; ++i) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\U+%04X", 0x05D0 + i % 27);
        kept += escape;
    }
    std::vector<std::uint8_t> expected = hexToBytes("00 FE 00 1E");
    expected.insert(expected.end(), kept.begin(), kept.end());
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(out, expected);
    ASSERT_EQ(problems.size(), 1U);
    EXPECT_THAT(problems[0], HasSubstr("extended data: string of group code 1000 at byte 0 has 282 bytes in 2004"));
    EXPECT_THAT(problems[0], HasSubstr("kept the first 38 characters (254 bytes), dropped the last 4"));

    // XRECORD strings have an RS length: the same string fits whole.
    std::vector<std::uint8_t> xrecord = hexToBytes("01 00 2A 00");
    appendUnits(xrecord, text);
    problems.clear();
    const auto whole = dwg::recodeXRecordItems(xrecord, toEightBit(Release::R2018, Release::R2004, 30), problems);
    EXPECT_EQ(whole.size(), 2 + 2 + 1 + 282U);
    EXPECT_THAT(problems, testing::IsEmpty());
}

}  // namespace
