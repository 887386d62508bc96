#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QToolButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QHeaderView>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "app/folder_path_edit.h"
#include "app/mcorvelin.h"
#include "fonts/fonts_dialog.h"
#include "dwg/drawing/builder.h"
#include "dwg/drawing/drawing.h"
#include "preview/dwgthumb.h"
#include "support/atomic_file.h"
#include "ui/prompts.h"
#include "ui/text.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QString q(const fs::path& path) { return ui::fromPath(path); }

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("corvelin-window-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "in");
        ui::answerMessagesWith([this](const ui::Message& m) { m_messages.push_back(m); });
        ui::answerQuestionsWith([this](const QString& question) {
            m_questions << question;
            return true;
        });
    }
    void TearDown() override {
        ui::answerMessagesWith({});
        ui::answerQuestionsWith({});
        fs::remove_all(m_dir);
    }

    fs::path paramIni() const { return m_dir / "Param.ini"; }

    std::unique_ptr<app::TForm1> window() { return std::make_unique<app::TForm1>(q(paramIni())); }

    // A drawing with one DOS Hebrew text ("shabbat" in code page 862 letters).
    fs::path drawing(const fs::path& path, int texts = 1) {
        dwg::DrawingBuilder b(dwg::Release::R2000);
        const auto style = b.addTextStyle("Hebrew", "hebrew.shx");
        for (int i = 0; i < texts; ++i) {
            dwg::DrawingBuilder::TextSpec t;
            t.value = "\x9A\x81\x99";
            t.insertion = {static_cast<double>(i), 0, 0};
            t.style = style;
            b.addText(dwg::DrawingBuilder::Space::Model, t);
        }
        const auto bytes = b.bytes();
        support::writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return path;
    }

    static std::u16string firstText(const fs::path& file) {
        dwg::Drawing d = dwg::Drawing::open(file);
        return d.textString(d.selectAll("TEXT").front());
    }

    std::vector<QString> messageTexts() const {
        std::vector<QString> texts;
        for (const auto& m : m_messages)
            texts.push_back(m.text);
        return texts;
    }

    fs::path m_dir;
    std::vector<ui::Message> m_messages;
    QStringList m_questions;
};

const QString kSelectFirst = QStringLiteral("Please make your selection first.");

}  // namespace

TEST_F(MainWindow, StartsWithTheDesignedCaptionsAndDefaults) {
    auto w = window();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Corvelin "));
    EXPECT_EQ(w->Button3->text(), QStringLiteral("Check Hebrew Font Mapping"));
    EXPECT_EQ(w->Button4->text(), QStringLiteral("Convert Current File"));
    EXPECT_EQ(w->Button1->text(), QStringLiteral("Convert all files in Current Folder"));
    EXPECT_EQ(w->Button2->text(), QStringLiteral("Check Folder"));
    EXPECT_EQ(w->CheckBox1->text(), QStringLiteral("Use the same as Input"));
    EXPECT_EQ(w->Label3->text(), QStringLiteral("Finished"));
    EXPECT_EQ(w->rdHebItemIndex(), 1);
    EXPECT_FALSE(w->LeftToRight());
    EXPECT_TRUE(w->cbxAuto->isChecked());
    EXPECT_FALSE(w->cbxBack->isChecked());
    EXPECT_FALSE(w->CheckBox1->isChecked());
    EXPECT_TRUE(w->JamPathEdit2->isEnabled());
    EXPECT_TRUE(w->JamPathEdit2->path().isEmpty());
    EXPECT_TRUE(w->Label1->isHidden());
    EXPECT_TRUE(w->Label2->isHidden());
    EXPECT_TRUE(w->Label3->isHidden());
    EXPECT_EQ(w->PreviewRect.width(), 180);
    EXPECT_EQ(w->PreviewRect.height(), 113);
    EXPECT_TRUE(w->CurrentDrawing().isEmpty());
    EXPECT_TRUE(w->OutputFolder.isEmpty());
    EXPECT_EQ(w->Filter, nullptr);
    EXPECT_EQ(w->frmFonts().windowTitle(), QStringLiteral("Fonts Definition"));
    EXPECT_EQ(w->frmRemap().windowTitle(), QStringLiteral(" Remaping Text Style"));

    // Nothing selected yet: both single-drawing commands only ask for a selection.
    w->Button4Click();
    w->Button3Click();
    EXPECT_THAT(messageTexts(), ElementsAre(kSelectFirst, kSelectFirst));
    EXPECT_EQ(m_messages[0].kind, ui::MessageKind::Error);
}

TEST_F(MainWindow, UseTheSameAsInputDisablesTheOutputFolder) {
    auto w = window();
    w->CheckBox1->setChecked(true);
    EXPECT_FALSE(w->JamPathEdit2->isEnabled());
    w->CheckBox1->setChecked(false);
    EXPECT_TRUE(w->JamPathEdit2->isEnabled());
}

TEST_F(MainWindow, ClosingUntouchedWritesTheDefaultsAndTheyComeBack) {
    {
        auto w = window();
        w->show();
        EXPECT_TRUE(w->close());
    }
    const std::string text = readAll(paramIni());
    EXPECT_EQ(text, "[Form1]\r\nFormVersion=0\r\nShowCmd=1\r\nFlags=0\r\nPixelsPerInch=96\r\n"
                    "MinMaxPos=-1,-1,-1,-1\r\nNormPos=293,115,973,713\r\nOpenDialog1_InitialDir=\r\n"
                    "tree_SelectedFolder=\r\nCheckBox1_Checked=FALSE\r\nJamPathEdit2_Path=\r\n"
                    "cbxAuto_Checked=TRUE\r\nrdHeb_ItemIndex=1\r\ncbxBack_Checked=FALSE\r\n");
    // A second run that touches nothing writes back exactly what it read.
    {
        auto w = window();
        w->show();
        EXPECT_TRUE(w->close());
    }
    EXPECT_EQ(readAll(paramIni()), text);
}

TEST_F(MainWindow, StoredSettingsAreRestoredOnFirstShowingAndWrittenInCanonicalForm) {
    const fs::path plan = drawing(m_dir / "in" / "PLAN.DWG");
    std::ofstream(paramIni(), std::ios::binary)
        << "[Form1]\r\nFormVersion=0\r\nShowCmd=1\r\nFlags=0\r\nPixelsPerInch=96\r\nMinMaxPos=-1,-1,-8,-8\r\n"
           "NormPos=100,50,900,700\r\nOpenDialog1_InitialDir=/some/where\r\ntree_SelectedFolder="
        << plan.string()
        << "\r\nCheckBox1_Checked=yes\r\nJamPathEdit2_Path=/tmp/out\r\ncbxAuto_Checked=n\r\n"
           "rdHeb_ItemIndex=0\r\ncbxBack_Checked=Y\r\n";
    auto w = window();
    EXPECT_TRUE(w->CurrentDrawing().isEmpty());  // restored on showing, not before
    w->show();
    EXPECT_TRUE(w->CheckBox1->isChecked());
    EXPECT_FALSE(w->JamPathEdit2->isEnabled());
    EXPECT_EQ(w->JamPathEdit2->path(), QStringLiteral("/tmp/out"));
    EXPECT_FALSE(w->cbxAuto->isChecked());
    EXPECT_TRUE(w->cbxBack->isChecked());
    EXPECT_EQ(w->rdHebItemIndex(), 0);
    EXPECT_TRUE(w->LeftToRight());
    EXPECT_EQ(w->geometry(), QRect(100, 50, 800, 650));
    // The stored drawing is selected like any other selection.
    EXPECT_EQ(w->CurrentDrawing(), q(plan));
    EXPECT_EQ(w->StatusBar1->currentMessage(), q(plan));
    EXPECT_FALSE(w->Image3->pixmap().isNull());

    EXPECT_TRUE(w->close());
    EXPECT_EQ(readAll(paramIni()),
              "[Form1]\r\nFormVersion=0\r\nShowCmd=1\r\nFlags=0\r\nPixelsPerInch=96\r\nMinMaxPos=-1,-1,-8,-8\r\n"
              "NormPos=100,50,900,700\r\nOpenDialog1_InitialDir=/some/where\r\ntree_SelectedFolder=" +
                  plan.string() +
                  "\r\nCheckBox1_Checked=TRUE\r\nJamPathEdit2_Path=/tmp/out\r\ncbxAuto_Checked=FALSE\r\n"
                  "rdHeb_ItemIndex=0\r\ncbxBack_Checked=TRUE\r\n");
}

TEST_F(MainWindow, APlaceOffEveryScreenKeepsTheDesignedPlace) {
    std::ofstream(paramIni(), std::ios::binary) << "[Form1]\r\nNormPos=-30000,-30000,-29000,-29000\r\n";
    auto w = window();
    w->show();
    EXPECT_EQ(w->geometry(), QRect(293, 115, 680, 598));
}

TEST_F(MainWindow, ANegativeFormVersionRestoresNothing) {
    std::ofstream(paramIni(), std::ios::binary)
        << "[Form1]\r\nFormVersion=-1\r\nCheckBox1_Checked=TRUE\r\nrdHeb_ItemIndex=0\r\n";
    auto w = window();
    w->show();
    EXPECT_FALSE(w->CheckBox1->isChecked());
    EXPECT_EQ(w->rdHebItemIndex(), 1);
}

TEST_F(MainWindow, TreeSelectionOfDrawingsFoldersAndOtherFiles) {
    const fs::path lower = drawing(m_dir / "in" / "plan.dwg");
    const fs::path upper = drawing(m_dir / "in" / "PLAN2.DWG");
    std::ofstream(m_dir / "in" / "notes.txt") << "x";
    auto w = window();

    ASSERT_TRUE(w->selectPath(q(lower)));
    EXPECT_EQ(w->CurrentDrawing(), q(lower));
    EXPECT_TRUE(w->Label1->isVisibleTo(w.get()));
    EXPECT_EQ(w->Label1->text(), q(lower));
    EXPECT_EQ(w->Image3->pixmap().size(), QSize(180, 113));

    ASSERT_TRUE(w->selectPath(q(upper)));  // the extension test ignores case
    EXPECT_EQ(w->CurrentDrawing(), q(upper));

    ASSERT_TRUE(w->selectPath(q(m_dir / "in")));
    EXPECT_TRUE(w->CurrentDrawing().isEmpty());
    EXPECT_TRUE(w->Label1->text().isEmpty());
    EXPECT_TRUE(w->Label1->isHidden());
    EXPECT_TRUE(w->Image3->pixmap().isNull());
    EXPECT_EQ(w->StatusBar1->currentMessage(), q(m_dir / "in"));
    w->Button4Click();
    w->Button3Click();
    EXPECT_THAT(messageTexts(), ElementsAre(kSelectFirst, kSelectFirst));

    ASSERT_TRUE(w->selectPath(q(m_dir / "in" / "notes.txt")));
    EXPECT_TRUE(w->CurrentDrawing().isEmpty());
}

TEST_F(MainWindow, TheTreeShowsFoldersAndDrawingsOnly) {
    drawing(m_dir / "in" / "a.dwg");
    drawing(m_dir / "in" / "PLAN.DWG");
    std::ofstream(m_dir / "in" / "notes.txt") << "x";
    std::ofstream(m_dir / "in" / "plan.dwg.bak") << "x";
    fs::create_directories(m_dir / "in" / "sub");
    auto w = window();
    QSignalSpy loaded(w->treeModel, &QFileSystemModel::directoryLoaded);
    const QModelIndex folder = w->treeModel->index(q(m_dir / "in"));
    w->tree->expand(folder);
    w->treeModel->fetchMore(folder);
    for (int i = 0; i < 100 && w->treeModel->rowCount(folder) < 3; ++i)
        loaded.wait(50);
    QStringList names;
    for (int row = 0; row < w->treeModel->rowCount(folder); ++row)
        names << w->treeModel->index(row, 0, folder).data().toString();
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("PLAN.DWG"), QStringLiteral("a.dwg"), QStringLiteral("sub")}));
}

TEST_F(MainWindow, TheOutputFolderCanBeBrowsedFor) {
    auto w = window();
    ui::answerFileDialogsWith([&](ui::FileDialog& dialog) {
        EXPECT_EQ(dialog.mode(), ui::FileDialog::Mode::Folder);
        dialog.FileName = q(m_dir / "out");
        return true;
    });
    w->JamPathEdit2->browseButton()->click();
    ui::answerFileDialogsWith({});
    EXPECT_EQ(w->JamPathEdit2->path(), q(m_dir / "out"));
    w->CheckBox1->setChecked(true);
    EXPECT_FALSE(w->JamPathEdit2->browseButton()->isEnabled());
}

TEST_F(MainWindow, ConvertCurrentFileInPlaceKeepsTheOldDrawingAsBackup) {
    const fs::path plan = drawing(m_dir / "in" / "plan.dwg", 250);
    const std::string original = readAll(plan);
    auto w = window();
    w->CheckBox1->setChecked(true);
    ASSERT_TRUE(w->selectPath(q(plan)));

    std::vector<int> positions;
    QObject::connect(w->ProgressBar1, &QProgressBar::valueChanged, [&](int v) { positions.push_back(v); });
    w->Button4Click();

    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(readAll(m_dir / "in" / "plan.dwg.bak"), original);
    EXPECT_EQ(firstText(plan), u"\u05E9\u05D1\u05EA");
    EXPECT_EQ(w->OutputFolder, q(m_dir / "in") + QLatin1Char('/'));
    EXPECT_EQ(w->Label2->text(), QStringLiteral("Processing File 1 From 1"));
    EXPECT_EQ(w->Label1->text(), q(plan));
    EXPECT_FALSE(w->Label3->isHidden());
    EXPECT_EQ(w->Progress1->maximum(), 1);
    EXPECT_EQ(w->Progress1->value(), 1);
    EXPECT_EQ(w->ProgressBar1->value(), 0);
    // 250 texts: the pass reports 40 % and 80 %; the bar goes back to 0 after the drawing.
    EXPECT_THAT(positions, ::testing::IsSupersetOf({40, 80}));
    EXPECT_EQ(positions.back(), 0);
    EXPECT_EQ(w->Filter, nullptr);
    EXPECT_TRUE(w->frmRemap().ListBox1->count() == 0);  // emptied with the filter's records
    EXPECT_TRUE(w->Button4->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A second in-place conversion would convert converted texts: it is refused.
    const std::string converted = readAll(plan);
    w->Button4Click();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].kind, ui::MessageKind::Warning);
    EXPECT_THAT(ui::toUtf8(m_messages[0].details), HasSubstr("already converted: backup exists"));
    EXPECT_EQ(readAll(plan), converted);
    EXPECT_EQ(readAll(m_dir / "in" / "plan.dwg.bak"), original);
}

TEST_F(MainWindow, ConvertFolderGoesOnAfterADrawingThatCannotBeOpened) {
    drawing(m_dir / "in" / "a.dwg");
    drawing(m_dir / "in" / "c.DWG");
    std::ofstream(m_dir / "in" / "b.dwg", std::ios::binary) << "AC1015 this is no drawing";
    fs::create_directories(m_dir / "in" / "folder.dwg");
    auto w = window();
    w->JamPathEdit2->setPath(q(m_dir / "out"));
    fs::create_directories(m_dir / "out");
    // The tree on a drawing stands for the drawing's whole folder.
    ASSERT_TRUE(w->selectPath(q(m_dir / "in" / "c.DWG")));
    w->Button1Click();

    EXPECT_EQ(w->FileList.size(), 3);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("Problem with opening file"));
    EXPECT_EQ(m_messages[0].kind, ui::MessageKind::Plain);
    EXPECT_THAT(ui::toUtf8(m_messages[0].details), HasSubstr("b.dwg"));
    EXPECT_EQ(firstText(m_dir / "out" / "a.dwg"), u"\u05E9\u05D1\u05EA");
    EXPECT_EQ(firstText(m_dir / "out" / "c.DWG"), u"\u05E9\u05D1\u05EA");
    EXPECT_FALSE(fs::exists(m_dir / "out" / "b.dwg"));
    EXPECT_FALSE(fs::exists(m_dir / "in" / "a.dwg.bak"));
    EXPECT_EQ(w->Label2->text(), QStringLiteral("Processing File 3 From 3"));
    EXPECT_EQ(w->Progress1->value(), 3);
    EXPECT_FALSE(w->Label3->isHidden());
}

// A 2018 drawing converts; the solids whose ACIS data it keeps in its data
// store are left out, and the box at the end of the run names them as
// entities the drawing no longer shows.
TEST_F(MainWindow, ConvertingALaterDrawingNamesTheEntitiesLeftOut) {
    const fs::path sample = fs::path(CORVELIN_SAMPLES_DIR) / "dwg" / "example_2018.dwg";
    if (!fs::exists(sample))
        GTEST_SKIP() << "sample drawing " << sample << " is absent";
    fs::copy_file(sample, m_dir / "in" / "plan.dwg");
    auto w = window();
    w->JamPathEdit2->setPath(q(m_dir / "out"));
    fs::create_directories(m_dir / "out");
    ASSERT_TRUE(w->selectPath(q(m_dir / "in" / "plan.dwg")));
    w->Button1Click();

    EXPECT_EQ(dwg::Drawing::open(m_dir / "out" / "plan.dwg").release(), dwg::Release::R2004);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].kind, ui::MessageKind::Warning);
    const std::string details = ui::toUtf8(m_messages[0].details);
    EXPECT_THAT(details, HasSubstr("entity 176 (REGION), no longer shown: its ACIS data are kept in the data store"));
    EXPECT_THAT(details, HasSubstr("entity 2E1 (3DSOLID), no longer shown"));
}

TEST_F(MainWindow, TheOutputFolderIsCheckedBeforeTheFirstDrawing) {
    drawing(m_dir / "in" / "a.dwg");
    drawing(m_dir / "in" / "b.dwg");
    auto w = window();
    ASSERT_TRUE(w->selectPath(q(m_dir / "in" / "a.dwg")));
    // Its parent missing: an error box, and nothing is started or written.
    w->JamPathEdit2->setPath(q(m_dir / "none" / "out"));
    w->Button1Click();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].kind, ui::MessageKind::Error);
    EXPECT_THAT(ui::toUtf8(m_messages[0].details), HasSubstr("does not exist, nor does its parent folder"));
    EXPECT_FALSE(fs::exists(m_dir / "none"));
    EXPECT_EQ(w->Progress1->value(), 0);
    EXPECT_FALSE(w->Label2->text().startsWith(QStringLiteral("Processing")));  // the run did not begin

    // Its parent present: the folder is made and every drawing converted.
    w->JamPathEdit2->setPath(q(m_dir / "out"));
    w->Button1Click();
    EXPECT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(firstText(m_dir / "out" / "a.dwg"), u"\u05E9\u05D1\u05EA");
    EXPECT_EQ(firstText(m_dir / "out" / "b.dwg"), u"\u05E9\u05D1\u05EA");
}

TEST_F(MainWindow, TheTreeShowsWholeNamesAndKeepsTheCurrentDrawingInView) {
    const std::string longName(120, 'n');
    const fs::path plan = drawing(m_dir / "in" / (longName + ".dwg"));
    for (int i = 0; i < 60; ++i)
        fs::create_directories(m_dir / "in" / ("f" + std::to_string(100 + i)));
    auto w = window();
    w->resize(700, 600);
    w->show();
    ASSERT_TRUE(w->selectPath(q(plan)));
    const QModelIndex current = w->tree->currentIndex();
    EXPECT_EQ(current.data(Qt::ToolTipRole).toString(), q(plan));
    EXPECT_GE(w->tree->header()->sectionSize(0), w->tree->fontMetrics().horizontalAdvance(q(plan.filename())));

    w->tree->scrollToTop();
    w->CheckBox1->setChecked(false);
    w->JamPathEdit2->setPath(q(m_dir / "out"));
    w->Button4Click();
    ASSERT_TRUE(fs::exists(m_dir / "out" / plan.filename()));
    EXPECT_TRUE(w->tree->viewport()->rect().intersects(w->tree->visualRect(w->tree->currentIndex())));
}

TEST_F(MainWindow, OptionsChangedDuringAFolderRunApplyFromTheNextDrawing) {
    // A Windows-letter font holding a DOS letter (0x80): "Automatic Correction"
    // repairs it to alef, without it the byte stays the euro sign.
    for (const char* name : {"a.dwg", "b.dwg"}) {
        dwg::DrawingBuilder b(dwg::Release::R2000);
        dwg::DrawingBuilder::TextSpec t;
        t.value = "\x80";
        t.style = b.addTextStyle("Win", "telvos.shx");
        b.addText(dwg::DrawingBuilder::Space::Model, t);
        const auto bytes = b.bytes();
        support::writeFileAtomically(m_dir / "in" / name,
                                     std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    auto w = window();
    w->JamPathEdit2->setPath(q(m_dir / "out"));
    fs::create_directories(m_dir / "out");
    ASSERT_TRUE(w->selectPath(q(m_dir / "in")));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (w->Filter) {
            poll.stop();
            w->cbxAuto->setChecked(false);
        }
    });
    poll.start(0);
    w->Button1Click();
    EXPECT_EQ(firstText(m_dir / "out" / "a.dwg"), u"\u05D0");
    EXPECT_EQ(firstText(m_dir / "out" / "b.dwg"), u"\u20AC");
}

TEST_F(MainWindow, CheckFolderChangesNothingAndCountsDrawings) {
    drawing(m_dir / "in" / "a.dwg");
    drawing(m_dir / "in" / "b.dwg");
    const std::string before = readAll(m_dir / "in" / "a.dwg");
    auto w = window();
    w->CheckBox1->setChecked(true);
    w->Progress1->setValue(7);
    ASSERT_TRUE(w->selectPath(q(m_dir / "in")));
    w->Button2Click();

    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(w->Label2->text(), QStringLiteral("Check File 2 From 2"));
    EXPECT_EQ(w->ProgressBar1->maximum(), 2);
    EXPECT_EQ(w->ProgressBar1->value(), 2);
    EXPECT_EQ(w->Progress1->value(), 7);  // a check leaves the lower bar alone
    EXPECT_FALSE(w->Label3->isHidden());
    EXPECT_EQ(readAll(m_dir / "in" / "a.dwg"), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "in"), fs::directory_iterator()), 2);
}

TEST_F(MainWindow, CheckFolderListsTheDrawingsThatOpenedWithWarningsInOneBox) {
    const fs::path foreign = fs::path(CORVELIN_SAMPLES_DIR) / "dwg" / "foreign" / "rw2000_sample_2000.dwg";
    if (!fs::exists(foreign))
        GTEST_SKIP() << "no foreign sample drawing " << foreign;
    fs::copy_file(foreign, m_dir / "in" / "b.dwg");
    fs::copy_file(foreign, m_dir / "in" / "c.dwg");
    drawing(m_dir / "in" / "a.dwg");
    auto w = window();
    w->CheckBox1->setChecked(true);
    ASSERT_TRUE(w->selectPath(q(m_dir / "in")));
    w->Button2Click();

    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].kind, ui::MessageKind::Warning);
    EXPECT_THAT(ui::toUtf8(m_messages[0].text), HasSubstr("2 of the drawings opened with warnings"));
    const std::string details = ui::toUtf8(m_messages[0].details);
    EXPECT_THAT(details, HasSubstr("b.dwg\nsecond file header: expected its end sentinel"));
    EXPECT_THAT(details, HasSubstr("c.dwg\nsecond file header"));
    EXPECT_THAT(details, Not(HasSubstr("a.dwg")));
}

TEST_F(MainWindow, AFolderWithoutDrawingsAsksForASelection) {
    auto w = window();
    ASSERT_TRUE(w->selectPath(q(m_dir / "in")));
    w->Button1Click();
    w->Button2Click();
    EXPECT_THAT(messageTexts(), ElementsAre(kSelectFirst, kSelectFirst));
    EXPECT_TRUE(w->Label3->isHidden());
}

TEST_F(MainWindow, CheckHebrewFontMappingShowsTheStylesUntilTheDialogCloses) {
    const fs::path plan = drawing(m_dir / "in" / "plan.dwg");
    auto w = window();
    ASSERT_TRUE(w->selectPath(q(plan)));
    QStringList shown;
    int elements = -1;
    // Waits for the modal dialog to show, then looks at it and closes it.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!w->frmRemap().isVisible())
            return;
        poll.stop();
        for (int i = 0; i < w->frmRemap().ListBox1->count(); ++i)
            shown << w->frmRemap().ListBox1->item(i)->text();
        if (auto* style = w->frmRemap().styleAt(0))
            elements = static_cast<int>(style->Elements.size());
        w->frmRemap().accept();
    });
    poll.start(5);
    w->Button3Click();
    EXPECT_THAT(shown, ElementsAre(QStringLiteral("HEBREW"), QStringLiteral("STANDARD")));
    EXPECT_EQ(elements, 1);
    EXPECT_EQ(w->frmRemap().ListBox1->count(), 0);
    EXPECT_EQ(w->Filter, nullptr);
    EXPECT_FALSE(fs::exists(m_dir / "in" / "plan.dwg.bak"));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(MainWindow, ClosingDuringARunAsksAndClosesAfterTheCurrentDrawing) {
    drawing(m_dir / "in" / "a.dwg", 300);
    drawing(m_dir / "in" / "b.dwg", 300);
    auto w = window();
    w->show();
    w->JamPathEdit2->setPath(q(m_dir / "out"));
    fs::create_directories(m_dir / "out");
    ASSERT_TRUE(w->selectPath(q(m_dir / "in")));
    bool buttonsDisabled = false;
    // Once the first drawing is under way, the user asks to close.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!w->Filter)
            return;
        poll.stop();
        buttonsDisabled = !w->Button1->isEnabled() && !w->Button2->isEnabled() && !w->Button3->isEnabled() &&
                          !w->Button4->isEnabled();
        // A second command while the first runs does nothing.
        w->Button2Click();
        w->close();
    });
    poll.start(0);
    w->Button1Click();
    EXPECT_TRUE(buttonsDisabled);
    EXPECT_EQ(m_questions.size(), 1);
    EXPECT_TRUE(fs::exists(m_dir / "out" / "a.dwg"));
    EXPECT_FALSE(fs::exists(m_dir / "out" / "b.dwg"));
    EXPECT_TRUE(w->isVisible());  // closes once the run is over
    QApplication::processEvents();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(fs::exists(paramIni()));
}

TEST_F(MainWindow, ErrorsOfEventHandlersAreShownAndTheProgramGoesOn) {
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [] { throw std::runtime_error("Unable to write to /x: disk full"); });
    timer.start(0);
    for (int i = 0; i < 20 && m_messages.empty(); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].kind, ui::MessageKind::Error);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("Unable to write to /x: disk full"));
}

TEST_F(MainWindow, ShowsTheStoredPreviewOfEverySample) {
    const fs::path samples = fs::path(CORVELIN_SAMPLES_DIR) / "dwg";
    if (!fs::is_directory(samples))
        GTEST_SKIP() << "sample drawings not found in " << samples;
    auto w = window();
    preview::Picture placeholder = preview::Picture::blank(180, 113);
    preview::drawPlaceholder(placeholder);
    int withPreview = 0;
    for (const auto& entry : fs::directory_iterator(samples)) {
        if (entry.path().extension() != ".dwg")
            continue;
        ASSERT_TRUE(w->selectPath(q(entry.path())));
        const QImage shown = w->Image3->pixmap().toImage().convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(shown.size(), QSize(180, 113)) << entry.path();
        bool isPlaceholder = true;
        for (int y = 0; y < 113 && isPlaceholder; ++y)
            for (int x = 0; x < 180 && isPlaceholder; ++x)
                isPlaceholder = shown.pixel(x, y) == qRgb(placeholder.row(y)[3 * x + 2], placeholder.row(y)[3 * x + 1],
                                                          placeholder.row(y)[3 * x]);
        // Shown exactly as drawn (blue, green, red in the picture).
        preview::Picture drawn = preview::Picture::blank(180, 113);
        std::fill(drawn.pixels.begin(), drawn.pixels.end(), std::uint8_t{255});
        preview::DrawDwgThumbnail(entry.path(), drawn);
        int differing = 0;
        for (int y = 0; y < 113; ++y)
            for (int x = 0; x < 180; ++x)
                differing += shown.pixel(x, y) != qRgb(drawn.row(y)[3 * x + 2], drawn.row(y)[3 * x + 1], drawn.row(y)[3 * x]);
        EXPECT_EQ(differing, 0) << entry.path();
        // text_2018 stores no preview; every other sample does.
        EXPECT_EQ(isPlaceholder, entry.path().filename() == "text_2018.dwg") << entry.path();
        withPreview += isPlaceholder ? 0 : 1;
    }
    EXPECT_GT(withPreview, 10);
}
