#pragma once
// The main window: a tree of folders and drawings with the selected drawing's
// preview on the left; the output folder, the options and the four commands
// on the right. Each command runs the drawing text filter once per drawing.

#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "filter/batch.h"
#include "filter/filterclass.h"
#include "hebrew/fntdef.h"
#include "remap/remap_dialog.h"
#include "ui/prompts.h"

class QButtonGroup;
class QCheckBox;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTreeView;

namespace fonts {
class TfrmFonts;
}

namespace app {

class FolderPathEdit;

class TForm1 : public QWidget, public filter::FilterOptions, public remap::MainOptions {
    Q_OBJECT
public:
    // Builds the window (FormCreate), then the remap and fonts dialogs, whose
    // creation loads the font table. `paramIni` is the settings file; empty
    // means the usual place (see paramIniLocation).
    explicit TForm1(QString paramIni = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The options as the filter and the remap dialog read them.
    bool LeftToRight() const override;         // "ESRI Hebrew Setting" is "Left To Right"
    bool AutoCorrect() const override;         // "Automatic Correction"
    bool KeepWindowsMapping() const override;  // "Keep Windows mapping"

    // The drawing selected in the tree, or empty (a folder, nothing, another file).
    const QString& CurrentDrawing() const { return m_currentDrawing; }
    // The selected path of the tree as text: a folder or a file.
    QString selectedPath() const;
    // Selects a path in the tree, which runs treeChange; false when it does not exist.
    bool selectPath(const QString& path);
    // Whether a command is running.
    bool running() const { return m_running; }

    hebrew::FontTable& fontTable() { return m_fontTable; }
    fonts::TfrmFonts& frmFonts() { return *m_frmFonts; }
    remap::TfrmRemap& frmRemap() { return *m_frmRemap; }

    // The folder of the last run's outputs, ending in a separator unless empty.
    QString OutputFolder;
    // The filter of the drawing being processed, or null.
    filter::TDWGFileFilter* Filter = nullptr;
    // The size of the bitmap into which previews are drawn.
    const QRect PreviewRect{0, 0, 180, 113};
    // The drawings of the last folder command.
    QStringList FileList;

    // Controls, by their designer names.
    QWidget* Panel1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Image2 = nullptr;
    QSplitter* Splitter2 = nullptr;  // between the left and right panes
    QWidget* Panel2 = nullptr;
    QSplitter* Splitter3 = nullptr;  // between the tree and the preview
    QTreeView* tree = nullptr;
    QFileSystemModel* treeModel = nullptr;
    QWidget* Panel3 = nullptr;
    QLabel* Image3 = nullptr;
    QWidget* Panel4 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    FolderPathEdit* JamPathEdit2 = nullptr;
    QLabel* Label1 = nullptr;
    QGroupBox* rdHeb = nullptr;
    QCheckBox* cbxAuto = nullptr;
    QCheckBox* cbxBack = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    QProgressBar* Progress1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    ui::FileDialog OpenDialog1{ui::FileDialog::Mode::Open};  // only its initial folder is kept

    // "ESRI Hebrew Setting": 0 "Left To Right", 1 "RightTo Left".
    int rdHebItemIndex() const;
    void setRdHebItemIndex(int index);

public slots:
    void treeChange();
    void CheckBox1Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();

    void Convert(bool single);
    void Checkit();
    void Fixdont();

    // The filter's events.
    void Progress(int value);
    void FilterError(const QString& message);

    void RestoreSettings();
    void SaveSettings();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class RunGuard;
    friend class RunGuard;

    void buildControls();
    void folderCommand(bool convert);
    // The start of a conversion or check run: "Finished" hidden, the upper bar at 0.
    void beginRun();
    // Label1 shows the drawing under way, Label2 the counter.
    void showRunPosition(const QString& input, const QString& counter);
    filter::RunHooks runHooks();
    // What the window does with a drawing's run report once the filter is freed.
    void afterRun(const filter::RunReport& report);
    // Scrolls the tree to its current entry now and once more when that
    // entry's folder has been (re)loaded.
    void scrollToCurrent();
    // Makes sure the output folder of a conversion exists before its first
    // drawing; false (after an error box) when it cannot be had.
    bool prepareOutput();

    // Placement values that this platform does not use, written back as read.
    struct Placement {
        int flags = 0;
        std::array<int, 4> minMaxPos{-1, -1, -1, -1};
    };

    QString m_paramIni;
    Placement m_placement;
    hebrew::FontTable m_fontTable;
    std::unique_ptr<fonts::TfrmFonts> m_frmFonts;
    std::unique_ptr<remap::TfrmRemap> m_frmRemap;
    QButtonGroup* m_rdHebItems = nullptr;
    QString m_currentDrawing;
    QString m_vanishedSelection;  // selected, removed from the tree, expected back
    bool m_selectionVanishing = false;
    bool m_restored = false;
    bool m_saved = false;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_closeRequested = false;
    bool m_followCurrent = false;  // see scrollToCurrent
};

}  // namespace app
