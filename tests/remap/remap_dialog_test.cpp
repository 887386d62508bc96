#include "remap/remap_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fonts/fonts_dialog.h"
#include "ui/prompts.h"
#include "ui/text.h"

namespace {

using hebrew::TFontKind;

class Options final : public remap::MainOptions {
public:
    bool autoCorrect = false;
    bool keepWindows = false;
    bool AutoCorrect() const override { return autoCorrect; }
    bool KeepWindowsMapping() const override { return keepWindows; }
};

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

QStringList column(const QTreeWidget* view, int c) {
    QStringList out;
    for (int i = 0; i < view->topLevelItemCount(); ++i)
        out << view->topLevelItem(i)->text(c);
    return out;
}

std::vector<bool> checks(const QTreeWidget* view) {
    std::vector<bool> out;
    for (int i = 0; i < view->topLevelItemCount(); ++i)
        out.push_back(view->topLevelItem(i)->checkState(0) == Qt::Checked);
    return out;
}

class Remap : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override {
        ui::answerMessagesWith({});
        ui::answerFileDialogsWith({});
        QLocale::setDefault(QLocale::c());
    }

    filter::ttextstyle& addStyle(const std::string& name, const std::string& font, TFontKind kind,
                                 std::vector<std::string> texts, bool backward = false) {
        auto style = std::make_unique<filter::ttextstyle>();
        style->Name = name;
        style->FontFile = font;
        style->Kind = kind;
        style->Backward = backward;
        double x = 1.0;
        for (auto& text : texts) {
            auto element = std::make_unique<filter::telement>();
            element->X = x++;
            element->Text = std::move(text);
            style->Elements.push_back(std::move(element));
        }
        styles.push_back(std::move(style));
        dialog.Add(name, styles.back().get());
        return *styles.back();
    }
    QStringList texts() const { return column(dialog.ListView1, 3); }
    QStringList numbers() const { return column(dialog.ListView1, 0); }

    // Messages are answered from the start, the fonts dialog's creation included.
    struct Answerer {
        explicit Answerer(std::vector<ui::Message>& seen) {
            ui::answerMessagesWith([&seen](const ui::Message& m) { seen.push_back(m); });
        }
    };
    std::vector<ui::Message> messages;
    Answerer answerer{messages};
    // Declared before the dialog: the records outlive it, as the filter's do.
    std::vector<std::unique_ptr<filter::ttextstyle>> styles;
    hebrew::FontTable table;
    fonts::TfrmFonts fonts{table};
    Options options;
    remap::TfrmRemap dialog{table, fonts, options};
};

TEST_F(Remap, ControlsAsDesigned) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral(" Remaping Text Style"));
    EXPECT_EQ(dialog.size(), QSize(919, 540));
    EXPECT_EQ(dialog.font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(dialog.font().pixelSize(), 13);
    EXPECT_EQ(dialog.RadioGroup1->title(), QStringLiteral("Kind of Font"));
    const auto buttons = dialog.RadioGroup1->findChildren<QRadioButton*>();
    ASSERT_EQ(buttons.size(), 5);
    const QStringList kinds{QStringLiteral("DosHebrew"), QStringLiteral("DosEnglish"), QStringLiteral("DosEnglishR"),
                            QStringLiteral("Windows"), QStringLiteral("TrueType")};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(buttons[i]->text(), kinds[i]);
        buttons[i]->click();  // item index = the kind's value
        EXPECT_EQ(dialog.RadioGroup1ItemIndex(), i);
    }
    EXPECT_EQ(dialog.btsavetable->toolTip(),
              QStringLiteral("Apply  Selected Kind of Font to the current  session\u05E5\r\n"
                             "Does not Save changes to the Font file."));
    EXPECT_EQ(dialog.Button1->toolTip(), QStringLiteral("Show or Load Font Table"));
    EXPECT_EQ(dialog.Button2->text(), QStringLiteral("Save Font Table As.."));
    EXPECT_EQ(dialog.Button2->toolTip(),
              QStringLiteral("Save Current Font Table  to a New.Alternative Font  Table file"));
    EXPECT_EQ(dialog.CheckBox1->text(), QStringLiteral("Excclude Duplicates"));
    EXPECT_TRUE(dialog.Edit1->isReadOnly());
    EXPECT_TRUE(dialog.Edit2->isReadOnly());
    EXPECT_EQ(dialog.Edit2->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(dialog.Edit2->width(), 561);
    EXPECT_TRUE(dialog.BitBtn1->isDefault());
    const QTreeWidgetItem* header = dialog.ListView1->headerItem();
    EXPECT_EQ(header->text(0) + header->text(1) + header->text(2) + header->text(3), QStringLiteral("#XYText"));
    EXPECT_EQ(dialog.ListView1->columnWidth(0), 60);
    EXPECT_EQ(dialog.ListView1->columnWidth(1), 100);
    EXPECT_EQ(dialog.ListView1->columnWidth(2), 100);
    EXPECT_EQ(dialog.ListView1->selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST_F(Remap, StyleListSortedAndSearchedIgnoringCase) {
    addStyle("ZETA", "", TFontKind::DosHebrew, {});
    addStyle("a_b", "", TFontKind::DosHebrew, {});
    addStyle("AB", "", TFontKind::DosHebrew, {});
    addStyle("Beta", "", TFontKind::DosHebrew, {});
    addStyle("\xE0", "", TFontKind::DosHebrew, {});  // a Hebrew name: alef
    // Upper-cased, "AB" < "A_B" ('B' 0x42 < '_' 0x5F); bytes above 0x7F last.
    const QStringList expected{QStringLiteral("AB"), QStringLiteral("a_b"), QStringLiteral("Beta"),
                               QStringLiteral("ZETA"), QStringLiteral("\u05D0")};
    ASSERT_EQ(dialog.ListBox1->count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(dialog.ListBox1->item(i)->text(), expected[i]);
        EXPECT_EQ(ui::fromWindowsHebrew(dialog.styleAt(i)->Name), expected[i]);
    }
    EXPECT_TRUE(dialog.Contains("zeta"));
    EXPECT_TRUE(dialog.Contains("A_B"));
    EXPECT_FALSE(dialog.Contains("ZET"));
    EXPECT_THROW(dialog.styleAt(5), std::out_of_range);
    EXPECT_THROW(dialog.styleAt(-1), std::out_of_range);
    dialog.Clear();
    EXPECT_EQ(dialog.ListBox1->count(), 0);
    EXPECT_FALSE(dialog.Contains("ZETA"));
}

TEST_F(Remap, ActivationShowsTheFirstStyleWithoutSelectingIt) {
    addStyle("ZSTYLE", "telvos.shx", TFontKind::Windows, {"\xE0"});
    // DosEnglish, backward: "ok" is reversed to "ko", the keys k and o are
    // lamed and final mem (0xEC 0xED), shown in display order: 0xED 0xEC.
    addStyle("ASTYLE", "C:\\Fonts\\hebrew.shx", TFontKind::DosEnglish, {"ok"}, true);
    dialog.FormActivate();
    EXPECT_TRUE(dialog.ListBox1->selectedItems().isEmpty());
    EXPECT_EQ(dialog.RadioGroup1ItemIndex(), 1);
    EXPECT_TRUE(dialog.cbxback->isChecked());
    EXPECT_EQ(dialog.Edit1->text(), QStringLiteral("C:\\Fonts\\hebrew.shx"));
    EXPECT_EQ(texts(), QStringList{QStringLiteral("\u05DD\u05DC")});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialog.ListView1->updatesEnabled());
}

TEST_F(Remap, ActivatingAnEmptyListChangesNothing) {
    dialog.FormActivate();
    EXPECT_EQ(dialog.ListView1->topLevelItemCount(), 0);
    EXPECT_TRUE(dialog.Edit1->text().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Remap, FillNumbersPositionsSkipsBlanksAndFormatsCoordinates) {
    auto& style = addStyle("S", "x.shx", TFontKind::DosHebrew,
                           {"\x80\x81\x82", " \t\r\n", "  ABC\x01", "", "\x80 12"});
    style.Elements[0]->X = 1234.5;
    style.Elements[0]->Y = -7.125;
    style.Elements[1]->ConvertedText = "stale";
    style.Elements[1]->Marked = true;
    dialog.FillElements(style.Elements, TFontKind::DosHebrew, false);
    EXPECT_EQ(numbers(), (QStringList{QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("5")}));
    // DOS alef bet gimel in display order: gimel bet alef. A text without DOS
    // letters comes back as it is. "alef, blank, 1 2" stored visually reads
    // "alef 12": reversed and reordered for display, the number stays LTR.
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("\u05D2\u05D1\u05D0"), QStringLiteral("ABC"),
                                    QStringLiteral("\u05D0 12")}));
    EXPECT_EQ(style.Elements[0]->ConvertedText, "\xE2\xE1\xE0");
    EXPECT_EQ(style.Elements[1]->ConvertedText, "");
    EXPECT_TRUE(style.Elements[1]->Marked);  // a blank text keeps its mark
    EXPECT_EQ(column(dialog.ListView1, 1).front(), QStringLiteral("1234.50"));
    EXPECT_EQ(column(dialog.ListView1, 2).front(), QStringLiteral("-7.13"));
    EXPECT_EQ(checks(dialog.ListView1), (std::vector<bool>{false, false, false}));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    dialog.FillElements(style.Elements, TFontKind::DosHebrew, false);
    EXPECT_EQ(column(dialog.ListView1, 1).front(), QStringLiteral("1234,50"));

    const std::vector<std::unique_ptr<filter::telement>> none;
    dialog.FillElements(none, TFontKind::DosHebrew, false);
    EXPECT_EQ(dialog.ListView1->topLevelItemCount(), 0);
}

TEST_F(Remap, ExcludeDuplicatesListsTheFirstOfIdenticalConvertedTexts) {
    addStyle("S", "x.shx", TFontKind::DosHebrew, {"\x80\x81", "AB", " \x80\x81", "ab", "AB"});
    dialog.FormActivate();
    EXPECT_EQ(numbers().size(), 5);
    dialog.CheckBox1->click();  // runs the style selection again
    EXPECT_EQ(numbers(), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4")}));
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("\u05D1\u05D0"), QStringLiteral("AB"), QStringLiteral("ab")}));
    dialog.CheckBox1->click();
    EXPECT_EQ(numbers().size(), 5);
}

TEST_F(Remap, AutomaticCorrectionMarksAndRepairsForeignLetters) {
    // A DOS Hebrew style holding Windows letters alef bet, and one holding DOS gimel.
    auto& style = addStyle("S", "x.shx", TFontKind::DosHebrew, {" \xE0\xE1 ", "\x82"});
    auto fill = [&] { dialog.FillElements(style.Elements, TFontKind::DosHebrew, false); };

    fill();  // no correction: the Windows letters are no DOS letters, kept as they are
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("\u05D0\u05D1"), QStringLiteral("\u05D2")}));
    EXPECT_EQ(checks(dialog.ListView1), (std::vector<bool>{false, false}));

    options.keepWindows = true;  // alone it changes nothing
    fill();
    EXPECT_EQ(texts().front(), QStringLiteral("\u05D0\u05D1"));
    EXPECT_FALSE(style.Elements[0]->Marked);

    options.keepWindows = false;
    options.autoCorrect = true;  // repaired to DOS 0x80 0x81, then converted
    fill();
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("\u05D1\u05D0"), QStringLiteral("\u05D2")}));
    EXPECT_EQ(checks(dialog.ListView1), (std::vector<bool>{true, false}));
    EXPECT_TRUE(style.Elements[0]->Marked);

    options.keepWindows = true;  // both: the text as read, untrimmed, checked
    fill();
    EXPECT_EQ(style.Elements[0]->ConvertedText, " \xE0\xE1 ");
    EXPECT_EQ(texts().front(), QStringLiteral(" \u05D0\u05D1 "));
    EXPECT_EQ(checks(dialog.ListView1), (std::vector<bool>{true, false}));

    // A Windows style holding DOS letters: raised to alef bet, shown bet alef.
    options.keepWindows = false;
    auto& windows = addStyle("W", "w.shx", TFontKind::Windows, {"\x80\x81"});
    dialog.FillElements(windows.Elements, TFontKind::Windows, false);
    EXPECT_EQ(texts(), QStringList{QStringLiteral("\u05D1\u05D0")});
    EXPECT_EQ(checks(dialog.ListView1), std::vector<bool>{true});
}

class FailingRemap : public remap::TfrmRemap {
public:
    using TfrmRemap::TfrmRemap;

private:
    std::string convertForListing(std::string_view text) const override {
        if (text == "BAD")
            throw std::runtime_error("conversion failed");
        return std::string(text);
    }
};

TEST_F(Remap, AConversionErrorAffectsOnlyItsElement) {
    FailingRemap failing(table, fonts, options);
    auto& style = addStyle("S", "x.shx", TFontKind::TrueType, {"A", " BAD ", "C"});
    failing.FillElements(style.Elements, TFontKind::TrueType, false);
    EXPECT_EQ(column(failing.ListView1, 3),
              (QStringList{QStringLiteral("A"), QStringLiteral("2"), QStringLiteral("C")}));
    EXPECT_EQ(checks(failing.ListView1), (std::vector<bool>{false, true, false}));
    options.keepWindows = true;
    failing.FillElements(style.Elements, TFontKind::TrueType, false);
    EXPECT_EQ(column(failing.ListView1, 3)[1], QStringLiteral(" BAD "));
    EXPECT_EQ(checks(failing.ListView1), (std::vector<bool>{false, true, false}));
    failing.Clear();
}

TEST_F(Remap, KindAndBackwardChangeOnlyASelectedStyle) {
    auto& style = addStyle("S", "x.shx", TFontKind::DosHebrew, {"\xE0\xE1\xE2", "\x80\x81\x82"});
    dialog.FormActivate();
    const QStringList asDos{QStringLiteral("\u05D0\u05D1\u05D2"), QStringLiteral("\u05D2\u05D1\u05D0")};
    EXPECT_EQ(texts(), asDos);

    // Nothing selected: the radio button moves, the style and the list stay.
    dialog.RadioGroup1->findChildren<QRadioButton*>()[3]->click();
    dialog.cbxback->click();
    EXPECT_EQ(style.Kind, TFontKind::DosHebrew);
    EXPECT_FALSE(style.Backward);
    EXPECT_EQ(texts(), asDos);

    dialog.ListBox1->setCurrentRow(0);  // selecting a line refills from the style
    EXPECT_EQ(dialog.RadioGroup1ItemIndex(), 0);
    EXPECT_FALSE(dialog.cbxback->isChecked());
    // Windows: Windows alef bet gimel in display order; the DOS letters are no
    // Windows letters and stay.
    dialog.RadioGroup1->findChildren<QRadioButton*>()[3]->click();
    EXPECT_EQ(style.Kind, TFontKind::Windows);
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("\u05D2\u05D1\u05D0"), ui::fromWindowsHebrew("\x80\x81\x82")}));

    dialog.cbxback->click();  // backward: reversed first, so shown in stored order
    EXPECT_TRUE(style.Backward);
    EXPECT_EQ(texts().front(), QStringLiteral("\u05D0\u05D1\u05D2"));

    dialog.cbxback->setChecked(false);  // the radio group also stores the check box
    dialog.RadioGroup1->findChildren<QRadioButton*>()[0]->click();
    EXPECT_EQ(style.Kind, TFontKind::DosHebrew);
    EXPECT_FALSE(style.Backward);
    EXPECT_EQ(texts(), asDos);
}

TEST_F(Remap, SelectingARowPreviewsItsTextRightToLeft) {
    // DosEnglish "akuo" right to left: final mem, vav, lamed, shin.
    auto& style = addStyle("S", "x.shx", TFontKind::DosEnglish, {"  akuo\t", "ok"});
    dialog.FormActivate();
    style.Elements[0]->ConvertedText = "changed";  // the preview starts from Text
    dialog.ListView1->setCurrentItem(dialog.ListView1->topLevelItem(0));
    EXPECT_EQ(dialog.Edit2->text(), QStringLiteral("\u05DD\u05D5\u05DC\u05E9"));
    dialog.ListView1->setCurrentItem(dialog.ListView1->topLevelItem(1));
    EXPECT_EQ(dialog.Edit2->text(), QStringLiteral("\u05DC\u05DD"));
    dialog.ListView1SelectItem(nullptr);
    EXPECT_EQ(dialog.Edit2->text(), QStringLiteral("\u05DC\u05DD"));
}

TEST_F(Remap, ApplyPutsTheShownKindIntoTheTable) {
    addStyle("S", "C:\\Fonts\\isocp.shx", TFontKind::DosHebrew, {});
    dialog.FormActivate();
    dialog.setRadioGroup1ItemIndex(1);
    dialog.btsavetable->click();
    EXPECT_EQ(table.rows(), (std::vector<hebrew::FontRow>{{"ISOCP", "DosEnglish"}}));
    EXPECT_EQ(table.FontKindOf("isocp.shx"), TFontKind::DosEnglish);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Remap, SaveFontTableAsAddsToTheFileWithoutErasingIt) {
    QTemporaryDir dir;
    const auto file = ui::toPath(dir.filePath(QStringLiteral("alt.txt")));
    writeFile(file, "[Fonts]\r\narial=DosHebrew\r\nOLD=Windows\r\n\r\n[Other]\r\nx=1\r\n");
    table.appendRow({"ARIAL", "Windows"});
    table.appendRow({"HEBREW", "DosEnglish"});
    const auto definition = fonts.DefinitionFile();
    const QString shownBefore = fonts.Edit1->text();

    ui::answerFileDialogsWith([](ui::FileDialog&) { return false; });
    dialog.Button2->click();
    EXPECT_EQ(fonts.Edit1->text(), shownBefore);

    ui::answerFileDialogsWith([&](ui::FileDialog& d) {
        d.FileName = ui::fromPath(file);
        return true;
    });
    dialog.Button2->click();
    EXPECT_EQ(readFile(file), "[Fonts]\r\narial=Windows\r\nOLD=Windows\r\nHEBREW=DosEnglish\r\n\r\n[Other]\r\nx=1\r\n");
    EXPECT_EQ(fonts.Edit1->text(), ui::fromPath(file));
    EXPECT_EQ(fonts.DefinitionFile(), definition);
    EXPECT_TRUE(messages.empty());

    ui::answerFileDialogsWith([&](ui::FileDialog& d) {
        d.FileName = dir.filePath(QStringLiteral("missing/alt.txt"));
        return true;
    });
    dialog.Button2->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, ui::MessageKind::Error);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("Unable to write to")));
}

TEST_F(Remap, ShowLoadFontTableShowsTheFontsDialogModally) {
    bool shown = false;
    QTimer::singleShot(0, &fonts, [&] {
        shown = fonts.isVisible() && fonts.isModal();
        fonts.reject();
    });
    dialog.Button1->click();
    EXPECT_TRUE(shown);
}

TEST_F(Remap, ClosingLeavesNothingPointingAtTheRecords) {
    addStyle("S", "x.shx", TFontKind::DosHebrew, {"\x80", "\x81"});
    dialog.ListBox1->setCurrentRow(0);
    dialog.ListView1->setCurrentItem(dialog.ListView1->topLevelItem(0));
    ASSERT_FALSE(dialog.Edit2->text().isEmpty());
    QTimer::singleShot(0, &dialog, [&] { dialog.BitBtn1->click(); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.ListBox1->count(), 0);
    EXPECT_EQ(dialog.ListView1->topLevelItemCount(), 0);
    EXPECT_TRUE(dialog.Edit1->text().isEmpty());
    EXPECT_TRUE(dialog.Edit2->text().isEmpty());

    styles.clear();  // the filter frees the records
    dialog.FormActivate();
    dialog.ListBox1Click();
    dialog.CheckBox1->click();
    dialog.RadioGroup1Click();
    dialog.bbackClick();
    dialog.ListView1->selectAll();
    EXPECT_EQ(dialog.ListView1->topLevelItemCount(), 0);
}

TEST_F(Remap, AFillAskedForDuringAFillRunsAfterIt) {
    std::vector<std::string> many(40, "A");
    auto& first = addStyle("FIRST", "x.shx", TFontKind::TrueType, many);
    auto& second = addStyle("SECOND", "x.shx", TFontKind::TrueType, {"B", "C"});
    bool bracketOpen = false;
    QMetaObject::invokeMethod(
        &dialog,
        [&] {
            bracketOpen = !dialog.ListView1->updatesEnabled();
            dialog.FillElements(second.Elements, TFontKind::TrueType, false);
        },
        Qt::QueuedConnection);
    dialog.FillElements(first.Elements, TFontKind::TrueType, false);
    EXPECT_TRUE(bracketOpen);
    EXPECT_TRUE(dialog.ListView1->updatesEnabled());
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("B"), QStringLiteral("C")}));

    // Closing during a fill stops it: nothing is listed afterwards.
    QMetaObject::invokeMethod(&dialog, [&] { dialog.accept(); }, Qt::QueuedConnection);
    dialog.FillElements(first.Elements, TFontKind::TrueType, false);
    EXPECT_EQ(dialog.ListView1->topLevelItemCount(), 0);
    EXPECT_TRUE(dialog.ListView1->updatesEnabled());
}

TEST(FormatCoordinate, FixedTwoDecimalsAfterEightSignificantDigits) {
    const QLocale c = QLocale::c();
    EXPECT_EQ(remap::formatCoordinate(1234.5, c), QStringLiteral("1234.50"));
    EXPECT_EQ(remap::formatCoordinate(-1234.5, c), QStringLiteral("-1234.50"));
    EXPECT_EQ(remap::formatCoordinate(0.0, c), QStringLiteral("0.00"));
    EXPECT_EQ(remap::formatCoordinate(-0.004, c), QStringLiteral("0.00"));
    EXPECT_EQ(remap::formatCoordinate(0.125, c), QStringLiteral("0.13"));    // an exact half: away from zero
    EXPECT_EQ(remap::formatCoordinate(-0.125, c), QStringLiteral("-0.13"));
    EXPECT_EQ(remap::formatCoordinate(2.675, c), QStringLiteral("2.67"));    // stored as 2.67499999...
    EXPECT_EQ(remap::formatCoordinate(0.9951, c), QStringLiteral("1.00"));   // the carry adds an integer digit
    EXPECT_EQ(remap::formatCoordinate(1234567.891, c), QStringLiteral("1234567.90"));
    EXPECT_EQ(remap::formatCoordinate(12345678.91, c), QStringLiteral("12345679.00"));
    EXPECT_EQ(remap::formatCoordinate(99999999.4, c), QStringLiteral("99999999.00"));
}

TEST(FormatCoordinate, MoreThanEightIntegerDigitsGoScientific) {
    const QLocale c = QLocale::c();
    EXPECT_EQ(remap::formatCoordinate(123456789.0, c), QStringLiteral("1.2345679E+08"));
    EXPECT_EQ(remap::formatCoordinate(-123456789.0, c), QStringLiteral("-1.2345679E+08"));
    EXPECT_EQ(remap::formatCoordinate(99999999.995, c), QStringLiteral("1.0000000E+08"));  // rounding carries
    EXPECT_EQ(remap::formatCoordinate(1e20, c), QStringLiteral("1.0000000E+20"));
}

TEST(FormatCoordinate, UsesTheLocalesDecimalSeparatorWithoutGroups) {
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(remap::formatCoordinate(1234.5, german), QStringLiteral("1234,50"));
    EXPECT_EQ(remap::formatCoordinate(1234567.25, german), QStringLiteral("1234567,30"));
    EXPECT_EQ(remap::formatCoordinate(123456789.0, german), QStringLiteral("1,2345679E+08"));
}

}  // namespace
