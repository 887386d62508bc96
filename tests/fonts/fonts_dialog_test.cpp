#include "fonts/fonts_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <deque>
#include <fstream>
#include <optional>
#include <sstream>

#include <sys/stat.h>

namespace {

using fonts::TfrmFonts;
using hebrew::FontRow;
using hebrew::FontTable;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

QString qs(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// "name=mapping" per row, as the grid shows them and as the table holds them.
std::vector<std::string> gridLines(const TfrmFonts& dialog) {
    std::vector<std::string> lines;
    for (int row = 0; row < dialog.fontmaps->rowCount(); ++row)
        lines.push_back(dialog.fontmaps->item(row, 0)->text().toStdString() + "=" +
                        dialog.fontmaps->item(row, 1)->text().toStdString());
    return lines;
}

std::vector<std::string> tableLines(const FontTable& table) {
    std::vector<std::string> lines;
    for (const FontRow& row : table.rows())
        lines.push_back(row.name + "=" + row.mapping);
    return lines;
}

// Opens the cell's editor as a double click would and returns it.
QWidget* openEditor(TfrmFonts& dialog, int row, int column) {
    dialog.fontmaps->setCurrentCell(row, column);
    dialog.fontmaps->editItem(dialog.fontmaps->item(row, column));
    return dialog.fontmaps->indexWidget(dialog.fontmaps->model()->index(row, column));
}

// Enter in a cell editor commits through a queued call, as in the running
// program's event loop.
void pressEnter(QWidget* editor) {
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
}

// Each test runs with the per-user folder absent, records every message and
// answers the file dialogs from a queue (nothing queued: the user cancels).
class FontsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        m_home = qgetenv("HOME").toStdString();
        m_userFolder = m_home / "Hesmar" / "Corvelin";
        m_scratch = m_home / (std::string("scratch-") +
                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_home / "Hesmar");
        std::filesystem::create_directories(m_scratch);
        ui::answerMessagesWith([this](const ui::Message& message) { m_messages.push_back(message); });
        ui::answerFileDialogsWith([this](ui::FileDialog& dialog) {
            m_asked.push_back(&dialog);
            if (m_answers.empty())
                return false;
            dialog.FileName = m_answers.front();
            m_answers.pop_front();
            return true;
        });
    }
    void TearDown() override {
        ui::answerMessagesWith({});
        ui::answerFileDialogsWith({});
        std::filesystem::remove_all(m_home / "Hesmar");
        std::filesystem::remove_all(m_scratch);
    }

    std::filesystem::path defaultFile() const { return m_userFolder / "HebFonts.txt"; }
    void prefill(std::initializer_list<FontRow> rows) {
        for (const FontRow& row : rows)
            m_table.appendRow(row);
    }
    std::vector<std::string> errors() const {
        std::vector<std::string> texts;
        for (const ui::Message& message : m_messages) {
            EXPECT_EQ(message.kind, ui::MessageKind::Error);
            texts.push_back(message.text.toStdString());
        }
        return texts;
    }

    std::filesystem::path m_home, m_userFolder, m_scratch;
    FontTable m_table;
    std::vector<ui::Message> m_messages;
    std::deque<QString> m_answers;
    std::vector<ui::FileDialog*> m_asked;
};

TEST_F(FontsDialog, CreationSetsUpTheWindowAndItsFileDialogs) {
    TfrmFonts dialog(m_table);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Fonts Definition"));
    EXPECT_EQ(dialog.size(), QSize(416, 407));
    dialog.show();  // the laid-out controls fit the designed size
    EXPECT_EQ(dialog.size(), QSize(416, 407));
    dialog.hide();
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowSystemMenuHint));
    EXPECT_EQ(dialog.font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(dialog.font().pixelSize(), 14);

    const QString definitionFile = qs(m_home) + QStringLiteral("/Hesmar/Corvelin/HebFonts.txt");
    EXPECT_EQ(dialog.Edit1->text(), definitionFile);
    EXPECT_EQ(dialog.Edit1->width(), 233);
    EXPECT_EQ(qs(dialog.DefinitionFile()), definitionFile);
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("File"));

    EXPECT_EQ(dialog.OpenDialog1.Filter, QStringLiteral("Autocad Fonts|*.shx;*.shp|True Type|*.ttf"));
    EXPECT_EQ(dialog.OpenDialog1.DefaultExt, QStringLiteral("*.shx"));
    for (const ui::FileDialog* fileDialog : {&dialog.OpenDialog2, &dialog.SaveDialog1}) {
        EXPECT_EQ(fileDialog->Filter, QStringLiteral("Font Definitio Files(*.txt)|*.txt"));
        EXPECT_EQ(fileDialog->DefaultExt, QStringLiteral("txt"));
        EXPECT_EQ(fileDialog->FileName, definitionFile);
        EXPECT_EQ(fileDialog->InitialDir, qs(m_home) + QStringLiteral("/Hesmar/Corvelin/"));
    }
    EXPECT_EQ(dialog.SaveDialog1.mode(), ui::FileDialog::Mode::Save);

    EXPECT_EQ(dialog.btnNew->text(), QStringLiteral("&New"));
    EXPECT_EQ(dialog.Button1->text(), QStringLiteral("&New from file"));
    EXPECT_EQ(dialog.btnDelete->text(), QStringLiteral("&Delete"));
    EXPECT_EQ(dialog.btnOk->text(), QStringLiteral("OK"));
    EXPECT_TRUE(dialog.btnOk->isDefault());
    EXPECT_EQ(dialog.btnCancel->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(dialog.SpeedButton1->toolTip(), QStringLiteral("Load  new Font Defenition File"));
    EXPECT_EQ(dialog.SpeedButton2->toolTip(), QStringLiteral("Save  Font Defenition File As .."));

    ASSERT_EQ(dialog.fontmaps->columnCount(), 2);
    EXPECT_EQ(dialog.fontmaps->horizontalHeaderItem(0)->text(), QStringLiteral("Fonts"));
    EXPECT_EQ(dialog.fontmaps->horizontalHeaderItem(1)->text(), QStringLiteral("Mapping"));
    EXPECT_EQ(dialog.fontmaps->columnWidth(0), 250);
    EXPECT_EQ(dialog.fontmaps->columnWidth(1), 125);
}

TEST_F(FontsDialog, CreationWithoutADefinitionFileStartsEmptyAndSilently) {
    TfrmFonts dialog(m_table);
    EXPECT_THAT(m_table.rows(), IsEmpty());
    EXPECT_EQ(dialog.fontmaps->rowCount(), 0);
    EXPECT_THAT(m_messages, IsEmpty());
    EXPECT_FALSE(std::filesystem::exists(m_userFolder));  // nothing is written before closing
    EXPECT_EQ(dialog.lblDefinitionFile->text(), QStringLiteral("Editing ") + qs(defaultFile()) +
                                                    QStringLiteral(" (not written yet)"));
}

TEST_F(FontsDialog, CreationLoadsTheDefaultDefinitionFile) {
    writeBytes(defaultFile(), "[Fonts]\r\nB=Windows\r\na=DosEnglish\r\n");
    TfrmFonts dialog(m_table);
    EXPECT_THAT(gridLines(dialog), ElementsAre("a=DosEnglish", "B=Windows"));
    EXPECT_THAT(m_messages, IsEmpty());
}

TEST_F(FontsDialog, AnUnreadableDefaultFileIsShownAndTheTableStaysEmpty) {
    std::filesystem::create_directories(defaultFile());
    TfrmFonts dialog(m_table);
    EXPECT_THAT(errors(), ElementsAre(HasSubstr("Is a directory")));
    EXPECT_EQ(dialog.fontmaps->rowCount(), 0);
}

TEST_F(FontsDialog, NewAddsAnEmptyRowAtTheEndUnlessTheCurrentRowIsEmpty) {
    prefill({{"A", "Windows"}, {"B", "DosHebrew"}});
    TfrmFonts dialog(m_table);
    dialog.fontmaps->setCurrentCell(0, 0);
    dialog.btnNew->click();
    EXPECT_THAT(gridLines(dialog), ElementsAre("A=Windows", "B=DosHebrew", "="));
    EXPECT_EQ(dialog.fontmaps->currentRow(), 0);
    dialog.btnNew->click();  // several empty rows are fine
    EXPECT_THAT(tableLines(m_table), ElementsAre("A=Windows", "B=DosHebrew", "=", "="));
    dialog.fontmaps->setCurrentCell(3, 0);
    dialog.btnNew->click();
    EXPECT_EQ(m_table.rows().size(), 4u);
    EXPECT_EQ(dialog.fontmaps->currentRow(), 3);
}

TEST_F(FontsDialog, NewFromFileTakesTheFontsNameAndPlacesItAtTheCurrentRow) {
    prefill({{"A", "Windows"}, {"B", "DosHebrew"}});
    TfrmFonts dialog(m_table);
    dialog.fontmaps->setCurrentCell(1, 1);

    m_answers = {QStringLiteral("/fonts/folder/MyFont.Shx")};
    dialog.Button1->click();
    ASSERT_THAT(m_asked, ElementsAre(&dialog.OpenDialog1));
    EXPECT_THAT(tableLines(m_table), ElementsAre("A=Windows", "MyFont=", "B=DosHebrew"));
    EXPECT_EQ(dialog.fontmaps->currentRow(), 1);

    // An empty current row is filled instead.
    dialog.btnNew->click();
    dialog.fontmaps->setCurrentCell(3, 0);
    m_answers = {QStringLiteral("/other/Romans.v2.shp")};
    dialog.Button1->click();
    EXPECT_THAT(gridLines(dialog), ElementsAre("A=Windows", "MyFont=", "B=DosHebrew", "Romans.v2="));
    EXPECT_EQ(dialog.fontmaps->currentRow(), 3);

    dialog.Button1->click();  // cancelled
    m_answers = {QStringLiteral("/x/a.ttf")};
    dialog.Button1->click();
    EXPECT_THAT(errors(), ElementsAre("A key with the name of \"a\" already exists"));
    EXPECT_EQ(m_table.rows().size(), 4u);
}

TEST_F(FontsDialog, DeleteThenCancelWritesTheFileWithoutThatFont) {
    writeBytes(defaultFile(), "[Fonts]\r\nA=Windows\r\nB=DosHebrew\r\n");
    TfrmFonts dialog(m_table);
    dialog.fontmaps->setCurrentCell(0, 0);
    dialog.btnDelete->click();
    EXPECT_THAT(gridLines(dialog), ElementsAre("B=DosHebrew"));
    dialog.btnCancel->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(readBytes(defaultFile()), "[Fonts]\r\nB=DosHebrew\r\n");
}

TEST_F(FontsDialog, DeleteWithoutRowsDoesNothing) {
    TfrmFonts dialog(m_table);
    dialog.btnDelete->click();
    EXPECT_THAT(m_table.rows(), IsEmpty());
    EXPECT_THAT(m_messages, IsEmpty());
}

TEST_F(FontsDialog, AClearedNameIsLeftOutOnClosingButWrittenBySaveAs) {
    prefill({{"A", "Windows"}, {"B", "DosHebrew"}});
    TfrmFonts dialog(m_table);
    dialog.fontmaps->item(0, 0)->setText(QString());
    EXPECT_THAT(tableLines(m_table), ElementsAre("=Windows", "B=DosHebrew"));

    const std::filesystem::path saved = m_scratch / "saved.txt";
    m_answers = {qs(saved)};
    dialog.SpeedButton2->click();
    ASSERT_THAT(m_asked, ElementsAre(&dialog.SaveDialog1));
    EXPECT_EQ(readBytes(saved), "[Fonts]\r\n=Windows\r\nB=DosHebrew\r\n");
    EXPECT_EQ(dialog.Edit1->text(), qs(saved));
    EXPECT_EQ(dialog.DefinitionFile(), saved);
    EXPECT_EQ(dialog.OpenDialog2.InitialDir, qs(m_scratch));
    EXPECT_EQ(dialog.SaveDialog1.InitialDir, qs(m_home) + QStringLiteral("/Hesmar/Corvelin/"));

    dialog.btnOk->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(readBytes(saved), "[Fonts]\r\nB=DosHebrew\r\n");
    EXPECT_FALSE(std::filesystem::exists(defaultFile()));
    EXPECT_THAT(m_messages, IsEmpty());
}

TEST_F(FontsDialog, ClosingCreatesAMissingPerUserFolder) {
    prefill({{"Hebrew", "Windows"}});
    TfrmFonts dialog(m_table);
    ASSERT_FALSE(std::filesystem::exists(m_userFolder));
    dialog.show();
    dialog.close();  // the close box
    EXPECT_EQ(readBytes(defaultFile()), "[Fonts]\r\nHebrew=Windows\r\n");
    EXPECT_THAT(m_messages, IsEmpty());
}

TEST_F(FontsDialog, WriteErrorsAreShownAndTheDialogStaysBoundAndCloses) {
    prefill({{"Hebrew", "Windows"}});
    TfrmFonts dialog(m_table);
    const QString edit1 = dialog.Edit1->text();

    // A folder that is missing and not the per-user one is not created.
    const std::filesystem::path inMissingFolder = m_scratch / "missing" / "fonts.txt";
    m_answers = {qs(inMissingFolder)};
    dialog.SpeedButton2->click();
    const std::string message = "Unable to write to " + inMissingFolder.string() + ": No such file or directory";
    EXPECT_THAT(errors(), ElementsAre(message));
    EXPECT_EQ(dialog.DefinitionFile(), inMissingFolder);
    EXPECT_EQ(dialog.Edit1->text(), edit1);
    dialog.show();
    dialog.btnCancel->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_THAT(errors(), ElementsAre(message, message));
    EXPECT_FALSE(std::filesystem::exists(m_scratch / "missing"));

    // A target whose folder is a plain file: fails also for root.
    m_messages.clear();
    writeBytes(m_scratch / "plain", "x");
    const std::filesystem::path underAFile = m_scratch / "plain" / "HebFonts.txt";
    m_answers = {qs(underAFile)};
    dialog.SpeedButton2->click();
    dialog.btnOk->click();
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_THAT(errors(), ElementsAre(HasSubstr(underAFile.string()), HasSubstr(underAFile.string())));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(FontsDialog, LoadReadsTheChosenFileAndBindsTheDialogToIt) {
    TfrmFonts dialog(m_table);
    dialog.SpeedButton1->click();  // cancelled
    EXPECT_EQ(dialog.DefinitionFile(), defaultFile());

    const std::filesystem::path other = m_scratch / "other.txt";
    writeBytes(other, "[Fonts]\r\nromans=DosEnglishR\r\n");
    m_answers = {qs(other)};
    dialog.SpeedButton1->click();
    EXPECT_THAT(m_asked, ElementsAre(&dialog.OpenDialog2, &dialog.OpenDialog2));
    EXPECT_THAT(gridLines(dialog), ElementsAre("romans=DosEnglishR"));
    EXPECT_EQ(dialog.Edit1->text(), qs(other));
    EXPECT_EQ(dialog.OpenDialog2.InitialDir, qs(m_scratch));
    EXPECT_EQ(dialog.DefinitionFile(), other);
    EXPECT_EQ(dialog.lblDefinitionFile->text(), QStringLiteral("Editing ") + qs(other));
}

TEST_F(FontsDialog, ALoadErrorKeepsTheRowsAndEdit1ButBindsTheChosenFile) {
    prefill({{"A", "Windows"}});
    TfrmFonts dialog(m_table);
    const QString edit1 = dialog.Edit1->text();
    const QString initialDir = dialog.OpenDialog2.InitialDir;

    const std::filesystem::path absent = m_scratch / "absent.txt";
    // A FIFO cannot be read as a table (reading it would wait for a writer),
    // but it can be replaced.
    const std::filesystem::path empty = m_scratch / "fifo.txt";
    ASSERT_EQ(::mkfifo(empty.c_str(), 0644), 0);
    m_answers = {qs(absent), qs(empty)};
    dialog.SpeedButton1->click();
    dialog.SpeedButton1->click();
    EXPECT_THAT(errors(), ElementsAre("Cannot open file \"" + absent.string() + "\". No such file or directory",
                                      HasSubstr("Not a regular file")));
    EXPECT_THAT(gridLines(dialog), ElementsAre("A=Windows"));
    EXPECT_EQ(dialog.Edit1->text(), edit1);
    EXPECT_EQ(dialog.OpenDialog2.InitialDir, initialDir);
    EXPECT_EQ(dialog.DefinitionFile(), empty);

    std::filesystem::remove(empty);
    dialog.accept();
    EXPECT_EQ(readBytes(empty), "[Fonts]\r\nA=Windows\r\n");
}

TEST_F(FontsDialog, TheMappingDropDownOffersFourKindsAndKeepsTrueType) {
    prefill({{"Hebrew", "TrueType"}, {"", ""}});
    TfrmFonts dialog(m_table);
    const QStringList kinds = {QStringLiteral("DosHebrew"), QStringLiteral("DosEnglish"),
                               QStringLiteral("DosEnglishR"), QStringLiteral("Windows")};
    EXPECT_EQ(dialog.fontmapsGetPickList(0), kinds);
    EXPECT_TRUE(dialog.fontmapsGetPickList(1).isEmpty());

    auto* combo = qobject_cast<QComboBox*>(openEditor(dialog, 0, 1));
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    QStringList offered;
    for (int i = 0; i < combo->count(); ++i)
        offered << combo->itemText(i);
    EXPECT_EQ(offered, kinds);
    EXPECT_EQ(combo->currentText(), QStringLiteral("TrueType"));
    pressEnter(combo);
    EXPECT_EQ(m_table.rows()[0].mapping, "TrueType");

    // A row without a name gets a plain text editor.
    QWidget* plain = openEditor(dialog, 1, 1);
    EXPECT_NE(qobject_cast<QLineEdit*>(plain), nullptr);
    QTest::keyClick(plain, Qt::Key_Escape);

    dialog.accept();
    EXPECT_EQ(readBytes(defaultFile()), "[Fonts]\r\nHebrew=TrueType\r\n");
}

TEST_F(FontsDialog, PickingOrTypingAMappingReachesTheTable) {
    prefill({{"Hebrew", "DosHebrew"}});
    TfrmFonts dialog(m_table);
    auto* combo = qobject_cast<QComboBox*>(openEditor(dialog, 0, 1));
    ASSERT_NE(combo, nullptr);
    combo->setCurrentIndex(3);
    pressEnter(combo);
    EXPECT_THAT(tableLines(m_table), ElementsAre("Hebrew=Windows"));

    combo = qobject_cast<QComboBox*>(openEditor(dialog, 0, 1));
    ASSERT_NE(combo, nullptr);
    combo->setEditText(QStringLiteral("Mine"));
    pressEnter(combo);
    EXPECT_THAT(gridLines(dialog), ElementsAre("Hebrew=Mine"));
    EXPECT_THAT(tableLines(m_table), ElementsAre("Hebrew=Mine"));
}

TEST_F(FontsDialog, RefusedNamesAreShownAndTheCellGoesBack) {
    prefill({{"A", "Windows"}, {"B", "DosHebrew"}});
    TfrmFonts dialog(m_table);

    auto* editor = qobject_cast<QLineEdit*>(openEditor(dialog, 1, 0));
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("a=b"));
    pressEnter(editor);
    dialog.fontmaps->item(1, 0)->setText(QStringLiteral("a"));
    EXPECT_THAT(errors(), ElementsAre("Key may not contain equals sign (\"=\")",
                                      "A key with the name of \"a\" already exists"));
    EXPECT_THAT(gridLines(dialog), ElementsAre("A=Windows", "B=DosHebrew"));

    // Hebrew names are stored in Windows-1255 and named so in the message.
    m_messages.clear();
    const QString shalom = QStringLiteral("\u05E9\u05DC\u05D5\u05DD");
    dialog.fontmaps->item(0, 0)->setText(shalom);
    EXPECT_EQ(m_table.rows()[0].name, "\xF9\xEC\xE5\xED");
    dialog.fontmaps->item(1, 0)->setText(shalom);
    EXPECT_THAT(errors(), ElementsAre("A key with the name of \"\u05E9\u05DC\u05D5\u05DD\" already exists"));

    // A name the code page cannot hold.
    m_messages.clear();
    dialog.fontmaps->item(1, 0)->setText(QStringLiteral("\u0416"));
    EXPECT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(dialog.fontmaps->item(1, 0)->text(), QStringLiteral("B"));
    EXPECT_EQ(m_table.rows()[1].name, "B");
}

TEST_F(FontsDialog, GridKeysAddInsertDeleteAndUndoRows) {
    prefill({{"A", "Windows"}, {"B", "DosHebrew"}});
    TfrmFonts dialog(m_table);
    dialog.show();
    QTableWidget* grid = dialog.fontmaps;

    grid->setCurrentCell(0, 0);
    QTest::keyClick(grid, Qt::Key_Down);  // not the last row: only moves
    EXPECT_EQ(grid->currentRow(), 1);
    EXPECT_EQ(m_table.rows().size(), 2u);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_THAT(tableLines(m_table), ElementsAre("A=Windows", "B=DosHebrew", "="));
    EXPECT_EQ(grid->currentRow(), 2);

    grid->setCurrentCell(1, 0);
    QTest::keyClick(grid, Qt::Key_Insert);
    EXPECT_THAT(gridLines(dialog), ElementsAre("A=Windows", "=", "B=DosHebrew", "="));
    EXPECT_EQ(grid->currentRow(), 1);

    QTest::keyClick(grid, Qt::Key_Delete);  // without Ctrl nothing happens
    EXPECT_EQ(m_table.rows().size(), 4u);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_THAT(gridLines(dialog), ElementsAre("A=Windows", "B=DosHebrew", "="));

    // Escape undoes every edit made since the row became current.
    grid->setCurrentCell(0, 0);
    grid->item(0, 0)->setText(QStringLiteral("Alef"));
    grid->item(0, 1)->setText(QStringLiteral("DosEnglish"));
    EXPECT_THAT(tableLines(m_table), ElementsAre("Alef=DosEnglish", "B=DosHebrew", "="));
    QTest::keyClick(grid, Qt::Key_Escape);
    EXPECT_THAT(gridLines(dialog), ElementsAre("A=Windows", "B=DosHebrew", "="));
    EXPECT_TRUE(dialog.isVisible());  // Escape in the grid does not close the dialog

    // Escape in a cell editor drops its text and undoes the row too.
    grid->setCurrentCell(1, 0);
    grid->item(1, 0)->setText(QStringLiteral("Bet"));
    auto* combo = qobject_cast<QComboBox*>(openEditor(dialog, 1, 1));
    ASSERT_NE(combo, nullptr);
    combo->setEditText(QStringLiteral("Windows"));
    QTest::keyClick(combo, Qt::Key_Escape);
    EXPECT_THAT(tableLines(m_table), ElementsAre("A=Windows", "B=DosHebrew", "="));
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(FontsDialog, ShowingTheDialogShowsTableChangesMadeWhileHidden) {
    TfrmFonts dialog(m_table);
    dialog.table().SetFontKind("C:\\Fonts\\isocp.shx", 1);
    dialog.show();
    EXPECT_THAT(gridLines(dialog), ElementsAre("ISOCP=DosEnglish"));
    dialog.reject();
    EXPECT_EQ(readBytes(defaultFile()), "[Fonts]\r\nISOCP=DosEnglish\r\n");
}

}  // namespace
