// The drawing-access layer over our engine: the operations the filter uses,
// on a real drawing, and errors that name the drawing.

#include "filter/drawing_access.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

using filter::DrawingError;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::filesystem::path sample(const std::string& name) {
    return std::filesystem::path(CORVELIN_SAMPLES_DIR) / "dwg" / name;
}

class DrawingAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(sample("example_2000.dwg")))
            GTEST_SKIP() << "sample drawings not found in " << CORVELIN_SAMPLES_DIR;
        m_dir = std::filesystem::temp_directory_path() / ("corvelin-access-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
        m_drawing = filter::openDrawing(sample("example_2000.dwg"));
    }
    void TearDown() override {
        if (!m_dir.empty())
            std::filesystem::remove_all(m_dir);
    }
    std::filesystem::path m_dir;
    std::unique_ptr<filter::DrawingAccess> m_drawing;
};

TEST_F(DrawingAccessTest, ListsStylesBlocksAndSelections) {
    auto& d = *m_drawing;
    EXPECT_EQ(d.release(), "2000");
    EXPECT_EQ(d.codePage(), 30);
    ASSERT_EQ(d.styleCount(), 1);
    EXPECT_EQ(d.styleName(0), u"Standard");
    EXPECT_EQ(d.styleFontFile(0), u"txt");
    EXPECT_EQ(d.styleTextGenerationFlag(0), 0);
    ASSERT_GE(d.blockCount(), 2);
    EXPECT_EQ(d.blockName(0), u"*Model_Space");
    EXPECT_EQ(d.blockName(1), u"*Paper_Space");

    auto texts = d.selectAll("TEXT");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(d.isText(texts[0]));
    EXPECT_FALSE(d.isBlockReference(texts[0]));
    EXPECT_EQ(d.textString(texts[0]), u"teksto simpla");
    EXPECT_EQ(d.textStyleName(texts[0]), u"Standard");

    int withAttributes = 0;
    for (auto insert : d.selectAll("INSERT")) {
        EXPECT_TRUE(d.isBlockReference(insert));
        EXPECT_FALSE(d.isText(insert));
        if (d.hasAttributes(insert)) {
            ++withAttributes;
            for (auto attribute : d.attributes(insert))
                EXPECT_FALSE(d.textString(attribute).empty());
        }
    }
    EXPECT_EQ(withAttributes, 2);
}

TEST_F(DrawingAccessTest, ChangesComeBackAfterSaving) {
    auto& d = *m_drawing;
    const auto text = d.selectAll("TEXT").front();
    const auto start = d.insertionPoint(text);
    d.setTextString(text, u"\u05E9\u05DC\u05D5\u05DD");
    d.setBackward(text, true);
    d.setTextGenerationFlag(text, 0);
    d.move(text, {0, 0, 0}, {-3, -1, 0});
    d.setStyleFontFile(0, u"Arial.ttf");
    d.setStyleTextGenerationFlag(0, 0);
    const auto out = m_dir / "out.dwg";
    d.saveAs(out);

    auto again = filter::openDrawing(out);
    EXPECT_EQ(again->textString(text), u"\u05E9\u05DC\u05D5\u05DD");
    EXPECT_FALSE(again->backward(text));
    EXPECT_EQ(again->insertionPoint(text), (filter::Point{start.x - 3, start.y - 1, start.z}));
    EXPECT_EQ(again->styleFontFile(0), u"Arial.ttf");
    // Nothing but the drawing itself was written.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), {}), 1);
}

TEST_F(DrawingAccessTest, BoxesOfTextsAndReferences) {
    auto& d = *m_drawing;
    const auto text = d.selectAll("TEXT").front();
    const auto box = d.boundingBox(text);
    const auto p = d.insertionPoint(text);
    EXPECT_LE(box.min.x, p.x);
    EXPECT_LE(box.min.y, p.y);
    EXPECT_GT(box.max.x, box.min.x);
    EXPECT_GT(box.max.y, box.min.y);
    for (auto insert : d.selectAll("INSERT")) {
        const auto b = d.boundingBox(insert);
        EXPECT_LE(b.min.x, b.max.x);
    }
}

TEST_F(DrawingAccessTest, ErrorsNameTheDrawing) {
    auto& d = *m_drawing;
    EXPECT_THAT([&] { d.styleName(7); },
                ::testing::ThrowsMessage<DrawingError>(HasSubstr("example_2000.dwg: no text style 7")));
    const auto insert = d.selectAll("INSERT").front();
    EXPECT_THAT([&] { d.textString(insert); }, ::testing::ThrowsMessage<DrawingError>(HasSubstr("example_2000.dwg")));
    EXPECT_THAT([&] { d.saveAs(m_dir / "no" / "such" / "folder.dwg"); },
                ::testing::ThrowsMessage<DrawingError>(HasSubstr("Unable to write to")));

    const auto missing = m_dir / "missing.dwg";
    EXPECT_THAT([&] { filter::openDrawing(missing); },
                ::testing::ThrowsMessage<DrawingError>(HasSubstr(missing.string())));
    const auto junk = m_dir / "junk.dwg";
    std::ofstream(junk) << "AC1015 but nothing else";
    EXPECT_THAT([&] { filter::openDrawing(junk); },
                ::testing::ThrowsMessage<DrawingError>(StartsWith(junk.string() + ": ")));
}

}  // namespace
