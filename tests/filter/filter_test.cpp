// The drawing pass and text conversion over drawings made with the engine's
// builder: the three passes, progress, the differences between texts and
// attributes, mirrored texts, and what is written where.

#include "filter/filterclass.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

#include "dwg/drawing/builder.h"
#include "dwg/drawing/drawing.h"
#include "support/atomic_file.h"
#include "support/code_pages.h"

namespace {

using dwg::DrawingBuilder;
using filter::TDWGFileFilter;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using Space = DrawingBuilder::Space;

DrawingBuilder::TextSpec textSpec(std::string value, double x, double y, std::uint64_t style = 0,
                                  std::int16_t generation = 0) {
    DrawingBuilder::TextSpec t;
    t.value = std::move(value);
    t.insertion = {x, y, 0};
    t.height = 2;
    t.style = style;
    t.generation = generation;
    return t;
}

std::string readAll(const std::filesystem::path& file) { return support::readFileBytes(file); }

class FilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("corvelin-filter-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        m_fonts.appendRow({"HEBREW", "DosHebrew"});
        m_fonts.appendRow({"KEYS", "DosEnglish"});
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::filesystem::path write(const DrawingBuilder& builder, const std::string& name) {
        const auto bytes = builder.bytes();
        const auto path = m_dir / name;
        support::writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return path;
    }

    std::unique_ptr<TDWGFileFilter> makeFilter(bool convert, bool check, const std::filesystem::path& output = {}) {
        auto f = std::make_unique<TDWGFileFilter>(m_fonts, m_styles, m_options);
        f->ConvertTexts = convert;
        f->CheckOnly = check;
        f->AutoCorrect = true;
        f->OutputFileName = output.string();
        f->OnProgress = [this](void*, int percent, int) { m_progress.push_back(percent); };
        f->OnError = [this](void*, const std::string& message, int kind, bool&) {
            m_errors.push_back(message + "/" + std::to_string(kind));
        };
        return f;
    }

    std::filesystem::path m_dir;
    hebrew::FontTable m_fonts;
    filter::PlainStyleList m_styles;
    filter::FixedOptions m_options{false};
    std::vector<int> m_progress;
    std::vector<std::string> m_errors;
};

TEST_F(FilterTest, TwoHundredFiftyTextsRaiseProgressFortyAndEighty) {
    DrawingBuilder b(dwg::Release::R2000);
    for (int i = 0; i < 250; ++i)
        b.addText(Space::Model, textSpec("t" + std::to_string(i), i, 0));
    const auto in = write(b, "plan.dwg");
    auto f = makeFilter(true, true);
    f->ProcessDrawing(in.string());
    EXPECT_TRUE(f->Finished);
    EXPECT_THAT(m_progress, ElementsAre(40, 80));
}

TEST_F(FilterTest, CheckAndCollectingPassesChangeAndCreateNothing) {
    DrawingBuilder b(dwg::Release::R2004);
    const auto hebrew = b.addTextStyle("Hebrew", "hebrew.shx");
    b.addText(Space::Model, textSpec("\x99\x8C\x85\x8D", 1, 2, hebrew));
    b.addText(Space::Paper, textSpec("\x80\x81", 3, 4, hebrew));
    const auto block = b.addBlock("B");
    b.addAttributeDefinition(block, "TAG", "Tag?", textSpec("x", 0, 0, hebrew));
    b.addInsert(Space::Model, block, {5, 6, 0}, {1, 1, 1}, 0, {{"TAG", textSpec("\x82", 5, 6, hebrew)}});
    const auto in = write(b, "plan.dwg");
    const std::string before = readAll(in);
    const auto output = m_dir / "out.dwg";

    for (bool check : {true, false}) {
        auto f = makeFilter(check, check, output);
        f->ProcessDrawing(in.string());
        EXPECT_TRUE(f->Finished);
        EXPECT_EQ(readAll(in), before);
        EXPECT_FALSE(std::filesystem::exists(output));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), {}), 1);
        if (!check) {
            // The collecting pass: every text of the style, in the order met.
            const auto& elements = f->Styles.GetValue("HEBREW").Elements;
            ASSERT_EQ(elements.size(), 3u);
            EXPECT_EQ(elements[0]->Text, "\x82");  // the attribute, met with the references
            EXPECT_EQ(elements[1]->Text, "\x99\x8C\x85\x8D");
            EXPECT_EQ(elements[1]->X, 1);
            EXPECT_EQ(elements[1]->Y, 2);
            EXPECT_EQ(elements[2]->Text, "\x80\x81");
            EXPECT_TRUE(m_styles.Contains("hebrew"));
        } else {
            EXPECT_TRUE(f->Styles.GetValue("HEBREW").Elements.empty());
        }
    }
}

TEST_F(FilterTest, ConversionRewritesTextsResetsStylesAndSaves) {
    DrawingBuilder b(dwg::Release::R2000);
    const auto hebrew = b.addTextStyle("Hebrew", "hebrew.shx");
    const auto keys = b.addTextStyle("Keys", "keys.shx");
    const auto dos = b.addText(Space::Model, textSpec("\x9A\x81\x99", 0, 0, hebrew));
    const auto english = b.addText(Space::Model, textSpec("akuo", 0, 10, keys));
    const auto in = write(b, "plan.dwg");
    const auto output = m_dir / "converted.dwg";
    std::ofstream(output) << "an older output";

    auto f = makeFilter(true, false, output);
    f->ProcessDrawing(in.string());
    ASSERT_TRUE(f->Finished);
    EXPECT_EQ(f->Statistics().textsConverted, 2);

    dwg::Drawing d = dwg::Drawing::open(output);
    EXPECT_EQ(d.textString(dos), u"\u05E9\u05D1\u05EA");
    EXPECT_EQ(d.textString(english), u"\u05DD\u05D5\u05DC\u05E9");
    for (std::uint64_t style : d.textStyles()) {
        EXPECT_EQ(d.styleFontFile(style), u"Arial.ttf");
        EXPECT_EQ(d.style(style).generation, 0);
    }
}

TEST_F(FilterTest, MirroredTextsMoveByTheirBoxAndAttributesByTheirReference) {
    DrawingBuilder b(dwg::Release::R2004);
    const auto plain = b.addTextStyle("Hebrew", "hebrew.shx");
    const auto mirrored = b.addTextStyle("Mirror", "hebrew.shx", 2);
    const auto text = b.addText(Space::Model, textSpec("\x80\x81\x82", 100, 50, plain, 2));
    const auto first = b.addBlock("FIRST");
    b.addAttributeDefinition(first, "A", "", textSpec("x", 0, 0, plain));
    const auto second = b.addBlock("SECOND");
    b.addLineToBlock(second, {0, 0, 0}, {20, 8, 0});
    b.addAttributeDefinition(second, "B", "", textSpec("y", 0, 0, mirrored));
    b.addInsert(Space::Model, first, {200, 0, 0}, {1, 1, 1}, 0, {{"A", textSpec("\x80", 201, 1, plain, 2)}});
    b.addInsert(Space::Model, second, {300, 0, 0}, {1, 1, 1}, 0, {{"B", textSpec("\x81", 302, 2, mirrored)}});
    const auto in = write(b, "plan.dwg");

    // The boxes before conversion, as the engine measures them.
    auto before = filter::openDrawing(in);
    const auto textBox = before->boundingBox(text);
    const auto inserts = before->selectAll("INSERT");
    const auto own = before->attributes(inserts[0]).front();
    const auto styled = before->attributes(inserts[1]).front();
    const auto insertBox = before->boundingBox(inserts[1]);

    const auto output = m_dir / "out.dwg";
    auto f = makeFilter(true, false, output);
    f->ProcessDrawing(in.string());
    auto after = filter::openDrawing(output);

    // A text with Backward set in a plain style: converted as backward, moved
    // one box width left and one box height down.
    EXPECT_EQ(after->textString(text), u"\u05D0\u05D1\u05D2");
    EXPECT_FALSE(after->backward(text));
    EXPECT_EQ(after->textGenerationFlag(text), 0);
    const auto p = after->insertionPoint(text);
    EXPECT_DOUBLE_EQ(p.x, 100 - (textBox.max.x - textBox.min.x));
    EXPECT_DOUBLE_EQ(p.y, 50 - (textBox.max.y - textBox.min.y));

    // An attribute's own Backward plays no part: cleared, not moved.
    EXPECT_EQ(after->insertionPoint(own), (filter::Point{201, 1, 0}));
    EXPECT_FALSE(after->backward(own));
    // An attribute of a mirrored style moves by the box of its reference.
    const auto q = after->insertionPoint(styled);
    EXPECT_DOUBLE_EQ(q.x, 302 - (insertBox.max.x - insertBox.min.x));
    EXPECT_DOUBLE_EQ(q.y, 2 - (insertBox.max.y - insertBox.min.y));
}

TEST_F(FilterTest, KeepWindowsMappingLeavesOnlyAttributesAsRead) {
    DrawingBuilder b(dwg::Release::R2000);
    const auto windows = b.addTextStyle("Win", "telvos1.shx");  // a Windows-kind font
    const auto text = b.addText(Space::Model, textSpec("\x80\xE1", 0, 0, windows));
    const auto block = b.addBlock("B");
    b.addAttributeDefinition(block, "A", "", textSpec("x", 0, 0, windows));
    b.addInsert(Space::Model, block, {0, 0, 0}, {1, 1, 1}, 0, {{"A", textSpec("\x80\xE1", 0, 0, windows)}});
    const auto in = write(b, "plan.dwg");
    auto reader = filter::openDrawing(in);
    const auto attribute = reader->attributes(reader->selectAll("INSERT").front()).front();
    const auto asRead = reader->textString(attribute);

    const auto output = m_dir / "out.dwg";
    auto f = makeFilter(true, false, output);
    f->KeepWindowsMapping = true;
    f->ProcessDrawing(in.string());
    auto after = filter::openDrawing(output);
    // The attribute keeps its text; the text entity is repaired (0x80 -> 0xE0) and converted.
    EXPECT_EQ(after->textString(attribute), asRead);
    EXPECT_EQ(after->textString(text), u"\u05D1\u05D0");
    EXPECT_EQ(f->Statistics().repaired, 1);
    EXPECT_EQ(f->Statistics().leftUnchanged, 1);
}

// A drawing in memory, for what the builder cannot make: styles whose names
// differ only in case, texts of a style the drawing lacks.
class FakeDrawing final : public filter::DrawingAccess {
public:
    struct Text {
        std::u16string value, style;
        bool backward = false;
    };
    std::vector<std::pair<std::u16string, std::u16string>> styles;  // name, font
    std::vector<Text> texts;                                           // entity i + 1

    std::string release() const override { return "2000"; }
    int codePage() const override { return 30; }
    int styleCount() const override { return static_cast<int>(styles.size()); }
    std::u16string styleName(int i) const override { return styles.at(i).first; }
    std::u16string styleFontFile(int i) const override { return styles.at(i).second; }
    void setStyleFontFile(int i, const std::u16string& f) override { styles.at(i).second = f; }
    int styleTextGenerationFlag(int) const override { return 0; }
    void setStyleTextGenerationFlag(int, int) override {}
    int blockCount() const override { return 0; }
    std::u16string blockName(int) const override { return {}; }
    std::vector<filter::EntityId> blockEntities(int) const override { return {}; }
    std::vector<filter::EntityId> selectAll(const std::string& type) const override {
        std::vector<filter::EntityId> out;
        if (type == "TEXT")
            for (std::size_t i = 0; i < texts.size(); ++i)
                out.push_back(i + 1);
        return out;
    }
    bool isBlockReference(filter::EntityId) const override { return false; }
    bool isText(filter::EntityId) const override { return true; }
    bool hasAttributes(filter::EntityId) const override { return false; }
    std::vector<filter::EntityId> attributes(filter::EntityId) const override { return {}; }
    std::u16string textString(filter::EntityId e) const override { return texts.at(e - 1).value; }
    void setTextString(filter::EntityId e, const std::u16string& v) override { texts.at(e - 1).value = v; }
    std::u16string textStyleName(filter::EntityId e) const override { return texts.at(e - 1).style; }
    bool backward(filter::EntityId e) const override { return texts.at(e - 1).backward; }
    void setBackward(filter::EntityId e, bool b) override { texts.at(e - 1).backward = b; }
    int textGenerationFlag(filter::EntityId) const override { return 0; }
    void setTextGenerationFlag(filter::EntityId, int) override {}
    filter::Point insertionPoint(filter::EntityId) const override { return {}; }
    void move(filter::EntityId, const filter::Point&, const filter::Point&) override {}
    filter::BoundingBox boundingBox(filter::EntityId) override { return {}; }
    void saveAs(const std::filesystem::path&) override { ++saves; }
    int saves = 0;
};

TEST_F(FilterTest, StylesEqualIgnoringCaseGiveOneRecordAndUnknownStylesAreReported) {
    FakeDrawing* fake = nullptr;
    auto opener = [&](const std::filesystem::path&) {
        auto d = std::make_unique<FakeDrawing>();
        d->styles = {{u"Standard", u"hebrew.shx"}, {u"STANDARD", u"keys.shx"}, {u" ", u"x.shx"}};
        d->texts = {{u"\u05D0", u"standard"}, {u"abc", u"Gone"}, {u"\u20AC", u"STANDARD"}};
        fake = d.get();
        return std::unique_ptr<filter::DrawingAccess>(std::move(d));
    };
    TDWGFileFilter f(m_fonts, m_styles, m_options, opener);
    f.ConvertTexts = true;
    f.OutputFileName = (m_dir / "out.dwg").string();
    f.ProcessDrawing((m_dir / "in.dwg").string());
    ASSERT_TRUE(f.Finished);
    EXPECT_THAT(m_styles.lines().size(), 1u);
    EXPECT_EQ(f.Styles.GetValue("STANDARD").FontFile, "hebrew.shx");
    // The text of the missing style is left as it was and reported; the others convert.
    EXPECT_EQ(fake->texts[1].value, u"abc");
    EXPECT_THAT(f.Statistics().warnings, ElementsAre(HasSubstr("text 2: style \"Gone\" has no record")));
    EXPECT_EQ(f.Statistics().textsConverted, 2);
    EXPECT_EQ(fake->texts[2].value, u"\u05D0");  // DOS alef, read as the euro sign of Windows-1252
    EXPECT_EQ(fake->saves, 1);
    EXPECT_EQ(fake->styles[1].second, u"Arial.ttf");
}

TEST_F(FilterTest, TheStyleListIsEmptiedWhenTheFilterThatFilledItIsFreed) {
    auto opener = [](const std::filesystem::path&) {
        auto d = std::make_unique<FakeDrawing>();
        d->styles = {{u"Standard", u"txt.shx"}, {u"Hebrew", u"hebrew.shx"}};
        return std::unique_ptr<filter::DrawingAccess>(std::move(d));
    };
    {
        TDWGFileFilter f(m_fonts, m_styles, m_options, opener);
        f.ProcessDrawing((m_dir / "in.dwg").string());
        ASSERT_EQ(m_styles.lines().size(), 2u);
        EXPECT_EQ(m_styles.lines()[0].second, &f.Styles.GetValue("HEBREW"));
    }
    EXPECT_TRUE(m_styles.lines().empty());

    // A filter that never filled the list (its drawing did not open) leaves it alone.
    m_styles.Add("KEPT", nullptr);
    {
        TDWGFileFilter f(m_fonts, m_styles, m_options, [](const std::filesystem::path&) -> std::unique_ptr<filter::DrawingAccess> {
            throw filter::DrawingError("no");
        });
        f.ProcessDrawing((m_dir / "in.dwg").string());
    }
    EXPECT_EQ(m_styles.lines().size(), 1u);
}

TEST_F(FilterTest, ADrawingThatCannotBeOpenedIsReportedOnce) {
    const auto broken = m_dir / "broken.dwg";
    std::ofstream(broken) << "AC1015 and nothing else";
    auto f = makeFilter(true, false, m_dir / "out.dwg");
    f->OnError = [&](void*, const std::string& message, int kind, bool& abort) {
        m_errors.push_back(message + "/" + std::to_string(kind) + (abort ? "/abort" : ""));
        f->ReleaseEngine();
    };
    f->ProcessDrawing(broken.string());
    EXPECT_TRUE(f->Finished);
    EXPECT_THAT(m_errors, ElementsAre("Problem with opening file/1"));
    EXPECT_THAT(f->OpenFailure, HasSubstr("broken.dwg"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "out.dwg"));
}

// A fault of ours (an index out of range, memory exhausted) is no damaged
// drawing: it goes on as what it is, for the batch run to report.
TEST_F(FilterTest, AnEngineFaultIsNotAnOpeningProblem) {
    TDWGFileFilter f(m_fonts, m_styles, m_options, [](const std::filesystem::path&) -> std::unique_ptr<filter::DrawingAccess> {
        throw std::out_of_range("vector::at");
    });
    f.OnError = [&](void*, const std::string& message, int kind, bool&) {
        m_errors.push_back(message + "/" + std::to_string(kind));
    };
    EXPECT_THROW(f.ProcessDrawing((m_dir / "in.dwg").string()), std::out_of_range);
    EXPECT_TRUE(f.OpenFailure.empty());
    EXPECT_TRUE(m_errors.empty());
}

TEST_F(FilterTest, SavingOverTheInputGoesToADollarName) {
    DrawingBuilder b(dwg::Release::R2000);
    b.addText(Space::Model, textSpec("\x80", 0, 0));
    const auto in = write(b, "plan.dwg");
    const std::string before = readAll(in);
    // The same file under another spelling of its path.
    auto f = makeFilter(true, false, m_dir / "." / "plan.dwg");
    f->ProcessDrawing(in.string());
    EXPECT_EQ(readAll(in), before);
    EXPECT_TRUE(std::filesystem::exists(m_dir / "$$plan.dwg"));
}

}  // namespace
