// Drawings our engine saved, with every text and attribute changed to Hebrew,
// as three independent DWG readers see them: the same texts, attributes and
// styles as our engine lists.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>

#include <unistd.h>

#include "dwg/container/dwg_file.h"
#include "dwg/drawing/drawing.h"
#include "support/code_pages.h"
#include "tests/dwg/test_support.h"
#include "tests/readers/independent_readers.h"

namespace {

using dwg::Drawing;

struct Saved {
    std::filesystem::path file;
    std::map<std::string, std::string> texts;       // handle -> UTF-8
    std::map<std::string, std::string> rawTexts;    // handle -> stored bytes as Windows-1252, escapes literal
    std::map<std::string, std::string> attributes;  // handle -> UTF-8
    std::set<std::string> styles;                   // name|font
};

class SavedDrawings : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() / ("corvelin-saved-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    // Opens a sample, prefixes every text and attribute with Hebrew, saves it.
    std::optional<Saved> saveHebrew(const std::string& name) {
        auto bytes = dwg::test::loadSample(name + ".dwg");
        if (!bytes)
            return std::nullopt;
        Drawing d = Drawing::fromBytes(*bytes, name);
        const std::u16string hebrew = u"\u05D0\u05D1\u05D2 ";
        Saved saved;
        std::set<std::uint64_t> texts, attributes;
        dwg::test::forEachBlockText(d, [&](std::uint64_t h, bool attribute) {
            (attribute ? attributes : texts).insert(h);
        });
        for (std::uint64_t t : texts) {
            d.setTextString(t, hebrew + d.textString(t));
            saved.texts[dwg::handleText(t)] = support::toUtf8(d.textString(t));
            const std::string raw = d.text(t).value.bytes;
            saved.rawTexts[dwg::handleText(t)] = support::toUtf8(support::CodePage::windows1252().decode(raw));
        }
        for (std::uint64_t a : attributes) {
            d.setTextString(a, hebrew + d.textString(a));
            saved.attributes[dwg::handleText(a)] = support::toUtf8(d.textString(a));
        }
        for (std::uint64_t s : d.textStyles())
            saved.styles.insert(support::toUtf8(d.styleName(s)) + "|" + support::toUtf8(d.styleFontFile(s)));
        saved.file = m_dir / (name + ".dwg");
        d.save(saved.file);
        return saved;
    }

    std::filesystem::path m_dir;
};

void expectSameTexts(const readers::Dump& dump, const Saved& saved, bool withAttributes) {
    std::map<std::string, std::string> texts;
    for (const auto& t : dump.texts)
        texts[t.handle] = t.text;
    EXPECT_EQ(texts, saved.texts);
    if (withAttributes) {
        std::map<std::string, std::string> attributes;
        for (const auto& a : dump.attributes)
            attributes[a.handle] = a.text;
        EXPECT_EQ(attributes, saved.attributes);
    }
    std::set<std::string> styles;
    for (const auto& s : dump.styles)
        if (!s.name.empty())
            styles.insert(s.name + "|" + s.fontFile);
    for (const auto& s : saved.styles)
        EXPECT_TRUE(styles.count(s)) << s;
}

TEST_F(SavedDrawings, LibreDwgAndLibDxfRwReadEveryRelease) {
    for (const std::string name : {"example_r13", "example_r14", "example_2000", "example_2004", "text_2004",
                                   "example_2010", "example_2013", "example_2018", "text_2018"}) {
        SCOPED_TRACE(name);
        auto saved = saveHebrew(name);
        if (!saved)
            GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
        for (auto reader : {readers::Reader::LibreDwg, readers::Reader::LibDxfRw}) {
            SCOPED_TRACE(std::string(readers::readerName(reader)));
            std::string why;
            auto dump = readers::dump(reader, saved->file, &why);
            if (!dump)
                GTEST_SKIP() << why;
            // libdxfrw reads no attributes.
            expectSameTexts(*dump, *saved, reader == readers::Reader::LibreDwg);
        }
    }
}

// Every 2007-2018 sample as it is, read by our engine and by LibreDWG and
// libdxfrw: the same texts, attributes (LibreDWG; libdxfrw reads none) and
// styles.
TEST(LaterReleases, OurEngineAndTheReadersReadTheSameTextsAndStyles) {
    const std::filesystem::path root = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg";
    if (!std::filesystem::is_directory(root))
        GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
    for (const auto reader : {readers::Reader::LibreDwg, readers::Reader::LibDxfRw})
        if (!readers::missingReason(reader).empty())
            GTEST_SKIP() << readers::missingReason(reader);
    int compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.path().extension() != ".dwg" || entry.path().string().find("foreign") != std::string::npos)
            continue;
        Drawing d = Drawing::open(entry.path());
        if (d.release() < dwg::Release::R2007)
            continue;
        const std::string name = std::filesystem::relative(entry.path(), root).string();
        SCOPED_TRACE(name);
        std::map<std::string, std::string> texts, attributes;
        dwg::test::forEachBlockText(d, [&](std::uint64_t h, bool attribute) {
            const std::string value = support::toUtf8(d.textString(h));
            if (attribute)
                attributes[dwg::handleText(h)] = support::toUtf8(d.textTag(h)) + "=" + value;
            else
                texts[dwg::handleText(h)] = value;
        });
        std::set<std::string> styles;
        for (std::uint64_t s : d.textStyles())
            styles.insert(support::toUtf8(d.styleName(s)) + "|" + support::toUtf8(d.styleFontFile(s)));
        for (const auto reader : {readers::Reader::LibreDwg, readers::Reader::LibDxfRw}) {
            SCOPED_TRACE(std::string(readers::readerName(reader)));
            std::optional<readers::Dump> dump;
            try {
                dump = readers::dump(reader, entry.path(), nullptr);
            } catch (const std::exception& e) {
                std::cout << "[ note ] " << readers::readerName(reader) << " cannot read " << name << ": " << e.what()
                          << '\n';
                continue;
            }
            ASSERT_TRUE(dump);
            std::map<std::string, std::string> theirTexts, theirAttributes;
            for (const auto& t : dump->texts)
                theirTexts[t.handle] = t.text;
            for (const auto& a : dump->attributes)
                theirAttributes[a.handle] = a.tag + "=" + a.text;
            EXPECT_EQ(theirTexts, texts);
            if (reader == readers::Reader::LibreDwg) {
                EXPECT_EQ(theirAttributes, attributes);
            }
            for (const auto& st : dump->styles) {
                if (!st.name.empty()) {
                    EXPECT_TRUE(styles.contains(st.name + "|" + st.fontFile)) << st.name << "|" << st.fontFile;
                }
            }
        }
        ++compared;
    }
    EXPECT_GT(compared, 60);
}

// What a reader delivers of a drawing, kind by kind: texts and attributes
// by handle with their strings, references by handle with their block,
// styles, and the number of entities of every block.
std::map<std::string, std::string> readerView(const readers::Dump& dump) {
    std::map<std::string, std::string> view;
    for (const auto& t : dump.texts)
        view["TEXT " + t.handle] = t.text + " @" + t.style;
    for (const auto& a : dump.attributes)
        view["ATTRIB " + a.handle] = a.tag + "=" + a.text;
    for (const auto& i : dump.inserts)
        view["INSERT " + i.handle] = i.block;
    for (const auto& st : dump.styles)
        view["STYLE " + st.name] = st.fontFile;
    for (const auto& [name, entities] : dump.blocks)
        view["BLOCK " + name] = std::to_string(entities);
    for (const auto& [blockAndType, count] : dump.entityTypes)
        view["ENTITIES " + blockAndType] = std::to_string(count);
    for (const auto& layer : dump.layers)
        view["LAYER " + layer] = "";
    return view;
}

// Every sample of R13-2000 and 2007-2018 saved as 2004 reads, for LibreDWG
// and libdxfrw, as the original does: texts, attributes, references,
// styles, layers, and the entities of every block by type, but for the
// entities the save reports left out.
TEST_F(SavedDrawings, OtherReleasesSavedAs2004ReadAsTheirOriginals) {
    const std::filesystem::path root = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg";
    if (!std::filesystem::is_directory(root))
        GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
    for (const auto reader : {readers::Reader::LibreDwg, readers::Reader::LibDxfRw})
        if (!readers::missingReason(reader).empty())
            GTEST_SKIP() << readers::missingReason(reader);
    int compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.path().extension() != ".dwg")
            continue;
        std::optional<Drawing> d;
        try {
            d.emplace(Drawing::open(entry.path()));
        } catch (const std::exception&) {
            continue;  // a release the engine does not read yet
        }
        if (d->release() == dwg::Release::R2004)
            continue;
        const std::string name = std::filesystem::relative(entry.path(), root).string();
        SCOPED_TRACE(name);
        const std::filesystem::path saved = m_dir / (std::to_string(compared) + ".dwg");
        d->save(saved, dwg::Release::R2004);
        EXPECT_EQ(Drawing::open(saved).release(), dwg::Release::R2004);
        // The entities left out, by the block that held them and their type.
        std::map<std::string, int> dropped;
        for (const dwg::DroppedObjectInSave& x : d->droppedInSave())
            for (std::uint64_t block : d->blocks()) {
                const auto entities = d->blockEntities(block);
                if (std::find(entities.begin(), entities.end(), x.handle) != entities.end())
                    ++dropped[support::toUtf8(d->blockName(block)) + "|" + x.type];
            }
        for (const auto reader : {readers::Reader::LibreDwg, readers::Reader::LibDxfRw}) {
            SCOPED_TRACE(std::string(readers::readerName(reader)));
            std::optional<readers::Dump> before;
            try {
                before = readers::dump(reader, entry.path(), nullptr);
            } catch (const std::exception& e) {
                std::cout << "[ note ] " << readers::readerName(reader) << " cannot read " << name << ": "
                          << e.what() << '\n';
                continue;
            }
            const auto after = readers::dump(reader, saved, nullptr);
            ASSERT_TRUE(before && after);
            EXPECT_EQ(after->version, "AC1018");
            auto expected = readerView(*before), found = readerView(*after);
            if (reader == readers::Reader::LibDxfRw && d->release() <= dwg::Release::R14) {
                // libdxfrw skips the R13-R14 classes that 2000 made fixed
                // types (LWPOLYLINE, HATCH): their 2004 form it reads.
                for (auto& [key, count] : expected)
                    if (key.starts_with("BLOCK ") && found.contains(key) &&
                        std::stoi(found[key]) >= std::stoi(count))
                        count = found[key];
                for (const auto& [key, count] : found)
                    if (key.starts_with("ENTITIES ") && !expected.contains(key))
                        expected[key] = count;
            }
            // Attributes the input's reference lists left out (LibreDWG's
            // writer leaves them empty) are listed again, as our engine reads
            // them from their owners: a reader that missed them before finds
            // them now.
            dwg::test::forEachBlockText(*d, [&](std::uint64_t h, bool attribute) {
                const std::string key = "ATTRIB " + dwg::handleText(h);
                if (attribute && reader == readers::Reader::LibreDwg && !expected.contains(key)) {
                    expected[key] = support::toUtf8(d->textTag(h)) + "=" + support::toUtf8(d->textString(h));
                }
            });
            // As many of them as the reader saw before (it may skip a type).
            for (const auto& [blockAndType, count] : dropped) {
                const std::string types = "ENTITIES " + blockAndType;
                const std::string block = "BLOCK " + blockAndType.substr(0, blockAndType.find('|'));
                if (!expected.contains(types))
                    continue;
                const int seen = std::min(count, std::stoi(expected[types]));
                expected[types] = std::to_string(std::stoi(expected[types]) - seen);
                if (expected[types] == "0")
                    expected.erase(types);
                if (expected.contains(block))
                    expected[block] = std::to_string(std::stoi(expected[block]) - seen);
            }
            for (const auto& [key, value] : expected)
                EXPECT_EQ(found.contains(key) ? found.at(key) : "(none)", value) << key;
            for (const auto& [key, value] : found)
                EXPECT_TRUE(expected.contains(key)) << key << " = " << value << " is new";
        }
        ++compared;
    }
    EXPECT_GT(compared, 20);
}

// The 2010-2018 samples written back by the container in their release (the
// drawing layer does not read their objects yet): LibreDWG and libdxfrw read
// them as they read the originals, warnings included.
TEST_F(SavedDrawings, Releases2010To2018WrittenBackReadAsTheirOriginals) {
    for (const auto reader : {readers::Reader::LibreDwg, readers::Reader::LibDxfRw})
        if (!readers::missingReason(reader).empty())
            GTEST_SKIP() << readers::missingReason(reader);
    int compared = 0;
    for (const std::string name : {"example_2010", "text_2010", "example_2013", "text_2013", "example_2018",
                                   "text_2018", "sample_2018"}) {
        SCOPED_TRACE(name);
        const auto bytes = dwg::test::loadSample(name + ".dwg");
        if (!bytes)
            GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
        const std::filesystem::path original = std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / (name + ".dwg");
        const std::filesystem::path saved = m_dir / (name + ".dwg");
        const auto written = dwg::writeDwgFile(dwg::readDwgFile(*bytes));
        std::ofstream(saved, std::ios::binary)
            .write(reinterpret_cast<const char*>(written.data()), static_cast<std::streamsize>(written.size()));
        for (const auto reader : {readers::Reader::LibreDwg, readers::Reader::LibDxfRw}) {
            SCOPED_TRACE(std::string(readers::readerName(reader)));
            std::optional<readers::Dump> before;
            try {
                before = readers::dump(reader, original, nullptr);
            } catch (const std::exception& e) {
                std::cout << "[ note ] " << readers::readerName(reader) << " cannot read " << name << ": "
                          << e.what() << '\n';
                continue;
            }
            const auto after = readers::dump(reader, saved, nullptr);
            ASSERT_TRUE(before && after);
            EXPECT_EQ(after->version, before->version);
            EXPECT_EQ(readerView(*after), readerView(*before));
            EXPECT_EQ(after->warnings, before->warnings);
            ++compared;
        }
    }
    EXPECT_GT(compared, 7);
}

TEST_F(SavedDrawings, OgrReadsRelease2000) {
    auto saved = saveHebrew("sample_2000");
    if (!saved)
        GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
    std::string why;
    auto dump = readers::dump(readers::Reader::Ogr, saved->file, &why);
    if (!dump)
        GTEST_SKIP() << why;
    // GDAL's CAD driver leaves \U+XXXX escapes as they are stored.
    std::multiset<std::string> texts, expected;
    for (const auto& t : dump->texts)
        texts.insert(t.text);
    for (const auto& [handle, raw] : saved->rawTexts)
        expected.insert(raw);
    EXPECT_EQ(texts, expected);
    EXPECT_FALSE(expected.empty());
}

}  // namespace
